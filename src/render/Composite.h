// The final composite's screen effects: what it reads of the game each frame,
// the state its lightning, rain and hit marks keep from frame to frame, and
// the full-screen pass that lays the scene and the overlays over the target.
#pragma once

#include <array>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9effect.h"
#include "platform/d3dx9math.h"
#include "render/ScreenTiles.h"

class CEffectManager;

// The composite's screen effects that live from frame to frame: lightning on
// the island, the rain's sideways drift, the camera angles of the last frame
// and the four hit-direction marks. Kept for the whole run (a level restart
// does not reset them).
struct CompositeState {
    bool lightningActive = false;
    float lightningBrightness = 0.0f;
    float rainTarget = 0.0f;
    float rainDrift = 0.0f;
    bool lightningFading = false;
    float previousYaw = 1.0f;
    float previousPitch = 0.0f;
    float currentYaw = 0.0f;
    float currentPitch = 0.0f;
    float hitFlag = 0.0f;
    // front, back, one side, the other: fed to "damageColor"
    D3DXVECTOR4 hits{0.0f, 0.0f, 0.0f, 0.0f};

    // One frame of the hit marks: each mark above 0 fades by 0.1, one at or
    // below 0 is set to 0; then a hit this frame lights the mark of its
    // direction. `angleDegrees` is the wrapped turn from the hero's first hit
    // angle to his second: within 45 of 0 is the front, 120 or more either
    // way the back, the sides between.
    void StepHits(bool wasHit, float angleDegrees);
    // One frame of the lightning with this frame's draw r (1..100): a 99
    // strikes, the flash climbs to 10 and falls back to 1. Returns the value
    // for "flash", which flickers back to 1 on frames whose draw is above 85.
    float StepLightning(int r);
    // One frame of the rain's drift with this frame's draw r (1..100) and the
    // camera's yaw now: it creeps toward a target drawn anew whenever it gets
    // there, and the camera's turn since the last frame pushes it sideways.
    // Returns the value for "RainDir".
    float StepRain(int r, float yaw);
};

// The three damage images for the scene time t, in the order of
// "Damage1Texture", "Damage2Texture", "Damage3Texture". The three ranges
// overlap and are tried in order, so the later one wins.
std::array<const char*, 3> DamageTexturesFor(float t);

// Whether the composite's damage pass would change the frame: a hit mark
// shows, or the life fraction is below the effect's "damage_from_life" (an
// effect without it, or with a useless value, always shows the pass).
bool DamageShows(ID3DXEffect* effect, float lifeFraction, const D3DXVECTOR4& hits);

// The velocity pass drew again only what moved in the world since the last
// frame; every other pixel is smeared here by the camera's own motion, worked
// out from the scene's depth and the last frame's view and projection.
struct CameraSmear {
    bool on = false;
    // What moved, already smeared (alpha 1 where it was drawn, 0 elsewhere).
    IDirect3DTexture9* moving = nullptr;
    IDirect3DTexture9* depth = nullptr;
    D3DXMATRIX inverseViewProjection;
    D3DXMATRIX previousViewProjection;
    // False when the camera stood still: nothing but the moving objects smears.
    bool cameraMoved = false;
};

// The smear for the camera's view and projection now and in the last frame.
CameraSmear CameraSmearFor(const D3DXMATRIX& viewProjection, const D3DXMATRIX& previousViewProjection,
                           IDirect3DTexture9* moving, IDirect3DTexture9* depth);

// The bloom stages and the particle target, for the composite to lay over
// the frame in its own pass rather than in passes of their own.
struct CompositeOverlays {
    bool merge = false;
    // At most four stage textures (none: no bloom).
    std::vector<IDirect3DTexture9*> bloom;
    // The second of the two textures in `bloom` already holds the square of
    // every stage after the first, summed.
    bool bloomSummed = false;
    // Null: no particles to lay.
    IDirect3DTexture9* particles = nullptr;
    // The tiles of the particle target its draws can have reached; null, or
    // of another size than the frame, counts as every tile.
    const ScreenTiles* particleTiles = nullptr;
};

// What the composite reads of the game in one frame.
struct CompositeInputs {
    float sceneTime = 0.0f;
    // hero life / his maximum life
    float lifeFraction = 1.0f;
    // the hero's controller took a hit this frame, and from where (degrees,
    // the wrapped turn from his first hit angle to his second)
    bool wasHit = false;
    float hitAngleDegrees = 0.0f;
    // the hero's controller state code (aiming states tint the frame)
    int stateCode = 0;
    // the level is "isla": lightning and rain
    bool isla = false;
    float cameraYaw = 0.0f;
    float cameraPitch = 0.0f;
    // a comic-panel sequence is on screen
    bool scriptedSequence = false;
    bool depthOfField = false;
    CameraSmear smear;
    CompositeOverlays overlays;
};

// The game's values for this frame.
CompositeInputs GatherCompositeInputs();

// Which overlays the composite lays over each tile of a frame of that size:
// bit 1 the bloom (where a stage it reads is lit), bit 2 the particles (where
// their draws reached), bit 4 the blood (its layers' opaque tiles; null: no
// blood laid). Tiles without one are drawn without its reads.
std::vector<int> OverlaysByTile(const CompositeOverlays& overlays, int width, int height,
                                const ScreenTiles* blood = nullptr);

// The composite with "pruebaTech" over the current target: the scene, then
// the overlays. Steps the manager's composite state once. Without an effect,
// or without the technique, nothing is drawn and the state stays as it was.
// True when it also laid the bloom and particle overlays asked for: only with
// the frame's shortcuts, and only while the damage pass, which must come
// between, lays nothing.
bool RenderCompositeWith(CEffectManager& manager, IDirect3DTexture9* scene, IDirect3DTexture9* currentVelocity,
                         IDirect3DTexture9* previousVelocity, const CompositeInputs& inputs);
