// The collision manager's world: the same broadphase, dispatcher and solver.
#include <memory>

#include <gtest/gtest.h>

#include <btBulletDynamicsCommon.h>

TEST(BulletLinks, AFallingSphereComesToRestOnAStaticBox)
{
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher(&configuration);
    btAxisSweep3 broadphase(btVector3(-100, -100, -100), btVector3(100, 100, 100));
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world(&dispatcher, &broadphase, &solver, &configuration);
    world.setGravity(btVector3(0, -9.8f, 0));

    // Ground: a box whose top face is at y = 0.
    btBoxShape groundShape(btVector3(10, 1, 10));
    btDefaultMotionState groundMotion(btTransform(btQuaternion::getIdentity(), btVector3(0, -1, 0)));
    btRigidBody ground(btRigidBody::btRigidBodyConstructionInfo(0, &groundMotion, &groundShape));
    world.addRigidBody(&ground);

    btSphereShape ballShape(0.5f);
    btVector3 inertia(0, 0, 0);
    ballShape.calculateLocalInertia(1, inertia);
    btDefaultMotionState ballMotion(btTransform(btQuaternion::getIdentity(), btVector3(0, 5, 0)));
    btRigidBody ball(btRigidBody::btRigidBodyConstructionInfo(1, &ballMotion, &ballShape, inertia));
    world.addRigidBody(&ball);

    float lowest = 5;
    for (int i = 0; i < 180; ++i) {
        world.stepSimulation(1 / 60.f, 1, 1 / 60.f);
        lowest = std::min(lowest, ball.getCenterOfMassPosition().y());
    }
    const btVector3 rest = ball.getCenterOfMassPosition();
    EXPECT_NEAR(rest.y(), 0.5f, 0.05f);    // resting on the top face
    EXPECT_GT(lowest, 0.3f);               // never fell through it
    EXPECT_NEAR(rest.x(), 0, 1e-3f);
    EXPECT_LT(ball.getLinearVelocity().length(), 0.1f);
    EXPECT_EQ(ground.getCenterOfMassPosition().y(), -1);

    world.removeRigidBody(&ball);
    world.removeRigidBody(&ground);
}
