// The lit look without the work it cannot use: the shadow map's taps on a
// character are compiled out of its draw, which comes out as the plain way
// draws it; the level's depth can be laid first, so that hidden fragments
// are never shaded.
#include <gtest/gtest.h>

#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::FlatEntity;

class LitVariants : public fxtest::EffectDrawTest {
protected:
    void TearDown() override
    {
        UseShortcuts(true);
        EffectDrawTest::TearDown();
    }

    static void UseShortcuts(bool on)
    {
        SetFrameShortcuts(on);
        getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
    }

    static bool Switch(const char* name)
    {
        BOOL value = -1;
        getEffectManager().GetEffect()->GetBool(name, &value);
        return value == TRUE;
    }

    // The entity drawn alone on black; its centre pixel.
    D3DCOLOR Draw(IEntidad3D& entity)
    {
        ClearTo(drawtest::kBlack);
        EXPECT_TRUE(getEffectManager().RenderEntity(&entity));
        return Pixel(kSize / 2, kSize / 2);
    }
};

// Characters are never shadowed: with a caster in the map, a character is
// still drawn without the map's taps, and as the plain way draws it.
TEST_F(LitVariants, ACharacterIsShadedWithoutTheShadowMapsTaps)
{
    FlatEntity body("Character", 30.0f, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    FlatEntity caster("Character", 30.0f, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    caster.MoveTo(0, 0, 60);
    FlatEntity wall("pared", 60.0f, FlatEntity::FacingZ, "PhongLightingTech");
    getSceneManager().SaveDepthStencil();
    D3DCOLOR looks[2] = {};
    for (bool shortcuts : {true, false}) {
        SCOPED_TRACE(shortcuts ? "the game's way" : "the plain way");
        UseShortcuts(shortcuts);
        getSceneManager().RenderShadowCasters(ShadowMapTarget, true, {&caster});
        ASSERT_TRUE(getSceneManager().ShadowMapHasCasters());
        Draw(wall);
        EXPECT_TRUE(Switch("shadow_casters")) << "the wall behind the caster reads the map";
        looks[shortcuts] = Draw(body);
        EXPECT_EQ(Switch("shadow_casters"), !shortcuts);
    }
    EXPECT_EQ(looks[true], looks[false]);
    EXPECT_GT(Brightness(looks[true]), 150);
}

// The depth alone of an opaque level object: nothing shows, but what lies
// behind it is hidden. Characters and culled objects lay nothing.
TEST_F(LitVariants, AnOpaqueObjectsDepthIsLaidWithoutItsColour)
{
    FlatEntity front("caja", 20.0f, FlatEntity::FacingZ, "PhongLightingTech");
    front.MoveTo(0, 0, 50);
    FlatEntity back("pared", 60.0f, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity character("Character", 20.0f, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    character.MoveTo(0, 0, 50);
    FlatEntity behindTheEye("lejos", 20.0f, FlatEntity::FacingZ, "PhongLightingTech");
    behindTheEye.SetRadius(30.0f);
    behindTheEye.MoveTo(0, 0, 50);
    const int beside = kSize / 2 + kSize * 3 / 16; // on the back square only
    CEffectManager& effects = getEffectManager();

    ClearTo(drawtest::kBlack);
    EXPECT_TRUE(effects.RenderDepth(&front));
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack) << "no colour";
    effects.RenderEntity(&back);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack) << "hidden by the depth laid";
    EXPECT_GT(Brightness(Pixel(beside, kSize / 2)), 150);
    // The front object's own lit draw lands on the depth it laid.
    effects.RenderEntity(&front);
    EXPECT_GT(Brightness(Pixel(kSize / 2, kSize / 2)), 150);

    for (FlatEntity* none : {&character, &behindTheEye}) {
        SCOPED_TRACE(none->GetName());
        if (none == &behindTheEye)
            behindTheEye.MoveTo(0, 0, 400);
        ClearTo(drawtest::kBlack);
        EXPECT_FALSE(effects.RenderDepth(none));
        effects.RenderEntity(&back);
        EXPECT_GT(Brightness(Pixel(kSize / 2, kSize / 2)), 150);
    }
}

} // namespace
