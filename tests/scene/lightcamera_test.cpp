#include <gtest/gtest.h>

#include <cmath>

#include "render/DeviceFixture.h"
#include "scene/LightCamera.h"

namespace {

constexpr float kTolerance = 1e-3f;

D3DXVECTOR3 Apply(const D3DXMATRIX& m, const D3DXVECTOR3& v)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = kTolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(LightCamera, LookAtPutsTheEyeAtTheOriginAndTheTargetDownMinusZ)
{
    CLightCamera light;
    const D3DXVECTOR3 eye(100, 50, -30), target(40, 10, 90);
    light.SetLookAt(eye, target);
    const D3DXVECTOR3 toTarget = target - eye;
    const float length = D3DXVec3Length(&toTarget);
    EXPECT_NEAR(light.distance, length, kTolerance);
    ExpectNear(Apply(light.view, eye), D3DXVECTOR3(0, 0, 0));
    ExpectNear(Apply(light.view, target), D3DXVECTOR3(0, 0, -length), 0.01f);
    ExpectNear(Apply(light.inverseView, D3DXVECTOR3(0, 0, 0)), eye, 0.01f);
    EXPECT_NEAR(D3DXVec3Dot(&light.forward, &light.cameraUp), 0.0f, kTolerance);
    EXPECT_GT(light.cameraUp.y, 0.0f);
    // up x forward in a right-handed frame: the "right" vector points to the
    // picture's left (the particles take it as their left vector).
    ExpectNear(Apply(light.view, eye + light.right * 10.0f), D3DXVECTOR3(-10, 0, 0), 0.01f);

    // A given up vector is the top of the picture; the world up is left alone.
    light.SetLookAtUp(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -10), D3DXVECTOR3(1, 0, 0));
    ExpectNear(Apply(light.view, D3DXVECTOR3(5, 0, -10)), D3DXVECTOR3(0, 5, -10));
    ExpectNear(light.worldUp, D3DXVECTOR3(0, 1, 0));

    // The eye on the target gives no NaNs.
    light.SetLookAt(D3DXVECTOR3(3, 3, 3), D3DXVECTOR3(3, 3, 3));
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(std::isfinite(static_cast<const float*>(light.view)[i]) &&
                    std::isfinite(static_cast<const float*>(light.inverseView)[i]));
}

// The shadow map was tuned with a near plane of 0: every depth lands on the far plane's 1.
TEST(LightCamera, ProjectionTakesFarThenAspectAndAlwaysANearPlaneOfZero)
{
    CLightCamera light;
    light.SetFov(1.2f);
    light.SetProjection(1.0f, 1500.0f, 2.0f);
    // Aspect 2: the picture is twice as wide as high.
    const float yScale = 1.0f / std::tan(0.6f);
    EXPECT_NEAR(light.projection._22, yScale, kTolerance);
    EXPECT_NEAR(light.projection._11, yScale / 2.0f, kTolerance);
    for (float depth : {1.0f, 300.0f, 1500.0f}) {
        D3DXVECTOR4 clip;
        const D3DXVECTOR3 point(0, 0, -depth);
        D3DXVec3Transform(&clip, &point, &light.projection);
        EXPECT_NEAR(clip.z / clip.w, 1.0f, kTolerance) << depth;
    }
    // A new field of view keeps aspect and far, and the product follows in row-vector order.
    light.SetFov(1000.04f);
    EXPECT_NEAR(light.projection._22, 1.0f / std::tan(500.02f), kTolerance);
    EXPECT_NEAR(light.projection._11, light.projection._22 / 2.0f, kTolerance);
    EXPECT_FLOAT_EQ(light.zFar, 1500.0f);
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &light.view, &light.projection);
    EXPECT_EQ(light.viewProjection, viewProjection);
}

class LightFrustumDrawing : public drawtest::DeviceTest {};

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
    int white = 0;
    for (D3DCOLOR c : BackBuffer())
        white += (c & 0x00FFFFFF) == 0x00FFFFFF;
    EXPECT_GT(white, 10);
    D3DMATRIX after;
    D3DDevice->GetTransform(D3DTS_WORLD, &after);
    EXPECT_EQ(D3DXMATRIX(after), world);
}

} // namespace
