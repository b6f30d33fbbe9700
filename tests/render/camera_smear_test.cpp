// The velocity pass with the frame's shortcuts: only what moved in the world is
// drawn again, the composite smears everything else by the camera, and lays
// the bloom and particle overlays in its own pass when nothing comes between.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
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
        for (Shortcut which : {Shortcut::CameraSmear, Shortcut::OverlaysInComposite, Shortcut::DamageInComposite})
            SetShortcutOn(which, true);
        fxtest::EffectDrawTest::TearDown();
    }

    // Two lit squares apart, the right one carried sideways since the last
    // frame; drawn by the scene pass and the velocity pass as the level's
    // frame draws them (over the scene's depth texture when `sceneDepth`).
    // Returns the draws of the velocity pass.
    unsigned DrawPasses(bool sceneDepth, bool carried = true)
    {
        FlatEntity still("still", 8.0f, FlatEntity::FacingZ, "PhongLightingTech");
        FlatEntity moved("moved", 8.0f, FlatEntity::FacingZ, "PhongLightingTech");
        // Their own bounds: standing apart from the eye, no depth is laid for them first.
        still.SetRadius(12.0f);
        moved.SetRadius(12.0f);
        still.MoveTo(-20, 0, 0);
        still.StorePreviousWorld();
        moved.MoveTo(carried ? m_MovedX - 6 : m_MovedX, 0, m_MovedZ);
        moved.StorePreviousWorld();
        moved.MoveTo(m_MovedX, 0, m_MovedZ);
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
        scene.RenderScenePass(SceneTarget, true);
        scene.AddVisible("still");
        scene.AddVisible("moved");
        platform::ResetDrawStats(D3DDevice);
        scene.RenderMotionBlurPass(VelocityTarget, true);
        const unsigned draws = platform::GetDrawStats(D3DDevice).drawCalls;
        m_VelocityClears = platform::GetDrawStats(D3DDevice).clears;
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
    // (or not) between the last frame and this one.
    std::vector<D3DCOLOR> Frame(bool shortcuts, bool turned, bool carried = true)
    {
        SetFrameShortcuts(shortcuts);
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        getEffectManager().StorePreviousCamera();
        if (turned)
            PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(9, 2, 0));
        DrawPasses(true, carried);
        ClearTo(drawtest::kBlack);
        getSceneManager().RenderFinalComposite(VelocityTarget.texture);
        return BackBuffer();
    }

    // Where the moved square stands now (it came from 6 to the left).
    float m_MovedX = 20.0f;
    float m_MovedZ = 0.0f;
    // The clears of the last velocity pass drawn.
    unsigned m_VelocityClears = 0;

public:
    void Place(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt) { PlaceCamera(eye, lookAt); }
    unsigned Draw() { return DrawPasses(true); }
    void Clear() { ClearTo(drawtest::kBlack); }
    std::vector<D3DCOLOR> Shown() { return BackBuffer(); }

protected:

    // Pixels whose channels differ by more than 2.
    static size_t Differing(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
    {
        size_t count = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            count += drawtest::ChannelDifference(a[i], b[i]) > 2 ? 1 : 0;
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
    EXPECT_EQ(DrawPasses(true), 2u);
    // Under depth of field only a camera that did not move at all does.
    getGUI().depthOfFieldOn = true;
    getEffectManager().StorePreviousCamera();
    EXPECT_EQ(DrawPasses(true), 1u);
    PlaceCamera(D3DXVECTOR3(3, 0, 200), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(DrawPasses(true), 2u);
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

// The eye nudged up by `step` since the last frame, looking at the squares
// from `distance` away, under depth of field: the frame the composite makes
// of the passes.
std::vector<D3DCOLOR> NudgedFrame(SmearDraw& test, bool shortcuts, float distance, float step, unsigned* draws,
                                  float lookAtZ = 0.0f)
{
    SetFrameShortcuts(shortcuts);
    test.Place(D3DXVECTOR3(0, 0, distance), D3DXVECTOR3(0, 0, lookAtZ));
    getEffectManager().StorePreviousCamera();
    test.Place(D3DXVECTOR3(0.6f * step, step, distance), D3DXVECTOR3(0, 0, lookAtZ));
    *draws = test.Draw();
    test.Clear();
    getSceneManager().RenderFinalComposite(VelocityTarget.texture);
    return test.Shown();
}

// A camera that moved too little for any still object in view to move on
// screen by a 255th of a texel's worth counts as still: only what moved in
// the world is drawn again, even under depth of field. How little depends
// on how near the eye the still objects stand.
TEST_F(SmearDraw, ACameraThatMovedTooLittleToShowCountsAsStill)
{
    getGUI().depthOfFieldOn = true;
    unsigned draws = 0;
    NudgedFrame(*this, true, 200.0f, 0.003f, &draws);
    EXPECT_EQ(draws, 1u) << "the carried square alone";
    EXPECT_TRUE(getSceneManager().VelocityHoldsMovingOnly());
    EXPECT_EQ(DrawPasses(true, false), 0u) << "nothing carried: nothing drawn";
    EXPECT_EQ(m_VelocityClears, 0u) << "nor even cleared: the scene is the frame";
    // Looking far past the squares the eye hardly turns as it sinks: from
    // afar the squares hardly move either, from nearer they would.
    NudgedFrame(*this, true, 200.0f, 0.005f, &draws, -2000.0f);
    EXPECT_EQ(draws, 1u);
    NudgedFrame(*this, true, 40.0f, 0.005f, &draws, -2000.0f);
    EXPECT_EQ(draws, 2u);
    EXPECT_FALSE(getSceneManager().VelocityHoldsMovingOnly());
    // What moved is smeared with the camera's motion in it, however near.
    m_MovedZ = 160.0f;
    NudgedFrame(*this, true, 200.0f, 0.005f, &draws, -2000.0f);
    EXPECT_EQ(draws, 1u) << "the carried square 40 from the eye is drawn, the still one left";
    m_MovedZ = 0.0f;
    // A step that shows from afar too.
    NudgedFrame(*this, true, 200.0f, 0.5f, &draws);
    EXPECT_EQ(draws, 2u);
    // Without the shortcut, the motion is smeared whole.
    SetShortcutOn(Shortcut::UnseenCameraMotion, false);
    NudgedFrame(*this, true, 200.0f, 0.003f, &draws);
    EXPECT_EQ(draws, 2u);
    SetShortcutOn(Shortcut::UnseenCameraMotion, true);
}

// What the camera's barely-there motion leaves out is the frame the whole
// velocity pass gives; a real motion is still smeared as it gives it, the
// still square's smear of under a texel (steps 0.3 and 1) from the four
// texels its taps read between.
TEST_F(SmearDraw, ACameraCountedStillGivesTheFrameOfTheWholeVelocityPass)
{
    m_MovedX = 62.0f;
    for (const bool depthOfField : {true, false})
        for (const float step : {0.003f, 0.002f, 0.3f, 1.0f, 3.0f}) {
            SCOPED_TRACE(std::to_string(step) + (depthOfField ? " under depth of field" : ""));
            getGUI().depthOfFieldOn = depthOfField;
            unsigned draws = 0;
            const std::vector<D3DCOLOR> plain = NudgedFrame(*this, false, 200.0f, step, &draws);
            const std::vector<D3DCOLOR> cheap = NudgedFrame(*this, true, 200.0f, step, &draws);
            EXPECT_EQ(draws, step < 0.01f ? 1u : 2u);
            EXPECT_LE(Differing(plain, cheap), 2u);
            EXPECT_GT(Differing(plain, std::vector<D3DCOLOR>(plain.size(), drawtest::kBlack)), 20u);
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
    // are left to their own passes then, as they are the plain way, unless
    // the composite lays the blood too.
    SetShortcutOn(Shortcut::DamageInComposite, false);
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
