// The physics world over Bullet: the static boxes and props of the current
// level, the hero's, the camera's and the enemies' character bodies, ray
// casts, and the resolution of every shot.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx9math.h"
#include "xml/XMLParser.h"

class CParticleEmitter;
class CRigidEntity;
class CCharacterController;
class btBroadphaseInterface;
class btCollisionDispatcher;
class btCollisionObject;
class btCollisionShape;
class btDefaultCollisionConfiguration;
class btDiscreteDynamicsWorld;
class btGhostPairCallback;
class btIDebugDraw;
class btPairCachingGhostObject;
class btRigidBody;
class btSequentialImpulseConstraintSolver;
class btTransform;

// What a Bullet object's user pointer points at; the kind sits in the
// object's user index, so a hit is never read as the wrong record.
enum PhysicsRecordKind { PHYSICS_NONE = 0, PHYSICS_BOX = 1, PHYSICS_PROP = 2, PHYSICS_BODY_PART = 3 };

// How a level box meets a bullet. Most are the shapes of drawn objects and
// show a hole where they are struck. A box that nothing draws shows none:
// either it still stops bullets, where what lies beyond must not be shot
// from there, or they fly on through it.
enum class ShotPassage { Marked, Unmarked, Through };

// A static box of the level as read from the collision files, and the answer
// of a ray cast (which fills the flag, name, centre, hit point and corners).
class CLocation;

struct RayHit {
    RayHit() { D3DXMatrixIdentity(&transform); }

    bool hit = false;
    std::string name;
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 hitPoint{0.0f, 0.0f, 0.0f};
    float height = 0.0f;
    float width = 0.0f;
    float length = 0.0f;
    D3DXVECTOR3 corners[4] = {};
    D3DXMATRIX transform;
    ShotPassage shots = ShotPassage::Marked;
};

// A weapon lying in the level.
struct PickupRecord {
    PickupRecord() { D3DXMatrixIdentity(&transform); }
    std::string name;
    D3DXMATRIX transform;
    int ammo = 0;
};

class CCollisionManager;

// What each kind of prop looks like and how big its body is; the kind is
// named by the family word at the fourth character of a prop's name
// ("obj_lata_01"). Texture sets are (diffuse, light map, normal map), in the
// mesh's subset order. The mesh carries the kind's name.
struct PropKind {
    const char* kind;
    const char* word;
    std::vector<std::array<const char*, 3>> textures;
    float halfExtents[3];
    float radius;
};
const std::vector<PropKind>& PropKinds();
// The kind of the prop of that name; null for a name of no prop family.
const PropKind* PropKindOfName(const std::string& name);
// A weapon lying about: "gun", "thompson" or "shotgun" as the family word.
bool IsWeaponPickupName(const std::string& name);

// A movable prop: can, chair, bottle, radio or barrel.
struct PropRecord {
    PropRecord() { D3DXMatrixIdentity(&transform); }
    // The shape (a y cylinder for "barril", else a box of the half extents)
    // goes to the manager that built the prop; the body starts at the
    // entity's world matrix.
    void CreateBody(std::string kind);

    float blastRadius = 0.0f;
    float blastDamage = 0.0f;
    std::string name;
    // Made when the level is loaded; shared by the copies of the record.
    std::shared_ptr<CRigidEntity> entity;
    // A radio's marker. The particle manager may drop it first (a reset):
    // the prop keeps it alive until it is moved for the last time.
    std::shared_ptr<CParticleEmitter> emitter;
    bool blastFlag = false;
    float halfExtents[3] = {0.0f, 0.0f, 0.0f};
    D3DXMATRIX transform;
    // The manager whose world holds the body.
    CCollisionManager* owner = nullptr;
};

// One collision object of a character: its sphere ("basic") or a bone box.
struct BodyPart {
    std::string partName;
    std::string ownerName;
    float halfLength = 0.0f;
    float radius = 0.0f;
    CCharacterController* controller = nullptr;
    btPairCachingGhostObject* ghost = nullptr;
};

// What the physics reads of the characters and the camera, and where it puts
// them back. The game's own link talks to the hero, the enemy manager and the
// camera; tests put a stand-in in its place.
class ICollisionWorld {
public:
    virtual ~ICollisionWorld() = default;

    // The hero's feet, yaw and current controller state code.
    virtual D3DXVECTOR3 HeroPosition() = 0;
    virtual void SetHeroPosition(const D3DXVECTOR3& feet) = 0;
    virtual float HeroYaw() = 0;
    virtual int HeroStateCode() = 0;
    // A bone's matrix in model space, before yaw and position; false when the
    // hero has no model or no such bone.
    virtual bool HeroBone(const std::string& bone, D3DXMATRIX* matrix) = 0;

    // The camera's eye follows its body; the view is rebuilt from it.
    virtual void SetCameraEye(const D3DXVECTOR3& eye) = 0;
    // Where the camera is and the point it looks at.
    virtual void CameraView(D3DXVECTOR3* eye, D3DXVECTOR3* lookAt) = 0;

    // The current wave's enemies still in play, in key order: the key the
    // enemy manager files the enemy under and the enemy's own name. One
    // taken out of play before its wave started gets no body.
    struct WaveEnemy {
        std::string key;
        std::string name;
        D3DXVECTOR3 position;
    };
    virtual std::vector<WaveEnemy> CurrentWave() = 0;
    // What the body of an enemy of the current wave reads of it; false when
    // the enemy is not in the current wave.
    struct EnemyState {
        D3DXVECTOR3 position;
        float yaw = 0.0f;
        // Jumping over cover or in a finisher move: its animation moves it.
        bool animationMoves = false;
    };
    virtual bool FindEnemy(const std::string& name, EnemyState* state) = 0;
    virtual void SetEnemyPosition(const std::string& name, const D3DXVECTOR3& feet) = 0;
    virtual bool EnemyBone(const std::string& name, const std::string& bone, D3DXMATRIX* matrix) = 0;
};

// The game's link to the hero, the enemies and the camera.
ICollisionWorld& getGameCollisionWorld();

// A character's body: a sphere on a kinematic controller and, for the hero
// and the enemies, fifteen boxes that follow the skeleton's bones.
class CharacterBody {
public:
    CharacterBody() = default;
    CharacterBody(const CharacterBody&) = delete;
    CharacterBody& operator=(const CharacterBody&) = delete;
    ~CharacterBody();

    void SetName(std::string name) { basic.ownerName = name; }
    const std::string& GetName() const { return basic.ownerName; }
    // Builds the sphere (its centre 10 above the feet) and the bone boxes, in
    // this world. A body that exists is taken out and freed first.
    void Create(btDiscreteDynamicsWorld* world, D3DXVECTOR3 position);
    void AddBonePart(std::string bone, float hx, float hy, float hz);
    void SetWalkDirection(float x, float y, float z);
    // The sphere's centre to this point.
    void Warp(const D3DXVECTOR3& centre);
    // Takes every ghost and controller out of the world and frees them.
    void Destroy();
    bool Exists() const { return basic.ghost != nullptr; }

    std::map<std::string, BodyPart> parts;
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    bool snapToEntity = false;
    BodyPart basic;

private:
    btDiscreteDynamicsWorld* m_World = nullptr;
};

class CCollisionManager : public CXMLParser {
public:
    CCollisionManager();
    ~CCollisionManager() override;

    // Builds the world with the hero's and the camera's bodies; once, after
    // the hero exists.
    void InitPhysicsWorld();
    // Takes the world down with every body in it; InitPhysicsWorld builds a
    // new one. Nothing is left for a later raycast to hit.
    void ReleasePhysicsWorld();
    // Reads the collision and object files into empty tables, makes
    // "hangares" current and installs the debug drawer; once, right after
    // InitPhysicsWorld. A collision file that leaves a level without a box
    // leaves it without a floor: one line says so, and no game may start.
    void Init();
    // Empty when a game may start; else the line Init said about it.
    const std::string& WhyNoGame() const { return m_NoGame; }
    // A run ends: what it read no longer stops a game.
    void ForgetNoGame() { m_NoGame.clear(); }
    void OnStartElement(const std::string& element, CXMLAttributes& attributes) override;
    // Reads one collision or object file into the level tables. A broken or
    // missing file is refused whole (one line on the debugger output, once a
    // run) and changes nothing.
    bool ReadFile(const std::string& file);

    // One physics frame: steps the world and syncs bodies, props and radios.
    void Update(float seconds);
    // Rebuilds the static boxes, props and pickups of "hangares" (any other
    // name: the island).
    void LoadNewScenario(std::string scenario);

    // Teleports the hero (the camera body follows) or one enemy.
    void setNewPlayerPosition(D3DXVECTOR3 position);
    // The camera's body put down with its centre at the eye.
    void WarpCamera(const D3DXVECTOR3& eye);
    // How far the camera's body can be put from `from` straight toward `to`
    // and stay clear of the level, a little short of what stops it.
    float CameraReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to);
    void setNewEnemyPosition(std::string name, D3DXVECTOR3 position);
    // Takes the static box of that name out of the world, if there is one.
    void RemoveStaticBody(std::string name);
    // Moves the level's box of that name to stand on an object drawn with
    // that world matrix, as the level's boxes stand on theirs (centred half
    // their height up). A box that moves is met by shots only, never by the
    // characters or the camera. Nothing for a name not in the world.
    void CarryStaticBody(const std::string& name, const D3DXMATRIX& object);
    // The middle of the level's box of that name where it stands now; false
    // when no box of that name is in the world.
    bool StaticBodyCentre(const std::string& name, D3DXVECTOR3* centre) const;
    btRigidBody* AddStaticBody(const btTransform& transform, btCollisionShape* shape, std::string name);
    btRigidBody* AddDynamicBody(float mass, const btTransform& start, btCollisionShape* shape, PropRecord* record);
    // Builds a prop's entity and body when the level is loaded.
    void CreateProp(PropRecord& record, std::string name, std::string kind, D3DXMATRIX transform);
    // Takes the prop's body out of the world and frees it (its shape stays
    // with the manager until the level goes), then forgets the prop, so it
    // is neither drawn nor hit until the level is loaded again.
    void RemovePropBody(std::string name);
    // Keeps a shape until the level's bodies are freed.
    void AdoptShape(btCollisionShape* shape) { collisionShapes.push_back(shape); }

    // Walk vectors for this physics step (not normalised).
    void SetPlayerWalkDirection(float x, float y, float z);
    void SetCameraWalkDirection(float x, float y, float z);
    void SetEnemyWalkDirection(std::string name, D3DXVECTOR3 direction);
    // One body per enemy of the current wave (the plane gets none).
    void CreateEnemyBodies();
    void RemoveEnemyBody(std::string name);

    // Draws the physics world's debug lines; the argument is not used.
    void DebugDrawWorld(float unused);

    // What the camera looks at: -1 nothing or an unlisted prop, 0 a plain
    // static object, 1 a small throwable prop, 2 a barrel or an explosive
    // target, 3 a character or the looping plane.
    int RayTestProps();
    // Whether a static box stands between two points, and which.
    RayHit CastRay(D3DXVECTOR3 from, D3DXVECTOR3 to);
    // How far a sphere of the radius gets from one point toward another
    // before it touches the level's static boxes, as a share of the way
    // (1 when nothing stands in it).
    float SweepSphere(const D3DXVECTOR3& from, const D3DXVECTOR3& to, float radius);
    // What one bullet of the hero hits (along the camera's aim when shooter
    // is null, else along the shooter's heading) and what follows from it;
    // hitPoint receives the hit point only when something is hit.
    void ResolvePlayerShot(const CLocation* shooter, float hitPoint[3]);
    // The same for one enemy bullet along the shooter's heading.
    void ResolveEnemyShot(const CLocation* shooter, std::uint16_t damage, float hitPoint[3]);
    // Where an enemy's shotgun pellet strikes, flying from the point along
    // the direction; false when it strikes nothing. `marks`: whether it
    // leaves a hole there (on a drawn level box).
    bool PelletStrike(const D3DXVECTOR3& from, const D3DXVECTOR3& direction, D3DXVECTOR3* point, bool* marks);

    // Where the game's link is replaced (tests). Null restores it.
    void SetWorld(ICollisionWorld* world) { m_Link = world; }
    btDiscreteDynamicsWorld* GetDynamicsWorld() const { return dynamicsWorld; }
    const CharacterBody& GetPlayerBody() const { return playerBody; }
    const CharacterBody& GetCameraBody() const { return cameraBody; }
    const std::map<std::string, CharacterBody>& GetEnemyBodies() const { return enemyBodies; }
    const std::map<std::string, RayHit>& GetCollisions(bool hangar) const
    {
        return hangar ? hangarCollisions : islandCollisions;
    }
    const std::map<std::string, PropRecord>& GetProps(bool hangar) const { return hangar ? hangarProps : islandProps; }
    // The props of the level now loaded: drawn by the scene, pushed by blasts.
    std::map<std::string, PropRecord>& GetCurrentProps() { return currentProps; }
    size_t GetPropBodyCount() const { return propBodies.size(); }
    const std::map<std::string, PickupRecord>& GetPickups(bool hangar) const
    {
        return hangar ? hangarPickups : islandPickups;
    }
    const D3DXVECTOR3& GetStart(bool hangar) const { return hangar ? hangarStart : islandStart; }
    size_t GetShapeCount() const { return collisionShapes.size(); }

    // Draw calls of the frame (the debug drawer adds one per line); the frame
    // update sets it back to 0 every frame.
    int drawCallCount = 0;
    // Hit points of the breakable plane, tank and hangar wall.
    int planeHits = 60;
    int tankHits = 60;
    int hangarHits = 6;
    bool hangarExploded = false;
    bool scaffoldExploded = false;
    bool planeStageDone[5] = {};
    bool tankStageDone[5] = {};
    // Damage factors per body zone.
    float headFactor = 100.0f;
    float bodyFactor = 1.0f;
    float armFactor = 0.3f;
    float legFactor = 0.3f;
    D3DXVECTOR3 lastShotPoint{0.0f, 0.0f, 0.0f};
    // Smoke of the breakable plane and tank; shared with the particle
    // manager, which may drop them first.
    std::shared_ptr<CParticleEmitter> smokeEmitters[4];

private:
    // What one bullet's ray met first: where, the surface's normal, and the
    // record of what it was (the kind says which record).
    struct ShotHit {
        bool hit = false;
        D3DXVECTOR3 point{0.0f, 0.0f, 0.0f};
        D3DXVECTOR3 normal{0.0f, 0.0f, 0.0f};
        PhysicsRecordKind kind = PHYSICS_NONE;
        // A prop's body (dynamic), else null.
        btRigidBody* prop = nullptr;
        // The static box's name (scenery), else empty.
        std::string boxName;
        // A drawn box: the strike shows on it.
        bool marked = false;
        // The character's part (body part), else null.
        const BodyPart* part = nullptr;
    };
    // Every shot's ray: from the start along the normalised direction to the
    // world's span, the closest hit, group 1 and mask 0xFFFF. A direction of
    // no length or not finite hits nothing. Bullets fly through the boxes
    // that let them, and through the camera's body and the shooter's own
    // (`shooter`, a body's name; empty for none).
    ShotHit CastShot(const D3DXVECTOR3& start, const D3DXVECTOR3& direction, const std::string& shooter);
    // A can, bottle, chair, radio or the like knocked by a bullet, with its
    // sound; false for a prop of no such family.
    bool KnockProp(btRigidBody* body, const D3DXVECTOR3& direction, const D3DXVECTOR3& point);
    // A barrel's blast at the point: the wave's enemies and the hero hurt by
    // their distance, the bang and the fire.
    void BarrelBlast(const PropRecord& barrel, const D3DXVECTOR3& point);
    static bool IsBarrel(const std::string& propName);
    // The burnt patch on the ground under a blown barrel.
    void Scorch(const PropRecord& barrel);
    ICollisionWorld& Link();
    // The tables the reader fills now.
    bool ReadingHangar() const { return scenarioName == "hangares"; }
    void SyncBasic(CharacterBody& body, bool hero, float seconds);
    // The parts of one player shot: a prop, the level's scenery, a stage of
    // the plane or the tank, the hangar wall.
    void ShootProp(btRigidBody* body, const D3DXVECTOR3& direction, const D3DXVECTOR3& point);
    void ShootScenery(const std::string& name, const D3DXVECTOR3& point, const D3DXVECTOR3& normal, bool marked);
    void PlayStage(bool plane, int hits, const D3DXVECTOR3& hitPoint);
    void ExplodeHangar();
    void SyncBone(CharacterBody& body, BodyPart& part, bool hero);
    // The first object on the ray from `from` along `direction`, or null.
    // A bullet's ray (`bulletOf`, the shooter's body name, or empty for an
    // enemy's) passes what bullets pass; a sight line, null, passes nothing.
    const btCollisionObject* FirstOnRay(const D3DXVECTOR3& from, const D3DXVECTOR3& direction,
                                        D3DXVECTOR3* point, const std::string* bulletOf = nullptr);
    void FreeStaticBodies();
    void FreeRigidBody(btRigidBody* body);
    // Poses, blast pushes and radio positions of the props after a step.
    void UpdateProps();

    btDiscreteDynamicsWorld* dynamicsWorld = nullptr;
    btCollisionDispatcher* dispatcher = nullptr;
    btSequentialImpulseConstraintSolver* solver = nullptr;
    btBroadphaseInterface* broadphase = nullptr;
    btDefaultCollisionConfiguration* collisionConfiguration = nullptr;
    btGhostPairCallback* ghostPairCallback = nullptr;
    std::unique_ptr<btIDebugDraw> debugDrawer;

    RayHit pendingCollision;
    int vertexCounter = 1;
    // Shapes of the static boxes and props now in the world; freed with them.
    std::vector<btCollisionShape*> collisionShapes;
    std::map<std::string, RayHit> islandCollisions, hangarCollisions, currentCollisions;
    std::map<std::string, PropRecord> hangarProps, islandProps, currentProps;
    std::map<std::string, PickupRecord> islandPickups, hangarPickups, currentPickups;
    CharacterBody playerBody;
    std::map<std::string, CharacterBody> enemyBodies;
    CharacterBody cameraBody;
    std::string scenarioName;
    D3DXVECTOR3 islandStart{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 hangarStart{0.0f, 0.0f, 0.0f};
    // The static bodies now in the world, so a switch frees every one.
    std::vector<btRigidBody*> staticBodies;
    std::vector<btRigidBody*> propBodies;
    // Reads a file as ReadFile does and says nothing: the fault, or empty.
    std::string ReadTables(const std::string& file);
    std::string m_NoGame;
    // Records refused so far in this file (bounded).
    size_t m_ReadCount = 0;
    std::string m_ReadProblem;
    ICollisionWorld* m_Link = nullptr;
};

CCollisionManager& getCollisionManager();

// The body zone a hero's bullet finds in an enemy's part ("h", "bo", "la",
// "ra", "ll", "rl"), or null for a part that takes no damage.
const char* PlayerShotZone(const std::string& partName);
