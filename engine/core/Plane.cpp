#include "engine/core/Plane.h"

namespace Vorn
{

Plane::Plane(const Vector3& a, const Vector3& b, const Vector3& c)
    : normal((b - a).Cross(c - a).Normalized()), distance(normal.Dot(a))
{
}

} // namespace Vorn
