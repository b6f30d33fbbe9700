// Key names and named actions.

#include "InputFixture.h"

#include "xml/temp_folder.h"

#include <set>

namespace inputtest {
namespace {

class ActionsTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        InitManager(manager);
        pad.connected = true;
    }

    // Loads one ACTION per binding, all under the name "Act".
    void Bind(std::initializer_list<ActionBinding> bindings)
    {
        std::string xml = "<ACTIONS>";
        for (const ActionBinding& b : bindings)
            xml += "<ACTION name=\"Act\" type=\"" + b.type + "\" key=\"" + b.key + "\" mode=\"" + b.mode + "\"/>";
        xml += "</ACTIONS>";
        manager.LoadActions(folder.Write("actions.xml", xml));
    }

    // Polls and asks "Act".
    bool Frame()
    {
        manager.Update();
        return manager.IsAction("Act");
    }

    CInputManager manager;
    TempFolder folder;
};

TEST_F(ActionsTest, TheKeyNameTableHoldsItsNinetyFourNames)
{
    const auto& names = manager.GetKeyNames();
    EXPECT_EQ(names.size(), 94u);
    EXPECT_EQ(manager.GetKeyCode("DIK_W"), 0x11);
    EXPECT_EQ(manager.GetKeyCode("DIK_SPACE"), 0x39);
    EXPECT_EQ(manager.GetKeyCode("DIK_ESCAPE"), 0x01);
    EXPECT_EQ(manager.GetKeyCode("DIK_RCONTROL"), 0x9D);
    EXPECT_EQ(manager.GetKeyCode("DIK_0"), 0x0B);
    EXPECT_EQ(manager.GetKeyCode("DIK_F9"), 0x43);
    EXPECT_EQ(manager.GetKeyCode("DIK_UP"), 0xC8);
    EXPECT_EQ(manager.GetKeyCode("DIK_F10"), 0); // no name beyond F9
    EXPECT_EQ(manager.GetKeyCode("dik_w"), 0);   // names are exact
    EXPECT_EQ(manager.GetKeyCode(""), 0);

    // Mouse codes 1..9 and pad codes 10..33, each used exactly once.
    std::set<int> pseudo;
    for (const auto& entry : names) {
        if (entry.first.compare(0, 4, "DIK_") != 0) {
            EXPECT_TRUE(pseudo.insert(entry.second).second) << entry.first;
        }
    }
    EXPECT_EQ(pseudo.size(), 33u);
    EXPECT_EQ(*pseudo.begin(), 1);
    EXPECT_EQ(*pseudo.rbegin(), 33);
    EXPECT_EQ(manager.GetKeyCode("move_up"), 4);
    EXPECT_EQ(manager.GetKeyCode("wheel_down"), 9);
    EXPECT_EQ(manager.GetKeyCode("thumb_right_push"), 22);
    EXPECT_EQ(manager.GetKeyCode("thumb_left_left"), 31);
    EXPECT_EQ(manager.GetKeyCode("right_trigger"), 33);

    // A second Init neither duplicates nor loses names.
    manager.Init(nullptr, window);
    EXPECT_EQ(manager.GetKeyNames().size(), 94u);
}

TEST_F(ActionsTest, OnlyActionElementsAreReadAtAnyDepth)
{
    manager.LoadActions(folder.Write("a.xml",
                                     "<ROOT><ACTION name=\"Top\" type=\"K\" key=\"DIK_W\" mode=\"pressed\"/>"
                                     "<GROUP><ACTION name=\"Deep\" type=\"K\" key=\"DIK_W\" mode=\"pressed\"/>"
                                     "<NOTACTION name=\"Other\" type=\"K\" key=\"DIK_W\" mode=\"pressed\"/>"
                                     "</GROUP><action name=\"Lower\" type=\"K\" key=\"DIK_W\" mode=\"pressed\"/>"
                                     "<ACTION type=\"K\" key=\"DIK_W\" mode=\"pressed\"/></ROOT>"));
    keys.SetKey(DIK_W, true);
    manager.Update();
    EXPECT_TRUE(manager.IsAction("Top"));
    EXPECT_TRUE(manager.IsAction("Deep"));
    EXPECT_FALSE(manager.IsAction("Other"));
    EXPECT_FALSE(manager.IsAction("Lower"));
    EXPECT_TRUE(manager.IsAction("")); // a missing name is the empty name
    EXPECT_FALSE(manager.IsAction("Unbound"));
}

TEST_F(ActionsTest, AMissingFileBindsNothing)
{
    manager.LoadActions(folder / "none.xml");
    keys.SetKey(DIK_W, true);
    manager.Update();
    EXPECT_FALSE(manager.IsAction("MoveCameraLeft"));
}

TEST_F(ActionsTest, KeyboardModes)
{
    for (const char* type : {"K", "k"}) {
        SCOPED_TRACE(type);
        CInputManager m;
        InitManager(m);
        m.LoadActions(folder.Write(std::string("k") + type + ".xml",
                                   std::string("<A><ACTION name=\"P\" type=\"") + type +
                                       "\" key=\"DIK_Q\" mode=\"pressed\"/><ACTION name=\"J\" type=\"" + type +
                                       "\" key=\"DIK_Q\" mode=\"just_pressed\"/><ACTION name=\"R\" type=\"" +
                                       type + "\" key=\"DIK_Q\" mode=\"released\"/></A>"));
        struct Step {
            bool down, pressed, just, released;
        } steps[] = {
            {false, false, false, false}, {true, true, true, false},   {true, true, false, false},
            {false, false, false, true},  {false, false, false, false},
        };
        for (const Step& s : steps) {
            keys.SetKey(DIK_Q, s.down);
            m.Update();
            EXPECT_EQ(m.IsAction("P"), s.pressed);
            EXPECT_EQ(m.IsAction("J"), s.just);
            EXPECT_EQ(m.IsAction("R"), s.released);
            // Asking again within the frame gives the same answer.
            EXPECT_EQ(m.IsAction("J"), s.just);
        }
    }
}

TEST_F(ActionsTest, MouseButtonModes)
{
    Bind({{"m", "button_3", "just_pressed"}});
    EXPECT_FALSE(Frame());
    keys.SetButton(2, true);
    EXPECT_TRUE(Frame());
    EXPECT_FALSE(Frame());
    keys.SetButton(2, false);
    EXPECT_FALSE(Frame());

    CInputManager released;
    InitManager(released);
    released.LoadActions(folder.Write("r.xml", "<A><ACTION name=\"R\" type=\"M\" key=\"button_1\" mode=\"released\"/>"
                                               "<ACTION name=\"P\" type=\"M\" key=\"button_2\" mode=\"pressed\"/></A>"));
    keys.SetButton(0, true);
    keys.SetButton(1, true);
    released.Update();
    EXPECT_FALSE(released.IsAction("R"));
    EXPECT_TRUE(released.IsAction("P"));
    keys.SetButton(0, false);
    keys.SetButton(1, false);
    released.Update();
    EXPECT_TRUE(released.IsAction("R"));
    EXPECT_FALSE(released.IsAction("P"));
    released.Update();
    EXPECT_FALSE(released.IsAction("R"));
}

TEST_F(ActionsTest, PressedMouseMovementFiresInEveryFrameWithThatMovementOnly)
{
    Bind({{"M", "move_up", "pressed"}});
    manager.Update(); // the mouse is acquired from here on
    MoveMouse(0, -3);
    EXPECT_TRUE(Frame());
    MoveMouse(0, -3);
    EXPECT_TRUE(Frame());
    EXPECT_FALSE(Frame()); // no movement since the last poll
    MoveMouse(0, 5);
    EXPECT_FALSE(Frame());
    MoveMouse(10, 0);
    EXPECT_FALSE(Frame());
}

TEST_F(ActionsTest, ReleasedMouseMovementFiresOnceWhenTheMovementStops)
{
    Bind({{"M", "move_right", "released"}});
    manager.Update();
    MoveMouse(4, 0);
    EXPECT_FALSE(Frame());
    MoveMouse(-2, 0); // moving the other way is not moving right
    EXPECT_TRUE(Frame());
    EXPECT_FALSE(Frame());
}

TEST_F(ActionsTest, JustPressedMouseMovementComparesTheTwoCounts)
{
    Bind({{"M", "move_left", "just_pressed"}});
    manager.Update();
    MoveMouse(-2, 0);
    EXPECT_TRUE(Frame()); // -2 < 0
    MoveMouse(-5, 0);
    EXPECT_TRUE(Frame()); // faster to the left: -5 < -2
    MoveMouse(-5, 0);
    EXPECT_FALSE(Frame());
    MoveMouse(-1, 0);
    EXPECT_FALSE(Frame()); // slowing down
    MoveMouse(3, 0);
    EXPECT_FALSE(Frame());
    EXPECT_TRUE(Frame()); // 0 < 3, though the mouse went right before
}

TEST_F(ActionsTest, TheWheelFiresJustPressedOnlyInTheFirstFrameOfATurn)
{
    Bind({{"M", "wheel_up", "just_pressed"}});
    manager.Update();
    MoveMouse(0, 0, 120);
    EXPECT_TRUE(Frame());
    MoveMouse(0, 0, 240);
    EXPECT_FALSE(Frame()); // still turning
    EXPECT_FALSE(Frame());
    MoveMouse(0, 0, -120);
    EXPECT_FALSE(Frame()); // turned the other way
    MoveMouse(0, 0, 120);
    EXPECT_TRUE(Frame());

    CInputManager down;
    InitManager(down);
    down.LoadActions(folder.Write("w.xml", "<A><ACTION name=\"D\" type=\"M\" key=\"wheel_down\" mode=\"pressed\"/>"
                                           "<ACTION name=\"R\" type=\"M\" key=\"wheel_down\" mode=\"released\"/></A>"));
    down.Update();
    MoveMouse(0, 0, -120);
    down.Update();
    EXPECT_TRUE(down.IsAction("D"));
    EXPECT_FALSE(down.IsAction("R"));
    down.Update();
    EXPECT_FALSE(down.IsAction("D"));
    EXPECT_TRUE(down.IsAction("R"));
}

TEST_F(ActionsTest, PadButtonModes)
{
    Bind({{"C", "dpad_left", "released"}});
    SetButtons(XINPUT_GAMEPAD_DPAD_LEFT);
    EXPECT_FALSE(Frame());
    EXPECT_FALSE(Frame());
    SetButtons(0);
    EXPECT_TRUE(Frame()); // exactly one frame
    EXPECT_FALSE(Frame());

    CInputManager m;
    InitManager(m);
    m.LoadActions(folder.Write("b.xml", "<A><ACTION name=\"J\" type=\"c\" key=\"thumb_left_push\" mode=\"just_pressed\"/>"
                                        "<ACTION name=\"P\" type=\"C\" key=\"button_back\" mode=\"pressed\"/></A>"));
    SetButtons(XINPUT_GAMEPAD_LEFT_THUMB | XINPUT_GAMEPAD_BACK);
    m.Update();
    EXPECT_TRUE(m.IsAction("J"));
    EXPECT_TRUE(m.IsAction("P"));
    m.Update();
    EXPECT_FALSE(m.IsAction("J"));
    EXPECT_TRUE(m.IsAction("P"));
    // The right thumb is another button.
    SetButtons(XINPUT_GAMEPAD_RIGHT_THUMB);
    m.Update();
    EXPECT_FALSE(m.IsAction("J"));
    EXPECT_FALSE(m.IsAction("P"));
}

TEST_F(ActionsTest, StickDirectionsUseTheDeadZonedValues)
{
    Bind({{"C", "thumb_right_down", "just_pressed"}});
    pad.gamepad.sThumbRY = -8689; // resting, for the right stick
    EXPECT_FALSE(Frame());
    pad.gamepad.sThumbRY = -9000;
    EXPECT_TRUE(Frame());
    pad.gamepad.sThumbRY = -20000;
    EXPECT_FALSE(Frame());
    pad.gamepad.sThumbRY = 20000;
    EXPECT_FALSE(Frame());
    pad.gamepad.sThumbRY = -20000;
    EXPECT_TRUE(Frame()); // from up straight to down: down was not held before

    CInputManager m;
    InitManager(m);
    m.LoadActions(folder.Write("s.xml", "<A><ACTION name=\"L\" type=\"C\" key=\"thumb_left_left\" mode=\"pressed\"/>"
                                        "<ACTION name=\"U\" type=\"C\" key=\"thumb_left_up\" mode=\"released\"/></A>"));
    SetStick(-8000, 8000); // beyond the left stick's 7849
    m.Update();
    EXPECT_TRUE(m.IsAction("L"));
    EXPECT_FALSE(m.IsAction("U"));
    SetStick(-7849, -9000);
    m.Update();
    EXPECT_FALSE(m.IsAction("L"));
    EXPECT_TRUE(m.IsAction("U"));
}

TEST_F(ActionsTest, TriggerModesUseTheThreshold)
{
    Bind({{"C", "left_trigger", "pressed"}, {"C", "right_trigger", "just_pressed"}});
    pad.gamepad.bLeftTrigger = 30;
    pad.gamepad.bRightTrigger = 30;
    EXPECT_FALSE(Frame());
    pad.gamepad.bLeftTrigger = 31;
    EXPECT_TRUE(Frame());
    pad.gamepad.bLeftTrigger = 0;
    pad.gamepad.bRightTrigger = 200;
    EXPECT_TRUE(Frame());
    EXPECT_FALSE(Frame());

    CInputManager m;
    InitManager(m);
    m.LoadActions(folder.Write("t.xml", "<A><ACTION name=\"R\" type=\"C\" key=\"right_trigger\" mode=\"released\"/></A>"));
    m.Update();
    pad.gamepad.bRightTrigger = 25; // dropped below the threshold, not to zero
    m.Update();
    EXPECT_TRUE(m.IsAction("R"));
}

TEST_F(ActionsTest, EitherDeviceMakesAnActionFire)
{
    Bind({{"K", "DIK_LEFT", "pressed"}, {"C", "thumb_right_left", "pressed"}});
    EXPECT_FALSE(Frame());
    keys.SetKey(DIK_LEFT, true);
    EXPECT_TRUE(Frame());
    keys.SetKey(DIK_LEFT, false);
    pad.gamepad.sThumbRX = -30000;
    EXPECT_TRUE(Frame());
    pad.gamepad.sThumbRX = 0;
    EXPECT_FALSE(Frame());
}

TEST_F(ActionsTest, BindingsThatCanNeverFire)
{
    Bind({{"Keyboard", "DIK_W", "pressed"},
          {"KM", "DIK_W", "pressed"},
          {"", "DIK_W", "pressed"},
          {"K", "DIK_W", "Pressed"},
          {"K", "DIK_W", "held"},
          {"K", "W", "pressed"},
          {"M", "DIK_W", "pressed"},     // 0x11 is no mouse code
          {"C", "button_1", "pressed"},  // 1 is no pad code
          {"M", "button_A", "pressed"}}); // 10 is no mouse code
    keys.SetKey(DIK_W, true);
    keys.SetButton(0, true);
    SetButtons(XINPUT_GAMEPAD_A);
    manager.Update();
    MoveMouse(-5, -5, 120);
    EXPECT_FALSE(Frame());
}

TEST_F(ActionsTest, PadBindingsGoQuietOnceThePadIsGone)
{
    Bind({{"C", "button_A", "released"}, {"C", "button_B", "pressed"}});
    SetButtons(XINPUT_GAMEPAD_B);
    EXPECT_TRUE(Frame());
    SetButtons(XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_B);
    EXPECT_TRUE(Frame());
    pad.connected = false;
    EXPECT_TRUE(Frame()); // A's release is still seen in the first poll without the pad
    EXPECT_FALSE(manager.IsGamepadConnected());
    EXPECT_FALSE(Frame());
    EXPECT_FALSE(Frame());
}

TEST(GameActions, TheShippedFileBindsEveryCameraActionToInputsThatExist)
{
    CInputManager manager;
    manager.Init(nullptr, nullptr); // no window: the devices fail, the names are there
    manager.LoadActions(std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/actionsInputs.xml");
    ASSERT_TRUE(manager.GetErrorText().empty()) << manager.GetErrorText();

    // Read the file again to see every binding.
    struct Reader : public CXMLParser {
        void OnStartElement(const std::string& name, CXMLAttributes& a) override
        {
            if (name == "ACTION")
                bindings.push_back({a.GetString("name", ""),
                                    ActionBinding{a.GetString("type", ""), a.GetString("key", ""),
                                                  a.GetString("mode", "")}});
        }
        std::vector<std::pair<std::string, ActionBinding>> bindings;
    } reader;
    ASSERT_TRUE(reader.LoadXML(std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/actionsInputs.xml"));

    const std::set<std::string> wanted = {
        "MoveCameraLeft", "MoveCameraRight", "MoveCameraUp", "MoveCameraDown", "FreeCamForward",
        "FreeCamBackward", "FreeCamLeft", "FreeCamRight", "FreeCamUp", "FreeCamDown"};
    std::set<std::string> bound;
    for (const auto& entry : reader.bindings) {
        const ActionBinding& b = entry.second;
        SCOPED_TRACE(entry.first + " " + b.type + " " + b.key);
        EXPECT_TRUE(wanted.count(entry.first)) << "an action nobody asks for";
        bound.insert(entry.first);
        EXPECT_TRUE(b.mode == "pressed" || b.mode == "released" || b.mode == "just_pressed");
        const int code = manager.GetKeyCode(b.key);
        ASSERT_EQ(b.type.size(), 1u);
        switch (b.type[0]) {
        case 'K': case 'k': EXPECT_EQ(b.key.compare(0, 4, "DIK_"), 0); EXPECT_NE(code, 0); break;
        case 'M': case 'm': EXPECT_TRUE(code >= 1 && code <= 9); break;
        case 'C': case 'c': EXPECT_TRUE(code >= 10 && code <= 33); break;
        default: ADD_FAILURE() << "unknown device";
        }
    }
    EXPECT_EQ(bound, wanted);
}

} // namespace
} // namespace inputtest
