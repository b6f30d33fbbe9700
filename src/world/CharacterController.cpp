#include "world/CharacterController.h"

#include <BulletCollision/CollisionDispatch/btGhostObject.h>

namespace {

// The nearest thing the body would touch on its way, itself and what lets
// things through left out, by the body's own collision filter.
class NearestContact : public btCollisionWorld::ClosestConvexResultCallback {
public:
    NearestContact(const btCollisionObject* self, const btVector3& from, const btVector3& to)
        : ClosestConvexResultCallback(from, to), m_Self(self)
    {
        const btBroadphaseProxy* proxy = self->getBroadphaseHandle();
        m_collisionFilterGroup = proxy->m_collisionFilterGroup;
        m_collisionFilterMask = proxy->m_collisionFilterMask;
    }

    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override
    {
        if (result.m_hitCollisionObject == m_Self || !result.m_hitCollisionObject->hasContactResponse())
            return 1.0f;
        return ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
    }

private:
    const btCollisionObject* m_Self;
};

// How far short of a contact the body stops, so that the next sweep does
// not start touching.
constexpr btScalar kContactGap = 0.25f;

} // namespace

CCharacterController::CCharacterController(btPairCachingGhostObject* ghost, btConvexShape* shape,
                                           btScalar stepHeight)
    : btKinematicCharacterController(ghost, shape, stepHeight, btVector3(0, 1, 0))
{
    setGravity(btVector3(0, 0, 0));
}

void CCharacterController::updateAction(btCollisionWorld* world, btScalar deltaTime)
{
    preStep(world);
    if (m_SlideToContact) {
        MoveAndSlide(world);
        return;
    }
    // The drop per step is the step height, not a falling speed: characters
    // walk down slopes and off ledges at the rate the level was tuned for,
    // and the fall speed given to a body must not slow that down.
    const btScalar fallSpeed = m_fallSpeed;
    m_fallSpeed = BT_LARGE_FLOAT;
    m_verticalVelocity = deltaTime > 0 ? -m_stepHeight / deltaTime : 0;
    m_verticalOffset = 0;
    playerStep(world, deltaTime);
    m_fallSpeed = fallSpeed;
}

void CCharacterController::MoveAndSlide(btCollisionWorld* world)
{
    btVector3 position = m_ghostObject->getWorldTransform().getOrigin();
    btVector3 move = m_walkDirection;
    // A few slides: into a corner, along one wall and then the other.
    for (int slide = 0; slide < 4 && move.length2() > SIMD_EPSILON; ++slide) {
        const btVector3 target = position + move;
        btTransform from, to;
        from.setIdentity();
        to.setIdentity();
        from.setOrigin(position);
        to.setOrigin(target);
        NearestContact contact(m_ghostObject, position, target);
        world->convexSweepTest(m_convexShape, from, to, contact, world->getDispatchInfo().m_allowedCcdPenetration);
        if (!contact.hasHit()) {
            position = target;
            break;
        }
        const btScalar length = move.length();
        const btScalar travel = btMax(btScalar(0), contact.m_closestHitFraction * length - kContactGap);
        position += move * (travel / length);
        // What is left of the walk, along the surface touched.
        const btVector3 normal = contact.m_hitNormalWorld.normalized();
        const btVector3 rest = move * (1 - travel / length);
        move = rest - normal * rest.dot(normal);
    }
    btTransform placed = m_ghostObject->getWorldTransform();
    placed.setOrigin(position);
    m_ghostObject->setWorldTransform(placed);
    m_currentPosition = m_targetPosition = position;
}
