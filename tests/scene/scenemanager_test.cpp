// The scene manager: objects by name, the per-pass draw list, its lights and
// its passes into the screen targets.
#include <gtest/gtest.h>

#include <cstring>

#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::FlatEntity;

// The name map and the lights need no device.
TEST(SceneManagerNames, EntitiesAreFoundInNameOrderAndStrayLightNumbersGiveTheFirst)
{
    CSceneMngr scene;
    FlatEntity first("caja", 10, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity second("caja", 10, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity other("farola", 10, FlatEntity::FacingZ, "PhongLightingTech");
    scene.AddObject("b_group", &second);
    scene.AddObject("b_group", &other);
    scene.AddObject("a_group", &first);
    EXPECT_EQ(scene.GetObjects("b_group").size(), 2u);
    // Names are searched in name order, then in the order they were added.
    EXPECT_EQ(scene.FindEntity("caja"), &first);
    EXPECT_EQ(scene.FindEntity("farola"), &other);
    EXPECT_EQ(scene.FindEntity("b_group"), nullptr);

    // Light numbers outside 2 to 4 give the first.
    EXPECT_EQ(scene.GetLight(0), scene.GetLight(1));
    EXPECT_EQ(scene.GetLight(5), scene.GetLight(1));
    EXPECT_NE(scene.GetLight(4), scene.GetLight(3));
}

class SceneManagerTest : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        EffectDrawTest::SetUp();
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        scene().Setup();
        scene().SetVisible("Character", false);
        scene().GetLight(1)->SetLookAt(D3DXVECTOR3(0, 0, 150), D3DXVECTOR3(0, 0, 0));
        scene().GetLight(1)->influence = 1.0f;
        scene().SaveDepthStencil();
    }

    void TearDown() override
    {
        scene().Setup();
        EffectDrawTest::TearDown();
    }

    static CSceneMngr& scene() { return getSceneManager(); }

    // The colour of a texel of a render target's texture.
    static D3DCOLOR TargetPixel(const CRenderTarget& target, int x, int y)
    {
        D3DLOCKED_RECT locked;
        if (FAILED(target.texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
            return 0;
        D3DCOLOR c;
        std::memcpy(&c, static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        target.texture->UnlockRect(0);
        return c | 0xFF000000;
    }
};

TEST_F(SceneManagerTest, ScenePassDrawsEachListingAndTheVelocityPassRemembersWhereDrawnObjectsWere)
{
    FlatEntity near("caja", 30, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity behind("lejos", 30, FlatEntity::FacingZ, "PhongLightingTech");
    behind.SetRadius(40.0f);
    behind.MoveTo(0, 0, 500); // behind the camera
    near.MoveTo(5, 0, 0);
    scene().AddObject("caja", &near);
    scene().AddObject("lejos", &behind);
    for (const char* name : {"caja", "caja", "lejos", "unknown"})
        scene().SetVisible(name, true);
    scene().RenderScenePass(SceneTarget, true);
    EXPECT_EQ(scene().drawnCount, 2);
    EXPECT_EQ(scene().culledCount, 1);
    EXPECT_TRUE(scene().GetDrawList().empty());
    EXPECT_GT(Brightness(TargetPixel(SceneTarget, kSize / 2, kSize / 2)), 300);
    EXPECT_EQ(TargetPixel(SceneTarget, 1, 1), drawtest::kBlack);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack); // the back buffer was left alone

    scene().SetVisible("caja", true);
    scene().SetVisible("lejos", true);
    scene().RenderMotionBlurPass(VelocityTarget, true);
    EXPECT_TRUE(scene().GetDrawList().empty());
    EXPECT_EQ(near.GetPreviousWorld(), near.GetTransform().GetMatrix());
    EXPECT_NE(behind.GetPreviousWorld(), behind.GetTransform().GetMatrix());
    // Standing still, the object shows the scene as the scene pass drew it.
    EXPECT_EQ(TargetPixel(VelocityTarget, kSize / 2, kSize / 2), TargetPixel(SceneTarget, kSize / 2, kSize / 2));
}

TEST_F(SceneManagerTest, CharactersAreDrawnOnlyWhenMarkedSinceTheShadowPass)
{
    FlatEntity character("Character", 20, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    scene().SetCharacterList({&character});
    ASSERT_EQ(scene().GetObjects("Character").size(), 1u);

    scene().RenderScenePass(SceneTarget, true);
    EXPECT_EQ(scene().drawnCount, 0);

    // Listed by the frame render, they are drawn once, not once more as a name.
    scene().AddVisible("Character");
    scene().RenderScenePass(SceneTarget, true);
    EXPECT_EQ(scene().drawnCount, 1);
    EXPECT_FALSE(scene().IsVisible("Character"));
    EXPECT_GT(Brightness(TargetPixel(SceneTarget, kSize / 2, kSize / 2)), 60);

    // The shadow pass unmarks them: marked before it, they are not drawn after.
    scene().SetVisible("Character", true);
    scene().RenderShadowPass(ShadowMapTarget, true);
    EXPECT_FALSE(scene().IsVisible("Character"));
    scene().RenderScenePass(SceneTarget, true);
    EXPECT_EQ(scene().drawnCount, 1);
}

} // namespace
