// What the hero's bullets hit and what follows: walls, breakables, props and
// characters, in a world of the test's own.
#include "world/physics_fixture.h"

#include "enemies/EnemyManager.h"

#include <algorithm>
#include <filesystem>

#include "app/GameStateFlags.h"
#include "scene/ParticleType.h"
#include "gui/Achievements.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"

namespace {

class Pistol : public IWeapon {
public:
    explicit Pistol(const char* name = "GUN") { m_Name = name; }
};

class PlayerShot : public PhysicsTest {
protected:
    PlayerShot() { getPlayer()->SetCurrentWeapon(&pistol); }
    static void SetUpTestSuite()
    {
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        getParticleTypes().Load("data/XML/particleTypes.xml");
        std::filesystem::current_path(previous);
    }
    ~PlayerShot() override
    {
        getPlayer()->SetCurrentWeapon(nullptr);
        getGSF().hangarRigidState = 0;
    }
    // Fires along +Z from the camera's look-at point at (x, y, z).
    D3DXVECTOR3 Fire(float x = 0.0f, float z = 0.0f, float y = 50.0f)
    {
        link.eye = D3DXVECTOR3(x, y, z - 100);
        link.lookAt = D3DXVECTOR3(x, y, z);
        float hit[3] = {-1, -1, -1};
        manager.ResolvePlayerShot(nullptr, hit);
        return D3DXVECTOR3(hit[0], hit[1], hit[2]);
    }
    btRigidBody* Prop(PropRecord& record, const std::string& name, float x, float z, float radius = 0.0f)
    {
        record.name = name;
        record.blastRadius = radius;
        record.blastDamage = 100.0f;
        D3DXMatrixTranslation(&record.transform, x, 10, z);
        shapes.push_back(std::make_unique<btBoxShape>(btVector3(10, 10, 10)));
        return manager.AddDynamicBody(2.0f, btTransform(btQuaternion::getIdentity(), btVector3(x, 10, z)),
                                      shapes.back().get(), &record);
    }
    Pistol pistol;
    std::vector<std::unique_ptr<btBoxShape>> shapes;
};

TEST_F(PlayerShot, AWallStopsTheShotWhereItIsAndAMissChangesNothing)
{
    Level(Ground() + CollisionXml("col_muro", 400, 200, 20, 4000, 100, 1000));
    const size_t before = getParticleManager().GetEmitters().size();
    const D3DXVECTOR3 hit = Fire(4000.0f, 0.0f);
    // Far from the world's origin the ray still runs straight along the aim.
    EXPECT_NEAR(hit.x, 4000.0f, 0.01f);
    EXPECT_NEAR(hit.y, 50.0f, 0.01f);
    EXPECT_NEAR(hit.z, 990.0f, 0.1f);
    EXPECT_NEAR(manager.lastShotPoint.z, 990.0f, 0.1f);
    EXPECT_GT(getParticleManager().GetEmitters().size(), before);
    const D3DXVECTOR3 miss = Fire(0.0f, 0.0f);
    EXPECT_EQ(miss, D3DXVECTOR3(-1, -1, -1));
}

TEST_F(PlayerShot, ThePlaneBreaksInStagesOnlyWhileItFlies)
{
    Level(Ground() + CollisionXml("col_avion_bucle", 400, 200, 20, 0, 100, 500));
    for (int i = 0; i < 3; ++i)
        Fire();
    EXPECT_EQ(manager.planeHits, 60);
    getGSF().hangarRigidState = CGameStateFlagsManager::PlayingRigidaEneAvioneta;
    // Stage flags: below 12, 24, 32, 48 at 0 to 3, the final one at 4.
    const std::vector<std::pair<int, int>> stages = {{5, 3}, {10, 2}, {13, 1}, {17, 0}, {21, 4}};
    std::vector<int> played;
    for (int shot = 1; shot <= 21; ++shot) {
        bool before[5];
        std::copy(manager.planeStageDone, manager.planeStageDone + 5, before);
        Fire();
        int count = 0;
        for (int s = 0; s < 5; ++s)
            if (manager.planeStageDone[s] != before[s]) {
                played.push_back(s);
                ++count;
                EXPECT_EQ(manager.planeHits, 60 - 3 * shot);
            }
        EXPECT_LE(count, 1) << shot;
    }
    EXPECT_EQ(played, (std::vector<int>{3, 2, 1, 0, 4}));
    EXPECT_EQ(manager.planeHits, -3);
}

// Shot by shot, the plane and the tank break in their stages: one a hit at
// most, each when the hit points fall below its mark, a blast and a smoke
// where it says; the last blows the whole up at its points and puts every
// smoke out. The pistol takes 3 a hit, the others 1.
TEST_F(PlayerShot, ThePlaneAndTheTankBreakStageByStageWhereTheirMarksSay)
{
    struct Stage {
        int below;
        D3DXVECTOR3 point;
    };
    struct Breakable {
        const char* box;
        std::vector<Stage> stages;
        std::vector<D3DXVECTOR3> last;
    };
    const float px = 2350.889892578125f, tz = 1019.0700073242188f;
    const D3DXVECTOR3 plane48(px, 89.78379821777344f, 422.07000732421875f),
        plane32(px, 79.78379821777344f, 462.07000732421875f), plane24(px, 82.78379821777344f, 362.07000732421875f),
        plane12(px, 92.78379821777344f, 332.07000732421875f);
    const Breakable breakables[] = {
        {"col_avion_bucle", {{48, plane48}, {32, plane32}, {24, plane24}, {12, plane12}},
         {plane48, plane32, plane24, plane12}},
        {"col_34TANQUE",
         {{42, {2188.5400390625f, 114.4800033569336f, tz}},
          {36, {2268.5400390625f, 64.4800033569336f, tz}},
          {24, {2148.5400390625f, 74.4800033569336f, tz}},
          {12, {2228.5400390625f, 154.47999572753906f, tz}}},
         {{2268.5400390625f, 84.4800033569336f, tz},
          {2238.5400390625f, 164.47999572753906f, tz},
          {2168.5400390625f, 124.4800033569336f, tz},
          {2208.5400390625f, 64.4800033569336f, tz},
          {2198.5400390625f, 144.47999572753906f, tz}}},
    };
    // The points of the emitters of that type.
    auto at = [](const char* type) {
        std::vector<D3DXVECTOR3> points;
        for (const auto& e : getParticleManager().GetEmitters())
            if (e && e->GetType() && e->GetType()->name == type)
                points.push_back(e->GetPosition());
        return points;
    };
    auto has = [](const std::vector<D3DXVECTOR3>& points, const D3DXVECTOR3& p) {
        return std::count(points.begin(), points.end(), p);
    };
    // The test's level files add up: each box stands on a line of its own.
    float x = 0.0f;
    for (const Breakable& b : breakables) {
        for (const char* weapon : {"GUN", "THOMPSON"}) {
            SCOPED_TRACE(std::string(b.box) + " " + weapon);
            Pistol held(weapon);
            getPlayer()->SetCurrentWeapon(&held);
            x += 1000.0f;
            Level(Ground() + CollisionXml(b.box, 400, 200, 20, x, 100, 500));
            getGSF().hangarRigidState = CGameStateFlagsManager::PlayingRigidaEneAvioneta;
            getParticleManager().ClearAll();
            const bool plane = b.box[4] == 'a';
            int hits = 60;
            size_t played = 0;
            for (int shot = 1; shot <= 70 && hits >= 0; ++shot) {
                const std::vector<D3DXVECTOR3> before = at("explosion_center");
                Fire(x);
                hits -= std::string(weapon) == "GUN" ? 3 : 1;
                ASSERT_EQ(plane ? manager.planeHits : manager.tankHits, hits) << shot;
                const std::vector<D3DXVECTOR3> smoke = at("humo"), blast = at("explosion_center");
                if (hits < 0) {
                    EXPECT_TRUE(smoke.empty()) << shot;
                    EXPECT_EQ(blast.size(), before.size() + b.last.size()) << shot;
                    for (const D3DXVECTOR3& p : b.last)
                        EXPECT_EQ(has(blast, p) - has(before, p), 1) << shot;
                } else if (played < b.stages.size() && hits < b.stages[played].below) {
                    const D3DXVECTOR3& p = b.stages[played].point;
                    ++played;
                    EXPECT_EQ(blast.size(), before.size() + 1) << shot;
                    EXPECT_EQ(has(blast, p) - has(before, p), 1) << shot;
                    EXPECT_EQ(smoke.size(), played) << shot;
                    EXPECT_EQ(has(smoke, p), 1) << shot;
                } else {
                    EXPECT_EQ(blast.size(), before.size()) << shot;
                    EXPECT_EQ(smoke.size(), played) << shot;
                }
            }
            EXPECT_EQ(played, 4u);
            EXPECT_LT(hits, 0);
        }
    }
    getPlayer()->SetCurrentWeapon(&pistol);
}

TEST_F(PlayerShot, TheHangarWallGoesAfterTwoPistolShotsOrSixOthers)
{
    Level(Ground() + CollisionXml("col_explosion_hangar1", 400, 200, 20, 0, 100, 500));
    // As after an earlier explosion that moved the hero.
    getRigid()->explosionTeleportArmed = false;
    Fire();
    EXPECT_FALSE(manager.hangarExploded);
    Fire();
    EXPECT_TRUE(manager.hangarExploded);
    EXPECT_TRUE(getRigid()->explosionTeleportArmed);
    EXPECT_EQ(getGSF().sequence, CGameStateFlagsManager::PlayingCamHangar);
    getRigid()->explosionTeleportArmed = false;

    Pistol thompson("THOMPSON");
    getPlayer()->SetCurrentWeapon(&thompson);
    Level(Ground() + CollisionXml("col_explosion_hangar1", 400, 200, 20, 0, 100, 500));
    manager.hangarExploded = false;
    manager.hangarHits = 6;
    for (int i = 0; i < 5; ++i)
        Fire();
    EXPECT_FALSE(manager.hangarExploded);
    Fire();
    EXPECT_TRUE(manager.hangarExploded);
    EXPECT_TRUE(getRigid()->explosionTeleportArmed);
    getPlayer()->SetCurrentWeapon(&pistol);
}

TEST_F(PlayerShot, EveryShotKnocksACanAndCountsIt)
{
    Level(Ground());
    PropRecord can;
    btRigidBody* body = Prop(can, "obj_lata_01", 0, 300);
    const std::uint16_t before = getAchievementStats().propsShot;
    Fire(0, 0, 10);
    Fire(0, 0, 10);
    EXPECT_EQ(getAchievementStats().propsShot, before + 2);
    EXPECT_GT(body->getLinearVelocity().z(), 0.0f);
    // A prop of no family only stops the bullet.
    PropRecord box;
    Prop(box, "obj_caja_01", 200, 300);
    Fire(200.0f, 0, 10);
    EXPECT_EQ(getAchievementStats().propsShot, before + 2);
}

TEST_F(PlayerShot, ABarrelBlowsUpOnceTakesItsChainAndPushesWhatIsNearerThanItsRadius)
{
    Level(Ground());
    PropRecord barrel, chained, nearCan, farCan;
    Prop(barrel, "obj_barril_01", 0, 300, 200.0f);
    Prop(chained, "obj_barril_02", 100, 300);
    Prop(nearCan, "obj_lata_01", -150, 310);
    Prop(farCan, "obj_lata_02", 0, 500);  // exactly at the radius from the hit point at z 290
    const std::uint16_t before = getAchievementStats().barrelsBlown;
    const int objects = Objects();
    // The table walked is the level's own; these props are the test's.
    Fire(0, 0, 10);
    EXPECT_EQ(getAchievementStats().barrelsBlown, before + 1);
    EXPECT_EQ(Objects(), objects - 1);
    // The second shot passes where the barrel stood.
    Fire(0, 0, 10);
    EXPECT_EQ(getAchievementStats().barrelsBlown, before + 1);
}

TEST_F(PlayerShot, ScaffoldBarrelsWaitForTheirWave)
{
    Level(Ground());
    PropRecord barrel;
    Prop(barrel, "obj_barril_andamio01", 0, 300, 200.0f);
    const std::uint16_t before = getAchievementStats().barrelsBlown;
    const int objects = Objects();
    Fire(0, 0, 10);
    EXPECT_EQ(getAchievementStats().barrelsBlown, before);
    EXPECT_EQ(Objects(), objects);
    EXPECT_FALSE(manager.scaffoldExploded);
}

TEST_F(PlayerShot, TheScaffoldBlownInItsWaveStartsTheDockersEscape)
{
    // The story as a new game starts it, whatever an earlier test left.
    getGSF().resetStates();
    Level(Ground());
    PropRecord barrel;
    Prop(barrel, "obj_barril_andamio01", 0, 300, 200.0f);
    getRigid()->dockersEscapeStage = 0;
    getEnemyManager()->setNewZone("room3", "wave_34");
    Fire(0, 0, 10);
    EXPECT_TRUE(manager.scaffoldExploded);
    // The one stage the escape count and the zone change both read.
    EXPECT_EQ(getRigid()->dockersEscapeStage, 1);
    getEnemyManager()->setNewZone("room3", "wave_35");
    EXPECT_NE(getGSF().islaSequence, CGameStateFlagsManager::PlayingVinyetasDockersHuye) << "no flight past a blown scaffold";
    getRigid()->dockersEscapeStage = 0;
    getEnemyManager()->setNewZone("room01", "wave_00");
}

TEST_F(PlayerShot, AnEnemysSphereCountsAsALegAndEveryPartIsCounted)
{
    Level(Ground());
    link.wave = {{"a", "ene_1", D3DXVECTOR3(0, 0, 300)}};
    link.enemies["ene_1"].position = D3DXVECTOR3(0, 0, 300);
    manager.CreateEnemyBodies();
    const CAchievementStats stats = getAchievementStats();
    link.eye = D3DXVECTOR3(0, 10, -100);
    link.lookAt = D3DXVECTOR3(0, 10, 0);
    float hit[3] = {0, 0, 0};
    manager.ResolvePlayerShot(nullptr, hit);
    EXPECT_NEAR(hit[2], 290.0f, 1.0f);
    EXPECT_EQ(getAchievementStats().bodyPartsHit, stats.bodyPartsHit + 1);
    EXPECT_EQ(getAchievementStats().legShots, stats.legShots + 1);
    EXPECT_EQ(getAchievementStats().headShots, stats.headShots);
}

} // namespace

namespace {

// A collision element that tells bullets how to meet it.
std::string ShotBox(const std::string& name, const char* shots, float x, float z)
{
    std::string box = CollisionXml(name, 200, 300, 20, x, 150, z);
    return box.insert(box.find(" transform="), std::string(" shots=\"") + shots + "\"");
}

// A bullet flies through an unseen box that lets it, through the hero's own
// body and the camera's round the line he aims by, and stops at what is
// drawn beyond; an unseen box that stops it shows no mark. The crosshair
// reads the same line.
TEST_F(PlayerShot, BulletsPassWhatNoOneSeesStopThem)
{
    Level(Ground() + ShotBox("col_limite", "through", 0, 100) + ShotBox("col_lado", "unmarked", 500, 100) +
          CollisionXml("col_muro", 400, 300, 20, 0, 150, 400));
    const size_t before = getParticleManager().GetEmitters().size();
    // The camera's body and the hero's sphere both stand on the line.
    manager.WarpCamera(D3DXVECTOR3(0, 10, -30));
    Frames(1);
    link.eye = D3DXVECTOR3(0, 10, -150);
    link.lookAt = D3DXVECTOR3(0, 10, -50);
    EXPECT_EQ(manager.RayTestProps(), 0) << "the wall, not his own body, under the crosshair";
    float hit[3] = {0, 0, 0};
    manager.ResolvePlayerShot(nullptr, hit);
    EXPECT_NEAR(hit[2], 390.0f, 0.5f) << "on the wall beyond the unseen box";
    EXPECT_GT(getParticleManager().GetEmitters().size(), before) << "its sparks";

    const size_t marked = getParticleManager().GetEmitters().size();
    EXPECT_NEAR(Fire(500.0f, 0.0f).z, 90.0f, 0.5f) << "the unseen box that stops it";
    EXPECT_EQ(getParticleManager().GetEmitters().size(), marked) << "leaves no sparks in the air";

    // An enemy's pellet the same: on past the one, no mark on the other.
    D3DXVECTOR3 strike;
    bool marks = false;
    ASSERT_TRUE(manager.PelletStrike(D3DXVECTOR3(0, 50, 0), D3DXVECTOR3(0, 0, 1), &strike, &marks));
    EXPECT_NEAR(strike.z, 390.0f, 0.5f);
    EXPECT_TRUE(marks);
    ASSERT_TRUE(manager.PelletStrike(D3DXVECTOR3(500, 50, 0), D3DXVECTOR3(0, 0, 1), &strike, &marks));
    EXPECT_NEAR(strike.z, 90.0f, 0.5f);
    EXPECT_FALSE(marks);
}

} // namespace
