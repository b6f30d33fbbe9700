// Track files written into the test's scratch folder, and a recording stand-in
// for everything the rigid animations and the story call.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/GameStateFlags.h"
#include "scene/LightCamera.h"
#include "scene/Location.h"
#include "scene/RigidAnimManager.h"

namespace rigidtest {

struct Sample {
    D3DXVECTOR3 p;
    D3DXQUATERNION q;
};

inline std::string TrackText(const std::string& name, int announced, float duration, const std::vector<Sample>& samples)
{
    std::ostringstream text;
    text << "<RigidAnimation>\n<Name> " << name << " </Name>\n<NumSamples> " << announced
         << " </NumSamples>\n<Duration> " << duration << " </Duration>\n<Position>\n";
    for (const Sample& s : samples)
        text << s.p.x << " " << s.p.y << " " << s.p.z << "\n";
    text << "</Position>\n<Orientation>\n";
    for (const Sample& s : samples)
        text << s.q.x << " " << s.q.y << " " << s.q.z << " " << s.q.w << "\n";
    text << "</Orientation>\n</RigidAnimation>\n";
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline const D3DXQUATERNION kIdentity(0.0f, 0.0f, 0.0f, 1.0f);

// A straight track along +X: from x0 to x1 over the duration, unrotated.
inline std::vector<Sample> Line(float x0, float x1, int count)
{
    std::vector<Sample> samples;
    for (int k = 0; k < count; ++k) {
        const float x = count == 1 ? x0 : x0 + (x1 - x0) * k / (count - 1);
        samples.push_back({D3DXVECTOR3(x, 0.0f, 0.0f), kIdentity});
    }
    return samples;
}

// A recorder of every call, in order, with the scene objects it owns.
class RecordingWorld : public IRigidAnimWorld {
public:
    std::vector<std::string> calls;
    std::vector<std::string> carried; // each box carried with its object, in order
    std::map<std::string, CLocation> entities;
    CLightCamera camera;
    bool fadingIn = false;
    bool skip = false;
    bool finisher = false;
    bool fighting = false;
    // What stands in the camera's way; nothing when unset.
    std::function<float(const D3DXVECTOR3&, const D3DXVECTOR3&)> reach;
    std::string wave = "wave_00";
    bool hasAvioneta = true;
    bool docker3Done = false;
    bool planeFlying = true;
    bool relocated = false;
    bool freeCamera = false;
    D3DXVECTOR3 heroPosition{0.0f, 0.0f, 0.0f};
    float heroYaw = 0.0f;
    int checkpoint = 1;

    void Log(const std::string& text) { calls.push_back(text); }
    bool Called(const std::string& text) const
    {
        for (const std::string& call : calls)
            if (call == text)
                return true;
        return false;
    }
    // The index of the first call of that text, or -1.
    int IndexOf(const std::string& text) const
    {
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i] == text)
                return static_cast<int>(i);
        return -1;
    }
    static std::string Num(float value)
    {
        std::ostringstream text;
        text << value;
        return text.str();
    }

    CLocation* FindEntity(const std::string& name) override
    {
        const auto found = entities.find(name);
        return found == entities.end() ? nullptr : &found->second;
    }
    void FadeOutToBlack(float s) override { Log("FadeOutToBlack " + Num(s)); }
    void FadeOutToWhite(float s) override { Log("FadeOutToWhite " + Num(s)); }
    void FadeInFromBlack(float s) override { Log("FadeInFromBlack " + Num(s)); }
    void FadeInFromWhite(float s) override { Log("FadeInFromWhite " + Num(s)); }
    bool IsFadingIn() override { return fadingIn; }
    void ShowMission(int n) override { Log("Mission " + std::to_string(n)); }
    void ReturnToMainMenu() override { Log("MainMenu"); }
    void PlaySampleOnce(const std::string& file, float volume) override { Log("Sample " + file); }
    void PlaySceneSounds(const std::string& f1, float, bool on1, const std::string& f2, float, bool on2,
                         const std::string& f3, float, bool on3) override
    {
        Log("Scene " + (on1 ? f1 : "-") + " " + (on2 ? f2 : "-") + " " + (on3 ? f3 : "-"));
    }
    void StopSceneSounds() override { Log("StopScene"); }
    void StopOneShot() override { Log("StopOneShot"); }
    void PauseAllTypical() override { Log("PauseTypical"); }
    void ResumeAllTypical() override { Log("ResumeTypical"); }
    void LeaveMenu() override { Log("LeaveMenu"); }
    void ShowSubtitle(const std::string& key) override { Log("Subtitle " + key); }
    void ClearSubtitles() override { Log("ClearSubtitles"); }
    bool SkipPressed() override { return skip; }
    void FreezeIA() override { Log("FreezeIA"); }
    void ResumeIA() override { Log("ResumeIA"); }
    std::string CurrentWave() override { return wave; }
    void SetNewZone(const std::string& room, const std::string& w) override { Log("Zone " + room + " " + w); }
    void DestroyEnemies51To53() override { Log("Destroy51To53"); }
    void FinalBattle() override { Log("FinalBattle"); }
    bool PlaceAvioneta(const D3DXVECTOR3& p) override
    {
        if (hasAvioneta)
            Log("Avioneta " + Num(p.x) + " " + Num(p.y) + " " + Num(p.z));
        return hasAvioneta;
    }
    bool IsDocker3Done() override { return docker3Done; }
    bool PlaneStillFlying() override { return planeFlying; }
    void CarryBoxWith(const std::string& box, const std::string& object) override
    {
        carried.push_back(box + " with " + object);
    }
    bool IsFinisherUnderWay() override { return finisher; }
    bool IsHeroFighting() override { return fighting || finisher; }
    float CameraReach(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        return reach ? reach(from, to) : IRigidAnimWorld::CameraReach(from, to);
    }
    void ForgetFireHeld() override {}
    void RefillLife() override { Log("RefillLife"); }
    D3DXVECTOR3 HeroPosition() override { return heroPosition; }
    float HeroYaw() override { return heroYaw; }
    void SetHeroYaw(float yaw) override
    {
        heroYaw = yaw;
        Log("HeroYaw " + Num(yaw));
    }
    void SetHeroBody(const D3DXVECTOR3& p) override
    {
        heroPosition = p;
        Log("HeroBody " + Num(p.x) + " " + Num(p.y) + " " + Num(p.z));
    }
    void SetHeroEntity(const D3DXVECTOR3& p, float yaw) override
    {
        heroPosition = p;
        heroYaw = yaw;
        Log("HeroEntity " + Num(yaw));
    }
    bool IsExplosionRelocated() override { return relocated; }
    void SetExplosionRelocated() override { relocated = true; }
    void BlendLowCoverIdle(float weight, float, bool clearFirst) override
    {
        Log(std::string("LowCoverIdle ") + Num(weight) + (clearFirst ? " cleared" : ""));
    }
    void SwitchToParapeted(int parapet, const D3DXVECTOR3&) override { Log("Parapet " + std::to_string(parapet)); }
    void ReleaseHeroToFree() override { Log("HeroFree"); }
    void StoreForCheckpoint() override { Log("StoreCheckpoint"); }
    void SetCheckpoint(int n) override
    {
        checkpoint = n;
        Log("Checkpoint " + std::to_string(n));
    }
    void ActivateTriggerLogic(const std::string& name) override { Log("Trigger " + name); }
    void ResetStoryRecord() override
    {
        getGSF().resetStates();
        Log("ResetRecord");
    }
    void SetFreeCamera(bool on) override { freeCamera = on; }
    CLightCamera& FlightCamera() override { return camera; }
    void SwitchFov(float fov) override { Log("Fov " + Num(fov)); }
    void RestoreFov() override { Log("RestoreFov"); }
};

} // namespace rigidtest
