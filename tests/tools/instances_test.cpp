#include <cmath>
#include <locale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "datagen/Generator.h"
#include "datagen/Instances.h"
#include "datagen/Layout.h"
#include "datagen/Lightmaps.h"
#include "math/VectorMath.h"
#include "xml/XMLParser.h"
#include "xml/temp_folder.h"

using datagen::LevelLayout;

namespace {

// What the scenario and its rooms take from the files, read with the game's
// own attribute getters.
struct ReadParapet {
    std::string name;
    D3DXMATRIX transform;
    D3DXVECTOR3 start, end;
};
struct ReadObject {
    std::string name;
    D3DXMATRIX transform;
    float radius;
    std::vector<std::string> material;  // the materials' count, then diffuse, lightmap, normal
    std::vector<ReadParapet> parapets;
    int parapetCount;
};
struct ReadRoom {
    std::string name;
    std::vector<ReadObject> objects;
};

struct ScenarioReader : CXMLParser {
    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        if (name == "rooms")
            count = a.GetInt("count", -1);
        else if (name == "room")
            rooms.push_back({a.GetString("name", ""), {}});
        else if (name == "object")
            rooms.back().objects.push_back(
                {a.GetString("name", ""), a.GetMatrix("transform", identity), a.GetFloat("radio", -1), {}, {}, 0});
        else if (name == "materials")
            Object().material.push_back(a.GetString("count", ""));
        else if (name == "material")
            for (const char* map : {"diffusemap", "lightmap", "normalmap"})
                Object().material.push_back(a.GetString(map, "?"));
        else if (name == "parapets")
            Object().parapetCount = a.GetInt("count", -1);
        else if (name == "parapet")
            Object().parapets.push_back({a.GetString("name", ""), a.GetMatrix("transform", identity),
                                         a.GetVect3f("pt_ini", -1, -1, -1), a.GetVect3f("pt_fin", -1, -1, -1)});
    }
    ReadObject& Object() { return rooms.back().objects.back(); }
    int count = -1;
    std::vector<ReadRoom> rooms;
};

struct LightsReader : CXMLParser {
    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        if (name == "spots")
            count = a.GetInt("count", -1);
        else if (name == "spot")
            spots.push_back({a.GetVect3f("position", NAN, NAN, NAN), a.GetVect3f("target", NAN, NAN, NAN)});
    }
    int count = -1;
    std::vector<datagen::LayoutLight> spots;
};

LevelLayout Parse(const std::string& xml)
{
    LevelLayout layout;
    std::string error;
    EXPECT_TRUE(datagen::ParseLayout(xml, layout, error)) << error;
    return layout;
}

// Two small rooms with awkward numbers: turns that leave long fractions, a
// negative zero, a name that must be escaped, and a floor whose lightmap is
// baked.
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

void ExpectSameMatrix(const D3DXMATRIX& read, const D3DXMATRIX& made, const std::string& what)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(read.m[r][c], made.m[r][c]) << what << " [" << r << "][" << c << "]";
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
    ASSERT_EQ(scenario.count, 2);
    ASSERT_EQ(scenario.rooms.size(), 2u);
    for (std::size_t r = 0; r < layouts.size(); ++r) {
        const LevelLayout& layout = layouts[r];
        const ReadRoom& room = scenario.rooms[r];
        EXPECT_EQ(room.name, layout.level);
        ASSERT_EQ(room.objects.size(), layout.objects.size()) << layout.level;
        for (std::size_t i = 0; i < layout.objects.size(); ++i) {
            const datagen::LayoutObject& made = layout.objects[i];
            const ReadObject& read = room.objects[i];
            EXPECT_EQ(read.name, made.name);
            ExpectSameMatrix(read.transform, made.Transform(), made.name);
            EXPECT_EQ(read.radius, made.Radius()) << made.name;
            const datagen::LayoutMaterial& material = *layout.FindMaterial(made.material);
            const std::string lightmap = datagen::HasBakedLightmap(made)
                                             ? datagen::BakedLightmapName(layout.level, made)
                                             : material.lightmap;
            EXPECT_EQ(read.material, (std::vector<std::string>{"1", material.diffuse, lightmap, material.normal}))
                << made.name;
            EXPECT_EQ(read.parapetCount, static_cast<int>(made.parapets.size())) << made.name;
            ASSERT_EQ(read.parapets.size(), made.parapets.size()) << made.name;
            for (std::size_t p = 0; p < made.parapets.size(); ++p) {
                EXPECT_EQ(read.parapets[p].name, made.parapets[p].name);
                ExpectSameMatrix(read.parapets[p].transform, made.parapets[p].Transform(), made.parapets[p].name);
                EXPECT_EQ(read.parapets[p].start, made.parapets[p].Start()) << made.parapets[p].name;
                EXPECT_EQ(read.parapets[p].end, made.parapets[p].End()) << made.parapets[p].name;
            }
        }

        LightsReader lights;
        ASSERT_TRUE(lights.LoadXML(tmp / datagen::LightFileOf(layout.level))) << lights.GetErrorText();
        EXPECT_EQ(lights.count, static_cast<int>(layout.lights.size()));
        ASSERT_EQ(lights.spots.size(), layout.lights.size());
        for (std::size_t i = 0; i < layout.lights.size(); ++i) {
            EXPECT_EQ(lights.spots[i].position, layout.lights[i].position) << layout.level << " light " << i;
            EXPECT_EQ(lights.spots[i].target, layout.lights[i].target) << layout.level << " light " << i;
        }
    }
    EXPECT_EQ(datagen::LightFileOf("hangares"), "data/XML/light_instances_1.xml");
    EXPECT_EQ(datagen::LightFileOf("isla"), "data/XML/light_instances_2.xml");
}

// The scenario fills its rooms by name and starts every light search from a
// room's first light: a file missing either would only fail in play.
TEST(Instances, WritesNothingForRoomsTheGameCannotLoad)
{
    LevelLayout dark = SmallIsland();
    dark.lights.clear();
    LevelLayout elsewhere = SmallIsland();
    elsewhere.level = "luna";
    const std::vector<std::vector<LevelLayout>> refused = {
        {SmallHangar(), dark},
        {SmallHangar(), SmallIsland(), elsewhere},
        {SmallHangar(), SmallHangar(), SmallIsland()},
        {SmallHangar()},
    };
    for (const std::vector<LevelLayout>& layouts : refused) {
        TempFolder tmp;
        datagen::Output out(tmp.Path());
        datagen::WriteLevelInstances(layouts, out);
        EXPECT_FALSE(out.Failures().empty()) << layouts.size() << " rooms";
        EXPECT_TRUE(out.Files().empty()) << layouts.size() << " rooms";
    }
}

// The shipped levels, as the layouts place them (the files say the same, as
// the test above holds).
LevelLayout Shipped(const std::string& level)
{
    for (const std::string& file : datagen::LevelLayoutFiles()) {
        LevelLayout layout;
        std::string error;
        EXPECT_TRUE(datagen::ReadLayout(file, layout, error)) << error;
        if (layout.level == level)
            return layout;
    }
    ADD_FAILURE() << "no layout for " << level;
    return LevelLayout();
}

// Every parapet of a level in the order the game numbers them.
std::vector<datagen::LayoutParapet> Parapets(const LevelLayout& layout)
{
    std::vector<datagen::LayoutParapet> all;
    for (const datagen::LayoutObject& o : layout.objects)
        all.insert(all.end(), o.parapets.begin(), o.parapets.end());
    return all;
}

// Scripts and scenes name parapets: the two a scripted event throws the hero
// out of, and the cover the dockers' scene puts him behind by its number.
TEST(ShippedInstances, ScriptedParapetsAreWhereTheScriptsExpectThem)
{
    const D3DXVECTOR3 firstCheckpoint(-1159.4f, 9.231f, -665.515f);
    for (const char* name : {"p_b_n_A_P_008", "p_b_n_A_P_009"}) {
        int found = 0;
        for (const datagen::LayoutParapet& p : Parapets(Shipped("hangares"))) {
            if (p.name != name)
                continue;
            ++found;
            EXPECT_LT(ManhattanDistanceXZ(p.position, firstCheckpoint), 1000.0f) << name;
        }
        EXPECT_EQ(found, 1) << name;
    }

    const auto parapets = Parapets(Shipped("isla"));
    ASSERT_GT(parapets.size(), 21u);
    const datagen::LayoutParapet& dockers = parapets[21];
    EXPECT_EQ(dockers.name[2], 'b') << dockers.name << " must be low: the scene crouches the hero";
    const D3DXVECTOR3 coverPoint(-1143.27f, 374.71f, -495.921f), heroPlaced(-1104.39f, 374.71f, -491.279f);
    // The cover point lies on the parapet's line, between its ends, at its height.
    const D3DXVECTOR3 along = NormalizeVector(dockers.End() - dockers.Start());
    const D3DXVECTOR3 toPoint = coverPoint - dockers.Start();
    const float offLine = VectorLength(D3DXVECTOR3(toPoint.x, 0, toPoint.z) - along * DotProduct(toPoint, along));
    EXPECT_LT(offLine, 5.0f) << dockers.name;
    EXPECT_GT(DotProduct(toPoint, along), 0.0f) << dockers.name;
    EXPECT_LT(DotProduct(toPoint, along), dockers.length) << dockers.name;
    EXPECT_NEAR(dockers.position.y, coverPoint.y, 5.0f) << dockers.name;
    // The hero is placed on the open side and walks up to the parapet.
    EXPECT_GT(DotProduct(dockers.Facing(), heroPlaced - coverPoint), 0.0f) << dockers.name;
}

TEST(ShippedInstances, LightsCoverThePlayingAreaAndEveryCheckpoint)
{
    struct Level {
        const char* name;
        float x0, x1, z0, z1;  // the playing area
        std::vector<D3DXVECTOR3> checkpoints;
    };
    // clang-format off
    const Level levels[] = {
        {"hangares", -3300, 3300, -2300, 4300, {{-1159.4f, 9.231f, -665.515f}, {1316.95f, 9.24f, 499.93f}}},
        {"isla", -3300, 3300, -3300, 3300,
         {{1120.89f, 26.1259f, -912.779f}, {-1007.4f, 375.0f, -509.552f}, {-2297.4f, 375.0f, -163.31f}}},
    };
    // clang-format on
    for (const Level& level : levels) {
        const LevelLayout layout = Shipped(level.name);
        ASSERT_FALSE(layout.lights.empty()) << level.name;
        for (const datagen::LayoutLight& light : layout.lights) {
            float ground = 0;
            ASSERT_TRUE(layout.GroundAt(light.position.x, light.position.z, ground)) << level.name;
            const float height = light.position.y - ground;
            EXPECT_TRUE(height >= 350 && height <= 500)
                << level.name << " " << light.position.x << " " << light.position.z;
            EXPECT_LT(light.target.y, light.position.y) << level.name;
        }
        auto nearest = [&](const D3DXVECTOR3& p) {
            float best = 1e9f;
            for (const datagen::LayoutLight& light : layout.lights)
                best = std::fmin(best, ManhattanDistanceXZ(light.position, p));
            return best;
        };
        for (const D3DXVECTOR3& checkpoint : level.checkpoints)
            EXPECT_LE(nearest(checkpoint), 250.0f) << level.name << " " << checkpoint.x << " " << checkpoint.z;
        // Wherever the hero can walk, some light is near enough to count.
        for (float x = level.x0; x <= level.x1; x += 200)
            for (float z = level.z0; z <= level.z1; z += 200) {
                float ground = 0;
                if (!layout.GroundAt(x, z, ground) || ground < -5 || ground > 400)
                    continue;
                EXPECT_LE(nearest(D3DXVECTOR3(x, ground, z)), 700.0f) << level.name << " " << x << " " << z;
            }
    }
}

} // namespace
