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
    // square (or none) near its top left corner and another near its bottom
    // right one, the boxes on or off.
    std::vector<std::vector<uint32_t>> Stages(bool boxes, bool square, unsigned* draws = nullptr)
    {
        std::vector<D3DCOLOR> texels(kSize * kSize, 0xFF000000);
        if (square)
            for (int y = 4; y < 9; ++y) {
                std::fill_n(&texels[y * kSize + 5], 4, 0xFFF0F0F0);
                std::fill_n(&texels[(y + 50) * kSize + 55], 4, 0xFFF0F0F0);
            }
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

TEST_F(BloomBoxesDraw, TheBlocksOfATargetHoldingLitTexelsAreBoxedAndBlackOnesAreNot)
{
    // Blocks of eight: (0, 0), (2, 2) and (3, 2) hold a lit texel.
    std::vector<D3DCOLOR> texels(32 * 24, 0xFF000000);
    texels[4 * 32 + 3] = 0xFF000100;
    texels[17 * 32 + 20] = 0xFF010000;
    texels[23 * 32 + 31] = 0xFF000001;
    texels[12 * 32 + 12] = 0x40000000; // alpha alone is black
    const std::vector<TexelBox> boxes = LitTexelBlocks(Texture(32, 24, texels));
    std::vector<std::vector<int>> got;
    for (const TexelBox& box : boxes)
        got.push_back({box.x0, box.y0, box.x1, box.y1});
    EXPECT_EQ(got, (std::vector<std::vector<int>>{{0, 0, 8, 8}, {16, 16, 32, 24}}));
    EXPECT_TRUE(LitTexelBlocks(Texture(4, 4, std::vector<D3DCOLOR>(16, 0x80000000))).empty());
    EXPECT_TRUE(LitTexelBlocks(nullptr).empty()) << "no texture reads black";

    // Runs of one row carried down while the rows below have the same one;
    // each box reached, in blocks, and nothing else.
    const std::vector<TexelBox> reached = BlurReaches({TexelBox{40, 40, 41, 41}, TexelBox{200, 10, 201, 80}}, 256,
                                                      256, 128, 128);
    ASSERT_EQ(reached.size(), 2u);
    // The tall one starts a row higher.
    const TexelBox &tall = reached[0], &small = reached[1];
    const TexelBox first = BlurReach(TexelBox{40, 40, 41, 41}, 256, 256, 128, 128);
    EXPECT_EQ(small.x0, first.x0 / kLitBlock * kLitBlock);
    EXPECT_EQ(small.y1, (first.y1 + kLitBlock - 1) / kLitBlock * kLitBlock);
    EXPECT_GT(tall.y1 - tall.y0, 5 * kLitBlock) << "one box down the rows";
    EXPECT_LT(small.x1, tall.x0);

    // A reach ending one texel into a block takes that block; one column
    // lit high and low stays two boxes, not one over the dark rows between.
    const TexelBox reach = BlurReach(TexelBox{99, 10, 100, 11}, 256, 256, 256, 256);
    ASSERT_EQ(reach.x1 % kLitBlock, 1);
    const std::vector<TexelBox> column =
        BlurReaches({TexelBox{99, 10, 100, 11}, TexelBox{99, 200, 100, 201}}, 256, 256, 256, 256);
    ASSERT_EQ(column.size(), 2u);
    EXPECT_EQ(column[0].x1, reach.x1 - 1 + kLitBlock);
    EXPECT_EQ(column[1].x1, column[0].x1);
    EXPECT_LT(column[0].y1, column[1].y0);
}

TEST_F(BloomBoxesDraw, EveryStageKeepsItsTexelsWhenTheBlursDrawOnlyWhereTheLightReaches)
{
    ASSERT_TRUE(m_Bloom.LoadXML(m_Scratch.Write("data/fx/bloom.xml",
                                                "<bloom cutoff=\"100\"><stage xres=\"128\" yres=\"128\"/>"
                                                "<stage xres=\"64\" yres=\"64\"/><stage xres=\"32\" yres=\"32\"/>"
                                                "<stage xres=\"16\" yres=\"16\"/></bloom>")));
    unsigned whole = 0, boxed = 0;
    const std::vector<std::vector<uint32_t>> everywhere = Stages(false, true, &whole);
    const std::vector<std::vector<uint32_t>> within = Stages(true, true, &boxed);
    ASSERT_EQ(m_Bloom.litParts.size(), 4u);
    ASSERT_EQ(m_Bloom.litParts[1].size(), 2u) << "the second stage is blurred round each square only";
    EXPECT_LT(m_Bloom.litParts[1][0].x1, m_Bloom.litParts[1][1].x0);
    ASSERT_EQ(within.size(), everywhere.size());
    for (size_t i = 0; i < within.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(within[i].empty());
        EXPECT_EQ(within[i], everywhere[i]);
        EXPECT_TRUE(std::any_of(within[i].begin(), within[i].end(), [](uint32_t t) { return (t & 0xFFFFFF) != 0; }))
            << "the square glows in every stage";
    }
    EXPECT_GT(boxed, whole) << "a blur for each part";

    // A scene without anything bright: the cut-off is all that is drawn, and
    // every stage and the sum are as black as the blurs made them.
    // (Drawn after a glowing frame: nothing of it may stay.)
    const std::vector<std::vector<uint32_t>> darkEverywhere = Stages(false, false, &whole);
    Stages(true, true);
    const std::vector<std::vector<uint32_t>> darkWithin = Stages(true, false, &boxed);
    EXPECT_EQ(darkWithin, darkEverywhere);
    EXPECT_EQ(boxed, 1u);
    EXPECT_GT(whole, 3u);
    EXPECT_EQ(darkWithin.back(), std::vector<uint32_t>(128 * 128, 0xFF000000u));
}

} // namespace
