// The level flow the enemy manager carries: checkpoints and the dockers'
// flight on entering a zone, the island's waves following one another, the
// plane, hangar-door and pallet events, and the return to the first zone.
#include "enemies/enemy_fixture.h"

#include <algorithm>

#include "app/GameStateFlags.h"
#include "gui/GUIManager.h"
#include "platform/bass.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/IController.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"
#include "world/TriggerManager.h"

namespace enemytest {
namespace {

namespace fs = std::filesystem;
using platform::audio::StartedFiles;

class WaveFlow : public EnemyTest {
protected:
    static void SetUpTestSuite()
    {
        EnemyTest::SetUpTestSuite();
        platform::audio::UseRecorder([] { return std::uint64_t{0}; });
        getSoundManager().Init(nullptr);
    }
    static void TearDownTestSuite()
    {
        BASS_Free();
        platform::audio::UseRecorder(nullptr);
    }

    void SetUp() override
    {
        EnemyTest::SetUp();
        m_Previous = fs::current_path();
        // The events play the shipped sounds by their paths.
        fs::current_path(VANTOREL_WORKDIR);
        getRigid()->dockersEscapeStage = 0;
        getRigid()->scriptedSequenceRunning = false;
        getTriggerManager().checkpoint = 1;
        for (const char* logic : kLogics)
            getTriggerManager().getTriggerLogicByName(logic)->active = false;
        getGSF().resetStates();
        getGUI().currentMission = 0;
        getCamera().SetFov(0.7f);
        getParticleManager().Reset();
        platform::audio::ClearStarted();
    }
    void TearDown() override
    {
        getRigid()->dockersEscapeStage = 0;
        getRigid()->scriptedSequenceRunning = false;
        fs::current_path(m_Previous);
        EnemyTest::TearDown();
    }

    static bool Active(const char* logic) { return getTriggerManager().getTriggerLogicByName(logic)->active; }
    static bool Started(const std::string& file)
    {
        return std::count(StartedFiles().begin(), StartedFiles().end(), file) > 0;
    }
    static int Emitters(const std::string& type)
    {
        int count = 0;
        for (const auto& emitter : getParticleManager().GetEmitters())
            count += emitter->GetType() && emitter->GetType()->name == type;
        return count;
    }
    // A docker whose routine is over: hit, in cover, its hold run out.
    static void FinishDocker(const char* name)
    {
        CIAEnemyCover* ai = Enemy(name)->getIA();
        ai->OnHit(1, "bo", D3DXVECTOR3(0, 0, 0));
        ai->SetInCover(true);
        ai->Hold(0.01f, false);
        ai->Update(0.1f);
        ASSERT_TRUE(ai->IsDockerDone()) << name;
    }

    static constexpr const char* kLogics[] = {"ene33_0", "ene37_1", "ene42_0", "Wave36", "ene10_1", "ene25_1"};
    fs::path m_Previous;
};

std::string IslandList()
{
    return ListXml("room3", WaveXml("wave_31", Row({"ene_31"})) + WaveXml("wave_32", Row({"ene_33", "ene_Dockers1"})) +
                                WaveXml("wave_33", Row({"ene_37", "ene_Dockers2"})) +
                                WaveXml("wave_34", Row({"ene_42", "ene_Dockers3"})) +
                                WaveXml("wave_35", Row({"ene_47"})) + WaveXml("wave_36", Row({"ene_50"})));
}

TEST_F(WaveFlow, TheIslandWavesFollowOneAnotherEachWithItsLogic)
{
    Load(IslandList(), "room3", "wave_31");
    EXPECT_EQ(getTriggerManager().checkpoint, 3);
    getTriggerManager().checkpoint = 1;
    // Someone still stands: nothing moves on.
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_31");
    Enemy("ene_31")->getIA()->destroyThisGuy();
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_32");
    EXPECT_TRUE(Active("ene33_0"));
    EXPECT_EQ(getTriggerManager().checkpoint, 4);
    // The new wave is already the one the rest of that update worked on.
    EXPECT_EQ(Manager().GetTrackedCount(), 2);

    // A docker's wave waits for the others, then for a finished docker.
    FinishDocker("ene_Dockers1");
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_32");
    Enemy("ene_33")->getIA()->destroyThisGuy();
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_33");
    EXPECT_TRUE(Active("ene37_1"));
    // The finished docker went as the test answered.
    EXPECT_TRUE(Manager().GetRooms().at("room3").at("wave_32").at("ene_Dockers1")->getIA()->IsDestroyed());
    Enemy("ene_37")->getIA()->destroyThisGuy();
    FinishDocker("ene_Dockers2");
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_34");
    EXPECT_TRUE(Active("ene42_0"));

    // The scaffold has blown up: wave 35 begins without the dockers' flight.
    getRigid()->dockersEscapeStage = 1;
    Enemy("ene_42")->getIA()->destroyThisGuy();
    FinishDocker("ene_Dockers3");
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_35");
    EXPECT_EQ(getTriggerManager().checkpoint, 4);
    EXPECT_FALSE(Manager().IsFrozen());
    Enemy("ene_47")->getIA()->destroyThisGuy();
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_36");
    EXPECT_TRUE(Active("Wave36"));
    // The last wave has no rule.
    Enemy("ene_50")->getIA()->destroyThisGuy();
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_36");
}

TEST_F(WaveFlow, TheDockerTestIsAskedOnlyOnItsOwnWave)
{
    // A finished docker in wave 31 is not destroyed by the docker test.
    Load(ListXml("room3", WaveXml("wave_31", Row({"ene_Dockers1", "ene_31"}))), "room3", "wave_31");
    FinishDocker("ene_Dockers1");
    Manager().Update(0.1f);
    EXPECT_FALSE(Enemy("ene_Dockers1")->getIA()->IsDestroyed());
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_31");
    // A docker wave moves on for a finished docker only, not for an empty one.
    Load(IslandList(), "room3", "wave_32");
    Enemy("ene_33")->getIA()->destroyThisGuy();
    Enemy("ene_Dockers1")->getIA()->destroyThisGuy();
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_32");
    // In another room the same wave digits mean nothing.
    Load(ListXml("room01", WaveXml("wave_02", Row({"ene_Dockers1"}))), "room01", "wave_02");
    FinishDocker("ene_Dockers1");
    Manager().Update(0.1f);
    EXPECT_FALSE(Enemy("ene_Dockers1")->getIA()->IsDestroyed());
    Load(ListXml("room01", WaveXml("wave_01", {})), "room01", "wave_01");
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_01") << "an empty hangar wave waits for its volume";
}

TEST_F(WaveFlow, TheDockersFlightPlaysOnlyWhileTheScaffoldStands)
{
    const D3DXVECTOR3 away(5.0f, 0.0f, 5.0f);
    for (int stage : {1, 2}) {
        Load(IslandList(), "room3", "wave_34");
        getTriggerManager().checkpoint = 4;
        getPlayer()->GetPosition().SetPosition(away);
        getRigid()->dockersEscapeStage = stage;
        Manager().setNewZone("room3", "wave_35");
        EXPECT_EQ(getTriggerManager().checkpoint, 4) << stage;
        EXPECT_NE(getGSF().islaSequence, CGameStateFlagsManager::PlayingVinyetasDockersHuye) << stage;
        EXPECT_EQ(getPlayer()->GetPosition().GetPosition(), away) << stage;
        EXPECT_FALSE(Manager().IsFrozen()) << stage;
        EXPECT_FALSE(getRigid()->scriptedSequenceRunning) << stage;
    }

    Load(IslandList(), "room3", "wave_34");
    getRigid()->dockersEscapeStage = 0;
    // The hero aiming with the trigger held when the panels take him.
    CPlayer* player = getPlayer();
    player->Init();
    CControllerSelector* selector = player->GetControllerSelector();
    ASSERT_NE(selector, nullptr);
    selector->SwitchToAiming();
    selector->GetAimingController()->OnActionPressed(ACTION_FIRE);
    ASSERT_TRUE(selector->GetAimingController()->IsFireHeld());
    Manager().setNewZone("room3", "wave_35");
    EXPECT_TRUE(selector->IsFree());
    EXPECT_FALSE(selector->GetAimingController()->IsFireHeld());
    EXPECT_EQ(getTriggerManager().checkpoint, 5);
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::PlayingVinyetasDockersHuye);
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    EXPECT_NEAR(hero.x, -2297.4f, 1e-3f);
    // The body's centre goes there; the hero stands on its feet.
    EXPECT_NEAR(hero.y, 365.0f, 1e-3f);
    EXPECT_NEAR(hero.z, -163.31f, 1e-3f);
    EXPECT_NEAR(getPlayer()->GetPosition().GetYaw(), -0.51f, 1e-5f);
    EXPECT_TRUE(Manager().IsFrozen());
    EXPECT_TRUE(getRigid()->scriptedSequenceRunning);
    EXPECT_NEAR(getCamera().GetFov(), 0.87266463f, 1e-6f);
    EXPECT_NEAR(getCamera().GetSavedFov(), 0.7f, 1e-6f);
    EXPECT_TRUE(Started("data/sound/cubridme.ogg"));
    EXPECT_TRUE(Started("data/sound/DondeVasDockers.wav"));
    EXPECT_EQ(Manager().GetZoneLetter(), 'B');
    // The enemies wait for the scripts while the panels play.
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetTrackedCount(), 0);
}

TEST_F(WaveFlow, ThePlaneDownPlaysTheSecondComicAndWaveFive)
{
    Load(ListXml("room01", WaveXml("wave_04", Row({"ene_Avioneta", "ene_12"})) +
                                WaveXml("wave_05", Row({"ene_13", "ene_14"}))),
         "room01", "wave_04");
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_04");
    Enemy("ene_Avioneta")->getIA()->destroyThisGuy();
    Enemy("ene_12")->getIA()->destroyThisGuy();
    Manager().Update(0.1f);
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_05");
    EXPECT_EQ(Manager().GetZoneLetter(), 'B');
    EXPECT_TRUE(Active("ene10_1"));
    EXPECT_EQ(getGSF().sequence, CGameStateFlagsManager::PlayingSecondMovie);
    EXPECT_EQ(getGSF().hangarRigidState, CGameStateFlagsManager::RigidaEneAvionetaDone);
    EXPECT_TRUE(Manager().IsFrozen());
    EXPECT_TRUE(getRigid()->scriptedSequenceRunning);
    EXPECT_NEAR(getCamera().GetFov(), 0.61086524f, 1e-6f);
    EXPECT_NEAR(getCamera().GetSavedFov(), 0.7f, 1e-6f);
    EXPECT_EQ(Emitters("humo"), 7);
    EXPECT_EQ(Emitters("sangre_infinita"), 3);
    for (const char* file : {"data/sound/explode1.wav", "data/sound/vinyetas_avionWARRA3.wav", "data/sound/Trozo2.wav"})
        EXPECT_TRUE(Started(file)) << file;
    // Once: wave 05 no longer matches.
    getParticleManager().Reset();
    Manager().resumeIA();
    Manager().Update(0.1f);
    EXPECT_EQ(Emitters("humo"), 0);
}

TEST_F(WaveFlow, TheHangarDoorOpensOnTheLastWaveWithMissionFive)
{
    Load(ListXml("room01", WaveXml("wave_08", Row({"ene_20"})) + WaveXml("wave_09", Row({"ene_25", "ene_26"}))),
         "room01", "wave_08");
    Manager().getHangarOpenLastWave();
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_09");
    EXPECT_EQ(Manager().GetZoneLetter(), 'D');
    EXPECT_TRUE(Active("ene25_1"));
    EXPECT_EQ(getGSF().hangarRigidState, CGameStateFlagsManager::PlayingRigidasHangarOpen);
    EXPECT_EQ(getGUI().currentMission, 5);
    EXPECT_TRUE(Started("data/sound/mission.wav"));
    EXPECT_TRUE(Started("data/sound/mcHangExpl.ogg"));
    EXPECT_FALSE(Manager().IsFrozen());
}

TEST_F(WaveFlow, TheHangarBlastThrowsEveryStandingEnemyOfWaveNine)
{
    const std::vector<std::string> names = {"ene_25", "ene_26", "ene_27", "ene_28", "ene_X"};
    Load(ListXml("room01", WaveXml("wave_08", Row({"ene_25"})) + WaveXml("wave_09", Row(names))), "room01",
         "wave_08");
    // Outside wave 09 nothing happens.
    Manager().playPaletaVoladoresHangarExplosivo();
    EXPECT_FALSE(Enemy("ene_25")->getIA()->DiesWithoutAnimation());
    EXPECT_TRUE(StartedFiles().empty());

    Manager().setNewZone("room01", "wave_09");
    Enemy("ene_27")->getIA()->destroyThisGuy();
    const float before = Enemy("ene_27")->GetPosition().GetYaw();
    Manager().playPaletaVoladoresHangarExplosivo();
    const std::pair<const char*, float> yaws[] = {{"ene_25", 2.48f}, {"ene_26", -2.55f}, {"ene_28", -2.9f}, {"ene_X", 1.04f}};
    for (const auto& y : yaws) {
        EXPECT_NEAR(Enemy(y.first)->GetPosition().GetYaw(), y.second, 1e-5f) << y.first;
        EXPECT_TRUE(Enemy(y.first)->getIA()->DiesWithoutAnimation()) << y.first;
    }
    EXPECT_EQ(Enemy("ene_27")->GetPosition().GetYaw(), before) << "the dead stay as they lie";
    EXPECT_TRUE(Started("data/sound/kelmoth.wav"));

    // With every enemy dead: no sound.
    platform::audio::ClearStarted();
    for (const std::string& name : names)
        Enemy(name)->getIA()->destroyThisGuy();
    Manager().playPaletaVoladoresHangarExplosivo();
    EXPECT_TRUE(StartedFiles().empty());
}

TEST_F(WaveFlow, ResetWavesUnfreezesStartsOverAndFreesTheOldEnemies)
{
    Load(ListXml("room01", WaveXml("wave_00", Row({"ene_002"})) + WaveXml("wave_03", Row({"ene_10", "ene_11"}))),
         "room01", "wave_03");
    Manager().Update(0.1f);
    const int live = CEnemy::LiveCount();
    CEnemy* old = Enemy("ene_10");
    getPlayer()->Init();
    CControllerSelector* selector = getPlayer()->GetControllerSelector();
    ASSERT_NE(selector, nullptr);
    selector->SwitchToFighting(old, 49);
    Manager().freezeIA();

    Manager().ResetWaves();
    EXPECT_FALSE(Manager().IsFrozen());
    EXPECT_EQ(Manager().GetCurrentRoom(), "room01");
    EXPECT_EQ(Manager().GetCurrentWave(), "wave_00");
    // A fresh set; the old one, nothing left pointing at it, goes with the
    // next update (the frame's draw lists were made before the reset).
    EXPECT_EQ(CEnemy::LiveCount(), live + 3);
    EXPECT_EQ(Manager().GetTrackedCount(), 0);
    EXPECT_EQ(Manager().GetTrackedEnemies()[0], nullptr);
    Manager().Update(0.0f);
    EXPECT_EQ(CEnemy::LiveCount(), live);
    EXPECT_EQ(selector->GetFightingController()->GetOpponent(), nullptr) << "the hero's fight let go";
    selector->SwitchToFree(false, false);
    ASSERT_NE(Enemy("ene_002"), nullptr);
    EXPECT_FALSE(Enemy("ene_002")->getIA()->IsDestroyed());
}

} // namespace
} // namespace enemytest
