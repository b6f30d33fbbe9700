// The story: which comic panels and flights each code of the record starts,
// what their end stores, what is called on the way, and what a skip does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gui/GUIManager.h"
#include "scene/rigid_fixture.h"

namespace {

using namespace rigidtest;
using G = CGameStateFlagsManager;

const float kSequencerS45 = std::sqrt(0.5f);

// Every group the sequencer plays, each with a one-second flight; the intro
// comic moves one panel.
class SequencerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        getGSF().resetStates();
        manager.SetWorld(&world);
        const std::string prefix = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string body;
        const char* flights[] = {"vinyetas_intro1", "vinyetas_intro2", "camara_intro_hangares",
                                 "camara_avioneta_nueva2", "camara_avioneta_nueva3", "camara_empalado",
                                 "vinyetas_final_hangares", "camara_isla_intro", "creditos", "vinyetas_predockers",
                                 "Memoriam", "vinyetas_dockers_huye", "Luz_Faro", "camara_combo_patada",
                                 "camara_hangar"};
        for (const char* flight : flights) {
            const std::string pos = prefix + "_" + flight + "_pos";
            const std::string look = prefix + "_" + flight + "_look";
            // The eye climbs 10 along +X; its orientation gives up = +Y.
            std::vector<Sample> eye = Line(0, 10, 3);
            for (Sample& s : eye)
                s.q = D3DXQUATERNION(kSequencerS45, 0, 0, kSequencerS45);
            WriteFile(std::string(CRigidAnimManager::kTrackFolder) + pos, TrackText(pos, 3, 1.0f, eye));
            WriteFile(std::string(CRigidAnimManager::kTrackFolder) + look, TrackText(look, 3, 1.0f, Line(0, 0, 3)));
            body += std::string("<ANIMACION name=\"") + flight + "\"><PARTE name=\"" + pos +
                    "\" malla=\"cam_pos\" pos_inicial=\"100 50 0\"/><PARTE name=\"" + look +
                    "\" malla=\"cam_look\" pos_inicial=\"0 0 500\"/>";
            if (std::string(flight) == "vinyetas_intro1")
                body += "<PARTE name=\"" + look + "\" malla=\"vinyeta1_escena\"/>";
            body += "</ANIMACION>";
        }
        const std::string loop = prefix + "_bucle";
        WriteFile(std::string(CRigidAnimManager::kTrackFolder) + loop, TrackText(loop, 3, 4.0f, Line(0, 0, 3)));
        body += "<ANIMACION name=\"nueva_avioneta_bucle\"><PARTE name=\"" + loop +
                "\" malla=\"AVION_NUEVO_CUERPO_BUCLE\"/></ANIMACION>";
        body += "<ANIMACION name=\"explosion_hangar\"><PARTE name=\"" + loop + "\" malla=\"HANGAR_TECHO\"/></ANIMACION>";
        WriteFile("lists/" + prefix, "<LISTA>" + body + "</LISTA>");
        manager.LoadList("lists/" + prefix);
        manager.Reset();
    }

    // One update; the calls it made.
    std::vector<std::string> Step(float dt = 0.1f)
    {
        world.calls.clear();
        manager.Update(dt);
        return world.calls;
    }
    // Updates until the running flight has ended (at most 3 s).
    void RunOutFlight()
    {
        for (int i = 0; i < 30 && manager.camSequenceRunning; ++i)
            Step(0.1f);
    }
    // Updates while the first level's code stays (at most 3 s).
    void RunWhile(int code)
    {
        for (int i = 0; i < 30 && record.sequence == code; ++i)
            Step(0.1f);
    }

    G& record = getGSF();
    RecordingWorld world;
    CRigidAnimManager manager;
};

TEST_F(SequencerTest, NewGamePlaysBothComicsThenTheHarbourFlightAndStartsPlayWithMissionOne)
{
    Step();
    EXPECT_EQ(record.sequence, G::PlayingVinyetasIntro1);
    for (const char* call : {"LeaveMenu", "FadeOutToBlack 1", "Fov 0.610865", "FreezeIA", "PauseTypical",
                             "Scene data/sound/comicIntro.ogg data/sound/lluvia.ogg data/sound/intro_1+2.ogg",
                             "Subtitle intro_1+2"})
        EXPECT_TRUE(world.Called(call)) << call;
    EXPECT_TRUE(manager.scriptedSequenceRunning);
    EXPECT_TRUE(world.freeCamera);
    EXPECT_EQ(manager.oneShotAnims.count("vinyeta1_escena"), 1u);

    // The comic's flight: a white fade in as it nears its end, then a white
    // flash into the second comic in the same update, which fades nothing.
    bool fadedIn = false;
    std::vector<std::string> calls;
    while (record.sequence == G::PlayingVinyetasIntro1) {
        calls = Step(0.1f);
        fadedIn = fadedIn || world.Called("FadeInFromWhite 0.3");
    }
    EXPECT_TRUE(fadedIn);
    EXPECT_EQ(record.sequence, G::PlayingVinyetasIntro2);
    EXPECT_TRUE(world.Called("FadeOutToWhite 0.3"));
    EXPECT_FALSE(world.Called("FadeOutToBlack 1"));
    EXPECT_TRUE(world.Called("RestoreFov"));
    EXPECT_LT(world.IndexOf("RestoreFov"), world.IndexOf("Fov 0.610865"));
    EXPECT_TRUE(manager.scriptedSequenceRunning);

    RunWhile(G::PlayingVinyetasIntro2);
    EXPECT_EQ(record.sequence, G::PlayingCamIntroHangares);
    for (const char* call : {"FadeOutToBlack 0.5", "StopScene", "Scene data/sound/intro_3++.ogg - -",
                             "Subtitle intro_3++", "ResumeTypical", "ResumeIA", "Trigger enemiesTravellingCamera"})
        EXPECT_TRUE(world.Called(call)) << call;
    EXPECT_FALSE(manager.scriptedSequenceRunning);

    // Its flight runs with the camera's up from the eye track: (0, 1, 0).
    Step(0.5f);
    EXPECT_NEAR(world.camera.eye.x, 105.0f, 1e-3f);
    EXPECT_NEAR(world.camera.eye.y, 50.0f, 1e-3f);
    EXPECT_NEAR(world.camera.target.z, 500.0f, 1e-3f);
    EXPECT_GT(world.camera.cameraUp.y, 0.99f); // the view turned upright

    RunWhile(G::PlayingCamIntroHangares);
    EXPECT_EQ(record.sequence, G::HangaresIntroDone);
    EXPECT_TRUE(world.Called("Sample data/sound/mission.wav"));
    EXPECT_TRUE(world.Called("Mission 1"));
    EXPECT_FALSE(world.freeCamera);
    EXPECT_FALSE(manager.camSequenceRunning);
}

TEST_F(SequencerTest, SkippingTheFirstComicStartsTheHarbourFlightInTheSameUpdate)
{
    Step();
    world.skip = true;
    const std::vector<std::string> calls = Step();
    EXPECT_EQ(record.sequence, G::PlayingCamIntroHangares);
    EXPECT_TRUE(world.Called("ClearSubtitles"));
    EXPECT_TRUE(world.Called("RestoreFov"));
    EXPECT_TRUE(world.Called("FadeOutToBlack 0.5"));
    EXPECT_TRUE(world.Called("Scene data/sound/intro_3++.ogg - -"));
    EXPECT_TRUE(manager.oneShotAnims.empty());
    // The flight is skipped as well.
    Step();
    EXPECT_EQ(record.sequence, G::HangaresIntroDone);
    EXPECT_TRUE(world.Called("Mission 1"));
}

TEST_F(SequencerTest, SixFlightsAndTheComboCamerasCannotBeSkipped)
{
    struct Row {
        StoryCode* field;
        int code;
        const char* flight;
    };
    const Row rows[] = {
        {&record.sequence, G::PlayingCamHangaresLlegadaAvion, "camara_hangar"},
        {&record.sequence, G::PlayingCamAvionetaNueva2, "camara_avioneta_nueva2"},
        {&record.sequence, G::PlayingCamAvionetaNueva3, "camara_avioneta_nueva3"},
        {&record.islaSequence, G::PlayingCamIslaLlegadaPlaza, "camara_hangar"},
        {&record.islaSequence, G::PlayingCamIslaSegundaOleadaPlaza, "camara_hangar"},
        {&record.islaSequence, G::PlayingCamIslaOleadaAndamio, "camara_hangar"},
        {&record.sequence, G::HangaresIntroDone, "camara_combo_patada"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flight + std::string(" ") + std::to_string(row.code));
        record.resetStates();
        record.sequence = G::HangaresIntroDone;
        *row.field = row.code;
        manager.playCam(row.flight);
        world.skip = true;
        Step();
        EXPECT_TRUE(manager.camSequenceRunning);
        EXPECT_EQ(*row.field, row.code);
        world.skip = false;
        RunOutFlight();
    }
    // The combo camera plays in the hero's frame, keeps his life as it is,
    // and ends when the fight says so.
    world.calls.clear();
    world.heroPosition = D3DXVECTOR3(1000, 0, 0);
    world.heroYaw = 1.5707964f;
    manager.playCam("camara_combo_patada");
    EXPECT_FALSE(world.Called("RefillLife"));
    Step(0.0f);
    EXPECT_NEAR(world.camera.eye.x, 1000.0f, 1e-2f); // (100, 50, 0) turned a quarter: (0, 50, -100)
    EXPECT_NEAR(world.camera.eye.z, -100.0f, 1e-2f);
    manager.SetComboCamera();
    Step();
    EXPECT_FALSE(manager.camSequenceRunning);
    manager.playCam("camara_hangar");
    EXPECT_TRUE(world.Called("RefillLife"));
}

TEST_F(SequencerTest, EachEndedSequenceStoresItsNextCodeAndStartsWhatThatCodeMakesReady)
{
    struct Row {
        int sequence;
        int isla;
        bool hangaresLevel;
        int newSequence;
        int newIsla;
        std::vector<std::string> calls;
    };
    const int done = G::HangaresIntroDone;
    const std::vector<Row> rows = {
        {G::PlayingVinyetasIntro1, 116, true, G::PlayingCamIntroHangares, 116, {"FadeOutToBlack 0.5"}},
        {G::PlayingVinyetasIntro2, 116, true, G::PlayingCamIntroHangares, 116, {"FadeOutToBlack 0.5"}},
        {G::PlayingCamIntroHangares, 116, true, done, 116, {"FadeOutToBlack 0.5", "Mission 1"}},
        {G::PlayingCamHangaresLlegadaAvion, 116, true, G::PlayingCamAvionetaNueva2, 116, {"FadeOutToBlack 1"}},
        {G::PlayingCamAvionetaNueva2, 116, true, G::PlayingCamAvionetaNueva3, 116,
         {"Zone room01 wave_04", "Trigger ene7_1", "Trigger Wave5"}},
        {G::PlayingCamAvionetaNueva3, 116, true, G::HangaresAvionetaDone, 116,
         {"Mission 2", "Scene data/sound/flyby2.wav - -"}},
        {G::PlayingSecondMovie, 116, true, G::PlayingCamEmpalado, 116,
         {"FadeOutToBlack 0.5", "StoreCheckpoint", "Checkpoint 2"}},
        {G::PlayingCamEmpalado, 116, true, G::HangaresEmpaladoDone, 116, {"Mission 3"}},
        {G::PlayingCamHangar, 116, true, G::PlayingVinyetasFinalHangares, 116,
         {"Scene data/sound/vinyetas_isla.ogg - -", "Subtitle vinyetas_isla", "Fov 0.610865"}},
        {G::PlayingVinyetasFinalHangares, 116, true, G::PlayingVinyetasFinalHangares, G::ReadyLevelSwitchIsla,
         {"FadeOutToBlack 0.5"}},
        {G::PlayingVinyetasFinalHangares, G::PlayingCamIslaIntro, false, 6, G::IslaIntroDone,
         {"Destroy51To53", "Mission 6"}},
        {done, G::PlayingCamIslaLlegadaPlaza, false, done, G::IslaLlegadaPlazaDone, {"Mission 7"}},
        {done, G::PlayingCamIslaSegundaOleadaPlaza, false, done, G::IslaSegundaOleadaPlazaDone, {"Mission 8"}},
        {done, G::PlayingCamIslaOleadaAndamio, false, done, G::PlayingCamIslaOleadaAndamio, {"Mission 9"}},
        {done, G::PlayingVinyetasDockersHuye, false, done, G::PlayingVinyetasDockersHuye,
         {"Trigger ene47_1", "Sample data/sound/DondeVasDockers.wav", "Subtitle DondeVasDockers", "Mission 10"}},
        {done, G::PlayingVinyetasPredockers, false, done, G::PlayingVinyetasPredockers, {"FinalBattle"}},
        {done, G::PlayingMemoriam, false, done, G::PlayingCreditos, {"Scene data/sound/CheekToCheek.ogg - -"}},
        // The credits' end: back to the main menu, the record reset, and the
        // first comic starting again behind the menu.
        {done, G::PlayingCreditos, false, G::PlayingVinyetasIntro1, G::ReadyCamIslaIntro,
         {"MainMenu", "Checkpoint 1", "FadeOutToBlack 1"}},
        {done, 116, true, done, 116, {"FadeOutToBlack 0.5"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.sequence) + " " + std::to_string(row.isla));
        record.resetStates();
        record.sequence = row.sequence;
        record.islaSequence = row.isla;
        record.hangaresLevel = row.hangaresLevel;
        world.wave = "wave_10";
        manager.cameraStopRequested = true;
        Step();
        EXPECT_EQ(record.sequence, row.newSequence);
        EXPECT_EQ(record.islaSequence, row.newIsla);
        for (const std::string& call : row.calls)
            EXPECT_TRUE(world.Called(call)) << call;
        manager.Clear();
        Step();
    }
    // The fade of the credits' end row is not there.
    record.resetStates();
    record.sequence = done;
    record.islaSequence = G::PlayingCreditos;
    manager.cameraStopRequested = true;
    Step();
    EXPECT_LT(world.IndexOf("FadeOutToBlack 1"), 0 + static_cast<int>(world.calls.size()));
    EXPECT_EQ(world.IndexOf("FadeOutToBlack 0.5"), -1);
}

TEST_F(SequencerTest, ReadyCodesStartTheirSequenceAndTheIslandIntroWaitsForTheIsland)
{
    struct Row {
        int isla;
        bool hangaresLevel;
        int newIsla;
        std::vector<std::string> calls;
    };
    const std::vector<Row> rows = {
        {G::ReadyCamIslaIntro, true, G::ReadyCamIslaIntro, {}},
        {G::ReadyCamIslaIntro, false, G::PlayingCamIslaIntro,
         {"Trigger enemiesTravellingCameraIsla", "Scene data/sound/ZvIntroFaro.ogg data/sound/introIsla.ogg -",
          "Subtitle ZvIntroFaro", "RefillLife"}},
        {G::ReadyCamIslaVinyetasIntroLucha, false, G::PlayingVinyetasPredockers, {"Fov 0.959931"}},
        {G::ReadyMemoriam, false, G::PlayingMemoriam,
         {"FadeOutToBlack 3", "Fov 0.959931", "Scene data/sound/final_juego.ogg - -", "Subtitle final_juego"}},
        {G::ReadyCreditos, false, G::PlayingCreditos, {"FadeOutToBlack 3", "FreezeIA"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.isla);
        record.resetStates();
        record.sequence = G::HangaresIntroDone;
        record.islaSequence = row.isla;
        record.hangaresLevel = row.hangaresLevel;
        Step();
        EXPECT_EQ(record.islaSequence, row.newIsla);
        EXPECT_EQ(manager.camSequenceRunning, row.newIsla != row.isla);
        for (const std::string& call : row.calls)
            EXPECT_TRUE(world.Called(call)) << call;
        manager.Clear();
        Step();
    }
}

TEST_F(SequencerTest, ThePlaneArrivesLoopsAndEndsOnlyWhenShotDown)
{
    record.sequence = G::HangaresIntroDone;
    record.hangarRigidState = G::RigidasHangaresLlegadaAvion;
    Step();
    EXPECT_EQ(record.hangarRigidState, G::PlayingRigidaEneAvioneta);
    EXPECT_EQ(manager.loopAnims.count("AVION_NUEVO_CUERPO_BUCLE"), 1u);
    EXPECT_TRUE(world.Called("Avioneta 2541.06 50 430.616"));
    // Both crate counters start above 0; only the plane's counters end the loop.
    for (int i = 0; i < 5; ++i)
        Step();
    EXPECT_EQ(record.hangarRigidState, G::PlayingRigidaEneAvioneta);
    world.planeFlying = false;
    Step();
    EXPECT_EQ(record.hangarRigidState, G::RigidaEneAvionetaDone);

    // Without the plane's enemy the loop still starts.
    world.hasAvioneta = false;
    record.hangarRigidState = G::RigidasHangaresLlegadaAvion;
    Step();
    EXPECT_EQ(record.hangarRigidState, G::PlayingRigidaEneAvioneta);
    EXPECT_FALSE(world.Called("Avioneta 2541.06 50 430.616"));

    const std::pair<int, int> others[] = {{G::RigidasHangaresDespegueAvion, G::RigidasHangaresDespegueAvionDone},
                                          {G::PlayingRigidasHangarOpen, G::RigidasHangarOpenDone}};
    for (const auto& row : others) {
        record.hangarRigidState = row.first;
        Step();
        EXPECT_EQ(record.hangarRigidState, row.second);
    }
}

TEST_F(SequencerTest, TheHangarExplosionMovesTheHeroOnceWhileSomethingPlays)
{
    record.sequence = G::HangaresIntroDone;
    record.hangarRigidState = G::RigidasHangarExplosion;
    Step();
    EXPECT_FALSE(world.Called("HeroBody 453.748 0.57 3567.08")); // nothing plays yet
    EXPECT_FALSE(manager.explosionTeleportArmed);

    manager.explosionTeleportArmed = true;
    manager.play("explosion_hangar", false);
    Step();
    EXPECT_TRUE(world.Called("HeroBody 453.748 0.57 3567.08"));
    EXPECT_TRUE(world.Called("LowCoverIdle 1 cleared"));
    EXPECT_FLOAT_EQ(world.heroYaw, -0.6f);
    EXPECT_TRUE(world.relocated);
    manager.explosionTeleportArmed = true;
    Step();
    EXPECT_FALSE(world.Called("HeroBody 453.748 0.57 3567.08"));
}

TEST_F(SequencerTest, TheBossEscapesMoreThanFourSecondsAfterTheScaffoldOnceTheThirdDockerIsDone)
{
    record.sequence = G::HangaresIntroDone;
    record.hangaresLevel = false;
    record.islaSequence = G::IslaIntroDone;
    manager.dockersEscapeStage = 1;
    world.docker3Done = true;
    Step(2.0f);
    Step(2.0f);
    EXPECT_EQ(manager.dockersEscapeStage, 1);
    world.docker3Done = false;
    Step(0.5f);
    EXPECT_EQ(manager.dockersEscapeStage, 1);
    world.wave = "wave_35";
    Step(0.1f);
    EXPECT_EQ(manager.dockersEscapeStage, 2);
    EXPECT_EQ(record.islaSequence, G::PlayingVinyetasDockersHuye);
    for (const char* call : {"HeroFree", "HeroEntity -0.51", "Checkpoint 5", "Fov 0.872665", "Trigger ene47_1",
                             "Subtitle cubridme", "FreezeIA"})
        EXPECT_TRUE(world.Called(call)) << call;
    EXPECT_TRUE(manager.scriptedSequenceRunning);
    EXPECT_FLOAT_EQ(manager.dockersTimer, 0.0f);
    // The panels' field of view comes after their sounds, subtitle and
    // trigger, just before the enemies stop.
    auto at = [&](const std::string& call) {
        return std::find(world.calls.begin(), world.calls.end(), call) - world.calls.begin();
    };
    EXPECT_LT(at("StopScene"), at("Subtitle cubridme"));
    EXPECT_LT(at("Subtitle cubridme"), at("Trigger ene47_1"));
    EXPECT_LT(at("Trigger ene47_1"), at("Fov 0.872665"));
    EXPECT_LT(at("Fov 0.872665"), at("FreezeIA"));

    world.wave = "wave_20";
    world.docker3Done = true;
    manager.dockersEscapeStage = 1;
    Step(4.5f);
    EXPECT_EQ(manager.dockersEscapeStage, 2);
}

TEST_F(SequencerTest, AFinishingMoveKeepsTheEndedFlightUntilItIsOver)
{
    record.sequence = G::PlayingCamIntroHangares;
    manager.playCam("camara_intro_hangares");
    world.finisher = true;
    manager.cameraStopRequested = true;
    Step();
    EXPECT_EQ(record.sequence, G::HangaresIntroDone);
    EXPECT_TRUE(manager.camSequenceRunning);
    Step();
    EXPECT_TRUE(world.Called("FadeOutToBlack 0.5")); // the end table again
    EXPECT_TRUE(manager.camSequenceRunning);
    world.finisher = false;
    Step();
    EXPECT_FALSE(manager.camSequenceRunning);
    EXPECT_FALSE(world.freeCamera);
}

// A fight lasts longer than its camera's flight: the camera stays on the
// fighters, following the hero, with no fade to black, until the fight is
// over; then it ends at once.
TEST_F(SequencerTest, AFightsCameraStaysOnTheFightersUntilTheFightEnds)
{
    record.sequence = G::HangaresIntroDone;
    world.fighting = true;
    manager.playCam("camara_combo_patada");
    bool faded = false;
    for (int i = 0; i < 25; ++i) {
        Step(0.1f);
        faded = faded || world.Called("FadeInFromBlack 0.5");
    }
    EXPECT_FALSE(faded);
    EXPECT_TRUE(manager.camSequenceRunning) << "2.5 s into a 1 s flight";
    EXPECT_TRUE(world.freeCamera);
    world.heroPosition = D3DXVECTOR3(0, 0, 300);
    Step(0.1f);
    EXPECT_NEAR(world.camera.eye.z, 300.0f, 1e-2f) << "the last point, where the hero now stands";
    EXPECT_NEAR(world.camera.eye.x, 110.0f, 1e-2f);

    world.fighting = false;
    Step(0.1f);
    EXPECT_FALSE(manager.camSequenceRunning);
    EXPECT_FALSE(world.freeCamera);
}

// The fight's camera is written for the open. With a wall along one side of
// the fight it looks from the first side of the pair whose flight is clear,
// the written one first; boxed in on every side, it comes in toward the look-at
// point as far as the walls allow.
TEST_F(SequencerTest, AFightsCameraLooksFromASideClearOfTheWalls)
{
    record.sequence = G::HangaresIntroDone;
    world.fighting = true;
    // In the fixture the eye starts at (100, 50, 0) and looks at (0, 0, 500).
    const D3DXVECTOR3 look(0, 0, 500);
    auto eyeAfter = [&](float seconds) {
        manager.playCam("camara_combo_patada");
        Step(seconds);
        return world.camera.eye;
    };
    // Nothing in the way: as written.
    D3DXVECTOR3 eye = eyeAfter(0.5f);
    EXPECT_NEAR(eye.x, 105.0f, 1e-2f);
    EXPECT_NEAR(eye.z, 0.0f, 1e-2f);

    // A wall at z = 100, nearer than the written eye: the far side of the
    // look-at point, the eye's own side kept.
    world.reach = [](const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
        const D3DXVECTOR3 way = to - from;
        const float length = D3DXVec3Length(&way);
        return to.z >= 100.0f ? length : length * (from.z - 100.0f) / (from.z - to.z);
    };
    eye = eyeAfter(0.5f);
    EXPECT_NEAR(eye.x, 105.0f, 1e-2f);
    EXPECT_NEAR(eye.z, 1000.0f, 1e-2f);

    // Walls 300 from the look-at point all round: the nearest the worst point
    // of the flight may come, as far as it can.
    world.reach = [](const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
        const D3DXVECTOR3 way = to - from;
        return std::min(D3DXVec3Length(&way), 300.0f);
    };
    eye = eyeAfter(0.0f);
    const D3DXVECTOR3 way = eye - look;
    EXPECT_LE(D3DXVec3Length(&way), 300.0f + 1e-2f);
    EXPECT_GT(D3DXVec3Length(&way), 290.0f);
    EXPECT_NEAR(eye.x / eye.y, 100.0f / 50.0f, 0.05f) << "on the written eye's line from the look-at point";
}

TEST_F(SequencerTest, AGroupWithoutCameraPartsEndsAtTheNextUpdateWithTheCameraUnmoved)
{
    record.sequence = G::PlayingCamIntroHangares;
    world.camera.eye = D3DXVECTOR3(1, 2, 3);
    manager.playCam("no_such_flight");
    EXPECT_FALSE(world.freeCamera);
    Step();
    EXPECT_EQ(record.sequence, G::HangaresIntroDone);
    EXPECT_FLOAT_EQ(world.camera.eye.x, 1.0f);
}

TEST_F(SequencerTest, FlightsFadeFromBlackAsTheyEndExceptThePlaneArrivalOnes)
{
    const std::pair<int, bool> rows[] = {{G::PlayingCamEmpalado, true},
                                         {G::PlayingCamHangaresLlegadaAvion, false},
                                         {G::PlayingCamAvionetaNueva2, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        record.sequence = row.first;
        manager.playCam("camara_empalado");
        bool faded = false;
        for (int i = 0; i < 5; ++i) {
            Step(0.1f);
            faded = faded || world.Called("FadeInFromBlack 0.5");
        }
        EXPECT_FALSE(faded); // 0.5 s left only after this
        Step(0.1f);
        EXPECT_EQ(world.Called("FadeInFromBlack 0.5"), row.second);
        manager.Clear();
        Step();
    }
}

// The game's own link: the credits' end shows the main menu with its cursor
// off Exit and leaves the program running.
TEST(GameRigidAnimWorld, TheCreditsEndOnTheMainMenuWithItsCursorOffExit)
{
    CGUIManager& gui = getGUI();
    const bool wasNewGame = gui.itemNewGame;
    gui.mainMenuActive = gui.exitRequested = false;
    gui.itemNewGame = false;
    gui.itemExit = true;
    getGameRigidAnimWorld().ReturnToMainMenu();
    EXPECT_TRUE(gui.mainMenuActive);
    EXPECT_FALSE(gui.itemExit);
    EXPECT_FALSE(gui.exitRequested);
    gui.mainMenuActive = false;
    gui.itemNewGame = wasNewGame;
}

} // namespace
