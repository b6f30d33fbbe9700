// Effects on a real device: what the passes draw, with which parameter values
// and states, and how failures and unknown names behave.
#include "d3d_fixture.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

using namespace d3dtest;

namespace {

const char* const kEffect = R"(
shared {
    uniform vec4 color;
    uniform vec4 second = vec4(0.0, 1.0, 0.0, 1.0);
    uniform mat4 matWVP;
    uniform sampler2D DiffuseTexture;
    uniform vec4 palette[3];
    uniform float unusedByAnyShader;
    uniform bool flag;
    uniform vec3 dir;
    VARYING vec2 uv;
}
vertex Clip { void main() { gl_Position = vec4(inPosition.xyz, 1.0); uv = inTexCoord0.xy; } }
vertex Transformed { void main() { gl_Position = mul(inPosition, matWVP); uv = inTexCoord0.xy; } }
fragment Flat { void main() { outColor = color; } }
fragment Second { void main() { outColor = second; } }
fragment Textured { void main() { outColor = tex2D(DiffuseTexture, uv); } }
fragment Palette { void main() { outColor = palette[2]; } }
fragment Typed { void main() { outColor = vec4(flag ? 1.0 : 0.0, 0.0, dir.z, 1.0); } }
sampler DiffuseTexture { MinFilter = Linear; MagFilter = Linear; }
technique Solid { pass { vertex = Clip; fragment = Flat; } }
technique Other { pass { vertex = Clip; fragment = Second; } }
technique Moved { pass { vertex = Transformed; fragment = Flat; } }
technique Blended {
    pass { vertex = Clip; fragment = Flat; AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha; }
}
technique Tested {
    pass { vertex = Clip; fragment = Flat; AlphaTestEnable = TRUE; AlphaFunc = Greater; AlphaRef = 128; }
}
technique Sampled {
    pass {
        vertex = Clip; fragment = Textured;
        sampler DiffuseTexture { MinFilter = Point; MagFilter = Point; AddressU = Clamp; AddressV = Clamp; }
    }
}
technique Indexed { pass { vertex = Clip; fragment = Palette; } }
technique Typed { pass { vertex = Clip; fragment = Typed; } }
technique TwoPasses {
    pass { vertex = Clip; fragment = Flat; }
    pass { vertex = Clip; fragment = Second; AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; }
}
)";

// A triangle over the whole target, texture coordinates as Direct3D lays them
// out over the screen (v = 0 at the top).
const TexVertex kFullScreen[3] = {{-1, -1, 0, 0, 1}, {-1, 3, 0, 0, -1}, {3, -1, 0, 2, 1}};

class EffectTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        ID3DXEffect* compiled = nullptr;
        ID3DXBuffer* errors = nullptr;
        HRESULT hr = D3DXCreateEffect(device, kEffect, static_cast<UINT>(std::strlen(kEffect)), nullptr, nullptr,
                                      D3DXSHADER_PACKMATRIX_ROWMAJOR, nullptr, &compiled, &errors);
        Ref<ID3DXBuffer> text(errors);
        effect.reset(compiled);
        ASSERT_TRUE(SUCCEEDED(hr)) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        effect.reset();
        D3DTest::TearDown();
    }

    // Runs every pass of the technique over the vertices, as the game does.
    void Draw(const char* technique, const TexVertex* vertices, UINT triangles) {
        ASSERT_TRUE(SUCCEEDED(effect->SetTechnique(effect->GetTechniqueByName(technique)))) << technique;
        device->SetFVF(kTexFvf);
        device->BeginScene();
        UINT passes = 0;
        ASSERT_TRUE(SUCCEEDED(effect->Begin(&passes, 0)));
        for (UINT i = 0; i < passes; ++i) {
            ASSERT_TRUE(SUCCEEDED(effect->BeginPass(i)));
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, vertices, sizeof(TexVertex));
            effect->EndPass();
        }
        effect->End();
        device->EndScene();
    }
    void DrawFullScreen(const char* technique) { Draw(technique, kFullScreen, 1); }

    void SetColor(float r, float g, float b, float a) {
        const float rgba[4] = {r, g, b, a};
        ASSERT_TRUE(SUCCEEDED(effect->SetFloatArray(effect->GetParameterByName(nullptr, "color"), rgba, 4)));
    }

    Ref<ID3DXEffect> effect;
};

TEST_F(EffectTest, ParametersReachTheirUniforms) {
    SetColor(1, 0, 0, 1);
    DrawFullScreen("Solid");
    EXPECT_EQ(Pixel(5, 5), kRed);
    EXPECT_EQ(Pixel(60, 44), kRed);

    // An initialiser is the value until one is set; SetVector replaces it.
    DrawFullScreen("Other");
    EXPECT_EQ(Pixel(30, 20), kGreen);
    D3DXVECTOR4 blue(0, 0, 1, 1);
    ASSERT_TRUE(SUCCEEDED(effect->SetVector("second", &blue))) << "a name works as a handle";
    DrawFullScreen("Other");
    EXPECT_EQ(Pixel(30, 20), kBlue);
    // A single float fills only the first component; the rest keep theirs.
    EXPECT_TRUE(SUCCEEDED(effect->SetFloat("second", 1.0f)));
    DrawFullScreen("Other");
    EXPECT_EQ(Pixel(30, 20), 0xFFFF00FFu);

    // A float array fills an array of vectors in order.
    const float palette[12] = {1, 0, 0, 1, 0, 1, 0, 1, 0, 1, 1, 1};
    ASSERT_TRUE(SUCCEEDED(effect->SetFloatArray(effect->GetParameterByName(nullptr, "palette"), palette, 12)));
    DrawFullScreen("Indexed");
    EXPECT_EQ(Pixel(30, 20), 0xFF00FFFFu);

    EXPECT_TRUE(SUCCEEDED(effect->SetBool("flag", TRUE)));
    const float direction[3] = {0.0f, 0.0f, 1.0f};
    EXPECT_TRUE(SUCCEEDED(effect->SetValue("dir", direction, sizeof(direction))));
    DrawFullScreen("Typed");
    EXPECT_EQ(Pixel(30, 20), 0xFFFF00FFu);
}

TEST_F(EffectTest, MatricesAreUsedAsD3dxRowVectorProducts) {
    // A square of half-size 0.25 around the origin, moved by (0.5, 0.5): on a
    // Direct3D screen that is the upper right quadrant's centre.
    const TexVertex square[6] = {{-0.25f, -0.25f, 0, 0, 0}, {-0.25f, 0.25f, 0, 0, 0}, {0.25f, 0.25f, 0, 0, 0},
                                 {-0.25f, -0.25f, 0, 0, 0}, {0.25f, 0.25f, 0, 0, 0},  {0.25f, -0.25f, 0, 0, 0}};
    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, 0.5f, 0.5f, 0.0f);
    ASSERT_TRUE(SUCCEEDED(effect->SetMatrix(effect->GetParameterByName(nullptr, "matWVP"), &move)));
    SetColor(1, 1, 1, 1);
    Draw("Moved", square, 2);
    const std::vector<D3DCOLOR> p = Pixels();
    auto at = [&](int x, int y) { return p[static_cast<size_t>(y) * kWidth + x]; };
    EXPECT_EQ(at(48, 12), kWhite) << "centre of the moved square";
    EXPECT_EQ(at(32, 24), kBlack) << "where it was";
    EXPECT_EQ(at(48, 36), kBlack) << "moved down instead of up";
    EXPECT_EQ(at(16, 12), kBlack) << "moved left instead of right";
}

TEST_F(EffectTest, TexturesAreSampledWithThePassSamplerStates) {
    Ref<IDirect3DTexture9> texture = Texture(2, 2, {kRed, kGreen, kBlue, kWhite});
    ASSERT_TRUE(SUCCEEDED(effect->SetTexture(effect->GetParameterByName(nullptr, "DiffuseTexture"), texture.get())));
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    DrawFullScreen("Sampled");
    const std::vector<D3DCOLOR> p = Pixels();
    auto at = [&](int x, int y) { return p[static_cast<size_t>(y) * kWidth + x]; };
    // Point filtering from the pass: each quarter of the screen is one texel.
    EXPECT_EQ(at(30, 20), kRed);
    EXPECT_EQ(at(34, 20), kGreen);
    EXPECT_EQ(at(5, 44), kBlue);
    EXPECT_EQ(at(60, 44), kWhite);

    // End gives the sampler its state back and drops the texture from the stage.
    DWORD filter = 0;
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_LINEAR));
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);

    // The effect holds its own reference: the texture outlives ours.
    texture.reset();
    DrawFullScreen("Sampled");
    EXPECT_EQ(Pixel(60, 44), kWhite);
    effect->SetTexture("DiffuseTexture", nullptr);
}

TEST_F(EffectTest, PassRenderStatesApplyAndAreRestored) {
    Clear(kBlue);
    SetColor(1, 0, 0, 0.5f);
    DrawFullScreen("Blended");
    D3DCOLOR c = Pixel(30, 20);
    EXPECT_NEAR(Red(c), 128, 2);
    EXPECT_EQ(Green(c), 0);
    EXPECT_NEAR(Blue(c), 127, 2);
    DWORD state = 1;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &state);
    EXPECT_EQ(state, static_cast<DWORD>(FALSE));
    EXPECT_EQ(platform::CurrentEffectProgram(device), 0u) << "End goes back to fixed function";

    // The alpha test of a pass discards what fails it.
    Clear(kBlue);
    SetColor(1, 0, 0, 0.25f);
    DrawFullScreen("Tested");
    EXPECT_EQ(Pixel(30, 20), kBlue);
    SetColor(1, 0, 0, 0.75f);
    DrawFullScreen("Tested");
    EXPECT_EQ(Red(Pixel(30, 20)), 255);
    state = 1;
    device->GetRenderState(D3DRS_ALPHATESTENABLE, &state);
    EXPECT_EQ(state, static_cast<DWORD>(FALSE));

    // Two passes: the second adds its green onto the first's red.
    SetColor(1, 0, 0, 1);
    Clear(kBlack);
    DrawFullScreen("TwoPasses");
    EXPECT_EQ(Pixel(30, 20), 0xFFFFFF00u);
}

TEST_F(EffectTest, CommitChangesSendsValuesInsideAPass) {
    const TexVertex left[3] = {{-1, -1, 0, 0, 0}, {-1, 3, 0, 0, 0}, {0, -1, 0, 0, 0}};
    const TexVertex right[3] = {{0, -1, 0, 0, 0}, {0, 3, 0, 0, 0}, {3, -1, 0, 0, 0}};
    ASSERT_TRUE(SUCCEEDED(effect->SetTechnique("Solid")));
    device->SetFVF(kTexFvf);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    SetColor(1, 0, 0, 1);
    effect->CommitChanges();
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, left, sizeof(TexVertex));
    SetColor(0, 0, 1, 1);
    EXPECT_TRUE(SUCCEEDED(effect->CommitChanges()));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, right, sizeof(TexVertex));
    effect->EndPass();
    effect->End();
    EXPECT_EQ(Pixel(10, 10), kRed);
    EXPECT_EQ(Pixel(54, 10), kBlue);
    EXPECT_TRUE(FAILED(effect->CommitChanges())) << "outside a pass";
}

TEST_F(EffectTest, UnknownNamesWrongKindsAndCallsOutOfOrderFail) {
    D3DXHANDLE none = effect->GetParameterByName(nullptr, "noSuchParameter");
    EXPECT_EQ(none, nullptr);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    float out = 7;
    EXPECT_EQ(effect->SetMatrix(none, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetFloat(none, &out), D3DERR_INVALIDCALL);
    EXPECT_EQ(out, 7.0f);
    EXPECT_EQ(effect->SetFloat("noSuchParameter", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTexture("color", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("DiffuseTexture", 1.0f), D3DERR_INVALIDCALL);

    // A failed SetTechnique keeps the current technique.
    ASSERT_TRUE(SUCCEEDED(effect->SetTechnique("Other")));
    EXPECT_EQ(effect->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique("noSuchTechnique"), D3DERR_INVALIDCALL);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "Other");

    // Pass calls out of order fail instead of drawing with half-set state.
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    UINT passes = 0;
    ASSERT_TRUE(SUCCEEDED(effect->Begin(&passes, 0)));
    EXPECT_EQ(effect->BeginPass(passes), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique("Solid"), D3DERR_INVALIDCALL);
    EXPECT_TRUE(SUCCEEDED(effect->End()));
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
}

TEST_F(EffectTest, ParametersTheCompilerDroppedAreStillThere) {
    D3DXHANDLE unused = effect->GetParameterByName(nullptr, "unusedByAnyShader");
    ASSERT_NE(unused, nullptr);
    EXPECT_TRUE(SUCCEEDED(effect->SetFloat(unused, 3.5f)));
    float back = 0;
    EXPECT_TRUE(SUCCEEDED(effect->GetFloat(unused, &back)));
    EXPECT_EQ(back, 3.5f);
    // More values than the parameter holds are cut, not written past it.
    std::vector<float> many(100, 1.0f);
    EXPECT_TRUE(SUCCEEDED(effect->SetFloatArray("palette", many.data(), 100)));
    SetColor(0, 1, 1, 1);
    DrawFullScreen("Solid");
    EXPECT_EQ(Pixel(30, 20), 0xFF00FFFFu);
}

// Compiles a file written for the test; the compiler's text, if any, in `message`.
class EffectFileTest : public D3DTest {
protected:
    HRESULT Compile(const char* name, const std::string& text, std::string& message,
                    const D3DXMACRO* macros = nullptr) {
        std::ofstream(name) << text;
        written.push_back(name);
        ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
        ID3DXBuffer* errors = nullptr;
        const HRESULT hr = D3DXCreateEffectFromFileA(device, name, macros, nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR,
                                                     nullptr, &effect, &errors);
        EXPECT_EQ(effect != nullptr, SUCCEEDED(hr)) << "no effect unless it compiled";
        if (SUCCEEDED(hr) && effect)
            effect->Release();
        message.clear();
        if (errors) {
            message = static_cast<const char*>(errors->GetBufferPointer());
            EXPECT_EQ(errors->GetBufferSize(), message.size() + 1);
            errors->Release();
        }
        return hr;
    }
    void TearDown() override {
        for (const std::string& n : written) std::remove(n.c_str());
        D3DTest::TearDown();
    }
    std::vector<std::string> written;
};

TEST_F(EffectFileTest, CompileErrorsFailWithTheCompilersTextAndLine) {
    std::string text;
    EXPECT_TRUE(FAILED(Compile("broken.fx", "vertex V { void main() { gl_Position = inPosition; } }\n"
                                            "fragment F {\n"
                                            "    void main() {\n"
                                            "        outColor = undeclaredThing;\n"
                                            "    }\n"
                                            "}\n"
                                            "technique T { pass { vertex = V; fragment = F; } }\n",
                               text)));
    EXPECT_NE(text.find("broken.fx(4,"), std::string::npos) << text;
    EXPECT_NE(text.find("undeclaredThing"), std::string::npos) << text;
    EXPECT_NE(text.find("fragment shader 'F'"), std::string::npos) << text;
}

TEST_F(EffectFileTest, OtherFailuresReportTheirCause) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = reinterpret_cast<ID3DXBuffer*>(1);
    EXPECT_EQ(D3DXCreateEffectFromFileA(device, "missing.fx", nullptr, nullptr, 0, nullptr, &effect, &errors),
              D3DERR_NOTFOUND);
    EXPECT_EQ(errors, nullptr) << "no compiler text for a file that is not there";
    EXPECT_EQ(effect, nullptr);

    const std::string shaders = "vertex V { void main() { gl_Position = inPosition; } }\n"
                                "fragment F { uniform sampler2D tex; void main() { outColor = texture(tex, vec2(0.5)); } }\n";
    const struct {
        const char* name;
        std::string text;
        const char* expected;
    } cases[] = {
        {"state.fx", shaders + "technique T { pass { vertex = V; fragment = F;\n ZEnabled = true; } }\n",
         "state.fx(4): error: unknown render state 'ZEnabled'"},
        {"value.fx", shaders + "technique T { pass { vertex = V; fragment = F;\n CullMode = Sideways; } }\n",
         "value.fx(4): error: 'Sideways' is not a value of CullMode"},
        // A function declared but defined nowhere: each stage compiles, linking fails.
        {"link.fx", "vertex V { void main() { gl_Position = inPosition; } }\n"
                    "fragment F { float helper(); void main() { outColor = vec4(helper()); } }\n"
                    "technique T { pass Only { vertex = V; fragment = F; } }\n",
         "error linking technique 'T', pass 'Only'"},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_TRUE(FAILED(Compile(c.name, c.text, message))) << c.name;
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
    }

    // Macros reach the shaders.
    const D3DXMACRO macros[] = {{"LEVEL", "0.5"}, {nullptr, nullptr}};
    std::string message;
    EXPECT_TRUE(SUCCEEDED(Compile("macro.fx",
                                  "vertex V { void main() { gl_Position = inPosition; } }\n"
                                  "fragment F { void main() { outColor = vec4(LEVEL); } }\n"
                                  "technique T { pass { vertex = V; fragment = F; } }\n",
                                  message, macros)))
        << message;
}

} // namespace
