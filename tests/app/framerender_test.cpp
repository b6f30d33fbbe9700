// One frame of the game drawn on the real device offscreen, read back through
// the timing log (which passes ran, in which order), the device's present
// count and the back buffer's pixels.
#include "loop_fixture.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>

#include "app/FrameRender.h"
#include "input/InputManager.h"
#include "platform/dinput.h"
#include "platform/gl_device.h"
#include "platform/xinput.h"
#include "player/Player.h"
#include "render/Bloom.h"
#include "render/RenderTarget.h"
#include "render/TextureManager.h"
#include "scene/Camera.h"
#include "scene/LightCamera.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "gui/Subtitles.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

#include "../platform/offscreen_device_fixture.h"

namespace looptest {
namespace {

using Labels = std::vector<std::string>;
using GSF = CGameStateFlagsManager;

constexpr D3DCOLOR kRed = 0xFFFF0000u;
constexpr D3DCOLOR kGreen = 0xFF00FF00u;
constexpr D3DCOLOR kBlue = 0xFF0000FFu;
constexpr D3DCOLOR kYellow = 0xFFFFFF00u;
constexpr D3DCOLOR kBlack = 0xFF000000u;

// A 2x2 picture of one colour. The loader goes by the bytes, not the file
// name, so a BMP can stand in for the game's JPEGs and keep its exact colour.
void WriteSolidBmp(const std::string& name, D3DCOLOR colour)
{
    const unsigned char b = colour & 0xFF, g = (colour >> 8) & 0xFF, r = (colour >> 16) & 0xFF;
    const std::uint32_t rowBytes = 8; // two pixels of three bytes, padded to four
    const std::uint32_t fileSize = 54 + rowBytes * 2;
    std::string bytes(fileSize, '\0');
    auto put32 = [&](size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, fileSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    bytes[26] = 1;
    bytes[28] = 24;
    put32(34, rowBytes * 2);
    for (int row = 0; row < 2; ++row)
        for (int px = 0; px < 2; ++px) {
            const size_t at = 54 + row * rowBytes + px * 3;
            bytes[at] = static_cast<char>(b);
            bytes[at + 1] = static_cast<char>(g);
            bytes[at + 2] = static_cast<char>(r);
        }
    WorkFolder::Write(name, bytes);
}

class FrameRenderTest : public GameWindowTest {
protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        m_Folder = std::make_unique<WorkFolder>("framerender");
        platform::SetDirectInputSource(&keys);
        platform::SetPadSource(&pad);

        BloomEffect.Release();
        getTextureManager().Clear();
        ASSERT_EQ(InitD3D(window), S_OK);
        getInputManager()->Init(nullptr, window);
        getInputManager()->SetControllerSource([] { return static_cast<IController*>(nullptr); });
        // Two polls with nothing held: no key or button of an earlier test
        // may still read as just pressed.
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
        getTriggerManager().checkpoint = 1;
        getCollisionManager().planeHits = 60;
        getCollisionManager().tankHits = 60;
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

    // The log so far, one entry per line: the section word then the labels.
    std::vector<Labels> LogLines()
    {
        getProfiler().Close();
        std::vector<Labels> lines = ReadLogLabels("data/log.txt");
        return lines;
    }
    std::string RawLog()
    {
        getProfiler().Close();
        std::ifstream in("data/log.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // One frame's labels.
    Labels RenderOneFrame()
    {
        RenderFrame(1.0f / 30.0f);
        std::vector<Labels> lines = LogLines();
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? Labels{} : lines[0];
    }

    unsigned Presents() const { return platform::GetDrawStats(D3DDevice).presents; }

    void ClearBackBuffer(D3DCOLOR colour)
    {
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
    }
    D3DCOLOR CentrePixel()
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadBackBuffer(D3DDevice, &pixels), D3D_OK);
        if (pixels.empty())
            return 0;
        return pixels[pixels.size() / 2 + static_cast<size_t>(ClientWidth) / 2];
    }

    // The four death images, each its own colour.
    void WriteDeathImages()
    {
        WriteSolidBmp("GUI/EpicFail_teclado.jpg", kRed);
        WriteSolidBmp("GUI/EpicFail_teclado_ing.jpg", kGreen);
        WriteSolidBmp("GUI/EpicFail_mando.jpg", kBlue);
        WriteSolidBmp("GUI/EpicFail_mando_ing.jpg", kYellow);
    }

    // Presses a key (or lets it go) and polls, as the frame update would.
    void Poll() { getInputManager()->Update(); }

    platform::FakeDirectInput keys;
    platform::FakePad pad;

private:
    std::unique_ptr<WorkFolder> m_Folder;
};

const Labels kLevelFrame = {"RENDER",          "shadowmap: ",      "sendToRender: ",  "scene: ",
                            "particles2Tex: ", "bloom2Tex: ",      "printScene: ",    "applyBloom: ",
                            "setRenderState: ", "applyParticles: ", "gui: ",          "setRenderState: ",
                            "luaMsg: ",        "printTextDebug:",  "console: ",       "endScene: ",
                            "present: ",       "TOTAL_RENDER: "};

TEST_F(FrameRenderTest, ALevelFrameRunsEveryPassInOrderAndSendsTheListOnce)
{
    getSceneManager().drawnCount = 7;
    getSceneManager().culledCount = 3;
    const unsigned before = Presents();

    EXPECT_EQ(RenderOneFrame(), kLevelFrame) << "motion blur is off by default";
    EXPECT_EQ(Presents(), before + 1);
    EXPECT_EQ(getSceneManager().drawnCount, 0) << "the counters start afresh every frame";
    EXPECT_EQ(getSceneManager().culledCount, 0);
    EXPECT_EQ(RawLog().back(), '\n');
}

TEST_F(FrameRenderTest, MotionBlurSendsTheLevelListASecondTimeForTheVelocityPass)
{
    setMainConfig("blurRender", true);
    const Labels expected = {"RENDER",          "shadowmap: ",    "sendToRender: ",   "scene: ",
                             "particles2Tex: ", "sendToRender: ", "motionBlur: ",     "bloom2Tex: ",
                             "printScene: ",    "applyBloom: ",   "setRenderState: ", "applyParticles: ",
                             "gui: ",           "setRenderState: ", "luaMsg: ",       "printTextDebug:",
                             "console: ",       "endScene: ",     "present: ",        "TOTAL_RENDER: "};
    EXPECT_EQ(RenderOneFrame(), expected);
}

TEST_F(FrameRenderTest, TheIslandSendsItsOwnListAndAnUnknownLevelSendsNone)
{
    getScenario()->SelectScenario("isla");
    RenderFrame(0.0f);
    getScenario()->SelectScenario("nowhere");
    RenderFrame(0.0f);

    const std::vector<Labels> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], kLevelFrame);
    Labels withoutList = kLevelFrame;
    withoutList.erase(withoutList.begin() + 2);
    EXPECT_EQ(lines[1], withoutList) << "the scene pass still runs, with nothing handed over";
}

TEST_F(FrameRenderTest, SwitchesOffLeaveOnlyTheFixedSteps)
{
    for (const char* name : {"scenarioRender", "playerRender", "particlesRender", "blurRender", "bloomRender",
                             "guiRender", "luaMsgRender", "textdebugRender"})
        setMainConfig(name, false);
    const Labels expected = {"RENDER",           "shadowmap: ", "scene: ",   "printScene: ", "setRenderState: ",
                             "setRenderState: ", "console: ",   "endScene: ", "present: ",   "TOTAL_RENDER: "};
    EXPECT_EQ(RenderOneFrame(), expected);
}

TEST_F(FrameRenderTest, BlurWithoutTheScenarioSwitchRunsNoVelocityPass)
{
    setMainConfig("blurRender", true);
    setMainConfig("scenarioRender", false);
    const Labels labels = RenderOneFrame();
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "motionBlur: "), 0);
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "sendToRender: "), 0);
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

TEST_F(FrameRenderTest, TheSecondMovieWidensTheCameraAndReportsItsList)
{
    getCamera().SetFov(0.8f);
    getRigid()->scriptedSequenceRunning = true;
    getGSF().setPlayingSecondMovie();
    const Labels labels = RenderOneFrame();
    ASSERT_GE(labels.size(), 4u);
    EXPECT_EQ(Labels(labels.begin(), labels.begin() + 4),
              (Labels{"RENDER", "sendToRender: ", "vinyetas: ", "vinyetasBlur: "}));
    EXPECT_FLOAT_EQ(getCamera().GetFov(), 1.134464f);
}

TEST_F(FrameRenderTest, WithoutApplyOldTheSceneTextureIsDrawnPlainly)
{
    for (const char* name : {"bloomRender", "particlesRender"})
        setMainConfig(name, false);
    setMainConfig("applyOld", false);
    ClearBackBuffer(kRed);
    RenderFrame(0.0f);
    // The scene pass clears its target to black and draws nothing here: the
    // whole screen must now be that texture.
    EXPECT_EQ(CentrePixel(), kBlack);
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

TEST_F(FrameRenderTest, NothingIsPresentedBeforeANewGamesFirstPanels)
{
    getGSF().resetStates(); // the intro panels ready, as a new game leaves it
    const unsigned before = Presents();
    const Labels labels = RenderOneFrame();
    EXPECT_EQ(Presents(), before);
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "sendToRender: "), 0) << "nothing of the level is marked";
    EXPECT_EQ(labels.back(), "TOTAL_RENDER: ");

    getGUI().mainMenuActive = true;
    RenderFrame(0.0f);
    EXPECT_EQ(Presents(), before + 1) << "the main menu is shown whatever the record says";
}

TEST_F(FrameRenderTest, ADeadHeroGetsTheDeathImageAndTheFrameEndsThere)
{
    WriteDeathImages();
    getPlayer()->SetLife(0);
    const unsigned before = Presents();
    RenderFrame(0.0f);

    EXPECT_EQ(Presents(), before + 1);
    EXPECT_EQ(CentrePixel(), kRed) << "Spanish, keyboard";
    const std::string raw = RawLog();
    EXPECT_EQ(raw.find("TOTAL_RENDER: "), std::string::npos);
    EXPECT_EQ(raw.find("printScene: "), std::string::npos) << "no composite, HUD or screens under the image";
    EXPECT_NE(raw.find("bloom2Tex: "), std::string::npos) << "the passes before the device scene still ran";
    EXPECT_NE(raw.back(), '\n') << "the next section continues the line";
    EXPECT_FALSE(getGUI().mainMenuActive) << "nothing pressed: the image stays";
}

TEST_F(FrameRenderTest, TheDeathImageFollowsTheChosenLanguageAndThePad)
{
    WriteDeathImages();
    getPlayer()->SetLife(-5);
    getSubtitulos().english = true;
    RenderFrame(0.0f);
    EXPECT_EQ(CentrePixel(), kGreen) << "English, keyboard";

    pad.connected = true;
    Poll();
    ASSERT_TRUE(getInputManager()->IsGamepadConnected());
    RenderFrame(0.0f);
    EXPECT_EQ(CentrePixel(), kYellow) << "English, pad";

    getSubtitulos().english = false;
    RenderFrame(0.0f);
    EXPECT_EQ(CentrePixel(), kBlue) << "Spanish, pad";
}

TEST_F(FrameRenderTest, EscapeOnTheDeathScreenGoesBackToTheMenuFromTheFirstCheckpoint)
{
    getPlayer()->SetLife(0);
    getTriggerManager().checkpoint = 4;
    Poll();
    keys.SetKey(DIK_ESCAPE, true);
    Poll();
    RenderFrame(0.0f);

    EXPECT_TRUE(getGUI().mainMenuActive);
    EXPECT_TRUE(getGSF().isReadyVinyetasIntro1()) << "the record is reset";
    EXPECT_EQ(getTriggerManager().checkpoint, 1);

    // Under the main menu the death image is not shown, and the line the
    // death frame left open is finished by the next frame.
    RenderFrame(0.0f);
    const std::string raw = RawLog();
    ASSERT_EQ(std::count(raw.begin(), raw.end(), '\n'), 1);
    EXPECT_EQ(raw.back(), '\n');
    const size_t second = raw.find("RENDER\t", 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(raw.find("bloom2Tex: "), second);
    EXPECT_GT(raw.find("TOTAL_RENDER: "), second);
}

TEST_F(FrameRenderTest, ThePadsBackButtonLeavesTheDeathScreenToo)
{
    getPlayer()->SetLife(0);
    pad.connected = true;
    Poll();
    pad.gamepad.wButtons = XINPUT_GAMEPAD_BACK;
    Poll();
    RenderFrame(0.0f);
    EXPECT_TRUE(getGUI().mainMenuActive);
}

TEST_F(FrameRenderTest, TheDeathImageWaitsForTheIntroToBeOver)
{
    getPlayer()->SetLife(0);
    getGSF().resetStates();
    getGUI().mainMenuActive = true;
    RenderFrame(0.0f);
    getGUI().mainMenuActive = false;
    RenderFrame(0.0f);

    const std::vector<Labels> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    for (const Labels& line : lines)
        EXPECT_EQ(line.back(), "TOTAL_RENDER: ");
}

TEST_F(FrameRenderTest, TheEnemyPlaneEndsOnceShotDownDuringASequence)
{
    GSF& gsf = getGSF();
    CCollisionManager& collisions = getCollisionManager();

    gsf.setPlayingRigidaEneAvioneta();
    collisions.tankHits = 0;
    RenderFrame(0.0f);
    EXPECT_TRUE(gsf.isPlayingRigidaEneAvioneta()) << "only while a sequence plays";

    getRigid()->scriptedSequenceRunning = true;
    collisions.tankHits = 12;
    RenderFrame(0.0f);
    EXPECT_TRUE(gsf.isPlayingRigidaEneAvioneta()) << "both counters still above 0";

    collisions.planeHits = -1;
    RenderFrame(0.0f);
    EXPECT_EQ(gsf.hangarRigidState, GSF::RigidaEneAvionetaDone);
}

} // namespace
} // namespace looptest
