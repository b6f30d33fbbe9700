// Rigid keyframed animations of scene objects and camera flights, with the
// cut-scene sequencer that plays the story's comic panels and flights from
// the scripted-sequence record.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/bounded.h"
#include "platform/d3dx9math.h"
#include "xml/XMLParser.h"

class CLightCamera;
class CLocation;

// a * b (Hamilton product): b's rotation first, then a's.
D3DXQUATERNION QuatMultiply(const D3DXQUATERNION& a, const D3DXQUATERNION& b);
// v turned by the unit quaternion q.
D3DXVECTOR3 QuatRotateVector(const D3DXQUATERNION& q, const D3DXVECTOR3& v);

// Evenly spaced samples of a position and an orientation over a duration:
// sample k belongs to k * duration / (count - 1).
class RigidAnimTrack {
public:
    RigidAnimTrack() = default;
    RigidAnimTrack(const RigidAnimTrack&) = delete;
    RigidAnimTrack& operator=(const RigidAnimTrack&) = delete;

    // New samples are left unset; the caller fills them.
    void Allocate(float duration, unsigned positionCount, unsigned orientationCount);
    void Clear();
    // Reads a track file. False when it cannot be read (the track is left as
    // it was); true when it is read, whole or malformed: a malformed one is
    // left empty, and one line on the error stream names the file and the
    // fault. An empty track plays nothing.
    bool Load(const char* path);
    // Reads a track from a file's text: empty when it is whole, or else the
    // fault in a few words, the track left empty.
    std::string Read(const std::string& text);

    // The clamped, interpolated sample at time t; never reads past the last
    // sample. Only for a track that holds samples.
    void SamplePosition(float t, D3DXVECTOR3& out) const;
    void SampleOrientation(float t, D3DXQUATERNION& out) const;

    bool IsEmpty() const { return positionCount == 0 || orientationCount == 0; }

    float duration = 0.0f;
    unsigned positionCount = 0;
    unsigned orientationCount = 0;
    std::unique_ptr<D3DXVECTOR3[]> positions;
    std::unique_ptr<D3DXQUATERNION[]> orientations;
};

// A playing rigid animation.
class IRigidAnimationObject {
public:
    virtual ~IRigidAnimationObject() = default;
    virtual void Update(float dt) = 0;
    virtual bool IsFinished() = 0;
    virtual const float* GetPosition() = 0;
    virtual const float* GetRotation() = 0;
};

// One track played with its own clock and placement. Copies share the track.
// Without a track (or with an empty one) it stays at the origin, unrotated,
// and counts as finished.
class CKeyframedRAO : public IRigidAnimationObject {
public:
    CKeyframedRAO() = default;
    explicit CKeyframedRAO(RigidAnimTrack* track);

    void Update(float dt) override;
    bool IsFinished() override;
    const float* GetPosition() override { return position; }
    const float* GetRotation() override { return orientation; }

    // Starts over at time 0, placed so that the motion carries on from (P, Q)
    // without a jump: loops continue from where the last pass ended.
    void RestartFrom(const D3DXVECTOR3& P, const D3DXQUATERNION& Q);

    bool HasSamples() const { return track && !track->IsEmpty(); }

    RigidAnimTrack* track = nullptr;
    float time = 0.0f;
    float speed = 1.0f;
    D3DXVECTOR3 basePosition{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    D3DXQUATERNION baseRotation{0.0f, 0.0f, 0.0f, 1.0f};
    D3DXQUATERNION orientation{0.0f, 0.0f, 0.0f, 1.0f};
    D3DXVECTOR3 pivot{0.0f, 0.0f, 0.0f};
};

// Everything the animations and the story tell the rest of the game or ask
// of it. The game's own link talks to the GUI, the sound, the subtitles, the
// enemies, the hero, the scene and the camera; tests put a recorder in its
// place.
class IRigidAnimWorld {
public:
    virtual ~IRigidAnimWorld() = default;

    // The placement of the scene object of that name, or null.
    virtual CLocation* FindEntity(const std::string& name) = 0;
    // Whether any level of the game has an object of that name, whichever
    // level is played now; true for a world that cannot tell.
    virtual bool HasMesh(const std::string& name) { return true; }

    // GUI.
    virtual void FadeOutToBlack(float seconds) = 0;
    virtual void FadeOutToWhite(float seconds) = 0;
    virtual void FadeInFromBlack(float seconds) = 0;
    virtual void FadeInFromWhite(float seconds) = 0;
    virtual bool IsFadingIn() = 0;
    virtual void ShowMission(int n) = 0;
    // Back to the main menu, its exit item cleared.
    virtual void ReturnToMainMenu() = 0;

    // Sound and subtitles.
    virtual void PlaySampleOnce(const std::string& file, float volume) = 0;
    virtual void PlaySceneSounds(const std::string& file1, float volume1, bool on1, const std::string& file2,
                                 float volume2, bool on2, const std::string& file3, float volume3, bool on3) = 0;
    virtual void StopSceneSounds() = 0;
    virtual void StopOneShot() = 0;
    virtual void PauseAllTypical() = 0;
    virtual void ResumeAllTypical() = 0;
    virtual void LeaveMenu() = 0;
    virtual void ShowSubtitle(const std::string& key) = 0;
    virtual void ClearSubtitles() = 0;

    // Space or the pad's A pressed since the last poll.
    virtual bool SkipPressed() = 0;

    // Enemies.
    virtual void FreezeIA() = 0;
    virtual void ResumeIA() = 0;
    virtual std::string CurrentWave() = 0;
    virtual void SetNewZone(const std::string& room, const std::string& wave) = 0;
    virtual void DestroyEnemies51To53() = 0;
    virtual void FinalBattle() = 0;
    // Puts the current wave's "ene_Avioneta" at the point and has it aim its
    // Thompson gun; false when the wave has no such enemy.
    virtual bool PlaceAvioneta(const D3DXVECTOR3& position) = 0;
    // The current wave's "ene_Dockers3" exists and its docker routine is done.
    virtual bool IsDocker3Done() = 0;
    // Neither of the collision manager's two plane hit counters has gone
    // below 0, where the final stage of the plane's destruction plays.
    virtual bool PlaneStillFlying() = 0;
    // Puts the level's collision box of that name where the object of that
    // name is drawn now; nothing when either is missing.
    virtual void CarryBoxWith(const std::string& box, const std::string& object) = 0;

    // The hero.
    virtual bool IsFinisherUnderWay() = 0;
    // He is in a hand-to-hand fight (the final chain included).
    virtual bool IsHeroFighting() { return false; }
    virtual void ForgetFireHeld() = 0;
    virtual void RefillLife() = 0;
    virtual D3DXVECTOR3 HeroPosition() = 0;
    virtual float HeroYaw() = 0;
    virtual void SetHeroYaw(float yaw) = 0;
    // The collision body (the physics moves the body, the entity follows it).
    virtual void SetHeroBody(const D3DXVECTOR3& position) = 0;
    virtual void SetHeroEntity(const D3DXVECTOR3& position, float yaw) = 0;
    virtual bool IsExplosionRelocated() = 0;
    virtual void SetExplosionRelocated() = 0;
    // Stops the running action and clears the character's cycles when asked,
    // then blends in the low-cover idle cycle of the current weapon.
    virtual void BlendLowCoverIdle(float weight, float delay, bool clearFirst) = 0;
    virtual void SwitchToParapeted(int parapet, const D3DXVECTOR3& point) = 0;
    // The hero's action flags cleared, his running action dropped, free
    // movement, no parapet.
    virtual void ReleaseHeroToFree() = 0;
    virtual void StoreForCheckpoint() = 0;
    virtual void SetCheckpoint(int n) = 0;
    virtual void ActivateTriggerLogic(const std::string& name) = 0;
    virtual void ResetStoryRecord() = 0;

    // The camera.
    virtual void SetFreeCamera(bool on) = 0;
    // How far from `from` straight toward `to` the eye can stand clear of the
    // level; the whole way for a world without one.
    virtual float CameraReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to)
    {
        const D3DXVECTOR3 way = to - from;
        return D3DXVec3Length(&way);
    }
    virtual CLightCamera& FlightCamera() = 0;
    // Keeps the current field of view and sets the new one.
    virtual void SwitchFov(float fov) = 0;
    // Back to the kept field of view, projection rebuilt.
    virtual void RestoreFov() = 0;
};

// The game's link.
IRigidAnimWorld& getGameRigidAnimWorld();

class CRigidAnimManager : public CXMLParser {
public:
    // The list file and the track folder the game reads.
    static constexpr const char* kListFile = "data/XML/lista_animaciones_rigidas.xml";
    static constexpr const char* kTrackFolder = "data/XML/RigidAnim/";
    static constexpr int kMaxTracks = 600;

    struct AnimationPart {
        CKeyframedRAO anim;
        RigidAnimTrack* track = nullptr;
        std::string entityName;
    };
    struct RunningAnimation {
        CKeyframedRAO anim;
        CLocation* entity = nullptr;
    };

    CRigidAnimManager();

    // Reads the list file and the tracks it names.
    void Load();
    // Reads another list file (tests, tools).
    void LoadList(const std::string& file);
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
    void OnEndElement(const std::string& name) override;

    // The animations' motion and the cut-scene sequencer, with the scaled step.
    void Update(float dt);
    // Drops every running animation and ends a running camera flight.
    void Clear();
    // The state of a new game or a restart.
    void Reset();
    // Starts the named keyframe animation on its scene objects.
    void play(std::string name, bool loop);
    // Starts the named camera sequence.
    void playCam(std::string name);
    // The fight's combo camera is over: ends the camera sequence.
    void SetComboCamera();
    // Script methods: a waiting time that the update counts down, whether it
    // has run out, and the camera sequences' speed factor.
    void setWaitToPlayAvioneta(float seconds);
    bool canPlayWaitEnded();
    void setCameraSpeedModifier(float value);

    // Tests put their recorder here; null gives the game's link back.
    void SetWorld(IRigidAnimWorld* world) { m_World = world; }

    // Read-only views for callers and tests.
    const std::map<std::string, std::vector<AnimationPart>>& GetAnimations() const { return animations; }
    bool HasCamera(const std::string& name) const
    {
        return camPosTemplates.count(name) && camLookTemplates.count(name);
    }
    const CKeyframedRAO* GetCamPosTemplate(const std::string& name) const;
    const CKeyframedRAO* GetCamLookTemplate(const std::string& name) const;
    D3DXVECTOR3 GetCamPosOffset(const std::string& name) const;
    D3DXVECTOR3 GetCamLookOffset(const std::string& name) const;
    int GetTrackCount() const { return trackCount; }
    const RigidAnimTrack& GetTrack(int index) const { return tracks[index]; }

    // The start pose of each breakable or moving level object, as the level
    // file places it, so that a restart can put the pieces back. The slots
    // in order.
    static constexpr std::size_t kStartMatrixCount = 13;
    static const char* const StartMatrixNames[kStartMatrixCount];
    // Stores the matrix in the slot of that name; any other name is ignored.
    void SetStartMatrix(const std::string& name, const D3DXMATRIX& matrix);
    // The stored matrix, or null for another name or a slot the level file
    // never filled (its object is not in the level, so there is nothing to
    // put back).
    const D3DXMATRIX* GetStartMatrix(const std::string& name) const;

    std::map<std::string, RunningAnimation> oneShotAnims;
    CKeyframedRAO camPosAnim;
    CKeyframedRAO camLookAnim;
    std::map<std::string, RunningAnimation> loopAnims;
    std::unique_ptr<RigidAnimTrack[]> tracks;
    int trackCount = 0;
    std::map<std::string, CKeyframedRAO> camPosTemplates;
    std::map<std::string, CKeyframedRAO> camLookTemplates;
    std::map<std::string, D3DXVECTOR3> camPosOffsets;
    std::map<std::string, D3DXVECTOR3> camLookOffsets;
    D3DXVECTOR3 camPosOffset{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 camLookOffset{0.0f, 0.0f, 0.0f};
    std::map<std::string, std::vector<AnimationPart>> animations;
    std::string currentAnimName;
    std::vector<AnimationPart> pendingParts;
    // Keys into oneShotAnims (a map keeps one entry per entity).
    std::vector<std::string> finishedAnims;
    bool cameraStopRequested = false;
    bool comboCameraEndRequested = false;
    bool cameraTracksEnded = false;
    float waitToPlayAvioneta = 0.0f;
    // Counted by the sound manager while the credits play.
    float creditsRadioTimer = 0.0f;
    float cameraSpeedModifier = 1.0f;
    float dockersTimer = 0.0f;
    // A camera sequence drives the camera.
    bool camSequenceRunning = false;
    // The running camera sequence is played in the hero's frame.
    bool comboCameraSequence = false;
    // The first level's two breakable plank crates, each low cover. A broken
    // one takes its parapet with it: the hero is forced out of it and the
    // cover search does not offer it.
    bool IsParapetBlocked(const std::string& parapet) const
    {
        return (crateBroken2 && parapet == "p_b_n_A_P_008") || (crateBroken3 && parapet == "p_b_n_A_P_009");
    }
    bool crateBroken2 = false;
    bool crateBroken3 = false;
    int crateHits2 = 0;
    int crateHits3 = 0;
    D3DXMATRIX comboCameraMatrix;
    // How the running combo camera is fitted to where the fight stands, in
    // the hero's frame: its eye turned to the side of the pair whose way to
    // the look-at point is clear of walls, and brought in toward that point
    // when no side is.
    struct ComboFraming {
        float sideX = 1.0f, sideZ = 1.0f;  // 1 as authored, -1 mirrored through the look-at point
        float reach = 1.0f;                // share of the eye's distance from the look-at point kept
        D3DXVECTOR3 pivot{0.0f, 0.0f, 0.0f};
        D3DXVECTOR3 Fit(const D3DXVECTOR3& eye) const
        {
            const D3DXVECTOR3 d = eye - pivot;
            return pivot + reach * D3DXVECTOR3(sideX * d.x, d.y, sideZ * d.z);
        }
    };
    ComboFraming comboFraming;
    // A comic-panel or scripted sequence is under way: no player control.
    bool scriptedSequenceRunning = false;
    // The island scaffold and the boss's escape: 0 standing, 1 blown up (the
    // escape counts down), 2 done or past it after a restart at the last
    // checkpoint.
    int dockersEscapeStage = 0;
    // The hangar explosion may still move the hero.
    bool explosionTeleportArmed = true;

private:
    IRigidAnimWorld& World();
    void ApplyPose(RunningAnimation& running, const std::string& name);
    void UpdateCamera(float dt);
    // Chooses the running combo camera's framing from the level around the
    // hero as he now stands.
    void FitComboCamera();
    void HandleSequenceEnd(bool skip);
    void ApplyEndTable();
    void UpdateHangarStates();
    void CarryPlaneBox();
    void StartReadySequence();
    void UpdateDockersEscape(float dt);
    void RelocateForExplosion();
    void Scripted(float fov);

    IRigidAnimWorld* m_World = nullptr;
    D3DXMATRIX m_StartMatrices[kStartMatrixCount];
    bool m_StartMatrixSet[kStartMatrixCount] = {};
    std::string m_ListFile;
    bool m_TooManyReported = false;
    // What the list's parts lack, said once the list is read.
    bounded::FaultTally m_Faults;
};

CRigidAnimManager* getRigid();
