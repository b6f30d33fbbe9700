// Our Direct3D 9 device over an OpenGL 3.3 core context (with ARB_clip_control).
//
// The back buffer is a colour texture; with the one automatic depth-stencil
// surface it is attached to the device's framebuffer object like any render
// target, so render-target textures can share that depth-stencil surface.
// Draws into the back buffer that need neither depth nor stencil go straight
// into the window instead (d3d9_back_buffer.h), so that Present need not copy.
//
// Render and sampler states are recorded at once and sent to GL, grouped, at
// the next draw or clear.
#include "platform/d3d9_device_impl.h"
#include "platform/sdl_window.h"

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define VANTOREL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOREL_ASAN 1
#endif
#endif

namespace platform {

#ifdef VANTOREL_ASAN
namespace {
// Under AddressSanitizer with its slow unwinder (which the leak check needs),
// llvmpipe's shader JIT deadlocks: registering the JIT's unwind tables
// allocates while libgcc holds its frame lock, and the allocation unwinds
// again. softpipe draws the same without a JIT. This runs before main, so
// before SDL loads the GL driver; a driver chosen by the caller is kept.
const bool g_SoftpipeUnderSanitizer = [] {
    setenv("GALLIUM_DRIVER", "softpipe", 0);
    return true;
}();
} // namespace
#endif

bool MakeCurrent(const DeviceHandle& handle)
{
    if (!handle || !handle->device)
        return false;
    if (SDL_GL_GetCurrentContext() != handle->context &&
        SDL_GL_MakeCurrent(handle->window, handle->context) != 0)
        return false;
    return true;
}

void FinishDrawing(IDirect3DDevice9* device)
{
    if (device && MakeCurrent(HandleOf(device)))
        glFinish();
}

IDirect3DDevice9* DeviceOf(const DeviceHandle& handle)
{
    return handle ? handle->device : nullptr;
}

namespace gl {

namespace {

D3DMATRIX Identity()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

} // namespace

bool Device::Init(std::string& error)
{
    SetDefaultStates();
    for (auto& m : m_Transforms)
        m = Identity();

    if (!MakeCurrent(m_Core)) {
        error = "cannot make the GL context current";
        return false;
    }
    // The plainest program is built now: a context that cannot compile it is no use.
    if (!BuildFixedProgram(0, m_FixedPrograms[0], error))
        return false;

    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glGenFramebuffers(1, &m_Framebuffer);
    glGenFramebuffers(1, &m_ReadFramebuffer);
    glGenVertexArrays(1, &m_VertexArray);
    glBindVertexArray(m_VertexArray);
    glGenBuffers(1, &m_StreamVertices);
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_StreamVertices);
    glBufferData(GL_COPY_WRITE_BUFFER, kStreamBufferSize, nullptr, GL_STREAM_DRAW);
    glGenBuffers(1, &m_StreamIndices);
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_StreamIndices);
    glBufferData(GL_COPY_WRITE_BUFFER, kStreamBufferSize, nullptr, GL_STREAM_DRAW);
    glGenSamplers(kMaxTextureStages, m_Samplers);
    glGenTextures(1, &m_EmptyStageTexture);
    glBindTexture(GL_TEXTURE_2D, m_EmptyStageTexture);
    const unsigned char opaqueBlack[4] = {0, 0, 0, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, opaqueBlack);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    m_Anisotropy = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                   epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    // What a vertex without a diffuse colour has.
    glVertexAttrib4f(kAttribColor0, 1.0f, 1.0f, 1.0f, 1.0f);
    glVertexAttrib4f(kAttribColor1, 0.0f, 0.0f, 0.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    HRESULT hr = gl::CreateSurface(m_Core, m_Params.BackBufferWidth, m_Params.BackBufferHeight,
                                   D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &m_BackBuffer);
    if (FAILED(hr)) {
        error = "cannot make the back buffer";
        return false;
    }
    if (m_Params.EnableAutoDepthStencil) {
        hr = gl::CreateSurface(m_Core, m_Params.BackBufferWidth, m_Params.BackBufferHeight, D3DUSAGE_DEPTHSTENCIL,
                               m_Params.AutoDepthStencilFormat, D3DPOOL_DEFAULT, &m_AutoDepthStencil);
        if (FAILED(hr)) {
            error = "cannot make the depth-stencil surface";
            return false;
        }
        SetDepthStencilSurface(m_AutoDepthStencil);
    }
    m_RenderStates[D3DRS_ZENABLE] = m_Params.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    InitWindowBackBuffer();
    SetRenderTarget(0, m_BackBuffer);
    // The back buffer starts black, as a new swap chain does.
    Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    if (m_DepthStencil)
        Clear(0, nullptr, D3DCLEAR_ZBUFFER | (m_DepthInfo.stencil ? DWORD(D3DCLEAR_STENCIL) : DWORD(0)), 0, 1.0f, 0);
    return true;
}

// The window's framebuffer stands for the back buffer only where nothing
// tells them apart: same size, same colour depth, and pixels that may go at
// Present (a copy swap effect keeps them).
void Device::InitWindowBackBuffer()
{
    gl::SurfaceBinding back;
    gl::BindingOf(m_BackBuffer, &back);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    // The back buffer is X8R8G8B8: the window's alpha, if any, is never read.
    GLint bits[3] = {0, 0, 0};
    const GLenum channels[3] = {GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE,
                                GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE};
    for (int i = 0; i < 3; ++i)
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, channels[i], &bits[i]);
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(m_Core->window, &width, &height);
    const bool fits = bits[0] == 8 && bits[1] == 8 && bits[2] == 8 &&
                      m_Params.SwapEffect == D3DSWAPEFFECT_DISCARD && width == static_cast<int>(back.width) &&
                      height == static_cast<int>(back.height) && glGetError() == GL_NO_ERROR;
    m_Window.Init(back.texture, back.width, back.height, fits, doubleBuffered == GL_TRUE);
    // The surface may outlive the device: it calls back through the handle.
    gl::WatchLocks(m_BackBuffer, [core = m_Core](bool writing) {
        if (Device* device = dynamic_cast<Device*>(DeviceOf(core)))
            device->BackBufferLocked(writing);
    });
}

Device::~Device()
{
    const bool current = MakeCurrent(m_Core);
    for (auto& texture : m_Textures)
        Hold(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
    Hold(m_Stream, static_cast<IDirect3DVertexBuffer9*>(nullptr));
    Hold(m_Indices, static_cast<IDirect3DIndexBuffer9*>(nullptr));
    Hold(m_RenderTarget, static_cast<IDirect3DSurface9*>(nullptr));
    Hold(m_DepthStencil, static_cast<IDirect3DSurface9*>(nullptr));
    if (m_BackBuffer)
        m_BackBuffer->Release();
    if (m_AutoDepthStencil)
        m_AutoDepthStencil->Release();
    if (current) {
        m_Window.Release();
        if (m_LastFrame)
            glDeleteSync(static_cast<GLsync>(m_LastFrame));
        glUseProgram(0);
        glBindVertexArray(0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        for (const FixedProgram& p : m_FixedPrograms)
            if (p.program)
                glDeleteProgram(p.program);
        glDeleteFramebuffers(1, &m_Framebuffer);
        glDeleteFramebuffers(1, &m_ReadFramebuffer);
        glDeleteVertexArrays(1, &m_VertexArray);
        glDeleteBuffers(1, &m_StreamVertices);
        glDeleteBuffers(1, &m_StreamIndices);
        glDeleteSamplers(kMaxTextureStages, m_Samplers);
        glDeleteTextures(1, &m_EmptyStageTexture);
    }
    // Objects still alive (textures kept in a cache until exit...) only forget
    // their GL names from now on.
    m_Core->device = nullptr;
    if (!m_Params.Windowed)
        SDL_SetWindowFullscreen(m_Core->window, 0);
    SDL_GL_MakeCurrent(m_Core->window, nullptr);
    SDL_GL_DeleteContext(m_Core->context);
    m_Core->context = nullptr;
    m_D3D->Release();
}

void Device::SetDefaultStates()
{
    DWORD* rs = m_RenderStates;
    rs[D3DRS_ZENABLE] = D3DZB_TRUE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_ALPHATESTENABLE] = FALSE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAREF] = 0;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = 1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = 2;
    rs[D3DRS_POINTSIZE] = platform::FloatToStateValue(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = platform::FloatToStateValue(1.0f);
    rs[D3DRS_POINTSIZE_MAX] = platform::FloatToStateValue(64.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_COLORWRITEENABLE] = rs[D3DRS_COLORWRITEENABLE1] = rs[D3DRS_COLORWRITEENABLE2] =
        rs[D3DRS_COLORWRITEENABLE3] = 0xF;
    rs[D3DRS_BLENDOP] = rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    rs[D3DRS_CCW_STENCILFAIL] = rs[D3DRS_CCW_STENCILZFAIL] = rs[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;

    for (DWORD s = 0; s < kMaxTextureStages; ++s) {
        DWORD* ss = m_SamplerStates[s];
        ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        ss[D3DSAMP_MAXANISOTROPY] = 1;
        m_SamplerDirty[s] = true;

        DWORD* ts = m_StageStates[s];
        ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = s;
    }
}

void Device::UseProgram(unsigned program)
{
    m_EffectProgram = program;
    m_EffectAlphaFunc = m_EffectAlphaRef = -1;
    if (!MakeCurrent(m_Core))
        return;
    if (program != 0) {
        m_EffectAlphaFunc = glGetUniformLocation(program, "d3d_AlphaFunc");
        m_EffectAlphaRef = glGetUniformLocation(program, "d3d_AlphaRef");
    }
    glUseProgram(program != 0 ? program : m_FixedPrograms[0].program);
}

void Device::DrawBackBufferInWindow(bool on)
{
    if (on != m_Window.Wanted() && MakeCurrent(m_Core))
        BackBufferCopied(m_Window.SetWanted(on));
}

void Device::BackBufferLocked(bool writing)
{
    if (MakeCurrent(m_Core))
        BackBufferCopied(writing ? m_Window.TextureWritten() : m_Window.BringBack());
}

} // namespace gl

namespace {

gl::Device* DeviceImpl(IDirect3DDevice9* device)
{
    return dynamic_cast<gl::Device*>(device);
}

} // namespace

void UseEffectProgram(IDirect3DDevice9* device, unsigned program)
{
    if (gl::Device* d = DeviceImpl(device))
        d->UseProgram(program);
}

void SetEffectRefit(IDirect3DDevice9* device, std::function<void()> refit)
{
    if (gl::Device* d = DeviceImpl(device))
        d->SetProgramRefit(std::move(refit));
}

unsigned CurrentEffectProgram(IDirect3DDevice9* device)
{
    gl::Device* d = DeviceImpl(device);
    return d ? d->Program() : 0;
}

DeviceHandle HandleOf(IDirect3DDevice9* device)
{
    gl::Device* d = DeviceImpl(device);
    return d ? d->Core() : DeviceHandle();
}

void DrawBackBufferInWindow(IDirect3DDevice9* device, bool on)
{
    if (gl::Device* d = DeviceImpl(device))
        d->DrawBackBufferInWindow(on);
}

DrawStats GetDrawStats(IDirect3DDevice9* device)
{
    gl::Device* d = DeviceImpl(device);
    return d ? d->Stats() : DrawStats();
}

void ResetDrawStats(IDirect3DDevice9* device)
{
    if (gl::Device* d = DeviceImpl(device))
        d->Stats() = DrawStats();
}

bool ReadWindowPixels(IDirect3DDevice9* device, std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height)
{
    const DeviceHandle core = HandleOf(device);
    if (!pixels || !MakeCurrent(core))
        return false;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(core->window, &w, &h);
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    std::vector<D3DCOLOR> bottomUp(static_cast<size_t>(w) * h);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(doubleBuffered ? GL_FRONT : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());
    glReadBuffer(GL_BACK);
    pixels->resize(bottomUp.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            (*pixels)[static_cast<size_t>(y) * w + x] = bottomUp[static_cast<size_t>(h - 1 - y) * w + x] | 0xFF000000u;
    if (width)
        *width = static_cast<UINT>(w);
    if (height)
        *height = static_cast<UINT>(h);
    return true;
}

namespace gl {

HRESULT CreateDevice(IDirect3D9* d3d, HWND window, D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device)
{
    if (!device || !params || !d3d)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    SDL_Window* sdlWindow = SdlWindowOf(window);
    if (!sdlWindow)
        return D3DERR_INVALIDCALL;
    if (!(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_OPENGL)) {
        OutputDebugStringA("Direct3D device: the window has no OpenGL support\n");
        return D3DERR_NOTAVAILABLE;
    }
    D3DPRESENT_PARAMETERS p = *params;
    if (p.Windowed) {
        if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
            int w = 0, h = 0;
            SDL_GetWindowSize(sdlWindow, &w, &h);
            if (p.BackBufferWidth == 0)
                p.BackBufferWidth = static_cast<UINT>(std::max(1, w));
            if (p.BackBufferHeight == 0)
                p.BackBufferHeight = static_cast<UINT>(std::max(1, h));
        }
        if (p.BackBufferFormat == D3DFMT_UNKNOWN)
            p.BackBufferFormat = D3DFMT_X8R8G8B8;
    } else if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferFormat != D3DFMT_X8R8G8B8 && p.BackBufferFormat != D3DFMT_A8R8G8B8)
        return D3DERR_NOTAVAILABLE;
    if (p.EnableAutoDepthStencil) {
        FormatInfo depth;
        if (!LookUpFormat(p.AutoDepthStencilFormat, &depth) || !depth.depth)
            return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow);
    if (!context) {
        std::string text = std::string("Direct3D device: no OpenGL 3.3 context: ") + SDL_GetError() + "\n";
        OutputDebugStringA(text.c_str());
        return D3DERR_NOTAVAILABLE;
    }
    if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) {
        OutputDebugStringA("Direct3D device: OpenGL lacks ARB_clip_control\n");
        SDL_GL_MakeCurrent(sdlWindow, nullptr);
        SDL_GL_DeleteContext(context);
        return D3DERR_NOTAVAILABLE;
    }
    if (!p.Windowed) {
        SDL_SetWindowSize(sdlWindow, static_cast<int>(p.BackBufferWidth), static_cast<int>(p.BackBufferHeight));
        SDL_SetWindowFullscreen(sdlWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    SDL_GL_SetSwapInterval(p.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    auto core = std::make_shared<DeviceCore>();
    core->window = sdlWindow;
    core->context = context;
    auto* created = new Device(d3d, core, p);
    std::string error;
    if (!created->Init(error)) {
        OutputDebugStringA(("Direct3D device: " + error + "\n").c_str());
        created->Release();
        return D3DERR_NOTAVAILABLE;
    }
    *params = p;
    *device = created;
    return D3D_OK;
}

} // namespace gl
} // namespace platform
