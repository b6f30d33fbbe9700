#include "datagen/Canvas.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace datagen {

namespace {

std::uint8_t ToByte(float v)
{
    // Round half up; v is clamped first, so the cast cannot overflow.
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f);
}

} // namespace

Rgba Mix(Rgba a, Rgba b, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    auto lerp = [t](std::uint8_t x, std::uint8_t y) { return ToByte(x + (float(y) - float(x)) * t); };
    return Rgba{lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b), lerp(a.a, b.a)};
}

Rgba WithAlpha(Rgba c, std::uint8_t alpha)
{
    c.a = alpha;
    return c;
}

Canvas::Canvas(int width, int height, Rgba fill) : m_width(width), m_height(height)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        throw std::invalid_argument("canvas size out of range");
    m_pixels.resize(static_cast<std::size_t>(width) * height * 4);
    Fill(fill);
}

Rgba Canvas::Get(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return Rgba{0, 0, 0, 0};
    const std::uint8_t* p = &m_pixels[(static_cast<std::size_t>(y) * m_width + x) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
}

void Canvas::Put(int x, int y, Rgba c)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    std::uint8_t* p = &m_pixels[(static_cast<std::size_t>(y) * m_width + x) * 4];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = c.a;
}

void Canvas::Blend(int x, int y, Rgba c, float coverage)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    if (c.a == 255 && coverage >= 1.0f) {
        Put(x, y, c);
        return;
    }
    const float sa = c.a / 255.0f * std::clamp(coverage, 0.0f, 1.0f);
    if (sa <= 0.0f)
        return;
    const Rgba d = Get(x, y);
    const float da = d.a / 255.0f;
    const float oa = sa + da * (1.0f - sa);
    auto channel = [&](std::uint8_t s, std::uint8_t dst) {
        return ToByte((s * sa + dst * da * (1.0f - sa)) / oa);
    };
    Put(x, y, Rgba{channel(c.r, d.r), channel(c.g, d.g), channel(c.b, d.b), ToByte(oa * 255.0f)});
}

void Canvas::Fill(Rgba c)
{
    for (std::size_t i = 0; i < m_pixels.size(); i += 4) {
        m_pixels[i] = c.r;
        m_pixels[i + 1] = c.g;
        m_pixels[i + 2] = c.b;
        m_pixels[i + 3] = c.a;
    }
}

void Canvas::FillRect(int x, int y, int w, int h, Rgba c)
{
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + w, m_width), y1 = std::min(y + h, m_height);
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px)
            Blend(px, py, c);
}

void Canvas::StrokeRect(int x, int y, int w, int h, int thickness, Rgba c)
{
    thickness = std::min({thickness, w / 2 + 1, h / 2 + 1});
    if (thickness <= 0)
        return;
    FillRect(x, y, w, thickness, c);
    FillRect(x, y + h - thickness, w, thickness, c);
    FillRect(x, y + thickness, thickness, h - 2 * thickness, c);
    FillRect(x + w - thickness, y + thickness, thickness, h - 2 * thickness, c);
}

void Canvas::VerticalGradient(int x, int y, int w, int h, Rgba top, Rgba bottom)
{
    const int x0 = std::max(x, 0), x1 = std::min(x + w, m_width);
    for (int py = std::max(y, 0); py < std::min(y + h, m_height); ++py) {
        const Rgba c = Mix(top, bottom, h > 1 ? float(py - y) / float(h - 1) : 0.0f);
        std::uint8_t* p = &m_pixels[(static_cast<std::size_t>(py) * m_width + x0) * 4];
        for (int px = x0; px < x1; ++px, p += 4) {
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
            p[3] = c.a;
        }
    }
}

void Canvas::HorizontalGradient(int x, int y, int w, int h, Rgba left, Rgba right)
{
    for (int px = std::max(x, 0); px < std::min(x + w, m_width); ++px) {
        const Rgba c = Mix(left, right, w > 1 ? float(px - x) / float(w - 1) : 0.0f);
        for (int py = std::max(y, 0); py < std::min(y + h, m_height); ++py)
            Put(px, py, c);
    }
}

void Canvas::Vignette(float strength)
{
    const float cx = (m_width - 1) * 0.5f, cy = (m_height - 1) * 0.5f;
    const float maxDist2 = cx * cx + cy * cy;
    if (maxDist2 <= 0.0f)
        return;
    const float k2 = std::clamp(strength, 0.0f, 1.0f) / maxDist2;
    std::uint8_t* p = m_pixels.data();
    for (int y = 0; y < m_height; ++y) {
        const float dy2 = (y - cy) * (y - cy);
        for (int x = 0; x < m_width; ++x, p += 4) {
            // k stays within [0, 1], so the products need no clamping.
            const float k = 1.0f - k2 * ((x - cx) * (x - cx) + dy2);
            p[0] = std::uint8_t(p[0] * k + 0.5f);
            p[1] = std::uint8_t(p[1] * k + 0.5f);
            p[2] = std::uint8_t(p[2] * k + 0.5f);
        }
    }
}

void Canvas::FillShape(float x0, float y0, float x1, float y1,
                       const std::function<bool(float, float)>& inside, Rgba c)
{
    FillShapeImpl(x0, y0, x1, y1, inside, c, false);
}

void Canvas::FillShapeImpl(float x0, float y0, float x1, float y1,
                           const std::function<bool(float, float)>& inside, Rgba c, bool convex)
{
    const int px0 = std::max(0, int(std::floor(x0)));
    const int py0 = std::max(0, int(std::floor(y0)));
    const int px1 = std::min(m_width, int(std::ceil(x1)) + 1);
    const int py1 = std::min(m_height, int(std::ceil(y1)) + 1);
    constexpr int kSub = 4;
    auto sampled = [&](int px, int py) {
        int hits = 0;
        for (int sy = 0; sy < kSub; ++sy)
            for (int sx = 0; sx < kSub; ++sx)
                if (inside(px + (sx + 0.5f) / kSub, py + (sy + 0.5f) / kSub))
                    ++hits;
        if (hits)
            Blend(px, py, c, float(hits) / (kSub * kSub));
    };
    if (!convex) {
        for (int py = py0; py < py1; ++py)
            for (int px = px0; px < px1; ++px)
                sampled(px, py);
        return;
    }
    // A convex shape holding the four corners of two pixels of a row holds
    // every pixel between them: only the pixels at the ends of each row need
    // the samples.
    auto whole = [&](int px, int py) {
        return inside(float(px), float(py)) && inside(px + 1.0f, float(py)) && inside(float(px), py + 1.0f) &&
               inside(px + 1.0f, py + 1.0f);
    };
    for (int py = py0; py < py1; ++py) {
        int left = px0;
        while (left < px1 && !whole(left, py))
            sampled(left++, py);
        if (left == px1)
            continue;
        int right = px1 - 1;
        while (right > left && !whole(right, py))
            sampled(right--, py);
        for (int px = left; px <= right; ++px)
            Blend(px, py, c);
    }
}

void Canvas::FillEllipse(float cx, float cy, float rx, float ry, Rgba c)
{
    if (rx <= 0.0f || ry <= 0.0f)
        return;
    FillShapeImpl(cx - rx, cy - ry, cx + rx, cy + ry,
                  [=](float x, float y) {
                      const float dx = (x - cx) / rx, dy = (y - cy) / ry;
                      return dx * dx + dy * dy <= 1.0f;
                  },
                  c, true);
}

void Canvas::FillRoundedRect(float x, float y, float w, float h, float radius, Rgba c)
{
    if (w <= 0.0f || h <= 0.0f)
        return;
    const float r = std::clamp(radius, 0.0f, std::min(w, h) * 0.5f);
    FillShapeImpl(x, y, x + w, y + h,
                  [=](float px, float py) {
                      if (px < x || py < y || px > x + w || py > y + h)
                          return false;
                      // Distance from the inner rectangle decides the corners.
                      const float dx = std::max(std::max(x + r - px, px - (x + w - r)), 0.0f);
                      const float dy = std::max(std::max(y + r - py, py - (y + h - r)), 0.0f);
                      return dx * dx + dy * dy <= r * r;
                  },
                  c, true);
}

std::vector<std::uint8_t> Canvas::RgbPixels() const
{
    const std::size_t count = static_cast<std::size_t>(m_width) * m_height;
    std::vector<std::uint8_t> rgb(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        rgb[i * 3] = m_pixels[i * 4];
        rgb[i * 3 + 1] = m_pixels[i * 4 + 1];
        rgb[i * 3 + 2] = m_pixels[i * 4 + 2];
    }
    return rgb;
}

} // namespace datagen
