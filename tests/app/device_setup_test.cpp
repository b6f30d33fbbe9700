// What creating the device sets up besides the device itself.
#include "loop_fixture.h"

#include "render/RenderTarget.h"
#include "scene/LightCamera.h"

namespace looptest {
namespace {

class DeviceSetupTest : public GameWindowTest {
protected:
    void TearDown() override
    {
        width = 800;
        height = 600;
        GameWindowTest::TearDown();
    }

    // A device made with the given configured size (the window keeps its own).
    void MakeDevice(int configuredWidth, int configuredHeight)
    {
        ReleaseDevice();
        width = configuredWidth;
        height = configuredHeight;
        ASSERT_EQ(InitD3D(window), S_OK);
    }
};

TEST_F(DeviceSetupTest, TheLightTakesTheWholeNumberAspectOfTheConfiguredSize)
{
    MakeDevice(800, 600);
    EXPECT_EQ(LightLocation.aspect, 1.0f) << "800 / 600 in whole numbers";
    EXPECT_EQ(LightLocation.zFar, 1500.0f);
    EXPECT_FLOAT_EQ(LightLocation.fov, 1000.04f);

    MakeDevice(1600, 600);
    EXPECT_EQ(LightLocation.aspect, 2.0f);
    MakeDevice(1024, 768);
    EXPECT_EQ(LightLocation.aspect, 1.0f);

    MakeDevice(800, 0);
    EXPECT_EQ(LightLocation.aspect, 1.0f) << "a zero height must not stop the game";
}

TEST_F(DeviceSetupTest, TheDeviceComesWithDefaultSwitchesAndScreenTargets)
{
    setMainConfig("blurRender", true);
    setMainConfig("playerUpdate", false);
    GameTimeScale = 0.5f;
    MakeDevice(800, 600);

    EXPECT_FALSE(getMainConfig("blurRender"));
    EXPECT_TRUE(getMainConfig("playerUpdate"));
    EXPECT_EQ(GameTimeScale, 1.0f);

    for (CRenderTarget* target : {&SceneTarget, &VelocityTarget, &ShadowMapTarget, &ParticleTarget}) {
        ASSERT_TRUE(target->IsCreated());
        D3DSURFACE_DESC desc{};
        target->surface->GetDesc(&desc);
        EXPECT_EQ(static_cast<float>(desc.Width), ClientWidth);
        EXPECT_EQ(static_cast<float>(desc.Height), ClientHeight);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    }

    ReleaseDevice();
    EXPECT_FALSE(SceneTarget.IsCreated()) << "the targets go before the device";
}

} // namespace
} // namespace looptest
