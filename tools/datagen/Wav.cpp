#include "datagen/Wav.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "datagen/BinaryWriter.h"

namespace datagen {

namespace {

constexpr float kPi = 3.14159265358979f;

std::size_t SampleCount(float seconds, int sampleRate)
{
    if (!(seconds >= 0.0f) || sampleRate <= 0)
        throw std::invalid_argument("bad sound length or rate");
    return static_cast<std::size_t>(std::lround(double(seconds) * sampleRate));
}

std::int16_t ToSample(float v)
{
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

// Short linear ramps at both ends.
float Envelope(std::size_t i, std::size_t count, int sampleRate)
{
    const std::size_t ramp = std::max<std::size_t>(1, std::min<std::size_t>(sampleRate / 200, count / 2));
    if (i < ramp)
        return float(i) / float(ramp);
    if (count - 1 - i < ramp)
        return float(count - 1 - i) / float(ramp);
    return 1.0f;
}

} // namespace

Bytes EncodeWav(const Pcm16& sound)
{
    if (sound.sampleRate <= 0 || sound.sampleRate > 384000)
        throw std::invalid_argument("bad sample rate");
    if (sound.channels < 1 || sound.channels > 8)
        throw std::invalid_argument("bad channel count");
    if (sound.samples.size() % sound.channels != 0)
        throw std::invalid_argument("samples do not fill whole frames");
    const std::uint64_t dataSize = sound.samples.size() * 2ull;
    if (dataSize > 0xFFFFFFFFull - 36)
        throw std::invalid_argument("sound too long for a WAV file");

    const std::uint16_t blockAlign = std::uint16_t(sound.channels * 2);
    BinaryWriter w;
    w.Chars("RIFF");
    w.U32(std::uint32_t(36 + dataSize));
    w.Chars("WAVE");
    w.Chars("fmt ");
    w.U32(16);
    w.U16(1); // PCM
    w.U16(std::uint16_t(sound.channels));
    w.U32(std::uint32_t(sound.sampleRate));
    w.U32(std::uint32_t(sound.sampleRate) * blockAlign);
    w.U16(blockAlign);
    w.U16(16);
    w.Chars("data");
    w.U32(std::uint32_t(dataSize));
    for (std::int16_t s : sound.samples)
        w.I16(s);
    return w.Take();
}

Pcm16 Tone(float hertz, float seconds, float amplitude, int sampleRate)
{
    Pcm16 pcm;
    pcm.sampleRate = sampleRate;
    const std::size_t count = SampleCount(seconds, sampleRate);
    pcm.samples.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const float t = float(double(i) / sampleRate);
        pcm.samples[i] = ToSample(amplitude * Envelope(i, count, sampleRate) * std::sin(2.0f * kPi * hertz * t));
    }
    return pcm;
}

Pcm16 Noise(float seconds, float amplitude, std::uint32_t seed, int sampleRate)
{
    Pcm16 pcm;
    pcm.sampleRate = sampleRate;
    const std::size_t count = SampleCount(seconds, sampleRate);
    pcm.samples.resize(count);
    // A private generator: the game's own random sequence must not be disturbed,
    // and the files must not depend on what else ran before.
    std::uint32_t x = seed ? seed : 0x9E3779B9u;
    for (std::size_t i = 0; i < count; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const float v = float(x) / 4294967295.0f * 2.0f - 1.0f;
        pcm.samples[i] = ToSample(amplitude * Envelope(i, count, sampleRate) * v);
    }
    return pcm;
}

} // namespace datagen
