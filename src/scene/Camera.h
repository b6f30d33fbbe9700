// The one player camera: a third-person camera that follows the hero, turns
// with the mouse or the right stick, switches its offsets when he aims or sits
// behind a parapet, can lock onto an enemy, and hands the view over to a free
// camera for the camera flights. It also owns the frustum that every culling
// decision uses, and it turns the movement keys into the hero's walking: he
// walks relative to the camera.
#pragma once

#include <string>

#include "platform/d3d9.h"
#include "platform/d3dx9math.h"
#include "scene/LightCamera.h"
#include "scene/Location.h"
#include "xml/XMLParser.h"

// What the camera reads of the hero in one frame.
struct CameraHeroState {
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    float yaw = 0.0f;
    // The current controller's state code (0 without a controller).
    int stateCode = 0;
    // The controller selector's state name: "FREE", "AIMING", "PARAPETED", "FIGHTING".
    std::string selectorState = "FREE";
    bool peeking = false;
    bool readyToShoot = false;
    bool fighting = false;
    std::string weaponName = "GUN";
    // Walking speed and aimed/along-cover speed.
    float walkSpeed = 200.0f;
    float aimSpeed = 100.0f;
    // The current controller's status flag: while set the camera does not
    // swing back behind the hero.
    bool controllerBusy = false;
    // The camera controller's held directions.
    bool forward = false;
    bool back = false;
    bool left = false;
    bool right = false;
    // The parapet the hero is behind, when he is: its facing yaw and its two
    // end points.
    bool hasParapet = false;
    bool lowCover = false;
    // The height of the top of what the parapet belongs to (its crate or
    // barrier), when there is one under it.
    bool hasParapetTop = false;
    float parapetTop = 0.0f;
    float parapetYaw = 0.0f;
    D3DXVECTOR3 parapetStart{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 parapetEnd{0.0f, 0.0f, 0.0f};
};

// The camera's input of one frame.
struct CameraInputState {
    // Mouse movement since the last poll (positive right and down).
    float mouseX = 0.0f;
    float mouseY = 0.0f;
    bool padConnected = false;
    // Sticks in [-1, 1] (positive right and up), 0 inside the dead zone.
    float rightStickX = 0.0f;
    float rightStickY = 0.0f;
    float leftStickX = 0.0f;
    float leftStickY = 0.0f;
};

// Everything the camera reads from or tells the rest of the game. The game's
// own link talks to the hero, the enemies, the physics and the input; tests
// put a stand-in in its place.
class ICameraWorld {
public:
    virtual ~ICameraWorld() = default;

    virtual CameraHeroState ReadHero() = 0;
    virtual CameraInputState ReadInput() = 0;
    // A named input action fires in the last poll.
    virtual bool IsAction(const std::string& name) = 0;
    // A comic-panel or camera sequence has taken control.
    virtual bool IsScriptedSequenceRunning() = 0;

    virtual void SetHeroYaw(float yaw) = 0;
    // Walk vectors for this frame: the hero's body and the camera's body (the
    // physics step moves the eye, so walls stop the camera).
    virtual void WalkHero(const D3DXVECTOR3& step) = 0;
    virtual void WalkCamera(const D3DXVECTOR3& step) = 0;
    // Hands the hero on to the next parapet at the end he walks toward; false
    // when there is none.
    virtual bool SelectAdjacentParapet(bool towardEnd) = 0;

    // How far the camera's body gets from `from` straight toward `to` before
    // the level stops it; a stand-in without a level lets it go all the way.
    virtual float ClearReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to)
    {
        const D3DXVECTOR3 way = to - from;
        return D3DXVec3Length(&way);
    }
    // Nothing of the level stands on the line between the two points.
    virtual bool Sees(const D3DXVECTOR3&, const D3DXVECTOR3&) { return true; }
    // Puts the camera's body down at once, where walking could not take it.
    virtual void PlaceCamera(const D3DXVECTOR3&) {}

    // The next enemy to aim at after `current`: the nearest tracked one the
    // hero can see; false when there is none.
    virtual bool NextAimTarget(const std::string& current, std::string* name, D3DXVECTOR3* position) = 0;
    // The enemy of that name in the current wave, while he lives and the
    // hero can see him.
    virtual bool FindLiveTarget(const std::string& name, D3DXVECTOR3* position) = 0;
};

class CCamera : public CXMLParser, public CLocation {
public:
    CCamera();

    // Keeps the device, reads "data/XML/camera_values.xml" (what it lacks
    // keeps its default), resets the orbit, puts the projection on the device
    // and a first view around the hero's position.
    void LoadValues(float x, float y, float z, IDirect3DDevice9* device);
    // The device is going: nothing more is sent to it.
    void ForgetDevice() { m_Device = nullptr; }
    // Reads "PROPERTIES"; other elements are ignored.
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;

    // The per-frame update: look-at point, follow, the hero's walking and
    // facing, and the view (or the free camera).
    void Update(float seconds);
    // The follow part of the update (called by Update).
    void UpdateFollowCamera();

    // Sets the yaw the orbit heads for (the camera's own yaw follows it). It
    // hides CLocation::SetYaw on purpose: placing the camera means turning
    // the orbit.
    void SetYaw(float yaw);
    // The orbit back at a new camera's heading, from which it eases toward
    // the yaw it is given: a start does it, so that a second start in the
    // process frames the hero as the first did. A restart or a new game
    // keeps the heading the player left, as it always has.
    void ForgetHeading() { CLocation::SetYaw(0.0f); }
    void SetWantedPitch(float pitch) { m_WantedPitch = pitch; }
    // Stores the field of view (radians) and puts the projection on the device.
    void SetFov(float fov);
    // Rebuilds the view from eye, look-at point and up and puts it on the
    // device, unless the view is locked or the free camera is on.
    void ApplyView();

    // The six culling planes from view x projection.
    void UpdateFrustum();
    // -1 wholly outside, 0 crossing, 1 inside. The planes are tried in the
    // order left, right, top, bottom, near, far, and the first one the sphere
    // crosses answers: a sphere that crosses the left plane counts as
    // crossing even when it lies wholly beyond the far one.
    int SphereInFrustum(float x, float y, float z, float radius) const;
    // Distance from the eye.
    float DistanceTo(float x, float y, float z) const;

    // Locks onto the next enemy after the kept one, or lets go when there is none.
    void SelectNextAimTarget();
    // Re-aims at the kept enemy while it lives; lets go otherwise. The
    // controllers call it while the player holds the lock's button: the lock
    // then follows its enemy for as long as it is held.
    void RefreshAimTarget();

    // One frame of recoil for the eye: (v, -15, v) and (v, -1.5, v) with v
    // from a fixed table by a draw of the runtime generator.
    void RandomShakeOffset(D3DXVECTOR3* out) const;
    void RandomShakeOffsetSmall(D3DXVECTOR3* out) const;

    // Where the game's camera link is replaced (tests). Null restores it.
    void SetWorld(ICameraWorld* world) { m_World = world; }

    // --- state read by the renderer, the hero, the particles and the sequencer
    // The eye is the CLocation position; yaw and pitch are the camera's own.
    const D3DXVECTOR3& GetLookAt() const { return m_LookAt; }
    void SetLookAt(const D3DXVECTOR3& point) { m_LookAt = point; }
    const D3DXVECTOR3& GetDesiredLookAt() const { return m_DesiredLookAt; }
    // normalise(look-at point - eye), as the last update left it.
    const D3DXVECTOR3& GetViewDirection() const { return m_ViewDirection; }
    const D3DXVECTOR3& GetRightVector() const { return m_Right; }
    const D3DXVECTOR3& GetUpVector() const { return m_Up; }
    const D3DXMATRIX& GetViewMatrix() const { return m_View; }
    const D3DXMATRIX& GetProjectionMatrix() const { return m_Projection; }
    const D3DXPLANE& GetFrustumPlane(int index) const { return m_Frustum[index]; }
    float GetFov() const { return m_Fov; }
    float GetAspect() const { return m_Aspect; }
    float GetNear() const { return m_Near; }
    float GetFar() const { return m_Far; }
    float GetWantedYaw() const { return m_WantedYaw; }
    float GetWantedPitch() const { return m_WantedPitch; }
    float GetFrameStep() const { return m_FrameStep; }
    const D3DXVECTOR3& GetCurrentOffset() const { return m_CurrentOffset; }

    // The field of view kept while a scripted sequence switches it.
    float GetSavedFov() const { return m_SavedFov; }
    void SetSavedFov(float fov) { m_SavedFov = fov; }
    // The free camera: the view comes from the flight camera record.
    bool IsFreeCamera() const { return m_FreeCamera; }
    void SetFreeCamera(bool on) { m_FreeCamera = on; }
    bool IsViewLocked() const { return m_ViewLocked; }
    void SetViewLocked(bool locked) { m_ViewLocked = locked; }
    // The record the free camera and the camera flights move.
    CLightCamera& GetFlightCamera() { return m_FlightCamera; }
    const CLightCamera& GetFlightCamera() const { return m_FlightCamera; }

    bool HasAimTarget() const { return m_HasAimTarget; }
    const std::string& GetAimTargetName() const { return m_AimTargetName; }
    const D3DXVECTOR3& GetAimPoint() const { return m_AimPoint; }

    // --- the tuning of "data/XML/camera_values.xml"
    struct Values {
        float speed = 0.3f;
        float speedAiming = 0.1f;
        D3DXVECTOR3 offsetAiming{0.0f, 0.0f, 0.0f};
        D3DXVECTOR3 offset{0.0f, 0.0f, 0.0f};
        float pitchUpLimit = 0.4f;
        float pitchDownLimit = -0.4f;
        float aspectX = 4.0f;
        float aspectY = 3.0f;
        D3DXVECTOR3 lookAtDesp{0.0f, 0.0f, 0.0f};
        D3DXVECTOR3 lookAtDespAiming{0.0f, 0.0f, 0.0f};
        float fovRespectPi = 0.33f;
        float zNear = 1.0f;
        float zFar = 15000.0f;
        D3DXVECTOR3 lookAtDespParapetedLeft{0.0f, 0.0f, 0.0f};
        // Read and kept; nothing uses it.
        D3DXVECTOR3 lookAtDespParapetedRight{0.0f, 0.0f, 0.0f};
    };
    const Values& GetValues() const { return m_Values; }

private:
    ICameraWorld& World();
    void SendProjection();
    void SendView();
    void BuildProjection();
    void KeepUsableOffsets(bool fileRead);
    void ComputeAimPoint(const D3DXVECTOR3& enemyPosition);
    void FollowAimTarget();
    void UpdateFreeCamera(const CameraHeroState& hero);
    // The heading the orbit keeps to and swings back to: the hero's own,
    // but behind a parapet the one that faces it.
    float CoverHeading() const;
    // Brings the eye it wants to where the hero can be seen from, out of his
    // body and no steeper over him than the orbit may look. Gives back how
    // far round him a wall made it swing the eye (0 when it did not).
    float KeepHeroInSight(D3DXVECTOR3* eyeTarget, bool aiming);
    // While the player turns the view, keeps the eye on the orbit's heading
    // out of walls and his body: with no room behind him the look-at point
    // and the eye slide aside together (m_SideShift). False where no place
    // beside him keeps him in frame (`whole`) or in sight at all.
    bool SlideBesideWall(D3DXVECTOR3* eyeTarget, bool whole);
    // From `eye` looking at `at`, how many of his feet, chest and head are
    // in the frame and unhidden; -1 when the level hides his chest.
    int FramedParts(const D3DXVECTOR3& eye, const D3DXVECTOR3& at);
    // An eye there looking at `at` is out of his body and looks no steeper
    // down than `highest` nor up than the orbit's limit.
    bool SeesHeroFrom(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, float highest) const;
    // How far the camera's body gets from `from` along `direction` (a unit
    // vector), up to `length`.
    float ReachAlong(const D3DXVECTOR3& from, const D3DXVECTOR3& direction, float length);
    // Moves the camera's body one frame's share of the way to the eye it
    // wants, round the hero rather than through him.
    void MoveEye(const D3DXVECTOR3& eyeTarget, float pace, const D3DXVECTOR3& heroStep);
    // The mouse's and the stick's turn of this frame, and the share of what
    // the mouse still owes that the orbit takes this frame.
    void TurnOrbit(const CameraInputState& input, bool coverTurn, float heading);
    bool Walk(const CameraInputState& input, float speed, D3DXVECTOR3* step, float* facing);

    Values m_Values;
    IDirect3DDevice9* m_Device = nullptr;
    ICameraWorld* m_World = nullptr;

    D3DXVECTOR3 m_CameraUp;
    D3DXVECTOR3 m_LookAt;
    D3DXVECTOR3 m_DesiredLookAt;
    bool m_HasAimTarget = false;
    D3DXVECTOR3 m_AimPoint;
    D3DXMATRIX m_Rotation;
    // The hero as read this frame; m_HeroYaw is the camera's copy of his
    // yaw, which the follow turns and the update hands back to him.
    CameraHeroState m_Hero;
    int m_HeroState = 0;
    float m_HeroYaw = 0.0f;

    D3DXMATRIX m_View;
    D3DXMATRIX m_Projection;
    D3DXPLANE m_Frustum[6];

    float m_WantedYaw = 1.5707964f;
    float m_WantedPitch = 0.0f;
    // The turn the mouse asked for that the orbit has not taken yet: a long
    // move is handed on a bounded share a frame, so that the orbit never
    // trails it by half a turn and swings back the short way.
    float m_MouseYawOwed = 0.0f;
    // Seconds the lock has held its soldier.
    float m_LockSeconds = 0.0f;
    // How far round the hero a wall swung the eye off the orbit's heading
    // in the last frame.
    float m_WallSwing = 0.0f;
    // The player has turned the view since he last walked or it swung back
    // behind him: a wall then slides the view aside (by m_SideShift along
    // the look-at displacement's x) rather than swing it off his heading.
    bool m_MouseLed = false;
    float m_SideShift = 0.0f;
    float m_CurrentSpeed = 0.3f;
    float m_FrameStep = 0.0f;
    std::string m_AimTargetName;
    bool m_ViewLocked = false;
    float m_Fov;
    float m_Near;
    float m_Far;
    float m_Aspect;
    float m_SavedFov;
    bool m_FreeCamera = false;
    CLightCamera m_FlightCamera;

    D3DXVECTOR3 m_ViewDirection;
    D3DXVECTOR3 m_Right;
    D3DXVECTOR3 m_Up;
    D3DXVECTOR3 m_BaseDirection;
    D3DXVECTOR3 m_CurrentOffset;
    // Counts down while nothing happens; at 0 the camera swings back behind
    // the hero.
    float m_IdleTimer = 4.0f;
};

// The one camera, built on first use.
CCamera& getCamera();

// The camera's link to the game's hero, enemies, physics and input.
ICameraWorld& getGameCameraWorld();
