// Frames drawn on the real device offscreen, read back through the timing log, presents and pixels.
#include "loop_fixture.h"

#include <iterator>

#include <stb_image_write.h>

#include "app/FrameRender.h"
#include "input/InputManager.h"
#include "platform/dinput.h"
#include "platform/gl_device.h"
#include "platform/xinput.h"
#include "player/Player.h"
#include "render/Bloom.h"
#include "render/TextureManager.h"
#include "scene/LightCamera.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "world/Scenario.h"

namespace looptest {
namespace {

using Labels = std::vector<std::string>;
using GSF = CGameStateFlagsManager;

class FrameRenderTest : public GameWindowTest {
protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        platform::SetDirectInputSource(&keys);
        platform::SetPadSource(&pad);
        BloomEffect.Release();
        getTextureManager().Clear();
        ASSERT_EQ(InitD3D(window), S_OK);
        getInputManager()->Init(nullptr, window);
        getInputManager()->SetControllerSource([] { return static_cast<IController*>(nullptr); });
        // Two polls with nothing held: no button of an earlier test still reads as just pressed.
        getInputManager()->Update();
        getInputManager()->Update();

        // A game under way on the first level, past its intro.
        getScenario()->SelectScenario("hangares");
        getGSF().sequence = GSF::HangaresIntroDone;
        getRigid()->scriptedSequenceRunning = false;
        getPlayer()->SetLife(350);
        std::filesystem::create_directories("data");
        getProfiler().Enable(true);
        getProfiler().Open("data/log.txt");
    }

    void TearDown() override
    {
        getInputManager()->SetControllerSource(nullptr);
        getRigid()->scriptedSequenceRunning = false;
        getPlayer()->SetLife(350);
        getTextureManager().Clear();
        BloomEffect.Release();
        ReleaseDevice();
        // The scene manager must not keep the device that just went.
        getSceneManager().CreateLights(nullptr, LightLocation);
        platform::SetDirectInputSource(nullptr);
        platform::SetPadSource(nullptr);
        GameWindowTest::TearDown();
    }

    unsigned Presents() const { return platform::GetDrawStats(D3DDevice).presents; }

    D3DCOLOR CentrePixel()
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadBackBuffer(D3DDevice, &pixels), D3D_OK);
        return pixels.empty() ? 0 : pixels[pixels.size() / 2 + static_cast<size_t>(ClientWidth) / 2];
    }

    ScratchFolder folder{"framerender"};
    platform::FakeDirectInput keys;
    platform::FakePad pad;
};

// A level frame, one whose BeginScene fails (it still presents and logs), and a comic-stage frame.
TEST_F(FrameRenderTest, EachKindOfFrameRunsItsPassesInOrderAndPresentsOnce)
{
    const float step = 1.0f / 30.0f;
    getSceneManager().drawnCount = 100000; // more than a level has, whatever an earlier test loaded
    const unsigned before = Presents();
    RenderFrame(step);
    EXPECT_LT(getSceneManager().drawnCount, 100000) << "the counters start afresh every frame";

    ASSERT_EQ(D3DDevice->BeginScene(), D3D_OK);
    RenderFrame(step);
    D3DDevice->EndScene();

    getRigid()->scriptedSequenceRunning = true;
    getGSF().sequence = GSF::PlayingVinyetasIntro1;
    RenderFrame(step);
    EXPECT_EQ(Presents(), before + 3);
    getProfiler().Close();

    const std::vector<Labels> expected = {
        // Motion blur is off by default.
        {"RENDER", "shadowmap: ", "sendToRender: ", "scene: ", "particles2Tex: ", "bloom2Tex: ", "printScene: ",
         "applyBloom: ", "setRenderState: ", "applyParticles: ", "gui: ", "setRenderState: ", "luaMsg: ",
         "printTextDebug:", "console: ", "endScene: ", "present: ", "TOTAL_RENDER: "},
        {"RENDER", "shadowmap: ", "sendToRender: ", "scene: ", "particles2Tex: ", "bloom2Tex: ", "present: ",
         "TOTAL_RENDER: "},
        // No shadow map, no level list, no particles.
        {"RENDER", "vinyetas: ", "vinyetasBlur: ", "bloom2Tex: ", "printScene: ", "applyBloom: ", "setRenderState: ",
         "gui: ", "setRenderState: ", "luaMsg: ", "printTextDebug:", "console: ", "endScene: ", "present: ",
         "TOTAL_RENDER: "},
    };
    EXPECT_EQ(ReadLogLabels("data/log.txt"), expected);
}

// The death image follows the language and the device in use.
TEST_F(FrameRenderTest, ADeadHeroGetsTheDeathImageAndTheFrameEndsThere)
{
    // 1x1 pictures: the loader goes by the bytes, so a BMP stands in for the game's JPEGs.
    std::filesystem::create_directories("GUI");
    ASSERT_TRUE(stbi_write_bmp("GUI/EpicFail_teclado.jpg", 1, 1, 3, "\xFF\0\0"));
    ASSERT_TRUE(stbi_write_bmp("GUI/EpicFail_teclado_ing.jpg", 1, 1, 3, "\0\xFF\0"));
    ASSERT_TRUE(stbi_write_bmp("GUI/EpicFail_mando_ing.jpg", 1, 1, 3, "\xFF\xFF\0"));
    getPlayer()->SetLife(0);
    const unsigned before = Presents();
    RenderFrame(0.0f);

    EXPECT_EQ(Presents(), before + 1);
    EXPECT_EQ(CentrePixel(), 0xFFFF0000u) << "Spanish, keyboard";
    getProfiler().Close();
    std::ifstream in("data/log.txt", std::ios::binary);
    const std::string raw(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(raw.find("TOTAL_RENDER: "), std::string::npos);
    EXPECT_EQ(raw.find("printScene: "), std::string::npos) << "no composite, HUD or screens under the image";
    EXPECT_NE(raw.find("bloom2Tex: "), std::string::npos) << "the passes before the device scene still ran";
    EXPECT_NE(raw.back(), '\n') << "the next section continues the line";
    EXPECT_FALSE(getGUI().mainMenuActive) << "nothing pressed: the image stays";

    getSubtitulos().english = true;
    RenderFrame(0.0f);
    EXPECT_EQ(CentrePixel(), 0xFF00FF00u) << "English, keyboard";
    pad.connected = true;
    getInputManager()->Update();
    ASSERT_TRUE(getInputManager()->IsGamepadConnected());
    RenderFrame(0.0f);
    EXPECT_EQ(CentrePixel(), 0xFFFFFF00u) << "English, pad";

    // Escape goes back to the main menu, its cursor off Exit so that a hasty
    // Return does not quit.
    getGUI().itemExit = true;
    keys.SetKey(DIK_ESCAPE, true);
    getInputManager()->Update();
    RenderFrame(0.0f);
    keys.SetKey(DIK_ESCAPE, false);
    EXPECT_TRUE(getGUI().mainMenuActive);
    EXPECT_FALSE(getGUI().itemExit);
}

} // namespace
} // namespace looptest
