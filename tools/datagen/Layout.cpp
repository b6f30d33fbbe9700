#include "datagen/Layout.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "xml/XMLParser.h"

namespace datagen {

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;

class LayoutParser : public CXMLParser {
public:
    explicit LayoutParser(LevelLayout& layout) : m_Layout(layout) {}

    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        if (!m_Problem.empty())
            return;
        if (name == "layout") {
            m_Layout.level = a.GetString("level", "");
        } else if (name == "material") {
            LayoutMaterial m;
            m.name = a.GetString("name", "");
            m.diffuse = a.GetString("diffusemap", "");
            m.lightmap = a.GetString("lightmap", "");
            m.normal = a.GetString("normalmap", "");
            m.tile = a.GetFloat("tile", 100.0f);
            if (m.name.empty() || m.diffuse.empty())
                m_Problem = "a material needs a name and a diffusemap";
            else if (!(m.tile > 0))
                m_Problem = "material " + m.name + " has a tile that is not positive";
            m_Layout.materials.push_back(m);
        } else if (name == "object") {
            ReadObject(a);
        } else {
            m_Problem = "unknown element <" + name + ">";
        }
    }

    const std::string& Problem() const { return m_Problem; }

private:
    void ReadObject(CXMLAttributes& a)
    {
        LayoutObject o;
        o.name = a.GetString("name", "");
        const std::string shape = a.GetString("shape", "");
        o.size = a.GetVect3f("size", 0, 0, 0);
        o.position = a.GetVect3f("position", 0, 0, 0);
        o.yawDegrees = a.GetFloat("yaw", 0.0f);
        o.material = a.GetString("material", "");
        o.vertexType = static_cast<MeshVertexType>(a.GetInt("vertex", MESH_NORMAL_TANGENT_TEXTURED_VERTEX));
        o.segments = a.GetInt("segments", 16);

        const std::string what = "object " + o.name;
        if (shape == "box") o.shape = LayoutShape::Box;
        else if (shape == "floor") o.shape = LayoutShape::Floor;
        else if (shape == "cylinder") o.shape = LayoutShape::Cylinder;
        else if (shape == "wedge") o.shape = LayoutShape::Wedge;
        else if (shape == "sky") o.shape = LayoutShape::Sky;
        else {
            m_Problem = what + " has the unknown shape \"" + shape + "\"";
            return;
        }
        const bool flat = o.shape == LayoutShape::Floor;
        if (o.name.empty())
            m_Problem = "an object needs a name";
        else if (!(o.size.x > 0) || !(o.size.z > 0) || (!flat && !(o.size.y > 0)))
            m_Problem = what + " has a size that is not positive";
        else if (MeshVertexSize(o.vertexType) == 0)
            m_Problem = what + " asks for vertex type " + std::to_string(o.vertexType);
        else if (o.shape == LayoutShape::Cylinder && (o.segments < 3 || o.segments > 256))
            m_Problem = what + " has " + std::to_string(o.segments) + " segments";
        m_Layout.objects.push_back(o);
    }

    LevelLayout& m_Layout;
    std::string m_Problem;
};

// What the elements cannot say one by one: names are unique and every
// object's material exists.
std::string CheckWhole(const LevelLayout& layout)
{
    if (layout.level.empty())
        return "the layout names no level";
    std::set<std::string> names;
    for (const LayoutMaterial& m : layout.materials)
        if (!names.insert(m.name).second)
            return "material " + m.name + " is defined twice";
    names.clear();
    for (const LayoutObject& o : layout.objects) {
        if (!names.insert(o.name).second)
            return "object " + o.name + " is placed twice";
        if (!layout.FindMaterial(o.material))
            return "object " + o.name + " uses the undefined material \"" + o.material + "\"";
    }
    return "";
}

} // namespace

D3DXMATRIX LayoutObject::Transform() const
{
    D3DXMATRIX rotation, translation, world;
    D3DXMatrixRotationY(&rotation, yawDegrees * kDegrees);
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
    D3DXMatrixMultiply(&world, &rotation, &translation);
    return world;
}

float LayoutObject::Radius() const
{
    // Solids stand on their origin, so the far corner is a whole height up;
    // the sky is centred, so half of it.
    const float height = shape == LayoutShape::Sky ? size.y / 2 : size.y;
    return std::sqrt(size.x * size.x / 4 + height * height + size.z * size.z / 4);
}

const LayoutMaterial* LevelLayout::FindMaterial(const std::string& name) const
{
    for (const LayoutMaterial& m : materials)
        if (m.name == name)
            return &m;
    return nullptr;
}

bool LevelLayout::GroundAt(float x, float z, float& height) const
{
    bool found = false;
    for (const LayoutObject& o : objects) {
        if (o.shape == LayoutShape::Sky)
            continue;
        // Into the object's frame: undo the move, then the turn.
        D3DXMATRIX unturn;
        D3DXMatrixRotationY(&unturn, -o.yawDegrees * kDegrees);
        const D3DXVECTOR3 offset(x - o.position.x, 0, z - o.position.z);
        D3DXVECTOR3 local;
        D3DXVec3TransformCoord(&local, &offset, &unturn);
        const float hx = o.size.x / 2, hz = o.size.z / 2;
        float top = o.size.y;
        if (o.shape == LayoutShape::Cylinder) {
            if ((local.x * local.x) / (hx * hx) + (local.z * local.z) / (hz * hz) > 1)
                continue;
        } else if (std::fabs(local.x) > hx || std::fabs(local.z) > hz) {
            continue;
        }
        if (o.shape == LayoutShape::Floor)
            top = 0;
        else if (o.shape == LayoutShape::Wedge)
            top = o.size.y * (hz - local.z) / (2 * hz);
        if (!found || o.position.y + top > height)
            height = o.position.y + top;
        found = true;
    }
    return found;
}

bool ParseLayout(const std::string& xml, LevelLayout& out, std::string& error)
{
    out = LevelLayout();
    LayoutParser parser(out);
    std::istringstream in(xml);
    if (!parser.Parse(in, "layout")) {
        error = parser.GetErrorText();
        return false;
    }
    error = parser.Problem().empty() ? CheckWhole(out) : parser.Problem();
    return error.empty();
}

bool ReadLayout(const std::string& file, LevelLayout& out, std::string& error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open " + file;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!ParseLayout(text.str(), out, error)) {
        error = file + ": " + error;
        return false;
    }
    return true;
}

std::vector<std::string> LevelLayoutFiles()
{
    const std::string folder = std::string(VANTOREL_TOOLS_DIR) + "/datagen/layout/";
    return {folder + "hangares.xml", folder + "isla.xml"};
}

} // namespace datagen
