// A player's run through the shipped harbour: the HUD, the pause menu and its
// screens, the console's Mission and Checkpoint commands, and back to the
// main menu. Frames are read back where the run looks at the screen; with
// VANTOREL_SHOTS set to a folder they are saved there as pictures.
#include "loop_fixture.h"

#include <SDL.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <functional>
#include <map>

#include "app/GameStateFlags.h"
#include "app/WinMain.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/IController.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "script/ScriptHost.h"
#include "sound/SoundManager.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

// The game's own calls; in play, a key goes down after a given in-game frame
// is drawn and up after the next one, whatever state the game is in.
class PlayingPlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow);
        CGameCalls::UpdateMainMenu(dt);
        keys.SetKey(DIK_RETURN, false);
        keys.SetKey(DIK_ESCAPE, false);
        // A new game on the first pass; Escape leaves once the game is back in the menu.
        if (menuPasses == 1)
            keys.SetKey(DIK_RETURN, true);
        if (gameRenders > 0)
            keys.SetKey(DIK_ESCAPE, true);
    }
    void UpdateFrame(float dt) override
    {
        ++frames;
        if (frames <= 5) // the comic, then the harbour flight; later presses are the run's own keys
            keys.SetKey(DIK_SPACE, frames == 2 || frames == 4);
        CGameCalls::UpdateFrame(dt);
    }
    void RenderFrame(float dt) override
    {
        CGameCalls::RenderFrame(dt);
        if (getGUI().mainMenuActive)
            return;
        ++gameRenders;
        if (held)
            keys.SetKey(held, false);
        held = 0;
        const auto shot = shots.find(gameRenders);
        if (shot != shots.end()) {
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            taken[shot->second] = pixels;
        }
        const auto probe = probes.find(gameRenders);
        if (probe != probes.end())
            probe->second();
        const auto command = commands.find(gameRenders);
        if (command != commands.end())
            getScriptHost().RunCommand(command->second);
        const auto key = gameKeys.find(gameRenders);
        if (key != gameKeys.end()) {
            held = key->second;
            keys.SetKey(held, true);
        }
    }

    platform::FakeDirectInput keys;
    std::map<int, int> gameKeys;
    std::map<int, std::string> commands;
    std::map<int, std::string> shots;
    std::map<int, std::function<void()>> probes;
    std::map<std::string, std::vector<D3DCOLOR>> taken;
    int held = 0;
    int menuPasses = 0, frames = 0, gameRenders = 0;
};

class PlayRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        CGUIManager& gui = getGUI();
        gui.itemReturn = true;
        gui.itemCheckpoint = gui.itemOptions = gui.itemHelp = gui.itemAchievements = gui.itemBackToMain = false;
        gui.controlsActive = gui.achievementsActive = false;
        getTriggerManager().checkpoint = 1;
        getSoundManager().menuThemePlaying = false;
        platform::SetClock(&clock);
        platform::SetDirectInputSource(&player.keys);
        SetGameCalls(&player);
    }
    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        getTriggerManager().checkpoint = 1;
        ResetGameState();
    }

    SteppingClock clock{0.001};
    PlayingPlayer player;
};

// Where the hero stands and what the game shows at one moment of the run.
struct Seen {
    D3DXVECTOR3 hero{0, 0, 0};
    float yaw = 0.0f;
    int zone = 0;
    bool paused = false, menuMusic = false, options = false, help = false, achievements = false;
    bool banner1 = false, lighthouse = false, islandFlight = false, dead = false;
    int mission = 0;
    std::string cursor;
};

Seen Look()
{
    const CGUIManager& gui = getGUI();
    Seen s;
    s.hero = getPlayer()->GetPosition().GetPosition();
    s.yaw = getPlayer()->GetPosition().GetYaw();
    s.zone = getTriggerManager().currentZone;
    s.paused = gui.pauseActive;
    s.menuMusic = getSoundManager().menuThemePlaying;
    s.options = gui.optionsActive;
    s.help = gui.controlsActive;
    s.achievements = gui.achievementsActive;
    s.banner1 = gui.missionBannerActive[1];
    s.mission = gui.currentMission;
    s.lighthouse = getRigid()->loopAnims.count("Luz_Faro") > 0;
    s.islandFlight = getGSF().isPlayingCamIslaIntro();
    s.dead = getPlayer()->GetController() && getPlayer()->GetController()->GetStateCode() == 49;
    const std::pair<bool, const char*> items[] = {
        {gui.itemReturn, "return"}, {gui.itemCheckpoint, "checkpoint"}, {gui.itemOptions, "options"},
        {gui.itemHelp, "help"},     {gui.itemAchievements, "achievements"}, {gui.itemBackToMain, "back"}};
    for (const auto& item : items)
        if (item.second && item.first)
            s.cursor += s.cursor.empty() ? item.second : std::string("+") + item.second;
    return s;
}

TEST_F(PlayRun, APlayerPausesToursThePauseMenuJumpsBetweenCheckpointsAndLeaves)
{
    ScratchFolder folder("play");
    namespace fs = std::filesystem;
    const fs::path shipped(VANTOREL_WORKDIR);
    fs::create_directory("data");
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped))
        if (entry.path().filename() != "data")
            fs::create_symlink(entry.path(), entry.path().filename());
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped / "data"))
        if (entry.path().filename() != "log.txt")
            fs::create_symlink(entry.path(), fs::path("data") / entry.path().filename());

    std::map<std::string, Seen> seen;
    auto look = [&](int at, const std::string& name) { player.probes[at] = [&seen, name] { seen[name] = Look(); }; };
    // In-game frame: key pressed after it.
    player.gameKeys = {{30, DIK_ESCAPE}, {33, DIK_DOWN},   {35, DIK_RIGHT}, {37, DIK_RETURN}, {39, DIK_RETURN},
                       {41, DIK_LEFT},   {43, DIK_DOWN},   {45, DIK_RETURN}, {47, DIK_ESCAPE}, {49, DIK_DOWN},
                       {51, DIK_RETURN}, {53, DIK_RETURN}, {55, DIK_LEFT},  {57, DIK_RETURN}, {84, DIK_ESCAPE},
                       {86, DIK_DOWN},   {88, DIK_RETURN}, {93, DIK_ESCAPE}, {95, DIK_UP},    {97, DIK_RETURN},
                       // The console's checkpoints let the hero fall; the use key revives him
                       // there (after the island's flight, which the first press ends).
                       {62, DIK_SPACE},  {67, DIK_SPACE},  {69, DIK_SPACE},  {72, DIK_SPACE},  {75, DIK_SPACE}};
    player.shots = {{29, "hud"},        {32, "pause"},  {38, "pause_achievements"}, {46, "pause_options"},
                    {52, "pause_help"}, {58, "resumed"}, {65, "checkpoint3"},       {92, "after_item"}};
    look(29, "play");
    look(32, "paused");
    look(34, "down");
    look(36, "right");
    look(38, "achievements");
    look(40, "achievements closed");
    look(44, "options cursor");
    look(46, "options");
    look(48, "options closed");
    look(50, "help cursor");
    look(52, "help");
    look(54, "help closed");
    look(56, "return cursor");
    look(58, "resumed");
    player.commands = {{59, "Mission 1"}, {61, "Checkpoint 3"}, {66, "Checkpoint 4"}, {71, "Checkpoint 5"},
                       {74, "Checkpoint 1"}};
    look(60, "mission");
    look(62, "fallen");
    look(63, "checkpoint 3");
    look(70, "checkpoint 4");
    look(73, "checkpoint 5");
    look(76, "checkpoint 1");
    // The pause menu's checkpoint item, after a trigger has set checkpoint 3.
    player.probes[80] = [] { getTriggerManager().setCheckPointTrigger(3); };
    look(87, "checkpoint cursor");
    look(90, "item checkpoint");
    look(96, "back cursor");

    const int result = VantorelMain();
    EXPECT_EQ(result, 0);
    EXPECT_GT(player.menuPasses, 1) << "back to the main menu, then out";
    ASSERT_EQ(player.gameRenders, 97) << "Back to main menu ends the game at once";

    const D3DXVECTOR3 harbour(-1159.4f, 9.231f, -665.515f), island(1120.89f, 26.1259f, -912.779f);
    auto near = [](const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return DistanceXZ(a, b) < 0.01f; };
    EXPECT_TRUE(seen["play"].banner1) << "the first mission's banner follows the intro flight";
    EXPECT_FALSE(seen["play"].paused);
    EXPECT_TRUE(seen["paused"].paused && seen["paused"].menuMusic) << "Escape pauses with the menu music";
    EXPECT_EQ(seen["down"].cursor, "checkpoint");
    EXPECT_EQ(seen["right"].cursor, "achievements");
    EXPECT_TRUE(seen["achievements"].achievements && seen["achievements"].paused);
    EXPECT_TRUE(!seen["achievements closed"].achievements && seen["achievements closed"].paused);
    EXPECT_EQ(seen["options cursor"].cursor, "options");
    EXPECT_TRUE(seen["options"].options && seen["options"].paused);
    EXPECT_TRUE(!seen["options closed"].options && seen["options closed"].paused);
    EXPECT_EQ(seen["help cursor"].cursor, "help");
    EXPECT_TRUE(seen["help"].help && seen["help"].paused);
    EXPECT_TRUE(!seen["help closed"].help && seen["help closed"].paused);
    EXPECT_EQ(seen["return cursor"].cursor, "return");
    EXPECT_EQ(seen["checkpoint cursor"].cursor, "checkpoint");
    EXPECT_FALSE(seen["resumed"].paused || seen["resumed"].menuMusic) << "Return resumes";
    EXPECT_EQ(seen["mission"].mission, 1);
    EXPECT_TRUE(seen["mission"].banner1);

    EXPECT_TRUE(seen["fallen"].dead) << "the console's checkpoint lets the hero fall";
    EXPECT_FALSE(near(seen["fallen"].hero, island));
    const Seen& three = seen["checkpoint 3"];
    EXPECT_FALSE(three.dead);
    EXPECT_TRUE(near(three.hero, island)) << three.hero.x << " " << three.hero.z;
    EXPECT_FLOAT_EQ(three.yaw, -1.76f);
    EXPECT_EQ(three.zone, 2);
    EXPECT_TRUE(three.lighthouse) << "the lighthouse light turns";
    EXPECT_TRUE(three.islandFlight) << "the island's flight plays";
    EXPECT_TRUE(near(seen["checkpoint 4"].hero, D3DXVECTOR3(-1007.4f, 375.0f, -509.552f)));
    EXPECT_TRUE(near(seen["checkpoint 5"].hero, D3DXVECTOR3(-2297.4f, 375.0f, -163.31f)));
    EXPECT_EQ(seen["checkpoint 5"].mission, 10);
    EXPECT_TRUE(near(seen["checkpoint 1"].hero, harbour));
    EXPECT_EQ(seen["checkpoint 1"].zone, 1);
    EXPECT_FALSE(seen["checkpoint 1"].lighthouse);
    EXPECT_TRUE(near(seen["item checkpoint"].hero, island)) << "the pause menu's item restarts at the trigger's checkpoint";
    EXPECT_FALSE(seen["item checkpoint"].paused);
    EXPECT_EQ(seen["back cursor"].cursor, "back");
    EXPECT_TRUE(getGUI().mainMenuActive);
    EXPECT_TRUE(getGUI().itemNewGame);

    // The pictures: the pause screen covers the game; the HUD frame shows in play.
    const int width = static_cast<int>(ClientWidth), height = static_cast<int>(ClientHeight);
    ASSERT_EQ(player.taken.size(), player.shots.size());
    auto at = [&](const std::string& shot, float x, float y) {
        const std::vector<D3DCOLOR>& pixels = player.taken[shot];
        const size_t i = static_cast<size_t>(y * height) * width + static_cast<size_t>(x * width);
        return i < pixels.size() ? pixels[i] : 0u;
    };
    int differing = 0;
    for (float y = 0.05f; y < 1.0f; y += 0.1f)
        for (float x = 0.05f; x < 1.0f; x += 0.1f)
            differing += at("hud", x, y) != at("pause", x, y);
    EXPECT_GT(differing, 80) << "the pause screen covers the game view";
    EXPECT_NE(at("pause_help", 0.5f, 0.5f), at("pause", 0.5f, 0.5f)) << "the controls picture over the pause menu";

    if (const char* shots = std::getenv("VANTOREL_SHOTS")) {
        for (const auto& [name, pixels] : player.taken) {
            std::vector<unsigned char> rgba;
            for (D3DCOLOR c : pixels)
                rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                         static_cast<unsigned char>(c), 255});
            const std::string file = std::string(shots) + "/" + name + ".png";
            EXPECT_TRUE(stbi_write_png(file.c_str(), width, height, 4, rgba.data(), width * 4)) << file;
        }
    }
}

} // namespace
} // namespace looptest
