// Internal to the device: the Direct3D 9 device class over OpenGL and what
// its files share (d3d9_device.cpp builds and releases it; the fixed-function
// programs, state, draws and render targets each have a file of their own).
#pragma once

#include "platform/com_object.h"
#include "platform/d3d9_back_buffer.h"
#include "platform/gl_device.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace platform {

struct DeviceCore {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    IDirect3DDevice9* device = nullptr; // null once the device is released
};

namespace gl {

// --- the fixed-function path ---------------------------------------------------------

// One program per combination of the features a draw needs, chosen at draw
// time: software rasterisers run both sides of a uniform branch, so the common
// cases (a textured quad, a coloured line) must not pay for the rest.
enum FixedFeature : unsigned {
    kFeaturePretransformed = 1u << 0, // D3DFVF_XYZRHW positions
    kFeatureTexture = 1u << 1,        // stage 0 has a texture and the vertices coordinates
    kFeatureStageOps = 1u << 2,       // stage 0 operations other than the defaults
    kFeatureAlphaTest = 1u << 3,
    kFeatureSpecular = 1u << 4,
    kFeatureCount = 1u << 5
};

struct FixedProgram {
    GLuint program = 0;
    GLint wvp = -1, viewport = -1, texIndex = -1, colorOp = -1, alphaOp = -1, textureFactor = -1, alphaFunc = -1,
          alphaRef = -1;
};

// Builds the program for a combination of features; false with the
// compiler's or linker's messages in `log`.
bool BuildFixedProgram(unsigned features, FixedProgram& out, std::string& log);

// --- vertex formats -------------------------------------------------------------------

struct VertexLayout {
    bool valid = false;
    GLint positionSize = 0; // 0: no position
    bool pretransformed = false;
    int normal = -1, diffuse = -1, specular = -1;
    int tex[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    GLint texSize[8] = {0};
    unsigned texCount = 0;
    unsigned size = 0;
};

// --- shared by the device's files ------------------------------------------------

inline void ColorToFloats(D3DCOLOR c, float out[4])
{
    out[0] = ((c >> 16) & 0xFF) / 255.0f;
    out[1] = ((c >> 8) & 0xFF) / 255.0f;
    out[2] = (c & 0xFF) / 255.0f;
    out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

// Row-vector product: a vertex goes through a, then b.
inline D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

enum DirtyBits : unsigned {
    kDirtyTargets = 1u << 0,
    kDirtyViewport = 1u << 1,
    kDirtyBlend = 1u << 2,
    kDirtyDepth = 1u << 3,
    kDirtyCull = 1u << 4,
    kDirtyStencil = 1u << 5,
    kDirtyColorMask = 1u << 6,
    kDirtyFill = 1u << 7,
    kDirtyScissor = 1u << 8,
    kDirtyDepthBias = 1u << 9,
    kDirtyPointSize = 1u << 10,
    kDirtyAll = 0xFFFFFFFFu
};

constexpr UINT kTransformCount = 512;
constexpr UINT kRenderStateCount = 256;
constexpr UINT kSamplerStateCount = 14;
constexpr UINT kStageStateCount = 33;
constexpr GLsizeiptr kStreamBufferSize = 4 << 20;

class Device final : public RefCounted<IDirect3DDevice9> {
public:
    Device(IDirect3D9* d3d, DeviceHandle core, const D3DPRESENT_PARAMETERS& params)
        : m_D3D(d3d), m_Core(std::move(core)), m_Params(params)
    {
        m_D3D->AddRef();
        m_Core->device = this;
    }

    // Builds the GL side; false (with the reason in `error`) when it cannot.
    bool Init(std::string& error);

    HRESULT TestCooperativeLevel() override { return D3D_OK; }
    HRESULT GetDirect3D(IDirect3D9** d3d) override
    {
        if (!d3d)
            return D3DERR_INVALIDCALL;
        *d3d = m_D3D;
        m_D3D->AddRef();
        return D3D_OK;
    }
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* params) override
    {
        if (!params)
            return D3DERR_INVALIDCALL;
        *params = m_Params;
        return D3D_OK;
    }

    HRESULT BeginScene() override
    {
        if (m_InScene)
            return D3DERR_INVALIDCALL;
        m_InScene = true;
        return D3D_OK;
    }
    HRESULT EndScene() override
    {
        if (!m_InScene)
            return D3DERR_INVALIDCALL;
        m_InScene = false;
        return D3D_OK;
    }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override
    {
        if (!viewport || viewport->Width == 0 || viewport->Height == 0)
            return D3DERR_INVALIDCALL;
        m_Viewport = *viewport;
        m_Dirty |= kDirtyViewport;
        return D3D_OK;
    }
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override
    {
        if (!viewport)
            return D3DERR_INVALIDCALL;
        *viewport = m_Viewport;
        return D3D_OK;
    }
    HRESULT SetScissorRect(const RECT* rect) override
    {
        if (!rect)
            return D3DERR_INVALIDCALL;
        m_Scissor = *rect;
        m_Dirty |= kDirtyScissor;
        return D3D_OK;
    }
    HRESULT GetScissorRect(RECT* rect) override
    {
        if (!rect)
            return D3DERR_INVALIDCALL;
        *rect = m_Scissor;
        return D3D_OK;
    }

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        if (!matrix || static_cast<UINT>(state) >= kTransformCount)
            return D3DERR_INVALIDCALL;
        m_Transforms[state] = *matrix;
        return D3D_OK;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override
    {
        if (!matrix || static_cast<UINT>(state) >= kTransformCount)
            return D3DERR_INVALIDCALL;
        *matrix = m_Transforms[state];
        return D3D_OK;
    }
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        if (!matrix || static_cast<UINT>(state) >= kTransformCount)
            return D3DERR_INVALIDCALL;
        m_Transforms[state] = Multiply(*matrix, m_Transforms[state]);
        return D3D_OK;
    }

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        if (!value || static_cast<UINT>(state) >= kRenderStateCount)
            return D3DERR_INVALIDCALL;
        *value = m_RenderStates[state];
        return D3D_OK;
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override
    {
        if (sampler >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kSamplerStateCount)
            return D3DERR_INVALIDCALL;
        if (m_SamplerStates[sampler][type] != value) {
            m_SamplerStates[sampler][type] = value;
            m_SamplerDirty[sampler] = true;
        }
        return D3D_OK;
    }
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override
    {
        if (!value || sampler >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kSamplerStateCount)
            return D3DERR_INVALIDCALL;
        *value = m_SamplerStates[sampler][type];
        return D3D_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override
    {
        if (stage >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kStageStateCount)
            return D3DERR_INVALIDCALL;
        m_StageStates[stage][type] = value;
        return D3D_OK;
    }
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override
    {
        if (!value || stage >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kStageStateCount)
            return D3DERR_INVALIDCALL;
        *value = m_StageStates[stage][type];
        return D3D_OK;
    }

    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override
    {
        if (stage >= kMaxTextureStages)
            return D3DERR_INVALIDCALL;
        Hold(m_Textures[stage], texture);
        return D3D_OK;
    }
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override
    {
        if (!texture || stage >= kMaxTextureStages)
            return D3DERR_INVALIDCALL;
        *texture = m_Textures[stage];
        if (*texture)
            (*texture)->AddRef();
        return D3D_OK;
    }

    HRESULT SetFVF(DWORD fvf) override
    {
        m_Fvf = fvf;
        return D3D_OK;
    }
    HRESULT GetFVF(DWORD* fvf) override
    {
        if (!fvf)
            return D3DERR_INVALIDCALL;
        *fvf = m_Fvf;
        return D3D_OK;
    }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override
    {
        if (stream != 0)
            return buffer ? D3DERR_INVALIDCALL : D3D_OK;
        Hold(m_Stream, buffer);
        m_StreamOffset = offset;
        m_StreamStride = stride;
        return D3D_OK;
    }
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride) override
    {
        if (!buffer || !offset || !stride)
            return D3DERR_INVALIDCALL;
        *buffer = stream == 0 ? m_Stream : nullptr;
        if (*buffer)
            (*buffer)->AddRef();
        *offset = stream == 0 ? m_StreamOffset : 0;
        *stride = stream == 0 ? m_StreamStride : 0;
        return D3D_OK;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override
    {
        Hold(m_Indices, indices);
        return D3D_OK;
    }
    HRESULT GetIndices(IDirect3DIndexBuffer9** indices) override
    {
        if (!indices)
            return D3DERR_INVALIDCALL;
        *indices = m_Indices;
        if (*indices)
            (*indices)->AddRef();
        return D3D_OK;
    }

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                   const void* vertices, UINT stride) override;

    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE*) override
    {
        return gl::CreateVertexBuffer(m_Core, length, usage, fvf, pool, buffer);
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE*) override
    {
        return gl::CreateIndexBuffer(m_Core, length, usage, format, pool, buffer);
    }
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE*) override
    {
        return gl::CreateTexture(m_Core, width, height, levels, usage, format, pool, texture);
    }
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                               IDirect3DSurface9** surface, HANDLE*) override
    {
        return gl::CreateSurface(m_Core, width, height, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, surface);
    }
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                      IDirect3DSurface9** surface, HANDLE*) override
    {
        return gl::CreateSurface(m_Core, width, height, D3DUSAGE_DEPTHSTENCIL, format, D3DPOOL_DEFAULT, surface);
    }
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE*) override
    {
        return gl::CreateSurface(m_Core, width, height, 0, format, pool, surface);
    }

    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override
    {
        if (!surface)
            return D3DERR_INVALIDCALL;
        *surface = nullptr;
        if (index != 0)
            return D3DERR_NOTFOUND;
        *surface = m_RenderTarget;
        m_RenderTarget->AddRef();
        return D3D_OK;
    }
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override
    {
        if (!surface)
            return D3DERR_INVALIDCALL;
        *surface = m_DepthStencil;
        if (!m_DepthStencil)
            return D3DERR_NOTFOUND;
        m_DepthStencil->AddRef();
        return D3D_OK;
    }
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) override
    {
        if (!surface || swapChain != 0 || index != 0)
            return D3DERR_INVALIDCALL;
        *surface = m_BackBuffer;
        m_BackBuffer->AddRef();
        return D3D_OK;
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                        const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;

    // --- for gl_device.h
    void UseProgram(unsigned program);
    void SetProgramRefit(std::function<void()> refit) { m_EffectRefit = std::move(refit); }
    unsigned Program() const { return m_EffectProgram; }
    const DeviceHandle& Core() const { return m_Core; }
    DrawStats& Stats() { return m_Stats; }
    void DrawBackBufferInWindow(bool on);
    // Someone locks the back buffer: its texture must hold the pixels.
    void BackBufferLocked(bool writing);

private:
    ~Device() override;

    template <class T>
    static void Hold(T*& slot, T* object)
    {
        if (slot == object)
            return;
        if (object)
            object->AddRef();
        if (slot)
            slot->Release();
        slot = object;
    }

    void SetDefaultStates();
    bool PrepareDraw(const VertexLayout& layout);
    // Binds the render target for a draw or clear; false when it cannot be
    // drawn into. `depthUsed`: it reads or writes depth or stencil.
    bool ApplyTargets(bool depthUsed);
    bool BindTarget(bool window);
    bool DepthInUse() const;
    void InitWindowBackBuffer();
    // After the back buffer's pixels moved (`copied`: GL copied them).
    void BackBufferCopied(bool copied);
    // A row of the render target as GL counts it where it is drawn.
    GLint TargetRow(LONG top, LONG height) const
    {
        return m_DrawsToWindow ? static_cast<GLint>(m_TargetBinding.height) - top - height : top;
    }
    void ApplyStates();
    void ApplySampler(DWORD sampler);
    void BindTextures(bool fixedFunction, const VertexLayout& layout);
    // Picks and sets up the fixed-function program the draw needs.
    bool UseFixedProgram(const VertexLayout& layout, GLint alphaFunc, GLint alphaRef);
    void BindVertices(GLuint buffer, size_t base, UINT stride, const VertexLayout& layout);
    // Copies bytes into the stream buffer; returns their offset.
    size_t Stream(GLuint buffer, GLsizeiptr& used, const void* data, size_t bytes);
    void Count(UINT primitives)
    {
        ++m_Stats.drawCalls;
        m_Stats.primitives += primitives;
    }
    // Full rectangle of the current render target.
    RECT TargetRect() const;

    IDirect3D9* m_D3D;
    DeviceHandle m_Core;
    D3DPRESENT_PARAMETERS m_Params;
    bool m_InScene = false;

    IDirect3DSurface9* m_BackBuffer = nullptr;
    gl::WindowBackBuffer m_Window;
    // GL draws into the window (framebuffer 0), not the device's framebuffer.
    bool m_DrawsToWindow = false;
    IDirect3DSurface9* m_AutoDepthStencil = nullptr;
    IDirect3DSurface9* m_RenderTarget = nullptr;
    IDirect3DSurface9* m_DepthStencil = nullptr;
    gl::SurfaceBinding m_TargetBinding, m_DepthBinding;
    gl::FormatInfo m_DepthInfo;
    IDirect3DBaseTexture9* m_Textures[kMaxTextureStages] = {};
    IDirect3DVertexBuffer9* m_Stream = nullptr;
    UINT m_StreamOffset = 0, m_StreamStride = 0;
    IDirect3DIndexBuffer9* m_Indices = nullptr;
    DWORD m_Fvf = 0;

    std::array<D3DMATRIX, kTransformCount> m_Transforms;
    DWORD m_RenderStates[kRenderStateCount] = {};
    DWORD m_SamplerStates[kMaxTextureStages][kSamplerStateCount] = {};
    bool m_SamplerDirty[kMaxTextureStages] = {};
    DWORD m_StageStates[kMaxTextureStages][kStageStateCount] = {};
    D3DVIEWPORT9 m_Viewport = {0, 0, 1, 1, 0.0f, 1.0f};
    RECT m_Scissor = {0, 0, 0, 0};
    unsigned m_Dirty = kDirtyAll;

    unsigned m_EffectProgram = 0;
    GLint m_EffectAlphaFunc = -1, m_EffectAlphaRef = -1;
    std::function<void()> m_EffectRefit;

    GLuint m_Framebuffer = 0, m_ReadFramebuffer = 0, m_VertexArray = 0;
    GLuint m_StreamVertices = 0, m_StreamIndices = 0;
    GLsizeiptr m_StreamVerticesUsed = 0, m_StreamIndicesUsed = 0;
    GLuint m_Samplers[kMaxTextureStages] = {};
    // Bound wherever a stage holds no texture: one opaque black texel, what an
    // empty stage samples as under Direct3D 9 whatever GL makes of texture 0.
    GLuint m_EmptyStageTexture = 0;
    bool m_Anisotropy = false;
    FixedProgram m_FixedPrograms[kFeatureCount];
    bool m_FramebufferComplete = false;
    // The fence at the end of the last frame presented.
    void* m_LastFrame = nullptr;
    DrawStats m_Stats;
};

} // namespace gl
} // namespace platform
