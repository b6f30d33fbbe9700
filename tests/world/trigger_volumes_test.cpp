// The trigger tick as the level scripts see it: which Lua callbacks run, in
// what order and how often, for a hero walking through the volumes read from
// the trigger file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "player/Player.h"
#include "script/ScriptHost.h"
#include "world/TriggerManager.h"

namespace {

namespace fs = std::filesystem;

void WriteVolumeFile(const fs::path& path, const std::string& text)
{
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string Trigger(const std::string& name, float x, float y, float z, float w, float h, float l,
                    const std::string& axes = "1 0 0 0 1 0 0 0 1")
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "<trigger name=\"%s\" transform=\"%s %g %g %g\" width=\"%g\" height=\"%g\" length=\"%g\"/>",
                  name.c_str(), axes.c_str(), x, y, z, w, h, l);
    return text;
}

std::string g_Log;

int Note(lua_State* L)
{
    g_Log += luaL_checkstring(L, 1);
    g_Log += ' ';
    return 0;
}

int Named(lua_State* L)
{
    g_Log += lua_tostring(L, lua_upvalueindex(1));
    g_Log += ' ';
    return 0;
}

int g_ResetsFromLua = 0;
// Restarts the level from inside a callback; the fresh state gets recorders
// for what the old tick must no longer call.
int ResetFromLua(lua_State*)
{
    ++g_ResetsFromLua;
    getTriggerManager().Reset();
    lua_State* fresh = getScriptHost().GetState();
    for (const char* name : {"bLater", "OnEnter_trg_02", "OnEnter_trg_01"}) {
        lua_pushstring(fresh, name);
        lua_pushcclosure(fresh, Named, 1);
        lua_setglobal(fresh, name);
    }
    return 0;
}

// Each test runs in a folder of its own (the tests of this program run in
// parallel in one scratch folder), with the level scripts and the trigger
// file it writes there.
class TriggerTick : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Previous = fs::current_path();
        m_Folder = m_Previous / ("triggers_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_Folder);
        fs::create_directories(m_Folder);
        fs::current_path(m_Folder);
        getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(0, 0, 0));
        manager().Reset();
        manager().currentZone = 1;
        Record();
    }
    void TearDown() override
    {
        fs::current_path(m_Previous);
        fs::remove_all(m_Folder);
    }

    static CTriggerManager& manager() { return getTriggerManager(); }

    // The volumes' callbacks and the logics the tests use, each a function
    // that appends its own name to the log; "note" appends its argument.
    void Record()
    {
        g_Log.clear();
        lua_State* L = getScriptHost().GetState();
        lua_register(L, "note", Note);
        for (const char* volume : {"trg_01", "trg_02", "trg_03", "trg_04", "trg_a", "trg_b", "aaa_x", "trg_", "t",
                                   "trg_231", "trg_5", "plain", "part", "both", "vol", "kept"}) {
            for (const char* call : {"OnEnter_", "OnStay_", "OnExit_"})
                Define(call + std::string(volume));
        }
        for (const char* logic : {"poll", "zWave", "idle", "checkPoint1", "both", "bLater", "after"})
            Define(logic);
    }

    static void Define(const std::string& name)
    {
        lua_State* L = getScriptHost().GetState();
        lua_pushstring(L, name.c_str());
        lua_pushcclosure(L, Named, 1);
        lua_setglobal(L, name.c_str());
    }

    void Run(const std::string& chunk)
    {
        lua_State* L = getScriptHost().GetState();
        ASSERT_EQ(luaL_loadstring(L, chunk.c_str()), LUA_OK);
        ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_OK) << lua_tostring(L, -1);
    }

    // The callbacks run since the last call, in order, and a fresh log.
    static std::string Calls()
    {
        std::string calls;
        calls.swap(g_Log);
        return calls;
    }

    void Load(const std::string& triggers)
    {
        WriteVolumeFile("t.xml", "<?xml version=\"1.0\"?>\n<triggers>" + triggers + "</triggers>\n");
        manager().LoadTriggers("t.xml");
    }

    static void HeroAt(float x, float y, float z) { getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(x, y, z)); }
    // One tick for sure: more than the interval at once.
    static void Tick() { manager().Update(0.15f); }

    fs::path m_Previous;
    fs::path m_Folder;
};

TEST_F(TriggerTick, RunsOnlyOnceMoreThanATenthOfASecondHasGathered)
{
    manager().getTriggerLogicByName("poll")->active = true;
    // Exactly the interval is not enough; the least bit more is.
    manager().Update(0.1f);
    EXPECT_EQ(Calls(), "");
    manager().Update(0.001f);
    EXPECT_EQ(Calls(), "poll ");

    // At 30 frames a second the tick comes every third or fourth frame, the
    // surplus dropped each time.
    std::vector<int> frames;
    for (int frame = 1; frame <= 60; ++frame) {
        manager().Update(1.0f / 30.0f);
        if (Calls() == "poll ")
            frames.push_back(frame);
    }
    ASSERT_GE(frames.size(), 15u);
    ASSERT_LE(frames.size(), 20u);
    int previous = 0;
    for (int frame : frames) {
        EXPECT_TRUE(frame - previous == 3 || frame - previous == 4) << "tick at frame " << frame;
        previous = frame;
    }
}

TEST_F(TriggerTick, EntersStaysAndLeavesWithOneCallEachTick)
{
    Load(Trigger("trg_01", 100, 50, -200, 40, 100, 60));
    HeroAt(0, 0, 0);
    Tick();
    EXPECT_EQ(Calls(), "") << "outside and still outside";
    HeroAt(100, 50, -200);
    Tick();
    EXPECT_EQ(Calls(), "OnEnter_trg_01 ");
    Tick();
    EXPECT_EQ(Calls(), "OnStay_trg_01 ");
    HeroAt(110, 10, -180);
    Tick();
    EXPECT_EQ(Calls(), "OnStay_trg_01 ");
    HeroAt(100, 50, -231);
    Tick();
    EXPECT_EQ(Calls(), "OnExit_trg_01 ");
    Tick();
    EXPECT_EQ(Calls(), "");
}

TEST_F(TriggerTick, EveryFaceOfTheBoxCountsAsInside)
{
    // Box from (90, 0, -230) to (110, 100, -170), centre (100, 50, -200).
    Load(Trigger("trg_01", 100, 50, -200, 20, 100, 60));
    struct Case {
        D3DXVECTOR3 at;
        bool inside;
    };
    const Case cases[] = {
        {{90, 50, -200}, true},    {{110, 50, -200}, true},    {{100, 0, -200}, true},
        {{100, 100, -200}, true},  {{100, 50, -230}, true},    {{100, 50, -170}, true},
        {{110, 100, -170}, true},  {{90, 0, -230}, true},      {{89.9f, 50, -200}, false},
        {{110.1f, 50, -200}, false}, {{100, -0.1f, -200}, false}, {{100, 100.1f, -200}, false},
        {{100, 50, -230.1f}, false}, {{100, 50, -169.9f}, false},
    };
    for (const Case& c : cases) {
        HeroAt(0, 500, 0);
        Tick();
        Calls();
        HeroAt(c.at.x, c.at.y, c.at.z);
        Tick();
        EXPECT_EQ(Calls(), c.inside ? "OnEnter_trg_01 " : "")
            << "hero at " << c.at.x << ", " << c.at.y << ", " << c.at.z;
    }
}

TEST_F(TriggerTick, LogicsRunBeforeAnyVolumeAndBothInNameOrder)
{
    Load(Trigger("trg_b", 0, 0, 0, 10, 10, 10) + Trigger("trg_a", 0, 0, 0, 10, 10, 10) +
         Trigger("aaa_x", 0, 0, 0, 10, 10, 10));
    manager().getTriggerLogicByName("zWave")->active = true;
    manager().getTriggerLogicByName("idle");
    manager().getTriggerLogicByName("checkPoint1")->active = true;
    Tick();
    EXPECT_EQ(Calls(), "checkPoint1 zWave OnEnter_aaa_x OnEnter_trg_a OnEnter_trg_b ");
    // The list of what runs on the next tick: the active logics, no volume.
    EXPECT_EQ(manager().ActiveLogicNames(), (std::vector<std::string>{"checkPoint1", "zWave"}));
}

TEST_F(TriggerTick, ADisabledVolumeKeepsItsStateUntilTestedAgain)
{
    Load(Trigger("trg_02", 0, 0, 0, 10, 10, 10));
    Tick();
    EXPECT_EQ(Calls(), "OnEnter_trg_02 ");
    manager().setEnableTrigger("trg_02", false);
    EXPECT_FALSE(manager().getEnabledTrigger("trg_02"));
    Tick();
    HeroAt(500, 0, 0);
    Tick();
    EXPECT_EQ(Calls(), "") << "a disabled volume calls nothing";
    manager().setEnableTrigger("trg_02", true);
    Tick();
    EXPECT_EQ(Calls(), "OnExit_trg_02 ") << "he was inside when it was last tested";
}

TEST_F(TriggerTick, ACallbackThatSwitchesItsVolumeOffStillLeavesItInside)
{
    Load(Trigger("trg_03", 0, 0, 0, 10, 10, 10) + Trigger("trg_04", 0, 0, 0, 10, 10, 10));
    Run("function OnEnter_trg_03() note('OnEnter_trg_03')\n"
        "  getTriggerManager():setEnableTrigger('trg_03', false)\n"
        "  getTriggerManager():setEnableTrigger('trg_04', false) end");
    Tick();
    // The change holds for the rest of the tick: trg_04 is not tested.
    EXPECT_EQ(Calls(), "OnEnter_trg_03 ");
    manager().setEnableTrigger("trg_03", true);
    manager().setEnableTrigger("trg_04", true);
    Tick();
    EXPECT_EQ(Calls(), "OnStay_trg_03 OnEnter_trg_04 ");
}

TEST_F(TriggerTick, TheZoneIsTheDigitAtIndexFour)
{
    struct Case {
        const char* name;
        int zone;
    };
    const Case cases[] = {
        {"trg_5", 5}, {"trg_9x", 9}, {"trg_2_arena", 2}, {"trg_1", 1}, {"trg_0", 1}, {"trg_031", 1},
        {"trg_a", 1}, {"trg_", 1},   {"trg", 1},         {"", 1},      {"abcd/", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTriggerManager::ZoneOfName(c.name), c.zone) << c.name;

    // Names too short for their digit are read as zone 1 and tested.
    Load(Trigger("t", 0, 0, 0, 10, 10, 10) + Trigger("trg_", 0, 0, 0, 10, 10, 10) +
         Trigger("trg_231", 0, 0, 0, 10, 10, 10) + Trigger("trg_5", 0, 0, 0, 10, 10, 10));
    Tick();
    EXPECT_EQ(Calls(), "OnEnter_t OnEnter_trg_ ");
    // The island's zone: only its volumes are tested, and they see the hero
    // for the first time.
    manager().currentZone = 2;
    Tick();
    EXPECT_EQ(Calls(), "OnEnter_trg_231 ");
    manager().currentZone = 1;
    Tick();
    EXPECT_EQ(Calls(), "OnStay_t OnStay_trg_ ");
}

TEST_F(TriggerTick, TheFileGivesCentresSizesAndTheFirstOfEachName)
{
    Load("<level><room>" + Trigger("trg_01", 10, 20, 30, 1, 2, 3, "0 0 -1 0 1 0 1 0 0") +
         "<trigger name=\"plain\"/><box name=\"trg_box\"/></room>" + Trigger("trg_01", 900, 900, 900, 9, 9, 9) +
         "<trigger name=\"part\" transform=\"1 0 0 0 1 0 0 0 1 5 6\" width=\"4\"/></level>");
    ASSERT_EQ(manager().VolumeCount(), 3u);
    const TriggerVolume* first = manager().FindVolume("trg_01");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->centre, D3DXVECTOR3(10, 20, 30));
    EXPECT_EQ(first->width, 1.0f);
    EXPECT_EQ(first->height, 2.0f);
    EXPECT_EQ(first->length, 3.0f);
    EXPECT_EQ(first->inside, 1);
    EXPECT_TRUE(first->enabled);
    const TriggerVolume* plain = manager().FindVolume("plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->centre, D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(plain->width + plain->height + plain->length, 0.0f);
    const TriggerVolume* part = manager().FindVolume("part");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->centre, D3DXVECTOR3(5, 6, 0)) << "a short matrix keeps the identity's translation";
    EXPECT_EQ(manager().FindVolume("trg_box"), nullptr);

    // A box of no size holds only its centre.
    HeroAt(0, 0, 0.01f);
    Tick();
    EXPECT_EQ(Calls(), "");
    HeroAt(0, 0, 0);
    Tick();
    EXPECT_EQ(Calls(), "OnEnter_plain ");
}

TEST_F(TriggerTick, ABrokenFileIsRefusedWholeAndACutOneKeepsWhatWasRead)
{
    // Each refused file also names a volume an earlier file gave: that one
    // stays, since the refused file never added it.
    Load(Trigger("kept", 0, 0, 0, 10, 10, 10));
    for (const char* size : {"width=\"1e39\"", "height=\"nan\"", "length=\"-inf\"", "width=\"-3\"",
                             "length=\"1e30\""}) {
        Load(Trigger("kept", 5, 5, 5, 1, 1, 1) + Trigger("trg_01", 0, 0, 0, 10, 10, 10) +
             "<trigger name=\"trg_02\" " + size + "/>");
        EXPECT_EQ(manager().VolumeCount(), 1u) << size;
        ASSERT_NE(manager().FindVolume("kept"), nullptr) << size;
        EXPECT_EQ(manager().FindVolume("kept")->centre, D3DXVECTOR3(0, 0, 0));
    }

    std::string many;
    for (std::size_t i = 0; i <= CTriggerManager::kMaxVolumes; ++i)
        many += "<trigger name=\"v" + std::to_string(i) + "\"/>";
    Load(many);
    EXPECT_EQ(manager().VolumeCount(), 1u) << "too many volumes";

    WriteVolumeFile("cut.xml", "<triggers>" + Trigger("trg_01", 0, 0, 0, 10, 10, 10) + "<trigger name=");
    manager().LoadTriggers("cut.xml");
    EXPECT_NE(manager().FindVolume("trg_01"), nullptr);
    EXPECT_NE(manager().FindVolume("kept"), nullptr);
    manager().LoadTriggers("missing.xml");
    EXPECT_EQ(manager().VolumeCount(), 2u);

    WriteVolumeFile("not_xml.xml", "trigger trg_01 0 0 0");
    ::testing::internal::CaptureStderr();
    manager().LoadTriggers("not_xml.xml");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "not_xml.xml: refused: it is not well-formed XML (syntax error at line 1)\n");
    EXPECT_EQ(manager().VolumeCount(), 2u);
}

TEST_F(TriggerTick, EnabledAnswersForTheLogicBeforeTheVolume)
{
    Load(Trigger("both", 0, 0, 0, 10, 10, 10) + Trigger("vol", 0, 0, 0, 10, 10, 10));
    manager().getTriggerLogicByName("both");
    EXPECT_FALSE(manager().getEnabledTrigger("both")) << "the inactive logic, not the enabled volume";
    EXPECT_TRUE(manager().getEnabledTrigger("vol"));
    EXPECT_FALSE(manager().getEnabledTrigger("nothing"));
    manager().setEnableTrigger("nothing", true);
    EXPECT_FALSE(manager().getEnabledTrigger("nothing"));
    EXPECT_EQ(manager().LogicCount(), 1u) << "enabling an unknown name creates nothing";

    // One call switches both of a name.
    manager().setEnableTrigger("both", true);
    EXPECT_TRUE(manager().getTriggerLogicByName("both")->active);
    manager().setEnableTrigger("both", false);
    manager().getTriggerLogicByName("both")->active = true;
    EXPECT_TRUE(manager().getEnabledTrigger("both"));
    Tick();
    EXPECT_EQ(Calls(), "both OnEnter_vol ") << "volume \"both\" was switched off with its logic";
}

TEST_F(TriggerTick, ResetRunsTheScriptsThenDropsWhatTheyMadeAndRereadsTheFile)
{
    WriteVolumeFile("sala1.lua", "order = 'sala1'\n"
                           "getTriggerManager():getTriggerLogicByName('topLevel')\n"
                           "getTriggerManager():setEnableTrigger('topLevel', true)\n");
    WriteVolumeFile("botScripts.lua", "order = order .. ' botScripts' + nil\n");
    WriteVolumeFile("sala2.lua", "order = (order or 'none') .. ' sala2'\n");
    WriteVolumeFile("data/XML/trigger_instances.xml", "<t>" + Trigger("trg_01", 0, 0, 0, 10, 10, 10) + "</t>");
    Load(Trigger("old", 0, 0, 0, 10, 10, 10));
    manager().getTriggerLogicByName("stale")->active = true;
    manager().checkpoint = 4;
    manager().currentZone = 2;
    manager().Update(0.08f);

    manager().Reset();
    lua_State* L = getScriptHost().GetState();
    lua_getglobal(L, "order");
    EXPECT_STREQ(lua_tostring(L, -1), "sala1 sala2") << "a failing script does not stop the next";
    lua_pop(L, 1);
    EXPECT_EQ(manager().LogicCount(), 0u);
    EXPECT_FALSE(manager().getEnabledTrigger("topLevel"));
    EXPECT_FALSE(manager().getEnabledTrigger("stale"));
    EXPECT_EQ(manager().FindVolume("old"), nullptr);
    EXPECT_NE(manager().FindVolume("trg_01"), nullptr);
    EXPECT_EQ(manager().checkpoint, 4);
    EXPECT_EQ(manager().currentZone, 1);

    Record();
    manager().Update(0.05f);
    EXPECT_EQ(Calls(), "") << "the timer starts again from 0";
    manager().Update(0.06f);
    EXPECT_EQ(Calls(), "OnEnter_trg_01 ");
}

TEST_F(TriggerTick, ARestartFromACallbackEndsTheTickSafely)
{
    // From a logic: the logics after it and every volume are left alone.
    Load(Trigger("trg_01", 0, 0, 0, 10, 10, 10));
    lua_register(getScriptHost().GetState(), "resetNow", ResetFromLua);
    Run("function aRestart() note('aRestart'); resetNow() end");
    manager().getTriggerLogicByName("aRestart")->active = true;
    manager().getTriggerLogicByName("bLater")->active = true;
    g_ResetsFromLua = 0;
    Tick();
    EXPECT_EQ(g_ResetsFromLua, 1);
    EXPECT_EQ(Calls(), "aRestart ");
    EXPECT_EQ(manager().LogicCount(), 0u);
    EXPECT_EQ(manager().FindVolume("trg_01"), nullptr) << "no trigger file in this folder";
    // The next tick is the fresh state's own.
    Record();
    manager().getTriggerLogicByName("after")->active = true;
    manager().Update(0.05f);
    manager().Update(0.06f);
    EXPECT_EQ(Calls(), "after ");

    // From a volume: the volumes after it are left alone.
    manager().setEnableTrigger("after", false);
    Load(Trigger("trg_00", 0, 0, 0, 10, 10, 10) + Trigger("trg_02", 0, 0, 0, 10, 10, 10));
    lua_register(getScriptHost().GetState(), "resetNow", ResetFromLua);
    Run("function OnEnter_trg_00() note('OnEnter_trg_00'); resetNow() end");
    Tick();
    EXPECT_EQ(g_ResetsFromLua, 2);
    EXPECT_EQ(Calls(), "OnEnter_trg_00 ");
}

} // namespace
