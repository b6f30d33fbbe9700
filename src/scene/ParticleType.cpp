#include "scene/ParticleType.h"

#include "platform/bounded.h"
#include "render/TextureManager.h"
#include "xml/XMLAttributes.h"

namespace {

// More keys than any curve needs; a file asking for more is broken.
constexpr std::size_t kMaxKeys = 256;
constexpr std::size_t kMaxTypes = 1024;
// Rates, frame rates and times beyond these are typing errors, and would
// overflow the ring sizes made from them.
constexpr int kMaxRate = 10000;
constexpr int kMaxFps = 1000;
constexpr float kMaxMagnitude = 1.0e8f;

// The slope from the previous key to (frame, value); a key on the previous
// frame holds its value itself.
float Slope(float previousFrame, float previousValue, float frame, float value)
{
    return frame == previousFrame ? value : (value - previousValue) / (frame - previousFrame);
}

} // namespace

CParticleType::~CParticleType()
{
    for (auto& entry : m_Types)
        delete entry.second;
}

bool CParticleType::Load(const char* file)
{
    m_File = file ? file : "";
    m_InSystem = false;
    m_LeftOut.clear();
    m_Read = LoadXMLSaying(m_File);
    // Every type of one fault in one line, however many the file has.
    m_Faults.SayAll(m_File);
    return m_Read;
}

bool CParticleType::Explains(const std::string& name) const
{
    return !m_Read || m_LeftOut.count(name) > 0;
}

ParticleSystemType* CParticleType::FindSystemType(const std::string& name) const
{
    auto found = m_Types.find(name);
    return found == m_Types.end() ? nullptr : found->second;
}

void CParticleType::ForgetTextures()
{
    for (auto& entry : m_Types)
        entry.second->texture = nullptr;
}

void CParticleType::Refuse(const std::string& fault)
{
    if (m_Fault.empty())
        m_Fault = fault;
}

float CParticleType::Real(CXMLAttributes& attributes, const char* name, float def)
{
    const float value = attributes.GetFloat(name, def);
    if (!(value >= -kMaxMagnitude && value <= kMaxMagnitude)) {
        Refuse(std::string(name) + " \"" + bounded::Echoed(attributes.GetString(name, "")) +
               "\" is not a number from -1e8 to 1e8");
        return def;
    }
    return value;
}

int CParticleType::Whole(CXMLAttributes& attributes, const char* name, int def, int low, int high)
{
    const int value = attributes.GetInt(name, def);
    if (value < low || value > high) {
        Refuse(std::string(name) + " \"" + bounded::Echoed(attributes.GetString(name, "")) +
               "\" is not a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        return def;
    }
    return value;
}

void CParticleType::OnStartElement(const std::string& name, CXMLAttributes& a)
{
    if (name == "PARTICLE_SYSTEM") {
        m_Current = ParticleSystemType();
        m_InSystem = true;
        m_Fault.clear();
        m_Current.name = a.GetString("name", "");
        m_Current.texture = getTextureManager().GetTexture(a.GetString("texture", ""));
        m_Current.textureFrames = Whole(a, "num_textures", 1, 1, 1024);
        m_Current.textureFramesReciprocal = 1.0f / static_cast<float>(m_Current.textureFrames);
        m_Fps = Whole(a, "fps", 30, 1, kMaxFps);
        const float fps = static_cast<float>(m_Fps);
        m_Current.systemLife = Real(a, "life_system", 1.0f) / fps;
        m_Current.emissionAngle = Real(a, "emission_angle", 0.0f);
        m_Current.generationTime = Real(a, "life_generation", 1.0f) / fps;
        m_Current.gravity = Real(a, "gravity", 0.0f);
        return;
    }
    if (!m_InSystem)
        return;
    const float fps = static_cast<float>(m_Fps);
    if (name == "PARTICLE") {
        m_Current.particlesPerSecond = Whole(a, "number", 1, -kMaxRate, kMaxRate);
        m_Current.particlesPerSecondVariation = Whole(a, "var_number", 0, -kMaxRate, kMaxRate);
        m_Current.particleLife = Real(a, "life", 30.0f) / fps;
        m_Current.particleLifeVariation = Real(a, "var_life", 0.0f) / fps;
        m_Current.emissionRange = Real(a, "emission_range", 0.0f);
        m_Keys.clear();
        m_ColorKeys.clear();
        m_Previous = {0.0f, 0.0f};
        m_PreviousColor = {0.0f, 1.0f, 1.0f, 1.0f};
    } else if (name == "SIZE") {
        m_Current.sizeBase = Real(a, "base", 1.0f);
        m_Current.sizeVariation = Real(a, "var_base", 0.0f);
    } else if (name == "VELOCITY") {
        m_Current.velocityBase = Real(a, "base", 1.0f);
        m_Current.velocityVariation = Real(a, "var_base", 0.0f);
    } else if (name == "WEIGHT") {
        m_Current.weightBase = Real(a, "base", 1.0f);
        m_Current.weightVariation = Real(a, "var_base", 0.0f);
    } else if (name == "SPIN") {
        m_Current.spinBase = Real(a, "base", 1.0f);
        m_Current.spinVariation = Real(a, "var_base", 0.0f);
    } else if (name == "TRANSPARENCE") {
        m_Current.transparenceBase = Real(a, "base", 1.0f);
    } else if (name == "COLOR") {
        m_Current.colorBase[0] = Real(a, "r", 255.0f) / 255.0f;
        m_Current.colorBase[1] = Real(a, "g", 255.0f) / 255.0f;
        m_Current.colorBase[2] = Real(a, "b", 255.0f) / 255.0f;
    } else if (name == "INSTANT") {
        const float frame = Real(a, "frame", 0.0f), value = Real(a, "value", 1.0f);
        if (m_Keys.size() >= kMaxKeys)
            return Refuse("too many keys in a curve");
        m_Keys.push_back({frame, Slope(m_Previous.frame, m_Previous.slope, frame, value)});
        m_Previous = {frame, value};
    } else if (name == "INSTANT3") {
        const float frame = Real(a, "frame", 0.0f);
        const float rgb[3] = {Real(a, "r", 255.0f) / 255.0f, Real(a, "g", 255.0f) / 255.0f,
                              Real(a, "b", 255.0f) / 255.0f};
        if (m_ColorKeys.size() >= kMaxKeys)
            return Refuse("too many keys in the colour curve");
        const ParticleColorKey& p = m_PreviousColor;
        m_ColorKeys.push_back({frame, Slope(p.frame, p.red, frame, rgb[0]), Slope(p.frame, p.green, frame, rgb[1]),
                               Slope(p.frame, p.blue, frame, rgb[2])});
        m_PreviousColor = {frame, rgb[0], rgb[1], rgb[2]};
    }
}

void CParticleType::OnEndElement(const std::string& name)
{
    if (!m_InSystem)
        return;
    std::vector<ParticleKey>* curve = nullptr;
    if (name == "SIZE")
        curve = &m_Current.sizeKeys;
    else if (name == "VELOCITY")
        curve = &m_Current.velocityKeys;
    else if (name == "WEIGHT")
        curve = &m_Current.weightKeys;
    else if (name == "SPIN")
        curve = &m_Current.spinKeys;
    else if (name == "TRANSPARENCE")
        curve = &m_Current.transparenceKeys;
    if (curve) {
        *curve = m_Keys;
        m_Keys.clear();
        m_Previous = {0.0f, 0.0f};
        return;
    }
    if (name == "COLOR") {
        m_Current.colorKeys = m_ColorKeys;
        m_ColorKeys.clear();
        m_PreviousColor = {0.0f, 1.0f, 1.0f, 1.0f};
        return;
    }
    if (name != "PARTICLE_SYSTEM")
        return;
    m_InSystem = false;
    // Every birth reads the first key of each curve.
    if (m_Current.sizeKeys.empty() || m_Current.velocityKeys.empty() || m_Current.weightKeys.empty() ||
        m_Current.spinKeys.empty() || m_Current.transparenceKeys.empty() || m_Current.colorKeys.empty())
        Refuse("a curve without keys");
    ParticleSystemType*& slot = m_Types[m_Current.name];
    if (!slot && m_Types.size() > kMaxTypes)
        Refuse("too many types");
    if (!m_Fault.empty()) {
        m_Faults.Add(m_Fault + ": the type is left out", "type \"" + m_Current.name + "\"");
        m_LeftOut.insert(m_Current.name);
        if (!slot)
            m_Types.erase(m_Current.name);
        return;
    }
    if (slot)
        *slot = m_Current; // in place: running effects hold the record
    else
        slot = new ParticleSystemType(m_Current);
}

CParticleType& getParticleTypes()
{
    static CParticleType types;
    return types;
}
