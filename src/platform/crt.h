// The Windows C runtime's random generator, which the game's arithmetic assumes
// (values 0..32767). The C library's rand differs and is never called.
#pragma once

namespace crt {

constexpr int RAND_MAX_VALUE = 0x7FFF;

// Next value of x = x*214013 + 2531011, returned as (x >> 16) & 0x7FFF.
int rand();
// Restarts the sequence from the seed (the sequence starts from seed 1).
void srand(unsigned int seed);

} // namespace crt
