// Our XInput over SDL's game controllers, driven by SDL's virtual pads.

#include "platform/xinput.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Motors {
    Uint16 low, high;
};
std::vector<Motors> g_Rumbles[2];

int SDLCALL Rumble0(void*, Uint16 low, Uint16 high)
{
    g_Rumbles[0].push_back({low, high});
    return 0;
}
int SDLCALL Rumble1(void*, Uint16 low, Uint16 high)
{
    g_Rumbles[1].push_back({low, high});
    return 0;
}

class XInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Pads are read whatever the focus, so other tests' windows do not matter.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        if (SDL_NumJoysticks() != 0)
            GTEST_SKIP() << "a real pad is plugged in";
        g_Rumbles[0].clear();
        g_Rumbles[1].clear();
    }
    void TearDown() override
    {
        while (!pads.empty())
            Unplug(0);
        XINPUT_STATE s;
        XInputGetState(0, &s); // lets the layer let go of the detached pads
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }

    // Plugs a virtual pad in; its motors report to g_Rumbles[which].
    void Plug(int which)
    {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = which == 0 ? "test pad 0" : "test pad 1";
        desc.Rumble = which == 0 ? Rumble0 : Rumble1;
        int index = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(index, 0) << SDL_GetError();
        SDL_Joystick* joystick = SDL_JoystickOpen(index);
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
        pads.push_back(joystick);
    }

    void Unplug(size_t i)
    {
        SDL_JoystickID id = SDL_JoystickInstanceID(pads[i]);
        SDL_JoystickClose(pads[i]);
        pads.erase(pads.begin() + i);
        for (int d = 0; d < SDL_NumJoysticks(); ++d) {
            if (SDL_JoystickGetDeviceInstanceID(d) == id) {
                SDL_JoystickDetachVirtual(d);
                break;
            }
        }
    }

    void Axis(size_t pad, SDL_GameControllerAxis axis, Sint16 value)
    {
        SDL_JoystickSetVirtualAxis(pads[pad], axis, value);
    }
    void Button(size_t pad, SDL_GameControllerButton button, bool down)
    {
        SDL_JoystickSetVirtualButton(pads[pad], button, down ? 1 : 0);
    }

    std::vector<SDL_Joystick*> pads;
};

TEST_F(XInputTest, NoPadIsNotConnectedAndNotAnError)
{
    XINPUT_STATE s;
    std::memset(&s, 0x5A, sizeof(s));
    EXPECT_EQ(XInputGetState(0, &s), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(s.Gamepad.wButtons, 0);
    EXPECT_EQ(s.Gamepad.sThumbLX, 0);
    XINPUT_VIBRATION v{65535, 65535};
    EXPECT_EQ(XInputSetState(0, &v), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(XInputGetState(XUSER_MAX_COUNT, &s), ERROR_BAD_ARGUMENTS);
}

TEST_F(XInputTest, APadReadsWithXInputsMeaning)
{
    Plug(0);
    Button(0, SDL_CONTROLLER_BUTTON_A, true);
    Button(0, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, true);
    Button(0, SDL_CONTROLLER_BUTTON_RIGHTSTICK, true);
    Button(0, SDL_CONTROLLER_BUTTON_GUIDE, true); // XInput has no bit for it
    Axis(0, SDL_CONTROLLER_AXIS_LEFTX, -12000);
    Axis(0, SDL_CONTROLLER_AXIS_LEFTY, -20000); // pushed up
    Axis(0, SDL_CONTROLLER_AXIS_RIGHTY, -32768); // all the way up
    // A virtual pad's trigger spans the whole axis: -32768 is let go.
    Axis(0, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    Axis(0, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);

    XINPUT_STATE s{};
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS); // opens the pad; SDL settles its first values
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.Gamepad.wButtons, XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_LEFT_SHOULDER | XINPUT_GAMEPAD_RIGHT_THUMB);
    EXPECT_EQ(s.Gamepad.sThumbLX, -12000);
    EXPECT_EQ(s.Gamepad.sThumbLY, 20000);
    EXPECT_EQ(s.Gamepad.sThumbRY, 32767);
    EXPECT_EQ(s.Gamepad.bLeftTrigger, 255);
    EXPECT_EQ(s.Gamepad.bRightTrigger, 0);

    // The packet number moves with the state and only with it.
    const DWORD packet = s.dwPacketNumber;
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.dwPacketNumber, packet);
    Axis(0, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0); // half way
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    EXPECT_NE(s.dwPacketNumber, packet);
    EXPECT_EQ(s.Gamepad.bRightTrigger, 127);

    // Only one pad: the next user has none.
    EXPECT_EQ(XInputGetState(1, &s), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(XInputTest, VibrationReachesTheMotorsUntilChanged)
{
    Plug(0);
    XINPUT_STATE s;
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    XINPUT_VIBRATION v{65535, 1000};
    ASSERT_EQ(XInputSetState(0, &v), ERROR_SUCCESS);
    ASSERT_EQ(g_Rumbles[0].size(), 1u);
    EXPECT_EQ(g_Rumbles[0][0].low, 65535);
    EXPECT_EQ(g_Rumbles[0][0].high, 1000);
    // Polling does not stop it.
    for (int i = 0; i < 3; ++i)
        XInputGetState(0, &s);
    EXPECT_EQ(g_Rumbles[0].size(), 1u);
    v = XINPUT_VIBRATION{0, 0};
    ASSERT_EQ(XInputSetState(0, &v), ERROR_SUCCESS);
    ASSERT_EQ(g_Rumbles[0].size(), 2u);
    EXPECT_EQ(g_Rumbles[0][1].low, 0);
}

TEST_F(XInputTest, UnpluggingAndPluggingAgain)
{
    Plug(0);
    XINPUT_STATE s;
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    Unplug(0);
    EXPECT_EQ(XInputGetState(0, &s), ERROR_DEVICE_NOT_CONNECTED);
    XINPUT_VIBRATION v{1, 1};
    EXPECT_EQ(XInputSetState(0, &v), ERROR_DEVICE_NOT_CONNECTED);
    Plug(0);
    Button(0, SDL_CONTROLLER_BUTTON_Y, true);
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.Gamepad.wButtons, XINPUT_GAMEPAD_Y);
}

TEST_F(XInputTest, EachUserKeepsItsPad)
{
    Plug(0);
    Plug(1);
    Button(0, SDL_CONTROLLER_BUTTON_X, true);
    Button(1, SDL_CONTROLLER_BUTTON_B, true);
    XINPUT_STATE s;
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.Gamepad.wButtons, XINPUT_GAMEPAD_X);
    ASSERT_EQ(XInputGetState(1, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.Gamepad.wButtons, XINPUT_GAMEPAD_B);
    XINPUT_VIBRATION v{300, 400};
    ASSERT_EQ(XInputSetState(1, &v), ERROR_SUCCESS);
    EXPECT_TRUE(g_Rumbles[0].empty());

    // The first pad goes: the second stays user 1 and user 0 has none.
    Unplug(0);
    EXPECT_EQ(XInputGetState(0, &s), ERROR_DEVICE_NOT_CONNECTED);
    ASSERT_EQ(XInputGetState(1, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.Gamepad.wButtons, XINPUT_GAMEPAD_B);
}

TEST_F(XInputTest, AnInstalledSourceTakesTheCalls)
{
    platform::FakePad fake;
    fake.connected = true;
    fake.gamepad.wButtons = XINPUT_GAMEPAD_START;
    platform::SetPadSource(&fake);
    XINPUT_STATE s;
    EXPECT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.Gamepad.wButtons, XINPUT_GAMEPAD_START);
    XINPUT_VIBRATION v{7, 8};
    EXPECT_EQ(XInputSetState(0, &v), ERROR_SUCCESS);
    EXPECT_EQ(fake.vibration.wRightMotorSpeed, 8);
    platform::SetPadSource(nullptr);
    EXPECT_EQ(XInputGetState(0, &s), ERROR_DEVICE_NOT_CONNECTED);
}

} // namespace
