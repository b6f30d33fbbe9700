// The game camera against a stand-in world: settings, frustum, follow, aim and shake.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "math/VectorMath.h"
#include "platform/crt.h"
#include "render/DeviceFixture.h"
#include "platform/bounded.h"
#include "scene/Camera.h"

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

// The fixture is the hero, enemies, physics and input the camera talks to; the
// camera's walk vector moves the eye at once, as a body that meets no wall.
class CameraTest : public ::testing::Test, public ICameraWorld {
protected:
    CameraTest() { m_Camera.SetWorld(this); }

    CameraHeroState ReadHero() override { return hero; }
    CameraInputState ReadInput() override { return input; }
    bool IsAction(const std::string& name) override { return actions.count(name) != 0; }
    bool IsScriptedSequenceRunning() override { return false; }
    void SetHeroYaw(float yaw) override { hero.yaw = yaw; }
    void WalkHero(const D3DXVECTOR3& step) override { heroSteps.push_back(step); }
    void WalkCamera(const D3DXVECTOR3& step) override { m_Camera.SetPosition(m_Camera.GetPosition() + step); }
    bool SelectAdjacentParapet(bool) override { return false; }
    bool NextAimTarget(const std::string&, std::string* name, D3DXVECTOR3* position) override
    {
        return !enemies.empty() && FindLiveTarget(*name = enemies.begin()->first, position);
    }
    bool FindLiveTarget(const std::string& name, D3DXVECTOR3* position) override
    {
        const auto it = enemies.find(name);
        if (it != enemies.end())
            *position = it->second;
        return it != enemies.end();
    }

    void Load(const std::string& values)
    {
        m_Folder.Write("data/XML/camera_values.xml", values);
        m_Camera.LoadValues(0, 0, 0, nullptr);
    }
    void Run(int frames = 1)
    {
        for (int i = 0; i < frames; ++i)
            m_Camera.Update(kStep);
    }

    drawtest::ScratchFolder m_Folder;
    CCamera m_Camera;
    CameraHeroState hero;
    CameraInputState input;
    std::set<std::string> actions;
    std::map<std::string, D3DXVECTOR3> enemies; // live enemies by name
    std::vector<D3DXVECTOR3> heroSteps;
};

TEST_F(CameraTest, OnlyPropertiesElementsCountAndEachStartsFromTheDefaults)
{
    Load(R"(<root><CAMERA speed="5" near="99"/>
        <PROPERTIES speed="0.5" offset_y="2" offset_z="-3" aspect_ratio_x="16" aspect_ratio_y="9"
                    fov_respect_pi="0.25" lookAt_desp_parapeted_right_x="12" far="9000"/></root>)");
    EXPECT_FLOAT_EQ(m_Camera.GetValues().speed, 0.5f);
    ExpectNear(m_Camera.GetValues().offset, D3DXVECTOR3(0, 2, -3));
    ExpectNear(m_Camera.GetValues().lookAtDespParapetedRight, D3DXVECTOR3(12, 0, 0));
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovRH(&projection, 0.25f * kPi, 16.0f / 9.0f, 1.0f, 9000.0f);
    EXPECT_EQ(m_Camera.GetProjectionMatrix(), projection);

    // A zero height ratio keeps a usable aspect.
    Load(R"(<r><PROPERTIES speed="0.5" far="100"/><PROPERTIES near="3" aspect_ratio_y="0"/></r>)");
    EXPECT_FLOAT_EQ(m_Camera.GetValues().speed, 0.3f);
    EXPECT_FLOAT_EQ(m_Camera.GetFar(), 15000.0f);
    EXPECT_FLOAT_EQ(m_Camera.GetNear(), 3.0f);
    EXPECT_NEAR(m_Camera.GetAspect(), 4.0f / 3.0f, 1e-6f);
}

// What once left a black screen: no file, or offsets and planes that give no
// view. Each keeps a finite view with the eye the tuned distance behind.
TEST_F(CameraTest, AMissingFileOrUnusableValuesKeepAFiniteViewAndSaySo)
{
    const struct {
        const char* what;
        const char* file; // nullptr: no file at all
        float distance;   // eye to look-at point
    } cases[] = {
        {"no file", nullptr, 202.49f},
        {"zero offset", R"(<PROPERTIES offset_x="0" offset_y="0" offset_z="0"/>)", 202.49f},
        {"offset not a number", R"(<PROPERTIES offset_x="nan" offset_y="1" offset_z="1"/>)", 202.49f},
        {"infinite offset", R"(<PROPERTIES offset_y="1e999"/>)", 202.49f},
        {"planes and field of view unusable", R"(<PROPERTIES offset_z="-50" near="0" far="-4" fov_respect_pi="inf"/>)",
         50.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("data/XML/camera_values.xml");
        if (c.file)
            m_Folder.Write("data/XML/camera_values.xml", c.file);
        bounded::ForgetSaidLines(); // each case as a run of its own
        testing::internal::CaptureStderr();
        m_Camera.LoadValues(0, 0, 0, nullptr);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_NE(printed.find("camera_values.xml"), std::string::npos) << printed;
        // The next level load reads the same values: nothing new to say.
        testing::internal::CaptureStderr();
        m_Camera.LoadValues(0, 0, 0, nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        const D3DXMATRIX view = m_Camera.GetViewMatrix(), projection = m_Camera.GetProjectionMatrix();
        for (int i = 0; i < 16; ++i) {
            EXPECT_TRUE(std::isfinite(view.m[i / 4][i % 4])) << i;
            EXPECT_TRUE(std::isfinite(projection.m[i / 4][i % 4])) << i;
        }
        const D3DXVECTOR3 eyeToLookAt = m_Camera.GetLookAt() - m_Camera.GetPosition();
        EXPECT_NEAR(D3DXVec3Length(&eyeToLookAt), c.distance, 0.01f);
        const D3DXVECTOR3 aiming = m_Camera.GetValues().offsetAiming;
        EXPECT_GT(D3DXVec3Length(&aiming), 0.0f);
    }
    EXPECT_FLOAT_EQ(m_Camera.GetNear(), 1.0f);
    EXPECT_FLOAT_EQ(m_Camera.GetFar(), 15000.0f);
}

// A cut file is refused whole: what it gave before the cut is not mixed with the defaults.
TEST_F(CameraTest, ACutFileIsRefusedWhole)
{
    m_Folder.Write("data/XML/camera_values.xml", R"(<CAMERA><PROPERTIES near="5" far="9000"/><PROPERTIES)");
    testing::internal::CaptureStderr();
    m_Camera.LoadValues(0, 0, 0, nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_FLOAT_EQ(m_Camera.GetNear(), 1.0f);
    EXPECT_FLOAT_EQ(m_Camera.GetFar(), 15000.0f);
    m_Folder.Write("data/XML/camera_values.xml", R"(<CAMERA><PROPERTIES near="5" far="9000"/></CAMERA>)");
    m_Camera.LoadValues(0, 0, 0, nullptr);
    EXPECT_FLOAT_EQ(m_Camera.GetNear(), 5.0f) << "the same values whole are taken";
}

// Every value the camera reads is in the shipped file, spelt as the camera spells it.
TEST(CameraValuesFile, ShippedFileGivesEveryValue)
{
    std::stringstream file;
    file << std::ifstream(std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/camera_values.xml").rdbuf();
    std::vector<std::string> names = {"speed", "speed_aiming", "pitch_up_limit", "pitch_down_limit", "aspect_ratio_x",
                                      "aspect_ratio_y", "fov_respect_pi", "near", "far"};
    for (const char* vector : {"offset", "offset_aiming", "lookAt_desp", "lookAt_desp_aiming",
                               "lookAt_desp_parapeted_left", "lookAt_desp_parapeted_right"})
        for (const char* axis : {"_x", "_y", "_z"})
            names.push_back(std::string(vector) + axis);
    for (const std::string& name : names)
        EXPECT_NE(file.str().find(" " + name + "=\""), std::string::npos) << name;
}

// A camera at (0, 0, 200) looking down -Z with a 90-degree square view from 1
// to 1000 units: the view volume is x and y within |z - 200|, z from 199 to -800.
TEST_F(CameraTest, FrustumSpheresAreInsideCrossingOrOutside)
{
    Load(R"(<PROPERTIES offset_z="100" fov_respect_pi="0.5" aspect_ratio_x="1" aspect_ratio_y="1" far="1000"/>)");
    m_Camera.UpdateFrustum();
    ASSERT_NEAR(m_Camera.GetPosition().z, 200.0f, 1e-4f);
    const float spheres[][5] = { // x, y, z, radius; 1 inside, 0 crossing, -1 outside
        {0, 0, 0, 10, 1},    {0, 0, -700, 50, 1},  {-400, 0, 0, 10, -1}, {400, 0, 0, 10, -1},
        {0, 400, 0, 10, -1}, {0, -400, 0, 10, -1}, {0, 0, 300, 10, -1},  {0, 0, -900, 10, -1},
        {-200, 0, 0, 10, 0}, {0, 0, -800, 10, 0},  {0, 0, 199, 5, 0}, // one crossing row per kind of plane
        // The first plane crossed answers: across the left plane and wholly
        // beyond the far one is crossing; beyond the left and across a later one is outside.
        {-1200, 0, -1000, 20, 0}, {-1200, 0, -800, 20, -1}};
    for (const auto& s : spheres)
        EXPECT_EQ(m_Camera.SphereInFrustum(s[0], s[1], s[2], s[3]), static_cast<int>(s[4])) << s[0] << ", " << s[2];
}

// A follow distance of 200, 100 while aiming; the look-at point 60 above the
// feet of an idle hero, over his right shoulder while aiming.
class FollowCamera : public CameraTest {
    void SetUp() override
    {
        Load(R"(<PROPERTIES offset_z="-200" offset_aiming_z="-100" lookAt_desp_y="60" lookAt_desp_aiming_x="-30"
                lookAt_desp_aiming_y="60"/>)");
        hero.stateCode = 30;
    }
};

TEST_F(FollowCamera, TheEyeSettlesAtTheOffsetsBehindAnIdleHeroAndTheAimingOnes)
{
    hero.yaw = 1.0f;
    Run(210); // idle for 7 s: after 4 the orbit swings back behind the hero
    EXPECT_NEAR(m_Camera.GetYaw(), 1.0f, 1e-3f);
    EXPECT_NEAR(m_Camera.GetPitch(), 0.15f, 1e-3f);
    ExpectNear(m_Camera.GetLookAt(), D3DXVECTOR3(0, 60, 0));
    ExpectNear(m_Camera.GetPosition(), D3DXVECTOR3(0, 60, 0) - DirectionFromYawPitch(1.0f, 0.15f) * 200.0f, 0.05f);

    for (int state : {52, 48, 64, 35}) {
        hero.stateCode = state;
        Run();
        ExpectNear(m_Camera.GetDesiredLookAt(), DirectionFromYaw(1.0f - kHalfPi) * 30.0f + D3DXVECTOR3(0, 60, 0), 0.01f);
        Run(100);
        const D3DXVECTOR3 eyeToLookAt = m_Camera.GetLookAt() - m_Camera.GetPosition();
        EXPECT_NEAR(D3DXVec3Length(&eyeToLookAt), 100.0f, 0.05f) << state;
    }
}

TEST_F(FollowCamera, InputTurnsTheOrbitOnlyWhileAMoveCameraActionFiresAndThePitchStaysWithinItsLimits)
{
    m_Camera.SetYaw(0.0f);
    m_Camera.CLocation::SetYaw(0.0f);
    input.mouseX = 5.0f;
    Run();
    EXPECT_FLOAT_EQ(m_Camera.GetWantedYaw(), 0.0f);
    actions = {"MoveCameraRight"};
    Run();
    EXPECT_NEAR(m_Camera.GetWantedYaw(), -5.0f * kStep * 0.3f, 1e-6f);

    actions = {"MoveCameraDown"};
    input.mouseY = 8.0f;
    Run(60);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedPitch(), 0.4f);
    EXPECT_NEAR(m_Camera.GetPitch(), 0.4f, 1e-4f);
    input.mouseY = -8.0f;
    Run(60);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedPitch(), -0.4f);
}

TEST_F(FollowCamera, KeysWalkTheHeroRelativeToTheCamera)
{
    m_Camera.SetYaw(0.5f);
    m_Camera.CLocation::SetYaw(0.5f);
    hero.stateCode = 31;
    hero.forward = true;
    const D3DXVECTOR3 lookAtBefore = m_Camera.GetLookAt();
    Run();
    ASSERT_EQ(heroSteps.size(), 1u);
    ExpectNear(heroSteps[0], DirectionFromYaw(0.5f) * (kStep * 200.0f));
    ExpectNear(m_Camera.GetLookAt(), lookAtBefore + heroSteps[0]);
    EXPECT_NEAR(hero.yaw, 0.125f, 1e-5f); // a quarter of the way toward where he walks

    hero.forward = false;
    hero.back = true;
    Run();
    ExpectNear(heroSteps.back(), DirectionFromYaw(0.5f + kPi) * (kStep * 200.0f));

    // The look-at point goes eight tenths of the way to the hero in a frame.
    hero.back = false;
    hero.position += D3DXVECTOR3(100, 0, 0);
    Run();
    const D3DXVECTOR3 from = m_Camera.GetLookAt(), to = m_Camera.GetDesiredLookAt();
    EXPECT_GT(to.x - from.x, 50.0f);
    Run();
    ExpectNear(m_Camera.GetLookAt(), from + (to - from) * 0.8f, 0.01f);
}

TEST_F(FollowCamera, AnAimTargetTurnsTheViewTowardTheEnemyUntilItDies)
{
    Run(30);
    enemies["ene_1"] = D3DXVECTOR3(1000, 0, 0);
    m_Camera.SelectNextAimTarget();
    EXPECT_EQ(m_Camera.GetAimTargetName(), "ene_1");
    Run(60);
    EXPECT_GT(m_Camera.GetViewDirection().x, 0.95f);
    EXPECT_LT(m_Camera.GetPosition().x, -150.0f);
    EXPECT_GT(hero.yaw, 1.0f);

    enemies.clear();
    m_Camera.RefreshAimTarget();
    EXPECT_FALSE(m_Camera.HasAimTarget());
}

// Aiming, the look-at point sits over his right shoulder and swings round
// him with the view. Locked on an enemy a quarter turn away, the view comes
// to rest with its centre line through the enemy's chest, and the lock then
// lets go. A lock on an enemy who falls lets go the next frame, Q held or not.
TEST_F(FollowCamera, ALockRestsTheViewsCentreOnTheEnemyAndLetsGoWhenHeFalls)
{
    hero.stateCode = 52;
    Run(60);
    const D3DXVECTOR3 chest(0, 55, 400);
    enemies["ene_1"] = chest - D3DXVECTOR3(0, 55, 0);
    m_Camera.SelectNextAimTarget();
    Run(60);
    EXPECT_FALSE(m_Camera.HasAimTarget()) << "the eye came round";
    const D3DXVECTOR3 eye = m_Camera.GetPosition();
    const D3DXVECTOR3 centre = NormalizeVector(m_Camera.GetLookAt() - eye);
    D3DXVECTOR3 miss;
    const D3DXVECTOR3 toChest = chest - eye;
    D3DXVec3Cross(&miss, &centre, &toChest);
    EXPECT_LT(D3DXVec3Length(&miss), 1.0f) << "off the view's centre line";

    enemies = {{"ene_2", D3DXVECTOR3(400, 0, 0)}};
    m_Camera.SelectNextAimTarget();
    Run(2);
    ASSERT_TRUE(m_Camera.HasAimTarget()) << "still turning";
    enemies.clear();
    Run();
    EXPECT_FALSE(m_Camera.HasAimTarget());
}

// A wall holds the camera's body where it is: the eye never comes round to
// the locked soldier, yet within a second and a half the lock lets go and the
// mouse turns the orbit again.
class HeldEyeCamera : public FollowCamera {
    void WalkCamera(const D3DXVECTOR3&) override {}
};

TEST_F(HeldEyeCamera, ALockTheEyeCannotFollowGivesTheMouseTheViewBack)
{
    hero.stateCode = 52;
    Run(10);
    enemies["ene_1"] = D3DXVECTOR3(400, 0, 0);
    m_Camera.SelectNextAimTarget();
    Run(30);
    EXPECT_TRUE(m_Camera.HasAimTarget()) << "a second in, still turning";
    Run(20);
    ASSERT_FALSE(m_Camera.HasAimTarget());
    const float before = m_Camera.GetWantedYaw();
    input.mouseX = 20.0f;
    actions.insert("MoveCameraRight");
    Run();
    EXPECT_LT(m_Camera.GetWantedYaw(), before - 0.05f) << "the mouse turned the orbit";
}

// Ready to shoot, the eye drops by the weapon's kick, less while aiming; the
// Thompson's kick is random and climbs the view instead; not while fighting.
TEST_F(FollowCamera, AWeaponReadyToShootKicksTheEyeByItsOwnAmount)
{
    const struct { const char* weapon; int state; bool fighting; float drop; } cases[] = {
        {"SHOTGUN", 30, false, 25.0f}, {"SHOTGUN", 52, false, 6.5f}, {"GUN", 30, false, 15.0f},
        {"GUN", 48, false, 4.0f},      {"SHOTGUN", 30, true, 0.0f},
    };
    hero.yaw = 1.0f;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.weapon) + " in state " + std::to_string(c.state));
        hero.weaponName = c.weapon;
        hero.stateCode = c.state;
        hero.fighting = c.fighting;
        hero.readyToShoot = false;
        Run(200);
        const D3DXVECTOR3 settled = m_Camera.GetPosition();
        hero.readyToShoot = true;
        Run(200);
        ExpectNear(m_Camera.GetPosition(), settled - D3DXVECTOR3(0, c.drop, 0), 0.05f);
    }

    hero.weaponName = "THOMPSON";
    hero.fighting = false;
    hero.stateCode = 52;
    hero.readyToShoot = false;
    Run(30);
    const float pitch = m_Camera.GetWantedPitch();
    hero.readyToShoot = true;
    Run();
    EXPECT_NEAR(m_Camera.GetWantedPitch(), pitch - 0.01308997f, 1e-6f);
}

// Left alone for 4 s the camera swings back behind the hero; any activity
// starts the 4 s again.
TEST_F(FollowCamera, TheIdleReturnWaitsFourSecondsFromTheLastActivity)
{
    m_Camera.SetYaw(0.0f);
    m_Camera.CLocation::SetYaw(0.0f);
    hero.yaw = 1.0f;
    Run(90);
    hero.controllerBusy = true;
    Run();
    hero.controllerBusy = false;
    Run(90);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedYaw(), 0.0f) << "3 s since the busy frame";
    Run(32);
    EXPECT_FLOAT_EQ(m_Camera.GetWantedYaw(), 1.0f);
}

// Locked on an enemy far below, the eye stays on the far side of the hero
// from him but rises no steeper than the orbit may.
TEST_F(FollowCamera, ALockOnAnEnemyFarBelowTiltsTheViewNoSteeperThanTheOrbit)
{
    Run(30);
    enemies["ene_1"] = D3DXVECTOR3(300, -2000, 0);
    m_Camera.SelectNextAimTarget();
    const D3DXVECTOR3 eyeFromLookAt = m_Camera.GetAimPoint() - m_Camera.GetLookAt();
    EXPECT_NEAR(std::asin(eyeFromLookAt.y / D3DXVec3Length(&eyeFromLookAt)), 0.4f, 1e-4f);
    EXPECT_LT(eyeFromLookAt.x, 0.0f);
}

TEST(CameraShake, KicksComeFromTheRuntimeGeneratorTable)
{
    CCamera camera;
    D3DXVECTOR3 kick;
    // Seed 1 draws 41, 18467, 6334, 26500: 16, 17, 9 and 0 out of 25.
    crt::srand(1);
    for (float v : {7.0f, 7.0f, -7.0f, -11.0f}) {
        camera.RandomShakeOffset(&kick);
        ExpectNear(kick, D3DXVECTOR3(v, -15.0f, v));
    }
    crt::srand(1);
    for (float v : {1.2f, 1.2f, -1.2f, -1.9f}) {
        camera.RandomShakeOffsetSmall(&kick);
        ExpectNear(kick, D3DXVECTOR3(v, -1.5f, v));
    }
}

// One frame with the eye straight over the look-at point (a wall pushing the
// camera up, the end of a flight) leaves no roll once the view is level again.
TEST_F(FollowCamera, AViewFromStraightAboveLeavesNoRollBehind)
{
    hero.yaw = 1.0f;
    Run(30);
    m_Camera.SetPosition(m_Camera.GetLookAt() + D3DXVECTOR3(0.5f, 300.0f, 0.0f));
    m_Camera.Update(kStep);
    Run(120);
    EXPECT_NEAR(m_Camera.GetRightVector().y, 0.0f, 1e-3f);
    EXPECT_GT(m_Camera.GetUpVector().y, 0.9f);
}

} // namespace
