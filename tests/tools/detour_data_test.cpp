// The shipped levels' collision names against what the walking enemies read
// in them: every box of a detour group stands among that group's points,
// every box that never counts as in the way is ground or low, and every
// half of a two-box obstacle has its other half beside it.
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "datagen/Collisions.h"
#include "datagen/Layout.h"
#include "enemies/Detours.h"

using datagen::CollisionBox;
using datagen::LevelLayout;

namespace {

std::vector<CollisionBox> ShippedBoxes(const std::string& level)
{
    for (const std::string& file : datagen::LevelLayoutFiles()) {
        LevelLayout layout;
        std::string error;
        EXPECT_TRUE(datagen::ReadLayout(file, layout, error)) << error;
        if (layout.level != level)
            continue;
        D3DXVECTOR3 start;
        std::vector<CollisionBox> boxes;
        EXPECT_TRUE(datagen::LevelCollisions(layout, start, boxes, error)) << error;
        return boxes;
    }
    ADD_FAILURE() << "no layout of " << level;
    return {};
}

// The point in the box's own frame, in units (not halves).
D3DXVECTOR3 Local(const CollisionBox& box, float x, float z)
{
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &box.transform);
    D3DXVECTOR3 local;
    const D3DXVECTOR3 world(x, box.transform._42, z);
    D3DXVec3TransformCoord(&local, &world, &inverse);
    return local;
}

// How far the ground point lies outside the box's footprint (0 inside).
float OutsideBy(const CollisionBox& box, float x, float z)
{
    const D3DXVECTOR3 p = Local(box, x, z);
    const float dx = std::fmax(0.0f, std::fabs(p.x) - box.size.x / 2);
    const float dz = std::fmax(0.0f, std::fabs(p.z) - box.size.z / 2);
    return std::sqrt(dx * dx + dz * dz);
}

// Which face of the box the point lies beyond: 0 to 3.
int SideOf(const CollisionBox& box, float x, float z)
{
    const D3DXVECTOR3 p = Local(box, x, z);
    if (std::fabs(p.x) - box.size.x / 2 > std::fabs(p.z) - box.size.z / 2)
        return p.x > 0 ? 0 : 1;
    return p.z > 0 ? 2 : 3;
}

bool NeverBlocks(const std::string& name)
{
    return name.size() > 4 && std::string("01bfr").find(name[4]) != std::string::npos;
}

float Top(const CollisionBox& box) { return box.transform._42 + box.size.y / 2; }
float Bottom(const CollisionBox& box) { return box.transform._42 - box.size.y / 2; }
// How far the box's up axis leans from the vertical, in degrees.
float Lean(const CollisionBox& box) { return std::acos(std::fmin(1.0f, box.transform._22)) * 57.29578f; }

// Enough room beside an obstacle for an enemy's body.
constexpr float kRoom = 25.0f;

TEST(DetourData, EveryGroupBoxStandsAmongItsOwnPointsAndEveryPointOnOpenGround)
{
    const std::vector<CollisionBox> boxes = ShippedBoxes("hangares");
    std::map<DetourGroup, int> found;
    for (const CollisionBox& box : boxes) {
        const DetourGroup group = DetourGroupOf(box.name);
        if (group == DetourGroup::None)
            continue;
        ++found[group];
        std::set<int> sides;
        for (const D3DXVECTOR2& point : CDetourFinder::FixedPoints(group)) {
            const float off = OutsideBy(box, point.x, point.y);
            EXPECT_GE(off, 30.0f) << box.name << ": room at " << point.x << " " << point.y;
            EXPECT_LE(off, 800.0f) << box.name << ": " << point.x << " " << point.y << " is not round it";
            sides.insert(SideOf(box, point.x, point.y));
        }
        EXPECT_GE(sides.size(), 2u) << box.name << ": its points stand round it, not on one side";
        EXPECT_GT(Top(box) - Bottom(box), 15.0f) << box.name << " stands in a walking enemy's way";
    }
    for (DetourGroup group : {DetourGroup::M1, DetourGroup::M2, DetourGroup::G, DetourGroup::P, DetourGroup::A1,
                              DetourGroup::A2})
        EXPECT_EQ(found[group], 1) << "group " << int(group) << " has one box its points go round";

    // An enemy can stand at every point: nothing that would stop it stands there.
    for (DetourGroup group : {DetourGroup::M1, DetourGroup::M2, DetourGroup::G, DetourGroup::P, DetourGroup::A1,
                              DetourGroup::A2})
        for (const D3DXVECTOR2& point : CDetourFinder::FixedPoints(group))
            for (const CollisionBox& box : boxes) {
                const bool inTheWay = Top(box) > 15.0f && Bottom(box) < 180.0f && !NeverBlocks(box.name);
                if (inTheWay)
                    EXPECT_GE(OutsideBy(box, point.x, point.y), kRoom)
                        << box.name << " at " << point.x << " " << point.y;
            }
}

TEST(DetourData, WhatNeverBlocksIsGroundARampOrLowClutter)
{
    // Boxes the game looks up by these names; they keep them.
    const std::set<std::string> named = {"col_0118", "col_055", "col_056"};
    for (const char* level : {"hangares", "isla"}) {
        int ramps = 0;
        for (const CollisionBox& box : ShippedBoxes(level)) {
            if (!NeverBlocks(box.name) || named.count(box.name))
                continue;
            const float lean = Lean(box);
            if (lean > 5.0f) {
                ++ramps;
                EXPECT_LE(lean, 45.0f) << level << ": " << box.name << " is a slope to walk up";
            } else {
                EXPECT_LE(box.size.y, 40.0f) << level << ": " << box.name << " is low";
            }
        }
        EXPECT_GE(ramps, 1) << level << ": its ramps never stand in an enemy's way";
    }
}

TEST(DetourData, EveryHalfOfATwoBoxObstacleHasItsOtherHalfBesideIt)
{
    int pairs = 0;
    for (const char* level : {"hangares", "isla"}) {
        const std::vector<CollisionBox> boxes = ShippedBoxes(level);
        for (const CollisionBox& half : boxes) {
            if (half.name.size() < 15 || half.name[10] != 'H')
                continue;
            int others = 0;
            for (const CollisionBox& other : boxes) {
                if (!IsPairedFixedPoint(half.name, other.name))
                    continue;
                ++others;
                float gap = 1e9f;
                for (const D3DXVECTOR3& corner : other.corners)
                    gap = std::fmin(gap, OutsideBy(half, corner.x, corner.z));
                EXPECT_LT(gap, kRoom) << half.name << " and " << other.name << ": no enemy passes between";
            }
            EXPECT_EQ(others, 1) << level << ": " << half.name;
            pairs += others;
        }
    }
    EXPECT_GE(pairs, 2) << "the crate rows south of the start are one obstacle";
}

} // namespace
