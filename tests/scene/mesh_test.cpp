// The ".mesh" reader, its cache and the rigid entities that draw the meshes.
#include <gtest/gtest.h>

#include <cstdint>
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

// A ".mesh" file's fields, written as given: the counts are not derived from
// the data, so a test can make them disagree. The words the reader skips hold junk.
struct Recipe {
    std::uint32_t vertexCount = 0, indexCount = 0, vertexType = 0, vertexSize = 16, indexSize = 2,
                  primitiveType = 4, subsetCount = 0;
    std::vector<std::uint8_t> vertexBytes;
    std::vector<std::uint16_t> indices;
    std::vector<SubsetRange> subsets;

    std::vector<std::uint8_t> Encode() const
    {
        std::vector<std::uint8_t> out;
        auto put = [&out](std::uint32_t v, int bytes = 4) {
            for (int i = 0; i < bytes; ++i)
                out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        };
        for (std::uint32_t word : {0xDEADBEEFu, 0x01234567u, 0xFFFFFFFFu, vertexCount, indexCount, vertexType,
                                   vertexSize, indexSize, primitiveType, subsetCount, 0xCAFEBABEu, 0x7F7F7F7Fu})
            put(word);
        out.insert(out.end(), vertexBytes.begin(), vertexBytes.end());
        for (std::uint16_t i : indices)
            put(i, 2);
        for (const SubsetRange& sub : subsets)
            for (int value : {sub.firstTriangle, sub.triangleCount})
                put(static_cast<std::uint32_t>(value));
        return out;
    }
};

// Six CUSTOMVERTEX vertices whose bytes all differ from their neighbours, and
// two subsets of two triangles. (The generator's meshes, read back in its own
// tests, cover the other vertex types.)
Recipe Consistent()
{
    Recipe r;
    r.vertexCount = 6;
    for (std::uint32_t i = 0; i < 6 * 16; ++i)
        r.vertexBytes.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    for (int sub = 0; sub < 2; ++sub) {
        for (int corner = 0; corner < 6; ++corner)
            r.indices.push_back(static_cast<std::uint16_t>((sub * 6 + corner / 3 * 3 + corner % 3 * 2) % 6));
        r.subsets.push_back({sub * 2, 2});
    }
    r.indexCount = 12;
    r.subsetCount = 2;
    return r;
}

void WriteMeshFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::filesystem::create_directories("data/meshes");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
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

// Each kind of broken file is refused, with the file named on the debug
// output, and without reading outside what was read from disk.
TEST_F(MeshTest, RefusesEveryKindOfBrokenFileAndAcceptsTheEdges)
{
    const Recipe good = Consistent();
    const struct {
        const char* what;
        std::function<void(Recipe&)> spoil;
        size_t cut;
        bool refused = true;
    } cases[] = {
        {"header cut short", nullptr, good.Encode().size() - 20},
        {"vertex type 1", [](Recipe& r) { r.vertexType = 1; }, 0},
        {"vertex size of another type", [](Recipe& r) { r.vertexSize = 28; }, 0},
        {"index size 4", [](Recipe& r) { r.indexSize = 4; }, 0},
        {"no subset", [](Recipe& r) { r.subsetCount = 0; r.subsets.clear(); }, 0},
        {"primitive type 7", [](Recipe& r) { r.primitiveType = 7; }, 0},
        {"vertex data cut short", [](Recipe& r) { r.indices.clear(); r.subsets.clear(); }, 5},
        {"index data cut short", [](Recipe& r) { r.subsets.clear(); }, 2},
        {"subsets cut short", nullptr, 3},
        {"a vertex count no file could hold", [](Recipe& r) { r.vertexCount = 0xFFFFFFFFu; }, 0},
        {"a subset count no file could hold", [](Recipe& r) { r.subsetCount = 0xFFFFFFFFu; }, 0},
        {"an index past the vertices", [](Recipe& r) { r.indices[4] = 6; }, 0},
        {"a subset past the indices", [](Recipe& r) { r.subsets[1] = {2, 3}; }, 0},
        {"a subset starting past the indices", [](Recipe& r) { r.subsets[1] = {5, 0}; }, 0},
        {"a negative triangle count", [](Recipe& r) { r.subsets[0] = {0, -2}; }, 0},
        {"a subset ending on the last index", [](Recipe& r) { r.subsets[1] = {1, 3}; }, 0, false},
        {"bytes after the subsets", [](Recipe& r) { r.subsets.push_back({0, 0}); }, 0, false},
        {"the last vertex indexed", [](Recipe& r) { r.indices[4] = 5; }, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Recipe recipe = good;
        if (c.spoil)
            c.spoil(recipe);
        std::vector<std::uint8_t> bytes = recipe.Encode();
        bytes.resize(bytes.size() - c.cut);
        WriteMeshFile("test.mesh", bytes);
        testing::internal::CaptureStderr();
        const std::unique_ptr<IVertexBuffer> mesh(CMeshCache::LoadMesh("test.mesh"));
        const std::string output = testing::internal::GetCapturedStderr();
        EXPECT_EQ(mesh == nullptr, c.refused);
        EXPECT_EQ(output.find("test.mesh refused: ") != std::string::npos, c.refused) << output;
    }

    // A name that leads to an endless device is never read.
    std::filesystem::create_symlink("/dev/zero", "endless.mesh");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CMeshCache::LoadMesh("endless.mesh"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mesh endless.mesh refused: it is not a regular file\n");
}

// A name is read from disk once; missing and refused files are remembered as
// absent, even once a good file appears under the name.
TEST_F(MeshTest, TheCacheReadsEachNameOnce)
{
    const Recipe good = Consistent();
    Recipe broken = good;
    broken.vertexType = 1;
    WriteMeshFile("data/meshes/crate.mesh", good.Encode());
    WriteMeshFile("data/meshes/broken.mesh", broken.Encode());
    CMeshCache cache;
    IVertexBuffer* crate = cache.GetMesh("crate");
    ASSERT_NE(crate, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(cache.GetMesh("nowhere"), nullptr);
    EXPECT_EQ(cache.GetMesh("broken"), nullptr);
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("data/meshes/broken.mesh"), std::string::npos) << output;
    EXPECT_NE(output.find("Mesh data/meshes/nowhere.mesh refused: it is missing\n"), std::string::npos) << output;

    std::filesystem::remove("data/meshes/crate.mesh");
    for (const char* name : {"nowhere", "broken"})
        WriteMeshFile(std::string("data/meshes/") + name + ".mesh", good.Encode());
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
    const D3DCOLOR r = 0xFFFF0000, g = 0xFF00FF00;
    const CUSTOMVERTEX vertices[8] = {{-0.5f, -0.5f, 0.5f, r}, {-0.1f, -0.5f, 0.5f, r}, {-0.1f, 0.5f, 0.5f, r},
                                      {-0.5f, 0.5f, 0.5f, r},  {0.1f, -0.5f, 0.5f, g},  {0.5f, -0.5f, 0.5f, g},
                                      {0.5f, 0.5f, 0.5f, g},   {0.1f, 0.5f, 0.5f, g}};
    Recipe quads;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(vertices);
    quads.vertexBytes.assign(bytes, bytes + sizeof(vertices));
    quads.indices = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    quads.subsets = {{0, 2}, {2, 2}};
    quads.vertexCount = 8;
    quads.indexCount = 12;
    quads.subsetCount = 2;
    WriteMeshFile("data/meshes/two_quads.mesh", quads.Encode());
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
    EXPECT_EQ(Pixel(column(-0.4f), kSize / 2), kBlack); // where red would be unmoved
    EXPECT_EQ(Pixel(column(0.2f), kSize / 2), r);      // red moved right
    EXPECT_EQ(Pixel(column(0.7f), kSize / 2), g);      // green moved right
}

} // namespace
