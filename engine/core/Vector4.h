// Four-component float vector: homogeneous points and shader constants.
// Fields are written to the stream, and handed to shaders, in declaration order.
#pragma once

namespace Vorn
{

struct Vector4
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    Vector4() = default;
    Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
};

} // namespace Vorn
