// What textures from files cost in memory: a big picture is held once (by the
// renderer, no copy beside it), only while it is drawn, and draws the same
// when it comes back.
#include "picture_file_fixture.h"

#include <stb_image_write.h>

#include <filesystem>

#include <malloc.h>

#include "heap_figures.h"

using namespace d3dtest;

namespace {

class TextureMemoryTest : public PictureFileTest {
protected:
    // A picture of the given size, its left half red and its right half blue.
    static void WriteHalves(const char* file, int width, int height)
    {
        std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                p[0] = x < width / 2 ? 0xFF : 0;
                p[2] = x < width / 2 ? 0 : 0xFF;
            }
        ASSERT_TRUE(stbi_write_png(file, width, height, 3, rgb.data(), width * 3));
    }


    // Frames drawn with `other` (the renderer lets go of a texture once
    // nothing drawn refers to it), presented.
    void PresentIdle(int presents, IDirect3DTexture9* other)
    {
        for (int i = 0; i < presents; ++i) {
            device->SetTexture(0, other);
            DrawTexturedScreen();
            device->Present(nullptr, nullptr, nullptr, nullptr);
        }
        device->SetTexture(0, nullptr);
    }
};

TEST_F(TextureMemoryTest, BigPictureIsHeldOnceAndOnlyWhileItIsDrawn)
{
    // 1024x768: 3 MB of texels, 4 MB with its mips.
    WriteHalves("big.png", 1024, 768);
    WriteHalves("small.png", 64, 64);
    Ref<IDirect3DTexture9> small = LoadTexture("small.png");
    ASSERT_NE(small, nullptr);
    // The first draw compiles what draws a texture; that is not measured.
    EXPECT_EQ(DrawEdges(kBlack, small.get()), std::make_pair(kRed, kBlue));

    const double before = HeapMb();
    Ref<IDirect3DTexture9> big = LoadTexture("big.png");
    ASSERT_NE(big, nullptr);
    if (kHeapMeasured)
        EXPECT_LT(HeapMb() - before, 1.0) << "the loaded texels are not held before the picture is drawn";
    EXPECT_FALSE(platform::TexelsResident(big.get()));

    EXPECT_EQ(DrawEdges(kBlack, big.get()), std::make_pair(kRed, kBlue));
    EXPECT_TRUE(platform::TexelsResident(big.get()));
    const double drawn = HeapMb() - before;
    if (kHeapMeasured) {
        EXPECT_GT(drawn, 3.0);
        EXPECT_LT(drawn, 5.5) << "held once, with its mips, and no copy of its texels beside";
    }

    // Ten seconds undrawn at 30 frames a second: the big one gives its
    // memory back, the small one keeps its texels.
    PresentIdle(299, small.get());
    EXPECT_TRUE(platform::TexelsResident(big.get()));
    PresentIdle(2, small.get());
    EXPECT_FALSE(platform::TexelsResident(big.get()));
    EXPECT_TRUE(platform::TexelsResident(small.get()));
    if (kHeapMeasured)
        EXPECT_LT(HeapMb() - before, 1.0);

    // Drawn again it is the same picture, even from another working folder,
    // and so are its texels when read.
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    EXPECT_EQ(DrawEdges(kBlack, big.get()), std::make_pair(kRed, kBlue));
    PresentIdle(301, small.get());
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(big->GetSurfaceLevel(0, &level), D3D_OK);
    const std::vector<D3DCOLOR> texels = Read(Ref<IDirect3DSurface9>(level).get());
    ASSERT_EQ(texels.size(), 1024u * 768u);
    EXPECT_EQ(texels[100 * 1024 + 10], kRed);
    EXPECT_EQ(texels[700 * 1024 + 1000], kBlue);
}

// A picture written over by hand after loading keeps what was written.
TEST_F(TextureMemoryTest, PictureWrittenAfterLoadingKeepsItsTexels)
{
    WriteHalves("big.png", 1024, 768);
    Ref<IDirect3DTexture9> big = LoadTexture("big.png");
    ASSERT_NE(big, nullptr);
    D3DLOCKED_RECT locked;
    const RECT corner = {0, 0, 1, 1};
    ASSERT_EQ(big->LockRect(0, &locked, &corner, 0), D3D_OK);
    *static_cast<D3DCOLOR*>(locked.pBits) = kGreen;
    ASSERT_EQ(big->UnlockRect(0), D3D_OK);
    PresentIdle(301, nullptr);
    EXPECT_TRUE(platform::TexelsResident(big.get()));
    ASSERT_EQ(big->LockRect(0, &locked, &corner, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(*static_cast<D3DCOLOR*>(locked.pBits), kGreen);
    big->UnlockRect(0);
}

// A big picture held is filled at once, before any draw, and keeps its
// texels however long it goes undrawn; let go, it is given back as before.
TEST_F(TextureMemoryTest, AHeldBigPictureIsFilledAtOnceAndKeptUntilLetGo)
{
    WriteHalves("held.png", 1024, 768);
    WriteHalves("other.png", 1024, 768);
    WriteHalves("small.png", 64, 64);
    Ref<IDirect3DTexture9> small = LoadTexture("small.png");
    Ref<IDirect3DTexture9> held = LoadTexture("held.png");
    Ref<IDirect3DTexture9> other = LoadTexture("other.png");
    ASSERT_NE(held, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(platform::TexelsResident(held.get()));

    platform::HoldTexelsOf({held.get(), small.get()});
    EXPECT_TRUE(platform::TexelsResident(held.get())) << "filled when held, not at its first draw";
    EXPECT_FALSE(platform::TexelsResident(other.get()));
    EXPECT_EQ(DrawEdges(kBlack, other.get()), std::make_pair(kRed, kBlue));
    PresentIdle(400, small.get());
    EXPECT_TRUE(platform::TexelsResident(held.get())) << "held through 400 presents undrawn";
    EXPECT_FALSE(platform::TexelsResident(other.get())) << "what is not held is given back as before";

    // Let go, it counts as idle from then on, not from its last draw.
    platform::HoldTexelsOf({other.get()});
    EXPECT_TRUE(platform::TexelsResident(other.get()));
    PresentIdle(299, small.get());
    EXPECT_TRUE(platform::TexelsResident(held.get()));
    PresentIdle(2, small.get());
    EXPECT_FALSE(platform::TexelsResident(held.get()));
    EXPECT_TRUE(platform::TexelsResident(other.get()));
    EXPECT_EQ(DrawEdges(kBlack, held.get()), std::make_pair(kRed, kBlue));
    platform::HoldTexelsOf({});
}

} // namespace
