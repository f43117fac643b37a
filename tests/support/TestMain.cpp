#include "core/Log.h"
#include "core/RunLoop.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // A fixed font set, so measurements do not depend on what the machine has installed.
    setenv("FONTCONFIG_FILE", VQ_TEST_FONTS_CONF, 0);
    vq::setLogToStderr(std::getenv("VQ_TEST_LOG") != nullptr);
    vq::RunLoop::main().adoptCurrentThread();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
