#include "loop_fixture.h"

#include <algorithm>

namespace looptest {
namespace {

class FrameUpdateTest : public GameWindowTest {
protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        m_Folder = std::make_unique<ScratchFolder>("frame_update");
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
        const std::vector<std::vector<std::string>> lines = ReadLogLabels("log.txt");
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? std::vector<std::string>() : lines[0];
    }

    // The cursor's display counter, read without changing it.
    static int CursorCounter()
    {
        const int shown = ShowCursor(TRUE);
        ShowCursor(FALSE);
        return shown - 1;
    }

    std::unique_ptr<ScratchFolder> m_Folder;
};

// With a restart asked for and the record ready for the island, everything
// runs once, in its order.
TEST_F(FrameUpdateTest, StepsRunInTheirOrderAndLogTheirLabels)
{
    getGUI().restartRequested = true;
    getGSF().setReadyLevelSwitchIsla();
    const std::vector<std::string> expected = {
        "UPDATE",          "UpdateSceneManager: ", "UpdateInput: ",  "UpdateCamera: ",    "UpdateEnemies: ",
        "UpdateProjectile: ", "UpdateParticle: ",  "UpdateLUAMsg: ", "UpdateColisions: ", "UpdatePlayer: ",
        "UpdateSound: ",   "UpdateItems:",          "UpdateTriggers: ", "UpdateRigid: ",  "UpdateGUI: ",
        "BuildFrustum: ",  "TOTAL_UPDATE: ",
    };
    EXPECT_EQ(LoggedUpdate(0.04f), expected);

    const std::vector<std::string> calls = {
        "RestartLevel",      "AddPlayTime",     "UpdateSceneManager", "UpdateInput",      "UpdateCamera",
        "UpdateEnemies",     "UpdateProjectiles", "UpdateParticles",  "UpdateMissionText", "UpdateCollisions",
        "UpdatePlayer",      "UpdateSound",     "UpdatePickups",      "UpdateSubtitles",  "UpdateTriggers",
        "SwitchLevelToIsla", "UpdateRigidAnims", "UpdateGUI",         "UpdateFrustum",
    };
    EXPECT_EQ(recorder.Names(), calls);
    EXPECT_EQ(recorder.ValuesOf("RestartLevel"), std::vector<float>{0.0f}) << "a checkpoint, not a new game";
    EXPECT_FALSE(getGUI().restartRequested) << "restarted once";
}

TEST_F(FrameUpdateTest, EachSwitchedOffStepIsNeitherRunNorLogged)
{
    const struct {
        const char *name, *call, *label;
    } gated[] = {
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
    for (const char* scaled : {"UpdateEnemies", "UpdateProjectiles", "UpdatePlayer", "UpdateRigidAnims"})
        EXPECT_EQ(recorder.ValuesOf(scaled), std::vector<float>{0.02f}) << scaled;
    for (const char* plain : {"UpdateSceneManager", "UpdateCamera", "UpdateMissionText", "UpdateCollisions",
                              "UpdateSound", "UpdatePickups", "UpdateSubtitles", "UpdateTriggers", "UpdateGUI",
                              "AddPlayTime"})
        EXPECT_EQ(recorder.ValuesOf(plain), std::vector<float>{0.04f}) << plain;
    // Particle time goes by 0.05 s a frame, scaled, whatever the frame took.
    UpdateFrame(0.2f);
    EXPECT_EQ(recorder.ValuesOf("UpdateParticles"), (std::vector<float>{0.025f, 0.025f}));
    EXPECT_FLOAT_EQ(LastFrameDt, 0.2f) << "the fight code counts down by the unscaled step";
}

// Input is read only with the focus and the console closed; the cursor is
// hidden and shown when the focus changes, not once per frame.
TEST_F(FrameUpdateTest, InputAndCursorFollowTheFocusAndTheConsole)
{
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

} // namespace
} // namespace looptest
