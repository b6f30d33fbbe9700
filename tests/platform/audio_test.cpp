// The audio layer on its recording back end: a fake millisecond clock and
// mixing on demand, so play, pause, slides and the mix itself are exact.
#include "platform/bass.h"
#include "platform/bounded.h"

#include <gtest/gtest.h>

#include <cmath>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using platform::audio::ChannelState;
using platform::audio::QueryChannel;

namespace {

void PutLe(std::string& s, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A mono 16-bit WAV at 22050 Hz holding `frames` copies of `value`; dataSize
// overrides the size the header claims.
std::string Wav(std::size_t frames, std::int16_t value, std::uint32_t dataSize = 0xFFFFFFFFu)
{
    std::string s = "RIFF";
    PutLe(s, 36 + frames * 2, 4);
    s += "WAVEfmt ";
    PutLe(s, 16, 4);
    PutLe(s, 1, 2);
    PutLe(s, 1, 2);
    PutLe(s, 22050, 4);
    PutLe(s, 44100, 4);
    PutLe(s, 2, 2);
    PutLe(s, 16, 2);
    s += "data";
    PutLe(s, dataSize == 0xFFFFFFFFu ? frames * 2 : dataSize, 4);
    for (std::size_t i = 0; i < frames; ++i)
        PutLe(s, static_cast<std::uint16_t>(value), 2);
    return s;
}

class AudioLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Folder = fs::temp_directory_path() / ("vantorel-audio-" + std::to_string(getpid()));
        fs::create_directories(m_Folder);
        platform::audio::UseRecorder([this] { return m_Now; });
        ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr));
        platform::audio::ClearStarted();
    }
    void TearDown() override
    {
        BASS_Free();
        platform::audio::UseRecorder(nullptr);
        std::error_code ignored;
        fs::remove_all(m_Folder, ignored);
    }

    std::string File(const std::string& name, const std::string& bytes)
    {
        const std::string path = (m_Folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    HCHANNEL Channel(std::size_t frames, std::int16_t value = 16384, DWORD flags = 0, DWORD max = 1)
    {
        const HSAMPLE s = BASS_SampleLoad(FALSE, File("s" + std::to_string(m_Files++) + ".wav", Wav(frames, value)).c_str(),
                                          0, 0, max, flags);
        return BASS_SampleGetChannel(s, TRUE);
    }
    // Mixes ms of output; the clock moves along with it.
    std::vector<float> Mix(std::uint64_t ms)
    {
        std::vector<float> out(2 * (44100 * ms / 1000));
        platform::audio::MixFrames(out.data(), out.size() / 2);
        m_Now += ms;
        return out;
    }

    std::uint64_t m_Now = 1000;
    fs::path m_Folder;
    int m_Files = 0;
};

TEST_F(AudioLayerTest, PlayRestartsOrResumesByTheChannelsState)
{
    struct Case {
        const char* name;
        bool pause;    // paused halfway
        bool runOut;   // played past its end
        BOOL restart;
        std::uint64_t position; // after the play, in frames of the sample
        bool newStart;
    };
    // 1 s sample at 22050 Hz; 100 ms of mixing moves it 2205 frames.
    const Case cases[] = {
        {"playing, no restart: goes on", false, false, FALSE, 2205, false},
        {"playing, restart: from the start", false, false, TRUE, 0, true},
        {"paused, no restart: resumes", true, false, FALSE, 2205, false},
        {"paused, restart: from the start", true, false, TRUE, 0, true},
        {"ended, no restart: starts", false, true, FALSE, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HCHANNEL ch = Channel(22050);
        ASSERT_NE(ch, 0u);
        BASS_ChannelPlay(ch, TRUE);
        Mix(c.runOut ? 1100 : 100);
        if (c.pause)
            BASS_ChannelPause(ch);
        EXPECT_EQ(QueryChannel(ch).state, c.runOut ? ChannelState::Stopped : c.pause ? ChannelState::Paused
                                                                                     : ChannelState::Playing);
        platform::audio::ClearStarted();
        BASS_ChannelPlay(ch, c.restart);
        EXPECT_EQ(QueryChannel(ch).state, ChannelState::Playing);
        EXPECT_EQ(QueryChannel(ch).position, c.position);
        EXPECT_EQ(platform::audio::StartedFiles().size(), c.newStart ? 1u : 0u);
    }
}

TEST_F(AudioLayerTest, PausingASilentChannelLeavesItSilent)
{
    const HCHANNEL ch = Channel(22050);
    EXPECT_FALSE(BASS_ChannelPause(ch));
    EXPECT_EQ(QueryChannel(ch).state, ChannelState::Stopped);
    BASS_ChannelPlay(ch, FALSE);
    BASS_ChannelStop(ch);
    EXPECT_FALSE(BASS_ChannelPause(ch));
    EXPECT_EQ(QueryChannel(ch).state, ChannelState::Stopped);
}

TEST_F(AudioLayerTest, TheMixIsTheSampleTimesTheVolumeAndAnEndedSoundFallsSilent)
{
    const HCHANNEL ch = Channel(2205, 16384); // 0.5 of full scale for 100 ms
    BASS_ChannelSetAttribute(ch, BASS_ATTRIB_VOL, 0.5f);
    BASS_ChannelPlay(ch, TRUE);
    std::vector<float> out = Mix(50);
    EXPECT_NEAR(out[200], 0.25f, 1e-3f);
    EXPECT_NEAR(out[201], 0.25f, 1e-3f);
    Mix(60);
    out = Mix(10);
    EXPECT_EQ(out[100], 0.0f);
    EXPECT_EQ(QueryChannel(ch).state, ChannelState::Stopped);
}

TEST_F(AudioLayerTest, SlidesRunInRealTimeFromTheCurrentValueAndTheNewestWins)
{
    const HCHANNEL ch = Channel(22050);
    BASS_ChannelSetAttribute(ch, BASS_ATTRIB_VOL, 1.0f);
    BASS_ChannelSlideAttribute(ch, BASS_ATTRIB_VOL, 0.0f, 1000);
    m_Now += 500;
    EXPECT_NEAR(QueryChannel(ch).volume, 0.5f, 1e-4f);
    BASS_ChannelSlideAttribute(ch, BASS_ATTRIB_VOL, 1.0f, 1000);
    m_Now += 500;
    EXPECT_NEAR(QueryChannel(ch).volume, 0.75f, 1e-4f);
    // Setting the volume ends the slide.
    BASS_ChannelSetAttribute(ch, BASS_ATTRIB_VOL, 0.2f);
    m_Now += 400;
    EXPECT_NEAR(QueryChannel(ch).volume, 0.2f, 1e-6f);
    // A new channel starts at full volume.
    EXPECT_EQ(QueryChannel(Channel(100)).volume, 1.0f);
}

TEST_F(AudioLayerTest, ALoopAtVolumeZeroKeepsItsPlaceInTime)
{
    const HCHANNEL loop = Channel(22050, 16384, BASS_SAMPLE_LOOP);
    BASS_ChannelSetAttribute(loop, BASS_ATTRIB_VOL, 0.0f);
    BASS_ChannelPlay(loop, TRUE);
    Mix(1500);
    EXPECT_EQ(QueryChannel(loop).state, ChannelState::Playing);
    EXPECT_EQ(QueryChannel(loop).position, 11025u);
}

TEST_F(AudioLayerTest, ZeroStaleAndRecycledHandlesDoNothing)
{
    EXPECT_FALSE(BASS_ChannelPlay(0, TRUE));
    EXPECT_EQ(QueryChannel(0).state, ChannelState::None);

    const HSAMPLE s = BASS_SampleLoad(FALSE, File("one.wav", Wav(441, 100)).c_str(), 0, 0, 1, 0);
    const HCHANNEL first = BASS_SampleGetChannel(s, TRUE);
    BASS_ChannelPlay(first, TRUE);
    // Its only playback is sounding: no second one.
    EXPECT_EQ(BASS_SampleGetChannel(s, TRUE), 0u);
    Mix(100);
    // Ended: the next channel reuses it under a new handle.
    const HCHANNEL second = BASS_SampleGetChannel(s, TRUE);
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_FALSE(BASS_ChannelPlay(first, TRUE));
    EXPECT_EQ(QueryChannel(first).state, ChannelState::None);
    EXPECT_TRUE(BASS_ChannelPlay(second, TRUE));

    // After a close and a new start, the old handles stay dead.
    BASS_Free();
    EXPECT_FALSE(BASS_ChannelPlay(second, TRUE));
    ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr));
    const HCHANNEL again = Channel(441);
    EXPECT_NE(again, second);
    EXPECT_FALSE(BASS_ChannelPlay(second, TRUE));
}

TEST_F(AudioLayerTest, BrokenFilesAreRefused)
{
    const std::string good = Wav(100, 5);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"data chunk claims more than the file holds", Wav(100, 5, 4000)},
        {"chunk size near 4 GB", Wav(100, 5, 0xFFFFFFF0u)},
        {"cut inside the format", good.substr(0, 30)},
        {"neither WAVE nor Ogg", std::string("MThd\0\0\0\6", 8) + good},
        {"Ogg marker but no Vorbis", "OggS" + std::string(200, '\0')},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BASS_SampleLoad(FALSE, File("bad.wav", c.bytes).c_str(), 0, 0, 1, 0), 0u);
    }
    EXPECT_NE(BASS_SampleLoad(FALSE, File("good.wav", good).c_str(), 0, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, (m_Folder / "missing.wav").c_str(), 0, 0, 1, 0), 0u);
}

// A missing sound is named once however often it is asked for; a missing
// folder once for all its sounds.
TEST_F(AudioLayerTest, MissingFilesAndFoldersAreNamedOnce)
{
    bounded::ForgetSaidLines();
    const std::string missing = (m_Folder / "missing.wav").string();
    const std::string lost = (m_Folder / "lost" / "").string();
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i)
        for (const std::string& file : {missing, lost + "a.wav", lost + "b.ogg"})
            EXPECT_EQ(BASS_SampleLoad(FALSE, file.c_str(), 0, 0, 1, 0), 0u);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Sound file " + missing + " refused: it is missing\nSound folder " + lost +
                  " refused: it is missing; its sounds are not played\n");
    bounded::ForgetSaidLines();
}

} // namespace

namespace {

// On a real device (SDL's dummy driver here) nothing keeps a record of what
// played: a long game must not grow with every shot.
TEST(AudioDevice, PlaysWithoutKeepingARecord)
{
    const fs::path folder = fs::temp_directory_path() / ("vantorel-device-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "tick.wav").string();
    std::ofstream(path, std::ios::binary) << Wav(2205, 1000);
    platform::audio::ClearStarted();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr));
    const HCHANNEL ch = BASS_SampleGetChannel(BASS_SampleLoad(FALSE, path.c_str(), 0, 0, 1, 0), TRUE);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(BASS_ChannelPlay(ch, TRUE));
    EXPECT_EQ(QueryChannel(ch).state, ChannelState::Playing);
    EXPECT_TRUE(platform::audio::StartedFiles().empty());
    EXPECT_TRUE(BASS_Free());
    fs::remove_all(folder);
}


// Sounds that add up past full scale are turned down together: the sum stays
// inside full scale and each sound keeps its share of it; a quiet mix is left
// as it is, and the loud moment passes.
TEST_F(AudioLayerTest, ALoudSumIsLimitedAsAWholeAndAQuietOneIsNotTouched)
{
    // Stereo at 22050 Hz, the left side twice the right.
    std::string wav = "RIFF";
    const std::uint32_t frames = 4410;
    PutLe(wav, 36 + frames * 4, 4);
    wav += "WAVEfmt ";
    for (auto [v, n] : {std::pair{16u, 4}, {1u, 2}, {2u, 2}, {22050u, 4}, {88200u, 4}, {4u, 2}, {16u, 2}})
        PutLe(wav, v, n);
    wav += "data";
    PutLe(wav, frames * 4, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        PutLe(wav, 29000, 2);
        PutLe(wav, 14500, 2);
    }
    const std::string file = File("loud.wav", wav);
    const HSAMPLE loud = BASS_SampleLoad(FALSE, file.c_str(), 0, 0, 3, 0);
    ASSERT_NE(loud, 0u);

    const HCHANNEL quiet = Channel(22050, 16384);
    BASS_ChannelSetAttribute(quiet, BASS_ATTRIB_VOL, 0.5f);
    BASS_ChannelPlay(quiet, TRUE);
    std::vector<float> out = Mix(20);
    EXPECT_NEAR(out[400], 0.25f, 1e-4f) << "under full scale nothing changes";

    for (int i = 0; i < 3; ++i)
        BASS_ChannelPlay(BASS_SampleGetChannel(loud, TRUE), TRUE);
    out = Mix(100);
    float worst = 0.0f;
    for (float v : out)
        worst = std::max(worst, std::fabs(v));
    EXPECT_LE(worst, 0.9f) << "three loud sounds and a quiet one";
    EXPECT_GT(worst, 0.8f) << "turned down, not silenced";
    // Left = 3 x 0.885 + 0.25, right = 3 x 0.4425 + 0.25: one gain for both.
    const float left = out[2000], right = out[2001];
    EXPECT_NEAR(left / right, (3 * 0.885f + 0.25f) / (3 * 0.4425f + 0.25f), 0.01f);

    // The loud sounds are over: back to the quiet one at its own level.
    Mix(400);
    out = Mix(20);
    EXPECT_NEAR(out[400], 0.25f, 1e-3f);
}

} // namespace
