#pragma once

#include <cstring>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9math.h"
#include "render/VertexTypes.h"

// A range of triangles drawn with one call (a material's share of a mesh).
struct SubsetRange {
    int firstTriangle;
    int triangleCount;
};

// 16-bit indices in a managed Direct3D buffer.
class CIndexBuffer {
public:
    CIndexBuffer() = default;
    ~CIndexBuffer() { Release(); }
    CIndexBuffer(const CIndexBuffer&) = delete;
    CIndexBuffer& operator=(const CIndexBuffer&) = delete;

    // Creates the buffer on the game's device and copies count indices into it.
    void Create(unsigned count, const unsigned short* indices);
    void Release();

    IDirect3DIndexBuffer9* GetBuffer() const { return m_Buffer; }
    unsigned GetIndexCount() const { return m_IndexCount; }
    // The indices as given, kept for finding how near the eye a mesh comes.
    const std::vector<unsigned short>& GetIndices() const { return m_Indices; }

private:
    std::vector<unsigned short> m_Indices;
    IDirect3DIndexBuffer9* m_Buffer = nullptr;
    unsigned m_IndexCount = 0;
    void* m_LockPointer = nullptr;
};

// Geometry in one vertex layout: a managed vertex buffer, an optional index
// buffer, the subsets, the primitive type and a CPU copy of the vertices (the
// debug views read it, the buffer itself is never locked again).
class IVertexBuffer {
public:
    IVertexBuffer() = default;
    virtual ~IVertexBuffer() = 0;
    IVertexBuffer(const IVertexBuffer&) = delete;
    IVertexBuffer& operator=(const IVertexBuffer&) = delete;

    // The whole buffer. With indices only triangle lists are drawn; without,
    // lists, strips and point lists. Other types draw nothing.
    virtual void Render() = 0;
    // One subset, with the indices and the stored primitive type. Draws
    // nothing for an index outside the subset list, without indices, or for a
    // subset reaching past the indices.
    virtual void RenderSubset(int index) = 0;
    // Drops the Direct3D buffers (the index buffer with its holder) and the
    // CPU copy. Safe to call again.
    virtual void Release() = 0;
    // Copies vertexCount vertices into a new managed buffer and into the CPU
    // copy; the caller keeps its array. Replaces earlier vertices, keeps the
    // index buffer and the subsets.
    virtual void Create(unsigned vertexCount, const void* vertices, D3DPRIMITIVETYPE type) = 0;
    virtual unsigned GetVertexSize() const = 0;
    virtual unsigned GetBufferSize() const { return m_VertexCount * GetVertexSize(); }
    // The world axes, for checking a model's frame; the scale is not used here.
    virtual void DebugDraw(float scale);

    // Takes the index buffer over (a previous one is deleted).
    void SetIndexBuffer(CIndexBuffer* indexBuffer);
    CIndexBuffer* GetIndexBuffer() const { return m_IndexBuffer; }

    // Filled by the mesh and character loaders.
    std::vector<SubsetRange>& GetSubsets() { return m_Subsets; }
    const std::vector<SubsetRange>& GetSubsets() const { return m_Subsets; }

    unsigned GetVertexCount() const { return m_VertexCount; }
    D3DPRIMITIVETYPE GetPrimitiveType() const { return m_PrimitiveType; }
    IDirect3DVertexBuffer9* GetD3DBuffer() const { return m_VertexBuffer; }
    // The CPU copy (null before Create and after Release).
    const unsigned char* GetVertexData() const { return m_Vertices; }
    // The box around every vertex position (the first three floats of each
    // vertex); false without vertices or with a position that is not a number.
    bool GetPositionBounds(D3DXVECTOR3& low, D3DXVECTOR3& high) const;

protected:
    void CreateAs(unsigned vertexCount, const void* vertices, D3DPRIMITIVETYPE type, unsigned vertexSize,
                  DWORD fvf);
    void RenderAs(unsigned vertexSize, DWORD fvf);
    void RenderSubsetAs(int index, unsigned vertexSize, DWORD fvf);
    void ReleaseAll();

    CIndexBuffer* m_IndexBuffer = nullptr;
    std::vector<SubsetRange> m_Subsets;
    void* m_LockPointer = nullptr;
    IDirect3DVertexBuffer9* m_VertexBuffer = nullptr;
    unsigned m_VertexCount = 0;
    D3DPRIMITIVETYPE m_PrimitiveType = D3DPT_FORCE_DWORD;
    unsigned char* m_Vertices = nullptr;
    // Worked out on first use: 0 not yet, 1 known, -1 no box.
    mutable int m_BoundsState = 0;
    mutable D3DXVECTOR3 m_BoundsLow, m_BoundsHigh;
};

template <class T>
class CVertexBufferDef : public IVertexBuffer {
public:
    ~CVertexBufferDef() override { ReleaseAll(); }

    void Render() override { RenderAs(sizeof(T), T::FVF); }
    void RenderSubset(int index) override { RenderSubsetAs(index, sizeof(T), T::FVF); }
    void Release() override { ReleaseAll(); }
    void Create(unsigned vertexCount, const void* vertices, D3DPRIMITIVETYPE type) override
    {
        CreateAs(vertexCount, vertices, type, sizeof(T), T::FVF);
    }
    unsigned GetVertexSize() const override { return sizeof(T); }

    const T* GetVertices() const { return reinterpret_cast<const T*>(m_Vertices); }
};

// A vertex position placed by a matrix, in doubles for the reckonings that
// test a mesh's triangles against bounds (no float rounding at their edges).
struct PlacedPoint {
    double x, y, z;
};

// Hands each of the mesh's indexed triangles, its corners' positions (the
// first three floats of a vertex) placed by `placed` (row vectors), to
// `each(a, b, c)`, which returns false to stop there. False when the
// triangles cannot be read: not an indexed triangle list with its CPU copy,
// or an index past the vertices.
template <typename Each>
bool ForEachPlacedTriangle(const IVertexBuffer& mesh, const D3DXMATRIX& placed, Each each)
{
    const CIndexBuffer* indexBuffer = mesh.GetIndexBuffer();
    const unsigned char* vertices = mesh.GetVertexData();
    const unsigned stride = mesh.GetVertexSize();
    if (!indexBuffer || !vertices || stride < 3 * sizeof(float) || mesh.GetPrimitiveType() != D3DPT_TRIANGLELIST)
        return false;
    const std::vector<unsigned short>& indices = indexBuffer->GetIndices();
    const unsigned count = mesh.GetVertexCount();
    auto at = [&](unsigned short index, PlacedPoint* out) {
        if (index >= count)
            return false;
        float p[3];
        std::memcpy(p, vertices + static_cast<size_t>(index) * stride, sizeof p);
        out->x = p[0] * placed._11 + p[1] * placed._21 + p[2] * placed._31 + placed._41;
        out->y = p[0] * placed._12 + p[1] * placed._22 + p[2] * placed._32 + placed._42;
        out->z = p[0] * placed._13 + p[1] * placed._23 + p[2] * placed._33 + placed._43;
        return true;
    };
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
        PlacedPoint a, b, c;
        if (!at(indices[i], &a) || !at(indices[i + 1], &b) || !at(indices[i + 2], &c))
            return false;
        if (!each(a, b, c))
            break;
    }
    return true;
}

// Normal-mapped static meshes.
class CNormalTangentTexturedVB : public CVertexBufferDef<NORMAL_TANGENT_TEXTURED_VERTEX> {
public:
    // The first vertex's normal (red) and tangent (green), scale units long.
    void DebugDraw(float scale) override;
};

// Skinned Cal3D geometry; the model library fills it and its bone palette.
class CCal3DVertexBuffer : public CVertexBufferDef<TCalNormalVertex> {
public:
    int coreMeshId = 0;
    // Cal3D bone ids, in the order of the skinning shader's matrix palette.
    std::vector<int> bonePalette;
};

// The particle batch: filled once with the particle quads by the particle system.
class CParticlesVB : public CVertexBufferDef<PARTICLE_VERTEX> {};
