#include "NetTestFixture.h"

#include "platform/Paths.h"
#include "support/TempDir.h"

#include <regex>

using namespace vq;
using namespace vq::test;

namespace {

const std::string plist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>base</key><dict><key>ad_type</key><integer>2</integer></dict></dict></plist>
)";

// gzip streams that inflate to exactly the cap and to one byte more.
const std::string& zeros(bool overCap)
{
    static const std::string atCap = gzip(std::string(HttpRequest::maxInflatedSize, '\0'));
    static const std::string pastCap = gzip(std::string(HttpRequest::maxInflatedSize + 1, '\0'));
    return overCap ? pastCap : atCap;
}

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
        encoded("/at-cap", [] { return zeros(false); });
        encoded("/past-cap", [] { return zeros(true); });
        http.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(req.matches[1]);
            if (res.status != 204)
                res.set_content("body of " + std::string(req.matches[1]), "application/octet-stream");
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
    auto [atCap, atCapRecorder] = fetch(server.url("/at-cap"));
    EXPECT_EQ(atCapRecorder->finished, 1);
    EXPECT_EQ(atCap->responseData().size(), HttpRequest::maxInflatedSize);

    writeFileAtomically(dir / "out.bin", "old");
    auto [pastCap, pastCapRecorder] = download("/past-cap", dir / "out.bin");
    EXPECT_EQ(pastCapRecorder->failed, 1);
    ASSERT_TRUE(pastCap->error());
    // Nothing written: the old file stands and no temporary file is left.
    EXPECT_EQ(readFile(dir / "out.bin"), "old");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST_F(HttpBodyTest, BrokenBodiesFailAndLeaveTheDestinationAlone)
{
    writeFileAtomically(dir / "out.bin", "old");
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
    writeFileAtomically(destination, "old");

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
