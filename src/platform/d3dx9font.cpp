#include "platform/d3dx9core.h"

#include "platform/com_object.h"
#include "platform/d3dx9font_text.h"
#include "platform/gl_device.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>

namespace {

using platform::fonttext::Face;
using platform::fonttext::GlyphBitmap;

std::string FontDir() {
    std::string path = VANTOREL_FONT;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

struct TextVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kTextFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(sizeof(TextVertex) == 28, "XYZRHW, DIFFUSE, TEX1 vertices are 28 bytes");

// The device states DrawTextA sets, and to what.
const std::pair<D3DRENDERSTATETYPE, DWORD> kTextRenderStates[] = {
    {D3DRS_ALPHABLENDENABLE, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_ZENABLE, D3DZB_FALSE},
    {D3DRS_ZWRITEENABLE, FALSE},
    {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_SCISSORTESTENABLE, FALSE},
    {D3DRS_COLORWRITEENABLE, 0xF},
};
const std::pair<D3DSAMPLERSTATETYPE, DWORD> kTextSamplerStates[] = {
    {D3DSAMP_MINFILTER, D3DTEXF_POINT}, {D3DSAMP_MAGFILTER, D3DTEXF_POINT}, {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
    {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP},
};
const std::pair<D3DTEXTURESTAGESTATETYPE, DWORD> kTextStageStates[] = {
    {D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, D3DTA_TEXTURE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
    {D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
};

class Font final : public platform::DeviceChild<ID3DXFont> {
public:
    Font(platform::DeviceHandle device, const D3DXFONT_DESCA& desc, Face face)
        : DeviceChild(std::move(device)), m_Desc(desc), m_Face(std::move(face)) {}
    ~Font() override {
        if (m_Atlas) m_Atlas->Release();
    }

    HRESULT GetDescA(D3DXFONT_DESCA* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = m_Desc;
        return D3D_OK;
    }
    INT DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR color) override;
    HRESULT PreloadTextA(LPCSTR text, INT count) override {
        if (!text) return D3DERR_INVALIDCALL;
        std::u32string chars = platform::fonttext::DecodeGameText(text, count);
        return EnsureGlyphs(chars) ? D3D_OK : E_FAIL;
    }
    HRESULT OnLostDevice() override { return D3D_OK; }
    HRESULT OnResetDevice() override { return D3D_OK; }

private:
    struct Glyph {
        int x = 0, y = 0, width = 0, height = 0; // place in the atlas (0 wide: nothing to draw)
        int offsetX = 0, offsetY = 0;
    };

    bool EnsureGlyphs(const std::u32string& chars);
    bool Place(char32_t c);
    void ClearAtlas(int size);
    bool UploadAtlas(IDirect3DDevice9* device);

    D3DXFONT_DESCA m_Desc;
    Face m_Face;

    // Glyph coverage packed in shelves; the texture is refreshed when it changes.
    static constexpr int kFirstAtlasSize = 256;
    static constexpr int kLargestAtlasSize = 2048;
    int m_AtlasSize = 0;
    std::vector<unsigned char> m_Coverage;
    std::unordered_map<char32_t, Glyph> m_Glyphs;
    int m_ShelfX = 0, m_ShelfY = 0, m_ShelfHeight = 0;
    bool m_Dirty = false;
    IDirect3DTexture9* m_Atlas = nullptr;
    int m_AtlasTextureSize = 0;
};

void Font::ClearAtlas(int size) {
    m_AtlasSize = size;
    m_Coverage.assign(static_cast<size_t>(size) * size, 0);
    m_Glyphs.clear();
    m_ShelfX = m_ShelfY = m_ShelfHeight = 0;
    m_Dirty = true;
}

bool Font::Place(char32_t c) {
    GlyphBitmap bitmap = m_Face.Rasterize(c);
    Glyph g;
    g.offsetX = bitmap.offsetX;
    g.offsetY = bitmap.offsetY;
    if (bitmap.width > 0 && bitmap.height > 0) {
        // One empty texel around each glyph keeps neighbours out of its quad.
        const int w = bitmap.width + 1, h = bitmap.height + 1;
        if (m_ShelfX + w > m_AtlasSize) {
            m_ShelfY += m_ShelfHeight;
            m_ShelfX = 0;
            m_ShelfHeight = 0;
        }
        if (w > m_AtlasSize || m_ShelfY + h > m_AtlasSize) return false;
        g.x = m_ShelfX;
        g.y = m_ShelfY;
        g.width = bitmap.width;
        g.height = bitmap.height;
        for (int row = 0; row < bitmap.height; ++row)
            std::memcpy(&m_Coverage[static_cast<size_t>(g.y + row) * m_AtlasSize + g.x],
                        &bitmap.coverage[static_cast<size_t>(row) * bitmap.width], static_cast<size_t>(bitmap.width));
        m_ShelfX += w;
        m_ShelfHeight = std::max(m_ShelfHeight, h);
        m_Dirty = true;
    }
    m_Glyphs[c] = g;
    return true;
}

bool Font::EnsureGlyphs(const std::u32string& chars) {
    if (m_AtlasSize == 0) ClearAtlas(kFirstAtlasSize);
    for (int attempt = 0; attempt < 8; ++attempt) {
        bool placedAll = true;
        for (char32_t c : chars) {
            if (c < 0x20 || m_Glyphs.count(c)) continue;
            if (!Place(c)) {
                placedAll = false;
                break;
            }
        }
        if (placedAll) return true;
        // Out of room: start again on a larger atlas (or a cleared largest one)
        // holding only what this text needs.
        ClearAtlas(std::min(m_AtlasSize * 2, kLargestAtlasSize));
    }
    return false;
}

bool Font::UploadAtlas(IDirect3DDevice9* device) {
    if (m_Atlas && m_AtlasTextureSize != m_AtlasSize) {
        m_Atlas->Release();
        m_Atlas = nullptr;
    }
    if (!m_Atlas) {
        if (FAILED(device->CreateTexture(static_cast<UINT>(m_AtlasSize), static_cast<UINT>(m_AtlasSize), 1, 0,
                                         D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_Atlas, nullptr)))
            return false;
        m_AtlasTextureSize = m_AtlasSize;
        m_Dirty = true;
    }
    if (!m_Dirty) return true;
    D3DLOCKED_RECT locked;
    if (FAILED(m_Atlas->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD))) return false;
    for (int y = 0; y < m_AtlasSize; ++y) {
        unsigned char* row = static_cast<unsigned char*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        const unsigned char* coverage = &m_Coverage[static_cast<size_t>(y) * m_AtlasSize];
        for (int x = 0; x < m_AtlasSize; ++x) { // white, the coverage as alpha (B, G, R, A in memory)
            row[4 * x + 0] = 255;
            row[4 * x + 1] = 255;
            row[4 * x + 2] = 255;
            row[4 * x + 3] = coverage[x];
        }
    }
    m_Atlas->UnlockRect(0);
    m_Dirty = false;
    return true;
}

INT Font::DrawTextA(LPD3DXSPRITE, LPCSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR color) {
    using namespace platform::fonttext;
    if (!text || count == 0) return 0;
    std::u32string chars = DecodeGameText(text, count);
    if (chars.empty()) return 0;
    RECT box = rect ? *rect : RECT{0, 0, 0, 0};
    if (!rect) format |= DT_NOCLIP;
    TextLayout layout = LayoutText(chars, m_Face, box, format);
    if (format & DT_CALCRECT) {
        if (rect) {
            rect->right = rect->left + layout.width;
            rect->bottom = rect->top + layout.height;
        }
        return layout.height;
    }
    const INT result = (format & (DT_VCENTER | DT_BOTTOM)) ? layout.top + layout.height - box.top : layout.height;

    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    if (!device) return 0;
    if (!EnsureGlyphs(chars) || !UploadAtlas(device)) return 0;

    const bool clip = !(format & DT_NOCLIP);
    const float size = static_cast<float>(m_AtlasSize);
    const float slant = m_Desc.Italic ? 0.2f : 0.0f;
    std::vector<TextVertex> vertices;
    vertices.reserve(layout.chars.size() * 6);
    for (const PlacedChar& pc : layout.chars) {
        auto it = m_Glyphs.find(pc.c);
        if (it == m_Glyphs.end() || it->second.width == 0) continue;
        const Glyph& g = it->second;
        float x0 = static_cast<float>(pc.penX + g.offsetX), y0 = static_cast<float>(pc.baselineY + g.offsetY);
        float x1 = x0 + g.width, y1 = y0 + g.height;
        float u0 = g.x / size, v0 = g.y / size, u1 = (g.x + g.width) / size, v1 = (g.y + g.height) / size;
        if (clip) {
            const float du = (u1 - u0) / (x1 - x0), dv = (v1 - v0) / (y1 - y0);
            if (x0 < box.left) { u0 += (box.left - x0) * du; x0 = static_cast<float>(box.left); }
            if (y0 < box.top) { v0 += (box.top - y0) * dv; y0 = static_cast<float>(box.top); }
            if (x1 > box.right) { u1 -= (x1 - box.right) * du; x1 = static_cast<float>(box.right); }
            if (y1 > box.bottom) { v1 -= (y1 - box.bottom) * dv; y1 = static_cast<float>(box.bottom); }
            if (x1 <= x0 || y1 <= y0) continue;
        }
        // Italic leans each row by its height above the baseline.
        const float lean0 = slant * (pc.baselineY - y0), lean1 = slant * (pc.baselineY - y1);
        const TextVertex tl{x0 + lean0, y0, 0.0f, 1.0f, color, u0, v0};
        const TextVertex tr{x1 + lean0, y0, 0.0f, 1.0f, color, u1, v0};
        const TextVertex bl{x0 + lean1, y1, 0.0f, 1.0f, color, u0, v1};
        const TextVertex br{x1 + lean1, y1, 0.0f, 1.0f, color, u1, v1};
        vertices.insert(vertices.end(), {tl, tr, bl, tr, br, bl});
    }
    if (vertices.empty()) return result;

    // Keep what we change, draw, and put it all back.
    const unsigned program = platform::CurrentEffectProgram(device);
    DWORD fvf = 0;
    device->GetFVF(&fvf);
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT streamOffset = 0, streamStride = 0;
    device->GetStreamSource(0, &stream, &streamOffset, &streamStride);
    IDirect3DIndexBuffer9* indices = nullptr;
    device->GetIndices(&indices);
    IDirect3DBaseTexture9* texture = nullptr;
    device->GetTexture(0, &texture);
    DWORD renderStates[sizeof(kTextRenderStates) / sizeof(kTextRenderStates[0])];
    DWORD samplerStates[sizeof(kTextSamplerStates) / sizeof(kTextSamplerStates[0])];
    DWORD stageStates[sizeof(kTextStageStates) / sizeof(kTextStageStates[0])];
    for (size_t i = 0; i < std::size(kTextRenderStates); ++i) {
        device->GetRenderState(kTextRenderStates[i].first, &renderStates[i]);
        device->SetRenderState(kTextRenderStates[i].first, kTextRenderStates[i].second);
    }
    for (size_t i = 0; i < std::size(kTextSamplerStates); ++i) {
        device->GetSamplerState(0, kTextSamplerStates[i].first, &samplerStates[i]);
        device->SetSamplerState(0, kTextSamplerStates[i].first, kTextSamplerStates[i].second);
    }
    for (size_t i = 0; i < std::size(kTextStageStates); ++i) {
        device->GetTextureStageState(0, kTextStageStates[i].first, &stageStates[i]);
        device->SetTextureStageState(0, kTextStageStates[i].first, kTextStageStates[i].second);
    }
    if (program) platform::UseEffectProgram(device, 0);
    device->SetFVF(kTextFvf);
    device->SetTexture(0, m_Atlas);

    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3), vertices.data(),
                            sizeof(TextVertex));

    device->SetTexture(0, texture);
    if (texture) texture->Release();
    device->SetFVF(fvf);
    device->SetStreamSource(0, stream, streamOffset, streamStride);
    if (stream) stream->Release();
    device->SetIndices(indices);
    if (indices) indices->Release();
    for (size_t i = 0; i < std::size(kTextStageStates); ++i)
        device->SetTextureStageState(0, kTextStageStates[i].first, stageStates[i]);
    for (size_t i = 0; i < std::size(kTextSamplerStates); ++i)
        device->SetSamplerState(0, kTextSamplerStates[i].first, samplerStates[i]);
    for (size_t i = 0; i < std::size(kTextRenderStates); ++i)
        device->SetRenderState(kTextRenderStates[i].first, renderStates[i]);
    if (program) platform::UseEffectProgram(device, program);
    return result;
}

} // namespace

namespace platform {
std::string FontFileFor(const char* faceName, UINT weight) {
    return fonttext::ChooseFontFile(faceName ? faceName : "", static_cast<int>(weight), FontDir());
}

bool IsKnownFontFace(const std::string& faceName) {
    return fonttext::IsKnownFace(faceName);
}
} // namespace platform

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
                        DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily,
                        LPCSTR faceName, ID3DXFont** font) {
    if (!font) return D3DERR_INVALIDCALL;
    *font = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    std::string path = platform::FontFileFor(faceName, weight);
    Face face;
    if (path.empty() || !face.Load(path, height, static_cast<int>(width))) return E_FAIL;

    D3DXFONT_DESCA desc{};
    desc.Height = height;
    desc.Width = width;
    desc.Weight = weight;
    desc.MipLevels = mipLevels;
    desc.Italic = italic;
    desc.CharSet = static_cast<BYTE>(charSet);
    desc.OutputPrecision = static_cast<BYTE>(outputPrecision);
    desc.Quality = static_cast<BYTE>(quality);
    desc.PitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName) std::strncpy(desc.FaceName, faceName, sizeof(desc.FaceName) - 1);
    *font = new Font(platform::HandleOf(device), desc, std::move(face));
    return D3D_OK;
}
