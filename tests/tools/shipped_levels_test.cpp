#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "app/Profiler.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "datagen/Characters.h"
#include "datagen/EnemyLists.h"
#include "datagen/Layout.h"
#include "datagen/MeshLevels.h"
#include "math/VectorMath.h"
#include "xml/XMLParser.h"

// The shipped layouts against what the game's code and data expect of them;
// the generated files say what the layouts say, so the layouts stand for them.

using datagen::LayoutObject;
using datagen::LayoutParapet;
using datagen::LevelLayout;

namespace {

const LevelLayout& Shipped(const std::string& level)
{
    static const std::map<std::string, LevelLayout> levels = [] {
        std::map<std::string, LevelLayout> read;
        for (const std::string& file : datagen::LevelLayoutFiles()) {
            LevelLayout layout;
            std::string error;
            EXPECT_TRUE(datagen::ReadLayout(file, layout, error)) << error;
            read[layout.level] = layout;
        }
        return read;
    }();
    return levels.at(level);
}

// Where the checkpoints put the hero back.
const std::map<std::string, std::vector<D3DXVECTOR3>> kCheckpoints = {
    {"hangares", {{-1159.4f, 9.231f, -665.515f}, {1316.95f, 9.24f, 499.93f}}},
    {"isla", {{1120.89f, 26.1259f, -912.779f}, {-1007.4f, 375.0f, -509.552f}, {-2297.4f, 375.0f, -163.31f}}},
};

// The ground at p's (x, z) is at most p.y (never inside a solid) and above p.y - drop.
void ExpectGround(const LevelLayout& level, const D3DXVECTOR3& p, float drop)
{
    float h = NAN;
    EXPECT_TRUE(level.GroundAt(p.x, p.z, h) && h <= p.y + 0.01f && h > p.y - drop)
        << level.level << " " << p.x << " " << p.z << ": ground at " << h;
}

TEST(ShippedLevels, TheGroundHoldsEveryFixedPointOfTheLevelCode)
{
    for (const auto& [level, points] : kCheckpoints)
        for (const D3DXVECTOR3& p : points)
            ExpectGround(Shipped(level), p, 30);
    const LevelLayout& hangares = Shipped("hangares");
    ExpectGround(hangares, D3DXVECTOR3(453.748f, 0.57f, 3567.08f), 30); // where the blast throws the hero

    // Where effects burn, smoke or blow up: the scene's default light, the enemy plane's loop, the smoke
    // over the crashed plane, the impaled enemy's blood, the fires, the blasts and the ambient smoke.
    const D3DXVECTOR3 effects[] = {
        {2541.06f, 50, 430.616f}, {140.419f, 87.04f, 496.85f}, {1123.23f, 0, 553.7f}, {1232.23f, 0, 451.7f},
        {1273.23f, 8, 580.7f}, {1044.48f, 18, 685.7f}, {841.48f, 18, 747.7f}, {13.48f, 138, 509.7f},
        {1197.48f, 87, 444.7f}, {13.48f, 138, 501.7f}, {1864.79f, 35.0332f, 1027.08f},
        {1832.18f, 35.0332f, 1042.52f}, {1951.02f, 81.5972f, 1019.13f}, {1848.5f, 35.0332f, 1012.4f},
        {1880.2f, 35.0332f, 1036.9f}, {1896.7f, 35.0332f, 1018.3f}, {1817.6f, 35.0332f, 1058.1f},
        {1841.3f, 35.0332f, 1061.7f}, {1872.9f, 35.0332f, 1052.6f}, {1905.4f, 35.0332f, 1044.2f},
        {1823.8f, 35.0332f, 1026.5f}, {1858.1f, 35.0332f, 995.8f}, {1889.6f, 35.0332f, 1003.4f},
        {1912.3f, 35.0332f, 1029.7f}, {1930.5f, 58.214f, 1008.6f}, {1941.8f, 58.214f, 1034.2f},
        {1962.7f, 81.5972f, 1027.4f}, {1944.1f, 81.5972f, 1011.9f}, {1968.9f, 81.5972f, 1013.5f},
        {1957.3f, 64.48f, 1041.6f}, {1975.2f, 48.91f, 1036.8f}, {1921.4f, 35.0332f, 1052.9f},
        {1897.8f, 35.0332f, 1066.3f}, {1866.4f, 35.0332f, 1075.1f}, {1835.9f, 35.0332f, 1080.4f},
        {1808.2f, 35.0332f, 1039.7f}, {1811.5f, 35.0332f, 1011.2f}, {1876.3f, 35.0332f, 988.6f}, {2350.89f, 79.78f, 462.07f},
        {2350.89f, 92.78f, 332.07f}, {2148.54f, 64.48f, 1019.07f}, {2268.54f, 64.48f, 1019.07f},
        {2208.54f, 64.48f, 1019.07f}, {-1213, 0.605713f, -224.968f}, {-674.871f, 0.605713f, -224.968f},
        {-85.3774f, 0.605713f, -225.676f}, {656.676f, 0.605713f, -639.145f}, {285.779f, 0.605713f, -292.795f},
        {260.416f, 0.605713f, 1524.18f}, {654.001f, 0.605713f, 1190.9f}, {259.332f, 0.605713f, 2792.69f},
        {-1210.89f, 0.605713f, 42.9174f}, {-626.52f, 0.605713f, 42.9174f}, {-85.3774f, 0.605713f, 42.2089f},
    };
    for (const D3DXVECTOR3& p : effects)
        ExpectGround(hangares, p, 1e9f);

    // The enemies walk round obstacles through fixed detour points: open ground at the yard's level.
    const float detours[][2] = {
        {1212.5f, -362.76f}, {1638.3f, 65.8f},    {1247.6f, 516.3f},   {331.207f, -315.543f}, {900.0f, 1950.5f},
        {1185.9f, 1412.6f},  {1673.2f, 1878.7f},  {1164.9f, 2417.3f},  {569.9f, 4071.0f},     {607.1f, 3584.14f},
        {687.2f, 3185.1f},   {-1785.5f, -161.5f}, {-1900.0f, -531.8f}, {-1541.3f, -600.9f},   {-1467.8f, -289.9f},
        {120.5f, -1094.0f},  {385.0f, -1146.6f},  {378.4f, -1330.8f},  {199.7f, -611.8f},     {278.2f, -804.8f},
        {25.2f, -900.1f}};
    for (const auto& d : detours)
        ExpectGround(hangares, D3DXVECTOR3(d[0], 0.99f, d[1]), 1e9f);
}

// The last fight places both fighters at fixed points of the island's raised yard (and shifts the boss
// a little from two of them): the yard's floor is under every one, at their height, and a parapet
// higher than a step stands on each side of it within a few steps.
TEST(ShippedLevels, TheFinalArenaHoldsEveryPointOfTheLastFight)
{
    const LevelLayout& isla = Shipped("isla");
    const float points[][2] = {{-2639.34f, 978.773f}, {-2663.34f, 1023.773f}, {-2658, 1110}, {-2678, 1150},
                               {-2688, 1180},         {-2695, 1174},         {-2715, 1214}, {-2719, 1224},
                               {-2781, 1302},         {-2806, 1350},         {-2810, 1314}, {-2825, 1344},
                               {-2846.02f, 1330.71f}, {-2861.02f, 1360.71f}};
    for (const auto& p : points)
        ExpectGround(isla, D3DXVECTOR3(p[0], 1236.75f, p[1]), 0.02f);
    // Out from the middle in each direction the ground rises into a wall within 300.
    const D3DXVECTOR3 middle(-2750, 1236.75f, 1170);
    for (const D3DXVECTOR3 way : {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(-1, 0, 0), D3DXVECTOR3(0, 0, 1),
                                  D3DXVECTOR3(0, 0, -1)}) {
        bool wall = false;
        for (float d = 0; d <= 300 && !wall; d += 5) {
            float h = NAN;
            const D3DXVECTOR3 p = middle + way * d;
            wall = isla.GroundAt(p.x, p.z, h) && h > 1236.75f + 40;
        }
        EXPECT_TRUE(wall) << way.x << " " << way.z;
    }
}

// Without a Base technique an object draws with none; the scene culls it with a sphere of the
// layout's radius, so no vertex may lie outside it (the sky most of all). Every name the frame
// render may hand over is an object of its level with a mesh in the working folder.
TEST(ShippedLevels, EveryObjectHasATechniqueAMeshAndLiesWithinItsCullingSphere)
{
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
    } table;
    ASSERT_TRUE(table.LoadXML(std::string(VANTOREL_SOURCE_DIR) + "/game/data/XML/techniques.xml")) << table.GetErrorText();
    const std::filesystem::path meshes = std::filesystem::path(VANTOREL_WORKDIR) / "data" / "meshes";

    for (const char* level : {"hangares", "isla"}) {
        const LevelLayout& layout = Shipped(level);
        std::set<std::string> placed;
        for (const LayoutObject& object : layout.objects) {
            placed.insert(object.name);
            // Comic panels and lamp glass show their texture as it is.
            const bool plain = object.material == "vinyeta" || object.material == "luz";
            EXPECT_EQ(table.base[object.name], plain ? "basicTech" : "PhongLightingTech") << object.name;

            const datagen::MeshGeometry mesh = datagen::BuildLayoutMesh(object, *layout.FindMaterial(object.material));
            ASSERT_FALSE(mesh.vertices.empty()) << object.name;
            float farthest = 0.0f;
            for (const datagen::MeshVertex& v : mesh.vertices)
                farthest = std::fmax(farthest, VectorLength(v.position));
            EXPECT_LE(farthest, object.Radius() * 1.0001f + 1e-3f) << level << ": " << object.name;
        }
        const std::vector<std::string> listed = LevelListNames(level);
        EXPECT_GT(listed.size(), 100u) << level;
        for (const std::string& name : listed) {
            EXPECT_TRUE(placed.count(name)) << name << " is not in the layout of " << level;
            std::error_code ec; // a header and at least one triangle
            const auto size = std::filesystem::file_size(meshes / (name + ".mesh"), ec);
            EXPECT_TRUE(!ec && size > 64u) << name << " " << ec.message();
        }
    }
}

// The two parapets a scripted event throws the hero out of, and the cover the dockers' scene
// puts him behind by its number.
TEST(ShippedLevels, ScriptedParapetsAreWhereTheScriptsExpectThem)
{
    // Every parapet of a level in the order the game numbers them.
    auto parapets = [](const LevelLayout& layout) {
        std::vector<LayoutParapet> all;
        for (const LayoutObject& o : layout.objects)
            all.insert(all.end(), o.parapets.begin(), o.parapets.end());
        return all;
    };
    const std::vector<LayoutParapet> hangares = parapets(Shipped("hangares")), isla = parapets(Shipped("isla"));
    for (const char* name : {"p_b_n_A_P_008", "p_b_n_A_P_009"}) {
        const auto found = std::find_if(hangares.begin(), hangares.end(),
                                        [&](const LayoutParapet& p) { return p.name == name; });
        ASSERT_NE(found, hangares.end()) << name;
        EXPECT_LT(ManhattanDistanceXZ(found->position, kCheckpoints.at("hangares")[0]), 1000.0f) << name;
    }

    ASSERT_GT(isla.size(), 21u);
    const LayoutParapet& dockers = isla[21];
    SCOPED_TRACE(dockers.name);
    EXPECT_EQ(dockers.name[2], 'b') << "must be low: the scene crouches the hero";
    const D3DXVECTOR3 coverPoint(-1143.27f, 374.71f, -495.921f), heroPlaced(-1104.39f, 374.71f, -491.279f);
    // The cover point lies on the parapet's line, between its ends, at its height.
    const D3DXVECTOR3 along = NormalizeVector(dockers.End() - dockers.Start());
    const D3DXVECTOR3 toPoint = coverPoint - dockers.Start();
    EXPECT_LT(VectorLength(D3DXVECTOR3(toPoint.x, 0, toPoint.z) - along * DotProduct(toPoint, along)), 5.0f);
    EXPECT_GT(DotProduct(toPoint, along), 0.0f);
    EXPECT_LT(DotProduct(toPoint, along), dockers.length);
    EXPECT_NEAR(dockers.position.y, coverPoint.y, 5.0f);
    // The hero is placed on the open side and walks up to the parapet.
    EXPECT_GT(DotProduct(dockers.Facing(), heroPlaced - coverPoint), 0.0f);
}

// What the hero's cover needs of each level: crates he may vault, boxes,
// walls long enough to peek round either end with a middle that hides him,
// and parapets in line that he slides from one on to the next.
TEST(ShippedLevels, EachLevelHasEveryKindOfCoverTheHeroUses)
{
    for (const char* level : {"hangares", "isla"}) {
        SCOPED_TRACE(level);
        std::vector<LayoutParapet> all;
        for (const LayoutObject& o : Shipped(level).objects)
            all.insert(all.end(), o.parapets.begin(), o.parapets.end());
        auto any = [&](auto test) { return std::any_of(all.begin(), all.end(), test); };
        EXPECT_TRUE(any([](const LayoutParapet& p) { return p.name[2] == 'b' && p.name[4] == 's'; })) << "vault";
        EXPECT_TRUE(any([](const LayoutParapet& p) { return p.name[8] == 'B'; })) << "box";
        // Peeking takes 20 at an end; 60 leaves a middle where he cannot.
        EXPECT_TRUE(any([](const LayoutParapet& p) { return p.name[2] == 'a' && p.length >= 60.0f; })) << "wall";
        // Within 20 of one's pt_fin, the next one's pt_ini within 70: 50 apart at most.
        bool chain = false;
        for (const LayoutParapet& a : all)
            for (const LayoutParapet& b : all)
                chain = chain || (&a != &b && a.name[2] == b.name[2] &&
                                  std::fabs(WrapAngle((a.yawDegrees - b.yawDegrees) * 0.017453292f)) < 0.5f &&
                                  ManhattanDistanceXZ(a.End(), b.Start()) < 50.0f);
        EXPECT_TRUE(chain) << "parapets in line";
    }
    // Wave 01's barrier: low, vaulted, marked with "5" after its kind letter,
    // between the start and the volume past it.
    std::vector<LayoutParapet> barriers;
    for (const LayoutObject& o : Shipped("hangares").objects)
        for (const LayoutParapet& p : o.parapets)
            if (p.name.size() > 10 && p.name[10] == '5' && p.name[2] == 'b' && p.name[4] == 's')
                barriers.push_back(p);
    ASSERT_EQ(barriers.size(), 1u);
    const auto trigger = std::find_if(Shipped("hangares").triggers.begin(), Shipped("hangares").triggers.end(),
                                      [](const datagen::LayoutTrigger& t) { return t.name == "trg_031"; });
    ASSERT_NE(trigger, Shipped("hangares").triggers.end());
    EXPECT_GT(barriers[0].position.x, kCheckpoints.at("hangares")[0].x);
    EXPECT_LT(barriers[0].position.x, trigger->position.x);
}

// A vault goes the way the character heads in cover, across the crate, from
// wherever along the parapet he stands, and comes down past its far side
// with the whole body on open ground: never inside the crate or the next.
TEST(ShippedLevels, EveryVaultComesDownOnOpenGroundPastItsCrate)
{
    float travel = 1e9f;
    for (const char* clip : {"jump_box_ostrel", "jump_man_escopeta", "jumpostrelbox", "jumpthompsonman"})
        travel = std::min(travel, datagen::CharacterAnimationTravel(clip).z);
    int vaults = 0;
    for (const char* level : {"hangares", "isla"})
        for (const LayoutObject& o : Shipped(level).objects)
            for (const LayoutParapet& p : o.parapets) {
                if (p.name[4] != 's')
                    continue;
                ++vaults;
                const D3DXVECTOR3 along = NormalizeVector(p.End() - p.Start());
                const D3DXVECTOR3 across = DirectionFromYaw(YawFromDirection(along) + 1.5707964f);
                for (float at : {-0.5f * p.length + 20.0f, 0.0f, 0.5f * p.length - 20.0f})
                    for (const D3DXVECTOR3& edge : {D3DXVECTOR3(0, 0, 0), along * 12.0f, along * -12.0f,
                                                    across * 12.0f, across * -12.0f}) {
                        const D3DXVECTOR3 down = p.position + along * at + across * travel + edge;
                        float ground = NAN;
                        EXPECT_TRUE(Shipped(level).GroundAt(down.x, down.z, ground)) << p.name;
                        // Nothing solid from the crate's floor up to a head's height.
                        for (const LayoutObject& solid : Shipped(level).objects)
                            if (solid.shape != datagen::LayoutShape::Floor &&
                                solid.shape != datagen::LayoutShape::Sky && solid.Covers(down.x, down.z) &&
                                solid.position.y < o.position.y + 80.0f &&
                                solid.position.y + solid.size.y > o.position.y + 1.0f)
                                ADD_FAILURE() << p.name << " on " << o.name << " comes down in " << solid.name
                                              << " at " << down.x << " " << down.z;
                    }
            }
    EXPECT_GT(vaults, 10);
}

// The surface of o over (x, z): a floor's height, a slope's where the point
// lies on it (it rises toward its local -z), a solid's top.
float SurfaceOf(const LayoutObject& o, float x, float z)
{
    if (o.shape == datagen::LayoutShape::Floor)
        return o.position.y;
    if (o.shape != datagen::LayoutShape::Wedge)
        return o.position.y + o.size.y;
    const float yaw = o.yawDegrees * 0.017453292f;
    const float localZ = (x - o.position.x) * std::sin(yaw) + (z - o.position.z) * std::cos(yaw);
    return o.position.y + o.size.y * (o.size.z / 2 - localZ) / o.size.z;
}

// What holds a point up at a height between low and high over (x, z): a
// floor or slope there, or a solid whose top is there and which rises in
// turn from something under it (within a step of its underside, or sunk
// into it), down to a floor or slope.
bool Held(const LevelLayout& level, float x, float z, float low, float high, int depth = 0)
{
    constexpr float kStep = 30.0f;
    for (const LayoutObject& o : level.objects) {
        if (o.shape == datagen::LayoutShape::Sky || !o.Covers(x, z))
            continue;
        const float h = SurfaceOf(o, x, z);
        if (h < low || h > high)
            continue;
        const bool terrain = o.shape == datagen::LayoutShape::Floor || o.shape == datagen::LayoutShape::Wedge;
        if (terrain || (depth < 6 && Held(level, x, z, o.position.y - kStep, h - 1.0f, depth + 1)))
            return true;
    }
    return false;
}

// Everything the layouts set down where a character walks stands on the
// ground or on a solid that stands on it: no soldier on a cable strung over
// the yard, no cover on a roof beside its crate, no prop or volume on a
// banner. A parapet stands below its object's top, which hides whoever
// crouches there.
TEST(ShippedLevels, EverythingSetDownStandsOnTheGroundNotOnWhatHangsOverIt)
{
    const auto files = datagen::LevelLayoutFiles();
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LevelLayout level;
        std::string error;
        ASSERT_TRUE(datagen::ReadLayout(file, level, error)) << error;
        SCOPED_TRACE(level.level);
        auto expectHeld = [&](const std::string& what, const D3DXVECTOR3& p) {
            EXPECT_TRUE(Held(level, p.x, p.z, p.y - 2.01f, p.y + 2.01f))
                << what << " at " << p.x << " " << p.y << " " << p.z;
        };
        int placed = 0;
        for (const LayoutObject& o : level.objects)
            for (const LayoutParapet& p : o.parapets) {
                for (const D3DXVECTOR3& at : {p.position, p.Start(), p.End()})
                    expectHeld(p.name, at);
                EXPECT_GT(o.position.y + o.size.y, p.position.y + 20.0f) << p.name << " beside " << o.name;
                ++placed;
            }
        for (const LayoutParapet& p : level.faceCover)
            for (const D3DXVECTOR3& at : {p.position, p.Start(), p.End()})
                expectHeld(p.name, at);
        for (const datagen::LayoutTrigger& t : level.triggers)
            expectHeld(t.name, t.position);
        for (const datagen::LayoutProp& p : level.props)
            expectHeld(p.name, p.position);
        std::vector<datagen::LayoutEnemy> enemies;
        ASSERT_TRUE(datagen::ReadLayoutEnemies(xml, level, enemies, error)) << error;
        for (const datagen::LayoutEnemy& e : enemies)
            for (const D3DXVECTOR3& at : e.points)
                expectHeld(e.wave + " " + e.name, at);
        EXPECT_GT(placed, 20);
        EXPECT_GT(enemies.size(), 10u);
    }
}

TEST(ShippedLevels, LightsCoverThePlayingAreaAndEveryCheckpoint)
{
    // Each level's playing area: x from -3300 to 3300, z from z0 to z1.
    for (const auto& [name, z0, z1] : {std::make_tuple("hangares", -2300, 4300), std::make_tuple("isla", -3300, 3300)}) {
        const LevelLayout& layout = Shipped(name);
        SCOPED_TRACE(name);
        ASSERT_FALSE(layout.lights.empty());
        for (const datagen::LayoutLight& light : layout.lights) {
            float ground = NAN;
            layout.GroundAt(light.position.x, light.position.z, ground);
            EXPECT_TRUE(light.position.y - ground >= 350 && light.position.y - ground <= 500 &&
                        light.target.y < light.position.y) << light.position.x << " " << light.position.z;
        }
        auto nearest = [&](const D3DXVECTOR3& p) {
            float best = 1e9f;
            for (const datagen::LayoutLight& light : layout.lights)
                best = std::fmin(best, ManhattanDistanceXZ(light.position, p));
            return best;
        };
        for (const D3DXVECTOR3& checkpoint : kCheckpoints.at(name))
            EXPECT_LE(nearest(checkpoint), 250.0f) << checkpoint.x << " " << checkpoint.z;
        // Wherever the hero can walk, some light is near enough to count.
        for (float x = -3300; x <= 3300; x += 200)
            for (float z = z0; z <= z1; z += 200) {
                float ground = 0;
                if (layout.GroundAt(x, z, ground) && ground >= -5 && ground <= 400)
                    EXPECT_LE(nearest(D3DXVECTOR3(x, ground, z)), 700.0f) << x << " " << z;
            }
    }
}

// The comic boards stand in their own rows beyond the level's ground, out of the hero's way.
TEST(ShippedLevels, ComicPanelsStandBeyondTheGround)
{
    struct Names : IVisibilityMarks {
        void AddVisible(const std::string& name) override { all.insert(name); }
        void SetVisible(const std::string& name, bool) override { all.insert(name); }
        std::set<std::string> all;
    };
    using G = CGameStateFlagsManager;
    CProfiler quiet;
    const int codes[] = {G::PlayingVinyetasIntro1, G::PlayingVinyetasIntro2,     G::PlayingSecondMovie,
                         G::PlayingVinyetasFinalHangares, G::PlayingCreditos, G::PlayingVinyetasDockersHuye,
                         G::PlayingMemoriam,              G::PlayingVinyetasPredockers};
    for (const char* level : {"hangares", "isla"}) {
        Names comic;
        for (int code : codes) {
            G record;
            record.sequence = record.islaSequence = code;
            MarkComicPanels(level, record, comic, quiet);
        }
        ASSERT_GT(comic.all.size(), 4u) << level;
        const LevelLayout& layout = Shipped(level);
        float far = -1e9f;
        for (const LayoutObject& o : layout.objects)
            if (o.shape == datagen::LayoutShape::Floor && o.position.y >= 0 && !comic.all.count(o.name))
                far = std::max(far, o.position.z + o.size.z / 2);
        for (const LayoutObject& o : layout.objects)
            if (comic.all.count(o.name))
                EXPECT_GT(o.position.z - o.size.z / 2, far) << o.name << " in " << level;
    }
}

} // namespace

// Each zone's enemies take cover only behind their zone's parapets: the
// letters are the zones that fight in each level, and the later waves find
// cover near where they stand.
TEST(ShippedLevels, ParapetZonesAreTheZonesOfTheWavesThatFightThere)
{
    auto parapets = [](const LevelLayout& layout) {
        std::vector<LayoutParapet> all;
        for (const LayoutObject& o : layout.objects)
            all.insert(all.end(), o.parapets.begin(), o.parapets.end());
        return all;
    };
    const std::map<std::string, std::set<char>> letters = {{"hangares", {'A', 'B', 'C', 'D'}},
                                                          {"isla", {'A', 'B'}}};
    for (const auto& [level, expected] : letters) {
        std::set<char> found;
        for (const LayoutParapet& p : parapets(Shipped(level)))
            found.insert(p.name[6]);
        EXPECT_EQ(found, expected) << level;
    }

    // The high walls the first waves hold: an enemy takes cover at an end
    // only from within 70 of the centre, so each end lies that near.
    for (const LayoutParapet& p : parapets(Shipped("hangares")))
        if (p.name == "p_a_n_A_B_502" || p.name == "p_a_n_A_B_001")
            EXPECT_LT(ManhattanDistanceXZ(p.position, p.Start()) + 0.1f, 70.0f) << p.name;

    CEnemyManager& manager = *getEnemyManager();
    const std::string data = std::string(VANTOREL_WORKDIR) + "/data/XML/";
    manager.SetListFiles(data + "typeOfEnemyList.xml", data + "enemyList.xml");
    manager.ResetWaves();
    const struct {
        const char* level;
        const char* room;
        const char* wave;
    } waves[] = {{"hangares", "room01", "wave_05"}, {"hangares", "room01", "wave_06"},
                 {"hangares", "room01", "wave_07"}, {"hangares", "room01", "wave_08"},
                 {"hangares", "room01", "wave_09"}, {"isla", "room3", "wave_31"},
                 {"isla", "room3", "wave_33"},      {"isla", "room3", "wave_34"},
                 {"isla", "room3", "wave_35"}};
    for (const auto& w : waves) {
        manager.setNewZone(w.room, w.wave);
        const char zone = manager.GetZoneLetter();
        int covered = 0;
        for (const auto& entry : manager.GetCurrentWaveEnemies()) {
            const D3DXVECTOR3 at = entry.second->GetPosition().GetPosition();
            for (const LayoutParapet& p : parapets(Shipped(w.level)))
                if (p.name[6] == zone && p.name[8] != 'P' && ManhattanDistanceXZ(at, p.position) < 600.0f) {
                    ++covered;
                    break;
                }
        }
        EXPECT_GE(covered, 1) << w.wave << " zone " << zone;
    }
    manager.ResetWaves();
}
