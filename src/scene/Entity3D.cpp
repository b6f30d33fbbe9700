#include "scene/Entity3D.h"

#include <utility>

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
        m_Collecting = attributes.GetString("name", "") == m_Entity->m_Name;
    } else if (name == "render") {
        if (m_Collecting)
            m_Collected[attributes.GetString("state", "base")] = attributes.GetString("technique", "basicTech");
    }
}

void IEntidad3D::CEntityTechsParser::OnEndElement(const std::string& name)
{
    // The whole file is read even after the entity's element has closed, so
    // that a second element of the same name still adds its entries.
    if (name == "technique_associations" || (name == "Entity" && m_Collecting))
        m_Replace = true;
}

bool IEntidad3D::CEntityTechsParser::Load(const std::string& file)
{
    m_Collected.clear();
    m_Collecting = false;
    m_Replace = false;
    if (!LoadXML(file))
        return false;
    if (m_Replace)
        m_Entity->m_Techniques = m_Collected;
    return true;
}

// --- IEntidad3D --------------------------------------------------------------------

IEntidad3D::IEntidad3D()
    : m_Mesh(nullptr), m_Effect(nullptr), m_Radius(kDefaultRadius), m_Visible(true)
{
    D3DXMatrixIdentity(&m_PreviousWorld);
}

IEntidad3D::~IEntidad3D() = default;

void IEntidad3D::SetTextures(std::vector<IDirect3DTexture9*> textures)
{
    m_Textures = std::move(textures);
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
    CEntityTechsParser parser(this);
    parser.Load(kTechniquesFile);
}
