// The shipped effect file against every name the game asks it for: a missing
// or misspelt technique or parameter would silently draw nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "render/DrawHelper.h"
#include "render/effectmanager_fixture.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The fixture compiles the shipped file (and fails when it does not compile).
class ShippedEffect : public fxtest::EffectDrawTest {
protected:
    void SetUp() override
    {
        EffectDrawTest::SetUp();
        m_Effect = getEffectManager().GetEffect();
        ASSERT_NE(m_Effect, nullptr);
    }

    ID3DXEffect* m_Effect = nullptr;
};

TEST_F(ShippedEffect, AnswersEveryNameTheGameAsksFor)
{
    // The effect manager's own table.
    for (int slot = 0; slot < EFFECT_PARAM_COUNT; ++slot) {
        const std::string name = EffectParamName(slot);
        if (slot == EP_UNUSED_54) {
            EXPECT_EQ(name, "");
            EXPECT_EQ(getEffectManager().GetHandle(slot), nullptr);
            continue;
        }
        EXPECT_NE(getEffectManager().GetHandle(slot), nullptr) << "slot " << slot << " \"" << name << "\"";
    }

    // The bloom stages, the particles and the skinned characters find theirs
    // by name on every draw.
    for (const char* name : {"DiffuseTexture", "bloom_cutoff_level", "bloom_offset_x", "bloom_offset_y", "stage_weight",
                             "view_projection_matrix", "camera_left", "camera_up", "ParticleTexture",
                             "particleTextureNumber", "particle_data", "bones"})
        EXPECT_NE(m_Effect->GetParameterByName(nullptr, name), nullptr) << name;

    // Techniques chosen by the code, and every one "data/XML/techniques.xml" names.
    std::set<std::string> wanted = {kShadowMapTechnique, kMotionBlurTechnique, kCompositeTechnique,
                                    "BloomCutoffTech",   "BloomBlurTech",      "ParticlesTech",
                                    // the entities' defaults
                                    "PhongLightingTech", "Characters_PhongLightingTech", "basicTech"};
    const std::string techniques = ReadFile(fxtest::kWorkdir + "/data/XML/techniques.xml");
    ASSERT_FALSE(techniques.empty());
    const std::regex attribute("technique=\"([^\"]*)\"");
    for (std::sregex_iterator it(techniques.begin(), techniques.end(), attribute), end; it != end; ++it)
        wanted.insert((*it)[1].str());
    for (const std::string& name : wanted)
        EXPECT_NE(m_Effect->GetTechniqueByName(name.c_str()), nullptr) << name;

    // The sizes the model library and the particles fill: 60 bones of 12
    // floats, 40 particles of 12 floats.
    D3DXPARAMETER_DESC desc{};
    ASSERT_EQ(m_Effect->GetParameterDesc("bones", &desc), D3D_OK);
    EXPECT_EQ(desc.Elements * desc.Columns, 60u * 12u);
    ASSERT_EQ(m_Effect->GetParameterDesc("particle_data", &desc), D3D_OK);
    EXPECT_EQ(desc.Elements * desc.Columns, 40u * 12u);
}

// The screen and particle techniques draw what their names say, through the
// same quads and constants their passes use.
TEST_F(ShippedEffect, BloomAndParticleTechniquesDrawWhatTheirNamesSay)
{
    using drawtest::kSize;
    auto runTechnique = [&](const char* technique, const std::function<void()>& draw) {
        ASSERT_EQ(m_Effect->SetTechnique(technique), D3D_OK) << technique;
        UINT passes = 0;
        m_Effect->Begin(&passes, 0);
        for (UINT pass = 0; pass < passes; ++pass) {
            m_Effect->BeginPass(pass);
            draw();
            m_Effect->EndPass();
        }
        m_Effect->End();
    };
    auto screenQuad = [] { getDrawHelper().DrawScreenQuad(kSize, kSize, false); };

    // Cut-off: the white left half stays, the dark right half goes.
    std::vector<D3DCOLOR> halves(kSize * kSize);
    for (int i = 0; i < kSize * kSize; ++i)
        halves[i] = i % kSize < kSize / 2 ? 0xFFFFFFFF : 0xFF404040;
    IDirect3DTexture9* source = MakeTexture(kSize, kSize, halves);
    m_Effect->SetTexture("DiffuseTexture", source);
    m_Effect->SetFloat("bloom_cutoff_level", 0.5f);
    m_Effect->SetFloat("stage_weight", 1.0f);
    runTechnique("BloomCutoffTech", screenQuad);
    EXPECT_GT(fxtest::EffectDrawTest::Brightness(Pixel(kSize / 4, kSize / 2)), 700);
    EXPECT_EQ(Pixel(kSize * 3 / 4, kSize / 2), drawtest::kBlack);
    source->Release();

    // Blur: one white texel spreads evenly around itself, and not across the screen.
    std::vector<D3DCOLOR> dot(kSize * kSize, drawtest::kBlack);
    dot[(kSize / 2) * kSize + kSize / 2] = 0xFFFFFFFF;
    source = MakeTexture(kSize, kSize, dot);
    m_Effect->SetTexture("DiffuseTexture", source);
    m_Effect->SetFloat("bloom_offset_x", 1.0f / kSize);
    m_Effect->SetFloat("bloom_offset_y", 1.0f / kSize);
    ClearTo(drawtest::kBlack);
    runTechnique("BloomBlurTech", screenQuad);
    const int centre = fxtest::EffectDrawTest::Red(Pixel(kSize / 2, kSize / 2));
    const int right = fxtest::EffectDrawTest::Red(Pixel(kSize / 2 + 2, kSize / 2));
    const int below = fxtest::EffectDrawTest::Red(Pixel(kSize / 2, kSize / 2 + 2));
    const int leftOf = fxtest::EffectDrawTest::Red(Pixel(kSize / 2 - 2, kSize / 2));
    EXPECT_GT(centre, right);
    EXPECT_GT(right, 0);
    EXPECT_NEAR(right, below, 2);
    EXPECT_NEAR(right, leftOf, 2);
    EXPECT_LT(centre, 200);
    EXPECT_EQ(Pixel(kSize / 2 + 12, kSize / 2), drawtest::kBlack);
    source->Release();

    // A particle: one red quad of size 40 where its constants put it.
    PlaceCamera(D3DXVECTOR3(0, 0, 200), D3DXVECTOR3(0, 0, 0));
    const D3DXMATRIX viewProjection = getCamera().GetViewMatrix() * getCamera().GetProjectionMatrix();
    m_Effect->SetMatrix("view_projection_matrix", &viewProjection);
    const D3DXVECTOR3 left(-1, 0, 0), up(0, 1, 0);
    m_Effect->SetValue("camera_left", &left, sizeof left);
    m_Effect->SetValue("camera_up", &up, sizeof up);
    IDirect3DTexture9* white = MakeTexture(2, 2, std::vector<D3DCOLOR>(4, 0xFFFFFFFF));
    m_Effect->SetTexture("ParticleTexture", white);
    m_Effect->SetFloat("particleTextureNumber", 1.0f);
    const float particle[12] = {30, 0, 0, 40, 1, 0, 0, 1, 0, 0, 0, 0};
    m_Effect->SetFloatArray("particle_data", particle, 12);
    const PARTICLE_VERTEX corners[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    const unsigned short indices[6] = {0, 1, 2, 1, 3, 2};
    ClearTo(drawtest::kBlack);
    runTechnique("ParticlesTech", [&] {
        D3DDevice->SetFVF(PARTICLE_VERTEX::FVF);
        D3DDevice->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, corners,
                                          sizeof(PARTICLE_VERTEX));
    });
    int x = 0, y = 0;
    fxtest::EffectDrawTest::Project(D3DXVECTOR3(30, 0, 0), &x, &y);
    EXPECT_EQ(Pixel(x, y), 0xFFFF0000u);
    EXPECT_EQ(Pixel(kSize / 2 - 6, kSize / 2), drawtest::kBlack);
    white->Release();
}

} // namespace
