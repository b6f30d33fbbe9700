// The enemies of the current room and wave: the enemy and wave lists of
// "data/XML/enemyList.xml", wave progression with its level events, and the
// queries the camera, the sound and the scripts make.
#pragma once

#include <string>

class CEnemy;

class CEnemyManager {
public:
    // Starts in "room01", "wave_00".
    CEnemyManager();

    // Wave progression and every active enemy's update, with the scaled step.
    void Update(float step);
    // Empties the room and wave tables, reloads the list and starts again at
    // "room01", "wave_00".
    void ResetWaves();
    // Kills the current wave when the new zone is an earlier one, stores room
    // and wave, selects the wave's enemies and runs its start actions.
    void setNewZone(std::string room, std::string wave);
    // Destroys every enemy of the wave when it is the current one.
    void killThisWave(std::string wave);

    std::string GetCurrentWave();
    std::string GetCurrentRoom();
    bool isThisWaveActive(std::string wave);

    // Queries on the current wave.
    bool anyBotAlive();
    bool MoreThanOneAlive();
    bool IsEnemyNearPlayer();
    float GetDistanceToFirstLiveEnemy();
    // The camera's next aim target after the given one, or null.
    CEnemy* GetNearestTrackedEnemy(std::string current);
    CEnemy* getThisBotOfCurrentWave(std::string name);

    // While frozen only a fighting enemy is updated.
    void freezeIA();
    void resumeIA();

    // Wave helpers and level events.
    void DestroyEnemies51To53();
    void FinalBattle();
    void configureFirstGhostWave();
    void getHangarOpenLastWave();
    void secondMovieOn();
    void firstMovieOn();
    void playPaletaVoladoresHangarExplosivo();
    void resetBots();
    void putB1LookingToB2(std::string b1, std::string b2);
    bool onlyDockersAliveAndKilled();

    bool IsFrozen() const { return m_Frozen; }

private:
    std::string m_Room;
    std::string m_Wave;
    bool m_Frozen = false;
};

CEnemyManager* getEnemyManager();
