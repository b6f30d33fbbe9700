// The weapons: the hero's pistol, Thompson gun and shotgun, and the enemies'
// copies. Each reads its settings from its own XML file.
#pragma once

#include <cstdint>
#include <string>

#include "scene/Location.h"
#include "scene/RigidEntity.h"
#include "xml/XMLParser.h"

class IWeapon : public CXMLParser {
public:
    IWeapon() = default;
    ~IWeapon() override = default;

    // Reads the "PROPERTIES" element; a value out of range refuses the whole
    // element (one line names the file and the value) and the defaults stay.
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
    // The settings of the file, or the defaults for what it lacks; the name
    // is the weapon's own until the file gives one.
    void ReadSettings(const std::string& file, const std::string& name);

    // "GUN", "SHOTGUN" or "THOMPSON".
    std::string GetName() const { return m_Name; }
    float GetRatioOfShot() const { return m_RatioOfShot; }
    float GetRatioOfShotInChase() const { return m_RatioOfShotInChase; }
    std::uint16_t GetMaxAmmo() const { return m_MaxAmmo; }
    std::uint16_t GetClipSize() const { return m_ClipSize; }
    std::uint16_t GetDamage() const { return m_Damage; }
    float GetCadence() const { return m_Cadence; }
    // Rounds in the magazine and in reserve.
    std::uint16_t GetCurrentClip() const { return m_Clip; }
    std::uint16_t GetAmmo() const { return m_Ammo; }
    // The reserve is capped at the weapon's maximum.
    void SetClipAndAmmo(std::uint16_t clip, std::uint16_t ammo);

    // The magazine is not full and there is something to put in it.
    bool CanReload() const { return m_Clip < m_ClipSize && m_Ammo > 0; }
    // The magazine is empty and there is something to put in it.
    bool NeedsReload() const { return m_Clip == 0 && m_Ammo > 0; }

    // The empty flag follows the counts; the cadence clock runs; a hero's
    // weapon stops the pad's rumble once it has run its time.
    virtual void Update(float seconds);
    // Fills the clip from the reserve; a clip at or above its size counts as full.
    void Reload();
    // The hero's shot; true when a projectile left. An empty weapon clicks.
    bool FirePlayerShot();
    // An enemy's shot and an enemy's Thompson burst shot; the shot starts
    // from the weapon, not from the shooter's placement. Enemies fire on the
    // cadence alone, an empty clip too (the reserve stays at 200).
    virtual bool FireEnemyShot(CLocation shooter, int spread);
    virtual bool FireThompsonShot(CLocation shooter, int spread, int burstStep);

    // The model, drawn in the holder's hand; its placement is the muzzle.
    CRigidEntity& GetModel() { return m_Model; }
    // Puts the model at a hand: the bone's matrix in the holder's model
    // space, and the holder's placement.
    void PlaceInHand(const D3DXMATRIX& bone, const CLocation& holder);

    bool IsEmpty() const { return m_Empty; }
    bool IsVibrating() const { return m_Vibrating; }
    float GetTimeSinceLastShot() const { return m_TimeSinceLastShot; }

    // The hero's three weapons carry this.
    bool playerOwned = false;

    float GetBulletVelocity() const { return m_BulletVelocity; }
    float GetMaxVibrateTime() const { return m_MaxVibrateTime; }

protected:
    void TakeEnemyRound();
    // The mesh and the two texture sets (diffuse, light map, normal map of
    // the body, then of the second part).
    void LoadModel(const char* mesh, const char* const textures[6]);

    CRigidEntity m_Model;
    float m_VibrationTimer = 0.0f;
    float m_TimeSinceLastShot = 5.0f;
    bool m_Vibrating = false;
    bool m_Empty = false;
    std::string m_File;
    std::string m_Name;
    std::uint16_t m_Clip = 6;
    std::uint16_t m_Ammo = 100;
    std::uint16_t m_MaxAmmo = 156;
    std::uint16_t m_ClipSize = 6;
    std::uint16_t m_Damage = 15;
    float m_Cadence = 1.0f;
    float m_RatioOfShot = 800.0f;
    float m_RatioOfShotInChase = 700.0f;
    float m_IdealRatioOfShot = 800.0f;
    float m_BulletVelocity = 15.0f;
    float m_MaxVibrateTime = 0.2f;
};

class CGun : public IWeapon {
public:
    CGun();
};

class CShotgun : public IWeapon {
public:
    CShotgun();
};

class CThompson : public IWeapon {
public:
    CThompson();
};
