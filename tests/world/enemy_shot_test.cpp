// What an enemy's bullet hits: the hero's body, another enemy's, props,
// barrels and the planks that give way, in a world of the test's own.
#include "world/physics_fixture.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "gui/Achievements.h"
#include "platform/bass.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/Player.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"

namespace {

class EnemyShot : public PhysicsTest {
protected:
    static void SetUpTestSuite()
    {
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        getParticleTypes().Load("data/XML/particleTypes.xml");
        getModelsManager().LoadCoreModels("data/XML/CoreModels.xml");
        platform::audio::UseRecorder([] { return std::uint64_t{0}; });
        getSoundManager().Init(nullptr);
        // The sounds are read as the shots call for them.
        s_Previous = previous;
    }
    static void TearDownTestSuite()
    {
        std::filesystem::current_path(s_Previous);
        BASS_Free();
        platform::audio::UseRecorder(nullptr);
    }
    EnemyShot()
    {
        getPlayer()->Init();
        getSoundManager().muted = false;
        platform::audio::ClearStarted();
        CRigidAnimManager* rigid = getRigid();
        rigid->crateHits2 = rigid->crateHits3 = 2;
        rigid->crateBroken2 = rigid->crateBroken3 = false;
    }
    // One enemy bullet from (x, y, z) along +Z, level.
    D3DXVECTOR3 Fire(float x, float z, float y = 10.0f, std::uint16_t damage = 7)
    {
        CLocation shooter;
        shooter.SetPosition(D3DXVECTOR3(x, y, z));
        shooter.SetYaw(0.0f);
        float hit[3] = {-1, -1, -1};
        manager.ResolveEnemyShot(&shooter, damage, hit);
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
    static const PendingHit& HeroHit() { return getPlayer()->GetControllerSelector()->GetFreeController()->GetPendingHit(); }
    static bool Heard(const std::string& file)
    {
        const auto& started = platform::audio::StartedFiles();
        return std::any_of(started.begin(), started.end(),
                           [&](const std::string& s) { return s.find(file) != std::string::npos; });
    }
    std::vector<std::unique_ptr<btBoxShape>> shapes;
    static std::filesystem::path s_Previous;
};

std::filesystem::path EnemyShot::s_Previous;

TEST_F(EnemyShot, TheHerosBodyTakesAPendingHitFromTheShooterAndAnotherEnemysDoesNothing)
{
    Level(Ground());
    ASSERT_TRUE(getPlayer()->GetControllerSelector()->IsFree());
    // The hero's sphere stands at the origin; a bullet from 300 behind.
    const D3DXVECTOR3 hit = Fire(0, -300, 10, 7);
    EXPECT_NEAR(hit.z, -10.0f, 1.0f);
    EXPECT_TRUE(HeroHit().pending);
    EXPECT_EQ(HeroHit().damage, 7);
    EXPECT_EQ(HeroHit().origin, D3DXVECTOR3(0, 10, -300));

    // Another enemy's sphere is called "basic" as well: it stops the bullet
    // and hurts nobody.
    getPlayer()->GetControllerSelector()->GetFreeController()->SetHit(false, 0, 0, 0, 0);
    link.wave = {{"a", "ene_1", D3DXVECTOR3(500, 0, 300)}};
    link.enemies["ene_1"].position = D3DXVECTOR3(500, 0, 300);
    manager.CreateEnemyBodies();
    const D3DXVECTOR3 stopped = Fire(500, 0, 10, 7);
    EXPECT_NEAR(stopped.z, 290.0f, 1.0f);
    EXPECT_FALSE(HeroHit().pending);

    // The far end lies along the aim from the muzzle: a wall far down the
    // line of a shot from x 4000 stops it there.
    Level(Ground() + CollisionXml("col_muro", 400, 200, 20, 4000, 100, 50000));
    const D3DXVECTOR3 far = Fire(4000, -300, 10, 7);
    EXPECT_FALSE(HeroHit().pending);
    EXPECT_NEAR(far.x, 4000.0f, 1.0f);
    EXPECT_NEAR(far.z, 49990.0f, 1.0f);
}

TEST_F(EnemyShot, ACanIsKnockedWithItsSoundButScoresNothing)
{
    Level(Ground());
    PropRecord can;
    btRigidBody* body = Prop(can, "obj_lata_01", 300, 300);
    const CAchievementStats before = getAchievementStats();
    const D3DXVECTOR3 hit = Fire(300, 0, 10);
    EXPECT_NEAR(hit.z, 290.0f, 1.0f);
    EXPECT_GT(body->getLinearVelocity().z(), 0.0f);
    EXPECT_EQ(getAchievementStats().propsShot, before.propsShot);
    EXPECT_TRUE(Heard("lata"));
}

TEST_F(EnemyShot, ABarrelHurtsTheHeroByDistanceAndGoesAloneWithoutScoring)
{
    Level(Ground());
    PropRecord barrel, neighbour;
    Prop(barrel, "obj_barril_01", 103, 300, 500.0f);
    Prop(neighbour, "obj_barril_02", 200, 300, 500.0f);
    const int objects = Objects();
    const std::uint16_t blown = getAchievementStats().barrelsBlown;
    Fire(103, 0, 10);
    // Hit at (103, 290): the hero at the origin is 393 away, 0.214 of the
    // radius left, 21 of the barrel's 100.
    ASSERT_TRUE(HeroHit().pending);
    EXPECT_EQ(HeroHit().damage, 21);
    EXPECT_EQ(Objects(), objects - 1);
    EXPECT_EQ(getAchievementStats().barrelsBlown, blown);
    // The neighbour stands: the next bullet along its line still meets it.
    EXPECT_NEAR(Fire(200, 0, 10).z, 290.0f, 1.0f);
    EXPECT_EQ(Objects(), objects - 2);
}

// An enemy's bullet climbs or drops with its pitch (a positive one looks
// down): the wall 290 ahead is met that much lower or higher, as an enemy on
// a ledge shoots down at the hero or one below him shoots up.
TEST_F(EnemyShot, ABulletAimedDownOrUpMeetsTheWallLowerOrHigher)
{
    Level(Ground() + CollisionXml("col_muro", 400, 400, 20, 0, 150, 300));
    for (const float pitch : {0.3f, -0.3f}) {
        CLocation shooter;
        shooter.SetPosition(D3DXVECTOR3(0, 150, 0));
        shooter.SetYaw(0.0f);
        shooter.SetPitch(pitch);
        float hit[3] = {-1, -1, -1};
        manager.ResolveEnemyShot(&shooter, 7, hit);
        EXPECT_NEAR(hit[2], 290.0f, 0.5f) << pitch;
        EXPECT_NEAR(hit[1], 150.0f - std::sin(pitch) * 290.0f, 0.5f) << pitch;
    }
}

// Each plank crate that gives way plays its own break, and only then: the
// pieces of the other crate stay where they lie.
TEST_F(EnemyShot, EachPlankCratePlaysItsOwnBreakWhenItGivesWay)
{
    CRigidAnimManager* rigid = getRigid();
    RigidAnimTrack track;
    track.Allocate(1.0f, 2, 2);
    for (unsigned i = 0; i < 2; ++i) {
        track.positions[i] = D3DXVECTOR3(0, 10.0f * static_cast<float>(i), 0);
        D3DXQuaternionIdentity(&track.orientations[i]);
    }
    for (const char* crate : {"maderitas2_ROTO", "maderitas3_ROTO"}) {
        CRigidAnimManager::AnimationPart piece;
        piece.track = &track;
        piece.anim = CKeyframedRAO(&track);
        piece.entityName = std::string(crate) + "_1";
        rigid->animations[crate] = {piece};
    }
    float x = 0.0f;
    for (const char* plank : {"col_maderitas2", "col_maderitas3"}) {
        x += 1000.0f;
        Level(Ground() + CollisionXml(plank, 200, 100, 20, x, 50, 300));
        rigid->oneShotAnims.clear();
        const std::string own = std::string(plank).substr(4) + "_ROTO_1";
        const std::string other = own == "maderitas2_ROTO_1" ? "maderitas3_ROTO_1" : "maderitas2_ROTO_1";
        Fire(x, 0, 50);
        EXPECT_TRUE(rigid->oneShotAnims.empty()) << plank << ": one hit holds";
        Fire(x, 0, 50);
        EXPECT_EQ(rigid->oneShotAnims.count(own), 1u) << plank;
        EXPECT_EQ(rigid->oneShotAnims.count(other), 0u) << plank;
    }
    rigid->oneShotAnims.clear();
    rigid->animations.erase("maderitas2_ROTO");
    rigid->animations.erase("maderitas3_ROTO");
}

TEST_F(EnemyShot, APlankGivesWayAtTheSecondHitAndWaterSplashes)
{
    // The test's level files add up: each box stands on a line of its own.
    float x = 0.0f;
    for (const char* plank : {"col_maderitas2", "col_maderitas3"}) {
        x += 1000.0f;
        Level(Ground() + CollisionXml(plank, 200, 100, 20, x, 50, 300));
        CRigidAnimManager* rigid = getRigid();
        rigid->crateBroken2 = rigid->crateBroken3 = false;
        const bool third = std::string(plank) == "col_maderitas3";
        EXPECT_NEAR(Fire(x, 0, 50).z, 290.0f, 1.0f) << plank;
        EXPECT_EQ(third ? rigid->crateHits3 : rigid->crateHits2, 1) << plank;
        EXPECT_FALSE(third ? rigid->crateBroken3 : rigid->crateBroken2) << plank;
        EXPECT_FALSE(Heard("maderitas.wav")) << plank;
        Fire(x, 0, 50);
        EXPECT_TRUE(third ? rigid->crateBroken3 : rigid->crateBroken2) << plank;
        EXPECT_TRUE(rigid->IsParapetBlocked(third ? "p_b_n_A_P_009" : "p_b_n_A_P_008")) << plank;
        EXPECT_FALSE(rigid->IsParapetBlocked(third ? "p_b_n_A_P_008" : "p_b_n_A_P_009")) << plank;
        EXPECT_TRUE(Heard("maderitas.wav")) << plank;
        // Gone: the next bullet flies through where it stood.
        EXPECT_EQ(Fire(x, 0, 50), D3DXVECTOR3(-1, -1, -1)) << plank;
        platform::audio::ClearStarted();
    }
    // Water splashes; the two walls named for it stay dark, the others spark.
    struct Case {
        const char* box;
        const char* effect;
        bool shows;
    };
    const Case cases[] = {{"col_agua_01", "agua_disparo_spray", true},
                          {"col_muro", "chispas", true},
                          {"col_055", "chispas", false}};
    for (const Case& c : cases) {
        x -= 700.0f;
        Level(Ground() + CollisionXml(c.box, 200, 100, 20, x, 50, 300));
        getParticleManager().ClearAll();
        EXPECT_NEAR(Fire(x, 0, 50).z, 290.0f, 1.0f) << c.box;
        const auto& emitters = getParticleManager().GetEmitters();
        const bool shown = std::any_of(emitters.begin(), emitters.end(), [&](const auto& e) {
            return e && e->GetType() && e->GetType()->name == c.effect;
        });
        EXPECT_EQ(shown, c.shows) << c.box;
    }
}

} // namespace
