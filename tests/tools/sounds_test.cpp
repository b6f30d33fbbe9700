// The generated sounds: the shipped files decode as the game reads them,
// loops meet themselves without a click, and voices speak each line inside
// its subtitle window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "datagen/Sounds.h"
#include "platform/audio_decode.h"
#include "platform/files.h"

namespace fs = std::filesystem;
using platform::audio::DecodedSound;

namespace {

DecodedSound ShippedSound(const std::string& file)
{
    std::vector<unsigned char> bytes;
    DecodedSound sound;
    std::string error;
    const std::string path = std::string(VANTOREL_WORKDIR) + "/data/sound/" + file;
    if (!platform::ReadWholeFile(path, bytes) || !platform::audio::DecodeSound(bytes, sound, error))
        ADD_FAILURE() << file << ": " << (error.empty() ? "missing" : error);
    return sound;
}

// The loudest step between neighbouring samples anywhere inside the sound.
int LargestStep(const std::vector<std::int16_t>& s)
{
    int step = 0;
    for (std::size_t i = 1; i < s.size(); ++i)
        step = std::max(step, std::abs(s[i] - s[i - 1]));
    return step;
}

TEST(GeneratedSounds, EveryShippedFileDecodesAndTheOggsAreVorbisAt22kMono)
{
    const std::vector<std::string> names = datagen::SoundFileNames();
    EXPECT_EQ(names.size(), 131u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const DecodedSound s = ShippedSound(name);
        EXPECT_FALSE(s.samples.empty());
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ogg") == 0) {
            EXPECT_EQ(s.rate, 22050);
            EXPECT_EQ(s.channels, 1);
        }
    }
}

TEST(GeneratedSounds, RadiosLastExactlyTheirSubtitleLoops)
{
    EXPECT_EQ(ShippedSound("radioHangar.ogg").samples.size(), 230u * 22050u);
    EXPECT_EQ(ShippedSound("radioIsla.ogg").samples.size(), 158u * 22050u);
}

// Across the seam of a loop the wave moves and bends no more than it does
// between neighbouring samples inside it: no click when it wraps.
TEST(GeneratedSounds, LoopsEndWhereTheyStart)
{
    const struct {
        const char* name;
        datagen::Pcm16 loop;
    } loops[] = {
        {"deep rumble", datagen::NoiseLoop(4.0f, 2.0f, 0.01f, 1.0f, 0.7f, 5)},
        {"waves", datagen::NoiseLoop(4.0f, 2.0f, 0.15f, 0.9f, 0.8f, 6)},
        {"main theme", datagen::MusicLoop(31, 90.0f, 4, 0.5f)},
        {"action theme", datagen::MusicLoop(32, 140.0f, 4, 0.6f)},
    };
    for (const auto& l : loops) {
        SCOPED_TRACE(l.name);
        const std::vector<std::int16_t>& s = l.loop.samples;
        ASSERT_GT(s.size(), 1000u);
        std::vector<int> steps, bends;
        for (std::size_t i = 2; i < s.size(); ++i) {
            steps.push_back(std::abs(s[i] - s[i - 1]));
            bends.push_back(std::abs(s[i] - 2 * s[i - 1] + s[i - 2]));
        }
        std::sort(steps.begin(), steps.end());
        std::sort(bends.begin(), bends.end());
        const std::size_t n = s.size();
        EXPECT_LE(std::abs(s[0] - s[n - 1]), steps[steps.size() * 999 / 1000]);
        EXPECT_LE(std::abs(s[1] - 2 * s[0] + s[n - 1]), bends[bends.size() * 999 / 1000]);
        EXPECT_LE(std::abs(s[0] - 2 * s[n - 1] + s[n - 2]), bends[bends.size() * 999 / 1000]);
    }
}

class SpokenLinesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Folder = fs::temp_directory_path() / ("vantorel-voices-" + std::to_string(getpid()));
        fs::create_directories(m_Folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_Folder, ignored);
    }
    std::string File(const std::string& xml)
    {
        const std::string path = (m_Folder / "subtitulos.xml").string();
        std::ofstream(path) << xml;
        return path;
    }
    fs::path m_Folder;
};

TEST_F(SpokenLinesTest, SpanishLinesAreReadAndBrokenTimesRefused)
{
    std::map<std::string, datagen::SpokenEntry> texts;
    std::string error;
    ASSERT_TRUE(datagen::ReadSpanishLines(
        File("<S><SUBTITULO name=\"a\" min=\"1\" seconds=\"5\"><SPANISH>"
             "<TEXTO min_ini=\"1\" sec_ini=\"2\" min_end=\"1\" sec_end=\"4\" texto=\"Hola.\"/></SPANISH>"
             "<ENGLISH><TEXTO sec_ini=\"0\" sec_end=\"9\" texto=\"Hello.\"/></ENGLISH></SUBTITULO></S>"),
        texts, error))
        << error;
    ASSERT_EQ(texts["a"].lines.size(), 1u);
    EXPECT_EQ(texts["a"].duration, 65);
    EXPECT_EQ(texts["a"].lines[0].start, 62);
    EXPECT_EQ(texts["a"].lines[0].end, 64);
    EXPECT_EQ(texts["a"].lines[0].text, "Hola.");

    for (const char* bad : {"<S><SUBTITULO name=\"a\"><SPANISH><TEXTO sec_ini=\"5\" sec_end=\"3\" texto=\"x\"/>"
                            "</SPANISH></SUBTITULO></S>",
                            "<S><SUBTITULO name=\"a\" seconds=\"-4\"><SPANISH/></SUBTITULO></S>",
                            "<S><SUBTITULO name=\"a\" min=\"99999999\"><SPANISH/></SUBTITULO></S>"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(datagen::ReadSpanishLines(File(bad), texts, error));
    }
}

TEST_F(SpokenLinesTest, EachLineIsSpokenFromItsStartSecondInsideItsWindowOrTheStepFails)
{
    datagen::SpokenEntry entry;
    entry.duration = 4;
    entry.lines = {{2, 4, "Matadlo."}};
    const datagen::Pcm16 spoken = datagen::SpeakEntry("bMatadlo", entry, 4.0f, nullptr);
    ASSERT_EQ(spoken.samples.size(), 4u * 22050u);
    auto loud = [&](std::size_t from, std::size_t to) {
        int peak = 0;
        for (std::size_t i = from; i < to; ++i)
            peak = std::max(peak, std::abs(int(spoken.samples[i])));
        return peak;
    };
    EXPECT_EQ(loud(0, 2 * 22050), 0);
    EXPECT_GT(loud(2 * 22050, 4 * 22050), 3000);

    entry.lines = {{0, 1, "Esta frase es demasiado larga para decirla entera en un solo segundo de tiempo."}};
    try {
        datagen::SpeakEntry("largo", entry, 4.0f, nullptr);
        ADD_FAILURE() << "a line longer than its window was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("largo"), std::string::npos) << e.what();
    }
}

} // namespace
