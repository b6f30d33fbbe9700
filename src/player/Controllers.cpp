#include "player/Controllers.h"

#include <cmath>

#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "input/InputManager.h"
#include "math/VectorMath.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Parapet.h"
#include "world/Scenario.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"

namespace {

// The pose animations follow the weapon in hand, told by its name; anything
// that is neither the pistol nor the shotgun is the Thompson.
enum class Pose { Idle, Run, Reload, Roll, AimStand, AimWalk, AimShot };

std::string PoseAnimation(Pose pose, const IWeapon* weapon)
{
    const std::string name = weapon ? weapon->GetName() : "GUN";
    const int column = name == "GUN" ? 0 : name == "SHOTGUN" ? 1 : 2;
    static const char* const table[][3] = {
        {"idle_ostrel", "idle_escopeta", "idle_thompson"},
        {"run", "run_shotgun", "run_thompson"},
        {"reload_ostrel", "reload_shotgun", "reload_thompson"},
        {"Roll", "roll_shotgun", "roll_thompson"},
        {"aiming_idle", "aiming_shotgun_idle", "aiming_thompson_idle"},
        {"aiming_walking", "aiming_shotgun_walking", "aiming_thompson_walking"},
        {"shoot_aiming", "aiming_shotgun_fire", "aiming_thompson_fire"},
    };
    return table[static_cast<int>(pose)][column];
}

std::string PoseAnimation(Pose pose)
{
    return PoseAnimation(pose, getPlayer()->GetCurrentWeapon());
}

CCharacterEntity* HeroBody()
{
    return getPlayer()->GetEntity();
}

CControllerSelector& Selector()
{
    return *getPlayer()->GetControllerSelector();
}

void BlendOnly(const std::string& cycle, float clearFade, float delay)
{
    if (CCharacterEntity* body = HeroBody()) {
        body->ClearAllCycles(clearFade);
        body->BlendCycle(cycle, 1.0f, delay);
    }
}

float PlayAction(const std::string& name, float fadeIn, float fadeOut)
{
    CCharacterEntity* body = HeroBody();
    return body ? body->ExecuteAction(name, fadeIn, fadeOut, 1.0f, false) : -1.0f;
}

void StopAction()
{
    if (CCharacterEntity* body = HeroBody())
        body->RemoveAction();
}

bool IsDirection(int code)
{
    return code >= ACTION_FORWARD && code <= ACTION_RIGHT;
}

// The directions held now, in the order they are tried: forward, left, back,
// right (keys, or the pad's left stick as of its previous poll).
std::vector<int> HeldDirections()
{
    CInputManager* input = getInputManager();
    const CKeyboard keys = input->GetKeyboardState();
    const CGamepad pad = input->GetGamepadState();
    const float x = pad.GetPrevLeftStickX(), y = pad.GetPrevLeftStickY();
    std::vector<int> held;
    if (keys.IsKeyDown(0x11) || y > 0.0f)
        held.push_back(ACTION_FORWARD);
    if (keys.IsKeyDown(0x1E) || x < 0.0f)
        held.push_back(ACTION_LEFT);
    if (keys.IsKeyDown(0x1F) || y < 0.0f)
        held.push_back(ACTION_BACK);
    if (keys.IsKeyDown(0x20) || x > 0.0f)
        held.push_back(ACTION_RIGHT);
    return held;
}

bool AimInputHeld()
{
    CInputManager* input = getInputManager();
    return input->GetGamepadState().GetLeftTrigger() > 30 || input->GetMouseState().IsRightButtonDown();
}

// Swaps the weapon in hand, with the pose's cycle of the new one.
void SwapWeaponInPose(Pose pose)
{
    CPlayer* hero = getPlayer();
    IWeapon* next = NextWeapon();
    CCharacterEntity* body = HeroBody();
    if (body)
        body->ClearCycle(PoseAnimation(pose), 0.1f);
    hero->SetCurrentWeapon(next);
    if (body)
        body->BlendCycle(PoseAnimation(pose), 1.0f, 0.1f);
}

// The sand of the island's beach: these boxes, or nothing under him.
bool IsSand(const std::string& box)
{
    static const char* const sand[] = {"col_isla_1",   "col_isla_82",  "col_isla_83", "col_isla_85",
                                       "col_isla_104", "col_isla_105", "col_isla_216"};
    for (const char* name : sand)
        if (box == name)
            return true;
    return false;
}

} // namespace

// Menus and camera flights take the controls away: presses are dropped.
bool ControlsTaken()
{
    const CGUIManager& gui = getGUI();
    return getCamera().IsFreeCamera() || gui.pauseActive || gui.mainMenuActive || gui.optionsActive;
}

bool ScriptedSequence()
{
    return getRigid()->scriptedSequenceRunning;
}

bool TargetInputHeld()
{
    CInputManager* input = getInputManager();
    const CGamepad pad = input->GetGamepadState();
    return pad.IsLeftShoulderDown() || pad.IsRightShoulderDown() || input->GetKeyboardState().IsKeyDown(0x10);
}

// The next owned weapon after the current one, which is told by its clip
// size: up to 6 the pistol, up to 20 the shotgun, above that the Thompson.
IWeapon* NextWeapon()
{
    CPlayer* hero = getPlayer();
    const std::uint16_t clip = hero->GetCurrentWeapon()->GetClipSize();
    IWeapon* gun = hero->GetGun();
    IWeapon* shotgun = hero->GetShotgun();
    IWeapon* thompson = hero->GetThompson();
    if (clip < 7)
        return hero->HasThompson() ? thompson : shotgun;
    if (clip <= 20)
        return gun;
    return hero->HasShotgun() ? shotgun : gun;
}

// Regeneration: 3 life a frame once he has gone long enough unhurt.
void Regenerate(float seconds, float after)
{
    CControllerSelector& selector = Selector();
    selector.SetTimeSinceHit(selector.GetTimeSinceHit() + seconds);
    if (selector.GetTimeSinceHit() > after)
        getPlayer()->AddLife(3);
}

bool PendingHit::Take()
{
    if (!pending)
        return false;
    CPlayer* hero = getPlayer();
    if (CControllerSelector* selector = hero->GetControllerSelector())
        selector->SetTimeSinceHit(0.0f);
    hero->TakeHit(damage, false, origin.x, origin.y, origin.z);
    pending = false;
    return true;
}

// --- free ------------------------------------------------------------------------------

CPlayerFreeController::CPlayerFreeController()
{
    ToIdle(false);
}

void CPlayerFreeController::ToIdle(bool)
{
    m_State = 30;
    m_IdleTimer = 0.0f;
    BlendOnly(PoseAnimation(Pose::Idle), 0.1f, 0.1f);
}

void CPlayerFreeController::ToRun()
{
    m_State = 31;
    BlendOnly(PoseAnimation(Pose::Run), 0.1f, 0.1f);
}

void CPlayerFreeController::ToDead()
{
    if (CEnemyManager* enemies = getEnemyManager())
        enemies->freezeIA();
    m_State = 49;
    if (CCharacterEntity* body = HeroBody()) {
        body->ClearAllCycles(0.1f);
        body->ExecuteAction("dead", 0.2f, 0.5f, 1.0f, false);
        body->BlendCycle("deadIdle", 1.0f, 1.0f);
    }
}

void CPlayerFreeController::PlayReload()
{
    IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    m_ActionTimer = PlayAction(PoseAnimation(Pose::Reload), 0.1f, 0.1f);
    weapon->Reload();
    getSoundManager().PlayReloadLine(true, 0.0f, weapon->GetName());
}

void CPlayerFreeController::StartReload()
{
    PlayReload();
    m_State = 30;
}

void CPlayerFreeController::ResetMoveInputs()
{
    for (int code = ACTION_FORWARD; code <= ACTION_RIGHT; ++code)
        OnActionReleased(code);
    m_ActionTimer = 0.0f;
}

void CPlayerFreeController::Roll()
{
    ++getAchievementStats().rolls;
    getSoundManager().PlayHop();
    ResetMoveInputs();
    StopAction();
    PlayAction(PoseAnimation(Pose::Roll), 0.1f, 0.1f);
    m_Rolling = true;
    m_RollTimer = 1.1f;
    m_RollInProgress = true;
}

void CPlayerFreeController::OnActionPressed(int code)
{
    if (ControlsTaken() || m_Rolling)
        return;
    if ((m_State == 49 || ScriptedSequence()) && code != ACTION_USE)
        return;
    CPlayer* hero = getPlayer();
    IWeapon* weapon = hero->GetCurrentWeapon();
    if (IsDirection(code)) {
        getCameraController().OnActionPressed(code);
        ToRun();
    } else if (code == ACTION_RELOAD) {
        if (m_ActionTimer <= 0.0f && weapon->CanReload())
            PlayReload();
    } else if (code == ACTION_CHANGE_WEAPON) {
        if (m_ActionTimer <= 0.0f && hero->HasSecondWeapon())
            ChangeWeapon();
    } else if (code == ACTION_USE) {
        if (m_State == 49) {
            hero->AddLife(hero->GetTopLife());
            ToIdle(false);
            if (CEnemyManager* enemies = getEnemyManager())
                enemies->resumeIA();
            GetGameCalls().RestartLevel(false);
        } else if (ScriptedSequence()) {
        } else if (m_NearCover) {
            m_ActionTimer = 0.0f;
            Selector().SwitchToParapeted(m_ParapetIndex, m_CoverPoint.x, m_CoverPoint.y, m_CoverPoint.z);
        } else if (m_ActionTimer <= 0.0f) {
            Roll();
        }
    } else if (code == ACTION_AIM) {
        if (m_ActionTimer <= 0.0f)
            Selector().SwitchToAiming();
    } else if (code == ACTION_TARGET) {
        getCamera().SelectNextAimTarget();
        m_TargetHeld = true;
    }
}

void CPlayerFreeController::OnActionReleased(int code)
{
    if (m_Rolling)
        return;
    if (IsDirection(code)) {
        CCameraController& camera = getCameraController();
        camera.OnActionReleased(code);
        // A key let go does not stand a dead hero back up.
        if (camera.NoDirectionHeld() && m_State != 49)
            ToIdle(false);
    } else if (code == ACTION_TARGET) {
        m_TargetHeld = false;
    }
}

void CPlayerFreeController::Update(float seconds)
{
    m_FrameSeconds = seconds;
    if (m_State == 49) {
        m_Rolling = false;
        return;
    }
    CPlayer* hero = getPlayer();
    if (hero->getLife() < 1) {
        m_Rolling = false;
        ToDead();
        return;
    }
    CCharacterEntity* body = HeroBody();
    if (body && body->GetCycleCount() == 0)
        body->BlendCycle(PoseAnimation(Pose::Idle), 1.0f, 0.1f);
    m_ActionTimer -= seconds;
    if (m_ActionTimer > 0.0f && body && body->GetActionCount() < 1)
        PlayAction(PoseAnimation(Pose::Reload), 0.1f, 0.1f);
    if (getCamera().IsFreeCamera())
        return;
    if (!m_Rolling && m_ActionTimer < 0.0f && AimInputHeld())
        Selector().SwitchToAiming();
    if (m_TargetHeld && TargetInputHeld() && m_State == 30)
        getCamera().RefreshAimTarget();
    else
        m_TargetHeld = false;

    m_WasHit = false;
    if (m_Hit.pending) {
        m_WasHit = m_Hit.Take();
        if (hero->getLife() < 1) {
            ToDead();
            return;
        }
    } else {
        Regenerate(seconds, 5.0f);
    }
    if (FindCoverPoint())
        getGUI().parapetHint = true;

    m_RollTimer -= seconds;
    if (m_RollInProgress) {
        if (m_RollTimer > 0.0f)
            return;
        m_Rolling = false;
        m_RollInProgress = false;
    }
    if (m_State == 30) {
        m_IdleTimer += seconds;
        if (m_IdleTimer > 7.0f) {
            getSoundManager().PlayHeroBoastLine();
            m_IdleTimer = 0.0f;
        }
        IdleUpdate();
    } else if (m_State == 31) {
        RunUpdate();
    }
}

void CPlayerFreeController::IdleUpdate()
{
    m_ReadyToShoot = false;
    if (getCamera().IsFreeCamera())
        return;
    for (int code : HeldDirections()) {
        getCameraController().OnActionPressed(code);
        ToRun();
    }
}

void CPlayerFreeController::RunUpdate()
{
    m_ReadyToShoot = false;
    CSoundManager& sound = getSoundManager();
    const D3DXVECTOR3 feet = getPlayer()->GetPosition().GetPosition();
    CEnemyManager* enemies = getEnemyManager();
    if (enemies && enemies->GetCurrentRoom() == "room3" && feet.y < 3.0f) {
        const RayHit below = getCollisionManager().CastRay(feet, feet - D3DXVECTOR3(0.0f, 50.0f, 0.0f));
        if (!below.hit || IsSand(below.name))
            sound.PlayStepSand();
        else
            sound.PlayStepHangar();
    } else {
        sound.PlayStepHangar();
    }
}

void CPlayerFreeController::ChangeWeapon()
{
    if (m_State == 30)
        SwapWeaponInPose(Pose::Idle);
    else if (m_State == 31)
        SwapWeaponInPose(Pose::Run);
}

// How far inside a parapet's line, toward the solid it runs along, the
// hero may stand and still be at it: the line runs 30 out from its face.
constexpr float kInsideCoverLine = 40.0f;

bool CoverPointAt(const TParapet& p, const D3DXVECTOR3& hero, float heading, D3DXVECTOR3* point)
{
    if (!p.free || p.name.empty() || p.name[0] != 'p')
        return false;
    if (getRigid()->IsParapetBlocked(p.name))
        return false;
    const D3DXVECTOR3 centre = p.transform.GetPosition();
    if (ManhattanDistanceXZ(centre, hero) >= 1510.0f)
        return false;
    // He must look into the parapet's front; looking straight at it (a
    // half turn from its facing) is the most into it there is.
    const float facing = AngleDifference(p.transform.GetYaw(), heading);
    if (!(std::fabs(facing) > 1.5707964f))
        return false;
    // Where his line of sight crosses the parapet's line must lie along the
    // parapet, ends included; parallel lines never cross. Worked out along
    // the two directions rather than from slopes, which a heading or a
    // parapet along an axis sends to infinity.
    const D3DXVECTOR3 sight = DirectionFromYaw(heading), span = p.pt_fin - p.pt_ini, from = hero - p.pt_ini;
    const float across = span.x * sight.z - span.z * sight.x;
    if (across == 0.0f)
        return false;
    const float along = (from.x * sight.z - from.z * sight.x) / across;
    if (!(along >= 0.0f && along <= 1.0f))
        return false;
    // A point in reach and in front of him: nearer to the point one step
    // ahead than to him.
    const D3DXVECTOR3 ahead = hero + DirectionFromYaw(heading);
    auto inFront = [&](const D3DXVECTOR3& candidate, float reach) {
        const float d = ManhattanDistanceXZ(candidate, hero);
        return d <= reach && ManhattanDistanceXZ(candidate, ahead) < d;
    };
    const float d = DotProduct(p.direction, hero - centre);
    if (std::fabs(d) < p.length / 2) {
        *point = centre + ScaleVector(p.direction, d);
        // Walked right up to the face, he stands between it and the line
        // where he would crouch: that point is at his back, yet he is as
        // much at this cover as anyone can be.
        const D3DXVECTOR3 outward = DirectionFromYaw(p.transform.GetYaw());
        const float out = outward.x * (hero.x - centre.x) + outward.z * (hero.z - centre.z);
        if (out < 0.0f && out > -kInsideCoverLine)
            return true;
        return inFront(*point, 110.0f);
    }
    for (const D3DXVECTOR3& end : {p.pt_ini, p.pt_fin}) {
        if (inFront(end, 130.0f)) {
            *point = end;
            return true;
        }
    }
    return false;
}

bool CPlayerFreeController::FindCoverPoint()
{
    if (getCamera().IsFreeCamera())
        return false;
    m_NearCover = false;
    m_Parapets = getScenario()->GetParapets();
    const CLocation& placement = getPlayer()->GetPosition();
    // The camera's heading first: the player looks where he wants to go.
    for (float heading : {getCamera().GetYaw(), placement.GetYaw()}) {
        for (std::size_t i = 0; i < m_Parapets.size(); ++i) {
            D3DXVECTOR3 point;
            if (CoverPointAt(*m_Parapets[i], placement.GetPosition(), heading, &point)) {
                m_NearCover = true;
                m_ParapetIndex = static_cast<std::uint16_t>(i);
                m_CoverPoint = point;
                return true;
            }
        }
    }
    return false;
}

// --- aiming ----------------------------------------------------------------------------

void CAimingController::Start()
{
    m_TargetHeld = false;
    if (m_AimTimer > 0.0f)
        return;
    m_AimTimer = 0.0f;
    m_State = 52;
    StopAction();
    BlendOnly(PoseAnimation(Pose::AimStand), 0.0f, 0.1f);
}

void CAimingController::ResetMoveInputs()
{
    for (int code = ACTION_FORWARD; code <= ACTION_RIGHT; ++code)
        OnActionReleased(code);
    m_FireHeld = false;
}

void CAimingController::Walk()
{
    m_State = 35;
    BlendOnly(PoseAnimation(Pose::AimWalk), 0.1f, 0.1f);
}

void CAimingController::ReloadFromAim()
{
    if (CCharacterEntity* body = HeroBody())
        body->ClearAllCycles(0.0f);
    m_AimTimer = 0.0f;
    m_FireHeld = false;
    Selector().SwitchToFree(true, m_State == 35);
}

void CAimingController::ChangeWeapon()
{
    if (m_State == 52)
        SwapWeaponInPose(Pose::AimStand);
    else if (m_State == 35)
        SwapWeaponInPose(Pose::AimWalk);
}

void CAimingController::OnActionPressed(int code)
{
    if (ControlsTaken() || ScriptedSequence())
        return;
    CPlayer* hero = getPlayer();
    if (IsDirection(code)) {
        getCameraController().OnActionPressed(code);
        Walk();
    } else if (code == ACTION_RELOAD) {
        if (hero->GetCurrentWeapon()->CanReload())
            ReloadFromAim();
    } else if (code == ACTION_CHANGE_WEAPON) {
        if (hero->HasSecondWeapon())
            ChangeWeapon();
    } else if (code == ACTION_FIRE) {
        m_FireHeld = true;
    } else if (code == ACTION_TARGET) {
        getCamera().SelectNextAimTarget();
        m_TargetHeld = true;
    }
}

void CAimingController::OnActionReleased(int code)
{
    if (IsDirection(code)) {
        CCameraController& camera = getCameraController();
        camera.OnActionReleased(code);
        if (camera.NoDirectionHeld())
            Start();
    } else if (code == ACTION_FIRE) {
        m_FireHeld = false;
    } else if (code == ACTION_AIM) {
        if (getCamera().IsFreeCamera() && getGSF().isRigidasHangarExplosion())
            return;
        m_Leaving = true;
        StopAction();
        if (CCharacterEntity* body = HeroBody())
            body->BlendCycle(PoseAnimation(Pose::Idle), 1.0f, 0.1f);
    } else if (code == ACTION_TARGET) {
        m_TargetHeld = false;
    }
}

void CAimingController::Update(float seconds)
{
    m_FrameSeconds = seconds;
    m_ReadyToShoot = false;
    if (getCamera().IsFreeCamera() && !getGSF().isRigidasHangarExplosion()) {
        m_Leaving = false;
        m_FireHeld = false;
        Selector().SwitchToFree(false, false);
        return;
    }
    if (m_TargetHeld && TargetInputHeld() && m_State == 52)
        getCamera().RefreshAimTarget();
    else
        m_TargetHeld = false;
    m_WasHit = false;
    m_AimTimer -= seconds;
    if (m_Leaving) {
        if (m_AimTimer > 0.0f)
            return;
        m_Leaving = false;
        m_FireHeld = false;
        Selector().SwitchToFree(false, false);
        return;
    }
    if (m_Hit.pending)
        m_WasHit = m_Hit.Take();
    // Life taken by a hit, or any other way (a script, the console): he
    // falls through the free controller's dead pose. Left aiming, he would
    // heal back up from nothing and never be revived.
    if (getPlayer()->getLife() <= 0) {
        m_ReadyToShoot = false;
        m_FireHeld = false;
        Selector().SwitchToFree(false, false);
        return;
    }
    if (!m_WasHit)
        Regenerate(seconds, 5.0f);
    if (m_State == 35) {
        getSoundManager().PlayStepAimingHangar();
        ShotStep(0.3f);
        if (Selector().GetCurrent() != this)
            return;
        const std::vector<int> held = HeldDirections();
        for (int code : held)
            OnActionPressed(code);
        if (held.empty())
            Start();
    } else if (m_State == 52) {
        ShotStep(0.4f);
        if (Selector().GetCurrent() != this)
            return;
        for (int code : HeldDirections())
            OnActionPressed(code);
    }
}

void CAimingController::ShotStep(float poseTime)
{
    if (!m_FireHeld)
        return;
    IWeapon* weapon = getPlayer()->GetCurrentWeapon();
    if (weapon->NeedsReload()) {
        CCharacterEntity* body = HeroBody();
        if (!body || body->GetActionCount() < 1) {
            ReloadFromAim();
            m_FireHeld = false;
        }
        return;
    }
    if (weapon->FirePlayerShot()) {
        m_ReadyToShoot = true;
        StopAction();
        PlayAction(PoseAnimation(Pose::AimShot), 0.0f, 0.5f);
        m_AimTimer = poseTime;
    }
}

// --- camera ----------------------------------------------------------------------------

void CCameraController::OnActionPressed(int code)
{
    if (!getCamera().IsFreeCamera())
        Hold(code, true);
}

CCameraController& getCameraController()
{
    static CCameraController controller;
    return controller;
}

void CCameraController::Hold(int code, bool held)
{
    switch (code) {
    case ACTION_FORWARD:
        forwardHeld = held;
        break;
    case ACTION_BACK:
        backHeld = held;
        break;
    case ACTION_LEFT:
        leftHeld = held;
        break;
    case ACTION_RIGHT:
        rightHeld = held;
        break;
    default:
        break;
    }
}
