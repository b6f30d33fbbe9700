// The shipped game started on files that read without an error but cannot be
// what they claim: pictures and sounds cut short or with bytes gone wrong,
// values no camera, light or object can take, files far larger than the game
// draws, folders or looping links where a file should be, and a trigger logic
// that never ends. Each is said in one line, once, with its file; the game
// reaches its menu and a new game and does what the line says.
#include "damaged_data.h"

#include <chrono>
#include <regex>

#include "scene/Camera.h"
#include "render/TextureManager.h"
#include "scene/ParticleManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

using damaged::DamagedStart;
using damaged::MakeDamage;
using damaged::Repeated;
using damaged::Replaced;

struct FileDamage {
    const char* name;
    std::vector<std::pair<std::string, MakeDamage>> files;
    std::function<std::vector<std::string>()> said; // each line whole and once, counted from the shipped files
    std::function<void()> play = nullptr;           // on the new game's first two frames
    std::function<void()> after = nullptr;          // what the game holds once it has run
    std::vector<std::string> unsaid = {};           // text no line may hold
    const char* loop = nullptr;                     // a file made a link that leads back to itself
};

std::string Shipped(const std::string& file)
{
    return damaged::ReadFile(std::filesystem::path(VANTOREL_WORKDIR) / file);
}

// Entries as the fault tally lists them: the first five, then how many more.
std::string Listed(const std::vector<std::string>& all)
{
    std::string out = all.size() > 1 ? std::to_string(all.size()) + " times: " : "";
    for (size_t i = 0; i < all.size() && i < 5; ++i)
        out += (i ? ", " : "") + all[i];
    return out + (all.size() > 5 ? " and " + std::to_string(all.size() - 5) + " more" : "");
}

// Every match of the pattern in the text, formatted; an empty format counts
// the matches ("spot 1", "spot 2"...). With an '@' in the format, a match
// whose first group is not empty is kept for the ones after it, where '@'
// stands for it (an entity whose render elements follow).
std::vector<std::string> Matches(const std::string& text, const char* pattern, const std::string& format)
{
    std::vector<std::string> all;
    std::string last;
    const std::regex match(pattern);
    for (auto m = std::sregex_iterator(text.begin(), text.end(), match); m != std::sregex_iterator(); ++m) {
        if (format.empty())
            all.push_back(std::string(pattern).substr(1, 4) + " " + std::to_string(all.size() + 1));
        else if (format.find('@') != std::string::npos && (*m)[1].length() > 0)
            last = (*m)[1];
        else
            all.push_back(std::regex_replace(m->format(format), std::regex("@"), last));
    }
    return all;
}

int Count(const std::string& text, const char* pattern)
{
    const std::regex match(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), match), std::sregex_iterator()));
}

MakeDamage ReplacedAll(const char* pattern, const char* by)
{
    return [pattern, by](const std::string& s) { return std::regex_replace(s, std::regex(pattern), by); };
}

// Bytes written over at offsets, little-endian (or big-endian) 32-bit words.
MakeDamage Words(std::vector<std::pair<size_t, std::uint32_t>> words, bool bigEndian = false)
{
    return [words, bigEndian](std::string s) {
        for (const auto& [at, value] : words)
            for (int i = 0; i < 4; ++i)
                s[at + i] = static_cast<char>(value >> (bigEndian ? 24 - 8 * i : 8 * i));
        return s;
    };
}

// The entries of the first list of the tag repeated; its count too, if asked.
MakeDamage Repeat(const std::string& tag, int times, bool count = false)
{
    return [=](const std::string& s) {
        const size_t a = s.find('>', s.find("<" + tag)) + 1, b = s.find("</" + tag + ">", a);
        const std::string out = s.substr(0, a) + Repeated(s.substr(a, b - a), times) + s.substr(b);
        const int entries = Count(s.substr(a, b - a), "<spot ");
        return count ? Replaced(out, "count=\"" + std::to_string(entries) + "\"",
                                "count=\"" + std::to_string(entries * times) + "\"")
                     : out;
    };
}

const std::string kInstances = "data/XML/instances.xml", kSpots1 = "data/XML/light_instances_1.xml",
                  kSpots2 = "data/XML/light_instances_2.xml", kObjects = "data/XML/objects_instances.xml",
                  kTechniques = "data/XML/techniques.xml", kParticles = "data/XML/particleTypes.xml",
                  kRunaway = "\nfunction runaway()\n    while true do end\nend\n";
std::vector<double> g_TickSeconds; // each trigger tick of the runaway's run

CRoom* Room(const char* name)
{
    getScenario()->SelectScenario(name);
    return getScenario()->GetCurrentRoom();
}

const FileDamage kFileDamages[] = {
    {"pictures_and_sounds",
     {{"data/textures/hormigon.jpg", [](const std::string&) { return std::string(); }},
      {"data/textures/metal.jpg", nullptr},
      {"data/textures/lightmaps", nullptr},
      {"data/textures/hormigon_normal.tga", [](const std::string& s) { return s.substr(0, s.size() / 2); }},
      {"data/textures/agua.jpg", [](const std::string& s) { return s.substr(0, s.size() * 2 / 3); }},
      {"data/textures/GUI/BOTON_MAINMENU_EXIT.png", Words({{16, 100000}, {20, 100000}}, true)},
      {"data/sound/menuTheme.ogg", [](const std::string& s) { return s.substr(0, s.size() / 3); }},
      {"data/sound/mainT3.ogg",
       [](std::string s) {
           for (size_t at : {s.size() * 2 / 5, s.size() * 3 / 5})
               for (size_t i = 0; i < 8; ++i)
                   s[at + i] = static_cast<char>(~s[at + i]);
           return s;
       }},
      {"data/sound/Fire.wav", Words({{4, 100}, {40, 64}})}},
     [] {
         return std::vector<std::string>{
             "data/textures/hormigon.jpg: refused: it is empty",
             "data/textures/metal.jpg: refused: it is missing",
             "Texture folder data/textures/lightmaps/ refused: it is missing; what its textures cover is drawn "
             "without them",
             "data/textures/hormigon_normal.tga: refused: it is cut short before its last texel",
             "data/textures/agua.jpg: refused: it is cut short before its end marker",
             "data/textures/GUI/BOTON_MAINMENU_EXIT.png: refused: image 100000x100000 is larger than 8192 a side",
             "Sound file data/sound/menuTheme.ogg: it is cut short before its last page: what is there is played",
             "Sound file data/sound/mainT3.ogg: 2 stretches of it are damaged (their pages fail their checksums): "
             "they are skipped",
             "Sound file data/sound/Fire.wav: its RIFF size says 100 bytes where 88236 follow, and 88136 bytes "
             "after its data chunk are no chunk: only the 64 bytes its data chunk says are played"};
     },
     [] { getSoundManager().playThisSceneSound("data/sound/Fire.wav", 1, true, "", 0, false, "", 0, false); },
     [] {
         for (const char* texture : {"hormigon.jpg", "metal.jpg", "hormigon_normal.tga", "agua.jpg"})
             EXPECT_EQ(getTextureManager().GetTexture(texture), nullptr) << texture << " is drawn without";
         EXPECT_NE(getSoundManager().menuThemeLoopChannel, 0u) << "what is there is played";
         EXPECT_NE(getSoundManager().mainThemeLoopChannel, 0u);
     }},
    {"level_values",
     {{"data/XML/camera_values.xml",
       [](const std::string& s) {
           std::string t = Replaced(s, "fov_respect_pi=\"0.3\"", "fov_respect_pi=\"0\"");
           t = Replaced(Replaced(t, "near=\"4\"", "near=\"-4\""), "far=\"26000\"", "far=\"nan\"");
           return Replaced(Replaced(t, "speed=\"0.3\"", "speed=\"1e30\""), "offset_z=\"-190\"", "offset_z=\"\"");
       }},
      {kSpots1, ReplacedAll("position=\"[^\"]*\"", "position=\"nan nan nan\"")},
      {kObjects,
       [](const std::string& s) {
           const std::string t = std::regex_replace(s, std::regex("(obj_lata2?_0[12]\" ammo=\"0\" transform=\")[^\"]*"),
                                                    "$1");
           return Replaced(t, "obj_gun_01\" ammo=\"24\"", "obj_gun_01\" ammo=\"text\"");
       }},
      {kInstances,
       [](const std::string& s) {
           std::string t = Replaced(s, "\"skybox\" transform=\"1 0 0 0 1", "\"skybox\" transform=\"1e38 0 0 0 1e38");
           t = Replaced(t, "\"suelo\" transform=\"1 0 0 0 1 0 0 0 1", "\"suelo\" transform=\"1e38 0 0 0 1 0 0 0 1e38");
           return Replaced(t, "radio=\"4828.30176\"", "radio=\"nan\"");
       }},
      {kTechniques, ReplacedAll("technique=\"", "technique=\"X")}},
     [] {
         return std::vector<std::string>{
             "data/XML/camera_values.xml: speed \"1e30\" is not a number from 0.001 to 10, offset_z \"\" is not a "
             "number from -10000 to 10000, fov_respect_pi \"0\" is not a number from 0.05 to 0.95, near \"-4\" is "
             "not a number from 0.01 to 1000, far \"nan\" is not a number from 1 to 1000000: their defaults are "
             "used (an offset's, the follow distance)",
             kSpots1 + ": a spot whose position or target is not 3 numbers within 1e6 is left out (" +
                 Listed(Matches(Shipped(kSpots1), "<spot ", "")) + ")",
             kObjects + ": a transform that is not 12 numbers: the object is left out (" +
                 Listed(Matches(Shipped(kObjects), "name=\"(obj_lata2?_0[12])\" ammo=\"0\"", "object \"$1\"")) + ")",
             kObjects + ": ammo \"text\" is not a count from 0 to 65535: the pickup is left out (object "
                        "\"obj_gun_01\")",
             kInstances + ": a transform that is not 12 numbers (turned and scaled within 1000, placed within 1e6): "
                          "the object is left out (2 times: object \"skybox\", object \"suelo\")",
             kInstances + ": radio \"nan\" is not a number from 0 to 1e6: 5000 is used (object \"Agua\")",
             kTechniques + ": names a technique data/fx/effects4.fx does not have: the entity draws with its own (" +
                 Listed(Matches(Shipped(kTechniques),
                                "<Entity name=\"([^\"]*)\">|<render technique=\"([^\"]*)\" state=\"([^\"]*)\"",
                                "technique \"X$2\" of entity \"@\" pass \"$3\"")) + ")"};
     },
     nullptr,
     [] {
         const CCamera::Values& v = getCamera().GetValues();
         EXPECT_FLOAT_EQ(v.speed, 0.3f);
         EXPECT_EQ(v.offset, D3DXVECTOR3(0, 70, -190)) << "the follow distance, not the eye at his back";
         EXPECT_FLOAT_EQ(getCamera().GetFar(), 15000.0f);
         EXPECT_FALSE(getScenario()->HasObject("suelo") || getScenario()->HasObject("skybox"));
         EXPECT_TRUE(getScenario()->HasObject("Agua"));
         EXPECT_TRUE(Room("hangares")->GetLights().empty());
         EXPECT_EQ(getCollisionManager().GetPickups(true).count("obj_gun_01"), 0u);
         EXPECT_EQ(getCollisionManager().GetProps(true).count("obj_lata_01"), 0u);
     }},
    {"sizes",
     {{kInstances, Repeat("objects", 6)},
      {kSpots1, Repeat("spots", 10)},
      {kSpots2, Repeat("spots", 7, true)},
      {"data/XML/camera_values.xml", // planes the wrong way round, each in its range
       [](const std::string& s) { return Replaced(Replaced(s, "near=\"4\"", "near=\"500\""), "far=\"26000\"", "far=\"100\""); }}},
     [] {
         const std::string hangares = Shipped(kInstances).substr(0, Shipped(kInstances).find("</room>"));
         const std::string spots1 = std::to_string(Count(Shipped(kSpots1), "<spot "));
         return std::vector<std::string>{
             kInstances + ": room \"hangares\" holds " + std::to_string(6 * Count(hangares, "<object ")) +
                 " objects, far more than the 1024 the game draws: the first 1024 are kept",
             kSpots1 + ": " + std::to_string(10 * std::stoi(spots1)) + " spots where its count says " + spots1 +
                 ": the first " + spots1 + " are used",
             kSpots2 + ": " + std::to_string(7 * Count(Shipped(kSpots2), "<spot ")) +
                 " spots, far more than the 1024 the game lights with: the first 1024 are used",
             "data/XML/camera_values.xml: near \"500\" is not below far \"100\": their defaults are used (an "
             "offset's, the follow distance)"};
     },
     nullptr,
     [] {
         EXPECT_EQ(Room("hangares")->GetObjectsWithParapets().size() +
                       Room("hangares")->GetObjectsWithoutParapets().size(),
                   1024u);
         EXPECT_EQ(Room("hangares")->GetLights().size(), static_cast<size_t>(Count(Shipped(kSpots1), "<spot ")));
         EXPECT_EQ(Room("isla")->GetLights().size(), 1024u);
         EXPECT_FLOAT_EQ(getCamera().GetNear(), 1.0f);
         EXPECT_FLOAT_EQ(getCamera().GetFar(), 15000.0f);
     }},
    {"folders_and_loops_for_files",
     {{"data/XML/thompson.xml/", nullptr},
      {"data/XML/init_configuration.xml/", nullptr},
      {"sala1.lua/", nullptr},
      {"data/XML/lista_animaciones_rigidas.xml", nullptr}, // made a link to itself
      {"data/fx/effects4.fx", nullptr}},
     [] {
         return std::vector<std::string>{"data/XML/thompson.xml: refused: it is a folder, not a file",
                                         "data/XML/init_configuration.xml: refused: it is a folder, not a file",
                                         "Lua: sala1.lua: refused: it is a folder, not a file",
                                         "data/XML/lista_animaciones_rigidas.xml: refused: it is a symbolic link "
                                         "that loops",
                                         "Error compiling effect: data/fx/effects4.fx: it is missing; the levels are "
                                         "drawn black without it"};
     },
     nullptr,
     nullptr,
     {},
     "data/XML/lista_animaciones_rigidas.xml"},
    {"particle_types_out_of_range",
     {{kParticles, ReplacedAll("fps=\"30\"", "fps=\"0\"")}},
     [] {
         return std::vector<std::string>{
             kParticles + ": fps \"0\" is not a whole number from 1 to 1000: the type is left out (" +
             Listed(Matches(Shipped(kParticles), "<PARTICLE_SYSTEM name=\"([^\"]*)\"[^>]* fps=", "type \"$1\"")) + ")"};
     },
     [] {
         getParticleManager().SpawnBlood(D3DXVECTOR3(0, 80, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0));
         getParticleManager().SpawnSparks(D3DXVECTOR3(0, 80, 0), D3DXVECTOR3(0, 0, 1));
     },
     nullptr,
     {"particle type not found", "particle system not found", "without a type"}},
    // Stopped by the budget at its first tick and switched off: the next
    // tick runs at the game's pace.
    {"runaway_trigger_logic",
     {{"sala1.lua", [](const std::string& s) { return s + kRunaway; }}},
     [] {
         return std::vector<std::string>{"Lua: sala1.lua:" + std::to_string(Count(Shipped("sala1.lua"), "\n") + 3) +
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
     [] {
         EXPECT_FALSE(getTriggerManager().getEnabledTrigger("runaway"));
         ASSERT_EQ(g_TickSeconds.size(), 2u);
         EXPECT_LT(g_TickSeconds[1], g_TickSeconds[0] / 10);
         g_TickSeconds.clear();
     }},
};

void PrintTo(const FileDamage& damage, std::ostream* out)
{
    *out << damage.name;
}

class DamagedFiles : public DamagedStart<FileDamage> {};

TEST_P(DamagedFiles, EachIsSaidOnceWithItsFileAndTheGameDoesWhatItSays)
{
    const FileDamage& damage = GetParam();
    player.play = damage.play;
    ScratchFolder folder(damage.name);
    LayFolder(damage.files);
    if (damage.loop)
        std::filesystem::create_symlink(std::filesystem::path(damage.loop).filename(), damage.loop);
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
