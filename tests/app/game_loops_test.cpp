#include "loop_fixture.h"

#include <algorithm>

#include "app/GameLoops.h"

namespace looptest {
namespace {

constexpr double kFrame = 1.0 / 30.0;
// Every counter read takes this long, so the busy wait always ends.
constexpr double kRead = 0.0001;

class GameLoopsTest : public GameWindowTest {
protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        platform::SetClock(&clock);
        getGUI().mainMenuActive = true;
    }
    void TearDown() override
    {
        platform::SetClock(nullptr);
        GameWindowTest::TearDown();
    }

    // Scripts the player: new game at the given menu pass, then leave the
    // program after the given number of game frames, each taking frameWork.
    void PlayFrames(int menuPasses, int frames, double frameWork)
    {
        recorder.onCall = [=](const Call& call) {
            if (call.name == "UpdateMainMenu" && recorder.Count("UpdateMainMenu") == menuPasses)
                getGUI().mainMenuActive = false;
            if (call.name == "UpdateFrame") {
                clock.Advance(frameWork);
                if (recorder.Count("UpdateFrame") == frames)
                    getGUI().exitRequested = true;
            }
        };
    }

    SteppingClock clock{kRead};
};

TEST_F(GameLoopsTest, AFastFrameIsHeldToAThirtiethOfASecond)
{
    PlayFrames(2, 6, 0.005);
    RunGameLoops();

    const std::vector<float> steps = recorder.ValuesOf("UpdateFrame");
    ASSERT_EQ(steps.size(), 6u);
    // The first game frame takes the last menu pass's step; every later one
    // the held length of the frame before.
    for (size_t i = 1; i < steps.size(); ++i) {
        EXPECT_GE(steps[i], kFrame - 1e-6) << i;
        EXPECT_LT(steps[i], kFrame + 2 * kRead) << i;
    }
    EXPECT_EQ(steps[0], recorder.ValuesOf("UpdateMainMenu").back());
}

TEST_F(GameLoopsTest, ASlowFrameIsNeitherShortenedNorSplit)
{
    PlayFrames(1, 3, 0.1);
    RunGameLoops();

    const std::vector<float> steps = recorder.ValuesOf("UpdateFrame");
    ASSERT_EQ(steps.size(), 3u);
    for (size_t i = 1; i < steps.size(); ++i) {
        EXPECT_GE(steps[i], 0.1f) << i;
        EXPECT_LT(steps[i], 0.1 + 10 * kRead) << i;
    }
    EXPECT_EQ(recorder.Count("RenderFrame"), 1 + 3);
}

TEST_F(GameLoopsTest, EachMenuPassUpdatesInOrderWithoutACap)
{
    recorder.onCall = [&](const Call& call) {
        if (call.name == "UpdateMainMenu" && recorder.Count("UpdateMainMenu") == 3)
            getGUI().exitRequested = true;
    };
    RunGameLoops();

    const std::vector<std::string> pass = {"UpdateSound", "UpdateSubtitles", "UpdateInput", "UpdateMainMenu",
                                           "RenderFrame"};
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), pass.begin(), pass.end());
    expected.push_back("ResetManagers");
    EXPECT_EQ(recorder.Names(), expected) << "leaving runs the resets, but no restart and no frame";

    // Nothing waits in the menu: a pass is only as long as its counter reads.
    for (float step : recorder.ValuesOf("UpdateMainMenu"))
        EXPECT_LT(step, 10 * kRead);
}

TEST_F(GameLoopsTest, ANewGameRestartsThenResetsBeforeTheFirstFrame)
{
    PlayFrames(1, 1, 0.0);
    RunGameLoops();

    const std::vector<std::string> names = recorder.Names();
    const auto restart = std::find(names.begin(), names.end(), "RestartLevel");
    ASSERT_NE(restart, names.end());
    EXPECT_EQ(recorder.ValuesOf("RestartLevel"), std::vector<float>{1.0f}) << "a new game";
    EXPECT_EQ(*(restart + 1), "ResetManagers");
    EXPECT_EQ(*(restart + 2), "UpdateFrame");
    EXPECT_EQ(names.back(), "RenderFrame") << "the frame that asked to leave is finished";
    EXPECT_EQ(recorder.Count("ResetManagers"), 1);
}

TEST_F(GameLoopsTest, WhilePausedOnlyInputAndTheScreensRun)
{
    recorder.onCall = [&](const Call& call) {
        if (call.name == "UpdateMainMenu") {
            getGUI().mainMenuActive = false;
            getGUI().pauseActive = true;
        }
        if (call.name == "UpdateGUI" && recorder.Count("UpdateGUI") == 3)
            getGUI().exitRequested = true;
    };
    RunGameLoops();

    EXPECT_EQ(recorder.Count("UpdateFrame"), 0);
    EXPECT_EQ(recorder.Count("UpdateGUI"), 3);
    EXPECT_EQ(recorder.Count("RenderFrame"), 1 + 3);
    // Menu pass input plus one per paused frame.
    EXPECT_EQ(recorder.Count("UpdateInput"), 1 + 3);
    const std::vector<float> steps = recorder.ValuesOf("UpdateGUI");
    EXPECT_GE(steps[2], kFrame - 1e-6) << "the paused frames are still measured and held";
}

TEST_F(GameLoopsTest, BackToTheMenuTheFirstPassDoesNotGetTheWholeGame)
{
    int menuPasses = 0;
    recorder.onCall = [&](const Call& call) {
        if (call.name == "UpdateMainMenu") {
            ++menuPasses;
            if (menuPasses == 1)
                getGUI().mainMenuActive = false;
            if (menuPasses == 2)
                getGUI().exitRequested = true;
        }
        if (call.name == "UpdateFrame" && recorder.Count("UpdateFrame") == 10)
            getGUI().mainMenuActive = true;
    };
    RunGameLoops();

    ASSERT_EQ(recorder.Count("UpdateFrame"), 10);
    const std::vector<float> menuSteps = recorder.ValuesOf("UpdateMainMenu");
    ASSERT_EQ(menuSteps.size(), 2u);
    EXPECT_LT(menuSteps[1], 10 * kRead) << "a third of a second of play is not a menu step";
    EXPECT_EQ(recorder.Count("ResetManagers"), 2) << "once for the new game, once for leaving";
}

TEST_F(GameLoopsTest, TheLoopsEndWhenTheWindowIsClosed)
{
    recorder.onCall = [&](const Call& call) {
        if (call.name == "UpdateMainMenu" && recorder.Count("UpdateMainMenu") == 2)
            getGUI().mainMenuActive = false;
        // The close button, as the message loop receives it.
        if (call.name == "UpdateFrame" && recorder.Count("UpdateFrame") == 2)
            DefWindowProcA(window, WM_CLOSE, 0, 0);
    };
    RunGameLoops();

    EXPECT_TRUE(IsWindowClosed());
    EXPECT_EQ(recorder.Count("UpdateFrame"), 2) << "no frame after the window is gone";
    EXPECT_EQ(recorder.Names().back(), "RenderFrame");
    EXPECT_EQ(recorder.Count("ResetManagers"), 1);
}

TEST_F(GameLoopsTest, NoLoopRunsWithoutTheMainMenu)
{
    getGUI().mainMenuActive = false;
    RunGameLoops();
    EXPECT_TRUE(recorder.calls.empty());
}

} // namespace
} // namespace looptest
