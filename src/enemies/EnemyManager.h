// The enemies of the current room and wave: the enemy and wave lists of
// "data/XML/enemyList.xml", wave progression with its level events, and the
// queries the camera, the sound and the scripts make.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "enemies/Detours.h"
#include "platform/bounded.h"
#include "platform/d3dx9math.h"
#include "xml/XMLParser.h"

class CEnemy;
class CCharacterEntity;
class IEntidad3D;

class CEnemyManager {
public:
    using EnemyMap = std::map<std::string, CEnemy*>;
    using WaveMap = std::map<std::string, EnemyMap>;
    using RoomMap = std::map<std::string, WaveMap>;

    // The shipped soldier's tuning, name by name: what a kind's damaged
    // value falls back to.
    static const std::map<std::string, std::string>& BuiltInSoldier();

    // Reads the type file, then an enemy file, into the manager's maps.
    class CEnemyManagerParser : public CXMLParser {
    public:
        // Reads the types of typesFile at once.
        CEnemyManagerParser(CEnemyManager* manager, const std::string& typesFile);
        // Says what was wrong in the entries of the last enemy file read: one
        // line per kind of fault, with the entries that have it.
        ~CEnemyManagerParser() override;

        void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
        void OnEndElement(const std::string& name) override;

        const std::map<std::string, CXMLAttributes>& GetTypes() const { return m_Types; }

    private:
        void BuildEnemy();
        // The entry's values a player would meet as faults: told to the
        // tally, and replaced where the game would otherwise act on them.
        void CheckIA();
        bool CheckPoint(const CXMLAttributes& attributes);
        void CheckEnemy();

        CEnemyManager* m_Manager;
        EnemyMap m_WaveEnemies;
        WaveMap m_RoomWaves;
        RoomMap m_Rooms;
        std::string m_Room, m_Wave;
        std::uint16_t m_RoomCount = 0, m_EnemyCount = 0, m_PointCount = 0;
        std::string m_Name, m_Model, m_IAType, m_Weapon;
        std::string m_PatrolType, m_InitialState, m_NumOfScripts, m_Scripts;
        bool m_FirstPointTaken = false;
        D3DXMATRIX m_FirstPoint;
        D3DXMATRIX m_LastPoint;
        std::vector<D3DXVECTOR3> m_PatrolPoints;
        std::map<std::string, CXMLAttributes> m_Types;
        std::string m_TypeName;
        // The kinds the type file names: an unknown kind is stored in
        // m_Types by the first enemy that asks for it.
        std::set<std::string> m_KnownKinds;
        bounded::FaultTally m_Faults;
    };

    // Starts in "room01", "wave_00".
    CEnemyManager();
    ~CEnemyManager();

    // Wave progression and every active enemy's update, with the scaled step.
    void Update(float step);
    // Reads both lists again into fresh enemies.
    void LoadEnemyList();
    // Empties the room and wave tables, starts again at "room01", "wave_00"
    // and reloads the lists.
    void ResetWaves();
    // Kills the current wave when the new zone is an earlier one, stores room
    // and wave, selects the wave's enemies and runs its start actions.
    void setNewZone(std::string room, std::string wave);
    // Destroys every enemy of the wave when it is the current one.
    void killThisWave(std::string wave);
    // The level flow that moves from one wave to the next.
    void UpdateWaveProgression();
    // A square wave whose soldiers are all down waits for its docker, far
    // off, to be hit: once per wave the level script is told ("dockersLeft").
    void PointToDockers();
    // The tracked enemies that asked to walk: one whose straight way an
    // obstacle blocks evades to a detour point first; each turns toward its
    // destination and steps there; one that made no progress since its last
    // step gives up and searches; one at its detour point resumes its walk
    // or heads for the next detour.
    void UpdateObstacleAvoidance();

    std::string GetCurrentWave();
    std::string GetCurrentRoom();
    bool isThisWaveActive(std::string wave);
    char GetZoneLetter() const { return m_ZoneLetter; }
    bool CanAddSearcher() const { return m_SearchingCount < 2; }
    bool CanAddCoverMover() const { return m_MoveToCoverCount < 2; }
    std::uint16_t GetSearchingCount() const { return m_SearchingCount; }
    std::uint16_t GetMoveToCoverCount() const { return m_MoveToCoverCount; }
    std::uint16_t GetTrackedCount() const { return m_TrackedCount; }
    CEnemy* const* GetTrackedEnemies() const { return TrackedEnemies; }
    const EnemyMap& GetCurrentWaveEnemies() const { return m_WaveEnemies; }
    const RoomMap& GetRooms() const { return m_Rooms; }
    // Where the enemy lists are read from (tests point elsewhere).
    void SetListFiles(std::string types, std::string enemies);
    // The obstacle that blocks a moving enemy, read by the group tests.
    std::string scratchName;

    // Queries on the current wave.
    bool anyBotAlive();
    bool MoreThanOneAlive();
    bool IsEnemyNearPlayer();
    bool IsAnyEnemyShooting();
    bool IsAnyNonDockerAlive();
    float GetDistanceToFirstLiveEnemy();
    D3DXVECTOR3 GetTrackedEnemyPosition(std::string name);
    // The camera's next aim target after the given one, or null.
    CEnemy* GetNearestTrackedEnemy(std::string current);
    // The same among the tracked enemies `seen` lets through: the lock skips
    // soldiers the hero cannot see.
    CEnemy* GetNearestTrackedEnemy(std::string current, const std::function<bool(CEnemy*)>& seen);
    CEnemy* getThisBotOfCurrentWave(std::string name);
    // Whether the entity is the model of one of the loaded enemies.
    bool OwnsEntity(const IEntidad3D* entity) const;
    // The wave's drawable characters, in name order.
    std::vector<CCharacterEntity*> GetCurrentWaveCharacters();
    bool IsGroupM1();
    bool IsGroupM2();
    bool IsGroupG();
    bool IsGroupP();
    bool IsGroupA1();
    bool IsGroupA2();
    bool IsPairedFixedPoint(std::string a, std::string b);
    D3DXVECTOR3 OffsetTowardPoint(D3DXVECTOR3 a, D3DXVECTOR3 b, std::string name);

    // While frozen only a fighting enemy is updated.
    void freezeIA();
    void resumeIA();

    // Wave helpers and level events.
    void AlarmEnemiesNearPlayer();
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
    // A hit of the hero's on that enemy of the wave: the factor of the body
    // zone times the hero's weapon's damage (the shotgun's by distance).
    void ApplyPlayerShot(std::string enemyName, float factor, std::string zone, D3DXVECTOR3 point);
    // The scaffold of "wave_34" blew up: its enemies are thrown.
    void OnScaffoldExplosion();

    bool IsFrozen() const { return m_Frozen; }

private:
    // Drops the tables and frees the enemies they held, once everything that
    // points at them has let go.
    void ClearTables();
    void RefreshCurrent();
    static bool IsAlive(CEnemy* enemy);

    float m_FrameStep = 0.0f;
    bool m_WaveStart = false;
    char m_ZoneLetter = 'A';
    std::uint16_t m_TrackedCount = 0;
    std::uint16_t m_SearchingCount = 0;
    std::uint16_t m_MoveToCoverCount = 0;
    bool m_Frozen = false;
    bool m_DockersPointedTo = false; // in the current wave
    RoomMap m_Rooms;
    WaveMap m_RoomWaves;
    EnemyMap m_WaveEnemies;
    std::string m_Room;
    std::string m_Wave;
    CEnemy* TrackedEnemies[5] = {};
    std::string m_TypesFile = "data/XML/typeOfEnemyList.xml";
    std::string m_EnemiesFile = "data/XML/enemyList.xml";
    // Every enemy of the current load, and those of loads dropped since the
    // last update.
    std::vector<std::unique_ptr<CEnemy>> m_Owned;
    std::vector<std::unique_ptr<CEnemy>> m_Retired;
};

CEnemyManager* getEnemyManager();

// What a hit of the hero's weapon does to an enemy at that distance: damage
// times the zone's factor; the shotgun kills point-blank, weakens at 300 and
// does nothing from 500 on. Kept within 16 bits.
std::uint16_t PlayerShotHit(const std::string& weapon, float damage, float factor, float distance);
