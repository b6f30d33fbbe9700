#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/MainConfig.h"
#include "app/Startup.h"
#include "render/DeviceFixture.h"

namespace {

namespace fs = std::filesystem;

TEST(ChooseAdapter, PrefersTheFirstPerfHudAdapterWithTheReferenceDevice)
{
    AdapterChoice plain = ChooseAdapter({"Mesa llvmpipe", "Other card"});
    EXPECT_EQ(plain.adapter, 0u);
    EXPECT_EQ(plain.type, D3DDEVTYPE_HAL);

    AdapterChoice perf = ChooseAdapter({"Mesa llvmpipe", "NVIDIA PerfHUD", "PerfHUD again"});
    EXPECT_EQ(perf.adapter, 1u);
    EXPECT_EQ(perf.type, D3DDEVTYPE_REF);

    // The word is matched as written.
    EXPECT_EQ(ChooseAdapter({"perfhud"}).type, D3DDEVTYPE_HAL);
    EXPECT_EQ(ChooseAdapter({}).adapter, 0u);
}

TEST(Configuration, EveryPropertiesElementSetsEveryField)
{
    CConfiguration config;
    std::istringstream all("<C><PROPERTIES windowed='false' width='1024' height='768' debug_font='Arial'"
                           " debug_font_size='14' move_cursor='0' fps_list_size='5'/><OTHER width='1'/></C>");
    ASSERT_TRUE(config.Parse(all, "init"));
    EXPECT_FALSE(config.windowed);
    EXPECT_FALSE(config.move_cursor);
    EXPECT_EQ(config.width, 1024);
    EXPECT_EQ(config.height, 768);
    EXPECT_EQ(config.debug_font, "Arial");
    EXPECT_EQ(config.debug_font_size, 14);
    EXPECT_EQ(config.fps_list_size, 5);

    // A later element without attributes puts every default back.
    std::istringstream none("<C><PROPERTIES/></C>");
    ASSERT_TRUE(config.Parse(none, "init"));
    EXPECT_TRUE(config.windowed);
    EXPECT_TRUE(config.move_cursor);
    EXPECT_EQ(config.width, 800);
    EXPECT_EQ(config.height, 600);
    EXPECT_EQ(config.debug_font, "");
    EXPECT_EQ(config.debug_font_size, 20);
    EXPECT_EQ(config.fps_list_size, 60);
}

class StartupTest : public drawtest::DeviceTest {};

TEST_F(StartupTest, DeviceGetsTheClientSizeAndBaseStates)
{
    EXPECT_EQ(ClientWidth, static_cast<float>(drawtest::kSize));
    EXPECT_EQ(ClientHeight, static_cast<float>(drawtest::kSize));
    EXPECT_EQ(GameTimeScale, 1.0f);
    DWORD value = 0;
    D3DDevice->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CW));
    D3DDevice->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    D3DDevice->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_TRUE));
    D3DPRESENT_PARAMETERS params = {};
    D3DDevice->GetPresentParameters(&params);
    EXPECT_EQ(params.BackBufferWidth, static_cast<UINT>(drawtest::kSize));
    EXPECT_EQ(params.AutoDepthStencilFormat, D3DFMT_D24S8);
}

TEST(InitD3D, FailureIsReportedWithTheResult)
{
    ::testing::internal::CaptureStderr();
    const HRESULT hr = InitD3D(nullptr); // no window to draw in
    const std::string output = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(D3DDevice, nullptr);
    EXPECT_NE(output.find("CreateDevice hr = "), std::string::npos) << output;
    ReleaseDevice();
    EXPECT_EQ(Direct3D, nullptr);
}

class LoadingImageTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        m_Scratch = std::make_unique<drawtest::ScratchFolder>("loading");
        DeviceTest::SetUp();
    }
    void TearDown() override
    {
        DeviceTest::TearDown();
        m_Scratch.reset();
    }
    std::unique_ptr<drawtest::ScratchFolder> m_Scratch;
};

TEST_F(LoadingImageTest, ImageFillsTheBackBufferUpright)
{
    // Top half red, bottom half blue.
    fs::create_directories("GUI/LOADING");
    IDirect3DTexture9* t = MakeTexture(2, 2, {0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF});
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(D3DXSaveTextureToFileA("GUI/LOADING/startup_test.bmp", D3DXIFF_BMP, t, nullptr), S_OK);
    t->Release();

    PointSampling();
    DrawLoadingImage("GUI/LOADING/startup_test.bmp");
    EXPECT_EQ(Pixel(2, 2), 0xFFFF0000u);
    EXPECT_EQ(Pixel(drawtest::kSize - 3, drawtest::kSize / 2 - 2), 0xFFFF0000u);
    EXPECT_EQ(Pixel(2, drawtest::kSize - 3), 0xFF0000FFu);
}

} // namespace
