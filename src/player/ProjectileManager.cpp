#include "player/ProjectileManager.h"

void CProjectileManager::Reset()
{
    // Placeholder until the projectiles are built.
}

void CProjectileManager::Update(float dt)
{
    // Placeholder until the projectiles are built.
}

void CProjectileManager::Render(float unused)
{
    // Placeholder until the projectiles are built.
}

CProjectileManager& getProjectileManager()
{
    static CProjectileManager manager;
    return manager;
}
