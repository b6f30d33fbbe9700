// The effect manager's draws through the shipped effect, read back from the
// back buffer; and its handling of effects that do not compile.
#include <gtest/gtest.h>

#include <fstream>

#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::EffectDrawTest;
using fxtest::FlatEntity;

class EffectManagerDraw : public EffectDrawTest {
protected:
    void SetUp() override
    {
        EffectDrawTest::SetUp();
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        getSceneManager().Setup();
    }

    // Light 1 at `eye` shining on `target` with the given weight; light 2 off.
    static void SetLightOne(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, float influence)
    {
        CLightCamera* light = getSceneManager().GetLight(1);
        light->SetLookAt(eye, target);
        light->influence = influence;
        getSceneManager().GetLight(2)->influence = 0.0f;
    }
};

TEST_F(EffectManagerDraw, LitMeshAppearsWhereTheCameraLooksAndNotBehindIt)
{
    SetLightOne(D3DXVECTOR3(0, 0, 150), D3DXVECTOR3(0, 0, 0), 1.0f);
    FlatEntity quad("box", 20.0f, FlatEntity::FacingZ, "PhongLightingTech");
    quad.SetRadius(30.0f);

    quad.MoveTo(60, 0, 0);
    EXPECT_TRUE(getEffectManager().RenderEntity(&quad));
    int x = 0, y = 0;
    Project(D3DXVECTOR3(60, 0, 0), &x, &y);
    ASSERT_GT(x, kSize / 2 + 4);
    EXPECT_GT(Brightness(Pixel(x, y)), 300);
    // Only there: the middle of the view and the left half stay clear.
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack);
    EXPECT_EQ(Pixel(kSize / 4, y), drawtest::kBlack);

    ClearTo(drawtest::kBlack);
    quad.MoveTo(0, 0, 400);
    EXPECT_FALSE(getEffectManager().RenderEntity(&quad));
    for (D3DCOLOR c : BackBuffer())
        ASSERT_EQ(c | 0xFF000000, drawtest::kBlack);
    EXPECT_EQ(getSceneManager().drawnCount, 1);
    EXPECT_EQ(getSceneManager().culledCount, 1);
}

TEST_F(EffectManagerDraw, LightOnTheSurfaceBrightensIt)
{
    FlatEntity quad("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");
    SetLightOne(D3DXVECTOR3(0, 0, 150), D3DXVECTOR3(0, 0, 0), 0.0f);
    getEffectManager().RenderEntity(&quad);
    const int ambient = Brightness(Pixel(kSize / 2, kSize / 2));

    SetLightOne(D3DXVECTOR3(0, 0, 150), D3DXVECTOR3(0, 0, 0), 1.0f);
    getEffectManager().RenderEntity(&quad);
    const int facing = Brightness(Pixel(kSize / 2, kSize / 2));

    // The same light behind the surface does not light its front.
    SetLightOne(D3DXVECTOR3(0, 0, -150), D3DXVECTOR3(0, 0, 0), 1.0f);
    getEffectManager().RenderEntity(&quad);
    const int behind = Brightness(Pixel(kSize / 2, kSize / 2));

    EXPECT_GT(ambient, 60);
    EXPECT_GT(facing, ambient + 200);
    EXPECT_LT(std::abs(behind - ambient), 12);
}

TEST_F(EffectManagerDraw, HiddenObjectsAreSkippedAndCharactersUseTheirFixedRadius)
{
    // A hidden level object is not drawn, yet passes the frustum test alone.
    FlatEntity quad("box", 20.0f, FlatEntity::FacingZ, "PhongLightingTech");
    quad.SetVisible(false);
    EXPECT_FALSE(getEffectManager().RenderEntity(&quad));
    EXPECT_TRUE(getEffectManager().IsEntityVisible(&quad, false));
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack);
    EXPECT_EQ(getSceneManager().culledCount, 0);

    // A character's own radius would keep it; radius 70 does not reach into
    // the view from 300 units to the side at the look-at point's distance.
    FlatEntity character("Character", 5.0f, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    character.SetRadius(1000.0f);
    character.MoveTo(300, 0, 0);
    EXPECT_FALSE(getEffectManager().IsEntityVisible(&character, true));
    EXPECT_TRUE(getEffectManager().IsEntityVisible(&character, false));
    EXPECT_FALSE(getEffectManager().RenderEntity(&character));
    EXPECT_EQ(getSceneManager().culledCount, 1);
    // The hidden flag is for level objects: a hidden character is drawn.
    character.MoveTo(0, 0, 0);
    character.SetVisible(false);
    EXPECT_TRUE(getEffectManager().RenderEntity(&character));
    EXPECT_GT(Brightness(Pixel(kSize / 2, kSize / 2)), 60);
}

TEST_F(EffectManagerDraw, MissingTechniqueDrawsNothingAndForgetsTheHandle)
{
    FlatEntity quad("box", 40.0f, FlatEntity::FacingZ, "NoSuchTech");
    EXPECT_TRUE(getEffectManager().RenderEntity(&quad));
    EXPECT_EQ(getEffectManager().GetLastTechnique(), nullptr);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack);
    // A technique given by the caller stands in for the entity's own.
    EXPECT_TRUE(getEffectManager().RenderEntity("basicTech", &quad));
    EXPECT_NE(getEffectManager().GetLastTechnique(), nullptr);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2) | 0xFF000000, 0xFFFFFFFFu);
}

TEST_F(EffectManagerDraw, ShadowPassDarkensTheReceiverUnderTheCaster)
{
    PlaceCamera(D3DXVECTOR3(0, 250, 250), D3DXVECTOR3(0, 0, 0));
    SetLightOne(D3DXVECTOR3(0, 300, 1), D3DXVECTOR3(0, 0, 0), 1.0f);
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

    ClearTo(drawtest::kBlack);
    scene.RenderShadowCasters(ShadowMapTarget, true, {&caster});
    EXPECT_EQ(scene.GetShadowMapTexture(), ShadowMapTarget.texture);
    getEffectManager().RenderEntity(&floor);
    const int shadowed = Brightness(Pixel(ux, uy));
    const int aside = Brightness(Pixel(ox, oy));

    EXPECT_LT(shadowed, lit / 2);
    EXPECT_GT(aside, lit * 3 / 4);
}

TEST_F(EffectManagerDraw, VelocityPassSmearsOnlyWhatMoved)
{
    // The scene: stripes two pixels wide, red and green.
    std::vector<D3DCOLOR> texels(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            texels[y * kSize + x] = (x / 2) % 2 ? 0xFF00FF00 : 0xFFFF0000;
    IDirect3DTexture9* stripes = MakeTexture(kSize, kSize, texels);
    ASSERT_NE(stripes, nullptr);
    getEffectManager().StorePreviousCamera();

    FlatEntity quad("box", 40.0f, FlatEntity::FacingZ, "PhongLightingTech");
    quad.StorePreviousWorld();
    getEffectManager().RenderMotionBlur(&quad, stripes);
    int pure = 0, mixed = 0;
    for (int x = kSize / 2 - 4; x < kSize / 2 + 4; ++x) {
        const D3DCOLOR c = Pixel(x, kSize / 2);
        const bool red = Red(c) > 240 && Green(c) < 15, green = Green(c) > 240 && Red(c) < 15;
        (red || green ? pure : mixed)++;
    }
    EXPECT_EQ(mixed, 0);

    ClearTo(drawtest::kBlack);
    quad.MoveTo(-12, 0, 0);
    quad.StorePreviousWorld();
    quad.MoveTo(0, 0, 0);
    getEffectManager().RenderMotionBlur(&quad, stripes);
    for (int x = kSize / 2 - 4; x < kSize / 2 + 4; ++x) {
        const D3DCOLOR c = Pixel(x, kSize / 2);
        EXPECT_GT(Red(c), 40) << x;
        EXPECT_GT(Green(c), 40) << x;
    }
    stripes->Release();
}

// --- loading ----------------------------------------------------------------------------

class EffectLoading : public EffectDrawTest {};

TEST_F(EffectLoading, FailuresAreReportedWithTheirCauseAndDrawNothing)
{
    {
        std::ofstream bad("broken.fx");
        bad << "technique T { pass P { vertex { void main() { gl_Position = undefinedThing; } }\n"
               "fragment { void main() { outColor = vec4(1.0); } } } }\n";
    }
    getEffectManager().GetCompositeState().rainDrift = 0.25f;

    testing::internal::CaptureStderr();
    EXPECT_FALSE(getEffectManager().LoadEffect("no_such_effect.fx"));
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Error compiling effect: no_such_effect.fx\nFile not found?.\n"), std::string::npos) << log;

    testing::internal::CaptureStderr();
    EXPECT_FALSE(getEffectManager().LoadEffect("broken.fx"));
    log = testing::internal::GetCapturedStderr();
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
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack);

    // A good file later brings everything back; the composite's state lived on.
    ASSERT_TRUE(getEffectManager().LoadEffect(fxtest::kEffectPath.c_str()));
    EXPECT_NE(getEffectManager().GetHandle(EP_WVP), nullptr);
    EXPECT_FLOAT_EQ(getEffectManager().GetCompositeState().rainDrift, 0.25f);
    getEffectManager().GetCompositeState() = CompositeState();
}

} // namespace
