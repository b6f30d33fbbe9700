#include "datagen/Layout.h"

#include "world/CollisionManager.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <set>
#include <sstream>
#include <utility>

#include "xml/XMLParser.h"

namespace datagen {

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;
// How far a parapet may stand from the surface under it, and from its object.
constexpr float kGroundTolerance = 2.0f;
constexpr float kParapetReach = 120.0f;

// Strict readers for the elements placed in the world: the attribute must be
// there and hold exactly its numbers, all finite. A light or a cover segment
// that silently lands at the origin is worse than a refused file.
bool ReadNumbers(const CXMLAttributes& a, const char* name, float* out, int count)
{
    const auto found = a.find(name);
    if (found == a.end())
        return false;
    std::istringstream in(found->second);
    in.imbue(std::locale::classic());
    for (int i = 0; i < count; ++i)
        if (!(in >> out[i]) || !std::isfinite(out[i]))
            return false;
    in >> std::ws;
    return in.eof();
}

bool ReadVector(const CXMLAttributes& a, const char* name, D3DXVECTOR3& out)
{
    float v[3];
    if (!ReadNumbers(a, name, v, 3))
        return false;
    out = D3DXVECTOR3(v[0], v[1], v[2]);
    return true;
}

// "p_b_n_A_B" and an optional "_" plus digits: the game reads the letters at
// fixed places, so anything else would give it letters it does not expect.
bool IsParapetName(const std::string& name)
{
    if (name.size() < 9 || name[0] != 'p')
        return false;
    for (std::size_t i : {1u, 3u, 5u, 7u})
        if (name[i] != '_')
            return false;
    if ((name[2] != 'a' && name[2] != 'b') || (name[4] != 's' && name[4] != 'n') ||
        !std::isupper(static_cast<unsigned char>(name[6])) || (name[8] != 'B' && name[8] != 'P'))
        return false;
    if (name.size() == 9)
        return true;
    if (name[9] != '_' || name.size() == 10)
        return false;
    for (std::size_t i = 10; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

// RotationY(yaw) x Translation(position), as the game places its entities.
D3DXMATRIX Placement(const D3DXVECTOR3& position, float yawDegrees)
{
    D3DXMATRIX rotation, translation, world;
    D3DXMatrixRotationY(&rotation, yawDegrees * kDegrees);
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
    D3DXMatrixMultiply(&world, &rotation, &translation);
    return world;
}

// (x, z) in the object's own frame: undo the move, then the turn.
D3DXVECTOR3 ToObjectFrame(const LayoutObject& o, float x, float z)
{
    D3DXMATRIX unturn;
    D3DXMatrixRotationY(&unturn, -o.yawDegrees * kDegrees);
    const D3DXVECTOR3 offset(x - o.position.x, 0, z - o.position.z);
    D3DXVECTOR3 local;
    D3DXVec3TransformCoord(&local, &offset, &unturn);
    return local;
}

class LayoutParser : public CXMLParser {
public:
    explicit LayoutParser(LevelLayout& layout) : m_Layout(layout) {}

    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        if (!m_Problem.empty())
            return;
        // The rigid animations have a reader of their own.
        if (m_RigidDepth || name == "rigid_animations") {
            ++m_RigidDepth;
            return;
        }
        if (m_InObject && name != "parapet") {
            m_Problem = "<" + name + "> inside object " + m_Layout.objects.back().name;
            return;
        }
        if (name == "parapet") {
            ReadParapet(a);
        } else if (name == "light") {
            ReadLight(a);
        } else if (name == "layout") {
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
            m_InObject = true;
        } else if (name == "collision") {
            ReadCollision(a);
        } else if (name == "prop") {
            ReadProp(a);
        } else if (name == "enemy") {
            // The enemy lists read these themselves (EnemyLists.h).
        } else if (name == "trigger") {
            ReadTrigger(a);
        } else {
            m_Problem = "unknown element <" + name + ">";
        }
    }

    void OnEndElement(const std::string& name) override
    {
        if (m_RigidDepth)
            --m_RigidDepth;
        else if (name == "object")
            m_InObject = false;
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
        o.cover = a.GetString("cover", "");

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
        else if (!o.cover.empty() && o.cover != "low" && o.cover != "high")
            m_Problem = what + " asks for the unknown cover \"" + o.cover + "\"";
        else if (!o.cover.empty() && o.shape != LayoutShape::Box)
            m_Problem = what + " asks for cover but is no box";
        m_Layout.objects.push_back(o);
    }

    void ReadCollision(CXMLAttributes& a)
    {
        LayoutCollision c;
        c.object = a.GetString("object", "");
        c.steps = a.GetString("steps", "");
        c.name = a.GetString("name", "");
        c.solid = a.GetString("solid", "yes") != "no";
        c.hasPlayer = a.count("player") != 0;
        c.unseen = a.count("size") != 0;
        c.shots = a.GetString("shots", c.shots);
        const std::string what = "collision " + (c.name.empty() ? c.object + c.steps : c.name);
        const int kinds = int(c.hasPlayer) + int(!c.object.empty()) + int(!c.steps.empty()) + int(c.unseen);
        if (kinds != 1)
            m_Problem = what + " needs one of player, object, steps or size";
        else if (c.hasPlayer && !ReadVector(a, "player", c.player))
            m_Problem = "the player's start needs three numbers";
        else if (!c.name.empty() && c.name.compare(0, 4, "col_") != 0)
            m_Problem = what + ": a collision name starts with col_";
        else if ((!c.steps.empty() || c.unseen) && c.name.empty())
            m_Problem = what + " needs a name";
        else if (c.unseen && (!ReadVector(a, "size", c.size) || !ReadVector(a, "position", c.position) ||
                              (a.count("yaw") && !ReadNumbers(a, "yaw", &c.yawDegrees, 1)) || !(c.size.x > 0) ||
                              !(c.size.y > 0) || !(c.size.z > 0)))
            m_Problem = what + " needs a positive size, a position and a yaw of numbers";
        else if (a.count("shots") && (!c.unseen || (c.shots != "unmarked" && c.shots != "through" && c.shots != "marked")))
            m_Problem = what + ": shots is unmarked, through or marked, on an unseen box";
        else
            m_Layout.collisions.push_back(c);
    }

    void ReadProp(CXMLAttributes& a)
    {
        LayoutProp p;
        p.name = a.GetString("name", "");
        const std::string what = "prop " + p.name;
        // Weapons lying about carry the rounds they give.
        const std::string ammo = a.GetString("ammo", "0");
        char* end = nullptr;
        const long rounds = std::strtol(ammo.c_str(), &end, 10);
        if (!PropKindOfName(p.name) && !IsWeaponPickupName(p.name))
            m_Problem = what + ": the name is of no prop family and no weapon";
        else if (!ReadVector(a, "position", p.position))
            m_Problem = what + " needs a position of three numbers";
        else if (a.count("yaw") && !ReadNumbers(a, "yaw", &p.yawDegrees, 1))
            m_Problem = what + " has a yaw that is not a number";
        else if (end == ammo.c_str() || *end || rounds < 0 || rounds > 65535)
            m_Problem = what + " carries " + ammo + " rounds";
        else {
            p.ammo = static_cast<int>(rounds);
            m_Layout.props.push_back(p);
        }
    }

    void ReadParapet(CXMLAttributes& a)
    {
        LayoutParapet p;
        p.name = a.GetString("name", "");
        const std::string what = "parapet " + p.name;
        if (!m_InObject)
            m_Problem = what + " stands outside any object";
        else if (!IsParapetName(p.name))
            m_Problem = "parapet name \"" + p.name + "\" does not follow p_<a|b>_<s|n>_<zone>_<B|P>[_number]";
        else if (!ReadVector(a, "position", p.position))
            m_Problem = what + " needs a position of three numbers";
        else if (a.count("yaw") && !ReadNumbers(a, "yaw", &p.yawDegrees, 1))
            m_Problem = what + " has a yaw that is not a number";
        else if (!ReadNumbers(a, "length", &p.length, 1) || !(p.length > 0))
            m_Problem = what + " needs a positive length";
        else
            m_Layout.objects.back().parapets.push_back(p);
    }

    void ReadTrigger(CXMLAttributes& a)
    {
        LayoutTrigger t;
        t.name = a.GetString("name", "");
        const std::string what = "trigger " + t.name;
        if (t.name.empty())
            m_Problem = "a trigger needs a name";
        else if (!ReadVector(a, "position", t.position))
            m_Problem = what + " needs a position of three numbers";
        else if (!ReadVector(a, "size", t.size) || !(t.size.x > 0) || !(t.size.y > 0) || !(t.size.z > 0))
            m_Problem = what + " needs a positive size";
        else
            m_Layout.triggers.push_back(t);
    }

    void ReadLight(CXMLAttributes& a)
    {
        LayoutLight light;
        const std::string what = "light " + std::to_string(m_Layout.lights.size() + 1);
        if (!ReadVector(a, "position", light.position) || !ReadVector(a, "target", light.target)) {
            m_Problem = what + " needs a position and a target of three numbers each";
            return;
        }
        const D3DXVECTOR3 forward = light.target - light.position;
        const float across = forward.x * forward.x + forward.z * forward.z;
        // Up crossed with a forward that is (nearly) vertical has no length
        // left to normalise into the view's right vector.
        if (!(across > 1e-6f * (across + forward.y * forward.y)))
            m_Problem = what + " looks straight up or down";
        else
            m_Layout.lights.push_back(light);
    }

    LevelLayout& m_Layout;
    std::string m_Problem;
    bool m_InObject = false;
    int m_RigidDepth = 0;
};

// Whether the parapet can be used as the game uses it: its line on the
// ground, beside its object and facing away from it.
std::string CheckParapet(const LevelLayout& layout, const LayoutObject& o, const LayoutParapet& p)
{
    const std::string what = "parapet " + p.name + " of " + o.name;
    for (const D3DXVECTOR3& point : {p.position, p.Start(), p.End()}) {
        float ground = 0;
        if (!layout.GroundAt(point.x, point.z, ground))
            return what + " has no ground under it";
        if (std::fabs(ground - point.y) > kGroundTolerance)
            return what + " is not on the ground (" + std::to_string(ground) + " under " +
                   std::to_string(point.y) + ")";
    }
    if (o.Covers(p.position.x, p.position.z))
        return what + " stands on its object";
    // Beside a crate, on the roof of the house it leans on, nothing hides.
    if (o.position.y + o.size.y <= p.position.y + kGroundTolerance)
        return what + " stands above its object's top";
    const D3DXVECTOR3 local = ToObjectFrame(o, p.position.x, p.position.z);
    const float outX = std::fmax(std::fabs(local.x) - o.size.x / 2, 0.0f);
    const float outZ = std::fmax(std::fabs(local.z) - o.size.z / 2, 0.0f);
    if (std::sqrt(outX * outX + outZ * outZ) > kParapetReach)
        return what + " is too far from its object";
    const D3DXVECTOR3 facing = p.Facing();
    if (facing.x * (p.position.x - o.position.x) + facing.z * (p.position.z - o.position.z) <= 0)
        return what + " faces into its object";
    return "";
}

// Whether the hero can walk into the trigger: its floor lies on the ground.
std::string CheckTrigger(const LevelLayout& layout, const LayoutTrigger& t)
{
    float ground = 0;
    if (!layout.GroundAt(t.position.x, t.position.z, ground))
        return "trigger " + t.name + " has no ground under it";
    if (std::fabs(ground - t.position.y) > kGroundTolerance)
        return "trigger " + t.name + " is not on the ground (" + std::to_string(ground) + " under " +
               std::to_string(t.position.y) + ")";
    return "";
}

// What the elements cannot say one by one: names are unique, every object's
// material exists, and every parapet and trigger stands where it can be used.
std::string CheckWhole(const LevelLayout& layout)
{
    if (layout.level.empty())
        return "the layout names no level";
    std::set<std::string> names;
    for (const LayoutMaterial& m : layout.materials)
        if (!names.insert(m.name).second)
            return "material " + m.name + " is defined twice";
    names.clear();
    std::set<std::string> parapets;
    for (const LayoutObject& o : layout.objects) {
        if (!names.insert(o.name).second)
            return "object " + o.name + " is placed twice";
        if (!layout.FindMaterial(o.material))
            return "object " + o.name + " uses the undefined material \"" + o.material + "\"";
        for (const LayoutParapet& p : o.parapets) {
            if (!parapets.insert(p.name).second)
                return "parapet " + p.name + " is placed twice";
            const std::string problem = CheckParapet(layout, o, p);
            if (!problem.empty())
                return problem;
        }
    }
    names.clear();
    for (const LayoutTrigger& t : layout.triggers) {
        if (!names.insert(t.name).second)
            return "trigger " + t.name + " is placed twice";
        const std::string problem = CheckTrigger(layout, t);
        if (!problem.empty())
            return problem;
    }
    // The game keeps props by name: a second one would replace the first.
    // Weapons lying about are checked on the ground with the shipped data: a
    // layout may carry one anywhere.
    std::set<std::string> props;
    for (const LayoutProp& p : layout.props) {
        if (!props.insert(p.name).second)
            return "prop " + p.name + " is placed twice";
        if (!PropKindOfName(p.name))
            continue;
        float ground = 0;
        if (!layout.GroundAt(p.position.x, p.position.z, ground))
            return "prop " + p.name + " has no ground under it";
        if (std::fabs(ground - p.position.y) > kGroundTolerance)
            return "prop " + p.name + " is not on the ground (" + std::to_string(ground) + " under " +
                   std::to_string(p.position.y) + ")";
    }
    return "";
}

// How far out from its face a parapet runs: where the character stands or
// crouches with his back to the face.
constexpr float kCoverClearance = 30.0f;

// The hero's cover along the faces of the boxes that ask for it, each face
// that has no placed parapet and open ground along it.
std::vector<LayoutParapet> FaceCover(const LevelLayout& layout)
{
    std::vector<LayoutParapet> cover;
    for (const LayoutObject& o : layout.objects) {
        if (o.cover.empty())
            continue;
        const float turn = o.yawDegrees * kDegrees;
        const D3DXVECTOR3 xAxis(std::cos(turn), 0, -std::sin(turn)), zAxis(std::sin(turn), 0, std::cos(turn));
        const struct {
            D3DXVECTOR3 out;
            float depth, length;
        } faces[] = {{xAxis, o.size.x, o.size.z}, {-xAxis, o.size.x, o.size.z},
                     {zAxis, o.size.z, o.size.x}, {-zAxis, o.size.z, o.size.x}};
        for (const auto& face : faces) {
            if (face.length < kFaceCoverShortest)
                continue;
            bool placed = false;
            for (const LayoutParapet& own : o.parapets) {
                const D3DXVECTOR3 facing = own.Facing();
                placed = placed || facing.x * face.out.x + facing.z * face.out.z > 0.7f;
            }
            if (placed)
                continue;
            LayoutParapet p;
            p.name = std::string("p_") + (o.cover == "high" ? "a" : "b") + "_n_H_B_" +
                     std::to_string(7000 + cover.size());
            p.position = o.position + face.out * (face.depth / 2 + kCoverClearance);
            p.yawDegrees = std::atan2(face.out.x, face.out.z) / kDegrees;
            p.length = face.length;
            // A face against a wall, a step or the water has nowhere to crouch.
            if (CheckParapet(layout, o, p).empty())
                cover.push_back(p);
        }
    }
    return cover;
}

} // namespace

D3DXMATRIX LayoutObject::Transform() const
{
    return Placement(position, yawDegrees);
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

bool LayoutObject::Covers(float x, float z) const
{
    const D3DXVECTOR3 local = ToObjectFrame(*this, x, z);
    const float hx = size.x / 2, hz = size.z / 2;
    if (shape == LayoutShape::Cylinder)
        return (local.x * local.x) / (hx * hx) + (local.z * local.z) / (hz * hz) <= 1;
    return std::fabs(local.x) <= hx && std::fabs(local.z) <= hz;
}

D3DXMATRIX LayoutProp::Transform() const
{
    const PropKind* kind = PropKindOfName(name);
    const float half = kind ? kind->halfExtents[1] : 0.0f;
    return Placement(position + D3DXVECTOR3(0, half, 0), yawDegrees);
}

D3DXMATRIX LayoutParapet::Transform() const
{
    return Placement(position, yawDegrees);
}

D3DXVECTOR3 LayoutParapet::Facing() const
{
    const D3DXMATRIX world = Transform();
    return D3DXVECTOR3(world._31, world._32, world._33);
}

D3DXVECTOR3 LayoutParapet::Start() const
{
    // The facing turned a quarter to the right: (-cos yaw, 0, sin yaw), the
    // world being right-handed (a body facing +z has -x on its right).
    const D3DXVECTOR3 facing = Facing();
    const D3DXVECTOR3 right(-facing.z, 0, facing.x);
    return position + right * (length / 2);
}

D3DXVECTOR3 LayoutParapet::End() const
{
    const D3DXVECTOR3 facing = Facing();
    const D3DXVECTOR3 right(-facing.z, 0, facing.x);
    return position - right * (length / 2);
}

bool LevelLayout::GroundAt(float x, float z, float& height) const
{
    // Floors, slopes and solids a foot fits on first; then the narrow ones
    // (a fence, a pole, a cable, a banner) where they rise from that ground,
    // walls to crouch against or climb onto, and not where they hang over it.
    bool found = false;
    for (int pass = 0; pass < 2; ++pass) {
        const bool wide = pass == 0;
        const float under = height;
        const bool anythingUnder = found;
        for (const LayoutObject& o : objects) {
            if (o.shape == LayoutShape::Sky || !o.Covers(x, z))
                continue;
            float top = o.size.y;
            if (o.shape == LayoutShape::Floor)
                top = 0;
            else if (o.shape == LayoutShape::Wedge)
                top = o.size.y * (o.size.z / 2 - ToObjectFrame(o, x, z).z) / o.size.z;
            const bool narrow = o.shape != LayoutShape::Floor && o.shape != LayoutShape::Wedge &&
                                std::fmin(o.size.x, o.size.z) < kNarrowestFoothold;
            if (narrow == wide || (narrow && anythingUnder && o.position.y > under + kStandingGap))
                continue;
            if (!found || o.position.y + top > height)
                height = o.position.y + top;
            found = true;
        }
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
    if (error.empty())
        out.faceCover = FaceCover(out);
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

bool ReadLevelLayouts(std::vector<LevelLayout>& layouts, Output& out)
{
    bool all = true;
    for (const std::string& file : LevelLayoutFiles()) {
        LevelLayout layout;
        std::string error;
        if (ReadLayout(file, layout, error)) {
            layouts.push_back(std::move(layout));
        } else {
            out.Fail(error);
            all = false;
        }
    }
    return all;
}

} // namespace datagen
