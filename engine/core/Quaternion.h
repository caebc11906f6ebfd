// Rotation quaternion, vector part first (x, y, z, w), streamed in that order.
// Its matrix acts on row vectors, so p * q rotates by p first and then by q, the same order
// as the matrix product p.ToMatrix3() * q.ToMatrix3().
#pragma once

#include "engine/core/Matrix3.h"
#include "engine/core/Matrix4.h"
#include "engine/core/Vector3.h"

namespace Vorn
{

struct Quaternion
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;  // default is the identity rotation

    Quaternion() = default;
    Quaternion(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}

    static Quaternion Identity() { return Quaternion(); }
    // The axis is used as given: a non-unit axis yields a non-unit quaternion.
    static Quaternion FromAxisAngle(const Vector3& axis, float angle);
    // The matrix is assumed to be a rotation; the largest of w, x, y, z is recovered first
    // so the divisions stay well conditioned.
    static Quaternion FromMatrix3(const Matrix3& rotation);

    Quaternion operator*(const Quaternion& q) const;
    Quaternion Conjugate() const { return Quaternion(-x, -y, -z, w); }
    float SquaredLength() const { return x * x + y * y + z * z + w * w; }
    // Same rule as Vector3::Normalize: below Epsilon squared length gives (0, 0, 0, 0).
    void Normalize();

    Matrix3 ToMatrix3() const;
    // The rotation in the upper-left 3x3, no translation, element 15 = 1.
    Matrix4 ToMatrix4() const;
    // v * ToMatrix3().
    Vector3 Rotate(const Vector3& v) const;
};

} // namespace Vorn
