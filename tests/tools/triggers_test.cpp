// The trigger boxes of the layouts, as the game's trigger manager reads them
// back from the generated file.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "datagen/Layout.h"
#include "datagen/Triggers.h"
#include "world/TriggerManager.h"
#include "xml/temp_folder.h"

using datagen::LevelLayout;

namespace {

// A floor with a crate 100 high; each case adds its triggers.
std::string TriggerLevel(const std::string& level, const std::string& triggers)
{
    return "<layout level=\"" + level + R"("><material name="m" diffusemap="d.jpg"/>
      <object name="floor" shape="floor" size="2000 0 2000" position="0 0 0" material="m"/>
      <object name="crate" shape="box" size="100 100 100" position="500 0 500" material="m"/>)" +
           triggers + "</layout>";
}

LevelLayout ParseTriggers(const std::string& xml)
{
    LevelLayout layout;
    std::string error;
    EXPECT_TRUE(datagen::ParseLayout(xml, layout, error)) << error;
    return layout;
}

TEST(TriggerLayout, EveryTriggerStandsOnTheGroundWithASizeAndAName)
{
    const LevelLayout fine = ParseTriggers(TriggerLevel("hangares", R"(<trigger name="trg_01" position="-100 0 30" size="200 400 60"/>
        <trigger name="trg_02" position="500 100 500" size="10 10 10"/>)"));
    ASSERT_EQ(fine.triggers.size(), 2u);
    // On the crate: from 20 inside it (where feet resting on it sink) to 10 above.
    EXPECT_EQ(fine.triggers[1].Centre(), D3DXVECTOR3(500, 95, 500));
    EXPECT_EQ(fine.triggers[1].Height(), 30.0f);

    const std::pair<std::string, std::string> refused[] = {
        {R"(<trigger position="0 0 0" size="1 1 1"/>)", "needs a name"},
        {R"(<trigger name="trg_01" size="1 1 1"/>)", "position"},
        {R"(<trigger name="trg_01" position="0 0" size="1 1 1"/>)", "position"},
        {R"(<trigger name="trg_01" position="0 0 0"/>)", "positive size"},
        {R"(<trigger name="trg_01" position="0 0 0" size="1 0 1"/>)", "positive size"},
        {R"(<trigger name="trg_01" position="0 0 0" size="1 1 -1"/>)", "positive size"},
        {R"(<trigger name="trg_01" position="0 50 0" size="1 1 1"/>)", "not on the ground"},
        {R"(<trigger name="trg_01" position="500 0 500" size="1 1 1"/>)", "not on the ground"},
        {R"(<trigger name="trg_01" position="5000 0 0" size="1 1 1"/>)", "no ground"},
        {R"(<trigger name="trg_01" position="0 0 0" size="1 1 1"/><trigger name="trg_01" position="9 0 9" size="1 1 1"/>)",
         "placed twice"},
    };
    for (const auto& [triggers, why] : refused) {
        LevelLayout layout;
        std::string error;
        EXPECT_FALSE(datagen::ParseLayout(TriggerLevel("hangares", triggers), layout, error)) << triggers;
        EXPECT_NE(error.find(why), std::string::npos) << triggers << ": " << error;
    }
}

TEST(TriggerLayout, TheGameReadsBackEachBoxInItsLevelsZone)
{
    const std::vector<LevelLayout> layouts = {
        ParseTriggers(TriggerLevel("hangares", R"(<trigger name="trg_01" position="-100.25 0 30" size="200 400 60"/>
            <trigger name="trg_031" position="300 0 -300" size="1 2 3"/>)")),
        ParseTriggers(TriggerLevel("isla", R"(<trigger name="trg_236" position="500 100 500.5" size="50 60 70"/>)"
                            R"(<trigger name="trg_2" position="0 0 0" size="1 1 1"/>)")),
    };
    std::string error;
    const std::string xml = datagen::TriggerInstancesXml(layouts, error);
    ASSERT_FALSE(xml.empty()) << error;

    TempFolder folder;
    CTriggerManager& manager = getTriggerManager();
    // The game's one manager keeps what an earlier case loaded into it: only
    // this file's boxes may be there. Here no shipped file is found.
    manager.Reset();
    ASSERT_EQ(manager.VolumeCount(), 0u);
    manager.LoadTriggers(folder.Write("trigger_instances.xml", xml).c_str());
    ASSERT_EQ(manager.VolumeCount(), 4u);
    const TriggerVolume* first = manager.FindVolume("trg_01");
    ASSERT_NE(first, nullptr);
    // From 20 below the floor (a hero's feet sink a little) to the top.
    EXPECT_EQ(first->centre, D3DXVECTOR3(-100.25f, 190, 30));
    EXPECT_EQ(first->width, 200.0f);
    EXPECT_EQ(first->height, 420.0f);
    EXPECT_EQ(first->length, 60.0f);
    EXPECT_EQ(first->zone, 1);
    const TriggerVolume* arena = manager.FindVolume("trg_236");
    ASSERT_NE(arena, nullptr);
    EXPECT_EQ(arena->centre, D3DXVECTOR3(500, 120, 500.5f));
    EXPECT_EQ(arena->zone, 2);
    EXPECT_EQ(manager.FindVolume("trg_2")->zone, 2);
    EXPECT_EQ(manager.FindVolume("trg_031")->centre, D3DXVECTOR3(300, -9, -300));
}

TEST(TriggerLayout, ABoxTheGameWouldNeverTestIsRefused)
{
    const std::pair<std::vector<LevelLayout>, std::string> refused[] = {
        {{ParseTriggers(TriggerLevel("hangares", R"(<trigger name="trg_2" position="0 0 0" size="1 1 1"/>)"))}, "zone 2"},
        {{ParseTriggers(TriggerLevel("isla", R"(<trigger name="trg_01" position="0 0 0" size="1 1 1"/>)"))}, "zone 1"},
        {{ParseTriggers(TriggerLevel("isla", R"(<trigger name="trg" position="0 0 0" size="1 1 1"/>)"))}, "zone 1"},
        {{ParseTriggers(TriggerLevel("hangares", R"(<trigger name="trg_01" position="0 0 0" size="1 1 1"/>)")),
          ParseTriggers(TriggerLevel("hangares", R"(<trigger name="trg_01" position="9 0 9" size="1 1 1"/>)"))},
         "two levels"},
    };
    for (const auto& [layouts, why] : refused) {
        std::string error;
        EXPECT_EQ(datagen::TriggerInstancesXml(layouts, error), "") << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

// The shipped file holds every box the level scripts are written for, each
// where its level's zone will test it.
TEST(TriggerLayout, TheShippedFileHoldsTheVolumesOfBothLevels)
{
    CTriggerManager& manager = getTriggerManager();
    manager.LoadTriggers((std::string(VANTOREL_WORKDIR) + "/data/XML/trigger_instances.xml").c_str());
    const std::pair<const char*, int> expected[] = {
        {"trg_01", 1}, {"trg_02", 1}, {"trg_03", 1}, {"trg_031", 1},
        {"trg_06", 1}, {"trg_07", 1}, {"trg_08", 1}, {"trg_236", 2},
    };
    for (const auto& [name, zone] : expected) {
        const TriggerVolume* volume = manager.FindVolume(name);
        ASSERT_NE(volume, nullptr) << name;
        EXPECT_EQ(volume->zone, zone) << name;
        EXPECT_GT(volume->width * volume->height * volume->length, 0.0f) << name;
    }
}

} // namespace
