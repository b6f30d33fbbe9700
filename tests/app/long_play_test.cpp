// A long session of the shipped game, played the way a restless player plays
// it: restarts at every checkpoint from the console and from the pause menu,
// level switches both ways, deaths and revives, back to the main menu and a
// new game, long bursts at the enemies with reloads, the pause screens, and
// console lines. Under the sanitizers a damaged heap ends the run at the first
// bad access. VANTOREL_SOAK_MINUTES sets the game time to play (a few minutes
// by default); every frame is updated, only every Nth one drawn where drawing
// is slow (VANTOREL_SOAK_DRAW_EVERY sets N).
#include "loop_fixture.h"
#include "play_through.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include <SDL.h>

#include "app/WinMain.h"
#include "platform/sdl_window.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "script/ScriptHost.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

#if defined(__SANITIZE_ADDRESS__)
#define VANTOREL_SOAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOREL_SOAK_SANITIZED 1
#endif
#endif

namespace looptest {
namespace {

#ifdef VANTOREL_SOAK_SANITIZED
constexpr int kDrawEvery = 60;
constexpr double kDefaultMinutes = 4.2;
#else
constexpr int kDrawEvery = 20;
constexpr double kDefaultMinutes = 4.2;
#endif

// One cycle of play, 50 s of game time at 30 frames a second; each cycle
// starts at the next checkpoint.
constexpr int kCycle = 1500;

// Peak resident memory of the process so far, in kilobytes.
long PeakResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    return 0;
}

class RestlessPlayer : public CGameCalls {
public:
    void RestartLevel(bool newGame) override
    {
        ++(newGame ? newGames : restarts);
        CGameCalls::RestartLevel(newGame);
    }
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow);
        CGameCalls::UpdateMainMenu(dt);
        // Return on the second pass of each visit: a fresh press.
        keys.SetKey(DIK_RETURN, menuPasses % 2 == 0);
        for (int key : {DIK_ESCAPE, DIK_SPACE, DIK_W, DIK_A, DIK_S, DIK_D, DIK_Q, DIK_R, DIK_DOWN, DIK_RIGHT})
            keys.SetKey(key, false);
        keys.SetButton(0, false);
        keys.SetButton(1, false);
    }
    // Called every pass of the game loop, paused or not: the player's hands.
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive) {
            CGameCalls::RenderFrame(dt);
            return;
        }
        ++frames;
        const std::string level = getScenario()->scenarioName;
        switches += !lastLevel.empty() && level != lastLevel;
        lastLevel = level;
        // The pause screens are drawn whenever they show: they are few.
        if (frames % drawEvery == 0 || getGUI().pauseActive)
            CGameCalls::RenderFrame(dt);
        const std::uint16_t fired = getAchievementStats().shotsFired;
        shots += fired >= lastFired ? fired - lastFired : fired;
        lastFired = fired;
        const std::uint16_t hit = getAchievementStats().bodyPartsHit;
        bodyHits += hit >= lastHit ? hit - lastHit : hit;
        lastHit = hit;
        if (frames >= lastFrame) {
            getGUI().exitRequested = true;
            return;
        }
        Play(frames % kCycle, frames / kCycle);
    }

    void Play(int f, int cycle)
    {
        auto tap = [&](int key, bool down) { keys.SetKey(key, down); };
        for (int key : {DIK_ESCAPE, DIK_RETURN, DIK_DOWN, DIK_UP, DIK_RIGHT})
            tap(key, false);
        const auto press = [&](const std::map<int, int>& schedule) {
            const auto at = schedule.find(f);
            if (at != schedule.end())
                tap(at->second, true);
        };
        if (f == 0) {
            // Typed into the console, a character a frame.
            playthrough::PushText("\xC2\xBA");
            playthrough::PushText("Checkpoint " + std::to_string(1 + cycle % 5));
            playthrough::PushReturn();
            playthrough::PushText("\xC2\xBA");
            // With subtitles on, as the options screen leaves them.
            getGUI().subtitlesOn = true;
            getSubtitulos().subtitlesEnabled = true;
        }
        // Comic panels and flights skipped where they can be; the revive.
        tap(DIK_SPACE, (f > 4 && f < 120 && f % 6 == 0) || (f > 604 && f < 700 && f % 6 == 0) || f == 1242);
        // Long bursts at whoever is nearest, the target held, a reload
        // before each burst.
        const bool aiming = (f > 150 && f < 600) || (f > 1050 && f < 1350);
        keys.SetButton(1, aiming);
        tap(DIK_Q, aiming && f % 150 > 10);
        keys.SetButton(0, aiming && f % 150 > 20 && f % 6 == 0);
        tap(DIK_R, f % 150 == 5);
        // A run about in between.
        tap(DIK_W, f > 620 && f < 660);
        tap(DIK_D, f > 650 && f < 690);
        tap(DIK_S, f > 680 && f < 730);
        tap(DIK_A, f > 720 && f < 750);
        // The pause menu: in and out; the achievements; the checkpoint item.
        press({{780, DIK_ESCAPE}, {790, DIK_RETURN},                                       // paused, resumed
               {800, DIK_ESCAPE}, {806, DIK_DOWN}, {812, DIK_DOWN}, {818, DIK_DOWN},       // to achievements
               {824, DIK_DOWN},   {830, DIK_RETURN}, {840, DIK_RETURN}, {846, DIK_UP},     // shown, closed
               {852, DIK_UP},     {858, DIK_UP},     {864, DIK_UP},   {870, DIK_RETURN},   // resumed
               // The checkpoint item right after a burst: tracers still fly, a
               // soldier may be falling.
               {584, DIK_ESCAPE}, {590, DIK_DOWN},   {596, DIK_RETURN}});
        // Console lines; a death and, after it, the revive.
        static const std::map<int, const char*> lines = {
            {920, "Mission 3"}, {930, "Subtitle intro_3++"}, {940, "Sound bRecargando"},
            {950, "ChangeMission 2"},
        };
        // Killed in the middle of a burst.
        if (f == 1200) {
            playthrough::PushText("\xC2\xBA");
            playthrough::PushText("FuckPlayer 400");
            playthrough::PushReturn();
            playthrough::PushText("\xC2\xBA");
        }
        const auto line = lines.find(f);
        if (line != lines.end())
            getScriptHost().RunCommand(line->second);
        // Every fourth cycle ends at the main menu; its Return starts a new game.
        // The others visit the options: the music louder, motion blur and
        // bloom switched, Escape back, and play on.
        if (cycle % 4 == 3)
            press({{1400, DIK_ESCAPE}, {1406, DIK_DOWN}, {1412, DIK_DOWN}, {1418, DIK_DOWN},
                   {1424, DIK_DOWN}, {1430, DIK_DOWN}, {1436, DIK_RETURN}});
        else
            press({{1400, DIK_ESCAPE}, {1406, DIK_DOWN}, {1412, DIK_DOWN}, {1418, DIK_RETURN},
                   {1424, DIK_RIGHT}, {1430, DIK_DOWN}, {1436, DIK_DOWN}, {1442, DIK_DOWN},
                   {1448, DIK_RIGHT}, {1454, DIK_DOWN}, {1460, DIK_RIGHT}, {1466, DIK_ESCAPE},
                   {1472, DIK_UP},     {1478, DIK_UP},   {1484, DIK_RETURN}});
    }

    platform::FakeDirectInput keys;
    int menuPasses = 0, frames = 0, lastFrame = 0, drawEvery = kDrawEvery;
    int restarts = 0, newGames = 0, switches = 0;
    long shots = 0, bodyHits = 0;
    std::uint16_t lastFired = 0, lastHit = 0;
    std::string lastLevel;
};

class LongPlay : public ::testing::Test {
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
    }
    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        getTriggerManager().checkpoint = 1;
        getGUI().subtitlesOn = false;
        getSubtitulos().subtitlesEnabled = false;
        ResetGameState();
    }

    drawtest::ScratchFolder folder{"long_play"};
    SteppingClock clock{0.001};
    RestlessPlayer player;
};

TEST_F(LongPlay, RestartsSwitchesDeathsAndLongShootingEndCleanly)
{
    double minutes = kDefaultMinutes;
    if (const char* text = std::getenv("VANTOREL_SOAK_MINUTES"))
        minutes = std::atof(text);
    player.lastFrame = static_cast<int>(minutes * 60.0 * 30.0);
    if (const char* text = std::getenv("VANTOREL_SOAK_DRAW_EVERY"))
        player.drawEvery = std::max(1, std::atoi(text));

    ASSERT_EQ(VantorelMain(), 0);

    const int cycles = player.lastFrame / kCycle;
    std::printf("soak: %d frames (%.1f game minutes), %d checkpoint restarts, %d new games, %d level switches, "
                "%ld shots, %ld body hits, peak memory %ld MB\n",
                player.frames, player.frames / 1800.0, player.restarts, player.newGames, player.switches,
                player.shots, player.bodyHits, PeakResidentKb() / 1024);
    EXPECT_EQ(player.frames, player.lastFrame) << "the game ran to the end";
    // A console restart and a pause-menu restart in most cycles, a revive in some.
    EXPECT_GE(player.restarts, 3 * cycles / 2);
    EXPECT_GE(player.newGames, 1 + cycles / 8);
    // A console restart the fight or a death overtakes may not switch.
    EXPECT_GE(player.switches, cycles / 5) << "to the island or back in every five cycles";
    EXPECT_GT(player.shots, 10L * cycles);
    EXPECT_GT(player.bodyHits, 0L) << "the bursts reach the enemies";
}

} // namespace
} // namespace looptest
