#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "math/MathTestUtil.h"
#include "platform/d3dx9math.h"

using mathtest::Near;
using mathtest::SameRotation;
using mathtest::Transformed;

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

D3DXMATRIX AxisMatrix(D3DXVECTOR3 axis, float angle)
{
    D3DXMATRIX m;
    return *D3DXMatrixRotationAxis(&m, &axis, angle);
}

// Rotates v as q (v, 0) q*, the rigid animations' own rule.
D3DXVECTOR3 Rotate(const D3DXQUATERNION& q, const D3DXVECTOR3& v)
{
    D3DXQUATERNION p(v.x, v.y, v.z, 0.0f), conj, r;
    D3DXQuaternionConjugate(&conj, &q);
    // Hamilton products written out: q p, then (q p) q*.
    auto hamilton = [](const D3DXQUATERNION& a, const D3DXQUATERNION& b) {
        return D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                              a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                              a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                              a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    };
    r = hamilton(hamilton(q, p), conj);
    return D3DXVECTOR3(r.x, r.y, r.z);
}

} // namespace

TEST(D3DXQuaternion, MatrixOfAQuaternionMatchesTheAxisMatrixAndTheVectorRule)
{
    const D3DXVECTOR3 axes[] = {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1),
                                D3DXVECTOR3(1, 2, -3)};
    for (const D3DXVECTOR3& axis : axes) {
        D3DXQUATERNION q = AxisAngle(axis, 1.1f);
        EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, 1e-6f);
        D3DXMATRIX m = MatrixOf(q);
        EXPECT_TRUE(Near(m, AxisMatrix(axis, 1.1f)));
        D3DXVECTOR3 v(0.3f, -1.7f, 2.2f);
        EXPECT_TRUE(Near(Transformed(v, m), Rotate(q, v)));
    }
}

TEST(D3DXQuaternion, MatrixRoundTripIncludingHalfTurns)
{
    // Half turns have trace -1 and exercise every branch of the extraction.
    struct Case { D3DXVECTOR3 axis; float angle; };
    const Case cases[] = {
        {D3DXVECTOR3(0, 1, 0), 0.5f},          {D3DXVECTOR3(1, 1, 0), 2.0f},
        {D3DXVECTOR3(1, 0, 0), D3DX_PI},       {D3DXVECTOR3(0, 1, 0), D3DX_PI},
        {D3DXVECTOR3(0, 0, 1), D3DX_PI},       {D3DXVECTOR3(1, -2, 2), 3.0f},
        {D3DXVECTOR3(-3, 1, 5), -2.8f},        {D3DXVECTOR3(0, 0, 1), 0.0f},
    };
    for (const Case& c : cases) {
        D3DXQUATERNION q = AxisAngle(c.axis, c.angle), back;
        D3DXMATRIX m = MatrixOf(q);
        D3DXQuaternionRotationMatrix(&back, &m);
        EXPECT_TRUE(SameRotation(back, q)) << "axis (" << c.axis.x << ", " << c.axis.y << ", " << c.axis.z
                                            << ") angle " << c.angle;
        EXPECT_TRUE(Near(MatrixOf(back), m));
    }
}

TEST(D3DXQuaternion, MultiplyComposesLikeMatrices)
{
    D3DXQUATERNION a = AxisAngle(D3DXVECTOR3(1, 0, 0), 0.7f);
    D3DXQUATERNION b = AxisAngle(D3DXVECTOR3(0, 1, 1), -1.3f);
    D3DXQUATERNION ab;
    D3DXQuaternionMultiply(&ab, &a, &b);
    EXPECT_TRUE(Near(MatrixOf(ab), MatrixOf(a) * MatrixOf(b)));
    EXPECT_FALSE(Near(MatrixOf(ab), MatrixOf(b) * MatrixOf(a)));
    EXPECT_TRUE(SameRotation(a * b, ab));

    D3DXQuaternionMultiply(&a, &a, &b); // in place
    EXPECT_TRUE(SameRotation(a, ab));
}

TEST(D3DXQuaternion, YawPitchRollMatchesTheMatrixVersion)
{
    D3DXQUATERNION q;
    D3DXQuaternionRotationYawPitchRoll(&q, 0.9f, -0.4f, 1.3f);
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, 0.9f, -0.4f, 1.3f);
    EXPECT_TRUE(Near(MatrixOf(q), m));
}

TEST(D3DXQuaternion, InverseConjugateAndNormalize)
{
    D3DXQUATERNION q = AxisAngle(D3DXVECTOR3(2, 1, 0), 0.8f) * 3.0f; // not unit
    D3DXQUATERNION inv, prod, id;
    D3DXQuaternionInverse(&inv, &q);
    D3DXQuaternionMultiply(&prod, &q, &inv);
    D3DXQuaternionIdentity(&id);
    EXPECT_TRUE(SameRotation(prod, id));
    EXPECT_NEAR(prod.w, 1.0f, 1e-5f);

    D3DXQUATERNION conj;
    D3DXQuaternionConjugate(&conj, &q);
    EXPECT_EQ(conj, D3DXQUATERNION(-q.x, -q.y, -q.z, q.w));

    D3DXQUATERNION n;
    D3DXQuaternionNormalize(&n, &q);
    EXPECT_NEAR(D3DXQuaternionLength(&n), 1.0f, 1e-6f);
    D3DXQUATERNION zero(0, 0, 0, 0);
    D3DXQuaternionNormalize(&n, &zero);
    EXPECT_EQ(n, zero);
    D3DXQuaternionInverse(&n, &zero);
    EXPECT_EQ(n, zero);
    EXPECT_TRUE(D3DXQuaternionIsIdentity(&id));
    EXPECT_FALSE(D3DXQuaternionIsIdentity(&q));
}

TEST(D3DXQuaternion, SlerpHalfwayAndAlongTheShorterArc)
{
    D3DXQUATERNION a = AxisAngle(D3DXVECTOR3(0, 1, 0), 0.0f);
    D3DXQUATERNION b = AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 2);
    D3DXQUATERNION r;
    D3DXQuaternionSlerp(&r, &a, &b, 0.5f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 4)));
    EXPECT_NEAR(D3DXQuaternionLength(&r), 1.0f, 1e-6f);
    D3DXQuaternionSlerp(&r, &a, &b, 0.25f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 8)));
    D3DXQuaternionSlerp(&r, &a, &b, 0.0f);
    EXPECT_TRUE(SameRotation(r, a));
    D3DXQuaternionSlerp(&r, &a, &b, 1.0f);
    EXPECT_TRUE(SameRotation(r, b));

    // -b is the same orientation: the blend must not swing the long way round.
    D3DXQUATERNION negB = -b;
    D3DXQuaternionSlerp(&r, &a, &negB, 0.5f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 4)));

    // 350 degrees from a is 10 degrees the other way.
    D3DXQUATERNION c = AxisAngle(D3DXVECTOR3(0, 0, 1), D3DXToRadian(350.0f));
    D3DXQuaternionSlerp(&r, &a, &c, 0.5f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 0, 1), D3DXToRadian(-5.0f))));

    // Nearly equal inputs must not divide by a vanishing sine.
    D3DXQUATERNION d = AxisAngle(D3DXVECTOR3(0, 1, 0), 1e-6f);
    D3DXQuaternionSlerp(&r, &a, &d, 0.5f);
    EXPECT_TRUE(SameRotation(r, a));
}

TEST(D3DXQuaternion, ToAxisAngle)
{
    D3DXQUATERNION q = AxisAngle(D3DXVECTOR3(0, 0, 2), 1.0f);
    D3DXVECTOR3 axis;
    float angle = 0;
    D3DXQuaternionToAxisAngle(&q, &axis, &angle);
    EXPECT_NEAR(angle, 1.0f, 1e-6f);
    D3DXVec3Normalize(&axis, &axis);
    EXPECT_TRUE(Near(axis, D3DXVECTOR3(0, 0, 1)));
}

TEST(D3DXPlane, FromPointsFollowsTheWindingAndSidesByDotCoord)
{
    D3DXVECTOR3 p1(0, 2, 0), p2(0, 2, 10), p3(10, 2, 0);
    D3DXPLANE plane;
    D3DXPlaneFromPoints(&plane, &p1, &p2, &p3);
    // cross(p2 - p1, p3 - p1) = +Y, normalised although the edges are 10 long.
    EXPECT_NEAR(plane.a, 0.0f, 1e-6f);
    EXPECT_NEAR(plane.b, 1.0f, 1e-6f);
    EXPECT_NEAR(plane.c, 0.0f, 1e-6f);
    EXPECT_NEAR(plane.d, -2.0f, 1e-6f);

    D3DXVECTOR3 above(5, 3, 7), below(0, 0, 0), on(-4, 2, 9);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &above), 1.0f, 1e-6f);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &below), -2.0f, 1e-6f);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &on), 0.0f, 1e-6f);
    EXPECT_NEAR(D3DXPlaneDotNormal(&plane, &above), 3.0f, 1e-6f);
    D3DXVECTOR4 dir(0, 3, 0, 0);
    EXPECT_NEAR(D3DXPlaneDot(&plane, &dir), 3.0f, 1e-6f);

    D3DXPLANE flipped;
    D3DXPlaneFromPoints(&flipped, &p1, &p3, &p2);
    EXPECT_LT(D3DXPlaneDotCoord(&flipped, &above), 0.0f);

    D3DXVECTOR3 normal(0, 0, -1), point(1, 1, 4);
    D3DXPlaneFromPointNormal(&plane, &point, &normal);
    EXPECT_EQ(plane, D3DXPLANE(0, 0, -1, 4));
}

TEST(D3DXPlane, NormalizeScalesAllFourTerms)
{
    D3DXPLANE p(0, 3, 4, 10), n;
    D3DXPlaneNormalize(&n, &p);
    EXPECT_NEAR(n.b, 0.6f, 1e-6f);
    EXPECT_NEAR(n.c, 0.8f, 1e-6f);
    EXPECT_NEAR(n.d, 2.0f, 1e-6f);
    D3DXPLANE zero(0, 0, 0, 5);
    D3DXPlaneNormalize(&n, &zero);
    EXPECT_EQ(n, D3DXPLANE(0, 0, 0, 0));
}

TEST(D3DXPlane, IntersectLineAndTransform)
{
    D3DXPLANE ground(0, 1, 0, -2); // y = 2
    D3DXVECTOR3 a(0, 0, 0), b(1, 1, 1), hit(9, 9, 9);
    ASSERT_EQ(D3DXPlaneIntersectLine(&hit, &ground, &a, &b), &hit);
    EXPECT_TRUE(Near(hit, D3DXVECTOR3(2, 2, 2)));
    D3DXVECTOR3 c(5, 0, 0);
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &ground, &a, &c), nullptr);

    // Moving a plane takes the inverse transpose of the move.
    D3DXMATRIX move, inv, invT;
    D3DXMatrixTranslation(&move, 0, 5, 0);
    D3DXMatrixInverse(&inv, nullptr, &move);
    D3DXMatrixTranspose(&invT, &inv);
    D3DXPLANE moved;
    D3DXPlaneTransform(&moved, &ground, &invT);
    D3DXVECTOR3 onMoved(3, 7, -1);
    EXPECT_NEAR(D3DXPlaneDotCoord(&moved, &onMoved), 0.0f, 1e-6f);
    EXPECT_NEAR(moved.b, 1.0f, 1e-6f);
}

TEST(D3DXColor, PackingAndUnpacking)
{
    EXPECT_EQ(D3DCOLOR_ARGB(0x12, 0x34, 0x56, 0x78), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_RGBA(0x34, 0x56, 0x78, 0x12), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_XRGB(1, 2, 3), 0xff010203u);
    EXPECT_EQ(D3DCOLOR_ARGB(0x1ff, 0, 0, 0x100), 0xff000000u); // each channel masked to a byte
    EXPECT_EQ(D3DCOLOR_COLORVALUE(1.0f, 0.5f, 0.0f, 1.0f), 0xffff7f00u);

    D3DXCOLOR c(0x80ff4000u);
    EXPECT_FLOAT_EQ(c.a, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_FLOAT_EQ(c.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.b, 0.0f);
    EXPECT_EQ(static_cast<D3DCOLOR>(c), 0x80ff4000u);

    // Out-of-range channels clamp; NaN must not become an arbitrary byte.
    D3DXCOLOR wild(2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.5f);
    EXPECT_EQ(static_cast<D3DCOLOR>(wild), 0x80ff0000u);
}

TEST(D3DXColor, LerpModulateScale)
{
    D3DXCOLOR black(0, 0, 0, 1), white(1, 1, 1, 0), r;
    D3DXColorLerp(&r, &black, &white, 0.25f);
    EXPECT_EQ(r, D3DXCOLOR(0.25f, 0.25f, 0.25f, 0.75f));
    D3DXCOLOR a(0.5f, 1, 0.2f, 0.5f), b(0.5f, 0.5f, 1, 0.5f);
    D3DXColorModulate(&r, &a, &b);
    EXPECT_EQ(r, D3DXCOLOR(0.25f, 0.5f, 0.2f, 0.25f));
    D3DXColorScale(&r, &a, 2.0f); // alpha untouched
    EXPECT_EQ(r, D3DXCOLOR(1.0f, 2.0f, 0.4f, 0.5f));
}
