#include <gtest/gtest.h>

#include "app/Startup.h"
#include "render/DeviceFixture.h"
#include "render/RenderTarget.h"
#include "scene/LightCamera.h"

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

class StartupTest : public drawtest::DeviceTest {
protected:
    void TearDown() override
    {
        width = 800;
        height = 600;
        DeviceTest::TearDown();
    }
};

TEST_F(StartupTest, DeviceGetsTheClientSizeAndBaseStates)
{
    EXPECT_EQ(ClientWidth, static_cast<float>(drawtest::kSize));
    EXPECT_EQ(ClientHeight, static_cast<float>(drawtest::kSize));
    DWORD value = 0;
    D3DDevice->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CW)) << "the game's meshes wind clockwise";
    D3DPRESENT_PARAMETERS params = {};
    D3DDevice->GetPresentParameters(&params);
    EXPECT_EQ(params.AutoDepthStencilFormat, D3DFMT_D24S8);

    ReleaseDevice();
    EXPECT_FALSE(SceneTarget.IsCreated()) << "the screen targets go before the device";
}

TEST_F(StartupTest, TheLightTakesTheWholeNumberAspectOfTheConfiguredSize)
{
    const struct {
        int width, height;
        float aspect;
    } cases[] = {{800, 600, 1.0f}, {1600, 600, 2.0f}, {800, 0, 1.0f}}; // a zero height must not stop the game
    for (const auto& c : cases) {
        ReleaseDevice();
        width = c.width;
        height = c.height;
        ASSERT_EQ(InitD3D(m_Window), S_OK);
        EXPECT_EQ(LightLocation.aspect, c.aspect) << c.width << "x" << c.height;
    }
}

} // namespace
