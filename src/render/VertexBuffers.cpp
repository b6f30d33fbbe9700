#include "render/VertexBuffers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/Startup.h"
#include "render/DrawHelper.h"

namespace {

// Indices a draw of `primitives` primitives of the type reads.
unsigned long long IndicesFor(D3DPRIMITIVETYPE type, unsigned long long primitives)
{
    switch (type) {
    case D3DPT_POINTLIST: return primitives;
    case D3DPT_LINELIST: return primitives * 2;
    case D3DPT_LINESTRIP: return primitives + 1;
    case D3DPT_TRIANGLELIST: return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitives + 2;
    default: return ~0ull;
    }
}

} // namespace

// --- CIndexBuffer ------------------------------------------------------------------

void CIndexBuffer::Create(unsigned count, const unsigned short* indices)
{
    Release();
    m_IndexCount = count;
    if (indices)
        m_Indices.assign(indices, indices + count);
    if (!D3DDevice || count == 0)
        return;
    const UINT bytes = count * sizeof(unsigned short);
    if (FAILED(D3DDevice->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                            &m_Buffer, nullptr)))
        return;
    if (SUCCEEDED(m_Buffer->Lock(0, bytes, &m_LockPointer, 0))) {
        std::memcpy(m_LockPointer, indices, bytes);
        m_Buffer->Unlock();
    }
    m_LockPointer = nullptr;
}

void CIndexBuffer::Release()
{
    if (m_Buffer) {
        m_Buffer->Release();
        m_Buffer = nullptr;
    }
    m_IndexCount = 0;
    m_Indices.clear();
    m_Indices.shrink_to_fit();
}

// --- IVertexBuffer -------------------------------------------------------------------

IVertexBuffer::~IVertexBuffer()
{
    // The derived destructor has released the buffers already; this catches a
    // holder that never got past the base.
    delete m_IndexBuffer;
    delete[] m_Vertices;
}

void IVertexBuffer::DebugDraw(float /*scale*/)
{
    getDrawHelper().DrawAxes();
}

void IVertexBuffer::SetIndexBuffer(CIndexBuffer* indexBuffer)
{
    if (indexBuffer != m_IndexBuffer)
        delete m_IndexBuffer;
    m_IndexBuffer = indexBuffer;
}

void IVertexBuffer::CreateAs(unsigned vertexCount, const void* vertices, D3DPRIMITIVETYPE type,
                             unsigned vertexSize, DWORD fvf)
{
    if (m_VertexBuffer) {
        m_VertexBuffer->Release();
        m_VertexBuffer = nullptr;
    }
    delete[] m_Vertices;
    m_Vertices = nullptr;
    m_BoundsState = 0;

    m_PrimitiveType = type;
    m_VertexCount = vertices ? vertexCount : 0;
    const unsigned bytes = m_VertexCount * vertexSize;
    if (bytes == 0)
        return;

    m_Vertices = new unsigned char[bytes];
    std::memcpy(m_Vertices, vertices, bytes);

    if (!D3DDevice)
        return;
    if (FAILED(D3DDevice->CreateVertexBuffer(bytes, 0, fvf, D3DPOOL_MANAGED, &m_VertexBuffer, nullptr)))
        return;
    if (SUCCEEDED(m_VertexBuffer->Lock(0, bytes, &m_LockPointer, 0))) {
        std::memcpy(m_LockPointer, vertices, bytes);
        m_VertexBuffer->Unlock();
    }
    m_LockPointer = nullptr;
}

void IVertexBuffer::RenderAs(unsigned vertexSize, DWORD fvf)
{
    if (!D3DDevice || !m_VertexBuffer)
        return;
    D3DDevice->SetStreamSource(0, m_VertexBuffer, 0, vertexSize);
    D3DDevice->SetFVF(fvf);

    if (m_IndexBuffer) {
        if (m_PrimitiveType != D3DPT_TRIANGLELIST || !m_IndexBuffer->GetBuffer())
            return;
        const UINT triangles = m_IndexBuffer->GetIndexCount() / 3;
        if (triangles == 0)
            return;
        D3DDevice->SetIndices(m_IndexBuffer->GetBuffer());
        D3DDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, m_VertexCount, 0, triangles);
        return;
    }

    switch (m_PrimitiveType) {
    case D3DPT_TRIANGLELIST:
        if (m_VertexCount >= 3)
            D3DDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, m_VertexCount / 3);
        break;
    case D3DPT_TRIANGLESTRIP:
        if (m_VertexCount >= 3)
            D3DDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, m_VertexCount - 2);
        break;
    case D3DPT_POINTLIST:
        D3DDevice->DrawPrimitive(D3DPT_POINTLIST, 0, m_VertexCount);
        break;
    default:
        break;
    }
}

void IVertexBuffer::RenderSubsetAs(int index, unsigned vertexSize, DWORD fvf)
{
    if (!D3DDevice || !m_VertexBuffer || !m_IndexBuffer || !m_IndexBuffer->GetBuffer())
        return;
    if (index < 0 || static_cast<size_t>(index) >= m_Subsets.size())
        return;
    const SubsetRange& subset = m_Subsets[index];
    if (subset.firstTriangle < 0 || subset.triangleCount <= 0)
        return;
    const unsigned long long start = static_cast<unsigned long long>(subset.firstTriangle) * 3;
    if (start + IndicesFor(m_PrimitiveType, subset.triangleCount) > m_IndexBuffer->GetIndexCount())
        return;

    D3DDevice->SetStreamSource(0, m_VertexBuffer, 0, vertexSize);
    D3DDevice->SetFVF(fvf);
    D3DDevice->SetIndices(m_IndexBuffer->GetBuffer());
    D3DDevice->DrawIndexedPrimitive(m_PrimitiveType, 0, 0, m_VertexCount, static_cast<UINT>(start),
                                    subset.triangleCount);
}

void IVertexBuffer::ReleaseAll()
{
    if (m_VertexBuffer) {
        m_VertexBuffer->Release();
        m_VertexBuffer = nullptr;
    }
    delete m_IndexBuffer;
    m_IndexBuffer = nullptr;
    delete[] m_Vertices;
    m_Vertices = nullptr;
    m_BoundsState = 0;
}

bool IVertexBuffer::GetPositionBounds(D3DXVECTOR3& low, D3DXVECTOR3& high) const
{
    if (m_BoundsState == 0) {
        m_BoundsState = -1;
        const unsigned stride = GetVertexSize();
        if (m_Vertices && m_VertexCount > 0 && stride >= 3 * sizeof(float)) {
            bool finite = true;
            for (unsigned i = 0; i < m_VertexCount && finite; ++i) {
                float p[3];
                std::memcpy(p, m_Vertices + static_cast<size_t>(i) * stride, sizeof p);
                finite = std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
                const D3DXVECTOR3 v(p[0], p[1], p[2]);
                m_BoundsLow = i == 0 ? v : D3DXVECTOR3(std::min(m_BoundsLow.x, v.x), std::min(m_BoundsLow.y, v.y),
                                                       std::min(m_BoundsLow.z, v.z));
                m_BoundsHigh = i == 0 ? v : D3DXVECTOR3(std::max(m_BoundsHigh.x, v.x), std::max(m_BoundsHigh.y, v.y),
                                                        std::max(m_BoundsHigh.z, v.z));
            }
            m_BoundsState = finite ? 1 : -1;
        }
    }
    if (m_BoundsState != 1)
        return false;
    low = m_BoundsLow;
    high = m_BoundsHigh;
    return true;
}

// --- CNormalTangentTexturedVB ----------------------------------------------------------

void CNormalTangentTexturedVB::DebugDraw(float scale)
{
    const NORMAL_TANGENT_TEXTURED_VERTEX* v = GetVertices();
    if (!v || m_VertexCount == 0)
        return;
    const D3DXVECTOR3 position(v->x, v->y, v->z);
    const D3DXVECTOR3 normal(v->nx, v->ny, v->nz);
    const D3DXVECTOR3 tangent(v->tx, v->ty, v->tz);
    getDrawHelper().DrawLine(position, position + normal * scale, 0xFFFF0000);
    getDrawHelper().DrawLine(position, position + tangent * scale, 0xFF00FF00);
}
