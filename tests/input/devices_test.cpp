// The keyboard, mouse and pad wrappers over the fake devices.

#include "input/Gamepad.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"

#include "InputFixture.h"

#include <cmath>
#include <limits>

namespace inputtest {
namespace {

class KeyboardTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        ASSERT_EQ(keyboard.Create(nullptr, window), DI_OK);
    }
    void TearDown() override
    {
        keyboard.Release();
        InputTest::TearDown();
    }
    CKeyboard keyboard;
};

TEST_F(KeyboardTest, AHeldKeyIsJustPressedOnceAndReleasedOnce)
{
    keys.SetKey(DIK_W, true);
    keyboard.Poll();
    EXPECT_TRUE(keyboard.IsKeyDown(DIK_W));
    EXPECT_TRUE(keyboard.IsKeyJustPressed(DIK_W));
    EXPECT_FALSE(keyboard.IsKeyReleased(DIK_W));
    EXPECT_TRUE(keyboard.HasChanged());

    for (int frame = 0; frame < 5; ++frame) {
        keyboard.Poll();
        EXPECT_TRUE(keyboard.IsKeyDown(DIK_W));
        EXPECT_FALSE(keyboard.IsKeyJustPressed(DIK_W));
        EXPECT_FALSE(keyboard.HasChanged());
    }

    keys.SetKey(DIK_W, false);
    keyboard.Poll();
    EXPECT_FALSE(keyboard.IsKeyDown(DIK_W));
    EXPECT_TRUE(keyboard.IsKeyReleased(DIK_W));
    EXPECT_TRUE(keyboard.HasChanged());
    keyboard.Poll();
    EXPECT_FALSE(keyboard.IsKeyReleased(DIK_W));
    EXPECT_FALSE(keyboard.HasChanged());
}

TEST_F(KeyboardTest, InTheBackgroundEveryKeyReadsUp)
{
    keys.SetKey(DIK_SPACE, true);
    keyboard.Poll();
    ASSERT_TRUE(keyboard.IsKeyDown(DIK_SPACE));

    SetFocus(nullptr);
    keyboard.Poll();
    EXPECT_FALSE(keyboard.IsKeyDown(DIK_SPACE));
    EXPECT_TRUE(keyboard.IsKeyReleased(DIK_SPACE));
    keyboard.Poll();
    EXPECT_FALSE(keyboard.IsKeyDown(DIK_SPACE));

    // Back in the foreground the held key is seen again, as a new press.
    SetFocus(window);
    keyboard.Poll();
    EXPECT_TRUE(keyboard.IsKeyJustPressed(DIK_SPACE));
}

TEST_F(KeyboardTest, CodesOutsideTheTableAreNeverDown)
{
    for (int i = 0; i < 256; ++i)
        keys.keys[i] = 0x80;
    keyboard.Poll();
    EXPECT_TRUE(keyboard.IsKeyDown(255));
    EXPECT_FALSE(keyboard.IsKeyDown(256));
    EXPECT_FALSE(keyboard.IsKeyDown(-1));
    EXPECT_FALSE(keyboard.IsKeyJustPressed(1000));
}

TEST_F(KeyboardTest, AKeyboardThatCannotBeCreatedReadsNothing)
{
    CKeyboard broken;
    // A foreground device needs a window.
    EXPECT_TRUE(FAILED(broken.Create(nullptr, nullptr)));
    EXPECT_FALSE(broken.HasDevice());
    keys.SetKey(DIK_W, true);
    broken.Poll();
    EXPECT_FALSE(broken.IsKeyDown(DIK_W));
    EXPECT_FALSE(broken.HasChanged());
}

class MouseTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        ASSERT_EQ(mouse.Create(nullptr, window), DI_OK);
        mouse.Poll(); // acquires: movement before this is never seen
    }
    void TearDown() override
    {
        mouse.Release();
        InputTest::TearDown();
    }
    CMouse mouse;
};

TEST_F(MouseTest, MovementAndWheelAreCountedSinceThePollBefore)
{
    MoveMouse(3, -4);
    MoveMouse(2, 1, 120);
    mouse.Poll();
    EXPECT_EQ(mouse.GetCurrentState().lX, 5);
    EXPECT_EQ(mouse.GetCurrentState().lY, -3);
    EXPECT_EQ(mouse.GetCurrentState().lZ, 120);
    EXPECT_TRUE(mouse.IsWheelMoved());
    EXPECT_TRUE(mouse.HasChanged());

    mouse.Poll();
    EXPECT_EQ(mouse.GetCurrentState().lX, 0);
    EXPECT_EQ(mouse.GetCurrentState().lY, 0);
    EXPECT_EQ(mouse.GetCurrentState().lZ, 0);
    EXPECT_EQ(mouse.GetPreviousState().lX, 5);
    EXPECT_EQ(mouse.GetPreviousState().lZ, 120);
    EXPECT_FALSE(mouse.IsWheelMoved());
    EXPECT_TRUE(mouse.HasChanged());

    // The same movement in two polls in a row is no change.
    MoveMouse(7, 0);
    mouse.Poll();
    MoveMouse(7, 0);
    mouse.Poll();
    EXPECT_FALSE(mouse.HasChanged());
}

TEST_F(MouseTest, MovementInTheBackgroundNeverArrives)
{
    SetFocus(nullptr);
    mouse.Poll(); // loses the device
    MoveMouse(50, 50, -240);
    mouse.Poll();
    EXPECT_EQ(mouse.GetCurrentState().lX, 0);
    SetFocus(window);
    mouse.Poll(); // acquires again
    EXPECT_EQ(mouse.GetCurrentState().lX, 0);
    EXPECT_EQ(mouse.GetCurrentState().lZ, 0);
}

TEST_F(MouseTest, ButtonEdgesForEachButton)
{
    struct Button {
        bool (CMouse::*down)() const;
        bool (CMouse::*justPressed)() const;
        bool (CMouse::*released)() const;
    };
    const Button buttons[] = {
        {&CMouse::IsLeftButtonDown, &CMouse::IsLeftButtonJustPressed, &CMouse::IsLeftButtonReleased},
        {&CMouse::IsRightButtonDown, &CMouse::IsRightButtonJustPressed, &CMouse::IsRightButtonReleased},
        {&CMouse::IsMiddleButtonDown, &CMouse::IsMiddleButtonJustPressed, &CMouse::IsMiddleButtonReleased},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Button& b = buttons[i];
        keys.SetButton(i, true);
        mouse.Poll();
        EXPECT_TRUE((mouse.*b.down)());
        EXPECT_TRUE((mouse.*b.justPressed)());
        EXPECT_FALSE((mouse.*b.released)());
        EXPECT_TRUE(mouse.HasChanged());
        mouse.Poll();
        EXPECT_TRUE((mouse.*b.down)());
        EXPECT_FALSE((mouse.*b.justPressed)());
        keys.SetButton(i, false);
        mouse.Poll();
        EXPECT_FALSE((mouse.*b.down)());
        EXPECT_TRUE((mouse.*b.released)());
        mouse.Poll();
        EXPECT_FALSE((mouse.*b.released)());
        // Only the asked button moved.
        for (int j = 0; j < 3; ++j)
            EXPECT_FALSE((mouse.*buttons[j].down)());
    }
}

TEST_F(MouseTest, TheFourthButtonIsNoChange)
{
    keys.SetButton(3, true);
    mouse.Poll();
    EXPECT_EQ(mouse.GetCurrentState().rgbButtons[3], 0x80);
    EXPECT_FALSE(mouse.HasChanged());
}

class GamepadTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        pad.connected = true;
    }
    CGamepad gamepad{1};
};

TEST_F(GamepadTest, ButtonEdgesForEveryButton)
{
    struct Button {
        WORD bit;
        bool (CGamepad::*down)() const;
        bool (CGamepad::*justPressed)() const;
        bool (CGamepad::*released)() const;
    };
#define BUTTON(bit, Name) {bit, &CGamepad::Is##Name##Down, &CGamepad::Is##Name##JustPressed, &CGamepad::Is##Name##Released}
    const Button buttons[] = {
        BUTTON(XINPUT_GAMEPAD_A, A), BUTTON(XINPUT_GAMEPAD_B, B), BUTTON(XINPUT_GAMEPAD_X, X),
        BUTTON(XINPUT_GAMEPAD_Y, Y), BUTTON(XINPUT_GAMEPAD_START, Start), BUTTON(XINPUT_GAMEPAD_BACK, Back),
        BUTTON(XINPUT_GAMEPAD_LEFT_THUMB, LeftThumb), BUTTON(XINPUT_GAMEPAD_RIGHT_THUMB, RightThumb),
        BUTTON(XINPUT_GAMEPAD_LEFT_SHOULDER, LeftShoulder), BUTTON(XINPUT_GAMEPAD_RIGHT_SHOULDER, RightShoulder),
        BUTTON(XINPUT_GAMEPAD_DPAD_UP, DpadUp), BUTTON(XINPUT_GAMEPAD_DPAD_DOWN, DpadDown),
        BUTTON(XINPUT_GAMEPAD_DPAD_LEFT, DpadLeft), BUTTON(XINPUT_GAMEPAD_DPAD_RIGHT, DpadRight),
    };
#undef BUTTON
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.bit);
        SetButtons(b.bit);
        EXPECT_TRUE(gamepad.Poll());
        EXPECT_TRUE((gamepad.*b.down)());
        EXPECT_TRUE((gamepad.*b.justPressed)());
        EXPECT_FALSE((gamepad.*b.released)());
        EXPECT_TRUE(gamepad.HasChanged());
        for (const Button& other : buttons)
            EXPECT_EQ((gamepad.*other.down)(), other.bit == b.bit);
        gamepad.Poll();
        EXPECT_TRUE((gamepad.*b.down)());
        EXPECT_FALSE((gamepad.*b.justPressed)());
        EXPECT_FALSE(gamepad.HasChanged());
        SetButtons(0);
        gamepad.Poll();
        EXPECT_TRUE((gamepad.*b.released)());
        EXPECT_FALSE((gamepad.*b.down)());
        gamepad.Poll();
        EXPECT_FALSE((gamepad.*b.released)());
    }
}

TEST_F(GamepadTest, SticksReadZeroInsideTheirDeadZones)
{
    pad.gamepad.sThumbLX = 7849;
    pad.gamepad.sThumbLY = -7849;
    pad.gamepad.sThumbRX = 8689;
    pad.gamepad.sThumbRY = -8689;
    gamepad.Poll();
    EXPECT_EQ(gamepad.GetLeftStickX(), 0.0f);
    EXPECT_EQ(gamepad.GetLeftStickY(), 0.0f);
    EXPECT_EQ(gamepad.GetRightStickX(), 0.0f);
    EXPECT_EQ(gamepad.GetRightStickY(), 0.0f);

    pad.gamepad.sThumbLX = 7850;
    pad.gamepad.sThumbLY = -7850;
    pad.gamepad.sThumbRX = 8690;
    pad.gamepad.sThumbRY = -8690;
    gamepad.Poll();
    EXPECT_FLOAT_EQ(gamepad.GetLeftStickX(), 7850.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetLeftStickY(), -7850.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetRightStickX(), 8690.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetRightStickY(), -8690.0f / 32768.0f);
    // The left stick's dead zone is narrower than the right one's.
    pad.gamepad.sThumbLX = 8000;
    pad.gamepad.sThumbRX = 8000;
    gamepad.Poll();
    EXPECT_GT(gamepad.GetLeftStickX(), 0.0f);
    EXPECT_EQ(gamepad.GetRightStickX(), 0.0f);
    // The previous poll's values come through the Prev getters.
    EXPECT_FLOAT_EQ(gamepad.GetPrevRightStickX(), 8690.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetPrevLeftStickY(), -7850.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetPrevRightStickY(), -8690.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetPrevLeftStickX(), 7850.0f / 32768.0f);

    pad.gamepad.sThumbLX = -32768;
    pad.gamepad.sThumbRY = 32767;
    gamepad.Poll();
    EXPECT_EQ(gamepad.GetLeftStickX(), -1.0f);
    EXPECT_LT(gamepad.GetRightStickY(), 1.0f);
    EXPECT_GT(gamepad.GetRightStickY(), 0.99f);
}

TEST_F(GamepadTest, TriggersReadZeroUpToTheThreshold)
{
    pad.gamepad.bLeftTrigger = 30;
    pad.gamepad.bRightTrigger = 31;
    gamepad.Poll();
    EXPECT_EQ(gamepad.GetLeftTrigger(), 0);
    EXPECT_EQ(gamepad.GetRightTrigger(), 31);
    pad.gamepad.bLeftTrigger = 255;
    pad.gamepad.bRightTrigger = 0;
    gamepad.Poll();
    EXPECT_EQ(gamepad.GetLeftTrigger(), 255);
    EXPECT_EQ(gamepad.GetRightTrigger(), 0);
    EXPECT_EQ(gamepad.GetPrevLeftTrigger(), 0);
    EXPECT_EQ(gamepad.GetPrevRightTrigger(), 31);
    EXPECT_TRUE(gamepad.HasChanged());
}

TEST_F(GamepadTest, ASmallTriggerOrStickMoveStillCountsAsAChange)
{
    gamepad.Poll();
    pad.gamepad.bLeftTrigger = 5; // below the threshold, but the raw byte moved
    gamepad.Poll();
    EXPECT_TRUE(gamepad.HasChanged());
    gamepad.Poll();
    EXPECT_FALSE(gamepad.HasChanged());
    pad.gamepad.sThumbRY = 100;
    gamepad.Poll();
    EXPECT_TRUE(gamepad.HasChanged());
}

TEST_F(GamepadTest, VibrateClampsEachStrength)
{
    gamepad.Vibrate(1.5f, -0.2f);
    EXPECT_EQ(pad.vibration.wLeftMotorSpeed, 65535);
    EXPECT_EQ(pad.vibration.wRightMotorSpeed, 0);
    gamepad.Vibrate(0.5f, 1.0f);
    EXPECT_EQ(pad.vibration.wLeftMotorSpeed, 32767); // truncated, not rounded
    EXPECT_EQ(pad.vibration.wRightMotorSpeed, 65535);
    gamepad.Vibrate(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(pad.vibration.wLeftMotorSpeed, 0);
    EXPECT_EQ(pad.vibration.wRightMotorSpeed, 65535);
    gamepad.Vibrate(0.0f, 0.0f);
    EXPECT_EQ(pad.vibration.wLeftMotorSpeed, 0);
    EXPECT_EQ(pad.vibration.wRightMotorSpeed, 0);
    EXPECT_EQ(pad.vibrationCalls, 4);
}

TEST_F(GamepadTest, AMissingPadReadsAllZeroAndIsNoError)
{
    SetButtons(XINPUT_GAMEPAD_A);
    pad.gamepad.bRightTrigger = 200;
    SetStick(20000, 20000);
    ASSERT_TRUE(gamepad.Poll());

    pad.connected = false;
    EXPECT_FALSE(gamepad.Poll());
    EXPECT_FALSE(gamepad.IsADown());
    EXPECT_TRUE(gamepad.IsAReleased()); // the poll after unplugging still sees the edge
    EXPECT_EQ(gamepad.GetRightTrigger(), 0);
    EXPECT_EQ(gamepad.GetLeftStickX(), 0.0f);
    EXPECT_FALSE(gamepad.Poll());
    EXPECT_FALSE(gamepad.HasChanged());
    EXPECT_FALSE(gamepad.IsAReleased());

    gamepad.Vibrate(1.0f, 1.0f); // goes nowhere, and nothing breaks
    EXPECT_EQ(pad.vibrationCalls, 0);
    EXPECT_FALSE(gamepad.PollState());
}

TEST_F(GamepadTest, PollStateLeavesThePreviousStateAlone)
{
    SetButtons(XINPUT_GAMEPAD_B);
    gamepad.Poll();
    SetButtons(XINPUT_GAMEPAD_X);
    EXPECT_TRUE(gamepad.PollState());
    EXPECT_TRUE(gamepad.IsXDown());
    EXPECT_FALSE(gamepad.IsBDown());
    EXPECT_FALSE(gamepad.IsBReleased()); // the previous state is still the one before the B poll
    EXPECT_EQ(gamepad.GetPreviousState().Gamepad.wButtons, 0);
}

} // namespace
} // namespace inputtest
