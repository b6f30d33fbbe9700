// The shipped game at the keyboard as a player has it: every key repeat and
// character a message of its own, the console's key where a keyboard has it,
// and what is typed into the console kept from the screens underneath.
#include "loop_fixture.h"

#include "script/ScriptHost.h"

#include <SDL.h>

#include <functional>
#include <map>

#include "app/Startup.h"
#include "app/WinMain.h"
#include "math/VectorMath.h"
#include "platform/offscreen_device_fixture.h"
#include "platform/sdl_window.h"
#include "play_through.h"
#include "player/Player.h"
#include "script/Console.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

using playthrough::PushText;

// A key going down, what it types, then, unless it repeats held down, its release.
void PushKey(SDL_Scancode code, SDL_Keycode sym, const char* text = "", bool repeat = false)
{
    SDL_Event e{};
    e.key.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
    e.key.repeat = repeat;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = sym;
    e.type = SDL_KEYDOWN;
    SDL_PushEvent(&e);
    PushText(text);
    e.type = SDL_KEYUP;
    if (!repeat)
        SDL_PushEvent(&e);
}

// The key left of "1": "º" on a Spanish keyboard, "`" on a US one.
void PushConsoleKey(const char* printed) { PushKey(SDL_SCANCODE_GRAVE, '`', printed); }

void PushLine(const std::string& line)
{
    PushText(line);
    playthrough::PushReturn();
}

// Runs the script's step for each pass of either loop (before the pass:
// its events pushed, its keys held), counting from the first pass of the
// main menu; keys are held for the one pass.
class Typist : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (!focused) {
            SetFocus(MainWindow); // the offscreen driver gives no focus by itself
            // The console's commands as a first start has them: a start after
            // another in one process finds the console built, and the level
            // scripts' fresh state without what "console.lua" defined.
            getScriptHost().DoFile("console.lua");
        }
        focused = true;
        CGameCalls::UpdateMainMenu(dt);
    }
    void RenderFrame(float dt) override
    {
        CGameCalls::RenderFrame(dt);
        ++passes;
        if (auto probe = probes.find(passes); probe != probes.end())
            probe->second();
        for (int key : held)
            keys.SetKey(key, false);
        held.clear();
        if (auto step = steps.find(passes + 1); step != steps.end())
            step->second();
        if (passes >= lastPass)
            getGUI().exitRequested = true;
    }
    void RestartLevel(bool newGame) override
    {
        if (!newGame)
            revives.push_back(getTriggerManager().checkpoint);
        CGameCalls::RestartLevel(newGame);
    }
    void Tap(int key)
    {
        keys.SetKey(key, true);
        held.push_back(key);
    }
    platform::FakeDirectInput keys;
    std::map<int, std::function<void()>> steps, probes; // by pass
    std::vector<int> held;
    std::vector<int> revives; // the checkpoint of each restart but a new game's
    int passes = 0, lastPass = 200;
    bool focused = false;
};

class KeyboardRun : public ShippedRun<Typist> {
protected:
    KeyboardRun() : ShippedRun("keyboard") {}
};

// D held down for twenty seconds (600 repeats, each typing a "d"), three
// hundred characters typed, then a console line: the line acts in the next
// frame, and a close of the window after it ends the game at once.
TEST_F(KeyboardRun, AKeyOrACloseActsAtOnceBehindHeldKeysAndTyping)
{
    Typist& p = player;
    p.steps[2] = [&] { p.Tap(DIK_RETURN); };
    std::int64_t pushedAt = 0, lastDrawnAt = 0;
    int missionAfter = 0;
    // A microsecond a reading: each queued message reads the clock once.
    SteppingClock fine(1e-6);
    platform::SetClock(&fine);
    p.steps[5] = [&] {
        for (int i = 0; i < 600; ++i)
            PushKey(SDL_SCANCODE_D, 'd', "d", true);
        PushText(std::string(300, 'x'));
        PushConsoleKey("\xC2\xBA");
        PushLine("Mission 3");
        PushConsoleKey("\xC2\xBA");
        pushedAt = fine.Ticks();
    };
    p.steps[6] = [&] {
        PushWindowClose();
    };
    p.lastPass = 80;
    for (int pass = 5; pass <= p.lastPass; ++pass)
        p.probes[pass] = [&, pass] {
            lastDrawnAt = fine.Ticks();
            if (pass == 5)
                missionAfter = getGUI().currentMission;
        };
    const int result = VantorelMain();
    platform::SetClock(&clock);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(missionAfter, 3) << "the line typed after them all ran in the first frame";
    EXPECT_EQ(p.passes, 5) << "no frame was drawn after the close";
    EXPECT_LT((lastDrawnAt - pushedAt) / 1e6, 0.1);
}

// On the main menu: the console opens and closes by the key left of "1"
// whatever it prints, the key's own character is never typed, and neither
// the menu's keys typed into it ("s" is down, Return selects) nor Escape
// move the menu: four downs and Return would have chosen Exit.
TEST_F(KeyboardRun, TheConsoleKeyIsTheKeyLeftOf1AndTypingMovesNoMenu)
{
    Typist& p = player;
    p.steps[3] = [] { PushConsoleKey("`"); };
    for (int pass = 4; pass <= 7; ++pass)
        p.steps[pass] = [&] {
            p.Tap(DIK_S);
            PushKey(SDL_SCANCODE_S, 's', "s");
        };
    p.steps[8] = [&] {
        p.Tap(DIK_RETURN);
        PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN);
    };
    p.steps[9] = [&] {
        p.Tap(DIK_ESCAPE);
        PushKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    };
    p.steps[10] = [&] {
        PushKey(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);
        PushConsoleKey("`");
    };
    bool openedByUsKey = false, closedByUsKey = false;
    p.probes[3] = [&] { openedByUsKey = getConsole()->IsVisible(); };
    p.probes[10] = [&] { closedByUsKey = !getConsole()->IsVisible(); };
    p.steps[12] = [] {
        PushConsoleKey("\xC2\xBA");
        PushLine("Mission 3");
    };
    p.steps[13] = [] { PushConsoleKey("\xC2\xBA"); };
    p.probes[13] = [&] { p.lastPass = p.passes; };
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_TRUE(openedByUsKey);
    EXPECT_TRUE(closedByUsKey);
    EXPECT_EQ(p.passes, 13) << "the menu took a key meant for the console";
    EXPECT_TRUE(getGUI().itemNewGame) << "the cursor moved";
    EXPECT_FALSE(getConsole()->IsVisible());
    EXPECT_EQ(getGUI().currentMission, 3) << "opened by the Spanish key, the console ran its line";
    const std::vector<std::string>& history = getConsole()->GetHistory();
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(history[history.size() - 2], "ssss") << "the console key typed nothing";
    EXPECT_EQ(history.back(), "Mission 3");
}

// Killed while holding D (a queue of its repeats behind him), a player opens
// the console on the death screen, names the last island checkpoint and
// presses Space: he is revived there, the line having run before Space was
// read. (Behind the queue, Space once revived him at the first checkpoint,
// the line still waiting.) Killed again with the console left open, the
// console shows over the death screen.
TEST_F(KeyboardRun, ACheckpointTypedOnTheDeathScreenIsWhereSpaceRevives)
{
    Typist& p = player;
    std::vector<D3DCOLOR> withConsole, withoutConsole;
    D3DXVECTOR3 revivedAt{0.0f, 0.0f, 0.0f};
    p.steps[2] = [&] { p.Tap(DIK_RETURN); };
    constexpr int g = 2; // the game's frame n is pass g + n
    for (int frame : {2, 4})
        p.steps[g + frame] = [&] { p.Tap(DIK_SPACE); }; // the comic, then the flight
    p.steps[g + 8] = [] {
        getPlayer()->reduceLife(400);
        for (int i = 0; i < 300; ++i)
            PushKey(SDL_SCANCODE_D, 'd', "d", true);
    };
    p.steps[g + 10] = [] {
        PushConsoleKey("\xC2\xBA");
        PushLine("Checkpoint 5");
        PushConsoleKey("\xC2\xBA");
    };
    for (int frame = 12; frame < 30; frame += 2)
        p.steps[g + frame] = [&] {
            if (getPlayer()->getLife() <= 0)
                p.Tap(DIK_SPACE);
        };
    p.probes[g + 30] = [&] { revivedAt = getPlayer()->GetPosition().GetPosition(); };
    p.steps[g + 32] = [] {
        PushConsoleKey("\xC2\xBA");
        PushLine("FuckPlayer 400");
    };
    p.probes[g + 34] = [&] { devicetest::ReadBackBuffer(D3DDevice, &withConsole); };
    p.steps[g + 36] = [] { PushConsoleKey("\xC2\xBA"); };
    p.probes[g + 36] = [&] { devicetest::ReadBackBuffer(D3DDevice, &withoutConsole); };
    p.lastPass = g + 36;
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_EQ(p.revives, std::vector<int>{5}) << "the checkpoint of each revive";
    EXPECT_LT(DistanceXZ(revivedAt, D3DXVECTOR3(-2297.4f, 0.0f, -163.31f)), 150.0f);
    EXPECT_LE(getPlayer()->getLife(), 0);

    // The prompt and its line, left of the middle 70 pixels above the bottom.
    const int w = kWidth, h = kHeight, top = h - 70 - 2 * debug_font_size, bottom = h - 70 + debug_font_size;
    ASSERT_EQ(withConsole.size(), static_cast<size_t>(w * h));
    ASSERT_EQ(withoutConsole.size(), withConsole.size());
    int differing = 0, elsewhere = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (withConsole[y * w + x] != withoutConsole[y * w + x])
                ++(y >= top && y < bottom && x < w / 2 ? differing : elsewhere);
    EXPECT_GT(differing, 30) << "the open console shows over the death screen";
    EXPECT_EQ(elsewhere, 0) << "nothing but the console";
}

// In a new game a player types a checkpoint the game does not have, or a
// command with a word that is no number: each is answered under the line,
// and nothing changes: no revive, no life taken, the checkpoint kept.
TEST_F(KeyboardRun, AWrongCheckpointOrAFailingCommandIsAnsweredUnderTheLineAndChangesNothing)
{
    Typist& p = player;
    p.steps[2] = [&] { p.Tap(DIK_RETURN); };
    constexpr int g = 2; // the game's frame n is pass g + n
    for (int frame : {2, 4})
        p.steps[g + frame] = [&] { p.Tap(DIK_SPACE); }; // the comic, then the flight
    const std::vector<std::string> lines = {"Checkpoint 99", "Checkpoint -1", "Checkpoint 1e10", "FuckPlayer lots"};
    std::vector<std::string> replies;
    int lifeBefore = 0, lifeAfter = 0, checkpointAfter = 0;
    p.probes[g + 7] = [&] { lifeBefore = getPlayer()->getLife(); };
    for (size_t i = 0; i < lines.size(); ++i) {
        p.steps[g + 8 + 2 * static_cast<int>(i)] = [&, i] {
            PushConsoleKey("\xC2\xBA");
            PushLine(lines[i]);
            PushConsoleKey("\xC2\xBA");
        };
        p.probes[g + 9 + 2 * static_cast<int>(i)] = [&] { replies.push_back(getConsole()->GetReply()); };
    }
    p.probes[g + 20] = [&] {
        lifeAfter = getPlayer()->getLife();
        checkpointAfter = getTriggerManager().checkpoint;
    };
    p.lastPass = g + 20;
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_EQ(replies, (std::vector<std::string>{"Checkpoint 99: there is no such checkpoint; they are 1 to 5",
                                                 "Checkpoint -1: there is no such checkpoint; they are 1 to 5",
                                                 "Checkpoint 1e10: there is no such checkpoint; they are 1 to 5",
                                                 "\"lots\" is not a number"}));
    EXPECT_GT(lifeBefore, 0);
    EXPECT_EQ(lifeAfter, lifeBefore) << "no life taken";
    EXPECT_TRUE(p.revives.empty()) << "no revive";
    EXPECT_EQ(checkpointAfter, 1) << "the checkpoint kept";
}

} // namespace
} // namespace looptest
