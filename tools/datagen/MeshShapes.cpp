#include "datagen/MeshShapes.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/Tangents.h"

namespace datagen {

namespace {

constexpr float kTwoPi = 6.28318531f;

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DXVECTOR3 Normalised(const D3DXVECTOR3& v)
{
    const float length = std::sqrt(Dot(v, v));
    return length > 0 ? v / length : D3DXVECTOR3(0, 1, 0);
}

MeshGeometry OneSubset(MeshGeometry g)
{
    g.subsets = {{0, static_cast<std::int32_t>(g.indices.size() / 3)}};
    ComputeMeshTangents(g);
    return g;
}

// A flat convex face, corners counter-clockwise seen from the side it faces.
// Its uvs are the corners projected on the face: u along the first edge, v
// down the face, so that walls show their texture upright.
void AddFace(MeshGeometry& g, const std::vector<D3DXVECTOR3>& corners, float tile)
{
    const D3DXVECTOR3 normal = Normalised(Cross(corners[1] - corners[0], corners[2] - corners[0]));
    const D3DXVECTOR3 across = Normalised(corners[1] - corners[0]);
    const D3DXVECTOR3 up = Cross(normal, across);

    std::vector<D3DXVECTOR2> plane;
    float minU = 0, maxU = 0, minV = 0, maxV = 0;
    for (const D3DXVECTOR3& c : corners) {
        const D3DXVECTOR2 p(Dot(c - corners[0], across), -Dot(c - corners[0], up));
        minU = std::min(minU, p.x);
        maxU = std::max(maxU, p.x);
        minV = std::min(minV, p.y);
        maxV = std::max(maxV, p.y);
        plane.push_back(p);
    }
    const std::uint16_t base = static_cast<std::uint16_t>(g.vertices.size());
    for (size_t i = 0; i < corners.size(); ++i) {
        MeshVertex v;
        v.position = corners[i];
        v.normal = normal;
        v.uv = D3DXVECTOR2((plane[i].x - minU) / tile, (plane[i].y - minV) / tile);
        v.uv2 = D3DXVECTOR2(maxU > minU ? (plane[i].x - minU) / (maxU - minU) : 0.0f,
                            maxV > minV ? (plane[i].y - minV) / (maxV - minV) : 0.0f);
        g.vertices.push_back(v);
    }
    for (size_t i = 1; i + 1 < corners.size(); ++i) {
        g.indices.push_back(base);
        g.indices.push_back(static_cast<std::uint16_t>(base + i));
        g.indices.push_back(static_cast<std::uint16_t>(base + i + 1));
    }
}

// The six faces of the box x in [-hx, hx], y in [y0, y1], z in [-hz, hz].
void AddBoxFaces(MeshGeometry& g, float hx, float y0, float y1, float hz, float tile, bool inward)
{
    typedef D3DXVECTOR3 V;
    std::vector<std::vector<V>> faces = {
        {V(-hx, y0, hz), V(hx, y0, hz), V(hx, y1, hz), V(-hx, y1, hz)},      // +z
        {V(hx, y0, -hz), V(-hx, y0, -hz), V(-hx, y1, -hz), V(hx, y1, -hz)},  // -z
        {V(hx, y0, hz), V(hx, y0, -hz), V(hx, y1, -hz), V(hx, y1, hz)},      // +x
        {V(-hx, y0, -hz), V(-hx, y0, hz), V(-hx, y1, hz), V(-hx, y1, -hz)},  // -x
        {V(-hx, y1, hz), V(hx, y1, hz), V(hx, y1, -hz), V(-hx, y1, -hz)},    // top
        {V(-hx, y0, -hz), V(hx, y0, -hz), V(hx, y0, hz), V(-hx, y0, hz)},    // bottom
    };
    for (std::vector<V>& face : faces) {
        if (inward)
            std::reverse(face.begin() + 1, face.end());
        AddFace(g, face, tile);
    }
}

} // namespace

void ComputeMeshTangents(MeshGeometry& g)
{
    const size_t n = g.vertices.size();
    std::vector<D3DXVECTOR3> positions(n), normals(n);
    std::vector<D3DXVECTOR2> uvs(n);
    std::vector<D3DXVECTOR4> tangents(n);
    for (size_t i = 0; i < n; ++i) {
        positions[i] = g.vertices[i].position;
        normals[i] = g.vertices[i].normal;
        uvs[i] = g.vertices[i].uv;
    }
    ComputeTangents(static_cast<unsigned>(n), positions.data(), normals.data(), uvs.data(),
                    static_cast<unsigned>(g.indices.size() / 3), g.indices.data(), tangents.data());
    for (size_t i = 0; i < n; ++i)
        g.vertices[i].tangent = tangents[i];
}

MeshGeometry MakeBox(const D3DXVECTOR3& size, float tile)
{
    MeshGeometry g;
    AddBoxFaces(g, size.x / 2, 0.0f, size.y, size.z / 2, tile, false);
    return OneSubset(std::move(g));
}

MeshGeometry MakeFloor(const D3DXVECTOR3& size, float tile)
{
    const float hx = size.x / 2, hz = size.z / 2;
    MeshGeometry g;
    AddFace(g, {D3DXVECTOR3(-hx, 0, hz), D3DXVECTOR3(hx, 0, hz), D3DXVECTOR3(hx, 0, -hz), D3DXVECTOR3(-hx, 0, -hz)},
            tile);
    return OneSubset(std::move(g));
}

MeshGeometry MakeWedge(const D3DXVECTOR3& size, float tile)
{
    const float hx = size.x / 2, h = size.y, hz = size.z / 2;
    typedef D3DXVECTOR3 V;
    MeshGeometry g;
    AddFace(g, {V(-hx, 0, hz), V(hx, 0, hz), V(hx, h, -hz), V(-hx, h, -hz)}, tile);    // slope
    AddFace(g, {V(hx, 0, -hz), V(-hx, 0, -hz), V(-hx, h, -hz), V(hx, h, -hz)}, tile);  // high end
    AddFace(g, {V(-hx, 0, -hz), V(hx, 0, -hz), V(hx, 0, hz), V(-hx, 0, hz)}, tile);    // bottom
    AddFace(g, {V(hx, 0, hz), V(hx, 0, -hz), V(hx, h, -hz)}, tile);                    // +x side
    AddFace(g, {V(-hx, 0, -hz), V(-hx, 0, hz), V(-hx, h, -hz)}, tile);                 // -x side
    return OneSubset(std::move(g));
}

MeshGeometry MakeCylinder(const D3DXVECTOR3& size, int segments, float tile)
{
    segments = std::max(segments, 3);
    const float rx = size.x / 2, rz = size.z / 2, h = size.y;
    MeshGeometry g;

    // Sides: one column of two vertices per step round, the last repeating
    // the first with u carried on, so the texture wraps without a jump.
    float around = 0;
    for (int i = 0; i <= segments; ++i) {
        const float a = kTwoPi * i / segments;
        const D3DXVECTOR3 rim(rx * std::sin(a), 0, rz * std::cos(a));
        if (i > 0) {
            const float b = kTwoPi * (i - 1) / segments;
            around += std::sqrt(Dot(rim - D3DXVECTOR3(rx * std::sin(b), 0, rz * std::cos(b)),
                                    rim - D3DXVECTOR3(rx * std::sin(b), 0, rz * std::cos(b))));
        }
        const D3DXVECTOR3 normal = Normalised(D3DXVECTOR3(std::sin(a) / rx, 0, std::cos(a) / rz));
        for (int top = 0; top < 2; ++top) {
            MeshVertex v;
            v.position = rim + D3DXVECTOR3(0, top ? h : 0, 0);
            v.normal = normal;
            v.uv = D3DXVECTOR2(around / tile, top ? 0.0f : h / tile);
            v.uv2 = D3DXVECTOR2(static_cast<float>(i) / segments, top ? 0.0f : 1.0f);
            g.vertices.push_back(v);
        }
    }
    for (int i = 0; i < segments; ++i) {
        const std::uint16_t b0 = static_cast<std::uint16_t>(2 * i), t0 = b0 + 1, b1 = b0 + 2, t1 = b0 + 3;
        for (std::uint16_t index : {b0, b1, t1, b0, t1, t0})
            g.indices.push_back(index);
    }

    // Caps: fans round their centre, seen from above and from below.
    for (int top = 0; top < 2; ++top) {
        const float y = top ? h : 0.0f;
        std::vector<D3DXVECTOR3> rim;
        for (int i = 0; i < segments; ++i) {
            const float a = kTwoPi * i / segments;
            rim.push_back(D3DXVECTOR3(rx * std::sin(a), y, rz * std::cos(a)));
        }
        if (!top)
            std::reverse(rim.begin(), rim.end());
        AddFace(g, rim, tile);
    }
    return OneSubset(std::move(g));
}

MeshGeometry MakeSky(const D3DXVECTOR3& size)
{
    MeshGeometry g;
    const float hy = size.y / 2;
    AddBoxFaces(g, size.x / 2, -hy, hy, size.z / 2, std::max(size.x, size.z), true);
    // Tangents from the faces' own mapping: the gradient below leaves the
    // ceiling and the floor without a u-v area to take them from.
    g = OneSubset(std::move(g));
    // Half a texel in from either end so that filtering never wraps the
    // gradient's top into its bottom.
    for (MeshVertex& v : g.vertices)
        v.uv.y = std::min(0.99f, std::max(0.01f, (hy - v.position.y) / size.y));
    return g;
}

} // namespace datagen
