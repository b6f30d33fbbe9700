// Internal to the font layer: the device-free half of ID3DXFont. Choosing a
// font file for a Windows face name, decoding the game's strings, glyph
// metrics and bitmaps through stb_truetype, and laying text out in a rectangle
// the way DrawText does. The device half (atlas texture, quads, states) is in
// d3dx9font.cpp.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace fonttext {

// The font file for a face name and weight: DejaVu faces by their name
// ("DejaVu Sans", "DejaVu Sans Mono", "DejaVu Serif", ...), common monospaced
// Windows faces as DejaVu Sans Mono, and anything else ("Arial", "Verdana")
// as DejaVu Sans; the bold file for weights of 600 and more when there is one.
// fontDir is the folder holding the DejaVu files. Empty when not even DejaVu
// Sans is there.
std::string ChooseFontFile(const std::string& faceName, int weight, const std::string& fontDir);
// Whether the face is one ChooseFontFile knows by name (or none at all),
// rather than one it stands DejaVu Sans in for.
bool IsKnownFace(const std::string& faceName);

// The game's text as code points. Valid UTF-8 is decoded; any byte that does
// not start a valid sequence stands for itself in Windows-1252 (the Windows
// game's own single-byte strings), so "\xC9" and "\xC3\x89" are both "É".
// count < 0 reads to the terminating NUL; otherwise count bytes are read,
// stopping early at a NUL.
std::u32string DecodeGameText(const char* text, int count);

// A coverage bitmap of one glyph, placed relative to the pen on the baseline.
struct GlyphBitmap {
    int width = 0, height = 0;
    int offsetX = 0, offsetY = 0; // top-left of the bitmap from the pen position (y down)
    std::vector<unsigned char> coverage; // width * height, row 0 at the top
};

class Face {
public:
    // Loads a TrueType file and sizes it as CreateFont does: a positive height
    // is the cell height (ascent + descent), a negative one the em size, 0 a
    // default of 16 pixels. A width other than 0 stretches the glyphs so the
    // average lower-case letter is that wide. False when the file cannot be read.
    bool Load(const std::string& path, int height, int width);

    int CellHeight() const { return m_CellHeight; } // distance between lines
    int Ascent() const { return m_Ascent; }         // baseline below the line top
    // Horizontal advance in pixels; characters the face lacks use its
    // missing-glyph box.
    float Advance(char32_t c) const;
    GlyphBitmap Rasterize(char32_t c) const;

private:
    struct Data;
    std::shared_ptr<const std::vector<unsigned char>> m_File;
    std::shared_ptr<Data> m_Info;
    float m_ScaleX = 1, m_ScaleY = 1;
    int m_CellHeight = 0, m_Ascent = 0;
};

// DrawText format flags we act on (the values are Windows').
enum : DWORD {
    kAlignCenter = 0x1,
    kAlignRight = 0x2,
    kAlignVCenter = 0x4,
    kAlignBottom = 0x8,
    kWordBreak = 0x10,
    kSingleLine = 0x20,
    kNoClip = 0x100,
    kCalcRect = 0x400,
};

struct PlacedChar {
    char32_t c;
    int penX; // pen position, whole pixels, from the rectangle's coordinate origin
    int baselineY;
};

struct TextLayout {
    std::vector<PlacedChar> chars; // visible characters only (no breaks or spaces needed)
    int width = 0;                 // widest line, in pixels
    int height = 0;                // lines x cell height
    int top = 0;                   // top of the first line after vertical alignment
};

// Lays text out in the rectangle: lines at explicit breaks (CR, LF, CR LF)
// unless single-line, wrapped at spaces when word-breaking (a word wider than
// the rectangle stays whole on its own line), aligned left, centred or right
// and top, centred or bottom, as DrawText does.
TextLayout LayoutText(const std::u32string& text, const Face& face, const RECT& rect, DWORD format);

} // namespace fonttext
} // namespace platform
