// The shipped game started, closed and started again in one process, as when
// it makes its device anew: the second start draws what the first drew.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "platform/crt.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"

namespace {

constexpr int kStartWidth = 320, kStartHeight = 240;

int Luma(D3DCOLOR c)
{
    return (((c >> 16) & 0xFF) * 3 + ((c >> 8) & 0xFF) * 6 + (c & 0xFF)) / 10;
}

// Pixels whose brightness differs by more than a few steps.
int Differing(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
{
    int count = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        count += std::abs(Luma(a[i]) - Luma(b[i])) > 8;
    return count;
}

// The first level from its first checkpoint, a few frames into play, from a
// fresh start of the game. The start may end with S held down, as a player
// running back who closes the game.
std::vector<D3DCOLOR> DrawFromAFreshStart(bool endRunningBack = false)
{
    std::vector<D3DCOLOR> frame;
    if (!shippedgame::Start(kStartWidth, kStartHeight)) {
        shippedgame::Stop();
        return frame;
    }
    shippedgame::EnterLevel("hangares");
    getGUI().fadeAlpha = 0.0f; // no fade: the level in full view
    crt::srand(11);
    for (int i = 0; i < 6; ++i) {
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
        RenderFrame(1.0f / 30.0f);
    }
    devicetest::ReadBackBuffer(D3DDevice, &frame);
    if (endRunningBack) {
        platform::FakeDirectInput keys;
        platform::SetDirectInputSource(&keys);
        SetFocus(MainWindow);
        keys.SetKey(DIK_S, true);
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
        platform::SetDirectInputSource(nullptr);
    }
    shippedgame::Stop();
    return frame;
}

TEST(SecondStart, TheLevelIsDrawnAsTheFirstStartDrewIt)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    shippedgame::LinkedFolder folder;
    const std::vector<D3DCOLOR> first = DrawFromAFreshStart(true);
    const std::vector<D3DCOLOR> second = DrawFromAFreshStart();
    ASSERT_EQ(first.size(), static_cast<size_t>(kStartWidth) * kStartHeight) << "no device";
    ASSERT_EQ(second.size(), first.size());

    int lit = 0;
    for (D3DCOLOR c : first)
        lit += Luma(c) > 24;
    ASSERT_GT(lit, kStartWidth * kStartHeight / 2) << "the first start shows the level";
    EXPECT_LT(Differing(first, second), kStartWidth * kStartHeight / 100)
        << "the second start draws with objects of the device it has, its hero still whatever keys the first "
           "held";
}

} // namespace
