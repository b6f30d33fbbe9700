#include "world/CollisionManager.h"

#include <cfloat>
#include <climits>

#include "world/CollisionHelpers.h"

#include <algorithm>
#include <utility>

#include "math/VectorMath.h"
#include "platform/bounded.h"
#include "platform/win32.h"
#include "player/WeaponPickups.h"
#include "render/DrawCallCounter.h"
#include "render/DrawCollisions.h"
#include "scene/ParticleEmitter.h"
#include "scene/RigidEntity.h"
#include "sound/SoundManager.h"
#include "world/CharacterController.h"

namespace {

constexpr float kFixedStep = 1.0f / 60.0f;
// A file holding more elements than this is not a level of ours.
constexpr size_t kMaxElements = 1000000;

const char* const kPickupWords[] = {"_gun_", "_thompson_", "_shotgun_"};

// The radios whose positions drive the radio music, by slot.
const char* const kRadioNames[] = {"obj_radio_01", "obj_radio_02", "obj_radio_03", "obj_radio_04"};

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

// The entries of the file being read that are left out, said once it is
// read whole.
bounded::FaultTally& LeftOutEntries()
{
    static bounded::FaultTally tally;
    return tally;
}

bool SoundSize(float size)
{
    return size >= 0.0f && size <= 2.0f * kWorldHalfSize;
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
    // A start reads the levels afresh, as a new process would.
    hangarCollisions.clear();
    islandCollisions.clear();
    hangarProps.clear();
    islandProps.clear();
    hangarPickups.clear();
    islandPickups.clear();
    hangarStart = islandStart = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    const std::string file = "data/XML/collision_instances.xml";
    std::string fault = ReadTables(file);
    // A level without a box has no floor: the hero would fall through it at
    // once. No guess at a floor is made; the main menu stays instead.
    const char* bare = hangarCollisions.empty() ? "hangares" : islandCollisions.empty() ? "isla" : nullptr;
    m_NoGame.clear();
    if (bare) {
        if (fault.empty())
            fault = std::string("it holds no box for \"") + bare + "\"";
        m_NoGame = "Collision file " + bounded::Echoed(file) + " refused: " + fault +
                   "; a level without its boxes has no floor, so no game can start";
        bounded::SayOnce(m_NoGame);
    } else if (!fault.empty()) {
        bounded::SayOnce("Collision file " + bounded::Echoed(file) + " refused: " + fault);
    }
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
    LeftOutEntries().TakeLines(file);
    const std::string fault = ReadTables(file);
    // Read again at every level load: said once. A file refused whole says
    // nothing of its entries.
    if (!fault.empty())
        bounded::SayOnce("Collision file " + bounded::Echoed(file) + " refused: " + fault);
    else
        LeftOutEntries().SayAll(file);
    return fault.empty();
}

std::string CCollisionManager::ReadTables(const std::string& file)
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
        return std::string();
    const std::string fault = m_ReadProblem.empty() ? GetFault() : m_ReadProblem;
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
    return fault;
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
        const std::string entry = "object \"" + bounded::Echoed(name) + "\"";
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        // An empty or short transform would put the object at the origin,
        // where nobody placed it (one left out is the identity, as ever).
        float numbers[12];
        if (attributes.count("transform") && !attributes.ReadNumbers("transform", numbers, 12, DBL_MAX)) {
            LeftOutEntries().Add("a transform that is not 12 numbers: the object is left out", entry);
            return;
        }
        const D3DXMATRIX transform = attributes.GetMatrix("transform", identity);
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
                // A word that is no number would read as no rounds at all; a
                // number past the rounds a pickup holds refuses the file.
                long long ammo = 0;
                const auto rounds = attributes.find("ammo");
                if (rounds != attributes.end() && !bounded::ParseInt(rounds->second, LLONG_MIN, LLONG_MAX, &ammo)) {
                    LeftOutEntries().Add("ammo \"" + bounded::Echoed(rounds->second) +
                                             "\" is not a count from 0 to 65535: the pickup is left out",
                                         entry);
                    return;
                }
                if (ammo < 0 || ammo > 65535) {
                    m_ReadProblem = "pickup " + name + " holds " + std::to_string(ammo) + " rounds";
                    return;
                }
                PickupRecord record;
                record.name = name;
                record.transform = transform;
                record.ammo = static_cast<int>(ammo);
                (hangar ? hangarPickups : islandPickups)[name] = record;
                return;
            }
    } else if (element == "collision") {
        pendingCollision = RayHit();
        pendingCollision.name = attributes.GetString("name", "");
        pendingCollision.width = attributes.GetFloat("width", 0.0f);
        pendingCollision.height = attributes.GetFloat("height", 0.0f);
        pendingCollision.length = attributes.GetFloat("length", 0.0f);
        const std::string shots = attributes.GetString("shots", "");
        pendingCollision.shots = shots == "through"    ? ShotPassage::Through
                                 : shots == "unmarked" ? ShotPassage::Unmarked
                                                       : ShotPassage::Marked;
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

void CCollisionManager::DebugDrawWorld(float unused)
{
    if (dynamicsWorld)
        dynamicsWorld->debugDrawWorld();
}

CCollisionManager& getCollisionManager()
{
    static CCollisionManager manager;
    return manager;
}
