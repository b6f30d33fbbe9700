#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/MainConfig.h"

namespace {

class MainConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = MainConfig;
        MainConfig.clear();
    }
    void TearDown() override { MainConfig = saved_; }
    std::map<std::string, bool> saved_;
};

TEST_F(MainConfigTest, DefaultsAreEverySwitchOnButMotionBlur)
{
    const std::map<std::string, bool> expected = {
        {"playerRender", true},      {"playerUpdate", true},      {"enemiesRender", true},
        {"enemiesUpdate", true},     {"sceneMngrUpdate", true},   {"rigidAnimsUpdate", true},
        {"guiRender", true},         {"blurRender", false},       {"applyOld", true},
        {"latasRender", true},       {"scenarioRender", true},    {"scenarioUpdate", true},
        {"textdebugRender", true},   {"textdebugUpdate", true},   {"skyboxRender", true},
        {"skyboxUpdate", true},      {"projectilesRender", true}, {"projectilesUpdate", true},
        {"particlesRender", true},   {"particlesUpdate", true},   {"cameraRender", true},
        {"cameraUpdate", true},      {"soundRender", true},       {"soundUpdate", true},
        {"luaMsgRender", true},      {"luaMsgUpdate", true},      {"collisionsRender", true},
        {"collisionsUpdate", true},  {"bloomRender", true},       {"inputUpdate", true},
        {"triggersUpdate", true},
    };
    InitMainConfig();
    EXPECT_EQ(MainConfig, expected);

    // Defaults are written, not merely added: a second call undoes changes.
    setMainConfig("inputUpdate", false);
    setMainConfig("blurRender", true);
    InitMainConfig();
    EXPECT_EQ(MainConfig, expected);
}

TEST_F(MainConfigTest, UnknownNameReadsOffAndIsRemembered)
{
    InitMainConfig();
    EXPECT_FALSE(getMainConfig("nothing"));
    ASSERT_EQ(MainConfig.count("nothing"), 1u);
    EXPECT_FALSE(MainConfig.at("nothing"));
    EXPECT_FALSE(getMainConfig("nothing"));
    EXPECT_EQ(MainConfig.size(), 32u);
}

TEST_F(MainConfigTest, SetChangesKnownSwitchesAndAddsNewOnes)
{
    InitMainConfig();
    setMainConfig("blurRender", true);
    setMainConfig("bloomRender", false);
    EXPECT_TRUE(getMainConfig("blurRender"));
    EXPECT_FALSE(getMainConfig("bloomRender"));

    setMainConfig("fromAScript", true);
    EXPECT_TRUE(getMainConfig("fromAScript"));
    // Names are case-sensitive: another spelling is another switch.
    EXPECT_FALSE(getMainConfig("BloomRender"));
    EXPECT_EQ(MainConfig.size(), 33u);
}

TEST(GameTimeScale, SetTimeScaleTakesAnyValue)
{
    const float saved = GameTimeScale;
    SetTimeScale(0.0f);
    EXPECT_EQ(GameTimeScale, 0.0f);
    SetTimeScale(0.08f);
    EXPECT_EQ(GameTimeScale, 0.08f);
    SetTimeScale(saved);
}

} // namespace
