#include "scene/SceneManager.h"

#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "math/VectorMath.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "render/VertexBuffers.h"
#include "scene/CharacterEntity.h"
#include "player/ProjectileManager.h"
#include "player/WeaponPickups.h"
#include "render/DrawHelper.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "render/RenderTarget.h"
#include "render/ScreenMotion.h"
#include "scene/Camera.h"
#include "scene/Entity3D.h"
#include "scene/RigidEntity.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// How far the eye may move between frames (world units) and still count as
// turning on the spot for the velocity pass.
constexpr float kStillCameraTravel = 0.01f;

const char kCharacters[] = "Character";
// 1/60 s per update, whatever the frame step: the composite's animated
// overlays run on this clock.
constexpr float kSceneTimeStep = 0.01666666753590107f;

const D3DXMATRIX kIdentity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

// The squared distance from the eye to the entity's centre, or none (the
// largest float) for an entity whose bounds hold the eye: the sky, the sea,
// the floor under the camera.
float DistanceFromEyeSq(const IEntidad3D& entity, const D3DXVECTOR3& eye)
{
    const D3DXMATRIX& world = entity.GetTransform().GetMatrix();
    const D3DXVECTOR3 toEye(world._41 - eye.x, world._42 - eye.y, world._43 - eye.z);
    const float distanceSq = D3DXVec3Dot(&toEye, &toEye);
    const float radius = entity.GetRadius();
    return distanceSq > radius * radius ? distanceSq : std::numeric_limits<float>::max();
}

// The box round the entity's mesh, placed in the world; false without one.
bool WorldBox(const IEntidad3D& entity, D3DXVECTOR3& low, D3DXVECTOR3& high)
{
    const IVertexBuffer* mesh = entity.GetMesh();
    D3DXVECTOR3 a, b;
    if (!mesh || !mesh->GetPositionBounds(a, b))
        return false;
    const D3DXMATRIX& world = entity.GetTransform().GetMatrix();
    for (int corner = 0; corner < 8; ++corner) {
        const D3DXVECTOR3 p(corner & 1 ? b.x : a.x, corner & 2 ? b.y : a.y, corner & 4 ? b.z : a.z);
        const D3DXVECTOR3 q(p.x * world._11 + p.y * world._21 + p.z * world._31 + world._41,
                            p.x * world._12 + p.y * world._22 + p.z * world._32 + world._42,
                            p.x * world._13 + p.y * world._23 + p.z * world._33 + world._43);
        low = corner == 0 ? q : D3DXVECTOR3(std::min(low.x, q.x), std::min(low.y, q.y), std::min(low.z, q.z));
        high = corner == 0 ? q : D3DXVECTOR3(std::max(high.x, q.x), std::max(high.y, q.y), std::max(high.z, q.z));
    }
    return true;
}

// Whether the entity surrounds the eye and its box holds the box of every
// other listed entity: the sky. Nothing of the level lies behind it, so its
// depth laid first would hide nothing, and shaded last it covers only what
// nothing else covered.
bool EnclosesTheRest(const IEntidad3D& outer, const std::vector<IEntidad3D*>& listed, const D3DXVECTOR3& eye)
{
    D3DXVECTOR3 low, high;
    if (!WorldBox(outer, low, high))
        return false;
    auto holds = [&](const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
        return a.x >= low.x && a.y >= low.y && a.z >= low.z && b.x <= high.x && b.y <= high.y && b.z <= high.z;
    };
    if (!holds(eye, eye))
        return false;
    for (const IEntidad3D* entity : listed) {
        D3DXVECTOR3 a, b;
        if (entity && entity != &outer && (!WorldBox(*entity, a, b) || !holds(a, b)))
            return false;
    }
    return true;
}

// --- what the passes read from the hero and the enemies ------------------------------

// The hero's drawable entity; null until the hero carries one.
IEntidad3D* HeroEntity()
{
    return getPlayer()->GetEntity();
}

// Where the hero stands (the lights nearest him light the scene).
D3DXVECTOR3 HeroPosition()
{
    return getPlayer()->GetPosition().GetPosition();
}

// The entities of the current wave's enemies that are still in play, in the
// wave's order.
std::vector<IEntidad3D*> LiveWaveEnemyEntities()
{
    std::vector<IEntidad3D*> entities;
    for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
        CEnemy* enemy = entry.second;
        CCharacterEntity* entity = enemy->GetEntity();
        if (entity && entity->IsVisible() && !enemy->getIA()->IsDestroyed())
            entities.push_back(entity);
    }
    return entities;
}

} // namespace

CSceneMngr::CSceneMngr() = default;

CSceneMngr::~CSceneMngr()
{
    // The kept surface belongs to a device that may be gone by now: forget it.
    m_DepthStencil = nullptr;
}

void CSceneMngr::CreateLights(IDirect3DDevice9* device, const CLightCamera& light)
{
    m_Device = device;
    for (CLightCamera& camera : m_Lights)
        camera = CLightCamera();
    m_LightCount = 1;
    m_DefaultLightPosition = D3DXVECTOR3(140.419f, 87.04f, 496.85f);
    m_WaterSprayStarted = false;
    m_HangarFireStarted = false;
    // Textures of an earlier device went with it.
    m_ShadowMapTexture = nullptr;
    m_ShadowCasters = false;
    m_ClearedShadowMap = nullptr;
    m_VelocitySource = nullptr;
    m_CurrentVelocity = nullptr;
    m_PreviousVelocity = m_CurrentVelocity;
}

CLightCamera* CSceneMngr::GetLight(int i)
{
    if (i >= 2 && i <= 4)
        return &m_Lights[i - 1];
    return &m_Lights[0];
}

void CSceneMngr::SaveDepthStencil()
{
    ReleaseDepthStencil();
    if (m_Device)
        m_LastResult = m_Device->GetDepthStencilSurface(&m_DepthStencil);
}

void CSceneMngr::ReleaseDepthStencil()
{
    if (m_DepthStencil) {
        m_DepthStencil->Release();
        m_DepthStencil = nullptr;
    }
}

void CSceneMngr::Setup()
{
    m_Objects.clear();
    // Names handed over before a restart belong to the level as it was.
    m_DrawList.clear();
    for (IEntidad3D* entity : getScenario()->GetRoomObjects()) {
        if (entity)
            m_Objects[entity->GetName()].push_back(entity);
    }
    // The hero is drawn from the start; the enemy manager's list joins him.
    SetCharacterList({});
    // The particles were reset with the level: the scene's effects start anew.
    m_WaterSprayStarted = false;
    m_HangarFireStarted = false;
    for (auto& spray : m_WaterSpray)
        spray.reset();
    m_PlaneBody = nullptr;
}

void CSceneMngr::SetCharacterList(std::vector<IEntidad3D*> characters)
{
    if (IEntidad3D* hero = HeroEntity())
        characters.push_back(hero);
    m_Objects[kCharacters] = characters;
}

void CSceneMngr::ForgetObject(const IEntidad3D* entity)
{
    for (auto& named : m_Objects)
        named.second.erase(std::remove(named.second.begin(), named.second.end(), entity), named.second.end());
}

void CSceneMngr::AddObject(const std::string& name, IEntidad3D* entity)
{
    m_Objects[name].push_back(entity);
}

void CSceneMngr::AddVisible(const std::string& name)
{
    m_Visibility[name] = true;
    m_DrawList.push_back(name);
}

void CSceneMngr::SetVisible(const std::string& name, bool visible)
{
    m_Visibility[name] = visible;
    if (visible)
        m_DrawList.push_back(name);
}

bool CSceneMngr::IsVisible(const std::string& name) const
{
    auto found = m_Visibility.find(name);
    return found != m_Visibility.end() && found->second;
}

std::vector<IEntidad3D*>& CSceneMngr::GetObjects(const std::string& name)
{
    return m_Objects[name];
}

IEntidad3D* CSceneMngr::FindEntity(const std::string& name)
{
    for (auto& entry : m_Objects) {
        for (IEntidad3D* entity : entry.second) {
            if (entity && entity->GetName() == name)
                return entity;
        }
    }
    return nullptr;
}

void CSceneMngr::Update(float seconds)
{
    m_SceneTime += kSceneTimeStep;
    getScenario()->GetTwoNearestLights(HeroPosition(), &m_Lights[0], &m_Lights[1], &m_Lights[2], &m_Lights[3]);
    m_PreviousVelocity = m_CurrentVelocity;
    getEffectManager().StorePreviousCamera();
    UpdateWaterSpray();
    if (!getGSF().pierIntact && !m_HangarFireStarted) {
        getParticleManager().SpawnFires();
        m_HangarFireStarted = true;
    }
}

void CSceneMngr::UpdateWaterSpray()
{
    CParticleManager& particles = getParticleManager();
    if (!getGSF().isRigidasHangaresLlegadaAvion()) {
        if (m_WaterSprayStarted) {
            m_WaterSprayStarted = false;
            for (auto& spray : m_WaterSpray) {
                particles.RemoveEmitter(spray.get());
                spray.reset();
            }
        }
        return;
    }
    if (!m_WaterSprayStarted) {
        auto bodies = m_Objects.find("AVION_NUEVO_CUERPO");
        m_PlaneBody = bodies != m_Objects.end() && !bodies->second.empty() ? bodies->second.front() : nullptr;
        if (!m_PlaneBody)
            return;
        // Both wait the plane's eight seconds to touch the water.
        const ParticleSystemType* type = getParticleTypes().FindSystemType("agua_aterrizaje_spray");
        for (auto& spray : m_WaterSpray)
            spray = particles.CreateEmitterDelayed(type, 0, 0, 0, 0, 0, 0, 8.0f);
        m_WaterSprayStarted = true;
    }
    const D3DXMATRIX& world = m_PlaneBody->GetTransform().GetMatrix();
    const float yaw = YawFromDirection(D3DXVECTOR3(world._31, world._32, world._33));
    const D3DXVECTOR3 forward = DirectionFromYaw(yaw), side = DirectionFromYaw(yaw + 1.5707964f);
    const D3DXVECTOR3 base = D3DXVECTOR3(world._41, world._42, world._43) + D3DXVECTOR3(0, -100, 0) + 50.0f * forward;
    const D3DXVECTOR3 points[2] = {base - 60.0f * side, base + 60.0f * side};
    for (int i = 0; i < 2; ++i) {
        if (m_WaterSpray[i])
            m_WaterSpray[i]->SetPosition(points[i].x, points[i].y, points[i].z);
    }
}

bool CSceneMngr::BeginPass(CRenderTarget& target, bool clear)
{
    if (!target.Begin())
        return false;
    if (m_Device) {
        m_Device->SetDepthStencilSurface(m_DepthStencil);
        // Without a depth surface there is no depth to clear (and asking is an error).
        const DWORD depth = m_DepthStencil ? DWORD{D3DCLEAR_ZBUFFER} : DWORD{0};
        if (clear)
            m_LastResult = m_Device->Clear(0, nullptr, D3DCLEAR_TARGET | depth, 0xFF000000, 1.0f, 0);
    }
    return true;
}

void CSceneMngr::BeginTargetPass(CRenderTarget& target, bool clear)
{
    if (!target.Begin())
        return;
    if (m_Device) {
        m_Device->SetDepthStencilSurface(m_DepthStencil);
        if (clear && m_DepthStencil)
            m_LastResult = m_Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        m_Device->SetTransform(D3DTS_WORLD, &kIdentity);
    }
    getCollisionManager().DebugDrawWorld(0.0f);
    m_Lights[0].DrawFrustum();
    m_Lights[1].DrawFrustum();
    target.End();
}

void CSceneMngr::RenderShadowPass(CRenderTarget& target, bool clear)
{
    std::vector<IEntidad3D*> casters;
    if (IEntidad3D* hero = HeroEntity())
        casters.push_back(hero);
    for (IEntidad3D* enemy : LiveWaveEnemyEntities())
        casters.push_back(enemy);
    RenderShadowCasters(target, clear, casters);
}

void CSceneMngr::RenderShadowCasters(CRenderTarget& target, bool clear, const std::vector<IEntidad3D*>& casters)
{
    // The casters see the light as it stood when the pass began; where each
    // can draw into the map is known before it is drawn.
    const CLightCamera light = m_Lights[0];
    std::vector<std::pair<IEntidad3D*, ShadowRect>> drawn;
    std::vector<float> bones;
    for (IEntidad3D* caster : casters) {
        if (!caster)
            continue;
        const D3DXMATRIX lightWVP = caster->GetTransform().GetMatrix() * light.viewProjection;
        bones.clear();
        if (auto* character = dynamic_cast<CCharacterEntity*>(caster))
            character->BuildBoneRows(bones);
        const ShadowRect rect = CasterShadowRect(*caster, bones, lightWVP);
        // Wholly beside the map, a caster leaves no texel in it.
        if (ShortcutOn(Shortcut::CasterReach) && !rect.MayCoverMap())
            continue;
        drawn.emplace_back(caster, rect);
    }
    const bool drawsCasters = !drawn.empty();
    // Clearing a map that the last pass cleared and left empty changes
    // nothing: its depth is cleared again by the scene pass that follows.
    const bool alreadyClear = FrameShortcuts() && clear && !drawsCasters && target.texture &&
                              target.texture == m_ClearedShadowMap;
    if (!alreadyClear && BeginPass(target, clear)) {
        // A target that did not begin keeps whatever it held.
        // What an earlier pass left in a map not cleared lies anywhere.
        if (clear || !m_ShadowCasters)
            m_CasterRect = ShadowRect();
        else
            m_CasterRect.whole = true;
        m_ShadowCasters = drawsCasters || (!clear && m_ShadowCasters);
        m_ClearedShadowMap = m_ShadowCasters ? nullptr : clear ? target.texture : m_ClearedShadowMap;
        m_CasterLight = light.viewProjection;
        CLightCamera drawingLight = light;
        CEffectManager& effects = getEffectManager();
        for (const auto& caster : drawn) {
            effects.RenderShadowCaster(&drawingLight, caster.first);
            m_CasterRect.Add(caster.second);
        }
        target.End();
    }
    m_ShadowMapTexture = target.texture;
    m_Visibility[kCharacters] = false;
}

bool CSceneMngr::ShadowMayFallOn(const IEntidad3D& receiver, const D3DXMATRIX& lightWorldViewProjection,
                                 const D3DXMATRIX& lightViewProjection) const
{
    if (!m_ShadowCasters)
        return false;
    if (std::memcmp(&lightViewProjection, &m_CasterLight, sizeof(D3DXMATRIX)) != 0 || !m_ShadowMapTexture)
        return true;
    D3DSURFACE_DESC desc{};
    if (FAILED(m_ShadowMapTexture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return true;
    return ReceiverShadowRect(receiver, lightWorldViewProjection)
        .MayRead(m_CasterRect, ShadowReadMargin(desc.Width, desc.Height));
}

D3DXVECTOR4 CSceneMngr::ShadowReadRect(const D3DXMATRIX& lightViewProjection) const
{
    constexpr float kFar = 1e30f;
    const D3DXVECTOR4 anywhere(-kFar, -kFar, kFar, kFar);
    D3DSURFACE_DESC desc{};
    if (!m_ShadowCasters || m_CasterRect.whole || m_CasterRect.empty || !m_ShadowMapTexture ||
        std::memcmp(&lightViewProjection, &m_CasterLight, sizeof(D3DXMATRIX)) != 0 ||
        FAILED(m_ShadowMapTexture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return anywhere;
    // Only texels of the map were drawn; a read outside it is clamped onto
    // its border, so the border's reach runs on to the far side.
    const float margin = ShadowReadMargin(desc.Width, desc.Height);
    auto side = [&](float drawn, float sign) {
        const float edge = std::min(std::max(drawn, 0.0f), 1.0f) + sign * margin;
        return sign < 0.0f ? (edge <= 0.0f ? -kFar : edge) : (edge >= 1.0f ? kFar : edge);
    };
    return D3DXVECTOR4(side(m_CasterRect.left, -1.0f), side(m_CasterRect.top, -1.0f), side(m_CasterRect.right, 1.0f),
                       side(m_CasterRect.bottom, 1.0f));
}

bool CSceneMngr::Encloses(const IEntidad3D& entity, const std::vector<IEntidad3D*>& listed) const
{
    const D3DXVECTOR3 eye = getCamera().GetPosition();
    return ShortcutOn(Shortcut::EnclosingLast) && DistanceFromEyeSq(entity, eye) == std::numeric_limits<float>::max() &&
           EnclosesTheRest(entity, listed, eye);
}

bool CSceneMngr::ShadowPixels(const IEntidad3D& receiver, const D3DXMATRIX& lightViewProjection, int width,
                              int height, PixelRect& pixels) const
{
    if (!m_ShadowCasters || m_CasterRect.whole || m_CasterRect.empty ||
        std::memcmp(&lightViewProjection, &m_CasterLight, sizeof(D3DXMATRIX)) != 0)
        return false;
    ShadowVolume volume;
    volume.lightViewProjection = lightViewProjection;
    if (ShortcutOn(Shortcut::TapsNearCasters)) {
        const D3DXVECTOR4 read = ShadowReadRect(lightViewProjection);
        volume.left = read.x;
        volume.top = read.y;
        volume.right = read.z;
        volume.bottom = read.w;
    }
    volume.nearestCaster = m_CasterRect.nearest;
    const CCamera& camera = getCamera();
    return ShadowPixelsOf(receiver, volume, camera.GetViewMatrix() * camera.GetProjectionMatrix(), width, height,
                          pixels);
}

std::vector<IEntidad3D*> CSceneMngr::ListedEntities(bool withCharacters) const
{
    std::vector<IEntidad3D*> entities;
    for (const std::string& name : m_DrawList) {
        if (!withCharacters && name == kCharacters)
            continue;
        auto found = m_Objects.find(name);
        if (found != m_Objects.end())
            entities.insert(entities.end(), found->second.begin(), found->second.end());
    }
    if (!FrameShortcuts())
        return entities;
    // Opaque objects near to far, so that hidden surfaces fail the depth test
    // before they are shaded. What surrounds the eye (the sky, the sea, a
    // floor under the camera) has no distance that orders it: it goes last,
    // where everything in front of it already hides what it would cover.
    // Equal keys keep list order, so an entity listed twice is drawn in the
    // same sequence as before.
    const D3DXVECTOR3 eye = getCamera().GetPosition();
    struct Keyed {
        float key;
        IEntidad3D* entity;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entities.size());
    for (IEntidad3D* entity : entities)
        keyed.push_back({entity ? DistanceFromEyeSq(*entity, eye) : std::numeric_limits<float>::max(), entity});
    // What holds everything else (the sky) after everything else.
    for (Keyed& k : keyed)
        if (k.entity && k.key == std::numeric_limits<float>::max() && Encloses(*k.entity, entities))
            k.key = std::numeric_limits<float>::infinity();
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    for (size_t i = 0; i < keyed.size(); ++i)
        entities[i] = keyed[i].entity;
    return entities;
}

void CSceneMngr::DrawListedObjects(const std::vector<IEntidad3D*>& listed)
{
    CEffectManager& effects = getEffectManager();
    for (IEntidad3D* entity : listed)
        effects.RenderEntity(entity);
    m_DrawList.clear();
}

void CSceneMngr::RenderScenePass(CRenderTarget& target, bool clear)
{
    if (!BeginPass(target, clear)) {
        // Nothing to draw into: the names of this pass are used up all the same.
        m_DrawList.clear();
        return;
    }
    const std::vector<IEntidad3D*> listed = ListedEntities(false);
    // The level's depth first: every lit fragment behind it then fails the
    // depth test before it is shaded. Whatever is drawn before the level
    // ends the same: hidden, it was drawn over by the level before.
    depthLaidCount = 0;
    if (ShortcutOn(Shortcut::DepthPrePass) && m_DepthStencil) {
        CEffectManager& effects = getEffectManager();
        for (IEntidad3D* entity : listed)
            if (!entity || !Encloses(*entity, listed))
                depthLaidCount += effects.RenderDepth(entity) ? 1 : 0;
    }
    if (IsVisible(kCharacters)) {
        RenderCharacters();
        m_Visibility[kCharacters] = false;
    }
    if (!getRigid()->scriptedSequenceRunning) {
        getProjectileManager().Render(0.016f);
        DrawWorldQuads();
        // The props wait for the first comic's panels to go.
        if (getGSF().sequence != CGameStateFlagsManager::ReadyVinyetasIntro1)
            RenderProps();
        getWeaponPickups().Render();
    }
    DrawListedObjects(listed);
    target.End();
    m_VelocitySource = target.texture;
}

void CSceneMngr::RenderMotionBlurPass(CRenderTarget& target, bool clear)
{
    m_CameraHeldStill = false;
    if (ShortcutOn(Shortcut::CameraSmear) && m_Device && m_VelocitySource && SceneDepth.surface &&
        m_DepthStencil == SceneDepth.surface) {
        if (CameraStayedPut()) {
            RenderMovingObjects(target);
            return;
        }
        if (ShortcutOn(Shortcut::UnseenCameraMotion) && CameraMotionUnseen(target)) {
            m_CameraHeldStill = true;
            RenderMovingObjects(target);
            return;
        }
    }
    m_MovingOnly = m_NothingMoved = false;
    velocityDepthLaidCount = 0;
    if (!BeginPass(target, clear)) {
        m_DrawList.clear();
        return;
    }
    CEffectManager& effects = getEffectManager();
    const std::vector<IEntidad3D*> listed = ListedEntities(true);
    // Each pixel drawn here reads the scene eight times. The objects are
    // drawn near to far, but what surrounds the eye comes last, after every
    // object it hides (behind a hill, under the floor) was smeared for
    // nothing: its depth goes first. Laid for the rest too, the depth costs
    // more than the smearing it saves. Each object laid is smeared below at
    // that very depth, so the depth test keeps what a cleared buffer would.
    if (ShortcutOn(Shortcut::VelocityDepthFirst) && m_DepthStencil) {
        const D3DXVECTOR3 eye = getCamera().GetPosition();
        for (IEntidad3D* entity : listed)
            if (entity && DistanceFromEyeSq(*entity, eye) == std::numeric_limits<float>::max())
                velocityDepthLaidCount += effects.RenderDepth(entity) ? 1 : 0;
    }
    getProjectileManager().Render(0.016f);
    if (IsVisible(kCharacters)) {
        RenderCharacters();
        m_Visibility[kCharacters] = false;
    }
    const ShortSmears shortSmears = ShortSmearsFor(target);
    for (IEntidad3D* entity : listed) {
        if (!entity || !effects.IsEntityVisible(entity, false))
            continue;
        effects.RenderMotionBlur(entity, m_VelocitySource, SmearReach(*entity, shortSmears));
        entity->StorePreviousWorld();
    }
    m_DrawList.clear();
    target.End();
    m_CurrentVelocity = target.texture;
}

bool CSceneMngr::CameraStayedPut() const
{
    // The characters are left out of the velocity pass: they take the smear
    // of whatever lies behind them. Turning on the spot smears every depth
    // alike, so the depth of the character itself gives the same; a camera
    // that travelled does not, and the pass is drawn in full then. So it is
    // under depth of field for any move of the camera: the blur would read
    // the smear at four places, dearer than the pass it saves.
    const CEffectManager& effects = getEffectManager();
    const CCamera& camera = getCamera();
    if (getGUI().depthOfFieldOn) {
        const D3DXMATRIX now = camera.GetViewMatrix() * camera.GetProjectionMatrix();
        const D3DXMATRIX before = effects.GetPreviousView() * effects.GetPreviousProjection();
        return std::memcmp(&now, &before, sizeof(D3DXMATRIX)) == 0;
    }
    D3DXMATRIX now, before;
    if (!D3DXMatrixInverse(&now, nullptr, &camera.GetViewMatrix()) ||
        !D3DXMatrixInverse(&before, nullptr, &effects.GetPreviousView()))
        return false;
    const D3DXVECTOR3 travel(now._41 - before._41, now._42 - before._42, now._43 - before._43);
    return D3DXVec3LengthSq(&travel) <= kStillCameraTravel * kStillCameraTravel;
}

bool CSceneMngr::CameraMotionUnseen(const CRenderTarget& target) const
{
    D3DSURFACE_DESC desc{};
    if (!target.texture || FAILED(target.texture->GetLevelDesc(0, &desc)))
        return false;
    const CEffectManager& effects = getEffectManager();
    const CCamera& camera = getCamera();
    const D3DXMATRIX& view = camera.GetViewMatrix();
    const D3DXMATRIX& projection = camera.GetProjectionMatrix();
    const float nearest =
        DepthWhereMotionShows(view, effects.GetPreviousView(), projection, effects.GetPreviousProjection(),
                              static_cast<float>(desc.Width), static_cast<float>(desc.Height), kUnseenMotionPixels);
    if (!std::isfinite(nearest))
        return false;
    // What moved in the world is drawn again with the camera's motion in its
    // smear; everything else is left as the scene shows it, and so must lie
    // where the camera's motion cannot show.
    for (IEntidad3D* entity : ListedEntities(true)) {
        if (!entity || !getEffectManager().IsEntityVisible(entity, false) ||
            entity->MovedSincePreviousWorld())
            continue;
        if (!(NearestDepthOf(*entity, view, projection, nearest) >= nearest))
            return false;
    }
    return true;
}

CSceneMngr::ShortSmears CSceneMngr::ShortSmearsFor(const CRenderTarget& target) const
{
    ShortSmears smears;
    D3DSURFACE_DESC desc{};
    if (!ShortcutOn(Shortcut::ShortSmears) || !target.texture || FAILED(target.texture->GetLevelDesc(0, &desc)))
        return smears;
    const CEffectManager& effects = getEffectManager();
    const CCamera& camera = getCamera();
    smears.width = static_cast<float>(desc.Width);
    smears.height = static_cast<float>(desc.Height);
    smears.nearest = DepthWhereMotionShows(camera.GetViewMatrix(), effects.GetPreviousView(),
                                           camera.GetProjectionMatrix(), effects.GetPreviousProjection(), smears.width,
                                           smears.height, 1.0f);
    smears.on = std::isfinite(smears.nearest);
    return smears;
}

float CSceneMngr::SmearReach(const IEntidad3D& entity, const ShortSmears& smears) const
{
    // Only the camera's motion is bounded here: an object that moved itself
    // is smeared whole.
    if (!smears.on ||
        entity.MovedSincePreviousWorld())
        return CEffectManager::kUnknownReach;
    const CEffectManager& effects = getEffectManager();
    const CCamera& camera = getCamera();
    const float nearest = NearestDepthOf(entity, camera.GetViewMatrix(), camera.GetProjectionMatrix(), smears.nearest);
    if (!(nearest >= smears.nearest))
        return CEffectManager::kUnknownReach;
    return CameraMotionPixels(camera.GetViewMatrix(), effects.GetPreviousView(), camera.GetProjectionMatrix(),
                              effects.GetPreviousProjection(), nearest, smears.width, smears.height);
}

void CSceneMngr::RenderMovingObjects(CRenderTarget& target)
{
    m_MovingOnly = false;
    m_NothingMoved = false;
    CEffectManager& effects = getEffectManager();
    std::vector<IEntidad3D*> seen, moving;
    for (IEntidad3D* entity : ListedEntities(true)) {
        if (!entity || !effects.IsEntityVisible(entity, false))
            continue;
        seen.push_back(entity);
        if (entity->MovedSincePreviousWorld())
            moving.push_back(entity);
    }
    m_DrawList.clear();
    const CCamera& camera = getCamera();
    const D3DXMATRIX now = camera.GetViewMatrix() * camera.GetProjectionMatrix();
    const D3DXMATRIX before = effects.GetPreviousView() * effects.GetPreviousProjection();
    // Nothing moved, camera included: the frame is the scene as it stands,
    // and the target is not even cleared.
    if (moving.empty() && (m_CameraHeldStill || std::memcmp(&now, &before, sizeof(D3DXMATRIX)) == 0)) {
        for (IEntidad3D* entity : seen)
            entity->StorePreviousWorld();
        m_CurrentVelocity = target.texture;
        m_MovingOnly = m_NothingMoved = true;
        return;
    }
    if (!target.Begin())
        return;
    // The scene's depth stays: a moving object hidden behind a still one
    // stays hidden, as it was in the scene.
    m_Device->SetDepthStencilSurface(m_DepthStencil);
    m_LastResult = m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    for (IEntidad3D* entity : moving)
        effects.RenderMotionBlur(entity, m_VelocitySource);
    for (IEntidad3D* entity : seen)
        entity->StorePreviousWorld();
    target.End();
    m_CurrentVelocity = target.texture;
    m_MovingOnly = true;
}

void CSceneMngr::RenderProps()
{
    CEffectManager& effects = getEffectManager();
    for (auto& entry : getCollisionManager().GetCurrentProps()) {
        IEntidad3D* entity = entry.second.entity.get();
        if (entity && effects.IsEntityVisible(entity, false))
            effects.RenderEntity(entity);
    }
}

void CSceneMngr::RenderCharacters()
{
    // The current wave's enemies with their weapons, then the other
    // characters, each culled with the characters' radius, then the hero -
    // whether or not a list was handed over yet - with his weapon.
    CEffectManager& effects = getEffectManager();
    for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
        RenderEnemy(*entry.second);
    IEntidad3D* hero = HeroEntity();
    // The handed-over list adds whatever else joined it; an enemy of it
    // shows only while its wave is current.
    auto found = m_Objects.find(kCharacters);
    if (found != m_Objects.end()) {
        for (IEntidad3D* character : found->second)
            if (character != hero && !getEnemyManager()->OwnsEntity(character))
                effects.RenderEntity(character);
    }
    if (!hero)
        return;
    effects.RenderEntity(hero);
    // His weapon is in his hand unless his fists are busy.
    CPlayer* player = getPlayer();
    const CControllerSelector* selector = player->GetControllerSelector();
    IWeapon* weapon = player->GetCurrentWeapon();
    if (!weapon || (selector && selector->IsFighting()))
        return;
    RenderWeaponModel(weapon->GetModel());
}

void CSceneMngr::RenderEnemy(CEnemy& enemy)
{
    CCharacterEntity* entity = enemy.GetEntity();
    if (!entity)
        return;
    // The small plane is its gun: the aircraft around it is a rigid animation.
    if (enemy.GetName() == "ene_Avioneta") {
        RenderEnemyWeapon(enemy);
        return;
    }
    CEffectManager& effects = getEffectManager();
    const CIAEnemyCover* ai = enemy.getIA();
    const bool drawn = entity->IsVisible() && effects.RenderEntity(entity);
    if (!drawn && ai && ai->IsDestroyed()) {
        // Where a removed enemy lay, the pool keeps spreading.
        if (CParticleSystem* pool = getParticleManager().GetParticleSystem("muerto")) {
            const D3DXVECTOR3 at = enemy.GetPosition().GetPosition();
            const float yaw = enemy.GetPosition().GetYaw();
            const D3DXVECTOR3 up = DirectionFromYaw(WrapAngle(yaw - RandomRange(-D3DX_PI, D3DX_PI)));
            pool->AddParticle(at.x, at.y, at.z, 0.0f, 1.0f, 0.0f, up.x, up.y, up.z);
        }
    }
    if (!ai || ai->GetState() == CIAEnemyCover::FIGHTING || ai->GetState() == CIAEnemyCover::DEAD ||
        ai->IsDestroyed() || ai->IsInScriptAnimation())
        return;
    RenderEnemyWeapon(enemy);
}

void CSceneMngr::RenderEnemyWeapon(CEnemy& enemy)
{
    IWeapon* weapon = enemy.GetWeapon();
    CCharacterEntity* entity = enemy.GetEntity();
    if (!weapon || !entity)
        return;
    const float* angles = enemy.weaponAngles;
    constexpr float kDegree = 0.017453292f;
    D3DXMATRIX x, y, z;
    D3DXMatrixRotationX(&x, (angles[0] + 180.0f) * kDegree);
    D3DXMatrixRotationY(&y, angles[1] * kDegree);
    D3DXMatrixRotationZ(&z, angles[2] * kDegree);
    const D3DXMATRIX world = x * y * z * entity->GetBoneMatrix("EBip01 pipa") * entity->GetTransform().GetMatrix();
    CRigidEntity& model = weapon->GetModel();
    model.GetTransform().SetMatrix(world);
    RenderWeaponModel(model);
}

void CSceneMngr::RenderWeaponModel(CRigidEntity& model)
{
    CEffectManager& effects = getEffectManager();
    if (IVertexBuffer* mesh = model.GetMesh())
        for (std::size_t subset = 0; subset < mesh->GetSubsets().size(); ++subset)
            effects.RenderEntitySubset(static_cast<int>(subset), &model);
}

bool CSceneMngr::RenderFinalComposite(IDirect3DTexture9* scene, const CompositeOverlays& overlays)
{
    CEffectManager& effects = getEffectManager();
    CompositeInputs inputs = GatherCompositeInputs();
    inputs.overlays = overlays;
    if (m_NothingMoved && m_MovingOnly && scene && scene == m_CurrentVelocity && m_VelocitySource)
        return RenderCompositeWith(effects, m_VelocitySource, m_CurrentVelocity, m_PreviousVelocity, inputs);
    if (m_MovingOnly && scene && scene == m_CurrentVelocity && m_VelocitySource) {
        // The velocity target holds only what moved: the composite lays it
        // over the scene, which it smears by the camera.
        const CCamera& camera = getCamera();
        const D3DXMATRIX viewProjection = camera.GetViewMatrix() * camera.GetProjectionMatrix();
        const D3DXMATRIX previous = effects.GetPreviousView() * effects.GetPreviousProjection();
        inputs.smear = CameraSmearFor(viewProjection, previous, m_CurrentVelocity, SceneDepth.texture);
        // A motion too small to show smears nothing.
        if (m_CameraHeldStill)
            inputs.smear.cameraMoved = false;
        scene = m_VelocitySource;
    }
    return RenderCompositeWith(effects, scene, m_CurrentVelocity, m_PreviousVelocity, inputs);
}

CSceneMngr& getSceneManager()
{
    static CSceneMngr manager;
    return manager;
}
