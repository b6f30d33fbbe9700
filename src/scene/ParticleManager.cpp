#include "scene/ParticleManager.h"

#include "platform/bounded.h"

#include <algorithm>
#include <cmath>

#include "app/Startup.h"
#include "math/VectorMath.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "scene/Camera.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"

namespace {

constexpr int kFloatsPerParticle = 12;
// A decal also carries the left and the up of its surface, a register each.
constexpr int kFloatsPerDecal = 20;
constexpr int kDecalBatch = kParticleBatch * kFloatsPerParticle / kFloatsPerDecal;

// The hangar yard's smoke columns, all on the ground.
constexpr float kSmokeHeight = 0.605713f;
const float kSmokePoints[][2] = {
    {-1213.0f, -224.968f}, {-674.871f, -224.968f}, {-85.3774f, -225.676f}, {656.676f, -639.145f},
    {285.779f, -292.795f}, {260.416f, 1524.18f},   {654.001f, 1190.9f},    {259.332f, 2792.69f},
    {-1210.89f, 42.9174f}, {-626.52f, 42.9174f},   {-85.3774f, 42.2089f},
};

// The burning wreck once the pier has gone: on its hull and the debris round it.
const D3DXVECTOR3 kFirePoints[] = {
    {1864.79f, 35.0332f, 1027.08f}, {1832.18f, 35.0332f, 1042.52f}, {1951.02f, 81.5972f, 1019.13f},
    {1848.5f, 35.0332f, 1012.4f},   {1880.2f, 35.0332f, 1036.9f},   {1896.7f, 35.0332f, 1018.3f},
    {1817.6f, 35.0332f, 1058.1f},   {1841.3f, 35.0332f, 1061.7f},   {1872.9f, 35.0332f, 1052.6f},
    {1905.4f, 35.0332f, 1044.2f},   {1823.8f, 35.0332f, 1026.5f},   {1858.1f, 35.0332f, 995.8f},
    {1889.6f, 35.0332f, 1003.4f},   {1912.3f, 35.0332f, 1029.7f},   {1930.5f, 58.214f, 1008.6f},
    {1941.8f, 58.214f, 1034.2f},    {1962.7f, 81.5972f, 1027.4f},   {1944.1f, 81.5972f, 1011.9f},
    {1968.9f, 81.5972f, 1013.5f},   {1957.3f, 64.48f, 1041.6f},     {1975.2f, 48.91f, 1036.8f},
    {1921.4f, 35.0332f, 1052.9f},   {1897.8f, 35.0332f, 1066.3f},   {1866.4f, 35.0332f, 1075.1f},
    {1835.9f, 35.0332f, 1080.4f},   {1808.2f, 35.0332f, 1039.7f},   {1811.5f, 35.0332f, 1011.2f},
    {1876.3f, 35.0332f, 988.6f},
};
static_assert(sizeof(kFirePoints) / sizeof(kFirePoints[0]) == 28, "the wreck burns at 28 points");

// A standing system asked for at every hit: said once, and not at all when
// the types file has said why its type is not there.
void SayNoSystem(const char* name)
{
    if (!getParticleTypes().Explains(name))
        bounded::ReportMissingOnce("particle system not found", name);
}

const ParticleSystemType* TypeNamed(const char* name)
{
    const ParticleSystemType* type = getParticleTypes().FindSystemType(name);
    // A type its file left out has been named with the file's fault.
    if (!type && !getParticleTypes().Explains(name))
        bounded::ReportMissingOnce("particle type not found", name);
    return type;
}

D3DXVECTOR3 Normalised(const D3DXVECTOR3& v)
{
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &v);
    return out;
}

D3DXVECTOR3 LeftOf(const D3DXVECTOR3& up, const D3DXVECTOR3& dir)
{
    D3DXVECTOR3 left;
    D3DXVec3Cross(&left, &up, &dir);
    return Normalised(left);
}

// The planes a camera-facing particle must reach into to show, from the
// matrix it is drawn with (rows are multiplied from the left): left, right,
// bottom, top, far, and a near plane at z = -w, which holds whatever either
// depth convention keeps. Each normalised, so that its value at a point is a
// distance; a plane of no direction is left out.
class ViewPlanes {
public:
    explicit ViewPlanes(const D3DXMATRIX& m)
    {
        auto column = [&](int c) { return D3DXVECTOR4(m(0, c), m(1, c), m(2, c), m(3, c)); };
        const D3DXVECTOR4 x = column(0), y = column(1), z = column(2), w = column(3);
        for (const D3DXVECTOR4& plane : {w + x, w - x, w + y, w - y, w - z, w + z}) {
            const float length = std::sqrt(plane.x * plane.x + plane.y * plane.y + plane.z * plane.z);
            if (length > 0.0f && std::isfinite(length))
                m_Planes[m_Count++] = plane / length;
        }
    }
    bool Outside(const Particle& p, float reach) const
    {
        const float radius = reach * std::fabs(p.size);
        for (int i = 0; i < m_Count; ++i) {
            const D3DXVECTOR4& plane = m_Planes[i];
            if (plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w < -radius)
                return true;
        }
        return false;
    }

private:
    D3DXVECTOR4 m_Planes[6];
    int m_Count = 0;
};

void SetVector3(ID3DXEffect* effect, const char* name, const D3DXVECTOR3& v)
{
    if (D3DXHANDLE handle = effect->GetParameterByName(nullptr, name))
        effect->SetFloatArray(handle, &v.x, 3);
}

} // namespace

CParticleManager::CParticleManager() = default;
CParticleManager::~CParticleManager() = default;

void CParticleManager::Init(CRenderTarget target, const char* file)
{
    getParticleTypes().Load(file);
    m_Target = target;
    BuildQuads();
    // A run's lamps are the ones its level file hands over after this: a start
    // after another in the same process would swarm mosquitoes at the earlier
    // run's lamps now, before any level is read.
    m_LampPositions.clear();
    ResetWithAmbient();
}

void CParticleManager::BuildQuads()
{
    PARTICLE_VERTEX vertices[kParticleBatch * 4];
    unsigned short indices[kParticleBatch * 6];
    for (int q = 0; q < kParticleBatch; ++q) {
        const float slot = static_cast<float>(3 * q);
        vertices[4 * q + 0] = {0.0f, 0.0f, slot};
        vertices[4 * q + 1] = {1.0f, 0.0f, slot};
        vertices[4 * q + 2] = {0.0f, 1.0f, slot};
        vertices[4 * q + 3] = {1.0f, 1.0f, slot};
        const unsigned short base = static_cast<unsigned short>(4 * q);
        const unsigned short quad[6] = {base, static_cast<unsigned short>(base + 1), static_cast<unsigned short>(base + 2),
                                        static_cast<unsigned short>(base + 1), static_cast<unsigned short>(base + 3),
                                        static_cast<unsigned short>(base + 2)};
        std::copy(quad, quad + 6, indices + 6 * q);
    }
    m_Quads.Release();
    m_Quads.Create(kParticleBatch * 4, vertices, D3DPT_TRIANGLELIST);
    auto* indexBuffer = new CIndexBuffer;
    indexBuffer->Create(kParticleBatch * 6, indices);
    m_Quads.SetIndexBuffer(indexBuffer);
}

void CParticleManager::ClearAll()
{
    m_Emitters.clear();
    m_Systems.clear();
}

void CParticleManager::Reset()
{
    ClearAll();
    CreateStandingSystems();
}

void CParticleManager::ResetWithAmbient()
{
    ClearAll();
    SpawnAmbientSmoke();
    SpawnMosquitos();
    CreateStandingSystems();
}

std::shared_ptr<CParticleEmitter> CParticleManager::CreateEmitterDelayed(const ParticleSystemType* type, float x,
                                                                         float y, float z, float dx, float dy,
                                                                         float dz, float delay)
{
    if (!type) {
        // Said once (at every shot otherwise), and not at all when the types
        // file has said what it left out: the caller asked by name for one.
        if (!getParticleTypes().LeftOutAny())
            bounded::SayOnce("particle emitter without a type: skipped");
        return nullptr;
    }
    auto emitter = std::make_shared<CParticleEmitter>();
    emitter->Init(type, D3DXVECTOR3(x, y, z), D3DXVECTOR3(dx, dy, dz), delay);
    m_Emitters.push_back(emitter);
    return emitter;
}

std::shared_ptr<CParticleEmitter> CParticleManager::CreateEmitter(const ParticleSystemType* type, float x, float y,
                                                                  float z, float dx, float dy, float dz)
{
    return CreateEmitterDelayed(type, x, y, z, dx, dy, dz, 0.0f);
}

std::shared_ptr<CParticleEmitter> CParticleManager::CreateEmitter(const ParticleSystemType* type,
                                                                  const D3DXVECTOR3& position,
                                                                  const D3DXVECTOR3& direction)
{
    return CreateEmitter(type, position.x, position.y, position.z, direction.x, direction.y, direction.z);
}

CParticleSystem* CParticleManager::CreateParticleSystem(const ParticleSystemType* type)
{
    if (!type) {
        if (!getParticleTypes().LeftOutAny())
            bounded::SayOnce("standing particle system without a type: skipped");
        return nullptr;
    }
    auto system = std::make_unique<CParticleSystem>();
    system->Init(type);
    CParticleSystem* raw = system.get();
    m_Systems[type->name] = std::move(system);
    return raw;
}

CParticleSystem* CParticleManager::GetParticleSystem(const std::string& name) const
{
    auto found = m_Systems.find(name);
    return found == m_Systems.end() ? nullptr : found->second.get();
}

void CParticleManager::RemoveEmitter(const CParticleEmitter* emitter)
{
    if (!emitter)
        return;
    for (auto it = m_Emitters.rbegin(); it != m_Emitters.rend(); ++it) {
        if (it->get() == emitter) {
            m_Emitters.erase(std::next(it).base());
            return;
        }
    }
}

void CParticleManager::RemoveEmitterAt(float x, float y, float z)
{
    for (auto it = m_Emitters.rbegin(); it != m_Emitters.rend(); ++it) {
        const D3DXVECTOR3& p = (*it)->GetPosition();
        if (p.x == x && p.y == y && p.z == z) {
            m_Emitters.erase(std::next(it).base());
            return;
        }
    }
}

void CParticleManager::Update(float dt)
{
    std::vector<std::size_t> spent;
    for (std::size_t i = 0; i < m_Emitters.size(); ++i) {
        m_Emitters[i]->Update(dt);
        if (m_Emitters[i]->GetRemainingLife() <= 0.0f)
            spent.push_back(i);
    }
    for (auto& entry : m_Systems)
        entry.second->Update(dt);
    for (auto it = spent.rbegin(); it != spent.rend(); ++it)
        m_Emitters.erase(m_Emitters.begin() + static_cast<std::ptrdiff_t>(*it));
}

void CParticleManager::update_XML(const char* file)
{
    getParticleTypes().Load(file);
    for (auto& emitter : m_Emitters)
        emitter->Refresh();
}

void CParticleManager::addShootf(float x, float y, float z)
{
    SpawnShot(x, y, z);
}

// --- named effects ------------------------------------------------------------------------

std::shared_ptr<CParticleEmitter> CParticleManager::Spawn(const char* type, const D3DXVECTOR3& position,
                                                          float delay)
{
    const ParticleSystemType* found = TypeNamed(type);
    if (!found)
        return nullptr;
    return CreateEmitterDelayed(found, position.x, position.y, position.z, 0.0f, 0.0f, 0.0f, delay);
}

void CParticleManager::SpawnShot(float x, float y, float z)
{
    Spawn("disparo", D3DXVECTOR3(x, y, z));
}

void CParticleManager::SpawnBlood(const D3DXVECTOR3& hit, const D3DXVECTOR3& floor, const D3DXVECTOR3& d)
{
    Spawn("sangre", hit);
    CParticleSystem* stains = GetParticleSystem("sangre_suelo");
    if (!stains) {
        SayNoSystem("sangre_suelo");
        return;
    }
    const D3DXVECTOR3 base = floor + D3DXVECTOR3(0.0f, 0.01f, 0.0f);
    for (const D3DXVECTOR3& p : {base, base + 40.0f * d, base - 40.0f * d})
        stains->AddParticle(p.x, p.y, p.z, 0.0f, 1.0f, 0.0f, d.x, d.y, d.z);
}

void CParticleManager::SpawnSparks(const D3DXVECTOR3& point, const D3DXVECTOR3& n)
{
    Spawn("destello", point);
    Spawn("chispas", point);
    getSoundManager().PlayLostBullet(ManhattanDistanceXZ(getPlayer()->GetPosition().GetPosition(), point));
    if (CParticleSystem* holes = GetParticleSystem("disparo_pared"))
        holes->AddParticle(point.x, point.y, point.z, n.x, n.y, n.z, 0.0f, 1.0f, 0.0f);
    else
        SayNoSystem("disparo_pared");
}

void CParticleManager::SpawnWallSparks(const D3DXVECTOR3& point)
{
    SpawnSparks(point, D3DXVECTOR3(0.0f, 0.0f, 1.0f));
}

void CParticleManager::SpawnWaterSpray(const D3DXVECTOR3& point)
{
    Spawn("agua_disparo_spray", point + D3DXVECTOR3(0.0f, 30.0f, 0.0f));
}

void CParticleManager::SpawnSmallWaterSpray(const D3DXVECTOR3& point)
{
    Spawn("agua_disparo_peque_spray", point + D3DXVECTOR3(0.0f, 30.0f, 0.0f));
}

void CParticleManager::SpawnExplosion(const D3DXVECTOR3& point, float delay)
{
    for (const char* layer : {"explosion_center", "explosion_intense_center", "explosion_sparkles",
                              "explosion_dark_clouds", "explosion_outsiderim"})
        Spawn(layer, point, delay);
}

void CParticleManager::SpawnBigExplosion(const D3DXVECTOR3& point, float delay)
{
    for (const char* layer : {"explosion_grande_center", "explosion_grande_intense_center",
                              "explosion_grande_sparkles", "explosion_grande_dark_clouds",
                              "explosion_grande_outsiderim"})
        Spawn(layer, point, delay);
}

void CParticleManager::SpawnAmbientSmoke()
{
    for (const auto& p : kSmokePoints)
        Spawn("humo", D3DXVECTOR3(p[0], kSmokeHeight, p[1]));
}

void CParticleManager::SpawnFires()
{
    for (const D3DXVECTOR3& p : kFirePoints) {
        Spawn("fuego", p);
        Spawn("humo_fuego", p + D3DXVECTOR3(0.0f, 8.0f, 0.0f));
    }
}

void CParticleManager::SpawnMosquitos()
{
    for (const D3DXVECTOR3& p : m_LampPositions)
        Spawn("mosquitos", p);
}

void CParticleManager::CreateStandingSystems()
{
    for (const char* name : {"muerto", "disparo_pared", "sangre_suelo", "suelo_quemado"}) {
        if (const ParticleSystemType* type = TypeNamed(name))
            CreateParticleSystem(type);
    }
}

void CParticleManager::AddLampPosition(float x, float y, float z)
{
    m_LampPositions.emplace_back(x, y, z);
}

// --- drawing ------------------------------------------------------------------------------

void CParticleManager::SetTypeParameters(const ParticleSystemType* type)
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    if (D3DXHANDLE texture = effect->GetParameterByName(nullptr, "ParticleTexture"))
        effect->SetTexture(texture, type->texture);
    if (D3DXHANDLE frames = effect->GetParameterByName(nullptr, "particleTextureNumber"))
        effect->SetFloat(frames, type->textureFramesReciprocal);
}

void CParticleManager::MarkCovered(ID3DXEffect* effect, const float* data, int count, int floats)
{
    // Placed by the parameters the vertex shader reads: a sprite faces the
    // camera along the effect's left and up, a decal lies along its own.
    D3DXMATRIX viewProjection;
    D3DXVECTOR4 left, up;
    if (FAILED(effect->GetMatrix("view_projection_matrix", &viewProjection)) ||
        FAILED(effect->GetVector("camera_left", &left)) || FAILED(effect->GetVector("camera_up", &up))) {
        m_Covered.MarkAll();
        return;
    }
    for (int i = 0; i < count; ++i) {
        const float* p = data + static_cast<size_t>(i) * floats;
        const D3DXVECTOR3 along = floats >= 20 ? D3DXVECTOR3(p[12], p[13], p[14]) : D3DXVECTOR3(left.x, left.y, left.z);
        const D3DXVECTOR3 rising = floats >= 20 ? D3DXVECTOR3(p[16], p[17], p[18]) : D3DXVECTOR3(up.x, up.y, up.z);
        MarkSquare(D3DXVECTOR3(p[0], p[1], p[2]), p[3], along, rising, viewProjection, m_Covered);
    }
}

void CParticleManager::DrawBatch(const float* data, int count, int floats)
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    m_LastBatch.assign(data, data + count * floats);
    MarkCovered(effect, data, count, floats);

    if (D3DXHANDLE array = effect->GetParameterByName(nullptr, "particle_data"))
        effect->SetFloatArray(array, data, static_cast<UINT>(count * floats));
    effect->CommitChanges();
    m_DrawSizes.push_back(count * floats);
    if (!D3DDevice || !m_Quads.GetD3DBuffer() || !m_Quads.GetIndexBuffer())
        return;
    D3DDevice->SetStreamSource(0, m_Quads.GetD3DBuffer(), 0, sizeof(PARTICLE_VERTEX));
    D3DDevice->SetFVF(PARTICLE_VERTEX::FVF);
    D3DDevice->SetIndices(m_Quads.GetIndexBuffer()->GetBuffer());
    D3DDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, kParticleBatch * 4, 0, 2 * count);
}

bool CParticleManager::DrawDecalBatches(const D3DXMATRIX& viewProjection)
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    D3DXHANDLE technique = effect->GetTechniqueByName("DecalsTech");
    if (!technique || FAILED(effect->SetTechnique(technique)))
        return false;
    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    const ViewPlanes view(viewProjection);
    float batch[kDecalBatch * kFloatsPerDecal];
    for (const auto& entry : m_Systems) {
        const CParticleSystem& system = *entry.second;
        SetTypeParameters(system.GetType());
        effect->CommitChanges();
        int count = 0;
        for (const Particle& p : system.GetParticles()) {
            if (p.dead)
                continue;
            const D3DXVECTOR3 surfaceUp(p.up[0], p.up[1], p.up[2]);
            const D3DXVECTOR3 normal(p.normal[0], p.normal[1], p.normal[2]);
            const D3DXVECTOR3 left = LeftOf(surfaceUp, normal);
            // Its corners lie within half its diagonal of its centre, whatever its spin.
            const float reach = 0.5f * std::sqrt(2.0f) * 1.01f * std::max(D3DXVec3Length(&left),
                                                                        D3DXVec3Length(&surfaceUp));
            if (view.Outside(p, reach))
                continue;
            float* decal = batch + count * kFloatsPerDecal;
            std::copy(&p.x, &p.x + kFloatsPerParticle, decal);
            const float extra[8] = {left.x, left.y, left.z, 0.0f, surfaceUp.x, surfaceUp.y, surfaceUp.z, 0.0f};
            std::copy(extra, extra + 8, decal + kFloatsPerParticle);
            if (++count == kDecalBatch) {
                DrawBatch(batch, count, kFloatsPerDecal);
                count = 0;
            }
        }
        if (count > 0)
            DrawBatch(batch, count, kFloatsPerDecal);
    }
    effect->EndPass();
    effect->End();
    return true;
}

void CParticleManager::Render()
{
    m_DrawSizes.clear();
    if (!D3DDevice)
        return;
    IDirect3DSurface9* depth = nullptr;
    D3DDevice->GetDepthStencilSurface(&depth);
    D3DSURFACE_DESC size{};
    if (!m_Target.texture || FAILED(m_Target.texture->GetLevelDesc(0, &size)))
        size.Width = size.Height = 0;
    m_Covered.Reset(static_cast<int>(size.Width), static_cast<int>(size.Height), true);
    if (!m_Target.Begin()) {
        if (depth)
            depth->Release();
        return;
    }
    D3DDevice->SetDepthStencilSurface(depth);
    D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    m_Covered.Reset(static_cast<int>(size.Width), static_cast<int>(size.Height), false);

    ID3DXEffect* effect = getEffectManager().GetEffect();
    D3DXHANDLE technique = effect ? effect->GetTechniqueByName("ParticlesTech") : nullptr;
    if (technique) {
        const CCamera& camera = getCamera();
        // The free camera and a locked view orient the sprites by the flight
        // record; only a running flight also sees through it.
        const bool flight = camera.IsFreeCamera() || camera.IsViewLocked();
        D3DXMATRIX viewProjection;
        if (getRigid()->camSequenceRunning)
            viewProjection = camera.GetFlightCamera().viewProjection;
        else
            D3DXMatrixMultiply(&viewProjection, &camera.GetViewMatrix(), &camera.GetProjectionMatrix());
        if (D3DXHANDLE vp = effect->GetParameterByName(nullptr, "view_projection_matrix"))
            effect->SetMatrix(vp, &viewProjection);
        const D3DXVECTOR3 up = flight ? D3DXVECTOR3(0, 1, 0) : camera.GetUpVector();
        const D3DXVECTOR3 dir = flight ? camera.GetFlightCamera().forward : camera.GetViewDirection();
        const D3DXVECTOR3 left = LeftOf(up, dir);
        // Decals lie in the surface they were put on: each carries its own
        // in the shared draws, or goes out alone with it.
        const bool decalsDrawn = ShortcutOn(Shortcut::SharedDecalDraws) && DrawDecalBatches(viewProjection);
        effect->SetTechnique(technique);
        UINT passes = 0;
        effect->Begin(&passes, 0);
        effect->BeginPass(0);

        for (const auto& entry : m_Systems) {
            if (decalsDrawn)
                break;
            const CParticleSystem& system = *entry.second;
            SetTypeParameters(system.GetType());
            for (const Particle& p : system.GetParticles()) {
                if (p.dead)
                    continue;
                const D3DXVECTOR3 surfaceUp(p.up[0], p.up[1], p.up[2]);
                const D3DXVECTOR3 normal(p.normal[0], p.normal[1], p.normal[2]);
                SetVector3(effect, "camera_left", LeftOf(surfaceUp, normal));
                SetVector3(effect, "camera_up", surfaceUp);
                effect->CommitChanges();
                DrawBatch(&p.x, 1);
            }
        }

        // Each draw costs the software renderer a set-up of its own: a run of
        // emitters of one type (the fires of a field) fills its draws up.
        const bool shared = ShortcutOn(Shortcut::SharedParticleDraws);
        // A sprite's corners lie within half its diagonal of its centre,
        // whatever its spin (a little more for rounding).
        const bool inViewOnly = ShortcutOn(Shortcut::ParticlesInView);
        const ViewPlanes view(viewProjection);
        const float reach = 0.5f * std::sqrt(2.0f) * 1.01f * std::max(D3DXVec3Length(&left), D3DXVec3Length(&up));
        float batch[kParticleBatch * kFloatsPerParticle];
        const ParticleSystemType* drawing = nullptr;
        int count = 0;
        for (const auto& emitter : m_Emitters) {
            if (!shared || emitter->GetType() != drawing) {
                if (count > 0)
                    DrawBatch(batch, count);
                count = 0;
                drawing = emitter->GetType();
                SetTypeParameters(drawing);
                SetVector3(effect, "camera_left", left);
                SetVector3(effect, "camera_up", up);
                effect->CommitChanges();
            }
            for (const Particle& p : emitter->GetParticles()) {
                if (p.dead || (inViewOnly && view.Outside(p, reach)))
                    continue;
                std::copy(&p.x, &p.x + kFloatsPerParticle, batch + count * kFloatsPerParticle);
                if (++count == kParticleBatch) {
                    DrawBatch(batch, count);
                    count = 0;
                }
            }
        }
        if (count > 0)
            DrawBatch(batch, count);
        effect->EndPass();
        effect->End();
    }
    m_Target.End();
    if (depth)
        depth->Release();
}

CParticleManager& getParticleManager()
{
    static CParticleManager manager;
    return manager;
}
