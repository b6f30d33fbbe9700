// Enemies that fight the hero: attacks in the open, the run to cover, cover,
// leaning out, reloading, rolling, dodging and leaving cover.
#include "enemies/fake_senses.h"

#include <cal3d/cal3d.h>

#include <cmath>

#include "math/VectorMath.h"
#include "platform/crt.h"

namespace enemytest {
namespace {

// The draws on "willOfStandingShoot", "willOfShootFromCover" and
// "maxTimeShootingFromCover" are left at 0 in some types: 0 counts as 1.
const char kFightTypes[] = R"(<TYPES>
  <TYPE tName="soldado"><CONSTANTS topLife="100" step="3" turn="2" nearDist="60" viewDist="2000"
    lostDist="5000" visionAngle="60" alarmDist="0" minDistanceToPlayerWhenChasing="100" willOfStandingShoot="1"
    maxTimeCovered="100" bulletsToRollIfPlayerWithOstrel="1" canCover="1" canMove="1"/></TYPE>
  <TYPE tName="tirador"><CONSTANTS topLife="100" step="3" nearDist="60" viewDist="2000" lostDist="5000"
    visionAngle="60" willOfStandingShoot="1" bulletsToRollIfPlayerWithOstrel="1000" canCover="0" canMove="1"/></TYPE>
  <TYPE tName="torreta"><CONSTANTS topLife="100" step="3" nearDist="60" viewDist="2000" lostDist="5000"
    visionAngle="60" canCover="0" canMove="0"/></TYPE>
</TYPES>)";

constexpr float kFrame = 1.0f / 30.0f;

// The one-shot animations the model plays now, by name.
std::vector<std::string> Actions(CCharacterEntity* entity)
{
    std::vector<std::string> names;
    const TCoreModelInfo* info = entity->GetCoreModelInfo();
    for (CalAnimationAction* action : entity->GetCalModel()->getMixer()->getAnimationActionList())
        for (const auto& entry : info->animations)
            if (info->coreModel->getCoreAnimation(entry.second) == action->getCoreAnimation())
                names.push_back(entry.first);
    return names;
}

bool Plays(CCharacterEntity* entity, const std::string& name)
{
    const std::vector<std::string> names = Actions(entity);
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The cycles blended in, those fading out included.
std::vector<std::string> Cycles(CCharacterEntity* entity)
{
    std::vector<std::string> names;
    const TCoreModelInfo* info = entity->GetCoreModelInfo();
    for (CalAnimationCycle* cycle : entity->GetCalModel()->getMixer()->getAnimationCycle())
        for (const auto& entry : info->animations)
            if (info->coreModel->getCoreAnimation(entry.second) == cycle->getCoreAnimation())
                names.push_back(entry.first);
    return names;
}

class FightStatesTest : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        crt::srand(25);
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));
        senses.hero.SetYaw(kPi);  // looking away from every enemy below
        SetEnemySenses(&senses);
    }
    void TearDown() override
    {
        for (const auto& entry : Manager().GetCurrentWaveEnemies())
            entry.second->getIA()->FreeParapet();
        SetEnemySenses(nullptr);
        EnemyTest::TearDown();
    }
    void Wave(const std::vector<EnemyEntry>& enemies, const std::string& wave = "wave_02")
    {
        Load(ListXml("room01", WaveXml(wave, enemies)), "room01", wave, kFightTypes);
    }
    // "name" at (x, 0, z), facing the hero at the origin unless told.
    CEnemy* One(const std::string& name, float x, float z, const std::string& type = "soldado")
    {
        const float yaw = std::atan2(-x, -z) * 180.0f / kPi;
        Wave({EnemyEntry{name, type, Point(x, 0, z, yaw)}});
        return Enemy(name);
    }
    static void MoveTo(CEnemy* enemy, float x, float z) { enemy->GetPosition().SetPosition(D3DXVECTOR3(x, 0, z)); }
    // Frames of the enemy's whole update (its weapon's clock included).
    static void Run(CEnemy* enemy, float seconds, float step = kFrame)
    {
        for (float t = 0.0f; t < seconds - 1e-4f; t += step)
            enemy->Update(step);
    }
    // Frames until the state is the one given, at most the seconds given.
    static bool RunUntil(CEnemy* enemy, std::uint16_t state, float seconds)
    {
        for (float t = 0.0f; t < seconds; t += kFrame) {
            enemy->Update(kFrame);
            if (enemy->getIA()->GetState() == state)
                return true;
        }
        return false;
    }

    FakeSenses senses;
};

TEST_F(FightStatesTest, AnAttackOfFourFiresFiveShotsAndEachFirstShotWaitsFrom0_3To0_79)
{
    for (unsigned seed : {1u, 7u, 25u}) {
        crt::srand(seed);
        CEnemy* enemy = One("ene_1", 0, 600, "torreta");
        CIAEnemyCover* ai = enemy->getIA();
        IWeapon* gun = enemy->GetWeapon();
        ASSERT_EQ(ai->GetShotsPerAttack(), 4);
        const TCoreModelInfo* info = enemy->GetEntity()->GetCoreModelInfo();
        const float fireLength = info->coreModel->getCoreAnimation(info->animations.at("aiming_fire"))->getDuration();
        ASSERT_GT(fireLength, 0.1f);
        ai->EnterShooting();
        int shots = 0, firstShots = 0, attacks = 0;
        std::uint16_t counter = 0;
        float waited = 0.0f;
        for (int frame = 0; frame < 30 * 20; ++frame) {
            const std::uint16_t clip = gun->GetCurrentClip();
            const float timer = ai->GetShotTimer();
            enemy->Update(kFrame);
            if (gun->GetCurrentClip() + 1 == clip) {
                ++shots;
                // The pistol's shot holds the enemy for the length of its animation.
                EXPECT_NEAR(ai->GetHoldTimer(), fireLength, 1e-4f);
                if (ai->GetShotCounter() == 1) {
                    // The wait grew a frame at a time up to a fresh draw each frame.
                    ++firstShots;
                    EXPECT_GE(timer + 1e-4f, 0.3f) << seed;
                    EXPECT_LT(timer, 0.79f + kFrame + 1e-4f) << seed;
                    waited = std::max(waited, timer);
                }
            }
            if (counter > 0 && ai->GetShotCounter() == 0) {
                if (ai->GetState() == CIAEnemyCover::SHOOTING)
                    EXPECT_EQ(shots, 5) << seed;  // a whole attack ran
                ++attacks;
                shots = 0;
            }
            counter = ai->GetShotCounter();
            ASSERT_LE(counter, 5) << seed;
        }
        EXPECT_GE(attacks, 3) << seed;
        EXPECT_GE(firstShots, 3) << seed;
        // A draw above 0.5 came up at some point: the wait is not one number.
        EXPECT_GT(waited, 0.45f) << seed;
    }
    // The Thompson fires on through a short hold.
    Wave({EnemyEntry{"ene_1", "torreta", Point(0, 0, 600, 180), "thompson"}});
    CEnemy* gunner = Enemy("ene_1");
    gunner->getIA()->EnterShooting();
    const std::uint16_t full = gunner->GetWeapon()->GetCurrentClip();
    for (int frame = 0; frame < 60 && gunner->GetWeapon()->GetCurrentClip() == full; ++frame)
        gunner->Update(kFrame);
    ASSERT_LT(gunner->GetWeapon()->GetCurrentClip(), full);
    EXPECT_FLOAT_EQ(gunner->getIA()->GetHoldTimer(), 0.1f);
    EXPECT_EQ(gunner->getIA()->GetShotsPerAttack(), 25);
}

TEST_F(FightStatesTest, ShootingRunsForCoverOnlyStrictlyBeyond250)
{
    for (float z : {250.0f, 250.5f}) {
        senses.parapets.clear();
        TParapet* cover = senses.AddCover("p_b_n_A_B_900", 0, z + 50.0f, 0);
        CEnemy* enemy = One("ene_1", 0, z);
        CIAEnemyCover* ai = enemy->getIA();
        ai->EnterShooting();
        ai->Update(kFrame);
        const bool runs = z > 250.0f;
        EXPECT_EQ(ai->GetState(), runs ? CIAEnemyCover::MOVE_TO_COVER : CIAEnemyCover::SHOOTING) << z;
        EXPECT_EQ(ai->GetOccupiedParapet() == cover, runs) << z;
        EXPECT_EQ(cover->free, !runs) << z;
    }
}

TEST_F(FightStatesTest, ADodgeNeverFollowsAnotherWithinSixSeconds)
{
    senses.hero.SetYaw(0.0f);  // aiming straight at the enemy
    CEnemy* enemy = One("ene_1", 0, 600, "tirador");
    CIAEnemyCover* ai = enemy->getIA();
    ai->EnterShooting();
    std::vector<float> dodges;
    float clock = 0.0f, before = ai->GetStateTimer();
    for (int frame = 0; frame < 30 * 20; ++frame) {
        enemy->Update(kFrame);
        clock += kFrame;
        if (ai->GetStateTimer() > before + 1.0f) {
            EXPECT_FLOAT_EQ(ai->GetStateTimer(), 6.0f);
            dodges.push_back(clock);
        }
        before = ai->GetStateTimer();
    }
    ASSERT_GE(dodges.size(), 2u);
    for (size_t i = 1; i < dodges.size(); ++i)
        EXPECT_GE(dodges[i] - dodges[i - 1], 6.0f - kFrame) << i;
    // Without the hero's aim there is nothing to dodge.
    senses.hero.SetYaw(kPi);
    enemy = One("ene_1", 0, 600, "tirador");
    enemy->getIA()->EnterShooting();
    Run(enemy, 5.0f);
    EXPECT_LE(enemy->getIA()->GetStateTimer(), 0.0f);
}

TEST_F(FightStatesTest, TheRunToCoverGivesWayToShootingAfter2_5SecondsInRange)
{
    for (float z : {700.0f, 900.0f}) {  // the gun reaches 800
        senses.parapets.clear();
        senses.AddCover("p_b_n_A_B_900", 0, 1000, 0);
        CEnemy* enemy = One("ene_1", 0, z);
        CIAEnemyCover* ai = enemy->getIA();
        ai->SetState("MOVE_TO_COVER_STATE");
        for (int i = 0; i < 5; ++i)
            ai->Update(0.5f);
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::MOVE_TO_COVER) << z;
        EXPECT_TRUE(ai->IsMoving()) << z;
        EXPECT_EQ(ai->GetDestination(), D3DXVECTOR3(0, 0, 1000)) << z;
        ai->Update(0.5f);
        const bool inRange = z < 800.0f;
        EXPECT_EQ(ai->GetState(), inRange ? CIAEnemyCover::SHOOTING : CIAEnemyCover::MOVE_TO_COVER) << z;
        // Shooting in the open lets the cover go.
        EXPECT_EQ(senses.parapets[0]->free, inRange) << z;
    }
}

TEST_F(FightStatesTest, ARunnerRollsOnlyWhenItsCoverIsMoreThan100Away)
{
    senses.hero.SetYaw(0.0f);
    senses.readyToShoot = true;
    for (float z : {700.0f, 699.0f}) {
        senses.parapets.clear();
        senses.AddCover("p_b_n_A_B_900", 0, 800, 0);
        CEnemy* enemy = One("ene_1", 0, z);
        CIAEnemyCover* ai = enemy->getIA();
        ai->SetState("MOVE_TO_COVER_STATE");
        const float yaw = enemy->GetPosition().GetYaw();
        ai->Update(kFrame);
        const bool rolls = z < 700.0f;
        EXPECT_EQ(ai->GetState(), rolls ? CIAEnemyCover::ROLL : CIAEnemyCover::MOVE_TO_COVER) << z;
        EXPECT_EQ(Plays(enemy->GetEntity(), "roll"), rolls) << z;
        if (!rolls)
            continue;
        // The cover it ran to is still held: it runs on after the roll.
        EXPECT_EQ(ai->GetOccupiedParapet(), senses.parapets[0].get());
        senses.readyToShoot = false;
        Run(enemy, 1.6f);
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::MOVE_TO_COVER);
        // Each roll turns it aside by less than a quarter turn, either way.
        float widest = 0.0f;
        bool left = false, right = false;
        for (int i = 0; i < 40; ++i) {
            const float before = enemy->GetPosition().GetYaw();
            ai->EnterRoll();
            const float turn = WrapAngle(enemy->GetPosition().GetYaw() - before);
            EXPECT_LE(std::fabs(turn), 1.5600001f);
            widest = std::max(widest, std::fabs(turn));
            left |= turn < 0.0f;
            right |= turn > 0.0f;
        }
        EXPECT_GT(widest, 1.2f);
        EXPECT_TRUE(left && right);
        (void)yaw;
    }
}

TEST_F(FightStatesTest, CoverIsTakenWithin10FacingAlongTheParapetThenTheCoverYaw)
{
    for (float z : {789.5f, 790.0f}) {
        senses.parapets.clear();
        TParapet* cover = senses.AddCover("p_b_n_A_B_900", 0, 800, 0);
        CEnemy* enemy = One("ene_1", 0, z);
        CIAEnemyCover* ai = enemy->getIA();
        ai->SetState("MOVE_TO_COVER_STATE");
        ai->Update(kFrame);
        const bool arrived = z >= 790.0f;
        ASSERT_EQ(ai->GetState(), arrived ? CIAEnemyCover::COVER : CIAEnemyCover::MOVE_TO_COVER) << z;
        if (!arrived)
            continue;
        EXPECT_FLOAT_EQ(enemy->GetPosition().GetYaw(), YawFromDirection(cover->pt_fin - cover->pt_ini));
        EXPECT_TRUE(ai->IsInCover());
        EXPECT_TRUE(Plays(enemy->GetEntity(), "pBajo_ostrel_enter"));
        EXPECT_TRUE(ai->IsHolding());
        EXPECT_FLOAT_EQ(ai->GetHoldTimer(), 0.8f);
        // Once down it heads across the cover, toward the hero out of reach
        // of the gun beyond it: its face looks the other way, +Z.
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, -2000));
        Run(enemy, 1.0f);
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::COVER);
        EXPECT_FLOAT_EQ(enemy->GetPosition().GetYaw(), ai->GetCoverYaw());
        EXPECT_NEAR(std::fabs(WrapAngle(ai->GetCoverYaw())), kPi, 1e-3f);
    }
}

TEST_F(FightStatesTest, AHighWallIsHeldAtItsEndAndANamedOneForGood)
{
    for (float off : {10.0f, 30.0f}) {
        senses.parapets.clear();
        // Facing +Z its "pt_ini" end lies at -X.
        TParapet* wall = senses.AddCover("p_a_n_A_B_901", 0, 800, 0, 200);
        CEnemy* enemy = One("ene_1", off - 100, 799.9f);
        CIAEnemyCover* ai = enemy->getIA();
        ai->Update(0.0f);
        ASSERT_TRUE(ai->TakeNamedCoverPoint("p_a_n_A_B_901"));
        EXPECT_EQ(ai->GetCoverTarget(), wall->pt_ini);
        ai->EnterCover();
        EXPECT_FALSE(ai->CanMove());
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, -2000));
        Run(enemy, 1.0f);
        const D3DXVECTOR3 at = enemy->GetPosition().GetPosition();
        if (off > 10.0f)
            EXPECT_EQ(at, wall->pt_ini) << off;
        else
            EXPECT_EQ(at, D3DXVECTOR3(-90, 0, 799.9f)) << off;
    }
}

TEST_F(FightStatesTest, LeaningOutAndBackIsNamedByTheWallAndItsNearEnd)
{
    struct Case {
        const char* parapet;
        float x;  // of the enemy, the wall from -100 ("pt_ini") to +100
        const char* out;
        const char* back;
    };
    const Case cases[] = {
        {"p_a_n_A_B_901", -90, "palto_ostrel_asomaridaR", "palto_ostrel_asomarvueltaR"},
        {"p_a_n_A_B_901", 90, "palto_ostrel_asomaridaL", "palto_ostrel_asomarvueltaL"},
        {"p_b_n_A_B_902", 90, "pBajo_ostrel_asomarida", "pBajo_ostrel_asomarvuelta"},
    };
    for (const Case& c : cases) {
        senses.parapets.clear();
        senses.AddCover(c.parapet, 0, 800, 0, 200);
        CEnemy* enemy = One("ene_1", c.x, 790);
        CIAEnemyCover* ai = enemy->getIA();
        ai->Update(0.0f);
        ASSERT_TRUE(ai->TakeNamedCoverPoint(c.parapet));
        ai->EnterCover();
        ai->EnterShootingFromCover();
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::SHOOTING_FROM_COVER);
        EXPECT_TRUE(Plays(enemy->GetEntity(), c.out)) << c.parapet << " " << c.x;
        EXPECT_FLOAT_EQ(ai->GetHoldTimer(), 0.4f);
        // Out of reach (the lean-out adds 30 to the gun's 800) it goes back.
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, -100));
        EXPECT_TRUE(RunUntil(enemy, CIAEnemyCover::COVER, 0.5f)) << c.parapet;
        EXPECT_TRUE(Plays(enemy->GetEntity(), c.back)) << c.parapet << " " << c.x;
        EXPECT_FLOAT_EQ(ai->GetHoldTimer(), 1.0f);
        senses.hero.SetPosition(D3DXVECTOR3(0, 0, 0));
    }
}

TEST_F(FightStatesTest, TheAnimationNamesFollowTheWeaponColumns)
{
    struct Case {
        EnemyAnim use;
        const char* weapon;
        const char* name;
    };
    const EnemyCoverPose low{false, false}, highStart{true, true};
    const Case cases[] = {
        {EnemyAnim::Aim, "GUN", "aiming"},
        {EnemyAnim::Aim, "SHOTGUN", "aiming_shotgun"},
        {EnemyAnim::Aim, "BAZOOKA", "aiming_thompson"},  // unknown: the Thompson's aim and shot
        {EnemyAnim::Shot, "BAZOOKA", "fire_thompson"},
        {EnemyAnim::Shot, "GUN", "aiming_fire"},
        {EnemyAnim::Roll, "BAZOOKA", "roll"},  // and the pistol's everything else
        {EnemyAnim::StepLeft, "THOMPSON", "pasoizquierdo_thompson"},
        {EnemyAnim::StepRight, "GUN", "pasolateral_derecho"},
        {EnemyAnim::JumpBox, "SHOTGUN", "jumpescopetbox"},
        {EnemyAnim::JumpOther, "THOMPSON", "jumpthompsonman"},
        {EnemyAnim::ReloadStanding, "SHOTGUN", "reload_escopeta"},
        {EnemyAnim::WalkTrack, "SHOTGUN", "andar"},
        {EnemyAnim::Stand, "THOMPSON", "idle_thompson"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EnemyAnimName(c.use, c.weapon, low), c.name) << c.weapon;
    EXPECT_EQ(EnemyAnimName(EnemyAnim::CoverReload, "SHOTGUN", highStart), "palto_escopeta_reload");
    EXPECT_EQ(EnemyAnimName(EnemyAnim::CoverExit, "THOMPSON", low), "pBajo_thompson_exit");
    EXPECT_EQ(EnemyAnimName(EnemyAnim::LeanBack, "GUN", highStart), "palto_ostrel_asomarvueltaR");
}

TEST_F(FightStatesTest, AReloadTakes2SecondsInTheOpenAnd2_5InCoverThenGoesBackByCodeAlone)
{
    // In the open.
    CEnemy* enemy = One("ene_1", 0, 600, "torreta");
    CIAEnemyCover* ai = enemy->getIA();
    IWeapon* gun = enemy->GetWeapon();
    gun->SetClipAndAmmo(0, 100);
    ai->SetState("RELOAD_STATE");
    ai->Update(0.5f);
    EXPECT_TRUE(ai->IsReloading());
    EXPECT_FLOAT_EQ(ai->GetReloadDuration(), 2.0f);
    EXPECT_EQ(gun->GetCurrentClip(), gun->GetClipSize());
    EXPECT_TRUE(Plays(enemy->GetEntity(), "reload_ostrel"));
    for (int i = 0; i < 4; ++i)
        ai->Update(0.5f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::RELOAD);
    ai->Update(0.5f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::SHOOTING);
    EXPECT_FALSE(ai->IsReloading());
    // No entry ran: the stand cycle of the reload is what it still plays.
    const std::vector<std::string> cycles = Cycles(enemy->GetEntity());
    EXPECT_EQ(std::find(cycles.begin(), cycles.end(), "aiming"), cycles.end());

    // In cover: an empty clip there sends it to reload behind the parapet.
    senses.parapets.clear();
    senses.AddCover("p_b_n_A_B_900", 0, 800, 0);
    enemy = One("ene_1", 0, 790);
    ai = enemy->getIA();
    ai->Update(0.0f);
    ASSERT_TRUE(ai->TakeNamedCoverPoint("p_b_n_A_B_900"));
    ai->EnterCover();
    enemy->GetWeapon()->SetClipAndAmmo(0, 100);
    Run(enemy, 1.0f, 0.5f);  // the enter's hold, then the cover sees the empty clip
    ai->Update(0.5f);
    ASSERT_EQ(ai->GetState(), CIAEnemyCover::RELOAD);
    EXPECT_FLOAT_EQ(ai->GetReloadDuration(), 2.5f);
    EXPECT_TRUE(Plays(enemy->GetEntity(), "pBajo_ostrel_reload"));
    for (int i = 0; i < 5; ++i)
        ai->Update(0.5f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::RELOAD);
    ai->Update(0.5f);
    EXPECT_EQ(ai->GetState(), CIAEnemyCover::COVER);
}

TEST_F(FightStatesTest, ASearcherJumpsOverOnlyAJumpableParapetTowardAHeroWithin30DegreesAcrossIt)
{
    struct Case {
        const char* parapet;
        float degrees;  // from the way across the cover (-Z) to the hero
        const char* animation;
        bool jumps;
    };
    const Case cases[] = {
        {"p_b_s_A_B_900", 29.0f, "jumpostrelbox", true},
        {"p_b_s_A_P_900", -29.0f, "jumpostrelman", true},
        {"p_b_s_A_B_900", 31.0f, "pBajo_ostrel_exit", false},
        {"p_b_n_A_B_900", 0.0f, "pBajo_ostrel_exit", false},
    };
    for (const Case& c : cases) {
        senses.parapets.clear();
        // Its face looks +Z, where the enemy crouches; the hero is across it.
        TParapet* cover = senses.AddCover(c.parapet, 0, 1000, 0);
        CEnemy* enemy = One("ene_1", 0, 1030);
        enemy->GetPosition().SetYaw(kPi);
        CIAEnemyCover* ai = enemy->getIA();
        ASSERT_TRUE(ai->TakeNamedCoverPoint(c.parapet));
        ai->SetInCover(true);
        const float a = c.degrees * kPi / 180.0f;
        senses.hero.SetPosition(D3DXVECTOR3(-1000 * std::sin(a), 0, 1030 - 1000 * std::cos(a)));
        ai->Update(kFrame);  // idle, it sees him and goes searching
        EXPECT_EQ(ai->GetState(), c.jumps ? CIAEnemyCover::JUMPING_COVER : CIAEnemyCover::SEARCHING) << c.parapet;
        if (c.jumps)
            EXPECT_NEAR(std::fabs(WrapAngle(enemy->GetPosition().GetYaw())), kPi, 1e-3f) << "over, toward him";
        EXPECT_TRUE(Plays(enemy->GetEntity(), c.animation)) << c.parapet << " " << c.degrees;
        EXPECT_FALSE(ai->IsInCover());
        EXPECT_FLOAT_EQ(ai->GetHoldTimer(), c.jumps ? 1.3f : 0.8f) << c.parapet;
        // Over the top it still holds the parapet until it lands.
        EXPECT_EQ(cover->free, !c.jumps) << c.parapet;
        Run(enemy, 1.4f);
        EXPECT_TRUE(cover->free) << c.parapet;
        EXPECT_EQ(ai->GetState(), CIAEnemyCover::SEARCHING) << c.parapet;
    }
}

TEST_F(FightStatesTest, ANamedParapetIsNeverTakenFromItsHolderAndAnEndPickedAtLoadIsPickedAgain)
{
    // The loader sets the state before it places the enemy.
    TParapet* wall = senses.AddCover("p_a_n_A_B_502", 5000, 5000, 0, 400);
    Wave({EnemyEntry{"ene_7", "soldado", Point(4600, 0, 5300), "gun", "MOVE_TO_COVER_STATE"}});
    CIAEnemyCover* ai = Enemy("ene_7")->getIA();
    ASSERT_EQ(ai->GetOccupiedParapet(), wall);
    ai->Update(kFrame);
    EXPECT_EQ(ai->GetCoverTarget(), wall->pt_ini);
    EXPECT_TRUE(ai->IsNearEndTheStart());
    EXPECT_EQ(ai->GetDestination(), wall->pt_ini);
    ai->FreeParapet();

    senses.parapets.clear();
    TParapet* named = senses.AddCover("p_b_n_A_B_501", 0, 2000, 0);
    TParapet* other = senses.AddCover("p_b_n_A_B_600", 300, 2000, 0);
    Wave({EnemyEntry{"ene_1", "soldado", Point(0, 0, 2100)}, EnemyEntry{"ene_8", "soldado", Point(200, 0, 2100)}});
    ASSERT_TRUE(Enemy("ene_1")->getIA()->TakeNamedCoverPoint("p_b_n_A_B_501"));
    CIAEnemyCover* late = Enemy("ene_8")->getIA();
    late->SetState("MOVE_TO_COVER_STATE");
    EXPECT_EQ(Enemy("ene_1")->getIA()->GetOccupiedParapet(), named);
    EXPECT_NE(late->GetOccupiedParapet(), named);
    late->Update(kFrame);
    EXPECT_EQ(late->GetOccupiedParapet(), other);
    EXPECT_FALSE(named->free);
}

TEST_F(FightStatesTest, OnlyTheParapetsSomeoneHoldsAreTakenWhateverTheFightDoes)
{
    for (int i = 0; i < 6; ++i)
        senses.AddCover("p_b_" + std::string(i % 2 ? "s" : "n") + "_A_B_90" + std::to_string(i),
                        -500.0f + 200.0f * static_cast<float>(i), 900.0f + 60.0f * static_cast<float>(i % 3), 0);
    std::vector<EnemyEntry> wave;
    for (int i = 0; i < 5; ++i)
        wave.push_back(EnemyEntry{"ene_" + std::to_string(i + 1), i == 4 ? "torreta" : "soldado",
                                  Point(-400.0f + 200.0f * static_cast<float>(i), 0, 1200)});
    Wave(wave);
    senses.hero.SetYaw(0.0f);
    for (int frame = 0; frame < 30 * 40; ++frame) {
        // The hero walks a wide circle, aims now and then and ducks.
        const float t = static_cast<float>(frame) * kFrame;
        senses.hero.SetPosition(D3DXVECTOR3(700 * std::sin(t * 0.3f), 0, 500 + 700 * std::cos(t * 0.3f)));
        senses.readyToShoot = (frame / 45) % 2 == 0;
        senses.inCover = (frame / 70) % 3 == 0;
        Manager().Update(kFrame);
        // The walking is the test's: a step toward where each wants to go.
        for (const auto& entry : Manager().GetCurrentWaveEnemies()) {
            CIAEnemyCover* ai = entry.second->getIA();
            if (!ai->WantsNewPosition())
                continue;
            const D3DXVECTOR3 at = entry.second->GetPosition().GetPosition();
            D3DXVECTOR3 way = ai->GetDestination() - at;
            way.y = 0;
            if (VectorLength(way) > 5.0f)
                entry.second->GetPosition().SetPosition(at + NormalizeVector(way) * 5.0f);
        }
        for (const auto& p : senses.parapets) {
            int holders = 0;
            for (const auto& entry : Manager().GetCurrentWaveEnemies())
                holders += entry.second->getIA()->GetOccupiedParapet() == p.get();
            ASSERT_LE(holders, 1) << p->name << " frame " << frame;
            ASSERT_EQ(p->free, holders == 0) << p->name << " frame " << frame;
        }
    }
}

TEST_F(FightStatesTest, ALeanOutThatEndsWithTheHeroFacingItAcrossTheCoverGoesSearching)
{
    // The cover faces +Z and heads -Z: the hero looks at its face from
    // across it, or the way it heads. The staged first wave searches for
    // nobody: there the enemy ducks back behind the cover it holds, the
    // empty clip then reloaded.
    for (const std::string wave : {"wave_02", "wave_01"})
    for (float heroYaw : {0.0f, kPi}) {
        SCOPED_TRACE(wave);
        senses.parapets.clear();
        TParapet* cover = senses.AddCover("p_b_n_A_B_900", 0, 800, 0);
        Wave({EnemyEntry{"ene_1", "soldado", Point(0, 0, 790, 180)}}, wave);
        CEnemy* enemy = Enemy("ene_1");
        CIAEnemyCover* ai = enemy->getIA();
        ai->Update(0.0f);
        ai->SetForceCoverChoice(true);
        ASSERT_EQ(ai->ChooseCoverPoint(), cover);
        ai->EnterCover();
        ai->EnterShootingFromCover();
        senses.hero.SetYaw(heroYaw);
        enemy->GetWeapon()->SetClipAndAmmo(0, 100);  // the lean-out ends on an empty clip
        const bool across = heroYaw < 1.0f && wave != "wave_01";
        ASSERT_TRUE(RunUntil(enemy, across ? CIAEnemyCover::SEARCHING : CIAEnemyCover::COVER, 1.0f)) << heroYaw;
        EXPECT_EQ(cover->free, across) << heroYaw;
        EXPECT_EQ(ai->GetOccupiedParapet() == cover, !across) << heroYaw;
        if (!across) {
            Run(enemy, 4.0f);
            EXPECT_GT(enemy->GetWeapon()->GetCurrentClip(), 0) << heroYaw;
        }
    }
}

} // namespace
} // namespace enemytest
