// A physics world of its own for each test, with a stand-in for the hero, the
// enemies and the camera, and level files written on the spot.
#pragma once

#include <gtest/gtest.h>

#include <btBulletDynamicsCommon.h>
#include <BulletCollision/CollisionDispatch/btGhostObject.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "world/CollisionManager.h"
#include "xml/temp_folder.h"

class FakeCollisionWorld : public ICollisionWorld {
public:
    D3DXVECTOR3 HeroPosition() override { return hero; }
    void SetHeroPosition(const D3DXVECTOR3& feet) override { hero = feet; }
    float HeroYaw() override { return heroYaw; }
    int HeroStateCode() override { return heroState; }
    bool HeroBone(const std::string& bone, D3DXMATRIX* matrix) override
    {
        auto found = heroBones.find(bone);
        if (found == heroBones.end())
            return false;
        *matrix = found->second;
        return true;
    }
    void SetCameraEye(const D3DXVECTOR3& e) override { eye = e; }
    void CameraView(D3DXVECTOR3* e, D3DXVECTOR3* l) override
    {
        *e = eye;
        *l = lookAt;
    }
    std::vector<WaveEnemy> CurrentWave() override { return wave; }
    bool FindEnemy(const std::string& name, EnemyState* state) override
    {
        auto found = enemies.find(name);
        if (found == enemies.end())
            return false;
        *state = found->second;
        return true;
    }
    void SetEnemyPosition(const std::string& name, const D3DXVECTOR3& feet) override { enemies[name].position = feet; }
    bool EnemyBone(const std::string& name, const std::string& bone, D3DXMATRIX* matrix) override { return false; }

    D3DXVECTOR3 hero{0, 0, 0};
    float heroYaw = 0.0f;
    int heroState = 30;
    std::map<std::string, D3DXMATRIX> heroBones;
    D3DXVECTOR3 eye{0, 0, 0};
    D3DXVECTOR3 lookAt{0, 0, 1};
    std::vector<WaveEnemy> wave;
    std::map<std::string, EnemyState> enemies;
};

// One "collision" element with its four corners. The transform turns the box
// by yaw degrees about Y and puts its centre at (x, y, z).
inline std::string CollisionXml(const std::string& name, float w, float h, float l, float x, float y, float z,
                                float yawDegrees = 0.0f, bool corners = true)
{
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, D3DXToRadian(yawDegrees));
    m._41 = x;
    m._42 = y;
    m._43 = z;
    std::ostringstream s;
    s << "<collision name=\"" << name << "\" width=\"" << w << "\" height=\"" << h << "\" length=\"" << l
      << "\" transform=\"";
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            s << m.m[r][c] << " ";
    s << "\">";
    if (corners)
        for (float cx : {-1.0f, 1.0f})
            for (float cz : {-1.0f, 1.0f})
                s << "<vertex pos=\"" << x + cx * w / 2 << " " << y - h / 2 << " " << z + cz * l / 2 << "\"/>";
    s << "</collision>";
    return s.str();
}

class PhysicsTest : public ::testing::Test {
protected:
    PhysicsTest()
    {
        manager.SetWorld(&link);
        manager.InitPhysicsWorld();
    }

    // Reads the level's file and loads it (the hero stands at its start); with
    // no "scenario" element everything is the island's.
    void Level(const std::string& body, const std::string& scenario = "isla")
    {
        ASSERT_TRUE(manager.ReadFile(folder.Write("level.xml", "<level>" + body + "</level>")));
        manager.LoadNewScenario(scenario);
    }
    // A floor with its top at y = 0 under the whole test area, the hero
    // standing on it at the origin.
    static std::string Ground()
    {
        return "<player pos=\"0 10 0\"/>" + CollisionXml("col_suelo", 4000, 10, 4000, 0, -5, 0);
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            manager.Update(1.0f / 30.0f);
    }
    // The hero's sphere centre.
    D3DXVECTOR3 HeroCentre() const
    {
        const btVector3 c = manager.GetPlayerBody().basic.ghost->getWorldTransform().getOrigin();
        return D3DXVECTOR3(c.x(), c.y(), c.z());
    }
    int Objects() const { return manager.GetDynamicsWorld()->getNumCollisionObjects(); }
    int Actions() const
    {
        // The world keeps its actions to itself.
        struct Peek : btDiscreteDynamicsWorld {
            int Count() const { return m_actions.size(); }
        };
        return static_cast<const Peek*>(manager.GetDynamicsWorld())->Count();
    }

    TempFolder folder;
    FakeCollisionWorld link;
    CCollisionManager manager;
};
