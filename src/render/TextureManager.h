#pragma once

#include <map>
#include <string>

#include "platform/d3d9.h"

// Textures by file name, loaded once on the game's device and shared by
// everything that draws with them. A name is looked for under
// "data/textures/"; screen images named from the working folder ("GUI/...")
// are found there when "data/textures/" has no such file. A file that does
// not load is remembered as null and never tried again.
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

    // Releases every texture and forgets every name.
    void Clear();

private:
    std::map<std::string, IDirect3DTexture9*> m_Textures;
};

CTextureManager& getTextureManager();
