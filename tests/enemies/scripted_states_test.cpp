// Enemies steered by the level scripts and the wave logic: acting, waiting,
// kamikaze, evade, the melee hand-over, the pallet blast, the dockers and the
// plane's Thompson gunner.
#include "enemies/fake_senses.h"

#include <filesystem>
#include <sstream>
#include <utility>

#include "enemies/EnemyAnimNames.h"
#include "gui/Subtitles.h"
#include "math/VectorMath.h"
#include "platform/bass.h"
#include "sound/SoundManager.h"
#include "world/Parapet.h"
#include "world/TriggerManager.h"

namespace enemytest {
namespace {

const char kScriptTypes[] = R"(<TYPES>
  <TYPE tName="soldado"><CONSTANTS topLife="100" step="3" turn="2" nearDist="120" viewDist="0"
    lostDist="5000" alarmDist="1400" canCover="1" canMove="1"/></TYPE>
</TYPES>)";

// The hero's side of the melee hand-over, as the enemy asks for it.
class FightSenses : public FakeSenses {
public:
    void HeroStartsFight(CEnemy* opponent, int kind) override
    {
        fights.push_back({opponent, kind});
        fighting = true;
    }
    void HeroFaces(const D3DXVECTOR3& point) override { faced.push_back(point); }

    std::vector<std::pair<CEnemy*, int>> fights;
    std::vector<D3DXVECTOR3> faced;
};

// An enemy's weapon that keeps every shot asked of it.
class RecordingWeapon : public IWeapon {
public:
    RecordingWeapon(const char* name, float cadence)
    {
        m_Name = name;
        m_Cadence = cadence;
    }
    struct Shot {
        float at;  // the owner's AI clock
        int spread;
        int step;
    };
    bool FireEnemyShot(CLocation, int spread) override
    {
        shots.push_back({owner ? owner->GetClock() : 0.0f, spread, -1});
        return true;
    }
    bool FireThompsonShot(CLocation, int spread, int burstStep) override
    {
        shots.push_back({owner ? owner->GetClock() : 0.0f, spread, burstStep});
        return true;
    }
    std::vector<Shot> shots;
    const CIAEnemyCover* owner = nullptr;
};

// The game's sound on the recording back end and the shipped subtitles, once
// per run; the working folder is the shipped one meanwhile.
void OpenSoundAndTexts()
{
    // Opened afresh for each test: another test may have closed the sound
    // (or left lines playing on the few channels each file has).
    BASS_Free();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    platform::audio::UseRecorder([] { return std::uint64_t(0); });
    getSoundManager().Init(nullptr);
    getSoundManager().Unmute();  // whatever muted it last
    getSubtitulos().LoadTexts("data/XML/subtitulos.xml");
    std::filesystem::current_path(previous);
}

bool LogicActive(const std::string& name)
{
    return getTriggerManager().getTriggerLogicByName(name)->active;
}

// Whether the model's only cycle is "name": clearing it at once leaves none.
bool PlaysOnlyAnimation(CCharacterEntity* entity, const std::string& name)
{
    entity->Update(1.0f);
    if (entity->GetCycleCount() != 1)
        return false;
    entity->ClearCycle(name, 0.0f);
    entity->Update(0.01f);
    return entity->GetCycleCount() == 0;
}

class ScriptedStatesTest : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));
        SetEnemySenses(&senses);
        for (const char* name : {"uno", "dos", "tres", "ene5_2", "espera"})
            getTriggerManager().getTriggerLogicByName(name)->active = false;
    }
    void TearDown() override
    {
        for (const auto& entry : Manager().GetCurrentWaveEnemies())
            entry.second->getIA()->FreeParapet();
        SetEnemySenses(nullptr);
        EnemyTest::TearDown();
    }

    CEnemy* One(const std::string& name, float x, float z, float yawDegrees = 0.0f, const std::string& wave = "wave_02",
                const std::string& scripts = "", const std::string& count = "0", const std::string& room = "room01")
    {
        EnemyEntry e{name, "soldado", Point(x, 0, z, yawDegrees)};
        e.scripts = scripts;
        e.numOfScripts = count;
        if (count != "0")
            e.state = "";  // its scripts have it wait
        Load(ListXml(room, WaveXml(wave, {e})), room, wave, kScriptTypes);
        // Enemies start facing +Z whatever their first point's turn: the
        // cases that need a heading give it here.
        CEnemy* enemy = Enemy(name);
        if (enemy)
            enemy->GetPosition().SetYaw(yawDegrees * kPi / 180.0f);
        return enemy;
    }
    static void MoveTo(CEnemy* enemy, float x, float z) { enemy->GetPosition().SetPosition(D3DXVECTOR3(x, 0, z)); }

    FightSenses senses;
};

TEST(EnemyAnimNames, EveryUseByWeaponAndTheThompsonsAimForAStrangeWeapon)
{
    // Names for "SHOTGUN", "THOMPSON", "GUN" and a weapon of another name.
    const EnemyCoverPose high{true, false}, highStart{true, true};
    const struct {
        EnemyAnim use;
        const char* names;
        EnemyCoverPose pose;
    } rows[] = {
        {EnemyAnim::Stand, "idle_escopeta idle_thompson idle_ostrel idle_ostrel"},
        {EnemyAnim::WalkTrack, "andar andar andar andar"},
        {EnemyAnim::Aim, "aiming_shotgun aiming_thompson aiming aiming_thompson"},
        {EnemyAnim::Shot, "fire_shotgun fire_thompson aiming_fire fire_thompson"},
        {EnemyAnim::StepLeft, "pasoizquierdo_escopeta pasoizquierdo_thompson pasolateral_izquierdo "
                              "pasolateral_izquierdo"},
        {EnemyAnim::StepRight, "pasoderecho_escopeta pasoderecho_thompson pasolateral_derecho pasolateral_derecho"},
        {EnemyAnim::ReloadStanding, "reload_escopeta reload_thompson reload_ostrel reload_ostrel"},
        {EnemyAnim::Roll, "roll_escopeta roll_thompson roll roll"},
        {EnemyAnim::JumpBox, "jumpescopetbox jumpthompsonbox jumpostrelbox jumpostrelbox"},
        {EnemyAnim::JumpOther, "jumpescopetman jumpthompsonman jumpostrelman jumpostrelman"},
        {EnemyAnim::CoverExit, "palto_escopeta_exit palto_thompson_exit palto_ostrel_exit palto_ostrel_exit", high},
        {EnemyAnim::LeanOut, "pBajo_escopeta_asomarida pBajo_thompson_asomarida pBajo_ostrel_asomarida "
                                "pBajo_ostrel_asomarida"},
        {EnemyAnim::LeanBack, "palto_escopeta_asomarvueltaR palto_thompson_asomarvueltaR "
                              "palto_ostrel_asomarvueltaR palto_ostrel_asomarvueltaR", highStart},
        {EnemyAnim::FlyingPalletIdle, "paletavolador_idle00 paletavolador_idle00 paletavolador_idle00 "
                                      "paletavolador_idle00"},
    };
    for (const auto& row : rows) {
        std::istringstream names(row.names);
        for (const char* weapon : {"SHOTGUN", "THOMPSON", "GUN", "BAZOOKA"}) {
            std::string name;
            names >> name;
            EXPECT_EQ(EnemyAnimName(row.use, weapon, row.pose), name) << weapon;
        }
    }
}

TEST_F(EnemyTest, EveryEnemyModelHasEveryAnimationTheEnemiesPlay)
{
    std::vector<std::string> names = {"aiming_thompson", "paletavolador", "paletavolador_idle00", "senalando",
                                      "armleft", "armright", "legleft", "legright", "torax1", "torax2",
                                      "death_grave", "death_graveIdle00", "death_jump", "death_jump_idle",
                                      "death_knees", "death_knees_idle", "headdead", "headdeadIdle", "vuelta",
                                      "vueltaIdle"};
    for (int k = static_cast<int>(EnemyAnim::Stand); k <= static_cast<int>(EnemyAnim::Pointing); ++k)
        for (const char* weapon : {"GUN", "SHOTGUN", "THOMPSON"})
            names.push_back(EnemyAnimName(static_cast<EnemyAnim>(k), weapon));
    for (const char* model : {"enemy", "enemyWhite", "portuario"}) {
        CCharacterEntity* entity = getModelsManager().CreateModelInstance(model);
        ASSERT_NE(entity, nullptr) << model;
        for (const std::string& name : names) {
            EXPECT_TRUE(entity->BlendCycle(name, 1.0f, 0.0f)) << model << " " << name;
            entity->ClearAllCycles(0.0f);
        }
        delete entity;
    }
}

TEST_F(ScriptedStatesTest, EachTurnInActingStartsTheNextScriptThenIdleAndEne52WaitsAgain)
{
    CIAEnemyCover* ai = One("ene_1", 0, 5000, 0, "wave_02", "uno-dos-tres", "3")->getIA();
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::WAITING);
    ai->SetState("ACTING_STATE");
    const char* names[] = {"uno", "dos", "tres"};
    for (int i = 0; i < 3; ++i) {
        ai->Update(0.1f);
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(LogicActive(names[n]), n <= i) << "turn " << i << " " << names[n];
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::ACTING) << i;
        EXPECT_EQ(ai->GetScriptIndex(), i + 1);
    }
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::IDLE);

    // "ene5_2" first: back to waiting after each script it starts.
    ai = One("ene_1", 0, 5000, 0, "wave_02", "ene5_2-espera", "2")->getIA();
    ai->SetState("ACTING_STATE");
    ai->Update(0.1f);
    EXPECT_TRUE(LogicActive("ene5_2"));
    EXPECT_FALSE(LogicActive("espera"));
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::WAITING);
    ai->Update(5.0f);
    EXPECT_FALSE(LogicActive("espera"));
    ai->SetState("ACTING_STATE");
    ai->Update(0.1f);
    EXPECT_TRUE(LogicActive("espera"));
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::WAITING);
}

TEST_F(ScriptedStatesTest, AScriptedAnimationHoldsActingForItsTimeThenStops)
{
    CEnemy* enemy = One("ene_1", 0, 5000);
    CIAEnemyCover* ai = enemy->getIA();
    ai->setAnimScript("senalando", 0.5f);
    EXPECT_EQ(enemy->GetEntity()->GetActionCount(), 1);
    ai->Update(0.2f);
    ai->Update(0.2f);
    EXPECT_TRUE(ai->IsInScriptAnimation());
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::ACTING);
    ai->Update(0.2f);
    EXPECT_FALSE(ai->IsInScriptAnimation());
    EXPECT_EQ(enemy->GetEntity()->GetActionCount(), 0) << "the animation stops with its time";
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::IDLE);

    // A hero who aims nearby alarms an actor, but never in wave_04.
    for (const char* wave : {"wave_02", "wave_04"}) {
        ai = One("ene_1", 0, 1000, 0, wave)->getIA();
        ai->setAnimScript("senalando", 5.0f);
        senses.readyToShoot = true;
        ai->Update(0.1f);
        senses.readyToShoot = false;
        EXPECT_EQ(ai->GetState() == CIAEnemyCover::ALARMED, std::string(wave) == "wave_02") << wave;
    }
}

// A wave's script may reach an enemy already shot dead (its alarm came after
// the shot): he stays dead, with no action left that would keep the wave
// playing his death for ever.
TEST_F(ScriptedStatesTest, TheDeadTakeNoScriptedState)
{
    CEnemy* enemy = One("ene_1", 0, 5000);
    CIAEnemyCover* ai = enemy->getIA();
    ai->destroyThisGuy();
    ai->setAnimScript("senalando", 1.0f);
    ai->setTalkScript("data/sound/b1QuienEsEse.ogg", 2.0f);
    ai->setMoveToCoverState("");
    ai->setKamikazeState();
    ai->setWaitingState(0.0f, "");
    ai->setTrackerScript(true, "IDLE_STATE");
    ai->setSearchingState();
    ai->setDockersState();
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::DEAD);
    EXPECT_EQ(enemy->GetEntity()->GetActionCount(), 0);
    EXPECT_FALSE(ai->IsInScriptAnimation());
    EXPECT_FALSE(Manager().anyBotAlive()) << "the wave is cleared";
}

TEST_F(ScriptedStatesTest, ATalkLineLastsItsTimeAndNeverFallsBelow60Percent)
{
    OpenSoundAndTexts();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    CSoundManager& sound = getSoundManager();
    const char* line = "data/sound/dockersInutiles.ogg";
    // The line starts no lower than 0.6; then it follows the distance, down
    // to the one-shot channel's own floor of 0.3.
    const struct Case {
        float distance;
        float volume;
        float following;
    } cases[] = {{200.0f, 0.8f, 0.8f}, {500.0f, 0.6f, 0.5f}, {3000.0f, 0.6f, 0.3f}};
    senses.inCover = true;  // nobody notices him in passing
    for (const Case& c : cases) {
        CEnemy* enemy = One("ene_1", c.distance, 0, 0);
        CIAEnemyCover* ai = enemy->getIA();
        ai->setTalkScript(line, 0.5f);
        const platform::audio::ChannelInfo info = platform::audio::QueryChannel(sound.oneShotChannel);
        EXPECT_EQ(info.file, line);
        EXPECT_NEAR(info.volume, c.volume * sound.effectsVolume, 1e-4f) << c.distance;
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::ACTING);
        ai->Update(0.2f);
        EXPECT_NEAR(platform::audio::QueryChannel(sound.oneShotChannel).volume, c.following * sound.effectsVolume,
                    1e-4f)
            << c.distance;
        ai->Update(0.2f);
        EXPECT_TRUE(ai->IsTalking());
        ai->Update(0.2f);
        EXPECT_FALSE(ai->IsTalking());
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::IDLE);
    }
    // A hit cuts the line short.
    CIAEnemyCover* ai = One("ene_1", 300, 0, 0)->getIA();
    ai->setTalkScript(line, 5.0f);
    const HCHANNEL talking = sound.oneShotChannel;
    ASSERT_EQ(platform::audio::QueryChannel(talking).state, platform::audio::ChannelState::Playing);
    ai->OnHit(5, "bo", D3DXVECTOR3(0, 0, 0));
    EXPECT_FALSE(ai->IsTalking());
    EXPECT_NE(platform::audio::QueryChannel(talking).state, platform::audio::ChannelState::Playing);
    std::filesystem::current_path(previous);
}

// An actor alarmed mid-line falls silent: his line is not left to play on,
// and a hit that comes later cuts no one else's. A docker talks on.
TEST_F(ScriptedStatesTest, AnAlarmSilencesATalkerSoALaterHitCutsNoOtherLine)
{
    OpenSoundAndTexts();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    CSoundManager& sound = getSoundManager();
    auto playing = [](HCHANNEL c) {
        return platform::audio::QueryChannel(c).state == platform::audio::ChannelState::Playing;
    };
    for (const char* name : {"ene_1", "ene_Dockers2"}) {
        const bool docker = std::string(name) == "ene_Dockers2";
        CIAEnemyCover* ai = One(name, 300, 0, 0)->getIA();
        ai->setTalkScript("data/sound/dockersInutiles.ogg", 5.0f);
        const HCHANNEL line = sound.oneShotChannel;
        ASSERT_TRUE(playing(line)) << name;
        // The hero aims nearby; no docker looks up for that: a script alarms him.
        if (docker) {
            ai->SetState("ALARMED_STATE");
        } else {
            senses.readyToShoot = true;
            ai->Update(0.1f);
            senses.readyToShoot = false;
        }
        ASSERT_EQ(ai->GetState(), CIAEnemyCover::ALARMED) << name;
        EXPECT_EQ(ai->IsTalking(), docker) << name;
        EXPECT_EQ(playing(line), docker) << name;
        if (docker)
            continue;
        sound.playThisSampleOnce("data/sound/b1QuienEsEse.ogg", 1.0f);
        const HCHANNEL other = sound.oneShotChannel;
        ASSERT_TRUE(playing(other));
        ai->OnHit(5, "bo", D3DXVECTOR3(0, 0, 0));
        EXPECT_TRUE(playing(other)) << "another's line plays on";
    }
    std::filesystem::current_path(previous);
}

TEST_F(ScriptedStatesTest, ATrackIsWalkedOnceAndATurretTrackEndsStillAndSearching)
{
    for (const char* last : {"Torret", "IDLE_STATE"}) {
        CEnemy* enemy = One("ene_1", 0, 5000);
        CIAEnemyCover* ai = enemy->getIA();
        const std::vector<D3DXVECTOR3> track = {{0, 0, 5300}, {300, 0, 5300}};
        ai->SetPatrolPoints(track);
        ai->setTrackerScript(true, last);
        EXPECT_TRUE(PlaysOnlyAnimation(enemy->GetEntity(), "andar"));
        ai->Update(0.1f);
        EXPECT_EQ(ai->GetDestination(), track[0]);
        EXPECT_TRUE(ai->WantsNewPosition());
        MoveTo(enemy, 0, 5292.5f);  // 7.5 short: not there yet
        ai->Update(0.1f);
        EXPECT_EQ(ai->GetTrackerIndex(), 0);
        MoveTo(enemy, 0, 5292.6f);
        ai->Update(0.1f);
        EXPECT_EQ(ai->GetTrackerIndex(), 1);
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::ACTING);
        MoveTo(enemy, 295, 5300);
        ai->Update(0.1f);
        EXPECT_FALSE(ai->IsTracking());
        const bool turret = std::string(last) == "Torret";
        EXPECT_EQ(ai->GetState(), turret ? CIAEnemyCover::SEARCHING : CIAEnemyCover::IDLE) << last;
        EXPECT_EQ(ai->CanMove(), !turret) << last;
    }
    // Running instead of walking.
    CEnemy* enemy = One("ene_1", 0, 5000);
    enemy->getIA()->setTrackerScript(false, "IDLE_STATE");
    EXPECT_TRUE(PlaysOnlyAnimation(enemy->GetEntity(), "run_ostrel"));
}

TEST_F(ScriptedStatesTest, WaitingForeverOrUntilItsLogicIsDueAndNothingInWave37)
{
    CEnemy* enemy = One("ene_1", 0, 5000);
    CIAEnemyCover* ai = enemy->getIA();
    ai->setWaitingState(0.0f, "espera");
    EXPECT_TRUE(PlaysOnlyAnimation(enemy->GetEntity(), "idle_ostrel"));
    for (int i = 0; i < 50; ++i)
        ai->Update(0.2f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::WAITING);
    EXPECT_FALSE(LogicActive("espera"));

    ai->setWaitingState(1.0f, "espera");
    for (int i = 0; i < 4; ++i)
        ai->Update(0.2f);
    EXPECT_FALSE(LogicActive("espera"));
    EXPECT_TRUE(ai->IsWaitingForLogic());
    ai->Update(0.3f);
    EXPECT_TRUE(LogicActive("espera"));
    EXPECT_FALSE(ai->IsWaitingForLogic());
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::WAITING);

    // Only the alarm ends an endless wait; wave_37 hears nothing at all.
    for (const char* wave : {"wave_02", "wave_37"}) {
        getTriggerManager().getTriggerLogicByName("espera")->active = false;
        ai = One("ene_1", 0, 1000, 0, wave)->getIA();
        ai->setWaitingState(0.5f, "espera");
        senses.readyToShoot = true;
        ai->Update(1.0f);
        senses.readyToShoot = false;
        const bool w37 = std::string(wave) == "wave_37";
        EXPECT_EQ(ai->GetState(), w37 ? CIAEnemyCover::WAITING : CIAEnemyCover::ALARMED) << wave;
        EXPECT_FALSE(LogicActive("espera")) << wave;
    }
}

TEST_F(ScriptedStatesTest, AKamikazeLeavesCoverRunsAtTheHeroAndGivesUpWhenHeJumps)
{
    TParapet* cover = senses.AddCover("p_b_n_A_B_900", 0, 2000, 180);
    CEnemy* enemy = One("ene_1", 0, 2050);
    CIAEnemyCover* ai = enemy->getIA();
    ASSERT_TRUE(ai->TakeNamedCoverPoint("p_b_n_A_B_900"));
    ai->SetInCover(true);
    ai->setKamikazeState();
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::KAMIKAZE);
    EXPECT_TRUE(cover->free);
    EXPECT_FALSE(ai->IsInCover());
    EXPECT_EQ(enemy->GetEntity()->GetActionCount(), 1) << "the cover exit";
    EXPECT_FLOAT_EQ(ai->GetHoldTimer(), 0.8f);
    ai->Update(0.5f);
    EXPECT_FALSE(ai->IsMoving()) << "held while it leaves cover";
    senses.hero.SetPosition(D3DXVECTOR3(100, 0, 500));
    ai->Update(0.5f);
    EXPECT_TRUE(ai->WantsNewPosition());
    EXPECT_EQ(ai->GetDestination(), D3DXVECTOR3(100, 0, 500));
    senses.hero.SetPosition(D3DXVECTOR3(-100, 0, 600));
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetDestination(), D3DXVECTOR3(-100, 0, 600)) << "it follows where he is now";
    senses.jumping = true;
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING);
}

TEST_F(ScriptedStatesTest, EvadeKeepsTheFirstStateAndTargetAndTheResumeRunsNoEntry)
{
    CEnemy* enemy = One("ene_1", 0, 3000);
    CIAEnemyCover* ai = enemy->getIA();
    ai->EnterIdle();
    const D3DXVECTOR3 first(500, 0, 3000), second(600, 0, 3100);
    ai->EnterEvade(first, false);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::EVADE);
    EXPECT_EQ(ai->GetSecondState(), CIAEnemyCover::IDLE);
    const D3DXVECTOR3 kept = ai->GetEvadePoint();
    ai->EnterEvade(second, true);
    EXPECT_EQ(ai->GetSecondState(), CIAEnemyCover::IDLE) << "no second save";
    EXPECT_EQ(ai->GetEvadePoint(), kept);
    ai->SetEvadedObstacle("col_M1_caja");
    ai->Update(0.1f);
    EXPECT_TRUE(ai->WantsNewPosition());
    EXPECT_EQ(ai->GetDestination(), second);
    ai->LeaveEvade();
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::IDLE);
    EXPECT_EQ(ai->GetDestination(), kept);
    EXPECT_EQ(ai->GetEvadedObstacle(), "");
    EXPECT_TRUE(PlaysOnlyAnimation(enemy->GetEntity(), "run_ostrel")) << "IDLE's entry did not run";

    // A chase resumes toward where the hero is now.
    ai->setSearchingState();
    ai->EnterEvade(first, false);
    senses.hero.SetPosition(D3DXVECTOR3(-50, 0, 40));
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetEvadePoint(), D3DXVECTOR3(-50, 0, 40));
    EXPECT_EQ(ai->GetDestination(), first);
    senses.hero.SetPosition(D3DXVECTOR3(-70, 0, 60));
    ai->LeaveEvade();
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING);
    EXPECT_EQ(ai->GetDestination(), D3DXVECTOR3(-70, 0, 60));
}

// Sent round an obstacle on its way to cover, an enemy gives the cover up
// once more than 2.5 s have passed since it set out, if the hero is in its
// reach: it stands and shoots. Out of reach it keeps going.
TEST_F(ScriptedStatesTest, EvadingOnItsWayToCoverItShootsPastTwoAndAHalfSecondsInReach)
{
    RangedGun gun(900.0f);
    for (const float away : {500.0f, 3000.0f}) {
        CEnemy* enemy = One("ene_1", 0, away);
        enemy->SetWeapon(&gun);
        CIAEnemyCover* ai = enemy->getIA();
        ai->setMoveToCoverState("");
        ai->EnterEvade(D3DXVECTOR3(300, 0, away), false);
        // Steps of an eighth add up to 2.5 exactly.
        for (int i = 0; i < 20; ++i) {
            ai->Update(0.125f);
            ASSERT_EQ(ai->GetState(), CIAEnemyCover::EVADE) << away << " at " << 0.125f * (i + 1);
        }
        ai->Update(0.125f);
        EXPECT_EQ(ai->GetState(), away < 900.0f ? CIAEnemyCover::SHOOTING : CIAEnemyCover::EVADE) << away;
    }
}

TEST_F(ScriptedStatesTest, TheFightStartsBetween51And59FromTheHeroEvenOnHisOwnSpot)
{
    struct Case {
        D3DXVECTOR3 from;
        float yaw;
        D3DXVECTOR3 to;
    };
    const Case cases[] = {
        {{20, 0, 0}, 0, {52, 0, 0}},    // inside 51: out by a tenth of the offset
        {{0, 0, 100}, 0, {0, 0, 50}},   // beyond 59: in by a tenth
        {{40, 0, 20}, 0, {36, 0, 18}},  // 60 in Manhattan terms
        {{30, 0, 25}, 0, {30, 0, 25}},  // 55: it stays
        {{0, 0, 0}, 0, {0, 0, 55}},     // the hero's own spot: along its facing
        {{0, 0, 0}, 90, {55, 0, 0}},
    };
    for (const Case& c : cases) {
        CEnemy* enemy = One("ene_1", c.from.x, c.from.z, c.yaw);
        enemy->getIA()->PlaceAtFightingDistance();
        const D3DXVECTOR3 at = enemy->GetPosition().GetPosition();
        EXPECT_NEAR(at.x, c.to.x, 1e-3f) << c.from.x << " " << c.from.z;
        EXPECT_NEAR(at.z, c.to.z, 1e-3f) << c.from.x << " " << c.from.z;
    }
}

TEST_F(ScriptedStatesTest, AnEnemyThatReachesTheHeroHandsHimTheFightAndTheOthersFreeze)
{
    std::vector<EnemyEntry> wave = {EnemyEntry{"ene_1", "soldado", Point(20, 0, 0, 0)},
                                    EnemyEntry{"ene_2", "soldado", Point(0, 0, 90, 0)}};
    Load(ListXml("room01", WaveXml("wave_02", wave)), "room01", "wave_02", kScriptTypes);
    const char before = getPlayer()->CycleWeaponSlot();
    Manager().Update(0.1f);
    ASSERT_EQ(senses.fights.size(), 1u);
    CEnemy* first = senses.fights[0].first;
    CIAEnemyCover* ai = first->getIA();
    EXPECT_EQ(first->GetName(), "ene_1");
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::FIGHTING);
    // The hero's variant that was next, handed as the fight's kind ('1' is 49).
    const char expected = before == '4' ? '1' : static_cast<char>(before + 1);
    EXPECT_EQ(senses.fights[0].second, static_cast<int>(expected));
    EXPECT_EQ(getPlayer()->CycleWeaponSlot(), expected == '4' ? '1' : static_cast<char>(expected + 1));
    // Placed, facing the hero, who faces it.
    EXPECT_NEAR(first->GetPosition().GetPosition().x, 52.0f, 1e-3f);
    EXPECT_NEAR(WrapAngle(first->GetPosition().GetYaw()), -kPi / 2, 1e-3f);
    ASSERT_EQ(senses.faced.size(), 1u);
    EXPECT_EQ(senses.faced[0], first->GetPosition().GetPosition());
    EXPECT_EQ(senses.heroActionsStopped, 1);

    // The other stands frozen while the fight lasts; the partner is not asked again.
    CIAEnemyCover* other = Enemy("ene_2")->getIA();
    const float clock = other->GetClock();
    for (int i = 0; i < 5; ++i)
        Manager().Update(0.1f);
    EXPECT_FLOAT_EQ(other->GetClock(), clock);
    EXPECT_EQ(senses.fights.size(), 1u);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::FIGHTING);
}

TEST_F(ScriptedStatesTest, ThePalletBlastThrowsTheEnemyThatVanishesWhenItLands)
{
    CEnemy* enemy = One("ene_1", 0, 3000);
    Manager().Update(0.0f);  // the marker appears
    CIAEnemyCover* ai = enemy->getIA();
    ASSERT_TRUE(enemy->HasWarningMarker());
    ai->StartFlyingPallet();
    EXPECT_FALSE(enemy->HasWarningMarker());
    EXPECT_FLOAT_EQ(ai->GetHoldTimer(), 1.5f) << "the blast's own length";
    int frames = 0;
    for (; frames < 100 && !ai->IsDestroyed(); ++frames) {
        Manager().Update(0.1f);
        EXPECT_FALSE(ai->IsMoving());
    }
    EXPECT_GE(frames, 15);
    EXPECT_LE(frames, 17);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::DEAD);
    EXPECT_FALSE(enemy->GetEntity()->IsVisible());
}

// A docker as the island's wave has them: its own weapon, the hero facing it.
class DockerTest : public ScriptedStatesTest {
protected:
    CEnemy* Docker(const std::string& name, float heroDistance)
    {
        CEnemy* enemy = One(name, 0, 0, 0, "wave_32", "", "0", "room3");
        enemy->SetWeapon(&gun);
        gun.owner = enemy->getIA();
        senses.hero.SetPosition(D3DXVECTOR3(heroDistance, 0, 0));
        return enemy;
    }
    // Frames of dt until the condition holds; the time taken.
    template <typename F>
    float RunUntil(CEnemy* enemy, float dt, float limit, F done)
    {
        float t = 0.0f;
        while (t < limit && !done()) {
            Manager().Update(dt);
            t += dt;
        }
        return t;
    }
    RecordingWeapon gun{"GUN", 1.5f};
};

TEST_F(DockerTest, TheTauntByTheNamesDigitThenFourShotsAtCadenceDuckAndPause)
{
    OpenSoundAndTexts();
    struct Case {
        const char* name;
        const char* subtitle;
        float taunt;
    };
    for (const Case& c : {Case{"ene_Dockers1", "dockersAQEsperais", 2.1f},
                          Case{"ene_Dockers2", "dockersInutiles", 4.0f},
                          Case{"ene_Dockers7", "dockersAndamio", 4.0f}}) {
        CEnemy* enemy = Docker(c.name, 1389.0f);
        CIAEnemyCover* ai = enemy->getIA();
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        platform::audio::ClearStarted();
        getSubtitulos().ResetDisplay();
        ai->setDockersState();
        std::filesystem::current_path(previous);
        const std::string line = std::string("data/sound/") + c.subtitle + ".ogg";
        ASSERT_EQ(platform::audio::StartedFiles().size(), 1u) << c.name;
        EXPECT_EQ(platform::audio::StartedFiles()[0], line);
        getSubtitulos().Update(0.0f);
        EXPECT_EQ(getSubtitulos().CurrentText(), getSubtitulos().Table(false).at(c.subtitle).lines.at(0).text);
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::ACTING) << c.name;
        EXPECT_TRUE(ai->IsInScriptAnimation());
        EXPECT_FLOAT_EQ(WrapAngle(enemy->GetPosition().GetYaw()), 2.68f);
        EXPECT_FALSE(ai->CanMove());
        EXPECT_EQ(ai->GetSecondState(), CIAEnemyCover::DOCKERS);
        const float t = RunUntil(enemy, 0.05f, 10.0f, [&] { return ai->GetState() == CIAEnemyCover::DOCKERS; });
        EXPECT_NEAR(t, c.taunt + 0.05f, 0.06f) << c.name;
    }
    CEnemy* enemy = Docker("ene_Dockers1", 1389.0f);
    CIAEnemyCover* ai = enemy->getIA();
    ai->setDockersState();
    RunUntil(enemy, 0.05f, 10.0f, [&] { return ai->GetState() == CIAEnemyCover::DOCKERS; });
    gun.SetClipAndAmmo(0, 0);
    // The pause of 2.5 s, then it rises: the first shot at once.
    const float wait = RunUntil(enemy, 0.05f, 10.0f, [&] { return !gun.shots.empty(); });
    EXPECT_NEAR(wait, 2.6f, 0.11f);
    ASSERT_FALSE(gun.shots.empty()) << "it never rose to fire";
    EXPECT_EQ(gun.shots[0].spread, 1) << "its accuracy";
    EXPECT_EQ(gun.GetCurrentClip(), 6) << "refilled after each shot: it never reloads";
    EXPECT_EQ(gun.GetAmmo(), 6);
    RunUntil(enemy, 0.05f, 20.0f, [&] { return gun.shots.size() == 4 && ai->IsInCover(); });
    ASSERT_EQ(gun.shots.size(), 4u);
    for (size_t i = 1; i < 4; ++i) {
        const float gap = gun.shots[i].at - gun.shots[i - 1].at;
        EXPECT_GT(gap, 1.5f) << i;
        EXPECT_LT(gap, 1.56f) << i;
    }
    // Down for the duck (1 s) and the pause (2.5 s), then up and firing again.
    const float down = RunUntil(enemy, 0.05f, 20.0f, [&] { return gun.shots.size() == 5; });
    EXPECT_NEAR(down, 1.0f + 2.5f + 0.4f + 0.1f, 0.16f);
    EXPECT_EQ(enemy->GetLife(), 100);
}

TEST_F(DockerTest, TooFarAwayItNeverRisesAndAHitDucksItForGoodOnceTheDuckHasPlayed)
{
    CEnemy* enemy = Docker("ene_Dockers1", 1400.0f);
    CIAEnemyCover* ai = enemy->getIA();
    ai->SetState("DOCKERS_STATE");
    // Through its name it taunts twice.
    RunUntil(enemy, 0.05f, 2.2f, [] { return false; });
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::ACTING) << "the second taunt";
    EXPECT_TRUE(ai->IsInScriptAnimation());
    float t = 2.2f + RunUntil(enemy, 0.05f, 10.0f, [&] { return ai->GetState() == CIAEnemyCover::DOCKERS; });
    EXPECT_NEAR(t, 4.25f, 0.11f);
    RunUntil(enemy, 0.1f, 20.0f, [] { return false; });
    EXPECT_TRUE(gun.shots.empty()) << "1400 away";

    senses.hero.SetPosition(D3DXVECTOR3(1389, 0, 0));
    RunUntil(enemy, 0.05f, 5.0f, [&] { return !gun.shots.empty(); });
    ASSERT_EQ(gun.shots.size(), 1u);
    ai->OnHit(50, "bo", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(enemy->GetLife(), 10);
    // The shot's animation ends, then it ducks.
    RunUntil(enemy, 0.05f, 5.0f, [&] { return ai->IsInCover(); });
    ASSERT_TRUE(ai->IsInCover());
    EXPECT_FALSE(ai->IsDockerDone());
    // Something else still plays on: not done while the model acts.
    ASSERT_GT(enemy->GetEntity()->ExecuteAction("combo3", 0.0f, 0.0f, 1.0f, false), 0.0f);
    RunUntil(enemy, 0.05f, 1.5f, [] { return false; });
    EXPECT_GT(enemy->GetEntity()->GetActionCount(), 0);
    EXPECT_FALSE(ai->IsDockerDone());
    t = RunUntil(enemy, 0.05f, 5.0f, [&] { return ai->IsDockerDone(); });
    EXPECT_EQ(enemy->GetEntity()->GetActionCount(), 0);
    EXPECT_LT(t, 2.0f);
    RunUntil(enemy, 0.1f, 10.0f, [] { return false; });
    EXPECT_EQ(gun.shots.size(), 1u) << "it stays down";
    EXPECT_TRUE(ai->IsInCover());
}

TEST_F(ScriptedStatesTest, TheGunnerFiresBurstsOf40ThirteenTightThenPausesFourAndAHalfSeconds)
{
    CEnemy* enemy = One("ene_Avioneta", 0, 3000, 0, "wave_04");
    // A cadence shorter than the frame: still one shot a frame.
    RecordingWeapon thompson("THOMPSON", 0.05f);
    enemy->SetWeapon(&thompson);
    CIAEnemyCover* ai = enemy->getIA();
    thompson.owner = ai;
    senses.hero.SetPosition(D3DXVECTOR3(500, 0, 3000));
    ai->EnterAimingThompson();
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::AIMING_THOMPSON);
    EXPECT_FALSE(enemy->GetEntity()->IsVisible());
    EXPECT_NEAR(WrapAngle(enemy->GetPosition().GetYaw()), kPi / 2, 1e-3f) << "turned to the hero";
    EXPECT_TRUE(PlaysOnlyAnimation(enemy->GetEntity(), "aiming_thompson"));

    auto frame = [&]() {
        const size_t before = thompson.shots.size();
        enemy->Update(0.1f);
        return thompson.shots.size() - before;
    };
    // Nothing for 3.2 s; the burst comes on, then one shot a frame.
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(frame(), 0u) << i;
    int frames = 0;
    while (thompson.shots.empty() && frames++ < 3)
        frame();
    ASSERT_EQ(thompson.shots.size(), 1u);
    EXPECT_NEAR(thompson.shots[0].at, 3.35f, 0.1f);
    while (thompson.shots.size() < 40 && frames++ < 100)
        EXPECT_EQ(frame(), 1u);
    ASSERT_EQ(thompson.shots.size(), 40u);
    // The tracers leave from the gunner's weapon, up where the plane is.
    const D3DXVECTOR3 muzzle = thompson.GetModel().GetTransform().GetPosition();
    EXPECT_LT(ManhattanDistanceXZ(muzzle, D3DXVECTOR3(0, 0, 3000)), 100.0f);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(thompson.shots[i].spread, i < 13 ? 0 : 2) << i;
        EXPECT_EQ(thompson.shots[i].step, i < 13 ? i : 13) << i;
    }
    // The pause of 4.5 s, then the next burst from a tight start again.
    const float last = thompson.shots.back().at;
    while (thompson.shots.size() == 40 && ai->GetClock() < last + 10.0f)
        frame();
    ASSERT_EQ(thompson.shots.size(), 41u);
    EXPECT_NEAR(thompson.shots[40].at - last, 4.75f, 0.11f);
    EXPECT_EQ(thompson.shots[40].spread, 0);
    EXPECT_EQ(thompson.shots[40].step, 0);
}

} // namespace
} // namespace enemytest
