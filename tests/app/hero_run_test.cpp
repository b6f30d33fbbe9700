// A new game played with held keys: what the hero does on screen.
#include "loop_fixture.h"
#include "hero_aim_view.h"

#include <SDL.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <map>
#include <set>

#include "app/WinMain.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "platform/sdl_window.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "gui/Achievements.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight, then the keys
// of the schedule held over their frames; frames read back where asked.
class HeldKeysPlayer : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        const int frame = frames + 1;
        std::set<int> down;
        if (frame == 2 || frame == 4)
            down.insert(DIK_SPACE);
        for (const auto& [key, range] : held)
            if (frame >= range.first && frame <= range.second)
                down.insert(key);
        for (int key : {DIK_SPACE, DIK_W, DIK_A, DIK_S, DIK_D, DIK_R})
            keys.SetKey(key, down.count(key) > 0);
        for (int button : {0, 1})
            keys.SetButton(button, down.count(kButton + button) > 0);
        CGameCalls::UpdateFrame(dt);
        ++frames;
        if (frames == watchFrom)
            start = getPlayer()->GetPosition().GetPosition();
        if (frames >= watchFrom) {
            const D3DXVECTOR3 feet = getPlayer()->GetPosition().GetPosition();
            const D3DXVECTOR3 body = getCollisionManager().GetPlayerBody().position;
            worstFeetGap = std::max(worstFeetGap, std::fabs(feet.y - body.y));
            states.insert(getPlayer()->GetController()->GetStateCode());
        }
        if (watchStates.count(frames))
            stateAt[frames] = getPlayer()->GetController()->GetStateCode();
        if (frames == aimViewAt)
            aimView = heroaim::ReadAimView(ClientWidth, ClientHeight);
        rolls = getAchievementStats().rolls;
        shotsFired = getAchievementStats().shotsFired;
        tracersSeen = std::max(tracersSeen, getProjectileManager().GetProjectiles().size());
        if (frames == closeAfter) {
            PushWindowClose();
        }
    }
    void RenderFrame(float dt) override
    {
        CGameCalls::RenderFrame(dt);
        const auto shot = shots.find(frames);
        if (frames > 0 && shot != shots.end() && !taken.count(shot->second)) {
            devicetest::ReadBackBuffer(D3DDevice, &taken[shot->second]);
            heroAt[shot->second] = getPlayer()->GetPosition().GetPosition();
        }
    }

    // Mouse buttons in the schedule: kButton + 0 the left, + 1 the right.
    static constexpr int kButton = 1000;
    std::map<int, std::pair<int, int>> held; // key or button: first and last frame
    std::map<int, std::string> shots;
    std::map<std::string, std::vector<D3DCOLOR>> taken;
    std::map<std::string, D3DXVECTOR3> heroAt;
    std::set<int> states;
    std::map<int, int> watchStates, stateAt; // frame: state code wanted, seen
    int rolls = 0, shotsFired = 0;
    std::size_t tracersSeen = 0;
    D3DXVECTOR3 start{0, 0, 0};
    float worstFeetGap = 0.0f;
    int frames = 0, closeAfter = 40, watchFrom = 12;
    int aimViewAt = -1;
    heroaim::AimView aimView;
};

class HeroRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SeatPlayer(clock, player.keys, player);
        // The shipped data through links from a folder of its own: the run's
        // log must not land where another test's run writes its own.
        LinkShippedGame();
    }
    void TearDown() override
    {
        UnseatPlayer();
        if (const char* folder = std::getenv("VANTOREL_SHOTS")) {
            const int w = static_cast<int>(ClientWidth), h = static_cast<int>(ClientHeight);
            for (const auto& [name, pixels] : player.taken) {
                std::vector<unsigned char> rgba;
                for (D3DCOLOR c : pixels)
                    rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                             static_cast<unsigned char>(c), 255});
                stbi_write_png((std::string(folder) + "/" + name + ".png").c_str(), w, h, 4, rgba.data(), w * 4);
            }
        }
    }

    // How many pixels of the frame's middle third have the hero's brown:
    // red above green above blue, darker than the crates.
    int HeroPixels(const std::string& shot)
    {
        const std::vector<D3DCOLOR>& pixels = player.taken[shot];
        const int w = static_cast<int>(ClientWidth), h = static_cast<int>(ClientHeight);
        int count = 0;
        for (int y = h / 3; y < 2 * h / 3 && !pixels.empty(); ++y)
            for (int x = w / 3; x < 2 * w / 3; ++x) {
                const D3DCOLOR c = pixels[static_cast<size_t>(y) * w + x];
                const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
                count += r > g + 12 && g > b + 4 && r < 150;
            }
        return count;
    }

    drawtest::ScratchFolder folder{"hero"};
    SteppingClock clock{0.001};
    HeldKeysPlayer player;
};

// One run (each frame draws every pass, slow under the sanitizers): he
// stands, runs with W, rolls with Space, aims with the right button and
// fires with the left.
TEST_F(HeroRunTest, TheHeroStandsRunsRollsAimsAndShoots)
{
    using K = HeldKeysPlayer;
    player.held = {{DIK_W, {16, 30}}, {DIK_SPACE, {34, 34}}, {K::kButton + 1, {50, 76}}, {K::kButton + 0, {62, 76}}};
    player.shots = {{14, "hero_idle"}, {28, "hero_run"}, {40, "hero_roll"}, {64, "hero_aim_fire"}};
    player.closeAfter = 78;
    player.watchStates = {{14, 30}, {28, 31}, {54, 52}};
    player.aimViewAt = 60;
    ASSERT_EQ(VantorelMain(), 0);

    for (const auto& [frame, state] : player.watchStates)
        EXPECT_EQ(player.stateAt[frame], state) << "frame " << frame;
    EXPECT_LT(player.worstFeetGap, 1.0f) << "his feet are his body's";
    EXPECT_GT(HeroPixels("hero_idle"), 500) << "he stands in the middle of the picture";

    const D3DXVECTOR3 ran = player.heroAt["hero_run"] - player.heroAt["hero_idle"];
    EXPECT_GT(std::fabs(ran.x) + std::fabs(ran.z), 60.0f) << "W runs him";
    EXPECT_EQ(player.rolls, 1);
    EXPECT_GE(player.shotsFired, 1) << "the left button fires while aiming";
    // Aiming, before the first shot: his gun arm is raised, the gun at his
    // eyes, on the side of the picture the crosshair is, pointing where the
    // shot will go.
    EXPECT_LT(player.aimView.barrelOffShot, 8.0f);
    EXPECT_GT(player.aimView.raised, 0.8f);
    EXPECT_GT(player.aimView.gunRightOfSpine, 0.05f);
    EXPECT_GE(player.tracersSeen, 1u) << "a tracer flies";
}

} // namespace
} // namespace looptest
