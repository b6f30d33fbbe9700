#include "render/VisiblePart.h"

#include <algorithm>

#include "platform/d3d9.h"

TexturePart VisiblePart(const std::vector<std::uint8_t>& alpha, int width, int height, std::uint8_t least)
{
    TexturePart part;
    if (width < 1 || height < 1 || alpha.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return part;
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (alpha[static_cast<size_t>(y) * width + x] < std::max<std::uint8_t>(least, 1))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return part;
    part.u0 = static_cast<float>(std::max(0, left - 1)) / width;
    part.u1 = static_cast<float>(std::min(width, right + 2)) / width;
    part.v0 = static_cast<float>(std::max(0, top - 1)) / height;
    part.v1 = static_cast<float>(std::min(height, bottom + 2)) / height;
    return part;
}

TexturePart VisiblePart(IDirect3DTexture9* texture, std::uint8_t least)
{
    D3DSURFACE_DESC desc{};
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)) || desc.Format != D3DFMT_A8R8G8B8)
        return TexturePart();
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
        return TexturePart();
    const int width = static_cast<int>(desc.Width), height = static_cast<int>(desc.Height);
    std::vector<std::uint8_t> alpha(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (int x = 0; x < width; ++x)
            alpha[static_cast<size_t>(y) * width + x] = row[4 * x + 3];
    }
    texture->UnlockRect(0);
    return VisiblePart(alpha, width, height, least);
}
