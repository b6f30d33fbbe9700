// Drawing through the game's own helpers on a plain device (screen images, world
// quads, debug lines, vertex buffers and textures), and the tangents meshes carry.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <utility>

#include "render/DeviceFixture.h"
#include "render/DrawCollisions.h"
#include "render/DrawHelper.h"
#include "render/Tangents.h"
#include "render/TextureManager.h"
#include "render/VertexBuffers.h"

namespace {

namespace fs = std::filesystem;
using drawtest::kBlack;
using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// The device starts with point sampling: each texel is a block of pixels.
using DeviceDraw = drawtest::DeviceTest;

DWORD State(D3DRENDERSTATETYPE state)
{
    DWORD value = 0xBAD;
    D3DDevice->GetRenderState(state, &value);
    return value;
}

// Whatever the camera, cull mode and depth buffer hold, a screen image covers
// the screen upright, and they are all as they were afterwards.
TEST_F(DeviceDraw, FullScreenTextureIsUprightAndLeavesTheDeviceAsItFoundIt)
{
    IDirect3DTexture9* t = Texture(2, 2, {kRed, kGreen, kBlue, kWhite});
    D3DXMATRIX view, projection;
    D3DXMatrixTranslation(&view, 100, 100, 3);
    D3DXMatrixPerspectiveFovRH(&projection, 0.8f, 1.0f, 1.0f, 100.0f);
    D3DDevice->SetTransform(D3DTS_VIEW, &view);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);
    for (DWORD cull : {D3DCULL_CW, D3DCULL_CCW, D3DCULL_NONE}) {
        SCOPED_TRACE(cull);
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 0.0f, 0);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, cull);
        getDrawHelper().DrawFullScreenTexture(t, 1.0f);
        EXPECT_EQ(Pixel(0, 0), kRed);
        EXPECT_EQ(Pixel(kSize - 1, 0), kGreen);
        EXPECT_EQ(Pixel(0, kSize - 1), kBlue);
        EXPECT_EQ(Pixel(kSize / 2 - 1, kSize / 2 - 1), kRed);
        EXPECT_EQ(Pixel(kSize / 2, kSize / 2), kWhite);
    }

    auto transform = [](D3DTRANSFORMSTATETYPE state) { D3DXMATRIX m; D3DDevice->GetTransform(state, &m); return m; };
    EXPECT_EQ(transform(D3DTS_VIEW), view);
    EXPECT_EQ(transform(D3DTS_PROJECTION), projection);
    EXPECT_EQ(State(D3DRS_CULLMODE), DWORD{D3DCULL_NONE});
    EXPECT_EQ(State(D3DRS_ZENABLE), DWORD{TRUE});
    EXPECT_EQ(State(D3DRS_ZWRITEENABLE), DWORD{TRUE});
    IDirect3DBaseTexture9* stage0 = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    D3DDevice->GetTexture(0, &stage0);
    EXPECT_EQ(stage0, nullptr);
}

TEST_F(DeviceDraw, WorldQuadsDropTexelsBelowAlpha100FromBothSidesAndDebugLinesKeepTheirColour)
{
    // Left texel alpha 99 (dropped), right texel alpha 100 (kept).
    IDirect3DTexture9* t = Texture(2, 1, {0x63FF0000, 0x6400FF00});
    IdentityTransforms();
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    for (DWORD cull : {D3DCULL_CW, D3DCULL_CCW}) {
        ClearTo(kBlack);
        D3DDevice->SetRenderState(D3DRS_CULLMODE, cull);
        getDrawHelper().DrawWorldQuad(t, world, 1.0f); // size 1 spans clip space from -1 to 1
        EXPECT_EQ(Pixel(kSize / 4, kSize / 2), kBlack) << "cull " << cull;
        EXPECT_EQ(Pixel(3 * kSize / 4, kSize / 2), kGreen) << "cull " << cull;
    }
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), DWORD{FALSE});

    // Physics debug lines scale each channel and are drawn in their colour.
    EXPECT_EQ(DebugLineColour(btVector3(0.5f, 0.2f, 1.0f)), 0xFF8033FFu);
    EXPECT_EQ(DebugLineColour(btVector3(2.0f, -1.0f, 1.01f)), 0xFFFF00FFu); // clamped, not wrapped
    ClearTo(kBlack);
    const float y = 1.0f - (20.5f / kSize) * 2.0f; // through the centre of pixel row 20
    CDrawCollisions().drawLine(btVector3(-1, y, 0.5f), btVector3(1, y, 0.5f), btVector3(1, 0, 0));
    EXPECT_EQ(Pixel(kSize / 2, 20), kRed);
    EXPECT_EQ(Pixel(kSize / 2, 30), kBlack);
}

// Which of two pixels each draw reaches, near the bottom-left and top-right
// corners: a quad split along the other diagonal has the bottom-left in triangle 0.
TEST_F(DeviceDraw, WholeBufferAndSubsetDrawsReachOnlyTheirTriangles)
{
    const CUSTOMVERTEX corners[4] = {
        {-1, -1, 0.5f, kRed}, {1, -1, 0.5f, kRed}, {-1, 1, 0.5f, kRed}, {1, 1, 0.5f, kRed}};
    const std::vector<unsigned short> quad = {0, 1, 2, 2, 1, 3};
    const std::vector<SubsetRange> halves = {{0, 1}, {1, 1}};
    const struct {
        const char* what;
        D3DPRIMITIVETYPE type;
        std::vector<unsigned short> indices;
        std::vector<SubsetRange> subsets;
        int subset; // -1: the whole buffer
        bool bottomLeft, topRight;
    } cases[] = {
        {"a strip of four vertices", D3DPT_TRIANGLESTRIP, {}, {}, -1, true, true},
        // Only lists are drawn whole through an index buffer; a strip goes through its subsets.
        {"an indexed strip, whole", D3DPT_TRIANGLESTRIP, {0, 1, 2, 3}, {{0, 2}}, -1, false, false},
        {"an indexed strip's subset", D3DPT_TRIANGLESTRIP, {0, 1, 2, 3}, {{0, 2}}, 0, true, true},
        {"an indexed list, whole", D3DPT_TRIANGLELIST, quad, halves, -1, true, true},
        {"the second triangle's subset", D3DPT_TRIANGLELIST, quad, halves, 1, false, true},
        // Bad subset requests draw nothing.
        {"a subset without an index buffer", D3DPT_TRIANGLELIST, {}, {{0, 2}}, 0, false, false},
        {"a subset past the indices", D3DPT_TRIANGLELIST, quad, {{0, 2}, {1, 5}}, 1, false, false},
        {"a subset past the list", D3DPT_TRIANGLELIST, quad, halves, 2, false, false},
        {"a negative subset", D3DPT_TRIANGLELIST, quad, halves, -2, false, false},
    };
    IdentityTransforms();
    D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CVertexBufferDef<CUSTOMVERTEX> buffer;
        buffer.Create(4, corners, c.type);
        if (!c.indices.empty()) {
            buffer.SetIndexBuffer(new CIndexBuffer);
            buffer.GetIndexBuffer()->Create(static_cast<unsigned>(c.indices.size()), c.indices.data());
        }
        buffer.GetSubsets() = c.subsets;
        ClearTo(kBlack);
        c.subset == -1 ? buffer.Render() : buffer.RenderSubset(c.subset);
        EXPECT_EQ(Pixel(8, kSize - 8) == kRed, c.bottomLeft);
        EXPECT_EQ(Pixel(kSize - 8, 8) == kRed, c.topRight);
        if (!c.bottomLeft && !c.topRight)
            EXPECT_TRUE(AllBlack());
    }
}

// The cache (a local, so its textures go before the device) reads from a scratch folder.
TEST_F(DeviceDraw, LoadsAFileOnceRemembersAMissingOneAsNullAndLooksInTheTexturesFolderFirst)
{
    drawtest::ScratchFolder folder;
    CTextureManager cache;
    auto writeImage = [&](const std::string& path, D3DCOLOR colour) {
        fs::create_directories(fs::path(path).parent_path());
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_BMP, Texture(1, 1, {colour}), nullptr), S_OK);
    };
    auto colourOf = [&](IDirect3DTexture9* texture) {
        getDrawHelper().DrawFullScreenTexture(texture, 1.0f);
        return Pixel(kSize / 2, kSize / 2);
    };

    // Nothing is remembered before the device exists.
    writeImage("data/textures/wall.bmp", kGreen);
    IDirect3DDevice9* device = std::exchange(D3DDevice, nullptr);
    EXPECT_EQ(cache.GetTexture("wall.bmp"), nullptr);
    D3DDevice = device;

    IDirect3DTexture9* first = cache.GetTexture("wall.bmp");
    EXPECT_EQ(colourOf(first), kGreen);
    fs::remove("data/textures/wall.bmp");
    EXPECT_EQ(cache.GetTexture("wall.bmp"), first);

    EXPECT_EQ(cache.GetTexture("later.bmp"), nullptr);
    writeImage("data/textures/later.bmp", kWhite);
    EXPECT_EQ(cache.GetTexture("later.bmp"), nullptr);
    EXPECT_NE(CTextureManager().GetTexture("later.bmp"), nullptr);

    // Screen images are found from the working folder, after the textures folder.
    writeImage("data/textures/GUI/hud.bmp", kGreen);
    writeImage("GUI/hud.bmp", kRed);
    writeImage("GUI/LOADING/splash.bmp", kRed);
    EXPECT_EQ(colourOf(cache.GetTexture("GUI/hud.bmp")), kGreen);
    EXPECT_EQ(colourOf(cache.GetTexture("GUI/LOADING/splash.bmp")), kRed);
}

// A unit quad in the XY plane facing +Z, two triangles.
struct Quad {
    D3DXVECTOR3 positions[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    D3DXVECTOR3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    unsigned short triangles[6] = {0, 1, 2, 2, 1, 3};
    D3DXVECTOR4 tangents[4];

    void Compute(const D3DXVECTOR2 (&uvs)[4]) { ComputeTangents(4, positions, normals, uvs, 2, triangles, tangents); }
};

// Any infinite or NaN component leaves the sum so.
bool Finite(const D3DXVECTOR4& v) { return std::isfinite(v.x + v.y + v.z + v.w); }

// Straight uvs on flat faces are exercised by the generator's meshes.
TEST(ComputeTangents, TangentsLieInTheSmoothedSurfaceAndStayFiniteOnBrokenInput)
{
    // Normals leaning towards +x: the raw u direction must be projected.
    Quad q;
    for (D3DXVECTOR3& n : q.normals)
        n = D3DXVECTOR3(0.6f, 0.0f, 0.8f);
    q.Compute({{0, 0}, {1, 0}, {0, 1}, {1, 1}});
    for (int i = 0; i < 4; ++i) {
        const D3DXVECTOR3 t(q.tangents[i].x, q.tangents[i].y, q.tangents[i].z);
        EXPECT_NEAR(D3DXVec3Dot(&t, &q.normals[i]), 0.0f, 1e-5f);
        EXPECT_NEAR(D3DXVec3Length(&t), 1.0f, 1e-5f);
        EXPECT_GT(t.x, 0.0f);
    }

    // Triangle 1, 3, 2 has all its uvs on one line: the vertices it shares
    // keep the good triangle's direction.
    Quad flat;
    flat.triangles[3] = 1;
    flat.triangles[4] = 3;
    flat.Compute({{0, 0}, {1, 0}, {0, 1}, {0.5f, 0.5f}});
    for (const D3DXVECTOR4& t : flat.tangents)
        EXPECT_TRUE(Finite(t));
    EXPECT_NEAR(flat.tangents[1].x, 1.0f, 1e-5f);
    EXPECT_NEAR(flat.tangents[2].x, 1.0f, 1e-5f);

    // A triangle naming a vertex past the list is dropped; a vertex no
    // triangle uses gets a finite tangent of positive handedness. The kept
    // triangle's uvs are mirrored (u runs along -x): its handedness is negative.
    Quad r;
    r.triangles[5] = 40;
    r.Compute({{1, 0}, {0, 0}, {1, 1}, {0, 0}});
    EXPECT_NEAR(r.tangents[0].x, -1.0f, 1e-5f);
    EXPECT_EQ(r.tangents[0].w, -1.0f);
    EXPECT_TRUE(Finite(r.tangents[3]));
    EXPECT_EQ(r.tangents[3].x, 0.0f);
    EXPECT_EQ(r.tangents[3].w, 1.0f);
}

} // namespace
