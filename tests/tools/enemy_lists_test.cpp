// The enemy lists made from the layouts' <enemy> elements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datagen/EnemyLists.h"
#include "datagen/Layout.h"

namespace {

// A floor, a low step and a high wall to stand on, by, and not in.
const char kListGround[] =
    "<layout level=\"hangares\">"
    "<material name=\"m\" diffusemap=\"m.jpg\" lightmap=\"b.jpg\" normalmap=\"n.tga\"/>"
    "<object name=\"suelo\" shape=\"floor\" size=\"2000 0 2000\" position=\"0 0 0\" material=\"m\"/>"
    "<object name=\"alto\" shape=\"floor\" size=\"200 0 200\" position=\"500 12 500\" material=\"m\"/>"
    "<object name=\"muro\" shape=\"box\" size=\"200 500 200\" position=\"-500 0 -500\" material=\"m\"/>"
    "<object name=\"peldanyo\" shape=\"box\" size=\"200 30 200\" position=\"-500 0 500\" material=\"m\"/>";

std::string Enemy(const std::string& name, const std::string& extra)
{
    return "<enemy room=\"room01\" wave=\"wave_00\" name=\"" + name + "\" type=\"soldado\" " + extra + "/>";
}

bool Read(const std::string& enemies, std::vector<datagen::LayoutEnemy>& out, std::string& error)
{
    const std::string xml = std::string(kListGround) + enemies + "</layout>";
    datagen::LevelLayout layout;
    if (!datagen::ParseLayout(xml, layout, error))
        return false;
    return datagen::ReadLayoutEnemies(xml, layout, out, error);
}

TEST(EnemyLists, PointsTakeTheGroundUnderThemAndBadEnemiesAreRefused)
{
    std::vector<datagen::LayoutEnemy> enemies;
    std::string error;
    ASSERT_TRUE(Read(Enemy("ene_1", "points=\"0 0 500 500\" scripts=\"a-b\"") +
                         Enemy("ene_2", "points=\"-500 500\" weapon=\"shotgun\" model=\"portuario\""),
                     enemies, error))
        << error;
    ASSERT_EQ(enemies.size(), 2u);
    ASSERT_EQ(enemies[0].points.size(), 2u);
    EXPECT_FLOAT_EQ(enemies[0].points[0].y, 0.0f);
    EXPECT_FLOAT_EQ(enemies[0].points[1].y, 12.0f);
    EXPECT_FLOAT_EQ(enemies[1].points[0].y, 30.0f);
    const std::string xml = datagen::EnemyListXml(enemies);
    EXPECT_NE(xml.find("numOfScripts=\"2\" scripts=\"a-b\""), std::string::npos);
    EXPECT_NE(xml.find("transform=\"1 0 0 0 1 0 0 0 1 500 12 500\""), std::string::npos);

    const std::pair<std::string, const char*> refused[] = {
        {Enemy("ene_1", "points=\"-500 -500\""), "not on a floor"},      // inside the wall
        {Enemy("ene_1", "points=\"5000 0\""), "not on a floor"},         // off the level
        {Enemy("ene_1", "points=\"0\""), "x z pairs"},
        {Enemy("ene_1", "points=\"0 0 x\""), "x z pairs"},
        {Enemy("ene_1", "points=\"\""), "x z pairs"},
        {Enemy("ene_1", "points=\"0 0\" model=\"Zorvath\""), "no model"},
        {Enemy("ene_1", "points=\"0 0\" weapon=\"bazooka\""), "no weapon"},
        {Enemy("ene_1", "points=\"0 0\"") + Enemy("ene_1", "points=\"0 0\""), "named twice"},
        {"<enemy room=\"room01\" wave=\"wave_00\" type=\"t\" points=\"0 0\"/>", "needs a name"},
        {Enemy("a", "points=\"0 0\"") + Enemy("b", "points=\"0 0\"") + Enemy("c", "points=\"0 0\"") +
             Enemy("d", "points=\"0 0\"") + Enemy("e", "points=\"0 0\"") + Enemy("f", "points=\"0 0\""),
         "five enemies"},
    };
    for (const auto& r : refused) {
        std::vector<datagen::LayoutEnemy> none;
        EXPECT_FALSE(Read(r.first, none, error)) << r.first;
        EXPECT_NE(error.find(r.second), std::string::npos) << error;
    }
}

} // namespace
