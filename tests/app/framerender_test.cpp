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
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "render/TextureManager.h"
#include "render/flat_entity.h"
#include "scene/Camera.h"
#include "scene/LightCamera.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "scene/ParticleType.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleEmitter.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

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
        // These frames show the objects each test lists, not a hero an
        // earlier run left standing where they are.
        setMainConfig("playerRender", false);
        getInputManager()->Init(nullptr, window);
        getInputManager()->SetControllerSource([] { return static_cast<IController*>(nullptr); });
        // Two polls with nothing held: no button of an earlier test still reads as just pressed.
        getInputManager()->Update();
        getInputManager()->Update();

        // A game under way on the first level, past its intro.
        getScenario()->SelectScenario("hangares");
        getGSF().sequence = GSF::HangaresIntroDone;
        getRigid()->scriptedSequenceRunning = false;
        // Seen through the game's camera: a flight or the free camera an
        // earlier run left going would show the particles from elsewhere.
        getRigid()->camSequenceRunning = false;
        getCamera().SetFreeCamera(false);
        // The hero as a start builds him, the one drawn: a hit an earlier
        // run's hero took, or his fall, would show in these frames as this
        // frame's.
        getPlayer()->Init();
        getSceneManager().SetCharacterList({});
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

    // Motion blur draws the level once more only while the level is drawn at all.
    getRigid()->scriptedSequenceRunning = false;
    getGSF().sequence = GSF::HangaresIntroDone;
    setMainConfig("blurRender", true);
    for (bool scenario : {true, false}) {
        setMainConfig("scenarioRender", scenario);
        getProfiler().Open("data/log.txt");
        RenderFrame(step);
        getProfiler().Close();
        const Labels line = ReadLogLabels("data/log.txt").back();
        EXPECT_EQ(std::count(line.begin(), line.end(), "motionBlur: "), scenario ? 1 : 0);
    }
    // The second comic movie is framed wider.
    getRigid()->scriptedSequenceRunning = true;
    getGSF().sequence = GSF::PlayingSecondMovie;
    RenderFrame(step);
    EXPECT_FLOAT_EQ(getCamera().GetFov(), 1.134464f);
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

    // Escape or the pad's Back lead to the menu, with a new record and the first checkpoint.
    const struct { bool escape, back; } ways[] = {{true, false}, {false, true}};
    for (const auto& way : ways) {
        getGUI().mainMenuActive = false;
        getGSF().sequence = GSF::HangaresIntroDone;
        getTriggerManager().checkpoint = 4;
        getGUI().itemExit = true;
        pad.gamepad.wButtons = way.back ? XINPUT_GAMEPAD_BACK : 0;
        keys.SetKey(DIK_ESCAPE, way.escape);
        getInputManager()->Update();
        RenderFrame(0.0f);
        EXPECT_TRUE(getGUI().mainMenuActive) << way.escape;
        EXPECT_EQ(getGSF().sequence, GSF::ReadyVinyetasIntro1);
        EXPECT_EQ(getTriggerManager().checkpoint, 1);
        EXPECT_FALSE(getGUI().itemExit) << "off Exit, so that a hasty Return does not quit";
        keys.SetKey(DIK_ESCAPE, false);
        pad.gamepad.wButtons = 0;
        getInputManager()->Update();
    }
    // Not under the menu, nor at a new game's first frame: those frames run whole.
    for (bool menu : {true, false}) {
        getGUI().mainMenuActive = menu;
        getGSF().sequence = menu ? GSF::HangaresIntroDone : GSF::ReadyVinyetasIntro1;
        getProfiler().Open("data/log.txt");
        RenderFrame(0.0f);
        getProfiler().Close();
        EXPECT_EQ(ReadLogLabels("data/log.txt").back().back(), "TOTAL_RENDER: ") << "menu " << menu;
    }
}

// A level frame drawn through the real device and the shipped effect: the
// camera looks from z = 200 at the origin, where a grey floor fills the view.
class LevelFramePixels : public FrameRenderTest {
protected:
    void SetUp() override
    {
        FrameRenderTest::SetUp();
        if (HasFatalFailure())
            return;
        const std::string fx = std::string(VANTOREL_WORKDIR) + "/data/fx/effects4.fx";
        testing::internal::CaptureStderr();
        const bool loaded = getEffectManager().LoadEffect(fx.c_str());
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(loaded) << log;
        // One stage the size of the screen with no cut: each pixel's glow is
        // the scene's brightness there times its colour.
        width_ = static_cast<int>(ClientWidth);
        height_ = static_cast<int>(ClientHeight);
        WriteFile("data/fx/bloom.xml", "<bloom cutoff=\"0\"><stage xres=\"" + std::to_string(width_) +
                                           "\" yres=\"" + std::to_string(height_) + "\" weight=\"1\"/></bloom>");
        ASSERT_TRUE(BloomEffect.LoadXML("data/fx/bloom.xml"));

        WriteFile("data/XML/camera_values.xml", "<CAMERA><PROPERTIES offset_x=\"0\" offset_y=\"0\" offset_z=\"200\" "
                                               "aspect_ratio_x=\"1\" aspect_ratio_y=\"1\"/></CAMERA>");
        // Turned as a fresh start leaves the camera, not as an earlier run left it.
        getCamera().CLocation::SetYaw(0.0f);
        getCamera().LoadValues(0, 0, -200, D3DDevice);
        getCamera().UpdateFrustum();

        grey = MakeTexture(kGrey);
        floor = std::make_unique<fxtest::FlatEntity>("suelo", 1000.0f, fxtest::FlatEntity::FacingZ, "basicTech");
        floor->SetTextures({grey});
        getSceneManager().Setup();
        getSceneManager().AddObject("suelo", floor.get());
    }

    void TearDown() override
    {
        getSceneManager().Setup();
        floor.reset();
        if (grey)
            grey->Release();
        FrameRenderTest::TearDown();
    }

    static IDirect3DTexture9* MakeTexture(D3DCOLOR colour)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DDevice->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        if (texture)
            EXPECT_EQ(devicetest::FillTexture(texture, 1, 1, &colour), D3D_OK);
        return texture;
    }

    // The frame as the player sees it after one RenderFrame.
    std::vector<D3DCOLOR> Frame()
    {
        RenderFrame(1.0f / 30);
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadBackBuffer(D3DDevice, &pixels), D3D_OK);
        pixels.resize(static_cast<size_t>(width_) * height_);
        return pixels;
    }
    static std::vector<D3DCOLOR> Target(const CRenderTarget& target)
    {
        std::vector<D3DCOLOR> pixels;
        EXPECT_EQ(devicetest::ReadPixels(target.surface, &pixels), D3D_OK);
        return pixels;
    }
    size_t Centre() const { return static_cast<size_t>(height_ / 2) * width_ + width_ / 2; }
    size_t Corner() const { return static_cast<size_t>(1) * width_ + 1; }

    static int Red(D3DCOLOR c) { return static_cast<int>((c >> 16) & 0xFF); }
    static int Green(D3DCOLOR c) { return static_cast<int>((c >> 8) & 0xFF); }
    static double Ratio(D3DCOLOR shown, D3DCOLOR scene) { return Green(shown) / std::max(1.0, double(Green(scene))); }

    // 0.6 grey: below full brightness, so that what each pass adds shows.
    static constexpr D3DCOLOR kGrey = 0xFF999999u;
    int width_ = 0, height_ = 0;
    IDirect3DTexture9* grey = nullptr;
    // Made once the device exists: its geometry lives on the device.
    std::unique_ptr<fxtest::FlatEntity> floor;
};

// The composite lays the scene (not the blurred one, with blur off) with its
// darkened borders; without "applyOld" the scene is copied as it stands.
TEST_F(LevelFramePixels, TheCompositeShowsTheSceneWithItsBordersAndApplyOldOffCopiesIt)
{
    setMainConfig("bloomRender", false);
    const std::vector<D3DCOLOR> composite = Frame();
    const std::vector<D3DCOLOR> scene = Target(SceneTarget);
    EXPECT_NEAR(Green(scene[Centre()]), 0x99, 2) << "the scene pass drew the listed floor";
    EXPECT_NEAR(Ratio(composite[Centre()], scene[Centre()]), 1.0, 0.07);
    EXPECT_LT(Ratio(composite[Corner()], scene[Corner()]), 0.88) << "the borders are darkened";

    setMainConfig("applyOld", false);
    const std::vector<D3DCOLOR> plain = Frame();
    for (size_t at : {Centre(), Corner()})
        EXPECT_NEAR(Green(plain[at]), Green(scene[at]), 2);

    DWORD blending = TRUE;
    D3DDevice->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    EXPECT_EQ(blending, static_cast<DWORD>(FALSE)) << "the next frame's passes start unblended";

    // Nothing listed: the frame is the cleared scene, black.
    getSceneManager().Setup();
    EXPECT_EQ(Frame()[Centre()] & 0xFFFFFF, 0u);
}

// The glow is added over the frame as its own square (SRCCOLOR, ONE): 0.6 grey
// glows 0.36, which adds 0.13 and leaves what was under it.
TEST_F(LevelFramePixels, BloomAddsTheSquareOfItsGlowOverTheFrame)
{
    setMainConfig("bloomRender", false);
    const std::vector<D3DCOLOR> without = Frame();
    setMainConfig("bloomRender", true);
    const std::vector<D3DCOLOR> with = Frame();
    for (size_t at : {Centre(), Corner()})
        EXPECT_NEAR(Green(with[at]) - Green(without[at]), 33, 6) << at;
}

// The composite draws every pixel of the frame: the frame's clear before it is
// left out, with the same picture; without the composite the clear stays.
TEST_F(LevelFramePixels, TheFrameIsNotClearedWhereTheCompositeCoversItAll)
{
    setMainConfig("bloomRender", true);
    // The empty shadow map is cleared by the first frame only.
    Frame();
    auto clearsAndFrame = [this](bool skipped) {
        SetShortcutOn(Shortcut::FrameClearSkipped, skipped);
        platform::ResetDrawStats(D3DDevice);
        std::vector<D3DCOLOR> frame = Frame();
        SetShortcutOn(Shortcut::FrameClearSkipped, true);
        return std::make_pair(platform::GetDrawStats(D3DDevice).clears, frame);
    };
    const auto cleared = clearsAndFrame(false);
    const auto left = clearsAndFrame(true);
    EXPECT_EQ(left.first + 1, cleared.first);
    EXPECT_EQ(left.second, cleared.second);
    setMainConfig("applyOld", false);
    EXPECT_EQ(clearsAndFrame(true).first, cleared.first);
}

// The frame's last passes go straight into the window: presenting copies
// nothing, and the window shows the picture a copy of the back buffer shows.
TEST_F(LevelFramePixels, TheFrameIsDrawnIntoTheWindowAndShowsTheSame)
{
    setMainConfig("bloomRender", true);
    setMainConfig("blurRender", true);
    Frame();
    auto shown = [this](bool intoWindow) {
        SetShortcutOn(Shortcut::BackBufferInWindow, intoWindow);
        platform::ResetDrawStats(D3DDevice);
        RenderFrame(1.0f / 30);
        const platform::DrawStats stats = platform::GetDrawStats(D3DDevice);
        std::vector<D3DCOLOR> pixels;
        EXPECT_TRUE(platform::ReadWindowPixels(D3DDevice, &pixels, nullptr, nullptr));
        SetShortcutOn(Shortcut::BackBufferInWindow, true);
        return std::make_pair(stats, pixels);
    };
    const auto copied = shown(false);
    EXPECT_EQ(copied.first.presentCopies, 1u);
    const auto direct = shown(true);
    EXPECT_EQ(direct.first.presents, 1u);
    EXPECT_EQ(direct.first.presentCopies, 0u);
    EXPECT_EQ(direct.first.backBufferCopies, 0u) << "no pass into the back buffer needs its depth";
    ASSERT_EQ(direct.second.size(), static_cast<size_t>(width_) * height_);
    EXPECT_TRUE(direct.second == copied.second);
    EXPECT_NEAR(Green(direct.second[Centre()]), 0x99 + 33, 8) << "the floor and its glow";
}
// The particles' target is laid over the frame by its own alpha; not over comic panels.
TEST_F(LevelFramePixels, TheParticleTargetIsBlendedOverTheLevelByItsAlpha)
{
    setMainConfig("bloomRender", false);
    setMainConfig("particlesRender", false);
    const std::vector<D3DCOLOR> without = Frame();
    setMainConfig("particlesRender", true);
    // A fire between the camera and the floor, advanced on its own.
    getParticleTypes().Load((std::string(VANTOREL_WORKDIR) + "/data/XML/particleTypes.xml").c_str());
    getParticleManager().Init(ParticleTarget, "");
    std::shared_ptr<CParticleEmitter> fire = getParticleManager().CreateEmitter(
        getParticleTypes().FindSystemType("fuego"), D3DXVECTOR3(0.0f, 0.0f, 100.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    ASSERT_TRUE(fire);
    for (int i = 0; i < 30; ++i)
        fire->Update(0.05f);
    const std::vector<D3DCOLOR> with = Frame();
    const std::vector<D3DCOLOR> particles = Target(ParticleTarget);
    // Where the particles are the most opaque: src * alpha + dst * (1 - alpha).
    size_t at = 0;
    for (size_t i = 0; i < particles.size() && i < with.size(); ++i)
        if ((particles[i] >> 24) > (particles[at] >> 24))
            at = i;
    const double alpha = (particles[at] >> 24) / 255.0;
    ASSERT_GT(alpha, 0.3) << "the fire was drawn into the particles' target";
    EXPECT_NEAR(Red(with[at]), Red(particles[at]) * alpha + Red(without[at]) * (1 - alpha), 4);
    EXPECT_NEAR(Green(with[at]), Green(particles[at]) * alpha + Green(without[at]) * (1 - alpha), 4);
    getParticleManager().RemoveEmitter(fire.get());

    getRigid()->scriptedSequenceRunning = true;
    getGSF().sequence = GSF::PlayingVinyetasIntro1;
    EXPECT_EQ(Red(Frame()[Centre()]), 0) << "comic panels: black, no particles over them";
}

// While panels play only they are drawn, and no glow goes over them.
TEST_F(LevelFramePixels, ComicPanelsAreDrawnInsteadOfTheLevelAndWithoutGlow)
{
    IDirect3DTexture9* white = MakeTexture(0xFFFFFFFFu);
    fxtest::FlatEntity level("suelo", 1000.0f, fxtest::FlatEntity::FacingZ, "basicTech");
    level.SetTextures({white});
    level.MoveTo(0, 0, 50); // in front of the panel
    getSceneManager().Setup();
    getSceneManager().AddObject("vinyeta1_escena", floor.get());
    getSceneManager().AddObject("suelo", &level);
    setMainConfig("bloomRender", false);
    EXPECT_GT(Green(Frame()[Centre()]), 0xF0) << "the level";

    getRigid()->scriptedSequenceRunning = true;
    getGSF().sequence = GSF::PlayingVinyetasIntro1;
    const D3DCOLOR panel = Frame()[Centre()];
    EXPECT_NEAR(Green(panel), 0x99, 12) << "the panel, not the level";
    setMainConfig("bloomRender", true);
    EXPECT_NEAR(Green(Frame()[Centre()]), Green(panel), 2) << "no glow over the panels";
    getSceneManager().Setup();
    white->Release();
}

// Blood gathers at the borders as life runs out, from the game's own images.
TEST_F(LevelFramePixels, LowLifeReddensTheBorders)
{
    const std::filesystem::path shipped = std::filesystem::path(VANTOREL_WORKDIR) / "data/textures";
    std::filesystem::create_directories("data/textures/GUI");
    for (const char* name : {"sangre_GUI.tga", "GUI/damage1.dds", "GUI/damage2.dds", "GUI/damage3.dds"})
        std::filesystem::copy_file(shipped / name, std::filesystem::path("data/textures") / name);
    setMainConfig("bloomRender", false);
    auto redness = [](D3DCOLOR c) { return Red(c) - Green(c); };
    getPlayer()->SetLifeAndTopLife(350, 350);
    EXPECT_LT(std::abs(redness(Frame()[Corner()])), 6);
    getPlayer()->SetLifeAndTopLife(20, 350);
    EXPECT_GT(redness(Frame()[Corner()]), 30);
}

// The enemy plane's loop ends once either of its hit counters has gone below
// 0 while a sequence plays over it; at exactly 0 (twenty pistol hits) the
// final stage that ends its wave has not played yet.
TEST_F(FrameRenderTest, TheEnemyPlaneIsDoneWhenEitherCounterRunsOut)
{
    const struct { int plane, tank; bool sequence, done; } cases[] = {
        {-3, 5, true, true}, {5, -1, true, true}, {5, 5, true, false}, {0, 5, true, false}, {5, 0, true, false},
        {-3, -3, false, false}};
    for (const auto& c : cases) {
        getGSF().hangarRigidState = GSF::PlayingRigidaEneAvioneta;
        getCollisionManager().planeHits = c.plane;
        getCollisionManager().tankHits = c.tank;
        getRigid()->scriptedSequenceRunning = c.sequence;
        RenderFrame(0.0f);
        EXPECT_EQ(getGSF().hangarRigidState, c.done ? GSF::RigidaEneAvionetaDone : GSF::PlayingRigidaEneAvioneta)
            << c.plane << " " << c.tank << " " << c.sequence;
    }
    getCollisionManager().planeHits = getCollisionManager().tankHits = 60;
}

// Nothing is shown of a new game before its first panels, unless the menu is up.
TEST_F(FrameRenderTest, ANewGamesFirstFrameIsNotPresentedUnlessTheMenuIsUp)
{
    const struct { bool menu; std::int32_t sequence; unsigned presents; } cases[] = {
        {false, GSF::ReadyVinyetasIntro1, 0}, {true, GSF::ReadyVinyetasIntro1, 1}, {false, GSF::PlayingVinyetasIntro1, 1}};
    for (const auto& c : cases) {
        getGUI().mainMenuActive = c.menu;
        getGSF().sequence = c.sequence;
        const unsigned before = Presents();
        RenderFrame(0.0f);
        EXPECT_EQ(Presents() - before, c.presents) << c.menu << " " << c.sequence;
    }
}

} // namespace
} // namespace looptest
