// The shipped levels are closed: the hero run at the rim of the ground from
// any side stops there, the camera behind him too, and the first checkpoint
// faces the yard the mission sends him through. The camera keeps the hero
// in view, in cover and after the fourth checkpoint's flight, and a shot at
// him lights no more of the frame than its muzzle flash.
#include <gtest/gtest.h>

#include <BulletCollision/CollisionDispatch/btGhostObject.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/GameCalls.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/IController.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/Entity3D.h"
#include "scene/SceneManager.h"
#include "world/TriggerManager.h"

namespace {

// The rim of a level's ground, on the ground plane.
struct Rim {
    float minX, maxX, minZ, maxZ;
    bool Holds(const D3DXVECTOR3& p) const { return p.x > minX && p.x < maxX && p.z > minZ && p.z < maxZ; }
};

// A start a little inside the rim and the way out from there.
struct Walk {
    float x, z, yaw;
};

float DepthInSolids(const D3DXVECTOR3& p, float margin, std::string* name);

class LevelEdges : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        s_Folder = new shippedgame::LinkedFolder;
        platform::SetDirectInputSource(&s_Input);
        s_Started = shippedgame::Start(400, 300);
    }
    static void TearDownTestSuite()
    {
        shippedgame::Stop();
        platform::SetDirectInputSource(nullptr);
        delete s_Folder;
        s_Folder = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_Started); }

    // Frames of the game's own update with W held or not.
    static void Frames(int count, bool forward, bool back = false)
    {
        for (int i = 0; i < count; ++i) {
            SetFocus(MainWindow);
            s_Input.SetKey(DIK_W, forward);
            s_Input.SetKey(DIK_S, back);
            GetGameCalls().UpdateFrame(1.0f / 30.0f);
        }
        s_Input.SetKey(DIK_W, false);
        s_Input.SetKey(DIK_S, false);
    }

    static void PlaceHero(float x, float z, float yaw)
    {
        const D3DXVECTOR3 at(x, 11.0f, z);
        getPlayer()->GetPosition().SetPosition(at);
        getCollisionManager().setNewPlayerPosition(at);
        getCamera().LoadValues(x, 11.0f, z, D3DDevice);
        getPlayer()->GetPosition().SetYaw(yaw);
        getCamera().SetYaw(yaw);
        Frames(12, false); // the camera swings round behind him
    }

    // From each start: W for two seconds takes him well past the rim unless
    // something stops him; then he turns his back to the rim, so that the
    // camera is pulled beyond it.
    static void WalkOut(const Rim& rim, const std::vector<Walk>& walks)
    {
        for (const Walk& w : walks) {
            const std::string where = std::to_string(int(w.x)) + ", " + std::to_string(int(w.z));
            PlaceHero(w.x, w.z, w.yaw);
            Frames(60, true);
            const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
            EXPECT_TRUE(rim.Holds(hero)) << "the hero left the level from " << where << ": at " << hero.x << ", "
                                         << hero.z;
            EXPECT_GT(hero.y, -2.0f) << "he stepped off the ground from " << where;
            EXPECT_TRUE(rim.Holds(getCamera().GetPosition())) << "the camera left with him from " << where;

            getCamera().SetYaw(WrapAngle(w.yaw + 3.1415927f));
            Frames(20, false);
            Frames(30, false, true);
            const D3DXVECTOR3 eye = getCamera().GetPosition();
            EXPECT_TRUE(rim.Holds(eye)) << "the camera behind him left the level at " << where << ": " << eye.x
                                        << ", " << eye.z;
            EXPECT_TRUE(rim.Holds(getPlayer()->GetPosition().GetPosition())) << where;
        }
    }

    // Frames with one key or mouse button held, still held when they end.
    static void Hold(int frames, int key, int button = -1)
    {
        s_Input = platform::FakeDirectInput();
        if (key >= 0)
            s_Input.SetKey(key, true);
        if (button >= 0)
            s_Input.SetButton(button, true);
        for (int i = 0; i < frames; ++i) {
            SetFocus(MainWindow);
            getPlayer()->SetLife(350);
            GetGameCalls().UpdateFrame(1.0f / 30.0f);
        }
    }

    static D3DXVECTOR3 Bone(const char* bone)
    {
        const BodyPart& part = getCollisionManager().GetPlayerBody().parts.at(bone);
        const btVector3 at = part.ghost->getWorldTransform().getOrigin();
        return D3DXVECTOR3(at.x(), at.y(), at.z());
    }

    // His head, and his feet unless the view passes over a crate, inside the
    // frame; his chest before any solid, and not nearer than `nearest`; the
    // eye outside every solid. Empty when all holds, else what failed.
    static std::string HeroOutOfView(bool feet = true, float nearest = 100.0f)
    {
        const CCamera& camera = getCamera();
        const D3DXVECTOR3 eye = camera.GetPosition(), chest = Bone("Bip01 Spine1");
        const RayHit between = getCollisionManager().CastRay(eye, chest);
        if (between.hit)
            return between.name + " stands between the eye and the hero";
        if (VectorLength(chest - eye) <= nearest)
            return "the camera sits on him";
        std::string inside;
        if (DepthInSolids(eye, 0.0f, &inside) != 0.0f)
            return "the eye is inside " + inside;
        for (const char* bone : {"Bip01 Head", feet ? "Bip01 R Foot" : "Bip01 Head"}) {
            D3DXVECTOR3 seen = Bone(bone);
            D3DXVec3TransformCoord(&seen, &seen, &camera.GetViewMatrix());
            D3DXVec3TransformCoord(&seen, &seen, &camera.GetProjectionMatrix());
            if (!(std::fabs(seen.x) < 1.0f && std::fabs(seen.y) < 1.0f && seen.z > 0.0f))
                return std::string(bone) + " off the frame at " + std::to_string(seen.x) + ", " +
                       std::to_string(seen.y);
        }
        return "";
    }

    static void ExpectHeroInView(const std::string& where, bool feet = true)
    {
        const std::string fault = HeroOutOfView(feet);
        EXPECT_TRUE(fault.empty()) << where << ": " << fault;
    }

    static platform::FakeDirectInput s_Input;
    static shippedgame::LinkedFolder* s_Folder;
    static bool s_Started;
};

platform::FakeDirectInput LevelEdges::s_Input;
shippedgame::LinkedFolder* LevelEdges::s_Folder = nullptr;
bool LevelEdges::s_Started = false;

constexpr float kNorth = 0.0f, kEast = 1.5707964f, kSouth = 3.1415927f, kWest = -1.5707964f;
// Wave 01's barrier: the crate the hero vaults, on the lane to the first waves.
const D3DXVECTOR3 kBarrierCrate(-551.3f, 0.0f, -820.9f);

TEST_F(LevelEdges, TheHangarsYardIsClosedOnEverySide)
{
    shippedgame::EnterLevel("hangares");
    std::vector<Walk> walks;
    // The quay, where the water lies below the yard.
    for (float x = -3200.0f; x <= 2400.0f; x += 700.0f)
        walks.push_back({x, -2380.0f, kSouth});
    // Either end of the houses along the back.
    walks.push_back({-3250.0f, 4880.0f, kNorth});
    walks.push_back({3250.0f, 4880.0f, kNorth});
    for (float z = -2300.0f; z <= 4700.0f; z += 700.0f) {
        walks.push_back({-3380.0f, z, kWest});
        walks.push_back({3380.0f, z, kEast});
    }
    WalkOut({-3500.0f, 3500.0f, -2500.0f, 5000.0f}, walks);
}

TEST_F(LevelEdges, TheIslandsBeachIsClosedOnEverySide)
{
    shippedgame::EnterLevel("isla");
    std::vector<Walk> walks;
    // The hill in the south-west corner and the rocks along the north stand
    // on the rim itself: the walks there start beside them.
    for (float x : {0.0f, 700.0f, 1400.0f, 2100.0f})
        walks.push_back({x, -3380.0f, kSouth});
    walks.push_back({-1200.0f, -2400.0f, kSouth}); // up the hill's slope
    for (float x : {-2100.0f, 0.0f, 700.0f, 1400.0f, 2100.0f})
        walks.push_back({x, 3380.0f, kNorth});
    for (float t = -2100.0f; t <= 2100.0f; t += 700.0f) {
        walks.push_back({-3380.0f, t, kWest});
        walks.push_back({3380.0f, t, kEast});
    }
    WalkOut({-3500.0f, 3500.0f, -3500.0f, 3500.0f}, walks);
}

// The restart at the first checkpoint, as the pause menu's item runs it: he
// faces the first wave's yard and the radio with the weapons by it, and
// twenty seconds of W keep him inside the level.
TEST_F(LevelEdges, TheFirstCheckpointFacesTheYardAndWStaysInTheLevel)
{
    shippedgame::EnterLevel("hangares");
    getTriggerManager().checkpoint = 1;
    GetGameCalls().RestartLevel(false);
    Frames(1, false);
    const D3DXVECTOR3 start = getPlayer()->GetPosition().GetPosition();
    const D3DXVECTOR3 facing = DirectionFromYaw(getPlayer()->GetPosition().GetYaw());
    auto angleTo = [&](float x, float z) {
        D3DXVECTOR3 to(x - start.x, 0.0f, z - start.z);
        D3DXVec3Normalize(&to, &to);
        return std::acos(std::clamp(D3DXVec3Dot(&to, &facing), -1.0f, 1.0f));
    };
    EXPECT_LT(angleTo(-850.0f, -600.0f), 0.8f) << "the first volume, the way on, stands ahead";
    EXPECT_LT(angleTo(-1050.0f, -620.0f), 1.0f) << "the radio lies ahead";
    EXPECT_LT(angleTo(-960.0f, -600.0f), 1.0f) << "the shotgun lies ahead";

    // Once the camera has swung in behind him, the markers over the radio and
    // the weapons by it stand whole in the picture, not cut by its edges.
    Frames(15, false);
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &getCamera().GetViewMatrix(), &getCamera().GetProjectionMatrix());
    const D3DXVECTOR3 markers[] = {{-1050.0f, 25.0f, -620.0f}, {-1040.0f, 20.0f, -700.0f}, {-960.0f, 20.0f, -600.0f}};
    for (const D3DXVECTOR3& marker : markers) {
        D3DXVECTOR3 onScreen;
        D3DXVec3TransformCoord(&onScreen, &marker, &viewProjection);
        EXPECT_TRUE(std::fabs(onScreen.x) < 0.85f && std::fabs(onScreen.y) < 0.85f && onScreen.z > 0.0f &&
                    onScreen.z < 1.0f)
            << "the marker at " << marker.x << ", " << marker.z << " is at " << onScreen.x << ", " << onScreen.y;
    }

    // The enemies hold still: the walk is about the walls, not the fight he
    // would run into.
    getEnemyManager()->freezeIA();
    Frames(600, true);
    getEnemyManager()->resumeIA();
    const D3DXVECTOR3 end = getPlayer()->GetPosition().GetPosition();
    EXPECT_TRUE((Rim{-3500.0f, 3500.0f, -2500.0f, 5000.0f}.Holds(end))) << end.x << ", " << end.z;
    EXPECT_GT(end.y, -2.0f);
}

// How deep a point lies inside the level's nearest static box, grown by
// margin (0 when it is clear of all of them), and that box's name.
float DepthInSolids(const D3DXVECTOR3& p, float margin, std::string* name)
{
    float deepest = 0.0f;
    for (const auto& [key, box] : getCollisionManager().GetCollisions(getScenario()->scenarioName == "hangares")) {
        D3DXMATRIX inverse;
        if (!D3DXMatrixInverse(&inverse, nullptr, &box.transform))
            continue;
        D3DXVECTOR3 local;
        D3DXVec3TransformCoord(&local, &p, &inverse);
        const float depth = std::min({box.width * 0.5f + margin - std::fabs(local.x),
                                      box.height * 0.5f + margin - std::fabs(local.y),
                                      box.length * 0.5f + margin - std::fabs(local.z)});
        if (depth > deepest) {
            deepest = depth;
            *name = key;
        }
    }
    return deepest;
}


// The hero runs with S at the camera, which has a crate right behind it: the
// camera backs up to the crate and stays outside it, its near plane too.
TEST_F(LevelEdges, RunningAtTheCameraNeverPutsItInsideACrate)
{
    shippedgame::EnterLevel("hangares");
    // He stands all round each crate, looking away from it: S runs him at
    // the camera, which swings round him or backs up against the crate.
    struct Run {
        std::string crate;
        float x, z, yaw;
    };
    std::vector<Run> runs;
    const struct {
        const char* name;
        float x, z, half;
    } crates[] = {{"cajas_escenario_1", 652.3f, 687.6f, 80.0f}, {"cajas_escenario_3", 30.9f, 924.4f, 80.0f},
                  {"maderitas2", -600.0f, 400.0f, 55.0f},       {"cajas3", -1648.6f, -728.1f, 40.0f},
                  {"cajas6", -551.3f, -820.9f, 40.0f}};
    for (const auto& c : crates)
        for (int a = 0; a < 8; ++a)
            for (float gap : {40.0f, 90.0f, 160.0f}) {
                const float angle = a * 0.7853982f, r = c.half * 1.42f + gap;
                runs.push_back({c.name, c.x + r * std::sin(angle), c.z + r * std::cos(angle), angle});
            }
    // The enemies hold still: a fight they start would take the camera from
    // the run, and where it leaves him depends on their aim.
    getEnemyManager()->freezeIA();
    for (const auto& run : runs) {
        PlaceHero(run.x, run.z, run.yaw);
        float worst = 0.0f;
        std::string inside;
        for (int frame = 0; frame < 60; ++frame) {
            Frames(1, false, true);
            std::string name;
            const float depth = DepthInSolids(getCamera().GetPosition(), 4.0f, &name);
            if (depth > worst) {
                worst = depth;
                inside = name + " at frame " + std::to_string(frame);
            }
        }
        EXPECT_EQ(worst, 0.0f) << "running from " << run.x << ", " << run.z << " at " << run.crate
                               << ": the eye went " << worst << " into " << inside;
    }
    getEnemyManager()->resumeIA();
}

// Space takes cover: his back to the wall, the camera stands out before
// him; his back to the crate, the right button lifts the view over it, where
// his shots go. Put down in the gap between a crate and a wall, he keeps the
// camera on his side of the wall.
TEST_F(LevelEdges, InCoverAndByWallsTheCameraKeepsTheHeroInView)
{
    shippedgame::EnterLevel("hangares");
    getEnemyManager()->freezeIA();
    // Felled in an earlier test, he stays down until Space.
    if (getPlayer()->GetController()->GetStateCode() == 49)
        Hold(30, DIK_SPACE);
    Hold(1, -1);
    PlaceHero(-450.0f, -1340.0f, 3.0f);
    Hold(1, DIK_SPACE);
    Hold(180, -1);
    ASSERT_EQ(getPlayer()->GetController()->GetStateCode(), 62) << "in cover at the wall";
    ExpectHeroInView("behind the wall");

    shippedgame::EnterLevel("hangares");
    PlaceHero(-850.0f, -1040.0f, kEast);
    Hold(1, DIK_SPACE);
    Hold(180, -1);
    Hold(30, -1, 1);
    ASSERT_EQ(getPlayer()->GetController()->GetStateCode(), 48) << "aiming from the crate";
    ExpectHeroInView("aiming over the crate", false);
    const CCamera& camera = getCamera();
    const D3DXVECTOR3 aim = camera.GetLookAt();
    const RayHit shot = getCollisionManager().CastRay(aim, aim + camera.GetViewDirection() * 300.0f);
    EXPECT_FALSE(shot.hit) << "the view runs into " << shot.name;
    Hold(1, -1);
    getEnemyManager()->resumeIA();

    shippedgame::EnterLevel("isla");
    PlaceHero(420.0f, -1360.0f, kWest);
    Hold(20, -1);
    ExpectHeroInView("in the gap");
}

// Aiming with a crate at his back, the eye has no room behind him; it comes
// in over his shoulder rather than up over him, so that the crosshair, where
// his shots go, stays on the yard ahead and not on the ground at his feet.
TEST_F(LevelEdges, AimingWithACrateAtHisBackTheCrosshairStaysOnTheYardAhead)
{
    shippedgame::EnterLevel("hangares");
    getEnemyManager()->freezeIA();
    if (getPlayer()->GetController()->GetStateCode() == 49)
        Hold(30, DIK_SPACE);
    for (int a = 0; a < 8; ++a) {
        const float yaw = WrapAngle(a * 0.7853982f);
        const D3DXVECTOR3 hero = kBarrierCrate + DirectionFromYaw(yaw) * 95.0f;
        const std::string where = "his back to the crate, facing " + std::to_string(yaw);
        PlaceHero(hero.x, hero.z, yaw);
        Hold(30, -1, 1);
        const CCamera& camera = getCamera();
        const D3DXVECTOR3 view = camera.GetViewDirection();
        EXPECT_GT(view.y, -0.45f) << where << ": the view looks down at " << view.y;
        const D3DXVECTOR3 aim = camera.GetLookAt();
        const RayHit shot = getCollisionManager().CastRay(aim, aim + view * 300.0f);
        // Crates and walls stand ahead in places; the ground never within 300.
        EXPECT_FALSE(shot.hit && shot.name == "col_suelo") << where << ": the crosshair runs into the ground";
        const std::string fault = HeroOutOfView(false, 30.0f);
        EXPECT_TRUE(fault.empty()) << where << ": " << fault;
        Hold(1, -1);
    }
    getEnemyManager()->resumeIA();
}

// The painted lane does not end at wave 01's barrier: past it, it goes on
// through the volumes that wake waves 02 and 03, each mark near the one
// before it and in plain line of it.
TEST_F(LevelEdges, ThePaintedLaneGoesOnPastTheBarrierToTheThirdWavesVolume)
{
    shippedgame::EnterLevel("hangares");
    std::vector<D3DXVECTOR3> marks;
    for (int n = 1;; ++n) {
        const std::string name = "guia_camino_" + std::to_string(n);
        IEntidad3D* mark = getSceneManager().FindEntity(name);
        if (!mark)
            break;
        marks.push_back(mark->GetTransform().GetPosition());
    }
    ASSERT_GE(marks.size(), 10u);
    for (size_t i = 1; i < marks.size(); ++i) {
        const D3DXVECTOR3 from = marks[i - 1] + D3DXVECTOR3(0.0f, 30.0f, 0.0f),
                          to = marks[i] + D3DXVECTOR3(0.0f, 30.0f, 0.0f);
        // Past the last mark before it, the barrier's crate stands on the way.
        const bool acrossTheBarrier = VectorLength(marks[i - 1] - kBarrierCrate) < 150.0f;
        EXPECT_LT(VectorLength(to - from), acrossTheBarrier ? 320.0f : 200.0f) << "marks " << i << " and " << i + 1;
        const RayHit hit = getCollisionManager().CastRay(from, to);
        EXPECT_TRUE(!hit.hit || (acrossTheBarrier && hit.name == "col_cajas6"))
            << hit.name << " between marks " << i << " and " << i + 1;
    }
    auto inside = [&](const char* volume) {
        const TriggerVolume* box = getTriggerManager().FindVolume(volume);
        return box && std::any_of(marks.begin(), marks.end(), [&](const D3DXVECTOR3& m) {
                   return std::fabs(m.x - box->centre.x) <= box->width * 0.5f &&
                          std::fabs(m.z - box->centre.z) <= box->length * 0.5f;
               });
    };
    for (const char* volume : {"trg_01", "trg_031", "trg_02", "trg_03"})
        EXPECT_TRUE(inside(volume)) << "the lane passes through " << volume;
}

// Wave 01 down, the hero in cover at its barrier's crate: Space vaults it,
// and the next wave comes.
TEST_F(LevelEdges, VaultingTheFirstBarrierOnceItsWaveIsDownWakesTheNext)
{
    shippedgame::EnterLevel("hangares");
    if (getPlayer()->GetController()->GetStateCode() == 49)
        Hold(30, DIK_SPACE);
    CEnemyManager* enemies = getEnemyManager();
    enemies->setNewZone("room01", "wave_01");
    enemies->killThisWave("wave_01");
    ASSERT_FALSE(enemies->anyBotAlive());
    const D3DXVECTOR3 parapet(-602.5f, 0.0f, -868.6f);
    const D3DXVECTOR3 out = NormalizeVector(parapet - kBarrierCrate), stand = parapet + out * 40.0f;
    PlaceHero(stand.x, stand.z, std::atan2(-out.x, -out.z));
    Hold(1, DIK_SPACE);
    Hold(60, -1);
    const int inCover = getPlayer()->GetController()->GetStateCode();
    EXPECT_TRUE(inCover == 38 || inCover == 62) << "state " << inCover;
    Hold(1, DIK_SPACE);
    Hold(2, -1);
    EXPECT_EQ(getPlayer()->GetController()->GetStateCode(), 37) << "vaulting";
    Hold(90, -1);
    EXPECT_EQ(enemies->GetCurrentWave(), "wave_02");
}

// Through the gaps between the crates and blocks by wave 01's barrier, each
// way, rolling, with the mouse swinging the view onto the crates on the way,
// and in cover at a concrete block with the barrier behind the camera: every
// frame the camera keeps out of the solids and sees him past them.
TEST_F(LevelEdges, InTheGapsBetweenCratesTheCameraKeepsTheHeroInView)
{
    struct Gap {
        const char* between;
        float x, z, yaw;
    };
    const Gap gaps[] = {{"a block and the barrier", -793.0f, -893.0f, 0.308f},
                        {"a crate and the barrier", -638.0f, -871.0f, 2.396f},
                        {"a block and the barrier's far end", -825.0f, -1126.0f, 0.565f}};
    // While the player swings the view his own way, the view is his: his
    // feet may leave the frame, but never his head, and the eye keeps out of
    // the crates and sees him past them.
    auto check = [](const std::string& where, int frame, std::string* first, bool swung = false) {
        const std::string fault = HeroOutOfView(!swung, 30.0f);
        if (!fault.empty() && first->empty())
            *first = where + ", frame " + std::to_string(frame) + ": " + fault;
    };
    bool rolled = false;
    for (const Gap& gap : gaps)
        for (float turn : {0.0f, 3.1415927f}) {
            // A roll that ended in cover would hold him there.
            shippedgame::EnterLevel("hangares");
            getEnemyManager()->freezeIA();
            if (getPlayer()->GetController()->GetStateCode() == 49)
                Hold(30, DIK_SPACE);
            const float yaw = WrapAngle(gap.yaw + turn);
            const D3DXVECTOR3 start = D3DXVECTOR3(gap.x, 0.0f, gap.z) - DirectionFromYaw(yaw) * 130.0f;
            PlaceHero(start.x, start.z, yaw);
            std::string first;
            for (int frame = 0; frame < 50; ++frame) {
                if (frame >= 15 && frame < 35)
                    platform::FeedMouseInput(frame < 25 ? 40 : -40, 0, 0);
                // Space rolls him on through the gap, where no cover is near.
                Hold(1, frame == 8 ? DIK_SPACE : DIK_W);
                rolled = rolled || getPlayer()->GetControllerSelector()->GetFreeController()->IsRolling();
                check(std::string("between ") + gap.between, frame, &first, frame >= 15 && frame < 40);
            }
            Hold(1, -1);
            EXPECT_TRUE(first.empty()) << first;
        }
    EXPECT_TRUE(rolled) << "Space rolled him in a gap";

    // Left behind a crate, as a roll past its corner at a real window's
    // frame rate leaves it, the camera is back on his side the next frame.
    for (float yaw : {kNorth, kEast, kSouth, kWest}) {
        const D3DXVECTOR3 out = DirectionFromYaw(yaw), hero = kBarrierCrate + out * 110.0f;
        PlaceHero(hero.x, hero.z, yaw);
        const D3DXVECTOR3 hidden = kBarrierCrate - out * 80.0f + D3DXVECTOR3(0.0f, 50.0f, 0.0f);
        getCollisionManager().WarpCamera(hidden);
        getCamera().SetPosition(hidden);
        Hold(1, -1);
        const std::string fault = HeroOutOfView(true, 30.0f);
        EXPECT_TRUE(fault.empty()) << "the camera left behind the crate: " << fault;
    }

    // Space at the block's face takes cover, its camera over the barrier
    // behind him; D runs him along it.
    const D3DXVECTOR3 block(-899.3f, 0.0f, -944.4f), face(0.951f, 0.0f, -0.309f);
    for (float side : {-1.0f, 1.0f}) {
        shippedgame::EnterLevel("hangares");
        getEnemyManager()->freezeIA();
        const D3DXVECTOR3 at = block + face * (side * 70.0f);
        PlaceHero(at.x, at.z, YawFromDirection(face * -side));
        std::string first;
        Hold(1, DIK_SPACE);
        for (int frame = 0; frame < 45; ++frame) {
            Hold(1, frame < 20 ? -1 : DIK_D);
            check("in cover at the block", frame, &first);
        }
        Hold(1, -1);
        EXPECT_TRUE(first.empty()) << first;
    }
    getEnemyManager()->resumeIA();
}

// The fourth checkpoint's flight leaves him in cover on the plateau: the view
// frames him, and 150 pixels of mouse tilt it no further than the orbit goes.
TEST_F(LevelEdges, AfterTheFourthCheckpointsFlightTheViewFramesTheHero)
{
    shippedgame::EnterLevel("isla");
    getTriggerManager().checkpoint = 4;
    GetGameCalls().RestartLevel(false);
    shippedgame::HoldGuiStill();
    getRigid()->playCam("camara_isla_dockers1"); // as the square's script does
    bool flown = false;
    for (int i = 0; i < 600 && !(flown && !getCamera().IsFreeCamera()); ++i) {
        Hold(1, -1);
        flown = flown || getCamera().IsFreeCamera();
    }
    ASSERT_TRUE(flown) << "the flight played";
    Hold(60, -1);
    ExpectHeroInView("after the flight");
    auto pitch = [] { return std::asin(-getCamera().GetViewDirection().y); };
    EXPECT_LT(std::fabs(pitch()), 0.7f) << "looking steeply down or up";
    float low = pitch(), high = low;
    for (int i = 0; i < 60; ++i) {
        platform::FeedMouseInput(0, i < 30 ? 5 : -5, 0);
        Hold(1, -1);
        low = std::min(low, pitch());
        high = std::max(high, pitch());
    }
    const CCamera::Values& orbit = getCamera().GetValues();
    EXPECT_LT(high - low, orbit.pitchUpLimit - orbit.pitchDownLimit + 0.1f) << "150 pixels swung the view too far";
}

// The first soldier fires at the hero from 120 away, on the left of the
// picture, his shots crossing the view: what a shot lights (near white, and
// much brighter than the frame before) is no more than its muzzle flash.
TEST_F(LevelEdges, AShotAtTheHeroLightsNoMoreOfTheFrameThanItsMuzzleFlash)
{
    shippedgame::EnterLevel("hangares");
    // Whether he fires or first ducks behind his crate is the game's own
    // roll: the same one whatever ran before.
    crt::srand(5);
    getGUI().fadeAlpha = 0.0f;
    getEnemyManager()->resumeIA();
    getEnemyManager()->setNewZone("room01", "wave_01");
    Hold(1, -1);
    const D3DXVECTOR3 soldier = getEnemyManager()->getThisBotOfCurrentWave("ene_1")->GetPosition().GetPosition();
    const D3DXVECTOR3 at(soldier.x, 11.0f, soldier.z - 120.0f);
    getPlayer()->GetPosition().SetPosition(at);
    getCollisionManager().setNewPlayerPosition(at);
    getCamera().LoadValues(at.x, at.y, at.z, D3DDevice);
    auto luma = [](D3DCOLOR c) { return 0.299 * (c >> 16 & 0xFF) + 0.587 * (c >> 8 & 0xFF) + 0.114 * (c & 0xFF); };
    int shots = 0;
    double worst = 0.0;
    std::vector<D3DCOLOR> before, frame;
    for (int i = 0; i < 60 && devicetest::ReadBackBuffer(D3DDevice, &frame) == D3D_OK; ++i) {
        bool flash = false;
        for (const auto& emitter : getParticleManager().GetEmitters())
            flash = flash || (emitter && emitter->GetType() && emitter->GetType()->name == "disparo");
        if (flash && !before.empty()) {
            ++shots;
            int lit = 0;
            for (size_t p = 0; p < frame.size(); ++p)
                lit += luma(frame[p]) > 204.0 && luma(frame[p]) - luma(before[p]) > 76.0;
            worst = std::max(worst, static_cast<double>(lit) / frame.size());
        }
        before.swap(frame);
        Hold(1, -1);
        RenderFrame(1.0f / 30.0f);
    }
    EXPECT_GT(shots, 0) << "the soldier fired at the hero";
    EXPECT_LT(worst, 0.02) << "a shot lit this share of the frame";
}

} // namespace
