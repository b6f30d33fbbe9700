#include <gtest/gtest.h>

#include <cmath>

#include "scene/Entity3D.h"
#include "scene/Location.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTolerance = 1e-4f;

D3DXVECTOR3 Transform(const CLocation& l, const D3DXVECTOR3& v)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &l.GetMatrix());
    return out;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    EXPECT_NEAR(a.x, b.x, kTolerance);
    EXPECT_NEAR(a.y, b.y, kTolerance);
    EXPECT_NEAR(a.z, b.z, kTolerance);
}

// Turn, then move, then scale: the scale reaches the translation too.
TEST(Location, WorldMatrixTurnsThenMovesThenScales)
{
    CLocation l;
    l.SetPosition(D3DXVECTOR3(10, 0, 0));
    l.SetYaw(kPi / 2);
    // Yaw pi/2 turns +Z onto +X before the move.
    ExpectNear(Transform(l, D3DXVECTOR3(0, 0, 1)), D3DXVECTOR3(11, 0, 0));
    l.SetScale(D3DXVECTOR3(2, 3, 4));
    ExpectNear(Transform(l, D3DXVECTOR3(0, 0, 1)), D3DXVECTOR3(22, 0, 0));
    ExpectNear(Transform(l, D3DXVECTOR3(0, 1, 0)), D3DXVECTOR3(20, 3, 0));
}

TEST(Location, AnglesWrapIntoHalfATurnEitherWay)
{
    CLocation l;
    l.SetYaw(4.0f);
    EXPECT_NEAR(l.GetYaw(), 4.0f - 2 * kPi, kTolerance);
    l.AddYaw(-1.0f);  // 4 - 2pi - 1 = -3.28: past -pi
    EXPECT_NEAR(l.GetYaw(), 3.0f, kTolerance);
    l.SetPitch(-7.0f);
    EXPECT_NEAR(l.GetPitch(), -7.0f + 2 * kPi, kTolerance);
    l.AddPitch(6.0f);  // 2pi - 7 + 6 = 5.28: past pi
    EXPECT_NEAR(l.GetPitch(), -1.0f, kTolerance);
}

// Pitch steers the next step but the matrix waits for a rebuilding setter.
TEST(Location, PitchChangesTheStepNotTheMatrix)
{
    CLocation l;
    l.SetPosition(D3DXVECTOR3(5, 5, 5));
    const D3DXMATRIX before = l.GetMatrix();
    l.AddPitch(kPi / 2);
    EXPECT_EQ(before, l.GetMatrix());

    l.MoveForward(10.0f);
    // (sin 0, -sin pi/2, cos 0) * 10: down and forward, not normalised.
    ExpectNear(l.GetPosition(), D3DXVECTOR3(5, -5, 15));
    EXPECT_NEAR(l.GetMatrix()._42, -5.0f, kTolerance);
}

TEST(Location, AngleToIsTheShortTurnTowardsThePoint)
{
    CLocation l;
    EXPECT_NEAR(l.AngleTo(D3DXVECTOR3(1, 50, 1)), kPi / 4, kTolerance);
    EXPECT_NEAR(l.AngleTo(D3DXVECTOR3(-1, 0, 0)), -kPi / 2, kTolerance);

    // Across the +-pi seam the turn stays short: from 3.0 to -3.0 is +0.28.
    l.SetPosition(D3DXVECTOR3(10, 0, 10));
    l.SetYaw(3.0f);
    const D3DXVECTOR3 point = D3DXVECTOR3(10, 0, 10) + D3DXVECTOR3(std::sin(-3.0f), 0, std::cos(-3.0f)) * 50.0f;
    EXPECT_NEAR(l.AngleTo(point), 2 * kPi - 6.0f, kTolerance);
}

TEST(EntityDefaults, TexturesPastTheListAreAbsent)
{
    struct Bare : IEntidad3D {
        void Render(bool) override {}
        void Init(const std::string&) override {}
        void UploadBones() override {}
    } entity;
    auto* diffuse = reinterpret_cast<IDirect3DTexture9*>(0x10);
    entity.SetTextures({diffuse});
    EXPECT_EQ(entity.GetTexture(0), diffuse);
    EXPECT_EQ(entity.GetTexture(2), nullptr);
}

} // namespace
