// Property lists arrive from the promotion server: any bytes must parse or be refused cleanly.
#include "platform/PropertyList.h"
#include "platform/PropertyListValues.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto value = vq::parsePropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (value) {
        // Whatever parses must also write back out and read back in.
        auto xml = vq::writePropertyList(*value, vq::PlistFormat::Xml);
        if (!vq::parsePropertyList(xml))
            __builtin_trap();
        // The client reads any list by key paths and logs it whole.
        for (const char* path : {"status.code", "base.apns", "reward.scheme", "wall.app_id.x", "alert.title"}) {
            auto v = vq::valueForKeyPath(*value, path);
            (void)vq::integerValueOf(v);
            (void)vq::boolValueOf(v);
            (void)vq::describe(v);
        }
        (void)vq::describe(*value);
    }
    return 0;
}
