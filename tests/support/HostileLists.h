#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vq::test {

// A binary property list of levels arrays over one leaf object: each array
// holds two references to the next, so a few hundred bytes stand for 2^levels
// copies of the leaf once every reference is followed.
inline std::string sharedObjectBomb(std::uint32_t levels, const std::string& leaf)
{
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    for (std::uint32_t i = 0; i < levels; ++i) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        out += '\xA2';
        out += static_cast<char>(i + 1);
        out += static_cast<char>(i + 1);
    }
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    out += leaf;
    std::uint64_t table = out.size();
    for (auto offset : offsets)
        for (int k = 3; k >= 0; --k)
            out += static_cast<char>((offset >> (8 * k)) & 0xFF);
    out += std::string(6, '\0');
    out += '\x04'; // offset size
    out += '\x01'; // reference size
    for (std::uint64_t v : {std::uint64_t{offsets.size()}, std::uint64_t{0}, table})
        for (int k = 7; k >= 0; --k)
            out += static_cast<char>((v >> (8 * k)) & 0xFF);
    return out;
}

} // namespace vq::test
