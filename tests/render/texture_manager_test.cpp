#include <gtest/gtest.h>

#include <filesystem>

#include "render/DeviceFixture.h"
#include "render/DrawHelper.h"
#include "render/TextureManager.h"

namespace {

namespace fs = std::filesystem;

class TextureManagerTest : public drawtest::DeviceTest {
protected:
    void TearDown() override
    {
        m_Cache.Clear();
        DeviceTest::TearDown();
    }

    // Saves a one-colour image file under the working folder.
    void WriteImage(const std::string& path, D3DCOLOR colour)
    {
        fs::create_directories(fs::path(path).parent_path());
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_BMP, Texture(1, 1, {colour}), nullptr), S_OK);
    }

    D3DCOLOR ColourOf(IDirect3DTexture9* texture)
    {
        getDrawHelper().DrawFullScreenTexture(texture, 1.0f);
        return Pixel(drawtest::kSize / 2, drawtest::kSize / 2);
    }

    drawtest::ScratchFolder m_Scratch{"textures"};
    CTextureManager m_Cache;
};

TEST_F(TextureManagerTest, LoadsAFileOnceRemembersAMissingOneAsNullAndLooksInTheTexturesFolderFirst)
{
    // Nothing is remembered before the device exists.
    WriteImage("data/textures/wall.bmp", 0xFF00FF00);
    IDirect3DDevice9* device = D3DDevice;
    D3DDevice = nullptr;
    EXPECT_EQ(m_Cache.GetTexture("wall.bmp"), nullptr);
    D3DDevice = device;

    IDirect3DTexture9* first = m_Cache.GetTexture("wall.bmp");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ColourOf(first), 0xFF00FF00u);
    // Once loaded the file is not read again.
    fs::remove("data/textures/wall.bmp");
    EXPECT_EQ(m_Cache.GetTexture("wall.bmp"), first);

    EXPECT_EQ(m_Cache.GetTexture("later.bmp"), nullptr);
    WriteImage("data/textures/later.bmp", 0xFFFFFFFF);
    EXPECT_EQ(m_Cache.GetTexture("later.bmp"), nullptr);
    EXPECT_NE(CTextureManager().GetTexture("later.bmp"), nullptr);

    // Screen images are found from the working folder, after the textures folder.
    WriteImage("data/textures/GUI/hud.bmp", 0xFF00FF00);
    WriteImage("GUI/hud.bmp", 0xFFFF0000);
    WriteImage("GUI/LOADING/splash.bmp", 0xFFFF0000);
    EXPECT_EQ(ColourOf(m_Cache.GetTexture("GUI/hud.bmp")), 0xFF00FF00u);
    EXPECT_EQ(ColourOf(m_Cache.GetTexture("GUI/LOADING/splash.bmp")), 0xFFFF0000u);
}

} // namespace
