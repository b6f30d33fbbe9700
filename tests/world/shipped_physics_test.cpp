// The shipped collision files: the boxes the game's code names are there, and
// the hero starts each level standing on solid ground.
#include "world/physics_fixture.h"

#include <cmath>

#include "scene/RigidEntity.h"

namespace {

TEST(ShippedPhysics, NamedBoxesExistAndTheHeroStandsOnABoxAtEachStart)
{
    FakeCollisionWorld link;
    CCollisionManager manager;
    manager.SetWorld(&link);
    manager.InitPhysicsWorld();
    const std::string folder = std::string(VANTOREL_WORKDIR) + "/data/XML/";
    ASSERT_TRUE(manager.ReadFile(folder + "collision_instances.xml"));
    ASSERT_TRUE(manager.ReadFile(folder + "objects_instances.xml"));

    const struct {
        bool hangar;
        std::vector<const char*> names;
        D3DXVECTOR3 start;
    } levels[] = {
        {true,
         {"col_avion_bucle", "col_055", "col_056", "col_0118", "col_34TANQUE", "col_explosion_hangar1",
          "col_maderitas2", "col_maderitas3"},
         D3DXVECTOR3(-1159.4f, 9.231f, -665.515f)},
        {false,
         {"col_maderita1", "col_maderita2", "col_isla_1", "col_isla_82", "col_isla_83", "col_isla_85", "col_isla_104",
          "col_isla_105", "col_isla_216", "col_isla_214", "col_isla_215"},
         D3DXVECTOR3(1120.89f, 26.1259f, -912.779f)},
    };
    for (const auto& level : levels) {
        const auto& boxes = manager.GetCollisions(level.hangar);
        for (const char* name : level.names)
            EXPECT_TRUE(boxes.count(name)) << name;
        bool water = false;
        for (const auto& box : boxes)
            water = water || box.first.compare(0, 8, "col_agua") == 0;
        EXPECT_TRUE(water) << level.hangar;
        EXPECT_EQ(manager.GetStart(level.hangar), level.start);

        manager.LoadNewScenario(level.hangar ? "hangares" : "isla");
        for (int i = 0; i < 60; ++i)
            manager.Update(1.0f / 30.0f);
        const D3DXVECTOR3 feet = link.hero;
        manager.Update(1.0f / 30.0f);
        EXPECT_NEAR(link.hero.y, feet.y, 0.01f) << "at rest";
        EXPECT_LT(std::fabs(feet.x - level.start.x) + std::fabs(feet.z - level.start.z), 1.0f);
        const RayHit ground = manager.CastRay(feet + D3DXVECTOR3(0, 5, 0), feet - D3DXVECTOR3(0, 50, 0));
        EXPECT_TRUE(ground.hit) << ground.name << " " << ground.hitPoint.x - feet.x << " " << ground.hitPoint.y << " " << ground.hitPoint.z - feet.z;
        EXPECT_NEAR(ground.hitPoint.y, feet.y, 0.1f) << ground.name;
    }
}

TEST(ShippedPhysics, EveryPropRestsWhereItWasPlacedAndEachLevelHasItsFourRadios)
{
    FakeCollisionWorld link;
    CCollisionManager manager;
    manager.SetWorld(&link);
    manager.InitPhysicsWorld();
    const std::string folder = std::string(VANTOREL_WORKDIR) + "/data/XML/";
    ASSERT_TRUE(manager.ReadFile(folder + "collision_instances.xml"));
    ASSERT_TRUE(manager.ReadFile(folder + "objects_instances.xml"));
    EXPECT_TRUE(manager.GetProps(false).count("obj_barril_andamio01"));
    EXPECT_TRUE(manager.GetProps(false).count("obj_barril_andamio02"));
    for (bool hangar : {true, false}) {
        const auto& props = manager.GetProps(hangar);
        for (const char* radio : {"obj_radio_01", "obj_radio_02", "obj_radio_03", "obj_radio_04"})
            EXPECT_TRUE(props.count(radio)) << radio << " " << hangar;
        manager.LoadNewScenario(hangar ? "hangares" : "isla");
        ASSERT_EQ(manager.GetPropBodyCount(), props.size());
        for (int i = 0; i < 90; ++i)
            manager.Update(1.0f / 30.0f);
        // A prop dropped into a box or onto nothing would be pushed out or fall.
        for (const auto& entry : manager.GetCurrentProps()) {
            const D3DXMATRIX& start = entry.second.transform;
            const D3DXMATRIX& now = entry.second.entity->GetTransform().GetMatrix();
            EXPECT_NEAR(now._41, start._41, 1.0f) << entry.first;
            EXPECT_NEAR(now._42, start._42, 1.0f) << entry.first;
            EXPECT_NEAR(now._43, start._43, 1.0f) << entry.first;
        }
    }
}

} // namespace
