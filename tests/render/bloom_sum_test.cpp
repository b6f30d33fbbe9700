// The bloom stages after the first summed once into one target, for the
// composite to add the whole glow with two reads instead of one per stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "gui/GUIManager.h"
#include "render/Bloom.h"
#include "render/Composite.h"
#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;

class BloomSum : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        fxtest::EffectDrawTest::SetUp();
        getGUI().depthOfFieldOn = false;
    }
    void TearDown() override
    {
        SetShortcutOn(Shortcut::SummedBloom, true);
        m_Bloom.Release();
        fxtest::EffectDrawTest::TearDown();
    }

    bool LoadChain(const std::string& stages)
    {
        return m_Bloom.LoadXML(m_Scratch.Write("data/fx/bloom.xml", "<bloom cutoff=\"0\">" + stages + "</bloom>"));
    }

    // The chain over a black scene with a grey square in the middle: no
    // stage is bright enough to saturate.
    void RunStages(bool sumForComposite)
    {
        std::vector<D3DCOLOR> texels(kSize * kSize, 0xFF000000);
        for (int y = 26; y < 38; ++y)
            std::fill_n(&texels[y * kSize + 26], 12, 0xFFA0A0A0);
        m_Bloom.RenderStages(Texture(kSize, kSize, texels), true, sumForComposite);
    }

    // The composite over a black scene adding the given bloom textures.
    std::vector<D3DCOLOR> Composite(const std::vector<IDirect3DTexture9*>& bloom, bool summed)
    {
        CompositeInputs in;
        in.overlays.merge = true;
        in.overlays.bloom = bloom;
        in.overlays.bloomSummed = summed;
        getEffectManager().GetCompositeState().hits = D3DXVECTOR4(0, 0, 0, 0);
        IDirect3DTexture9* scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF000000));
        EXPECT_TRUE(RenderCompositeWith(getEffectManager(), scene, nullptr, nullptr, in));
        return BackBuffer();
    }

    static int Largest(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
    {
        int worst = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            worst = std::max(worst, drawtest::ChannelDifference(a[i], b[i]));
        return worst;
    }
    static int Red(const std::vector<D3DCOLOR>& frame, int x, int y) { return (frame[y * kSize + x] >> 16) & 0xFF; }

    TBloomEffect m_Bloom;
};

TEST_F(BloomSum, TheLaterStagesSummedOnceAddTheGlowEachOfThemAdded)
{
    ASSERT_TRUE(LoadChain("<stage xres=\"32\" yres=\"32\"/><stage xres=\"16\" yres=\"16\"/>"
                          "<stage xres=\"8\" yres=\"8\"/><stage xres=\"4\" yres=\"4\"/>"));
    RunStages(true);
    std::vector<IDirect3DTexture9*> summed;
    ASSERT_TRUE(m_Bloom.SummedForComposite(summed));
    ASSERT_EQ(summed.size(), 2u);
    EXPECT_EQ(summed[0], m_Bloom.stages[0].target.texture) << "the first stage is read as it is";
    std::vector<IDirect3DTexture9*> stages;
    ASSERT_TRUE(m_Bloom.StagesForComposite(stages));
    ASSERT_EQ(stages.size(), 4u);

    const std::vector<D3DCOLOR> eachStage = Composite(stages, false);
    const std::vector<D3DCOLOR> once = Composite(summed, true);
    // Filtered twice, the sharper stages spread a little: a few steps at most.
    EXPECT_LE(Largest(eachStage, once), 12);
    // The square glows, and the halo that only the blurred stages reach
    // (well outside the first stage's square) is in the sum too.
    EXPECT_GT(Red(once, 32, 32), 60);
    EXPECT_LT(Red(once, 32, 32), 250);
    EXPECT_GT(Red(once, 32, 18), 8);
    EXPECT_GT(Red(once, 32, 18), Red(once, 32, 2));
    EXPECT_NEAR(Red(once, 32, 18), Red(eachStage, 32, 18), 3);

    // Without the composite to read it, or without the shortcut, nothing is summed.
    RunStages(false);
    EXPECT_FALSE(m_Bloom.SummedForComposite(summed));
    EXPECT_TRUE(summed.empty());
    SetShortcutOn(Shortcut::SummedBloom, false);
    RunStages(true);
    EXPECT_FALSE(m_Bloom.SummedForComposite(summed));
}

TEST_F(BloomSum, ASumStandingForOneStageOnlyIsNotDrawn)
{
    ASSERT_TRUE(LoadChain("<stage xres=\"32\" yres=\"32\"/><stage xres=\"16\" yres=\"16\"/>"));
    RunStages(true);
    std::vector<IDirect3DTexture9*> textures;
    EXPECT_FALSE(m_Bloom.SummedForComposite(textures));
    // A chain the composite cannot take in one pass is not summed for it either.
    ASSERT_TRUE(LoadChain("<stage xres=\"32\" yres=\"32\"/><stage xres=\"16\" yres=\"16\"/>"
                          "<stage xres=\"8\" yres=\"8\"/><stage xres=\"4\" yres=\"4\"/><stage xres=\"2\" yres=\"2\"/>"));
    RunStages(true);
    EXPECT_FALSE(m_Bloom.SummedForComposite(textures));
}

} // namespace
