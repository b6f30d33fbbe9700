// Hand-to-hand fights in the shipped game as players meet them, read from the
// frames: the hero stepping off the island's plateau toward a soldier below,
// the hero aiming as he walks into a soldier beside a brick wall, and the
// final battle on its raised arena. A fighter, the arena, the prompt or the
// lost fight's words are measured by what the frame loses without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/MainConfig.h"
#include "app/shipped_game.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/ControllerSelector.h"
#include "player/FightingController.h"
#include "render/EffectManager.h"
#include "scene/CharacterEntity.h"
#include "scene/SceneManager.h"

namespace {

constexpr int kW = 320, kH = 240;
constexpr float kStep = 1.0f / 30.0f;
constexpr float kEast = 1.5707964f;
// Half a second of real time into a prompt: a move's cut and flash are over.
constexpr int kIntoPrompt = 15;

// The rows a thing spanned on screen and the middle of its columns. A pixel
// counts when a channel moves by more than a shade, so that the light's slow
// adaptation between two draws does not.
struct Span {
    int top = kH, bottom = -1, left = kW, right = -1, pixels = 0;
    int Rows() const { return bottom < top ? 0 : bottom - top + 1; }
    float Middle() const { return (left + right) * 0.5f / kW; }
};

std::vector<D3DCOLOR> Drawn()
{
    std::vector<D3DCOLOR> pixels;
    RenderFrame(0.0f);
    devicetest::ReadBackBuffer(D3DDevice, &pixels);
    return pixels;
}

Span Lost(const std::function<void()>& takeOut, const std::function<void()>& putBack)
{
    CompositeState& composite = getEffectManager().GetCompositeState();
    const CompositeState kept = composite;
    const std::vector<D3DCOLOR> with = Drawn();
    composite = kept;
    takeOut();
    const std::vector<D3DCOLOR> without = Drawn();
    putBack();
    composite = kept;
    Span span;
    for (int i = 0; i < kW * kH && with.size() == without.size() && i < static_cast<int>(with.size()); ++i) {
        int moved = 0;
        for (int shift = 0; shift < 24; shift += 8)
            moved = std::max(moved, std::abs(int((with[i] >> shift) & 255) - int((without[i] >> shift) & 255)));
        if (moved <= 24)
            continue;
        ++span.pixels;
        span.top = std::min(span.top, i / kW);
        span.bottom = std::max(span.bottom, i / kW);
        span.left = std::min(span.left, i % kW);
        span.right = std::max(span.right, i % kW);
    }
    return span;
}

// Things drawn through their transforms, shrunk to a point for the second draw.
Span LostShapes(std::vector<CLocation*> shapes)
{
    std::vector<D3DXMATRIX> kept;
    return Lost(
        [&] {
            for (CLocation* shape : shapes) {
                kept.push_back(shape->GetMatrix());
                D3DXMATRIX point = shape->GetMatrix();
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        point.m[i][j] = 0.0f;
                shape->SetMatrix(point);
            }
        },
        [&] {
            for (size_t i = 0; i < shapes.size(); ++i)
                shapes[i]->SetMatrix(kept[i]);
        });
}

// The frame that many after a moment, once that moment has come (-1: not yet).
bool After(int frame, int moment, int frames) { return moment >= 0 && frame == moment + frames; }

// What a moment of a fight shows: each fighter, and the prompt's sign if one is up.
struct Look {
    int frame;
    Span hero, enemy, prompt;
};

Look LookAt(int frame, CEnemy* enemy)
{
    CGUIManager& gui = getGUI();
    const bool x = gui.comboHintX, y = gui.comboHintY;
    return {frame, LostShapes({&getPlayer()->GetEntity()->GetTransform()}),
            LostShapes({&enemy->GetEntity()->GetTransform()}),
            x || y ? Lost([&] { gui.comboHintX = gui.comboHintY = false; },
                          [&] {
                              gui.comboHintX = x;
                              gui.comboHintY = y;
                          })
                   : Span()};
}

// Both fighters at least a tenth of the frame high; a prompt large enough to
// be read at a glance, over the fighters in the middle, not in a corner.
void ExpectSeen(const Look& look)
{
    SCOPED_TRACE("frame " + std::to_string(look.frame));
    EXPECT_GE(look.hero.Rows(), kH / 10) << "the hero";
    EXPECT_GE(look.enemy.Rows(), kH / 10) << "his opponent";
    if (!look.prompt.pixels)
        return;
    EXPECT_GE(look.prompt.Rows(), kH * 12 / 100);
    EXPECT_NEAR(look.prompt.Middle(), 0.5f, 0.15f);
}

class FightStagingRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        s_Previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        platform::SetDirectInputSource(&s_Keys);
        s_Started = shippedgame::Start(kW, kH);
    }
    static void TearDownTestSuite()
    {
        shippedgame::Stop();
        platform::SetDirectInputSource(nullptr);
        std::filesystem::current_path(s_Previous);
    }
    void SetUp() override { platform::SetClock(&clock); }
    void TearDown() override
    {
        s_Keys = platform::FakeDirectInput();
        platform::SetClock(nullptr);
        SetTimeScale(1.0f);
        getRigid()->Clear();
        getGSF().resetStates();
    }

    // The level at its first checkpoint, one wave with only the named soldier left.
    CEnemy* Enter(const char* level, const char* room, const char* wave, const char* soldier)
    {
        shippedgame::EnterLevel(level);
        SetFocus(MainWindow);
        CEnemyManager& enemies = *getEnemyManager();
        enemies.setNewZone(room, wave);
        Frame();
        for (const auto& entry : enemies.GetCurrentWaveEnemies())
            if (entry.first != soldier)
                entry.second->getIA()->destroyThisGuy();
        return enemies.getThisBotOfCurrentWave(soldier);
    }
    static void PlaceHero(const D3DXVECTOR3& feet, float yaw)
    {
        getCollisionManager().setNewPlayerPosition(feet + D3DXVECTOR3(0, 26.0f, 0));
        getPlayer()->GetPosition().SetPosition(feet);
        getPlayer()->GetPosition().SetYaw(yaw);
        getCamera().SetYaw(yaw);
    }
    // One frame with the keys as they are; one frame in four is drawn.
    void Frame()
    {
        clock.Advance(kStep);
        GetGameCalls().UpdateFrame(kStep);
        if (++frames % 4 == 0)
            RenderFrame(kStep);
    }
    // The mouse button the sign shows: left for X; for Y the right one, let go
    // first when it is still held from aiming.
    void Answer()
    {
        const int button = getGUI().comboHintX ? 0 : 1;
        if (s_Keys.buttons[button]) {
            s_Keys.SetButton(button, false);
            Frame();
        }
        s_Keys.SetButton(button, true);
        Frame();
        s_Keys.SetButton(button, false);
    }
    static bool Fighting() { return getPlayer()->GetControllerSelector()->IsFighting(); }
    static bool PromptShown() { return getGUI().comboHintX || getGUI().comboHintY; }

    static std::filesystem::path s_Previous;
    static bool s_Started;
    static platform::FakeDirectInput s_Keys;
    platform::FakeClock clock;
    int frames = 0;
};

std::filesystem::path FightStagingRun::s_Previous;
bool FightStagingRun::s_Started = false;
platform::FakeDirectInput FightStagingRun::s_Keys;

// The plateau's edge stands 372 over the square, a soldier at its foot. The
// hero walks off the edge toward him and drops: the fight waits for him to
// come down to the soldier's ground, and shows both. He presses nothing: the
// fight is lost, the screen says it came too late, and he stands on the
// square, not back up on the plateau.
TEST_F(FightStagingRun, OffThePlateauTheFightWaitsForTheGroundShowsBothAndALostOneSaysWhy)
{
    ASSERT_TRUE(s_Started) << "no device";
    CEnemy* soldier = Enter("isla", "room3", "wave_32", "ene_34");
    ASSERT_NE(soldier, nullptr);
    PlaceHero(D3DXVECTOR3(-900, 372, -600), kEast);
    getCollisionManager().setNewEnemyPosition("ene_34", D3DXVECTOR3(-740, 10, -600));

    float heightApart = NAN;
    int promptFrame = -1, ended = -1, lifeBefore = 0, lifeAfter = 0;
    std::vector<Look> looks;
    Span words;
    CGUIManager::FightLoss why = CGUIManager::FightLoss::None;
    for (int f = 0; f < 600 && (ended < 0 || f <= ended + 19); ++f) {
        const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
        s_Keys.SetKey(DIK_W, std::isnan(heightApart) && (hero.x < -790.0f || hero.y < 5.0f));
        Frame();
        if (Fighting() && std::isnan(heightApart)) {
            heightApart = getPlayer()->GetPosition().GetPosition().y - soldier->GetPosition().GetPosition().y;
            lifeBefore = getPlayer()->GetLife();
        }
        promptFrame = promptFrame < 0 && Fighting() && PromptShown() ? f : promptFrame;
        if (After(f, promptFrame, kIntoPrompt) && Fighting())
            looks.push_back(LookAt(f, soldier));
        if (!std::isnan(heightApart) && !Fighting() && ended < 0) {
            ended = f;
            lifeAfter = getPlayer()->GetLife();
        }
        if (After(f, ended, 19)) {
            // Past the cut back to the follow camera.
            CGUIManager& gui = getGUI();
            why = gui.fightLoss;
            words = Lost([&] { gui.fightLoss = CGUIManager::FightLoss::None; }, [&] { gui.fightLoss = why; });
        }
    }
    ASSERT_FALSE(std::isnan(heightApart)) << "the soldier never fought him";
    EXPECT_LT(std::fabs(heightApart), 60.0f) << "the hero's feet over the soldier's as the fight began";
    ASSERT_EQ(looks.size(), 1u);
    ExpectSeen(looks[0]);
    ASSERT_GE(ended, 0) << "the fight never ended";
    EXPECT_EQ(lifeAfter, lifeBefore - 20) << "lost";
    EXPECT_EQ(why, CGUIManager::FightLoss::TooLate);
    EXPECT_GE(words.Rows(), kH * 4 / 100) << "the lost fight's words on screen";
    EXPECT_LT(getPlayer()->GetPosition().GetPosition().y, 60.0f) << "put back on the square, not on the plateau";
}

// The harbour's lettered brick wall runs east to west. The hero aims (the right
// button held) and walks east a step out from it into a soldier. The fight's
// camera, written to look from his right, would stand behind the wall: it
// looks from the open side, at both fighters at every prompt and after every
// blow. Each prompt is answered with the button it shows and the fight is won.
TEST_F(FightStagingRun, WalkingIntoASoldierByAWallWithTheAimHeldShowsBothToTheEndAndWins)
{
    ASSERT_TRUE(s_Started) << "no device";
    CEnemy* soldier = Enter("hangares", "room01", "wave_03", "ene_10");
    ASSERT_NE(soldier, nullptr);
    PlaceHero(D3DXVECTOR3(-560, 0, -1400), kEast);
    getCollisionManager().setNewEnemyPosition("ene_10", D3DXVECTOR3(-330, 10, -1400));
    const std::uint16_t won = getAchievementStats().meleeWins;

    bool began = false;
    int promptFrame = -1, answered = -1;
    std::vector<Look> looks;
    for (int f = 0; f < 900 && !(began && !Fighting()); ++f) {
        if (!began) {
            s_Keys.SetButton(1, f >= 2);
            s_Keys.SetKey(DIK_W, f >= 4);
        }
        Frame();
        began = began || Fighting();
        promptFrame = promptFrame < 0 && PromptShown() ? f : promptFrame;
        if (After(f, promptFrame, kIntoPrompt) || After(f, answered, 10))
            looks.push_back(LookAt(f, soldier));
        if (After(f, promptFrame, kIntoPrompt)) {
            Answer();
            answered = f;
            promptFrame = -1;
        }
    }
    ASSERT_TRUE(began) << "the soldier never fought him";
    EXPECT_GE(looks.size(), 4u) << "two prompts at least, each with its blow";
    for (const Look& look : looks)
        ExpectSeen(look);
    EXPECT_EQ(getAchievementStats().meleeWins, won + 1);
    EXPECT_TRUE(soldier->getIA()->IsDying()) << "knocked out";
}

// The final battle as the square starts it: the last comic, skipped with
// Space, then the ten moves on the raised arena high over the west beach. At
// each move's prompt both fighters are framed on the arena, drawn under them,
// and the prompt can be read; each is answered, and the memorial follows.
TEST_F(FightStagingRun, TheFinalBattleShowsBothFightersOnTheArenaAndEveryPromptOfItsTenMoves)
{
    ASSERT_TRUE(s_Started) << "no device";
    CEnemy* boss = Enter("isla", "room3", "wave_36", "ene_50");
    ASSERT_NE(boss, nullptr);
    getGSF().setReadyCamIslaVinyetasIntroLucha();
    std::vector<CLocation*> arena;
    for (const char* name : {"isla_arena_final", "isla_arena_final_muro_n", "isla_arena_final_muro_s",
                             "isla_arena_final_muro_e", "isla_arena_final_muro_o"}) {
        IEntidad3D* piece = getSceneManager().FindEntity(name);
        ASSERT_NE(piece, nullptr) << name;
        arena.push_back(&piece->GetTransform());
    }
    const CFightingController* fight = getPlayer()->GetControllerSelector()->GetFightingController();

    std::vector<int> moves;
    std::vector<Look> looks;
    std::vector<Span> floors;
    int promptFrame = -1, move = 0;
    bool fought = false;
    using G = CGameStateFlagsManager;
    for (int f = 0; f < 2400 && getGSF().islaSequence != G::ReadyMemoriam &&
                    getGSF().islaSequence != G::PlayingMemoriam;
         ++f) {
        s_Keys.SetKey(DIK_SPACE, !fought && f % 20 == 10);
        Frame();
        fought = fought || Fighting();
        if (!Fighting())
            continue;
        // The chain names the move under way: 74 while the first plays.
        if (fight->GetChainState() - 73 != move) {
            move = fight->GetChainState() - 73;
            promptFrame = -1;
        }
        promptFrame = promptFrame < 0 && PromptShown() ? f : promptFrame;
        if (After(f, promptFrame, kIntoPrompt)) {
            moves.push_back(move);
            looks.push_back(LookAt(f, boss));
            floors.push_back(LostShapes(arena));
            Answer();
        }
    }
    ASSERT_TRUE(fought) << "the last comic never led to the fight";
    EXPECT_FALSE(Fighting());
    EXPECT_EQ(moves, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    for (size_t i = 0; i < looks.size(); ++i) {
        SCOPED_TRACE("move " + std::to_string(moves[i]));
        ExpectSeen(looks[i]);
        EXPECT_GE(looks[i].prompt.Rows(), kH * 12 / 100) << "the prompt shown";
        EXPECT_GT(floors[i].pixels, kW * kH / 8) << "the arena's floor and parapet";
    }
}

} // namespace
