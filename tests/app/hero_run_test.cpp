// A new game played with held keys: what the hero does on screen.
#include "loop_fixture.h"

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
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// Return on the menu, Space through the comic and the flight, then the keys
// of the schedule held over their frames; frames read back where asked.
class HeldKeysPlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow);
        CGameCalls::UpdateMainMenu(dt);
        keys.SetKey(DIK_RETURN, menuPasses == 1);
    }
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
        if (frames == closeAfter) {
            SDL_Event e{};
            e.type = SDL_WINDOWEVENT;
            e.window.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
            e.window.event = SDL_WINDOWEVENT_CLOSE;
            SDL_PushEvent(&e);
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

    platform::FakeDirectInput keys;
    std::map<int, std::pair<int, int>> held; // key: first and last frame
    std::map<int, std::string> shots;
    std::map<std::string, std::vector<D3DCOLOR>> taken;
    std::map<std::string, D3DXVECTOR3> heroAt;
    std::set<int> states;
    D3DXVECTOR3 start{0, 0, 0};
    float worstFeetGap = 0.0f;
    int menuPasses = 0, frames = 0, closeAfter = 40, watchFrom = 12;
};

class HeroRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        platform::SetClock(&clock);
        platform::SetDirectInputSource(&player.keys);
        SetGameCalls(&player);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        ResetGameState();
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

    SteppingClock clock{0.001};
    HeldKeysPlayer player;
    std::filesystem::path previous;
};

TEST_F(HeroRunTest, ANewGameShowsTheHeroStandingOnTheGroundBeforeTheCamera)
{
    player.shots = {{38, "hero_idle"}};
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.taken.count("hero_idle"), 1u);
    EXPECT_EQ(player.states, std::set<int>{30}) << "he stands";
    EXPECT_LT(player.worstFeetGap, 1.0f) << "his feet are his body's";
    EXPECT_GT(HeroPixels("hero_idle"), 500) << "he is in the middle of the picture";
}

} // namespace
} // namespace looptest
