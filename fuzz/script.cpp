// Scripts are user input: any text must parse or give an error naming a line inside it.
#include "Check.h"

#include "main/Script.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto result = vq::parseScript(text);
    if (auto* error = std::get_if<vq::ScriptError>(&result)) {
        long lines = 1;
        for (char c : text)
            lines += c == '\n';
        require(error->line >= 1 && error->line <= lines, "an error names a line outside the script", error->message);
        require(!error->message.empty(), "an error without a message");
    }
    return 0;
}
