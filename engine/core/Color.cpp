#include "engine/core/Color.h"

namespace Vorn
{

namespace
{

// Truncates toward zero like a plain cast, but a channel from a damaged scene file (NaN or
// far out of range) must not reach an undefined float-to-integer conversion. The result is
// kept to its own byte so a stray channel cannot spill into its neighbours.
uint32_t ChannelByte(float channel)
{
    const float scaled = channel * 255.0f;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f))
        return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & 0xFFu;
}

} // namespace

uint32_t Color::ToArgb() const
{
    return (ChannelByte(a) << 24) | (ChannelByte(r) << 16) | (ChannelByte(g) << 8) |
           ChannelByte(b);
}

} // namespace Vorn
