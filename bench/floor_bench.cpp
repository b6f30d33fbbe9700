// The floor under every frame figure: what our device costs at 800x600 on
// the software renderer before the game draws anything of its own.
//   clear + present: the least a frame can cost;
//   + one pass: a full-screen textured quad (an 800x600 texture, linear
//     filtering), the unit of the game's screen passes (composite, overlays).
// Reports the median wall time (the device finished at the end of each frame)
// and the median CPU time of the whole process, every thread (getrusage), so
// that the level benchmark's figures can be read as multiples of these.
// Usage: floor_bench [frames]; for two cores: taskset -c 0,1 floor_bench
#include "platform/d3d9.h"
#include "platform/gl_device.h"
#include "platform/win32.h"

#include "../tests/platform/offscreen_device_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int kWidth = 800, kHeight = 600;

struct QuadVertex {
    float x, y, z, rhw;
    float u, v;
};

double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Draw>
void Measure(const char* name, IDirect3DDevice9* device, int frames, Draw draw)
{
    std::vector<double> wall, cpu;
    for (int i = 0; i < frames + 3; ++i) {
        const double cpuStart = ProcessCpuMs();
        const auto start = std::chrono::steady_clock::now();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040u, 1.0f, 0);
        device->BeginScene();
        draw();
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        platform::FinishDrawing(device);
        const auto end = std::chrono::steady_clock::now();
        if (i < 3) // the first frames fill caches
            continue;
        wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        cpu.push_back(ProcessCpuMs() - cpuStart);
    }
    std::printf("  %-18s median %6.2f ms wall, %6.2f ms CPU per frame\n", name, Median(wall), Median(cpu));
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    devicetest::OffscreenDevice screen;
    if (!screen.Open("FloorBench", 0, "floor", kWidth, kHeight, devicetest::WindowedParameters())) {
        std::fprintf(stderr, "no device\n");
        return 1;
    }
    IDirect3DDevice9* device = screen.device;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(kWidth, kHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr))) {
        std::fprintf(stderr, "no texture\n");
        return 1;
    }
    std::vector<D3DCOLOR> texels(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            texels[static_cast<size_t>(y) * kWidth + x] = 0xFF000000u | ((x * 255 / kWidth) << 16) | (y * 255 / kHeight);
    devicetest::FillTexture(texture, kWidth, kHeight, texels.data());

    const QuadVertex quad[4] = {{-0.5f, -0.5f, 0.5f, 1, 0, 0},
                                {kWidth - 0.5f, -0.5f, 0.5f, 1, 1, 0},
                                {-0.5f, kHeight - 0.5f, 0.5f, 1, 0, 1},
                                {kWidth - 0.5f, kHeight - 0.5f, 0.5f, 1, 1, 1}};
    std::printf("floor at %dx%d, %d frames each\n", kWidth, kHeight, frames);
    Measure("clear + present:", device, frames, [] {});
    Measure("+ one pass:", device, frames, [&] {
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetTexture(0, texture);
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(QuadVertex));
    });
    texture->Release();
    screen.Close();
    return 0;
}
