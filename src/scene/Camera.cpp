#include "scene/Camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "math/VectorMath.h"
#include "scene/CameraReach.h"
#include "platform/bounded.h"
#include "platform/crt.h"
#include "platform/win32.h"

namespace {

using namespace camera_reach;

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
// How far above a low parapet's top the view passes while the hero aims
// over it.
constexpr float kOverParapet = 20.0f;
// The eye swings round him in these steps, up to nearly in front of him;
// aiming, only a little off the crosshair's line.
constexpr float kSwingStep = 0.15f;
constexpr int kSwings = 18;
constexpr int kAimSwings = 6;
// The most the orbit may head off the way the eye was swung to by a wall.
constexpr float kOrbitLead = 0.2f;
// While the player turns the view, the most a wall may swing it off his
// heading to keep him whole in frame.
constexpr float kLedSwing = 0.9f;
// His body, as the near plane must keep out of it: within this of the line
// through his feet and below the top of his head the eye would be inside
// his torso, his arms or his head.
constexpr float kBodyClearance = 32.0f;
constexpr float kHeroTop = 90.0f;
// A count of the mouse is a distance the hand moved, not a rate: it turns
// the orbit by a fixed angle, what a count turned it in a frame at 30 a
// second, however long the frame took.
constexpr float kMouseCountSeconds = 1.0f / 30.0f;
// The most of a turn the orbit's wanted yaw takes in one frame. The camera's
// yaw closes 0.4 of its way a frame and the eye 0.2 of its own, so they
// trail a turn fed at this pace by well under half a turn.
constexpr float kTurnPerFrame = 0.5f;
// A lock that has not brought its soldier round by then lets the mouse have
// the view again.
constexpr float kLockSeconds = 1.5f;

const char* const kValuesFile = "data/XML/camera_values.xml";
// The follow distances the shipped file gives: what a missing or unusable
// offset falls back to.
const D3DXVECTOR3 kFallbackOffset(0.0f, 70.0f, -190.0f);
const D3DXVECTOR3 kFallbackOffsetAiming(0.0f, 30.0f, -95.0f);

// The hero aims (and the camera closes in over his shoulder) in these.
bool IsAimingState(int state)
{
    return state == 48 || state == 52 || state == 64 || state == 35;
}

// The recoil and the camera body's pace treat these as aiming too.
bool IsShotAimingState(int state)
{
    return state == 48 || state == 35 || state == 41 || state == 52;
}

// Behind a parapet the orbit stays on the hero's side of it.
bool IsCoverTurnState(int state)
{
    return state == 38 || state == 62 || state == 39 || state == 34;
}

bool LetsInputTurn(int state)
{
    switch (state) {
    case 30: case 31: case 34: case 37: case 38: case 39: case 43: case 46: case 51: case 62:
        return true;
    default:
        return IsAimingState(state);
    }
}

float Clamp(float value, float low, float high)
{
    return value < low ? low : (value > high ? high : value);
}

D3DXVECTOR3 Normalized(const D3DXVECTOR3& v)
{
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &v);
    return out;
}

// The values of the file a camera could not take, as the line that says
// so lists them; gathered while the file is read.
std::string g_UnusableValues;

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// A value outside the range a camera can take would reach the view as NaN,
// a flat or inside-out frustum, or an orbit that spins: it keeps the
// default, and the line names it.
float ReadFloat(const CXMLAttributes& attributes, const char* name, float def, double low, double high)
{
    const auto found = attributes.find(name);
    double value = def;
    if (found == attributes.end() || bounded::ParseFloat(found->second, low, high, &value))
        return static_cast<float>(value);
    g_UnusableValues += (g_UnusableValues.empty() ? "" : ", ") + std::string(name) + " \"" +
                        bounded::Echoed(found->second) + "\" is not a number from " + Number(low) + " to " +
                        Number(high);
    return def;
}

// Offsets and displacements reach no farther than a level is wide. An
// offset of which one number is unusable is its fallback whole: its other
// numbers alone would put the eye anywhere.
constexpr double kFarthest = 10000.0;
D3DXVECTOR3 ReadVector(const CXMLAttributes& attributes, const std::string& prefix, const D3DXVECTOR3& def,
                       const D3DXVECTOR3* fallback = nullptr)
{
    const std::size_t before = g_UnusableValues.size();
    const D3DXVECTOR3 read(ReadFloat(attributes, (prefix + "_x").c_str(), def.x, -kFarthest, kFarthest),
                           ReadFloat(attributes, (prefix + "_y").c_str(), def.y, -kFarthest, kFarthest),
                           ReadFloat(attributes, (prefix + "_z").c_str(), def.z, -kFarthest, kFarthest));
    return fallback && g_UnusableValues.size() != before ? *fallback : read;
}

// Where the eye would be in the hero's body: near the line through his
// feet, below the top of his head.
bool InBody(const D3DXVECTOR3& eye, const D3DXVECTOR3& feet)
{
    return eye.y - feet.y < kHeroTop && std::hypot(eye.x - feet.x, eye.z - feet.z) < kBodyClearance;
}

// The column j (0-based) of a row-vector matrix as a plane.
D3DXPLANE Column(const D3DXMATRIX& m, int j)
{
    return D3DXPLANE(m.m[0][j], m.m[1][j], m.m[2][j], m.m[3][j]);
}

D3DXPLANE Add(const D3DXPLANE& p, const D3DXPLANE& q)
{
    return D3DXPLANE(p.a + q.a, p.b + q.b, p.c + q.c, p.d + q.d);
}

D3DXPLANE Sub(const D3DXPLANE& p, const D3DXPLANE& q)
{
    return D3DXPLANE(p.a - q.a, p.b - q.b, p.c - q.c, p.d - q.d);
}

// The lateral kick of one recoil frame, from one draw of the generator.
float ShakeStep(float big, float small)
{
    const int r = crt::rand() % 25;
    if (r < 5)
        return -big;
    if (r < 10)
        return -small;
    if (r < 15)
        return big;
    if (r < 20)
        return small;
    return 0.0f;
}

} // namespace

CCamera::CCamera()
    : m_CameraUp(0.0f, 1.0f, 0.0f),
      m_LookAt(0.0f, 0.0f, 0.0f),
      m_DesiredLookAt(0.0f, 0.0f, 0.0f),
      m_AimPoint(0.0f, 0.0f, 0.0f),
      m_Fov(m_Values.fovRespectPi * kPi),
      m_Near(m_Values.zNear),
      m_Far(m_Values.zFar),
      m_Aspect(m_Values.aspectX / m_Values.aspectY),
      m_SavedFov(m_Fov),
      m_ViewDirection(0.0f, 0.0f, 1.0f),
      m_Right(1.0f, 0.0f, 0.0f),
      m_Up(0.0f, 1.0f, 0.0f),
      m_BaseDirection(0.0f, 0.0f, 1.0f),
      m_CurrentOffset(0.0f, 0.0f, 0.0f)
{
    D3DXMatrixIdentity(&m_Rotation);
    D3DXMatrixIdentity(&m_View);
    BuildProjection();
    for (D3DXPLANE& plane : m_Frustum)
        plane = D3DXPLANE(0.0f, 0.0f, 0.0f, 0.0f);
}

ICameraWorld& CCamera::World()
{
    return m_World ? *m_World : getGameCameraWorld();
}

void CCamera::LoadValues(float x, float y, float z, IDirect3DDevice9* device)
{
    m_Device = device;
    // Each load starts from the defaults, so a file that has gone missing
    // since the last load does not leave the old tuning behind.
    m_Values = Values();
    g_UnusableValues.clear();
    // A broken file is refused whole: half of it read would mix its tuning
    // with the defaults.
    const bool read = LoadXMLSaying(kValuesFile);
    if (!read)
        m_Values = Values();
    else if (!g_UnusableValues.empty())
        bounded::SayOnce(std::string(kValuesFile) + ": " + g_UnusableValues +
                         ": their defaults are used (an offset's, the follow distance)");
    KeepUsableOffsets(read);

    m_Fov = m_Values.fovRespectPi * kPi;
    m_Near = m_Values.zNear;
    m_Far = m_Values.zFar;
    m_Aspect = m_Values.aspectX / m_Values.aspectY;
    // A zero or negative height ratio would give a projection that shows nothing.
    if (!(m_Aspect > 0.0f) || !std::isfinite(m_Aspect))
        m_Aspect = 4.0f / 3.0f;
    m_FrameStep = 0.0f;
    m_ViewLocked = false;
    m_FreeCamera = false;
    SetPitch(0.175f);
    m_HasAimTarget = false;
    m_AimTargetName.clear();
    m_WantedYaw = kHalfPi;
    m_WantedPitch = 0.0f;
    m_MouseYawOwed = 0.0f;
    m_LockSeconds = 0.0f;
    m_WallSwing = 0.0f;
    m_MouseLed = false;
    m_SideShift = 0.0f;
    m_CurrentOffset = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_CameraUp = m_Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    m_IdleTimer = 4.0f;

    BuildProjection();
    SendProjection();

    const D3DXVECTOR3 hero(x, y, z);
    m_LookAt = hero + m_Values.lookAtDesp + m_Values.offset;
    // The first update eases toward the desired point: start it here rather
    // than where the camera stood before a restart.
    m_DesiredLookAt = m_LookAt;
    SetPosition(m_LookAt + m_Values.offset);
    D3DXMatrixLookAtRH(&m_View, &GetPosition(), &m_LookAt, &m_CameraUp);
    SendView();
}

// The eye sits at the look-at point plus the offset: a zero offset puts the
// eye on the point and the view is NaN (a black screen), and so does a value
// that is not a number. Either falls back to the follow distance the game
// was tuned with, and says so.
void CCamera::KeepUsableOffsets(bool fileRead)
{
    struct {
        D3DXVECTOR3& value;
        D3DXVECTOR3 fallback;
        const char* name;
    } offsets[] = {{m_Values.offset, kFallbackOffset, "offset"},
                   {m_Values.offsetAiming, kFallbackOffsetAiming, "offset_aiming"}};
    for (auto& o : offsets) {
        const D3DXVECTOR3 v = o.value;
        const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        if (std::isfinite(length) && length > 0.0f)
            continue;
        o.value = o.fallback;
        // Every level load reads the values again: the fault is said once a
        // run, and not at all when the file's refusal has been said.
        if (!fileRead)
            continue;
        char message[256];
        std::snprintf(message, sizeof message, "%s: %s (%g, %g, %g) is zero or not a number: using (%g, %g, %g)",
                      kValuesFile, o.name, v.x, v.y, v.z, o.fallback.x, o.fallback.y, o.fallback.z);
        bounded::SayOnce(message);
    }
    // Planes the projection cannot be built from: the defaults.
    const Values defaults;
    if (!(m_Values.zNear > 0.0f) || !(m_Values.zFar > m_Values.zNear)) {
        m_Values.zNear = defaults.zNear;
        m_Values.zFar = defaults.zFar;
    }
    if (!(m_Values.fovRespectPi > 0.0f && m_Values.fovRespectPi < 1.0f))
        m_Values.fovRespectPi = defaults.fovRespectPi;
}

void CCamera::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name != "PROPERTIES")
        return;
    const Values d;
    Values& v = m_Values;
    v.speed = ReadFloat(attributes, "speed", d.speed, 0.001, 10.0);
    v.speedAiming = ReadFloat(attributes, "speed_aiming", d.speedAiming, 0.001, 10.0);
    v.offsetAiming = ReadVector(attributes, "offset_aiming", d.offsetAiming, &kFallbackOffsetAiming);
    v.offset = ReadVector(attributes, "offset", d.offset, &kFallbackOffset);
    v.pitchUpLimit = ReadFloat(attributes, "pitch_up_limit", d.pitchUpLimit, -1.5, 1.5);
    v.pitchDownLimit = ReadFloat(attributes, "pitch_down_limit", d.pitchDownLimit, -1.5, 1.5);
    v.aspectX = ReadFloat(attributes, "aspect_ratio_x", d.aspectX, 0.01, 100.0);
    v.aspectY = ReadFloat(attributes, "aspect_ratio_y", d.aspectY, 0.01, 100.0);
    v.lookAtDesp = ReadVector(attributes, "lookAt_desp", d.lookAtDesp);
    v.lookAtDespAiming = ReadVector(attributes, "lookAt_desp_aiming", d.lookAtDespAiming);
    v.fovRespectPi = ReadFloat(attributes, "fov_respect_pi", d.fovRespectPi, 0.05, 0.95);
    v.zNear = ReadFloat(attributes, "near", d.zNear, 0.01, 1000.0);
    v.zFar = ReadFloat(attributes, "far", d.zFar, 1.0, 1000000.0);
    if (!(v.zNear < v.zFar)) {
        g_UnusableValues += (g_UnusableValues.empty() ? "" : ", ") + std::string("near \"") + Number(v.zNear) +
                            "\" is not below far \"" + Number(v.zFar) + "\"";
        v.zNear = d.zNear;
        v.zFar = d.zFar;
    }
    v.lookAtDespParapetedLeft = ReadVector(attributes, "lookAt_desp_parapeted_left", d.lookAtDespParapetedLeft);
    v.lookAtDespParapetedRight = ReadVector(attributes, "lookAt_desp_parapeted_right", d.lookAtDespParapetedRight);
}

void CCamera::BuildProjection()
{
    D3DXMatrixPerspectiveFovRH(&m_Projection, m_Fov, m_Aspect, m_Near, m_Far);
}

void CCamera::SendProjection()
{
    if (m_Device)
        m_Device->SetTransform(D3DTS_PROJECTION, &m_Projection);
}

void CCamera::SendView()
{
    if (m_Device)
        m_Device->SetTransform(D3DTS_VIEW, &m_View);
}

void CCamera::SetYaw(float yaw)
{
    m_WantedYaw = yaw;
    m_MouseYawOwed = 0.0f;
}

void CCamera::SetFov(float fov)
{
    m_Fov = fov;
    BuildProjection();
    SendProjection();
}

void CCamera::ApplyView()
{
    if (m_ViewLocked || m_FreeCamera)
        return;
    D3DXMatrixLookAtRH(&m_View, &GetPosition(), &m_LookAt, &m_CameraUp);
    SendView();
}

void CCamera::Update(float seconds)
{
    ICameraWorld& world = World();

    // A fixed share per frame, whatever the step.
    m_LookAt += (m_DesiredLookAt - m_LookAt) * 0.8f;

    m_ViewDirection = Normalized(m_LookAt - GetPosition());
    // The up vector is rebuilt from the world's up each frame, not from
    // itself: rebuilt from itself, one frame with the eye straight over the
    // look-at point (a wall pushing the camera up, the end of a flight) left
    // the view rolled for good.
    const D3DXVECTOR3 worldUp(0.0f, 1.0f, 0.0f);
    D3DXVECTOR3 side;
    D3DXVec3Cross(&side, &worldUp, &m_ViewDirection);
    if (D3DXVec3LengthSq(&side) < 1e-8f)
        D3DXVec3Cross(&side, &m_Up, &m_ViewDirection);
    m_Right = Normalized(side);
    D3DXVec3Cross(&m_Up, &m_ViewDirection, &m_Right);
    if (D3DXVec3LengthSq(&m_Up) == 0.0f)
        m_Up = worldUp;
    m_CameraUp = m_Up;
    m_FrameStep = seconds;
    m_CurrentSpeed = m_Values.speed;

    m_Hero = world.ReadHero();
    m_HeroYaw = m_Hero.yaw;
    m_HeroState = m_Hero.stateCode;
    D3DXMatrixRotationYawPitchRoll(&m_Rotation, GetYaw(), 0.0f, 0.0f);

    D3DXVECTOR3 displacement = m_Values.lookAtDesp;
    if (IsAimingState(m_HeroState))
        displacement = m_Hero.peeking ? m_Values.lookAtDespParapetedLeft : m_Values.lookAtDespAiming;
    displacement.x += m_SideShift;
    D3DXVec3TransformNormal(&displacement, &displacement, &m_Rotation);
    m_DesiredLookAt = m_Hero.position + displacement;
    // Aimed over a low parapet the view passes over its top: where the
    // aiming height would leave it, the crate or barrier filled the view and
    // took every shot, which leaves from this point.
    if (m_HeroState == 48 && m_Hero.lowCover && m_Hero.hasParapetTop)
        m_DesiredLookAt.y = std::max(m_DesiredLookAt.y, m_Hero.parapetTop + kOverParapet);

    UpdateFollowCamera();

    if (!(m_Hero.selectorState == "PARAPETED" && m_HeroState != 48))
        world.SetHeroYaw(m_HeroYaw);

    if (m_ViewLocked)
        return;
    if (!m_FreeCamera) {
        D3DXMatrixLookAtRH(&m_View, &GetPosition(), &m_LookAt, &m_Up);
        BuildProjection();
        SendView();
        SendProjection();
    } else {
        UpdateFreeCamera(m_Hero);
        m_View = m_FlightCamera.view;
    }
}

void CCamera::UpdateFreeCamera(const CameraHeroState& hero)
{
    ICameraWorld& world = World();
    CLightCamera& free = m_FlightCamera;
    D3DXVECTOR3 direction = Normalized(free.target - free.eye);
    const D3DXVECTOR3 upAxis = Normalized(free.cameraUp);
    const D3DXVECTOR3 rightAxis = Normalized(free.right);

    auto turn = [&direction](const D3DXVECTOR3& axis, float angle) {
        D3DXMATRIX rotation;
        D3DXMatrixRotationAxis(&rotation, &axis, angle);
        D3DXVec3TransformNormal(&direction, &direction, &rotation);
    };
    if (world.IsAction("FreeCamLeft"))
        turn(upAxis, 0.04f);
    if (world.IsAction("FreeCamRight"))
        turn(upAxis, -0.04f);
    if (world.IsAction("FreeCamUp"))
        turn(rightAxis, -0.02f);
    if (world.IsAction("FreeCamDown"))
        turn(rightAxis, 0.02f);

    D3DXVECTOR3 eye = free.eye;
    const float travel = m_FrameStep * hero.walkSpeed;
    if (world.IsAction("FreeCamForward"))
        eye += direction * travel;
    if (world.IsAction("FreeCamBackward"))
        eye -= direction * travel;
    free.SetLookAt(eye, eye + direction);
}

bool CCamera::Walk(const CameraInputState& input, float speed, D3DXVECTOR3* step, float* facing)
{
    ICameraWorld& world = World();
    const CameraHeroState& hero = m_Hero;
    const float yaw = GetYaw();
    const float s = m_FrameStep * speed;
    D3DXVECTOR3 direction(0.0f, 0.0f, 0.0f);

    if (m_HeroState == 34) {
        if (!hero.hasParapet || hero.left == hero.right)
            return false;
        // The parapet faces back at the camera, which looks across it over
        // the hero: the player's left is the parapet's right.
        direction = DirectionFromYaw(hero.parapetYaw + (hero.left ? -kHalfPi : kHalfPi));
        // Whichever end lies ahead is the one the hero walks to.
        D3DXVECTOR3 toStart = hero.parapetStart - hero.position;
        D3DXVECTOR3 toEnd = hero.parapetEnd - hero.position;
        toStart.y = toEnd.y = 0.0f;
        const float aheadStart = DotProduct(toStart, direction);
        const float aheadEnd = DotProduct(toEnd, direction);
        const bool towardEnd = aheadEnd >= aheadStart;
        if ((towardEnd ? aheadEnd : aheadStart) < 10.0f && !world.SelectAdjacentParapet(towardEnd))
            return false;
        *facing = hero.parapetYaw;
    } else if (m_HeroState == 51) {
        direction = DirectionFromYaw(hero.yaw);
    } else if (m_HeroState == 31 || m_HeroState == 35) {
        if (input.padConnected && (input.leftStickX != 0.0f || input.leftStickY != 0.0f)) {
            direction = DirectionFromYaw(yaw) * input.leftStickY + DirectionFromYaw(yaw - kHalfPi) * input.leftStickX;
            direction = Normalized(direction);
            *facing = YawFromDirection(direction);
        } else {
            const bool straight = hero.forward || hero.back;
            const bool sideways = hero.left || hero.right;
            if (!straight && !sideways)
                return false;
            const float straightYaw = hero.forward ? yaw : yaw + kPi;
            const float sideYaw = hero.left ? yaw + kHalfPi : yaw - kHalfPi;
            if (straight && sideways) {
                direction = (DirectionFromYaw(sideYaw) + DirectionFromYaw(straightYaw)) * 0.7f;
                *facing = YawFromDirection(direction);
            } else {
                const float walkYaw = straight ? straightYaw : sideYaw;
                direction = DirectionFromYaw(walkYaw);
                *facing = WrapAngle(walkYaw);
            }
        }
    } else {
        return false;
    }

    *step = direction * s;
    step->y = 0.0f;
    return true;
}

float CCamera::CoverHeading() const
{
    // Behind a parapet his heading runs across it toward the fight (his
    // back to it is his pose's doing): held to it, the camera looks over him
    // at the parapet and what lies beyond, and stands on his side of a wall.
    return m_Hero.yaw;
}

void CCamera::UpdateFollowCamera()
{
    ICameraWorld& world = World();
    const CameraHeroState& hero = m_Hero;
    const CameraInputState input = world.ReadInput();
    const float dt = m_FrameStep;
    const int state = m_HeroState;
    const float heading = CoverHeading();

    m_BaseDirection = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    m_CurrentOffset = m_Values.offset;
    const bool moveCamera = world.IsAction("MoveCameraLeft") || world.IsAction("MoveCameraRight") ||
                            world.IsAction("MoveCameraUp") || world.IsAction("MoveCameraDown");
    const bool directionHeld = hero.forward || hero.back || hero.left || hero.right;
    // A comic-panel sequence or a camera flight takes the hero and the orbit
    // out of the player's hands.
    const bool playerControl = !world.IsScriptedSequenceRunning() && !m_FreeCamera;

    // Offsets and speeds by what the hero does.
    float walkSpeed = hero.walkSpeed;
    bool inputTurns = LetsInputTurn(state);
    if (state == 48 || state == 52 || state == 64 || state == 35) {
        m_CurrentOffset = m_Values.offsetAiming;
        m_CurrentSpeed = m_Values.speedAiming;
        walkSpeed = state == 35 ? hero.aimSpeed * 0.5f : hero.aimSpeed;
    } else if (state == 34) {
        walkSpeed = hero.aimSpeed;
    } else if (state == 49 || state == 61) {
        // Dead: a slow orbit around the body.
        m_CurrentOffset = D3DXVECTOR3(0.0f, -80.0f, -50.0f);
        m_WantedYaw = WrapAngle(m_WantedYaw + dt * 5.0f * m_CurrentSpeed);
        m_WantedPitch = 0.7853982f;
        D3DXMatrixRotationYawPitchRoll(&m_Rotation, GetYaw(), GetPitch(), 0.0f);
        const D3DXVECTOR3 ahead(0.0f, 0.0f, 1.0f);
        D3DXVec3TransformNormal(&m_BaseDirection, &ahead, &m_Rotation);
        inputTurns = false;
    }

    bool turned = false;
    const bool mayTurn = playerControl && inputTurns && !m_HasAimTarget;
    // Standing, the first turn the player asks for takes the view from where
    // it is drawn, swung round him by a wall or not; from then on a wall
    // slides the view aside instead, and the turn is never held. Walking,
    // he is kept whole in frame through the gaps he walks.
    const bool yawAsked = input.padConnected ? input.rightStickX != 0.0f : input.mouseX != 0.0f;
    if (mayTurn && yawAsked && !directionHeld && !m_MouseLed && !IsAimingState(state)) {
        if (m_WallSwing != 0.0f) {
            m_WantedYaw = YawFromDirection(m_ViewDirection);
            CLocation::SetYaw(m_WantedYaw);
        }
        m_WallSwing = 0.0f;
        m_MouseLed = true;
    }
    if (mayTurn && (moveCamera || IsCoverTurnState(state) || m_MouseYawOwed != 0.0f)) {
        const float yawBefore = m_WantedYaw, pitchBefore = m_WantedPitch;
        TurnOrbit(input, IsCoverTurnState(state), heading);
        turned = m_WantedYaw != yawBefore || m_WantedPitch != pitchBefore;
    } else if (!mayTurn) {
        // A move made while the orbit was not the player's is not paid later.
        m_MouseYawOwed = 0.0f;
    }

    // The aim point is measured from the look-at point, which swings round
    // the hero with the camera's yaw while it turns to the enemy, and the
    // enemy walks: aimed from where they stood when Q was pressed, the view
    // settled a hundred pixels and more beside him. Each frame of the lock
    // takes both afresh; a lock on an enemy who has fallen lets go at once.
    if (m_HasAimTarget)
        FollowAimTarget();
    // Held by something the eye cannot get round (a wall behind him, the
    // camera's body caught on a corner), the lock would never see the eye
    // come round to its soldier and the mouse would stay dead until he fell.
    m_LockSeconds += dt;
    if (m_HasAimTarget && m_LockSeconds > kLockSeconds)
        m_HasAimTarget = false;
    if (m_HasAimTarget) {
        const D3DXVECTOR3 fromAim = m_LookAt - m_AimPoint;
        if (D3DXVec3LengthSq(&fromAim) > 0.0f) {
            const D3DXVECTOR3 toAim = m_AimPoint - m_LookAt;
            m_WantedYaw = YawFromDirection(fromAim);
            m_WantedPitch = PitchFromDirection(toAim);
        }
    }

    m_WantedPitch = Clamp(m_WantedPitch, m_Values.pitchDownLimit, m_Values.pitchUpLimit);

    if (playerControl) {
        CLocation::SetYaw(GetYaw() + 0.4f * WrapAngle(m_WantedYaw - GetYaw()));
    } else {
        CLocation::SetYaw(heading);
        m_WantedYaw = heading;
    }

    // The Thompson's climb: each shot lifts the view a little.
    if (hero.readyToShoot && hero.weaponName == "THOMPSON" && !hero.fighting)
        m_WantedPitch -= 0.01308997f;

    SetPitch(GetPitch() + 0.4f * WrapAngle(m_WantedPitch - GetPitch()));
    D3DXMatrixRotationYawPitchRoll(&m_Rotation, GetYaw(), GetPitch(), 0.0f);
    const D3DXVECTOR3 ahead(0.0f, 0.0f, 1.0f);
    D3DXVec3TransformNormal(&m_BaseDirection, &ahead, &m_Rotation);

    // The hero walks relative to the camera.
    float facing = m_HeroYaw;
    D3DXVECTOR3 step(0.0f, 0.0f, 0.0f);
    const bool walked = playerControl && Walk(input, walkSpeed, &step, &facing);
    if (walked) {
        world.WalkHero(step);
        m_LookAt += step;
    }

    // Left alone, the camera swings back behind the hero.
    const bool busy = directionHeld || moveCamera || m_MouseYawOwed != 0.0f || hero.controllerBusy ||
                      m_HasAimTarget || state == 48 || state == 35 || state == 41 || state == 52 || state == 49 ||
                      state == 61;
    if (busy) {
        m_IdleTimer = 4.0f;
    } else {
        m_IdleTimer -= dt;
        if (m_IdleTimer <= 0.0f) {
            m_WantedYaw = heading;
            m_WantedPitch = 0.15f;
        }
    }
    // Walking, or the view swinging back behind him, a wall swings the eye
    // round him again, so that he is kept whole in frame.
    if (walked || m_IdleTimer <= 0.0f || !playerControl || m_HasAimTarget)
        m_MouseLed = false;

    const bool targeting = m_HasAimTarget;
    const float distance = D3DXVec3Length(&m_CurrentOffset);
    D3DXVECTOR3 eyeTarget;
    if (!targeting) {
        eyeTarget = m_LookAt - m_BaseDirection * distance;
        if (hero.readyToShoot && !hero.fighting) {
            const bool aimedShot = IsShotAimingState(state);
            if (hero.weaponName == "THOMPSON") {
                D3DXVECTOR3 kick;
                if (aimedShot)
                    RandomShakeOffsetSmall(&kick);
                else
                    RandomShakeOffset(&kick);
                eyeTarget += kick;
            } else if (hero.weaponName == "SHOTGUN") {
                eyeTarget.y -= aimedShot ? 6.5f : 25.0f;
            } else {
                eyeTarget.y -= aimedShot ? 4.0f : 15.0f;
            }
        }
    } else {
        eyeTarget = m_AimPoint;
        // The lock ends once the eye has come round to the aim point: both
        // headings are taken round the look-at point the eye circles. Taken
        // from the world's origin they also met wherever the swinging eye
        // crossed the line from the origin through the aim point, and the
        // lock let go half-way round. The headings are compared as a wrapped
        // difference: the same heading on both sides of the turn at pi is
        // close, and two headings that merely mirror each other are not.
        const float aimHeading = YawFromDirection(m_AimPoint - m_LookAt);
        const float eyeHeading = YawFromDirection(GetPosition() - m_LookAt);
        if (std::fabs(AngleDifference(aimHeading, eyeHeading)) < 0.0001f)
            m_HasAimTarget = false;
    }

    const float pace = targeting ? 0.6f : (IsAimingState(state) ? 0.4f : 0.2f);
    if (playerControl) {
        const bool aimingView = targeting || IsAimingState(state);
        const bool led = m_MouseLed && !aimingView;
        if (!(led && SlideBesideWall(&eyeTarget, true))) {
            D3DXVECTOR3 swung = eyeTarget;
            const float swing = KeepHeroInSight(&swung, aimingView);
            // Kept whole in frame only by swinging the view well off the
            // mouse's heading, or looking down on him steeper than the orbit
            // may, he is let partly out of frame: the view follows the mouse.
            const D3DXVECTOR3 down = m_LookAt - swung;
            const float downLength = D3DXVec3Length(&down);
            const bool steep = downLength > 0.0f && -down.y / downLength > std::sin(m_Values.pitchUpLimit + kPitchSlack);
            if (!(led && (std::fabs(swing) > kLedSwing || steep) && SlideBesideWall(&eyeTarget, false))) {
                eyeTarget = swung;
                m_WallSwing = swing;
                // The slide eases back onto his line rather than jump there.
                m_SideShift = std::fabs(m_SideShift) < 0.5f ? 0.0f : m_SideShift * 0.8f;
            }
        }
        // Led by the mouse the orbit is never held by a wall.
        if (m_MouseLed)
            m_WallSwing = 0.0f;
        MoveEye(eyeTarget, pace, walked ? step : D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    } else {
        world.WalkCamera((eyeTarget - GetPosition()) * pace);
        m_WallSwing = 0.0f;
        m_SideShift = 0.0f;
    }

    // The hero turns toward where he walks, or where the camera looks while
    // he aims.
    float wantedFacing = facing;
    if (IsAimingState(state) || targeting || state == 42 || (state == 30 && hero.readyToShoot))
        wantedFacing = GetYaw();
    const bool moved = walked || turned || targeting || IsAimingState(state);
    if (playerControl && state != 37 && moved)
        m_HeroYaw = WrapAngle(m_HeroYaw + 0.25f * WrapAngle(wantedFacing - m_HeroYaw));
}

void CCamera::TurnOrbit(const CameraInputState& input, bool coverTurn, float heading)
{
    float yawTurn, pitchTurn;
    if (input.padConnected) {
        const float rate = m_FrameStep * m_CurrentSpeed;
        yawTurn = Clamp(-std::fabs(input.rightStickX) * input.rightStickX * 20.0f * rate, -kTurnPerFrame,
                        kTurnPerFrame);
        pitchTurn = input.rightStickY * rate;
    } else {
        // Every count is turned, however many came in one frame: a move held
        // back to a few counts a frame left a quick hand's turn mostly
        // unmade, and one scaled by a long frame's step swung past half a
        // turn and came round the wrong way.
        const float perCount = kMouseCountSeconds * m_CurrentSpeed;
        m_MouseYawOwed -= input.mouseX * perCount;
        pitchTurn = input.mouseY * perCount;
        yawTurn = Clamp(m_MouseYawOwed, -kTurnPerFrame, kTurnPerFrame);
        m_MouseYawOwed -= yawTurn;
    }
    // A wall holds the eye off the orbit's heading: the orbit turns no
    // further into the wall than the eye can follow. Turned on into it
    // unseen, the mouse had to unwind all of that turn, the view still,
    // before it could turn the view back out.
    if ((m_WallSwing > kOrbitLead && yawTurn < 0.0f) || (m_WallSwing < -kOrbitLead && yawTurn > 0.0f)) {
        yawTurn = 0.0f;
        m_MouseYawOwed = 0.0f;
    }
    const float before = m_WantedYaw;
    m_WantedYaw = WrapAngle(m_WantedYaw + yawTurn);
    if (coverTurn && std::fabs(AngleDifference(heading, m_WantedYaw)) > kHalfPi) {
        m_WantedYaw = before;
        m_MouseYawOwed = 0.0f;
        if (std::fabs(AngleDifference(heading, m_WantedYaw)) > kHalfPi)
            m_WantedYaw = heading;
    }
    // The pitch is held to the orbit's limits, never wrapped: a long move
    // down wrapped round would have looked up.
    m_WantedPitch += pitchTurn;
}

float CCamera::ReachAlong(const D3DXVECTOR3& from, const D3DXVECTOR3& direction, float length)
{
    return World().ClearReach(from, from + direction * length);
}

bool CCamera::SeesHeroFrom(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, float highest) const
{
    if (InBody(eye, m_Hero.position))
        return false;
    // The view from there looks no steeper down or up than the orbit may.
    const D3DXVECTOR3 look = at - eye;
    const float length = D3DXVec3Length(&look);
    if (length <= 0.0f)
        return false;
    const float pitch = std::asin(Clamp(-look.y / length, -1.0f, 1.0f));
    return pitch <= highest + kPitchSlack && pitch >= m_Values.pitchDownLimit - kPitchSlack;
}

float CCamera::KeepHeroInSight(D3DXVECTOR3* eyeTarget, bool aiming)
{
    float swing = 0.0f;
    ICameraWorld& world = World();
    // His chest, straight over his feet: his body keeps that clear of the
    // level, where the look-at point may stand over a parapet or beside him.
    const D3DXVECTOR3 pivot = m_Hero.position + D3DXVECTOR3(0.0f, kChestHeight, 0.0f);
    // Aiming, the crosshair is where his shots go: the eye comes in along
    // its line over his shoulder, never up or round him, which would turn
    // the aim onto the ground or the crate, unless that line runs into his
    // own body.
    const D3DXVECTOR3 from = aiming ? m_LookAt : pivot;
    const D3DXVECTOR3 way = *eyeTarget - from;
    const float length = D3DXVec3Length(&way);
    if (length > 0.0f) {
        const D3DXVECTOR3 ahead = way / length;
        float reach = ReachAlong(from, ahead, length);
        D3DXVECTOR3 best = ahead;
        // Lifted over a crate no higher than the orbit may tilt.
        const float highest = m_Values.pitchUpLimit;
        bool bestSees = SeesHeroFrom(from + ahead * reach, m_LookAt, highest);
        // Aiming, any room out of his body will do; otherwise room enough to
        // see him whole from.
        const float wanted = aiming ? 0.0f : std::min(length, kNearestEye);
        if (reach < length && (reach < wanted || !bestSees)) {
            // A crate or a wall right behind him: the eye goes up over it or
            // else round him along it, by the least swing that gives it room
            // to see him from: the view still turns as far as it can with
            // the mouse. It keeps to the side of him it is on, rather than
            // flick across him.
            const float heading = std::atan2(way.x, way.z);
            const float start = std::asin(Clamp(ahead.y, -1.0f, 1.0f));
            const D3DXVECTOR3 eyeWay = GetPosition() - from;
            const float side = AngleDifference(heading, std::atan2(eyeWay.x, eyeWay.z)) < 0.0f ? -1.0f : 1.0f;
            auto tryDirection = [&](float yaw, float tilt) {
                const D3DXVECTOR3 direction(std::cos(tilt) * std::sin(yaw), std::sin(tilt),
                                            std::cos(tilt) * std::cos(yaw));
                const float tried = ReachAlong(from, direction, length);
                const bool sees = SeesHeroFrom(from + direction * tried, m_LookAt, highest);
                if ((sees && !bestSees) || (sees == bestSees && tried > reach)) {
                    reach = tried;
                    best = direction;
                    bestSees = sees;
                }
                return bestSees && reach >= wanted;
            };
            // Aiming, the view is the crosshair's: it tilts no further than
            // the orbit may. Otherwise, boxed in where no place within the
            // orbit's tilt sees him, a view from higher over him still does.
            const float highestTilt = aiming ? std::max(start, highest) : kHalfPi;
            bool found = false;
            for (int step = 1; step <= kLiftSteps && !found; ++step)
                found = tryDirection(heading, std::min(start + step * kLiftStep, highestTilt));
            const int swings = aiming ? kAimSwings : kSwings;
            for (int turn = 1; turn <= swings && !found; ++turn)
                for (float toward : {side, -side})
                    if (!found)
                        found = tryDirection(heading + toward * turn * kSwingStep, start);
            if (found && !aiming)
                swing = AngleDifference(heading, std::atan2(best.x, best.z));
        }
        *eyeTarget = from + best * reach;
    }
    // Walking back round a crate the body would stay behind it for seconds,
    // the hero hidden: it is put down on his side of it at once.
    if (!world.Sees(pivot, GetPosition())) {
        world.PlaceCamera(*eyeTarget);
        SetPosition(*eyeTarget);
    }
    return swing;
}

void CCamera::MoveEye(const D3DXVECTOR3& eyeTarget, float pace, const D3DXVECTOR3& heroStep)
{
    ICameraWorld& world = World();
    const D3DXVECTOR3 eye = GetPosition();
    // His feet where this frame's walk takes him.
    const D3DXVECTOR3 feet = m_Hero.position + heroStep;
    // The eye closes its share of the way in heading, distance and height
    // round him: straight across, a quick turn took it through his body.
    const D3DXVECTOR3 from = eye - feet, to = eyeTarget - feet;
    const float r0 = std::hypot(from.x, from.z), r1 = std::hypot(to.x, to.z);
    float h1 = std::atan2(to.x, to.z);
    const float h0 = r0 > 0.001f ? std::atan2(from.x, from.z) : h1;
    if (r1 <= 0.001f)
        h1 = h0;
    const float h = h0 + pace * WrapAngle(h1 - h0);
    float r = r0 + pace * (r1 - r0);
    const float y = from.y + pace * (to.y - from.y);
    // Caught in his body (he walked or rolled into it), it leaves at once.
    if (y < kHeroTop && r < kBodyClearance && r1 >= kBodyClearance)
        r = kBodyClearance;
    D3DXVECTOR3 next = feet + D3DXVECTOR3(std::sin(h) * r, y, std::cos(h) * r);
    // Round a corner the arc passes through the wall: the eye goes straight
    // to the place it wants, which the hero can see.
    const D3DXVECTOR3 pivot = m_Hero.position + D3DXVECTOR3(0.0f, kChestHeight, 0.0f);
    const D3DXVECTOR3 fromPivot = next - pivot;
    if (world.ClearReach(pivot, next) < D3DXVec3Length(&fromPivot))
        next = eyeTarget;
    // The body walks there when nothing stands in its way; caught on a
    // corner it would stay there while the view was turned away from it,
    // so it is put there instead.
    const D3DXVECTOR3 walk = next - eye;
    if (world.ClearReach(eye, next) >= D3DXVec3Length(&walk)) {
        world.WalkCamera(walk);
    } else {
        world.WalkCamera(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        world.PlaceCamera(next);
        SetPosition(next);
    }
}

void CCamera::UpdateFrustum()
{
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &m_View, &m_Projection);
    const D3DXPLANE c1 = Column(m, 0), c2 = Column(m, 1), c3 = Column(m, 2), c4 = Column(m, 3);
    const D3DXPLANE planes[6] = {Add(c4, c1), Sub(c4, c1), Sub(c4, c2), Add(c4, c2), c3, Sub(c4, c3)};
    for (int i = 0; i < 6; ++i)
        D3DXPlaneNormalize(&m_Frustum[i], &planes[i]);
}

int CCamera::SphereInFrustum(float x, float y, float z, float radius) const
{
    const D3DXVECTOR3 centre(x, y, z);
    for (const D3DXPLANE& plane : m_Frustum) {
        const float d = D3DXPlaneDotCoord(&plane, &centre);
        if (d < -radius)
            return -1;
        if (std::fabs(d) < radius)
            return 0;
    }
    return 1;
}

float CCamera::DistanceTo(float x, float y, float z) const
{
    const D3DXVECTOR3 offset = D3DXVECTOR3(x, y, z) - GetPosition();
    return D3DXVec3Length(&offset);
}

void CCamera::ComputeAimPoint(const D3DXVECTOR3& enemyPosition)
{
    // The eye goes to the far side of the look-at point from the enemy, so
    // that the camera looks past the hero at him; no steeper than the orbit
    // itself may look: an enemy far below or above would put the eye over
    // the hero's head looking at the ground, or under his feet.
    const D3DXVECTOR3 toEnemy = Normalized(enemyPosition + D3DXVECTOR3(0.0f, 55.0f, 0.0f) - m_LookAt);
    const float pitch = Clamp(std::asin(Clamp(-toEnemy.y, -1.0f, 1.0f)), m_Values.pitchDownLimit,
                              m_Values.pitchUpLimit);
    D3DXVECTOR3 back(-toEnemy.x, 0.0f, -toEnemy.z);
    if (D3DXVec3LengthSq(&back) > 0.0f)
        back = Normalized(back) * std::cos(pitch);
    back.y = std::sin(pitch);
    m_AimPoint = m_LookAt + back * D3DXVec3Length(&m_CurrentOffset);
}

void CCamera::SelectNextAimTarget()
{
    std::string name;
    D3DXVECTOR3 position;
    if (World().NextAimTarget(m_AimTargetName, &name, &position)) {
        m_AimTargetName = name;
        m_HasAimTarget = true;
        m_LockSeconds = 0.0f;
        ComputeAimPoint(position);
    } else {
        m_HasAimTarget = false;
    }
}

void CCamera::RefreshAimTarget()
{
    // Held, the lock is the player's choice: a plane or a running soldier
    // is followed past the time a tapped lock has to come round.
    m_LockSeconds = 0.0f;
    FollowAimTarget();
}

void CCamera::FollowAimTarget()
{
    D3DXVECTOR3 position;
    if (World().FindLiveTarget(m_AimTargetName, &position)) {
        m_HasAimTarget = true;
        ComputeAimPoint(position);
    } else {
        m_HasAimTarget = false;
    }
}

void CCamera::RandomShakeOffset(D3DXVECTOR3* out) const
{
    const float v = ShakeStep(11.0f, 7.0f);
    *out = D3DXVECTOR3(v, -15.0f, v);
}

void CCamera::RandomShakeOffsetSmall(D3DXVECTOR3* out) const
{
    const float v = ShakeStep(1.9f, 1.2f);
    *out = D3DXVECTOR3(v, -1.5f, v);
}

CCamera& getCamera()
{
    static CCamera camera;
    return camera;
}
