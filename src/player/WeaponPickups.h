// The weapons lying in the level, spinning until the hero picks one up, and
// glowing while he would.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "player/Weapon.h"

struct WeaponPickup {
    // The rounds the pickup gives.
    float ammo = 0.0f;
    // "aviso_gun", "aviso_thompson" or "aviso_shotgun": the glow's particle type.
    std::string hint;
    // The pickup's own weapon with its model; never the hero's.
    std::unique_ptr<IWeapon> weapon;
    // The model's yaw in radians.
    float spin = 0.0f;
    // Its glow is up: while the hero could take it, so that a weapon he
    // walks over and leaves (it would give him nothing) does not look like
    // one he missed.
    bool glowing = false;
};

class CWeaponPickups {
public:
    // The word at index 3 of the name picks the weapon ("obj_thompson_01");
    // a name with none of the three words is refused with a line. A pickup of
    // the same name is replaced, its glow with it.
    void AddPickup(std::string name, std::uint16_t ammo, float x, float y, float z);
    // Takes the glow away and forgets the pickup; nothing for an unknown name.
    void RemovePickup(std::string name);
    // Spins the weapons in name order and hands the hero the first he is
    // near enough to take: at most one a frame.
    void Update(float seconds);
    void Render();
    // The pickup test of one pickup: its name when the hero took it, else "none".
    std::string pickUpWeapon(const std::string& name);
    // Forgets every pickup with its glow.
    void Clear();

    const std::map<std::string, WeaponPickup>& GetPickups() const { return m_Pickups; }

private:
    void SetGlow(WeaponPickup& pickup, bool on);

    std::map<std::string, WeaponPickup> m_Pickups;
};

CWeaponPickups& getWeaponPickups();
