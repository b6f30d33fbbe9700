// Character bodies walking, falling and teleporting through a level, their
// bone boxes, and the two ray queries.
#include "world/physics_fixture.h"

#include <BulletCollision/CollisionDispatch/btGhostObject.h>

#include <cmath>

namespace {

using Bodies = PhysicsTest;
using Rays = PhysicsTest;

D3DXVECTOR3 Centre(const BodyPart& part)
{
    const btVector3 c = part.ghost->getWorldTransform().getOrigin();
    return D3DXVECTOR3(c.x(), c.y(), c.z());
}

void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance, const char* what)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

TEST_F(Bodies, TeleportsAndWalkStepsMoveHeroAndCameraAsAsked)
{
    ExpectNear(HeroCentre(), D3DXVECTOR3(0, 10, 0), 1e-4f, "created on its feet");
    Level(Ground());
    Frames(1);
    ExpectNear(link.hero, D3DXVECTOR3(0, 0, 0), 0.1f, "standing still");

    manager.setNewPlayerPosition(D3DXVECTOR3(100, 0, 200));
    ExpectNear(HeroCentre(), D3DXVECTOR3(100, 0, 200), 1e-4f, "hero teleported");
    ExpectNear(Centre(manager.GetCameraBody().basic), D3DXVECTOR3(100, 50, 150), 1e-4f, "camera teleported");

    manager.setNewPlayerPosition(D3DXVECTOR3(0, 10, 0));
    Frames(2);
    link.eye = D3DXVECTOR3(0, 0, 0);
    manager.SetPlayerWalkDirection(3, 7, 4);
    manager.SetCameraWalkDirection(3, 7, 4);
    Frames(1);
    ExpectNear(link.hero, D3DXVECTOR3(3, 0, 4), 0.05f, "hero walks on the ground");
    ExpectNear(link.eye, D3DXVECTOR3(3, 67, -46), 1e-3f, "camera walks in the air");
    // The walk lasts one step: the frame clears it.
    Frames(3);
    ExpectNear(link.hero, D3DXVECTOR3(3, 0, 4), 0.05f, "hero stopped");
    ExpectNear(link.eye, D3DXVECTOR3(3, 67, -46), 1e-3f, "camera stopped");
}

TEST_F(Bodies, TheHeroStopsAtWallsClimbsLowStepsAndRampsAndLandsQuickly)
{
    Level(Ground() + CollisionXml("col_muro", 20, 200, 400, 110, 100, 0) +
          CollisionXml("col_escalon", 100, 0.8f, 400, -100, 0.4f, 0) +
          CollisionXml("col_torre", 200, 100, 200, 0, 50, 600));
    // A ramp rising at 25 degrees towards -z from its foot at z = -200.
    static btBoxShape ramp(btVector3(100, 5, 300));
    {
        const float a = D3DXToRadian(25.0f);
        D3DXMATRIX tilt;
        D3DXMatrixRotationX(&tilt, a);
        btTransform t;
        t.setFromOpenGLMatrix(&tilt._11);
        const btVector3 upSlope(0, std::sin(a), -std::cos(a)), normal(0, std::cos(a), std::sin(a));
        t.setOrigin(btVector3(0, 0, -200) + upSlope * 300 - normal * 5);
        manager.AddStaticBody(t, &ramp, "col_rampa");
    }
    for (int i = 0; i < 60; ++i) {
        manager.SetPlayerWalkDirection(2, 0, 0);
        Frames(1);
    }
    EXPECT_NEAR(link.hero.x, 100 - 10, 1.0f) << "the sphere stops its radius short of the wall";
    EXPECT_NEAR(link.hero.y, 0, 0.1f);
    // The camera's eye too stops short of the wall, and of the ground.
    for (int i = 0; i < 60; ++i) {
        manager.SetCameraWalkDirection(3, -2, 0);
        Frames(1);
    }
    ExpectNear(link.eye, D3DXVECTOR3(90, 10, -50), 0.5f, "camera against wall and ground");

    manager.setNewPlayerPosition(D3DXVECTOR3(-30, 10, 0));
    for (int i = 0; i < 60; ++i) {
        manager.SetPlayerWalkDirection(-1, 0, 0);
        Frames(1);
    }
    EXPECT_NEAR(link.hero.x, -90, 1.0f);
    EXPECT_NEAR(link.hero.y, 0.8f, 0.1f) << "onto a step lower than the step height";

    manager.setNewPlayerPosition(D3DXVECTOR3(0, 10, -120));
    for (int i = 0; i < 100; ++i) {
        manager.SetPlayerWalkDirection(0, 0, -2);
        Frames(1);
    }
    EXPECT_LT(link.hero.z, -260.0f) << "up the ramp";
    EXPECT_NEAR(link.hero.y, (-link.hero.z - 200) * std::tan(D3DXToRadian(25.0f)), 3.0f);

    // Off the tower's edge: 100 units down in less than a second of frames.
    manager.setNewPlayerPosition(D3DXVECTOR3(0, 110, 690));
    Frames(5);
    ASSERT_NEAR(link.hero.y, 100, 0.5f);
    int frames = 0;
    for (; frames < 90 && link.hero.y > 1; ++frames) {
        if (link.hero.y > 99)
            manager.SetPlayerWalkDirection(0, 0, 4);
        Frames(1);
    }
    EXPECT_LT(frames, 30);
    Frames(10);
    EXPECT_NEAR(link.hero.y, 0, 0.1f);
}

TEST_F(Bodies, TheCameraNeitherSinksNorClimbs)
{
    Level(Ground() + CollisionXml("col_caja", 100, 100, 100, 0, 50, 0));
    // One camera in the air, the hero's over the box.
    manager.setNewPlayerPosition(D3DXVECTOR3(0, 130, 50));
    const D3DXVECTOR3 start = Centre(manager.GetCameraBody().basic);
    Frames(300);
    ExpectNear(Centre(manager.GetCameraBody().basic), start, 1e-3f, "camera after 300 frames");
    ExpectNear(link.eye, start, 1e-3f, "eye after 300 frames");
}

// In steps of 40 the camera comes right up to a wall, not a step short of
// it; put down with the hero before a wall, it is put down short of it, but
// not short of a crate it passes over.
TEST_F(Bodies, TheCameraWalksUpToAWallInLongStepsAndIsNeverPutDownInOne)
{
    Level(Ground() + CollisionXml("col_muro", 20, 200, 400, 110, 100, 0) +
          CollisionXml("col_fondo", 400, 200, 20, -300, 100, -60) +
          CollisionXml("col_caja", 100, 30, 20, 300, 15, -30));
    manager.setNewPlayerPosition(D3DXVECTOR3(0, 10, 0));
    for (int i = 0; i < 4; ++i) {
        manager.SetCameraWalkDirection(40, 0, 0);
        Frames(1);
    }
    EXPECT_NEAR(link.eye.x, 90, 0.5f);
    manager.setNewPlayerPosition(D3DXVECTOR3(-300, 10, 0));
    EXPECT_GT(Centre(manager.GetCameraBody().basic).z, -40.0f) << "in the wall behind him";
    // A crate lower than the camera behind him leaves it where it goes.
    manager.setNewPlayerPosition(D3DXVECTOR3(300, 10, 0));
    ExpectNear(Centre(manager.GetCameraBody().basic), D3DXVECTOR3(300, 60, -50), 1e-3f, "over the crate");
}

TEST_F(Bodies, EnemyBodiesComeOncePerWaveAndLeaveWholly)
{
    Level(Ground());
    const int objects = Objects(), actions = Actions();
    link.wave = {{"a", "ene_1", D3DXVECTOR3(100, 0, 0)}, {"b", "ene_Avioneta", D3DXVECTOR3(0, 0, 0)}};
    link.enemies["a"].position = D3DXVECTOR3(100, 0, 0);
    manager.CreateEnemyBodies();
    manager.CreateEnemyBodies();
    ASSERT_EQ(manager.GetEnemyBodies().size(), 1u);
    EXPECT_EQ(Objects(), objects + 16);
    EXPECT_EQ(Actions(), actions + 16);
    EXPECT_EQ(manager.GetEnemyBodies().at("a").parts.count("EBip01 Head"), 1u);

    manager.SetEnemyWalkDirection("a", D3DXVECTOR3(3, 7, 4));
    manager.SetEnemyWalkDirection("nobody", D3DXVECTOR3(3, 7, 4));
    Frames(1);
    ExpectNear(link.enemies["a"].position, D3DXVECTOR3(103, 0, 4), 0.05f, "enemy walked");
    manager.setNewEnemyPosition("a", D3DXVECTOR3(0, 10, 300));
    Frames(1);
    ExpectNear(link.enemies["a"].position, D3DXVECTOR3(0, 0, 300), 0.05f, "enemy teleported");

    manager.RemoveEnemyBody("nobody");
    manager.RemoveEnemyBody("a");
    EXPECT_EQ(Objects(), objects);
    EXPECT_EQ(Actions(), actions);
}

TEST_F(Bodies, AnAnimationThatMovesTheHeroKeepsTheSphereUntilItEnds)
{
    Level(Ground());
    Frames(1);
    link.heroState = 37; // jumping over a parapet
    link.hero = D3DXVECTOR3(50, 0, 0);
    Frames(3);
    EXPECT_EQ(link.hero, D3DXVECTOR3(50, 0, 0)) << "the animation places him meanwhile";
    link.heroState = 30;
    Frames(1);
    ExpectNear(HeroCentre(), D3DXVECTOR3(50, 10, 0), 0.05f, "the sphere jumps to him");
    Frames(2);
    ExpectNear(link.hero, D3DXVECTOR3(50, 0, 0), 0.05f, "and he follows it again");
}

TEST_F(Bodies, BoneBoxesFollowThisFramesBonesAndFeet)
{
    Level(Ground());
    D3DXMATRIX head;
    D3DXMatrixTranslation(&head, 0, 60, 0);
    link.heroBones["Bip01 Head"] = head;
    link.heroYaw = 0;
    Frames(1);
    manager.SetPlayerWalkDirection(3, 0, 0);
    Frames(1);
    // The head box lies half its length along the bone from the joint, on
    // the feet where the sphere stands now.
    const BodyPart& part = manager.GetPlayerBody().parts.at("Bip01 Head");
    ExpectNear(Centre(part), D3DXVECTOR3(link.hero.x + 4, 60, 0), 0.05f, "head box");

    // Turned a quarter to the right, the bone's x axis points along -z.
    link.heroYaw = D3DXToRadian(90.0f);
    D3DXMatrixTranslation(&head, 0, 80, 0);
    link.heroBones["Bip01 Head"] = head;
    Frames(1);
    ExpectNear(Centre(part), D3DXVECTOR3(link.hero.x, 80, -4), 0.05f, "turned head box");
    // A shot along the new pose meets it at once; the old pose is empty.
    const RayHit atNew = manager.CastRay(D3DXVECTOR3(link.hero.x, 80, -100), D3DXVECTOR3(link.hero.x, 80, 100));
    EXPECT_FALSE(atNew.hit);
    EXPECT_NEAR(atNew.hitPoint.z, -4 - 8, 0.1f);
    // (Starting past the camera's sphere, which hangs at z = -50.)
    const RayHit atOld = manager.CastRay(D3DXVECTOR3(link.hero.x + 4, 60, -30), D3DXVECTOR3(link.hero.x + 4, 60, 100));
    EXPECT_EQ(atOld.hitPoint, D3DXVECTOR3(0, 0, 0));
}

TEST_F(Rays, AStaticBoxBetweenTheEndsIsHitAndOneBeyondIsNot)
{
    Level(CollisionXml("col_muro", 20, 100, 200, 100, 50, 0) + CollisionXml("col_girada", 200, 20, 20, 0, 50, 400, 30));
    const RayHit before = manager.CastRay(D3DXVECTOR3(0, 50, 0), D3DXVECTOR3(200, 50, 0));
    EXPECT_TRUE(before.hit);
    EXPECT_EQ(before.name, "col_muro");
    EXPECT_EQ(before.position, D3DXVECTOR3(100, 50, 0));
    EXPECT_NEAR(before.hitPoint.x, 90, 0.01f);

    const RayHit beyond = manager.CastRay(D3DXVECTOR3(0, 50, 0), D3DXVECTOR3(50, 50, 0));
    EXPECT_FALSE(beyond.hit);
    EXPECT_EQ(beyond.name, "");
    EXPECT_NEAR(beyond.hitPoint.x, 90, 0.01f);

    // Turned 30 degrees, the long box's right end lies at z = 400 - 50.
    const RayHit turned = manager.CastRay(D3DXVECTOR3(86.6f, 50, 600), D3DXVECTOR3(86.6f, 50, 0));
    EXPECT_TRUE(turned.hit);
    EXPECT_NEAR(turned.hitPoint.z, 350 + 10 / std::cos(D3DXToRadian(30.0f)), 1.0f);
    // Past the turned box's end the ray goes on to the wall's far face.
    const RayHit past = manager.CastRay(D3DXVECTOR3(97, 50, 600), D3DXVECTOR3(97, 50, 0));
    EXPECT_EQ(past.name, "col_muro");
    EXPECT_NEAR(past.hitPoint.z, 100, 0.01f);

    EXPECT_FALSE(manager.CastRay(D3DXVECTOR3(0, 50, 0), D3DXVECTOR3(0, 50, 0)).hit);
}

// A box carried with its drawn object stands on it, half its height up and
// turned with it: rays meet it there and no longer where it stood. The hero
// walks through the place it sweeps.
TEST_F(Rays, ACarriedBoxStopsRaysWhereItsObjectIsAndNoCharacter)
{
    Level(Ground() + CollisionXml("col_avion", 100, 40, 300, 600, 20, 0));
    D3DXMATRIX object;
    D3DXMatrixRotationY(&object, D3DXToRadian(90.0f));
    object._41 = 0.0f;
    object._42 = 0.0f;
    object._43 = 200.0f;
    manager.CarryStaticBody("col_avion", object);
    manager.CarryStaticBody("col_nada", object);
    // Turned a quarter, its 300 run across x and its 100 along z; standing on
    // the object's ground, its 40 rise from 0.
    const RayHit along = manager.CastRay(D3DXVECTOR3(-140, 35, 400), D3DXVECTOR3(-140, 35, 0));
    EXPECT_EQ(along.name, "col_avion");
    EXPECT_NEAR(along.hitPoint.z, 250, 0.5f);
    EXPECT_FALSE(manager.CastRay(D3DXVECTOR3(-160, 20, 400), D3DXVECTOR3(-160, 20, 0)).hit) << "past its end";
    EXPECT_FALSE(manager.CastRay(D3DXVECTOR3(0, 45, 400), D3DXVECTOR3(0, 45, 0)).hit) << "over its top";
    EXPECT_FALSE(manager.CastRay(D3DXVECTOR3(400, 20, 0), D3DXVECTOR3(800, 20, 0)).hit) << "gone from where it stood";

    for (int i = 0; i < 150; ++i) {
        manager.SetPlayerWalkDirection(0, 0, 4);
        Frames(1);
    }
    EXPECT_GT(link.hero.z, 400.0f) << "the hero is not stopped by it";
}

// A world taken down takes its bodies with it: a world built after it holds
// only the hero's and the camera's, and a ray through where the wall stood
// goes through.
TEST_F(Rays, AWorldTakenDownLeavesNoBodyForTheNextOne)
{
    Level(CollisionXml("col_muro", 20, 100, 200, 100, 50, 0));
    const int heroAndCamera = Objects() - 1;
    ASSERT_TRUE(manager.CastRay(D3DXVECTOR3(0, 50, 0), D3DXVECTOR3(200, 50, 0)).hit);

    manager.ReleasePhysicsWorld();
    EXPECT_EQ(manager.GetDynamicsWorld(), nullptr);
    manager.ReleasePhysicsWorld(); // nothing left to take down

    manager.InitPhysicsWorld();
    ASSERT_NE(manager.GetDynamicsWorld(), nullptr);
    EXPECT_EQ(Objects(), heroAndCamera);
    EXPECT_FALSE(manager.CastRay(D3DXVECTOR3(0, 50, 0), D3DXVECTOR3(200, 50, 0)).hit);
}

TEST_F(Rays, CornersComeNearestLastAfterTwoPasses)
{
    struct Case {
        float from;
        float x[4];
        float expected[4];
    };
    // The last case puts one of the two farthest corners at the origin: only
    // both there mark a box without corners.
    const Case cases[] = {
        {0, {5, 9, 1, 7}, {9, 7, 5, 1}}, {0, {1, 2, 3, 4}, {3, 4, 2, 1}}, {-10, {0, -5, -1, -2}, {0, -1, -2, -5}}};
    for (const Case& c : cases) {
        std::string corners;
        for (float x : c.x)
            corners += "<vertex pos=\"" + std::to_string(x) + " 0 0\"/>";
        CCollisionManager fresh;
        fresh.SetWorld(&link);
        fresh.InitPhysicsWorld();
        ASSERT_TRUE(fresh.ReadFile(folder.Write(
            "c.xml", "<c><player pos=\"0 500 0\"/><collision name=\"col_caja\" width=\"10\" height=\"10\" length=\"10\" "
                     "transform=\"1 0 0 0 1 0 0 0 1 50 0 30\">" + corners + "</collision></c>")));
        fresh.LoadNewScenario("isla");
        // (Beside the hero's bone boxes, which stand at the origin without a skeleton.)
        const RayHit hit = fresh.CastRay(D3DXVECTOR3(c.from, 0, 30), D3DXVECTOR3(100, 0, 30));
        ASSERT_TRUE(hit.hit);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(hit.corners[k].x, c.expected[k]) << c.x[0] << c.x[1] << c.x[2] << c.x[3] << " corner " << k;
    }
}

TEST_F(Rays, CharactersPropsAndCornerlessBoxesStopARayWithoutAHit)
{
    Level(Ground() + CollisionXml("col_muro", 20, 100, 400, 200, 50, 0) +
          "<collision name=\"col_sin_esquinas\" width=\"20\" height=\"100\" length=\"20\" "
          "transform=\"1 0 0 0 1 0 0 0 1 100 50 -100\"><vertex/><vertex/><vertex/><vertex/></collision>");
    link.wave = {{"a", "ene_1", D3DXVECTOR3(100, 0, 0)}};
    manager.CreateEnemyBodies();
    PropRecord can;
    can.name = "obj_lata_01";
    btBoxShape canShape(btVector3(4, 6, 4));
    manager.AddDynamicBody(2.0f, btTransform(btQuaternion::getIdentity(), btVector3(100, 6, 100)), &canShape, &can);

    for (float z : {0.0f, 100.0f, -100.0f}) {
        const RayHit hit = manager.CastRay(D3DXVECTOR3(0, 8, z), D3DXVECTOR3(300, 8, z));
        EXPECT_FALSE(hit.hit) << z;
        EXPECT_NEAR(hit.hitPoint.x, z == 100.0f ? 96 : 90, 0.5f) << z;
    }
    // Straight down onto the ground, well away from the world's axis.
    const RayHit down = manager.CastRay(D3DXVECTOR3(1500, 50, -1700), D3DXVECTOR3(1500, 0, -1700));
    EXPECT_TRUE(down.hit);
    EXPECT_EQ(down.name, "col_suelo");
    manager.LoadNewScenario("isla"); // the can's body goes while its shape lives
}

TEST_F(Rays, TheCrosshairTestNamesWhatTheCameraLooksAt)
{
    std::string boxes;
    const char* names[] = {"col_muro", "col_avion_bucle_2", "col_34TANQUE", "col_explosion_hangar1", "col_x34TANQUE"};
    for (int lane = 0; lane < 5; ++lane)
        boxes += CollisionXml(names[lane], 20, 100, 20, lane * 100.0f, 50, 200);
    Level(boxes);
    PropRecord props[3];
    props[0].name = "obj_lata_01";
    props[1].name = "obj_barril_01";
    props[2].name = "obj_caja_01";
    btBoxShape shape(btVector3(10, 10, 10));
    for (int i = 0; i < 3; ++i)
        manager.AddDynamicBody(2.0f, btTransform(btQuaternion::getIdentity(), btVector3(500 + i * 100.0f, 50, 200)),
                               &shape, &props[i]);
    link.wave = {{"a", "ene_1", D3DXVECTOR3(800, 40, 200)}};
    manager.CreateEnemyBodies();

    const int expected[] = {0, 3, 2, 2, 0, 1, 2, -1, 3, -1};
    for (int lane = 0; lane < 10; ++lane) {
        link.eye = D3DXVECTOR3(lane * 100.0f, 50, -100);
        link.lookAt = D3DXVECTOR3(lane * 100.0f, 50, 0);
        EXPECT_EQ(manager.RayTestProps(), expected[lane]) << "lane " << lane;
    }
    manager.LoadNewScenario("isla");
}

} // namespace
