#include "player/Human.h"

#include "player/ControllerSelector.h"

IController* IHuman::GetController() const
{
    return m_ControllerSelector ? m_ControllerSelector->GetCurrent() : nullptr;
}

void IHuman::AddLife(std::uint16_t n)
{
    const int life = m_Life + n;
    m_Life = static_cast<short>(life > m_TopLife ? m_TopLife : life);
}

char IHuman::CycleWeaponSlot()
{
    const char variant = m_FightVariant;
    m_FightVariant = variant == '4' ? '1' : static_cast<char>(variant + 1);
    return variant;
}

bool IHuman::TurnTowards(float x, float y, float z)
{
    // Placeholder until the characters are built.
    return false;
}
