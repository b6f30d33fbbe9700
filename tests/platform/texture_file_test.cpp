// D3DX textures from image files and back to files, checked texel by texel.
#include "d3d_fixture.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <filesystem>

using namespace d3dtest;

namespace {

// Pixels given as 0xAARRGGBB, written as R, G, B(, A) bytes for stb.
std::vector<unsigned char> ToBytes(const std::vector<D3DCOLOR>& pixels, int channels)
{
    std::vector<unsigned char> bytes;
    for (D3DCOLOR c : pixels) {
        bytes.push_back(static_cast<unsigned char>(c >> 16));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
        bytes.push_back(static_cast<unsigned char>(c));
        if (channels == 4)
            bytes.push_back(static_cast<unsigned char>(c >> 24));
    }
    return bytes;
}

void WriteBytes(const std::string& name, const std::vector<unsigned char>& bytes)
{
    std::FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void Put32(std::vector<unsigned char>& out, size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A DDS header for uncompressed RGB data with the given masks.
std::vector<unsigned char> DdsHeader(UINT width, UINT height, UINT mips, std::uint32_t bits, bool alpha,
                                     std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a)
{
    std::vector<unsigned char> h(128, 0);
    std::memcpy(h.data(), "DDS ", 4);
    Put32(h, 4, 124);
    Put32(h, 8, 0x1007u | (mips > 1 ? 0x20000u : 0u));
    Put32(h, 12, height);
    Put32(h, 16, width);
    Put32(h, 20, width * bits / 8);
    Put32(h, 28, mips);
    Put32(h, 76, 32);
    Put32(h, 80, 0x40u | (alpha ? 0x1u : 0u));
    Put32(h, 88, bits);
    Put32(h, 92, r);
    Put32(h, 96, g);
    Put32(h, 100, b);
    Put32(h, 104, a);
    Put32(h, 108, 0x1000u);
    return h;
}

class TextureFileTest : public D3DTest {
protected:
    // Level `level` of a texture as 0xAARRGGBB, rows top first.
    std::vector<D3DCOLOR> Texels(IDirect3DTexture9* texture, UINT level = 0)
    {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(level, &surface), D3D_OK);
        std::vector<D3DCOLOR> texels = Read(surface);
        surface->Release();
        return texels;
    }

    IDirect3DTexture9* Load(const std::string& name, HRESULT expected = D3D_OK)
    {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, name.c_str(), &texture), expected) << name;
        if (expected != D3D_OK)
            EXPECT_EQ(texture, nullptr);
        return texture;
    }

    static D3DFORMAT FormatOf(IDirect3DTexture9* texture)
    {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(0, &desc);
        return desc.Format;
    }

    // Top row red, green, blue; bottom row half-transparent white, black, grey.
    const std::vector<D3DCOLOR> kPattern = {kRed, kGreen, kBlue, 0x80FFFFFFu, kBlack, 0xFF404040u};
};

TEST_F(TextureFileTest, PngWithAndWithoutAlpha)
{
    std::vector<unsigned char> rgba = ToBytes(kPattern, 4);
    ASSERT_TRUE(stbi_write_png("pattern.png", 3, 2, 4, rgba.data(), 12));
    IDirect3DTexture9* texture = Load("pattern.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture), D3DFMT_A8R8G8B8);
    EXPECT_EQ(Texels(texture), kPattern);
    EXPECT_EQ(texture->GetLevelCount(), 2u); // 3x2, then 1x1
    texture->Release();

    std::vector<unsigned char> rgb = ToBytes(kPattern, 3);
    ASSERT_TRUE(stbi_write_png("opaque.png", 3, 2, 3, rgb.data(), 9));
    texture = Load("opaque.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture), D3DFMT_X8R8G8B8);
    std::vector<D3DCOLOR> opaque = kPattern;
    opaque[3] = kWhite;
    EXPECT_EQ(Texels(texture), opaque);
    texture->Release();
}

TEST_F(TextureFileTest, TgaBmpAndJpeg)
{
    std::vector<unsigned char> rgba = ToBytes(kPattern, 4);
    ASSERT_TRUE(stbi_write_tga("pattern.tga", 3, 2, 4, rgba.data()));
    IDirect3DTexture9* texture = Load("pattern.tga");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Texels(texture), kPattern);
    texture->Release();

    std::vector<unsigned char> rgb = ToBytes(kPattern, 3);
    ASSERT_TRUE(stbi_write_bmp("pattern.bmp", 3, 2, 3, rgb.data()));
    texture = Load("pattern.bmp");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture), D3DFMT_X8R8G8B8);
    EXPECT_EQ(Texels(texture)[2], kBlue);
    EXPECT_EQ(Texels(texture)[4], kBlack);
    texture->Release();

    // JPEG is lossy: large flat blocks, red on top and blue below.
    std::vector<D3DCOLOR> blocks(32 * 32);
    for (size_t i = 0; i < blocks.size(); ++i)
        blocks[i] = i < blocks.size() / 2 ? kRed : kBlue;
    std::vector<unsigned char> jpeg = ToBytes(blocks, 3);
    ASSERT_TRUE(stbi_write_jpg("blocks.jpg", 32, 32, 3, jpeg.data(), 95));
    texture = Load("blocks.jpg");
    ASSERT_NE(texture, nullptr);
    const std::vector<D3DCOLOR> texels = Texels(texture);
    EXPECT_TRUE(Near(texels[4 * 32 + 16], kRed, 24)) << Hex(texels[4 * 32 + 16]);
    EXPECT_TRUE(Near(texels[28 * 32 + 16], kBlue, 24)) << Hex(texels[28 * 32 + 16]);
    texture->Release();
}

TEST_F(TextureFileTest, UncompressedDdsKeepsItsMips)
{
    // 2x2 A8R8G8B8 and a 1x1 level that is deliberately not the average.
    std::vector<unsigned char> dds = DdsHeader(2, 2, 2, 32, true, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
    for (D3DCOLOR c : {kRed, kGreen, kBlue, 0x80FFFFFFu, 0xFF123456u})
        for (int i = 0; i < 4; ++i)
            dds.push_back(static_cast<unsigned char>(c >> (8 * i)));
    WriteBytes("mips.dds", dds);
    IDirect3DTexture9* texture = Load("mips.dds");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture), D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture->GetLevelCount(), 2u);
    EXPECT_EQ(Texels(texture), (std::vector<D3DCOLOR>{kRed, kGreen, kBlue, 0x80FFFFFFu}));
    EXPECT_EQ(Texels(texture, 1), std::vector<D3DCOLOR>{0xFF123456u});
    texture->Release();

    // R and B swapped in the masks, no alpha: read as opaque.
    std::vector<unsigned char> swapped = DdsHeader(1, 1, 1, 32, false, 0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0);
    for (unsigned char b : {0x11, 0x22, 0x33, 0x00})
        swapped.push_back(b);
    WriteBytes("swapped.dds", swapped);
    texture = Load("swapped.dds");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture), D3DFMT_X8R8G8B8);
    EXPECT_EQ(Texels(texture)[0], 0xFF112233u);
    texture->Release();

    // A file shorter than its header says is refused.
    std::vector<unsigned char> truncated = DdsHeader(8, 8, 1, 32, true, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u);
    truncated.resize(truncated.size() + 10, 0);
    WriteBytes("short.dds", truncated);
    Load("short.dds", D3DXERR_INVALIDDATA);
}

TEST_F(TextureFileTest, MissingOrBrokenFilesGiveNoTexture)
{
    Load("no_such_file.png", D3DXERR_INVALIDDATA);
    WriteBytes("garbage.png", {1, 2, 3, 4, 5, 6, 7, 8});
    Load("garbage.png", D3DXERR_INVALIDDATA);
}

TEST_F(TextureFileTest, NamesAreFoundWhateverTheirCase)
{
    std::filesystem::create_directories("Textures");
    std::vector<unsigned char> rgb = ToBytes({kGreen}, 3);
    ASSERT_TRUE(stbi_write_png("Textures/Leaf.PNG", 1, 1, 3, rgb.data(), 3));
    IDirect3DTexture9* texture = Load("textures/leaf.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Texels(texture)[0], kGreen);
    texture->Release();
}

TEST_F(TextureFileTest, LoadedTexturesGetAveragedMips)
{
    std::vector<unsigned char> rgb = ToBytes({kRed, kGreen, kBlue, kWhite}, 3);
    ASSERT_TRUE(stbi_write_png("four.png", 2, 2, 3, rgb.data(), 6));
    IDirect3DTexture9* texture = Load("four.png");
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 2u);
    const D3DCOLOR average = Texels(texture, 1)[0];
    EXPECT_TRUE(Near(average, 0xFF7F7F7Fu, 2)) << Hex(average);
    texture->Release();
}

TEST_F(TextureFileTest, RenderTargetSavedAsBmpAndReadBack)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, 16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);
    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    FillRect(0, 0, 16, 2, kRed); // the top two rows
    FillRect(0, 0, 1, 8, kGreen); // the left column
    device->SetRenderTarget(0, back);

    ASSERT_EQ(D3DXSaveTextureToFileA("Stage00.bmp", D3DXIFF_BMP, target, nullptr), D3D_OK);
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load("Stage00.bmp", &w, &h, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 8);
    auto rgb = [&](int x, int y) {
        const unsigned char* p = pixels + (y * w + x) * 3;
        return 0xFF000000u | (p[0] << 16) | (p[1] << 8) | p[2];
    };
    EXPECT_EQ(rgb(8, 0), kRed);
    EXPECT_EQ(rgb(0, 5), kGreen);
    EXPECT_EQ(rgb(15, 5), kBlue);
    stbi_image_free(pixels);

    // And back as a texture.
    IDirect3DTexture9* loaded = Load("Stage00.bmp");
    ASSERT_NE(loaded, nullptr);
    const std::vector<D3DCOLOR> texels = Texels(loaded);
    EXPECT_EQ(texels[8], kRed);
    EXPECT_EQ(texels[7 * 16 + 8], kBlue);
    loaded->Release();

    surface->Release();
    back->Release();
    target->Release();
}

TEST_F(TextureFileTest, FloatTextureIsSavedClamped)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, 4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT,
                                &target),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* back = nullptr;
    device->GetRenderTarget(0, &back);
    device->SetRenderTarget(0, surface);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF80u, 1.0f, 0);
    device->SetRenderTarget(0, back);
    ASSERT_EQ(D3DXSaveTextureToFileA("float.png", D3DXIFF_PNG, target, nullptr), D3D_OK);
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load("float.png", &w, &h, &channels, 4);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[1], 255);
    EXPECT_NEAR(pixels[2], 128, 1);
    EXPECT_EQ(pixels[3], 255);
    stbi_image_free(pixels);
    surface->Release();
    back->Release();
    target->Release();
}

} // namespace
