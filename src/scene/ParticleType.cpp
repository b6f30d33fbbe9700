#include "scene/ParticleType.h"

#include "platform/win32.h"
#include "render/TextureManager.h"
#include "xml/XMLAttributes.h"

namespace {

// More keys than any curve needs; a file asking for more is broken.
constexpr std::size_t kMaxKeys = 256;
constexpr std::size_t kMaxTypes = 1024;

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
    const bool read = LoadXML(m_File);
    if (!read)
        OutputDebugStringA(("particle types: " + m_File + " could not be read\n").c_str());
    return read;
}

ParticleSystemType* CParticleType::FindSystemType(const std::string& name) const
{
    auto found = m_Types.find(name);
    return found == m_Types.end() ? nullptr : found->second;
}

void CParticleType::Refuse(const std::string& fault)
{
    if (m_Fault.empty())
        m_Fault = fault;
}

void CParticleType::OnStartElement(const std::string& name, CXMLAttributes& a)
{
    if (name == "PARTICLE_SYSTEM") {
        m_Current = ParticleSystemType();
        m_InSystem = true;
        m_Fault.clear();
        m_Current.name = a.GetString("name", "");
        m_Current.texture = getTextureManager().GetTexture(a.GetString("texture", ""));
        m_Current.textureFrames = a.GetInt("num_textures", 1);
        if (m_Current.textureFrames < 1)
            Refuse("num_textures below 1");
        else
            m_Current.textureFramesReciprocal = 1.0f / static_cast<float>(m_Current.textureFrames);
        m_Fps = a.GetInt("fps", 30);
        if (m_Fps == 0) {
            Refuse("fps 0");
            m_Fps = 30;
        }
        const float fps = static_cast<float>(m_Fps);
        m_Current.systemLife = a.GetFloat("life_system", 1.0f) / fps;
        m_Current.emissionAngle = a.GetFloat("emission_angle", 0.0f);
        m_Current.generationTime = a.GetFloat("life_generation", 1.0f) / fps;
        m_Current.gravity = a.GetFloat("gravity", 0.0f);
        return;
    }
    if (!m_InSystem)
        return;
    const float fps = static_cast<float>(m_Fps);
    if (name == "PARTICLE") {
        m_Current.particlesPerSecond = a.GetInt("number", 1);
        m_Current.particlesPerSecondVariation = a.GetInt("var_number", 0);
        m_Current.particleLife = a.GetFloat("life", 30.0f) / fps;
        m_Current.particleLifeVariation = a.GetFloat("var_life", 0.0f) / fps;
        m_Current.emissionRange = a.GetFloat("emission_range", 0.0f);
        m_Keys.clear();
        m_ColorKeys.clear();
        m_Previous = {0.0f, 0.0f};
        m_PreviousColor = {0.0f, 1.0f, 1.0f, 1.0f};
    } else if (name == "SIZE") {
        m_Current.sizeBase = a.GetFloat("base", 1.0f);
        m_Current.sizeVariation = a.GetFloat("var_base", 0.0f);
    } else if (name == "VELOCITY") {
        m_Current.velocityBase = a.GetFloat("base", 1.0f);
        m_Current.velocityVariation = a.GetFloat("var_base", 0.0f);
    } else if (name == "WEIGHT") {
        m_Current.weightBase = a.GetFloat("base", 1.0f);
        m_Current.weightVariation = a.GetFloat("var_base", 0.0f);
    } else if (name == "SPIN") {
        m_Current.spinBase = a.GetFloat("base", 1.0f);
        m_Current.spinVariation = a.GetFloat("var_base", 0.0f);
    } else if (name == "TRANSPARENCE") {
        m_Current.transparenceBase = a.GetFloat("base", 1.0f);
    } else if (name == "COLOR") {
        m_Current.colorBase[0] = a.GetFloat("r", 255.0f) / 255.0f;
        m_Current.colorBase[1] = a.GetFloat("g", 255.0f) / 255.0f;
        m_Current.colorBase[2] = a.GetFloat("b", 255.0f) / 255.0f;
    } else if (name == "INSTANT") {
        const float frame = a.GetFloat("frame", 0.0f), value = a.GetFloat("value", 1.0f);
        if (m_Keys.size() >= kMaxKeys)
            return Refuse("too many keys in a curve");
        m_Keys.push_back({frame, Slope(m_Previous.frame, m_Previous.slope, frame, value)});
        m_Previous = {frame, value};
    } else if (name == "INSTANT3") {
        const float frame = a.GetFloat("frame", 0.0f);
        const float rgb[3] = {a.GetFloat("r", 255.0f) / 255.0f, a.GetFloat("g", 255.0f) / 255.0f,
                              a.GetFloat("b", 255.0f) / 255.0f};
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
        OutputDebugStringA((m_File + ": particle type \"" + m_Current.name + "\" refused: " + m_Fault + "\n").c_str());
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
