#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "datagen/Layout.h"
#include "scene/Entity3D.h"
#include "scene/Location.h"

using datagen::LayoutShape;
using datagen::LevelLayout;

namespace {

const char kGood[] = R"(<layout level="test">
  <material name="m" diffusemap="d.jpg" lightmap="l.jpg" normalmap="n.tga" tile="250"/>
  <object name="ramp" shape="wedge" size="100 50 200" position="10 5 -20" yaw="90" material="m" vertex="3"/>
  <object name="post" shape="cylinder" size="30 400 30" position="300 0 300" segments="6" material="m"/>
  <object name="ground" shape="floor" size="1000 0 1000" position="0 -1 0" material="m"/>
</layout>)";

std::string Problem(const std::string& xml)
{
    LevelLayout layout;
    std::string error;
    EXPECT_FALSE(datagen::ParseLayout(xml, layout, error)) << xml;
    return error;
}

std::string WithObject(const std::string& object)
{
    return R"(<layout level="t"><material name="m" diffusemap="d.jpg"/>)" + object + "</layout>";
}

TEST(Layout, ReadsMaterialsAndObjectsWithTheirOptions)
{
    LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(kGood, layout, error)) << error;
    EXPECT_EQ(layout.level, "test");
    ASSERT_EQ(layout.materials.size(), 1u);
    EXPECT_EQ(layout.materials[0].normal, "n.tga");
    EXPECT_FLOAT_EQ(layout.materials[0].tile, 250.0f);
    ASSERT_EQ(layout.objects.size(), 3u);
    const datagen::LayoutObject& ramp = layout.objects[0];
    EXPECT_EQ(ramp.shape, LayoutShape::Wedge);
    EXPECT_EQ(ramp.vertexType, MESH_NORMAL_TEXTURED_VERTEX);
    EXPECT_FLOAT_EQ(ramp.position.z, -20.0f);
    EXPECT_FLOAT_EQ(ramp.yawDegrees, 90.0f);
    EXPECT_EQ(layout.objects[1].segments, 6);
    EXPECT_EQ(layout.objects[1].vertexType, MESH_NORMAL_TANGENT_TEXTURED_VERTEX);
    EXPECT_EQ(layout.objects[2].shape, LayoutShape::Floor);
}

TEST(Layout, RefusesWhatCannotBeBuilt)
{
    EXPECT_NE(Problem(WithObject(R"(<object name="a" shape="sphere" size="1 1 1" material="m"/>)")).find("sphere"),
              std::string::npos);
    EXPECT_NE(Problem(WithObject(R"(<object name="a" shape="box" size="1 1 1" material="x"/>)")).find("\"x\""),
              std::string::npos);
    EXPECT_NE(Problem(WithObject(R"(<object name="a" shape="box" size="1 1 1" material="m"/>
                                    <object name="a" shape="box" size="2 2 2" material="m"/>)"))
                  .find("twice"),
              std::string::npos);
    EXPECT_NE(Problem(WithObject(R"(<object name="a" shape="box" size="1 0 1" material="m"/>)")).find("size"),
              std::string::npos);
    EXPECT_NE(Problem(WithObject(R"(<object name="a" shape="box" size="1 1 1" material="m" vertex="1"/>)"))
                  .find("vertex type 1"),
              std::string::npos);
    EXPECT_NE(Problem(WithObject(R"(<objet name="a"/>)")).find("objet"), std::string::npos);
    EXPECT_FALSE(Problem(WithObject(R"(<object name="a")")).empty());
    EXPECT_FALSE(Problem(R"(<layout><material name="m" diffusemap="d.jpg"/></layout>)").empty());

    // A floor is flat by nature; every other solid needs a height.
    LevelLayout layout;
    std::string error;
    EXPECT_TRUE(datagen::ParseLayout(WithObject(R"(<object name="a" shape="floor" size="5 0 5" material="m"/>)"),
                                     layout, error))
        << error;
}

// The layout places objects the way the game places entities, so a file
// generated from it puts each mesh where the layout says.
TEST(Layout, TransformMatchesTheGamesPlacement)
{
    LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(kGood, layout, error)) << error;
    const datagen::LayoutObject& ramp = layout.objects[0];
    CLocation location;
    location.SetPosition(ramp.position);
    location.SetYaw(ramp.yawDegrees * 3.14159265f / 180.0f);
    const D3DXMATRIX placed = ramp.Transform();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(placed.m[r][c], location.GetMatrix().m[r][c], 1e-4f) << r << "," << c;

    // The radius reaches the solid's farthest corner from its base centre.
    EXPECT_NEAR(ramp.Radius(), std::sqrt(50.0f * 50 + 50 * 50 + 100 * 100), 1e-3f);
}

TEST(Layout, GroundFollowsFootprintsSlopesAndTurns)
{
    LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(kGood, layout, error)) << error;
    float h = 0;
    ASSERT_TRUE(layout.GroundAt(400, 400, h));
    EXPECT_FLOAT_EQ(h, -1.0f);
    ASSERT_TRUE(layout.GroundAt(300, 314, h));  // on the post, inside its circle
    EXPECT_FLOAT_EQ(h, 400.0f);
    ASSERT_TRUE(layout.GroundAt(314, 314, h));  // inside its square, outside its circle
    EXPECT_FLOAT_EQ(h, -1.0f);
    // The ramp, turned to run along x: full height at local -z, i.e. world -x.
    ASSERT_TRUE(layout.GroundAt(10 - 99, -20, h));
    EXPECT_NEAR(h, 5 + 50 * 199.0f / 200, 1e-3f);
    ASSERT_TRUE(layout.GroundAt(10 + 50, -20, h));
    EXPECT_NEAR(h, 5 + 50 * 50.0f / 200, 1e-3f);
    EXPECT_FALSE(layout.GroundAt(2000, 0, h));
}

// The shipped layouts read, and keep the ground under the points the level
// code sends the hero to.
TEST(Layout, ShippedLevelsHoldTheHeroesGround)
{
    const std::vector<std::string> files = datagen::LevelLayoutFiles();
    ASSERT_EQ(files.size(), 2u);
    LevelLayout hangares, isla;
    std::string error;
    ASSERT_TRUE(datagen::ReadLayout(files[0], hangares, error)) << error;
    ASSERT_TRUE(datagen::ReadLayout(files[1], isla, error)) << error;
    EXPECT_EQ(hangares.level, "hangares");
    EXPECT_EQ(isla.level, "isla");

    float h = 0;
    ASSERT_TRUE(hangares.GroundAt(-1159.4f, -665.515f, h));
    EXPECT_LE(h, 9.231f);
    EXPECT_GT(h, 9.231f - 30);
    ASSERT_TRUE(hangares.GroundAt(2541.06f, 430.616f, h));
    EXPECT_LT(h, 50.0f);
    ASSERT_TRUE(isla.GroundAt(-2297.4f, -163.31f, h));
    EXPECT_LE(h, 375.0f);
    EXPECT_GT(h, 375.0f - 30);
}

// An entity without an Entity element draws with no technique, so every
// object of the layouts needs one in the shipped techniques file.
TEST(Layout, EveryObjectHasATechnique)
{
    struct Named : IEntidad3D {
        explicit Named(const std::string& name) { m_Name = name; m_CurrentPass = "Base"; }
        void Render(bool) override {}
        void Init(const std::string&) override {}
        void UploadBones() override {}
    };
    const std::string techniques = std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/techniques.xml";
    for (const std::string& file : datagen::LevelLayoutFiles()) {
        LevelLayout layout;
        std::string error;
        ASSERT_TRUE(datagen::ReadLayout(file, layout, error)) << error;
        for (const datagen::LayoutObject& object : layout.objects) {
            Named entity(object.name);
            IEntidad3D::CEntityTechsParser parser(&entity);
            ASSERT_TRUE(parser.Load(techniques)) << parser.GetErrorText();
            EXPECT_EQ(entity.GetCurrentTechnique(), "PhongLightingTech") << object.name;
        }
    }
}

} // namespace
