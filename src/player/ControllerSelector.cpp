#include "player/ControllerSelector.h"

#include "math/VectorMath.h"
#include "platform/win32.h"
#include "player/Controllers.h"
#include "player/FightingController.h"
#include "player/ParapetedController.h"
#include "player/Player.h"
#include "scene/CharacterEntity.h"
#include "sound/SoundManager.h"
#include "world/Scenario.h"

CControllerSelector::CControllerSelector()
    : m_Aiming(std::make_unique<CAimingController>()), m_Fighting(std::make_unique<CFightingController>()),
      m_Free(std::make_unique<CPlayerFreeController>())
{
    m_Current = m_Free.get();
}

CControllerSelector::~CControllerSelector() = default;

void CControllerSelector::SwitchToFree(bool reload, bool run)
{
    // Out of a fight that did not end by itself (a restart, a cut-scene):
    // its slow motion, prompt and freeze would outlast it.
    if (m_State == "FIGHTING")
        m_Fighting->Abandon();
    // Only a walk out of aiming keeps its keys: the hero runs on when the aim
    // is let go; from cover or a fight he starts standing.
    if (m_State != "AIMING")
        m_Free->ResetMoveInputs();
    if (m_Current->GetStateCode() == 49)
        m_Free->ToDead();
    else
        m_Free->ToIdle(true);
    if (run)
        m_Free->ToRun();
    if (reload)
        m_Free->StartReload();
    m_Current = m_Free.get();
    m_State = "FREE";
}

void CControllerSelector::SwitchToAiming()
{
    if (m_State == "FIGHTING")
        m_Fighting->Abandon();
    m_Aiming->Start();
    getSoundManager().PlayAimingEnter();
    if (m_State != "FREE")
        m_Aiming->ResetMoveInputs();
    m_Current = m_Aiming.get();
    m_State = "AIMING";
}

void CControllerSelector::SwitchToParapeted(std::uint16_t parapet, float x, float y, float z)
{
    // A parapet the current room does not have (a camera sequence played on
    // the wrong level): he stays as he is.
    if (parapet >= getScenario()->GetParapets().size()) {
        OutputDebugStringA(("cover refused: no parapet " + std::to_string(parapet) + " in this room\n").c_str());
        return;
    }
    if (m_State == "FIGHTING")
        m_Fighting->Abandon();
    m_State = "PARAPETED";
    if (m_ParapetedReusable) {
        m_Parapeted->ReleaseMoveKeys();
        m_Parapeted->Init(parapet, x, y, z);
    } else {
        // Nothing points at the old controller any more (the state was not
        // "PARAPETED"), so it can go.
        m_Parapeted = std::make_unique<CParapetedController>(parapet, x, y, z);
        m_ParapetedReusable = true;
    }
    m_Current = m_Parapeted.get();
}

void CControllerSelector::LeaveParapet()
{
    if (m_State != "PARAPETED") {
        // Switched free by a cut-scene first: the parapet he held is let go
        // of all the same, or no one could take it until the next restart.
        if (m_Parapeted)
            m_Parapeted->FreeParapet();
        m_ParapetedReusable = false;
        return;
    }
    m_ParapetedReusable = false;
    if (m_Parapeted)
        m_Parapeted->LeaveCover();
    if (CCharacterEntity* body = getPlayer()->GetEntity())
        body->RemoveAction();
    SwitchToFree(false, false);
}

void CControllerSelector::SwitchToFighting(CEnemy* opponent, int kind)
{
    if (m_State == "PARAPETED") {
        if (m_Parapeted)
            m_Parapeted->ReleaseMoveKeys();
        LeaveParapet();
    } else if (m_State == "FREE") {
        m_Free->ResetMoveInputs();
    } else if (m_State == "AIMING") {
        m_Aiming->ResetMoveInputs();
    }
    m_State = "FIGHTING";
    m_Fighting->StartFight(opponent, kind);
    m_Current = m_Fighting.get();
}

void CControllerSelector::ForwardHit(bool pending, std::uint16_t damage, float x, float y, float z)
{
    if (m_State == "FIGHTING")
        m_Fighting->SetPendingHit(pending, damage, D3DXVECTOR3(x, y, z));
    else if (m_State == "AIMING")
        m_Aiming->SetHit(pending, damage, x, y, z);
    else if (m_State == "PARAPETED") {
        if (m_Parapeted)
            m_Parapeted->SetHit(pending, damage, x, y, z);
    } else if (m_State == "FREE")
        m_Free->SetHit(pending, damage, x, y, z);
}

bool CControllerSelector::IsPlayerDead() const
{
    return m_Current->GetStateCode() == 49;
}

bool CControllerSelector::IsReadyToShoot() const
{
    if (m_State == "AIMING")
        return m_Current == m_Aiming.get() && m_Aiming->IsReadyToShoot();
    if (m_State == "PARAPETED")
        return m_Parapeted && m_Current == m_Parapeted.get() && m_Parapeted->IsReadyToShoot();
    return false;
}

bool CControllerSelector::IsPeeking() const
{
    return m_State == "PARAPETED" && m_Parapeted && m_Parapeted->GetStateCode() == 48 &&
           m_Parapeted->IsPeekingHigh();
}

bool CControllerSelector::IsInCoverPose() const
{
    if (m_State != "PARAPETED" || !m_Parapeted)
        return false;
    const int code = m_Parapeted->GetStateCode();
    return (code == 34 || code == 38 || code == 62 || code == 63) && m_Parapeted->IsLowCover();
}

bool CControllerSelector::IsJumpingParapet() const
{
    return m_State == "PARAPETED" && m_Parapeted && m_Parapeted->IsJumpingOver();
}

void CControllerSelector::FacePoint(float x, float y, float z)
{
    CLocation& hero = getPlayer()->GetPosition();
    hero.AddYaw(WrapAngle(hero.AngleTo(D3DXVECTOR3(x, y, z))));
}
