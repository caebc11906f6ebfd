#include "engine/core/Matrix3.h"

namespace Vorn
{

Matrix3::Matrix3(float m00, float m01, float m02, float m10, float m11, float m12, float m20,
                 float m21, float m22)
    : m{m00, m01, m02, m10, m11, m12, m20, m21, m22}
{
}

Matrix3::Matrix3(const Vector3& a, const Vector3& b, const Vector3& c, bool asColumns)
{
    if (asColumns)
        *this = Matrix3(a.x, b.x, c.x, a.y, b.y, c.y, a.z, b.z, c.z);
    else
        *this = Matrix3(a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z);
}

Matrix3 Matrix3::operator*(const Matrix3& b) const
{
    Matrix3 result;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            result(r, c) = (*this)(r, 0) * b(0, c) + (*this)(r, 1) * b(1, c) +
                           (*this)(r, 2) * b(2, c);
    return result;
}

Matrix3 Matrix3::Transposed() const
{
    Matrix3 result;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            result(r, c) = (*this)(c, r);
    return result;
}

Vector3 operator*(const Vector3& v, const Matrix3& m)
{
    return Vector3(v.x * m(0, 0) + v.y * m(1, 0) + v.z * m(2, 0),
                   v.x * m(0, 1) + v.y * m(1, 1) + v.z * m(2, 1),
                   v.x * m(0, 2) + v.y * m(1, 2) + v.z * m(2, 2));
}

} // namespace Vorn
