// Particles drawn through the shipped effect into the particle target.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/crt.h"
#include "render/DrawHelper.h"
#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"

namespace {

using drawtest::kSize;

const char kTypes[] = R"(<T>
<PARTICLE_SYSTEM name="swarm" life_system="3000" life_generation="3000">
  <PARTICLE number="800" life="30">
    <SIZE base="20"><INSTANT frame="0" value="1"/></SIZE>
    <VELOCITY base="1"><INSTANT frame="0" value="0"/></VELOCITY>
    <WEIGHT base="1"><INSTANT frame="0" value="0"/></WEIGHT>
    <SPIN base="1"><INSTANT frame="0" value="0"/></SPIN>
    <TRANSPARENCE base="1"><INSTANT frame="0" value="1"/></TRANSPARENCE>
    <COLOR><INSTANT3 frame="0" r="255" g="255" b="255"/></COLOR>
  </PARTICLE>
</PARTICLE_SYSTEM>
</T>)";

class ParticleDraw : public fxtest::EffectDrawTest {
protected:
    // The swarm's type, loaded alone.
    ParticleSystemType* LoadSwarm(CParticleManager& manager)
    {
        m_Scratch.Write("types.xml", kTypes);
        manager.Init(ParticleTarget, "types.xml");
        return getParticleTypes().FindSystemType("swarm");
    }

    // The swarm's type twice in one file, the second named "ember", loaded.
    bool LoadSwarmAndEmber(CParticleManager& manager, ParticleSystemType*& swarm, ParticleSystemType*& ember)
    {
        std::string types = kTypes;
        const size_t begin = types.find("<PARTICLE_SYSTEM"), end = types.find("</T>");
        std::string copy = types.substr(begin, end - begin);
        copy.replace(copy.find("swarm"), 5, "ember");
        types.insert(end, copy);
        m_Scratch.Write("types.xml", types);
        manager.Init(ParticleTarget, "types.xml");
        swarm = getParticleTypes().FindSystemType("swarm");
        ember = getParticleTypes().FindSystemType("ember");
        return swarm && ember;
    }

    // The manager's particles drawn with one shortcut on or off (it is left
    // on), the target laid over the back buffer as it stands.
    std::vector<D3DCOLOR> DrawnWith(CParticleManager& manager, Shortcut shortcut, bool on)
    {
        SetShortcutOn(shortcut, on);
        manager.Render();
        SetShortcutOn(shortcut, true);
        D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        getDrawHelper().DrawFullScreenTexture(ParticleTarget.texture, 1.0f);
        return BackBuffer();
    }
};

TEST_F(ParticleDraw, FortyOneParticlesGoOutAsAFullBatchAndOneMoreAndShowInTheTarget)
{
    crt::srand(1);
    CParticleManager manager;
    ParticleSystemType* swarm = LoadSwarm(manager);
    ASSERT_NE(swarm, nullptr);
    swarm->texture = Texture(1, 1, {0xFFFFFFFF});
    auto emitter = manager.CreateEmitter(swarm, 0, 0, 0, 0, 0, 0);
    ASSERT_TRUE(emitter);
    manager.Update(0.0505f);
    ASSERT_EQ(emitter->CountLive(), 41);

    manager.Render();
    EXPECT_EQ(manager.GetLastDrawSizes(), (std::vector<int>{480, 12}));
    ASSERT_EQ(manager.GetLastBatch().size(), 12u);
    // Position, size, colour, spin, frame, two zeros.
    EXPECT_FLOAT_EQ(manager.GetLastBatch()[3], 20.0f);
    EXPECT_FLOAT_EQ(manager.GetLastBatch()[7], 1.0f);
    EXPECT_FLOAT_EQ(manager.GetLastBatch()[10], 0.0f);

    // The target is cleared to nothing where no particle is and holds them at the middle.
    D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    getDrawHelper().DrawFullScreenTexture(ParticleTarget.texture, 1.0f);
    EXPECT_GT(Brightness(Pixel(kSize / 2, kSize / 2)), 600);
    EXPECT_EQ(Pixel(1, 1), drawtest::kBlack);

    // Nothing left to draw: only the clear.
    manager.ClearAll();
    manager.Render();
    EXPECT_EQ(manager.GetLastDrawCount(), 0);
    getDrawHelper().DrawFullScreenTexture(ParticleTarget.texture, 1.0f);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2), drawtest::kBlack);
}

TEST_F(ParticleDraw, OnlyARunningFlightSeesTheParticlesThroughTheFlightCamera)
{
    crt::srand(1);
    CParticleManager manager;
    ParticleSystemType* swarm = LoadSwarm(manager);
    ASSERT_NE(swarm, nullptr);
    swarm->texture = Texture(1, 1, {0xFFFFFFFF});
    manager.CreateEmitter(swarm, 0, 0, 0, 0, 0, 0);
    manager.Update(0.0505f);
    // The flight camera looks far away from the swarm.
    CCamera& camera = getCamera();
    camera.GetFlightCamera().SetLookAtUp(D3DXVECTOR3(5000, 0, 5000), D3DXVECTOR3(5000, 0, 6000),
                                         D3DXVECTOR3(0, 1, 0));
    auto middle = [&] {
        manager.Render();
        D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        getDrawHelper().DrawFullScreenTexture(ParticleTarget.texture, 1.0f);
        return Brightness(Pixel(kSize / 2, kSize / 2));
    };
    // The free camera alone (the hero's death view, a locked view) still
    // sees through the game camera.
    camera.SetFreeCamera(true);
    EXPECT_GT(middle(), 600);
    getRigid()->camSequenceRunning = true;
    EXPECT_LT(middle(), 100);
    getRigid()->camSequenceRunning = false;
    camera.SetFreeCamera(false);
    EXPECT_GT(middle(), 600);
}

// Two fields of green particles, then one of red: the green ones share their
// draws, the red one starts its own with its own texture, and the picture is
// the one each emitter drawing alone gives.
TEST_F(ParticleDraw, EmittersOfOneTypeInARowShareTheirDraws)
{
    crt::srand(1);
    CParticleManager manager;
    ParticleSystemType *swarm, *ember;
    ASSERT_TRUE(LoadSwarmAndEmber(manager, swarm, ember));
    swarm->texture = Texture(1, 1, {0xFF00FF00});
    ember->texture = Texture(1, 1, {0xFFFF0000});
    manager.ClearAll();
    manager.CreateEmitter(swarm, -25, 0, 0, 0, 0, 0);
    manager.CreateEmitter(swarm, -25, 0, 0, 0, 0, 0);
    manager.CreateEmitter(ember, 25, 0, 0, 0, 0, 0);
    manager.Update(0.0505f);

    auto draw = [&](bool shared) { return DrawnWith(manager, Shortcut::SharedParticleDraws, shared); };
    const std::vector<D3DCOLOR> alone = draw(false);
    EXPECT_EQ(manager.GetLastDrawSizes(), (std::vector<int>{480, 12, 480, 12, 480, 12}));
    const std::vector<D3DCOLOR> shared = draw(true);
    EXPECT_EQ(manager.GetLastDrawSizes(), (std::vector<int>{480, 480, 24, 480, 12}));
    EXPECT_EQ(alone, shared);
    int green = 0, redLeft = 0, redRight = 0;
    for (size_t i = 0; i < shared.size(); ++i) {
        const bool left = static_cast<int>(i % kSize) < kSize / 2;
        green += left && Green(shared[i]) > 200 && Red(shared[i]) < 50;
        redLeft += left && Red(shared[i]) > 200;
        redRight += !left && Red(shared[i]) > 200 && Green(shared[i]) < 50;
    }
    EXPECT_GT(green, 10);
    EXPECT_EQ(redLeft, 0);
    EXPECT_GT(redRight, 10);
}

// Thirty decals facing the camera, each turned its own way in its surface,
// and one far beside the view: the cheap way sends the thirty in two draws
// that carry each one's surface, leaves the far one out, and the target
// holds the picture of one draw each.
TEST_F(ParticleDraw, DecalsGoOutTwentyFourToADrawEachTurnedInItsOwnSurface)
{
    crt::srand(1);
    CParticleManager manager;
    ParticleSystemType* swarm = LoadSwarm(manager);
    ASSERT_NE(swarm, nullptr);
    // Red on one side, green on the other: a decal turned the wrong way shows.
    swarm->texture = Texture(2, 1, {0xFFFF0000, 0xFF00FF00});
    manager.ClearAll();
    CParticleSystem* stains = manager.CreateParticleSystem(swarm);
    ASSERT_NE(stains, nullptr);
    for (int i = 0; i < 30; ++i) {
        const float turn = 0.37f * static_cast<float>(i);
        stains->AddParticle(-40.0f + 16.0f * static_cast<float>(i % 6), -30.0f + 15.0f * static_cast<float>(i / 6),
                            0.0f, 0.0f, 0.0f, 1.0f, std::sin(turn), std::cos(turn), 0.0f);
    }
    stains->AddParticle(5000.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);

    auto draw = [&](bool shared) { return DrawnWith(manager, Shortcut::SharedDecalDraws, shared); };
    const std::vector<D3DCOLOR> alone = draw(false);
    EXPECT_EQ(manager.GetLastDrawSizes(), std::vector<int>(31, 12));
    const std::vector<D3DCOLOR> shared = draw(true);
    EXPECT_EQ(manager.GetLastDrawSizes(), (std::vector<int>{24 * 20, 6 * 20}));
    // The last decal's surface rides after its twelve values: left, then up.
    ASSERT_EQ(manager.GetLastBatch().size(), 120u);
    EXPECT_NEAR(manager.GetLastBatch()[100 + 16], std::sin(0.37f * 29.0f), 1e-6f);
    EXPECT_NEAR(manager.GetLastBatch()[100 + 17], std::cos(0.37f * 29.0f), 1e-6f);
    EXPECT_EQ(alone, shared);
    int red = 0, green = 0;
    for (D3DCOLOR c : shared) {
        red += Red(c) > 100;
        green += Green(c) > 100;
    }
    EXPECT_GT(red, 200);
    EXPECT_GT(green, 200);
}

// However many decals a system holds, the shared draws carry every one:
// full draws of twenty-four and the rest, down to a last one alone, each
// drawn as it would be by itself.
TEST_F(ParticleDraw, DecalsOfEveryRemainderAreAllDrawn)
{
    crt::srand(1);
    CParticleManager manager;
    ParticleSystemType* swarm = LoadSwarm(manager);
    ASSERT_NE(swarm, nullptr);
    swarm->texture = Texture(2, 1, {0xFFFF0000, 0xFF00FF00});
    for (int n = 1; n <= 49; ++n) {
        SCOPED_TRACE(n);
        manager.ClearAll();
        CParticleSystem* stains = manager.CreateParticleSystem(swarm);
        ASSERT_NE(stains, nullptr);
        for (int i = 0; i < n; ++i) {
            const float turn = 0.53f * static_cast<float>(i);
            stains->AddParticle(-40.0f + 16.0f * static_cast<float>(i % 6), -32.0f + 8.0f * static_cast<float>(i / 6),
                                0.0f, 0.0f, 0.0f, 1.0f, std::sin(turn), std::cos(turn), 0.0f);
        }
        const std::vector<D3DCOLOR> alone = DrawnWith(manager, Shortcut::SharedDecalDraws, false);
        const std::vector<D3DCOLOR> shared = DrawnWith(manager, Shortcut::SharedDecalDraws, true);
        std::vector<int> sizes(n / 24, 24 * 20);
        if (n % 24)
            sizes.push_back(n % 24 * 20);
        EXPECT_EQ(manager.GetLastDrawSizes(), sizes);
        EXPECT_EQ(alone, shared);
    }
}

// A field just beside the view is not sent; one whose centre lies beyond the
// view's edge but whose sprites reach into it is, and shows.
TEST_F(ParticleDraw, ParticlesWhollyOutsideTheViewAreNotSent)
{
    crt::srand(1);
    // The swarm, and "ember" drawn with sizes below zero.
    CParticleManager manager;
    ParticleSystemType *swarm, *ember;
    ASSERT_TRUE(LoadSwarmAndEmber(manager, swarm, ember));
    swarm->texture = Texture(1, 1, {0xFFFFFFFF});
    ember->texture = swarm->texture;
    ember->sizeBase = -20.0f;
    manager.ClearAll();
    // The view's edge at the swarm's depth (200 from the eye); sprites 20
    // wide reach 14 from their centre, the slanted edge plane lies 26 from
    // the first swarm. A size below zero turns the sprite round: it reaches
    // as far.
    const float edge = 200.0f / getCamera().GetProjectionMatrix()._11;
    manager.CreateEmitter(swarm, edge + 30.0f, 0, 0, 0, 0, 0);
    manager.CreateEmitter(swarm, -edge - 4.0f, 0, 0, 0, 0, 0);
    manager.CreateEmitter(ember, -edge - 4.0f, -30.0f, 0, 0, 0, 0);
    manager.Update(0.0505f);

    auto draw = [&](bool inViewOnly) {
        SetShortcutOn(Shortcut::ParticlesInView, inViewOnly);
        manager.Render();
        SetShortcutOn(Shortcut::ParticlesInView, true);
        D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        getDrawHelper().DrawFullScreenTexture(ParticleTarget.texture, 1.0f);
        return BackBuffer();
    };
    const std::vector<D3DCOLOR> all = draw(false);
    EXPECT_EQ(manager.GetLastDrawSizes(), (std::vector<int>{480, 480, 24, 480, 12}));
    const std::vector<D3DCOLOR> inView = draw(true);
    EXPECT_EQ(manager.GetLastDrawSizes(), (std::vector<int>{480, 12, 480, 12}));
    ASSERT_EQ(manager.GetLastBatch().size(), 12u);
    EXPECT_FLOAT_EQ(manager.GetLastBatch()[3], -20.0f);
    EXPECT_EQ(all, inView);
    int lit = 0;
    for (D3DCOLOR c : inView)
        lit += Brightness(c) > 600;
    EXPECT_GT(lit, 8) << "the sprites reaching into the view show";
}

// The tiles of the target the particles' draws can reach, for the composite
// to read the target only there: every pixel they lit lies in one, and the
// far side of the view in none.
TEST_F(ParticleDraw, EveryPixelTheParticlesLitLiesInATileMarkedAsReached)
{
    crt::srand(1);
    CParticleManager manager;
    ParticleSystemType* swarm = LoadSwarm(manager);
    ASSERT_NE(swarm, nullptr);
    swarm->texture = Texture(1, 1, {0xFFFFFFFF});
    // Half way out to the view's edge both ways, at the swarm's depth.
    const float edge = 200.0f / getCamera().GetProjectionMatrix()._11;
    manager.CreateEmitter(swarm, edge * 0.5f, edge * 0.5f, 0, 0, 0, 0);
    manager.Update(0.0505f);
    manager.Render();
    const ScreenTiles& reached = manager.GetCoveredTiles();
    ASSERT_EQ(reached.Width(), kSize);
    ASSERT_EQ(reached.Height(), kSize);
    D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    getDrawHelper().DrawFullScreenTexture(ParticleTarget.texture, 1.0f);
    const std::vector<D3DCOLOR> shown = BackBuffer();
    ASSERT_EQ(shown.size(), static_cast<size_t>(kSize * kSize));
    int lit = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            if (shown[static_cast<size_t>(y) * kSize + x] & 0xFFFFFF) {
                ++lit;
                EXPECT_TRUE(reached.Marked(x / ScreenTiles::kSide, y / ScreenTiles::kSide)) << x << ", " << y;
            }
    EXPECT_GT(lit, 20);
    EXPECT_EQ(reached.CountMarked(), 1u) << "the swarm stays within a quarter of the view";

    manager.ClearAll();
    manager.Render();
    EXPECT_EQ(manager.GetCoveredTiles().CountMarked(), 0u) << "only the clear: nothing to read";
}

} // namespace
