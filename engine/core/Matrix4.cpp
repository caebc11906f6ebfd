#include "engine/core/Matrix4.h"

#include <cmath>

#include "engine/core/MathUtil.h"

namespace Vorn
{

namespace
{

// The 2x2 minors of the top two rows (s) and of the bottom two rows (c). Every 3x3 cofactor
// and the determinant are sums of their products, so each minor is computed once.
struct Minors
{
    float s[6];
    float c[6];

    explicit Minors(const Matrix4& a)
    {
        s[0] = a(0, 0) * a(1, 1) - a(1, 0) * a(0, 1);
        s[1] = a(0, 0) * a(1, 2) - a(1, 0) * a(0, 2);
        s[2] = a(0, 0) * a(1, 3) - a(1, 0) * a(0, 3);
        s[3] = a(0, 1) * a(1, 2) - a(1, 1) * a(0, 2);
        s[4] = a(0, 1) * a(1, 3) - a(1, 1) * a(0, 3);
        s[5] = a(0, 2) * a(1, 3) - a(1, 2) * a(0, 3);
        c[0] = a(2, 0) * a(3, 1) - a(3, 0) * a(2, 1);
        c[1] = a(2, 0) * a(3, 2) - a(3, 0) * a(2, 2);
        c[2] = a(2, 0) * a(3, 3) - a(3, 0) * a(2, 3);
        c[3] = a(2, 1) * a(3, 2) - a(3, 1) * a(2, 2);
        c[4] = a(2, 1) * a(3, 3) - a(3, 1) * a(2, 3);
        c[5] = a(2, 2) * a(3, 3) - a(3, 2) * a(2, 3);
    }

    float Determinant() const
    {
        return s[0] * c[5] - s[1] * c[4] + s[2] * c[3] + s[3] * c[2] - s[4] * c[1] +
               s[5] * c[0];
    }
};

} // namespace

Matrix4::Matrix4(const float (&elements)[16])
{
    for (int i = 0; i < 16; ++i)
        m[i] = elements[i];
}

Matrix4::Matrix4(const Matrix3& rotation, const Vector3& translation)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            (*this)(r, c) = rotation(r, c);
    m[12] = translation.x;
    m[13] = translation.y;
    m[14] = translation.z;
}

Matrix4 Matrix4::Zero()
{
    Matrix4 result;
    for (float& element : result.m)
        element = 0.0f;
    return result;
}

Matrix4 Matrix4::operator*(const Matrix4& b) const
{
    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result(r, c) = (*this)(r, 0) * b(0, c) + (*this)(r, 1) * b(1, c) +
                           (*this)(r, 2) * b(2, c) + (*this)(r, 3) * b(3, c);
    return result;
}

Matrix4 Matrix4::operator*(float s) const
{
    Matrix4 result;
    for (int i = 0; i < 16; ++i)
        result.m[i] = m[i] * s;
    return result;
}

Matrix4 Matrix4::operator/(float s) const
{
    if (s == 0.0f)
    {
        Matrix4 result;
        for (float& element : result.m)
            element = MaxFloat;
        return result;
    }
    return *this * (1.0f / s);
}

Matrix4 Matrix4::Transposed() const
{
    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result(r, c) = (*this)(c, r);
    return result;
}

float Matrix4::Determinant() const
{
    return Minors(*this).Determinant();
}

Matrix4 Matrix4::Inverse() const
{
    const Minors minors(*this);
    const float determinant = minors.Determinant();
    if (std::fabs(determinant) <= Epsilon)
        return Zero();

    const float* s = minors.s;
    const float* c = minors.c;
    const Matrix4& a = *this;
    const float adjugate[16] = {
        a(1, 1) * c[5] - a(1, 2) * c[4] + a(1, 3) * c[3],
        -a(0, 1) * c[5] + a(0, 2) * c[4] - a(0, 3) * c[3],
        a(3, 1) * s[5] - a(3, 2) * s[4] + a(3, 3) * s[3],
        -a(2, 1) * s[5] + a(2, 2) * s[4] - a(2, 3) * s[3],

        -a(1, 0) * c[5] + a(1, 2) * c[2] - a(1, 3) * c[1],
        a(0, 0) * c[5] - a(0, 2) * c[2] + a(0, 3) * c[1],
        -a(3, 0) * s[5] + a(3, 2) * s[2] - a(3, 3) * s[1],
        a(2, 0) * s[5] - a(2, 2) * s[2] + a(2, 3) * s[1],

        a(1, 0) * c[4] - a(1, 1) * c[2] + a(1, 3) * c[0],
        -a(0, 0) * c[4] + a(0, 1) * c[2] - a(0, 3) * c[0],
        a(3, 0) * s[4] - a(3, 1) * s[2] + a(3, 3) * s[0],
        -a(2, 0) * s[4] + a(2, 1) * s[2] - a(2, 3) * s[0],

        -a(1, 0) * c[3] + a(1, 1) * c[1] - a(1, 2) * c[0],
        a(0, 0) * c[3] - a(0, 1) * c[1] + a(0, 2) * c[0],
        -a(3, 0) * s[3] + a(3, 1) * s[1] - a(3, 2) * s[0],
        a(2, 0) * s[3] - a(2, 1) * s[1] + a(2, 2) * s[0],
    };
    return Matrix4(adjugate) * (1.0f / determinant);
}

Vector3 Matrix4::TransformPoint(const Vector3& p) const
{
    return Vector3(p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
                   p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
                   p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]);
}

Vector3 Matrix4::TransformVector(const Vector3& v) const
{
    return Vector3(v.x * m[0] + v.y * m[4] + v.z * m[8],
                   v.x * m[1] + v.y * m[5] + v.z * m[9],
                   v.x * m[2] + v.y * m[6] + v.z * m[10]);
}

Vector4 operator*(const Vector4& v, const Matrix4& m)
{
    return Vector4(v.x * m.m[0] + v.y * m.m[4] + v.z * m.m[8] + v.w * m.m[12],
                   v.x * m.m[1] + v.y * m.m[5] + v.z * m.m[9] + v.w * m.m[13],
                   v.x * m.m[2] + v.y * m.m[6] + v.z * m.m[10] + v.w * m.m[14],
                   v.x * m.m[3] + v.y * m.m[7] + v.z * m.m[11] + v.w * m.m[15]);
}

} // namespace Vorn
