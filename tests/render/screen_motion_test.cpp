// How far the camera's own motion carries a point across the screen, and how
// near the eye an object can lie, for counting a barely moving camera as still.
#include <gtest/gtest.h>

#include <cmath>

#include "render/ScreenMotion.h"
#include "render/VertexBuffers.h"
#include "render/flat_entity.h"

namespace {

constexpr float kWidth = 800.0f, kHeight = 600.0f;

struct Views {
    D3DXMATRIX before, now, projection;
};

Views Look(const D3DXVECTOR3& eyeBefore, const D3DXVECTOR3& eyeNow, const D3DXVECTOR3& at)
{
    Views v;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtRH(&v.before, &eyeBefore, &at, &up);
    D3DXMatrixLookAtRH(&v.now, &eyeNow, &at, &up);
    D3DXMatrixPerspectiveFovRH(&v.projection, 0.33f * 3.1415927f, 4.0f / 3.0f, 1.0f, 15000.0f);
    return v;
}

// Where a world point lands on a width x height screen, in pixels.
D3DXVECTOR2 OnScreen(const D3DXVECTOR3& p, const D3DXMATRIX& view, const D3DXMATRIX& projection)
{
    D3DXVECTOR4 clip;
    const D3DXMATRIX viewProjection = view * projection;
    D3DXVec3Transform(&clip, &p, &viewProjection);
    return D3DXVECTOR2(clip.x / clip.w * 0.5f * kWidth, clip.y / clip.w * 0.5f * kHeight);
}

// Two walls 2 * half across facing each other, `half` in front of and
// behind the origin: a box around the eye whose faces stand off.
class Walls : public IEntidad3D {
public:
    explicit Walls(float half)
    {
        NORMAL_TANGENT_TEXTURED_VERTEX v[8] = {};
        for (int i = 0; i < 8; ++i) {
            v[i].x = (i & 1) ? half : -half;
            v[i].y = (i & 2) ? half : -half;
            v[i].z = (i & 4) ? half : -half;
        }
        m_Buffer.Create(8, v, D3DPT_TRIANGLELIST);
        const unsigned short indices[12] = {0, 1, 3, 0, 3, 2, 4, 5, 7, 4, 7, 6};
        m_Buffer.SetIndexBuffer(new CIndexBuffer);
        m_Buffer.GetIndexBuffer()->Create(12, indices);
        m_Buffer.GetSubsets().push_back({0, 4});
        m_Mesh = &m_Buffer;
        m_Name = "walls";
    }
    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}

private:
    CVertexBufferDef<NORMAL_TANGENT_TEXTURED_VERTEX> m_Buffer;
};

TEST(CameraMotionPixels, BoundsTheTravelOfEveryPointInViewAndFallsWithDepth)
{
    // The eye sinks a hundredth while it keeps looking at the same point,
    // or steps a hundredth toward it.
    const D3DXVECTOR3 at(0.0f, 0.0f, 0.0f);
    for (const D3DXVECTOR3 eyeNow : {D3DXVECTOR3(0.0f, 69.99f, 200.0f), D3DXVECTOR3(0.0f, 70.0f, 199.99f)}) {
    const Views v = Look(D3DXVECTOR3(0.0f, 70.0f, 200.0f), eyeNow, at);
    const float near = CameraMotionPixels(v.now, v.before, v.projection, v.projection, 50.0f, kWidth, kHeight);
    const float far = CameraMotionPixels(v.now, v.before, v.projection, v.projection, 5000.0f, kWidth, kHeight);
    EXPECT_GT(near, far);
    EXPECT_LT(near, 1.0f);
    // Points at 50 and more in front of the eye, across the view: none moves
    // further than the bound says, and the largest comes near it.
    float largest = 0.0f;
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &v.now);
    for (float depth : {50.0f, 120.0f, 400.0f, 3000.0f})
        for (float sx : {-1.0f, 0.0f, 1.0f})
            for (float sy : {-1.0f, 0.0f, 1.0f}) {
                const D3DXVECTOR3 inView(sx * depth / v.projection._11, sy * depth / v.projection._22, -depth);
                D3DXVECTOR3 world;
                D3DXVec3TransformCoord(&world, &inView, &inverse);
                const D3DXVECTOR2 moved = OnScreen(world, v.now, v.projection) - OnScreen(world, v.before, v.projection);
                const float travel = D3DXVec2Length(&moved);
                EXPECT_LE(travel, near * 1.01f + 1e-4f) << depth << " " << sx << " " << sy;
                if (depth == 50.0f)
                    largest = std::max(largest, travel);
            }
    EXPECT_GT(largest, near * 0.3f) << "a bound far above any travel holds nothing";
    }
    const Views v = Look(D3DXVECTOR3(0.0f, 70.0f, 200.0f), D3DXVECTOR3(0.0f, 69.99f, 200.0f), at);

    // A turn moves the far points as much as the near ones.
    const Views turned = Look(D3DXVECTOR3(0.0f, 70.0f, 200.0f), D3DXVECTOR3(0.0f, 70.0f, 200.0f), at);
    D3DXMATRIX yawed, turn;
    D3DXMatrixRotationY(&turn, 0.001f);
    yawed = turned.now * turn;
    EXPECT_GT(CameraMotionPixels(yawed, turned.before, turned.projection, turned.projection, 1e6f, kWidth, kHeight),
              0.3f);
    // Another projection (a zoom) is no camera still in place.
    D3DXMATRIX wider = v.projection;
    wider._11 *= 0.999f;
    EXPECT_TRUE(std::isinf(CameraMotionPixels(v.before, v.before, wider, v.projection, 50.0f, kWidth, kHeight)));
    EXPECT_LT(CameraMotionPixels(v.before, v.before, v.projection, v.projection, 1.0f, kWidth, kHeight), 1e-6f);
}

TEST(DepthWhereMotionShows, IsTheDepthBeyondWhichTheMotionStaysWithinTheGivenPixels)
{
    const D3DXVECTOR3 at(100.0f, 20.0f, -50.0f);
    const Views v = Look(D3DXVECTOR3(-1272.4479f, 95.2186f, -830.7563f), D3DXVECTOR3(-1272.4479f, 95.2187f, -830.7563f),
                         at);
    const float depth = DepthWhereMotionShows(v.now, v.before, v.projection, v.projection, kWidth, kHeight,
                                              kUnseenMotionPixels);
    ASSERT_TRUE(std::isfinite(depth)) << "a float's step of the eye shows nowhere far enough";
    EXPECT_LE(CameraMotionPixels(v.now, v.before, v.projection, v.projection, depth, kWidth, kHeight),
              kUnseenMotionPixels);
    EXPECT_GT(CameraMotionPixels(v.now, v.before, v.projection, v.projection, depth * 0.9f, kWidth, kHeight),
              kUnseenMotionPixels);
    // A real step of the eye shows at every depth in reach of the far plane.
    const Views walked = Look(D3DXVECTOR3(0.0f, 70.0f, 200.0f), D3DXVECTOR3(0.0f, 70.0f, 191.0f), at);
    EXPECT_TRUE(std::isinf(DepthWhereMotionShows(walked.now, walked.before, walked.projection, walked.projection, kWidth,
                                                 kHeight, kUnseenMotionPixels)));
}

TEST(NearestDepthOf, NoPartOfTheObjectInViewComesNearerThanItsBoxAllows)
{
    const Views v = Look(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, -1.0f));
    // A square 8 across, facing the eye 300 ahead: its face is 300 deep.
    fxtest::FlatEntity square("square", 8.0f, fxtest::FlatEntity::FacingZ, "PhongLightingTech");
    square.MoveTo(0.0f, 0.0f, -300.0f);
    const float ahead = NearestDepthOf(square, v.now, v.projection, 1000.0f);
    EXPECT_GT(ahead, 290.0f);
    EXPECT_LE(ahead, 300.0f);
    // Off to the side of the view and as far away, it is no nearer in depth
    // than its own corner.
    square.MoveTo(250.0f, 0.0f, -300.0f);
    const float aside = NearestDepthOf(square, v.now, v.projection, 1000.0f);
    EXPECT_GT(aside, 150.0f);
    EXPECT_LE(aside, 300.0f);
    // Under the eye a floor reaches past it: the points of it in view are
    // still as far as the eye is above it, over the view's spread.
    fxtest::FlatEntity floor("floor", 4000.0f, fxtest::FlatEntity::FacingY, "PhongLightingTech");
    floor.MoveTo(0.0f, -65.0f, 0.0f);
    const float under = NearestDepthOf(floor, v.now, v.projection, 1000.0f);
    EXPECT_GT(under, 30.0f);
    EXPECT_LE(under, 65.0f);
    // A character's limbs reach out of its box as it moves: it is given
    // room all round where it stands.
    fxtest::FlatCaster body(4.0f, fxtest::FlatEntity::FacingZ);
    body.GetTransform().SetPosition(D3DXVECTOR3(0.0f, 0.0f, -300.0f));
    const float character = NearestDepthOf(body, v.now, v.projection, 1000.0f);
    EXPECT_GT(character, 100.0f);
    EXPECT_LE(character, 300.0f - 140.0f);
    // Around the eye it may lie anywhere.
    fxtest::FlatEntity around("around", 4000.0f, fxtest::FlatEntity::FacingY, "PhongLightingTech");
    around.MoveTo(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(NearestDepthOf(around, v.now, v.projection, 1000.0f), 0.0f);
    // Inside a box of walls 300 ahead and behind, the box holds the eye but
    // the walls stand off: asked for less than that, their triangles say so;
    // asked for more, they say how near they come.
    Walls walls(300.0f);
    EXPECT_GE(NearestDepthOf(walls, v.now, v.projection, 100.0f), 100.0f);
    const float toWalls = NearestDepthOf(walls, v.now, v.projection, 1000.0f);
    EXPECT_GT(toWalls, 150.0f);
    EXPECT_LE(toWalls, 300.0f);
}

} // namespace
