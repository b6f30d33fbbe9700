#include "player/Human.h"

#include <cmath>

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
    // Wide turns happen on the spot; the last few degrees are taken walking.
    const float a = m_Location.AngleTo(D3DXVECTOR3(x, y, z));
    if (std::fabs(a) > 0.68f) {
        m_Location.AddYaw(a < 0.0f ? -0.25f : 0.25f);
        return false;
    }
    if (std::fabs(a) >= 0.1f)
        m_Location.AddYaw(a < 0.0f ? -0.09f : 0.09f);
    return true;
}
