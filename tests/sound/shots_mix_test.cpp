// The shipped game's sound mix while the hero fires: what reaches the speakers.
#include <gtest/gtest.h>

#include <cmath>

#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "gui/Achievements.h"
#include "platform/bass.h"
#include "platform/dinput.h"

TEST(ShotsMix, FivePistolShotsStayInsideFullScale)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    shippedgame::LinkedFolder folder;
    std::uint64_t now = 0;
    platform::audio::UseRecorder([&now] { return now; });
    platform::FakeDirectInput input;
    platform::SetDirectInputSource(&input);
    ASSERT_TRUE(shippedgame::Start(800, 600));
    shippedgame::EnterLevel("hangares");
    getGUI().fadeAlpha = 0.0f;

    // Aim with the right button, then five clicks of the left one, and the
    // echoes after them; each frame's 1/30 s of sound mixed as it is played.
    constexpr int kRate = 44100, kFrame = kRate / 30;
    std::vector<float> mix(2 * kFrame);
    float loudest = 0.0f;
    int clipped = 0, clicks = 0;
    for (int frame = 0; frame < 110; ++frame) {
        SetFocus(MainWindow);
        input.SetButton(1, frame >= 3);
        const bool click = frame >= 12 && frame < 72 && frame % 12 < 2;
        clicks += click && frame % 12 == 0;
        input.SetButton(0, click);
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
        platform::audio::MixFrames(mix.data(), kFrame);
        now += 33;
        for (float v : mix) {
            loudest = std::max(loudest, std::fabs(v));
            clipped += std::fabs(v) >= 1.0f;
        }
    }
    const int shots = getAchievementStats().shotsFired;
    shippedgame::Stop();
    platform::SetDirectInputSource(nullptr);
    BASS_Free();
    platform::audio::UseRecorder(nullptr);

    EXPECT_EQ(clicks, 5);
    EXPECT_GE(shots, 5) << "every click fires";
    EXPECT_EQ(clipped, 0) << "samples at or past full scale";
    EXPECT_LT(loudest, 0.95f);
    EXPECT_GT(loudest, 0.5f) << "the shots are heard";
}
