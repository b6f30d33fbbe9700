// Internal to the collision manager's files: the world's span and the
// conversions and tests they share.
#pragma once

#include "world/CollisionManager.h"

#include <btBulletDynamicsCommon.h>
#include <BulletCollision/CollisionDispatch/btGhostObject.h>

#include <cmath>
#include <string>
#include <utility>

namespace {

constexpr float kWorldHalfSize = 100000.0f;
// Longer than any line inside the world's bounds.
constexpr float kRaySpan = 2.0f * kWorldHalfSize * 1.7320508f + 1.0f;
constexpr float kSphereRadius = 10.0f;

// The family word starts the name's fourth character, as in "obj_radio_01".
inline bool HasFamilyWord(const std::string& name, const char* word)
{
    return name.find(word) == 3;
}

inline bool StartsWith(const std::string& name, const char* text)
{
    return name.find(text) == 0;
}

inline btVector3 ToBt(const D3DXVECTOR3& v)
{
    return btVector3(v.x, v.y, v.z);
}

inline D3DXVECTOR3 ToD3D(const btVector3& v)
{
    return D3DXVECTOR3(v.x(), v.y(), v.z());
}

// A row-vector world matrix as a physics transform: its rotation rows become
// the basis columns, its fourth row the origin.
inline btTransform ToTransform(const D3DXMATRIX& m)
{
    btTransform t;
    t.setFromOpenGLMatrix(&m._11);
    return t;
}

inline bool Finite(const D3DXVECTOR3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

inline PhysicsRecordKind KindOf(const btCollisionObject* object)
{
    return static_cast<PhysicsRecordKind>(object->getUserIndex());
}

// The closest hit of a bullet's ray. A bullet flies through what no player
// sees stop it: a box that lets bullets through, the camera's body, and the
// body of the one who fired (his own arm or head round the line he aims by).
class BulletRayCallback : public btCollisionWorld::ClosestRayResultCallback {
public:
    BulletRayCallback(const btVector3& from, const btVector3& to, std::string camera, std::string shooter)
        : ClosestRayResultCallback(from, to), m_Camera(std::move(camera)), m_Shooter(std::move(shooter))
    {
        m_collisionFilterGroup = 1;
        m_collisionFilterMask = 0xFFFF;
    }

    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        if (!ClosestRayResultCallback::needsCollision(proxy))
            return false;
        const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
        const void* record = object->getUserPointer();
        if (!record)
            return true;
        if (KindOf(object) == PHYSICS_BOX)
            return static_cast<const RayHit*>(record)->shots != ShotPassage::Through;
        if (KindOf(object) == PHYSICS_BODY_PART) {
            const std::string& owner = static_cast<const BodyPart*>(record)->ownerName;
            return owner != m_Camera && (m_Shooter.empty() || owner != m_Shooter);
        }
        return true;
    }

private:
    std::string m_Camera;
    std::string m_Shooter;
};

} // namespace
