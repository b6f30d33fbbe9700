#include "enemies/Enemy.h"

// An enemy's hits, deaths and what he leaves behind: the life he loses, the
// fall that fits where and with what he was hit, and the weapon he drops.

#include <algorithm>
#include <cmath>

#include "enemies/EnemyManager.h"
#include "enemies/EnemySenses.h"
#include "enemies/EnemyStateHelpers.h"
#include "gui/Achievements.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "player/WeaponPickups.h"
#include "render/TextureManager.h"
#include "scene/CharacterEntity.h"
#include "scene/ParticleManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

void CIAEnemyCover::Hold(float seconds, bool hitReaction)
{
    m_Hold = true;
    m_HoldTimer = seconds;
    m_HitReaction = hitReaction;
}

void CIAEnemyCover::RemoveBody()
{
    getCollisionManager().RemoveEnemyBody(m_Owner->GetName());
}

DroppedWeapon DroppedWeaponFor(const std::string& weaponName, const std::string& enemyName, std::uint16_t clip)
{
    std::string word;
    if (weaponName == "GUN")
        word = "gun";
    else if (weaponName == "THOMPSON")
        word = "thompson";
    else if (weaponName == "SHOTGUN")
        word = "shotgun";
    DroppedWeapon dropped;
    dropped.name = "obj_" + word + "_" + enemyName;
    // An enemy shot dry still leaves something worth picking up.
    dropped.ammo = static_cast<std::uint16_t>(2 * std::max<std::uint16_t>(clip, 2));
    return dropped;
}

void CIAEnemyCover::DropWeapon()
{
    IWeapon* weapon = m_Owner->GetWeapon();
    const DroppedWeapon dropped =
        DroppedWeaponFor(weapon ? weapon->GetName() : std::string(), m_Owner->GetName(),
                         weapon ? weapon->GetCurrentClip() : 0);
    const D3DXVECTOR3 at = m_Owner->GetPosition().GetPosition() + D3DXVECTOR3(0.0f, 40.0f, 0.0f);
    getWeaponPickups().AddPickup(dropped.name, dropped.ammo, at.x, at.y, at.z);
}

void CIAEnemyCover::OnHit(std::uint16_t damage, std::string zone, D3DXVECTOR3 point)
{
    CAchievementStats& stats = getAchievementStats();
    if (m_DieWithoutAnimation && zone == "ba") {
        ++stats.blastHits;
        return;
    }
    // Dockers never bleed: the hit only sends them to duck for good.
    if (NameAt(m_Owner->GetName(), 4) == 'D') {
        m_Owner->RemoveMarker();
        m_DockerHit = true;
        m_Owner->SetLife(10);
        return;
    }
    getEnemyManager()->AlarmEnemiesNearPlayer();
    m_ShotCounter = 0;
    m_ShotTimer = 0.0f;
    m_Owner->reduceLife(damage);
    CCharacterEntity* entity = m_Owner->GetEntity();
    if (m_Talking) {
        m_Talking = false;
        getSoundManager().StopOneShot();
    }
    if (m_ScriptAnimation) {
        m_ScriptAnimation = false;
        if (entity)
            entity->RemoveAction();
    }
    if (m_Owner->GetLife() <= 0) {
        if (zone == "ba")
            ++stats.blastHits;
        m_LastHitZone = zone;
        m_LastHitPoint = point;
        Die(damage == 300);
        return;
    }

    IEnemySenses& senses = getEnemySenses();
    const bool repeat = m_HitReaction && zone == m_LastHitZone;
    if (!repeat && !m_InCover) {
        if (entity)
            entity->RemoveAction();
        m_HitReaction = true;
        const char* action = nullptr;
        if (zone == "la")
            action = "armleft";
        else if (zone == "ra")
            action = "armright";
        else if (zone == "ll")
            action = "legleft";
        else if (zone == "rl")
            action = "legright";
        else if (zone == "bo") {
            // Facing the same way as the hero: he was shot in the back.
            const float turn = AngleDifference(m_Owner->GetPosition().GetYaw(), senses.HeroPlacement().GetYaw());
            action = std::fabs(turn) < D3DX_PI / 2.0f ? "torax2" : "torax1";
        }
        if (action) {
            m_Reaction = action;
            const float length = entity ? entity->ExecuteAction(action, 0.0f, 0.5f, 1.0f, false) : 0.0f;
            Hold(length, true);
        }
        m_LastHitZone = zone;
    }

    if (m_FightingPartner) {
        m_RollCounter += 1;
    } else {
        m_RollCounter += senses.HeroWeaponName() == "THOMPSON" ? 5 : 1;
        getSoundManager().PlayShotScream(false, m_Distance);
    }
    m_Regenerating = false;
    m_RegenClock = 0.0f;
    m_HitThisFrame = true;
}

void CIAEnemyCover::PlayDeath(const char* action, const char* cycle)
{
    m_DeathAnimation = action;
    m_DeathCycle = cycle;
    if (CCharacterEntity* entity = m_Owner->GetEntity()) {
        m_HoldTimer = entity->ExecuteAction(action, 0.1f, 0.1f, 1.0f, false);
        entity->BlendCycle(cycle, 1.0f, 0.1f);
    }
}

void CIAEnemyCover::Die(bool withoutAnimation)
{
    if (m_Owner->GetLife() > 0)
        m_Owner->SetLife(0);
    m_Dying = true;
    m_SavedState = m_State;
    const std::uint16_t before = m_State;
    m_State = DEAD;
    m_Owner->RemoveMarker();
    // The plane's pilot goes down with the plane's own animation.
    if (m_Owner->GetName() == "ene_Avioneta") {
        m_Destroyed = true;
        return;
    }
    m_Regenerating = false;
    FreeParapet();
    m_FightingPartner = false;
    if (withoutAnimation) {
        DropWeapon();
        m_Destroyed = true;
        return;
    }
    CSoundManager& sound = getSoundManager();
    if (getEnemyManager()->IsAnyNonDockerAlive())
        sound.PlayEnemyDeathLine();
    sound.PlayEnemyDeathScream(false, m_Distance);

    CCharacterEntity* entity = m_Owner->GetEntity();
    if (entity) {
        entity->ClearAllCycles(0.1f);
        entity->RemoveAction();
    }
    m_HitReaction = true;

    CLocation& placement = m_Owner->GetPosition();
    const bool shotgun = getEnemySenses().HeroWeaponName() == "SHOTGUN";
    const bool fromCover = m_InCover || before == SHOOTING_FROM_COVER;
    if (m_DieWithoutAnimation) {
        placement.SetYaw(m_CoverYaw);
        PlayDeath("death_jump", "death_jump_idle");
        return;
    }
    if (m_LastHitZone == "h") {
        if (crt::rand() % 10 < 5)
            PlayDeath("headdead", "headdeadIdle");
        else
            PlayDeath("vuelta", "vueltaIdle");
        return;
    }
    const float a = placement.AngleTo(m_LastHitPoint);
    const bool blast = m_LastHitZone == "ba";
    if (blast && std::fabs(a) < D3DX_PI / 2.0f && fromCover) {
        PlayDeath("vuelta", "vueltaIdle");
    } else if (!blast && std::fabs(a) > D3DX_PI / 2.0f && !shotgun) {
        PlayDeath("vuelta", "vueltaIdle");
    } else if (fromCover) {
        placement.SetYaw(m_CoverYaw);
        PlayDeath("death_jump", "death_jump_idle");
    } else {
        placement.AddYaw(a);
        const int r = crt::rand();
        if (blast || shotgun) {
            if (r % 10 < 5)
                PlayDeath("death_jump", "death_jump_idle");
            else
                PlayDeath("death_grave", "death_graveIdle00");
        } else if (r % 15 < 5) {
            PlayDeath("death_knees", "death_knees_idle");
        } else if (r % 15 < 10) {
            PlayDeath("death_jump", "death_jump_idle");
        } else {
            PlayDeath("death_grave", "death_graveIdle00");
        }
    }
}

void CEnemy::reduceLife(std::uint16_t amount)
{
    // Worked in int: in 16 bits a hit larger than the life (a point-blank
    // head shot comes as 65535) would wrap round and give a life back.
    const int left = static_cast<int>(m_Life) - static_cast<int>(amount);
    if (left < 1) {
        m_Life = 0;
        return;
    }
    m_Life = static_cast<short>(left);
    if (m_BloodApplied)
        return;
    m_BloodApplied = true;
    const char* skin = m_WhiteSkin ? "enemy/enemy2_uv_blood.tga"
                       : m_DockWorkerSkin ? "enemy/portuario_sangre.tga"
                                          : "enemy/enemy_uv_blood.tga";
    if (m_Entity)
        m_Entity->SetTexture(0, getTextureManager().GetTexture(skin));
}
