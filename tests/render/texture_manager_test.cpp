#include <gtest/gtest.h>

#include <filesystem>

#include "render/DeviceFixture.h"
#include "render/DrawHelper.h"
#include "render/TextureManager.h"

namespace {

namespace fs = std::filesystem;

class TextureManagerTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        m_Scratch = std::make_unique<drawtest::ScratchFolder>("textures");
        DeviceTest::SetUp();
    }
    void TearDown() override
    {
        m_Cache.Clear();
        DeviceTest::TearDown();
        m_Scratch.reset();
    }

    // Saves a one-colour image file under the working folder.
    void WriteImage(const std::string& path, D3DCOLOR colour)
    {
        fs::create_directories(fs::path(path).parent_path());
        IDirect3DTexture9* t = MakeTexture(2, 2, {colour, colour, colour, colour});
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_BMP, t, nullptr), S_OK);
        t->Release();
    }

    D3DCOLOR ColourOf(IDirect3DTexture9* texture)
    {
        ClearTo(drawtest::kBlack);
        getDrawHelper().DrawFullScreenTexture(texture, 1.0f);
        return Pixel(drawtest::kSize / 2, drawtest::kSize / 2);
    }

    std::unique_ptr<drawtest::ScratchFolder> m_Scratch;
    CTextureManager m_Cache;
};

TEST_F(TextureManagerTest, LoadsAFileOnceAndSharesIt)
{
    WriteImage("data/textures/wall.bmp", 0xFF00FF00);
    IDirect3DTexture9* first = m_Cache.GetTexture("wall.bmp");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ColourOf(first), 0xFF00FF00u);

    // Once loaded the file is not read again: a changed file goes unseen.
    WriteImage("data/textures/wall.bmp", 0xFFFF0000);
    EXPECT_EQ(m_Cache.GetTexture("wall.bmp"), first);
    fs::remove("data/textures/wall.bmp");
    EXPECT_EQ(m_Cache.GetTexture("wall.bmp"), first);
}

TEST_F(TextureManagerTest, MissingFileIsRememberedAsNull)
{
    EXPECT_EQ(m_Cache.GetTexture("later.bmp"), nullptr);
    WriteImage("data/textures/later.bmp", 0xFFFFFFFF);
    EXPECT_EQ(m_Cache.GetTexture("later.bmp"), nullptr);
    // A fresh cache does find it.
    CTextureManager fresh;
    EXPECT_NE(fresh.GetTexture("later.bmp"), nullptr);
}

TEST_F(TextureManagerTest, NamesAreExactKeys)
{
    WriteImage("data/textures/crate.bmp", 0xFF0000FF);
    IDirect3DTexture9* lower = m_Cache.GetTexture("crate.bmp");
    IDirect3DTexture9* upper = m_Cache.GetTexture("CRATE.bmp"); // same file, found whatever its case
    ASSERT_NE(lower, nullptr);
    ASSERT_NE(upper, nullptr);
    EXPECT_NE(lower, upper);
    EXPECT_EQ(m_Cache.GetTexture("CRATE.bmp"), upper);
}

TEST_F(TextureManagerTest, ScreenImagesAreFoundFromTheWorkingFolder)
{
    WriteImage("GUI/LOADING/splash.bmp", 0xFFFF0000);
    IDirect3DTexture9* splash = m_Cache.GetTexture("GUI/LOADING/splash.bmp");
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(ColourOf(splash), 0xFFFF0000u);

    // The textures folder comes first when it has the name too.
    WriteImage("data/textures/GUI/hud.bmp", 0xFF00FF00);
    WriteImage("GUI/hud.bmp", 0xFFFF0000);
    EXPECT_EQ(ColourOf(m_Cache.GetTexture("GUI/hud.bmp")), 0xFF00FF00u);
}

TEST_F(TextureManagerTest, NothingIsRememberedBeforeTheDeviceExists)
{
    WriteImage("data/textures/early.bmp", 0xFFFFFFFF);
    IDirect3DDevice9* device = D3DDevice;
    D3DDevice = nullptr;
    EXPECT_EQ(m_Cache.GetTexture("early.bmp"), nullptr);
    D3DDevice = device;
    EXPECT_NE(m_Cache.GetTexture("early.bmp"), nullptr);
}

} // namespace
