// The kinematic controller of every character body, moving as the game's
// tuning expects: no gravity of its own, each step ending one step height
// lower than it started, whatever fall speed is set. A body with a step
// height of 0 (the camera) neither sinks nor climbs.
#pragma once

#include <BulletDynamics/Character/btKinematicCharacterController.h>

class CCharacterController : public btKinematicCharacterController {
public:
    // Up is +y.
    CCharacterController(btPairCachingGhostObject* ghost, btConvexShape* shape, btScalar stepHeight);

    void updateAction(btCollisionWorld* world, btScalar deltaTime) override;
    // One pass pushing the body out of what it sinks into.
    bool RecoverFromPenetration(btCollisionWorld* world) { return recoverFromPenetration(world); }
    // The body goes as far along its walk as it can before it touches
    // something and slides along what it touched, rather than stopping
    // where the walk would first have touched it: the camera's walk closes
    // a fifth of its way each step, tens of units at once.
    void SlideToContact(bool on) { m_SlideToContact = on; }

private:
    void MoveAndSlide(btCollisionWorld* world);

    bool m_SlideToContact = false;
};
