#pragma once
// TrueType text on a Canvas through stb_truetype. Text is UTF-8, so the
// Spanish screens can carry their accents.
#include <memory>
#include <string>

#include "datagen/Canvas.h"

namespace datagen {

enum class Align { Left, Center, Right };

class Font {
public:
    // Reads a .ttf file; throws std::runtime_error when it is missing or not a font.
    explicit Font(const std::string& path);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The DejaVu faces the game's screens use, loaded once per process.
    static const Font& Regular();
    static const Font& Bold();

    // Advance width of the text in pixels at the given pixel height.
    float Measure(const std::string& utf8, float pixelHeight) const;
    // Distance from the top of a line to its baseline.
    float Ascent(float pixelHeight) const;

    // Draws one line; y is the top of the line, x is where the alignment
    // anchors it (left edge, centre or right edge).
    void Draw(Canvas& canvas, const std::string& utf8, float x, float y, float pixelHeight,
              Rgba colour, Align align = Align::Left) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Codepoints of a UTF-8 string; a malformed byte becomes U+FFFD.
std::u32string DecodeUtf8(const std::string& utf8);
// The text in capitals, accented letters too ("Tendré" gives "TENDRÉ"): the
// Spanish and Latin-1 letters; other characters stay as they are.
std::string UpperCase(const std::string& utf8);

// Paths of the two faces: beside the font the game itself uses.
std::string RegularFontPath();
std::string BoldFontPath();

} // namespace datagen
