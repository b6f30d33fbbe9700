#include "loop_fixture.h"

#include <algorithm>

#include "app/GameLoops.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

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

    SteppingClock clock{kRead};
};

// A fast frame is held to a thirtieth of a second, a slow one neither shortened
// nor split; back in the menu, the first pass does not get the play as its step.
TEST_F(GameLoopsTest, ANewGameHoldsItsFramesToThirtyPerSecondAndGoesBackToTheMenu)
{
    const struct { int menuPasses, frames; double work, shortest, longest; } cases[] = {
        {2, 10, 0.005, kFrame - 1e-6, kFrame + 2 * kRead}, {1, 3, 0.1, 0.1, 0.1 + 10 * kRead}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.work);
        recorder = RecordingCalls();
        getGUI().exitRequested = false;
        recorder.onCall = [this, c](const std::string& call) {
            if (call == "UpdateMainMenu") {
                const int pass = recorder.Count("UpdateMainMenu");
                if (pass == c.menuPasses)
                    getGUI().mainMenuActive = false;
                getGUI().exitRequested = pass > c.menuPasses;
            }
            if (call == "UpdateFrame") {
                clock.Advance(c.work);
                getGUI().mainMenuActive = recorder.Count("UpdateFrame") == c.frames;
            }
        };
        RunGameLoops();

        const std::vector<float> steps = recorder.ValuesOf("UpdateFrame"), menu = recorder.ValuesOf("UpdateMainMenu");
        ASSERT_EQ(steps.size(), static_cast<size_t>(c.frames));
        ASSERT_EQ(menu.size(), static_cast<size_t>(c.menuPasses + 1));
        EXPECT_EQ(steps[0], menu[c.menuPasses - 1]) << "the first frame takes the last menu pass's step";
        for (size_t i = 1; i < steps.size(); ++i) {
            EXPECT_GE(steps[i], c.shortest) << i;
            EXPECT_LT(steps[i], c.longest) << i;
        }
        EXPECT_LT(menu.back(), 10 * kRead);
        EXPECT_EQ(recorder.Count("RenderFrame"), c.menuPasses + c.frames + 1);

        const std::vector<std::string>& names = recorder.names;
        const size_t restart = std::find(names.begin(), names.end(), "RestartLevel") - names.begin();
        ASSERT_LT(restart + 2, names.size());
        EXPECT_EQ(recorder.ValuesOf("RestartLevel"), std::vector<float>{1.0f}) << "a new game";
        EXPECT_EQ(names[restart + 1], "ResetManagers");
        EXPECT_EQ(names[restart + 2], "UpdateFrame");
        EXPECT_EQ(recorder.Count("ResetManagers"), 2) << "once for the new game, once for leaving";
    }
}

// A fast frame's wait sleeps: the counter is read only while the last moment
// is spun on, so the threads drawing the frame keep the processor meanwhile.
TEST_F(GameLoopsTest, AFastFrameSleepsThroughItsWaitAndSpinsOnlyAtItsEnd)
{
    struct CountingClock : SteppingClock {
        using SteppingClock::SteppingClock;
        std::int64_t Ticks() override { ++reads; return SteppingClock::Ticks(); }
        void Sleep(DWORD milliseconds) override { slept += milliseconds; SteppingClock::Sleep(milliseconds); }
        int reads = 0;
        DWORD slept = 0;
    } counting{1e-6};
    platform::SetClock(&counting);
    std::vector<int> readsPerFrame;
    std::vector<DWORD> sleptPerFrame;
    recorder.onCall = [&](const std::string& call) {
        if (call == "UpdateMainMenu")
            getGUI().mainMenuActive = false;
        if (call == "UpdateFrame") {
            readsPerFrame.push_back(counting.reads);
            sleptPerFrame.push_back(counting.slept);
            counting.reads = 0;
            counting.slept = 0;
            counting.Advance(0.004);
            getGUI().exitRequested = recorder.Count("UpdateFrame") == 4;
        }
    };
    RunGameLoops();

    ASSERT_EQ(readsPerFrame.size(), 4u);
    const std::vector<float> steps = recorder.ValuesOf("UpdateFrame");
    for (size_t i = 1; i < readsPerFrame.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(steps[i], kFrame - 1e-6);
        EXPECT_LT(steps[i], kFrame + 1e-4);
        // 29 ms to wait, a microsecond a read: spinning through it reads the counter ~29,000 times.
        EXPECT_GE(sleptPerFrame[i], 27u);
        EXPECT_LE(sleptPerFrame[i], 29u);
        EXPECT_LT(readsPerFrame[i], 2500) << "the wait spins only on its last couple of milliseconds";
    }
}

// Whatever the last game left, a new one starts on the first level, in its
// first zone, with the story record started afresh.
TEST_F(GameWindowTest, LeavingTheMenuResetsTheGameToTheFirstLevel)
{
    testing::internal::CaptureStderr(); // the level's scripts and sounds are not in this folder
    getScenario()->SelectScenario("isla");
    getGSF().sequence = CGameStateFlagsManager::HangaresIntroDone;
    getGSF().pierIntact = false;
    getTriggerManager().currentZone = 3;
    getCamera().LoadValues(9000, 0, 9000, nullptr); // where the last game left it
    CGameCalls().ResetManagers();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(getScenario()->scenarioName, "hangares");
    EXPECT_EQ(getGSF().sequence, CGameStateFlagsManager::ReadyVinyetasIntro1);
    EXPECT_TRUE(getGSF().pierIntact);
    EXPECT_EQ(getTriggerManager().currentZone, 1);
    const D3DXVECTOR3 apart = getCamera().GetLookAt() - getPlayer()->GetPosition().GetPosition();
    EXPECT_LT(D3DXVec3Length(&apart), 300.0f) << "the camera is back with the hero";
}

// Menu passes wait for nothing; paused, only input and the screens run, still held.
TEST_F(GameLoopsTest, MenuPassesRunUncappedAndPausedFramesOnlyTheScreens)
{
    recorder.onCall = [&](const std::string& call) {
        if (call == "UpdateMainMenu" && recorder.Count("UpdateMainMenu") == 3) {
            getGUI().mainMenuActive = false;
            getGUI().pauseActive = true;
        }
        if (call == "UpdateGUI" && recorder.Count("UpdateGUI") == 3)
            getGUI().exitRequested = true;
    };
    RunGameLoops();

    const std::vector<std::string> pass = {"UpdateSound", "UpdateSubtitles", "UpdateInput", "UpdateMainMenu",
                                           "RenderFrame"};
    std::vector<std::string> expected, names = recorder.names;
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), pass.begin(), pass.end());
    names.resize(expected.size());
    EXPECT_EQ(names, expected);
    for (float step : recorder.ValuesOf("UpdateMainMenu"))
        EXPECT_LT(step, 10 * kRead) << "nothing waits in the menu";

    EXPECT_EQ(recorder.Count("UpdateFrame"), 0);
    EXPECT_EQ(recorder.Count("RenderFrame"), 3 + 3);
    EXPECT_EQ(recorder.Count("UpdateInput"), 3 + 3) << "the menu passes', then one per paused frame";
    EXPECT_GE(recorder.ValuesOf("UpdateGUI")[2], kFrame - 1e-6) << "paused frames are still held";
}

} // namespace
} // namespace looptest
