// The one effect of the game ("data/fx/effects4.fx"): its parameter handles,
// fetched by name after every compile, and the draws that run a technique
// over an entity - shadow casters, lit entities with culling, the motion-blur
// velocity pass and the final full-screen composite.
#pragma once

#include <string>

#include "platform/d3d9.h"
#include "platform/d3dx9effect.h"
#include "platform/d3dx9math.h"
#include "render/Composite.h"

class CLightCamera;
class IEntidad3D;

// Slots of the parameter table, in the effect's own order.
enum EffectParam {
    EP_WORLD_MATRIX = 0,
    EP_WVP,
    EP_VP,
    EP_NORMALMAP_TEXTURE,
    EP_LIGHTMAP_TEXTURE,
    EP_DIFFUSE_TEXTURE,
    EP_DAMAGE_DECAY,
    EP_RAIN_TEXTURE,
    EP_RAIN_DIR,
    EP_CAM_PITCH,
    EP_CAM_YAW,
    EP_DIRT_TEXTURE1,
    EP_DIRT_TEXTURE2,
    EP_SCENE_TEXTURE,
    EP_DEPTH_TEXTURE,
    EP_DEPTH_PEOPLE_TEXTURE,
    EP_DAMAGE1_TEXTURE,
    EP_DAMAGE2_TEXTURE,
    EP_DAMAGE3_TEXTURE,
    EP_DAMAGED_INFO_TEXTURE,
    EP_DAMAGE_FRONT,
    EP_DAMAGE_BACK,
    EP_DAMAGE_LEFT,
    EP_DAMAGE_RIGHT,
    EP_WORLD_TIME,
    EP_PLAYER_LIFE,
    EP_DAMAGE_COLOR,
    EP_APUNTANDO,
    EP_FLASH,
    EP_VINYETAS,
    EP_APPLY_DOF,
    EP_VIEW_DIR,
    EP_VIEW_POS,
    EP_LIGHT_POS,
    EP_LIGHT_DIR,
    EP_LIGHT1_INFLUENCE,
    EP_LIGHT2_POS,
    EP_LIGHT_DIR2,
    EP_LIGHT2_INFLUENCE,
    EP_LIGHT3_POS,
    EP_LIGHT_DIR3,
    EP_LIGHT3_INFLUENCE,
    EP_LIGHT4_POS,
    EP_LIGHT_DIR4,
    EP_LIGHT4_INFLUENCE,
    EP_SHADOW_MAP_TEXTURE,
    EP_LIGHT_WVP_1,
    EP_WVP_LAST,
    EP_CURR_VELOCITY_TEXTURE,
    EP_LAST_VELOCITY_TEXTURE,
    EP_MODEL_VIEW,
    EP_LAST_MODEL_VIEW,
    EP_MODEL_VIEW_PROJECTION,
    EP_LAST_MODEL_VIEW_PROJECTION,
    EP_UNUSED_54, // has no parameter
    EP_SPECULAR_FILTER_AMOUNT,
    EFFECT_PARAM_COUNT
};

// The effect's name for a slot ("" for the slot without one).
const char* EffectParamName(int slot);

// Technique names the code selects by name (entities bring their own from
// "data/XML/techniques.xml").
extern const char* const kShadowMapTechnique;  // "BuildShadowMapTech"
extern const char* const kMotionBlurTechnique; // "MotionBlur"
extern const char* const kCompositeTechnique;  // "pruebaTech"
extern const char* const kDepthPrePassTechnique; // "DepthPrePassTech"
// The one effect file the game draws with.
extern const char* const kEffectFile; // "data/fx/effects4.fx"

class CEffectManager {
public:
    // Compiles "data/fx/effects4.fx" ("effect loaded: " and the name on the
    // debug output when it compiles).
    CEffectManager();
    ~CEffectManager();
    CEffectManager(const CEffectManager&) = delete;
    CEffectManager& operator=(const CEffectManager&) = delete;

    // Drops the current effect and compiles the file on the game's device.
    // True on success, with every handle fetched again. On failure there is
    // no effect (every draw does nothing until a later load succeeds) and the
    // debug output gets "Error compiling effect: " with the file and the
    // compiler's text; the result is false. The last camera matrices and the
    // composite's state survive a reload.
    bool LoadEffect(const char* file);
    // Looks every table name up again (a name the effect lacks gives null).
    void FetchHandles();
    // The first compile of "data/fx/effects4.fx"; made before the game's
    // device exists, it waits for the device instead (getEffectManager runs
    // it as soon as there is one).
    void LoadFirstEffect();
    bool IsWaitingForDevice() const { return m_WaitingForDevice; }
    // The device is going, and the run with it: its effect goes, and the
    // next device gets the first compile again as soon as it exists. The
    // composite's state and the last camera matrices start afresh.
    void ForgetDevice();

    ID3DXEffect* GetEffect() const { return m_Effect; }
    D3DXHANDLE GetHandle(int slot) const;
    // The technique handle of the last draw (null when it was missing).
    D3DXHANDLE GetLastTechnique() const { return m_Technique; }

    // The entity into the shadow map as light sees it ("BuildShadowMapTech",
    // subset 0, bones uploaded).
    void RenderShadowCaster(CLightCamera* light, IEntidad3D* entity);
    // Camera, lights, specular filter and - for anything but a character -
    // the shadow map, for one entity. True when its draw reads the map's taps.
    bool SetLights(IEntidad3D* entity);
    // One subset with the entity's technique for its current pass, lit.
    void RenderEntitySubset(int subset, IEntidad3D* entity);
    // Culls against the camera's frustum (characters with radius 70, others
    // with their own radius and only while shown), then draws every subset
    // (subset 0 of a character). True when drawn; the scene manager counts
    // drawn and culled entities.
    bool RenderEntity(IEntidad3D* entity);
    // The same with a technique chosen by the caller ("" keeps the entity's own).
    bool RenderEntity(const std::string& technique, IEntidad3D* entity);
    // The entity's depth alone ("DepthPrePassTech", every subset) when it is
    // drawn with one of the opaque looks of the level ("PhongLightingTech",
    // "basicTech") and passes RenderEntity's culling. True when drawn.
    bool RenderDepth(IEntidad3D* entity);
    // The frustum test alone.
    bool IsEntityVisible(IEntidad3D* entity, bool character);

    // The velocity pass for one subset: the entity drawn with the technique,
    // reading the scene from `scene`, with its motion since the last frame.
    // `reach` bounds how far, in pixels, any point of it moved on screen
    // (infinite: unknown): within a 255th of a texel's worth of smear it is
    // not smeared, within a texel it is smeared from the four texels its
    // taps fall between.
    void RenderMotionBlurSubset(const std::string& technique, IEntidad3D* entity, int subset,
                                IDirect3DTexture9* scene, float reach = kUnknownReach);
    // Every subset (subset 0 of a character) with "MotionBlur".
    void RenderMotionBlur(IEntidad3D* entity, IDirect3DTexture9* scene, float reach = kUnknownReach);
    static constexpr float kUnknownReach = 1e30f;
    // Keeps the camera's view and projection as the last frame's; the scene
    // update calls it before the camera moves.
    void StorePreviousCamera();
    const D3DXMATRIX& GetPreviousView() const { return m_PreviousView; }
    const D3DXMATRIX& GetPreviousProjection() const { return m_PreviousProjection; }

    // The final full-screen pass ("pruebaTech") over the current target. The
    // float is not used.
    void RenderComposite(IDirect3DTexture9* scene, IDirect3DTexture9* currentVelocity,
                         IDirect3DTexture9* previousVelocity, float unused);

    CompositeState& GetCompositeState() { return m_Composite; }
    // The technique by name for a draw of the composite's or another pass's
    // own; false (and nothing to draw) when the effect or it is missing.
    bool SelectTechnique(const std::string& name);

private:
    void DrawSubsetPasses(IEntidad3D* entity, int subset);
    // A lit draw that reads the shadow map: with the frame's shortcuts, the
    // taps only within the pixels where they can change the light.
    void DrawShadowedSubset(IEntidad3D* entity, int subset);
    void RenderSubsetWith(const std::string& technique, int subset, IEntidad3D* entity);
    bool CullAndDraw(const std::string& technique, IEntidad3D* entity);
    void ReleaseEffect();

    ID3DXEffect* m_Effect = nullptr;
    D3DXHANDLE m_Technique = nullptr;
    D3DXHANDLE m_Params[EFFECT_PARAM_COUNT] = {};
    // Not in the table: whether the shadow map holds a caster (see SetLights).
    D3DXHANDLE m_ShadowCasters = nullptr;
    // Where the map's casters can be read (see CSceneMngr::ShadowReadRect).
    D3DXHANDLE m_ShadowRect = nullptr;
    // Whether the entity of a velocity pass moved on screen since the last frame.
    D3DXHANDLE m_BlurMoving = nullptr;
    D3DXHANDLE m_SmearShort = nullptr;
    D3DXMATRIX m_PreviousView;
    D3DXMATRIX m_PreviousProjection;
    CompositeState m_Composite;
    bool m_WaitingForDevice = false;
};

CEffectManager& getEffectManager();
