// The bloom chain on a real device with the shipped effect file: its settings
// file, the glow it adds over the frame and the stage images it leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/Bloom.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;

const D3DCOLOR kGrey = 0xFF202020;

void WriteSettings(const std::string& text)
{
    std::filesystem::create_directories("data/fx");
    std::ofstream("data/fx/bloom.xml") << text;
}

// The size of a stage's texture as the device has it (0 x 0 without one).
std::pair<UINT, UINT> TextureSize(const TBloomEffect::TStage& stage)
{
    if (!stage.target.texture)
        return {0, 0};
    D3DSURFACE_DESC desc;
    stage.target.texture->GetLevelDesc(0, &desc);
    return {desc.Width, desc.Height};
}

// Width and height from a BMP file's header (height is negative for images
// stored top row first).
std::pair<int, int> BmpSize(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    unsigned char header[26] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    if (!in || header[0] != 'B' || header[1] != 'M')
        return {0, 0};
    auto le32 = [&](int at) {
        return static_cast<int32_t>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                                    static_cast<uint32_t>(header[at + 3]) << 24);
    };
    return {le32(18), std::abs(le32(22))};
}

class BloomTest : public fxtest::EffectDrawTest {
protected:
    void TearDown() override
    {
        m_Bloom.Release();
        for (IDirect3DTexture9* texture : m_Textures)
            texture->Release();
        // The device is shared with the other drawing tests: give back the
        // states the bloom passes change at their defaults.
        D3DDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        D3DDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        fxtest::EffectDrawTest::TearDown();
    }

    // A kSize square scene: `background` everywhere but a white square of
    // side 8 in the middle when `spot` is set.
    IDirect3DTexture9* Scene(D3DCOLOR background, bool spot)
    {
        std::vector<D3DCOLOR> texels(kSize * kSize, background);
        if (spot) {
            for (int y = 28; y < 36; ++y)
                for (int x = 28; x < 36; ++x)
                    texels[y * kSize + x] = 0xFFFFFFFF;
        }
        IDirect3DTexture9* texture = MakeTexture(kSize, kSize, texels);
        if (texture)
            m_Textures.push_back(texture);
        return texture;
    }

    // Runs the chain on the scene, then adds it over a back buffer of `under`.
    void Frame(IDirect3DTexture9* scene, D3DCOLOR under)
    {
        m_Bloom.RenderStages(scene);
        ClearTo(under);
        ASSERT_TRUE(SUCCEEDED(D3DDevice->BeginScene()));
        m_Bloom.Composite();
        D3DDevice->EndScene();
    }

    TBloomEffect m_Bloom;
    std::vector<IDirect3DTexture9*> m_Textures;
};

TEST_F(BloomTest, MissingAttributesTakeTheDefaultsAndStagesKeepFileOrder)
{
    WriteSettings("<bloom><stage/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml")) << m_Bloom.GetErrorText();
    EXPECT_FLOAT_EQ(m_Bloom.cutoff, 200.0f / 255.0f);
    EXPECT_FALSE(m_Bloom.clear_bg);
    ASSERT_EQ(m_Bloom.stages.size(), 1u);
    EXPECT_EQ(m_Bloom.stages[0].xres, 16);
    EXPECT_EQ(m_Bloom.stages[0].yres, 16);
    EXPECT_FLOAT_EQ(m_Bloom.stages[0].weight, 1.0f);
    EXPECT_EQ(TextureSize(m_Bloom.stages[0]), std::make_pair(16u, 16u));

    WriteSettings("<bloom cutoff=\"255\" clear_bg=\"yes\">"
                  "<stage xres=\"32\" yres=\"8\" weight=\"0.25\"/>"
                  "<glow xres=\"99\"/>"
                  "<stage xres=\"4\"/>"
                  "<stage yres=\"2\" weight=\"3\"/>"
                  "</bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml")) << m_Bloom.GetErrorText();
    EXPECT_FLOAT_EQ(m_Bloom.cutoff, 1.0f);
    EXPECT_TRUE(m_Bloom.clear_bg);
    ASSERT_EQ(m_Bloom.stages.size(), 3u);
    EXPECT_EQ(TextureSize(m_Bloom.stages[0]), std::make_pair(32u, 8u));
    EXPECT_FLOAT_EQ(m_Bloom.stages[0].weight, 0.25f);
    EXPECT_EQ(TextureSize(m_Bloom.stages[1]), std::make_pair(4u, 16u));
    EXPECT_FLOAT_EQ(m_Bloom.stages[1].weight, 1.0f);
    EXPECT_EQ(TextureSize(m_Bloom.stages[2]), std::make_pair(16u, 2u));
    EXPECT_FLOAT_EQ(m_Bloom.stages[2].weight, 3.0f);
}

TEST_F(BloomTest, AReloadReplacesTheChainAndAMissingFileKeepsIt)
{
    WriteSettings("<bloom><stage/><stage/><stage/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    IDirect3DTexture9* first = m_Bloom.stages[0].target.texture;
    ASSERT_NE(first, nullptr);
    m_Bloom.dumped = true;

    WriteSettings("<bloom><stage xres=\"8\" yres=\"8\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    ASSERT_EQ(m_Bloom.stages.size(), 1u);
    EXPECT_EQ(TextureSize(m_Bloom.stages[0]), std::make_pair(8u, 8u));
    EXPECT_FALSE(m_Bloom.dumped);

    std::filesystem::remove("data/fx/bloom.xml");
    m_Bloom.dumped = true;
    EXPECT_FALSE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    ASSERT_EQ(m_Bloom.stages.size(), 1u);
    EXPECT_NE(m_Bloom.stages[0].target.texture, nullptr);
    EXPECT_TRUE(m_Bloom.dumped);
}

TEST_F(BloomTest, AStageThatCannotBeMadeKeepsItsPlaceAndDrawsNothing)
{
    WriteSettings("<bloom cutoff=\"100\"><stage xres=\"0\" yres=\"16\"/><stage xres=\"16\" yres=\"16\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    ASSERT_EQ(m_Bloom.stages.size(), 2u);
    EXPECT_EQ(m_Bloom.stages[0].target.texture, nullptr);
    ASSERT_NE(m_Bloom.stages[1].target.texture, nullptr);

    // The broken first stage gives the second nothing to blur, so not even a
    // white scene may glow; and its zero width must not become a texel step.
    Frame(Scene(0xFFFFFFFF, false), kGrey);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    ID3DXEffect* effect = getEffectManager().GetEffect();
    float step = 0;
    effect->GetFloat(effect->GetParameterByName(nullptr, "bloom_offset_x"), &step);
    EXPECT_TRUE(std::isfinite(step));
    EXPECT_FALSE(std::filesystem::exists("Stage00.bmp"));
    EXPECT_TRUE(std::filesystem::exists("Stage01.bmp"));
}

TEST_F(BloomTest, ABrightSpotGlowsBeyondItselfAndADarkSceneAddsNothing)
{
    WriteSettings("<bloom><stage xres=\"16\" yres=\"16\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    Frame(Scene(0xFF000000, true), kGrey);
    EXPECT_GT(Brightness(Pixel(32, 32)), 3 * 0xE0) << "the spot itself";
    EXPECT_EQ(Pixel(24, 32), kGrey) << "the cut-off alone stays on the spot";
    EXPECT_EQ(Pixel(4, 4), kGrey) << "far from the spot";

    // A blurred stage after it spreads the glow around the spot.
    WriteSettings("<bloom><stage xres=\"16\" yres=\"16\"/><stage xres=\"8\" yres=\"8\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    Frame(Scene(0xFF000000, true), kGrey);
    EXPECT_GT(Brightness(Pixel(32, 32)), 3 * 0xE0);
    EXPECT_GT(Brightness(Pixel(24, 32)), Brightness(kGrey) + 12);
    EXPECT_GT(Brightness(Pixel(32, 24)), Brightness(kGrey) + 12);
    EXPECT_GT(Brightness(Pixel(40, 40)), Brightness(kGrey));
    EXPECT_EQ(Pixel(4, 4), kGrey);

    // Everything below the cut-off: the frame is left as it was.
    Frame(Scene(0xFFB0B0B0, false), kGrey);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    EXPECT_EQ(Pixel(4, 60), kGrey);
}

TEST_F(BloomTest, CutoffAndWeightDecideHowMuchGlows)
{
    // 0xC0 is below the default cut-off but above a cut-off of 128.
    WriteSettings("<bloom><stage xres=\"32\" yres=\"32\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    Frame(Scene(0xFFC0C0C0, false), kGrey);
    EXPECT_EQ(Pixel(32, 32), kGrey);

    WriteSettings("<bloom cutoff=\"128\"><stage xres=\"32\" yres=\"32\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    Frame(Scene(0xFFC0C0C0, false), kGrey);
    const int full = Brightness(Pixel(32, 32));
    EXPECT_GT(full, Brightness(kGrey) + 30);

    WriteSettings("<bloom cutoff=\"128\"><stage xres=\"32\" yres=\"32\" weight=\"0.5\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    Frame(Scene(0xFFC0C0C0, false), kGrey);
    const int half = Brightness(Pixel(32, 32));
    EXPECT_GT(half, Brightness(kGrey));
    EXPECT_LT(half, full - 30);

    // A blur stage is drawn with the weight of the stage before it, so the
    // last stage's own weight changes nothing.
    WriteSettings("<bloom><stage xres=\"16\" yres=\"16\"/><stage xres=\"8\" yres=\"8\" weight=\"0\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    Frame(Scene(0xFF000000, true), kGrey);
    EXPECT_GT(Brightness(Pixel(24, 32)), Brightness(kGrey) + 12);
}

TEST_F(BloomTest, ClearBackgroundBlacksOutTheFrameBeforeTheGlow)
{
    WriteSettings("<bloom clear_bg=\"1\"><stage xres=\"32\" yres=\"32\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    Frame(Scene(0xFF000000, true), 0xFF3060C0);
    EXPECT_EQ(Pixel(4, 4), drawtest::kBlack);
    EXPECT_GT(Brightness(Pixel(32, 32)), 3 * 0xE0);
}

TEST_F(BloomTest, EachBlurStepsByTheTexelsOfTheStageBeforeIt)
{
    WriteSettings("<bloom cutoff=\"51\"><stage xres=\"32\" yres=\"16\"/><stage xres=\"8\" yres=\"4\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    m_Bloom.RenderStages(Scene(0xFF000000, true));
    ID3DXEffect* effect = getEffectManager().GetEffect();
    float x = 0, y = 0, cut = 0;
    effect->GetFloat(effect->GetParameterByName(nullptr, "bloom_offset_x"), &x);
    effect->GetFloat(effect->GetParameterByName(nullptr, "bloom_offset_y"), &y);
    effect->GetFloat(effect->GetParameterByName(nullptr, "bloom_cutoff_level"), &cut);
    EXPECT_FLOAT_EQ(x, 1.0f / 32);
    EXPECT_FLOAT_EQ(y, 1.0f / 16);
    EXPECT_FLOAT_EQ(cut, 0.2f);
}

TEST_F(BloomTest, StageImagesAreWrittenOncePerLoadIntoTheWorkingFolder)
{
    WriteSettings("<bloom><stage xres=\"32\" yres=\"16\"/><stage xres=\"8\" yres=\"4\"/></bloom>");
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    IDirect3DTexture9* scene = Scene(0xFF000000, true);

    m_Bloom.RenderStages(scene);
    EXPECT_EQ(BmpSize("Stage00.bmp"), std::make_pair(32, 16));
    EXPECT_EQ(BmpSize("Stage01.bmp"), std::make_pair(8, 4));
    EXPECT_FALSE(std::filesystem::exists("Stage02.bmp"));
    EXPECT_FALSE(std::filesystem::exists("data/fx/Stage00.bmp"));

    // The image is the stage as drawn: the spot is in it.
    IDirect3DTexture9* saved = nullptr;
    ASSERT_TRUE(SUCCEEDED(D3DXCreateTextureFromFileA(D3DDevice, "Stage00.bmp", &saved)));
    m_Textures.push_back(saved);
    D3DLOCKED_RECT locked;
    ASSERT_TRUE(SUCCEEDED(saved->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)));
    int brightest = 0;
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 32; ++col)
            brightest = std::max(brightest, Brightness(static_cast<const D3DCOLOR*>(
                                                locked.pBits)[row * locked.Pitch / 4 + col]));
    saved->UnlockRect(0);
    EXPECT_GT(brightest, 3 * 0xE0);

    std::filesystem::remove("Stage00.bmp");
    std::filesystem::remove("Stage01.bmp");
    m_Bloom.RenderStages(scene);
    EXPECT_FALSE(std::filesystem::exists("Stage00.bmp"));
    EXPECT_FALSE(std::filesystem::exists("Stage01.bmp"));

    // A reload (the ':' key) writes them again, once.
    ASSERT_TRUE(m_Bloom.LoadXML("data/fx/bloom.xml"));
    m_Bloom.RenderStages(scene);
    EXPECT_TRUE(std::filesystem::exists("Stage00.bmp"));
    EXPECT_TRUE(std::filesystem::exists("Stage01.bmp"));
}

TEST_F(BloomTest, TheShippedSettingsGiveAVisibleHalo)
{
    ASSERT_TRUE(m_Bloom.LoadXML(fxtest::kWorkdir + "/data/fx/bloom.xml")) << m_Bloom.GetErrorText();
    ASSERT_GE(m_Bloom.stages.size(), 2u);
    for (const TBloomEffect::TStage& stage : m_Bloom.stages)
        EXPECT_NE(stage.target.texture, nullptr);
    // A lamp an eighth of the screen wide gets a halo a good part of its own
    // size around it.
    Frame(Scene(0xFF000000, true), drawtest::kBlack);
    EXPECT_GT(Brightness(Pixel(32, 32)), 3 * 0xE0);
    for (int pixel : {26, 38})
        EXPECT_GT(Brightness(Pixel(pixel, 32)), 3 * 0x10) << "halo at x " << pixel;
    EXPECT_EQ(Pixel(2, 2), drawtest::kBlack);
}

} // namespace
