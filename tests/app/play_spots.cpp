// The scripted player's sense of the ground: the ground under a spot, whether
// a spot is on the hero's own level and a straight walk away, a spot round a
// target with nothing between, a place out of the enemies' sight, and the
// island's way between its square and its plateau.
#include <algorithm>
#include <cmath>

#include "play_through.h"
#include "player/Player.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace playthrough {

namespace {

float Flat(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z));
}

} // namespace

bool GroundUnder(const D3DXVECTOR3& at, float* height)
{
    const RayHit hit = getCollisionManager().CastRay(D3DXVECTOR3(at.x, at.y + 1500.0f, at.z),
                                                     D3DXVECTOR3(at.x, at.y - 1500.0f, at.z));
    if (!hit.hit)
        return false;
    *height = hit.hitPoint.y;
    return true;
}

// The hero stands a little above the ground he walks on; a ray down from
// over his head would meet his own body first.
float HeroGround()
{
    return getPlayer()->GetPosition().GetPosition().y - 10.0f;
}

bool SameLevel(const D3DXVECTOR3& spot)
{
    float there = 0.0f;
    return GroundUnder(spot, &there) && std::fabs(HeroGround() - there) < 50.0f;
}

bool WalkableWay(const D3DXVECTOR3& from, const D3DXVECTOR3& to)
{
    const float start = HeroGround();
    float end = 0.0f;
    if (!GroundUnder(to, &end))
        return false;
    const float length = Flat(from, to);
    const int samples = static_cast<int>(length / 40.0f);
    for (int i = 1; i < samples; ++i) {
        const float t = static_cast<float>(i) / samples;
        const D3DXVECTOR3 at = from + (to - from) * t;
        float ground = 0.0f;
        if (!GroundUnder(D3DXVECTOR3(at.x, start + (end - start) * t, at.z), &ground) ||
            std::fabs(ground - (start + (end - start) * t)) > 50.0f)
            return false;
    }
    return ClearLine(D3DXVECTOR3(from.x, start + 40.0f, from.z), D3DXVECTOR3(to.x, end + 40.0f, to.z), "");
}

bool ClearLine(const D3DXVECTOR3& from, const D3DXVECTOR3& point, const std::string& box)
{
    const RayHit wall = getCollisionManager().CastRay(from, point);
    return !wall.hit || wall.name == box || Flat(wall.hitPoint, point) <= 12.0f;
}

bool UpTheLevel(const D3DXVECTOR3& spot)
{
    const CTriggerManager& triggers = getTriggerManager();
    for (const char* name : {"trg_01", "trg_031", "trg_02", "trg_03", "trg_06", "trg_07", "trg_08"}) {
        const TriggerVolume* box = triggers.FindVolume(name);
        if (!box || !box->enabled || box->zone != triggers.currentZone)
            continue;
        if (std::fabs(spot.x - box->centre.x) <= box->width * 0.5f &&
            std::fabs(spot.y - box->centre.y) <= box->height * 0.5f &&
            std::fabs(spot.z - box->centre.z) <= box->length * 0.5f)
            return true;
    }
    return false;
}

bool WayUpTheLevel(const D3DXVECTOR3& from, const D3DXVECTOR3& spot)
{
    const int steps = std::max(1, static_cast<int>(Flat(from, spot) / 30.0f));
    for (int i = 1; i <= steps; ++i)
        if (UpTheLevel(from + (spot - from) * (static_cast<float>(i) / steps)))
            return true;
    return false;
}

bool FindShootingSpot(const D3DXVECTOR3& point, const std::string& box, D3DXVECTOR3* spot)
{
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    const float ground = HeroGround();
    float best = 1e30f;
    for (float radius : {250.0f, 400.0f, 550.0f, 700.0f})
        for (int k = 0; k < 24; ++k) {
            const float angle = k * 6.2831853f / 24.0f;
            D3DXVECTOR3 at(point.x + std::sin(angle) * radius, hero.y, point.z + std::cos(angle) * radius);
            float there = 0.0f;
            if (!GroundUnder(at, &there) || std::fabs(there - ground) > 50.0f)
                continue;
            // The eye stands above and a little behind the hero: a line from
            // head height with room to spare.
            if (!ClearLine(D3DXVECTOR3(at.x, there + 110.0f, at.z), point, box) ||
                !ClearLine(D3DXVECTOR3(at.x, there + 70.0f, at.z), point, box))
                continue;
            if (!WalkableWay(hero, at) || WayUpTheLevel(hero, at))
                continue;
            const float d = Flat(hero, at);
            if (d < best) {
                best = d;
                *spot = at;
            }
        }
    return best < 1e29f;
}


bool FindHidingSpot(const std::vector<D3DXVECTOR3>& eyes, const std::vector<D3DXVECTOR3>& refuges,
                    const std::vector<D3DXVECTOR3>& shunned, D3DXVECTOR3* spot)
{
    auto shun = [&shunned](const D3DXVECTOR3& at) {
        for (const D3DXVECTOR3& bad : shunned)
            if (Flat(bad, at) < 100.0f)
                return true;
        return false;
    };
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    const float ground = HeroGround();
    auto hidden = [&eyes](const D3DXVECTOR3& at, float there) {
        for (const D3DXVECTOR3& eye : eyes)
            for (float height : {60.0f, 110.0f}) {
                const D3DXVECTOR3 body(at.x, there + height, at.z);
                const RayHit wall = getCollisionManager().CastRay(eye, body);
                if (!wall.hit || Flat(wall.hitPoint, body) < 30.0f)
                    return false;
            }
        return true;
    };
    float best = 1e30f;
    for (float radius : {150.0f, 300.0f, 450.0f, 600.0f, 800.0f})
        for (int k = 0; k < 16; ++k) {
            const float angle = k * 6.2831853f / 16.0f;
            const D3DXVECTOR3 at(hero.x + std::sin(angle) * radius, hero.y, hero.z + std::cos(angle) * radius);
            float there = 0.0f;
            if (shun(at) || !GroundUnder(at, &there) || std::fabs(there - ground) > 50.0f || !hidden(at, there))
                continue;
            if (!WalkableWay(hero, at))
                continue;
            if (radius < best) {
                best = radius;
                *spot = at;
            }
        }
    // The places the level gives, up or down the drop: farther round.
    for (const D3DXVECTOR3& refuge : refuges) {
        float there = 0.0f;
        const float d = Flat(hero, refuge) + (std::fabs(refuge.y - hero.y) > 100.0f ? 800.0f : 0.0f);
        if (d < best && !shun(refuge) && GroundUnder(refuge, &there) && hidden(refuge, there)) {
            best = d;
            *spot = refuge;
        }
    }
    return best < 1e29f;
}


namespace {

// The fence before the ramp's foot runs from (-51, -54) to (120, 415), and a
// heap of planks fills the ramp's foot behind it: the way on and off the
// ramp is over its low south side, west of the fence.
float FenceX(float z)
{
    return -31.2f + 0.3638f * std::min(std::max(z, -54.0f), 415.0f);
}

// East of the fence, or north of the planks: one side; the west of the
// square: the other. South of the fence's end they meet.
int FenceSide(const D3DXVECTOR3& at)
{
    if (at.z < -60.0f)
        return 0;
    if (at.z > 415.0f)
        return 1;
    return at.x > FenceX(at.z) ? 1 : -1;
}

} // namespace

D3DXVECTOR3 IslandWaypoint(const D3DXVECTOR3& hero, const D3DXVECTOR3& target)
{
    const D3DXVECTOR3 top(-860.0f, 372.0f, 300.0f), edge(-760.0f, 372.0f, 300.0f), low(-110.0f, 50.0f, 260.0f);
    const D3DXVECTOR3 entry(-15.0f, 0.0f, 110.0f), round(-90.0f, 0.0f, -120.0f), northEast(220.0f, 0.0f, 470.0f);
    const D3DXVECTOR3 step(-8.0f, 3.0f, 230.0f);
    // Up only once at the top: half way up the ramp he still climbs it.
    const bool heroUp = hero.y > 340.0f, goalUp = target.y > 250.0f;
    const bool onRamp = std::fabs(hero.z - 300.0f) < 150.0f && hero.x > -800.0f && hero.x < 0.0f && hero.y > 5.0f;
    if (heroUp && !goalUp)
        return hero.x < -780.0f ? edge : low;
    if (!heroUp && goalUp) {
        if (onRamp)
            return top;
        // West of the fence: under the ramp's lowest stretch of side, then
        // up onto it where the step is small.
        if (FenceSide(hero) < 0 && (Flat(hero, entry) < 40.0f || (hero.z > 95.0f && hero.x > -60.0f)))
            return step;
        if (FenceSide(hero) < 0 || (FenceSide(hero) == 0 && hero.x < -60.0f))
            return entry;
        // North of the planks: round the fence's north end first.
        if (hero.z > 415.0f && hero.x < 200.0f)
            return northEast;
        return round;
    }
    // Both down with the fence between: round its south end.
    if (!heroUp && !goalUp && !onRamp && FenceSide(hero) * FenceSide(target) < 0) {
        if (hero.z > 415.0f && hero.x < 200.0f)
            return northEast;
        return round;
    }
    return target;
}

} // namespace playthrough
