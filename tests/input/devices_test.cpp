// What the device wrappers answer beyond the action codes: codes outside the
// key table, a device that cannot be made, the pad's values and vibration.

#include "input/Gamepad.h"
#include "input/Keyboard.h"

#include "InputFixture.h"

#include <limits>
#include <vector>

namespace inputtest {
namespace {

using Devices = InputTest;

TEST_F(Devices, CodesOutsideTheKeyTableAndAKeyboardWithoutADeviceReadUp)
{
    keys.SetKey(DIK_W, true);
    manager.Update();
    manager.Update();
    // An unchecked index would land on the previous poll's table, where W is down.
    const CKeyboard keyboard = manager.GetKeyboardState();
    EXPECT_TRUE(keyboard.IsKeyDown(DIK_W));
    EXPECT_FALSE(keyboard.IsKeyDown(256 + DIK_W) || keyboard.IsKeyReleased(256 + DIK_W) || keyboard.IsKeyDown(-1));

    CKeyboard broken; // a foreground device needs a window
    EXPECT_TRUE(FAILED(broken.Create(nullptr, nullptr)));
    broken.Poll();
    EXPECT_FALSE(broken.IsKeyDown(DIK_W) || broken.HasChanged());
}

TEST_F(Devices, SticksAndTriggersReadZeroInsideTheirDeadZonesAndScaleBeyond)
{
    pad.connected = true;
    CGamepad g(1);
    const auto read = [&g] {
        return std::vector<float>{float(g.GetLeftTrigger()), float(g.GetRightTrigger()), g.GetLeftStickX(),
                                  g.GetLeftStickY(), g.GetRightStickX(), g.GetRightStickY()};
    };
    pad.gamepad = {0, 30, 30, 7849, -7849, 8689, -8689};
    g.Poll();
    EXPECT_EQ(read(), std::vector<float>(6, 0.0f));
    pad.gamepad = {0, 31, 255, 7850, -7850, 8690, -32768};
    g.Poll();
    // Scaled by 32768, so that the far end of one side reads exactly -1.
    EXPECT_EQ(read(), (std::vector<float>{31, 255, 7850 / 32768.f, -7850 / 32768.f, 8690 / 32768.f, -1.0f}));
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

} // namespace
} // namespace inputtest
