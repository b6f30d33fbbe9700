// The shipped levels' sky seen from where the player stands and looks: no
// part of it is cut away to the black behind it.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "platform/offscreen_device_fixture.h"

namespace {

constexpr int kSkyWidth = 400, kSkyHeight = 300;

// Black pixels in the upper part of the frame, left of where the HUD sits.
int BlackSky(const std::vector<D3DCOLOR>& frame)
{
    int count = 0;
    for (int y = 0; y < kSkyHeight * 2 / 5; ++y)
        for (int x = 0; x < kSkyWidth * 3 / 5; ++x) {
            const D3DCOLOR c = frame[static_cast<size_t>(y) * kSkyWidth + x];
            count += ((c >> 16) & 0xFF) <= 3 && ((c >> 8) & 0xFF) <= 3 && (c & 0xFF) <= 3;
        }
    return count;
}

} // namespace

TEST(SkyFrame, NoBlackShapeStandsInTheSkyOfEitherLevel)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    shippedgame::LinkedFolder folder;
    ASSERT_TRUE(shippedgame::Start(kSkyWidth, kSkyHeight));
    // From each level's first checkpoint, the view turned towards the far
    // corners of its sky.
    const struct {
        const char* level;
        float yaw;
    } views[] = {{"hangares", 0.6f}, {"hangares", 1.2f}, {"hangares", -0.8f}, {"hangares", 2.4f},
                 {"isla", -0.8f},    {"isla", 0.8f},     {"isla", 2.3f},      {"isla", -2.3f}};
    for (const auto& view : views) {
        shippedgame::EnterLevel(view.level);
        getPlayer()->GetPosition().SetYaw(view.yaw);
        getCamera().SetYaw(view.yaw);
        shippedgame::HoldGuiStill();
        getGUI().fadeAlpha = 0.0f; // no fade: the level in full view
        for (int i = 0; i < 12; ++i) {
            GetGameCalls().UpdateFrame(1.0f / 30.0f);
            RenderFrame(1.0f / 30.0f);
        }
        std::vector<D3DCOLOR> frame;
        ASSERT_EQ(devicetest::ReadBackBuffer(D3DDevice, &frame), D3D_OK);
        if (const char* folder = std::getenv("VANTOREL_SHOTS")) {
            std::vector<unsigned char> rgba;
            for (D3DCOLOR c : frame)
                rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                         static_cast<unsigned char>(c), 255});
            const std::string name = std::string(folder) + "/sky_" + view.level + "_" + std::to_string(view.yaw);
            stbi_write_png((name + ".png").c_str(), kSkyWidth, kSkyHeight, 4, rgba.data(), kSkyWidth * 4);
        }
        EXPECT_EQ(BlackSky(frame), 0) << view.level << " looking at yaw " << view.yaw;
    }
    shippedgame::Stop();
}
