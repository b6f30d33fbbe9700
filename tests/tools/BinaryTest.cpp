#include <cmath>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/BinaryWriter.h"
#include "datagen/Wav.h"

using datagen::BinaryWriter;
using datagen::Bytes;

TEST(BinaryWriter, WritesLittleEndianAndPatchesOnlyBytesAlreadyWritten)
{
    BinaryWriter w;
    w.U8(0xAB);
    w.U16(0x1234);
    w.I16(-2);
    w.U32(0xDEADBEEF);
    w.I32(-1000);
    w.F32(-2.5f);
    w.Chars("CMF");
    EXPECT_EQ(w.Data(), (Bytes{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE, 0x18, 0xFC, 0xFF, 0xFF,
                               0x00, 0x00, 0x20, 0xC0, 'C', 'M', 'F'}));
    w.PatchU32(1, 0x04030201);
    EXPECT_EQ(Bytes(w.Data().begin(), w.Data().begin() + 6), (Bytes{0xAB, 1, 2, 3, 4, 0xEF}));
    EXPECT_THROW(w.PatchU32(17, 1), std::out_of_range);
    EXPECT_EQ(w.Size(), 20u);
}

TEST(Wav, HeaderDescribesTheSamples)
{
    datagen::Pcm16 pcm;
    pcm.sampleRate = 44100;
    pcm.channels = 2;
    pcm.samples = {1, -1, 32767, -32768};
    BinaryWriter expected;
    expected.Chars("RIFF");
    expected.U32(44);
    expected.Chars("WAVEfmt ");
    for (std::uint32_t field : {16u, 0x00020001u, 44100u, 44100u * 4, 0x00100004u, 0x61746164u /* "data" */, 8u})
        expected.U32(field);
    for (std::int16_t s : pcm.samples)
        expected.I16(s);
    EXPECT_EQ(datagen::EncodeWav(pcm), expected.Data());

    pcm.samples.pop_back(); // no longer whole frames
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    pcm.channels = 1;
    pcm.sampleRate = 0;
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    EXPECT_THROW(datagen::Tone(440, -1.0f, 0.5f), std::invalid_argument);
    EXPECT_THROW(datagen::Noise(1.0f, 0.5f, 1, 0), std::invalid_argument);
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
        if (i && (tone.samples[i - 1] < 0) != (tone.samples[i] < 0))
            ++crossings;
    }
    EXPECT_NEAR(peak, 16384, 200);
    EXPECT_NEAR(crossings, 441, 4); // two per period, half a second

    // Noise is the same from the same seed, so a second run rewrites nothing.
    EXPECT_EQ(datagen::Noise(0.1f, 1.0f, 7).samples, datagen::Noise(0.1f, 1.0f, 7).samples);
    EXPECT_NE(datagen::Noise(0.1f, 1.0f, 7).samples, datagen::Noise(0.1f, 1.0f, 8).samples);
    for (std::int16_t s : datagen::Noise(0.1f, 0.1f, 7).samples)
        EXPECT_LE(std::abs(int(s)), 3277);
}
