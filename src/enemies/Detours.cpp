#include "enemies/Detours.h"

#include "math/VectorMath.h"
#include "world/CollisionManager.h"

namespace {

constexpr float kRaise = 15.0f;
// Farther than this (Manhattan) from the enemy, a hit is no concern yet.
constexpr float kReach = 400.0f;
// An obstacle whose nearest corner is this far or farther is not in the way yet.
constexpr float kCornerReach = 150.0f;
// A point closer than this is where the enemy already stands.
constexpr float kStandingOn = 7.5f;
constexpr float kFirstCandidate = 2000.0f;

D3DXVECTOR3 Raised(const D3DXVECTOR3& p)
{
    return D3DXVECTOR3(p.x, p.y + kRaise, p.z);
}

char At(const std::string& name, size_t index)
{
    return index < name.size() ? name[index] : '\0';
}

// Ground, low clutter and decals: never an obstacle.
bool Ignored(const std::string& name)
{
    switch (At(name, 4)) {
    case '0': case '1': case 'b': case 'f': case 'r': return true;
    default: return false;
    }
}

// Keeps the best of the candidates offered in order: the first only when it
// is nearer than the limit, a later one only when strictly nearer, so ties
// keep the earlier point.
struct Nearest {
    void Offer(const D3DXVECTOR3& point, float distance)
    {
        if (found ? distance < best : distance < kFirstCandidate) {
            found = true;
            best = distance;
            chosen = point;
        }
    }
    bool found = false;
    float best = 0.0f;
    D3DXVECTOR3 chosen{0.0f, 0.0f, 0.0f};
};

} // namespace

DetourGroup DetourGroupOf(const std::string& name)
{
    const char c4 = At(name, 4), c5 = At(name, 5);
    if (c4 == 'M' && c5 == '1') return DetourGroup::M1;
    if (c4 == 'M' && c5 == '2') return DetourGroup::M2;
    if (c4 == 'G') return DetourGroup::G;
    if (c4 == 'P') return DetourGroup::P;
    if (c4 == 'A' && c5 == '1') return DetourGroup::A1;
    if (c4 == 'A' && c5 == '2') return DetourGroup::A2;
    return DetourGroup::None;
}

float ShrinkOffsetByName(char c4, char c5, float v)
{
    if (c4 == 'm') {
        while (v > 20.0f)
            v = v * 0.4f;
    } else if (c4 == 'c' && c5 == 'o') {
        v = v * 0.4f;
    } else {
        while (v > 40.0f)
            v = v * 0.8f;
    }
    return v;
}

bool IsPairedFixedPoint(const std::string& a, const std::string& b)
{
    if (a == "empty" || b == "empty" || a.size() != b.size() || a.size() < 15)
        return false;
    return a[10] == 'H' && b[10] == 'H' && a[11] == b[11] && a[13] == b[13] && a[14] != b[14];
}

D3DXVECTOR3 OffsetTowardPoint(D3DXVECTOR3 corner, D3DXVECTOR3 reference, const std::string& name)
{
    const char c4 = At(name, 4), c5 = At(name, 5);
    return D3DXVECTOR3(corner.x + ShrinkOffsetByName(c4, c5, corner.x - reference.x), 0.0f,
                       corner.z + ShrinkOffsetByName(c4, c5, corner.z - reference.z));
}

bool CDetourFinder::IsPathClear(D3DXVECTOR3 from, D3DXVECTOR3 to)
{
    const D3DXVECTOR3 start = Raised(from);
    const RayHit hit = m_Collisions.CastRay(start, Raised(to));
    if (!hit.hit || ManhattanDistanceXZ(hit.hitPoint, start) > kReach || Ignored(hit.name) ||
        DistanceXZ(start, hit.corners[3]) >= kCornerReach)
        return true;
    scratchName = hit.name;
    return false;
}

bool CDetourFinder::Sees(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& raisedEnemy)
{
    const RayHit hit = m_Collisions.CastRay(a, b);
    return !hit.hit || ManhattanDistanceXZ(hit.hitPoint, raisedEnemy) > kReach || Ignored(hit.name);
}

const std::vector<D3DXVECTOR2>& CDetourFinder::FixedPoints(DetourGroup group)
{
    static const std::vector<D3DXVECTOR2> none;
    static const std::vector<D3DXVECTOR2> m1 = {
        {1212.5f, -362.76f}, {1638.3f, 65.8f}, {1247.6f, 516.3f}, {331.207f, -315.543f}};
    static const std::vector<D3DXVECTOR2> m2 = {{900.0f, 1950.5f}, {1185.9f, 1412.6f}, {1673.2f, 1878.7f}, {1164.9f, 2417.3f}};
    static const std::vector<D3DXVECTOR2> g = {{569.9f, 4071.0f}, {607.1f, 3584.14f}, {687.2f, 3185.1f}};
    static const std::vector<D3DXVECTOR2> p = {{-1785.5f, -161.5f}, {-1900.0f, -531.8f}, {-1541.3f, -600.9f}, {-1467.8f, -289.9f}};
    static const std::vector<D3DXVECTOR2> a1 = {{120.5f, -1094.0f}, {385.0f, -1146.6f}, {378.4f, -1330.8f}};
    static const std::vector<D3DXVECTOR2> a2 = {{199.7f, -611.8f}, {278.2f, -804.8f}, {25.2f, -900.1f}};
    switch (group) {
    case DetourGroup::M1: return m1;
    case DetourGroup::M2: return m2;
    case DetourGroup::G: return g;
    case DetourGroup::P: return p;
    case DetourGroup::A1: return a1;
    case DetourGroup::A2: return a2;
    case DetourGroup::None: break;
    }
    return none;
}

D3DXVECTOR3 CDetourFinder::ChooseFixed(DetourGroup group, D3DXVECTOR3 enemy, D3DXVECTOR3 destination)
{
    const D3DXVECTOR3 e = Raised(enemy), d = Raised(destination);
    scratchName = m_Collisions.CastRay(e, d).name;
    Nearest nearest;
    for (const D3DXVECTOR2& point : FixedPoints(group)) {
        const D3DXVECTOR3 c(point.x, e.y, point.y);
        if (Sees(e, c, e) && ManhattanDistanceXZ(c, e) > kStandingOn)
            nearest.Offer(c, ManhattanDistanceXZ(c, d));
    }
    return nearest.chosen;
}

D3DXVECTOR3 CDetourFinder::ChooseDetourM1(D3DXVECTOR3 enemy, D3DXVECTOR3 d) { return ChooseFixed(DetourGroup::M1, enemy, d); }
D3DXVECTOR3 CDetourFinder::ChooseDetourM2(D3DXVECTOR3 enemy, D3DXVECTOR3 d) { return ChooseFixed(DetourGroup::M2, enemy, d); }
D3DXVECTOR3 CDetourFinder::ChooseDetourG(D3DXVECTOR3 enemy, D3DXVECTOR3 d) { return ChooseFixed(DetourGroup::G, enemy, d); }
D3DXVECTOR3 CDetourFinder::ChooseDetourP(D3DXVECTOR3 enemy, D3DXVECTOR3 d) { return ChooseFixed(DetourGroup::P, enemy, d); }
D3DXVECTOR3 CDetourFinder::ChooseDetourA1(D3DXVECTOR3 enemy, D3DXVECTOR3 d) { return ChooseFixed(DetourGroup::A1, enemy, d); }
D3DXVECTOR3 CDetourFinder::ChooseDetourA2(D3DXVECTOR3 enemy, D3DXVECTOR3 d) { return ChooseFixed(DetourGroup::A2, enemy, d); }

D3DXVECTOR3 CDetourFinder::ChooseDetourByCorners(D3DXVECTOR3 enemy, D3DXVECTOR3 destination)
{
    const D3DXVECTOR3 e = Raised(enemy), d = Raised(destination);
    const RayHit obstacle = m_Collisions.CastRay(e, d);
    scratchName = obstacle.name;
    auto cornersOf = [&](const RayHit& hit, D3DXVECTOR3* points) {
        for (int k = 0; k < 4; ++k) {
            points[k] = OffsetTowardPoint(hit.corners[k], hit.position, hit.name);
            points[k].y = e.y;
        }
    };
    D3DXVECTOR3 p[4];
    cornersOf(obstacle, p);

    Nearest nearest;
    for (int k = 0; k < 4; ++k) {
        const RayHit way = m_Collisions.CastRay(e, p[k]);
        const bool sees = !way.hit || ManhattanDistanceXZ(way.hitPoint, e) > kReach || Ignored(way.name);
        if (!sees) {
            if (!IsPairedFixedPoint(obstacle.name, way.name))
                continue;
            // The other half of the obstacle is in the way: go round its
            // corners instead, the first that leads on to the destination.
            D3DXVECTOR3 q[4];
            cornersOf(way, q);
            for (const D3DXVECTOR3& point : q)
                if (Sees(e, point, e) && Sees(point, d, e))
                    return point;
            continue;
        }
        if (Sees(p[k], d, e))
            nearest.Offer(p[k], ManhattanDistanceXZ(p[k], e));
    }
    return nearest.found ? nearest.chosen : p[3];
}

D3DXVECTOR3 CDetourFinder::ChooseDetour(DetourGroup group, D3DXVECTOR3 enemy, D3DXVECTOR3 destination)
{
    return group == DetourGroup::None ? ChooseDetourByCorners(enemy, destination)
                                      : ChooseFixed(group, enemy, destination);
}
