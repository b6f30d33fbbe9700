// Props as a player meets them: they rest on the level, a blast throws them
// once, radios feed the radio music and carry their marker, and a blown
// barrel is gone until the level is loaded again.
#include "world/physics_fixture.h"

#include "math/VectorMath.h"
#include "platform/crt.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidEntity.h"
#include "sound/SoundManager.h"

namespace {

using Props = PhysicsTest;

std::string ObjectXml(const std::string& name, float x, float y, float z)
{
    std::ostringstream s;
    s << "<object name=\"" << name << "\" transform=\"1 0 0 0 1 0 0 0 1 " << x << " " << y << " " << z << "\"/>";
    return s.str();
}

btRigidBody* BodyOf(const CCollisionManager& manager, const std::string& name)
{
    btCollisionObjectArray& objects = manager.GetDynamicsWorld()->getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i) {
        btRigidBody* body = btRigidBody::upcast(objects[i]);
        if (body && !body->isStaticOrKinematicObject() && body->getUserIndex() == PHYSICS_PROP &&
            static_cast<const PropRecord*>(body->getUserPointer())->name == name)
            return body;
    }
    return nullptr;
}

// What a straight-down ray from high above (x, z) meets first: a prop's name,
// "level" for a static box, "" for nothing.
std::string DownRay(const CCollisionManager& manager, float x, float z)
{
    const btVector3 from(x, 500, z), to(x, -500, z);
    btCollisionWorld::ClosestRayResultCallback hit(from, to);
    manager.GetDynamicsWorld()->rayTest(from, to, hit);
    if (!hit.hasHit())
        return "";
    if (hit.m_collisionObject->getUserIndex() == PHYSICS_PROP)
        return static_cast<const PropRecord*>(hit.m_collisionObject->getUserPointer())->name;
    return "level";
}

TEST_F(Props, EveryKindFallsAndComesToRestOnItsBaseWithTheEntityFollowing)
{
    const struct {
        const char* name;
        float restingCentre;
    } kinds[] = {{"obj_lata_01", 6},    {"obj_lata2_01", 8},  {"obj_silla_01", 24},  {"obj_tolm_01", 8},
                 {"obj_pibrelo_01", 14}, {"obj_radio_07", 6}, {"obj_barril_01", 27}};
    std::string level = Ground();
    float x = -600;
    for (const auto& kind : kinds)
        level += ObjectXml(kind.name, x += 150, kind.restingCentre + 2, 300);
    Level(level);
    EXPECT_EQ(manager.GetPropBodyCount(), 7u);
    Frames(150);
    x = -600;
    for (const auto& kind : kinds) {
        x += 150;
        const btRigidBody* body = BodyOf(manager, kind.name);
        ASSERT_NE(body, nullptr) << kind.name;
        EXPECT_FLOAT_EQ(body->getInvMass(), 0.5f) << kind.name;
        const btVector3 at = body->getWorldTransform().getOrigin();
        EXPECT_NEAR(at.y(), kind.restingCentre, 0.5f) << kind.name;
        EXPECT_NEAR(at.x(), x, 0.5f) << kind.name;
        const D3DXMATRIX& drawn = manager.GetCurrentProps().at(kind.name).entity->GetTransform().GetMatrix();
        EXPECT_NEAR(drawn._42, at.y(), 1e-3f) << kind.name << " is drawn where its body is";
        EXPECT_NEAR(drawn._41, at.x(), 1e-3f) << kind.name;
    }
    // The barrel is round: a ray just inside a box's corner but outside the
    // circle misses it; the chair's box is met there.
    EXPECT_EQ(DownRay(manager, 450 + 16, 300 + 16), "level");
    EXPECT_EQ(DownRay(manager, 450 + 10, 300), "obj_barril_01");
    EXPECT_EQ(DownRay(manager, -150 + 10, 300 + 10), "obj_silla_01");
    EXPECT_EQ(manager.GetCurrentProps().at("obj_barril_01").blastRadius, 400.0f);
    EXPECT_EQ(manager.GetCurrentProps().at("obj_barril_01").blastDamage, 150.0f);
    EXPECT_EQ(manager.GetCurrentProps().at("obj_lata_01").blastRadius, 0.0f);
}

TEST_F(Props, ABlastPushesOnceOnTheNextFrameWhateverHowOftenItWasFlagged)
{
    // High above the floor, so nothing but the push and gravity moves it.
    Level(Ground() + ObjectXml("obj_lata_01", 0, 3000, 300));
    Frames(2);
    btRigidBody* can = BodyOf(manager, "obj_lata_01");
    ASSERT_NE(can, nullptr);
    PropRecord& record = manager.GetCurrentProps().at("obj_lata_01");
    can->setLinearVelocity(btVector3(0, 0, 0));
    can->setAngularVelocity(btVector3(0, 0, 0));

    crt::srand(7);
    const float z = RandomRange(-1, 1) * 1000, y = RandomRange(0, 1) * 1500, x = RandomRange(-1, 1) * 1000;
    crt::srand(7);
    record.blastFlag = true;
    record.blastFlag = true;
    manager.Update(1.0f / 60.0f);
    EXPECT_FALSE(record.blastFlag);
    // The push comes after the step: the velocity is the impulse over the
    // mass on top of one step's fall.
    const btVector3 v = can->getLinearVelocity();
    EXPECT_NEAR(v.x(), x / 2, 0.5f);
    EXPECT_NEAR(v.y(), y / 2 - 490.5f / 60, 0.5f);
    EXPECT_NEAR(v.z(), z / 2, 0.5f);
    EXPECT_GT(can->getAngularVelocity().length(), 1.0f) << "pushed below and off its centre, it tumbles";

    // In the air the next frame it only falls.
    manager.Update(1.0f / 60.0f);
    const btVector3 after = can->getLinearVelocity();
    EXPECT_NEAR(after.x(), v.x(), 0.5f);
    EXPECT_NEAR(after.z(), v.z(), 0.5f);
    EXPECT_NEAR(after.y(), v.y() - 490.5f / 60, 0.5f);
}

class Radios : public PhysicsTest {
protected:
    Radios()
    {
        folder.Write("types.xml", R"(<PARTICLE_SYSTEMS>
<PARTICLE_SYSTEM name="aviso_radio" texture="particles/aviso_radio.png" num_textures="1" fps="30" life_system="1080000" emission_angle="0" life_generation="1080000" gravity="0">
<PARTICLE number="1" var_number="0" life="30" var_life="0" emission_range="0">
<SIZE base="10" var_base="0"><INSTANT frame="0" value="1"/></SIZE>
<VELOCITY base="0" var_base="0"><INSTANT frame="0" value="0"/></VELOCITY>
<WEIGHT base="1" var_base="0"><INSTANT frame="0" value="1"/></WEIGHT>
<SPIN base="1" var_base="0"><INSTANT frame="0" value="0"/><INSTANT frame="1" value="0"/></SPIN>
<TRANSPARENCE base="1"><INSTANT frame="0" value="1"/></TRANSPARENCE>
<COLOR r="255" g="255" b="255"><INSTANT3 frame="0" r="255" g="255" b="255"/></COLOR>
</PARTICLE></PARTICLE_SYSTEM></PARTICLE_SYSTEMS>)");
        getParticleTypes().Load((folder / "types.xml").c_str());
        getParticleManager().ClearAll();
        for (D3DXVECTOR3& p : getSoundManager().radioPositions)
            p = D3DXVECTOR3(-1, -1, -1);
    }
    ~Radios() override
    {
        getParticleManager().ClearAll();
        for (D3DXVECTOR3& p : getSoundManager().radioPositions)
            p = D3DXVECTOR3(0, 0, 0);
    }
    // The floor's top at y = -6, where a radio's body rests with its centre
    // at y = 0.
    static std::string LowGround()
    {
        return "<player pos=\"0 10 0\"/>" + CollisionXml("col_suelo", 4000, 10, 4000, 0, -11, 0);
    }
};

void ExpectAt(const D3DXVECTOR3& actual, float x, float y, float z, const std::string& what)
{
    EXPECT_NEAR(actual.x, x, 0.05f) << what;
    EXPECT_NEAR(actual.y, y, 0.05f) << what;
    EXPECT_NEAR(actual.z, z, 0.05f) << what;
}

TEST_F(Radios, OnlyTheFourNamedRadiosFeedTheMusicAndEveryRadioHasAMarker)
{
    Level(LowGround() + ObjectXml("obj_radio_02", 100, 0, 50) + ObjectXml("obj_radio_04", -200, 0, 80) +
          ObjectXml("obj_radio_2", 300, 0, 300) + ObjectXml("obj_lata_01", 400, 0, 0));
    Frames(3);
    const D3DXVECTOR3* radios = getSoundManager().radioPositions;
    ExpectAt(radios[1], 100, 0, 50, "second radio");
    ExpectAt(radios[3], -200, 0, 80, "fourth radio");
    ExpectAt(radios[0], -1, -1, -1, "no first radio in the level");
    ExpectAt(radios[2], -1, -1, -1, "no third radio in the level");

    auto& props = manager.GetCurrentProps();
    ASSERT_TRUE(props.at("obj_radio_02").emitter);
    ExpectAt(props.at("obj_radio_02").emitter->GetPosition(), 100, 20, 50, "marker above the radio");
    ExpectAt(props.at("obj_radio_04").emitter->GetPosition(), -200, 20, 80, "marker above the radio");
    ASSERT_TRUE(props.at("obj_radio_2").emitter);
    ExpectAt(props.at("obj_radio_2").emitter->GetPosition(), 0, 0, 0, "an unnamed radio's marker stays put");
    EXPECT_FALSE(props.at("obj_lata_01").emitter);
    EXPECT_EQ(getParticleManager().GetEmitters().size(), 3u);
}

TEST_F(Props, ABlownBarrelIsGoneUntilTheLevelIsLoadedAgain)
{
    Level(Ground() + ObjectXml("obj_barril_01", 0, 27, 300) + ObjectXml("obj_lata_01", 200, 6, 300));
    Frames(5);
    const int objects = Objects();
    const size_t shapes = manager.GetShapeCount();
    ASSERT_EQ(DownRay(manager, 0, 300), "obj_barril_01");

    manager.RemovePropBody("obj_barril_99");
    EXPECT_EQ(Objects(), objects) << "an unknown name changes nothing";
    EXPECT_EQ(manager.GetCurrentProps().size(), 2u);

    manager.RemovePropBody("obj_barril_01");
    EXPECT_EQ(Objects(), objects - 1);
    EXPECT_EQ(manager.GetPropBodyCount(), 1u);
    EXPECT_EQ(manager.GetCurrentProps().count("obj_barril_01"), 0u) << "no longer drawn";
    EXPECT_EQ(DownRay(manager, 0, 300), "level") << "no longer hit";
    EXPECT_EQ(DownRay(manager, 200, 300), "obj_lata_01");
    EXPECT_EQ(manager.GetShapeCount(), shapes) << "the shape stays with the manager until the level goes";
    Frames(5);

    manager.LoadNewScenario("isla");
    EXPECT_EQ(Objects(), objects);
    EXPECT_EQ(manager.GetShapeCount(), shapes);
    EXPECT_EQ(DownRay(manager, 0, 300), "obj_barril_01");
    ASSERT_TRUE(manager.GetCurrentProps().at("obj_barril_01").entity);
}

} // namespace
