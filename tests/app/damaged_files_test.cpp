// The shipped game started on files that read without an error but cannot
// be what they claim: pictures and sounds cut short or with bytes gone
// wrong, values no camera, light or object can take, files far larger than
// the game draws, and folders or looping links where a file should be. Each
// is said in one line, once, with its file, and the game reaches its menu and
// a new game.
#include "damaged_data.h"

#include <chrono>
#include <regex>

#include "scene/ParticleManager.h"
#include "sound/SoundManager.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

using damaged::DamagedStart;
using damaged::MakeDamage;
using damaged::ReadFile;
using damaged::Repeated;
using damaged::Replaced;

struct FileDamage {
    const char* name;
    std::vector<std::pair<std::string, MakeDamage>> files;
    // Each line whole, each exactly once; built from the shipped files where
    // they count its entries.
    std::function<std::vector<std::string>()> said;
    // Played on the new game's first frames, for files read only then.
    std::function<void()> play = nullptr;
    // Files turned into links that lead round to themselves.
    std::vector<std::string> loops = {};
    // Text no line may hold.
    std::vector<std::string> unsaid = {};
    // What the game must hold once it has run.
    std::function<void()> after = nullptr;
};

const char kRunaway[] = "\nfunction runaway()\n    while true do end\nend\n";
// How long each of the trigger ticks the runaway's run took.
std::vector<double> g_TickSeconds;

std::string Shipped(const std::string& file)
{
    return ReadFile(std::filesystem::path(VANTOREL_WORKDIR) / file);
}

int Count(const std::string& text, const std::string& piece)
{
    int n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// The fault tally's list: the first five entries, then how many more.
std::string Listed(const std::vector<std::string>& entries)
{
    std::string out = entries.size() > 1 ? std::to_string(entries.size()) + " times: " : "";
    for (size_t i = 0; i < entries.size() && i < 5; ++i)
        out += (i ? ", " : "") + entries[i];
    if (entries.size() > 5)
        out += " and " + std::to_string(entries.size() - 5) + " more";
    return out;
}

// Every match of the pattern replaced.
MakeDamage ReplacedAll(const char* pattern, const char* by)
{
    return [pattern, by](const std::string& s) {
        EXPECT_TRUE(std::regex_search(s, std::regex(pattern))) << pattern;
        return std::regex_replace(s, std::regex(pattern), by);
    };
}

// A PNG whose header claims the size: the first chunk holds it, big-endian.
std::string HugePng(std::string png)
{
    for (int at : {16, 20}) {
        const std::uint32_t side = 100000;
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>(side >> (24 - 8 * i));
    }
    return png;
}

// Bytes flipped in the middle pages of an Ogg stream: the headers stay whole.
std::string Flipped(std::string ogg)
{
    for (size_t at : {ogg.size() * 2 / 5, ogg.size() * 3 / 5})
        for (size_t i = 0; i < 8; ++i)
            ogg[at + i] = static_cast<char>(~ogg[at + i]);
    return ogg;
}

void Le32(std::string& bytes, size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// The hangars' objects repeated: a level that holds far more than it draws.
std::string HangarsRepeated(const std::string& s, int times)
{
    const size_t room = s.find("<room name=\"hangares\">");
    const size_t from = s.find("<objects>", room) + 9, to = s.find("</objects>", room);
    return s.substr(0, from) + Repeated(s.substr(from, to - from), times) + s.substr(to);
}

std::string SpotsRepeated(const std::string& s, int times, bool countToo)
{
    const size_t from = s.find("<spot "), to = s.rfind("</spots>");
    std::string out = s.substr(0, from) + Repeated(s.substr(from, to - from), times) + s.substr(to);
    if (countToo) {
        const std::string count = "count=\"" + std::to_string(Count(s, "<spot ")) + "\"";
        out = Replaced(out, count, "count=\"" + std::to_string(times * Count(s, "<spot ")) + "\"");
    }
    return out;
}

const std::string kInstances = "data/XML/instances.xml";
const std::string kSpots1 = "data/XML/light_instances_1.xml";
const std::string kSpots2 = "data/XML/light_instances_2.xml";
const std::string kObjects = "data/XML/objects_instances.xml";
const std::string kTechniques = "data/XML/techniques.xml";
const std::string kParticles = "data/XML/particleTypes.xml";

const FileDamage kFileDamages[] = {
    {"pictures_and_sounds",
     {{"data/textures/hormigon.jpg", [](const std::string&) { return std::string(); }},
      {"data/textures/metal.jpg", nullptr},
      {"data/textures/hormigon_normal.tga", [](const std::string& s) { return s.substr(0, s.size() / 2); }},
      {"data/textures/agua.jpg", [](const std::string& s) { return s.substr(0, s.size() * 2 / 3); }},
      {"data/textures/GUI/BOTON_MAINMENU_EXIT.png", HugePng},
      {"data/sound/menuTheme.ogg", [](const std::string& s) { return s.substr(0, s.size() / 3); }},
      {"data/sound/mainT3.ogg", Flipped},
      {"data/sound/Fire.wav",
       [](std::string s) {
           Le32(s, 4, 100);
           Le32(s, 40, 64);
           return s;
       }}},
     [] {
         return std::vector<std::string>{
             "data/textures/hormigon.jpg: refused: it is empty",
             "data/textures/metal.jpg: refused: it is missing",
             "data/textures/hormigon_normal.tga: refused: it is cut short before its last texel",
             "data/textures/agua.jpg: refused: it is cut short before its end marker",
             "data/textures/GUI/BOTON_MAINMENU_EXIT.png: refused: image 100000x100000 is larger than 8192 a side",
             "Sound file data/sound/menuTheme.ogg: it is cut short before its last page: what is there is played",
             "Sound file data/sound/mainT3.ogg: 2 stretches of it are damaged (their pages fail their checksums): "
             "they are skipped",
             "Sound file data/sound/Fire.wav: its RIFF size says 100 bytes where 88236 follow, and 88136 bytes "
             "after its data chunk are no chunk: only the 64 bytes its data chunk says are played"};
     },
     [] {
         getSoundManager().playThisSceneSound("data/sound/Fire.wav", 1.0f, true, "", 0.0f, false, "", 0.0f,
                                              false);
     }},
    {"level_values",
     {{"data/XML/camera_values.xml",
       [](const std::string& s) {
           std::string t = Replaced(s, "fov_respect_pi=\"0.3\"", "fov_respect_pi=\"0\"");
           t = Replaced(t, "near=\"4\"", "near=\"-4\"");
           t = Replaced(t, "far=\"26000\"", "far=\"nan\"");
           t = Replaced(t, "speed=\"0.3\"", "speed=\"1e30\"");
           return Replaced(t, "offset_z=\"-190\"", "offset_z=\"\"");
       }},
      {kSpots1, ReplacedAll("position=\"[^\"]*\"", "position=\"nan nan nan\"")},
      {kObjects,
       [](const std::string& s) {
           std::string t = std::regex_replace(s, std::regex("(obj_(lata|lata2)_0[12]\" ammo=\"0\" transform=\")[^\"]*"),
                                              "$1");
           return Replaced(t, "obj_gun_01\" ammo=\"24\"", "obj_gun_01\" ammo=\"text\"");
       }},
      {kInstances,
       [](const std::string& s) {
           std::string t = Replaced(s, "name=\"skybox\" transform=\"1 0 0 0 1 0 0 0 1",
                                    "name=\"skybox\" transform=\"1e38 0 0 0 1e38 0 0 0 1e38");
           t = Replaced(t, "name=\"suelo\" transform=\"1 0 0 0 1 0 0 0 1",
                        "name=\"suelo\" transform=\"1e38 0 0 0 1 0 0 0 1e38");
           return Replaced(t, "radio=\"4828.30176\"", "radio=\"nan\"");
       }},
      {kTechniques, ReplacedAll("technique=\"", "technique=\"X")}},
     [] {
         std::vector<std::string> spots, renders, cans;
         const std::string objects = Shipped(kObjects);
         const std::regex can("name=\"(obj_(lata|lata2)_0[12])\" ammo=\"0\"");
         for (auto m = std::sregex_iterator(objects.begin(), objects.end(), can); m != std::sregex_iterator(); ++m)
             cans.push_back("object \"" + (*m)[1].str() + "\"");
         for (int i = 1; i <= Count(Shipped(kSpots1), "<spot "); ++i)
             spots.push_back("spot " + std::to_string(i));
         const std::string techniques = Shipped(kTechniques);
         const std::regex render("<Entity name=\"([^\"]*)\">|<render technique=\"([^\"]*)\" state=\"([^\"]*)\"");
         std::string entity;
         for (auto m = std::sregex_iterator(techniques.begin(), techniques.end(), render);
              m != std::sregex_iterator(); ++m) {
             if ((*m)[1].matched)
                 entity = (*m)[1];
             else
                 renders.push_back("technique \"X" + (*m)[2].str() + "\" of entity \"" + entity + "\" pass \"" +
                                   (*m)[3].str() + "\"");
         }
         return std::vector<std::string>{
             "data/XML/camera_values.xml: speed \"1e30\" is not a number from 0.001 to 10, offset_z \"\" is not a "
             "number from -10000 to 10000, fov_respect_pi \"0\" is not a number from 0.05 to 0.95, near \"-4\" is "
             "not a number from 0.01 to 1000, far \"nan\" is not a number from 1 to 1000000: their defaults are "
             "used (an offset's, the follow distance)",
             kSpots1 + ": a spot whose position or target is not 3 numbers within 1e6 is left out (" +
                 Listed(spots) + ")",
             kObjects + ": a transform that is not 12 numbers: the object is left out (" + Listed(cans) + ")",
             kObjects + ": ammo \"text\" is not a count from 0 to 65535: the pickup is left out (object "
                        "\"obj_gun_01\")",
             kInstances + ": a transform that is not 12 numbers (turned and scaled within 1000, placed within 1e6): "
                          "the object is left out (2 times: object \"skybox\", object \"suelo\")",
             kInstances + ": radio \"nan\" is not a number from 0 to 1e6: 5000 is used (object \"Agua\")",
             kTechniques + ": names a technique data/fx/effects4.fx does not have: the entity draws with its own (" +
                 Listed(renders) + ")"};
     }},
    {"sizes",
     {{kInstances, [](const std::string& s) { return HangarsRepeated(s, 6); }},
      {kSpots1, [](const std::string& s) { return SpotsRepeated(s, 10, false); }},
      {kSpots2, [](const std::string& s) { return SpotsRepeated(s, 7, true); }}},
     [] {
         const std::string instances = Shipped(kInstances);
         const size_t room = instances.find("<room name=\"hangares\">");
         const int objects = Count(instances.substr(room, instances.find("</room>", room) - room), "<object ");
         const int spots1 = Count(Shipped(kSpots1), "<spot "), spots2 = Count(Shipped(kSpots2), "<spot ");
         return std::vector<std::string>{
             kInstances + ": room \"hangares\" holds " + std::to_string(6 * objects) +
                 " objects, far more than the 1024 the game draws: the first 1024 are kept",
             kSpots1 + ": " + std::to_string(10 * spots1) + " spots where its count says " + std::to_string(spots1) +
                 ": the first " + std::to_string(spots1) + " are used",
             kSpots2 + ": " + std::to_string(7 * spots2) +
                 " spots, far more than the 1024 the game lights with: the first 1024 are used"};
     }},
    {"folders_and_loops_for_files",
     {{"data/XML/thompson.xml/", nullptr},
      {"data/XML/init_configuration.xml/", nullptr},
      {"sala1.lua/", nullptr},
      {"data/XML/lista_animaciones_rigidas.xml", nullptr},
      {"data/fx/effects4.fx", nullptr}},
     [] {
         return std::vector<std::string>{
             "data/XML/thompson.xml: refused: it is a folder, not a file",
             "data/XML/init_configuration.xml: refused: it is a folder, not a file",
             "Lua: sala1.lua: refused: it is a folder, not a file",
             "data/XML/lista_animaciones_rigidas.xml: refused: it is a symbolic link that loops",
             "Error compiling effect: data/fx/effects4.fx: it is missing"};
     },
     nullptr,
     {"data/XML/lista_animaciones_rigidas.xml"}},
    {"particle_types_out_of_range",
     {{kParticles, ReplacedAll("fps=\"30\"", "fps=\"0\"")}},
     [] {
         const std::string shipped = Shipped(kParticles);
         std::vector<std::string> types;
         const std::regex system("<PARTICLE_SYSTEM name=\"([^\"]*)\"[^>]* fps=");
         for (auto m = std::sregex_iterator(shipped.begin(), shipped.end(), system); m != std::sregex_iterator(); ++m)
             types.push_back("type \"" + (*m)[1].str() + "\"");
         return std::vector<std::string>{kParticles + ": fps \"0\" is not a whole number from 1 to 1000: the type "
                                                      "is left out (" +
                                         Listed(types) + ")"};
     },
     [] {
         getParticleManager().SpawnBlood(D3DXVECTOR3(0, 80, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0));
         getParticleManager().SpawnSparks(D3DXVECTOR3(0, 80, 0), D3DXVECTOR3(0, 0, 1));
     },
     {},
     {"particle type not found", "particle system not found", "without a type"}},
    // A trigger logic that never ends: stopped by the budget at its first
    // tick, switched off, not run again at the next.
    {"runaway_trigger_logic",
     {{"sala1.lua", [](const std::string& s) { return s + kRunaway; }}},
     [] {
         const int line = Count(Shipped("sala1.lua"), "\n") + 3;
         return std::vector<std::string>{"Lua: sala1.lua:" + std::to_string(line) +
                                         ": script stopped: it ran past 50000000 instructions; the trigger logic "
                                         "\"runaway\" is switched off"};
     },
     [] {
         if (g_TickSeconds.empty())
             getTriggerManager().getTriggerLogicByName("runaway")->active = true;
         const auto start = std::chrono::steady_clock::now();
         getTriggerManager().Update(0.15f);
         g_TickSeconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
     },
     {},
     {},
     [] {
         EXPECT_FALSE(getTriggerManager().getEnabledTrigger("runaway"));
         ASSERT_EQ(g_TickSeconds.size(), 2u);
         EXPECT_LT(g_TickSeconds[1], g_TickSeconds[0] / 10) << "the next tick runs at the game's pace";
         g_TickSeconds.clear();
     }},
};

void PrintTo(const FileDamage& damage, std::ostream* out)
{
    *out << damage.name;
}

class DamagedFiles : public DamagedStart<FileDamage> {};

TEST_P(DamagedFiles, EachIsSaidOnceWithItsFileAndTheGameGoesOn)
{
    const FileDamage& damage = GetParam();
    player.play = damage.play;
    ScratchFolder folder(damage.name);
    LayFolder(damage.files);
    for (const std::string& loop : damage.loops) {
        std::filesystem::remove(loop);
        std::filesystem::create_symlink(std::filesystem::path(loop).filename(), loop);
    }
    const std::string output = RunGame();
    for (const std::string& line : damage.said()) {
        const size_t at = output.find(line + "\n");
        EXPECT_NE(at, std::string::npos) << line << "\n---\n" << output.substr(0, 6000);
        if (at != std::string::npos)
            EXPECT_EQ(output.find(line, at + 1), std::string::npos) << "said again: " << line;
    }
    for (const std::string& text : damage.unsaid)
        EXPECT_EQ(output.find(text), std::string::npos) << text << "\n---\n" << output.substr(0, 6000);
    if (damage.after)
        damage.after();
}

INSTANTIATE_TEST_SUITE_P(ShippedGame, DamagedFiles, ::testing::ValuesIn(kFileDamages),
                         [](const ::testing::TestParamInfo<FileDamage>& info) { return std::string(info.param.name); });

} // namespace
} // namespace looptest
