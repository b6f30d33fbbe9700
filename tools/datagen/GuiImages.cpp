#include "datagen/GuiImages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "datagen/Font.h"
#include "datagen/ImageFile.h"

namespace datagen {

namespace {

const Rgba kClear{0, 0, 0, 0};
const Rgba kInk{236, 232, 222, 255};
const Rgba kDim{150, 152, 158, 255};
const Rgba kAmber{246, 182, 58, 255};
const Rgba kNight{10, 12, 18, 255};
const Rgba kPanel{14, 18, 26, 200};

// Full-screen pictures keep the window's 4:3 shape.
constexpr int kBgWidth = 1024, kBgHeight = 768;

GuiImage Row(std::string name, GuiKind kind, std::string es, std::string en, float x, float y, float alto, int w,
             int h, int cells = 1, int variant = 0)
{
    GuiImage g;
    g.name = std::move(name);
    g.kind = kind;
    g.words = std::move(es);
    g.wordsEn = std::move(en);
    g.posX = x;
    g.posY = y;
    g.alto = alto;
    g.cellWidth = w;
    g.cellHeight = h;
    g.cells = cells;
    g.variant = variant;
    return g;
}

std::vector<GuiImage> BuildTable()
{
    std::vector<GuiImage> t;
    const float bgAspect = 1.0f;

    // Main menu: the storm behind, the buttons in navigation order.
    for (int v = 1; v <= 5; ++v)
        t.push_back(Row("FONDO_MAINMENU" + std::to_string(v), GuiKind::StormBackground, "", "", 0.5f, 0.5f, bgAspect,
                        kBgWidth, kBgHeight, 1, v));
    const struct {
        const char *name, *es, *en;
    } menu[] = {{"BOTON_MAINMENU_NUEVA", "NUEVA PARTIDA", "NEW GAME"},
                {"BOTON_MAINMENU_CONTROLES", "CONTROLES", "CONTROLS"},
                {"BOTON_MAINMENU_OPTIONS", "OPCIONES", "OPTIONS"},
                {"BOTON_MAINMENU_LOGROS", "LOGROS", "ACHIEVEMENTS"},
                {"BOTON_MAINMENU_EXIT", "SALIR", "EXIT"}};
    for (int i = 0; i < 5; ++i)
        t.push_back(Row(menu[i].name, GuiKind::Button, menu[i].es, menu[i].en, 0.5f, 0.50f + 0.09f * i, 0.075f, 480, 80,
                        2));

    // Options: labels on the left, their values on the right, and under them
    // the keys that change them (select does not: it only leaves by "back").
    for (int v = 1; v <= 5; ++v) {
        GuiImage g = Row("FONDO_OPCIONES" + std::to_string(v), GuiKind::OptionsBackground, "OPCIONES", "OPTIONS", 0.5f,
                         0.5f, bgAspect, kBgWidth, kBgHeight, 1, v);
        g.detail = "← → / A D: cambiar   ·   ↑ ↓ / W S: elegir   ·   Esc: volver";
        g.detailEn = "← → / A D: change   ·   ↑ ↓ / W S: choose   ·   Esc: back";
        t.push_back(g);
    }
    const struct {
        const char *name, *es, *en;
    } options[] = {{"BOTON_OPTIONS_MUSICA", "MÚSICA", "MUSIC"},
                   {"BOTON_OPTIONS_EFECTOS", "EFECTOS", "EFFECTS"},
                   {"BOTON_OPTIONS_DOF", "PROFUNDIDAD DE CAMPO", "DEPTH OF FIELD"},
                   {"BOTON_OPTIONS_MOTION", "DESENFOQUE DE MOVIMIENTO", "MOTION BLUR"},
                   {"BOTON_OPTIONS_BLOOM", "RESPLANDOR", "BLOOM"},
                   {"BOTON_OPTIONS_SUBTITULOS", "SUBTÍTULOS", "SUBTITLES"}};
    auto rowY = [](int row) { return 0.24f + 0.085f * row; };
    for (int i = 0; i < 6; ++i)
        t.push_back(Row(options[i].name, GuiKind::Button, options[i].es, options[i].en, 0.32f, rowY(i), 0.065f, 400,
                        72, 2));
    t.push_back(Row("BOTON_OPTIONS_BACK", GuiKind::Button, "VOLVER", "BACK", 0.5f, 0.86f, 0.065f, 400, 72, 2));
    t.push_back(Row("SELECTOR_MUSICA", GuiKind::Selector, "", "", 0.68f, rowY(0), 0.065f, 288, 72, 3));
    t.push_back(Row("SELECTOR_EFECTOS", GuiKind::Selector, "", "", 0.68f, rowY(1), 0.065f, 288, 72, 3));
    // Three digits from shift 1 centre on the selector.
    const float digitsX = 0.68f - 2.0f * 0.05f * 0.7f * (40.0f / 56.0f);
    t.push_back(Row("NUMBERS_MUSICA", GuiKind::Digits, "", "", digitsX, rowY(0), 0.05f, 40, 56, 10));
    t.push_back(Row("NUMBERS_EFECTOS", GuiKind::Digits, "", "", digitsX, rowY(1), 0.05f, 40, 56, 10));
    const char* switches[] = {"BOTON_OPTIONS_DOF_ONOFF", "BOTON_OPTIONS_MOTION_ONOFF", "BOTON_OPTIONS_BLOOM_ONOFF",
                              "BOTON_OPTIONS_SUBTITULOS_ONOFF"};
    for (int i = 0; i < 4; ++i)
        t.push_back(Row(switches[i], GuiKind::Switch, "", "", 0.68f, rowY(2 + i), 0.065f, 160, 72, 2));

    // Controls.
    t.push_back(Row("FONDO_MANDO", GuiKind::ControlsBackground, "CONTROLES · MANDO", "CONTROLS · PAD", 0.5f, 0.5f,
                    bgAspect, kBgWidth, kBgHeight, 1, 1));
    t.push_back(Row("FONDO_TECLADO", GuiKind::ControlsBackground, "CONTROLES · TECLADO Y RATÓN",
                    "CONTROLS · KEYBOARD AND MOUSE", 0.5f, 0.5f, bgAspect, kBgWidth, kBgHeight, 1, 2));

    // Achievements: the list rows in the order the screen lists them.
    t.push_back(Row("FONDO_LOGROS", GuiKind::AchievementsBackground, "LOGROS", "ACHIEVEMENTS", 0.5f, 0.5f, bgAspect,
                    kBgWidth, kBgHeight));
    const struct {
        const char *key, *es, *en, *whatEs, *whatEn;
    } logros[] = {
        {"AVE_FENIX", "Ave Fénix", "Phoenix", "Vuelve de un punto de control", "Come back from a checkpoint"},
        {"BRINDIS", "Brindis", "Cheers", "Revienta cinco objetos a tiros", "Shoot five props to pieces"},
        {"BRONCEADO", "Bronceado", "Suntan", "Tres enemigos alcanzados por barriles", "Catch three enemies in barrel blasts"},
        {"VELDO", "Veldo", "Veldo", "Gana tres peleas cuerpo a cuerpo", "Win three melee fights"},
        {"PLENA_FORMA", "Plena forma", "Top Shape", "Salta cuatro parapetos", "Vault four covers"},
        {"HACEDOR_COJOS", "Hacedor de cojos", "Limp Maker", "Seis disparos a las piernas", "Six shots to the legs"},
        {"REVIENTA_FRENTES", "Revienta frentes", "Headcracker", "Cinco disparos a la cabeza", "Five head shots"},
        {"BRUNDAKOSTEL", "Brundakostel", "Brundakostel", "El golpe final a Dockers", "The final blow to Dockers"},
        {"SONIC", "Sonic", "Sonic", "Rueda cinco veces", "Roll five times"},
        {"ARMADO", "Armado hasta los dientes", "Armed to the Teeth", "Consigue la escopeta y la Thompson",
         "Get the shotgun and the Thompson"},
    };
    const int listOrder[10] = {1, 2, 3, 4, 6, 7, 8, 9, 5, 10};
    for (int k = 0; k < 10; ++k) {
        const auto& a = logros[listOrder[k] - 1];
        GuiImage g = Row(std::string("LOGROS_REGISTRO_") + a.key, GuiKind::ListEntry, a.es, a.en, 0.5f,
                         0.2f + 0.062f * k, 0.05f, 720, 60, 1, listOrder[k]);
        g.detail = a.whatEs;
        g.detailEn = a.whatEn;
        t.push_back(g);
    }
    // The banners keep the names the awarding code uses.
    const char* bannerNames[10] = {"LOGRO_AVE_FENIX",      "LOGRO_BRINDIS",         "LOGRO_BRONCEADO",
                                   "LOGRO_REGISTRO_VELDO", "LOGRO_PLENA_FORMA",     "LOGRO_HACEDOR_COJOS",
                                   "LOGRO_REVIENTA_FRENTES", "LOGRO_BRUNDAKOSTEL", "LOGRO_REGISTRO_SONIC",
                                   "LOGRO_REGISTRO_ARMADO"};
    for (int i = 0; i < 10; ++i) {
        // Top middle: it drops in from above the screen (0.2 higher) and
        // goes back up, clear of the HUD in the top-right corner.
        GuiImage g = Row(bannerNames[i], GuiKind::Banner, "¡LOGRO DESBLOQUEADO!", "ACHIEVEMENT UNLOCKED!", 0.5f, 0.075f,
                         0.09f, 640, 112, 1, 2);
        g.detail = logros[i].es;
        g.detailEn = logros[i].en;
        t.push_back(g);
    }

    // Pause menu: two columns of three.
    t.push_back(Row("FONDO_PAUSE", GuiKind::PausePanel, "PAUSA", "PAUSED", 0.5f, 0.5f, 0.7f, 800, 560));
    const struct {
        const char *name, *es, *en;
        float x, y;
    } pause[] = {{"BOTON_PAUSE_RETURN", "CONTINUAR", "RESUME", 0.34f, 0.38f},
                 {"BOTON_PAUSE_CHECKPOINT", "PUNTO DE CONTROL", "CHECKPOINT", 0.34f, 0.50f},
                 {"BOTON_PAUSE_OPTIONS", "OPCIONES", "OPTIONS", 0.34f, 0.62f},
                 {"BOTON_PAUSE_AYUDA", "AYUDA", "HELP", 0.66f, 0.38f},
                 {"BOTON_PAUSE_LOGROS", "LOGROS", "ACHIEVEMENTS", 0.66f, 0.50f},
                 {"BOTON_PAUSE_BACKTOMAIN", "MENÚ PRINCIPAL", "MAIN MENU", 0.66f, 0.62f}};
    for (const auto& p : pause)
        t.push_back(Row(p.name, GuiKind::Button, p.es, p.en, p.x, p.y, 0.065f, 400, 72, 2));

    // Cut-scene hints, in the top corners: the bottom of the screen belongs
    // to the subtitles of the scene.
    t.push_back(Row("SKIP_VINYETAS_MANDO", GuiKind::Caption, "A: saltar", "A: skip", 0.86f, 0.05f, 0.05f, 320, 56));
    t.push_back(Row("SKIP_VINYETAS_TECLADO", GuiKind::Caption, "ESPACIO: saltar", "SPACE: skip", 0.86f, 0.05f, 0.05f,
                    320, 56));
    t.push_back(Row("EXPEDIENTE_X", GuiKind::Caption, "EXPEDIENTE X · Hangares de Vantorel",
                    "X FILE · The Vantorel hangars", 0.3f, 0.2f, 0.08f, 640, 92, 1, 1));

    // HUD: the weapon box in the top-right corner, the hints under it. The
    // bottom of the screen is the subtitles' (the line centred at 0.9 of the
    // height, the radio's at 0.8, each as wide as the screen), the middle
    // the hero's.
    t.push_back(Row("MARCO", GuiKind::Frame, "", "", 0.855f, 0.105f, 0.16f, 288, 128));
    t.push_back(Row("PARAPETO_MANDO", GuiKind::CoverHint, "A", "", 0.855f, 0.255f, 0.07f, 160, 72, 1, 1));
    t.push_back(Row("PARAPETO_TECLADO", GuiKind::CoverHint, "", "", 0.855f, 0.255f, 0.07f, 160, 72, 1, 2));
    // In cover, in the same place: that he is in it, and the way out and
    // the way to fire from it, which nothing else on the screen tells.
    const struct {
        const char *name, *es, *en;
    } inCover[] = {{"A_CUBIERTO_TECLADO", "S: salir · clic derecho: asomarse", "S: get out · right click: peek"},
                   {"A_CUBIERTO_MANDO", "stick abajo: salir · gatillo izq.: asomarse",
                    "stick down: get out · left trigger: peek"}};
    for (const auto& hint : inCover) {
        GuiImage g = Row(hint.name, GuiKind::Banner, "A CUBIERTO", "IN COVER", 0.855f, 0.245f, 0.07f, 480, 100, 1, 1);
        g.detail = hint.es;
        g.detailEn = hint.en;
        t.push_back(g);
    }
    // A fight's prompt stands in the middle of the screen over the fighters'
    // heads, large enough to be read in the moment it allows: the button's
    // picture and its name. A lost fight says why in the same place.
    const struct {
        const char *name, *es, *en, *detail, *detailEn;
    } combo[] = {{"COMBO_X_MANDO", "PULSA", "PRESS", "X", "X"},
                 {"COMBO_Y_MANDO", "PULSA", "PRESS", "Y", "Y"},
                 {"COMBO_X_TECLADO", "CLIC", "CLICK", "IZQUIERDO", "LEFT"},
                 {"COMBO_Y_TECLADO", "CLIC", "CLICK", "DERECHO", "RIGHT"}};
    for (int i = 0; i < 4; ++i) {
        GuiImage g = Row(combo[i].name, GuiKind::ComboHint, combo[i].es, combo[i].en, 0.5f, 0.25f, 0.16f, 320, 128, 2,
                         i + 1);
        g.detail = combo[i].detail;
        g.detailEn = combo[i].detailEn;
        t.push_back(g);
    }
    t.push_back(Row("COMBO_PERDIDO_BOTON", GuiKind::Caption, "PELEA PERDIDA: ese no era el botón",
                    "FIGHT LOST: wrong button", 0.5f, 0.25f, 0.07f, 720, 72, 1, 1));
    t.push_back(Row("COMBO_PERDIDO_TIEMPO", GuiKind::Caption, "PELEA PERDIDA: pulsa el botón a tiempo",
                    "FIGHT LOST: press the button in time", 0.5f, 0.25f, 0.07f, 720, 72, 1, 1));
    const char* weapons[] = {"GUN", "SHOTGUN", "THOMPSON"};
    // The box names the weapon in the player's language; the Thompson is a
    // name in both.
    const struct {
        const char *es, *en;
    } weaponNames[] = {{"PISTOLA", "PISTOL"}, {"ESCOPETA", "SHOTGUN"}, {"THOMPSON", "THOMPSON"}};
    for (int i = 0; i < 3; ++i)
        t.push_back(Row(weapons[i], GuiKind::Weapon, weaponNames[i].es, weaponNames[i].en, 0.855f, 0.07f, 0.07f, 224,
                        72));
    const char* prefixes[] = {"CROSSHAIR_AIMING2_", "CROSSHAIR_AIMING3_", "CROSSHAIR_NO_AIMING_"};
    for (int p = 0; p < 3; ++p)
        for (const char* w : weapons) {
            GuiImage g = Row(std::string(prefixes[p]) + w, GuiKind::Crosshair, "", "", 0.5f, 0.5f, 0.07f, 64, 64, 1,
                             p + 1);
            g.detail = w;
            t.push_back(g);
        }
    // Ammunition: digits, then a round (cell 10) and the separator (cell 11).
    t.push_back(Row("NUMBERS", GuiKind::Digits, "", "", 0.75f, 0.145f, 0.045f, 32, 44, 12));

    // Mission banners.
    const struct {
        const char *es, *en;
    } missions[11] = {{"Entra en los hangares", "Get into the hangars"},
                      // Up as the plane starts circling: nothing else ends the stretch.
                      {"Derriba la avioneta", "Bring down the plane"},
                      {"Ábrete paso hasta el hangar", "Fight your way to the hangar"},
                      {"Abre el hangar", "Open the hangar"},
                      {"Acaba con la oleada", "Wipe out the wave"},
                      {"Llega a la isla", "Reach the island"},
                      // The square's waves end only once their docker, up on
                      // the plateau, has been hit.
                      {"Limpia la plaza y abate al estibador", "Clear the square and hit the docker"},
                      {"Acaba con la oleada y su estibador", "Beat the wave and its docker"},
                      {"Persigue a Dockers", "Chase Dockers"},
                      {"Sigue a Dockers hasta la plaza", "Follow Dockers to the square"},
                      {"Ajusta cuentas con Dockers en la plaza", "Settle the score with Dockers in the square"}};
    // Lower left, beside the hero and above the subtitles: it rises into
    // place from 0.4 of the screen lower, off its bottom edge, and sinks
    // back out of it.
    for (int i = 0; i < 11; ++i) {
        GuiImage g = Row("MISION" + std::to_string(i + 1), GuiKind::Banner, "MISIÓN " + std::to_string(i + 1),
                         "MISSION " + std::to_string(i + 1), 0.25f, 0.66f, 0.08f, 720, 100, 1, 1);
        g.detail = missions[i].es;
        g.detailEn = missions[i].en;
        t.push_back(g);
    }

    // Fades: wide enough to cover any window shape.
    t.push_back(Row("FADE", GuiKind::Fade, "", "", 0.5f, 0.5f, 1.0f, 16, 6, 65, 1));
    t.push_back(Row("FADE_BLANCO", GuiKind::Fade, "", "", 0.5f, 0.5f, 1.0f, 16, 6, 65, 2));
    return t;
}

// Text in a box: shrunk until it fits the width.
void FitText(Canvas& c, const Font& font, const std::string& text, float cx, float top, float px, float maxWidth,
             Rgba colour)
{
    while (px > 8.0f && font.Measure(text, px) > maxWidth)
        px *= 0.95f;
    font.Draw(c, text, cx, top, px, colour, Align::Center);
}

// Text vertically centred on cy.
void CentredText(Canvas& c, const Font& font, const std::string& text, float cx, float cy, float px, float maxWidth,
                 Rgba colour)
{
    while (px > 8.0f && font.Measure(text, px) > maxWidth)
        px *= 0.95f;
    font.Draw(c, text, cx, cy - px * 0.5f, px, colour, Align::Center);
}

// The title is for the main menu only: the other screens put their own over the storm.
void PaintStorm(Canvas& c, int variant, bool title)
{
    // 1 is the dark night; 5 the sky at the height of a flash.
    const float light = (variant - 1) / 4.0f;
    const int w = c.Width(), h = c.Height();
    const int horizon = h * 62 / 100;
    c.VerticalGradient(0, 0, w, horizon, Mix(Rgba{10, 14, 26, 255}, Rgba{150, 170, 210, 255}, light),
                       Mix(Rgba{28, 34, 48, 255}, Rgba{200, 210, 230, 255}, light));
    // Heavy clouds.
    for (int i = 0; i < 9; ++i) {
        const float cx = w * (0.05f + 0.12f * i), cy = h * (0.08f + 0.05f * (i % 3));
        c.FillEllipse(cx, cy, w * 0.11f, h * 0.07f, Mix(Rgba{20, 22, 30, 210}, Rgba{90, 96, 120, 200}, light * 0.8f));
    }
    if (variant >= 3) {
        // The bolt, brighter with the flash.
        const Rgba bolt = WithAlpha(Rgba{250, 250, 255, 255}, static_cast<std::uint8_t>(120 + 33 * variant));
        float x = w * 0.72f, y = h * 0.12f;
        for (int s = 0; s < 7; ++s) {
            const float nx = x + w * ((s % 2) ? 0.025f : -0.018f), ny = y + h * 0.065f;
            for (int k = 0; k < 12; ++k) {
                const float t = k / 12.0f;
                c.FillEllipse(x + (nx - x) * t, y + (ny - y) * t, 3.0f, 3.0f, bolt);
            }
            x = nx;
            y = ny;
        }
    }
    // The sea.
    c.VerticalGradient(0, horizon, w, h - horizon, Mix(Rgba{16, 24, 34, 255}, Rgba{70, 90, 110, 255}, light),
                       Rgba{4, 6, 10, 255});
    for (int i = 0; i < 14; ++i)
        c.FillRect(w * (i % 5) / 5 + (i * 37) % 90, horizon + 12 + i * 17, 120 + (i * 13) % 80, 3,
                   WithAlpha(Mix(kDim, kInk, light), 70));
    // Harbour: pier, cranes, hangar domes, the lighthouse with its beam.
    const Rgba land = Mix(Rgba{6, 6, 10, 255}, Rgba{30, 32, 40, 255}, light);
    c.FillRect(0, horizon - 24, w * 55 / 100, 24, land);
    for (int i = 0; i < 3; ++i) {
        const float cx = w * (0.1f + 0.14f * i);
        c.FillShape(cx - 60, horizon - 90, cx + 60, horizon - 20,
                    [=](float px, float py) {
                        const float dx = (px - cx) / 60.0f, dy = (py - (horizon - 20)) / 70.0f;
                        return dx * dx + dy * dy <= 1.0f;
                    },
                    land);
    }
    c.FillRect(w * 46 / 100, horizon - 160, 8, 140, land);
    c.FillRect(w * 46 / 100, horizon - 160, 90, 8, land);
    c.FillRect(w * 85 / 100, horizon - 200, 26, 200, land);
    c.FillRect(w * 85 / 100 - 6, horizon - 214, 38, 16, land);
    c.FillEllipse(w * 85 / 100 + 13, horizon - 206, 10, 8, Rgba{255, 230, 150, 255});
    c.FillShape(w * 0.55f, horizon - 240, w * 0.85f + 13, horizon - 170,
                [=](float px, float py) {
                    const float t = (w * 0.85f + 13 - px) / (w * 0.30f);
                    return std::fabs(py - (horizon - 206)) < 6 + 30 * t;
                },
                Rgba{255, 236, 170, 40});
    // Rain.
    for (int i = 0; i < 260; ++i) {
        const int x = (i * 7919) % w, y = (i * 104729) % h;
        for (int k = 0; k < 18; ++k)
            c.Blend(x + k / 3, y + k, Rgba{190, 200, 220, 255}, 0.25f);
    }
    c.Vignette(0.6f);
    if (!title)
        return;
    const Font& bold = Font::Bold();
    const float px = h * 0.13f;
    bold.Draw(c, "THE VANTOREL", w * 0.5f + 5, h * 0.12f + 5, px, Rgba{0, 0, 0, 190}, Align::Center);
    bold.Draw(c, "THE VANTOREL", w * 0.5f, h * 0.12f, px, Mix(kAmber, kInk, light * 0.5f), Align::Center);
}

void DarkPanel(Canvas& c, float x, float y, float w, float h)
{
    c.FillRoundedRect(x, y, w, h, 18, kPanel);
}

void Title(Canvas& c, const std::string& text, float y, float px)
{
    const Font& bold = Font::Bold();
    bold.Draw(c, text, c.Width() * 0.5f + 3, y + 3, px, Rgba{0, 0, 0, 200}, Align::Center);
    bold.Draw(c, text, c.Width() * 0.5f, y, px, kAmber, Align::Center);
}

struct Binding {
    const char *es, *en, *keyEs, *keyEn;
};

void PaintControls(Canvas& c, const GuiImage& g, bool english)
{
    PaintStorm(c, 1, false);
    DarkPanel(c, 60, 40, c.Width() - 120.0f, c.Height() - 80.0f);
    Title(c, english ? g.wordsEn : g.words, 64, 48);
    static const Binding pad[] = {
        {"Moverse", "Move", "Stick izquierdo", "Left stick"},
        {"Girar la cámara", "Turn the camera", "Stick derecho", "Right stick"},
        {"Apuntar", "Aim", "Gatillo izquierdo (LT)", "Left trigger (LT)"},
        {"Disparar", "Fire", "Gatillo derecho (RT)", "Right trigger (RT)"},
        {"Rodar / cubrirse", "Roll / take cover", "A", "A"},
        {"Recargar", "Reload", "B", "B"},
        {"Cambiar de arma", "Change weapon", "Cruceta", "D-pad"},
        {"Fijar objetivo", "Target an enemy", "LB / RB", "LB / RB"},
        {"Combos cuerpo a cuerpo", "Melee combos", "X / Y", "X / Y"},
        {"Saltar viñetas", "Skip comics", "A", "A"},
        {"Pausa", "Pause", "START / BACK", "START / BACK"},
    };
    static const Binding keys[] = {
        {"Moverse", "Move", "W A S D", "W A S D"},
        {"Girar la cámara", "Turn the camera", "Ratón", "Mouse"},
        {"Apuntar", "Aim", "Botón derecho", "Right button"},
        {"Disparar", "Fire", "Botón izquierdo", "Left button"},
        {"Rodar / cubrirse", "Roll / take cover", "ESPACIO", "SPACE"},
        {"Recargar", "Reload", "R", "R"},
        {"Cambiar de arma", "Change weapon", "Rueda del ratón", "Mouse wheel"},
        {"Fijar objetivo", "Target an enemy", "Q", "Q"},
        {"Combos cuerpo a cuerpo", "Melee combos", "Botones del ratón", "Mouse buttons"},
        {"Saltar viñetas", "Skip comics", "ESPACIO", "SPACE"},
        {"Pausa", "Pause", "ESC", "ESC"},
    };
    const Binding* list = g.variant == 1 ? pad : keys;
    const Font& regular = Font::Regular();
    const Font& bold = Font::Bold();
    for (int i = 0; i < 11; ++i) {
        const float y = 150 + 46.0f * i;
        if (i % 2 == 0)
            c.FillRect(100, int(y - 6), c.Width() - 200, 44, Rgba{255, 255, 255, 18});
        regular.Draw(c, english ? list[i].en : list[i].es, 490, y, 30, kInk, Align::Right);
        bold.Draw(c, english ? list[i].keyEn : list[i].keyEs, 540, y, 30, kAmber, Align::Left);
    }
    const char* back = g.variant == 1 ? (english ? "A / BACK: back" : "A / BACK: volver")
                                      : (english ? "ENTER / ESC: back" : "INTRO / ESC: volver");
    regular.Draw(c, back, c.Width() * 0.5f, c.Height() - 96.0f, 26, kDim, Align::Center);
}

void PaintButton(Canvas& c, const GuiImage& g, const std::string& words)
{
    for (int cell = 0; cell < 2; ++cell) {
        const float x0 = float(cell * g.cellWidth), w = float(g.cellWidth), h = float(g.cellHeight);
        const bool lit = cell == 1;
        // A margin keeps filtering from bleeding one cell into the other.
        c.FillRoundedRect(x0 + 4, 4, w - 8, h - 8, h * 0.3f, lit ? kAmber : Rgba{12, 16, 24, 215});
        if (!lit)
            c.FillRoundedRect(x0 + 7, 7, w - 14, h - 14, h * 0.26f, Rgba{30, 36, 48, 215});
        CentredText(c, Font::Bold(), words, x0 + w * 0.5f, h * 0.5f, h * 0.48f, w - 40, lit ? kNight : kInk);
    }
}

void Arrow(Canvas& c, float cx, float cy, float size, bool right, Rgba colour)
{
    c.FillShape(cx - size, cy - size, cx + size, cy + size,
                [=](float px, float py) {
                    const float dx = right ? px - (cx - size) : (cx + size) - px;
                    return dx >= 0 && std::fabs(py - cy) <= size - dx * 0.5f;
                },
                colour);
}

void PaintSelector(Canvas& c, const GuiImage& g)
{
    for (int cell = 0; cell < 3; ++cell) {
        const float x0 = float(cell * g.cellWidth), w = float(g.cellWidth), h = float(g.cellHeight);
        c.FillRoundedRect(x0 + 4, 6, w - 8, h - 12, 10, Rgba{12, 16, 24, 200});
        Arrow(c, x0 + 30, h * 0.5f, h * 0.3f, false, cell == 1 ? kAmber : kDim);
        Arrow(c, x0 + w - 30, h * 0.5f, h * 0.3f, true, cell == 2 ? kAmber : kDim);
    }
}

void PaintSwitch(Canvas& c, const GuiImage& g)
{
    for (int cell = 0; cell < 2; ++cell) {
        const float x0 = float(cell * g.cellWidth), w = float(g.cellWidth), h = float(g.cellHeight);
        const bool on = cell == 0;
        c.FillRoundedRect(x0 + 4, 6, w - 8, h - 12, (h - 12) * 0.5f, on ? Rgba{60, 170, 90, 235} : Rgba{60, 64, 72, 235});
        CentredText(c, Font::Bold(), on ? "ON" : "OFF", x0 + w * 0.5f, h * 0.5f, h * 0.5f, w - 24, kInk);
    }
}

void PaintDigits(Canvas& c, const GuiImage& g)
{
    for (int cell = 0; cell < g.cells; ++cell) {
        const float x0 = float(cell * g.cellWidth), w = float(g.cellWidth), h = float(g.cellHeight);
        if (cell < 10) {
            const std::string digit(1, char('0' + cell));
            Font::Bold().Draw(c, digit, x0 + w * 0.5f + 2, h * 0.08f + 2, h * 0.84f, Rgba{0, 0, 0, 200}, Align::Center);
            Font::Bold().Draw(c, digit, x0 + w * 0.5f, h * 0.08f, h * 0.84f, kInk, Align::Center);
        } else if (cell == 10) {
            // A round, standing.
            c.FillRoundedRect(x0 + w * 0.32f, h * 0.3f, w * 0.36f, h * 0.6f, 3, Rgba{200, 150, 60, 255});
            c.FillEllipse(x0 + w * 0.5f, h * 0.3f, w * 0.18f, h * 0.16f, Rgba{210, 120, 60, 255});
        } else {
            Font::Bold().Draw(c, "/", x0 + w * 0.5f, h * 0.08f, h * 0.84f, kDim, Align::Center);
        }
    }
}

void PaintCaption(Canvas& c, const std::string& words, bool large)
{
    const float w = float(c.Width()), h = float(c.Height());
    c.FillRoundedRect(2, 2, w - 4, h - 4, h * 0.25f, Rgba{8, 10, 14, 190});
    if (large)
        c.FillRect(10, int(h - 10), int(w - 20), 3, kAmber);
    CentredText(c, Font::Bold(), words, w * 0.5f, h * 0.5f, h * 0.5f, w - 30, large ? kAmber : kInk);
}

void PaintBanner(Canvas& c, const GuiImage& g, bool english)
{
    const float w = float(c.Width()), h = float(c.Height());
    c.FillRoundedRect(2, 2, w - 4, h - 4, 16, Rgba{10, 12, 18, 215});
    c.FillRoundedRect(2, 2, 14, h - 4, 6, g.variant == 2 ? Rgba{90, 200, 120, 255} : kAmber);
    FitText(c, Font::Bold(), english ? g.wordsEn : g.words, w * 0.5f, h * 0.1f, h * 0.32f, w - 60,
            g.variant == 2 ? Rgba{120, 230, 150, 255} : kAmber);
    FitText(c, Font::Regular(), english ? g.detailEn : g.detail, w * 0.5f, h * 0.5f, h * 0.34f, w - 60, kInk);
}

void PaintListEntry(Canvas& c, const GuiImage& g, bool english)
{
    const float w = float(c.Width()), h = float(c.Height());
    c.FillRoundedRect(2, 2, w - 4, h - 4, 10, Rgba{24, 30, 42, 230});
    c.FillEllipse(h * 0.55f, h * 0.5f, h * 0.3f, h * 0.3f, kAmber);
    Font::Bold().Draw(c, std::to_string(g.variant), h * 0.55f, h * 0.28f, h * 0.42f, kNight, Align::Center);
    const Font& bold = Font::Bold();
    const std::string name = english ? g.wordsEn : g.words;
    bold.Draw(c, name, h * 1.1f, h * 0.22f, h * 0.5f, kInk, Align::Left);
    const float nameWidth = bold.Measure(name, h * 0.5f);
    // The description takes what the name leaves, smaller if it must.
    const std::string detail = "— " + (english ? g.detailEn : g.detail);
    const float left = h * 1.1f + nameWidth + 14, room = w - left - 12;
    float px = h * 0.42f;
    while (px > 8.0f && Font::Regular().Measure(detail, px) > room)
        px *= 0.95f;
    Font::Regular().Draw(c, detail, left, h * 0.5f - px * 0.55f, px, kDim, Align::Left);
}

void PaintCoverHint(Canvas& c, const GuiImage& g)
{
    const float h = float(c.Height());
    c.FillRoundedRect(2, 2, c.Width() - 4.0f, h - 4, 14, Rgba{8, 10, 14, 190});
    // The low wall to hide behind.
    for (int row = 0; row < 2; ++row)
        for (int b = 0; b < 3; ++b)
            c.FillRect(94 + b * 20 - row * 10, int(h * 0.42f + row * 14), 18, 12, Rgba{150, 120, 90, 255});
    if (g.variant == 1) {
        c.FillEllipse(44, h * 0.5f, 24, 24, Rgba{64, 172, 84, 255});
        Font::Bold().Draw(c, "A", 44, h * 0.5f - 14, 28, kNight, Align::Center);
    } else {
        // The space bar, without words.
        c.FillRoundedRect(10, h * 0.5f - 12, 70, 24, 5, kInk);
        c.FillRect(22, int(h * 0.5f + 2), 46, 3, kNight);
    }
}

// Each cell: a dark plate, the button's picture on its left, its name on the
// right in two lines. The two cells blink the button.
void PaintComboHint(Canvas& c, const GuiImage& g, bool english)
{
    for (int cell = 0; cell < 2; ++cell) {
        const float x0 = float(cell * g.cellWidth), w = float(g.cellWidth), h = float(g.cellHeight);
        c.FillRoundedRect(x0 + 2, 2, w - 4, h - 4, h * 0.2f, Rgba{8, 10, 14, 200});
        c.FillRoundedRect(x0 + 6, 6, w - 12, h - 12, h * 0.16f, cell == 0 ? Rgba{160, 110, 30, 255} : kAmber);
        c.FillRoundedRect(x0 + 10, 10, w - 20, h - 20, h * 0.13f, Rgba{8, 10, 14, 230});
        const float s = h, cx = x0 + s * 0.55f, cy = h * 0.5f;
        if (g.variant <= 2) {
            const Rgba face = g.variant == 1 ? Rgba{54, 112, 214, 255} : Rgba{222, 190, 44, 255};
            const float r = s * (cell == 0 ? 0.3f : 0.36f);
            c.FillEllipse(cx, cy, r, r, cell == 0 ? face : Mix(face, kInk, 0.4f));
            Font::Bold().Draw(c, g.detail, cx, cy - r * 0.65f, r * 1.3f, kNight, Align::Center);
        } else {
            // A mouse with the combo's button lit.
            c.FillRoundedRect(cx - s * 0.2f, s * 0.14f, s * 0.4f, s * 0.72f, s * 0.18f, Rgba{200, 204, 212, 255});
            c.FillRect(int(cx - 1), int(s * 0.16f), 3, int(s * 0.28f), Rgba{90, 92, 100, 255});
            const bool left = g.variant == 3;
            c.FillRoundedRect(left ? cx - s * 0.18f : cx + s * 0.02f, s * 0.16f, s * 0.16f, s * 0.28f, 6,
                              cell == 0 ? kAmber : Rgba{255, 120, 60, 255});
        }
        const float textX = x0 + s + (w - s) * 0.45f, textWidth = w - s - 24;
        const std::string& second = english ? g.detailEn : g.detail;
        const bool letter = g.variant <= 2;
        CentredText(c, Font::Bold(), english ? g.wordsEn : g.words, textX, letter ? h * 0.5f : h * 0.34f, h * 0.3f,
                    textWidth, kInk);
        if (!letter)
            CentredText(c, Font::Bold(), second, textX, h * 0.68f, h * 0.26f, textWidth, kAmber);
    }
}

void PaintFrame(Canvas& c)
{
    const float w = float(c.Width()), h = float(c.Height());
    c.FillRoundedRect(2, 2, w - 4, h - 4, 18, Rgba{150, 130, 90, 255});
    c.FillRoundedRect(6, 6, w - 12, h - 12, 15, Rgba{10, 12, 16, 190});
}

// The weapon's silhouette over its name, so that a long name never runs
// into a long barrel.
void PaintWeapon(Canvas& c, const GuiImage& g, const std::string& words)
{
    const float w = float(c.Width()), h = float(c.Height());
    const Rgba metal{200, 204, 210, 255};
    // Barrel length and stock by weapon.
    const float barrel = g.name == "GUN" ? 0.3f : (g.name == "SHOTGUN" ? 0.62f : 0.5f);
    c.FillRect(int(w * 0.06f), int(h * 0.1f), int(w * barrel), int(h * 0.12f), metal);
    c.FillRect(int(w * 0.06f), int(h * 0.1f), int(w * 0.1f), int(h * 0.32f), metal);
    if (g.name != "GUN")
        c.FillRect(int(w * (0.06f + barrel)), int(h * 0.1f), int(w * 0.14f), int(h * 0.2f), Rgba{120, 80, 50, 255});
    if (g.name == "THOMPSON")
        c.FillRect(int(w * 0.22f), int(h * 0.2f), int(w * 0.05f), int(h * 0.2f), metal);
    FitText(c, Font::Bold(), words, w * 0.5f, h * 0.5f, h * 0.42f, w * 0.92f, kInk);
}

void PaintCrosshair(Canvas& c, const GuiImage& g)
{
    const float s = float(c.Width()), m = s * 0.5f;
    const Rgba colour = g.variant == 1 ? Rgba{240, 60, 50, 255} : (g.variant == 2 ? kAmber : kInk);
    if (g.detail == "GUN") {
        c.FillRect(int(m - 1), int(s * 0.15f), 3, int(s * 0.22f), colour);
        c.FillRect(int(m - 1), int(s * 0.63f), 3, int(s * 0.22f), colour);
        c.FillRect(int(s * 0.15f), int(m - 1), int(s * 0.22f), 3, colour);
        c.FillRect(int(s * 0.63f), int(m - 1), int(s * 0.22f), 3, colour);
    } else if (g.detail == "SHOTGUN") {
        c.FillShape(0, 0, s, s,
                    [=](float x, float y) {
                        const float d = std::hypot(x - m, y - m);
                        return d > s * 0.36f && d < s * 0.42f;
                    },
                    colour);
    } else {
        for (int k = 0; k < 4; ++k) {
            const float x = (k % 2) ? s * 0.7f : s * 0.22f, y = (k / 2) ? s * 0.7f : s * 0.22f;
            c.FillRect(int(x), int(y), int(s * 0.08f), 3, colour);
            c.FillRect(int(x), int(y), 3, int(s * 0.08f), colour);
        }
    }
    c.FillEllipse(m, m, 2.5f, 2.5f, colour);
}

void PaintFade(Canvas& c, const GuiImage& g)
{
    const Rgba colour = g.variant == 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255};
    const int last = g.cells - 1;
    // Opaque at cell 0, clear at the last: a fade in from black runs from
    // the first cell to the last.
    for (int cell = 0; cell < g.cells; ++cell)
        c.FillRect(cell * g.cellWidth, 0, g.cellWidth, g.cellHeight,
                   WithAlpha(colour, static_cast<std::uint8_t>(std::lround(255.0 * (last - cell) / last))));
}

std::string Number(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

} // namespace

const std::vector<GuiImage>& GuiImages()
{
    static const std::vector<GuiImage> table = BuildTable();
    return table;
}

std::vector<GuiElementFile> GuiElementFiles()
{
    std::vector<GuiElementFile> files;
    for (const GuiImage& image : GuiImages())
        for (bool english : {false, true}) {
            if (english && image.wordsEn.empty())
                continue;
            const std::string name = image.name + (english ? "_INGLES" : "");
            files.push_back({name, "GUI/" + name + ".png", &image, english});
        }
    return files;
}

Canvas PaintGuiImage(const GuiImage& g, bool english)
{
    Canvas c(g.cellWidth * g.cells, g.cellHeight, kClear);
    const std::string& words = english ? g.wordsEn : g.words;
    switch (g.kind) {
    case GuiKind::StormBackground:
        PaintStorm(c, g.variant, true);
        break;
    case GuiKind::OptionsBackground:
        // The title above the first row, the keys between the last row and
        // the way back.
        PaintStorm(c, g.variant, false);
        DarkPanel(c, 80, 60, c.Width() - 160.0f, c.Height() - 110.0f);
        Title(c, words, 76, 44);
        CentredText(c, Font::Regular(), english ? g.detailEn : g.detail, c.Width() * 0.5f, c.Height() * 0.765f, 24,
                    c.Width() - 200.0f, kInk);
        break;
    case GuiKind::ControlsBackground:
        PaintControls(c, g, english);
        break;
    case GuiKind::AchievementsBackground:
        PaintStorm(c, 1, false);
        DarkPanel(c, 60, 60, c.Width() - 120.0f, c.Height() - 100.0f);
        Title(c, words, 76, 44);
        for (int k = 0; k < 10; ++k)
            c.FillRoundedRect(c.Width() * 0.275f, c.Height() * (0.2f + 0.062f * k) - 18, c.Width() * 0.45f, 36, 8,
                              Rgba{255, 255, 255, 14});
        break;
    case GuiKind::PausePanel:
        c.FillRoundedRect(0, 0, float(c.Width()), float(c.Height()), 28, Rgba{8, 10, 16, 225});
        c.FillRect(60, 110, c.Width() - 120, 3, kAmber);
        Font::Bold().Draw(c, words, c.Width() * 0.5f, 36, 60, kAmber, Align::Center);
        break;
    case GuiKind::Button:
        PaintButton(c, g, words);
        break;
    case GuiKind::Selector:
        PaintSelector(c, g);
        break;
    case GuiKind::Switch:
        PaintSwitch(c, g);
        break;
    case GuiKind::Digits:
        PaintDigits(c, g);
        break;
    case GuiKind::ListEntry:
        PaintListEntry(c, g, english);
        break;
    case GuiKind::Banner:
        PaintBanner(c, g, english);
        break;
    case GuiKind::Caption:
        PaintCaption(c, words, g.variant == 1);
        break;
    case GuiKind::CoverHint:
        PaintCoverHint(c, g);
        break;
    case GuiKind::ComboHint:
        PaintComboHint(c, g, english);
        break;
    case GuiKind::Frame:
        PaintFrame(c);
        break;
    case GuiKind::Weapon:
        PaintWeapon(c, g, words);
        break;
    case GuiKind::Crosshair:
        PaintCrosshair(c, g);
        break;
    case GuiKind::Fade:
        PaintFade(c, g);
        break;
    }
    return c;
}

std::string GuiXml()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GUI>\n";
    for (const GuiElementFile& e : GuiElementFiles()) {
        const GuiImage& g = *e.image;
        xml += "  <ELEMENT name=\"" + e.name + "\" texture=\"" + e.texture + "\" pos_x=\"" + Number(g.posX) +
               "\" pos_y=\"" + Number(g.posY) + "\" text_width=\"" + std::to_string(g.cellWidth) +
               "\" text_height=\"" + std::to_string(g.cellHeight) + "\" alto=\"" + Number(g.alto) + "\" offset=\"" +
               Number(1.0f / g.cells) + "\"/>\n";
    }
    return xml + "</GUI>\n";
}

void GenerateGuiImages(Output& out)
{
    out.Write("data/XML/GUI.xml", GuiXml());
    for (const GuiElementFile& e : GuiElementFiles())
        WriteImage(out, std::string(kTextureFolder) + e.texture, PaintGuiImage(*e.image, e.english));
}

} // namespace datagen
