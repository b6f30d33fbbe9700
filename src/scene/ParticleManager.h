// Every live particle effect: emitters, standing systems and the ambient ones.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx9math.h"
#include "render/RenderTarget.h"
#include "render/ScreenTiles.h"
#include "render/VertexBuffers.h"
#include "scene/ParticleEmitter.h"

struct ID3DXEffect;

struct ParticleSystemType;

// Particles drawn by one call through the shader's constant array.
constexpr int kParticleBatch = 40;

class CParticleManager {
public:
    CParticleManager();
    ~CParticleManager();
    CParticleManager(const CParticleManager&) = delete;
    CParticleManager& operator=(const CParticleManager&) = delete;

    // Reads the particle types, keeps the target the particles are drawn
    // into, builds the quad buffer, then starts as ResetWithAmbient.
    void Init(CRenderTarget target, const char* file);
    void Update(float dt);
    // Into the particle target: standing systems, then emitters in batches.
    void Render();
    // Removes every emitter and builds the standing systems again.
    void Reset();
    // As Reset, plus the level's ambient smoke and mosquitoes.
    void ResetWithAmbient();
    void ClearAll();

    // Emitters are shared with whoever keeps one to move or remove it: one
    // the manager has dropped stays valid for its holder, and moving or
    // removing it changes nothing here. Null (with a message) for a null type.
    std::shared_ptr<CParticleEmitter> CreateEmitter(const ParticleSystemType* type, float x, float y, float z,
                                                    float dx, float dy, float dz);
    std::shared_ptr<CParticleEmitter> CreateEmitter(const ParticleSystemType* type, const D3DXVECTOR3& position,
                                                    const D3DXVECTOR3& direction);
    std::shared_ptr<CParticleEmitter> CreateEmitterDelayed(const ParticleSystemType* type, float x, float y,
                                                           float z, float dx, float dy, float dz, float delay);
    // A new standing system under the type's name (replacing that entry).
    CParticleSystem* CreateParticleSystem(const ParticleSystemType* type);
    CParticleSystem* GetParticleSystem(const std::string& name) const;
    // Takes the emitter (its last entry) out of the list; nothing when absent.
    void RemoveEmitter(const CParticleEmitter* emitter);
    // Takes out the last emitter standing exactly at the point.
    void RemoveEmitterAt(float x, float y, float z);

    // Script methods: reads the particle types again from a file and adapts
    // the emitters' rates; the shot effect at a point.
    void update_XML(const char* file);
    void addShootf(float x, float y, float z);

    // Effects at a point, by type name; a type the file lacks is skipped
    // with a message.
    void SpawnShot(float x, float y, float z);
    void SpawnBlood(const D3DXVECTOR3& hit, const D3DXVECTOR3& floor, const D3DXVECTOR3& direction);
    void SpawnSparks(const D3DXVECTOR3& point, const D3DXVECTOR3& normal);
    void SpawnWallSparks(const D3DXVECTOR3& point);
    void SpawnWaterSpray(const D3DXVECTOR3& point);
    void SpawnSmallWaterSpray(const D3DXVECTOR3& point);
    void SpawnExplosion(const D3DXVECTOR3& point, float delay);
    void SpawnBigExplosion(const D3DXVECTOR3& point, float delay);
    void SpawnAmbientSmoke();
    void SpawnFires();
    void SpawnMosquitos();
    void CreateStandingSystems();

    // The street lamps' light points, handed over by the level loader; they
    // stay until the level is loaded again (resets keep them). Mosquitoes
    // swarm there.
    void AddLampPosition(float x, float y, float z);
    void ClearLampPositions() { m_LampPositions.clear(); }
    const std::vector<D3DXVECTOR3>& GetLampPositions() const { return m_LampPositions; }

    const std::vector<std::shared_ptr<CParticleEmitter>>& GetEmitters() const { return m_Emitters; }
    const std::map<std::string, std::unique_ptr<CParticleSystem>>& GetSystems() const { return m_Systems; }
    const CRenderTarget& GetTarget() const { return m_Target; }
    // The floats of the last batch drawn and the float count of each draw of
    // the last Render, for checking what reached the shader.
    const std::vector<float>& GetLastBatch() const { return m_LastBatch; }
    const std::vector<int>& GetLastDrawSizes() const { return m_DrawSizes; }
    int GetLastDrawCount() const { return static_cast<int>(m_DrawSizes.size()); }
    // The tiles of the target the last Render can have drawn into (every one
    // while that is not known), for the composite to read the target only there.
    const ScreenTiles& GetCoveredTiles() const { return m_Covered; }

private:
    std::shared_ptr<CParticleEmitter> Spawn(const char* type, const D3DXVECTOR3& position, float delay = 0.0f);
    void BuildQuads();
    // `floats` per particle: twelve, or a decal's twenty.
    void DrawBatch(const float* data, int count, int floats = 12);
    // Marks the target's tiles the batch's quads can cover.
    void MarkCovered(ID3DXEffect* effect, const float* data, int count, int floats);
    // The standing systems' decals in shared draws of the decal technique,
    // those wholly outside the view left out; false, having drawn nothing,
    // when the effect has no such technique.
    bool DrawDecalBatches(const D3DXMATRIX& viewProjection);
    void SetTypeParameters(const ParticleSystemType* type);

    std::vector<std::shared_ptr<CParticleEmitter>> m_Emitters;
    std::vector<D3DXVECTOR3> m_LampPositions;
    std::map<std::string, std::unique_ptr<CParticleSystem>> m_Systems;
    CRenderTarget m_Target;
    CParticlesVB m_Quads;
    std::vector<float> m_LastBatch;
    std::vector<int> m_DrawSizes;
    ScreenTiles m_Covered;
};

CParticleManager& getParticleManager();
