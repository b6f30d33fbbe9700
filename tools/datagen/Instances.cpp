#include "datagen/Instances.h"

#include <iomanip>
#include <locale>
#include <set>
#include <sstream>

#include "datagen/ComicBoards.h"
#include "datagen/Lightmaps.h"

namespace datagen {

namespace {

// The rooms the game loads, each with the light file it reads.
struct Room {
    const char* level;
    const char* lights;
};
constexpr Room kRooms[] = {
    {"hangares", "data/XML/light_instances_1.xml"},
    {"isla", "data/XML/light_instances_2.xml"},
};

// Numbers as the game's reader takes them back: "C" locale, and nine
// significant digits, which bring every float back to itself.
class Writer {
public:
    Writer() { m_Text.imbue(std::locale::classic()); }

    Writer& operator<<(const char* text) { m_Text << text; return *this; }
    Writer& operator<<(const std::string& text) { m_Text << text; return *this; }
    Writer& operator<<(float value)
    {
        // Adding zero turns a negative zero into "0".
        m_Text << std::setprecision(9) << value + 0.0f;
        return *this;
    }
    Writer& operator<<(const D3DXVECTOR3& v) { return *this << v.x << " " << v.y << " " << v.z; }
    // The twelve numbers of a placement: three axis rows, then the translation.
    Writer& operator<<(const D3DXMATRIX& m)
    {
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 3; ++column)
                *this << (row || column ? " " : "") << m.m[row][column];
        return *this;
    }
    // A quoted attribute value, with XML's special characters escaped.
    Writer& Quoted(const std::string& value)
    {
        m_Text << '"';
        for (char c : value) {
            switch (c) {
            case '&': m_Text << "&amp;"; break;
            case '<': m_Text << "&lt;"; break;
            case '>': m_Text << "&gt;"; break;
            case '"': m_Text << "&quot;"; break;
            case '\'': m_Text << "&apos;"; break;
            default: m_Text << c;
            }
        }
        m_Text << '"';
        return *this;
    }

    std::string Text() const { return m_Text.str(); }

private:
    std::ostringstream m_Text;
};

constexpr char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- Made by datagen from tools/datagen/layout/: change the layouts, not this file. -->\n";

// The object with its placed parapets, then the extra ones it carries.
void WriteObject(Writer& w, const LevelLayout& layout, const LayoutObject& object,
                 const std::vector<LayoutParapet>& extra = {})
{
    w << "      <object name=";
    w.Quoted(object.name) << " transform=\"" << object.Transform() << "\" radio=\"" << object.Radius() << "\">\n";
    w << "        <materials count=\"1\">\n";
    if (const LayoutMaterial* material = layout.FindMaterial(object.material)) {
        const std::string lightmap =
            HasBakedLightmap(object) ? BakedLightmapName(layout.level, object) : material->lightmap;
        // Each comic board has its own picture.
        const std::string diffuse =
            IsComicBoard(object) ? ComicBoardTexture(layout.level, object) : material->diffuse;
        w << "          <material diffusemap=";
        w.Quoted(diffuse) << " lightmap=";
        w.Quoted(lightmap) << " normalmap=";
        w.Quoted(material->normal) << "/>\n";
    }
    w << "        </materials>\n";
    std::vector<LayoutParapet> parapets = object.parapets;
    parapets.insert(parapets.end(), extra.begin(), extra.end());
    if (!parapets.empty()) {
        w << "        <parapets count=\"" << std::to_string(parapets.size()) << "\">\n";
        for (const LayoutParapet& p : parapets) {
            w << "          <parapet name=";
            w.Quoted(p.name) << " transform=\"" << p.Transform() << "\" pt_ini=\"" << p.Start() << "\" pt_fin=\""
                             << p.End() << "\"/>\n";
        }
        w << "        </parapets>\n";
    }
    w << "      </object>\n";
}

} // namespace

std::string LightFileOf(const std::string& level)
{
    for (const Room& room : kRooms)
        if (level == room.level)
            return room.lights;
    return "";
}

std::string InstancesXml(const std::vector<LevelLayout>& layouts)
{
    Writer w;
    w << kHeader << "<rooms count=\"" << std::to_string(layouts.size()) << "\">\n";
    for (const LevelLayout& layout : layouts) {
        w << "  <room name=";
        w.Quoted(layout.level) << ">\n    <objects>\n";
        // The game numbers parapets in object order: the cover along the
        // faces rides with the last object, after every placed parapet.
        for (std::size_t i = 0; i < layout.objects.size(); ++i)
            WriteObject(w, layout, layout.objects[i],
                        i + 1 == layout.objects.size() ? layout.faceCover : std::vector<LayoutParapet>());
        w << "    </objects>\n  </room>\n";
    }
    w << "</rooms>\n";
    return w.Text();
}

std::string LightsXml(const LevelLayout& layout)
{
    Writer w;
    w << kHeader << "<spots count=\"" << std::to_string(layout.lights.size()) << "\">\n";
    for (const LayoutLight& light : layout.lights)
        w << "  <spot position=\"" << light.position << "\" target=\"" << light.target << "\"/>\n";
    w << "</spots>\n";
    return w.Text();
}

void WriteLevelInstances(const std::vector<LevelLayout>& layouts, Output& out)
{
    // A scenario short of a room, or with a room twice, would load with
    // slots the game later uses left empty: refuse it here.
    bool sound = true;
    std::set<std::string> levels;
    for (const LevelLayout& layout : layouts) {
        if (LightFileOf(layout.level).empty()) {
            out.Fail("the game has no room called \"" + layout.level + "\"");
            sound = false;
        } else if (!levels.insert(layout.level).second) {
            out.Fail("room " + layout.level + " is given twice");
            sound = false;
        } else if (layout.lights.empty()) {
            out.Fail("room " + layout.level + " has no light");
            sound = false;
        }
    }
    for (const Room& room : kRooms)
        if (!levels.count(room.level)) {
            out.Fail(std::string("room ") + room.level + " is missing");
            sound = false;
        }
    if (!sound)
        return;
    out.Write(kInstancesFile, InstancesXml(layouts));
    for (const LevelLayout& layout : layouts)
        out.Write(LightFileOf(layout.level), LightsXml(layout));
}

void GenerateLevelInstances(Output& out)
{
    std::vector<LevelLayout> layouts;
    // Half a scenario is no use.
    if (!ReadLevelLayouts(layouts, out))
        return;
    WriteLevelInstances(layouts, out);
}

} // namespace datagen
