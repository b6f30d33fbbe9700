// The bloom chain on a real device with the shipped effect file: its settings
// file, the glow it adds over the frame and the stage images it leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "render/Bloom.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
namespace fs = std::filesystem;

const D3DCOLOR kGrey = 0xFF202020;

class BloomTest : public fxtest::EffectDrawTest {
protected:
    void TearDown() override
    {
        m_Bloom.Release();
        // The device is shared with the other drawing tests: give back the
        // states the bloom passes change.
        D3DDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        D3DDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        fxtest::EffectDrawTest::TearDown();
    }

    bool Load(const std::string& text)
    {
        fs::create_directories("data/fx");
        std::ofstream("data/fx/bloom.xml") << text;
        return m_Bloom.LoadXML("data/fx/bloom.xml");
    }

    std::pair<UINT, UINT> StageSize(size_t stage)
    {
        D3DSURFACE_DESC desc{};
        m_Bloom.stages.at(stage).target.texture->GetLevelDesc(0, &desc);
        return {desc.Width, desc.Height};
    }

    // Runs the chain on a scene of `background` (with a white 8 x 8 square in
    // the middle when `spot` is set), then adds it over a back buffer of `under`.
    void Frame(D3DCOLOR background, bool spot, D3DCOLOR under)
    {
        std::vector<D3DCOLOR> texels(kSize * kSize, background);
        for (int y = 28; spot && y < 36; ++y)
            std::fill_n(&texels[y * kSize + 28], 8, 0xFFFFFFFF);
        m_Bloom.RenderStages(Texture(kSize, kSize, texels));
        ClearTo(under);
        ASSERT_TRUE(SUCCEEDED(D3DDevice->BeginScene()));
        m_Bloom.Composite();
        D3DDevice->EndScene();
    }

    TBloomEffect m_Bloom;
};

TEST_F(BloomTest, SettingsTakeDefaultsKeepFileOrderAndSurviveAMissingFile)
{
    ASSERT_TRUE(Load("<bloom><stage/></bloom>"));
    EXPECT_FLOAT_EQ(m_Bloom.cutoff, 200.0f / 255.0f);
    EXPECT_FALSE(m_Bloom.clear_bg);
    EXPECT_FLOAT_EQ(m_Bloom.stages.at(0).weight, 1.0f);
    EXPECT_EQ(StageSize(0), std::make_pair(16u, 16u));

    ASSERT_TRUE(Load("<bloom cutoff=\"255\" clear_bg=\"yes\"><stage xres=\"32\" yres=\"8\" weight=\"0.25\"/>"
                     "<glow xres=\"99\"/><stage xres=\"4\"/></bloom>"));
    EXPECT_FLOAT_EQ(m_Bloom.cutoff, 1.0f);
    EXPECT_TRUE(m_Bloom.clear_bg);
    ASSERT_EQ(m_Bloom.stages.size(), 2u);
    EXPECT_EQ(StageSize(0), std::make_pair(32u, 8u));
    EXPECT_FLOAT_EQ(m_Bloom.stages[0].weight, 0.25f);
    EXPECT_EQ(StageSize(1), std::make_pair(4u, 16u));

    fs::remove("data/fx/bloom.xml");
    EXPECT_FALSE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    EXPECT_EQ(StageSize(1), std::make_pair(4u, 16u));
}

TEST_F(BloomTest, ABrightSpotGlowsAroundItselfAndTheStagesAreWrittenOncePerLoad)
{
    ASSERT_TRUE(Load("<bloom><stage xres=\"16\" yres=\"16\"/><stage xres=\"8\" yres=\"8\"/></bloom>"));
    Frame(0xFF000000, true, kGrey);
    EXPECT_GT(Brightness(Pixel(32, 32)), 3 * 0xE0);
    EXPECT_GT(Brightness(Pixel(24, 32)), Brightness(kGrey) + 12);
    EXPECT_GT(Brightness(Pixel(32, 24)), Brightness(kGrey) + 12);
    EXPECT_EQ(Pixel(4, 4), kGrey);
    // Each blur steps by the texels of the stage before it.
    float step = 0;
    getEffectManager().GetEffect()->GetFloat("bloom_offset_x", &step);
    EXPECT_FLOAT_EQ(step, 1.0f / 16);

    // The stage images land in the working folder, as drawn: the spot is in them.
    EXPECT_TRUE(fs::exists("Stage01.bmp"));
    EXPECT_FALSE(fs::exists("Stage02.bmp"));
    IDirect3DTexture9* saved = nullptr;
    ASSERT_TRUE(SUCCEEDED(D3DXCreateTextureFromFileA(D3DDevice, "Stage00.bmp", &saved)));
    m_Textures.push_back(saved);
    D3DLOCKED_RECT locked;
    ASSERT_TRUE(SUCCEEDED(saved->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)));
    EXPECT_GT(Brightness(static_cast<const D3DCOLOR*>(locked.pBits)[8 * locked.Pitch / 4 + 8]), 3 * 0xE0);
    saved->UnlockRect(0);

    fs::remove("Stage00.bmp");
    Frame(0xFFB0B0B0, false, kGrey); // all below the cut-off: nothing is added
    EXPECT_EQ(Pixel(32, 32), kGrey);
    EXPECT_FALSE(fs::exists("Stage00.bmp"));
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml")); // the ':' key
    Frame(0xFF000000, true, kGrey);
    EXPECT_TRUE(fs::exists("Stage00.bmp"));
}

// A first stage that cannot be made gives the second nothing to blur, and its
// zero width must not become a texel step.
TEST_F(BloomTest, AStageThatCannotBeMadeDrawsNothing)
{
    ASSERT_TRUE(Load("<bloom cutoff=\"100\"><stage xres=\"0\" yres=\"16\"/><stage xres=\"16\" yres=\"16\"/></bloom>"));
    ASSERT_EQ(m_Bloom.stages.size(), 2u);
    Frame(0xFFFFFFFF, false, kGrey);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    float step = 0;
    getEffectManager().GetEffect()->GetFloat("bloom_offset_x", &step);
    EXPECT_TRUE(std::isfinite(step));
}

} // namespace
