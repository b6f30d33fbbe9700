// The shipped island with its last wave: the script's final battle against
// the boss, played frame by frame with nobody at the controls.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/MainConfig.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "platform/bass.h"
#include "player/ControllerSelector.h"
#include "player/FightingController.h"
#include "shipped_game.h"

namespace {

class FinalBattleRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        s_Previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        s_Started = shippedgame::Start(320, 240);
    }
    static void TearDownTestSuite()
    {
        shippedgame::Stop();
        std::filesystem::current_path(s_Previous);
    }
    void TearDown() override
    {
        platform::SetClock(nullptr);
        SetTimeScale(1.0f);
    }

    static std::filesystem::path s_Previous;
    static bool s_Started;
    platform::FakeClock clock;
};

std::filesystem::path FinalBattleRun::s_Previous;
bool FinalBattleRun::s_Started = false;

TEST_F(FinalBattleRun, TheTenMovesPlayInTheArenaThenTheShoutTheBannerAndTheMemorial)
{
    ASSERT_TRUE(s_Started) << "no device";
    shippedgame::EnterLevel("isla");
    platform::SetClock(&clock);
    CEnemyManager& enemies = *getEnemyManager();
    enemies.setNewZone("room3", "wave_36");
    GetGameCalls().UpdateFrame(1.0f / 30.0f);  // the wave's bodies
    CEnemy* boss = enemies.getThisBotOfCurrentWave("ene_50");
    ASSERT_NE(boss, nullptr);
    ASSERT_TRUE(getCollisionManager().GetEnemyBodies().count("ene_50"));
    const std::uint16_t won = getAchievementStats().meleeWins;

    enemies.FinalBattle();
    CControllerSelector* selector = getPlayer()->GetControllerSelector();
    const CFightingController* fight = selector->GetFightingController();
    ASSERT_TRUE(selector->IsFighting());
    ASSERT_TRUE(fight->IsFinisherMode());

    std::vector<int> chain;
    std::vector<float> heroFeet, bossBodyGap;
    bool banner = false;
    int frames = 0;
    bool sample = false;
    for (; selector->IsFighting() && frames < 3000; ++frames) {
        if (chain.empty() || chain.back() != fight->GetChainState()) {
            chain.push_back(fight->GetChainState());
            sample = fight->GetChainState() != 0;
        } else if (sample) {
            // The frame after a move began: both stand on the arena, the boss's body under its model.
            sample = false;
            heroFeet.push_back(getCollisionManager().GetPlayerBody().position.y);
            const D3DXVECTOR3 body = getCollisionManager().GetEnemyBodies().at("ene_50").position;
            const D3DXVECTOR3 model = boss->GetPosition().GetPosition();
            bossBodyGap.push_back(std::fabs(body.x - model.x) + std::fabs(body.z - model.z));
        }
        clock.Advance(1.0 / 30.0);
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
        // Nothing here reads a pixel: every tenth frame is drawn.
        if (frames % 10 == 0)
            RenderFrame(1.0f / 30.0f);
        banner = banner || getGUI().achievementBannerActive[8];
    }
    ASSERT_FALSE(selector->IsFighting()) << frames;
    if (chain.back() == 0)
        chain.pop_back();
    EXPECT_EQ(chain, (std::vector<int>{74, 75, 76, 77, 78, 79, 80, 81, 82, 83}));
    ASSERT_EQ(heroFeet.size(), 10u);
    for (size_t i = 0; i < heroFeet.size(); ++i) {
        EXPECT_NEAR(heroFeet[i], 1236.75f, 25.0f) << "move " << i + 1;
        EXPECT_LT(bossBodyGap[i], 5.0f) << "move " << i + 1;
    }
    EXPECT_TRUE(banner) << "achievement 8";
    const std::int32_t sequence = getGSF().islaSequence;
    EXPECT_TRUE(sequence == CGameStateFlagsManager::ReadyMemoriam || sequence == CGameStateFlagsManager::PlayingMemoriam)
        << sequence;
    EXPECT_EQ(getAchievementStats().meleeWins, won + 1);
    EXPECT_TRUE(boss->getIA()->IsDying());
    EXPECT_FALSE(getCollisionManager().GetEnemyBodies().count("ene_50")) << "its body left the world";
    EXPECT_EQ(selector->GetStateName(), "FREE");
    EXPECT_FLOAT_EQ(GameTimeScale, 1.0f);
    EXPECT_FALSE(enemies.IsFrozen());
}

// Every one of the ten moves shows its button prompt: each move's two clips
// last past the moment its prompt opens, so none is cut short by the next.
TEST_F(FinalBattleRun, EveryMoveOfTheChainShowsItsButtonPrompt)
{
    ASSERT_TRUE(s_Started) << "no device";
    shippedgame::EnterLevel("isla");
    platform::SetClock(&clock);
    CEnemyManager& enemies = *getEnemyManager();
    enemies.setNewZone("room3", "wave_36");
    GetGameCalls().UpdateFrame(1.0f / 30.0f);
    ASSERT_NE(enemies.getThisBotOfCurrentWave("ene_50"), nullptr);

    enemies.FinalBattle();
    CControllerSelector* selector = getPlayer()->GetControllerSelector();
    const CFightingController* fight = selector->GetFightingController();
    ASSERT_TRUE(fight->IsFinisherMode());
    // The chain state names the move under way: 74 while move 1 plays, up to
    // 83 for move 10.
    std::set<int> movesPlayed, movesPrompted;
    const CGUIManager& gui = getGUI();
    for (int frames = 0; selector->IsFighting() && frames < 3000; ++frames) {
        clock.Advance(1.0 / 30.0);
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
        const int move = fight->GetChainState() - 73;
        if (move < 1 || move > 10 || !selector->IsFighting())
            continue;
        movesPlayed.insert(move);
        if (gui.comboHintX || gui.comboHintY)
            movesPrompted.insert(move);
    }
    ASSERT_FALSE(selector->IsFighting());
    const std::set<int> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(movesPlayed, all);
    EXPECT_EQ(movesPrompted, all);
    EXPECT_FALSE(gui.comboHintX || gui.comboHintY) << "no prompt left on screen";
}

// The last comic ends in the final battle. Were the boss not in the wave,
// the story would wait at that comic for good; were he already removed, the
// hero would fight a man nobody sees. Either way it goes on to the memorial
// with no fight.
TEST_F(FinalBattleRun, WithoutALiveBossTheLastComicLeadsToTheMemorial)
{
    ASSERT_TRUE(s_Started) << "no device";
    using G = CGameStateFlagsManager;
    for (const char* wave : {"wave_35", "wave_36"}) {
        shippedgame::EnterLevel("isla");
        platform::SetClock(&clock);
        CEnemyManager& enemies = *getEnemyManager();
        enemies.setNewZone("room3", wave);
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
        if (CEnemy* boss = enemies.getThisBotOfCurrentWave("ene_50"))
            boss->getIA()->destroyThisGuy();

        getGSF().setReadyCamIslaVinyetasIntroLucha();
        CControllerSelector* selector = getPlayer()->GetControllerSelector();
        bool comicShown = false, fought = false;
        int frames = 0;
        for (; frames < 3000 && getGSF().islaSequence != G::PlayingMemoriam; ++frames) {
            clock.Advance(1.0 / 30.0);
            GetGameCalls().UpdateFrame(1.0f / 30.0f);
            comicShown = comicShown || getGSF().islaSequence == G::PlayingVinyetasPredockers;
            fought = fought || selector->IsFighting();
        }
        EXPECT_TRUE(comicShown) << wave;
        EXPECT_EQ(getGSF().islaSequence, G::PlayingMemoriam) << wave << " after " << frames << " frames";
        EXPECT_FALSE(fought) << wave;
        getRigid()->Clear();
        getGSF().resetStates();
    }
}

} // namespace

namespace {

// The chain moves the body of whichever enemy it was started against, so
// that body and model stay together; another enemy's body stays where it
// stood (the chain once moved the boss's by name).
TEST_F(FinalBattleRun, TheChainAgainstAnotherEnemyMovesThatEnemysBody)
{
    ASSERT_TRUE(s_Started) << "no device";
    shippedgame::EnterLevel("isla");
    platform::SetClock(&clock);
    CEnemyManager& enemies = *getEnemyManager();
    enemies.setNewZone("room3", "wave_31");
    GetGameCalls().UpdateFrame(1.0f / 30.0f);
    CEnemy* guard = enemies.getThisBotOfCurrentWave("ene_51");
    ASSERT_NE(guard, nullptr);
    const auto& bodies = getCollisionManager().GetEnemyBodies();
    ASSERT_TRUE(bodies.count("ene_51") && bodies.count("ene_30"));
    const D3DXVECTOR3 bossBefore = bodies.at("ene_30").position;

    guard->getIA()->EnterFighting();
    CControllerSelector* selector = getPlayer()->GetControllerSelector();
    selector->SwitchToFighting(guard, 102);
    for (int i = 0; i < 3; ++i) {
        clock.Advance(1.0 / 30.0);
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
    }
    const D3DXVECTOR3 body = bodies.at("ene_51").position;
    EXPECT_NEAR(body.x, -2663.34f, 5.0f);
    EXPECT_NEAR(body.z, 1023.773f, 5.0f);
    const D3DXVECTOR3 boss = bodies.at("ene_30").position;
    EXPECT_NEAR(boss.x, bossBefore.x, 5.0f);
    EXPECT_NEAR(boss.z, bossBefore.z, 5.0f);

    // Let the chain run out so that the next case starts from a free hero.
    for (int i = 0; i < 3000 && selector->IsFighting(); ++i) {
        clock.Advance(1.0 / 30.0);
        GetGameCalls().UpdateFrame(1.0f / 30.0f);
    }
    EXPECT_FALSE(selector->IsFighting());
}

} // namespace
