// A new game in the shipped harbour: a soldier takes cover at wave 01's
// barrier crate against a hero across it. He crouches with his back to the
// crate, heading at the hero; leans out over it facing him to fire; and,
// once the hero walks away out of reach, vaults it toward him. Shot dead
// there he falls back away from the crate; in the staged first wave he
// keeps it after leaning out.
#include "loop_fixture.h"

#include <SDL.h>

#include <string>

#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"
#include "world/Parapet.h"

namespace looptest {
namespace {

// The barrier's crate, the spot on its face where cover is taken, and the
// way across it from there toward the yard beyond.
const D3DXVECTOR3 kCrate(-551.3f, 0.0f, -820.9f);
const D3DXVECTOR3 kCoverPoint(-602.5f, 0.0f, -868.6f);
const D3DXVECTOR3 kAcross = NormalizeVector(kCrate - kCoverPoint);
// The soldier starts off to one side on the crate's face side, 190 from
// its cover point; the hero across the crate, out along the way across
// within the soldier's reach of the cover point.
const D3DXVECTOR3 kSoldierAt(-700.0f, 9.231f, -780.0f);
D3DXVECTOR3 HeroAt(float out)
{
    return kCoverPoint + kAcross * out + D3DXVECTOR3(0.0f, 9.231f, 0.0f);
}

// Which way the body's chest faces on the ground: his right shoulder lies to
// the right of that (a body facing +z has +x on its left).
D3DXVECTOR3 ChestFacing(CEnemy* enemy)
{
    CCharacterEntity* body = enemy->GetEntity();
    const D3DXMATRIX r = body->GetBoneMatrix("EBip01 R UpperArm");
    const D3DXMATRIX l = body->GetBoneMatrix("EBip01 L UpperArm");
    const D3DXVECTOR3 across(r._41 - l._41, 0.0f, r._43 - l._43);
    D3DXMATRIX turn;
    D3DXMatrixRotationYawPitchRoll(&turn, enemy->GetPosition().GetYaw(), 0.0f, 0.0f);
    D3DXVECTOR3 right;
    D3DXVec3TransformNormal(&right, &across, &turn);
    return NormalizeVector(D3DXVECTOR3(right.z, 0.0f, -right.x));
}

// Where his head is from his feet, in the level's frame.
D3DXVECTOR3 HeadFromFeet(CEnemy* enemy)
{
    const D3DXMATRIX head = enemy->GetEntity()->GetBoneMatrix("EBip01 Head");
    const D3DXVECTOR3 local(head._41, head._42, head._43);
    D3DXMATRIX turn;
    D3DXMatrixRotationYawPitchRoll(&turn, enemy->GetPosition().GetYaw(), 0.0f, 0.0f);
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &local, &turn);
    return out;
}

float Ground(const D3DXVECTOR3& v, const D3DXVECTOR3& way)
{
    return v.x * way.x + v.z * way.z;
}

// Return on the menu, Space through the comic and the flight; the console
// wakes wave 03, whose soldier ene_10 is put down beside the crate (the
// other is taken out of play) and then the hero across it, looking on up
// the yard. The soldier sees him and runs for the crate's cover. What he
// does is read back at each step; in the last, W walks the hero away.
class CoverWatcher : public NewGamePlayer {
public:
    void UpdateFrame(float dt) override
    {
        ++frames;
        held += dt;
        keys.SetKey(DIK_SPACE, frames == 2 || frames == 4);
        if (frames == 8)
            getScriptHost().RunCommand("Zone room01 " + wave);
        getPlayer()->SetLife(350);
        CEnemy* soldier = getEnemyManager()->getThisBotOfCurrentWave(soldierName);
        CIAEnemyCover* ai = soldier ? soldier->getIA() : nullptr;
        bool walk = false;
        switch (step) {
        case 0:
            if (frames >= 14 && ai) {
                PlaceSoldier(soldier);
                Next();
            }
            break;
        case 1:
            // His body stands where it was put before the hero comes: none
            // of the wave meets him on the way.
            if (frames >= 16) {
                PlaceHero();
                Next();
            }
            break;
        case 2:
            // Down behind it, the enter pose played out.
            if (ai->GetState() == CIAEnemyCover::COVER && !ai->IsHolding() && held > 0.2f) {
                crouched = Read(soldier);
                Next();
                if (shotInCover) {
                    // The hero's pistol shot into his body, ten times over.
                    const D3DXVECTOR3 from = getPlayer()->GetPosition().GetPosition() + D3DXVECTOR3(0.0f, 100.0f, 0.0f);
                    getEnemyManager()->ApplyPlayerShot(soldierName, 10.0f, "bo", from);
                    step = kFalling;
                }
            }
            break;
        case kFalling:
            if (held > 2.5f) {
                fallen = Read(soldier);
                step = lastStep;
            }
            break;
        case 3:
            // Leant out, the rise over the crate done.
            if (ai->GetState() != CIAEnemyCover::SHOOTING_FROM_COVER)
                held = 0.0f;
            else if (held > 0.7f) {
                leant = Read(soldier);
                Next();
            }
            break;
        case 4:
            if (ai->GetState() != CIAEnemyCover::SHOOTING_FROM_COVER) {
                after = Read(soldier);
                Next();
            }
            break;
        case 5:
            // Back out of his reach, straight on across the crate.
            walk = ManhattanDistanceXZ(getPlayer()->GetPosition().GetPosition(), kCoverPoint) < 840.0f;
            if (ai->GetState() == CIAEnemyCover::JUMPING_COVER) {
                jumped = Read(soldier);
                Next();
            }
            break;
        case 6:
            walk = false;
            if (ai->GetState() != CIAEnemyCover::JUMPING_COVER) {
                landed = Read(soldier);
                Next();
            }
            break;
        default:
            break;
        }
        keys.SetKey(DIK_W, walk);
        CGameCalls::UpdateFrame(dt);
        if (step == lastStep || frames > 900)
            PushWindowClose();
    }

    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive || frames % 10 == 0)
            CGameCalls::RenderFrame(dt);
    }

    // What the player sees of the soldier: where he is, which way he heads
    // and his chest faces, against the way to the hero; his state; the
    // parapet he holds.
    struct Seen {
        D3DXVECTOR3 at{0, 0, 0};
        float heading = 0.0f, coverHeading = 0.0f, toHero = 0.0f;
        D3DXVECTOR3 chest{0, 0, 0}, head{0, 0, 0};
        int state = -1;
        std::string holds;
    };

    Seen crouched, leant, after, jumped, landed, fallen;
    static constexpr int kFalling = 20;
    int frames = 0, step = 0, lastStep = 7;
    float held = 0.0f;
    // The wave woken, its soldier put by the crate, and whether the hero
    // turns back to face him across it rather than look on up the yard.
    std::string wave = "wave_03", soldierName = "ene_10";
    bool facesHim = false, shotInCover = false;
    float heroOut = 480.0f; // within a pistol's 800

private:
    void PlaceHero() const
    {
        const float heroYaw = YawFromDirection(facesHim ? -kAcross : kAcross);
        CPlayer* hero = getPlayer();
        const D3DXVECTOR3 at = HeroAt(heroOut);
        getCamera().LoadValues(at.x, at.y, at.z, D3DDevice);
        hero->GetPosition().SetPosition(at);
        getCollisionManager().setNewPlayerPosition(at);
        hero->GetPosition().SetYaw(heroYaw);
        getCamera().SetYaw(heroYaw);
    }

    void PlaceSoldier(CEnemy* soldier) const
    {
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
            if (entry.second != soldier)
                entry.second->getIA()->destroyThisGuy();
        soldier->GetPosition().SetPosition(kSoldierAt);
        soldier->GetPosition().SetYaw(YawFromDirection(HeroAt(heroOut) - kSoldierAt));
        getCollisionManager().setNewEnemyPosition(soldierName, kSoldierAt);
    }

    static Seen Read(CEnemy* soldier)
    {
        Seen seen;
        seen.at = soldier->GetPosition().GetPosition();
        seen.heading = soldier->GetPosition().GetYaw();
        seen.coverHeading = soldier->getIA()->GetCoverYaw();
        seen.toHero = YawFromDirection(getPlayer()->GetPosition().GetPosition() - seen.at);
        seen.chest = ChestFacing(soldier);
        seen.head = HeadFromFeet(soldier);
        seen.state = soldier->getIA()->GetState();
        const TParapet* held = soldier->getIA()->GetOccupiedParapet();
        seen.holds = held ? held->name : "";
        return seen;
    }

    void Next()
    {
        ++step;
        held = 0.0f;
    }

};

class EnemyCoverRun : public ShippedRun<CoverWatcher> {
protected:
    EnemyCoverRun() : ShippedRun("enemy_cover") {}
};

// Behind the crate he heads at the hero across it, his chest turned away
// from him (his back to the crate), on its face side; leant out his chest
// faces the hero over it; walked away from, he vaults it toward the hero
// and comes down clear of its far side.
TEST_F(EnemyCoverRun, ASoldierCrouchesBackToTheCrateLeansOutAtTheHeroAndVaultsTowardHim)
{
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.step, player.lastStep) << "stopped at step " << player.step << " after " << player.frames;
    const auto& c = player.crouched;
    EXPECT_EQ(c.holds, "p_b_s_A_B_515");
    EXPECT_LT(ManhattanDistanceXZ(c.at, kCoverPoint), 30.0f) << "on the crate's cover spot";
    EXPECT_NEAR(AngleDifference(c.heading, YawFromDirection(kAcross)), 0.0f, 0.01f) << "heading across the crate";
    EXPECT_NEAR(AngleDifference(c.heading, c.coverHeading), 0.0f, 1e-4f);
    EXPECT_LT(std::fabs(AngleDifference(c.heading, c.toHero)), 0.2f) << "at the hero";
    EXPECT_LT(Ground(c.chest, kAcross), -0.7f) << "his back to the crate";

    const auto& l = player.leant;
    EXPECT_LT(ManhattanDistanceXZ(l.at, kCoverPoint), 30.0f) << "still at the crate";
    EXPECT_LT(std::fabs(AngleDifference(l.heading, l.toHero)), 0.1f) << "turned to the hero";
    EXPECT_GT(Ground(l.chest, kAcross), 0.7f) << "facing over the crate";

    // The hero looked away up the yard: the lean-out ends in cover.
    EXPECT_EQ(player.after.state, CIAEnemyCover::COVER);
    EXPECT_EQ(player.after.holds, "p_b_s_A_B_515");

    // Over it along the way across, toward the hero, and down past the
    // crate's far face (40 past its middle).
    EXPECT_NEAR(AngleDifference(player.jumped.heading, YawFromDirection(kAcross)), 0.0f, 0.01f);
    EXPECT_LT(Ground(player.jumped.at - kCrate, kAcross), -40.0f) << "from its face side";
    EXPECT_GT(Ground(player.landed.at - kCrate, kAcross), 60.0f) << "down beyond it";
    // Out after him, in the open: searching, or already shooting.
    EXPECT_TRUE(player.landed.state == CIAEnemyCover::SEARCHING || player.landed.state == CIAEnemyCover::SHOOTING)
        << player.landed.state;
    EXPECT_EQ(player.landed.holds, "");
}

// The first wave is staged and searches for nobody: its shotgun, in
// cover at the crate, leans out at a hero facing him across it and then
// ducks back behind the crate he still holds (the wave's alarm sends him
// to his cover again).
TEST_F(EnemyCoverRun, InTheFirstWaveASoldierFacedAcrossTheCrateDucksBackBehindIt)
{
    player.wave = "wave_01";
    player.soldierName = "ene_6";
    player.facesHim = true;
    player.heroOut = 300.0f; // within a shotgun's 500
    player.lastStep = 5;
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.step, player.lastStep) << "stopped at step " << player.step << " after " << player.frames;
    EXPECT_EQ(player.crouched.holds, "p_b_s_A_B_515");
    EXPECT_LT(std::fabs(AngleDifference(player.leant.heading, player.leant.toHero)), 0.1f) << "turned to the hero";
    const auto& a = player.after;
    EXPECT_TRUE(a.state == CIAEnemyCover::COVER || a.state == CIAEnemyCover::MOVE_TO_COVER) << a.state;
    EXPECT_EQ(a.holds, "p_b_s_A_B_515");
    EXPECT_LT(ManhattanDistanceXZ(a.at, kCoverPoint), 30.0f) << "still at the crate";
}

// Shot dead while crouched behind the crate, he is blown back against the
// way he heads, away from the crate and the hero across it, and lies with
// his head clear of it.
TEST_F(EnemyCoverRun, ASoldierShotDeadInCoverFallsBackAwayFromTheCrate)
{
    player.shotInCover = true;
    ASSERT_EQ(VantorelMain(), 0);
    ASSERT_EQ(player.step, player.lastStep) << "stopped at step " << player.step << " after " << player.frames;
    const auto& f = player.fallen;
    EXPECT_EQ(f.state, CIAEnemyCover::DEAD);
    EXPECT_EQ(f.holds, "");
    EXPECT_NEAR(AngleDifference(f.heading, YawFromDirection(kAcross)), 0.0f, 0.01f) << "heading across the crate";
    EXPECT_GT(player.crouched.head.y, 30.0f);
    EXPECT_LT(f.head.y, 15.0f) << "lying";
    EXPECT_LT(Ground(f.head, kAcross), -15.0f) << "his head back from his feet, away from the crate";
    // The crate's face lies 40 from its middle.
    EXPECT_LT(Ground(f.at + f.head - kCrate, kAcross), -60.0f) << "his head clear of the crate";
}

} // namespace
} // namespace looptest
