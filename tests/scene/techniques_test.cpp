#include <gtest/gtest.h>

#include <map>
#include <string>

#include "render/DeviceFixture.h"
#include "scene/Entity3D.h"
#include "scene/MeshCache.h"
#include "scene/RigidEntity.h"
#include "scene/mesh_file.h"

namespace {

using Map = std::map<std::string, std::string>;

// An entity that only carries a name, so the techniques reader is tested
// without meshes.
class NamedEntity : public IEntidad3D {
public:
    explicit NamedEntity(const std::string& name)
    {
        m_Name = name;
        m_CurrentPass = "Base";
    }
    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}
};

void WriteTechniques(const std::string& text)
{
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    meshfile::WriteFile("data/XML/techniques.xml", bytes);
}

class Techniques : public ::testing::Test {
protected:
    drawtest::ScratchFolder m_Folder{"techniques"};
};

TEST_F(Techniques, TakesOnlyTheEntitysOwnEntriesWithTheirDefaults)
{
    WriteTechniques(R"(<technique_associations>
  <Entity name="crate"><render technique="Wrong" state="Base"/></Entity>
  <Entity name="box">
    <render technique="T1" state="Base"/>
    <render state="Shadow"/>
    <render technique="T2"/>
  </Entity>
  <Entity name="boxes"><render technique="Wrong" state="Base"/></Entity>
</technique_associations>)");
    NamedEntity box("box");
    box.SetTechniqueMap({{"Base", "PhongLightingTech"}, {"Old", "Gone"}});
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), (Map{{"Base", "T1"}, {"Shadow", "basicTech"}, {"base", "T2"}}));
    EXPECT_EQ(box.GetCurrentTechnique(), "T1");
}

TEST_F(Techniques, ElementsOfOneNameAddUpAndTheLastOfAStateWins)
{
    WriteTechniques(R"(<technique_associations>
  <Entity name="box"><render technique="First" state="Base"/><render technique="S" state="Shadow"/></Entity>
  <Entity name="other"><render technique="Wrong" state="Dead"/></Entity>
  <Entity name="box"><render technique="Second" state="Base"/></Entity>
</technique_associations>)");
    NamedEntity box("box");
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), (Map{{"Base", "Second"}, {"Shadow", "S"}}));
}

// A file that reads through but has nothing for the entity empties its map;
// the pass then selects no technique.
TEST_F(Techniques, AnEntityTheFileDoesNotNameEndsWithNoTechnique)
{
    WriteTechniques(R"(<technique_associations><Entity name="box"><render technique="T1" state="Base"/></Entity>
</technique_associations>)");
    NamedEntity stranger("stranger");
    stranger.SetTechniqueMap({{"Base", "PhongLightingTech"}});
    stranger.LoadTechniques();
    EXPECT_TRUE(stranger.GetTechniqueMap().empty());
    EXPECT_EQ(stranger.GetCurrentTechnique(), "");
    EXPECT_EQ(stranger.GetTechniqueMap(), (Map{{"Base", ""}}));
}

TEST_F(Techniques, AMissingOrBrokenFileKeepsTheMap)
{
    const Map before{{"Base", "PhongLightingTech"}};
    NamedEntity box("box");
    box.SetTechniqueMap(before);
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), before);

    // Broken after the entity's element has closed: nothing of it is taken.
    WriteTechniques(R"(<technique_associations><Entity name="box"><render technique="T1" state="Base"/></Entity>
<Entity name="x"></technique_associations>)");
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), before);
}

TEST_F(Techniques, PassNamesAreCaseSensitive)
{
    WriteTechniques(R"(<technique_associations><Entity name="box"><render technique="Lower"/></Entity>
</technique_associations>)");
    NamedEntity box("box");
    box.LoadTechniques();
    EXPECT_EQ(box.GetCurrentTechnique(), "");
    box.SetCurrentPass("base");
    EXPECT_EQ(box.GetCurrentTechnique(), "Lower");
}

// A rigid entity draws its "Base" pass with the lit technique unless the
// file names another for its mesh name.
TEST_F(Techniques, RigidEntitiesStartLitAndFollowTheFile)
{
    testing::internal::CaptureStderr();
    CRigidEntity plain;
    plain.Init("no_such_mesh");
    EXPECT_EQ(plain.GetName(), "no_such_mesh");
    EXPECT_EQ(plain.GetCurrentPass(), "Base");
    EXPECT_EQ(plain.GetCurrentTechnique(), "PhongLightingTech");

    WriteTechniques(R"(<technique_associations><Entity name="skybox"><render technique="SkyTech" state="Base"/></Entity>
</technique_associations>)");
    CRigidEntity sky;
    sky.Init("skybox");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(sky.GetCurrentTechnique(), "SkyTech");
    getMeshCache().Clear();
}

} // namespace
