// Property lists arrive from the promotion server and sit in the preferences
// file: any bytes must parse or be refused cleanly, and what parses must write
// back out, in either form, and read back in unchanged. A string holding a NUL
// or a control character goes only into the binary form: XML has no way to
// write them.
#include "Check.h"
#include "SameValue.h"

#include "core/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace {
// Written out, shared objects are copied: what was within the budget as sent
// may be past it now, and the round trip is about the values.
constexpr std::size_t kNoBudget = std::numeric_limits<std::size_t>::max();

bool holdsNul(const vq::PlistValue& v)
{
    if (auto* s = v.string())
        return s->find('\0') != std::string::npos;
    if (auto* a = v.array())
        for (const auto& item : *a)
            if (holdsNul(item))
                return true;
    if (auto* d = v.dictionary())
        for (const auto& [key, item] : *d)
            if (holdsNul(item))
                return true;
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto value = vq::parsePropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!value)
        return 0;
    if (holdsNul(*value))
        require(vq::propertyListWriteError(*value, vq::PlistFormat::Xml).has_value(), "a NUL is let into XML");
    if (vq::propertyListWriteError(*value, vq::PlistFormat::Xml)) {
        auto written = vq::writePropertyList(*value, vq::PlistFormat::Binary);
        auto again = vq::parsePropertyList(written, kNoBudget);
        require(again && sameValue(*again, *value), "a list XML cannot carry changes when read back", written);
        return 0;
    }
    // Compared as XML text: reals may be NaN, and XML keeps whole seconds of dates only.
    auto xml = vq::writePropertyList(*value, vq::PlistFormat::Xml);
    for (auto format : {vq::PlistFormat::Xml, vq::PlistFormat::Binary}) {
        auto written = vq::writePropertyList(*value, format);
        auto again = vq::parsePropertyList(written, kNoBudget);
        require(again.has_value(), "a written list does not parse", written);
        auto rewritten = vq::writePropertyList(*again, vq::PlistFormat::Xml);
        require(rewritten == xml, "a list changes when read back", xml + "\n----\n" + rewritten);
    }
    return 0;
}
