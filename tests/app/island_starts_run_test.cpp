// The island's last two checkpoints as a new player meets them: the console
// jump a player may take to them, the revive, and what follows once the view
// is his: the first seconds, the sky over him, what lies on the way, and the
// way to the square where the boss waits.
#include "loop_fixture.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "app/MainConfig.h"
#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "render/Composite.h"
#include "render/EffectManager.h"
#include "scene/Camera.h"
#include "scene/Entity3D.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

using G = CGameStateFlagsManager;

bool InControl()
{
    IController* controller = getPlayer()->GetController();
    return controller && controller->GetStateCode() != 49 && !getRigid()->camSequenceRunning &&
           !getGUI().mainMenuActive;
}

float Apart(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    const D3DXVECTOR3 d = a - b;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

// Return on the menu, Space through the comic and the flight; then the
// console's checkpoint, Space to revive there and through any flight that
// follows. Once the view has stayed his for a second and a half, `Play`
// and `Look` run each frame, before and after the game's, until `Done`.
class IslandArrival : public NewGamePlayer {
public:
    explicit IslandArrival(int checkpoint) : checkpoint(checkpoint) {}

    void UpdateFrame(float dt) override
    {
        ++frames;
        const bool inControl = InControl();
        bool space = false;
        if (!jumped) {
            space = frames == 2 || frames == 4;
            if (frames > 4 && inControl) {
                getScriptHost().RunCommand("Checkpoint " + std::to_string(checkpoint));
                jumped = true;
            }
        } else if (heldSince == 0) {
            space = frames % 3 == 0 && !inControl;
        }
        keys.SetKey(DIK_SPACE, space);
        if (heldSince > 0)
            Play(frames - heldSince);
        CGameCalls::UpdateFrame(dt);
        if (!jumped)
            return;
        // The banners from the revive on: the hero falls first.
        WatchBanners();
        IController* controller = getPlayer()->GetController();
        if (controller && controller->GetStateCode() == 49)
            banners.clear();
        if (getGSF().islaSequence == G::PlayingCamIslaIntro)
            arrivalFlown = true;
        if (heldSince == 0) {
            calm = InControl() ? calm + 1 : 0;
            if (calm == kSettleFrames)
                heldSince = frames;
            if (frames > kBoundFrames)
                Close();
            return;
        }
        Look(frames - heldSince);
        if (Done(frames - heldSince) || frames > kBoundFrames)
            Close();
    }

    // Only positions and codes are read: one frame in thirty is drawn.
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 30 == 0)
            CGameCalls::RenderFrame(dt);
    }

    virtual void Play(int /*t*/) {}
    virtual void Look(int /*t*/) {}
    virtual bool Done(int t) { return t >= kWatchFrames; }

    // Every mission banner that rose since the console's jump, in order.
    void WatchBanners()
    {
        const CGUIManager& gui = getGUI();
        for (int n = 1; n <= CGUIManager::kMissionCount; ++n) {
            if (gui.missionBannerActive[n] && !m_BannerUp[n])
                banners.push_back(n);
            m_BannerUp[n] = gui.missionBannerActive[n];
        }
    }

    void Close()
    {
        if (!closing)
            PushWindowClose();
        closing = true;
    }

    static constexpr int kSettleFrames = 45; // the view his for a second and a half
    static constexpr int kWatchFrames = 300; // 10 s at the game's 30 frames a second
    static constexpr int kBoundFrames = 3000;
    const int checkpoint;
    int frames = 0, calm = 0, heldSince = 0;
    bool jumped = false, closing = false, arrivalFlown = false;
    std::vector<int> banners;

private:
    bool m_BannerUp[CGUIManager::kMissionCount + 1] = {};
};

// --- the first seconds -------------------------------------------------------

// He stands still for ten seconds: who comes near, what it costs him.
class StandingArrival : public IslandArrival {
public:
    using IslandArrival::IslandArrival;
    void Look(int t) override
    {
        CPlayer* hero = getPlayer();
        const D3DXVECTOR3 at = hero->GetPosition().GetPosition();
        lowestLife = std::min(lowestLife, int(hero->GetLife()));
        fought = fought || hero->GetControllerSelector()->IsFighting();
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
            CEnemy* enemy = entry.second;
            if (enemy->GetLife() == 0 || enemy->getIA()->IsDestroyed())
                continue;
            const float apart = Apart(enemy->GetPosition().GetPosition(), at);
            if (apart < nearest) {
                nearest = apart;
                nearestName = entry.first;
                nearestAfter = t / 30.0f;
            }
        }
    }

    bool fought = false;
    int lowestLife = 350;
    float nearest = 1e9f, nearestAfter = 0.0f;
    std::string nearestName;
};

struct FifthStanding : StandingArrival {
    FifthStanding() : StandingArrival(5) {}
};
struct FourthStanding : StandingArrival {
    FourthStanding() : StandingArrival(4) {}
};

class FifthCheckpointStart : public ShippedRun<FifthStanding> {
protected:
    FifthCheckpointStart() : ShippedRun("fifth_checkpoint") {}
};
class FourthCheckpointStart : public ShippedRun<FourthStanding> {
protected:
    FourthCheckpointStart() : ShippedRun("fourth_checkpoint") {}
};

// Close fire, and the charge that ends in a melee fight, are what a player
// who has just been handed the view cannot answer: nobody comes within 600
// units of him while he finds his bearings, and his life stays.
void ExpectTimeForBearings(const StandingArrival& player)
{
    ASSERT_GT(player.heldSince, 0) << "the view was never handed over";
    EXPECT_FALSE(player.fought);
    EXPECT_GE(player.nearest, 600.0f) << player.nearestName << " after " << player.nearestAfter << " s";
    EXPECT_GE(player.lowestLife, 350 * 4 / 5);
}

TEST_F(FifthCheckpointStart, NobodyComesCloseInTheFirstTenSeconds)
{
    ASSERT_EQ(VantorelMain(), 0);
    ExpectTimeForBearings(player);
}

// The console's jump from the hangars is a revive at the fifth checkpoint
// like any other: its own banner, not the island's arrival over again.
TEST_F(FifthCheckpointStart, TheReviveRaisesOnlyItsOwnBanner)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_GT(player.heldSince, 0);
    EXPECT_EQ(player.banners, std::vector<int>{10});
    EXPECT_FALSE(player.arrivalFlown);
}

TEST_F(FourthCheckpointStart, NobodyComesCloseInTheFirstTenSeconds)
{
    ASSERT_EQ(VantorelMain(), 0);
    ExpectTimeForBearings(player);
}

// --- the square's revive ------------------------------------------------------------

// The dockers' flight leaves him in cover behind the block. As soon as the
// view is his, the mouse turns it right for a few frames; then S takes him
// out of cover, and he stands on for two seconds.
// The frames since the flight left him in cover with the view his; -1 before.
class AtTheSquare : public IslandArrival {
public:
    AtTheSquare() : IslandArrival(4) {}
    void Look(int t) override
    {
        if (m_Since < 0 && InControl() && getPlayer()->GetControllerSelector()->GetStateName() == "PARAPETED")
            m_Since = t;
        if (m_Since >= 0)
            Watch(t - m_Since);
    }
    void Play(int t) override
    {
        if (m_Since >= 0)
            Act(t - m_Since);
    }
    bool Done(int t) override { return m_Since >= 0 && Over(t - m_Since); }

    virtual void Act(int u) = 0;
    virtual void Watch(int u) = 0;
    virtual bool Over(int u) = 0;

private:
    int m_Since = -1;
};

class CoverAtTheSquare : public AtTheSquare {
public:
    void Act(int t) override
    {
        if (t < kMouseFrames) {
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            motion.motion.xrel = 8;
            SDL_PushEvent(&motion);
        }
        keys.SetKey(DIK_S, t >= kLeave && t < kLeave + 4);
    }

    void Watch(int t) override
    {
        CGUIManager& gui = getGUI();
        const D3DXVECTOR3 view = getCamera().GetViewDirection();
        const float heading = std::atan2(view.x, view.z);
        CControllerSelector* selector = getPlayer()->GetControllerSelector();
        if (t == 0) {
            coverAtControl = selector->GetStateName() == "PARAPETED" &&
                             getPlayer()->GetController()->GetStateCode() == 62;
            headingAtControl = heading;
            gui.drawLog = &drawnInCover;
        }
        if (t == kMouseFrames + 2)
            turned = std::remainder(heading - headingAtControl, 6.2831853f);
        if (t == kLeave)
            gui.drawLog = nullptr;
        if (t >= kLeave) {
            const float pitch = std::asin(-view.y);
            steepest = std::max(steepest, pitch);
            highest = std::min(highest, pitch);
        }
        if (t == kLeave + 30) {
            stateOut = selector->GetStateName();
            gui.drawLog = &drawnOut;
        }
        if (Over(t))
            gui.drawLog = nullptr;
    }

    bool Over(int t) override { return t >= kLeave + 75; }

    static bool Shows(const std::vector<std::string>& drawn, const std::string& name)
    {
        return std::find(drawn.begin(), drawn.end(), name) != drawn.end();
    }

    static constexpr int kMouseFrames = 12; // read back at 14 frames: inside two seconds of control
    static constexpr int kLeave = 40;
    bool coverAtControl = false;
    float headingAtControl = 0.0f, turned = 0.0f;
    float steepest = -9.0f, highest = 9.0f;
    std::string stateOut;
    std::vector<std::string> drawnInCover, drawnOut;
};

class SquareCover : public ShippedRun<CoverAtTheSquare> {
protected:
    SquareCover() : ShippedRun("square_cover") {}
    void TearDown() override
    {
        getGUI().drawLog = nullptr;
        ShippedRun::TearDown();
    }
};

// Put in cover by a flight rather than by his own key, a new player must
// see that he is in it, how to get out, and that the view is his: the HUD
// says so while he is in cover and no longer once he is out, the mouse
// turns the view its way at once, and getting up looks down at him no
// steeper than the orbit may.
TEST_F(SquareCover, TheHudSaysHeIsInCoverTheMouseTurnsTheViewAndSGetsHimOutLookingNoSteeper)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_GT(player.heldSince, 0) << "the view was never handed over";
    ASSERT_TRUE(player.coverAtControl) << "the flight left him in cover";
    EXPECT_TRUE(CoverAtTheSquare::Shows(player.drawnInCover, "A_CUBIERTO_TECLADO"));
    EXPECT_LT(player.turned, -0.3f) << "96 counts to the right turned the view by " << player.turned;
    EXPECT_EQ(player.stateOut, "FREE");
    EXPECT_FALSE(CoverAtTheSquare::Shows(player.drawnOut, "A_CUBIERTO_TECLADO"));
    const CCamera::Values& orbit = getCamera().GetValues();
    EXPECT_LT(player.steepest, orbit.pitchUpLimit + 0.05f) << "getting up looked down at him";
    EXPECT_GT(player.highest, orbit.pitchDownLimit - 0.05f);
}

// The pause menu's Continue a second into the view: the banner it brings
// back is the square's, which the revive raised, not the first level's.
class PausingAtTheSquare : public AtTheSquare {
public:
    void Act(int t) override { keys.SetKey(DIK_ESCAPE, t == 30); }
    // Paused, the game's frame stands still and only the menu runs: Return
    // goes down on the menu's fourth pass, its first item picked.
    void UpdateGUI(float dt) override
    {
        AtTheSquare::UpdateGUI(dt);
        const bool inMenu = getGUI().pauseActive;
        if (inMenu) {
            ++menuFrames;
            keys.SetKey(DIK_ESCAPE, false);
        }
        keys.SetKey(DIK_RETURN, inMenu && menuFrames == 4);
    }
    void Watch(int t) override
    {
        const CGUIManager& gui = getGUI();
        paused = paused || gui.pauseActive;
        if (t == 45) {
            continued = paused && !gui.pauseActive;
            for (int n = 1; n <= CGUIManager::kMissionCount; ++n)
                if (gui.missionBannerActive[n])
                    upAfterContinue.push_back(n);
        }
    }
    bool Over(int t) override { return t >= 46; }
    int menuFrames = 0;
    bool paused = false, continued = false;
    std::vector<int> upAfterContinue;
};

class SquarePause : public ShippedRun<PausingAtTheSquare> {
protected:
    SquarePause() : ShippedRun("square_pause") {}
};

TEST_F(SquarePause, TheReviveRaisesTheSquaresBannerAndContinueBringsItBack)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_GT(player.heldSince, 0);
    EXPECT_EQ(player.banners, std::vector<int>{7});
    ASSERT_TRUE(player.continued) << "the pause menu was not opened and left";
    EXPECT_EQ(player.upAfterContinue, std::vector<int>{7});
}

// --- the sky over the fifth checkpoint --------------------------------------------

// He turns round once with the mouse, the view lifted a little. At each
// eighth of the turn the frame is drawn as the game draws it and again with
// only the sky and the sea: a pixel that differs is a solid drawn there. In
// each column, from the horizon up, what stands on the ground is drawn from
// the horizon on; a solid drawn above a stretch of open sky floats.
class LookingRound : public IslandArrival {
public:
    LookingRound() : IslandArrival(5) {}

    void Play(int t) override
    {
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.xrel = 6;
        motion.motion.yrel = t < 6 ? -3 : 0;
        SDL_PushEvent(&motion);
    }

    void Look(int t) override
    {
        const D3DXVECTOR3 view = getCamera().GetViewDirection();
        const float heading = std::atan2(view.x, view.z);
        if (t == 20)
            m_Last = heading;
        if (t <= 20)
            return;
        m_Turned += std::remainder(heading - m_Last, 6.2831853f);
        m_Last = heading;
        if (std::fabs(m_Turned) >= float(views.size()) * 0.785398f && views.size() < 8)
            CountFloatingColumns();
    }

    bool Done(int t) override { return views.size() >= 8 || t > 1500; }

    void CountFloatingColumns()
    {
        const CCamera& camera = getCamera();
        D3DXMATRIX viewProjection;
        D3DXMatrixMultiply(&viewProjection, &camera.GetViewMatrix(), &camera.GetProjectionMatrix());
        const D3DXVECTOR3 eye = camera.GetPosition(), look = camera.GetViewDirection();
        const float flat = std::sqrt(look.x * look.x + look.z * look.z);
        const D3DXVECTOR3 far(eye.x + look.x / flat * 20000.0f, eye.y, eye.z + look.z / flat * 20000.0f);
        D3DXVECTOR3 onScreen;
        D3DXVec3TransformCoord(&onScreen, &far, &viewProjection);
        const int horizon = int((1.0f - onScreen.y) * 0.5f * kHeight);

        // Both drawn alike but for the level's solids: the same draws for the
        // rain and the lightning from the same state, no hero, no screens.
        std::vector<D3DCOLOR> drawn, sky;
        const char* const aside[] = {"playerRender", "guiRender", "particlesRender", "bloomRender"};
        for (const char* step : aside)
            setMainConfig(step, false);
        const CompositeState weather = getEffectManager().GetCompositeState();
        auto render = [&](std::vector<D3DCOLOR>* pixels) {
            getEffectManager().GetCompositeState() = weather;
            crt::srand(59);
            CGameCalls::RenderFrame(1.0f / 30.0f);
            devicetest::ReadBackBuffer(D3DDevice, pixels);
        };
        render(&drawn);
        std::vector<IEntidad3D*> hidden;
        for (const std::string& name : LevelListNames("isla"))
            if (name != "skybox2" && name != "isla_Mar_2")
                if (IEntidad3D* entity = getSceneManager().FindEntity(name); entity && entity->IsVisible()) {
                    entity->SetVisible(false);
                    hidden.push_back(entity);
                }
        render(&sky);
        for (IEntidad3D* entity : hidden)
            entity->SetVisible(true);
        for (const char* step : aside)
            setMainConfig(step, true);

        int floating = 0;
        if (drawn.size() == std::size_t(kWidth * kHeight) && sky.size() == drawn.size() && horizon > 8 &&
            horizon < kHeight) {
            auto solid = [&](int x, int y) {
                const D3DCOLOR a = drawn[std::size_t(y) * kWidth + x], b = sky[std::size_t(y) * kWidth + x];
                int most = 0;
                for (int shift : {0, 8, 16})
                    most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
                return most > 1;
            };
            // A wire, a far pole or a streak of rain is a few rows or columns
            // across (and broken up by the pixels it falls between): a slab
            // floats over four rows and ten columns or more.
            std::vector<bool> floats(kWidth, false);
            for (int x = 0; x < kWidth; ++x) {
                int open = 0, run = 0;
                for (int y = horizon - 2; y >= 0 && !floats[x]; --y) {
                    if (!solid(x, y)) {
                        run = 0;
                        ++open;
                    } else if (open >= 3 && ++run >= 4) {
                        floats[x] = true;
                    }
                }
            }
            for (int x = 0, width = 0; x <= kWidth; ++x) {
                if (x < kWidth && floats[x]) {
                    ++width;
                    continue;
                }
                floating += width >= 10 ? width : 0;
                width = 0;
            }
        }
        views.push_back(horizon > 8 && horizon < kHeight ? floating : -1);
    }

    static constexpr int kWidth = 320, kHeight = 240; // the run's small window
    std::vector<int> views; // floating columns at each eighth of the turn
    float m_Last = 0.0f, m_Turned = 0.0f;
};

class FifthCheckpointSky : public ShippedRun<LookingRound> {
protected:
    FifthCheckpointSky() : ShippedRun("fifth_checkpoint_sky") {}
};

TEST_F(FifthCheckpointSky, NothingIsDrawnAboveOpenSkyAllRound)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.views.size(), 8u) << "the turn was not completed";
    for (size_t i = 0; i < player.views.size(); ++i)
        EXPECT_EQ(player.views[i], 0) << "floating columns at " << i * 45 << " degrees of the turn";
}

// --- the way on from the fifth checkpoint ---------------------------------------

// Holds W with the view turned toward a point, as the mouse would turn it;
// true once within reach of it on the ground.
bool RunToward(platform::FakeDirectInput& keys, const D3DXVECTOR3& to, float reach)
{
    const D3DXVECTOR3 at = getPlayer()->GetPosition().GetPosition();
    const float dx = to.x - at.x, dz = to.z - at.z;
    if (std::sqrt(dx * dx + dz * dz) < reach) {
        keys.SetKey(DIK_W, false);
        return true;
    }
    getCamera().SetYaw(std::atan2(dx, dz));
    getCamera().SetWantedPitch(0.15f);
    keys.SetKey(DIK_W, true);
    return false;
}

// The wave's men fall at once (the fight is not what is looked at here);
// then the hero walks from one painted mark he sees to the next, and on
// past the last, until the square's volume takes him.
class FollowingTheMarks : public IslandArrival {
public:
    FollowingTheMarks() : IslandArrival(5) {}

    void Play(int t) override
    {
        if (t == 1)
            getEnemyManager()->killThisWave("wave_35");
        if (waveAt < 0)
            return;
        if (marks.empty())
            for (int n = 1; n <= 40; ++n) {
                const std::string name = "guia_plaza_" + std::to_string(n);
                IEntidad3D* mark = getSceneManager().FindEntity(name);
                if (!mark || !getSceneManager().IsVisible(name))
                    break;
                marks.push_back(mark->GetTransform().GetPosition());
                // Painted on the ground, not a board of its own over it.
                const D3DXVECTOR3 above = marks.back() + D3DXVECTOR3(0.0f, 40.0f, 0.0f);
                const RayHit ground = getCollisionManager().CastRay(above, above - D3DXVECTOR3(0.0f, 80.0f, 0.0f));
                const bool onGround = ground.hit && ground.name != "col_" + name;
                offTheGround = std::max(offTheGround, onGround ? std::fabs(ground.hitPoint.y - marks.back().y) : 1e9f);
            }
        if (marks.size() < 2)
            return;
        if (m_Next < marks.size()) {
            if (RunToward(keys, marks[m_Next], 70.0f))
                ++m_Next;
            return;
        }
        const D3DXVECTOR3 last = marks.back(), on = last + (last - marks[marks.size() - 2]) * 4.0f;
        RunToward(keys, on, 10.0f);
    }

    void Look(int t) override
    {
        if (waveAt < 0 && getEnemyManager()->GetCurrentWave() == "wave_36")
            waveAt = t;
        if (waveAt < 0)
            return;
        // What the player is told in the first seconds of the boss's wait.
        const CGUIManager& gui = getGUI();
        if (t - waveAt == 60)
            bannerInForce = gui.missionBannerActive[gui.currentMission] ? gui.currentMission : 0;
        if (t - waveAt < 300 && getSubtitulos().CurrentText().find("plaza") != std::string::npos)
            toldOfTheSquare = true;
        const CMissionText& line = getMissionText();
        if (t - waveAt < 300 && line.IsShowing() &&
            line.GetTexts()[std::size_t(line.GetCurrent())].find("plaza") != std::string::npos)
            readOfTheSquare = true;
        const int code = getGSF().islaSequence;
        if (reachedAfter < 0 && (code == G::ReadyCamIslaVinyetasIntroLucha || code == G::PlayingVinyetasPredockers))
            reachedAfter = (t - waveAt) / 30.0f;
    }

    bool Done(int t) override { return reachedAfter >= 0 || t > 1800; }

    std::vector<D3DXVECTOR3> marks;
    float offTheGround = 0.0f; // the farthest a mark lies from the ground under it
    int waveAt = -1, bannerInForce = -1;
    bool toldOfTheSquare = false, readOfTheSquare = false; // heard (the line's text), and read with the sound off
    float reachedAfter = -1.0f;

private:
    std::size_t m_Next = 0;
};

class FifthCheckpointWayOn : public ShippedRun<FollowingTheMarks> {
protected:
    FifthCheckpointWayOn() : ShippedRun("fifth_checkpoint_way_on") {}
};

// Wave 35 down, the boss waits in the square: the banner in force, the
// hero's line and the mission line say so, and the marks painted from the checkpoint lead there,
// down the plateau's ramp, in well under a minute.
TEST_F(FifthCheckpointWayOn, TheMarksLeadFromTheLastWaveIntoTheSquareWhereTheBossWaits)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_GE(player.waveAt, 0) << "wave 36 never began";
    EXPECT_EQ(player.bannerInForce, 11);
    EXPECT_TRUE(player.toldOfTheSquare);
    EXPECT_TRUE(player.readOfTheSquare);
    ASSERT_GE(player.marks.size(), 10u) << "marks drawn on the way";
    EXPECT_LT(VectorLength(player.marks.front() - D3DXVECTOR3(-2297.4f, 375.0f, -163.31f)), 200.0f)
        << "the first mark lies by the checkpoint";
    EXPECT_LT(player.offTheGround, 2.0f);
    EXPECT_GE(player.reachedAfter, 0.0f) << "the marks did not lead into the square";
    EXPECT_LT(player.reachedAfter, 40.0f);
}

// From the checkpoint east toward the ramp, the way the wave is, for six
// seconds: the rounds he holds then against what the wave's two take, a
// new player landing one shot in three.
class WalkingEast : public IslandArrival {
public:
    WalkingEast() : IslandArrival(5) {}

    void Play(int t) override
    {
        if (t < kWalkFrames)
            RunToward(keys, D3DXVECTOR3(-840.0f, 372.0f, 300.0f), 10.0f);
        else
            keys.SetKey(DIK_W, false);
    }

    void Look(int t) override
    {
        if (t != kWalkFrames)
            return;
        const CGun* gun = getPlayer()->GetGun();
        pistolRounds = gun->GetCurrentClip() + gun->GetAmmo();
        pistolDamage = gun->GetDamage();
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
            waveLife += entry.second->GetLife();
    }

    bool Done(int t) override { return t >= kWalkFrames; }

    static constexpr int kWalkFrames = 180;
    int pistolRounds = 0, pistolDamage = 0, waveLife = 0;
};

class FifthCheckpointRounds : public ShippedRun<WalkingEast> {
protected:
    FifthCheckpointRounds() : ShippedRun("fifth_checkpoint_rounds") {}
};

TEST_F(FifthCheckpointRounds, WhatLiesOnTheWayArmsTheHeroForItsWave)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_GT(player.pistolDamage, 0);
    const int bodyHits = (player.waveLife + player.pistolDamage - 1) / player.pistolDamage;
    EXPECT_GE(bodyHits, 15) << "the wave's life, " << player.waveLife;
    EXPECT_GE(player.pistolRounds, 3 * bodyHits);
}

} // namespace
} // namespace looptest
