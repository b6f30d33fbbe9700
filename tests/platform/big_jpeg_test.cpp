// Big JPEGs (the comics' panels) load from their header and decode at their
// first draw: the picture drawn is the file's, at its size, with every level.
#include "picture_file_fixture.h"

#include <stb_image_write.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/gl_device.h"

using namespace d3dtest;

namespace {

class BigJpegTest : public PictureFileTest {
protected:
    // Left half `left`, right half `right`, as 1 or 3 channels.
    static std::vector<unsigned char> JpegHalves(int width, int height, int channels, unsigned char left,
                                                 unsigned char right)
    {
        std::vector<unsigned char> texels(static_cast<size_t>(width) * height * channels);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c) {
                    // Three channels: red on the left, blue on the right.
                    const bool lit = channels == 1 || (x < width / 2 ? c == 0 : c == 2);
                    texels[(static_cast<size_t>(y) * width + x) * channels + c] =
                        lit ? (x < width / 2 ? left : right) : 0;
                }
        std::vector<unsigned char> file;
        stbi_write_jpg_to_func(
            [](void* to, void* data, int size) {
                auto* bytes = static_cast<std::vector<unsigned char>*>(to);
                bytes->insert(bytes->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
            },
            &file, width, height, channels, texels.data(), 95);
        return file;
    }

    static void Write(const char* name, const std::vector<unsigned char>& bytes)
    {
        std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
};

TEST_F(BigJpegTest, TheFirstDrawShowsTheFilesPictureAtItsSizeWithEveryLevel)
{
    Write("wide.jpg", JpegHalves(1024, 768, 3, 0xFF, 0xFF));
    Write("grey.jpg", JpegHalves(512, 768, 1, 0x40, 0xC0));
    Ref<IDirect3DTexture9> wide = LoadTexture("wide.jpg");
    Ref<IDirect3DTexture9> grey = LoadTexture("grey.jpg");
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(grey, nullptr);

    D3DSURFACE_DESC desc{};
    ASSERT_EQ(wide->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Height, 768u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(wide->GetLevelCount(), 11u);
    ASSERT_EQ(grey->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 512u);
    EXPECT_EQ(desc.Height, 768u);
    EXPECT_EQ(grey->GetLevelCount(), 10u);
    EXPECT_FALSE(platform::TexelsResident(wide.get()));

    const auto [red, blue] = DrawEdges(kGreen, wide.get());
    EXPECT_TRUE(Near(red, kRed, 6));
    EXPECT_TRUE(Near(blue, kBlue, 6));
    EXPECT_TRUE(platform::TexelsResident(wide.get()));
    const auto [dark, light] = DrawEdges(kGreen, grey.get());
    EXPECT_TRUE(Near(dark, 0xFF404040u, 6));
    EXPECT_TRUE(Near(light, 0xFFC0C0C0u, 6));

    // The smallest level is the picture's average: the levels below the top
    // are made from it, not left empty.
    IDirect3DSurface9* last = nullptr;
    ASSERT_EQ(wide->GetSurfaceLevel(wide->GetLevelCount() - 1, &last), D3D_OK);
    const std::vector<D3DCOLOR> texel = Read(Ref<IDirect3DSurface9>(last).get());
    ASSERT_EQ(texel.size(), 1u);
    EXPECT_TRUE(Near(texel[0], 0xFF800080u, 8));
}

// A panel whose header reads but whose texels do not: loaded, then named at
// its first draw and drawn black.
TEST_F(BigJpegTest, ABodyThatDoesNotDecodeIsNamedAtTheFirstDrawAndDrawsBlack)
{
    std::vector<unsigned char> jpeg = JpegHalves(1024, 768, 3, 0xFF, 0xFF);
    // A quantisation table of a type no decoder knows, after the frame's header.
    const unsigned char frame[] = {0xFF, 0xC0};
    auto at = std::search(jpeg.begin(), jpeg.end(), std::begin(frame), std::end(frame));
    ASSERT_NE(at, jpeg.end());
    at += 2 + (at[2] << 8 | at[3]);
    std::vector<unsigned char> table = {0xFF, 0xDB, 0x00, 0x43, 0x20};
    table.resize(table.size() + 64, 1);
    jpeg.insert(at, table.begin(), table.end());
    Write("broken.jpg", jpeg);

    testing::internal::CaptureStderr();
    Ref<IDirect3DTexture9> broken = LoadTexture("broken.jpg");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(broken, nullptr);

    testing::internal::CaptureStderr();
    EXPECT_EQ(DrawEdges(kGreen, broken.get()), std::make_pair(kBlack, kBlack));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("broken.jpg: refused: its texels do not decode\n"), std::string::npos) << said;
    // Said once: the next draw keeps the black and tries no more.
    testing::internal::CaptureStderr();
    EXPECT_EQ(DrawEdges(kGreen, broken.get()), std::make_pair(kBlack, kBlack));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
