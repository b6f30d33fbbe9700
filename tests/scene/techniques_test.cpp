// "data/XML/techniques.xml": which technique each entity draws each pass with.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "render/DeviceFixture.h"
#include "scene/Entity3D.h"
#include "scene/MeshCache.h"
#include "scene/RigidEntity.h"

namespace {

using Map = std::map<std::string, std::string>;

// An entity that only carries a name, so the reader is tested without meshes.
class NamedEntity : public IEntidad3D {
public:
    explicit NamedEntity(const std::string& name, const Map& techniques = {})
    {
        m_Name = name;
        m_CurrentPass = "Base";
        m_Techniques = techniques;
    }
    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}
};

class Techniques : public ::testing::Test {
protected:
    static void Write(const std::string& entities)
    {
        std::filesystem::create_directories("data/XML");
        std::ofstream("data/XML/techniques.xml") << "<technique_associations>" << entities << "</technique_associations>";
    }
    drawtest::ScratchFolder m_Folder{"techniques"};
};

TEST_F(Techniques, AnEntityTakesItsOwnEntriesWithTheirDefaultsAndTheLastOfAStateWins)
{
    // A missing file keeps the map.
    const Map before{{"Base", "PhongLightingTech"}, {"Old", "Gone"}};
    NamedEntity box("box", before);
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), before);

    Write(R"(<Entity name="crate"><render technique="Wrong" state="Base"/></Entity>
  <Entity name="box"><render technique="First" state="Base"/><render state="Shadow"/><render technique="T2"/></Entity>
  <Entity name="boxes"><render technique="Wrong" state="Base"/></Entity>
  <Entity name="box"><render technique="T1" state="Base"/></Entity>)");
    box.LoadTechniques();
    EXPECT_EQ(box.GetTechniqueMap(), (Map{{"Base", "T1"}, {"Shadow", "basicTech"}, {"base", "T2"}}));
    EXPECT_EQ(box.GetCurrentTechnique(), "T1");
    // Pass names are case-sensitive.
    box.SetCurrentPass("base");
    EXPECT_EQ(box.GetCurrentTechnique(), "T2");

    // A file that has nothing for the entity empties its map: no technique.
    NamedEntity stranger("stranger", before);
    stranger.LoadTechniques();
    EXPECT_TRUE(stranger.GetTechniqueMap().empty());
    EXPECT_EQ(stranger.GetCurrentTechnique(), "");

    // Broken after the entity's element has closed: nothing of it is taken.
    Write(R"(<Entity name="stranger"><render technique="T1" state="Base"/></Entity><Entity name="x">)");
    stranger.LoadTechniques();
    EXPECT_EQ(stranger.GetCurrentTechnique(), "");
}

// A rigid entity draws its "Base" pass with the lit technique unless the
// file names another for its mesh name.
TEST_F(Techniques, RigidEntitiesStartLitAndFollowTheFile)
{
    testing::internal::CaptureStderr();
    CRigidEntity plain, sky;
    plain.Init("no_such_mesh");
    Write(R"(<Entity name="skybox"><render technique="SkyTech" state="Base"/></Entity>)");
    sky.Init("skybox");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(plain.GetCurrentTechnique(), "PhongLightingTech");
    EXPECT_EQ(sky.GetCurrentTechnique(), "SkyTech");
    getMeshCache().Clear();
}

} // namespace
