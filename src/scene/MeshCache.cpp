#include "scene/MeshCache.h"

#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/bounded.h"
#include "platform/win32.h"
#include "render/VertexBuffers.h"

namespace {

const char kMeshFolder[] = "data/meshes/";
const char kMeshExtension[] = ".mesh";

std::uint32_t U32At(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int32_t I32At(const unsigned char* p)
{
    const std::uint32_t u = U32At(p);
    std::int32_t i;
    std::memcpy(&i, &u, sizeof i);
    return i;
}

// Indices a subset of `count` primitives of the type reads, counted the way
// the vertex buffers draw a subset.
std::uint64_t IndicesFor(std::uint32_t primitiveType, std::uint64_t count)
{
    switch (primitiveType) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count + 2;
    default: return 0;
    }
}

bool IsPrimitiveType(std::uint32_t type)
{
    return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN;
}

IVertexBuffer* NewBufferFor(std::uint32_t vertexType)
{
    switch (vertexType) {
    case MESH_CUSTOMVERTEX: return new CVertexBufferDef<CUSTOMVERTEX>();
    case MESH_DOUBLE_TEXTURED_VERTEX: return new CVertexBufferDef<DOUBLE_TEXTURED_VERTEX>();
    case MESH_NORMAL_TEXTURED_VERTEX: return new CVertexBufferDef<NORMAL_TEXTURED_VERTEX>();
    case MESH_NORMAL_TANGENT_TEXTURED_VERTEX: return new CNormalTangentTexturedVB();
    default: return nullptr;
    }
}

IVertexBuffer* Refuse(const std::string& path, const std::string& why)
{
    OutputDebugStringA(("Mesh " + bounded::Echoed(path) + " refused: " + why + "\n").c_str());
    return nullptr;
}

} // namespace

std::uint32_t MeshVertexSize(std::uint32_t vertexType)
{
    switch (vertexType) {
    case MESH_CUSTOMVERTEX: return sizeof(CUSTOMVERTEX);
    case MESH_DOUBLE_TEXTURED_VERTEX: return sizeof(DOUBLE_TEXTURED_VERTEX);
    case MESH_NORMAL_TEXTURED_VERTEX: return sizeof(NORMAL_TEXTURED_VERTEX);
    case MESH_NORMAL_TANGENT_TEXTURED_VERTEX: return sizeof(NORMAL_TANGENT_TEXTURED_VERTEX);
    default: return 0;
    }
}

CMeshCache::~CMeshCache()
{
    Clear();
}

void CMeshCache::Clear()
{
    for (auto& entry : m_Meshes)
        delete entry.second;
    m_Meshes.clear();
    for (IVertexBuffer* mesh : m_Retired)
        delete mesh;
    m_Retired.clear();
}

void CMeshCache::ForgetDevice()
{
    for (auto& entry : m_Meshes) {
        if (!entry.second)
            continue;
        entry.second->Release();
        m_Retired.push_back(entry.second);
    }
    m_Meshes.clear();
}

IVertexBuffer* CMeshCache::GetMesh(const std::string& name)
{
    auto found = m_Meshes.find(name);
    if (found != m_Meshes.end())
        return found->second;
    IVertexBuffer* mesh = LoadMesh(kMeshFolder + name + kMeshExtension);
    m_Meshes[name] = mesh;
    return mesh;
}

bool ReadMeshFile(const unsigned char* header, std::size_t size, MeshFileData& out, std::string* fault)
{
    auto refuse = [fault](const std::string& why) {
        *fault = why;
        return false;
    };
    if (size < kMeshHeaderSize)
        return refuse("the header is cut short");

    const std::uint32_t vertexCount = U32At(header + 12);
    const std::uint32_t indexCount = U32At(header + 16);
    const std::uint32_t vertexType = U32At(header + 20);
    const std::uint32_t vertexSize = U32At(header + 24);
    const std::uint32_t indexSize = U32At(header + 28);
    const std::uint32_t primitiveType = U32At(header + 32);
    const std::uint32_t subsetCount = U32At(header + 36);

    const std::uint32_t expectedSize = MeshVertexSize(vertexType);
    if (expectedSize == 0)
        return refuse("vertex type " + std::to_string(vertexType) + " is not a mesh type");
    if (vertexSize != expectedSize)
        return refuse("vertex size " + std::to_string(vertexSize) + " does not match vertex type " +
                      std::to_string(vertexType));
    if (indexSize != sizeof(unsigned short))
        return refuse("index size " + std::to_string(indexSize) + " is not 2");
    if (!IsPrimitiveType(primitiveType))
        return refuse("primitive type " + std::to_string(primitiveType) + " is unknown");
    if (subsetCount == 0)
        return refuse("it has no subset");

    // 64-bit sums: no count of a 32-bit header can overflow them.
    const std::uint64_t vertexBytes = std::uint64_t(vertexCount) * vertexSize;
    const std::uint64_t indexBytes = std::uint64_t(indexCount) * indexSize;
    const std::uint64_t subsetBytes = std::uint64_t(subsetCount) * kMeshSubsetSize;
    const std::uint64_t available = size - kMeshHeaderSize;
    if (vertexBytes > available)
        return refuse("the file ends inside the vertices");
    if (vertexBytes + indexBytes > available)
        return refuse("the file ends inside the indices");
    if (vertexBytes + indexBytes + subsetBytes > available)
        return refuse("the file ends inside the subsets");

    const unsigned char* vertices = header + kMeshHeaderSize;
    const unsigned char* indexData = vertices + vertexBytes;
    const unsigned char* subsetData = indexData + indexBytes;

    std::vector<unsigned short> indices(indexCount);
    for (std::uint32_t i = 0; i < indexCount; ++i) {
        indices[i] = static_cast<unsigned short>(indexData[2 * i] | indexData[2 * i + 1] << 8);
        if (indices[i] >= vertexCount)
            return refuse("index " + std::to_string(i) + " names vertex " + std::to_string(indices[i]) + " of " +
                          std::to_string(vertexCount));
    }

    std::vector<SubsetRange> subsets(subsetCount);
    for (std::uint32_t s = 0; s < subsetCount; ++s) {
        subsets[s].firstTriangle = I32At(subsetData + s * kMeshSubsetSize);
        subsets[s].triangleCount = I32At(subsetData + s * kMeshSubsetSize + 4);
        const SubsetRange& range = subsets[s];
        const bool negative = range.firstTriangle < 0 || range.triangleCount < 0;
        const std::uint64_t reads = range.triangleCount > 0 ? IndicesFor(primitiveType, range.triangleCount) : 0;
        if (negative || std::uint64_t(range.firstTriangle) * 3 + reads > indexCount)
            return refuse("subset " + std::to_string(s) + " reaches past the " + std::to_string(indexCount) +
                          " indices");
    }

    out.vertexCount = vertexCount;
    out.vertexType = vertexType;
    out.primitiveType = primitiveType;
    out.vertices = vertices;
    out.indices = std::move(indices);
    out.subsets = std::move(subsets);
    return true;
}

IVertexBuffer* CMeshCache::LoadMesh(const std::string& path)
{
    // The whole file is read first so that every count of the header can be
    // checked against the bytes actually there before anything is allocated
    // from it or copied out of it.
    std::vector<unsigned char> file;
    std::string fault;
    if (!platform::ReadWholeFile(path, file, bounded::kMaxFileBytes, &fault))
        return Refuse(path, fault);
    MeshFileData mesh;
    if (!ReadMeshFile(file.data(), file.size(), mesh, &fault))
        return Refuse(path, fault);

    IVertexBuffer* buffer = NewBufferFor(mesh.vertexType);
    buffer->Create(mesh.vertexCount, mesh.vertices, static_cast<D3DPRIMITIVETYPE>(mesh.primitiveType));
    CIndexBuffer* indexBuffer = new CIndexBuffer();
    indexBuffer->Create(static_cast<std::uint32_t>(mesh.indices.size()), mesh.indices.data());
    buffer->SetIndexBuffer(indexBuffer);
    buffer->GetSubsets() = std::move(mesh.subsets);
    return buffer;
}

CMeshCache& getMeshCache()
{
    static CMeshCache cache;
    return cache;
}
