// The shipped game started on data files that are well-formed but say things
// the game cannot mean: entries of unknown names, values outside their set,
// parts without their files. Each fault is named once, with its file and its
// entries, and the game reaches its menu and a new game.
#include "damaged_data.h"

#include <regex>

namespace looptest {
namespace {

using damaged::DamagedStart;
using damaged::MakeDamage;
using damaged::Repeated;
using damaged::Replaced;

struct EntryDamage {
    const char* name;
    std::vector<std::pair<std::string, MakeDamage>> files;
    std::vector<std::string> said;  // each line whole, each exactly once
};

// The first match of the pattern replaced.
MakeDamage ReplacedFirst(const char* pattern, const char* by)
{
    return [pattern, by](const std::string& s) {
        EXPECT_TRUE(std::regex_search(s, std::regex(pattern))) << pattern;
        return std::regex_replace(s, std::regex(pattern), by, std::regex_constants::format_first_only);
    };
}

// A kind and a room of enemies of our own beside the shipped ones: the game
// never enters the room, so what the story needs stays as shipped.
const char kDamagedKind[] =
    "<TYPE tName=\"broken\"><CONSTANTS topLife=\"-100\" viewDist=\"-5\" visionAngle=\"400\" canCover=\"2\" "
    "canMove=\"yes\" isGuardian=\"7\"/></TYPE></TYPES>";
const char kDamagedRoom[] =
    "<ROOM name=\"room_damaged\"><WAVE name=\"w1\"><ENEMIES count=\"4\">"
    "<ENEMY name=\"odd\" model=\"enemy\" IAtype=\"nobody\" weapon=\"bazooka\">"
    "<IA patrolType=\"-2\" initialState=\"ASLEEP\" numOfScripts=\"1000\" scripts=\"a-b\"/>"
    "<POINTS count=\"2\"><POINT transform=\"nan 0 0 0 1 0 0 0 1 0 0 0\"/>"
    "<POINT transform=\"1 0 0 0 1 0 0 0 1 10 0 10\"/></POINTS></ENEMY>"
    "<ENEMY name=\"lost\" model=\"enemy\" IAtype=\"soldado\" weapon=\"gun\"><POINTS count=\"0\"/></ENEMY>"
    "<ENEMY name=\"lost\" model=\"enemy\" IAtype=\"soldado\" weapon=\"bazooka\"><POINTS count=\"0\"/></ENEMY>"
    "<ENEMY name=\"\" model=\"enemy\" IAtype=\"soldado\" weapon=\"gun\">"
    "<POINTS count=\"1\"><POINT transform=\"1 0 0 0 1 0 0 0 1 10 0 10\"/></POINTS></ENEMY>"
    "</ENEMIES></WAVE><WAVE name=\"w1\"/><WAVE name=\"\"/></ROOM></ROOMS>";

const std::string kKinds = "data/XML/typeOfEnemyList.xml: ";
const std::string kList = "data/XML/enemyList.xml: ";
const std::string kConfiguration = "data/XML/init_configuration.xml: ";
const std::string kRigid = "data/XML/lista_animaciones_rigidas.xml: ";

const EntryDamage kEntryDamages[] = {
    {"enemy_kinds_and_lists",
     {{"data/XML/typeOfEnemyList.xml", [](const std::string& s) { return Replaced(s, "</TYPES>", kDamagedKind); }},
      {"data/XML/enemyList.xml", [](const std::string& s) { return Replaced(s, "</ROOMS>", kDamagedRoom); }}},
     {kKinds + "kind \"broken\": topLife \"-100\", viewDist \"-5\", visionAngle \"400\", canCover \"2\", "
               "isGuardian \"7\" unusable; the shipped values are used",
      kList + "patrol type \"-2\" is not a count of 0 or more (enemy \"odd\")",
      kList + "unknown initial state \"ASLEEP\": the enemy keeps the state it is built in (enemy \"odd\")",
      kList + "script count \"1000\" is not the 2 scripts given: 2 is used (enemy \"odd\")",
      kList + "a point whose transform is not 12 numbers within 1e6 is left out (enemy \"odd\")",
      kList + "unknown kind \"nobody\": every value of its tuning is the default (enemy \"odd\")",
      kList + "unknown weapon \"bazooka\": given a gun (2 times: enemy \"odd\", enemy \"lost\")",
      kList + "an enemy with no point: it starts where the enemy before it did (2 times: enemy \"lost\", enemy "
              "\"lost\")",
      kList + "an enemy named twice in its wave: the later one is kept (enemy \"lost\" of wave \"w1\")",
      kList + "an enemy without a name (enemy \"\" of wave \"w1\")",
      kList + "a wave named twice in its room: the later one is kept (wave \"w1\" of room \"room_damaged\")",
      kList + "a wave without a name (wave \"\" of room \"room_damaged\")"}},
    {"configuration_and_rigid_animations",
     {{"data/XML/init_configuration.xml",
       [](const std::string& s) {
           std::string t = Replaced(s, "windowed=\"1\"", "windowed=\"2\"");
           t = Replaced(t, "english=\"0\"", "english=\"si\"");
           t = Replaced(t, "debug_font=\"DejaVu Sans\"", "debug_font=\"Comic Sans\"");
           t = Replaced(t, "debug_font_size=\"20\"", "debug_font_size=\"-20\"");
           t = Replaced(t, "fps_list_size=\"60\"", "fps_list_size=\"2147483648\"");
           return Replaced(t, "</CONFIGURATION>", "<PROPERTIES width=\"800\"/></CONFIGURATION>");
       }},
      {"data/XML/lista_animaciones_rigidas.xml",
       [](const std::string& s) {
           return Replaced(s, "</ANIMACIONES>",
                           "<ANIMACION name=\"broken\"><PARTE name=\"Luz_Faro_pos\" malla=\"no_such_mesh\"/>"
                           "<PARTE name=\"no_such_track\" malla=\"cam_pos\"/></ANIMACION></ANIMACIONES>");
       }},
      {"data/XML/RigidAnim/Luz_Faro_Luz_Faro", nullptr},
      {"data/XML/RigidAnim/Memoriam_pos", [](const std::string&) { return Repeated("\x7f garbage ", 50); }},
      {"data/XML/RigidAnim/Memoriam_look",
       ReplacedFirst("<Duration> [^ ]+ </Duration>", "<Duration> nan </Duration>")}},
     {kConfiguration + "windowed \"2\" is not 0 or 1, english \"si\" is not 0 or 1, debug_font_size \"-20\" is not a "
                       "size from 1 to 256, fps_list_size \"2147483648\" is not a size from 1 to 100000: the "
                       "defaults are used; debug_font \"Comic Sans\" is not a font of the game: DejaVu Sans is used",
      kConfiguration + "a second PROPERTIES element: its values replace the first's, the defaults where it has none",
      kRigid + "its track file in data/XML/RigidAnim/ is missing: the part plays nothing (2 times: part "
               "\"Luz_Faro_Luz_Faro\" of \"Luz_Faro\", part \"no_such_track\" of \"broken\")",
      kRigid + "names a mesh that is in no level: the part moves nothing (part \"Luz_Faro_pos\" of \"broken\" "
               "(mesh \"no_such_mesh\"))",
      "Rigid animation data/XML/RigidAnim/Memoriam_pos: it is not a rigid animation track (it does not begin with "
      "<RigidAnimation>); it is not played",
      "Rigid animation data/XML/RigidAnim/Memoriam_look: duration \"nan\" is not a number of seconds from 0 to 1e6; "
      "it is not played"}},
};

void PrintTo(const EntryDamage& damage, std::ostream* out)
{
    *out << damage.name;
}

class DamagedEntries : public DamagedStart<EntryDamage> {};

TEST_P(DamagedEntries, EachFaultIsSaidOnceWithItsFileAndTheGameGoesOn)
{
    const EntryDamage& damage = GetParam();
    ScratchFolder folder(damage.name);
    LayFolder(damage.files);
    const std::string output = RunGame();
    for (const std::string& line : damage.said) {
        const size_t at = output.find(line + "\n");
        EXPECT_NE(at, std::string::npos) << line << "\n---\n" << output.substr(0, 5000);
        if (at != std::string::npos)
            EXPECT_EQ(output.find(line, at + 1), std::string::npos) << "said again: " << line;
    }
}

INSTANTIATE_TEST_SUITE_P(ShippedGame, DamagedEntries, ::testing::ValuesIn(kEntryDamages),
                         [](const ::testing::TestParamInfo<EntryDamage>& info) { return std::string(info.param.name); });

} // namespace
} // namespace looptest
