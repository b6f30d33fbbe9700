// Runs of the shipped game that hold what a player met in play: shots that
// kill and leave a body lying, the first hangar wave woken by its volume, the
// first checkpoint's logic, and radio subtitles that end with their level.
#include "loop_fixture.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include <functional>
#include <map>
#include <set>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "app/WinMain.h"
#include "script/ScriptHost.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/WeaponPickups.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"
#include "scene/CharacterEntity.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

// Return on the menu, then per in-game frame (paused frames too) the keys
// and buttons held, lines and probes run after that frame; frames are drawn
// only where a probe reads pixels, and every tenth.
class FaultsPlayer : public NewGamePlayer {
public:
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive) {
            CGameCalls::RenderFrame(dt);
            return;
        }
        ++frames;
        if (frames % 10 == 0 || draws.count(frames))
            CGameCalls::RenderFrame(dt);
        const auto probe = probes.find(frames);
        if (probe != probes.end())
            probe->second();
        if (frames >= lastFrame) {
            getGUI().exitRequested = true;
            return;
        }
        const int next = frames + 1;
        for (int key : {DIK_SPACE, DIK_W, DIK_A, DIK_S, DIK_D, DIK_Q, DIK_R, DIK_ESCAPE, DIK_RETURN, DIK_DOWN})
            keys.SetKey(key, false);
        keys.SetButton(0, false);
        keys.SetButton(1, false);
        for (const auto& [key, range] : held)
            if (next >= range.first && next <= range.second) {
                if (key >= kButton)
                    keys.SetButton(key - kButton, true);
                else
                    keys.SetKey(key, true);
            }
        const auto line = lines.find(frames);
        if (line != lines.end())
            getScriptHost().RunCommand(line->second);
    }
    // The loading screen's frames come before the new game's managers are
    // reset: what they show is whatever the process held before.
    void ResetManagers() override
    {
        CGameCalls::ResetManagers();
        playing = true;
    }
    // Pressed for the one frame.
    void Tap(int key, int frame) { held.insert({key, {frame, frame}}); }

    static constexpr int kButton = 1000;
    std::multimap<int, std::pair<int, int>> held;
    std::map<int, std::string> lines;
    std::map<int, std::function<void()>> probes;
    std::set<int> draws;
    int frames = 0, lastFrame = 100;
    bool playing = false;
};

class PlayFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        CGUIManager& gui = getGUI();
        gui.itemReturn = true;
        gui.itemCheckpoint = gui.itemOptions = gui.itemHelp = gui.itemAchievements = gui.itemBackToMain = false;
        gui.controlsActive = gui.achievementsActive = false;
        getTriggerManager().checkpoint = 1;
        platform::SetClock(&clock);
        platform::SetDirectInputSource(&player.keys);
        SetGameCalls(&player);
        LinkShippedGame();
        // Comic and flight skipped.
        for (int f = 2; f <= 20; f += 3)
            player.Tap(DIK_SPACE, f);
    }
    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        getTriggerManager().checkpoint = 1;
        getSubtitulos().subtitlesEnabled = false;
        getGUI().subtitlesOn = false;
        ResetGameState();
    }

    // The island's first wave after the console's Checkpoint 3 at the given
    // frame, its flight skipped.
    void ToTheIsland(int at)
    {
        player.lines[at] = "Checkpoint 3";
        for (int f = at + 4; f < at + 20; f += 3)
            player.Tap(DIK_SPACE, f);
    }

    drawtest::ScratchFolder folder{"play_faults"};
    SteppingClock clock{0.001};
    FaultsPlayer player;
};

struct EnemySeen {
    int life = -1;
    std::uint16_t state = 0;
    bool destroyed = false, visible = false, hasBody = false;
    D3DXVECTOR3 position{0, 0, 0};
    // The head's bone in the model, from the feet up.
    D3DXVECTOR3 head{0, 0, 0};
};

EnemySeen LookAt(const std::string& name)
{
    EnemySeen seen;
    CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave(name);
    if (!enemy)
        return seen;
    seen.life = enemy->GetLife();
    seen.state = enemy->getIA()->GetState();
    seen.destroyed = enemy->getIA()->IsDestroyed();
    seen.visible = enemy->GetEntity()->IsVisible();
    const D3DXMATRIX head = enemy->GetEntity()->GetBoneMatrix("EBip01 Head");
    seen.head = D3DXVECTOR3(head._41, head._42, head._43);
    seen.hasBody = getCollisionManager().GetEnemyBodies().count(name) > 0;
    seen.position = enemy->GetPosition().GetPosition();
    return seen;
}

// On the island, the aim held on the second-nearest soldier ("ene_31", life
// 100): each pistol shot in the body takes 15. A clip, a reload and a moment
// to aim again do not give him his life back: the seventh shot fells him. He
// lies where he fell without his body in the world, his pistol beside him,
// and the next shots along the same line fly past where he stood.
TEST_F(PlayFaults, SevenBodyShotsFellASoldierWhoLiesStillAndNoLongerStopsShots)
{
    using P = FaultsPlayer;
    ToTheIsland(20);
    // Aiming from frame 60; Q picks the nearest enemy, a second press the next.
    player.held.insert({P::kButton + 1, {60, 560}});
    player.Tap(DIK_Q, 64);
    player.held.insert({DIK_Q, {68, 400}});
    // A clip, a reload, the seventh shot seven seconds after the sixth.
    for (int f = 90; f <= 150; f += 12)
        player.Tap(P::kButton + 0, f);
    player.Tap(DIK_R, 160);
    player.Tap(P::kButton + 0, 360);
    // After he has fallen, two more along the same line.
    player.Tap(P::kButton + 0, 520);
    player.Tap(P::kButton + 0, 535);
    player.lastFrame = 550;

    std::map<int, EnemySeen> seen;
    std::map<int, int> hits;
    std::map<int, float> shotReach;
    std::map<int, int> stains;
    for (int f = 80; f <= 550; f += 1)
        player.probes[f] = [&seen, &hits, &shotReach, &stains, f] {
            const auto& systems = getParticleManager().GetSystems();
            const auto blood = systems.find("sangre_suelo");
            stains[f] = blood != systems.end() ? blood->second->CountLive() : -1;
            seen[f] = LookAt("ene_31");
            hits[f] = getAchievementStats().bodyPartsHit;
            shotReach[f] = DistanceXZ(getCollisionManager().lastShotPoint, getPlayer()->GetPosition().GetPosition());
        };
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(seen[80].life, 100) << "a soldier of the island's first wave";
    // The frame after which the n-th shot had struck him.
    auto struck = [&](int n) {
        for (const auto& [f, count] : hits)
            if (count - hits[80] >= n)
                return f;
        return 0;
    };
    ASSERT_GT(struck(7), 0) << "seven shots reached him";
    EXPECT_EQ(seen[struck(1)].life, 85) << "one body shot";
    EXPECT_GE(stains[struck(1)], stains[80] + 3) << "his blood on the ground";
    EXPECT_EQ(seen[struck(6)].life, 10) << "six body shots, still up";
    EXPECT_NE(seen[struck(6)].state, CIAEnemyCover::DEAD);
    EXPECT_EQ(seen[struck(7)].life, 0);
    EXPECT_EQ(seen[struck(7)].state, CIAEnemyCover::DEAD) << "the seventh fells him";
    const int fell = struck(7);
    EXPECT_EQ(seen[359].life, 10) << "no life came back while the hero reloaded and aimed again";
    EXPECT_TRUE(seen[500].destroyed) << "his fall has ended";
    EXPECT_FALSE(seen[500].hasBody) << "nothing of him is left in the world to stop shots or the hero";
    EXPECT_TRUE(seen[500].visible) << "the body lies there";
    EXPECT_EQ(seen[500].position, seen[550].position) << "he lies still";
    EXPECT_EQ(seen[500].head, seen[550].head) << "not a bone of him stirs";
    EXPECT_EQ(getWeaponPickups().GetPickups().count("obj_shotgun_ene_31"), 1u) << "his pistol lies beside him";
    EXPECT_EQ(hits[550], hits[500]) << "the later shots hit no body";
    EXPECT_GT(shotReach[550], shotReach[fell] + 50.0f) << "they fly on past where he stood";
}

} // namespace
} // namespace looptest

namespace looptest {
namespace {

// Where the hero's shot would cross the enemy's upright line: the height of
// the aim's line above the enemy's feet, at his distance.
float AimHeightAt(const D3DXVECTOR3& feet)
{
    const CCamera& camera = getCamera();
    const D3DXVECTOR3 from = camera.GetLookAt();
    const D3DXVECTOR3 way = from - camera.GetPosition();
    const float across = std::sqrt(way.x * way.x + way.z * way.z);
    const float distance = DistanceXZ(from, feet);
    return from.y + way.y * distance / across - feet.y;
}

// The same soldier, the aim locked on his chest and then raised by the mouse
// to his head: one pistol shot fells him, and he falls as a head shot does.
TEST_F(PlayFaults, OneHeadShotFellsASoldier)
{
    using P = FaultsPlayer;
    ToTheIsland(20);
    player.held.insert({P::kButton + 1, {60, 330}});
    player.Tap(DIK_Q, 64);
    player.held.insert({DIK_Q, {68, 130}});
    // Once the lock has let go, the mouse lifts the aim onto his head: one
    // step up or down, then a wait for the view to catch up with it, until
    // it is there. (A step every frame outruns the view and swings round
    // the head.)
    float headHeight = 0.0f;
    for (int f = 160; f < 280; f += 8)
        player.probes[f] = [&headHeight] {
            CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave("ene_31");
            const D3DXVECTOR3 feet = enemy->GetPosition().GetPosition();
            const D3DXMATRIX head = enemy->GetEntity()->GetBoneMatrix("EBip01 Head");
            headHeight = head._42 + 4.0f;
            const float error = AimHeightAt(feet) - headHeight;
            if (std::fabs(error) < 1.5f)
                return;
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            motion.motion.yrel = error > 0.0f ? 1 : -1;
            SDL_PushEvent(&motion);
        };
    player.Tap(P::kButton + 0, 290);
    player.lastFrame = 330;
    std::map<int, EnemySeen> seen;
    std::map<int, float> aim;
    int headShots = -1;
    for (int f : {150, 289, 292, 330})
        player.probes.insert({f, [&seen, &aim, &headShots, f] {
                                  seen[f] = LookAt("ene_31");
                                  aim[f] = AimHeightAt(seen[f].position);
                                  if (f == 289)
                                      headShots = getAchievementStats().headShots;
                              }});
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(seen[150].life, 100);
    EXPECT_NEAR(aim[150], 55.0f, 5.0f) << "the lock aims at his chest";
    EXPECT_NEAR(aim[289], headHeight, 2.0f) << "the mouse lifted it to his head";
    EXPECT_EQ(seen[292].life, 0);
    EXPECT_EQ(seen[292].state, CIAEnemyCover::DEAD) << "one shot in the head";
    EXPECT_EQ(getAchievementStats().headShots, headShots + 1);
    const std::string fall = getEnemyManager()->getThisBotOfCurrentWave("ene_31")->getIA()->GetDeathAnimation();
    EXPECT_TRUE(fall == "headdead" || fall == "vuelta") << fall;
}

// The first hangar wave waits behind the yard's first volume. The hero, run
// there from the start, wakes it (his feet rest a little inside the ground,
// below where the volume's floor used to be); its soldiers get their bodies
// and his shots reach them. (Seen, they only call their wave's
// script, "ene1_2": the level script decides when they move.)
TEST_F(PlayFaults, RunningIntoTheFirstVolumeWakesTheFirstHangarWave)
{
    using P = FaultsPlayer;
    // W runs him north-east into the yard, through the first volume.
    player.held.insert({DIK_W, {30, 110}});
    player.held.insert({P::kButton + 1, {140, 220}});
    player.held.insert({DIK_Q, {145, 220}});
    player.Tap(P::kButton + 0, 180);
    player.Tap(P::kButton + 0, 200);
    player.lastFrame = 220;
    std::map<int, std::string> wave;
    std::map<int, EnemySeen> soldier5, soldier6;
    std::map<int, int> lifeLost;
    for (int f : {28, 130, 220})
        player.probes[f] = [&, f] {
            wave[f] = getEnemyManager()->GetCurrentWave();
            soldier5[f] = LookAt("ene_5");
            soldier6[f] = LookAt("ene_6");
            int lost = 0;
            for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
                lost += entry.second->GetTopLife() - entry.second->GetLife();
            lifeLost[f] = lost;
        };
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_EQ(wave[28], "wave_00") << "the intro's ghost wave until then";
    EXPECT_EQ(wave[130], "wave_01");
    EXPECT_TRUE(soldier5[130].hasBody && soldier6[130].hasBody);
    EXPECT_GT(lifeLost[220], lifeLost[130]) << "his shots reached the wave";
}

// A new game starts from a fresh script state with every volume armed: the
// first checkpoint's logic has nothing to do there and is never switched on
// (the menu's reset would drop it anyway). A restart at that checkpoint, from
// the pause menu, switches it on; it runs at the next tick and arms the stretch
// again, so the first volume wakes the first wave once more.
TEST_F(PlayFaults, TheFirstCheckpointsLogicRunsOnItsRestartNotOnANewGame)
{
    bool everOnAfterNewGame = false;
    for (int f = 1; f < 100; ++f)
        player.probes[f] = [this, &everOnAfterNewGame, f] {
            everOnAfterNewGame |= player.playing && getTriggerManager().getEnabledTrigger("checkPoint1");
            if (f == 10)
                // Counts its runs in the script state the new game made.
                ASSERT_EQ(luaL_dostring(getScriptHost().GetState(),
                                        "local run = checkPoint1\n"
                                        "checkPoint1 = function(...) checkPoint1Runs = (checkPoint1Runs or 0) + 1 "
                                        "return run(...) end"),
                          0);
        };
    player.held.insert({DIK_W, {30, 100}});
    player.Tap(DIK_ESCAPE, 110);
    player.Tap(DIK_DOWN, 113);
    player.Tap(DIK_RETURN, 116);
    // After the restart he is put straight into the first volume.
    player.probes[200] = [] {
        const D3DXVECTOR3 inside(-850.0f, 9.231f, -600.0f);
        getPlayer()->GetPosition().SetPosition(inside);
        getCollisionManager().setNewPlayerPosition(inside);
    };
    player.lastFrame = 280;
    std::map<int, std::string> wave;
    std::map<int, bool> armed;
    int runs = -1;
    for (int f : {100, 150, 280})
        player.probes[f] = [&wave, &armed, &runs, f] {
            wave[f] = getEnemyManager()->GetCurrentWave();
            armed[f] = getTriggerManager().FindVolume("trg_01")->enabled;
            if (f == 150) {
                lua_State* L = getScriptHost().GetState();
                lua_getglobal(L, "checkPoint1Runs");
                runs = lua_isnumber(L, -1) ? static_cast<int>(lua_tointeger(L, -1)) : 0;
                lua_pop(L, 1);
            }
        };
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_FALSE(everOnAfterNewGame);
    EXPECT_EQ(wave[100], "wave_01");
    EXPECT_FALSE(armed[100]) << "the first volume did its job";
    EXPECT_EQ(runs, 1) << "the restart ran the checkpoint's logic once";
    EXPECT_EQ(wave[150], "wave_00");
    EXPECT_TRUE(armed[150]) << "and it armed the first volume again";
    EXPECT_EQ(wave[280], "wave_01");
}

// The intro's ghost wave stands in the yard until the first volume; a death
// and the revive at the first checkpoint take it away for good: the restart
// kills the wave it starts on, so no soldier of it stands, is drawn or has a
// body, and the first volume still wakes the first wave.
TEST_F(PlayFaults, AReviveAtTheFirstCheckpointLeavesNoGhostWaveStanding)
{
    struct Ghosts {
        std::string wave;
        int standing = 0, drawn = 0, bodies = 0;
        bool anyAlive = false;
    };
    std::map<int, Ghosts> seen;
    std::map<int, int> life;
    for (int f : {30, 140})
        player.probes[f] = [&seen, f] {
            Ghosts& g = seen[f];
            CEnemyManager* enemies = getEnemyManager();
            g.wave = enemies->GetCurrentWave();
            g.anyAlive = enemies->anyBotAlive();
            for (const auto& entry : enemies->GetCurrentWaveEnemies()) {
                const EnemySeen one = LookAt(entry.first);
                g.standing += !one.destroyed && one.life > 0;
                g.drawn += one.visible;
                g.bodies += one.hasBody;
            }
        };
    player.lines[40] = "FuckPlayer 400";
    for (int f : {45, 100})
        player.probes[f] = [&life, f] { life[f] = getPlayer()->GetLife(); };
    player.Tap(DIK_SPACE, 90);
    player.probes[150] = [] {
        const D3DXVECTOR3 inside(-850.0f, 9.231f, -600.0f);
        getPlayer()->GetPosition().SetPosition(inside);
        getCollisionManager().setNewPlayerPosition(inside);
    };
    std::string woken;
    player.probes[190] = [&woken] { woken = getEnemyManager()->GetCurrentWave(); };
    player.lastFrame = 190;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(seen[30].wave, "wave_00");
    EXPECT_GT(seen[30].standing, 0) << "the ghost wave stands after the intro";
    EXPECT_GT(seen[30].drawn, 0);
    EXPECT_LE(life[45], 0) << "the console's life command killed him";
    EXPECT_EQ(life[100], 350) << "Space revived him";
    EXPECT_EQ(seen[140].wave, "wave_00");
    EXPECT_EQ(seen[140].standing, 0);
    EXPECT_EQ(seen[140].drawn, 0);
    EXPECT_EQ(seen[140].bodies, 0);
    EXPECT_FALSE(seen[140].anyAlive);
    EXPECT_EQ(woken, "wave_01");
}

// Killed by the console's life command while he aims: he falls, stays down
// rather than healing back up from nothing, and Space revives him.
TEST_F(PlayFaults, KilledWhileAimingHeFallsStaysDownAndSpaceRevivesHim)
{
    std::map<int, std::string> state;
    std::map<int, int> life;
    std::map<int, bool> dead;
    player.held.insert({FaultsPlayer::kButton + 1, {25, 60}});
    player.lines[40] = "FuckPlayer 400";
    for (int f : {38, 45, 250, 270})
        player.probes[f] = [&state, &life, &dead, f] {
            state[f] = getPlayer()->GetControllerSelector()->GetStateName();
            dead[f] = getPlayer()->GetControllerSelector()->IsPlayerDead();
            life[f] = getPlayer()->GetLife();
        };
    player.Tap(DIK_SPACE, 255);
    player.lastFrame = 270;
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_EQ(state[38], "AIMING");
    EXPECT_EQ(life[38], 350);
    EXPECT_EQ(state[45], "FREE") << "out of his aim to fall";
    EXPECT_LE(life[45], 0);
    EXPECT_LE(life[250], 0) << "eight seconds on he has not healed";
    EXPECT_TRUE(dead[250]);
    EXPECT_FALSE(dead[270]);
    EXPECT_EQ(life[270], 350) << "Space revived him";
    EXPECT_EQ(state[270], "FREE");
}

// Where the subtitles' pure yellow is, in rows top to bottom.
std::vector<bool> YellowMask(const std::vector<D3DCOLOR>& pixels, int top, int bottom)
{
    const int w = static_cast<int>(ClientWidth);
    std::vector<bool> mask;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < w; ++x) {
            const D3DCOLOR c = pixels[static_cast<size_t>(y) * w + x];
            mask.push_back(((c >> 16) & 0xFF) > 235 && ((c >> 8) & 0xFF) > 235 && (c & 0xFF) < 40);
        }
    return mask;
}

// With subtitles on, the hangar radio's line shows by the radio at the start;
// on the island the line in the radio's place is never that one again:
// after the flight, in play, through the pause menu and another restart.
TEST_F(PlayFaults, TheHangarRadiosLineEndsWithTheHangars)
{
    // Switched on as the options screen does (loading set them off).
    player.probes[1] = [] {
        getGUI().subtitlesOn = true;
        getSubtitulos().subtitlesEnabled = true;
    };
    std::map<std::string, std::vector<bool>> yellow;
    std::map<std::string, bool> hangarLine;
    auto look = [&](int frame, const std::string& name) {
        player.draws.insert(frame);
        player.probes[frame] = [&yellow, &hangarLine, name] {
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            // The radio's band, above the voice lines' band.
            const int H = static_cast<int>(ClientHeight);
            yellow[name] = YellowMask(pixels, static_cast<int>(0.74 * H), static_cast<int>(0.84 * H));
            hangarLine[name] = getSubtitulos().hangarRadioVisible;
        };
    };
    // The radio's first line runs from its 2nd to its 8th second.
    look(150, "hangar");
    ToTheIsland(200);
    look(400, "island");
    player.Tap(DIK_ESCAPE, 420);
    look(430, "paused");
    player.Tap(DIK_RETURN, 440);
    ToTheIsland(460);
    look(620, "restarted");
    player.lastFrame = 630;
    ASSERT_EQ(VantorelMain(), 0);

    const std::vector<bool>& first = yellow["hangar"];
    const auto lit = std::count(first.begin(), first.end(), true);
    EXPECT_GT(lit, 100) << "the radio's line by the radio";
    for (const char* when : {"island", "paused", "restarted"}) {
        const std::vector<bool>& now = yellow[when];
        ASSERT_EQ(now.size(), first.size());
        long same = 0;
        for (size_t i = 0; i < now.size(); ++i)
            same += now[i] && first[i];
        EXPECT_LT(same, lit / 2) << when << ": the hangar radio's line is still on screen";
        EXPECT_FALSE(hangarLine[when]) << when;
    }
}

} // namespace
} // namespace looptest
