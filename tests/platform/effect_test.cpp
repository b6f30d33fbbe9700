// Effects: the file reader, uniform discovery and compiler messages without a
// device; then on a real one, what the passes draw, with which parameter values
// and states, and how failures and unknown names behave.
#include "d3d_fixture.h"
#include "platform/d3dx9effect_file.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include <epoxy/gl.h>

using namespace d3dtest;
using namespace platform::fxfile;

namespace {

std::string ParseError(const std::string& text) {
    File f;
    std::string error;
    EXPECT_FALSE(Parse(text, "fx.fx", f, error));
    return error;
}

// Braces inside comments and nested code, passes named by index, shared shader keys.
TEST(EffectFile, ReadsTechniquesPassesAndShaders) {
    File f;
    std::string error;
    ASSERT_TRUE(Parse(R"(// a comment { with braces }
shared { uniform vec4 tint; /* } */ }
technique First {
    pass Lit {
        vertex = VS;
        fragment { void main() { if (true) { outColor = tint; } } }
    }
    pass { vertex = VS; fragment = FS; }
}
technique Second { pass P { vertex = VS; fragment = FS; } }
vertex VS { void main() { gl_Position = inPosition; } }
fragment FS { void main() { outColor = vec4(1.0); } }
)", "fx.fx", f, error)) << error;
    ASSERT_EQ(f.shared.size(), 1u);
    EXPECT_NE(f.shared[0].code.find("/* } */"), std::string::npos);
    ASSERT_EQ(f.techniques.size(), 2u);
    const Technique& first = f.techniques[0];
    ASSERT_EQ(first.passes.size(), 2u);
    EXPECT_NE(first.passes[0].fragment.code.find("outColor = tint; } }"), std::string::npos);
    EXPECT_EQ(first.passes[0].fragment.line, 6);
    EXPECT_EQ(first.passes[0].fragmentKey[0], '@') << "inline code gets a key of its own";
    EXPECT_EQ(first.passes[1].name, "P1");
    EXPECT_EQ(first.passes[1].vertexKey, f.techniques[1].passes[0].vertexKey);
    EXPECT_EQ(first.passes[1].fragmentKey, "FS");
}

TEST(EffectFile, ReportsMistakesWithTheirLine) {
    EXPECT_EQ(ParseError("technique T {\n pass {\n vertex = Nowhere;\n fragment { void main() {} }\n }\n}\n"),
              "fx.fx(3): error: unknown vertex shader 'Nowhere'");
    EXPECT_EQ(ParseError("vertex V { }\ntechnique T {\n  pass P { vertex = V; }\n}\n"),
              "fx.fx(3): error: pass 'P' of technique 'T' has no fragment shader");
    EXPECT_EQ(ParseError("\n\nshared {\n void f() {\n"), "fx.fx(3): error: code block is not closed");
    EXPECT_EQ(ParseError("vertex V {}\nvertex V {}\n"), "fx.fx(2): error: vertex shader 'V' is defined twice");
    EXPECT_EQ(ParseError("vertex V {}\nfragment F {}\ntechnique T { pass {\n vertex = V; fragment = F;\n"
                         " ZEnable = true\n } }\n"),
              "fx.fx(5): error: expected ';' after the value");
    EXPECT_EQ(ParseError("/* never closed\n"), "fx.fx(1): error: unterminated comment");
}

TEST(EffectFile, FindsUniformsWithTheirTypesAndSizes) {
    const auto found = FindUniforms(R"(
#define BONES 30
#define NOT_A_NUMBER foo
const int PARTICLES = 40;
uniform mat4 matWVP;
uniform vec4 bones[BONES * 3], particle_data[PARTICLES * 12 / 4];
uniform highp float scale = 2.0, bias = max(1.0, 2.0);
uniform sampler2D DiffuseTexture;   // uniform float commented;
/* uniform float alsoCommented; */
uniform float weights[NOT_A_NUMBER];
uniform mat4 matWVP;
void f() { float uniformish = 1.0; }
)");
    const struct {
        const char *name, *type;
        int size;
    } expected[] = {{"matWVP", "mat4", 0}, {"bones", "vec4", 90}, {"particle_data", "vec4", 120},
                    {"scale", "float", 0}, // the comma inside max( ) below does not start a declarator
                    {"bias", "float", 0},  {"DiffuseTexture", "sampler2D", 0}, {"weights", "float", -1}};
    ASSERT_EQ(found.size(), std::size(expected)); // matWVP twice is one uniform
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].name, expected[i].name);
        EXPECT_EQ(found[i].type, expected[i].type) << expected[i].name;
        EXPECT_EQ(found[i].arraySize, expected[i].size) << expected[i].name;
    }
}

TEST(EffectFile, CompilerMessagesPointIntoTheFile) {
    const std::string log = "0:12(5): error: `foo' undeclared\n"
                            "1000:3(1): error: in the prelude\n"
                            "0(7) : error C1008: undefined variable\n"
                            "ERROR: 0:9: 'x' : syntax error\n"
                            "warning: no position\n";
    EXPECT_EQ(RewriteCompilerLog(log, "data/fx/effects4.fx"),
              "data/fx/effects4.fx(12,5): error: `foo' undeclared\n"
              "<prelude>(3,1): error: in the prelude\n"
              "data/fx/effects4.fx(7) : error C1008: undefined variable\n"
              "ERROR: data/fx/effects4.fx(9): 'x' : syntax error\n"
              "warning: no position\n");
}

// Sizes a hostile file can write: each must come back unknown (-1), not
// crash, trap or allocate what it asks for.
TEST(EffectFile, ArraySizesThatDoNotFitAreUnknownAndSourceNumbersNeverThrow) {
    const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
    const struct {
        std::string size;
        int expected;
    } cases[] = {
        {"(-9223372036854775807 - 1) / -1", -1}, // INT64_MIN / -1 traps in hardware
        {"9223372036854775807 * 2", -1},
        {"9223372036854775807 + 1", -1},
        {"(-9223372036854775807 - 1) - 1", -1},
        {"99999999999999999999", -1},
        {"4097", -1},
        {"2147483648", -1},
        {deep, -1},
        {"(((((((((((((((((((((((((((((((8)))))))))))))))))))))))))))))))", 8}, // 31 deep still reads
        {"4096", 4096},
    };
    for (const auto& c : cases) {
        const auto found = FindUniforms("uniform vec4 a[" + c.size + "];");
        ASSERT_EQ(found.size(), 1u) << c.size.substr(0, 40);
        EXPECT_EQ(found[0].arraySize, c.expected) << c.size.substr(0, 40);
    }
    EXPECT_EQ(RewriteCompilerLog("99999999999999999999:5(1): error: x\n", "fx.fx"), "<prelude>(5,1): error: x\n");
}

const char* const kEffect = R"(
shared {
    uniform vec4 color;
    uniform vec4 second = vec4(0.0, 1.0, 0.0, 1.0);
    uniform sampler2D DiffuseTexture;
    uniform vec4 palette[3];
    uniform float unusedByAnyShader;
    uniform bool flag;
    uniform vec3 dir;
    VARYING vec2 uv;
}
vertex Clip { void main() { gl_Position = vec4(inPosition.xyz, 1.0); uv = inTexCoord0.xy; } }
fragment Flat { void main() { outColor = color; } }
fragment Second { void main() { outColor = second; } }
fragment Textured { void main() { outColor = tex2D(DiffuseTexture, uv); } }
// Blue only where the stage reads as one opaque black texel.
fragment Empty {
    void main() {
        bool oneBlackTexel = textureSize(DiffuseTexture, 0) == ivec2(1) &&
                             texelFetch(DiffuseTexture, ivec2(0), 0) == vec4(0.0, 0.0, 0.0, 1.0);
        outColor = oneBlackTexel ? vec4(0.0, 0.0, 1.0, 1.0) : vec4(1.0, 0.0, 0.0, 1.0);
    }
}
fragment Typed { void main() { outColor = vec4(flag ? 1.0 : 0.0, palette[2].b, dir.z, 1.0); } }
sampler DiffuseTexture { MinFilter = Linear; MagFilter = Linear; }
technique Solid { pass { vertex = Clip; fragment = Flat; } }
technique Other { pass { vertex = Clip; fragment = Second; } }
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
technique Empty { pass { vertex = Clip; fragment = Empty; } }
technique Typed { pass { vertex = Clip; fragment = Typed; } }
technique TwoPasses {
    pass { vertex = Clip; fragment = Flat; }
    pass { vertex = Clip; fragment = Second; AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; }
}
)";

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
        ASSERT_TRUE(SUCCEEDED(hr) && effect) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    }
    void TearDown() override {
        effect.reset();
        D3DTest::TearDown();
    }

    // Runs every pass of the technique over the whole target, as the game does.
    void Draw(const char* technique) {
        // v = 0 at the top, as Direct3D lays it out.
        const TexVertex screen[3] = {{-1, -1, 0, 0, 1}, {-1, 3, 0, 0, -1}, {3, -1, 0, 2, 1}};
        ASSERT_TRUE(SUCCEEDED(effect->SetTechnique(effect->GetTechniqueByName(technique)))) << technique;
        device->SetFVF(kTexFvf);
        device->BeginScene();
        UINT passes = 0;
        ASSERT_TRUE(SUCCEEDED(effect->Begin(&passes, 0)));
        for (UINT i = 0; i < passes; ++i) {
            ASSERT_TRUE(SUCCEEDED(effect->BeginPass(i)));
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, screen, sizeof(TexVertex));
            effect->EndPass();
        }
        effect->End();
        device->EndScene();
    }

    void SetColor(float r, float g, float b, float a) {
        const float rgba[4] = {r, g, b, a};
        ASSERT_TRUE(SUCCEEDED(effect->SetFloatArray(effect->GetParameterByName(nullptr, "color"), rgba, 4)));
    }

    Ref<ID3DXEffect> effect;
};

TEST_F(EffectTest, ParametersReachTheirUniforms) {
    // An initialiser is the value until one is set; SetVector replaces it.
    Draw("Other");
    EXPECT_EQ(Pixel(30, 20), kGreen);
    D3DXVECTOR4 blue(0, 0, 1, 1);
    ASSERT_TRUE(SUCCEEDED(effect->SetVector("second", &blue))) << "a name works as a handle";
    Draw("Other");
    EXPECT_EQ(Pixel(30, 20), kBlue);
    // A single float fills only the first component; the rest keep theirs.
    EXPECT_TRUE(SUCCEEDED(effect->SetFloat("second", 1.0f)));
    Draw("Other");
    EXPECT_EQ(Pixel(30, 20), 0xFFFF00FFu);

    // A bool, a float array filling an array of vectors in order, raw bytes.
    const float palette[12] = {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1};
    ASSERT_TRUE(SUCCEEDED(effect->SetFloatArray(effect->GetParameterByName(nullptr, "palette"), palette, 12)));
    EXPECT_TRUE(SUCCEEDED(effect->SetBool("flag", TRUE)));
    const float direction[3] = {0.0f, 0.0f, 1.0f};
    EXPECT_TRUE(SUCCEEDED(effect->SetValue("dir", direction, sizeof(direction))));
    Draw("Typed");
    EXPECT_EQ(Pixel(30, 20), kWhite);

    // A parameter the compiler dropped still keeps its value.
    EXPECT_TRUE(SUCCEEDED(effect->SetFloat("unusedByAnyShader", 3.5f)));
    float back = 0;
    EXPECT_TRUE(SUCCEEDED(effect->GetFloat("unusedByAnyShader", &back)));
    EXPECT_EQ(back, 3.5f);
    // More values than the parameter holds are cut, not written past it.
    std::vector<float> many(100, 1.0f);
    EXPECT_TRUE(SUCCEEDED(effect->SetFloatArray("palette", many.data(), 100)));
    SetColor(0, 1, 1, 1);
    Draw("Solid");
    EXPECT_EQ(Pixel(30, 20), 0xFF00FFFFu);
}

TEST_F(EffectTest, TexturesAreSampledWithThePassSamplerStates) {
    Ref<IDirect3DTexture9> texture = Texture(2, 2, {kRed, kGreen, kBlue, kWhite});
    ASSERT_TRUE(SUCCEEDED(effect->SetTexture(effect->GetParameterByName(nullptr, "DiffuseTexture"), texture.get())));
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    Draw("Sampled");
    // Point filtering from the pass: each quarter of the screen is one texel.
    const std::vector<D3DCOLOR> p = Pixels();
    EXPECT_EQ(p[20 * kWidth + 30], kRed);
    EXPECT_EQ(p[20 * kWidth + 34], kGreen);
    EXPECT_EQ(p[44 * kWidth + 5], kBlue);

    // End gives the sampler its state back and drops the texture from the stage.
    DWORD filter = 0;
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter);
    EXPECT_EQ(filter, static_cast<DWORD>(D3DTEXF_LINEAR));
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);

    // The effect holds its own reference: the texture outlives ours.
    texture.reset();
    Draw("Sampled");
    EXPECT_EQ(Pixel(60, 44), kWhite);
    effect->SetTexture("DiffuseTexture", nullptr);

    // An empty stage samples as Direct3D 9 answers, one opaque black texel,
    // whatever the driver keeps in its texture 0 (here: a 2 x 2 white image,
    // as some drivers answer): the game's shaders tell a missing lightmap or
    // normal map by it.
    const unsigned char white[16] = {255, 255, 255, 255, 255, 255, 255, 255,
                                     255, 255, 255, 255, 255, 255, 255, 255};
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    Draw("Empty");
    EXPECT_EQ(Pixel(30, 20), kBlue);
}

TEST_F(EffectTest, PassRenderStatesApplyAndAreRestored) {
    Clear(kBlue);
    SetColor(1, 0, 0, 0.5f);
    Draw("Blended");
    EXPECT_TRUE(Near(Pixel(30, 20), 0xFF80007Fu));
    DWORD state = 1;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &state);
    EXPECT_EQ(state, static_cast<DWORD>(FALSE));
    EXPECT_EQ(platform::CurrentEffectProgram(device), 0u) << "End goes back to fixed function";

    // The alpha test of a pass discards what fails it.
    Clear(kBlue);
    SetColor(1, 0, 0, 0.25f);
    Draw("Tested");
    EXPECT_EQ(Pixel(30, 20), kBlue);
    SetColor(1, 0, 0, 0.75f);
    Draw("Tested");
    EXPECT_EQ(Channel(Pixel(30, 20), 16), 255);

    // Two passes: the second adds its green onto the first's red.
    SetColor(1, 0, 0, 1);
    Clear(kBlack);
    Draw("TwoPasses");
    EXPECT_EQ(Pixel(30, 20), 0xFFFFFF00u);
}

// Draws the alpha test does not concern go without it (a program of their
// own, built once); one the game asks to test once the pass has begun is
// tested all the same.
TEST_F(EffectTest, OnlyDrawsAskingForTheAlphaTestPayForIt) {
    SetColor(1, 0, 0, 0.25f);
    const size_t loaded = platform::EffectProgramCount(effect.get());
    Clear(kBlue);
    Draw("Solid");
    EXPECT_EQ(Channel(Pixel(30, 20), 16), 255);
    EXPECT_EQ(platform::EffectProgramCount(effect.get()), loaded + 1);
    Draw("Solid");
    EXPECT_EQ(platform::EffectProgramCount(effect.get()), loaded + 1);

    const TexVertex screen[3] = {{-1, -1, 0, 0, 1}, {-1, 3, 0, 0, -1}, {3, -1, 0, 2, 1}};
    Clear(kBlue);
    ASSERT_TRUE(SUCCEEDED(effect->SetTechnique("Solid")));
    device->SetFVF(kTexFvf);
    device->BeginScene();
    UINT passes = 0;
    ASSERT_TRUE(SUCCEEDED(effect->Begin(&passes, 0)));
    ASSERT_TRUE(SUCCEEDED(effect->BeginPass(0)));
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ALPHAREF, 128);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, screen, sizeof(TexVertex));
    effect->EndPass();
    effect->End();
    device->EndScene();
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    EXPECT_EQ(Pixel(30, 20), kBlue);
    EXPECT_EQ(platform::EffectProgramCount(effect.get()), loaded + 1) << "the tested program is the first";
}

TEST_F(EffectTest, UnknownNamesAndWrongKindsFail) {
    D3DXHANDLE none = effect->GetParameterByName(nullptr, "noSuchParameter");
    EXPECT_EQ(none, nullptr);
    float out = 7;
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
}

// Pass calls out of order fail instead of drawing with half-set state.
TEST_F(EffectTest, CommitChangesSendsValuesInsideAPassAndCallsOutOfOrderFail) {
    const TexVertex left[3] = {{-1, -1, 0, 0, 0}, {-1, 3, 0, 0, 0}, {0, -1, 0, 0, 0}};
    const TexVertex right[3] = {{0, -1, 0, 0, 0}, {0, 3, 0, 0, 0}, {3, -1, 0, 0, 0}};
    ASSERT_TRUE(SUCCEEDED(effect->SetTechnique("Solid")));
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    UINT passes = 0;
    ASSERT_TRUE(SUCCEEDED(effect->Begin(&passes, 0)));
    EXPECT_EQ(effect->BeginPass(passes), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique("Other"), D3DERR_INVALIDCALL);
    ASSERT_TRUE(SUCCEEDED(effect->BeginPass(0)));
    device->SetFVF(kTexFvf);
    SetColor(1, 0, 0, 1);
    effect->CommitChanges();
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, left, sizeof(TexVertex));
    SetColor(0, 0, 1, 1);
    EXPECT_TRUE(SUCCEEDED(effect->CommitChanges()));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, right, sizeof(TexVertex));
    effect->EndPass();
    EXPECT_TRUE(SUCCEEDED(effect->End()));
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
    EXPECT_TRUE(FAILED(effect->CommitChanges())) << "outside a pass";
    EXPECT_EQ(Pixel(10, 10), kRed);
    EXPECT_EQ(Pixel(54, 10), kBlue);
}

// Files written for the test: what each failure reports, and that macros reach the shaders.
TEST_F(D3DTest, EffectFilesReportTheirFailuresCause) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = reinterpret_cast<ID3DXBuffer*>(1);
    EXPECT_EQ(D3DXCreateEffectFromFileA(device, "missing.fx", nullptr, nullptr, 0, nullptr, &effect, &errors),
              D3DERR_NOTFOUND);
    EXPECT_EQ(errors, nullptr) << "no compiler text for a file that is not there";
    EXPECT_EQ(effect, nullptr);

    const std::string vs = "vertex V { void main() { gl_Position = inPosition; } }\n";
    const std::string shaders = vs + "fragment F { void main() { outColor = vec4(LEVEL); } }\n";
    const D3DXMACRO macros[] = {{"LEVEL", "0.5"}, {nullptr, nullptr}};
    const struct {
        const char* name;
        std::string text;
        const char* expected[2]; // in the compiler's text; nothing expected means success
    } cases[] = {
        {"broken.fx", vs + "fragment F {\n void main() {\n  outColor = undeclaredThing;\n }\n}\n"
                           "technique T { pass { vertex = V; fragment = F; } }\n",
         {"error compiling fragment shader 'F'", "broken.fx(4,"}},
        {"state.fx", shaders + "technique T { pass { vertex = V; fragment = F;\n ZEnabled = true; } }\n",
         {"state.fx(4): error: unknown render state 'ZEnabled'", ""}},
        {"value.fx", shaders + "technique T { pass { vertex = V; fragment = F;\n CullMode = Sideways; } }\n",
         {"value.fx(4): error: 'Sideways' is not a value of CullMode", ""}},
        // A function declared but defined nowhere: each stage compiles, linking fails.
        {"link.fx", vs + "fragment F { float helper(); void main() { outColor = vec4(helper()); } }\n"
                         "technique T { pass Only { vertex = V; fragment = F; } }\n",
         {"error linking technique 'T', pass 'Only'", ""}},
        {"macro.fx", shaders + "technique T { pass { vertex = V; fragment = F; } }\n", {nullptr, nullptr}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(c.name) << c.text;
        effect = reinterpret_cast<ID3DXEffect*>(1);
        errors = nullptr;
        const HRESULT hr = D3DXCreateEffectFromFileA(device, c.name, macros, nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR,
                                                     nullptr, &effect, &errors);
        std::remove(c.name);
        Ref<ID3DXEffect> made(SUCCEEDED(hr) ? effect : nullptr);
        Ref<ID3DXBuffer> text(errors);
        const std::string message = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        EXPECT_EQ(SUCCEEDED(hr), !c.expected[0]) << message;
        EXPECT_EQ(effect != nullptr, SUCCEEDED(hr)) << "no effect unless it compiled";
        if (errors)
            EXPECT_EQ(errors->GetBufferSize(), message.size() + 1);
        for (const char* part : c.expected)
            if (part)
                EXPECT_NE(message.find(part), std::string::npos) << message;
    }
}

} // namespace

namespace {

TEST(EffectFile, FindsEachSwitchOnceInAFixedOrder) {
    const std::vector<Switch> found = FindSwitches(
        "if (BOUND(Normals) && SWITCH( fog )) {} x = SWITCH(fog) + BOUND (Albedo) + SAMPLE(Light, uv).r; // SWITCH(3)");
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].name, "fog");
    EXPECT_EQ(found[0].kind, Switch::Bool);
    EXPECT_EQ(found[1].name, "Albedo");
    EXPECT_EQ(found[1].kind, Switch::Bound);
    EXPECT_EQ(found[2].name, "Normals");
    EXPECT_EQ(found[3].name, "Light");
    EXPECT_EQ(found[3].kind, Switch::Sample);

    // Only whole words, across line breaks, and a sample's name before its comma.
    const std::vector<Switch> words = FindSwitches("MYSWITCH(a) SWITCH_B(b) 2BOUND(c) SWITCH(\n  d\n) SAMPLE\t( Tex ,uv) SAMPLE(e)");
    ASSERT_EQ(words.size(), 2u);
    EXPECT_TRUE(words[0].name == "d" && words[0].kind == Switch::Bool);
    EXPECT_TRUE(words[1].name == "Tex" && words[1].kind == Switch::Sample);
}

// Switches drawn folded into constants give what the shader's own tests give;
// a variant that drops a sampler keeps every other sampler on its unit, with
// that unit's pass states.
const char* const kSwitchEffect = R"(
shared {
    uniform bool useFirst = true;
    uniform sampler2D First;
    uniform sampler2D Second;
    VARYING vec2 uv;
}
vertex Clip { void main() { gl_Position = vec4(inPosition.xyz, 1.0); uv = inTexCoord0.xy; } }
technique Switched {
    pass {
        vertex = Clip;
        fragment {
            void main() {
                vec4 c = vec4(0.0, 0.0, 0.0, 1.0);
                if (SWITCH(useFirst)) c.r = tex2D(First, uv).r;
                if (BOUND(Second)) c.g = tex2D(Second, uv).g; else c.b = 1.0;
                outColor = c;
            }
        }
        sampler First { MinFilter = Linear; MagFilter = Linear; }
        sampler Second { MinFilter = Point; MagFilter = Point; }
    }
}
technique Read {
    pass {
        vertex = Clip;
        fragment { void main() { outColor = SAMPLE(First, uv); } }
        sampler First { MinFilter = Linear; MagFilter = Linear; AddressU = Wrap; AddressV = Clamp; }
    }
}
)";

class EffectSwitchTest : public D3DTest {
protected:
    Ref<ID3DXEffect> Compile(DWORD flags) {
        ID3DXEffect* compiled = nullptr;
        ID3DXBuffer* errors = nullptr;
        const HRESULT hr = D3DXCreateEffect(device, kSwitchEffect, static_cast<UINT>(std::strlen(kSwitchEffect)),
                                            nullptr, nullptr, flags, nullptr, &compiled, &errors);
        Ref<ID3DXBuffer> text(errors);
        EXPECT_TRUE(SUCCEEDED(hr)) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        return Ref<ID3DXEffect>(compiled);
    }

    // The pixel at (30, 20): a quarter of the way into the first texel of a
    // 2x2 texture, where point and linear filtering read apart.
    D3DCOLOR DrawWith(ID3DXEffect* effect, bool useFirst, IDirect3DTexture9* second, bool switchInsidePass = false,
                      const char* technique = "Switched") {
        const TexVertex screen[3] = {{-1, -1, 0, 0, 1}, {-1, 3, 0, 0, -1}, {3, -1, 0, 2, 1}};
        effect->SetTechnique(technique);
        effect->SetBool("useFirst", switchInsidePass ? !useFirst : useFirst);
        effect->SetTexture("Second", second);
        Clear(0xFF808080u);
        device->SetFVF(kTexFvf);
        device->BeginScene();
        UINT passes = 0;
        effect->Begin(&passes, 0);
        effect->BeginPass(0);
        if (switchInsidePass) {
            effect->SetBool("useFirst", useFirst);
            effect->CommitChanges();
        }
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, screen, sizeof(TexVertex));
        effect->EndPass();
        effect->End();
        device->EndScene();
        effect->SetTexture("Second", nullptr);
        return Pixel(30, 20);
    }
};

TEST_F(EffectSwitchTest, FoldedSwitchesDrawWhatTheirTestsDraw) {
    Ref<ID3DXEffect> folded = Compile(D3DXSHADER_PACKMATRIX_ROWMAJOR);
    Ref<ID3DXEffect> tested = Compile(D3DXSHADER_PACKMATRIX_ROWMAJOR | D3DXSHADER_SKIPOPTIMIZATION);
    ASSERT_TRUE(folded && tested);
    Ref<IDirect3DTexture9> red = Texture(2, 2, {kRed, kRed, kRed, kRed});
    Ref<IDirect3DTexture9> checks = Texture(2, 2, {0xFF000000u, kGreen, kGreen, 0xFF000000u});
    Ref<IDirect3DTexture9> blackTexel = Texture(1, 1, {0xFF000000u});
    Ref<IDirect3DTexture9> whiteTexel = Texture(1, 1, {kWhite});
    for (ID3DXEffect* effect : {folded.get(), tested.get()})
        effect->SetTexture("First", red.get());

    const struct {
        const char* name;
        bool useFirst;
        IDirect3DTexture9* second;
        bool switchInsidePass;
        D3DCOLOR expected; // 0: whatever the shader's own tests give
    } cases[] = {
        {"both", true, checks.get(), false, 0xFFFF0000u},
        {"first off: the second keeps its unit and point filter", false, checks.get(), false, 0xFF000000u},
        {"switched by a commit inside the pass", true, checks.get(), true, 0xFFFF0000u},
        {"switched off by a commit", false, checks.get(), true, 0xFF000000u},
        {"one black texel reads as no texture", true, blackTexel.get(), false, 0xFFFF00FFu},
        {"one white texel is a texture", false, whiteTexel.get(), false, 0xFF00FF00u},
        {"no texture", true, nullptr, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const D3DCOLOR asTested = DrawWith(tested.get(), c.useFirst, c.second, c.switchInsidePass);
        EXPECT_EQ(DrawWith(folded.get(), c.useFirst, c.second, c.switchInsidePass), asTested);
        if (c.expected)
            EXPECT_EQ(asTested, c.expected);
    }
}

// A texture of one colour is read as that colour, channel for channel, and
// read again once anything writes into it.
TEST_F(EffectSwitchTest, OneColourTexturesReadAsTheirColourUntilWrittenTo) {
    Ref<ID3DXEffect> folded = Compile(D3DXSHADER_PACKMATRIX_ROWMAJOR);
    Ref<ID3DXEffect> tested = Compile(D3DXSHADER_PACKMATRIX_ROWMAJOR | D3DXSHADER_SKIPOPTIMIZATION);
    ASSERT_TRUE(folded && tested);
    const D3DCOLOR teal = 0xC80A5AC8u;
    Ref<IDirect3DTexture9> solid = Texture(2, 2, {teal, teal, teal, teal});
    auto read = [&](ID3DXEffect* effect) {
        effect->SetTexture("First", solid.get());
        const D3DCOLOR c = DrawWith(effect, true, nullptr, false, "Read");
        effect->SetTexture("First", nullptr);
        return c;
    };
    EXPECT_EQ(read(folded.get()), read(tested.get()));
    EXPECT_EQ(read(folded.get()) & 0x00FFFFFFu, teal & 0x00FFFFFFu);

    // Written by a lock, then by a copy, each time while known as one colour:
    // both read what it holds now (linear filtering mixes texels at the pixel).
    ASSERT_EQ(devicetest::FillTexture(solid.get(), 2, 2, std::vector<D3DCOLOR>{kRed, teal, teal, teal}.data()), D3D_OK);
    const D3DCOLOR mixed = read(tested.get());
    EXPECT_NE(mixed & 0x00FFFFFFu, teal & 0x00FFFFFFu);
    EXPECT_EQ(read(folded.get()), mixed);

    const D3DCOLOR green = 0xFF20A040u;
    ASSERT_EQ(devicetest::FillTexture(solid.get(), 2, 2, std::vector<D3DCOLOR>(4, green).data()), D3D_OK);
    EXPECT_EQ(read(folded.get()) & 0x00FFFFFFu, green & 0x00FFFFFFu);
    Ref<IDirect3DTexture9> source = Texture(2, 2, {kRed, teal, teal, teal});
    IDirect3DSurface9* from = nullptr;
    IDirect3DSurface9* to = nullptr;
    source->GetSurfaceLevel(0, &from);
    solid->GetSurfaceLevel(0, &to);
    Ref<IDirect3DSurface9> fromRef(from), toRef(to);
    ASSERT_EQ(device->StretchRect(from, nullptr, to, nullptr, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(read(folded.get()), mixed);
}

} // namespace
