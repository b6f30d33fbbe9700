#include <cmath>
#include <locale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "datagen/Instances.h"
#include "datagen/Lightmaps.h"
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
    std::vector<std::string> material; // the materials' count, then diffuse, lightmap, normal
    int parapetCount;
    std::vector<ReadParapet> parapets;
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
            rooms.back().second.push_back(
                {a.GetString("name", ""), a.GetMatrix("transform", identity), a.GetFloat("radio", -1), {}, 0, {}});
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
        else if (name == "spots")
            count = a.GetInt("count", -1);
        else if (name == "spot")
            spots.push_back({a.GetVect3f("position", NAN, NAN, NAN), a.GetVect3f("target", NAN, NAN, NAN)});
    }
    ReadObject& Object() { return rooms.back().second.back(); }
    int count = -1;
    std::vector<std::pair<std::string, std::vector<ReadObject>>> rooms;
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
        const auto& [roomName, objects] = scenario.rooms[r];
        EXPECT_EQ(roomName, layout.level);
        ASSERT_EQ(objects.size(), layout.objects.size()) << layout.level;
        for (std::size_t i = 0; i < layout.objects.size(); ++i) {
            const datagen::LayoutObject& made = layout.objects[i];
            const ReadObject& read = objects[i];
            SCOPED_TRACE(made.name);
            EXPECT_EQ(read.name, made.name);
            EXPECT_TRUE(read.transform == made.Transform());
            EXPECT_EQ(read.radius, made.Radius());
            const datagen::LayoutMaterial& material = *layout.FindMaterial(made.material);
            const std::string lightmap = datagen::HasBakedLightmap(made)
                                             ? datagen::BakedLightmapName(layout.level, made)
                                             : material.lightmap;
            EXPECT_EQ(read.material, (std::vector<std::string>{"1", material.diffuse, lightmap, material.normal}));
            EXPECT_EQ(read.parapetCount, static_cast<int>(made.parapets.size()));
            ASSERT_EQ(read.parapets.size(), made.parapets.size());
            for (std::size_t p = 0; p < made.parapets.size(); ++p) {
                EXPECT_EQ(read.parapets[p].name, made.parapets[p].name);
                EXPECT_TRUE(read.parapets[p].transform == made.parapets[p].Transform()) << p;
                EXPECT_EQ(read.parapets[p].start, made.parapets[p].Start()) << p;
                EXPECT_EQ(read.parapets[p].end, made.parapets[p].End()) << p;
            }
        }

        ScenarioReader lights;
        ASSERT_TRUE(lights.LoadXML(tmp / datagen::LightFileOf(layout.level))) << lights.GetErrorText();
        EXPECT_EQ(lights.count, static_cast<int>(layout.lights.size()));
        ASSERT_EQ(lights.spots.size(), layout.lights.size());
        for (std::size_t i = 0; i < layout.lights.size(); ++i) {
            EXPECT_EQ(lights.spots[i].position, layout.lights[i].position) << layout.level << " light " << i;
            EXPECT_EQ(lights.spots[i].target, layout.lights[i].target) << layout.level << " light " << i;
        }
    }
    // The names the scenario reads each room's lights from.
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

} // namespace
