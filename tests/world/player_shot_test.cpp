// What the hero's bullets hit and what follows: walls, breakables, props and
// characters, in a world of the test's own.
#include "world/physics_fixture.h"

#include "enemies/EnemyManager.h"

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
