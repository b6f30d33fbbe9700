// Any bytes as a ".mesh" file; an accepted one is walked as the vertex
// buffers will read it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "scene/MeshCache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MeshFileData mesh;
    std::string fault;
    if (!ReadMeshFile(data, size, mesh, &fault))
        return 0;
    // Every vertex byte the buffer would copy, and every index a subset draws.
    volatile unsigned sum = 0;
    const std::size_t vertexBytes = std::size_t(mesh.vertexCount) * MeshVertexSize(mesh.vertexType);
    for (std::size_t i = 0; i < vertexBytes; ++i)
        sum += mesh.vertices[i];
    for (const SubsetRange& subset : mesh.subsets)
        for (int i = 0; i < subset.triangleCount && std::size_t(subset.firstTriangle) * 3 + i < mesh.indices.size(); ++i)
            sum += mesh.indices[std::size_t(subset.firstTriangle) * 3 + i];
    return 0;
}
