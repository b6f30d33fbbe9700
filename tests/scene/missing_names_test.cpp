#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/bounded.h"
#include "scene/ModelsManager.h"

namespace {

int CountOf(const std::string& text, const std::string& piece)
{
    int count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

// A model asked for every frame under a name the library lacks is named once,
// on a line of its own; another missing name gets its own line; a name of a
// megabyte is not echoed whole.
TEST(MissingNames, AMissingModelIsNamedOnceOnItsOwnLine)
{
    // What an earlier test (or start) in this process said is not held against this one.
    bounded::ForgetSaidLines();
    CModelsManager library;
    const std::string huge(1 << 20, 'z');
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 50; ++frame) {
        EXPECT_EQ(library.CreateModelInstance("enemyGreenMissing"), nullptr);
        EXPECT_EQ(library.CreateModelInstance("portuarioMissing"), nullptr);
        EXPECT_EQ(library.CreateModelInstance(huge), nullptr);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountOf(said, "ERROR: Model not found!!!: enemyGreenMissing\n"), 1) << said.substr(0, 400);
    EXPECT_EQ(CountOf(said, "ERROR: Model not found!!!: portuarioMissing\n"), 1);
    EXPECT_EQ(CountOf(said, "ERROR: Model not found!!!"), 3);
    EXPECT_EQ(CountOf(said, std::string(bounded::kMaxEchoedName, 'z') + "...\n"), 1);
    EXPECT_LT(said.size(), 1000u);
}

} // namespace
