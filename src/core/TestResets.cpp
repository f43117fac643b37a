#include "core/TestResets.h"

#include <vector>

namespace vq {

namespace {

std::vector<std::function<void()>>& addedResets()
{
    static std::vector<std::function<void()>> resets;
    return resets;
}

} // namespace

void addResetForTests(std::function<void()> reset) { addedResets().push_back(std::move(reset)); }

void runAddedResetsForTests()
{
    for (const auto& reset : addedResets())
        reset();
}

} // namespace vq
