#pragma once
// 16-bit PCM WAV files for the generated sounds, and two simple sources for
// them: a tone and a noise burst.
#include <cstdint>
#include <vector>

#include "datagen/Generator.h"

namespace datagen {

struct Pcm16 {
    int sampleRate = 22050;
    int channels = 1;
    std::vector<std::int16_t> samples; // interleaved when channels > 1
};

// A RIFF/WAVE file with one "fmt " and one "data" chunk. Throws
// std::invalid_argument for a rate or channel count no player accepts, or
// for samples that do not fill whole frames.
Bytes EncodeWav(const Pcm16& sound);

// A mono sine of the given frequency; amplitude 0..1 of full scale. The ends
// fade over a few milliseconds so that the sound starts and stops without a click.
Pcm16 Tone(float hertz, float seconds, float amplitude, int sampleRate = 22050);
// Mono white noise from a fixed seed: the same seed gives the same samples.
Pcm16 Noise(float seconds, float amplitude, std::uint32_t seed, int sampleRate = 22050);

} // namespace datagen
