#include "datagen/ParticleTextures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "datagen/Canvas.h"
#include "datagen/ImageFile.h"

namespace datagen {

namespace {

constexpr int kFrame = 64;

std::uint8_t Byte(float v) { return static_cast<std::uint8_t>(std::max(0.0f, std::min(255.0f, v))); }

// A round sprite of one colour whose alpha falls from the centre outwards;
// `shape` bends the fall (higher is a harder edge), `wobble` roughens it.
void Blob(Canvas& canvas, int frameX, float cx, float cy, float radius, Rgba colour, float shape, float wobble = 0.0f,
          int seed = 0)
{
    for (int y = 0; y < kFrame; ++y) {
        for (int x = 0; x < kFrame; ++x) {
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            const float angle = std::atan2(dy, dx);
            const float edge = radius * (1.0f + wobble * std::sin(angle * 5.0f + seed) * std::cos(angle * 3.0f - seed));
            const float d = std::sqrt(dx * dx + dy * dy) / edge;
            if (d >= 1.0f)
                continue;
            const float a = std::pow(1.0f - d, 1.0f / shape);
            canvas.Blend(frameX * kFrame + x, y, WithAlpha(colour, Byte(255.0f * a * colour.a / 255.0f)));
        }
    }
}

Canvas Frames(int count) { return Canvas(kFrame * count, kFrame, Rgba{0, 0, 0, 0}); }

Canvas Flash()
{
    Canvas c = Frames(1);
    Blob(c, 0, 32, 32, 30, Rgba{255, 230, 160, 255}, 0.6f, 0.35f, 1);
    Blob(c, 0, 32, 32, 12, Rgba{255, 255, 240, 255}, 1.5f);
    return c;
}

Canvas Spark()
{
    Canvas c = Frames(1);
    Blob(c, 0, 32, 32, 10, Rgba{255, 255, 255, 255}, 2.0f);
    Blob(c, 0, 32, 32, 26, Rgba{255, 220, 150, 160}, 0.5f);
    return c;
}

Canvas Puff(Rgba colour, float wobble, int seed)
{
    Canvas c = Frames(1);
    Blob(c, 0, 32, 32, 30, colour, 0.8f, wobble, seed);
    return c;
}

Canvas Strip(int count, Rgba outer, Rgba inner, float wobble)
{
    Canvas c = Frames(count);
    for (int f = 0; f < count; ++f) {
        Blob(c, f, 32, 34 - f, 28.0f - 2.0f * f, outer, 0.7f, wobble, f * 3 + 1);
        Blob(c, f, 32, 38 - f, 14.0f + f, inner, 1.2f, wobble * 0.5f, f * 5 + 2);
    }
    return c;
}

Canvas Mosquitoes()
{
    Canvas c = Frames(2);
    const float dots[][2] = {{14, 20}, {40, 12}, {28, 44}, {50, 38}, {20, 54}, {46, 56}};
    for (int f = 0; f < 2; ++f)
        for (const auto& d : dots)
            Blob(c, f, d[0] + 3.0f * f, d[1] - 2.0f * f, 3.0f, Rgba{10, 10, 10, 255}, 2.0f);
    return c;
}

Canvas Decal(Rgba colour, float radius, float wobble, int seed, Rgba core)
{
    Canvas c = Frames(1);
    Blob(c, 0, 32, 32, radius, colour, 1.5f, wobble, seed);
    Blob(c, 0, 32, 32, radius * 0.35f, core, 2.0f);
    return c;
}

// A marker: a ring in the colour with a sign inside drawn by `sign`.
Canvas Marker(Rgba colour, const std::function<void(Canvas&)>& sign)
{
    Canvas c = Frames(1);
    c.FillEllipse(32, 32, 30, 30, Rgba{20, 20, 20, 200});
    c.FillEllipse(32, 32, 26, 26, colour);
    sign(c);
    return c;
}

const Rgba kInk{20, 20, 20, 255};

std::vector<std::pair<std::string, Canvas>> Sprites()
{
    return {
        {"destello.png", Flash()},
        {"chispa.png", Spark()},
        {"sangre.png", Puff(Rgba{200, 20, 20, 255}, 0.3f, 4)},
        {"agua.png", Puff(Rgba{235, 245, 255, 220}, 0.4f, 7)},
        {"humo.png", Puff(Rgba{255, 255, 255, 255}, 0.2f, 2)},
        {"explosion.png", Strip(4, Rgba{255, 140, 40, 230}, Rgba{255, 240, 180, 255}, 0.3f)},
        {"fuego.png", Strip(4, Rgba{255, 110, 20, 220}, Rgba{255, 230, 120, 255}, 0.45f)},
        {"mosquito.png", Mosquitoes()},
        {"sangre_suelo.png", Decal(Rgba{150, 10, 10, 230}, 28, 0.35f, 9, Rgba{90, 4, 4, 255})},
        {"agujero.png", Decal(Rgba{40, 36, 32, 200}, 20, 0.2f, 3, Rgba{5, 5, 5, 255})},
        {"quemado.png", Decal(Rgba{25, 22, 20, 200}, 30, 0.4f, 6, Rgba{10, 8, 8, 230})},
        {"aviso_gun.png", Marker(Rgba{250, 210, 60, 255}, [](Canvas& c) { c.FillRect(18, 24, 26, 8, kInk); c.FillRect(36, 30, 8, 14, kInk); })},
        {"aviso_thompson.png", Marker(Rgba{250, 210, 60, 255}, [](Canvas& c) { c.FillRect(12, 26, 40, 7, kInk); c.FillRect(26, 33, 7, 14, kInk); c.FillRect(40, 33, 6, 10, kInk); })},
        {"aviso_shotgun.png", Marker(Rgba{250, 210, 60, 255}, [](Canvas& c) { c.FillRect(10, 27, 44, 5, kInk); c.FillRect(10, 32, 44, 4, kInk); c.FillRect(44, 36, 8, 10, kInk); })},
        {"aviso_radio.png", Marker(Rgba{120, 200, 255, 255}, [](Canvas& c) { c.FillRect(20, 26, 24, 18, kInk); c.FillRect(38, 14, 3, 12, kInk); })},
        {"aviso_enemigo.png", Marker(Rgba{235, 50, 40, 255}, [](Canvas& c) { c.FillRect(29, 14, 6, 24, kInk); c.FillRect(29, 43, 6, 6, kInk); })},
    };
}

} // namespace

std::vector<std::string> ParticleTextureNames()
{
    std::vector<std::string> names;
    for (const auto& sprite : Sprites())
        names.push_back("particles/" + sprite.first);
    return names;
}

void GenerateParticleTextures(Output& out)
{
    for (const auto& sprite : Sprites())
        WriteImage(out, std::string(kTextureFolder) + "particles/" + sprite.first, sprite.second);
}

} // namespace datagen
