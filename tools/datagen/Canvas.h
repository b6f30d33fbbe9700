#pragma once
// An RGBA picture in memory, top row first, with the few drawing operations
// the generated screens and textures need. Shapes are anti-aliased by 4x4
// supersampling, which keeps the result identical from run to run.
#include <cstdint>
#include <functional>
#include <vector>

namespace datagen {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

inline bool operator==(Rgba x, Rgba y) { return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a; }
inline bool operator!=(Rgba x, Rgba y) { return !(x == y); }

// Linear mix: t = 0 gives a, t = 1 gives b (t is clamped).
Rgba Mix(Rgba a, Rgba b, float t);
// The same colour with another alpha.
Rgba WithAlpha(Rgba c, std::uint8_t alpha);

class Canvas {
public:
    Canvas(int width, int height, Rgba fill = Rgba{});

    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // Reads outside the canvas return transparent black; writes there are dropped.
    Rgba Get(int x, int y) const;
    void Put(int x, int y, Rgba c);
    // Source-over compositing of c, its alpha scaled by coverage (0..1).
    void Blend(int x, int y, Rgba c, float coverage = 1.0f);

    void Fill(Rgba c);
    void FillRect(int x, int y, int w, int h, Rgba c);
    void StrokeRect(int x, int y, int w, int h, int thickness, Rgba c);
    // Gradients replace the pixels of the rectangle (they are backgrounds).
    void VerticalGradient(int x, int y, int w, int h, Rgba top, Rgba bottom);
    void HorizontalGradient(int x, int y, int w, int h, Rgba left, Rgba right);
    // Darkens towards the corners; strength 0 leaves the picture as it is,
    // 1 makes the far corners black.
    void Vignette(float strength);

    void FillEllipse(float cx, float cy, float rx, float ry, Rgba c);
    void FillRoundedRect(float x, float y, float w, float h, float radius, Rgba c);
    // Any shape given by an inside test over a pixel-space bounding box.
    void FillShape(float x0, float y0, float x1, float y1,
                   const std::function<bool(float, float)>& inside, Rgba c);

    const std::vector<std::uint8_t>& Pixels() const { return m_pixels; }
    // Pixels without alpha, for formats that have none.
    std::vector<std::uint8_t> RgbPixels() const;

private:
    void FillShapeImpl(float x0, float y0, float x1, float y1,
                       const std::function<bool(float, float)>& inside, Rgba c, bool convex);

    int m_width;
    int m_height;
    std::vector<std::uint8_t> m_pixels;
};

} // namespace datagen
