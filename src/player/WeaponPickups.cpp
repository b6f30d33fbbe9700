#include "player/WeaponPickups.h"

#include <algorithm>
#include <cmath>

#include "gui/Subtitles.h"
#include "math/VectorMath.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "render/EffectManager.h"
#include "render/TextureManager.h"
#include "scene/CharacterEntity.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "sound/SoundManager.h"

namespace {

constexpr float kGlowHeight = 20.0f;
constexpr float kReach = 85.0f;
constexpr float kDegreesPerSecond = 90.0f;
constexpr float kRadiansPerDegree = 0.017453292f;
constexpr int kRunningState = 31;

bool WordAtThree(const std::string& name, const char* word)
{
    const std::string text(word);
    return name.size() >= 3 + text.size() && name.compare(3, text.size(), text) == 0;
}

bool Full(const IWeapon* weapon)
{
    return !weapon || weapon->GetCurrentClip() + weapon->GetAmmo() >= weapon->GetMaxAmmo();
}

// What walking over the pickup would give the hero now: a weapon he does not
// carry, or rounds he has room for.
bool WouldTake(CPlayer* hero, const IWeapon& lying)
{
    const std::string kind = lying.GetName();
    if (kind == "GUN")
        return !Full(hero->GetGun());
    if (kind == "THOMPSON")
        return !hero->HasThompson() || !Full(hero->GetThompson());
    if (kind == "SHOTGUN")
        return !hero->HasShotgun() || !Full(hero->GetShotgun());
    return false;
}

// Tops the weapon up by the pickup's rounds; false when it is already full.
bool GiveAmmunition(IWeapon* weapon, float ammo)
{
    if (Full(weapon))
        return false;
    const long rounds = std::lround(std::fmax(0.0f, ammo));
    const long reserve = std::min<long>(65535, weapon->GetAmmo() + rounds);
    weapon->SetClipAndAmmo(weapon->GetCurrentClip(), static_cast<std::uint16_t>(reserve));
    return true;
}

// A weapon he did not carry goes into his hands; running, his legs change
// to the run of that weapon at once.
void TakeNewWeapon(CPlayer* hero, IWeapon* weapon, const char* run, const char* sound, const char* subtitle)
{
    IController* controller = hero->GetController();
    CCharacterEntity* body = hero->GetEntity();
    if (controller && body && controller->GetStateCode() == kRunningState) {
        body->RemoveAction();
        body->ClearAllCycles(0.0f);
        body->BlendCycle(run, 1.0f, 0.0f);
    }
    hero->SetCurrentWeapon(weapon);
    getSoundManager().PlayAimingEnter();
    getSoundManager().playThisSampleOnce(sound, 1.0f);
    getSubtitulos().showSubtitulo(subtitle);
}

} // namespace

void CWeaponPickups::AddPickup(std::string name, std::uint16_t ammo, float x, float y, float z)
{
    WeaponPickup pickup;
    if (WordAtThree(name, "_thompson_")) {
        pickup.weapon = std::make_unique<CThompson>();
        pickup.hint = "aviso_thompson";
    } else if (WordAtThree(name, "_gun_")) {
        pickup.weapon = std::make_unique<CGun>();
        pickup.hint = "aviso_gun";
    } else if (WordAtThree(name, "_shotgun_")) {
        pickup.weapon = std::make_unique<CShotgun>();
        pickup.hint = "aviso_shotgun";
    } else {
        // A weapon nobody can take would only spin there for ever.
        OutputDebugStringA(("pickup " + name + " names no weapon: left out\n").c_str());
        return;
    }
    pickup.ammo = ammo;

    CRigidEntity& model = pickup.weapon->GetModel();
    IDirect3DTexture9* light = getTextureManager().GetTexture("blanco_armas.dds");
    for (std::size_t slot : {std::size_t{1}, std::size_t{4}})
        if (slot < model.GetTextures().size())
            model.SetTexture(slot, light);
    model.SetRadius(200.0f);
    model.GetTransform().SetPosition(D3DXVECTOR3(x, y, z));

    // The old glow would otherwise stay over a pickup that is no longer there.
    RemovePickup(name);
    SetGlow(m_Pickups[name] = std::move(pickup), true);
}

void CWeaponPickups::SetGlow(WeaponPickup& pickup, bool on)
{
    if (pickup.glowing == on)
        return;
    const D3DXVECTOR3& p = pickup.weapon->GetModel().GetTransform().GetPosition();
    if (!on) {
        getParticleManager().RemoveEmitterAt(p.x, p.y + kGlowHeight, p.z);
    } else if (const ParticleSystemType* type = getParticleTypes().FindSystemType(pickup.hint)) {
        getParticleManager().CreateEmitter(type, p.x, p.y + kGlowHeight, p.z, 0.0f, 0.0f, 0.0f);
    } else {
        return;
    }
    pickup.glowing = on;
}

void CWeaponPickups::RemovePickup(std::string name)
{
    auto found = m_Pickups.find(name);
    if (found == m_Pickups.end())
        return;
    SetGlow(found->second, false);
    m_Pickups.erase(found);
}

void CWeaponPickups::Clear()
{
    while (!m_Pickups.empty())
        RemovePickup(m_Pickups.begin()->first);
}

std::string CWeaponPickups::pickUpWeapon(const std::string& name)
{
    auto found = m_Pickups.find(name);
    CPlayer* hero = getPlayer();
    if (found == m_Pickups.end() || !hero->GetGun())
        return "none";
    WeaponPickup& pickup = found->second;
    if (!IsWithinManhattanDistance(kReach, hero->GetPosition().GetPosition(),
                                   pickup.weapon->GetModel().GetTransform().GetPosition()))
        return "none";

    const std::string kind = pickup.weapon->GetName();
    if (kind == "GUN") {
        if (!GiveAmmunition(hero->GetGun(), pickup.ammo))
            return "none";
        getSoundManager().PlayAimingEnter();
        return name;
    }
    if (kind == "THOMPSON") {
        IWeapon* thompson = hero->GetThompson();
        const bool topped = GiveAmmunition(thompson, pickup.ammo);
        if (!hero->HasThompson()) {
            TakeNewWeapon(hero, thompson, "run_thompson", "data/sound/getThompson.wav", "getThompson");
            hero->SetHasThompson(true);
            return name;
        }
        if (topped)
            getSoundManager().PlayAimingEnter();
        return topped ? name : "none";
    }
    if (kind == "SHOTGUN") {
        IWeapon* shotgun = hero->GetShotgun();
        const bool topped = GiveAmmunition(shotgun, pickup.ammo);
        if (!hero->HasShotgun()) {
            TakeNewWeapon(hero, shotgun, "run_shotgun", "data/sound/getShotgun.wav", "getShotgun");
            hero->SetHasShotgun(true);
            return name;
        }
        if (topped)
            getSoundManager().PlayAimingEnter();
        return topped ? name : "none";
    }
    return "none";
}

void CWeaponPickups::Update(float seconds)
{
    std::string taken;
    for (auto& entry : m_Pickups) {
        WeaponPickup& pickup = entry.second;
        pickup.spin += seconds * kDegreesPerSecond * kRadiansPerDegree;
        CLocation& place = pickup.weapon->GetModel().GetTransform();
        D3DXMATRIX turn, move, world;
        D3DXMatrixRotationY(&turn, pickup.spin);
        const D3DXVECTOR3& p = place.GetPosition();
        D3DXMatrixTranslation(&move, p.x, p.y, p.z);
        D3DXMatrixMultiply(&world, &turn, &move);
        place.SetMatrix(world);
        const std::string result = pickUpWeapon(entry.first);
        if (result != "none") {
            taken = result;
            break;
        }
        if (CPlayer* hero = getPlayer(); hero->GetGun())
            SetGlow(pickup, WouldTake(hero, *pickup.weapon));
    }
    if (!taken.empty())
        RemovePickup(taken);
}

void CWeaponPickups::Render()
{
    for (auto& entry : m_Pickups)
        getEffectManager().RenderEntity(&entry.second.weapon->GetModel());
}

CWeaponPickups& getWeaponPickups()
{
    static CWeaponPickups pickups;
    return pickups;
}
