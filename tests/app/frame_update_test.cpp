// The frame update, the switches that gate its steps, and the window keys that scale game time.
#include "loop_fixture.h"

#include <algorithm>
#include <map>

#include "render/Bloom.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

TEST(MainConfig, DefaultsAreWrittenAgainAndUnknownNamesReadOff)
{
    const std::map<std::string, bool> saved = MainConfig;
    MainConfig.clear();
    InitMainConfig();
    const std::map<std::string, bool> defaults = MainConfig;
    EXPECT_GE(defaults.size(), 31u);
    for (const auto& [name, on] : defaults)
        EXPECT_EQ(on, name != "blurRender") << name << ": every switch is on but motion blur";

    setMainConfig("inputUpdate", false);
    setMainConfig("blurRender", true);
    InitMainConfig();
    EXPECT_EQ(MainConfig, defaults);

    // A name no switch has reads off; a script may add one; names are case-sensitive.
    EXPECT_FALSE(getMainConfig("nothing"));
    setMainConfig("fromAScript", true);
    EXPECT_TRUE(getMainConfig("fromAScript"));
    EXPECT_FALSE(getMainConfig("BloomRender"));
    MainConfig = saved;
}

class FrameUpdateTest : public GameWindowTest {
protected:
    // One update with the timing log on; that update's labels.
    std::vector<std::string> LoggedUpdate()
    {
        getProfiler().Enable(true);
        getProfiler().Open("log.txt");
        UpdateFrame(0.04f);
        getProfiler().Close();
        return ReadLogLabels("log.txt").at(0);
    }

    ScratchFolder folder{"frame_update"};
};

// With a restart asked for and the record ready for the island, everything runs once.
TEST_F(FrameUpdateTest, StepsRunInTheirOrderWithTheirStepsAndLogTheirLabels)
{
    GameTimeScale = 0.5f;
    getCollisionManager().drawCallCount = 7; // the physics lines drawn last frame
    getGUI().restartRequested = true;
    getGSF().setReadyLevelSwitchIsla();
    const std::vector<std::string> expected = {
        "UPDATE",          "UpdateSceneManager: ", "UpdateInput: ",  "UpdateCamera: ",    "UpdateEnemies: ",
        "UpdateProjectile: ", "UpdateParticle: ",  "UpdateLUAMsg: ", "UpdateColisions: ", "UpdatePlayer: ",
        "UpdateSound: ",   "UpdateItems:",          "UpdateTriggers: ", "UpdateRigid: ",  "UpdateGUI: ",
        "BuildFrustum: ",  "TOTAL_UPDATE: ",
    };
    EXPECT_EQ(LoggedUpdate(), expected);

    const std::vector<std::string> calls = {
        "RestartLevel",      "AddPlayTime",     "UpdateSceneManager", "UpdateInput",      "UpdateCamera",
        "UpdateEnemies",     "UpdateProjectiles", "UpdateParticles",  "UpdateMissionText", "UpdateCollisions",
        "UpdatePlayer",      "UpdateSound",     "UpdatePickups",      "UpdateSubtitles",  "UpdateTriggers",
        "SwitchLevelToIsla", "UpdateRigidAnims", "UpdateGUI",         "UpdateFrustum",
    };
    EXPECT_EQ(recorder.names, calls);
    // The game-time steps at half scale, the particles at 0.05 s a frame scaled,
    // the rest as given; the restart is to a checkpoint, not a new game.
    const std::vector<float> steps = {0,     .04f, .04f, 0,    .04f, .02f, .02f, .025f, .04f, .04f,
                                      .02f,  .04f, .04f, .04f, .04f, 0,    .02f, .04f,  0};
    EXPECT_EQ(recorder.values, steps);
    EXPECT_FALSE(getGUI().restartRequested) << "restarted once";
    EXPECT_EQ(getCollisionManager().drawCallCount, 0);
    UpdateFrame(0.2f);
    EXPECT_EQ(recorder.ValuesOf("UpdateParticles").back(), 0.025f) << "whatever the frame took";
    EXPECT_FLOAT_EQ(LastFrameDt, 0.2f) << "the fight code counts down by the unscaled step";

    // A slow motion the hero's update starts reaches the steps after it in the same frame.
    GameTimeScale = 1.0f;
    recorder = RecordingCalls();
    recorder.onCall = [](const std::string& name) {
        if (name == "UpdatePlayer")
            GameTimeScale = 0.25f;
    };
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.ValuesOf("UpdateEnemies").back(), 0.04f);
    EXPECT_EQ(recorder.ValuesOf("UpdatePlayer").back(), 0.04f);
    EXPECT_EQ(recorder.ValuesOf("UpdateRigidAnims").back(), 0.01f);
}

TEST_F(FrameUpdateTest, EachSwitchedOffStepIsNeitherRunNorLogged)
{
    const struct { const char *name, *call, *label; } gated[] = {
        {"sceneMngrUpdate", "UpdateSceneManager", "UpdateSceneManager: "},
        {"cameraUpdate", "UpdateCamera", "UpdateCamera: "},
        {"enemiesUpdate", "UpdateEnemies", "UpdateEnemies: "},
        {"projectilesUpdate", "UpdateProjectiles", "UpdateProjectile: "},
        {"particlesUpdate", "UpdateParticles", "UpdateParticle: "},
        {"luaMsgUpdate", "UpdateMissionText", "UpdateLUAMsg: "},
        {"collisionsUpdate", "UpdateCollisions", "UpdateColisions: "},
        {"playerUpdate", "UpdatePlayer", "UpdatePlayer: "},
        {"soundUpdate", "UpdateSound", "UpdateSound: "},
        {"triggersUpdate", "UpdateTriggers", "UpdateTriggers: "},
        {"rigidAnimsUpdate", "UpdateRigidAnims", "UpdateRigid: "},
    };
    for (const auto& step : gated) {
        SCOPED_TRACE(step.name);
        InitMainConfig();
        setMainConfig(step.name, false);
        recorder = RecordingCalls();
        const std::vector<std::string> labels = LoggedUpdate();
        EXPECT_EQ(recorder.Count(step.call), 0);
        EXPECT_EQ(std::count(labels.begin(), labels.end(), step.label), 0);
        // Everything else still runs: 16 steps less this one, plus the play time.
        EXPECT_EQ(recorder.names.size(), 16u);
        EXPECT_EQ(labels.size(), 16u);
    }
}

// Play time runs only while the game is really played.
TEST_F(FrameUpdateTest, PlayTimeStopsInThePauseTheOptionsAndTheMenu)
{
    const struct { bool pause, options, menu; } screens[] = {
        {false, false, false}, {true, false, false}, {false, true, false}, {false, false, true}};
    for (const auto& on : screens) {
        CGUIManager& gui = getGUI();
        gui.pauseActive = on.pause;
        gui.optionsActive = on.options;
        gui.mainMenuActive = on.menu;
        recorder = RecordingCalls();
        UpdateFrame(0.04f);
        const bool playing = !on.pause && !on.options && !on.menu;
        EXPECT_EQ(recorder.ValuesOf("AddPlayTime"), playing ? std::vector<float>{0.04f} : std::vector<float>{})
            << on.pause << on.options << on.menu;
    }
}

// The cursor is hidden and shown when the focus changes, not once per frame.
TEST_F(FrameUpdateTest, InputAndCursorFollowTheFocusAndTheConsole)
{
    const auto CursorCounter = [] { // read without changing it
        const int shown = ShowCursor(TRUE);
        ShowCursor(FALSE);
        return shown - 1;
    };
    const int start = CursorCounter();
    for (int i = 0; i < 3; ++i)
        UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("UpdateInput"), 3);
    EXPECT_EQ(CursorCounter(), start - 1) << "hidden once, not once per frame";

    getConsole()->Toggle();
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("UpdateInput"), 3) << "typing into the console must not move the hero";
    getConsole()->Toggle();

    HWND other = NewWindow();
    ASSERT_NE(other, nullptr);
    SetFocus(other);
    for (int i = 0; i < 3; ++i)
        UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("UpdateInput"), 3) << "a window in the background reads no devices";
    EXPECT_EQ(CursorCounter(), start);

    SetFocus(window);
    UpdateFrame(0.04f);
    EXPECT_EQ(CursorCounter(), start - 1);
    DestroyWindow(other);
    SetFocus(window);
}

using WindowKeysTest = FrameUpdateTest; // a scratch folder for the reloads

// Either mouse button keeps the mouse to the window while held; the arrow keys
// walk the console's history only while it is open.
TEST_F(WindowKeysTest, MouseButtonsCaptureAndArrowsWalkTheOpenConsolesHistory)
{
    for (UINT down : {WM_LBUTTONDOWN, WM_RBUTTONDOWN}) {
        Send(down, 0);
        EXPECT_EQ(GetCapture(), window) << down;
        Send(down + 1, 0); // its button-up
        EXPECT_EQ(GetCapture(), nullptr) << down;
    }

    Send(WM_CHAR, 0xBA);
    Type("first\r");
    Type("second\r");
    Send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(getConsole()->GetInputLine(), "second");
    Send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(getConsole()->GetInputLine(), "first");
    Send(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(getConsole()->GetInputLine(), "second");
    Send(WM_CHAR, 0xBA);
    Send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(getConsole()->GetInputLine(), "second") << "closed, the console keeps its line";
}

// The key left of "1" toggles the console by its place as it goes down, once
// however long it is held; what it prints is neither typed nor toggles back.
// A dead key there prints nothing: the next key's character is typed.
TEST_F(WindowKeysTest, TheKeyLeftOf1TogglesTheConsoleByItsPlace)
{
    const LPARAM place = LPARAM(0x29) << 16, repeat = LPARAM(1) << 30, extended = LPARAM(1) << 24;
    auto down = [&](LPARAM flags) { WndProc(window, WM_KEYDOWN, VK_OEM_3, place | flags); };
    down(0);
    Send(WM_CHAR, 0xBA);
    EXPECT_TRUE(getConsole()->IsVisible());
    down(repeat);
    Send(WM_CHAR, '`');
    WndProc(window, WM_KEYUP, VK_OEM_3, place);
    EXPECT_TRUE(getConsole()->IsVisible()) << "a repeat toggles nothing";
    EXPECT_EQ(getConsole()->GetInputLine(), "");
    down(0);
    WndProc(window, WM_KEYUP, VK_OEM_3, place);
    EXPECT_FALSE(getConsole()->IsVisible());
    Type("N");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.85f) << "the character after a dead key is the next key's";
    down(extended);
    EXPECT_FALSE(getConsole()->IsVisible()) << "another key at an extended place";
    Send(WM_CHAR, 0xBA);
    Type("b");
    EXPECT_EQ(getConsole()->GetInputLine(), "b") << "its character alone still opens the console";
}

// Typed upper-case 'N' and 'M' scale game time and compound without limit;
// lower case and the keys themselves do nothing, nor do they with the console open.
TEST_F(WindowKeysTest, UpperCaseNAndMScaleGameTimeUnlessTheConsoleIsOpen)
{
    Type("nm");
    Send(WM_KEYDOWN, 'N');
    Send(WM_KEYDOWN, 'M');
    EXPECT_EQ(GameTimeScale, 1.0f);
    Type("NNM");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.85f * 0.85f * 1.15f);

    Send(WM_CHAR, 0xBA);
    EXPECT_TRUE(getConsole()->IsVisible());
    Type("NM.:x");
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x") << "every character goes to the console's line";
    EXPECT_FLOAT_EQ(GameTimeScale, 0.85f * 0.85f * 1.15f);

    Send(WM_CHAR, 0xBA);
    EXPECT_FALSE(getConsole()->IsVisible());
    GameTimeScale = 1.0f;
    Type("N");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.85f) << "closed, the same characters act again";
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x") << "the console key is never typed into the line";
}

// '.' reloads the effect and announces only a good one; ':' reloads the bloom settings.
TEST_F(WindowKeysTest, DotAndColonReloadTheEffectAndTheBloomSettings)
{
    Type(":");
    EXPECT_NE(BloomEffect.GetErrorText().find("data/fx/bloom.xml"), std::string::npos)
        << "the reload must have tried the file (missing here): " << BloomEffect.GetErrorText();
    WriteFile("data/fx/bloom.xml", "<bloom cutoff='200'><stage xres='16' yres='16'/></bloom>");
    Type(":");
    EXPECT_EQ(BloomEffect.GetErrorText(), "");

    ASSERT_EQ(InitD3D(window), S_OK);
    const std::filesystem::path scratch = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    ::testing::internal::CaptureStderr();
    Type(".");
    const std::string shipped = ::testing::internal::GetCapturedStderr();
    std::filesystem::current_path(scratch);
    EXPECT_NE(shipped.find("effect loaded: data/fx/effects4.fx\n"), std::string::npos) << shipped;
    ::testing::internal::CaptureStderr();
    Type(".");
    const std::string missing = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(missing.find("effect loaded"), std::string::npos) << missing;
}

} // namespace
} // namespace looptest
