#include <algorithm>
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

// Every call as it came: comic marks have no flag of their own.
struct Mark {
    std::string name;
    bool comic;
};

struct Recorder : IVisibilityMarks {
    void AddVisible(const std::string& name) override { marks.push_back({name, true}); }
    void SetVisible(const std::string& name, bool) override { marks.push_back({name, false}); }

    int Count(const std::string& name) const
    {
        return static_cast<int>(std::count_if(marks.begin(), marks.end(), [&](const Mark& m) { return m.name == name; }));
    }
    std::vector<Mark> marks;
};

class LevelListsTest : public ::testing::Test {
protected:
    G gsf;
    CRigidAnimManager rigid;
    CProfiler quiet;
};

// The comic stage: the level picks the record's field, the code picks one
// list of the expected length.
TEST_F(LevelListsTest, ComicPanelsPerSequence)
{
    const struct {
        const char* level;
        int code;
        size_t count;
        const char* first;
    } cases[] = {
        {"hangares", G::PlayingVinyetasIntro1, 11, "vinyeta1_escena"},
        {"hangares", G::PlayingVinyetasIntro2, 16, "vinyeta2_fachada"},
        {"hangares", G::PlayingSecondMovie, 60, "Vinyeta4_fondo1"},
        {"hangares", G::PlayingVinyetasFinalHangares, 68, "Vinyeta3_fondo2"},
        {"isla", G::PlayingCreditos, 6, "END_Fondo"},
        {"isla", G::PlayingVinyetasDockersHuye, 10, "Huye_malo2"},
        {"isla", G::PlayingMemoriam, 1, "MEmoriam"},
        {"isla", G::PlayingVinyetasPredockers, 9, "FINAL_ARMARIO"},
    };
    for (const auto& c : cases) {
        G record;
        record.sequence = G::ReadyVinyetasIntro1;
        (std::string(c.level) == "isla" ? record.islaSequence : record.sequence) = c.code;
        Recorder r;
        EXPECT_TRUE(MarkComicPanels(c.level, record, r, quiet)) << c.first;
        ASSERT_EQ(r.marks.size(), c.count) << c.first;
        EXPECT_EQ(r.marks.front().name, c.first);
        EXPECT_TRUE(std::all_of(r.marks.begin(), r.marks.end(), [](const Mark& m) { return m.comic; }));
        if (c.code == G::PlayingVinyetasFinalHangares)
            EXPECT_EQ(r.Count("Vinyeta3_sangre"), 2) << "listed twice, marked twice";
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

// What the scene manager ends up holding: the draw list keeps marks in order,
// twice-listed names twice, and names whose condition failed are stored hidden.
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
    // 194 marks, of which the crates' pieces (9), the three planes (12) and
    // the two pier-borne names are hidden.
    EXPECT_EQ(list.size(), 194u - 9 - 12 - 2);

    CSceneMngr untouched;
    CSceneMarks none(untouched);
    MarkLevelObjects("menu", gsf, rigid, none, quiet);
    EXPECT_TRUE(untouched.GetDrawList().empty());
}

// The name catalogue the data generator makes meshes for is exactly what the
// lists can mark, over every state that changes them.
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
        EXPECT_EQ(r.marks.size(), 197u) << "every stage marks the same names, flags aside";
        MarkIslaObjects(rigid, isla);
    }
    for (int code : std::initializer_list<int>{G::PlayingVinyetasIntro1, G::PlayingVinyetasIntro2, G::PlayingSecondMovie,
                     G::PlayingVinyetasFinalHangares, G::PlayingCreditos, G::PlayingVinyetasDockersHuye,
                     G::PlayingMemoriam, G::PlayingVinyetasPredockers}) {
        G record;
        record.sequence = record.islaSequence = code;
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
