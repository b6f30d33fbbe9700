#include <gtest/gtest.h>

#include <filesystem>

#include "render/DeviceFixture.h"
#include "render/VertexBuffers.h"
#include "scene/MeshCache.h"
#include "scene/RigidEntity.h"
#include "scene/mesh_file.h"

namespace {

void WriteGoodMesh(const std::string& name, std::uint32_t vertices = 6)
{
    meshfile::WriteFile("data/meshes/" + name + ".mesh",
                        meshfile::Encode(meshfile::Consistent(MESH_CUSTOMVERTEX, 16, vertices)));
}

// A name is read from disk once: changing or removing the file afterwards
// changes nothing for the rest of the run.
TEST(MeshCache, ReadsEachNameOnce)
{
    drawtest::ScratchFolder folder("mesh_cache_once");
    CMeshCache cache;
    WriteGoodMesh("crate");
    IVertexBuffer* first = cache.GetMesh("crate");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetVertexCount(), 6u);

    WriteGoodMesh("crate", 9);
    EXPECT_EQ(cache.GetMesh("crate"), first);
    std::filesystem::remove("data/meshes/crate.mesh");
    EXPECT_EQ(cache.GetMesh("crate"), first);
    EXPECT_EQ(first->GetVertexCount(), 6u);
}

// Missing and refused files are remembered as absent and not tried again,
// even once a good file appears under the name.
TEST(MeshCache, RemembersAbsentMeshes)
{
    drawtest::ScratchFolder folder("mesh_cache_absent");
    CMeshCache cache;

    testing::internal::CaptureStderr();
    EXPECT_EQ(cache.GetMesh("nowhere"), nullptr);
    meshfile::Spec broken = meshfile::Consistent(MESH_CUSTOMVERTEX, 16);
    broken.vertexType = 1;
    meshfile::WriteFile("data/meshes/broken.mesh", meshfile::Encode(broken));
    EXPECT_EQ(cache.GetMesh("broken"), nullptr);
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("data/meshes/broken.mesh"), std::string::npos) << output;

    EXPECT_TRUE(cache.IsCached("nowhere"));
    EXPECT_TRUE(cache.IsCached("broken"));
    WriteGoodMesh("nowhere");
    WriteGoodMesh("broken");
    EXPECT_EQ(cache.GetMesh("nowhere"), nullptr);
    EXPECT_EQ(cache.GetMesh("broken"), nullptr);

    cache.Clear();
    EXPECT_FALSE(cache.IsCached("broken"));
    EXPECT_NE(cache.GetMesh("broken"), nullptr);
}

// Entities of one name share the one buffer of the process-wide cache; an
// entity whose mesh is missing has none.
TEST(MeshCache, EntitiesOfOneNameShareTheBuffer)
{
    drawtest::ScratchFolder folder("mesh_cache_shared");
    WriteGoodMesh("shared_barrel");
    CRigidEntity a, b, missing;
    a.Init("shared_barrel");
    b.Init("shared_barrel");
    testing::internal::CaptureStderr();
    missing.Init("shared_missing");
    testing::internal::GetCapturedStderr();

    ASSERT_NE(a.GetMesh(), nullptr);
    EXPECT_EQ(a.GetMesh(), b.GetMesh());
    EXPECT_EQ(a.GetMesh(), getMeshCache().GetMesh("shared_barrel"));
    EXPECT_EQ(missing.GetMesh(), nullptr);
    getMeshCache().Clear();
}

} // namespace
