// The generated characters as the game loads them: every name the game plays,
// standing upright, and skinning that puts the weapon where its anchor says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "datagen/Characters.h"
#include "render/VertexBuffers.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"

namespace fs = std::filesystem;

namespace {

class ShippedModels : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const fs::path previous = fs::current_path();
        fs::current_path(VANTOREL_WORKDIR);
        library = new CModelsManager;
        library->LoadCoreModels("Data/XML/CoreModels.xml");
        fs::current_path(previous);
    }
    static void TearDownTestSuite()
    {
        delete library;
        library = nullptr;
    }
    static CModelsManager* library;
};
CModelsManager* ShippedModels::library = nullptr;

// A vertex skinned on the CPU exactly as the shader does with the uploaded rows.
D3DXVECTOR3 Skin(const TCalNormalVertex& v, const std::vector<float>& rows)
{
    const unsigned char weights[4] = {static_cast<unsigned char>(v.weights >> 16), static_cast<unsigned char>(v.weights >> 8),
                                      static_cast<unsigned char>(v.weights), static_cast<unsigned char>(v.weights >> 24)};
    const unsigned char bones[4] = {static_cast<unsigned char>(v.indices >> 16), static_cast<unsigned char>(v.indices >> 8),
                                    static_cast<unsigned char>(v.indices), static_cast<unsigned char>(v.indices >> 24)};
    D3DXVECTOR3 p(0, 0, 0);
    for (int j = 0; j < 4; ++j) {
        const float* r = &rows[bones[j] * 12];
        const float w = weights[j] / 255.0f;
        p.x += w * (r[0] * v.x + r[1] * v.y + r[2] * v.z + r[3]);
        p.y += w * (r[4] * v.x + r[5] * v.y + r[6] * v.z + r[7]);
        p.z += w * (r[8] * v.x + r[9] * v.y + r[10] * v.z + r[11]);
    }
    return p;
}

TEST_F(ShippedModels, EveryModelHoldsEveryNameAndStandsUprightFacingPlusZ)
{
    for (const datagen::CharacterModel& model : datagen::CharacterModels()) {
        SCOPED_TRACE(model.type);
        const TCoreModelInfo* info = library->Find(model.type);
        ASSERT_NE(info, nullptr);
        const std::vector<std::string> names = datagen::CharacterAnimationNames(model);
        for (const std::string& name : names)
            EXPECT_EQ(info->animations.count(name), 1u) << name;
        EXPECT_EQ(info->animations.size(), names.size());
        EXPECT_LE(info->vertexBuffer.bonePalette.size(), static_cast<std::size_t>(kMaxPaletteBones));

        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(model.type, 0));
        ASSERT_TRUE(body);
        body->Update(0.0f);
        std::vector<float> rows;
        body->BuildBoneRows(rows);
        const auto* vb = static_cast<const CCal3DVertexBuffer*>(body->GetMesh());
        const TCalNormalVertex* vertices = vb->GetVertices();
        float low = 1e9f, high = -1e9f;
        for (unsigned i = 0; i < vb->GetVertexCount(); ++i) {
            const D3DXVECTOR3 p = Skin(vertices[i], rows);
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
        EXPECT_NEAR(low, 0.0f, 1.0f);
        EXPECT_NEAR(high, 80.0f, 6.0f);
        const D3DXMATRIX head = body->GetBoneMatrix(model.bonePrefix + " Head");
        EXPECT_GT(head._42, 60.0f);
        // The feet point the way the character faces.
        const D3DXMATRIX foot = body->GetBoneMatrix(model.bonePrefix + " R Foot");
        EXPECT_NEAR(foot._13, 1.0f, 1e-3f);
        EXPECT_LT(foot._42, 10.0f);
    }
}

// A vertex of the weapon, skinned from the uploaded rows in a pose far from
// the bind pose, lands where the anchor's matrix puts the same bone-local point.
TEST_F(ShippedModels, SkinnedWeaponVerticesFollowTheirAnchorMatrix)
{
    std::unique_ptr<CCharacterEntity> hero(library->CreateModelInstance("Zorvath", 0));
    ASSERT_TRUE(hero);
    hero->Update(0.0f);
    const D3DXMATRIX bind = hero->GetBoneMatrix("Bip01 pistola");
    std::vector<float> bindRows;
    hero->BuildBoneRows(bindRows);
    D3DXMATRIX toBone;
    ASSERT_NE(D3DXMatrixInverse(&toBone, nullptr, &bind), nullptr);

    ASSERT_GT(hero->ExecuteAction("combo_3hits_1", 0.0f, 0.0f, 1.0f, false), 0.0f);
    hero->Update(1.5f);
    const D3DXMATRIX posed = hero->GetBoneMatrix("Bip01 pistola");
    EXPECT_GT(std::fabs(posed._11 - bind._11) + std::fabs(posed._22 - bind._22), 0.05f);
    std::vector<float> rows;
    hero->BuildBoneRows(rows);

    const auto* vb = static_cast<const CCal3DVertexBuffer*>(hero->GetMesh());
    const std::vector<int>& palette = vb->bonePalette;
    const int pistol = hero->GetCoreModelInfo()->anchors.at("Bip01 pistola");
    const int place = static_cast<int>(std::find(palette.begin(), palette.end(), pistol) - palette.begin());
    int checked = 0;
    for (unsigned i = 0; i < vb->GetVertexCount(); ++i) {
        const TCalNormalVertex& v = vb->GetVertices()[i];
        if (static_cast<int>((v.indices >> 16) & 0xFF) != place)
            continue;
        D3DXVECTOR3 local, expected;
        const D3DXVECTOR3 at = Skin(v, bindRows);
        D3DXVec3TransformCoord(&local, &at, &toBone);
        D3DXVec3TransformCoord(&expected, &local, &posed);
        const D3DXVECTOR3 skinned = Skin(v, rows);
        EXPECT_NEAR(skinned.x, expected.x, 0.05f);
        EXPECT_NEAR(skinned.y, expected.y, 0.05f);
        EXPECT_NEAR(skinned.z, expected.z, 0.05f);
        ++checked;
    }
    EXPECT_EQ(checked, 24);
}

} // namespace
