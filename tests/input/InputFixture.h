// Drives the input code without hardware: a fake keyboard, mouse and pad behind
// the platform's seams, a window that has the focus, and a manager whose
// controller writes down the action codes it receives.
#pragma once

#include "input/InputManager.h"
#include "platform/dinput.h"
#include "platform/win32.h"
#include "platform/xinput.h"
#include "player/IController.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace inputtest {

using Events = std::vector<std::string>;

inline Events operator+(Events a, const Events& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// "+100" for a press of code 100, "-100" for a release.
class RecordingController : public IController {
public:
    void OnActionPressed(int code) override
    {
        events.push_back("+" + std::to_string(code));
        if (onPress)
            onPress(code);
    }
    void OnActionReleased(int code) override { events.push_back("-" + std::to_string(code)); }
    void Update(float) override {}
    int GetStateCode() override { return stateCode; }
    bool WasHit() override { return false; }
    Events Take() { return std::move(events); }

    Events events;
    int stateCode = 30;
    std::function<void(int code)> onPress;
};

// One window for the whole test program: opening windows is the slow part.
inline HWND TestWindow()
{
    static HWND window = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "InputTestClass";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, "InputTestClass", "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, 64, 48, nullptr,
                               nullptr, nullptr, nullptr);
    }();
    return window;
}

class InputTest : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_NE(window, nullptr);
        platform::SetDirectInputSource(&keys);
        platform::SetPadSource(&pad);
        SetFocus(window);
        manager.Init(nullptr, window);
        manager.SetControllerSource([this] { return current; });
    }
    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetPadSource(nullptr);
    }

    void MoveMouse(int dx, int dy, int wheel = 0) { platform::FeedMouseInput(dx, dy, wheel); }
    void SetStick(SHORT lx, SHORT ly) { pad.gamepad.sThumbLX = lx, pad.gamepad.sThumbLY = ly; }
    // One frame of the game: what the controller received.
    Events Frame()
    {
        manager.Update();
        return controller.Take();
    }

    HWND window = TestWindow();
    platform::FakeDirectInput keys;
    platform::FakePad pad;
    RecordingController controller;
    IController* current = &controller;
    CInputManager manager;
};

} // namespace inputtest
