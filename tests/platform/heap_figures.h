// What the C heap holds, for tests that bound the game's memory.
#pragma once

#include <malloc.h>

// Under the sanitizers the C heap is theirs (with its shadow and its
// quarantine of freed blocks): its figures mean nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapMeasured = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapMeasured = false;
#else
constexpr bool kHeapMeasured = true;
#endif
#else
constexpr bool kHeapMeasured = true;
#endif

// Megabytes the C heap hands out now, the renderer's texels included.
inline double HeapMb()
{
    const struct mallinfo2 heap = mallinfo2();
    return (heap.uordblks + heap.hblkhd) / 1048576.0;
}
