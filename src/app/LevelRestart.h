// Rebuilding a level in memory: a new game, a restart at the last checkpoint,
// and the switch from "hangares" to "isla".
#pragma once

#include <string>

#include "platform/d3dx9math.h"

// What a restart asks of the managers it does not own. The game's own link
// reaches the real ones; tests record the calls.
class ILevelWorld {
public:
    virtual ~ILevelWorld() = default;

    virtual void StopSceneSounds() = 0;
    virtual void PauseAllTypical() = 0;
    virtual void ResumeAllTypical() = 0;
    virtual void Mute() = 0;
    virtual void Unmute() = 0;
    virtual void PlayRadioHangar() = 0;
    virtual void PlayRadioIsland() = 0;
    virtual void PlaySampleOnce(const std::string& file, float volume) = 0;
    virtual void PlaySceneSounds(const std::string& file1, float volume1, bool on1, const std::string& file2,
                                 float volume2, bool on2, const std::string& file3, float volume3, bool on3) = 0;
    virtual void ShowSubtitle(const std::string& key) = 0;

    virtual void ResetWaves() = 0;
    virtual std::string CurrentWave() = 0;
    virtual void KillWave(const std::string& wave) = 0;
    virtual void SetNewZone(const std::string& room, const std::string& wave) = 0;
    // A fresh Lua state with the level scripts.
    virtual void ResetTriggers() = 0;

    // Every emitter removed; the level's ambient ones started again when asked.
    virtual void ResetParticles(bool ambient) = 0;
    virtual void CreateEmitter(const std::string& type, const D3DXVECTOR3& position) = 0;

    virtual void ClearRigidAnims() = 0;
    virtual void ResetRigidAnims() = 0;
    virtual void PlayRigid(const std::string& name, bool loop) = 0;
    virtual void PlayCam(const std::string& name) = 0;

    // Collision bodies and the scenario's rooms of that level.
    virtual void LoadLevel(const std::string& level) = 0;
    virtual void SetupScene() = 0;
    virtual void RemoveCollisionBody(const std::string& name) = 0;
    virtual void SetRemainingHits(int hits) = 0;
    virtual void ForgetHangarFire() = 0;
    virtual void ResetParapets() = 0;
    // Back to the object's start matrix; an object the scene lacks is skipped.
    virtual void RestoreStartMatrix(const std::string& name) = 0;

    virtual void LoadCamera(const D3DXVECTOR3& hero) = 0;
    virtual void SetCameraYaw(float yaw) = 0;

    // The hero's controller flags cleared, his action removed, back to free
    // movement away from any parapet.
    virtual void ReleaseHero() = 0;
    // The hero's cycles cleared and "idle_ostrel" blended in.
    virtual void HeroIdle() = 0;
    virtual void CreateWeapons() = 0;
    virtual void RestoreCheckpointAmmo() = 0;
    virtual void SetHeroBody(const D3DXVECTOR3& position) = 0;
};

// The game's link to the real managers.
ILevelWorld& getGameLevelWorld();

// true: a new game on "hangares"; false: back to the last checkpoint reached.
void RestartLevel(bool newGame);
void RestartLevel(bool newGame, ILevelWorld& world);

// Run by the frame update when the scripted-sequence record says the island
// is ready; it moves the record on, so it runs once.
void SwitchLevelToIsla();
void SwitchLevelToIsla(ILevelWorld& world);

// Where each checkpoint puts the hero back.
struct CheckpointPlace {
    const char* level;
    D3DXVECTOR3 position;
    float yaw;
    int zone;
};
// Checkpoints 1 to 5; any other number is read as 1.
const CheckpointPlace& GetCheckpointPlace(int checkpoint);
