// Drawing through the shipped effect: the effect manager's passes and loading,
// the names the game asks the effect for, the bloom chain and the final composite.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "platform/bounded.h"
#include "platform/crt.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "render/Bloom.h"
#include "render/Composite.h"
#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"
#include "world/Scenario.h"

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

    // Never drawn by the velocity pass before, an object far from the origin
    // shows no motion on its first frame.
    FlatEntity arriving("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");
    arriving.MoveTo(12, 0, 0);
    getEffectManager().RenderMotionBlur(&arriving, stripes);
    for (int x = kSize / 2 - 4; x < kSize / 2 + 4; ++x) {
        const D3DCOLOR c = Pixel(x, kSize / 2);
        EXPECT_TRUE((Red(c) > 240 && Green(c) < 15) || (Green(c) > 240 && Red(c) < 15)) << "first frame, x " << x;
    }

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
    bounded::ForgetSaidLines();
    std::string log = load("no_such_effect.fx");
    EXPECT_EQ(log, "Error compiling effect: no_such_effect.fx: it is missing; the levels are drawn black without it\n")
        << "one line, the fault in it";
    EXPECT_EQ(load("no_such_effect.fx"), "") << "and once";
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
    auto blurStep = [](const char* axis = "bloom_offset_x") {
        float step = 0;
        getEffectManager().GetEffect()->GetFloat(axis, &step);
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
    EXPECT_FLOAT_EQ(blurStep("bloom_offset_y"), 1.0f / 16);
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

// What each entity goes through the lit pass with: its own radius and draw
// flag, 70 for a character whatever its mesh; a technique the effect lacks
// draws nothing.
TEST_F(EffectDraw, CullingTakesEachEntitysRadiusAndDrawFlag)
{
    // Where the centre of a sphere stands `outside` beyond the left edge of the
    // view (the camera looks at the origin from z = 200, square).
    const float slope = 1.0f / getCamera().GetProjectionMatrix()._11;
    auto beyondLeftEdge = [slope](float outside) { return -(outside * std::sqrt(1.0f + slope * slope) + 200 * slope); };
    const struct { const char* name; float outside, radius; bool shown, drawn, culled; } cases[] = {
        {"Character", 65, 1, true, true, false},   {"Character", 75, 1, true, false, true},
        {"box", 50, 1, true, false, true},         {"box", 50, 70, true, true, false},
        {"box", -100, 70, false, false, false},    {"Character", -100, 1, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.outside) + " outside");
        FlatEntity entity(c.name, 10.0f, FlatEntity::FacingZ, "PhongLightingTech");
        entity.MoveTo(c.outside < 0 ? 0 : beyondLeftEdge(c.outside), 0, 0);
        entity.SetRadius(c.radius);
        entity.SetVisible(c.shown);
        getSceneManager().drawnCount = getSceneManager().culledCount = 0;
        EXPECT_EQ(getEffectManager().RenderEntity(&entity), c.drawn);
        EXPECT_EQ(getSceneManager().drawnCount, c.drawn ? 1 : 0);
        EXPECT_EQ(getSceneManager().culledCount, c.culled ? 1 : 0);
    }
    // Hidden, a prop can still pass the frustum test the velocity pass uses.
    FlatEntity hidden("box", 10.0f, FlatEntity::FacingZ, "PhongLightingTech");
    hidden.SetVisible(false);
    EXPECT_TRUE(getEffectManager().IsEntityVisible(&hidden, false));

    ClearTo(kBlack);

    FlatEntity lit("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");
    getEffectManager().RenderEntity(&lit);
    EXPECT_GT(Brightness(Pixel(kSize / 2, kSize / 2)), 300);
    ClearTo(kBlack);
    FlatEntity unknown("box", 40.0f, FlatEntity::FacingZ, "NoSuchTech");
    getEffectManager().RenderEntity(&unknown);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kBlack);
    EXPECT_EQ(getEffectManager().GetEffect()->GetCurrentTechnique(),
              getEffectManager().GetEffect()->GetTechniqueByName("PhongLightingTech"))
        << "the effect keeps the technique it had";
}

// Props take both lights from the scene; a character takes both from the room
// it stands in: its nearest light and the runner-up.
TEST_F(EffectDraw, ACharacterIsLitByTheTwoNearestLightsOfItsRoom)
{
    testing::internal::CaptureStderr();
    getScenario()->Load(m_Scratch.Write("level.xml", "<rooms count=\"1\"><room name=\"hangares\"><objects/></room>"
                                                     "</rooms>").c_str());
    testing::internal::GetCapturedStderr();
    CRoom* room = getScenario()->GetCurrentRoom();
    ASSERT_NE(room, nullptr);
    const D3DXVECTOR3 distant(900, 80, 0), nearest(30, 80, 0), second(0, 80, 120);
    std::vector<CLightCamera*> lights;
    for (const D3DXVECTOR3& eye : {distant, nearest, second}) {
        lights.push_back(new CLightCamera);
        lights.back()->SetLookAt(eye, D3DXVECTOR3(0, 0, 0));
    }
    room->SetLights(lights);
    // Each frame the scene's two lights become the room's two nearest the hero
    // (at the origin), and the last velocity pass's target the previous one.
    getSceneManager().RenderMotionBlurPass(VelocityTarget, true);
    getSceneManager().Update(1.0f / 30);
    EXPECT_EQ(getSceneManager().GetPreviousVelocityTexture(), VelocityTarget.texture);
    EXPECT_EQ(getSceneManager().GetLight(1)->eye, nearest);
    EXPECT_EQ(getSceneManager().GetLight(2)->eye, second);
    getSceneManager().GetLight(1)->SetLookAt(D3DXVECTOR3(0, 0, 150), D3DXVECTOR3(0, 0, 0));
    getSceneManager().GetLight(2)->SetLookAt(D3DXVECTOR3(-500, 10, 0), D3DXVECTOR3(0, 0, 0));

    auto eyeOf = [](const char* parameter) {
        D3DXVECTOR3 eye(0, 0, 0);
        getEffectManager().GetEffect()->GetValue(parameter, &eye, sizeof eye);
        return eye;
    };
    FlatEntity prop("box", 10.0f, FlatEntity::FacingZ, "PhongLightingTech");
    getEffectManager().RenderEntity(&prop);
    EXPECT_EQ(eyeOf("lightPos"), D3DXVECTOR3(0, 0, 150));
    EXPECT_EQ(eyeOf("light2Pos"), D3DXVECTOR3(-500, 10, 0));

    // While the hero fights, the lit pass filters out the speculars.
    testing::internal::CaptureStderr();
    getPlayer()->Init();
    testing::internal::GetCapturedStderr();
    for (bool fighting : {false, true}) {
        if (fighting)
            getPlayer()->GetControllerSelector()->SwitchToFighting(nullptr, 0);
        float filter = -1.0f;
        getEffectManager().RenderEntity(&prop);
        getEffectManager().GetEffect()->GetFloat("specularFilterAmount", &filter);
        EXPECT_EQ(filter, fighting ? 1.0f : 0.0f);
    }

    FlatEntity character("Character", 10.0f, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    getEffectManager().RenderEntity(&character);
    EXPECT_EQ(eyeOf("lightPos"), nearest);
    EXPECT_EQ(eyeOf("light2Pos"), second);
    room->SetLights({});
    room->secondLight = nullptr;
    getSceneManager().CreateLights(D3DDevice, LightLocation);
    EXPECT_EQ(getSceneManager().GetPreviousVelocityTexture(), nullptr) << "a new device's passes start afresh";
}

// The damage images rotate once a second however long the game has run; the
// later of two overlapping ranges wins.
TEST(CompositeInputs, TheDamageImagesKeepRotatingAfterTheFirstSecond)
{
    const std::pair<float, const char*> firstImage[] = {
        {0.2f, "GUI/damage1.dds"}, {0.34f, "GUI/damage2.dds"}, {0.5f, "GUI/damage2.dds"},
        {0.64f, "GUI/damage3.dds"}, {0.9f, "GUI/damage3.dds"}};
    for (const auto& [t, image] : firstImage)
        EXPECT_STREQ(DamageTexturesFor(t)[0], image) << t;
    const float start = getSceneManager().GetSceneTime();
    for (int frame = 0; frame < 150; ++frame)
        getSceneManager().Update(1.0f / 30);
    EXPECT_NEAR(getSceneManager().GetSceneTime() - start, 2.5f, 1e-3f) << "a sixtieth of a second per update";
    std::set<std::string> firstImages;
    for (int frame = 0; frame < 60; ++frame) {
        getSceneManager().Update(1.0f / 30);
        const float t = GatherCompositeInputs().sceneTime;
        EXPECT_TRUE(t >= 0.0f && t < 1.0f) << t;
        firstImages.insert(DamageTexturesFor(t)[0]);
    }
    EXPECT_EQ(firstImages.size(), 3u);
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
    // The rain creeps a thousandth a frame toward its target, pushed by the camera's turn.
    CompositeState rain;
    rain.rainTarget = 0.3f;
    rain.previousYaw = 0.0f;
    EXPECT_FLOAT_EQ(rain.StepRain(40, 0.0f), 0.001f);
    EXPECT_FLOAT_EQ(rain.StepRain(40, 0.5f), 0.052f);
    // Lightning strikes on a 99 and climbs until 10, then dies down to rest.
    CompositeState sky;
    sky.StepLightning(98);
    EXPECT_FALSE(sky.lightningActive);
    EXPECT_FLOAT_EQ(sky.StepLightning(99), 1.0f);
    EXPECT_FLOAT_EQ(sky.StepLightning(10), 3.7f);
    EXPECT_FLOAT_EQ(sky.StepLightning(60), 5.6f);
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

    // Comic panels get more contrast: a dark scene darker still.
    IDirect3DTexture9* dark = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF202020));
    for (bool panels : {false, true}) {
        inputs = CompositeInputs();
        inputs.scriptedSequence = panels;
        ClearTo(kBlack);
        RenderCompositeWith(getEffectManager(), dark, nullptr, nullptr, inputs);
        EXPECT_NEAR(Green(Pixel(kSize / 2, kSize / 2)), panels ? 16 : 30, 4) << panels;
    }

    // Aiming darkens the borders further.
    for (int code : {30, 35, 41, 64, 52, 48}) {
        inputs = CompositeInputs();
        draw(inputs);
        const int idle = Brightness(Pixel(1, 1));
        inputs.stateCode = code;
        draw(inputs);
        EXPECT_EQ(Brightness(Pixel(1, 1)) < idle - 20, code != 30) << code;
    }

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

// On the island a lightning strike brightens the whole frame, and the rain
// slides down the screen with time and with the camera's pitch; the frame's
// values reach every pixel of the composite alike.
TEST_F(EffectDraw, TheIslandsFrameFlashesWithLightningAndItsRainFallsWithTimeAndPitch)
{
    std::filesystem::current_path(fxtest::kWorkdir);
    IDirect3DTexture9* scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF606060));
    CompositeState& state = getEffectManager().GetCompositeState();
    // A seed whose first draw neither strikes nor flickers the flash away.
    unsigned seed = 1;
    for (;; ++seed) {
        crt::srand(seed);
        const int r = crt::rand() % 100 + 1;
        if (r < 50 && r != 99)
            break;
    }
    auto frame = [&](float time, float pitch, bool striking) {
        state = CompositeState();
        if (striking) {
            state.lightningActive = state.lightningFading = true;
            state.lightningBrightness = 5.7f; // falls by 2.7 to a flash of 3
        }
        CompositeInputs inputs;
        inputs.isla = true;
        inputs.sceneTime = time;
        inputs.cameraPitch = pitch;
        crt::srand(seed);
        ClearTo(kBlack);
        RenderCompositeWith(getEffectManager(), scene, nullptr, nullptr, inputs);
        std::vector<int> shown;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                shown.push_back(Brightness(Pixel(x, y)));
        return shown;
    };
    auto changed = [](const std::vector<int>& a, const std::vector<int>& b) {
        int count = 0;
        for (size_t i = 0; i < a.size(); ++i)
            count += std::abs(a[i] - b[i]) > 6 ? 1 : 0;
        return count;
    };

    const std::vector<int> still = frame(0.25f, 0.0f, false);
    const std::vector<int> flash = frame(0.25f, 0.0f, true);
    // A flash of 3 lifts every pixel by 16%; the middle is past the border's shade.
    const int middle = kSize / 2 * kSize + kSize / 2;
    EXPECT_NEAR(static_cast<double>(flash[middle]) / still[middle], 1.16, 0.03);
    EXPECT_EQ(changed(still, frame(0.25f, 0.0f, false)), 0);
    // The pitch moves only the rain; time moves the rain and the grain.
    EXPECT_GT(changed(still, frame(0.25f, 0.4f, false)), kSize * kSize / 20);
    EXPECT_GT(changed(still, frame(0.6f, 0.0f, false)), kSize * kSize / 20);
    state = CompositeState();
}

// The composite lays the blood of up to six layers itself, as the damage pass
// blends them, and then the bloom and the particles over it in its one pass;
// more layers go back to the damage pass.
TEST_F(EffectDraw, TheCompositeLaysTheBloodAsItsPassDoesAndTheOverlaysOverIt)
{
    std::filesystem::current_path(fxtest::kWorkdir);
    CEffectManager& effects = getEffectManager();
    IDirect3DTexture9* scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF404040));
    auto frame = [&](bool here, const CompositeInputs& in) {
        SetShortcutOn(Shortcut::DamageInComposite, here);
        ClearTo(kBlack);
        const bool laid = RenderCompositeWith(effects, scene, nullptr, nullptr, in);
        SetShortcutOn(Shortcut::DamageInComposite, true);
        return std::make_pair(laid, BackBuffer());
    };
    auto worst = [](const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b) {
        int most = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            most = std::max(most, drawtest::ChannelDifference(a[i], b[i]));
        return most;
    };
    // Badly hurt (the four layers of life) and hit from the front and the
    // left: six layers; from every side: eight.
    CompositeInputs in;
    in.sceneTime = 0.3f;
    in.lifeFraction = 0.05f;
    for (const D3DXVECTOR4& hits : {D3DXVECTOR4(1.0f, 0.0f, 0.6f, 0.0f), D3DXVECTOR4(1.0f, 0.7f, 0.5f, 0.3f)}) {
        effects.GetCompositeState().hits = hits;
        const auto own = frame(false, in);
        effects.GetCompositeState().hits = hits;
        const auto here = frame(true, in);
        EXPECT_LE(worst(own.second, here.second), 2) << hits.w;
        EXPECT_GT(worst(own.second, std::vector<D3DCOLOR>(own.second.size(), 0xFF3F3F3F)), 60) << "blood shows";
    }

    // A hit from the front alone, its splash along the top edge: under the
    // grey bloom stage (a quarter added, 64/255) and the half-red particle layer.
    in = CompositeInputs();
    effects.GetCompositeState().hits = D3DXVECTOR4(1.0f, 0.0f, 0.0f, 0.0f);
    const D3DCOLOR blood = frame(true, in).second[kSize + kSize / 2];
    ASSERT_GT(Red(blood) - Green(blood), 40);
    in.overlays.merge = true;
    in.overlays.bloom = {Texture(4, 4, std::vector<D3DCOLOR>(16, 0xFF808080))};
    in.overlays.particles = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0x80FF0000));
    for (const bool here : {true, false}) {
        effects.GetCompositeState().hits = D3DXVECTOR4(1.0f, 0.0f, 0.0f, 0.0f);
        const auto laid = frame(here, in);
        // Left to their own passes, the overlays are not in the composite's frame.
        EXPECT_EQ(laid.first, here);
        if (!here)
            continue;
        const D3DCOLOR c = laid.second[kSize + kSize / 2];
        EXPECT_NEAR(Red(c), std::min(Red(blood) + 64, 255) / 2 + 128, 3);
        EXPECT_NEAR(Green(c), std::min(Green(blood) + 64, 255) / 2, 3);
    }
    effects.GetCompositeState() = CompositeState();
}

} // namespace
