// Cost of our mixer: one second of 44.1 kHz stereo output with 40 channels
// sounding (22.05 kHz mono sources, half of them looping), every channel's
// volume sliding, in 1024-frame blocks as the device asks for them. Reports
// the time per mixed second; divided by 1000 ms it is the share of real time
// the sound takes from the machine.
#include "platform/bass.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kVoices = 40;
constexpr std::size_t kBlock = 1024;

void PutLe(std::ofstream& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Ten seconds of a tone, so no voice ends within the measured second.
std::string WriteTone(const std::filesystem::path& folder, int index)
{
    const std::string path = (folder / ("tone" + std::to_string(index) + ".wav")).string();
    const std::uint32_t frames = 22050 * 10;
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    PutLe(out, 36 + frames * 2, 4);
    out << "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, 1, 2);
    PutLe(out, 22050, 4);
    PutLe(out, 44100, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    out << "data";
    PutLe(out, frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        PutLe(out, static_cast<std::uint16_t>(std::lround(3000.0 * std::sin(i * 0.01 * (index + 1)))), 2);
    return path;
}

void BM_MixOneSecondOf40SlidingVoices(benchmark::State& state)
{
    std::uint64_t now = 0;
    platform::audio::UseRecorder([&now] { return now; });
    BASS_Init(1, 44100, 0, nullptr, nullptr);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vantorel-mixbench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::vector<HCHANNEL> channels;
    for (int i = 0; i < kVoices; ++i) {
        const HSAMPLE s = BASS_SampleLoad(FALSE, WriteTone(folder, i).c_str(), 0, 0, 1, i % 2 ? BASS_SAMPLE_LOOP : 0);
        channels.push_back(BASS_SampleGetChannel(s, TRUE));
    }
    std::vector<float> out(2 * kBlock);
    for (auto _ : state) {
        for (HCHANNEL c : channels) {
            BASS_ChannelSetAttribute(c, BASS_ATTRIB_VOL, 1.0f);
            BASS_ChannelSlideAttribute(c, BASS_ATTRIB_VOL, 0.1f, 1000);
            BASS_ChannelPlay(c, TRUE);
        }
        for (std::size_t done = 0; done < 44100; done += kBlock) {
            platform::audio::MixFrames(out.data(), kBlock);
            now += kBlock * 1000 / 44100;
        }
        benchmark::DoNotOptimize(out.data());
    }
    BASS_Free();
    platform::audio::UseRecorder(nullptr);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_MixOneSecondOf40SlidingVoices)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
