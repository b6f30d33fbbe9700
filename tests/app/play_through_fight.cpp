// The scripted player's hands in a fight: walking to a place, aiming the
// camera, shooting a target from a spot that sees it, re-arming, and taking a
// wave down.
#include "play_through.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "app/GameStateFlags.h"
#include "app/Startup.h"
#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "platform/sdl_window.h"
#include "scene/CharacterEntity.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "player/WeaponPickups.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

extern "C" {
#include <lua.h>
}

namespace playthrough {

bool Standing(CEnemy* enemy)
{
    CIAEnemyCover* ai = enemy->getIA();
    if (ai->IsDestroyed() || ai->IsDying() || ai->GetState() == CIAEnemyCover::DEAD || enemy->GetLife() <= 0)
        return false;
    // A docker is done with once shot: he runs off and the wave lets him go.
    const std::string name = enemy->GetName();
    if (name.size() > 4 && name[4] == 'D')
        return !ai->IsDockerHit();
    return true;
}

namespace {

float FlatGap(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z));
}


bool IsDocker(CEnemy* enemy)
{
    const std::string name = enemy->GetName();
    return name.size() > 4 && name[4] == 'D';
}

int Rounds(const IWeapon* weapon)
{
    return weapon ? weapon->GetCurrentClip() + weapon->GetAmmo() : 0;
}

// Rounds of the weapons the hero owns other than the one in his hand.
int OtherRounds()
{
    CPlayer* hero = getPlayer();
    const IWeapon* current = hero->GetCurrentWeapon();
    int rounds = 0;
    if (current != hero->GetGun())
        rounds += Rounds(hero->GetGun());
    if (hero->HasThompson() && current != hero->GetThompson())
        rounds += Rounds(hero->GetThompson());
    if (hero->HasShotgun() && current != hero->GetShotgun())
        rounds += Rounds(hero->GetShotgun());
    return rounds;
}

// The nearest weapon lying about.
bool NearestPickup(D3DXVECTOR3* at, float within = 1e29f)
{
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    float best = 1e30f;
    for (const auto& entry : getWeaponPickups().GetPickups()) {
        if (!entry.second.weapon)
            continue;
        const D3DXMATRIX& m = entry.second.weapon->GetModel().GetTransform().GetMatrix();
        const D3DXVECTOR3 p(m._41, m._42, m._43);
        const float d = FlatGap(hero, p);
        if (d < best) {
            best = d;
            *at = p;
        }
    }
    return best < within;
}


} // namespace

void Player::Place(const D3DXVECTOR3& position, float yaw)
{
    m_Home = position;
    getPlayer()->GetPosition().SetPosition(position);
    getCollisionManager().setNewPlayerPosition(position);
    getPlayer()->GetPosition().SetYaw(yaw);
    getCamera().SetYaw(yaw);
}

bool Player::WalkTo(const D3DXVECTOR3& target, float reach)
{
    // Out of cover first: back, as the player would.
    if (getPlayer()->GetControllerSelector()->GetStateName() == "PARAPETED") {
        keys.SetKey(DIK_W, false);
        Tap(DIK_S);
        return false;
    }
    keys.SetKey(DIK_S, false);
    keys.SetKey(DIK_A, false);
    keys.SetKey(DIK_D, false);
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    // Held up against a corner for over a second: back off and step aside a
    // moment, one side and then the other.
    if (m_UnstickFrames > 0) {
        --m_UnstickFrames;
        keys.SetKey(DIK_W, false);
        keys.SetKey(DIK_S, true);
        keys.SetKey(m_UnstickLeft ? DIK_A : DIK_D, true);
        return false;
    }
    if (++m_WalkFrames % 40 == 0) {
        if (FlatGap(hero, m_WalkFrom) < 15.0f && FlatGap(hero, target) >= reach) {
            // Held up at the same place again, by a stack or a fence wider
            // than a short step aside clears, he steps further aside the
            // same way each time.
            m_HeldAgain = FlatGap(hero, m_HeldAt) < 60.0f ? m_HeldAgain + 1 : 0;
            m_HeldAt = hero;
            m_UnstickFrames = 20 + 15 * std::min(m_HeldAgain, 4);
            if (m_HeldAgain == 0)
                m_UnstickLeft = !m_UnstickLeft;
            if (options.trace)
                std::printf("  held up at (%.0f %.0f %.0f): backing off\n", hero.x, hero.y, hero.z);
        }
        m_WalkFrom = hero;
    }
    // The island's plateau and its square meet only at the ramp, and a
    // fence stands before the ramp's foot.
    if (getScenario()->scenarioName == "isla") {
        const D3DXVECTOR3 via = IslandWaypoint(hero, target);
        if (via != target) {
            getCamera().SetYaw(std::atan2(via.x - hero.x, via.z - hero.z));
            getCamera().SetWantedPitch(0.15f);
            keys.SetKey(DIK_W, true);
            return false;
        }
    }
    if (FlatGap(hero, target) < reach) {
        keys.SetKey(DIK_W, false);
        return true;
    }
    float yaw = std::atan2(target.x - hero.x, target.z - hero.z);
    // On the way to a soldier he keeps out of the volumes that start the
    // next waves: one crossed on the way would leave this wave's last men
    // standing behind him for good.
    if (!UpTheLevel(target))
        for (float turn : {0.0f, 0.6f, -0.6f, 1.2f, -1.2f, 1.8f, -1.8f}) {
            const D3DXVECTOR3 ahead = hero + D3DXVECTOR3(std::sin(yaw + turn), 0.0f, std::cos(yaw + turn)) * 60.0f;
            if (!UpTheLevel(ahead)) {
                yaw += turn;
                break;
            }
        }
    getCamera().SetYaw(yaw);
    getCamera().SetWantedPitch(0.15f);
    keys.SetKey(DIK_W, true);
    return false;
}

// Points the camera at the point, as the mouse would turn it. True once
// its aim runs through the point closely enough to fire.
bool Player::Aim(const D3DXVECTOR3& point)
{
    CCamera& camera = getCamera();
    const D3DXVECTOR3 from = camera.GetLookAt();
    const D3DXVECTOR3 to = point - from;
    const float flat = std::sqrt(to.x * to.x + to.z * to.z);
    const float yaw = std::atan2(to.x, to.z);
    const float pitch = -std::atan2(to.y, flat);
    camera.SetYaw(yaw);
    camera.SetWantedPitch(pitch);
    D3DXVECTOR3 aim = camera.GetLookAt() - camera.GetPosition();
    const float length = D3DXVec3Length(&aim);
    const float distance = D3DXVec3Length(&to);
    if (length <= 0.0f || distance <= 0.0f)
        return false;
    aim /= length;
    // How far the aim line passes from the point.
    const D3DXVECTOR3 along = aim * D3DXVec3Dot(&to, &aim);
    const D3DXVECTOR3 miss = to - along;
    return D3DXVec3Dot(&to, &aim) > 0.0f && D3DXVec3Length(&miss) < 6.0f;
}

void Player::ShootAt(const D3DXVECTOR3& point, const std::string& box)
{
    IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    if (weapon && weapon->NeedsReload()) {
        keys.SetButton(0, false);
        Tap(DIK_R);
        return;
    }
    keys.SetKey(DIK_R, false);
    if (m_Moving) {
        keys.SetButton(1, false);
        keys.SetButton(0, false);
        m_FireDown = false;
        if (options.trace && m_StepFrames % 30 == 0)
            std::printf("  moving to (%.0f %.0f %.0f) to shoot from there\n", m_Spot.x, m_Spot.y, m_Spot.z);
        if (WalkTo(m_Spot, 40.0f) || ++m_SpotFrames > 210) {
            m_Moving = false;
            m_SpotFrames = 0;
            m_OffTargetFrames = 0;
            m_StuckFrames = 0;
        }
        return;
    }
    // Shots that change nothing for long, the walks closer or back
    // included (they can end against the same stack each time): from
    // elsewhere.
    if (++m_StuckFrames > 330) {
        MoveElsewhere(point);
        return;
    }
    const D3DXVECTOR3 eye = getCamera().GetLookAt();
    const RayHit wall = getCollisionManager().CastRay(eye, point);
    const bool blocked = wall.hit && wall.name != box && FlatGap(wall.hitPoint, point) > 12.0f;
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    const float flat = FlatGap(hero, point);
    const float rise = point.y - eye.y;
    // On the island, a target on the plateau from the square, or one in the
    // square that the plateau's edge hides or that stands too steep below:
    // by the ramp. One in plain sight below is shot from up here, where the
    // drop keeps the rest of them off.
    const bool downThere = -rise > flat * std::tan(0.45f);
    if (getScenario()->scenarioName == "isla" && (hero.y > 340.0f) != (point.y > 250.0f) &&
        (hero.y < 340.0f || blocked || downThere)) {
        keys.SetButton(1, false);
        keys.SetButton(0, false);
        m_FireDown = false;
        WalkTo(point, 130.0f);
        return;
    }
    // Too steep for the camera's upward limit: back off to where the angle is kept.
    const float needed = rise / std::tan(0.3f);
    if (!blocked && !m_Approach && rise > 0.0f && flat < needed && flat > 1.0f) {
        const D3DXVECTOR3 away((hero.x - point.x) / flat, 0.0f, (hero.z - point.z) / flat);
        keys.SetButton(1, false);
        keys.SetButton(0, false);
        m_FireDown = false;
        WalkTo(point + away * (needed + 60.0f), 30.0f);
        return;
    }
    // Too steep below for the camera's downward limit: closer, even down a drop.
    const bool steepBelow = rise < 0.0f && -rise > flat * std::tan(0.5f);
    // Behind a wall: to a spot round it with a clear shot, when there is one.
    D3DXVECTOR3 spot;
    if (blocked && m_StepFrames >= m_NextSpotSearch) {
        m_NextSpotSearch = m_StepFrames + 150;
        if (FindShootingSpot(point, box, &spot) && FlatGap(spot, hero) > 40.0f) {
            if (options.trace)
                std::printf("  %s in the way: to (%.0f %.0f %.0f) for a clear shot\n", wall.name.c_str(), spot.x,
                            spot.y, spot.z);
            MoveElsewhere(point);
            m_Spot = spot;
            return;
        }
    }
    // Too far, behind a wall, or shooting into the target's cover: closer.
    if (blocked || m_Approach || steepBelow || flat > 1400.0f) {
        if (options.trace && m_StepFrames % 30 == 0)
            std::printf("  walking to (%.0f %.0f %.0f): %s\n", point.x, point.y, point.z,
                        blocked ? wall.name.c_str() : m_Approach ? "closer" : "far");
        keys.SetButton(1, false);
        m_FireDown = false;
        keys.SetButton(0, false);
        // Perched right above him (a bush top, a ledge): "close enough"
        // would leave the hero standing there for good, the camera unable
        // to look that steeply down; he steps off past him instead.
        D3DXVECTOR3 to = point;
        float reach = 130.0f;
        if (steepBelow && !blocked && flat < reach) {
            const D3DXVECTOR3 on = flat > 1.0f ? D3DXVECTOR3((point.x - hero.x) / flat, 0.0f, (point.z - hero.z) / flat)
                                               : D3DXVECTOR3(std::sin(getCamera().GetWantedYaw()), 0.0f,
                                                             std::cos(getCamera().GetWantedYaw()));
            to = point + on * 100.0f;
            reach = 30.0f;
        }
        if (WalkTo(to, reach) || ++m_ApproachFrames > 240) {
            m_Approach = false;
            m_ApproachFrames = 0;
        }
        return;
    }
    keys.SetButton(1, true);
    for (int key : {DIK_W, DIK_S, DIK_A, DIK_D})
        keys.SetKey(key, false);
    const bool onTarget = Aim(point);
    m_FireDown = onTarget && !m_FireDown;
    keys.SetButton(0, m_FireDown);
    if (onTarget)
        ++m_OnTargetFrames;
    // The view held off the point (the camera against a wall or a stack of
    // crates): from elsewhere.
    m_OffTargetFrames = onTarget ? 0 : m_OffTargetFrames + 1;
    if (m_OffTargetFrames > 45)
        MoveElsewhere(point);
    if (options.trace && m_StepFrames % 30 == 0) {
        const D3DXVECTOR3 l = getCamera().GetLookAt(), e = getCamera().GetPosition();
        std::printf("  aim at (%.0f %.0f %.0f) from look (%.0f %.0f %.0f) eye (%.0f %.0f %.0f) on %d, target %s, "
                    "state %s, clip %d\n",
                    point.x, point.y, point.z, l.x, l.y, l.z, e.x, e.y, e.z, onTarget, m_Target.c_str(),
                    getPlayer()->GetControllerSelector()->GetStateName().c_str(),
                    weapon ? weapon->GetCurrentClip() : -1);
    }
}

void Player::MoveElsewhere(const D3DXVECTOR3& point)
{
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    const float flat = std::max(FlatGap(hero, point), 1.0f);
    const D3DXVECTOR3 away((hero.x - point.x) / flat, 0.0f, (hero.z - point.z) / flat);
    const D3DXVECTOR3 side(away.z, 0.0f, -away.x);
    // Round the point to either side, farther off, round to its flanks,
    // nearer, and round behind it: a stack of crates between is got round
    // one way or the other.
    static const float kTurn[] = {0.6f, -0.6f, 0.0f, 1.4f, -1.4f, 0.0f, 2.4f, -2.4f};
    static const float kFarther[] = {0.0f, 0.0f, 250.0f, 150.0f, 150.0f, -300.0f, 150.0f, 150.0f};
    // Only spots on his own level: one up or down a drop is walked at for
    // nothing while the shots come in.
    bool found = false;
    for (int tries = 0; tries < 8 && !found; ++tries) {
        const int k = m_SpotTry++ % 8;
        const D3DXVECTOR3 round = away * std::cos(kTurn[k]) + side * std::sin(kTurn[k]);
        m_Spot = point + round * std::max(flat + kFarther[k], 300.0f);
        m_Spot.y = hero.y;
        found = SameLevel(m_Spot) && WalkableWay(hero, m_Spot) && !WayUpTheLevel(hero, m_Spot);
    }
    if (!found)
        m_Spot = hero;
    m_Moving = true;
    m_Approach = false;
    m_ApproachFrames = 0;
    m_SpotFrames = 0;
    m_OffTargetFrames = 0;
    m_StuckFrames = 0;
}

void Player::ForgetSpot()
{
    m_NextSpotSearch = 0;
    m_Moving = false;
    m_SpotFrames = 0;
    m_OffTargetFrames = 0;
    m_StuckFrames = 0;
}

// Another weapon when the one in hand is empty, or a weapon lying about.
bool Player::Rearm()
{
    CPlayer* hero = getPlayer();
    if (Rounds(hero->GetCurrentWeapon()) > 0)
        return false;
    keys.SetButton(0, false);
    keys.SetButton(1, false);
    if (OtherRounds() > 0) {
        // The mouse wheel, a notch every other frame.
        if ((m_StepFrames & 1) == 0)
            platform::FeedMouseInput(0, 0, 120);
        return true;
    }
    D3DXVECTOR3 pickup;
    if (NearestPickup(&pickup))
        WalkTo(pickup, 10.0f);
    return true;
}

void Player::ShootThing(const D3DXVECTOR3& point, const std::string& box)
{
    AnswerPrompts();
    if (getGUI().comboHintActive || getPlayer()->GetLife() <= 0)
        return;
    D3DXVECTOR3 pickup;
    if (Rounds(getPlayer()->GetCurrentWeapon()) + OtherRounds() < 10 && NearestPickup(&pickup, 1500.0f)) {
        keys.SetButton(0, false);
        keys.SetButton(1, false);
        WalkTo(pickup, 10.0f);
        return;
    }
    if (!Rearm())
        ShootAt(point, box);
}

bool Player::FightWave()
{
    AnswerPrompts();
    if (getGUI().comboHintActive || getPlayer()->GetLife() <= 0)
        return false;
    CEnemyManager& enemies = *getEnemyManager();
    const auto& bodies = getCollisionManager().GetEnemyBodies();
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    CEnemy* nearest = nullptr;
    float best = 1e30f;
    bool anyStanding = false;
    for (const auto& entry : enemies.GetCurrentWaveEnemies()) {
        CEnemy* enemy = entry.second;
        if (!Standing(enemy))
            continue;
        anyStanding = true;
        const auto body = bodies.find(enemy->GetName());
        if (body == bodies.end() || !body->second.parts.count("EBip01 Head"))
            continue;
        const D3DXVECTOR3 at = enemy->GetPosition().GetPosition();
        float d = FlatGap(hero, at);
        // Stay on one target while it stands, unless it hides too long.
        if (enemy->GetName() == m_Target && m_TargetFrames < 300)
            d *= 0.25f;
        // A docker in reach on the hero's level hits with every shot, and
        // goes down for good at the first hit: him first.
        if (IsDocker(enemy) && d < 1390.0f && SameLevel(at))
            d *= 0.05f;
        // One he can shoot from where he stands before one he would have to
        // go round or down to: that walk is taken under everybody's fire.
        const btVector3 top = body->second.parts.at("EBip01 Head").ghost->getWorldTransform().getOrigin();
        const D3DXVECTOR3 head(top.x(), top.y(), top.z());
        const D3DXVECTOR3 eye = hero + D3DXVECTOR3(0.0f, 110.0f, 0.0f);
        const float below = eye.y - head.y;
        if (!ClearLine(eye, head, "") || below > FlatGap(eye, head) * std::tan(0.45f))
            d *= 4.0f;
        if (d < best) {
            best = d;
            nearest = enemy;
        }
    }
    D3DXVECTOR3 pickup;
    if (!anyStanding) {
        // What the fallen left, picked up on the way on.
        if (++m_GatherFrames < 300 && NearestPickup(&pickup, 700.0f)) {
            keys.SetButton(0, false);
            keys.SetButton(1, false);
            WalkTo(pickup, 10.0f);
            return false;
        }
        Release();
        m_Target.clear();
        m_GatherFrames = 0;
        return true;
    }
    CPlayer* self = getPlayer();
    // Hurt: back out of their sight until he has his breath back. Found out
    // there, or held up on the way: another place, a few times; then he
    // fights on where he is.
    if (m_NoRetreatFrames > 0)
        --m_NoRetreatFrames;
    const int life = self->GetLife();
    const bool foundOut = m_Retreating && m_RetreatLife >= 0 && life < m_RetreatLife - 20;
    bool held = false;
    if (m_Retreating && m_RetreatLife < 0 && ++m_HideWalkFrames % 45 == 0) {
        held = FlatGap(hero, m_HideWalkFrom) < 20.0f;
        m_HideWalkFrom = hero;
    }
    // One standing close with nothing between: a shot at the head is
    // quicker than the way out of his sight.
    const bool closeShot = nearest && !IsDocker(nearest) && FlatGap(hero, nearest->GetPosition().GetPosition()) < 350.0f &&
                           ClearLine(getCamera().GetLookAt(), nearest->GetPosition().GetPosition() +
                                                                  D3DXVECTOR3(0.0f, 75.0f, 0.0f), "");
    if (((life < 220 && !m_Retreating && m_NoRetreatFrames == 0) || foundOut || held) && !closeShot) {
        if (m_Retreating)
            m_BadHides.push_back(m_Hide);
        std::vector<D3DXVECTOR3> eyes;
        for (const auto& entry : enemies.GetCurrentWaveEnemies())
            if (Standing(entry.second))
                eyes.push_back(entry.second->GetPosition().GetPosition() + D3DXVECTOR3(0.0f, 75.0f, 0.0f));
        std::vector<D3DXVECTOR3> places = refuges;
        places.push_back(m_Home);
        if (m_BadHides.size() <= 3 && FindHidingSpot(eyes, places, m_BadHides, &m_Hide)) {
            m_Retreating = true;
            m_RetreatLife = -1;
            m_RetreatFrames = 0;
            m_HideWalkFrames = 0;
            m_HideWalkFrom = hero;
            if (options.trace)
                std::printf("  hurt: hiding at (%.0f %.0f %.0f)\n", m_Hide.x, m_Hide.y, m_Hide.z);
        } else {
            // Nowhere out of their sight: fight on.
            m_Retreating = false;
            m_NoRetreatFrames = m_BadHides.empty() ? 150 : 450;
            m_BadHides.clear();
        }
    }
    if (m_Retreating && (life >= 320 || ++m_RetreatFrames > 600)) {
        m_Retreating = false;
        m_RetreatFrames = 0;
        m_BadHides.clear();
    }
    if (m_Retreating) {
        keys.SetButton(0, false);
        keys.SetButton(1, false);
        if (WalkTo(m_Hide, 40.0f) && m_RetreatLife < 0)
            m_RetreatLife = life;
        return false;
    }
    // Low on rounds with a weapon lying near: that first.
    if (Rounds(self->GetCurrentWeapon()) + OtherRounds() < 10 && NearestPickup(&pickup, 900.0f)) {
        keys.SetButton(0, false);
        keys.SetButton(1, false);
        WalkTo(pickup, 10.0f);
        return false;
    }
    if (Rearm())
        return false;
    if (!nearest) {
        keys.SetButton(0, false);
        return false;
    }
    if (nearest->GetName() != m_Target) {
        m_Target = nearest->GetName();
        m_TargetFrames = 0;
        m_OnTargetFrames = 0;
        m_TargetLife = nearest->GetLife();
        m_Approach = false;
        m_StuckFrames = 0;
    }
    // Shots that do not hurt it go into its cover: get round to it.
    if (nearest->GetLife() < m_TargetLife) {
        m_TargetLife = nearest->GetLife();
        m_OnTargetFrames = 0;
        m_StuckFrames = 0;
    } else if (m_OnTargetFrames > 60) {
        m_OnTargetFrames = 0;
        m_Approach = true;
    }
    ++m_TargetFrames;
    if (m_TargetFrames >= 600)
        m_TargetFrames = 0;
    const btVector3 head =
        bodies.at(m_Target).parts.at("EBip01 Head").ghost->getWorldTransform().getOrigin();
    ShootAt(D3DXVECTOR3(head.x(), head.y(), head.z()), "");
    return false;
}

} // namespace playthrough
