// What holds the eye and every other listed object in its box (the sky) is
// shaded after all of them and lays no depth first: its depth could hide
// nothing. The frame is the same either way.
#include <gtest/gtest.h>

#include <vector>

#include "render/FrameShortcuts.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;
using fxtest::FlatEntity;

// A backdrop square facing +Z at z -400, half 600 wide, whose mesh also
// holds one vertex no triangle uses at z `reach`: its box runs from the
// backdrop to there.
class Backdrop : public IEntidad3D {
public:
    explicit Backdrop(float reach)
    {
        const float corners[4][2] = {{-600, -600}, {600, -600}, {600, 600}, {-600, 600}};
        NORMAL_TANGENT_TEXTURED_VERTEX v[5] = {};
        for (int i = 0; i < 4; ++i) {
            v[i].x = corners[i][0];
            v[i].y = corners[i][1];
            v[i].z = -400.0f;
            v[i].nz = 1.0f;
            v[i].tu = v[i].tu2 = i == 1 || i == 2 ? 1.0f : 0.0f;
            v[i].tv = v[i].tv2 = i >= 2 ? 0.0f : 1.0f;
            v[i].tx = v[i].tw = 1.0f;
        }
        v[4].z = reach;
        v[4].nz = 1.0f;
        m_Buffer.Create(5, v, D3DPT_TRIANGLELIST);
        fxtest::SquareIndices(m_Buffer);
        m_Mesh = &m_Buffer;
        m_Name = "cielo";
        m_CurrentPass = "Base";
        m_Techniques["Base"] = "PhongLightingTech";
        SetRadius(5000.0f);
    }
    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}

private:
    CVertexBufferDef<NORMAL_TANGENT_TEXTURED_VERTEX> m_Buffer;
};

class EnclosingTest : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        EffectDrawTest::SetUp();
        scene().SetVisible("Character", false);
        scene().SaveDepthStencil();
    }
    void TearDown() override
    {
        SetShortcutOn(Shortcut::EnclosingLast, true);
        EffectDrawTest::TearDown();
    }
    static CSceneMngr& scene() { return getSceneManager(); }
};

// The camera at +200 on Z looks at the origin: a crate in front of the
// backdrop, a floor round the eye (its bounds hold it too), and the sky
// listed first.
TEST_F(EnclosingTest, TheSkyGoesLastAndLaysNoDepthAndTheFrameStaysTheSame)
{
    Backdrop sky(800.0f);
    FlatEntity floor("suelo", 300, FlatEntity::FacingY, "PhongLightingTech");
    floor.MoveTo(0, -40, 0);
    floor.SetRadius(1000.0f);
    FlatEntity box("caja", 15, FlatEntity::FacingZ, "PhongLightingTech");
    box.SetRadius(25.0f);
    for (IEntidad3D* e : std::vector<IEntidad3D*>{&sky, &floor, &box})
        scene().AddObject(e->GetName(), e);
    auto list = [&] {
        for (const char* name : {"cielo", "suelo", "caja"})
            scene().SetVisible(name, true);
    };
    using List = std::vector<IEntidad3D*>;
    std::vector<D3DCOLOR> frames[2];
    for (bool last : {true, false}) {
        SCOPED_TRACE(last ? "the sky last" : "in list order");
        SetShortcutOn(Shortcut::EnclosingLast, last);
        list();
        EXPECT_EQ(scene().ListedEntities(false), last ? (List{&box, &floor, &sky}) : (List{&box, &sky, &floor}));
        scene().RenderScenePass(SceneTarget, true);
        EXPECT_EQ(scene().depthLaidCount, last ? 2 : 3);
        devicetest::ReadPixels(SceneTarget.surface, &frames[last]);
    }
    ASSERT_EQ(frames[0].size(), frames[1].size());
    EXPECT_TRUE(frames[0] == frames[1]);
    // The backdrop shows round the crate.
    EXPECT_NE(frames[1][5 * kSize + kSize / 2] | 0xFF000000, drawtest::kBlack);

    // A box reaching short of the eye encloses nothing, though it holds the
    // crate: the backdrop lays its depth.
    SetShortcutOn(Shortcut::EnclosingLast, true);
    Backdrop shortOfTheEye(150.0f);
    scene().Setup();
    scene().AddObject("cielo", &shortOfTheEye);
    scene().AddObject("caja", &box);
    for (const char* name : {"cielo", "caja"})
        scene().SetVisible(name, true);
    scene().RenderScenePass(SceneTarget, true);
    EXPECT_EQ(scene().depthLaidCount, 2);
    // Nor does one that leaves part of another object outside it: a slab
    // across the backdrop's plane keeps it in its place among what
    // surrounds the eye.
    FlatEntity across("losa", 50, FlatEntity::FacingY, "PhongLightingTech");
    across.MoveTo(0, -100, -400);
    across.SetRadius(80.0f);
    scene().Setup();
    for (IEntidad3D* e : std::vector<IEntidad3D*>{&sky, &floor, &across})
        scene().AddObject(e->GetName(), e);
    for (const char* name : {"cielo", "suelo", "losa"})
        scene().SetVisible(name, true);
    EXPECT_EQ(scene().ListedEntities(false), (List{&across, &sky, &floor}));
}

} // namespace
