#include "world/CollisionManager.h"

#include <btBulletDynamicsCommon.h>
#include <BulletCollision/CollisionDispatch/btGhostObject.h>

#include <array>
#include <algorithm>
#include <cmath>
#include <utility>

#include "math/VectorMath.h"
#include "scene/Location.h"
#include "platform/bounded.h"
#include "platform/win32.h"
#include "player/WeaponPickups.h"
#include "render/DrawCallCounter.h"
#include "render/DrawCollisions.h"
#include "render/TextureManager.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidEntity.h"
#include "sound/SoundManager.h"
#include "world/CharacterController.h"
#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"

namespace {

constexpr float kWorldHalfSize = 100000.0f;
// Longer than any line inside the world's bounds.
constexpr float kRaySpan = 2.0f * kWorldHalfSize * 1.7320508f + 1.0f;
constexpr float kSphereRadius = 10.0f;
constexpr float kFixedStep = 1.0f / 60.0f;
// A file holding more elements than this is not a level of ours.
constexpr size_t kMaxElements = 1000000;
constexpr short kCharacterGroup = btBroadphaseProxy::CharacterFilter;
constexpr short kBoneMask = btBroadphaseProxy::DefaultFilter | btBroadphaseProxy::StaticFilter;

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

const char* const kPickupWords[] = {"_gun_", "_thompson_", "_shotgun_"};

// The radios whose positions drive the radio music, by slot.
const char* const kRadioNames[] = {"obj_radio_01", "obj_radio_02", "obj_radio_03", "obj_radio_04"};

// The family word starts the name's fourth character, as in "obj_radio_01".
bool HasFamilyWord(const std::string& name, const char* word)
{
    return name.find(word) == 3;
}

bool StartsWith(const std::string& name, const char* text)
{
    return name.find(text) == 0;
}

btVector3 ToBt(const D3DXVECTOR3& v)
{
    return btVector3(v.x, v.y, v.z);
}

D3DXVECTOR3 ToD3D(const btVector3& v)
{
    return D3DXVECTOR3(v.x(), v.y(), v.z());
}

// A row-vector world matrix as a physics transform: its rotation rows become
// the basis columns, its fourth row the origin.
btTransform ToTransform(const D3DXMATRIX& m)
{
    btTransform t;
    t.setFromOpenGLMatrix(&m._11);
    return t;
}

bool Finite(const D3DXVECTOR3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool InsideWorld(const D3DXVECTOR3& v)
{
    return Finite(v) && std::fabs(v.x) < kWorldHalfSize && std::fabs(v.y) < kWorldHalfSize &&
           std::fabs(v.z) < kWorldHalfSize;
}

bool SoundMatrix(const D3DXMATRIX& m)
{
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite((&m._11)[i]))
            return false;
    return InsideWorld(D3DXVECTOR3(m._41, m._42, m._43));
}

bool SoundSize(float size)
{
    return size >= 0.0f && size <= 2.0f * kWorldHalfSize;
}

PhysicsRecordKind KindOf(const btCollisionObject* object)
{
    return static_cast<PhysicsRecordKind>(object->getUserIndex());
}

} // namespace

const std::vector<PropKind>& PropKinds()
{
    static const std::vector<PropKind> kinds = {
        {"lata", "_lata_", {{"lata_textura.tga", "blanco_gradiente.tga", "lata_normal.tga"}}, {4, 6, 4}, 15.0f},
        {"lata2", "_lata2_", {{"lata_textura.tga", "blanco_gradiente.tga", "lata_normal.tga"}}, {5, 8, 5}, 15.0f},
        {"silla", "_silla_",
         {{"casa_pared.tga", "blanco_gradiente.tga", "casa_pared_normal.tga"},
          {"maderas_casa.tga", "blanco_gradiente.tga", "maderas_casa_normal.tga"}},
         {11, 24, 11},
         40.0f},
        {"tolm", "_tolm_",
         {{"metal_dorado.tga", "obj_tolm_01LightingMap.tga", "metal_normal.tga"},
          {"botellas.tga", "obj_tolm_01LightingMap.tga", "blanco.jpg"}},
         {4, 8, 3},
         15.0f},
        {"pibrelo", "_pibrelo_",
         {{"metal_dorado.tga", "obj_pibrelo_01LightingMap.tga", "metal_normal.tga"},
          {"botellas.tga", "obj_pibrelo_01LightingMap.tga", "blanco.jpg"}},
         {3, 14, 3},
         15.0f},
        {"radio", "_radio_",
         {{"maderas_casa.tga", "obj_radio_01LightingMap.tga", "maderas_casa_normal.tga"},
          {"cemento_dos.tga", "obj_radio_01LightingMap.tga", "cemento_dos_normal.tga"},
          {"coche_metal.tga", "obj_radio_01LightingMap.tga", "metal_normal.tga"}},
         {10, 6, 6},
         20.0f},
        {"barril", "_barril_", {{"barril.tga", "blanco_gradiente.tga", "barril_normal.tga"}}, {19, 27, 19}, 40.0f},
    };
    return kinds;
}

const PropKind* PropKindOfName(const std::string& name)
{
    for (const PropKind& kind : PropKinds())
        if (HasFamilyWord(name, kind.word))
            return &kind;
    return nullptr;
}

bool IsWeaponPickupName(const std::string& name)
{
    for (const char* word : kPickupWords)
        if (HasFamilyWord(name, word))
            return true;
    return false;
}

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
        // would pass a crate or a wall unseen: the camera sweeps the world.
        basic.controller->setUseGhostSweepTest(false);
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

// --- the manager ----------------------------------------------------------

CCollisionManager::CCollisionManager()
{
    SetDrawCallCounter(&drawCallCount);
}

CCollisionManager::~CCollisionManager()
{
    SetDrawCallCounter(nullptr);
    ReleasePhysicsWorld();
}

void CCollisionManager::ReleasePhysicsWorld()
{
    if (!dynamicsWorld)
        return;
    FreeStaticBodies();
    enemyBodies.clear();
    playerBody.Destroy();
    cameraBody.Destroy();
    if (debugDrawer)
        dynamicsWorld->setDebugDrawer(nullptr);
    delete dynamicsWorld;
    delete solver;
    delete broadphase;
    delete ghostPairCallback;
    delete dispatcher;
    delete collisionConfiguration;
    dynamicsWorld = nullptr;
    solver = nullptr;
    broadphase = nullptr;
    ghostPairCallback = nullptr;
    dispatcher = nullptr;
    collisionConfiguration = nullptr;
}

ICollisionWorld& CCollisionManager::Link()
{
    return m_Link ? *m_Link : getGameCollisionWorld();
}

void CCollisionManager::InitPhysicsWorld()
{
    headFactor = 100.0f;
    bodyFactor = 1.0f;
    armFactor = 0.3f;
    legFactor = 0.3f;
    planeHits = 60;
    tankHits = 60;
    hangarHits = 6;
    vertexCounter = 1;
    if (dynamicsWorld)
        return;

    collisionConfiguration = new btDefaultCollisionConfiguration();
    dispatcher = new btCollisionDispatcher(collisionConfiguration);
    broadphase = new btAxisSweep3(btVector3(-kWorldHalfSize, -kWorldHalfSize, -kWorldHalfSize),
                                  btVector3(kWorldHalfSize, kWorldHalfSize, kWorldHalfSize), 16384);
    ghostPairCallback = new btGhostPairCallback();
    broadphase->getOverlappingPairCache()->setInternalGhostPairCallback(ghostPairCallback);
    solver = new btSequentialImpulseConstraintSolver();
    dynamicsWorld = new btDiscreteDynamicsWorld(dispatcher, broadphase, solver, collisionConfiguration);
    dynamicsWorld->setGravity(btVector3(0, -490.5f, 0));
    // Entities follow the bodies' poses of this step, not a blend with the
    // last one.
    dynamicsWorld->setLatencyMotionStateInterpolation(false);

    // A world built again keeps drawing its boxes as the one before did.
    if (debugDrawer)
        dynamicsWorld->setDebugDrawer(debugDrawer.get());

    playerBody.SetName("player");
    playerBody.Create(dynamicsWorld, Link().HeroPosition());
    cameraBody.SetName("cam");
    cameraBody.Create(dynamicsWorld, D3DXVECTOR3(0, 0, 0));
}

void CCollisionManager::Init()
{
    ReadFile("data/XML/collision_instances.xml");
    ReadFile("data/XML/objects_instances.xml");
    LoadNewScenario("hangares");
    if (dynamicsWorld && !debugDrawer) {
        debugDrawer.reset(new CDrawCollisions());
        debugDrawer->setDebugMode(btIDebugDraw::DBG_DrawWireframe);
        dynamicsWorld->setDebugDrawer(debugDrawer.get());
    }
    drawCallCount = 0;
    hangarExploded = false;
    scaffoldExploded = false;
}

bool CCollisionManager::ReadFile(const std::string& file)
{
    // Read into the tables, and put them back as they were if the file turns
    // out broken: half a level is worse than the level before it.
    const auto hangar = hangarCollisions;
    const auto island = islandCollisions;
    const auto hangarP = hangarProps;
    const auto islandP = islandProps;
    const auto hangarK = hangarPickups;
    const auto islandK = islandPickups;
    const D3DXVECTOR3 starts[2] = {hangarStart, islandStart};
    const std::string name = scenarioName;
    const RayHit pending = pendingCollision;
    const int counter = vertexCounter;

    m_ReadCount = 0;
    m_ReadProblem.clear();
    const bool parsed = LoadXML(file);
    if (parsed && m_ReadProblem.empty())
        return true;
    const bool missing = !parsed && GetErrorText() == "XML File " + file + " not found";
    // Read again at every level load: said once.
    if (!missing)
        bounded::SayOnce("Collision file " + bounded::Echoed(file) + " refused: " +
                         (m_ReadProblem.empty() ? GetFault() : m_ReadProblem));
    hangarCollisions = hangar;
    islandCollisions = island;
    hangarProps = hangarP;
    islandProps = islandP;
    hangarPickups = hangarK;
    islandPickups = islandK;
    hangarStart = starts[0];
    islandStart = starts[1];
    scenarioName = name;
    pendingCollision = pending;
    vertexCounter = counter;
    return false;
}

void CCollisionManager::OnStartElement(const std::string& element, CXMLAttributes& attributes)
{
    if (!m_ReadProblem.empty())
        return;
    if (++m_ReadCount > kMaxElements) {
        m_ReadProblem = "more than " + std::to_string(kMaxElements) + " elements";
        m_StopParsing = true;
        return;
    }
    const bool hangar = ReadingHangar();
    if (element == "scenario") {
        scenarioName = attributes.GetString("name", "");
    } else if (element == "player") {
        const D3DXVECTOR3 pos = attributes.GetVect3f("pos", 0, 0, 0);
        if (!InsideWorld(pos))
            m_ReadProblem = "a player position lies outside the world";
        else
            (hangar ? hangarStart : islandStart) = pos;
    } else if (element == "object") {
        const std::string name = attributes.GetString("name", "");
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        const D3DXMATRIX transform = attributes.GetMatrix("transform", identity);
        const int ammo = attributes.GetInt("ammo", 0);
        if (!SoundMatrix(transform)) {
            m_ReadProblem = "object " + name + " is placed outside the world";
            return;
        }
        if (PropKindOfName(name)) {
            PropRecord record;
            record.name = name;
            record.transform = transform;
            (hangar ? hangarProps : islandProps)[name] = record;
            return;
        }
        for (const char* word : kPickupWords)
            if (HasFamilyWord(name, word)) {
                if (ammo < 0 || ammo > 65535) {
                    m_ReadProblem = "pickup " + name + " holds " + std::to_string(ammo) + " rounds";
                    return;
                }
                PickupRecord record;
                record.name = name;
                record.transform = transform;
                record.ammo = ammo;
                (hangar ? hangarPickups : islandPickups)[name] = record;
                return;
            }
    } else if (element == "collision") {
        pendingCollision = RayHit();
        pendingCollision.name = attributes.GetString("name", "");
        pendingCollision.width = attributes.GetFloat("width", 0.0f);
        pendingCollision.height = attributes.GetFloat("height", 0.0f);
        pendingCollision.length = attributes.GetFloat("length", 0.0f);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        pendingCollision.transform = attributes.GetMatrix("transform", identity);
        pendingCollision.position = D3DXVECTOR3(pendingCollision.transform._41, pendingCollision.transform._42,
                                                pendingCollision.transform._43);
        // A box short of its four corners is dropped, not finished with the
        // next box's corners.
        vertexCounter = 1;
        if (!SoundSize(pendingCollision.width) || !SoundSize(pendingCollision.height) ||
            !SoundSize(pendingCollision.length))
            m_ReadProblem = "collision " + pendingCollision.name + " has a size out of range";
        else if (!SoundMatrix(pendingCollision.transform))
            m_ReadProblem = "collision " + pendingCollision.name + " is placed outside the world";
    } else if (element == "vertex") {
        const D3DXVECTOR3 pos = attributes.GetVect3f("pos", 0, 0, 0);
        if (!InsideWorld(pos)) {
            m_ReadProblem = "a corner of collision " + pendingCollision.name + " lies outside the world";
            return;
        }
        pendingCollision.corners[vertexCounter - 1] = pos;
        if (vertexCounter == 4) {
            vertexCounter = 1;
            (hangar ? hangarCollisions : islandCollisions)[pendingCollision.name] = pendingCollision;
        } else {
            ++vertexCounter;
        }
    }
    if (!m_ReadProblem.empty())
        m_StopParsing = true;
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

// --- level switch -----------------------------------------------------------

void CCollisionManager::LoadNewScenario(std::string scenario)
{
    planeHits = 60;
    tankHits = 60;
    hangarHits = 6;
    for (int i = 0; i < 5; ++i)
        planeStageDone[i] = tankStageDone[i] = false;
    hangarExploded = false;
    scaffoldExploded = false;

    // The boxes, props and enemy bodies of the level left behind are freed,
    // so neither memory nor the shape list grows with each switch.
    if (dynamicsWorld)
        FreeStaticBodies();
    enemyBodies.clear();
    // Weapons the enemies dropped go too, not only the level's own.
    getWeaponPickups().Clear();
    currentCollisions.clear();
    currentPickups.clear();

    const bool hangar = scenario == "hangares";
    currentCollisions = hangar ? hangarCollisions : islandCollisions;
    currentProps = hangar ? hangarProps : islandProps;
    currentPickups = hangar ? hangarPickups : islandPickups;
    setNewPlayerPosition(hangar ? hangarStart : islandStart);

    if (dynamicsWorld)
        for (const auto& entry : currentCollisions) {
            const RayHit& record = entry.second;
            btCollisionShape* shape =
                new btBoxShape(btVector3(record.width * 0.5f, record.height * 0.5f, record.length * 0.5f));
            collisionShapes.push_back(shape);
            AddStaticBody(ToTransform(record.transform), shape, record.name);
        }
    for (auto& entry : currentProps)
        if (const PropKind* kind = PropKindOfName(entry.first))
            CreateProp(entry.second, entry.first, kind->kind, entry.second.transform);
    for (const auto& entry : currentPickups) {
        const D3DXMATRIX& m = entry.second.transform;
        getWeaponPickups().AddPickup(entry.first, static_cast<std::uint16_t>(entry.second.ammo), m._41, m._42,
                                     m._43);
    }
}

// --- character bodies in the manager ------------------------------------------

void CCollisionManager::setNewPlayerPosition(D3DXVECTOR3 p)
{
    playerBody.Warp(p);
    cameraBody.Warp(D3DXVECTOR3(p.x, p.y + 50.0f, p.z - 50.0f));
    // The hero stands on the body's feet at once, as the next physics frame
    // would put him: whatever places the camera before that frame sees him
    // where he now is.
    Link().SetHeroPosition(D3DXVECTOR3(p.x, p.y - kSphereRadius, p.z));
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

// --- the frame ----------------------------------------------------------------

void CCollisionManager::Update(float seconds)
{
    if (!dynamicsWorld)
        return;
    // One fixed step per frame, whatever the frame took.
    dynamicsWorld->stepSimulation(seconds, 1, kFixedStep);
    if (playerBody.basic.controller)
        playerBody.basic.controller->RecoverFromPenetration(dynamicsWorld);
    UpdateProps();

    // Every sphere first: a bone box stands on its body's feet of this frame.
    if (cameraBody.Exists()) {
        const D3DXVECTOR3 eye = ToD3D(cameraBody.basic.ghost->getWorldTransform().getOrigin());
        cameraBody.position = eye;
        Link().SetCameraEye(eye);
        cameraBody.SetWalkDirection(0, 0, 0);
    }
    if (playerBody.Exists())
        SyncBasic(playerBody, true, seconds);
    for (auto& entry : enemyBodies)
        SyncBasic(entry.second, false, seconds);

    for (auto& part : playerBody.parts)
        SyncBone(playerBody, part.second, true);
    for (auto& entry : enemyBodies)
        for (auto& part : entry.second.parts)
            SyncBone(entry.second, part.second, false);
    // Moved ghosts keep their old broadphase boxes until told: a shot this
    // frame must meet the bones where they are now.
    dynamicsWorld->updateAabbs();
}

void CCollisionManager::UpdateProps()
{
    for (btRigidBody* body : propBodies) {
        if (!body->getMotionState() || body->isStaticOrKinematicObject())
            continue;
        PropRecord& record = *static_cast<PropRecord*>(body->getUserPointer());
        btTransform pose;
        body->getMotionState()->getWorldTransform(pose);
        D3DXMATRIX world;
        pose.getOpenGLMatrix(&world._11);
        if (record.entity)
            record.entity->GetTransform().SetMatrix(world);

        if (record.blastFlag) {
            body->activate();
            // Drawn z first, then y, then x: the same seed throws a prop the
            // same way every run.
            const float z = RandomRange(-1.0f, 1.0f) * 1000.0f;
            const float y = RandomRange(0.0f, 1.0f) * 1500.0f;
            const float x = RandomRange(-1.0f, 1.0f) * 1000.0f;
            body->applyImpulse(btVector3(x, y, z), btVector3(0.0f, -10.0f, 3.3f));
            record.blastFlag = false;
        }

        for (int slot = 0; slot < 4; ++slot)
            if (record.name == kRadioNames[slot]) {
                const D3DXVECTOR3 at = ToD3D(pose.getOrigin());
                getSoundManager().radioPositions[slot] = at;
                if (record.emitter)
                    record.emitter->SetPosition(at.x, at.y + 20.0f, at.z);
                break;
            }
    }
}

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

void CCollisionManager::DebugDrawWorld(float unused)
{
    if (dynamicsWorld)
        dynamicsWorld->debugDrawWorld();
}

// --- ray casts ------------------------------------------------------------------

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
                                                       D3DXVECTOR3* point)
{
    const btVector3 start = ToBt(from);
    const btVector3 way = ToBt(direction);
    const btVector3 end = start + way * kRaySpan;
    btCollisionWorld::ClosestRayResultCallback result(start, end);
    result.m_collisionFilterGroup = 1;
    result.m_collisionFilterMask = 0xFFFF;
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

int CCollisionManager::RayTestProps()
{
    if (!dynamicsWorld)
        return -1;
    D3DXVECTOR3 eye, lookAt;
    Link().CameraView(&eye, &lookAt);
    const D3DXVECTOR3 way = lookAt - eye;
    if (D3DXVec3Length(&way) == 0.0f)
        return -1;
    D3DXVECTOR3 point;
    const btCollisionObject* first = FirstOnRay(lookAt, NormalizeVector(way), &point);
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

CCollisionManager& getCollisionManager()
{
    static CCollisionManager manager;
    return manager;
}

// --- shots ---------------------------------------------------------------------------


namespace {

// A breakable's stages, tested from the last to the first: the hit points
// it must fall below, where its smoke rises and which smoke slot it fills.
struct Stage {
    int below;
    D3DXVECTOR3 point;
    int slot;
};
const Stage kPlaneStages[4] = {
    {12, {2350.889892578125f, 92.78379821777344f, 332.07000732421875f}, 4},
    {24, {2350.889892578125f, 82.78379821777344f, 362.07000732421875f}, 2},
    {32, {2350.889892578125f, 79.78379821777344f, 462.07000732421875f}, 3},
    {48, {2350.889892578125f, 89.78379821777344f, 422.07000732421875f}, 1},
};
const Stage kTankStages[4] = {
    {12, {2228.5400390625f, 154.47999572753906f, 1019.0700073242188f}, 4},
    {24, {2148.5400390625f, 74.4800033569336f, 1019.0700073242188f}, 2},
    {36, {2268.5400390625f, 64.4800033569336f, 1019.0700073242188f}, 3},
    {42, {2188.5400390625f, 114.4800033569336f, 1019.0700073242188f}, 1},
};
const D3DXVECTOR3 kPlaneFinal[4] = {kPlaneStages[3].point, kPlaneStages[2].point, kPlaneStages[1].point,
                                    kPlaneStages[0].point};
const D3DXVECTOR3 kTankFinal[5] = {
    {2268.5400390625f, 84.4800033569336f, 1019.0700073242188f},
    {2238.5400390625f, 164.47999572753906f, 1019.0700073242188f},
    {2168.5400390625f, 124.4800033569336f, 1019.0700073242188f},
    {2208.5400390625f, 64.4800033569336f, 1019.0700073242188f},
    {2198.5400390625f, 144.47999572753906f, 1019.0700073242188f},
};

struct ZoneOfPart {
    const char* part;
    const char* zone;
};
const ZoneOfPart kZones[] = {
    {"EBip01 R Forearm", "ra"}, {"EBip01 R UpperArm", "ra"}, {"EBip01 R Hand", "ra"},
    {"EBip01 L Forearm", "la"}, {"EBip01 L UpperArm", "la"}, {"EBip01 L Hand", "la"},
    {"EBip01 R Thigh", "rl"},   {"EBip01 R Calf", "rl"},     {"EBip01 R Foot", "rl"},
    {"basic", "rl"},            {"EBip01 L Thigh", "ll"},    {"EBip01 L Calf", "ll"},
    {"EBip01 L Foot", "ll"},    {"EBip01 Pelvis", "bo"},     {"EBip01 Spine1", "bo"},
    {"EBip01 Head", "h"},
};

} // namespace

const char* PlayerShotZone(const std::string& partName)
{
    for (const ZoneOfPart& z : kZones)
        if (partName == z.part)
            return z.zone;
    return nullptr;
}

void CCollisionManager::PlayStage(bool plane, int hits, const D3DXVECTOR3& hitPoint)
{
    bool* done = plane ? planeStageDone : tankStageDone;
    const Stage* stages = plane ? kPlaneStages : kTankStages;
    CParticleManager& particles = getParticleManager();
    const float d = ManhattanDistanceXZ(Link().HeroPosition(), hitPoint);
    // One stage a hit: the final one first, then the deepest not yet played.
    if (hits < 0) {
        if (done[4])
            return;
        getSoundManager().PlayBarrelExplosion(d * 0.5f);
        const D3DXVECTOR3* points = plane ? kPlaneFinal : kTankFinal;
        const int count = plane ? 4 : 5;
        for (int i = 0; i < count; ++i)
            particles.SpawnExplosion(points[i], RandomRange(0.0f, 1.0f));
        done[4] = true;
        for (auto& smoke : smokeEmitters)
            if (smoke)
                particles.RemoveEmitter(smoke.get());
        if (CEnemyManager* enemies = getEnemyManager())
            enemies->killThisWave("wave_04");
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (hits >= stages[i].below || done[i])
            continue;
        getSoundManager().PlayBarrelExplosion(d);
        particles.SpawnExplosion(stages[i].point, 0.0f);
        smokeEmitters[stages[i].slot - 1] =
            particles.CreateEmitter(getParticleTypes().FindSystemType("humo"), stages[i].point, D3DXVECTOR3(0, 0, 0));
        done[i] = true;
        return;
    }
}

CCollisionManager::ShotHit CCollisionManager::CastShot(const D3DXVECTOR3& start, const D3DXVECTOR3& direction)
{
    ShotHit shot;
    if (!dynamicsWorld || D3DXVec3Length(&direction) == 0.0f || !Finite(direction) || !Finite(start))
        return shot;
    // The far end lies along the aim from the start: measured from the
    // world's origin it would bend the shot away from where it points.
    const btVector3 from = ToBt(start);
    const btVector3 end = from + ToBt(NormalizeVector(direction)) * kRaySpan;
    btCollisionWorld::ClosestRayResultCallback result(from, end);
    result.m_collisionFilterGroup = 1;
    result.m_collisionFilterMask = 0xFFFF;
    dynamicsWorld->rayTest(from, end, result);
    if (!result.hasHit())
        return shot;
    shot.hit = true;
    shot.point = ToD3D(result.m_hitPointWorld);
    shot.normal = ToD3D(result.m_hitNormalWorld);
    const btCollisionObject* object = result.m_collisionObject;
    const btRigidBody* body = btRigidBody::upcast(object);
    if (body && body->getMotionState()) {
        if (!body->isStaticOrKinematicObject()) {
            if (KindOf(body) == PHYSICS_PROP) {
                shot.kind = PHYSICS_PROP;
                shot.prop = const_cast<btRigidBody*>(body);
            }
        } else if (KindOf(body) == PHYSICS_BOX) {
            shot.kind = PHYSICS_BOX;
            shot.boxName = static_cast<const RayHit*>(body->getUserPointer())->name;
        }
        return shot;
    }
    if (KindOf(object) == PHYSICS_BODY_PART) {
        shot.kind = PHYSICS_BODY_PART;
        shot.part = static_cast<const BodyPart*>(object->getUserPointer());
    }
    return shot;
}

void CCollisionManager::ResolvePlayerShot(const CLocation* shooter, float hitPoint[3])
{
    if (!dynamicsWorld)
        return;
    D3DXVECTOR3 eye, lookAt;
    Link().CameraView(&eye, &lookAt);
    D3DXVECTOR3 direction = lookAt - eye;
    if (shooter) {
        const float yaw = shooter->GetYaw(), pitch = shooter->GetPitch();
        direction = D3DXVECTOR3(std::sin(yaw), -std::sin(pitch), std::cos(yaw));
    }
    const ShotHit shot = CastShot(lookAt, direction);
    if (!shot.hit)
        return;
    direction = NormalizeVector(direction);
    const D3DXVECTOR3 point = shot.point;
    lastShotPoint = point;
    hitPoint[0] = point.x;
    hitPoint[1] = point.y;
    hitPoint[2] = point.z;

    CAchievementStats& stats = getAchievementStats();
    if (shot.kind == PHYSICS_PROP) {
        ShootProp(shot.prop, direction, point);
        return;
    }
    if (shot.kind == PHYSICS_BOX) {
        ShootScenery(shot.boxName, point, shot.normal);
        return;
    }
    if (shot.kind != PHYSICS_BODY_PART)
        return;
    const BodyPart& part = *shot.part;
    ++stats.bodyPartsHit;
    const std::string owner = part.ownerName;
    CEnemyManager* enemies = getEnemyManager();
    // Dockers and characters without an enemy's name do not bleed.
    if (owner.size() >= 4 && (owner.size() < 5 || owner[4] != 'D'))
        getParticleManager().SpawnBlood(point, enemies->GetTrackedEnemyPosition(owner),
                                        DirectionFromYaw(Link().HeroYaw()));
    const char* zone = PlayerShotZone(part.partName);
    if (!zone)
        return;
    float factor = bodyFactor;
    const std::string z = zone;
    if (z == "ra" || z == "la") {
        factor = armFactor;
    } else if (z == "rl" || z == "ll") {
        factor = legFactor;
        ++stats.legShots;
    } else if (z == "h") {
        factor = headFactor;
        ++stats.headShots;
    }
    enemies->ApplyPlayerShot(owner, factor, z, Link().HeroPosition());
}

void CCollisionManager::ShootScenery(const std::string& name, const D3DXVECTOR3& point, const D3DXVECTOR3& normal)
{
    CParticleManager& particles = getParticleManager();
    if (name != "col_056" && name != "col_055")
        particles.SpawnSparks(point, normal);
    CPlayer* hero = getPlayer();
    const bool pistol = hero->GetCurrentWeapon() && hero->GetCurrentWeapon()->GetName() == "GUN";
    const int loss = pistol ? 3 : 1;
    if (name == "col_avion_bucle" || name == "col_34TANQUE") {
        if (!getGSF().isPlayingRigidaEneAvioneta())
            return;
        const bool plane = name == "col_avion_bucle";
        int& hits = plane ? planeHits : tankHits;
        hits -= loss;
        PlayStage(plane, hits, point);
        return;
    }
    if (name == "col_explosion_hangar1") {
        if (hangarExploded)
            return;
        hangarHits -= loss;
        if (hangarHits > 0)
            return;
        ExplodeHangar();
        return;
    }
    const bool scaffoldWave = getEnemyManager()->GetCurrentWave() == "wave_34";
    if (name == "col_maderita1" || name == "col_maderita2") {
        if (!scaffoldWave)
            return;
        const bool second = name == "col_maderita2";
        getRigid()->play(second ? "maderitas_andamio2" : "maderitas_andamio1", false);
        RemoveStaticBody(name);
        const float d = ManhattanDistanceXZ(Link().HeroPosition(), point);
        getSoundManager().playThisSampleOnce("data/sound/maderitas.wav", CSoundManager::VolumeByDistance(d));
        return;
    }
    if (StartsWith(name, "col_agua"))
        particles.SpawnSmallWaterSpray(point);
}

void CCollisionManager::ExplodeHangar()
{
    hangarExploded = true;
    CSoundManager& sound = getSoundManager();
    sound.PlayBarrelExplosion(0.0f);
    CRigidAnimManager* rigid = getRigid();
    rigid->play("explosion_hangar", false);
    CGameStateFlagsManager& flags = getGSF();
    flags.setRigidasHangarExplosion();
    // The level flag stays: the switch to the island waits on it. The
    // sequencer may move the hero again, once per explosion.
    rigid->explosionTeleportArmed = true;
    getEnemyManager()->playPaletaVoladoresHangarExplosivo();
    rigid->playCam("camara_hangar");
    sound.playThisSceneSound("data/sound/Fire.wav", 1.0f, true, "data/sound/HE.wav", 1.0f, true, "", 0.0f, false);
    flags.setPlayingCamHangar();
    static const struct {
        D3DXVECTOR3 point;
        float delay;
    } kBlasts[10] = {
        {{340.13427734375f, 113.9478759765625f, 4157.1865234375f}, 0.0f},
        {{300.13427734375f, 83.9478759765625f, 4257.1865234375f}, 0.2f},
        {{210.13427734375f, 153.9478759765625f, 4157.1865234375f}, 0.4f},
        {{380.13427734375f, 103.9478759765625f, 4357.1865234375f}, 0.0f},
        {{440.13427734375f, 133.9478759765625f, 4057.1865234375f}, 0.1f},
        {{540.13427734375f, 313.9478759765625f, 4157.1865234375f}, 0.6f},
        {{500.13427734375f, 283.9478759765625f, 4257.1865234375f}, 0.4f},
        {{110.13427734375f, 353.9478759765625f, 4157.1865234375f}, 0.5f},
        {{180.13427734375f, 303.9478759765625f, 4357.1865234375f}, 0.3f},
        {{540.13427734375f, 333.9478759765625f, 4057.1865234375f}, 0.0f},
    };
    for (const auto& blast : kBlasts)
        getParticleManager().SpawnBigExplosion(blast.point, blast.delay);
}

bool CCollisionManager::KnockProp(btRigidBody* body, const D3DXVECTOR3& direction, const D3DXVECTOR3& point)
{
    const std::string& name = static_cast<PropRecord*>(body->getUserPointer())->name;
    for (const char* word : {"_lata_", "_lata2_", "_silla_", "_tolm_", "_radio_", "_pibrelo_"}) {
        if (!HasFamilyWord(name, word))
            continue;
        body->activate();
        body->applyImpulse(ToBt(direction) * 1000.0f, btVector3(0.0f, -10.0f, 3.3f));
        const float d = ManhattanDistanceXZ(Link().HeroPosition(), point);
        if (HasFamilyWord(name, "_tolm_") || HasFamilyWord(name, "_pibrelo_"))
            getSoundManager().PlayBottle(d);
        else if (HasFamilyWord(name, "_lata_"))
            getSoundManager().PlayCan(d);
        return true;
    }
    return false;
}

bool CCollisionManager::IsBarrel(const std::string& propName)
{
    return HasFamilyWord(propName, "_barril_");
}

void CCollisionManager::BarrelBlast(const PropRecord& barrel, const D3DXVECTOR3& point)
{
    CEnemyManager* enemies = getEnemyManager();
    const float radius = barrel.blastRadius;
    const float damage = barrel.blastDamage;
    for (const auto& entry : enemies->GetCurrentWaveEnemies()) {
        const float d = ManhattanDistanceXZ(entry.second->GetPosition().GetPosition(), point);
        if (d < radius)
            enemies->ApplyPlayerShot(entry.second->GetName(), damage * (1.0f - d / radius), "ba", point);
    }
    // A barrel hurts the hero too, whoever set it off.
    const float heroDistance = ManhattanDistanceXZ(Link().HeroPosition(), point);
    if (heroDistance < radius) {
        const float hurt = std::min(damage * (1.0f - heroDistance / radius), 65535.0f);
        if (CControllerSelector* selector = getPlayer()->GetControllerSelector())
            selector->ForwardHit(true, static_cast<std::uint16_t>(hurt), point.x, point.y, point.z);
    }
    getSoundManager().PlayBarrelExplosion(heroDistance);
    getParticleManager().SpawnExplosion(point, 0.0f);
}

void CCollisionManager::Scorch(const PropRecord& barrel)
{
    if (CParticleSystem* marks = getParticleManager().GetParticleSystem("suelo_quemado")) {
        // Where the barrel stands now: a prop's stored position is never
        // moved (its pose is in the world matrix), and would put every mark
        // at the level's origin.
        const D3DXMATRIX& world = barrel.entity ? barrel.entity->GetTransform().GetMatrix() : barrel.transform;
        const D3DXVECTOR3 at(world._41, world._42, world._43);
        marks->AddParticle(at.x, at.y - 27.0f, at.z, 0, 1, 0, 0, 0, 1);
    }
}

void CCollisionManager::ShootProp(btRigidBody* body, const D3DXVECTOR3& direction, const D3DXVECTOR3& point)
{
    PropRecord& prop = *static_cast<PropRecord*>(body->getUserPointer());
    const std::string name = prop.name;
    CAchievementStats& stats = getAchievementStats();
    if (KnockProp(body, direction, point)) {
        ++stats.propsShot;
        return;
    }
    if (!IsBarrel(name))
        return;
    CEnemyManager* enemies = getEnemyManager();
    const bool scaffoldBarrel = name == "obj_barril_andamio01" || name == "obj_barril_andamio02";
    if (scaffoldBarrel && enemies->GetCurrentWave() != "wave_34")
        return;

    ++stats.barrelsBlown;
    const float radius = prop.blastRadius;
    BarrelBlast(prop, point);
    CParticleManager& particles = getParticleManager();
    bool scaffoldNow = false;
    if (scaffoldBarrel && !scaffoldExploded) {
        scaffoldExploded = true;
        scaffoldNow = true;
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, -30), 0.2f);
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, -50), 0.4f);
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, 50), 0.4f);
        particles.SpawnExplosion(point + D3DXVECTOR3(0, 0, 30), 0.2f);
        getRigid()->play("andamio", false);
        // The pieces fly and the sequencer counts toward the boss's escape.
        getRigid()->dockersEscapeStage = 1;
        getGSF().setIslaMarkerAndamio();
        enemies->OnScaffoldExplosion();
        getPlayer()->storeForCHECKPOINT();
    } else {
        Scorch(prop);
    }

    std::string chained;
    for (auto& entry : currentProps) {
        PropRecord& other = entry.second;
        const D3DXVECTOR3 at(other.transform._41, other.transform._42, other.transform._43);
        if (!(std::fabs(ManhattanDistanceXZ(at, point)) < radius))
            continue;
        if (StartsWith(other.name, "obj_barril_andamio0"))
            continue;
        if (HasFamilyWord(other.name, "_barril_") && other.name != name) {
            Scorch(other);
            chained = other.name;
        } else {
            other.blastFlag = true;
        }
    }
    // Keyed on this call: a barrel hit before the sequencer moves on must
    // still go, or it would blow up again at every hit.
    if (scaffoldNow) {
        RemovePropBody("obj_barril_andamio01");
        RemovePropBody("obj_barril_andamio02");
    } else {
        if (!chained.empty())
            RemovePropBody(chained);
        RemovePropBody(name);
    }
}
