#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "math/MathTestUtil.h"
#include "platform/d3dx9math.h"

using mathtest::Near;
using mathtest::SameRotation;

namespace {

D3DXQUATERNION AxisAngle(D3DXVECTOR3 axis, float angle)
{
    D3DXQUATERNION q;
    return *D3DXQuaternionRotationAxis(&q, &axis, angle);
}

D3DXMATRIX MatrixOf(const D3DXQUATERNION& q)
{
    D3DXMATRIX m;
    return *D3DXMatrixRotationQuaternion(&m, &q);
}

} // namespace

TEST(D3DXQuaternion, MatrixOfAQuaternionMatchesTheAxisMatrixAndRoundTrips)
{
    // D3DX's sign: (axis sin(a/2), cos(a/2)), not its conjugate.
    const float s = std::sin(0.4f), c = std::cos(0.4f);
    EXPECT_TRUE(Near(AxisAngle(D3DXVECTOR3(0, 2, 0), 0.8f), D3DXQUATERNION(0, s, 0, c)));

    // Half turns have trace -1 and exercise every branch of the extraction.
    const struct {
        D3DXVECTOR3 axis;
        float angle;
    } cases[] = {
        {{0, 1, 0}, 0.5f},    {{1, 1, 0}, 2.0f},     {{1, 0, 0}, D3DX_PI}, {{0, 1, 0}, D3DX_PI},
        {{0, 0, 1}, D3DX_PI}, {{1, -2, 2}, 3.0f},    {{-3, 1, 5}, -2.8f},  {{1, 2, -3}, 1.1f},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.angle);
        const D3DXQUATERNION q = AxisAngle(k.axis, k.angle);
        EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, 1e-6f);
        D3DXMATRIX m = MatrixOf(q), axisMatrix;
        EXPECT_TRUE(Near(m, *D3DXMatrixRotationAxis(&axisMatrix, &k.axis, k.angle)));
        D3DXQUATERNION back;
        D3DXQuaternionRotationMatrix(&back, &m);
        EXPECT_TRUE(SameRotation(back, q));
    }
}

TEST(D3DXQuaternion, MultiplyComposesLikeMatricesAndYawPitchRollAgrees)
{
    D3DXQUATERNION a = AxisAngle(D3DXVECTOR3(1, 0, 0), 0.7f);
    const D3DXQUATERNION b = AxisAngle(D3DXVECTOR3(0, 1, 1), -1.3f);
    D3DXQUATERNION ab;
    D3DXQuaternionMultiply(&ab, &a, &b);
    EXPECT_TRUE(Near(MatrixOf(ab), MatrixOf(a) * MatrixOf(b)));
    EXPECT_TRUE(SameRotation(a * b, ab));
    D3DXQuaternionMultiply(&a, &a, &b); // in place
    EXPECT_TRUE(SameRotation(a, ab));

    D3DXQUATERNION q;
    D3DXMATRIX m;
    D3DXQuaternionRotationYawPitchRoll(&q, 0.9f, -0.4f, 1.3f);
    EXPECT_TRUE(Near(MatrixOf(q), *D3DXMatrixRotationYawPitchRoll(&m, 0.9f, -0.4f, 1.3f)));
}

TEST(D3DXQuaternion, InverseOfANonUnitQuaternionAndZeroStaysZero)
{
    const D3DXQUATERNION q = AxisAngle(D3DXVECTOR3(2, 1, 0), 0.8f) * 3.0f;
    D3DXQUATERNION inv, prod, zero(0, 0, 0, 0), n;
    D3DXQuaternionInverse(&inv, &q);
    D3DXQuaternionMultiply(&prod, &q, &inv);
    EXPECT_TRUE(Near(prod, D3DXQUATERNION(0, 0, 0, 1)));
    D3DXQuaternionNormalize(&n, &zero);
    EXPECT_EQ(n, zero);
    D3DXQuaternionInverse(&n, &zero);
    EXPECT_EQ(n, zero);
}

TEST(D3DXQuaternion, SlerpTakesTheShorterArc)
{
    const D3DXQUATERNION a(0, 0, 0, 1), b = AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 2);
    D3DXQUATERNION r;
    D3DXQuaternionSlerp(&r, &a, &b, 0.25f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 8)));
    // -b is the same orientation: the blend must not swing the long way round.
    const D3DXQUATERNION negB = -b;
    D3DXQuaternionSlerp(&r, &a, &negB, 0.5f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 4)));
    // Nearly equal inputs must not divide by a vanishing sine.
    const D3DXQUATERNION d = AxisAngle(D3DXVECTOR3(0, 1, 0), 1e-6f);
    D3DXQuaternionSlerp(&r, &a, &d, 0.5f);
    EXPECT_TRUE(SameRotation(r, a));
}

TEST(D3DXPlane, FromPointsFollowsTheWindingAndSidesByDotCoord)
{
    D3DXVECTOR3 p1(0, 2, 0), p2(0, 2, 10), p3(10, 2, 0);
    D3DXPLANE plane, flipped;
    // cross(p2 - p1, p3 - p1) = +Y, normalised although the edges are 10 long.
    D3DXPlaneFromPoints(&plane, &p1, &p2, &p3);
    EXPECT_TRUE(Near(plane, D3DXPLANE(0, 1, 0, -2), 1e-6f));
    D3DXVECTOR3 above(5, 3, 7), below(0, 0, 0);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &above), 1.0f, 1e-6f);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &below), -2.0f, 1e-6f);
    EXPECT_NEAR(D3DXPlaneDotNormal(&plane, &above), 3.0f, 1e-6f);
    D3DXPlaneFromPoints(&flipped, &p1, &p3, &p2);
    EXPECT_LT(D3DXPlaneDotCoord(&flipped, &above), 0.0f);

    D3DXPLANE p(0, 3, 4, 10), n, zero(0, 0, 0, 5);
    EXPECT_TRUE(Near(*D3DXPlaneNormalize(&n, &p), D3DXPLANE(0, 0.6f, 0.8f, 2.0f), 1e-6f));
    EXPECT_EQ(*D3DXPlaneNormalize(&n, &zero), D3DXPLANE(0, 0, 0, 0));
}

TEST(D3DXPlane, IntersectLineAndTransform)
{
    D3DXPLANE ground(0, 1, 0, -2); // y = 2
    D3DXVECTOR3 a(0, 0, 0), b(1, 1, 1), c(5, 0, 0), hit(9, 9, 9);
    ASSERT_EQ(D3DXPlaneIntersectLine(&hit, &ground, &a, &b), &hit);
    EXPECT_TRUE(Near(hit, D3DXVECTOR3(2, 2, 2)));
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &ground, &a, &c), nullptr);

    // Moving a plane takes the inverse transpose of the move.
    D3DXMATRIX move, invT;
    D3DXMatrixTranslation(&move, 0, 5, 0);
    D3DXMatrixInverse(&invT, nullptr, &move);
    D3DXMatrixTranspose(&invT, &invT);
    D3DXPLANE moved;
    D3DXPlaneTransform(&moved, &ground, &invT);
    EXPECT_TRUE(Near(moved, D3DXPLANE(0, 1, 0, -7), 1e-6f));
}

TEST(D3DXColor, ChannelsPackAsARGBAndClamp)
{
    EXPECT_EQ(D3DCOLOR_ARGB(0x12, 0x34, 0x56, 0x78), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_RGBA(0x34, 0x56, 0x78, 0x12), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_XRGB(1, 2, 3), 0xff010203u);
    EXPECT_EQ(D3DCOLOR_ARGB(0x1ff, 0, 0, 0x100), 0xff000000u); // each channel masked to a byte
    EXPECT_EQ(D3DCOLOR_COLORVALUE(1.0f, 0.5f, 0.0f, 1.0f), 0xffff7f00u);

    const D3DXCOLOR c(0x80ff4000u);
    EXPECT_FLOAT_EQ(c.a, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_FLOAT_EQ(c.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.b, 0.0f);
    EXPECT_EQ(static_cast<D3DCOLOR>(c), 0x80ff4000u);
    // Out-of-range channels clamp; NaN must not become an arbitrary byte.
    const D3DXCOLOR wild(2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.5f);
    EXPECT_EQ(static_cast<D3DCOLOR>(wild), 0x80ff0000u);

    D3DXCOLOR r, a(0.5f, 1, 0.2f, 0.5f);
    EXPECT_EQ(*D3DXColorScale(&r, &a, 2.0f), D3DXCOLOR(1.0f, 2.0f, 0.4f, 0.5f)); // alpha untouched
}
