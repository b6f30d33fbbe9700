// The base of every character, the hero and the enemies: the animated body
// with its placement, life, speeds, and - for the hero - the weapons and the
// controller selector that steers him.
#pragma once

#include <cstdint>

#include "scene/Location.h"

class CCharacterEntity;
class IController;
class CControllerSelector;
class IWeapon;
class CGun;
class CShotgun;
class CThompson;

class IHuman {
public:
    IHuman() = default;
    virtual ~IHuman() = default;
    IHuman(const IHuman&) = delete;
    IHuman& operator=(const IHuman&) = delete;

    // The character's per-frame update, with the game-time-scaled step.
    virtual void Update(float seconds) = 0;
    // Life minus the amount, never below 0.
    virtual void reduceLife(std::uint16_t amount) = 0;

    // The body's placement: its position and yaw are read and set through it.
    // A character whose model is missing still has a place to stand.
    CLocation& GetPosition();
    const CLocation& GetPosition() const;

    // The animated body; null when the model could not be made.
    CCharacterEntity* GetEntity() const { return m_Entity; }

    float GetStep() const { return m_Step; }
    void SetStepAndTurn(float step, float turn)
    {
        m_Step = step;
        m_Turn = turn;
    }
    float GetTurn() const { return m_Turn; }
    float GetStepAiming() const { return m_StepAiming; }

    short GetLife() const { return m_Life; }
    void SetLife(short life) { m_Life = life; }
    void SetTopLife(std::uint16_t topLife) { m_TopLife = topLife; }
    void SetLifeAndTopLife(short life, std::uint16_t topLife)
    {
        m_Life = life;
        m_TopLife = topLife;
    }
    std::uint16_t GetTopLife() const { return m_TopLife; }
    // Life plus n, at most the top life.
    void AddLife(std::uint16_t n);
    void RefillLife() { m_Life = static_cast<short>(m_TopLife); }

    // An enemy's weapon; the hero leaves it null.
    void SetWeapon(IWeapon* weapon) { m_Weapon = weapon; }
    IWeapon* GetWeapon() const { return m_Weapon; }

    // The controller that the character's selector holds now; null while the
    // character has no selector (the hero gets his when he is built).
    IController* GetController() const;
    // The character's controller selector, or null before it is built.
    CControllerSelector* GetControllerSelector() const { return m_ControllerSelector; }

    // The hero's weapons: the current one is never null once he is built.
    IWeapon* GetCurrentWeapon() const { return m_CurrentWeapon; }
    void SetCurrentWeapon(IWeapon* weapon) { m_CurrentWeapon = weapon; }
    CGun* GetGun() const { return m_Gun; }
    CThompson* GetThompson() const { return m_Thompson; }
    CShotgun* GetShotgun() const { return m_Shotgun; }
    bool HasThompson() const { return m_HasThompson; }
    void SetHasThompson(bool has) { m_HasThompson = has; }
    bool HasShotgun() const { return m_HasShotgun; }
    void SetHasShotgun(bool has) { m_HasShotgun = has; }
    bool HasSecondWeapon() const { return m_HasThompson || m_HasShotgun; }

    // The fight variant to use next ('1' to '4'), moving on to the following one.
    char CycleWeaponSlot();
    // One turning step of the body toward the point; true once it faces it.
    bool TurnTowards(float x, float y, float z);

protected:
    CCharacterEntity* m_Entity = nullptr;
    // Where a character without a body stands.
    CLocation m_Location;
    short m_Life = 0;
    IWeapon* m_Weapon = nullptr;
    std::uint16_t m_TopLife = 0;
    float m_Step = 0.0f;
    float m_Turn = 0.0f;
    float m_StepAiming = 0.0f;

    CControllerSelector* m_ControllerSelector = nullptr;
    CGun* m_Gun = nullptr;
    CThompson* m_Thompson = nullptr;
    CShotgun* m_Shotgun = nullptr;
    IWeapon* m_CurrentWeapon = nullptr;
    bool m_HasThompson = false;
    bool m_HasShotgun = false;
    char m_FightVariant = '1';
};
