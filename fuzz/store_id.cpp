// Store identifiers are cut out of promotion links: whatever the link, the
// answer is the piece after the first "/id" of the path (store host) or the
// first "?id" (elsewhere), up to the next one, and both link handlers agree.
#include "Check.h"

#include "promotion/ExternalLinkHandler.h"
#include "promotion/InternalLinkHandler.h"

#include <BuildSettings.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {
std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    auto id = vq::InternalLinkHandler::getIDFromString(text);
    require(id == vq::ExternalLinkHandler::getIDFromString(text), "the link handlers read different identifiers", text);
    if (!id)
        return 0;
    if (lower(text).find(lower(std::string(vq::build::kStoreWebHost))) != std::string::npos) {
        // From the path only: never the query, never past the next "/id".
        auto path = text.substr(0, text.find('?'));
        require(path.find("/id" + *id) != std::string::npos, "not after /id in the path", text);
        require(id->find("/id") == std::string::npos, "runs past the next /id", text);
    } else {
        require(text.find("?id" + *id) != std::string::npos, "not after ?id", text);
        require(id->find("?id") == std::string::npos, "runs past the next ?id", text);
    }
    return 0;
}
