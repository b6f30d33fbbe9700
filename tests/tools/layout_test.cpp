#include <algorithm>
#include <cmath>
#include <locale>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "datagen/Instances.h"
#include "datagen/Layout.h"
#include "datagen/Lightmaps.h"
#include "datagen/MeshShapes.h"
#include "math/VectorMath.h"
#include "scene/Location.h"
#include "xml/XMLParser.h"
#include "xml/temp_folder.h"

// Readable failures for the read-back comparisons.
static void PrintTo(const D3DXVECTOR3& v, std::ostream* os) { *os << v.x << " " << v.y << " " << v.z; }
static void PrintTo(const D3DXMATRIX& m, std::ostream* os)
{
    const float* f = m;
    *os << testing::PrintToString(std::vector<float>(f, f + 16));
}

using datagen::LayoutObject;
using datagen::LayoutParapet;
using datagen::LevelLayout;

namespace {

constexpr float kLayoutPi = 3.14159265f;

LevelLayout Parse(const std::string& xml)
{
    LevelLayout layout;
    std::string error;
    EXPECT_TRUE(datagen::ParseLayout(xml, layout, error)) << error;
    return layout;
}

// A floor with a crate 100 across turned 30 degrees; each case adds to the crate and the level.
std::string Level(const std::string& parapets, const std::string& more = "")
{
    return R"(<layout level="t"><material name="m" diffusemap="d.jpg"/>
      <object name="floor" shape="floor" size="2000 0 2000" position="0 0 0" material="m"/>
      <object name="crate" shape="box" size="100 100 100" position="0 0 0" yaw="30" material="m">)" +
           parapets + "</object>" + more + "</layout>";
}

// The crate's +z face faces yaw 30; a parapet 80 out from the centre stands 30 clear of it.
const char kCrateParapet[] = R"(<parapet name="p_b_s_A_B_001" position="40 0 69.2820323" yaw="30" length="100"/>)";

// Objects are placed as the game places entities, so each mesh lands where the layout says.
TEST(Layout, PlacementMatchesTheGamesAndTheGroundFollowsIt)
{
    const LevelLayout layout = Parse(R"(<layout level="test">
      <material name="m" diffusemap="d.jpg" lightmap="l.jpg" normalmap="n.tga" tile="250"/>
      <object name="ramp" shape="wedge" size="100 50 200" position="10 5 -20" yaw="90" material="m" vertex="3"/>
      <object name="post" shape="cylinder" size="30 400 30" position="300 0 300" segments="6" material="m"/>
      <object name="ground" shape="floor" size="1000 0 1000" position="0 -1 0" material="m"/>
    </layout>)");
    ASSERT_EQ(layout.objects.size(), 3u);
    EXPECT_FLOAT_EQ(layout.materials.at(0).tile, 250.0f);
    const datagen::LayoutObject& ramp = layout.objects[0];
    EXPECT_EQ(ramp.vertexType, MESH_NORMAL_TEXTURED_VERTEX);
    EXPECT_TRUE(layout.objects[1].segments == 6 && layout.objects[1].vertexType == MESH_NORMAL_TANGENT_TEXTURED_VERTEX);

    CLocation location;
    location.SetPosition(ramp.position);
    location.SetYaw(ramp.yawDegrees * kLayoutPi / 180.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(ramp.Transform().m[i / 4][i % 4], location.GetMatrix().m[i / 4][i % 4], 1e-4f) << i;

    // x, z and the ground's height there.
    const float ground[][3] = {
        {400, 400, -1},                        // the floor
        {300, 314, 400},                       // on the post, inside its circle
        {314, 314, -1},                        // inside its square, outside its circle
        {10 - 99, -20, 5 + 50 * 199.0f / 200}, // the ramp, turned to run along x: full height at local -z, world -x
        {10 + 50, -20, 5 + 50 * 50.0f / 200},
    };
    float h = 0;
    for (const auto& g : ground) {
        ASSERT_TRUE(layout.GroundAt(g[0], g[1], h)) << g[0] << "," << g[1];
        EXPECT_NEAR(h, g[2], 1e-3f) << g[0] << "," << g[1];
    }
    EXPECT_FALSE(layout.GroundAt(2000, 0, h));
}

// Nothing stands on a cable strung overhead or a banner, whatever lies under
// them; a fence or a pole rising from the yard stands in the way, and a plank
// laid on a crate is its new top.
TEST(Layout, GroundIsWhatRisesFromItNotACableOrABannerOverhead)
{
    const LevelLayout layout = Parse(R"(<layout level="test">
      <material name="m" diffusemap="d.jpg"/>
      <object name="yard" shape="floor" size="2000 0 2000" position="0 0 0" material="m"/>
      <object name="post" shape="cylinder" size="20 400 20" position="-300 0 300" material="m"/>
      <object name="pole" shape="cylinder" size="16 400 16" position="300 0 300" material="m"/>
      <object name="cable" shape="box" size="620 6 6" position="0 400 300" material="m"/>
      <object name="banner" shape="box" size="300 80 4" position="0 200 -300" material="m"/>
      <object name="fence" shape="box" size="400 220 12" position="-500 0 -600" material="m"/>
      <object name="crate" shape="box" size="100 100 100" position="200 0 0" material="m"/>
      <object name="plank" shape="box" size="200 10 12" position="200 100 0" material="m"/>
    </layout>)");
    const float ground[][3] = {
        {0, 300, 0},      // under the cable: the yard
        {300, 300, 400},  // the pole's tip, the cable over it
        {-300, 300, 406}, // the cable where it lies on the post
        {0, -300, 0},     // under the banner
        {-500, -600, 220}, // the fence's top
        {200, 0, 110},    // the plank on the crate
    };
    float h = 0;
    for (const auto& g : ground) {
        ASSERT_TRUE(layout.GroundAt(g[0], g[1], h)) << g[0] << "," << g[1];
        EXPECT_NEAR(h, g[2], 1e-3f) << g[0] << "," << g[1];
    }
}

// The game finds the front a character walks up to from the third row of the parapet's matrix:
// away from the crate. It turns him in cover to pt_fin - pt_ini plus a quarter turn: across the
// parapet toward the crate, where he peeks and where the camera looks over him.
TEST(Layout, ParapetsFaceAwayFromTheirObjectAndTheCharacterInCoverLooksAcrossThem)
{
    const LevelLayout layout = Parse(
        Level(std::string(kCrateParapet) +
                  R"(<parapet name="p_a_n_A_P" position="-40 0 -69.2820323" yaw="-150" length="60"/>)",
              R"(<light position="0 400 0" target="0 100 150"/>)"));
    EXPECT_EQ(layout.lights.at(0).target, D3DXVECTOR3(0, 100, 150));
    const datagen::LayoutObject& crate = layout.objects.at(1);
    ASSERT_EQ(crate.parapets.size(), 2u);
    for (const LayoutParapet& p : crate.parapets) {
        SCOPED_TRACE(p.name);
        const D3DXMATRIX m = p.Transform();
        const D3DXVECTOR3 facing(m._31, m._32, m._33);
        EXPECT_NEAR(YawFromDirection(facing), YawFromDirection(p.position - crate.position), 1e-4f);

        const D3DXVECTOR3 start = p.Start(), end = p.End();
        const float coverYaw = YawFromDirection(end - start) + kLayoutPi / 2;
        EXPECT_NEAR(std::fabs(AngleDifference(coverYaw, YawFromDirection(facing))), kLayoutPi, 1e-4f);
        // The ends lie on the ground, either side of the centre, along the face.
        EXPECT_NEAR(VectorLength(end - start), p.length, 1e-3f);
        EXPECT_NEAR(VectorLength((start + end) * 0.5f - p.position), 0.0f, 1e-3f);
        EXPECT_NEAR(DotProduct(end - start, facing), 0.0f, 1e-3f);
        EXPECT_TRUE(start.y == p.position.y && end.y == p.position.y);
    }
}

// A crate or wall that asks for cover gets it along each face with no parapet
// of its own, long enough and with open ground: the hero's alone, never
// vaulted, and numbered after every placed parapet in the game's list.
TEST(Layout, CoverAlongTheOpenFacesComesAfterEveryPlacedParapet)
{
    const LevelLayout layout = Parse(R"(<layout level="hangares"><material name="m" diffusemap="d.jpg"/>
      <light position="0 400 0" target="0 100 150"/>
      <object name="floor" shape="floor" size="2000 0 2000" position="0 0 0" material="m"/>
      <object name="crate" shape="box" size="100 100 100" position="0 0 0" yaw="30" material="m" cover="low">)" +
                                     std::string(kCrateParapet) + R"(</object>
      <object name="wall" shape="box" size="300 250 60" position="600 0 0" material="m" cover="high">
        <parapet name="p_a_n_A_B_002" position="600 0 60" yaw="0" length="300"/></object>
      <object name="block" shape="box" size="300 50 100" position="600 0 -90" material="m"/>
    </layout>)");
    // The crate's three other faces; the wall's back is against the block, its ends too short.
    ASSERT_EQ(layout.faceCover.size(), 3u);
    const float yaws[] = {120.0f, -60.0f, -150.0f};
    for (int i = 0; i < 3; ++i) {
        const LayoutParapet& p = layout.faceCover[i];
        EXPECT_EQ(p.name, "p_b_n_H_B_" + std::to_string(7000 + i));
        EXPECT_NEAR(AngleDifference(p.yawDegrees * kLayoutPi / 180, yaws[i] * kLayoutPi / 180), 0.0f, 1e-4f) << p.name;
        EXPECT_NEAR(VectorLength(p.position), 80.0f, 1e-3f) << "30 clear of the face";
        EXPECT_NEAR(YawFromDirection(p.position), p.yawDegrees * kLayoutPi / 180, 1e-4f);
        EXPECT_FLOAT_EQ(p.length, 100.0f);
    }
    const std::string xml = datagen::InstancesXml({layout});
    EXPECT_LT(xml.find("p_a_n_A_B_002"), xml.find("p_b_n_H_B_7000")) << "after the wall's own";
    EXPECT_LT(xml.find("name=\"block\""), xml.find("p_b_n_H_B_7000")) << "with the last object";
    EXPECT_NE(xml.find("p_b_n_H_B_7002"), std::string::npos);
}

TEST(Layout, RefusesWhatCannotBeBuiltOrThatTheGameCannotUse)
{
    auto parapet = [](const std::string& name, const std::string& rest) {
        return Level("<parapet name=\"" + name + "\" " + rest + "/>");
    };
    const std::string fine = R"(position="40 0 69.2820323" yaw="30" length="100")";
    const std::pair<std::string, std::string> refused[] = {
        {Level("", R"(<object name="a" shape="sphere" size="1 1 1" material="m"/>)"), "sphere"},
        {Level("", R"(<object name="a" shape="box" size="1 1 1" material="x"/>)"), "\"x\""},
        {Level("", R"(<object name="crate" shape="box" size="2 2 2" material="m"/>)"), "twice"},
        {Level("", R"(<object name="a" shape="box" size="1 0 1" material="m"/>)"), "size"},
        {Level("", R"(<object name="a" shape="box" size="1 1 1" material="m" vertex="1"/>)"), "vertex type 1"},
        {Level("", R"(<objet name="a"/>)"), "objet"},
        {Level("", R"(<object name="a")"), ""},
        {R"(<layout><material name="m" diffusemap="d.jpg"/></layout>)", "no level"},
        // The parapet's name code: too short, a wrong letter, a number that is not one.
        {parapet("p_b_n_A", fine), "p_b_n_A"},
        {parapet("p_c_n_A_B_001", fine), "follow"},
        {parapet("p_b_n_A_B_0x1", fine), "follow"},
        // Numbers that are missing, too many, not numbers or out of range.
        {parapet("p_b_n_A_B_001", R"(position="40 0" yaw="30" length="100")"), "position"},
        {parapet("p_b_n_A_B_001", R"(position="40 0 69.28 1" yaw="30" length="100")"), "position"},
        {parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="north" length="100")"), "yaw"},
        {parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="30" length="0")"), "length"},
        {parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="30" length="1e99")"), "length"},
        // Where it stands.
        {parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="-150" length="100")"), "faces into"},
        {parapet("p_b_n_A_B_001", R"(position="40 5 69.28" yaw="30" length="100")"), "not on the ground"},
        {parapet("p_b_n_A_B_001", R"(position="10 100 10" yaw="30" length="40")"), "on its object"},
        {parapet("p_b_n_A_B_001", R"(position="400 0 400" yaw="45" length="100")"), "too far"},
        {parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="30" length="4000")"), "no ground"},
        // On the roof of a house the crate leans on, out of the crate's cover.
        {Level(R"(<parapet name="p_b_n_A_B_001" position="40 400 69.28" yaw="30" length="100"/>)",
               R"(<object name="house" shape="box" size="400 400 400" position="100 0 240" material="m"/>)"),
         "above its object's top"},
        // Under a cable strung overhead the ground is the floor's.
        {Level("", R"(<object name="cable" shape="box" size="2000 6 6" position="0 400 300" material="m"/>
                      <prop name="obj_lata_01" position="300 406 300"/>)"),
         "not on the ground"},
        {Level(std::string(kCrateParapet) + kCrateParapet), "twice"},
        {Level("", "<parapet name=\"p_b_n_A_B_001\" " + fine + "/>"), "outside any object"},
        // Cover along the faces: of a known height, and of a box.
        {Level("", R"(<object name="a" shape="box" size="90 90 90" position="500 0 0" material="m" cover="half"/>)"),
         "unknown cover"},
        {Level("", R"(<object name="a" shape="cylinder" size="90 90 90" position="500 0 0" material="m" cover="low"/>)"),
         "no box"},
        // Lights: all but straight down, half given, inside an object.
        {Level("", R"(<light position="5 400 5" target="5.0001 -900 5"/>)"), "straight"},
        {Level("", R"(<light position="0 400" target="0 100 150"/>)"), "position"},
        {Level(R"(<light position="0 400 0" target="0 100 150"/>)"), "inside object crate"},
        // Props: a name of no family, no position, off the ground, on nothing, twice.
        {Level("", R"(<prop name="obj_caja_01" position="300 0 300"/>)"), "no prop family"},
        {Level("", R"(<prop name="lata_01" position="300 0 300"/>)"), "no prop family"},
        {Level("", R"(<prop name="obj_lata_01" position="300 0"/>)"), "position"},
        {Level("", R"(<prop name="obj_lata_01" position="300 0 300" yaw="east"/>)"), "yaw"},
        {Level("", R"(<prop name="obj_lata_01" position="0 0 0"/>)"), "not on the ground"},
        {Level("", R"(<prop name="obj_lata_01" position="300 5 300"/>)"), "not on the ground"},
        {Level("", R"(<prop name="obj_lata_01" position="3000 0 300"/>)"), "no ground"},
        {Level("", R"(<prop name="obj_lata_01" position="300 0 300"/><prop name="obj_lata_01" position="400 0 300"/>)"),
         "placed twice"},
    };
    for (const auto& [xml, why] : refused) {
        LevelLayout layout;
        std::string problem;
        EXPECT_FALSE(datagen::ParseLayout(xml, layout, problem)) << xml;
        EXPECT_TRUE(!problem.empty() && problem.find(why) != std::string::npos)
            << "got \"" << problem << "\" for\n" << xml;
    }
}

// What the scenario and its rooms take from the files, read with the game's own getters. An object:
// name, transform, radius, materials' count then its three maps, parapets' count and parapets.
using ReadParapet = std::tuple<std::string, D3DXMATRIX, D3DXVECTOR3, D3DXVECTOR3>;
using ReadObject = std::tuple<std::string, D3DXMATRIX, float, std::vector<std::string>, int, std::vector<ReadParapet>>;
using Rooms = std::vector<std::pair<std::string, std::vector<ReadObject>>>;
using Spots = std::vector<std::pair<D3DXVECTOR3, D3DXVECTOR3>>;

struct ScenarioReader : CXMLParser {
    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        if (name == "rooms" || name == "spots")
            count = a.GetInt("count", -1);
        else if (name == "room")
            rooms.push_back({a.GetString("name", ""), {}});
        else if (name == "object")
            rooms.back().second.emplace_back(a.GetString("name", ""), a.GetMatrix("transform", identity),
                                             a.GetFloat("radio", -1), std::vector<std::string>(), 0,
                                             std::vector<ReadParapet>());
        else if (name == "materials")
            std::get<3>(Object()).push_back(a.GetString("count", ""));
        else if (name == "material")
            for (const char* map : {"diffusemap", "lightmap", "normalmap"})
                std::get<3>(Object()).push_back(a.GetString(map, "?"));
        else if (name == "parapets")
            std::get<4>(Object()) = a.GetInt("count", -1);
        else if (name == "parapet")
            std::get<5>(Object()).emplace_back(a.GetString("name", ""), a.GetMatrix("transform", identity),
                                               a.GetVect3f("pt_ini", -1, -1, -1), a.GetVect3f("pt_fin", -1, -1, -1));
        else if (name == "spot")
            spots.emplace_back(a.GetVect3f("position", NAN, NAN, NAN), a.GetVect3f("target", NAN, NAN, NAN));
    }
    ReadObject& Object() { return rooms.back().second.back(); }
    int count = -1;
    Rooms rooms;
    Spots spots;
};

// Two small rooms with awkward numbers: turns that leave long fractions, a
// negative zero, a name that must be escaped, and a floor whose lightmap is baked.
LevelLayout SmallHangar()
{
    return Parse(R"(<layout level="hangares">
      <material name="m" diffusemap="d.jpg" lightmap="l.jpg" normalmap="n.tga"/>
      <light position="0.1 400 -0.0" target="0.3 99.7 150.123"/>
      <light position="-333.333 420 1e-3" target="-300 120 0"/>
      <object name="floor" shape="floor" size="3000 0 3000" position="0 0 0" material="m"/>
      <object name="crate&amp;co" shape="box" size="80 80 80" position="123.456 0 -78.9" yaw="-33.3" material="m">
        <parapet name="p_b_n_A_P_008" position="85.024 0 -20.393" yaw="-33.3" length="80"/>
        <parapet name="p_b_s_A_B_009" position="161.888 0 -137.407" yaw="146.7" length="70"/>
      </object>
      <object name="post" shape="cylinder" size="30 400 30" position="-500 0 500" yaw="17" material="m"/>
    </layout>)");
}

LevelLayout SmallIsland()
{
    return Parse(R"(<layout level="isla">
      <material name="s" diffusemap="arena.jpg" lightmap="blanco.jpg" normalmap="arena_normal.tga"/>
      <light position="0 400 0" target="10 100 0"/>
      <object name="rock" shape="box" size="300 180 200" position="0 0 0" yaw="91" material="s"/>
    </layout>)");
}

// A decimal comma, as some desktops set for every stream made afterwards.
struct CommaNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(Instances, FilesReadBackToExactlyWhatTheLayoutsPlace)
{
    const std::locale before = std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
    const std::vector<LevelLayout> layouts = {SmallHangar(), SmallIsland()};
    TempFolder tmp;
    datagen::Output out(tmp.Path());
    datagen::WriteLevelInstances(layouts, out);
    std::locale::global(before);
    ASSERT_TRUE(out.Failures().empty()) << out.Failures().front();

    ScenarioReader scenario;
    ASSERT_TRUE(scenario.LoadXML(tmp / datagen::kInstancesFile)) << scenario.GetErrorText();
    EXPECT_EQ(scenario.count, 2);
    Rooms rooms;
    for (const LevelLayout& layout : layouts) {
        rooms.push_back({layout.level, {}});
        for (const datagen::LayoutObject& o : layout.objects) {
            const datagen::LayoutMaterial& m = *layout.FindMaterial(o.material);
            const std::string lightmap =
                datagen::HasBakedLightmap(o) ? datagen::BakedLightmapName(layout.level, o) : m.lightmap;
            std::vector<ReadParapet> parapets;
            for (const LayoutParapet& p : o.parapets)
                parapets.emplace_back(p.name, p.Transform(), p.Start(), p.End());
            rooms.back().second.emplace_back(o.name, o.Transform(), o.Radius(),
                                             std::vector<std::string>{"1", m.diffuse, lightmap, m.normal},
                                             static_cast<int>(parapets.size()), parapets);
        }
        ScenarioReader lights;
        ASSERT_TRUE(lights.LoadXML(tmp / datagen::LightFileOf(layout.level))) << lights.GetErrorText();
        EXPECT_EQ(lights.count, static_cast<int>(layout.lights.size()));
        Spots spots;
        for (const datagen::LayoutLight& light : layout.lights)
            spots.emplace_back(light.position, light.target);
        EXPECT_EQ(lights.spots, spots) << layout.level;
    }
    EXPECT_EQ(scenario.rooms, rooms);
    // The names the scenario reads each room's lights from.
    EXPECT_EQ(datagen::LightFileOf("hangares"), "data/XML/light_instances_1.xml");
    EXPECT_EQ(datagen::LightFileOf("isla"), "data/XML/light_instances_2.xml");
}

// The scenario fills rooms by name and starts light searches from a room's first light.
TEST(Instances, WritesNothingForRoomsTheGameCannotLoad)
{
    LevelLayout dark = SmallIsland(), elsewhere = SmallIsland();
    dark.lights.clear();
    elsewhere.level = "luna";
    for (const std::vector<LevelLayout>& layouts : {std::vector<LevelLayout>{SmallHangar(), dark},
                                                    {SmallHangar(), SmallIsland(), elsewhere},
                                                    {SmallHangar(), SmallHangar(), SmallIsland()},
                                                    {SmallHangar()}}) {
        TempFolder tmp;
        datagen::Output out(tmp.Path());
        datagen::WriteLevelInstances(layouts, out);
        EXPECT_TRUE(!out.Failures().empty() && out.Files().empty()) << layouts.size() << " rooms";
    }
}

// A ground turned and moved off the origin, so that a mix-up of axes, of the turn's sense or of
// the image's rows shows; then the sea, the sky and each case's own objects.
LevelLayout SunnyLevel(const std::string& objects)
{
    return Parse(R"(<layout level="t">
      <material name="tierra" diffusemap="d.jpg" lightmap="blanco.jpg"/>
      <material name="agua" diffusemap="agua.jpg" lightmap="blanco.jpg"/>
      <material name="cielo" diffusemap="cielo.jpg"/>
      <object name="ground" shape="floor" size="2400 0 1600" position="300 0 -200" yaw="35" material="tierra"/>
      <object name="sea" shape="floor" size="9000 0 9000" position="0 -15 0" material="agua"/>
      <object name="sky" shape="sky" size="18000 8000 18000" position="0 0 0" material="cielo"/>)" +
                 objects + "</layout>");
}

// Light the lightmap gives a world point of the floor, 0..1.
float LightAt(const datagen::Canvas& map, const LayoutObject& floor, float x, float z)
{
    const D3DXVECTOR2 uv = datagen::FloorLightmapUv(floor, D3DXVECTOR3(x, floor.position.y, z));
    const int tx = static_cast<int>(uv.x * map.Width()), ty = static_cast<int>(uv.y * map.Height());
    EXPECT_TRUE(tx >= 0 && ty >= 0 && tx < map.Width() && ty < map.Height()) << x << ", " << z;
    return map.Get(tx, ty).r / 255.0f;
}

// East and down at 45 degrees, a little north: a 200-high solid shades 200 east and 60 north.
const D3DXVECTOR3 kSun = D3DXVECTOR3(1, -1, 0.3f) / std::sqrt(2.09f);

// Texels land where the floor mesh's second uv set puts them, on a turned floor of unequal
// sides. Only walkable floors get a map, under the scenario's name: the sea keeps its material's.
TEST(Lightmaps, FloorUvMatchesTheFloorMeshAndOnlyWalkableFloorsGetAMap)
{
    const LevelLayout layout = SunnyLevel("");
    const LayoutObject& ground = layout.objects[0];
    const D3DXMATRIX world = ground.Transform();
    const datagen::MeshGeometry mesh = datagen::MakeFloor(ground.size, 100);
    ASSERT_EQ(mesh.vertices.size(), 4u);
    for (const datagen::MeshVertex& v : mesh.vertices) {
        D3DXVECTOR3 corner;
        D3DXVec3TransformCoord(&corner, &v.position, &world);
        const D3DXVECTOR2 off = datagen::FloorLightmapUv(ground, corner) - v.uv2;
        EXPECT_LT(std::fabs(off.x) + std::fabs(off.y), 1e-4f) << corner.x << " " << corner.z;
    }

    TempFolder tmp;
    datagen::Output out(tmp.Path());
    datagen::WriteLightmaps({layout}, out);
    EXPECT_TRUE(out.Failures().empty());
    EXPECT_EQ(out.Files(), std::vector<std::string>{"data/textures/lightmaps/t_ground.jpg"});
}

// A box shades the floor away from the sun, fully past the soft edge; the sunny side darkens a
// little at its foot. A box lifted up shades further away and nothing under itself.
TEST(Lightmaps, SolidsShadeTheSideAwayFromTheSun)
{
    const LevelLayout layout = SunnyLevel(R"(
      <object name="crate" shape="box" size="100 200 100" position="0 0 0" material="tierra"/>
      <object name="sign" shape="box" size="100 100 100" position="600 300 -600" material="tierra"/>)");
    const LayoutObject& ground = layout.objects[0];
    const datagen::Canvas map = datagen::BakeFloorLightmap(layout, ground, kSun);

    const float shadow = LightAt(map, ground, 120, 36);
    EXPECT_NEAR(shadow, 0.45f, 0.05f);
    EXPECT_GT(LightAt(map, ground, -150, -45), 0.98f);
    for (float z : {200.0f, -150.0f}) // north and south of the crate's shadow, well clear of it
        EXPECT_GT(LightAt(map, ground, 120, z), 0.98f) << z;

    // At the foot the shadow's soft edge and the contact band darken; further out only the band.
    const float foot = LightAt(map, ground, -58, 0);
    EXPECT_LT(foot, 0.9f);
    EXPECT_GT(foot, shadow + 0.1f);
    const float band = LightAt(map, ground, -86, 0);
    EXPECT_LT(band, 0.985f);
    EXPECT_GT(band, 0.9f);

    // The sign, 300 to 400 up, shades 300..400 east and 90..120 north of itself.
    EXPECT_NEAR(LightAt(map, ground, 950, -495), 0.45f, 0.05f);
    EXPECT_GT(LightAt(map, ground, 600, -600), 0.98f);
}

// Only solids above the floor's plane shade it: not one below, nor one whose shadow falls
// elsewhere, nor the sky, nor another floor.
TEST(Lightmaps, WhatIsBelowOrFarOrNotASolidLeavesTheFloorWhite)
{
    const LevelLayout layout = SunnyLevel(R"(
      <object name="deck" shape="floor" size="1000 0 1000" position="0 100 0" material="tierra"/>
      <object name="pile" shape="box" size="200 99 200" position="0 0 0" material="tierra"/>
      <object name="post" shape="cylinder" size="50 90 50" position="200 -20 100" material="tierra"/>
      <object name="tower" shape="box" size="100 400 100" position="3000 0 3000" material="tierra"/>
      <object name="ramp" shape="wedge" size="300 500 300" position="-2500 0 0" yaw="90" material="tierra"/>
      <object name="roof" shape="floor" size="400 0 400" position="0 300 0" material="tierra"/>)");
    const datagen::Canvas map = datagen::BakeFloorLightmap(layout, layout.objects[3], kSun);
    EXPECT_EQ(*std::min_element(map.Pixels().begin(), map.Pixels().end()), 255);
}

} // namespace
