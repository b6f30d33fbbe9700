// What the level benchmark's files share: the frame as the game loop plays
// it, the process's clocks, and the characters put in front of the camera for
// the crowd and the wave cases.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dinput.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"
#include "scene/ParticleEmitter.h"

namespace levelbench {

// Waits until the device has drawn everything issued so far.
void FinishDevice();

// CPU milliseconds of the whole process so far, every thread.
double ProcessCpuMs();

// The game's update of one frame (with the case in front of the camera), then
// the view's swing.
void UpdateGame(float step);

// One frame as the game loop runs it: the update, then the render.
void PlayFrame(float step);

// Five characters and a field of fires in front of the camera.
struct Crowd {
    std::vector<std::unique_ptr<CCharacterEntity>> bodies;
    std::vector<std::shared_ptr<CParticleEmitter>> fires;
    std::vector<int> liveParticles;
};

// Eight enemies fighting the hero in front of the camera.
struct Wave {
    std::vector<std::unique_ptr<CCharacterEntity>> bodies;
    std::vector<std::unique_ptr<IWeapon>> weapons;
    platform::FakeDirectInput input;
    float clock = 0.0f;
    int shots = 0;
    std::vector<int> liveParticles;
};

constexpr int kCrowdCharacters = 5;
constexpr int kCrowdParticles = 2000;
constexpr int kWaveEnemies = 8;

// The case being measured, stepped by UpdateGame; none when null.
extern Crowd* g_Crowd;
extern Wave* g_Wave;

bool GatherCrowd(Crowd& crowd);
void DisperseCrowd(Crowd& crowd);
void StepCrowd(float step);
bool GatherWave(Wave& wave);
void DisperseWave(Wave& wave);
void StepWave(float step);

// With --serial: per timing-log label, the main thread's own share of the
// frame apart from its drawing threads' (see serial_share.cpp).
void PrintSerial(int frames, float step, const std::string& logPath);

} // namespace levelbench
