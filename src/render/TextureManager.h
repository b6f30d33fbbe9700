#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/d3d9.h"

// Textures by file name, loaded once on the game's device and shared by
// everything that draws with them. A name is looked for under
// "data/textures/"; screen images named from the working folder ("GUI/...")
// are found there when "data/textures/" has no such file. A file that does
// not load is remembered as null and never tried again. A missing one is
// said once in a line naming it (a whole missing folder in one line for the
// folder), except the screens' pictures ("GUI/..."), which the GUI's own
// file names together.
class CTextureManager {
public:
    CTextureManager() = default;
    ~CTextureManager();
    CTextureManager(const CTextureManager&) = delete;
    CTextureManager& operator=(const CTextureManager&) = delete;

    // The texture, or null when the file is missing or unreadable. Names are
    // exact keys: two spellings are two entries. Before the device exists
    // nothing is loaded and nothing is remembered.
    IDirect3DTexture9* GetTexture(const std::string& name);

    // The file a name is loaded from.
    static std::string PathOf(const std::string& name);
    // Says that the texture's file is missing, or the highest folder on its
    // way that is.
    static void SayMissing(const std::string& name, const std::string& path);

    // Releases every texture and forgets every name.
    void Clear();

    // Whether a quad showing the texture's columns from u0 to u1 (0..1 across
    // the texture, whole height) blends nothing in: every texel it can read is
    // fully transparent, the linear filter's neighbours, the wrap at the edges
    // and the smaller levels a quad minified by texelsPerPixel samples counted.
    // False when unknown: a render target, a format other than A8R8G8B8, or a
    // texture that would not read back. Read back once per texture.
    bool ShowsNothing(IDirect3DTexture9* texture, float u0, float u1, float texelsPerPixel);

private:
    // Per level, per column, the largest alpha of the column; empty when the
    // texture cannot tell.
    using ColumnAlphas = std::vector<std::vector<std::uint8_t>>;
    const ColumnAlphas& ColumnAlpha(IDirect3DTexture9* texture);
    // The same for one level.
    static bool ShowsNothingOn(const std::vector<std::uint8_t>& columns, float u0, float u1);

    std::map<std::string, IDirect3DTexture9*> m_Textures;
    std::map<IDirect3DTexture9*, ColumnAlphas> m_ColumnAlpha;
};

CTextureManager& getTextureManager();
