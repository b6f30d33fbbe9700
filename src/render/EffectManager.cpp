#include "render/EffectManager.h"

#include <cstring>

#include "app/DebugText.h"
#include "app/Startup.h"
#include "input/InputManager.h"
#include "platform/bounded.h"
#include "platform/files.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "render/Composite.h"
#include "render/FrameShortcuts.h"
#include "render/ScreenMotion.h"
#include "render/ShadowPixels.h"
#include "render/VertexBuffers.h"
#include "scene/Camera.h"
#include "scene/Entity3D.h"
#include "scene/LightCamera.h"
#include "scene/SceneManager.h"
#include "world/Scenario.h"

const char* const kShadowMapTechnique = "BuildShadowMapTech";
const char* const kMotionBlurTechnique = "MotionBlur";
const char* const kCompositeTechnique = "pruebaTech";
const char* const kDepthPrePassTechnique = "DepthPrePassTech";
const char* const kEffectFile = "data/fx/effects4.fx";

namespace {

const char kCharacterName[] = "Character";
// Characters are culled with one radius whatever their mesh.
constexpr float kCharacterRadius = 70.0f;
// DirectInput code of T: while held, every drawn entity names itself on screen.
constexpr int kKeyShowNames = 20;

const char* const kParamNames[EFFECT_PARAM_COUNT] = {
    "world_matrix", "matWVP", "matVP", "NormalmapTexture", "LightmapTexture", "DiffuseTexture", "damageDecay",
    "RainTexture", "RainDir", "CamPitch", "CamYaw", "DirtTexture1", "DirtTexture2", "SceneTexture", "depthTexture",
    "depth_peopleTexture", "Damage1Texture", "Damage2Texture", "Damage3Texture", "damagedInfoTexture",
    "damageFront", "damageBack", "damageLeft", "damageRight", "world_time", "player_life", "damageColor",
    "apuntando", "flash", "vinyetas", "apply_dof", "viewDir", "viewPos", "lightPos", "lightDir",
    "light1_Influence", "light2Pos", "lightDir2", "light2_Influence", "light3Pos", "lightDir3", "light3_Influence",
    "light4Pos", "lightDir4", "light4_Influence", "ShadowMapTexture", "g_light_WVP_1", "matWVP_Last",
    "currVelocityTexture", "lastVelocityTexture", "ModelView", "Last_ModelView", "ModelViewProjection",
    "Last_ModelViewProjection", "", "specularFilterAmount",
};

// The order the handles are looked up in (slot 54 has no parameter).
const int kFetchOrder[] = {0,  1,  2,  3,  4,  5,  7,  8,  6,  20, 21, 23, 22, 9,  10, 11, 12, 24, 25,
                           13, 14, 15, 19, 26, 27, 28, 29, 30, 16, 17, 18, 31, 32, 33, 34, 35, 36, 37,
                           38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 55, 50, 51, 52, 53};

bool IsCharacter(IEntidad3D* entity)
{
    return entity->GetName() == kCharacterName;
}

// The number of subsets a draw of the entity goes through: a character's
// first only, every subset of anything else.
int SubsetCount(IEntidad3D* entity)
{
    if (IsCharacter(entity))
        return 1;
    IVertexBuffer* mesh = entity->GetMesh();
    return mesh ? static_cast<int>(mesh->GetSubsets().size()) : 0;
}

void SetVector3(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXVECTOR3& v)
{
    effect->SetValue(handle, &v, sizeof(D3DXVECTOR3));
}

// Light eye, normalised direction and influence into three parameters.
void SetLight(ID3DXEffect* effect, D3DXHANDLE position, D3DXHANDLE direction, D3DXHANDLE influence,
              const CLightCamera& light)
{
    D3DXVECTOR3 toTarget = light.target - light.eye;
    D3DXVECTOR3 normalised(0.0f, 0.0f, 0.0f);
    if (D3DXVec3LengthSq(&toTarget) > 0.0f)
        D3DXVec3Normalize(&normalised, &toTarget);
    SetVector3(effect, position, light.eye);
    SetVector3(effect, direction, normalised);
    effect->SetFloat(influence, light.influence);
}

// --- what the draws read from the rest of the game ----------------------------------

bool HeroIsFighting()
{
    const CControllerSelector* selector = getPlayer()->GetControllerSelector();
    return selector && selector->GetStateName() == "FIGHTING";
}

} // namespace

const char* EffectParamName(int slot)
{
    if (slot < 0 || slot >= EFFECT_PARAM_COUNT)
        return "";
    return kParamNames[slot];
}

// --- CEffectManager ----------------------------------------------------------------------

CEffectManager::CEffectManager()
{
    std::memset(&m_PreviousView, 0, sizeof m_PreviousView);
    std::memset(&m_PreviousProjection, 0, sizeof m_PreviousProjection);
    LoadFirstEffect();
}

void CEffectManager::LoadFirstEffect()
{
    // Asked for before the device exists, the effect is compiled on the first
    // request after it does, rather than failing for good.
    m_WaitingForDevice = D3DDevice == nullptr;
    if (m_WaitingForDevice)
        return;
    if (LoadEffect(kEffectFile)) {
        OutputDebugStringA("effect loaded: ");
        OutputDebugStringA(kEffectFile);
        OutputDebugStringA("\n");
    }
}

void CEffectManager::ForgetDevice()
{
    ReleaseEffect();
    m_WaitingForDevice = true;
    // The run ends with its device: the next one starts with no lightning,
    // rain drift or hit marks of this one, and no last frame's camera.
    m_Composite = CompositeState();
    std::memset(&m_PreviousView, 0, sizeof m_PreviousView);
    std::memset(&m_PreviousProjection, 0, sizeof m_PreviousProjection);
}

CEffectManager::~CEffectManager()
{
    ReleaseEffect();
}

void CEffectManager::ReleaseEffect()
{
    if (m_Effect) {
        m_Effect->Release();
        m_Effect = nullptr;
    }
    m_Technique = nullptr;
    for (D3DXHANDLE& handle : m_Params)
        handle = nullptr;
}

bool CEffectManager::LoadEffect(const char* file)
{
    m_WaitingForDevice = false;
    ReleaseEffect();
    ID3DXBuffer* errors = nullptr;
    // Without the frame's shortcuts every switch of the effect stays a branch.
    const DWORD flags = D3DXSHADER_PACKMATRIX_ROWMAJOR | (FrameShortcuts() ? DWORD(0) : DWORD(D3DXSHADER_SKIPOPTIMIZATION));
    const HRESULT hr = D3DXCreateEffectFromFileA(D3DDevice, file, nullptr, nullptr, flags, nullptr, &m_Effect, &errors);
    if (FAILED(hr) || !m_Effect) {
        if (m_Effect) {
            m_Effect->Release();
            m_Effect = nullptr;
        }
        const std::string name = file ? file : "";
        if (!errors) {
            // A file that is not there is one fault in one line, said once
            // however often the effect is asked for again, with what the
            // player will see for it.
            bounded::SayOnce("Error compiling effect: " + bounded::Echoed(name) + ": " + platform::ReadFault(name) +
                             "; the levels are drawn black without it");
        } else {
            OutputDebugStringA(("Error compiling effect: " + name + "\n").c_str());
            const char* text = static_cast<const char*>(errors->GetBufferPointer());
            const DWORD size = errors->GetBufferSize();
            if (text && size > 0 && text[0] != '\0')
                OutputDebugStringA(std::string(text, strnlen(text, size)).c_str());
            else
                OutputDebugStringA("No error message.\n");
        }
    }
    if (errors)
        errors->Release();
    if (!m_Effect)
        return false;
    FetchHandles();
    return true;
}

void CEffectManager::FetchHandles()
{
    for (D3DXHANDLE& handle : m_Params)
        handle = nullptr;
    m_ShadowCasters = nullptr;
    m_ShadowRect = nullptr;
    m_BlurMoving = nullptr;
    m_SmearShort = nullptr;
    if (!m_Effect)
        return;
    for (int slot : kFetchOrder)
        m_Params[slot] = m_Effect->GetParameterByName(nullptr, kParamNames[slot]);
    m_ShadowCasters = m_Effect->GetParameterByName(nullptr, "shadow_casters");
    m_ShadowRect = m_Effect->GetParameterByName(nullptr, "shadow_rect");
    m_BlurMoving = m_Effect->GetParameterByName(nullptr, "blur_moving");
    m_SmearShort = m_Effect->GetParameterByName(nullptr, "smear_short");
}

D3DXHANDLE CEffectManager::GetHandle(int slot) const
{
    if (slot < 0 || slot >= EFFECT_PARAM_COUNT)
        return nullptr;
    return m_Params[slot];
}

bool CEffectManager::SelectTechnique(const std::string& name)
{
    if (!m_Effect)
        return false;
    m_Technique = m_Effect->GetTechniqueByName(name.c_str());
    return m_Technique && SUCCEEDED(m_Effect->SetTechnique(m_Technique));
}

void CEffectManager::DrawSubsetPasses(IEntidad3D* entity, int subset)
{
    IVertexBuffer* mesh = entity->GetMesh();
    UINT passes = 0;
    if (!mesh || FAILED(m_Effect->Begin(&passes, 0)))
        return;
    for (UINT pass = 0; pass < passes; ++pass) {
        if (SUCCEEDED(m_Effect->BeginPass(pass))) {
            mesh->RenderSubset(subset);
            m_Effect->EndPass();
        }
    }
    m_Effect->End();
}

void CEffectManager::RenderShadowCaster(CLightCamera* light, IEntidad3D* entity)
{
    if (!light || !entity || !SelectTechnique(kShadowMapTechnique))
        return;
    const D3DXMATRIX lightWVP = entity->GetTransform().GetMatrix() * light->viewProjection;
    m_Effect->SetMatrix(m_Params[EP_LIGHT_WVP_1], &lightWVP);
    UINT passes = 0;
    if (FAILED(m_Effect->Begin(&passes, 0)))
        return;
    if (passes > 0 && SUCCEEDED(m_Effect->BeginPass(0))) {
        entity->UploadBones();
        m_Effect->CommitChanges();
        if (IVertexBuffer* mesh = entity->GetMesh())
            mesh->RenderSubset(0);
        m_Effect->EndPass();
    }
    m_Effect->End();
}

bool CEffectManager::SetLights(IEntidad3D* entity)
{
    if (!m_Effect || !entity)
        return false;
    CCamera& camera = getCamera();
    SetVector3(m_Effect, m_Params[EP_VIEW_DIR], camera.GetViewDirection());
    SetVector3(m_Effect, m_Params[EP_VIEW_POS], camera.GetPosition());

    CSceneMngr& scene = getSceneManager();
    const bool character = IsCharacter(entity);
    const CLightCamera* first = scene.GetLight(1);
    const CLightCamera* second = scene.GetLight(2);
    if (character) {
        // A character is lit by the room it stands in: its nearest light and
        // the runner-up that the same query leaves in the room.
        const CLocation& placement = entity->GetTransform();
        if (const CLightCamera* nearest = getScenario()->GetNearestLight(placement.GetPosition()))
            first = nearest;
        const CRoom* room = getScenario()->GetCurrentRoom();
        if (room && room->secondLight)
            second = room->secondLight;
    }
    SetLight(m_Effect, m_Params[EP_LIGHT_POS], m_Params[EP_LIGHT_DIR], m_Params[EP_LIGHT1_INFLUENCE], *first);
    m_Effect->SetFloat(m_Params[EP_SPECULAR_FILTER_AMOUNT], HeroIsFighting() ? 1.0f : 0.0f);
    bool taps = false;
    if (!character) {
        m_Effect->SetTexture(m_Params[EP_SHADOW_MAP_TEXTURE], scene.GetShadowMapTexture());
        // A map with no caster in it shadows nothing nearer than its far
        // plane: the shader then skips its samples. Drawn the plain way, it
        // always samples.
        // So does a map whose casters lie elsewhere than where this entity
        // reads it.
        const D3DXMATRIX lightWVP = entity->GetTransform().GetMatrix() * first->viewProjection;
        const bool shadowed = scene.ShadowMapHasCasters() &&
                              (!FrameShortcuts() || scene.ShadowMayFallOn(*entity, lightWVP, first->viewProjection));
        taps = !FrameShortcuts() || shadowed;
        m_Effect->SetBool(m_ShadowCasters, taps);
        m_Effect->SetMatrix(m_Params[EP_LIGHT_WVP_1], &lightWVP);
        constexpr float kFar = 1e30f;
        const D3DXVECTOR4 near = ShortcutOn(Shortcut::TapsNearCasters) ? scene.ShadowReadRect(first->viewProjection)
                                                                        : D3DXVECTOR4(-kFar, -kFar, kFar, kFar);
        m_Effect->SetVector(m_ShadowRect, &near);
    } else if (ShortcutOn(Shortcut::CharacterLight)) {
        // A character's vertices give no place in the light's view: every
        // tap of the map would go unread.
        m_Effect->SetBool(m_ShadowCasters, false);
    }
    SetLight(m_Effect, m_Params[EP_LIGHT2_POS], m_Params[EP_LIGHT_DIR2], m_Params[EP_LIGHT2_INFLUENCE], *second);
    return taps;
}

void CEffectManager::RenderEntitySubset(int subset, IEntidad3D* entity)
{
    if (entity)
        RenderSubsetWith(entity->GetCurrentTechnique(), subset, entity);
}

void CEffectManager::RenderSubsetWith(const std::string& technique, int subset, IEntidad3D* entity)
{
    if (!SelectTechnique(technique))
        return;
    CCamera& camera = getCamera();
    const D3DXMATRIX& world = entity->GetTransform().GetMatrix();
    const D3DXMATRIX viewProjection = camera.GetViewMatrix() * camera.GetProjectionMatrix();
    const D3DXMATRIX wvp = world * viewProjection;
    m_Effect->SetMatrix(m_Params[EP_WORLD_MATRIX], &world);
    m_Effect->SetMatrix(m_Params[EP_VP], &viewProjection);
    m_Effect->SetMatrix(m_Params[EP_WVP], &wvp);
    const bool taps = SetLights(entity);
    m_Effect->SetTexture(m_Params[EP_NORMALMAP_TEXTURE], entity->GetTexture(2));
    m_Effect->SetTexture(m_Params[EP_LIGHTMAP_TEXTURE], entity->GetTexture(1));
    m_Effect->SetTexture(m_Params[EP_DIFFUSE_TEXTURE], entity->GetTexture(0));
    entity->UploadBones();
    if (taps && ShortcutOn(Shortcut::ShadowPixels))
        DrawShadowedSubset(entity, subset);
    else
        DrawSubsetPasses(entity, subset);
}

void CEffectManager::DrawShadowedSubset(IEntidad3D* entity, int subset)
{
    D3DVIEWPORT9 viewport{};
    PixelRect taps;
    const CLightCamera* light = getSceneManager().GetLight(1);
    if (FAILED(D3DDevice->GetViewport(&viewport)) ||
        !getSceneManager().ShadowPixels(*entity, light->viewProjection, static_cast<int>(viewport.Width),
                                        static_cast<int>(viewport.Height), taps)) {
        DrawSubsetPasses(entity, subset);
        return;
    }
    const int width = static_cast<int>(viewport.Width), height = static_cast<int>(viewport.Height);
    if (taps.Empty()) {
        m_Effect->SetBool(m_ShadowCasters, FALSE);
        DrawSubsetPasses(entity, subset);
        return;
    }
    if (taps.left == 0 && taps.top == 0 && taps.right == width && taps.bottom == height) {
        DrawSubsetPasses(entity, subset);
        return;
    }
    // The same triangles in parts of the target, each part drawn as the whole
    // would draw it there: the taps' variant where they can change the light,
    // the one without them around it.
    DWORD scissorWas = FALSE;
    RECT rectWas{};
    D3DDevice->GetRenderState(D3DRS_SCISSORTESTENABLE, &scissorWas);
    D3DDevice->GetScissorRect(&rectWas);
    D3DDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    auto drawWithin = [&](const PixelRect& part) {
        const RECT rect{static_cast<LONG>(viewport.X) + part.left, static_cast<LONG>(viewport.Y) + part.top,
                        static_cast<LONG>(viewport.X) + part.right, static_cast<LONG>(viewport.Y) + part.bottom};
        D3DDevice->SetScissorRect(&rect);
        DrawSubsetPasses(entity, subset);
    };
    drawWithin(taps);
    m_Effect->SetBool(m_ShadowCasters, FALSE);
    PixelRect around[4];
    const int parts = PixelsAround(taps, width, height, around);
    for (int part = 0; part < parts; ++part)
        drawWithin(around[part]);
    D3DDevice->SetScissorRect(&rectWas);
    D3DDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, scissorWas);
}

bool CEffectManager::IsEntityVisible(IEntidad3D* entity, bool character)
{
    if (!entity)
        return false;
    const D3DXMATRIX& world = entity->GetTransform().GetMatrix();
    const float radius = character ? kCharacterRadius : entity->GetRadius();
    return getCamera().SphereInFrustum(world._41, world._42, world._43, radius) >= 0;
}

bool CEffectManager::CullAndDraw(const std::string& technique, IEntidad3D* entity)
{
    if (!entity)
        return false;
    const bool character = IsCharacter(entity);
    CSceneMngr& scene = getSceneManager();
    if (!character && !entity->IsVisible())
        return false;
    if (!IsEntityVisible(entity, character)) {
        ++scene.culledCount;
        return false;
    }
    const std::string chosen = technique.empty() ? entity->GetCurrentTechnique() : technique;
    const int subsets = SubsetCount(entity);
    for (int subset = 0; subset < subsets; ++subset)
        RenderSubsetWith(chosen, subset, entity);
    ++scene.drawnCount;
    if (getInputManager()->GetKeyboardState().IsKeyDown(kKeyShowNames))
        getDebugText().AddLine(entity->GetName());
    return true;
}

bool CEffectManager::RenderDepth(IEntidad3D* entity)
{
    // Only looks that write their depth and blend nothing: the depth laid
    // here must be the very one their own draw leaves.
    if (!entity || IsCharacter(entity) || !entity->IsVisible() || !IsEntityVisible(entity, false))
        return false;
    const std::string look = entity->GetCurrentTechnique();
    if ((look != "PhongLightingTech" && look != "basicTech") || !SelectTechnique(kDepthPrePassTechnique))
        return false;
    CCamera& camera = getCamera();
    const D3DXMATRIX wvp = entity->GetTransform().GetMatrix() * (camera.GetViewMatrix() * camera.GetProjectionMatrix());
    m_Effect->SetMatrix(m_Params[EP_WVP], &wvp);
    const int subsets = SubsetCount(entity);
    for (int subset = 0; subset < subsets; ++subset)
        DrawSubsetPasses(entity, subset);
    return true;
}

bool CEffectManager::RenderEntity(IEntidad3D* entity)
{
    return CullAndDraw(std::string(), entity);
}

bool CEffectManager::RenderEntity(const std::string& technique, IEntidad3D* entity)
{
    return CullAndDraw(technique, entity);
}

void CEffectManager::RenderMotionBlurSubset(const std::string& technique, IEntidad3D* entity, int subset,
                                            IDirect3DTexture9* scene, float reach)
{
    if (!entity || !SelectTechnique(technique))
        return;
    CCamera& camera = getCamera();
    const D3DXMATRIX& world = entity->GetTransform().GetMatrix();
    const D3DXMATRIX modelView = world * camera.GetViewMatrix();
    const D3DXMATRIX lastModelView = entity->GetPreviousWorld() * m_PreviousView;
    // Multiplied as the lit pass multiplies it, so that the object lands on
    // the very depth it left in the scene.
    const D3DXMATRIX modelViewProjection = world * (camera.GetViewMatrix() * camera.GetProjectionMatrix());
    const D3DXMATRIX lastModelViewProjection = lastModelView * m_PreviousProjection;
    m_Effect->SetMatrix(m_Params[EP_MODEL_VIEW], &modelView);
    m_Effect->SetMatrix(m_Params[EP_LAST_MODEL_VIEW], &lastModelView);
    m_Effect->SetMatrix(m_Params[EP_MODEL_VIEW_PROJECTION], &modelViewProjection);
    m_Effect->SetMatrix(m_Params[EP_LAST_MODEL_VIEW_PROJECTION], &lastModelViewProjection);
    // Unmoved on screen, the shader need not smear: it reads one texel
    // where it would read the same one eight times.
    const bool moved = std::memcmp(&modelViewProjection, &lastModelViewProjection, sizeof(D3DXMATRIX)) != 0;
    const bool shortcuts = FrameShortcuts();
    m_Effect->SetBool(m_BlurMoving, !shortcuts || (moved && !(reach <= kUnseenMotionPixels)));
    m_Effect->SetBool(m_SmearShort, shortcuts && reach <= 1.0f);
    m_Effect->SetTexture(m_Params[EP_SCENE_TEXTURE], scene);
    entity->UploadBones();
    DrawSubsetPasses(entity, subset);
}

void CEffectManager::RenderMotionBlur(IEntidad3D* entity, IDirect3DTexture9* scene, float reach)
{
    if (!entity)
        return;
    const int subsets = SubsetCount(entity);
    for (int subset = 0; subset < subsets; ++subset)
        RenderMotionBlurSubset(kMotionBlurTechnique, entity, subset, scene, reach);
}

void CEffectManager::StorePreviousCamera()
{
    CCamera& camera = getCamera();
    m_PreviousView = camera.GetViewMatrix();
    m_PreviousProjection = camera.GetProjectionMatrix();
}

void CEffectManager::RenderComposite(IDirect3DTexture9* scene, IDirect3DTexture9* currentVelocity,
                                     IDirect3DTexture9* previousVelocity, float unused)
{
    RenderCompositeWith(*this, scene, currentVelocity, previousVelocity, GatherCompositeInputs());
}

CEffectManager& getEffectManager()
{
    static CEffectManager manager;
    if (manager.IsWaitingForDevice() && D3DDevice)
        manager.LoadFirstEffect();
    return manager;
}
