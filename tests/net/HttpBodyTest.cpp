#include "NetTestFixture.h"

#include "support/TempDir.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

using namespace vq;
using namespace vq::test;

namespace {

constexpr std::size_t cap = HttpRequest::maxBodySize;

const std::string plist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>base</key><dict><key>ad_type</key><integer>2</integer></dict></dict></plist>
)";

// A gzip stream of n zero bytes, made a slice at a time.
std::string gzipZeros(std::size_t n)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    static const std::string slice(1 << 20, '\0');
    std::string out;
    std::string buffer(1 << 16, '\0');
    int flush = Z_NO_FLUSH;
    do {
        std::size_t take = std::min(n, slice.size());
        n -= take;
        flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(slice.data()));
        stream.avail_in = static_cast<uInt>(take);
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            out.append(buffer.data(), buffer.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&stream);
    return out;
}

// gzip streams that inflate to exactly the cap and to one byte more.
const std::string& zeros(bool overCap)
{
    static const std::string atCap = gzipZeros(cap);
    static const std::string pastCap = gzipZeros(cap + 1);
    return overCap ? pastCap : atCap;
}

// Sends size bytes of 'p' without a Content-Length, a mebibyte at a time.
void sendUnsized(httplib::Response& res, std::size_t size)
{
    res.set_chunked_content_provider("application/octet-stream", [size](std::size_t offset, httplib::DataSink& sink) {
        static const std::string slice(1 << 20, 'p');
        std::size_t take = std::min(slice.size(), size - offset);
        if (take > 0 && !sink.write(slice.data(), take))
            return false;
        if (offset + take == size)
            sink.done();
        return true;
    });
}

// An environment variable set for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : _name(name)
    {
        if (const char* old = std::getenv(name))
            _old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (_old)
            setenv(_name, _old->c_str(), 1);
        else
            unsetenv(_name);
    }

private:
    const char* _name;
    std::optional<std::string> _old;
};

class HttpBodyTest : public NetTest {
protected:
    void SetUp() override
    {
        NetTest::SetUp();
        auto& http = server.http();
        auto encoded = [&http](const std::string& path, std::function<std::string()> body) {
            http.Get(path, [body](const httplib::Request&, httplib::Response& res) {
                res.set_header("Content-Encoding", "gzip");
                res.set_content(body(), "application/x-plist");
            });
        };
        encoded("/gz", [] { return gzip(plist); });
        encoded("/gz-two-members", [] { return gzip("first,") + gzip("second"); });
        encoded("/not-gz", [] { return std::string("plain text, not gzip"); });
        encoded("/gz-truncated", [] {
            auto whole = gzip(plist);
            return whole.substr(0, whole.size() - 12);
        });
        encoded("/gz-empty", [] { return std::string(); });
        encoded("/at-cap", [] { return zeros(false); });
        encoded("/past-cap", [] { return zeros(true); });
        http.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(req.matches[1]);
            if (res.status != 204)
                res.set_content("body of " + std::string(req.matches[1]), "application/octet-stream");
        });
        http.Get("/plain-at-cap", [](const httplib::Request&, httplib::Response& res) { sendUnsized(res, cap); });
        http.Get("/plain-past-cap", [](const httplib::Request&, httplib::Response& res) { sendUnsized(res, cap + 1); });
        // Says it is too big, sends a little, then waits: only the head can tell.
        http.Get("/claims-past-cap", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(cap + 1, "application/octet-stream",
                                     [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset > 0)
                                             server.hold();
                                         std::string part(1000, 'p');
                                         return sink.write(part.data(), part.size());
                                     });
        });
        http.Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/status/200", 302);
            res.set_content("the redirect's own body", "application/octet-stream");
        });
        http.Get("/reset", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(100000, "application/octet-stream",
                                     [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                         std::string part(1000, 'x');
                                         sink.write(part.data(), part.size());
                                         return false;
                                     });
        });
    }

    Fetch download(const std::string& path, const std::filesystem::path& destination)
    {
        auto request = HttpRequest::requestWithURL(server.url(path));
        request->setDownloadDestinationPath(destination);
        return fetch(request);
    }

    TempDir dir;
};

TEST_F(HttpBodyTest, GzipBodiesArriveInflatedInMemoryAndInFiles)
{
    auto [request, recorder] = fetch(server.url("/gz"));
    EXPECT_EQ(recorder->finished, 1);
    EXPECT_EQ(request->responseData(), plist);

    auto [members, membersRecorder] = fetch(server.url("/gz-two-members"));
    EXPECT_EQ(members->responseData(), "first,second");

    auto [file, fileRecorder] = download("/gz", dir / "list.plist");
    EXPECT_EQ(fileRecorder->finished, 1);
    EXPECT_TRUE(file->responseData().empty());
    EXPECT_EQ(readFile(dir / "list.plist"), plist);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"list.plist"});
}

TEST_F(HttpBodyTest, InflatingStopsAtTheCap)
{
    // Made here: made inside the handler they would stall it past the time-out.
    zeros(false);
    zeros(true);
    auto [atCap, atCapRecorder] = download("/at-cap", dir / "zeros.bin");
    ASSERT_EQ(atCapRecorder->finished, 1) << atCap->error().value_or("");
    EXPECT_EQ(std::filesystem::file_size(dir / "zeros.bin"), cap);
    std::filesystem::remove(dir / "zeros.bin");

    writeFile(dir / "out.bin", "old");
    auto [pastCap, pastCapRecorder] = download("/past-cap", dir / "out.bin");
    EXPECT_EQ(pastCapRecorder->failed, 1);
    ASSERT_TRUE(pastCap->error());
    // Nothing written: the old file stands and no temporary file is left.
    EXPECT_EQ(readFile(dir / "out.bin"), "old");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST_F(HttpBodyTest, PlainBodiesStopAtTheSameCap)
{
    auto [atCap, atCapRecorder] = fetch(server.url("/plain-at-cap"));
    ASSERT_EQ(atCapRecorder->finished, 1) << atCap->error().value_or("");
    EXPECT_EQ(atCap->responseData().size(), cap);

    auto [pastCap, pastCapRecorder] = fetch(server.url("/plain-past-cap"));
    EXPECT_EQ(pastCapRecorder->failed, 1);
    EXPECT_TRUE(pastCap->responseData().empty());

    writeFile(dir / "out.bin", "old");
    auto [file, fileRecorder] = download("/plain-past-cap", dir / "out.bin");
    EXPECT_EQ(fileRecorder->failed, 1);
    EXPECT_TRUE(readFile(dir / "out.bin") == "old");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.bin"});

    // A length past the cap fails at the head, long before any silence would.
    HttpRequest::setTimeOutSecondsForTesting(3);
    auto [claimed, claimedRecorder] = fetch(server.url("/claims-past-cap"));
    EXPECT_EQ(claimedRecorder->failed, 1);
    EXPECT_NE(claimed->error(), "The request timed out");
    auto [claimedFile, claimedFileRecorder] = download("/claims-past-cap", dir / "out.bin");
    EXPECT_EQ(claimedFileRecorder->failed, 1);
    EXPECT_NE(claimedFile->error(), "The request timed out");
    EXPECT_TRUE(readFile(dir / "out.bin") == "old");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST_F(HttpBodyTest, BrokenBodiesFailAndLeaveTheDestinationAlone)
{
    writeFile(dir / "out.bin", "old");
    for (std::string path : {"/not-gz", "/gz-truncated", "/reset"}) {
        auto [memory, memoryRecorder] = fetch(server.url(path));
        EXPECT_EQ(memoryRecorder->failed, 1) << path;
        EXPECT_TRUE(memory->responseData().empty()) << path;

        auto [file, fileRecorder] = download(path, dir / "out.bin");
        EXPECT_EQ(fileRecorder->failed, 1) << path;
        EXPECT_EQ(readFile(dir / "out.bin"), "old") << path;
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.bin"}) << path;
    }
}

TEST_F(HttpBodyTest, DownloadsReplaceTheDestinationWhateverTheStatus)
{
    auto destination = dir / "out.bin";
    writeFile(destination, "old");

    auto [notFound, notFoundRecorder] = download("/status/404", destination);
    EXPECT_EQ(notFoundRecorder->finished, 1);
    EXPECT_EQ(notFound->responseStatusCode(), 404);
    EXPECT_EQ(readFile(destination), "body of 404");

    // In place before the failure is reported.
    auto [unauthorized, unauthorizedRecorder] = download("/status/401", destination);
    EXPECT_EQ(unauthorizedRecorder->failed, 1);
    EXPECT_EQ(readFile(destination), "body of 401");

    auto [empty, emptyRecorder] = download("/status/204", destination);
    EXPECT_EQ(emptyRecorder->finished, 1);
    EXPECT_EQ(readFile(destination), "");

    // Only the final response's body lands.
    auto [redirected, redirectedRecorder] = download("/redirect", destination);
    EXPECT_EQ(redirectedRecorder->finished, 1);
    EXPECT_EQ(readFile(destination), "body of 200");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST_F(HttpBodyTest, DestinationNamesAsLongAsTheSystemAllowsWork)
{
    for (std::size_t length : {248, 255}) {
        auto name = std::string(length - 4, 'n') + ".bin";
        auto [request, recorder] = download("/gz", dir / name);
        EXPECT_EQ(recorder->finished, 1) << length << ": " << request->error().value_or("");
        EXPECT_EQ(readFile(dir / name), plist) << length;
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{name});
        std::filesystem::remove(dir / name);
    }
}

TEST_F(HttpBodyTest, AnEmptyBodyWithNowhereToBeWrittenFails)
{
    // Nobody, not even root, makes files in /proc: neither beside the
    // destination nor in the temporary folder can the body be written.
    ScopedEnv tmpdir("TMPDIR", "/proc");
    for (std::string path : {"/gz-empty", "/status/204"}) {
        auto [request, recorder] = download(path, "/proc/out.bin");
        EXPECT_EQ(recorder->failed, 1) << path;
        EXPECT_TRUE(request->error()) << path;
    }
}

TEST_F(HttpBodyTest, MovingIntoAMissingFolderFailsAndCleansUp)
{
    auto destination = dir / "missing" / "out.bin";
    auto [request, recorder] = download("/status/200", destination);
    EXPECT_EQ(recorder->failed, 1);
    ASSERT_TRUE(request->error());
    std::smatch match;
    ASSERT_TRUE(std::regex_match(*request->error(), match, std::regex("Failed to move file from '(.+)' to '(.+)'")))
        << *request->error();
    EXPECT_EQ(match[2].str(), destination.string());
    EXPECT_FALSE(std::filesystem::exists(match[1].str()));
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

} // namespace
