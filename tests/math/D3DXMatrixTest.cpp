#include <cmath>
#include <cstddef>
#include <cstring>

#include <gtest/gtest.h>

#include "math/MathTestUtil.h"
#include "platform/d3dx9math.h"

using mathtest::Near;
using mathtest::Transformed;

namespace {

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    return *D3DXMatrixTranslation(&m, x, y, z);
}

D3DXMATRIX Scaling(float x, float y, float z)
{
    D3DXMATRIX m;
    return *D3DXMatrixScaling(&m, x, y, z);
}

D3DXMATRIX RotX(float a) { D3DXMATRIX m; return *D3DXMatrixRotationX(&m, a); }
D3DXMATRIX RotY(float a) { D3DXMATRIX m; return *D3DXMatrixRotationY(&m, a); }
D3DXMATRIX RotZ(float a) { D3DXMATRIX m; return *D3DXMatrixRotationZ(&m, a); }

D3DXMATRIX IdentityMatrix()
{
    D3DXMATRIX m;
    return *D3DXMatrixIdentity(&m);
}

const float kHalfPi = D3DX_PI / 2;

} // namespace

TEST(D3DXMatrixLayout, RowMajorWithTranslationInTheFourthRow)
{
    // The renderer uploads the floats as they lie and Bullet reads &m._11: the
    // order in memory must be _11, _12, ... _44.
    static_assert(sizeof(D3DMATRIX) == 16 * sizeof(float), "no padding");
    static_assert(sizeof(D3DXVECTOR3) == 3 * sizeof(float), "vertex structs embed it");
    static_assert(sizeof(D3DXCOLOR) == 4 * sizeof(float), "packed colour channels");
    static_assert(offsetof(D3DMATRIX, _41) == 12 * sizeof(float), "row 4 after rows 1-3");

    D3DXMATRIX t = Translation(7, 8, 9);
    const float* f = t;
    EXPECT_EQ(f[12], 7.0f);
    EXPECT_EQ(f[13], 8.0f);
    EXPECT_EQ(f[14], 9.0f);
    EXPECT_EQ(f[15], 1.0f);
    EXPECT_EQ(t.m[3][1], 8.0f);
    EXPECT_EQ(t(3, 2), 9.0f);

    D3DXMATRIX fromFloats(f);
    EXPECT_EQ(fromFloats, t);
    t(0, 1) = 5.0f;
    EXPECT_EQ(t._12, 5.0f);
    EXPECT_NE(fromFloats, t);
}

TEST(D3DXMatrixTransform, TranslationMovesPointsButNotDirections)
{
    D3DXMATRIX t = Translation(10, 20, 30);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 2, 3), t), D3DXVECTOR3(11, 22, 33)));

    D3DXVECTOR3 n(1, 2, 3), out;
    D3DXVec3TransformNormal(&out, &n, &t);
    EXPECT_TRUE(Near(out, n));

    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, &n, &t);
    EXPECT_EQ(h, D3DXVECTOR4(11, 22, 33, 1));

    D3DXVECTOR4 dir(1, 2, 3, 0);
    D3DXVec4Transform(&dir, &dir, &t); // in place
    EXPECT_EQ(dir, D3DXVECTOR4(1, 2, 3, 0));
}

TEST(D3DXMatrixTransform, TransformCoordDividesByW)
{
    D3DXMATRIX m = IdentityMatrix();
    m._44 = 2.0f;
    m._14 = 1.0f; // w = x + 2
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(2, 4, 8), m), D3DXVECTOR3(0.5f, 1.0f, 2.0f)));
}

TEST(D3DXMatrixMultiply, LeftOperandAppliesFirst)
{
    D3DXMATRIX s = Scaling(2, 2, 2), t = Translation(1, 0, 0);
    D3DXVECTOR3 p(1, 0, 0);
    EXPECT_TRUE(Near(Transformed(p, s * t), D3DXVECTOR3(3, 0, 0)));  // scale, then move
    EXPECT_TRUE(Near(Transformed(p, t * s), D3DXVECTOR3(4, 0, 0)));  // move, then scale

    D3DXMATRIX viaFunction;
    D3DXMatrixMultiply(&viaFunction, &s, &t);
    EXPECT_EQ(viaFunction, s * t);

    // The output may be one of the inputs.
    D3DXMATRIX inPlace = s;
    D3DXMatrixMultiply(&inPlace, &inPlace, &t);
    EXPECT_EQ(inPlace, s * t);
    inPlace = t;
    D3DXMatrixMultiply(&inPlace, &s, &inPlace);
    EXPECT_EQ(inPlace, s * t);
    D3DXMATRIX compound = s;
    compound *= t;
    EXPECT_EQ(compound, s * t);
}

TEST(D3DXMatrixMultiply, HandComputedProduct)
{
    D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    D3DXMATRIX b(1, 0, 2, 0, 0, 1, 0, 3, 1, 0, 0, 1, 0, 2, 1, 0);
    D3DXMATRIX expected(4, 10, 6, 9, 12, 22, 18, 25, 20, 34, 30, 41, 28, 46, 42, 57);
    EXPECT_EQ(a * b, expected);
}

TEST(D3DXMatrixArithmetic, ElementwiseOperators)
{
    D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    D3DXMATRIX twice = a * 2.0f;
    EXPECT_EQ(twice._34, 24.0f);
    EXPECT_EQ(2.0f * a, twice);
    EXPECT_EQ(a + a, twice);
    EXPECT_EQ(twice - a, a);
    EXPECT_EQ(twice / 2.0f, a);
    EXPECT_EQ((-a)._21, -5.0f);
}

TEST(D3DXMatrixRotation, RowVectorSenseOfEachAxis)
{
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), RotY(kHalfPi)), D3DXVECTOR3(0, 0, -1)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 0, 1), RotY(kHalfPi)), D3DXVECTOR3(1, 0, 0)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 1, 0), RotX(kHalfPi)), D3DXVECTOR3(0, 0, 1)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), RotZ(kHalfPi)), D3DXVECTOR3(0, 1, 0)));

    D3DXMATRIX y = RotY(0.3f);
    EXPECT_FLOAT_EQ(y._11, std::cos(0.3f));
    EXPECT_FLOAT_EQ(y._13, -std::sin(0.3f));
    EXPECT_FLOAT_EQ(y._31, std::sin(0.3f));
    EXPECT_FLOAT_EQ(y._33, std::cos(0.3f));
}

TEST(D3DXMatrixRotation, AxisRotationMatchesTheAxisMatricesAndNeedsNoUnitAxis)
{
    D3DXMATRIX m;
    D3DXVECTOR3 longY(0, 5, 0), x(2, 0, 0), z(0, 0, 0.5f);
    EXPECT_TRUE(Near(*D3DXMatrixRotationAxis(&m, &longY, 0.7f), RotY(0.7f)));
    EXPECT_TRUE(Near(*D3DXMatrixRotationAxis(&m, &x, -1.2f), RotX(-1.2f)));
    EXPECT_TRUE(Near(*D3DXMatrixRotationAxis(&m, &z, 2.5f), RotZ(2.5f)));

    // A turn of 120 degrees about the diagonal cycles the axes x -> y -> z.
    D3DXVECTOR3 diagonal(1, 1, 1);
    D3DXMatrixRotationAxis(&m, &diagonal, 2.0f * D3DX_PI / 3.0f);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, 0), m), D3DXVECTOR3(0, 1, 0)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 1, 0), m), D3DXVECTOR3(0, 0, 1)));
}

TEST(D3DXMatrixRotation, YawPitchRollIsRollThenPitchThenYaw)
{
    const float yaw = 0.9f, pitch = -0.4f, roll = 1.3f;
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, yaw, pitch, roll);
    EXPECT_TRUE(Near(m, RotZ(roll) * RotX(pitch) * RotY(yaw)));
    EXPECT_FALSE(Near(m, RotY(yaw) * RotX(pitch) * RotZ(roll)));

    // Yaw alone is RotationY: yaw pi/2 takes +Z to +X, the game's heading convention.
    D3DXMatrixRotationYawPitchRoll(&m, kHalfPi, 0, 0);
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 0, 1), m), D3DXVECTOR3(1, 0, 0)));
}

TEST(D3DXMatrixInverse, UndoesTheMatrixAndReportsTheDeterminant)
{
    D3DXMATRIX m = Scaling(2, 3, 4) * RotX(0.3f) * RotY(-1.1f) * Translation(5, -6, 7);
    m._14 = 0.25f; // also a projective column
    D3DXMATRIX inv;
    float det = 0;
    ASSERT_EQ(D3DXMatrixInverse(&inv, &det, &m), &inv);
    EXPECT_TRUE(Near(inv * m, IdentityMatrix()));
    EXPECT_TRUE(Near(m * inv, IdentityMatrix()));
    EXPECT_NEAR(det, D3DXMatrixDeterminant(&m), 1e-4f);

    float scaleDet = 0;
    D3DXMATRIX s = Scaling(2, 3, 4);
    D3DXMatrixInverse(&inv, &scaleDet, &s);
    EXPECT_FLOAT_EQ(scaleDet, 24.0f);
    EXPECT_TRUE(Near(inv, Scaling(0.5f, 1.0f / 3.0f, 0.25f)));

    // Non-trivial determinant by hand: swapping two rows of diag(1,2,3,4) negates it.
    D3DXMATRIX swapped(0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&swapped), -24.0f);

    // In place.
    D3DXMATRIX t = Translation(1, 2, 3);
    D3DXMatrixInverse(&t, nullptr, &t);
    EXPECT_TRUE(Near(t, Translation(-1, -2, -3)));
}

TEST(D3DXMatrixInverse, SingularMatrixReturnsNullAndLeavesOutputAlone)
{
    D3DXMATRIX flat = Scaling(1, 0, 1);
    D3DXMATRIX out = Translation(9, 9, 9);
    float det = 123.0f;
    EXPECT_EQ(D3DXMatrixInverse(&out, &det, &flat), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(out, Translation(9, 9, 9));
}

TEST(D3DXMatrixMisc, IdentityTransposeAndIsIdentity)
{
    D3DXMATRIX id = IdentityMatrix();
    EXPECT_TRUE(D3DXMatrixIsIdentity(&id));
    D3DXMATRIX t = Translation(1, 0, 0);
    EXPECT_FALSE(D3DXMatrixIsIdentity(&t));

    D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), at;
    D3DXMatrixTranspose(&at, &a);
    EXPECT_EQ(at._12, 5.0f);
    EXPECT_EQ(at._41, 4.0f);
    EXPECT_EQ(at._34, 15.0f);
    D3DXMatrixTranspose(&a, &a); // in place
    EXPECT_EQ(a, at);
}

TEST(D3DXMatrixView, LookAtRHPutsTheEyeAtTheOriginLookingDownMinusZ)
{
    D3DXVECTOR3 eye(5, 2, 0), at(0, 2, 0), up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    EXPECT_TRUE(Near(Transformed(eye, view), D3DXVECTOR3(0, 0, 0)));
    EXPECT_TRUE(Near(Transformed(at, view), D3DXVECTOR3(0, 0, -5)));
    EXPECT_TRUE(Near(Transformed(eye + up, view), D3DXVECTOR3(0, 1, 0)));
    // Right-handed: looking down -X from +X, the world's -Z is on the right.
    EXPECT_TRUE(Near(Transformed(eye + D3DXVECTOR3(0, 0, -1), view), D3DXVECTOR3(1, 0, 0)));

    // A tilted camera still maps the target onto the -Z axis at its distance.
    D3DXVECTOR3 eye2(1, 4, -3), at2(-2, 0, 5);
    D3DXMatrixLookAtRH(&view, &eye2, &at2, &up);
    D3DXVECTOR3 d = at2 - eye2;
    EXPECT_TRUE(Near(Transformed(at2, view), D3DXVECTOR3(0, 0, -D3DXVec3Length(&d)), 1e-4f));
}

TEST(D3DXMatrixView, LookAtLHLooksDownPlusZ)
{
    D3DXVECTOR3 eye(0, 0, -4), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    EXPECT_TRUE(Near(Transformed(at, view), D3DXVECTOR3(0, 0, 4)));
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(1, 0, -4), view), D3DXVECTOR3(1, 0, 0)));
}

TEST(D3DXMatrixProjection, PerspectiveFovRHMapsNearToZeroAndFarToOne)
{
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovRH(&p, kHalfPi, 2.0f, 1.0f, 100.0f);
    EXPECT_NEAR(p._22, 1.0f, 1e-6f); // cot(45 degrees)
    EXPECT_NEAR(p._11, 0.5f, 1e-6f); // halved by the aspect
    EXPECT_EQ(p._34, -1.0f);
    EXPECT_EQ(p._44, 0.0f);

    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, -1), p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, -100), p).z, 1.0f, 1e-6f);
    float mid = Transformed(D3DXVECTOR3(0, 0, -10), p).z;
    EXPECT_GT(mid, 0.0f);
    EXPECT_LT(mid, 1.0f);
    // The edges of the 90-degree vertical field and of the twice-as-wide horizontal one.
    EXPECT_TRUE(Near(Transformed(D3DXVECTOR3(0, 3, -3), p), D3DXVECTOR3(0, 1, Transformed(D3DXVECTOR3(0, 0, -3), p).z)));
    EXPECT_NEAR(Transformed(D3DXVECTOR3(6, 0, -3), p).x, 1.0f, 1e-6f);
}

TEST(D3DXMatrixProjection, PerspectiveVariantsAgree)
{
    D3DXMATRIX fov, wh, lh;
    // At the near plane 1 a 90-degree vertical field is 2 high, and aspect 2 makes it 4 wide.
    D3DXMatrixPerspectiveFovRH(&fov, kHalfPi, 2.0f, 1.0f, 50.0f);
    D3DXMatrixPerspectiveRH(&wh, 4.0f, 2.0f, 1.0f, 50.0f);
    EXPECT_TRUE(Near(fov, wh));

    D3DXMatrixPerspectiveFovLH(&lh, kHalfPi, 2.0f, 1.0f, 50.0f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, 1), lh).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, 50), lh).z, 1.0f, 1e-6f);
    D3DXMatrixPerspectiveLH(&wh, 4.0f, 2.0f, 1.0f, 50.0f);
    EXPECT_TRUE(Near(lh, wh));
}

TEST(D3DXMatrixProjection, OrthoOffCenterRHForScreenSpace)
{
    // The 2D layer's space: (0, 0) top left, (1, 1) bottom right.
    D3DXMATRIX o;
    D3DXMatrixOrthoOffCenterRH(&o, 0, 1, 1, 0, -1, 1);
    D3DXVECTOR3 topLeft = Transformed(D3DXVECTOR3(0, 0, 0), o);
    D3DXVECTOR3 bottomRight = Transformed(D3DXVECTOR3(1, 1, 0), o);
    EXPECT_NEAR(topLeft.x, -1.0f, 1e-6f);
    EXPECT_NEAR(topLeft.y, 1.0f, 1e-6f);
    EXPECT_NEAR(bottomRight.x, 1.0f, 1e-6f);
    EXPECT_NEAR(bottomRight.y, -1.0f, 1e-6f);
    EXPECT_NEAR(topLeft.z, 0.5f, 1e-6f);
    // Right-handed: the near plane (distance -1) is z = +1 in view space.
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, 1), o).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, -1), o).z, 1.0f, 1e-6f);

    D3DXMATRIX lh;
    D3DXMatrixOrthoOffCenterLH(&lh, 0, 1, 1, 0, 0, 10);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0, 0, 10), lh).z, 1.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(0.5f, 0.5f, 0), lh).x, 0.0f, 1e-6f);
}

TEST(D3DXMatrixProjection, CentredOrthoIsTheOffCenterCase)
{
    D3DXMATRIX a, b;
    D3DXMatrixOrthoRH(&a, 8, 6, 1, 20);
    D3DXMatrixOrthoOffCenterRH(&b, -4, 4, -3, 3, 1, 20);
    EXPECT_TRUE(Near(a, b));
    EXPECT_NEAR(Transformed(D3DXVECTOR3(4, 3, -1), a).x, 1.0f, 1e-6f);
    D3DXMatrixOrthoLH(&a, 8, 6, 1, 20);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(4, -3, 20), a).z, 1.0f, 1e-6f);
    EXPECT_NEAR(Transformed(D3DXVECTOR3(4, -3, 20), a).y, -1.0f, 1e-6f);
}

TEST(D3DXProject, ProjectToPixelsAndBack)
{
    D3DVIEWPORT9 vp = {10, 20, 640, 480, 0.0f, 1.0f};
    D3DXVECTOR3 eye(0, 0, 10), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view, proj, world = Translation(0, 0, 0);
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&proj, kHalfPi, 640.0f / 480.0f, 1.0f, 100.0f);

    D3DXVECTOR3 centre, origin(0, 0, 0);
    D3DXVec3Project(&centre, &origin, &vp, &proj, &view, &world);
    EXPECT_NEAR(centre.x, 330.0f, 1e-3f);
    EXPECT_NEAR(centre.y, 260.0f, 1e-3f);

    // Up in the world is up on screen, that is a smaller pixel row.
    D3DXVECTOR3 above(0, 1, 0), pixel;
    D3DXVec3Project(&pixel, &above, &vp, &proj, &view, nullptr);
    EXPECT_LT(pixel.y, centre.y);

    D3DXVECTOR3 p(1.5f, -2.0f, 3.0f), screen, back;
    D3DXVec3Project(&screen, &p, &vp, &proj, &view, &world);
    ASSERT_NE(D3DXVec3Unproject(&back, &screen, &vp, &proj, &view, &world), nullptr);
    EXPECT_TRUE(Near(back, p, 1e-3f));

    D3DXMATRIX flat = Scaling(0, 0, 0);
    EXPECT_EQ(D3DXVec3Unproject(&back, &screen, &vp, &flat, &view, &world), nullptr);
}

TEST(D3DXVectors, OperatorsAndFreeFunctionsAgree)
{
    D3DXVECTOR3 a(1, 2, 3), b(4, -5, 6), r;
    EXPECT_EQ(a + b, D3DXVECTOR3(5, -3, 9));
    EXPECT_EQ(a - b, D3DXVECTOR3(-3, 7, -3));
    EXPECT_EQ(-a, D3DXVECTOR3(-1, -2, -3));
    EXPECT_EQ(a * 2.0f, D3DXVECTOR3(2, 4, 6));
    EXPECT_EQ(2.0f * a, D3DXVECTOR3(2, 4, 6));
    EXPECT_EQ(b / 2.0f, D3DXVECTOR3(2, -2.5f, 3));
    D3DXVECTOR3 c = a;
    c += b;
    c -= a;
    c *= 3.0f;
    c /= 3.0f;
    EXPECT_EQ(c, b);
    EXPECT_NE(c, a);

    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 4 - 10 + 18);
    EXPECT_EQ(*D3DXVec3Cross(&r, &a, &b), D3DXVECTOR3(2 * 6 - 3 * -5, 3 * 4 - 1 * 6, 1 * -5 - 2 * 4));
    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    EXPECT_EQ(*D3DXVec3Cross(&r, &x, &y), D3DXVECTOR3(0, 0, 1));
    D3DXVec3Cross(&a, &a, &b); // in place must not read a half-written result
    EXPECT_EQ(a, D3DXVECTOR3(27, 6, -13));

    D3DXVECTOR3 lo(1, 5, -2), hi(3, 2, -1);
    EXPECT_EQ(*D3DXVec3Minimize(&r, &lo, &hi), D3DXVECTOR3(1, 2, -2));
    EXPECT_EQ(*D3DXVec3Maximize(&r, &lo, &hi), D3DXVECTOR3(3, 5, -1));
    EXPECT_TRUE(Near(*D3DXVec3Lerp(&r, &lo, &hi, 0.25f), D3DXVECTOR3(1.5f, 4.25f, -1.75f)));
    EXPECT_EQ(*D3DXVec3Scale(&r, &lo, -1.0f), -lo);

    D3DXVECTOR2 p(3, 4), q(1, 0);
    EXPECT_FLOAT_EQ(D3DXVec2Length(&p), 5.0f);
    EXPECT_FLOAT_EQ(D3DXVec2CCW(&q, &p), 4.0f);
    D3DXVECTOR4 v4(1, 2, 2, 4);
    EXPECT_FLOAT_EQ(D3DXVec4Length(&v4), 5.0f);
}

TEST(D3DXVectors, NormalizeGivesUnitLengthAndKeepsZeroAtZero)
{
    D3DXVECTOR3 v(3, 0, 4), n;
    EXPECT_TRUE(Near(*D3DXVec3Normalize(&n, &v), D3DXVECTOR3(0.6f, 0, 0.8f)));
    D3DXVECTOR3 zero(0, 0, 0);
    EXPECT_EQ(*D3DXVec3Normalize(&n, &zero), zero);

    D3DXVECTOR2 z2(0, 0), n2;
    EXPECT_EQ(*D3DXVec2Normalize(&n2, &z2), z2);
    D3DXVECTOR4 v4(0, 0, 0, 2), n4;
    EXPECT_EQ(*D3DXVec4Normalize(&n4, &v4), D3DXVECTOR4(0, 0, 0, 1));
}
