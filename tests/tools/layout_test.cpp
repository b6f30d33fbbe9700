#include <cmath>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "datagen/Layout.h"
#include "math/VectorMath.h"
#include "scene/Location.h"

using datagen::LayoutParapet;
using datagen::LevelLayout;

namespace {

constexpr float kPi = 3.14159265f;

LevelLayout Parse(const std::string& xml)
{
    LevelLayout layout;
    std::string error;
    EXPECT_TRUE(datagen::ParseLayout(xml, layout, error)) << error;
    return layout;
}

std::string Problem(const std::string& xml)
{
    LevelLayout layout;
    std::string error;
    EXPECT_FALSE(datagen::ParseLayout(xml, layout, error)) << xml;
    return error;
}

// A floor with one crate 100 across, turned 30 degrees, in the middle; each
// case adds its own children to the crate and elements to the level.
std::string Level(const std::string& parapets, const std::string& more = "")
{
    return R"(<layout level="t"><material name="m" diffusemap="d.jpg"/>
      <object name="floor" shape="floor" size="2000 0 2000" position="0 0 0" material="m"/>
      <object name="crate" shape="box" size="100 100 100" position="0 0 0" yaw="30" material="m">)" +
           parapets + "</object>" + more + "</layout>";
}

// The crate's +z face faces yaw 30; a parapet 80 out from the centre stands
// 30 clear of it.
const char kCrateParapet[] = R"(<parapet name="p_b_s_A_B_001" position="40 0 69.2820323" yaw="30" length="100"/>)";
const char kBackParapet[] = R"(<parapet name="p_a_n_A_P" position="-40 0 -69.2820323" yaw="-150" length="60"/>)";

// The layout places objects the way the game places entities, so a file
// generated from it puts each mesh where the layout says.
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
    EXPECT_EQ(layout.objects[1].segments, 6);
    EXPECT_EQ(layout.objects[1].vertexType, MESH_NORMAL_TANGENT_TEXTURED_VERTEX);

    CLocation location;
    location.SetPosition(ramp.position);
    location.SetYaw(ramp.yawDegrees * kPi / 180.0f);
    const D3DXMATRIX placed = ramp.Transform();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(placed.m[r][c], location.GetMatrix().m[r][c], 1e-4f) << r << "," << c;

    // The ground follows footprints, slopes and turns.
    const struct {
        float x, z, height;
    } ground[] = {
        {400, 400, -1},                // the floor
        {300, 314, 400},               // on the post, inside its circle
        {314, 314, -1},                // inside its square, outside its circle
        {10 - 99, -20, 5 + 50 * 199.0f / 200}, // the ramp, turned to run along x: full height at local -z, world -x
        {10 + 50, -20, 5 + 50 * 50.0f / 200},
    };
    for (const auto& g : ground) {
        float h = 0;
        ASSERT_TRUE(layout.GroundAt(g.x, g.z, h)) << g.x << "," << g.z;
        EXPECT_NEAR(h, g.height, 1e-3f) << g.x << "," << g.z;
    }
    float h = 0;
    EXPECT_FALSE(layout.GroundAt(2000, 0, h));
}

// The game turns a character in cover to the heading of pt_fin - pt_ini plus
// a quarter turn, and finds the side he stands on from the third row of the
// parapet's matrix: both must say "away from the crate".
TEST(Layout, ParapetsFaceAwayFromTheirObjectAndSoDoesTheCharacterInCover)
{
    const LevelLayout layout = Parse(Level(std::string(kCrateParapet) + kBackParapet,
                                           R"(<light position="0 400 0" target="0 100 150"/>)"));
    ASSERT_EQ(layout.lights.size(), 1u);
    EXPECT_EQ(layout.lights[0].target, D3DXVECTOR3(0, 100, 150));
    ASSERT_EQ(layout.objects.size(), 2u);
    const datagen::LayoutObject& crate = layout.objects[1];
    ASSERT_EQ(crate.parapets.size(), 2u);

    for (const LayoutParapet& p : crate.parapets) {
        SCOPED_TRACE(p.name);
        const D3DXMATRIX m = p.Transform();
        const D3DXVECTOR3 facing(m._31, m._32, m._33);
        EXPECT_NEAR(YawFromDirection(facing), YawFromDirection(p.position - crate.position), 1e-4f);
        EXPECT_EQ(D3DXVECTOR3(m._41, m._42, m._43), p.position);

        const D3DXVECTOR3 start = p.Start(), end = p.End();
        const float coverYaw = YawFromDirection(end - start) + kPi / 2;
        EXPECT_NEAR(AngleDifference(coverYaw, YawFromDirection(facing)), 0.0f, 1e-4f);
        // The ends lie on the ground, either side of the centre, along the face.
        EXPECT_NEAR(VectorLength(end - start), p.length, 1e-3f);
        EXPECT_NEAR(VectorLength((start + end) * 0.5f - p.position), 0.0f, 1e-3f);
        EXPECT_NEAR(DotProduct(end - start, facing), 0.0f, 1e-3f);
        EXPECT_EQ(start.y, p.position.y);
        EXPECT_EQ(end.y, p.position.y);
    }
}

TEST(Layout, RefusesWhatCannotBeBuiltOrThatTheGameCannotUse)
{
    auto parapet = [](const std::string& name, const std::string& rest) {
        return "<parapet name=\"" + name + "\" " + rest + "/>";
    };
    const std::string fine = R"(position="40 0 69.2820323" yaw="30" length="100")";
    const std::pair<std::string, std::string> refused[] = {
        // Objects that cannot be built, and files that are not layouts.
        {Level("", R"(<object name="a" shape="sphere" size="1 1 1" material="m"/>)"), "sphere"},
        {Level("", R"(<object name="a" shape="box" size="1 1 1" material="x"/>)"), "\"x\""},
        {Level("", R"(<object name="crate" shape="box" size="2 2 2" material="m"/>)"), "twice"},
        {Level("", R"(<object name="a" shape="box" size="1 0 1" material="m"/>)"), "size"},
        {Level("", R"(<object name="a" shape="box" size="1 1 1" material="m" vertex="1"/>)"), "vertex type 1"},
        {Level("", R"(<objet name="a"/>)"), "objet"},
        {Level("", R"(<object name="a")"), ""},
        {R"(<layout><material name="m" diffusemap="d.jpg"/></layout>)", "no level"},
        // The parapet's name code, letter by letter.
        {Level(parapet("p_b_n_A", fine)), "p_b_n_A"},
        {Level(parapet("p_c_n_A_B_001", fine)), "follow"},
        {Level(parapet("p_b_n_a_B_001", fine)), "follow"},
        {Level(parapet("p_b_n_A_Q_001", fine)), "follow"},
        {Level(parapet("p_b_n_A_B001", fine)), "follow"},
        {Level(parapet("p_b_n_A_B_0x1", fine)), "follow"},
        // Numbers that are missing, short, or not numbers at all.
        {Level(parapet("p_b_n_A_B_001", R"(position="40 0" yaw="30" length="100")")), "position"},
        {Level(parapet("p_b_n_A_B_001", R"(position="40 0 69.28 1" yaw="30" length="100")")), "position"},
        {Level(parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="north" length="100")")), "yaw"},
        {Level(parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="30" length="0")")), "length"},
        {Level(parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="30" length="1e99")")), "length"},
        // Where it stands.
        {Level(parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="-150" length="100")")), "faces into"},
        {Level(parapet("p_b_n_A_B_001", R"(position="40 5 69.28" yaw="30" length="100")")), "not on the ground"},
        {Level(parapet("p_b_n_A_B_001", R"(position="10 100 10" yaw="30" length="40")")), "on its object"},
        {Level(parapet("p_b_n_A_B_001", R"(position="400 0 400" yaw="45" length="100")")), "too far"},
        {Level(parapet("p_b_n_A_B_001", R"(position="40 0 69.28" yaw="30" length="4000")")), "no ground"},
        {Level(std::string(kCrateParapet) + kCrateParapet), "twice"},
        {Level("", parapet("p_b_n_A_B_001", fine)), "outside any object"},
        // Lights: straight down, at themselves, half given, inside an object.
        {Level("", R"(<light position="0 400 0" target="0 100 0"/>)"), "straight"},
        {Level("", R"(<light position="5 400 5" target="5 400 5"/>)"), "straight"},
        {Level("", R"(<light position="5 400 5" target="5.0001 -900 5"/>)"), "straight"},
        {Level("", R"(<light position="0 400" target="0 100 150"/>)"), "position"},
        {Level(R"(<light position="0 400 0" target="0 100 150"/>)"), "inside object crate"},
    };
    for (const auto& [xml, why] : refused) {
        const std::string problem = Problem(xml);
        EXPECT_FALSE(problem.empty()) << xml;
        EXPECT_NE(problem.find(why), std::string::npos) << "got \"" << problem << "\" for\n" << xml;
    }
}

} // namespace
