// 4x4 float matrix, row-major (row r, column c at index 4r + c) with the translation in
// elements 12-14: the layout Direct3D 9 expects, so the renderer passes the 16 floats to the
// device and to shader constants as they are. Row vectors transform as v * M.
#pragma once

#include "engine/core/Matrix3.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

namespace Vorn
{

struct Matrix4
{
    float m[16] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                   0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};  // identity

    Matrix4() = default;
    explicit Matrix4(const float (&elements)[16]);
    // Upper-left 3x3 from the given matrix, fourth row from the translation, element 15 = 1.
    Matrix4(const Matrix3& rotation, const Vector3& translation);

    static Matrix4 Identity() { return Matrix4(); }
    static Matrix4 Zero();

    float& operator()(int row, int column) { return m[4 * row + column]; }
    float operator()(int row, int column) const { return m[4 * row + column]; }

    // A * B applies A first, then B.
    Matrix4 operator*(const Matrix4& b) const;
    Matrix4 operator*(float s) const;
    // Multiplies every element by 1 / s; s == 0 saturates every element to MaxFloat instead.
    Matrix4 operator/(float s) const;

    Matrix4 Transposed() const;
    float Determinant() const;
    // Adjugate over determinant; the zero matrix when |determinant| <= Epsilon, which callers
    // can detect, rather than a matrix of infinities.
    Matrix4 Inverse() const;

    // Row-vector transforms: a point takes the translation (w = 1), a direction does not.
    Vector3 TransformPoint(const Vector3& p) const;
    Vector3 TransformVector(const Vector3& v) const;
};

Vector4 operator*(const Vector4& v, const Matrix4& m);

} // namespace Vorn
