// The scene manager (objects by name, the draw list, its lights and its passes)
// and "data/XML/techniques.xml": which technique each entity draws each pass with.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"
#include "scene/MeshCache.h"
#include "scene/RigidEntity.h"

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
    EXPECT_EQ(scene.FindEntity("caja"), &first); // groups in name order, then as added
    EXPECT_EQ(scene.FindEntity("farola"), &other);
    EXPECT_EQ(scene.FindEntity("b_group"), nullptr);

    EXPECT_EQ(scene.GetLight(0), scene.GetLight(1)); // numbers outside 2 to 4 give the first
    EXPECT_EQ(scene.GetLight(5), scene.GetLight(1));
    EXPECT_NE(scene.GetLight(4), scene.GetLight(3));
}

// The camera and light 1 look at the origin from +Z.
class SceneManagerTest : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        EffectDrawTest::SetUp();
        scene().SetVisible("Character", false);
        scene().SaveDepthStencil();
    }

    static CSceneMngr& scene() { return getSceneManager(); }

    static D3DCOLOR TargetPixel(const CRenderTarget& target, int x, int y)
    {
        std::vector<D3DCOLOR> pixels;
        devicetest::ReadPixels(target.surface, &pixels);
        return pixels.empty() ? 0 : pixels[y * kSize + x] | 0xFF000000;
    }
};

TEST_F(SceneManagerTest, ScenePassDrawsEachListingAndTheVelocityPassRemembersWhereDrawnObjectsWere)
{
    FlatEntity near("caja", 30, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity behind("lejos", 30, FlatEntity::FacingZ, "PhongLightingTech");
    behind.SetRadius(40.0f);
    behind.MoveTo(0, 0, 500); // behind the camera
    behind.StorePreviousWorld();
    behind.MoveTo(0, 0, 600);
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
    EXPECT_EQ(scene().GetCurrentVelocityTexture(), VelocityTarget.texture);
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

// Near to far with the shortcuts, list order without; what surrounds the eye
// comes last, and an entity listed twice keeps its two places in sequence.
TEST_F(SceneManagerTest, PassesDrawNearToFarWithWhatSurroundsTheEyeLast)
{
    FlatEntity sky("cielo", 50, FlatEntity::FacingZ, "PhongLightingTech");
    sky.SetRadius(5000.0f); // the eye, at +200 on Z, is inside
    FlatEntity far("lejos", 10, FlatEntity::FacingZ, "PhongLightingTech");
    far.MoveTo(0, 0, -300);
    FlatEntity mid("medio", 10, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity near("cerca", 10, FlatEntity::FacingZ, "PhongLightingTech");
    near.MoveTo(0, 0, 120);
    for (FlatEntity* e : {&far, &mid, &near})
        e->SetRadius(15.0f);
    for (FlatEntity* e : {&sky, &far, &mid, &near})
        scene().AddObject(e->GetName(), e);
    for (const char* name : {"cielo", "lejos", "medio", "Character", "cerca", "medio"})
        scene().SetVisible(name, true);

    using List = std::vector<IEntidad3D*>;
    EXPECT_EQ(scene().ListedEntities(false), (List{&near, &mid, &mid, &far, &sky}));
    SetFrameShortcuts(false);
    EXPECT_EQ(scene().ListedEntities(false), (List{&sky, &far, &mid, &near, &mid}));
    SetFrameShortcuts(true);
    // Characters stand under their name in the velocity pass's list.
    FlatEntity hero("Character", 10, FlatEntity::FacingZ, "PhongLightingTech");
    hero.MoveTo(0, 0, 60);
    hero.SetRadius(15.0f);
    scene().SetCharacterList({&hero});
    EXPECT_EQ(scene().ListedEntities(true), (List{&near, &hero, &mid, &mid, &far, &sky}));
}

// With the shortcuts the scene pass lays the depth of the level's listed
// objects before it shades anything (characters are not among them); the
// frame is the same either way.
TEST_F(SceneManagerTest, TheLevelsDepthIsLaidFirstAndTheFrameStaysTheSame)
{
    FlatEntity wall("pared", 60, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity box("caja", 15, FlatEntity::FacingZ, "PhongLightingTech");
    box.MoveTo(20, 10, 40);
    FlatEntity character("Character", 10, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    character.MoveTo(-20, 0, 20);
    scene().AddObject("pared", &wall);
    scene().AddObject("caja", &box);
    scene().SetCharacterList({&character});
    std::vector<D3DCOLOR> frames[2];
    for (bool shortcuts : {true, false}) {
        SCOPED_TRACE(shortcuts ? "the game's way" : "the plain way");
        SetFrameShortcuts(shortcuts);
        getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
        for (const char* name : {"pared", "caja", "Character"})
            scene().SetVisible(name, true);
        scene().RenderScenePass(SceneTarget, true);
        EXPECT_EQ(scene().depthLaidCount, shortcuts ? 2 : 0);
        devicetest::ReadPixels(SceneTarget.surface, &frames[shortcuts]);
    }
    SetFrameShortcuts(true);
    getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
    ASSERT_EQ(frames[0].size(), frames[1].size());
    EXPECT_TRUE(frames[0] == frames[1]);
    EXPECT_GT(Brightness(frames[1][kSize / 2 * kSize + kSize / 2] | 0xFF000000), 150);
}

// The whole velocity pass lays first the depth of what surrounds the eye (a
// backdrop whose bounds hold the camera), not of what stands apart from it:
// two crates hidden behind the backdrop, one standing in front of it. The
// smeared frame is the same either way.
TEST_F(SceneManagerTest, TheVelocityPassLaysTheDepthOfWhatSurroundsTheEyeFirst)
{
    FlatEntity backdrop("cielo", 70, FlatEntity::FacingZ, "PhongLightingTech");
    backdrop.SetRadius(400.0f);
    FlatEntity hidden("caja", 20, FlatEntity::FacingZ, "PhongLightingTech");
    hidden.MoveTo(10, 0, -100);
    FlatEntity deeper("barril", 20, FlatEntity::FacingZ, "PhongLightingTech");
    deeper.MoveTo(-10, 5, -150);
    FlatEntity front("farola", 8, FlatEntity::FacingZ, "PhongLightingTech");
    front.MoveTo(-30, -30, 60);
    for (FlatEntity* e : {&hidden, &deeper, &front})
        e->SetRadius(30.0f);
    for (FlatEntity* e : {&backdrop, &hidden, &deeper, &front})
        scene().AddObject(e->GetName(), e);
    SetShortcutOn(Shortcut::CameraSmear, false);
    std::vector<D3DCOLOR> frames[2];
    for (bool shortcuts : {true, false}) {
        SCOPED_TRACE(shortcuts ? "the game's way" : "the plain way");
        SetFrameShortcuts(shortcuts);
        getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
        for (const char* name : {"cielo", "caja", "barril", "farola"})
            scene().SetVisible(name, true);
        scene().RenderScenePass(SceneTarget, true);
        for (const char* name : {"cielo", "caja", "barril", "farola"})
            scene().SetVisible(name, true);
        scene().RenderMotionBlurPass(VelocityTarget, true);
        EXPECT_EQ(scene().velocityDepthLaidCount, shortcuts ? 1 : 0);
        devicetest::ReadPixels(VelocityTarget.surface, &frames[shortcuts]);
        // The backdrop shows where the crates hide, as the scene pass drew it.
        EXPECT_EQ(TargetPixel(VelocityTarget, kSize / 2 + 5, kSize / 2),
                  TargetPixel(SceneTarget, kSize / 2 + 5, kSize / 2));
    }
    SetShortcutOn(Shortcut::CameraSmear, true);
    SetFrameShortcuts(true);
    getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
    ASSERT_EQ(frames[0].size(), frames[1].size());
    EXPECT_TRUE(frames[0] == frames[1]);
    EXPECT_GT(Brightness(frames[1][kSize / 2 * kSize + kSize / 2] | 0xFF000000), 150);
}

// The scene pass after a shadow pass: a caster between light 1 and a wall
// darkens the wall, drawn either way.
TEST_F(SceneManagerTest, ACasterShadowsTheSceneBehindIt)
{
    FlatEntity wall("pared", 60, FlatEntity::FacingZ, "PhongLightingTech");
    wall.SetRadius(90.0f);
    FlatEntity caster("Character", 15, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    caster.MoveTo(0, 0, 60);
    scene().AddObject("pared", &wall);
    auto wallCentre = [&](std::vector<IEntidad3D*> casters) {
        scene().RenderShadowCasters(ShadowMapTarget, true, casters);
        scene().SetVisible("pared", true);
        scene().RenderScenePass(SceneTarget, true);
        return Brightness(TargetPixel(SceneTarget, kSize / 2, kSize / 2));
    };
    for (bool shortcuts : {true, false}) {
        SCOPED_TRACE(shortcuts ? "the game's way" : "the plain way");
        SetFrameShortcuts(shortcuts);
        getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
        const int lit = wallCentre({});
        EXPECT_GT(lit, 150);
        EXPECT_LT(wallCentre({&caster}), lit * 3 / 4);
        EXPECT_EQ(wallCentre({}), lit);
    }
    SetFrameShortcuts(true);
    getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
}

// A caster wholly beside the light's view is not drawn: the map stays
// without casters and the wall in view looks the same either way.
TEST_F(SceneManagerTest, ACasterBesideTheLightsViewLeavesTheMapEmpty)
{
    // One past each side of the map.
    fxtest::FlatCaster right(20.0f, FlatEntity::FacingZ), left(20.0f, FlatEntity::FacingZ),
        above(20.0f, FlatEntity::FacingZ), below(20.0f, FlatEntity::FacingZ), inView(20.0f, FlatEntity::FacingZ);
    right.GetTransform().SetPosition(D3DXVECTOR3(900, 0, 60));
    left.GetTransform().SetPosition(D3DXVECTOR3(-900, 0, 60));
    above.GetTransform().SetPosition(D3DXVECTOR3(0, 900, 60));
    below.GetTransform().SetPosition(D3DXVECTOR3(0, -900, 60));
    inView.GetTransform().SetPosition(D3DXVECTOR3(0, 0, 60));
    const std::vector<IEntidad3D*> beside = {&right, &left, &above, &below};
    FlatEntity wall("pared", 60, FlatEntity::FacingZ, "PhongLightingTech");
    scene().AddObject("pared", &wall);
    D3DCOLOR centre[2] = {};
    for (bool shortcuts : {true, false}) {
        SCOPED_TRACE(shortcuts ? "the game's way" : "the plain way");
        SetFrameShortcuts(shortcuts);
        getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
        for (IEntidad3D* caster : beside) {
            scene().RenderShadowCasters(ShadowMapTarget, true, {caster});
            EXPECT_EQ(scene().ShadowMapHasCasters(), !shortcuts);
        }
        scene().RenderShadowCasters(ShadowMapTarget, true, beside);
        EXPECT_EQ(scene().ShadowMapHasCasters(), !shortcuts);
        EXPECT_EQ(TargetPixel(ShadowMapTarget, kSize / 2, kSize / 2), drawtest::kBlack);
        scene().SetVisible("pared", true);
        scene().RenderScenePass(SceneTarget, true);
        centre[shortcuts] = TargetPixel(SceneTarget, kSize / 2, kSize / 2);
        scene().RenderShadowCasters(ShadowMapTarget, true, {&right, &inView});
        EXPECT_TRUE(scene().ShadowMapHasCasters());
        EXPECT_NE(TargetPixel(ShadowMapTarget, kSize / 2, kSize / 2), drawtest::kBlack) << "the caster in view is drawn";
    }
    SetFrameShortcuts(true);
    getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
    EXPECT_EQ(centre[true], centre[false]);
    EXPECT_GT(Brightness(centre[true]), 150);
}

// A shadow map holds casters from the pass that drew one until a pass clears it.
TEST_F(SceneManagerTest, TheShadowMapKeepsItsCastersUntilCleared)
{
    FlatEntity caster("Character", 20, FlatEntity::FacingZ, "Characters_PhongLightingTech");
    EXPECT_FALSE(scene().ShadowMapHasCasters());
    scene().RenderShadowCasters(ShadowMapTarget, true, {&caster});
    EXPECT_TRUE(scene().ShadowMapHasCasters());
    scene().RenderShadowCasters(ShadowMapTarget, false, {});
    EXPECT_TRUE(scene().ShadowMapHasCasters());
    scene().RenderShadowCasters(ShadowMapTarget, true, {});
    EXPECT_FALSE(scene().ShadowMapHasCasters());
    EXPECT_EQ(TargetPixel(ShadowMapTarget, kSize / 2, kSize / 2), drawtest::kBlack) << "cleared";
    // An empty map is left as it is; a caster still gets drawn into it.
    scene().RenderShadowCasters(ShadowMapTarget, true, {});
    scene().RenderShadowCasters(ShadowMapTarget, true, {&caster});
    EXPECT_TRUE(scene().ShadowMapHasCasters());
    EXPECT_NE(TargetPixel(ShadowMapTarget, kSize / 2, kSize / 2), drawtest::kBlack) << "the caster is in the map";
    scene().RenderShadowCasters(ShadowMapTarget, true, {});
    EXPECT_EQ(TargetPixel(ShadowMapTarget, kSize / 2, kSize / 2), drawtest::kBlack) << "cleared again";
}

using Map = std::map<std::string, std::string>;

class Techniques : public ::testing::Test {
protected:
    void Write(const std::string& entities)
    {
        m_Folder.Write("data/XML/techniques.xml", "<technique_associations>" + entities + "</technique_associations>");
    }
    drawtest::ScratchFolder m_Folder;
};

TEST_F(Techniques, AnEntityTakesItsOwnEntriesWithTheirDefaultsAndTheLastOfAStateWins)
{
    const Map before{{"Base", "PhongLightingTech"}};
    FlatEntity box("box", 1, FlatEntity::FacingZ, "PhongLightingTech");
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), before); // a missing file keeps the map

    Write(R"(<Entity name="crate"><render technique="ParticlesTech" state="Base"/></Entity>
  <Entity name="box"><render technique="DecalsTech" state="Base"/><render state="Shadow"/><render technique="MotionBlur"/></Entity>
  <Entity name="boxes"><render technique="ParticlesTech" state="Base"/></Entity>
  <Entity name="box"><render technique="BloomSumTech" state="Base"/></Entity>)");
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), (Map{{"Base", "BloomSumTech"}, {"Shadow", "basicTech"}, {"base", "MotionBlur"}}));
    EXPECT_EQ(box.GetCurrentTechnique(), "BloomSumTech");
    box.SetCurrentPass("base"); // pass names are case-sensitive
    EXPECT_EQ(box.GetCurrentTechnique(), "MotionBlur");

    // A file that has nothing for the entity empties its map: no technique.
    FlatEntity stranger("stranger", 1, FlatEntity::FacingZ, "PhongLightingTech");
    stranger.LoadTechniques();
    EXPECT_TRUE(stranger.GetTechniqueMap().empty());
    EXPECT_EQ(stranger.GetCurrentTechnique(), "");

    // Broken after the entity's element has closed: nothing of it is taken.
    Write(R"(<Entity name="stranger"><render technique="BloomSumTech" state="Base"/></Entity><Entity name="x">)");
    stranger.LoadTechniques();
    EXPECT_EQ(stranger.GetCurrentTechnique(), "");

    // Texture slots past the entity's list are absent, not read past its end.
    ASSERT_TRUE(fxtest::kSharedDevice->Create());
    IDirect3DTexture9* diffuse = nullptr;
    ASSERT_EQ(fxtest::kSharedDevice->device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &diffuse,
                                                          nullptr),
              D3D_OK);
    stranger.SetTextures({diffuse});
    EXPECT_EQ(stranger.GetTexture(0), diffuse);
    EXPECT_EQ(stranger.GetTexture(2), nullptr);
    stranger.SetTextures({});
    diffuse->Release();
}

// A cut file leaves every entity its own map and names itself once, not at
// every entity that reads it.
TEST_F(Techniques, ACutFileKeepsTheMapsAndSaysSoOnce)
{
    static int round = 0; // each round cut on a line of its own: the line is said once a run
    const std::string lines(++round, '\n');
    m_Folder.Write("data/XML/techniques.xml",
                   "<technique_associations>" + lines + "<Entity name=\"box\"><render technique=\"BloomSumTech\" state=\"Base\"/>");
    const Map before{{"Base", "PhongLightingTech"}};
    FlatEntity box("box", 1, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity other("other", 1, FlatEntity::FacingZ, "PhongLightingTech");
    testing::internal::CaptureStderr();
    box.LoadTechniques();
    other.LoadTechniques();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(box.GetTechniqueMap(), before);
    EXPECT_EQ(other.GetTechniqueMap(), before);
    EXPECT_EQ(said, "data/XML/techniques.xml: refused: it is not well-formed XML (no element found at line " +
                        std::to_string(round + 1) + ")\n");
}

// A technique the effect does not have would draw nothing: the pass keeps
// the entity's own technique, or none when it had none, and the file says so
// once in one line with every entry that names one.
TEST_F(Techniques, ATechniqueTheEffectLacksKeepsTheEntitysOwnAndIsSaidOnce)
{
    ASSERT_TRUE(fxtest::kSharedDevice->Create());
    D3DDevice = fxtest::kSharedDevice->device.get();
    testing::internal::CaptureStderr();
    const bool loaded = getEffectManager().GetEffect() || getEffectManager().LoadEffect(fxtest::kEffectPath.c_str());
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(loaded);
    Write(R"(<Entity name="box"><render technique="Nope" state="Base"/><render technique="MotionBlur" state="Shadow"/>
  <render technique="Gone" state="Dead"/></Entity><Entity name="crate"><render technique="Nope" state="Base"/></Entity>)");
    bounded::ForgetSaidLines();
    FlatEntity box("box", 1, FlatEntity::FacingZ, "PhongLightingTech");
    FlatEntity crate("crate", 1, FlatEntity::FacingZ, "DecalsTech");
    testing::internal::CaptureStderr();
    box.LoadTechniques();
    crate.LoadTechniques();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/XML/techniques.xml: names a technique data/fx/effects4.fx does not have: the entity draws with its "
              "own (3 times: technique \"Nope\" of entity \"box\" pass \"Base\", technique \"Gone\" of entity \"box\" "
              "pass \"Dead\", technique \"Nope\" of entity \"crate\" pass \"Base\")\n");
    EXPECT_EQ(box.GetTechniqueMap(), (Map{{"Base", "PhongLightingTech"}, {"Shadow", "MotionBlur"}}));
    EXPECT_EQ(crate.GetCurrentTechnique(), "DecalsTech");
}

// An entity holds its textures itself: the cache lets go of them with the
// device, and an entity kept past that still has them whole until it goes.
TEST_F(Techniques, AnEntityHoldsItsTexturesUntilItGoesOrTakesOthers)
{
    ASSERT_TRUE(fxtest::kSharedDevice->Create());
    IDirect3DDevice9* device = fxtest::kSharedDevice->device.get();
    IDirect3DTexture9 *first = nullptr, *second = nullptr;
    ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &first, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &second, nullptr), D3D_OK);
    {
        CRigidEntity entity;
        entity.SetTextures({first, nullptr, first});
        EXPECT_EQ(first->AddRef(), 4u); // ours, the entity's two slots, this one
        first->Release();
        entity.SetTexture(4, second);
        EXPECT_EQ(entity.GetTextures(), (std::vector<IDirect3DTexture9*>{first, nullptr, first, nullptr, second}));
        entity.SetTexture(0, second);
        EXPECT_EQ(first->AddRef(), 3u);
        first->Release();
        EXPECT_EQ(second->AddRef(), 4u);
        second->Release();
    }
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
}

// A rigid entity draws its "Base" pass with the lit technique unless the
// file names another for its mesh name.
TEST_F(Techniques, RigidEntitiesStartLitAndFollowTheFile)
{
    testing::internal::CaptureStderr();
    CRigidEntity plain, sky;
    plain.Init("no_such_mesh");
    Write(R"(<Entity name="skybox"><render technique="BloomBlurTech" state="Base"/></Entity>)");
    sky.Init("skybox");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(plain.GetCurrentTechnique(), "PhongLightingTech");
    EXPECT_EQ(sky.GetCurrentTechnique(), "BloomBlurTech");
    getMeshCache().Clear();
}

} // namespace
