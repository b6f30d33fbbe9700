// The main menu, options screen, storm and fades as a player drives them with
// a fake keyboard and pad: where the cursor lands, what each key does, what
// sounds.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/MainConfig.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "input/InputFixture.h"
#include "sound/SoundManager.h"
#include "xml/temp_folder.h"

namespace {

const std::string kMove = "data/sound/upDown.wav";
const std::string kSelect = "data/sound/lados.wav";
using Sounds = std::vector<std::string>;

// One input of a pass: a key (DIK code), a pad button, or the left stick.
struct Input {
    int key = 0;
    WORD button = 0;
    SHORT stickX = 0, stickY = 0;
};
Input Key(int code) { return Input{code, 0, 0, 0}; }
Input Button(WORD b) { return Input{0, b, 0, 0}; }
Input Stick(SHORT x, SHORT y) { return Input{0, 0, x, y}; }

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetDirectInputSource(&keys);
        platform::SetPadSource(&pad);
        SetFocus(inputtest::TestWindow());
        getInputManager()->Init(nullptr, inputtest::TestWindow());
        getInputManager()->SetControllerSource([] { return static_cast<IController*>(nullptr); });
        Poll();
        Poll();
        InitMainConfig();
        getSubtitulos().english = false;
        getSubtitulos().Resume();
        getSoundManager().menuThemePlaying = false;
        gui.Init(800, 600);
        gui.playSample = [this](const std::string& file) { sounds.push_back(file); };
        gui.playThunder = [this] { sounds.push_back("thunder"); };
        gui.randomRange = [this](float, float high) {
            if (chances.empty())
                return high; // the storm stays quiet
            const float r = chances.front();
            chances.pop_front();
            return r;
        };
    }
    void TearDown() override
    {
        getInputManager()->SetControllerSource(nullptr);
        platform::SetDirectInputSource(nullptr);
        platform::SetPadSource(nullptr);
        InitMainConfig();
    }

    void Poll() { getInputManager()->Update(); }
    void Hold(const Input& in, bool down)
    {
        if (in.key)
            keys.SetKey(in.key, down);
        if (down)
            pad.gamepad.wButtons |= in.button;
        else
            pad.gamepad.wButtons &= ~in.button;
        pad.gamepad.sThumbLX = down ? in.stickX : 0;
        pad.gamepad.sThumbLY = down ? in.stickY : 0;
    }
    // One main-menu pass with the inputs pressed, then everything let go.
    Sounds Menu(std::vector<Input> inputs)
    {
        sounds.clear();
        pad.connected = true;
        for (const Input& in : inputs)
            Hold(in, true);
        Poll();
        gui.UpdateMainMenu(0.01f);
        for (const Input& in : inputs)
            Hold(in, false);
        Poll();
        return sounds;
    }
    Sounds Menu(Input in) { return Menu(std::vector<Input>{in}); }

    // Which main-menu entry the cursor is on.
    std::string Cursor() const
    {
        std::string on;
        const std::pair<bool, const char*> items[] = {{gui.itemNewGame, "new"}, {gui.itemControls, "controls"},
                                                      {gui.itemOptions, "options"}, {gui.itemAchievements, "achievements"},
                                                      {gui.itemExit, "exit"}};
        for (const auto& item : items)
            if (item.first)
                on += on.empty() ? item.second : std::string("+") + item.second;
        return on.empty() ? "none" : on;
    }
    void PlaceCursor(const std::string& item)
    {
        gui.itemNewGame = item == "new";
        gui.itemControls = item == "controls";
        gui.itemOptions = item == "options";
        gui.itemAchievements = item == "achievements";
        gui.itemExit = item == "exit";
    }

    platform::FakeDirectInput keys;
    platform::FakePad pad;
    CGUIManager gui;
    Sounds sounds;
    std::deque<float> chances;
};

TEST_F(MenuTest, EveryUpAndDownInputMovesTheCursorWithWrapAndAClick)
{
    const struct {
        const char* from;
        Input input;
        const char* to;
    } cases[] = {
        {"new", Key(DIK_UP), "exit"},
        {"exit", Key(DIK_DOWN), "new"},
        {"new", Key(DIK_S), "controls"},
        {"controls", Key(DIK_W), "new"},
        {"controls", Key(DIK_DOWN), "options"},
        {"options", Key(DIK_DOWN), "achievements"},
        {"achievements", Key(DIK_DOWN), "exit"},
        {"achievements", Button(XINPUT_GAMEPAD_DPAD_UP), "options"},
        {"options", Button(XINPUT_GAMEPAD_DPAD_DOWN), "achievements"},
        {"new", Stick(0, 20000), "exit"},
        {"new", Stick(0, -20000), "controls"},
        {"none", Key(DIK_UP), "achievements"},
        {"none", Key(DIK_DOWN), "new"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        PlaceCursor(c.from);
        EXPECT_EQ(Menu(c.input), Sounds{kMove});
        EXPECT_EQ(Cursor(), c.to);
    }

    PlaceCursor("new");
    pad.gamepad.sThumbLY = 20000;
    for (int pass = 0; pass < 3; ++pass) {
        Poll();
        gui.UpdateMainMenu(0.01f);
    }
    EXPECT_EQ(Cursor(), "exit") << "a stick held up moves once, on its edge";
    pad.gamepad.sThumbLY = 0;
    Poll();
}

TEST_F(MenuTest, SelectOpensTheEntryUnderTheCursorAndCloseKeysComeBack)
{
    const struct {
        const char* item;
        Input input;
        bool click, controls, options, achievements, exit;
    } cases[] = {
        {"controls", Key(DIK_RETURN), true, true, false, false, false},
        {"options", Button(XINPUT_GAMEPAD_A), true, false, true, false, false},
        {"achievements", Key(DIK_RETURN), true, false, false, true, false},
        {"exit", Key(DIK_RETURN), true, false, false, false, true},
        {"controls", Key(DIK_ESCAPE), false, false, false, false, true},
        {"new", Button(XINPUT_GAMEPAD_BACK), false, false, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.item) + (c.input.key == DIK_ESCAPE ? " escape" : ""));
        gui.controlsActive = gui.optionsActive = gui.achievementsActive = gui.exitRequested = false;
        PlaceCursor(c.item);
        const Sounds heard = Menu(c.input);
        EXPECT_EQ(heard, c.click ? Sounds{kSelect} : Sounds{});
        EXPECT_EQ(gui.controlsActive, c.controls);
        EXPECT_EQ(gui.optionsActive, c.options);
        EXPECT_EQ(gui.achievementsActive, c.achievements);
        EXPECT_EQ(gui.exitRequested, c.exit);
        EXPECT_TRUE(gui.mainMenuActive);
    }

    // Sub-screens close on any of the close inputs and take no other key.
    const Input closers[] = {Key(DIK_ESCAPE), Key(DIK_RETURN), Button(XINPUT_GAMEPAD_START),
                             Button(XINPUT_GAMEPAD_BACK), Button(XINPUT_GAMEPAD_A)};
    for (const Input& close : closers) {
        gui.exitRequested = false;
        PlaceCursor("controls");
        gui.controlsActive = true;
        EXPECT_EQ(Menu(Key(DIK_DOWN)), Sounds{});
        EXPECT_EQ(Cursor(), "controls") << "the cursor waits under the controls screen";
        EXPECT_EQ(Menu(close), Sounds{kSelect});
        EXPECT_FALSE(gui.controlsActive);
        EXPECT_FALSE(gui.exitRequested) << "closing the screen does not leave the program";
        gui.achievementsActive = true;
        EXPECT_EQ(Menu(close), Sounds{kSelect});
        EXPECT_FALSE(gui.achievementsActive);
    }

    // Select, back and a move in one pass: all three, in that order.
    PlaceCursor("controls");
    gui.controlsActive = gui.exitRequested = false;
    EXPECT_EQ(Menu({Key(DIK_RETURN), Key(DIK_ESCAPE), Key(DIK_UP)}), (Sounds{kSelect, kMove}));
    EXPECT_TRUE(gui.controlsActive);
    EXPECT_TRUE(gui.exitRequested);
    EXPECT_EQ(Cursor(), "new");
}

TEST_F(MenuTest, NewGameLeavesTheMenuItsMusicAndThePausedSubtitles)
{
    CSoundManager& sound = getSoundManager();
    EXPECT_EQ(Menu(Input{}), Sounds{});
    EXPECT_TRUE(sound.menuThemePlaying) << "the first pass starts the menu music";
    getSubtitulos().Pause();
    EXPECT_EQ(Menu(Key(DIK_RETURN)), Sounds{kSelect});
    EXPECT_FALSE(gui.mainMenuActive);
    EXPECT_FALSE(gui.exitRequested);
    EXPECT_FALSE(sound.menuThemePlaying);
    EXPECT_FALSE(getSubtitulos().IsPaused());
}

class OptionsTest : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        gui.optionsActive = true;
    }
    void At(int row) { gui.optionsCursor = row; }
};

TEST_F(OptionsTest, ArrowsChangeTheRowUnderTheCursorWithinTheirLimitsAndAlwaysClick)
{
    CSoundManager& sound = getSoundManager();
    const struct {
        int row;
        int music, effects; // before
        Input input;
        int musicAfter, effectsAfter;
        bool dof, blur, bloom, subtitles; // after, from the defaults on, off, on, off
    } cases[] = {
        {0, 100, 100, Key(DIK_RIGHT), 100, 100, true, false, true, false},
        {0, 100, 100, Key(DIK_LEFT), 95, 100, true, false, true, false},
        {0, 0, 100, Key(DIK_A), 0, 100, true, false, true, false},
        {0, 50, 100, Button(XINPUT_GAMEPAD_DPAD_RIGHT), 55, 100, true, false, true, false},
        {1, 100, 100, Key(DIK_D), 100, 100, true, false, true, false},
        {1, 100, 3, Stick(-20000, 0), 100, 0, true, false, true, false},
        {2, 100, 100, Key(DIK_RIGHT), 100, 100, false, false, true, false},
        {3, 100, 100, Key(DIK_LEFT), 100, 100, true, true, true, false},
        {4, 100, 100, Key(DIK_RIGHT), 100, 100, true, false, false, false},
        {5, 100, 100, Button(XINPUT_GAMEPAD_DPAD_LEFT), 100, 100, true, false, true, true},
        {6, 100, 100, Key(DIK_RIGHT), 100, 100, true, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(c.row) + " from " + std::to_string(c.music) + "/" +
                     std::to_string(c.effects));
        gui.Init(800, 600);
        gui.optionsActive = true;
        sound.musicVolume = sound.effectsVolume = -1.0f;
        At(c.row);
        gui.musicVolume = c.music;
        gui.effectsVolume = c.effects;
        EXPECT_EQ(Menu(c.input), Sounds{kSelect});
        EXPECT_EQ(gui.musicVolume, c.musicAfter);
        EXPECT_EQ(gui.effectsVolume, c.effectsAfter);
        EXPECT_EQ(gui.depthOfFieldOn, c.dof);
        EXPECT_EQ(gui.motionBlurOn, c.blur);
        EXPECT_EQ(gui.bloomOn, c.bloom);
        EXPECT_EQ(gui.subtitlesOn, c.subtitles);
        // A volume row sends its value at once, also when it stayed at a limit.
        EXPECT_FLOAT_EQ(sound.musicVolume, c.row == 0 ? c.musicAfter * 0.01f : -1.0f);
        EXPECT_FLOAT_EQ(sound.effectsVolume, c.row == 1 ? c.effectsAfter * 0.01f : -1.0f);
        EXPECT_TRUE(gui.optionsActive);
        EXPECT_EQ(gui.optionsCursor, c.row);
    }
}

TEST_F(OptionsTest, UpAndDownWrapOverTheSevenRows)
{
    const struct {
        int from;
        Input input;
        int to;
    } cases[] = {{0, Key(DIK_UP), 6},          {6, Key(DIK_DOWN), 0},
                 {3, Key(DIK_W), 2},           {3, Key(DIK_S), 4},
                 {5, Stick(0, 20000), 4},      {5, Button(XINPUT_GAMEPAD_DPAD_DOWN), 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        At(c.from);
        EXPECT_EQ(Menu(c.input), Sounds{kMove});
        EXPECT_EQ(gui.optionsCursor, c.to);
    }
}

// Leaving sends every setting on; Escape does exactly what the back row does.
TEST_F(OptionsTest, LeavingByBackOrEscapeAppliesEverySetting)
{
    CSoundManager& sound = getSoundManager();
    for (const bool byEscape : {false, true}) {
        SCOPED_TRACE(byEscape ? "escape" : "back row");
        InitMainConfig();
        gui.optionsActive = true;
        gui.musicVolume = 35;
        gui.effectsVolume = 60;
        gui.bloomOn = false;
        gui.motionBlurOn = true;
        gui.subtitlesOn = true;
        getSubtitulos().subtitlesEnabled = false;
        sound.musicVolume = sound.effectsVolume = -1.0f;

        At(3);
        Menu(Key(DIK_RETURN));
        EXPECT_TRUE(gui.optionsActive) << "select on another row stays";
        EXPECT_FLOAT_EQ(sound.musicVolume, -1.0f);

        At(byEscape ? 2 : 6);
        Menu(Key(byEscape ? DIK_ESCAPE : DIK_RETURN));
        EXPECT_FALSE(gui.optionsActive);
        EXPECT_FALSE(gui.exitRequested) << "Escape here only leaves the options";
        EXPECT_TRUE(gui.mainMenuActive);
        EXPECT_FLOAT_EQ(sound.musicVolume, 0.35f);
        EXPECT_FLOAT_EQ(sound.effectsVolume, 0.60f);
        EXPECT_FALSE(getMainConfig("bloomRender"));
        EXPECT_TRUE(getMainConfig("blurRender"));
        EXPECT_TRUE(getSubtitulos().subtitlesEnabled);
    }
}

TEST_F(OptionsTest, TheArrowsLightWhileAKeyIsHeldButOnlyOnThePadsPress)
{
    At(0);
    keys.SetKey(DIK_RIGHT, true);
    for (int pass = 0; pass < 3; ++pass) {
        Poll();
        gui.UpdateOptions();
        EXPECT_TRUE(gui.rightArrowLit) << pass;
        EXPECT_FALSE(gui.leftArrowLit);
    }
    keys.SetKey(DIK_LEFT, true);
    Poll();
    gui.UpdateOptions();
    EXPECT_TRUE(gui.leftArrowLit) << "left wins when both are held";
    EXPECT_FALSE(gui.rightArrowLit);
    keys.SetKey(DIK_RIGHT, false);
    keys.SetKey(DIK_LEFT, false);

    pad.connected = true;
    pad.gamepad.wButtons = XINPUT_GAMEPAD_DPAD_RIGHT;
    Poll();
    gui.UpdateOptions();
    EXPECT_TRUE(gui.rightArrowLit) << "the pass of the press";
    Poll();
    gui.UpdateOptions();
    EXPECT_FALSE(gui.rightArrowLit) << "held on the d-pad";
    pad.gamepad.wButtons = 0;
    pad.gamepad.sThumbLX = 20000;
    Poll();
    Poll();
    gui.UpdateOptions();
    EXPECT_TRUE(gui.rightArrowLit) << "the stick held right";
    pad.gamepad.sThumbLX = 0;
    Poll();
}

// The storm: chances are scripted, each pass draws the threshold and, when it
// is passed, the pattern.
TEST_F(MenuTest, LightningFlickersPatternAThenMaybeBWithAThunderClapEach)
{
    auto variant = [&] {
        int v = 0;
        for (int i = 0; i < 5; ++i)
            if (gui.background[i])
                v = v ? -1 : i + 1;
        return v;
    };
    gui.lightningTimer = 1.0f;
    chances = {0.0f, 4.0f}; // threshold 2 not passed yet: no second draw
    gui.UpdateLightning(0.5f);
    EXPECT_EQ(sounds, Sounds{});
    EXPECT_EQ(chances.size(), 1u);

    chances = {0.0f, 4.9f}; // passed, but B may only follow A
    gui.UpdateLightning(1.0f);
    EXPECT_EQ(sounds, Sounds{});
    EXPECT_FALSE(gui.flashB);

    chances = {0.0f, 5.0f};
    gui.UpdateLightning(0.02f);
    EXPECT_EQ(sounds, Sounds{"thunder"});
    EXPECT_TRUE(gui.flashA);
    EXPECT_EQ(variant(), 2);
    const struct {
        float t;
        int variant;
    } a[] = {{0.06f, 3}, {0.10f, 4}, {0.14f, 3}, {0.18f, 2}, {0.30f, 5}, {0.78f, 4}, {0.86f, 3}, {0.94f, 2}};
    for (const auto& step : a) {
        SCOPED_TRACE(step.t);
        chances = {0.0f, 9.0f}; // would fire again if a running flash did not block it
        gui.lightningTimer = 5.0f;
        gui.UpdateLightning(step.t - gui.flashTimer);
        EXPECT_EQ(variant(), step.variant);
    }
    gui.UpdateLightning(0.04f);
    EXPECT_FALSE(gui.flashA) << "A ends past 0.96 s";
    EXPECT_EQ(variant(), 1);
    EXPECT_EQ(sounds, Sounds{"thunder"});

    chances = {0.0f, 1.0f};
    gui.lightningTimer = 3.0f;
    gui.UpdateLightning(0.42f);
    EXPECT_TRUE(gui.flashB);
    EXPECT_EQ(variant(), 1) << "B's dark moment at 0.40";
    gui.UpdateLightning(0.60f);
    EXPECT_EQ(variant(), 2) << "B still runs at 1.02";
    gui.UpdateLightning(0.04f);
    EXPECT_FALSE(gui.flashB);
    EXPECT_EQ(sounds, (Sounds{"thunder", "thunder"}));

    chances = {0.0f, 1.0f};
    gui.lightningTimer = 3.0f;
    gui.UpdateLightning(0.01f);
    EXPECT_FALSE(gui.flashB) << "never two B in a row";
}

TEST_F(MenuTest, FadesRunTheirLengthAndALengthOfNothingEndsAtOnce)
{
    gui.FadeInFromBlack(2.0f);
    EXPECT_FLOAT_EQ(gui.fadeAlpha, 1.0f) << "the start leaves the overlay as it was";
    gui.fadeAlpha = 0.5f;
    gui.AdvanceFade(1.0f / 30.0f);
    EXPECT_FLOAT_EQ(gui.fadeAlpha, 1.0f);
    for (int update = 2; update <= 60; ++update)
        gui.AdvanceFade(1.0f / 30.0f);
    EXPECT_NEAR(gui.fadeAlpha, 1.0f / 60.0f, 1e-4f);
    gui.AdvanceFade(1.0f / 30.0f);
    EXPECT_NEAR(gui.fadeAlpha, 0.0f, 1e-4f) << "about 0 at the 61st update";
    EXPECT_TRUE(gui.fading);
    gui.AdvanceFade(1.0f / 30.0f);
    EXPECT_FALSE(gui.fading) << "ends at the next";
    EXPECT_EQ(gui.fadeAlpha, 0.0f);

    const struct {
        void (CGUIManager::*start)(float);
        bool white;
        float middle, end;
    } fades[] = {{&CGUIManager::FadeInFromBlack, false, 0.75f, 0.0f},
                 {&CGUIManager::FadeOutToBlack, false, 0.25f, 1.0f},
                 {&CGUIManager::FadeInFromWhite, true, 0.75f, 0.0f},
                 {&CGUIManager::FadeOutToWhite, true, 0.25f, 1.0f}};
    for (const auto& f : fades) {
        (gui.*f.start)(4.0f);
        EXPECT_EQ(gui.fadeWhite, f.white);
        gui.AdvanceFade(1.0f);
        gui.AdvanceFade(1.0f);
        EXPECT_FLOAT_EQ(gui.fadeAlpha, f.middle);
        for (int i = 0; i < 4; ++i)
            gui.AdvanceFade(1.0f);
        EXPECT_FALSE(gui.fading);
        EXPECT_FALSE(gui.fadeWhite) << "a finished white fade leaves the black overlay";
        EXPECT_EQ(gui.fadeAlpha, f.end);

        (gui.*f.start)(0.0f);
        gui.AdvanceFade(1.0f / 30.0f);
        EXPECT_FALSE(gui.fading) << "0 s";
        EXPECT_EQ(gui.fadeAlpha, f.end) << "no 0/0";
    }

    gui.FadeOutToBlack(1.0f);
    gui.Update(1.0f / 30.0f);
    EXPECT_FLOAT_EQ(gui.fadeAlpha, 0.0f) << "the in-game update runs the fade";
}

} // namespace
