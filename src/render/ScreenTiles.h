// The screen cut into square tiles, each marked where something may show in
// it, so that a full-screen pass can leave out the reads of a layer over the
// tiles where that layer holds nothing.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9math.h"

// Pixels [left, right) x [top, bottom), y down from the top of the screen.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class ScreenTiles {
public:
    static constexpr int kSide = 32;

    // A screen of that many pixels, every tile marked or none.
    void Reset(int width, int height, bool marked);
    void MarkAll();
    // Marks the tiles of every pixel whose centre lies within the rectangle
    // (pixel units from the screen's top left corner, the centre of the first
    // pixel at 0.5), grown by a pixel either way for the rounding of whatever
    // drew there. A rectangle that is not a number marks everything.
    void MarkPixels(float left, float top, float right, float bottom);
    bool Marked(int column, int row) const;
    // Marks the tiles marked in `other`, of the same size (every tile otherwise).
    void Add(const ScreenTiles& other);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    int Columns() const { return m_Columns; }
    int Rows() const { return m_Rows; }
    size_t CountMarked() const;

private:
    int m_Width = 0;
    int m_Height = 0;
    int m_Columns = 0;
    int m_Rows = 0;
    std::vector<unsigned char> m_Marks;
};

// The tiles of a screen grouped by a value per tile in [0, groups): for each
// group, the runs of neighbouring tiles along a row that share it, as pixel
// rectangles within the screen.
std::vector<std::vector<ScreenRect>> TileRuns(int width, int height, int groups, const std::vector<int>& groupOfTile);

// Marks the tiles whose pixels read any texel of the texture that is not
// black (its alpha not counted) with a filtered read at the pixel's centre,
// the texture stretched over the whole screen. False, having marked every
// tile, when the texels cannot be read back.
bool MarkLitTexels(IDirect3DTexture9* texture, ScreenTiles& tiles);
// The same for the texels that are not wholly transparent (colour not counted).
bool MarkOpaqueTexels(IDirect3DTexture9* texture, ScreenTiles& tiles);

// Marks the tiles a camera-facing square of that centre and size can cover,
// turned in any way within the plane of `left` and `up`, seen through the
// view-projection (row vectors, D3D clip space). Wholly behind the eye it
// marks nothing; cut by the eye's plane, everything.
void MarkSquare(const D3DXVECTOR3& centre, float size, const D3DXVECTOR3& left, const D3DXVECTOR3& up,
                const D3DXMATRIX& viewProjection, ScreenTiles& tiles);
