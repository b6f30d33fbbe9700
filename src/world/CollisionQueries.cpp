// What the collision manager's world answers about a line: the first object
// on a ray, the static box between two points, what the camera looks at.
#include "world/CollisionManager.h"

#include "world/CollisionHelpers.h"

#include <utility>

#include "math/VectorMath.h"

namespace {

// Where a ray first enters a box or sphere, worked out exactly: Bullet's own
// point lies off large boxes' faces by up to a third of a unit, enough to put
// a point on the floor beyond a target straight under the ray's start. False
// for other shapes or when the ray misses.
bool ExactEntry(const btCollisionObject* object, const btVector3& start, const btVector3& way, btVector3* point)
{
    const btCollisionShape* shape = object->getCollisionShape();
    const btTransform& placed = object->getWorldTransform();
    const btVector3 s = placed.invXform(start);
    const btVector3 d = placed.getBasis().transpose() * way;
    btScalar entry = 0;
    if (shape->getShapeType() == BOX_SHAPE_PROXYTYPE) {
        const btVector3 half = static_cast<const btBoxShape*>(shape)->getHalfExtentsWithMargin();
        btScalar near = -BT_LARGE_FLOAT, far = BT_LARGE_FLOAT;
        for (int axis = 0; axis < 3; ++axis) {
            if (btFabs(d[axis]) < SIMD_EPSILON) {
                if (btFabs(s[axis]) > half[axis])
                    return false;
                continue;
            }
            btScalar t0 = (-half[axis] - s[axis]) / d[axis], t1 = (half[axis] - s[axis]) / d[axis];
            if (t0 > t1)
                std::swap(t0, t1);
            near = btMax(near, t0);
            far = btMin(far, t1);
        }
        if (near > far || far < 0)
            return false;
        entry = btMax(near, btScalar(0));
    } else if (shape->getShapeType() == SPHERE_SHAPE_PROXYTYPE) {
        const btScalar r = static_cast<const btSphereShape*>(shape)->getRadius();
        const btScalar b = s.dot(d), c = s.length2() - r * r;
        const btScalar disc = b * b - c;
        if (disc < 0)
            return false;
        entry = btMax(-b - btSqrt(disc), btScalar(0));
    } else {
        return false;
    }
    *point = start + way * entry;
    return true;
}

} // namespace

const btCollisionObject* CCollisionManager::FirstOnRay(const D3DXVECTOR3& from, const D3DXVECTOR3& direction,
                                                       D3DXVECTOR3* point, const std::string* bulletOf)
{
    const btVector3 start = ToBt(from);
    const btVector3 way = ToBt(direction);
    const btVector3 end = start + way * kRaySpan;
    btCollisionWorld::ClosestRayResultCallback sight(start, end);
    sight.m_collisionFilterGroup = 1;
    sight.m_collisionFilterMask = 0xFFFF;
    BulletRayCallback bullet(start, end, cameraBody.GetName(), bulletOf ? *bulletOf : "");
    btCollisionWorld::ClosestRayResultCallback& result = bulletOf ? bullet : sight;
    dynamicsWorld->rayTest(start, end, result);
    if (!result.hasHit())
        return nullptr;
    btVector3 touched = result.m_hitPointWorld;
    ExactEntry(result.m_collisionObject, start, way, &touched);
    *point = ToD3D(touched);
    return result.m_collisionObject;
}

RayHit CCollisionManager::CastRay(D3DXVECTOR3 from, D3DXVECTOR3 to)
{
    RayHit result;
    const D3DXVECTOR3 way = to - from;
    // The ray runs from the start itself toward the target: a far end taken
    // from the world's origin would tilt it, most of all straight down.
    if (!dynamicsWorld || D3DXVec3Length(&way) == 0.0f)
        return result;
    const btCollisionObject* first = FirstOnRay(from, NormalizeVector(way), &result.hitPoint);
    if (!first)
        return result;
    if (DistanceXZ(from, to) + 0.01f < DistanceXZ(from, result.hitPoint))
        return result;
    const btRigidBody* body = btRigidBody::upcast(first);
    if (!body || !body->getMotionState() || !body->isStaticOrKinematicObject() || KindOf(body) != PHYSICS_BOX)
        return result;

    const RayHit& record = *static_cast<const RayHit*>(body->getUserPointer());
    D3DXVECTOR3 corners[4];
    float d[4];
    for (int k = 0; k < 4; ++k) {
        corners[k] = record.corners[k];
        d[k] = DistanceXZ(from, corners[k]);
    }
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 3; ++i)
            if (d[i + 1] > d[i]) {
                std::swap(d[i], d[i + 1]);
                std::swap(corners[i], corners[i + 1]);
            }
    const D3DXVECTOR3 origin(0, 0, 0);
    result.hit = !(corners[0] == origin && corners[1] == origin);
    result.name = record.name;
    result.position = record.position;
    for (int k = 0; k < 4; ++k)
        result.corners[k] = corners[k];
    return result;
}

float CCollisionManager::SweepSphere(const D3DXVECTOR3& from, const D3DXVECTOR3& to, float radius)
{
    if (!dynamicsWorld || from == to)
        return 1.0f;
    btSphereShape sphere(radius);
    btTransform start, end;
    start.setIdentity();
    end.setIdentity();
    start.setOrigin(ToBt(from));
    end.setOrigin(ToBt(to));
    btCollisionWorld::ClosestConvexResultCallback result(start.getOrigin(), end.getOrigin());
    // The level itself: characters and props neither block nor are blocked.
    result.m_collisionFilterGroup = btBroadphaseProxy::CharacterFilter;
    result.m_collisionFilterMask = btBroadphaseProxy::StaticFilter;
    dynamicsWorld->convexSweepTest(&sphere, start, end, result);
    return result.hasHit() ? result.m_closestHitFraction : 1.0f;
}

int CCollisionManager::RayTestProps()
{
    if (!dynamicsWorld)
        return -1;
    D3DXVECTOR3 eye, lookAt;
    Link().CameraView(&eye, &lookAt);
    const D3DXVECTOR3 way = lookAt - eye;
    if (D3DXVec3Length(&way) == 0.0f)
        return -1;
    // What the hero's bullet would meet: red over his own shoulder or over
    // the camera's body would promise a hit the shot never makes.
    D3DXVECTOR3 point;
    const btCollisionObject* first = FirstOnRay(lookAt, NormalizeVector(way), &point, &playerBody.GetName());
    if (!first)
        return -1;
    const btRigidBody* body = btRigidBody::upcast(first);
    if (!body || !body->getMotionState())
        return 3;
    if (!body->isStaticOrKinematicObject()) {
        if (KindOf(body) != PHYSICS_PROP)
            return -1;
        const std::string& name = static_cast<const PropRecord*>(body->getUserPointer())->name;
        for (const char* word : {"_lata_", "_lata2_", "_silla_", "_tolm_", "_radio_", "_pibrelo_"})
            if (HasFamilyWord(name, word))
                return 1;
        return HasFamilyWord(name, "_barril_") ? 2 : -1;
    }
    if (KindOf(body) != PHYSICS_BOX)
        return 0;
    const std::string& name = static_cast<const RayHit*>(body->getUserPointer())->name;
    if (StartsWith(name, "col_avion_bucle"))
        return 3;
    if (StartsWith(name, "col_34TANQUE") || StartsWith(name, "col_explosion_hangar1"))
        return 2;
    return 0;
}
