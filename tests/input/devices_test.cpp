// The keyboard, mouse and pad wrappers over the fake devices.

#include "input/Gamepad.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"

#include "InputFixture.h"

#include <limits>

namespace inputtest {
namespace {

using Devices = InputTest;

TEST_F(Devices, AKeyIsJustPressedOnceReleasedOnceAndUpInTheBackground)
{
    CKeyboard keyboard;
    ASSERT_EQ(keyboard.Create(nullptr, window), DI_OK);
    keys.SetKey(DIK_W, true);
    keyboard.Poll();
    EXPECT_TRUE(keyboard.IsKeyJustPressed(DIK_W) && keyboard.HasChanged());
    keyboard.Poll();
    EXPECT_TRUE(keyboard.IsKeyDown(DIK_W) && !keyboard.IsKeyJustPressed(DIK_W) && !keyboard.HasChanged());
    SetFocus(nullptr);
    keyboard.Poll();
    EXPECT_TRUE(keyboard.IsKeyReleased(DIK_W));
    keyboard.Poll();
    EXPECT_FALSE(keyboard.IsKeyDown(DIK_W));
    EXPECT_FALSE(keyboard.HasChanged());
    SetFocus(window);
    keyboard.Poll();
    EXPECT_TRUE(keyboard.IsKeyJustPressed(DIK_W)) << "back in the foreground a held key is a new press";
    // Codes outside the table are never down.
    EXPECT_FALSE(keyboard.IsKeyDown(256) || keyboard.IsKeyDown(-1) || keyboard.IsKeyJustPressed(1000));
    keyboard.Release();

    CKeyboard broken; // a foreground device needs a window
    EXPECT_TRUE(FAILED(broken.Create(nullptr, nullptr)));
    broken.Poll();
    EXPECT_FALSE(broken.IsKeyDown(DIK_W) || broken.HasChanged());
}

TEST_F(Devices, TheMouseCountsMovementSinceThePollBefore)
{
    CMouse mouse;
    ASSERT_EQ(mouse.Create(nullptr, window), DI_OK);
    mouse.Poll(); // acquires: movement before this is never seen
    MoveMouse(3, -4);
    MoveMouse(2, 1, 120);
    mouse.Poll();
    EXPECT_EQ(mouse.GetCurrentState().lX, 5);
    EXPECT_EQ(mouse.GetCurrentState().lY, -3);
    EXPECT_TRUE(mouse.IsWheelMoved());
    mouse.Poll();
    EXPECT_EQ(mouse.GetCurrentState().lX, 0);
    EXPECT_EQ(mouse.GetPreviousState().lZ, 120);
    EXPECT_FALSE(mouse.IsWheelMoved());
    EXPECT_TRUE(mouse.HasChanged());
    MoveMouse(7, 0);
    mouse.Poll();
    MoveMouse(7, 0);
    mouse.Poll();
    EXPECT_FALSE(mouse.HasChanged()) << "the same movement twice is no change";
    mouse.Poll();
    keys.SetButton(3, true);
    mouse.Poll();
    EXPECT_FALSE(mouse.HasChanged()) << "nor is the fourth button";

    mouse.Release();
}

TEST_F(Devices, SticksAndTriggersReadZeroInsideTheirDeadZones)
{
    pad.connected = true;
    CGamepad gamepad(1);
    const XINPUT_GAMEPAD resting = {0, 30, 30, 7849, -7849, 8689, -8689};
    const XINPUT_GAMEPAD moved = {0, 31, 255, 7850, -7850, 8690, -8690};
    pad.gamepad = resting;
    gamepad.Poll();
    EXPECT_EQ(gamepad.GetLeftTrigger() + gamepad.GetRightTrigger(), 0);
    EXPECT_EQ(gamepad.GetLeftStickX(), 0.0f);
    EXPECT_EQ(gamepad.GetLeftStickY(), 0.0f);
    EXPECT_EQ(gamepad.GetRightStickX(), 0.0f);
    EXPECT_EQ(gamepad.GetRightStickY(), 0.0f);
    pad.gamepad = moved;
    gamepad.Poll();
    EXPECT_EQ(gamepad.GetLeftTrigger(), 31);
    EXPECT_EQ(gamepad.GetRightTrigger(), 255);
    EXPECT_FLOAT_EQ(gamepad.GetLeftStickX(), 7850.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetLeftStickY(), -7850.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetRightStickX(), 8690.0f / 32768.0f);
    EXPECT_FLOAT_EQ(gamepad.GetRightStickY(), -8690.0f / 32768.0f);
    pad.gamepad.sThumbLX = -32768;
    pad.gamepad.sThumbRY = 32767;
    gamepad.Poll();
    EXPECT_EQ(gamepad.GetLeftStickX(), -1.0f);
    EXPECT_GT(gamepad.GetRightStickY(), 0.99f);
    EXPECT_LT(gamepad.GetRightStickY(), 1.0f);
    // A move inside the dead zone is still a change of the pad.
    gamepad.Poll();
    pad.gamepad.bLeftTrigger = 5;
    gamepad.Poll();
    EXPECT_TRUE(gamepad.HasChanged());
}

TEST_F(Devices, VibrateClampsEachStrength)
{
    pad.connected = true;
    CGamepad gamepad(1);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const struct {
        float left, right;
        WORD leftSpeed, rightSpeed;
    } cases[] = {{1.5f, -0.2f, 65535, 0}, {0.5f, 1.0f, 32767, 65535}, {nan, inf, 0, 65535}, {0, 0, 0, 0}};
    for (const auto& c : cases) {
        gamepad.Vibrate(c.left, c.right);
        EXPECT_EQ(pad.vibration.wLeftMotorSpeed, c.leftSpeed) << c.left; // truncated, not rounded
        EXPECT_EQ(pad.vibration.wRightMotorSpeed, c.rightSpeed) << c.right;
    }
    EXPECT_EQ(pad.vibrationCalls, 4);
}

TEST_F(Devices, AMissingPadReadsAllZeroAndIsNoError)
{
    pad.connected = true;
    CGamepad gamepad(1);
    SetButtons(XINPUT_GAMEPAD_A);
    pad.gamepad.bRightTrigger = 200;
    SetStick(20000, 20000);
    ASSERT_TRUE(gamepad.Poll());
    pad.connected = false;
    EXPECT_FALSE(gamepad.Poll());
    EXPECT_TRUE(gamepad.IsAReleased()) << "the poll after unplugging still sees the edge";
    EXPECT_EQ(gamepad.GetRightTrigger(), 0);
    EXPECT_EQ(gamepad.GetLeftStickX(), 0.0f);
    EXPECT_FALSE(gamepad.Poll());
    EXPECT_FALSE(gamepad.HasChanged() || gamepad.IsAReleased());
    gamepad.Vibrate(1.0f, 1.0f); // goes nowhere, and nothing breaks
    EXPECT_EQ(pad.vibrationCalls, 0);
}

} // namespace
} // namespace inputtest
