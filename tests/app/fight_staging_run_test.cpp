// Hand-to-hand fights in the shipped game as players meet them, read back
// from the frames: the hero stepping off the island's plateau toward a
// soldier below, the hero aiming as he walks into a soldier beside a brick
// wall, and the final battle on its raised arena. Each fighter is measured
// by what the frame loses when he is taken out of it; the prompt and the
// lost fight's words by what the frame loses without them.
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
#include "scene/Entity3D.h"
#include "scene/SceneManager.h"

namespace {

constexpr int kW = 320, kH = 240;
constexpr float kStep = 1.0f / 30.0f;
constexpr float kEast = 1.5707964f;
// Half a second of real time into a prompt: the move's cut and its flash are over.
constexpr int kIntoPrompt = 15;

// What the frame loses when something is taken out of it: the rows and
// columns it spanned. A pixel counts when a channel moves by more than a
// shade, so that the light's slow adaptation between two draws does not.
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
    if (with.size() != static_cast<size_t>(kW * kH) || without.size() != with.size())
        return span;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const D3DCOLOR a = with[y * kW + x], b = without[y * kW + x];
            int moved = 0;
            for (int shift = 0; shift < 24; shift += 8)
                moved = std::max(moved, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
            if (moved <= 24)
                continue;
            ++span.pixels;
            span.top = std::min(span.top, y);
            span.bottom = std::max(span.bottom, y);
            span.left = std::min(span.left, x);
            span.right = std::max(span.right, x);
        }
    return span;
}

// A thing drawn through its transform, shrunk to a point for the second draw.
Span LostShape(std::vector<CLocation*> shapes)
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

Span LostFighter(CCharacterEntity* body) { return LostShape({&body->GetTransform()}); }

// The prompt's sign: the frame without the button asked for.
Span LostPrompt()
{
    CGUIManager& gui = getGUI();
    const bool x = gui.comboHintX, y = gui.comboHintY;
    return Lost([&] { gui.comboHintX = gui.comboHintY = false; }, [&] {
        gui.comboHintX = x;
        gui.comboHintY = y;
    });
}

// What one moment of a fight shows.
struct Look {
    int frame = 0;
    Span hero, enemy, prompt;
};

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
    void SetUp() override
    {
        s_Keys = platform::FakeDirectInput();
        platform::SetClock(&clock);
    }
    void TearDown() override
    {
        s_Keys = platform::FakeDirectInput();
        platform::SetClock(nullptr);
        SetTimeScale(1.0f);
        getRigid()->Clear();
        getGSF().resetStates();
    }

    // The level at its first checkpoint, one wave with only the named
    // soldier left in it.
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
    // One frame of the game with the keys as they are; a frame in four is drawn.
    void Frame()
    {
        clock.Advance(kStep);
        GetGameCalls().UpdateFrame(kStep);
        if (++frames % 4 == 0)
            RenderFrame(kStep);
    }
    // The prompt's button pressed with the mouse, as the sign shows it: the
    // left button for X; for Y the right one, let go first when it is still
    // held from aiming.
    void Answer()
    {
        const bool x = getGUI().comboHintX;
        const int button = x ? 0 : 1;
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
    static const CFightingController* Fight() { return getPlayer()->GetControllerSelector()->GetFightingController(); }

    static void ExpectFramed(const Look& look, const char* enemy)
    {
        EXPECT_GE(look.hero.Rows(), kH / 10) << "frame " << look.frame << ": the hero";
        EXPECT_GE(look.enemy.Rows(), kH / 10) << "frame " << look.frame << ": " << enemy;
    }
    // Large enough to be read at a glance, where the eyes are: over the
    // fighters in the middle of the screen, not in a corner.
    static void ExpectReadable(const Span& prompt, int frame)
    {
        EXPECT_GE(prompt.Rows(), kH * 12 / 100) << "frame " << frame;
        EXPECT_GT(prompt.Middle(), 0.35f) << "frame " << frame;
        EXPECT_LT(prompt.Middle(), 0.65f) << "frame " << frame;
    }

    static std::filesystem::path s_Previous;
    static bool s_Started;
    static platform::FakeDirectInput s_Keys;
    platform::FakeClock clock;
    int frames = 0;
};

std::filesystem::path FightStagingRun::s_Previous;
bool FightStagingRun::s_Started = false;
platform::FakeDirectInput FightStagingRun::s_Keys;

// The plateau's edge stands 372 over the square. A soldier waits at its foot;
// the hero walks off the edge toward him and drops. The fight waits for him to
// come down to the soldier's ground; both show at its prompt. He presses
// nothing: the fight is lost, the screen says why, and he stands on the
// square's ground, not back up on the plateau.
TEST_F(FightStagingRun, OffThePlateauTheFightWaitsForTheGroundShowsBothAndALostOneSaysWhy)
{
    ASSERT_TRUE(s_Started) << "no device";
    CEnemy* soldier = Enter("isla", "room3", "wave_32", "ene_34");
    ASSERT_NE(soldier, nullptr);
    PlaceHero(D3DXVECTOR3(-900, 372, -600), kEast);
    getCollisionManager().setNewEnemyPosition("ene_34", D3DXVECTOR3(-740, 10, -600));

    float heroStart = NAN, soldierStart = NAN;
    std::vector<Look> looks;
    int promptFrame = -1, ended = -1, lifeBefore = 0, lifeAtEnd = 0;
    Span caption;
    std::vector<std::string> drawn;
    for (int f = 0; f < 600 && (ended < 0 || f < ended + 20); ++f) {
        const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
        const bool offTheEdge = hero.x > -790.0f, down = hero.y < 5.0f;
        s_Keys.SetKey(DIK_W, std::isnan(heroStart) && (!offTheEdge || down));
        Frame();
        if (Fighting() && std::isnan(heroStart)) {
            heroStart = getPlayer()->GetPosition().GetPosition().y;
            soldierStart = soldier->GetPosition().GetPosition().y;
            lifeBefore = getPlayer()->GetLife();
        }
        if (Fighting() && PromptShown() && promptFrame < 0)
            promptFrame = f;
        if (promptFrame >= 0 && f == promptFrame + kIntoPrompt && Fighting())
            looks.push_back({f, LostFighter(getPlayer()->GetEntity()), LostFighter(soldier->GetEntity()), LostPrompt()});
        if (!std::isnan(heroStart) && !Fighting() && ended < 0) {
            ended = f;
            lifeAtEnd = getPlayer()->GetLife();
        }
        if (ended >= 0 && f == ended + 19) {
            // Past the cut back to the follow camera: what the player reads.
            CGUIManager& gui = getGUI();
            const CGUIManager::FightLoss why = gui.fightLoss;
            gui.drawLog = &drawn;
            caption = Lost([&] { gui.fightLoss = CGUIManager::FightLoss::None; }, [&] { gui.fightLoss = why; });
            gui.drawLog = nullptr;
        }
    }
    ASSERT_TRUE(!std::isnan(heroStart)) << "the soldier never fought him";
    EXPECT_LT(std::fabs(heroStart - soldierStart), 60.0f) << "the fight began with the hero at " << heroStart;
    ASSERT_FALSE(looks.empty()) << "no prompt";
    for (const Look& look : looks) {
        ExpectFramed(look, "the soldier");
        ExpectReadable(look.prompt, look.frame);
    }
    ASSERT_GE(ended, 0) << "the fight never ended";
    EXPECT_EQ(lifeAtEnd, lifeBefore - 20) << "lost";
    EXPECT_GE(caption.Rows(), kH * 4 / 100) << "the lost fight's words";
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(),
                            [](const std::string& d) { return d.rfind("COMBO_PERDIDO_TIEMPO", 0) == 0; }))
        << "the words say the button came too late";
    EXPECT_LT(getPlayer()->GetPosition().GetPosition().y, 60.0f) << "put back on the square, not on the plateau";
}

// The harbour's lettered brick wall runs east to west. The hero aims (the
// right button held) and walks east along it, a step out from it, into a
// soldier. The fight's camera, written to look from his right, would stand
// behind the wall: it looks from the open side, and stays on both fighters
// at every prompt and after each blow to the end. Each prompt is answered
// with the button it shows, the right one let go and pressed again, and the
// fight is won.
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
    for (int f = 0; f < 900; ++f) {
        s_Keys.SetButton(1, f >= 2 && !began ? true : s_Keys.buttons[1] != 0);
        s_Keys.SetKey(DIK_W, f >= 4 && !began);
        Frame();
        began = began || Fighting();
        if (began && !Fighting())
            break;
        if (PromptShown() && promptFrame < 0)
            promptFrame = f;
        const bool sample = (promptFrame >= 0 && f == promptFrame + kIntoPrompt) || (answered >= 0 && f == answered + 10);
        if (sample)
            looks.push_back({f, LostFighter(getPlayer()->GetEntity()), LostFighter(soldier->GetEntity()),
                             PromptShown() ? LostPrompt() : Span()});
        if (promptFrame >= 0 && f == promptFrame + kIntoPrompt) {
            ASSERT_TRUE(PromptShown());
            Answer();
            answered = f;
            promptFrame = -1;
        }
    }
    ASSERT_TRUE(began) << "the soldier never fought him";
    EXPECT_FALSE(Fighting());
    EXPECT_GE(looks.size(), 4u) << "two prompts at least, each with its blow";
    for (const Look& look : looks) {
        ExpectFramed(look, "the soldier");
        if (look.prompt.pixels)
            ExpectReadable(look.prompt, look.frame);
    }
    EXPECT_EQ(getAchievementStats().meleeWins, won + 1);
    EXPECT_TRUE(soldier->getIA()->IsDying()) << "knocked out";
}

// The final battle as the square starts it: the last comic (skipped with
// Space), then the ten moves on the raised arena high over the island's west
// beach. At each move's prompt both fighters stand framed on the arena's
// floor, drawn under them, and the prompt can be read; each is answered with
// its button, and the chain ends in the memorial.
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

    std::vector<int> moves;
    std::vector<Look> looks;
    std::vector<Span> floors;
    int promptFrame = -1, move = 0;
    bool fought = false;
    for (int f = 0; f < 2400 && getGSF().islaSequence != CGameStateFlagsManager::ReadyMemoriam &&
                    getGSF().islaSequence != CGameStateFlagsManager::PlayingMemoriam;
         ++f) {
        s_Keys.SetKey(DIK_SPACE, !fought && f % 20 == 10);
        Frame();
        fought = fought || Fighting();
        if (!Fighting())
            continue;
        if (Fight()->GetChainState() - 73 != move) {
            move = Fight()->GetChainState() - 73;
            promptFrame = -1;
        }
        if (PromptShown() && promptFrame < 0)
            promptFrame = f;
        if (promptFrame >= 0 && f == promptFrame + kIntoPrompt) {
            moves.push_back(move);
            looks.push_back({f, LostFighter(getPlayer()->GetEntity()), LostFighter(boss->GetEntity()), LostPrompt()});
            floors.push_back(LostShape(arena));
            Answer();
        }
    }
    ASSERT_TRUE(fought) << "the last comic never led to the fight";
    EXPECT_FALSE(Fighting());
    EXPECT_EQ(moves, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    for (size_t i = 0; i < looks.size(); ++i) {
        SCOPED_TRACE("move " + std::to_string(moves[i]));
        ExpectFramed(looks[i], "the boss");
        ExpectReadable(looks[i].prompt, looks[i].frame);
        EXPECT_GT(floors[i].pixels, kW * kH / 8) << "the arena's floor and parapet";
    }
}

} // namespace
