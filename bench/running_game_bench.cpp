// The running game's frame times with a wave in view, read from its own log.
// The game is started whole (its main, its window and device, its game loop
// holding the frame to 1/30 s) and driven past the main menu; in each level
// the hero is put before the largest wave (the hangar's last, the island's
// scaffold wave), the wave alarmed, and he is kept alive while it fights him.
// After frames to let the enemies take up their fight, the game's log
// ("data/log.txt", written by the game itself) is marked and the frames after
// the mark are read back from it: each frame's update and render (the render
// ends on the present, which waits for the drawing) summed. The process's
// CPU time over those frames (every thread, getrusage) is given beside them:
// it hardly moves with the load of a shared machine, the log's times do.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game",
// else "../game" beside this program's folder.
// VANTOREL_BENCH_WITHOUT="particledraws,particleview" plays without those of
// the frame's shortcuts (names below), to weigh them in the running game.
// VANTOREL_BENCH_BLUR=1 plays with motion blur switched on (off by default, as
// the game starts).
// VANTOREL_BENCH_PASSES=1 finishes the drawing at each step the log times, so
// each step's figure is its own cost (frames then cost more in all), and gives
// each step's median and 95th percentile, and its mean over the slowest tenth
// of the frames beside its mean over all: what the slow frames pay for.
// VANTOREL_BENCH_HEAP_TOP=<bytes> keeps only that much freed memory at the top
// of the C heap (the C library's own default is 131072), to weigh what the
// game keeps for the next frame.
// Usage: running_game_bench [frames per level]
// For two cores: taskset -c 0,1 running_game_bench
#include "bench_support.h"

#include "app/GameCalls.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/WinMain.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "platform/d3dx9effect.h"
#include "platform/gl_device.h"
#include "player/Player.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "scene/Camera.h"
#include "world/CollisionManager.h"

#include "../tests/app/shipped_game.h"

#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSettleFrames = 45;
const char kLog[] = "data/log.txt";
const char kMark[] = "WAVE\t";
const char* const kLevels[] = {"hangares", "isla"};

// CPU milliseconds of the whole process so far, every thread.
long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void SwitchShortcutsOff()
{
    const char* names = std::getenv("VANTOREL_BENCH_WITHOUT");
    std::stringstream list(names ? names : "");
    std::string item;
    while (std::getline(list, item, ','))
        for (const auto& shortcut : kShortcutNames)
            if (item == shortcut.first) {
                SetShortcutOn(shortcut.second, false);
                std::printf("without the shortcut \"%s\"\n", shortcut.first);
            }
}

// Per level, the CPU milliseconds per frame over the frames read from the log,
// and each of those frames' own CPU milliseconds (from one render's end to the
// next): a frame that costs more work shows here whatever the machine's load.
std::map<std::string, double> g_CpuPerFrame;
// The device's presents over the whole run, and its copies of the frame.
platform::DrawStats g_Presented;
// Per level, the pages the process touched for the first time per frame
// (minor faults): memory given back to the system and taken again each frame.
std::map<std::string, double> g_FaultsPerFrame;
// Per level, the effect's programs first built over the frames read: each a
// stall of the frame that needed it.
std::map<std::string, long> g_ProgramsBuilt;
std::map<std::string, std::vector<double>> g_FrameCpu;
// Per level, the main thread's CPU milliseconds in each frame's update: the
// update's own work, whether or not the thread was made to wait meanwhile.
std::map<std::string, std::vector<double>> g_UpdateCpu;

// The hero before the level's largest wave, which is told he is there.
void FaceWave(const std::string& level)
{
    if (const char* passes = std::getenv("VANTOREL_BENCH_PASSES"); passes && std::atoi(passes) != 0)
        getProfiler().SetStepBoundary([] { platform::FinishDrawing(D3DDevice); });
    shippedgame::EnterLevel(level);
    D3DXVECTOR3 at;
    if (level == "isla") {
        getEnemyManager()->setNewZone("room3", "wave_34");
        at = D3DXVECTOR3(450.0f, 60.0f, -250.0f);
    } else {
        getEnemyManager()->getHangarOpenLastWave();
        at = D3DXVECTOR3(450.0f, 40.0f, 3150.0f);
    }
    CPlayer* hero = getPlayer();
    hero->GetPosition().SetPosition(at);
    getCollisionManager().setNewPlayerPosition(at);
    hero->GetPosition().SetYaw(0.0f);
    getCamera().SetYaw(0.0f);
    getEnemyManager()->AlarmEnemiesNearPlayer();
}

// The game's own calls, with the menu left at once, each level's wave set up
// at its turn, the mark written once the wave fights and the game ended after
// the frames asked for.
class WaveRun : public CGameCalls {
public:
    explicit WaveRun(int frames) : m_Frames(frames) {}

    void UpdateMainMenu(float dt) override
    {
        CGameCalls::UpdateMainMenu(dt);
        getGUI().mainMenuActive = false;
    }

    void RestartLevel(bool newGame) override
    {
        CGameCalls::RestartLevel(newGame);
        if (!m_Entering)
            m_Pending = true;
    }

    void UpdateFrame(float dt) override
    {
        if (m_Pending) {
            m_Pending = false;
            m_Entering = true;
            FaceWave(kLevels[m_Level]);
            m_Entering = false;
            m_Frame = 0;
        }
        getPlayer()->SetLife(350);
        if (const char* top = std::getenv("VANTOREL_BENCH_HEAP_TOP"); top && *top)
            mallopt(M_TRIM_THRESHOLD, std::atoi(top));
        // VANTOREL_BENCH_BLUR=1 plays with motion blur on (the options screen's switch, off by default).
        if (const char* blur = std::getenv("VANTOREL_BENCH_BLUR"))
            setMainConfig("blurRender", std::atoi(blur) != 0);
        const double start = ThreadCpuMs();
        CGameCalls::UpdateFrame(dt);
        if (m_Frame >= kSettleFrames && m_Frame < kSettleFrames + m_Frames)
            g_UpdateCpu[kLevels[m_Level]].push_back(ThreadCpuMs() - start);
    }

    void RenderFrame(float dt) override
    {
        CGameCalls::RenderFrame(dt);
        if (m_Pending)
            return;
        ++m_Frame;
        const double cpu = ProcessCpuMs();
        if (m_Frame > kSettleFrames)
            g_FrameCpu[kLevels[m_Level]].push_back(cpu - m_CpuAtFrame);
        m_CpuAtFrame = cpu;
        if (m_Frame == kSettleFrames) {
            getProfiler().Write(std::string(kMark) + kLevels[m_Level] + "\n");
            m_CpuAtMark = cpu;
            m_FaultsAtMark = MinorFaults();
            m_ProgramsAtMark = platform::EffectProgramCount(getEffectManager().GetEffect());
        }
        if (m_Frame == kSettleFrames + m_Frames) {
            g_CpuPerFrame[kLevels[m_Level]] = (ProcessCpuMs() - m_CpuAtMark) / m_Frames;
            g_FaultsPerFrame[kLevels[m_Level]] = static_cast<double>(MinorFaults() - m_FaultsAtMark) / m_Frames;
            g_ProgramsBuilt[kLevels[m_Level]] =
                static_cast<long>(platform::EffectProgramCount(getEffectManager().GetEffect())) -
                static_cast<long>(m_ProgramsAtMark);
            if (++m_Level < static_cast<int>(std::size(kLevels))) {
                m_Pending = true;
            } else {
                getGUI().exitRequested = true;
                g_Presented = platform::GetDrawStats(D3DDevice);
            }
        }
    }

private:
    int m_Frames;
    int m_Level = 0;
    int m_Frame = 0;
    bool m_Pending = false;
    bool m_Entering = false;
    double m_CpuAtMark = 0.0;
    double m_CpuAtFrame = 0.0;
    long m_FaultsAtMark = 0;
    size_t m_ProgramsAtMark = 0;
};

// The value of a label on a log line ("label\tvalue\t..."), or -1.
double Entry(const std::string& line, const std::string& label)
{
    const size_t at = line.find(label + "\t");
    return at == std::string::npos ? -1.0 : std::atof(line.c_str() + at + label.size() + 1);
}

// A render line's steps by their bare names ("scene"), the total left out.
std::vector<std::pair<std::string, double>> Steps(const std::string& line)
{
    std::vector<std::pair<std::string, double>> steps;
    for (auto [label, ms] : RenderSteps(line)) {
        while (!label.empty() && (label.back() == ' ' || label.back() == ':'))
            label.pop_back();
        if (label != "TOTAL_RENDER")
            steps.emplace_back(label, ms);
    }
    return steps;
}

// Each step's median, 95th percentile, its mean over all frames and over the
// slowest tenth of them (by the whole frame's time).
void PrintSteps(const std::vector<double>& times, const std::vector<std::vector<std::pair<std::string, double>>>& steps)
{
    std::vector<size_t> order(times.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return times[a] > times[b]; });
    const size_t slow = std::max<size_t>(1, order.size() / 10);
    std::printf("           %-16s %7s %7s %7s %9s\n", "step", "median", "95th", "mean", "slow mean");
    std::set<std::string> printed;
    for (const auto& step : steps.front()) {
        const std::string& label = step.first;
        if (!printed.insert(label).second)
            continue;
        std::vector<double> all;
        double sum = 0.0, slowSum = 0.0;
        for (size_t i = 0; i < steps.size(); ++i)
            for (const auto& entry : steps[i])
                if (entry.first == label) {
                    all.push_back(entry.second);
                    sum += entry.second;
                }
        for (size_t k = 0; k < slow; ++k)
            for (const auto& entry : steps[order[k]])
                if (entry.first == label)
                    slowSum += entry.second;
        if (sum / steps.size() < 0.05)
            continue;
        std::printf("           %-16s %7.2f %7.2f %7.2f %9.2f\n", label.c_str(), Percentile(all, 0.5),
                    Percentile(all, 0.95), sum / steps.size(), slowSum / slow);
    }
}

// Per level marked in the log, each frame's update plus render after the mark.
void Report(int frames)
{
    std::ifstream in(kLog);
    std::string line, level;
    std::vector<double> times, updates;
    // Each render's steps as the log times them, in the log's order.
    std::vector<std::vector<std::pair<std::string, double>>> steps;
    double update = -1.0;
    auto print = [&] {
        if (level.empty())
            return;
        std::printf("  %-8s %zu frames: median %6.2f ms, 95th percentile %6.2f ms, %zu of them over 33.3 ms; "
                    "CPU %6.2f ms per frame\n",
                    level.c_str(), times.size(), Percentile(times, 0.5), Percentile(times, 0.95),
                    static_cast<size_t>(std::count_if(times.begin(), times.end(), [](double t) { return t > 33.34; })),
                    g_CpuPerFrame.count(level) ? g_CpuPerFrame.at(level) : 0.0);
        const std::vector<double>& cpu = g_FrameCpu[level];
        std::printf("           each frame's CPU: median %6.2f ms, 95th percentile %6.2f ms; "
                    "update alone: median %5.2f ms, 95th percentile %5.2f ms, largest %5.2f ms; "
                    "%.0f pages faulted in per frame\n",
                    Percentile(cpu, 0.5), Percentile(cpu, 0.95), Percentile(updates, 0.5), Percentile(updates, 0.95),
                    updates.empty() ? 0.0 : *std::max_element(updates.begin(), updates.end()),
                    g_FaultsPerFrame[level]);
        const std::vector<double>& updateCpu = g_UpdateCpu[level];
        std::printf("           the update's CPU: median %5.2f ms, 95th percentile %5.2f ms, largest %5.2f ms; "
                    "%ld of the effect's programs first built meanwhile\n",
                    Percentile(updateCpu, 0.5), Percentile(updateCpu, 0.95),
                    updateCpu.empty() ? 0.0 : *std::max_element(updateCpu.begin(), updateCpu.end()),
                    g_ProgramsBuilt[level]);
        if (std::getenv("VANTOREL_BENCH_PASSES") && !steps.empty())
            PrintSteps(times, steps);
    };
    while (std::getline(in, line)) {
        if (line.rfind(kMark, 0) == 0) {
            print();
            level = line.substr(std::string(kMark).size());
            times.clear();
            updates.clear();
            steps.clear();
            update = -1.0;
        } else if (!level.empty() && static_cast<int>(times.size()) < frames && line.rfind("UPDATE\t", 0) == 0) {
            update = Entry(line, "TOTAL_UPDATE: ");
        } else if (!level.empty() && update >= 0.0 && line.rfind("RENDER\t", 0) == 0) {
            const double render = Entry(line, "TOTAL_RENDER: ");
            if (render >= 0.0) {
                times.push_back(update + render);
                updates.push_back(update);
                steps.push_back(Steps(line));
            }
            update = -1.0;
        }
    }
    print();
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    if (!EnterWorkFolder(argv[0]))
        return 1;
    SwitchShortcutsOff();
    WaveRun run(frames);
    SetGameCalls(&run);
    const int code = VantorelMain();
    SetGameCalls(nullptr);
    if (code != 0) {
        std::fprintf(stderr, "the game ended with %d\n", code);
        return 1;
    }
    std::printf("the running game's frames (update and render, from its log) with a wave in view:\n");
    Report(frames);
    // Copies the frame's last passes drawn into the window should leave out.
    std::printf("  %u presents, %u of them copying the back buffer into the window, %u copies of the window "
                "back into the back buffer\n",
                g_Presented.presents, g_Presented.presentCopies, g_Presented.backBufferCopies);
    return 0;
}
