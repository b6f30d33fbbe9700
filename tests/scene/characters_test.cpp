// The model library read from a CoreModels file and the characters it makes:
// animation keys, texture tables, skinning bytes, actions and root travel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <cal3d/cal3d.h>

#include "render/VertexBuffers.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "xml/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const fs::path kShipped = fs::path(VANTOREL_WORKDIR) / "data" / "models" / "Zorvath";

TEST(ModelLibrary, AnimationKeysComeFromTheFileNameAlone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"enemy_walk.caf", "walk"},
        {"walk.caf", "walk"},
        {"hero_idle_ostrel.caf", "idle_ostrel"},
        {"my_models/v1.2/enemy_run.caf", "run"},
        {"folder\\hero_Roll.caf", "Roll"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnimationKeyFromFile(c.first), c.second) << c.first;
}

TEST(ModelLibrary, InfluencesBecomeFourWeightBytesSummingTo255)
{
    const std::vector<int> palette = {2, 5, 7, 9, 11};
    struct Case {
        std::vector<std::pair<int, float>> influences;
        unsigned char weights[4];
        unsigned char indices[4];
    };
    const Case cases[] = {
        // The dropped 0.02 folds into the fourth as the mean 0.05; the loss goes to the first.
        {{{2, 0.6f}, {5, 0.2f}, {7, 0.1f}, {9, 0.08f}, {11, 0.02f}}, {167, 51, 25, 12}, {0, 1, 2, 3}},
        // A mean above 0.1 is dropped altogether.
        {{{11, 0.4f}, {9, 0.2f}, {7, 0.1f}, {5, 0.15f}, {2, 0.15f}}, {179, 51, 25, 0}, {4, 3, 2, 1}},
        {{{7, 1.0f}}, {255, 0, 0, 0}, {2, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        auto influences = c.influences;
        const TSkinBytes bytes = SkinBytesFor(influences, palette);
        EXPECT_LE(influences.size(), 4u);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(bytes.weights[j], c.weights[j]) << "slot " << j;
            EXPECT_EQ(bytes.indices[j], c.indices[j]) << "slot " << j;
        }
    }
}

// A mesh of one triangle per bone (each bound to its bone alone), with no
// texture coordinates; `badFace` makes the last face name a vertex it lacks.
int AddMesh(CalCoreModel& core, int bones, bool badFace)
{
    auto* submesh = new CalCoreSubmesh();
    submesh->reserve(3 * bones, 0, bones, 0);
    for (int i = 0; i < 3 * bones; ++i) {
        CalCoreSubmesh::Vertex vertex;
        vertex.position = CalVector(static_cast<float>(i % 3), static_cast<float>(i / 3), 0.0f);
        vertex.normal = CalVector(0, 0, 1);
        vertex.collapseId = -1;
        vertex.faceCollapseCount = 0;
        vertex.vectorInfluence.push_back({i / 3, 1.0f});
        submesh->setVertex(i, vertex);
    }
    for (int f = 0; f < bones; ++f) {
        CalCoreSubmesh::Face face;
        for (int k = 0; k < 3; ++k)
            face.vertexId[k] = 3 * f + k;
        if (badFace && f == bones - 1)
            face.vertexId[2] = 3 * bones;
        submesh->setFace(f, face);
    }
    auto* mesh = new CalCoreMesh();
    mesh->addCoreSubmesh(submesh);
    return core.addCoreMesh(mesh);
}

TEST(ModelLibrary, ABufferHoldsSixtyPaletteBonesAndNoMoreWithZeroUVsWhenTheMeshHasNone)
{
    CalCoreModel core("shapes");
    const int sixty = AddMesh(core, 60, false);
    const int sixtyOne = AddMesh(core, 61, false);
    const int broken = AddMesh(core, 2, true);

    CCal3DVertexBuffer fits;
    ASSERT_TRUE(CModelsManager::BuildCoreModelBuffers(fits, &core, sixty));
    EXPECT_EQ(fits.bonePalette.size(), 60u);
    ASSERT_EQ(fits.GetVertexCount(), 180u);
    const TCalNormalVertex& last = fits.GetVertices()[179];
    EXPECT_EQ(last.tu, 0.0f);
    EXPECT_EQ(last.tv2, 0.0f);
    EXPECT_EQ(last.weights, 0x00FF0000u); // all of it on the first slot (red)
    EXPECT_EQ((last.indices >> 16) & 0xFF, 59u);
    ASSERT_EQ(fits.GetSubsets().size(), 1u);
    EXPECT_EQ(fits.GetSubsets()[0].triangleCount, 60);

    CCal3DVertexBuffer tooMany, faulty;
    EXPECT_FALSE(CModelsManager::BuildCoreModelBuffers(tooMany, &core, sixtyOne));
    EXPECT_FALSE(CModelsManager::BuildCoreModelBuffers(faulty, &core, broken));
    EXPECT_FALSE(CModelsManager::BuildCoreModelBuffers(faulty, &core, 7));
}

// A copy of the hero's files under a path holding "_" and ".", named by a
// CoreModels file of two models, the second without textures of its own.
class CopiedModels : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path folder = m_Folder.Path() / "my_models" / "v1.0";
        fs::create_directories(folder);
        for (const char* file : {"Zorvath.csf", "Zorvath.cmf", "Zorvath_idle_ostrel.caf", "Zorvath_Roll.caf",
                                 "Zorvath_reload_ostrel.caf"})
            fs::copy_file(kShipped / file, folder / file);
        m_Previous = fs::current_path();
        fs::current_path(m_Folder.Path());
        m_Folder.Write("models.xml", R"(<CoreModels>
  <CoreModel type="Zorvath" path="my_models/v1.0/">
    <Skel file="Zorvath.csf"/><Mesh file="Zorvath.cmf"/>
    <Anim file="Zorvath_idle_ostrel.caf"/><Anim file="Zorvath_Roll.caf"/><Anim file="Zorvath_reload_ostrel.caf"/>
    <Anchor id="Bip01"/><Anchor id="Bip01 pistola"/><Anchor id="Bip01 nothing"/>
    <Texture wearId="Zorvath0Diffuse" file="a.png"/>
  </CoreModel>
  <CoreModel type="second" path="my_models/v1.0/">
    <Skel file="Zorvath.csf"/><Mesh file="Zorvath.cmf"/><Anim file="Zorvath_Roll.caf"/>
    <Texture wearId="second0Normal" file="n.tga"/>
  </CoreModel>
</CoreModels>)");
        m_Library.LoadCoreModels("models.xml");
    }
    void TearDown() override { fs::current_path(m_Previous); }

    std::unique_ptr<CCharacterEntity> Hero() { return std::unique_ptr<CCharacterEntity>(m_Library.CreateModelInstance("Zorvath", 0)); }

    TempFolder m_Folder;
    fs::path m_Previous;
    CModelsManager m_Library;
};

TEST_F(CopiedModels, LaterModelsCarryEarlierTexturesAndKeysIgnoreThePath)
{
    const TCoreModelInfo* hero = m_Library.Find("Zorvath");
    const TCoreModelInfo* second = m_Library.Find("second");
    ASSERT_TRUE(hero && second);
    EXPECT_EQ(hero->animations.size(), 3u);
    EXPECT_EQ(hero->animations.count("idle_ostrel"), 1u);
    EXPECT_EQ(hero->animations.count("Roll"), 1u);
    EXPECT_EQ(hero->meshes.count("Zorvath"), 1u);
    EXPECT_EQ(hero->textures.size(), 1u);
    EXPECT_EQ(second->textures.at("Zorvath0Diffuse"), "a.png");
    EXPECT_EQ(second->textures.at("second0Normal"), "n.tga");
    EXPECT_EQ(m_Library.CreateModelInstance("nobody", 0), nullptr);
}

TEST_F(CopiedModels, ARunningActionIsNotRestartedAndRemovalStopsItByItsOwnId)
{
    auto hero = Hero();
    ASSERT_TRUE(hero);
    EXPECT_TRUE(hero->BlendCycle("idle_ostrel", 1.0f, 0.0f));
    EXPECT_FALSE(hero->BlendCycle("missing", 1.0f, 0.0f));
    // The action's own length, not the mixer's (the 2-s idle cycle's).
    EXPECT_FLOAT_EQ(hero->ExecuteAction("Roll", 0.0f, 0.0f, 1.0f, false), 1.0f);
    EXPECT_FLOAT_EQ(hero->ExecuteAction("Roll", 0.0f, 0.0f, 1.0f, false), -1.0f);
    EXPECT_FLOAT_EQ(hero->ExecuteAction("missing", 0.0f, 0.0f, 1.0f, false), -1.0f);
    EXPECT_EQ(hero->GetActionCount(), 1);
    hero->Update(1.5f);
    EXPECT_EQ(hero->GetActionCount(), 0);
    EXPECT_FLOAT_EQ(hero->ExecuteAction("Roll", 0.0f, 0.0f, 1.0f, false), 1.0f);

    // The reload runs besides; removal takes the first running one, whatever its file's path.
    EXPECT_FLOAT_EQ(hero->ExecuteAction("reload_ostrel", 0.0f, 0.0f, 1.0f, false), 1.6f);
    hero->Update(0.1f);
    EXPECT_EQ(hero->GetActionCount(), 2);
    hero->RemoveAction();
    hero->Update(0.0f);
    EXPECT_EQ(hero->GetActionCount(), 1);
    hero->RemoveAction();
    hero->Update(0.0f);
    EXPECT_EQ(hero->GetActionCount(), 0);
    EXPECT_EQ(hero->GetCycleCount(), 1);
}

// The game loaded a second time in one process: a character made from the
// first load still animates and hands its bones to the skinning shader.
TEST_F(CopiedModels, ACharacterOutlivesItsModelBeingLoadedAgain)
{
    auto hero = Hero();
    ASSERT_TRUE(hero);
    m_Library.LoadCoreModels("models.xml");
    ASSERT_NE(m_Library.Find("Zorvath"), nullptr);
    EXPECT_TRUE(hero->BlendCycle("idle_ostrel", 1.0f, 0.0f));
    hero->Update(0.5f);
    std::vector<float> rows;
    hero->BuildBoneRows(rows);
    EXPECT_FALSE(rows.empty());
    EXPECT_EQ(rows.size() % 12, 0u);
}

TEST_F(CopiedModels, AMissingAnchorIsTheIdentity)
{
    auto hero = Hero();
    ASSERT_TRUE(hero);
    hero->Update(0.0f);
    const D3DXMATRIX missing = hero->GetBoneMatrix("Bip01 nothing");
    const D3DXMATRIX unknown = hero->GetBoneMatrix("never listed");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(missing.m[i / 4][i % 4], i % 5 == 0 ? 1.0f : 0.0f);
        EXPECT_EQ(unknown.m[i / 4][i % 4], i % 5 == 0 ? 1.0f : 0.0f);
    }
    EXPECT_GT(hero->GetBoneMatrix("Bip01 pistola")._42, 20.0f);
}

// The roll travels 100 forward over its second; the hero's update moves him
// by what is taken, so the sum must not depend on the step and the drawn
// root must stay where he stands.
TEST_F(CopiedModels, ARollTravelsItsLengthWhateverTheStepAndThePoseStaysPut)
{
    for (float step : {1.0f / 30.0f, 2.0f}) {
        auto hero = Hero();
        ASSERT_TRUE(hero);
        hero->Update(0.0f);
        const float standing = hero->GetBoneMatrix("Bip01")._43;
        ASSERT_GT(hero->ExecuteAction("Roll", 0.0f, 0.0f, 1.0f, false), 0.0f);
        D3DXVECTOR3 sum(0, 0, 0);
        float worstDrift = 0.0f;
        for (float t = 0.0f; t < 2.0f; t += step) {
            hero->Update(step);
            float out[3];
            TakeAnimationDisplacement(hero->GetCalModel()->getMixer(), out);
            sum += D3DXVECTOR3(out[0], out[1], out[2]);
            worstDrift = std::max(worstDrift, std::fabs(hero->GetBoneMatrix("Bip01")._43 - standing));
        }
        EXPECT_NEAR(sum.z, 100.0f, 1.0f) << "step " << step;
        EXPECT_NEAR(sum.x, 0.0f, 0.01f);
        EXPECT_LT(worstDrift, 0.5f) << "step " << step;
        float again[3];
        TakeAnimationDisplacement(hero->GetCalModel()->getMixer(), again);
        EXPECT_EQ(again[2], 0.0f);
    }
}

} // namespace
