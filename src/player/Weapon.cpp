#include "player/Weapon.h"

void IWeapon::SetClipAndAmmo(std::uint16_t clip, std::uint16_t ammo)
{
    m_Clip = clip;
    m_Ammo = ammo > m_MaxAmmo ? m_MaxAmmo : ammo;
}

void IWeapon::Update(float seconds)
{
    // Placeholder until the weapons are built.
}

void IWeapon::Reload()
{
    // Placeholder until the weapons are built.
}

bool IWeapon::FirePlayerShot()
{
    // Placeholder until the weapons are built.
    return false;
}

bool IWeapon::FireEnemyShot(CLocation shooter, int spread)
{
    // Placeholder until the weapons are built.
    return false;
}

bool IWeapon::FireThompsonShot(CLocation shooter, int spread, int burstStep)
{
    // Placeholder until the weapons are built.
    return false;
}

CGun::CGun()
{
    // Placeholder until the weapons are built: "data/XML/gun.xml" is not read.
    m_Name = "GUN";
}

CShotgun::CShotgun()
{
    // Placeholder until the weapons are built: "data/XML/shotgun.xml" is not read.
    m_Name = "SHOTGUN";
}

CThompson::CThompson()
{
    // Placeholder until the weapons are built: "data/XML/thompson.xml" is not read.
    m_Name = "THOMPSON";
}
