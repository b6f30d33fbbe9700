// Vertex and index buffers of our Direct3D 9 device: a GL buffer with a copy of
// its bytes in memory, so that Lock hands out memory that already holds the
// contents (reads work, writes of part of a buffer keep the rest) and Unlock
// sends the locked range to GL.
#include "platform/com_object.h"
#include "platform/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace gl {
namespace {

// What both kinds of buffer share; Base is the Direct3D interface.
template <class Base>
class BufferImpl : public DeviceChild<Base> {
public:
    BufferImpl(DeviceHandle device, GLuint name, UINT length, DWORD usage, D3DPOOL pool)
        : DeviceChild<Base>(std::move(device)), m_Name(name), m_Bytes(length, 0), m_Usage(usage), m_Pool(pool)
    {
    }

    ~BufferImpl() override
    {
        if (m_Name != 0 && MakeCurrent(m_Device))
            glDeleteBuffers(1, &m_Name);
    }

    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override
    {
        if (!data || offset > m_Bytes.size())
            return D3DERR_INVALIDCALL;
        if (size == 0)
            size = static_cast<UINT>(m_Bytes.size()) - offset;
        if (size > m_Bytes.size() - offset)
            return D3DERR_INVALIDCALL;
        // Nested locks are allowed by Direct3D; the union of the ranges is sent.
        if (m_LockCount == 0) {
            m_DirtyBegin = offset;
            m_DirtyEnd = offset + size;
        } else {
            m_DirtyBegin = std::min(m_DirtyBegin, offset);
            m_DirtyEnd = std::max(m_DirtyEnd, offset + size);
        }
        if (!(flags & D3DLOCK_READONLY))
            m_Written = true;
        ++m_LockCount;
        *data = m_Bytes.data() + offset;
        return D3D_OK;
    }

    HRESULT Unlock() override
    {
        if (m_LockCount == 0)
            return D3DERR_INVALIDCALL;
        if (--m_LockCount > 0)
            return D3D_OK;
        if (m_Written && m_DirtyEnd > m_DirtyBegin) {
            if (!MakeCurrent(m_Device))
                return D3DERR_INVALIDCALL;
            // The copy target leaves the vertex array state alone.
            glBindBuffer(GL_COPY_WRITE_BUFFER, m_Name);
            glBufferSubData(GL_COPY_WRITE_BUFFER, m_DirtyBegin, m_DirtyEnd - m_DirtyBegin,
                            m_Bytes.data() + m_DirtyBegin);
        }
        m_Written = false;
        return D3D_OK;
    }

    GLuint Name() const { return m_Name; }

protected:
    UINT Size() const { return static_cast<UINT>(m_Bytes.size()); }

    using DeviceChild<Base>::m_Device;
    GLuint m_Name;
    std::vector<unsigned char> m_Bytes;
    DWORD m_Usage;
    D3DPOOL m_Pool;
    unsigned m_LockCount = 0;
    UINT m_DirtyBegin = 0, m_DirtyEnd = 0;
    bool m_Written = false;
};

class VertexBufferImpl final : public BufferImpl<IDirect3DVertexBuffer9> {
public:
    VertexBufferImpl(DeviceHandle device, GLuint name, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
        : BufferImpl(std::move(device), name, length, usage, pool), m_Fvf(fvf)
    {
    }

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }

    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override
    {
        if (!desc)
            return D3DERR_INVALIDCALL;
        desc->Format = D3DFMT_UNKNOWN;
        desc->Type = D3DRTYPE_VERTEXBUFFER;
        desc->Usage = m_Usage;
        desc->Pool = m_Pool;
        desc->Size = Size();
        desc->FVF = m_Fvf;
        return D3D_OK;
    }

private:
    DWORD m_Fvf;
};

class IndexBufferImpl final : public BufferImpl<IDirect3DIndexBuffer9> {
public:
    IndexBufferImpl(DeviceHandle device, GLuint name, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : BufferImpl(std::move(device), name, length, usage, pool), m_Format(format)
    {
    }

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }

    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override
    {
        if (!desc)
            return D3DERR_INVALIDCALL;
        desc->Format = m_Format;
        desc->Type = D3DRTYPE_INDEXBUFFER;
        desc->Usage = m_Usage;
        desc->Pool = m_Pool;
        desc->Size = Size();
        return D3D_OK;
    }

    D3DFORMAT Format() const { return m_Format; }

private:
    D3DFORMAT m_Format;
};

GLuint MakeGLBuffer(UINT length, DWORD usage)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(GL_COPY_WRITE_BUFFER, name);
    glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr,
                 (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteBuffers(1, &name);
        return 0;
    }
    return name;
}

} // namespace

HRESULT CreateVertexBuffer(const DeviceHandle& device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                           IDirect3DVertexBuffer9** buffer)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || !MakeCurrent(device))
        return D3DERR_INVALIDCALL;
    const GLuint name = MakeGLBuffer(length, usage);
    if (name == 0)
        return D3DERR_OUTOFVIDEOMEMORY;
    *buffer = new VertexBufferImpl(device, name, length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT CreateIndexBuffer(const DeviceHandle& device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DIndexBuffer9** buffer)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) || !MakeCurrent(device))
        return D3DERR_INVALIDCALL;
    const GLuint name = MakeGLBuffer(length, usage);
    if (name == 0)
        return D3DERR_OUTOFVIDEOMEMORY;
    *buffer = new IndexBufferImpl(device, name, length, usage, format, pool);
    return D3D_OK;
}

unsigned GLBufferOf(IDirect3DVertexBuffer9* buffer)
{
    auto* impl = dynamic_cast<VertexBufferImpl*>(buffer);
    return impl ? impl->Name() : 0;
}

unsigned GLBufferOf(IDirect3DIndexBuffer9* buffer)
{
    auto* impl = dynamic_cast<IndexBufferImpl*>(buffer);
    return impl ? impl->Name() : 0;
}

D3DFORMAT IndexFormatOf(IDirect3DIndexBuffer9* buffer)
{
    auto* impl = dynamic_cast<IndexBufferImpl*>(buffer);
    return impl ? impl->Format() : D3DFMT_UNKNOWN;
}

} // namespace gl
} // namespace platform
