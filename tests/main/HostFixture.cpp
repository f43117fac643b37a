#include "main/HostFixture.h"

#include "main/HeadlessHost.h"

#include "system/TestReset.h"

#include <fstream>
#include <sstream>

namespace vq::test {

void HostFixture::SetUp() { resetForTests(); }

void HostFixture::TearDown() { resetForTests(); }

int HostFixture::runScript(const std::string& text, LaunchOptions options, const std::string& name)
{
    std::ofstream(_dir / name) << text;
    options.script = _dir / name;
    return runHost(std::move(options));
}

int HostFixture::runHost(LaunchOptions options)
{
    // Each run starts like a fresh process.
    resetForTests();
    options.headless = true;
    if (!options.dataDir)
        options.dataDir = _dir / "data";
    HeadlessHost host(
        std::move(options),
        [this] {
            _app = std::make_shared<TestApp>();
            return _app;
        },
        testTargets);
    std::ostringstream errors;
    int status = host.run(errors);
    _errors = errors.str();
    return status;
}

std::string HostFixture::readText(const std::string& name) const
{
    std::ifstream in(_dir / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace vq::test
