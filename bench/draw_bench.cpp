// Frame cost of our Direct3D 9 device: per frame, 1,000 textured screen quads
// drawn one call each from user memory (as the GUI and loading screens draw)
// and 100,000 triangles of indexed meshes (ten draws of a 10,000-triangle
// grid, each with its own world matrix, as the game draws its meshes),
// offscreen at 800x600. Reports milliseconds per frame; the median of the repetitions is
// the figure to quote. Run with SDL_VIDEODRIVER=offscreen (the default here).
#include "platform/crt.h"
#include "platform/d3d9.h"
#include "platform/win32.h"

#include "../tests/platform/offscreen_device_fixture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kQuads = 1000;
constexpr int kGridColumns = 100, kGridRows = 50; // 10,000 triangles a draw
constexpr int kGridDraws = 10;

struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
struct TriangleVertex {
    float x, y, z;
    D3DCOLOR color;
};

float Random01()
{
    return static_cast<float>(crt::rand()) / crt::RAND_MAX_VALUE;
}

struct Scene : devicetest::OffscreenDevice {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* triangles = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    D3DMATRIX placements[kGridDraws];
    IDirect3DSurface9* probe = nullptr; // 1x1 target read back to wait for the frame
    std::vector<QuadVertex> quads;

    bool Open()
    {
        if (!OffscreenDevice::Open("DrawBench", 0, "bench", kWidth, kHeight, devicetest::WindowedParameters()))
            return false;
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

        if (FAILED(device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
            return false;
        std::vector<D3DCOLOR> checks(64 * 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                checks[y * 64 + x] = ((x / 8 + y / 8) & 1) ? 0xFFFFFFFFu : 0xFF3060C0u;
        devicetest::FillTexture(texture, 64, 64, checks.data());

        crt::srand(1);
        for (int i = 0; i < kQuads; ++i) {
            const float x = Random01() * (kWidth - 48), y = Random01() * (kHeight - 48);
            const D3DCOLOR c = 0xFF000000u | (crt::rand() & 0xFFFF) | ((crt::rand() & 0xFF) << 16);
            quads.push_back({x, y, 0.5f, 1, c, 0, 0});
            quads.push_back({x + 48, y, 0.5f, 1, c, 1, 0});
            quads.push_back({x, y + 48, 0.5f, 1, c, 0, 1});
            quads.push_back({x + 48, y + 48, 0.5f, 1, c, 1, 1});
        }

        // A grid of quads over -0.5..0.5, its colours varying across it.
        const int columns = kGridColumns + 1, rows = kGridRows + 1;
        if (FAILED(device->CreateVertexBuffer(columns * rows * sizeof(TriangleVertex), 0, D3DFVF_XYZ | D3DFVF_DIFFUSE,
                                              D3DPOOL_MANAGED, &triangles, nullptr)))
            return false;
        TriangleVertex* v = nullptr;
        triangles->Lock(0, 0, reinterpret_cast<void**>(&v), 0);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                v[r * columns + c] = {static_cast<float>(c) / kGridColumns - 0.5f,
                                      static_cast<float>(r) / kGridRows - 0.5f, 0.0f,
                                      0xFF000000u | static_cast<D3DCOLOR>(c * 2) << 16 | static_cast<D3DCOLOR>(r * 4) << 8};
        triangles->Unlock();
        const UINT indexCount = kGridColumns * kGridRows * 6;
        if (FAILED(device->CreateIndexBuffer(indexCount * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                             D3DPOOL_MANAGED, &indices, nullptr)))
            return false;
        WORD* i = nullptr;
        indices->Lock(0, 0, reinterpret_cast<void**>(&i), 0);
        for (int r = 0; r < kGridRows; ++r)
            for (int c = 0; c < kGridColumns; ++c) {
                const WORD corner = static_cast<WORD>(r * columns + c);
                const WORD quad[6] = {corner, static_cast<WORD>(corner + 1), static_cast<WORD>(corner + columns),
                                      static_cast<WORD>(corner + columns), static_cast<WORD>(corner + 1),
                                      static_cast<WORD>(corner + columns + 1)};
                std::memcpy(i, quad, sizeof(quad));
                i += 6;
            }
        indices->Unlock();
        for (int d = 0; d < kGridDraws; ++d) {
            D3DMATRIX& m = placements[d];
            std::memset(&m, 0, sizeof(m));
            m._11 = m._22 = 0.6f + 0.8f * Random01();
            m._33 = m._44 = 1.0f;
            m._41 = Random01() - 0.5f;
            m._42 = Random01() - 0.5f;
            m._43 = Random01();
        }
        return SUCCEEDED(
            device->CreateRenderTarget(1, 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &probe, nullptr));
    }

    void Frame()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020u, 1.0f, 0);
        device->BeginScene();
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetTexture(0, nullptr);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        device->SetStreamSource(0, triangles, 0, sizeof(TriangleVertex));
        device->SetIndices(indices);
        for (const D3DMATRIX& world : placements) {
            device->SetTransform(D3DTS_WORLD, &world);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, (kGridColumns + 1) * (kGridRows + 1), 0,
                                         kGridColumns * kGridRows * 2);
        }

        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetTexture(0, texture);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        for (int i = 0; i < kQuads; ++i)
            device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, &quads[i * 4], sizeof(QuadVertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        // Reading a pixel that depends on the frame waits until it is drawn.
        IDirect3DSurface9* back = nullptr;
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
        const RECT one = {0, 0, 1, 1};
        device->StretchRect(back, &one, probe, nullptr, D3DTEXF_POINT);
        back->Release();
        D3DLOCKED_RECT locked;
        probe->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        benchmark::DoNotOptimize(*static_cast<D3DCOLOR*>(locked.pBits));
        probe->UnlockRect();
    }

    ~Scene()
    {
        if (probe)
            probe->Release();
        if (indices)
            indices->Release();
        if (triangles)
            triangles->Release();
        if (texture)
            texture->Release();
        Close();
    }
};

void BM_Frame(benchmark::State& state)
{
    Scene scene;
    if (!scene.Open()) {
        state.SkipWithError("no device");
        return;
    }
    scene.Frame(); // compile and upload once before timing
    for (auto _ : state)
        scene.Frame();
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
