// Rigid keyframed tracks: sampling, the playing object, the track file and the
// animation list, and the motion of what plays.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "scene/rigid_fixture.h"

namespace {

using namespace rigidtest;

constexpr float kEps = 1e-4f;
const float kS45 = std::sqrt(0.5f);

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, kEps);
    EXPECT_NEAR(v.y, y, kEps);
    EXPECT_NEAR(v.z, z, kEps);
}

void ExpectQuat(const D3DXQUATERNION& q, float x, float y, float z, float w)
{
    EXPECT_NEAR(q.x, x, kEps);
    EXPECT_NEAR(q.y, y, kEps);
    EXPECT_NEAR(q.z, z, kEps);
    EXPECT_NEAR(q.w, w, kEps);
}

// Fills a track straight from samples.
void Fill(RigidAnimTrack& track, float duration, const std::vector<Sample>& samples)
{
    track.Allocate(duration, static_cast<unsigned>(samples.size()), static_cast<unsigned>(samples.size()));
    for (std::size_t k = 0; k < samples.size(); ++k) {
        track.positions[k] = samples[k].p;
        track.orientations[k] = samples[k].q;
    }
}

TEST(RigidAnimTrack, SamplesAreClampedInterpolatedAndNormalisedAlongTheShorterArc)
{
    struct Row {
        const char* what;
        float duration;
        std::vector<Sample> samples;
        float t;
        D3DXVECTOR3 p;
        D3DXQUATERNION q;
    };
    const D3DXQUATERNION quarterY(0.0f, kS45, 0.0f, kS45);
    const D3DXQUATERNION minusQuarterY(0.0f, -kS45, 0.0f, -kS45); // the same turn, the other sign
    const std::vector<Row> rows = {
        {"one sample at any time", 5.0f, Line(3, 3, 1), 2.5f, {3, 0, 0}, kIdentity},
        {"duration 0 at time 0: the first", 0.0f, Line(0, 8, 3), 0.0f, {0, 0, 0}, kIdentity},
        {"duration 0 after it: the last", 0.0f, Line(0, 8, 3), 0.1f, {8, 0, 0}, kIdentity},
        {"past the end: the last", 2.0f, Line(0, 8, 3), 9.0f, {8, 0, 0}, kIdentity},
        {"before the start: the first", 2.0f, Line(0, 8, 3), -1.0f, {0, 0, 0}, kIdentity},
        {"between samples: linear", 2.0f, Line(0, 8, 3), 1.5f, {6, 0, 0}, kIdentity},
        {"on a sample, normalised", 2.0f, {{{1, 2, 3}, kIdentity}, {{4, 5, 6}, {0, 0, 0, 2}}}, 2.0f, {4, 5, 6},
         kIdentity},
        {"opposite signs take the shorter way", 1.0f, {{{0, 0, 0}, kIdentity}, {{0, 0, 0}, minusQuarterY}}, 0.5f,
         {0, 0, 0}, {0, std::sin(0.3926991f), 0, std::cos(0.3926991f)}},
        {"same signs blend plainly", 1.0f, {{{0, 0, 0}, kIdentity}, {{0, 0, 0}, quarterY}}, 0.5f, {0, 0, 0},
         {0, std::sin(0.3926991f), 0, std::cos(0.3926991f)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RigidAnimTrack track;
        Fill(track, row.duration, row.samples);
        D3DXVECTOR3 p;
        D3DXQUATERNION q;
        track.SamplePosition(row.t, p);
        track.SampleOrientation(row.t, q);
        ExpectVec(p, row.p.x, row.p.y, row.p.z);
        ExpectQuat(q, row.q.x, row.q.y, row.q.z, row.q.w);
    }
}

TEST(RigidAnimTrack, QuaternionHelpersTurnLikeTheMatrices)
{
    const D3DXQUATERNION quarterY(0.0f, kS45, 0.0f, kS45);
    const D3DXQUATERNION quarterX(kS45, 0.0f, 0.0f, kS45);
    // A quarter turn about Y takes +Z to +X, as the game's yaw does.
    ExpectVec(QuatRotateVector(quarterY, D3DXVECTOR3(0, 0, 1)), 1, 0, 0);
    // A flight's eye orientation turns the camera's (0, 0, -1) to up.
    ExpectVec(QuatRotateVector(quarterX, D3DXVECTOR3(0, 0, -1)), 0, 1, 0);
    // quarterY * quarterX applies X first: +Y goes to +Z, then to +X.
    ExpectVec(QuatRotateVector(QuatMultiply(quarterY, quarterX), D3DXVECTOR3(0, 1, 0)), 1, 0, 0);
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &quarterY);
    D3DXVECTOR3 byMatrix;
    const D3DXVECTOR3 z(0, 0, 1);
    D3DXVec3TransformNormal(&byMatrix, &z, &m);
    ExpectVec(byMatrix, 1, 0, 0);
}

TEST(CKeyframedRAO, PlaysTheDisplacementFromItsFirstSampleAtItsSpeedAndRestartsWithoutAJump)
{
    RigidAnimTrack track;
    Fill(track, 1.0f, Line(10, 20, 3));
    CKeyframedRAO anim(&track);
    ExpectVec(anim.position, 0, 0, 0);
    EXPECT_FALSE(anim.IsFinished());
    anim.speed = 0.5f;
    anim.Update(1.0f);
    ExpectVec(anim.position, 5, 0, 0);
    anim.speed = 1.0f;
    anim.Update(0.5f);
    EXPECT_TRUE(anim.IsFinished());
    ExpectVec(anim.position, 10, 0, 0);

    // Restarted facing a quarter turn about Y: the track's +X now runs along -Z.
    const D3DXQUATERNION quarterY(0.0f, kS45, 0.0f, kS45);
    anim.RestartFrom(D3DXVECTOR3(10, 0, 0), quarterY);
    EXPECT_FALSE(anim.IsFinished());
    anim.Update(0.0f);
    ExpectVec(anim.position, 10, 0, 0);
    ExpectQuat(anim.orientation, 0, kS45, 0, kS45);
    anim.Update(0.5f);
    ExpectVec(anim.position, 10, 0, -5);

    // Without a track nothing moves and it counts as finished.
    CKeyframedRAO empty(nullptr);
    empty.Update(1.0f);
    EXPECT_TRUE(empty.IsFinished());
    ExpectVec(empty.position, 0, 0, 0);
}

TEST(RigidAnimTrack, FilesAreReadScaledForTheFinalComboAndRefusedWhenBroken)
{
    const std::vector<Sample> samples = {{{1, 2, 3}, kIdentity}, {{2, 4, 6}, {0, kS45, 0, kS45}}};
    struct Row {
        const char* what;
        std::string text;
        bool opened;
        unsigned count;
        float x1;
    };
    const std::string longName(128, 'a');
    const std::vector<Row> rows = {
        {"plain", TrackText("Camara_intro", 2, 3.0f, samples), true, 2, 2.0f},
        {"combo final", TrackText("Camara_Combo_final_03", 2, 3.0f, samples), true, 2, 2.0f * 4.2f},
        {"combo final first", TrackText("Combo_final", 2, 3.0f, samples), true, 2, 2.0f * 4.2f},
        {"count 0", TrackText("a", 0, 3.0f, samples), true, 0, 0.0f},
        {"fewer than announced", TrackText("a", 3, 3.0f, samples), true, 0, 0.0f},
        {"a count no file holds", TrackText("a", 2000000000, 3.0f, samples), true, 0, 0.0f},
        {"name of 128 characters", TrackText(longName, 2, 3.0f, samples), true, 0, 0.0f},
        {"name of 127 characters", TrackText(longName.substr(1), 2, 3.0f, samples), true, 2, 2.0f},
        {"negative duration", TrackText("a", 2, -1.0f, samples), true, 0, 0.0f},
        {"not a track", "hello", true, 0, 0.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WriteFile("tracks/file_rows", row.text);
        RigidAnimTrack track;
        EXPECT_EQ(track.Load("tracks/file_rows"), row.opened);
        EXPECT_EQ(track.positionCount, row.count);
        EXPECT_EQ(track.orientationCount, row.count);
        if (row.count == 2) {
            EXPECT_FLOAT_EQ(track.duration, 3.0f);
            EXPECT_FLOAT_EQ(track.positions[1].x, row.x1);
            EXPECT_FLOAT_EQ(track.orientations[1].y, kS45); // never scaled
        }
        CKeyframedRAO anim(&track);
        EXPECT_EQ(anim.IsFinished(), row.count == 0);
    }
    // A missing file leaves what the track held.
    RigidAnimTrack kept;
    Fill(kept, 1.0f, Line(0, 1, 2));
    EXPECT_FALSE(kept.Load("tracks/missing"));
    EXPECT_EQ(kept.positionCount, 2u);
}

// A list in the scratch folder, with its tracks.
class RigidListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        getGSF().resetStates();
        // Play under way: no sequence to start or end.
        getGSF().sequence = CGameStateFlagsManager::HangaresIntroDone;
        manager.SetWorld(&world);
    }
    void Track(const std::string& name, float x0, float x1, float duration = 1.0f, int count = 3)
    {
        WriteFile(std::string(CRigidAnimManager::kTrackFolder) + name, TrackText(name, count, duration, Line(x0, x1, count)));
    }
    // CTest runs each test in a process of its own, all in one folder: every
    // test writes files of its own.
    void List(const std::string& body)
    {
        const std::string file = std::string("lists/") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        WriteFile(file, "<LISTA>" + body + "</LISTA>");
        manager.LoadList(file);
    }
    const D3DXMATRIX& Matrix(const std::string& entity) { return world.entities[entity].GetMatrix(); }

    RecordingWorld world;
    CRigidAnimManager manager;
};

TEST_F(RigidListTest, ReaderKeepsTheFirstCameraPartAndGroupAndReadsEveryPartIntoItsOwnSlot)
{
    Track("t_a", 0, 1);
    Track("t_b", 0, 2);
    Track("t_Combo_final", 0, 1);
    List("<ANIMACION name=\"g\">"
         "<PARTE name=\"t_a\" malla=\"cam_pos\" pos_inicial=\"1 2 3\"/>"
         "<PARTE name=\"t_b\" malla=\"cam_pos\" pos_inicial=\"9 9 9\"/>"
         "<PARTE name=\"t_Combo_final\" malla=\"cam_look\" pos_inicial=\"1 2 3\"/>"
         "<PARTE name=\"t_a\" malla=\"caja\"/>"
         "</ANIMACION>"
         "<ANIMACION name=\"g\"><PARTE name=\"t_b\" malla=\"otra\"/></ANIMACION>");
    EXPECT_EQ(manager.GetTrackCount(), 5);
    ExpectVec(manager.GetCamPosOffset("g"), 1, 2, 3);
    EXPECT_FLOAT_EQ(manager.GetCamPosTemplate("g")->track->positions[2].x, 1.0f);
    ExpectVec(manager.GetCamLookOffset("g"), 4.2f, 8.4f, 12.6f);
    ASSERT_EQ(manager.GetAnimations().at("g").size(), 1u);
    EXPECT_EQ(manager.GetAnimations().at("g")[0].entityName, "caja");
    // The same file read twice fills two slots.
    EXPECT_NE(manager.GetAnimations().at("g")[0].track, manager.GetCamPosTemplate("g")->track);
    EXPECT_EQ(manager.crateHits2, 1);
    EXPECT_EQ(manager.crateHits3, 1);
    manager.Reset();
    EXPECT_EQ(manager.crateHits2, 2);
}

TEST_F(RigidListTest, PartsBeyondSixHundredAreRefused)
{
    Track("t_many", 0, 1);
    std::string body = "<ANIMACION name=\"many\">";
    for (int i = 0; i < 601; ++i)
        body += "<PARTE name=\"t_many\" malla=\"e" + std::to_string(i) + "\"/>";
    List(body + "</ANIMACION>");
    EXPECT_EQ(manager.GetTrackCount(), CRigidAnimManager::kMaxTracks);
    EXPECT_EQ(manager.GetAnimations().at("many").size(), 600u);
}

// A part naming no mesh is left out and a start that is no number becomes the
// origin, each said once with the list, the part and its group.
TEST_F(RigidListTest, APartWithoutAMeshOrWithANaNStartIsNamed)
{
    // A track of its own: the other tests of the list run beside it in the
    // same folder.
    Track("t_unnamed", 0, 1);
    ::testing::internal::CaptureStderr();
    List("<ANIMACION name=\"g\">"
         "<PARTE name=\"t_unnamed\" malla=\"cam_pos\" pos_inicial=\"nan 2 3\"/>"
         "<PARTE name=\"t_unnamed\" malla=\"\"/><PARTE name=\"t_unnamed\"/><PARTE name=\"t_unnamed\" malla=\"caja\"/>"
         "</ANIMACION>");
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string list = std::string("lists/") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    EXPECT_EQ(said, list + ": part \"t_unnamed\" of \"g\": its start is not a number; the origin is used\n" + list +
                        ": part \"t_unnamed\" of \"g\" names no mesh and is left out\n");
    ExpectVec(manager.GetCamPosOffset("g"), 0, 0, 0);
    EXPECT_EQ(manager.GetTrackCount(), 2);
    ASSERT_EQ(manager.GetAnimations().at("g").size(), 1u);
    EXPECT_EQ(manager.GetAnimations().at("g")[0].entityName, "caja");
}

// A track's faults said as they are: a file that is no track, a duration that
// is no number or below 0; tags may touch their values.
TEST(RigidAnimTrack, ATrackSaysWhatIsWrongWithIt)
{
    const std::vector<Sample> samples = {{{1, 2, 3}, kIdentity}, {{2, 4, 6}, kIdentity}};
    const std::pair<std::string, std::string> rows[] = {
        {TrackText("a", 2, 1.5f, samples), ""},
        {"<RigidAnimation><Name>b</Name><NumSamples>1</NumSamples><Duration>2</Duration><Position>1 2 3"
         "</Position><Orientation>0 0 0 1</Orientation></RigidAnimation>",
         ""},
        {"\x7f\x45LF garbage", "it is not a rigid animation track (it does not begin with <RigidAnimation>)"},
        {"<RigidAnimation> <NumSamples> 2", "it has no <Name>"},
        {std::regex_replace(TrackText("a", 2, 1.0f, samples), std::regex("<Duration> [^ ]+"), "<Duration> nan"),
         "duration \"nan\" is not a number of seconds from 0 to 1e6"},
        {std::regex_replace(TrackText("a", 2, 1.0f, samples), std::regex("<Duration> [^ ]+"), "<Duration> -2"),
         "duration \"-2\" is not a number of seconds from 0 to 1e6"},
        {std::regex_replace(TrackText("a", 2, 1.0f, samples), std::regex("<NumSamples> 2"), "<NumSamples> -2"),
         "sample count \"-2\" is not a count from 1 to what the file holds"},
    };
    for (const auto& row : rows) {
        RigidAnimTrack track;
        EXPECT_EQ(track.Read(row.first), row.second) << row.first;
        EXPECT_EQ(track.IsEmpty(), !row.second.empty()) << row.first;
    }
    // Said with the file when the manager's reader meets it.
    ::testing::internal::CaptureStderr();
    WriteFile("tracks/nan_duration", rows[4].first);
    RigidAnimTrack track;
    EXPECT_TRUE(track.Load("tracks/nan_duration"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Rigid animation tracks/nan_duration: " + rows[4].second + "; it is not played\n");
}

// A part whose track file is missing or whose mesh no level has is said, the
// parts counted by fault in one line each.
TEST_F(RigidListTest, PartsWithoutTheirTrackOrMeshAreSaidInOneLineAFault)
{
    struct : RecordingWorld {
        bool HasMesh(const std::string& name) override { return name.rfind("gone", 0) != 0; }
    } levels;
    manager.SetWorld(&levels);
    Track("t_here", 0, 1);
    ::testing::internal::CaptureStderr();
    List("<ANIMACION name=\"g\"><PARTE name=\"t_here\" malla=\"caja\"/><PARTE name=\"t_away\" malla=\"caja\"/>"
         "<PARTE name=\"t_here\" malla=\"gone_1\"/><PARTE name=\"t_lost\" malla=\"gone_2\"/>"
         "<PARTE name=\"t_lost\" malla=\"cam_pos\"/></ANIMACION>");
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string list = std::string("lists/") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    EXPECT_EQ(said, list + ": its track file in data/XML/RigidAnim/ is missing: the part plays nothing (3 times: part "
                           "\"t_away\" of \"g\", part \"t_lost\" of \"g\", part \"t_lost\" of \"g\")\n" +
                        list + ": names a mesh that is in no level: the part moves nothing (2 times: part \"t_here\" "
                               "of \"g\" (mesh \"gone_1\"), part \"t_lost\" of \"g\" (mesh \"gone_2\"))\n");
    // Both stay in their group: the one whose track is there plays it.
    ASSERT_EQ(manager.GetAnimations().at("g").size(), 4u);
    EXPECT_FALSE(manager.GetAnimations().at("g")[0].track->IsEmpty());
    EXPECT_TRUE(manager.GetAnimations().at("g")[1].track->IsEmpty());
}

TEST_F(RigidListTest, OneShotsLoopsAndTheirPosesOnTheSceneObjects)
{
    Track("t_c", 0, 10);
    Track("t_d", 100, 200);
    List("<ANIMACION name=\"g\"><PARTE name=\"t_c\" malla=\"caja\"/><PARTE name=\"t_c\" malla=\"xvinyetas1\"/>"
         "<PARTE name=\"t_c\" malla=\"vinyetas2\"/></ANIMACION>"
         "<ANIMACION name=\"h\"><PARTE name=\"t_d\" malla=\"caja\"/></ANIMACION>");
    CLocation& caja = world.entities["caja"];
    caja.SetScale(D3DXVECTOR3(2, 2, 2));
    caja.SetPosition(D3DXVECTOR3(100, 5, 0)); // where the level put it
    world.entities["xvinyetas1"];
    world.entities["vinyetas2"];
    manager.scriptedSequenceRunning = true;

    manager.play("g", false);
    manager.Update(0.5f);
    manager.play("g", false); // already playing: the first run goes on
    manager.Update(0.25f);
    EXPECT_FLOAT_EQ(Matrix("caja")._41, 107.5f);
    EXPECT_FLOAT_EQ(Matrix("caja")._42, 5.0f);
    EXPECT_FLOAT_EQ(Matrix("caja")._11, 1.0f); // the entity's scale is not applied
    EXPECT_EQ(manager.oneShotAnims.size(), 3u);

    // Once no scripted sequence runs, a panel whose name holds "vinyetas"
    // after its first character goes at once; one that starts with it stays.
    manager.scriptedSequenceRunning = false;
    manager.Update(0.0f);
    EXPECT_EQ(manager.oneShotAnims.count("xvinyetas1"), 0u);
    EXPECT_EQ(manager.oneShotAnims.count("vinyetas2"), 1u);

    // The loop sets the final matrix; it carries on from where each pass ends.
    manager.play("h", true);
    manager.Update(0.25f);
    EXPECT_FLOAT_EQ(Matrix("caja")._41, 125.0f);
    EXPECT_EQ(manager.oneShotAnims.count("caja"), 0u); // the one-shot finished
    manager.Update(0.75f);
    manager.Update(0.5f);
    EXPECT_FLOAT_EQ(Matrix("caja")._41, 250.0f);
    EXPECT_EQ(manager.loopAnims.size(), 1u);

    // An entity missing from the scene is skipped; an unknown group plays nothing.
    world.entities.clear();
    manager.play("nada", true);
    manager.Update(0.5f);
    manager.Clear();
    EXPECT_TRUE(manager.loopAnims.empty());
    EXPECT_TRUE(manager.oneShotAnims.empty());
}

TEST_F(RigidListTest, ThePlaneWaitEndsOnlyOnceMoreThanItsTimeHasPassed)
{
    List("");
    manager.setWaitToPlayAvioneta(2.0f);
    EXPECT_FALSE(manager.canPlayWaitEnded());
    manager.Update(1.0f);
    manager.Update(1.0f);
    EXPECT_FALSE(manager.canPlayWaitEnded());
    manager.Update(0.001f);
    EXPECT_TRUE(manager.canPlayWaitEnded());
}

} // namespace
