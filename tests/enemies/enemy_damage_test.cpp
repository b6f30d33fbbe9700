// Enemies hurt by the hero's shots: damage by zone and weapon, reactions,
// deaths and the ways level logic takes enemies out of a wave.
#include "enemies/enemy_fixture.h"

#include <set>

#include "enemies/EnemySenses.h"
#include "gui/Achievements.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "player/Weapon.h"
#include "world/CollisionManager.h"

namespace enemytest {
namespace {

class HeroSenses : public IEnemySenses {
public:
    CLocation HeroPlacement() override { return hero; }
    bool HeroDead() override { return false; }
    bool HeroFighting() override { return false; }
    bool HeroInCover() override { return false; }
    bool HeroReadyToShoot() override { return false; }
    bool HeroJumpingCover() override { return false; }
    bool HeroWasHit() override { return false; }
    std::string HeroWeaponName() override { return weapon; }
    void StopHeroAction() override {}
    bool RayBlocked(const D3DXVECTOR3&, const D3DXVECTOR3&) override { return false; }
    std::vector<TParapet*> Parapets() override { return {}; }

    CLocation hero;
    std::string weapon = "GUN";
};

// The hero's weapon as the damage code reads it.
class HeroWeapon : public IWeapon {
public:
    HeroWeapon(const char* name, std::uint16_t damage)
    {
        m_Name = name;
        m_Damage = damage;
    }
};

class EnemyDamage : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        SetEnemySenses(&senses);
        getPlayer()->SetCurrentWeapon(&gun);
    }
    void TearDown() override
    {
        getPlayer()->SetCurrentWeapon(nullptr);
        SetEnemySenses(nullptr);
        EnemyTest::TearDown();
    }
    // Enemies of wave_01 standing at 300, 600, ... along +X, facing -Z.
    void Wave(const std::vector<std::string>& names, const std::string& wave = "wave_01")
    {
        std::vector<EnemyEntry> row = Row(names);
        for (EnemyEntry& e : row)
            e.points = Point(300.0f * static_cast<float>(&e - row.data() + 1), 0, 0, 180.0f);
        Load(ListXml("room01", WaveXml(wave, row)), "room01", wave);
        // The list starts every enemy facing +Z: these face the hero at the
        // origin.
        for (const EnemyEntry& e : row)
            if (CEnemy* enemy = Enemy(e.name)) {
                enemy->GetPosition().SetYaw(kPi);
                enemy->PlaceEntity();
            }
    }
    void Shoot(const std::string& name, float factor, const std::string& zone, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            Manager().ApplyPlayerShot(name, factor, zone, D3DXVECTOR3(0, 0, 0));
    }

    HeroSenses senses;
    HeroWeapon gun{"GUN", 15};
};

TEST(PlayerShotHit, WeaponDamageByZoneFactorAndTheShotgunsDistanceBands)
{
    struct Case {
        const char* weapon;
        float factor, distance;
        int hit;
    } cases[] = {
        {"SHOTGUN", 1.0f, 50, 10000}, {"SHOTGUN", 1.0f, 99, 10000}, {"SHOTGUN", 1.0f, 200, 15},
        {"SHOTGUN", 1.0f, 300, 4},    {"SHOTGUN", 1.0f, 400, 4},    {"SHOTGUN", 1.0f, 500, 0},
        {"SHOTGUN", 1.0f, 600, 0},    {"SHOTGUN", 100.0f, 10, 65535}, {"GUN", 1.0f, 10, 15},
        {"GUN", 0.3f, 900, 4},        {"GUN", 100.0f, 10, 1500},    {"THOMPSON", 1.0f, 10, 15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlayerShotHit(c.weapon, 15.0f, c.factor, c.distance), c.hit) << c.weapon << " " << c.distance;
}

TEST(PlayerShotZone, EnemyPartsByZoneAndNoneForTheHerosOwn)
{
    const std::pair<const char*, const char*> cases[] = {
        {"EBip01 R Forearm", "ra"}, {"EBip01 R Hand", "ra"}, {"EBip01 L UpperArm", "la"}, {"EBip01 L Hand", "la"},
        {"EBip01 R Calf", "rl"},    {"basic", "rl"},         {"EBip01 L Foot", "ll"},     {"EBip01 L Thigh", "ll"},
        {"EBip01 Pelvis", "bo"},    {"EBip01 Spine1", "bo"}, {"EBip01 Head", "h"},
    };
    for (const auto& c : cases) {
        ASSERT_NE(PlayerShotZone(c.first), nullptr) << c.first;
        EXPECT_STREQ(PlayerShotZone(c.first), c.second) << c.first;
    }
    for (const char* none : {"Bip01 Head", "Bip01 Pelvis", "EBip01 Neck", ""})
        EXPECT_EQ(PlayerShotZone(none), nullptr) << none;
}

TEST_F(EnemyDamage, SevenBodyShotsOrOneHeadShotKillAndTheDeadDieOnce)
{
    Wave({"ene_1", "ene_2"});
    CEnemy* one = Enemy("ene_1");
    Shoot("ene_1", 1.0f, "bo", 6);
    EXPECT_EQ(one->GetLife(), 10);
    EXPECT_FALSE(one->getIA()->IsDying());
    Shoot("ene_1", 1.0f, "bo");
    EXPECT_EQ(one->GetLife(), 0);
    EXPECT_EQ(one->getIA()->GetState(), CIAEnemyCover::DEAD);
    EXPECT_TRUE(one->getIA()->IsDying());
    const std::int32_t before = one->getIA()->GetSecondState();
    EXPECT_NE(before, CIAEnemyCover::DEAD);
    const std::string fall = one->getIA()->GetDeathAnimation();
    EXPECT_FALSE(fall.empty());
    // The next pellet finds him dead: no second death.
    Shoot("ene_1", 100.0f, "h");
    EXPECT_EQ(one->getIA()->GetSecondState(), before);
    EXPECT_EQ(one->getIA()->GetDeathAnimation(), fall);

    Shoot("ene_2", 100.0f, "h");
    EXPECT_EQ(Enemy("ene_2")->getIA()->GetState(), CIAEnemyCover::DEAD);
    const std::string head = Enemy("ene_2")->getIA()->GetDeathAnimation();
    EXPECT_TRUE(head == "headdead" || head == "vuelta") << head;
    // Names not in the wave are nobody.
    Shoot("ene_9", 100.0f, "h");
}

TEST_F(EnemyDamage, ASixthEnemyOfTheWaveCanBeHurtToo)
{
    Wave({"ene_1", "ene_2", "ene_3", "ene_4", "ene_5", "ene_6"});
    Manager().Update(0.01f);
    ASSERT_EQ(TrackedNames().size(), 5u);
    Shoot("ene_6", 1.0f, "bo");
    EXPECT_EQ(Enemy("ene_6")->GetLife(), 85);
}

TEST_F(EnemyDamage, ShotgunFromAfarDoesNothing)
{
    HeroWeapon shotgun("SHOTGUN", 15);
    getPlayer()->SetCurrentWeapon(&shotgun);
    Wave({"ene_1", "ene_2"});  // 300 and 600 away
    Shoot("ene_1", 1.0f, "bo");
    Shoot("ene_2", 100.0f, "h");
    EXPECT_EQ(Enemy("ene_1")->GetLife(), 96);
    EXPECT_EQ(Enemy("ene_2")->GetLife(), 100);
    getPlayer()->SetCurrentWeapon(&gun);
}

TEST_F(EnemyDamage, ADockerKeepsTenLifeAndLosesHisMarker)
{
    Wave({"ene_Dockers1"});
    CEnemy* docker = Enemy("ene_Dockers1");
    docker->getIA()->OnHit(500, "h", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(docker->GetLife(), 10);
    EXPECT_FALSE(docker->HasWarningMarker());
    EXPECT_TRUE(docker->getIA()->IsDockerHit());
    EXPECT_FALSE(docker->getIA()->IsDying());
}

TEST_F(EnemyDamage, ReactionsByZoneNotRepeatedForTheSameZoneAndNoneInCover)
{
    Wave({"ene_1", "ene_2"});
    CIAEnemyCover* ai = Enemy("ene_1")->getIA();
    ai->OnHit(1, "la", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(ai->GetReaction(), "armleft");
    EXPECT_TRUE(ai->IsHolding());
    EXPECT_GT(ai->GetHoldTimer(), 0.0f);
    EXPECT_EQ(Enemy("ene_1")->GetEntity()->GetActionCount(), 1);
    EXPECT_EQ(ai->GetLastHitZone(), "la");
    const float armLeft = ai->GetHoldTimer();
    // The same arm again during the reaction: it plays on, untouched.
    Enemy("ene_1")->GetEntity()->Update(0.1f);
    ai->OnHit(1, "la", D3DXVECTOR3(0, 0, 0));
    EXPECT_FLOAT_EQ(ai->GetHoldTimer(), armLeft);
    EXPECT_EQ(Enemy("ene_1")->GetEntity()->GetActionCount(), 1);
    // The other arm at once.
    ai->OnHit(1, "ra", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(ai->GetReaction(), "armright");
    EXPECT_EQ(ai->GetLastHitZone(), "ra");
    EXPECT_EQ(Enemy("ene_1")->GetEntity()->GetActionCount(), 1);
    EXPECT_EQ(Enemy("ene_1")->GetLife(), 97);

    CIAEnemyCover* covered = Enemy("ene_2")->getIA();
    covered->SetInCover(true);
    covered->OnHit(1, "la", D3DXVECTOR3(0, 0, 0));
    EXPECT_FALSE(covered->IsHolding());
    EXPECT_EQ(covered->GetLastHitZone(), "");
    EXPECT_EQ(Enemy("ene_2")->GetEntity()->GetActionCount(), 0);
    EXPECT_TRUE(covered->WasHitThisFrame());
    Enemy("ene_2")->Update(0.03f);
    EXPECT_FALSE(covered->WasHitThisFrame()) << "the hit was news for one update";
}

TEST_F(EnemyDamage, ABodyHitFromBehindPlaysTheBackReactionAcrossTheHalfTurn)
{
    // The enemy faces yaw pi (-Z); a hero facing the same way is behind him.
    const std::pair<float, const char*> cases[] = {
        {-3.0f, "torax2"}, {3.0f, "torax2"}, {2.0f, "torax2"}, {0.0f, "torax1"}, {1.0f, "torax1"}, {-1.0f, "torax1"}};
    for (const auto& c : cases) {
        Wave({"ene_1"});
        CEnemy* enemy = Enemy("ene_1");
        enemy->GetPosition().SetYaw(3.1f);
        senses.hero.SetYaw(c.first);
        enemy->getIA()->OnHit(1, "bo", D3DXVECTOR3(0, 0, 0));
        EXPECT_EQ(enemy->getIA()->GetReaction(), c.second) << c.first;
    }
}

TEST_F(EnemyDamage, BulletsCountFiveForTheThompsonAndTheHitStopsRegeneration)
{
    Wave({"ene_1"});
    CIAEnemyCover* ai = Enemy("ene_1")->getIA();
    ai->OnHit(1, "h", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(ai->GetRollCounter(), 1u);
    senses.weapon = "THOMPSON";
    ai->OnHit(1, "h", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(ai->GetRollCounter(), 6u);
    ai->SetFightingPartner(true);
    ai->OnHit(1, "h", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(ai->GetRollCounter(), 7u);
}

TEST_F(EnemyDamage, AHitOfExactly300KillsWithoutAFallAndLeavesTheWeapon)
{
    Wave({"ene_1", "ene_2"});
    CIAEnemyCover* ai = Enemy("ene_1")->getIA();
    ai->OnHit(300, "bo", D3DXVECTOR3(0, 0, 0));
    EXPECT_TRUE(ai->IsDying());
    EXPECT_TRUE(ai->IsDestroyed());
    EXPECT_EQ(ai->GetDeathAnimation(), "");
    EXPECT_EQ(Enemy("ene_1")->GetEntity()->GetActionCount(), 0);

    CIAEnemyCover* other = Enemy("ene_2")->getIA();
    other->OnHit(299, "bo", D3DXVECTOR3(0, 0, 0));
    EXPECT_FALSE(other->IsDestroyed());
    EXPECT_NE(other->GetDeathAnimation(), "");
}

TEST_F(EnemyDamage, DeathFallsFollowTheZoneTheSideAndTheRuntimeRand)
{
    // The enemy at (300, 0, 0) faces -Z; hits from -Z are in front.
    const D3DXVECTOR3 front(300, 0, -500), behind(300, 0, 500);
    struct Case {
        const char* weapon;
        const char* zone;
        D3DXVECTOR3 from;
        bool covered;
        unsigned seed;
        const char* expected;
    } cases[] = {
        {"GUN", "h", front, false, 1, nullptr},       {"GUN", "bo", behind, false, 1, "vuelta"},
        {"SHOTGUN", "bo", behind, false, 3, nullptr}, {"GUN", "bo", front, true, 1, "death_jump"},
        {"GUN", "ba", front, true, 1, "vuelta"},      {"GUN", "bo", front, false, 5, nullptr},
        {"SHOTGUN", "la", front, false, 7, nullptr},
    };
    for (const Case& c : cases) {
        Wave({"ene_1"});
        senses.weapon = c.weapon;
        CIAEnemyCover* ai = Enemy("ene_1")->getIA();
        ai->SetInCover(c.covered);
        crt::srand(c.seed);
        const int r = crt::rand();
        crt::srand(c.seed);
        ai->OnHit(200, c.zone, c.from);
        std::string expected = c.expected ? c.expected : "";
        if (!c.expected) {
            if (std::string(c.zone) == "h")
                expected = r % 10 < 5 ? "headdead" : "vuelta";
            else if (std::string(c.weapon) == "SHOTGUN")
                expected = r % 10 < 5 ? "death_jump" : "death_grave";
            else
                expected = r % 15 < 5 ? "death_knees" : r % 15 < 10 ? "death_jump" : "death_grave";
        }
        EXPECT_EQ(ai->GetDeathAnimation(), expected) << c.zone << " " << c.weapon << " seed " << c.seed;
    }
    senses.weapon = "GUN";
}

TEST_F(EnemyDamage, EveryFallOfTheTableComesUpOverSeeds)
{
    std::set<std::string> falls;
    for (unsigned seed = 1; seed < 40; ++seed) {
        Wave({"ene_1"});
        crt::srand(seed);
        Enemy("ene_1")->getIA()->OnHit(200, "bo", D3DXVECTOR3(300, 0, -500));
        falls.insert(Enemy("ene_1")->getIA()->GetDeathCycle());
    }
    EXPECT_EQ(falls, (std::set<std::string>{"death_knees_idle", "death_jump_idle", "death_graveIdle00"}));
}

TEST(DroppedWeapon, NamedByWeaponAndEnemyWithTwoClipsOfRounds)
{
    struct Case {
        const char* weapon;
        std::uint16_t clip;
        const char* name;
        int ammo;
    } cases[] = {{"GUN", 0, "obj_gun_ene_7", 4},       {"GUN", 1, "obj_gun_ene_7", 4},
                 {"SHOTGUN", 2, "obj_shotgun_ene_7", 4}, {"THOMPSON", 25, "obj_thompson_ene_7", 50},
                 {"KNIFE", 3, "obj__ene_7", 6}};
    for (const Case& c : cases) {
        const DroppedWeapon d = DroppedWeaponFor(c.weapon, "ene_7", c.clip);
        EXPECT_EQ(d.name, c.name);
        EXPECT_EQ(d.ammo, c.ammo) << c.weapon << " " << c.clip;
    }
}

TEST_F(EnemyDamage, RemovalsTakeOnlyTheirOwnEnemies)
{
    Wave({"ene_50", "ene_51", "ene_52", "ene_53"});
    Manager().DestroyEnemies51To53();
    EXPECT_FALSE(Enemy("ene_50")->getIA()->IsDestroyed());
    for (const char* name : {"ene_51", "ene_52", "ene_53"}) {
        EXPECT_TRUE(Enemy(name)->getIA()->IsDestroyed()) << name;
        EXPECT_FALSE(Enemy(name)->GetEntity()->IsVisible()) << name;
    }
    Manager().killThisWave("wave_05");
    EXPECT_FALSE(Enemy("ene_50")->getIA()->IsDestroyed());
    Manager().killThisWave("wave_01");
    EXPECT_TRUE(Enemy("ene_50")->getIA()->IsDestroyed());
}

TEST_F(EnemyDamage, OnlyDockersLeftGoOneDoneDockerACall)
{
    Wave({"ene_1", "ene_Dockers1", "ene_Dockers2"});
    auto finish = [this](const char* name) {
        CIAEnemyCover* ai = Enemy(name)->getIA();
        ai->OnHit(1, "bo", D3DXVECTOR3(0, 0, 0));
        ai->SetInCover(true);
        ai->Hold(0.01f, false);
        ai->Update(0.1f);
        ASSERT_TRUE(ai->IsDockerDone()) << name;
    };
    finish("ene_Dockers1");
    finish("ene_Dockers2");
    EXPECT_FALSE(Manager().onlyDockersAliveAndKilled());
    Enemy("ene_1")->getIA()->destroyThisGuy();
    EXPECT_TRUE(Manager().onlyDockersAliveAndKilled());
    // The last done docker in name order goes first.
    EXPECT_TRUE(Enemy("ene_Dockers2")->getIA()->IsDestroyed());
    EXPECT_FALSE(Enemy("ene_Dockers1")->getIA()->IsDestroyed());
    EXPECT_TRUE(Manager().onlyDockersAliveAndKilled());
    EXPECT_FALSE(Manager().onlyDockersAliveAndKilled());
}

TEST_F(EnemyDamage, TheScaffoldThrowsTheStandingNonDockersOfWave34)
{
    Wave({"ene_42", "ene_45", "ene_46", "ene_Dockers1"}, "wave_34");
    Enemy("ene_46")->getIA()->Die(false);
    Manager().OnScaffoldExplosion();
    EXPECT_FLOAT_EQ(Enemy("ene_42")->GetPosition().GetYaw(), 1.237f);
    EXPECT_FLOAT_EQ(Enemy("ene_45")->GetPosition().GetYaw(), -2.437f);
    EXPECT_TRUE(Enemy("ene_42")->getIA()->DiesWithoutAnimation());
    EXPECT_FALSE(Enemy("ene_46")->getIA()->DiesWithoutAnimation());
    EXPECT_FALSE(Enemy("ene_Dockers1")->getIA()->DiesWithoutAnimation());
    // A thrown enemy caught by a blast counts for the achievement.
    const std::uint16_t blasts = getAchievementStats().blastHits;
    Enemy("ene_42")->getIA()->OnHit(50, "ba", D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(getAchievementStats().blastHits, blasts + 1);
    EXPECT_EQ(Enemy("ene_42")->GetLife(), 100);

    Wave({"ene_60"}, "wave_33");
    Manager().OnScaffoldExplosion();
    EXPECT_FALSE(Enemy("ene_60")->getIA()->DiesWithoutAnimation());
}

} // namespace
} // namespace enemytest
