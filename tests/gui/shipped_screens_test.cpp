// The shipped screen elements and subtitle texts: everything the game asks
// for is there, in both languages, with pictures of the size the file gives.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "gui/GUIManager.h"
#include "gui/Subtitles.h"

namespace {

// Runs in the game's working folder.
class Shipped : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(VANTOREL_WORKDIR); }
    void TearDown() override { std::filesystem::current_path(m_Previous); }

private:
    std::filesystem::path m_Previous = std::filesystem::current_path();
};

// Every name the screens look up; true where an "_INGLES" twin must exist.
std::vector<std::pair<std::string, bool>> LookedUpNames()
{
    std::vector<std::pair<std::string, bool>> names;
    auto add = [&](const std::string& name, bool twin) { names.emplace_back(name, twin); };
    for (int v = 1; v <= 5; ++v) {
        add("FONDO_MAINMENU" + std::to_string(v), false);
        add("FONDO_OPCIONES" + std::to_string(v), true);
    }
    for (const char* b : {"NUEVA", "OPTIONS", "CONTROLES", "LOGROS", "EXIT"})
        add(std::string("BOTON_MAINMENU_") + b, true);
    for (const char* b : {"MUSICA", "EFECTOS", "DOF", "MOTION", "BLOOM", "SUBTITULOS", "BACK"})
        add(std::string("BOTON_OPTIONS_") + b, true);
    for (const char* b : {"DOF", "MOTION", "BLOOM", "SUBTITULOS"})
        add(std::string("BOTON_OPTIONS_") + b + "_ONOFF", false);
    for (const char* n : {"SELECTOR_MUSICA", "SELECTOR_EFECTOS", "NUMBERS_MUSICA", "NUMBERS_EFECTOS", "MARCO",
                          "PARAPETO_MANDO", "PARAPETO_TECLADO", "COMBO_X_MANDO", "COMBO_Y_MANDO", "COMBO_X_TECLADO",
                          "COMBO_Y_TECLADO", "NUMBERS", "FADE", "FADE_BLANCO"})
        add(n, false);
    for (const char* n : {"GUN", "SHOTGUN", "THOMPSON", "FONDO_MANDO", "FONDO_TECLADO", "FONDO_LOGROS", "FONDO_PAUSE", "SKIP_VINYETAS_MANDO",
                          "SKIP_VINYETAS_TECLADO", "EXPEDIENTE_X", "A_CUBIERTO_MANDO", "A_CUBIERTO_TECLADO"})
        add(n, true);
    for (int id = 1; id <= 10; ++id)
        add(kAchievementListElements[id], true);
    for (const char* b : {"RETURN", "CHECKPOINT", "OPTIONS", "AYUDA", "LOGROS", "BACKTOMAIN"})
        add(std::string("BOTON_PAUSE_") + b, true);
    for (const char* prefix : {"CROSSHAIR_AIMING2_", "CROSSHAIR_AIMING3_", "CROSSHAIR_NO_AIMING_"})
        for (const char* weapon : {"GUN", "SHOTGUN", "THOMPSON"})
            add(std::string(prefix) + weapon, false);
    for (int m = 1; m <= 11; ++m)
        add("MISION" + std::to_string(m), true);
    for (const char* b : {"LOGRO_AVE_FENIX", "LOGRO_BRINDIS", "LOGRO_BRONCEADO", "LOGRO_REGISTRO_VELDO",
                          "LOGRO_PLENA_FORMA", "LOGRO_HACEDOR_COJOS", "LOGRO_REVIENTA_FRENTES", "LOGRO_BRUNDAKOSTEL",
                          "LOGRO_REGISTRO_SONIC", "LOGRO_REGISTRO_ARMADO"})
        add(b, true);
    return names;
}

int Cells(const GUIElement& e) { return static_cast<int>(std::lround(1.0f / e.offset)); }

TEST_F(Shipped, EveryScreenElementAndItsTwinHasAPictureOfTheSizeTheFileGives)
{
    CGUIManager gui;
    gui.Init(800, 600);
    const std::map<std::string, GUIElement> elements = gui.Elements();
    for (const auto& [base, twin] : LookedUpNames()) {
        std::vector<std::string> names = {base};
        if (twin)
            names.push_back(base + "_INGLES");
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            const auto found = elements.find(name);
            ASSERT_NE(found, elements.end());
            const GUIElement& e = found->second;
            int width = 0, height = 0, channels = 0;
            ASSERT_TRUE(stbi_info(("data/textures/" + e.texture).c_str(), &width, &height, &channels)) << e.texture;
            EXPECT_EQ(channels, 4) << "pictures keep their alpha";
            EXPECT_FLOAT_EQ(e.aspect * height, static_cast<float>(width) / Cells(e));
            EXPECT_GT(e.alto, 0.0f);
        }
    }

    const struct {
        const char* name;
        int cells;
    } strips[] = {{"BOTON_MAINMENU_NUEVA_INGLES", 2}, {"BOTON_OPTIONS_BACK", 2}, {"BOTON_PAUSE_AYUDA_INGLES", 2},
                  {"SELECTOR_MUSICA", 3},             {"BOTON_OPTIONS_BLOOM_ONOFF", 2}, {"NUMBERS_EFECTOS", 10},
                  {"NUMBERS", 12},                    {"COMBO_Y_TECLADO", 2},           {"FADE", 65},
                  {"FADE_BLANCO", 65},                {"FONDO_MAINMENU3", 1},           {"MARCO", 1}};
    for (const auto& s : strips)
        EXPECT_EQ(Cells(elements.at(s.name)), s.cells) << s.name;
}

// The fades' callers darken a cut-scene's start and clear it at its end: the
// strip is opaque at its first cell and clear at its last.
TEST_F(Shipped, FadeStripsRunFromOpaqueToClear)
{
    CGUIManager gui;
    gui.Init(800, 600);
    for (const char* name : {"FADE", "FADE_BLANCO"}) {
        SCOPED_TRACE(name);
        int width = 0, height = 0, channels = 0;
        unsigned char* pixels =
            stbi_load(("data/textures/" + gui.GetElement(name).texture).c_str(), &width, &height, &channels, 4);
        ASSERT_NE(pixels, nullptr);
        const int cell = width / 65;
        auto alpha = [&](int c) { return pixels[(c * cell + cell / 2) * 4 + 3]; };
        EXPECT_EQ(alpha(0), 255);
        EXPECT_EQ(alpha(64), 0);
        EXPECT_GT(alpha(20), alpha(40));
        const int white = pixels[0] + pixels[1] + pixels[2];
        EXPECT_EQ(white, std::string(name) == "FADE" ? 0 : 765);
        stbi_image_free(pixels);
    }
}

TEST_F(Shipped, EverySubtitleKeyHasLinesInBothLanguagesWithinItsDuration)
{
    std::vector<std::string> keys = {
        "UnoMenosR", "estaNocheCieloRojo", "notelevantes", "aguantaViejo", "fardadaPlaga", "MasEscoria",
        "chicagoPeligroso", "nadaEvitaraNuestraVenganza", "chistePsicotico", "nadieComoTuOstrel", "putasYNata",
        "bMatadlo", "bMierdaEsVrek", "bParadlo", "bQueNoAvance", "bAPorEl", "bLlenadloDePlomo", "bEseEraMiHermano",
        "bJoderSiEsSolo1Hombre", "bNoPuedeSer", "bCubridme", "bHaSalidoFuego", "bRecargando", "bMeHaDado",
        "b1ConyoPasaAki", "b1MierdaQueStaPasando", "b1QPasoElla", "b1QuienEsEse", "b1TenemosQEhMatadlo",
        "b1TVoyAMachacar", "b1VueltoRecon", "b2AccionBrisu", "b2DisparaYLuegoPreguntms", "b2OdioEsperar",
        "ZorvathFormaPasar", "ZorvathRecuerdosFaro", "intro_1+2", "intro_3++", "vinyetas_isla", "ZvIntroFaro",
        "final_juego", "cubridme", "DondeVasDockers", "RadioCredits", "getThompson", "getShotgun", "cfMEraInocente",
        "cfMcomoHermano", "cfDAccidnt", "cfDVioalgo", "cfDNoDebiaVer", "cfMsangrreXsangre", "cfMInfierno",
        "zorvaaath", "dockersAQEsperais", "dockersInutiles", "dockersAndamio", "mcHangExpl", "mcAvioneta", "mcEstibador",
        "zvDockersPlaza"};
    CSubtitleManager subs;
    ASSERT_TRUE(subs.LoadTexts("data/XML/subtitulos.xml"));
    auto check = [](const SubtitleEntry& spanish, const SubtitleEntry& english) {
        ASSERT_FALSE(spanish.lines.empty());
        EXPECT_EQ(english.lines.size(), spanish.lines.size()) << "English follows Spanish line by line";
        EXPECT_EQ(english.duration, spanish.duration);
        for (const SubtitleEntry* entry : {&spanish, &english})
            for (const SubtitleLine& line : entry->lines) {
                EXPECT_LE(0, line.start) << line.text;
                EXPECT_LT(line.start, line.end) << line.text;
                EXPECT_LE(line.end, entry->duration) << line.text;
                EXPECT_FALSE(line.text.empty());
            }
    };
    for (const std::string& key : keys) {
        SCOPED_TRACE(key);
        const auto spanish = subs.Table(false).find(key);
        const auto english = subs.Table(true).find(key);
        ASSERT_NE(spanish, subs.Table(false).end());
        ASSERT_NE(english, subs.Table(true).end());
        check(spanish->second, english->second);
    }
    EXPECT_EQ(subs.Table(false).size(), keys.size()) << "no line without a voice to say it";

    // The radios talk all through their loop.
    for (const bool hangar : {true, false}) {
        SCOPED_TRACE(hangar ? "radioHangar" : "radioIsla");
        const SubtitleEntry& spanish = subs.RadioTrack(hangar, false);
        check(spanish, subs.RadioTrack(hangar, true));
        EXPECT_EQ(spanish.duration, hangar ? 230 : 158);
        int silentUntil = 0;
        for (const SubtitleLine& line : spanish.lines) {
            EXPECT_LE(line.start - silentUntil, 5) << "a long silence before " << line.text;
            silentUntil = line.end;
        }
        EXPECT_LE(spanish.duration - silentUntil, 15) << "the end of the loop";
    }
}

} // namespace
