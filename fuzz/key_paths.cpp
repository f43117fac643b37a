// The promotion client reads any list the server sends by dotted key paths and
// converts what it finds: a fuzzed path over a fuzzed list.
#include "Check.h"

#include "core/PropertyListValues.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    std::string path = in.ConsumeRandomLengthString(64);
    std::string body = in.ConsumeRemainingBytesAsString();
    auto list = vq::parsePropertyListDictionary(body);
    if (!list)
        return 0;

    for (const std::string& p : {path, std::string("status.code"), std::string("base.ad_type")}) {
        vq::PlistValue value = vq::valueForKeyPath(*list, p);
        const vq::PlistValue* found = vq::findKeyPath(*list, p);
        // The copying and the non-copying reading agree wherever both answer.
        require(!found || vq::describe(*found) == vq::describe(value), "findKeyPath and valueForKeyPath differ", p);
        std::int64_t n = vq::integerValueOf(value);
        bool b = vq::boolValueOf(value);
        require(vq::stringValueOf(value).has_value() == value.isString(), "stringValueOf of a non-string", p);
        // A number is true exactly when it is not zero (NaN included).
        require(!value.isNumber() || b == (*value.doubleValue() != 0), "boolValueOf of a number", p);
        require(value.isString() || value.isNumber() || (n == 0 && !b), "a container or date read as a number", p);
        require(!found || (vq::integerValueOf(found) == n && vq::boolValueOf(found) == b),
                "the two readers convert differently", p);
        (void)vq::describe(found);
    }
    (void)vq::describe(*list);
    return 0;
}
