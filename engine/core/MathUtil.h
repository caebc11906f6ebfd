// Constants shared by the math types and the engine's one source of random numbers.
// Every tolerance test in the math code uses Epsilon, so a vector or determinant that is
// "too small" means the same thing everywhere.
#pragma once

#include <cstdlib>

namespace Vorn
{

constexpr float Epsilon = 1.1920929e-7f;   // 2^-23, the single-precision epsilon
constexpr float MaxFloat = 3.4028235e38f;  // largest finite single-precision value
constexpr float Pi = 3.14159265358979f;
constexpr float HalfPi = Pi * 0.5f;
constexpr float TwoPi = Pi * 2.0f;

// Uniform value in [0, 1]. The run-time the saver ships with yields 15-bit values from rand;
// masking keeps the same range where rand is wider, so the result never exceeds 1. Seeding
// belongs to the engine's initialisation, not to callers.
inline float UnitRandom()
{
    return static_cast<float>(std::rand() & 0x7FFF) / 32767.0f;
}

} // namespace Vorn
