// Our XInput over SDL's game controllers, driven by SDL's virtual pads.
#include "platform/xinput.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

using Motors = std::vector<std::pair<Uint16, Uint16>>; // low, high

int SDLCALL Rumble(void* motors, Uint16 low, Uint16 high)
{
    static_cast<Motors*>(motors)->emplace_back(low, high);
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
    }
    void TearDown() override
    {
        while (!pads.empty())
            Unplug(0);
        XINPUT_STATE s;
        XInputGetState(0, &s); // lets the layer let go of the detached pads
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }

    // Plugs a virtual pad in; its motors report to rumbles[which].
    void Plug(int which)
    {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.userdata = &rumbles[which];
        desc.Rumble = Rumble;
        SDL_Joystick* joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
        pads.push_back(joystick);
    }

    void Unplug(size_t i)
    {
        const SDL_JoystickID id = SDL_JoystickInstanceID(pads[i]);
        SDL_JoystickClose(pads[i]);
        pads.erase(pads.begin() + i);
        for (int d = 0; d < SDL_NumJoysticks(); ++d)
            if (SDL_JoystickGetDeviceInstanceID(d) == id)
                SDL_JoystickDetachVirtual(d);
    }

    void Axis(size_t pad, SDL_GameControllerAxis axis, Sint16 value) { SDL_JoystickSetVirtualAxis(pads[pad], axis, value); }
    void Press(size_t pad, SDL_GameControllerButton button) { SDL_JoystickSetVirtualButton(pads[pad], button, 1); }

    static WORD Buttons(DWORD user)
    {
        XINPUT_STATE s{};
        EXPECT_EQ(XInputGetState(user, &s), ERROR_SUCCESS) << "user " << user;
        return s.Gamepad.wButtons;
    }

    std::vector<SDL_Joystick*> pads;
    Motors rumbles[2];
};

TEST_F(XInputTest, APadReadsWithXInputsMeaningAndVibratesUntilChanged)
{
    Plug(0);
    for (auto button : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSTICK,
                        SDL_CONTROLLER_BUTTON_GUIDE}) // XInput has no bit for the last
        Press(0, button);
    Axis(0, SDL_CONTROLLER_AXIS_LEFTX, -12000);
    Axis(0, SDL_CONTROLLER_AXIS_LEFTY, -20000);  // pushed up
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
    Axis(0, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0); // half way
    ASSERT_EQ(XInputGetState(0, &s), ERROR_SUCCESS);
    EXPECT_EQ(s.Gamepad.bRightTrigger, 127);

    XINPUT_VIBRATION v{65535, 1000};
    ASSERT_EQ(XInputSetState(0, &v), ERROR_SUCCESS);
    for (int i = 0; i < 3; ++i)
        Buttons(0);
    EXPECT_EQ(rumbles[0], (Motors{{65535, 1000}})) << "polling does not stop it";
    v = XINPUT_VIBRATION{0, 0};
    ASSERT_EQ(XInputSetState(0, &v), ERROR_SUCCESS);
    EXPECT_EQ(rumbles[0], (Motors{{65535, 1000}, {0, 0}}));
}

// Each user keeps its pad while the others come and go.
TEST_F(XInputTest, PadsComeAndGoEachKeepingItsUser)
{
    XINPUT_STATE s;
    EXPECT_EQ(XInputGetState(XUSER_MAX_COUNT, &s), ERROR_BAD_ARGUMENTS);
    Plug(0);
    Plug(1);
    Press(0, SDL_CONTROLLER_BUTTON_X);
    Press(1, SDL_CONTROLLER_BUTTON_B);
    EXPECT_EQ(Buttons(0), XINPUT_GAMEPAD_X);
    EXPECT_EQ(Buttons(1), XINPUT_GAMEPAD_B);
    XINPUT_VIBRATION v{300, 400};
    ASSERT_EQ(XInputSetState(1, &v), ERROR_SUCCESS);
    EXPECT_TRUE(rumbles[0].empty());
    EXPECT_EQ(rumbles[1].size(), 1u);

    // The first pad goes: the second stays user 1 and user 0 has none, which is no error.
    Unplug(0);
    std::memset(&s, 0x5A, sizeof(s));
    EXPECT_EQ(XInputGetState(0, &s), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(s.Gamepad.wButtons, 0);
    EXPECT_EQ(s.Gamepad.sThumbLX, 0);
    EXPECT_EQ(XInputSetState(0, &v), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(Buttons(1), XINPUT_GAMEPAD_B);

    // A pad plugged in again takes the free user.
    Plug(0);
    Press(1, SDL_CONTROLLER_BUTTON_Y);
    EXPECT_EQ(Buttons(0), XINPUT_GAMEPAD_Y);
}

} // namespace
