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

    float BlurStep()
    {
        float step = 0;
        getEffectManager().GetEffect()->GetFloat("bloom_offset_x", &step);
        return step;
    }

    TBloomEffect m_Bloom;
};

// A load starts a fresh chain in the file's order, skipping what is not a
// stage; the file's cut-off runs from 0 to 255, 200 when it is not given.
TEST_F(BloomTest, ABrightSpotGlowsAroundItselfAndTheStagesAreWrittenOncePerLoad)
{
    // What the file leaves out takes the defaults the shipped chain relies on.
    ASSERT_TRUE(Load("<bloom><stage/><stage/><stage/></bloom>"));
    EXPECT_FLOAT_EQ(m_Bloom.cutoff, 200.0f / 255.0f);
    EXPECT_FALSE(m_Bloom.clear_bg);
    ASSERT_EQ(m_Bloom.stages.size(), 3u);
    EXPECT_EQ(StageSize(2), std::make_pair(16u, 16u));
    EXPECT_FLOAT_EQ(m_Bloom.stages[2].weight, 1.0f);
    ASSERT_TRUE(Load("<bloom cutoff=\"200\"><stage xres=\"32\" yres=\"16\" weight=\"0.9\"/><glow xres=\"99\"/>"
                     "<stage xres=\"8\" yres=\"8\"/></bloom>"));
    ASSERT_EQ(m_Bloom.stages.size(), 2u);
    EXPECT_EQ(StageSize(0), std::make_pair(32u, 16u));
    EXPECT_FLOAT_EQ(m_Bloom.stages[0].weight, 0.9f);
    Frame(0xFF000000, true, kGrey);
    EXPECT_GT(Brightness(Pixel(32, 32)), 3 * 0xE0);
    EXPECT_GT(Brightness(Pixel(24, 32)), Brightness(kGrey) + 12);
    EXPECT_GT(Brightness(Pixel(32, 24)), Brightness(kGrey) + 12);
    EXPECT_EQ(Pixel(4, 4), kGrey);
    // Each blur steps by the texels of the stage before it.
    EXPECT_FLOAT_EQ(BlurStep(), 1.0f / 32);
    EXPECT_TRUE(fs::exists("Stage00.bmp") && fs::exists("Stage01.bmp"));
    EXPECT_FALSE(fs::exists("Stage02.bmp"));

    fs::remove("Stage00.bmp");
    Frame(0xFFB0B0B0, false, kGrey); // all below the cut-off: nothing is added
    EXPECT_EQ(Pixel(32, 32), kGrey);
    EXPECT_FALSE(fs::exists("Stage00.bmp"));
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml")); // the ':' key
    Frame(0xFF000000, true, kGrey);
    EXPECT_TRUE(fs::exists("Stage00.bmp"));

    // A reload that finds no file keeps the chain it had.
    fs::remove("data/fx/bloom.xml");
    EXPECT_FALSE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    EXPECT_EQ(m_Bloom.stages.size(), 2u);
}

// A first stage that cannot be made gives the second nothing to blur, and its
// zero width must not become a texel step.
TEST_F(BloomTest, AStageThatCannotBeMadeDrawsNothing)
{
    ASSERT_TRUE(Load("<bloom cutoff=\"100\"><stage xres=\"0\" yres=\"16\"/><stage xres=\"16\" yres=\"16\"/></bloom>"));
    ASSERT_EQ(m_Bloom.stages.size(), 2u);
    Frame(0xFFFFFFFF, false, kGrey);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    EXPECT_TRUE(std::isfinite(BlurStep()));
}

} // namespace
