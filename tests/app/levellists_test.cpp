#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "app/Profiler.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"

namespace {

using G = CGameStateFlagsManager;

// Every call as it came: comic marks have no flag of their own.
struct Mark {
    std::string name;
    bool comic;
    bool visible;
};

struct Recorder : IVisibilityMarks {
    void AddVisible(const std::string& name) override { marks.push_back({name, true, true}); }
    void SetVisible(const std::string& name, bool visible) override { marks.push_back({name, false, visible}); }

    int Count(const std::string& name) const
    {
        return static_cast<int>(std::count_if(marks.begin(), marks.end(),
                                              [&](const Mark& m) { return m.name == name; }));
    }
    // The flag of the name's last mark; "absent" when it was never marked.
    std::string State(const std::string& name) const
    {
        for (auto it = marks.rbegin(); it != marks.rend(); ++it)
            if (it->name == name)
                return it->visible ? "shown" : "hidden";
        return "absent";
    }
    std::vector<Mark> marks;
};

class LevelListsTest : public ::testing::Test {
protected:
    Recorder Hangares()
    {
        Recorder r;
        MarkHangaresObjects(gsf, rigid, r);
        return r;
    }
    Recorder Isla()
    {
        Recorder r;
        MarkIslaObjects(rigid, r);
        return r;
    }

    G gsf;
    CRigidAnimManager rigid;
};

// The first level: the pier standing, then broken with the hangar standing,
// then with the hangar blown apart. Every mark is a level mark.
TEST_F(LevelListsTest, HangaresMarkCountFollowsThePierAndTheHangar)
{
    gsf.pierIntact = true;
    gsf.hangarRigidState = G::RigidasHangaresIdle;
    Recorder intact = Hangares();
    EXPECT_EQ(intact.marks.size(), 159u);
    EXPECT_TRUE(std::none_of(intact.marks.begin(), intact.marks.end(), [](const Mark& m) { return m.comic; }));
    EXPECT_EQ(intact.marks.front().name, "Farola_1");
    EXPECT_EQ(intact.State("pantalan_espigon"), "shown");
    EXPECT_EQ(intact.State("Pantalan_ROTO_1"), "absent");
    EXPECT_EQ(intact.State("Cajas_AVION"), "absent");
    EXPECT_EQ(intact.State("Hangar_FONDO"), "absent");
    EXPECT_EQ(intact.State("cajas_escenario_4"), "shown");
    EXPECT_EQ(intact.State("verja3"), "shown");

    gsf.pierIntact = false;
    Recorder standing = Hangares();
    EXPECT_EQ(standing.marks.size(), 156u);
    EXPECT_EQ(standing.State("pantalan_espigon"), "absent");
    EXPECT_EQ(standing.State("Pantalan_ROTO_2"), "shown");
    EXPECT_EQ(standing.Count("pantalan_Garita03"), 1);
    // Things the pier carried are now marked hidden, not skipped.
    EXPECT_EQ(standing.State("cajas_escenario_4"), "hidden");
    EXPECT_EQ(standing.State("verja3"), "hidden");
    EXPECT_EQ(standing.State("Verja_AVION"), "shown");
    EXPECT_EQ(standing.State("Hangar_PUERTA_IZQ"), "shown");
    EXPECT_EQ(standing.State("HANGAR_TECHO"), "absent");
    EXPECT_EQ(standing.marks.back().name, "Hangar_FONDO");

    gsf.hangarRigidState = G::RigidasHangarExplosion;
    Recorder exploded = Hangares();
    EXPECT_EQ(exploded.marks.size(), 194u);
    EXPECT_EQ(exploded.State("HANGAR_TECHO"), "shown");
    EXPECT_EQ(exploded.State("Hangar_FONDO"), "absent");
    EXPECT_EQ(exploded.Count("HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_02"), 2);
    EXPECT_EQ(exploded.marks.back().name, "HANGAR_TECHO_PUERTES_frag_03");
}

TEST_F(LevelListsTest, BrokenCratesSwapForTheirPieces)
{
    Recorder whole = Hangares();
    EXPECT_EQ(whole.State("maderitas2"), "shown");
    EXPECT_EQ(whole.State("maderitas3"), "shown");
    EXPECT_EQ(whole.State("maderitas2_ROTO_1"), "hidden");
    EXPECT_EQ(whole.State("maderitas3_ROTO_5"), "hidden");

    rigid.crateBroken2 = true;
    Recorder one = Hangares();
    EXPECT_EQ(one.State("maderitas2"), "hidden");
    for (const char* piece : {"maderitas2_ROTO_1", "maderitas2_ROTO_2", "maderitas2_ROTO_3", "maderitas2_ROTO_4"})
        EXPECT_EQ(one.State(piece), "shown") << piece;
    EXPECT_EQ(one.State("maderitas3"), "shown");
    EXPECT_EQ(one.State("maderitas3_ROTO_1"), "hidden");

    rigid.crateBroken3 = true;
    Recorder both = Hangares();
    EXPECT_EQ(both.State("maderitas3"), "hidden");
    EXPECT_EQ(both.State("maderitas3_ROTO_5"), "shown");
    EXPECT_EQ(both.State("maderitas4"), "shown");
    EXPECT_EQ(both.marks.size(), whole.marks.size());
}

// Each plane state shows its own set of plane objects and hides the others.
TEST_F(LevelListsTest, OnePlaneAtATime)
{
    struct Case {
        int state;
        const char* shown;
    };
    const Case cases[] = {
        {G::RigidasHangaresLlegadaAvion, "AVION_NUEVO_CUERPO"},
        {G::PlayingRigidaEneAvioneta, "AVION_NUEVO_CUERPO_BUCLE"},
        {G::RigidasHangaresDespegueAvion, "Avion_Despega"},
        {G::RigidasHangaresIdle, nullptr},
    };
    const char* planes[] = {"AVION_NUEVO_CUERPO", "AVION_NUEVO_CUERPO_BUCLE", "Avion_Despega"};
    for (const Case& c : cases) {
        gsf.hangarRigidState = c.state;
        Recorder r = Hangares();
        for (const char* plane : planes)
            EXPECT_EQ(r.State(plane), c.shown && std::string(c.shown) == plane ? "shown" : "hidden")
                << plane << " in state " << c.state;
    }

    // The departing plane keeps out of the hangar intro flight.
    gsf.hangarRigidState = G::RigidasHangaresDespegueAvion;
    gsf.sequence = G::PlayingCamIntroHangares;
    Recorder intro = Hangares();
    EXPECT_EQ(intro.State("Avion_Despega"), "hidden");
    EXPECT_EQ(intro.State("HELICE_DESPEGA"), "hidden");
}

TEST_F(LevelListsTest, IslandScaffoldByEscapeStage)
{
    const char* whole[] = {"isla_andamio", "isla_madera_andamio_EXPLO_10"};
    const char* pieces[] = {"andamio_palo10", "andamio_palo9"};
    const char* broken[] = {"Andamio_BROKEN", "DOCKERS_SANGRE"};
    for (int stage = 0; stage <= 3; ++stage) {
        rigid.dockersEscapeStage = stage;
        Recorder r = Isla();
        EXPECT_EQ(r.marks.size(), 197u) << stage;
        EXPECT_EQ(r.State("isla_faro"), "shown");
        EXPECT_EQ(r.State("TextoFINAL"), "shown");
        for (const char* n : whole)
            EXPECT_EQ(r.State(n), stage == 0 ? "shown" : "hidden") << n << " " << stage;
        for (const char* n : pieces)
            EXPECT_EQ(r.State(n), stage == 1 ? "shown" : "hidden") << n << " " << stage;
        for (const char* n : broken)
            EXPECT_EQ(r.State(n), stage == 2 ? "shown" : "hidden") << n << " " << stage;
    }
}

// The comic stage: the level picks the record's field, the code picks one
// list of the expected length.
TEST_F(LevelListsTest, ComicPanelsPerSequence)
{
    CProfiler quiet;
    struct Case {
        const char* level;
        int code;
        size_t count;
        const char* first;
    };
    const Case cases[] = {
        {"hangares", G::PlayingVinyetasIntro1, 11, "vinyeta1_escena"},
        {"hangares", G::PlayingVinyetasIntro2, 16, "vinyeta2_fachada"},
        {"hangares", G::PlayingSecondMovie, 60, "Vinyeta4_fondo1"},
        {"hangares", G::PlayingVinyetasFinalHangares, 68, "Vinyeta3_fondo2"},
        {"isla", G::PlayingCreditos, 6, "END_Fondo"},
        {"isla", G::PlayingVinyetasDockersHuye, 10, "Huye_malo2"},
        {"isla", G::PlayingMemoriam, 1, "MEmoriam"},
        {"isla", G::PlayingVinyetasPredockers, 9, "FINAL_ARMARIO"},
    };
    for (const Case& c : cases) {
        G record;
        record.sequence = G::ReadyVinyetasIntro1;
        (std::string(c.level) == "isla" ? record.islaSequence : record.sequence) = c.code;
        Recorder r;
        EXPECT_TRUE(MarkComicPanels(c.level, record, r, quiet)) << c.first;
        ASSERT_EQ(r.marks.size(), c.count) << c.first;
        EXPECT_EQ(r.marks.front().name, c.first);
        EXPECT_TRUE(std::all_of(r.marks.begin(), r.marks.end(), [](const Mark& m) { return m.comic; }));
    }

    // The last panels of the first level hold one name twice.
    G final;
    final.sequence = G::PlayingVinyetasFinalHangares;
    Recorder twice;
    MarkComicPanels("hangares", final, twice, quiet);
    EXPECT_EQ(twice.Count("Vinyeta3_sangre"), 2);

    // A code of the other level, or of no panels, marks nothing.
    G other;
    other.sequence = G::PlayingSecondMovie;
    other.islaSequence = G::PlayingCamIslaIntro;
    Recorder none;
    EXPECT_FALSE(MarkComicPanels("isla", other, none, quiet));
    other.sequence = G::PlayingCamHangar;
    other.islaSequence = G::PlayingCreditos;
    EXPECT_FALSE(MarkComicPanels("hangares", other, none, quiet));
    EXPECT_FALSE(MarkComicPanels("menu", other, none, quiet));
    EXPECT_TRUE(none.marks.empty());
}

// What the scene manager ends up holding: the draw list keeps marks in order,
// twice-listed names twice, and names whose condition failed are stored hidden.
TEST_F(LevelListsTest, SceneManagerDrawListAfterTheLevelList)
{
    CSceneMngr scene;
    CSceneMarks marks(scene);
    CProfiler quiet;
    gsf.pierIntact = false;
    gsf.hangarRigidState = G::RigidasHangarExplosion;
    MarkLevelObjects("hangares", gsf, rigid, marks, quiet);
    const std::vector<std::string>& list = scene.GetDrawList();
    EXPECT_EQ(list.front(), "Farola_1");
    EXPECT_EQ(std::count(list.begin(), list.end(), "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_02"), 2);
    EXPECT_EQ(std::count(list.begin(), list.end(), "cajas_escenario_4"), 0);
    EXPECT_FALSE(scene.IsVisible("cajas_escenario_4"));
    EXPECT_FALSE(scene.IsVisible("AVION_NUEVO_CUERPO"));
    EXPECT_TRUE(scene.IsVisible("HANGAR_TECHO"));
    // 194 marks, of which the crates' pieces (9), the three planes (12) and
    // the two pier-borne names are hidden.
    EXPECT_EQ(list.size(), 194u - 9 - 12 - 2);

    CSceneMngr untouched;
    CSceneMarks none(untouched);
    MarkLevelObjects("menu", gsf, rigid, none, quiet);
    EXPECT_TRUE(untouched.GetDrawList().empty());
    EXPECT_FALSE(untouched.IsVisible("Farola_1"));
}

std::string LogOf(const std::function<void(CProfiler&)>& body)
{
    const char* file = "levellists_timing.txt";
    {
        CProfiler profiler;
        profiler.Enable(true);
        profiler.Open(file);
        body(profiler);
        profiler.Close();
    }
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(file);
    return text.str();
}

int Labels(const std::string& log)
{
    int n = 0;
    for (size_t at = log.find("sendToRender: "); at != std::string::npos; at = log.find("sendToRender: ", at + 1))
        ++n;
    return n;
}

TEST_F(LevelListsTest, TimingLabels)
{
    Recorder r;
    EXPECT_EQ(Labels(LogOf([&](CProfiler& p) { MarkLevelObjects("isla", gsf, rigid, r, p); })), 1);
    EXPECT_EQ(Labels(LogOf([&](CProfiler& p) { MarkLevelObjects("hangares", gsf, rigid, r, p); })), 1);
    EXPECT_EQ(LogOf([&](CProfiler& p) { MarkLevelObjects("", gsf, rigid, r, p); }), "");

    const std::pair<int, int> comics[] = {
        {G::PlayingVinyetasIntro1, 0}, {G::PlayingVinyetasIntro2, 0},
        {G::PlayingSecondMovie, 1}, {G::PlayingVinyetasFinalHangares, 1}};
    for (auto [code, labels] : comics) {
        G record;
        record.sequence = code;
        EXPECT_EQ(Labels(LogOf([&](CProfiler& p) { MarkComicPanels("hangares", record, r, p); })), labels) << code;
    }
    const std::pair<int, int> island[] = {
        {G::PlayingCreditos, 1}, {G::PlayingVinyetasDockersHuye, 1},
        {G::PlayingMemoriam, 0}, {G::PlayingVinyetasPredockers, 0}};
    for (auto [code, labels] : island) {
        G record;
        record.islaSequence = code;
        EXPECT_EQ(Labels(LogOf([&](CProfiler& p) { MarkComicPanels("isla", record, r, p); })), labels) << code;
    }
}

// The name catalogue the data generator checks against is exactly what the
// lists can mark, over every state that changes them.
TEST_F(LevelListsTest, NameCatalogueMatchesTheLists)
{
    std::set<std::string> hangares, isla;
    CProfiler quiet;
    for (bool pier : {true, false})
        for (int state : {0, int(G::RigidasHangarExplosion), int(G::RigidasHangaresLlegadaAvion),
                          int(G::PlayingRigidaEneAvioneta), int(G::RigidasHangaresDespegueAvion)})
            for (bool broken : {false, true}) {
                G record;
                record.pierIntact = pier;
                record.hangarRigidState = state;
                rigid.crateBroken2 = rigid.crateBroken3 = broken;
                Recorder r;
                MarkHangaresObjects(record, rigid, r);
                for (const Mark& m : r.marks)
                    hangares.insert(m.name);
            }
    for (int code : {G::PlayingVinyetasIntro1, G::PlayingVinyetasIntro2, G::PlayingSecondMovie,
                     G::PlayingVinyetasFinalHangares}) {
        G record;
        record.sequence = code;
        Recorder r;
        MarkComicPanels("hangares", record, r, quiet);
        for (const Mark& m : r.marks)
            hangares.insert(m.name);
    }
    for (int stage = 0; stage <= 2; ++stage) {
        rigid.dockersEscapeStage = stage;
        Recorder r;
        MarkIslaObjects(rigid, r);
        for (const Mark& m : r.marks)
            isla.insert(m.name);
    }
    for (int code : {G::PlayingCreditos, G::PlayingVinyetasDockersHuye, G::PlayingMemoriam,
                     G::PlayingVinyetasPredockers}) {
        G record;
        record.islaSequence = code;
        Recorder r;
        MarkComicPanels("isla", record, r, quiet);
        for (const Mark& m : r.marks)
            isla.insert(m.name);
    }
    const std::vector<std::string> h = LevelListNames("hangares"), i = LevelListNames("isla");
    EXPECT_EQ(std::set<std::string>(h.begin(), h.end()), hangares);
    EXPECT_EQ(std::set<std::string>(i.begin(), i.end()), isla);
    EXPECT_TRUE(LevelListNames("menu").empty());
}

} // namespace
