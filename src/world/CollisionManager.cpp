#include "world/CollisionManager.h"

#include "player/Player.h"
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
    // Placeholder until the collision manager is built: the level's first
    // checkpoint stands in for the start point its collision file will give.
    hangarHits = 6;
    setNewPlayerPosition(scenario == "hangares" ? D3DXVECTOR3(-1159.4f, 9.231f, -665.515f)
                                                : D3DXVECTOR3(1120.89f, 26.1259f, -912.779f));
}

void CCollisionManager::setNewPlayerPosition(D3DXVECTOR3 position)
{
    // Placeholder until the collision manager is built: no body to move, the
    // hero stands where he is put.
    getPlayer()->GetPosition().SetPosition(position);
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
