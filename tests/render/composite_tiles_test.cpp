// The composite's overlays read only over the tiles of the frame they show
// in: the frame stays the one of reading them everywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/d3dx9effect.h"
#include "platform/gl_device.h"
#include "render/Composite.h"
#include "render/FrameShortcuts.h"
#include "render/ScreenTiles.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;

class CompositeTiles : public fxtest::EffectDrawTest {
protected:
    void TearDown() override
    {
        SetShortcutOn(Shortcut::OverlayTiles, true);
        fxtest::EffectDrawTest::TearDown();
    }

    // A black scene; a bloom stage lit only in its top left texel; particles
    // half-transparent red all over their target.
    void SetUpOverlays()
    {
        m_Scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF000000));
        std::vector<D3DCOLOR> stage(16, 0xFF000000);
        stage[0] = 0xFF808080;
        m_In.overlays.merge = true;
        m_In.overlays.bloom = {Texture(4, 4, stage)};
        m_In.overlays.particles = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0x80FF0000));
        getEffectManager().GetCompositeState().hits = D3DXVECTOR4(0, 0, 0, 0);
    }

    // The frame, with the overlays read by tile or everywhere, and the draws it took.
    std::vector<D3DCOLOR> Frame(bool byTile, unsigned* draws = nullptr)
    {
        SetShortcutOn(Shortcut::OverlayTiles, byTile);
        ClearTo(drawtest::kBlack);
        platform::ResetDrawStats(D3DDevice);
        EXPECT_TRUE(RenderCompositeWith(getEffectManager(), m_Scene, nullptr, nullptr, m_In));
        if (draws)
            *draws = platform::GetDrawStats(D3DDevice).drawCalls;
        return BackBuffer();
    }

    IDirect3DTexture9* m_Scene = nullptr;
    CompositeInputs m_In;
};

TEST_F(CompositeTiles, TheBloomIsReadOnlyWhereAStageIsLitAndTheFrameStaysTheSame)
{
    SetUpOverlays();
    const std::vector<int> shown = OverlaysByTile(m_In.overlays, kSize, kSize);
    EXPECT_EQ(shown, (std::vector<int>{3, 2, 2, 2})) << "the lit texel is read only by the top left tile";
    unsigned whole = 0, tiled = 0;
    const std::vector<D3DCOLOR> everywhere = Frame(false, &whole);
    const std::vector<D3DCOLOR> byTile = Frame(true, &tiled);
    EXPECT_EQ(tiled, whole + 1) << "the tiles with the bloom and those without go in draws of their own";
    ASSERT_EQ(byTile.size(), everywhere.size());
    int worst = 0;
    for (size_t i = 0; i < byTile.size(); ++i)
        worst = std::max(worst, drawtest::ChannelDifference(byTile[i], everywhere[i]));
    EXPECT_LE(worst, 1);
    EXPECT_GT(drawtest::ChannelDifference(byTile[2 * kSize + 2], byTile[40 * kSize + 40]), 8) << "the glow shows";

    // A viewport over a part of the frame: the tiles, laid out over the
    // whole of it, are not used.
    const D3DVIEWPORT9 half = {0, 0, kSize / 2, kSize, 0.0f, 1.0f};
    D3DDevice->SetViewport(&half);
    unsigned within = 0;
    Frame(true, &within);
    EXPECT_EQ(within, whole);
}

TEST_F(CompositeTiles, TheParticlesAreLaidOnlyOverTheTilesTheirDrawsReached)
{
    SetUpOverlays();
    ScreenTiles reached;
    reached.Reset(kSize, kSize, false);
    reached.MarkPixels(40.0f, 40.0f, 41.0f, 41.0f);
    m_In.overlays.particleTiles = &reached;
    EXPECT_EQ(OverlaysByTile(m_In.overlays, kSize, kSize), (std::vector<int>{1, 0, 0, 2}));
    const std::vector<D3DCOLOR> byTile = Frame(true);
    ASSERT_EQ(byTile.size(), static_cast<size_t>(kSize * kSize));
    EXPECT_GT(Red(byTile[48 * kSize + 48]), 100) << "laid over the tile they reached";
    EXPECT_LT(Red(byTile[48 * kSize + 16]), 8) << "not read over another";
    EXPECT_EQ(byTile[16 * kSize + 48] & 0xFFFFFF, 0u);
    // Tiles of another frame's size say nothing of this one: laid everywhere.
    reached.Reset(kSize * 2, kSize, false);
    EXPECT_EQ(OverlaysByTile(m_In.overlays, kSize, kSize), (std::vector<int>{3, 2, 2, 2}));
    EXPECT_GT(Red(Frame(true)[48 * kSize + 16]), 100);
}

// A hit from one side: the blood's mark of that side is laid only over the
// tiles it covers, and the frame is the one of laying it everywhere.
TEST_F(CompositeTiles, TheBloodOfAHitIsLaidOnlyOverTheTilesItsMarkCovers)
{
    // The marks are the game's own images, found from its working folder.
    std::filesystem::current_path(fxtest::kWorkdir);
    SetUpOverlays();
    m_In.overlays.particles = nullptr;
    m_In.overlays.bloom.clear();
    m_Scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF808080));
    const std::vector<D3DCOLOR> unhurt = Frame(true);
    m_In.wasHit = true;
    m_In.hitAngleDegrees = 90.0f;
    unsigned whole = 0, tiled = 0;
    const std::vector<D3DCOLOR> everywhere = Frame(false, &whole);
    const std::vector<D3DCOLOR> byTile = Frame(true, &tiled);
    EXPECT_GT(tiled, whole) << "the tiles without blood go in a draw of their own";
    ASSERT_EQ(byTile.size(), everywhere.size());
    int worst = 0, bled = 0;
    for (size_t i = 0; i < byTile.size(); ++i) {
        worst = std::max(worst, drawtest::ChannelDifference(byTile[i], everywhere[i]));
        bled += drawtest::ChannelDifference(byTile[i], unhurt[i]) > 8 ? 1 : 0;
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(bled, kSize * 4) << "the mark shows";
}

// The blood's layers are read two slots at a time: a fight builds no variant
// at the frame it first shows four layers after three, or six after five,
// and each frame is still the one the damage pass would lay.
TEST_F(CompositeTiles, TheBloodsLayersDrawInPairsAndAsTheDamagePassLaysThem)
{
    std::filesystem::current_path(fxtest::kWorkdir);
    m_Scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF606060));
    CompositeState& state = getEffectManager().GetCompositeState();
    state.hits = D3DXVECTOR4(0, 0, 0, 0);
    ID3DXEffect* effect = getEffectManager().GetEffect();
    // No overlay laid: one quad over the whole frame.
    auto draw = [&] {
        ClearTo(drawtest::kBlack);
        RenderCompositeWith(getEffectManager(), m_Scene, nullptr, nullptr, m_In);
        return BackBuffer();
    };
    // Hurt, and hit from each side in turn: from three layers to six as the marks add up.
    m_In.lifeFraction = 0.55f;
    const float sides[] = {0.0f, 180.0f, 90.0f, -90.0f};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i + 3);
        m_In.wasHit = true;
        m_In.hitAngleDegrees = sides[i];
        const CompositeState before = state;
        const size_t built = platform::EffectProgramCount(effect);
        const std::vector<D3DCOLOR> laid = draw();
        if (i % 2 == 1)
            EXPECT_EQ(platform::EffectProgramCount(effect), built) << "a variant of its own";
        // The same blood from the damage pass over the composite.
        state = before;
        SetShortcutOn(Shortcut::DamageInComposite, false);
        const std::vector<D3DCOLOR> ownPass = draw();
        SetShortcutOn(Shortcut::DamageInComposite, true);
        int worst = 0, bled = 0;
        for (size_t p = 0; p < laid.size() && p < ownPass.size(); ++p) {
            worst = std::max(worst, drawtest::ChannelDifference(laid[p], ownPass[p]));
            bled += drawtest::ChannelDifference(laid[p], 0xFF606060) > 8 ? 1 : 0;
        }
        EXPECT_LE(worst, 2);
        EXPECT_GT(bled, kSize * 4) << "the blood shows";
    }
}

} // namespace
