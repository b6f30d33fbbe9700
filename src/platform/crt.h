// The Windows C runtime's random generator, which the game's arithmetic assumes
// (values 0..32767). The C library's rand differs and is never called.
#pragma once

namespace crt {

constexpr int RAND_MAX_VALUE = 0x7FFF;

// Next value of x = x*214013 + 2531011, returned as (x >> 16) & 0x7FFF.
int rand();
// Restarts the sequence from the seed (the sequence starts from seed 1).
void srand(unsigned int seed);

// Blocks of 256 KB and more (decoded pictures and sounds, the renderer's
// textures and targets) get pages of their own, given back to the system
// when freed. Left to itself the C library moves them into its heap after a
// few such frees, where the holes between live blocks stay resident: the
// game then holds several times the memory it uses.
void KeepBigBlocksApart();

} // namespace crt
