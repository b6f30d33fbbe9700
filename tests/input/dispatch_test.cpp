// The action codes the hero's current controller receives.

#include "InputFixture.h"

#include "player/Player.h"

namespace inputtest {
namespace {

class Dispatch : public InputTest {
public:
    void SetUp() override
    {
        InputTest::SetUp();
        manager.Update(); // acquires the devices
        controller.Take();
    }
};

TEST_F(Dispatch, KeyboardCodesComeInTheirFixedOrderOnceAndKeysLetGoInTheBackground)
{
    for (int key : {DIK_A, DIK_D, DIK_S, DIK_W, DIK_SPACE, DIK_E, DIK_Q, DIK_R, DIK_T})
        keys.SetKey(key, true);
    MoveMouse(10, -4); // sends nothing
    EXPECT_EQ(Frame(), Events({"+100", "+101", "+103", "+102", "+104", "+112", "+111", "+106"}));
    EXPECT_EQ(Frame(), Events());
    for (int key : {DIK_A, DIK_D, DIK_S, DIK_SPACE, DIK_E, DIK_Q, DIK_R})
        keys.SetKey(key, false);
    // Reload, use and E have no release; without a pad no centred-stick release follows.
    EXPECT_EQ(Frame(), Events({"-101", "-103", "-102", "-112"}));
    // A window in the background reads every key up; back in front a held key is a new press.
    SetFocus(nullptr);
    EXPECT_EQ(Frame(), Events({"-100"}));
    EXPECT_EQ(Frame(), Events());
    SetFocus(window);
    EXPECT_EQ(Frame(), Events({"+100"}));
}

TEST_F(Dispatch, MouseButtonsAndWheelWhenTheMouseChanged)
{
    keys.SetButton(0, true);
    keys.SetButton(1, true);
    MoveMouse(0, 0, 360); // three notches in one frame are one change of weapon
    EXPECT_EQ(Frame(), Events({"+107", "+108", "+105"}));
    MoveMouse(0, 0, 360); // the same turn again is no change of the mouse
    EXPECT_EQ(Frame(), Events());
    MoveMouse(0, 0, -120);
    EXPECT_EQ(Frame(), Events({"+105"}));
    keys.SetButton(0, false);
    keys.SetButton(1, false);
    keys.SetButton(2, true); // the middle button sends nothing
    EXPECT_EQ(Frame(), Events({"-107", "-108"}));
    keys.SetButton(3, true); // the fourth is no change at all
    EXPECT_FALSE(manager.Update());
}

class PadDispatch : public Dispatch {
public:
    void SetUp() override
    {
        pad.connected = true;
        Dispatch::SetUp();
    }
};

const Events kCentred = {"-100", "-101", "-102", "-103"};

TEST_F(PadDispatch, ACentredStickReleasesTheMovementEveryFrameUnlessTheHeroIsBusy)
{
    EXPECT_EQ(Frame(), kCentred);
    SetStick(7849, -7849); // inside the dead zone, yet a change: the pad's own dispatch releases too
    EXPECT_EQ(Frame(), kCentred + kCentred);
    keys.SetKey(DIK_W, true);
    EXPECT_EQ(Frame(), Events{"+100"} + kCentred) << "a key pressed with the stick centred is let go at once";
    for (int state : {37, 38, 46, 63}) {
        controller.stateCode = state;
        pad.gamepad.wButtons = XINPUT_GAMEPAD_A;
        EXPECT_EQ(Frame(), Events({"+106"})) << state;
        pad.gamepad.wButtons = 0;
        EXPECT_EQ(Frame(), Events()) << state;
    }
}

TEST_F(PadDispatch, TheStickPressesAndReleasesDirections)
{
    SetStick(0, 20000);
    EXPECT_EQ(Frame(), Events({"+100"}));
    EXPECT_EQ(Frame(), Events());
    SetStick(0, 0);
    EXPECT_EQ(Frame(), kCentred + Events{"-100"} + kCentred);
    SetStick(20000, 20000); // straight from centre to up-right in one poll
    EXPECT_EQ(Frame(), Events({"+100", "+103"}));
    SetStick(-20000, -20000); // right to left, up to down, without a resting poll: nothing
    EXPECT_EQ(Frame(), Events());
    SetStick(0, -20000); // only x rests: no centred release while y is held
    EXPECT_EQ(Frame(), Events({"-102"}));
    SetStick(0, 0);
    EXPECT_EQ(Frame(), kCentred + Events{"-101"} + kCentred);
    SetStick(-9000, -9000);
    EXPECT_EQ(Frame(), Events({"+101", "+102"}));
}

TEST_F(PadDispatch, ButtonsAndTriggersInTheirFixedOrder)
{
    SetStick(0, 20000); // keeps the centred releases out of the way
    pad.gamepad.wButtons = XINPUT_GAMEPAD_Y | XINPUT_GAMEPAD_X | XINPUT_GAMEPAD_DPAD_UP | XINPUT_GAMEPAD_DPAD_LEFT |
                           XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_B | XINPUT_GAMEPAD_LEFT_SHOULDER |
                           XINPUT_GAMEPAD_RIGHT_SHOULDER | XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_BACK;
    pad.gamepad.bLeftTrigger = 100;
    pad.gamepad.bRightTrigger = 100;
    // Both shoulders send 112 each; two d-pad directions send one 105.
    EXPECT_EQ(Frame(), Events({"+100", "+112", "+112", "+104", "+106", "+107", "+108", "+105", "+109", "+110"}));
    SetStick(0, 22000);
    EXPECT_EQ(Frame(), Events({"+107", "+108"})) << "held triggers fire again in every changed frame";
    pad.gamepad.wButtons = 0;
    pad.gamepad.bLeftTrigger = 0;
    pad.gamepad.bRightTrigger = 30; // at the threshold reads released
    EXPECT_EQ(Frame(), Events({"-112", "-112", "-107", "-108"}));
}

TEST_F(PadDispatch, TheStateCodeIsAskedAfreshAfterEachCode)
{
    // Pressing A puts the hero in cover: from then on a centred stick must not
    // release his movement, though the codes of this frame still go to the
    // controller the frame began with.
    RecordingController cover;
    cover.stateCode = 38;
    controller.onPress = [&](int code) { current = code == ACTION_USE ? &cover : current; };
    pad.gamepad.wButtons = XINPUT_GAMEPAD_A;
    EXPECT_EQ(Frame(), kCentred + Events{"+106"});
    pad.gamepad.wButtons = 0;
    manager.Update();
    EXPECT_EQ(cover.Take(), Events());
    EXPECT_EQ(controller.Take(), Events());
}

TEST_F(PadDispatch, UnpluggingReleasesWhatWasHeldOnceThenNothing)
{
    SetStick(0, 20000);
    pad.gamepad.bRightTrigger = 200;
    EXPECT_EQ(Frame(), Events({"+100", "+107"}));
    pad.connected = false;
    // The pad dispatch runs once more and sees everything let go; the
    // every-frame step needs a pad.
    EXPECT_EQ(Frame(), kCentred + Events({"-100", "-107"}));
    EXPECT_FALSE(manager.IsGamepadConnected());
    EXPECT_EQ(Frame(), Events());
}

// The game started again in the same process: what the first start held is
// not held any more, so the hero's new controllers do not walk on it.
TEST_F(PadDispatch, ASecondStartReadsEveryKeyButtonAndStickAtRest)
{
    keys.SetKey(DIK_S, true);
    keys.SetButton(1, true);
    SetStick(0, -20000);
    Frame();
    Frame(); // the stick held in the previous poll too, as the controllers read it
    manager.Init(nullptr, window);
    const CKeyboard keyboard = manager.GetKeyboardState();
    const CMouse mouse = manager.GetMouseState();
    const CGamepad stick = manager.GetGamepadState();
    EXPECT_FALSE(keyboard.IsKeyDown(DIK_S));
    EXPECT_FALSE(keyboard.IsKeyReleased(DIK_S));
    EXPECT_FALSE(mouse.IsRightButtonDown());
    EXPECT_FALSE(mouse.IsRightButtonReleased());
    EXPECT_EQ(stick.GetLeftStickY(), 0.0f);
    EXPECT_EQ(stick.GetPrevLeftStickY(), 0.0f);
    // Still held, they are fresh presses of the new start.
    EXPECT_EQ(Frame(), Events({"+101", "+108", "+101"}));
}

TEST_F(Dispatch, TheHeroWithoutAControllerReceivesNothing)
{
    // The default source is the hero, who has no controller until he is built.
    ASSERT_EQ(getPlayer()->GetController(), nullptr);
    manager.SetControllerSource(nullptr);
    keys.SetKey(DIK_W, true);
    keys.SetButton(0, true);
    pad.connected = true;
    pad.gamepad.wButtons = XINPUT_GAMEPAD_A;
    EXPECT_TRUE(manager.Update());
}

} // namespace
} // namespace inputtest
