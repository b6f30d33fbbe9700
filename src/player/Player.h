// The hero. Built on first use by getPlayer and alive until the program ends.
#pragma once

#include <cstdint>
#include <vector>

#include "player/Human.h"

// Told once per frame that the hero has moved.
class IPlayerObserver {
public:
    virtual ~IPlayerObserver() = default;
    virtual void OnPlayerMoved() = 0;
};

class ISubject {
public:
    virtual ~ISubject() = default;
    virtual void Attach(IPlayerObserver* observer) = 0;
    virtual void Detach(IPlayerObserver* observer) = 0;
    virtual void Notify() = 0;
};

class CPlayer : public IHuman, public ISubject {
public:
    // Life and top life 350, step 200, turn 8, aimed step 100; weapons and
    // selector come with Init.
    CPlayer();
    ~CPlayer() override;

    // Builds the body, the weapons and the controller selector (the free
    // controller current) and turns the hero to face +X; nothing is kept for
    // a checkpoint yet. Once, while loading.
    void Init();
    // Lets the body, the weapons and the selector go: the hero as before Init,
    // one still loading whom the enemies neither see fighting nor dead.
    void Release();
    // A new pistol, Thompson gun and shotgun; the pistol is current and the
    // other two are not owned.
    void CreateWeapons();

    // The body's animation, its root motion where the pose moves him, the
    // current weapon, the current controller, then the observers.
    void Update(float seconds) override;
    void reduceLife(std::uint16_t n) override;
    short getLife() const { return m_Life; }

    // Keeps the clip and reserve of the pistol and of the owned Thompson and
    // shotgun, for RestoreCheckpoint after a restart; a weapon not owned
    // keeps what was kept for it before.
    void storeForCHECKPOINT();
    // Gives back what storeForCHECKPOINT kept, never less than a fresh clip
    // and a little reserve; gives back stored weapons, never takes one away.
    void RestoreCheckpoint();
    // Applies a hit at once; (x, y, z) is where the shot came from. During a
    // camera flight only a fight can hurt him.
    void TakeHit(std::uint16_t damage, bool melee, float x, float y, float z);

    void Attach(IPlayerObserver* observer) override { m_Observers.push_back(observer); }
    void Detach(IPlayerObserver* observer) override {}
    void Notify() override;

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
    void ForgetEntity();
    void ApplyRootMotion();

    std::vector<IPlayerObserver*> m_Observers;

    // Pistol clip and ammo, Thompson owned, clip and ammo, shotgun owned,
    // clip and ammo.
    std::uint16_t m_Checkpoint[8] = {};
};

// The ground step of an animation's root travel (x to the model's side, z
// ahead) for a body facing yaw; the height is dropped.
D3DXVECTOR3 GroundStep(float yaw, const float travel[3]);

// The one hero; never null.
CPlayer* getPlayer();
