#include "datagen/ScreenImages.h"

#include <algorithm>
#include <set>

#include "datagen/Font.h"
#include "datagen/ImageFile.h"

namespace datagen {

namespace {

// Drawing is laid out on a 1024x768 design and scaled to the canvas.
struct Frame {
    Canvas& canvas;
    float s, ox, oy;

    explicit Frame(Canvas& c)
        : canvas(c),
          s(std::min(c.Width() / float(kScreenWidth), c.Height() / float(kScreenHeight))),
          ox((c.Width() - kScreenWidth * s) * 0.5f),
          oy((c.Height() - kScreenHeight * s) * 0.5f)
    {
    }
    float X(float x) const { return ox + x * s; }
    float Y(float y) const { return oy + y * s; }

    void Text(const Font& font, const std::string& text, float x, float y, float px, Rgba c,
              Align align = Align::Left) const
    {
        font.Draw(canvas, text, X(x), Y(y), px * s, c, align);
    }
    void ShadowText(const Font& font, const std::string& text, float x, float y, float px, Rgba c,
                    Align align = Align::Center) const
    {
        Text(font, text, x + px * 0.05f, y + px * 0.05f, px, Rgba{0, 0, 0, 170}, align);
        Text(font, text, x, y, px, c, align);
    }
    void Ellipse(float cx, float cy, float rx, float ry, Rgba c) const
    {
        canvas.FillEllipse(X(cx), Y(cy), rx * s, ry * s, c);
    }
    void RoundRect(float x, float y, float w, float h, float r, Rgba c) const
    {
        canvas.FillRoundedRect(X(x), Y(y), w * s, h * s, r * s, c);
    }
    void Rect(float x, float y, float w, float h, Rgba c) const
    {
        canvas.FillRect(int(X(x)), int(Y(y)), std::max(1, int(w * s)), std::max(1, int(h * s)), c);
    }
};

const Rgba kWhite{235, 235, 230, 255};
const Rgba kGrey{170, 172, 176, 255};
const Rgba kKey{42, 47, 54, 255};
const Rgba kKeyEdge{96, 104, 114, 255};
const Rgba kDark{12, 12, 14, 255};

struct Palette {
    Rgba top, bottom, accent;
};

Palette PaletteFor(const ScreenImage& image)
{
    switch (image.kind) {
    case ScreenKind::Death:
        return {Rgba{96, 10, 8, 255}, Rgba{16, 0, 0, 255}, Rgba{255, 84, 60, 255}};
    case ScreenKind::Loading:
        return image.pad ? Palette{Rgba{20, 28, 52, 255}, Rgba{4, 6, 12, 255}, Rgba{242, 178, 52, 255}}
                         : Palette{Rgba{14, 40, 38, 255}, Rgba{3, 9, 9, 255}, Rgba{84, 212, 200, 255}};
    case ScreenKind::Splash:
        break;
    }
    return {Rgba{8, 12, 30, 255}, Rgba{150, 72, 40, 255}, Rgba{250, 200, 120, 255}};
}

// One hint per loading image, matching the fixed bindings of the hero's actions.
struct Hint {
    const char* titleEs;
    const char* titleEn;
    std::set<std::string> keys;     // highlighted on the keyboard and mouse
    std::set<std::string> buttons;  // highlighted on the pad
    const char* keyLinesEs[2];
    const char* keyLinesEn[2];
    const char* padLinesEs[2];
    const char* padLinesEn[2];
};

const Hint kHints[5] = {
    {"Moverse", "Moving",
     {"W", "A", "S", "D"}, {"LS"},
     {"W A S D: moverse", "Mueve el ratón para girar la cámara"},
     {"W A S D: move", "Move the mouse to turn the camera"},
     {"Stick izquierdo: moverse", "Stick derecho: girar la cámara"},
     {"Left stick: move", "Right stick: turn the camera"}},
    {"Apuntar y disparar", "Aiming and firing",
     {"LMB", "RMB"}, {"LT", "RT"},
     {"Botón derecho del ratón: apuntar", "Botón izquierdo del ratón: disparar"},
     {"Right mouse button: aim", "Left mouse button: fire"},
     {"Gatillo izquierdo: apuntar", "Gatillo derecho: disparar"},
     {"Left trigger: aim", "Right trigger: fire"}},
    {"Rodar y cubrirse", "Rolling and taking cover",
     {"SPACE"}, {"A"},
     {"ESPACIO: rodar", "ESPACIO junto a un parapeto: cubrirse"},
     {"SPACE: roll", "SPACE next to a parapet: take cover"},
     {"A: rodar", "A junto a un parapeto: cubrirse"},
     {"A: roll", "A next to a parapet: take cover"}},
    {"Recargar y cambiar de arma", "Reloading and changing weapons",
     {"R", "WHEEL"}, {"B", "DPAD"},
     {"R: recargar", "Rueda del ratón: cambiar de arma"},
     {"R: reload", "Mouse wheel: change weapon"},
     {"B: recargar", "Cruceta: cambiar de arma"},
     {"B: reload", "D-pad: change weapon"}},
    {"Fijar objetivo y cuerpo a cuerpo", "Targeting and melee",
     {"Q", "LMB", "RMB"}, {"LB", "RB", "X", "Y"},
     {"Q: fijar el enemigo más cercano", "Botones del ratón: combos cuerpo a cuerpo"},
     {"Q: target the nearest enemy", "Mouse buttons: melee combos"},
     {"LB o RB: fijar el enemigo más cercano", "X e Y: combos cuerpo a cuerpo"},
     {"LB or RB: target the nearest enemy", "X and Y: melee combos"}},
};

void Key(const Frame& f, float x, float y, float w, const std::string& label, bool lit, Rgba accent)
{
    f.RoundRect(x, y, w, 70, 12, lit ? accent : kKeyEdge);
    f.RoundRect(x + 4, y + 4, w - 8, 62, 9, lit ? Mix(accent, kWhite, 0.25f) : kKey);
    f.Text(Font::Bold(), label, x + w * 0.5f, y + 18, 28, lit ? kDark : kWhite, Align::Center);
}

void DrawKeyboard(const Frame& f, const std::set<std::string>& lit, Rgba accent, bool english)
{
    auto on = [&](const char* k) { return lit.count(k) > 0; };
    const char* top[] = {"Q", "W", "E", "R"};
    for (int i = 0; i < 4; ++i)
        Key(f, 170 + 80.0f * i, 250, 70, top[i], on(top[i]), accent);
    const char* home[] = {"A", "S", "D"};
    for (int i = 0; i < 3; ++i)
        Key(f, 190 + 80.0f * i, 330, 70, home[i], on(home[i]), accent);
    Key(f, 190, 410, 330, english ? "SPACE" : "ESPACIO", on("SPACE"), accent);

    // The mouse: body, two buttons and the wheel between them.
    f.RoundRect(680, 250, 170, 240, 80, kKeyEdge);
    f.RoundRect(684, 254, 162, 232, 76, kKey);
    f.Rect(764, 254, 2, 104, kKeyEdge);
    f.Rect(684, 356, 162, 2, kKeyEdge);
    if (on("LMB"))
        f.RoundRect(692, 262, 66, 88, 30, accent);
    if (on("RMB"))
        f.RoundRect(772, 262, 66, 88, 30, accent);
    f.RoundRect(755, 278, 20, 52, 9, on("WHEEL") ? accent : kGrey);
}

void DrawPad(const Frame& f, const std::set<std::string>& lit, Rgba accent)
{
    auto on = [&](const char* k) { return lit.count(k) > 0; };
    const Rgba body{48, 52, 60, 255};
    const Rgba rim{88, 94, 104, 255};

    // Triggers and shoulders sit behind the body.
    f.RoundRect(336, 222, 84, 40, 14, on("LT") ? accent : rim);
    f.RoundRect(604, 222, 84, 40, 14, on("RT") ? accent : rim);
    f.Text(Font::Bold(), "LT", 378, 228, 20, on("LT") ? kDark : kWhite, Align::Center);
    f.Text(Font::Bold(), "RT", 646, 228, 20, on("RT") ? kDark : kWhite, Align::Center);
    f.RoundRect(316, 262, 124, 30, 12, on("LB") ? accent : rim);
    f.RoundRect(584, 262, 124, 30, 12, on("RB") ? accent : rim);
    f.Text(Font::Bold(), "LB", 378, 266, 18, on("LB") ? kDark : kWhite, Align::Center);
    f.Text(Font::Bold(), "RB", 646, 266, 18, on("RB") ? kDark : kWhite, Align::Center);

    f.Ellipse(350, 450, 78, 100, body);
    f.Ellipse(674, 450, 78, 100, body);
    f.RoundRect(290, 286, 444, 190, 90, body);

    // Sticks.
    auto stick = [&](float cx, float cy, bool lit) {
        f.Ellipse(cx, cy, 40, 40, lit ? accent : kDark);
        f.Ellipse(cx, cy, 28, 28, lit ? Mix(accent, kWhite, 0.3f) : rim);
    };
    stick(380, 360, on("LS"));
    stick(584, 438, on("RS"));

    // D-pad.
    const Rgba dpad = on("DPAD") ? accent : kDark;
    f.RoundRect(408, 424, 72, 24, 5, dpad);
    f.RoundRect(432, 400, 24, 72, 5, dpad);

    // Back and start.
    f.Ellipse(474, 332, 16, 10, on("BACK") ? accent : kDark);
    f.Ellipse(550, 332, 16, 10, on("START") ? accent : kDark);

    // Face buttons in their usual colours; a lit one gets a ring.
    struct Face {
        const char* name;
        float cx, cy;
        Rgba colour;
    };
    const Face faces[] = {{"A", 648, 402, Rgba{64, 172, 84, 255}},
                          {"B", 690, 360, Rgba{204, 62, 52, 255}},
                          {"X", 606, 360, Rgba{54, 112, 214, 255}},
                          {"Y", 648, 318, Rgba{222, 190, 44, 255}}};
    for (const Face& b : faces) {
        if (on(b.name))
            f.Ellipse(b.cx, b.cy, 29, 29, accent);
        f.Ellipse(b.cx, b.cy, 21, 21, b.colour);
        f.Text(Font::Bold(), b.name, b.cx, b.cy - 12, 22, kDark, Align::Center);
    }
}

void Background(Canvas& canvas, const Palette& p, float vignette)
{
    canvas.VerticalGradient(0, 0, canvas.Width(), canvas.Height(), p.top, p.bottom);
    canvas.Vignette(vignette);
}

void Title(const Frame& f, Rgba colour, float y, float px)
{
    f.ShadowText(Font::Bold(), "THE VANTOREL", 512, y, px, colour);
}

void PaintSplash(const Frame& f, const ScreenImage& image)
{
    Canvas& c = f.canvas;
    const Palette p = PaletteFor(image);
    const int horizon = int(f.Y(520));
    c.VerticalGradient(0, 0, c.Width(), horizon, p.top, p.bottom);
    // Setting sun, then the sea cuts it at the horizon.
    f.Ellipse(512, 520, 150, 150, Rgba{255, 150, 80, 50});
    f.Ellipse(512, 520, 90, 90, Rgba{255, 190, 110, 255});
    c.VerticalGradient(0, horizon, c.Width(), c.Height() - horizon, Rgba{40, 30, 40, 255}, Rgba{4, 6, 10, 255});
    for (int i = 0; i < 6; ++i)
        f.Rect(430 + 12.0f * i, 530 + 18.0f * i, 164 - 24.0f * i, 3, Rgba{255, 170, 100, 120});

    // The island with its arched hangars, in silhouette above the waterline.
    const Rgba land{14, 12, 18, 255};
    auto dome = [&](float cx, float rx, float ry) {
        const float x = f.X(cx), r = rx * f.s, h = ry * f.s, base = float(horizon);
        c.FillShape(x - r, base - h, x + r, base,
                    [=](float px, float py) {
                        const float dx = (px - x) / r, dy = (py - base) / h;
                        return py <= base && dx * dx + dy * dy <= 1.0f;
                    },
                    land);
    };
    dome(300, 270, 22);
    for (int i = 0; i < 3; ++i)
        dome(170 + 110.0f * i, 48, 58 - 8.0f * i);
    dome(820, 150, 16);
    f.Rect(860, 440, 6, 80, land); // radio mast
    c.Vignette(0.5f);

    Title(f, p.accent, 120, 110);
    f.Text(Font::Regular(), "hangares  \xC2\xB7  isla", 512, 250, 30, kWhite, Align::Center);
}

void PaintLoading(const Frame& f, const ScreenImage& image)
{
    const Palette p = PaletteFor(image);
    Background(f.canvas, p, 0.6f);
    const Hint& hint = kHints[std::clamp(image.number, 1, 5) - 1];
    const bool en = image.english;

    Title(f, p.accent, 36, 72);
    f.Rect(212, 128, 600, 3, p.accent);
    const std::string tip = std::string(en ? "Tip " : "Consejo ") + std::to_string(image.number) + "/5 \xC2\xB7 " +
                            (en ? hint.titleEn : hint.titleEs);
    f.Text(Font::Bold(), tip, 512, 156, 34, kWhite, Align::Center);

    if (image.pad)
        DrawPad(f, hint.buttons, p.accent);
    else
        DrawKeyboard(f, hint.keys, p.accent, en);

    const char* const* lines = image.pad ? (en ? hint.padLinesEn : hint.padLinesEs)
                                         : (en ? hint.keyLinesEn : hint.keyLinesEs);
    for (int i = 0; i < 2; ++i)
        f.Text(Font::Regular(), lines[i], 512, 566 + 40.0f * i, 28, kWhite, Align::Center);

    const char* caption = image.pad ? (en ? "Loading... pad controls" : "Cargando... controles del mando")
                                    : (en ? "Loading... keyboard controls" : "Cargando... controles del teclado");
    f.Text(Font::Bold(), caption, 40, 680, 28, p.accent);
    // How far along the start-up is.
    f.RoundRect(40, 724, 600, 12, 6, Rgba{255, 255, 255, 40});
    f.RoundRect(40, 724, 600 * image.position / 10.0f, 12, 6, p.accent);
}

void PaintDeath(const Frame& f, const ScreenImage& image)
{
    const Palette p = PaletteFor(image);
    Background(f.canvas, p, 0.8f);
    // Dark streaks across the red.
    for (int i = 0; i < 7; ++i)
        f.Rect(0, 300 + 24.0f * i - 4.0f * (i % 3), 1024, 6.0f + 3.0f * (i % 2), Rgba{0, 0, 0, 70});

    const bool en = image.english;
    Title(f, Rgba{230, 190, 180, 255}, 40, 40);
    f.ShadowText(Font::Bold(), "EPIC FAIL", 512, 200, 150, kWhite);
    f.Text(Font::Regular(), en ? "You fell in combat" : "Has caído en combate", 512, 400, 40, p.accent, Align::Center);

    // The two ways on, each with its key drawn as the player finds it.
    const std::vector<DeathPrompt> prompts = DeathScreenPrompts(image);
    for (std::size_t i = 0; i < prompts.size(); ++i) {
        const float y = 500 + 110.0f * i;
        const float w = prompts[i].key.size() > 3 ? 190 : 120;
        if (image.pad) {
            f.Ellipse(230, y + 36, w * 0.5f + 6, 38, kKeyEdge);
            f.Ellipse(230, y + 36, w * 0.5f, 32, kKey);
        } else {
            f.RoundRect(230 - w * 0.5f - 4, y, w + 8, 72, 12, kKeyEdge);
            f.RoundRect(230 - w * 0.5f, y + 4, w, 64, 9, kKey);
        }
        f.Text(Font::Bold(), prompts[i].key, 230, y + 20, 28, kWhite, Align::Center);
        f.Text(Font::Regular(), prompts[i].action, 360, y + 20, 30, kWhite);
    }
}

} // namespace

std::vector<DeathPrompt> DeathScreenPrompts(const ScreenImage& image)
{
    const bool en = image.english;
    // The hero's "use" action revives him; the menu key of the death screen leaves.
    return {{image.pad ? "A" : (en ? "SPACE" : "ESPACIO"),
             en ? "Revive at the last checkpoint" : "Vuelve al último punto de control"},
            {image.pad ? "BACK" : "ESC", en ? "Back to the main menu" : "Vuelve al menú principal"}};
}

std::vector<ScreenImage> ScreenImages()
{
    std::vector<ScreenImage> images;
    ScreenImage splash;
    splash.name = "GUI/LOADING/vantorel.jpg";
    images.push_back(splash);

    // The first pad image is on screen before the language is known, so it
    // has no English twin; every later one has.
    int position = 0;
    for (bool pad : {true, false})
        for (int n = 1; n <= 5; ++n) {
            ++position;
            for (bool english : {false, true}) {
                if (pad && n == 1 && english)
                    continue;
                ScreenImage img;
                img.kind = ScreenKind::Loading;
                img.pad = pad;
                img.english = english;
                img.number = n;
                img.position = position;
                img.name = std::string("GUI/LOADING/loading_") + (pad ? "mando_" : "teclado_") + std::to_string(n) +
                           (english ? "_ing" : "") + ".jpg";
                images.push_back(img);
            }
        }

    for (bool english : {false, true})
        for (bool pad : {true, false}) {
            ScreenImage img;
            img.kind = ScreenKind::Death;
            img.pad = pad;
            img.english = english;
            img.name = std::string("GUI/EpicFail_") + (pad ? "mando" : "teclado") + (english ? "_ing" : "") + ".jpg";
            images.push_back(img);
        }
    return images;
}

Canvas PaintScreen(const ScreenImage& image, int width, int height)
{
    Canvas canvas(width, height, Rgba{0, 0, 0, 255});
    const Frame frame(canvas);
    switch (image.kind) {
    case ScreenKind::Splash:
        PaintSplash(frame, image);
        break;
    case ScreenKind::Loading:
        PaintLoading(frame, image);
        break;
    case ScreenKind::Death:
        PaintDeath(frame, image);
        break;
    }
    return canvas;
}

void GenerateScreenImages(Output& out)
{
    for (const ScreenImage& image : ScreenImages())
        WriteImage(out, std::string(kTextureFolder) + image.name, PaintScreen(image, kScreenWidth, kScreenHeight));
}

} // namespace datagen
