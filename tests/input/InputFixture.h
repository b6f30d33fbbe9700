// Drives the input code without hardware: a fake keyboard, mouse and pad behind
// the platform's seams, a window that has the focus, and a controller that
// writes down the action codes it receives.
#pragma once

#include "input/InputManager.h"
#include "platform/dinput.h"
#include "platform/win32.h"
#include "platform/xinput.h"
#include "player/IController.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace inputtest {

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

    std::vector<std::string> Take()
    {
        std::vector<std::string> taken;
        taken.swap(events);
        return taken;
    }

    std::vector<std::string> events;
    int stateCode = 30;
    void (*onPress)(int code) = nullptr;
};

inline LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// One window for the whole test program: opening windows is the slow part.
inline HWND TestWindow()
{
    static HWND window = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = QuietProc;
        wc.lpszClassName = "InputTestClass";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, "InputTestClass", "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, 64, 48,
                               nullptr, nullptr, nullptr, nullptr);
    }();
    return window;
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = TestWindow();
        ASSERT_NE(window, nullptr);
        platform::SetDirectInputSource(&keys);
        platform::SetPadSource(&pad);
        SetFocus(window);
        ASSERT_EQ(GetFocus(), window);
    }

    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetPadSource(nullptr);
    }

    // A manager with its devices on the test window, sending to `controller`.
    void InitManager(CInputManager& manager)
    {
        manager.Init(nullptr, window);
        manager.SetControllerSource([this] { return current; });
    }

    void MoveMouse(int dx, int dy, int wheel = 0) { platform::FeedMouseInput(dx, dy, wheel); }

    void SetStick(SHORT lx, SHORT ly)
    {
        pad.gamepad.sThumbLX = lx;
        pad.gamepad.sThumbLY = ly;
    }
    void SetButtons(WORD buttons) { pad.gamepad.wButtons = buttons; }

    HWND window = nullptr;
    platform::FakeDirectInput keys;
    platform::FakePad pad;
    RecordingController controller;
    IController* current = &controller;
};

} // namespace inputtest
