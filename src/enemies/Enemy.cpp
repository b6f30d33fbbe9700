#include "enemies/Enemy.h"

void CIAEnemyCover::EnterAimingThompson()
{
    // Placeholder until the enemy AI is built: no animation yet.
    m_State = AIMING_THOMPSON;
}

void CIAEnemyCover::setTalkScript(std::string talk, float seconds)
{
    // Placeholder until the enemy AI is built.
}

void CIAEnemyCover::setAnimScript(std::string animation, float seconds)
{
    // Placeholder until the enemy AI is built.
    m_State = ACTING;
}

void CIAEnemyCover::setDockersState()
{
    // Placeholder until the enemy AI is built.
    m_State = DOCKERS;
}

void CIAEnemyCover::setTrackerScript(bool tracking, std::string target)
{
    // Placeholder until the enemy AI is built.
}

void CIAEnemyCover::setWaitingState(float seconds, std::string triggerLogic)
{
    // Placeholder until the enemy AI is built.
    m_State = WAITING;
}

void CIAEnemyCover::setSearchingState()
{
    // Placeholder until the enemy AI is built.
    m_State = SEARCHING;
}

void CIAEnemyCover::setMoveToCoverState(std::string coverPoint)
{
    // Placeholder until the enemy AI is built.
    m_State = MOVE_TO_COVER;
}

void CIAEnemyCover::UpdateView()
{
    // Placeholder until the enemy AI is built.
}

void CIAEnemyCover::setKamikazeState()
{
    // Placeholder until the enemy AI is built.
    m_State = KAMIKAZE;
}

void CIAEnemyCover::setYawFromScript(float yaw)
{
    // Placeholder until the enemy AI is built.
}

bool CIAEnemyCover::botIsInAction()
{
    return m_State != IDLE && m_State != WAITING && m_State != ACTING;
}

void CIAEnemyCover::becomeATorretGuy()
{
    m_CanMove = false;
}

void CIAEnemyCover::destroyThisGuy()
{
    // Placeholder until the enemy AI is built: no model or body to remove yet.
    m_State = DEAD;
    m_Destroyed = true;
}

CEnemy::CEnemy(std::string name) : m_Name(std::move(name)), m_IA(this)
{
}

void CEnemy::Update(float step)
{
    // Placeholder until the enemies are built.
}

void CEnemy::reduceLife(std::uint16_t amount)
{
    // Placeholder until the enemies are built.
}
