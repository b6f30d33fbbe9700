#include "scene/Entity3D.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "platform/bounded.h"
#include "platform/d3d9.h"
#include "platform/files.h"
#include "render/EffectManager.h"

namespace {

const char kTechniquesFile[] = "data/XML/techniques.xml";

// Wide enough that an entity nobody sized is never culled by mistake.
constexpr float kDefaultRadius = 5000.0f;

} // namespace

// --- IEntidad3D::CEntityTechsParser ------------------------------------------------

IEntidad3D::CEntityTechsParser::CEntityTechsParser(IEntidad3D* entity) : m_Entity(entity) {}

void IEntidad3D::CEntityTechsParser::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name == "Entity") {
        m_Current = attributes.GetString("name", "");
        m_InEntity = true;
    } else if (name == "render") {
        // A render after an entity's element has closed still belongs to the
        // entity named last.
        if (!m_InEntity)
            return;
        const std::string state = attributes.GetString("state", "base");
        const std::string technique = attributes.GetString("technique", "basicTech");
        m_Collected[m_Current][state] = technique;
        // A name the effect lacks draws nothing at all: a black scene where
        // every name is wrong.
        if (EffectHasTechnique(technique)) {
            m_Unknown[m_Current].erase(state);
            return;
        }
        m_Unknown[m_Current].insert(state);
        m_Faults.Add(std::string("names a technique ") + kEffectFile + " does not have: the entity draws with its own",
                     "technique \"" + bounded::Echoed(technique) + "\" of entity \"" + bounded::Echoed(m_Current) +
                         "\" pass \"" + bounded::Echoed(state) + "\"");
    }
}

void IEntidad3D::CEntityTechsParser::OnEndElement(const std::string& name)
{
    // The whole file is read even after an entity's element has closed, so
    // that a second element of the same name still adds its entries.
    if (name == "technique_associations")
        m_DocumentClosed = true;
    else if (name == "Entity" && m_InEntity)
        m_Closed[m_Current] = true;
}

bool IEntidad3D::CEntityTechsParser::Parse(const std::string& file)
{
    m_Collected.clear();
    m_Closed.clear();
    m_Unknown.clear();
    m_Current.clear();
    m_InEntity = false;
    m_DocumentClosed = false;
    // A broken file leaves every entity on its own defaults: said once, or
    // the level draws wrong with no word why.
    m_Parsed = LoadXMLSaying(file);
    // A refused file's entries are not used: nothing to say of them.
    m_Lines = m_Faults.TakeLines(file);
    if (!m_Parsed)
        m_Lines.clear();
    for (const std::string& line : m_Lines)
        bounded::SayOnce(line);
    return m_Parsed;
}

void IEntidad3D::CEntityTechsParser::Apply(IEntidad3D& entity) const
{
    if (!m_Parsed)
        return;
    if (!m_DocumentClosed && !m_Closed.count(entity.m_Name))
        return;
    for (const std::string& line : m_Lines)
        bounded::SayOnce(line);
    const auto found = m_Collected.find(entity.m_Name);
    std::map<std::string, std::string> techniques =
        found != m_Collected.end() ? found->second : std::map<std::string, std::string>();
    const auto unknown = m_Unknown.find(entity.m_Name);
    if (unknown != m_Unknown.end())
        for (const std::string& state : unknown->second) {
            const auto own = entity.m_Techniques.find(state);
            if (own != entity.m_Techniques.end())
                techniques[state] = own->second;
            else
                techniques.erase(state);
        }
    entity.m_Techniques = std::move(techniques);
}

bool IEntidad3D::CEntityTechsParser::EffectHasTechnique(const std::string& technique)
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    return !effect || effect->GetTechniqueByName(technique.c_str()) != nullptr;
}

bool IEntidad3D::CEntityTechsParser::Load(const std::string& file)
{
    if (!Parse(file))
        return false;
    if (m_Entity)
        Apply(*m_Entity);
    return true;
}

// --- IEntidad3D --------------------------------------------------------------------

IEntidad3D::IEntidad3D()
    : m_Mesh(nullptr), m_Effect(nullptr), m_Radius(kDefaultRadius), m_Visible(true)
{
    D3DXMatrixIdentity(&m_PreviousWorld);
}

IEntidad3D::~IEntidad3D()
{
    SetTextures({});
}

void IEntidad3D::SetTextures(std::vector<IDirect3DTexture9*> textures)
{
    for (IDirect3DTexture9* texture : textures)
        if (texture)
            texture->AddRef();
    for (IDirect3DTexture9* texture : m_Textures)
        if (texture)
            texture->Release();
    m_Textures = std::move(textures);
}

void IEntidad3D::SetTexture(std::size_t slot, IDirect3DTexture9* texture)
{
    std::vector<IDirect3DTexture9*> textures = m_Textures;
    if (slot >= textures.size())
        textures.resize(slot + 1, nullptr);
    textures[slot] = texture;
    SetTextures(std::move(textures));
}

IDirect3DTexture9* IEntidad3D::GetTexture(std::size_t slot) const
{
    return slot < m_Textures.size() ? m_Textures[slot] : nullptr;
}

std::string IEntidad3D::GetCurrentTechnique()
{
    return m_Techniques[m_CurrentPass];
}

void IEntidad3D::SetTechniqueMap(std::map<std::string, std::string> techniques)
{
    m_Techniques = std::move(techniques);
}

void IEntidad3D::LoadTechniques()
{
    // Parsed again only when the file's bytes change (a test or a modder may
    // rewrite it between loads); a file that cannot be read keeps nothing.
    static std::vector<unsigned char> cachedBytes;
    static std::unique_ptr<CEntityTechsParser> cached;
    std::vector<unsigned char> bytes;
    if (!platform::ReadWholeFile(kTechniquesFile, bytes)) {
        // One that is there but unreadable has been named by the read.
        if (FILE* file = platform::OpenFile(kTechniquesFile, "rb"))
            std::fclose(file);
        else
            bounded::SayOnce(bounded::Refusal(kTechniquesFile, "it is missing"));
        cached.reset();
        return;
    }
    if (!cached || bytes != cachedBytes) {
        cached = std::make_unique<CEntityTechsParser>(nullptr);
        cached->Parse(kTechniquesFile);
        cachedBytes = std::move(bytes);
    }
    cached->Apply(*this);
}
