// The resolution of a shot in the collision manager's world: what the bullet
// meets first, and what follows for an enemy, a prop, a barrel or the
// breakable scenery.
#include "world/CollisionManager.h"

#include "world/CollisionHelpers.h"

#include <algorithm>

#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "math/VectorMath.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/Location.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "scene/RigidEntity.h"
#include "sound/SoundManager.h"

namespace {

// A breakable's stages, tested from the last to the first: the hit points
// it must fall below, where its smoke rises and which smoke slot it fills.
struct Stage {
    int below;
    D3DXVECTOR3 point;
    int slot;
};
const Stage kPlaneStages[4] = {
    {12, {2350.889892578125f, 92.78379821777344f, 332.07000732421875f}, 4},
    {24, {2350.889892578125f, 82.78379821777344f, 362.07000732421875f}, 2},
    {32, {2350.889892578125f, 79.78379821777344f, 462.07000732421875f}, 3},
    {48, {2350.889892578125f, 89.78379821777344f, 422.07000732421875f}, 1},
};
const Stage kTankStages[4] = {
    {12, {2228.5400390625f, 154.47999572753906f, 1019.0700073242188f}, 4},
    {24, {2148.5400390625f, 74.4800033569336f, 1019.0700073242188f}, 2},
    {36, {2268.5400390625f, 64.4800033569336f, 1019.0700073242188f}, 3},
    {42, {2188.5400390625f, 114.4800033569336f, 1019.0700073242188f}, 1},
};
const D3DXVECTOR3 kPlaneFinal[4] = {kPlaneStages[3].point, kPlaneStages[2].point, kPlaneStages[1].point,
                                    kPlaneStages[0].point};
const D3DXVECTOR3 kTankFinal[5] = {
    {2268.5400390625f, 84.4800033569336f, 1019.0700073242188f},
    {2238.5400390625f, 164.47999572753906f, 1019.0700073242188f},
    {2168.5400390625f, 124.4800033569336f, 1019.0700073242188f},
    {2208.5400390625f, 64.4800033569336f, 1019.0700073242188f},
    {2198.5400390625f, 144.47999572753906f, 1019.0700073242188f},
};

struct ZoneOfPart {
    const char* part;
    const char* zone;
};
const ZoneOfPart kZones[] = {
    {"EBip01 R Forearm", "ra"}, {"EBip01 R UpperArm", "ra"}, {"EBip01 R Hand", "ra"},
    {"EBip01 L Forearm", "la"}, {"EBip01 L UpperArm", "la"}, {"EBip01 L Hand", "la"},
    {"EBip01 R Thigh", "rl"},   {"EBip01 R Calf", "rl"},     {"EBip01 R Foot", "rl"},
    {"basic", "rl"},            {"EBip01 L Thigh", "ll"},    {"EBip01 L Calf", "ll"},
    {"EBip01 L Foot", "ll"},    {"EBip01 Pelvis", "bo"},     {"EBip01 Spine1", "bo"},
    {"EBip01 Head", "h"},
};

} // namespace

const char* PlayerShotZone(const std::string& partName)
{
    for (const ZoneOfPart& z : kZones)
        if (partName == z.part)
            return z.zone;
    return nullptr;
}

void CCollisionManager::PlayStage(bool plane, int hits, const D3DXVECTOR3& hitPoint)
{
    bool* done = plane ? planeStageDone : tankStageDone;
    const Stage* stages = plane ? kPlaneStages : kTankStages;
    CParticleManager& particles = getParticleManager();
    const float d = ManhattanDistanceXZ(Link().HeroPosition(), hitPoint);
    // One stage a hit: the final one first, then the deepest not yet played.
    if (hits < 0) {
        if (done[4])
            return;
        getSoundManager().PlayBarrelExplosion(d * 0.5f);
        const D3DXVECTOR3* points = plane ? kPlaneFinal : kTankFinal;
        const int count = plane ? 4 : 5;
        for (int i = 0; i < count; ++i)
            particles.SpawnExplosion(points[i], RandomRange(0.0f, 1.0f));
        done[4] = true;
        for (auto& smoke : smokeEmitters)
            if (smoke)
                particles.RemoveEmitter(smoke.get());
        if (CEnemyManager* enemies = getEnemyManager())
            enemies->killThisWave("wave_04");
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (hits >= stages[i].below || done[i])
            continue;
        getSoundManager().PlayBarrelExplosion(d);
        particles.SpawnExplosion(stages[i].point, 0.0f);
        smokeEmitters[stages[i].slot - 1] =
            particles.CreateEmitter(getParticleTypes().FindSystemType("humo"), stages[i].point, D3DXVECTOR3(0, 0, 0));
        done[i] = true;
        return;
    }
}

CCollisionManager::ShotHit CCollisionManager::CastShot(const D3DXVECTOR3& start, const D3DXVECTOR3& direction,
                                                       const std::string& shooter)
{
    ShotHit shot;
    if (!dynamicsWorld || D3DXVec3Length(&direction) == 0.0f || !Finite(direction) || !Finite(start))
        return shot;
    // The far end lies along the aim from the start: measured from the
    // world's origin it would bend the shot away from where it points.
    const btVector3 from = ToBt(start);
    const btVector3 end = from + ToBt(NormalizeVector(direction)) * kRaySpan;
    BulletRayCallback result(from, end, cameraBody.GetName(), shooter);
    dynamicsWorld->rayTest(from, end, result);
    if (!result.hasHit())
        return shot;
    shot.hit = true;
    shot.point = ToD3D(result.m_hitPointWorld);
    shot.normal = ToD3D(result.m_hitNormalWorld);
    const btCollisionObject* object = result.m_collisionObject;
    const btRigidBody* body = btRigidBody::upcast(object);
    if (body && body->getMotionState()) {
        if (!body->isStaticOrKinematicObject()) {
            if (KindOf(body) == PHYSICS_PROP) {
                shot.kind = PHYSICS_PROP;
                shot.prop = const_cast<btRigidBody*>(body);
            }
        } else if (KindOf(body) == PHYSICS_BOX) {
            shot.kind = PHYSICS_BOX;
            const RayHit& box = *static_cast<const RayHit*>(body->getUserPointer());
            shot.boxName = box.name;
            shot.marked = box.shots == ShotPassage::Marked;
        }
        return shot;
    }
    if (KindOf(object) == PHYSICS_BODY_PART) {
        shot.kind = PHYSICS_BODY_PART;
        shot.part = static_cast<const BodyPart*>(object->getUserPointer());
    }
    return shot;
}

void CCollisionManager::ResolvePlayerShot(const CLocation* shooter, float hitPoint[3])
{
    if (!dynamicsWorld)
        return;
    D3DXVECTOR3 eye, lookAt;
    Link().CameraView(&eye, &lookAt);
    D3DXVECTOR3 direction = lookAt - eye;
    if (shooter) {
        const float yaw = shooter->GetYaw(), pitch = shooter->GetPitch();
        direction = D3DXVECTOR3(std::sin(yaw), -std::sin(pitch), std::cos(yaw));
    }
    const ShotHit shot = CastShot(lookAt, direction, playerBody.GetName());
    if (!shot.hit)
        return;
    direction = NormalizeVector(direction);
    const D3DXVECTOR3 point = shot.point;
    lastShotPoint = point;
    hitPoint[0] = point.x;
    hitPoint[1] = point.y;
    hitPoint[2] = point.z;

    CAchievementStats& stats = getAchievementStats();
    if (shot.kind == PHYSICS_PROP) {
        ShootProp(shot.prop, direction, point);
        return;
    }
    if (shot.kind == PHYSICS_BOX) {
        ShootScenery(shot.boxName, point, shot.normal, shot.marked);
        return;
    }
    if (shot.kind != PHYSICS_BODY_PART)
        return;
    const BodyPart& part = *shot.part;
    ++stats.bodyPartsHit;
    const std::string owner = part.ownerName;
    CEnemyManager* enemies = getEnemyManager();
    // Dockers and characters without an enemy's name do not bleed.
    if (owner.size() >= 4 && (owner.size() < 5 || owner[4] != 'D'))
        getParticleManager().SpawnBlood(point, enemies->GetTrackedEnemyPosition(owner),
                                        DirectionFromYaw(Link().HeroYaw()));
    const char* zone = PlayerShotZone(part.partName);
    if (!zone)
        return;
    float factor = bodyFactor;
    const std::string z = zone;
    if (z == "ra" || z == "la") {
        factor = armFactor;
    } else if (z == "rl" || z == "ll") {
        factor = legFactor;
        ++stats.legShots;
    } else if (z == "h") {
        factor = headFactor;
        ++stats.headShots;
    }
    enemies->ApplyPlayerShot(owner, factor, z, Link().HeroPosition());
}

void CCollisionManager::ShootScenery(const std::string& name, const D3DXVECTOR3& point, const D3DXVECTOR3& normal,
                                     bool marked)
{
    CParticleManager& particles = getParticleManager();
    if (marked && name != "col_056" && name != "col_055")
        particles.SpawnSparks(point, normal);
    CPlayer* hero = getPlayer();
    const bool pistol = hero->GetCurrentWeapon() && hero->GetCurrentWeapon()->GetName() == "GUN";
    const int loss = pistol ? 3 : 1;
    if (name == "col_avion_bucle" || name == "col_34TANQUE") {
        if (!getGSF().isPlayingRigidaEneAvioneta())
            return;
        const bool plane = name == "col_avion_bucle";
        int& hits = plane ? planeHits : tankHits;
        hits -= loss;
        PlayStage(plane, hits, point);
        return;
    }
    if (name == "col_explosion_hangar1") {
        if (hangarExploded)
            return;
        hangarHits -= loss;
        if (hangarHits > 0)
            return;
        ExplodeHangar();
        return;
    }
    const bool scaffoldWave = getEnemyManager()->GetCurrentWave() == "wave_34";
    if (name == "col_maderita1" || name == "col_maderita2") {
        if (!scaffoldWave)
            return;
        const bool second = name == "col_maderita2";
        getRigid()->play(second ? "maderitas_andamio2" : "maderitas_andamio1", false);
        RemoveStaticBody(name);
        const float d = ManhattanDistanceXZ(Link().HeroPosition(), point);
        getSoundManager().playThisSampleOnce("data/sound/maderitas.wav", CSoundManager::VolumeByDistance(d));
        return;
    }
    if (StartsWith(name, "col_agua"))
        particles.SpawnSmallWaterSpray(point);
}

void CCollisionManager::ExplodeHangar()
{
    hangarExploded = true;
    CSoundManager& sound = getSoundManager();
    sound.PlayBarrelExplosion(0.0f);
    CRigidAnimManager* rigid = getRigid();
    rigid->play("explosion_hangar", false);
    CGameStateFlagsManager& flags = getGSF();
    flags.setRigidasHangarExplosion();
    // The level flag stays: the switch to the island waits on it. The
    // sequencer may move the hero again, once per explosion.
    rigid->explosionTeleportArmed = true;
    getEnemyManager()->playPaletaVoladoresHangarExplosivo();
    rigid->playCam("camara_hangar");
    sound.playThisSceneSound("data/sound/Fire.wav", 1.0f, true, "data/sound/HE.wav", 1.0f, true, "", 0.0f, false);
    flags.setPlayingCamHangar();
    static const struct {
        D3DXVECTOR3 point;
        float delay;
    } kBlasts[10] = {
        {{340.13427734375f, 113.9478759765625f, 4157.1865234375f}, 0.0f},
        {{300.13427734375f, 83.9478759765625f, 4257.1865234375f}, 0.2f},
        {{210.13427734375f, 153.9478759765625f, 4157.1865234375f}, 0.4f},
        {{380.13427734375f, 103.9478759765625f, 4357.1865234375f}, 0.0f},
        {{440.13427734375f, 133.9478759765625f, 4057.1865234375f}, 0.1f},
        {{540.13427734375f, 313.9478759765625f, 4157.1865234375f}, 0.6f},
        {{500.13427734375f, 283.9478759765625f, 4257.1865234375f}, 0.4f},
        {{110.13427734375f, 353.9478759765625f, 4157.1865234375f}, 0.5f},
        {{180.13427734375f, 303.9478759765625f, 4357.1865234375f}, 0.3f},
        {{540.13427734375f, 333.9478759765625f, 4057.1865234375f}, 0.0f},
    };
    for (const auto& blast : kBlasts)
        getParticleManager().SpawnBigExplosion(blast.point, blast.delay);
}

bool CCollisionManager::KnockProp(btRigidBody* body, const D3DXVECTOR3& direction, const D3DXVECTOR3& point)
{
    const std::string& name = static_cast<PropRecord*>(body->getUserPointer())->name;
    for (const char* word : {"_lata_", "_lata2_", "_silla_", "_tolm_", "_radio_", "_pibrelo_"}) {
        if (!HasFamilyWord(name, word))
            continue;
        body->activate();
        body->applyImpulse(ToBt(direction) * 1000.0f, btVector3(0.0f, -10.0f, 3.3f));
        const float d = ManhattanDistanceXZ(Link().HeroPosition(), point);
        if (HasFamilyWord(name, "_tolm_") || HasFamilyWord(name, "_pibrelo_"))
            getSoundManager().PlayBottle(d);
        else if (HasFamilyWord(name, "_lata_"))
            getSoundManager().PlayCan(d);
        return true;
    }
    return false;
}

bool CCollisionManager::IsBarrel(const std::string& propName)
{
    return HasFamilyWord(propName, "_barril_");
}

void CCollisionManager::BarrelBlast(const PropRecord& barrel, const D3DXVECTOR3& point)
{
    CEnemyManager* enemies = getEnemyManager();
    const float radius = barrel.blastRadius;
    const float damage = barrel.blastDamage;
    for (const auto& entry : enemies->GetCurrentWaveEnemies()) {
        const float d = ManhattanDistanceXZ(entry.second->GetPosition().GetPosition(), point);
        if (d < radius)
            enemies->ApplyPlayerShot(entry.second->GetName(), damage * (1.0f - d / radius), "ba", point);
    }
    // A barrel hurts the hero too, whoever set it off.
    const float heroDistance = ManhattanDistanceXZ(Link().HeroPosition(), point);
    if (heroDistance < radius) {
        const float hurt = std::min(damage * (1.0f - heroDistance / radius), 65535.0f);
        if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
            selector->ForwardHit(true, static_cast<std::uint16_t>(hurt), point.x, point.y, point.z);
    }
    getSoundManager().PlayBarrelExplosion(heroDistance);
    getParticleManager().SpawnExplosion(point, 0.0f);
}

void CCollisionManager::Scorch(const PropRecord& barrel)
{
    if (CParticleSystem* marks = getParticleManager().GetParticleSystem("suelo_quemado")) {
        // Where the barrel stands now: a prop's stored position is never
        // moved (its pose is in the world matrix), and would put every mark
        // at the level's origin.
        const D3DXMATRIX& world = barrel.entity ? barrel.entity->GetTransform().GetMatrix() : barrel.transform;
        const D3DXVECTOR3 at(world._41, world._42, world._43);
        marks->AddParticle(at.x, at.y - 27.0f, at.z, 0, 1, 0, 0, 0, 1);
    }
}

void CCollisionManager::ShootProp(btRigidBody* body, const D3DXVECTOR3& direction, const D3DXVECTOR3& point)
{
    PropRecord& prop = *static_cast<PropRecord*>(body->getUserPointer());
    const std::string name = prop.name;
    CAchievementStats& stats = getAchievementStats();
    if (KnockProp(body, direction, point)) {
        ++stats.propsShot;
        return;
    }
    if (!IsBarrel(name))
        return;
    CEnemyManager* enemies = getEnemyManager();
    const bool scaffoldBarrel = name == "obj_barril_andamio01" || name == "obj_barril_andamio02";
    if (scaffoldBarrel && enemies->GetCurrentWave() != "wave_34")
        return;

    ++stats.barrelsBlown;
    const float radius = prop.blastRadius;
    BarrelBlast(prop, point);
    CParticleManager& particles = getParticleManager();
    bool scaffoldNow = false;
    if (scaffoldBarrel && !scaffoldExploded) {
        scaffoldExploded = true;
        scaffoldNow = true;
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, -30), 0.2f);
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, -50), 0.4f);
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, 50), 0.4f);
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, 30), 0.2f);
        getRigid()->play("andamio", false);
        // The pieces fly and the sequencer counts toward the boss's escape.
        getRigid()->dockersEscapeStage = 1;
        getGSF().setIslaMarkerAndamio();
        enemies->OnScaffoldExplosion();
        getPlayer()->storeForCHECKPOINT();
    } else {
        Scorch(prop);
    }

    std::string chained;
    for (auto& entry : currentProps) {
        PropRecord& other = entry.second;
        const D3DXVECTOR3 at(other.transform._41, other.transform._42, other.transform._43);
        if (!(std::fabs(ManhattanDistanceXZ(at, point)) < radius))
            continue;
        if (StartsWith(other.name, "obj_barril_andamio0"))
            continue;
        if (HasFamilyWord(other.name, "_barril_") && other.name != name) {
            Scorch(other);
            chained = other.name;
        } else {
            other.blastFlag = true;
        }
    }
    // Keyed on this call: a barrel hit before the sequencer moves on must
    // still go, or it would blow up again at every hit.
    if (scaffoldNow) {
        RemovePropBody("obj_barril_andamio01");
        RemovePropBody("obj_barril_andamio02");
    } else {
        if (!chained.empty())
            RemovePropBody(chained);
        RemovePropBody(name);
    }
}
