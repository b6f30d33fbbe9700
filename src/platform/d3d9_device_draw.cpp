// The device's draws: vertex formats, the streams that carry vertices and
// indices from the game's memory, and the draw calls.
#include "platform/d3d9_device_impl.h"

namespace platform {
namespace gl {

namespace {

VertexLayout DecodeFvf(DWORD fvf)
{
    VertexLayout l;
    unsigned offset = 0;
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    switch (position) {
    case 0: break;
    case D3DFVF_XYZ: l.positionSize = 3; offset = 12; break;
    case D3DFVF_XYZRHW: l.positionSize = 4; l.pretransformed = true; offset = 16; break;
    case D3DFVF_XYZW: l.positionSize = 4; offset = 16; break;
    case D3DFVF_XYZB1: case D3DFVF_XYZB2: case D3DFVF_XYZB3: case D3DFVF_XYZB4: case D3DFVF_XYZB5:
        // Blend weights follow the position; nothing here reads them.
        l.positionSize = 3;
        offset = 12 + 4 * ((position - D3DFVF_XYZB1) / 2 + 1);
        break;
    default: return l;
    }
    if (fvf & D3DFVF_NORMAL) { l.normal = static_cast<int>(offset); offset += 12; }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) { l.diffuse = static_cast<int>(offset); offset += 4; }
    if (fvf & D3DFVF_SPECULAR) { l.specular = static_cast<int>(offset); offset += 4; }
    l.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (l.texCount > 8)
        return l;
    for (unsigned set = 0; set < l.texCount; ++set) {
        static const GLint sizes[4] = {2, 3, 4, 1};
        l.texSize[set] = sizes[(fvf >> (16 + 2 * set)) & 3];
        l.tex[set] = static_cast<int>(offset);
        offset += 4 * static_cast<unsigned>(l.texSize[set]);
    }
    l.size = offset;
    l.valid = true;
    return l;
}

// Vertices a draw of `count` primitives reads, and the GL mode.
bool PrimitiveShape(D3DPRIMITIVETYPE type, UINT count, GLenum* mode, UINT* vertices)
{
    switch (type) {
    case D3DPT_POINTLIST: *mode = GL_POINTS; *vertices = count; return true;
    case D3DPT_LINELIST: *mode = GL_LINES; *vertices = count * 2; return true;
    case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; *vertices = count + 1; return true;
    case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; *vertices = count * 3; return true;
    case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; *vertices = count + 2; return true;
    case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; *vertices = count + 2; return true;
    default: return false;
    }
}

} // namespace

bool Device::PrepareDraw(const VertexLayout& layout)
{
    if (!layout.valid || !MakeCurrent(m_Core))
        return false;
    const bool fixedFunction = m_EffectProgram == 0;
    if (fixedFunction && layout.positionSize == 0)
        return false;
    if (!ApplyTargets(DepthInUse()))
        return false;
    ApplyStates();
    const GLint alphaFunc = m_RenderStates[D3DRS_ALPHATESTENABLE] ? static_cast<GLint>(m_RenderStates[D3DRS_ALPHAFUNC])
                                                                  : static_cast<GLint>(D3DCMP_ALWAYS);
    const GLint alphaRef = static_cast<GLint>(m_RenderStates[D3DRS_ALPHAREF] & 0xFF);
    if (fixedFunction) {
        if (!UseFixedProgram(layout, alphaFunc, alphaRef))
            return false;
    } else {
        if (alphaFunc != static_cast<GLint>(D3DCMP_ALWAYS) && m_EffectAlphaFunc < 0 && m_EffectRefit)
            m_EffectRefit();
        glUseProgram(m_EffectProgram);
        if (m_EffectAlphaFunc >= 0)
            glUniform1i(m_EffectAlphaFunc, alphaFunc);
        if (m_EffectAlphaRef >= 0)
            glUniform1i(m_EffectAlphaRef, alphaRef);
    }
    BindTextures(fixedFunction, layout);
    return true;
}

void Device::BindVertices(GLuint buffer, size_t base, UINT stride, const VertexLayout& layout)
{
    // Specified anew at every draw: a deleted buffer's name may come back as another.
    glBindVertexArray(m_VertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    auto attribute = [&](GLuint location, int offset, GLint size, GLenum type, GLboolean normalized) {
        if (offset < 0) {
            glDisableVertexAttribArray(location);
            return;
        }
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, size, type, normalized, static_cast<GLsizei>(stride),
                              reinterpret_cast<const void*>(base + static_cast<size_t>(offset)));
    };
    attribute(kAttribPosition, layout.positionSize ? 0 : -1, layout.positionSize, GL_FLOAT, GL_FALSE);
    attribute(kAttribNormal, layout.normal, 3, GL_FLOAT, GL_FALSE);
    attribute(kAttribColor0, layout.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
    attribute(kAttribColor1, layout.specular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
    for (unsigned set = 0; set < 4; ++set)
        attribute(kAttribTexCoord0 + set, set < layout.texCount ? layout.tex[set] : -1, layout.texSize[set], GL_FLOAT,
                  GL_FALSE);
}

size_t Device::Stream(GLuint buffer, GLsizeiptr& used, const void* data, size_t bytes)
{
    glBindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    GLsizeiptr size = kStreamBufferSize;
    if (static_cast<GLsizeiptr>(bytes) > size) {
        // Bigger than the ring: a buffer of its own size for this once.
        glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(bytes), data, GL_STREAM_DRAW);
        used = size; // the next small draw orphans it back to the ring size
        return 0;
    }
    const GLsizeiptr start = (used + 15) & ~GLsizeiptr(15);
    if (start + static_cast<GLsizeiptr>(bytes) > size) {
        // Orphan the storage rather than wait for draws still reading it.
        glBufferData(GL_COPY_WRITE_BUFFER, size, nullptr, GL_STREAM_DRAW);
        used = 0;
        glBufferSubData(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
        used = static_cast<GLsizeiptr>(bytes);
        return 0;
    }
    // The range is fresh: no queued draw reads it (the ring is orphaned
    // before it wraps). Written without a wait, so that a software renderer
    // does not draw everything queued so far before taking the bytes.
    if (void* out = glMapBufferRange(GL_COPY_WRITE_BUFFER, start, static_cast<GLsizeiptr>(bytes),
                                     GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT)) {
        std::memcpy(out, data, bytes);
        glUnmapBuffer(GL_COPY_WRITE_BUFFER);
    } else {
        glBufferSubData(GL_COPY_WRITE_BUFFER, start, static_cast<GLsizeiptr>(bytes), data);
    }
    used = start + static_cast<GLsizeiptr>(bytes);
    return static_cast<size_t>(start);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    GLenum mode;
    UINT vertices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &vertices) || !m_Stream || m_StreamStride == 0)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    // A draw that would read past its buffer is refused, not left to the driver.
    D3DVERTEXBUFFER_DESC desc;
    m_Stream->GetDesc(&desc);
    if (!layout.valid ||
        m_StreamOffset + (static_cast<size_t>(startVertex) + vertices - 1) * m_StreamStride + layout.size > desc.Size)
        return D3DERR_INVALIDCALL;
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    BindVertices(gl::GLBufferOf(m_Stream), m_StreamOffset, m_StreamStride, layout);
    glDrawArrays(mode, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertices));
    Count(primitiveCount);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT, UINT, UINT startIndex,
                                     UINT primitiveCount)
{
    GLenum mode;
    UINT indices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &indices) || !m_Stream || m_StreamStride == 0 || !m_Indices)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    const bool wide = gl::IndexFormatOf(m_Indices) == D3DFMT_INDEX32;
    const size_t indexSize = wide ? 4 : 2;
    D3DINDEXBUFFER_DESC desc;
    m_Indices->GetDesc(&desc);
    if ((static_cast<size_t>(startIndex) + indices) * indexSize > desc.Size)
        return D3DERR_INVALIDCALL;
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    BindVertices(gl::GLBufferOf(m_Stream), m_StreamOffset, m_StreamStride, layout);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl::GLBufferOf(m_Indices));
    glDrawElementsBaseVertex(mode, static_cast<GLsizei>(indices), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(startIndex * indexSize), baseVertexIndex);
    Count(primitiveCount);
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride)
{
    GLenum mode;
    UINT vertices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &vertices) || !vertexData || stride == 0)
        return D3DERR_INVALIDCALL;
    // Direct3D leaves stream 0 unset after a draw from user memory.
    SetStreamSource(0, nullptr, 0, 0);
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    const size_t offset = Stream(m_StreamVertices, m_StreamVerticesUsed, vertexData,
                                 static_cast<size_t>(vertices) * stride);
    BindVertices(m_StreamVertices, offset, stride, layout);
    glDrawArrays(mode, 0, static_cast<GLsizei>(vertices));
    Count(primitiveCount);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                       UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                       const void* vertexData, UINT stride)
{
    GLenum mode;
    UINT indices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &indices) || !indexData || !vertexData || stride == 0 ||
        (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    SetStreamSource(0, nullptr, 0, 0);
    SetIndices(nullptr);
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    const size_t vertexBytes = static_cast<size_t>(minVertexIndex + numVertices) * stride;
    const size_t vertexOffset = Stream(m_StreamVertices, m_StreamVerticesUsed, vertexData, vertexBytes);
    const bool wide = indexFormat == D3DFMT_INDEX32;
    const size_t indexOffset =
        Stream(m_StreamIndices, m_StreamIndicesUsed, indexData, static_cast<size_t>(indices) * (wide ? 4 : 2));
    BindVertices(m_StreamVertices, vertexOffset, stride, layout);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_StreamIndices);
    glDrawElements(mode, static_cast<GLsizei>(indices), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(indexOffset));
    Count(primitiveCount);
    return D3D_OK;
}

} // namespace gl
} // namespace platform
