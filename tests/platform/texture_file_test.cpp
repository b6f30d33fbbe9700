// D3DX textures from image files and back to files, checked texel by texel.
#include "d3d_fixture.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <fstream>

#include "xml/temp_folder.h"

using namespace d3dtest;

namespace {

// Pixels given as 0xAARRGGBB, written as R, G, B(, A) bytes for stb.
std::vector<unsigned char> ToBytes(const std::vector<D3DCOLOR>& pixels, int channels)
{
    std::vector<unsigned char> bytes;
    for (D3DCOLOR c : pixels)
        for (int shift : {16, 8, 0, 24})
            if (shift != 24 || channels == 4)
                bytes.push_back(static_cast<unsigned char>(c >> shift));
    return bytes;
}

void WriteBytes(const std::string& name, const std::vector<unsigned char>& bytes)
{
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A DDS file of uncompressed RGB data with the given masks; `texels` are the
// little-endian pixels of every level.
std::vector<unsigned char> Dds(UINT width, UINT height, UINT mips, bool alpha, std::uint32_t r, std::uint32_t b,
                               std::uint32_t a, const std::vector<std::uint32_t>& texels)
{
    std::vector<unsigned char> h(128, 0);
    auto put = [&](size_t at, std::uint32_t v) { std::memcpy(&h[at], &v, 4); };
    std::memcpy(h.data(), "DDS ", 4);
    for (auto [at, value] : {std::pair<size_t, std::uint32_t>{4, 124}, {8, 0x1007u | (mips > 1 ? 0x20000u : 0u)},
                             {12, height}, {16, width}, {20, width * 4}, {28, mips}, {76, 32},
                             {80, 0x40u | (alpha ? 0x1u : 0u)}, {88, 32}, {92, r}, {96, 0x0000FF00u}, {100, b},
                             {104, a}, {108, 0x1000u}})
        put(at, value);
    for (std::uint32_t t : texels)
        for (int i = 0; i < 4; ++i)
            h.push_back(static_cast<unsigned char>(t >> (8 * i)));
    return h;
}

class TextureFileTest : public D3DTest {
protected:
    // The image files each case writes go to a folder of their own.
    void SetUp() override
    {
        D3DTest::SetUp();
        m_Previous = std::filesystem::current_path();
        std::filesystem::current_path(m_Folder.Path());
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_Previous);
        D3DTest::TearDown();
    }

    // Level `level` of a texture as 0xAARRGGBB, rows top first.
    std::vector<D3DCOLOR> Texels(IDirect3DTexture9* texture, UINT level = 0)
    {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(level, &surface), D3D_OK);
        return surface ? Read(Ref<IDirect3DSurface9>(surface).get()) : std::vector<D3DCOLOR>{};
    }

    Ref<IDirect3DTexture9> Load(const std::string& name, HRESULT expected = D3D_OK)
    {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, name.c_str(), &texture), expected) << name;
        EXPECT_EQ(texture != nullptr, expected == D3D_OK) << name;
        return Ref<IDirect3DTexture9>(expected == D3D_OK ? texture : nullptr);
    }

    static D3DFORMAT FormatOf(IDirect3DTexture9* texture)
    {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        return desc.Format;
    }

private:
    TempFolder m_Folder;
    std::filesystem::path m_Previous;
};

TEST_F(TextureFileTest, EachImageTypeLoadsTexelForTexel)
{
    // Top row red, green, blue; bottom row half-transparent white, black, grey.
    const std::vector<D3DCOLOR> pattern = {kRed, kGreen, kBlue, 0x80FFFFFFu, kBlack, 0xFF404040u};
    std::vector<D3DCOLOR> opaque = pattern;
    opaque[3] = kWhite;
    const std::vector<unsigned char> rgba = ToBytes(pattern, 4), rgb = ToBytes(pattern, 3);
    ASSERT_TRUE(stbi_write_png("pattern.png", 3, 2, 4, rgba.data(), 12));
    ASSERT_TRUE(stbi_write_png("Opaque.PNG", 3, 2, 3, rgb.data(), 9)); // read in another case
    ASSERT_TRUE(stbi_write_tga("pattern.tga", 3, 2, 4, rgba.data()));
    ASSERT_TRUE(stbi_write_bmp("pattern.bmp", 3, 2, 3, rgb.data()));
    const struct {
        const char* file;
        D3DFORMAT format;
        const std::vector<D3DCOLOR>& texels;
    } cases[] = {{"pattern.png", D3DFMT_A8R8G8B8, pattern}, {"opaque.png", D3DFMT_X8R8G8B8, opaque},
                 {"pattern.tga", D3DFMT_A8R8G8B8, pattern}, {"pattern.bmp", D3DFMT_X8R8G8B8, opaque}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Ref<IDirect3DTexture9> texture = Load(c.file);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(FormatOf(texture.get()), c.format);
        EXPECT_EQ(Texels(texture.get()), c.texels);
        EXPECT_EQ(texture->GetLevelCount(), 2u); // 3x2, then 1x1
    }

    // JPEG is lossy: large flat blocks, red on top and blue below.
    std::vector<D3DCOLOR> blocks(32 * 32, kBlue);
    std::fill(blocks.begin(), blocks.begin() + blocks.size() / 2, kRed);
    const std::vector<unsigned char> jpeg = ToBytes(blocks, 3);
    ASSERT_TRUE(stbi_write_jpg("blocks.jpg", 32, 32, 3, jpeg.data(), 95));
    Ref<IDirect3DTexture9> texture = Load("blocks.jpg");
    ASSERT_NE(texture, nullptr);
    const std::vector<D3DCOLOR> texels = Texels(texture.get());
    EXPECT_TRUE(Near(texels[4 * 32 + 16], kRed, 24));
    EXPECT_TRUE(Near(texels[28 * 32 + 16], kBlue, 24));

    // The mips made for a loaded image are averages.
    const std::vector<unsigned char> four = ToBytes({kRed, kGreen, kBlue, kWhite}, 3);
    ASSERT_TRUE(stbi_write_png("four.png", 2, 2, 3, four.data(), 6));
    texture = Load("four.png");
    ASSERT_TRUE(texture && texture->GetLevelCount() == 2u);
    EXPECT_TRUE(Near(Texels(texture.get(), 1)[0], 0xFF7F7F7Fu));
}

// A DDS keeps the mips it has; files missing, broken or shorter than their header say give no texture.
TEST_F(TextureFileTest, UncompressedDdsKeepsItsMipsAndBrokenFilesGiveNone)
{
    // 2x2 A8R8G8B8 and a 1x1 level that is deliberately not the average.
    WriteBytes("mips.dds", Dds(2, 2, 2, true, 0x00FF0000u, 0x000000FFu, 0xFF000000u,
                               {kRed, kGreen, kBlue, 0x80FFFFFFu, 0xFF123456u}));
    Ref<IDirect3DTexture9> texture = Load("mips.dds");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture.get()), D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture->GetLevelCount(), 2u);
    EXPECT_EQ(Texels(texture.get()), (std::vector<D3DCOLOR>{kRed, kGreen, kBlue, 0x80FFFFFFu}));
    EXPECT_EQ(Texels(texture.get(), 1), std::vector<D3DCOLOR>{0xFF123456u});

    // R and B swapped in the masks, no alpha: read as opaque.
    WriteBytes("swapped.dds", Dds(1, 1, 1, false, 0x000000FFu, 0x00FF0000u, 0, {0x00332211u}));
    texture = Load("swapped.dds");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture.get()), D3DFMT_X8R8G8B8);
    EXPECT_EQ(Texels(texture.get())[0], 0xFF112233u);

    // A channel mask may fill the whole 32-bit pixel: its top byte is the value.
    WriteBytes("wide_mask.dds", Dds(1, 1, 1, false, 0xFFFFFFFFu, 0, 0, {0xA1B2C3D4u}));
    texture = Load("wide_mask.dds");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Texels(texture.get())[0] & 0x00FF0000u, 0x00A10000u);

    Load("no_such_file.png", D3DXERR_INVALIDDATA);
    WriteBytes("garbage.png", {1, 2, 3, 4, 5, 6, 7, 8});
    Load("garbage.png", D3DXERR_INVALIDDATA);
    WriteBytes("short.dds", Dds(8, 8, 1, true, 0xFF0000u, 0xFFu, 0xFF000000u, {0, 0}));
    Load("short.dds", D3DXERR_INVALIDDATA);
}

// Only the formats the game ships are decoded, and the size is read before
// any texel: a file announcing more than 8192 a side is refused by name.
TEST_F(TextureFileTest, OnlyShippedFormatsDecodeAndOversizedImagesAreRefusedByName)
{
    const std::vector<unsigned char> row(8193 * 3, 0x80);
    ASSERT_TRUE(stbi_write_png("wide.png", 8193, 1, 3, row.data(), 8193 * 3));
    ASSERT_TRUE(stbi_write_bmp("tall.bmp", 1, 8193, 3, row.data()));
    ASSERT_TRUE(stbi_write_png("edge.png", 8192, 1, 3, row.data(), 8192 * 3));
    std::vector<unsigned char> bigDds = Dds(1, 1, 1, false, 0xFF0000u, 0xFFu, 0, {0});
    bigDds[12] = 0x01; // height 8193: 0x2001
    bigDds[13] = 0x20;
    WriteBytes("big.dds", bigDds);
    const struct {
        const char* file;
        const char* fault;
    } oversized[] = {{"wide.png", "image 8193x1 is larger than 8192 a side"},
                     {"tall.bmp", "image 1x8193 is larger than 8192 a side"},
                     {"big.dds", "image 1x8193 is larger than 8192 a side"}};
    for (const auto& c : oversized) {
        testing::internal::CaptureStderr();
        Load(c.file, D3DXERR_INVALIDDATA);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(c.file) + ": refused: " + c.fault + "\n");
    }
    EXPECT_NE(Load("edge.png"), nullptr);

    // Formats stb_image knows but the game never ships, a 16-bit PGM among
    // them, are no images here; nor is a JPEG cut to its first bytes.
    std::vector<unsigned char> pgm16 = {'P', '5', '\n', '2', ' ', '2', '\n', '6', '5', '5', '3', '5', '\n'};
    pgm16.resize(pgm16.size() + 8, 0x7F);
    WriteBytes("deep.pgm", pgm16);
    WriteBytes("cut.jpg", {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x01});
    const std::string gif = "GIF89a\x01\x00\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;";
    WriteBytes("one.gif", std::vector<unsigned char>(gif.begin(), gif.end()));
    for (const char* file : {"deep.pgm", "cut.jpg", "one.gif"}) {
        testing::internal::CaptureStderr();
        Load(file, D3DXERR_INVALIDDATA);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string(file) + ": refused: it is no JPEG, PNG, TGA, BMP or uncompressed DDS image\n");
    }

    // A Huffman table announcing more codes than a table holds (stb would
    // write past its tables), even behind fill bytes before the start marker.
    std::vector<D3DCOLOR> blocks(16 * 16, kRed);
    const std::vector<unsigned char> rgb = ToBytes(blocks, 3);
    ASSERT_TRUE(stbi_write_jpg("good.jpg", 16, 16, 3, rgb.data(), 90));
    std::ifstream in("good.jpg", std::ios::binary);
    std::vector<unsigned char> jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(Load("good.jpg"), nullptr);
    const unsigned char dht[] = {0xFF, 0xC4};
    const auto table = std::search(jpeg.begin(), jpeg.end(), std::begin(dht), std::end(dht));
    ASSERT_NE(table, jpeg.end());
    // A well-formed segment redefining DC table 0 with 300 codes, before the first.
    std::vector<unsigned char> bigTable = {0xFF, 0xC4, 0x01, 0x3F, 0x00};
    for (int length = 1; length <= 16; ++length)
        bigTable.push_back(length == 16 ? 255 : length == 15 ? 45 : 0);
    bigTable.resize(bigTable.size() + 300, 0x01);
    jpeg.insert(table, bigTable.begin(), bigTable.end());
    jpeg.insert(jpeg.begin(), 0xFF);
    WriteBytes("tables.jpg", jpeg);
    testing::internal::CaptureStderr();
    Load("tables.jpg", D3DXERR_INVALIDDATA);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tables.jpg: refused: a JPEG Huffman table is broken or missing\n");

    // A PNG data chunk announcing 2 GB in a file of a few dozen bytes.
    const std::vector<unsigned char> pixel = ToBytes({kRed}, 3);
    ASSERT_TRUE(stbi_write_png("one.png", 1, 1, 3, pixel.data(), 3));
    std::ifstream pngIn("one.png", std::ios::binary);
    std::vector<unsigned char> png((std::istreambuf_iterator<char>(pngIn)), std::istreambuf_iterator<char>());
    const unsigned char idat[] = {'I', 'D', 'A', 'T'};
    const auto data = std::search(png.begin(), png.end(), std::begin(idat), std::end(idat));
    ASSERT_NE(data, png.end());
    data[-4] = 0x7F;
    WriteBytes("long_chunk.png", png);
    testing::internal::CaptureStderr();
    Load("long_chunk.png", D3DXERR_INVALIDDATA);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "long_chunk.png: refused: a PNG chunk reaches past the end of the file\n");
}

// A run-length TGA is walked packet by packet: whole, a flat one far smaller
// than its texels loads; short of its last packet it is refused as cut.
TEST_F(TextureFileTest, ARunLengthTgaIsCutOnlyWhenItsPacketsRunShort)
{
    const std::vector<unsigned char> flat = ToBytes(std::vector<D3DCOLOR>(64 * 64, kRed), 4);
    ASSERT_TRUE(stbi_write_tga("flat.tga", 64, 64, 4, flat.data()));
    std::ifstream in("flat.tga", std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_LT(bytes.size(), 64u * 64u) << "packed";
    ASSERT_NE(Load("flat.tga"), nullptr);
    bytes.resize(bytes.size() - 30);
    WriteBytes("cut.tga", bytes);
    testing::internal::CaptureStderr();
    Load("cut.tga", D3DXERR_INVALIDDATA);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "cut.tga: refused: it is cut short before its last texel\n");
}

// A grey picture with an alpha channel keeps its alpha; one without is opaque.
TEST_F(TextureFileTest, AGreyPictureKeepsItsAlphaWhenItHasOne)
{
    const unsigned char greyAlpha[] = {0x80, 0x40, 0xFF, 0xFF}, grey[] = {0x80, 0xFF};
    ASSERT_TRUE(stbi_write_png("grey_alpha.png", 2, 1, 2, greyAlpha, 4));
    ASSERT_TRUE(stbi_write_png("grey.png", 2, 1, 1, grey, 2));
    Ref<IDirect3DTexture9> texture = Load("grey_alpha.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture.get()), D3DFMT_A8R8G8B8);
    EXPECT_EQ(Texels(texture.get()), (std::vector<D3DCOLOR>{0x40808080u, 0xFFFFFFFFu}));
    texture = Load("grey.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(FormatOf(texture.get()), D3DFMT_X8R8G8B8);
    EXPECT_EQ(Texels(texture.get()), (std::vector<D3DCOLOR>{0xFF808080u, 0xFFFFFFFFu}));
}

// The bloom's stage images: a render target saved as a BMP.
TEST_F(TextureFileTest, RenderTargetSavedAsBmpAndReadBack)
{
    Ref<IDirect3DSurface9> back = CurrentTarget();
    Target target = RenderTarget(16, 8);
    device->SetRenderTarget(0, target.surface.get());
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    FillRect(0, 0, 16, 2, kRed);  // the top two rows
    FillRect(0, 0, 1, 8, kGreen); // the left column
    device->SetRenderTarget(0, back.get());

    ASSERT_EQ(D3DXSaveTextureToFileA("Stage00.bmp", D3DXIFF_BMP, target.texture.get(), nullptr), D3D_OK);
    Ref<IDirect3DTexture9> saved = Load("Stage00.bmp");
    ASSERT_NE(saved, nullptr);
    const std::vector<D3DCOLOR> texels = Texels(saved.get());
    ASSERT_EQ(texels.size(), 16u * 8u);
    EXPECT_EQ(texels[8], kRed);
    EXPECT_EQ(texels[5 * 16], kGreen);
    EXPECT_EQ(texels[5 * 16 + 15], kBlue);
}

} // namespace
