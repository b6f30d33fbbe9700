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
    m_Fresh = true;
}

void WindowBackBuffer::Release()
{
    if (m_CopyFramebuffer)
        glDeleteFramebuffers(1, &m_CopyFramebuffer);
    m_CopyFramebuffer = 0;
    m_Fits = m_InWindow = false;
}

bool WindowBackBuffer::SetWanted(bool on)
{
    m_Wanted = on;
    if (m_Fresh) {
        // The presented frame stays where it is: the window has it in any
        // case, and the texture too unless it is behind.
        m_InWindow = m_Fits && on && m_DrawableFits;
        return false;
    }
    return !on && MoveToTexture();
}

unsigned WindowBackBuffer::ReadBuffer() const
{
    // A double-buffered window's back buffer is undefined after a swap; the
    // presented frame is in front.
    return m_ReadFront && m_DoubleBuffered ? GL_FRONT : GL_BACK;
}

bool WindowBackBuffer::BringBack()
{
    // Behind, the texture holds nothing drawn since the window was.
    if (!m_TextureBehind)
        return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(ReadBuffer());
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
    const bool copied = !m_Fresh && BringBack();
    m_InWindow = false;
    return copied;
}

bool WindowBackBuffer::TextureWritten()
{
    const bool copied = BringBack();
    m_InWindow = false;
    m_Fresh = false;
    return copied;
}

void WindowBackBuffer::Presented(bool drawableFits)
{
    m_Fresh = true;
    m_ReadFront = true;
    m_DrawableFits = drawableFits;
    m_InWindow = m_Fits && m_Wanted && drawableFits;
}

} // namespace gl
} // namespace platform
