// The story record, and the lists of what each level and comic stage shows from it.
#include <algorithm>
#include <cstdint>
#include <set>
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
using Field = StoryCode G::*;

struct CodeEntry {
    const char* name;
    Field field;
    std::int32_t code;
    void (G::*set)();
    bool (G::*is)() const; // null for codes nobody tests
};

constexpr Field s = &G::sequence, h = &G::hangarRigidState, i = &G::islaSequence;
#define C(field, name) {#name, field, G::name, &G::set##name, &G::is##name}
#define X(field, name) {#name, field, G::name, &G::set##name, nullptr} // no test of its own

const CodeEntry kCodes[] = {
    C(s, ReadyVinyetasIntro1), C(s, PlayingVinyetasIntro1), C(s, ReadyVinyetasIntro2), C(s, PlayingVinyetasIntro2),
    C(s, ReadyCamIntroHangares), C(s, PlayingCamIntroHangares), X(s, HangaresIntroDone),
    C(s, PlayingCamHangaresLlegadaAvion), C(s, ReadyCamAvionetaNueva2), C(s, PlayingCamAvionetaNueva2),
    C(s, ReadyCamAvionetaNueva3), C(s, PlayingCamAvionetaNueva3), X(s, HangaresAvionetaDone), C(s, PlayingSecondMovie),
    C(s, ReadyCamEmpalado), C(s, PlayingCamEmpalado), C(s, PlayingCamHangar), X(s, HangaresEmpaladoDone),
    C(s, ReadyVinyetasFinalHangares), C(s, PlayingVinyetasFinalHangares), X(h, RigidasHangaresIdle),
    C(h, RigidasHangaresDespegueAvion), X(h, RigidasHangaresDespegueAvionDone), C(h, RigidasHangaresLlegadaAvion),
    C(h, RigidasHangaresLlegadaAvionDone), C(h, PlayingRigidaEneAvioneta), X(h, RigidaEneAvionetaDone),
    C(h, PlayingRigidasHangarOpen), X(h, RigidasHangarOpenDone), C(h, RigidasHangarExplosion), C(i, ReadyCamIslaIntro),
    C(i, ReadyLevelSwitchIsla), C(i, PlayingCamIslaIntro), X(i, IslaIntroDone), C(i, PlayingCamIslaLlegadaPlaza),
    X(i, IslaLlegadaPlazaDone), C(i, PlayingCamIslaSegundaOleadaPlaza), X(i, IslaSegundaOleadaPlazaDone),
    C(i, PlayingCamIslaOleadaAndamio), C(i, PlayingVinyetasDockersHuye), C(i, PlayingVinyetasPredockers),
    C(i, ReadyCamIslaVinyetasIntroLucha), C(i, ReadyMemoriam), C(i, PlayingMemoriam), C(i, ReadyCreditos),
    C(i, PlayingCreditos),
};

#undef C
#undef X

// The tests of a field answer true for exactly the code set, and no code of a field repeats.
TEST(GameStateFlags, EverySetterStoresItsCodeInItsFieldOnlyAndAResetStartsANewRun)
{
    G fresh;
    fresh.setPlayingSecondMovie();
    fresh.resetStates();
    EXPECT_EQ(fresh.sequence, G::ReadyVinyetasIntro1);
    EXPECT_EQ(fresh.hangarRigidState, G::RigidasHangaresIdle);
    EXPECT_EQ(fresh.islaSequence, G::ReadyCamIslaIntro);
    EXPECT_TRUE(fresh.pierIntact) << "mended";
    EXPECT_TRUE(fresh.hangaresLevel);

    for (const CodeEntry& entry : kCodes) {
        SCOPED_TRACE(entry.name);
        G record;
        record.resetStates();
        // Every field away from any real code, so a stray write shows, and the
        // pier broken, so a mend shows, but for the setter that breaks it.
        record.sequence = record.hangarRigidState = record.islaSequence = -1;
        record.pierIntact = entry.set == &G::setPlayingSecondMovie;
        (record.*entry.set)();

        EXPECT_EQ(record.*entry.field, entry.code);
        for (Field other : {&G::sequence, &G::hangarRigidState, &G::islaSequence})
            if (other != entry.field)
                EXPECT_EQ(record.*other, -1);
        EXPECT_TRUE(record.hangaresLevel);
        EXPECT_FALSE(record.pierIntact) << "only the second movie touches the pier, and breaks it";
        for (const CodeEntry& probe : kCodes) {
            if (&probe != &entry && probe.field == entry.field)
                EXPECT_NE(probe.code, entry.code) << probe.name << " shares the code";
            if (probe.is != nullptr)
                EXPECT_EQ((record.*probe.is)(), probe.field == entry.field && probe.code == entry.code) << probe.name;
        }
    }
}

// Every call as it came: comic marks have no flag of their own.
struct Mark { std::string name; bool comic; bool visible; };

struct Recorder : IVisibilityMarks {
    void AddVisible(const std::string& name) override { marks.push_back({name, true, true}); }
    void SetVisible(const std::string& name, bool visible) override { marks.push_back({name, false, visible}); }
    // 1 or 0 for the flag the name was last marked with, -1 when it was not marked.
    int FlagOf(const std::string& name) const
    {
        for (auto it = marks.rbegin(); it != marks.rend(); ++it)
            if (it->name == name)
                return it->visible ? 1 : 0;
        return -1;
    }
    std::vector<Mark> marks;
};

// A watcher hears of every store into any of the three codes, a code
// overwritten within the same update included, and of nothing else.
TEST(GameStateFlags, AWatcherHearsEveryStoredCode)
{
    G record;
    std::vector<int> heard;
    StoryCode::watcher = [&] { heard.push_back(record.sequence * 1000 + record.islaSequence); };
    record.sequence = G::ReadyVinyetasIntro2;
    record.sequence = G::PlayingVinyetasIntro2;
    record.islaSequence = G::ReadyCreditos;
    record.waveCode = 15;
    record.hangarRigidState = G::RigidasHangaresLlegadaAvionDone;
    StoryCode::watcher = nullptr;
    record.sequence = G::HangaresIntroDone;
    EXPECT_EQ(heard, (std::vector<int>{8000, 1000, 1115, 1115}));
    EXPECT_EQ(record.sequence, G::HangaresIntroDone);
}

// Each comic stage's list: its length and first panel.
const struct { const char* level; int code; size_t count; const char* first; } kComics[] = {
    {"hangares", G::PlayingVinyetasIntro1, 11, "vinyeta1_escena"},
    {"hangares", G::PlayingVinyetasIntro2, 16, "vinyeta2_fachada"},
    {"hangares", G::PlayingSecondMovie, 60, "Vinyeta4_fondo1"},
    {"hangares", G::PlayingVinyetasFinalHangares, 68, "Vinyeta3_fondo2"},
    {"isla", G::PlayingCreditos, 6, "END_Fondo"},
    {"isla", G::PlayingVinyetasDockersHuye, 10, "Huye_malo2"},
    {"isla", G::PlayingMemoriam, 1, "MEmoriam"},
    {"isla", G::PlayingVinyetasPredockers, 9, "FINAL_ARMARIO"},
};

class LevelListsTest : public ::testing::Test {
protected:
    G gsf;
    CRigidAnimManager rigid;
    CProfiler quiet;
};

// The level picks the record's field, the code picks one list.
TEST_F(LevelListsTest, ComicPanelsPerSequence)
{
    for (const auto& c : kComics) {
        G record;
        record.sequence = G::ReadyVinyetasIntro1;
        (std::string(c.level) == "isla" ? record.islaSequence : record.sequence) = c.code;
        Recorder r;
        EXPECT_TRUE(MarkComicPanels(c.level, record, r, quiet)) << c.first;
        ASSERT_EQ(r.marks.size(), c.count) << c.first;
        EXPECT_EQ(r.marks.front().name, c.first);
        EXPECT_TRUE(std::all_of(r.marks.begin(), r.marks.end(), [](const Mark& m) { return m.comic; }));
        if (c.code == G::PlayingVinyetasFinalHangares) {
            const auto isBlood = [](const Mark& m) { return m.name == "Vinyeta3_sangre"; };
            EXPECT_EQ(std::count_if(r.marks.begin(), r.marks.end(), isBlood), 2) << "listed twice, marked twice";
        }
    }

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

// The draw list keeps marks in order, twice-listed names twice; names whose condition failed are stored hidden.
TEST_F(LevelListsTest, SceneManagerDrawListAfterTheLevelList)
{
    CSceneMngr scene;
    CSceneMarks marks(scene);
    gsf.pierIntact = false;
    gsf.hangarRigidState = G::RigidasHangarExplosion;
    MarkLevelObjects("hangares", gsf, rigid, marks, quiet);
    const std::vector<std::string>& list = scene.GetDrawList();
    EXPECT_EQ(list.front(), "Farola_1");
    EXPECT_EQ(std::count(list.begin(), list.end(), "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_02"), 2);
    EXPECT_EQ(std::count(list.begin(), list.end(), "cajas_escenario_4"), 0);
    EXPECT_FALSE(scene.IsVisible("cajas_escenario_4"));
    EXPECT_TRUE(scene.IsVisible("HANGAR_TECHO"));
    // 216 marks less the hidden: the crates' pieces (9), the three planes (12), two pier-borne names.
    EXPECT_EQ(list.size(), 216u - 9 - 12 - 2);
    // The crate rows and stacks the enemies walk round are drawn where they
    // stand in the way, and so are the glowing marks on the way to them.
    for (const char* name : {"barricada_wave01", "barricada_wave01_2", "pila_cajas_M1", "pila_cajas_A2",
                             "guia_camino_1", "guia_camino_4", "guia_camino_5", "guia_camino_13"})
        EXPECT_TRUE(scene.IsVisible(name)) << name;

    CSceneMngr untouched;
    CSceneMarks none(untouched);
    MarkLevelObjects("menu", gsf, rigid, none, quiet);
    EXPECT_TRUE(untouched.GetDrawList().empty());
}

// Each conditional name of the level lists carries its own condition.
TEST_F(LevelListsTest, EveryConditionalLevelObjectShowsOnlyInItsState)
{
    // broken: the crate shot apart, 2, 3 or none (0); flag: 1, 0, or -1 when not marked.
    const struct { bool pier; int hangar, sequence, broken; const char* name; int flag; } hangares[] = {
        {true, 0, G::HangaresIntroDone, 0, "cajas_escenario_4", 1},
        {false, 0, G::HangaresIntroDone, 0, "cajas_escenario_4", 0}, {false, 0, G::HangaresIntroDone, 0, "verja3", 0},
        {true, 0, G::HangaresIntroDone, 0, "maderitas2", 1}, {true, 0, G::HangaresIntroDone, 2, "maderitas2", 0},
        {true, 0, G::HangaresIntroDone, 3, "maderitas3", 0}, {true, 0, G::HangaresIntroDone, 2, "maderitas3", 1},
        {true, 0, G::HangaresIntroDone, 3, "maderitas2_ROTO_1", 0},
        {true, 0, G::HangaresIntroDone, 2, "maderitas2_ROTO_1", 1},
        {true, 0, G::HangaresIntroDone, 3, "maderitas3_ROTO_5", 1},
        {true, 0, G::HangaresIntroDone, 0, "pantalan_espigon", 1},
        {false, 0, G::HangaresIntroDone, 0, "pantalan_espigon", -1},
        {true, 0, G::HangaresIntroDone, 0, "Pantalan_ROTO_1", -1},
        {false, 0, G::HangaresIntroDone, 0, "Pantalan_ROTO_1", 1},
        {true, G::RigidasHangaresLlegadaAvion, G::HangaresIntroDone, 0, "AVION_NUEVO_CUERPO", 1},
        {true, G::PlayingRigidaEneAvioneta, G::HangaresIntroDone, 0, "AVION_NUEVO_CUERPO", 0},
        {true, G::PlayingRigidaEneAvioneta, G::HangaresIntroDone, 0, "AVION_NUEVO_CUERPO_BUCLE", 1},
        {true, G::RigidasHangaresLlegadaAvion, G::HangaresIntroDone, 0, "AVION_NUEVO_CUERPO_BUCLE", 0},
        {true, G::RigidasHangaresDespegueAvion, G::HangaresIntroDone, 0, "Avion_Despega", 1},
        {true, G::RigidasHangaresDespegueAvion, G::PlayingCamIntroHangares, 0, "Avion_Despega", 0},
        {true, G::RigidasHangaresDespegueAvion, G::PlayingCamIntroHangares, 0, "HELICE_DESPEGA", 0},
        {true, G::RigidasHangaresLlegadaAvion, G::HangaresIntroDone, 0, "HELICE_DESPEGA", 0},
        {false, G::RigidasHangarExplosion, G::HangaresIntroDone, 0, "HANGAR_TECHO", 1},
        {false, G::RigidasHangarExplosion, G::HangaresIntroDone, 0, "Hangar_FONDO", -1},
        {false, 0, G::HangaresIntroDone, 0, "Hangar_FONDO", 1}, {true, 0, G::HangaresIntroDone, 0, "Hangar_FONDO", -1},
        {true, 0, G::HangaresIntroDone, 0, "Cajas_AVION", -1},
    };
    for (const auto& c : hangares) {
        gsf.pierIntact = c.pier;
        gsf.hangarRigidState = c.hangar;
        gsf.sequence = c.sequence;
        rigid.crateBroken2 = c.broken == 2;
        rigid.crateBroken3 = c.broken == 3;
        Recorder r;
        MarkHangaresObjects(gsf, rigid, r);
        EXPECT_EQ(r.FlagOf(c.name), c.flag) << c.name << " pier " << c.pier << " state " << c.hangar << " sequence "
                                            << c.sequence << " crate broken " << c.broken;
    }

    // The scaffold whole (0), in pieces (1), broken (2); the painted way
    // between the square and the plateau up to the dockers (0) and, once they
    // have fled, down to the square (2), hidden while the scaffold falls.
    const struct { const char* name; int shownAt, alsoAt; } isla[] = {
        {"isla_andamio", 0, 0}, {"maderas_andamio", 0, 0}, {"isla_madera_andamio_03", 0, 0},
        {"isla_madera_andamio_EXPLO_10", 0, 0}, {"andamio_palo10", 1, 1}, {"andamio_palo9", 1, 1},
        {"Andamio_BROKEN", 2, 2}, {"DOCKERS_SANGRE", 2, 2}, {"guia_plaza_1", 0, 2}, {"guia_plaza_17", 0, 2},
    };
    for (const auto& c : isla)
        for (int stage = 0; stage <= 2; ++stage) {
            rigid.dockersEscapeStage = stage;
            Recorder r;
            MarkIslaObjects(rigid, r);
            EXPECT_EQ(r.FlagOf(c.name), stage == c.shownAt || stage == c.alsoAt ? 1 : 0) << c.name << " at stage " << stage;
        }

    // The last fight's raised arena: only while the story stands at that
    // fight, never floating over the island before or after it.
    for (int code : {int(G::IslaIntroDone), int(G::PlayingVinyetasDockersHuye), int(G::PlayingVinyetasPredockers),
                     int(G::ReadyMemoriam), int(G::PlayingMemoriam)})
        for (const char* name : {"isla_arena_final", "isla_arena_final_muro_o"}) {
            G record;
            record.islaSequence = code;
            Recorder r;
            MarkFinalArena(record, r);
            EXPECT_EQ(r.FlagOf(name), code == G::PlayingVinyetasPredockers ? 1 : 0) << name << " at " << code;
        }
}

// The catalogue the data generator makes meshes for is what the lists can mark in any state.
TEST_F(LevelListsTest, NameCatalogueMatchesTheLists)
{
    Recorder hangares, isla;
    for (bool pier : {true, false})
        for (int state : {0, int(G::RigidasHangarExplosion), int(G::RigidasHangaresLlegadaAvion),
                          int(G::PlayingRigidaEneAvioneta), int(G::RigidasHangaresDespegueAvion)})
            for (bool broken : {false, true}) {
                gsf.pierIntact = pier;
                gsf.hangarRigidState = state;
                rigid.crateBroken2 = rigid.crateBroken3 = broken;
                MarkHangaresObjects(gsf, rigid, hangares);
            }
    for (int stage = 0; stage <= 3; ++stage) {
        rigid.dockersEscapeStage = stage;
        Recorder r;
        MarkIslaObjects(rigid, r);
        EXPECT_EQ(r.marks.size(), 218u) << "every stage marks the same names, flags aside";
        MarkIslaObjects(rigid, isla);
    }
    {
        G record;
        MarkFinalArena(record, isla);
    }
    for (const auto& c : kComics) {
        G record;
        record.sequence = record.islaSequence = c.code;
        MarkComicPanels("hangares", record, hangares, quiet);
        MarkComicPanels("isla", record, isla, quiet);
    }
    for (auto [level, recorder] : {std::make_pair("hangares", &hangares), std::make_pair("isla", &isla)}) {
        std::set<std::string> marked;
        for (const Mark& m : recorder->marks)
            marked.insert(m.name);
        const std::vector<std::string> names = LevelListNames(level);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), marked) << level;
    }
    EXPECT_TRUE(LevelListNames("menu").empty());
}

} // namespace
