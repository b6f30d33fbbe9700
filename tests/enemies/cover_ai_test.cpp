// The cover AI's frame and its tests, with the hero, the rays and the cover
// of the room made up on the spot.
#include "enemies/enemy_fixture.h"
#include "enemies/fake_senses.h"

#include <memory>

#include "enemies/EnemySenses.h"
#include "math/VectorMath.h"
#include "player/Weapon.h"
#include "platform/crt.h"
#include "world/Parapet.h"

namespace enemytest {
namespace {

class CoverAiTest : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));
        SetEnemySenses(&senses);
    }
    void TearDown() override
    {
        // The made-up cover goes with this test: nobody may hold it after.
        for (const auto& entry : Manager().GetCurrentWaveEnemies())
            entry.second->getIA()->FreeParapet();
        SetEnemySenses(nullptr);
        EnemyTest::TearDown();
    }

    // One enemy "name" at (x, 0, z) facing yawDegrees, in a plain wave of room01
    // ("wave_01" is staged: its alarms only wake the next group).
    CEnemy* One(const std::string& name, float x, float z, float yawDegrees = 180.0f,
                const std::string& types = kTypes, const std::string& wave = "wave_02")
    {
        EnemyEntry e{name, "soldado", Point(x, 0, z, yawDegrees)};
        Load(ListXml("room01", WaveXml(wave, {e})), "room01", wave, types);
        // The list starts every enemy facing +Z: turn it the case's way.
        CEnemy* enemy = Enemy(name);
        enemy->GetPosition().SetYaw(yawDegrees * kPi / 180.0f);
        enemy->PlaceEntity();
        return enemy;
    }

    FakeSenses senses;
    RangedGun gun{900.0f};
};

TEST_F(CoverAiTest, NothingRunsForADeadHeroOrWhileAnotherFightsAndTimeNeverRunsBack)
{
    CIAEnemyCover* ai = One("ene_1", 0, 1000)->getIA();
    senses.dead = true;
    ai->Update(0.5f);
    EXPECT_FLOAT_EQ(ai->GetClock(), 0.0f);
    senses.dead = false;
    senses.fighting = true;
    ai->Update(0.5f);
    EXPECT_FLOAT_EQ(ai->GetClock(), 0.0f);
    ai->SetFightingPartner(true);
    ai->Update(0.5f);
    EXPECT_FLOAT_EQ(ai->GetClock(), 0.5f);
    senses.fighting = false;
    ai->Update(-3.0f);
    EXPECT_FLOAT_EQ(ai->GetClock(), 0.5f);
    EXPECT_FLOAT_EQ(ai->GetDistance(), 1000.0f);
    EXPECT_EQ(ai->GetLabel(), "IDLE");
}

TEST_F(CoverAiTest, TheDyingWaitForTheirAnimationThenLieStillOrVanish)
{
    for (const char* name : {"ene_1", "ene_42"}) {
        CEnemy* enemy = One(name, 0, 1000);
        CIAEnemyCover* ai = enemy->getIA();
        CCharacterEntity* entity = enemy->GetEntity();
        ASSERT_GT(entity->ExecuteAction("death_grave", 0.0f, 0.0f, 1.0f, false), 0.0f);
        ai->StartDying();
        ai->Update(0.1f);
        EXPECT_FALSE(ai->IsDestroyed()) << name;
        for (int i = 0; i < 100 && entity->GetActionCount() > 0; ++i)
            Manager().Update(0.1f);
        ai->Update(0.1f);
        EXPECT_TRUE(ai->IsDestroyed()) << name;
        // The corpse keeps its last pose: nothing advances its model again.
        const D3DXMATRIX pose = entity->GetBoneMatrix("EBip01 Head");
        for (int i = 0; i < 10; ++i)
            Manager().Update(0.1f);
        EXPECT_EQ(entity->GetBoneMatrix("EBip01 Head"), pose) << name;
        // "ene_42" goes without a corpse; the others stay where they fell.
        EXPECT_EQ(entity->IsVisible(), std::string(name) != "ene_42") << name;
        EXPECT_EQ(ai->GetState() == CIAEnemyCover::DEAD, std::string(name) == "ene_42") << name;
    }
}

TEST_F(CoverAiTest, AHeroWithin250IsNoticedThroughWallsUnlessHidingOrByDockers)
{
    struct Case {
        const char* name;
        const char* state;
        float distance;
        bool heroInCover;
        bool shoots;
    };
    const Case cases[] = {
        {"ene_1", "IDLE_STATE", 249, false, true},      {"ene_1", "IDLE_STATE", 250, false, false},
        {"ene_1", "WAITING_STATE", 200, false, true},   {"ene_1", "ACTING_STATE", 200, false, true},
        {"ene_1", "PATROL_STATE", 200, false, true},    {"ene_1", "MOVE_TO_COVER_STATE", 200, false, true},
        {"ene_1", "SEARCH_STATE", 200, false, false},   {"ene_1", "ALARMED_STATE", 200, false, false},
        {"ene_1", "IDLE_STATE", 200, true, false},      {"ene_Dockers1", "IDLE_STATE", 200, false, false},
    };
    senses.blocked = true;  // a wall in between changes nothing
    for (const Case& c : cases) {
        senses.inCover = c.heroInCover;
        CEnemy* enemy = One(c.name, c.distance, 0, 180);  // facing away, to the side
        enemy->getIA()->SetState(c.state);
        enemy->getIA()->Update(0.1f);
        const bool shoots = enemy->getIA()->GetState() == CIAEnemyCover::SHOOTING;
        EXPECT_EQ(shoots, c.shoots) << c.name << " " << c.state << " " << c.distance;
        if (shoots) {
            EXPECT_EQ(enemy->getIA()->GetLabel(), "SHOOTING");
            // Turned to the hero, weapon raised.
            EXPECT_NEAR(enemy->GetPosition().GetYaw(), -kPi / 2, 1e-3) << c.state;
            EXPECT_NEAR(enemy->GetEntity()->GetTransform().GetYaw(), -kPi / 2, 1e-3);
        }
    }
}

TEST_F(CoverAiTest, NearAtNearDistPlus80AndTheFightOnlyStrictlyInsideNearDist)
{
    struct Case {
        float distance;
        bool blocked;
        bool near;
        bool fights;
    };
    const Case cases[] = {
        {201, false, false, false}, {200, false, true, false}, {120, false, true, false},
        {119, false, true, true},   {119, true, true, false},
    };
    for (const Case& c : cases) {
        senses.blocked = c.blocked;
        senses.inCover = true;  // no sight in passing
        CEnemy* enemy = One("ene_1", 0, c.distance);
        CIAEnemyCover* ai = enemy->getIA();
        ai->Update(0.1f);
        EXPECT_EQ(ai->IsNear(), c.near) << c.distance;
        EXPECT_EQ(ai->GetState() == CIAEnemyCover::FIGHTING, c.fights) << c.distance;
        if (c.near)
            EXPECT_EQ(ai->GetLastSeenPlayerPosition(), D3DXVECTOR3(0, 0, 0));
        if (c.fights) {
            // Turned to the hero; the rays went at chest height.
            EXPECT_NEAR(std::fabs(enemy->GetPosition().GetYaw()), kPi, 1e-3);
            ASSERT_FALSE(senses.rays.empty());
            EXPECT_FLOAT_EQ(senses.rays.back().first.y, 15.0f);
            EXPECT_GT(senses.heroActionsStopped, 0);
        }
    }
    // Leaving the near range clears the flag.
    CEnemy* enemy = One("ene_1", 0, 150);
    senses.inCover = true;
    enemy->getIA()->Update(0.1f);
    ASSERT_TRUE(enemy->getIA()->IsNear());
    enemy->GetPosition().SetPosition(D3DXVECTOR3(0, 0, 201));
    enemy->getIA()->Update(0.1f);
    EXPECT_FALSE(enemy->getIA()->IsNear());
}

// A hero on a ledge over the enemy is not near, however close on the map:
// no fight between one up there and one below, and no spot up there to put
// him back on. Coming down to the enemy's ground, he is near and fought.
TEST_F(CoverAiTest, AHeroOnOtherGroundIsNeitherNearNorFought)
{
    senses.inCover = true;
    for (const float height : {372.0f, 61.0f, 60.0f, -60.0f, -61.0f, 0.0f}) {
        senses.hero.SetPosition(D3DXVECTOR3(0, height, 0));
        CEnemy* enemy = One("ene_1", 0, 100);
        CIAEnemyCover* ai = enemy->getIA();
        ai->Update(0.1f);
        const bool sameGround = std::fabs(height) <= 60.0f;
        EXPECT_EQ(ai->IsNear(), sameGround) << height;
        EXPECT_EQ(ai->GetState() == CIAEnemyCover::FIGHTING, sameGround) << height;
        if (sameGround)
            EXPECT_EQ(ai->GetLastSeenPlayerPosition().y, height);
    }
    // Near on his ground, then up a ledge: no longer near.
    senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));
    CEnemy* enemy = One("ene_1", 0, 150);
    enemy->getIA()->Update(0.1f);
    ASSERT_TRUE(enemy->getIA()->IsNear());
    senses.hero.SetPosition(D3DXVECTOR3(0, 200, 0));
    enemy->getIA()->Update(0.1f);
    EXPECT_FALSE(enemy->getIA()->IsNear());
}

TEST_F(CoverAiTest, AHoldStopsTheStatesButNotTheFightAndEndsInASearchOrCoverIdle)
{
    senses.inCover = true;
    CEnemy* enemy = One("ene_1", 0, 1000);
    CIAEnemyCover* ai = enemy->getIA();
    ai->Hold(1.0f, true);
    ai->Update(0.5f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::IDLE);
    EXPECT_EQ(ai->GetLabel(), "");  // no state ran
    ai->Update(0.6f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING);

    enemy = One("ene_1", 0, 1000);
    ai = enemy->getIA();
    ai->SetInCover(true);
    ai->Hold(0.2f, true);
    ai->Update(0.3f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::IDLE);
    EXPECT_EQ(enemy->GetEntity()->GetCycleCount(), 2);  // fading to the crouched idle

    enemy = One("ene_1", 0, 100);
    ai = enemy->getIA();
    ai->Hold(5.0f, true);
    ai->Update(0.1f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::FIGHTING);
}

TEST_F(CoverAiTest, BehindALowParapetOnlyAHeroOnItsSideStartsAFight)
{
    // Parapets facing every way, each with the hero's heading along the
    // cover's (across it, away from its face) and against it: facing its
    // face, he stands across it from the enemy and no fight starts.
    for (float facing : {-60.0f, 0.0f, 100.0f, 200.0f}) {
        for (float turn : {0.0f, 80.0f, -80.0f, 100.0f, 180.0f}) {
            CEnemy* enemy = One("ene_1", 0, 100);
            senses.parapets.clear();
            senses.AddCover("p_b_n_A_B_900", 0, 500, facing);
            CIAEnemyCover* ai = enemy->getIA();
            ai->SetState("COVER_STATE");
            ASSERT_TRUE(ai->TakeNamedCoverPoint("p_b_n_A_B_900"));
            ai->SetInCover(true);
            senses.hero.SetYaw((facing + 180.0f + turn) * kPi / 180.0f);
            ai->Update(0.0f);
            ai->Update(0.0f);
            const bool fights = ai->GetState() == CIAEnemyCover::FIGHTING;
            EXPECT_EQ(fights, std::fabs(turn) < 90.0f) << "facing " << facing << " turn " << turn;
            // The fight frees the parapet.
            if (fights)
                EXPECT_TRUE(senses.parapets[0]->free);
        }
    }
    senses.jumping = true;
    CEnemy* enemy = One("ene_1", 0, 100);
    enemy->getIA()->Update(0.0f);
    EXPECT_NE(enemy->getIA()->GetState(), CIAEnemyCover::FIGHTING);
}

TEST_F(CoverAiTest, WeaponRangeByNameWaveAndWeapon)
{
    struct Case {
        const char* name;
        const char* wave;
        float distance;
        bool inRange;
    };
    const Case cases[] = {
        {"ene_7", "wave_01", 1599, true},  {"ene_8x", "wave_01", 1600, false}, {"ene_9", "wave_34", 1650, false},
        {"ene_1", "wave_34", 1699, true},  {"ene_1", "wave_34", 1700, false},  {"ene_1", "wave_35", 899, true},
        {"ene_1", "wave_35", 900, false},  {"ene_1", "wave_01", 900, true},    {"ene_1", "wave_01", 901, false},
    };
    senses.inCover = true;
    for (const Case& c : cases) {
        EnemyEntry e{c.name, "soldado", Point(0, 0, c.distance)};
        Load(ListXml("room01", WaveXml(c.wave, {e})), "room01", c.wave);
        CEnemy* enemy = Enemy(c.name);
        enemy->SetWeapon(&gun);
        enemy->getIA()->Update(0.0f);
        EXPECT_EQ(enemy->getIA()->IsInWeaponRange(), c.inRange) << c.name << " " << c.wave << " " << c.distance;
    }
}

TEST_F(CoverAiTest, RollWhenTheHeroKeepsAimingAndAlarmWhenHeAimsOrIsHit)
{
    const char* types = R"(<TYPES><TYPE tName="soldado"><CONSTANTS topLife="100" nearDist="100" alarmDist="1000"
        bulletsToRollIfPlayerWithOstrel="3" bulletsToRollIfPlayerWithShotgun="1" bulletsToRollIfPlayerWithThompson="5"/>
        </TYPE></TYPES>)";
    CEnemy* enemy = One("ene_1", 0, 999, 180, types);
    CIAEnemyCover* ai = enemy->getIA();
    senses.inCover = true;
    ai->Update(0.0f);
    EXPECT_FALSE(ai->RollTrigger());  // not aiming
    senses.readyToShoot = true;
    EXPECT_FALSE(ai->RollTrigger());
    EXPECT_FALSE(ai->RollTrigger());
    EXPECT_TRUE(ai->RollTrigger());  // the third frame aimed at it
    senses.weapon = "THOMPSON";
    EXPECT_FALSE(ai->RollTrigger());
    senses.weapon = "SHOTGUN";
    EXPECT_TRUE(ai->RollTrigger());
    senses.hero.SetYaw(1.0f);  // aiming elsewhere: the count stays
    const std::uint32_t count = ai->GetRollCounter();
    ai->RollTrigger();
    EXPECT_EQ(ai->GetRollCounter(), count);
    ai->SetInCover(true);
    EXPECT_FALSE(ai->RollTrigger());
    EXPECT_EQ(ai->GetRollCounter(), 0u);

    ai->AlarmTest();
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::ALARMED);
    EXPECT_EQ(ai->GetLastKnownHeroPosition(), D3DXVECTOR3(0, 0, 0));
    enemy = One("ene_1", 0, 999, 180, types);
    senses.readyToShoot = false;
    enemy->getIA()->Update(0.0f);
    enemy->getIA()->AlarmTest();
    EXPECT_EQ(enemy->getIA()->GetState(), CIAEnemyCover::IDLE);
    senses.wasHit = true;
    enemy->getIA()->AlarmTest();
    EXPECT_EQ(enemy->getIA()->GetState(), CIAEnemyCover::ALARMED);
    enemy = One("ene_1", 0, 1000, 180, types);
    enemy->getIA()->Update(0.0f);
    enemy->getIA()->AlarmTest();
    EXPECT_EQ(enemy->getIA()->GetState(), CIAEnemyCover::IDLE);
    EXPECT_TRUE(enemy->getIA()->HasLineOfSight());
    senses.blocked = true;
    EXPECT_FALSE(enemy->getIA()->HasLineOfSight());
    EXPECT_FLOAT_EQ(senses.rays.back().first.y, 75.0f);
}

TEST_F(CoverAiTest, TheNearestFreeParapetOfTheZoneOnTheFarSideOfTheHero)
{
    senses.inCover = true;
    // The hero at the origin, the enemy 1000 up +Z; cover faces +Z (toward
    // the enemy), the hero behind it.
    TParapet* wrongZone = senses.AddCover("p_b_n_B_B_901", 0, 950, 0);
    TParapet* forbidden = senses.AddCover("p_b_n_A_P_902", 0, 940, 0);
    TParapet* facingHero = senses.AddCover("p_b_n_A_B_903", 0, 930, 180);
    TParapet* far = senses.AddCover("p_b_n_A_B_904", 0, 300, 0);  // beyond attack reach
    TParapet* chosen = senses.AddCover("p_b_n_A_B_905", 100, 700, 0);
    TParapet* tie = senses.AddCover("p_b_n_A_B_906", -100, 700, 0);
    TParapet* high = senses.AddCover("p_a_n_A_B_907", 0, 500, 0, 200);
    TParapet* behind = senses.AddCover("p_b_n_A_B_910", 50, 960, 0);  // out of the gun's reach of the hero

    CEnemy* enemy = One("ene_1", 0, 1000);
    enemy->SetWeapon(&gun);
    CIAEnemyCover* ai = enemy->getIA();
    ai->Update(0.0f);
    ASSERT_EQ(ai->ChooseCoverPoint(), chosen);
    EXPECT_FALSE(chosen->free);
    EXPECT_TRUE(tie->free && wrongZone->free && forbidden->free && facingHero->free && far->free && high->free &&
                behind->free);
    // Across it, toward the hero (the level pulls one end back 0.1).
    EXPECT_NEAR(std::fabs(WrapAngle(ai->GetCoverYaw())), kPi, 2e-3);
    EXPECT_FALSE(ai->IsHighParapet());
    EXPECT_EQ(ai->GetCoverTarget(), D3DXVECTOR3(100, 0, 700));

    // A second enemy takes the tie, never the held one; the first, asked
    // again, lets its own go and takes it back.
    CEnemyManager::EnemyMap wave;
    EnemyEntry a{"ene_1", "soldado", Point(0, 0, 1000, 180)};
    EnemyEntry b{"ene_2", "soldado", Point(0, 0, 1000, 180)};
    Load(ListXml("room01", WaveXml("wave_01", {a, b})), "room01", "wave_01");
    for (auto& p : senses.parapets)
        p->free = true;
    CIAEnemyCover* first = Enemy("ene_1")->getIA();
    CIAEnemyCover* second = Enemy("ene_2")->getIA();
    Enemy("ene_1")->SetWeapon(&gun);
    Enemy("ene_2")->SetWeapon(&gun);
    first->Update(0.0f);
    second->Update(0.0f);
    EXPECT_EQ(first->ChooseCoverPoint(), chosen);
    EXPECT_EQ(second->ChooseCoverPoint(), tie);
    EXPECT_EQ(first->ChooseCoverPoint(), chosen);
    // Forced (or hurt, or crowded) every candidate counts: the nearest wins
    // and the one held before is free again.
    first->SetForceCoverChoice(true);
    EXPECT_EQ(first->ChooseCoverPoint(), behind);
    EXPECT_TRUE(chosen->free);
    EXPECT_FALSE(tie->free);
    first->FreeParapet();
    EXPECT_TRUE(behind->free);
}

TEST_F(CoverAiTest, HurtEnemiesTakeAnyCoverAndHighCoverTakesItsNearerEnd)
{
    senses.inCover = true;
    TParapet* high = senses.AddCover("p_a_n_A_B_907", -40, 900, 0, 200);
    CEnemy* enemy = One("ene_1", 0, 1000);
    enemy->SetWeapon(&gun);
    CIAEnemyCover* ai = enemy->getIA();
    ai->Update(0.0f);
    // Attacking: 940 from the hero is beyond the gun's 900.
    EXPECT_EQ(ai->ChooseCoverPoint(), nullptr);
    EXPECT_FLOAT_EQ(ai->GetCoverYaw(), 0.0f);
    EXPECT_EQ(ai->GetCoverTarget(), D3DXVECTOR3(0, 0, 0));
    ai->SetForceCoverChoice(true);
    ASSERT_EQ(ai->ChooseCoverPoint(), high);
    EXPECT_TRUE(ai->IsHighParapet());
    // Facing +Z the segment runs from -X ("pt_ini") to +X ("pt_fin"): the
    // enemy at x 0 is nearer the +X end.
    EXPECT_EQ(ai->GetCoverTarget(), high->pt_fin);
    EXPECT_FALSE(ai->IsNearEndTheStart());
    // 600 away or more is never taken.
    ai->FreeParapet();
    senses.parapets.clear();
    senses.AddCover("p_b_n_A_B_908", 0, 400, 0);
    ai->SetForceCoverChoice(true);
    EXPECT_EQ(ai->ChooseCoverPoint(), nullptr);
    // A named point is taken whatever its zone or kind, but never from
    // another enemy holding it: the cover stays as it was.
    TParapet* named = senses.AddCover("p_b_n_D_P_909", 5000, 5000, 0);
    named->free = false;
    EXPECT_FALSE(ai->TakeNamedCoverPoint("p_b_n_D_P_909"));
    EXPECT_EQ(ai->GetOccupiedParapet(), nullptr);
    EXPECT_FALSE(named->free);
    named->free = true;
    EXPECT_TRUE(ai->TakeNamedCoverPoint("p_b_n_D_P_909"));
    EXPECT_EQ(ai->GetOccupiedParapet(), named);
    EXPECT_FALSE(ai->TakeNamedCoverPoint("p_none"));
    EXPECT_EQ(ai->GetOccupiedParapet(), named);
}

TEST_F(CoverAiTest, CoverIsNeverTakenFrom600AwayNorToAttackFromNoCloser)
{
    senses.inCover = true;
    // Usable from 2000 out, but 600 away.
    senses.AddCover("p_b_n_A_B_911", 0, 1400, 0);
    CEnemy* enemy = One("ene_1", 0, 2000);
    CIAEnemyCover* ai = enemy->getIA();
    ai->Update(0.0f);
    ai->SetForceCoverChoice(true);
    EXPECT_EQ(ai->ChooseCoverPoint(), nullptr);
    TParapet* nearer = senses.AddCover("p_b_n_A_B_912", 0, 1401, 0);
    ai->SetForceCoverChoice(true);
    EXPECT_EQ(ai->ChooseCoverPoint(), nearer);
    ai->FreeParapet();

    // 570 from an enemy 650 from the hero: to attack it must gain 100 on him.
    senses.parapets.clear();
    TParapet* side = senses.AddCover("p_b_n_A_B_913", 320, 400, 0);
    enemy = One("ene_1", 0, 650);
    enemy->SetWeapon(&gun);
    ai = enemy->getIA();
    ai->Update(0.0f);
    EXPECT_EQ(ai->ChooseCoverPoint(), nullptr);
    ai->SetForceCoverChoice(true);
    EXPECT_EQ(ai->ChooseCoverPoint(), side);
}

// An enemy in cover, the hero beyond its gun and out of its sight, its time
// in cover far from over: back at its top life it leaves the cover to look
// for him all the same; a point below it, it stays put.
TEST_F(CoverAiTest, InCoverAtItsTopLifeItLeavesToSearchThoughItCannotSeeTheHero)
{
    const char* patient = R"(<TYPES><TYPE tName="soldado"><CONSTANTS topLife="100" step="3" turn="2"
        nearDist="120" lostDist="5000" maxTimeCovered="100"/></TYPE></TYPES>)";
    for (int below : {0, 1}) {
        SCOPED_TRACE(below ? "a point below its top" : "at its top");
        senses.parapets.clear();
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));
        senses.AddCover("p_b_n_A_B_920", 0, 800, 0);
        CEnemy* enemy = One("ene_1", 0, 790, 0.0f, patient);
        enemy->SetWeapon(&gun);
        CIAEnemyCover* ai = enemy->getIA();
        ai->Update(0.0f);
        ai->SetForceCoverChoice(true);
        ASSERT_NE(ai->ChooseCoverPoint(), nullptr);
        ai->EnterCover();
        // Behind it, beyond both its gun and its sight.
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, -2500));
        enemy->SetLife(static_cast<short>(enemy->GetTopLife() - below));
        for (int i = 0; i < 6; ++i)
            ai->Update(0.5f);
        EXPECT_EQ(ai->GetState(), below ? CIAEnemyCover::COVER : CIAEnemyCover::SEARCHING);
    }
}

TEST_F(CoverAiTest, RegenerationClimbsByTheTaxAndEachTopCostsNine)
{
    const char* types = R"(<TYPES><TYPE tName="soldado"><CONSTANTS topLife="100" regeneratingTax="10"
        secondsToStartRegenerating="0.5"/></TYPE><TYPE tName="flojo"><CONSTANTS topLife="100"
        secondsToStartRegenerating="0.5"/></TYPE></TYPES>)";
    CEnemy* enemy = One("ene_1", 0, 5000, 180, types);
    enemy->SetLife(50);
    std::vector<int> lives;
    for (int i = 0; i < 7; ++i) {
        enemy->getIA()->Update(1.0f);
        lives.push_back(enemy->GetLife());
    }
    EXPECT_EQ(lives, (std::vector<int>{50, 60, 70, 80, 90, 91, 91}));
    EXPECT_EQ(enemy->GetTopLife(), 91);
    enemy->getIA()->ResetRegeneration();
    enemy->SetLife(50);
    enemy->getIA()->Update(0.4f);
    EXPECT_EQ(enemy->GetLife(), 50);  // a hit makes it wait again

    EnemyEntry lazy{"ene_2", "flojo", Point(0, 0, 5000)};
    Load(ListXml("room01", WaveXml("wave_01", {lazy})), "room01", "wave_01", types);
    Enemy("ene_2")->SetLife(50);
    for (int i = 0; i < 5; ++i)
        Enemy("ene_2")->getIA()->Update(1.0f);
    EXPECT_EQ(Enemy("ene_2")->GetLife(), 50);
}

TEST_F(CoverAiTest, SightReachesViewDistWithinTheVisionAngle)
{
    const char* types = R"(<TYPES><TYPE tName="soldado"><CONSTANTS viewDist="800" visionAngle="30"
        maxTimeShootingFromCover="3"/></TYPE><TYPE tName="cero"><CONSTANTS viewDist="800"/></TYPE></TYPES>)";
    senses.inCover = true;
    for (float z : {800.0f, 801.0f}) {
        CIAEnemyCover* ai = One("ene_1", 0, z, 180, types)->getIA();
        ai->Update(0.0f);
        EXPECT_EQ(ai->CanSeePlayer(), z == 800.0f) << z;
    }
    CEnemy* enemy = One("ene_1", 0, 500, 180, types);
    enemy->getIA()->Update(0.0f);
    enemy->GetPosition().SetYaw(kPi - 0.5f);  // 29 degrees off
    EXPECT_TRUE(enemy->getIA()->CanSeePlayer());
    enemy->GetPosition().SetYaw(kPi - 0.55f);  // 31.5 degrees off
    EXPECT_FALSE(enemy->getIA()->CanSeePlayer());

    // Leaning out ends between 7 and 9 seconds with a spread of 3.
    CIAEnemyCover* ai = enemy->getIA();
    ai->StartLeanOutClock();
    crt::srand(7);
    ai->Update(6.99f);
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(ai->IsShootFromCoverTimeOver());
    ai->Update(2.02f);
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(ai->IsShootFromCoverTimeOver());
    // A spread of 0 counts as 1.
    EnemyEntry zero{"ene_2", "cero", Point(0, 0, 500)};
    Load(ListXml("room01", WaveXml("wave_01", {zero})), "room01", "wave_01", types);
    CIAEnemyCover* none = Enemy("ene_2")->getIA();
    none->StartLeanOutClock();
    none->Update(7.01f);
    EXPECT_TRUE(none->IsShootFromCoverTimeOver());
}

} // namespace
} // namespace enemytest
