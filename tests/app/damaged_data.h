// The shipped game started on a working folder with damaged data files: the
// shipped folder linked file by file into a scratch folder, the damaged files
// written in place of theirs, then the game played from its main menu into a
// new game and closed. What it said on the debug output comes back.
#pragma once

#include "loop_fixture.h"

#include <SDL.h>

#include <functional>
#include <utility>

#include "app/WinMain.h"
#include "platform/bass.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"

// In a namespace of their own: the test files of the folder are compiled
// several to a unit, and other files have helpers of these names.
namespace looptest {
namespace damaged {

// Return at the third menu pass, the close button after three game frames;
// Escape at the sixth pass when the menu is still up (no game could start).
class DamagedGamePlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow);
        CGameCalls::UpdateMainMenu(dt);
        if (menuPasses == 3)
            keys.SetKey(DIK_RETURN, true);
        if (menuPasses == 6)
            keys.SetKey(DIK_ESCAPE, true);
    }
    void UpdateFrame(float dt) override
    {
        keys.SetKey(DIK_RETURN, false);
        CGameCalls::UpdateFrame(dt);
        if (play && frames < 2)
            play();
        if (++frames == 3) {
            PushWindowClose();
        }
    }
    platform::FakeDirectInput keys;
    std::function<void()> play;
    int menuPasses = 0, frames = 0;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

inline std::string Repeated(const std::string& piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// The shipped file's text in, the damaged text out.
using MakeDamage = std::function<std::string(const std::string& shipped)>;

template <class Param>
class DamagedStart : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override
    {
        SeatPlayer(clock, player.keys, player);
        // The sounds go to the recorder: read and named whatever audio device
        // the machine has, or none.
        BASS_Free();
        platform::audio::UseRecorder([] { return std::uint64_t(0); });
    }
    void TearDown() override
    {
        BASS_Free();
        platform::audio::UseRecorder(nullptr);
        UnseatPlayer();
    }

    // The shipped working folder, linked into the current one, with each
    // file named (under the working folder) replaced: a null maker removes
    // it, and a name ending in '/' makes a folder of that name.
    void LayFolder(const std::vector<std::pair<std::string, MakeDamage>>& damaged)
    {
        namespace fs = std::filesystem;
        const fs::path shipped(VANTOREL_WORKDIR);
        std::vector<fs::path> own;
        for (const auto& file : damaged)
            own.push_back(file.first);
        shippedgame::LinkShippedGame(own);
        for (const auto& [file, make] : damaged) {
            fs::remove(file);
            if (file.back() == '/')
                fs::create_directories(file);
            else if (make)
                std::ofstream(file, std::ios::binary) << make(ReadFile(shipped / file));
        }
    }

    // Runs the game to the new game's third frame and back out (or, when
    // no game can start, from the main menu by Escape); its debug output,
    // once it has been checked that the game went on.
    std::string RunGame(bool noGame = false)
    {
        ::testing::internal::CaptureStderr();
        const int result = VantorelMain();
        const std::string output = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, 0);
        EXPECT_GE(player.menuPasses, 3) << "the main menu was reached";
        if (noGame) {
            EXPECT_EQ(player.frames, 0) << "no game started";
            EXPECT_EQ(player.menuPasses, 7) << "the menu stayed up until Escape";
        } else {
            EXPECT_GE(player.frames, 3) << "a new game ran";
        }
        EXPECT_LT(output.size(), 100000u) << "nothing is echoed whole";
        return output;
    }

    SteppingClock clock{0.001};
    DamagedGamePlayer player;
};

} // namespace damaged
} // namespace looptest
