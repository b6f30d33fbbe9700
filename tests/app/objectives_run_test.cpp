// Runs of the shipped game that hold what a new player needs to finish a
// stretch: the way back onto the beach's slab, what a weapon lying about
// does when he steps on it, what the HUD and the first comic let him read,
// and the words that point him to the plane and to the square's docker.
#include "loop_fixture.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "app/WinMain.h"
#include "app/GameStateFlags.h"
#include "platform/offscreen_device_fixture.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "script/ScriptHost.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

// Return on the menu, then per in-game frame: the keys held, the camera's
// heading set (the mouse's turn), console lines and probes run after that
// frame. Only every tenth frame is drawn, and those a probe names.
class ObjectivesPlayer : public NewGamePlayer {
public:
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive) {
            CGameCalls::RenderFrame(dt);
            return;
        }
        ++frames;
        if (frames % 10 == 0 || draws.count(frames))
            CGameCalls::RenderFrame(dt);
        const auto probe = probes.find(frames);
        if (probe != probes.end())
            probe->second();
        if (frames >= lastFrame) {
            getGUI().exitRequested = true;
            return;
        }
        const int next = frames + 1;
        for (int key : {DIK_SPACE, DIK_W, DIK_A, DIK_S, DIK_D, DIK_R})
            keys.SetKey(key, false);
        keys.SetButton(0, false);
        keys.SetButton(1, false);
        for (const auto& [key, range] : held)
            if (next >= range.first && next <= range.second) {
                if (key >= kButton)
                    keys.SetButton(key - kButton, true);
                else
                    keys.SetKey(key, true);
            }
        const auto turn = headings.find(next);
        if (turn != headings.end())
            getCamera().SetYaw(turn->second);
        const auto line = lines.find(frames);
        if (line != lines.end())
            getScriptHost().RunCommand(line->second);
    }

    void UpdateFrame(float dt) override
    {
        seconds += dt;
        CGameCalls::UpdateFrame(dt);
    }

    void Hold(int key, int from, int to) { held.insert({key, {from, to}}); }
    void Tap(int key, int frame) { Hold(key, frame, frame); }
    // The console's checkpoint at that frame: the hero falls, space revives
    // him there and skips the flight that may follow.
    void RestartAt(int checkpoint, int frame)
    {
        lines[frame] = "Checkpoint " + std::to_string(checkpoint);
        for (int f = frame + 4; f < frame + 20; f += 3)
            Tap(DIK_SPACE, f);
    }

    static constexpr int kButton = 1000;
    std::multimap<int, std::pair<int, int>> held;
    std::map<int, float> headings;
    std::map<int, std::string> lines;
    std::map<int, std::function<void()>> probes;
    std::set<int> draws;
    int frames = 0, lastFrame = 100;
    double seconds = 0.0; // game time since the new game began
};

class ObjectivesRun : public ShippedRun<ObjectivesPlayer> {
protected:
    ObjectivesRun() : ShippedRun("objectives") {}
    void SetUp() override
    {
        ShippedRun::SetUp();
        getTriggerManager().checkpoint = 1;
        // The comic and the flight skipped.
        for (int f = 2; f <= 20; f += 3)
            player.Tap(DIK_SPACE, f);
    }
    void TearDown() override
    {
        getTriggerManager().checkpoint = 1;
        ShippedRun::TearDown();
    }
};

// The game started in English, as its configuration file asks.
void SpeakEnglish()
{
    const char* file = "data/XML/init_configuration.xml";
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::size_t at = text.find("english=\"0\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 11, "english=\"1\"");
    std::ofstream(file, std::ios::binary) << text;
}

D3DXVECTOR3 HeroAt()
{
    return getPlayer()->GetPosition().GetPosition();
}

// The beach's checkpoint stands on a rock slab higher than a step. A hero who
// ran north off it onto the sand turns round and runs back: he is on it again,
// well inside its edge, not held at its foot.
TEST_F(ObjectivesRun, FromTheSandTheHeroRunsBackUpOntoTheCheckpointsSlab)
{
    player.RestartAt(3, 20);
    player.headings[60] = 0.0f; // north, +z
    player.Hold(DIK_W, 61, 150);
    player.headings[160] = 3.1415927f; // and back south
    player.Hold(DIK_W, 161, 230);
    player.lastFrame = 240;
    D3DXVECTOR3 start, onSand, back;
    player.probes[59] = [&] { start = HeroAt(); };
    player.probes[155] = [&] { onSand = HeroAt(); };
    player.probes[240] = [&] { back = HeroAt(); };
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_NEAR(start.y, 24.0f, 1.0f) << "the checkpoint is on the slab";
    ASSERT_GT(onSand.z, -430.0f) << "he ran off its north side, past any slope";
    EXPECT_NEAR(onSand.y, 0.0f, 1.0f) << "down on the sand";
    EXPECT_LT(back.z, -650.0f) << "back over the slab, 100 inside its edge";
    EXPECT_NEAR(back.y, 24.0f, 1.0f) << "standing on its top";
}

// In a game started in English the weapon's box is the English picture;
// every other picture the HUD drew that frame is English too, or has no words.
TEST_F(ObjectivesRun, TheHudNamesTheHerosWeaponInTheGamesLanguage)
{
    SpeakEnglish();
    std::vector<std::string> drawn;
    player.probes[39] = [&] { getGUI().drawLog = &drawn; };
    player.probes[40] = [&] { getGUI().drawLog = nullptr; };
    player.lastFrame = 41;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(getPlayer()->GetCurrentWeapon()->GetName(), "GUN");
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "MARCO"), drawn.end()) << "the HUD was up";
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "GUN_INGLES"), drawn.end());
    EXPECT_EQ(std::find(drawn.begin(), drawn.end(), "GUN"), drawn.end()) << "not the Spanish box";
}

// Whether a comic's caption box lies whole in the frame: the rows it spans
// hold a long run of the yellow of its paper (lit windows are short runs),
// and none of them reaches the frame's edge.
bool CaptionWhole(const std::vector<D3DCOLOR>& pixels, int width, int height)
{
    int rows = 0;
    for (int y = 0; y < height; ++y) {
        int run = 0, longest = 0, end = 0;
        for (int x = 0; x < width; ++x) {
            const D3DCOLOR c = pixels[std::size_t(y) * width + x];
            const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            run = (r > 150 && g > r * 0.8f && b < g * 0.7f) ? run + 1 : 0;
            if (run > longest) {
                longest = run;
                end = x;
            }
        }
        if (longest < width / 5)
            continue;
        if (y == 0 || y == height - 1 || end == width - 1 || end + 1 == longest)
            return false;
        ++rows;
    }
    return rows > 0;
}

// A new player watching the first comic reads each caption whole: the view
// rests on every box of words for seconds, all of it in the frame.
TEST_F(ObjectivesRun, TheFirstComicHoldsEachCaptionInViewLongEnoughToRead)
{
    player.held.clear(); // nothing skipped
    std::vector<std::pair<double, bool>> seen; // game time, caption whole
    // Every third frame drawn and read.
    for (int f = 3; f <= 500; f += 3) {
        player.draws.insert(f);
        player.probes[f] = [&seen, this] {
            if (getGSF().sequence != CGameStateFlagsManager::PlayingVinyetasIntro1)
                return;
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            seen.emplace_back(player.seconds, CaptionWhole(pixels, kWidth, kHeight));
        };
    }
    player.lastFrame = 500;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_GT(seen.size(), 50u) << "the comic was shown";
    EXPECT_GT(seen.back().first - seen.front().first, 20.0) << "and watched to its end";
    // Each stretch of frames with a whole caption, in seconds.
    std::vector<double> stretches;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        if (!seen[i].second)
            continue;
        std::size_t j = i;
        while (j + 1 < seen.size() && seen[j + 1].second)
            ++j;
        stretches.push_back(seen[j].first - seen[i].first);
        i = j;
    }
    int readable = 0;
    for (double s : stretches)
        readable += s >= 2.5;
    EXPECT_EQ(readable, 3) << "three captions, each whole in view for 2.5 s or more";
}

} // namespace
} // namespace looptest
