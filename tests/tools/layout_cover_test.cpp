#include <cmath>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "datagen/Layout.h"
#include "math/VectorMath.h"

using datagen::LayoutParapet;
using datagen::LevelLayout;

namespace {

constexpr float kPi = 3.14159265f;

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

std::string Problem(const std::string& xml)
{
    LevelLayout layout;
    std::string error;
    EXPECT_FALSE(datagen::ParseLayout(xml, layout, error)) << xml;
    return error;
}

// The game turns a character in cover to the heading of pt_fin - pt_ini plus
// a quarter turn, and finds the side he stands on from the third row of the
// parapet's matrix: both must say "away from the crate".
TEST(LayoutCover, ParapetsFaceAwayFromTheirObjectAndSoDoesTheCharacterInCover)
{
    LevelLayout layout;
    std::string error;
    const std::string xml = Level(std::string(kCrateParapet) + kBackParapet,
                                  R"(<light position="0 400 0" target="0 100 150"/>)");
    ASSERT_TRUE(datagen::ParseLayout(xml, layout, error)) << error;
    ASSERT_EQ(layout.lights.size(), 1u);
    EXPECT_EQ(layout.lights[0].target, D3DXVECTOR3(0, 100, 150));
    const datagen::LayoutObject& crate = layout.objects[1];
    ASSERT_EQ(crate.parapets.size(), 2u);

    for (const LayoutParapet& p : crate.parapets) {
        const D3DXMATRIX m = p.Transform();
        const D3DXVECTOR3 facing(m._31, m._32, m._33);
        const D3DXVECTOR3 outward = p.position - crate.position;
        EXPECT_NEAR(YawFromDirection(facing), YawFromDirection(outward), 1e-4f) << p.name;
        EXPECT_EQ(D3DXVECTOR3(m._41, m._42, m._43), p.position) << p.name;

        const D3DXVECTOR3 start = p.Start(), end = p.End();
        const float coverYaw = YawFromDirection(end - start) + kPi / 2;
        EXPECT_NEAR(AngleDifference(coverYaw, YawFromDirection(facing)), 0.0f, 1e-4f) << p.name;
        // The ends lie on the ground, either side of the centre, along the face.
        EXPECT_NEAR(VectorLength(end - start), p.length, 1e-3f) << p.name;
        EXPECT_NEAR(VectorLength((start + end) * 0.5f - p.position), 0.0f, 1e-3f) << p.name;
        EXPECT_NEAR(DotProduct(end - start, facing), 0.0f, 1e-3f) << p.name;
        EXPECT_EQ(start.y, p.position.y);
        EXPECT_EQ(end.y, p.position.y);
    }
}

TEST(LayoutCover, RefusesParapetsAndLightsTheGameCannotUse)
{
    auto parapet = [](const std::string& name, const std::string& rest) {
        return "<parapet name=\"" + name + "\" " + rest + "/>";
    };
    const std::string fine = R"(position="40 0 69.2820323" yaw="30" length="100")";
    const std::pair<std::string, std::string> refused[] = {
        // The name code, letter by letter.
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
        EXPECT_NE(problem.find(why), std::string::npos) << "got \"" << problem << "\" for\n" << xml;
    }
}

} // namespace
