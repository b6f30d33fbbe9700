// What an enemy's bullet hits: the hero's body, props, barrels, the two
// planks that give way and the level's walls and water.
#include "world/CollisionManager.h"

#include <cmath>

#include <btBulletDynamicsCommon.h>

#include "math/VectorMath.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"

namespace {

// The hero's parts that an enemy's bullet hurts.
const char* const kHeroParts[] = {
    "Bip01 R Forearm", "Bip01 R UpperArm", "Bip01 R Hand",  "Bip01 L Forearm", "Bip01 L UpperArm", "Bip01 L Hand",
    "Bip01 R Thigh",   "Bip01 R Calf",     "Bip01 R Foot",  "basic",           "Bip01 L Thigh",    "Bip01 L Calf",
    "Bip01 L Foot",    "Bip01 Pelvis",     "Bip01 Spine1",  "Bip01 Head",
};

bool IsHeroPartName(const std::string& name)
{
    for (const char* part : kHeroParts)
        if (name == part)
            return true;
    return false;
}

bool BeginsWith(const std::string& name, const char* text)
{
    return name.rfind(text, 0) == 0;
}

} // namespace

bool CCollisionManager::PelletStrike(const D3DXVECTOR3& from, const D3DXVECTOR3& direction, D3DXVECTOR3* point,
                                     bool* marks)
{
    const ShotHit shot = CastShot(from, direction, "");
    if (!shot.hit)
        return false;
    *point = shot.point;
    *marks = shot.kind == PHYSICS_BOX && shot.marked;
    return true;
}

void CCollisionManager::ResolveEnemyShot(const CLocation* shooter, std::uint16_t damage, float hitPoint[3])
{
    if (!shooter)
        return;
    const float yaw = shooter->GetYaw(), pitch = shooter->GetPitch();
    const D3DXVECTOR3 direction(std::sin(yaw), -std::sin(pitch), std::cos(yaw));
    const D3DXVECTOR3 start = shooter->GetPosition();
    const ShotHit shot = CastShot(start, direction, "");
    if (!shot.hit)
        return;
    const D3DXVECTOR3 point = shot.point;
    lastShotPoint = point;
    hitPoint[0] = point.x;
    hitPoint[1] = point.y;
    hitPoint[2] = point.z;
    const D3DXVECTOR3 hero = Link().HeroPosition();

    if (shot.kind == PHYSICS_PROP) {
        PropRecord& prop = *static_cast<PropRecord*>(shot.prop->getUserPointer());
        if (KnockProp(shot.prop, NormalizeVector(direction), point)) {
            getParticleManager().SpawnWallSparks(point);
            return;
        }
        if (!IsBarrel(prop.name))
            return;
        // Any barrel goes off, on its own: no chain, no scaffold, no score.
        const std::string name = prop.name;
        BarrelBlast(prop, point);
        Scorch(prop);
        RemovePropBody(name);
        return;
    }

    if (shot.kind == PHYSICS_BOX) {
        const std::string& name = shot.boxName;
        if (shot.marked && name != "col_056" && name != "col_055")
            getParticleManager().SpawnSparks(point, shot.normal);
        CRigidAnimManager* rigid = getRigid();
        const bool third = BeginsWith(name, "col_maderitas3");
        if (third || BeginsWith(name, "col_maderitas2")) {
            int& hitsLeft = third ? rigid->crateHits3 : rigid->crateHits2;
            hitsLeft -= 1;
            if (hitsLeft > 0)
                return;
            const float d = ManhattanDistanceXZ(hero, point);
            getSoundManager().playThisSampleOnce("data/sound/maderitas.wav", CSoundManager::VolumeByDistance(d));
            RemoveStaticBody(third ? "col_maderitas3" : "col_maderitas2");
            rigid->play(third ? "maderitas3_ROTO" : "maderitas2_ROTO", false);
            // The plank gone, the crouch behind it is no cover any more (the
            // rigid manager blocks its parapet by this flag).
            (third ? rigid->crateBroken3 : rigid->crateBroken2) = true;
            return;
        }
        if (BeginsWith(name, "col_agua"))
            getParticleManager().SpawnWaterSpray(point);
        return;
    }

    if (shot.kind != PHYSICS_BODY_PART)
        return;
    // Only the hero's own parts hurt him: a bullet stopped by another
    // enemy's body does nothing, whatever the part is called.
    if (shot.part->ownerName != playerBody.GetName() || !IsHeroPartName(shot.part->partName))
        return;
    if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
        selector->ForwardHit(true, damage, start.x, start.y, start.z);
    getParticleManager().SpawnBlood(point, hero, DirectionFromYaw(yaw));
}
