// The effect file reader, uniform discovery and compiler-message rewriting,
// without a device.
#include "platform/d3dx9effect_file.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::fxfile;

File ParseOk(const std::string& text) {
    File f;
    std::string error;
    EXPECT_TRUE(Parse(text, "fx.fx", f, error)) << error;
    return f;
}

std::string ParseError(const std::string& text) {
    File f;
    std::string error;
    EXPECT_FALSE(Parse(text, "fx.fx", f, error));
    return error;
}

TEST(EffectFile, ReadsTechniquesPassesShadersAndStates) {
    const File f = ParseOk(R"(// a comment { with braces }
shared { uniform vec4 tint; /* } */ }
technique First {
    pass Lit {
        vertex = VS;           // defined further down
        fragment { void main() { if (true) { outColor = tint; } } }
        ZEnable = true; AlphaRef = 0x80;
        sampler Diffuse { AddressU = Clamp; }
    }
    pass { vertex = VS; fragment = FS; }
}
technique Second { pass P { vertex = VS; fragment = FS; CullMode = None; } }
vertex VS { void main() { gl_Position = inPosition; } }
fragment FS { void main() { outColor = vec4(1.0); } }
sampler Diffuse { MinFilter = Linear; }
)");
    ASSERT_EQ(f.shared.size(), 1u);
    EXPECT_EQ(f.shared[0].line, 2);
    EXPECT_NE(f.shared[0].code.find("/* } */"), std::string::npos);
    ASSERT_EQ(f.techniques.size(), 2u);
    const Technique& first = f.techniques[0];
    EXPECT_EQ(first.name, "First");
    ASSERT_EQ(first.passes.size(), 2u);

    const Pass& lit = first.passes[0];
    EXPECT_EQ(lit.name, "Lit");
    EXPECT_EQ(lit.vertexKey, "VS");
    EXPECT_NE(lit.vertex.code.find("gl_Position"), std::string::npos);
    EXPECT_EQ(lit.vertex.line, 13);
    // Inline code keeps its nested braces and gets a key of its own.
    EXPECT_NE(lit.fragment.code.find("outColor = tint; } }"), std::string::npos);
    EXPECT_EQ(lit.fragment.line, 6);
    EXPECT_EQ(lit.fragmentKey[0], '@');
    ASSERT_EQ(lit.renderStates.size(), 2u);
    EXPECT_EQ(lit.renderStates[1].value, "0x80");
    EXPECT_EQ(lit.renderStates[1].line, 7);
    ASSERT_EQ(lit.samplers.size(), 1u);
    EXPECT_EQ(lit.samplers[0].states[0].value, "Clamp");

    // An unnamed pass is named by its index; passes sharing shaders share keys.
    EXPECT_EQ(first.passes[1].name, "P1");
    EXPECT_EQ(first.passes[1].vertexKey, f.techniques[1].passes[0].vertexKey);
    EXPECT_EQ(first.passes[1].fragmentKey, "FS");

    ASSERT_EQ(f.samplers.size(), 1u);
    EXPECT_EQ(f.samplers[0].states[0].name, "MinFilter");
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
    ASSERT_EQ(found.size(), 7u); // matWVP twice is one uniform
    auto expect = [&](size_t i, const char* name, const char* type, int size) {
        EXPECT_EQ(found[i].name, name);
        EXPECT_EQ(found[i].type, type) << name;
        EXPECT_EQ(found[i].arraySize, size) << name;
    };
    expect(0, "matWVP", "mat4", 0);
    expect(1, "bones", "vec4", 90);
    expect(2, "particle_data", "vec4", 120);
    expect(3, "scale", "float", 0);
    expect(4, "bias", "float", 0); // the comma inside max( ) does not start a declarator
    expect(5, "DiffuseTexture", "sampler2D", 0);
    expect(6, "weights", "float", -1);
}

TEST(EffectFile, StageSourcesCarryThePreludeAndFileLines) {
    const File f = ParseOk("shared {\n uniform float k;\n}\nvertex V {\n void main() {}\n}\nfragment F {\n"
                           " void main() { outColor = vec4(k); }\n}\ntechnique T { pass { vertex = V; fragment = F; } }\n");
    const std::string vs = BuildStageSource(f, Stage::Vertex, f.vertex.at("V"), {{"QUALITY", "2"}});
    EXPECT_EQ(vs.rfind("#version 330 core\n", 0), 0u);
    EXPECT_NE(vs.find("#define QUALITY 2"), std::string::npos);
    EXPECT_NE(vs.find("#line 1 0\n\n uniform float k;"), std::string::npos);
    EXPECT_NE(vs.find("#line 4 0\n\n void main() {}"), std::string::npos);
    EXPECT_LT(vs.find("uniform float k"), vs.find("void main() {}"));

    const std::string plain = BuildStageSource(f, Stage::Fragment, f.fragment.at("F"), {});
    EXPECT_NE(plain.find("out vec4 outColor;"), std::string::npos);
    EXPECT_EQ(plain.find("d3d_EffectMain"), std::string::npos);

    // With an alpha test, the file's main still runs, and the test follows it.
    const std::string tested =
        BuildStageSource(f, Stage::Fragment, f.fragment.at("F"), {}, "void d3d_AlphaTest(float a) {}");
    size_t rename = tested.find("#define main d3d_EffectMain");
    ASSERT_NE(rename, std::string::npos);
    EXPECT_LT(tested.find("uniform float k"), rename) << "shared code is not renamed";
    EXPECT_LT(rename, tested.find("void main() { outColor = vec4(k); }"));
    EXPECT_NE(tested.find("d3d_EffectMain(); d3d_AlphaTest(outColor.a);"), std::string::npos);
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

} // namespace
