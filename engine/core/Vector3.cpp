#include "engine/core/Vector3.h"

#include <cmath>

#include "engine/core/MathUtil.h"

namespace Vorn
{

float Vector3::Length() const
{
    return std::sqrt(SquaredLength());
}

void Vector3::Normalize()
{
    const float squared = SquaredLength();
    if (squared < Epsilon)
    {
        x = y = z = 0.0f;
        return;
    }
    *this *= 1.0f / std::sqrt(squared);
}

} // namespace Vorn
