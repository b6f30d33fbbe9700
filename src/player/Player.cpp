#include "player/Player.h"

#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"

CPlayer::CPlayer()
{
    // The library must outlive the hero's body, so it is made first.
    getModelsManager();
    m_Life = 350;
    m_TopLife = 350;
    m_Step = 200.0f;
    m_Turn = 8.0f;
    m_StepAiming = 100.0f;
}

CPlayer::~CPlayer()
{
    DeleteWeapons();
    delete m_ControllerSelector;
    delete m_Entity;
}

void CPlayer::Init()
{
    delete m_Entity;
    m_Entity = getModelsManager().CreateModelInstance("Zorvath");
    CreateWeapons();
    delete m_ControllerSelector;
    m_ControllerSelector = new CControllerSelector();
    m_Location.SetYaw(1.5707964f);
    if (m_Entity) {
        m_Entity->GetTransform().SetYaw(m_Location.GetYaw());
        // Until the free controller takes the hero over, he stands breathing.
        m_Entity->BlendCycle("idle_ostrel", 1.0f, 0.0f);
    }
}

void CPlayer::DeleteWeapons()
{
    delete m_Gun;
    delete m_Thompson;
    delete m_Shotgun;
    m_Gun = nullptr;
    m_Thompson = nullptr;
    m_Shotgun = nullptr;
    m_CurrentWeapon = nullptr;
}

void CPlayer::CreateWeapons()
{
    DeleteWeapons();
    m_Gun = new CGun();
    m_Thompson = new CThompson();
    m_Shotgun = new CShotgun();
    m_Gun->playerOwned = true;
    m_Thompson->playerOwned = true;
    m_Shotgun->playerOwned = true;
    m_CurrentWeapon = m_Gun;
    m_HasThompson = false;
    m_HasShotgun = false;
}

void CPlayer::Update(float seconds)
{
    // Placeholder until the hero is built: the controller runs and the body
    // breathes where the hero stands.
    if (IController* controller = GetController())
        controller->Update(seconds);
    if (m_Entity) {
        m_Entity->Update(seconds);
        m_Entity->GetTransform().SetPosition(m_Location.GetPosition());
        m_Entity->GetTransform().SetYaw(m_Location.GetYaw());
    }
}

void CPlayer::reduceLife(std::uint16_t n)
{
    const int life = m_Life - n;
    m_Life = static_cast<short>(life < 0 ? 0 : life);
}

void CPlayer::storeForCHECKPOINT()
{
    if (!m_Gun)
        return;
    m_Checkpoint[0] = m_Gun->GetCurrentClip();
    m_Checkpoint[1] = m_Gun->GetAmmo();
    m_Checkpoint[2] = m_HasThompson ? 1 : 0;
    if (m_HasThompson) {
        m_Checkpoint[3] = m_Thompson->GetCurrentClip();
        m_Checkpoint[4] = m_Thompson->GetAmmo();
    }
    m_Checkpoint[5] = m_HasShotgun ? 1 : 0;
    if (m_HasShotgun) {
        m_Checkpoint[6] = m_Shotgun->GetCurrentClip();
        m_Checkpoint[7] = m_Shotgun->GetAmmo();
    }
}

void CPlayer::RestoreCheckpoint()
{
    if (!m_Gun)
        return;
    m_Gun->SetClipAndAmmo(m_Checkpoint[0], m_Checkpoint[1]);
    m_HasThompson = m_Checkpoint[2] != 0;
    if (m_HasThompson)
        m_Thompson->SetClipAndAmmo(m_Checkpoint[3], m_Checkpoint[4]);
    m_HasShotgun = m_Checkpoint[5] != 0;
    if (m_HasShotgun)
        m_Shotgun->SetClipAndAmmo(m_Checkpoint[6], m_Checkpoint[7]);
}

void CPlayer::TakeHit(std::uint16_t damage, bool melee, float x, float y, float z)
{
    // Placeholder until the hero is built: the damage only.
    reduceLife(damage);
}

CPlayer* getPlayer()
{
    static CPlayer player;
    return &player;
}
