// The fight's cameras are written around the hero alone, as if he fought in
// the open. Where a fight really stands, against a wall, a crate stack or an
// arena's parapet, the written eye may lie behind the wall: the player would
// see bricks close up instead of the fighters. The camera looks from the
// first side of the pair whose whole flight stays clear, and only when none
// does is it brought in toward the fighters as far as the level needs.
#include <algorithm>

#include "scene/RigidAnimManager.h"

namespace {

// Points along the eye's flight that are tried; the flights are short and
// smooth, so a handful finds what stands in their way.
constexpr int kFlightSamples = 8;
// A side whose worst sample keeps this share of its way counts as clear.
constexpr float kClearShare = 0.999f;
// Never nearer than this share: an eye on the look-at point sees nothing,
// and a fight boxed in on every side is still better seen a little from
// inside a wall than not at all.
constexpr float kLeastShare = 0.3f;

struct Side {
    float x, z;
};
// As written first, then mirrored across the fight's line, then from the
// far side of the pair.
constexpr Side kSides[] = {{1.0f, 1.0f}, {-1.0f, 1.0f}, {1.0f, -1.0f}, {-1.0f, -1.0f}};

} // namespace

void CRigidAnimManager::FitComboCamera()
{
    comboFraming = ComboFraming();
    if (!camPosAnim.HasSamples())
        return;
    IRigidAnimWorld& world = World();
    // The flight's look-at point at its start: what the camera turns round.
    comboFraming.pivot = camLookAnim.position + camLookOffset;

    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, world.HeroYaw());
    const D3DXVECTOR3 hero = world.HeroPosition();
    auto inWorld = [&](const D3DXVECTOR3& p) {
        D3DXVECTOR3 moved;
        D3DXVec3TransformCoord(&moved, &p, &turn);
        return moved + hero;
    };
    D3DXVECTOR3 eyes[kFlightSamples];
    CKeyframedRAO flight = camPosAnim;
    const float step = flight.track->duration / (kFlightSamples - 1);
    for (int k = 0; k < kFlightSamples; ++k) {
        eyes[k] = flight.position + camPosOffset;
        flight.Update(step);
    }

    const D3DXVECTOR3 pivot = inWorld(comboFraming.pivot);
    ComboFraming best = comboFraming;
    best.reach = -1.0f;
    for (const Side& side : kSides) {
        ComboFraming tried = comboFraming;
        tried.sideX = side.x;
        tried.sideZ = side.z;
        float worst = 1.0f;
        for (const D3DXVECTOR3& eye : eyes) {
            const D3DXVECTOR3 at = inWorld(tried.Fit(eye));
            const D3DXVECTOR3 way = at - pivot;
            const float length = D3DXVec3Length(&way);
            if (length > 0.0f)
                worst = std::min(worst, world.CameraReach(pivot, at) / length);
        }
        if (worst >= kClearShare) {
            comboFraming = tried;
            return;
        }
        if (worst > best.reach) {
            best = tried;
            best.reach = worst;
        }
    }
    comboFraming = best;
    comboFraming.reach = std::max(kLeastShare, best.reach);
}
