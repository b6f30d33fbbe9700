#include "render/TextureManager.h"

#include "app/Startup.h"
#include "platform/d3dx9tex.h"
#include "platform/files.h"

CTextureManager& getTextureManager()
{
    static CTextureManager manager;
    return manager;
}

CTextureManager::~CTextureManager()
{
    Clear();
}

void CTextureManager::Clear()
{
    for (auto& entry : m_Textures) {
        if (entry.second)
            entry.second->Release();
    }
    m_Textures.clear();
}

IDirect3DTexture9* CTextureManager::GetTexture(const std::string& name)
{
    auto found = m_Textures.find(name);
    if (found != m_Textures.end())
        return found->second;
    // No name is no texture, not the textures' folder.
    if (!D3DDevice || name.empty())
        return nullptr;

    std::string path = "data/textures/" + name;
    if (!platform::FileExists(path) && platform::FileExists(name))
        path = name;

    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileA(D3DDevice, path.c_str(), &texture)))
        texture = nullptr;
    m_Textures[name] = texture;
    return texture;
}
