// A stand-in for the hero, the enemies, the physics and the input that the
// camera talks to. Its physics is immediate: the camera's walk vector moves
// the eye at once, as a body that meets no wall.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "scene/Camera.h"

class FakeCameraWorld : public ICameraWorld {
public:
    explicit FakeCameraWorld(CCamera& camera) : m_Camera(camera) { camera.SetWorld(this); }
    ~FakeCameraWorld() override { m_Camera.SetWorld(nullptr); }

    CameraHeroState ReadHero() override { return hero; }
    CameraInputState ReadInput() override { return input; }
    bool IsAction(const std::string& name) override { return actions.count(name) != 0; }
    bool IsScriptedSequenceRunning() override { return scripted; }

    void SetHeroYaw(float yaw) override
    {
        hero.yaw = yaw;
        ++heroYawSets;
    }
    void WalkHero(const D3DXVECTOR3& step) override { heroSteps.push_back(step); }
    void WalkCamera(const D3DXVECTOR3& step) override
    {
        cameraSteps.push_back(step);
        m_Camera.SetPosition(m_Camera.GetPosition() + step);
    }
    bool SelectAdjacentParapet(bool towardEnd) override
    {
        adjacentAsked.push_back(towardEnd);
        return adjacentParapet;
    }

    bool NextAimTarget(const std::string& current, std::string* name, D3DXVECTOR3* position) override
    {
        for (const auto& enemy : enemies) {
            if (enemy.first != current || enemies.size() == 1) {
                *name = enemy.first;
                *position = enemy.second;
                return true;
            }
        }
        return false;
    }
    bool FindLiveTarget(const std::string& name, D3DXVECTOR3* position) override
    {
        auto it = enemies.find(name);
        if (it == enemies.end())
            return false;
        *position = it->second;
        return true;
    }

    CameraHeroState hero;
    CameraInputState input;
    std::set<std::string> actions;
    bool scripted = false;
    bool adjacentParapet = false;
    // Live enemies by name.
    std::map<std::string, D3DXVECTOR3> enemies;

    int heroYawSets = 0;
    std::vector<D3DXVECTOR3> heroSteps;
    std::vector<D3DXVECTOR3> cameraSteps;
    std::vector<bool> adjacentAsked;

private:
    CCamera& m_Camera;
};
