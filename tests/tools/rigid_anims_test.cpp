// The rigid animations the generator writes from the layouts, and the shipped
// list as the game reads it back.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "datagen/RigidAnims.h"
#include "scene/RigidAnimManager.h"

namespace {

using datagen::RigidAnimations;

const char* const kLayout =
    "<layout level='prueba'>"
    "<material name='m' diffusemap='m.jpg'/>"
    "<object name='suelo' shape='floor' size='4000 0 4000' position='0 0 0' material='m'/>"
    "<object name='casa' shape='box' size='200 300 200' position='500 0 0' material='m'/>"
    "<object name='panel_1' shape='box' size='600 400 4' position='0 50 1500' material='m'/>"
    "<object name='panel_2' shape='box' size='600 400 4' position='700 50 1500' material='m'/>"
    "<object name='rueda_B' shape='box' size='10 10 10' position='100 20 0' yaw='30' material='m'/>"
    "</layout>";

datagen::LevelLayout Layout()
{
    datagen::LevelLayout layout;
    std::string error;
    EXPECT_TRUE(datagen::ParseLayout(kLayout, layout, error)) << error;
    return layout;
}

bool Parse(const std::string& section, RigidAnimations& out, std::string& error)
{
    return datagen::ParseRigidAnimations("<layout><rigid_animations>" + section + "</rigid_animations></layout>",
                                         Layout(), out, error);
}

TEST(RigidAnimGenerator, FlightEyesStayAboveTheGroundAndOutOfSolidsUnlessAroundTheHero)
{
    struct Row {
        const char* section;
        bool ok;
    };
    const Row rows[] = {
        {"<flight name='f'><key time='0' eye='0 100 0' look='0 0 100'/><key time='2' eye='0 100 800' look='0 0 900'/></flight>",
         true},
        {"<flight name='f'><key time='0' eye='0 100 0' look='0 0 100'/><key time='2' eye='0 -50 800' look='0 0 900'/></flight>",
         false},
        {"<flight name='f'><key time='0' eye='0 100 0' look='0 0 100'/><key time='2' eye='1000 100 0' look='0 0 0'/></flight>",
         false}, // through the house
        {"<flight name='f' hero='true'><key time='0' eye='0 -50 0' look='0 0 1'/></flight>", true},
        {"<flight name='f'><key time='1' eye='0 100 0' look='0 0 1'/><key time='1' eye='0 100 0' look='0 0 1'/></flight>",
         false}, // keys must move on in time
        {"<move name='m' object='nadie'><key time='0'/></move>", false},
        {"<circle name='c' suffix='_Z' centre='0 0 0' seconds='2'/>", false},
        {"<flight name='a name with blanks'><key time='0' eye='0 100 0' look='0 0 1'/></flight>", false},
        {"<otra/>", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.section);
        RigidAnimations out;
        std::string error;
        EXPECT_EQ(Parse(row.section, out, error), row.ok) << error;
    }
}

// The game's reader multiplies "Combo_final" tracks by 4.2: they are written
// divided, so the hero-relative points come back as laid out.
TEST(RigidAnimGenerator, TracksReadBackAsLaidOutComicsGlidePastEachBoardAndCirclesCloseOnThemselves)
{
    RigidAnimations out;
    std::string error;
    ASSERT_TRUE(Parse("<flight name='camara_combo_final1' track='cam_Combo_final1' hero='true'>"
                      "<key time='0' eye='42 84 0' look='0 0 0'/><key time='1' eye='84 84 0' look='0 0 0'/></flight>"
                      "<comic name='vinyetas_x' boards='panel_' seconds='4'/>"
                      "<circle name='bucle' suffix='_B' centre='0 20 0' seconds='3'/>",
                      out, error))
        << error;
    const std::string list = datagen::RigidListXml(out);
    EXPECT_NE(list.find("<PARTE name=\"cam_Combo_final1_pos\" malla=\"cam_pos\" pos_inicial=\"10.00"),
              std::string::npos)
        << list;

    const std::filesystem::path folder = "rigid_generator";
    std::filesystem::create_directories(folder);
    for (const datagen::RigidTrack& t : out.tracks)
        std::ofstream(folder / t.name, std::ios::binary) << datagen::RigidTrackText(t);
    RigidAnimTrack combo;
    ASSERT_TRUE(combo.Load((folder / "cam_Combo_final1_pos").c_str()));
    ASSERT_EQ(combo.positionCount, 11u);
    EXPECT_NEAR(combo.positions[10].x, 84.0f, 1e-3f);
    EXPECT_FLOAT_EQ(combo.duration, 1.0f);

    // The comic's eye stands in front of each board's middle at its time.
    RigidAnimTrack eye;
    ASSERT_TRUE(eye.Load((folder / "vinyetas_x_pos").c_str()));
    D3DXVECTOR3 p;
    eye.SamplePosition(0.0f, p);
    EXPECT_NEAR(p.x, 0.0f, 1e-3f);
    EXPECT_NEAR(p.y, 250.0f, 1e-3f);
    EXPECT_LT(p.z, 1500.0f);
    eye.SamplePosition(4.0f, p);
    EXPECT_NEAR(p.x, 700.0f, 1e-3f);
    D3DXQUATERNION up;
    eye.SampleOrientation(2.0f, up);
    EXPECT_NEAR(QuatRotateVector(up, D3DXVECTOR3(0, 0, -1)).y, 1.0f, 1e-4f);

    // The loop turns a whole way round its centre and ends on its first pose
    // (with the layout yaw).
    RigidAnimTrack loop;
    ASSERT_TRUE(loop.Load((folder / "bucle_rueda_B").c_str()));
    D3DXVECTOR3 first, half, last;
    loop.SamplePosition(0.0f, first);
    loop.SamplePosition(1.5f, half);
    loop.SamplePosition(3.0f, last);
    EXPECT_NEAR(first.x, 100.0f, 1e-3f);
    EXPECT_NEAR(half.x, -100.0f, 1e-2f);
    EXPECT_NEAR(last.x, first.x, 1e-3f);
    D3DXQUATERNION q;
    loop.SampleOrientation(0.0f, q);
    EXPECT_NEAR(QuatRotateVector(q, D3DXVECTOR3(0, 0, 1)).x, 0.5f, 1e-4f); // sin 30 degrees
}

// The shipped list, read by the game's own manager from the built data.
class ShippedRigidAnims : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        manager = new CRigidAnimManager;
        manager->Load();
        std::filesystem::current_path(previous);
    }
    static void TearDownTestSuite()
    {
        delete manager;
        manager = nullptr;
    }
    static CRigidAnimManager* manager;
};
CRigidAnimManager* ShippedRigidAnims::manager = nullptr;

TEST_F(ShippedRigidAnims, EveryGroupTheStoryPlaysIsThereWithReadableTracks)
{
    const char* const flights[] = {
        "vinyetas_intro1", "vinyetas_intro2", "vinyetas_avioneta2", "vinyetas_final_hangares",
        "vinyetas_predockers", "vinyetas_dockers_huye", "creditos", "Memoriam", "camara_intro_hangares",
        "camara_avioneta_nueva2", "camara_avioneta_nueva3", "camara_empalado", "camara_hangar",
        "camara_isla_intro", "camara_isla_dockers1", "Luz_Faro", "camara_combo_patada", "camara_combo_final1",
        "camara_combo_final2", "camara_combo_final3", "camara_combo_final4_5", "camara_combo_final6",
        "camara_combo_final7", "camara_combo_final8", "camara_combo_final9", "camara_combo_final10",
        "camara_combo_final11_1", "camara_combo_final11_2", "camara_avioneta_llegada", "camara_isla_plaza",
        "camara_isla_segunda_oleada", "camara_isla_andamio",
    };
    for (const char* name : flights) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(manager->HasCamera(name));
        EXPECT_TRUE(manager->GetCamPosTemplate(name)->HasSamples());
        EXPECT_TRUE(manager->GetCamLookTemplate(name)->HasSamples());
        EXPECT_GT(manager->GetCamPosTemplate(name)->track->duration, 1.0f);
    }
    const std::map<std::string, std::size_t> groups = {
        {"nueva_avioneta_bucle", 5}, {"explosion_hangar", 41}, {"puerta_hangar", 2}, {"andamio", 2},
        {"maderitas_andamio1", 1},   {"maderitas_andamio2", 1}, {"maderitas2_ROTO", 4}, {"maderitas3_ROTO", 5},
        {"Luz_Faro", 1},             {"avion_despega", 2},      {"avion_llegada", 5},
    };
    for (const auto& [name, count] : groups) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(manager->GetAnimations().count(name));
        const auto& parts = manager->GetAnimations().at(name);
        EXPECT_EQ(parts.size(), count);
        for (const auto& part : parts)
            EXPECT_TRUE(part.anim.HasSamples()) << part.entityName;
    }
    EXPECT_LE(manager->GetTrackCount(), CRigidAnimManager::kMaxTracks);
}

TEST_F(ShippedRigidAnims, LoopedGroupsEndOnTheirStartPose)
{
    for (const char* name : {"nueva_avioneta_bucle", "Luz_Faro"}) {
        for (const auto& part : manager->GetAnimations().at(name)) {
            SCOPED_TRACE(part.entityName);
            const RigidAnimTrack& track = *part.track;
            D3DXVECTOR3 p0, p1;
            D3DXQUATERNION q0, q1;
            track.SamplePosition(0.0f, p0);
            track.SamplePosition(track.duration, p1);
            track.SampleOrientation(0.0f, q0);
            track.SampleOrientation(track.duration, q1);
            const D3DXVECTOR3 gap = p1 - p0;
            EXPECT_NEAR(D3DXVec3Length(&gap), 0.0f, 1e-2f);
            // The same turn, whatever the quaternion's sign.
            EXPECT_NEAR(std::fabs(q0.x * q1.x + q0.y * q1.y + q0.z * q1.z + q0.w * q1.w), 1.0f, 1e-4f);
        }
    }
    // The plane circles round its point at its own height.
    const RigidAnimTrack& body = *manager->GetAnimations().at("nueva_avioneta_bucle")[0].track;
    D3DXVECTOR3 half;
    body.SamplePosition(body.duration / 2, half);
    D3DXVECTOR3 start;
    body.SamplePosition(0.0f, start);
    EXPECT_NEAR(std::hypot(half.x - 2541.06f, half.z - 430.616f), std::hypot(start.x - 2541.06f, start.z - 430.616f),
                1.0f);
    EXPECT_GT(std::hypot(half.x - start.x, half.z - start.z), 500.0f);
}

} // namespace

#include "datagen/ComicBoards.h"
#include "datagen/Font.h"
#include "datagen/Instances.h"

namespace {

// Every board has its own picture, its words in a caption box, and the scene
// points the board at it.
TEST(ComicBoards, EachBoardHasItsOwnPictureWithItsCaption)
{
    datagen::LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(
        "<layout level='hangares'><material name='vinyeta' diffusemap='vinyeta.jpg'/>"
        "<material name='m' diffusemap='m.jpg'/>"
        "<object name='vinyeta1_miamor' shape='box' size='600 400 4' position='0 50 0' material='vinyeta'/>"
        "<object name='vinyeta1_Lluvia2' shape='box' size='600 400 4' position='700 50 0' material='vinyeta'/>"
        "<object name='caja' shape='box' size='10 10 10' position='0 0 500' material='m'/>"
        "</layout>",
        layout, error))
        << error;
    const datagen::Canvas words = datagen::PaintComicBoard(layout.objects[0]);
    const datagen::Canvas rain = datagen::PaintComicBoard(layout.objects[1]);
    const datagen::Rgba captionYellow{250, 232, 120};
    EXPECT_EQ(words.Get(150, 80), captionYellow);
    EXPECT_NE(rain.Get(150, 80), captionYellow);
    EXPECT_EQ(datagen::ComicBoardCaption("vinyeta1_merece"), "Nadie merece morir así.");
    int differing = 0;
    for (int y = 100; y < 500; y += 10)
        for (int x = 0; x < 768; x += 10)
            differing += words.Get(x, y) != rain.Get(x, y);
    EXPECT_GT(differing, 200);

    const std::string xml = datagen::InstancesXml({layout});
    EXPECT_NE(xml.find("diffusemap=\"vinyetas/hangares/vinyeta1_miamor.jpg\""), std::string::npos);
    EXPECT_NE(xml.find("diffusemap=\"vinyetas/hangares/vinyeta1_Lluvia2.jpg\""), std::string::npos);
    EXPECT_NE(xml.find("diffusemap=\"m.jpg\""), std::string::npos);
}

// Captions and credits are lettered in capitals, accented letters too: the
// caption of "Tendré" is drawn as that of "TENDRÉ", not of "TENDRé".
TEST(ComicBoards, CaptionsAreInCapitalsAccentsAndAll)
{
    EXPECT_EQ(datagen::UpperCase("Programación y música: ¡Ñandú, pingüino, ÿ! 5 €"),
              "PROGRAMACIÓN Y MÚSICA: ¡ÑANDÚ, PINGÜINO, Ÿ! 5 €");
    EXPECT_EQ(datagen::UpperCase("àþ ÷ ß"), "ÀÞ ÷ ß") << "the division sign and sharp s have no capital here";
    auto drawn = [](const std::string& text) {
        datagen::Canvas c(768, 768, datagen::Rgba{0, 0, 0, 255});
        datagen::DrawCaption(c, text);
        return c.Pixels();
    };
    EXPECT_TRUE(drawn("Tendré mi venganza.") == drawn("TENDRÉ MI VENGANZA."));
}

// A comic rests its eye before each board with words for its hold (never
// more than seven tenths of the comic between them) and shares the rest of
// its time out evenly between the glides from board to board.
TEST(RigidAnimGenerator, AComicRestsBeforeEachCaptionForItsHoldAndGlidesOnPastTheOthers)
{
    datagen::LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(
        "<layout level='prueba'><material name='m' diffusemap='m.jpg'/>"
        "<object name='suelo' shape='floor' size='5000 0 5000' position='0 0 0' material='m'/>"
        "<object name='vinyeta1_Lluvia2' shape='box' size='600 400 4' position='0 50 1500' material='m'/>"
        "<object name='vinyeta1_miamor' shape='box' size='600 400 4' position='700 50 1500' material='m'/>"
        "<object name='vinyeta1_Lluvia3' shape='box' size='600 400 4' position='1400 50 1500' material='m'/>"
        "</layout>",
        layout, error))
        << error;
    const std::filesystem::path folder = "rigid_comic_hold";
    std::filesystem::create_directories(folder);
    auto eyeX = [&](const char* hold, std::vector<float> times) {
        RigidAnimations out;
        std::string fault;
        std::vector<float> xs;
        const std::string comic = std::string("<comic name='c' boards='vinyeta1_' seconds='10'") + hold + "/>";
        if (!datagen::ParseRigidAnimations("<layout><rigid_animations>" + comic + "</rigid_animations></layout>",
                                           layout, out, fault))
            return xs;
        for (const datagen::RigidTrack& t : out.tracks)
            std::ofstream(folder / t.name, std::ios::binary) << datagen::RigidTrackText(t);
        RigidAnimTrack eye;
        if (!eye.Load((folder / "c_pos").c_str()))
            return xs;
        for (float t : times) {
            D3DXVECTOR3 p;
            eye.SamplePosition(t, p);
            xs.push_back(p.x);
        }
        return xs;
    };
    auto near = [](const std::vector<float>& got, const std::vector<float>& want) {
        if (got.size() != want.size())
            return false;
        for (std::size_t i = 0; i < got.size(); ++i)
            if (std::fabs(got[i] - want[i]) > 2.0f)
                return false;
        return true;
    };
    // Three seconds at the caption, three and a half for each glide.
    const std::vector<float> held = eyeX(" hold='3'", {1.75f, 3.5f, 5.0f, 6.4f, 8.25f, 10.0f});
    EXPECT_TRUE(near(held, {350, 700, 700, 700, 1050, 1400})) << ::testing::PrintToString(held);
    // A hold longer than the comic can give: seven of its ten seconds.
    const std::vector<float> capped = eyeX(" hold='20'", {1.5f, 8.4f, 9.25f});
    EXPECT_TRUE(near(capped, {700, 700, 1050})) << ::testing::PrintToString(capped);
    // Without a hold, one pace all the way.
    const std::vector<float> glide = eyeX("", {2.5f, 5.0f, 7.5f});
    EXPECT_TRUE(near(glide, {350, 700, 1050})) << ::testing::PrintToString(glide);
    EXPECT_TRUE(eyeX(" hold='-1'", {0.0f}).empty()) << "a hold below nothing is refused";
}

} // namespace
