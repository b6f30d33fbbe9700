#include <cmath>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "datagen/Layout.h"
#include "scene/Entity3D.h"
#include "scene/Location.h"
#include "xml/XMLParser.h"

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

TEST(Layout, ReadsObjectsWithTheirOptionsAndRefusesWhatCannotBeBuilt)
{
    LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(kGood, layout, error)) << error;
    EXPECT_EQ(layout.level, "test");
    ASSERT_EQ(layout.materials.size(), 1u);
    EXPECT_FLOAT_EQ(layout.materials[0].tile, 250.0f);
    ASSERT_EQ(layout.objects.size(), 3u);
    EXPECT_EQ(layout.objects[0].shape, LayoutShape::Wedge);
    EXPECT_EQ(layout.objects[0].vertexType, MESH_NORMAL_TEXTURED_VERTEX);
    EXPECT_EQ(layout.objects[1].segments, 6);
    EXPECT_EQ(layout.objects[1].vertexType, MESH_NORMAL_TANGENT_TEXTURED_VERTEX);
    // A floor is flat by nature; every other solid needs a height.
    EXPECT_EQ(layout.objects[2].shape, LayoutShape::Floor);

    const std::pair<const char*, const char*> refused[] = {
        {R"(<object name="a" shape="sphere" size="1 1 1" material="m"/>)", "sphere"},
        {R"(<object name="a" shape="box" size="1 1 1" material="x"/>)", "\"x\""},
        {R"(<object name="a" shape="box" size="1 1 1" material="m"/><object name="a" shape="box" size="2 2 2" material="m"/>)", "twice"},
        {R"(<object name="a" shape="box" size="1 0 1" material="m"/>)", "size"},
        {R"(<object name="a" shape="box" size="1 1 1" material="m" vertex="1"/>)", "vertex type 1"},
        {R"(<objet name="a"/>)", "objet"},
        {R"(<object name="a")", ""},
    };
    for (const auto& [object, why] : refused) {
        const std::string problem = Problem(WithObject(object));
        EXPECT_FALSE(problem.empty()) << object;
        EXPECT_NE(problem.find(why), std::string::npos) << object;
    }
    EXPECT_FALSE(Problem(R"(<layout><material name="m" diffusemap="d.jpg"/></layout>)").empty());
}

// The layout places objects the way the game places entities, so a file
// generated from it puts each mesh where the layout says.
TEST(Layout, PlacementMatchesTheGamesAndTheGroundFollowsIt)
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

    // The ground follows footprints, slopes and turns.
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

// The shipped layouts keep the ground under the points the level code uses:
// never inside a solid, and the hero never more than a step above the ground.
TEST(Layout, ShippedLevelsHoldTheGroundUnderEveryFixedPoint)
{
    const std::vector<std::string> files = datagen::LevelLayoutFiles();
    ASSERT_EQ(files.size(), 2u);
    LevelLayout hangares, isla;
    std::string error;
    ASSERT_TRUE(datagen::ReadLayout(files[0], hangares, error)) << error;
    ASSERT_TRUE(datagen::ReadLayout(files[1], isla, error)) << error;
    EXPECT_EQ(hangares.level, "hangares");
    EXPECT_EQ(isla.level, "isla");
    // The ground at (x, z) is at most y, and at least y - drop.
    auto expectGround = [](const LevelLayout& level, float x, float y, float z, float drop) {
        float h = 0;
        ASSERT_TRUE(level.GroundAt(x, z, h)) << level.level << " " << x << " " << z;
        EXPECT_LE(h, y + 0.01f) << level.level << " " << x << " " << z;
        EXPECT_GT(h, y - drop) << level.level << " " << x << " " << z;
    };

    // Restart points, and where the hangar's blast throws the hero.
    for (const D3DXVECTOR3& p : {D3DXVECTOR3(-1159.4f, 9.231f, -665.515f), D3DXVECTOR3(1316.95f, 9.24f, 499.93f),
                                 D3DXVECTOR3(453.748f, 0.57f, 3567.08f)})
        expectGround(hangares, p.x, p.y, p.z, 30);
    for (const D3DXVECTOR3& p : {D3DXVECTOR3(1120.89f, 26.1259f, -912.779f), D3DXVECTOR3(-1007.4f, 375.0f, -509.552f),
                                 D3DXVECTOR3(-2297.4f, 375.0f, -163.31f)})
        expectGround(isla, p.x, p.y, p.z, 30);

    // Where effects burn, smoke or blow up, the scene's default light and the
    // enemy plane's loop.
    const D3DXVECTOR3 effects[] = {
        {2541.06f, 50, 430.616f},  {140.419f, 87.04f, 496.85f},
        // smoke over the crashed plane and the impaled enemy's blood
        {1123.23f, 0, 553.7f},     {1232.23f, 0, 451.7f},      {1273.23f, 8, 580.7f},
        {1044.48f, 18, 685.7f},    {841.48f, 18, 747.7f},      {13.48f, 138, 509.7f},
        {1197.48f, 87, 444.7f},    {13.48f, 138, 501.7f},
        // fires
        {1864.79f, 35.0332f, 1027.08f}, {1832.18f, 35.0332f, 1042.52f}, {1951.02f, 81.5972f, 1019.13f},
        // the plane's and the tank's blast points
        {2350.89f, 79.78f, 462.07f}, {2350.89f, 92.78f, 332.07f}, {2148.54f, 64.48f, 1019.07f},
        {2268.54f, 64.48f, 1019.07f}, {2208.54f, 64.48f, 1019.07f},
        // the ambient smoke, at ground level
        {-1213, 0.605713f, -224.968f}, {-674.871f, 0.605713f, -224.968f}, {-85.3774f, 0.605713f, -225.676f},
        {656.676f, 0.605713f, -639.145f}, {285.779f, 0.605713f, -292.795f}, {260.416f, 0.605713f, 1524.18f},
        {654.001f, 0.605713f, 1190.9f}, {259.332f, 0.605713f, 2792.69f}, {-1210.89f, 0.605713f, 42.9174f},
        {-626.52f, 0.605713f, 42.9174f}, {-85.3774f, 0.605713f, 42.2089f},
    };
    for (const D3DXVECTOR3& p : effects)
        expectGround(hangares, p.x, p.y, p.z, 1e9f);

    // The enemies walk round obstacles through fixed detour points: open
    // ground at the yard's level.
    const float detours[][2] = {
        {1212.5f, -362.76f}, {1638.3f, 65.8f},   {1247.6f, 516.3f},  {331.207f, -315.543f}, {900.0f, 1950.5f},
        {1185.9f, 1412.6f},  {1673.2f, 1878.7f}, {1164.9f, 2417.3f}, {569.9f, 4071.0f},     {607.1f, 3584.14f},
        {687.2f, 3185.1f},   {-1785.5f, -161.5f}, {-1900.0f, -531.8f}, {-1541.3f, -600.9f}, {-1467.8f, -289.9f},
        {120.5f, -1094.0f},  {385.0f, -1146.6f}, {378.4f, -1330.8f}, {199.7f, -611.8f},     {278.2f, -804.8f},
        {25.2f, -900.1f},
    };
    for (const auto& d : detours)
        expectGround(hangares, d[0], 0.99f, d[1], 1e9f);
}

// An entity without an Entity element draws with no technique, so every
// object of the layouts needs one in the shipped techniques file. The file is
// read once into a table (the game reads it whole for every entity, far too
// slow for hundreds of names in a sanitized build); the game's own reader
// confirms the table on the first and last object of each level.
TEST(Layout, EveryObjectHasATechnique)
{
    struct Named : IEntidad3D {
        explicit Named(const std::string& name) { m_Name = name; m_CurrentPass = "Base"; }
        void Render(bool) override {}
        void Init(const std::string&) override {}
        void UploadBones() override {}
    };
    struct BaseTechniques : CXMLParser {
        void OnStartElement(const std::string& name, CXMLAttributes& a) override
        {
            if (name == "Entity")
                entity = a.GetString("name", "");
            else if (name == "render" && a.GetString("state", "") == "Base")
                base[entity] = a.GetString("technique", "");
        }
        std::string entity;
        std::map<std::string, std::string> base;
    };
    const std::string techniques = std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/techniques.xml";
    BaseTechniques table;
    ASSERT_TRUE(table.LoadXML(techniques)) << table.GetErrorText();

    for (const std::string& file : datagen::LevelLayoutFiles()) {
        LevelLayout layout;
        std::string error;
        ASSERT_TRUE(datagen::ReadLayout(file, layout, error)) << error;
        ASSERT_FALSE(layout.objects.empty());
        for (const datagen::LayoutObject& object : layout.objects) {
            // Comic panels and lamp glass show their texture as it is.
            const bool plain = object.material == "vinyeta" || object.material == "luz";
            EXPECT_EQ(table.base[object.name], plain ? "basicTech" : "PhongLightingTech") << object.name;
        }
        for (const datagen::LayoutObject* object : {&layout.objects.front(), &layout.objects.back()}) {
            Named entity(object->name);
            IEntidad3D::CEntityTechsParser parser(&entity);
            ASSERT_TRUE(parser.Load(techniques)) << parser.GetErrorText();
            EXPECT_EQ(entity.GetCurrentTechnique(), table.base[object->name]) << object->name;
        }
    }
}

} // namespace
