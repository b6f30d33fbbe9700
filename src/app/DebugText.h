#pragma once

#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9core.h"

// Diagnostic lines shown in the top-left corner: anything may add lines
// during a frame, the frame's end draws them (white, with a black copy one
// pixel right and down so they read on any background) and empties the queue.
class CDebugText {
public:
    // Lines kept while nothing draws them (the draw switch may be off for a
    // long time); the oldest go first.
    static constexpr size_t kMaxLines = 256;

    CDebugText() = default;
    ~CDebugText() { Release(); }
    CDebugText(const CDebugText&) = delete;
    CDebugText& operator=(const CDebugText&) = delete;

    // Creates the bold font of the given height and face. A failure leaves the
    // object without a font: lines are then dropped at each draw, unseen.
    void Init(IDirect3DDevice9* device, int height, std::string faceName);
    void AddLine(std::string text);
    // Line i goes at y = trunc(1.1 * height * i) + 15, x = 20.
    void Draw();
    // Frees the font and the queued lines.
    void Release();

    const std::vector<std::string>& GetLines() const { return m_Lines; }

private:
    void DrawLine(const std::string& text, LONG left, LONG top, D3DCOLOR colour);

    std::vector<std::string> m_Lines;
    D3DCOLOR m_TextColour = 0xFFFFFFFF;
    D3DCOLOR m_ShadowColour = 0xFF000000;
    int m_FontHeight = 0;
    ID3DXFont* m_Font = nullptr;
};

CDebugText& getDebugText();

// The value as a stream writes it by default: six significant digits, plain
// or exponent notation, whichever is shorter ("0.1", "1.23457e+06").
std::string FloatToString(double value);
