// Reading the level files: rooms, objects, materials, parapets, the rooms'
// spot lights, what other managers are handed, and the lights near a point.
#include <gtest/gtest.h>

#include <cmath>
#include <sys/resource.h>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "math/VectorMath.h"
#include "render/DeviceFixture.h"
#include "render/TextureManager.h"
#include "scene/LightCamera.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/RigidEntity.h"
#include "platform/bounded.h"
#include "world/Scenario.h"

namespace {

void WriteFile(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

// Twelve numbers: the three axis rows of a turn about Y by a quarter turn
// when turned is set (third row +X), then the translation.
std::string Transform(float x, float y, float z, bool turned = false)
{
    const std::string axes = turned ? "0 0 -1 0 1 0 1 0 0 " : "1 0 0 0 1 0 0 0 1 ";
    return axes + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z);
}

std::string Object(const std::string& name, const std::string& children = "",
                   const std::string& transform = Transform(0, 0, 0))
{
    return "<object name=\"" + name + "\" transform=\"" + transform + "\" radio=\"12.5\">" + children + "</object>";
}

// A "parapets" element announcing `count` children, whatever it holds.
std::string Parapets(int count, std::initializer_list<const char*> names,
                     const std::string& transform = Transform(0, 0, 0))
{
    std::string text = "<parapets count=\"" + std::to_string(count) + "\">";
    for (const char* name : names)
        text += "<parapet name=\"" + std::string(name) + "\" transform=\"" + transform +
                "\" pt_ini=\"0 0 0\" pt_fin=\"10 0 10\"/>";
    return text + "</parapets>";
}

std::string Room(const std::string& name, const std::string& objects)
{
    return "<room name=\"" + name + "\"><objects>" + objects + "</objects></room>";
}

void WriteLevel(const std::string& rooms, int count = 2)
{
    WriteFile("data/XML/instances.xml", "<rooms count=\"" + std::to_string(count) + "\">" + rooms + "</rooms>");
}

std::vector<std::string> ObjectNames(const std::vector<IEntidad3D*>& objects)
{
    std::vector<std::string> names;
    for (IEntidad3D* object : objects)
        names.push_back(static_cast<CRigidEntity*>(object)->GetObjectName());
    return names;
}

// Ground Manhattan distances are measured from here; heights never count.
const D3DXVECTOR3 kPoint(5.0f, 0.0f, 5.0f);

D3DXVECTOR3 EyeAt(float distance)
{
    return D3DXVECTOR3(kPoint.x + distance * 0.25f, 80.0f, kPoint.z - distance * 0.75f);
}

// With a device: materials need real textures to tell one from another.
class ScenarioLoad : public drawtest::DeviceTest {
protected:
    void TearDown() override
    {
        getTextureManager().Clear();
        DeviceTest::TearDown();
    }
    void Load(const char* file = "data/XML/instances.xml", CScenario* scenario = nullptr)
    {
        testing::internal::CaptureStderr(); // the meshes and light files are missing and say so
        (scenario ? *scenario : m_Scenario).Load(file);
        testing::internal::GetCapturedStderr();
    }

    // The current room of an empty level given lights at these distances from kPoint, in order.
    const std::vector<CLightCamera*>& PlaceLights(const std::vector<float>& distances)
    {
        if (!m_Scenario.GetCurrentRoom()) {
            WriteLevel(Room("hangares", "") + Room("isla", ""));
            Load();
        }
        std::vector<CLightCamera*> lights;
        for (float d : distances) {
            lights.push_back(new CLightCamera);
            lights.back()->SetLookAt(EyeAt(d), EyeAt(d) + D3DXVECTOR3(0, -80, 1));
        }
        m_Scenario.GetCurrentRoom()->SetLights(lights);
        return m_Scenario.GetCurrentRoom()->GetLights();
    }

    drawtest::ScratchFolder m_Folder;
    CScenario m_Scenario;
};

// Ends on one axis are moved apart before the line through them is worked
// out, so that the line is finite whatever the file holds. A name too short
// to carry every letter reads what it lacks as nothing.
TEST(Parapet, EndsOnOneAxisAreMovedApartAndBothLieOnTheLine)
{
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    const struct {
        D3DXVECTOR3 ini, fin, movedIni;
    } cases[] = {
        {{100, 0, 50}, {100, 0, 300}, {99.9f, 0, 50}},
        {{0, 0, 20}, {80, 0, 20}, {0, 0, 19.9f}},
        {{5, 1, 5}, {5, 2, 5}, {4.9f, 1, 4.9f}},
        {{0, 0, 0}, {30, 0, 40}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
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

    const TParapet shortName = MakeParapet("p_a_s_D", identity, {0, 0, 0}, {10, 0, 10});
    EXPECT_TRUE(shortName.high && shortName.jumpable && shortName.zone == 'D' && shortName.kind == '\0');
    const TParapet empty = MakeParapet("", identity, {0, 0, 0}, {10, 0, 10});
    EXPECT_TRUE(!empty.high && !empty.jumpable && empty.zone == '\0' && empty.kind == '\0');
}

TEST_F(ScenarioLoad, ObjectsWithParapetsComeFirstAndParapetsFollowFileOrder)
{
    WriteLevel(Room("hangares",
                    Object("wall") + Object("crates", Parapets(2, {"p_a_n_A_B_1", "p_b_n_A_P_2"})) +
                        Object("floor", Parapets(0, {})) +
                        // One more child than announced: it is not read.
                        Object("barrels", Parapets(1, {"p_b_s_C_P_3", "p_b_s_B_B_4"}, Transform(10, 20, 30, true)),
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
    EXPECT_EQ(parapets[0]->name + parapets[1]->name + parapets[2]->name, "p_a_n_A_B_1p_b_n_A_P_2p_b_s_C_P_3");
    EXPECT_EQ(m_Scenario.GetParapets(), parapets); // callers keep indices: the same records on every call
    // The name's letters; the centre from the translation, heading and normal from the third row.
    EXPECT_TRUE(parapets[0]->high && !parapets[0]->jumpable && parapets[0]->zone == 'A' && parapets[0]->kind == 'B');
    const TParapet& turned = *parapets[2];
    EXPECT_TRUE(!turned.high && turned.jumpable && turned.zone == 'C' && turned.kind == 'P');
    EXPECT_EQ(turned.transform.GetPosition(), D3DXVECTOR3(10, 20, 30));
    EXPECT_NEAR(turned.transform.GetYaw(), 1.5707964f, 1e-5f);
    EXPECT_NEAR(turned.facing.x, 1.0f, 1e-5f);
    EXPECT_EQ(turned.transform.GetMatrix(), D3DXMATRIX(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 10, 20, 30, 1));

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
    WriteLevel(Room("isla", Object("palm", Parapets(1, {"p_a_n_C_B_9"}))) + Room("sotano", Object("cellar")) +
               Room("hangares", Object("hangar", Parapets(2, {"p_a_n_A_B_1", "p_a_n_A_B_2"}))));
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
    Load("data/XML/no_such_file.xml", &none);
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

    getParticleManager().AddLampPosition(1, 2, 3); // a level loaded before
    Load();
    Load(); // the level again, as a second start of the game loads it

    const std::vector<D3DXVECTOR3>& lamps = getParticleManager().GetLampPositions();
    ASSERT_EQ(lamps.size(), 1u) << "the lamps of this level, once";
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

TEST_F(ScenarioLoad, EachMaterialFillsThreeSlotsAndCarriesOverToAnObjectWithoutAny)
{
    std::filesystem::create_directories("data/textures");
    for (const std::string name : {"d1", "l1", "n1", "d2", "d3"})
        ASSERT_EQ(D3DXSaveTextureToFileA(("data/textures/" + name + ".bmp").c_str(), D3DXIFF_BMP,
                                         Texture(1, 1, {0xFF808080}), nullptr),
                  S_OK);
    const std::string d3 = R"(<material diffusemap="d3.bmp" lightmap="" normalmap=""/>)";
    WriteLevel(Room("hangares", Object("first", R"(<materials count="2">
        <material diffusemap="d1.bmp" lightmap="l1.bmp" normalmap="n1.bmp"/>
        <material diffusemap="d2.bmp" lightmap="" normalmap="missing.bmp"/>)" + d3 + "</materials>") +
                                    Object("second") +
                                    Object("third", "<materials count=\"1\">" + d3 + "</materials>")),
               1);
    Load();

    CTextureManager& cache = getTextureManager();
    const std::vector<IEntidad3D*> objects = m_Scenario.GetRoomObjects();
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

TEST_F(ScenarioLoad, EachRoomReadsItsOwnLightFileAndTheAspectIsAWholeNumberNeverZero)
{
    WriteFile("data/XML/init_configuration.xml", R"(<CONFIG><PROPERTIES width="1000" height="400"/></CONFIG>)");
    // The third spot is beyond the count; the second room's file has fewer
    // spots than it announces, and no empty light is left in the list.
    WriteFile("data/XML/light_instances_1.xml", R"(<spots count="2"><spot position="1 2 3" target="4 5 6"/>
        <spot position="-10 200 30" target="0 0 0"/><spot position="7 7 7" target="8 8 8"/></spots>)");
    WriteFile("data/XML/light_instances_2.xml", R"(<spots count="3"><spot position="100 100 100" target="0 0 0"/>
        </spots>)");
    WriteLevel(Room("hangares", "") + Room("isla", ""));
    Load();

    const std::vector<CLightCamera*>& hangares = m_Scenario.GetCurrentRoom()->GetLights();
    ASSERT_EQ(hangares.size(), 2u);
    EXPECT_EQ(hangares[0]->eye, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(hangares[0]->target, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(hangares[1]->eye, D3DXVECTOR3(-10, 200, 30));
    // The spot lights' tuned projection, at 1000 / 400 in whole numbers.
    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovRH(&expected, 1000.04f, 2.0f, 0.0f, 1500.0f);
    EXPECT_TRUE(hangares[0]->projection == expected);

    m_Scenario.SelectScenario("isla");
    ASSERT_EQ(m_Scenario.GetCurrentRoom()->GetLights().size(), 1u);
    EXPECT_EQ(m_Scenario.GetCurrentRoom()->GetLights()[0]->eye, D3DXVECTOR3(100, 100, 100));

    for (const char* size : {R"(width="640" height="0")", R"(width="600" height="800")"}) {
        WriteFile("data/XML/init_configuration.xml", std::string("<C><PROPERTIES ") + size + "/></C>");
        EXPECT_FLOAT_EQ(CRoom::CLightsParser(nullptr).GetAspect(), 1.0f) << size;
    }
}

// Each room reads the configuration again for its lights' aspect, and the
// game's start read it before: a bad window size is named once a run.
TEST_F(ScenarioLoad, ABadWindowSizeIsNamedOnceHoweverManyRoomsReadIt)
{
    bounded::ForgetSaidLines(); // as at a run's start
    WriteFile("data/XML/init_configuration.xml", R"(<C><PROPERTIES width="0" height="600"/></C>)");
    WriteLevel(Room("hangares", "") + Room("isla", ""));
    testing::internal::CaptureStderr();
    CConfiguration().LoadXML("data/XML/init_configuration.xml");
    m_Scenario.Load("data/XML/instances.xml");
    const std::string printed = testing::internal::GetCapturedStderr();
    const std::string line = "data/XML/init_configuration.xml: window width \"0\"";
    const size_t at = printed.find(line);
    ASSERT_NE(at, std::string::npos) << printed;
    EXPECT_EQ(printed.find(line, at + 1), std::string::npos) << printed;
    ASSERT_NE(m_Scenario.GetCurrentRoom(), nullptr);
    bounded::ForgetSaidLines();
}

TEST_F(ScenarioLoad, NearestLightPrefersOneWithin1000ThenWithin5000ThenTheFirst)
{
    const float clamped = 0.01f, at100 = 1.0f - 100.0f / 350.0f + 0.01f;
    const struct {
        std::vector<float> distances;
        int best, runnerUp;
        float weight;
    } cases[] = {
        {{1200, 800}, 1, 0, clamped},
        {{800, 1200}, 0, 0, clamped}, // the runner-up starts as the first light, and here stays it
        {{1200, 3000}, 0, 0, clamped},
        {{300, 100, 2000}, 1, 0, at100},
        {{6000, 5500}, 0, 0, clamped}, // nothing nearer than 5000: the first, weighed where it is
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.distances));
        const std::vector<CLightCamera*>& lights = PlaceLights(c.distances);
        CLightCamera* best = m_Scenario.GetNearestLight(kPoint);
        ASSERT_EQ(best, lights[c.best]);
        EXPECT_EQ(m_Scenario.GetCurrentRoom()->secondLight, lights[c.runnerUp]);
        EXPECT_NEAR(best->influence, c.weight, 1e-5f);
        EXPECT_FLOAT_EQ(best->range, c.distances[c.best]);
    }

    PlaceLights({});
    EXPECT_EQ(m_Scenario.GetNearestLight(kPoint), nullptr);
}

// The second call finds both lights already in the slots: neither is copied again.
TEST_F(ScenarioLoad, TwoNearestFillsTheFirstTwoSlotsWithCopiesHeavierFirst)
{
    const std::vector<CLightCamera*>& lights = PlaceLights({300, 50, 200});
    CLightCamera slots[4];
    slots[0].SetLookAt(EyeAt(9000), kPoint);
    slots[1].SetLookAt(EyeAt(8000), kPoint);
    slots[2].SetLookAt(EyeAt(10), kPoint);
    slots[3].influence = 0.5f;
    const CLightCamera third = slots[2];
    for (int call = 0; call < 2; ++call) {
        SCOPED_TRACE(call);
        m_Scenario.GetTwoNearestLights(kPoint, &slots[0], &slots[1], &slots[2], &slots[3]);
        EXPECT_EQ(slots[0].eye, lights[1]->eye);
        EXPECT_TRUE(slots[0].view == lights[1]->view);
        EXPECT_NEAR(slots[0].influence, 1.0f - 50.0f / 350.0f, 1e-5f);
        EXPECT_EQ(slots[1].eye, lights[2]->eye);
        EXPECT_NEAR(slots[1].influence, 1.0f - 200.0f / 350.0f, 1e-5f);
    }
    EXPECT_EQ(slots[2].eye, third.eye);
    EXPECT_EQ(slots[2].influence, third.influence);
    EXPECT_EQ(slots[3].influence, 0.5f);

    // A nearer light comes into reach: it takes the first slot and the old
    // nearest moves down to the second.
    PlaceLights({50, 200, 20});
    m_Scenario.GetTwoNearestLights(kPoint, &slots[0], &slots[1], &slots[2], &slots[3]);
    EXPECT_EQ(slots[0].eye, EyeAt(20));
    EXPECT_NEAR(slots[0].influence, 1.0f - 20.0f / 350.0f, 1e-5f);
    EXPECT_EQ(slots[1].eye, EyeAt(50));

    // Without room lights the slots are reweighed and ordered; out of reach
    // weighs almost nothing (never below zero).
    PlaceLights({});
    slots[0].SetLookAt(EyeAt(1000), kPoint);
    slots[1].SetLookAt(EyeAt(100), kPoint);
    m_Scenario.GetTwoNearestLights(kPoint, &slots[0], &slots[1], &slots[2], &slots[3]);
    EXPECT_EQ(slots[0].eye, EyeAt(100));
    EXPECT_NEAR(slots[0].influence, 1.0f - 100.0f / 350.0f, 1e-5f);
    EXPECT_EQ(slots[1].eye, EyeAt(1000));
    EXPECT_FLOAT_EQ(slots[1].influence, 0.001f);
}

} // namespace

namespace {

// Counts far past the children - the ones that once went straight into an
// allocation - take only what the file holds.
TEST_F(ScenarioLoad, CountsFarPastTheChildrenTakeOnlyWhatTheFileHolds)
{
    for (const char* huge : {"100000000", "99999999999999999999"}) {
        SCOPED_TRACE(huge);
        const std::string count = std::string("count=\"") + huge + "\"";
        WriteFile("data/XML/light_instances_1.xml",
                  "<spots " + count + "><spot position=\"1 2 3\" target=\"4 5 6\"/></spots>");
        WriteFile("data/XML/instances.xml",
                  "<rooms " + count + ">" +
                      Room("hangares", Object("crates", "<materials " + count +
                                                            "><material diffusemap=\"\" lightmap=\"\" "
                                                            "normalmap=\"\"/></materials><parapets " +
                                                            count +
                                                            "><parapet name=\"p_a_n_A_B_1\" transform=\"" +
                                                            Transform(0, 0, 0) +
                                                            "\" pt_ini=\"0 0 0\" pt_fin=\"10 0 10\"/></parapets>")) +
                      Room("isla", "") + "</rooms>");
        CScenario scenario;
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        Load("data/XML/instances.xml", &scenario);
        getrusage(RUSAGE_SELF, &after);
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes taken on the file's word";
        ASSERT_NE(scenario.GetCurrentRoom(), nullptr);
        ASSERT_EQ(scenario.GetCurrentRoom()->GetLights().size(), 1u);
        EXPECT_EQ(scenario.GetCurrentRoom()->GetLights()[0]->eye, D3DXVECTOR3(1, 2, 3));
        EXPECT_EQ(scenario.GetParapets().size(), 1u);
        const std::vector<IEntidad3D*> objects = scenario.GetRoomObjects();
        ASSERT_EQ(objects.size(), 1u);
        EXPECT_EQ(objects[0]->GetTextures().size(), 3u);
        scenario.SelectScenario("isla");
        EXPECT_NE(scenario.GetCurrentRoom(), nullptr);
    }
}

} // namespace
