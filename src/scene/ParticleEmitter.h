// Particle effects built on a ring of particles: emitters that give birth at
// a steady rate for a while, and standing systems that keep single particles
// where the game puts them (bullet holes, blood and burns on the floor).
#pragma once

#include <cstddef>
#include <vector>

#include "platform/d3dx9math.h"

struct ParticleSystemType;

// One ring slot. The first twelve floats are what the shader receives.
struct Particle {
    float x = 0, y = 0, z = 0;
    float size = 0;
    float red = 0, green = 0, blue = 0, alpha = 0;
    float spin = 0;
    float frame = 0;
    float shader[2] = {0, 0};
    float dx = 0, dy = 0, dz = 0;
    float speed = 0;
    bool dead = true;
    float remaining = 0, age = 0;
    float weight = 0;
    float sizeScale = 0, speedScale = 0, spinScale = 0, weightScale = 0;
    unsigned sizeKey = 0, transparenceKey = 0, colorKey = 0, velocityKey = 0, spinKey = 0, weightKey = 0;
    float normal[3] = {0, 0, 0};
    float unused = 0;
    float up[3] = {0, 0, 0};
};

// The shader's twelve values are read as one run of floats from x on.
static_assert(offsetof(Particle, shader) + 2 * sizeof(float) == 12 * sizeof(float), "Particle shader values");

class CParticleEmitter {
public:
    CParticleEmitter() = default;
    virtual ~CParticleEmitter() = default;

    // Rate, ring and the first particle at the position.
    void Init(const ParticleSystemType* type, const D3DXVECTOR3& position, const D3DXVECTOR3& direction,
              float delay);
    // One step: the start delay, then births at the rate while the
    // generation time lasts, and every live particle's own step.
    virtual void Update(float dt);
    // New particles are born there; living ones stay where they are.
    void SetPosition(float x, float y, float z) { m_Position = D3DXVECTOR3(x, y, z); }
    // The rate and ring after the type was read again; particles are kept.
    void Refresh();

    const ParticleSystemType* GetType() const { return m_Type; }
    const D3DXVECTOR3& GetPosition() const { return m_Position; }
    const std::vector<Particle>& GetParticles() const { return m_Ring; }
    float GetInterval() const { return m_Interval; }
    float GetRemainingLife() const { return m_RemainingLife; }
    int CountLive() const;

protected:
    // A new particle in the slot at the point, drawn from the type.
    void SpawnParticle(Particle& p, const D3DXVECTOR3& point);
    // Ages a live particle; standing particles never die, they freeze.
    void StepParticle(Particle& p, float dt, bool standing);
    // The rate's particle count for a type: never below one.
    static int RateOf(const ParticleSystemType* type);

    std::vector<Particle> m_Ring;
    D3DXVECTOR3 m_Direction{0, 0, 0};
    float m_Interval = 1.0f;
    float m_RemainingLife = 0.0f, m_GenerationLeft = 0.0f, m_Delay = 0.0f;
    const ParticleSystemType* m_Type = nullptr;
    float m_Clock = 0.0f;
    float m_FrameCounter = 0.0f;
    D3DXVECTOR3 m_CameraDirection{0, 0, 1};
    D3DXVECTOR3 m_Position{0, 0, 0};
};

class CParticleSystem : public CParticleEmitter {
public:
    // A ring of as many slots as the type's particles per second (at least one).
    void Init(const ParticleSystemType* type);
    void Update(float dt) override;
    // Writes the next slot, overwriting the oldest once the ring is full; the
    // particle lies in the surface of the normal, its up along `up`.
    Particle& AddParticle(float x, float y, float z, float nx, float ny, float nz, float ux, float uy, float uz);

private:
    unsigned m_WriteIndex = 0;
};
