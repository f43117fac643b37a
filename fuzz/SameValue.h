#pragma once

#include "core/PropertyList.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

// A date as a file can hold it: whole seconds within 32 bits, NaN as the epoch;
// a date beyond them is written as the nearest one.
inline double writableDate(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    return std::clamp(seconds, double(std::numeric_limits<std::int32_t>::min()),
                      double(std::numeric_limits<std::int32_t>::max()));
}

// Whether a value read back is the one written: reals alike when both are NaN,
// dates within dateSlack seconds (the binary reader may round a microsecond
// down; XML keeps whole seconds only).
inline bool sameValue(const vq::PlistValue& a, const vq::PlistValue& b, double dateSlack = 2e-6)
{
    if (a.type() != b.type())
        return false;
    if (a.isReal()) {
        double x = *a.doubleValue(), y = *b.doubleValue();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    if (a.isDate())
        return std::abs(writableDate(a.date()->seconds) - writableDate(b.date()->seconds)) <= dateSlack;
    if (auto* items = a.array()) {
        if (items->size() != b.array()->size())
            return false;
        for (std::size_t i = 0; i < items->size(); ++i)
            if (!sameValue((*items)[i], (*b.array())[i], dateSlack))
                return false;
        return true;
    }
    if (auto* dict = a.dictionary()) {
        if (dict->size() != b.dictionary()->size())
            return false;
        for (const auto& [key, item] : *dict) {
            auto* other = b.find(key);
            if (!other || !sameValue(item, *other, dateSlack))
                return false;
        }
        return true;
    }
    return a == b;
}
