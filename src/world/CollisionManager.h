// The physics world over Bullet: the static boxes and props of the current
// level, the hero's, the camera's and the enemies' character bodies, ray
// casts, and the resolution of every shot.
#pragma once

#include <memory>
#include <string>

#include "platform/d3dx9math.h"
#include "xml/XMLParser.h"

class CParticleEmitter;

// A static box of the level as read from the collision files, and the answer
// of a ray cast (which fills the flag, name, centre, hit point and corners).
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
};

class CCollisionManager : public CXMLParser {
public:
    CCollisionManager();

    // Builds the world with the hero's and the camera's bodies; once, after
    // the hero exists.
    void InitPhysicsWorld();
    // Reads the collision and object files, makes "hangares" current and
    // installs the debug drawer; once, right after InitPhysicsWorld.
    void Init();
    void OnStartElement(const std::string& element, CXMLAttributes& attributes) override;

    // One physics frame: steps the world and syncs bodies, props and radios.
    void Update(float seconds);
    // Rebuilds the static boxes, props and pickups of "hangares" (any other
    // name: the island).
    void LoadNewScenario(std::string scenario);

    // Teleports the hero (the camera body follows) or one enemy.
    void setNewPlayerPosition(D3DXVECTOR3 position);
    void setNewEnemyPosition(std::string name, D3DXVECTOR3 position);
    // Takes the static box of that name out of the world, if there is one.
    void RemoveStaticBody(std::string name);
    // Walk vectors for this physics step (not normalised).
    void SetPlayerWalkDirection(float x, float y, float z);
    void SetCameraWalkDirection(float x, float y, float z);
    // Draws the physics world's debug lines; the argument is not used.
    void DebugDrawWorld(float unused);

    // What the camera looks at: -1 nothing or an unlisted prop, 0 a plain
    // static object, 1 a small throwable prop, 2 a barrel or an explosive
    // target, 3 a character or the looping plane.
    int RayTestProps();
    // The closest static hit between two points.
    RayHit CastRay(D3DXVECTOR3 from, D3DXVECTOR3 to);

    // Draw calls of the frame (the debug drawer adds one per line); the frame
    // update sets it back to 0 every frame.
    int drawCallCount = 0;
    // Hit points of the breakable plane, tank and hangar wall.
    int planeHits = 60;
    int tankHits = 60;
    int hangarHits = 6;
    // Smoke of the breakable plane and tank; shared with the particle
    // manager, which may drop them first.
    std::shared_ptr<CParticleEmitter> smokeEmitters[4];
};

CCollisionManager& getCollisionManager();
