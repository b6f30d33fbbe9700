// The effect manager's draws through the shipped effect, read back from the
// back buffer; its handling of effects that do not compile; and the shipped
// effect against every name the game asks it for.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kBlack;
using drawtest::kSize;
using fxtest::FlatEntity;

class EffectManagerDraw : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        EffectDrawTest::SetUp();
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        getSceneManager().Setup();
    }

    // Light 1 at `eye` shining on the origin at full weight; light 2 off.
    static void SetLightOne(const D3DXVECTOR3& eye)
    {
        getSceneManager().GetLight(1)->SetLookAt(eye, D3DXVECTOR3(0, 0, 0));
        getSceneManager().GetLight(1)->influence = 1.0f;
        getSceneManager().GetLight(2)->influence = 0.0f;
    }
};

TEST_F(EffectManagerDraw, LitMeshAppearsWhereTheCameraLooksOnlyOnItsLitSide)
{
    SetLightOne(D3DXVECTOR3(0, 0, 150));
    FlatEntity quad("box", 20.0f, FlatEntity::FacingZ, "PhongLightingTech");
    quad.SetRadius(30.0f);
    quad.MoveTo(60, 0, 0);
    EXPECT_TRUE(getEffectManager().RenderEntity(&quad));
    int x = 0, y = 0;
    Project(D3DXVECTOR3(60, 0, 0), &x, &y);
    ASSERT_GT(x, kSize / 2 + 4);
    const int lit = Brightness(Pixel(x, y));
    EXPECT_GT(lit, 300);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kBlack);
    EXPECT_EQ(Pixel(kSize / 4, y), kBlack);

    // The same light behind the surface does not light its front.
    SetLightOne(D3DXVECTOR3(0, 0, -150));
    getEffectManager().RenderEntity(&quad);
    EXPECT_LT(Brightness(Pixel(x, y)), lit - 200);

    ClearTo(kBlack);
    quad.MoveTo(0, 0, 400);
    EXPECT_FALSE(getEffectManager().RenderEntity(&quad));
    EXPECT_TRUE(AllBlack());
}

TEST_F(EffectManagerDraw, ShadowPassDarkensTheReceiverUnderTheCaster)
{
    PlaceCamera(D3DXVECTOR3(0, 250, 250), D3DXVECTOR3(0, 0, 0));
    SetLightOne(D3DXVECTOR3(0, 300, 1));
    FlatEntity floor("suelo", 200.0f, FlatEntity::FacingY, "PhongLightingTech");
    FlatEntity caster("Character", 30.0f, FlatEntity::FacingY, "Characters_PhongLightingTech");
    caster.MoveTo(0, 60, 0);
    int ux = 0, uy = 0, ox = 0, oy = 0;
    Project(D3DXVECTOR3(0, 0, 0), &ux, &uy);
    Project(D3DXVECTOR3(120, 0, 0), &ox, &oy);

    CSceneMngr& scene = getSceneManager();
    scene.SaveDepthStencil();
    scene.RenderShadowCasters(ShadowMapTarget, true, {});
    getEffectManager().RenderEntity(&floor);
    const int lit = Brightness(Pixel(ux, uy));

    ClearTo(kBlack);
    scene.RenderShadowCasters(ShadowMapTarget, true, {&caster});
    getEffectManager().RenderEntity(&floor);
    EXPECT_LT(Brightness(Pixel(ux, uy)), lit / 2);
    EXPECT_GT(Brightness(Pixel(ox, oy)), lit * 3 / 4);
}

TEST_F(EffectManagerDraw, VelocityPassSmearsOnlyWhatMoved)
{
    // The scene: stripes two pixels wide, red and green.
    std::vector<D3DCOLOR> texels(kSize * kSize);
    for (int i = 0; i < kSize * kSize; ++i)
        texels[i] = (i % kSize / 2) % 2 ? 0xFF00FF00 : 0xFFFF0000;
    IDirect3DTexture9* stripes = Texture(kSize, kSize, texels);
    getEffectManager().StorePreviousCamera();
    FlatEntity quad("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");

    for (float moved : {0.0f, 12.0f}) {
        ClearTo(kBlack);
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

class EffectLoading : public fxtest::EffectDrawTest {};

TEST_F(EffectLoading, FailuresAreReportedWithTheirCauseAndDrawNothing)
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
    PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
    FlatEntity quad("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");
    getEffectManager().RenderEntity(&quad);
    getEffectManager().RenderShadowCaster(getSceneManager().GetLight(1), &quad);
    getEffectManager().RenderComposite(nullptr, nullptr, nullptr, 0.0f);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kBlack);

    // A good file later brings everything back.
    ASSERT_TRUE(getEffectManager().LoadEffect(fxtest::kEffectPath.c_str()));
    EXPECT_NE(getEffectManager().GetHandle(EP_WVP), nullptr);
}

// A missing or misspelt technique or parameter would silently draw nothing.
TEST_F(EffectLoading, TheShippedEffectAnswersEveryNameTheGameAsksFor)
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    ASSERT_NE(effect, nullptr);
    for (int slot = 0; slot < EFFECT_PARAM_COUNT; ++slot) {
        if (slot != EP_UNUSED_54)
            EXPECT_NE(getEffectManager().GetHandle(slot), nullptr) << "\"" << EffectParamName(slot) << "\"";
    }
    // The bloom stages, the particles and the skinned characters find theirs
    // by name on every draw.
    for (const char* name : {"DiffuseTexture", "bloom_cutoff_level", "bloom_offset_x", "bloom_offset_y", "stage_weight",
                             "view_projection_matrix", "camera_left", "camera_up", "ParticleTexture",
                             "particleTextureNumber", "particle_data", "bones"})
        EXPECT_NE(effect->GetParameterByName(nullptr, name), nullptr) << name;

    // Techniques chosen by the code, and every one "data/XML/techniques.xml" names.
    std::set<std::string> wanted = {kShadowMapTechnique, kMotionBlurTechnique, kCompositeTechnique,
                                    "BloomCutoffTech",   "BloomBlurTech",      "ParticlesTech",
                                    "PhongLightingTech", "Characters_PhongLightingTech", "basicTech"};
    std::stringstream techniques;
    techniques << std::ifstream(fxtest::kWorkdir + "/data/XML/techniques.xml").rdbuf();
    const std::string text = techniques.str();
    ASSERT_FALSE(text.empty());
    const std::regex attribute("technique=\"([^\"]*)\"");
    for (std::sregex_iterator it(text.begin(), text.end(), attribute), end; it != end; ++it)
        wanted.insert((*it)[1].str());
    for (const std::string& name : wanted)
        EXPECT_NE(effect->GetTechniqueByName(name.c_str()), nullptr) << name;

    // The sizes the model library and the particles fill: 60 bones of 12
    // floats, 40 particles of 12 floats.
    D3DXPARAMETER_DESC desc{};
    ASSERT_EQ(effect->GetParameterDesc("bones", &desc), D3D_OK);
    EXPECT_EQ(desc.Elements * desc.Columns, 60u * 12u);
    ASSERT_EQ(effect->GetParameterDesc("particle_data", &desc), D3D_OK);
    EXPECT_EQ(desc.Elements * desc.Columns, 40u * 12u);
}

} // namespace
