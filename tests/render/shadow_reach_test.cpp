// Where casters can have drawn into the shadow map and where a receiver can
// read it: the game leaves a receiver's nine shadow taps out when the two
// cannot meet, so each rect must hold everything, and must not hold
// everything when it need not.
#include <gtest/gtest.h>

#include "look_down_z.h"

#include <limits>
#include <vector>

#include "render/ShadowReach.h"
#include "render/VertexBuffers.h"
#include "scene/Entity3D.h"

namespace {

class MeshEntity : public IEntidad3D {
public:
    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}
    void Use(IVertexBuffer* mesh) { m_Mesh = mesh; }
};

using fxtest::LookDownZ;

ShadowRect Rect(float left, float top, float right, float bottom)
{
    ShadowRect r;
    r.AddClip(2.0f * left - 1.0f, 1.0f - 2.0f * top, 1.0f);
    r.AddClip(2.0f * right - 1.0f, 1.0f - 2.0f * bottom, 1.0f);
    return r;
}

TEST(ShadowRectTest, ReadsMeetDrawnTexelsOnlyWithinTheMapAndTheMargin)
{
    ShadowRect whole;
    whole.whole = true;
    const ShadowRect nothing;
    const ShadowRect caster = Rect(0.4f, 0.4f, 0.5f, 0.5f);
    struct Row {
        const char* name;
        ShadowRect receiver, drawn;
        bool reads;
    } rows[] = {
        {"over the caster", Rect(0.45f, 0.45f, 0.8f, 0.8f), caster, true},
        {"well clear of it", Rect(0.6f, 0.1f, 0.9f, 0.3f), caster, false},
        {"clear, but within the margin", Rect(0.505f, 0.4f, 0.6f, 0.5f), caster, true},
        {"beside it only on one axis", Rect(0.42f, 0.7f, 0.48f, 0.9f), caster, false},
        {"a receiver anywhere", whole, caster, true},
        {"a caster anywhere", Rect(0.6f, 0.1f, 0.9f, 0.3f), whole, true},
        {"no caster drawn", whole, nothing, false},
        {"a caster beyond the map's edge", whole, Rect(0.7f, 1.02f, 0.9f, 1.2f), false},
        // Reads past the edge are clamped onto the border texels.
        {"clamped reads onto a caster at the edge", Rect(1.2f, 0.45f, 1.5f, 0.5f), Rect(0.97f, 0.4f, 1.0f, 0.6f),
         true},
        {"clamped reads onto a clear edge", Rect(1.2f, 0.8f, 1.5f, 0.9f), Rect(0.97f, 0.4f, 1.0f, 0.6f), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.receiver.MayRead(row.drawn, 0.01f), row.reads);
    }
}

// A receiver just past a caster's edge still reads it with its outer taps
// (one texel out, plus the texel the edge falls in); well past, it cannot.
TEST(ShadowRectTest, TheReadMarginSpansTheTapsAndTheEdgeTexel)
{
    for (unsigned size : {256u, 1024u}) {
        SCOPED_TRACE(size);
        const float texel = 1.0f / static_cast<float>(size);
        const float margin = ShadowReadMargin(size, size * 2);
        const ShadowRect caster = Rect(0.25f, 0.25f, 0.5f, 0.5f);
        EXPECT_TRUE(Rect(0.5f + 1.9f * texel, 0.3f, 0.7f, 0.4f).MayRead(caster, margin));
        EXPECT_TRUE(Rect(0.3f, 0.3f, 0.4f, 0.25f - 1.9f * texel).MayRead(caster, margin));
        EXPECT_FALSE(Rect(0.5f + 8.0f * texel, 0.3f, 0.7f, 0.4f).MayRead(caster, margin));
    }
}

TEST(ShadowRectTest, APointAtOrBehindTheLightsEyeCouldBeAnywhere)
{
    for (float w : {0.0f, -5.0f, 1e-6f}) {
        ShadowRect r = Rect(0.1f, 0.1f, 0.2f, 0.2f);
        r.AddClip(0.0f, 0.0f, w);
        EXPECT_TRUE(r.whole) << w;
    }
}

TEST(ShadowReachTest, AReceiverReadsWithinItsBoxSeenFromTheLight)
{
    NORMAL_TANGENT_TEXTURED_VERTEX v[3] = {};
    v[0].x = -10.0f, v[0].y = 0.0f, v[0].z = 100.0f;
    v[1].x = 30.0f, v[1].y = 20.0f, v[1].z = 100.0f;
    v[2].x = 0.0f, v[2].y = -20.0f, v[2].z = 200.0f;
    CNormalTangentTexturedVB mesh;
    mesh.Create(3, v, D3DPT_TRIANGLELIST);
    MeshEntity receiver;
    receiver.Use(&mesh);
    const ShadowRect r = ReceiverShadowRect(receiver, LookDownZ());
    ASSERT_FALSE(r.whole);
    // The box's nearest corners reach furthest: x -10..30 and y -20..20 at z 100.
    EXPECT_NEAR(r.left, 0.5f - 10.0f / 200.0f, 1e-5f);
    EXPECT_NEAR(r.right, 0.5f + 30.0f / 200.0f, 1e-5f);
    EXPECT_NEAR(r.top, 0.5f - 20.0f / 200.0f, 1e-5f);
    EXPECT_NEAR(r.bottom, 0.5f + 20.0f / 200.0f, 1e-5f);

    // Placed 20 right, 10 down and 50 further from the light.
    D3DXMATRIX moved = LookDownZ();
    moved._41 = 20.0f;
    moved._42 = -10.0f;
    moved._44 = 50.0f;
    const ShadowRect m = ReceiverShadowRect(receiver, moved);
    EXPECT_NEAR(m.left, 0.5f + 10.0f / 500.0f, 1e-5f);
    EXPECT_NEAR(m.right, 0.5f + 50.0f / 300.0f, 1e-5f);
    EXPECT_NEAR(m.top, 0.5f - 10.0f / 300.0f, 1e-5f);
    EXPECT_NEAR(m.bottom, 0.5f + 30.0f / 300.0f, 1e-5f);

    MeshEntity empty;
    EXPECT_TRUE(ReceiverShadowRect(empty, LookDownZ()).whole) << "no mesh: no box";
    v[2].y = std::numeric_limits<float>::quiet_NaN();
    mesh.Create(3, v, D3DPT_TRIANGLELIST);
    EXPECT_TRUE(ReceiverShadowRect(receiver, LookDownZ()).whole) << "a position that is no number";
}

// Bone rows as the skinning shader reads them: three rows [R | t] per bone.
std::vector<float> Bones(const std::vector<D3DXVECTOR3>& moves)
{
    std::vector<float> rows;
    for (const D3DXVECTOR3& t : moves) {
        const float bone[12] = {1, 0, 0, t.x, 0, 1, 0, t.y, 0, 0, 1, t.z};
        rows.insert(rows.end(), bone, bone + 12);
    }
    return rows;
}

TEST(ShadowReachTest, ACasterReachesWhereverTheBonesWeighingOnItTakeIt)
{
    // One vertex at (0, 0, 100), weighed half by bone 0 and half by bone 2.
    TCalNormalVertex vertex{};
    vertex.z = 100.0f;
    vertex.weights = 0x00008080;
    vertex.indices = 0x00000200;
    CCal3DVertexBuffer mesh;
    mesh.Create(1, &vertex, D3DPT_TRIANGLELIST);
    MeshEntity caster;
    caster.Use(&mesh);

    const D3DXVECTOR3 still(0, 0, 0), left(-40, 0, 0), up(0, 60, 0);
    const ShadowRect r = CasterShadowRect(caster, Bones({still, left, up}), LookDownZ());
    ASSERT_FALSE(r.whole);
    // Bone 1 weighs nothing: the vertex never goes left.
    EXPECT_NEAR(r.left, 0.5f, 1e-5f);
    EXPECT_NEAR(r.right, 0.5f, 1e-5f);
    // Bone 2 lifts it: up on the map is v down.
    EXPECT_NEAR(r.top, 0.5f - 60.0f / 200.0f, 1e-5f);
    EXPECT_NEAR(r.bottom, 0.5f, 1e-5f);

    EXPECT_TRUE(CasterShadowRect(caster, Bones({still, left}), LookDownZ()).whole)
        << "bone 2 was not handed over: the shader reads what an earlier draw left";
    CNormalTangentTexturedVB rigid;
    NORMAL_TANGENT_TEXTURED_VERTEX plain{};
    rigid.Create(1, &plain, D3DPT_TRIANGLELIST);
    caster.Use(&rigid);
    EXPECT_TRUE(CasterShadowRect(caster, Bones({still}), LookDownZ()).whole) << "not a skinned mesh";
}

} // namespace
