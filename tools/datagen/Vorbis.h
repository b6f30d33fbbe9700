#pragma once
// Ogg Vorbis files for the generated voices, music and ambience.
#include "datagen/Generator.h"
#include "datagen/Wav.h"

namespace datagen {

// Encodes the sound as one Ogg Vorbis stream (quality-based VBR). The same
// samples always give the same bytes. Throws std::runtime_error when the
// encoder refuses the rate or channel count.
Bytes EncodeOggVorbis(const Pcm16& sound);

} // namespace datagen
