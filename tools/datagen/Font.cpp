#include "datagen/Font.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include <stb_truetype.h>

#ifndef VANTOREL_FONT
#define VANTOREL_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif

namespace datagen {

struct Font::Impl {
    std::vector<unsigned char> data;
    stbtt_fontinfo info{};
    int ascent = 0, descent = 0, lineGap = 0;
};

std::u32string DecodeUtf8(const std::string& utf8)
{
    std::u32string out;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        int extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + extra < n; // a sequence cut off by the end of the text
        for (int k = 1; ok && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += extra + 1;
    }
    return out;
}

std::string UpperCase(const std::string& utf8)
{
    std::string out;
    for (char32_t cp : DecodeUtf8(utf8)) {
        if ((cp >= U'a' && cp <= U'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7))
            cp -= 0x20;
        else if (cp == 0xFF)
            cp = 0x178;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string RegularFontPath()
{
    return VANTOREL_FONT;
}

std::string BoldFontPath()
{
    std::string path = VANTOREL_FONT;
    const std::string plain = ".ttf";
    if (path.size() > plain.size() && path.compare(path.size() - plain.size(), plain.size(), plain) == 0)
        path.insert(path.size() - plain.size(), "-Bold");
    return path;
}

Font::Font(const std::string& path) : m_impl(std::make_unique<Impl>())
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("font not found: " + path);
    m_impl->data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    // stb_truetype trusts its input; refuse anything too short to hold a font header.
    const int offset = m_impl->data.size() < 12 ? -1 : stbtt_GetFontOffsetForIndex(m_impl->data.data(), 0);
    if (offset < 0 || !stbtt_InitFont(&m_impl->info, m_impl->data.data(), offset))
        throw std::runtime_error("not a usable font: " + path);
    stbtt_GetFontVMetrics(&m_impl->info, &m_impl->ascent, &m_impl->descent, &m_impl->lineGap);
}

Font::~Font() = default;

const Font& Font::Regular()
{
    static const Font font(RegularFontPath());
    return font;
}

const Font& Font::Bold()
{
    static const Font font(BoldFontPath());
    return font;
}

float Font::Ascent(float pixelHeight) const
{
    return m_impl->ascent * stbtt_ScaleForPixelHeight(&m_impl->info, pixelHeight);
}

float Font::Measure(const std::string& utf8, float pixelHeight) const
{
    const float scale = stbtt_ScaleForPixelHeight(&m_impl->info, pixelHeight);
    const std::u32string text = DecodeUtf8(utf8);
    float width = 0.0f;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int advance = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&m_impl->info, int(text[i]), &advance, &lsb);
        width += advance * scale;
        if (i + 1 < text.size())
            width += stbtt_GetCodepointKernAdvance(&m_impl->info, int(text[i]), int(text[i + 1])) * scale;
    }
    return width;
}

void Font::Draw(Canvas& canvas, const std::string& utf8, float x, float y, float pixelHeight,
                Rgba colour, Align align) const
{
    const float scale = stbtt_ScaleForPixelHeight(&m_impl->info, pixelHeight);
    if (align != Align::Left) {
        const float width = Measure(utf8, pixelHeight);
        x -= align == Align::Center ? width * 0.5f : width;
    }
    const int baseline = int(std::lround(y + m_impl->ascent * scale));
    const std::u32string text = DecodeUtf8(utf8);
    std::vector<unsigned char> glyph;
    float penX = x;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int cp = int(text[i]);
        const float originX = std::floor(penX);
        const float shiftX = penX - originX;
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetCodepointBitmapBoxSubpixel(&m_impl->info, cp, scale, scale, shiftX, 0.0f, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            glyph.assign(static_cast<std::size_t>(w) * h, 0);
            stbtt_MakeCodepointBitmapSubpixel(&m_impl->info, glyph.data(), w, h, w, scale, scale, shiftX, 0.0f, cp);
            for (int gy = 0; gy < h; ++gy)
                for (int gx = 0; gx < w; ++gx) {
                    const unsigned char cov = glyph[static_cast<std::size_t>(gy) * w + gx];
                    if (cov)
                        canvas.Blend(int(originX) + x0 + gx, baseline + y0 + gy, colour, cov / 255.0f);
                }
        }
        int advance = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&m_impl->info, cp, &advance, &lsb);
        penX += advance * scale;
        if (i + 1 < text.size())
            penX += stbtt_GetCodepointKernAdvance(&m_impl->info, cp, int(text[i + 1])) * scale;
    }
}

} // namespace datagen
