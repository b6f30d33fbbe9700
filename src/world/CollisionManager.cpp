#include "world/CollisionManager.h"

#include "render/DrawCallCounter.h"

CCollisionManager::CCollisionManager()
{
    SetDrawCallCounter(&drawCallCount);
}

void CCollisionManager::InitPhysicsWorld()
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::Init()
{
    // Placeholder until the collision manager is built.
    drawCallCount = 0;
}

void CCollisionManager::OnStartElement(const std::string& element, CXMLAttributes& attributes)
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::Update(float seconds)
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::LoadNewScenario(std::string scenario)
{
    // Placeholder until the collision manager is built.
    hangarHits = 6;
}

void CCollisionManager::setNewPlayerPosition(D3DXVECTOR3 position)
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::setNewEnemyPosition(std::string name, D3DXVECTOR3 position)
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::RemoveStaticBody(std::string name)
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::SetPlayerWalkDirection(float x, float y, float z)
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::SetCameraWalkDirection(float x, float y, float z)
{
    // Placeholder until the collision manager is built.
}

void CCollisionManager::DebugDrawWorld(float unused)
{
    // Placeholder until the collision manager is built.
}

int CCollisionManager::RayTestProps()
{
    // Placeholder until the collision manager is built.
    return -1;
}

RayHit CCollisionManager::CastRay(D3DXVECTOR3 from, D3DXVECTOR3 to)
{
    // Placeholder until the collision manager is built.
    return RayHit();
}

CCollisionManager& getCollisionManager()
{
    static CCollisionManager manager;
    return manager;
}
