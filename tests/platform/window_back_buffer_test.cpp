// The back buffer's passes drawn straight into the window: what the window
// shows after Present, read from the window itself, and what it cost to get
// there (copies at Present, copies of the window into the back buffer).
#include "d3d_fixture.h"

using namespace d3dtest;

namespace {

class WindowBackBufferTest : public D3DTest {
protected:
    // The window's pixels, rows top first.
    std::vector<D3DCOLOR> Window()
    {
        std::vector<D3DCOLOR> pixels;
        UINT w = 0, h = 0;
        EXPECT_TRUE(platform::ReadWindowPixels(device, &pixels, &w, &h));
        EXPECT_EQ(w, kWidth);
        EXPECT_EQ(h, kHeight);
        pixels.resize(static_cast<size_t>(kWidth) * kHeight);
        return pixels;
    }
    static D3DCOLOR At(const std::vector<D3DCOLOR>& pixels, UINT x, UINT y) { return pixels[y * kWidth + x]; }

    void Present() { EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK); }
    platform::DrawStats Stats() { return platform::GetDrawStats(device); }

    // Red over the top-left quarter (screen vertices), blue over a triangle
    // in the bottom-right quarter (through the transforms, clip y up), on
    // green: upside down or mirrored, no quarter keeps its colour.
    void DrawQuarters()
    {
        Clear(kGreen);
        FillRect(0, 0, kWidth / 2, kHeight / 2, kRed);
        const ColorVertex bottomRight[3] = {{0, -1, 0.5f, kBlue}, {1, 0, 0.5f, kBlue}, {1, -1, 0.5f, kBlue}};
        device->SetFVF(kColorFvf);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, bottomRight, sizeof(ColorVertex)), D3D_OK);
    }
    static void ExpectQuarters(const std::vector<D3DCOLOR>& pixels)
    {
        EXPECT_EQ(At(pixels, 4, 4), kRed);
        EXPECT_EQ(At(pixels, kWidth / 2 - 1, kHeight / 2 - 1), kRed) << "the quarter's last row and column";
        EXPECT_EQ(At(pixels, kWidth / 2, kHeight / 2 - 1), kGreen);
        EXPECT_EQ(At(pixels, kWidth / 2 - 1, kHeight / 2), kGreen);
        EXPECT_EQ(At(pixels, kWidth - 4, 4), kGreen);
        EXPECT_EQ(At(pixels, 4, kHeight - 4), kGreen);
        EXPECT_EQ(At(pixels, kWidth - 2, kHeight - 4), kBlue);
        EXPECT_EQ(At(pixels, kWidth / 2 + 4, kHeight - 2), kBlue);
        EXPECT_EQ(At(pixels, kWidth / 2 + 4, kHeight / 2 + 4), kGreen) << "above the triangle's diagonal";
    }
};

TEST_F(WindowBackBufferTest, PresentShowsTheFrameUprightWithoutCopyingIt)
{
    DrawQuarters();
    platform::ResetDrawStats(device);
    Present();
    ExpectQuarters(Window());
    EXPECT_EQ(Stats().presentCopies, 0u);
    EXPECT_EQ(Stats().backBufferCopies, 0u);

    // Copied out after Present, the back buffer is the frame presented, read
    // from the window itself.
    Target half = RenderTarget(kWidth / 2, kHeight / 2);
    ASSERT_NE(half.surface, nullptr);
    Ref<IDirect3DSurface9> back = CurrentTarget();
    ASSERT_EQ(device->StretchRect(back.get(), nullptr, half.surface.get(), nullptr, D3DTEXF_POINT), D3D_OK);
    const std::vector<D3DCOLOR> small = Read(half.surface.get());
    EXPECT_EQ(small[2 * (kWidth / 2) + 2], kRed);
    EXPECT_EQ(small[2 * (kWidth / 2) + kWidth / 2 - 2], kGreen);
    EXPECT_EQ(small[(kHeight / 2 - 2) * (kWidth / 2) + kWidth / 2 - 1], kBlue);
    // The bottom-right corner, 8 by 4, into the same place of the small target.
    const RECT from = {kWidth - 8, kHeight - 4, kWidth, kHeight};
    const RECT to = {kWidth / 2 - 8, kHeight / 2 - 4, kWidth / 2, kHeight / 2};
    ASSERT_EQ(device->SetRenderTarget(0, half.surface.get()), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
    ASSERT_EQ(device->StretchRect(back.get(), &from, half.surface.get(), &to, D3DTEXF_POINT), D3D_OK);
    const std::vector<D3DCOLOR> corner = Read(half.surface.get());
    EXPECT_EQ(corner[(kHeight / 2 - 4) * (kWidth / 2) + kWidth / 2 - 8], kBlue);
    EXPECT_EQ(corner[(kHeight / 2 - 1) * (kWidth / 2) + kWidth / 2 - 1], kBlue);
    EXPECT_EQ(corner[(kHeight / 2 - 5) * (kWidth / 2) + kWidth / 2 - 1], kBlack);
    EXPECT_EQ(Stats().backBufferCopies, 0u);

    // Read after Present, the back buffer holds the frame presented, brought
    // back from the window once.
    ExpectQuarters(Pixels());
    EXPECT_EQ(Stats().backBufferCopies, 1u);
    ExpectQuarters(Pixels());
    EXPECT_EQ(Stats().backBufferCopies, 1u) << "the texture is up to date until the window is drawn again";

    // The next frame goes into the window again.
    Clear(kBlue);
    Present();
    EXPECT_EQ(At(Window(), 4, 4), kBlue);
    EXPECT_EQ(Stats().presentCopies, 0u);
}

// Culling, the scissor rectangle, the viewport and cleared rectangles count
// rows from the top in the window as in any target.
TEST_F(WindowBackBufferTest, CullingScissorAndViewportHoldInTheWindow)
{
    const ScreenVertex clockwise[3] = {{2, 2, 0.5f, 1, kRed}, {30, 2, 0.5f, 1, kRed}, {2, 20, 0.5f, 1, kRed}};
    const ScreenVertex counter[3] = {{34, 2, 0.5f, 1, kBlue}, {34, 20, 0.5f, 1, kBlue}, {62, 2, 0.5f, 1, kBlue}};
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetFVF(kScreenFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ScreenVertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ScreenVertex));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    // Rows 24..31 by scissor, 32..39 through a viewport, 40..43 cleared, each
    // on the left half only.
    const RECT scissor = {0, 24, kWidth / 2, 32};
    device->SetScissorRect(&scissor);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    FillRect(0, 0, kWidth, kHeight, kRed);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    D3DVIEWPORT9 viewport = {0, 32, kWidth / 2, 8, 0.0f, 1.0f};
    device->SetViewport(&viewport);
    const ColorVertex whole[4] = {{-1, 1, 0.5f, kWhite}, {1, 1, 0.5f, kWhite}, {-1, -1, 0.5f, kWhite},
                                  {1, -1, 0.5f, kWhite}};
    device->SetFVF(kColorFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, whole, sizeof(ColorVertex));
    viewport = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
    device->SetViewport(&viewport);
    const D3DRECT band = {0, 40, kWidth / 2, 44};
    device->Clear(1, &band, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    Present();

    const std::vector<D3DCOLOR> shown = Window();
    EXPECT_EQ(At(shown, 6, 6), kRed) << "clockwise kept";
    EXPECT_EQ(At(shown, 38, 6), kBlack) << "counter-clockwise culled";
    for (UINT y : {23u, 24u, 31u, 32u, 39u, 40u, 43u, 44u})
        EXPECT_EQ(At(shown, kWidth / 2 + 2, y), kBlack) << "right half, row " << y;
    EXPECT_EQ(At(shown, 4, 23), kBlack);
    EXPECT_EQ(At(shown, 4, 24), kRed);
    EXPECT_EQ(At(shown, 4, 31), kRed);
    EXPECT_EQ(At(shown, 4, 32), kWhite);
    EXPECT_EQ(At(shown, 4, 39), kWhite);
    EXPECT_EQ(At(shown, 4, 40), kBlue);
    EXPECT_EQ(At(shown, 4, 43), kBlue);
    EXPECT_EQ(At(shown, 4, 44), kBlack);
    EXPECT_EQ(Stats().presentCopies, 0u);
}

// A draw that needs the depth surface carries the frame on in the texture,
// with what was drawn in the window so far; Present copies that frame, and
// the next one starts in the window again.
TEST_F(WindowBackBufferTest, ADrawWithDepthCarriesTheFrameOnInTheTexture)
{
    FillRect(0, 0, kWidth, kHeight / 2, kRed, 0.2f);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    FillRect(0, kHeight / 2, kWidth, kHeight, kBlue, 0.4f);
    // Behind the blue: the depth it wrote keeps this out.
    FillRect(0, kHeight / 2, kWidth, kHeight, kWhite, 0.6f);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    EXPECT_EQ(Stats().backBufferCopies, 1u);
    Present();
    EXPECT_EQ(Stats().presentCopies, 1u);
    std::vector<D3DCOLOR> shown = Window();
    EXPECT_EQ(At(shown, 4, 4), kRed);
    EXPECT_EQ(At(shown, 4, kHeight - 4), kBlue);

    Clear(kGreen);
    Present();
    EXPECT_EQ(Stats().presentCopies, 1u);
    EXPECT_EQ(At(Window(), 4, 4), kGreen);

    // A frame that starts with such a draw has nothing of the window's to carry.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    FillRect(0, 0, kWidth / 2, kHeight, kBlue, 0.1f);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    FillRect(kWidth / 2, 0, kWidth, kHeight, kRed);
    Present();
    EXPECT_EQ(Stats().backBufferCopies, 1u);
    EXPECT_EQ(Stats().presentCopies, 2u);
    shown = Window();
    EXPECT_EQ(At(shown, 4, 4), kBlue);
    EXPECT_EQ(At(shown, kWidth - 4, 4), kRed);
}

// Written other than by drawing, the back buffer shows what was written over
// what was drawn before.
TEST_F(WindowBackBufferTest, WritesIntoTheBackBufferShowOverTheFrame)
{
    Clear(kRed);
    Ref<IDirect3DSurface9> back = CurrentTarget();
    Target source = RenderTarget(8, 8);
    ASSERT_NE(source.surface, nullptr);
    ASSERT_EQ(device->SetRenderTarget(0, source.surface.get()), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
    const RECT into = {0, 0, 8, 8};
    ASSERT_EQ(device->StretchRect(source.surface.get(), nullptr, back.get(), &into, D3DTEXF_POINT), D3D_OK);
    Present();
    std::vector<D3DCOLOR> shown = Window();
    EXPECT_EQ(At(shown, 2, 2), kBlue);
    EXPECT_EQ(At(shown, 20, 20), kRed);

    // A lock that writes.
    Clear(kGreen);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(back->LockRect(&locked, nullptr, 0), D3D_OK);
    static_cast<D3DCOLOR*>(locked.pBits)[0] = kWhite;
    back->UnlockRect();
    Present();
    shown = Window();
    EXPECT_EQ(At(shown, 0, 0), kWhite);
    EXPECT_EQ(At(shown, 1, 0), kGreen);
    EXPECT_EQ(At(shown, 0, kHeight - 1), kGreen);
}

// Switched off, the back buffer is a texture that Present copies, with the
// same picture. Between frames the switch takes the next frame; within one,
// turned off it moves the frame so far into the texture, turned on it waits
// for the next frame.
TEST_F(WindowBackBufferTest, SwitchedOffPresentCopiesTheSamePicture)
{
    DrawQuarters();
    platform::DrawBackBufferInWindow(device, false);
    EXPECT_EQ(Stats().backBufferCopies, 1u) << "what was drawn in the window moves along";
    Present();
    EXPECT_EQ(Stats().presentCopies, 1u);
    ExpectQuarters(Window());

    platform::DrawBackBufferInWindow(device, true);
    Clear(kBlue);
    Present();
    EXPECT_EQ(Stats().presentCopies, 1u);
    EXPECT_EQ(At(Window(), 4, 4), kBlue);
    // Turned both ways between frames, a read still gets the frame presented.
    platform::DrawBackBufferInWindow(device, false);
    platform::DrawBackBufferInWindow(device, true);
    EXPECT_EQ(At(Pixels(), 4, 4), kBlue);
    EXPECT_EQ(Stats().backBufferCopies, 2u);

    DrawQuarters();
    Present();
    platform::DrawBackBufferInWindow(device, false);
    EXPECT_EQ(Stats().backBufferCopies, 2u) << "nothing drawn since Present: nothing to carry over";
    ExpectQuarters(Pixels());
    EXPECT_EQ(Stats().backBufferCopies, 3u) << "read, the presented frame still comes back";
    Clear(kBlue);
    FillRect(0, 0, kWidth / 2, kHeight / 2, kRed);
    EXPECT_EQ(At(Pixels(), kWidth - 4, 4), kBlue);
    platform::DrawBackBufferInWindow(device, true);
    FillRect(kWidth / 2, kHeight / 2, kWidth, kHeight, kRed);
    Present();
    EXPECT_EQ(Stats().presentCopies, 2u) << "turned on within a frame, the window takes the next";
    const std::vector<D3DCOLOR> shown = Window();
    EXPECT_EQ(At(shown, 4, 4), kRed);
    EXPECT_EQ(At(shown, kWidth - 4, 4), kBlue);
    EXPECT_EQ(At(shown, kWidth - 4, kHeight - 4), kRed);
    EXPECT_EQ(Stats().backBufferCopies, 3u);
}

} // namespace
