// Drawing through the shipped effect file: a device, the four screen targets,
// the scene's lights, a camera placed by its own settings file, and flat
// entities made in memory.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "render/DeviceFixture.h"
#include "render/EffectManager.h"
#include "render/RenderTarget.h"
#include "render/TextureManager.h"
#include "render/VertexBuffers.h"
#include "scene/Camera.h"
#include "scene/Entity3D.h"
#include "scene/LightCamera.h"
#include "scene/SceneManager.h"

namespace fxtest {

const std::string kWorkdir = VANTOREL_WORKDIR;
const std::string kEffectPath = kWorkdir + "/data/fx/effects4.fx";

// A square of side 2 * half centred on its own origin, in the XY plane facing
// +Z or in the XZ plane facing +Y, drawn with one technique in the "Base" pass.
class FlatEntity : public IEntidad3D {
public:
    enum Facing { FacingZ, FacingY };

    FlatEntity(const std::string& name, float half, Facing facing, const std::string& technique)
    {
        const bool up = facing == FacingY;
        const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
        NORMAL_TANGENT_TEXTURED_VERTEX v[4] = {};
        for (int i = 0; i < 4; ++i) {
            v[i].x = corners[i][0];
            (up ? v[i].z : v[i].y) = corners[i][1];
            (up ? v[i].ny : v[i].nz) = 1.0f;
            v[i].tu = v[i].tu2 = i == 1 || i == 2 ? 1.0f : 0.0f;
            v[i].tv = v[i].tv2 = i >= 2 ? 0.0f : 1.0f;
            v[i].tx = v[i].tw = 1.0f;
        }
        m_Buffer.Create(4, v, D3DPT_TRIANGLELIST);
        const unsigned short indices[6] = {0, 1, 2, 0, 2, 3};
        auto* ib = new CIndexBuffer;
        ib->Create(6, indices);
        m_Buffer.SetIndexBuffer(ib);
        m_Buffer.GetSubsets().push_back({0, 2});
        m_Mesh = &m_Buffer;
        m_Name = name;
        m_CurrentPass = "Base";
        m_Techniques["Base"] = technique;
    }

    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}
    void MoveTo(float x, float y, float z) { m_Transform.SetPosition(D3DXVECTOR3(x, y, z)); }

private:
    CVertexBufferDef<NORMAL_TANGENT_TEXTURED_VERTEX> m_Buffer;
};

// One window, device and compiled effect for the whole test program:
// compiling the effect file is by far the slowest step (seconds under the
// sanitizers). The device is the game's D3DDevice only while a test of ours runs.
struct SharedDevice : ::testing::Environment {
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    bool effectLoaded = false;

    bool Create()
    {
        if (device)
            return true;
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA wc{sizeof(wc), CS_CLASSDC, devicetest::PlainWindowProc};
        wc.lpszClassName = "SharedFxTestClass";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, wc.lpszClassName, "fx test", WS_OVERLAPPEDWINDOW, 0, 0, drawtest::kSize,
                                 drawtest::kSize, nullptr, nullptr, nullptr, nullptr);
        windowed = true;
        if (!window || InitD3D(window) != S_OK)
            return false;
        // Ours from now on: the game's release of "the" device must not reach it.
        std::swap(device, D3DDevice);
        std::swap(d3d, Direct3D);
        return true;
    }
    void TearDown() override
    {
        if (device)
            device->Release();
        if (d3d)
            d3d->Release();
        if (window)
            DestroyWindow(window);
        UnregisterClassA("SharedFxTestClass", nullptr);
    }
};
inline SharedDevice* const kSharedDevice =
    static_cast<SharedDevice*>(::testing::AddGlobalTestEnvironment(new SharedDevice));

class EffectDrawTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        SharedDevice& shared = *kSharedDevice;
        ASSERT_TRUE(shared.Create());
        D3DDevice = shared.device;
        m_Scratch = std::make_unique<drawtest::ScratchFolder>("fx");
        getTextureManager().Clear();
        if (!shared.effectLoaded || !getEffectManager().GetEffect()) {
            testing::internal::CaptureStderr();
            shared.effectLoaded = getEffectManager().LoadEffect(kEffectPath.c_str());
            const std::string log = testing::internal::GetCapturedStderr();
            ASSERT_TRUE(shared.effectLoaded) << log;
        }
        ASSERT_TRUE(CreateScreenTargets(D3DDevice, drawtest::kSize, drawtest::kSize));
        getSceneManager().CreateLights(D3DDevice, LightLocation);
        getSceneManager().drawnCount = getSceneManager().culledCount = 0;
        D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        D3DDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        ClearTo(drawtest::kBlack);
    }

    void TearDown() override
    {
        ReleaseTextures();
        getSceneManager().ReleaseDepthStencil();
        ReleaseScreenTargets();
        getTextureManager().Clear();
        m_Scratch.reset();
        D3DDevice = nullptr;
    }

    // The game camera at eye, looking at lookAt (square aspect, near 1, far
    // 15000), with its frustum updated. The camera puts its look-at point at
    // hero + offset and its eye one more offset further.
    void PlaceCamera(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt)
    {
        const D3DXVECTOR3 offset = eye - lookAt, hero = lookAt - offset;
        std::filesystem::create_directories("data/XML");
        std::ofstream("data/XML/camera_values.xml")
            << "<CAMERA><PROPERTIES offset_x=\"" << offset.x << "\" offset_y=\"" << offset.y << "\" offset_z=\""
            << offset.z << "\" aspect_ratio_x=\"1\" aspect_ratio_y=\"1\"/></CAMERA>\n";
        getCamera().LoadValues(hero.x, hero.y, hero.z, D3DDevice);
        getCamera().UpdateFrustum();
    }

    // The pixel where a world point lands with the camera as placed.
    static void Project(const D3DXVECTOR3& point, int* x, int* y)
    {
        const D3DXMATRIX viewProjection = getCamera().GetViewMatrix() * getCamera().GetProjectionMatrix();
        D3DXVECTOR3 clip;
        D3DXVec3TransformCoord(&clip, &point, &viewProjection);
        *x = static_cast<int>((clip.x * 0.5f + 0.5f) * drawtest::kSize);
        *y = static_cast<int>((0.5f - clip.y * 0.5f) * drawtest::kSize);
    }

    static int Red(D3DCOLOR c) { return static_cast<int>((c >> 16) & 0xFF); }
    static int Green(D3DCOLOR c) { return static_cast<int>((c >> 8) & 0xFF); }
    static int Brightness(D3DCOLOR c) { return Red(c) + Green(c) + static_cast<int>(c & 0xFF); }

    std::unique_ptr<drawtest::ScratchFolder> m_Scratch;
};

} // namespace fxtest
