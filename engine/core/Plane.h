// Plane n . p = distance with a unit normal, used for view-frustum and mirror tests.
// Four floats in field order: the normal's x, y, z, then the distance.
#pragma once

#include "engine/core/Vector3.h"

namespace Vorn
{

struct Plane
{
    Vector3 normal;
    float distance = 0.0f;

    Plane() = default;
    Plane(const Vector3& normal, float distance) : normal(normal), distance(distance) {}
    // Normal from (b - a) x (c - a), so the winding of the points picks the positive side.
    // Collinear points give the zero normal and distance 0.
    Plane(const Vector3& a, const Vector3& b, const Vector3& c);

    // Positive on the side the normal points to.
    float SignedDistance(const Vector3& p) const { return normal.Dot(p) - distance; }
};

} // namespace Vorn
