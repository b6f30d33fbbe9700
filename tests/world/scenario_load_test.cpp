// Reading the level description: rooms, objects, materials, parapets and the
// points and start poses handed to other managers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "math/VectorMath.h"
#include "platform/d3dx9tex.h"
#include "render/TextureManager.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/RigidEntity.h"
#include "world/Scenario.h"
#include "world/scenario_files.h"

namespace {

using namespace worldtest;

std::vector<std::string> ObjectNames(const std::vector<IEntidad3D*>& objects)
{
    std::vector<std::string> names;
    for (IEntidad3D* object : objects)
        names.push_back(static_cast<CRigidEntity*>(object)->GetObjectName());
    return names;
}

class ScenarioLoad : public ::testing::Test {
protected:
    void Load()
    {
        testing::internal::CaptureStderr(); // the meshes are missing and say so
        m_Scenario.Load("data/XML/instances.xml");
        testing::internal::GetCapturedStderr();
    }

    drawtest::ScratchFolder m_Folder{"scenario"};
    CScenario m_Scenario;
};

// Ends on one axis are moved apart before the line through them is worked
// out, so that the line is finite whatever the file holds.
TEST(Parapet, EndsOnOneAxisAreMovedApartAndBothLieOnTheLine)
{
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    struct Case {
        D3DXVECTOR3 ini, fin, movedIni;
    } cases[] = {
        {{100, 0, 50}, {100, 0, 300}, {99.9f, 0, 50}},
        {{0, 0, 20}, {80, 0, 20}, {0, 0, 19.9f}},
        {{5, 1, 5}, {5, 2, 5}, {4.9f, 1, 4.9f}},
        {{0, 0, 0}, {30, 0, 40}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const TParapet p = MakeParapet("p_a_n_A_B_502", identity, c.ini, c.fin);
        EXPECT_FLOAT_EQ(p.pt_ini.x, c.movedIni.x);
        EXPECT_FLOAT_EQ(p.pt_ini.z, c.movedIni.z);
        EXPECT_EQ(p.pt_fin, c.fin);
        EXPECT_FLOAT_EQ(p.length, ManhattanDistanceXZ(c.movedIni, c.fin));
        ASSERT_TRUE(std::isfinite(p.line.x) && std::isfinite(p.line.y));
        // (A steep line has a large intercept: float rounding shows in the second decimal.)
        EXPECT_NEAR(p.line.x * p.pt_ini.x + p.line.y, p.pt_ini.z, 0.1f);
        EXPECT_NEAR(p.line.x * p.pt_fin.x + p.line.y, p.pt_fin.z, 0.1f);
    }
}

TEST(Parapet, NameLettersAndPlacement)
{
    struct Case {
        const char* name;
        bool high, jumpable;
        char zone, kind;
    } cases[] = {
        {"p_a_n_A_B_502", true, false, 'A', 'B'},
        {"p_b_s_C_P_1", false, true, 'C', 'P'},
        // Too short to carry every letter: what it lacks reads as nothing.
        {"p_a_s_D", true, true, 'D', '\0'},
        {"", false, false, '\0', '\0'},
    };
    D3DXMATRIX turned;
    D3DXMatrixRotationY(&turned, 1.5707964f);
    turned._41 = 10.0f;
    turned._42 = 20.0f;
    turned._43 = 30.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TParapet p = MakeParapet(c.name, turned, {0, 0, 0}, {10, 0, 10});
        EXPECT_EQ(p.high, c.high);
        EXPECT_EQ(p.jumpable, c.jumpable);
        EXPECT_EQ(p.zone, c.zone);
        EXPECT_EQ(p.kind, c.kind);
    }
    // Centre from the translation, heading and normal from the third row.
    const TParapet p = MakeParapet("p", turned, {0, 0, 0}, {10, 0, 10});
    EXPECT_EQ(p.transform.GetPosition(), D3DXVECTOR3(10, 20, 30));
    EXPECT_NEAR(p.transform.GetYaw(), 1.5707964f, 1e-5f);
    EXPECT_NEAR(p.facing.x, 1.0f, 1e-5f);
    EXPECT_NEAR(p.facing.z, 0.0f, 1e-5f);
    EXPECT_TRUE(p.transform.GetMatrix() == turned);
}

TEST_F(ScenarioLoad, ObjectsWithParapetsComeFirstAndParapetsFollowFileOrder)
{
    WriteLevel(Room("hangares",
                    Object("wall") +
                        Object("crates", Parapets(2, Parapet("p_a_n_A_B_1") + Parapet("p_b_n_A_P_2"))) +
                        Object("floor", Parapets(0, "")) +
                        // One more child than announced: it is not read.
                        Object("barrels", Parapets(1, Parapet("p_b_s_B_B_3") + Parapet("p_b_s_B_B_4")),
                               Transform(7, 8, 9, true)) +
                        Object("sky")),
               1);
    Load();

    ASSERT_NE(m_Scenario.GetCurrentRoom(), nullptr);
    EXPECT_EQ(m_Scenario.scenarioName, "hangares");
    const std::vector<IEntidad3D*> objects = m_Scenario.GetRoomObjects();
    EXPECT_EQ(ObjectNames(objects), (std::vector<std::string>{"crates", "barrels", "wall", "floor", "sky"}));

    const std::vector<TParapet*> parapets = m_Scenario.GetParapets();
    ASSERT_EQ(parapets.size(), 3u);
    EXPECT_EQ(parapets[0]->name + parapets[1]->name + parapets[2]->name, "p_a_n_A_B_1p_b_n_A_P_2p_b_s_B_B_3");
    // Callers keep indices: the same records on every call.
    EXPECT_EQ(m_Scenario.GetParapets(), parapets);

    // An object stands where its transform puts it, with the file's radius,
    // even though its mesh is missing.
    auto* barrels = static_cast<CRigidEntity*>(objects[1]);
    EXPECT_EQ(barrels->GetName(), "barrels");
    EXPECT_EQ(barrels->GetMesh(), nullptr);
    EXPECT_EQ(barrels->GetTransform().GetPosition(), D3DXVECTOR3(7, 8, 9));
    EXPECT_FLOAT_EQ(barrels->GetTransform().GetMatrix()._31, 1.0f);
    EXPECT_FLOAT_EQ(barrels->GetRadius(), 12.5f);
}

TEST_F(ScenarioLoad, RoomsTakeTheirSlotsAndOnlyTheCurrentOnesParapetsAreFreed)
{
    WriteLevel(Room("isla", Object("palm", Parapets(1, Parapet("p_a_n_C_B_9")))) + Room("sotano", Object("cellar")) +
               Room("hangares", Object("hangar", Parapets(2, Parapet("p_a_n_A_B_1") + Parapet("p_a_n_A_B_2")))));
    Load();
    EXPECT_EQ(ObjectNames(m_Scenario.GetRoomObjects()), std::vector<std::string>{"hangar"});
    m_Scenario.SelectScenario("isla");
    CRoom* isla = m_Scenario.GetCurrentRoom();
    EXPECT_EQ(ObjectNames(m_Scenario.GetRoomObjects()), std::vector<std::string>{"palm"});
    // Any other name is stored but leaves the room alone.
    m_Scenario.SelectScenario("menu");
    EXPECT_EQ(m_Scenario.scenarioName, "menu");
    EXPECT_EQ(m_Scenario.GetCurrentRoom(), isla);

    for (const char* level : {"isla", "hangares"}) {
        m_Scenario.SelectScenario(level);
        EXPECT_EQ(m_Scenario.GetParapets().size(), level[0] == 'i' ? 1u : 2u);
        for (TParapet* parapet : m_Scenario.GetParapets())
            parapet->free = false;
    }
    m_Scenario.ResetParapets();
    for (TParapet* parapet : m_Scenario.GetParapets())
        EXPECT_TRUE(parapet->free);
    m_Scenario.SelectScenario("isla");
    EXPECT_FALSE(m_Scenario.GetParapets().at(0)->free);
}

TEST_F(ScenarioLoad, ARoomTheListHasNoSlotForIsLeftOutAndMissingRoomsAnswerEmpty)
{
    WriteLevel(Room("isla", Object("palm")), 1);
    Load();
    EXPECT_EQ(m_Scenario.scenarioName, "hangares");
    EXPECT_EQ(m_Scenario.GetCurrentRoom(), nullptr);
    m_Scenario.SelectScenario("isla");
    EXPECT_EQ(m_Scenario.GetCurrentRoom(), nullptr);
    EXPECT_TRUE(m_Scenario.GetRoomObjects().empty());
    EXPECT_TRUE(m_Scenario.GetParapets().empty());
    EXPECT_EQ(m_Scenario.GetNearestLight({0, 0, 0}), nullptr);
    m_Scenario.ResetParapets();

    // No file at all: still a named, empty level.
    CScenario none;
    none.Load("data/XML/no_such_file.xml");
    EXPECT_EQ(none.scenarioName, "hangares");
    EXPECT_EQ(none.GetCurrentRoom(), nullptr);
}

TEST_F(ScenarioLoad, LampsAndBreakablePiecesAreHandedOverAndStillBuilt)
{
    std::string objects = Object("Farola_3", "", Transform(10, 40, 30)) + Object("pantalan_Farola_61") +
                          Object("Farol", "", Transform(1, 2, 3));
    for (std::size_t i = 0; i < CRigidAnimManager::kStartMatrixCount; ++i)
        objects += Object(CRigidAnimManager::StartMatrixNames[i], "", Transform(100.0f + i, -1, 2, true));
    objects += Object("Hangar_PUERTA", "", Transform(5, 5, 5));
    WriteLevel(Room("hangares", objects));

    const std::size_t lampsBefore = getParticleManager().GetLampPositions().size();
    Load();

    const std::vector<D3DXVECTOR3>& lamps = getParticleManager().GetLampPositions();
    ASSERT_EQ(lamps.size(), lampsBefore + 1);
    EXPECT_EQ(lamps.back(), D3DXVECTOR3(10, 55, 30));

    for (std::size_t i = 0; i < CRigidAnimManager::kStartMatrixCount; ++i) {
        const D3DXMATRIX* start = getRigid()->GetStartMatrix(CRigidAnimManager::StartMatrixNames[i]);
        ASSERT_NE(start, nullptr) << CRigidAnimManager::StartMatrixNames[i];
        EXPECT_EQ(start->_41, 100.0f + i) << CRigidAnimManager::StartMatrixNames[i];
        EXPECT_EQ(start->_31, 1.0f) << "the whole matrix, turn included";
    }
    EXPECT_EQ(getRigid()->GetStartMatrix("Hangar_PUERTA"), nullptr);
    EXPECT_EQ(getRigid()->GetStartMatrix("Farola_3"), nullptr);
    EXPECT_EQ(m_Scenario.GetRoomObjects().size(), 3 + CRigidAnimManager::kStartMatrixCount + 1);
}

// Materials need real textures to tell one from another.
class ScenarioMaterials : public drawtest::DeviceTest {
protected:
    void TearDown() override
    {
        getTextureManager().Clear();
        DeviceTest::TearDown();
    }
    void WriteImage(const std::string& name)
    {
        std::filesystem::create_directories("data/textures");
        const std::string path = "data/textures/" + name;
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_BMP, Texture(1, 1, {0xFF808080}), nullptr), S_OK);
    }
    static std::string Material(const std::string& diffuse, const std::string& lightmap, const std::string& normal)
    {
        return "<material diffusemap=\"" + diffuse + "\" lightmap=\"" + lightmap + "\" normalmap=\"" + normal +
               "\"/>";
    }

    drawtest::ScratchFolder m_Folder{"scenario_materials"};
};

TEST_F(ScenarioMaterials, EachMaterialFillsThreeSlotsAndCarriesOverToAnObjectWithoutAny)
{
    for (const char* name : {"d1.bmp", "l1.bmp", "n1.bmp", "d2.bmp", "d3.bmp"})
        WriteImage(name);
    WriteLevel(Room("hangares",
                    Object("first", "<materials count=\"2\">" + Material("d1.bmp", "l1.bmp", "n1.bmp") +
                                        Material("d2.bmp", "", "missing.bmp") + Material("d3.bmp", "", "") +
                                        "</materials>") +
                        Object("second") +
                        Object("third", "<materials count=\"1\">" + Material("d3.bmp", "", "") + "</materials>")),
               1);
    CScenario scenario;
    testing::internal::CaptureStderr(); // the meshes are missing and say so
    scenario.Load("data/XML/instances.xml");
    testing::internal::GetCapturedStderr();

    CTextureManager& cache = getTextureManager();
    const std::vector<IEntidad3D*> objects = scenario.GetRoomObjects();
    ASSERT_EQ(objects.size(), 3u);
    const std::vector<IDirect3DTexture9*> expected{cache.GetTexture("d1.bmp"), cache.GetTexture("l1.bmp"),
                                                   cache.GetTexture("n1.bmp"), cache.GetTexture("d2.bmp"),
                                                   nullptr,                    nullptr};
    ASSERT_NE(expected[0], nullptr);
    EXPECT_EQ(objects[0]->GetTextures(), expected);
    EXPECT_EQ(objects[1]->GetTextures(), expected);
    EXPECT_EQ(objects[2]->GetTextures(),
              (std::vector<IDirect3DTexture9*>{cache.GetTexture("d3.bmp"), nullptr, nullptr}));
}

} // namespace
