// Reading the collision and object files into the two levels' tables, and
// what a level switch builds from them.
#include "world/physics_fixture.h"

#include <BulletCollision/CollisionShapes/btBoxShape.h>

#include "render/DrawCollisions.h"
#include "platform/bounded.h"

#include <filesystem>
#include <fstream>

namespace {

using Files = PhysicsTest;

TEST_F(Files, ElementsGoToTheLevelNamedLastAndCarryOverFromOneFileToTheNext)
{
    ASSERT_TRUE(manager.ReadFile(folder.Write(
        "a.xml", "<c>" + CollisionXml("col_first", 1, 1, 1, 0, 0, 0) +
                     "<scenario name=\"hangares\"/><player pos=\"1 2 3\"/>" + CollisionXml("col_h", 1, 1, 1, 0, 0, 0) +
                     "<scenario name=\"Hangares\"/>" + CollisionXml("col_other", 1, 1, 1, 0, 0, 0) +
                     "<player pos=\"4 5 6\"/><scenario name=\"hangares\"/></c>")));
    // The second file starts where the first ended: in the hangar set.
    ASSERT_TRUE(manager.ReadFile(folder.Write(
        "b.xml", "<o><object name=\"obj_lata_01\" transform=\"1 0 0 0 1 0 0 0 1 7 8 9\"/>"
                 "<object name=\"obj_gun_01\" ammo=\"12\"/><scenario name=\"isla\"/>"
                 "<object name=\"obj_barril_02\"/><object name=\"lata_03\"/><object name=\"objx_lata_04\"/>"
                 "<object name=\"obj_caja_05\"/></o>")));

    const auto& hangar = manager.GetCollisions(true);
    const auto& island = manager.GetCollisions(false);
    EXPECT_EQ(hangar.size(), 1u);
    EXPECT_TRUE(hangar.count("col_h"));
    EXPECT_TRUE(island.count("col_first") && island.count("col_other"));
    EXPECT_EQ(manager.GetStart(true), D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(manager.GetStart(false), D3DXVECTOR3(4, 5, 6));

    ASSERT_EQ(manager.GetProps(true).size(), 1u);
    EXPECT_EQ(manager.GetProps(true).at("obj_lata_01").transform._42, 8.0f);
    ASSERT_EQ(manager.GetPickups(true).size(), 1u);
    EXPECT_EQ(manager.GetPickups(true).at("obj_gun_01").ammo, 12);
    // Only a family word at the fourth character makes a prop.
    ASSERT_EQ(manager.GetProps(false).size(), 1u);
    EXPECT_TRUE(manager.GetProps(false).count("obj_barril_02"));
}

TEST_F(Files, ABoxIsStoredOnItsFourthCornerAndAShortOneIsDropped)
{
    ASSERT_TRUE(manager.ReadFile(folder.Write(
        "a.xml",
        "<c><scenario name=\"hangares\"/>"
        "<collision name=\"col_short\" width=\"1\"><vertex pos=\"1 0 0\"/><vertex pos=\"2 0 0\"/></collision>"
        "<collision name=\"col_whole\" width=\"10\" height=\"4\" length=\"2\" transform=\"1 0 0 0 1 0 0 0 1 5 6 7\">"
        "<vertex pos=\"1 0 1\"/><vertex pos=\"2 0 2\"/><vertex pos=\"3 0 3\"/><vertex pos=\"4 0 4\"/></collision>"
        "<collision name=\"col_whole\" width=\"99\"><vertex/><vertex/><vertex/><vertex/></collision>"
        "<collision name=\"col_whole\" width=\"1\"><vertex/><vertex/><vertex/></collision></c>")));
    const auto& hangar = manager.GetCollisions(true);
    ASSERT_EQ(hangar.size(), 1u);
    const RayHit& box = hangar.at("col_whole");
    // The later record of a name replaces the earlier one; the short one after it does not.
    EXPECT_EQ(box.width, 99.0f);
    EXPECT_EQ(box.corners[3], D3DXVECTOR3(0, 0, 0));
    EXPECT_FALSE(box.hit);
}

TEST_F(Files, ABrokenFileIsRefusedWholeAndAMissingOneChangesNothing)
{
    ASSERT_TRUE(manager.ReadFile(folder.Write(
        "good.xml", "<c><scenario name=\"hangares\"/><player pos=\"1 2 3\"/>" +
                        CollisionXml("col_a", 1, 1, 1, 0, 0, 0) + "</c>")));
    const std::string broken[] = {
        "<c><player pos=\"9 9 9\"/>" + CollisionXml("col_b", 1, 1, 1, 0, 0, 0),  // cut short
        "<c><player pos=\"9 9 9\"/><player pos=\"1e30 0 0\"/></c>",
        "<c>" + CollisionXml("col_b", -1, 1, 1, 0, 0, 0) + "</c>",
        "<c>" + CollisionXml("col_b", 1, 1, 1, 0, 0, 0) + "<vertex pos=\"0 -2e30 0\"/></c>",
        "<c><object name=\"obj_gun_01\" ammo=\"70000\"/></c>",
        "<c><object name=\"obj_lata_01\" transform=\"1 0 0 0 1 0 0 0 1 0 3e38 0\"/></c>",
    };
    for (const std::string& text : broken) {
        EXPECT_FALSE(manager.ReadFile(folder.Write("bad.xml", text))) << text;
        EXPECT_EQ(manager.GetStart(true), D3DXVECTOR3(1, 2, 3)) << text;
        EXPECT_EQ(manager.GetCollisions(true).size(), 1u) << text;
        EXPECT_TRUE(manager.GetPickups(true).empty() && manager.GetProps(true).empty()) << text;
    }
    EXPECT_FALSE(manager.ReadFile(folder / "missing.xml"));
    EXPECT_EQ(manager.GetCollisions(true).size(), 1u);
}

// A start reads the levels afresh; a level left without a box has no floor,
// and the one line said names the file and why no game can start.
TEST_F(Files, ALevelWithoutBoxesStopsAGameFromStarting)
{
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    std::filesystem::create_directories("data/XML");
    std::ofstream("data/XML/objects_instances.xml") << "<o/>";
    bounded::ForgetSaidLines();
    const std::string hangar = "<scenario name=\"hangares\"/>" + CollisionXml("col_h", 1, 1, 1, 0, 0, 0);
    const std::string both = hangar + "<scenario name=\"isla\"/>" + CollisionXml("col_i", 1, 1, 1, 0, 0, 0);
    const std::string file = "data/XML/collision_instances.xml";
    std::ofstream(file) << "<c>" << both << "</c>";
    manager.Init();
    EXPECT_EQ(manager.WhyNoGame(), "");
    std::ofstream(file) << "<c>" << hangar << "</c>";
    ::testing::internal::CaptureStderr();
    manager.Init();
    const std::string line = "Collision file " + file + " refused: it holds no box for \"isla\"; a level without its "
                             "boxes has no floor, so no game can start";
    EXPECT_EQ(manager.WhyNoGame(), line) << "the last start's island is not kept";
    std::filesystem::remove(file);
    manager.Init();
    EXPECT_EQ(manager.WhyNoGame(), "Collision file " + file + " refused: it is missing; a level without its boxes "
                                   "has no floor, so no game can start");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), line + "\n" + manager.WhyNoGame() + "\n");
    manager.ForgetNoGame();
    EXPECT_EQ(manager.WhyNoGame(), "");
    std::filesystem::current_path(previous);
    bounded::ForgetSaidLines();
}

TEST_F(Files, ALevelSwitchBuildsSizedBoxesAndGivesTheSameWorldEveryTime)
{
    Level("<scenario name=\"hangares\"/><player pos=\"0 10 0\"/>" + CollisionXml("col_caja", 10, 4, 2, 30, 40, 50) +
          "<scenario name=\"isla\"/><player pos=\"100 10 100\"/>" + CollisionXml("col_a", 1, 1, 1, 0, 0, 0) +
          CollisionXml("col_b", 1, 1, 1, 9, 0, 0),
          "hangares");
    const int hangarObjects = Objects();
    ASSERT_EQ(hangarObjects, 1 + 16 + 1); // the box, the hero's 16 ghosts, the camera's sphere

    const btCollisionObject* box = manager.GetDynamicsWorld()->getCollisionObjectArray()[hangarObjects - 1];
    const btVector3 half = static_cast<const btBoxShape*>(box->getCollisionShape())->getHalfExtentsWithMargin();
    EXPECT_NEAR(half.x(), 5, 1e-4);
    EXPECT_NEAR(half.y(), 2, 1e-4);
    EXPECT_NEAR(half.z(), 1, 1e-4);
    EXPECT_EQ(box->getWorldTransform().getOrigin(), btVector3(30, 40, 50));

    manager.hangarHits = 0;
    manager.planeHits = 1;
    manager.hangarExploded = true;
    link.wave = {{"ene_1", "ene_1", D3DXVECTOR3(0, 0, 0)}};
    manager.CreateEnemyBodies();
    const size_t shapes = manager.GetShapeCount();
    for (int i = 0; i < 3; ++i)
        manager.LoadNewScenario("hangares");
    EXPECT_EQ(Objects(), hangarObjects);
    EXPECT_EQ(manager.GetShapeCount(), shapes);
    EXPECT_TRUE(manager.GetEnemyBodies().empty());
    EXPECT_EQ(manager.hangarHits, 6);
    EXPECT_EQ(manager.planeHits, 60);
    EXPECT_FALSE(manager.hangarExploded);
    EXPECT_EQ(link.hero, D3DXVECTOR3(0, 0, 0));

    // Any other name is the island.
    manager.LoadNewScenario("");
    EXPECT_EQ(Objects(), 2 + 17);
    EXPECT_EQ(link.hero, D3DXVECTOR3(100, 0, 100));
}

TEST_F(Files, ARemovedBoxNoLongerStopsRays)
{
    Level(CollisionXml("col_0118", 20, 100, 200, 50, 50, 0) + CollisionXml("col_muro", 20, 100, 200, 150, 50, 0));
    const D3DXVECTOR3 from(0, 50, 0), to(300, 50, 0);
    EXPECT_EQ(manager.CastRay(from, to).name, "col_0118");
    manager.RemoveStaticBody("col_0118");
    manager.RemoveStaticBody("col_nada");
    EXPECT_EQ(manager.CastRay(from, to).name, "col_muro");
}

TEST(DebugDrawer, DrawsNoLineWhateverModeItIsGiven)
{
    struct Counting : CDrawCollisions {
        void drawLine(const btVector3&, const btVector3&, const btVector3&) override { ++lines; }
        int lines = 0;
    } drawer;
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher(&configuration);
    btDbvtBroadphase broadphase;
    btCollisionWorld world(&dispatcher, &broadphase, &configuration);
    btBoxShape shape(btVector3(1, 1, 1));
    btCollisionObject box;
    box.setCollisionShape(&shape);
    world.addCollisionObject(&box);
    drawer.setDebugMode(btIDebugDraw::DBG_DrawWireframe);
    world.setDebugDrawer(&drawer);
    world.debugDrawWorld();
    EXPECT_EQ(drawer.lines, 0);
    world.removeCollisionObject(&box);
}

} // namespace
