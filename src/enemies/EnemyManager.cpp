#include "enemies/EnemyManager.h"

CEnemyManager::CEnemyManager()
{
    setNewZone("room01", "wave_00");
}

void CEnemyManager::Update(float step)
{
    // Placeholder until the enemy manager is built.
}

void CEnemyManager::ResetWaves()
{
    // Placeholder until the enemy lists are built: no tables to reload.
    setNewZone("room01", "wave_00");
}

void CEnemyManager::setNewZone(std::string room, std::string wave)
{
    // Placeholder until the waves are built: the zone is only remembered.
    m_Room = room;
    m_Wave = wave;
}

void CEnemyManager::killThisWave(std::string wave)
{
    // Placeholder until the enemies are built.
}

std::string CEnemyManager::GetCurrentWave()
{
    return m_Wave;
}

std::string CEnemyManager::GetCurrentRoom()
{
    return m_Room;
}

bool CEnemyManager::isThisWaveActive(std::string wave)
{
    return wave == m_Wave;
}

bool CEnemyManager::anyBotAlive()
{
    // Placeholder until the enemies are built.
    return false;
}

bool CEnemyManager::MoreThanOneAlive()
{
    // Placeholder until the enemies are built.
    return false;
}

bool CEnemyManager::IsEnemyNearPlayer()
{
    // Placeholder until the enemies are built.
    return false;
}

float CEnemyManager::GetDistanceToFirstLiveEnemy()
{
    // Placeholder until the enemies are built.
    return 0.0f;
}

CEnemy* CEnemyManager::GetNearestTrackedEnemy(std::string current)
{
    // Placeholder until the enemies are built.
    return nullptr;
}

CEnemy* CEnemyManager::getThisBotOfCurrentWave(std::string name)
{
    // Placeholder until the enemies are built.
    return nullptr;
}

void CEnemyManager::freezeIA()
{
    m_Frozen = true;
}

void CEnemyManager::resumeIA()
{
    m_Frozen = false;
}

void CEnemyManager::DestroyEnemies51To53()
{
    // Placeholder until the enemies are built.
}

void CEnemyManager::FinalBattle()
{
    // Placeholder until the enemies are built.
}

void CEnemyManager::configureFirstGhostWave()
{
    // Placeholder until the enemies are built.
}

void CEnemyManager::getHangarOpenLastWave()
{
    // Placeholder until the level events are built.
}

void CEnemyManager::secondMovieOn()
{
    // Placeholder until the level events are built.
}

void CEnemyManager::firstMovieOn()
{
}

void CEnemyManager::playPaletaVoladoresHangarExplosivo()
{
    // Placeholder until the level events are built.
}

void CEnemyManager::resetBots()
{
    // Placeholder until the enemy lists are built.
}

void CEnemyManager::putB1LookingToB2(std::string b1, std::string b2)
{
    // Placeholder until the enemies are built.
}

bool CEnemyManager::onlyDockersAliveAndKilled()
{
    // Placeholder until the enemies are built.
    return false;
}

CEnemyManager* getEnemyManager()
{
    static CEnemyManager manager;
    return &manager;
}
