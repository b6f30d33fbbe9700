#include "platform/d3d9_back_buffer.h"

#include <epoxy/gl.h>

namespace platform {
namespace gl {

void WindowBackBuffer::Init(unsigned texture, UINT width, UINT height, bool fits, bool doubleBuffered)
{
    m_Texture = texture;
    m_Width = width;
    m_Height = height;
    m_Fits = fits && texture != 0;
    m_DoubleBuffered = doubleBuffered;
    if (m_Fits) {
        glGenFramebuffers(1, &m_CopyFramebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, m_CopyFramebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_Texture, 0);
        m_Fits = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    m_InWindow = m_Fits && m_Wanted;
    m_TextureBehind = false;
    m_ReadFront = false;
}

void WindowBackBuffer::Release()
{
    if (m_CopyFramebuffer)
        glDeleteFramebuffers(1, &m_CopyFramebuffer);
    m_CopyFramebuffer = 0;
    m_Fits = m_InWindow = false;
}

void WindowBackBuffer::SetWanted(bool on)
{
    m_Wanted = on;
    if (!on)
        MoveToTexture();
}

bool WindowBackBuffer::BringBack()
{
    if (!m_InWindow || !m_TextureBehind)
        return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    // A double-buffered window's back buffer is undefined after a swap; the
    // presented frame is in front.
    glReadBuffer(m_ReadFront && m_DoubleBuffered ? GL_FRONT : GL_BACK);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_CopyFramebuffer);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const GLint w = static_cast<GLint>(m_Width), h = static_cast<GLint>(m_Height);
    // The window's row 0 is its bottom, the texture's its top.
    glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glReadBuffer(GL_BACK);
    m_TextureBehind = false;
    return true;
}

bool WindowBackBuffer::MoveToTexture()
{
    const bool copied = BringBack();
    m_InWindow = false;
    return copied;
}

void WindowBackBuffer::Presented(bool drawableFits)
{
    m_ReadFront = true;
    m_InWindow = m_Fits && m_Wanted && drawableFits;
}

} // namespace gl
} // namespace platform
