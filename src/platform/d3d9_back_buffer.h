// Internal to the device: where the back buffer's pixels live.
//
// The passes that draw into the back buffer (the composite, the screens and
// the text over them) go straight into the window's own framebuffer, GL's
// framebuffer 0, so that Present has nothing to copy: llvmpipe copies a whole
// frame as a full-screen textured draw. The window keeps row 0 at its bottom,
// so while it is drawn into the device turns the clip origin to GL's lower
// left, counts viewport and scissor rows from the bottom and swaps the
// winding it culls by; the picture lands as it would in the texture.
//
// The back buffer's texture stays. It takes over for the rest of the frame
// when a draw needs the depth-stencil surface (that cannot be attached to the
// window), and it is brought up to date from the window, with one flipped
// copy, before anything reads or writes the back buffer other than by drawing
// (locks, GetRenderTargetData, StretchRect). A frame left in the texture is
// copied into the window at Present, as every frame was before.
//
// The window is used only where it matches the texture: the back buffer's
// size, 8 bits per colour channel (and alpha for an A8R8G8B8 back buffer),
// and a swap effect that lets a presented back buffer's pixels go.
#pragma once

#include "platform/d3d9.h"

namespace platform {
namespace gl {

class WindowBackBuffer {
public:
    // With the device's context current. `texture` is the back buffer's GL
    // texture; `fits` says whether the window's framebuffer can stand for it.
    void Init(unsigned texture, UINT width, UINT height, bool fits, bool doubleBuffered);
    // With the context current, when the device goes.
    void Release();

    // Drawing into the window wanted (the default) or not. Between frames
    // (nothing drawn since Present) the next frame starts where it is
    // wanted; within a frame, turned off, the frame so far moves into the
    // texture, and turned on, the window takes the next frame. True when
    // that copied.
    bool SetWanted(bool on);
    bool Wanted() const { return m_Wanted; }

    // The frame's pixels are in the window: draws that need no depth or
    // stencil go there.
    bool InWindow() const { return m_InWindow; }
    // The window holds pixels of the back buffer that the texture lacks.
    bool TextureBehind() const { return m_TextureBehind; }
    // The window's buffer that holds them (GL_FRONT or GL_BACK).
    unsigned ReadBuffer() const;
    // A draw or clear of the back buffer's colour, into the window or the texture.
    void Drawing(bool intoWindow)
    {
        m_Fresh = false;
        // Drawn in the window, the texture is behind; drawn in the texture,
        // whatever the window held before is no longer the back buffer's.
        m_TextureBehind = intoWindow;
        if (intoWindow)
            m_ReadFront = false;
    }
    // Brings the texture up to date with the window, if it is behind; true
    // when it copied. Leaves GL's scissor test off, the colour mask full and
    // the read and draw framebuffers moved.
    bool BringBack();
    // The frame goes on in the texture; true when that copied. Nothing drawn
    // since Present, the presented frame's pixels are not carried over (a
    // discarding swap chain's back buffer is undefined then), though a read
    // before the next draw still gets them.
    bool MoveToTexture();
    // The texture is written other than by drawing: brought up to date first,
    // it holds the frame from now on. True when that copied.
    bool TextureWritten();
    // At Present, after the swap: the next frame starts in the window when it
    // is wanted and the window's drawable is the back buffer's size.
    void Presented(bool drawableFits);

private:
    unsigned m_Texture = 0;
    unsigned m_CopyFramebuffer = 0;
    UINT m_Width = 0, m_Height = 0;
    bool m_Fits = false;
    bool m_DoubleBuffered = false;
    bool m_Wanted = true;
    bool m_InWindow = false;
    bool m_DrawableFits = true;
    // Nothing was drawn into the back buffer since the last Present.
    bool m_Fresh = true;
    // The window holds pixels the texture lacks.
    bool m_TextureBehind = false;
    // Since the last swap nothing was drawn: a double-buffered window holds
    // the presented frame in its front buffer.
    bool m_ReadFront = false;
};

} // namespace gl
} // namespace platform
