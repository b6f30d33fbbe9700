#include "player/Human.h"

#include <cmath>

#include "player/ControllerSelector.h"
#include "scene/CharacterEntity.h"

IController* IHuman::GetController() const
{
    return m_ControllerSelector ? m_ControllerSelector->GetCurrent() : nullptr;
}

void IHuman::AddLife(std::uint16_t n)
{
    const int life = static_cast<int>(m_Life) + n;
    m_Life = static_cast<short>(life > m_TopLife ? m_TopLife : life);
}

char IHuman::CycleWeaponSlot()
{
    const char variant = m_FightVariant;
    m_FightVariant = variant == '4' ? '1' : static_cast<char>(variant + 1);
    return variant;
}

CLocation& IHuman::GetPosition()
{
    return m_Entity ? m_Entity->GetTransform() : m_Location;
}

const CLocation& IHuman::GetPosition() const
{
    return m_Entity ? static_cast<const CCharacterEntity*>(m_Entity)->GetTransform() : m_Location;
}

bool IHuman::TurnTowards(float x, float y, float z)
{
    CLocation& placement = GetPosition();
    const float angle = placement.AngleTo(D3DXVECTOR3(x, y, z));
    const float sign = angle < 0.0f ? -1.0f : 1.0f;
    // Far off: a big step and "not yet". Close: a small step, but callers may
    // already act on it (an enemy fires while still settling its aim).
    if (std::fabs(angle) > 0.68f) {
        placement.AddYaw(0.25f * sign);
        return false;
    }
    if (std::fabs(angle) >= 0.1f)
        placement.AddYaw(0.09f * sign);
    return true;
}
