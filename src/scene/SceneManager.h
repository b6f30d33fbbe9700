// Decides what the render passes draw: every level object by name, the names
// the frame render hands over for this frame, the scene's four light cameras
// and the shadow-map, scene and velocity passes into their render targets.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "render/Composite.h"
#include "render/ShadowPixels.h"
#include "render/ShadowReach.h"
#include "scene/LightCamera.h"

class CEnemy;
class CParticleEmitter;
class CRigidEntity;
class IEntidad3D;
struct CRenderTarget;

class CSceneMngr {
public:
    CSceneMngr();
    ~CSceneMngr();
    CSceneMngr(const CSceneMngr&) = delete;
    CSceneMngr& operator=(const CSceneMngr&) = delete;

    // Keeps the device and makes the four light cameras afresh (each with the
    // look-at camera's defaults; the rooms' lights are copied over them every
    // update). The shared light record is not used. The textures of the
    // passes are forgotten: they belonged to the device before.
    void CreateLights(IDirect3DDevice9* device, const CLightCamera& light);
    // Light camera 1 (script method).
    CLightCamera* getActiveLight() { return &m_Lights[0]; }
    // Light camera 2, 3 or 4; any other number gives light camera 1.
    CLightCamera* GetLight(int i);

    IDirect3DTexture9* GetShadowMapTexture() const { return m_ShadowMapTexture; }
    // Whether the shadow map may hold a caster: false only while the last
    // shadow pass cleared it and had none to draw (or none has run), when the
    // lit pass need not sample it.
    bool ShadowMapHasCasters() const { return m_ShadowCasters; }
    // Whether a static receiver, placed in the light's clip space by
    // `lightWorldViewProjection` (its world times `lightViewProjection`), can
    // read a texel of the map that a caster was drawn into.
    bool ShadowMayFallOn(const IEntidad3D& receiver, const D3DXMATRIX& lightWorldViewProjection,
                         const D3DXMATRIX& lightViewProjection) const;
    // Where in the map (u right, v down) a receiver's point must land for its
    // taps to meet a caster's texel, as left, top, right, bottom: outside it
    // the taps read the cleared background. Anywhere (a rect holding every
    // coordinate) when that is not known for `lightViewProjection`.
    D3DXVECTOR4 ShadowReadRect(const D3DXMATRIX& lightViewProjection) const;
    // The pixels of a width x height target, seen by the camera, where the
    // map's taps can change a receiver's light (elsewhere the map reads as
    // its background); false when that is not known.
    bool ShadowPixels(const IEntidad3D& receiver, const D3DXMATRIX& lightViewProjection, int width, int height,
                      PixelRect& pixels) const;
    float GetSceneTime() const { return m_SceneTime; }
    // The scene target's texture that the velocity pass smears.
    IDirect3DTexture9* GetVelocitySourceTexture() const { return m_VelocitySource; }
    IDirect3DTexture9* GetCurrentVelocityTexture() const { return m_CurrentVelocity; }
    IDirect3DTexture9* GetPreviousVelocityTexture() const { return m_PreviousVelocity; }

    // The device's depth-stencil surface, kept while the passes draw into
    // their targets so that they all test against it; the frame render
    // brackets its passes with these.
    void SaveDepthStencil();
    void ReleaseDepthStencil();

    // Rebuilds the name map from the current room's objects (each under its
    // own name) and empties the draw list; the "Character" list is left for
    // the enemies to hand over.
    void Setup();
    // The characters to draw under "Character": the given enemies and the hero.
    void SetCharacterList(std::vector<IEntidad3D*> characters);
    // Appends an entity under a name (several entities may share one).
    void AddObject(const std::string& name, IEntidad3D* entity);

    // Marks a name visible and appends it to this pass's draw list.
    void AddVisible(const std::string& name);
    // Stores the flag; a visible name is also appended to the draw list.
    void SetVisible(const std::string& name, bool visible);
    // Whether the name was last marked visible.
    bool IsVisible(const std::string& name) const;
    const std::vector<std::string>& GetDrawList() const { return m_DrawList; }
    // The entities of the listed names in the order a pass draws them: list
    // order, or near to far with the frame's shortcuts. The scene pass draws
    // the characters on their own and leaves their name out.
    std::vector<IEntidad3D*> ListedEntities(bool withCharacters) const;
    // With the frame's shortcuts: whether the entity surrounds the eye and
    // holds every other listed entity in its box (the sky). It then goes
    // after everything else, and lays no depth first: it could hide nothing.
    bool Encloses(const IEntidad3D& entity, const std::vector<IEntidad3D*>& listed) const;

    // The entities under a name (an empty list is added for a new name).
    std::vector<IEntidad3D*>& GetObjects(const std::string& name);
    // The first entity, over every name in name order, whose own name is this.
    IEntidad3D* FindEntity(const std::string& name);
    // An entity about to be freed leaves every list, so that no pass draws it.
    void ForgetObject(const IEntidad3D* entity);

    // Per frame: scene time, the lights nearest the hero, the previous camera
    // and velocity texture.
    void Update(float seconds);

    // Begins the target, sets the kept depth-stencil surface and optionally
    // clears depth; draws the debug views of physics and lights.
    void BeginTargetPass(CRenderTarget& target, bool clear);
    // The hero and the current wave's enemies into the shadow map, seen from
    // light camera 1; the map becomes the shadow texture for the lit pass.
    void RenderShadowPass(CRenderTarget& target, bool clear);
    // The shadow pass for a given list of casters.
    void RenderShadowCasters(CRenderTarget& target, bool clear, const std::vector<IEntidad3D*>& casters);
    // The characters (when marked); outside comic panels the tracers, world
    // quads and weapon pickups; then every entity of every name on the draw
    // list, culled.
    // Empties the draw list; the target's texture becomes the velocity source.
    void RenderScenePass(CRenderTarget& target, bool clear);
    // The velocity pass: the listed objects again, each smearing the scene
    // texture along its own screen motion. Empties the draw list; the target's
    // texture becomes the current velocity texture. With the frame's
    // shortcuts, the scene's depth in its texture and the camera's eye where
    // it was in the last frame, only the objects whose world matrix changed
    // since then are drawn, over the scene's depth, into a target cleared to
    // transparent black: the composite smears the rest by the camera's turn.
    // When nothing moved at all, camera included, it draws nothing.
    void RenderMotionBlurPass(CRenderTarget& target, bool clear);
    // Whether the last velocity pass drew only the moving objects.
    bool VelocityHoldsMovingOnly() const { return m_MovingOnly; }
    // The current wave's enemies and the hero, culled as characters.
    void RenderCharacters();
    // The composite over the current target with this scene texture. Given
    // the velocity texture after a pass that drew only the moving objects, it
    // lays them over the scene smeared by the camera. True when it also laid
    // the overlays (see RenderCompositeWith).
    bool RenderFinalComposite(IDirect3DTexture9* scene, const CompositeOverlays& overlays = CompositeOverlays());

    // Counted by the effect manager's culled draw; the frame render sets both
    // to 0 at the start of every frame.
    // The destroyed hangar's fire starts again when the hangar is next seen.
    void ForgetHangarFire() { m_HangarFireStarted = false; }
    int drawnCount = 0;
    int culledCount = 0;
    // The level's entities whose depth the last scene pass laid before
    // shading anything.
    int depthLaidCount = 0;
    // Those the last whole velocity pass laid first: what surrounds the eye.
    int velocityDepthLaidCount = 0;

    // For the whole velocity pass: the depth beyond which the camera's motion
    // moves no point by more than a texel (a still object lying wholly beyond
    // it is smeared from four texels), for a target of this size.
    struct ShortSmears {
        bool on = false;
        float nearest = 0.0f;
        float width = 0.0f;
        float height = 0.0f;
    };
    ShortSmears ShortSmearsFor(const CRenderTarget& target) const;
    // How far, in pixels, any point of the entity moved on screen with the
    // camera (unknown for an object that moved itself, or lies nearer).
    float SmearReach(const IEntidad3D& entity, const ShortSmears& smears) const;

private:
    // Draws every entity of every listed name but "Character" through the
    // lit pass, then empties the list.
    void DrawListedObjects(const std::vector<IEntidad3D*>& listed);
    // The props of the level now loaded, each culled with its own radius.
    void RenderProps();
    // An enemy, its weapon in its hand, or the pool it left.
    void RenderEnemy(CEnemy& enemy);
    // The weapon on the hand's "EBip01 pipa", turned by the enemy's angles.
    void RenderEnemyWeapon(CEnemy& enemy);
    void RenderWeaponModel(CRigidEntity& model);
    // True when the pass may draw: the target began. The kept depth-stencil
    // surface is set, and colour and depth cleared when asked.
    bool BeginPass(CRenderTarget& target, bool clear);
    // The landing plane's two sprays, placed from its body every frame while
    // it lands.
    void UpdateWaterSpray();
    // The velocity pass of the moving objects alone.
    void RenderMovingObjects(CRenderTarget& target);
    // Whether the composite can smear the still objects by the camera: its
    // eye stood where it stood in the last frame (it may have turned), or,
    // under depth of field, nothing of the camera changed.
    bool CameraStayedPut() const;
    // Whether the camera's motion since the last frame, however it moved,
    // is too small to show on any still object in view (the target's size
    // gives the pixels): the velocity pass may then draw only what moved, and
    // the composite smear nothing by the camera.
    bool CameraMotionUnseen(const CRenderTarget& target) const;

    std::map<std::string, std::vector<IEntidad3D*>> m_Objects;
    std::vector<std::string> m_DrawList;
    std::map<std::string, bool> m_Visibility;
    IDirect3DDevice9* m_Device = nullptr;
    IDirect3DSurface9* m_DepthStencil = nullptr;
    HRESULT m_LastResult = S_OK;
    IDirect3DTexture9* m_ShadowMapTexture = nullptr;
    bool m_ShadowCasters = false;
    // Where the casters were drawn in the map, and the light they saw.
    ShadowRect m_CasterRect;
    D3DXMATRIX m_CasterLight;
    // The shadow-map texture as a pass left it cleared with no caster (null
    // once a caster is drawn into it).
    IDirect3DTexture9* m_ClearedShadowMap = nullptr;
    IDirect3DTexture9* m_VelocitySource = nullptr;
    IDirect3DTexture9* m_PreviousVelocity = nullptr;
    IDirect3DTexture9* m_CurrentVelocity = nullptr;
    bool m_MovingOnly = false;
    // ... and found nothing moved, the camera included: it drew nothing.
    bool m_NothingMoved = false;
    // The last velocity pass counted the camera as still: it moved, but too
    // little to show.
    bool m_CameraHeldStill = false;
    float m_SceneTime = 0.0f;
    int m_LightCount = 1;
    D3DXVECTOR3 m_DefaultLightPosition{140.419f, 87.04f, 496.85f};
    CLightCamera m_Lights[4];
    bool m_WaterSprayStarted = false;
    std::shared_ptr<CParticleEmitter> m_WaterSpray[2];
    IEntidad3D* m_PlaneBody = nullptr;
    bool m_HangarFireStarted = false;
};

CSceneMngr& getSceneManager();
