// Three-component float vector for points, directions and scales. Points are row vectors
// and are transformed as v * M (see Matrix3 and Matrix4). Fields are streamed in order.
#pragma once

namespace Vorn
{

struct Vector3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vector3() = default;
    Vector3(float x, float y, float z) : x(x), y(y), z(z) {}

    // Arithmetic; operator* between vectors is component-wise.
    Vector3 operator+(const Vector3& v) const { return Vector3(x + v.x, y + v.y, z + v.z); }
    Vector3 operator-(const Vector3& v) const { return Vector3(x - v.x, y - v.y, z - v.z); }
    Vector3 operator*(const Vector3& v) const { return Vector3(x * v.x, y * v.y, z * v.z); }
    Vector3 operator*(float s) const { return Vector3(x * s, y * s, z * s); }
    Vector3 operator-() const { return Vector3(-x, -y, -z); }
    Vector3& operator+=(const Vector3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    Vector3& operator-=(const Vector3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    Vector3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }

    // Products and length.
    float Dot(const Vector3& v) const { return x * v.x + y * v.y + z * v.z; }
    Vector3 Cross(const Vector3& v) const
    {
        return Vector3(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
    }
    float SquaredLength() const { return x * x + y * y + z * z; }
    float Length() const;

    // A vector whose squared length is below Epsilon becomes (0, 0, 0) rather than blowing
    // up into huge components; callers test for the zero vector where it matters.
    void Normalize();
    Vector3 Normalized() const { Vector3 v = *this; v.Normalize(); return v; }
};

inline Vector3 operator*(float s, const Vector3& v) { return v * s; }

} // namespace Vorn
