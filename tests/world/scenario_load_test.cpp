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

std::vector<std::string> ParapetNames(const std::vector<TParapet*>& parapets)
{
    std::vector<std::string> names;
    for (const TParapet* parapet : parapets)
        names.push_back(parapet->name);
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

TEST(Parapet, EndsOnOneAxisAreMovedBeforeLengthDirectionAndLineAreWorkedOut)
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
        const D3DXVECTOR3 along = NormalizeVector(c.fin - c.movedIni);
        EXPECT_NEAR(p.direction.x, along.x, 1e-5f);
        EXPECT_NEAR(p.direction.z, along.z, 1e-5f);
        // Both ends lie on the line, which is finite whatever the input.
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
        {"p_b_n_A_P_008", false, false, 'A', 'P'},
        {"p_b_s_C_P_1", false, true, 'C', 'P'},
        // Too short to carry every letter: what it lacks reads as nothing.
        {"p_a_s_D", true, true, 'D', '\0'},
        {"p", false, false, '\0', '\0'},
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
        EXPECT_EQ(p.name, c.name);
        EXPECT_EQ(p.high, c.high);
        EXPECT_EQ(p.jumpable, c.jumpable);
        EXPECT_EQ(p.zone, c.zone);
        EXPECT_EQ(p.kind, c.kind);
        EXPECT_TRUE(p.free);
        // Centre from the translation, heading and normal from the third row.
        EXPECT_EQ(p.transform.GetPosition(), D3DXVECTOR3(10, 20, 30));
        EXPECT_NEAR(p.transform.GetYaw(), 1.5707964f, 1e-5f);
        EXPECT_NEAR(p.facing.x, 1.0f, 1e-5f);
        EXPECT_NEAR(p.facing.z, 0.0f, 1e-5f);
        EXPECT_TRUE(p.transform.GetMatrix() == turned);
    }
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
    EXPECT_EQ(ParapetNames(parapets), (std::vector<std::string>{"p_a_n_A_B_1", "p_b_n_A_P_2", "p_b_s_B_B_3"}));
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

TEST_F(ScenarioLoad, RoomsTakeTheirSlotsAndSelectScenarioSwitchesThem)
{
    WriteLevel(Room("isla", Object("palm", Parapets(1, Parapet("p_a_n_C_B_9")))) +
               Room("sotano", Object("cellar")) + Room("hangares", Object("hangar")));
    Load();
    EXPECT_EQ(ObjectNames(m_Scenario.GetRoomObjects()), std::vector<std::string>{"hangar"});

    m_Scenario.SelectScenario("isla");
    CRoom* isla = m_Scenario.GetCurrentRoom();
    EXPECT_EQ(ObjectNames(m_Scenario.GetRoomObjects()), std::vector<std::string>{"palm"});
    EXPECT_EQ(m_Scenario.scenarioName, "isla");

    // Any other name is stored but leaves the room alone.
    m_Scenario.SelectScenario("menu");
    EXPECT_EQ(m_Scenario.scenarioName, "menu");
    EXPECT_EQ(m_Scenario.GetCurrentRoom(), isla);

    m_Scenario.SelectScenario("hangares");
    EXPECT_EQ(ObjectNames(m_Scenario.GetRoomObjects()), std::vector<std::string>{"hangar"});
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

TEST_F(ScenarioLoad, ResetParapetsFreesOnlyTheCurrentRoom)
{
    WriteLevel(Room("hangares", Object("a", Parapets(2, Parapet("p_a_n_A_B_1") + Parapet("p_a_n_A_B_2")))) +
               Room("isla", Object("b", Parapets(1, Parapet("p_a_n_A_B_3")))));
    Load();
    for (const char* level : {"isla", "hangares"}) {
        m_Scenario.SelectScenario(level);
        for (TParapet* parapet : m_Scenario.GetParapets()) {
            EXPECT_TRUE(parapet->free);
            parapet->free = false;
        }
    }
    m_Scenario.ResetParapets();
    for (TParapet* parapet : m_Scenario.GetParapets())
        EXPECT_TRUE(parapet->free);
    m_Scenario.SelectScenario("isla");
    ASSERT_EQ(m_Scenario.GetParapets().size(), 1u);
    EXPECT_FALSE(m_Scenario.GetParapets()[0]->free);
}

TEST_F(ScenarioLoad, LampsAndBreakablePiecesAreHandedOverAndStillBuilt)
{
    std::string objects = Object("Farola_3", "", Transform(10, 40, 30)) + Object("pantalan_Farola_61") +
                          Object("Farol", "", Transform(1, 2, 3));
    for (std::size_t i = 0; i < CRigidAnimManager::kStartMatrixCount; ++i) {
        const float f = 100.0f + static_cast<float>(i);
        objects += Object(CRigidAnimManager::StartMatrixNames[i], "", Transform(f, -f, 2 * f, i % 2 == 1));
    }
    objects += Object("Hangar_PUERTA", "", Transform(5, 5, 5));
    WriteLevel(Room("hangares", objects));

    const std::size_t lampsBefore = getParticleManager().GetLampPositions().size();
    Load();

    const std::vector<D3DXVECTOR3>& lamps = getParticleManager().GetLampPositions();
    ASSERT_EQ(lamps.size(), lampsBefore + 1);
    EXPECT_EQ(lamps.back(), D3DXVECTOR3(10, 55, 30));

    for (std::size_t i = 0; i < CRigidAnimManager::kStartMatrixCount; ++i) {
        const char* name = CRigidAnimManager::StartMatrixNames[i];
        SCOPED_TRACE(name);
        const D3DXMATRIX* start = getRigid()->GetStartMatrix(name);
        ASSERT_NE(start, nullptr);
        const float f = 100.0f + static_cast<float>(i);
        EXPECT_EQ(D3DXVECTOR3(start->_41, start->_42, start->_43), D3DXVECTOR3(f, -f, 2 * f));
        EXPECT_FLOAT_EQ(start->_31, i % 2 == 1 ? 1.0f : 0.0f);
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
    void WriteImage(const std::string& name, D3DCOLOR colour)
    {
        std::filesystem::create_directories("data/textures");
        const std::string path = "data/textures/" + name;
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_BMP, Texture(1, 1, {colour}), nullptr), S_OK);
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
        WriteImage(name, 0xFF808080);
    WriteLevel(Room("hangares",
                    Object("first", "<materials count=\"2\">" + Material("d1.bmp", "l1.bmp", "n1.bmp") +
                                        Material("d2.bmp", "", "missing.bmp") + Material("d3.bmp", "", "") +
                                        "</materials>") +
                        Object("second") +
                        Object("third", "<materials count=\"1\">" + Material("d3.bmp", "", "") + "</materials>")),
               1);
    CScenario scenario;
    testing::internal::CaptureStderr();
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
