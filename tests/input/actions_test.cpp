// Named actions: when a binding of each device and mode fires.

#include "InputFixture.h"

#include "xml/temp_folder.h"

#include <set>
#include <sstream>

namespace inputtest {
namespace {

class Actions : public InputTest {
public:
    // Loads bindings given as "type key mode", all under the name "Act".
    void Bind(CInputManager& m, std::initializer_list<const char*> bindings)
    {
        std::string xml = "<ACTIONS>";
        for (const char* binding : bindings) {
            std::istringstream words(binding);
            std::string type, key, mode;
            words >> type >> key >> mode;
            xml += "<ACTION name=\"Act\" type=\"" + type + "\" key=\"" + key + "\" mode=\"" + mode + "\"/>";
        }
        if (&m != &manager)
            m.Init(nullptr, window);
        m.LoadActions(folder.Write("actions.xml", xml + "</ACTIONS>"));
        m.Update(); // acquires the mouse
    }
    TempFolder folder;
};

// Sets one input to a value for the coming frame.
using Drive = void (*)(Actions&, int);
void Key(Actions& t, int down) { t.keys.SetKey(DIK_Q, down); }
void Button1(Actions& t, int down) { t.keys.SetButton(0, down); }
void Button3(Actions& t, int down) { t.keys.SetButton(2, down); }
void MoveX(Actions& t, int dx) { t.MoveMouse(dx, 0); }
void MoveY(Actions& t, int dy) { t.MoveMouse(0, dy); }
void Wheel(Actions& t, int turn) { t.MoveMouse(0, 0, turn); }
void PadButtons(Actions& t, int bits) { t.pad.gamepad.wButtons = static_cast<WORD>(bits); }
void LeftX(Actions& t, int x) { t.pad.gamepad.sThumbLX = static_cast<SHORT>(x); }
void LeftY(Actions& t, int y) { t.pad.gamepad.sThumbLY = static_cast<SHORT>(y); }
void RightY(Actions& t, int y) { t.pad.gamepad.sThumbRY = static_cast<SHORT>(y); }
void LeftTrigger(Actions& t, int v) { t.pad.gamepad.bLeftTrigger = static_cast<BYTE>(v); }
void RightTrigger(Actions& t, int v) { t.pad.gamepad.bRightTrigger = static_cast<BYTE>(v); }

TEST_F(Actions, EachDeviceAndModeFiresInTheRightFrames)
{
    const struct {
        const char* binding;
        Drive drive;
        std::vector<int> inputs; // one per frame
        const char* fires;       // one per frame
    } cases[] = {
        {"K DIK_Q pressed", Key, {0, 1, 1, 0, 0}, "01100"},
        {"k DIK_Q just_pressed", Key, {0, 1, 1, 0, 0}, "01000"},
        {"K DIK_Q released", Key, {0, 1, 1, 0, 0}, "00010"},
        {"m button_3 just_pressed", Button3, {0, 1, 1, 0}, "0100"},
        {"M button_1 released", Button1, {1, 1, 0, 0}, "0010"},
        // Movement fires in the frames with movement that way only.
        {"M move_up pressed", MoveY, {-3, -3, 0, 5}, "1100"},
        {"M move_right released", MoveX, {4, -2, 0}, "010"},
        // Just pressed compares the two counts: faster that way, whatever came before.
        {"M move_left just_pressed", MoveX, {-2, -5, -5, -1, 3, 0}, "110001"},
        // The wheel does not: it fires as it starts turning that way.
        {"M wheel_up just_pressed", Wheel, {120, 240, 0, -120, 120}, "10001"},
        {"M wheel_down pressed", Wheel, {-120, 0}, "10"},
        {"C dpad_left released", PadButtons, {XINPUT_GAMEPAD_DPAD_LEFT, XINPUT_GAMEPAD_DPAD_LEFT, 0, 0}, "0010"},
        {"c thumb_left_push just_pressed", PadButtons, {XINPUT_GAMEPAD_LEFT_THUMB, XINPUT_GAMEPAD_LEFT_THUMB,
                                                        XINPUT_GAMEPAD_RIGHT_THUMB}, "100"},
        {"C button_back pressed", PadButtons, {XINPUT_GAMEPAD_BACK, XINPUT_GAMEPAD_RIGHT_THUMB}, "10"},
        // Sticks fire beyond their own dead zones: 8689 for the right one, 7849 for the left.
        {"C thumb_right_down just_pressed", RightY, {-8689, -9000, -20000, 20000, -20000}, "01001"},
        {"C thumb_left_left pressed", LeftX, {-8000, -7849}, "10"},
        {"C thumb_left_up released", LeftY, {8000, -9000}, "01"},
        // Triggers fire above 30.
        {"C left_trigger pressed", LeftTrigger, {30, 31, 0}, "010"},
        {"C right_trigger just_pressed", RightTrigger, {30, 200, 200}, "010"},
    };
    pad.connected = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.binding);
        keys = {};
        pad.gamepad = {};
        CInputManager m;
        Bind(m, {c.binding});
        std::string fired;
        for (int input : c.inputs) {
            c.drive(*this, input);
            m.Update();
            fired += m.IsAction("Act") ? '1' : '0';
            EXPECT_EQ(m.IsAction("Act"), fired.back() == '1') << "asking twice in a frame";
        }
        EXPECT_EQ(fired, c.fires);
    }
}

TEST_F(Actions, EitherBindingFiresAndMalformedOnesNever)
{
    pad.connected = true;
    Bind(manager, {"K DIK_LEFT pressed", "C thumb_right_left pressed", "Keyboard DIK_W pressed", "KM DIK_W pressed",
                   "K DIK_W Pressed", "K DIK_W held", "K W pressed", "K dik_w pressed",
                   "M DIK_W pressed" /* 0x11 is no mouse code */, "C button_1 pressed" /* 1 is no pad code */,
                   "M button_A pressed" /* 10 is no mouse code */});
    keys.SetKey(DIK_LEFT, true);
    manager.Update();
    EXPECT_TRUE(manager.IsAction("Act"));
    keys.SetKey(DIK_LEFT, false);
    pad.gamepad.sThumbRX = -30000;
    manager.Update();
    EXPECT_TRUE(manager.IsAction("Act"));

    pad.gamepad.sThumbRX = 0;
    keys.SetKey(DIK_W, true);
    keys.SetButton(0, true);
    pad.gamepad.wButtons = XINPUT_GAMEPAD_A;
    manager.Update();
    MoveMouse(-5, -5, 120);
    manager.Update();
    EXPECT_FALSE(manager.IsAction("Act"));
}

// A binding that can never fire is kept, as the file has it, and named once
// with its action and what is wrong in it; sound bindings say nothing.
TEST_F(Actions, ABindingThatCanNeverFireIsNamedOnceWithItsAction)
{
    const std::string file = folder.Write("bindings.xml", R"(<ACTIONS>
  <ACTION name="Jump" type="K" key="DIK_SPACE" mode="pressed"/>
  <ACTION name="Jump" type="K" key="DIK_SPACEBAR" mode="pressed"/>
  <ACTION name="Fire" type="Keyboard" key="DIK_W" mode="pressed"/>
  <ACTION name="Look" type="M" key="move_left" mode="held"/>
  <ACTION name="Pad" type="C" key="button_A" mode="just_pressed"/>
</ACTIONS>)");
    testing::internal::CaptureStderr();
    manager.LoadActions(file);
    manager.LoadActions(file); // a second load adds the bindings again, and says nothing new
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, file + ": action \"Jump\": unknown key name \"DIK_SPACEBAR\", the binding never fires\n" + file +
                        ": action \"Fire\": unknown type \"Keyboard\", the binding never fires\n" + file +
                        ": action \"Look\": unknown mode \"held\", the binding never fires\n");
    keys.SetKey(DIK_SPACE, true);
    manager.Update();
    EXPECT_TRUE(manager.IsAction("Jump")) << "the sound binding of the action still fires";
}

// The names a binding may use: DirectInput's codes for keys, the pad's own
// numbers for its buttons; the F keys stop at F9.
TEST_F(Actions, KeyNamesGiveTheirCodes)
{
    const std::pair<const char*, int> names[] = {
        {"DIK_F1", 0x3B},     {"DIK_F5", 0x3F},        {"DIK_F9", 0x43},        {"DIK_F10", 0},
        {"DIK_RCONTROL", 0x9D}, {"DIK_BACKSLASH", 0x2B}, {"DIK_COMMA", 0x33},   {"DIK_ADD", 0x4E},
        {"dpad_up", 14},      {"dpad_down", 15},       {"dpad_left", 16},       {"dpad_right", 17},
        {"button_start", 18}, {"button_back", 19},     {"shoulder_left", 20},   {"shoulder_right", 21},
        {"thumb_right_push", 22}, {"thumb_left_push", 23}, {"thumb_right_up", 24}, {"thumb_right_down", 25},
        {"thumb_right_right", 26}, {"thumb_right_left", 27}, {"thumb_left_up", 28}, {"thumb_left_down", 29},
        {"thumb_left_right", 30}, {"thumb_left_left", 31}, {"left_trigger", 32}, {"right_trigger", 33},
        {"move_up", 4},       {"move_down", 5},        {"move_left", 6},        {"wheel_down", 9},
    };
    for (const auto& [name, code] : names)
        EXPECT_EQ(manager.GetKeyCode(name), code) << name;
}

// While the keys are withheld (the console typed into) every device reads
// as untouched, no action fires and the hero gets no code; afterwards the
// manager reads them again.
TEST_F(Actions, WithheldKeysReadAsUntouchedAndFireNothing)
{
    Bind(manager, {"K DIK_Q pressed"});
    bool withheld = true;
    manager.WithholdWhile([&] { return withheld; });
    keys.SetKey(DIK_Q, true);
    keys.SetKey(DIK_W, true);
    keys.SetButton(1, true);
    pad.connected = true;
    pad.gamepad.wButtons = XINPUT_GAMEPAD_A;
    MoveMouse(30, 0);
    EXPECT_EQ(Frame(), Events());
    EXPECT_FALSE(manager.IsAction("Act"));
    EXPECT_FALSE(manager.GetKeyboardState().IsKeyJustPressed(DIK_Q));
    EXPECT_FALSE(manager.GetKeyboardState().IsKeyDown(DIK_W));
    EXPECT_FALSE(manager.GetMouseState().IsRightButtonDown());
    EXPECT_EQ(manager.GetMouseState().GetCurrentState().lX, 0);
    EXPECT_FALSE(manager.GetGamepadState().IsADown());

    withheld = false;
    EXPECT_TRUE(manager.IsAction("Act"));
    EXPECT_TRUE(manager.GetKeyboardState().IsKeyDown(DIK_W));
    EXPECT_TRUE(manager.GetMouseState().IsRightButtonDown());
    EXPECT_TRUE(manager.GetGamepadState().IsADown());
    manager.WithholdWhile(nullptr);
}

TEST(GameActions, TheShippedFileBindsEveryCameraActionToInputsThatExist)
{
    const std::string file = std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/actionsInputs.xml";
    CInputManager manager;
    manager.Init(nullptr, nullptr); // no window: the devices fail, the names are there
    manager.LoadActions(file);
    ASSERT_TRUE(manager.GetErrorText().empty()) << manager.GetErrorText();
    struct Reader : public CXMLParser { // every binding, as {name, type, key, mode}
        void OnStartElement(const std::string& name, CXMLAttributes& a) override
        {
            if (name == "ACTION")
                bindings.push_back({a.GetString("name", ""), a.GetString("type", ""), a.GetString("key", ""),
                                    a.GetString("mode", "")});
        }
        std::vector<std::vector<std::string>> bindings;
    } reader;
    ASSERT_TRUE(reader.LoadXML(file));
    std::set<std::string> bound;
    for (const auto& b : reader.bindings) {
        const std::string &name = b[0], &type = b[1], &key = b[2], &mode = b[3];
        bound.insert(name);
        const int code = manager.GetKeyCode(key);
        const bool known = type == "K" ? key.rfind("DIK_", 0) == 0 && code != 0
                         : type == "M" ? code >= 1 && code <= 9
                                       : type == "C" && code >= 10 && code <= 33;
        EXPECT_TRUE(known) << name << " " << type << " " << key;
        EXPECT_TRUE(mode == "pressed" || mode == "released" || mode == "just_pressed") << name << " " << mode;
    }
    EXPECT_EQ(bound, (std::set<std::string>{"MoveCameraLeft", "MoveCameraRight", "MoveCameraUp", "MoveCameraDown",
                                            "FreeCamForward", "FreeCamBackward", "FreeCamLeft", "FreeCamRight",
                                            "FreeCamUp", "FreeCamDown"}));
}

} // namespace
} // namespace inputtest
