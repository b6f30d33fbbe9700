#pragma once
// The game's sounds under data/sound/: voice lines spoken by espeak-ng from the
// Spanish subtitle texts, the two radios, synthesised music and ambience
// loops, and effects made of tone and noise bursts.
#include <map>
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "datagen/Wav.h"

namespace datagen {

constexpr int kSoundRate = 22050;

struct SpokenLine {
    int start = 0; // seconds
    int end = 0;
    std::string text;
};

struct SpokenEntry {
    int duration = 0; // seconds
    std::vector<SpokenLine> lines;
};

// The Spanish lines of every subtitle of a subtitulos.xml, by name. False,
// with the fault in error, when the file cannot be read or a time is out of
// range (negative, a line ending before it starts, over an hour).
bool ReadSpanishLines(const std::string& file, std::map<std::string, SpokenEntry>& out, std::string& error);

// The text spoken by espeak-ng's Spanish voice at words per minute: mono at
// kSoundRate. Throws std::runtime_error when espeak-ng cannot be run.
Pcm16 Speak(const std::string& text, int wordsPerMinute);

// The entry's lines, each spoken from its start second, the speaking rate
// raised until the line fits between its start and end, over `seconds` of
// sound (the bed, when given, underneath). Throws std::runtime_error naming
// the key and the line when one cannot fit even at the fastest rate.
Pcm16 SpeakEntry(const std::string& key, const SpokenEntry& entry, float seconds, const Pcm16* bed);

// Music: a melody that ends where it starts, so that it loops without a
// click. Seeds choose the tune; seconds is rounded to whole bars.
Pcm16 MusicLoop(std::uint32_t seed, float bpm, int bars, float amplitude, float seconds = 0.0f);

// Ambience: noise through a low-pass (bright 0..1), its level swelling with
// a period that divides the loop; it too ends where it starts.
Pcm16 NoiseLoop(float seconds, float swellPeriod, float bright, float level, float swellDepth, std::uint32_t seed);

// Every file name the step writes under data/sound/.
std::vector<std::string> SoundFileNames();

// The step: writes every sound, the voices from the game's subtitulos.xml.
void GenerateSounds(Output& out);

} // namespace datagen
