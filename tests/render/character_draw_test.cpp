// The hero's generated model drawn through the shipped effect: skinned, white
// where its texture is white, and moved by its pose.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "render/effectmanager_fixture.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"

namespace {

using CharacterDraw = fxtest::EffectDrawTest;
using drawtest::kSize;

// The generated hero, from the game's working folder, where his files are.
std::unique_ptr<CCharacterEntity> ShippedHero(CModelsManager& library)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    library.LoadCoreModels("Data/XML/CoreModels.xml");
    std::filesystem::current_path(previous);
    return std::unique_ptr<CCharacterEntity>(library.CreateModelInstance("Zorvath", 0));
}

TEST_F(CharacterDraw, AFullyWeightedWhiteCharacterDrawsNeutralAndItsPoseMovesIt)
{
    CModelsManager library;
    std::unique_ptr<CCharacterEntity> hero = ShippedHero(library);
    ASSERT_TRUE(hero);
    hero->SetTextures({Texture(1, 1, {0xFFFFFFFF}), nullptr, nullptr});
    PlaceCamera(D3DXVECTOR3(0, 45, 120), D3DXVECTOR3(0, 45, 0));
    SetLightOne(D3DXVECTOR3(0, 45, 150));
    hero->Update(0.0f);

    ASSERT_TRUE(getEffectManager().RenderEntity(hero.get()));
    const std::vector<D3DCOLOR> bind = BackBuffer();
    // The chest, square in front of the camera.
    const D3DCOLOR chest = Pixel(kSize / 2, kSize / 2 - 4);
    EXPECT_GT(Brightness(chest), 300);
    EXPECT_NEAR(Red(chest), Green(chest), 8);
    EXPECT_NEAR(Red(chest), static_cast<int>(chest & 0xFF), 8);
    // The game culls clockwise faces: what faces the camera must still be there.
    ClearTo(drawtest::kBlack);
    D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    getEffectManager().RenderEntity(hero.get());
    D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2 - 4), chest);

    ASSERT_GT(hero->ExecuteAction("combo_3hits_1", 0.0f, 0.0f, 1.0f, false), 0.0f);
    hero->Update(1.5f);
    ClearTo(drawtest::kBlack);
    getEffectManager().RenderEntity(hero.get());
    const std::vector<D3DCOLOR> posed = BackBuffer();
    ASSERT_EQ(posed.size(), bind.size());
    int changed = 0;
    for (std::size_t i = 0; i < posed.size(); ++i)
        changed += (posed[i] | drawtest::kBlack) != (bind[i] | drawtest::kBlack);
    EXPECT_GT(changed, 30);
}

// The skinned body casts its shadow on the floor under it.
TEST_F(CharacterDraw, TheCharacterShadowsTheFloorUnderIt)
{
    CModelsManager library;
    std::unique_ptr<CCharacterEntity> hero = ShippedHero(library);
    ASSERT_TRUE(hero);
    hero->Update(0.0f);
    PlaceCamera(D3DXVECTOR3(0, 250, 250), D3DXVECTOR3(0, 0, 0));
    SetLightOne(D3DXVECTOR3(0, 300, 1));
    fxtest::FlatEntity floor("suelo", 200.0f, fxtest::FlatEntity::FacingY, "PhongLightingTech");

    CSceneMngr& scene = getSceneManager();
    scene.SaveDepthStencil();
    scene.RenderShadowCasters(ShadowMapTarget, true, {});
    getEffectManager().RenderEntity(&floor);
    const int lit = Brightness(Pixel(kSize / 2, kSize / 2));
    ClearTo(drawtest::kBlack);
    scene.RenderShadowCasters(ShadowMapTarget, true, {hero.get()});
    getEffectManager().RenderEntity(&floor);
    EXPECT_LT(Brightness(Pixel(kSize / 2, kSize / 2)), lit * 3 / 4);
    scene.ReleaseDepthStencil();
}

} // namespace
