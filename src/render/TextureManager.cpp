#include "render/TextureManager.h"

#include <algorithm>
#include <cmath>

#include "app/Startup.h"
#include "platform/bounded.h"
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
    m_ColumnAlpha.clear();
}

IDirect3DTexture9* CTextureManager::GetTexture(const std::string& name)
{
    auto found = m_Textures.find(name);
    if (found != m_Textures.end())
        return found->second;
    // No name is no texture, not the textures' folder.
    if (!D3DDevice || name.empty())
        return nullptr;

    const std::string path = PathOf(name);
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileA(D3DDevice, path.c_str(), &texture))) {
        texture = nullptr;
        SayMissing(name, path);
    }
    m_Textures[name] = texture;
    return texture;
}

void CTextureManager::SayMissing(const std::string& name, const std::string& path)
{
    // Any other fault the reader has said itself.
    if (platform::ReadFault(path) != "it is missing" || name.compare(0, 4, "GUI/") == 0 ||
        name.compare(0, 4, "gui/") == 0)
        return;
    std::string folder;
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (!platform::PathExists(path.substr(0, slash + 1))) {
            folder = path.substr(0, slash + 1);
            break;
        }
    if (!folder.empty())
        bounded::SayOnce("Texture folder " + bounded::Echoed(folder) +
                         " refused: it is missing; what its textures cover is drawn without them");
    else
        bounded::SayOnce(bounded::Refusal(bounded::Echoed(path), "it is missing"));
}

std::string CTextureManager::PathOf(const std::string& name)
{
    const std::string path = "data/textures/" + name;
    return !platform::FileExists(path) && platform::FileExists(name) ? name : path;
}

const CTextureManager::ColumnAlphas& CTextureManager::ColumnAlpha(IDirect3DTexture9* texture)
{
    auto known = m_ColumnAlpha.find(texture);
    if (known != m_ColumnAlpha.end())
        return known->second;
    ColumnAlphas& levels = m_ColumnAlpha[texture];
    D3DSURFACE_DESC top{};
    if (FAILED(texture->GetLevelDesc(0, &top)) || top.Format != D3DFMT_A8R8G8B8 ||
        (top.Usage & D3DUSAGE_RENDERTARGET) || top.Width == 0)
        return levels;
    ColumnAlphas read;
    for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc{};
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->GetLevelDesc(level, &desc)) || desc.Width == 0 ||
            FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY)))
            return levels;
        const auto* rows = static_cast<const std::uint8_t*>(locked.pBits);
        std::vector<std::uint8_t> columns(desc.Width, 0);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                columns[x] = std::max(columns[x], rows[static_cast<size_t>(y) * locked.Pitch + x * 4 + 3]);
        texture->UnlockRect(level);
        read.push_back(std::move(columns));
    }
    levels.swap(read);
    return levels;
}

bool CTextureManager::ShowsNothing(IDirect3DTexture9* texture, float u0, float u1, float texelsPerPixel)
{
    if (!texture || !(u0 <= u1) || !std::isfinite(u0) || !std::isfinite(u1) || !(texelsPerPixel >= 0.0f) ||
        !std::isfinite(texelsPerPixel))
        return false;
    const ColumnAlphas& levels = ColumnAlpha(texture);
    // Magnified, only the top level is read; minified, the levels down to
    // the one whose texels are about a pixel wide, and the next.
    if (levels.empty())
        return false;
    const size_t used = std::min(levels.size(), texelsPerPixel <= 1.0f
                                                    ? size_t{1}
                                                    : static_cast<size_t>(std::log2(texelsPerPixel)) + 2);
    for (size_t level = 0; level < used; ++level)
        if (!ShowsNothingOn(levels[level], u0, u1))
            return false;
    return true;
}

bool CTextureManager::ShowsNothingOn(const std::vector<std::uint8_t>& columns, float u0, float u1)
{
    const long width = static_cast<long>(columns.size());
    // The linear filter reads the two texels either side of each sample
    // point; the points lie between the quad's edges.
    const double first = std::floor(static_cast<double>(u0) * width - 0.5);
    const double last = std::floor(static_cast<double>(u1) * width - 0.5) + 1.0;
    if (last - first >= width)
        return *std::max_element(columns.begin(), columns.end()) == 0;
    // Past an edge the texture wraps.
    for (long c = static_cast<long>(first); c <= static_cast<long>(last); ++c)
        if (columns[static_cast<size_t>(((c % width) + width) % width)] != 0)
            return false;
    return true;
}
