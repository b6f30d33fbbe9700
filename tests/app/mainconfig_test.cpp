#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/MainConfig.h"

namespace {

TEST(MainConfig, DefaultsAreWrittenAgainAndUnknownNamesReadOff)
{
    const std::map<std::string, bool> saved = MainConfig;
    MainConfig.clear();
    InitMainConfig();
    const std::map<std::string, bool> defaults = MainConfig;
    EXPECT_GE(defaults.size(), 31u);
    for (const auto& [name, on] : defaults)
        EXPECT_EQ(on, name != "blurRender") << name << ": every switch is on but motion blur";

    setMainConfig("inputUpdate", false);
    setMainConfig("blurRender", true);
    InitMainConfig();
    EXPECT_EQ(MainConfig, defaults);

    // A name no switch has reads off; a script may add one. Names are
    // case-sensitive: another spelling is another switch.
    EXPECT_FALSE(getMainConfig("nothing"));
    setMainConfig("fromAScript", true);
    EXPECT_TRUE(getMainConfig("fromAScript"));
    EXPECT_FALSE(getMainConfig("BloomRender"));
    MainConfig = saved;
}

} // namespace
