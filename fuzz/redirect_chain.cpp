// A promotion link is visited in the background and every redirect's Location
// comes from a server: the chain a link and a run of Location values make,
// through the link handler's redirect hook, without a network.
#include "Check.h"

#include "net/CurlUrl.h"
#include "net/UrlConnection.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto handler = vq::InternalLinkHandler::create();
    FuzzedDataProvider in(data, size);
    auto url = vq::Gobals::encodeURL(in.ConsumeRandomLengthString(512));
    if (!url)
        return 0;
    // Built as the handler's visit builds it; it is never started.
    auto connection =
        std::make_shared<vq::UrlConnection>(vq::UrlConnection::Token{}, *url, handler, [](std::function<void()>) {});
    for (int redirects = 0; redirects <= vq::UrlConnection::maxRedirects && in.remaining_bytes() > 0; ++redirects) {
        if (!handler->willSendRequest(*connection, *url))
            return 0;
        auto location = in.ConsumeRandomLengthString(512);
        auto next = vq::UrlConnection::redirectTarget(*url, location);
        if (!next)
            return 0;
        // What the chain moves to is requested next: it must read back as a usable address.
        auto parsed = vq::CurlUrl::parse(*next);
        require(parsed && parsed->isUsable(), "a redirect leads to an address that cannot be requested", *next);
        url = next;
    }
    return 0;
}
