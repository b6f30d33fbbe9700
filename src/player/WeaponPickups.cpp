#include "player/WeaponPickups.h"

void CWeaponPickups::AddPickup(std::string name, std::uint16_t ammo, float x, float y, float z)
{
    // Placeholder until the weapon pickups are built.
}

void CWeaponPickups::RemovePickup(std::string name)
{
    // Placeholder until the weapon pickups are built.
}

void CWeaponPickups::Update(float seconds)
{
    // Placeholder until the weapon pickups are built.
}

void CWeaponPickups::Render()
{
    // Placeholder until the weapon pickups are built.
}

CWeaponPickups& getWeaponPickups()
{
    static CWeaponPickups pickups;
    return pickups;
}
