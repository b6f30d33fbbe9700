#pragma once

// Pictures written into a folder of their own, the working folder while the
// test runs, then loaded and drawn over the whole target through the device.
#include "d3d_fixture.h"

#include <filesystem>
#include <utility>

#include "xml/temp_folder.h"

namespace d3dtest {

class PictureFileTest : public D3DTest {
protected:
    void SetUp() override
    {
        D3DTest::SetUp();
        m_Previous = std::filesystem::current_path();
        std::filesystem::current_path(m_Folder.Path());
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_Previous);
        D3DTest::TearDown();
    }

    // A texture loaded from a picture file, which must load.
    Ref<IDirect3DTexture9> LoadTexture(const char* file)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, file, &texture), D3D_OK) << file;
        return Ref<IDirect3DTexture9>(texture);
    }

    // The texture over the whole target cleared to `under`, finished: the
    // left and right pixels.
    std::pair<D3DCOLOR, D3DCOLOR> DrawEdges(D3DCOLOR under, IDirect3DTexture9* texture)
    {
        Clear(under);
        device->SetTexture(0, texture);
        DrawTexturedScreen();
        device->SetTexture(0, nullptr);
        platform::FinishDrawing(device);
        return {Pixel(4, kHeight / 2), Pixel(kWidth - 5, kHeight / 2)};
    }

private:
    TempFolder m_Folder;
    std::filesystem::path m_Previous;
};

} // namespace d3dtest
