#include "world/CharacterController.h"

#include <BulletCollision/CollisionDispatch/btGhostObject.h>

CCharacterController::CCharacterController(btPairCachingGhostObject* ghost, btConvexShape* shape,
                                           btScalar stepHeight)
    : btKinematicCharacterController(ghost, shape, stepHeight, btVector3(0, 1, 0))
{
    setGravity(btVector3(0, 0, 0));
}

void CCharacterController::updateAction(btCollisionWorld* world, btScalar deltaTime)
{
    preStep(world);
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
