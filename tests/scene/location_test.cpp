// Where things stand and look: locations and the lights' cameras (whose
// projections are checked through the rooms' spot lights).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render/DeviceFixture.h"
#include "scene/LightCamera.h"
#include "scene/Location.h"

namespace {

constexpr float kLocationPi = 3.14159265f;
constexpr float kTolerance = 1e-4f;

D3DXVECTOR3 Apply(const D3DXMATRIX& m, const D3DXVECTOR3& v)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

void ExpectNearPoint(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = kTolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// Turn, then move, then scale: the scale reaches the translation too.
TEST(Location, WorldMatrixTurnsThenMovesThenScales)
{
    CLocation l;
    l.SetPosition(D3DXVECTOR3(10, 0, 0));
    l.SetYaw(kLocationPi / 2);
    ExpectNearPoint(Apply(l.GetMatrix(), D3DXVECTOR3(0, 0, 1)), D3DXVECTOR3(11, 0, 0)); // yaw pi/2 turns +Z onto +X
    l.SetScale(D3DXVECTOR3(2, 3, 4));
    ExpectNearPoint(Apply(l.GetMatrix(), D3DXVECTOR3(0, 0, 1)), D3DXVECTOR3(22, 0, 0));
    ExpectNearPoint(Apply(l.GetMatrix(), D3DXVECTOR3(0, 1, 0)), D3DXVECTOR3(20, 3, 0));
}

// Pitch wraps like yaw; it steers the next step but waits for a setter that
// rebuilds the matrix.
TEST(Location, AnglesWrapIntoHalfATurnEitherWayAndPitchSteersTheStep)
{
    CLocation l;
    l.SetYaw(4.0f);
    EXPECT_NEAR(l.GetYaw(), 4.0f - 2 * kLocationPi, kTolerance);
    l.AddYaw(-1.0f); // 4 - 2pi - 1 = -3.28: past -pi
    EXPECT_NEAR(l.GetYaw(), 3.0f, kTolerance);
    const D3DXMATRIX before = l.GetMatrix();
    l.SetPitch(-7.0f);
    EXPECT_NEAR(l.GetPitch(), -7.0f + 2 * kLocationPi, kTolerance);
    l.AddPitch(6.0f); // 2pi - 7 + 6 = 5.28: past pi
    EXPECT_NEAR(l.GetPitch(), -1.0f, kTolerance);
    EXPECT_EQ(l.GetMatrix(), before);
    l.MoveForward(10.0f); // (sin yaw, -sin pitch, cos yaw) * 10: not normalised
    EXPECT_NEAR(l.GetPosition().x, 10.0f * std::sin(3.0f), kTolerance);
    EXPECT_NEAR(l.GetMatrix()._42, 10.0f * std::sin(1.0f), kTolerance);
}

TEST(Location, AngleToIsTheShortTurnTowardsThePoint)
{
    CLocation l;
    EXPECT_NEAR(l.AngleTo(D3DXVECTOR3(1, 50, 1)), kLocationPi / 4, kTolerance);
    EXPECT_NEAR(l.AngleTo(D3DXVECTOR3(-1, 0, 0)), -kLocationPi / 2, kTolerance);

    // Across the +-pi seam the turn stays short: from 3.0 to -3.0 is +0.28.
    l.SetPosition(D3DXVECTOR3(10, 0, 10));
    l.SetYaw(3.0f);
    const D3DXVECTOR3 point = D3DXVECTOR3(10, 0, 10) + D3DXVECTOR3(std::sin(-3.0f), 0, std::cos(-3.0f)) * 50.0f;
    EXPECT_NEAR(l.AngleTo(point), 2 * kLocationPi - 6.0f, kTolerance);
}

TEST(LightCamera, LookAtPutsTheEyeAtTheOriginAndTheTargetDownMinusZ)
{
    CLightCamera light;
    const D3DXVECTOR3 eye(100, 50, -30), target(40, 10, 90);
    light.SetLookAt(eye, target);
    const D3DXVECTOR3 toTarget = target - eye;
    const float length = D3DXVec3Length(&toTarget);
    EXPECT_NEAR(light.distance, length, 1e-3f);
    ExpectNearPoint(Apply(light.view, eye), D3DXVECTOR3(0, 0, 0));
    ExpectNearPoint(Apply(light.view, target), D3DXVECTOR3(0, 0, -length), 0.01f);
    ExpectNearPoint(Apply(light.inverseView, D3DXVECTOR3(0, 0, 0)), eye, 0.01f);
    EXPECT_NEAR(D3DXVec3Dot(&light.forward, &light.cameraUp), 0.0f, 1e-3f);
    EXPECT_GT(light.cameraUp.y, 0.0f);
    // up x forward in a right-handed frame: the "right" vector points to the
    // picture's left (the particles take it as their left vector).
    ExpectNearPoint(Apply(light.view, eye + light.right * 10.0f), D3DXVECTOR3(-10, 0, 0), 0.01f);
    EXPECT_EQ(light.viewProjection, light.view * light.projection); // row vectors: view first

    // A given up vector is the top of the picture; the world up is left alone.
    light.SetLookAtUp(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -10), D3DXVECTOR3(1, 0, 0));
    ExpectNearPoint(Apply(light.view, D3DXVECTOR3(5, 0, -10)), D3DXVECTOR3(0, 5, -10));
    ExpectNearPoint(light.worldUp, D3DXVECTOR3(0, 1, 0));

    // The eye on the target gives no NaNs.
    light.SetLookAt(D3DXVECTOR3(3, 3, 3), D3DXVECTOR3(3, 3, 3));
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(std::isfinite(static_cast<const float*>(light.view)[i]) &&
                    std::isfinite(static_cast<const float*>(light.inverseView)[i]));
}

using LightFrustumDrawing = drawtest::DeviceTest;

// A light whose near plane is 0 has a view x projection without an inverse;
// its volume is still drawn, and the world transform is given back.
TEST_F(LightFrustumDrawing, DrawsTheVolumeInWhiteAndRestoresTheWorld)
{
    CLightCamera light;
    light.SetProjection(1.0f, 100.0f, 1.0f);
    light.SetLookAt(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -10));
    D3DXMATRIX view, projection, world;
    const D3DXVECTOR3 eye(150, 0, -50), at(0, 0, -50), up(0, 1, 0);
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&projection, 1.5707964f, 1.0f, 1.0f, 1000.0f);
    D3DXMatrixTranslation(&world, 1, 2, 3);
    D3DDevice->SetTransform(D3DTS_VIEW, &view);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);
    D3DDevice->SetTransform(D3DTS_WORLD, &world);

    ASSERT_EQ(D3DDevice->BeginScene(), D3D_OK);
    light.DrawFrustum();
    D3DDevice->EndScene();
    const std::vector<D3DCOLOR> pixels = BackBuffer();
    EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](D3DCOLOR c) { return (c & 0xFFFFFF) == 0xFFFFFF; }), 10);
    D3DMATRIX after;
    D3DDevice->GetTransform(D3DTS_WORLD, &after);
    EXPECT_EQ(D3DXMATRIX(after), world);
}

} // namespace
