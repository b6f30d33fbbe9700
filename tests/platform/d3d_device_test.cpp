// The Direct3D 9 objects themselves: adapters, device creation, references,
// locking, surfaces, render-to-surface and the program hook the effects use.
#include "d3d_fixture.h"

#include <epoxy/gl.h>

using namespace d3dtest;

namespace {

class D3DDeviceTest : public D3DTest {};

TEST_F(D3DDeviceTest, AdapterListCarriesTheDescriptionsGiven)
{
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_EQ(std::string(id.Description).find("PerfHUD"), std::string::npos);
    EXPECT_EQ(d3d->GetAdapterIdentifier(1, 0, &id), D3DERR_INVALIDCALL);

    platform::SetAdapterDescriptions({"Plain card", "NVIDIA PerfHUD"});
    IDirect3D9* two = Direct3DCreate9(D3D_SDK_VERSION);
    platform::SetAdapterDescriptions({});
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->GetAdapterCount(), 2u);
    ASSERT_EQ(two->GetAdapterIdentifier(1, 0, &id), D3D_OK);
    EXPECT_STREQ(id.Description, "NVIDIA PerfHUD");

    // The reference type on the second adapter gives a working device too.
    device->Release();
    device = nullptr;
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* ref = nullptr;
    ASSERT_EQ(two->CreateDevice(1, D3DDEVTYPE_REF, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &ref), D3D_OK);
    EXPECT_EQ(ref->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    EXPECT_EQ(two->CreateDevice(2, D3DDEVTYPE_HAL, window, 0, &pp, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(two->CreateDevice(0, D3DDEVTYPE_SW, window, 0, &pp, &device), D3DERR_NOTAVAILABLE);
    ref->Release();
    EXPECT_EQ(two->Release(), 0u);

    EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

TEST_F(D3DDeviceTest, WindowedBackBufferTakesTheClientSize)
{
    D3DPRESENT_PARAMETERS pp;
    ASSERT_EQ(device->GetPresentParameters(&pp), D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, kWidth);
    EXPECT_EQ(pp.BackBufferHeight, kHeight);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, kWidth);
    EXPECT_EQ(desc.Height, kHeight);
    EXPECT_TRUE(desc.Usage & D3DUSAGE_RENDERTARGET);
    back->Release();

    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D24S8);
    EXPECT_EQ(desc.Width, kWidth);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(depth->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    depth->Release();

    // A new device starts with Direct3D's states.
    DWORD value = 0;
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_TRUE));
    device->GetRenderState(D3DRS_ALPHAFUNC, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCMP_ALWAYS));
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(device->SetSamplerState(8, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(D3DDeviceTest, SceneBracketsPairUp)
{
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(platform::GetDrawStats(device).presents, 1u);
}

TEST_F(D3DDeviceTest, BoundObjectsAreHeldByTheDevice)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {kGreen});
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    // The caller's last reference goes; the device's keeps the texture drawable.
    EXPECT_EQ(texture->Release(), 1u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    DrawTexturedScreen();
    EXPECT_EQ(Pixel(5, 5), kGreen);

    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    EXPECT_EQ(bound->Release(), 1u);
    device->SetTexture(0, nullptr);

    // A level shares its texture's count.
    IDirect3DTexture9* other = MakeTexture(1, 1, {kRed});
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(other->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(other->Release(), 1u);
    EXPECT_EQ(level->Release(), 0u);
}

TEST_F(D3DDeviceTest, ObjectsOutlivingTheDeviceAreSafeToRelease)
{
    IDirect3DTexture9* texture = MakeTexture(2, 2, {kRed, kRed, kRed, kRed});
    IDirect3DVertexBuffer9* buffer = nullptr;
    device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    IDirect3DDevice9* owner = nullptr;
    EXPECT_EQ(texture->GetDevice(&owner), D3DERR_INVALIDCALL);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(D3DDeviceTest, LockingPartOfATextureKeepsTheRest)
{
    IDirect3DTexture9* texture = MakeTexture(4, 4, std::vector<D3DCOLOR>(16, kBlue));
    const RECT part = {1, 2, 3, 4};
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, &part, 0), D3D_OK);
    EXPECT_EQ(*static_cast<D3DCOLOR*>(locked.pBits), kBlue); // the old texel at (1, 2)
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            reinterpret_cast<D3DCOLOR*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch)[x] = kRed;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);

    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        return reinterpret_cast<const D3DCOLOR*>(static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch)[x];
    };
    EXPECT_EQ(at(1, 2), kRed);
    EXPECT_EQ(at(2, 3), kRed);
    EXPECT_EQ(at(0, 2), kBlue);
    EXPECT_EQ(at(1, 1), kBlue);
    EXPECT_EQ(at(3, 3), kBlue);
    texture->UnlockRect(0);

    const RECT outside = {3, 3, 5, 4};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    texture->Release();
}

TEST_F(D3DDeviceTest, MipChainsAndFormats)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 5u);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture->GetLevelDesc(4, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    texture->Release();

    EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    // Render targets live in the default pool only.
    EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                    nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                                     D3DFMT_A16B16G16R16F),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                                     D3DFMT_D24S8),
              D3DERR_NOTAVAILABLE);
}

TEST_F(D3DDeviceTest, FloatRenderTargetKeepsValuesAboveOne)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F, D3DPOOL_DEFAULT, &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);
    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080u, 1.0f, 0);
    // White added to 0.5 gives 1.5: a float target does not clamp.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    FillRect(0, 0, 8, 8, kWhite);
    device->SetRenderTarget(0, back);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_NEAR(*static_cast<float*>(locked.pBits), 1.0f + 128.0f / 255.0f, 1e-3f);
    surface->UnlockRect();
    surface->Release();
    back->Release();
    target->Release();
}

TEST_F(D3DDeviceTest, RenderTargetDataCopiesAndStretchRectScales)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    FillRect(0, 0, 32, 24, kRed); // top-left quarter
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(back, copy), D3D_OK);
    std::vector<D3DCOLOR> pixels = Read(copy);
    EXPECT_EQ(pixels[0], kRed);
    EXPECT_EQ(pixels[30 * kWidth + 40], kBlack);

    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(16, 12, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &small, nullptr),
              D3D_OK);
    ASSERT_EQ(device->StretchRect(back, nullptr, small, nullptr, D3DTEXF_POINT), D3D_OK);
    pixels = Read(small);
    EXPECT_EQ(pixels[2 * 16 + 2], kRed);
    EXPECT_EQ(pixels[10 * 16 + 12] & 0x00FFFFFFu, 0u);
    // A copy between surfaces of different sizes is refused.
    EXPECT_EQ(device->GetRenderTargetData(small, copy), D3DERR_INVALIDCALL);
    small->Release();
    copy->Release();
    back->Release();
}

TEST_F(D3DDeviceTest, DrawFromUserMemoryUnsetsTheStream)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    device->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED, &buffer, nullptr);
    device->SetStreamSource(0, buffer, 0, sizeof(ScreenVertex));
    FillRect(0, 0, 4, 4, kRed);
    IDirect3DVertexBuffer9* stream = buffer;
    UINT offset = 1, stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    // With no stream left to draw from, a buffer draw is refused rather than guessed at.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    buffer->Release();
}

TEST_F(D3DDeviceTest, DrawsReachingPastTheirBuffersAreRefused)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED, &vb, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(6 * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    device->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
    device->SetIndices(ib);
    device->SetFVF(kScreenFvf);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(platform::GetDrawStats(device).drawCalls, 2u);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    vb->Release();
    ib->Release();
}

TEST_F(D3DDeviceTest, RenderToSurfaceRestoresTargetDepthAndViewport)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    ID3DXRenderToSurface* rts = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(device, 16, 16, D3DFMT_A8R8G8B8, FALSE, D3DFMT_UNKNOWN, &rts), D3D_OK);

    IDirect3DSurface9 *back = nullptr, *depth = nullptr;
    device->GetRenderTarget(0, &back);
    device->GetDepthStencilSurface(&depth);
    const D3DVIEWPORT9 kept = {2, 3, 20, 10, 0.0f, 1.0f};
    device->SetViewport(&kept);

    ASSERT_EQ(rts->BeginScene(surface, nullptr), D3D_OK);
    IDirect3DSurface9* current = nullptr;
    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, surface);
    current->Release();
    IDirect3DSurface9* noDepth = nullptr;
    EXPECT_EQ(device->GetDepthStencilSurface(&noDepth), D3DERR_NOTFOUND);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 16u);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL); // the scene is open
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    ASSERT_EQ(rts->EndScene(0), D3D_OK);
    EXPECT_EQ(rts->EndScene(0), D3DERR_INVALIDCALL);

    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, back);
    current->Release();
    IDirect3DSurface9* depthAfter = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depthAfter), D3D_OK);
    EXPECT_EQ(depthAfter, depth);
    depthAfter->Release();
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, 2u);
    EXPECT_EQ(viewport.Y, 3u);
    EXPECT_EQ(viewport.Width, 20u);
    EXPECT_EQ(viewport.Height, 10u);
    EXPECT_EQ(device->BeginScene(), D3D_OK); // the scene was closed
    device->EndScene();
    EXPECT_EQ(Read(surface)[0], kGreen);

    // Asked for one, it brings its own depth surface of its size.
    ID3DXRenderToSurface* withDepth = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(device, 16, 16, D3DFMT_A8R8G8B8, TRUE, D3DFMT_D24S8, &withDepth), D3D_OK);
    const D3DVIEWPORT9 corner = {0, 0, 8, 8, 0.0f, 1.0f};
    ASSERT_EQ(withDepth->BeginScene(surface, &corner), D3D_OK);
    IDirect3DSurface9* own = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&own), D3D_OK);
    D3DSURFACE_DESC desc;
    own->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 16u);
    own->Release();
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 8u);
    withDepth->EndScene(0);
    withDepth->Release();

    rts->Release();
    depth->Release();
    back->Release();
    surface->Release();
    texture->Release();
}

// A program of our own drawing through the device, as the effects do.
GLuint BuildProgram(const char* fragmentBody)
{
    const char* vs = "#version 330 core\n"
                     "layout(location = 0) in vec4 a_Position;\n"
                     "layout(location = 2) in vec4 a_Color;\n"
                     "out vec4 v_Color;\n"
                     "void main() { gl_Position = vec4(a_Position.xyz, 1.0); v_Color = a_Color; }\n";
    const std::string fs = std::string("#version 330 core\n") + platform::kAlphaTestGlsl +
                           "in vec4 v_Color;\nuniform sampler2D u_Second;\nout vec4 o_Color;\n" + fragmentBody;
    auto compile = [](GLenum type, const char* source) {
        GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        EXPECT_TRUE(ok);
        return shader;
    };
    GLuint program = glCreateProgram();
    GLuint v = compile(GL_VERTEX_SHADER, vs), f = compile(GL_FRAGMENT_SHADER, fs.c_str());
    glAttachShader(program, v);
    glAttachShader(program, f);
    glLinkProgram(program);
    glDeleteShader(v);
    glDeleteShader(f);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    EXPECT_TRUE(ok);
    return program;
}

TEST_F(D3DDeviceTest, EffectProgramsGetStagesAsTextureUnits)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    IDirect3DTexture9* second = MakeTexture(1, 1, {0x80FF00FFu});
    GLuint program = BuildProgram(
        "void main() { vec4 c = texture(u_Second, vec2(0.5)) * v_Color; d3d_AlphaTest(c.a); o_Color = c; }\n");
    platform::UseEffectProgram(device, program);
    EXPECT_EQ(platform::CurrentEffectProgram(device), program);
    glUniform1i(glGetUniformLocation(program, "u_Second"), 1);
    device->SetTexture(1, second);

    const ColorVertex quad[4] = {{-1, 1, 0, kWhite}, {1, 1, 0, kWhite}, {-1, -1, 0, kWhite}, {1, -1, 0, kWhite}};
    device->SetFVF(kColorFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(Pixel(10, 10), 0xFFFF00FFu);

    // The alpha-test states reach the program through the shared snippet.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(10, 10), kBlack);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);

    // Back to the fixed-function path: vertex colours again.
    platform::UseEffectProgram(device, 0);
    const ColorVertex red[4] = {{-1, 1, 0, kRed}, {1, 1, 0, kRed}, {-1, -1, 0, kRed}, {1, -1, 0, kRed}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, red, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(10, 10), kRed);

    device->SetTexture(1, nullptr);
    second->Release();
    glDeleteProgram(program);
}

} // namespace
