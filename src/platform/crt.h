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

// Up to kHeapTopKept bytes freed at the top of the C heap stay with the
// process. The renderer frees its working memory at the end of every frame
// and takes as much again in the next: given back to the system each time,
// every page of it came back zeroed through a page fault, hundreds a frame.
// What is kept is what the frame needed at its peak anyway (a wave's frame
// frees more than 16 MB there at times).
constexpr unsigned long kHeapTopKept = 64ul << 20;
void KeepHeapTopForReuse(unsigned long bytes = kHeapTopKept);
// What the last KeepHeapTopForReuse kept (the C library's own 128 KB before).
unsigned long HeapTopKept();

} // namespace crt
