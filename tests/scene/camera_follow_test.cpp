#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "math/VectorMath.h"
#include "platform/crt.h"
#include "render/DeviceFixture.h"
#include "scene/Camera.h"
#include "scene/camera_fake_world.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kStep = 1.0f / 30.0f;

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = 1e-3f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// A follow distance of 200, 100 while aiming; the look-at point 60 above the
// hero's feet, over his right shoulder while aiming.
const char* const kValues = R"(<PROPERTIES offset_z="-200" offset_aiming_z="-100"
    lookAt_desp_y="60" lookAt_desp_aiming_x="-30" lookAt_desp_aiming_y="60"
    lookAt_desp_parapeted_left_x="30" lookAt_desp_parapeted_left_y="40"/>)";

class Follow : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories("data/XML");
        std::ofstream("data/XML/camera_values.xml") << kValues;
        m_Camera.LoadValues(0, 0, 0, nullptr);
        m_World.hero.stateCode = 30;
    }

    void Run(int frames, float step = kStep)
    {
        for (int i = 0; i < frames; ++i)
            m_Camera.Update(step);
    }

    // Orbit and camera turned to the same heading at once.
    void FaceCamera(float yaw)
    {
        m_Camera.SetYaw(yaw);
        m_Camera.CLocation::SetYaw(yaw);
    }

    D3DXVECTOR3 EyeToLookAt() const { return m_Camera.GetLookAt() - m_Camera.GetPosition(); }

    drawtest::ScratchFolder m_Folder{"camera_follow"};
    CCamera m_Camera;
    FakeCameraWorld m_World{m_Camera};
};

TEST_F(Follow, LookAtClosesEightyPercentOfTheWayEachFrameWhateverTheStep)
{
    CCamera other;
    FakeCameraWorld otherWorld(other);
    otherWorld.hero.stateCode = 30;
    other.LoadValues(0, 0, 0, nullptr);

    // Loaded at hero + displacement + offset = (0, 60, -200); the hero's
    // desired point is (0, 60, 0).
    m_Camera.Update(0.01f);
    other.Update(0.5f);
    m_Camera.Update(0.01f);
    other.Update(0.5f);
    ExpectNear(m_Camera.GetLookAt(), D3DXVECTOR3(0, 60, -40));
    ExpectNear(other.GetLookAt(), D3DXVECTOR3(0, 60, -40));
}

TEST_F(Follow, EyeSettlesAtTheOffsetDistanceAndSwingsBehindAnIdleHero)
{
    m_World.hero.yaw = 1.0f;
    Run(210);  // idle for 7 s: after 4 the orbit swings back behind the hero
    EXPECT_NEAR(m_Camera.GetWantedYaw(), 1.0f, 1e-5f);
    EXPECT_NEAR(m_Camera.GetWantedPitch(), 0.15f, 1e-5f);
    EXPECT_NEAR(m_Camera.GetYaw(), 1.0f, 1e-3f);
    EXPECT_NEAR(m_Camera.GetPitch(), 0.15f, 1e-3f);
    ExpectNear(m_Camera.GetLookAt(), D3DXVECTOR3(0, 60, 0));
    const D3DXVECTOR3 expectedEye = D3DXVECTOR3(0, 60, 0) - DirectionFromYawPitch(1.0f, 0.15f) * 200.0f;
    ExpectNear(m_Camera.GetPosition(), expectedEye, 0.05f);
    ExpectNear(m_Camera.GetViewDirection(), DirectionFromYawPitch(1.0f, 0.15f));

    // Aiming pulls in over the right shoulder.
    m_World.hero.stateCode = 52;
    m_Camera.Update(kStep);
    const D3DXVECTOR3 shoulder = DirectionFromYaw(1.0f - kHalfPi) * 30.0f + D3DXVECTOR3(0, 60, 0);
    ExpectNear(m_Camera.GetDesiredLookAt(), shoulder, 0.01f);
    Run(100);
    const D3DXVECTOR3 eyeToLookAt = EyeToLookAt();
    EXPECT_NEAR(D3DXVec3Length(&eyeToLookAt), 100.0f, 0.05f);

    // Peeking from a parapet uses the parapet displacement instead.
    m_World.hero.stateCode = 48;
    m_World.hero.peeking = true;
    m_Camera.Update(kStep);
    const D3DXVECTOR3 peek = DirectionFromYaw(1.0f + kHalfPi) * 30.0f + D3DXVECTOR3(0, 40, 0);
    ExpectNear(m_Camera.GetDesiredLookAt(), peek, 0.05f);
}

TEST_F(Follow, InputTurnsTheOrbitOnlyWhileAMoveCameraActionFires)
{
    FaceCamera(0.0f);
    m_World.input.mouseX = 5.0f;
    m_Camera.Update(kStep);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedYaw(), 0.0f);

    m_World.actions = {"MoveCameraRight"};
    m_Camera.Update(kStep);
    EXPECT_NEAR(m_Camera.GetWantedYaw(), -5.0f * kStep * 0.3f, 1e-6f);

    // The mouse turn is bounded by the hero's turn value.
    m_World.input.mouseX = 100.0f;
    m_Camera.Update(kStep);
    EXPECT_NEAR(m_Camera.GetWantedYaw(), -13.0f * kStep * 0.3f, 1e-6f);

    // With a pad the right stick turns, squared and scaled by 20.
    m_World.input.padConnected = true;
    m_World.input.rightStickX = -0.5f;
    m_Camera.Update(kStep);
    EXPECT_NEAR(m_Camera.GetWantedYaw(), -8.0f * kStep * 0.3f, 1e-6f);
}

TEST_F(Follow, WantedPitchStaysWithinTheLimits)
{
    m_World.actions = {"MoveCameraDown"};
    m_World.input.mouseY = 8.0f;
    Run(60);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedPitch(), 0.4f);
    EXPECT_NEAR(m_Camera.GetPitch(), 0.4f, 1e-4f);
    EXPECT_LE(m_Camera.GetPitch(), 0.4f + 1e-6f);

    m_World.input.mouseY = -8.0f;
    Run(60);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedPitch(), -0.4f);
    EXPECT_NEAR(m_Camera.GetPitch(), -0.4f, 1e-4f);
}

TEST_F(Follow, BehindAParapetTheOrbitStaysOnTheHerosSide)
{
    m_World.hero.stateCode = 62;
    m_World.hero.selectorState = "PARAPETED";
    m_World.hero.yaw = 0.0f;
    FaceCamera(0.0f);
    m_World.input.mouseX = -8.0f;  // no action needed in cover
    Run(90);
    EXPECT_GT(m_Camera.GetWantedYaw(), 1.0f);
    EXPECT_LE(m_Camera.GetWantedYaw(), kHalfPi);
    // In cover the camera does not hand the hero a yaw.
    EXPECT_EQ(m_World.heroYawSets, 0);
    m_World.hero.stateCode = 48;
    m_Camera.Update(kStep);
    EXPECT_EQ(m_World.heroYawSets, 1);
}

TEST_F(Follow, KeysWalkTheHeroRelativeToTheCamera)
{
    FaceCamera(0.5f);
    m_World.hero.stateCode = 31;
    m_World.hero.forward = true;
    const D3DXVECTOR3 lookAtBefore = m_Camera.GetLookAt();
    m_Camera.Update(kStep);
    ASSERT_EQ(m_World.heroSteps.size(), 1u);
    ExpectNear(m_World.heroSteps[0], DirectionFromYaw(0.5f) * (kStep * 200.0f));
    // The look-at point travels with him.
    ExpectNear(m_Camera.GetLookAt(), lookAtBefore + m_World.heroSteps[0]);
    // He turns a quarter of the way toward where he walks.
    EXPECT_NEAR(m_World.hero.yaw, 0.125f, 1e-5f);

    // Forward and left together: along the diagonal, shortened by 0.7.
    m_World.hero.left = true;
    m_Camera.Update(kStep);
    const D3DXVECTOR3 diagonal = (DirectionFromYaw(0.5f + kHalfPi) + DirectionFromYaw(0.5f)) * 0.7f;
    ExpectNear(m_World.heroSteps.back(), diagonal * (kStep * 200.0f));

    // Walking aim goes at half the aiming speed and keeps facing the camera.
    m_World.hero.left = false;
    m_World.hero.back = true;
    m_World.hero.forward = false;
    m_World.hero.stateCode = 35;
    const float yawBefore = m_World.hero.yaw;
    m_Camera.Update(kStep);
    ExpectNear(m_World.heroSteps.back(), DirectionFromYaw(0.5f + kPi) * (kStep * 50.0f));
    EXPECT_NEAR(m_World.hero.yaw, yawBefore + 0.25f * (m_Camera.GetYaw() - yawBefore), 1e-5f);

    // Standing still the keys do not walk him; nor during a scripted sequence,
    // when the camera also takes the hero's heading.
    const size_t steps = m_World.heroSteps.size();
    m_World.hero.stateCode = 30;
    m_Camera.Update(kStep);
    m_World.hero.stateCode = 31;
    m_World.scripted = true;
    m_World.hero.yaw = -2.0f;
    m_Camera.Update(kStep);
    EXPECT_EQ(m_World.heroSteps.size(), steps);
    EXPECT_FLOAT_EQ(m_Camera.GetYaw(), -2.0f);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedYaw(), -2.0f);
}

TEST_F(Follow, PadStickWalksInTheCamerasFrame)
{
    FaceCamera(0.0f);
    m_World.hero.stateCode = 31;
    m_World.input.padConnected = true;
    m_World.input.leftStickX = 1.0f;  // right
    m_Camera.Update(kStep);
    ASSERT_EQ(m_World.heroSteps.size(), 1u);
    ExpectNear(m_World.heroSteps[0], DirectionFromYaw(-kHalfPi) * (kStep * 200.0f));
}

TEST_F(Follow, AlongAParapetTheHeroStopsAtItsEndUnlessAnotherTakesOver)
{
    m_World.hero.stateCode = 34;
    m_World.hero.selectorState = "PARAPETED";
    m_World.hero.hasParapet = true;
    m_World.hero.parapetYaw = 0.0f;
    m_World.hero.parapetStart = D3DXVECTOR3(100, 0, 0);
    m_World.hero.parapetEnd = D3DXVECTOR3(-100, 0, 0);
    m_World.hero.left = true;  // along parapet yaw + pi/2: +X, toward the start
    m_Camera.Update(kStep);
    ASSERT_EQ(m_World.heroSteps.size(), 1u);
    ExpectNear(m_World.heroSteps[0], D3DXVECTOR3(kStep * 100.0f, 0, 0));

    m_World.hero.position = D3DXVECTOR3(95, 0, 0);
    m_Camera.Update(kStep);
    EXPECT_EQ(m_World.heroSteps.size(), 1u);
    ASSERT_EQ(m_World.adjacentAsked.size(), 1u);
    EXPECT_FALSE(m_World.adjacentAsked[0]);

    m_World.adjacentParapet = true;
    m_Camera.Update(kStep);
    EXPECT_EQ(m_World.heroSteps.size(), 2u);
}

// Locking on swings the eye round behind the hero so that the camera looks
// past him at the enemy, and he turns to face it.
TEST_F(Follow, AimTargetTurnsTheViewTowardTheEnemy)
{
    m_World.hero.yaw = 0.0f;
    FaceCamera(0.0f);
    Run(30);
    m_World.enemies["ene_1"] = D3DXVECTOR3(1000, 0, 0);
    m_Camera.SelectNextAimTarget();
    ASSERT_TRUE(m_Camera.HasAimTarget());
    EXPECT_EQ(m_Camera.GetAimTargetName(), "ene_1");
    Run(60);
    EXPECT_GT(m_Camera.GetViewDirection().x, 0.95f);
    EXPECT_LT(m_Camera.GetPosition().x, -150.0f);
    EXPECT_NEAR(m_Camera.GetYaw(), kHalfPi, 0.02f);
    EXPECT_GT(m_World.hero.yaw, 1.0f);
}

TEST_F(Follow, ADeadTargetIsLetGoAndTheInputTurnsTheCameraAgain)
{
    FaceCamera(0.0f);
    m_World.enemies["ene_1"] = D3DXVECTOR3(0, 0, 1000);
    m_Camera.SelectNextAimTarget();
    m_Camera.RefreshAimTarget();
    ASSERT_TRUE(m_Camera.HasAimTarget());

    m_World.enemies.clear();
    m_Camera.RefreshAimTarget();
    EXPECT_FALSE(m_Camera.HasAimTarget());
    m_Camera.SelectNextAimTarget();
    EXPECT_FALSE(m_Camera.HasAimTarget());

    const float before = m_Camera.GetWantedYaw();
    m_World.actions = {"MoveCameraLeft"};
    m_World.input.mouseX = -4.0f;
    m_Camera.Update(kStep);
    EXPECT_NEAR(m_Camera.GetWantedYaw(), before + 4.0f * kStep * 0.3f, 1e-5f);
}

TEST(CameraShake, KicksComeFromTheRuntimeGeneratorTable)
{
    CCamera camera;
    // Seed 1 draws 41, 18467, 6334, 26500: 16, 17, 9 and 0 out of 25.
    crt::srand(1);
    const float expected[4] = {7.0f, 7.0f, -7.0f, -11.0f};
    for (float v : expected) {
        D3DXVECTOR3 kick;
        camera.RandomShakeOffset(&kick);
        ExpectNear(kick, D3DXVECTOR3(v, -15.0f, v));
    }
    crt::srand(1);
    const float small[4] = {1.2f, 1.2f, -1.2f, -1.9f};
    for (float v : small) {
        D3DXVECTOR3 kick;
        camera.RandomShakeOffsetSmall(&kick);
        ExpectNear(kick, D3DXVECTOR3(v, -1.5f, v));
    }
}

TEST_F(Follow, AShotKicksTheEyeForOneFrameAndItSettlesBack)
{
    m_World.hero.yaw = kHalfPi;
    Run(300);
    const D3DXVECTOR3 settled = m_Camera.GetPosition();

    m_World.hero.selectorState = "AIMING";
    m_World.hero.weaponName = "SHOTGUN";
    m_World.hero.readyToShoot = true;
    m_Camera.Update(kStep);
    // The eye's target drops 25; the body closes a fifth of the way.
    EXPECT_NEAR(m_World.cameraSteps.back().y, -5.0f, 0.01f);

    m_World.hero.readyToShoot = false;
    Run(40);
    ExpectNear(m_Camera.GetPosition(), settled, 0.01f);

    // Aimed, the shotgun drops the eye 6.5 and the body closes 0.4 of it.
    m_World.hero.stateCode = 52;
    Run(150);
    const D3DXVECTOR3 aimed = m_Camera.GetPosition();
    m_World.hero.readyToShoot = true;
    m_Camera.Update(kStep);
    EXPECT_NEAR(m_World.cameraSteps.back().y, -2.6f, 0.01f);
    m_World.hero.readyToShoot = false;
    Run(40);
    ExpectNear(m_Camera.GetPosition(), aimed, 0.01f);
}

TEST_F(Follow, AHeldDirectionKeepsTheCameraFromSwingingBack)
{
    m_World.hero.yaw = 2.0f;
    m_World.hero.forward = true;  // held, but state 30 does not walk
    Run(150);
    EXPECT_NEAR(m_Camera.GetWantedYaw(), kHalfPi, 1e-5f);
    m_World.hero.forward = false;
    Run(119);
    EXPECT_NEAR(m_Camera.GetWantedYaw(), kHalfPi, 1e-5f);
    Run(2);
    EXPECT_NEAR(m_Camera.GetWantedYaw(), 2.0f, 1e-5f);
}

TEST_F(Follow, FreeCameraFliesByItsActionsAndLendsItsView)
{
    m_Camera.SetFreeCamera(true);
    CLightCamera& flight = m_Camera.GetFlightCamera();
    flight.SetLookAt(D3DXVECTOR3(0, 100, 0), D3DXVECTOR3(0, 100, 10));
    m_World.actions = {"FreeCamForward"};
    m_Camera.Update(0.1f);
    ExpectNear(flight.eye, D3DXVECTOR3(0, 100, 20));
    EXPECT_EQ(m_Camera.GetViewMatrix(), flight.view);

    m_World.actions = {"FreeCamLeft"};
    m_Camera.Update(0.1f);
    ExpectNear(flight.forward, D3DXVECTOR3(std::sin(0.04f), 0, std::cos(0.04f)), 1e-4f);
    m_World.actions = {"FreeCamUp"};
    m_Camera.Update(0.1f);
    EXPECT_GT(flight.forward.y, 0.015f);

    // The free camera keeps the hero where he is.
    m_World.hero.stateCode = 31;
    m_World.hero.forward = true;
    m_Camera.Update(0.1f);
    EXPECT_TRUE(m_World.heroSteps.empty());
}

} // namespace
