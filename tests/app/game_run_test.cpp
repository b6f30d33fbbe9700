// The whole program, headless: start-up, loading, the placeholder menu, the
// game loop and the ways out, driven through the message layer and a fake
// keyboard on a clock that moves by itself.
#include "loop_fixture.h"

#include <SDL.h>

#include <map>

#include "app/WinMain.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "scene/SceneManager.h"

namespace looptest {
namespace {

// The game's own calls, with a player acting at set points: Return in the
// menu at pass newGameAt, Escape at pass escapeAt, the close button after
// closeAfter game frames.
class ScriptedPlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow); // the offscreen driver gives no focus by itself
        CGameCalls::UpdateMainMenu(dt);
        // Pressed now, seen by the next pass's poll.
        if (menuPasses == newGameAt)
            keys.SetKey(DIK_RETURN, true);
        if (menuPasses == escapeAt)
            keys.SetKey(DIK_ESCAPE, true);
    }
    void UpdateFrame(float dt) override
    {
        keys.SetKey(DIK_RETURN, false);
        CGameCalls::UpdateFrame(dt);
        if (++frames == closeAfter) {
            SDL_Event e{};
            e.type = SDL_WINDOWEVENT;
            e.window.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
            e.window.event = SDL_WINDOWEVENT_CLOSE;
            SDL_PushEvent(&e);
        }
    }
    void RenderFrame(float dt) override
    {
        ++renders;
        rendersAfterClose += IsWindowClosed();
        CGameCalls::RenderFrame(dt);
        if (frames > 0)
            drawnInGame = getSceneManager().drawnCount;
    }

    platform::FakeDirectInput keys;
    int newGameAt = 3, escapeAt = -1, closeAfter = -1;
    int menuPasses = 0, frames = 0, renders = 0, rendersAfterClose = 0, drawnInGame = 0;
};

class GameRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        platform::SetClock(&clock);
        platform::SetDirectInputSource(&player.keys);
        SetGameCalls(&player);
    }
    void TearDown() override
    {
        SetGameCalls(nullptr);
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        ResetGameState();
    }

    SteppingClock clock{0.001};
    ScriptedPlayer player;
};

// The shipped data, a new game, a third of a second of play, then the close
// button: the loops end before the device goes, and every frame is logged.
// Few frames: each one draws every pass, which is slow under the sanitizers.
TEST_F(GameRunTest, TheShippedGameRunsLogsEveryFrameAndClosesCleanly)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    std::filesystem::remove("data/log.txt");
    player.closeAfter = 10;
    const int result = VantorelMain();
    const std::vector<std::vector<std::string>> lines = ReadLogLabels("data/log.txt");
    std::filesystem::current_path(previous);

    EXPECT_EQ(result, 0);
    // The close comes as a message, one of which is handled per frame.
    EXPECT_GE(player.frames, 10);
    EXPECT_LE(player.frames, 13);
    EXPECT_EQ(player.rendersAfterClose, 0);
    EXPECT_GT(player.drawnInGame, 20) << "the new game's frames draw the level round the first checkpoint";
    EXPECT_EQ(D3DDevice, nullptr);
    EXPECT_GE(clock.Now(), 2.0 + 10 * (1.0 / 30.0)) << "the splash, then 10 held frames";

    // Every update and every render wrote its whole line.
    std::map<std::string, int> count;
    for (const std::vector<std::string>& labels : lines)
        ++count[labels.empty() ? "(empty)" : labels.front() + " .. " + labels.back()];
    EXPECT_EQ(count, (std::map<std::string, int>{{"UPDATE .. TOTAL_UPDATE: ", player.frames},
                                                 {"RENDER .. TOTAL_RENDER: ", player.renders}}));
}

TEST_F(GameRunTest, EscapeInTheMenuEndsTheGameWithZero)
{
    ScratchFolder folder("escape");
    player.newGameAt = -1;
    player.escapeAt = 2;
    EXPECT_EQ(VantorelMain(), 0);
    EXPECT_EQ(player.menuPasses, 3);
    EXPECT_EQ(player.frames, 0);
    EXPECT_EQ(D3DDevice, nullptr) << "the window and its device are given back on the way out";
}

TEST_F(GameRunTest, AFailedDeviceEndsTheProgramWithAnError)
{
    ScratchFolder folder("no_device");
    // Full screen with no size cannot make a device.
    WriteFile("data/XML/init_configuration.xml",
              "<CONFIGURATION><PROPERTIES windowed='0' width='0' height='0'/></CONFIGURATION>");
    ::testing::internal::CaptureStderr();
    const int result = VantorelMain();
    const std::string output = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(result, 0);
    EXPECT_NE(output.find("CreateDevice hr = "), std::string::npos) << output;
    EXPECT_EQ(player.menuPasses, 0);
    EXPECT_EQ(D3DDevice, nullptr);
}

} // namespace
} // namespace looptest
