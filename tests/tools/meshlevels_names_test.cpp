#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "app/Profiler.h"
#include "datagen/Layout.h"

namespace {

datagen::LevelLayout Shipped(const std::string& level)
{
    for (const std::string& file : datagen::LevelLayoutFiles()) {
        datagen::LevelLayout layout;
        std::string error;
        EXPECT_TRUE(datagen::ReadLayout(file, layout, error)) << error;
        if (layout.level == level)
            return layout;
    }
    ADD_FAILURE() << "no layout for " << level;
    return {};
}

// Every name the frame render may hand over while a level is loaded is an
// object of that level's layout, and the generator has written its mesh into
// the working folder the tests run against.
TEST(MeshLevelsNames, EveryListedNameIsPlacedInItsLevelAndHasAGeneratedMesh)
{
    const std::filesystem::path meshes = std::filesystem::path(VANTOREL_WORKDIR) / "data" / "meshes";
    for (const char* level : {"hangares", "isla"}) {
        std::set<std::string> placed;
        for (const datagen::LayoutObject& o : Shipped(level).objects)
            placed.insert(o.name);
        const std::vector<std::string> listed = LevelListNames(level);
        EXPECT_GT(listed.size(), 100u) << level;
        for (const std::string& name : listed) {
            EXPECT_TRUE(placed.count(name)) << name << " is not in the layout of " << level;
            std::error_code ec;
            // A header and at least one triangle.
            EXPECT_GT(std::filesystem::file_size(meshes / (name + ".mesh"), ec), 64u) << name;
            EXPECT_FALSE(ec) << name;
        }
    }
}

struct Names : IVisibilityMarks {
    void AddVisible(const std::string& name) override { all.insert(name); }
    void SetVisible(const std::string& name, bool) override { all.insert(name); }
    std::set<std::string> all;
};

// The comic boards stand in their own rows beyond the level's ground, out of
// the way of everything the hero walks through.
TEST(MeshLevelsNames, ComicPanelsStandBeyondTheGround)
{
    using G = CGameStateFlagsManager;
    CProfiler quiet;
    const std::pair<const char*, std::vector<int>> levels[] = {
        {"hangares", {G::PlayingVinyetasIntro1, G::PlayingVinyetasIntro2, G::PlayingSecondMovie,
                      G::PlayingVinyetasFinalHangares}},
        {"isla", {G::PlayingCreditos, G::PlayingVinyetasDockersHuye, G::PlayingMemoriam, G::PlayingVinyetasPredockers}},
    };
    for (const auto& [level, codes] : levels) {
        Names comic;
        for (int code : codes) {
            G record;
            record.sequence = record.islaSequence = code;
            MarkComicPanels(level, record, comic, quiet);
        }
        const datagen::LevelLayout layout = Shipped(level);
        float far = -1e9f;
        for (const datagen::LayoutObject& o : layout.objects)
            if (o.shape == datagen::LayoutShape::Floor && o.position.y >= 0 && !comic.all.count(o.name))
                far = std::max(far, o.position.z + o.size.z / 2);
        int panels = 0;
        for (const datagen::LayoutObject& o : layout.objects)
            if (comic.all.count(o.name)) {
                ++panels;
                EXPECT_GT(o.position.z - o.size.z / 2, far) << o.name << " in " << level;
            }
        EXPECT_EQ(panels, static_cast<int>(comic.all.size())) << level;
    }
}

} // namespace
