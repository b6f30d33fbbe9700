// The whole game played again and again from the main menu by the scripted
// player of the play-through test, to the credits and back to the menu, for as
// many minutes of wall time as asked (30 by default), the scaffold blown and
// left standing in turn, and in each loop besides the usual death a restart
// at a checkpoint drawn at random, by a death or by the pause menu. Each
// loop prints the process's resident memory and the frame times, so that a
// leak or a slowdown shows as a climb from loop to loop.
//   build/bench/soak [minutes] [draw one frame in N] [0: no extra restarts] [seed]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/LevelRestart.h"
#include "app/MainConfig.h"
#include "app/Startup.h"
#include "app/WinMain.h"
#include "bench_support.h"
#include "gui/GUIManager.h"
#include "platform/dinput.h"
#include "platform/win32.h"
#include "play_through.h"
#include "world/TriggerManager.h"

namespace {

// Moves on a little at every read, and by a frame when the player says so.
class SoakClock : public platform::Clock {
public:
    std::int64_t Ticks() override { return m_Ticks += 1000; }
    std::int64_t TicksPerSecond() override { return 1000000; }
    void Sleep(DWORD milliseconds) override { m_Ticks += static_cast<std::int64_t>(milliseconds) * 1000; }
    void Advance(double seconds) { m_Ticks += static_cast<std::int64_t>(seconds * 1e6); }

private:
    std::int64_t m_Ticks = 0;
};

long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == field) {
            long kb = 0;
            status >> kb;
            return kb;
        }
    return 0;
}

// The shipped folder seen through links, so that the logs land elsewhere.
bool EnterLinkedFolder(const char* argv0)
{
    namespace fs = std::filesystem;
    if (!EnterWorkFolder(argv0))
        return false;
    const fs::path shipped = fs::current_path();
    const fs::path scratch = fs::temp_directory_path() / ("vantorel_soak_" + std::to_string(getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch / "data");
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped))
        if (entry.path().filename() != "data")
            fs::create_symlink(entry.path(), scratch / entry.path().filename());
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped / "data")) {
        const std::string name = entry.path().filename().string();
        if (name != "log.txt" && name != "log.old.txt" && name != "debug_log.txt")
            fs::create_symlink(entry.path(), scratch / "data" / name);
    }
    fs::current_path(scratch);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 30.0;
    const int drawEvery = argc > 2 ? std::max(1, std::atoi(argv[2])) : 6;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!EnterLinkedFolder(argv[0]))
        return 1;
    const std::filesystem::path scratch = std::filesystem::current_path();

    InitMainConfig();
    windowed = move_cursor = true;
    width = 800;
    height = 600;
    getTriggerManager().checkpoint = 1;

    SoakClock clock;
    platform::SetClock(&clock);
    playthrough::Player::Options options;
    options.drawEvery = drawEvery;
    options.loops = 1000000;
    // VANTOREL_SOAK_HANGARS=1 loops the hangars alone, back to the menu by the
    // pause menu: shorter loops, the island never loaded.
    options.hangarsOnly = std::getenv("VANTOREL_SOAK_HANGARS") != nullptr;
    // Each loop's extra restart: a checkpoint of what is played, drawn at
    // random, and the way back to it, a death or the pause menu's item.
    const bool extraDeaths = argc > 3 ? std::atoi(argv[3]) != 0 : true;
    const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atol(argv[4])) : std::random_device()();
    std::printf("restarts drawn with seed %u\n", seed);
    std::mt19937 draw(seed);
    const int checkpoints = options.hangarsOnly ? 2 : 5;
    std::vector<int> restartAt;
    std::vector<bool> byPause;
    auto drawn = [&](int loop) {
        while (restartAt.size() <= static_cast<std::size_t>(loop)) {
            restartAt.push_back(1 + static_cast<int>(draw() % static_cast<unsigned>(checkpoints)));
            byPause.push_back(draw() % 2u == 0u);
        }
    };
    options.extraDeath = [&](int loop) {
        drawn(loop);
        return extraDeaths ? restartAt[loop] : 0;
    };
    options.restartByPause = [&](int loop) {
        drawn(loop);
        return byPause[loop];
    };
    options.trace = std::getenv("VANTOREL_PLAY_TRACE") != nullptr;
    playthrough::Player player(options);
    player.advanceClock = [&clock](double seconds) { clock.Advance(seconds); };

    const auto start = std::chrono::steady_clock::now();
    long firstRss = 0, lastRss = 0;
    int stalls = 0, misplaced = 0;
    player.options.onLoopEnd = [&](int loop) {
        playthrough::Record& seen = player.record;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 60.0;
        const long rss = StatusKb("VmRSS:");
        if (loop == 0)
            firstRss = lastRss = rss;
        std::printf("loop %d (%s scaffold, restart at checkpoint %d by %s): %d frames, %.1f wall min, RSS %ld MB (peak %ld MB, "
                    "%+ld MB since the first loop, %+ld MB in this one), update median %.2f ms p95 %.2f ms, render median %.2f ms p95 "
                    "%.2f ms, %zu restarts%s%s\n",
                    loop + 1, player.options.blowScaffold ? "blown" : "standing", player.options.extraDeath(loop),
                    player.options.restartByPause(loop) ? "the pause menu" : "a death",
                    seen.frames, wall, rss / 1024, StatusKb("VmHWM:") / 1024, (rss - firstRss) / 1024, (rss - lastRss) / 1024,
                    Percentile(seen.updateMs, 0.5), Percentile(seen.updateMs, 0.95), Percentile(seen.renderMs, 0.5),
                    Percentile(seen.renderMs, 0.95), seen.restarts.size(), seen.stall.empty() ? "" : ", stalled: ",
                    seen.stall.c_str());
        std::fflush(stdout);
        stalls += !seen.stall.empty();
        // Each restart put him at his checkpoint's place.
        for (const playthrough::Restart& restart : seen.restarts) {
            const D3DXVECTOR3& at = GetCheckpointPlace(restart.checkpoint).position;
            if (std::fabs(restart.position.x - at.x) > 1.0f || std::fabs(restart.position.z - at.z) > 1.0f) {
                std::printf("  the restart at checkpoint %d put him at (%.0f %.0f %.0f)\n", restart.checkpoint,
                            restart.position.x, restart.position.y, restart.position.z);
                ++misplaced;
            }
        }
        lastRss = rss;
        seen = playthrough::Record();
        player.options.blowScaffold = !player.options.blowScaffold;
        if (wall >= minutes)
            player.options.loops = loop + 1; // out through the main menu
    };

    platform::SetDirectInputSource(&player.keys);
    SetGameCalls(&player);
    const int code = VantorelMain();
    SetGameCalls(nullptr);
    platform::SetDirectInputSource(nullptr);
    platform::SetClock(nullptr);
    if (!player.record.stall.empty())
        std::printf("stalled: %s\n", player.record.stall.c_str());
    std::printf("exit code %d, peak RSS %ld MB\n", code, StatusKb("VmHWM:") / 1024);
    std::error_code ignored;
    std::filesystem::current_path("/", ignored);
    std::filesystem::remove_all(scratch, ignored);
    return code == 0 && stalls == 0 && misplaced == 0 && player.record.stall.empty() ? 0 : 1;
}
