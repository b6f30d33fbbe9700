// The weapons lying in the level, spinning until the hero picks one up.
#pragma once

#include <cstdint>
#include <string>

class CWeaponPickups {
public:
    void AddPickup(std::string name, std::uint16_t ammo, float x, float y, float z);
    void RemovePickup(std::string name);
    // Spins the weapons and hands one to the hero who walks over it.
    void Update(float seconds);
    void Render();
};

CWeaponPickups& getWeaponPickups();
