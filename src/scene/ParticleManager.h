// Every live particle effect: emitters, standing systems and the ambient ones.
#pragma once

#include <vector>

#include "platform/d3dx9math.h"
#include "render/RenderTarget.h"

class CParticleEmitter;

class CParticleManager {
public:
    // Reads the particle types, keeps the target the particles are drawn
    // into, then starts as ResetWithAmbient.
    void Init(CRenderTarget target, const char* file);
    void Update(float dt);
    // Removes every emitter and builds the standing systems again.
    void Reset();
    // As Reset, plus the level's ambient emitters.
    void ResetWithAmbient();
    // Script methods: reads the particle types again from a file; spawns the
    // shot effect at a point.
    void update_XML(const char* file);
    void addShootf(float x, float y, float z);

    // The street lamps' light points, handed over by the level loader; they
    // stay for the whole run (resets keep them).
    void AddLampPosition(float x, float y, float z);
    const std::vector<D3DXVECTOR3>& GetLampPositions() const { return m_LampPositions; }

private:
    std::vector<D3DXVECTOR3> m_LampPositions;
};

CParticleManager& getParticleManager();
