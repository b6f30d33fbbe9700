// One frame's worth of the animated characters and of the particles, on the
// shipped data at 800x600 offscreen: six characters (the hero and five
// enemies, each blending a cycle under a one-shot action) updated and drawn
// with the lit technique, and about 2,000 particles of the wreck's fire
// updated by the fixed step and drawn into the particle target. Reports the
// median milliseconds of each part, waiting for the GPU after each draw, and
// how much of the particles' draw is spent issuing the calls. The particles
// are then drawn twice a frame, without and with one of the particle
// shortcuts, so that both ways meet the same load: VANTOREL_BENCH_AGAINST
// names it ("particledraws", the default: runs of emitters of one type sharing
// their draws; "particleview": only particles in view sent).
//
// Usage: characters_particles_bench [frames]
#include "app/Startup.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/LightCamera.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/SceneManager.h"
#include "platform/win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "bench_support.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kWarmUp = 5;
constexpr int kTargetParticles = 2000;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// CPU milliseconds of the whole process so far, every thread.
double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Milliseconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    if (!EnterWorkFolder(argv[0]))
        return 1;
    windowed = true;
    width = kWidth;
    height = kHeight;
    HWND window = OpenBenchWindow("VantorelCharacterBench", DefWindowProcA, kWidth, kHeight);
    if (FAILED(InitD3D(window))) {
        std::fprintf(stderr, "no device\n");
        return 1;
    }
    getModelsManager().LoadCoreModels("Data/XML/CoreModels.xml");
    // The camera looks at the group from 300 units off, lit from the same side.
    getCamera().LoadValues(0.0f, 40.0f, 0.0f, D3DDevice);
    getSceneManager().GetLight(1)->SetLookAt(D3DXVECTOR3(0, 200, 300), D3DXVECTOR3(0, 0, 0));

    std::vector<std::unique_ptr<CCharacterEntity>> characters;
    const char* types[] = {"Zorvath", "enemy", "enemyWhite", "portuario", "enemy", "enemyWhite"};
    for (int i = 0; i < 6; ++i) {
        CCharacterEntity* body = getModelsManager().CreateModelInstance(types[i], 0);
        if (!body) {
            std::fprintf(stderr, "model %s missing\n", types[i]);
            return 1;
        }
        body->GetTransform().SetPosition(D3DXVECTOR3(-150.0f + 60.0f * i, 0.0f, 0.0f));
        body->BlendCycle(i == 0 ? "idle_ostrel" : "run_ostrel", 1.0f, 0.0f);
        characters.emplace_back(body);
    }

    CParticleManager& particles = getParticleManager();
    particles.ClearAll();
    const ParticleSystemType* fire = getParticleTypes().FindSystemType("fuego");
    if (!fire) {
        std::fprintf(stderr, "no fire particles\n");
        return 1;
    }
    auto live = [&] {
        int count = 0;
        for (const auto& emitter : particles.GetEmitters())
            count += emitter->CountLive();
        return count;
    };
    for (int warm = 0; live() < kTargetParticles && warm < 400; ++warm) {
        if (warm % 2 == 0)
            particles.CreateEmitter(fire, -200.0f + (warm % 40) * 10.0f, 0.0f, -100.0f + (warm / 40) * 20.0f, 0, 0, 0);
        particles.Update(0.05f);
    }

    FrameWaiter waiter;
    std::vector<double> characterUpdate, characterDraw, particleUpdate, particleDraw, particleSubmit;
    std::vector<double> wayDraw[2], wayCpu[2];
    int wayDraws[2] = {0, 0};
    const std::string against = std::getenv("VANTOREL_BENCH_AGAINST") ? std::getenv("VANTOREL_BENCH_AGAINST") : "";
    const Shortcut weighed = against == "particleview" ? Shortcut::ParticlesInView : Shortcut::SharedParticleDraws;
    int particleCount = 0;
    for (int frame = 0; frame < kWarmUp + frames; ++frame) {
        const double cu = Milliseconds([&] {
            for (auto& body : characters) {
                if (body->GetActionCount() == 0)
                    body->ExecuteAction("reload_ostrel", 0.1f, 0.1f, 1.0f, false);
                body->Update(1.0f / 30.0f);
            }
        });
        const double cd = Milliseconds([&] {
            getSceneManager().BeginTargetPass(SceneTarget, true);
            for (auto& body : characters)
                getEffectManager().RenderEntity(body.get());
            SceneTarget.End();
            waiter.Wait(SceneTarget.surface);
        });
        const double pu = Milliseconds([&] { particles.Update(0.05f); });
        double submit = 0.0;
        const double pd = Milliseconds([&] {
            submit = Milliseconds([&] { particles.Render(); });
            waiter.Wait(ParticleTarget.surface);
        });
        for (const bool shared : {false, true}) {
            SetShortcutOn(weighed, shared);
            const double cpu = ProcessCpuMs();
            const double drawn = Milliseconds([&] {
                particles.Render();
                waiter.Wait(ParticleTarget.surface);
            });
            wayDraws[shared] = particles.GetLastDrawCount();
            if (frame >= kWarmUp) {
                wayDraw[shared].push_back(drawn);
                wayCpu[shared].push_back(ProcessCpuMs() - cpu);
            }
        }
        SetShortcutOn(weighed, true);
        if (frame >= kWarmUp) {
            characterUpdate.push_back(cu);
            characterDraw.push_back(cd);
            particleUpdate.push_back(pu);
            particleDraw.push_back(pd);
            particleSubmit.push_back(submit);
        }
        particleCount = live();
    }
    std::printf("six characters: update %.3f ms, draw %.3f ms (median of %d frames)\n", Median(characterUpdate),
                Median(characterDraw), frames);
    std::printf("%d particles in %zu emitters: update %.3f ms, draw %.3f ms of which %.3f ms issuing the %d draw "
                "calls\n",
                particleCount, particles.GetEmitters().size(), Median(particleUpdate), Median(particleDraw),
                Median(particleSubmit), particles.GetLastDrawCount());
    for (const bool shared : {false, true})
        std::printf("  %s %s: %d draws, %.3f ms wall, %.3f ms CPU\n", shared ? "with" : "without",
                    against.empty() ? "particledraws" : against.c_str(), wayDraws[shared],
                    Median(wayDraw[shared]), Median(wayCpu[shared]));

    characters.clear();
    particles.ClearAll();
    CloseBenchWindow(window, "VantorelCharacterBench");
    return 0;
}
