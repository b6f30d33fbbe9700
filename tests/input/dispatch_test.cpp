// The action codes the hero's current controller receives.

#include "InputFixture.h"

#include "player/Player.h"

namespace inputtest {
namespace {

using Events = std::vector<std::string>;

class DispatchTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        InitManager(manager);
        manager.Update(); // acquires the devices
        controller.Take();
    }

    Events Frame()
    {
        manager.Update();
        return controller.Take();
    }

    CInputManager manager;
};

TEST_F(DispatchTest, HoldingAKeySendsOnePressAndOneRelease)
{
    keys.SetKey(DIK_W, true);
    EXPECT_EQ(Frame(), Events({"+100"}));
    EXPECT_EQ(Frame(), Events());
    EXPECT_EQ(Frame(), Events());
    keys.SetKey(DIK_W, false);
    EXPECT_EQ(Frame(), Events({"-100"}));
    EXPECT_EQ(Frame(), Events());
}

TEST_F(DispatchTest, KeyboardCodesComeInTheirFixedOrder)
{
    for (int key : {DIK_A, DIK_D, DIK_S, DIK_W, DIK_SPACE, DIK_E, DIK_Q, DIK_R})
        keys.SetKey(key, true);
    EXPECT_EQ(Frame(), Events({"+100", "+101", "+103", "+102", "+104", "+112", "+111", "+106"}));
    EXPECT_EQ(Frame(), Events());
    for (int key : {DIK_A, DIK_D, DIK_S, DIK_W, DIK_SPACE, DIK_E, DIK_Q, DIK_R})
        keys.SetKey(key, false);
    // Reload, use and E have no release.
    EXPECT_EQ(Frame(), Events({"-100", "-101", "-103", "-102", "-112"}));
}

TEST_F(DispatchTest, OtherKeysAndMouseMovementSendNothing)
{
    keys.SetKey(DIK_T, true);
    keys.SetKey(DIK_ESCAPE, true);
    MoveMouse(10, -4);
    EXPECT_TRUE(manager.Update()); // the devices did change
    EXPECT_EQ(controller.Take(), Events());
}

TEST_F(DispatchTest, MouseButtonsAndWheel)
{
    keys.SetButton(0, true);
    keys.SetButton(1, true);
    MoveMouse(0, 0, 360); // three notches in one frame
    EXPECT_EQ(Frame(), Events({"+107", "+108", "+105"}));
    MoveMouse(0, 0, -120);
    EXPECT_EQ(Frame(), Events({"+105"}));
    keys.SetButton(0, false);
    keys.SetButton(1, false);
    // The wheel never sends a release; the middle button sends nothing.
    keys.SetButton(2, true);
    EXPECT_EQ(Frame(), Events({"-107", "-108"}));
    keys.SetButton(2, false);
    EXPECT_EQ(Frame(), Events());
}

class PadDispatchTest : public DispatchTest {
protected:
    void SetUp() override
    {
        pad.connected = true;
        DispatchTest::SetUp();
    }
};

const Events kCentredRelease = {"-100", "-101", "-102", "-103"};

Events Concat(std::initializer_list<Events> parts)
{
    Events all;
    for (const Events& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(PadDispatchTest, ACentredStickReleasesTheMovementEveryFrame)
{
    EXPECT_EQ(Frame(), kCentredRelease);
    EXPECT_EQ(Frame(), kCentredRelease);
    // Resting inside the dead zone is centred too.
    SetStick(7849, -7849);
    // The pad changed: its own dispatch releases too, then the every-frame step.
    EXPECT_EQ(Frame(), Concat({kCentredRelease, kCentredRelease}));
}

TEST_F(PadDispatchTest, SomeControllerStatesKeepTheHeroMoving)
{
    for (int state : {37, 38, 46, 63}) {
        SCOPED_TRACE(state);
        controller.stateCode = state;
        EXPECT_EQ(Frame(), Events());
        SetButtons(XINPUT_GAMEPAD_A);
        EXPECT_EQ(Frame(), Events({"+106"}));
        SetButtons(0);
        EXPECT_EQ(Frame(), Events());
    }
    controller.stateCode = 39;
    EXPECT_EQ(Frame(), kCentredRelease);
}

TEST_F(PadDispatchTest, AKeyPressedWithTheStickCentredIsReleasedInTheSameFrame)
{
    keys.SetKey(DIK_W, true);
    EXPECT_EQ(Frame(), Concat({{"+100"}, kCentredRelease}));
}

TEST_F(PadDispatchTest, TheStickPressesAndReleasesDirections)
{
    SetStick(0, 20000);
    EXPECT_EQ(Frame(), Events({"+100"}));
    EXPECT_EQ(Frame(), Events());
    SetStick(0, 0);
    EXPECT_EQ(Frame(), Concat({kCentredRelease, {"-100"}, kCentredRelease}));

    // Straight from centre to up-right in one poll.
    SetStick(20000, 20000);
    EXPECT_EQ(Frame(), Events({"+100", "+103"}));
    // Up to down without a resting poll in between sends nothing.
    SetStick(20000, -20000);
    EXPECT_EQ(Frame(), Events());
    SetStick(-20000, -20000);
    EXPECT_EQ(Frame(), Events());
    // Only the x axis rests: no centred release while y is held.
    SetStick(0, -20000);
    EXPECT_EQ(Frame(), Events({"-102"}));
    SetStick(0, 0);
    EXPECT_EQ(Frame(), Concat({kCentredRelease, {"-101"}, kCentredRelease}));
    SetStick(-9000, -9000);
    EXPECT_EQ(Frame(), Events({"+101", "+102"}));
}

TEST_F(PadDispatchTest, ButtonsAndTriggersInTheirFixedOrder)
{
    SetStick(0, 20000); // keeps the centred releases out of the way
    SetButtons(XINPUT_GAMEPAD_Y | XINPUT_GAMEPAD_X | XINPUT_GAMEPAD_DPAD_UP | XINPUT_GAMEPAD_DPAD_LEFT |
               XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_B | XINPUT_GAMEPAD_LEFT_SHOULDER | XINPUT_GAMEPAD_RIGHT_SHOULDER |
               XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_BACK);
    pad.gamepad.bLeftTrigger = 100;
    pad.gamepad.bRightTrigger = 100;
    // Both shoulders send 112 each; two d-pad directions send one 105.
    EXPECT_EQ(Frame(), Events({"+100", "+112", "+112", "+104", "+106", "+107", "+108", "+105", "+109", "+110"}));
    EXPECT_EQ(Frame(), Events());

    SetButtons(0);
    pad.gamepad.bLeftTrigger = 0;
    pad.gamepad.bRightTrigger = 30; // at the threshold reads released
    EXPECT_EQ(Frame(), Events({"-112", "-112", "-107", "-108"}));
}

TEST_F(PadDispatchTest, AHeldTriggerFiresAgainInEveryChangedFrame)
{
    pad.gamepad.bRightTrigger = 255;
    SetStick(0, 10000);
    EXPECT_EQ(Frame(), Events({"+100", "+107"}));
    EXPECT_EQ(Frame(), Events()); // nothing changed
    SetStick(0, 12000);
    EXPECT_EQ(Frame(), Events({"+107"}));
    SetStick(0, 14000);
    EXPECT_EQ(Frame(), Events({"+107"}));
}

TEST_F(PadDispatchTest, TheStateCodeIsAskedAfreshAfterEachCode)
{
    // Pressing A puts the hero in cover: from then on a centred stick must not
    // release his movement, though the codes of this frame still go to the
    // controller the frame began with.
    static RecordingController* cover = nullptr;
    static IController** current = nullptr;
    RecordingController coverController;
    coverController.stateCode = 38;
    cover = &coverController;
    current = &this->current;
    controller.onPress = [](int code) {
        if (code == ACTION_USE)
            *current = cover;
    };
    SetButtons(XINPUT_GAMEPAD_A);
    EXPECT_EQ(Frame(), Concat({kCentredRelease, {"+106"}}));
    EXPECT_EQ(coverController.Take(), Events());
    SetButtons(0);
    manager.Update();
    EXPECT_EQ(coverController.Take(), Events());
    EXPECT_EQ(controller.Take(), Events());
}

TEST_F(PadDispatchTest, UnpluggingReleasesWhatWasHeldOnceThenNothing)
{
    SetStick(0, 20000);
    pad.gamepad.bRightTrigger = 200;
    EXPECT_EQ(Frame(), Events({"+100", "+107"}));
    pad.connected = false;
    // The pad dispatch runs once more and sees everything let go; the
    // every-frame step needs a pad.
    EXPECT_EQ(Frame(), Concat({kCentredRelease, {"-100", "-107"}}));
    EXPECT_FALSE(manager.IsGamepadConnected());
    EXPECT_EQ(Frame(), Events());
    EXPECT_EQ(Frame(), Events());
}

TEST_F(DispatchTest, WithoutAPadNoCentredReleaseIsSent)
{
    EXPECT_FALSE(manager.IsGamepadConnected());
    EXPECT_FALSE(manager.Update());
    EXPECT_EQ(controller.Take(), Events());
    EXPECT_TRUE(manager.GetGamepadState().GetCurrentState().Gamepad.wButtons == 0);
}

TEST_F(DispatchTest, NoControllerMeansNoCodes)
{
    current = nullptr;
    pad.connected = true;
    keys.SetKey(DIK_W, true);
    keys.SetButton(0, true);
    SetButtons(XINPUT_GAMEPAD_A);
    EXPECT_TRUE(manager.Update());
    EXPECT_EQ(controller.Take(), Events());
}

TEST_F(DispatchTest, TheHeroWithoutControllersReceivesNothing)
{
    // The default source is the hero, who has no controller until he is built.
    CInputManager hero;
    hero.Init(nullptr, window);
    EXPECT_EQ(getPlayer()->GetController(), nullptr);
    keys.SetKey(DIK_W, true);
    pad.connected = true;
    EXPECT_TRUE(hero.Update());
    EXPECT_TRUE(hero.GetKeyboardState().IsKeyJustPressed(DIK_W));
    EXPECT_TRUE(hero.IsGamepadConnected());
}

} // namespace
} // namespace inputtest
