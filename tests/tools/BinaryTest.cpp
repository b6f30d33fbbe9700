#include <cmath>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/BinaryWriter.h"
#include "datagen/Wav.h"

using datagen::Bytes;

// The header spelt out byte by byte: little-endian whatever the machine.
TEST(Wav, HeaderDescribesTheSamplesAndUnplayableSoundsThrow)
{
    datagen::Pcm16 pcm;
    pcm.sampleRate = 44100;
    pcm.channels = 2;
    pcm.samples = {1, -1, 32767, -32768};
    const std::string expected("RIFF,\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0"
                               "data\x08\0\0\0\x01\0\xFF\xFF\xFF\x7F\0\x80", 52);
    EXPECT_EQ(datagen::EncodeWav(pcm), Bytes(expected.begin(), expected.end()));

    pcm.samples.pop_back(); // no longer whole frames
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    pcm.channels = 1;
    pcm.sampleRate = 0;
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    EXPECT_THROW(datagen::Tone(440, -1.0f, 0.5f), std::invalid_argument);
    EXPECT_THROW(datagen::Noise(1.0f, 0.5f, 1, 0), std::invalid_argument);

    datagen::BinaryWriter w;
    w.U32(1);
    w.PatchU32(0, 0x04030201);
    EXPECT_EQ(w.Data(), (Bytes{1, 2, 3, 4}));
    EXPECT_THROW(w.PatchU32(1, 0), std::out_of_range) << "only bytes already written are patched";
}

TEST(Wav, ToneAndNoiseHaveTheirLengthPitchAndLoudness)
{
    const datagen::Pcm16 tone = datagen::Tone(441.0f, 0.5f, 0.5f, 22050);
    ASSERT_EQ(tone.samples.size(), 11025u);
    EXPECT_EQ(tone.samples.front(), 0);
    EXPECT_LE(std::abs(tone.samples.back()), 200);
    int peak = 0, crossings = 0;
    for (std::size_t i = 0; i < tone.samples.size(); ++i) {
        peak = std::max(peak, std::abs(int(tone.samples[i])));
        crossings += i && (tone.samples[i - 1] < 0) != (tone.samples[i] < 0);
    }
    EXPECT_NEAR(peak, 16384, 200);
    EXPECT_NEAR(crossings, 441, 4); // two per period, half a second

    // Noise is the same from the same seed, so a second run rewrites nothing.
    EXPECT_EQ(datagen::Noise(0.1f, 1.0f, 7).samples, datagen::Noise(0.1f, 1.0f, 7).samples);
    EXPECT_NE(datagen::Noise(0.1f, 1.0f, 7).samples, datagen::Noise(0.1f, 1.0f, 8).samples);
    for (std::int16_t s : datagen::Noise(0.1f, 0.1f, 7).samples)
        ASSERT_LE(std::abs(int(s)), 3277);
}
