// The lit look without the work it cannot use: the shadow map's taps on a
// character are compiled out of its draw, and a receiver reads them only
// near where casters were drawn into the map; either comes out as the plain
// way draws it. The level's depth can be laid first, so that hidden
// fragments are never shaded.
#include <gtest/gtest.h>

#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::FlatCaster;
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

// A floor seen from above, light 1 straight over it, a caster off to one
// side: the floor reads the map's taps only round the caster's place in the
// map, and its shadow is where the plain way puts it.
TEST_F(LitVariants, AReceiverReadsTheMapOnlyNearItsCastersAndKeepsItsShadow)
{
    PlaceCamera(D3DXVECTOR3(0, 250, 250), D3DXVECTOR3(0, 0, 0));
    SetLightOne(D3DXVECTOR3(0, 300, 1));
    FlatEntity floor("suelo", 200.0f, FlatEntity::FacingY, "PhongLightingTech");
    FlatCaster caster(20.0f);
    caster.GetTransform().SetPosition(D3DXVECTOR3(-70, 60, 30));
    CSceneMngr& scene = getSceneManager();
    scene.SaveDepthStencil();
    auto draw = [&](std::vector<IEntidad3D*> casters) {
        scene.RenderShadowCasters(ShadowMapTarget, true, casters);
        ClearTo(drawtest::kBlack);
        EXPECT_TRUE(getEffectManager().RenderEntity(&floor));
        return BackBuffer();
    };
    std::vector<D3DCOLOR> shadowed[2];
    D3DXVECTOR4 read[2];
    for (bool shortcuts : {true, false}) {
        SCOPED_TRACE(shortcuts ? "the game's way" : "the plain way");
        UseShortcuts(shortcuts);
        const std::vector<D3DCOLOR> lit = draw({});
        shadowed[shortcuts] = draw({&caster});
        getEffectManager().GetEffect()->GetVector("shadow_rect", &read[shortcuts]);
        size_t darker = 0;
        for (size_t i = 0; i < lit.size(); ++i)
            darker += Brightness(shadowed[shortcuts][i]) + 60 < Brightness(lit[i]) ? 1 : 0;
        EXPECT_GT(darker, lit.size() / 100) << "the caster's shadow shows";
    }
    EXPECT_TRUE(shadowed[true] == shadowed[false]);
    // The caster lies off the light's axis: its place in the map is a small
    // rect away from the middle.
    EXPECT_LT(read[false].x, -1e29f) << "the plain way reads everywhere";
    const D3DXVECTOR4& near = read[true];
    EXPECT_GT(near.x, 0.0f);
    EXPECT_LT(near.z - near.x, 0.4f);
    EXPECT_GT(near.y, 0.0f);
    EXPECT_LT(near.w - near.y, 0.4f);
    EXPECT_TRUE(near.z < 0.5f || near.x > 0.5f) << near.x << " to " << near.z;

    // Read for another light, the map's casters could lie anywhere.
    CLightCamera other;
    other.SetLookAt(D3DXVECTOR3(0, 300, 50), D3DXVECTOR3(0, 0, 0));
    EXPECT_LT(scene.ShadowReadRect(other.viewProjection).x, -1e29f);
    EXPECT_GT(scene.ShadowReadRect(other.viewProjection).w, 1e29f);
}

// The depth alone of an opaque level object: nothing shows, but what lies
// behind it is hidden. Characters and culled objects lay nothing.
TEST_F(LitVariants, AnOpaqueObjectsDepthIsLaidWithoutItsColour)
{
    FlatEntity front("caja", 20.0f, FlatEntity::FacingZ, "PhongLightingTech");
    front.MoveTo(0, 0, 50);
    FlatEntity back("pared", 60.0f, FlatEntity::FacingZ, "PhongLightingTech");
    // Skinned, a character's pose is not its mesh: whatever its look, no depth.
    FlatEntity character("Character", 20.0f, FlatEntity::FacingZ, "PhongLightingTech");
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
