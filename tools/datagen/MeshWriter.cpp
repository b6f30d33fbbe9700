#include "datagen/MeshWriter.h"

#include "datagen/BinaryWriter.h"

namespace datagen {

namespace {

bool Refuse(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

bool Check(const MeshGeometry& g, MeshVertexType type, std::string* error)
{
    if (MeshVertexSize(type) == 0)
        return Refuse(error, "vertex type " + std::to_string(type) + " is not a mesh type");
    if (g.vertices.size() > 65536)
        return Refuse(error, std::to_string(g.vertices.size()) + " vertices are more than 16-bit indices reach");
    if (g.indices.size() % 3 != 0)
        return Refuse(error, "the indices do not make whole triangles");
    for (std::uint16_t i : g.indices)
        if (i >= g.vertices.size())
            return Refuse(error, "index " + std::to_string(i) + " is past the vertices");
    if (g.subsets.empty())
        return Refuse(error, "there is no subset");
    const std::int64_t triangles = static_cast<std::int64_t>(g.indices.size() / 3);
    for (const MeshSubset& s : g.subsets)
        if (s.firstTriangle < 0 || s.triangleCount < 0 ||
            std::int64_t(s.firstTriangle) + s.triangleCount > triangles)
            return Refuse(error, "a subset reaches past the triangles");
    return true;
}

void WriteVertex(BinaryWriter& w, const MeshVertex& v, MeshVertexType type)
{
    w.F32(v.position.x);
    w.F32(v.position.y);
    w.F32(v.position.z);
    if (type == MESH_CUSTOMVERTEX) {
        w.U32(v.colour);
        return;
    }
    if (type != MESH_DOUBLE_TEXTURED_VERTEX) {
        w.F32(v.normal.x);
        w.F32(v.normal.y);
        w.F32(v.normal.z);
    }
    w.F32(v.uv.x);
    w.F32(v.uv.y);
    w.F32(v.uv2.x);
    w.F32(v.uv2.y);
    if (type == MESH_NORMAL_TANGENT_TEXTURED_VERTEX) {
        w.F32(v.tangent.x);
        w.F32(v.tangent.y);
        w.F32(v.tangent.z);
        w.F32(v.tangent.w);
    }
}

} // namespace

Bytes EncodeMesh(const MeshGeometry& g, MeshVertexType type, std::string* error)
{
    if (!Check(g, type, error))
        return {};
    BinaryWriter w;
    for (int i = 0; i < 3; ++i)
        w.U32(0);
    w.U32(static_cast<std::uint32_t>(g.vertices.size()));
    w.U32(static_cast<std::uint32_t>(g.indices.size()));
    w.U32(type);
    w.U32(MeshVertexSize(type));
    w.U32(2);
    w.U32(4);  // triangle list
    w.U32(static_cast<std::uint32_t>(g.subsets.size()));
    w.U32(0);
    w.U32(0);
    for (const MeshVertex& v : g.vertices)
        WriteVertex(w, v, type);
    for (std::uint16_t i : g.indices)
        w.U16(i);
    for (const MeshSubset& s : g.subsets) {
        w.I32(s.firstTriangle);
        w.I32(s.triangleCount);
    }
    return w.Take();
}

} // namespace datagen
