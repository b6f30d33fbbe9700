// Effects on a real device: what the passes draw, with which parameter values
// and states, and how failures and unknown names behave.
#include "fx_device_fixture.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace fxtest {
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
    uniform int count;
    uniform vec3 dir;
    VARYING vec2 uv;
}
vertex Clip { void main() { gl_Position = vec4(inPosition.xyz, 1.0); uv = inTexCoord0.xy; } }
vertex Transformed { void main() { gl_Position = mul(inPosition, matWVP); uv = inTexCoord0.xy; } }
fragment Flat { void main() { outColor = color; } }
fragment Second { void main() { outColor = second; } }
fragment Textured { void main() { outColor = tex2D(DiffuseTexture, uv); } }
fragment Palette { void main() { outColor = palette[2]; } }
fragment Typed { void main() { outColor = vec4(flag ? 1.0 : 0.0, float(count) / 4.0, dir.z, 1.0); } }
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

struct Vertex {
    float x, y, z, u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_TEX1;

// A triangle over the whole target, texture coordinates as Direct3D lays them
// out over the screen (v = 0 at the top).
const Vertex kFullScreen[3] = {{-1, -1, 0, 0, 1}, {-1, 3, 0, 0, -1}, {3, -1, 0, 2, 1}};

class EffectTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_NE(device, nullptr);
        ID3DXBuffer* errors = nullptr;
        HRESULT hr = D3DXCreateEffect(device, kEffect, static_cast<UINT>(std::strlen(kEffect)), nullptr, nullptr,
                                      D3DXSHADER_PACKMATRIX_ROWMAJOR, nullptr, &effect, &errors);
        std::string text = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors) errors->Release();
        ASSERT_TRUE(SUCCEEDED(hr)) << text;
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect) effect->Release();
        DeviceTest::TearDown();
    }

    // Runs every pass of the technique over the vertices, as the game does.
    void Draw(const char* technique, const Vertex* vertices, UINT triangles) {
        ASSERT_TRUE(SUCCEEDED(effect->SetTechnique(effect->GetTechniqueByName(technique)))) << technique;
        device->SetFVF(kFvf);
        device->BeginScene();
        UINT passes = 0;
        ASSERT_TRUE(SUCCEEDED(effect->Begin(&passes, 0)));
        for (UINT i = 0; i < passes; ++i) {
            ASSERT_TRUE(SUCCEEDED(effect->BeginPass(i)));
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, vertices, sizeof(Vertex));
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

    ID3DXEffect* effect = nullptr;
};

TEST_F(EffectTest, TechniquesDrawWithTheValuesSet) {
    SetColor(1, 0, 0, 1);
    DrawFullScreen("Solid");
    EXPECT_EQ(Pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(Pixel(60, 60), 0xFFFF0000u);

    // An initialiser is the value until one is set; SetVector replaces it.
    DrawFullScreen("Other");
    EXPECT_EQ(Pixel(30, 30), 0xFF00FF00u);
    D3DXVECTOR4 blue(0, 0, 1, 1);
    ASSERT_TRUE(SUCCEEDED(effect->SetVector("second", &blue))) << "a name works as a handle";
    DrawFullScreen("Other");
    EXPECT_EQ(Pixel(30, 30), 0xFF0000FFu);

    // A float array fills an array of vectors in order.
    const float palette[12] = {1, 0, 0, 1, 0, 1, 0, 1, 1, 0, 1, 1};
    ASSERT_TRUE(SUCCEEDED(effect->SetFloatArray(effect->GetParameterByName(nullptr, "palette"), palette, 12)));
    DrawFullScreen("Indexed");
    EXPECT_EQ(Pixel(30, 30), 0xFFFF00FFu);
}

TEST_F(EffectTest, BoolsIntsAndRawValuesReachTheirUniforms) {
    EXPECT_TRUE(SUCCEEDED(effect->SetBool("flag", TRUE)));
    EXPECT_TRUE(SUCCEEDED(effect->SetInt("count", 2)));
    const float direction[3] = {0.0f, 0.0f, 1.0f};
    EXPECT_TRUE(SUCCEEDED(effect->SetValue("dir", direction, sizeof(direction))));
    DrawFullScreen("Typed");
    D3DCOLOR c = Pixel(30, 30);
    EXPECT_EQ(Red(c), 255);
    EXPECT_NEAR(Green(c), 128, 1);
    EXPECT_EQ(Blue(c), 255);

    // A single float fills only the first component; the rest keep the
    // initialiser's values.
    EXPECT_TRUE(SUCCEEDED(effect->SetFloat("second", 1.0f)));
    DrawFullScreen("Other");
    EXPECT_EQ(Pixel(30, 30), 0xFFFFFF00u);
}

TEST_F(EffectTest, MatricesAreUsedAsD3dxRowVectorProducts) {
    // A square of half-size 0.25 around the origin, moved by (0.5, 0.5): on a
    // Direct3D screen that is the upper right quadrant's centre.
    const Vertex square[6] = {{-0.25f, -0.25f, 0, 0, 0}, {-0.25f, 0.25f, 0, 0, 0}, {0.25f, 0.25f, 0, 0, 0},
                              {-0.25f, -0.25f, 0, 0, 0}, {0.25f, 0.25f, 0, 0, 0},  {0.25f, -0.25f, 0, 0, 0}};
    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, 0.5f, 0.5f, 0.0f);
    ASSERT_TRUE(SUCCEEDED(effect->SetMatrix(effect->GetParameterByName(nullptr, "matWVP"), &move)));
    SetColor(1, 1, 1, 1);
    Draw("Moved", square, 2);
    std::vector<D3DCOLOR> p = Pixels();
    auto at = [&](int x, int y) { return p[static_cast<size_t>(y) * kSize + x] & 0xFFFFFFu; };
    EXPECT_EQ(at(48, 16), 0xFFFFFFu) << "centre of the moved square";
    EXPECT_EQ(at(32, 32), 0u) << "where it was";
    EXPECT_EQ(at(48, 48), 0u) << "moved down instead of up";
    EXPECT_EQ(at(16, 16), 0u) << "moved left instead of right";
}

TEST_F(EffectTest, TexturesAreSampledWithThePassSamplerStates) {
    IDirect3DTexture9* texture = MakeTexture(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(SUCCEEDED(effect->SetTexture(effect->GetParameterByName(nullptr, "DiffuseTexture"), texture)));
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    DrawFullScreen("Sampled");
    std::vector<D3DCOLOR> p = Pixels();
    auto at = [&](int x, int y) { return p[static_cast<size_t>(y) * kSize + x] | 0xFF000000u; };
    // Point filtering from the pass: each quarter of the screen is one texel.
    EXPECT_EQ(at(30, 30), 0xFFFF0000u);
    EXPECT_EQ(at(34, 30), 0xFF00FF00u);
    EXPECT_EQ(at(5, 60), 0xFF0000FFu);
    EXPECT_EQ(at(60, 60), 0xFFFFFFFFu);

    // End gives the sampler its state back and drops the texture from the stage.
    DWORD filter = 0;
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_LINEAR));
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);

    // The effect holds its own reference: the texture outlives ours.
    texture->Release();
    DrawFullScreen("Sampled");
    EXPECT_EQ(Pixel(60, 60), 0xFFFFFFFFu);
    effect->SetTexture("DiffuseTexture", nullptr);
}

TEST_F(EffectTest, PassRenderStatesApplyAndAreRestored) {
    Clear(0xFF0000FF);
    SetColor(1, 0, 0, 0.5f);
    DrawFullScreen("Blended");
    D3DCOLOR c = Pixel(30, 30);
    EXPECT_NEAR(Red(c), 128, 2);
    EXPECT_EQ(Green(c), 0);
    EXPECT_NEAR(Blue(c), 127, 2);
    DWORD blend = 1;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, static_cast<DWORD>(FALSE));
    EXPECT_EQ(platform::CurrentEffectProgram(device), 0u) << "End goes back to fixed function";

    // The alpha test of a pass discards what fails it.
    Clear(0xFF0000FF);
    SetColor(1, 0, 0, 0.25f);
    DrawFullScreen("Tested");
    EXPECT_EQ(Pixel(30, 30), 0xFF0000FFu);
    SetColor(1, 0, 0, 0.75f);
    DrawFullScreen("Tested");
    EXPECT_EQ(Red(Pixel(30, 30)), 255);
    DWORD test = 1;
    device->GetRenderState(D3DRS_ALPHATESTENABLE, &test);
    EXPECT_EQ(test, static_cast<DWORD>(FALSE));

    // Two passes: the second adds its green onto the first's red.
    SetColor(1, 0, 0, 1);
    D3DXVECTOR4 green(0, 1, 0, 1);
    effect->SetVector("second", &green);
    Clear(0xFF000000);
    DrawFullScreen("TwoPasses");
    EXPECT_EQ(Pixel(30, 30), 0xFFFFFF00u);
}

TEST_F(EffectTest, CommitChangesSendsValuesInsideAPass) {
    const Vertex left[3] = {{-1, -1, 0, 0, 0}, {-1, 3, 0, 0, 0}, {0, -1, 0, 0, 0}};
    const Vertex right[3] = {{0, -1, 0, 0, 0}, {0, 3, 0, 0, 0}, {3, -1, 0, 0, 0}};
    ASSERT_TRUE(SUCCEEDED(effect->SetTechnique("Solid")));
    device->SetFVF(kFvf);
    device->BeginScene();
    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    SetColor(1, 0, 0, 1);
    effect->CommitChanges();
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, left, sizeof(Vertex));
    SetColor(0, 0, 1, 1);
    EXPECT_TRUE(SUCCEEDED(effect->CommitChanges()));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, right, sizeof(Vertex));
    effect->EndPass();
    effect->End();
    device->EndScene();
    EXPECT_EQ(Pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(Pixel(54, 10), 0xFF0000FFu);
    EXPECT_EQ(passes, 1u);
    EXPECT_TRUE(FAILED(effect->CommitChanges())) << "outside a pass";
}

TEST_F(EffectTest, UnknownNamesAndNullHandlesAreHarmless) {
    D3DXHANDLE none = effect->GetParameterByName(nullptr, "noSuchParameter");
    EXPECT_EQ(none, nullptr);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    float out = 7;
    EXPECT_EQ(effect->SetMatrix(none, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetFloat(none, &out), D3DERR_INVALIDCALL);
    EXPECT_EQ(out, 7.0f);
    EXPECT_EQ(effect->SetFloat("noSuchParameter", 1.0f), D3DERR_INVALIDCALL);
    // Wrong kinds: a texture into a vector, numbers into a sampler.
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
    EXPECT_FALSE(effect->IsParameterUsed(unused, "Solid"));
    EXPECT_TRUE(effect->IsParameterUsed("color", "Solid"));
    SetColor(0, 1, 1, 1);
    DrawFullScreen("Solid");
    EXPECT_EQ(Pixel(30, 30), 0xFF00FFFFu);
    // More values than the parameter holds are cut, not written past it.
    std::vector<float> many(100, 1.0f);
    EXPECT_TRUE(SUCCEEDED(effect->SetFloatArray("palette", many.data(), 100)));
}

class EffectFileTest : public DeviceTest {
protected:
    std::string Write(const char* name, const std::string& text) {
        std::ofstream(name) << text;
        written.push_back(name);
        return name;
    }
    void TearDown() override {
        for (const std::string& n : written) std::remove(n.c_str());
        DeviceTest::TearDown();
    }
    std::vector<std::string> written;
};

TEST_F(EffectFileTest, CompileErrorsFailWithTheCompilersTextAndLine) {
    Write("broken.fx", "vertex V { void main() { gl_Position = inPosition; } }\n"
                       "fragment F {\n"
                       "    void main() {\n"
                       "        outColor = undeclaredThing;\n"
                       "    }\n"
                       "}\n"
                       "technique T { pass { vertex = V; fragment = F; } }\n");
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    ID3DXBuffer* errors = nullptr;
    HRESULT hr = D3DXCreateEffectFromFileA(device, "broken.fx", nullptr, nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR,
                                           nullptr, &effect, &errors);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(effect, nullptr);
    ASSERT_NE(errors, nullptr);
    std::string text(static_cast<const char*>(errors->GetBufferPointer()));
    EXPECT_EQ(errors->GetBufferSize(), text.size() + 1);
    errors->Release();
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

    auto fails = [&](const char* name, const std::string& text, const char* expected) {
        Write(name, text);
        ID3DXBuffer* buffer = nullptr;
        EXPECT_TRUE(FAILED(D3DXCreateEffectFromFileA(device, name, nullptr, nullptr, 0, nullptr, &effect, &buffer)));
        ASSERT_NE(buffer, nullptr) << name;
        std::string message(static_cast<const char*>(buffer->GetBufferPointer()));
        buffer->Release();
        EXPECT_NE(message.find(expected), std::string::npos) << message;
        EXPECT_EQ(effect, nullptr);
    };
    const std::string shaders = "vertex V { void main() { gl_Position = inPosition; } }\n"
                                "fragment F { uniform sampler2D tex; void main() { outColor = texture(tex, vec2(0.5)); } }\n";
    fails("state.fx", shaders + "technique T { pass { vertex = V; fragment = F;\n ZEnabled = true; } }\n",
          "state.fx(4): error: unknown render state 'ZEnabled'");
    fails("value.fx", shaders + "technique T { pass { vertex = V; fragment = F;\n CullMode = Sideways; } }\n",
          "value.fx(4): error: 'Sideways' is not a value of CullMode");
    // A function declared but defined nowhere: each stage compiles, linking fails.
    fails("link.fx", "vertex V { void main() { gl_Position = inPosition; } }\n"
                     "fragment F { float helper(); void main() { outColor = vec4(helper()); } }\n"
                     "technique T { pass Only { vertex = V; fragment = F; } }\n",
          "error linking technique 'T', pass 'Only'");

    // Macros reach the shaders.
    Write("macro.fx", "vertex V { void main() { gl_Position = inPosition; } }\n"
                      "fragment F { void main() { outColor = vec4(LEVEL); } }\n"
                      "technique T { pass { vertex = V; fragment = F; } }\n");
    const D3DXMACRO macros[] = {{"LEVEL", "0.5"}, {nullptr, nullptr}};
    EXPECT_TRUE(SUCCEEDED(D3DXCreateEffectFromFileA(device, "macro.fx", macros, nullptr, 0, nullptr, &effect, nullptr)));
    ASSERT_NE(effect, nullptr);
    effect->Release();
}

} // namespace
} // namespace fxtest
