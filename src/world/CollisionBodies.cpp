// The bodies in the collision manager's world: the level's static boxes, the
// props' dynamic bodies, and the characters' spheres and bone boxes.
#include "world/CollisionManager.h"

#include "world/CollisionHelpers.h"

#include <algorithm>

#include "render/TextureManager.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidEntity.h"
#include "world/CharacterController.h"

namespace {

constexpr short kCharacterGroup = btBroadphaseProxy::CharacterFilter;
constexpr short kBoneMask = btBroadphaseProxy::DefaultFilter | btBroadphaseProxy::StaticFilter;
// How far short of a wall behind him the camera is put down with the hero.
constexpr float kCameraWarpGap = 1.0f;

// The bone boxes, in the order they are made, with their half extents.
struct BoneBox {
    const char* bone;
    float hx, hy, hz;
};
constexpr BoneBox kBoneBoxes[] = {
    {"R Forearm", 8, 2, 2},  {"R UpperArm", 8, 3, 3}, {"R Hand", 5, 1, 3},       {"R Thigh", 11, 3.5f, 3.5f},
    {"R Calf", 11, 3, 3},    {"R Foot", 3, 7, 3},     {"L Forearm", 8, 2, 2},    {"L UpperArm", 8, 3, 3},
    {"L Hand", 5, 1, 3},     {"L Thigh", 11, 3.5f, 3.5f}, {"L Calf", 11, 3, 3}, {"L Foot", 3, 7, 3},
    {"Pelvis", 6, 6, 8},     {"Spine1", 12, 6, 8},    {"Head", 8, 5.5f, 4},
};

} // namespace

// --- character bodies -------------------------------------------------------

CharacterBody::~CharacterBody()
{
    Destroy();
}

namespace {

// A ghost with its controller, in the world: the sphere of a body or one of
// its bone boxes.
void MakePart(btDiscreteDynamicsWorld* world, BodyPart& part, btConvexShape* shape, const btTransform& start,
              btScalar stepHeight, short mask)
{
    part.ghost = new btPairCachingGhostObject();
    part.ghost->setWorldTransform(start);
    part.ghost->setCollisionShape(shape);
    part.ghost->setCollisionFlags(btCollisionObject::CF_CHARACTER_OBJECT);
    part.ghost->setUserPointer(&part);
    part.ghost->setUserIndex(PHYSICS_BODY_PART);
    part.ghost->setFriction(0.0f);
    part.controller = new CCharacterController(part.ghost, shape, stepHeight);
    world->addCollisionObject(part.ghost, kCharacterGroup, mask);
    world->addAction(part.controller);
}

void FreePart(btDiscreteDynamicsWorld* world, BodyPart& part)
{
    if (!part.ghost)
        return;
    world->removeAction(part.controller);
    world->removeCollisionObject(part.ghost);
    delete part.controller;
    delete part.ghost->getCollisionShape();
    delete part.ghost;
    part.controller = nullptr;
    part.ghost = nullptr;
}

} // namespace

void CharacterBody::Create(btDiscreteDynamicsWorld* world, D3DXVECTOR3 p)
{
    Destroy();
    m_World = world;
    basic.partName = "basic";
    basic.halfLength = 0.0f;
    basic.radius = kSphereRadius;
    snapToEntity = false;
    position = p;

    const bool camera = GetName() == "cam";
    btTransform start;
    start.setIdentity();
    start.setOrigin(btVector3(p.x, p.y + kSphereRadius, p.z));
    MakePart(world, basic, new btSphereShape(kSphereRadius), start, camera ? 0.0f : 1.0f,
             btBroadphaseProxy::AllFilter);
    if (!camera)
        basic.controller->setFallSpeed(20.0f);

    if (camera) {
        // The camera closes a fifth of its way to the eye it wants each step,
        // tens of units at once when the hero turns or runs at it. The ghost's
        // own sweep sees only what already overlaps its box, so such a step
        // would pass a crate or a wall unseen: the camera sweeps the world,
        // and goes on up to what it meets instead of halting a step short.
        basic.controller->setUseGhostSweepTest(false);
        basic.controller->SlideToContact(true);
        return;
    }
    const std::string prefix = GetName() == "player" ? "Bip01 " : "EBip01 ";
    for (const BoneBox& box : kBoneBoxes)
        AddBonePart(prefix + box.bone, box.hx, box.hy, box.hz);
}

void CharacterBody::AddBonePart(std::string bone, float hx, float hy, float hz)
{
    BodyPart& part = parts[bone];
    FreePart(m_World, part);
    part.partName = bone;
    part.ownerName = GetName();
    part.halfLength = hx * 0.5f;
    btTransform start;
    start.setIdentity();
    // Bone boxes meet the level and the props, never another character: a
    // sphere walks through arms and legs.
    MakePart(m_World, part, new btBoxShape(btVector3(hx, hy, hz)), start, 1.0f, kBoneMask);
}

void CharacterBody::SetWalkDirection(float x, float y, float z)
{
    if (basic.controller)
        basic.controller->setWalkDirection(btVector3(x, y, z));
}

void CharacterBody::Warp(const D3DXVECTOR3& centre)
{
    if (basic.controller)
        basic.controller->warp(ToBt(centre));
}

void CharacterBody::Destroy()
{
    if (!m_World)
        return;
    FreePart(m_World, basic);
    for (auto& entry : parts)
        FreePart(m_World, entry.second);
    parts.clear();
}

// --- static and dynamic bodies ----------------------------------------------

btRigidBody* CCollisionManager::AddStaticBody(const btTransform& transform, btCollisionShape* shape, std::string name)
{
    btDefaultMotionState* motion = new btDefaultMotionState(transform);
    btRigidBody::btRigidBodyConstructionInfo info(0.0f, motion, shape, btVector3(0, 0, 0));
    btRigidBody* body = new btRigidBody(info);
    body->setContactProcessingThreshold(0.5f);
    body->setFriction(1.0f);
    body->setRestitution(0.1f);
    body->setDamping(1.0f, 1.0f);
    auto record = currentCollisions.find(name);
    body->setUserPointer(record == currentCollisions.end() ? nullptr : &record->second);
    body->setUserIndex(record == currentCollisions.end() ? PHYSICS_NONE : PHYSICS_BOX);
    dynamicsWorld->addRigidBody(body);
    staticBodies.push_back(body);
    return body;
}

btRigidBody* CCollisionManager::AddDynamicBody(float mass, const btTransform& start, btCollisionShape* shape,
                                               PropRecord* record)
{
    btVector3 inertia(0, 0, 0);
    shape->calculateLocalInertia(mass, inertia);
    btDefaultMotionState* motion = new btDefaultMotionState(start);
    btRigidBody* body = new btRigidBody(btRigidBody::btRigidBodyConstructionInfo(mass, motion, shape, inertia));
    body->setContactProcessingThreshold(0.1f);
    body->setUserPointer(record);
    body->setUserIndex(PHYSICS_PROP);
    body->setFriction(0.95f);
    body->setRestitution(0.1f);
    dynamicsWorld->addRigidBody(body);
    propBodies.push_back(body);
    return body;
}

void CCollisionManager::CreateProp(PropRecord& record, std::string name, std::string kind, D3DXMATRIX transform)
{
    record.owner = this;
    record.name = name;
    record.transform = transform;
    record.blastRadius = 0.0f;
    record.blastDamage = 0.0f;
    record.blastFlag = false;
    record.emitter.reset();
    record.entity = std::make_shared<CRigidEntity>();
    record.entity->GetTransform().SetMatrix(transform);
    record.entity->SetObjectName(name);

    for (const PropKind& k : PropKinds()) {
        if (kind != k.kind)
            continue;
        record.entity->Init(k.kind);
        std::vector<IDirect3DTexture9*> textures;
        for (const auto& set : k.textures)
            for (const char* file : set)
                textures.push_back(getTextureManager().GetTexture(file));
        record.entity->SetTextures(std::move(textures));
        for (int axis = 0; axis < 3; ++axis)
            record.halfExtents[axis] = k.halfExtents[axis];
        record.entity->SetRadius(k.radius);
        break;
    }
    if (kind == "radio")
        record.emitter = getParticleManager().CreateEmitter(getParticleTypes().FindSystemType("aviso_radio"),
                                                            D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    else if (kind == "barril") {
        record.blastRadius = 400.0f;
        record.blastDamage = 150.0f;
    }
    record.CreateBody(kind);
}

void PropRecord::CreateBody(std::string kind)
{
    if (!owner || !owner->GetDynamicsWorld() || !entity)
        return;
    const btVector3 half(halfExtents[0], halfExtents[1], halfExtents[2]);
    // A y cylinder's half extents are its radius and half height.
    btCollisionShape* shape = kind == "barril" ? static_cast<btCollisionShape*>(new btCylinderShape(half))
                                               : static_cast<btCollisionShape*>(new btBoxShape(half));
    owner->AdoptShape(shape);
    owner->AddDynamicBody(2.0f, ToTransform(entity->GetTransform().GetMatrix()), shape, this);
}

void CCollisionManager::RemovePropBody(std::string name)
{
    if (dynamicsWorld) {
        btCollisionObjectArray& objects = dynamicsWorld->getCollisionObjectArray();
        for (int i = 0; i < objects.size(); ++i) {
            btRigidBody* body = btRigidBody::upcast(objects[i]);
            if (!body || !body->getMotionState() || body->isStaticOrKinematicObject() || KindOf(body) != PHYSICS_PROP)
                continue;
            if (static_cast<const PropRecord*>(body->getUserPointer())->name != name)
                continue;
            // The body is freed here and now: left for the next switch, every
            // blown barrel would keep its body and motion state to the end.
            propBodies.erase(std::remove(propBodies.begin(), propBodies.end(), body), propBodies.end());
            FreeRigidBody(body);
            break;
        }
    }
    currentProps.erase(name);
}

void CCollisionManager::RemoveStaticBody(std::string name)
{
    if (!dynamicsWorld)
        return;
    btCollisionObjectArray& objects = dynamicsWorld->getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i) {
        btRigidBody* body = btRigidBody::upcast(objects[i]);
        if (!body || !body->getMotionState() || !body->isStaticOrKinematicObject() || KindOf(body) != PHYSICS_BOX)
            continue;
        if (static_cast<const RayHit*>(body->getUserPointer())->name == name) {
            dynamicsWorld->removeRigidBody(body);
            return;
        }
    }
}

bool CCollisionManager::StaticBodyCentre(const std::string& name, D3DXVECTOR3* centre) const
{
    if (!dynamicsWorld)
        return false;
    const btCollisionObjectArray& objects = dynamicsWorld->getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i) {
        const btRigidBody* body = btRigidBody::upcast(objects[i]);
        if (!body || !body->getMotionState() || !body->isStaticOrKinematicObject() || KindOf(body) != PHYSICS_BOX)
            continue;
        if (static_cast<const RayHit*>(body->getUserPointer())->name != name)
            continue;
        const btVector3& at = body->getWorldTransform().getOrigin();
        *centre = D3DXVECTOR3(at.x(), at.y(), at.z());
        return true;
    }
    return false;
}

void CCollisionManager::CarryStaticBody(const std::string& name, const D3DXMATRIX& object)
{
    if (!dynamicsWorld)
        return;
    btCollisionObjectArray& objects = dynamicsWorld->getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i) {
        btRigidBody* body = btRigidBody::upcast(objects[i]);
        if (!body || !body->getMotionState() || !body->isStaticOrKinematicObject() || KindOf(body) != PHYSICS_BOX)
            continue;
        const RayHit& record = *static_cast<const RayHit*>(body->getUserPointer());
        if (record.name != name)
            continue;
        D3DXMATRIX standing = object;
        standing._42 += record.height * 0.5f;
        const btTransform pose = ToTransform(standing);
        body->setWorldTransform(pose);
        body->getMotionState()->setWorldTransform(pose);
        // Flying into the camera's or a character's sphere, it would shove
        // them: rays alone see it.
        if (body->getBroadphaseHandle()->m_collisionFilterMask != btBroadphaseProxy::DefaultFilter) {
            dynamicsWorld->removeRigidBody(body);
            dynamicsWorld->addRigidBody(body, btBroadphaseProxy::StaticFilter, btBroadphaseProxy::DefaultFilter);
        }
        dynamicsWorld->updateSingleAabb(body);
        return;
    }
}

void CCollisionManager::FreeRigidBody(btRigidBody* body)
{
    if (body->getBroadphaseHandle())
        dynamicsWorld->removeRigidBody(body);
    delete body->getMotionState();
    delete body;
}

void CCollisionManager::FreeStaticBodies()
{
    for (btRigidBody* body : staticBodies)
        FreeRigidBody(body);
    for (btRigidBody* body : propBodies)
        FreeRigidBody(body);
    staticBodies.clear();
    propBodies.clear();
    for (btCollisionShape* shape : collisionShapes)
        delete shape;
    collisionShapes.clear();
}

// --- character bodies in the manager ------------------------------------------

void CCollisionManager::setNewPlayerPosition(D3DXVECTOR3 p)
{
    playerBody.Warp(p);
    // Above and behind him, but short of a wall there: put inside it, the
    // camera's sweeps would not see the wall it stands in. The wall is
    // looked for from above him, over what stands lower behind him.
    const D3DXVECTOR3 above(p.x, p.y + 50.0f, p.z), eye(p.x, p.y + 50.0f, p.z - 50.0f);
    cameraBody.Warp(above + (eye - above) * (CameraReach(above, eye) / 50.0f));
    // The hero stands on the body's feet at once, as the next physics frame
    // would put him: whatever places the camera before that frame sees him
    // where he now is.
    Link().SetHeroPosition(D3DXVECTOR3(p.x, p.y - kSphereRadius, p.z));
}

void CCollisionManager::WarpCamera(const D3DXVECTOR3& eye)
{
    cameraBody.Warp(eye);
}

float CCollisionManager::CameraReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to)
{
    const D3DXVECTOR3 way = to - from;
    const float length = D3DXVec3Length(&way);
    const float share = SweepSphere(from, to, kSphereRadius);
    return share < 1.0f ? std::max(0.0f, share * length - kCameraWarpGap) : length;
}

void CCollisionManager::setNewEnemyPosition(std::string name, D3DXVECTOR3 p)
{
    auto body = enemyBodies.find(name);
    if (body != enemyBodies.end())
        body->second.Warp(p);
}

void CCollisionManager::SetPlayerWalkDirection(float x, float y, float z)
{
    playerBody.SetWalkDirection(x, 0.0f, z);
}

void CCollisionManager::SetCameraWalkDirection(float x, float y, float z)
{
    cameraBody.SetWalkDirection(x, y, z);
}

void CCollisionManager::SetEnemyWalkDirection(std::string name, D3DXVECTOR3 direction)
{
    auto body = enemyBodies.find(name);
    if (body != enemyBodies.end())
        body->second.SetWalkDirection(direction.x, 0.0f, direction.z);
}

void CCollisionManager::CreateEnemyBodies()
{
    if (!dynamicsWorld)
        return;
    for (const ICollisionWorld::WaveEnemy& enemy : Link().CurrentWave()) {
        if (enemy.name == "ene_Avioneta")
            continue;
        // Create frees a body already there, so its ghosts leave the world.
        CharacterBody& body = enemyBodies[enemy.key];
        body.SetName(enemy.key);
        body.Create(dynamicsWorld, enemy.position);
    }
}

void CCollisionManager::RemoveEnemyBody(std::string name)
{
    enemyBodies.erase(name);
}

// --- character bodies each frame -----------------------------------------------

void CCollisionManager::SyncBasic(CharacterBody& body, bool hero, float seconds)
{
    BodyPart& basic = body.basic;
    basic.controller->setWalkDirection(btVector3(0, 0, 0));
    const btVector3 centre = basic.ghost->getWorldTransform().getOrigin();
    // Feet that dropped since the last frame are pushed on down, so a body
    // that walked off a ledge lands instead of drifting.
    if (body.position.y - (centre.y() - basic.radius) > 0.5f) {
        basic.controller->setWalkDirection(btVector3(0, hero ? -2.0f : -5.0f, 0));
        basic.controller->updateAction(dynamicsWorld, seconds);
    }
    body.position = D3DXVECTOR3(centre.x(), centre.y() - basic.radius, centre.z());

    ICollisionWorld& link = Link();
    D3DXVECTOR3 entity;
    bool animationMoves = false;
    if (hero) {
        entity = link.HeroPosition();
        animationMoves = link.HeroStateCode() == 37;
    } else {
        ICollisionWorld::EnemyState enemy;
        if (!link.FindEnemy(body.GetName(), &enemy))
            return;
        entity = enemy.position;
        animationMoves = enemy.animationMoves;
    }
    if (animationMoves) {
        body.snapToEntity = true;
    } else if (body.snapToEntity) {
        body.Warp(D3DXVECTOR3(entity.x, entity.y + basic.radius, entity.z));
        basic.ghost->activate();
        body.snapToEntity = false;
    } else if (hero) {
        link.SetHeroPosition(body.position);
    } else {
        link.SetEnemyPosition(body.GetName(), body.position);
    }
}

void CCollisionManager::SyncBone(CharacterBody& body, BodyPart& part, bool hero)
{
    part.controller->setWalkDirection(btVector3(0, 0, 0));
    ICollisionWorld& link = Link();
    D3DXMATRIX bone;
    float yaw = 0.0f;
    if (hero) {
        if (!link.HeroBone(part.partName, &bone))
            return;
        yaw = link.HeroYaw();
    } else {
        ICollisionWorld::EnemyState enemy;
        if (!link.FindEnemy(body.GetName(), &enemy) || !link.EnemyBone(body.GetName(), part.partName, &bone))
            return;
        yaw = enemy.yaw;
    }
    D3DXMATRIX turn, placed;
    D3DXMatrixRotationYawPitchRoll(&turn, yaw, 0.0f, 0.0f);
    D3DXMatrixMultiply(&placed, &bone, &turn);
    btTransform t;
    t.setFromOpenGLMatrix(&placed._11);
    // The box lies along the bone, half its length out from the joint.
    const D3DXVECTOR3 along(placed._11, placed._12, placed._13);
    t.setOrigin(ToBt(body.position + D3DXVECTOR3(placed._41, placed._42, placed._43) + along * part.halfLength));
    part.ghost->setWorldTransform(t);
    part.ghost->activate();
}
