// Our D3DX fonts: ID3DXFont over stb_truetype and the DejaVu faces.
//
// D3DXCreateFontA picks a font file by face name (DejaVu faces by their names,
// monospaced Windows faces as DejaVu Sans Mono, any other face as DejaVu
// Sans) and weight (600 and more: the bold file). The height is D3DX's: a
// positive height is the cell height in pixels (lines are that far apart), a
// negative one the character (em) height.
//
// DrawTextA draws through the device (a glyph atlas texture and pre-transformed
// quads, blended over what is there), so it works into render targets as well
// as into the back buffer; every device state it changes is put back. Text is
// UTF-8; bytes that are not valid UTF-8 read as Windows-1252, so the game's
// single-byte strings ("\xC9", "\xBA") show as written.
#pragma once

#include "platform/d3d9.h"

struct ID3DXSprite; // never created here: DrawTextA draws on its own when given null
typedef ID3DXSprite* LPD3DXSPRITE;

// CreateFont arguments (only the face, height, width, weight and italic matter).
enum : DWORD {
    FW_DONTCARE = 0,
    FW_THIN = 100,
    FW_LIGHT = 300,
    FW_NORMAL = 400,
    FW_MEDIUM = 500,
    FW_SEMIBOLD = 600,
    FW_BOLD = 700,
    FW_HEAVY = 900,
};
enum : DWORD {
    ANSI_CHARSET = 0,
    DEFAULT_CHARSET = 1,
    OUT_DEFAULT_PRECIS = 0,
    OUT_TT_PRECIS = 4,
    DEFAULT_QUALITY = 0,
    NONANTIALIASED_QUALITY = 3,
    ANTIALIASED_QUALITY = 4,
    CLEARTYPE_QUALITY = 5,
    DEFAULT_PITCH = 0,
    FIXED_PITCH = 1,
    VARIABLE_PITCH = 2,
    FF_DONTCARE = 0x00,
    FF_ROMAN = 0x10,
    FF_SWISS = 0x20,
    FF_MODERN = 0x30,
};

// DrawText formats. DT_VCENTER and DT_BOTTOM place the whole block of lines,
// whether or not DT_SINGLELINE is given.
enum : DWORD {
    DT_TOP = 0x0,
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_EXPANDTABS = 0x40,
    DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
};

struct D3DXFONT_DESCA {
    INT Height;
    UINT Width;
    UINT Weight;
    UINT MipLevels;
    BOOL Italic;
    BYTE CharSet;
    BYTE OutputPrecision;
    BYTE Quality;
    BYTE PitchAndFamily;
    char FaceName[32];
};

struct ID3DXFont : public IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
    // Draws count bytes of text (-1: up to the NUL) in the rectangle with the
    // DT_ format and colour, clipped to the rectangle unless DT_NOCLIP. Returns
    // the height of the text (with DT_VCENTER or DT_BOTTOM, the distance from
    // the rectangle's top to the text's bottom), 0 when nothing could be laid
    // out. DT_CALCRECT draws nothing: it sets the rectangle's right and bottom
    // to bound the text (wrapping at the given width with DT_WORDBREAK). A null
    // rectangle draws from (0, 0) unclipped.
    virtual INT DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, RECT* rect, DWORD format,
                          D3DCOLOR color) = 0;
    // Rasterises the glyphs of the text ahead of drawing.
    virtual HRESULT PreloadTextA(LPCSTR text, INT count) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXFont* LPD3DXFONT;

// D3DERR_INVALIDCALL for a null device or result pointer, E_FAIL when no font
// file can be read; *font is then null.
HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight, UINT mipLevels,
                        BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily,
                        LPCSTR faceName, ID3DXFont** font);

namespace platform {
// The font file a face name and weight get (for tests and diagnostics).
std::string FontFileFor(const char* faceName, UINT weight);
// Whether a face name is drawn with a font of its own: "DejaVu Sans", "DejaVu
// Serif", ... and the monospaced Windows faces. Any other face ("Arial") is
// drawn with DejaVu Sans; no face at all is the default.
bool IsKnownFontFace(const std::string& faceName);
} // namespace platform
