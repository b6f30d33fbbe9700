#include <cmath>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/BinaryWriter.h"
#include "datagen/Wav.h"

using datagen::BinaryWriter;
using datagen::Bytes;

namespace {

std::uint32_t ReadU32(const Bytes& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

std::uint16_t ReadU16(const Bytes& b, std::size_t at)
{
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}

std::string Tag(const Bytes& b, std::size_t at)
{
    return std::string(b.begin() + at, b.begin() + at + 4);
}

} // namespace

TEST(BinaryWriter, WritesLittleEndianWhateverTheValue)
{
    BinaryWriter w;
    w.U8(0xAB);
    w.U16(0x1234);
    w.I16(-2);
    w.U32(0xDEADBEEF);
    w.I32(-1000);
    w.F32(1.0f);
    w.F32(-2.5f);
    w.Chars("CMF");
    EXPECT_EQ(w.Data(), (Bytes{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE, 0x18, 0xFC, 0xFF, 0xFF,
                               0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x20, 0xC0, 'C', 'M', 'F'}));
}

TEST(BinaryWriter, PatchesOnlyBytesAlreadyWritten)
{
    BinaryWriter w;
    w.U32(0);
    w.U16(7);
    w.PatchU32(1, 0x04030201);
    EXPECT_EQ(w.Data(), (Bytes{0, 1, 2, 3, 4, 0}));
    EXPECT_THROW(w.PatchU32(3, 1), std::out_of_range);
    EXPECT_THROW(w.PatchU32(100, 1), std::out_of_range);
    EXPECT_EQ(w.Size(), 6u);
}

TEST(Wav, HeaderDescribesTheSamples)
{
    datagen::Pcm16 pcm;
    pcm.sampleRate = 44100;
    pcm.channels = 2;
    pcm.samples = {1, -1, 32767, -32768};
    const Bytes wav = datagen::EncodeWav(pcm);
    ASSERT_EQ(wav.size(), 44u + 8u);
    EXPECT_EQ(Tag(wav, 0), "RIFF");
    EXPECT_EQ(ReadU32(wav, 4), wav.size() - 8);
    EXPECT_EQ(Tag(wav, 8), "WAVE");
    EXPECT_EQ(Tag(wav, 12), "fmt ");
    EXPECT_EQ(ReadU32(wav, 16), 16u);
    EXPECT_EQ(ReadU16(wav, 20), 1);  // PCM
    EXPECT_EQ(ReadU16(wav, 22), 2);  // channels
    EXPECT_EQ(ReadU32(wav, 24), 44100u);
    EXPECT_EQ(ReadU32(wav, 28), 44100u * 4);
    EXPECT_EQ(ReadU16(wav, 32), 4);  // block align
    EXPECT_EQ(ReadU16(wav, 34), 16); // bits
    EXPECT_EQ(Tag(wav, 36), "data");
    EXPECT_EQ(ReadU32(wav, 40), 8u);
    EXPECT_EQ(std::int16_t(ReadU16(wav, 44)), 1);
    EXPECT_EQ(std::int16_t(ReadU16(wav, 46)), -1);
    EXPECT_EQ(std::int16_t(ReadU16(wav, 48)), 32767);
    EXPECT_EQ(std::int16_t(ReadU16(wav, 50)), -32768);
}

TEST(Wav, RefusesSoundsNoPlayerAccepts)
{
    datagen::Pcm16 pcm;
    pcm.channels = 2;
    pcm.samples = {1, 2, 3};
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    pcm.channels = 0;
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    pcm.channels = 1;
    pcm.sampleRate = 0;
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    EXPECT_THROW(datagen::Tone(440, -1.0f, 0.5f), std::invalid_argument);
    EXPECT_THROW(datagen::Noise(1.0f, 0.5f, 1, 0), std::invalid_argument);
}

TEST(Wav, ToneHasItsLengthPitchAndLoudnessWithoutClicks)
{
    const datagen::Pcm16 tone = datagen::Tone(441.0f, 0.5f, 0.5f, 22050);
    ASSERT_EQ(tone.samples.size(), 11025u);
    EXPECT_EQ(tone.channels, 1);
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
}

TEST(Wav, NoiseIsRepeatableFromItsSeed)
{
    const auto a = datagen::Noise(0.1f, 1.0f, 7), b = datagen::Noise(0.1f, 1.0f, 7), c = datagen::Noise(0.1f, 1.0f, 8);
    EXPECT_EQ(a.samples, b.samples);
    EXPECT_NE(a.samples, c.samples);
    double sum = 0;
    int loud = 0;
    for (std::int16_t s : a.samples) {
        sum += s;
        loud += std::abs(int(s)) > 8000;
    }
    EXPECT_NEAR(sum / a.samples.size(), 0.0, 2000.0);
    EXPECT_GT(loud, int(a.samples.size()) / 2);
    const auto quiet = datagen::Noise(0.1f, 0.1f, 7);
    for (std::int16_t s : quiet.samples)
        EXPECT_LE(std::abs(int(s)), 3277);
}
