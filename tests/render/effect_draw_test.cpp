// Drawing through the shipped effect: the effect manager's passes and loading,
// the names the game asks the effect for, the bloom chain and the final composite.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "player/Player.h"
#include "render/Bloom.h"
#include "render/Composite.h"
#include "render/effectmanager_fixture.h"

namespace {

namespace fs = std::filesystem;
using drawtest::kBlack;
using drawtest::kSize;
using fxtest::FlatEntity;

// The camera looks at the origin from +Z, and light 1 shines on it from there too.
using EffectDraw = fxtest::EffectDrawTest;

// A lit floor darkens under a caster and when the light is below it.
TEST_F(EffectDraw, ShadowPassDarkensTheReceiverUnderTheCaster)
{
    PlaceCamera(D3DXVECTOR3(0, 250, 250), D3DXVECTOR3(0, 0, 0));
    SetLightOne(D3DXVECTOR3(0, 300, 1));
    FlatEntity floor("suelo", 200.0f, FlatEntity::FacingY, "PhongLightingTech");
    FlatEntity caster("Character", 30.0f, FlatEntity::FacingY, "Characters_PhongLightingTech");
    caster.MoveTo(0, 60, 0);
    // The origin, under the caster, is where the camera looks; a quarter of the
    // view to its right is floor beyond the shadow.
    const int ux = kSize / 2, uy = kSize / 2, ox = kSize * 3 / 4, oy = kSize / 2;

    CSceneMngr& scene = getSceneManager();
    scene.SaveDepthStencil();
    scene.RenderShadowCasters(ShadowMapTarget, true, {});
    EXPECT_TRUE(getEffectManager().RenderEntity(&floor));
    const int lit = Brightness(Pixel(ux, uy));
    EXPECT_GT(lit, 300);
    EXPECT_EQ(Pixel(0, 0), kBlack); // the sky beyond the floor

    ClearTo(kBlack);
    scene.RenderShadowCasters(ShadowMapTarget, true, {&caster});
    getEffectManager().RenderEntity(&floor);
    EXPECT_LT(Brightness(Pixel(ux, uy)), lit / 2);
    EXPECT_GT(Brightness(Pixel(ox, oy)), lit * 3 / 4);

    SetLightOne(D3DXVECTOR3(0, -300, 1));
    scene.RenderShadowCasters(ShadowMapTarget, true, {});
    getEffectManager().RenderEntity(&floor);
    EXPECT_LT(Brightness(Pixel(ox, oy)), lit - 200);
}

TEST_F(EffectDraw, VelocityPassSmearsOnlyWhatMoved)
{
    // The scene: stripes two pixels wide, red and green.
    std::vector<D3DCOLOR> texels(kSize * kSize);
    for (int i = 0; i < kSize * kSize; ++i)
        texels[i] = (i % kSize / 2) % 2 ? 0xFF00FF00 : 0xFFFF0000;
    IDirect3DTexture9* stripes = Texture(kSize, kSize, texels);
    getEffectManager().StorePreviousCamera();
    FlatEntity quad("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");

    for (float moved : {0.0f, 12.0f}) {
        quad.MoveTo(-moved, 0, 0);
        quad.StorePreviousWorld();
        quad.MoveTo(0, 0, 0);
        getEffectManager().RenderMotionBlur(&quad, stripes);
        for (int x = kSize / 2 - 4; x < kSize / 2 + 4; ++x) {
            const D3DCOLOR c = Pixel(x, kSize / 2);
            const bool mixed = Red(c) > 40 && Green(c) > 40;
            const bool pure = (Red(c) > 240 && Green(c) < 15) || (Green(c) > 240 && Red(c) < 15);
            EXPECT_TRUE(moved ? mixed : pure) << "moved " << moved << ", x " << x;
        }
    }
}

TEST_F(EffectDraw, FailuresDrawNothingUntilAGoodLoadAndTheShippedEffectAnswersEveryNameTheGameAsksFor)
{
    std::ofstream("broken.fx") << "technique T { pass P { vertex { void main() { gl_Position = undefinedThing; } }\n"
                                  "fragment { void main() { outColor = vec4(1.0); } } } }\n";
    auto load = [](const char* file) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(getEffectManager().LoadEffect(file));
        return testing::internal::GetCapturedStderr();
    };
    std::string log = load("no_such_effect.fx");
    EXPECT_NE(log.find("Error compiling effect: no_such_effect.fx\nFile not found?.\n"), std::string::npos) << log;
    log = load("broken.fx");
    EXPECT_NE(log.find("Error compiling effect: broken.fx\n"), std::string::npos) << log;
    EXPECT_NE(log.find("undefinedThing"), std::string::npos) << log;
    EXPECT_EQ(log.find("effect loaded: "), std::string::npos);
    EXPECT_EQ(getEffectManager().GetEffect(), nullptr);
    for (int slot = 0; slot < EFFECT_PARAM_COUNT; ++slot)
        EXPECT_EQ(getEffectManager().GetHandle(slot), nullptr);

    // Without an effect every draw is a no-op.
    FlatEntity quad("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");
    getEffectManager().RenderEntity(&quad);
    getEffectManager().RenderShadowCaster(getSceneManager().GetLight(1), &quad);
    getEffectManager().RenderComposite(nullptr, nullptr, nullptr, 0.0f);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kBlack);

    // A good file later brings everything back. A missing or misspelt
    // technique or parameter of the shipped effect would silently draw nothing.
    ASSERT_TRUE(getEffectManager().LoadEffect(fxtest::kEffectPath.c_str()));
    ID3DXEffect* effect = getEffectManager().GetEffect();
    for (int slot = 0; slot < EFFECT_PARAM_COUNT; ++slot)
        if (slot != EP_UNUSED_54)
            EXPECT_NE(getEffectManager().GetHandle(slot), nullptr) << "\"" << EffectParamName(slot) << "\"";
    // The particles and the skinned characters find theirs by name on every draw.
    for (const char* name : {"view_projection_matrix", "camera_left", "camera_up", "ParticleTexture",
                             "particleTextureNumber", "particle_data", "bones"})
        EXPECT_NE(effect->GetParameterByName(nullptr, name), nullptr) << name;

    // The particles' technique, and every one "data/XML/techniques.xml" names.
    std::set<std::string> wanted = {"ParticlesTech"};
    std::stringstream file;
    file << std::ifstream(fxtest::kWorkdir + "/data/XML/techniques.xml").rdbuf();
    const std::string text = file.str();
    ASSERT_FALSE(text.empty());
    const std::regex attribute("technique=\"([^\"]*)\"");
    for (std::sregex_iterator it(text.begin(), text.end(), attribute), end; it != end; ++it)
        wanted.insert((*it)[1].str());
    for (const std::string& name : wanted)
        EXPECT_NE(effect->GetTechniqueByName(name.c_str()), nullptr) << name;

    // What the model library and the particles fill: 60 bones, 40 particles, 12 floats each.
    D3DXPARAMETER_DESC desc{};
    ASSERT_EQ(effect->GetParameterDesc("bones", &desc), D3D_OK);
    EXPECT_EQ(desc.Elements * desc.Columns, 60u * 12u);
    ASSERT_EQ(effect->GetParameterDesc("particle_data", &desc), D3D_OK);
    EXPECT_EQ(desc.Elements * desc.Columns, 40u * 12u);
}

// A load starts a fresh chain in the file's order, skipping what is not a
// stage; the file's cut-off runs from 0 to 255, 200 when it is not given.
TEST_F(EffectDraw, ABrightSpotGlowsAroundItselfAndTheStagesAreWrittenOncePerLoad)
{
    constexpr D3DCOLOR kGrey = 0xFF202020;
    TBloomEffect bloom;
    auto load = [&](const std::string& text) { return bloom.LoadXML(m_Scratch.Write("data/fx/bloom.xml", text)); };
    auto stageSize = [&](size_t stage) {
        D3DSURFACE_DESC desc{};
        bloom.stages.at(stage).target.texture->GetLevelDesc(0, &desc);
        return std::make_pair(desc.Width, desc.Height);
    };
    // Runs the chain on a scene of `background` (a white 8 x 8 square in the
    // middle if `spot`), then adds it over a back buffer of `under`.
    auto frame = [&](D3DCOLOR background, bool spot, D3DCOLOR under) {
        std::vector<D3DCOLOR> texels(kSize * kSize, background);
        for (int y = 28; spot && y < 36; ++y)
            std::fill_n(&texels[y * kSize + 28], 8, 0xFFFFFFFF);
        bloom.RenderStages(Texture(kSize, kSize, texels));
        ClearTo(under);
        ASSERT_TRUE(SUCCEEDED(D3DDevice->BeginScene()));
        bloom.Composite();
        D3DDevice->EndScene();
    };
    auto blurStep = [] {
        float step = 0;
        getEffectManager().GetEffect()->GetFloat("bloom_offset_x", &step);
        return step;
    };

    // What the file leaves out takes the defaults the shipped chain relies on.
    ASSERT_TRUE(load("<bloom><stage/><stage/><stage/></bloom>"));
    EXPECT_FLOAT_EQ(bloom.cutoff, 200.0f / 255.0f);
    EXPECT_FALSE(bloom.clear_bg);
    ASSERT_EQ(bloom.stages.size(), 3u);
    EXPECT_EQ(stageSize(2), std::make_pair(16u, 16u));
    EXPECT_FLOAT_EQ(bloom.stages[2].weight, 1.0f);
    ASSERT_TRUE(load("<bloom cutoff=\"200\"><stage xres=\"32\" yres=\"16\" weight=\"0.9\"/><glow xres=\"99\"/>"
                     "<stage xres=\"8\" yres=\"8\"/></bloom>"));
    ASSERT_EQ(bloom.stages.size(), 2u);
    EXPECT_EQ(stageSize(0), std::make_pair(32u, 16u));
    EXPECT_FLOAT_EQ(bloom.stages[0].weight, 0.9f);
    frame(0xFF000000, true, kGrey);
    EXPECT_GT(Brightness(Pixel(32, 32)), 3 * 0xE0);
    EXPECT_GT(Brightness(Pixel(24, 32)), Brightness(kGrey) + 12);
    EXPECT_GT(Brightness(Pixel(32, 24)), Brightness(kGrey) + 12);
    EXPECT_EQ(Pixel(4, 4), kGrey);
    EXPECT_FLOAT_EQ(blurStep(), 1.0f / 32); // each blur steps by the texels of the stage before it
    EXPECT_TRUE(fs::exists("Stage00.bmp") && fs::exists("Stage01.bmp"));
    EXPECT_FALSE(fs::exists("Stage02.bmp"));

    fs::remove("Stage00.bmp");
    frame(0xFFB0B0B0, false, kGrey); // all below the cut-off: nothing is added
    EXPECT_EQ(Pixel(32, 32), kGrey);
    EXPECT_FALSE(fs::exists("Stage00.bmp"));
    ASSERT_TRUE(bloom.LoadXML("data/fx/bloom.xml")); // the ':' key
    frame(0xFF000000, true, kGrey);
    EXPECT_TRUE(fs::exists("Stage00.bmp"));

    // A reload that finds no file keeps the chain it had.
    fs::remove("data/fx/bloom.xml");
    EXPECT_FALSE(bloom.LoadXML("data/fx/bloom.xml"));
    EXPECT_EQ(bloom.stages.size(), 2u);

    // A first stage that cannot be made gives the second nothing to blur, and
    // its zero width must not become a texel step.
    ASSERT_TRUE(load("<bloom cutoff=\"100\"><stage xres=\"0\" yres=\"16\"/><stage xres=\"16\" yres=\"16\"/>"
                     "</bloom>"));
    frame(0xFFFFFFFF, false, kGrey);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    EXPECT_TRUE(std::isfinite(blurStep()));

    // A stage no chain needs, or more stages than any, refuses the file:
    // no glow at all, as without a file, and one line that names it.
    std::string endless = "<bloom>";
    for (int i = 0; i < 10000; ++i)
        endless += "<stage xres=\"8\" yres=\"8\"/>";
    for (const std::string& doc :
         {std::string("<bloom><stage/><stage xres=\"2049\" yres=\"16\"/></bloom>"),
          std::string("<bloom><stage xres=\"16\" yres=\"2147483647\"/></bloom>"),
          std::string("<bloom><stage weight=\"1e999\"/></bloom>"), endless + "</bloom>"}) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(load(doc)) << doc.substr(0, 60);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(bloom.stages.empty()) << doc.substr(0, 60);
        EXPECT_NE(printed.find("data/fx/bloom.xml: refused: " +
                               std::string(doc.size() > 1000 ? "more than 32 stages" : "stage ")),
                  std::string::npos)
            << printed;
    }
    frame(0xFFFFFFFF, false, kGrey);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    ASSERT_TRUE(load("<bloom><stage xres=\"2048\" yres=\"8\"/></bloom>"));
    EXPECT_EQ(bloom.stages.size(), 1u);
}

TEST(CompositeState, EachHitDirectionLightsItsOwnMarkThatFadesOverTenFrames)
{
    // The mark lit: 0 front, 1 back, 2 one side, 3 the other; the edges of each range.
    const std::pair<float, int> cases[] = {{-45, 0},  {45, 0},   {45.5f, 2}, {119, 2},
                                           {120, 1},  {-120, 1}, {-119, 3},  {-45.5f, 3}};
    for (const auto& [degrees, mark] : cases) {
        CompositeState state;
        state.StepHits(true, degrees);
        const float marks[4] = {state.hits.x, state.hits.y, state.hits.z, state.hits.w};
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(marks[i], i == mark ? 1.0f : 0.0f) << degrees << " degrees, mark " << i;
    }
    CompositeState state;
    state.StepHits(true, 180.0f);
    for (int frame = 1; frame <= 9; ++frame)
        state.StepHits(false, 0.0f);
    EXPECT_GT(state.hits.y, 0.05f);
    for (int frame = 10; frame <= 12; ++frame)
        state.StepHits(false, 0.0f);
    EXPECT_EQ(state.hits.y, 0.0f); // at rest, not a little off zero
}

TEST_F(EffectDraw, BloodCoversTheBordersAtLowLifeAndTheSideAHitCameFrom)
{
    // The overlays are the game's own images, found from its working folder.
    std::filesystem::current_path(fxtest::kWorkdir);
    IDirect3DTexture9* scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF808080));
    auto draw = [&](const CompositeInputs& inputs) {
        ClearTo(kBlack);
        RenderCompositeWith(getEffectManager(), scene, nullptr, nullptr, inputs);
    };
    auto redness = [](D3DCOLOR c) { return Red(c) - Green(c); };

    getPlayer()->SetLifeAndTopLife(0, 0); // a hero without a maximum life yet counts as unhurt
    CompositeInputs inputs = GatherCompositeInputs();
    EXPECT_FLOAT_EQ(inputs.lifeFraction, 1.0f);
    draw(inputs);
    const int middleHealthy = Brightness(Pixel(kSize / 2, kSize / 2));
    EXPECT_LT(std::abs(redness(Pixel(1, 1))), 8);
    EXPECT_GT(middleHealthy, 300);
    inputs.lifeFraction = 0.05f;
    draw(inputs);
    EXPECT_GT(redness(Pixel(1, 1)), 40);
    EXPECT_LT(std::abs(Brightness(Pixel(kSize / 2, kSize / 2)) - middleHealthy), 12);

    // A hit from behind marks the bottom edge alone.
    inputs = CompositeInputs();
    inputs.wasHit = true;
    inputs.hitAngleDegrees = 180.0f;
    draw(inputs);
    EXPECT_GT(redness(Pixel(kSize / 2, kSize - 2)), 40);
    EXPECT_LT(std::abs(redness(Pixel(kSize / 2, 1))), 8);
    EXPECT_LT(std::abs(redness(Pixel(1, kSize / 2))), 8);
    getEffectManager().GetCompositeState() = CompositeState();
}

} // namespace
