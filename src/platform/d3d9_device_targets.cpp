// The device's render targets and depth-stencil surface, clears, Present and
// the copies between surfaces.
#include "platform/d3d9_device_impl.h"

#include <cstdio>

namespace platform {
namespace gl {

RECT Device::TargetRect() const
{
    return RECT{0, 0, static_cast<LONG>(m_TargetBinding.width), static_cast<LONG>(m_TargetBinding.height)};
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    if (index != 0)
        return surface ? D3DERR_INVALIDCALL : D3D_OK;
    gl::SurfaceBinding binding;
    if (!surface || !gl::BindingOf(surface, &binding) || binding.texture == 0 ||
        !(binding.usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    Hold(m_RenderTarget, surface);
    m_TargetBinding = binding;
    // As in Direct3D, a new target brings a viewport and scissor rectangle of its size.
    m_Viewport = D3DVIEWPORT9{0, 0, binding.width, binding.height, 0.0f, 1.0f};
    m_Scissor = TargetRect();
    m_Dirty |= kDirtyTargets | kDirtyViewport | kDirtyScissor;
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface)
{
    gl::SurfaceBinding binding;
    if (surface) {
        if (!gl::BindingOf(surface, &binding) || !(binding.usage & D3DUSAGE_DEPTHSTENCIL) || binding.texture == 0)
            return D3DERR_INVALIDCALL;
        gl::LookUpFormat(binding.format, &m_DepthInfo);
    }
    Hold(m_DepthStencil, surface);
    m_DepthBinding = binding;
    m_Dirty |= kDirtyTargets;
    return D3D_OK;
}

bool Device::DepthInUse() const
{
    if (!m_DepthStencil)
        return false;
    const DWORD* rs = m_RenderStates;
    const bool depth =
        rs[D3DRS_ZENABLE] != D3DZB_FALSE && (rs[D3DRS_ZWRITEENABLE] || rs[D3DRS_ZFUNC] != D3DCMP_ALWAYS);
    return depth || rs[D3DRS_STENCILENABLE];
}

void Device::BackBufferCopied(bool copied)
{
    if (copied) {
        ++m_Stats.backBufferCopies;
        m_Dirty |= kDirtyScissor | kDirtyColorMask;
    }
}

bool Device::ApplyTargets(bool depthUsed)
{
    const bool back = m_RenderTarget == m_BackBuffer;
    // The window has no depth-stencil surface: such draws go on in the texture.
    if (back && depthUsed && m_Window.InWindow())
        BackBufferCopied(m_Window.MoveToTexture());
    const bool window = back && m_Window.InWindow();
    if (back)
        m_Window.Drawing(window);
    return BindTarget(window);
}

bool Device::BindTarget(bool window)
{
    if (window != m_DrawsToWindow) {
        m_DrawsToWindow = window;
        // The window's row 0 is its bottom: with the clip origin there the
        // picture lands the right way up.
        glClipControl(window ? GL_LOWER_LEFT : GL_UPPER_LEFT, GL_ZERO_TO_ONE);
        m_Dirty |= kDirtyViewport | kDirtyScissor | kDirtyCull;
    }
    if (window) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return true;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    if (!(m_Dirty & kDirtyTargets))
        return m_FramebufferComplete;
    m_Dirty &= ~kDirtyTargets;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_TargetBinding.texture,
                           m_TargetBinding.level);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
    if (m_DepthStencil)
        glFramebufferTexture2D(GL_FRAMEBUFFER, m_DepthInfo.stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                               GL_TEXTURE_2D, m_DepthBinding.texture, 0);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    m_FramebufferComplete = status == GL_FRAMEBUFFER_COMPLETE;
    if (!m_FramebufferComplete) {
        char text[96];
        std::snprintf(text, sizeof(text), "Direct3D device: render target not usable (GL status %04x)\n", status);
        OutputDebugStringA(text);
    }
    return m_FramebufferComplete;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    if ((count != 0 && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !m_DepthStencil)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !m_DepthInfo.stencil)
        return D3DERR_INVALIDCALL;
    if (!MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    // Into the window only the colour goes: depth and stencil are the
    // device framebuffer's.
    const bool window = (flags & D3DCLEAR_TARGET) && m_RenderTarget == m_BackBuffer && m_Window.InWindow();
    const bool depthStencil = (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0;
    if ((!window || depthStencil) && !BindTarget(false))
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_TARGET) && m_RenderTarget == m_BackBuffer)
        m_Window.Drawing(window);

    // The viewport, cut by the scissor rectangle when that test is on.
    RECT area = {static_cast<LONG>(m_Viewport.X), static_cast<LONG>(m_Viewport.Y),
                 static_cast<LONG>(m_Viewport.X + m_Viewport.Width), static_cast<LONG>(m_Viewport.Y + m_Viewport.Height)};
    if (m_RenderStates[D3DRS_SCISSORTESTENABLE]) {
        area.left = std::max(area.left, m_Scissor.left);
        area.top = std::max(area.top, m_Scissor.top);
        area.right = std::min(area.right, m_Scissor.right);
        area.bottom = std::min(area.bottom, m_Scissor.bottom);
    }
    float c[4];
    ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClearDepth(z);
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET)
        bits |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER)
        bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL)
        bits |= GL_STENCIL_BUFFER_BIT;
    // Clears `what` in the framebuffer bound, rectangle by rectangle.
    auto clear = [&](GLbitfield what) {
        ApplyStates();
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFFFFFFFFu);
        glEnable(GL_SCISSOR_TEST);
        const DWORD n = count == 0 ? 1 : count;
        for (DWORD i = 0; i < n; ++i) {
            RECT r = area;
            if (count != 0) {
                r.left = std::max(r.left, rects[i].x1);
                r.top = std::max(r.top, rects[i].y1);
                r.right = std::min(r.right, rects[i].x2);
                r.bottom = std::min(r.bottom, rects[i].y2);
            }
            if (r.right <= r.left || r.bottom <= r.top)
                continue;
            glScissor(r.left, TargetRow(r.top, r.bottom - r.top), r.right - r.left, r.bottom - r.top);
            glClear(what);
        }
        m_Dirty |= kDirtyScissor | kDirtyColorMask | kDirtyDepth | kDirtyStencil;
    };
    if (!window || depthStencil)
        clear(window ? bits & ~GLbitfield(GL_COLOR_BUFFER_BIT) : bits);
    if (window) {
        BindTarget(true);
        clear(GL_COLOR_BUFFER_BIT);
    }
    ++m_Stats.clears;
    return D3D_OK;
}

// Presents a texture filled on demand may go undrawn before its texels are given back.
constexpr unsigned kIdlePresents = 300;

HRESULT Device::Present(const RECT*, const RECT*, HWND, const void*)
{
    if (!MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    gl::SurfaceBinding back;
    gl::BindingOf(m_BackBuffer, &back);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(m_Core->window, &width, &height);
    const bool sameSize = width == static_cast<int>(back.width) && height == static_cast<int>(back.height);
    // A frame drawn into the window is there already.
    if (!m_Window.InWindow()) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_ReadFramebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, back.texture, 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        // Row 0 of the back buffer is its top; the window's is its bottom.
        glBlitFramebuffer(0, 0, static_cast<GLint>(back.width), static_cast<GLint>(back.height), 0, height, width, 0,
                          GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
        ++m_Stats.presentCopies;
    }
    // The frame goes to the renderer now. Drawing the next one may overlap
    // with it, but no more: presented, the frame before this one must be
    // done. Nothing else waits for a frame drawn into the window (an
    // offscreen window's swap does not even hand it over), and frames
    // queued without end would hold the renderer's memory and show late.
    const GLsync drawn = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    SDL_GL_SwapWindow(m_Core->window);
    if (m_LastFrame) {
        glClientWaitSync(static_cast<GLsync>(m_LastFrame), 0, GL_TIMEOUT_IGNORED);
        glDeleteSync(static_cast<GLsync>(m_LastFrame));
    }
    m_LastFrame = drawn;
    m_Window.Presented(sameSize);
    glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    m_Dirty |= kDirtyScissor | kDirtyColorMask;
    ++m_Stats.presents;
    // Big pictures not drawn for ten seconds at 30 frames give their memory back.
    GiveBackIdleTexels(kIdlePresents);
    return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface)
{
    gl::SurfaceBinding source, dest;
    if (!gl::BindingOf(renderTarget, &source) || !gl::BindingOf(destSurface, &dest) || source.texture == 0 ||
        dest.texture != 0 || source.width != dest.width || source.height != dest.height ||
        source.format != dest.format)
        return D3DERR_INVALIDCALL;
    gl::FormatInfo info;
    if (!gl::LookUpFormat(source.format, &info) || info.depth || !MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    if (renderTarget == m_BackBuffer)
        BackBufferCopied(m_Window.BringBack());
    gl::ReadTexture(source.texture, source.level, info, source.width, source.height, gl::SystemMemoryOf(destSurface));
    return D3D_OK;
}

HRESULT Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                            const RECT* destRect, D3DTEXTUREFILTERTYPE filter)
{
    gl::SurfaceBinding from, to;
    if (!gl::BindingOf(source, &from) || !gl::BindingOf(dest, &to) || from.texture == 0 || to.texture == 0 ||
        source == dest)
        return D3DERR_INVALIDCALL;
    gl::FormatInfo fromInfo, toInfo;
    gl::LookUpFormat(from.format, &fromInfo);
    gl::LookUpFormat(to.format, &toInfo);
    if (fromInfo.depth || toInfo.depth || !toInfo.renderable || !MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    // Written, the back buffer is brought up to date in its texture and the
    // frame goes on there; read while the window is ahead, it is read from
    // the window, whose rows count from the bottom.
    const bool fromWindow = source == m_BackBuffer && dest != m_BackBuffer && m_Window.TextureBehind();
    if (dest == m_BackBuffer)
        BackBufferCopied(m_Window.TextureWritten());
    gl::SurfaceWritten(dest);
    const RECT s = sourceRect ? *sourceRect : RECT{0, 0, static_cast<LONG>(from.width), static_cast<LONG>(from.height)};
    const RECT d = destRect ? *destRect : RECT{0, 0, static_cast<LONG>(to.width), static_cast<LONG>(to.height)};
    GLuint drawFramebuffer = 0;
    glGenFramebuffers(1, &drawFramebuffer);
    if (fromWindow) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(m_Window.ReadBuffer());
    } else {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_ReadFramebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, from.texture, from.level);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, to.texture, to.level);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const LONG height = static_cast<LONG>(from.height);
    glBlitFramebuffer(s.left, fromWindow ? height - s.top : s.top, s.right, fromWindow ? height - s.bottom : s.bottom,
                      d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                      filter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    if (fromWindow)
        glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    glDeleteFramebuffers(1, &drawFramebuffer);
    m_Dirty |= kDirtyScissor | kDirtyColorMask;
    return D3D_OK;
}

} // namespace gl
} // namespace platform
