#include "platform/crt.h"

#include <cstdint>

#include <malloc.h>

namespace crt {
namespace {
std::uint32_t g_State = 1;
unsigned long g_HeapTopKept = 128ul * 1024;
}

int rand()
{
    g_State = g_State * 214013u + 2531011u;
    return static_cast<int>((g_State >> 16) & 0x7FFF);
}

void srand(unsigned int seed)
{
    g_State = seed;
}

void KeepBigBlocksApart()
{
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

void KeepHeapTopForReuse(unsigned long bytes)
{
    if (mallopt(M_TRIM_THRESHOLD, static_cast<int>(bytes)) == 1)
        g_HeapTopKept = bytes;
}

unsigned long HeapTopKept()
{
    return g_HeapTopKept;
}

} // namespace crt
