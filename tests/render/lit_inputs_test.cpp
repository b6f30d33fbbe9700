// What a lit pixel is given of the eye, the two lights and its normal map:
// its colour follows the lights' places, weights, cones and the highlight's
// scale for rigid and skinned draws alike, and the normal map's lean.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::FlatCaster;
using fxtest::FlatEntity;

struct Rgb {
    double r, g, b;
};

D3DXVECTOR3 Unit(const D3DXVECTOR3& v)
{
    D3DXVECTOR3 u;
    D3DXVec3Normalize(&u, &v);
    return u;
}

double Smoothstep(double e0, double e1, double x)
{
    const double t = std::min(std::max((x - e0) / (e1 - e0), 0.0), 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Diffuse and highlight of one spot on a white point at the origin with the
// normal n, seen from `eye`, as the lit look weighs them.
void Spot(const CLightCamera& light, const D3DXVECTOR3& eye, const D3DXVECTOR3& n, double* diffuse, double* highlight)
{
    const D3DXVECTOR3 l = Unit(light.eye), v = Unit(eye), axis = Unit(light.target - light.eye);
    const D3DXVECTOR3 back = -l;
    const double cone = Smoothstep(-0.15, 0.55, D3DXVec3Dot(&axis, &back));
    const double weight = 0.35 + 0.65 * std::min(std::max(static_cast<double>(light.influence), 0.0), 1.0);
    *diffuse = std::max(static_cast<double>(D3DXVec3Dot(&n, &l)), 0.0) * cone * weight;
    const D3DXVECTOR3 h = Unit(l + v);
    *highlight = (*diffuse > 0.0 ? std::pow(std::max(static_cast<double>(D3DXVec3Dot(&n, &h)), 0.0), 32.0) : 0.0) *
                 cone * weight;
}

// The colour at the origin, unshadowed, for the scene's two lights.
Rgb Expected(const D3DXVECTOR3& eye, bool fighting, const D3DXVECTOR3& n = D3DXVECTOR3(0, 0, 1))
{
    double d1, s1, d2, s2;
    Spot(*getSceneManager().GetLight(1), eye, n, &d1, &s1);
    Spot(*getSceneManager().GetLight(2), eye, n, &d2, &s2);
    const double shine = (s1 + s2) * 0.35 * (fighting ? 0.25 : 1.0);
    auto channel = [&](double warm, double cool) { return 0.42 + warm * 0.7 * d1 + cool * 0.35 * d2 + shine; };
    return {channel(1.0, 0.82), channel(0.95, 0.88), channel(0.86, 1.0)};
}

class LitInputs : public fxtest::EffectDrawTest {
protected:
    void ExpectCentre(const Rgb& want)
    {
        const D3DCOLOR got = Pixel(kSize / 2, kSize / 2);
        EXPECT_NEAR(Red(got), std::min(want.r, 1.0) * 255.0, 2.0);
        EXPECT_NEAR(Green(got), std::min(want.g, 1.0) * 255.0, 2.0);
        EXPECT_NEAR(got & 0xFF, std::min(want.b, 1.0) * 255.0, 2.0);
    }
};

// Two spots from either side and above, at different weights, one of them
// turned half away: the centre's colour is theirs, for a level object and a
// character alike, and the highlight dims while the hero fights.
TEST_F(LitInputs, APixelIsLitByBothSpotsPlacesWeightsAndCones)
{
    const D3DXVECTOR3 eye(0, 0, 200);
    FlatEntity prop("caja", 60.0f, FlatEntity::FacingZ, "PhongLightingTech");
    FlatCaster body(60.0f, FlatEntity::FacingZ);
    getSceneManager().SaveDepthStencil();
    getSceneManager().RenderShadowCasters(ShadowMapTarget, true, {});
    testing::internal::CaptureStderr();
    getPlayer()->Init();
    testing::internal::GetCapturedStderr();
    struct Lights {
        D3DXVECTOR3 eye1, target1;
        float influence1;
        D3DXVECTOR3 eye2, target2;
        float influence2;
    };
    const Lights cases[] = {
        {{0, 60, 150}, {0, 0, 0}, -1.0f, {150, 0, 150}, {0, 0, 0}, 0.2f},
        {{-90, 0, 120}, {0, 0, 0}, 0.5f, {150, 0, 150}, {300, 0, 0}, 1.0f},
        {{0, -40, 160}, {0, 40, -160}, 0.0f, {-20, 100, 90}, {0, 0, 0}, -3.0f},
    };
    for (const Lights& lights : cases) {
        CLightCamera& one = *getSceneManager().GetLight(1);
        CLightCamera& two = *getSceneManager().GetLight(2);
        one.SetLookAt(lights.eye1, lights.target1);
        one.influence = lights.influence1;
        two.SetLookAt(lights.eye2, lights.target2);
        two.influence = lights.influence2;
        for (bool fighting : {false, true}) {
            if (fighting)
                getPlayer()->GetControllerSelector()->SwitchToFighting(nullptr, 0);
            const Rgb want = Expected(eye, fighting);
            for (IEntidad3D* entity : {static_cast<IEntidad3D*>(&prop), static_cast<IEntidad3D*>(&body)}) {
                SCOPED_TRACE(entity->GetName() + (fighting ? ", fighting" : "") + ", light 1 at x " +
                             std::to_string(lights.eye1.x));
                ClearTo(drawtest::kBlack);
                ASSERT_TRUE(getEffectManager().RenderEntity(entity));
                ExpectCentre(want);
            }
        }
        testing::internal::CaptureStderr();
        getPlayer()->Init();
        testing::internal::GetCapturedStderr();
    }
}

// A normal map leans the normal along the surface's tangent (u) and
// bitangent (v) by its texel: the centre is lit as the leant normal says.
TEST_F(LitInputs, ANormalMapLeansTheNormalAlongTheTangentFrame)
{
    const D3DXVECTOR3 eye(0, 0, 200);
    // The hero as a start builds him, not fighting: the highlight's scale
    // follows his state.
    testing::internal::CaptureStderr();
    getPlayer()->Init();
    testing::internal::GetCapturedStderr();
    getSceneManager().SaveDepthStencil();
    getSceneManager().RenderShadowCasters(ShadowMapTarget, true, {});
    getSceneManager().GetLight(1)->SetLookAt(D3DXVECTOR3(30, -50, 150), D3DXVECTOR3(0, 0, 0));
    getSceneManager().GetLight(2)->SetLookAt(D3DXVECTOR3(-120, 40, 100), D3DXVECTOR3(0, 0, 0));
    // Weighed low, so that no channel reaches white.
    getSceneManager().GetLight(1)->influence = -1.0f;
    getSceneManager().GetLight(2)->influence = 0.0f;
    const D3DCOLOR texels[] = {D3DCOLOR_XRGB(204, 128, 230), D3DCOLOR_XRGB(70, 90, 240), D3DCOLOR_XRGB(128, 128, 255)};
    for (D3DCOLOR texel : texels) {
        SCOPED_TRACE(texel);
        FlatEntity prop("caja", 60.0f, FlatEntity::FacingZ, "PhongLightingTech");
        prop.SetTexture(2, Texture(2, 2, std::vector<D3DCOLOR>(4, texel)));
        ClearTo(drawtest::kBlack);
        ASSERT_TRUE(getEffectManager().RenderEntity(&prop));
        // The square's tangent runs along +X with its bitangent along +Y.
        auto unpack = [](int byte) { return byte / 255.0f * 2.0f - 1.0f; };
        const D3DXVECTOR3 leant(unpack(Red(texel)), unpack(Green(texel)), unpack(texel & 0xFF));
        const Rgb want = Expected(eye, false, Unit(leant));
        ASSERT_LT(std::max({want.r, want.g, want.b}), 0.95);
        ExpectCentre(want);
    }
}

} // namespace
