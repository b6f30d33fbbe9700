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

    // Drawing into the window wanted (the default) or not. Turned off, the
    // pixels move into the texture at once.
    void SetWanted(bool on);
    bool Wanted() const { return m_Wanted; }

    // The frame's pixels are in the window: draws that need no depth or
    // stencil go there.
    bool InWindow() const { return m_InWindow; }
    // A draw or clear went into the window: the texture is behind it now.
    void Drawn()
    {
        m_TextureBehind = true;
        m_ReadFront = false;
    }
    // Brings the texture up to date with the window, if it is behind; true
    // when it copied. Leaves GL's scissor test off, the colour mask full and
    // the read and draw framebuffers moved.
    bool BringBack();
    // The pixels move into the texture for the rest of the frame (brought
    // back first); true when that copied.
    bool MoveToTexture();
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
    // The window holds pixels the texture lacks.
    bool m_TextureBehind = false;
    // Since the last swap nothing was drawn: a double-buffered window holds
    // the presented frame in its front buffer.
    bool m_ReadFront = false;
};

} // namespace gl
} // namespace platform
