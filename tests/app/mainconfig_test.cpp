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

TEST_F(MainConfigTest, DefaultsAreWrittenAgainAndUnknownNamesReadOff)
{
    InitMainConfig();
    const std::map<std::string, bool> defaults = MainConfig;
    EXPECT_EQ(defaults.size(), 31u);
    for (const auto& [name, on] : defaults)
        EXPECT_EQ(on, name != "blurRender") << name << ": every switch is on but motion blur";

    setMainConfig("inputUpdate", false);
    setMainConfig("blurRender", true);
    InitMainConfig();
    EXPECT_EQ(MainConfig, defaults);

    // An unknown name reads off and is remembered; set adds it. Names are
    // case-sensitive: another spelling is another switch.
    EXPECT_FALSE(getMainConfig("nothing"));
    ASSERT_EQ(MainConfig.count("nothing"), 1u);
    EXPECT_FALSE(MainConfig.at("nothing"));

    setMainConfig("fromAScript", true);
    EXPECT_TRUE(getMainConfig("fromAScript"));
    EXPECT_FALSE(getMainConfig("BloomRender"));
    EXPECT_EQ(MainConfig.size(), 34u);
}

} // namespace
