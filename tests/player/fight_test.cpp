// The hero's hand-to-hand fights against an enemy of the manager: real models
// with their animation lengths, a fake clock for the slow motion's real
// milliseconds, the frame's real step and the game's time scale as the game
// loop sets them.
#include "hero_fixture.h"

#include <cal3d/cal3d.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "app/FrameUpdate.h"
#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "enemies/enemy_fixture.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "platform/win32.h"
#include "player/FightingController.h"
#include "player/IController.h"
#include "scene/CharacterEntity.h"
#include "scene/ParticleType.h"
#include "xml/temp_folder.h"

namespace {

constexpr float kFrame = 1.0f / 30.0f;

// Only this cycle is blended on the entity.
bool OnlyCycle(CCharacterEntity* entity, const std::string& name)
{
    if (entity->GetCycleCount() == 0 || !entity->ClearCycle(name, 0.0f))
        return false;
    entity->Update(0.01f);
    return entity->GetCycleCount() == 0;
}

// The length of the entity's animation of that name; -1 when it has none.
float Duration(CCharacterEntity* entity, const std::string& name)
{
    const auto& ids = entity->GetCoreModelInfo()->animations;
    const auto id = ids.find(name);
    if (id == ids.end())
        return -1.0f;
    return entity->GetCalModel()->getCoreModel()->getCoreAnimation(id->second)->getDuration();
}

// How far apart two poses of one model are: the largest difference in the
// turn of any bone the skin uses, wherever the root has carried either.
float Apart(const CCharacterEntity* a, const CCharacterEntity* b)
{
    std::vector<float> ra, rb;
    a->BuildBoneRows(ra);
    b->BuildBoneRows(rb);
    if (ra.size() != rb.size() || ra.empty())
        return 1e9f;
    float apart = 0.0f;
    for (size_t i = 0; i < ra.size(); ++i)
        if (i % 4 != 3)  // the fourth of each row is a translation
            apart = std::max(apart, std::fabs(ra[i] - rb[i]));
    return apart;
}

int Count(const std::vector<std::string>& files, const std::string& name)
{
    return static_cast<int>(std::count_if(files.begin(), files.end(), [&](const std::string& f) {
        return f.size() >= name.size() && f.compare(f.size() - name.size(), name.size(), name) == 0;
    }));
}

class Fight : public Hero {
protected:
    static void SetUpTestSuite()
    {
        Hero::SetUpTestSuite();
        getParticleTypes().Load("data/XML/particleTypes.xml");
    }

    void SetUp() override
    {
        Hero::SetUp();
        platform::SetClock(&clock);
        crt::srand(1);
        SetTimeScale(1.0f);
        LastFrameDt = kFrame;
        CGUIManager& gui = getGUI();
        gui.comboHintActive = gui.comboHintX = gui.comboHintY = false;
        for (bool& b : gui.achievementBannerActive)
            b = false;
        getGSF().islaSequence = 0;
        Load("ene_1");
    }
    void TearDown() override
    {
        getEnemyManager()->resumeIA();
        getEnemyManager()->SetListFiles("data/XML/typeOfEnemyList.xml", "data/XML/enemyList.xml");
        platform::SetClock(nullptr);
        SetTimeScale(1.0f);
    }

    // One enemy of wave_02 standing at fighting distance in front of the hero.
    void Load(const std::string& name)
    {
        enemytest::EnemyEntry e{name, "soldado", enemytest::Point(0, 0, 55, 180)};
        CEnemyManager& manager = *getEnemyManager();
        manager.SetListFiles(folder.Write("types.xml", enemytest::kTypes),
                             folder.Write("enemies.xml", enemytest::ListXml("room01", enemytest::WaveXml("wave_02", {e}))));
        manager.ResetWaves();
        manager.setNewZone("room01", "wave_02");
        enemy = manager.getThisBotOfCurrentWave(name);
        ASSERT_NE(enemy, nullptr);
        ai = enemy->getIA();
        fight = selector->GetFightingController();
    }

    // The enemy hands the hero the fight, as its melee state does.
    void Start(int kind)
    {
        ai->EnterFighting();
        ai->SetFightingPartner(true);
        selector->SwitchToFighting(enemy, kind);
        ASSERT_EQ(hero->GetController()->GetStateCode(), 43);
    }

    // One frame of the game loop: real time passes, the game at its scale.
    void Frame(float real = kFrame)
    {
        LastFrameDt = real;
        clock.Advance(real);
        const float game = real * GameTimeScale;
        getEnemyManager()->Update(game);
        hero->Update(game);
    }
    bool Fighting() const { return selector->IsFighting(); }
    bool Prompt() const { return fight->IsExpectingX() || fight->IsExpectingY(); }
    // Frames until a prompt opens or the fight ends.
    int RunToPrompt(int limit = 600)
    {
        int frames = 0;
        while (Fighting() && !Prompt() && frames < limit) {
            Frame();
            ++frames;
        }
        return frames;
    }
    void Answer(bool right)
    {
        const bool x = fight->IsExpectingX();
        fight->OnActionPressed(x == right ? ACTION_COMBO_X : ACTION_COMBO_Y);
    }
    // A two-hit fight with both prompts answered as they open.
    void WinTwoHitFight()
    {
        Start(50);
        for (int hit = 0; hit < 2; ++hit) {
            RunToPrompt();
            ASSERT_TRUE(Prompt()) << hit;
            Answer(true);
            Frame();
        }
    }

    // What every end of a fight leaves behind.
    void ExpectReleased()
    {
        EXPECT_FLOAT_EQ(GameTimeScale, 1.0f);
        EXPECT_EQ(selector->GetStateName(), "FREE");
        EXPECT_NE(hero->GetController()->GetStateCode(), 43);
        EXPECT_FALSE(getEnemyManager()->IsFrozen());
        EXPECT_FALSE(getGUI().comboHintActive);
        EXPECT_FALSE(ai->IsFightingPartner());
        EXPECT_FALSE(fight->IsFinisherMode());
    }

    platform::FakeClock clock;
    TempFolder folder;
    CEnemy* enemy = nullptr;
    CIAEnemyCover* ai = nullptr;
    CFightingController* fight = nullptr;
};

TEST_F(Fight, UnansweredThreeHitPromptOpensAt1Point1AndFails1Point2RealSecondsLater)
{
    const std::uint16_t started = getAchievementStats().fightsStarted;
    Start(49);
    EXPECT_EQ(getAchievementStats().fightsStarted, started + 1);
    EXPECT_TRUE(getGUI().comboHintActive);
    EXPECT_TRUE(getEnemyManager()->IsFrozen());
    RunToPrompt();
    ASSERT_TRUE(Prompt());
    EXPECT_GE(fight->GetTimer(), 1.1f);
    EXPECT_LT(fight->GetTimer(), 1.1f + kFrame);
    EXPECT_FLOAT_EQ(GameTimeScale, 0.08f) << "slow motion";
    Frame();
    EXPECT_TRUE(getGUI().comboHintX != getGUI().comboHintY) << "the sign of the one button awaited";

    int real = 1;
    while (Fighting() && real < 100) {
        Frame();
        ++real;
    }
    // The limit of 1.2 runs down in real frames: 36 of them, then the update that sees it spent.
    EXPECT_GE(real, 36);
    EXPECT_LE(real, 38);
    EXPECT_EQ(hero->GetLife(), 330);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING);
    EXPECT_EQ(getGUI().fightLoss, CGUIManager::FightLoss::TooLate) << "the screen says the button came too late";
    ExpectReleased();
}

// Every kind of fight the enemies start, each with its own blows: both
// fighters strike as their one-shots of that kind do (posed as a model
// playing just that), a prompt opens at each of its windows (0.1 s early),
// every answer lands a hit, and the enemy dies as its one-shot ends, lying
// in its own pose.
TEST_F(Fight, EachKindStrikesItsOwnBlowsPromptsAtItsWindowsAndEndsWithTheEnemys)
{
    const struct {
        int kind;
        const char* hero;
        const char* enemy;
        const char* lying;
        std::vector<float> windows;
    } kinds[] = {
        {49, "combo_3hits_1", "combo3", "combo3_KO_idle", {1.2f, 1.7f, 2.8f}},
        {50, "combo_2hits_1", "combo2", "combo2_KO_idle", {1.4f, 2.0f}},
        {51, "combo3_bofetadaygolf", "combo3_bofetadaygolf", "combo3_bofetadaygolf_death00", {1.0f, 1.5f, 2.4f}},
        {52, "combo2_patadaycodazo", "combo2_patadaycodazo", "combo2_patadaycodazo_death00", {1.2f, 2.5f}},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        Load("ene_1");
        const float length = Duration(enemy->GetEntity(), k.enemy);
        ASSERT_GT(length, k.windows.back());
        // Models playing the kind's one-shots alone, stepped as the fighters are.
        std::unique_ptr<CCharacterEntity> heroAlone(getModelsManager().CreateModelInstance("Zorvath"));
        std::unique_ptr<CCharacterEntity> enemyAlone(getModelsManager().CreateModelInstance("enemy"));
        ASSERT_TRUE(heroAlone && enemyAlone);
        const float heroLength = heroAlone->ExecuteAction(k.hero, 0.0f, 0.5f, 1.0f, false);
        ASSERT_GT(heroLength, 1.0f);
        ASSERT_GT(enemyAlone->ExecuteAction(k.enemy, 0.0f, 0.0f, 1.0f, false), 0.0f);
        Start(k.kind);
        std::vector<float> prompts;
        float game = 0.0f, heroApart = 0.0f, enemyApart = 0.0f;
        int compared = 0;
        for (int frames = 0; Fighting() && frames < 3000; ++frames) {
            if (Prompt()) {
                prompts.push_back(fight->GetTimer());
                Answer(true);
            }
            const float step = kFrame * GameTimeScale;
            game += step;
            Frame();
            heroAlone->Update(step);
            enemyAlone->Update(step);
            // While the hero's one-shot is at its full weight: faded in
            // (kind 51 takes 0.2 s) and not yet fading out (its last 0.5 s).
            if (game > 0.25f && game < heroLength - 0.55f && enemy->GetEntity()->GetActionCount() > 0) {
                heroApart = std::max(heroApart, Apart(hero->GetEntity(), heroAlone.get()));
                enemyApart = std::max(enemyApart, Apart(enemy->GetEntity(), enemyAlone.get()));
                ++compared;
            }
        }
        EXPECT_GT(compared, 60);
        EXPECT_LT(heroApart, 1e-3f) << k.hero;
        EXPECT_LT(enemyApart, 1e-3f) << k.enemy;
        ASSERT_EQ(prompts.size(), k.windows.size());
        for (size_t i = 0; i < prompts.size(); ++i) {
            EXPECT_GE(prompts[i], k.windows[i] - 0.1f) << i;
            EXPECT_LT(prompts[i], k.windows[i] - 0.1f + kFrame) << i;
        }
        EXPECT_EQ(fight->HitsLanded(), static_cast<int>(k.windows.size()));
        EXPECT_NEAR(game, length, 2 * kFrame) << "the fight ends with the enemy's one-shot";
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::DEAD);
        EXPECT_TRUE(OnlyCycle(enemy->GetEntity(), k.lying));
        EXPECT_EQ(hero->GetLife(), 350);
        ExpectReleased();
    }
}

TEST_F(Fight, TheOtherButtonOrAMovementKeyDuringAPromptFailsTheRightOneLands)
{
    for (const int wrong : {-1, int(ACTION_FORWARD), int(ACTION_RELOAD)}) {
        hero->SetLifeAndTopLife(350, 350);
        Start(49);
        RunToPrompt();
        ASSERT_TRUE(Prompt());
        if (wrong < 0)
            Answer(false);
        else
            fight->OnActionPressed(wrong);
        Frame();
        EXPECT_FALSE(Fighting()) << wrong;
        EXPECT_EQ(hero->GetLife(), 330) << wrong;
        EXPECT_EQ(getGUI().fightLoss, CGUIManager::FightLoss::WrongButton) << wrong;
        ExpectReleased();
    }
    Start(50);
    RunToPrompt();
    Answer(true);
    Frame();
    EXPECT_TRUE(Fighting());
    EXPECT_EQ(fight->HitsLanded(), 1);
    EXPECT_FALSE(Prompt());
    EXPECT_FLOAT_EQ(GameTimeScale, 1.0f) << "the blow ends the slow motion";
}

TEST_F(Fight, ButtonsPressedBeforeAnyPromptAreClearedByItAndNeverWrong)
{
    Start(49);
    for (int i = 0; i < 10; ++i)
        Frame();
    fight->OnActionPressed(ACTION_FIRE);
    fight->OnActionPressed(ACTION_AIM);
    Frame();
    EXPECT_TRUE(Fighting()) << "no prompt was open: nothing wrong";
    RunToPrompt();
    ASSERT_TRUE(Prompt());
    Frame();
    EXPECT_EQ(fight->HitsLanded(), 0) << "the early press does not answer it";
    while (Fighting())
        Frame();
    EXPECT_EQ(hero->GetLife(), 330);
}

TEST_F(Fight, AWonTwoHitFightWaitsForTheEnemysOneShotThenItLiesKnockedOut)
{
    const std::uint16_t won = getAchievementStats().meleeWins;
    WinTwoHitFight();
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(fight->IsComplete());
    ASSERT_GT(enemy->GetEntity()->GetActionCount(), 0) << "its combo still plays";
    int frames = 0;
    while (enemy->GetEntity()->GetActionCount() > 0 && frames < 600) {
        EXPECT_TRUE(Fighting());
        EXPECT_FALSE(ai->IsDying());
        Frame();
        ++frames;
    }
    EXPECT_GT(frames, 3);
    Frame();
    EXPECT_FALSE(Fighting());
    EXPECT_TRUE(ai->IsDying());
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::DEAD);
    EXPECT_EQ(getAchievementStats().meleeWins, won + 1);
    EXPECT_EQ(hero->GetLife(), 350);
    ExpectReleased();
    EXPECT_TRUE(OnlyCycle(enemy->GetEntity(), "combo2_KO_idle"));
}

// The wave moves on during a won fight: its enemies are no longer updated,
// so the fight must not wait on the opponent's action to end.
TEST_F(Fight, AWonFightWhoseWaveWasLeftStillLetsTheHeroGo)
{
    WinTwoHitFight();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(fight->IsComplete());
    ASSERT_GT(enemy->GetEntity()->GetActionCount(), 0);
    getEnemyManager()->setNewZone("room01", "wave_03");
    for (int frames = 0; Fighting() && frames < 600; ++frames)
        Frame();
    EXPECT_FALSE(Fighting());
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::DEAD);
    EXPECT_EQ(hero->GetLife(), 350);
    ExpectReleased();
}

// A script orders the enemy elsewhere mid-fight (a wave sending it to a cover
// point): it leaves the frozen wave's updates, so its blow would never end.
// The fight ends for both: unfinished, the hero goes free unhurt and the
// enemy keeps its order; with every blow landed, the enemy falls.
TEST_F(Fight, AnEnemyAScriptSendsAwayMidFightEndsItForBoth)
{
    for (const bool won : {false, true}) {
        if (won) {
            WinTwoHitFight();
            if (HasFatalFailure())
                return;
            ASSERT_TRUE(fight->IsComplete());
        } else {
            Start(49);
            RunToPrompt();
            ASSERT_TRUE(Prompt());
        }
        ai->setMoveToCoverState("");
        const std::uint16_t ordered = ai->GetState();
        ASSERT_NE(ordered, CIAEnemyCover::FIGHTING);
        for (int frames = 0; Fighting() && frames < 300; ++frames)
            Frame();
        ExpectReleased();
        EXPECT_EQ(hero->GetLife(), 350) << won;
        if (won) {
            EXPECT_EQ(ai->GetState(), CIAEnemyCover::DEAD);
        } else {
            EXPECT_EQ(ai->GetState(), ordered);
            EXPECT_EQ(enemy->GetEntity()->GetActionCount(), 0) << "its blow stopped with the fight";
            Load("ene_1");
        }
    }
}

// A restart or a cut-scene switches the hero out of a fight in slow motion
// with its prompt up: neither outlasts it, and the enemy is let go.
TEST_F(Fight, SwitchedOutOfAFightTheHeroLeavesNoSlowMotionPromptOrFreezeBehind)
{
    Start(49);
    RunToPrompt();
    ASSERT_TRUE(Prompt());
    ASSERT_LT(GameTimeScale, 1.0f);
    selector->SwitchToFree(false, false);
    ExpectReleased();
    EXPECT_FALSE(getGUI().comboHintX || getGUI().comboHintY);
    EXPECT_NE(ai->GetState(), CIAEnemyCover::FIGHTING);
    Frame();
    EXPECT_FLOAT_EQ(GameTimeScale, 1.0f);
}

TEST_F(Fight, APromptAnsweredAfterTheSlowMotionRanOutStillLands)
{
    Start(49);
    RunToPrompt();
    ASSERT_TRUE(Prompt());
    // A slow machine: 80 ms of real time a frame, yet each frame reports only 10 ms.
    for (int i = 0; i < 20; ++i) {
        LastFrameDt = 0.01f;
        clock.Advance(0.08);
        hero->Update(0.01f * GameTimeScale);
    }
    EXPECT_FLOAT_EQ(GameTimeScale, 1.0f) << "1600 ms of real time";
    ASSERT_TRUE(Prompt());
    Answer(true);
    Frame();
    EXPECT_EQ(fight->HitsLanded(), 1);
    EXPECT_TRUE(Fighting());
}

TEST_F(Fight, AHitchPastTheLastWindowStillOpensItsPromptsAndTheFightCanBeWon)
{
    Start(49);
    Frame();
    hero->Update(3.0f);  // one step past every window
    for (int hit = 0; hit < 3; ++hit) {
        if (hit > 0)
            Frame();
        ASSERT_TRUE(Prompt()) << hit;
        Answer(true);
        Frame();
        EXPECT_EQ(fight->HitsLanded(), hit + 1);
    }
    EXPECT_TRUE(fight->IsComplete());
    for (int i = 0; i < 600 && Fighting(); ++i)
        Frame();
    EXPECT_TRUE(ai->IsDying());
    ExpectReleased();
}

TEST_F(Fight, TheHeroTurnsToFaceHisOpponentAndShotsCannotHurtHimMeanwhile)
{
    for (const float yaw : {0.0f, 1.0f, -2.5f}) {
        hero->GetPosition().SetYaw(yaw);
        Start(52);
        const D3DXVECTOR3 facing = DirectionFromYaw(hero->GetPosition().GetYaw());
        EXPECT_NEAR(facing.x, 0.0f, 1e-3f) << yaw;
        EXPECT_NEAR(facing.z, 1.0f, 1e-3f) << yaw << ": the enemy stands at +z";
        selector->ForwardHit(true, 80, 0, 0, 100);
        Frame();
        EXPECT_FALSE(hero->GetController()->WasHit());
        EXPECT_EQ(hero->GetLife(), 350);
        selector->SwitchToFree(false, false);
        getEnemyManager()->resumeIA();
    }
}

TEST_F(Fight, AFailedFightInTheStagedFirstWaveStillLetsTheEnemyGo)
{
    enemytest::EnemyEntry e{"ene_5", "soldado", enemytest::Point(0, 0, 55, 180)};
    getEnemyManager()->SetListFiles(
        folder.Write("types.xml", enemytest::kTypes),
        folder.Write("enemies.xml", enemytest::ListXml("room01", enemytest::WaveXml("wave_01", {e}))));
    getEnemyManager()->ResetWaves();
    getEnemyManager()->setNewZone("room01", "wave_01");
    enemy = getEnemyManager()->getThisBotOfCurrentWave("ene_5");
    ASSERT_NE(enemy, nullptr);
    ai = enemy->getIA();
    Start(50);
    RunToPrompt();
    Answer(false);
    Frame();
    ExpectReleased();
    EXPECT_NE(ai->GetState(), CIAEnemyCover::FIGHTING);
    // Let go, it can take the hero on again; held in its fight it never would.
    for (int i = 0; i < 30 && !Fighting(); ++i)
        Frame();
    EXPECT_TRUE(Fighting());
    EXPECT_TRUE(ai->IsFightingPartner());
}

// --- the final chain ---------------------------------------------------------------------

class Finisher : public Fight {
protected:
    // Prompts shown in a whole chain played at this many real seconds a
    // frame, each answered as soon as it shows.
    int CountPrompts(float step)
    {
        Start(102);
        const CGUIManager& gui = getGUI();
        int prompts = 0;
        for (int frames = 0; Fighting() && frames < 3000; ++frames) {
            if (gui.comboHintX || gui.comboHintY) {
                ++prompts;
                Answer(true);
            }
            Frame(step);
        }
        // The recorder's clock never ends a sound, and a file plays only
        // four times at once: the chain's lines and shouts are cut here.
        getSoundManager().StopAll();
        return prompts;
    }

    // Frames until the chain ends, pressing the wrong button at each prompt when asked.
    int Play(bool wrongPresses)
    {
        int frames = 0;
        while (Fighting() && frames < 3000) {
            if (wrongPresses && Prompt())
                Answer(false);
            Frame();
            ++frames;
        }
        return frames;
    }
};

TEST_F(Finisher, AtElevenFramesASecondNoMoveLosesItsPrompt)
{
    // At 30 frames a second every move's clips outlast its prompt time.
    const int smooth = CountPrompts(kFrame);
    EXPECT_EQ(smooth, 10);
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::ReadyMemoriam);
    // A step of 0.09 s jumps the windows of moves 3, 6 and 10 (0.4, 0.5 and
    // 0.4 s), and the one that opens move 10's prompt also passes its shout
    // at 0.5 s. Two draws of the game's rand: move 10 asks for Y, then X.
    for (unsigned seed : {1u, 3u}) {
        Load("ene_1");
        crt::srand(seed);
        getGSF().islaSequence = 0;
        EXPECT_EQ(CountPrompts(0.09f), smooth) << seed;
        EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::ReadyMemoriam) << seed;
        ExpectReleased();
    }
}

TEST_F(Finisher, WithNoInputTheTenMovesPlayOnceThenTheShoutTheBannerAndTheMemorial)
{
    Start(102);
    EXPECT_TRUE(fight->IsFinisherMode());
    EXPECT_EQ(fight->GetChainState(), 74);
    EXPECT_EQ(Count(platform::audio::StartedFiles(), "wosh.wav"), 0);
    EXPECT_EQ(Count(platform::audio::StartedFiles(), "mainR.ogg"), 1) << "the first move starts the action theme";
    const D3DXVECTOR3 first = hero->GetPosition().GetPosition();
    EXPECT_NEAR(first.x, -2639.34f, 1e-2f);
    EXPECT_NEAR(first.y, 1236.75f, 1e-2f);
    EXPECT_NEAR(enemy->GetPosition().GetPosition().z, 1023.773f, 1e-2f);
    const std::uint16_t won = getAchievementStats().meleeWins;

    std::vector<int> states;
    int frames = 0, prompts = 0;
    bool prompted = false;
    while (Fighting() && frames < 3000) {
        if (states.empty() || states.back() != fight->GetChainState())
            states.push_back(fight->GetChainState());
        if (Prompt() && !prompted)
            ++prompts;
        prompted = Prompt();
        Frame();
        ++frames;
    }
    ASSERT_FALSE(Fighting());
    // The final delay (state 0) shows only when the last move outlasts it.
    if (states.back() == 0)
        states.pop_back();
    const std::vector<int> chain = {74, 75, 76, 77, 78, 79, 80, 81, 82, 83};
    EXPECT_EQ(states, chain);
    // A prompt for each move that lasts past its prompt time, every one let run out.
    EXPECT_GE(prompts, 5);
    const std::vector<std::string>& files = platform::audio::StartedFiles();
    for (const char* line : {"cfMEraInocente.ogg", "cfMcomoHermano.ogg", "cfDAccidnt.ogg", "cfDVioalgo.ogg",
                             "cfDNoDebiaVer.ogg", "cfMsangrreXsangre.ogg", "cfMInfierno.ogg", "splash.wav"})
        EXPECT_EQ(Count(files, line), 1) << line;
    EXPECT_GE(Count(files, "zorvaaath.ogg"), 1);
    EXPECT_LE(Count(files, "zorvaaath.ogg"), 2);
    EXPECT_TRUE(getGUI().achievementBannerActive[8]);
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::ReadyMemoriam);
    EXPECT_EQ(getAchievementStats().meleeWins, won + 1);
    EXPECT_EQ(hero->GetLife(), 350);
    EXPECT_TRUE(ai->IsDying());
    EXPECT_FALSE(ai->GetFinisherFlag());
    // The last move's places: the enemy is the fight's own one, not one named "ene_50".
    EXPECT_NEAR(hero->GetPosition().GetPosition().x, -2846.02f, 1e-2f);
    EXPECT_NEAR(enemy->GetPosition().GetPosition().x, -2861.02f, 1e-2f);
    EXPECT_NEAR(WrapAngle(hero->GetPosition().GetYaw()), -0.478f, 1e-3f);
    ExpectReleased();
}

// Each of the ten moves puts both fighters on their marks, or shifts the
// enemy from where it stands, or only turns the pair; both face the same way.
TEST_F(Finisher, EachMovePlacesAndTurnsBothFighters)
{
    struct Place {
        bool marks;               // both put on their marks; else the enemy shifted by `enemy`
        D3DXVECTOR3 hero, enemy;
        float yaw;
    };
    const float y = 1236.75f, facing = -0.478f, back = 2.592f;
    const Place moves[10] = {
        {true, {-2639.34f, y, 978.773f}, {-2663.34f, y, 1023.773f}, facing},
        {true, {-2658, y, 1110}, {-2678, y, 1150}, facing},
        {false, {}, {-10, 0, 30}, back},
        {true, {-2695, y, 1174}, {-2715, y, 1214}, facing},
        {false, {}, {0, 0, 0}, back},
        {false, {}, {-4, 0, 10}, back},
        {false, {}, {0, 0, 0}, back},
        {true, {-2781, y, 1302}, {-2806, y, 1350}, facing},
        {true, {-2810, y, 1314}, {-2825, y, 1344}, facing},
        {true, {-2846.02f, y, 1330.71f}, {-2861.02f, y, 1360.71f}, facing},
    };
    auto near = [](const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
        return std::fabs(a.x - b.x) < 1e-2f && std::fabs(a.y - b.y) < 1e-2f && std::fabs(a.z - b.z) < 1e-2f;
    };
    D3DXVECTOR3 heroWas = hero->GetPosition().GetPosition(), enemyWas = enemy->GetPosition().GetPosition();
    Start(102);
    int checked = 0, frames = 0;
    for (int state = 0; Fighting() && frames < 3000; ++frames) {
        if (fight->GetChainState() != state && fight->GetChainState() >= 74) {
            state = fight->GetChainState();
            const int move = state - 74;
            const Place& m = moves[move];
            const D3DXVECTOR3 heroAt = hero->GetPosition().GetPosition();
            const D3DXVECTOR3 enemyAt = enemy->GetPosition().GetPosition();
            EXPECT_TRUE(near(heroAt, m.marks ? m.hero : heroWas)) << "move " << move + 1;
            EXPECT_TRUE(near(enemyAt, m.marks ? m.enemy : enemyWas + m.enemy)) << "move " << move + 1;
            EXPECT_NEAR(WrapAngle(hero->GetPosition().GetYaw()), WrapAngle(m.yaw), 1e-3f) << "move " << move + 1;
            EXPECT_NEAR(WrapAngle(enemy->GetPosition().GetYaw()), WrapAngle(m.yaw), 1e-3f) << "move " << move + 1;
            ++checked;
        }
        heroWas = hero->GetPosition().GetPosition();
        enemyWas = enemy->GetPosition().GetPosition();
        Frame();
    }
    EXPECT_EQ(checked, 10);
    getSoundManager().StopAll();
}

TEST_F(Finisher, AWrongButtonChangesNothingAndAMoveCutShortSkipsItsPrompt)
{
    Start(102);
    // Move 1's prompt is at 1.6 s: its enemy one-shot cut at 0.5 s starts move 2 unprompted.
    while (fight->GetTimer() < 0.5f)
        Frame();
    enemy->GetEntity()->RemoveAction();
    Frame();
    EXPECT_EQ(fight->GetChainState(), 75);
    EXPECT_EQ(Count(platform::audio::StartedFiles(), "wosh.wav"), 0);
    EXPECT_EQ(Count(platform::audio::StartedFiles(), "cfMEraInocente.ogg"), 1);
    // Move 3 shifts the enemy from where it stands and turns both the other way.
    const D3DXVECTOR3 before = enemy->GetPosition().GetPosition();
    while (fight->GetChainState() == 75)
        Frame();
    const D3DXVECTOR3 after = enemy->GetPosition().GetPosition();
    EXPECT_NEAR(after.x - before.x, -10.0f, 1e-2f);
    EXPECT_NEAR(after.z - before.z, 30.0f, 1e-2f);
    EXPECT_NEAR(WrapAngle(hero->GetPosition().GetYaw()), WrapAngle(2.592f), 1e-3f);
    Play(true);
    EXPECT_EQ(hero->GetLife(), 350);
    EXPECT_EQ(getGSF().islaSequence, CGameStateFlagsManager::ReadyMemoriam);
    ExpectReleased();
}

} // namespace

namespace {

// Every one-shot, cycle, camera shot and sound file the fights ask for is in the shipped data.
TEST_F(Fight, EveryNameTheFightsAskForIsInTheShippedData)
{
    const char* heroNames[] = {"combo_3hits_1", "combo_2hits_1", "combo3_bofetadaygolf", "combo2_patadaycodazo",
                               "estomago", "ganchoizq", "ganchobajofacial", "izqderechrapido", "empujon",
                               "patadahuevers", "rodillazo", "ganchoarribabajo", "ganchobajo", "spartakick"};
    for (const char* name : heroNames) {
        EXPECT_GT(hero->GetEntity()->ExecuteAction(name, 0, 0, 1, false), 0.0f) << name;
        hero->GetEntity()->RemoveAction();
    }
    const char* enemyActions[] = {"combo3", "combo2", "combo3_bofetadaygolf", "combo2_patadaycodazo",
                                  "recibe_estomago", "recibe_ganchoizq", "pega_ganchobajofacial",
                                  "recibe_izqderechrapido", "pega_empujon", "pega_patadahuevers", "pega_rodillazo",
                                  "recibe_ganchoarribaabajo", "recibe_ganchobajo", "recibe_spartakick"};
    const char* enemyCycles[] = {"combo3_KO_idle", "combo2_KO_idle", "combo3_bofetadaygolf_death00",
                                 "combo2_patadaycodazo_death00"};
    for (const char* model : {"enemy", "enemyWhite", "portuario"}) {
        CCharacterEntity* entity = getModelsManager().CreateModelInstance(model);
        ASSERT_NE(entity, nullptr) << model;
        for (const char* name : enemyActions) {
            EXPECT_GT(entity->ExecuteAction(name, 0, 0, 1, false), 0.0f) << model << " " << name;
            entity->RemoveAction();
        }
        for (const char* name : enemyCycles)
            EXPECT_TRUE(entity->BlendCycle(name, 1, 0)) << model << " " << name;
        delete entity;
    }

    CRigidAnimManager rigid;
    rigid.Load();
    for (const char* camera : {"camara_combo_patada", "camara_combo_final1", "camara_combo_final2",
                               "camara_combo_final3", "camara_combo_final4_5", "camara_combo_final6",
                               "camara_combo_final7", "camara_combo_final8", "camara_combo_final9",
                               "camara_combo_final10", "camara_combo_final11_1", "camara_combo_final11_2"})
        EXPECT_TRUE(rigid.HasCamera(camera)) << camera;
    for (const char* file : {"wosh.wav", "splash.wav", "zorvaaath.ogg", "cfMEraInocente.ogg", "cfMcomoHermano.ogg",
                             "cfDAccidnt.ogg", "cfDVioalgo.ogg", "cfDNoDebiaVer.ogg", "cfMsangrreXsangre.ogg",
                             "cfMInfierno.ogg"})
        EXPECT_TRUE(std::filesystem::exists(std::string("data/sound/") + file)) << file;
}

} // namespace
