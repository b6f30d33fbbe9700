#include "datagen/ComicBoards.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <vector>

#include "datagen/Font.h"
#include "datagen/ImageFile.h"

namespace datagen {

namespace {

constexpr int kSize = 768;
// The rows a 600 x 400 board shows (two thirds of the picture).
constexpr int kPanelHeight = 512;

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Has(const std::string& lowerName, const char* word) { return lowerName.find(word) != std::string::npos; }

// A small stable hash of the name, so each board's scene differs from the
// next but every build draws the same.
std::uint32_t Hash(const std::string& text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text)
        h = (h ^ c) * 16777619u;
    return h;
}

struct Palette {
    Rgba sky, far, near, accent;
};

// One palette per comic: night rain, the street, the burnt harbour, the
// island, the boss's escape, the credits, the memorial, the last fight.
Palette PaletteOf(const std::string& lower)
{
    if (Has(lower, "vinyeta1"))
        return {{20, 30, 70}, {45, 60, 110}, {12, 14, 30}, {230, 220, 120}};
    if (Has(lower, "vinyeta2"))
        return {{60, 30, 80}, {110, 60, 120}, {25, 15, 35}, {250, 200, 90}};
    if (Has(lower, "vinyeta4") || Has(lower, "vinyetas4"))
        return {{190, 80, 30}, {120, 50, 30}, {40, 20, 15}, {250, 210, 60}};
    if (Has(lower, "vinyeta3"))
        return {{30, 90, 100}, {20, 60, 70}, {10, 25, 30}, {240, 240, 200}};
    if (Has(lower, "huye"))
        return {{150, 20, 20}, {90, 15, 15}, {30, 5, 5}, {250, 230, 200}};
    if (Has(lower, "end_"))
        return {{120, 90, 60}, {90, 65, 40}, {40, 28, 18}, {245, 230, 190}};
    if (Has(lower, "memoriam"))
        return {{70, 70, 75}, {50, 50, 55}, {20, 20, 22}, {235, 235, 235}};
    return {{80, 50, 40}, {140, 90, 60}, {35, 20, 15}, {250, 220, 150}};
}

void Skyline(Canvas& c, const Palette& p, std::uint32_t seed, int ground)
{
    for (int x = 0; x < kSize;) {
        const int w = 50 + static_cast<int>(seed % 70);
        seed = seed * 1103515245u + 12345u;
        const int h = 100 + static_cast<int>((seed >> 8) % 200);
        seed = seed * 1103515245u + 12345u;
        c.FillRect(x, ground - h, w - 6, h, p.far);
        for (int wy = ground - h + 16; wy < ground - 20; wy += 28)
            for (int wx = x + 8; wx < x + w - 18; wx += 18)
                if ((seed >> ((wx + wy) % 13)) & 1)
                    c.FillRect(wx, wy, 8, 12, p.accent);
        x += w;
    }
}

void Figure(Canvas& c, Rgba colour, float x, float ground, float height)
{
    const float head = height * 0.14f;
    c.FillEllipse(x, ground - height + head, head * 0.8f, head, colour);
    c.FillRoundedRect(x - height * 0.18f, ground - height + head * 1.8f, height * 0.36f, height * 0.55f, 10, colour);
    c.FillRect(static_cast<int>(x - height * 0.14f), static_cast<int>(ground - height * 0.3f),
               static_cast<int>(height * 0.1f), static_cast<int>(height * 0.3f), colour);
    c.FillRect(static_cast<int>(x + height * 0.04f), static_cast<int>(ground - height * 0.3f),
               static_cast<int>(height * 0.1f), static_cast<int>(height * 0.3f), colour);
    // A hat brim: every figure of these comics wears one.
    c.FillRect(static_cast<int>(x - head * 1.4f), static_cast<int>(ground - height + head * 0.3f),
               static_cast<int>(head * 2.8f), static_cast<int>(head * 0.3f), colour);
}

void Scene(Canvas& c, const std::string& lower, const Palette& p, std::uint32_t seed)
{
    const int ground = kPanelHeight - 90;
    c.VerticalGradient(0, 0, kSize, ground, p.sky, Mix(p.sky, p.far, 0.6f));
    c.FillRect(0, ground, kSize, kSize - ground, p.near);
    if (Has(lower, "isla") || Has(lower, "rocas") || Has(lower, "faro")) {
        c.FillEllipse(kSize * 0.6f, static_cast<float>(ground), 260, 90, p.far);
        c.FillRect(static_cast<int>(kSize * 0.7f), ground - 210, 26, 150, p.accent);
        c.FillEllipse(kSize * 0.7f + 13, static_cast<float>(ground - 215), 40, 20, WithAlpha(p.accent, 200));
    } else if (Has(lower, "cajas") || Has(lower, "deposito") || Has(lower, "armario")) {
        for (int i = 0; i < 5; ++i)
            c.FillRect(60 + i * 130, ground - 90 - (i % 2) * 80, 110, 90 + (i % 2) * 80, p.far);
    } else if (Has(lower, "helice") || Has(lower, "pieza") || Has(lower, "trozo")) {
        for (int i = 0; i < 7; ++i) {
            const float cx = 80.0f + ((seed >> i) % 600), cy = 80.0f + ((seed >> (i + 3)) % 300);
            c.FillShape(cx - 50, cy - 30, cx + 50, cy + 30,
                        [cx, cy](float x, float y) { return std::fabs(x - cx) * 0.6f + std::fabs(y - cy) < 30; },
                        p.far);
        }
    } else {
        Skyline(c, p, seed, ground);
    }
    if (Has(lower, "farola")) {
        c.FillRect(kSize / 2 - 8, ground - 330, 16, 330, p.near);
        c.FillEllipse(kSize / 2.0f, static_cast<float>(ground - 335), 60, 60, WithAlpha(p.accent, 120));
        c.FillEllipse(kSize / 2.0f, static_cast<float>(ground - 335), 22, 22, p.accent);
    }
    if (Has(lower, "zorvath") || Has(lower, "malo") || Has(lower, "dockers") || Has(lower, "escena") ||
        Has(lower, "miamor") || Has(lower, "mano"))
        Figure(c, p.near, kSize * (0.3f + (seed % 40) / 100.0f), static_cast<float>(ground + 30), 300);
    if (Has(lower, "sangre"))
        for (int i = 0; i < 9; ++i)
            c.FillEllipse(200.0f + ((seed >> i) % 380), 200.0f + ((seed >> (i + 5)) % 250), 18.0f + i * 3,
                          14.0f + i * 2, Rgba{150, 10, 10});
    if (Has(lower, "humo"))
        for (int i = 0; i < 6; ++i)
            c.FillEllipse(150.0f + i * 90, 150.0f + (i % 3) * 40, 90, 60, Rgba{110, 110, 115, 170});
    if (Has(lower, "lluvia"))
        for (int i = 0; i < 140; ++i) {
            seed = seed * 1103515245u + 12345u;
            const float x = static_cast<float>(seed % kSize), y = static_cast<float>((seed >> 12) % kPanelHeight);
            c.FillShape(x - 12, y, x + 2, y + 40,
                        [x, y](float px, float py) { return std::fabs((px - x) + (py - y) * 0.25f) < 1.2f; },
                        Rgba{170, 190, 230, 200});
        }
}

// Where the gliding camera frames a board: about two thirds of its width and
// three quarters of its height, round the middle.
constexpr int kCaptionX = 140, kCaptionY = 76;
constexpr float kCaptionWidth = 400.0f;

} // namespace

void DrawCaption(Canvas& c, const std::string& text)
{
    const Font& font = Font::Bold();
    const float height = 34.0f;
    std::vector<std::string> lines;
    std::string line;
    std::string word;
    std::istringstream words(UpperCase(text));
    while (words >> word) {
        const std::string tried = line.empty() ? word : line + " " + word;
        if (!line.empty() && font.Measure(tried, height) > kCaptionWidth) {
            lines.push_back(line);
            line = word;
        } else {
            line = tried;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    float width = 0;
    for (const std::string& l : lines)
        width = std::max(width, font.Measure(l, height));
    const int boxW = static_cast<int>(width) + 36;
    const int boxH = static_cast<int>(lines.size() * height * 1.2f) + 24;
    c.FillRect(kCaptionX, kCaptionY, boxW, boxH, Rgba{250, 232, 120});
    c.StrokeRect(kCaptionX, kCaptionY, boxW, boxH, 4, Rgba{15, 12, 10});
    for (std::size_t i = 0; i < lines.size(); ++i)
        font.Draw(c, lines[i], kCaptionX + 18.0f, kCaptionY + 12 + i * height * 1.2f, height, Rgba{15, 12, 10});
}

namespace {

// Captions by the word the board's name carries.
struct CaptionRow {
    const char* word;
    const char* text;
};
const CaptionRow kCaptions[] = {
    {"miamor", "Mi amor... te lo juro."},
    {"merece", "Nadie merece morir así."},
    {"venganza", "Tendré mi venganza."},
    {"mecueste", "Me cueste lo que me cueste..."},
    {"aunque", "...aunque sea lo último que haga..."},
    {"lavida", "...te encontraré, Zorvath."},
    {"yaseha", "Ya se ha derramado"},
    {"derramado", "demasiada sangre."},
    {"peroaun", "Pero aún"},
    {"quedan", "quedan"},
    {"culpables", "culpables"},
    {"pagar", "que tienen que pagar."},
    {"letras1", "¡Dockers! ¡Vuelve aquí!"},
    {"letras2", "¡No escaparás!"},
    {"memoriam", "In memoriam"},
    {"end_1", "The Vantorel"},
    {"end_2", "Una historia de venganza"},
    {"end_3", "Programación y arte"},
    {"end_4", "Música y sonido"},
    {"end_5", "Gracias por jugar"},
    {"final_inicio", "Se acabó, Dockers."},
    {"zorvath1", "Zorvath..."},
    {"zorvath2", "Esta noche termina todo."},
};

} // namespace

bool IsComicBoard(const LayoutObject& object) { return object.material == "vinyeta"; }

std::string ComicBoardTexture(const std::string& level, const LayoutObject& object)
{
    return "vinyetas/" + level + "/" + object.name + ".jpg";
}

std::string ComicBoardCaption(const std::string& name)
{
    const std::string lower = Lower(name);
    for (const CaptionRow& row : kCaptions)
        if (Has(lower, row.word))
            return row.text;
    return "";
}

Canvas PaintComicBoard(const LayoutObject& object)
{
    const std::string lower = Lower(object.name);
    const Palette palette = PaletteOf(lower);
    Canvas canvas(kSize, kSize, palette.near);
    if (object.size.x > 1000.0f) {
        // A backdrop behind the boards: the tile repeats it, so it stays plain.
        canvas.VerticalGradient(0, 0, kSize, kSize, palette.sky, palette.near);
        return canvas;
    }
    Scene(canvas, lower, palette, Hash(object.name));
    const std::string caption = ComicBoardCaption(object.name);
    if (!caption.empty())
        DrawCaption(canvas, caption);
    canvas.StrokeRect(0, 0, kSize, kPanelHeight, 10, Rgba{10, 8, 8});
    return canvas;
}

void GenerateComicBoards(Output& out)
{
    std::vector<LevelLayout> layouts;
    if (!ReadLevelLayouts(layouts, out))
        return;
    for (const LevelLayout& layout : layouts)
        for (const LayoutObject& object : layout.objects)
            if (IsComicBoard(object))
                WriteImage(out, std::string(kTextureFolder) + ComicBoardTexture(layout.level, object),
                           PaintComicBoard(object));
}

} // namespace datagen
