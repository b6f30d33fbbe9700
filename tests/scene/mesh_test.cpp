// The ".mesh" reader, its cache and the rigid entities that draw the meshes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"
#include "scene/MeshCache.h"
#include "scene/RigidEntity.h"

namespace {

using drawtest::kBlack;
using drawtest::kSize;

// ".mesh" files built byte by byte, with every header field under the test's
// control so that each kind of broken file can be made.
struct Subset {
    std::int32_t first;
    std::int32_t count;
};

struct Recipe {
    std::uint32_t vertexCount = 0;
    std::uint32_t indexCount = 0;
    std::uint32_t vertexType = 0;
    std::uint32_t vertexSize = 16;
    std::uint32_t indexSize = 2;
    std::uint32_t primitiveType = 4;
    std::uint32_t subsetCount = 0;
    std::vector<std::uint8_t> vertexBytes;
    std::vector<std::uint16_t> indices;
    std::vector<Subset> subsets;
};

// Writes the header fields and the data as given: the counts are not derived
// from the data, so a test can make them disagree. The words the reader skips
// hold junk.
std::vector<std::uint8_t> Encode(const Recipe& r)
{
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t v, int bytes = 4) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    for (std::uint32_t word : {0xDEADBEEFu, 0x01234567u, 0xFFFFFFFFu, r.vertexCount, r.indexCount, r.vertexType,
                               r.vertexSize, r.indexSize, r.primitiveType, r.subsetCount, 0xCAFEBABEu, 0x7F7F7F7Fu})
        put(word);
    out.insert(out.end(), r.vertexBytes.begin(), r.vertexBytes.end());
    for (std::uint16_t i : r.indices)
        put(i, 2);
    for (const Subset& sub : r.subsets) {
        put(static_cast<std::uint32_t>(sub.first));
        put(static_cast<std::uint32_t>(sub.count));
    }
    return out;
}

// A consistent mesh of `vertices` vertices of the given size whose bytes all
// differ from their neighbours, two triangles per subset.
Recipe Consistent(std::uint32_t type, std::uint32_t size, std::uint32_t vertices = 6, int subsets = 2)
{
    Recipe r;
    r.vertexType = type;
    r.vertexSize = size;
    r.vertexCount = vertices;
    for (std::uint32_t i = 0; i < vertices * size; ++i)
        r.vertexBytes.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    for (int sub = 0; sub < subsets; ++sub) {
        for (int corner = 0; corner < 6; ++corner)
            r.indices.push_back(static_cast<std::uint16_t>((sub * 6 + corner / 3 * 3 + corner % 3 * 2) % vertices));
        r.subsets.push_back({sub * 2, 2});
    }
    r.indexCount = static_cast<std::uint32_t>(r.indices.size());
    r.subsetCount = static_cast<std::uint32_t>(r.subsets.size());
    return r;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
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

// Loads a file from the recipe, spoilt by `change` and cut by `cut` bytes;
// stays quiet on the debug output unless asked for it.
std::unique_ptr<IVertexBuffer> Load(Recipe recipe, const std::function<void(Recipe&)>& change = {}, size_t cut = 0,
                                    std::string* output = nullptr)
{
    if (change)
        change(recipe);
    std::vector<std::uint8_t> bytes = Encode(recipe);
    bytes.resize(bytes.size() - cut);
    WriteFile("test.mesh", bytes);
    testing::internal::CaptureStderr();
    std::unique_ptr<IVertexBuffer> mesh(CMeshCache::LoadMesh("test.mesh"));
    const std::string log = testing::internal::GetCapturedStderr();
    if (output)
        *output = log;
    return mesh;
}

class MeshTest : public drawtest::DeviceTest {
protected:
    void TearDown() override
    {
        // The cached buffers belong to this test's device.
        getMeshCache().Clear();
        DeviceTest::TearDown();
    }
    drawtest::ScratchFolder m_Folder{"mesh"};
};

// Every vertex type comes back in the buffer class of its size with the bytes
// as written (tangents included), on the device as well as in memory.
TEST_F(MeshTest, EveryVertexTypeComesBackAsWritten)
{
    const std::pair<std::uint32_t, std::uint32_t> types[] = {{MESH_CUSTOMVERTEX, 16},
                                                             {MESH_DOUBLE_TEXTURED_VERTEX, 28},
                                                             {MESH_NORMAL_TEXTURED_VERTEX, 40},
                                                             {MESH_NORMAL_TANGENT_TEXTURED_VERTEX, 56}};
    for (const auto& [code, size] : types) {
        SCOPED_TRACE("vertex type " + std::to_string(code));
        const Recipe recipe = Consistent(code, size, 7, 3);
        std::unique_ptr<IVertexBuffer> mesh = Load(recipe);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetVertexSize(), size);
        EXPECT_EQ(mesh->GetVertexCount(), 7u);
        EXPECT_EQ(mesh->GetPrimitiveType(), D3DPT_TRIANGLELIST);
        EXPECT_EQ(0, std::memcmp(mesh->GetVertexData(), recipe.vertexBytes.data(), recipe.vertexBytes.size()));
        EXPECT_EQ(ReadBack(mesh->GetD3DBuffer(), recipe.vertexBytes.size()), recipe.vertexBytes);
        ASSERT_NE(mesh->GetIndexBuffer(), nullptr);
        std::vector<std::uint8_t> indexBytes(recipe.indices.size() * 2);
        std::memcpy(indexBytes.data(), recipe.indices.data(), indexBytes.size());
        EXPECT_EQ(ReadBack(mesh->GetIndexBuffer()->GetBuffer(), indexBytes.size()), indexBytes);
        ASSERT_EQ(mesh->GetSubsets().size(), 3u);
        EXPECT_EQ(mesh->GetSubsets()[2].firstTriangle, recipe.subsets[2].first);
        EXPECT_EQ(mesh->GetSubsets()[2].triangleCount, recipe.subsets[2].count);
    }
}

// Each kind of broken file is refused, with the file named on the debug
// output, and without reading outside what was read from disk.
TEST_F(MeshTest, RefusesEveryKindOfBrokenFileAndAcceptsTheEdges)
{
    const Recipe good = Consistent(MESH_CUSTOMVERTEX, 16);
    const size_t headerCut = Encode(good).size() - 20;
    const struct {
        const char* what;
        std::function<void(Recipe&)> spoil;
        size_t cut;
    } bad[] = {
        {"header cut short", nullptr, headerCut},
        {"vertex type 1", [](Recipe& r) { r.vertexType = 1; }, 0},
        {"vertex type 5", [](Recipe& r) { r.vertexType = 5; }, 0},
        {"vertex size of another type", [](Recipe& r) { r.vertexSize = 28; }, 0},
        {"index size 4", [](Recipe& r) { r.indexSize = 4; }, 0},
        {"no subset", [](Recipe& r) { r.subsetCount = 0; r.subsets.clear(); }, 0},
        {"primitive type 0", [](Recipe& r) { r.primitiveType = 0; }, 0},
        {"primitive type 7", [](Recipe& r) { r.primitiveType = 7; }, 0},
        {"vertex data cut short", [](Recipe& r) { r.indices.clear(); r.subsets.clear(); }, 5},
        {"index data cut short", [](Recipe& r) { r.subsets.clear(); }, 2},
        {"subsets cut short", nullptr, 3},
        {"more vertices announced than there are", [](Recipe& r) { r.vertexCount += 1; }, 0},
        {"a vertex count no file could hold", [](Recipe& r) { r.vertexCount = 0xFFFFFFFFu; }, 0},
        {"an index count no file could hold", [](Recipe& r) { r.indexCount = 0xFFFFFFFFu; }, 0},
        {"a subset count no file could hold", [](Recipe& r) { r.subsetCount = 0xFFFFFFFFu; }, 0},
        {"an index past the vertices", [](Recipe& r) { r.indices[4] = 6; }, 0},
        {"a subset past the indices", [](Recipe& r) { r.subsets[1] = {2, 3}; }, 0},
        {"a subset starting past the indices", [](Recipe& r) { r.subsets[1] = {5, 0}; }, 0},
        {"a negative first triangle", [](Recipe& r) { r.subsets[0] = {-1, 1}; }, 0},
        {"a negative triangle count", [](Recipe& r) { r.subsets[0] = {0, -2}; }, 0},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        std::string output;
        EXPECT_EQ(Load(good, b.spoil, b.cut, &output), nullptr);
        EXPECT_NE(output.find("test.mesh"), std::string::npos) << output;
        EXPECT_NE(output.find("refused"), std::string::npos) << output;
    }
    // The edges of what is consistent still load.
    EXPECT_NE(Load(good, [](Recipe& r) { r.subsets[1] = {1, 3}; }), nullptr);  // ending on the last index
    EXPECT_NE(Load(good, [](Recipe& r) { r.subsets.push_back({0, 0}); }), nullptr); // bytes after the subsets
    EXPECT_NE(Load(good, [](Recipe& r) { r.indices[4] = 5; }), nullptr);          // the last vertex indexed
}

// A name is read from disk once; missing and refused files are remembered as
// absent, even once a good file appears under the name.
TEST_F(MeshTest, TheCacheReadsEachNameOnce)
{
    const Recipe good = Consistent(MESH_CUSTOMVERTEX, 16);
    Recipe broken = good;
    broken.vertexType = 1;
    WriteFile("data/meshes/crate.mesh", Encode(good));
    WriteFile("data/meshes/broken.mesh", Encode(broken));
    CMeshCache cache;
    IVertexBuffer* crate = cache.GetMesh("crate");
    ASSERT_NE(crate, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(cache.GetMesh("nowhere"), nullptr);
    EXPECT_EQ(cache.GetMesh("broken"), nullptr);
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("data/meshes/broken.mesh"), std::string::npos) << output;

    std::filesystem::remove("data/meshes/crate.mesh");
    for (const char* name : {"nowhere", "broken"})
        WriteFile(std::string("data/meshes/") + name + ".mesh", Encode(good));
    EXPECT_EQ(cache.GetMesh("crate"), crate);
    EXPECT_EQ(cache.GetMesh("nowhere"), nullptr);
    EXPECT_EQ(cache.GetMesh("broken"), nullptr);
    cache.Clear();
    EXPECT_NE(cache.GetMesh("broken"), nullptr);
}

// Two quads in clip space, one subset each: red over x -0.5..-0.1, green over
// x 0.1..0.5. Moved right by 0.4, every subset is drawn where the entity's
// transform puts it; an entity whose mesh is missing draws nothing.
TEST_F(MeshTest, RigidEntitiesDrawEverySubsetWhereTheirTransformPutsThem)
{
    std::vector<CUSTOMVERTEX> vertices;
    Recipe quads;
    for (int q = 0; q < 2; ++q) {
        const float l = q ? 0.1f : -0.5f, r = l + 0.4f;
        const D3DCOLOR colour = q ? 0xFF00FF00 : 0xFFFF0000;
        vertices.insert(vertices.end(), {{l, -0.5f, 0.5f, colour}, {r, -0.5f, 0.5f, colour},
                                         {r, 0.5f, 0.5f, colour}, {l, 0.5f, 0.5f, colour}});
        for (int i : {0, 1, 2, 0, 2, 3})
            quads.indices.push_back(static_cast<std::uint16_t>(q * 4 + i));
        quads.subsets.push_back({q * 2, 2});
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(vertices.data());
    quads.vertexBytes.assign(bytes, bytes + vertices.size() * sizeof(CUSTOMVERTEX));
    quads.vertexCount = 8;
    quads.indexCount = 12;
    quads.subsetCount = 2;
    WriteFile("data/meshes/two_quads.mesh", Encode(quads));
    IdentityTransforms();
    D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    CRigidEntity missing, entity, twin;
    testing::internal::CaptureStderr();
    missing.Init("not_there");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(missing.GetMesh(), nullptr);
    missing.Render(true);
    EXPECT_TRUE(AllBlack());

    entity.Init("two_quads");
    twin.Init("two_quads");
    ASSERT_NE(entity.GetMesh(), nullptr);
    EXPECT_EQ(entity.GetMesh(), twin.GetMesh());
    entity.GetTransform().SetPosition(D3DXVECTOR3(0.4f, 0.0f, 0.0f));
    entity.Render(false);
    auto column = [](float x) { return static_cast<int>((x + 1.0f) * 0.5f * kSize); };
    EXPECT_EQ(Pixel(column(-0.4f), kSize / 2), kBlack);     // where red would be unmoved
    EXPECT_EQ(Pixel(column(0.2f), kSize / 2), 0xFFFF0000u); // red moved right
    EXPECT_EQ(Pixel(column(0.7f), kSize / 2), 0xFF00FF00u); // green moved right
}

} // namespace
