#include "loop_fixture.h"

#include <algorithm>

#include "app/FrameUpdate.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// The gated steps: switch, the call it gates and the label it logs.
struct GatedStep {
    const char* name;
    const char* call;
    const char* label;
};
const GatedStep kGatedSteps[] = {
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

class FrameUpdateTest : public GameWindowTest {
protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        m_Folder = std::make_unique<WorkFolder>("frame_update");
    }
    void TearDown() override
    {
        getProfiler().Close();
        m_Folder.reset();
        GameWindowTest::TearDown();
    }

    // Runs one update with the timing log on and returns that update's labels.
    std::vector<std::string> LoggedUpdate(float dt)
    {
        getProfiler().Enable(true);
        getProfiler().Open("log.txt");
        UpdateFrame(dt);
        getProfiler().Close();
        getProfiler().Enable(false);
        std::vector<std::vector<std::string>> lines = ReadLogLabels("log.txt");
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? std::vector<std::string>() : lines[0];
    }

    // The frames' cursor display counter, read without changing it.
    static int CursorCounter()
    {
        const int shown = ShowCursor(TRUE);
        ShowCursor(FALSE);
        return shown - 1;
    }

    std::unique_ptr<WorkFolder> m_Folder;
};

TEST_F(FrameUpdateTest, StepsRunInTheirOrderAndLogTheirLabels)
{
    const std::vector<std::string> labels = LoggedUpdate(0.04f);
    const std::vector<std::string> expected = {
        "UPDATE",          "UpdateSceneManager: ", "UpdateInput: ",  "UpdateCamera: ",    "UpdateEnemies: ",
        "UpdateProjectile: ", "UpdateParticle: ",  "UpdateLUAMsg: ", "UpdateColisions: ", "UpdatePlayer: ",
        "UpdateSound: ",   "UpdateItems:",          "UpdateTriggers: ", "UpdateRigid: ",  "UpdateGUI: ",
        "BuildFrustum: ",  "TOTAL_UPDATE: ",
    };
    EXPECT_EQ(labels, expected);

    const std::vector<std::string> calls = {
        "AddPlayTime",      "UpdateSceneManager", "UpdateInput",   "UpdateCamera",  "UpdateEnemies",
        "UpdateProjectiles", "UpdateParticles",   "UpdateMissionText", "UpdateCollisions", "UpdatePlayer",
        "UpdateSound",      "UpdatePickups",      "UpdateSubtitles", "UpdateTriggers", "UpdateRigidAnims",
        "UpdateGUI",        "UpdateFrustum",
    };
    EXPECT_EQ(recorder.Names(), calls);
    EXPECT_FLOAT_EQ(LastFrameDt, 0.04f);
}

TEST_F(FrameUpdateTest, EachSwitchedOffStepIsNeitherRunNorLogged)
{
    for (const GatedStep& step : kGatedSteps) {
        SCOPED_TRACE(step.name);
        InitMainConfig();
        setMainConfig(step.name, false);
        recorder.calls.clear();
        const std::vector<std::string> labels = LoggedUpdate(0.04f);

        EXPECT_EQ(recorder.Count(step.call), 0);
        EXPECT_EQ(std::count(labels.begin(), labels.end(), step.label), 0);
        // Everything else still runs: 16 steps less this one, plus the play time.
        EXPECT_EQ(recorder.calls.size(), 16u);
        EXPECT_EQ(labels.size(), 16u);
    }
}

TEST_F(FrameUpdateTest, TheGameTimeScaleReachesOnlyTheGameTimeSteps)
{
    GameTimeScale = 0.5f;
    UpdateFrame(0.04f);

    for (const char* scaled : {"UpdateEnemies", "UpdateProjectiles", "UpdatePlayer", "UpdateRigidAnims"}) {
        SCOPED_TRACE(scaled);
        ASSERT_EQ(recorder.Count(scaled), 1);
        EXPECT_FLOAT_EQ(recorder.ValuesOf(scaled)[0], 0.02f);
    }
    for (const char* plain : {"UpdateSceneManager", "UpdateCamera", "UpdateMissionText", "UpdateCollisions",
                              "UpdateSound", "UpdatePickups", "UpdateSubtitles", "UpdateTriggers", "UpdateGUI",
                              "AddPlayTime"}) {
        SCOPED_TRACE(plain);
        ASSERT_EQ(recorder.Count(plain), 1);
        EXPECT_FLOAT_EQ(recorder.ValuesOf(plain)[0], 0.04f);
    }
    // Particle time goes by 0.05 s a frame, scaled, whatever the frame took.
    EXPECT_FLOAT_EQ(recorder.ValuesOf("UpdateParticles")[0], 0.025f);
    UpdateFrame(0.2f);
    EXPECT_FLOAT_EQ(recorder.ValuesOf("UpdateParticles")[1], 0.025f);
    EXPECT_FLOAT_EQ(LastFrameDt, 0.2f) << "the fight code counts down by the unscaled step";

    // A frozen game time stops exactly those steps' clocks.
    GameTimeScale = 0.0f;
    recorder.calls.clear();
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.ValuesOf("UpdatePlayer")[0], 0.0f);
    EXPECT_EQ(recorder.ValuesOf("UpdateParticles")[0], 0.0f);
    EXPECT_FLOAT_EQ(recorder.ValuesOf("UpdateCamera")[0], 0.04f);
}

TEST_F(FrameUpdateTest, InputIsPolledOnlyWithTheFocusAndTheConsoleClosed)
{
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("UpdateInput"), 1);
    EXPECT_FALSE(move_cursor);

    getConsole()->Toggle();
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("UpdateInput"), 1) << "typing into the console must not move the hero";
    getConsole()->Toggle();

    setMainConfig("inputUpdate", false);
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("UpdateInput"), 1);
    setMainConfig("inputUpdate", true);

    HWND other = CreateWindowExA(0, kClass, "other", WS_OVERLAPPEDWINDOW, 0, 0, 32, 32, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(other, nullptr);
    SetFocus(other);
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("UpdateInput"), 1) << "a window in the background reads no devices";
    EXPECT_TRUE(move_cursor);
    DestroyWindow(other);
}

TEST_F(FrameUpdateTest, TheCursorCounterMovesOnlyWhenTheFocusChanges)
{
    const int start = CursorCounter();
    for (int i = 0; i < 5; ++i)
        UpdateFrame(0.04f);
    EXPECT_EQ(CursorCounter(), start - 1) << "hidden once, not once per frame";

    HWND other = CreateWindowExA(0, kClass, "other", WS_OVERLAPPEDWINDOW, 0, 0, 32, 32, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(other, nullptr);
    SetFocus(other);
    for (int i = 0; i < 3; ++i)
        UpdateFrame(0.04f);
    EXPECT_EQ(CursorCounter(), start);
    EXPECT_GE(CursorCounter(), 0) << "shown again";

    SetFocus(window);
    UpdateFrame(0.04f);
    EXPECT_EQ(CursorCounter(), start - 1);
    DestroyWindow(other);
    SetFocus(window);
    ShowGameCursor(true);
}

TEST_F(FrameUpdateTest, ARequestedRestartRunsFirstAndOnce)
{
    getGUI().restartRequested = true;
    UpdateFrame(0.04f);
    ASSERT_FALSE(recorder.calls.empty());
    EXPECT_EQ(recorder.calls[0].name, "RestartLevel");
    EXPECT_EQ(recorder.calls[0].value, 0.0f) << "a checkpoint restart, not a new game";
    EXPECT_FALSE(getGUI().restartRequested);

    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("RestartLevel"), 1);
}

TEST_F(FrameUpdateTest, PlayTimeCountsOnlyWhileNoMenuIsUp)
{
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("AddPlayTime"), 1);
    for (bool CGUIManager::*flag : {&CGUIManager::pauseActive, &CGUIManager::optionsActive,
                                    &CGUIManager::mainMenuActive}) {
        getGUI().*flag = true;
        UpdateFrame(0.04f);
        getGUI().*flag = false;
    }
    EXPECT_EQ(recorder.Count("AddPlayTime"), 1);
}

TEST_F(FrameUpdateTest, TheIslandSwitchRunsWhenTheRecordAsksForIt)
{
    UpdateFrame(0.04f);
    EXPECT_EQ(recorder.Count("SwitchLevelToIsla"), 0);

    getGSF().setReadyLevelSwitchIsla();
    recorder.calls.clear();
    UpdateFrame(0.04f);
    const std::vector<std::string> names = recorder.Names();
    const auto at = std::find(names.begin(), names.end(), "SwitchLevelToIsla");
    ASSERT_NE(at, names.end());
    EXPECT_EQ(*(at - 1), "UpdateTriggers");
    EXPECT_EQ(*(at + 1), "UpdateRigidAnims");
}

TEST_F(FrameUpdateTest, TheDrawCallCountStartsAgainEveryFrame)
{
    getCollisionManager().drawCallCount = 41;
    UpdateFrame(0.04f);
    EXPECT_EQ(getCollisionManager().drawCallCount, 0);
}

} // namespace
} // namespace looptest
