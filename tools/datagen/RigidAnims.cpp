#include "datagen/RigidAnims.h"

#include <cmath>
#include <fstream>
#include <iomanip>
#include <locale>
#include <map>
#include <set>
#include <sstream>

#include "datagen/ComicBoards.h"
#include "xml/XMLParser.h"

namespace datagen {

namespace {

// Tracks are sampled ten times a second: smooth enough at the game's frame
// rate once the game blends between samples.
constexpr float kSamplesPerSecond = 10.0f;
// The share of a comic's time its captioned boards may hold the eye.
constexpr float kMostHeld = 0.7f;
constexpr float kComboFinalScale = 4.2f;
constexpr int kMaxParts = 600;
// How far above the ground an eye keeps, so the near plane never cuts it.
constexpr float kEyeClearance = 20.0f;
constexpr float kPi = 3.14159265f;

bool Numbers(const CXMLAttributes& a, const char* name, float* out, int count)
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

bool Vector(const CXMLAttributes& a, const char* name, D3DXVECTOR3& out)
{
    float v[3];
    if (!Numbers(a, name, v, 3))
        return false;
    out = D3DXVECTOR3(v[0], v[1], v[2]);
    return true;
}

D3DXQUATERNION YawQuaternion(float degrees)
{
    const float half = degrees * kPi / 360.0f;
    return D3DXQUATERNION(0.0f, std::sin(half), 0.0f, std::cos(half));
}

// The eye's orientation: the game turns (0, 0, -1) by it to get the camera's
// up, and a quarter turn about X makes that +Y.
const D3DXQUATERNION kEyeUpright(0.70710678f, 0.0f, 0.0f, 0.70710678f);

struct Key {
    float time = 0.0f;
    D3DXVECTOR3 a{0, 0, 0};  // eye, or offset
    D3DXVECTOR3 b{0, 0, 0};  // look-at point
    float yaw = 0.0f;
};

// Linear between keys, held after the last.
Key KeyAt(const std::vector<Key>& keys, float t)
{
    if (t <= keys.front().time)
        return keys.front();
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (t <= keys[i].time) {
            const Key& k0 = keys[i - 1];
            const Key& k1 = keys[i];
            const float f = (t - k0.time) / (k1.time - k0.time);
            Key k;
            k.time = t;
            k.a = k0.a + (k1.a - k0.a) * f;
            k.b = k0.b + (k1.b - k0.b) * f;
            k.yaw = k0.yaw + (k1.yaw - k0.yaw) * f;
            return k;
        }
    }
    return keys.back();
}

int SampleCount(float seconds) { return static_cast<int>(std::lround(seconds * kSamplesPerSecond)) + 1; }

bool InsideSolid(const LevelLayout& layout, const D3DXVECTOR3& p, std::string& which)
{
    for (const LayoutObject& o : layout.objects) {
        if (o.shape == LayoutShape::Sky || o.shape == LayoutShape::Floor)
            continue;
        if (p.y >= o.position.y && p.y <= o.position.y + o.size.y && o.Covers(p.x, p.z)) {
            which = o.name;
            return true;
        }
    }
    return false;
}

// The highest floor under the point (the sea counts): solids above or around
// the eye are the solid check's.
bool FloorAt(const LevelLayout& layout, float x, float z, float& height)
{
    bool found = false;
    for (const LayoutObject& o : layout.objects) {
        if (o.shape != LayoutShape::Floor || !o.Covers(x, z))
            continue;
        if (!found || o.position.y > height)
            height = o.position.y;
        found = true;
    }
    return found;
}

class SectionReader : public CXMLParser {
public:
    SectionReader(const LevelLayout& layout, RigidAnimations& out) : m_Layout(layout), m_Out(out) {}

    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        if (!m_Problem.empty())
            return;
        if (name == "rigid_animations") {
            m_InSection = true;
            return;
        }
        if (!m_InSection)
            return;
        if (name == "flight" || name == "move") {
            m_Kind = name;
            m_Name = a.GetString("name", "");
            m_Object = a.GetString("object", "");
            m_Hero = a.GetBool("hero", false);
            m_Track = a.GetString("track", m_Name);
            m_Keys.clear();
        } else if (name == "key") {
            ReadKey(a);
        } else if (name == "comic") {
            Comic(a);
        } else if (name == "throw") {
            Throw(a);
        } else if (name == "circle") {
            Circle(a);
        } else {
            m_Problem = "unknown element <" + name + "> among the rigid animations";
        }
    }

    void OnEndElement(const std::string& name) override
    {
        if (!m_Problem.empty())
            return;
        if (name == "rigid_animations")
            m_InSection = false;
        else if (name == "flight")
            Flight(m_Name, m_Track, m_Keys, m_Hero);
        else if (name == "move")
            Move();
    }

    const std::string& Problem() const { return m_Problem; }

private:
    void ReadKey(CXMLAttributes& a)
    {
        Key k;
        const std::string what = m_Kind + " " + m_Name + " key " + std::to_string(m_Keys.size() + 1);
        if (!Numbers(a, "time", &k.time, 1) || k.time < 0) {
            m_Problem = what + " needs a time of 0 or more";
            return;
        }
        if (!m_Keys.empty() && !(k.time > m_Keys.back().time)) {
            m_Problem = what + " is not later than the key before";
            return;
        }
        if (m_Kind == "flight") {
            if (!Vector(a, "eye", k.a) || !Vector(a, "look", k.b))
                m_Problem = what + " needs an eye and a look point of three numbers each";
        } else {
            if (a.count("offset") && !Vector(a, "offset", k.a))
                m_Problem = what + " has an offset that is not three numbers";
            else if (a.count("yaw") && !Numbers(a, "yaw", &k.yaw, 1))
                m_Problem = what + " has a yaw that is not a number";
        }
        m_Keys.push_back(k);
    }

    RigidGroup& Group(const std::string& name)
    {
        for (RigidGroup& g : m_Out.groups)
            if (g.name == name)
                return g;
        m_Out.groups.push_back(RigidGroup{name, {}});
        return m_Out.groups.back();
    }

    bool CheckName(const std::string& name)
    {
        if (name.empty() || name.size() > 127 || name.find_first_of(" \t\r\n\"<>&") != std::string::npos) {
            m_Problem = "track name \"" + name + "\" is empty, too long or holds blanks";
            return false;
        }
        return true;
    }

    const LayoutObject* Object(const std::string& name)
    {
        for (const LayoutObject& o : m_Layout.objects)
            if (o.name == name)
                return &o;
        m_Problem = "no object " + name + " in " + m_Layout.level;
        return nullptr;
    }

    // Where the eye may not go: under the ground or inside a solid.
    bool CheckEye(const std::string& flight, const D3DXVECTOR3& eye, float t)
    {
        float ground = 0.0f;
        std::string solid;
        std::ostringstream what;
        what << "flight " << flight << " at " << t << " s (eye " << eye.x << " " << eye.y << " " << eye.z << ")";
        if (FloorAt(m_Layout, eye.x, eye.z, ground) && eye.y < ground + kEyeClearance)
            m_Problem = what.str() + ": the eye is under the ground";
        else if (InsideSolid(m_Layout, eye, solid))
            m_Problem = what.str() + ": the eye is inside " + solid;
        return m_Problem.empty();
    }

    // The track files are named after the group unless told otherwise (the
    // final combo's tracks hold "Combo_final", which the game scales).
    void Flight(const std::string& name, const std::string& trackName, const std::vector<Key>& keys, bool hero)
    {
        if (keys.empty()) {
            m_Problem = "flight " + name + " has no keys";
            return;
        }
        const bool combo = trackName.find("Combo_final") != std::string::npos;
        RigidTrack eye{trackName + "_pos", keys.back().time, {}, {}};
        RigidTrack look{trackName + "_look", keys.back().time, {}, {}};
        if (!CheckName(eye.name) || !CheckName(look.name))
            return;
        const int count = SampleCount(eye.duration);
        for (int k = 0; k < count; ++k) {
            const float t = count == 1 ? 0.0f : eye.duration * k / (count - 1);
            const Key at = KeyAt(keys, t);
            if (!hero && !CheckEye(name, at.a, t))
                return;
            eye.positions.push_back(at.a);
            eye.orientations.push_back(kEyeUpright);
            look.positions.push_back(at.b);
            look.orientations.push_back(kEyeUpright);
        }
        D3DXVECTOR3 eyeStart = keys.front().a;
        D3DXVECTOR3 lookStart = keys.front().b;
        if (combo) {
            eyeStart /= kComboFinalScale;
            lookStart /= kComboFinalScale;
        }
        RigidGroup& group = Group(name);
        group.parts.push_back(RigidPart{eye.name, "cam_pos", eyeStart});
        group.parts.push_back(RigidPart{look.name, "cam_look", lookStart});
        m_Out.tracks.push_back(std::move(eye));
        m_Out.tracks.push_back(std::move(look));
    }

    void Move()
    {
        const LayoutObject* o = Object(m_Object);
        if (!o)
            return;
        if (m_Keys.empty()) {
            m_Problem = "move " + m_Name + " of " + m_Object + " has no keys";
            return;
        }
        RigidTrack track{m_Name + "_" + m_Object, m_Keys.back().time, {}, {}};
        if (!CheckName(track.name))
            return;
        const int count = SampleCount(track.duration);
        for (int k = 0; k < count; ++k) {
            const float t = count == 1 ? 0.0f : track.duration * k / (count - 1);
            const Key at = KeyAt(m_Keys, t);
            track.positions.push_back(o->position + at.a);
            track.orientations.push_back(YawQuaternion(o->yawDegrees + at.yaw));
        }
        Group(m_Name).parts.push_back(RigidPart{track.name, m_Object, {0, 0, 0}});
        m_Out.tracks.push_back(std::move(track));
    }

    // A glide past each board in turn, a little in front of its face.
    void Comic(CXMLAttributes& a)
    {
        const std::string name = a.GetString("name", "");
        float seconds = 0.0f;
        float distance = 480.0f;
        if (!Numbers(a, "seconds", &seconds, 1) || !(seconds > 0)) {
            m_Problem = "comic " + name + " needs a positive number of seconds";
            return;
        }
        if (a.count("distance") && !Numbers(a, "distance", &distance, 1)) {
            m_Problem = "comic " + name + " has a distance that is not a number";
            return;
        }
        float hold = 0.0f;
        if (a.count("hold") && (!Numbers(a, "hold", &hold, 1) || !(hold >= 0))) {
            m_Problem = "comic " + name + " holds its captions for no number of seconds";
            return;
        }
        std::istringstream prefixes(a.GetString("boards", ""));
        std::vector<std::string> starts;
        for (std::string p; prefixes >> p;)
            starts.push_back(p);
        std::vector<const LayoutObject*> boards;
        for (const LayoutObject& o : m_Layout.objects) {
            if (o.size.x > 1000.0f) // a backdrop, not a board
                continue;
            for (const std::string& p : starts)
                if (o.name.compare(0, p.size(), p) == 0) {
                    boards.push_back(&o);
                    break;
                }
        }
        if (boards.empty()) {
            m_Problem = "comic " + name + " finds no boards";
            return;
        }
        std::vector<Key> keys;
        if (boards.size() > 1) {
            // A glide at one pace carries a caption out of view before it is
            // read: the eye rests before each board with words for "hold"
            // seconds (at most seven tenths of the comic between them) and
            // glides on past the others.
            const std::size_t n = boards.size();
            std::size_t captions = 0;
            for (const LayoutObject* b : boards)
                captions += !ComicBoardCaption(b->name).empty();
            const float rest = captions ? std::min(hold, seconds * kMostHeld / captions) : 0.0f;
            const float step = (seconds - rest * captions) / (n - 1);
            float t = 0.0f;
            for (std::size_t i = 0; i < n; ++i) {
                const LayoutObject& b = *boards[i];
                Key k;
                k.b = b.position + D3DXVECTOR3(0, b.size.y / 2, 0);
                k.a = k.b - D3DXVECTOR3(0, 0, distance);
                k.time = t;
                keys.push_back(k);
                if (!ComicBoardCaption(b.name).empty() && rest > 0.0f) {
                    k.time = t + rest;
                    keys.push_back(k);
                }
                t = k.time + step;
            }
            // Sums aside, the last board is reached at the comic's end.
            keys.back().time = seconds;
        } else {
            const LayoutObject& b = *boards[0];
            Key k;
            k.time = 0.0f;
            k.b = b.position + D3DXVECTOR3(0, b.size.y / 2, 0);
            k.a = k.b - D3DXVECTOR3(0, 0, distance);
            keys.push_back(k);
            Key last = keys.back();
            last.time = seconds;
            last.a.z += 100.0f; // a slow push in
            keys.push_back(last);
        }
        Flight(name, name, keys, false);
    }

    // The pieces fly out from their common centre, spinning, and land back
    // at their own height.
    void Throw(CXMLAttributes& a)
    {
        const std::string name = a.GetString("name", "");
        const std::string prefix = a.GetString("prefix", "");
        float seconds = 0, distance = 0, height = 0;
        if (!Numbers(a, "seconds", &seconds, 1) || !(seconds > 0) || !Numbers(a, "distance", &distance, 1) ||
            !Numbers(a, "height", &height, 1) || prefix.empty()) {
            m_Problem = "throw " + name + " needs a prefix, seconds, a distance and a height";
            return;
        }
        std::vector<const LayoutObject*> pieces;
        D3DXVECTOR3 centre(0, 0, 0);
        for (const LayoutObject& o : m_Layout.objects)
            if (o.name.compare(0, prefix.size(), prefix) == 0) {
                pieces.push_back(&o);
                centre += o.position;
            }
        if (pieces.empty()) {
            m_Problem = "throw " + name + " finds no object named " + prefix + "...";
            return;
        }
        centre /= static_cast<float>(pieces.size());
        const int count = SampleCount(seconds);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const LayoutObject& o = *pieces[i];
            RigidTrack track{name + "_" + o.name, seconds, {}, {}};
            if (!CheckName(track.name))
                return;
            D3DXVECTOR3 out(o.position.x - centre.x, 0, o.position.z - centre.z);
            const float length = std::sqrt(out.x * out.x + out.z * out.z);
            out = length > 1e-3f ? out / length : D3DXVECTOR3(1, 0, 0);
            // Pieces spin one way or the other, by one to two turns.
            const float spin = (i % 2 ? -1.0f : 1.0f) * (360.0f + 360.0f * (i % 3) / 2.0f);
            for (int k = 0; k < count; ++k) {
                const float s = static_cast<float>(k) / (count - 1);
                track.positions.push_back(o.position + out * (distance * s) +
                                          D3DXVECTOR3(0, 4.0f * height * s * (1.0f - s), 0));
                track.orientations.push_back(YawQuaternion(o.yawDegrees + spin * s));
            }
            Group(name).parts.push_back(RigidPart{track.name, o.name, {0, 0, 0}});
            m_Out.tracks.push_back(std::move(track));
        }
    }

    // One whole turn about a vertical axis, ending where it starts.
    void Circle(CXMLAttributes& a)
    {
        const std::string name = a.GetString("name", "");
        const std::string suffix = a.GetString("suffix", "");
        D3DXVECTOR3 centre;
        float seconds = 0;
        if (suffix.empty() || !Vector(a, "centre", centre) || !Numbers(a, "seconds", &seconds, 1) || !(seconds > 0)) {
            m_Problem = "circle " + name + " needs a suffix, a centre and seconds";
            return;
        }
        const int count = SampleCount(seconds);
        bool any = false;
        for (const LayoutObject& o : m_Layout.objects) {
            if (o.name.size() < suffix.size() || o.name.compare(o.name.size() - suffix.size(), suffix.size(), suffix))
                continue;
            any = true;
            RigidTrack track{name + "_" + o.name, seconds, {}, {}};
            if (!CheckName(track.name))
                return;
            for (int k = 0; k < count; ++k) {
                const float degrees = 360.0f * k / (count - 1);
                const float r = degrees * kPi / 180.0f;
                const float x = o.position.x - centre.x;
                const float z = o.position.z - centre.z;
                // The same turn as the yaw: +Z towards +X.
                const D3DXVECTOR3 p(centre.x + x * std::cos(r) + z * std::sin(r), o.position.y,
                                    centre.z - x * std::sin(r) + z * std::cos(r));
                track.positions.push_back(k == count - 1 ? o.position : p);
                track.orientations.push_back(YawQuaternion(o.yawDegrees + degrees));
            }
            Group(name).parts.push_back(RigidPart{track.name, o.name, {0, 0, 0}});
            m_Out.tracks.push_back(std::move(track));
        }
        if (!any)
            m_Problem = "circle " + name + " finds no object named ..." + suffix;
    }

    const LevelLayout& m_Layout;
    RigidAnimations& m_Out;
    std::string m_Problem;
    bool m_InSection = false;
    std::string m_Kind;
    std::string m_Name;
    std::string m_Object;
    std::string m_Track;
    bool m_Hero = false;
    std::vector<Key> m_Keys;
};

// Numbers as the game's scanner takes them back.
class Text {
public:
    Text() { m_Text.imbue(std::locale::classic()); }
    template <typename T>
    Text& operator<<(const T& value)
    {
        m_Text << value;
        return *this;
    }
    Text& Num(float value)
    {
        m_Text << std::setprecision(9) << value + 0.0f;
        return *this;
    }
    std::string str() const { return m_Text.str(); }

private:
    std::ostringstream m_Text;
};

} // namespace

bool ParseRigidAnimations(const std::string& xml, const LevelLayout& layout, RigidAnimations& out,
                          std::string& error)
{
    SectionReader reader(layout, out);
    std::istringstream in(xml);
    if (!reader.Parse(in, layout.level.c_str())) {
        error = reader.GetErrorText();
        return false;
    }
    if (!reader.Problem().empty()) {
        error = layout.level + ": " + reader.Problem();
        return false;
    }
    return true;
}

std::string RigidTrackText(const RigidTrack& track)
{
    const float scale = track.name.find("Combo_final") != std::string::npos ? 1.0f / kComboFinalScale : 1.0f;
    Text text;
    text << "<RigidAnimation>\n<Name> " << track.name << " </Name>\n<NumSamples> " << track.positions.size()
         << " </NumSamples>\n<Duration> ";
    text.Num(track.duration) << " </Duration>\n<Position>\n";
    for (const D3DXVECTOR3& p : track.positions) {
        text.Num(p.x * scale) << " ";
        text.Num(p.y * scale) << " ";
        text.Num(p.z * scale) << "\n";
    }
    text << "</Position>\n<Orientation>\n";
    for (const D3DXQUATERNION& q : track.orientations) {
        text.Num(q.x) << " ";
        text.Num(q.y) << " ";
        text.Num(q.z) << " ";
        text.Num(q.w) << "\n";
    }
    text << "</Orientation>\n</RigidAnimation>\n";
    return text.str();
}

std::string RigidListXml(const RigidAnimations& animations)
{
    Text text;
    text << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ANIMACIONES>\n";
    for (const RigidGroup& g : animations.groups) {
        text << "  <ANIMACION name=\"" << g.name << "\">\n";
        for (const RigidPart& p : g.parts) {
            text << "    <PARTE name=\"" << p.track << "\" malla=\"" << p.malla << "\"";
            if (p.malla == "cam_pos" || p.malla == "cam_look") {
                text << " pos_inicial=\"";
                text.Num(p.start.x) << " ";
                text.Num(p.start.y) << " ";
                text.Num(p.start.z) << "\"";
            }
            text << "/>\n";
        }
        text << "  </ANIMACION>\n";
    }
    text << "</ANIMACIONES>\n";
    return text.str();
}

void GenerateRigidAnimations(Output& out)
{
    std::vector<LevelLayout> layouts;
    if (!ReadLevelLayouts(layouts, out))
        return;
    const std::vector<std::string> files = LevelLayoutFiles();
    RigidAnimations all;
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        std::ifstream in(files[i], std::ios::binary);
        std::stringstream xml;
        xml << in.rdbuf();
        RigidAnimations level;
        std::string error;
        if (!ParseRigidAnimations(xml.str(), layouts[i], level, error)) {
            out.Fail(error);
            return;
        }
        for (RigidGroup& g : level.groups) {
            for (const RigidGroup& seen : all.groups)
                if (seen.name == g.name) {
                    out.Fail("rigid animation group " + g.name + " is in two levels");
                    return;
                }
            all.groups.push_back(std::move(g));
        }
        for (RigidTrack& t : level.tracks)
            all.tracks.push_back(std::move(t));
    }
    if (static_cast<int>(all.tracks.size()) > kMaxParts) {
        out.Fail("more than 600 rigid animation parts");
        return;
    }
    out.Write(kRigidListFile, RigidListXml(all));
    for (const RigidTrack& t : all.tracks)
        out.Write(std::string(kRigidTrackFolder) + t.name, RigidTrackText(t));
}

} // namespace datagen
