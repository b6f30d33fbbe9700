#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"
#include "scene/MeshCache.h"
#include "scene/mesh_file.h"

namespace {

using meshfile::Spec;

struct TypeCase {
    std::uint32_t code;
    std::uint32_t size;
    std::function<bool(IVertexBuffer*)> isExpectedClass;
};

std::vector<TypeCase> AllTypes()
{
    return {
        {0, 16, [](IVertexBuffer* b) { return dynamic_cast<CVertexBufferDef<CUSTOMVERTEX>*>(b) != nullptr; }},
        {2, 28, [](IVertexBuffer* b) { return dynamic_cast<CVertexBufferDef<DOUBLE_TEXTURED_VERTEX>*>(b) != nullptr; }},
        {3, 40, [](IVertexBuffer* b) { return dynamic_cast<CVertexBufferDef<NORMAL_TEXTURED_VERTEX>*>(b) != nullptr; }},
        {4, 56, [](IVertexBuffer* b) { return dynamic_cast<CNormalTangentTexturedVB*>(b) != nullptr; }},
    };
}

template <class Buffer>
std::vector<std::uint8_t> ReadBack(Buffer* buffer, size_t bytes)
{
    std::vector<std::uint8_t> out;
    void* data = nullptr;
    if (buffer && SUCCEEDED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY))) {
        out.assign(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + bytes);
        buffer->Unlock();
    }
    return out;
}

class MeshRoundTrip : public drawtest::DeviceTest {};

// Every vertex type comes back in its own buffer class with the bytes as
// written (tangents included), on the device as well as in memory, whatever
// the header words the reader skips hold.
TEST_F(MeshRoundTrip, EveryVertexTypeComesBackAsWritten)
{
    drawtest::ScratchFolder folder("mesh_roundtrip");
    for (const TypeCase& type : AllTypes()) {
        SCOPED_TRACE("vertex type " + std::to_string(type.code));
        const Spec spec = meshfile::Consistent(type.code, type.size, 7, 3);
        const std::string path = "type" + std::to_string(type.code) + ".mesh";
        meshfile::WriteFile(path, meshfile::Encode(spec));

        std::unique_ptr<IVertexBuffer> mesh(CMeshCache::LoadMesh(path));
        ASSERT_NE(mesh, nullptr);
        EXPECT_TRUE(type.isExpectedClass(mesh.get()));
        EXPECT_EQ(mesh->GetVertexSize(), type.size);
        EXPECT_EQ(mesh->GetVertexCount(), 7u);
        EXPECT_EQ(mesh->GetPrimitiveType(), D3DPT_TRIANGLELIST);

        ASSERT_NE(mesh->GetVertexData(), nullptr);
        EXPECT_EQ(0, std::memcmp(mesh->GetVertexData(), spec.vertexBytes.data(), spec.vertexBytes.size()));
        EXPECT_EQ(ReadBack(mesh->GetD3DBuffer(), spec.vertexBytes.size()), spec.vertexBytes);

        ASSERT_NE(mesh->GetIndexBuffer(), nullptr);
        EXPECT_EQ(mesh->GetIndexBuffer()->GetIndexCount(), spec.indexCount);
        std::vector<std::uint8_t> indexBytes(spec.indices.size() * 2);
        std::memcpy(indexBytes.data(), spec.indices.data(), indexBytes.size());
        EXPECT_EQ(ReadBack(mesh->GetIndexBuffer()->GetBuffer(), indexBytes.size()), indexBytes);

        ASSERT_EQ(mesh->GetSubsets().size(), 3u);
        for (size_t s = 0; s < 3; ++s) {
            EXPECT_EQ(mesh->GetSubsets()[s].firstTriangle, spec.subsets[s].first);
            EXPECT_EQ(mesh->GetSubsets()[s].triangleCount, spec.subsets[s].count);
        }
    }
}

struct BadFile {
    const char* what;
    std::function<void(Spec&)> spoil;
    // Bytes cut off the end of the encoded file.
    size_t cut = 0;
};

std::vector<BadFile> BadFiles()
{
    return {
        {"header cut short", [](Spec&) {}, 0},  // replaced below by a 20-byte file
        {"vertex type 1", [](Spec& s) { s.vertexType = 1; }},
        {"vertex type 5", [](Spec& s) { s.vertexType = 5; }},
        {"vertex size of another type", [](Spec& s) { s.vertexSize = 28; }},
        {"index size 4", [](Spec& s) { s.indexSize = 4; }},
        {"no subset", [](Spec& s) { s.subsetCount = 0; s.subsets.clear(); }},
        {"primitive type 0", [](Spec& s) { s.primitiveType = 0; }},
        {"primitive type 7", [](Spec& s) { s.primitiveType = 7; }},
        {"vertex data cut short", [](Spec& s) { s.vertexBytes.resize(s.vertexBytes.size() - 5); s.indices.clear(); s.subsets.clear(); }},
        {"index data cut short", [](Spec& s) { s.indices.resize(s.indices.size() - 1); s.subsets.clear(); }},
        {"subsets cut short", [](Spec&) {}, 3},
        {"more vertices announced than there are", [](Spec& s) { s.vertexCount += 1; }},
        {"a vertex count no file could hold", [](Spec& s) { s.vertexCount = 0xFFFFFFFFu; }},
        {"an index count no file could hold", [](Spec& s) { s.indexCount = 0xFFFFFFFFu; }},
        {"a subset count no file could hold", [](Spec& s) { s.subsetCount = 0xFFFFFFFFu; }},
        {"an index past the vertices", [](Spec& s) { s.indices[4] = static_cast<std::uint16_t>(s.vertexCount); }},
        {"a subset past the indices", [](Spec& s) { s.subsets[1] = {2, 3}; }},
        {"a subset starting past the indices", [](Spec& s) { s.subsets[1] = {5, 0}; }},
        {"a negative first triangle", [](Spec& s) { s.subsets[0] = {-1, 1}; }},
        {"a negative triangle count", [](Spec& s) { s.subsets[0] = {0, -2}; }},
    };
}

// Each kind of broken file is refused, with the file named on the debug
// output, and without reading outside what was read from disk.
TEST(MeshReader, RefusesEveryKindOfBrokenFile)
{
    drawtest::ScratchFolder folder("mesh_bad");
    for (const BadFile& bad : BadFiles()) {
        SCOPED_TRACE(bad.what);
        Spec spec = meshfile::Consistent(MESH_CUSTOMVERTEX, 16);
        bad.spoil(spec);
        std::vector<std::uint8_t> bytes = meshfile::Encode(spec);
        if (std::string(bad.what) == "header cut short")
            bytes.resize(20);
        bytes.resize(bytes.size() - bad.cut);
        meshfile::WriteFile("bad.mesh", bytes);

        testing::internal::CaptureStderr();
        IVertexBuffer* mesh = CMeshCache::LoadMesh("bad.mesh");
        const std::string output = testing::internal::GetCapturedStderr();
        EXPECT_EQ(mesh, nullptr);
        delete mesh;
        EXPECT_NE(output.find("bad.mesh"), std::string::npos) << output;
        EXPECT_NE(output.find("refused"), std::string::npos) << output;
    }
}

// The same files unspoiled load: the refusals above come from the spoiling.
TEST(MeshReader, AcceptsTheEdgesOfWhatIsConsistent)
{
    drawtest::ScratchFolder folder("mesh_edges");
    struct Case {
        const char* what;
        std::function<void(Spec&)> change;
    } cases[] = {
        {"as made", [](Spec&) {}},
        {"a subset ending on the last index", [](Spec& s) { s.subsets[1] = {1, 3}; }},
        {"an empty subset at the end", [](Spec& s) { s.subsets[1] = {4, 0}; }},
        {"bytes after the subsets", [](Spec& s) { s.subsets.push_back({0, 0}); }},
        {"the last vertex indexed", [](Spec& s) { s.indices[4] = static_cast<std::uint16_t>(s.vertexCount - 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Spec spec = meshfile::Consistent(MESH_CUSTOMVERTEX, 16);
        c.change(spec);
        meshfile::WriteFile("edge.mesh", meshfile::Encode(spec));
        std::unique_ptr<IVertexBuffer> mesh(CMeshCache::LoadMesh("edge.mesh"));
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetSubsets().size(), spec.subsetCount);
    }
}

} // namespace
