#include "scene/ParticleManager.h"

void CParticleManager::Init(CRenderTarget target, const char* file)
{
    // Placeholder until the particles are built.
}

void CParticleManager::Update(float dt)
{
    // Placeholder until the particles are built.
}

void CParticleManager::Reset()
{
    // Placeholder until the particles are built.
}

void CParticleManager::ResetWithAmbient()
{
    // Placeholder until the particles are built.
}

void CParticleManager::update_XML(const char* file)
{
    // Placeholder until the particles are built.
}

void CParticleManager::addShootf(float x, float y, float z)
{
    // Placeholder until the particles are built.
}

void CParticleManager::AddLampPosition(float x, float y, float z)
{
    m_LampPositions.emplace_back(x, y, z);
}

CParticleManager& getParticleManager()
{
    static CParticleManager manager;
    return manager;
}
