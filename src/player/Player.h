// The hero. Built on first use by getPlayer and alive until the program ends.
#pragma once

#include <cstdint>

#include "player/Human.h"

class CCharacterEntity;

class CPlayer : public IHuman {
public:
    // Life and top life 350, step 200, turn 8, aimed step 100; weapons and
    // selector come with Init.
    CPlayer();
    ~CPlayer() override;

    // Builds the body, the weapons and the controller selector (the free
    // controller current) and turns the hero to face +X. Once, while loading.
    void Init();
    // A new pistol, Thompson gun and shotgun; the pistol is current and the
    // other two are not owned.
    void CreateWeapons();

    void Update(float seconds) override;
    // The animated body; null before Init or when the model is missing.
    CCharacterEntity* GetEntity() const { return m_Entity; }
    void reduceLife(std::uint16_t n) override;
    short getLife() const { return m_Life; }

    // Keeps the clip and reserve of the pistol and of the owned Thompson and
    // shotgun, for RestoreCheckpoint after a restart.
    void storeForCHECKPOINT();
    // Gives back what storeForCHECKPOINT kept: ammunition and owned weapons.
    void RestoreCheckpoint();
    // Applies a hit at once; (x, y, z) is where the shot came from.
    void TakeHit(std::uint16_t damage, bool melee, float x, float y, float z);

    // The camera's view yaw and the distance to the shooter at the last
    // bullet hit: the damage overlay points toward the shooter.
    float hitYaw = 0.0f;
    float hitDistance = 0.0f;
    // Set and tested by the level restart and the cut-scene sequencer.
    bool firstSequenceFlag = false;
    bool secondSequenceFlag = false;
    // The hangar explosion has moved the hero already.
    bool explosionRelocated = false;

private:
    void DeleteWeapons();

    CCharacterEntity* m_Entity = nullptr;

    // Pistol clip and ammo, Thompson owned, clip and ammo, shotgun owned,
    // clip and ammo.
    std::uint16_t m_Checkpoint[8] = {};
};

// The one hero; never null.
CPlayer* getPlayer();
