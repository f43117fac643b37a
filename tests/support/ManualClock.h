#pragma once

#include "core/RunLoop.h"

#include <gtest/gtest.h>

namespace vq::test {

// A test on an emptied main run loop with a manual clock at 0; the system
// clock is back afterwards.
class ManualClockTest : public testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::main().reset();
        RunLoop::main().useManualClock();
    }
    void TearDown() override
    {
        RunLoop::main().reset();
        RunLoop::main().useSystemClock();
    }
};

} // namespace vq::test
