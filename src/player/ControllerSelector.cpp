#include "player/ControllerSelector.h"

#include "math/VectorMath.h"
#include "player/Controllers.h"
#include "player/Player.h"

CControllerSelector::CControllerSelector()
    : m_Aiming(std::make_unique<CAimingController>()), m_Fighting(std::make_unique<CFightingController>()),
      m_Free(std::make_unique<CPlayerFreeController>())
{
    m_Current = m_Free.get();
}

CControllerSelector::~CControllerSelector() = default;

void CControllerSelector::SwitchToFree(bool reload, bool run)
{
    // Placeholder until the selector is built: the free controller is not
    // told how it was entered.
    m_Current = m_Free.get();
    m_State = "FREE";
}

void CControllerSelector::SwitchToAiming()
{
    // Placeholder until the selector is built.
    m_Current = m_Aiming.get();
    m_State = "AIMING";
}

void CControllerSelector::SwitchToParapeted(std::uint16_t parapet, float x, float y, float z)
{
    if (m_Parapeted)
        m_Parapeted->Init(parapet, x, y, z);
    else
        m_Parapeted = std::make_unique<CParapetedController>(parapet, x, y, z);
    m_Current = m_Parapeted.get();
    m_State = "PARAPETED";
}

void CControllerSelector::LeaveParapet()
{
    // Placeholder until the selector is built: no parapet is held yet.
    SwitchToFree(false, false);
}

void CControllerSelector::SwitchToFighting(CEnemy* opponent, int kind)
{
    // Placeholder until the selector is built: no fight starts.
    m_Current = m_Fighting.get();
    m_State = "FIGHTING";
}

void CControllerSelector::ForwardHit(bool pending, std::uint16_t damage, float x, float y, float z)
{
    // Placeholder until the selector is built.
}

bool CControllerSelector::IsPlayerDead() const
{
    return m_Current->GetStateCode() == 49;
}

bool CControllerSelector::IsReadyToShoot() const
{
    // Placeholder until the aiming and cover controllers are built.
    return false;
}

bool CControllerSelector::IsPeeking() const
{
    // Placeholder until the cover controller is built.
    return false;
}

bool CControllerSelector::IsInCoverPose() const
{
    // Placeholder until the cover controller is built.
    return false;
}

bool CControllerSelector::IsJumpingParapet() const
{
    // Placeholder until the cover controller is built.
    return false;
}

void CControllerSelector::FacePoint(float x, float y, float z)
{
    CLocation& hero = getPlayer()->GetPosition();
    hero.AddYaw(WrapAngle(hero.AngleTo(D3DXVECTOR3(x, y, z))));
}
