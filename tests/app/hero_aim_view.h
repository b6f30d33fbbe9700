// Where the hero's gun stands while he aims, read from the weapon his hand
// holds, his bones and the camera the frame is seen through: how far the
// barrel is off the way the shot goes, how high the gun is held, and on which
// side of his spine the picture shows it.
#pragma once

#include <cmath>

#include "math/VectorMath.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"

namespace heroaim {

struct AimView {
    float barrelOffShot = 180.0f; // degrees between the barrel and the grip-to-aim-point line
    float raised = 0.0f;          // the grip's height over his feet, as a share of his head's
    float gunRightOfSpine = 0.0f; // the grip's column right of his spine's, in picture widths
};

// The pixel a world point is drawn at; NaN for a point behind the eye.
inline D3DXVECTOR3 OnScreen(const D3DXVECTOR3& world, float width, float height)
{
    const CCamera& camera = getCamera();
    const D3DXMATRIX m = camera.GetViewMatrix() * camera.GetProjectionMatrix();
    const float x = world.x * m._11 + world.y * m._21 + world.z * m._31 + m._41;
    const float y = world.x * m._12 + world.y * m._22 + world.z * m._32 + m._42;
    const float w = world.x * m._14 + world.y * m._24 + world.z * m._34 + m._44;
    if (!(w > 0.0f))
        return D3DXVECTOR3(NAN, NAN, NAN);
    return D3DXVECTOR3((x / w * 0.5f + 0.5f) * width, (0.5f - y / w * 0.5f) * height, w);
}

inline AimView ReadAimView(float width, float height)
{
    AimView view;
    CPlayer* hero = getPlayer();
    CCharacterEntity* body = hero->GetEntity();
    IWeapon* weapon = hero->GetCurrentWeapon();
    if (!body || !weapon)
        return view;
    const D3DXMATRIX gun = weapon->GetModel().GetTransform().GetMatrix();
    const D3DXVECTOR3 grip(gun._41, gun._42, gun._43);
    const D3DXVECTOR3 barrel = NormalizeVector(D3DXVECTOR3(gun._11, gun._12, gun._13));
    // The shot flies from the grip to the point 1000 ahead of the eye.
    const CCamera& camera = getCamera();
    const D3DXVECTOR3 aimPoint = camera.GetPosition() + 1000.0f * NormalizeVector(camera.GetViewDirection());
    const D3DXVECTOR3 shot = NormalizeVector(aimPoint - grip);
    const float cosine = std::fmax(-1.0f, std::fmin(1.0f, DotProduct(barrel, shot)));
    view.barrelOffShot = std::acos(cosine) * 57.29578f;

    const D3DXMATRIX world = body->GetTransform().GetMatrix();
    const D3DXMATRIX spine = body->GetBoneMatrix("Bip01 Spine1") * world;
    const D3DXMATRIX head = body->GetBoneMatrix("Bip01 Head") * world;
    const float feet = hero->GetPosition().GetPosition().y;
    view.raised = (grip.y - feet) / (head._42 - feet);
    view.gunRightOfSpine =
        (OnScreen(grip, width, height).x - OnScreen({spine._41, spine._42, spine._43}, width, height).x) / width;
    return view;
}

} // namespace heroaim
