#include "engine/core/Quaternion.h"

#include <cmath>

#include "engine/core/MathUtil.h"

namespace Vorn
{

Quaternion Quaternion::FromAxisAngle(const Vector3& axis, float angle)
{
    const float halfSine = std::sin(angle * 0.5f);
    return Quaternion(axis.x * halfSine, axis.y * halfSine, axis.z * halfSine,
                      std::cos(angle * 0.5f));
}

Quaternion Quaternion::FromMatrix3(const Matrix3& rotation)
{
    const Matrix3& m = rotation;
    const float trace = m(0, 0) + m(1, 1) + m(2, 2);
    Quaternion q;
    if (trace > 0.0f)
    {
        q.w = std::sqrt(trace + 1.0f) * 0.5f;
        const float denominator = 4.0f * q.w;
        q.x = (m(2, 1) - m(1, 2)) / denominator;
        q.y = (m(0, 2) - m(2, 0)) / denominator;
        q.z = (m(1, 0) - m(0, 1)) / denominator;
    }
    else if (m(0, 0) > m(1, 1) && m(0, 0) > m(2, 2))
    {
        q.x = std::sqrt(m(0, 0) - m(1, 1) - m(2, 2) + 1.0f) * 0.5f;
        const float denominator = 4.0f * q.x;
        q.y = (m(1, 0) + m(0, 1)) / denominator;
        q.z = (m(2, 0) + m(0, 2)) / denominator;
        q.w = (m(2, 1) - m(1, 2)) / denominator;
    }
    else if (m(1, 1) >= m(0, 0) && m(1, 1) > m(2, 2))
    {
        q.y = std::sqrt(m(1, 1) - m(0, 0) - m(2, 2) + 1.0f) * 0.5f;
        const float denominator = 4.0f * q.y;
        q.x = (m(1, 0) + m(0, 1)) / denominator;
        q.z = (m(2, 1) + m(1, 2)) / denominator;
        q.w = (m(0, 2) - m(2, 0)) / denominator;
    }
    else
    {
        q.z = std::sqrt(m(2, 2) - m(0, 0) - m(1, 1) + 1.0f) * 0.5f;
        const float denominator = 4.0f * q.z;
        q.x = (m(2, 0) + m(0, 2)) / denominator;
        q.y = (m(2, 1) + m(1, 2)) / denominator;
        q.w = (m(1, 0) - m(0, 1)) / denominator;
    }
    return q;
}

Quaternion Quaternion::operator*(const Quaternion& q) const
{
    const Quaternion& p = *this;
    return Quaternion(p.w * q.x + p.x * q.w + p.y * q.z - p.z * q.y,
                      p.w * q.y - p.x * q.z + p.y * q.w + p.z * q.x,
                      p.w * q.z + p.x * q.y - p.y * q.x + p.z * q.w,
                      p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z);
}

void Quaternion::Normalize()
{
    const float squared = SquaredLength();
    if (squared < Epsilon)
    {
        x = y = z = w = 0.0f;
        return;
    }
    const float inverse = 1.0f / std::sqrt(squared);
    x *= inverse;
    y *= inverse;
    z *= inverse;
    w *= inverse;
}

Matrix3 Quaternion::ToMatrix3() const
{
    return Matrix3(1.0f - 2.0f * y * y - 2.0f * z * z, 2.0f * x * y - 2.0f * z * w,
                   2.0f * x * z + 2.0f * y * w,
                   2.0f * x * y + 2.0f * z * w, 1.0f - 2.0f * x * x - 2.0f * z * z,
                   2.0f * y * z - 2.0f * x * w,
                   2.0f * x * z - 2.0f * y * w, 2.0f * y * z + 2.0f * x * w,
                   1.0f - 2.0f * x * x - 2.0f * y * y);
}

Matrix4 Quaternion::ToMatrix4() const
{
    return Matrix4(ToMatrix3(), Vector3());
}

Vector3 Quaternion::Rotate(const Vector3& v) const
{
    return v * ToMatrix3();
}

} // namespace Vorn
