// Particle types read from their file, and the emitters, standing systems and
// manager that run them.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/crt.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "xml/temp_folder.h"

namespace {

// One type per call; curves default to a single key unless given.
std::string TypeXml(const std::string& name, const std::string& system, const std::string& particle,
                    const std::string& size = "<INSTANT frame=\"0\" value=\"1\"/>",
                    const std::string& colour = "<INSTANT3 frame=\"0\" r=\"255\" g=\"255\" b=\"255\"/>")
{
    return "<PARTICLE_SYSTEM name=\"" + name + "\" " + system + "><PARTICLE " + particle + ">" +
           "<SIZE base=\"2\">" + size + "</SIZE>" +
           "<VELOCITY base=\"1\"><INSTANT frame=\"0\" value=\"0\"/></VELOCITY>" +
           "<WEIGHT base=\"1\"><INSTANT frame=\"0\" value=\"0\"/></WEIGHT>" +
           "<SPIN base=\"1\"><INSTANT frame=\"0\" value=\"0\"/></SPIN>" +
           "<TRANSPARENCE base=\"1\"><INSTANT frame=\"0\" value=\"1\"/></TRANSPARENCE>" +
           "<COLOR r=\"255\" g=\"128\" b=\"0\">" + colour + "</COLOR></PARTICLE></PARTICLE_SYSTEM>";
}

class Particles : public ::testing::Test {
protected:
    void SetUp() override { crt::srand(1); }

    const ParticleSystemType* Load(const std::string& body)
    {
        const std::string file = m_Folder.Write("types" + std::to_string(m_Files++) + ".xml", "<T>" + body + "</T>");
        EXPECT_TRUE(m_Types.Load(file.c_str()));
        return nullptr;
    }
    const ParticleSystemType* Type(const std::string& name) { return m_Types.FindSystemType(name); }

    // A type the manager's spawners find: loaded into the shared registry.
    const ParticleSystemType* Shared(const std::string& body, const std::string& name)
    {
        const std::string file = m_Folder.Write("shared" + std::to_string(m_Files++) + ".xml", "<T>" + body + "</T>");
        getParticleTypes().Load(file.c_str());
        return getParticleTypes().FindSystemType(name);
    }

    TempFolder m_Folder;
    int m_Files = 0;
    CParticleType m_Types;
};

TEST_F(Particles, CurvesBecomeSlopesAndTimesSeconds)
{
    Load(TypeXml("grow", "fps=\"30\" life_system=\"90\"", "life=\"60\" var_life=\"15\"",
                 "<INSTANT frame=\"0\" value=\"1\"/><INSTANT frame=\"1\" value=\"3\"/>") +
         TypeXml("late", "", "", "<INSTANT frame=\"0.5\" value=\"1\"/>"));
    const ParticleSystemType* grow = Type("grow");
    ASSERT_NE(grow, nullptr);
    ASSERT_EQ(grow->sizeKeys.size(), 2u);
    EXPECT_FLOAT_EQ(grow->sizeKeys[0].slope, 1.0f);
    EXPECT_FLOAT_EQ(grow->sizeKeys[1].slope, 2.0f);
    EXPECT_FLOAT_EQ(grow->particleLife, 2.0f);
    EXPECT_FLOAT_EQ(grow->particleLifeVariation, 0.5f);
    EXPECT_FLOAT_EQ(grow->systemLife, 3.0f);
    EXPECT_FLOAT_EQ(grow->colorBase[0], 1.0f);
    EXPECT_NEAR(grow->colorBase[1], 0.50196f, 1e-5f);
    EXPECT_FLOAT_EQ(grow->colorBase[2], 0.0f);
    ASSERT_NE(Type("late"), nullptr);
    EXPECT_FLOAT_EQ(Type("late")->sizeKeys[0].slope, 2.0f);

    // A particle of "grow" starts at size 2 and ends near 6 (base 2 along the curve).
    auto emitter = std::make_unique<CParticleEmitter>();
    emitter->Init(grow, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(emitter->GetParticles()[0].size, 2.0f);
    for (int i = 0; i < 39; ++i)
        emitter->Update(0.05f);
    EXPECT_NEAR(emitter->GetParticles()[0].size, 6.0f, 0.25f);
}

TEST_F(Particles, UnusableTypesAreRefusedAndAReloadRewritesInPlace)
{
    Load(TypeXml("zero", "fps=\"0\"", "") + TypeXml("frameless", "num_textures=\"0\"", "") +
         TypeXml("empty", "", "", "") + TypeXml("rate", "", "number=\"10\"",
                                                "<INSTANT frame=\"0\" value=\"1\"/><INSTANT frame=\"0.5\" value=\"2\"/>"
                                                "<INSTANT frame=\"1\" value=\"3\"/>"));
    EXPECT_EQ(Type("zero"), nullptr);
    EXPECT_EQ(Type("frameless"), nullptr);
    EXPECT_EQ(Type("empty"), nullptr);

    // Numbers that would overflow a ring are refused; a long but sane one is clipped.
    Load(TypeXml("huge", "", "number=\"2000000000\"") + TypeXml("endless", "", "life=\"1e30\"") +
         TypeXml("backwards", "fps=\"-5\"", "") + TypeXml("wide", "", "number=\"10000\" life=\"3000000\""));
    EXPECT_EQ(Type("huge"), nullptr);
    EXPECT_EQ(Type("endless"), nullptr);
    EXPECT_EQ(Type("backwards"), nullptr);
    ASSERT_NE(Type("wide"), nullptr);
    CParticleEmitter wide;
    wide.Init(Type("wide"), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), 0.0f);
    EXPECT_EQ(wide.GetParticles().size(), 65536u);
    const ParticleSystemType* rate = Type("rate");
    ASSERT_NE(rate, nullptr);

    auto emitter = std::make_unique<CParticleEmitter>();
    emitter->Init(rate, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), 0.0f);
    for (int i = 0; i < 12; ++i)
        emitter->Update(0.05f);

    // Same record, new rate, one size key left: the running particles must not read past it.
    Load(TypeXml("rate", "", "number=\"20\""));
    EXPECT_EQ(Type("rate"), rate);
    EXPECT_EQ(rate->particlesPerSecond, 20);
    EXPECT_EQ(rate->sizeKeys.size(), 1u);
    emitter->Refresh();
    EXPECT_FLOAT_EQ(emitter->GetInterval(), 0.05f);
    EXPECT_EQ(emitter->GetParticles().size(), 40u);
    // A particle past the first key grows by the one key left.
    const auto& ring = emitter->GetParticles();
    const auto past = std::find_if(ring.begin(), ring.end(),
                                   [](const Particle& p) { return !p.dead && p.sizeKey > 0 && p.remaining > 0.2f; });
    ASSERT_NE(past, ring.end());
    const std::size_t slot = static_cast<std::size_t>(past - ring.begin());
    const Particle before = *past;
    emitter->Update(0.05f);
    EXPECT_NEAR(ring[slot].size - before.size, before.sizeScale * 0.05f / (before.remaining + before.age), 1e-4f);
}

TEST_F(Particles, AnEmitterKeepsItsRateDelayAndRing)
{
    Load(TypeXml("ten", "life_system=\"300\" life_generation=\"300\"", "number=\"10\" life=\"60\"") +
         TypeXml("none", "", "number=\"0\" life=\"60\""));
    auto emitter = std::make_unique<CParticleEmitter>();
    emitter->Init(Type("ten"), D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(emitter->GetInterval(), 0.1f);
    EXPECT_EQ(emitter->GetParticles().size(), 30u);
    EXPECT_EQ(emitter->CountLive(), 1);
    const int expected[] = {1, 2, 2, 3, 3, 4};
    for (int live : expected) {
        emitter->Update(0.05f);
        EXPECT_EQ(emitter->CountLive(), live);
    }

    // A rate of 0 still has a slot to emit from.
    auto none = std::make_unique<CParticleEmitter>();
    none->Init(Type("none"), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), 0.0f);
    EXPECT_EQ(none->GetParticles().size(), 3u);
    EXPECT_FLOAT_EQ(none->GetInterval(), 1.0f);

    // Held back for half a second: nothing is born, nothing moves, life does not run.
    std::string fast = TypeXml("fast", "life_system=\"300\"", "number=\"10\" life=\"60\" emission_range=\"30\"");
    const std::string still = "<VELOCITY base=\"1\"><INSTANT frame=\"0\" value=\"0\"/>";
    fast.replace(fast.find(still), still.size(), "<VELOCITY base=\"1\"><INSTANT frame=\"0\" value=\"50\"/>");
    Load(fast);
    auto delayed = std::make_unique<CParticleEmitter>();
    delayed->Init(Type("fast"), D3DXVECTOR3(5, 5, 5), D3DXVECTOR3(0, 0, 0), 0.5f);
    for (int i = 0; i < 9; ++i)
        delayed->Update(0.05f);
    EXPECT_EQ(delayed->CountLive(), 1);
    EXPECT_FLOAT_EQ(delayed->GetParticles()[0].x, 5.0f);
    EXPECT_FLOAT_EQ(delayed->GetRemainingLife(), 10.0f);
    delayed->Update(0.05f);
    delayed->Update(0.05f);
    EXPECT_NE(delayed->GetParticles()[0].x, 5.0f);
    EXPECT_LT(delayed->GetRemainingLife(), 10.0f);
}

TEST_F(Particles, StandingSystemsOverwriteTheOldestAndKeepExpiredDecals)
{
    Load(TypeXml("holes", "", "number=\"3\" life=\"3\"",
                 "<INSTANT frame=\"0\" value=\"1\"/><INSTANT frame=\"1\" value=\"3\"/>"));
    CParticleSystem system;
    system.Init(Type("holes"));
    ASSERT_EQ(system.GetParticles().size(), 3u);
    for (int i = 0; i < 4; ++i)
        system.AddParticle(static_cast<float>(i), 0, 0, 0, 1, 0, 1, 0, 0);
    EXPECT_FLOAT_EQ(system.GetParticles()[0].x, 3.0f);
    EXPECT_FLOAT_EQ(system.GetParticles()[1].x, 1.0f);
    EXPECT_FLOAT_EQ(system.GetParticles()[0].normal[1], 1.0f);
    EXPECT_FLOAT_EQ(system.GetParticles()[0].up[0], 1.0f);

    for (int i = 0; i < 4; ++i)
        system.Update(0.05f);
    const float grown = system.GetParticles()[0].size;
    EXPECT_GT(grown, 2.0f);
    for (int i = 0; i < 40; ++i)
        system.Update(0.05f);
    EXPECT_EQ(system.CountLive(), 3);
    EXPECT_FLOAT_EQ(system.GetParticles()[0].size, grown);
    EXPECT_FLOAT_EQ(system.GetParticles()[0].age, 0.1f);
}

TEST_F(Particles, TheManagerDropsSpentAndRemovedEmittersWhileHoldersKeepTheirs)
{
    // No life at all, and a life that one step uses up exactly.
    const ParticleSystemType* brief = Shared(TypeXml("brief", "life_system=\"0\"", ""), "brief");
    const ParticleSystemType* step = Shared(TypeXml("step", "life_system=\"1.5\"", ""), "step");
    const ParticleSystemType* lasting = Shared(TypeXml("lasting", "life_system=\"3000\"", ""), "lasting");
    ASSERT_TRUE(brief && step && lasting);
    CParticleManager manager;
    manager.CreateEmitter(brief, 0, 0, 0, 0, 0, 0);
    manager.CreateEmitter(step, 0, 0, 0, 0, 0, 0);
    auto a = manager.CreateEmitter(lasting, 1, 1, 1, 0, 0, 0);
    auto b = manager.CreateEmitter(lasting, 1, 1, 1, 0, 0, 0);
    auto c = manager.CreateEmitter(lasting, 2, 2, 2, 0, 0, 0);
    manager.Update(0.05f);
    ASSERT_EQ(manager.GetEmitters().size(), 3u);

    manager.RemoveEmitterAt(9, 9, 9);
    EXPECT_EQ(manager.GetEmitters().size(), 3u);
    manager.RemoveEmitterAt(1, 1, 1);
    ASSERT_EQ(manager.GetEmitters().size(), 2u);
    EXPECT_EQ(manager.GetEmitters()[0], a);

    // Dropped by the manager, still the holder's: moves and removals are harmless.
    manager.ClearAll();
    c->SetPosition(4, 4, 4);
    manager.RemoveEmitter(c.get());
    manager.RemoveEmitter(nullptr);
    EXPECT_TRUE(manager.GetEmitters().empty());
    EXPECT_EQ(c->GetPosition().x, 4.0f);

    // A type the file lacks creates nothing.
    EXPECT_EQ(manager.CreateEmitter(nullptr, 0, 0, 0, 0, 0, 0), nullptr);
    manager.SpawnShot(0, 0, 0);
    manager.CreateStandingSystems();
    EXPECT_TRUE(manager.GetEmitters().empty());
    EXPECT_TRUE(manager.GetSystems().empty());
}

TEST(ShippedParticles, TheFileHoldsEveryTypeAndTheLastingOnesLastHours)
{
    CParticleType types;
    ASSERT_TRUE(types.Load((std::string(VANTOREL_WORKDIR) + "/data/XML/particleTypes.xml").c_str()));
    const char* names[] = {"disparo", "sangre", "sangre_suelo", "destello", "chispas", "disparo_pared",
                           "agua_disparo_spray", "agua_disparo_peque_spray", "agua_aterrizaje_spray",
                           "explosion_center", "explosion_intense_center", "explosion_sparkles",
                           "explosion_dark_clouds", "explosion_outsiderim", "explosion_grande_center",
                           "explosion_grande_intense_center", "explosion_grande_sparkles",
                           "explosion_grande_dark_clouds", "explosion_grande_outsiderim", "humo", "fuego",
                           "humo_fuego", "mosquitos", "muerto", "suelo_quemado", "sangre_infinita", "aviso_gun",
                           "aviso_thompson", "aviso_shotgun", "aviso_radio", "aviso_enemigo"};
    for (const char* name : names)
        EXPECT_NE(types.FindSystemType(name), nullptr) << name;
    EXPECT_EQ(types.GetTypeCount(), sizeof(names) / sizeof(names[0]));
    for (const char* name : {"humo", "fuego", "humo_fuego", "mosquitos", "sangre_infinita", "aviso_gun",
                             "aviso_thompson", "aviso_shotgun", "aviso_radio", "aviso_enemigo"}) {
        const ParticleSystemType* type = types.FindSystemType(name);
        ASSERT_NE(type, nullptr);
        EXPECT_GT(type->systemLife, 3 * 3600.0f) << name;
        EXPECT_GT(type->generationTime, 3 * 3600.0f) << name;
    }
}

} // namespace
