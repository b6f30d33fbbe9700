#include "datagen/Triggers.h"

#include <cstdio>
#include <set>

#include "world/TriggerManager.h"

namespace datagen {

namespace {

// The zone the game tests while the hero is in each level.
int RoomNumberOf(const std::string& level)
{
    if (level == "hangares")
        return 1;
    if (level == "isla")
        return 2;
    return 0;
}

// Nine significant digits bring every float back to itself (the generator
// never leaves the "C" locale); adding zero writes a negative zero as "0".
std::string Number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value + 0.0f));
    return text;
}

} // namespace

std::string TriggerInstancesXml(const std::vector<LevelLayout>& layouts, std::string& error)
{
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- Made by datagen from tools/datagen/layout/: change the layouts, not this file. -->\n"
        "<triggers>\n";
    std::set<std::string> names;
    for (const LevelLayout& layout : layouts) {
        const int room = RoomNumberOf(layout.level);
        xml += "  <room name=\"" + layout.level + "\">\n";
        for (const LayoutTrigger& t : layout.triggers) {
            const int zone = CTriggerManager::ZoneOfName(t.name);
            if (zone != room) {
                error = "trigger " + t.name + " of " + layout.level + " is of zone " + std::to_string(zone) +
                        ", never tested there";
                return "";
            }
            if (!names.insert(t.name).second) {
                error = "trigger " + t.name + " is placed in two levels";
                return "";
            }
            // The box reaches a little below its floor (see LayoutTrigger).
            const D3DXVECTOR3 c = t.Centre();
            const float height = t.Height();
            xml += "    <trigger name=\"" + t.name + "\" transform=\"1 0 0 0 1 0 0 0 1 " + Number(c.x) + " " +
                   Number(c.y) + " " + Number(c.z) + "\" width=\"" + Number(t.size.x) + "\" height=\"" +
                   Number(height) + "\" length=\"" + Number(t.size.z) + "\"/>\n";
        }
        xml += "  </room>\n";
    }
    return xml + "</triggers>\n";
}

void GenerateTriggerInstances(Output& out)
{
    std::vector<LevelLayout> layouts;
    if (!ReadLevelLayouts(layouts, out))
        return;
    std::string error;
    const std::string xml = TriggerInstancesXml(layouts, error);
    if (xml.empty())
        out.Fail(error);
    else
        out.Write(kTriggerFile, xml);
}

} // namespace datagen
