#include "datagen/CompositeTextures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "datagen/ImageFile.h"
#include "datagen/MeshTextures.h"

namespace datagen {

namespace {

constexpr int kOverlaySize = 256;
constexpr int kPatternSize = 128;
constexpr float kPi = 3.14159265f;
const Rgba kClear{0, 0, 0, 0};

std::uint32_t Hash(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t h = a * 2654435761u ^ (b + 0x9E3779B9u + (a << 6) + (a >> 2));
    h = (h ^ (h >> 15)) * 2246822519u;
    h = (h ^ (h >> 13)) * 3266489917u;
    return h ^ (h >> 16);
}

// A repeatable value in [0, 1) for the i-th draw of a seed.
float Draw(std::uint32_t seed, std::uint32_t i)
{
    return static_cast<float>(Hash(seed, i) >> 8) / 16777216.0f;
}

std::uint8_t Byte(float v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
}

void PutLE32(Bytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Blood red, darker where the noise is low.
Rgba Blood(float shade)
{
    return Rgba{Byte(0.38f + 0.3f * shade), Byte(0.01f + 0.03f * shade), Byte(0.01f + 0.02f * shade), 255};
}

// The frame of a hurt hero: opaque at the border, clear from a fifth of the
// screen inwards, ragged by noise.
Canvas HurtFrame()
{
    Canvas canvas(kOverlaySize, kOverlaySize, kClear);
    for (int y = 0; y < kOverlaySize; ++y) {
        for (int x = 0; x < kOverlaySize; ++x) {
            const float u = (x + 0.5f) / kOverlaySize, v = (y + 0.5f) / kOverlaySize;
            const float edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
            const float n = TileFbm(u, v, 8, 8, 4, 301);
            const float reach = 0.12f + 0.1f * n;
            if (edge >= reach)
                continue;
            const float a = std::pow(1.0f - edge / reach, 1.4f);
            Rgba c = Blood(n);
            c.a = Byte(a * (0.75f + 0.25f * n));
            canvas.Put(x, y, c);
        }
    }
    return canvas;
}

// Drops of blood scattered over the border band; later stages have more.
Canvas Drops(int stage)
{
    Canvas canvas(kOverlaySize, kOverlaySize, kClear);
    const std::uint32_t seed = 500u + static_cast<std::uint32_t>(stage);
    const int count = 8 + 6 * stage;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t k = static_cast<std::uint32_t>(i) * 4u;
        // A point in the band within a fifth of the screen from one of the edges.
        const float along = 0.05f + 0.9f * Draw(seed, k);
        const float depth = 0.02f + 0.16f * Draw(seed, k + 1);
        float u = along, v = depth;
        switch (Hash(seed, k + 2) % 4) {
        case 0: u = along; v = depth; break;
        case 1: u = along; v = 1 - depth; break;
        case 2: u = depth; v = along; break;
        default: u = 1 - depth; v = along; break;
        }
        const float radius = (0.015f + 0.03f * Draw(seed, k + 3)) * kOverlaySize;
        Rgba c = Blood(0.4f + 0.6f * Draw(seed, k + 3));
        c.a = 220;
        canvas.FillEllipse(u * kOverlaySize, v * kOverlaySize, radius, radius * 1.3f, c);
        // A run below the drop.
        canvas.FillEllipse(u * kOverlaySize, v * kOverlaySize + radius * 1.6f, radius * 0.3f, radius * 1.2f, c);
    }
    return canvas;
}

// A splash on one edge: 0 top, 1 bottom, 2 left, 3 right.
Canvas Splash(int side)
{
    Canvas canvas(kOverlaySize, kOverlaySize, kClear);
    for (int y = 0; y < kOverlaySize; ++y) {
        for (int x = 0; x < kOverlaySize; ++x) {
            const float u = (x + 0.5f) / kOverlaySize, v = (y + 0.5f) / kOverlaySize;
            float depth = v, along = u;
            if (side == 1)
                depth = 1 - v;
            else if (side == 2)
                depth = u, along = v;
            else if (side == 3)
                depth = 1 - u, along = v;
            const float n = TileFbm(u, v, 8, 8, 3, 401 + side);
            const float reach = 0.2f + 0.12f * n;
            if (depth >= reach)
                continue;
            const float a = std::pow(1.0f - depth / reach, 1.2f) * std::sin(kPi * along);
            Rgba c = Blood(n);
            c.a = Byte(a);
            canvas.Put(x, y, c);
        }
    }
    return canvas;
}

// Falling streaks on black, repeating in both directions.
Canvas Rain()
{
    Canvas canvas(kPatternSize, kPatternSize, Rgba{0, 0, 0, 255});
    for (int i = 0; i < 70; ++i) {
        const std::uint32_t k = static_cast<std::uint32_t>(i) * 4u;
        const int x0 = static_cast<int>(Draw(700, k) * kPatternSize);
        const int y0 = static_cast<int>(Draw(700, k + 1) * kPatternSize);
        const int length = 8 + static_cast<int>(Draw(700, k + 2) * 24);
        const float brightness = 0.45f + 0.55f * Draw(700, k + 3);
        for (int s = 0; s < length; ++s) {
            const int x = (x0 + s / 6) % kPatternSize;
            const int y = (y0 + s) % kPatternSize;
            const float fade = brightness * (0.4f + 0.6f * s / static_cast<float>(length));
            const Rgba old = canvas.Get(x, y);
            const std::uint8_t b = std::max(old.r, Byte(fade));
            canvas.Put(x, y, Rgba{b, b, b, 255});
        }
    }
    return canvas;
}

// Film grain around mid grey, with a few light scratches and dark specks.
Canvas Grain()
{
    Canvas canvas(kPatternSize, kPatternSize, Rgba{128, 128, 128, 255});
    for (int y = 0; y < kPatternSize; ++y) {
        for (int x = 0; x < kPatternSize; ++x) {
            const float g = 0.5f + 0.35f * (Draw(800, static_cast<std::uint32_t>(y * kPatternSize + x)) - 0.5f);
            const std::uint8_t b = Byte(g);
            canvas.Put(x, y, Rgba{b, b, b, 255});
        }
    }
    for (int i = 0; i < 5; ++i) {
        const int x = static_cast<int>(Draw(801, static_cast<std::uint32_t>(i)) * kPatternSize);
        for (int y = 0; y < kPatternSize; ++y) {
            const std::uint8_t b = Byte(0.75f + 0.2f * Draw(802, static_cast<std::uint32_t>(i * kPatternSize + y)));
            canvas.Put(x, y, Rgba{b, b, b, 255});
        }
    }
    for (int i = 0; i < 30; ++i) {
        const float x = Draw(803, static_cast<std::uint32_t>(i) * 2) * kPatternSize;
        const float y = Draw(803, static_cast<std::uint32_t>(i) * 2 + 1) * kPatternSize;
        canvas.FillEllipse(x, y, 1.2f, 1.2f, Rgba{40, 40, 40, 255});
    }
    return canvas;
}

struct Overlay {
    const char* name;
    Canvas (*paint)();
};

Canvas Drops1() { return Drops(1); }
Canvas Drops2() { return Drops(2); }
Canvas Drops3() { return Drops(3); }
Canvas SplashTop() { return Splash(0); }
Canvas SplashBottom() { return Splash(1); }
Canvas SplashLeft() { return Splash(2); }
Canvas SplashRight() { return Splash(3); }
// Weapons lying about get a bright, warm light instead of their baked one, so
// they catch the eye wherever they lie.
Canvas WeaponLight() { return Canvas(16, 16, Rgba{255, 248, 228, 255}); }

const Overlay kOverlays[] = {
    {"rainTest.tga", Rain},
    {"Noise/GrainScratchNoise.tga", Grain},
    {"GUI/damage1.dds", Drops1},
    {"GUI/damage2.dds", Drops2},
    {"GUI/damage3.dds", Drops3},
    {"sangre_GUI.tga", HurtFrame},
    {"GUI/sangre_arriba.tga", SplashTop},
    {"GUI/sangre_abajo.tga", SplashBottom},
    {"GUI/sangre_izq.tga", SplashLeft},
    {"GUI/sangre_der.tga", SplashRight},
    {"blanco_armas.dds", WeaponLight},
};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

Bytes EncodeDds(const Canvas& canvas)
{
    const std::uint32_t width = static_cast<std::uint32_t>(canvas.Width());
    const std::uint32_t height = static_cast<std::uint32_t>(canvas.Height());
    Bytes bytes = {'D', 'D', 'S', ' '};
    PutLE32(bytes, 124);                          // header size
    PutLE32(bytes, 0x1u | 0x2u | 0x4u | 0x8u | 0x1000u); // caps, height, width, pitch, pixel format
    PutLE32(bytes, height);
    PutLE32(bytes, width);
    PutLE32(bytes, width * 4);                    // pitch
    PutLE32(bytes, 0);                            // depth
    PutLE32(bytes, 1);                            // mip levels
    for (int i = 0; i < 11; ++i)
        PutLE32(bytes, 0);
    PutLE32(bytes, 32);                           // pixel format size
    PutLE32(bytes, 0x1u | 0x40u);                 // alpha pixels, RGB
    PutLE32(bytes, 0);                            // no four-character code
    PutLE32(bytes, 32);
    PutLE32(bytes, 0x00FF0000u);
    PutLE32(bytes, 0x0000FF00u);
    PutLE32(bytes, 0x000000FFu);
    PutLE32(bytes, 0xFF000000u);
    PutLE32(bytes, 0x1000u);                      // a texture
    for (int i = 0; i < 4; ++i)
        PutLE32(bytes, 0);
    const std::vector<std::uint8_t>& rgba = canvas.Pixels();
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        bytes.push_back(rgba[i + 2]);
        bytes.push_back(rgba[i + 1]);
        bytes.push_back(rgba[i]);
        bytes.push_back(rgba[i + 3]);
    }
    return bytes;
}

std::vector<std::string> CompositeTextureNames()
{
    std::vector<std::string> names;
    for (const Overlay& overlay : kOverlays)
        names.push_back(overlay.name);
    return names;
}

void GenerateCompositeTextures(Output& out)
{
    for (const Overlay& overlay : kOverlays) {
        const std::string path = std::string(kTextureFolder) + overlay.name;
        const Canvas canvas = overlay.paint();
        if (EndsWith(path, ".dds"))
            out.Write(path, EncodeDds(canvas));
        else
            WriteImage(out, path, canvas);
    }
}

} // namespace datagen
