// Static meshes: the ".mesh" reader and the cache that loads each mesh once
// and shares it among every entity of that name.
//
// A ".mesh" file is little-endian, without a magic number:
//   offset  0  3 x u32   not used
//          12  u32       vertex count
//          16  u32       index count
//          20  u32       vertex type (MeshVertexType)
//          24  u32       vertex size, the size of the type's structure
//          28  u32       index size, 2
//          32  u32       primitive type (D3DPRIMITIVETYPE, 4 = triangle list)
//          36  u32       subset count, at least 1
//          40  2 x u32   not used
//          48  the vertices, then the 16-bit indices, then per subset two
//              i32: first triangle and triangle count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "render/VertexBuffers.h"

class IVertexBuffer;

enum MeshVertexType : std::uint32_t {
    MESH_CUSTOMVERTEX = 0,                    // CUSTOMVERTEX
    MESH_DOUBLE_TEXTURED_VERTEX = 2,          // DOUBLE_TEXTURED_VERTEX
    MESH_NORMAL_TEXTURED_VERTEX = 3,          // NORMAL_TEXTURED_VERTEX
    MESH_NORMAL_TANGENT_TEXTURED_VERTEX = 4,  // NORMAL_TANGENT_TEXTURED_VERTEX, tangents as stored
};

inline constexpr std::size_t kMeshHeaderSize = 48;
inline constexpr std::size_t kMeshSubsetSize = 8;

// The structure size of a vertex type; 0 for a code that is not a mesh type.
std::uint32_t MeshVertexSize(std::uint32_t vertexType);

// A ".mesh" file's content checked and taken apart, before any device object
// is made from it. The vertices point into the bytes it was read from.
struct MeshFileData {
    std::uint32_t vertexCount = 0;
    std::uint32_t vertexType = 0;
    std::uint32_t primitiveType = 0;
    const unsigned char* vertices = nullptr;
    std::vector<unsigned short> indices;
    std::vector<SubsetRange> subsets;
};

// Checks the bytes of a ".mesh" file as LoadMesh describes; false with the
// reason in *fault for a file LoadMesh refuses.
bool ReadMeshFile(const unsigned char* bytes, std::size_t size, MeshFileData& out, std::string* fault);

class CMeshCache {
public:
    CMeshCache() = default;
    ~CMeshCache();
    CMeshCache(const CMeshCache&) = delete;
    CMeshCache& operator=(const CMeshCache&) = delete;

    // The mesh "data/meshes/" + name + ".mesh", loaded on the first request.
    // A file that is missing or refused is remembered as null too: it is not
    // tried again in this run.
    IVertexBuffer* GetMesh(const std::string& name);

    // A new buffer for the file, or null when it cannot be read or is not a
    // sound mesh: a header that contradicts itself (unknown vertex type,
    // vertex or index size that does not match, no subset, unknown primitive
    // type), a file that ends before the data the header announces, an index
    // naming a vertex that does not exist, or a subset reaching past the
    // indices. Each refusal says why on the debug output.
    static IVertexBuffer* LoadMesh(const std::string& path);

    // Destroys every cached buffer and forgets every name (they belong to the
    // device they were made on).
    void Clear();

    // The device is going: every cached mesh gives back its buffers and draws
    // nothing from now on, and the next request of a name loads it again on
    // whatever device there is then. The meshes themselves are kept, since
    // entities of the last start may still point at them.
    void ForgetDevice();

    bool IsCached(const std::string& name) const { return m_Meshes.count(name) != 0; }

private:
    std::map<std::string, IVertexBuffer*> m_Meshes;
    std::vector<IVertexBuffer*> m_Retired;
};

CMeshCache& getMeshCache();
