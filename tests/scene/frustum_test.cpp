#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "render/DeviceFixture.h"
#include "scene/Camera.h"
#include "scene/camera_fake_world.h"

namespace {

// A camera at (0, 0, 200) looking down -Z with a 90-degree square view from 1
// to 1000 units: the view volume is x and y within |z - 200|, z from 199
// down to -800.
class Frustum : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories("data/XML");
        std::ofstream("data/XML/camera_values.xml")
            << R"(<PROPERTIES offset_z="100" fov_respect_pi="0.5" aspect_ratio_x="1" aspect_ratio_y="1"
                              near="1" far="1000"/>)";
        m_Camera.LoadValues(0, 0, 0, nullptr);
        m_Camera.UpdateFrustum();
    }

    drawtest::ScratchFolder m_Folder{"frustum"};
    CCamera m_Camera;
    FakeCameraWorld m_World{m_Camera};
};

void ExpectPlane(const D3DXPLANE& p, float a, float b, float c, float d)
{
    EXPECT_NEAR(p.a, a, 1e-4f);
    EXPECT_NEAR(p.b, b, 1e-4f);
    EXPECT_NEAR(p.c, c, 1e-4f);
    EXPECT_NEAR(p.d, d, 0.05f);
}

TEST_F(Frustum, PlanesComeNormalisedAndFacingIn)
{
    ASSERT_NEAR(m_Camera.GetPosition().z, 200.0f, 1e-4f);
    const float h = std::sqrt(0.5f);
    ExpectPlane(m_Camera.GetFrustumPlane(0), h, 0, -h, 200 * h);   // left: x >= z - 200
    ExpectPlane(m_Camera.GetFrustumPlane(1), -h, 0, -h, 200 * h);  // right
    ExpectPlane(m_Camera.GetFrustumPlane(2), 0, -h, -h, 200 * h);  // top
    ExpectPlane(m_Camera.GetFrustumPlane(3), 0, h, -h, 200 * h);   // bottom
    ExpectPlane(m_Camera.GetFrustumPlane(4), 0, 0, -1, 199);       // near
    ExpectPlane(m_Camera.GetFrustumPlane(5), 0, 0, 1, 800);        // far
}

TEST_F(Frustum, SphereTestSortsInsideOutsideAndCrossing)
{
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 0, 0, 10), 1);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 0, -700, 50), 1);

    // Wholly outside each plane in turn.
    EXPECT_EQ(m_Camera.SphereInFrustum(-400, 0, 0, 10), -1);
    EXPECT_EQ(m_Camera.SphereInFrustum(400, 0, 0, 10), -1);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 400, 0, 10), -1);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, -400, 0, 10), -1);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 0, 300, 10), -1);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 0, -900, 10), -1);

    // Straddling one plane.
    EXPECT_EQ(m_Camera.SphereInFrustum(-200, 0, 0, 10), 0);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 0, -800, 10), 0);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 0, 199, 5), 0);

    // The first plane crossed answers: across the left plane and wholly
    // beyond the far one still counts as crossing...
    EXPECT_EQ(m_Camera.SphereInFrustum(-1200, 0, -1000, 20), 0);
    // ...while wholly beyond the left plane and crossing a later one is outside.
    EXPECT_EQ(m_Camera.SphereInFrustum(-1200, 0, -800, 20), -1);
}

TEST_F(Frustum, FollowsTheViewOfTheLastUpdate)
{
    // Turn the camera round by hand: its planes go with it once updated.
    const D3DXVECTOR3 behind(0, 0, 400);
    EXPECT_EQ(m_Camera.SphereInFrustum(behind.x, behind.y, behind.z, 10), -1);
    m_Camera.SetPosition(D3DXVECTOR3(0, 0, 0));
    m_Camera.SetLookAt(D3DXVECTOR3(0, 0, 100));
    m_Camera.ApplyView();
    m_Camera.UpdateFrustum();
    EXPECT_EQ(m_Camera.SphereInFrustum(behind.x, behind.y, behind.z, 10), 1);
    EXPECT_EQ(m_Camera.SphereInFrustum(0, 0, -100, 10), -1);
    EXPECT_NEAR(m_Camera.DistanceTo(3, 4, 0), 5.0f, 1e-5f);
}

} // namespace
