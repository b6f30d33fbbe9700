// The weapons the levels leave lying about, from the layouts to the file the
// physics reads them from.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "datagen/Collisions.h"
#include "datagen/Layout.h"

using datagen::LevelLayout;

namespace {

const char kPickupMaterial[] = "<material name=\"m\" diffusemap=\"m.jpg\"/>";

TEST(WeaponProps, ThePropElementIsReadOrRefusedWithItsFault)
{
    const struct {
        const char* prop;
        bool read;
        int ammo;
    } cases[] = {
        {"<prop name=\"obj_gun_01\" position=\"1 2 3\" ammo=\"12\"/>", true, 12},
        {"<prop name=\"obj_gun_01\" position=\"1 2 3\"/>", true, 0},
        {"<prop name=\"obj_gun_01\" position=\"1 2 3\" ammo=\"65535\"/>", true, 65535},
        {"<prop name=\"obj_gun_01\" position=\"1 2 3\" ammo=\"65536\"/>", false, 0},
        {"<prop name=\"obj_gun_01\" position=\"1 2 3\" ammo=\"-1\"/>", false, 0},
        {"<prop name=\"obj_gun_01\" position=\"1 2 3\" ammo=\"12x\"/>", false, 0},
        {"<prop name=\"obj_gun_01\" position=\"1 2\"/>", false, 0},
        {"<prop position=\"1 2 3\"/>", false, 0},
    };
    for (const auto& c : cases) {
        LevelLayout layout;
        std::string error;
        const bool read =
            datagen::ParseLayout(std::string("<layout level=\"isla\">") + kPickupMaterial + c.prop + "</layout>", layout, error);
        EXPECT_EQ(read, c.read) << c.prop;
        if (read) {
            ASSERT_EQ(layout.props.size(), 1u);
            EXPECT_EQ(layout.props[0].ammo, c.ammo);
            EXPECT_EQ(layout.props[0].position, D3DXVECTOR3(1, 2, 3));
        } else {
            EXPECT_FALSE(error.empty()) << c.prop;
        }
    }
}

TEST(WeaponProps, TheObjectFileKeepsEachLevelsPropsUnderItsScenario)
{
    std::vector<LevelLayout> layouts(2);
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(std::string("<layout level=\"hangares\">") + kPickupMaterial +
                                         "<prop name=\"obj_gun_01\" position=\"10 0 20\" ammo=\"12\"/></layout>",
                                     layouts[0], error));
    ASSERT_TRUE(datagen::ParseLayout(std::string("<layout level=\"isla\">") + kPickupMaterial +
                                         "<prop name=\"obj_shotgun_01\" position=\"-5 1 7\" yaw=\"90\" ammo=\"14\"/>"
                                         "</layout>",
                                     layouts[1], error));
    const std::string xml = datagen::ObjectInstancesXml(layouts);
    const size_t hangar = xml.find("<scenario name=\"hangares\"/>");
    const size_t gun = xml.find("<object name=\"obj_gun_01\" ammo=\"12\" transform=\"1 0 0 0 1 0 0 0 1 10 0 20\"/>");
    const size_t island = xml.find("<scenario name=\"isla\"/>");
    const size_t shotgun = xml.find("<object name=\"obj_shotgun_01\" ammo=\"14\"");
    ASSERT_NE(gun, std::string::npos) << xml;
    ASSERT_NE(shotgun, std::string::npos) << xml;
    EXPECT_LT(hangar, gun);
    EXPECT_LT(gun, island);
    EXPECT_LT(island, shotgun);
    EXPECT_NE(xml.find(" -5 1 7\"/>", shotgun), std::string::npos) << xml;
}

TEST(WeaponProps, EveryShippedWeaponLiesOnTheGroundAndTheHangarHasAllThree)
{
    for (const std::string& file : datagen::LevelLayoutFiles()) {
        LevelLayout layout;
        std::string error;
        ASSERT_TRUE(datagen::ReadLayout(file, layout, error)) << error;
        std::map<std::string, int> kinds;
        for (const datagen::LayoutProp& prop : layout.props) {
            bool weapon = false;
            for (const char* word : {"_gun_", "_shotgun_", "_thompson_"})
                if (prop.name.compare(3, std::string(word).size(), word) == 0) {
                    ++kinds[word];
                    weapon = true;
                }
            if (!weapon)
                continue; // the props' own data test holds the others
            float ground = 0.0f;
            ASSERT_TRUE(layout.GroundAt(prop.position.x, prop.position.z, ground)) << prop.name;
            // Not buried in a crate, nor hanging above the floor.
            EXPECT_NEAR(prop.position.y, ground, 0.6f) << layout.level << " " << prop.name;
            EXPECT_GT(prop.ammo, 0) << prop.name;
        }
        EXPECT_GE(kinds["_gun_"], 1) << layout.level;
        EXPECT_GE(kinds["_shotgun_"], 1) << layout.level;
        EXPECT_GE(kinds["_thompson_"], 1) << layout.level;
    }
}

} // namespace
