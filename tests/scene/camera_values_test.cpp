#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "render/DeviceFixture.h"
#include "scene/Camera.h"
#include "scene/camera_fake_world.h"

namespace {

constexpr float kTolerance = 1e-3f;
constexpr float kPi = 3.1415927f;

void WriteValues(const std::string& text)
{
    std::filesystem::create_directories("data/XML");
    std::ofstream("data/XML/camera_values.xml") << text;
}

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

void ExpectDefaults(const CCamera& camera)
{
    const CCamera::Values& v = camera.GetValues();
    EXPECT_FLOAT_EQ(v.speed, 0.3f);
    EXPECT_FLOAT_EQ(v.speedAiming, 0.1f);
    ExpectNear(v.offset, D3DXVECTOR3(0, 0, 0));
    ExpectNear(v.offsetAiming, D3DXVECTOR3(0, 0, 0));
    EXPECT_FLOAT_EQ(v.pitchUpLimit, 0.4f);
    EXPECT_FLOAT_EQ(v.pitchDownLimit, -0.4f);
    ExpectNear(v.lookAtDesp, D3DXVECTOR3(0, 0, 0));
    ExpectNear(v.lookAtDespParapetedLeft, D3DXVECTOR3(0, 0, 0));
    EXPECT_NEAR(camera.GetFov(), 0.33f * kPi, 1e-5f);
    EXPECT_NEAR(camera.GetAspect(), 4.0f / 3.0f, 1e-6f);
    EXPECT_FLOAT_EQ(camera.GetNear(), 1.0f);
    EXPECT_FLOAT_EQ(camera.GetFar(), 15000.0f);
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovRH(&projection, 0.33f * kPi, 4.0f / 3.0f, 1.0f, 15000.0f);
    EXPECT_EQ(camera.GetProjectionMatrix(), projection);
}

class CameraValues : public ::testing::Test {
protected:
    drawtest::ScratchFolder m_Folder{"camera_values"};
    CCamera m_Camera;
    FakeCameraWorld m_World{m_Camera};
};

TEST_F(CameraValues, MissingOrBrokenFileLeavesTheDefaults)
{
    m_Camera.LoadValues(0, 0, 0, nullptr);
    ExpectDefaults(m_Camera);

    WriteValues("<PROPERTIES speed=\"0.9\" ");
    m_Camera.LoadValues(0, 0, 0, nullptr);
    EXPECT_FLOAT_EQ(m_Camera.GetValues().pitchUpLimit, 0.4f);
}

TEST_F(CameraValues, ReadsWhatIsGivenAndDefaultsTheRest)
{
    WriteValues(R"(<root>
  <CAMERA speed="5" near="99"/>
  <PROPERTIES speed="0.5" offset_x="1" offset_y="2" offset_z="-3" offset_aiming_z="-40"
              pitch_up_limit="0.7" aspect_ratio_x="16" aspect_ratio_y="9" fov_respect_pi="0.25"
              lookAt_desp_aiming_x="-20" lookAt_desp_parapeted_left_y="45"
              lookAt_desp_parapeted_right_x="12" near="2" far="9000"/>
</root>)");
    m_Camera.LoadValues(0, 0, 0, nullptr);
    const CCamera::Values& v = m_Camera.GetValues();
    EXPECT_FLOAT_EQ(v.speed, 0.5f);
    EXPECT_FLOAT_EQ(v.speedAiming, 0.1f);
    ExpectNear(v.offset, D3DXVECTOR3(1, 2, -3));
    ExpectNear(v.offsetAiming, D3DXVECTOR3(0, 0, -40));
    EXPECT_FLOAT_EQ(v.pitchUpLimit, 0.7f);
    EXPECT_FLOAT_EQ(v.pitchDownLimit, -0.4f);
    ExpectNear(v.lookAtDespAiming, D3DXVECTOR3(-20, 0, 0));
    ExpectNear(v.lookAtDespParapetedLeft, D3DXVECTOR3(0, 45, 0));
    ExpectNear(v.lookAtDespParapetedRight, D3DXVECTOR3(12, 0, 0));
    EXPECT_NEAR(m_Camera.GetFov(), 0.25f * kPi, 1e-5f);
    EXPECT_NEAR(m_Camera.GetAspect(), 16.0f / 9.0f, 1e-6f);
    EXPECT_FLOAT_EQ(m_Camera.GetNear(), 2.0f);
    EXPECT_FLOAT_EQ(m_Camera.GetFar(), 9000.0f);

    // A later load of a file without the values is back on the defaults.
    std::filesystem::remove("data/XML/camera_values.xml");
    m_Camera.LoadValues(0, 0, 0, nullptr);
    ExpectDefaults(m_Camera);
}

TEST_F(CameraValues, ASecondPropertiesElementStartsAgainFromTheDefaults)
{
    WriteValues(R"(<r><PROPERTIES speed="0.5" far="100"/><PROPERTIES near="3"/></r>)");
    m_Camera.LoadValues(0, 0, 0, nullptr);
    EXPECT_FLOAT_EQ(m_Camera.GetValues().speed, 0.3f);
    EXPECT_FLOAT_EQ(m_Camera.GetFar(), 15000.0f);
    EXPECT_FLOAT_EQ(m_Camera.GetNear(), 3.0f);
}

TEST_F(CameraValues, AZeroHeightRatioKeepsAUsableAspect)
{
    WriteValues(R"(<PROPERTIES aspect_ratio_y="0"/>)");
    m_Camera.LoadValues(0, 0, 0, nullptr);
    EXPECT_NEAR(m_Camera.GetAspect(), 4.0f / 3.0f, 1e-6f);
}

TEST_F(CameraValues, LoadPlacesTheCameraBehindTheHeroAndResetsTheOrbit)
{
    WriteValues(R"(<PROPERTIES offset_x="0" offset_y="50" offset_z="-100"
                   lookAt_desp_x="0" lookAt_desp_y="60" lookAt_desp_z="0"/>)");
    m_Camera.SetFreeCamera(true);
    m_Camera.SetViewLocked(true);
    m_Camera.SetYaw(0.3f);
    m_World.enemies["ene_1"] = D3DXVECTOR3(500, 0, 0);
    m_Camera.SelectNextAimTarget();
    ASSERT_TRUE(m_Camera.HasAimTarget());

    m_Camera.LoadValues(10, 0, 20, nullptr);
    // look-at = hero + displacement + offset; eye = look-at + offset.
    ExpectNear(m_Camera.GetLookAt(), D3DXVECTOR3(10, 110, -80));
    ExpectNear(m_Camera.GetPosition(), D3DXVECTOR3(10, 160, -180));
    ExpectNear(m_Camera.GetDesiredLookAt(), m_Camera.GetLookAt());
    EXPECT_FALSE(m_Camera.IsFreeCamera());
    EXPECT_FALSE(m_Camera.IsViewLocked());
    EXPECT_FALSE(m_Camera.HasAimTarget());
    EXPECT_TRUE(m_Camera.GetAimTargetName().empty());
    EXPECT_NEAR(m_Camera.GetWantedYaw(), 1.5707964f, 1e-6f);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedPitch(), 0.0f);
    EXPECT_NEAR(m_Camera.GetPitch(), 0.175f, 1e-6f);
    EXPECT_FLOAT_EQ(m_Camera.GetFrameStep(), 0.0f);

    // The first view looks from the eye at the look-at point.
    const D3DXVECTOR3 toLook = m_Camera.GetLookAt() - m_Camera.GetPosition();
    ExpectNear(Apply(m_Camera.GetViewMatrix(), m_Camera.GetLookAt()),
               D3DXVECTOR3(0, 0, -D3DXVec3Length(&toLook)), 0.01f);
}

// Every value the camera reads is in the shipped file, spelt as the camera
// spells it, and the values make a usable camera.
TEST(CameraValuesFile, ShippedFileGivesEveryValue)
{
    class AttributeNames : public CXMLParser {
    public:
        void OnStartElement(const std::string& name, CXMLAttributes& attributes) override
        {
            if (name == "PROPERTIES")
                for (const auto& a : attributes)
                    names.insert(a.first);
        }
        std::set<std::string> names;
    } file;
    const std::string path = std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/camera_values.xml";
    ASSERT_TRUE(file.LoadXML(path)) << file.GetErrorText();
    std::set<std::string> expected = {"speed", "speed_aiming", "pitch_up_limit", "pitch_down_limit",
                                      "aspect_ratio_x", "aspect_ratio_y", "fov_respect_pi", "near", "far"};
    for (const char* vector : {"offset", "offset_aiming", "lookAt_desp", "lookAt_desp_aiming",
                               "lookAt_desp_parapeted_left", "lookAt_desp_parapeted_right"})
        for (const char* axis : {"_x", "_y", "_z"})
            expected.insert(std::string(vector) + axis);
    EXPECT_EQ(file.names, expected);

    drawtest::ScratchFolder folder("camera_values_shipped");
    std::filesystem::create_directories("data/XML");
    std::filesystem::copy_file(path, "data/XML/camera_values.xml");
    CCamera camera;
    FakeCameraWorld world(camera);
    camera.LoadValues(0, 0, 0, nullptr);
    const CCamera::Values& v = camera.GetValues();
    const float follow = D3DXVec3Length(&v.offset), aiming = D3DXVec3Length(&v.offsetAiming);
    EXPECT_GT(aiming, 0.0f);
    EXPECT_GT(follow, aiming);
    EXPECT_LT(v.pitchDownLimit, 0.15f);
    EXPECT_GT(v.pitchUpLimit, 0.175f);
    EXPECT_GT(camera.GetNear(), 0.0f);
    EXPECT_GT(camera.GetFar(), camera.GetNear() * 100.0f);
    EXPECT_GT(camera.GetFov(), 0.5f);
    EXPECT_LT(camera.GetFov(), 1.6f);
}

class CameraOnDevice : public drawtest::DeviceTest {
protected:
    drawtest::ScratchFolder m_Folder{"camera_device"};
};

TEST_F(CameraOnDevice, LoadAndFieldOfViewReachTheDevice)
{
    CCamera camera;
    FakeCameraWorld world(camera);
    WriteValues(R"(<PROPERTIES offset_z="-100"/>)");
    camera.LoadValues(0, 0, 0, D3DDevice);
    D3DMATRIX view, projection;
    D3DDevice->GetTransform(D3DTS_VIEW, &view);
    D3DDevice->GetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_EQ(D3DXMATRIX(view), camera.GetViewMatrix());
    EXPECT_EQ(D3DXMATRIX(projection), camera.GetProjectionMatrix());

    camera.SetFov(1.134464f);
    D3DDevice->GetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_NEAR(D3DXMATRIX(projection)._22, 1.0f / std::tan(1.134464f / 2.0f), 1e-4f);

    // A locked view is left alone on the device.
    camera.SetViewLocked(true);
    const D3DXMATRIX sentinel = drawtest::Identity();
    D3DDevice->SetTransform(D3DTS_VIEW, &sentinel);
    camera.ApplyView();
    camera.Update(1.0f / 30.0f);
    D3DDevice->GetTransform(D3DTS_VIEW, &view);
    EXPECT_EQ(D3DXMATRIX(view), sentinel);
}

} // namespace
