#include "platform/crt.h"

#include <cstdint>

#include <malloc.h>

namespace crt {
namespace {
std::uint32_t g_State = 1;
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

} // namespace crt
