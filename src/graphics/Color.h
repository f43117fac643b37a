#pragma once

#include <cstdint>

namespace vq {

// An RGBA colour with float components in 0..1.
struct Color {
    float r = 0, g = 0, b = 0, a = 0;

    static Color rgba(float r, float g, float b, float a = 1.0f) { return {r, g, b, a}; }
    // Components on the 0..255 scale, as design tables give them.
    static Color rgb255(float r, float g, float b, float a = 1.0f) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }
    static Color white(float w, float a = 1.0f) { return {w, w, w, a}; }

    static Color clearColor() { return {0, 0, 0, 0}; }
    static Color whiteColor() { return {1, 1, 1, 1}; }
    static Color blackColor() { return {0, 0, 0, 1}; }
    static Color grayColor() { return {0.5f, 0.5f, 0.5f, 1}; }
    static Color lightGrayColor() { return {2.0f / 3, 2.0f / 3, 2.0f / 3, 1}; }
    static Color darkGrayColor() { return {1.0f / 3, 1.0f / 3, 1.0f / 3, 1}; }
    static Color redColor() { return {1, 0, 0, 1}; }
    static Color blueColor() { return {0, 0, 1, 1}; }

    Color withAlpha(float alpha) const { return {r, g, b, alpha}; }
    // 0..255 bytes, rounded.
    std::uint8_t red8() const { return to8(r); }
    std::uint8_t green8() const { return to8(g); }
    std::uint8_t blue8() const { return to8(b); }
    std::uint8_t alpha8() const { return to8(a); }

    friend bool operator==(const Color&, const Color&) = default;

private:
    static std::uint8_t to8(float v)
    {
        v = v < 0 ? 0 : (v > 1 ? 1 : v);
        return static_cast<std::uint8_t>(v * 255.0f + 0.5f);
    }
};

} // namespace vq
