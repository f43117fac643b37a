#pragma once

#include "main/LaunchOptions.h"
#include "main/TestApp.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace vq::test {

// Runs the headless host in this process on the test app, with a fresh data
// folder; the platform's resetForTests before and after each run.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Each run starts from a fresh application.
    // Writes the script to a file of that name in the temporary folder and runs it.
    int runScript(const std::string& text, LaunchOptions options = {}, const std::string& name = "test.vqs");
    int runHost(LaunchOptions options);
    std::string readText(const std::string& name) const;

    TempDir _dir;
    std::shared_ptr<TestApp> _app;
    std::string _errors;
};

} // namespace vq::test
