// The particle-system types of "data/XML/particleTypes.xml": how each effect
// is born, lives and looks. Emitters point at these records, so a reload
// rewrites them in place.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/bounded.h"
#include "xml/XMLParser.h"

struct IDirect3DTexture9;

// One key of a curve: where on the particle's life it lies (0 birth, 1 end)
// and the change per unit of life since the previous key (a first key at 0
// holds the start value itself).
struct ParticleKey {
    float frame;
    float slope;
};

struct ParticleColorKey {
    float frame;
    float red, green, blue;
};

struct ParticleSystemType {
    std::string name;
    float systemLife = 0.0f;
    float generationTime = 0.0f;
    float sizeBase = 0.0f, sizeVariation = 0.0f;
    std::vector<ParticleKey> sizeKeys;
    int particlesPerSecond = 0, particlesPerSecondVariation = 0;
    float particleLife = 0.0f, particleLifeVariation = 0.0f;
    IDirect3DTexture9* texture = nullptr;
    int textureFrames = 0;
    float textureFramesReciprocal = 0.0f;
    float gravity = 0.0f;
    float weightBase = 0.0f, weightVariation = 0.0f;
    std::vector<ParticleKey> weightKeys;
    float emissionAngle = 0.0f, emissionRange = 0.0f;
    float velocityBase = 0.0f, velocityVariation = 0.0f;
    std::vector<ParticleKey> velocityKeys;
    float spinBase = 0.0f, spinVariation = 0.0f;
    std::vector<ParticleKey> spinKeys;
    float transparenceBase = 0.0f;
    std::vector<ParticleKey> transparenceKeys;
    float colorBase[3] = {0.0f, 0.0f, 0.0f};
    std::vector<ParticleColorKey> colorKeys;
};

class CParticleType : public CXMLParser {
public:
    CParticleType() = default;
    ~CParticleType() override;
    CParticleType(const CParticleType&) = delete;
    CParticleType& operator=(const CParticleType&) = delete;

    // Reads the file; types already known are updated where they stand. A
    // type that cannot be used (fps 0, no texture frames, a curve without
    // keys, too many keys, a number out of range) is left out, each fault
    // said in one line with the file and the types it left out; the others
    // still load. False when the file is missing or broken.
    bool Load(const char* file);
    // Whether the last load has said why there is no type of that name: the
    // file was not read whole, or the type was left out.
    bool Explains(const std::string& name) const;
    // Whether it has said that it left out anything at all.
    bool LeftOutAny() const { return !m_Read || !m_LeftOut.empty(); }
    ParticleSystemType* FindSystemType(const std::string& name) const;
    // The device and its textures went: every type draws untextured until the
    // next load gives each its texture on the device made then.
    void ForgetTextures();
    std::size_t GetTypeCount() const { return m_Types.size(); }

    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
    void OnEndElement(const std::string& name) override;

private:
    void Refuse(const std::string& fault);
    // The attribute, or its default with the type refused when it is out of range.
    float Real(CXMLAttributes& attributes, const char* name, float def);
    int Whole(CXMLAttributes& attributes, const char* name, int def, int low, int high);

    std::map<std::string, ParticleSystemType*> m_Types;
    std::set<std::string> m_LeftOut;
    bounded::FaultTally m_Faults;
    bool m_Read = true;
    std::string m_File;
    ParticleSystemType m_Current;
    bool m_InSystem = false;
    std::string m_Fault;
    int m_Fps = 30;
    std::vector<ParticleKey> m_Keys;
    std::vector<ParticleColorKey> m_ColorKeys;
    ParticleKey m_Previous{0.0f, 0.0f};
    ParticleColorKey m_PreviousColor{0.0f, 1.0f, 1.0f, 1.0f};
};

CParticleType& getParticleTypes();
