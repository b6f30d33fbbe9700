// The shipped game at the keyboard as a player has it: every key repeat and
// character a message of its own.
#include "loop_fixture.h"

#include <SDL.h>

#include <functional>
#include <map>

#include "app/Startup.h"
#include "app/WinMain.h"
#include "math/VectorMath.h"
#include "platform/offscreen_device_fixture.h"
#include "platform/sdl_window.h"
#include "player/Player.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

void Push(SDL_Event e)
{
    e.key.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow)); // the same place in every event kind
    SDL_PushEvent(&e);
}

void PushText(const char* text)
{
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
    SDL_strlcpy(e.text.text, text, sizeof e.text.text);
    SDL_PushEvent(&e);
}

// A key going down (repeating while held) and what it types, then, unless
// held on, its release.
void PushKey(SDL_Scancode code, SDL_Keycode sym, const char* text = nullptr, bool repeat = false)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.repeat = repeat;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = sym;
    Push(e);
    if (text)
        PushText(text);
    if (!repeat) {
        e.type = SDL_KEYUP;
        Push(e);
    }
}

// The key left of "1": "º" on a Spanish keyboard, "`" on a US one.
void PushConsoleKey(const char* printed) { PushKey(SDL_SCANCODE_GRAVE, '`', printed); }

void PushLine(const char* line)
{
    for (const char* c = line; *c; ++c) {
        const char one[2] = {*c, 0};
        PushText(one);
    }
    PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN);
}

// Runs the script's step for each pass of either loop (before the pass:
// its events pushed, its keys held), counting from the first pass of the
// main menu; keys are held for the one pass.
class Typist : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (!focused)
            SetFocus(MainWindow); // the offscreen driver gives no focus by itself
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

// A second of D held down (thirty repeats, each typing a "d") for twenty
// seconds, three hundred typed characters, then a console line: it acts in
// the next frame, and a close of the window after it ends the game at once.
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
        for (int i = 0; i < 300; ++i)
            PushText(i % 2 ? "x" : "y");
        PushConsoleKey("\xC2\xBA");
        PushLine("Mission 3");
        PushConsoleKey("\xC2\xBA");
        pushedAt = fine.Ticks();
    };
    p.steps[6] = [&] {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        Push(e);
    };
    p.lastPass = 80;
    for (int pass = 5; pass <= p.lastPass; ++pass)
        p.probes[pass] = [&] { lastDrawnAt = fine.Ticks(); };
    p.probes[5] = [&] {
        missionAfter = getGUI().currentMission;
        lastDrawnAt = fine.Ticks();
    };
    const int result = VantorelMain();
    platform::SetClock(&clock);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(missionAfter, 3) << "the line typed after them all ran in the first frame";
    EXPECT_EQ(p.passes, 5) << "no frame was drawn after the close";
    EXPECT_LT((lastDrawnAt - pushedAt) / 1e6, 0.1);
}

} // namespace
} // namespace looptest
