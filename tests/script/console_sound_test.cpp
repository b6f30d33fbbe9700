// The console's sound line reaches the sound manager: "Sound bMatadlo" speaks
// that line in play, and nothing while a menu mutes the game.
#include "lua_fixture.h"

#include <filesystem>

#include "gui/GUIManager.h"
#include "platform/bass.h"
#include "sound/SoundManager.h"

namespace {

using ConsoleSound = LuaStateTest;

TEST_F(ConsoleSound, TheSoundLinePlaysTheKeyUnlessMuted)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    BASS_Free();
    platform::audio::UseRecorder([] { return std::uint64_t(0); });
    CSoundManager& sound = getSoundManager();
    sound.Init(nullptr);
    ASSERT_EQ(host().DoFile("console.lua"), 0);

    platform::audio::ClearStarted();
    host().RunCommand("Sound bMatadlo");
    EXPECT_EQ(platform::audio::StartedFiles(), std::vector<std::string>{"data/sound/bMatadlo.ogg"});

    platform::audio::ClearStarted();
    getGUI().pauseActive = true;
    sound.Update(0.1f);
    host().RunCommand("Sound bMatadlo");
    getGUI().pauseActive = false;
    EXPECT_TRUE(platform::audio::StartedFiles().empty());

    BASS_Free();
    platform::audio::UseRecorder(nullptr);
    std::filesystem::current_path(previous);
}

} // namespace
