// The whole game played in one go, as a new player plays it: a new game from
// the main menu, the hangars, the island, the final fight, the credits, and
// back to the main menu to leave. Nothing in the game's state is written:
// the player has only the keys, the mouse, the console and the hero put at
// each stretch's start.
#include "loop_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/Startup.h"
#include "app/WinMain.h"
#include "platform/offscreen_device_fixture.h"
#include "play_through.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kPlayDrawEvery = 30;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kPlayDrawEvery = 30;
#else
constexpr int kPlayDrawEvery = 6;
#endif
#else
constexpr int kPlayDrawEvery = 6;
#endif

// What the game wrote to the debugger while the run went (its standard error).
class DebuggerOutput {
public:
    DebuggerOutput()
    {
        std::fflush(stderr);
        m_Saved = dup(2);
        std::FILE* file = std::fopen("debugger_output.txt", "wb");
        dup2(fileno(file), 2);
        std::fclose(file);
    }
    std::string Stop()
    {
        std::fflush(stderr);
        dup2(m_Saved, 2);
        close(m_Saved);
        std::ifstream in("debugger_output.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    int m_Saved = -1;
};

// Consecutive repeats dropped: a banner shown again while it shows is one.
std::vector<int> Changes(const std::vector<int>& list)
{
    std::vector<int> kept;
    for (int n : list)
        if (kept.empty() || kept.back() != n)
            kept.push_back(n);
    return kept;
}

std::vector<std::string> FirstEntries(const std::vector<std::string>& waves)
{
    std::vector<std::string> kept;
    for (const std::string& wave : waves)
        if (std::find(kept.begin(), kept.end(), wave) == kept.end())
            kept.push_back(wave);
    return kept;
}

// The expected codes, in order, among those seen (a death plays a stretch's
// codes again).
bool InOrder(const std::vector<int>& expected, const std::vector<int>& seen)
{
    std::size_t at = 0;
    for (int code : seen)
        if (at < expected.size() && code == expected[at])
            ++at;
    return at == expected.size();
}

std::string Text(const std::vector<int>& codes)
{
    std::string text;
    for (int code : codes)
        text += std::to_string(code) + " ";
    return text;
}

// Where a restart puts the hero back, and the wave he meets there.
struct CheckpointPlace {
    float x, z;
    const char* wave;
};
const CheckpointPlace kCheckpoints[] = {{0, 0, ""},
                                        {-1159.4f, -665.515f, "wave_00"},
                                        {1316.95f, 499.93f, "wave_05"},
                                        {1120.89f, -912.779f, "wave_31"},
                                        {-1007.4f, -509.552f, "wave_32"},
                                        {-2297.4f, -163.31f, "wave_35"}};

void ExpectRestartsInPlace(const playthrough::Record& seen)
{
    for (const playthrough::Restart& restart : seen.restarts) {
        ASSERT_GE(restart.checkpoint, 1);
        ASSERT_LE(restart.checkpoint, 5);
        const CheckpointPlace& place = kCheckpoints[restart.checkpoint];
        EXPECT_NEAR(restart.position.x, place.x, 1.0f) << restart.checkpoint;
        EXPECT_NEAR(restart.position.z, place.z, 1.0f) << restart.checkpoint;
        EXPECT_EQ(restart.wave, place.wave) << restart.checkpoint;
    }
}

// Nothing named and missing on the way.
void ExpectCleanOutput(const std::string& output, const playthrough::Record& seen)
{
    for (const char* failure : {"Anim not found: ", "ERROR: Model not found!!!", "refused", "cannot be read",
                                "not found", "Lua: ", ": no element \"", "pictures are missing"})
        EXPECT_EQ(output.find(failure), std::string::npos) << failure << "\n" << output;
    EXPECT_TRUE(seen.logicsWithoutFunction.empty()) << seen.logicsWithoutFunction.front();
}

// Entered in this order, each cleared but the first and, where the run ends
// in it, the last.
void ExpectWaves(const playthrough::Record& seen, const std::vector<std::string>& waves, bool lastCleared = true)
{
    std::vector<std::string> entered = FirstEntries(seen.wavesEntered);
    EXPECT_EQ(entered, waves);
    for (const std::string& wave : waves)
        if (wave != "wave_00" && (lastCleared || wave != waves.back()))
            EXPECT_NE(std::find(seen.wavesCleared.begin(), seen.wavesCleared.end(), wave), seen.wavesCleared.end())
                << wave << " cleared";
}

class PlayThrough : public ShippedRun<playthrough::Player> {
protected:
    PlayThrough() : ShippedRun("playthrough") {}
    void SetUp() override
    {
        ShippedRun::SetUp();
        getTriggerManager().checkpoint = 1;
        player.options.drawEvery = kPlayDrawEvery;
        if (const char* every = std::getenv("VANTOREL_PLAY_DRAW_EVERY"))
            player.options.drawEvery = std::max(1, std::atoi(every));
        player.options.trace = std::getenv("VANTOREL_PLAY_TRACE") != nullptr;
        // Only by hand, to work on the island: start at its checkpoint 3, 4 or 5.
        if (const char* from = std::getenv("VANTOREL_PLAY_FROM_CHECKPOINT"))
            player.options.startCheckpoint = std::atoi(from);
        // And to play the scaffold's wave with the scaffold left standing.
        if (std::getenv("VANTOREL_PLAY_KEEP_SCAFFOLD"))
            player.options.blowScaffold = false;
        player.advanceClock = [this](double seconds) { clock.Advance(seconds); };
    }
};

TEST_F(PlayThrough, TheHangarsFromTheMenuToTheIsland)
{
    player.options.hangarsOnly = true;
    DebuggerOutput debugger;
    const int code = VantorelMain();
    const std::string output = debugger.Stop();
    const playthrough::Record& seen = player.record;
    std::printf("hangars: %d frames (%.1f game minutes), drawn 1 in %d, %zu restarts\n", seen.frames,
                seen.frames / 1800.0, player.options.drawEvery, seen.restarts.size());

    ASSERT_EQ(seen.stall, "") << "the story stalled";
    EXPECT_EQ(code, 0);
    const std::vector<int> sequence = {7, 0, 8, 1, 9, 2, 10, 3, 48, 46, 49, 47, 11, 4, 12, 5, 35, 34, 13, 6};
    EXPECT_TRUE(InOrder(sequence, seen.sequence)) << Text(seen.sequence);
    EXPECT_EQ(seen.sequence.back(), 6) << "the last comic ends the level";
    EXPECT_TRUE(InOrder({39, 44, 40, 45, 41, 36, 42, 37, 43, 38}, seen.hangarRigidState))
        << Text(seen.hangarRigidState);
    EXPECT_EQ(seen.islaSequence, (std::vector<int>{116, 117, 100})) << "the switch to the island";
    ExpectWaves(seen, {"wave_00", "wave_01", "wave_02", "wave_03", "wave_04", "wave_05", "wave_06", "wave_07",
                       "wave_08", "wave_09", "wave_31"},
                false);
    EXPECT_TRUE(InOrder({1, 2, 3}, Changes(seen.checkpoints))) << Text(seen.checkpoints);
    EXPECT_TRUE(InOrder({1, 2, 3, 4, 5}, Changes(seen.missions))) << Text(seen.missions);
    EXPECT_EQ(Changes(seen.zones), (std::vector<int>{1, 2}));
    // The death by the console, back at the start of the yard.
    ASSERT_GE(seen.restarts.size(), 1u);
    EXPECT_EQ(seen.restarts[0].checkpoint, 1);
    ExpectRestartsInPlace(seen);
    ExpectCleanOutput(output, seen);
}

TEST_F(PlayThrough, FromTheMenuThroughBothLevelsToTheCreditsAndOut)
{
    DebuggerOutput debugger;
    const int code = VantorelMain();
    const std::string output = debugger.Stop();
    const playthrough::Record& seen = player.record;
    std::printf("play-through: %d frames (%.1f game minutes), drawn 1 in %d, %zu restarts\n", seen.frames,
                seen.frames / 1800.0, player.options.drawEvery, seen.restarts.size());

    ASSERT_EQ(seen.stall, "") << "the story stalled";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(seen.creditsEnded) << "the credits ended on the main menu";

    // The story's codes in the order they came; after the credits the record
    // is reset and the menu's intro panels start behind the menu.
    EXPECT_TRUE(InOrder({7, 0, 8, 1, 9, 2, 10, 3, 48, 46, 49, 47, 11, 4, 12, 5, 35, 34, 13, 6, 7, 0}, seen.sequence))
        << Text(seen.sequence);
    EXPECT_TRUE(InOrder({39, 44, 40, 45, 41, 36, 42, 37, 43, 38, 39}, seen.hangarRigidState))
        << Text(seen.hangarRigidState);
    EXPECT_TRUE(InOrder({116, 117, 100, 109, 102, 110, 103, 111, 104, 105, 113, 106, 114, 107, 115, 108, 116},
                        seen.islaSequence))
        << Text(seen.islaSequence);
    EXPECT_EQ(seen.islaSequence.back(), 116) << "the reset after the credits";

    std::vector<std::string> entered = seen.wavesEntered;
    // The credits' reset puts the first zone back.
    if (!entered.empty() && entered.back() == "wave_00")
        entered.pop_back();
    playthrough::Record waves = seen;
    waves.wavesEntered = entered;
    ExpectWaves(waves, {"wave_00", "wave_01", "wave_02", "wave_03", "wave_04", "wave_05", "wave_06", "wave_07",
                        "wave_08", "wave_09", "wave_31", "wave_32", "wave_33", "wave_34", "wave_35", "wave_36"});
    EXPECT_TRUE(InOrder({1, 2, 3, 4, 5, 1}, Changes(seen.checkpoints))) << Text(seen.checkpoints);
    EXPECT_TRUE(InOrder({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, Changes(seen.missions))) << Text(seen.missions);
    EXPECT_TRUE(seen.achievement8);
    // The final fight's ten prompts, each answered the frame it showed.
    EXPECT_EQ(seen.finalFightPrompts.size(), 10u) << Text(seen.finalFightPrompts);
    for (int frames : seen.finalFightPrompts)
        EXPECT_LE(frames, 2) << Text(seen.finalFightPrompts);
    EXPECT_EQ(Changes(seen.zones), (std::vector<int>{1, 2, 1})) << "the hangars, the island, the new record";

    // The deaths by the console, one in each level, and any other, each back
    // at its checkpoint's place and wave.
    ASSERT_GE(seen.restarts.size(), 2u);
    EXPECT_EQ(seen.restarts[0].checkpoint, 1);
    EXPECT_TRUE(std::any_of(seen.restarts.begin(), seen.restarts.end(),
                            [](const playthrough::Restart& r) { return r.checkpoint == 5; }));
    ExpectRestartsInPlace(seen);
    ExpectCleanOutput(output, seen);
}

// The island's last stretch alone, from its checkpoint to the credits and
// out: the console's checkpoint command takes the hero there once the
// hangars' intro is skipped (the quickest way a player has to that stretch).
// The memorial and the credits are left to end by themselves here; the whole
// run skips them.
TEST_F(PlayThrough, TheIslandsLastStretchToTheCreditsAndOut)
{
    player.options.startCheckpoint = 5;
    player.options.waitOutTheEnd = true;
    // The first main menu frame after the credits.
    std::vector<D3DCOLOR> menu;
    player.options.onMenuFrame = [&] {
        if (player.record.creditsEnded && menu.empty())
            devicetest::ReadBackBuffer(D3DDevice, &menu);
    };
    DebuggerOutput debugger;
    const int code = VantorelMain();
    const std::string output = debugger.Stop();
    const playthrough::Record& seen = player.record;
    std::printf("the island's end: %d frames (%.1f game minutes), drawn 1 in %d, %zu restarts\n", seen.frames,
                seen.frames / 1800.0, player.options.drawEvery, seen.restarts.size());

    ASSERT_EQ(seen.stall, "") << "the story stalled";
    EXPECT_EQ(code, 0) << "left by the main menu's exit";
    EXPECT_TRUE(seen.creditsEnded) << "the credits ended on the main menu";
    // The main menu as the player sees it then: New game lit amber, Controls
    // under it unlit.
    const int width = static_cast<int>(ClientWidth), height = static_cast<int>(ClientHeight);
    ASSERT_EQ(menu.size(), static_cast<std::size_t>(width * height));
    auto at = [&](float x, float y) {
        return menu[static_cast<std::size_t>(y * height) * width + static_cast<std::size_t>(x * width)];
    };
    auto lit = [](D3DCOLOR c) { return ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 140 && (c & 0xFF) < 110; };
    EXPECT_TRUE(lit(at(0.35f, 0.50f))) << std::hex << at(0.35f, 0.50f);
    EXPECT_FALSE(lit(at(0.35f, 0.59f))) << std::hex << at(0.35f, 0.59f);

    // The square, the last comic, the fight, the memorial, the credits, and
    // the record reset with the menu's first panels started behind it.
    EXPECT_TRUE(InOrder({113, 106, 114, 107, 115, 108, 116}, seen.islaSequence)) << Text(seen.islaSequence);
    EXPECT_EQ(seen.islaSequence.back(), 116) << Text(seen.islaSequence);
    ASSERT_GE(seen.sequence.size(), 2u);
    EXPECT_EQ(std::vector<int>(seen.sequence.end() - 2, seen.sequence.end()), (std::vector<int>{7, 0}))
        << Text(seen.sequence);

    std::vector<std::string> entered = FirstEntries(seen.wavesEntered);
    entered.erase(std::remove(entered.begin(), entered.end(), "wave_00"), entered.end());
    EXPECT_EQ(entered, (std::vector<std::string>{"wave_35", "wave_36"}));
    for (const char* wave : {"wave_35", "wave_36"})
        EXPECT_NE(std::find(seen.wavesCleared.begin(), seen.wavesCleared.end(), wave), seen.wavesCleared.end())
            << wave << " cleared";

    // Back at the first checkpoint once the credits are over.
    EXPECT_EQ(Changes(seen.checkpoints).back(), 1) << Text(seen.checkpoints);
    EXPECT_TRUE(InOrder({1, 5, 1}, Changes(seen.checkpoints))) << Text(seen.checkpoints);
    EXPECT_TRUE(InOrder({10, 11}, Changes(seen.missions))) << Text(seen.missions);
    EXPECT_TRUE(seen.achievement8) << "the finisher's achievement";
    // The fight's ten prompts, each gone the frame after its button.
    EXPECT_EQ(seen.finalFightPrompts.size(), 10u) << Text(seen.finalFightPrompts);
    for (int frames : seen.finalFightPrompts)
        EXPECT_LE(frames, 2) << Text(seen.finalFightPrompts);
    EXPECT_EQ(Changes(seen.zones), (std::vector<int>{1, 2, 1})) << "the hangars, the island, the way out";

    ASSERT_EQ(seen.restarts.size(), 1u) << "only the console's restart";
    EXPECT_EQ(seen.restarts[0].checkpoint, 5);
    ExpectRestartsInPlace(seen);
    ExpectCleanOutput(output, seen);
}

} // namespace
} // namespace looptest
