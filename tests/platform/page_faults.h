// Pages the system hands this process anew, for tests that the game's working
// memory is taken again from what it freed.
#pragma once

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <vector>

// Minor faults of the process so far: each is a page first touched.
inline long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Pages first touched while blocks of 64 KB (below the size that gets pages of
// its own) adding up to the given megabytes are taken and written, then freed
// newest first, as a frame's working memory is.
inline long FaultsOfOneHeapRound(int megabytes)
{
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<void*> blocks(static_cast<std::size_t>(megabytes) * 16);
    const long before = MinorFaults();
    for (void*& block : blocks) {
        block = std::malloc(kBlock);
        std::memset(block, 1, kBlock);
    }
    const long faults = MinorFaults() - before;
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block)
        std::free(*block);
    return faults;
}
