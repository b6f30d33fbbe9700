#include "render/ScreenTiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

void ScreenTiles::Reset(int width, int height, bool marked)
{
    m_Width = std::max(width, 0);
    m_Height = std::max(height, 0);
    m_Columns = (m_Width + kSide - 1) / kSide;
    m_Rows = (m_Height + kSide - 1) / kSide;
    m_Marks.assign(static_cast<size_t>(m_Columns) * m_Rows, marked ? 1 : 0);
}

void ScreenTiles::MarkAll()
{
    std::fill(m_Marks.begin(), m_Marks.end(), 1);
}

void ScreenTiles::MarkPixels(float left, float top, float right, float bottom)
{
    if (!(left == left) || !(top == top) || !(right == right) || !(bottom == bottom)) {
        MarkAll();
        return;
    }
    // Pixel x has its centre at x + 0.5: within [left - 1, right + 1] from
    // ceil(left - 1.5) to floor(right + 0.5). Clamped in floats first, so
    // that a far-off corner cannot overflow the conversion.
    auto first = [](float edge, int size) {
        return static_cast<int>(std::ceil(std::min(std::max(edge - 1.5f, -1.0f), static_cast<float>(size))));
    };
    auto last = [](float edge, int size) {
        return static_cast<int>(std::floor(std::min(std::max(edge + 0.5f, -1.0f), static_cast<float>(size))));
    };
    const int x0 = std::max(first(left, m_Width), 0), x1 = std::min(last(right, m_Width), m_Width - 1);
    const int y0 = std::max(first(top, m_Height), 0), y1 = std::min(last(bottom, m_Height), m_Height - 1);
    if (x0 > x1 || y0 > y1)
        return;
    for (int row = y0 / kSide; row <= y1 / kSide; ++row)
        for (int column = x0 / kSide; column <= x1 / kSide; ++column)
            m_Marks[static_cast<size_t>(row) * m_Columns + column] = 1;
}

void ScreenTiles::Add(const ScreenTiles& other)
{
    if (other.m_Width != m_Width || other.m_Height != m_Height) {
        MarkAll();
        return;
    }
    for (size_t i = 0; i < m_Marks.size(); ++i)
        m_Marks[i] |= other.m_Marks[i];
}

bool ScreenTiles::Marked(int column, int row) const
{
    if (column < 0 || row < 0 || column >= m_Columns || row >= m_Rows)
        return false;
    return m_Marks[static_cast<size_t>(row) * m_Columns + column] != 0;
}

size_t ScreenTiles::CountMarked() const
{
    return static_cast<size_t>(std::count(m_Marks.begin(), m_Marks.end(), 1));
}

std::vector<std::vector<ScreenRect>> TileRuns(int width, int height, int groups, const std::vector<int>& groupOfTile)
{
    std::vector<std::vector<ScreenRect>> runs(static_cast<size_t>(std::max(groups, 0)));
    const int side = ScreenTiles::kSide;
    const int columns = (width + side - 1) / side, rows = (height + side - 1) / side;
    if (width <= 0 || height <= 0 || groupOfTile.size() < static_cast<size_t>(columns) * rows)
        return runs;
    for (int row = 0; row < rows; ++row) {
        int start = 0;
        for (int column = 1; column <= columns; ++column) {
            const int group = groupOfTile[static_cast<size_t>(row) * columns + start];
            if (column < columns && groupOfTile[static_cast<size_t>(row) * columns + column] == group)
                continue;
            if (group >= 0 && group < groups)
                runs[static_cast<size_t>(group)].push_back(
                    {start * side, row * side, std::min(column * side, width), std::min((row + 1) * side, height)});
            start = column;
        }
    }
    return runs;
}

namespace {

// The tiles reading a texel with any of `channels` set.
bool MarkTexels(IDirect3DTexture9* texture, ScreenTiles& tiles, uint32_t channels)
{
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)) || desc.Format != D3DFMT_A8R8G8B8 || desc.Width == 0 ||
        desc.Height == 0 || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
        tiles.MarkAll();
        return false;
    }
    // A pixel's filtered read at texel position s = centre * size - 0.5 takes
    // the texels floor(s) and floor(s) + 1: texel i is read by the pixels whose
    // centres lie within (i - 0.5, i + 1.5) texels of the screen.
    const float kx = static_cast<float>(tiles.Width()) / static_cast<float>(desc.Width);
    const float ky = static_cast<float>(tiles.Height()) / static_cast<float>(desc.Height);
    const auto* bytes = static_cast<const unsigned char*>(locked.pBits);
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = bytes + static_cast<size_t>(y) * static_cast<size_t>(locked.Pitch);
        UINT x = 0;
        while (x < desc.Width) {
            uint32_t texel = 0;
            std::memcpy(&texel, row + x * 4, 4);
            if ((texel & channels) == 0) {
                ++x;
                continue;
            }
            // A run of lit texels along the row marks its pixels at once.
            UINT end = x + 1;
            for (; end < desc.Width; ++end) {
                std::memcpy(&texel, row + end * 4, 4);
                if ((texel & channels) == 0)
                    break;
            }
            tiles.MarkPixels((static_cast<float>(x) - 0.5f) * kx, (static_cast<float>(y) - 0.5f) * ky,
                             (static_cast<float>(end) + 0.5f) * kx, (static_cast<float>(y) + 1.5f) * ky);
            x = end;
        }
    }
    texture->UnlockRect(0);
    return true;
}

} // namespace

bool MarkLitTexels(IDirect3DTexture9* texture, ScreenTiles& tiles)
{
    return MarkTexels(texture, tiles, 0x00FFFFFFu);
}

bool MarkOpaqueTexels(IDirect3DTexture9* texture, ScreenTiles& tiles)
{
    return MarkTexels(texture, tiles, 0xFF000000u);
}

void MarkSquare(const D3DXVECTOR3& centre, float size, const D3DXVECTOR3& left, const D3DXVECTOR3& up,
                const D3DXMATRIX& viewProjection, ScreenTiles& tiles)
{
    // Turned any way, the corners stay within half the diagonal of the centre
    // along left and up: the square of that reach along both holds them.
    const float reach = 0.5f * std::sqrt(2.0f) * std::fabs(size) * 1.001f;
    const D3DXVECTOR3 across = left * reach, upward = up * reach;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    int behind = 0;
    bool first = true;
    for (int corner = 0; corner < 4; ++corner) {
        const D3DXVECTOR3 p = centre + across * ((corner & 1) ? 1.0f : -1.0f) + upward * ((corner & 2) ? 1.0f : -1.0f);
        D3DXVECTOR4 clip;
        const D3DXVECTOR4 point(p.x, p.y, p.z, 1.0f);
        D3DXVec4Transform(&clip, &point, &viewProjection);
        if (!(clip.w > 0.0f)) {
            ++behind;
            continue;
        }
        const float x = (clip.x / clip.w + 1.0f) * 0.5f * static_cast<float>(tiles.Width());
        const float y = (1.0f - clip.y / clip.w) * 0.5f * static_cast<float>(tiles.Height());
        if (first) {
            minX = maxX = x;
            minY = maxY = y;
            first = false;
        } else {
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    if (behind == 4)
        return;
    if (behind > 0) {
        tiles.MarkAll();
        return;
    }
    tiles.MarkPixels(minX, minY, maxX, maxY);
}
