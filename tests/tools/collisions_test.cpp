// The physics' boxes made from a layout: which objects get one, where it
// stands, and what the layout's collision elements change.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "datagen/Collisions.h"
#include "datagen/Layout.h"

using datagen::CollisionBox;
using datagen::LevelLayout;

namespace {

const char kMaterial[] = "<material name=\"m\" diffusemap=\"m.jpg\"/><material name=\"vinyeta\" diffusemap=\"v.jpg\"/>";

bool Boxes(const std::string& body, std::map<std::string, CollisionBox>& out, std::string& error)
{
    LevelLayout layout;
    if (!datagen::ParseLayout(std::string("<layout level=\"isla\">") + kMaterial + body + "</layout>", layout, error))
        return false;
    D3DXVECTOR3 start;
    std::vector<CollisionBox> boxes;
    if (!datagen::LevelCollisions(layout, start, boxes, error))
        return false;
    out.clear();
    for (const CollisionBox& box : boxes)
        out[box.name] = box;
    return true;
}

// A point of the box given in its own frame, in the world.
D3DXVECTOR3 World(const CollisionBox& box, float x, float y, float z)
{
    const D3DXVECTOR3 local(x * box.size.x / 2, y * box.size.y / 2, z * box.size.z / 2);
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &local, &box.transform);
    return out;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const std::string& what)
{
    EXPECT_NEAR(a.x, b.x, 0.01f) << what;
    EXPECT_NEAR(a.y, b.y, 0.01f) << what;
    EXPECT_NEAR(a.z, b.z, 0.01f) << what;
}

const char kGround[] =
    "<object name=\"Suelo\" shape=\"floor\" size=\"4000 0 4000\" position=\"0 0 0\" material=\"m\"/>"
    "<collision player=\"0 10 0\"/>";

TEST(CollisionBoxes, SolidsStandOnTheirBaseFloorsLieUnderTheirSurfaceAndDecalsSkyAndPanelsGetNone)
{
    std::map<std::string, CollisionBox> boxes;
    std::string error;
    ASSERT_TRUE(Boxes(std::string(kGround) +
                          "<object name=\"Caja\" shape=\"box\" size=\"100 50 20\" position=\"300 5 0\" yaw=\"90\" material=\"m\"/>"
                          "<object name=\"poste\" shape=\"cylinder\" size=\"30 400 30\" position=\"0 0 300\" material=\"m\"/>"
                          "<object name=\"mancha\" shape=\"floor\" size=\"100 0 100\" position=\"0 0.3 0\" material=\"m\"/>"
                          "<object name=\"cielo\" shape=\"sky\" size=\"9000 9000 9000\" position=\"0 0 0\" material=\"m\"/>"
                          "<object name=\"vinyeta1_a\" shape=\"box\" size=\"600 400 4\" position=\"0 0 900\" material=\"m\"/>"
                          "<object name=\"cartel\" shape=\"box\" size=\"600 400 4\" position=\"0 0 -900\" material=\"vinyeta\"/>",
                      boxes, error))
        << error;
    ASSERT_EQ(boxes.size(), 3u);
    const CollisionBox& caja = boxes.at("col_caja");
    EXPECT_EQ(caja.size, D3DXVECTOR3(100, 50, 20));
    ExpectNear(World(caja, 0, 0, 0), D3DXVECTOR3(300, 30, 0), "centred half its height up");
    // Turned a quarter, its width runs along z.
    ExpectNear(World(caja, 1, 0, 0), D3DXVECTOR3(300, 30, -50), "turned");
    ExpectNear(caja.corners[0], D3DXVECTOR3(300 - 10, 5, 50), "first corner");
    ExpectNear(caja.corners[2], D3DXVECTOR3(300 + 10, 5, -50), "third corner");
    ExpectNear(World(boxes.at("col_poste"), 0, 1, 0), D3DXVECTOR3(0, 400, 300), "cylinder top");
    const CollisionBox& suelo = boxes.at("col_suelo");
    ExpectNear(World(suelo, 0, 1, 0), D3DXVECTOR3(0, 0, 0), "floor topped at its surface");
    EXPECT_GT(suelo.size.y, 1.0f);
}

TEST(CollisionBoxes, AWedgeAndAFlightOfStepsLieUnderTheirSlope)
{
    std::map<std::string, CollisionBox> boxes;
    std::string error;
    std::string steps;
    for (int i = 0; i < 4; ++i)
        steps += "<object name=\"escalon" + std::to_string(i) + "\" shape=\"box\" size=\"200 " +
                 std::to_string(20 * (i + 1)) + " 40\" position=\"" + std::to_string(500 + 40 * i) +
                 " 0 0\" yaw=\"90\" material=\"m\"/>";
    ASSERT_TRUE(Boxes(std::string(kGround) +
                          "<object name=\"rampa\" shape=\"wedge\" size=\"200 300 400\" position=\"0 0 1000\" yaw=\"180\" material=\"m\"/>" +
                          steps + "<collision steps=\"escalon*\" name=\"col_escalera\"/>",
                      boxes, error))
        << error;
    EXPECT_EQ(boxes.size(), 3u);
    // Turned half round, the wedge rises towards +z: 300 high at z = 1200, 0 at z = 800.
    const CollisionBox& rampa = boxes.at("col_rampa");
    ExpectNear(World(rampa, 0, 1, -1), D3DXVECTOR3(0, 300, 1200), "wedge top");
    ExpectNear(World(rampa, 0, 1, 1), D3DXVECTOR3(0, 0, 800), "wedge foot");
    // Deep enough to hold the wedge's lower back edge: 300 x 400 / 500 under the slope.
    EXPECT_NEAR(rampa.size.y, 240, 0.01f);

    // Four steps rising towards +x from x = 480 to 80 high at x = 640.
    const CollisionBox& escalera = boxes.at("col_escalera");
    ExpectNear(World(escalera, 0, 1, 1), D3DXVECTOR3(480, 0, 0), "ramp foot");
    ExpectNear(World(escalera, 0, 1, -1), D3DXVECTOR3(640, 80, 0), "ramp top");
    EXPECT_NEAR(escalera.size.x, 200, 0.01f);
}

TEST(CollisionBoxes, TheLayoutRenamesRemovesAndAddsBoxesAndRefusesWhatCannotBeBuilt)
{
    std::map<std::string, CollisionBox> boxes;
    std::string error;
    const std::string objects = std::string(kGround) +
                                "<object name=\"Avion\" shape=\"box\" size=\"10 10 10\" position=\"0 0 0\" material=\"m\"/>"
                                "<object name=\"trozo_1\" shape=\"box\" size=\"10 10 10\" position=\"50 0 0\" material=\"m\"/>"
                                "<object name=\"trozo_2\" shape=\"box\" size=\"10 10 10\" position=\"90 0 0\" material=\"m\"/>";
    ASSERT_TRUE(Boxes(objects + "<collision object=\"Avion\" name=\"col_avion_bucle\"/>"
                                "<collision object=\"trozo_*\" solid=\"no\"/>"
                                "<collision name=\"col_0118\" size=\"30 40 50\" position=\"10 0 20\"/>",
                      boxes, error))
        << error;
    EXPECT_EQ(boxes.size(), 3u);
    EXPECT_TRUE(boxes.count("col_avion_bucle") && boxes.count("col_suelo"));
    ExpectNear(World(boxes.at("col_0118"), 0, 0, 0), D3DXVECTOR3(10, 20, 20), "unseen box");

    const std::string refused[] = {
        objects + "<collision object=\"Barco\" name=\"col_barco\"/>",
        objects + "<collision object=\"Avion\" name=\"col_suelo\"/>",
        objects + "<collision steps=\"trozo_1\" name=\"col_escalera\"/>",
        "<object name=\"a\" shape=\"floor\" size=\"40 0 40\" position=\"0 0 0\" material=\"m\"/>",
        objects + "<collision player=\"0 -20 0\"/>",
    };
    for (const std::string& body : refused)
        EXPECT_FALSE(Boxes(body, boxes, error)) << body;
    for (const char* element : {"<collision/>", "<collision object=\"Avion\" name=\"avion\"/>",
                                "<collision name=\"col_x\" size=\"0 1 1\" position=\"0 0 0\"/>",
                                "<collision player=\"1 2\"/>"}) {
        LevelLayout layout;
        EXPECT_FALSE(datagen::ParseLayout(std::string("<layout level=\"isla\">") + element + "</layout>", layout, error))
            << element;
    }
}

// An unseen box stops bullets unmarked unless the layout lets them through
// or marks it; the collision file carries which. Drawn objects' boxes are
// marked, and say nothing.
TEST(CollisionBoxes, AnUnseenBoxTellsHowBulletsMeetIt)
{
    std::map<std::string, CollisionBox> boxes;
    std::string error;
    ASSERT_TRUE(Boxes(std::string(kGround) +
                          "<collision name=\"col_lado\" size=\"30 40 50\" position=\"10 0 20\"/>"
                          "<collision name=\"col_limite\" size=\"30 40 50\" position=\"90 0 20\" shots=\"through\"/>"
                          "<collision name=\"col_puerta\" size=\"30 40 50\" position=\"190 0 20\" shots=\"marked\"/>",
                      boxes, error))
        << error;
    EXPECT_EQ(boxes.at("col_lado").shots, "unmarked");
    EXPECT_EQ(boxes.at("col_limite").shots, "through");
    EXPECT_EQ(boxes.at("col_puerta").shots, "marked");
    EXPECT_EQ(boxes.at("col_suelo").shots, "marked");

    LevelLayout layout;
    ASSERT_TRUE(datagen::ParseLayout(std::string("<layout level=\"isla\">") + kMaterial + kGround +
                                         "<collision name=\"col_limite\" size=\"30 40 50\" position=\"90 0 20\" "
                                         "shots=\"through\"/></layout>",
                                     layout, error))
        << error;
    datagen::Output out("");
    const std::string xml = datagen::CollisionInstancesXml({layout}, out);
    EXPECT_NE(xml.find("name=\"col_limite\" width=\"30\" height=\"40\" length=\"50\" shots=\"through\""),
              std::string::npos);
    EXPECT_EQ(xml.find("name=\"col_suelo\" width=\"4000\" height=\"10\" length=\"4000\" shots="), std::string::npos);

    for (const char* element : {"<collision name=\"col_x\" size=\"1 1 1\" position=\"0 0 0\" shots=\"maybe\"/>",
                                "<collision object=\"Suelo\" name=\"col_x\" shots=\"through\"/>"})
        EXPECT_FALSE(datagen::ParseLayout(std::string("<layout level=\"isla\">") + element + "</layout>", layout, error))
            << element;
}

// A rename by pattern names each object's box after what follows the prefix
// it matched, in lower case: lamp posts keep their numbers.
TEST(CollisionBoxes, ARenameByPatternKeepsWhatFollowsThePrefix)
{
    std::map<std::string, CollisionBox> boxes;
    std::string error;
    ASSERT_TRUE(Boxes(std::string(kGround) +
                          "<object name=\"Farola_1\" shape=\"box\" size=\"10 10 10\" position=\"0 0 0\" material=\"m\"/>"
                          "<object name=\"Farola_22\" shape=\"box\" size=\"10 10 10\" position=\"50 0 0\" material=\"m\"/>"
                          "<object name=\"Boca_Riego_B\" shape=\"box\" size=\"10 10 10\" position=\"90 0 0\" material=\"m\"/>"
                          "<collision object=\"Farola_* Boca_Riego_*\" name=\"col_poste_*\"/>",
                      boxes, error))
        << error;
    EXPECT_EQ(boxes.size(), 4u);
    EXPECT_TRUE(boxes.count("col_poste_1") && boxes.count("col_poste_22") && boxes.count("col_poste_b"));
    ExpectNear(World(boxes.at("col_poste_22"), 0, -1, 0), D3DXVECTOR3(50, 0, 0), "the box of its own object");
}

} // namespace
