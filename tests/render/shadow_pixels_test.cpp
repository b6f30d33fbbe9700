// Where on the target a receiver's shadow taps can change its light: only
// where its triangles meet the part of the light's view behind the nearest
// caster, within the map's reach. Drawn in parts, the receiver must come out
// as one draw with the taps everywhere gives it.
#include <gtest/gtest.h>

#include "look_down_z.h"

#include <vector>

#include "platform/gl_device.h"
#include "render/FrameShortcuts.h"
#include "render/ShadowPixels.h"
#include "render/ShadowReach.h"
#include "render/effectmanager_fixture.h"

namespace {

using fxtest::FlatCaster;
using fxtest::FlatEntity;

using fxtest::LookDownZ;

// A camera 100 behind the light looking down +z, 90 degrees wide: at
// distance d a point (x, y) lands x / d of the half-width off the middle.
D3DXMATRIX CameraBehindTheLight()
{
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, -100), at(0, 0, 300), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 1.0f, 1.0f, 20000.0f);
    return view * projection;
}

// The light's middle fifth of the map, casters from `nearest` on.
ShadowVolume MiddleFifth(float nearest)
{
    ShadowVolume volume;
    volume.lightViewProjection = LookDownZ();
    volume.left = volume.top = 0.4f;
    volume.right = volume.bottom = 0.6f;
    volume.nearestCaster = nearest;
    return volume;
}

constexpr int kTarget = 100;

TEST(ShadowPixelsTest, OnlyWhereTheReceiverLiesBehindTheCastersInTheirPartOfTheMap)
{
    // A wall across the light's view at z 300: the middle fifth of the map
    // covers x and y within 60 of its middle, which the camera 400 away sees
    // within 0.15 of the half-width, pixels 42.5 to 57.5.
    FlatEntity wall("pared", 200.0f, FlatEntity::FacingZ, "PhongLightingTech");
    wall.MoveTo(0, 0, 300);
    PixelRect pixels;
    ASSERT_TRUE(ShadowPixelsOf(wall, MiddleFifth(100.0f), CameraBehindTheLight(), kTarget, kTarget, pixels));
    ASSERT_FALSE(pixels.Empty());
    EXPECT_LE(pixels.left, 42);
    EXPECT_GE(pixels.right, 58);
    EXPECT_LE(pixels.top, 42);
    EXPECT_GE(pixels.bottom, 58);
    EXPECT_GE(pixels.left, 39);
    EXPECT_LE(pixels.right, 61);
    EXPECT_GE(pixels.top, 39);
    EXPECT_LE(pixels.bottom, 61);

    struct Row {
        const char* name;
        float x, z, nearest;
    } nowhere[] = {
        {"nearer the light than every caster", 0.0f, 300.0f, 298.0f},
        {"beyond the map's reach", 0.0f, 10020.0f, 100.0f},
        {"beside the casters' part of the map", 330.0f, 300.0f, 100.0f},
    };
    for (const Row& row : nowhere) {
        SCOPED_TRACE(row.name);
        wall.MoveTo(row.x, 0, row.z);
        ASSERT_TRUE(ShadowPixelsOf(wall, MiddleFifth(row.nearest), CameraBehindTheLight(), kTarget, kTarget, pixels));
        EXPECT_TRUE(pixels.Empty()) << pixels.left << " " << pixels.top << " " << pixels.right << " " << pixels.bottom;
    }
    // Just behind the nearest caster by more than the bias, it may be shadowed.
    wall.MoveTo(0, 0, 300);
    ASSERT_TRUE(ShadowPixelsOf(wall, MiddleFifth(290.0f), CameraBehindTheLight(), kTarget, kTarget, pixels));
    EXPECT_FALSE(pixels.Empty());

    // A floor running past the eye of a camera looking back at the light:
    // what lies behind the eye is left out, the rest is seen below the middle.
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, 400), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 1.0f, 1.0f, 20000.0f);
    FlatEntity floor("suelo", 250.0f, FlatEntity::FacingY, "PhongLightingTech");
    floor.MoveTo(0, -50, 450);
    ASSERT_TRUE(ShadowPixelsOf(floor, MiddleFifth(100.0f), view * projection, kTarget, kTarget, pixels));
    EXPECT_FALSE(pixels.Empty());
    EXPECT_GE(pixels.top, 50);
}

// How near the light the casters come: the least w of their points.
TEST(ShadowPixelsTest, ACastersRectKeepsItsNearestPointToTheLight)
{
    ShadowRect first, second;
    first.AddClip(0.0f, 0.0f, 300.0f);
    first.AddClip(10.0f, 0.0f, 120.0f);
    first.AddClip(0.0f, 10.0f, 200.0f);
    EXPECT_FLOAT_EQ(first.nearest, 120.0f);
    second.AddClip(0.0f, 0.0f, 90.0f);
    second.AddClip(0.0f, 0.0f, 500.0f);
    ShadowRect both;
    both.Add(first);
    EXPECT_FLOAT_EQ(both.nearest, 120.0f);
    both.Add(second);
    EXPECT_FLOAT_EQ(both.nearest, 90.0f);
    both.Add(ShadowRect());
    EXPECT_FLOAT_EQ(both.nearest, 90.0f) << "an empty rect brings no point";
}

TEST(ShadowPixelsTest, UnknownForAMeshWithoutIndexedTrianglesOrWithTooMany)
{
    PixelRect pixels;
    FlatEntity wall("pared", 200.0f, FlatEntity::FacingZ, "PhongLightingTech");
    wall.MoveTo(0, 0, 300);
    IVertexBuffer* mesh = wall.GetMesh();
    std::vector<unsigned short> many;
    for (int i = 0; i < 513; ++i)
        many.insert(many.end(), {0, 1, 2});
    mesh->SetIndexBuffer(new CIndexBuffer);
    mesh->GetIndexBuffer()->Create(static_cast<unsigned>(many.size()), many.data());
    EXPECT_FALSE(ShadowPixelsOf(wall, MiddleFifth(100.0f), CameraBehindTheLight(), kTarget, kTarget, pixels));
    many.resize(3 * 512);
    mesh->GetIndexBuffer()->Create(static_cast<unsigned>(many.size()), many.data());
    EXPECT_TRUE(ShadowPixelsOf(wall, MiddleFifth(100.0f), CameraBehindTheLight(), kTarget, kTarget, pixels));
    mesh->SetIndexBuffer(nullptr);
    EXPECT_FALSE(ShadowPixelsOf(wall, MiddleFifth(100.0f), CameraBehindTheLight(), kTarget, kTarget, pixels));
}

TEST(ShadowPixelsTest, TheBandsAroundARectCoverTheRestOfTheTargetOnce)
{
    constexpr int kWidth = 20, kHeight = 10;
    auto rect = [](int l, int t, int r, int b) {
        PixelRect p;
        p.left = l, p.top = t, p.right = r, p.bottom = b;
        return p;
    };
    for (const PixelRect& inner : {rect(5, 3, 12, 7), rect(0, 0, 20, 4), rect(0, 2, 6, 10), rect(19, 9, 20, 10),
                                   rect(0, 0, 20, 10), PixelRect()}) {
        SCOPED_TRACE(std::to_string(inner.left) + "," + std::to_string(inner.top) + " to " +
                     std::to_string(inner.right) + "," + std::to_string(inner.bottom));
        PixelRect bands[4];
        const int count = PixelsAround(inner, kWidth, kHeight, bands);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                int covered = x >= inner.left && x < inner.right && y >= inner.top && y < inner.bottom ? 1 : 0;
                for (int i = 0; i < count; ++i)
                    covered += x >= bands[i].left && x < bands[i].right && y >= bands[i].top && y < bands[i].bottom;
                ASSERT_EQ(covered, 1) << "pixel " << x << ", " << y;
            }
        }
    }
}

class ShadowPixelsDraw : public fxtest::EffectDrawTest {
protected:
    void TearDown() override
    {
        SetShortcutOn(Shortcut::ShadowPixels, true);
        EffectDrawTest::TearDown();
    }

    // The floor over black after the casters' shadow pass, and the draws it took.
    std::vector<D3DCOLOR> Draw(IEntidad3D& floor, const std::vector<IEntidad3D*>& casters, unsigned& draws)
    {
        getSceneManager().RenderShadowCasters(ShadowMapTarget, true, casters);
        ClearTo(drawtest::kBlack);
        platform::ResetDrawStats(D3DDevice);
        EXPECT_TRUE(getEffectManager().RenderEntity(&floor));
        draws = platform::GetDrawStats(D3DDevice).drawCalls;
        return BackBuffer();
    }
};

// A floor seen from above with a caster over one corner: drawn in parts, the
// taps only round the shadow, it is the floor the taps everywhere give, its
// shadow included; a caster that no point of the floor lies behind leaves
// the floor to one draw without the taps.
TEST_F(ShadowPixelsDraw, AReceiverDrawnInPartsKeepsItsShadowPixelForPixel)
{
    PlaceCamera(D3DXVECTOR3(0, 250, 250), D3DXVECTOR3(0, 0, 0));
    SetLightOne(D3DXVECTOR3(0, 300, 1));
    FlatEntity floor("suelo", 200.0f, FlatEntity::FacingY, "PhongLightingTech");
    FlatCaster caster(20.0f);
    caster.GetTransform().SetPosition(D3DXVECTOR3(-70, 60, 30));
    getSceneManager().SaveDepthStencil();

    unsigned draws[2] = {};
    std::vector<D3DCOLOR> looks[2];
    for (bool parts : {false, true}) {
        SCOPED_TRACE(parts ? "in parts" : "the taps everywhere");
        SetShortcutOn(Shortcut::ShadowPixels, parts);
        looks[parts] = Draw(floor, {&caster}, draws[parts]);
    }
    EXPECT_EQ(draws[false], 1u);
    EXPECT_GT(draws[true], 2u) << "the taps' part and the parts around it";
    unsigned lit = 0;
    const std::vector<D3DCOLOR> unshadowed = Draw(floor, {}, draws[false]);
    for (size_t i = 0; i < unshadowed.size(); ++i)
        lit += Brightness(looks[false][i]) + 60 < Brightness(unshadowed[i]) ? 1 : 0;
    EXPECT_GT(lit, unshadowed.size() / 100) << "the caster's shadow shows";
    size_t differ = 0;
    for (size_t i = 0; i < looks[false].size(); ++i)
        differ += looks[false][i] != looks[true][i] ? 1 : 0;
    EXPECT_EQ(differ, 0u);

    // Under the floor, the caster shades nothing of it.
    caster.GetTransform().SetPosition(D3DXVECTOR3(-70, -60, 30));
    unsigned below = 0;
    const std::vector<D3DCOLOR> plain = Draw(floor, {&caster}, below);
    EXPECT_EQ(below, 1u);
    BOOL taps = TRUE;
    getEffectManager().GetEffect()->GetBool("shadow_casters", &taps);
    EXPECT_FALSE(taps);
    EXPECT_TRUE(plain == unshadowed);
}

} // namespace
