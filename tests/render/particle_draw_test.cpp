// Particles drawn through the shipped effect into the particle target.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/crt.h"
#include "render/DrawHelper.h"
#include "render/effectmanager_fixture.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"

namespace {

using ParticleDraw = fxtest::EffectDrawTest;
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

TEST_F(ParticleDraw, FortyOneParticlesGoOutAsAFullBatchAndOneMoreAndShowInTheTarget)
{
    crt::srand(1);
    m_Scratch.Write("types.xml", kTypes);
    CParticleManager manager;
    manager.Init(ParticleTarget, "types.xml");
    ParticleSystemType* swarm = getParticleTypes().FindSystemType("swarm");
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

} // namespace
