#include "datagen/MeshTextures.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "datagen/ImageFile.h"

namespace datagen {

namespace {

constexpr float kTwoPi = 6.28318531f;
constexpr int kSize = 256;

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float Unit(std::uint32_t h)
{
    return static_cast<float>(h >> 8) / 16777216.0f;
}

int Wrap(int i, int period)
{
    const int r = i % period;
    return r < 0 ? r + period : r;
}

float Fraction(float x)
{
    return x - std::floor(x);
}

float Smooth(float t)
{
    return t * t * (3 - 2 * t);
}

std::uint8_t Byte(float v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f));
}

Rgba Shade(Rgba c, float delta)
{
    return Rgba{Byte(c.r + delta), Byte(c.g + delta), Byte(c.b + delta), 255};
}

// One texture: a height field and the colour at each texel given its height.
struct Surface {
    const char* name;
    std::function<float(float u, float v)> height;
    std::function<Rgba(float u, float v, float h, int x, int y)> colour;
    float bump;  // normal map strength; 0 writes no normal map
};

float Concrete(float u, float v)
{
    return TileFbm(u, v, 8, 8, 4, 11);
}

float Sand(float u, float v)
{
    const float ripple = 0.5f + 0.5f * std::sin(kTwoPi * (10 * v + 0.8f * TileFbm(u, v, 4, 4, 2, 23)));
    return 0.6f * TileFbm(u, v, 16, 16, 3, 21) + 0.4f * ripple;
}

float Water(float u, float v)
{
    const float swell = 0.5f + 0.5f * std::sin(kTwoPi * (3 * u + 5 * v + TileFbm(u, v, 4, 4, 3, 31)));
    return 0.6f * swell + 0.4f * TileFbm(u, v, 8, 8, 3, 33);
}

float Metal(float u, float v)
{
    return 0.5f + 0.5f * std::cos(kTwoPi * 16 * u);
}

// Five planks across, a frame round the edge and a brace corner to corner.
float Crate(float u, float v)
{
    const float edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
    if (edge < 0.08f || std::fabs(u - v) < 0.06f)
        return 1.0f;
    return Fraction(v * 5) < 0.04f ? 0.0f : 0.6f;
}

struct BrickCell {
    int row, column;
    bool mortar;
};

BrickCell Brick(float u, float v)
{
    const int row = static_cast<int>(v * 8);
    const float shifted = u + (row % 2) * 0.125f;
    const int column = static_cast<int>(std::floor(shifted * 4));
    const bool mortar = Fraction(shifted * 4) < 0.05f || Fraction(v * 8) < 0.1f;
    return {row, Wrap(column, 4), mortar};
}

float Rock(float u, float v)
{
    const float n = TileFbm(u, v, 4, 4, 6, 91);
    return 0.7f * n + 0.3f * (1 - 2 * std::fabs(n - 0.5f));
}

std::vector<Surface> Surfaces()
{
    return {
        {"hormigon", Concrete,
         [](float u, float v, float h, int x, int y) {
             Rgba c = Mix(Rgba{96, 96, 94}, Rgba{156, 154, 150}, h);
             if (TileFbm(u, v, 4, 4, 3, 17) > 0.62f)
                 c = Shade(c, -22);
             return Shade(c, Unit(Hash(x, y, 5)) * 16 - 8);
         },
         8.0f},
        {"arena", Sand,
         [](float, float, float h, int x, int y) {
             return Shade(Mix(Rgba{168, 146, 102}, Rgba{224, 202, 152}, h), Unit(Hash(x, y, 7)) * 12 - 6);
         },
         6.0f},
        {"agua", Water, [](float, float, float h, int, int) { return Mix(Rgba{14, 38, 62}, Rgba{62, 112, 142}, h); },
         0.0f},
        {"metal", Metal,
         [](float u, float v, float h, int, int) {
             Rgba c = Mix(Rgba{90, 98, 106}, Rgba{152, 160, 166}, h);
             const float rust = TileFbm(u, v, 6, 6, 4, 41);
             return rust > 0.6f ? Mix(c, Rgba{122, 70, 38}, (rust - 0.6f) * 2.5f) : c;
         },
         12.0f},
        {"caja_madera", Crate,
         [](float u, float v, float h, int, int) {
             const float grain = TileFbm(u, v, 2, 48, 3, 51);
             if (h < 0.3f)
                 return Rgba{40, 26, 14};
             const float plank = Unit(Hash(static_cast<std::uint32_t>(v * 5), 0, 53));
             Rgba c = Mix(Rgba{108, 70, 36}, Rgba{172, 122, 70}, 0.7f * grain + 0.3f * plank);
             return h > 0.9f ? Shade(c, 18) : c;
         },
         10.0f},
        {"ladrillo", [](float u, float v) { return Brick(u, v).mortar ? 0.2f : 0.8f + 0.2f * TileFbm(u, v, 16, 16, 2, 61); },
         [](float u, float v, float h, int x, int y) {
             const BrickCell b = Brick(u, v);
             if (b.mortar)
                 return Shade(Rgba{168, 164, 154}, Unit(Hash(x, y, 63)) * 10 - 5);
             const float tint = Unit(Hash(b.row, b.column, 67));
             return Shade(Mix(Rgba{128, 58, 40}, Rgba{172, 88, 62}, tint), (h - 0.9f) * 60);
         },
         10.0f},
        {"roca", Rock,
         [](float, float, float h, int, int) { return Mix(Rgba{78, 74, 68}, Rgba{152, 146, 136}, h); }, 16.0f},
        {"vegetacion", [](float u, float v) { return TileFbm(u, v, 16, 16, 4, 71); },
         [](float, float, float h, int x, int y) {
             return Shade(Mix(Rgba{22, 54, 20}, Rgba{86, 132, 48}, h), Unit(Hash(x, y, 73)) * 20 - 10);
         },
         10.0f},
        // Comic paper: cream, a halftone of ink dots thickening with the
        // noise, a black frame round each copy.
        {"vinyeta", [](float, float) { return 0.5f; },
         [](float u, float v, float, int x, int y) {
             const float edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
             if (edge < 0.02f)
                 return Rgba{16, 14, 18};
             const float shade = TileFbm(u, v, 4, 4, 3, 79);
             const float du = Fraction(u * 48) - 0.5f, dv = Fraction(v * 48) - 0.5f;
             const bool dot = std::sqrt(du * du + dv * dv) < 0.55f * shade;
             return dot ? Rgba{40, 34, 52} : Rgba{232, 220, 188};
         },
         0.0f},
        // Yard paint: a worn yellow that stands out from the concrete under the
        // same lamps, and stays under the bloom's cut: a glowing patch on
        // the ground reads as a light, not as a way to follow.
        {"pintura", [](float, float) { return 0.5f; },
         [](float u, float v, float, int x, int y) {
             const float wear = TileFbm(u, v, 4, 4, 3, 89);
             return Shade(Mix(Rgba{150, 126, 70}, Rgba{214, 172, 40}, std::min(1.0f, wear * 1.6f)),
                          Unit(Hash(x, y, 97)) * 12 - 6);
         },
         0.0f},
        // Fuel tank paint: a red that no other surface of the yard has, round
        // a black and yellow hazard band, so the tank reads from afar as the
        // thing to shoot at rather than one more corrugated shed.
        {"combustible", [](float, float v) { return std::fabs(v - 0.5f) < 0.12f ? 0.7f : 0.5f; },
         [](float u, float v, float, int x, int y) {
             if (std::fabs(v - 0.5f) < 0.12f)
                 return Fraction(u * 24 + v * 3) < 0.5f ? Rgba{228, 188, 24} : Rgba{24, 22, 20};
             const float wear = TileFbm(u, v, 4, 4, 3, 101);
             return Shade(Mix(Rgba{150, 26, 20}, Rgba{214, 44, 30}, wear), Unit(Hash(x, y, 103)) * 10 - 5);
         },
         4.0f},
        // Lamp glass and lighthouse light: near white, warm.
        {"luz", [](float, float) { return 1.0f; },
         [](float u, float v, float, int, int) { return Mix(Rgba{255, 214, 140}, Rgba{255, 248, 222}, TileFbm(u, v, 2, 2, 2, 83)); },
         0.0f},
    };
}

void WriteSurface(Output& out, const Surface& s)
{
    Canvas canvas(kSize, kSize);
    std::vector<float> heights(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float u = (x + 0.5f) / kSize, v = (y + 0.5f) / kSize;
            const float h = s.height(u, v);
            heights[y * kSize + x] = h;
            canvas.Put(x, y, s.colour(u, v, h, x, y));
        }
    WriteImage(out, std::string(kTextureFolder) + s.name + ".jpg", canvas);
    if (s.bump > 0)
        WriteImage(out, std::string(kTextureFolder) + s.name + "_normal.tga",
                   NormalMapFromHeights(heights, kSize, s.bump));
}

// Night over the sea: dark overhead, a hazy band at the horizon (the middle
// of the sky box's walls), darker again below it.
Canvas Sky()
{
    Canvas canvas(16, kSize);
    const Rgba top{8, 12, 30}, horizon{74, 84, 112}, below{26, 28, 38};
    for (int y = 0; y < kSize; ++y) {
        const float v = (y + 0.5f) / kSize;
        const Rgba c = v < 0.5f ? Mix(top, horizon, std::pow(v / 0.5f, 2.0f)) : Mix(horizon, below, (v - 0.5f) / 0.5f);
        for (int x = 0; x < 16; ++x)
            canvas.Put(x, y, c);
    }
    return canvas;
}

} // namespace

float TileNoise(float u, float v, int periodU, int periodV, std::uint32_t seed)
{
    const float x = Fraction(u) * periodU, y = Fraction(v) * periodV;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float tx = Smooth(x - x0), ty = Smooth(y - y0);
    auto at = [&](int i, int j) { return Unit(Hash(Wrap(i, periodU), Wrap(j, periodV), seed)); };
    const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * tx;
    const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * tx;
    return top + (bottom - top) * ty;
}

float TileFbm(float u, float v, int periodU, int periodV, int octaves, std::uint32_t seed)
{
    float sum = 0, weight = 0, amplitude = 1;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * TileNoise(u, v, periodU << i, periodV << i, seed + i);
        weight += amplitude;
        amplitude *= 0.5f;
    }
    return weight > 0 ? sum / weight : 0.0f;
}

Canvas NormalMapFromHeights(const std::vector<float>& heights, int size, float strength)
{
    Canvas canvas(size, size);
    auto h = [&](int x, int y) { return heights[Wrap(y, size) * size + Wrap(x, size)]; };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float du = (h(x + 1, y) - h(x - 1, y)) * 0.5f * strength;
            const float dv = (h(x, y + 1) - h(x, y - 1)) * 0.5f * strength;
            const float length = std::sqrt(du * du + dv * dv + 1);
            canvas.Put(x, y,
                       Rgba{Byte((-du / length * 0.5f + 0.5f) * 255 + 0.5f), Byte((-dv / length * 0.5f + 0.5f) * 255 + 0.5f),
                            Byte((1 / length * 0.5f + 0.5f) * 255 + 0.5f), 255});
        }
    return canvas;
}

std::vector<std::string> MeshTextureNames()
{
    std::vector<std::string> names = {"blanco.jpg", "normal_plano.tga", "cielo.jpg"};
    for (const Surface& s : Surfaces()) {
        names.push_back(std::string(s.name) + ".jpg");
        if (s.bump > 0)
            names.push_back(std::string(s.name) + "_normal.tga");
    }
    return names;
}

void GenerateMeshTextures(Output& out)
{
    WriteImage(out, std::string(kTextureFolder) + "blanco.jpg", Canvas(16, 16, Rgba{255, 255, 255, 255}));
    WriteImage(out, std::string(kTextureFolder) + "normal_plano.tga", Canvas(16, 16, Rgba{128, 128, 255, 255}));
    WriteImage(out, std::string(kTextureFolder) + "cielo.jpg", Sky());
    for (const Surface& s : Surfaces())
        WriteSurface(out, s);
}

} // namespace datagen
