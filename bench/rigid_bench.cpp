// The rigid animations on the shipped data: how long reading the list and
// every track takes, and one frame's update with the hangar explosion (every
// fragment thrown) and the hangar flight running. Scene objects are looked up
// by name among as many objects as the first level holds, one after another,
// as the scene manager does. Reports medians in milliseconds.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: rigid_bench [frames]
#include "app/GameStateFlags.h"
#include "scene/LightCamera.h"
#include "scene/Location.h"
#include "scene/RigidAnimManager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A world that does nothing but find scene objects the scene's way.
class BenchWorld : public IRigidAnimWorld {
public:
    BenchWorld()
    {
        for (int i = 0; i < 600; ++i)
            objects.push_back({"objeto_de_relleno_" + std::to_string(i), CLocation()});
        for (const auto& group : getRigid()->GetAnimations())
            for (const auto& part : group.second)
                objects.push_back({part.entityName, CLocation()});
    }
    CLocation* FindEntity(const std::string& name) override
    {
        for (auto& object : objects)
            if (object.first == name)
                return &object.second;
        return nullptr;
    }
    void FadeOutToBlack(float) override {}
    void FadeOutToWhite(float) override {}
    void FadeInFromBlack(float) override {}
    void FadeInFromWhite(float) override {}
    bool IsFadingIn() override { return false; }
    void ShowMission(int) override {}
    void ReturnToMainMenu() override {}
    void PlaySampleOnce(const std::string&, float) override {}
    void PlaySceneSounds(const std::string&, float, bool, const std::string&, float, bool, const std::string&, float,
                         bool) override
    {
    }
    void StopSceneSounds() override {}
    void StopOneShot() override {}
    void PauseAllTypical() override {}
    void ResumeAllTypical() override {}
    void LeaveMenu() override {}
    void ShowSubtitle(const std::string&) override {}
    void ClearSubtitles() override {}
    bool SkipPressed() override { return false; }
    void FreezeIA() override {}
    void ResumeIA() override {}
    std::string CurrentWave() override { return "wave_10"; }
    void SetNewZone(const std::string&, const std::string&) override {}
    void DestroyEnemies51To53() override {}
    void FinalBattle() override {}
    bool PlaceAvioneta(const D3DXVECTOR3&) override { return true; }
    bool IsDocker3Done() override { return false; }
    bool PlaneStillFlying() override { return true; }
    void CarryBoxWith(const std::string&, const std::string&) override {}
    bool IsFinisherUnderWay() override { return false; }
    void ForgetFireHeld() override {}
    void RefillLife() override {}
    D3DXVECTOR3 HeroPosition() override { return D3DXVECTOR3(0, 0, 0); }
    float HeroYaw() override { return 0.0f; }
    void SetHeroYaw(float) override {}
    void SetHeroBody(const D3DXVECTOR3&) override {}
    void SetHeroEntity(const D3DXVECTOR3&, float) override {}
    bool IsExplosionRelocated() override { return true; }
    void SetExplosionRelocated() override {}
    void BlendLowCoverIdle(float, float, bool) override {}
    void SwitchToParapeted(int, const D3DXVECTOR3&) override {}
    void ReleaseHeroToFree() override {}
    void StoreForCheckpoint() override {}
    void SetCheckpoint(int) override {}
    void ActivateTriggerLogic(const std::string&) override {}
    void ResetStoryRecord() override {}
    void SetFreeCamera(bool) override {}
    CLightCamera& FlightCamera() override { return camera; }
    void SwitchFov(float) override {}
    void RestoreFov() override {}

    std::vector<std::pair<std::string, CLocation>> objects;
    CLightCamera camera;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const char* env = std::getenv("VANTOREL_WORKDIR");
    std::filesystem::current_path(env ? env : "build/game");
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    std::vector<double> loads;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        getRigid()->Load();
        loads.push_back(MsSince(start));
    }
    std::printf("load the list: %.3f ms (%d tracks)\n", Median(loads), getRigid()->GetTrackCount());

    BenchWorld world;
    CRigidAnimManager& rigid = *getRigid();
    rigid.SetWorld(&world);
    CGameStateFlagsManager& record = getGSF();
    std::vector<double> updates;
    for (int i = 0; i < frames; ++i) {
        if (rigid.oneShotAnims.empty() || !rigid.camSequenceRunning) {
            // The explosion as the shot resolution starts it.
            record.resetStates();
            record.sequence = CGameStateFlagsManager::PlayingCamHangar;
            record.hangarRigidState = CGameStateFlagsManager::RigidasHangarExplosion;
            rigid.Clear();
            rigid.Reset();
            rigid.play("explosion_hangar", false);
            rigid.play("nueva_avioneta_bucle", true);
            rigid.playCam("camara_hangar");
        }
        const auto start = std::chrono::steady_clock::now();
        rigid.Update(1.0f / 30.0f);
        updates.push_back(MsSince(start));
    }
    std::printf("one update, %zu fragments, 5 loop parts and a flight: %.4f ms (median of %d)\n",
                rigid.oneShotAnims.size(), Median(updates), frames);
    rigid.SetWorld(nullptr);
    return 0;
}
