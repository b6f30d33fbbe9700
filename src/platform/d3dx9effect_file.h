// Internal to the effect layer: the text form of our effect files and the GLSL
// sources built from it. The syntax itself is described at the top of
// d3dx9effect_file.cpp. Nothing here touches OpenGL, so all of it can be
// checked without a device.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace fxfile {

// A piece of GLSL as written in the file, with the file line of its first
// character so that compiler messages point into the effect file.
struct CodeBlock {
    std::string code;
    int line = 0;
};

// "Name = Value;" inside a pass or a sampler block, kept as text: the effect
// resolves the names against the device's states and reports unknown ones.
struct StateAssign {
    std::string name;
    std::string value;
    int line = 0;
};

struct SamplerBlock {
    std::string sampler; // the GLSL uniform the states belong to
    std::vector<StateAssign> states;
    int line = 0;
};

struct Pass {
    std::string name;
    int line = 0;
    // Key of the vertex and fragment code, equal for passes sharing a program.
    std::string vertexKey, fragmentKey;
    CodeBlock vertex, fragment;
    std::vector<StateAssign> renderStates;
    std::vector<SamplerBlock> samplers;
};

struct Technique {
    std::string name;
    int line = 0;
    std::vector<Pass> passes;
};

struct File {
    std::string name; // for messages
    std::vector<CodeBlock> shared;
    std::map<std::string, CodeBlock> vertex;
    std::map<std::string, CodeBlock> fragment;
    std::vector<SamplerBlock> samplers; // defaults that every pass starts from
    std::vector<Technique> techniques;
};

// Reads an effect file's text. On failure returns false with a message of the
// form "<fileName>(<line>): error: ..." in error.
bool Parse(const std::string& text, const std::string& fileName, File& out, std::string& error);

// A uniform declared in GLSL code, found by reading the source (so that
// uniforms the compiler drops are still known by name).
struct UniformDecl {
    std::string name;
    std::string type;  // GLSL type name as written ("vec4", "sampler2D", ...)
    int arraySize = 0; // 0: not an array; -1: an array whose size we could not work out
};

// Every "uniform" declaration at the top level of the code, in order; the same
// name twice is reported once. Sizes written as integer literals or as names
// given an integer by "#define" or "const int" are worked out.
std::vector<UniformDecl> FindUniforms(const std::string& code);

// A switch the code reads: SWITCH(name) of a bool parameter, BOUND(name) of a
// sampler, or SAMPLE(name, uv), a sampler read that may be a constant. The
// macros SWITCH_<name>, BOUND_<name> and SAMPLE_<name>(uv) must be defined for
// every compile of code that uses them.
struct Switch {
    enum Kind { Bool, Bound, Sample };
    std::string name;
    Kind kind = Bool;
};

// Every switch the code uses, each once, in a fixed order (by kind, then by
// name), so that equal uses give equal lists.
std::vector<Switch> FindSwitches(const std::string& code);

enum class Stage { Vertex, Fragment };

// The complete GLSL 330 source of one stage: version line, stage macro, the
// caller's macros, our prelude, every shared block and the stage's own code,
// each preceded by a #line directive so that messages carry effect-file lines.
// alphaTest, when given, is GLSL declaring "void d3d_AlphaTest(float alpha)":
// a fragment shader's main then runs as written and ends with that test on
// outColor.a, so a pass's alpha-test states work without the shader's help.
std::string BuildStageSource(const File& file, Stage stage, const CodeBlock& code,
                             const std::vector<std::pair<std::string, std::string>>& defines,
                             const std::string& alphaTest = std::string());

// The source-string number that #line gives the effect file's own lines;
// compiler messages name it where they would name a file.
constexpr int kFileSourceNumber = 0;
// The largest uniform array size taken from a declaration: beyond it the
// size is left unknown (no shader stage holds that many anyway).
constexpr int kMaxUniformArray = 4096;
// And the one used for our prelude, so a message there is not blamed on the file.
constexpr int kPreludeSourceNumber = 1000;

// Rewrites a GLSL compiler log so that positions in the effect file read as
// "<fileName>(line)" or "<fileName>(line,column)", the way D3DX reports them.
// Lines of any other form are kept as they are.
std::string RewriteCompilerLog(const std::string& log, const std::string& fileName);

} // namespace fxfile
} // namespace platform
