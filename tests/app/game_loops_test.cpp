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

// A fast frame is held to a thirtieth of a second; a slow one is neither
// shortened nor split into several updates.
TEST_F(GameLoopsTest, FramesAreHeldToThirtyPerSecondWithoutSplittingSlowOnes)
{
    struct Case {
        int menuPasses, frames;
        double work, shortest, longest;
    };
    for (const Case& c : {Case{2, 6, 0.005, kFrame - 1e-6, kFrame + 2 * kRead}, Case{1, 3, 0.1, 0.1, 0.1 + 10 * kRead}}) {
        SCOPED_TRACE(c.work);
        recorder.calls.clear();
        getGUI().mainMenuActive = true;
        getGUI().exitRequested = false;
        PlayFrames(c.menuPasses, c.frames, c.work);
        RunGameLoops();

        const std::vector<float> steps = recorder.ValuesOf("UpdateFrame");
        ASSERT_EQ(steps.size(), static_cast<size_t>(c.frames));
        // The first game frame takes the last menu pass's step; every later
        // one the held length of the frame before.
        EXPECT_EQ(steps[0], recorder.ValuesOf("UpdateMainMenu").back());
        for (size_t i = 1; i < steps.size(); ++i) {
            EXPECT_GE(steps[i], c.shortest) << i;
            EXPECT_LT(steps[i], c.longest) << i;
        }
        EXPECT_EQ(recorder.Count("RenderFrame"), c.menuPasses + c.frames);
    }
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
    for (float step : recorder.ValuesOf("UpdateMainMenu"))
        EXPECT_LT(step, 10 * kRead) << "nothing waits in the menu";
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
    EXPECT_EQ(recorder.Count("UpdateInput"), 1 + 3) << "the menu pass's, then one per paused frame";
    EXPECT_GE(recorder.ValuesOf("UpdateGUI")[2], kFrame - 1e-6) << "paused frames are still held";
}

// A new game restarts the level, resets the managers, then plays; back in
// the menu, the first pass does not get the whole game as its step.
TEST_F(GameLoopsTest, ANewGameAndTheWayBackToTheMenu)
{
    recorder.onCall = [&](const Call& call) {
        if (call.name == "UpdateMainMenu" && recorder.Count("UpdateMainMenu") == 1)
            getGUI().mainMenuActive = false;
        else if (call.name == "UpdateMainMenu")
            getGUI().exitRequested = true;
        if (call.name == "UpdateFrame" && recorder.Count("UpdateFrame") == 10)
            getGUI().mainMenuActive = true;
    };
    RunGameLoops();

    const std::vector<std::string> names = recorder.Names();
    const auto restart = std::find(names.begin(), names.end(), "RestartLevel");
    ASSERT_NE(restart, names.end());
    EXPECT_EQ(recorder.ValuesOf("RestartLevel"), std::vector<float>{1.0f}) << "a new game";
    EXPECT_EQ(*(restart + 1), "ResetManagers");
    EXPECT_EQ(*(restart + 2), "UpdateFrame");
    ASSERT_EQ(recorder.Count("UpdateFrame"), 10);
    const std::vector<float> menuSteps = recorder.ValuesOf("UpdateMainMenu");
    ASSERT_EQ(menuSteps.size(), 2u);
    EXPECT_LT(menuSteps[1], 10 * kRead) << "a third of a second of play is not a menu step";
    EXPECT_EQ(recorder.Count("ResetManagers"), 2) << "once for the new game, once for leaving";
}

} // namespace
} // namespace looptest
