// The game's process-wide state put back to a start, calls that record what the
// loops ask for, a clock that moves by itself, and the timing log read back.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/FrameUpdate.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "app/shipped_folder.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "platform/win32.h"
#include "render/DeviceFixture.h"
#include "script/Console.h"

namespace looptest {

using drawtest::ScratchFolder;

#define LOOPTEST_STEP(fn) void fn(float dt) override { Add(#fn, dt); }
#define LOOPTEST_CALL(fn) void fn() override { Add(#fn, 0.0f); }

class RecordingCalls : public CGameCalls {
public:
    void RestartLevel(bool newGame) override { Add("RestartLevel", newGame ? 1.0f : 0.0f); }
    LOOPTEST_STEP(AddPlayTime) LOOPTEST_STEP(UpdateSceneManager) LOOPTEST_CALL(UpdateInput)
    LOOPTEST_STEP(UpdateCamera) LOOPTEST_STEP(UpdateEnemies) LOOPTEST_STEP(UpdateProjectiles)
    LOOPTEST_STEP(UpdateParticles) LOOPTEST_STEP(UpdateMissionText) LOOPTEST_STEP(UpdateCollisions)
    LOOPTEST_STEP(UpdatePlayer) LOOPTEST_STEP(UpdateSound) LOOPTEST_STEP(UpdatePickups)
    LOOPTEST_STEP(UpdateSubtitles) LOOPTEST_STEP(UpdateTriggers) LOOPTEST_CALL(SwitchLevelToIsla)
    LOOPTEST_STEP(UpdateRigidAnims) LOOPTEST_STEP(UpdateGUI) LOOPTEST_CALL(UpdateFrustum)
    LOOPTEST_STEP(UpdateMainMenu) LOOPTEST_STEP(UpdateFrame) LOOPTEST_STEP(RenderFrame)
    LOOPTEST_CALL(ResetManagers)

    // Every call in order, with its step (0 for calls without one; the restart's flag as 1 or 0).
    std::vector<std::string> names;
    std::vector<float> values;
    std::function<void(const std::string&)> onCall; // runs after each call is recorded

    std::vector<float> ValuesOf(const std::string& name) const
    {
        std::vector<float> found;
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                found.push_back(values[i]);
        return found;
    }
    int Count(const std::string& name) const { return static_cast<int>(std::count(names.begin(), names.end(), name)); }

private:
    void Add(const char* name, float value)
    {
        names.push_back(name);
        values.push_back(value);
        if (onCall)
            onCall(names.back());
    }
};

#undef LOOPTEST_STEP
#undef LOOPTEST_CALL

// Moves on at every read, so that a loop spinning on the counter ends.
class SteppingClock : public platform::Clock {
public:
    explicit SteppingClock(double secondsPerRead) : m_Step(static_cast<std::int64_t>(secondsPerRead * 1e6)) {}
    std::int64_t Ticks() override { return m_Ticks += m_Step; }
    std::int64_t TicksPerSecond() override { return 1000000; }
    void Sleep(DWORD milliseconds) override { Advance(milliseconds / 1000.0); }
    void Advance(double seconds) { m_Ticks += static_cast<std::int64_t>(seconds * 1e6); }

private:
    std::int64_t m_Ticks = 0;
    std::int64_t m_Step;
};

// Everything the loops read, back to how a new game starts.
inline void ResetGameState()
{
    InitMainConfig();
    windowed = move_cursor = true; // what a whole run copied from its configuration
    width = 800;
    height = 600;
    GameTimeScale = 1.0f;
    CGUIManager& gui = getGUI();
    gui.mainMenuActive = gui.pauseActive = gui.optionsActive = false;
    gui.exitRequested = gui.restartRequested = false;
    gui.ShowFightLoss(CGUIManager::FightLoss::None);
    getGSF().resetStates();
    CConsole* console = getConsole();
    while (!console->GetInputLine().empty())
        console->OnChar(8);
    if (console->IsVisible())
        console->Toggle();
    getAchievementStats().playTime = 0.0f;
    getSubtitulos().english = false;
    getProfiler().Close();
    getProfiler().Enable(false);
    ResetWindowClosed();
    ShowGameCursor(true);
    SetGameCalls(nullptr);
}

using shippedgame::LinkShippedGame;

// A scripted player's seams in, on a game reset to a new start: the clock
// the run steps, the keys it presses and the calls it watches the game by.
inline void SeatPlayer(platform::Clock& clock, platform::FakeDirectInput& keys, CGameCalls& calls)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ResetGameState();
    platform::SetClock(&clock);
    platform::SetDirectInputSource(&keys);
    SetGameCalls(&calls);
}

// And out again, the game reset for whatever runs next.
inline void UnseatPlayer()
{
    platform::SetDirectInputSource(nullptr);
    platform::SetClock(nullptr);
    ResetGameState();
}

// The window's close button, as the player's click reaches the game: a queued
// close event for the main window.
inline void PushWindowClose()
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
}

// A player who takes the main menu's new game at once: Return on the first
// pass, after giving the window the focus the offscreen driver never gives.
class NewGamePlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow);
        CGameCalls::UpdateMainMenu(dt);
        keys.SetKey(DIK_RETURN, menuPasses == 1);
    }

    platform::FakeDirectInput keys;
    int menuPasses = 0;
};

// A run of the shipped game with a scripted player: its own folder with the
// shipped data linked in, the stepping clock, the player's keys and calls.
// The folder comes first: it is the working folder while the run goes.
template <typename Player>
class ShippedRun : public ::testing::Test {
protected:
    explicit ShippedRun(const char* folderName) : folder(folderName) {}
    void SetUp() override
    {
        SeatPlayer(clock, player.keys, player);
        LinkShippedGame();
        // What these runs check is where things go and what the game says,
        // not its pixels (the play-through's menu is read at fractions of
        // the window): the shipped window's shape at a sixth of its pixels.
        shippedgame::PlayInWindow(kWidth, kHeight);
    }
    void TearDown() override { UnseatPlayer(); }

    static constexpr int kWidth = 320, kHeight = 240;
    ScratchFolder folder;
    SteppingClock clock{0.001};
    Player player;
};

inline void WriteFile(const std::string& name, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(name).parent_path());
    std::ofstream(name, std::ios::binary) << bytes;
}

// Each line of the timing log as its first word and its labels, the times left out.
inline std::vector<std::vector<std::string>> ReadLogLabels(const std::string& path)
{
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(path);
    std::string line, field;
    while (std::getline(in, line)) {
        std::vector<std::string> labels;
        std::stringstream stream(line);
        for (int i = 0; std::getline(stream, field, '\t'); ++i)
            if (i == 0 || i % 2 == 1)
                labels.push_back(field);
        lines.push_back(labels);
    }
    return lines;
}

// A focused window of the game's own procedure, with the recording calls installed.
class GameWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        WNDCLASSEXA wc{sizeof(wc), CS_CLASSDC, WndProc};
        wc.lpszClassName = kClass;
        RegisterClassExA(&wc);
        window = NewWindow();
        ASSERT_NE(window, nullptr);
        MainWindow = window;
        SetFocus(window);
        DrainMessages();
        SetGameCalls(&recorder);
    }

    void TearDown() override
    {
        SetCapture(nullptr);
        DestroyWindow(window);
        MainWindow = nullptr;
        DrainMessages();
        UnregisterClassA(kClass, nullptr);
        ResetGameState();
    }

    static HWND NewWindow()
    {
        return CreateWindowExA(0, kClass, "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, 64, 48, nullptr, nullptr,
                               nullptr, nullptr);
    }
    static void DrainMessages()
    {
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
        }
    }
    LRESULT Send(UINT message, WPARAM wParam) { return WndProc(window, message, wParam, 0); }
    void Type(const std::string& text)
    {
        for (unsigned char c : text)
            Send(WM_CHAR, c);
    }

    static constexpr const char* kClass = "VantorelLoopTest";
    HWND window = nullptr;
    RecordingCalls recorder;
};

} // namespace looptest
