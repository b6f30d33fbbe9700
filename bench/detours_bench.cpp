// Detour choice for five walking enemies, all blocked by a wall of three
// paired halves, each pass the path test and the corner chooser: the worst
// a frame asks of it. Reports the median and worst microseconds per frame.
// Usage: detours_bench [frames]
#include "enemies/Detours.h"
#include "world/CollisionManager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class StillWorld : public ICollisionWorld {
public:
    D3DXVECTOR3 HeroPosition() override { return D3DXVECTOR3(0, 0, -500); }
    void SetHeroPosition(const D3DXVECTOR3&) override {}
    float HeroYaw() override { return 0.0f; }
    int HeroStateCode() override { return 31; }
    bool HeroBone(const std::string&, D3DXMATRIX*) override { return false; }
    void SetCameraEye(const D3DXVECTOR3&) override {}
    void CameraView(D3DXVECTOR3* e, D3DXVECTOR3* l) override { *e = *l = D3DXVECTOR3(0, 0, 0); }
    std::vector<WaveEnemy> CurrentWave() override { return {}; }
    bool FindEnemy(const std::string&, EnemyState*) override { return false; }
    void SetEnemyPosition(const std::string&, const D3DXVECTOR3&) override {}
    bool EnemyBone(const std::string&, const std::string&, D3DXMATRIX*) override { return false; }
};

std::string Box(const std::string& name, float w, float h, float l, float x, float z)
{
    std::ostringstream s;
    s << "<collision name=\"" << name << "\" width=\"" << w << "\" height=\"" << h << "\" length=\"" << l
      << "\" transform=\"1 0 0 0 1 0 0 0 1 " << x << " " << h / 2 << " " << z << "\">";
    for (float cz : {z - l / 2, z + l / 2})
        for (float cx : {x - w / 2, x + w / 2})
            s << "<vertex pos=\"" << cx << " 0 " << cz << "\"/>";
    return s.str() + "</collision>";
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const std::string file = (std::filesystem::temp_directory_path() / "detours_bench_level.xml").string();
    {
        std::ofstream out(file);
        out << "<level><scenario name=\"isla\"/><player pos=\"0 10 -500\"/>" << Box("col_suelo", 8000, 10, 8000, 0, 0)
            << Box("col_muro01Ha_b1", 100, 100, 40, 0, 100) << Box("col_muro01Ha_b2", 100, 100, 40, 100, 100)
            << Box("col_muro01Ha_b3", 100, 100, 40, -100, 100) << Box("col_caja", 40, 100, 40, -118, 200)
            << "</level>";
    }
    StillWorld world;
    CCollisionManager manager;
    manager.SetWorld(&world);
    manager.InitPhysicsWorld();
    if (!manager.ReadFile(file)) {
        std::fprintf(stderr, "detours_bench: cannot read %s\n", file.c_str());
        return 1;
    }
    manager.LoadNewScenario("isla");
    std::filesystem::remove(file);

    CDetourFinder finder(manager);
    const D3DXVECTOR3 goal(0, 0, 400);
    std::vector<double> times;
    int blocked = 0;
    for (int frame = 0; frame < frames; ++frame) {
        const auto begin = std::chrono::steady_clock::now();
        for (int enemy = 0; enemy < 5; ++enemy) {
            const D3DXVECTOR3 at(-20.0f + 10.0f * enemy, 0, 0);
            finder.scratchName.clear();
            if (!finder.IsPathClear(at, goal)) {
                ++blocked;
                finder.ChooseDetour(DetourGroupOf(finder.scratchName), at, goal);
            }
        }
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
    }
    std::printf("detours_bench: 5 enemies, %d of %d blocked: median %.1f us, worst %.1f us per frame\n", blocked,
                frames * 5, Median(times), *std::max_element(times.begin(), times.end()));
    return 0;
}
