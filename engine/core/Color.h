// Floating-point RGBA colour, each channel nominally in [0, 1], streamed in field order.
// The renderer packs it into a 32-bit ARGB word for devices that take packed vertex colours.
#pragma once

#include <cstdint>

namespace Vorn
{

struct Color
{
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    Color() = default;
    Color(float r, float g, float b, float a) : r(r), g(g), b(b), a(a) {}

    // Alpha in bits 24-31, red 16-23, green 8-15, blue 0-7; each channel is scaled by 255
    // and truncated, not rounded and not clamped, so callers keep channels within [0, 1].
    uint32_t ToArgb() const;
};

} // namespace Vorn
