#include "player/ProjectileManager.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "math/VectorMath.h"
#include "platform/crt.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "render/DrawHelper.h"
#include "render/FrameShortcuts.h"
#include "render/VisiblePart.h"
#include "render/TextureManager.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"

namespace {

constexpr float kHalfPi = 1.5707964f;
// A tracer's two crossed quads: how far they reach from their centre each
// way, and how far ahead of the bullet they are centred.
constexpr float kTracerReach = 50.0f;
constexpr float kTracerAhead = 150.0f;
// A streak's width as a share of its distance from the eye where it passes
// nearest: a line of two or three pixels across an 800 x 600 frame wherever
// it flies. As wide as its texture's quads, one flying past the camera
// covered a quarter of the view.
constexpr float kTracerWidthPerUnit = 0.004f;

// The resolutions write a point only when their ray hits something: start
// from a value no hit can leave behind.
struct HitPoint {
    float xyz[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    void ApplyTo(Projectile& p) const
    {
        if (xyz[0] == FLT_MAX)
            return;
        p.target = D3DXVECTOR3(xyz[0], xyz[1], xyz[2]);
        p.hasTarget = true;
    }
};

D3DXVECTOR3 HeroPosition()
{
    return getPlayer()->GetPosition().GetPosition();
}

void Aim(CLocation& t, const D3DXVECTOR3& direction)
{
    t.SetYaw(YawFromDirection(direction));
    t.SetPitch(-PitchFromDirection(direction));
}

// The hero's bullets fly along lines from the camera, his streaks from his
// gun: each streak goes from the muzzle to where its bullet struck, so that
// it ends on what the shot hit. One that struck nothing, or struck between
// the camera and the muzzle, goes toward the far point of its line instead.
void AimAtStrike(Projectile& p, const D3DXVECTOR3& muzzle, const D3DXVECTOR3& far, const D3DXVECTOR3& view)
{
    const bool ahead = p.hasTarget && DotProduct(p.target - muzzle, view) > 0.0f;
    Aim(p.transform, (ahead ? p.target : far) - muzzle);
}

// Muzzle flash place and shot sound by weapon, as seen from the shooter.
struct FlashPlace {
    float offset, distance, height;
};

} // namespace

void CProjectileManager::Reset()
{
    m_Erase.clear();
    m_Live.clear();
    // Textures are loaded again with the level: read the strip again too.
    m_TracerTexture = nullptr;
}

void CProjectileManager::Update(float dt)
{
    for (std::size_t i = 0; i < m_Live.size(); ++i) {
        Projectile& p = m_Live[i];
        if (!p.active) {
            m_Erase.push_back(i);
            continue;
        }
        const D3DXVECTOR3& at = p.transform.GetPosition();
        const bool arrived = p.hasTarget && std::fabs(p.target.x - at.x) < 90.0f &&
                             std::fabs(p.target.y - at.y) < 30.0f && std::fabs(p.target.z - at.z) < 90.0f;
        if (p.age >= m_Lifetime || arrived) {
            p.active = false;
            continue;
        }
        p.transform.MoveForward(p.speed);
        p.age += dt;
    }
    // From the last: the noted places of the earlier ones stay valid.
    for (auto i = m_Erase.rbegin(); i != m_Erase.rend(); ++i)
        m_Live.erase(m_Live.begin() + static_cast<std::ptrdiff_t>(*i));
    m_Erase.clear();
}

void CProjectileManager::Render(float)
{
    for (const Projectile& p : m_Live)
        DrawTracer(p);
}

bool CProjectileManager::TracerPlace(const Projectile& p, const D3DXVECTOR3& eye, float* ahead, float* width)
{
    const D3DXVECTOR3& at = p.transform.GetPosition();
    // The streak runs ahead of the bullet but ends where the bullet strikes:
    // an enemy's shot at the hero from nearer than its reach laid it beyond
    // him, across the camera behind him, where it filled the view and the
    // bloom blew it up into a glow over half the screen.
    *ahead = kTracerAhead;
    if (p.hasTarget) {
        const D3DXVECTOR3 left = p.target - at;
        *ahead = std::min(*ahead, std::max(0.0f, D3DXVec3Length(&left) - kTracerReach));
    }
    // Nor is a streak drawn that passes the eye itself (a shot that missed
    // the hero flies on toward the camera behind him): it too would stand
    // across the whole view.
    const D3DXVECTOR3 heading = DirectionFromYawPitch(p.transform.GetYaw(), p.transform.GetPitch());
    const D3DXVECTOR3 fromCentre = eye - (at + heading * *ahead);
    const float along = std::max(-kTracerReach, std::min(kTracerReach, DotProduct(fromCentre, heading)));
    const float nearest = VectorLength(fromCentre - heading * along);
    if (width)
        *width = nearest * kTracerWidthPerUnit;
    return nearest >= kTracerReach;
}

void CProjectileManager::DrawTracer(const Projectile& p)
{
    float ahead = 0.0f, width = 0.0f;
    if (!TracerPlace(p, getCamera().GetPosition(), &ahead, &width))
        return;
    IDirect3DTexture9* texture = getTextureManager().GetTexture("traza.tga");
    // The streak is a narrow strip down the middle of its texture, fading
    // at its ends: the clear sides, and the ends too faint for the alpha
    // test, would cost the renderer as much as the streak itself.
    if (texture != m_TracerTexture) {
        m_TracerTexture = texture;
        m_TracerPart = VisiblePart(texture, CDrawHelper::kWorldQuadAlphaRef);
    }
    const TexturePart part = ShortcutOn(Shortcut::FittedTracers) ? m_TracerPart : TexturePart();
    // Squeezed across so that the strip is the streak's width.
    const float strip = 2.0f * kTracerReach * std::max(m_TracerPart.u1 - m_TracerPart.u0, 1.0f / 64.0f);
    const D3DXVECTOR3& at = p.transform.GetPosition();
    D3DXMATRIX s, r, f, t, x, z;
    D3DXMatrixScaling(&s, width / strip, 1.0f, 1.0f);
    D3DXMatrixRotationYawPitchRoll(&r, p.transform.GetYaw(), p.transform.GetPitch(), 0.0f);
    D3DXMatrixTranslation(&f, 0.0f, 0.0f, ahead);
    D3DXMatrixTranslation(&t, at.x, at.y, at.z);
    D3DXMatrixRotationX(&x, kHalfPi);
    D3DXMatrixRotationZ(&z, kHalfPi);
    getDrawHelper().DrawWorldQuad(texture, s * x * f * r * t, kTracerReach, part);
    getDrawHelper().DrawWorldQuad(texture, s * x * z * f * r * t, kTracerReach, part);
}

CLocation CProjectileManager::ApplySpread(CLocation t, std::uint16_t spread)
{
    if (spread == 0)
        return t;
    float a = static_cast<float>(crt::rand() % spread) / 100.0f;
    float b = static_cast<float>(crt::rand() % spread) / 100.0f;
    if (crt::rand() % 10 < 5)
        a = -a;
    t.AddYaw(a);
    if (crt::rand() % 10 >= 5)
        b = -b;
    t.AddPitch(b);
    return t;
}

void CProjectileManager::FireShotgunPellets(const CLocation& muzzle, float velocity, std::uint16_t shooterFlag,
                                            std::uint16_t damage)
{
    m_Pellets.clear();
    const D3DXVECTOR3 direction = shooterFlag == 0 ? getCamera().GetViewDirection()
                                                   : HeroPosition() - muzzle.GetPosition();
    for (int i = 2; i <= 9; ++i) {
        Projectile pellet;
        pellet.speed = velocity;
        pellet.shooter = shooterFlag;
        pellet.weapon = "SHOTGUN";
        pellet.damage = damage;
        pellet.transform = muzzle;
        Aim(pellet.transform, direction);
        pellet.transform.AddYaw(0.07f * std::sin(0.7681317403912544f * static_cast<float>(i)));
        pellet.transform.AddPitch(0.07f * std::cos(0.8481317460536957f * static_cast<float>(i)));
        m_Pellets.push_back(pellet);
    }
}

void CProjectileManager::FireShot(CLocation muzzle, float velocity, std::uint16_t shooterFlag, bool aiming,
                                  std::string weapon, std::uint16_t damage, std::uint16_t spread)
{
    CCollisionManager& physics = getCollisionManager();
    Projectile record;
    record.shooter = shooterFlag;
    record.weapon = weapon;
    record.damage = damage;
    const bool hero = shooterFlag == 0;
    CLocation shot = muzzle;

    if (hero) {
        HitPoint hit;
        physics.ResolvePlayerShot(nullptr, hit.xyz);
        hit.ApplyTo(record);
        record.transform = muzzle;
        const CCamera& camera = getCamera();
        const D3DXVECTOR3 view = NormalizeVector(camera.GetViewDirection());
        AimAtStrike(record, muzzle.GetPosition(), camera.GetPosition() + 1000.0f * view, view);
        if (weapon == "SHOTGUN") {
            FireShotgunPellets(muzzle, velocity, 0, damage);
            for (Projectile& pellet : m_Pellets) {
                HitPoint pelletHit;
                physics.ResolvePlayerShot(&pellet.transform, pelletHit.xyz);
                pelletHit.ApplyTo(pellet);
                const D3DXVECTOR3 way = YawPitchVector(pellet.transform.GetYaw(), pellet.transform.GetPitch());
                AimAtStrike(pellet, muzzle.GetPosition(), camera.GetLookAt() + 1000.0f * way, view);
                m_Live.push_back(pellet);
            }
        } else {
            // The Thompson's jitter is only seen: its hit was settled above.
            if (weapon == "THOMPSON")
                record.transform = ApplySpread(record.transform, 5);
            m_Live.push_back(record);
        }
    } else {
        shot.SetYaw(YawFromDirection(HeroPosition() - shot.GetPosition()));
        const CControllerSelector* selector = getPlayer()->GetControllerSelector();
        const float height = selector && selector->IsInCoverPose() ? 40.0f : 75.0f;
        shot.SetPitch(-PitchFromDirection(HeroPosition() + D3DXVECTOR3(0.0f, height, 0.0f) - shot.GetPosition()));
        shot = ApplySpread(shot, spread);
        HitPoint hit;
        physics.ResolveEnemyShot(&shot, damage, hit.xyz);
        hit.ApplyTo(record);
        record.transform = shot;
        m_Live.push_back(record);
        if (weapon == "SHOTGUN") {
            // The pellets only show where they strike: the central ray dealt
            // the damage, and the hero's resolution (which aims from the
            // camera) would have them hit what stands behind him.
            FireShotgunPellets(shot, velocity, 1, damage);
            for (Projectile& pellet : m_Pellets) {
                D3DXVECTOR3 strike;
                bool marks = false;
                const D3DXVECTOR3 way = YawPitchVector(pellet.transform.GetYaw(), pellet.transform.GetPitch());
                if (physics.PelletStrike(pellet.transform.GetPosition(), way, &strike, &marks)) {
                    pellet.target = strike;
                    pellet.hasTarget = true;
                    if (marks)
                        getParticleManager().SpawnWallSparks(strike);
                }
                m_Live.push_back(pellet);
            }
        }
    }

    const CLocation& from = hero ? muzzle : shot;
    const float distance = hero ? 0.0f : ManhattanDistanceXZ(shot.GetPosition(), HeroPosition());
    const float base = hero ? getPlayer()->GetPosition().GetYaw() : shot.GetYaw();
    FlashPlace place;
    CSoundManager& sound = getSoundManager();
    if (weapon == "SHOTGUN") {
        place = hero ? FlashPlace{-0.27925268f, 15.0f, 15.0f} : FlashPlace{0.034906585f, 32.0f, 6.0f};
        sound.PlayShotgunShot(hero, aiming, distance);
    } else if (weapon == "THOMPSON") {
        place = hero ? FlashPlace{-0.5235988f, 25.0f, 10.0f} : FlashPlace{-0.05235988f, 30.0f, 5.0f};
        sound.PlayThompsonShot(hero, aiming, distance);
    } else if (weapon == "GUN") {
        place = hero ? FlashPlace{-0.41887903f, 10.0f, 4.0f} : FlashPlace{-0.34906584f, 18.0f, 4.0f};
        if (hero)
            sound.PlayPistolShot(aiming);
        else
            sound.PlayEnemyGunShot(distance);
    } else {
        return;
    }
    const D3DXVECTOR3 flash = from.GetPosition() + place.distance * DirectionFromYaw(base + place.offset) +
                              D3DXVECTOR3(0.0f, place.height, 0.0f);
    getParticleManager().SpawnShot(flash.x, flash.y, flash.z);
}

void CProjectileManager::FireThompson(CLocation muzzle, std::uint16_t shooterFlag, std::string weapon,
                                      std::uint16_t spread, std::uint16_t burstStep)
{
    Projectile record;
    record.shooter = shooterFlag;
    record.weapon = weapon;
    record.damage = 1;
    CLocation t = muzzle;
    t.SetYaw(YawFromDirection(HeroPosition() - t.GetPosition()));
    if (spread > 0) {
        t = ApplySpread(t, spread);
    } else {
        const D3DXVECTOR3 q =
            HeroPosition() + D3DXVECTOR3(0.0f, (20.0f - static_cast<float>(burstStep)) * 18.0f, 0.0f);
        t.SetPitch(PitchFromDirection(q - t.GetPosition()));
    }
    HitPoint hit;
    getCollisionManager().ResolveEnemyShot(&t, 5, hit.xyz);
    hit.ApplyTo(record);
    record.transform = t;
    m_Live.push_back(record);
    const D3DXVECTOR3 flash =
        t.GetPosition() + 25.0f * DirectionFromYaw(t.GetYaw() - 0.5235988f) + D3DXVECTOR3(0.0f, 10.0f, 0.0f);
    getParticleManager().SpawnShot(flash.x, flash.y, flash.z);
    getSoundManager().PlayAvionetaShot();
}

CProjectileManager& getProjectileManager()
{
    static CProjectileManager manager;
    return manager;
}
