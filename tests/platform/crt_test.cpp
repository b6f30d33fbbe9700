#include "platform/crt.h"

#include <gtest/gtest.h>

namespace {

TEST(CrtRand, FollowsTheWindowsRuntimeSequenceAndRestartsOnSeed)
{
    const int fromSeedOne[] = {41, 18467, 6334, 26500, 19169};
    crt::srand(1);
    for (int expected : fromSeedOne)
        EXPECT_EQ(crt::rand(), expected);

    crt::srand(7);
    const int other = crt::rand();
    EXPECT_NE(other, 41);

    crt::srand(1);
    for (int expected : fromSeedOne)
        EXPECT_EQ(crt::rand(), expected);
    crt::srand(7);
    EXPECT_EQ(crt::rand(), other);
}

} // namespace
