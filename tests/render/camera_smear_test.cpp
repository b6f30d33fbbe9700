// The velocity pass with the frame's shortcuts: only what moved in the world is
// drawn again, the composite smears everything else by the camera, and lays
// the bloom and particle overlays in its own pass when nothing comes between.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gui/GUIManager.h"
#include "platform/gl_device.h"
#include "render/Bloom.h"
#include "render/Composite.h"
#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::FlatEntity;

class SmearDraw : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        fxtest::EffectDrawTest::SetUp();
        getGUI().depthOfFieldOn = false;
    }
    void TearDown() override
    {
        getGUI().depthOfFieldOn = false;
        SetFrameShortcuts(true);
        for (Shortcut which : {Shortcut::CameraSmear, Shortcut::OverlaysInComposite, Shortcut::LaidSmear})
            SetShortcutOn(which, true);
        fxtest::EffectDrawTest::TearDown();
    }

    // Two lit squares apart, the right one carried sideways since the last
    // frame; drawn by the scene pass and the velocity pass as the level's
    // frame draws them (over the scene's depth texture when `sceneDepth`).
    // Returns the draws of the velocity pass.
    // With `inFront`, a square among the characters stands before the still
    // one, half over it and half over the empty background.
    unsigned DrawPasses(bool sceneDepth, bool carried = true, bool inFront = false)
    {
        // Unlit, it stands out dark against the lit square behind it.
        FlatEntity front("front", 8.0f, FlatEntity::FacingZ, "basicTech");
        front.SetRadius(12.0f);
        front.MoveTo(-17, 5, 90);
        front.StorePreviousWorld();
        FlatEntity still("still", 8.0f, FlatEntity::FacingZ, "PhongLightingTech");
        FlatEntity moved("moved", 8.0f, FlatEntity::FacingZ, "PhongLightingTech");
        // Their own bounds: standing apart from the eye, no depth is laid for them first.
        still.SetRadius(12.0f);
        moved.SetRadius(12.0f);
        still.MoveTo(-20, 0, 0);
        still.StorePreviousWorld();
        moved.MoveTo(carried ? m_MovedX - 6 : m_MovedX, 0, 0);
        moved.StorePreviousWorld();
        moved.MoveTo(m_MovedX, 0, 0);
        CSceneMngr& scene = getSceneManager();
        scene.Setup();
        scene.AddObject("still", &still);
        scene.AddObject("moved", &moved);
        IDirect3DSurface9* own = nullptr;
        D3DDevice->GetDepthStencilSurface(&own);
        if (sceneDepth)
            D3DDevice->SetDepthStencilSurface(SceneDepth.surface);
        scene.SaveDepthStencil();
        scene.AddVisible("still");
        scene.AddVisible("moved");
        if (inFront) {
            scene.SetCharacterList({&front});
            scene.SetVisible("Character", true);
        }
        scene.RenderScenePass(SceneTarget, true);
        scene.AddVisible("still");
        scene.AddVisible("moved");
        platform::ResetDrawStats(D3DDevice);
        scene.RenderMotionBlurPass(VelocityTarget, true);
        const unsigned draws = platform::GetDrawStats(D3DDevice).drawCalls;
        scene.ReleaseDepthStencil();
        D3DDevice->SetDepthStencilSurface(own);
        if (own)
            own->Release();
        // Every entity the pass saw now starts its next smear from here.
        EXPECT_EQ(std::memcmp(&moved.GetPreviousWorld(), &moved.GetTransform().GetMatrix(), sizeof(D3DXMATRIX)), 0);
        scene.Setup();
        return draws;
    }

    // The frame the composite makes of the passes above, the camera turned
    // (or not) between the last frame and this one, or carried sideways and
    // up (`travelled`, its eye and the point it looks at alike).
    std::vector<D3DCOLOR> Frame(bool shortcuts, bool turned, bool carried = true, bool travelled = false,
                                bool inFront = false)
    {
        SetFrameShortcuts(shortcuts);
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        getEffectManager().StorePreviousCamera();
        const D3DXVECTOR3 travel = travelled ? D3DXVECTOR3(7, 3, 0) : D3DXVECTOR3(0, 0, 0);
        PlaceCamera(D3DXVECTOR3(0, 0, 200) + travel, (turned ? D3DXVECTOR3(9, 2, 0) : D3DXVECTOR3(0, 0, 0)) + travel);
        DrawPasses(true, carried, inFront);
        ClearTo(drawtest::kBlack);
        getSceneManager().RenderFinalComposite(VelocityTarget.texture);
        return BackBuffer();
    }

    // Where the moved square stands now (it came from 6 to the left).
    float m_MovedX = 20.0f;

    // Pixels whose channels differ by more than 2.
    static size_t Differing(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
    {
        size_t count = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            for (int shift : {0, 8, 16})
                if (std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF)) >
                    2) {
                    ++count;
                    break;
                }
        return count;
    }
};

TEST_F(SmearDraw, TheVelocityPassDrawsOnlyWhatMovedWhenTheScenesDepthIsAtHand)
{
    getEffectManager().StorePreviousCamera();
    SetFrameShortcuts(false);
    EXPECT_EQ(DrawPasses(true), 2u) << "the plain way draws both";
    EXPECT_FALSE(getSceneManager().VelocityHoldsMovingOnly());
    SetFrameShortcuts(true);
    EXPECT_EQ(DrawPasses(true), 1u) << "the still square is left to the composite";
    EXPECT_TRUE(getSceneManager().VelocityHoldsMovingOnly());
    EXPECT_EQ(DrawPasses(true, false), 0u) << "nothing moved, the camera included";
    // Over a depth buffer the composite cannot read, every object is drawn.
    EXPECT_EQ(DrawPasses(false), 2u);
    EXPECT_FALSE(getSceneManager().VelocityHoldsMovingOnly());
    SetShortcutOn(Shortcut::CameraSmear, false);
    EXPECT_EQ(DrawPasses(true), 2u);
    SetShortcutOn(Shortcut::CameraSmear, true);
    // Turned on the spot, the camera still leaves the still square out; moved
    // along, it does not (what lies behind an object left out of the pass
    // would smear it otherwise).
    getEffectManager().StorePreviousCamera();
    PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(15, 5, 0));
    EXPECT_EQ(DrawPasses(true), 1u);
    getEffectManager().StorePreviousCamera();
    PlaceCamera(D3DXVECTOR3(3, 0, 200), D3DXVECTOR3(15, 5, 0));
    SetShortcutOn(Shortcut::LaidSmear, false);
    EXPECT_EQ(DrawPasses(true), 2u);
    EXPECT_FALSE(getSceneManager().VelocityHoldsMovingOnly());
    // Laid first, the smear takes one full-screen draw; both squares are
    // drawn again where they lie behind what the pass leaves out (nothing).
    SetShortcutOn(Shortcut::LaidSmear, true);
    EXPECT_EQ(DrawPasses(true), 4u);
    EXPECT_TRUE(getSceneManager().VelocityHoldsLaidSmear());
    // Under depth of field the composite smears only for a camera that did
    // not move at all; one that turned has the smear laid.
    getGUI().depthOfFieldOn = true;
    getEffectManager().StorePreviousCamera();
    EXPECT_EQ(DrawPasses(true), 1u);
    EXPECT_FALSE(getSceneManager().VelocityHoldsLaidSmear());
    PlaceCamera(D3DXVECTOR3(6, 0, 200), D3DXVECTOR3(20, 0, 0));
    EXPECT_EQ(DrawPasses(true), 4u) << "travelled";
    getEffectManager().StorePreviousCamera();
    PlaceCamera(D3DXVECTOR3(6, 0, 200), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(DrawPasses(true), 2u) << "turned: the laid smear and the moved square";
    EXPECT_TRUE(getSceneManager().VelocityHoldsLaidSmear());
    SetShortcutOn(Shortcut::LaidSmear, false);
    EXPECT_EQ(DrawPasses(true), 2u);
    EXPECT_FALSE(getSceneManager().VelocityHoldsMovingOnly());
}

TEST_F(SmearDraw, TheCompositeSmearsAsThePlainVelocityPassDoes)
{
    const std::vector<D3DCOLOR> stillPlain = Frame(false, false, false);
    EXPECT_LE(Differing(stillPlain, Frame(true, false, false)), 2u) << "nothing moved";
    EXPECT_GT(Differing(stillPlain, std::vector<D3DCOLOR>(stillPlain.size(), drawtest::kBlack)), 20u) << "the squares show";
    for (const bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "camera turned" : "camera still");
        const std::vector<D3DCOLOR> plain = Frame(false, turned);
        const std::vector<D3DCOLOR> cheap = Frame(true, turned);
        ASSERT_EQ(plain.size(), static_cast<size_t>(kSize) * kSize);
        EXPECT_LE(Differing(plain, cheap), 2u);
        if (turned) // the turn smears the still square too: the frame is not the still one
            EXPECT_GT(Differing(plain, Frame(false, false)), 20u);
    }
}

// Out towards the frame's border the depth of field blurs the moved square's
// smear as it blurs the scene: the cheap way reads it from the moving objects'
// target, the plain way from the full velocity pass.
TEST_F(SmearDraw, TheDepthOfFieldBlursTheMovedSquaresSmearAsThePlainVelocityPassDoes)
{
    m_MovedX = 62.0f;
    const std::vector<D3DCOLOR> sharp = Frame(false, false);
    getGUI().depthOfFieldOn = true;
    const std::vector<D3DCOLOR> plain = Frame(false, false);
    EXPECT_GT(Differing(plain, sharp), 12u) << "the blur shows at the square's edges";
    const std::vector<D3DCOLOR> cheap = Frame(true, false);
    EXPECT_TRUE(getSceneManager().VelocityHoldsMovingOnly()) << "only the moved square was drawn again";
    EXPECT_LE(Differing(plain, cheap), 2u);
}

// A camera that travelled, or turned under depth of field: the still world's
// smear laid over the target, and where a model the pass leaves out stands,
// the objects behind it, as the whole pass draws them (black where none is).
TEST_F(SmearDraw, TheLaidSmearGivesTheWholePassFrameForATravellingOrTurningCamera)
{
    for (const bool depthOfField : {false, true}) {
        getGUI().depthOfFieldOn = depthOfField;
        for (const bool turned : {false, true}) {
            for (const bool travelled : {false, true}) {
                if (!travelled && (!turned || !depthOfField))
                    continue;
                SCOPED_TRACE(std::string(depthOfField ? "depth of field, " : "") + (turned ? "turned " : "") +
                             (travelled ? "travelled" : ""));
                // (Turned on the spot, the square in front would smear by its
                // own depth where nothing lies behind it; the levels have
                // their sky behind everything.)
                const std::vector<D3DCOLOR> plain = Frame(false, turned, true, travelled, travelled);
                const std::vector<D3DCOLOR> cheap = Frame(true, turned, true, travelled, travelled);
                EXPECT_TRUE(getSceneManager().VelocityHoldsLaidSmear());
                EXPECT_LE(Differing(plain, cheap), 2u);
                EXPECT_GT(Differing(plain, Frame(false, false, true, false, true)), 20u) << "the camera's move shows";
            }
        }
    }
    // Where the square in front stands over the empty background, the whole
    // pass leaves black: nothing lies behind it. (Drawn in the scene, it
    // shows in a frame where nothing moved.)
    getGUI().depthOfFieldOn = false;
    EXPECT_GT(Differing(Frame(false, false, false, false, true), Frame(true, false, false, false, true)), 8u);
}

// The composite's own overlays over a black scene: a grey bloom stage adds a
// quarter (the stage times itself), then the half-transparent red particle
// target is laid over that - in that order, as their own passes blend them.
TEST_F(SmearDraw, TheCompositeAddsTheBloomThenLaysTheParticlesOverIt)
{
    IDirect3DTexture9* scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF000000));
    IDirect3DTexture9* stage = Texture(4, 4, std::vector<D3DCOLOR>(16, 0xFF808080));
    IDirect3DTexture9* particles = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0x80FF0000));
    CompositeInputs in;
    in.overlays.merge = true;
    in.overlays.bloom = {stage};
    in.overlays.particles = particles;
    CEffectManager& effects = getEffectManager();
    effects.GetCompositeState().hits = D3DXVECTOR4(0, 0, 0, 0);
    EXPECT_TRUE(RenderCompositeWith(effects, scene, nullptr, nullptr, in));
    const D3DCOLOR c = Pixel(kSize / 2, kSize / 2);
    // 0.25 * (1 - 0.5) + 0.5 red; 0.25 * (1 - 0.5) green and blue.
    EXPECT_NEAR(Red(c), 160, 3);
    EXPECT_NEAR(Green(c), 32, 3);
    EXPECT_NEAR(static_cast<int>(c & 0xFF), 32, 3);

    // The blood of a hit must come between the frame and the overlays: they
    // are left to their own passes then, as they are the plain way.
    effects.GetCompositeState().hits = D3DXVECTOR4(1, 0, 0, 0);
    ClearTo(drawtest::kBlack);
    EXPECT_FALSE(RenderCompositeWith(effects, scene, nullptr, nullptr, in));
    EXPECT_LT(Green(Pixel(kSize / 2, kSize / 2)), 8);
    effects.GetCompositeState().hits = D3DXVECTOR4(0, 0, 0, 0);
    SetFrameShortcuts(false);
    ClearTo(drawtest::kBlack);
    EXPECT_FALSE(RenderCompositeWith(effects, scene, nullptr, nullptr, in));
    EXPECT_LT(Green(Pixel(kSize / 2, kSize / 2)), 8);
}

TEST(CameraSmearFor, TheCameraMovedWhenItsMatricesDifferAndASingularOneSmearsNothing)
{
    IDirect3DTexture9* const moving = reinterpret_cast<IDirect3DTexture9*>(0x10);
    IDirect3DTexture9* const depth = reinterpret_cast<IDirect3DTexture9*>(0x20);
    D3DXMATRIX now, before;
    D3DXMatrixPerspectiveFovLH(&now, 1.0f, 1.0f, 1.0f, 1000.0f);
    before = now;
    EXPECT_TRUE(CameraSmearFor(now, before, moving, depth).on);
    EXPECT_FALSE(CameraSmearFor(now, before, moving, depth).cameraMoved);
    before._41 += 0.5f;
    const ::CameraSmear smear = CameraSmearFor(now, before, moving, depth);
    EXPECT_TRUE(smear.cameraMoved);
    D3DXMATRIX product = now * smear.inverseViewProjection;
    EXPECT_NEAR(product._11, 1.0f, 1e-4f);
    EXPECT_NEAR(product._34, 0.0f, 1e-4f);
    EXPECT_FALSE(CameraSmearFor(now, before, nullptr, depth).on);
    EXPECT_FALSE(CameraSmearFor(now, before, moving, nullptr).on);
    D3DXMATRIX flat = now;
    flat._33 = flat._34 = flat._43 = flat._44 = 0.0f;
    EXPECT_FALSE(CameraSmearFor(flat, before, moving, depth).on);
}

TEST(BloomForComposite, UpToFourStagesWithoutABackgroundToClear)
{
    TBloomEffect bloom;
    std::vector<IDirect3DTexture9*> textures{reinterpret_cast<IDirect3DTexture9*>(0x1)};
    EXPECT_TRUE(bloom.StagesForComposite(textures));
    EXPECT_TRUE(textures.empty()) << "no stage, nothing to add";
    // Stand-ins for the stage targets, taken back before the chain lets them go.
    bloom.stages.resize(5);
    for (size_t i = 0; i < bloom.stages.size(); ++i)
        bloom.stages[i].target.texture = reinterpret_cast<IDirect3DTexture9*>(0x100 + i);
    EXPECT_FALSE(bloom.StagesForComposite(textures)) << "five stages take two passes";
    bloom.stages[2].target.texture = nullptr; // a stage that could not be made adds nothing
    EXPECT_TRUE(bloom.StagesForComposite(textures));
    EXPECT_EQ(textures.size(), 4u);
    EXPECT_EQ(textures.size() > 2 ? textures[2] : nullptr, reinterpret_cast<IDirect3DTexture9*>(0x103));
    bloom.clear_bg = true;
    EXPECT_FALSE(bloom.StagesForComposite(textures)) << "its clear would wipe the frame";
    for (auto& stage : bloom.stages)
        stage.target.texture = nullptr;
}

} // namespace
