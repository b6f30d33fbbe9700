// Weapons lying in the level: what the hero gets when he walks over them.
#include <gtest/gtest.h>

#include <cal3d/cal3d.h>

#include <algorithm>

#include "gui/Subtitles.h"
#include "player/Weapon.h"
#include "player/WeaponPickups.h"
#include "player/hero_fixture.h"
#include "scene/CharacterEntity.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "world/CollisionManager.h"

namespace {

class Pickups : public Hero {
protected:
    static void SetUpTestSuite()
    {
        Hero::SetUpTestSuite();
        getParticleTypes().Load("data/XML/particleTypes.xml");
        getSubtitulos().LoadTexts("data/XML/subtitulos.xml");
    }

    void SetUp() override
    {
        Hero::SetUp();
        getWeaponPickups().Clear();
        getParticleManager().ClearAll();
        getSubtitulos().ResetDisplay();
        hero->SetHasThompson(false);
        hero->SetHasShotgun(false);
        hero->SetCurrentWeapon(hero->GetGun());
    }

    static bool Lies(const std::string& name) { return getWeaponPickups().GetPickups().count(name) == 1; }
    // The weapons' glows; the radios' markers and other emitters are not counted.
    static int Glows()
    {
        int glows = 0;
        for (const auto& emitter : getParticleManager().GetEmitters())
            if (emitter->GetType() && emitter->GetType()->name.rfind("aviso_", 0) == 0 &&
                emitter->GetType()->name != "aviso_radio")
                ++glows;
        return glows;
    }

    bool CycleRuns(const std::string& animation) const
    {
        CCharacterEntity* body = hero->GetEntity();
        const auto& ids = body->GetCoreModelInfo()->animations;
        const auto id = ids.find(animation);
        if (id == ids.end())
            return false;
        CalCoreAnimation* wanted = body->GetCalModel()->getCoreModel()->getCoreAnimation(id->second);
        for (CalAnimationCycle* cycle : body->GetCalModel()->getMixer()->getAnimationCycle())
            if (cycle->getCoreAnimation() == wanted)
                return true;
        return false;
    }

    static bool Started(const std::string& file)
    {
        const auto& started = platform::audio::StartedFiles();
        return std::any_of(started.begin(), started.end(),
                           [&](const std::string& s) { return s.find(file) != std::string::npos; });
    }
};

TEST_F(Pickups, AFullPistolLeavesThePickupWithinStrictReachAndAnEmptiedOneTakesIt)
{
    // Each case builds the hero afresh, his guns with him.
    const std::uint16_t max = hero->GetGun()->GetMaxAmmo();
    struct Case {
        float dx;
        std::uint16_t clip, ammo;
        bool taken;
        std::uint16_t ammoAfter;
    } cases[] = {
        {0.0f, 6, static_cast<std::uint16_t>(max - 6), false, static_cast<std::uint16_t>(max - 6)},
        {0.0f, 6, 10, true, 22},
        // Manhattan reach: 85 itself is out.
        {85.0f, 6, 10, false, 10},
        {84.5f, 6, 10, true, 22},
        // The reserve never passes the weapon's maximum.
        {0.0f, 6, static_cast<std::uint16_t>(max - 10), true, max},
    };
    for (const Case& c : cases) {
        SetUp();
        CGun* gun = hero->GetGun();
        gun->SetClipAndAmmo(c.clip, c.ammo);
        getWeaponPickups().AddPickup("obj_gun_01", 12, 50.0f, 0.0f, 20.0f);
        hero->GetPosition().SetPosition(D3DXVECTOR3(50.0f - c.dx * 0.5f, 0.0f, 20.0f + c.dx * 0.5f));
        getWeaponPickups().Update(kStep);
        EXPECT_EQ(Lies("obj_gun_01"), !c.taken) << c.dx << " " << c.ammo;
        EXPECT_EQ(gun->GetAmmo(), c.ammoAfter) << c.dx << " " << c.ammo;
        EXPECT_EQ(gun->GetCurrentClip(), c.clip);
        // One left lying glows only while he has room for its rounds.
        EXPECT_EQ(Glows(), c.taken || c.clip + c.ammo >= max ? 0 : 1);
        EXPECT_EQ(hero->GetCurrentWeapon(), static_cast<IWeapon*>(gun));
    }
}

TEST_F(Pickups, TwoInReachGoOneAFrameInNameOrderAndTheSecondSkipsItsSpin)
{
    hero->GetGun()->SetClipAndAmmo(6, 0);
    getWeaponPickups().AddPickup("obj_gun_02", 5, 10.0f, 0.0f, 0.0f);
    getWeaponPickups().AddPickup("obj_gun_01", 5, -10.0f, 0.0f, 0.0f);
    ASSERT_EQ(Glows(), 2);
    getWeaponPickups().Update(0.5f);
    EXPECT_FALSE(Lies("obj_gun_01"));
    ASSERT_TRUE(Lies("obj_gun_02"));
    EXPECT_EQ(getWeaponPickups().GetPickups().at("obj_gun_02").spin, 0.0f);
    EXPECT_EQ(hero->GetGun()->GetAmmo(), 5);
    EXPECT_EQ(Glows(), 1);
    getWeaponPickups().Update(0.5f);
    EXPECT_FALSE(Lies("obj_gun_02"));
    EXPECT_EQ(hero->GetGun()->GetAmmo(), 10);
    EXPECT_EQ(Glows(), 0);
}

TEST_F(Pickups, OutOfReachTheyTurnAQuarterASecondAboutWhereTheyLie)
{
    getWeaponPickups().AddPickup("obj_shotgun_01", 7, 300.0f, 5.0f, -40.0f);
    for (int i = 0; i < 30; ++i)
        getWeaponPickups().Update(kStep);
    const WeaponPickup& pickup = getWeaponPickups().GetPickups().at("obj_shotgun_01");
    EXPECT_NEAR(pickup.spin, kHalfPi, 1e-4f);
    const D3DXMATRIX& world = pickup.weapon->GetModel().GetTransform().GetMatrix();
    EXPECT_NEAR(world._41, 300.0f, 1e-3f);
    EXPECT_NEAR(world._42, 5.0f, 1e-3f);
    EXPECT_NEAR(world._43, -40.0f, 1e-3f);
    // A quarter turn: the model's x axis now points along -z.
    EXPECT_NEAR(world._13, -1.0f, 1e-4f);
    EXPECT_EQ(pickup.weapon->GetModel().GetRadius(), 200.0f);
    EXPECT_FALSE(pickup.weapon->playerOwned);
    EXPECT_FALSE(hero->HasShotgun());
}

TEST_F(Pickups, ANewWeaponIsTakenInHandWithItsLineAndRunningSwapsTheRunAtOnce)
{
    struct Case {
        const char* name;
        bool running;
        const char* run;
        const char* sound;
        const char* subtitle;
    } cases[] = {
        {"obj_thompson_01", true, "run_thompson", "getThompson.wav", "getThompson"},
        {"obj_shotgun_01", true, "run_shotgun", "getShotgun.wav", "getShotgun"},
        {"obj_shotgun_02", false, "run_shotgun", "getShotgun.wav", "getShotgun"},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.running)
            selector->SwitchToFree(false, true);
        const bool thompson = std::string(c.name).find("thompson") != std::string::npos;
        IWeapon* weapon = thompson ? static_cast<IWeapon*>(hero->GetThompson()) : hero->GetShotgun();
        // Full already, and still taken: he did not carry it.
        weapon->SetClipAndAmmo(weapon->GetClipSize(), weapon->GetMaxAmmo());
        getWeaponPickups().AddPickup(c.name, 30, 0.0f, 0.0f, 0.0f);
        getWeaponPickups().Update(kStep);
        EXPECT_FALSE(Lies(c.name)) << c.name;
        EXPECT_EQ(hero->GetCurrentWeapon(), weapon) << c.name;
        EXPECT_TRUE(thompson ? hero->HasThompson() : hero->HasShotgun()) << c.name;
        EXPECT_FALSE(thompson ? hero->HasShotgun() : hero->HasThompson()) << c.name;
        EXPECT_EQ(CycleRuns(c.run), c.running) << c.name;
        EXPECT_TRUE(Started(c.sound)) << c.name;
        EXPECT_TRUE(getSubtitulos().IsShowing()) << c.name;
        getSubtitulos().Update(0.01f);
        const auto& table = getSubtitulos().Table(getSubtitulos().english);
        ASSERT_EQ(table.count(c.subtitle), 1u) << c.name;
        EXPECT_EQ(getSubtitulos().CurrentText(), table.at(c.subtitle).lines.at(0).text) << c.name;
    }
}

TEST_F(Pickups, AnOwnedWeaponOnlyTakesRoundsWhileItHasRoomForThem)
{
    hero->SetHasThompson(true);
    CThompson* thompson = hero->GetThompson();
    thompson->SetClipAndAmmo(thompson->GetClipSize(), thompson->GetMaxAmmo());
    getWeaponPickups().AddPickup("obj_thompson_01", 30, 0.0f, 0.0f, 0.0f);
    getWeaponPickups().Update(kStep);
    EXPECT_TRUE(Lies("obj_thompson_01"));
    EXPECT_EQ(hero->GetCurrentWeapon(), static_cast<IWeapon*>(hero->GetGun()));
    EXPECT_FALSE(Started("getThompson.wav"));

    thompson->SetClipAndAmmo(thompson->GetClipSize(), 3);
    getWeaponPickups().Update(kStep);
    EXPECT_FALSE(Lies("obj_thompson_01"));
    EXPECT_EQ(thompson->GetAmmo(), 33);
    // No new weapon in hand, no line for it.
    EXPECT_EQ(hero->GetCurrentWeapon(), static_cast<IWeapon*>(hero->GetGun()));
    EXPECT_FALSE(Started("getThompson.wav"));
}

// Out of his reach, a weapon glows while walking over it would give the
// hero something: one he does not carry, or rounds he has room for. Its
// glow goes out while his own is full and comes back once he has spent.
TEST_F(Pickups, AWeaponGlowsOnlyWhileWalkingOverItWouldGiveTheHeroSomething)
{
    hero->GetPosition().SetPosition(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    CShotgun* shotgun = hero->GetShotgun();
    shotgun->SetClipAndAmmo(shotgun->GetClipSize(), shotgun->GetMaxAmmo());
    getWeaponPickups().AddPickup("obj_shotgun_01", 14, 500.0f, 0.0f, 0.0f);
    getWeaponPickups().Update(kStep);
    EXPECT_EQ(Glows(), 1) << "a weapon he does not carry, whatever its rounds";

    hero->SetHasShotgun(true);
    getWeaponPickups().Update(kStep);
    EXPECT_EQ(Glows(), 0) << "his own is full";
    shotgun->SetClipAndAmmo(shotgun->GetClipSize() - 1, shotgun->GetMaxAmmo() - shotgun->GetClipSize());
    getWeaponPickups().Update(kStep);
    EXPECT_EQ(Glows(), 1) << "one round spent";

    CGun* gun = hero->GetGun();
    gun->SetClipAndAmmo(gun->GetClipSize(), gun->GetMaxAmmo() - gun->GetClipSize());
    getWeaponPickups().AddPickup("obj_gun_01", 12, -500.0f, 0.0f, 0.0f);
    getWeaponPickups().Update(kStep);
    EXPECT_EQ(Glows(), 1) << "only the shotgun's: the pistol is full";
    getWeaponPickups().RemovePickup("obj_shotgun_01");
    EXPECT_EQ(Glows(), 0) << "and none left over once it is gone";
    gun->SetClipAndAmmo(0, gun->GetMaxAmmo() - gun->GetClipSize());
    getWeaponPickups().Update(kStep);
    EXPECT_EQ(Glows(), 1);
    EXPECT_TRUE(Lies("obj_gun_01"));
}

TEST_F(Pickups, NamesWithoutAWeaponAreRefusedAndAReplacedPickupTakesItsGlowAlong)
{
    for (const char* name : {"obj_pistol_01", "gun_01", "ob", "", "obj__gun_01", "xobj_gun_01"}) {
        getWeaponPickups().AddPickup(name, 10, 0.0f, 0.0f, 0.0f);
        EXPECT_FALSE(Lies(name)) << name;
    }
    EXPECT_EQ(Glows(), 0);

    getWeaponPickups().AddPickup("obj_gun_07", 10, 100.0f, 0.0f, 0.0f);
    getWeaponPickups().AddPickup("obj_gun_07", 4, 200.0f, 0.0f, 0.0f);
    ASSERT_EQ(Glows(), 1);
    EXPECT_EQ(getParticleManager().GetEmitters()[0]->GetPosition(), D3DXVECTOR3(200.0f, 20.0f, 0.0f));
    EXPECT_EQ(getWeaponPickups().GetPickups().at("obj_gun_07").ammo, 4.0f);
    EXPECT_EQ(getWeaponPickups().GetPickups().at("obj_gun_07").hint, "aviso_gun");

    getWeaponPickups().RemovePickup("obj_gun_07");
    getWeaponPickups().RemovePickup("obj_gun_07");
    EXPECT_FALSE(Lies("obj_gun_07"));
    EXPECT_EQ(Glows(), 0);
}

TEST_F(Pickups, ALevelLaysOutItsOwnWeaponsAndTakesAwayEveryOtherWithItsGlow)
{
    CCollisionManager manager;
    ASSERT_TRUE(manager.ReadFile("data/XML/objects_instances.xml"));
    for (const char* level : {"hangares", "isla"}) {
        // A weapon an enemy dropped on the level left behind.
        getWeaponPickups().AddPickup("obj_gun_ene_07", 4, 0.0f, 0.0f, 0.0f);
        manager.LoadNewScenario(level);
        const auto& expected = manager.GetPickups(std::string(level) == "hangares");
        ASSERT_FALSE(expected.empty()) << level;
        EXPECT_EQ(getWeaponPickups().GetPickups().size(), expected.size()) << level;
        for (const auto& record : expected) {
            ASSERT_TRUE(Lies(record.first)) << record.first;
            const WeaponPickup& pickup = getWeaponPickups().GetPickups().at(record.first);
            EXPECT_EQ(pickup.ammo, static_cast<float>(record.second.ammo));
            EXPECT_EQ(pickup.weapon->GetModel().GetTransform().GetPosition().x, record.second.transform._41);
        }
        EXPECT_EQ(Glows(), static_cast<int>(expected.size())) << level;
    }
}

} // namespace
