// Shots and their visible tracers: every shot is resolved the moment it is
// fired; the tracer then flies and ages until it expires.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx9math.h"
#include "render/VisiblePart.h"
#include "scene/Location.h"

// One bullet or pellet in flight: only drawn, nothing happens when it arrives.
struct Projectile {
    CLocation transform;
    // Units per update, not per second.
    float speed = 100.0f;
    // Game seconds; every record starts at 1 and is done at the lifetime.
    float age = 1.0f;
    std::uint16_t shooter = 0; // 1 an enemy, 0 the hero
    std::string weapon;
    bool active = true;
    std::uint16_t damage = 0;
    // Where the shot's ray hit; a shot that hit nothing has no target and
    // flies until it is too old.
    D3DXVECTOR3 target{0.0f, 0.0f, 0.0f};
    bool hasTarget = false;
};

class CProjectileManager {
public:
    // Empties the tracer lists.
    void Reset();
    // Moves each tracer its own fixed distance and ages it by the step;
    // expired ones are dropped in the next update, so they are drawn once more.
    void Update(float dt);
    // Draws every tracer, expired or not; the argument is not used.
    void Render(float unused);

    // One shot of a weapon whose model stands at the muzzle. The hero's shots
    // (shooter 0) follow the camera's aim; an enemy's aim at the hero, lower
    // when he crouches in cover.
    void FireShot(CLocation muzzle, float velocity, std::uint16_t shooterFlag, bool aiming, std::string weapon,
                  std::uint16_t damage, std::uint16_t spread);
    // One shot of an enemy's Thompson burst: with spread 0 the burst climbs
    // down onto the hero step by step.
    void FireThompson(CLocation muzzle, std::uint16_t shooterFlag, std::string weapon, std::uint16_t spread,
                      std::uint16_t burstStep);
    // The eight pellets of a shotgun shot, in a fixed pattern round the aim.
    void FireShotgunPellets(const CLocation& muzzle, float velocity, std::uint16_t shooterFlag,
                            std::uint16_t damage);
    // A copy turned by a random error of up to (spread - 1) / 100 radians in
    // yaw and in pitch; four draws of the runtime generator unless spread is 0.
    CLocation ApplySpread(CLocation t, std::uint16_t spread);
    void DrawTracer(const Projectile& projectile);
    // How far ahead of the bullet its streak is centred, seen from the eye,
    // and how wide it is drawn; false when the streak passes so near the
    // eye that it is not drawn.
    static bool TracerPlace(const Projectile& projectile, const D3DXVECTOR3& eye, float* ahead,
                            float* width = nullptr);

    const std::vector<Projectile>& GetProjectiles() const { return m_Live; }
    const std::vector<Projectile>& GetPellets() const { return m_Pellets; }
    // Test and tooling access: a record placed as it stands.
    void Add(const Projectile& projectile) { m_Live.push_back(projectile); }

private:
    std::vector<Projectile> m_Live;
    std::vector<std::size_t> m_Erase;
    std::vector<Projectile> m_Pellets;
    float m_Lifetime = 2.0f;
    // The tracer texture's visible strip, read once per texture.
    IDirect3DTexture9* m_TracerTexture = nullptr;
    TexturePart m_TracerPart;
};

CProjectileManager& getProjectileManager();
