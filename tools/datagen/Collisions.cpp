#include "datagen/Collisions.h"

#include <cctype>
#include <cmath>
#include <iomanip>
#include <locale>
#include <map>
#include <set>
#include <sstream>

namespace datagen {

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;
// Thick enough that a falling character never passes through in one step.
constexpr float kFloorThickness = 10.0f;
// A floor this close above the surface under it is painted on it.
constexpr float kDecalHeight = 1.0f;

// "name" matches itself; "prefix*" every name that begins so. A space
// separates several patterns. The length of the first matching pattern's
// fixed part, or npos when none matches.
size_t MatchLength(const std::string& patterns, const std::string& name)
{
    std::istringstream in(patterns);
    std::string p;
    while (in >> p) {
        if (!p.empty() && p.back() == '*' ? name.compare(0, p.size() - 1, p, 0, p.size() - 1) == 0 : name == p)
            return p.back() == '*' ? p.size() - 1 : p.size();
    }
    return std::string::npos;
}

bool Matches(const std::string& patterns, const std::string& name)
{
    return MatchLength(patterns, name) != std::string::npos;
}

D3DXMATRIX Turn(float yawDegrees)
{
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, yawDegrees * kDegrees);
    return m;
}

D3DXVECTOR3 Apply(const D3DXVECTOR3& v, const D3DXMATRIX& m)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

// The four ground corners of a size x by z footprint centred at position.
void Footprint(const D3DXVECTOR3& size, const D3DXVECTOR3& position, float yawDegrees, D3DXVECTOR3* corners)
{
    const D3DXMATRIX turn = Turn(yawDegrees);
    const float sx[4] = {-1, 1, 1, -1}, sz[4] = {-1, -1, 1, 1};
    for (int k = 0; k < 4; ++k)
        corners[k] = position + Apply(D3DXVECTOR3(sx[k] * size.x / 2, 0, sz[k] * size.z / 2), turn);
}

// Local matrix (rows x, y, z and the centre) placed by the yaw and position.
D3DXMATRIX Place(const D3DXMATRIX& local, const D3DXVECTOR3& position, float yawDegrees)
{
    D3DXMATRIX translation, turned, world;
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
    const D3DXMATRIX turn = Turn(yawDegrees);
    D3DXMatrixMultiply(&turned, &local, &turn);
    D3DXMatrixMultiply(&world, &turned, &translation);
    return world;
}

CollisionBox StandingBox(const std::string& name, const D3DXVECTOR3& size, const D3DXVECTOR3& base, float yaw)
{
    CollisionBox box;
    box.name = name;
    box.size = size;
    D3DXMATRIX local;
    D3DXMatrixTranslation(&local, 0, size.y / 2, 0);
    box.transform = Place(local, base, yaw);
    Footprint(size, base, yaw, box.corners);
    return box;
}

CollisionBox FloorBox(const std::string& name, const D3DXVECTOR3& size, const D3DXVECTOR3& surface, float yaw)
{
    CollisionBox box = StandingBox(name, D3DXVECTOR3(size.x, kFloorThickness, size.z),
                                   surface - D3DXVECTOR3(0, kFloorThickness, 0), yaw);
    Footprint(size, surface, yaw, box.corners);
    return box;
}

// A slope of height h falling over length l towards local +z: the box's top
// face lies on the slope and its depth reaches the wedge's lowest back edge.
CollisionBox WedgeBox(const std::string& name, const D3DXVECTOR3& size, const D3DXVECTOR3& base, float yaw)
{
    const float h = size.y, l = size.z;
    const float slope = std::sqrt(h * h + l * l);
    const float depth = h * l / slope;
    D3DXMATRIX local;
    D3DXMatrixIdentity(&local);
    // Rows: across, the slope's outward normal, down the slope.
    local._21 = 0; local._22 = l / slope; local._23 = h / slope;
    local._31 = 0; local._32 = -h / slope; local._33 = l / slope;
    local._41 = 0;
    local._42 = h / 2 - local._22 * depth / 2;
    local._43 = -local._23 * depth / 2;
    CollisionBox box;
    box.name = name;
    box.size = D3DXVECTOR3(size.x, depth, slope);
    box.transform = Place(local, base, yaw);
    Footprint(size, base, yaw, box.corners);
    return box;
}

// The flight's steps seen as one wedge rising towards the highest step.
bool StepsRamp(const LevelLayout& layout, const LayoutCollision& c, CollisionBox& ramp, std::string& error)
{
    std::vector<const LayoutObject*> steps;
    for (const LayoutObject& o : layout.objects)
        if (Matches(c.steps, o.name))
            steps.push_back(&o);
    if (steps.size() < 2) {
        error = "the steps of " + c.name + " are not two or more objects";
        return false;
    }
    const LayoutObject* low = steps[0];
    const LayoutObject* high = steps[0];
    for (const LayoutObject* s : steps) {
        if (s->shape != LayoutShape::Box || s->yawDegrees != steps[0]->yawDegrees) {
            error = "the steps of " + c.name + " are not boxes all turned alike";
            return false;
        }
        if (s->position.y + s->size.y < low->position.y + low->size.y)
            low = s;
        if (s->position.y + s->size.y > high->position.y + high->size.y)
            high = s;
    }
    const D3DXVECTOR3 rise = high->position - low->position;
    // The wedge's high end is its local -z; snap the rise to the steps' axes.
    const float heading = std::atan2(-rise.x, -rise.z) / kDegrees;
    const float yaw = steps[0]->yawDegrees + 90.0f * std::round((heading - steps[0]->yawDegrees) / 90.0f);
    const D3DXMATRIX unturn = Turn(-yaw);
    float minX = 1e30f, maxX = -1e30f, minZ = 1e30f, maxZ = -1e30f, base = 1e30f, top = -1e30f;
    for (const LayoutObject* s : steps) {
        D3DXVECTOR3 corners[4];
        Footprint(s->size, s->position, s->yawDegrees, corners);
        for (const D3DXVECTOR3& corner : corners) {
            const D3DXVECTOR3 p = Apply(corner, unturn);
            minX = std::fmin(minX, p.x);
            maxX = std::fmax(maxX, p.x);
            minZ = std::fmin(minZ, p.z);
            maxZ = std::fmax(maxZ, p.z);
        }
        base = std::fmin(base, s->position.y);
        top = std::fmax(top, s->position.y + s->size.y);
    }
    const D3DXVECTOR3 centre = Apply(D3DXVECTOR3((minX + maxX) / 2, 0, (minZ + maxZ) / 2), Turn(yaw));
    ramp = WedgeBox(c.name, D3DXVECTOR3(maxX - minX, top - base, maxZ - minZ), D3DXVECTOR3(centre.x, base, centre.z),
                    yaw);
    return true;
}

std::string Lower(std::string text)
{
    for (char& ch : text)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

bool IsComicPanel(const LayoutObject& o)
{
    return o.material == "vinyeta" || Lower(o.name).compare(0, 7, "vinyeta") == 0;
}

// A floor painted on the surface just under it.
bool IsDecal(const LevelLayout& layout, const LayoutObject& floor)
{
    for (const LayoutObject& o : layout.objects) {
        if (&o == &floor || o.shape == LayoutShape::Sky || o.shape == LayoutShape::Wedge ||
            !o.Covers(floor.position.x, floor.position.z))
            continue;
        const float top = o.position.y + (o.shape == LayoutShape::Floor ? 0.0f : o.size.y);
        if (floor.position.y >= top && floor.position.y - top <= kDecalHeight)
            return true;
    }
    return false;
}

class Numbers {
public:
    Numbers() { m_Text.imbue(std::locale::classic()); }
    Numbers& operator<<(const std::string& text) { m_Text << text; return *this; }
    Numbers& operator<<(float value)
    {
        m_Text << std::setprecision(9) << value + 0.0f;
        return *this;
    }
    Numbers& operator<<(const D3DXVECTOR3& v) { return *this << v.x << " " << v.y << " " << v.z; }
    std::string Text() const { return m_Text.str(); }

private:
    std::ostringstream m_Text;
};

constexpr char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- Made by datagen from tools/datagen/layout/: change the layouts, not this file. -->\n";

} // namespace

bool LevelCollisions(const LevelLayout& layout, D3DXVECTOR3& start, std::vector<CollisionBox>& boxes,
                     std::string& error)
{
    boxes.clear();
    bool hasStart = false;
    std::map<std::string, std::string> renamed;
    std::string unsolid, steps;
    for (const LayoutCollision& c : layout.collisions) {
        if (c.hasPlayer) {
            start = c.player;
            hasStart = true;
        } else if (!c.object.empty()) {
            bool found = false;
            for (const LayoutObject& o : layout.objects) {
                const size_t matched = MatchLength(c.object, o.name);
                if (matched == std::string::npos)
                    continue;
                found = true;
                // "col_x_*" keeps what follows the pattern's prefix, in lower case.
                if (!c.name.empty() && c.name.back() == '*')
                    renamed[o.name] = c.name.substr(0, c.name.size() - 1) + Lower(o.name.substr(matched));
                else if (!c.name.empty())
                    renamed[o.name] = c.name;
            }
            if (!found) {
                error = layout.level + ": no object is " + c.object;
                return false;
            }
            if (!c.solid)
                unsolid += " " + c.object;
        } else if (!c.steps.empty()) {
            steps += " " + c.steps;
        }
    }
    float ground = 0;
    // The start is the hero's sphere centre: ten units over his feet.
    if (!hasStart || !layout.GroundAt(start.x, start.z, ground) || ground > start.y + 0.01f ||
        ground < start.y - 30) {
        error = layout.level + ": the hero's start is missing or not over the ground";
        return false;
    }

    for (const LayoutObject& o : layout.objects) {
        if (o.shape == LayoutShape::Sky || IsComicPanel(o) || Matches(unsolid, o.name) || Matches(steps, o.name))
            continue;
        const auto name = renamed.find(o.name);
        const std::string boxName = name != renamed.end() ? name->second : "col_" + Lower(o.name);
        if (o.shape == LayoutShape::Floor) {
            if (!IsDecal(layout, o))
                boxes.push_back(FloorBox(boxName, o.size, o.position, o.yawDegrees));
        } else if (o.shape == LayoutShape::Wedge) {
            boxes.push_back(WedgeBox(boxName, o.size, o.position, o.yawDegrees));
        } else {
            boxes.push_back(StandingBox(boxName, o.size, o.position, o.yawDegrees));
        }
    }
    for (const LayoutCollision& c : layout.collisions) {
        if (!c.steps.empty()) {
            CollisionBox ramp;
            if (!StepsRamp(layout, c, ramp, error))
                return false;
            boxes.push_back(ramp);
        } else if (c.unseen) {
            boxes.push_back(StandingBox(c.name, c.size, c.position, c.yawDegrees));
            boxes.back().shots = c.shots;
        }
    }
    // The game keeps boxes by name: a second one would silently replace the first.
    std::set<std::string> names;
    for (const CollisionBox& box : boxes)
        if (!names.insert(box.name).second) {
            error = layout.level + ": two boxes are called " + box.name;
            return false;
        }
    return true;
}

std::string CollisionInstancesXml(const std::vector<LevelLayout>& layouts, Output& out)
{
    Numbers w;
    w << kHeader << "<collisions>\n";
    for (const LevelLayout& layout : layouts) {
        D3DXVECTOR3 start;
        std::vector<CollisionBox> boxes;
        std::string error;
        if (!LevelCollisions(layout, start, boxes, error)) {
            out.Fail(error);
            return "";
        }
        w << "  <scenario name=\"" << layout.level << "\"/>\n";
        w << "  <player pos=\"" << start << "\"/>\n";
        for (const CollisionBox& box : boxes) {
            w << "  <collision name=\"" << box.name << "\" width=\"" << box.size.x << "\" height=\"" << box.size.y
              << "\" length=\"" << box.size.z << "\"";
            if (box.shots != "marked")
                w << " shots=\"" << box.shots << "\"";
            w << " transform=\"";
            for (int row = 0; row < 4; ++row)
                for (int column = 0; column < 3; ++column)
                    w << (row || column ? " " : "") << box.transform.m[row][column];
            w << "\">\n";
            for (const D3DXVECTOR3& corner : box.corners)
                w << "    <vertex pos=\"" << corner << "\"/>\n";
            w << "  </collision>\n";
        }
    }
    w << "</collisions>\n";
    return w.Text();
}

std::string ObjectInstancesXml(const std::vector<LevelLayout>& layouts)
{
    Numbers w;
    w << kHeader << "<objects>\n";
    for (const LevelLayout& layout : layouts) {
        w << "  <scenario name=\"" << layout.level << "\"/>\n";
        for (const LayoutProp& prop : layout.props) {
            const D3DXMATRIX m = prop.Transform();
            w << "  <object name=\"" << prop.name << "\" ammo=\"" << prop.ammo << "\" transform=\"";
            for (int row = 0; row < 4; ++row)
                for (int column = 0; column < 3; ++column)
                    w << (row || column ? " " : "") << m.m[row][column];
            w << "\"/>\n";
        }
    }
    w << "</objects>\n";
    return w.Text();
}

void GenerateCollisionInstances(Output& out)
{
    std::vector<LevelLayout> layouts;
    if (!ReadLevelLayouts(layouts, out))
        return;
    const std::string collisions = CollisionInstancesXml(layouts, out);
    if (collisions.empty())
        return;
    out.Write(kCollisionFile, collisions);
    out.Write(kObjectsFile, ObjectInstancesXml(layouts));
}

} // namespace datagen
