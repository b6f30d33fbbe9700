// The bloom's blurs drawn only over the part of each stage that the lit
// texels of the stage before can reach: every stage keeps its texels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "gui/GUIManager.h"
#include "platform/gl_device.h"
#include "render/Bloom.h"
#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;

TEST(BloomBoxes, ABlurReachesEveryTexelWhoseTapsCanReadALitOne)
{
    // Lit source texels 20..23 and 5..5 of a 64 x 64 stage, blurred into 32 x 16.
    const TexelBox lit{20, 5, 24, 6};
    const TexelBox reach = BlurReach(lit, 64, 64, 32, 16);
    // A pixel's taps reach seven source texels and the next one from its own
    // place, that place shifted by the pass's half texel of a 512 quad.
    for (int j = 0; j < 32; ++j) {
        const double place = (j + 0.5) * 64.0 / 32.0 - 0.5 * 64.0 / 512.0 - 0.5;
        const bool reads = place + 8.0 >= lit.x0 && place - 8.0 <= lit.x1 - 1;
        if (reads)
            EXPECT_TRUE(j >= reach.x0 && j < reach.x1) << j;
    }
    EXPECT_GT(reach.x0, 0);
    EXPECT_LT(reach.x1, 32) << "far texels are left out";
    EXPECT_EQ(reach.y0, 0);
    EXPECT_LE(reach.y1, 16);
    EXPECT_TRUE(BlurReach(TexelBox{}, 64, 64, 32, 32).Empty()) << "nothing lit, nothing to blur";
    EXPECT_TRUE(BlurReach(lit, 0, 64, 32, 32).Empty());
}

class BloomBoxesDraw : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        fxtest::EffectDrawTest::SetUp();
        getGUI().depthOfFieldOn = false;
    }
    void TearDown() override
    {
        SetShortcutOn(Shortcut::BloomLitBoxes, true);
        m_Bloom.Release();
        fxtest::EffectDrawTest::TearDown();
    }

    // The texels of a texture, row by row.
    static std::vector<uint32_t> Texels(IDirect3DTexture9* texture)
    {
        D3DSURFACE_DESC desc{};
        D3DLOCKED_RECT locked{};
        std::vector<uint32_t> texels;
        if (!texture || FAILED(texture->GetLevelDesc(0, &desc)) ||
            FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
            return texels;
        texels.resize(static_cast<size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&texels[static_cast<size_t>(y) * desc.Width],
                        static_cast<const unsigned char*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                        desc.Width * 4);
        texture->UnlockRect(0);
        return texels;
    }

    // Every stage's texels after the chain over a black scene with a bright
    // square (or none) near its top left corner, the boxes on or off.
    std::vector<std::vector<uint32_t>> Stages(bool boxes, bool square, unsigned* draws = nullptr)
    {
        std::vector<D3DCOLOR> texels(kSize * kSize, 0xFF000000);
        if (square)
            for (int y = 4; y < 9; ++y)
                std::fill_n(&texels[y * kSize + 5], 4, 0xFFF0F0F0);
        IDirect3DTexture9* scene = Texture(kSize, kSize, texels);
        SetShortcutOn(Shortcut::BloomLitBoxes, boxes);
        platform::ResetDrawStats(D3DDevice);
        m_Bloom.RenderStages(scene, true, true);
        if (draws)
            *draws = platform::GetDrawStats(D3DDevice).drawCalls;
        std::vector<std::vector<uint32_t>> out;
        for (const TBloomEffect::TStage& stage : m_Bloom.stages)
            out.push_back(Texels(stage.target.texture));
        out.push_back(Texels(m_Bloom.sum.texture));
        return out;
    }

    TBloomEffect m_Bloom;
};

TEST_F(BloomBoxesDraw, TheLitTexelsOfATargetAreBoxedAndBlackOnesAreNot)
{
    std::vector<D3DCOLOR> texels(16 * 8, 0xFF000000);
    texels[4 * 16 + 3] = 0xFF000100;
    texels[2 * 16 + 10] = 0xFF010000;
    texels[7 * 16 + 15] = 0x40000000; // alpha alone is black
    const TexelBox box = LitTexelBox(Texture(16, 8, texels));
    EXPECT_EQ(std::vector<int>({box.x0, box.y0, box.x1, box.y1}), std::vector<int>({3, 2, 11, 5}));
    EXPECT_TRUE(LitTexelBox(Texture(4, 4, std::vector<D3DCOLOR>(16, 0x80000000))).Empty());
    EXPECT_TRUE(LitTexelBox(nullptr).Empty()) << "no texture reads black";
}

TEST_F(BloomBoxesDraw, EveryStageKeepsItsTexelsWhenTheBlursDrawOnlyWhereTheLightReaches)
{
    ASSERT_TRUE(m_Bloom.LoadXML(m_Scratch.Write("data/fx/bloom.xml",
                                                "<bloom cutoff=\"100\"><stage xres=\"64\" yres=\"64\"/>"
                                                "<stage xres=\"32\" yres=\"32\"/><stage xres=\"16\" yres=\"16\"/>"
                                                "<stage xres=\"8\" yres=\"8\"/></bloom>")));
    unsigned whole = 0, boxed = 0;
    const std::vector<std::vector<uint32_t>> everywhere = Stages(false, true, &whole);
    const std::vector<std::vector<uint32_t>> within = Stages(true, true, &boxed);
    ASSERT_EQ(m_Bloom.litBoxes.size(), 4u);
    EXPECT_LT(m_Bloom.litBoxes[1].x1, 32) << "the second stage is blurred over a part of it only";
    EXPECT_LT(m_Bloom.litBoxes[1].y1, 32);
    ASSERT_EQ(within.size(), everywhere.size());
    for (size_t i = 0; i < within.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(within[i].empty());
        EXPECT_EQ(within[i], everywhere[i]);
        EXPECT_TRUE(std::any_of(within[i].begin(), within[i].end(), [](uint32_t t) { return (t & 0xFFFFFF) != 0; }))
            << "the square glows in every stage";
    }
    EXPECT_EQ(boxed, whole);

    // A scene without anything bright: the cut-off is all that is drawn, and
    // every stage and the sum are as black as the blurs made them.
    // (Drawn after a glowing frame: nothing of it may stay.)
    const std::vector<std::vector<uint32_t>> darkEverywhere = Stages(false, false, &whole);
    Stages(true, true);
    const std::vector<std::vector<uint32_t>> darkWithin = Stages(true, false, &boxed);
    EXPECT_EQ(darkWithin, darkEverywhere);
    EXPECT_EQ(boxed, 1u);
    EXPECT_GT(whole, 3u);
    EXPECT_EQ(darkWithin.back(), std::vector<uint32_t>(64 * 64, 0xFF000000u));
}

} // namespace
