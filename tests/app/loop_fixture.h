// Shared by the loop, frame-update and window-key tests: the game's
// process-wide state put back to a known start, a window of the game's own
// procedure, calls that record what the loops and the frame update ask for,
// a clock that moves on by itself, and the timing log read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/FrameUpdate.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "platform/win32.h"
#include "script/Console.h"

namespace looptest {

// One call the loops or the frame update made, with the step it was given
// (0 for the calls that take none; the restart's flag as 1 or 0).
struct Call {
    std::string name;
    float value;
};

class RecordingCalls : public CGameCalls {
public:
    void RestartLevel(bool newGame) override { Add("RestartLevel", newGame ? 1.0f : 0.0f); }
    void AddPlayTime(float dt) override { Add("AddPlayTime", dt); }
    void UpdateSceneManager(float dt) override { Add("UpdateSceneManager", dt); }
    void UpdateInput() override { Add("UpdateInput", 0.0f); }
    void UpdateCamera(float dt) override { Add("UpdateCamera", dt); }
    void UpdateEnemies(float dt) override { Add("UpdateEnemies", dt); }
    void UpdateProjectiles(float dt) override { Add("UpdateProjectiles", dt); }
    void UpdateParticles(float dt) override { Add("UpdateParticles", dt); }
    void UpdateMissionText(float dt) override { Add("UpdateMissionText", dt); }
    void UpdateCollisions(float dt) override { Add("UpdateCollisions", dt); }
    void UpdatePlayer(float dt) override { Add("UpdatePlayer", dt); }
    void UpdateSound(float dt) override { Add("UpdateSound", dt); }
    void UpdatePickups(float dt) override { Add("UpdatePickups", dt); }
    void UpdateSubtitles(float dt) override { Add("UpdateSubtitles", dt); }
    void UpdateTriggers(float dt) override { Add("UpdateTriggers", dt); }
    void SwitchLevelToIsla() override { Add("SwitchLevelToIsla", 0.0f); }
    void UpdateRigidAnims(float dt) override { Add("UpdateRigidAnims", dt); }
    void UpdateGUI(float dt) override { Add("UpdateGUI", dt); }
    void UpdateFrustum() override { Add("UpdateFrustum", 0.0f); }
    void UpdateMainMenu(float dt) override { Add("UpdateMainMenu", dt); }
    void UpdateFrame(float dt) override { Add("UpdateFrame", dt); }
    void RenderFrame(float dt) override { Add("RenderFrame", dt); }
    void ResetManagers() override { Add("ResetManagers", 0.0f); }

    // Runs after each call is recorded: lets a test act at a given point.
    std::function<void(const Call&)> onCall;

    std::vector<Call> calls;

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const Call& c : calls)
            names.push_back(c.name);
        return names;
    }
    std::vector<float> ValuesOf(const std::string& name) const
    {
        std::vector<float> values;
        for (const Call& c : calls)
            if (c.name == name)
                values.push_back(c.value);
        return values;
    }
    int Count(const std::string& name) const { return static_cast<int>(ValuesOf(name).size()); }

private:
    void Add(const char* name, float value)
    {
        calls.push_back({name, value});
        if (onCall)
            onCall(calls.back());
    }
};

// Moves on by a fixed amount every time the counter is read, so that a loop
// spinning on the counter ends; Advance adds the time a piece of work takes.
class SteppingClock : public platform::Clock {
public:
    static constexpr std::int64_t kTicksPerSecond = 1000000;

    explicit SteppingClock(double secondsPerRead) : m_Step(static_cast<std::int64_t>(secondsPerRead * kTicksPerSecond)) {}
    std::int64_t Ticks() override
    {
        m_Ticks += m_Step;
        ++reads;
        return m_Ticks;
    }
    std::int64_t TicksPerSecond() override { return kTicksPerSecond; }
    void Sleep(DWORD milliseconds) override { Advance(milliseconds / 1000.0); }
    void Advance(double seconds) { m_Ticks += static_cast<std::int64_t>(seconds * kTicksPerSecond); }
    double Now() const { return static_cast<double>(m_Ticks) / kTicksPerSecond; }

    int reads = 0;

private:
    std::int64_t m_Ticks = 0;
    std::int64_t m_Step;
};

// Everything the loops and the frame update read, back to how a new game
// starts: switches at their defaults, scale 1, no menu flag but the ones a
// test sets, the record reset, the console closed, the log off.
inline void ResetGameState()
{
    InitMainConfig();
    GameTimeScale = 1.0f;
    CGUIManager& gui = getGUI();
    gui.mainMenuActive = false;
    gui.pauseActive = false;
    gui.optionsActive = false;
    gui.exitRequested = false;
    gui.restartRequested = false;
    getGSF().resetStates();
    CConsole* console = getConsole();
    while (!console->GetInputLine().empty())
        console->OnChar(8);
    if (console->IsVisible())
        console->Toggle();
    getAchievementStats().playTime = 0.0f;
    getProfiler().Close();
    getProfiler().Enable(false);
    ResetWindowClosed();
    SetGameCalls(nullptr);
}

// The timing log's lines, each as its first word ("UPDATE", "RENDER")
// followed by its labels in order; the milliseconds between them are left out.
inline std::vector<std::vector<std::string>> ReadLogLabels(const std::string& path)
{
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, '\t'))
            fields.push_back(field);
        std::vector<std::string> labels;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i == 0 || i % 2 == 1)
                labels.push_back(fields[i]);
        }
        lines.push_back(labels);
    }
    return lines;
}

// A fresh empty working folder for one test, left again when it ends.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& name)
    {
        m_Previous = std::filesystem::current_path();
        m_Folder = std::filesystem::temp_directory_path() / ("vantorel_" + name + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_Folder);
        std::filesystem::create_directories(m_Folder);
        std::filesystem::current_path(m_Folder);
    }
    ~WorkFolder()
    {
        std::filesystem::current_path(m_Previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_Folder, ignored);
    }
    const std::filesystem::path& Path() const { return m_Folder; }

    static void Write(const std::string& name, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(name).parent_path());
        std::ofstream(name, std::ios::binary) << text;
    }

private:
    std::filesystem::path m_Previous;
    std::filesystem::path m_Folder;
};

// A window of the game's own procedure, made the game's window and given the
// focus; the game's state is reset around each test.
class GameWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_CLASSDC;
        wc.lpfnWndProc = WndProc;
        wc.lpszClassName = kClass;
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, kClass, "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, 64, 48, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        MainWindow = window;
        SetFocus(window);
        DrainMessages();
        SetGameCalls(&recorder);
    }

    void TearDown() override
    {
        SetGameCalls(nullptr);
        SetCapture(nullptr);
        ShowGameCursor(true);
        DestroyWindow(window);
        MainWindow = nullptr;
        DrainMessages();
        UnregisterClassA(kClass, nullptr);
        ResetGameState();
    }

    static void DrainMessages()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
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
