#include <cstddef>

#include <gtest/gtest.h>

#include "math/MathTestUtil.h"
#include "platform/d3dx9math.h"

using mathtest::Near;
using mathtest::Transformed;

namespace {

D3DXMATRIX Translation(float x, float y, float z) { D3DXMATRIX m; return *D3DXMatrixTranslation(&m, x, y, z); }
D3DXMATRIX Scaling(float x, float y, float z) { D3DXMATRIX m; return *D3DXMatrixScaling(&m, x, y, z); }
D3DXMATRIX RotX(float a) { D3DXMATRIX m; return *D3DXMatrixRotationX(&m, a); }
D3DXMATRIX RotY(float a) { D3DXMATRIX m; return *D3DXMatrixRotationY(&m, a); }
D3DXMATRIX RotZ(float a) { D3DXMATRIX m; return *D3DXMatrixRotationZ(&m, a); }
D3DXMATRIX IdentityMatrix() { D3DXMATRIX m; return *D3DXMatrixIdentity(&m); }

const float kHalfPi = D3DX_PI / 2;

} // namespace

TEST(D3DXMatrix, RowMajorWithTranslationInTheFourthRow)
{
    // The renderer uploads the floats as they lie and Bullet reads &m._11: the
    // order in memory must be _11, _12, ... _44.
    static_assert(sizeof(D3DMATRIX) == 16 * sizeof(float), "no padding");
    static_assert(sizeof(D3DXVECTOR3) == 3 * sizeof(float), "vertex structs embed it");
    static_assert(offsetof(D3DMATRIX, _41) == 12 * sizeof(float), "row 4 after rows 1-3");

    D3DXMATRIX t = Translation(7, 8, 9);
    const float* f = t;
    EXPECT_EQ(f[12], 7.0f);
    EXPECT_EQ(f[13], 8.0f);
    EXPECT_EQ(f[14], 9.0f);
    EXPECT_EQ(f[15], 1.0f);
    EXPECT_EQ(t(3, 2), 9.0f);
    EXPECT_EQ(D3DXMATRIX(f), t);
}

TEST(D3DXMatrix, TranslationMovesPointsButNotDirectionsAndCoordDividesByW)
{
    const D3DXMATRIX t = Translation(10, 20, 30);
    D3DXVECTOR3 n(1, 2, 3), out;
    EXPECT_TRUE(Near(Transformed(n, t), D3DXVECTOR3(11, 22, 33)));
    D3DXVec3TransformNormal(&out, &n, &t);
    EXPECT_TRUE(Near(out, n));
    D3DXVECTOR4 h, dir(1, 2, 3, 0);
    D3DXVec3Transform(&h, &n, &t);
    EXPECT_EQ(h, D3DXVECTOR4(11, 22, 33, 1));
    D3DXVec4Transform(&dir, &dir, &t); // in place
    EXPECT_EQ(dir, D3DXVECTOR4(1, 2, 3, 0));

    D3DXMATRIX m = IdentityMatrix();
    m._44 = 2.0f;
    m._14 = 1.0f; // w = x + 2
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(2, 4, 8), m), D3DXVECTOR3(0.5f, 1.0f, 2.0f)));
}

TEST(D3DXMatrix, LeftOperandAppliesFirstEvenInPlace)
{
    const D3DXMATRIX s = Scaling(2, 2, 2), t = Translation(1, 0, 0);
    const D3DXVECTOR3 p(1, 0, 0);
    EXPECT_TRUE(Near(Transformed(p, s * t), D3DXVECTOR3(3, 0, 0)));  // scale, then move
    EXPECT_TRUE(Near(Transformed(p, t * s), D3DXVECTOR3(4, 0, 0)));  // move, then scale

    D3DXMATRIX inPlace = s;
    D3DXMatrixMultiply(&inPlace, &inPlace, &t);
    EXPECT_EQ(inPlace, s * t);
    inPlace = t;
    D3DXMatrixMultiply(&inPlace, &s, &inPlace);
    EXPECT_EQ(inPlace, s * t);

    const D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const D3DXMATRIX b(1, 0, 2, 0, 0, 1, 0, 3, 1, 0, 0, 1, 0, 2, 1, 0);
    EXPECT_EQ(a * b, D3DXMATRIX(4, 10, 6, 9, 12, 22, 18, 25, 20, 34, 30, 41, 28, 46, 42, 57));
}

TEST(D3DXMatrix, RotationsTurnRowVectorsTheDirect3DWay)
{
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), RotY(kHalfPi)), D3DXVECTOR3(0, 0, -1)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 0, 1), RotY(kHalfPi)), D3DXVECTOR3(1, 0, 0)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 1, 0), RotX(kHalfPi)), D3DXVECTOR3(0, 0, 1)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), RotZ(kHalfPi)), D3DXVECTOR3(0, 1, 0)));

    // The axis needs no unit length; 120 degrees about the diagonal cycles x -> y -> z.
    D3DXMATRIX m;
    D3DXVECTOR3 longY(0, 5, 0), diagonal(1, 1, 1);
    EXPECT_TRUE(Near(*D3DXMatrixRotationAxis(&m, &longY, 0.7f), RotY(0.7f)));
    D3DXMatrixRotationAxis(&m, &diagonal, 2.0f * D3DX_PI / 3.0f);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), m), D3DXVECTOR3(0, 1, 0)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 1, 0), m), D3DXVECTOR3(0, 0, 1)));

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
    EXPECT_TRUE(Near(m * inv, IdentityMatrix()));
    EXPECT_NEAR(det, D3DXMatrixDeterminant(&m), 1e-4f);
    // Swapping two rows of diag(1, 2, 3, 4) negates its determinant.
    const D3DXMATRIX swapped(0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&swapped), -24.0f);
    D3DXMATRIX t = Translation(1, 2, 3);
    D3DXMatrixInverse(&t, nullptr, &t); // in place
    EXPECT_TRUE(Near(t, Translation(-1, -2, -3)));

    const D3DXMATRIX flat = Scaling(1, 0, 1);
    D3DXMATRIX out = Translation(9, 9, 9);
    EXPECT_EQ(D3DXMatrixInverse(&out, &det, &flat), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(out, Translation(9, 9, 9));
}

TEST(D3DXMatrix, LookAtRHPutsTheEyeAtTheOriginLookingDownMinusZ)
{
    D3DXVECTOR3 eye(5, 2, 0), at(0, 2, 0), up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    EXPECT_TRUE(Near(Transformed(eye, view), D3DXVECTOR3(0, 0, 0)));
    EXPECT_TRUE(Near(Transformed(at, view), D3DXVECTOR3(0, 0, -5)));
    EXPECT_TRUE(Near(Transformed(eye + up, view), D3DXVECTOR3(0, 1, 0)));
    // Right-handed: looking down -X from +X, the world's -Z is on the right.
    EXPECT_TRUE(Near(Transformed(eye + D3DXVECTOR3(0, 0, -1), view), D3DXVECTOR3(1, 0, 0)));

    D3DXVECTOR3 lhEye(0, 0, -4), origin(0, 0, 0);
    D3DXMatrixLookAtLH(&view, &lhEye, &origin, &up);
    EXPECT_TRUE(Near(Transformed(origin, view), D3DXVECTOR3(0, 0, 4)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, -4), view), D3DXVECTOR3(1, 0, 0)));
}

TEST(D3DXMatrix, PerspectiveMapsNearToZeroAndFarToOne)
{
    D3DXMATRIX p, wh;
    D3DXMatrixPerspectiveFovRH(&p, kHalfPi, 2.0f, 1.0f, 100.0f);
    EXPECT_NEAR(p._22, 1.0f, 1e-6f); // cot(45 degrees)
    EXPECT_NEAR(p._11, 0.5f, 1e-6f); // halved by the aspect
    EXPECT_EQ(p._34, -1.0f);
    EXPECT_EQ(p._44, 0.0f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, -1), p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, -100), p).z, 1.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 3, -3), p).y, 1.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(6, 0, -3), p).x, 1.0f, 1e-6f);
    // At the near plane 1 a 90-degree vertical field is 2 high, and aspect 2 makes it 4 wide.
    D3DXMatrixPerspectiveRH(&wh, 4.0f, 2.0f, 1.0f, 100.0f);
    EXPECT_TRUE(Near(p, wh));

    D3DXMatrixPerspectiveFovLH(&p, kHalfPi, 2.0f, 1.0f, 50.0f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, 1), p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, 50), p).z, 1.0f, 1e-6f);
    D3DXMatrixPerspectiveLH(&wh, 4.0f, 2.0f, 1.0f, 50.0f);
    EXPECT_TRUE(Near(p, wh));
}

TEST(D3DXMatrix, OrthoOffCenterRHForScreenSpace)
{
    // The 2D layer's space: (0, 0) top left, (1, 1) bottom right.
    D3DXMATRIX o, centred;
    D3DXMatrixOrthoOffCenterRH(&o, 0, 1, 1, 0, -1, 1);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 0, 0), o), D3DXVECTOR3(-1, 1, 0.5f)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 1, 0), o), D3DXVECTOR3(1, -1, 0.5f)));
    // Right-handed: the near plane (distance -1) is z = +1 in view space.
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, 1), o).z, 0.0f, 1e-6f);

    D3DXMatrixOrthoRH(&centred, 8, 6, 1, 20);
    D3DXMatrixOrthoOffCenterRH(&o, -4, 4, -3, 3, 1, 20);
    EXPECT_TRUE(Near(centred, o));
    D3DXMatrixOrthoLH(&centred, 8, 6, 1, 20);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(4, -3, 20), centred), D3DXVECTOR3(1, -1, 1)));
}

TEST(D3DXMatrix, ProjectToPixelsAndBack)
{
    D3DVIEWPORT9 vp = {10, 20, 640, 480, 0.0f, 1.0f};
    D3DXVECTOR3 eye(0, 0, 10), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view, proj, world = IdentityMatrix();
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&proj, kHalfPi, 640.0f / 480.0f, 1.0f, 100.0f);

    D3DXVECTOR3 centre, pixel, above(0, 1, 0);
    D3DXVec3Project(&centre, &at, &vp, &proj, &view, &world);
    EXPECT_NEAR(centre.x, 330.0f, 1e-3f);
    EXPECT_NEAR(centre.y, 260.0f, 1e-3f);
    // Up in the world is up on screen, that is a smaller pixel row.
    D3DXVec3Project(&pixel, &above, &vp, &proj, &view, nullptr);
    EXPECT_LT(pixel.y, centre.y);

    D3DXVECTOR3 p(1.5f, -2.0f, 3.0f), screen, back;
    D3DXVec3Project(&screen, &p, &vp, &proj, &view, &world);
    ASSERT_NE(D3DXVec3Unproject(&back, &screen, &vp, &proj, &view, &world), nullptr);
    EXPECT_TRUE(Near(back, p, 1e-3f));
    const D3DXMATRIX flat = Scaling(0, 0, 0);
    EXPECT_EQ(D3DXVec3Unproject(&back, &screen, &vp, &flat, &view, &world), nullptr);
}

TEST(D3DXVectors, CrossInPlaceAndNormalizeKeepsZeroAtZero)
{
    D3DXVECTOR3 a(1, 2, 3), b(4, -5, 6), r;
    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    EXPECT_EQ(*D3DXVec3Cross(&r, &x, &y), D3DXVECTOR3(0, 0, 1));
    D3DXVec3Cross(&a, &a, &b); // in place must not read a half-written result
    EXPECT_EQ(a, D3DXVECTOR3(27, 6, -13));
    D3DXVECTOR3 lo(1, 5, -2), hi(3, 2, -1);
    EXPECT_EQ(*D3DXVec3Minimize(&r, &lo, &hi), D3DXVECTOR3(1, 2, -2));
    EXPECT_TRUE(Near(*D3DXVec3Lerp(&r, &lo, &hi, 0.25f), D3DXVECTOR3(1.5f, 4.25f, -1.75f)));

    D3DXVECTOR3 v(3, 0, 4), zero(0, 0, 0);
    EXPECT_TRUE(Near(*D3DXVec3Normalize(&r, &v), D3DXVECTOR3(0.6f, 0, 0.8f)));
    EXPECT_EQ(*D3DXVec3Normalize(&r, &zero), zero);
    D3DXVECTOR2 z2(0, 0), n2;
    EXPECT_EQ(*D3DXVec2Normalize(&n2, &z2), z2);
    D3DXVECTOR4 v4(0, 0, 0, 2), n4;
    EXPECT_EQ(*D3DXVec4Normalize(&n4, &v4), D3DXVECTOR4(0, 0, 0, 1));
}
