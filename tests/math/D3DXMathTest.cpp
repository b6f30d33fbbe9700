#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "platform/d3dx9math.h"

namespace {

// Compares the floats laid out one after the other in both values.
template <typename T>
::testing::AssertionResult Near(const T& actual, const T& expected, float tol = 1e-5f, float sign = 1.0f)
{
    const float* a = reinterpret_cast<const float*>(&actual);
    const float* e = reinterpret_cast<const float*>(&expected);
    for (size_t i = 0; i < sizeof(T) / sizeof(float); ++i)
        if (!(std::fabs(a[i] - sign * e[i]) <= tol))
            return ::testing::AssertionFailure() << "float " << i << " is " << a[i] << ", expected " << sign * e[i];
    return ::testing::AssertionSuccess();
}

D3DXMATRIX Translation(float x, float y, float z) { D3DXMATRIX m; return *D3DXMatrixTranslation(&m, x, y, z); }
D3DXMATRIX Scaling(float x, float y, float z) { D3DXMATRIX m; return *D3DXMatrixScaling(&m, x, y, z); }
D3DXMATRIX RotX(float a) { D3DXMATRIX m; return *D3DXMatrixRotationX(&m, a); }
D3DXMATRIX RotY(float a) { D3DXMATRIX m; return *D3DXMatrixRotationY(&m, a); }
D3DXMATRIX RotZ(float a) { D3DXMATRIX m; return *D3DXMatrixRotationZ(&m, a); }
D3DXMATRIX IdentityMatrix() { D3DXMATRIX m; return *D3DXMatrixIdentity(&m); }
D3DXVECTOR3 Transformed(const D3DXVECTOR3& v, const D3DXMATRIX& m) { D3DXVECTOR3 r; return *D3DXVec3TransformCoord(&r, &v, &m); }
D3DXQUATERNION AxisAngle(D3DXVECTOR3 axis, float a) { D3DXQUATERNION q; return *D3DXQuaternionRotationAxis(&q, &axis, a); }
D3DXMATRIX MatrixOf(const D3DXQUATERNION& q) { D3DXMATRIX m; return *D3DXMatrixRotationQuaternion(&m, &q); }

// q and -q are the same rotation.
::testing::AssertionResult SameRotation(const D3DXQUATERNION& a, const D3DXQUATERNION& b)
{
    return Near(a, b, 1e-5f, a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w < 0.0f ? -1.0f : 1.0f);
}

const float kHalfPi = D3DX_PI / 2;

} // namespace

TEST(D3DXMatrix, RowVectorsTranslationInTheFourthRowAndTheLeftOperandFirst)
{
    // The renderer uploads the floats as they lie and Bullet reads &m._11: the
    // order in memory must be _11, _12, ... _44.
    static_assert(sizeof(D3DMATRIX) == 16 * sizeof(float), "no padding");
    static_assert(offsetof(D3DMATRIX, _41) == 12 * sizeof(float), "row 4 after rows 1-3");
    const D3DXMATRIX t = Translation(7, 8, 9), s = Scaling(2, 2, 2);
    const float* f = t;
    EXPECT_EQ(D3DXVECTOR4(f[12], f[13], f[14], f[15]), D3DXVECTOR4(7, 8, 9, 1));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), s * t), D3DXVECTOR3(9, 8, 9)));    // scale, then move
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), t * s), D3DXVECTOR3(16, 16, 18))); // move, then scale
    // Directions turn but do not move, also in place as the camera does it.
    D3DXVECTOR3 d(1, 2, 3);
    const D3DXMATRIX turnAndMove = RotY(kHalfPi) * t;
    D3DXVec3TransformNormal(&d, &d, &turnAndMove);
    EXPECT_TRUE(Near(d, D3DXVECTOR3(3, 2, -1)));

    D3DXMATRIX inPlace = s;
    D3DXMatrixMultiply(&inPlace, &inPlace, &t);
    EXPECT_EQ(inPlace, s * t);
    inPlace = t;
    D3DXMatrixMultiply(&inPlace, &s, &inPlace);
    EXPECT_EQ(inPlace, s * t);

    D3DXMATRIX projective = IdentityMatrix();
    projective._44 = 2.0f;
    projective._14 = 1.0f; // w = x + 2: a point comes back divided by it
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(2, 4, 8), projective), D3DXVECTOR3(0.5f, 1.0f, 2.0f)));
}

TEST(D3DXMatrix, RotationsTurnRowVectorsTheDirect3DWay)
{
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), RotY(kHalfPi)), D3DXVECTOR3(0, 0, -1)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 0, 1), RotY(kHalfPi)), D3DXVECTOR3(1, 0, 0)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 1, 0), RotX(kHalfPi)), D3DXVECTOR3(0, 0, 1)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), RotZ(kHalfPi)), D3DXVECTOR3(0, 1, 0)));
    // The axis needs no unit length; 120 degrees about the diagonal takes x to y.
    D3DXMATRIX m;
    D3DXVECTOR3 longY(0, 5, 0), diagonal(1, 1, 1);
    EXPECT_TRUE(Near(*D3DXMatrixRotationAxis(&m, &longY, 0.7f), RotY(0.7f)));
    D3DXMatrixRotationAxis(&m, &diagonal, 2.0f * D3DX_PI / 3.0f);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), m), D3DXVECTOR3(0, 1, 0)));
    // Yaw-pitch-roll is roll, then pitch, then yaw.
    D3DXMatrixRotationYawPitchRoll(&m, 0.9f, -0.4f, 1.3f);
    EXPECT_TRUE(Near(m, RotZ(1.3f) * RotX(-0.4f) * RotY(0.9f)));
}

TEST(D3DXMatrix, InverseUndoesTheMatrixAndRefusesASingularOne)
{
    D3DXMATRIX m = Scaling(2, 3, 4) * RotX(0.3f) * RotY(-1.1f) * Translation(5, -6, 7);
    m._14 = 0.25f; // also a projective column
    D3DXMATRIX inv;
    float det = 0;
    ASSERT_EQ(D3DXMatrixInverse(&inv, &det, &m), &inv);
    EXPECT_TRUE(Near(inv * m, IdentityMatrix()));
    D3DXMATRIX t = Translation(1, 2, 3);
    D3DXMatrixInverse(&t, nullptr, &t); // in place
    EXPECT_TRUE(Near(t, Translation(-1, -2, -3)));

    const D3DXMATRIX flat = Scaling(1, 0, 1);
    D3DXMATRIX out = Translation(9, 9, 9);
    EXPECT_EQ(D3DXMatrixInverse(&out, &det, &flat), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(out, Translation(9, 9, 9));
}

TEST(D3DXMatrix, RightHandedViewAndProjectionsWithDepthFromZeroToOne)
{
    D3DXVECTOR3 eye(5, 2, 0), at(0, 2, 0), up(0, 1, 0);
    D3DXMATRIX view, p;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    EXPECT_TRUE(Near(Transformed(eye, view), D3DXVECTOR3(0, 0, 0)));
    EXPECT_TRUE(Near(Transformed(at, view), D3DXVECTOR3(0, 0, -5)));
    EXPECT_TRUE(Near(Transformed(eye + up, view), D3DXVECTOR3(0, 1, 0)));
    // Looking down -X from +X, the world's -Z is on the right.
    EXPECT_TRUE(Near(Transformed(eye + D3DXVECTOR3(0, 0, -1), view), D3DXVECTOR3(1, 0, 0)));

    // 90 degrees high and, at aspect 2, twice as wide; the camera looks down -Z.
    D3DXMatrixPerspectiveFovRH(&p, kHalfPi, 2.0f, 1.0f, 100.0f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, -1), p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, -100), p).z, 1.0f, 1e-6f);
    const D3DXVECTOR3 corner = Transformed(D3DXVECTOR3(6, 3, -3), p);
    EXPECT_NEAR(corner.x, 1.0f, 1e-6f);
    EXPECT_NEAR(corner.y, 1.0f, 1e-6f);

    // The 2D layer's space: (0, 0) top left, (1, 1) bottom right, near plane -1 at z = +1.
    D3DXMatrixOrthoOffCenterRH(&p, 0, 1, 1, 0, -1, 1);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 0, 0), p), D3DXVECTOR3(-1, 1, 0.5f)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 1, 1), p), D3DXVECTOR3(1, -1, 0)));
}

TEST(D3DXVectors, CrossInPlaceAndNormalizeKeepsZeroAtZero)
{
    D3DXVECTOR3 a(1, 2, 3), b(4, -5, 6), r, v(3, 0, 4), zero(0, 0, 0);
    D3DXVec3Cross(&a, &a, &b); // in place must not read a half-written result
    EXPECT_EQ(a, D3DXVECTOR3(27, 6, -13));
    EXPECT_TRUE(Near(*D3DXVec3Normalize(&r, &v), D3DXVECTOR3(0.6f, 0, 0.8f)));
    EXPECT_EQ(*D3DXVec3Normalize(&r, &zero), zero);
}

TEST(D3DXQuaternion, MatrixMatchesTheAxisMatrixAndSlerpTakesTheShorterArc)
{
    // D3DX's sign: (axis sin(a/2), cos(a/2)), not its conjugate; the bone matrices rely on it.
    EXPECT_TRUE(Near(AxisAngle(D3DXVECTOR3(0, 2, 0), 0.8f), D3DXQUATERNION(0, std::sin(0.4f), 0, std::cos(0.4f))));
    for (auto [axis, angle] : {std::pair<D3DXVECTOR3, float>{{1, 1, 0}, 2.0f}, {{1, 0, 0}, D3DX_PI},
                               {{1, -2, 2}, 3.0f}, {{-3, 1, 5}, -2.8f}}) {
        D3DXMATRIX fromAxis;
        EXPECT_TRUE(Near(MatrixOf(AxisAngle(axis, angle)), *D3DXMatrixRotationAxis(&fromAxis, &axis, angle))) << angle;
    }

    const D3DXQUATERNION id(0, 0, 0, 1), quarter = AxisAngle(D3DXVECTOR3(0, 1, 0), kHalfPi), negQuarter = -quarter;
    D3DXQUATERNION r;
    D3DXQuaternionSlerp(&r, &id, &quarter, 0.25f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 8)));
    // -q is the same orientation: the blend must not swing the long way round.
    D3DXQuaternionSlerp(&r, &id, &negQuarter, 0.5f);
    EXPECT_TRUE(SameRotation(r, AxisAngle(D3DXVECTOR3(0, 1, 0), D3DX_PI / 4)));
    // Nearly equal inputs must not divide by a vanishing sine.
    const D3DXQUATERNION tiny = AxisAngle(D3DXVECTOR3(0, 1, 0), 1e-6f);
    D3DXQuaternionSlerp(&r, &id, &tiny, 0.5f);
    EXPECT_TRUE(SameRotation(r, id));
}

TEST(D3DXPlaneAndColor, PlanesNormaliseWithTheirDistanceAndColoursPackAsARGB)
{
    D3DXPLANE p(0, 3, 4, 10), n, zero(0, 0, 0, 5);
    EXPECT_TRUE(Near(*D3DXPlaneNormalize(&n, &p), D3DXPLANE(0, 0.6f, 0.8f, 2.0f), 1e-6f));
    EXPECT_EQ(*D3DXPlaneNormalize(&n, &zero), D3DXPLANE(0, 0, 0, 0));
    const D3DXVECTOR3 point(7, 5, -5);
    EXPECT_NEAR(D3DXPlaneDotCoord(&p, &point), 15.0f - 20.0f + 10.0f, 1e-6f);

    EXPECT_EQ(D3DCOLOR_ARGB(0x12, 0x34, 0x56, 0x78), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_RGBA(0x34, 0x56, 0x78, 0x12), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_ARGB(0x1ff, 0, 0, 0x100), 0xff000000u); // each channel masked to a byte
    EXPECT_EQ(D3DCOLOR_COLORVALUE(1.0f, 0.5f, 0.0f, 1.0f), 0xffff7f00u);
    // D3DXCOLOR's channels clamp; NaN must not become an arbitrary byte.
    const D3DXCOLOR wild(2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.5f);
    EXPECT_EQ(static_cast<D3DCOLOR>(wild), 0x80ff0000u);
}
