// The main thread's share of the level benchmark's frame.
// With --serial, frames are drawn once more without finishing inside them:
// at every timing-log label the main thread's own CPU time, the wall time and
// the device's draw counters are read, so that each pass shows what the main
// thread spends issuing it (the renderer's binning runs there) apart from
// what its raster threads spend drawing it. The end of the frame shows how
// long the main thread then waits for the drawing to finish.
#include "level_bench.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "app/FrameRender.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "platform/d3d9.h"
#include "platform/gl_device.h"
#include "scene/RigidAnimManager.h"

namespace levelbench {

namespace {

struct SerialMark {
    double threadMs, wallMs;
    platform::DrawStats stats;
    long waits = 0; // the main thread's voluntary switches: it blocked
    long faults = 0; // the main thread's page faults
    double othersMs = 0; // CPU time of every other thread (the renderer's)
    double othersDelayMs = 0; // their time ready to run but without a core
};
std::vector<SerialMark>* g_SerialMarks = nullptr;

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double WallMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

rusage ThreadUsage()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage;
}

// The summed run time of the process's other threads, from the scheduler;
// with `delayed`, the time they were ready to run but waited for a core.
double OtherThreadsMs(bool delayed = false)
{
    double ns = 0.0;
    const std::string self = std::to_string(::gettid());
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self)
            continue;
        std::ifstream in(task.path() / "schedstat");
        double run = 0.0, wait = 0.0;
        if (in >> run >> wait)
            ns += delayed ? wait : run;
    }
    return ns / 1e6;
}

SerialMark TakeMark()
{
    const rusage usage = ThreadUsage();
    return {ThreadCpuMs(), WallMs(), platform::GetDrawStats(D3DDevice), usage.ru_nvcsw, usage.ru_minflt,
            OtherThreadsMs(), OtherThreadsMs(true)};
}

void MarkSerial()
{
    if (g_SerialMarks)
        g_SerialMarks->push_back(TakeMark());
}

} // namespace

void PrintSerial(int frames, float step, const std::string& logPath)
{
    CProfiler& profiler = getProfiler();
    struct Totals {
        double threadMs = 0, wallMs = 0, draws = 0, primitives = 0, waits = 0, othersMs = 0, faults = 0;
        double gapMs = 0; // the main thread's CPU between the label before and this one
        double delayMs = 0;
    };
    std::map<std::string, Totals> perLabel;
    std::vector<std::string> order;
    Totals frame, gaps, finish;
    double processCpu = 0.0;
    profiler.Enable(true);
    profiler.Open(logPath.c_str());
    for (int i = 0; i < frames; ++i) {
        UpdateGame(step);
        getRigid()->scriptedSequenceRunning = false;
        std::vector<SerialMark> marks;
        g_SerialMarks = &marks;
        profiler.SetStepBoundary(MarkSerial);
        const double cpuStart = ProcessCpuMs();
        rusage processBefore{};
        getrusage(RUSAGE_SELF, &processBefore);
        MarkSerial();
        RenderFrame(step);
        profiler.SetStepBoundary(nullptr);
        g_SerialMarks = nullptr;
        const SerialMark rendered = TakeMark();
        FinishDevice();
        const double finishedWall = WallMs();
        finish.othersMs += OtherThreadsMs() - rendered.othersMs;
        rusage processAfter{};
        getrusage(RUSAGE_SELF, &processAfter);
        finish.faults += processAfter.ru_minflt - processBefore.ru_minflt;
        frame.othersMs += OtherThreadsMs() - marks.front().othersMs;
        processCpu += ProcessCpuMs() - cpuStart;
        frame.threadMs += rendered.threadMs - marks.front().threadMs;
        frame.wallMs += finishedWall - marks.front().wallMs;
        finish.wallMs += finishedWall - rendered.wallMs;
        frame.draws += rendered.stats.drawCalls - marks.front().stats.drawCalls;
        frame.primitives += rendered.stats.primitives - marks.front().stats.primitives;
        frame.faults += rendered.faults - marks.front().faults;
        // Marks: the frame's start, then a start and a stop per label, then
        // the total's stop; the log line gives the labels in that order.
        profiler.Close();
        std::vector<std::string> labels;
        {
            std::ifstream in(logPath);
            std::string text;
            while (std::getline(in, text)) {
                if (text.rfind("RENDER\t", 0) != 0)
                    continue;
                std::stringstream fields(text.substr(7));
                std::string label, value;
                while (std::getline(fields, label, '\t') && std::getline(fields, value, '\t'))
                    labels.push_back(label);
            }
        }
        profiler.Open(logPath.c_str());
        size_t at = 1;
        for (const std::string& label : labels) {
            if (label == "TOTAL_RENDER: " || at + 1 >= marks.size())
                break;
            const SerialMark& from = marks[at];
            const SerialMark& to = marks[at + 1];
            const SerialMark& before = marks[at - 1];
            gaps.threadMs += from.threadMs - before.threadMs;
            gaps.draws += from.stats.drawCalls - before.stats.drawCalls;
            if (!perLabel.count(label))
                order.push_back(label);
            Totals& t = perLabel[label];
            t.threadMs += to.threadMs - from.threadMs;
            t.wallMs += to.wallMs - from.wallMs;
            t.draws += to.stats.drawCalls - from.stats.drawCalls;
            t.primitives += to.stats.primitives - from.stats.primitives;
            t.waits += to.waits - from.waits;
            t.othersMs += to.othersMs - from.othersMs;
            t.faults += to.faults - from.faults;
            t.gapMs += from.threadMs - before.threadMs;
            t.delayMs += to.othersDelayMs - from.othersDelayMs;
            at += 2;
        }
    }
    profiler.Close();
    profiler.Enable(false);
    const double n = frames;
    std::printf("    main thread per pass, nothing finished inside (mean per frame): CPU ms, wall ms, draws, "
                "primitives, blocking waits, other threads' CPU ms, page faults, main CPU ms before it, other threads' ms waiting for a core\n");
    for (const std::string& label : order) {
        const Totals& t = perLabel[label];
        if (t.threadMs / n < 0.005 && t.draws == 0)
            continue;
        std::printf("      %-18s %7.3f %7.3f %6.0f %8.0f %5.1f %7.3f %6.0f %7.3f %7.3f\n", label.c_str(),
                    t.threadMs / n, t.wallMs / n, t.draws / n, t.primitives / n, t.waits / n, t.othersMs / n,
                    t.faults / n, t.gapMs / n, t.delayMs / n);
    }
    std::printf("      %-18s %7.3f %7s %6.0f\n", "(between passes)", gaps.threadMs / n, "", gaps.draws / n);
    std::printf("      frame: main thread %.2f ms CPU of %.2f ms wall, of which waiting for the finish %.2f ms "
                "(other threads %.2f ms CPU then); process CPU %.2f ms, other threads %.2f; %.0f draws, %.0f "
                "primitives; page faults: main thread %.0f, every thread %.0f\n",
                frame.threadMs / n, frame.wallMs / n, finish.wallMs / n, finish.othersMs / n, processCpu / n,
                frame.othersMs / n, frame.draws / n, frame.primitives / n, frame.faults / n, finish.faults / n);
}

} // namespace levelbench
