// The shipped levels drawn the game's cheap way (objects near to far, passes
// that change nothing skipped, switches compiled out, bloom in one pass) and
// the plain way give the same frame, whatever is switched on or showing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/FrameRender.h"
#include "app/MainConfig.h"
#include "app/shipped_game.h"
#include "gui/GUIManager.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "platform/offscreen_device_fixture.h"
#include "player/ProjectileManager.h"
#include "render/Bloom.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "render/RenderTarget.h"
#include "render/TextureManager.h"
#include "render/VisiblePart.h"
#include "scene/CharacterEntity.h"
#include "scene/LightCamera.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"

namespace {

// Small enough to draw quickly on the software renderer; the screen targets
// and the composite follow the client size.
constexpr int kPictureWidth = 400, kPictureHeight = 300;
constexpr int kTolerance = 2; // of 255, per channel: blending rounds apart
// Where flush faces of two objects meet, a pixel can lie at exactly the same
// depth on both: the one drawn last shows. Near to far changes which one.
constexpr size_t kTiedPixels = 4;

struct Difference {
    int worst = 0;       // largest channel difference
    size_t pixels = 0;   // pixels differing by more than the tolerance
    size_t where = 0;    // the first of those
};

Difference Compare(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
{
    Difference d;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        int pixel = 0;
        for (int shift : {0, 8, 16}) // alpha is not shown
            pixel = std::max(pixel, std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                             static_cast<int>((b[i] >> shift) & 0xFF)));
        if (pixel > kTolerance && d.pixels++ == 0)
            d.where = i;
        d.worst = std::max(d.worst, pixel);
    }
    return d;
}

std::string Describe(const Difference& d)
{
    return std::to_string(d.pixels) + " pixels off, worst by " + std::to_string(d.worst) + "/255, first at (" +
           std::to_string(d.where % kPictureWidth) + ", " + std::to_string(d.where / kPictureWidth) + ")";
}

// One frame state to compare: set up before the draw, put back after it.
struct Case {
    const char* name;
    std::function<void()> before;
    std::function<void()> after;
    // Whether the case shows something the every-switch frame does not: its
    // frame must then differ from that one (a pass that must not be skipped).
    bool showsMore;
};

void SetLife(short life)
{
    getPlayer()->SetLife(life);
}

// Turns the view a little since the last frame, so that every object moves on
// screen and the velocity pass smears.
D3DXVECTOR3 g_LookAt;
void TurnCamera()
{
    CCamera& camera = getCamera();
    getEffectManager().StorePreviousCamera();
    g_LookAt = camera.GetLookAt();
    camera.SetLookAt(g_LookAt + D3DXVECTOR3(40.0f, 6.0f, -25.0f));
    camera.ApplyView();
    camera.UpdateFrustum();
}
void TurnCameraBack()
{
    CCamera& camera = getCamera();
    camera.SetLookAt(g_LookAt);
    camera.ApplyView();
    camera.UpdateFrustum();
    getEffectManager().StorePreviousCamera();
}

// The same turn with depth of field switched as given, put back after.
bool g_DepthOfField = true;
void TurnCameraWithDepthOfField(bool on)
{
    g_DepthOfField = getGUI().depthOfFieldOn;
    getGUI().depthOfFieldOn = on;
    TurnCamera();
}
void TurnCameraBackWithDepthOfField()
{
    TurnCameraBack();
    getGUI().depthOfFieldOn = g_DepthOfField;
}

// A step forward since the last frame, the camera and the hero alike, with
// depth of field switched as given: the eye travels, so every depth smears
// its own way. Put back after.
D3DXVECTOR3 g_EyeAt;
D3DXVECTOR3 g_WalkerAt;
void WalkWithDepthOfField(bool on)
{
    g_DepthOfField = getGUI().depthOfFieldOn;
    getGUI().depthOfFieldOn = on;
    CCamera& camera = getCamera();
    getEffectManager().StorePreviousCamera();
    g_EyeAt = camera.GetPosition();
    g_LookAt = camera.GetLookAt();
    D3DXVECTOR3 ahead = g_LookAt - g_EyeAt;
    ahead.y = 0.0f;
    D3DXVec3Normalize(&ahead, &ahead);
    const D3DXVECTOR3 step = ahead * 9.0f + D3DXVECTOR3(0.0f, 0.5f, 0.0f);
    camera.SetPosition(g_EyeAt + step);
    camera.SetLookAt(g_LookAt + step);
    camera.ApplyView();
    camera.UpdateFrustum();
    IEntidad3D* hero = getPlayer()->GetEntity();
    hero->StorePreviousWorld();
    g_WalkerAt = hero->GetTransform().GetPosition();
    hero->GetTransform().SetPosition(g_WalkerAt + step);
}
void WalkBack()
{
    CCamera& camera = getCamera();
    camera.SetPosition(g_EyeAt);
    camera.SetLookAt(g_LookAt);
    camera.ApplyView();
    camera.UpdateFrustum();
    getEffectManager().StorePreviousCamera();
    IEntidad3D* hero = getPlayer()->GetEntity();
    hero->GetTransform().SetPosition(g_WalkerAt);
    hero->StorePreviousWorld();
    getGUI().depthOfFieldOn = g_DepthOfField;
}

// A burst of fire just in front of the camera, advanced on its own so that the
// level's smoke and mosquitoes stay as they were: the overlay must lay it.
std::shared_ptr<CParticleEmitter> g_Burst;
void StartBurst()
{
    const CCamera& camera = getCamera();
    D3DXVECTOR3 ahead = camera.GetLookAt() - camera.GetPosition();
    D3DXVec3Normalize(&ahead, &ahead);
    const D3DXVECTOR3 at = camera.GetPosition() + ahead * 70.0f;
    g_Burst = getParticleManager().CreateEmitter(getParticleTypes().FindSystemType("fuego"), at,
                                                 D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    if (g_Burst)
        for (int i = 0; i < 30; ++i)
            g_Burst->Update(0.05f);
}
void StopBurst()
{
    if (g_Burst)
        getParticleManager().RemoveEmitter(g_Burst.get());
    g_Burst.reset();
}

// A shot flying across the view 200 ahead of the camera: its tracer shows
// broadside to the right of the middle.
void ShotAcross()
{
    const CCamera& camera = getCamera();
    D3DXVECTOR3 ahead = camera.GetLookAt() - camera.GetPosition();
    ahead.y = 0.0f;
    D3DXVec3Normalize(&ahead, &ahead);
    const D3DXVECTOR3 side(-ahead.z, 0.0f, ahead.x);
    Projectile shot;
    shot.transform.SetPosition(camera.GetPosition() + ahead * 200.0f - side * 100.0f);
    shot.transform.SetYaw(YawFromDirection(side));
    getProjectileManager().Add(shot);
}
void ShotGone()
{
    getProjectileManager().Reset();
}

// Light 1 swung round to shine down on the hero from above and behind, so
// that his shadow lies on the floor in view while the level's far objects
// stay clear of it in the shadow map.
CLightCamera g_Light;
void LightOnHero()
{
    CLightCamera* light = getSceneManager().GetLight(1);
    g_Light = *light;
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    light->SetLookAt(hero + D3DXVECTOR3(150.0f, 450.0f, 150.0f), hero);
}
void LightBack()
{
    *getSceneManager().GetLight(1) = g_Light;
}

// The hero's body carried sideways since the last frame, camera and pose as
// they were: only his world matrix changes. The velocity pass leaves the
// characters out, so the cheap way must not draw him into it either.
D3DXVECTOR3 g_HeroAt;
void CarryHero()
{
    IEntidad3D* hero = getPlayer()->GetEntity();
    hero->StorePreviousWorld();
    g_HeroAt = hero->GetTransform().GetPosition();
    hero->GetTransform().SetPosition(g_HeroAt + D3DXVECTOR3(14.0f, 0.0f, 6.0f));
}
void CarryHeroBack()
{
    IEntidad3D* hero = getPlayer()->GetEntity();
    hero->GetTransform().SetPosition(g_HeroAt);
    hero->StorePreviousWorld();
}

std::vector<Case> Cases()
{
    auto on = [](const char* name, bool value) { return [=] { setMainConfig(name, value); }; };
    auto hit = [] { getEffectManager().GetCompositeState().hits = D3DXVECTOR4(0.0f, 1.0f, 0.0f, 0.0f); };
    return {
        {"every switch on", [] {}, [] {}, false},
        {"motion blur off", on("blurRender", false), on("blurRender", true), false},
        {"bloom off", on("bloomRender", false), on("bloomRender", true), false},
        {"composite off", on("applyOld", false), on("applyOld", true), false},
        // Just under the blood threshold (0.6 of 350): the overlay is faint but there.
        {"hero hurt", [] { SetLife(200); }, [] { SetLife(350); }, true},
        {"hit from behind", hit, [] { getEffectManager().GetCompositeState().hits = D3DXVECTOR4(0, 0, 0, 0); },
         true},
        {"camera turning", [] { TurnCameraWithDepthOfField(true); }, TurnCameraBackWithDepthOfField, true},
        {"camera turning, no depth of field", [] { TurnCameraWithDepthOfField(false); },
         TurnCameraBackWithDepthOfField, true},
        {"the hero carried sideways", CarryHero, CarryHeroBack, true},
        {"walking", [] { WalkWithDepthOfField(true); }, WalkBack, true},
        {"walking, no depth of field", [] { WalkWithDepthOfField(false); }, WalkBack, true},
        {"particles in front of the camera", StartBurst, StopBurst, true},
        // The blood, the bloom and the particles all at once: the composite
        // lays the blood's six layers under the overlays in its one pass.
        {"badly hurt, hit twice, particles in front",
         [] {
             SetLife(20);
             getEffectManager().GetCompositeState().hits = D3DXVECTOR4(0.0f, 1.0f, 0.5f, 0.0f);
             StartBurst();
         },
         [] {
             StopBurst();
             getEffectManager().GetCompositeState().hits = D3DXVECTOR4(0, 0, 0, 0);
             SetLife(350);
         },
         true},
        {"the hero's shadow on the floor", LightOnHero, LightBack, true},
    };
}

class SamePictureTest : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        s_Previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        s_Started = shippedgame::Start(kPictureWidth, kPictureHeight);
    }
    static void TearDownTestSuite()
    {
        SetFrameShortcuts(true);
        shippedgame::Stop();
        std::filesystem::current_path(s_Previous);
    }

    // Every case's frame, drawn one way. The composite's state and the random
    // numbers are put back before each draw, so both ways see one frame.
    std::vector<std::vector<D3DCOLOR>> DrawCases(bool shortcuts, const std::vector<Case>& cases,
                                                 const std::string& effect = "data/fx/effects4.fx")
    {
        SetFrameShortcuts(shortcuts);
        EXPECT_TRUE(getEffectManager().LoadEffect(effect.c_str()));
        std::vector<std::vector<D3DCOLOR>> frames;
        for (const Case& c : cases) {
            getEffectManager().GetCompositeState() = m_Composite;
            c.before();
            crt::srand(7);
            RenderFrame(1.0f / 30.0f);
            frames.emplace_back();
            EXPECT_EQ(devicetest::ReadBackBuffer(D3DDevice, &frames.back()), D3D_OK);
            c.after();
        }
        return frames;
    }

    // The level entered with every pass on, played until the objects and the
    // camera stand still where they were the frame before.
    void SettleInLevel(bool turnFirst = true)
    {
        // The level's smoke and mosquitoes are spread by the random numbers:
        // where every run puts them, whatever ran before in this process
        // (elsewhere one of them can tie a pixel between the two ways).
        crt::srand(7);
        shippedgame::EnterLevel(GetParam());
        for (const char* name : {"scenarioRender", "playerRender", "particlesRender", "blurRender", "bloomRender",
                                 "applyOld", "guiRender", "luaMsgRender", "textdebugRender"})
            setMainConfig(name, true);
        for (int i = 0; i < 3; ++i) {
            GetGameCalls().UpdateFrame(1.0f / 30.0f);
            getRigid()->scriptedSequenceRunning = false;
            RenderFrame(1.0f / 30.0f);
        }
        shippedgame::HoldGuiStill();
        if (turnFirst) {
            // Objects that only the turned view shows start their smear from there.
            TurnCamera();
            RenderFrame(1.0f / 30.0f);
            TurnCameraBack();
        }
        m_Composite = getEffectManager().GetCompositeState();
    }

    CompositeState m_Composite;
    static std::filesystem::path s_Previous;
    static bool s_Started;
};

std::filesystem::path SamePictureTest::s_Previous;
bool SamePictureTest::s_Started = false;

TEST_P(SamePictureTest, EachFrameMatchesThePlainDrawing)
{
    ASSERT_TRUE(s_Started) << "no device";
    SettleInLevel();
    ASSERT_GT(getSceneManager().drawnCount, 20) << "the level is on screen";

    const std::vector<Case> cases = Cases();
    const std::vector<std::vector<D3DCOLOR>> plain = DrawCases(false, cases);
    // The summed bloom filters the later stages twice: it has its own
    // bound below.
    SetShortcutOn(Shortcut::SummedBloom, false);
    const std::vector<std::vector<D3DCOLOR>> cheap = DrawCases(true, cases);
    SetShortcutOn(Shortcut::SummedBloom, true);
    ASSERT_EQ(plain.size(), cases.size());
    ASSERT_EQ(cheap.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_EQ(plain[i].size(), static_cast<size_t>(kPictureWidth) * kPictureHeight);
        const Difference same = Compare(plain[i], cheap[i]);
        EXPECT_LE(same.pixels, kTiedPixels) << Describe(same);
        if (cases[i].showsMore)
            EXPECT_GT(Compare(plain[i], plain[0]).pixels, plain[i].size() / 200)
                << "the case shows nothing the plain frame lacks";
    }
}

// The bloom's later stages summed once at the first stage's size, read by
// the composite in one go: each frame stays within a few steps of the stages
// added one by one, all but a few bright edges well within 8/255.
TEST_P(SamePictureTest, TheSummedBloomStaysWithinAFewStepsOfTheStagesAddedOneByOne)
{
    ASSERT_TRUE(s_Started) << "no device";
    SettleInLevel();
    const std::vector<Case> cases = Cases();
    SetShortcutOn(Shortcut::SummedBloom, false);
    const std::vector<std::vector<D3DCOLOR>> each = DrawCases(true, cases);
    SetShortcutOn(Shortcut::SummedBloom, true);
    const std::vector<std::vector<D3DCOLOR>> summed = DrawCases(true, cases);
    std::vector<IDirect3DTexture9*> textures;
    EXPECT_TRUE(BloomEffect.SummedForComposite(textures)) << "the frame read the summed stages";
    ASSERT_EQ(summed.size(), cases.size());
    for (size_t i = 0; i < cases.size() && i < each.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        std::vector<int> steps;
        for (size_t p = 0; p < each[i].size() && p < summed[i].size(); ++p) {
            int step = 0;
            for (int shift : {0, 8, 16})
                step = std::max(step, std::abs(static_cast<int>((each[i][p] >> shift) & 0xFF) -
                                               static_cast<int>((summed[i][p] >> shift) & 0xFF)));
            steps.push_back(step);
        }
        ASSERT_FALSE(steps.empty());
        std::sort(steps.begin(), steps.end());
        EXPECT_LE(steps[steps.size() * 995 / 1000], kTolerance);
        EXPECT_LT(steps.back(), 40);
    }
}

// The composite and the velocity pass read the screen targets at their own
// pixel whole, the depth of field averages pairs of texels, and the rain and
// the grain, always drawn larger than their textures, go without choosing a
// mip level: every frame is the one the filtered reads give.
TEST_P(SamePictureTest, TheScreenPassesPlainReadsDrawAsFilteredOnes)
{
    ASSERT_TRUE(s_Started) << "no device";
    SettleInLevel();
    std::ifstream in("data/fx/effects4.fx");
    std::stringstream text;
    text << in.rdbuf();
    std::string filtered = text.str();
    for (const auto& change : {std::make_pair(std::string("texelFetch(s, ivec2(uv * vec2(textureSize(s, 0))), 0)"),
                                              std::string("texture(s, uv)")),
                               std::make_pair(std::string("texelFetch(SceneTexture, ivec2(current * "
                                                          "vec2(textureSize(SceneTexture, 0))), 0)"),
                                              std::string("texture(SceneTexture, current)")),
                               std::make_pair(std::string("sampler RainTexture { MipFilter = None; }"), std::string()),
                               std::make_pair(std::string("sampler DirtTexture1 { MipFilter = None; }"), std::string())}) {
        const size_t at = filtered.find(change.first);
        ASSERT_NE(at, std::string::npos) << change.first;
        filtered.replace(at, change.first.size(), change.second);
    }
    // The depth of field's pairs of texels, as the filtered reads a pixel and
    // a half away they stand for.
    const std::pair<std::string, std::string> blur = {
        "            vec3 blur = Shown(min(p + dx, last), min(p + 2 * dx, last), underMoving) +\n"
        "                        Shown(max(p - dx, 0), max(p - 2 * dx, 0), underMoving) +\n"
        "                        Shown(min(p + dy, last), min(p + 2 * dy, last), underMoving) +\n"
        "                        Shown(max(p - dy, 0), max(p - 2 * dy, 0), underMoving);",
        "            vec2 px = 1.5 / vec2(last + 1);\n"
        "            vec3 blur = Filtered(uv + vec2(px.x, 0.0), underMoving) + Filtered(uv - vec2(px.x, 0.0), underMoving) +\n"
        "                        Filtered(uv + vec2(0.0, px.y), underMoving) + Filtered(uv - vec2(0.0, px.y), underMoving);"};
    const std::pair<std::string, std::string> filteredRead = {
        "    vec3 Shown(ivec2 a, ivec2 b, bool underMoving) {",
        "    vec3 Filtered(vec2 uv, bool underMoving) {\n"
        "        vec3 scene = texture(SceneTexture, uv).rgb;\n"
        "        if (!SWITCH(moving_only) || !underMoving) return scene;\n"
        "        vec4 moving = texture(currVelocityTexture, uv);\n"
        "        return mix(scene, moving.rgb, moving.a);\n"
        "    }\n"
        "    vec3 Shown(ivec2 a, ivec2 b, bool underMoving) {"};
    for (const auto& change : {blur, filteredRead}) {
        const size_t at = filtered.find(change.first);
        ASSERT_NE(at, std::string::npos) << change.first;
        filtered.replace(at, change.first.size(), change.second);
    }
    const std::filesystem::path copy =
        std::filesystem::temp_directory_path() / ("filtered_reads_" + std::to_string(::getpid()) + ".fx");
    std::ofstream(copy) << filtered;

    const std::vector<Case> cases = Cases();
    const std::vector<std::vector<D3DCOLOR>> shipped = DrawCases(true, cases);
    const std::vector<std::vector<D3DCOLOR>> reference = DrawCases(true, cases, copy.string());
    std::filesystem::remove(copy);
    ASSERT_EQ(reference.size(), cases.size());
    for (size_t i = 0; i < cases.size() && i < shipped.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const Difference same = Compare(reference[i], shipped[i]);
        EXPECT_EQ(same.pixels, 0u) << Describe(same);
    }
    EXPECT_TRUE(getEffectManager().LoadEffect("data/fx/effects4.fx"));
}

// The tracers drawn over only the strip of their texture that shows give the
// frame of the whole quads. (Against the plain way a tracer differs already:
// the plain velocity pass draws it over characters nearer than it.)
TEST_P(SamePictureTest, ATracerDrawnOverItsVisibleStripMatchesTheWholeQuad)
{
    ASSERT_TRUE(s_Started) << "no device";
    SettleInLevel(false);
    const std::vector<Case> cases = {{"no tracer", [] {}, [] {}, false}, {"a tracer", ShotAcross, ShotGone, true}};
    SetShortcutOn(Shortcut::FittedTracers, false);
    const std::vector<std::vector<D3DCOLOR>> whole = DrawCases(true, cases);
    SetShortcutOn(Shortcut::FittedTracers, true);
    const std::vector<std::vector<D3DCOLOR>> fitted = DrawCases(true, cases);
    ASSERT_EQ(whole.size(), 2u);
    ASSERT_EQ(fitted.size(), 2u);
    EXPECT_GT(Compare(whole[1], whole[0]).pixels, whole[1].size() / 200) << "the tracer shows";
    // The shipped streak is a strip a third as wide as its texture, or less.
    const TexturePart strip = VisiblePart(getTextureManager().GetTexture("traza.tga"));
    EXPECT_LT(strip.u1 - strip.u0, 0.35f);
    EXPECT_GT(strip.u1 - strip.u0, 0.2f);
    const Difference same = Compare(whole[1], fitted[1]);
    EXPECT_LE(same.pixels, kTiedPixels) << Describe(same);
}

INSTANTIATE_TEST_SUITE_P(Levels, SamePictureTest, ::testing::Values("hangares", "isla"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
