// The hangars' plane scene as the layout lays it out: the tank that ends it
// as the plane does stands where the game breaks it open, by the plane's
// loop, where a player fighting the plane's wave sees it.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "datagen/Collisions.h"
#include "datagen/Layout.h"

namespace {

// How far a point lies outside a box (0 inside it).
float OutsideBy(const datagen::CollisionBox& box, const D3DXVECTOR3& p)
{
    const D3DXMATRIX& m = box.transform;
    const D3DXVECTOR3 d = p - D3DXVECTOR3(m._41, m._42, m._43);
    float gap = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const D3DXVECTOR3 row(m.m[axis][0], m.m[axis][1], m.m[axis][2]);
        const float along = std::fabs(d.x * row.x + d.y * row.y + d.z * row.z);
        const float half = (axis == 0 ? box.size.x : axis == 1 ? box.size.y : box.size.z) * 0.5f;
        gap = std::fmax(gap, along - half);
    }
    return gap;
}

TEST(PlaneScene, TheTanksBoxStandsWhereItsFiresBreakOutByThePlanesLoop)
{
    datagen::LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ReadLayout(datagen::LevelLayoutFiles().front(), layout, error)) << error;
    ASSERT_EQ(layout.level, "hangares");
    D3DXVECTOR3 start;
    std::vector<datagen::CollisionBox> boxes;
    ASSERT_TRUE(datagen::LevelCollisions(layout, start, boxes, error)) << error;
    const datagen::CollisionBox* tank = nullptr;
    for (const datagen::CollisionBox& box : boxes)
        if (box.name == "col_34TANQUE")
            tank = &box;
    ASSERT_NE(tank, nullptr);
    // The points the shot code breaks the tank open at, stage by stage.
    const D3DXVECTOR3 fires[] = {{2228.54f, 154.48f, 1019.07f}, {2148.54f, 74.48f, 1019.07f},
                                 {2268.54f, 64.48f, 1019.07f},  {2188.54f, 114.48f, 1019.07f},
                                 {2238.54f, 164.48f, 1019.07f}, {2168.54f, 124.48f, 1019.07f}};
    for (const D3DXVECTOR3& fire : fires)
        EXPECT_LT(OutsideBy(*tank, fire), 5.0f) << fire.x << " " << fire.y;
    // The plane circles this point, its gunner's post.
    const D3DXVECTOR3 loop(2541.06f, 50.0f, 430.616f);
    const D3DXMATRIX& m = tank->transform;
    EXPECT_LT(std::fabs(m._41 - loop.x) + std::fabs(m._43 - loop.z), 1200.0f);
}

} // namespace
