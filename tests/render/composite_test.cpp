// The final composite drawn with the shipped effect and overlay images, read
// back from the back buffer.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/crt.h"
#include "render/Composite.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;

class CompositeDraw : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        EffectDrawTest::SetUp();
        // The overlays are the game's own images, found from its working folder.
        std::filesystem::current_path(fxtest::kWorkdir);
        m_Scene = MakeTexture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF808080));
        ASSERT_NE(m_Scene, nullptr);
        getEffectManager().GetCompositeState() = CompositeState();
    }

    void TearDown() override
    {
        if (m_Scene)
            m_Scene->Release();
        getEffectManager().GetCompositeState() = CompositeState();
        EffectDrawTest::TearDown();
    }

    void Draw(const CompositeInputs& inputs)
    {
        ClearTo(drawtest::kBlack);
        RenderCompositeWith(getEffectManager(), m_Scene, nullptr, nullptr, inputs);
    }

    float Param(const char* name)
    {
        float value = -1.0f;
        getEffectManager().GetEffect()->GetFloat(name, &value);
        return value;
    }

    static int Redness(D3DCOLOR c) { return Red(c) - Green(c); }

    IDirect3DTexture9* m_Scene = nullptr;
};

TEST_F(CompositeDraw, BloodCoversTheBordersAtLowLifeAndTheSideAHitCameFrom)
{
    CompositeInputs healthy;
    Draw(healthy);
    const D3DCOLOR cornerHealthy = Pixel(1, 1), middleHealthy = Pixel(kSize / 2, kSize / 2);
    // The frame itself is the grey scene, a little darker towards the corners.
    EXPECT_LT(std::abs(Redness(cornerHealthy)), 8);
    EXPECT_GT(Brightness(middleHealthy), 300);

    CompositeInputs dying = healthy;
    dying.lifeFraction = 0.05f;
    Draw(dying);
    EXPECT_GT(Redness(Pixel(1, 1)), 40);
    EXPECT_LT(std::abs(Brightness(Pixel(kSize / 2, kSize / 2)) - Brightness(middleHealthy)), 12);
    EXPECT_FLOAT_EQ(Param("player_life"), 0.05f);

    // A hit from behind marks the bottom edge alone.
    CompositeInputs hit = healthy;
    hit.wasHit = true;
    hit.hitAngleDegrees = 180.0f;
    Draw(hit);
    EXPECT_GT(Redness(Pixel(kSize / 2, kSize - 2)), 40);
    EXPECT_LT(std::abs(Redness(Pixel(kSize / 2, 1))), 8);
    EXPECT_LT(std::abs(Redness(Pixel(1, kSize / 2))), 8);
    D3DXVECTOR4 marks;
    getEffectManager().GetEffect()->GetVector("damageColor", &marks);
    EXPECT_FLOAT_EQ(marks.y, 1.0f);
    EXPECT_FLOAT_EQ(marks.x, 0.0f);
}

TEST_F(CompositeDraw, LightningAndRainRunOnlyOnTheIsland)
{
    CompositeInputs hangar;
    hangar.stateCode = 48;
    crt::srand(1);
    Draw(hangar);
    // No draw was taken: the generator is where it started.
    EXPECT_EQ(crt::rand(), 41);
    EXPECT_FLOAT_EQ(Param("flash"), 1.0f);
    EXPECT_FLOAT_EQ(Param("CamYaw"), 0.0f);
    EXPECT_FLOAT_EQ(Param("apuntando"), 1.0f);
    EXPECT_FLOAT_EQ(getEffectManager().GetCompositeState().previousYaw, 1.0f);

    CompositeInputs island;
    island.isla = true;
    island.cameraYaw = 0.25f;
    island.cameraPitch = 3.1415927f / 6.0f;
    crt::srand(1);
    Draw(island);
    EXPECT_EQ(crt::rand(), 18467);
    EXPECT_FLOAT_EQ(Param("CamYaw"), 1.0f);
    EXPECT_FLOAT_EQ(Param("apuntando"), 0.0f);
    EXPECT_NEAR(Param("CamPitch"), 0.5f, 1e-5f);
    EXPECT_FLOAT_EQ(getEffectManager().GetCompositeState().previousYaw, 0.25f);
}

// The shipped overlay images, as the composite's shader assumes them.
class CompositeImages : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        m_Previous = std::filesystem::current_path();
        std::filesystem::current_path(fxtest::kWorkdir);
        getTextureManager().Clear();
    }
    void TearDown() override
    {
        getTextureManager().Clear();
        std::filesystem::current_path(m_Previous);
        DeviceTest::TearDown();
    }
    std::filesystem::path m_Previous;
};

TEST_F(CompositeImages, OverlaysAreClearInTheMiddleAndSitOnTheirEdge)
{
    struct Overlay {
        const char* name;
        int edgeX, edgeY; // a texel on the edge the overlay covers, in 0..1 of the image x 4
    };
    const Overlay overlays[] = {{"sangre_GUI.tga", 0, 2},        {"GUI/sangre_arriba.tga", 2, 0},
                                {"GUI/sangre_abajo.tga", 2, 4},  {"GUI/sangre_izq.tga", 0, 2},
                                {"GUI/sangre_der.tga", 4, 2},    {"GUI/damage1.dds", -1, -1},
                                {"GUI/damage2.dds", -1, -1},     {"GUI/damage3.dds", -1, -1}};
    for (const Overlay& overlay : overlays) {
        IDirect3DTexture9* texture = getTextureManager().GetTexture(overlay.name);
        ASSERT_NE(texture, nullptr) << overlay.name;
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(0, &desc);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        auto alpha = [&](UINT x, UINT y) {
            x = std::min(x, desc.Width - 1);
            y = std::min(y, desc.Height - 1);
            return static_cast<const unsigned char*>(locked.pBits)[y * locked.Pitch + x * 4 + 3];
        };
        EXPECT_EQ(alpha(desc.Width / 2, desc.Height / 2), 0) << overlay.name;
        if (overlay.edgeX >= 0)
            EXPECT_GT(alpha(desc.Width * overlay.edgeX / 4, desc.Height * overlay.edgeY / 4), 100) << overlay.name;
        texture->UnlockRect(0);
    }
    for (const char* name : {"rainTest.tga", "Noise/GrainScratchNoise.tga"})
        EXPECT_NE(getTextureManager().GetTexture(name), nullptr) << name;
}

} // namespace
