#include "enemies/EnemyManager.h"

#include "platform/bounded.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "math/VectorMath.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "sound/SoundManager.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/SceneManager.h"
#include "world/CollisionManager.h"

namespace {

// A list with more enemies than this is not one we made: the rest is left out.
constexpr size_t kMaxEnemiesPerList = 1024;

// A name's character, '\0' past its end.
char At(const std::string& text, size_t index)
{
    return index < text.size() ? text[index] : '\0';
}

D3DXVECTOR3 HeroPosition()
{
    return getPlayer()->GetPosition().GetPosition();
}

// The shipped soldier's tuning ("soldado" in the kinds file), for a kind's
// value that is damaged, and the range a value must be in. The first three
// divide the enemies' random draws: a value written there below 1 is damaged
// (one left out counts as 1 where it is drawn). Counts the game keeps in 16
// bits stay within them; a top life is the enemy's life at the start, which
// must be alive; an angle of view is at most a whole turn; a switch reads as
// on or off.
struct KindConstant {
    const char* key;
    const char* shipped;
    double low, high;
    bool flag = false;
};
constexpr double kAny = 1.0e6;
constexpr double kCount = 65535.0;
const KindConstant kShippedConstants[] = {
    {"willOfShootFromCover", "3", 1, kCount}, {"willOfStandingShoot", "8", 1, kCount},
    {"maxTimeShootingFromCover", "3", 1, kCount}, {"stepAiming", "90", 0, kAny}, {"step", "150", 0, kAny},
    {"turn", "4", 0, kAny}, {"topLife", "100", 1, 32767}, {"nearDist", "120", 0, kAny},
    {"viewDist", "1800", 0, kAny}, {"lostDist", "2600", 0, kAny}, {"visionAngle", "60", 0, 360},
    {"alarmDist", "1400", 0, kAny}, {"accuracy", "14", 0, kCount}, {"minTimeToShotFromCover", "2", 0, kCount},
    {"minDistanceToPlayerWhenChasing", "500", 0, kAny}, {"maxTimeCovered", "6", 0, kAny},
    {"secondsToStartRegenerating", "45", 0, kAny}, {"bulletsToRollIfPlayerWithOstrel", "6", 0, kCount},
    {"bulletsToRollIfPlayerWithThompson", "12", 0, kCount}, {"bulletsToRollIfPlayerWithShotgun", "3", 0, kCount},
    {"maxBulletsAttackingWithGun", "4", 0, kCount}, {"maxBulletsAttackingWithShotgun", "1", 0, kCount},
    {"maxBulletsAttackingWithThompson", "10", 0, kCount}, {"lifeLimitToBeHurt", "40", 0, kCount},
    {"regeneratingTax", "1", 0, kCount}, {"canCover", "1", 0, 1, true}, {"canMove", "1", 0, 1, true},
    {"isGuardian", "0", 0, 1, true},
};

// A kind's constants with every damaged value (not a finite number in its
// range, or a switch that is neither 0 nor 1) replaced by the shipped value,
// said once with the file and the kind.
CXMLAttributes CheckedConstants(CXMLAttributes constants, const std::string& file, const std::string& kind)
{
    std::string bad;
    const auto tell = [&](const char* key, std::string& value, const char* shipped) {
        bad += (bad.empty() ? "" : ", ") + std::string(key) + " \"" + bounded::Echoed(value) + "\"";
        value = shipped;
    };
    for (const KindConstant& c : kShippedConstants) {
        auto found = constants.find(c.key);
        if (found == constants.end())
            continue;
        double value;
        const bool usable = c.flag ? CXMLAttributes::IsBoolWord(found->second)
                                   : bounded::ParseFloat(found->second, c.low, c.high, &value);
        if (!usable)
            tell(c.key, found->second, c.shipped);
    }
    if (!bad.empty())
        bounded::SayOnce(file + ": kind \"" + bounded::Echoed(kind) + "\": " + bad +
                         " unusable; the shipped values are used");
    return constants;
}

} // namespace

const std::map<std::string, std::string>& CEnemyManager::BuiltInSoldier()
{
    static const std::map<std::string, std::string> soldier = [] {
        std::map<std::string, std::string> values;
        for (const KindConstant& c : kShippedConstants)
            values[c.key] = c.shipped;
        return values;
    }();
    return soldier;
}

// --- the list reader -------------------------------------------------------------

CEnemyManager::CEnemyManagerParser::CEnemyManagerParser(CEnemyManager* manager, const std::string& typesFile)
    : m_Manager(manager)
{
    D3DXMatrixIdentity(&m_FirstPoint);
    D3DXMatrixIdentity(&m_LastPoint);
    // Kinds cut off by a broken file take the game's defaults.
    LoadXMLSaying(typesFile, true);
    for (const auto& kind : m_Types)
        m_KnownKinds.insert(kind.first);
}

CEnemyManager::CEnemyManagerParser::~CEnemyManagerParser()
{
    m_Faults.SayAll(GetStreamName());
}

void CEnemyManager::CEnemyManagerParser::OnStartElement(const std::string& name, CXMLAttributes& a)
{
    if (name == "TYPE") {
        m_TypeName = a.GetString("tName", "");
    } else if (name == "CONSTANTS") {
        m_Types[m_TypeName] = CheckedConstants(a, GetStreamName(), m_TypeName);
    } else if (name == "ROOMS") {
        m_RoomCount = static_cast<std::uint16_t>(a.GetInt("count", 0));
    } else if (name == "ROOM") {
        m_Room = a.GetString("name", "");
    } else if (name == "WAVE") {
        m_Wave = a.GetString("name", "");
    } else if (name == "ENEMIES") {
        m_EnemyCount = static_cast<std::uint16_t>(a.GetInt("count", 0));
    } else if (name == "ENEMY") {
        m_Name = a.GetString("name", "");
        m_Model = a.GetString("model", "");
        m_IAType = a.GetString("IAtype", "");
        m_Weapon = a.GetString("weapon", "");
    } else if (name == "IA") {
        m_PatrolType = a.GetString("patrolType", "");
        m_InitialState = a.GetString("initialState", "");
        m_NumOfScripts = a.GetString("numOfScripts", "");
        m_Scripts = a.GetString("scripts", "");
        CheckIA();
    } else if (name == "POINTS") {
        m_PointCount = static_cast<std::uint16_t>(a.GetInt("count", 0));
    } else if (name == "POINT") {
        if (!CheckPoint(a))
            return;
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        const D3DXMATRIX transform = a.GetMatrix("transform", identity);
        if (!m_FirstPointTaken) {
            m_FirstPoint = transform;
            m_FirstPointTaken = true;
        }
        m_LastPoint = transform;
        m_PatrolPoints.emplace_back(transform._41, transform._42, transform._43);
    }
}

void CEnemyManager::CEnemyManagerParser::OnEndElement(const std::string& name)
{
    if (name == "ENEMY_LIST") {
        m_Manager->m_Rooms = m_Rooms;
        m_Manager->m_RoomWaves = m_RoomWaves;
        m_Manager->m_WaveEnemies = m_WaveEnemies;
    } else if (name == "ROOM") {
        m_Rooms[m_Room] = m_RoomWaves;
        m_RoomWaves.clear();
    } else if (name == "WAVE") {
        const std::string wave = "wave \"" + bounded::Echoed(m_Wave) + "\" of room \"" + bounded::Echoed(m_Room) + "\"";
        if (m_Wave.empty())
            m_Faults.Add("a wave without a name", wave);
        else if (m_RoomWaves.count(m_Wave))
            m_Faults.Add("a wave named twice in its room: the later one is kept", wave);
        m_RoomWaves[m_Wave] = m_WaveEnemies;
        m_WaveEnemies.clear();
    } else if (name == "ENEMY") {
        BuildEnemy();
    } else if (name == "POINTS") {
        m_FirstPointTaken = false;
    }
}

namespace {

std::string EnemyEntryName(const std::string& name)
{
    return "enemy \"" + bounded::Echoed(name) + "\"";
}

// The scripts an enemy's text holds: up to three, joined by dashes.
int ScriptsGiven(const std::string& scripts)
{
    return scripts.empty() ? 0 : static_cast<int>(std::min<size_t>(3, 1 + std::count(scripts.begin(), scripts.end(), '-')));
}

} // namespace

void CEnemyManager::CEnemyManagerParser::CheckIA()
{
    const std::string enemy = EnemyEntryName(m_Name);
    long long number;
    // Not used by the game; a value no list of ours holds is said all the same.
    if (!m_PatrolType.empty() && !bounded::ParseInt(m_PatrolType, 0, 65535, &number))
        m_Faults.Add("patrol type \"" + bounded::Echoed(m_PatrolType) + "\" is not a count of 0 or more", enemy);
    if (!m_InitialState.empty() && !CIAEnemyCover::IsStateName(m_InitialState))
        m_Faults.Add("unknown initial state \"" + bounded::Echoed(m_InitialState) +
                         "\": the enemy keeps the state it is built in", enemy);
    // The scripts are cut from the text by the count: one past what the text
    // holds finds nothing to cut, and an enemy counting scripts it has none of
    // would wait for them for ever.
    const int given = ScriptsGiven(m_Scripts);
    if (!m_NumOfScripts.empty() && (!bounded::ParseInt(m_NumOfScripts, 0, 3, &number) || number > given)) {
        m_Faults.Add("script count \"" + bounded::Echoed(m_NumOfScripts) + "\" is not the " +
                         std::to_string(given) + " scripts given: " + std::to_string(given) + " is used",
                     enemy);
        m_NumOfScripts = std::to_string(given);
    }
}

bool CEnemyManager::CEnemyManagerParser::CheckPoint(const CXMLAttributes& a)
{
    // Twelve finite numbers within reach of the physics, or the point is not
    // one: the attribute reader would quietly keep the identity's entries
    // past a word that is no number, and a point out of reach would throw
    // the body away.
    const auto found = a.find("transform");
    int count = 0;
    bool usable = found != a.end();
    if (usable) {
        const std::string& text = found->second;
        size_t at = 0;
        while (usable && (at = text.find_first_not_of(" \t\r\n", at)) != std::string::npos) {
            const size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
            double value;
            usable = ++count <= 12 && bounded::ParseFloat(text.substr(at, end - at), -1.0e6, 1.0e6, &value);
            at = end;
        }
    }
    if (usable && count == 12)
        return true;
    m_Faults.Add("a point whose transform is not 12 numbers within 1e6 is left out", EnemyEntryName(m_Name));
    return false;
}

void CEnemyManager::CEnemyManagerParser::CheckEnemy()
{
    const std::string enemy = EnemyEntryName(m_Name) + " of wave \"" + bounded::Echoed(m_Wave) + "\"";
    if (m_Name.empty())
        m_Faults.Add("an enemy without a name", enemy);
    else if (m_WaveEnemies.count(m_Name))
        m_Faults.Add("an enemy named twice in its wave: the later one is kept", enemy);
    if (!m_KnownKinds.count(m_IAType))
        m_Faults.Add("unknown kind \"" + bounded::Echoed(m_IAType) + "\": every value of its tuning is the default",
                     EnemyEntryName(m_Name));
    if (m_PatrolPoints.empty())
        m_Faults.Add("an enemy with no point: it starts where the enemy before it did", EnemyEntryName(m_Name));
    if (m_Weapon != "gun" && m_Weapon != "thompson" && m_Weapon != "shotgun") {
        m_Faults.Add("unknown weapon \"" + bounded::Echoed(m_Weapon) + "\": given a gun", EnemyEntryName(m_Name));
        m_Weapon = "gun";
    }
}

void CEnemyManager::CEnemyManagerParser::BuildEnemy()
{
    if (m_Manager->m_Owned.size() >= kMaxEnemiesPerList) {
        if (m_Manager->m_Owned.size() == kMaxEnemiesPerList)
            m_Faults.Add("more enemies than the game takes: the rest are left out", EnemyEntryName(m_Name));
        m_PatrolPoints.clear();
        return;
    }
    CheckEnemy();
    auto built = std::make_unique<CEnemy>();
    CEnemy* enemy = built.get();
    // The type's own map takes the enemy's values: a type keeps the last
    // enemy built from it.
    CXMLAttributes& type = m_Types[m_IAType];
    type["name"] = m_Name;
    type["model"] = m_Model;
    type["IAtype"] = m_IAType;
    type["numOfScripts"] = m_NumOfScripts;
    type["scripts"] = m_Scripts;
    type["weapon"] = m_Weapon;
    enemy->Load(type, "data/enemy.txt");
    CIAEnemyCover* ai = enemy->getIA();
    ai->SetState(m_InitialState);
    ai->SetSpawnPosition(m_FirstPoint._41, m_FirstPoint._42, m_FirstPoint._43);
    ai->SetPatrolPoints(m_PatrolPoints);
    CLocation& place = enemy->GetPosition();
    place.SetPosition(D3DXVECTOR3(m_FirstPoint._41, m_FirstPoint._42, m_FirstPoint._43));
    // The whole point, turn and all, but the heading kept apart from the
    // matrix stays as built: every enemy starts facing +Z (yaw 0) until a
    // script, its wave or its AI turns it.
    place.SetMatrix(m_FirstPoint);
    enemy->PlaceEntity();
    // Placed now: an enemy without patrol points of its own patrols here.
    ai->Init();
    m_WaveEnemies[m_Name] = enemy;
    m_Manager->m_Owned.push_back(std::move(built));
    m_PatrolPoints.clear();
}

// --- the manager -------------------------------------------------------------------

CEnemyManager::CEnemyManager()
{
    // The models outlive the enemies that were made of them.
    getModelsManager();
    setNewZone("room01", "wave_00");
}

CEnemyManager::~CEnemyManager() = default;

void CEnemyManager::SetListFiles(std::string types, std::string enemies)
{
    m_TypesFile = std::move(types);
    m_EnemiesFile = std::move(enemies);
}

bool CEnemyManager::IsAlive(CEnemy* enemy)
{
    return enemy->GetLife() != 0 && enemy->getIA()->GetState() != CIAEnemyCover::DEAD;
}

void CEnemyManager::RefreshCurrent()
{
    m_RoomWaves = m_Rooms[m_Room];
    m_WaveEnemies = m_RoomWaves[m_Wave];
}

void CEnemyManager::Update(float step)
{
    m_Retired.clear();
    m_FrameStep = step;
    RefreshCurrent();
    UpdateWaveProgression();
    if (m_WaveStart) {
        getCollisionManager().CreateEnemyBodies();
        m_WaveStart = false;
    }
    m_TrackedCount = 0;
    m_SearchingCount = 0;
    m_MoveToCoverCount = 0;
    TrackedEnemies[0] = nullptr;

    IController* controller = getPlayer()->GetController();
    const bool heroFighting = controller && controller->GetStateCode() == 43;
    if (m_Frozen && !heroFighting)
        return;

    for (auto& entry : m_WaveEnemies) {
        CEnemy* enemy = entry.second;
        CIAEnemyCover* ai = enemy->getIA();
        if (m_Frozen && ai->GetState() != CIAEnemyCover::FIGHTING)
            continue;
        enemy->Update(step);
        const std::uint16_t state = ai->GetState();
        if (state == CIAEnemyCover::DEAD)
            continue;
        // An evading enemy counts with the state it will go back to; any
        // other state's saved value is stale.
        const std::int32_t second = state == CIAEnemyCover::EVADE ? ai->GetSecondState() : -1;
        if (state == CIAEnemyCover::SEARCHING || second == CIAEnemyCover::SEARCHING)
            ++m_SearchingCount;
        else if (state == CIAEnemyCover::MOVE_TO_COVER || second == CIAEnemyCover::MOVE_TO_COVER)
            ++m_MoveToCoverCount;
        if (m_TrackedCount < 5) {
            TrackedEnemies[m_TrackedCount++] = enemy;
            if (m_TrackedCount < 5)
                TrackedEnemies[m_TrackedCount] = nullptr;
        }
    }
    UpdateObstacleAvoidance();
    getGSF().setWaveCodeFromName(m_Wave, anyBotAlive());
}

void CEnemyManager::UpdateObstacleAvoidance()
{
    CDetourFinder finder(getCollisionManager());
    // The chooser of the obstacle's group; the group tests read the name the
    // path test or the chooser left.
    auto detour = [&](CEnemy* enemy, const D3DXVECTOR3& here, const D3DXVECTOR3& kept, const D3DXVECTOR3& reached) {
        const DetourGroup group = DetourGroupOf(scratchName);
        // The hand-placed points of A1 and A2 lead on from the one reached.
        const bool fromReached = group == DetourGroup::A1 || group == DetourGroup::A2;
        const D3DXVECTOR3 point = finder.ChooseDetour(group, here, fromReached ? reached : kept);
        scratchName = finder.scratchName;
        CIAEnemyCover* ai = enemy->getIA();
        ai->EnterEvade(point, false);
        ai->SetEvadedObstacle(scratchName);
    };
    auto pathClear = [&](const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
        finder.scratchName = scratchName;
        const bool clear = finder.IsPathClear(from, to);
        scratchName = finder.scratchName;
        return clear;
    };
    for (int i = 0; i < m_TrackedCount && TrackedEnemies[i]; ++i) {
        CEnemy* enemy = TrackedEnemies[i];
        CIAEnemyCover* ai = enemy->getIA();
        if (!ai->WantsNewPosition())
            continue;
        scratchName.clear();
        const D3DXVECTOR3 here = enemy->GetPosition().GetPosition();
        const D3DXVECTOR3 target(ai->GetDestination().x, here.y, ai->GetDestination().z);
        if (!pathClear(here, target))
            detour(enemy, here, target, target);

        // The turn and the step go toward the destination this frame began
        // with, even when a detour was chosen just now.
        if (enemy->TurnTowards(target.x, target.y, target.z)) {
            const D3DXVECTOR3 previous = ai->GetEventPointA();
            ai->SetEventPointB(previous.x, previous.y, previous.z);
            ai->SetEventPointA(here.x, here.y, here.z);
            const D3DXVECTOR3 walk = DirectionFromYaw(enemy->GetPosition().GetYaw()) * enemy->GetStep() * m_FrameStep;
            getCollisionManager().SetEnemyWalkDirection(enemy->GetName(), walk);
            const std::uint16_t state = ai->GetState();
            const bool walking = state == CIAEnemyCover::EVADE || state == CIAEnemyCover::MOVE_TO_COVER ||
                                 state == CIAEnemyCover::SEARCHING || state == CIAEnemyCover::KAMIKAZE ||
                                 state == CIAEnemyCover::ALARMED;
            const bool started = previous.x != 0.0f || previous.y != 0.0f || previous.z != 0.0f;
            // A body that collisions hold in place: searching ends the walk.
            if (walking && started && here.x == previous.x && here.y == previous.y && here.z == previous.z)
                ai->setSearchingState();
        }

        if (ai->GetState() == CIAEnemyCover::EVADE && ManhattanDistanceXZ(here, target) < 9.5f) {
            // At the detour point: on to the kept target, or round the next
            // obstacle in the way.
            const D3DXVECTOR3 kept = ai->GetEvadePoint();
            if (pathClear(here, kept))
                ai->LeaveEvade();
            else
                detour(enemy, here, kept, target);
        }
    }
}

void CEnemyManager::LoadEnemyList()
{
    CEnemyManagerParser parser(this, m_TypesFile);
    parser.LoadXMLSaying(m_EnemiesFile, true);
    m_SearchingCount = 0;
    m_MoveToCoverCount = 0;
}

void CEnemyManager::resetBots()
{
    ClearTables();
    LoadEnemyList();
}

void CEnemyManager::killThisWave(std::string wave)
{
    if (wave != m_Wave || m_WaveEnemies.empty())
        return;
    for (auto& entry : m_WaveEnemies) {
        CEnemy* enemy = entry.second;
        if (enemy->getIA()->IsDestroyed())
            continue;
        if (CCharacterEntity* entity = enemy->GetEntity())
            entity->RemoveAction();
        enemy->getIA()->destroyThisGuy();
    }
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

// --- queries ---------------------------------------------------------------------

bool CEnemyManager::anyBotAlive()
{
    for (auto& entry : m_WaveEnemies) {
        CEnemy* enemy = entry.second;
        if (IsAlive(enemy))
            return true;
        // Its death animation still plays.
        if (enemy->GetLife() == 0 && enemy->GetEntity() && enemy->GetEntity()->GetActionCount() > 0)
            return true;
    }
    return false;
}

bool CEnemyManager::MoreThanOneAlive()
{
    int alive = 0;
    for (auto& entry : m_WaveEnemies)
        alive += IsAlive(entry.second);
    return alive >= 2;
}

bool CEnemyManager::IsEnemyNearPlayer()
{
    const D3DXVECTOR3 hero = HeroPosition();
    for (auto& entry : m_WaveEnemies)
        if (IsAlive(entry.second) && ManhattanDistanceXZ(hero, entry.second->GetPosition().GetPosition()) < 900.0f)
            return true;
    return false;
}

bool CEnemyManager::IsAnyEnemyShooting()
{
    for (auto& entry : m_WaveEnemies) {
        const std::uint16_t state = entry.second->getIA()->GetState();
        if (state == CIAEnemyCover::SHOOTING || state == CIAEnemyCover::SHOOTING_FROM_COVER)
            return true;
    }
    return false;
}

bool CEnemyManager::IsAnyNonDockerAlive()
{
    for (auto& entry : m_WaveEnemies)
        if (At(entry.second->GetName(), 4) != 'D' && entry.second->getIA()->GetState() != CIAEnemyCover::DEAD)
            return true;
    return false;
}

float CEnemyManager::GetDistanceToFirstLiveEnemy()
{
    for (auto& entry : m_WaveEnemies)
        if (entry.second->getIA()->GetState() != CIAEnemyCover::DEAD)
            return ManhattanDistanceXZ(HeroPosition(), entry.second->GetPosition().GetPosition());
    return 0.0f;
}

D3DXVECTOR3 CEnemyManager::GetTrackedEnemyPosition(std::string name)
{
    for (int i = 0; i < 5 && TrackedEnemies[i]; ++i)
        if (TrackedEnemies[i]->GetName() == name)
            return TrackedEnemies[i]->GetPosition().GetPosition();
    return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}

CEnemy* CEnemyManager::GetNearestTrackedEnemy(std::string current)
{
    return GetNearestTrackedEnemy(std::move(current), [](CEnemy*) { return true; });
}

CEnemy* CEnemyManager::GetNearestTrackedEnemy(std::string current, const std::function<bool(CEnemy*)>& seen)
{
    CEnemy* best = nullptr;
    CEnemy* same = nullptr;
    float bestDistance = 2000.0f;
    const D3DXVECTOR3 hero = HeroPosition();
    for (int i = 0; i < 5 && TrackedEnemies[i]; ++i) {
        CEnemy* enemy = TrackedEnemies[i];
        CIAEnemyCover* ai = enemy->getIA();
        if (ai->GetState() == CIAEnemyCover::DEAD || (ai->GetState() == CIAEnemyCover::DOCKERS && ai->IsDockerDone()))
            continue;
        if (enemy->GetName() == current) {
            if (seen(enemy))
                same = enemy;
            continue;
        }
        const float d = ManhattanDistance(hero, enemy->GetPosition().GetPosition());
        if (d < bestDistance && seen(enemy)) {
            best = enemy;
            bestDistance = d;
        }
    }
    return best ? best : same;
}

CEnemy* CEnemyManager::getThisBotOfCurrentWave(std::string name)
{
    auto found = m_WaveEnemies.find(name);
    return found != m_WaveEnemies.end() ? found->second : nullptr;
}

bool CEnemyManager::OwnsEntity(const IEntidad3D* entity) const
{
    for (const auto* set : {&m_Owned, &m_Retired})
        for (const auto& enemy : *set)
            if (enemy->GetEntity() && static_cast<const IEntidad3D*>(enemy->GetEntity()) == entity)
                return true;
    return false;
}

std::vector<CCharacterEntity*> CEnemyManager::GetCurrentWaveCharacters()
{
    std::vector<CCharacterEntity*> characters;
    for (auto& entry : m_WaveEnemies)
        if (entry.second->GetEntity())
            characters.push_back(entry.second->GetEntity());
    return characters;
}

bool CEnemyManager::IsGroupM1() { return At(scratchName, 4) == 'M' && At(scratchName, 5) == '1'; }
bool CEnemyManager::IsGroupM2() { return At(scratchName, 4) == 'M' && At(scratchName, 5) == '2'; }
bool CEnemyManager::IsGroupG() { return At(scratchName, 4) == 'G'; }
bool CEnemyManager::IsGroupP() { return At(scratchName, 4) == 'P'; }
bool CEnemyManager::IsGroupA1() { return At(scratchName, 4) == 'A' && At(scratchName, 5) == '1'; }
bool CEnemyManager::IsGroupA2() { return At(scratchName, 4) == 'A' && At(scratchName, 5) == '2'; }

bool CEnemyManager::IsPairedFixedPoint(std::string a, std::string b)
{
    return ::IsPairedFixedPoint(a, b);
}

D3DXVECTOR3 CEnemyManager::OffsetTowardPoint(D3DXVECTOR3 a, D3DXVECTOR3 b, std::string name)
{
    return ::OffsetTowardPoint(a, b, name);
}

// --- commands ----------------------------------------------------------------------

void CEnemyManager::freezeIA()
{
    m_Frozen = true;
}

void CEnemyManager::resumeIA()
{
    m_Frozen = false;
}

void CEnemyManager::AlarmEnemiesNearPlayer()
{
    const D3DXVECTOR3 hero = HeroPosition();
    for (auto& entry : m_WaveEnemies) {
        CIAEnemyCover* ai = entry.second->getIA();
        const std::uint16_t state = ai->GetState();
        if ((state == CIAEnemyCover::PATROL || state == CIAEnemyCover::IDLE || state == CIAEnemyCover::ALARMED) &&
            ManhattanDistanceXZ(hero, entry.second->GetPosition().GetPosition()) < 2000.0f)
            ai->EnterAlarmed();
    }
}

void CEnemyManager::putB1LookingToB2(std::string b1, std::string b2)
{
    CEnemy* turning = getThisBotOfCurrentWave(b1);
    CEnemy* target = getThisBotOfCurrentWave(b2);
    // A script may name an enemy this wave does not have.
    if (!turning || !target)
        return;
    CLocation& place = turning->GetPosition();
    place.AddYaw(place.AngleTo(target->GetPosition().GetPosition()));
    turning->PlaceEntity();
}

void CEnemyManager::configureFirstGhostWave()
{
    if (m_Wave != "wave_00")
        return;
    if (CEnemy* first = getThisBotOfCurrentWave("ene_002")) {
        first->GetPosition().SetYaw(3.06f);
        first->PlaceEntity();
    }
    for (const char* name : {"ene_003", "ene_004", "ene_005"})
        if (CEnemy* enemy = getThisBotOfCurrentWave(name))
            enemy->SetStepAndTurn(40.0f, 1.5707964f);
}

void CEnemyManager::FinalBattle()
{
    CEnemy* boss = getThisBotOfCurrentWave("ene_50");
    // With no boss left to fight the story would wait at the predockers
    // panels for good: it goes on to the memorial at once.
    if (!boss || !IsAlive(boss) || boss->getIA()->IsDestroyed() || boss->getIA()->IsDying()) {
        getGSF().setReadyMemoriam();
        return;
    }
    boss->getIA()->EnterFighting();
    if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
        selector->SwitchToFighting(boss, 102);
}

void CEnemyManager::DestroyEnemies51To53()
{
    for (auto& entry : m_WaveEnemies) {
        const std::string name = entry.second->GetName();
        if (name == "ene_51" || name == "ene_52" || name == "ene_53")
            entry.second->getIA()->destroyThisGuy();
    }
}

std::uint16_t PlayerShotHit(const std::string& weapon, float damage, float factor, float distance)
{
    float hit = damage * factor;
    if (weapon == "SHOTGUN") {
        if (distance < 100.0f)
            hit = factor * 10000.0f;
        else if (distance < 300.0f)
            hit = damage * factor;
        else if (distance < 500.0f)
            hit = damage * 0.3f * factor;
        else
            return 0;
    }
    // A point-blank head shot is far past any life: keep it a sure kill.
    if (!(hit > 0.0f))
        return 0;
    return static_cast<std::uint16_t>(std::min(hit, 65535.0f));
}

void CEnemyManager::ApplyPlayerShot(std::string enemyName, float factor, std::string zone, D3DXVECTOR3 point)
{
    // Any enemy of the wave still standing, not only the tracked five: one
    // already dead must not die again under the next pellet.
    CEnemy* target = nullptr;
    for (auto& entry : m_WaveEnemies) {
        CEnemy* enemy = entry.second;
        if (enemy->GetName() == enemyName && enemy->getIA()->GetState() != CIAEnemyCover::DEAD) {
            target = enemy;
            break;
        }
    }
    if (!target)
        return;
    IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    const std::string name = weapon ? weapon->GetName() : std::string();
    const float damage = weapon ? static_cast<float>(weapon->GetDamage()) : 0.0f;
    const float distance = ManhattanDistanceXZ(HeroPosition(), target->GetPosition().GetPosition());
    if (name == "SHOTGUN" && distance >= 500.0f)
        return;
    target->getIA()->OnHit(PlayerShotHit(name, damage, factor, distance), zone, point);
}

void CEnemyManager::OnScaffoldExplosion()
{
    if (m_Wave != "wave_34" || m_WaveEnemies.empty())
        return;
    bool thrown = false;
    for (auto& entry : m_WaveEnemies) {
        CEnemy* enemy = entry.second;
        const std::string name = enemy->GetName();
        if (enemy->getIA()->GetState() == CIAEnemyCover::DEAD || (name.size() > 4 && name[4] == 'D'))
            continue;
        float yaw = -1.137f;
        if (name == "ene_45")
            yaw = -2.437f;
        else if (name == "ene_42")
            yaw = 1.237f;
        else if (name == "ene_43")
            yaw = 2.137f;
        enemy->GetPosition().SetYaw(yaw);
        enemy->getIA()->StartFlyingPallet();
        thrown = true;
    }
    if (thrown)
        getSoundManager().playThisSampleOnce("data/sound/kelmoth.wav", 1.0f);
}

bool CEnemyManager::onlyDockersAliveAndKilled()
{
    if (m_WaveEnemies.empty())
        return false;
    CEnemy* done = nullptr;
    for (auto& entry : m_WaveEnemies) {
        CEnemy* enemy = entry.second;
        if (enemy->getIA()->IsDestroyed())
            continue;
        const std::string name = enemy->GetName();
        if (name.size() <= 4 || name[4] != 'D')
            return false;
        if (enemy->getIA()->IsDockerDone())
            done = enemy;
    }
    if (!done)
        return false;
    done->getIA()->destroyThisGuy();
    return true;
}

CEnemyManager* getEnemyManager()
{
    static CEnemyManager manager;
    return &manager;
}
