// One frame of the game drawn on the real device offscreen, read back through
// the timing log (which passes ran, in which order), the device's present
// count and the back buffer's pixels.
#include "loop_fixture.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include <stb_image_write.h>

#include "app/FrameRender.h"
#include "gui/Subtitles.h"
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

#include "../platform/offscreen_device_fixture.h"

namespace looptest {
namespace {

using Labels = std::vector<std::string>;
using GSF = CGameStateFlagsManager;

class FrameRenderTest : public GameWindowTest {
protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        m_Folder = std::make_unique<ScratchFolder>("framerender");
        platform::SetDirectInputSource(&keys);
        platform::SetPadSource(&pad);

        BloomEffect.Release();
        getTextureManager().Clear();
        ASSERT_EQ(InitD3D(window), S_OK);
        getInputManager()->Init(nullptr, window);
        getInputManager()->SetControllerSource([] { return static_cast<IController*>(nullptr); });
        // Two polls with nothing held: no button of an earlier test may
        // still read as just pressed.
        Poll();
        Poll();

        // A game under way on the first level, past its intro.
        getScenario()->SelectScenario("hangares");
        getGSF().sequence = GSF::HangaresIntroDone;
        getGSF().hangarRigidState = GSF::RigidasHangaresIdle;
        getRigid()->scriptedSequenceRunning = false;
        getPlayer()->SetLife(350);
        getSubtitulos().english = false;

        std::filesystem::create_directories("data");
        getProfiler().Enable(true);
        getProfiler().Open("data/log.txt");
    }

    void TearDown() override
    {
        getProfiler().Close();
        getInputManager()->SetControllerSource(nullptr);
        getRigid()->scriptedSequenceRunning = false;
        getPlayer()->SetLife(350);
        getSubtitulos().english = false;
        getTextureManager().Clear();
        BloomEffect.Release();
        ReleaseDevice();
        // The scene manager must not keep the device that just went.
        getSceneManager().CreateLights(nullptr, LightLocation);
        platform::SetDirectInputSource(nullptr);
        platform::SetPadSource(nullptr);
        m_Folder.reset();
        GameWindowTest::TearDown();
    }

    std::string RawLog()
    {
        getProfiler().Close();
        std::ifstream in("data/log.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Labels RenderOneFrame()
    {
        RenderFrame(1.0f / 30.0f);
        getProfiler().Close();
        std::vector<Labels> lines = ReadLogLabels("data/log.txt");
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? Labels{} : lines[0];
    }

    unsigned Presents() const { return platform::GetDrawStats(D3DDevice).presents; }

    D3DCOLOR CentrePixel()
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadBackBuffer(D3DDevice, &pixels), D3D_OK);
        return pixels.empty() ? 0 : pixels[pixels.size() / 2 + static_cast<size_t>(ClientWidth) / 2];
    }

    // A picture of one colour. The loader goes by the bytes, not the file
    // name, so a BMP can stand in for the game's JPEGs.
    static void WriteSolidImage(const std::string& name, D3DCOLOR colour)
    {
        std::filesystem::create_directories(std::filesystem::path(name).parent_path());
        const unsigned char rgb[3] = {static_cast<unsigned char>(colour >> 16), static_cast<unsigned char>(colour >> 8),
                                      static_cast<unsigned char>(colour)};
        ASSERT_TRUE(stbi_write_bmp(name.c_str(), 1, 1, 3, rgb));
    }

    void Poll() { getInputManager()->Update(); }

    platform::FakeDirectInput keys;
    platform::FakePad pad;

private:
    std::unique_ptr<ScratchFolder> m_Folder;
};

TEST_F(FrameRenderTest, ALevelFrameRunsEveryPassInOrderAndSendsTheListOnce)
{
    getSceneManager().drawnCount = 7;
    const unsigned before = Presents();
    const Labels expected = {"RENDER",          "shadowmap: ",      "sendToRender: ",  "scene: ",
                             "particles2Tex: ", "bloom2Tex: ",      "printScene: ",    "applyBloom: ",
                             "setRenderState: ", "applyParticles: ", "gui: ",          "setRenderState: ",
                             "luaMsg: ",        "printTextDebug:",  "console: ",       "endScene: ",
                             "present: ",       "TOTAL_RENDER: "};
    EXPECT_EQ(RenderOneFrame(), expected) << "motion blur is off by default";
    EXPECT_EQ(Presents(), before + 1);
    EXPECT_EQ(getSceneManager().drawnCount, 0) << "the counters start afresh every frame";
    EXPECT_EQ(RawLog().back(), '\n');
}

TEST_F(FrameRenderTest, TheComicStageReplacesTheLevelPasses)
{
    getRigid()->scriptedSequenceRunning = true;
    getGSF().sequence = GSF::PlayingVinyetasIntro1;
    const Labels expected = {"RENDER",      "vinyetas: ",  "vinyetasBlur: ",   "bloom2Tex: ", "printScene: ",
                             "applyBloom: ", "setRenderState: ", "gui: ",      "setRenderState: ", "luaMsg: ",
                             "printTextDebug:", "console: ", "endScene: ",     "present: ",   "TOTAL_RENDER: "};
    EXPECT_EQ(RenderOneFrame(), expected) << "no shadow map, no level list, no particles";
}

TEST_F(FrameRenderTest, AFailedBeginSceneStillPresentsAndLogs)
{
    ASSERT_EQ(D3DDevice->BeginScene(), D3D_OK);
    const unsigned before = Presents();
    const Labels labels = RenderOneFrame();
    D3DDevice->EndScene();

    const Labels expected = {"RENDER",          "shadowmap: ", "sendToRender: ", "scene: ",
                             "particles2Tex: ", "bloom2Tex: ", "present: ",      "TOTAL_RENDER: "};
    EXPECT_EQ(labels, expected);
    EXPECT_EQ(Presents(), before + 1);
}

// A dead hero gets the death image of the chosen language and the device in
// use, and the frame ends there.
TEST_F(FrameRenderTest, ADeadHeroGetsTheDeathImageAndTheFrameEndsThere)
{
    WriteSolidImage("GUI/EpicFail_teclado.jpg", 0xFFFF0000u);
    WriteSolidImage("GUI/EpicFail_teclado_ing.jpg", 0xFF00FF00u);
    WriteSolidImage("GUI/EpicFail_mando_ing.jpg", 0xFFFFFF00u);
    getPlayer()->SetLife(0);
    const unsigned before = Presents();
    RenderFrame(0.0f);

    EXPECT_EQ(Presents(), before + 1);
    EXPECT_EQ(CentrePixel(), 0xFFFF0000u) << "Spanish, keyboard";
    const std::string raw = RawLog();
    EXPECT_EQ(raw.find("TOTAL_RENDER: "), std::string::npos);
    EXPECT_EQ(raw.find("printScene: "), std::string::npos) << "no composite, HUD or screens under the image";
    EXPECT_NE(raw.find("bloom2Tex: "), std::string::npos) << "the passes before the device scene still ran";
    EXPECT_NE(raw.back(), '\n') << "the next section continues the line";
    EXPECT_FALSE(getGUI().mainMenuActive) << "nothing pressed: the image stays";

    getSubtitulos().english = true;
    RenderFrame(0.0f);
    EXPECT_EQ(CentrePixel(), 0xFF00FF00u) << "English, keyboard";
    pad.connected = true;
    Poll();
    ASSERT_TRUE(getInputManager()->IsGamepadConnected());
    RenderFrame(0.0f);
    EXPECT_EQ(CentrePixel(), 0xFFFFFF00u) << "English, pad";
}

} // namespace
} // namespace looptest
