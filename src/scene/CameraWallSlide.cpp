#include <algorithm>
#include <cmath>

#include "scene/Camera.h"
#include "scene/CameraReach.h"

using namespace camera_reach;

namespace {

// The look-at point and the eye slide aside in these steps, to either side.
constexpr float kSlideStep = 25.0f;
constexpr int kSlides = 3;
// His feet and the top of his head, above the ground he stands on.
constexpr float kFeetHeight = 5.0f;
constexpr float kHeadHeight = 80.0f;

}  // namespace

bool CCamera::SlideBesideWall(D3DXVECTOR3* eyeTarget, bool whole)
{
    ICameraWorld& world = World();
    // His chest, straight over his feet: his body keeps that clear of the
    // level, where the look-at point may stand beside him or, his shoulder
    // against a crate's end, inside it.
    const D3DXVECTOR3 pivot = m_Hero.position + D3DXVECTOR3(0.0f, kChestHeight, 0.0f);
    const D3DXVECTOR3 way = *eyeTarget - m_LookAt;
    const float length = D3DXVec3Length(&way);
    float shift = m_SideShift;
    if (length <= 0.0f)
        return false;
    const D3DXVECTOR3 ahead = way / length;
    // The look-at displacement's x, flat, as the orbit turns it.
    const D3DXVECTOR3 aside(std::cos(GetYaw()), 0.0f, -std::sin(GetYaw()));
    const float highest = m_Values.pitchUpLimit;
    const float wanted = std::min(length, kNearestEye);
    D3DXVECTOR3 bestFrom = m_LookAt, best = ahead;
    float bestReach = -1.0f;
    int bestParts = -1;
    // Whole in frame he is all three of his feet, chest and head; otherwise
    // his chest at least is in sight.
    const int enough = whole ? 3 : 0;
    // From the look-at point slid by `slide` the eye backs off along
    // `direction`: how much of him that shows, and from how far. A look-at
    // point his chest cannot reach lies in a crate or a wall, and an eye put
    // there shows nothing but black.
    auto tryFrom = [&](float slide, const D3DXVECTOR3& direction) {
        const D3DXVECTOR3 from = m_LookAt + aside * (slide - m_SideShift);
        const D3DXVECTOR3 reachTo = from - pivot;
        if (world.ClearReach(pivot, from) + 0.5f < D3DXVec3Length(&reachTo))
            return false;
        const float reach = ReachAlong(from, direction, length);
        const D3DXVECTOR3 eye = from + direction * reach;
        const int parts = SeesHeroFrom(eye, from, highest) ? FramedParts(eye, from) : -1;
        // Where none has room enough, the place it is in keeps it unless
        // another has clearly more: flicking between near-equal places
        // beside a wall turned the view each frame.
        const bool better = parts >= enough && reach >= wanted ? true : reach > bestReach + kSlideStep;
        if (bestReach < 0.0f || parts > bestParts || (parts == bestParts && better)) {
            bestFrom = from;
            best = direction;
            bestReach = reach;
            bestParts = parts;
            shift = slide;
        }
        return parts == 3 && reach >= wanted;
    };
    bool found = tryFrom(m_SideShift, ahead);
    // A crate behind him: the eye goes up over it along the same heading,
    // no steeper than the orbit may look, then slides aside on the side it
    // is on, then on the other, and back to his line last.
    const float start = std::asin(std::max(-1.0f, std::min(1.0f, ahead.y)));
    const float highestTilt = highest + kPitchSlack;
    const float flat = std::max(std::hypot(ahead.x, ahead.z), 1e-4f);
    for (int step = 1; step <= kLiftSteps && !found && start + (step - 1) * kLiftStep < highestTilt; ++step) {
        const float tilt = std::min(start + step * kLiftStep, highestTilt);
        const D3DXVECTOR3 lifted(std::cos(tilt) * ahead.x / flat, std::sin(tilt), std::cos(tilt) * ahead.z / flat);
        found = tryFrom(m_SideShift, lifted);
    }
    const float side = m_SideShift < 0.0f ? -1.0f : 1.0f;
    for (float toward : {side, -side})
        for (int step = 1; step <= kSlides && !found; ++step)
            found = tryFrom(toward * step * kSlideStep, ahead);
    if (!found && m_SideShift != 0.0f)
        found = tryFrom(0.0f, ahead);
    // Nowhere beside him keeps him in frame: the eye swings round him.
    if (bestParts < enough)
        return false;
    // The look-at point goes along at once, so that the view keeps the
    // mouse's heading this frame too.
    m_DesiredLookAt += bestFrom - m_LookAt;
    m_LookAt = bestFrom;
    *eyeTarget = bestFrom + best * bestReach;
    // So near the look-at point, the eye's body trailing a turn by a few
    // units turned the view far off the mouse's heading: it is put there.
    if (bestReach < wanted) {
        world.PlaceCamera(*eyeTarget);
        SetPosition(*eyeTarget);
    }
    m_SideShift = shift;
    return true;
}

int CCamera::FramedParts(const D3DXVECTOR3& eye, const D3DXVECTOR3& at)
{
    const D3DXVECTOR3 view = at - eye;
    const float length = D3DXVec3Length(&view);
    if (length <= 0.0f)
        return -1;
    const D3DXVECTOR3 ahead = view / length;
    const float flat = std::hypot(ahead.x, ahead.z);
    if (flat <= 1e-4f)
        return -1;
    const D3DXVECTOR3 right(ahead.z / flat, 0.0f, -ahead.x / flat);
    D3DXVECTOR3 up;
    D3DXVec3Cross(&up, &ahead, &right);
    // A little inside the frame's edges.
    const float tall = 0.95f * std::tan(0.5f * m_Fov), wide = tall * m_Aspect;
    int parts = 0;
    for (float height : {kFeetHeight, kChestHeight, kHeadHeight}) {
        const D3DXVECTOR3 part = m_Hero.position + D3DXVECTOR3(0.0f, height, 0.0f);
        const bool seen = World().Sees(eye, part);
        if (height == kChestHeight && !seen)
            return -1;
        const D3DXVECTOR3 toPart = part - eye;
        const float z = D3DXVec3Dot(&toPart, &ahead);
        if (seen && z > 0.0f && std::fabs(D3DXVec3Dot(&toPart, &right)) < wide * z &&
            std::fabs(D3DXVec3Dot(&toPart, &up)) < tall * z)
            ++parts;
    }
    return parts;
}
