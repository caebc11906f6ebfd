// Math value types: normalisation and inverse thresholds, quaternion conventions (row
// vectors, product order, matrix round trips), transform composition and colour packing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "engine/core/Color.h"
#include "engine/core/MathUtil.h"
#include "engine/core/Matrix3.h"
#include "engine/core/Matrix4.h"
#include "engine/core/Plane.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Transform.h"
#include "engine/core/Vector3.h"

namespace Vorn
{
namespace
{

constexpr float kTolerance = 1e-5f;

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = kTolerance)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectNear(const Quaternion& actual, const Quaternion& expected,
                float tolerance = kTolerance)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
    EXPECT_NEAR(actual.w, expected.w, tolerance);
}

void ExpectNear(const Matrix4& actual, const Matrix4& expected, float tolerance = kTolerance)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

void ExpectNear(const Matrix3& actual, const Matrix3& expected, float tolerance = kTolerance)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

Quaternion AxisAngle(Vector3 axis, float angle)
{
    return Quaternion::FromAxisAngle(axis.Normalized(), angle);
}

TEST(Vector3Test, NormalizeZeroesBelowEpsilonAndScalesAbove)
{
    const float justBelow = std::sqrt(Epsilon) * 0.99f;
    const struct
    {
        Vector3 input;
        Vector3 expected;
    } cases[] = {
        {{1e-4f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},  // squared length 1e-8 < epsilon
        {{0.001f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}},
        {{justBelow, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {{3.0f, 0.0f, -4.0f}, {0.6f, 0.0f, -0.8f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.input.x);
        Vector3 v = c.input;
        v.Normalize();
        ExpectNear(v, c.expected);
    }
}

TEST(Vector3Test, CrossFollowsRightHandedComponentFormula)
{
    ExpectNear(Vector3(1, 0, 0).Cross(Vector3(0, 1, 0)), Vector3(0, 0, 1));
    ExpectNear(Vector3(0, 1, 0).Cross(Vector3(0, 0, 1)), Vector3(1, 0, 0));
    ExpectNear(Vector3(1, 2, 3).Cross(Vector3(4, 5, 6)), Vector3(-3, 6, -3));
}

TEST(Matrix3Test, RowsOrColumnsFlagTransposes)
{
    const Vector3 a(1, 2, 3), b(4, 5, 6), c(7, 8, 9);
    const Matrix3 rows(a, b, c, false);
    const Matrix3 columns(a, b, c, true);
    EXPECT_EQ(rows.m[1], 2.0f);   // row 0, column 1
    EXPECT_EQ(rows.m[3], 4.0f);   // row 1, column 0
    EXPECT_EQ(columns.m[1], 4.0f);
    EXPECT_EQ(columns.m[3], 2.0f);
    ExpectNear(columns, rows.Transposed());
}

TEST(Matrix4Test, InverseOfNearSingularMatrixIsZero)
{
    const float tiny[16] = {0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 0.01f};
    const float thin[16] = {1e-8f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    const float dependentRows[16] = {1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 3, 0, 1, 1};
    for (const auto* elements : {&tiny, &thin, &dependentRows})
    {
        const Matrix4 m(*elements);
        EXPECT_LE(std::fabs(m.Determinant()), Epsilon);
        ExpectNear(m.Inverse(), Matrix4::Zero(), 0.0f);
    }
}

TEST(Matrix4Test, InverseTimesMatrixIsIdentity)
{
    const float elements[16] = {2.0f,  -1.0f, 0.5f, 0.0f, 0.3f, 1.7f, -2.2f, 0.1f,
                                -0.4f, 0.9f,  3.1f, 0.0f, 4.0f, -5.0f, 6.0f, 1.0f};
    const Matrix4 m(elements);
    const Matrix4 inverse = m.Inverse();
    ExpectNear(m * inverse, Matrix4::Identity());
    ExpectNear(inverse * m, Matrix4::Identity());

    // A rigid transform's inverse takes a transformed point back.
    const Matrix4 rigid(AxisAngle(Vector3(1, 2, 3), 0.7f).ToMatrix3(), Vector3(4, -5, 6));
    const Vector3 p(0.5f, -1.5f, 2.5f);
    ExpectNear(rigid.Inverse().TransformPoint(rigid.TransformPoint(p)), p);
}

TEST(Matrix4Test, DivideByZeroSaturatesEveryElement)
{
    const Matrix4 saturated = Matrix4::Identity() / 0.0f;
    for (float element : saturated.m)
        EXPECT_EQ(element, std::numeric_limits<float>::max());
    EXPECT_EQ((Matrix4::Identity() / 4.0f).m[5], 0.25f);
}

TEST(QuaternionTest, IdentityGivesUnitMatrix)
{
    ExpectNear(Quaternion::Identity().ToMatrix3(), Matrix3::Identity(), 0.0f);
    ExpectNear(Quaternion::Identity().ToMatrix4(), Matrix4::Identity(), 0.0f);
}

TEST(QuaternionTest, QuarterTurnAboutYTakesXToZ)
{
    const Quaternion q = Quaternion::FromAxisAngle(Vector3(0, 1, 0), HalfPi);
    ExpectNear(q.Rotate(Vector3(1, 0, 0)), Vector3(0, 0, 1));
    // The 4x4 form carries the same rotation for row vectors and nothing else.
    const Matrix4 m = q.ToMatrix4();
    ExpectNear(m.TransformPoint(Vector3(1, 0, 0)), Vector3(0, 0, 1));
    EXPECT_EQ(m.m[12], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);
}

TEST(QuaternionTest, ProductRotatesByLeftOperandFirst)
{
    const Quaternion p = AxisAngle(Vector3(0, 1, 0), 0.9f);
    const Quaternion q = AxisAngle(Vector3(1, 0, 0.5f), -1.3f);
    const Vector3 v(0.3f, -2.0f, 1.1f);
    ExpectNear((p * q).Rotate(v), q.Rotate(p.Rotate(v)));
    ExpectNear((p * q).ToMatrix3(), p.ToMatrix3() * q.ToMatrix3());
    // The rotations do not commute, so the reverse order must differ.
    const Vector3 reversed = (q * p).Rotate(v);
    EXPECT_GT((reversed - q.Rotate(p.Rotate(v))).Length(), 0.1f);
}

// Each case reaches one branch of the from-matrix rule. The branch fixes the sign of the
// result (its leading component comes out positive), and every case gives that component a
// sign unlike the others, so a wrong branch shows up as a negated quaternion.
TEST(QuaternionTest, MatrixRoundTripOnEveryBranch)
{
    enum Lead { W, X, Y, Z };
    const struct
    {
        const char* name;
        Vector3 axis;
        float angle;
        Lead lead;
    } cases[] = {
        {"positive trace", {-0.3f, -0.5f, -0.8f}, 1.0f, W},
        {"x largest", {-1.0f, 0.2f, 0.1f}, 3.0f, X},
        {"y largest", {0.1f, -1.0f, 0.2f}, 3.0f, Y},
        {"z largest", {0.2f, 0.1f, -1.0f}, 3.0f, Z},
        {"x ties y: y wins", {1.0f, -1.0f, 0.0f}, Pi, Y},
        {"x ties z: z wins", {1.0f, 0.0f, -1.0f}, Pi, Z},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const Quaternion q = AxisAngle(c.axis, c.angle);
        const float leading[] = {q.w, q.x, q.y, q.z};
        const float sign = leading[c.lead] < 0.0f ? -1.0f : 1.0f;
        const Quaternion expected(q.x * sign, q.y * sign, q.z * sign, q.w * sign);

        const Matrix3 m = q.ToMatrix3();
        const float trace = m(0, 0) + m(1, 1) + m(2, 2);
        EXPECT_EQ(trace > 0.0f, c.lead == W) << "case does not reach its branch";
        ExpectNear(Quaternion::FromMatrix3(m), expected);
    }
}

TEST(TransformTest, FlagsSetOnlyByDefaultConstructionAndKeptByCopies)
{
    const Transform identity;
    EXPECT_TRUE(identity.isIdentity);
    EXPECT_TRUE(identity.rotationIsIdentity);
    ExpectNear(identity.scale, Vector3(1, 1, 1), 0.0f);
    ExpectNear(identity.rotation, Quaternion(0, 0, 0, 1), 0.0f);

    const Transform built(Vector3(), Quaternion(), Vector3(1, 1, 1));
    EXPECT_FALSE(built.isIdentity);
    EXPECT_FALSE(built.rotationIsIdentity);

    const Transform copy = identity;
    EXPECT_TRUE(copy.isIdentity);
    EXPECT_TRUE(copy.rotationIsIdentity);
}

TEST(TransformTest, ComposingTranslationsAddsThemAndClearsFlags)
{
    const Transform local(Vector3(1, 2, 3), Quaternion(), Vector3(1, 1, 1));
    const Transform parent(Vector3(-4, 0.5f, 10), Quaternion(), Vector3(1, 1, 1));
    const Transform world = Transform::Compose(local, parent);
    ExpectNear(world.translation, Vector3(-3, 2.5f, 13));
    EXPECT_FALSE(world.isIdentity);
    EXPECT_FALSE(world.rotationIsIdentity);
}

TEST(TransformTest, ComposeWithIdentityCopiesTheOtherSide)
{
    const Transform moved(Vector3(1, 2, 3), AxisAngle(Vector3(0, 0, 1), 0.4f),
                          Vector3(2, 2, 2));
    const Transform left = Transform::Compose(Transform(), moved);
    const Transform right = Transform::Compose(moved, Transform());
    for (const Transform* t : {&left, &right})
    {
        ExpectNear(t->translation, moved.translation, 0.0f);
        ExpectNear(t->rotation, moved.rotation, 0.0f);
        EXPECT_FALSE(t->isIdentity);
    }
    EXPECT_TRUE(Transform::Compose(Transform(), Transform()).isIdentity);
}

TEST(TransformTest, ApplyMatchesMatrixWithTranslationInFourthRow)
{
    const Transform t(Vector3(4, 5, 6), AxisAngle(Vector3(1, 1, 0), 0.8f),
                      Vector3(2, 0.5f, -1));
    const Matrix4 m = t.ToMatrix();
    EXPECT_EQ(m.m[12], 4.0f);
    EXPECT_EQ(m.m[13], 5.0f);
    EXPECT_EQ(m.m[14], 6.0f);
    EXPECT_EQ(m.m[15], 1.0f);
    EXPECT_EQ(m.m[3], 0.0f);
    const Vector3 p(1, -2, 3);
    ExpectNear(t.ApplyToPoint(p), m.TransformPoint(p));
    ExpectNear(t.ApplyToVector(p), m.TransformVector(p));
}

// world = local * parent for points, with a rotated, non-uniformly scaled child under a
// rotated parent of uniform scale (the case the component-wise scale rule represents).
TEST(TransformTest, ComposeAgreesWithMatrixProduct)
{
    const Transform local(Vector3(1, -2, 0.5f), AxisAngle(Vector3(0.2f, 1, 0.3f), 1.1f),
                          Vector3(2, 0.5f, 3));
    const Transform parent(Vector3(-3, 4, 7), AxisAngle(Vector3(1, 0, -0.4f), -0.6f),
                           Vector3(1.5f, 1.5f, 1.5f));
    const Transform world = Transform::Compose(local, parent);
    const Matrix4 product = local.ToMatrix() * parent.ToMatrix();
    ExpectNear(world.ToMatrix(), product, 1e-4f);
    for (const Vector3& p : {Vector3(0, 0, 0), Vector3(1, 2, 3), Vector3(-5, 0.25f, 9)})
        ExpectNear(world.ApplyToPoint(p), product.TransformPoint(p), 1e-4f);
}

TEST(PlaneTest, ThroughThreePointsFollowsWinding)
{
    const Vector3 a(0, 2, 0), b(0, 2, 1), c(1, 2, 0);
    const Plane plane(a, b, c);
    ExpectNear(plane.normal, Vector3(0, 1, 0));
    EXPECT_NEAR(plane.distance, 2.0f, kTolerance);
    EXPECT_NEAR(plane.SignedDistance(Vector3(5, 7, 3)), 5.0f, kTolerance);
    EXPECT_NEAR(Plane(a, c, b).SignedDistance(Vector3(5, 7, 3)), -5.0f, kTolerance);

    const Plane degenerate(a, a, b);
    ExpectNear(degenerate.normal, Vector3(0, 0, 0), 0.0f);
    EXPECT_EQ(degenerate.distance, 0.0f);
}

TEST(ColorTest, PacksTruncatedChannelsAsArgb)
{
    const struct
    {
        Color color;
        uint32_t expected;
    } cases[] = {
        {{1.0f, 0.5f, 0.0f, 1.0f}, 0xFFFF7F00u},
        {{0.0f, 0.0f, 0.0f, 0.0f}, 0x00000000u},
        {{1.0f, 1.0f, 1.0f, 1.0f}, 0xFFFFFFFFu},
        {{0.2f, 0.4f, 0.6f, 0.8f}, 0xCC336699u},
        {{0.999f, 0.0f, 0.0f, 0.0f}, 0x00FE0000u},  // 254.7 truncates
        {{std::nanf(""), 0.0f, 1.0f, 1.0f}, 0xFF0000FFu},  // damaged channel stays in its byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.color.ToArgb(), c.expected) << std::hex << c.expected;
}

TEST(MathUtilTest, UnitRandomStaysInUnitInterval)
{
    std::srand(12345);
    float lowest = 1.0f, highest = 0.0f;
    for (int i = 0; i < 20000; ++i)
    {
        const float value = UnitRandom();
        ASSERT_GE(value, 0.0f);
        ASSERT_LE(value, 1.0f);
        lowest = std::fmin(lowest, value);
        highest = std::fmax(highest, value);
    }
    EXPECT_LT(lowest, 0.01f);
    EXPECT_GT(highest, 0.99f);
}

} // namespace
} // namespace Vorn
