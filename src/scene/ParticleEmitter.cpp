#include "scene/ParticleEmitter.h"

#include <algorithm>
#include <cmath>

#include "math/VectorMath.h"
#include "scene/Camera.h"
#include "scene/ParticleType.h"

namespace {

constexpr float kDegrees = 0.017453292f;
// A ring big enough for any effect the game shows; rates times lives past
// it are clipped rather than allocated.
constexpr int kMaxRingSlots = 1 << 16;
constexpr float kQuarterTurn = 1.5707964f;

float Varied(float base, float variation)
{
    return base + RandomRange(-variation, variation);
}

// The key a curve's index stands on; a reload may have shortened the curve.
template <class Key>
const Key& KeyAt(const std::vector<Key>& keys, unsigned& index)
{
    if (index >= keys.size())
        index = static_cast<unsigned>(keys.size() - 1);
    return keys[index];
}

// Moves the index on by at most one key once the particle's age passes it.
template <class Key>
void Advance(const std::vector<Key>& keys, unsigned& index, float total, float age)
{
    KeyAt(keys, index);
    if (index + 1 < keys.size() && total * keys[index].frame < age)
        ++index;
}

// n particles a second living up to `life` seconds: the slots they need.
std::size_t RingSize(int n, float life)
{
    const float seconds = std::max(0.0f, std::min(life + 1.0f, static_cast<float>(kMaxRingSlots)));
    const long long slots = static_cast<long long>(n) * static_cast<long long>(seconds);
    return static_cast<std::size_t>(std::max(1LL, std::min(slots, static_cast<long long>(kMaxRingSlots))));
}

} // namespace

int CParticleEmitter::RateOf(const ParticleSystemType* type)
{
    const float variation = static_cast<float>(type->particlesPerSecondVariation);
    const int n = type->particlesPerSecond + static_cast<int>(RandomRange(-variation, variation));
    return std::max(1, n);
}

void CParticleEmitter::Init(const ParticleSystemType* type, const D3DXVECTOR3& position,
                            const D3DXVECTOR3& direction, float delay)
{
    m_Type = type;
    m_Position = position;
    m_Direction = direction;
    m_Delay = delay;
    m_RemainingLife = type->systemLife;
    m_GenerationLeft = type->generationTime;
    m_Clock = 0.0f;
    m_FrameCounter = 0.0f;
    const int n = RateOf(type);
    m_Interval = 1.0f / static_cast<float>(n);
    m_Ring.assign(RingSize(n, type->particleLife + type->particleLifeVariation), Particle());
    SpawnParticle(m_Ring[0], position);
}

void CParticleEmitter::Refresh()
{
    const int n = RateOf(m_Type);
    m_Interval = 1.0f / static_cast<float>(n);
    m_Ring.resize(RingSize(n, m_Type->particleLife + m_Type->particleLifeVariation));
}

int CParticleEmitter::CountLive() const
{
    return static_cast<int>(std::count_if(m_Ring.begin(), m_Ring.end(), [](const Particle& p) { return !p.dead; }));
}

void CParticleEmitter::SpawnParticle(Particle& p, const D3DXVECTOR3& point)
{
    const ParticleSystemType& t = *m_Type;
    p = Particle();
    p.x = point.x;
    p.y = point.y;
    p.z = point.z;
    p.dead = false;
    p.spinScale = Varied(t.spinBase, t.spinVariation);
    p.spin = t.spinKeys[0].slope * p.spinScale;
    p.sizeScale = Varied(t.sizeBase, t.sizeVariation);
    p.size = t.sizeKeys[0].slope * p.sizeScale;
    p.red = t.colorKeys[0].red;
    p.green = t.colorKeys[0].green;
    p.blue = t.colorKeys[0].blue;
    p.alpha = t.transparenceKeys[0].slope;

    // Particles leave sideways to the view, to the side the angle's cosine
    // picks, and rise by its sine.
    const float a = (t.emissionAngle + RandomRange(-t.emissionRange, t.emissionRange)) * kDegrees;
    m_CameraDirection = DirectionFromYaw(getCamera().GetYaw());
    const float c = std::cos(a);
    const float side = c > 0.0f ? kQuarterTurn : (c < 0.0f ? -kQuarterTurn : 0.0f);
    const float h = YawFromDirection(m_CameraDirection) + side;
    p.dx = std::sin(h);
    p.dy = std::sin(a);
    p.dz = std::cos(h);

    p.speedScale = Varied(t.velocityBase, t.velocityVariation);
    p.speed = t.velocityKeys[0].slope * p.speedScale;
    p.weightScale = Varied(t.weightBase, t.weightVariation);
    p.weight = t.weightKeys[0].slope * p.weightScale;
    m_FrameCounter = std::fmod(m_FrameCounter + 1.0f, static_cast<float>(t.textureFrames));
    p.frame = m_FrameCounter;
    p.remaining = Varied(t.particleLife, t.particleLifeVariation);
    p.age = 0.0f;
}

void CParticleEmitter::StepParticle(Particle& p, float dt, bool standing)
{
    const ParticleSystemType& t = *m_Type;
    const float total = p.remaining + p.age;
    p.remaining -= dt;
    p.age += dt;
    if (p.remaining <= 0.0f) {
        if (standing) {
            p.remaining = 0.0f;
            p.age = t.particleLife;
        } else {
            p.dead = true;
        }
        return;
    }
    const float f = dt / total;

    Advance(t.sizeKeys, p.sizeKey, total, p.age);
    p.size += p.sizeScale * f * KeyAt(t.sizeKeys, p.sizeKey).slope;
    Advance(t.transparenceKeys, p.transparenceKey, total, p.age);
    p.alpha += t.transparenceBase * f * KeyAt(t.transparenceKeys, p.transparenceKey).slope;
    Advance(t.colorKeys, p.colorKey, total, p.age);
    const ParticleColorKey& colour = KeyAt(t.colorKeys, p.colorKey);
    p.red += t.colorBase[0] * f * colour.red;
    p.green += t.colorBase[1] * f * colour.green;
    p.blue += t.colorBase[2] * f * colour.blue;
    Advance(t.velocityKeys, p.velocityKey, total, p.age);
    p.speed += p.speedScale * f * KeyAt(t.velocityKeys, p.velocityKey).slope;
    Advance(t.weightKeys, p.weightKey, total, p.age);
    p.weight += p.weightScale * f * KeyAt(t.weightKeys, p.weightKey).slope;
    Advance(t.spinKeys, p.spinKey, total, p.age);
    p.spin += p.spinScale * f * KeyAt(t.spinKeys, p.spinKey).slope;

    p.x += p.dx * p.speed * dt;
    p.z += p.dz * p.speed * dt;
    // Gravity is taken once per step, not scaled by it: the effects were
    // tuned on the fixed particle step.
    p.y += p.dy * p.speed * dt - t.gravity * p.age * p.weight;
}

void CParticleEmitter::Update(float dt)
{
    m_Delay -= dt;
    if (m_Delay > 0.0f)
        return;
    m_Clock += dt;
    m_RemainingLife -= dt;
    m_GenerationLeft -= dt;
    int births = 0;
    if (m_Interval <= m_Clock && m_GenerationLeft > 0.0f) {
        births = static_cast<int>(m_Clock / m_Interval);
        m_Clock -= static_cast<float>(births) * m_Interval;
    }
    for (Particle& p : m_Ring) {
        if (!p.dead) {
            StepParticle(p, dt, false);
        } else if (births > 0) {
            SpawnParticle(p, m_Position);
            --births;
        }
    }
}

void CParticleSystem::Init(const ParticleSystemType* type)
{
    m_Type = type;
    m_Position = D3DXVECTOR3(0, 0, 0);
    m_Direction = D3DXVECTOR3(0, 0, 0);
    m_Delay = 0.0f;
    m_RemainingLife = type->systemLife;
    m_GenerationLeft = type->generationTime;
    m_Clock = 0.0f;
    m_FrameCounter = 0.0f;
    m_Interval = 1.0f;
    m_Ring.assign(RingSize(type->particlesPerSecond, 0.0f), Particle());
    m_WriteIndex = 0;
}

void CParticleSystem::Update(float dt)
{
    for (Particle& p : m_Ring)
        if (!p.dead)
            StepParticle(p, dt, true);
}

Particle& CParticleSystem::AddParticle(float x, float y, float z, float nx, float ny, float nz, float ux, float uy,
                                       float uz)
{
    Particle& p = m_Ring[m_WriteIndex];
    m_WriteIndex = (m_WriteIndex + 1) % static_cast<unsigned>(m_Ring.size());
    SpawnParticle(p, D3DXVECTOR3(x, y, z));
    p.dx = 1.0f;
    p.dy = 0.0f;
    p.dz = 0.0f;
    p.normal[0] = nx;
    p.normal[1] = ny;
    p.normal[2] = nz;
    p.up[0] = ux;
    p.up[1] = uy;
    p.up[2] = uz;
    return p;
}
