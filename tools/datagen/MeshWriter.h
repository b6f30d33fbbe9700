#pragma once
// Geometry in memory and its encoding as the game's ".mesh" files, in any of
// the four vertex layouts the game's mesh reader knows.
#include <cstdint>
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "platform/d3dx9math.h"
#include "scene/MeshCache.h"

namespace datagen {

// Every attribute any layout may need; each layout takes its own share.
struct MeshVertex {
    D3DXVECTOR3 position{0, 0, 0};
    D3DXVECTOR3 normal{0, 1, 0};
    D3DXVECTOR2 uv{0, 0};        // the tiled material texture
    D3DXVECTOR2 uv2{0, 0};       // the lightmap, 0..1 over a face
    D3DXVECTOR4 tangent{1, 0, 0, 1};
    std::uint32_t colour = 0xFFFFFFFF;  // D3DCOLOR, for the untextured layout
};

struct MeshSubset {
    std::int32_t firstTriangle = 0;
    std::int32_t triangleCount = 0;
};

// An indexed triangle list.
struct MeshGeometry {
    std::vector<MeshVertex> vertices;
    std::vector<std::uint16_t> indices;
    std::vector<MeshSubset> subsets;
};

// The file's bytes, or an empty vector (with the reason in *error) when the
// geometry cannot be a sound mesh: more vertices than 16-bit indices reach,
// an index past the vertices, no subset, or a subset past the triangles.
Bytes EncodeMesh(const MeshGeometry& geometry, MeshVertexType type, std::string* error = nullptr);

} // namespace datagen
