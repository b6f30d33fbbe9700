#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "math/VectorMath.h"
#include "platform/crt.h"

namespace {

const float kPi = 3.14159265358979323846f;
const float kTwoPi = 6.28318530717958647692f;
const float kInf = std::numeric_limits<float>::infinity();

// The largest difference between the components of two vectors.
float Gap(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return std::max({std::fabs(a.x - b.x), std::fabs(a.y - b.y), std::fabs(a.z - b.z)});
}

// The first seed whose first draw is value: the test needs no magic seeds.
unsigned SeedWhoseFirstDrawIs(int value)
{
    unsigned seed = 0;
    while ((crt::srand(seed), crt::rand()) != value && seed < 10000000u)
        ++seed;
    return seed;
}

} // namespace

TEST(VectorMath, YawZeroFacesPlusZYawQuarterTurnFacesPlusXAndPositivePitchLooksDown)
{
    EXPECT_EQ(DirectionFromYaw(0.0f), D3DXVECTOR3(0, 0, 1));
    EXPECT_LT(Gap(DirectionFromYaw(kPi / 2), D3DXVECTOR3(1, 0, 0)), 1e-6f);
    EXPECT_LT(Gap(DirectionFromYawPitch(0.0f, kPi / 2), D3DXVECTOR3(0, -1, 0)), 1e-6f);
    // YawPitchVector keeps the full ground heading: it is longer than one.
    EXPECT_LT(Gap(YawPitchVector(kPi / 2, kPi / 6), D3DXVECTOR3(1, -0.5f, 0)), 1e-6f);
    EXPECT_FLOAT_EQ(YawFromDirection(D3DXVECTOR3(-2, 0, -2)), -3 * kPi / 4);
    for (float y : {-3.0f, -1.2f, 0.4f, 2.9f})
        for (float p : {-1.0f, 0.0f, 0.7f}) {
            const D3DXVECTOR3 dir = DirectionFromYawPitch(y, p);
            float yaw = 99, pitch = 99;
            YawPitchFromDirection(&dir, &yaw, &pitch);
            EXPECT_NEAR(VectorLength(dir), 1.0f, 1e-6f);
            EXPECT_NEAR(yaw, y, 1e-5f);
            EXPECT_NEAR(pitch, p, 1e-5f);
            // The one exception to the sign rule: PitchFromDirection is positive up.
            EXPECT_NEAR(PitchFromDirection(&dir), -p, 1e-5f);
        }
}

TEST(VectorMath, WrapAngleStepsWholeTurnsKeepsPiAndEndsOnAnyAngle)
{
    // Several turns step down one turn at a time, rounding after each step.
    const float stepped = ((20.0f - kTwoPi) - kTwoPi) - kTwoPi;
    const std::pair<float, float> cases[] = {{7.0f, 7.0f - kTwoPi}, {-7.0f, -7.0f + kTwoPi}, {0.5f, 0.5f},
                                             {kPi, kPi}, {-kPi, -kPi}, {20.0f, stepped}, {kInf, 0.0f},
                                             {-kInf, 0.0f}};
    for (const auto& [angle, wrapped] : cases)
        EXPECT_EQ(WrapAngle(angle), wrapped) << angle;
    EXPECT_TRUE(std::isnan(WrapAngle(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_NEAR(AngleDifference(3.0f, -3.0f), 2 * kPi - 6.0f, 1e-6f);

    // At 1e30 one step of 2 pi vanishes in rounding: a plain loop would never end.
    for (float a : {1e30f, -1e30f, 3.0e7f, 1.0e5f, -4096.5f, std::numeric_limits<float>::max()}) {
        const float w = WrapAngle(a);
        EXPECT_TRUE(w >= -kPi && w <= kPi) << a << " -> " << w;
        // Still the same heading, as far as the float angle defines one.
        const double expected = std::remainder(static_cast<double>(a), static_cast<double>(kTwoPi));
        EXPECT_NEAR(std::cos(w), std::cos(expected), 1e-4) << a;
        EXPECT_NEAR(std::sin(w), std::sin(expected), 1e-4) << a;
    }
}

// The cover's side of the hero's heading: a half-plane of headings round the
// cover's heading, whichever way the cover faces (the sum of degrees that
// worked only for covers facing within a quarter turn of 0 is what this
// replaced).
TEST(VectorMath, WithinQuarterTurnIsAHalfPlaneRoundEveryReference)
{
    const float quarter = 1.5707964f;
    for (float reference : {0.0f, 0.7f, quarter, 2.5f, kPi, -kPi, -2.0f, -quarter, 3.0f}) {
        SCOPED_TRACE(reference);
        EXPECT_TRUE(WithinQuarterTurn(reference, reference));
        EXPECT_FALSE(WithinQuarterTurn(WrapAngle(reference + kPi), reference)) << "turned round";
        for (float side : {1.0f, -1.0f}) {
            // Bounds count as inside, from either side of the wrap.
            EXPECT_TRUE(WithinQuarterTurn(WrapAngle(reference + side * quarter), reference)) << side;
            EXPECT_TRUE(WithinQuarterTurn(reference + side * quarter, reference)) << side;
            EXPECT_TRUE(WithinQuarterTurn(WrapAngle(reference + side * (quarter - 0.01f)), reference)) << side;
            EXPECT_FALSE(WithinQuarterTurn(WrapAngle(reference + side * (quarter + 0.01f)), reference)) << side;
            // Headings a whole turn away are the same heading.
            EXPECT_TRUE(WithinQuarterTurn(reference + side * (kTwoPi + 1.0f), reference)) << side;
        }
    }
}

TEST(VectorMath, AngleBetweenIsUnsignedAndNeverNaN)
{
    // The first two normalise to a cosine just above 1 (and below -1 for the
    // opposite vector), which acos alone would turn into NaN.
    bool sawCosineAboveOne = false;
    for (const D3DXVECTOR3& v : {D3DXVECTOR3(0.1f, 0.0f, 0.6f), D3DXVECTOR3(0.1f, 0.1f, 0.3f), D3DXVECTOR3(3, -7, 11)}) {
        sawCosineAboveOne |= CosAngleBetween(v, v) > 1.0f;
        EXPECT_EQ(AngleBetween(v, v), 0.0f);
        EXPECT_EQ(WrappedAngleBetween(v, v), 0.0f);
        EXPECT_EQ(AngleBetween(v, -v), kPi);
        EXPECT_EQ(WrappedAngleBetween(v, -v), kPi);
    }
    EXPECT_TRUE(sawCosineAboveOne) << "pick vectors whose cosine rounds above one";
    EXPECT_FLOAT_EQ(AngleBetween(D3DXVECTOR3(0, 0, -5), D3DXVECTOR3(1, 0, 0)), kPi / 2);
    // An undefined angle (zero vector) is 0, not NaN.
    EXPECT_EQ(AngleBetween(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 2, 3)), 0.0f);
    EXPECT_EQ(WrappedAngleBetween(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 0)), 0.0f);
}

TEST(VectorMath, DistancesLinesCrossAndNegation)
{
    const D3DXVECTOR3 a(1, 100, 2), b(4, -50, 6), o(0, 0, 0), p(1, 1, 1);
    EXPECT_FLOAT_EQ(DistanceXZ(a, b), 5.0f);
    EXPECT_FLOAT_EQ(ManhattanDistanceXZ(a, b), 7.0f);
    EXPECT_FLOAT_EQ(ManhattanDistance(a, b), 157.0f);
    // Strict, and the height counts.
    EXPECT_FALSE(IsWithinManhattanDistance(3.0f, o, p));
    EXPECT_TRUE(IsWithinManhattanDistance(3.001f, o, p));

    // z = 2x + 1 through (0, 1) and (2, 5) on the ground; heights do not matter.
    for (const auto& line : {LineXZFromPoints(D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(2, 5, 5)),
                             LineXZFromPoints(D3DXVECTOR3(2, 5, 5), D3DXVECTOR3(0, 0, 1)),
                             LineXZFromPointAndYaw(D3DXVECTOR3(0, 7, 1), std::atan2(1.0f, 2.0f))}) {
        EXPECT_NEAR(line.first, 2.0f, 1e-5f);
        EXPECT_NEAR(line.second, 1.0f, 1e-5f);
    }
    // y = 2x + 1 comes back as (-m, 0, q).
    EXPECT_EQ(LineFromPoints(2, 5, 0, 1), D3DXVECTOR3(-2, 0, 1));

    EXPECT_EQ(CrossProduct(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6)), D3DXVECTOR3(-3, 6, -3));
    const D3DXVECTOR3 n = NegateVector(D3DXVECTOR3(-2, 0, 3));
    EXPECT_EQ(n, D3DXVECTOR3(2, 0, -3));
    EXPECT_FALSE(std::signbit(n.y)) << "a zero stays zero";
}

TEST(VectorMath, RandomRangeReachesBothEndsFromTheRuntimeGenerator)
{
    crt::srand(1); // the runtime's first draw from seed 1 is 41
    EXPECT_FLOAT_EQ(RandomRange(-1.0f, 1.0f), -1.0f + 2.0f * 41.0f / 32767.0f);
    crt::srand(SeedWhoseFirstDrawIs(crt::RAND_MAX_VALUE));
    EXPECT_EQ(RandomRange(-2.5f, 7.25f), 7.25f);
    crt::srand(SeedWhoseFirstDrawIs(0));
    EXPECT_EQ(RandomRange(-2.5f, 7.25f), -2.5f);
    // A reversed range works the same way round.
    crt::srand(SeedWhoseFirstDrawIs(0));
    EXPECT_EQ(RandomRange(4.0f, -4.0f), 4.0f);
}
