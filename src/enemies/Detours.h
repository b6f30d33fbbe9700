// How a walking enemy gets round what stands in its way: whether the straight
// path is clear, and the point to walk to instead. Some obstacles carry a
// group in their collision name (the fifth and sixth characters) and are
// passed by a short list of hand-placed points; any other is passed by its
// own corners, pushed out a little, or by the corners of its other half when
// it is one of a pair. Every ray runs 15 above the given heights, so low
// clutter on the floor never counts.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9math.h"

class CCollisionManager;

// The obstacle's group, from its collision name.
enum class DetourGroup { None, M1, M2, G, P, A1, A2 };
DetourGroup DetourGroupOf(const std::string& name);

// How far past a corner a detour point lies: an offset along one axis,
// shortened by the obstacle's kind of name. Only a positive offset is
// shortened.
float ShrinkOffsetByName(char c4, char c5, float v);
// Whether two collision names are the two halves of one obstacle.
bool IsPairedFixedPoint(const std::string& a, const std::string& b);
// The corner pushed out away from the obstacle's reference point (height 0).
D3DXVECTOR3 OffsetTowardPoint(D3DXVECTOR3 corner, D3DXVECTOR3 reference, const std::string& name);

class CDetourFinder {
public:
    explicit CDetourFinder(CCollisionManager& collisions) : m_Collisions(collisions) {}

    // True when nothing blocks the walk from `from` to `to`; otherwise the
    // obstacle's name is kept in `scratchName`.
    bool IsPathClear(D3DXVECTOR3 from, D3DXVECTOR3 to);

    // The point an enemy at `enemy` walks to on its way to `destination`, by
    // the group of the obstacle the straight way meets. Each writes the name
    // of that obstacle (empty for none) into `scratchName`. The hand-placed
    // ones give (0, 0, 0) when no point will do.
    D3DXVECTOR3 ChooseDetourM1(D3DXVECTOR3 enemy, D3DXVECTOR3 destination);
    D3DXVECTOR3 ChooseDetourM2(D3DXVECTOR3 enemy, D3DXVECTOR3 destination);
    D3DXVECTOR3 ChooseDetourG(D3DXVECTOR3 enemy, D3DXVECTOR3 destination);
    D3DXVECTOR3 ChooseDetourP(D3DXVECTOR3 enemy, D3DXVECTOR3 destination);
    D3DXVECTOR3 ChooseDetourA1(D3DXVECTOR3 enemy, D3DXVECTOR3 destination);
    D3DXVECTOR3 ChooseDetourA2(D3DXVECTOR3 enemy, D3DXVECTOR3 destination);
    // By the obstacle's corners; the last corner when none will do.
    D3DXVECTOR3 ChooseDetourByCorners(D3DXVECTOR3 enemy, D3DXVECTOR3 destination);
    // The chooser of that group.
    D3DXVECTOR3 ChooseDetour(DetourGroup group, D3DXVECTOR3 enemy, D3DXVECTOR3 destination);

    // The hand-placed points of a group, (x, z) in order; empty for None.
    static const std::vector<D3DXVECTOR2>& FixedPoints(DetourGroup group);

    std::string scratchName;

private:
    // Whether the ray from a to b is free: nothing hit, a hit far from the
    // (raised) enemy, or an obstacle that never blocks.
    bool Sees(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& raisedEnemy);
    D3DXVECTOR3 ChooseFixed(DetourGroup group, D3DXVECTOR3 enemy, D3DXVECTOR3 destination);

    CCollisionManager& m_Collisions;
};
