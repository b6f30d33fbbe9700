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

// x, y and z/w of a view-space point after the projection.
D3DXVECTOR4 Project(const D3DXMATRIX& projection, const D3DXVECTOR3& v)
{
    D3DXVECTOR4 out;
    D3DXVec3Transform(&out, &v, &projection);
    return out;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = kTolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

bool IsFinite(const D3DXMATRIX& m)
{
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(static_cast<const float*>(m)[i]))
            return false;
    return true;
}

TEST(LightCamera, DefaultsDescribeALightHighAboveLookingDownAtAPoint)
{
    const CLightCamera light;
    ExpectNear(light.eye, D3DXVECTOR3(0.1f, 200.0f, 0.1f));
    ExpectNear(light.target, D3DXVECTOR3(5.0f, 0.1f, 0.1f));
    EXPECT_FLOAT_EQ(light.fov, 0.7853982f);
    EXPECT_FLOAT_EQ(light.aspect, 1.3333334f);
    EXPECT_FLOAT_EQ(light.zNear, 0.0f);
    EXPECT_FLOAT_EQ(light.zFar, 10000.0f);
    EXPECT_FLOAT_EQ(light.range, 10000.0f);
    EXPECT_FLOAT_EQ(light.influence, 0.0f);
    EXPECT_FLOAT_EQ(light.spread, 350.0f);

    // The default view is already built from the default eye and target.
    const D3DXVECTOR3 toTarget = light.target - light.eye;
    EXPECT_NEAR(light.distance, D3DXVec3Length(&toTarget), kTolerance);
    ExpectNear(Apply(light.view, light.eye), D3DXVECTOR3(0, 0, 0));
    ExpectNear(Apply(light.view, light.target), D3DXVECTOR3(0, 0, -light.distance), 0.01f);
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &light.view, &light.projection);
    EXPECT_EQ(light.viewProjection, viewProjection);
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

    // forward, right and up are an orthonormal frame with up on the sky's side.
    EXPECT_NEAR(D3DXVec3Length(&light.forward), 1.0f, kTolerance);
    EXPECT_NEAR(D3DXVec3Length(&light.right), 1.0f, kTolerance);
    EXPECT_NEAR(D3DXVec3Dot(&light.forward, &light.right), 0.0f, kTolerance);
    EXPECT_NEAR(D3DXVec3Dot(&light.forward, &light.cameraUp), 0.0f, kTolerance);
    EXPECT_GT(light.cameraUp.y, 0.0f);
    // up x forward in a right-handed frame: the "right" vector points to the
    // picture's left (the particles take it as their left vector).
    ExpectNear(Apply(light.view, eye + light.right * 10.0f), D3DXVECTOR3(-10, 0, 0), 0.01f);
}

TEST(LightCamera, LookAtWithAnUpVectorRollsTheView)
{
    CLightCamera light;
    light.SetLookAtUp(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -10), D3DXVECTOR3(1, 0, 0));
    // The given up is the top of the picture; the world up is left alone.
    ExpectNear(Apply(light.view, D3DXVECTOR3(5, 0, -10)), D3DXVECTOR3(0, 5, -10));
    ExpectNear(light.worldUp, D3DXVECTOR3(0, 1, 0));
    light.SetLookAt(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -10));
    ExpectNear(Apply(light.view, D3DXVECTOR3(0, 5, -10)), D3DXVECTOR3(0, 5, -10));
}

TEST(LightCamera, ProjectionTakesFarThenAspectAndAlwaysANearPlaneOfZero)
{
    CLightCamera light;
    light.SetFov(1.2f);
    light.SetProjection(1.0f, 1500.0f, 2.0f);
    EXPECT_FLOAT_EQ(light.zNear, 0.0f);
    EXPECT_FLOAT_EQ(light.zFar, 1500.0f);
    EXPECT_FLOAT_EQ(light.aspect, 2.0f);
    EXPECT_FLOAT_EQ(light.fov, 1.2f);

    // Aspect 2: the picture is twice as wide as high.
    const float yScale = 1.0f / std::tan(0.6f);
    EXPECT_NEAR(light.projection._22, yScale, kTolerance);
    EXPECT_NEAR(light.projection._11, yScale / 2.0f, kTolerance);
    // With the near plane at 0 every depth projects to the far plane's 1.
    for (float depth : {1.0f, 300.0f, 1500.0f}) {
        const D3DXVECTOR4 clip = Project(light.projection, D3DXVECTOR3(0, 0, -depth));
        EXPECT_NEAR(clip.z / clip.w, 1.0f, kTolerance) << depth;
    }

    // A new field of view keeps aspect and far.
    light.SetFov(1000.04f);
    EXPECT_FLOAT_EQ(light.aspect, 2.0f);
    EXPECT_FLOAT_EQ(light.zFar, 1500.0f);
    EXPECT_NEAR(light.projection._22, 1.0f / std::tan(500.02f), kTolerance);
    // The product is kept in step with the projection.
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &light.view, &light.projection);
    EXPECT_EQ(light.viewProjection, viewProjection);
}

TEST(LightCamera, EyeOnTargetGivesNoNaNs)
{
    CLightCamera light;
    light.SetLookAt(D3DXVECTOR3(3, 3, 3), D3DXVECTOR3(3, 3, 3));
    EXPECT_FLOAT_EQ(light.distance, 0.0f);
    EXPECT_TRUE(std::isfinite(light.forward.x) && std::isfinite(light.right.x) && std::isfinite(light.cameraUp.y));
    EXPECT_TRUE(IsFinite(light.view));
    EXPECT_TRUE(IsFinite(light.inverseView));
}

TEST(LightCamera, ScriptPlacementReadsSixNumberStrings)
{
    CLightCamera light;
    light.dum("10", "20.5", "-30", "1e2", "0", "7");
    ExpectNear(light.eye, D3DXVECTOR3(10, 20.5f, -30));
    ExpectNear(light.target, D3DXVECTOR3(100, 0, 7));
    ExpectNear(Apply(light.view, light.eye), D3DXVECTOR3(0, 0, 0));
}

class LightFrustumDrawing : public drawtest::DeviceTest {};

// A light whose near plane is 0 has a view x projection without an inverse;
// its volume is still drawn, and the world transform is given back.
TEST_F(LightFrustumDrawing, DrawsTheVolumeInWhiteAndRestoresTheWorld)
{
    CLightCamera light;
    light.SetProjection(1.0f, 100.0f, 1.0f);
    light.SetFov(1.0f);
    light.SetLookAt(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -10));

    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(150, 0, -50), at(0, 0, -50), up(0, 1, 0);
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&projection, 1.5707964f, 1.0f, 1.0f, 1000.0f);
    D3DDevice->SetTransform(D3DTS_VIEW, &view);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 1, 2, 3);
    D3DDevice->SetTransform(D3DTS_WORLD, &world);

    auto whitePixels = [this]() {
        int count = 0;
        for (D3DCOLOR c : BackBuffer())
            if ((c & 0x00FFFFFF) == 0x00FFFFFF)
                ++count;
        return count;
    };
    ASSERT_EQ(D3DDevice->BeginScene(), D3D_OK);
    EXPECT_EQ(whitePixels(), 0);
    light.DrawFrustum();
    D3DDevice->EndScene();
    EXPECT_GT(whitePixels(), 10);

    D3DMATRIX after;
    D3DDevice->GetTransform(D3DTS_WORLD, &after);
    EXPECT_EQ(D3DXMATRIX(after), world);
}

} // namespace
