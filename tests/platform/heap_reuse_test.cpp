// Memory a frame frees at the top of the C heap is there again for the next
// frame without the system handing out fresh pages for it.
#include "platform/crt.h"

#include <gtest/gtest.h>

#include "heap_figures.h"
#include "page_faults.h"

namespace {

TEST(HeapReuse, AFrameSizedRoundFreedAtTheTopFaultsNoPagesTheNextTime)
{
    if (!kHeapMeasured)
        GTEST_SKIP() << "the sanitizers keep a heap of their own";
    // From the C library's own setting, whatever ran before in this process.
    crt::KeepHeapTopForReuse(128 * 1024);
    crt::KeepBigBlocksApart();
    crt::KeepHeapTopForReuse();
    EXPECT_EQ(crt::HeapTopKept(), crt::kHeapTopKept);
    // 24 MB: more than a wave's frame frees at once.
    constexpr int kMegabytes = 24;
    static_assert(kMegabytes * (1ul << 20) < crt::kHeapTopKept, "the round fits in what is kept");
    FaultsOfOneHeapRound(kMegabytes);
    for (int round = 0; round < 3; ++round) {
        // 6,144 pages were written; given back, each would fault again.
        EXPECT_LT(FaultsOfOneHeapRound(kMegabytes), 100) << "round " << round;
    }
}

} // namespace
