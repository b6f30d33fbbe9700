// Drawing through the shipped effect file: a device, the screen targets, the
// scene's lights, a camera placed by its settings file, flat entities in memory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "render/DeviceFixture.h"
#include "render/EffectManager.h"
#include "render/RenderTarget.h"
#include "render/TextureManager.h"
#include "render/VertexBuffers.h"
#include "render/flat_entity.h"
#include "scene/Camera.h"
#include "scene/Entity3D.h"
#include "scene/LightCamera.h"
#include "scene/SceneManager.h"

namespace fxtest {

const std::string kWorkdir = VANTOREL_WORKDIR;
const std::string kEffectPath = kWorkdir + "/data/fx/effects4.fx";

// One device and compiled effect for the whole program: compiling is by far the
// slowest step. The device is the game's D3DDevice only while a test of ours runs.
struct SharedDevice : ::testing::Environment {
    HWND window = nullptr;
    std::unique_ptr<IDirect3D9, drawtest::Releaser> d3d;
    std::unique_ptr<IDirect3DDevice9, drawtest::Releaser> device;

    bool Create()
    {
        if (!device && (window = drawtest::OpenTestWindow("SharedFxTestClass")) && InitD3D(window) == S_OK) {
            // Ours from now on: the game's release of "the" device must not reach it.
            device.reset(std::exchange(D3DDevice, nullptr));
            d3d.reset(std::exchange(Direct3D, nullptr));
        }
        return device != nullptr;
    }
    void TearDown() override
    {
        device.reset();
        d3d.reset();
        drawtest::CloseTestWindow(window, "SharedFxTestClass");
    }
};
inline SharedDevice* const kSharedDevice =
    static_cast<SharedDevice*>(::testing::AddGlobalTestEnvironment(new SharedDevice));

class EffectDrawTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kSharedDevice->Create());
        D3DDevice = kSharedDevice->device.get();
        getTextureManager().Clear();
        testing::internal::CaptureStderr(); // the first use tries the effect from the working folder
        const bool loaded = getEffectManager().GetEffect() || getEffectManager().LoadEffect(kEffectPath.c_str());
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(loaded) << log;
        ASSERT_TRUE(CreateScreenTargets(D3DDevice, drawtest::kSize, drawtest::kSize));
        getSceneManager().CreateLights(D3DDevice, LightLocation);
        getSceneManager().drawnCount = getSceneManager().culledCount = 0;
        // The device is shared: each test starts from the same states.
        D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        D3DDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        D3DDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        D3DDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        const D3DVIEWPORT9 whole = {0, 0, drawtest::kSize, drawtest::kSize, 0.0f, 1.0f};
        D3DDevice->SetViewport(&whole);
        PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
        getSceneManager().Setup();
        SetLightOne(D3DXVECTOR3(0, 0, 150));
        ClearTo(drawtest::kBlack);
    }

    void TearDown() override
    {
        m_Textures.clear();
        getSceneManager().Setup();
        getSceneManager().ReleaseDepthStencil();
        ReleaseScreenTargets();
        getTextureManager().Clear();
        D3DDevice = nullptr;
    }

    // The game camera at eye looking at lookAt (square, near 1, far 15000; at
    // first from +Z to the origin): it puts its look-at point at hero + offset
    // and its eye one more offset further.
    void PlaceCamera(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt)
    {
        const D3DXVECTOR3 offset = eye - lookAt, hero = lookAt - offset;
        std::ostringstream values;
        values << "<CAMERA><PROPERTIES offset_x=\"" << offset.x << "\" offset_y=\"" << offset.y << "\" offset_z=\""
               << offset.z << "\" aspect_ratio_x=\"1\" aspect_ratio_y=\"1\"/></CAMERA>\n";
        m_Scratch.Write("data/XML/camera_values.xml", values.str());
        getCamera().LoadValues(hero.x, hero.y, hero.z, D3DDevice);
        getCamera().UpdateFrustum();
    }

    // Light 1 at `eye` shining on the origin at full weight; light 2 off.
    static void SetLightOne(const D3DXVECTOR3& eye)
    {
        getSceneManager().GetLight(1)->SetLookAt(eye, D3DXVECTOR3(0, 0, 0));
        getSceneManager().GetLight(1)->influence = 1.0f;
        getSceneManager().GetLight(2)->influence = 0.0f;
    }

    static int Red(D3DCOLOR c) { return static_cast<int>((c >> 16) & 0xFF); }
    static int Green(D3DCOLOR c) { return static_cast<int>((c >> 8) & 0xFF); }
    static int Brightness(D3DCOLOR c) { return Red(c) + Green(c) + static_cast<int>(c & 0xFF); }

    drawtest::ScratchFolder m_Scratch{"fx"};
};

} // namespace fxtest
