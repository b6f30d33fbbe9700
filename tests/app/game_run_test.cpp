// The whole program, headless, driven through the message layer, a fake keyboard and a moving clock.
#include "loop_fixture.h"

#include <SDL.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include "app/GameStateFlags.h"
#include "app/Loading.h"
#include "app/WinMain.h"
#include "gui/Subtitles.h"
#include "math/VectorMath.h"
#include "platform/offscreen_device_fixture.h"
#include "platform/bass.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ParticleManager.h"
#include "render/EffectManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"

namespace looptest {
namespace {

// The game's own calls, with keys pressed for single menu passes, the close
// button after set frames, and frames read back where a screenshot is asked.
class ScriptedPlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow); // the offscreen driver gives no focus by itself
        CGameCalls::UpdateMainMenu(dt);
        // A key is down for the one pass after the one that pressed it.
        ReleaseKeys();
        const auto next = menuKeys.find(menuPasses);
        if (next != menuKeys.end()) {
            keys.SetKey(next->second, true);
            pressed.push_back(next->second);
        }
    }
    void UpdateFrame(float dt) override
    {
        ReleaseKeys();
        // Space skips the intro comic, then the harbour flight.
        keys.SetKey(DIK_SPACE, frames + 1 == skipComicAt || frames + 1 == skipFlightAt);
        CGameCalls::UpdateFrame(dt);
        sequences.push_back(getGSF().sequence);
        if (++frames == closeAfter) {
            PushWindowClose();
        }
    }
    void RenderFrame(float dt) override
    {
        ++renders;
        rendersAfterClose += IsWindowClosed();
        if (englishAtPass == menuPasses && frames == 0)
            getGUI().english = true;
        CGameCalls::RenderFrame(dt);
        getGUI().english = false;
        if (frames > 0) {
            drawnInGame = getSceneManager().drawnCount;
            emittersInGame = getParticleManager().GetEmitters().size();
            heroBreathing = getPlayer()->GetEntity() && getPlayer()->GetEntity()->GetCycleCount() == 1;
            devicetest::ReadBackBuffer(D3DDevice, &lastFrame);
        }
        const auto shot = frames == 0 ? menuShots.find(menuPasses) : gameShots.find(frames);
        if (shot != (frames == 0 ? menuShots.end() : gameShots.end()) && !taken.count(shot->second)) {
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            taken[shot->second] = pixels;
        }
    }
    void ReleaseKeys()
    {
        for (int key : pressed)
            keys.SetKey(key, false);
        pressed.clear();
    }

    platform::FakeDirectInput keys;
    std::map<int, int> menuKeys = {{1, DIK_DOWN}, {2, DIK_UP}, {3, DIK_RETURN}}; // after pass: key
    std::map<int, std::string> menuShots, gameShots;                           // pass or frame: name
    std::map<std::string, std::vector<D3DCOLOR>> taken;
    std::vector<int> pressed;
    int englishAtPass = -1;
    int closeAfter = -1, skipComicAt = -1, skipFlightAt = -1;
    std::vector<int> sequences;
    int menuPasses = 0, frames = 0, renders = 0, rendersAfterClose = 0, drawnInGame = 0;
    std::size_t emittersInGame = 0;
    bool heroBreathing = false;
    // What the player saw last in the game.
    std::vector<D3DCOLOR> lastFrame;
};

class GameRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        // As at a program's start: the effect is compiled for the device the
        // run makes, not kept from one an earlier test released.
        getEffectManager().LoadFirstEffect();
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
    // A folder of its own, the shipped data linked in: another run of the game
    // in the shipped folder would start its own log there meanwhile.
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path own = fs::temp_directory_path() / ("vantorel_game_run_" + std::to_string(getpid()));
    fs::remove_all(own);
    fs::create_directories(own);
    fs::current_path(own);
    LinkShippedGame();
    player.closeAfter = 24; // past the half-second fade that follows the skipped flight
    player.skipComicAt = 2;
    player.skipFlightAt = 4;
    const int result = VantorelMain();
    const std::vector<std::vector<std::string>> lines = ReadLogLabels("data/log.txt");
    fs::current_path(previous);
    fs::remove_all(own);

    EXPECT_EQ(result, 0);
    EXPECT_GE(player.frames, 24);
    EXPECT_LE(player.frames, 27) << "one message handled per frame";
    EXPECT_EQ(player.rendersAfterClose, 0) << "the loops end before the device goes";
    EXPECT_GT(player.drawnInGame, 20) << "the new game's frames draw the level round the first checkpoint";
    EXPECT_GE(player.emittersInGame, 11u) << "the yard's smoke columns and the lamps' mosquitoes";
    EXPECT_TRUE(player.heroBreathing);
    const D3DXVECTOR3 eye = getCamera().GetPosition();
    EXPECT_LT(DistanceXZ(eye, D3DXVECTOR3(-1159.4f, 0, -665.515f)), 250.0f) << "the camera starts by the hangar start";
    EXPECT_GT(eye.y, 10.0f);
    using G = CGameStateFlagsManager;
    ASSERT_GE(player.sequences.size(), 5u);
    EXPECT_EQ(player.sequences[0], G::PlayingVinyetasIntro1) << "a new game opens on the first comic";
    EXPECT_EQ(player.sequences[1], G::PlayingCamIntroHangares) << "space skips to the harbour flight";
    EXPECT_EQ(player.sequences[3], G::HangaresIntroDone) << "space skips the flight";
    EXPECT_EQ(player.sequences.back(), G::HangaresIntroDone);
    // The level as the player sees it: a picture (many colours), not black,
    // lit. The lower half is the ground round the hero, which only the lamps
    // light up well above the ambient; the upper half is mostly night sky.
    ASSERT_EQ(player.lastFrame.size(), static_cast<size_t>(ClientWidth * ClientHeight));
    std::set<D3DCOLOR> colours;
    double luma = 0;
    const size_t half = player.lastFrame.size() / 2;
    for (size_t i = 0; i < player.lastFrame.size(); ++i) {
        const D3DCOLOR c = player.lastFrame[i];
        colours.insert(c & 0xFFFFFF);
        if (i >= half)
            luma += 0.299 * ((c >> 16) & 0xFF) + 0.587 * ((c >> 8) & 0xFF) + 0.114 * (c & 0xFF);
    }
    luma /= static_cast<double>(player.lastFrame.size() - half);
    EXPECT_GT(colours.size(), 1000u) << "a picture, not a blank";
    EXPECT_GT(luma, 64.0) << "the ground round the hero, lit (about 82; 46 with the lamps out)";
    EXPECT_GE(clock.Ticks() / 1e6, 2.0 + 24 * (1.0 / 30.0)) << "the splash, then 24 held frames";

    std::map<std::string, int> count;
    for (const std::vector<std::string>& labels : lines)
        ++count[labels.empty() ? "(empty)" : labels.front() + " .. " + labels.back()];
    EXPECT_EQ(count, (std::map<std::string, int>{{"UPDATE .. TOTAL_UPDATE: ", player.frames},
                                                 {"RENDER .. TOTAL_RENDER: ", player.renders}}))
        << "every update and every render writes its whole line";
}

// A player's tour of the menus with the keyboard, then a new game. Each
// screen is checked where it shows its state; with VANTOREL_SHOTS set to a
// folder the frames are saved there as pictures.
TEST_F(GameRunTest, APlayerTakesTheMenusToursTheScreensAndStartsANewGame)
{
    // The shipped data seen through links from a folder of its own: the run
    // writes its log there, not under another test running at the same time.
    ScratchFolder folder("tour");
    namespace fs = std::filesystem;
    const fs::path shipped(VANTOREL_WORKDIR);
    fs::create_directory("data");
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped))
        if (entry.path().filename() != "data")
            fs::create_symlink(entry.path(), entry.path().filename());
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped / "data"))
        if (entry.path().filename() != "log.txt")
            fs::create_symlink(entry.path(), fs::path("data") / entry.path().filename());
    player.menuKeys = {{1, DIK_DOWN},    {3, DIK_RETURN}, {5, DIK_ESCAPE}, {7, DIK_DOWN},    {9, DIK_RETURN},
                       {11, DIK_DOWN},   {13, DIK_LEFT},  {15, DIK_DOWN},  {17, DIK_DOWN},   {19, DIK_DOWN},
                       {21, DIK_LEFT},   {23, DIK_ESCAPE}, {25, DIK_DOWN}, {27, DIK_RETURN}, {29, DIK_ESCAPE},
                       {31, DIK_UP},     {33, DIK_UP},    {35, DIK_UP},    {37, DIK_RETURN}};
    player.menuShots = {{1, "menu"},           {2, "menu_controls_lit"}, {4, "controls"},
                        {10, "options"},       {22, "options_bloom_off"}, {28, "achievements"},
                        {37, "menu_english"}};
    player.englishAtPass = 37;
    player.gameShots = {{8, "play"}};
    player.skipComicAt = 2;
    player.skipFlightAt = 4;
    player.closeAfter = 10;
    const int result = VantorelMain();

    EXPECT_EQ(result, 0);
    EXPECT_EQ(player.menuPasses, 38) << "the new game starts on the pass after Return";
    EXPECT_GT(player.drawnInGame, 20) << "and draws the level";
    EXPECT_EQ(getGUI().effectsVolume, 95);
    EXPECT_FALSE(getGUI().bloomOn);
    EXPECT_FALSE(getMainConfig("bloomRender")) << "bloom off was applied on leaving the options";

    const int width = static_cast<int>(ClientWidth), height = static_cast<int>(ClientHeight);
    ASSERT_EQ(player.taken.size(), 8u);
    auto at = [&](const std::string& shot, float x, float y) {
        const std::vector<D3DCOLOR>& pixels = player.taken[shot];
        const size_t i = static_cast<size_t>(y * height) * width + static_cast<size_t>(x * width);
        return i < pixels.size() ? pixels[i] : 0u;
    };
    // A lit button is amber, an unlit one dark blue-grey.
    auto lit = [](D3DCOLOR c) { return ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 140 && (c & 0xFF) < 110; };
    EXPECT_TRUE(lit(at("menu", 0.35f, 0.50f))) << "New game lit at start";
    EXPECT_FALSE(lit(at("menu", 0.35f, 0.59f)));
    EXPECT_FALSE(lit(at("menu_controls_lit", 0.35f, 0.50f)));
    EXPECT_TRUE(lit(at("menu_controls_lit", 0.35f, 0.59f))) << "Down lit Controls";
    EXPECT_NE(at("controls", 0.5f, 0.5f), at("menu", 0.5f, 0.5f)) << "the controls picture covers the menu";
    EXPECT_TRUE(lit(at("options", 0.2f, 0.24f))) << "the music row selected";
    EXPECT_TRUE(lit(at("achievements", 0.38f, 0.86f))) << "Back under the empty list";
    EXPECT_TRUE(lit(at("menu_english", 0.35f, 0.50f))) << "back on New game";

    if (const char* folder = std::getenv("VANTOREL_SHOTS")) {
        for (const auto& [name, pixels] : player.taken) {
            std::vector<unsigned char> rgba;
            for (D3DCOLOR c : pixels)
                rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                         static_cast<unsigned char>(c), 255});
            const std::string file = std::string(folder) + "/" + name + ".png";
            EXPECT_TRUE(stbi_write_png(file.c_str(), width, height, 4, rgba.data(), width * 4)) << file;
        }
    }
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
    player.menuKeys = {{40, DIK_ESCAPE}};
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
    // No other data, but a game needs its levels' floors to start.
    std::string boxes = "<c>";
    for (const char* level : {"hangares", "isla"})
        boxes += std::string("<scenario name=\"") + level + "\"/><collision name=\"floor\" width=\"10\" height=\"1\" "
                 "length=\"10\"><vertex/><vertex/><vertex/><vertex/></collision>";
    WriteFile("data/XML/collision_instances.xml", boxes + "</c>");
    BASS_Free();
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    player.menuKeys = {{2, DIK_RETURN}};
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
    player.menuKeys = {{2, DIK_ESCAPE}};
    EXPECT_EQ(VantorelMain(), 0);
    EXPECT_EQ(player.menuPasses, 3);
    EXPECT_EQ(player.frames, 0);
    EXPECT_EQ(D3DDevice, nullptr) << "the window and its device are given back on the way out";
}

// A window size no device can be made for once ended the program with only
// the device's error code: the game now names the value and runs at 800x600.
TEST_F(GameRunTest, AnUnusableWindowSizeIsNamedAndTheGameRunsAt800x600)
{
    ScratchFolder folder("no_size");
    WriteFile("data/XML/init_configuration.xml",
              "<CONFIGURATION><PROPERTIES windowed='0' width='0' height='0'/></CONFIGURATION>");
    player.menuKeys = {{2, DIK_ESCAPE}};
    ::testing::internal::CaptureStderr();
    // Said before the run, outside it: the run says it all the same.
    CConfiguration().LoadXML("data/XML/init_configuration.xml");
    ::testing::internal::GetCapturedStderr();
    ::testing::internal::CaptureStderr();
    const int result = VantorelMain();
    const std::string output = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(result, 0);
    EXPECT_NE(output.find("data/XML/init_configuration.xml: window width \"0\" is not between 1 and "),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("CreateDevice hr = "), std::string::npos) << output;
    EXPECT_EQ(player.menuPasses, 3);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
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
