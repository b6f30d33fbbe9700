// A new game, each checkpoint restart and the switch to the island, against a
// stand-in that writes down what the restart asks of the other managers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/GameStateFlags.h"
#include "app/LevelRestart.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/MissionText.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "world/TriggerManager.h"

namespace {

using Strings = std::vector<std::string>;

std::string Point(const D3DXVECTOR3& p)
{
    char text[96];
    std::snprintf(text, sizeof(text), "%g %g %g", p.x, p.y, p.z);
    return text;
}

class RecordingWorld : public ILevelWorld {
public:
    void StopSceneSounds() override
    {
        // Whether the island's record was already set when the sounds stopped.
        Log(std::string("StopSceneSounds") + (getGSF().hangaresLevel ? "" : " (island)"));
    }
    void PauseAllTypical() override { Log("PauseAllTypical"); }
    void ResumeAllTypical() override { Log("ResumeAllTypical"); }
    void Mute() override { Log("Mute"); }
    void Unmute() override { Log("Unmute"); }
    void PlayRadioHangar() override { Log("RadioHangar"); }
    void PlayRadioIsland() override { Log("RadioIsland"); }
    void PlaySampleOnce(const std::string& file, float volume) override
    {
        Log("Sample " + file + " " + Number(volume));
    }
    void PlaySceneSounds(const std::string& file1, float volume1, bool on1, const std::string& file2, float volume2,
                         bool on2, const std::string& file3, float volume3, bool on3) override
    {
        Log("Scene " + file1 + " " + Number(volume1) + (on1 ? " on, " : " off, ") + file2 + " " + Number(volume2) +
            (on2 ? " on, " : " off, ") + "'" + file3 + "' " + Number(volume3) + (on3 ? " on" : " off"));
    }
    void ShowSubtitle(const std::string& key) override { Log("Subtitle " + key); }
    void ResetWaves() override { Log("ResetWaves"); }
    std::string CurrentWave() override { return "wave_12"; }
    void KillWave(const std::string& wave) override { Log("KillWave " + wave); }
    void SetNewZone(const std::string& room, const std::string& wave) override { Log("Zone " + room + " " + wave); }
    void ResetTriggers() override { Log("ResetTriggers"); }
    void ResetParticles(bool ambient) override { Log(ambient ? "ParticlesWithAmbient" : "Particles"); }
    void CreateEmitter(const std::string& type, const D3DXVECTOR3& position) override
    {
        Log("Emitter " + type + " " + Point(position));
    }
    void ClearRigidAnims() override { Log("RigidClear"); }
    void ResetRigidAnims() override { Log("RigidReset"); }
    void PlayRigid(const std::string& name, bool loop) override { Log("Rigid " + name + (loop ? " loop" : "")); }
    void PlayCam(const std::string& name) override { Log("Cam " + name); }
    void LoadLevel(const std::string& level) override { Log("Level " + level); }
    void SetupScene() override { Log("SetupScene"); }
    void RemoveCollisionBody(const std::string& name) override { Log("RemoveBody " + name); }
    void SetRemainingHits(int hits) override { Log("Hits " + std::to_string(hits)); }
    void ForgetHangarFire() override { Log("ForgetHangarFire"); }
    void ResetParapets() override { Log("ResetParapets"); }
    void RestoreStartMatrix(const std::string& name) override { Log("Matrix " + name); }
    void LoadCamera(const D3DXVECTOR3& hero) override { Log("Camera"); }
    void SetCameraYaw(float yaw) override { Log("CameraYaw " + Number(yaw)); }
    void ReleaseHero() override { Log("ReleaseHero"); }
    void HeroIdle() override { Log("HeroIdle"); }
    void CreateWeapons() override { Log("CreateWeapons"); }
    void RestoreCheckpointAmmo() override { Log("RestoreAmmo"); }
    void SetHeroBody(const D3DXVECTOR3& position) override { Log("Body " + Point(position)); }

    void Log(const std::string& call) { calls.push_back(call); }
    static std::string Number(float v)
    {
        char text[32];
        std::snprintf(text, sizeof(text), "%g", v);
        return text;
    }
    // The calls that start with the prefix, in order.
    Strings Starting(const std::string& prefix) const
    {
        Strings out;
        for (const std::string& call : calls)
            if (call.compare(0, prefix.size(), prefix) == 0)
                out.push_back(call);
        return out;
    }
    bool Has(const std::string& call) const { return std::count(calls.begin(), calls.end(), call) > 0; }
    // Position of a call in the log; the end when absent.
    std::size_t At(const std::string& call) const
    {
        return static_cast<std::size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
    }

    Strings calls;
};

class LevelRestart : public ::testing::Test {
protected:
    void SetUp() override
    {
        getGSF().resetStates();
        getGSF().sequence = getGSF().hangarRigidState = getGSF().islaSequence = 0;
        getGUI().Init(800, 600);
        getGUI().mainMenuActive = false;
        getRigid()->dockersEscapeStage = 0;
        getRigid()->dockersTimer = 7.0f;
        getRigid()->crateBroken2 = getRigid()->crateBroken3 = true;
        getPlayer()->SetLife(20);
        getPlayer()->firstSequenceFlag = getPlayer()->secondSequenceFlag = false;
        getTriggerManager().currentZone = 0;
        getAchievementStats().ResetForNewGame();
        for (const char* logic : kLogics)
            getTriggerManager().getTriggerLogicByName(logic)->active = false;
    }
    void TearDown() override
    {
        getTriggerManager().checkpoint = 1;
        getGSF().resetStates();
    }
    Strings ActiveLogics()
    {
        Strings active;
        for (const char* logic : kLogics)
            if (getTriggerManager().getTriggerLogicByName(logic)->active)
                active.push_back(logic);
        return active;
    }
    static constexpr const char* kLogics[] = {"checkPoint1", "checkPoint2", "checkPoint3", "checkPoint4",
                                              "checkPoint5", "ene10_1",     "ene31_0",     "ene33_0",
                                              "ene33_1",     "ene47_1",     "Wave31"};
    RecordingWorld world;
};

const Strings kPlanks = {"Matrix maderitas3_ROTO_1", "Matrix maderitas3_ROTO_2", "Matrix maderitas3_ROTO_3",
                         "Matrix maderitas3_ROTO_4", "Matrix maderitas3_ROTO_5", "Matrix maderitas2_ROTO_1",
                         "Matrix maderitas2_ROTO_2", "Matrix maderitas2_ROTO_3", "Matrix maderitas2_ROTO_4"};
const Strings kDoors = {"Matrix Hangar_PUERTA_DER", "Matrix Hangar_PUERTA_IZQ"};
const Strings kScaffold = {"Matrix isla_madera_andamio_EXPLO_10", "Matrix isla_madera_andamio_EXPLO_06"};
const std::string kIntroAtFull =
    "Scene data/sound/ZvIntroFaro.ogg 1 on, data/sound/introIsla.ogg 1 on, '' 1 off";
const std::string kMission = "Sample data/sound/mission.wav 0.4";

TEST_F(LevelRestart, EachCheckpointPutsTheHeroTheLevelTheWavesAndTheStoryBack)
{
    using G = CGameStateFlagsManager;
    const struct {
        int checkpoint;
        const char* level;
        const char* place;
        float yaw;
        int zone;
        Strings logics;
        Strings enemyZone;
        bool hangaresLevel;
        int sequence, hangarRigidState, islaSequence;
        Strings samples;
        int mission;
        Strings matrices;
        bool idle, resumed;
        bool firstFlag, secondFlag;
        Strings bodies;
    } cases[] = {
        {1, "hangares", "-1159.4 9.231 -665.515", 1.5f, 1, {"checkPoint1"}, {}, true, G::HangaresIntroDone,
         G::RigidasHangaresIdle, 0, {kMission}, 1, kPlanks, true, true, false, false, {}},
        {2, "hangares", "1316.95 9.24 499.93", -1.14f, 1, {"checkPoint2", "ene10_1"}, {"Zone room01 wave_05"}, true,
         G::ReadyCamEmpalado, G::RigidaEneAvionetaDone, 0, {}, 3, kDoors, true, true, false, false,
         {"RemoveBody col_avion_bucle", "RemoveBody col_055", "RemoveBody col_056"}},
        {3, "isla", "1120.89 26.1259 -912.779", -1.76f, 2, {"checkPoint3", "ene31_0"}, {"Zone room3 wave_31"}, false, 0,
         0, G::ReadyCamIslaIntro, {}, 6, kScaffold, true, false, true, false, {}},
        {4, "isla", "-1007.4 375 -509.552", -0.98f, 2, {"checkPoint4", "ene33_0", "ene33_1"}, {"Zone room3 wave_32"},
         false, 0, 0, G::IslaIntroDone, {kMission}, 7, kScaffold, false, true, true, true, {}},
        {5, "isla", "-2297.4 375 -163.31", -0.51f, 2, {"checkPoint5", "ene47_1"}, {"Zone room3 wave_35"}, false, 0,
         0, 0, {kMission}, 10, {}, true, true, true, true,
         {"RemoveBody col_isla_214", "RemoveBody col_isla_215"}},
    };
    for (const auto& c : cases) {
        SetUp();
        world.calls.clear();
        getTriggerManager().checkpoint = c.checkpoint;
        getAchievementStats().propsShot = 3;
        RestartLevel(false, world);
        const std::string at = "checkpoint " + std::to_string(c.checkpoint);

        EXPECT_EQ(Point(getPlayer()->GetPosition().GetPosition()), c.place) << at;
        EXPECT_FLOAT_EQ(getPlayer()->GetPosition().GetYaw(), c.yaw) << at;
        EXPECT_TRUE(world.Has("CameraYaw " + RecordingWorld::Number(c.yaw))) << at;
        EXPECT_EQ(world.Starting("Body "), Strings{"Body " + std::string(c.place)}) << at;
        EXPECT_EQ(getPlayer()->GetLife(), 350) << at;
        EXPECT_EQ(getTriggerManager().currentZone, c.zone) << at;
        EXPECT_EQ(world.Starting("Level "), Strings{"Level " + std::string(c.level)}) << at;
        EXPECT_TRUE(world.Has(c.zone == 1 ? "RadioHangar" : "RadioIsland")) << at;
        EXPECT_EQ(ActiveLogics(), c.logics) << at;
        EXPECT_EQ(world.Starting("Zone "), c.enemyZone) << at;
        EXPECT_EQ(world.Starting("KillWave "), (Strings{"KillWave wave_12", "KillWave wave_00"})) << at;
        EXPECT_EQ(getGSF().hangaresLevel, c.hangaresLevel) << at;
        EXPECT_EQ(getGSF().sequence, c.sequence) << at;
        EXPECT_EQ(getGSF().hangarRigidState, c.hangarRigidState) << at;
        EXPECT_EQ(getGSF().islaSequence, c.islaSequence) << at;
        EXPECT_EQ(world.Starting("Sample "), c.samples) << at;
        EXPECT_EQ(getGUI().currentMission, c.mission) << at;
        // Where a flight follows that raises the banner as it ends, the
        // restart only makes it the one the pause menu brings back.
        if (c.mission)
            EXPECT_EQ(getGUI().missionBannerActive[c.mission], c.checkpoint != 2 && c.checkpoint != 3) << at;
        EXPECT_EQ(world.Starting("Matrix "), c.matrices) << at;
        EXPECT_EQ(world.Has("HeroIdle"), c.idle) << at << ": the scaffold keeps the hero's cycles";
        EXPECT_EQ(world.Has("ResumeAllTypical"), c.resumed) << at << ": the island's opening keeps them paused";
        EXPECT_EQ(getPlayer()->firstSequenceFlag, c.firstFlag) << at;
        EXPECT_EQ(getPlayer()->secondSequenceFlag, c.secondFlag) << at;
        EXPECT_EQ(world.Starting("RemoveBody "), c.bodies) << at;
        EXPECT_EQ(world.Starting("Emitter ").size(), c.checkpoint == 2 ? 10u : 0u) << at;
        EXPECT_EQ(world.Has("Rigid Luz_Faro loop"), c.zone == 2) << at << ": the lighthouse turns on the island";
        EXPECT_LT(world.At("RestoreAmmo"), world.At("Body " + std::string(c.place))) << at;
        EXPECT_LT(world.At("CreateWeapons"), world.At("RestoreAmmo")) << at;
        EXPECT_FALSE(world.Has("ResetTriggers")) << at << ": the Lua state lives on";
        EXPECT_FALSE(getRigid()->crateBroken2 || getRigid()->crateBroken3) << at;
        EXPECT_EQ(getAchievementStats().propsShot, 3) << at << ": a restart keeps the counts";
    }
}

TEST_F(LevelRestart, TheSpecialStepsOfTheHangarFireTheIslandIntroAndTheDockers)
{
    getTriggerManager().checkpoint = 2;
    RestartLevel(false, world);
    EXPECT_FALSE(getGSF().pierIntact);
    EXPECT_TRUE(world.Has("Hits 9"));
    const Strings emitters = world.Starting("Emitter ");
    ASSERT_EQ(emitters.size(), 10u);
    EXPECT_EQ(emitters.front(), "Emitter humo 1123.23 0 553.7");
    EXPECT_EQ(emitters[6], "Emitter humo 1197.48 87 444.7");
    EXPECT_EQ(emitters.back(), "Emitter sangre_infinita 13.48 138 501.7");
    EXPECT_TRUE(world.Has("ParticlesWithAmbient"));

    SetUp();
    world.calls.clear();
    getTriggerManager().checkpoint = 3;
    RestartLevel(false, world);
    EXPECT_TRUE(world.Has(kIntroAtFull));
    EXPECT_TRUE(world.Has("Subtitle ZvIntroFaro"));
    EXPECT_TRUE(world.Has("ForgetHangarFire"));
    EXPECT_TRUE(world.Has("Particles"));
    EXPECT_LT(world.At("ForgetHangarFire"), world.At("Rigid Luz_Faro loop"));

    SetUp();
    world.calls.clear();
    getTriggerManager().checkpoint = 4;
    RestartLevel(false, world);
    EXPECT_EQ(getRigid()->dockersTimer, 0.0f);
    EXPECT_FALSE(world.Has("Subtitle ZvIntroFaro"));

    SetUp();
    getTriggerManager().checkpoint = 5;
    RestartLevel(false, world);
    EXPECT_EQ(getRigid()->dockersEscapeStage, 2);
}

TEST_F(LevelRestart, ACheckpointNumberOutsideTheListRestartsAtTheFirst)
{
    for (int number : {9, 0, -3}) {
        SetUp();
        world.calls.clear();
        getTriggerManager().checkpoint = number;
        RestartLevel(false, world);
        EXPECT_EQ(Point(getPlayer()->GetPosition().GetPosition()), "-1159.4 9.231 -665.515") << number;
        EXPECT_EQ(getTriggerManager().currentZone, 1) << number << ": trigger zone 0 would fire nothing again";
        EXPECT_EQ(getTriggerManager().checkpoint, 1) << number;
        EXPECT_EQ(world.Starting("Level "), Strings{"Level hangares"}) << number;
        EXPECT_EQ(ActiveLogics(), Strings{"checkPoint1"}) << number;
    }
}

TEST_F(LevelRestart, ANewGameStartsTheHangarsFreshButKeepsTheAwards)
{
    getAchievementStats().propsShot = 4;
    getAchievementStats().awarded[2] = true;
    getGSF().setPlayingCamIntroHangares();
    getPlayer()->firstSequenceFlag = true;
    RestartLevel(true, world);

    EXPECT_EQ(getPlayer()->GetLife(), 350);
    EXPECT_FLOAT_EQ(getPlayer()->GetPosition().GetYaw(), 1.5f);
    EXPECT_TRUE(world.Has("CameraYaw 1.5"));
    EXPECT_EQ(getGSF().sequence, CGameStateFlagsManager::ReadyVinyetasIntro1) << "the record starts over";
    EXPECT_FALSE(getPlayer()->firstSequenceFlag);
    EXPECT_EQ(getAchievementStats().propsShot, 0);
    EXPECT_TRUE(getAchievementStats().awarded[2]);
    EXPECT_EQ(getTriggerManager().currentZone, 1);
    Strings tail = kPlanks;
    tail.insert(tail.end(), kDoors.begin(), kDoors.end());
    tail.push_back("RadioHangar");
    ASSERT_GE(world.calls.size(), tail.size());
    EXPECT_EQ(Strings(world.calls.end() - tail.size(), world.calls.end()), tail)
        << "planks and doors back in place, then the hangar radio";
    for (const char* step : {"ResetTriggers", "ResetParapets", "CreateWeapons", "HeroIdle", "ReleaseHero",
                             "ParticlesWithAmbient", "Level hangares", "Unmute"})
        EXPECT_TRUE(world.Has(step)) << step;
    EXPECT_LT(world.At("Mute"), world.At("Level hangares"));
    EXPECT_LT(world.At("Level hangares"), world.At("Unmute"));
}

// The mission line of the stretch left behind (the plane's, a docker's)
// does not follow the hero into the restarted one, or into a new game.
TEST_F(LevelRestart, ARestartTakesTheLeftStretchsMissionLineAndBannerOffTheScreen)
{
    CMissionText& line = getMissionText();
    line.addText("Derriba la avioneta");
    CGUIManager& gui = getGUI();
    for (bool newGame : {false, true}) {
        line.setMission(line.getLastMission());
        line.Update(9.0f);
        ASSERT_TRUE(line.IsShowing());
        getTriggerManager().checkpoint = 2;
        gui.showMission(2);
        gui.missionBannerTimer[2] = 5.0f;
        RestartLevel(newGame, world);
        EXPECT_FALSE(line.IsShowing()) << (newGame ? "new game" : "checkpoint");
        line.Update(0.1f);
        EXPECT_FALSE(line.IsShowing());
        EXPECT_FALSE(gui.missionBannerActive[2]) << (newGame ? "new game" : "checkpoint");
        // Raised again, it stays its whole time.
        gui.showMission(2);
        EXPECT_EQ(gui.missionBannerTimer[2], 0.0f);
    }
}

// Back to the main menu from the island and a new game: its first death
// puts the hero back in the hangars, not on the island.
TEST_F(LevelRestart, ANewGameStartsFromTheFirstCheckpoint)
{
    getTriggerManager().checkpoint = 4;
    RestartLevel(true, world);
    EXPECT_EQ(getTriggerManager().checkpoint, 1);
    world.calls.clear();
    RestartLevel(false, world);
    EXPECT_TRUE(world.Has("Level hangares"));
    EXPECT_FALSE(world.Has("Level isla"));
}

TEST_F(LevelRestart, TheSwitchToTheIslandRunsOnceWithTheIntroAtSevenTenths)
{
    getGSF().hangaresLevel = true;
    getGSF().setReadyLevelSwitchIsla();
    SwitchLevelToIsla(world);
    EXPECT_FALSE(getGSF().isReadyLevelSwitchIsla()) << "so the frame update does not switch again";
    EXPECT_TRUE(getGSF().isPlayingCamIslaIntro());
    EXPECT_FALSE(getGSF().hangaresLevel);
    EXPECT_EQ(getTriggerManager().currentZone, 2);
    EXPECT_EQ(ActiveLogics(), (Strings{"ene31_0", "Wave31"}));
    const Strings expected = {
        "ReleaseHero",
        "RigidClear",
        "Particles",
        "Level isla",
        "SetupScene",
        "Rigid Luz_Faro loop",
        "Zone room3 wave_31",
        "ResetParapets",
        "RadioIsland",
        "StopSceneSounds (island)",
        "PauseAllTypical",
        "Subtitle ZvIntroFaro",
        "Scene data/sound/ZvIntroFaro.ogg 1 on, data/sound/introIsla.ogg 0.7 on, '' 1 off",
        "Cam camara_isla_intro",
        kScaffold[0],
        kScaffold[1],
    };
    EXPECT_EQ(world.calls, expected);
    EXPECT_EQ(getPlayer()->GetLife(), 20) << "the switch is no restart";
}

} // namespace
