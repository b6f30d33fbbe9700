// The shipped game started on one damaged data file at a time: each must
// name the file on the debug output and still reach the main menu and a new
// game, without a crash, a hang or a sanitizer report.
#include "loop_fixture.h"

#include <SDL.h>

#include <functional>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "app/WinMain.h"
#include "platform/dinput.h"
#include "platform/sdl_window.h"

namespace looptest {
namespace {

namespace fs = std::filesystem;

// Return at the third menu pass, the close button after three game frames.
class NewGamePlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        if (++menuPasses == 1)
            SetFocus(MainWindow);
        CGameCalls::UpdateMainMenu(dt);
        if (menuPasses == 3)
            keys.SetKey(DIK_RETURN, true);
    }
    void UpdateFrame(float dt) override
    {
        keys.SetKey(DIK_RETURN, false);
        CGameCalls::UpdateFrame(dt);
        if (++frames == 3) {
            SDL_Event e{};
            e.type = SDL_WINDOWEVENT;
            e.window.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
            e.window.event = SDL_WINDOWEVENT_CLOSE;
            SDL_PushEvent(&e);
        }
    }
    platform::FakeDirectInput keys;
    int menuPasses = 0, frames = 0;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string Repeated(const std::string& piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

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
    const char* file;  // under the working folder
    std::function<std::string(const std::string& shipped)> make;  // null: the file is removed
    const char* said;  // what the debug output must hold
};

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
    {"camera_values_missing", "data/XML/camera_values.xml", nullptr,
     "data/XML/camera_values.xml: offset (0, 0, 0) is zero or not a number"},
    {"camera_values_nan", "data/XML/camera_values.xml",
     [](const std::string& s) { return Replaced(s, "offset_x=\"0\"", "offset_x=\"nan\" offset_y=\"0\" offset_z=\"0\" a=\""); },
     "data/XML/camera_values.xml: offset (0, 0, 0) is zero or not a number"},
    {"window_width_0", "data/XML/init_configuration.xml",
     [](const std::string& s) { return Replaced(s, "width=\"800\"", "width=\"0\""); },
     "data/XML/init_configuration.xml: window width \"0\""},
    {"window_height_negative", "data/XML/init_configuration.xml",
     [](const std::string& s) { return Replaced(s, "height=\"600\"", "height=\"-600\""); },
     "data/XML/init_configuration.xml: window height \"-600\""},
    {"window_width_huge", "data/XML/init_configuration.xml",
     [](const std::string& s) { return Replaced(s, "width=\"800\"", "width=\"99999999999\""); },
     "data/XML/init_configuration.xml: window width \"99999999999\""},
};

void PrintTo(const Damage& damage, std::ostream* out)
{
    *out << damage.name;
}

class DamagedData : public ::testing::TestWithParam<Damage> {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        platform::SetClock(&clock);
        platform::SetDirectInputSource(&player.keys);
        SetGameCalls(&player);
    }
    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        ResetGameState();
    }

    SteppingClock clock{0.001};
    NewGamePlayer player;
};

TEST_P(DamagedData, TheFileIsNamedAndTheGameReachesTheMenuAndANewGame)
{
    const Damage& damage = GetParam();
    ScratchFolder folder(damage.name);
    // The shipped working folder, linked file by file, with the one file replaced.
    const fs::path shipped(VANTOREL_WORKDIR);
    for (const auto& entry : fs::recursive_directory_iterator(shipped)) {
        const fs::path here = fs::relative(entry.path(), shipped);
        // What the game writes (its timing log, the bloom's stage images) stays
        // out: a link would write into the shipped folder that other runs read.
        const std::string name = here.filename().string();
        if (entry.is_directory())
            fs::create_directories(here);
        else if (name != "log.txt" && name.rfind("Stage", 0) != 0)
            fs::create_symlink(entry.path(), here);
    }
    fs::remove(damage.file);
    if (damage.make)
        std::ofstream(damage.file, std::ios::binary) << damage.make(ReadFile(shipped / damage.file));

    ::testing::internal::CaptureStderr();
    const int result = VantorelMain();
    const std::string output = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(result, 0);
    EXPECT_GE(player.menuPasses, 3) << "the main menu was reached";
    EXPECT_GE(player.frames, 3) << "a new game ran";
    EXPECT_NE(output.find(damage.said), std::string::npos) << output.substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(ShippedGame, DamagedData, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

} // namespace
} // namespace looptest
