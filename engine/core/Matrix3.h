// 3x3 float matrix, row-major (row r, column c at index 3r + c), acting on row vectors as
// v * M. Holds rotations built from quaternions (see Quaternion) and orientation frames.
#pragma once

#include "engine/core/Vector3.h"

namespace Vorn
{

struct Matrix3
{
    float m[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};  // identity

    Matrix3() = default;
    Matrix3(float m00, float m01, float m02, float m10, float m11, float m12, float m20,
            float m21, float m22);
    // The three vectors become the rows, or the columns when asColumns is set.
    Matrix3(const Vector3& a, const Vector3& b, const Vector3& c, bool asColumns);

    static Matrix3 Identity() { return Matrix3(); }

    float& operator()(int row, int column) { return m[3 * row + column]; }
    float operator()(int row, int column) const { return m[3 * row + column]; }
    Vector3 Row(int row) const { return Vector3(m[3 * row], m[3 * row + 1], m[3 * row + 2]); }

    // A * B applies A first, then B.
    Matrix3 operator*(const Matrix3& b) const;
    Matrix3 Transposed() const;
};

Vector3 operator*(const Vector3& v, const Matrix3& m);

} // namespace Vorn
