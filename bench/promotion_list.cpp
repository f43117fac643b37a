// A 1 MB promotion list: parsing it (XML and binary) and reading 10,000 key
// paths from it, through our property-list values and, on the same files in
// the same run, through Python's plistlib (rows "plistlib/..."). The column
// "x_plistlib" on our rows is how many times faster than plistlib they are.
#include "core/PropertyList.h"
#include "core/PropertyListValues.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace vq;
namespace fs = std::filesystem;

constexpr int kKeyPathReads = 10000;

enum class Kind { Integer, Boolean, String, Any };

struct Path {
    const char* path;
    Kind kind;
};

// What the client reads, plus two misses; array paths map over every item.
const std::vector<Path> kPaths = {
    {"status.code", Kind::Integer},     {"status.msg", Kind::String},      {"base.ad_type", Kind::String},
    {"base.launch_type", Kind::Integer}, {"base.force_alert", Kind::Boolean}, {"base.apns", Kind::Boolean},
    {"base.banner_key", Kind::String},  {"base.base_url", Kind::String},   {"base.reward_desc", Kind::String},
    {"base.unlock_point", Kind::Integer}, {"base.current_point", Kind::Integer}, {"alert.title", Kind::String},
    {"alert.content", Kind::String},    {"alert.cancel", Kind::String},    {"alert.ok", Kind::String},
    {"alert.link", Kind::String},       {"alert.id", Kind::String},        {"bigads.title", Kind::String},
    {"bigads.app_id", Kind::String},    {"bigads.target_lnk", Kind::String}, {"base.missing", Kind::String},
    {"nothing.here.at.all", Kind::Integer}, {"wall.app_id", Kind::Any},   {"reward.scheme", Kind::Any},
    {"reward.earn", Kind::Any},
};

PlistValue makeList()
{
    using Dict = PlistValue::Dictionary;
    const std::string blurb = "Turn every message into a little card: colours, textures and fonts, sent as a "
                              "picture in one tap. Loved by people who write to people. ";
    PlistValue::Array wall, reward;
    for (int i = 0; i < 1000; ++i) {
        std::string id = fmt::format("{}", 681000000 + i);
        wall.push_back(PlistValue(Dict{{"app_id", PlistValue(id)}, {"title", PlistValue(fmt::format("App number {}", i))},
                                       {"icon_lnk", PlistValue(fmt::format("icon-{}.png", id))},
                                       {"link", PlistValue(fmt::format("http://127.0.0.1:8737/go/{}", id))},
                                       {"scheme", PlistValue(fmt::format("app{}", i))}}));
        Dict item{{"app_id", PlistValue(id)}, {"id", PlistValue(fmt::format("rw-{}", i))},
                  {"title", PlistValue(fmt::format("Reward app {}", i))}, {"content", PlistValue(blurb + blurb)},
                  {"icon_lnk", PlistValue(fmt::format("icon-{}.png", id))},
                  {"target_lnk", PlistValue(fmt::format("http://127.0.0.1:8737/go/{}", id))},
                  {"earn", PlistValue(fmt::format("{}", 5 + i % 20))}};
        if (i % 7 != 3) // some items lack a scheme: null elements
            item.emplace("scheme", PlistValue(fmt::format("rapp{}", i)));
        reward.push_back(PlistValue(std::move(item)));
    }
    return PlistValue(Dict{
        {"status", PlistValue(Dict{{"code", PlistValue(0)}, {"msg", PlistValue("ok")}})},
        {"base", PlistValue(Dict{{"ad_type", PlistValue("wall")}, {"launch_type", PlistValue("1")},
                                 {"force_alert", PlistValue("NO")}, {"apns", PlistValue(true)},
                                 {"banner_key", PlistValue("vq-demo-banner")},
                                 {"base_url", PlistValue("http://127.0.0.1:8737/img/")},
                                 {"reward_desc", PlistValue("Earn %s credits")}, {"unlock_point", PlistValue(50)},
                                 {"current_point", PlistValue(" 12")}})},
        {"alert", PlistValue(Dict{{"title", PlistValue("Hello")}, {"content", PlistValue(blurb)},
                                  {"cancel", PlistValue("Later")}, {"ok", PlistValue("Get it")},
                                  {"link", PlistValue("http://127.0.0.1:8737/go/681000001")}, {"id", PlistValue("a1")}})},
        {"bigads", PlistValue(Dict{{"title", PlistValue("Big")}, {"app_id", PlistValue("681000002")},
                                   {"target_lnk", PlistValue("http://127.0.0.1:8737/go/681000002")}})},
        {"wall", PlistValue(std::move(wall))},
        {"reward", PlistValue(std::move(reward))},
    });
}

struct Files {
    fs::path dir;
    std::string xml, binary;
    PlistValue list;
};

const Files& files()
{
    static Files f = [] {
        Files out;
        char pattern[] = "/tmp/vq-bench-list-XXXXXX";
        out.dir = mkdtemp(pattern);
        out.list = makeList();
        out.xml = writePropertyList(out.list, PlistFormat::Xml);
        out.binary = writePropertyList(out.list, PlistFormat::Binary);
        std::ofstream(out.dir / "list.xml", std::ios::binary) << out.xml;
        std::ofstream(out.dir / "list.bin", std::ios::binary) << out.binary;
        std::ofstream paths(out.dir / "paths.txt");
        for (const auto& p : kPaths)
            paths << p.path << ' ' << static_cast<int>(p.kind) << '\n';
        return out;
    }();
    return f;
}

// The same three measurements in Python, run once: seconds per operation (median).
const char* kPythonScript = R"PY(
import plistlib, re, statistics, sys, time
d = sys.argv[1]
xml = open(d + "/list.xml", "rb").read()
binary = open(d + "/list.bin", "rb").read()
paths = [(p, int(k)) for p, k in (line.split() for line in open(d + "/paths.txt"))]
reads = int(sys.argv[2])
lead_int = re.compile(r"[ \t]*([+-]?[0-9]+)")
lead_true = re.compile(r"[ \t]*[+-]?0*[YyTt1-9]")
def for_key(v, k):
    if isinstance(v, dict): return v.get(k)
    if isinstance(v, list): return [for_key(e, k) for e in v]
    return None
def for_path(v, path):
    for k in path.split("."): v = for_key(v, k)
    return v
def integer(v):
    if isinstance(v, (int, float)): return int(v)
    if isinstance(v, str):
        m = lead_int.match(v)
        return int(m.group(1)) if m else 0
    return 0
def boolean(v):
    if isinstance(v, (int, float)): return v != 0
    if isinstance(v, str): return lead_true.match(v) is not None
    return False
def read_all(root):
    n = 0
    for i in range(reads):
        p, k = paths[i % len(paths)]
        v = for_path(root, p)
        if k == 0: n += integer(v)
        elif k == 1: n += boolean(v)
        elif v is not None: n += 1
    return n
def timed(fn, rounds):
    out = []
    for _ in range(rounds):
        t = time.perf_counter(); fn(); out.append(time.perf_counter() - t)
    return statistics.median(out)
root = plistlib.loads(xml)
print("xml", timed(lambda: plistlib.loads(xml), 15))
print("binary", timed(lambda: plistlib.loads(binary), 15))
print("keypaths", timed(lambda: read_all(root), 9))
)PY";

const std::map<std::string, double>& plistlibSeconds()
{
    static std::map<std::string, double> seconds = [] {
        std::map<std::string, double> out;
        const auto& f = files();
        fs::path script = f.dir / "plistlib_bench.py";
        std::ofstream(script) << kPythonScript;
        auto command = fmt::format("python3 '{}' '{}' {}", script.string(), f.dir.string(), kKeyPathReads);
        if (FILE* p = popen(command.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, p)) {
                std::istringstream in(line);
                std::string name;
                double s = 0;
                if (in >> name >> s)
                    out[name] = s;
            }
            pclose(p);
        }
        return out;
    }();
    return seconds;
}

void compareWithPlistlib(benchmark::State& state, const std::string& name, double ourSeconds)
{
    auto it = plistlibSeconds().find(name);
    if (it != plistlibSeconds().end() && ourSeconds > 0)
        state.counters["x_plistlib"] = it->second / ourSeconds;
}

template<typename Fn>
double timeLoop(benchmark::State& state, Fn&& fn)
{
    auto start = std::chrono::steady_clock::now();
    std::int64_t n = 0;
    for (auto _ : state) {
        fn();
        ++n;
    }
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return n ? total / static_cast<double>(n) : 0;
}

void BM_Parse(benchmark::State& state, bool binary)
{
    const auto& f = files();
    const std::string& bytes = binary ? f.binary : f.xml;
    double seconds = timeLoop(state, [&] {
        auto list = parsePropertyListDictionary(bytes);
        if (!list) {
            state.SkipWithError("did not parse");
            return;
        }
        benchmark::DoNotOptimize(list);
    });
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    compareWithPlistlib(state, binary ? "binary" : "xml", seconds);
}
BENCHMARK_CAPTURE(BM_Parse, xml, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Parse, binary, true)->Unit(benchmark::kMillisecond);

void BM_KeyPaths(benchmark::State& state)
{
    const auto& list = files().list;
    double seconds = timeLoop(state, [&] {
        std::int64_t n = 0;
        for (int i = 0; i < kKeyPathReads; ++i) {
            const auto& p = kPaths[static_cast<std::size_t>(i) % kPaths.size()];
            PlistValue v = valueForKeyPath(list, p.path);
            switch (p.kind) {
            case Kind::Integer: n += integerValueOf(v); break;
            case Kind::Boolean: n += boolValueOf(v); break;
            default: n += v.isNull() ? 0 : 1;
            }
        }
        benchmark::DoNotOptimize(n);
    });
    compareWithPlistlib(state, "keypaths", seconds);
}
BENCHMARK(BM_KeyPaths)->Unit(benchmark::kMillisecond);

// plistlib's own figures, reported as rows of the same table.
void BM_Plistlib(benchmark::State& state, const char* name)
{
    auto it = plistlibSeconds().find(name);
    if (it == plistlibSeconds().end()) {
        state.SkipWithError("python3 with plistlib did not run");
        for (auto _ : state) {
        }
        return;
    }
    for (auto _ : state)
        state.SetIterationTime(it->second);
}
BENCHMARK_CAPTURE(BM_Plistlib, xml, "xml")->Name("plistlib/xml")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plistlib, binary, "binary")->Name("plistlib/binary")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plistlib, keypaths, "keypaths")->Name("plistlib/keypaths")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const auto& f = files();
    std::fprintf(stderr, "promotion list: %zu bytes XML, %zu bytes binary, %d key paths per read\n", f.xml.size(),
                 f.binary.size(), kKeyPathReads);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(f.dir, ec);
    return 0;
}
