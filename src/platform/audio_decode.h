// Whole-file decoding of the game's sound files for the audio layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
namespace audio {

struct DecodedSound {
    int rate = 0;
    int channels = 0;                  // 1 or 2
    std::vector<std::int16_t> samples; // interleaved
    // What is wrong with a file that still plays, and how it plays: empty
    // for a sound file as it should be.
    std::string damage;
};

// Longest sound we hold decoded; the radios and music loops are well below.
constexpr std::size_t kMaxDecodedFrames = 48000u * 600u;

// Decodes RIFF/WAVE (8- or 16-bit PCM) or Ogg Vorbis, told apart by their
// first bytes. On a broken or unsupported file returns false with the fault
// in error; nothing the file claims is trusted before it is checked against
// what the file holds.
bool DecodeSound(const std::vector<unsigned char>& bytes, DecodedSound& out, std::string& error);

} // namespace audio
} // namespace platform
