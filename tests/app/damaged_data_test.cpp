// The shipped game started on one damaged data file at a time: each must
// name the file on the debug output and still reach the main menu and a new
// game, without a crash, a hang or a sanitizer report.
#include "damaged_data.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "sound/SoundManager.h"

namespace looptest {
namespace {

using damaged::DamagedStart;
using damaged::MakeDamage;
using damaged::Repeated;
using damaged::Replaced;

// A Lua chunk of the given source, precompiled.
std::string Bytecode(const char* source)
{
    std::string out;
    lua_State* L = luaL_newstate();
    luaL_loadstring(L, source);
    lua_dump(L, +[](lua_State*, const void* p, size_t n, void* o) {
        static_cast<std::string*>(o)->append(static_cast<const char*>(p), n);
        return 0;
    }, &out);
    lua_close(L);
    return out;
}

struct Damage {
    const char* name;
    const char* file;  // under the working folder; a last '/' makes a folder of that name
    std::function<std::string(const std::string& shipped)> make;  // null: the file or folder is removed
    std::string said;  // what the debug output must hold
    // Played on the first frames of the new game (twice), for files only read
    // when the story reaches them; the line must then come exactly once.
    std::function<void()> play = nullptr;
    bool once = false; // the line comes exactly once
    bool noGame = false; // the main menu stays: New game is refused
};

// Every name="..." of the text with an X in front.
std::string NamesUnknown(std::string text)
{
    for (size_t at = text.find("name=\""); at != std::string::npos; at = text.find("name=\"", at + 7))
        text.insert(at + 6, "X");
    return text;
}


const Damage kDamages[] = {
    {"materials_count_1e8", "data/XML/instances.xml",
     [](const std::string& s) { return Replaced(s, "<materials count=\"1\">", "<materials count=\"100000000\">"); },
     "data/XML/instances.xml: materials count 100000000 but 1 given"},
    {"spots_count_20_digits", "data/XML/light_instances_1.xml",
     [](const std::string& s) { return Replaced(s, "count=\"", "count=\"99999999999999999999"); },
     "light_instances_1.xml: spots count 2147483647 but"},
    {"instances_deeply_nested", "data/XML/instances.xml",
     [](const std::string&) { return "<rooms count=\"2\">" + Repeated("<room>", 100000); },
     "data/XML/instances.xml: refused: elements nest deeper than 64"},
    {"bloom_huge_stage", "data/fx/bloom.xml",
     [](const std::string&) { return std::string("<bloom><stage xres=\"2147483647\" yres=\"100000\"/></bloom>"); },
     "data/fx/bloom.xml: refused: stage 2147483647x100000"},
    {"bloom_10000_stages", "data/fx/bloom.xml",
     [](const std::string&) { return "<bloom>" + Repeated("<stage/>", 10000) + "</bloom>"; },
     "data/fx/bloom.xml: refused: more than 32 stages"},
    {"bloom_deeply_nested", "data/fx/bloom.xml",
     [](const std::string&) { return "<bloom>" + Repeated("<stage>", 100000); },
     "data/fx/bloom.xml: refused: elements nest deeper than 64"},
    {"effect_deep_parentheses", "data/fx/effects4.fx",
     [](const std::string& s) {
         return Replaced(s, "shared {", "shared {\nuniform vec4 deep[" + Repeated("(", 30000) + "1" +
                                            Repeated(")", 30000) + "];");
     },
     "Error compiling effect: data/fx/effects4.fx"},
    {"effect_overflowing_sizes", "data/fx/effects4.fx",
     [](const std::string& s) {
         return Replaced(s, "shared {",
                         "shared {\nuniform vec4 a[(-9223372036854775807 - 1) / -1], b[9223372036854775807 * 2],"
                         " c[2147483647];\n#line 5 99999999999999999999");
     },
     "data/fx/effects4.fx(11,52): error: literal value `9223372036854775807' out of range"},
    {"sala1_bytecode", "sala1.lua", [](const std::string&) { return Bytecode("x = 1"); },
     "sala1.lua: attempt to load a binary chunk"},
    {"sala1_endless_loop", "sala1.lua", [](const std::string&) { return std::string("while true do end"); },
     "sala1.lua:1: script stopped: it ran past 50000000 instructions"},
    // The scripts' top level runs while the game starts: reaching the trigger
    // manager from there must find it built, not abort the start.
    {"sala1_reaches_the_trigger_manager", "sala1.lua",
     [](const std::string& s) {
         return s + "\ngetTriggerManager():setEnableTrigger('checkPoint1', false)\n"
                    "the_trigger_manager_answered()\n";
     },
     "global 'the_trigger_manager_answered'"},
    {"sala1_memory_bomb", "sala1.lua",
     [](const std::string&) { return std::string("local s = 'x' while true do s = s .. s end"); },
     "not enough memory"},
    {"texture_16bit_pgm", "data/textures/hormigon.jpg",
     [](const std::string&) { return std::string("P5\n4000 4000\n65535\n") + std::string(64, '\x7f'); },
     "hormigon.jpg: refused: it is no JPEG"},
    {"texture_9_byte_jpeg", "data/textures/hormigon.jpg",
     [](const std::string&) { return std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x01", 9); },
     "hormigon.jpg: refused: it is no JPEG"},
    {"texture_announcing_1gb", "data/textures/hormigon.jpg",
     [](const std::string& s) {
         std::string big = s; // the shipped JPEG, its frame header saying 16384 x 16384
         const size_t frame = big.find("\xFF\xC0");
         big[frame + 5] = big[frame + 7] = '\x40';
         big[frame + 6] = big[frame + 8] = '\x00';
         return big;
     },
     "hormigon.jpg: refused: image 16384x16384 is larger than 8192 a side"},
    {"bindings_cut_short", "data/XML/actionsInputs.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/actionsInputs.xml: refused: it is not well-formed XML"},
    {"configuration_empty", "data/XML/init_configuration.xml", [](const std::string&) { return std::string(); },
     "data/XML/init_configuration.xml: refused: it is not well-formed XML (no element found at line 1)"},
    {"particle_types_cut_short", "data/XML/particleTypes.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/particleTypes.xml: refused: it is not well-formed XML"},
    // The refusal is the one line: the follow distance it falls back to is no second fault.
    {"camera_values_missing", "data/XML/camera_values.xml", nullptr,
     "data/XML/camera_values.xml: refused: it is missing\n", nullptr, true},
    {"camera_values_nan", "data/XML/camera_values.xml",
     [](const std::string& s) { return Replaced(s, "offset_x=\"0\"", "offset_x=\"nan\""); },
     "data/XML/camera_values.xml: offset_x \"nan\" is not a number from -10000 to 10000"},
    {"window_width_0", "data/XML/init_configuration.xml",
     [](const std::string& s) { return Replaced(s, "width=\"800\"", "width=\"0\""); },
     "data/XML/init_configuration.xml: window width \"0\""},
    {"window_height_negative", "data/XML/init_configuration.xml",
     [](const std::string& s) { return Replaced(s, "height=\"600\"", "height=\"-600\""); },
     "data/XML/init_configuration.xml: window height \"-600\""},
    {"window_width_huge", "data/XML/init_configuration.xml",
     [](const std::string& s) { return Replaced(s, "width=\"800\"", "width=\"99999999999\""); },
     "data/XML/init_configuration.xml: window width \"99999999999\""},
    {"techniques_cut_short", "data/XML/techniques.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/techniques.xml: refused: it is not well-formed XML (unclosed token at line"},
    {"bindings_unknown_key", "data/XML/actionsInputs.xml",
     [](const std::string& s) { return Replaced(s, "key=\"DIK_LEFT\"", "key=\"DIK_LEFTT\""); },
     "data/XML/actionsInputs.xml: action \"MoveCameraLeft\": unknown key name \"DIK_LEFTT\", the binding never fires"},
    // A huge name is cut where it is echoed.
    {"subtitles_1mb_name", "data/XML/subtitulos.xml",
     [](const std::string& s) {
         return Replaced(s, "name=\"UnoMenosR\" min=\"0\" seconds=\"4\"",
                         "name=\"" + std::string(1 << 20, 'N') + "\" min=\"0\" seconds=\"-4\"");
     },
     "data/XML/subtitulos.xml refused: duration of \"" + std::string(200, 'N') + "...\" out of range"},
    // Sounds read only when the story plays them: named the first time, not
    // at every play.
    {"flyby_garbage", "data/sound/FLYBY.ogg", [](const std::string&) { return Repeated("garbage ", 1000); },
     "Sound file data/sound/FLYBY.ogg refused: neither WAVE nor Ogg Vorbis",
     [] { getSoundManager().playThisAvionetaArrive(); }, true},
    {"fire_wav_header_only", "data/sound/Fire.wav", [](const std::string& s) { return s.substr(0, 44); },
     "Sound file data/sound/Fire.wav refused: chunk runs past the end of the file",
     [] {
         getSoundManager().playThisSceneSound("data/sound/Fire.wav", 1.0f, true, "data/sound/HE.wav", 1.0f, true, "",
                                              0.0f, false);
     },
     true},
    {"core_models_missing", "data/XML/CoreModels.xml", nullptr, "Data/XML/CoreModels.xml: refused: it is missing"},
    {"light_instances_2_cut_short", "data/XML/light_instances_2.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/light_instances_2.xml: refused: it is not well-formed XML (unclosed token at line"},
    // The level scripts run at the start and again at the new game.
    {"sala1_error_said_once", "sala1.lua", [](const std::string& s) { return s + "\nno_such_function()\n"; },
     "attempt to call global 'no_such_function' (a nil value)", nullptr, true},
    {"subtitles_cut_short", "data/XML/subtitulos.xml", [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/subtitulos.xml refused: it is not well-formed XML (unclosed token at line"},
    {"bloom_missing", "data/fx/bloom.xml", nullptr, "data/fx/bloom.xml: refused: it is missing"},
    // Files read again at every level load say so once: the start and the new game each read them.
    {"camera_values_cut_short", "data/XML/camera_values.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/camera_values.xml: refused: it is not well-formed XML (unclosed token at line", nullptr, true},
    // Cut halfway, inside the tag that runs across the middle, wherever the layout puts it.
    {"enemy_list_cut_short", "data/XML/enemyList.xml",
     [](const std::string& s) { return s.substr(0, s.find('<', s.size() / 2) + 2); },
     "data/XML/enemyList.xml: it is not well-formed XML (unclosed token at line", nullptr, true},
    {"enemy_kinds_cut_short", "data/XML/typeOfEnemyList.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/typeOfEnemyList.xml: it is not well-formed XML (unclosed token at line", nullptr, true},
    {"rigid_animations_cut_short", "data/XML/lista_animaciones_rigidas.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "data/XML/lista_animaciones_rigidas.xml: it is not well-formed XML (unclosed token at line", nullptr, true},
    {"collisions_cut_short", "data/XML/collision_instances.xml",
     [](const std::string& s) { return s.substr(0, s.size() / 2); },
     "Collision file data/XML/collision_instances.xml refused: it is not well-formed XML (unclosed token at line",
     nullptr, true, true},
    {"trigger_size_nan", "data/XML/trigger_instances.xml",
     [](const std::string& s) { return Replaced(s, "width=\"200\"", "width=\"nan\""); },
     "data/XML/trigger_instances.xml: refused: trigger \"trg_01\" has a size or place that is not a finite number",
     nullptr, true},
    {"gun_six_bad_values", "data/XML/gun.xml",
     [](const std::string& s) {
         std::string t = Replaced(s, "ammo=\"26\"", "ammo=\"abc\"");
         t = Replaced(t, "clipSize=\"6\"", "clipSize=\"0\"");
         t = Replaced(t, "damage=\"15\"", "damage=\"nan\"");
         t = Replaced(t, "cadence=\"0.35\"", "cadence=\"-1\"");
         t = Replaced(t, "bullet_velocity=\"15.0\"", "bullet_velocity=\"1e40\"");
         return Replaced(t, "max_ammo=\"156\"", "max_ammo=\"-156\"");
     },
     "data/XML/gun.xml: refused: ammo, damage, max_ammo not a count from 0 to 65535; cadence, bullet_velocity not a "
     "usable number; the weapon keeps its own values",
     nullptr, true},
    {"enemy_mesh_negative_count", "data/models/enemy/enemy.cmf",
     [](const std::string& s) { return s.substr(0, 16) + std::string("\xFB\xFF\xFF\xFF", 4) + s.substr(20); },
     "data/models/enemy/enemy.cmf: refused: submesh 0 vertex count -5 is outside 0..65535", nullptr, true},
    {"sala1_wrong_call", "sala1.lua",
     [](const std::string& s) { return "getTriggerManager():setEnableTrigger({}, {}, {})\n" + s; },
     "Lua: sala1.lua:1: No matching overload found", nullptr, true},
    {"log_is_a_folder", "data/log.txt/", nullptr, "data/log.txt: refused: the log cannot be written (Is a directory)"},
    // Without its boxes a level has no floor: the menu stays and says why.
    {"collisions_missing", "data/XML/collision_instances.xml", nullptr,
     "Collision file data/XML/collision_instances.xml refused: it is missing; a level without its boxes has no "
     "floor, so no game can start\n",
     nullptr, true, true},
    {"subtitles_missing", "data/XML/subtitulos.xml", nullptr, "data/XML/subtitulos.xml refused: it is missing\n"},
    {"sala1_emptied", "sala1.lua", [](const std::string&) { return std::string(" \n"); },
     "Lua: sala1.lua: refused: it is empty\n", nullptr, true},
    {"gui_pictures_missing", "data/textures/GUI", nullptr,
     "data/XML/GUI.xml: 172 of its 172 pictures are missing (GUI/A_CUBIERTO_MANDO.png, "
     "GUI/A_CUBIERTO_MANDO_INGLES.png, GUI/A_CUBIERTO_TECLADO.png, ...): what shows them is not drawn\n",
     nullptr, true},
    {"gui_names_unknown", "data/XML/GUI.xml", NamesUnknown,
     "data/XML/GUI.xml: no element \"FONDO_MAINMENU1\": it is not drawn\n", nullptr, true},
    // The whole folder is one line, not one per sound.
    {"sound_folder_missing", "data/sound", nullptr,
     "Sound folder data/sound/ refused: it is missing; its sounds are not played\n", nullptr, true},
    {"enemy_animation_missing", "data/models/enemy/enemy_andar.caf", nullptr,
     "data/models/enemy/enemy_andar.caf: refused: it is missing\n", nullptr, true},
};

void PrintTo(const Damage& damage, std::ostream* out)
{
    *out << damage.name;
}

class DamagedData : public DamagedStart<Damage> {};

TEST_P(DamagedData, TheFileIsNamedAndTheGameReachesTheMenuAndANewGame)
{
    const Damage& damage = GetParam();
    player.play = damage.play;
    ScratchFolder folder(damage.name);
    LayFolder({{damage.file, damage.make}});
    const std::string output = RunGame(damage.noGame);
    const size_t at = output.find(damage.said);
    EXPECT_NE(at, std::string::npos) << output.substr(0, 3000);
    if (damage.once && at != std::string::npos)
        EXPECT_EQ(output.find(damage.said, at + 1), std::string::npos) << "said again: " << output.substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(ShippedGame, DamagedData, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

} // namespace
} // namespace looptest
