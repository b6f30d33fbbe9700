// The shipped game played with the mouse, the keys and Q, and the view read
// back: the eye keeps out of the hero's body and the view within the orbit's
// tilt, Q turns it only onto a soldier he can see, every move of the mouse
// turns it its own way and further for a longer move, and a wall in front of
// him does not leave the mouse turning nothing.
#include <gtest/gtest.h>

#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <BulletCollision/CollisionShapes/btBoxShape.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/GameCalls.h"
#include "app/MainConfig.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "platform/sdl_window.h"
#include "player/IController.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"
#include "app/GameStateFlags.h"
#include "scene/SceneManager.h"
#include "scene/Entity3D.h"

namespace {

constexpr float kViewFrame = 1.0f / 30.0f;
// What one count of the mouse turns the orbit by, away from aiming: its
// speed over a frame at 30 a second.
constexpr float kTurnPerCount = 0.3f / 30.0f;
// The near plane's corners lie this far from the eye: nearer than that to a
// bone, the frame cuts through his body.
constexpr float kNearCorner = 6.0f;
// Wave 01's barrier crate and its first soldier, whom the crate hides from
// the far side.
const D3DXVECTOR3 kBarrierCrate(-551.3f, 0.0f, -820.9f);

platform::FakeDirectInput g_Keys;

class CameraViewRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        s_Folder = new shippedgame::LinkedFolder;
        platform::SetDirectInputSource(&g_Keys);
        s_Started = shippedgame::Start(kWidth, kHeight);
    }
    static void TearDownTestSuite()
    {
        shippedgame::Stop();
        platform::SetDirectInputSource(nullptr);
        delete s_Folder;
        s_Folder = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_Started); }
    void TearDown() override
    {
        g_Keys = platform::FakeDirectInput();
        setMainConfig("triggersUpdate", true);
        setMainConfig("enemiesUpdate", true);
        getEnemyManager()->resumeIA();
    }

    // The mouse as the player's hand moves it: a motion event of the window.
    static void MoveMouse(int dx, int dy)
    {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
        e.motion.xrel = dx;
        e.motion.yrel = dy;
        SDL_PushEvent(&e);
        // The device has it; the window's own handling is not played here.
        SDL_FlushEvent(SDL_MOUSEMOTION);
    }

    // One frame of the game with these keys and buttons down.
    static void Frame(std::initializer_list<int> keys = {}, bool aim = false, float seconds = kViewFrame)
    {
        g_Keys = platform::FakeDirectInput();
        for (int key : keys)
            g_Keys.SetKey(key, true);
        g_Keys.SetButton(1, aim);
        SetFocus(MainWindow);
        getPlayer()->SetLife(350);
        GetGameCalls().UpdateFrame(seconds);
    }
    static void Frames(int count) { for (int i = 0; i < count; ++i) Frame(); }

    // He stands there on the ground, facing that way, the camera settled
    // behind him.
    static void Place(float x, float z, float yaw)
    {
        const RayHit ground =
            getCollisionManager().CastRay(D3DXVECTOR3(x, 2000.0f, z), D3DXVECTOR3(x, -200.0f, z));
        const D3DXVECTOR3 at(x, (ground.hit ? ground.hitPoint.y : 0.0f) + 11.0f, z);
        getPlayer()->GetPosition().SetPosition(at);
        getCollisionManager().setNewPlayerPosition(at);
        getCamera().LoadValues(at.x, at.y, at.z, D3DDevice);
        getPlayer()->GetPosition().SetYaw(yaw);
        getCamera().SetYaw(yaw);
        getCamera().CLocation::SetYaw(yaw);
        Frames(20);
    }

    static float ViewYaw()
    {
        const D3DXVECTOR3 v = getCamera().GetViewDirection();
        return std::atan2(v.x, v.z);
    }
    // The heading of the view drawn, from the view matrix.
    static float DrawnYaw()
    {
        const D3DXMATRIX& v = getCamera().GetViewMatrix();
        return std::atan2(-v._13, -v._33);
    }
    // Positive looking down, as the orbit's pitch.
    static float ViewPitch() { return std::asin(-getCamera().GetViewDirection().y); }
    static int State() { return getPlayer()->GetController()->GetStateCode(); }

    // How near the eye is to the nearest of his bones' boxes.
    static float EyeToBody()
    {
        const btVector3 eye(getCamera().GetPosition().x, getCamera().GetPosition().y, getCamera().GetPosition().z);
        float nearest = 1e9f;
        for (const auto& [name, part] : getCollisionManager().GetPlayerBody().parts) {
            const auto* box = static_cast<const btBoxShape*>(part.ghost->getCollisionShape());
            const btVector3 local = part.ghost->getWorldTransform().invXform(eye);
            const btVector3 half = box->getHalfExtentsWithMargin();
            const btVector3 inside(std::clamp(local.x(), -half.x(), half.x()),
                                   std::clamp(local.y(), -half.y(), half.y()),
                                   std::clamp(local.z(), -half.z(), half.z()));
            nearest = std::min(nearest, static_cast<float>((local - inside).length()));
        }
        return nearest;
    }

    // The share of the frame his body covers: the frame drawn as the game
    // draws it, and once more without the characters.
    static float HeroShare()
    {
        std::vector<D3DCOLOR> with, without;
        RenderFrame(kViewFrame);
        devicetest::ReadBackBuffer(D3DDevice, &with);
        setMainConfig("playerRender", false);
        RenderFrame(kViewFrame);
        devicetest::ReadBackBuffer(D3DDevice, &without);
        setMainConfig("playerRender", true);
        int changed = 0;
        for (size_t p = 0; p < with.size() && p < without.size(); ++p) {
            int most = 0;
            for (int shift : {0, 8, 16})
                most = std::max(most, std::abs(int((with[p] >> shift) & 0xFF) - int((without[p] >> shift) & 0xFF)));
            changed += most > 24;
        }
        return with.empty() ? 1.0f : float(changed) / float(with.size());
    }

    // Wave 01 awake where it stands, and then held still.
    static void WakeWaveOne()
    {
        CEnemyManager* enemies = getEnemyManager();
        enemies->resumeIA();
        enemies->setNewZone("room01", "wave_01");
        Frame();
        // The soldiers stand where the wave put them, still tracked.
        setMainConfig("enemiesUpdate", false);
    }

    static constexpr int kWidth = 320, kHeight = 240;
    static shippedgame::LinkedFolder* s_Folder;
    static bool s_Started;
};

shippedgame::LinkedFolder* CameraViewRun::s_Folder = nullptr;
bool CameraViewRun::s_Started = false;

// A tap of Q turns the view half round onto a soldier behind him: the eye
// goes round him, never through his body, and no frame of the swing is his
// body filling the view. His back to the barrier's crate or to the island's
// mountain, the eye finds room beside him rather than over him, and looks
// down no steeper than the orbit may.
TEST_F(CameraViewRun, TheEyeKeepsOutOfHisBodyAndLooksNoSteeperThanTheOrbit)
{
    shippedgame::EnterLevel("hangares");
    WakeWaveOne();
    const D3DXVECTOR3 soldier = getEnemyManager()->getThisBotOfCurrentWave("ene_1")->GetPosition().GetPosition();
    const D3DXVECTOR3 stand(-500.0f, 0.0f, -1150.0f);
    Place(stand.x, stand.z, WrapAngle(YawFromDirection(soldier - stand) + 3.1415927f));
    for (int i = 0; i < 15; ++i)
        Frame({}, true);
    ASSERT_EQ(State(), 52) << "aiming";
    Frame({DIK_Q}, true);
    ASSERT_EQ(getCamera().GetAimTargetName(), "ene_1");
    float nearest = 1e9f, largest = 0.0f;
    for (int i = 0; i < 8; ++i) {
        Frame({}, true);
        nearest = std::min(nearest, EyeToBody());
        largest = std::max(largest, HeroShare());
    }
    EXPECT_GT(nearest, kNearCorner) << "the eye passed through his body";
    EXPECT_LT(largest, 0.3f) << "his body filled this share of a frame of the swing";
    EXPECT_LT(std::fabs(AngleDifference(ViewYaw(), YawFromDirection(soldier - stand))), 0.3f)
        << "the view came round to the soldier";

    const CCamera::Values& orbit = getCamera().GetValues();
    struct Back {
        const char* level;
        D3DXVECTOR3 solid;
        float away, yaw;
    };
    // His back 60 from the crate's middle at eight headings, then 12 from
    // the mountain's face.
    std::vector<Back> backs;
    for (int a = 0; a < 8; ++a)
        backs.push_back({"hangares", kBarrierCrate, 60.0f, a * 0.7853982f});
    backs.push_back({"isla", D3DXVECTOR3(-2000.0f, 0.0f, -998.0f), 12.0f, 3.1415927f});
    for (const Back& back : backs) {
        if (getScenario()->scenarioName != back.level)
            shippedgame::EnterLevel(back.level);
        getEnemyManager()->freezeIA();
        const D3DXVECTOR3 at = back.solid + DirectionFromYaw(back.yaw) * back.away;
        Place(at.x, at.z, back.yaw);
        // Standing, then aiming: the crosshair's line over his shoulder runs
        // into the wall at once.
        for (bool aim : {false, true}) {
            float steepest = -1.0f, closest = 1e9f;
            for (int i = 0; i < 30; ++i) {
                Frame({}, aim);
                steepest = std::max(steepest, ViewPitch());
                closest = std::min(closest, EyeToBody());
            }
            const std::string where = std::string(back.level) + ", facing " + std::to_string(back.yaw) +
                                      (aim ? ", aiming" : "");
            EXPECT_LT(steepest, orbit.pitchUpLimit + 0.05f) << where << ": the view looked down at " << steepest;
            EXPECT_GT(closest, kNearCorner) << where << ": the eye inside his body";
        }
        Frame();
    }
}

// Space at the barrier's crate takes cover and Space again vaults it: no
// frame of it looks down at him steeper than the orbit may. In the open,
// looking up at the sky as far as the orbit goes, one long move of the
// mouse back down brings the view down as far as it asks.
TEST_F(CameraViewRun, AVaultAndALookAtTheSkyKeepTheViewWithinTheOrbit)
{
    shippedgame::EnterLevel("hangares");
    CEnemyManager* enemies = getEnemyManager();
    enemies->setNewZone("room01", "wave_01");
    enemies->killThisWave("wave_01");
    if (State() == 49)
        for (int i = 0; i < 30; ++i)
            Frame({DIK_SPACE});
    const D3DXVECTOR3 parapet(-602.5f, 0.0f, -868.6f);
    const D3DXVECTOR3 out = NormalizeVector(parapet - kBarrierCrate), stand = parapet + out * 40.0f;
    Place(stand.x, stand.z, std::atan2(-out.x, -out.z));
    Frame({DIK_SPACE});
    Frames(60);
    ASSERT_TRUE(State() == 38 || State() == 62) << "in cover, state " << State();
    Frame({DIK_SPACE});
    const CCamera::Values& orbit = getCamera().GetValues();
    bool vaulted = false;
    float steepest = -1.0f;
    for (int i = 0; i < 90; ++i) {
        Frame();
        vaulted = vaulted || State() == 37;
        steepest = std::max(steepest, ViewPitch());
    }
    EXPECT_TRUE(vaulted);
    EXPECT_LT(steepest, orbit.pitchUpLimit + 0.05f) << "the vault looked down at him";

    Place(-1159.4f, -665.5f, 0.6f);
    for (int i = 0; i < 10; ++i) {
        MoveMouse(0, -60);
        Frame();
    }
    Frames(20);
    const float sky = ViewPitch();
    EXPECT_LT(sky, 0.0f) << "the view looks up";
    EXPECT_GT(sky, orbit.pitchDownLimit - 0.1f) << "further up than the orbit goes";
    MoveMouse(0, 150);
    Frames(40);
    EXPECT_GT(ViewPitch(), sky + 0.5f) << "150 counts down brought the view down from " << sky;
}

// The nearest soldier of the wave stands behind the barrier's crate: Q turns
// the view onto the next one, whom the hero can see, never onto the crate.
// A lock that cannot bring its soldier round lets the mouse have the view
// back soon after.
TEST_F(CameraViewRun, QTurnsTheViewOnlyOntoASoldierTheHeroSees)
{
    shippedgame::EnterLevel("hangares");
    WakeWaveOne();
    CEnemyManager* enemies = getEnemyManager();
    const D3DXVECTOR3 hidden = enemies->getThisBotOfCurrentWave("ene_1")->GetPosition().GetPosition();
    const D3DXVECTOR3 stand = kBarrierCrate + NormalizeVector(kBarrierCrate - hidden) * 100.0f;
    Place(stand.x, stand.z, YawFromDirection(kBarrierCrate - hidden));
    for (int i = 0; i < 15; ++i)
        Frame({}, true);
    Frame({DIK_Q}, true);
    const std::string locked = getCamera().GetAimTargetName();
    ASSERT_TRUE(getCamera().HasAimTarget()) << "a soldier in sight was locked";
    EXPECT_NE(locked, "ene_1") << "the soldier behind the crate";
    for (int i = 0; i < 25; ++i)
        Frame({}, true);
    const D3DXVECTOR3 eye = getCamera().GetPosition();
    const D3DXVECTOR3 ahead = eye + getCamera().GetViewDirection() * 300.0f;
    const RayHit seen = getCollisionManager().CastRay(eye, ahead);
    EXPECT_FALSE(seen.hit) << "the view turned onto " << seen.name;
    const CEnemy* soldier = enemies->getThisBotOfCurrentWave(locked);
    ASSERT_NE(soldier, nullptr);
    const D3DXVECTOR3 at = soldier->GetPosition().GetPosition();
    EXPECT_LT(std::fabs(AngleDifference(ViewYaw(), YawFromDirection(at - eye))), 0.2f)
        << "the view came round to " << locked;

    // His back to the crate, the soldier before him: the eye cannot get to
    // where the lock sends it. The aim let go, the mouse turns the view.
    const D3DXVECTOR3 facing = NormalizeVector(hidden - kBarrierCrate);
    const D3DXVECTOR3 back = kBarrierCrate + facing * 62.0f;
    Place(back.x, back.z, YawFromDirection(facing));
    for (int i = 0; i < 15; ++i)
        Frame({}, true);
    Frame({DIK_Q}, true);
    ASSERT_EQ(getCamera().GetAimTargetName(), "ene_1");
    Frames(3);
    float turned = 0.0f, last = ViewYaw();
    for (int i = 0; i < 90; ++i) {
        MoveMouse(-6, 0);
        Frame();
        turned += AngleDifference(last, ViewYaw());
        last = ViewYaw();
    }
    EXPECT_GT(turned, 1.5f) << "540 counts of mouse turned the view this far";

    // Back where the crate hides ene_1, the lock is taken on the soldier he
    // sees, who then steps behind the crate: the lock lets him go.
    Place(stand.x, stand.z, YawFromDirection(kBarrierCrate - hidden));
    for (int i = 0; i < 15; ++i)
        Frame({}, true);
    Frame({DIK_Q}, true);
    Frame({DIK_Q}, true);
    ASSERT_TRUE(getCamera().HasAimTarget());
    CEnemy* stepping = enemies->getThisBotOfCurrentWave(getCamera().GetAimTargetName());
    ASSERT_NE(stepping, nullptr);
    const D3DXVECTOR3 behind = kBarrierCrate + NormalizeVector(kBarrierCrate - stand) * 70.0f;
    const D3DXVECTOR3 feet(behind.x, stepping->GetPosition().GetPosition().y, behind.z);
    stepping->GetPosition().SetPosition(feet);
    getCollisionManager().setNewEnemyPosition(stepping->GetName(), feet + D3DXVECTOR3(0.0f, 10.0f, 0.0f));
    Frame({DIK_Q}, true);
    EXPECT_FALSE(getCamera().HasAimTarget()) << "the lock held a soldier behind the crate";
}

// One move of the mouse in one frame, of a few counts up to a third of a
// turn's worth and more, each from the same start: every one turns the view
// the same way, by about its own length, a long frame changing nothing. Rows
// of small moves turn it as far as one move of their sum.
TEST_F(CameraViewRun, EveryMouseMoveTurnsTheViewItsOwnWayAndFurtherForMore)
{
    shippedgame::EnterLevel("hangares");
    getEnemyManager()->freezeIA();
    struct Move {
        int counts;
        float seconds;
        int rows;
    };
    const Move moves[] = {{5, kViewFrame, 1}, {40, kViewFrame, 1}, {150, kViewFrame, 1}, {400, kViewFrame, 1},
                          {40, 0.5f, 1},      {4, kViewFrame, 30}};
    std::vector<float> turns;
    for (const Move& move : moves) {
        Place(-1159.4f, -665.5f, 0.6f);
        float turned = 0.0f, last = ViewYaw();
        for (int i = 0; i < 50; ++i) {
            if (i < move.rows)
                MoveMouse(move.counts, 0);
            Frame({}, false, i == 0 ? move.seconds : kViewFrame);
            turned += AngleDifference(last, ViewYaw());
            last = ViewYaw();
        }
        turns.push_back(turned);
        const float asked = -move.counts * move.rows * kTurnPerCount;
        EXPECT_NEAR(turned, asked, 0.15f * std::fabs(asked) + 0.02f)
            << move.counts << " counts x " << move.rows << " in frames of " << move.seconds << " s";
    }
    for (size_t i = 1; i < 4; ++i)
        EXPECT_LT(turns[i], turns[i - 1]) << "a longer move turned the view further the same way";
}

// Facing the island's mountain from an arm's length, the player turns the
// view round to his right until the wall stops the eye, and on: turned back,
// the view comes back at once, and the side steps move him.
TEST_F(CameraViewRun, FacingAWallTheMouseTurnsTheViewBackAtOnce)
{
    shippedgame::EnterLevel("isla");
    getTriggerManager().checkpoint = 5;
    GetGameCalls().RestartLevel(false);
    shippedgame::HoldGuiStill();
    // Nothing the level's script starts takes the view.
    setMainConfig("triggersUpdate", false);
    getEnemyManager()->freezeIA();
    Place(-2000.0f, -1010.0f, 0.0f);
    for (int i = 0; i < 40; ++i) {
        MoveMouse(8, 0);
        Frame();
    }
    const float held = ViewYaw();
    for (int i = 0; i < 15; ++i) {
        MoveMouse(-8, 0);
        Frame();
    }
    EXPECT_GT(AngleDifference(held, ViewYaw()), 0.25f) << "120 counts back turned the view back this far";
    // The rest of the way back, facing the mountain again: the wall no
    // longer holds the view, which went on round with the mouse.
    for (int i = 0; i < 25; ++i) {
        MoveMouse(-8, 0);
        Frame();
    }

    // A and D step him along the wall, neither held.
    for (int key : {DIK_A, DIK_D}) {
        const D3DXVECTOR3 before = getPlayer()->GetPosition().GetPosition();
        for (int i = 0; i < 10; ++i)
            Frame({key});
        EXPECT_GT(DistanceXZ(getPlayer()->GetPosition().GetPosition(), before), 30.0f) << "key " << key;
    }
}

// In cover at wave 01's crates, his back to them, S takes him out: the eye
// that the crate held low or beside him comes back to its orbit looking down
// at him no steeper than the orbit may, never from straight over him.
TEST_F(CameraViewRun, LeavingCoverAtACrateTheViewLooksNoSteeperThanTheOrbit)
{
    shippedgame::EnterLevel("hangares");
    getEnemyManager()->freezeIA();
    setMainConfig("triggersUpdate", false);
    const CCamera::Values& orbit = getCamera().GetValues();
    const struct {
        float x, z, yaw;
    } spots[] = {{-845.0f, -1040.0f, 1.5707964f}, {-829.0f, -1001.0f, 2.3561945f}, {-590.0f, -860.0f, 0.7853982f}};
    for (const auto& spot : spots) {
        Place(spot.x, spot.z, spot.yaw);
        Frame({DIK_SPACE});
        Frames(120);
        ASSERT_EQ(State(), 62) << "in cover at " << spot.x << ", " << spot.z;
        float steepest = -9.0f, highest = 9.0f;
        for (int i = 0; i < 60; ++i) {
            if (i < 4)
                Frame({DIK_S});
            else
                Frame();
            steepest = std::max(steepest, ViewPitch());
            highest = std::min(highest, ViewPitch());
        }
        EXPECT_EQ(State(), 30) << "out of cover";
        EXPECT_LT(steepest, orbit.pitchUpLimit + 0.05f) << "from " << spot.x << ", " << spot.z;
        EXPECT_GT(highest, orbit.pitchDownLimit - 0.05f) << "from " << spot.x << ", " << spot.z;
    }
}

} // namespace

namespace {
// Where a point of the world falls on the screen, from its middle, in
// pixels of a 320 x 240 frame; y grows downward.
D3DXVECTOR2 FromCrosshair(const D3DXVECTOR3& point)
{
    D3DXMATRIX vp;
    D3DXMatrixMultiply(&vp, &getCamera().GetViewMatrix(), &getCamera().GetProjectionMatrix());
    D3DXVECTOR4 clip;
    D3DXVec3Transform(&clip, &point, &vp);
    return D3DXVECTOR2(clip.x / clip.w * 160.0f, -clip.y / clip.w * 120.0f);
}
} // namespace

// The share of a patch round the crosshair (a few pixels beside its own
// lines) that the circling plane changes: the frame drawn as the game draws
// it, and once more with the plane's loop hidden.
float PlaneUnderCrosshair()
{
    std::vector<D3DCOLOR> with, without;
    IEntidad3D* body = getSceneManager().FindEntity("AVION_NUEVO_CUERPO_BUCLE");
    RenderFrame(kViewFrame);
    devicetest::ReadBackBuffer(D3DDevice, &with);
    body->SetVisible(false);
    RenderFrame(kViewFrame);
    devicetest::ReadBackBuffer(D3DDevice, &without);
    body->SetVisible(true);
    int changed = 0, seen = 0;
    for (int y = 120 - 5; y <= 120 + 5; ++y)
        for (int x = 160 - 5; x <= 160 + 5; ++x) {
            if (std::abs(x - 160) < 3 || std::abs(y - 120) < 3 || size_t(y * 320 + x) >= with.size())
                continue;
            const size_t p = size_t(y * 320 + x);
            ++seen;
            changed += with[p] != without[p];
        }
    return seen ? float(changed) / float(seen) : 0.0f;
}

// The plane circles over wave 04, its soldiers down. From the yard the
// player aims, holds Q and fires the pistol, reloading when the clip runs
// dry: the lock keeps the plane's body under the crosshair as it flies, and
// its own shots bring it down within the time of a loop and a half.
TEST_F(CameraViewRun, HoldingQOnTheCirclingPlaneTheCrosshairStaysOnItAndThePistolBringsItDown)
{
    shippedgame::EnterLevel("hangares");
    getEnemyManager()->setNewZone("room01", "wave_04");
    Frame();
    getGSF().hangarRigidState = CGameStateFlagsManager::RigidasHangaresLlegadaAvionDone;
    Frame();
    for (const char* soldier : {"ene_12", "ene_11"})
        if (CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave(soldier))
            enemy->getIA()->destroyThisGuy();
    setMainConfig("enemiesUpdate", false);
    const D3DXVECTOR3 yard(1700.0f, 0.0f, -650.0f), loop(2541.0f, 0.0f, 430.0f);
    Place(yard.x, yard.z, YawFromDirection(loop - yard));
    getPlayer()->GetCurrentWeapon()->SetClipAndAmmo(6, 60);
    for (int i = 0; i < 15; ++i)
        Frame({}, true);

    int frames = 0, shots = 0, framesOn = 0, framesLocked = 0;
    float worst = 0.0f, underSum = 0.0f;
    int underCount = 0, lockedRun = 0;
    for (; frames < 900 && getCollisionManager().planeHits >= 0; ++frames) {
        IWeapon* pistol = getPlayer()->GetCurrentWeapon();
        g_Keys = platform::FakeDirectInput();
        if (pistol->GetCurrentClip() == 0) {
            // R drops the aim for the reload; the aim and the lock are taken
            // again once it is done.
            g_Keys.SetKey(DIK_R, (frames & 1) == 0);
        } else {
            g_Keys.SetButton(1, true);
            g_Keys.SetKey(DIK_Q, State() == 52);
            const bool fire = getCamera().GetAimTargetName() == "ene_Avioneta" && getCamera().HasAimTarget() &&
                              (frames & 1) == 0;
            g_Keys.SetButton(0, fire);
            shots += fire;
        }
        SetFocus(MainWindow);
        getPlayer()->SetLife(350);
        GetGameCalls().UpdateFrame(kViewFrame);
        D3DXVECTOR3 centre;
        if (!getCollisionManager().StaticBodyCentre("col_avion_bucle", &centre) || !getCamera().HasAimTarget() ||
            getCamera().GetAimTargetName() != "ene_Avioneta" || State() != 52) {
            lockedRun = 0;
            continue;
        }
        ++framesLocked;
        ++lockedRun;
        const D3DXVECTOR2 off = FromCrosshair(centre);
        const float miss = std::hypot(off.x, off.y);
        worst = std::max(worst, lockedRun > 15 ? miss : 0.0f);
        framesOn += miss < 4.0f;
        if (lockedRun % 20 == 16) {
            underSum += PlaneUnderCrosshair();
            ++underCount;
        }
    }
    EXPECT_LT(getCollisionManager().planeHits, 0) << shots << " shots in " << frames << " frames";
    EXPECT_EQ(getGSF().hangarRigidState, CGameStateFlagsManager::RigidaEneAvionetaDone);
    EXPECT_LT(frames, 900) << "a loop and a half";
    EXPECT_GT(framesLocked, 60);
    EXPECT_LT(worst, 6.0f) << "pixels between the crosshair and the plane's middle, the lock settled";
    ASSERT_GT(underCount, 0);
    EXPECT_GT(underSum / underCount, 0.8f) << "the plane drawn round the crosshair";
}

// A soldier stands on the lettered wall's top, well above the hero, who aims
// from the yard 1000 and 600 away (16 and 26 degrees up) and holds Q: the
// crosshair's own ray comes to rest on the soldier's chest, and the pistol's
// shots along it hurt him.
TEST_F(CameraViewRun, HeldOnASoldierWellAboveTheCrosshairRestsOnHimAndTheShotsHitHim)
{
    shippedgame::EnterLevel("hangares");
    WakeWaveOne();
    // He holds his post up there, his body following him.
    setMainConfig("enemiesUpdate", true);
    CEnemyManager* enemies = getEnemyManager();
    for (const char* other : {"ene_5", "ene_6"})
        if (CEnemy* enemy = enemies->getThisBotOfCurrentWave(other))
            enemy->getIA()->destroyThisGuy();
    CEnemy* soldier = enemies->getThisBotOfCurrentWave("ene_1");
    ASSERT_NE(soldier, nullptr);
    soldier->getIA()->becomeATorretGuy();
    const D3DXVECTOR3 top(-500.0f, 300.0f, -1500.0f);
    for (float away : {1000.0f, 600.0f}) {
        soldier->GetPosition().SetPosition(top);
        getCollisionManager().setNewEnemyPosition("ene_1", top + D3DXVECTOR3(0.0f, 10.0f, 0.0f));
        const D3DXVECTOR3 stand(top.x, 0.0f, top.z + away);
        Place(stand.x, stand.z, 3.1415927f);
        for (int i = 0; i < 15; ++i)
            Frame({}, true);
        Frame({DIK_Q}, true);
        ASSERT_EQ(getCamera().GetAimTargetName(), "ene_1") << away;
        for (int i = 0; i < 40; ++i)
            Frame({DIK_Q}, true);
        const D3DXVECTOR3 chest = soldier->GetPosition().GetPosition() + D3DXVECTOR3(0.0f, 55.0f, 0.0f);
        const D3DXVECTOR2 off = FromCrosshair(chest);
        EXPECT_LT(std::hypot(off.x, off.y), 4.0f)
            << away << " away: the chest lies " << off.x << ", " << off.y << " pixels off the crosshair";
        const short life = soldier->GetLife();
        getPlayer()->GetCurrentWeapon()->SetClipAndAmmo(6, 0);
        for (int i = 0; i < 8; ++i) {
            g_Keys = platform::FakeDirectInput();
            g_Keys.SetButton(1, true);
            g_Keys.SetButton(0, (i & 1) == 0);
            g_Keys.SetKey(DIK_Q, true);
            SetFocus(MainWindow);
            getPlayer()->SetLife(350);
            GetGameCalls().UpdateFrame(kViewFrame);
        }
        EXPECT_LT(soldier->GetLife(), life) << away << " away: four shots along the crosshair";
        soldier->SetLife(life);
    }
}

// Standing against a wall of either level, his back or either side to it, the
// player moves the mouse left or right by a little, more and a lot: every
// move turns the view's heading its own way, further for a longer move,
// wherever the wall holds the eye, and the eye keeps out of his body and
// within the orbit's tilt.
TEST_F(CameraViewRun, AgainstAWallEveryMouseMoveTurnsTheViewItsOwnWayAndFurtherForMore)
{
    struct Wall {
        const char* level;
        D3DXVECTOR3 at;  // on the ground a step off the wall's face
        float away;      // the heading from the wall out to him
    };
    const Wall walls[] = {{"hangares", D3DXVECTOR3(-500.0f, 0.0f, -1452.0f), 0.0f},
                          {"hangares", D3DXVECTOR3(-1600.0f, 0.0f, -1600.0f), 1.5707964f},
                          {"isla", D3DXVECTOR3(-700.0f, 0.0f, -1257.0f), 0.0f},
                          {"isla", D3DXVECTOR3(-2000.0f, 0.0f, -1010.0f), 3.1415927f}};
    const CCamera::Values& orbit = getCamera().GetValues();
    std::string level;
    for (const Wall& wall : walls) {
        if (level != wall.level) {
            level = wall.level;
            shippedgame::EnterLevel(wall.level);
            setMainConfig("triggersUpdate", false);
        }
        getEnemyManager()->freezeIA();
        // His back, his right side and his left side to it.
        for (float facing : {0.0f, 1.5707964f, -1.5707964f}) {
            for (int sign : {1, -1}) {
                float last = 0.0f;
                for (int counts : {15, 50, 130}) {
                    Place(wall.at.x, wall.at.z, WrapAngle(wall.away + facing));
                    const std::string where = std::string(wall.level) + " wall at " + std::to_string(wall.at.x) +
                                              ", facing " + std::to_string(facing) + ", " +
                                              std::to_string(sign * counts) + " counts";
                    float turned = 0.0f, before = DrawnYaw(), nearest = 1e9f, steepest = -10.0f, highest = 10.0f;
                    MoveMouse(sign * counts, 0);
                    for (int i = 0; i < 25; ++i) {
                        Frame();
                        turned += AngleDifference(before, DrawnYaw());
                        before = DrawnYaw();
                        nearest = std::min(nearest, EyeToBody());
                        steepest = std::max(steepest, ViewPitch());
                        highest = std::min(highest, ViewPitch());
                    }
                    const float asked = -sign * counts * kTurnPerCount;
                    EXPECT_GT(turned * -sign, std::fabs(last) + 0.5f * (std::fabs(asked) - std::fabs(last)))
                        << where << ": turned " << turned << ", asked " << asked;
                    EXPECT_GT(nearest, kNearCorner) << where << ": the eye came into his body";
                    EXPECT_LT(steepest, orbit.pitchUpLimit + 0.05f) << where << ": the view looked down at " << steepest;
                    EXPECT_GT(highest, orbit.pitchDownLimit - 0.05f) << where << ": the view looked up at " << highest;
                    last = turned;
                }
            }
        }
    }
}
