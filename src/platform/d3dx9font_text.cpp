#include "platform/d3dx9font_text.h"

#include "platform/files.h"

#include <stb_truetype.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <sys/stat.h>

namespace platform {
namespace fonttext {

namespace {

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Lower(const std::string& s) {
    std::string out;
    for (char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string WithoutSpaces(const std::string& s) {
    std::string out;
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) out += c;
    return out;
}

} // namespace

namespace {

// The file a face is drawn with, by its face name; empty for a face we have
// no file of our own for.
std::string FaceBase(const std::string& faceName) {
    const std::string face = Lower(WithoutSpaces(faceName));
    static const char* const kMonospaced[] = {"couriernew", "courier", "consolas", "lucidaconsole",
                                              "monospace", "fixedsys"};
    for (const char* mono : kMonospaced)
        if (face == mono) return "DejaVuSansMono";
    // Recover the file's capitalisation: "dejavusansmono" -> "DejaVuSansMono".
    static const char* const kFaces[] = {"DejaVuSansMono", "DejaVuSansCondensed", "DejaVuSans",
                                         "DejaVuSerifCondensed", "DejaVuSerif"};
    for (const char* known : kFaces)
        if (face == Lower(known)) return known;
    return {};
}

} // namespace

bool IsKnownFace(const std::string& faceName) {
    return WithoutSpaces(faceName).empty() || !FaceBase(faceName).empty();
}

std::string ChooseFontFile(const std::string& faceName, int weight, const std::string& fontDir) {
    const bool bold = weight >= 600;
    std::string dir = fontDir.empty() || fontDir.back() == '/' ? fontDir : fontDir + "/";
    // DejaVu faces are files named after the face without its spaces.
    std::string base = FaceBase(faceName);
    if (base.empty()) base = "DejaVuSans";
    if (bold && IsFile(dir + base + "-Bold.ttf")) return dir + base + "-Bold.ttf";
    if (IsFile(dir + base + ".ttf")) return dir + base + ".ttf";
    if (bold && IsFile(dir + "DejaVuSans-Bold.ttf")) return dir + "DejaVuSans-Bold.ttf";
    if (IsFile(dir + "DejaVuSans.ttf")) return dir + "DejaVuSans.ttf";
    return {};
}

std::u32string DecodeGameText(const char* text, int count) {
    // Windows-1252's printable characters in 0x80..0x9F; zeros are unassigned.
    static const char32_t kCp1252[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::u32string out;
    if (!text) return out;
    size_t n = 0;
    if (count < 0) {
        while (text[n]) ++n;
    } else {
        while (n < static_cast<size_t>(count) && text[n]) ++n;
    }
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out += static_cast<char32_t>(b);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte for a valid sequence.
        int len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) len = 2;
        else if (b == 0xE0) { len = 3; lo = 0xA0; }
        else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) len = 3;
        else if (b == 0xED) { len = 3; hi = 0x9F; }
        else if (b == 0xF0) { len = 4; lo = 0x90; }
        else if (b >= 0xF1 && b <= 0xF3) len = 4;
        else if (b == 0xF4) { len = 4; hi = 0x8F; }
        bool valid = len > 0 && i + len <= n && s[i + 1] >= lo && s[i + 1] <= hi;
        for (int k = 2; valid && k < len; ++k) valid = s[i + k] >= 0x80 && s[i + k] <= 0xBF;
        if (!valid) {
            char32_t c = b;
            if (b < 0xA0 && kCp1252[b - 0x80]) c = kCp1252[b - 0x80];
            out += c;
            ++i;
            continue;
        }
        char32_t c = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        for (int k = 1; k < len; ++k) c = (c << 6) | (s[i + k] & 0x3F);
        out += c;
        i += len;
    }
    return out;
}

// --- faces -----------------------------------------------------------------------------

struct Face::Data {
    stbtt_fontinfo info;
};

namespace {

// Font files stay loaded once read: a handful of fonts share a few files.
std::shared_ptr<const std::vector<unsigned char>> LoadFontFile(const std::string& path) {
    static std::map<std::string, std::shared_ptr<const std::vector<unsigned char>>> cache;
    auto it = cache.find(path);
    if (it != cache.end()) return it->second;
    auto bytes = std::make_shared<std::vector<unsigned char>>();
    if (!ReadWholeFile(path, *bytes) || bytes->empty()) return nullptr;
    cache[path] = bytes;
    return bytes;
}

} // namespace

bool Face::Load(const std::string& path, int height, int width) {
    auto file = LoadFontFile(path);
    if (!file) return false;
    auto data = std::make_shared<Data>();
    int offset = stbtt_GetFontOffsetForIndex(file->data(), 0);
    if (offset < 0 || !stbtt_InitFont(&data->info, file->data(), offset)) return false;
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&data->info, &ascent, &descent, &gap);
    if (ascent - descent <= 0) return false;
    if (height == 0) height = 16;
    float scale = height > 0 ? stbtt_ScaleForPixelHeight(&data->info, static_cast<float>(height))
                             : stbtt_ScaleForMappingEmToPixels(&data->info, static_cast<float>(-height));
    m_File = file;
    m_Info = data;
    m_ScaleX = m_ScaleY = scale;
    m_CellHeight = height > 0 ? height : static_cast<int>(std::lround((ascent - descent) * scale));
    m_Ascent = static_cast<int>(std::lround(ascent * scale));
    if (width > 0) {
        float sum = 0;
        for (char c = 'a'; c <= 'z'; ++c) sum += Advance(static_cast<char32_t>(c));
        float average = sum / 26.0f;
        if (average > 0) m_ScaleX = scale * static_cast<float>(width) / average;
    }
    return true;
}

float Face::Advance(char32_t c) const {
    if (!m_Info) return 0;
    int glyph = stbtt_FindGlyphIndex(&m_Info->info, static_cast<int>(c));
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&m_Info->info, glyph, &advance, &bearing);
    return advance * m_ScaleX;
}

GlyphBitmap Face::Rasterize(char32_t c) const {
    GlyphBitmap g;
    if (!m_Info) return g;
    int glyph = stbtt_FindGlyphIndex(&m_Info->info, static_cast<int>(c));
    int x0, y0, x1, y1;
    stbtt_GetGlyphBitmapBox(&m_Info->info, glyph, m_ScaleX, m_ScaleY, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0) return g; // a space
    g.width = x1 - x0;
    g.height = y1 - y0;
    g.offsetX = x0;
    g.offsetY = y0;
    g.coverage.assign(static_cast<size_t>(g.width) * g.height, 0);
    stbtt_MakeGlyphBitmap(&m_Info->info, g.coverage.data(), g.width, g.height, g.width, m_ScaleX, m_ScaleY,
                          glyph);
    return g;
}

// --- layout ----------------------------------------------------------------------------

namespace {

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }

// A character that takes space on a line (controls other than tab take none).
bool Takes(char32_t c) { return c >= 0x20 || c == U'\t'; }

float Width(const std::u32string& s, size_t from, size_t to, const Face& face) {
    float w = 0;
    for (size_t i = from; i < to; ++i)
        if (Takes(s[i])) w += face.Advance(IsBlank(s[i]) ? U' ' : s[i]);
    return w;
}

struct Line {
    size_t from, to;
    float width;
};

void WrapParagraph(const std::u32string& s, size_t from, size_t to, const Face& face, int maxWidth,
                   std::vector<Line>& lines) {
    size_t lineFrom = from;
    size_t lineTo = from; // end of the last word placed on the line
    bool lineHasWord = false;
    size_t i = from;
    while (i < to) {
        // Next segment: blanks, then a word.
        size_t wordStart = i;
        while (wordStart < to && IsBlank(s[wordStart])) ++wordStart;
        size_t wordEnd = wordStart;
        while (wordEnd < to && !IsBlank(s[wordEnd])) ++wordEnd;
        if (wordStart == wordEnd) { // trailing blanks stay on the line
            lineTo = to;
            break;
        }
        if (lineHasWord && Width(s, lineFrom, wordEnd, face) > static_cast<float>(maxWidth)) {
            lines.push_back({lineFrom, lineTo, Width(s, lineFrom, lineTo, face)});
            lineFrom = wordStart; // the blanks at the break are dropped
        }
        lineTo = wordEnd;
        lineHasWord = true;
        i = wordEnd;
    }
    lines.push_back({lineFrom, lineTo, Width(s, lineFrom, lineTo, face)});
}

} // namespace

TextLayout LayoutText(const std::u32string& text, const Face& face, const RECT& rect, DWORD format) {
    TextLayout out;
    const int boxWidth = std::max<LONG>(0, rect.right - rect.left);
    const int boxHeight = rect.bottom - rect.top;

    std::u32string s;
    if (format & kSingleLine) {
        for (char32_t c : text)
            if (c != U'\r' && c != U'\n') s += c;
    } else {
        s = text;
    }

    std::vector<Line> lines;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        bool end = i == s.size();
        if (!end && s[i] != U'\r' && s[i] != U'\n') continue;
        if (format & kWordBreak)
            WrapParagraph(s, start, i, face, boxWidth, lines);
        else
            lines.push_back({start, i, Width(s, start, i, face)});
        if (!end && s[i] == U'\r' && i + 1 < s.size() && s[i + 1] == U'\n') ++i;
        start = i + 1;
    }

    const int cell = face.CellHeight();
    out.height = static_cast<int>(lines.size()) * cell;
    for (const Line& l : lines) out.width = std::max(out.width, static_cast<int>(std::ceil(l.width - 1e-3f)));

    int top = rect.top;
    if (format & kAlignVCenter) top = rect.top + (boxHeight - out.height) / 2;
    else if (format & kAlignBottom) top = rect.bottom - out.height;
    out.top = top;

    for (size_t n = 0; n < lines.size(); ++n) {
        const Line& l = lines[n];
        int lineWidth = static_cast<int>(std::ceil(l.width - 1e-3f));
        int x = rect.left;
        if (format & kAlignCenter) x = rect.left + (boxWidth - lineWidth) / 2;
        else if (format & kAlignRight) x = rect.right - lineWidth;
        int baseline = top + static_cast<int>(n) * cell + face.Ascent();
        float pen = 0;
        for (size_t i = l.from; i < l.to; ++i) {
            char32_t c = s[i];
            if (!Takes(c)) continue;
            if (!IsBlank(c)) out.chars.push_back({c, x + static_cast<int>(std::lround(pen)), baseline});
            pen += face.Advance(IsBlank(c) ? U' ' : c);
        }
    }
    return out;
}

} // namespace fonttext
} // namespace platform
