// The whole program, headless, driven through the message layer, a fake keyboard and a moving clock.
#include "loop_fixture.h"

#include <SDL.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

#include "app/Loading.h"
#include "app/WinMain.h"
#include "gui/Subtitles.h"
#include "platform/bass.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"

namespace looptest {
namespace {

// The game's own calls, with Return or Escape pressed at set menu passes and the close button after set frames.
class ScriptedPlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow); // the offscreen driver gives no focus by itself
        CGameCalls::UpdateMainMenu(dt);
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
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        ResetGameState();
    }

    SteppingClock clock{0.001};
    ScriptedPlayer player;
};

// The shipped data, a new game, a third of a second of play, then the close
// button. Few frames: each draws every pass, slow under the sanitizers.
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
    EXPECT_GE(player.frames, 10);
    EXPECT_LE(player.frames, 13) << "one message handled per frame";
    EXPECT_EQ(player.rendersAfterClose, 0) << "the loops end before the device goes";
    EXPECT_GT(player.drawnInGame, 20) << "the new game's frames draw the level round the first checkpoint";
    EXPECT_GE(clock.Ticks() / 1e6, 2.0 + 10 * (1.0 / 30.0)) << "the splash, then 10 held frames";

    std::map<std::string, int> count;
    for (const std::vector<std::string>& labels : lines)
        ++count[labels.empty() ? "(empty)" : labels.front() + " .. " + labels.back()];
    EXPECT_EQ(count, (std::map<std::string, int>{{"UPDATE .. TOTAL_UPDATE: ", player.frames},
                                                 {"RENDER .. TOTAL_RENDER: ", player.renders}}))
        << "every update and every render writes its whole line";
}

// SDL's disk driver writes the mix to a file, in real time: the menu theme
// must be in it.
TEST_F(GameRunTest, TheMenuThemeIsHeardInTheMix)
{
    // A folder of its own (the shipped one's log belongs to the run above,
    // which may be running beside this one) holding only the menu theme.
    ScratchFolder folder("menu_mix");
    std::filesystem::create_directories("data/sound");
    std::filesystem::copy_file(std::string(VANTOREL_WORKDIR) + "/data/sound/menuTheme.ogg", "data/sound/menuTheme.ogg");
    const std::string mixFile = (std::filesystem::current_path() / "mix.raw").string();
    BASS_Free(); // an earlier run of this program opened the dummy device
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", mixFile.c_str(), 1);
    player.newGameAt = -1;
    player.escapeAt = 40;
    const int result = VantorelMain();
    BASS_Free();
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    EXPECT_EQ(result, 0);
    std::ifstream in(mixFile, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 4096u) << "no mix written";
    double energy = 0.0;
    const std::int16_t* pcm = reinterpret_cast<const std::int16_t*>(bytes.data());
    const std::size_t n = bytes.size() / 2;
    for (std::size_t i = 0; i < n; ++i)
        energy += double(pcm[i]) * pcm[i];
    EXPECT_GT(std::sqrt(energy / n), 300.0) << "the menu is silent";
}

TEST_F(GameRunTest, WithoutASoundDeviceTheGameRunsSilently)
{
    ScratchFolder folder("no_sound");
    BASS_Free();
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    player.newGameAt = 2;
    player.closeAfter = 3;
    const int result = VantorelMain();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(player.frames, 3);
    EXPECT_EQ(getSoundManager().ChannelOf("menuThemeLoopChannel"), 0u);
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
    ScratchFolder folder("no_device"); // full screen with no size cannot make a device
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

// Every PROPERTIES element sets every field, so the last one wins wholly.
TEST_F(GameRunTest, TheLastPropertiesElementSetsEveryField)
{
    const struct {
        const char* xml;
        int width, height;
        bool windowed, moveCursor, english;
        const char* font;
        int fontSize, fpsListSize;
    } cases[] = {
        {"<C><OTHER width='5' english='1'/></C>", 800, 600, true, true, false, "", 20, 60},
        {"<C><PROPERTIES windowed='false' width='1024' height='768' debug_font='Arial' english='yes'"
         " debug_font_size='14' move_cursor='0' fps_list_size='5'/><OTHER width='1'/></C>",
         1024, 768, false, false, true, "Arial", 14, 5},
        {"<C><PROPERTIES width='1024' english='yes' windowed='0' debug_font='Arial'/><PROPERTIES height='700'/></C>",
         800, 700, true, true, false, "", 20, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        CConfiguration config;
        std::istringstream in(c.xml);
        ASSERT_TRUE(config.Parse(in, "init_configuration.xml"));
        EXPECT_EQ(std::tie(config.width, config.height, config.windowed, config.move_cursor, getSubtitulos().english,
                           config.debug_font, config.debug_font_size, config.fps_list_size),
                  std::make_tuple(c.width, c.height, c.windowed, c.moveCursor, c.english, std::string(c.font),
                                  c.fontSize, c.fpsListSize));
    }
}

TEST_F(GameRunTest, TheLoadingImagesComeInTheirOrderAndLanguage)
{
    const auto Images = [] {
        std::vector<std::string> shown;
        LoadGame([&](const std::string& file) { shown.push_back(file); });
        return shown;
    };
    const std::vector<std::string> spanish = {
        "GUI/LOADING/loading_mando_2.jpg",   "GUI/LOADING/loading_mando_3.jpg",
        "GUI/LOADING/loading_mando_4.jpg",   "GUI/LOADING/loading_mando_5.jpg",
        "GUI/LOADING/loading_teclado_1.jpg", "GUI/LOADING/loading_teclado_2.jpg",
        "GUI/LOADING/loading_teclado_3.jpg", "GUI/LOADING/loading_teclado_4.jpg",
        "GUI/LOADING/loading_teclado_5.jpg",
    };
    EXPECT_EQ(Images(), spanish);

    getSubtitulos().english = true;
    std::vector<std::string> english;
    for (const std::string& file : spanish)
        english.push_back(file.substr(0, file.size() - 4) + "_ing.jpg");
    EXPECT_EQ(Images(), english);
}

} // namespace
} // namespace looptest
