// The device made at start-up, and the debug text drawn on it.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "app/DebugText.h"
#include "app/Startup.h"
#include "gui/Subtitles.h"
#include "platform/bounded.h"
#include "render/EffectManager.h"
#include "render/DeviceFixture.h"
#include "render/RenderTarget.h"
#include "render/VertexBuffers.h"
#include "scene/Camera.h"
#include "scene/LightCamera.h"
#include "scene/MeshCache.h"
#include "scene/ParticleType.h"
#include "scene/SceneManager.h"

namespace {

TEST(ChooseAdapter, PrefersTheFirstPerfHudAdapterWithTheReferenceDevice)
{
    AdapterChoice plain = ChooseAdapter({"Mesa llvmpipe", "Other card"});
    EXPECT_EQ(plain.adapter, 0u);
    EXPECT_EQ(plain.type, D3DDEVTYPE_HAL);
    AdapterChoice perf = ChooseAdapter({"Mesa llvmpipe", "NVIDIA PerfHUD", "PerfHUD again"});
    EXPECT_EQ(perf.adapter, 1u);
    EXPECT_EQ(perf.type, D3DDEVTYPE_REF);
    EXPECT_EQ(ChooseAdapter({"perfhud"}).type, D3DDEVTYPE_HAL) << "the word is matched as written";
    EXPECT_EQ(ChooseAdapter({}).adapter, 0u);
}

TEST(FloatToString, WritesSixSignificantDigits)
{
    EXPECT_EQ(FloatToString(1.5), "1.5");
    EXPECT_EQ(FloatToString(3.0), "3");
    EXPECT_EQ(FloatToString(16.6666666), "16.6667");
    EXPECT_EQ(FloatToString(1234567.0), "1.23457e+06");
}

using StartupTest = drawtest::DeviceTest;

TEST_F(StartupTest, DeviceGetsTheClientSizeAndBaseStatesAndTheLightItsAspect)
{
    EXPECT_EQ(ClientWidth, static_cast<float>(drawtest::kSize));
    EXPECT_EQ(ClientHeight, static_cast<float>(drawtest::kSize));
    DWORD value = 0;
    D3DDevice->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CW)) << "the game's meshes wind clockwise";
    D3DPRESENT_PARAMETERS params = {};
    D3DDevice->GetPresentParameters(&params);
    EXPECT_EQ(params.AutoDepthStencilFormat, D3DFMT_D24S8);

    // The light takes the whole-number aspect of the configured size; a zero height must not stop
    // the game. The default size comes last, so that it stays for the other tests.
    const struct { int width, height; float aspect; } cases[] = {{1600, 600, 2.0f}, {800, 0, 1.0f}, {800, 600, 1.0f}};
    for (const auto& c : cases) {
        ReleaseDevice();
        EXPECT_FALSE(SceneTarget.IsCreated()) << "the screen targets go before the device";
        width = c.width;
        height = c.height;
        ASSERT_EQ(InitD3D(m_Window), S_OK);
        EXPECT_EQ(LightLocation.aspect, c.aspect) << c.width << "x" << c.height;
    }
}

// A second start in one process (a test program, or the game started again
// from the same process) finds nothing that still points into the device the
// first start released: the camera, the lights and the particles' textures.
TEST_F(StartupTest, WhatTheReleasedDeviceMadeIsForgottenAndASecondDeviceGivesItBack)
{
    m_Textures.clear();
    ReleaseDevice();
    drawtest::ScratchFolder folder("second_start");
    std::filesystem::create_directories("data/XML");
    const std::string shipped = std::string(VANTOREL_WORKDIR) + "/data/";
    std::filesystem::copy_file(shipped + "XML/particleTypes.xml", "data/XML/particleTypes.xml");
    std::filesystem::create_directory_symlink(shipped + "textures", "data/textures");
    ASSERT_EQ(InitD3D(m_Window), S_OK);
    getCamera().LoadValues(0, 0, 0, D3DDevice);
    getSceneManager().SaveDepthStencil();
    ParticleSystemType* smoke = getParticleTypes().FindSystemType("humo");
    ASSERT_NE(smoke, nullptr);
    ASSERT_NE(smoke->texture, nullptr);

    ReleaseDevice();
    EXPECT_EQ(smoke->texture, nullptr) << "the texture went with its device";
    // Under the sanitizer these would read the freed device; in any build
    // they must not reach it.
    getCamera().SetFov(1.0f);
    getSceneManager().Setup();
    EXPECT_EQ(getSceneManager().GetShadowMapTexture(), nullptr);

    ASSERT_EQ(InitD3D(m_Window), S_OK);
    EXPECT_NE(smoke->texture, nullptr) << "the next device loads it again";
}

// Whether a device object was made on the device in use now.
template <class Object>
bool OfTheDeviceInUse(Object* object)
{
    IDirect3DDevice9* device = nullptr;
    if (!object || FAILED(object->GetDevice(&device)))
        return false;
    device->Release();
    return device == D3DDevice;
}

// The game releasing its device and making another (a second start in one
// process, or the device made again) draws with objects of the new device:
// the effect is compiled again, the meshes are loaded again, the passes'
// textures are forgotten, and each fault of the data is named again.
TEST_F(StartupTest, ASecondDeviceGetsItsOwnEffectMeshesAndPassTexturesAndFaultsAreNamedAgain)
{
    m_Textures.clear();
    ReleaseDevice();
    drawtest::ScratchFolder folder("second_device");
    std::filesystem::create_directory("data");
    const std::string shipped = std::string(VANTOREL_WORKDIR) + "/data/";
    for (const char* sub : {"XML", "fx", "meshes", "textures"})
        std::filesystem::create_directory_symlink(shipped + sub, std::string("data/") + sub);
    const char kMesh[] = "Cajas_AVION";
    ASSERT_TRUE(std::filesystem::exists(std::string("data/meshes/") + kMesh + ".mesh"));

    ASSERT_EQ(InitD3D(m_Window), S_OK);
    ASSERT_TRUE(OfTheDeviceInUse(getEffectManager().GetEffect()));
    IVertexBuffer* firstMesh = getMeshCache().GetMesh(kMesh);
    ASSERT_NE(firstMesh, nullptr);
    ASSERT_TRUE(OfTheDeviceInUse(firstMesh->GetD3DBuffer()));
    getSceneManager().RenderShadowCasters(ShadowMapTarget, true, {});
    ASSERT_NE(getSceneManager().GetShadowMapTexture(), nullptr);
    CompositeState& composite = getEffectManager().GetCompositeState();
    composite.lightningActive = true;
    composite.lightningBrightness = 10.0f;
    composite.hits = D3DXVECTOR4(0.0f, 1.0f, 0.0f, 0.0f);
    testing::internal::CaptureStderr();
    bounded::SayOnce("data/XML/missing.xml: refused: it is not there");
    bounded::SayOnce("data/XML/missing.xml: refused: it is not there");

    ReleaseDevice();
    EXPECT_FALSE(composite.lightningActive) << "the next run starts without this one's lightning";
    EXPECT_EQ(composite.lightningBrightness, 0.0f);
    EXPECT_EQ(composite.hits, D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f)) << "nor its hit marks";
    const std::string firstRun = testing::internal::GetCapturedStderr();
    EXPECT_EQ(firstRun, "data/XML/missing.xml: refused: it is not there\n");
    EXPECT_EQ(getEffectManager().GetEffect(), nullptr) << "the effect went with its device";
    EXPECT_EQ(firstMesh->GetD3DBuffer(), nullptr) << "an entity still holding the mesh draws nothing";
    EXPECT_EQ(getSceneManager().GetShadowMapTexture(), nullptr) << "the shadow map went with its device";
    EXPECT_EQ(getSceneManager().GetVelocitySourceTexture(), nullptr);

    ASSERT_EQ(InitD3D(m_Window), S_OK);
    EXPECT_TRUE(OfTheDeviceInUse(getEffectManager().GetEffect())) << "compiled again for the new device";
    IVertexBuffer* secondMesh = getMeshCache().GetMesh(kMesh);
    ASSERT_NE(secondMesh, nullptr);
    EXPECT_TRUE(OfTheDeviceInUse(secondMesh->GetD3DBuffer())) << "loaded again on the new device";
    EXPECT_EQ(secondMesh->GetVertexCount(), firstMesh->GetVertexCount());
    testing::internal::CaptureStderr();
    bounded::SayOnce("data/XML/missing.xml: refused: it is not there");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "data/XML/missing.xml: refused: it is not there\n")
        << "the second start names the fault again";
}

// Only the newest lines are kept; lines at 15, 37 and 59 with a shadow one pixel right and down,
// shown for one frame; lines queued while there is no font are dropped, not kept for later.
TEST_F(StartupTest, DebugLinesStackFromTheTopWithAShadowAndLastOneFrame)
{
    ClearTo(0xFF808080);
    const std::vector<D3DCOLOR> grey = BackBuffer();
    CDebugText text;
    for (int i = 0; i < 300; ++i)
        text.AddLine("line " + std::to_string(i));
    ASSERT_EQ(text.GetLines().size(), CDebugText::kMaxLines);
    EXPECT_EQ(text.GetLines().front(), "line 44");
    EXPECT_EQ(text.GetLines().back(), "line 299");
    text.Draw();
    EXPECT_TRUE(text.GetLines().empty());
    EXPECT_TRUE(BackBuffer() == grey) << "no font, nothing drawn";

    // Capitals only, so nothing reaches below a line's box; short, for the small window.
    const std::vector<std::string> lines = {"HE", "EH", "NIN"};
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFontA(D3DDevice, 20, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "DejaVu Sans", &font),
              S_OK);
    for (size_t i = 0; i < lines.size(); ++i) {
        const LONG top = 15 + 22 * static_cast<LONG>(i);
        RECT shadow = {21, top + 1, 400, top + 40}, box = {20, top, 400, top + 40};
        font->DrawTextA(nullptr, lines[i].c_str(), -1, &shadow, DT_NOCLIP, 0xFF000000);
        font->DrawTextA(nullptr, lines[i].c_str(), -1, &box, DT_NOCLIP, 0xFFFFFFFF);
    }
    font->Release();
    const std::vector<D3DCOLOR> expected = BackBuffer();
    ASSERT_FALSE(expected == grey);

    ClearTo(0xFF808080);
    text.Init(D3DDevice, 20, "DejaVu Sans");
    for (const std::string& line : lines)
        text.AddLine(line);
    text.Draw();
    EXPECT_TRUE(BackBuffer() == expected);
    EXPECT_TRUE(text.GetLines().empty());

    ClearTo(0xFF808080);
    text.Draw();
    EXPECT_TRUE(BackBuffer() == grey) << "the next frame shows nothing unless lines are added again";
}

} // namespace

namespace {

// A window size the device cannot be made for falls back to 800 x 600 with a
// line naming the file and the value; a usable one stands as written.
TEST(Configuration, AWindowSizeThatIsNoScreenSizeFallsBackTo800x600)
{
    drawtest::ScratchFolder folder{"configuration"};
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(screenWidth, 0);
    ASSERT_GT(screenHeight, 0);
    const struct {
        std::string width, height;
        int expectedWidth, expectedHeight;
        std::string quoted; // the value named in the message; empty: no message
    } cases[] = {
        {"0", "600", 800, 600, "width \"0\""},
        {"1024", "-768", 800, 600, "height \"-768\""},
        {"99999999999", "600", 800, 600, "width \"99999999999\""},
        {std::to_string(screenWidth + 1), "300", 800, 600, "width \"" + std::to_string(screenWidth + 1) + "\""},
        {"abc", "480", 800, 600, "width \"abc\""},
        {"640", std::to_string(screenHeight), 640, screenHeight, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width + "x" + c.height);
        folder.Write("data/XML/init_configuration.xml",
                     "<C><PROPERTIES width=\"" + c.width + "\" height=\"" + c.height + "\"/></C>");
        CConfiguration configuration;
        bounded::ForgetSaidLines(); // the line is said once a run: each case is a run's start
        testing::internal::CaptureStderr();
        configuration.LoadXML("data/XML/init_configuration.xml");
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(configuration.width, c.expectedWidth);
        EXPECT_EQ(configuration.height, c.expectedHeight);
        if (c.quoted.empty())
            EXPECT_EQ(printed, "");
        else
            EXPECT_EQ(printed.rfind("data/XML/init_configuration.xml: window " + c.quoted, 0), 0u) << printed;
    }
}

// A value outside its set is dropped for its default, said with the others
// in one line; a face the game has no font of is named and kept for the text
// layer, which draws it with DejaVu Sans; a second element is said.
TEST(Configuration, ValuesOutsideTheirSetTakeTheirDefaults)
{
    const struct {
        const char* properties;
        bool windowed, moveCursor, english;
        int fontSize, listSize;
        const char* said;
    } cases[] = {
        {"windowed='2' move_cursor='no' english='si' debug_font_size='-20' fps_list_size='2147483648'", true, false,
         false, 20, 60,
         "windowed \"2\" is not 0 or 1, english \"si\" is not 0 or 1, debug_font_size \"-20\" is not a size from 1 to "
         "256, fps_list_size \"2147483648\" is not a size from 1 to 100000: the defaults are used"},
        {"windowed='false' english='True' debug_font='Comic Sans' debug_font_size='256' fps_list_size='1'", false,
         true, true, 256, 1, "debug_font \"Comic Sans\" is not a font of the game: DejaVu Sans is used"},
        {"debug_font='DejaVu Serif' debug_font_size='0'", true, true, false, 20, 60,
         "debug_font_size \"0\" is not a size from 1 to 256: the defaults are used"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.properties);
        bounded::ForgetSaidLines();
        CConfiguration config;
        std::istringstream in(std::string("<C><PROPERTIES ") + c.properties + "/></C>");
        testing::internal::CaptureStderr();
        ASSERT_TRUE(config.Parse(in, "init_configuration.xml"));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "data/XML/init_configuration.xml: " + std::string(c.said) + "\n");
        EXPECT_EQ(std::tie(config.windowed, config.move_cursor, getSubtitulos().english, config.debug_font_size,
                           config.fps_list_size),
                  std::make_tuple(c.windowed, c.moveCursor, c.english, c.fontSize, c.listSize));
    }
    bounded::ForgetSaidLines();
    CConfiguration twice;
    std::istringstream in("<C><PROPERTIES width='1024'/><PROPERTIES/><PROPERTIES/></C>");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(twice.Parse(in, "init_configuration.xml"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/XML/init_configuration.xml: a second PROPERTIES element: its values replace the first's, the "
              "defaults where it has none\n");
    EXPECT_EQ(twice.width, 800);
}

} // namespace
