// Detours on made-up levels: which hits block a walk, which hand-placed point
// or corner an enemy walks to instead, and how far past a corner it goes.
#include "world/physics_fixture.h"

#include "enemies/Detours.h"

namespace {

// A box standing on the floor, its four ground corners given as the level
// file would give them (in this order).
std::string Box(const std::string& name, float w, float h, float l, float x, float z, std::vector<D3DXVECTOR2> corners)
{
    std::ostringstream s;
    s << "<collision name=\"" << name << "\" width=\"" << w << "\" height=\"" << h << "\" length=\"" << l
      << "\" transform=\"1 0 0 0 1 0 0 0 1 " << x << " " << h / 2 << " " << z << "\">";
    for (const D3DXVECTOR2& c : corners)
        s << "<vertex pos=\"" << c.x << " 0 " << c.y << "\"/>";
    return s.str() + "</collision>";
}

// The box's own footprint as its corners.
std::string Box(const std::string& name, float w, float h, float l, float x, float z)
{
    return Box(name, w, h, l, x, z,
               {{x - w / 2, z - l / 2}, {x + w / 2, z - l / 2}, {x - w / 2, z + l / 2}, {x + w / 2, z + l / 2}});
}

// A level of its own for each case: the collision tables keep what every
// file read into them held.
struct Scene {
    explicit Scene(const std::string& boxes)
    {
        manager.SetWorld(&link);
        manager.InitPhysicsWorld();
        const std::string ground = "<player pos=\"0 10 0\"/>" + CollisionXml("col_suelo", 8000, 10, 8000, 0, -5, 0);
        EXPECT_TRUE(manager.ReadFile(folder.Write("level.xml", "<level>" + ground + boxes + "</level>")));
        manager.LoadNewScenario("isla");
    }
    TempFolder folder;
    FakeCollisionWorld link;
    CCollisionManager manager;
    CDetourFinder finder{manager};
};

void ExpectAt(const D3DXVECTOR3& p, float x, float y, float z, const std::string& what)
{
    EXPECT_NEAR(p.x, x, 0.01f) << what;
    EXPECT_NEAR(p.y, y, 0.01f) << what;
    EXPECT_NEAR(p.z, z, 0.01f) << what;
}

TEST(DetourNames, OffsetsShrinkByNameAndPairsAndGroupsAreReadFromTheName)
{
    const struct {
        char c4, c5;
        float v, expected;
    } shrinks[] = {{'m', '1', 100.0f, 16.0f},    {'x', 'y', 100.0f, 32.768002f}, {'c', 'o', -50.0f, -20.0f},
                   {'x', 'y', -100.0f, -100.0f}, {'c', 'o', 100.0f, 40.0f},      {'c', 'a', 100.0f, 32.768002f},
                   {'m', 'x', 20.0f, 20.0f},     {'m', 'x', -300.0f, -300.0f},   {'q', 'q', 40.0f, 40.0f}};
    for (const auto& s : shrinks)
        EXPECT_EQ(ShrinkOffsetByName(s.c4, s.c5, s.v), s.expected) << s.c4 << s.c5 << " " << s.v;

    // Halves share the 'H' at 10 and the characters at 11 and 13, and differ at 14.
    const struct {
        const char *a, *b;
        bool paired;
    } pairs[] = {{"col_muro01Hx_y1", "col_muro01Hx_y2", true},  {"col_muro01Hx_y1", "col_muro01Hxzy2", true},
                 {"col_muro01Hx_y1", "col_muro01Hx_y1", false}, {"col_muro01Hx_y1", "col_muro01Hw_y2", false},
                 {"col_muro01Hx_y1", "col_muro01Hx_w2", false}, {"col_muro01Gx_y1", "col_muro01Gx_y2", false},
                 {"col_muro01Hx_y1", "col_muro01Hx_y12", false}, {"col_muro01Hx_y", "col_muro01Hx_z", false},
                 {"empty", "empty", false}};
    for (const auto& p : pairs) {
        EXPECT_EQ(IsPairedFixedPoint(p.a, p.b), p.paired) << p.a << " " << p.b;
        EXPECT_EQ(IsPairedFixedPoint(p.b, p.a), p.paired) << p.b << " " << p.a;
    }

    const std::pair<const char*, DetourGroup> groups[] = {
        {"col_M1x", DetourGroup::M1}, {"col_M2x", DetourGroup::M2}, {"col_M3x", DetourGroup::None},
        {"col_Gx", DetourGroup::G},   {"col_P", DetourGroup::P},    {"col_A1", DetourGroup::A1},
        {"col_A2", DetourGroup::A2},  {"col_A", DetourGroup::None},  {"col", DetourGroup::None},
        {"col_m1", DetourGroup::None}};
    for (const auto& g : groups)
        EXPECT_EQ(DetourGroupOf(g.first), g.second) << g.first;

    // Past the corner, away from the reference point, the height left to the caller.
    ExpectAt(OffsetTowardPoint(D3DXVECTOR3(100, 5, 280), D3DXVECTOR3(0, 50, 300), "col_caja"), 132.768f, 0, 260,
             "corner");
    ExpectAt(OffsetTowardPoint(D3DXVECTOR3(-100, 5, 320), D3DXVECTOR3(0, 50, 300), "col_mesa"), -200, 0, 340,
             "corner");
}

TEST(Detours, APathIsBlockedOnlyByANearStandingObstacleWhoseNearCornerIsClose)
{
    // Each case: one box across the way from the origin to (0, 0, 1000).
    const struct {
        std::string box;
        bool clear;
        const char* why;
    } cases[] = {
        {Box("col_caja", 100, 100, 20, 0, 100), false, "a crate in the way"},
        {Box("col_caja", 100, 14, 20, 0, 100), true, "below the raised ray"},
        {Box("col_caja", 100, 100, 20, 0, 300), true, "a crate whose near corner is far"},
        {Box("col_caja", 200, 100, 20, 0, 410, {{-100, 100}, {100, 100}, {-100, 420}, {0, 60}}), false,
         "hit 400 away"},
        {Box("col_caja", 200, 100, 20, 0, 410.1f, {{-100, 100}, {100, 100}, {-100, 420}, {0, 60}}), true,
         "hit 400.1 away"},
        {Box("col_caja", 200, 100, 20, 0, 300, {{-100, 500}, {100, 500}, {-100, 700}, {0, 150}}), true,
         "nearest corner 150 away"},
        {Box("col_caja", 200, 100, 20, 0, 300, {{-100, 500}, {100, 500}, {-100, 700}, {0, 149.9f}}), false,
         "nearest corner 149.9 away"},
        {Box("col_0118", 100, 100, 20, 0, 100), true, "'0' never blocks"},
        {Box("col_1abc", 100, 100, 20, 0, 100), true, "'1' never blocks"},
        {Box("col_banco", 100, 100, 20, 0, 100), true, "'b' never blocks"},
        {Box("col_farola", 100, 100, 20, 0, 100), true, "'f' never blocks"},
        {Box("col_roca", 100, 100, 20, 0, 100), true, "'r' never blocks"},
        {Box("col_M1muro", 100, 100, 20, 0, 100), false, "a group's obstacle blocks"},
        {Box("col_2muro", 100, 100, 20, 0, 100), false, "'2' blocks"},
    };
    for (const auto& c : cases) {
        Scene scene(c.box);
        CDetourFinder& finder = scene.finder;
        finder.scratchName = "before";
        EXPECT_EQ(finder.IsPathClear(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1000)), c.clear) << c.why;
        const std::string expected = c.clear ? "before" : c.box.substr(17, c.box.find('"', 17) - 17);
        EXPECT_EQ(finder.scratchName, expected) << c.why;
    }
}

TEST(Detours, AHandPlacedPointMustBeSeenAndNotStoodOnAndTheNearestToTheGoalWins)
{
    // The first M1 point is nearest the goal, the second next.
    const D3DXVECTOR3 goal(1212.5f, 0, -300);
    const struct {
        std::string level;
        D3DXVECTOR3 enemy;
        D3DXVECTOR2 expected;
        const char* why;
    } cases[] = {
        {"", D3DXVECTOR3(1212.5f + 8, 0, -362.76f), {1212.5f, -362.76f}, "8 from the best point"},
        {"", D3DXVECTOR3(1212.5f + 7, 0, -362.76f), {1638.3f, 65.8f}, "standing on the best point"},
        // A wall between the enemy and the second point hides it.
        {Box("col_M1muro", 40, 100, 40, 1380, -200), D3DXVECTOR3(1212.5f + 7, 0, -362.76f), {1247.6f, 516.3f},
         "the second point hidden"},
        {Box("col_0muro", 40, 100, 40, 1380, -200), D3DXVECTOR3(1212.5f + 7, 0, -362.76f), {1638.3f, 65.8f},
         "hidden by what never blocks"},
    };
    for (const auto& c : cases) {
        Scene scene(c.level);
        const D3DXVECTOR3 p = scene.finder.ChooseDetourM1(c.enemy, goal);
        ExpectAt(p, c.expected.x, 15, c.expected.y, c.why);
    }
    // Two points as near the goal: the earlier.
    Scene tie("");
    ExpectAt(tie.finder.ChooseDetourM2(D3DXVECTOR3(1260, 0, 1700), D3DXVECTOR3(1260, 0, 1888)), 900, 15, 1950.5f,
             "the earlier of two as near");
    // No point within reach of the goal: the origin.
    Scene open("");
    ExpectAt(open.finder.ChooseDetourA1(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(5000, 0, 5000)), 0, 0, 0, "none");
    // The name of what stands between enemy and goal, none when nothing does.
    Scene walled(Box("col_A1muro", 60, 100, 20, 250, -600));
    CDetourFinder& finder = walled.finder;
    finder.scratchName = "before";
    finder.ChooseDetourA1(D3DXVECTOR3(250, 0, -400), D3DXVECTOR3(250, 0, -900));
    EXPECT_EQ(finder.scratchName, "col_A1muro");
    ExpectAt(finder.ChooseDetour(DetourGroup::A1, D3DXVECTOR3(250, 0, -400), D3DXVECTOR3(250, 0, -900)), 120.5f, 15,
             -1094.0f, "A1 by its group");
    finder.ChooseDetourA1(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 100));
    EXPECT_EQ(finder.scratchName, "");
}

TEST(Detours, CornersLeadRoundAnObstacleOrRoundItsOtherHalf)
{
    // A crate across the way: a corner is pushed out by a shortened offset,
    // but on the side where the offset is negative by the whole of it, so
    // the right-hand near corner is the nearer.
    Scene crate(Box("col_caja", 200, 100, 40, 0, 300));
    CDetourFinder& finder = crate.finder;
    ExpectAt(finder.ChooseDetourByCorners(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 600)), 132.768f, 15, 260,
             "the nearer near corner");
    EXPECT_EQ(finder.scratchName, "col_caja");
    // The goal close behind a wide wall: no corner sees it; the last corner is used.
    Scene walls(Box("col_muro", 2000, 100, 40, 0, 300) + Box("col_muro2", 2000, 100, 40, 0, 400));
    const D3DXVECTOR3 last = walls.finder.ChooseDetourByCorners(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 350));
    ExpectAt(last, 1010.24f, 15, 260, "the last corner");

    // Two halves of a wall: the way to this half's corners runs into the other
    // half, so the enemy goes round the other half.
    const std::string wall = Box("col_muro01Ha_b1", 200, 100, 40, 0, 100) +
                             Box("col_muro01Ha_b2", 200, 100, 40, 200, 100) +
                             Box("col_muro01Ha_b3", 200, 100, 40, -200, 100);
    Scene halves(wall);
    ExpectAt(halves.finder.ChooseDetourByCorners(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 400)), -400, 15, 60,
             "past the far end of the other half");
    // A shorter wall of three halves: round the other half's corner, unless
    // a crate stands between that corner and the goal; then nothing leads on
    // and the last corner is used.
    const std::string shorter = Box("col_muro01Ha_b1", 100, 100, 40, 0, 100) +
                                Box("col_muro01Ha_b2", 100, 100, 40, 100, 100) +
                                Box("col_muro01Ha_b3", 100, 100, 40, -100, 100);
    Scene open(shorter);
    ExpectAt(open.finder.ChooseDetourByCorners(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 400)), -200, 15, 60,
             "round the other half");
    Scene shut(shorter + Box("col_caja", 40, 100, 40, -118, 200));
    ExpectAt(shut.finder.ChooseDetourByCorners(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 400)), 70, 15, 60,
             "the last corner");
}

} // namespace
