#include "platform/d3dx9effect.h"

#include "platform/com_object.h"
#include "platform/d3dx9effect_file.h"
#include "platform/files.h"
#include "platform/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace {

using platform::fxfile::CodeBlock;
using platform::fxfile::Stage;

// --- handles -------------------------------------------------------------------------
// A handle is the address of an interned name. Interned names live for the whole
// run, so a handle kept across a reload of the effect still reads as its name.
D3DXHANDLE Intern(const std::string& name) {
    static std::unordered_set<std::string> names;
    return names.insert(name).first->c_str();
}

// --- ID3DXBuffer -----------------------------------------------------------------------
class Buffer final : public platform::RefCounted<ID3DXBuffer> {
public:
    explicit Buffer(size_t size) : m_Bytes(size) {}
    void* GetBufferPointer() override { return m_Bytes.empty() ? nullptr : m_Bytes.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(m_Bytes.size()); }

private:
    std::vector<unsigned char> m_Bytes;
};

ID3DXBuffer* TextBuffer(const std::string& text) {
    Buffer* b = new Buffer(text.size() + 1);
    std::memcpy(b->GetBufferPointer(), text.c_str(), text.size() + 1);
    return b;
}

// --- parameters ------------------------------------------------------------------------
enum class Kind { Float, Int, Bool, Sampler };

struct Shape {
    bool valid = false;
    Kind kind = Kind::Float;
    D3DXPARAMETER_CLASS cls = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE type = D3DXPT_FLOAT;
    int rows = 1, cols = 1; // as D3DX sees it: a GLSL matCxR is C rows of R
};

Shape ShapeOf(const std::string& t) {
    Shape s;
    s.valid = true;
    auto vec = [&](const char* prefix, Kind kind, D3DXPARAMETER_TYPE type) {
        size_t n = std::strlen(prefix);
        if (t.size() == n + 1 && t.compare(0, n, prefix) == 0 && t[n] >= '2' && t[n] <= '4') {
            s.kind = kind;
            s.type = type;
            s.cls = D3DXPC_VECTOR;
            s.cols = t[n] - '0';
            return true;
        }
        return false;
    };
    if (t == "float") return s;
    if (t == "int" || t == "uint") { s.kind = Kind::Int; s.type = D3DXPT_INT; return s; }
    if (t == "bool") { s.kind = Kind::Bool; s.type = D3DXPT_BOOL; return s; }
    if (vec("vec", Kind::Float, D3DXPT_FLOAT) || vec("ivec", Kind::Int, D3DXPT_INT) ||
        vec("uvec", Kind::Int, D3DXPT_INT) || vec("bvec", Kind::Bool, D3DXPT_BOOL))
        return s;
    if (t.size() >= 4 && t.compare(0, 3, "mat") == 0) {
        int c = t[3] - '0', r = c;
        if (t.size() == 6 && t[4] == 'x') r = t[5] - '0';
        else if (t.size() != 4) return Shape{};
        if (c < 2 || c > 4 || r < 2 || r > 4) return Shape{};
        s.cls = D3DXPC_MATRIX_ROWS;
        s.rows = c;
        s.cols = r;
        return s;
    }
    if (t.compare(0, 7, "sampler") == 0) {
        s.kind = Kind::Sampler;
        s.cls = D3DXPC_OBJECT;
        s.type = t.compare(0, 11, "samplerCube") == 0 ? D3DXPT_SAMPLERCUBE
                 : t.compare(0, 9, "sampler3D") == 0  ? D3DXPT_SAMPLER3D
                 : t.compare(0, 9, "sampler1D") == 0  ? D3DXPT_SAMPLER1D
                                                      : D3DXPT_SAMPLER2D;
        return s;
    }
    return Shape{};
}

const char* GlslTypeOf(GLenum type) {
    switch (type) {
    case GL_FLOAT: return "float";
    case GL_FLOAT_VEC2: return "vec2";
    case GL_FLOAT_VEC3: return "vec3";
    case GL_FLOAT_VEC4: return "vec4";
    case GL_INT: return "int";
    case GL_INT_VEC2: return "ivec2";
    case GL_INT_VEC3: return "ivec3";
    case GL_INT_VEC4: return "ivec4";
    case GL_UNSIGNED_INT: return "uint";
    case GL_UNSIGNED_INT_VEC2: return "uvec2";
    case GL_UNSIGNED_INT_VEC3: return "uvec3";
    case GL_UNSIGNED_INT_VEC4: return "uvec4";
    case GL_BOOL: return "bool";
    case GL_BOOL_VEC2: return "bvec2";
    case GL_BOOL_VEC3: return "bvec3";
    case GL_BOOL_VEC4: return "bvec4";
    case GL_FLOAT_MAT2: return "mat2";
    case GL_FLOAT_MAT3: return "mat3";
    case GL_FLOAT_MAT4: return "mat4";
    case GL_FLOAT_MAT2x3: return "mat2x3";
    case GL_FLOAT_MAT2x4: return "mat2x4";
    case GL_FLOAT_MAT3x2: return "mat3x2";
    case GL_FLOAT_MAT3x4: return "mat3x4";
    case GL_FLOAT_MAT4x2: return "mat4x2";
    case GL_FLOAT_MAT4x3: return "mat4x3";
    case GL_SAMPLER_1D: return "sampler1D";
    case GL_SAMPLER_2D: return "sampler2D";
    case GL_SAMPLER_3D: return "sampler3D";
    case GL_SAMPLER_CUBE: return "samplerCube";
    case GL_SAMPLER_2D_SHADOW: return "sampler2DShadow";
    default: return "";
    }
}

struct Param {
    D3DXHANDLE handle = nullptr;
    std::string name;
    Shape shape;
    int elements = 0;       // 0: not an array
    bool sizeKnown = true;  // false: an array whose size neither the source nor the compiler told
    std::vector<float> values; // element after element, rows * cols floats each (D3DX order)
    bool set = false;          // values were given: upload them (else the GLSL default stays)
    unsigned version = 0;      // bumped on every change
    IDirect3DBaseTexture9* texture = nullptr;

    size_t PerElement() const { return static_cast<size_t>(shape.rows) * shape.cols; }
    void Size() {
        if (sizeKnown) values.assign(PerElement() * std::max(1, elements), 0.0f);
    }
};

// --- programs --------------------------------------------------------------------------
struct Uniform {
    Param* param = nullptr;
    GLint location = -1;
    GLenum type = 0;
    GLint size = 1;
    int unit = -1;            // texture unit of a sampler
    unsigned sent = ~0u;      // param version last sent to the program (or bound, for a sampler)
};

struct Program {
    GLuint id = 0;
    std::vector<Uniform> uniforms;
    bool unitsSet = false;
};

struct SamplerState {
    DWORD unit;
    D3DSAMPLERSTATETYPE type;
    DWORD value;
};

// A switch of a pass (see the prelude's SWITCH and BOUND) and its parameter.
struct SwitchUse {
    std::string name;
    platform::fxfile::Switch::Kind kind = platform::fxfile::Switch::Bool;
    const Param* param = nullptr;
    // For a sampler read: its unit's address modes as the pass sets them
    // (0 when it leaves them to the device).
    DWORD addressU = 0, addressV = 0;
};

struct PassRun {
    D3DXHANDLE handle = nullptr;
    std::string name;
    // Every switch a test in the shader: the program the pass is checked with
    // and the one it draws with when switches are not folded.
    Program* program = nullptr;
    // What a variant with folded switches is compiled from.
    std::string vertexKey, fragmentKey;
    platform::fxfile::CodeBlock vertex, fragment;
    std::string where;
    std::vector<SwitchUse> switches;
    // Variants by their key, one token per switch, comma-separated: "1" and
    // "0" folded, "?" left a test or a read, eight hex digits a read folded
    // into that colour. The unfolded program's key is all "?".
    std::map<std::string, Program*> variants;
    std::string unfoldedKey;
    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> renderStates;
    std::vector<SamplerState> samplerStates;
};

struct TechniqueRun {
    D3DXHANDLE handle = nullptr;
    std::string name;
    std::vector<PassRun> passes;
    // What Begin saves for End, the union over the passes.
    std::vector<D3DRENDERSTATETYPE> touchedStates;
    std::vector<std::pair<DWORD, D3DSAMPLERSTATETYPE>> touchedSamplerStates;
    std::vector<DWORD> touchedUnits;
};

// --- state names -----------------------------------------------------------------------
enum class ValueKind { Bool, Cmp, Blend, BlendOp, Cull, Fill, StencilOp, Address, Filter, Int, Float };

struct StateName {
    const char* name;
    DWORD state;
    ValueKind kind;
};

const StateName kRenderStates[] = {
    {"ZEnable", D3DRS_ZENABLE, ValueKind::Bool},
    {"ZWriteEnable", D3DRS_ZWRITEENABLE, ValueKind::Bool},
    {"ZFunc", D3DRS_ZFUNC, ValueKind::Cmp},
    {"CullMode", D3DRS_CULLMODE, ValueKind::Cull},
    {"FillMode", D3DRS_FILLMODE, ValueKind::Fill},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, ValueKind::Bool},
    {"SrcBlend", D3DRS_SRCBLEND, ValueKind::Blend},
    {"DestBlend", D3DRS_DESTBLEND, ValueKind::Blend},
    {"BlendOp", D3DRS_BLENDOP, ValueKind::BlendOp},
    {"SeparateAlphaBlendEnable", D3DRS_SEPARATEALPHABLENDENABLE, ValueKind::Bool},
    {"SrcBlendAlpha", D3DRS_SRCBLENDALPHA, ValueKind::Blend},
    {"DestBlendAlpha", D3DRS_DESTBLENDALPHA, ValueKind::Blend},
    {"BlendOpAlpha", D3DRS_BLENDOPALPHA, ValueKind::BlendOp},
    {"BlendFactor", D3DRS_BLENDFACTOR, ValueKind::Int},
    {"AlphaTestEnable", D3DRS_ALPHATESTENABLE, ValueKind::Bool},
    {"AlphaFunc", D3DRS_ALPHAFUNC, ValueKind::Cmp},
    {"AlphaRef", D3DRS_ALPHAREF, ValueKind::Int},
    {"ColorWriteEnable", D3DRS_COLORWRITEENABLE, ValueKind::Int},
    {"StencilEnable", D3DRS_STENCILENABLE, ValueKind::Bool},
    {"StencilFunc", D3DRS_STENCILFUNC, ValueKind::Cmp},
    {"StencilRef", D3DRS_STENCILREF, ValueKind::Int},
    {"StencilMask", D3DRS_STENCILMASK, ValueKind::Int},
    {"StencilWriteMask", D3DRS_STENCILWRITEMASK, ValueKind::Int},
    {"StencilFail", D3DRS_STENCILFAIL, ValueKind::StencilOp},
    {"StencilZFail", D3DRS_STENCILZFAIL, ValueKind::StencilOp},
    {"StencilPass", D3DRS_STENCILPASS, ValueKind::StencilOp},
    {"ScissorTestEnable", D3DRS_SCISSORTESTENABLE, ValueKind::Bool},
    {"DepthBias", D3DRS_DEPTHBIAS, ValueKind::Float},
    {"SlopeScaleDepthBias", D3DRS_SLOPESCALEDEPTHBIAS, ValueKind::Float},
};

const StateName kSamplerStates[] = {
    {"AddressU", D3DSAMP_ADDRESSU, ValueKind::Address},
    {"AddressV", D3DSAMP_ADDRESSV, ValueKind::Address},
    {"AddressW", D3DSAMP_ADDRESSW, ValueKind::Address},
    {"BorderColor", D3DSAMP_BORDERCOLOR, ValueKind::Int},
    {"MagFilter", D3DSAMP_MAGFILTER, ValueKind::Filter},
    {"MinFilter", D3DSAMP_MINFILTER, ValueKind::Filter},
    {"MipFilter", D3DSAMP_MIPFILTER, ValueKind::Filter},
    {"MipMapLodBias", D3DSAMP_MIPMAPLODBIAS, ValueKind::Float},
    {"MaxMipLevel", D3DSAMP_MAXMIPLEVEL, ValueKind::Int},
    {"MaxAnisotropy", D3DSAMP_MAXANISOTROPY, ValueKind::Int},
    {"SRGBTexture", D3DSAMP_SRGBTEXTURE, ValueKind::Bool},
};

std::string Upper(const std::string& s) {
    std::string out;
    for (char c : s) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

const StateName* FindState(const StateName* begin, const StateName* end, const std::string& name) {
    std::string key = Upper(name);
    for (const StateName* s = begin; s != end; ++s)
        if (Upper(s->name) == key) return s;
    return nullptr;
}

struct NamedValue {
    const char* name;
    DWORD value;
};

// Reads a state value: a number, or a name with or without its D3D prefix
// ("SrcAlpha", "D3DBLEND_SRCALPHA").
bool ParseStateValue(ValueKind kind, const std::string& text, DWORD& out) {
    static const NamedValue kBool[] = {{"TRUE", 1}, {"FALSE", 0}};
    static const NamedValue kCmp[] = {{"NEVER", D3DCMP_NEVER},       {"LESS", D3DCMP_LESS},
                                      {"EQUAL", D3DCMP_EQUAL},       {"LESSEQUAL", D3DCMP_LESSEQUAL},
                                      {"GREATER", D3DCMP_GREATER},   {"NOTEQUAL", D3DCMP_NOTEQUAL},
                                      {"GREATEREQUAL", D3DCMP_GREATEREQUAL}, {"ALWAYS", D3DCMP_ALWAYS}};
    static const NamedValue kBlend[] = {
        {"ZERO", D3DBLEND_ZERO},           {"ONE", D3DBLEND_ONE},
        {"SRCCOLOR", D3DBLEND_SRCCOLOR},   {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
        {"SRCALPHA", D3DBLEND_SRCALPHA},   {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
        {"DESTALPHA", D3DBLEND_DESTALPHA}, {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
        {"DESTCOLOR", D3DBLEND_DESTCOLOR}, {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
        {"SRCALPHASAT", D3DBLEND_SRCALPHASAT}, {"BLENDFACTOR", D3DBLEND_BLENDFACTOR},
        {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR}};
    static const NamedValue kBlendOp[] = {{"ADD", D3DBLENDOP_ADD},
                                          {"SUBTRACT", D3DBLENDOP_SUBTRACT},
                                          {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
                                          {"MIN", D3DBLENDOP_MIN},
                                          {"MAX", D3DBLENDOP_MAX}};
    static const NamedValue kCull[] = {{"NONE", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}};
    static const NamedValue kFill[] = {
        {"POINT", D3DFILL_POINT}, {"WIREFRAME", D3DFILL_WIREFRAME}, {"SOLID", D3DFILL_SOLID}};
    static const NamedValue kStencilOp[] = {
        {"KEEP", D3DSTENCILOP_KEEP},       {"ZERO", D3DSTENCILOP_ZERO},       {"REPLACE", D3DSTENCILOP_REPLACE},
        {"INCRSAT", D3DSTENCILOP_INCRSAT}, {"DECRSAT", D3DSTENCILOP_DECRSAT}, {"INVERT", D3DSTENCILOP_INVERT},
        {"INCR", D3DSTENCILOP_INCR},       {"DECR", D3DSTENCILOP_DECR}};
    static const NamedValue kAddress[] = {{"WRAP", D3DTADDRESS_WRAP},
                                          {"MIRROR", D3DTADDRESS_MIRROR},
                                          {"CLAMP", D3DTADDRESS_CLAMP},
                                          {"BORDER", D3DTADDRESS_BORDER},
                                          {"MIRRORONCE", D3DTADDRESS_MIRRORONCE}};
    static const NamedValue kFilter[] = {{"NONE", D3DTEXF_NONE},
                                         {"POINT", D3DTEXF_POINT},
                                         {"LINEAR", D3DTEXF_LINEAR},
                                         {"ANISOTROPIC", D3DTEXF_ANISOTROPIC}};

    if (text.empty()) return false;
    if (kind == ValueKind::Float) {
        char* rest = nullptr;
        float f = std::strtof(text.c_str(), &rest);
        if (!rest || *rest != '\0') return false;
        out = platform::FloatToStateValue(f);
        return true;
    }
    char* rest = nullptr;
    unsigned long number = std::strtoul(text.c_str(), &rest, 0);
    if (std::isdigit(static_cast<unsigned char>(text[0])) && rest && *rest == '\0') {
        out = static_cast<DWORD>(number);
        return true;
    }
    std::string word = Upper(text);
    if (word.compare(0, 3, "D3D") == 0) {
        size_t underscore = word.find('_');
        if (underscore != std::string::npos) word = word.substr(underscore + 1);
    }
    auto look = [&](const NamedValue* begin, size_t n) {
        for (size_t i = 0; i < n; ++i)
            if (word == begin[i].name) {
                out = begin[i].value;
                return true;
            }
        return false;
    };
#define LOOK(table) look(table, sizeof(table) / sizeof(table[0]))
    switch (kind) {
    case ValueKind::Bool: return LOOK(kBool);
    case ValueKind::Cmp: return LOOK(kCmp);
    case ValueKind::Blend: return LOOK(kBlend);
    case ValueKind::BlendOp: return LOOK(kBlendOp);
    case ValueKind::Cull: return LOOK(kCull);
    case ValueKind::Fill: return LOOK(kFill);
    case ValueKind::StencilOp: return LOOK(kStencilOp);
    case ValueKind::Address: return LOOK(kAddress);
    case ValueKind::Filter: return LOOK(kFilter);
    default: return false;
    }
#undef LOOK
}

// --- the effect --------------------------------------------------------------------------
class Effect final : public platform::DeviceChild<ID3DXEffect> {
public:
    explicit Effect(platform::DeviceHandle device) : DeviceChild(std::move(device)) {}
    ~Effect() override;

    size_t ProgramCount() const { return m_Programs.size(); }

    // Whether draws use variants with the switches folded into constants.
    void SetFoldSwitches(bool fold) { m_FoldSwitches = fold; }

    // Builds everything from the parsed file; false with the messages in errors.
    bool Build(const platform::fxfile::File& file,
               const std::vector<std::pair<std::string, std::string>>& defines, std::string& errors);

    HRESULT GetDesc(D3DXEFFECT_DESC* desc) override;
    HRESULT GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) override;
    HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) override;
    HRESULT GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) override;
    D3DXHANDLE GetParameter(D3DXHANDLE parent, UINT index) override;
    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) override;
    D3DXHANDLE GetTechnique(UINT index) override;
    D3DXHANDLE GetTechniqueByName(LPCSTR name) override;
    D3DXHANDLE GetPass(D3DXHANDLE technique, UINT index) override;
    D3DXHANDLE GetPassByName(D3DXHANDLE technique, LPCSTR name) override;
    BOOL IsParameterUsed(D3DXHANDLE parameter, D3DXHANDLE technique) override;

    HRESULT SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) override;
    HRESULT GetValue(D3DXHANDLE parameter, void* data, UINT bytes) override;
    HRESULT SetBool(D3DXHANDLE parameter, BOOL value) override {
        float f = value ? 1.0f : 0.0f;
        return Write(parameter, &f, 1);
    }
    HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) override;
    HRESULT SetBoolArray(D3DXHANDLE parameter, const BOOL* values, UINT count) override;
    HRESULT SetInt(D3DXHANDLE parameter, INT value) override {
        float f = static_cast<float>(value);
        return Write(parameter, &f, 1);
    }
    HRESULT GetInt(D3DXHANDLE parameter, INT* value) override;
    HRESULT SetIntArray(D3DXHANDLE parameter, const INT* values, UINT count) override;
    HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) override { return Write(parameter, &value, 1); }
    HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) override { return Read(parameter, value, 1); }
    HRESULT SetFloatArray(D3DXHANDLE parameter, const FLOAT* values, UINT count) override {
        if (!values && count) return D3DERR_INVALIDCALL;
        return Write(parameter, values, count);
    }
    HRESULT GetFloatArray(D3DXHANDLE parameter, FLOAT* values, UINT count) override {
        return Read(parameter, values, count);
    }
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override;
    HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override;
    HRESULT SetVectorArray(D3DXHANDLE parameter, const D3DXVECTOR4* vectors, UINT count) override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override {
        return SetMatrixArray(parameter, matrix, 1);
    }
    HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    HRESULT SetMatrixArray(D3DXHANDLE parameter, const D3DXMATRIX* matrices, UINT count) override;
    HRESULT SetMatrixTranspose(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) override;

    HRESULT SetTechnique(D3DXHANDLE technique) override;
    D3DXHANDLE GetCurrentTechnique() override { return m_Current ? m_Current->handle : nullptr; }
    HRESULT ValidateTechnique(D3DXHANDLE technique) override {
        return FindTechnique(technique) ? D3D_OK : D3DERR_INVALIDCALL;
    }
    HRESULT FindNextValidTechnique(D3DXHANDLE technique, D3DXHANDLE* next) override;
    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;

    HRESULT OnLostDevice() override { return D3D_OK; }
    HRESULT OnResetDevice() override { return D3D_OK; }

private:
    Param* FindParam(D3DXHANDLE handle) const;
    TechniqueRun* FindTechnique(D3DXHANDLE handle);
    const PassRun* FindPass(D3DXHANDLE handle) const;
    Param* AddParam(const std::string& name, const std::string& type, int arraySize);
    // Writes floats from element 0 on; more than the parameter holds are dropped.
    HRESULT Write(D3DXHANDLE handle, const float* values, size_t count);
    HRESULT Read(D3DXHANDLE handle, float* values, size_t count);
    void Changed(Param& p) {
        p.set = true;
        ++p.version;
    }
    GLuint CompileStage(const platform::fxfile::File& file, Stage stage, const std::string& key,
                        const CodeBlock& code, const std::string& label,
                        const std::vector<std::pair<std::string, std::string>>& defines, std::string& errors);
    // unitsFrom: a program whose samplers are a superset of this one's; each
    // sampler then takes the same texture unit as there, so that the pass's
    // sampler states hold for every variant.
    bool Introspect(Program& program, std::string& errors, const std::string& label,
                    const Program* unitsFrom = nullptr);
    // The switches' key for the values set now (all '?' when not folding).
    std::string SwitchKey(const PassRun& run) const;
    std::vector<std::pair<std::string, std::string>> SwitchDefines(const PassRun& run, const std::string& key) const;
    // The program the pass draws with for the values set now, compiled on
    // first use; the unfolded program when a variant does not build.
    Program* ProgramFor(PassRun& run);
    // Null when the link or the introspection fails (the messages in errors;
    // a link failure names the file line given, when one is).
    Program* Link(GLuint vs, GLuint fs, const std::string& where, std::string& errors, const Program* unitsFrom,
                  int line = 0);
    void Upload(Program& program, bool all);

    std::string m_FileName;
    platform::fxfile::File m_File;
    std::vector<std::pair<std::string, std::string>> m_Defines;
    bool m_FoldSwitches = true;
    Program* m_ActiveProgram = nullptr;

    std::vector<std::unique_ptr<Param>> m_Params;
    std::unordered_map<D3DXHANDLE, Param*> m_ParamByHandle;
    std::map<std::string, Param*> m_ParamByName;

    std::map<std::string, GLuint> m_Shaders; // by stage and key
    std::map<std::pair<GLuint, GLuint>, std::unique_ptr<Program>> m_Programs;

    std::vector<std::unique_ptr<TechniqueRun>> m_Techniques;

    TechniqueRun* m_Current = nullptr;
    bool m_InBegin = false;
    int m_ActivePass = -1;
    DWORD m_BeginFlags = 0;
    unsigned m_SavedProgram = 0;
    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> m_SavedStates;
    std::vector<SamplerState> m_SavedSamplerStates;
    std::vector<std::pair<DWORD, IDirect3DBaseTexture9*>> m_SavedTextures;
};

Effect::~Effect() {
    for (auto& p : m_Params)
        if (p->texture) p->texture->Release();
    if (platform::MakeCurrent(m_Device)) {
        IDirect3DDevice9* device = platform::DeviceOf(m_Device);
        unsigned current = device ? platform::CurrentEffectProgram(device) : 0;
        for (auto& entry : m_Programs) {
            if (device && entry.second->id == current) platform::UseEffectProgram(device, 0);
            glDeleteProgram(entry.second->id);
        }
        for (auto& entry : m_Shaders) glDeleteShader(entry.second);
    }
}

Param* Effect::AddParam(const std::string& name, const std::string& type, int arraySize) {
    auto found = m_ParamByName.find(name);
    if (found != m_ParamByName.end()) return found->second;
    Shape shape = ShapeOf(type);
    if (!shape.valid) return nullptr;
    auto p = std::make_unique<Param>();
    p->name = name;
    p->handle = Intern(name);
    p->shape = shape;
    p->elements = arraySize < 0 ? 0 : arraySize;
    p->sizeKnown = arraySize >= 0;
    p->Size();
    Param* raw = p.get();
    m_ParamByName[name] = raw;
    m_ParamByHandle[raw->handle] = raw;
    m_Params.push_back(std::move(p));
    return raw;
}

GLuint Effect::CompileStage(const platform::fxfile::File& file, Stage stage, const std::string& key,
                            const CodeBlock& code, const std::string& label,
                            const std::vector<std::pair<std::string, std::string>>& defines,
                            std::string& errors) {
    std::string mapKey = (stage == Stage::Vertex ? "v:" : "f:") + key;
    auto it = m_Shaders.find(mapKey);
    if (it != m_Shaders.end()) return it->second;
    std::string source = platform::fxfile::BuildStageSource(file, stage, code, defines, platform::kAlphaTestGlsl);
    GLuint shader = glCreateShader(stage == Stage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    m_Shaders[mapKey] = shader; // kept even when failed, so it is reported once
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
        glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, &log[0]);
        log.resize(std::strlen(log.c_str()));
        errors += m_FileName + ": error compiling " + label + ":\n" +
                  platform::fxfile::RewriteCompilerLog(log, m_FileName);
        return 0;
    }
    return shader;
}

bool Effect::Introspect(Program& program, std::string& errors, const std::string& label, const Program* unitsFrom) {
    GLint count = 0, maxName = 0;
    glGetProgramiv(program.id, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(program.id, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxName);
    std::vector<char> nameBuffer(static_cast<size_t>(std::max(maxName, 1)) + 1);
    int units = 0;
    std::vector<Uniform> samplers;
    for (GLint i = 0; i < count; ++i) {
        GLint size = 0;
        GLenum type = 0;
        GLsizei length = 0;
        glGetActiveUniform(program.id, static_cast<GLuint>(i), static_cast<GLsizei>(nameBuffer.size()), &length,
                           &size, &type, nameBuffer.data());
        std::string name(nameBuffer.data(), static_cast<size_t>(length));
        bool isArray = name.size() > 3 && name.compare(name.size() - 3, 3, "[0]") == 0;
        if (isArray) name.resize(name.size() - 3);
        if (name.compare(0, 3, "gl_") == 0 || name.compare(0, 4, "d3d_") == 0) continue;
        if (name.find('.') != std::string::npos || name.find('[') != std::string::npos) continue; // structs
        Param* p = AddParam(name, GlslTypeOf(type), isArray ? size : 0);
        if (!p) continue;
        if (!p->sizeKnown && isArray) {
            p->sizeKnown = true;
            p->elements = size;
            std::vector<float> given = p->values;
            p->Size();
            std::copy_n(given.begin(), std::min(given.size(), p->values.size()), p->values.begin());
        }
        Uniform u;
        u.param = p;
        u.location = glGetUniformLocation(program.id, name.c_str());
        u.type = type;
        u.size = size;
        if (u.location < 0) continue;
        // The GLSL initialiser is the value until the game sets one.
        if (!p->set && !isArray && p->shape.kind != Kind::Sampler && p->values.size() == p->PerElement()) {
            if (p->shape.kind == Kind::Float) {
                glGetUniformfv(program.id, u.location, p->values.data());
            } else {
                std::vector<GLint> ints(p->values.size());
                glGetUniformiv(program.id, u.location, ints.data());
                for (size_t k = 0; k < ints.size(); ++k) p->values[k] = static_cast<float>(ints[k]);
            }
        }
        if (p->shape.kind == Kind::Sampler) samplers.push_back(u);
        else program.uniforms.push_back(u);
    }
    // Samplers take texture units in declaration order.
    std::sort(samplers.begin(), samplers.end(), [this](const Uniform& a, const Uniform& b) {
        auto pos = [this](const Param* p) {
            for (size_t k = 0; k < m_Params.size(); ++k)
                if (m_Params[k].get() == p) return k;
            return m_Params.size();
        };
        return pos(a.param) < pos(b.param);
    });
    for (Uniform& u : samplers) {
        u.unit = units++;
        if (unitsFrom) {
            u.unit = -1;
            for (const Uniform& other : unitsFrom->uniforms)
                if (other.param == u.param) u.unit = other.unit;
            if (u.unit < 0) {
                errors += m_FileName + ": error: " + label + " reads a sampler its unfolded program does not\n";
                return false;
            }
        }
        program.uniforms.push_back(u);
    }
    if (units > static_cast<int>(kMaxTextureStages)) {
        errors += m_FileName + ": error: " + label + " uses " + std::to_string(units) +
                  " textures; the device has " + std::to_string(kMaxTextureStages) + "\n";
        return false;
    }
    return true;
}

Program* Effect::Link(GLuint vs, GLuint fs, const std::string& where, std::string& errors, const Program* unitsFrom,
                      int line) {
    auto& slot = m_Programs[{vs, fs}];
    if (slot) return slot.get();
    slot = std::make_unique<Program>();
    slot->id = glCreateProgram();
    glAttachShader(slot->id, vs);
    glAttachShader(slot->id, fs);
    glLinkProgram(slot->id);
    GLint ok = GL_FALSE;
    glGetProgramiv(slot->id, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(slot->id, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
        glGetProgramInfoLog(slot->id, static_cast<GLsizei>(log.size()), nullptr, &log[0]);
        log.resize(std::strlen(log.c_str()));
        errors += m_FileName + (line > 0 ? "(" + std::to_string(line) + ")" : std::string()) + ": error linking " +
                  where + ":\n" + platform::fxfile::RewriteCompilerLog(log, m_FileName);
        return nullptr;
    }
    if (!Introspect(*slot, errors, where, unitsFrom)) return nullptr;
    return slot.get();
}

std::string Effect::SwitchKey(const PassRun& run) const {
    if (!m_FoldSwitches) return run.unfoldedKey;
    using SK = platform::fxfile::Switch;
    std::string key;
    for (const SwitchUse& sw : run.switches) {
        std::string token = "?";
        IDirect3DBaseTexture9* texture = sw.param ? sw.param->texture : nullptr;
        if (sw.param && sw.kind == SK::Bool) {
            if (sw.param->shape.kind != Kind::Sampler && !sw.param->values.empty())
                token = sw.param->values[0] != 0.0f ? "1" : "0";
        } else if (texture && texture->GetType() == D3DRTYPE_TEXTURE && sw.kind == SK::Bound) {
            // Only a texture of more than one texel is surely bound; an unset
            // sampler or a one-texel texture is left to the shader to tell.
            D3DSURFACE_DESC desc{};
            if (SUCCEEDED(static_cast<IDirect3DTexture9*>(texture)->GetLevelDesc(0, &desc)) &&
                (desc.Width != 1 || desc.Height != 1))
                token = "1";
        } else if (texture && sw.kind == SK::Sample) {
            // A border colour would show where the read leaves the texture.
            auto wraps = [](DWORD mode) {
                return mode == D3DTADDRESS_WRAP || mode == D3DTADDRESS_MIRROR || mode == D3DTADDRESS_CLAMP;
            };
            D3DCOLOR colour = 0;
            if (wraps(sw.addressU) && wraps(sw.addressV) && platform::SolidColourOf(texture, &colour)) {
                char hex[9];
                std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(colour));
                token = hex;
            }
        }
        key += (key.empty() ? "" : ",") + token;
    }
    return key;
}

std::vector<std::pair<std::string, std::string>> Effect::SwitchDefines(const PassRun& run,
                                                                     const std::string& key) const {
    using SK = platform::fxfile::Switch;
    std::vector<std::pair<std::string, std::string>> defines = m_Defines;
    std::istringstream tokens(key);
    for (const SwitchUse& sw : run.switches) {
        std::string token;
        std::getline(tokens, token, ',');
        if (sw.kind == SK::Sample) {
            std::string value = "texture(" + sw.name + ", uv)";
            if (token.size() == 8) {
                // The colour as the texture unit hands it over: each byte / 255.
                const unsigned c = static_cast<unsigned>(std::strtoul(token.c_str(), nullptr, 16));
                char text[128];
                std::snprintf(text, sizeof text, "vec4(%.9g, %.9g, %.9g, %.9g)", ((c >> 16) & 0xFF) / 255.0f,
                              ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f, (c >> 24) / 255.0f);
                value = text;
            }
            defines.push_back({"SAMPLE_" + sw.name + "(uv)", value});
            continue;
        }
        const std::string value = token == "1" ? "true" : token == "0" ? "false"
                                : sw.kind == SK::Bound ? "d3d_HasTexture(" + sw.name + ")"
                                                         : "(" + sw.name + ")";
        defines.push_back({(sw.kind == SK::Bound ? "BOUND_" : "SWITCH_") + sw.name, value});
    }
    return defines;
}

Program* Effect::ProgramFor(PassRun& run) {
    if (run.switches.empty() || !run.program) return run.program;
    const std::string key = SwitchKey(run);
    if (key == run.unfoldedKey) return run.program;
    auto found = run.variants.find(key);
    if (found != run.variants.end()) return found->second;
    std::string errors;
    const auto defines = SwitchDefines(run, key);
    GLuint vs = CompileStage(m_File, Stage::Vertex, run.vertexKey + "|" + key, run.vertex, "vertex shader of " + run.where,
                             defines, errors);
    GLuint fs = CompileStage(m_File, Stage::Fragment, run.fragmentKey + "|" + key, run.fragment,
                             "fragment shader of " + run.where, defines, errors);
    Program* program = vs && fs ? Link(vs, fs, run.where + " [" + key + "]", errors, run.program) : nullptr;
    if (!program) {
        // Drawn unfolded: slower, but the same picture.
        std::fprintf(stderr, "%s", errors.c_str());
        program = run.program;
    }
    run.variants[key] = program;
    return program;
}

bool Effect::Build(const platform::fxfile::File& file,
                   const std::vector<std::pair<std::string, std::string>>& defines, std::string& errors) {
    m_FileName = file.name;
    m_File = file;
    m_Defines = defines;

    // Parameters as the source declares them, dropped by the compiler or not.
    std::string shared;
    for (const CodeBlock& b : file.shared) shared += b.code + "\n";
    auto declare = [&](const std::string& code) {
        for (const auto& u : platform::fxfile::FindUniforms(shared + code)) AddParam(u.name, u.type, u.arraySize);
    };
    declare("");
    for (const auto& entry : file.vertex) declare(entry.second.code);
    for (const auto& entry : file.fragment) declare(entry.second.code);
    for (const auto& tech : file.techniques)
        for (const auto& pass : tech.passes) {
            if (!pass.vertexKey.empty() && pass.vertexKey[0] == '@') declare(pass.vertex.code);
            if (!pass.fragmentKey.empty() && pass.fragmentKey[0] == '@') declare(pass.fragment.code);
        }

    for (const auto& tech : file.techniques) {
        auto run = std::make_unique<TechniqueRun>();
        run->name = tech.name;
        run->handle = Intern(tech.name);
        for (const auto& pass : tech.passes) {
            PassRun pr;
            pr.name = pass.name;
            pr.handle = Intern(tech.name + "::" + pass.name);
            std::string where = "technique '" + tech.name + "', pass '" + pass.name + "'";
            pr.vertexKey = pass.vertexKey;
            pr.fragmentKey = pass.fragmentKey;
            pr.vertex = pass.vertex;
            pr.fragment = pass.fragment;
            pr.where = where;
            for (const auto& sw : platform::fxfile::FindSwitches(shared + pass.vertex.code + "\n" + pass.fragment.code)) {
                auto param = m_ParamByName.find(sw.name);
                pr.switches.push_back({sw.name, sw.kind, param == m_ParamByName.end() ? nullptr : param->second});
                pr.unfoldedKey += (pr.unfoldedKey.empty() ? "?" : ",?");
            }
            const auto passDefines = SwitchDefines(pr, pr.unfoldedKey);
            auto label = [&](const char* stage, const std::string& key) {
                return std::string(stage) + " shader " +
                       (!key.empty() && key[0] == '@' ? std::string("(inline)") : "'" + key + "'") + " of " + where;
            };
            // The switches are part of a shader's key: the same code may be
            // compiled for passes whose switches differ.
            std::string switchKey;
            for (const auto& d : passDefines) switchKey += "|" + d.first;
            GLuint vs = CompileStage(file, Stage::Vertex, pass.vertexKey + switchKey, pass.vertex,
                                     label("vertex", pass.vertexKey), passDefines, errors);
            GLuint fs = CompileStage(file, Stage::Fragment, pass.fragmentKey + switchKey, pass.fragment,
                                     label("fragment", pass.fragmentKey), passDefines, errors);
            if (vs && fs) pr.program = Link(vs, fs, where, errors, nullptr, pass.line);

            for (const auto& rs : pass.renderStates) {
                const StateName* s = FindState(std::begin(kRenderStates), std::end(kRenderStates), rs.name);
                DWORD value = 0;
                if (!s) {
                    errors += m_FileName + "(" + std::to_string(rs.line) + "): error: unknown render state '" +
                              rs.name + "'\n";
                } else if (!ParseStateValue(s->kind, rs.value, value)) {
                    errors += m_FileName + "(" + std::to_string(rs.line) + "): error: '" + rs.value +
                              "' is not a value of " + s->name + "\n";
                } else {
                    pr.renderStates.push_back({static_cast<D3DRENDERSTATETYPE>(s->state), value});
                }
            }
            // Sampler states: the file's defaults, then the pass's own.
            std::vector<const platform::fxfile::SamplerBlock*> blocks;
            for (const auto& b : file.samplers) blocks.push_back(&b);
            for (const auto& b : pass.samplers) blocks.push_back(&b);
            for (const auto* block : blocks) {
                auto found = m_ParamByName.find(block->sampler);
                if (found == m_ParamByName.end() || found->second->shape.kind != Kind::Sampler) {
                    errors += m_FileName + "(" + std::to_string(block->line) + "): error: '" + block->sampler +
                              "' is not a sampler uniform\n";
                    continue;
                }
                int unit = -1;
                if (pr.program)
                    for (const Uniform& u : pr.program->uniforms)
                        if (u.param == found->second) unit = u.unit;
                for (const auto& st : block->states) {
                    const StateName* s = FindState(std::begin(kSamplerStates), std::end(kSamplerStates), st.name);
                    DWORD value = 0;
                    if (!s) {
                        errors += m_FileName + "(" + std::to_string(st.line) + "): error: unknown sampler state '" +
                                  st.name + "'\n";
                    } else if (!ParseStateValue(s->kind, st.value, value)) {
                        errors += m_FileName + "(" + std::to_string(st.line) + "): error: '" + st.value +
                                  "' is not a value of " + s->name + "\n";
                    } else if (unit >= 0) { // a sampler the program does not read needs no state
                        pr.samplerStates.push_back(
                            {static_cast<DWORD>(unit), static_cast<D3DSAMPLERSTATETYPE>(s->state), value});
                    }
                }
            }

            // A sampler read folds only where the pass says how it wraps.
            for (SwitchUse& sw : pr.switches) {
                if (sw.kind != platform::fxfile::Switch::Sample || !pr.program) continue;
                for (const Uniform& u : pr.program->uniforms) {
                    if (u.param != sw.param || u.unit < 0) continue;
                    for (const SamplerState& ss : pr.samplerStates) {
                        if (ss.unit != static_cast<DWORD>(u.unit)) continue;
                        if (ss.type == D3DSAMP_ADDRESSU) sw.addressU = ss.value;
                        if (ss.type == D3DSAMP_ADDRESSV) sw.addressV = ss.value;
                    }
                }
            }
            for (const auto& rs : pr.renderStates)
                if (std::find(run->touchedStates.begin(), run->touchedStates.end(), rs.first) ==
                    run->touchedStates.end())
                    run->touchedStates.push_back(rs.first);
            for (const auto& ss : pr.samplerStates) {
                std::pair<DWORD, D3DSAMPLERSTATETYPE> key{ss.unit, ss.type};
                if (std::find(run->touchedSamplerStates.begin(), run->touchedSamplerStates.end(), key) ==
                    run->touchedSamplerStates.end())
                    run->touchedSamplerStates.push_back(key);
            }
            if (pr.program)
                for (const Uniform& u : pr.program->uniforms)
                    if (u.unit >= 0 && std::find(run->touchedUnits.begin(), run->touchedUnits.end(),
                                                 static_cast<DWORD>(u.unit)) == run->touchedUnits.end())
                        run->touchedUnits.push_back(static_cast<DWORD>(u.unit));
            run->passes.push_back(std::move(pr));
        }
        m_Techniques.push_back(std::move(run));
    }
    if (!errors.empty()) return false;
    m_Current = m_Techniques.empty() ? nullptr : m_Techniques.front().get();
    return true;
}

// --- look-up ------------------------------------------------------------------------------
Param* Effect::FindParam(D3DXHANDLE handle) const {
    if (!handle) return nullptr;
    auto it = m_ParamByHandle.find(handle);
    if (it != m_ParamByHandle.end()) return it->second;
    auto named = m_ParamByName.find(handle); // a name given as a handle
    return named == m_ParamByName.end() ? nullptr : named->second;
}

TechniqueRun* Effect::FindTechnique(D3DXHANDLE handle) {
    if (!handle) return nullptr;
    for (auto& t : m_Techniques)
        if (t->handle == handle) return t.get();
    for (auto& t : m_Techniques)
        if (t->name == handle) return t.get();
    return nullptr;
}

const PassRun* Effect::FindPass(D3DXHANDLE handle) const {
    if (!handle) return nullptr;
    for (const auto& t : m_Techniques)
        for (const auto& p : t->passes)
            if (p.handle == handle) return &p;
    return nullptr;
}

HRESULT Effect::GetDesc(D3DXEFFECT_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Creator = "Vantorel GLSL effect";
    desc->Parameters = static_cast<UINT>(m_Params.size());
    desc->Techniques = static_cast<UINT>(m_Techniques.size());
    desc->Functions = 0;
    return D3D_OK;
}

HRESULT Effect::GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) {
    Param* p = FindParam(parameter);
    if (!p || !desc) return D3DERR_INVALIDCALL;
    *desc = D3DXPARAMETER_DESC{};
    desc->Name = p->handle;
    desc->Class = p->shape.cls;
    desc->Type = p->shape.type;
    desc->Rows = static_cast<UINT>(p->shape.rows);
    desc->Columns = static_cast<UINT>(p->shape.cols);
    desc->Elements = p->sizeKnown ? static_cast<UINT>(p->elements)
                                  : static_cast<UINT>(p->values.size() / p->PerElement());
    desc->Bytes = p->shape.kind == Kind::Sampler ? static_cast<UINT>(sizeof(void*))
                                                 : static_cast<UINT>(p->values.size() * 4);
    return D3D_OK;
}

HRESULT Effect::GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) {
    TechniqueRun* t = FindTechnique(technique);
    if (!t || !desc) return D3DERR_INVALIDCALL;
    desc->Name = t->handle;
    desc->Passes = static_cast<UINT>(t->passes.size());
    desc->Annotations = 0;
    return D3D_OK;
}

HRESULT Effect::GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) {
    const PassRun* p = FindPass(pass);
    if (!p || !desc) return D3DERR_INVALIDCALL;
    *desc = D3DXPASS_DESC{};
    desc->Name = Intern(p->name);
    return D3D_OK;
}

D3DXHANDLE Effect::GetParameter(D3DXHANDLE parent, UINT index) {
    if (parent || index >= m_Params.size()) return nullptr;
    return m_Params[index]->handle;
}

D3DXHANDLE Effect::GetParameterByName(D3DXHANDLE parent, LPCSTR name) {
    if (parent || !name) return nullptr;
    auto it = m_ParamByName.find(name);
    return it == m_ParamByName.end() ? nullptr : it->second->handle;
}

D3DXHANDLE Effect::GetTechnique(UINT index) {
    return index < m_Techniques.size() ? m_Techniques[index]->handle : nullptr;
}

D3DXHANDLE Effect::GetTechniqueByName(LPCSTR name) {
    if (!name) return nullptr;
    for (auto& t : m_Techniques)
        if (t->name == name) return t->handle;
    return nullptr;
}

D3DXHANDLE Effect::GetPass(D3DXHANDLE technique, UINT index) {
    TechniqueRun* t = FindTechnique(technique);
    if (!t || index >= t->passes.size()) return nullptr;
    return t->passes[index].handle;
}

D3DXHANDLE Effect::GetPassByName(D3DXHANDLE technique, LPCSTR name) {
    TechniqueRun* t = FindTechnique(technique);
    if (!t || !name) return nullptr;
    for (const auto& p : t->passes)
        if (p.name == name) return p.handle;
    return nullptr;
}

BOOL Effect::IsParameterUsed(D3DXHANDLE parameter, D3DXHANDLE technique) {
    Param* p = FindParam(parameter);
    TechniqueRun* t = FindTechnique(technique);
    if (!p || !t) return FALSE;
    for (const auto& pass : t->passes)
        if (pass.program)
            for (const Uniform& u : pass.program->uniforms)
                if (u.param == p) return TRUE;
    return FALSE;
}

// --- values ---------------------------------------------------------------------------------
HRESULT Effect::Write(D3DXHANDLE handle, const float* values, size_t count) {
    Param* p = FindParam(handle);
    if (!p || p->shape.kind == Kind::Sampler) return D3DERR_INVALIDCALL;
    if (!p->sizeKnown && p->values.size() < count) {
        // An array the compiler dropped, of a size the source does not spell
        // out: keep what is given, it reaches no shader anyway. Bounded so a
        // wrong count cannot eat memory.
        size_t per = p->PerElement();
        size_t wanted = std::min<size_t>((count + per - 1) / per * per, 65536);
        p->values.resize(wanted, 0.0f);
    }
    size_t n = std::min(count, p->values.size());
    if (p->shape.kind == Kind::Bool)
        for (size_t i = 0; i < n; ++i) p->values[i] = values[i] != 0.0f ? 1.0f : 0.0f;
    else if (p->shape.kind == Kind::Int)
        for (size_t i = 0; i < n; ++i) p->values[i] = static_cast<float>(static_cast<int>(values[i]));
    else
        std::copy_n(values, n, p->values.begin());
    Changed(*p);
    return D3D_OK;
}

HRESULT Effect::Read(D3DXHANDLE handle, float* values, size_t count) {
    Param* p = FindParam(handle);
    if (!p || p->shape.kind == Kind::Sampler || (!values && count)) return D3DERR_INVALIDCALL;
    size_t n = std::min(count, p->values.size());
    std::copy_n(p->values.begin(), n, values);
    return D3D_OK;
}

HRESULT Effect::SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) {
    Param* p = FindParam(parameter);
    if (!p || (!data && bytes)) return D3DERR_INVALIDCALL;
    if (p->shape.kind == Kind::Sampler) {
        if (bytes < sizeof(IDirect3DBaseTexture9*)) return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9* texture;
        std::memcpy(&texture, data, sizeof(texture));
        return SetTexture(parameter, texture);
    }
    size_t count = bytes / 4;
    std::vector<float> floats(count);
    if (p->shape.kind == Kind::Float) {
        std::memcpy(floats.data(), data, count * 4);
    } else { // ints and BOOLs are 32-bit integers in memory
        for (size_t i = 0; i < count; ++i) {
            std::int32_t v;
            std::memcpy(&v, static_cast<const char*>(data) + i * 4, 4);
            floats[i] = static_cast<float>(v);
        }
    }
    return Write(parameter, floats.data(), count);
}

HRESULT Effect::GetValue(D3DXHANDLE parameter, void* data, UINT bytes) {
    Param* p = FindParam(parameter);
    if (!p || (!data && bytes)) return D3DERR_INVALIDCALL;
    if (p->shape.kind == Kind::Sampler) {
        if (bytes < sizeof(IDirect3DBaseTexture9*)) return D3DERR_INVALIDCALL;
        if (p->texture) p->texture->AddRef();
        std::memcpy(data, &p->texture, sizeof(p->texture));
        return D3D_OK;
    }
    size_t n = std::min<size_t>(bytes / 4, p->values.size());
    for (size_t i = 0; i < n; ++i) {
        char* at = static_cast<char*>(data) + i * 4;
        if (p->shape.kind == Kind::Float) {
            std::memcpy(at, &p->values[i], 4);
        } else {
            std::int32_t v = static_cast<std::int32_t>(p->values[i]);
            std::memcpy(at, &v, 4);
        }
    }
    return D3D_OK;
}

HRESULT Effect::GetBool(D3DXHANDLE parameter, BOOL* value) {
    float f = 0;
    if (!value) return D3DERR_INVALIDCALL;
    HRESULT hr = Read(parameter, &f, 1);
    if (SUCCEEDED(hr)) *value = f != 0.0f ? TRUE : FALSE;
    return hr;
}

HRESULT Effect::SetBoolArray(D3DXHANDLE parameter, const BOOL* values, UINT count) {
    if (!values && count) return D3DERR_INVALIDCALL;
    std::vector<float> floats(count);
    for (UINT i = 0; i < count; ++i) floats[i] = values[i] ? 1.0f : 0.0f;
    return Write(parameter, floats.data(), count);
}

HRESULT Effect::GetInt(D3DXHANDLE parameter, INT* value) {
    float f = 0;
    if (!value) return D3DERR_INVALIDCALL;
    HRESULT hr = Read(parameter, &f, 1);
    if (SUCCEEDED(hr)) *value = static_cast<INT>(f);
    return hr;
}

HRESULT Effect::SetIntArray(D3DXHANDLE parameter, const INT* values, UINT count) {
    if (!values && count) return D3DERR_INVALIDCALL;
    std::vector<float> floats(count);
    for (UINT i = 0; i < count; ++i) floats[i] = static_cast<float>(values[i]);
    return Write(parameter, floats.data(), count);
}

HRESULT Effect::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) {
    Param* p = FindParam(parameter);
    if (!p || !vector) return D3DERR_INVALIDCALL;
    const float v[4] = {vector->x, vector->y, vector->z, vector->w};
    return Write(parameter, v, std::min<size_t>(4, p->PerElement()));
}

HRESULT Effect::GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) {
    Param* p = FindParam(parameter);
    if (!p || !vector) return D3DERR_INVALIDCALL;
    float v[4] = {0, 0, 0, 0};
    HRESULT hr = Read(parameter, v, std::min<size_t>(4, p->PerElement()));
    if (SUCCEEDED(hr)) *vector = D3DXVECTOR4(v[0], v[1], v[2], v[3]);
    return hr;
}

HRESULT Effect::SetVectorArray(D3DXHANDLE parameter, const D3DXVECTOR4* vectors, UINT count) {
    Param* p = FindParam(parameter);
    if (!p || (!vectors && count)) return D3DERR_INVALIDCALL;
    size_t per = std::min<size_t>(4, p->PerElement());
    std::vector<float> floats;
    for (UINT i = 0; i < count; ++i) {
        const float v[4] = {vectors[i].x, vectors[i].y, vectors[i].z, vectors[i].w};
        floats.insert(floats.end(), v, v + per);
    }
    return Write(parameter, floats.data(), floats.size());
}

HRESULT Effect::SetMatrixArray(D3DXHANDLE parameter, const D3DXMATRIX* matrices, UINT count) {
    Param* p = FindParam(parameter);
    if (!p || (!matrices && count)) return D3DERR_INVALIDCALL;
    std::vector<float> floats;
    for (UINT i = 0; i < count; ++i) {
        if (p->shape.cls == D3DXPC_MATRIX_ROWS) { // the top-left rows x cols of each
            for (int r = 0; r < p->shape.rows; ++r)
                for (int c = 0; c < p->shape.cols; ++c) floats.push_back(matrices[i].m[r][c]);
        } else {
            floats.insert(floats.end(), &matrices[i].m[0][0], &matrices[i].m[0][0] + 16);
        }
    }
    return Write(parameter, floats.data(), floats.size());
}

HRESULT Effect::GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) {
    Param* p = FindParam(parameter);
    if (!p || !matrix || p->shape.kind == Kind::Sampler) return D3DERR_INVALIDCALL;
    D3DXMATRIX m;
    std::memset(&m, 0, sizeof(m));
    if (p->shape.cls == D3DXPC_MATRIX_ROWS) {
        for (int r = 0; r < p->shape.rows; ++r)
            for (int c = 0; c < p->shape.cols; ++c) {
                size_t i = static_cast<size_t>(r * p->shape.cols + c);
                if (i < p->values.size()) m.m[r][c] = p->values[i];
            }
    } else {
        std::copy_n(p->values.begin(), std::min<size_t>(16, p->values.size()), &m.m[0][0]);
    }
    *matrix = m;
    return D3D_OK;
}

HRESULT Effect::SetMatrixTranspose(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    D3DXMATRIX t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t.m[r][c] = matrix->m[c][r];
    return SetMatrix(parameter, &t);
}

HRESULT Effect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    Param* p = FindParam(parameter);
    if (!p || p->shape.kind != Kind::Sampler) return D3DERR_INVALIDCALL;
    if (texture) texture->AddRef();
    if (p->texture) p->texture->Release();
    p->texture = texture;
    Changed(*p);
    return D3D_OK;
}

HRESULT Effect::GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) {
    Param* p = FindParam(parameter);
    if (!p || !texture || p->shape.kind != Kind::Sampler) return D3DERR_INVALIDCALL;
    if (p->texture) p->texture->AddRef();
    *texture = p->texture;
    return D3D_OK;
}

// --- techniques and passes -------------------------------------------------------------------
HRESULT Effect::SetTechnique(D3DXHANDLE technique) {
    TechniqueRun* t = FindTechnique(technique);
    if (!t || m_InBegin) return D3DERR_INVALIDCALL;
    m_Current = t;
    return D3D_OK;
}

HRESULT Effect::FindNextValidTechnique(D3DXHANDLE technique, D3DXHANDLE* next) {
    if (!next) return D3DERR_INVALIDCALL;
    size_t start = 0;
    if (technique) {
        TechniqueRun* t = FindTechnique(technique);
        if (!t) return D3DERR_INVALIDCALL;
        for (size_t i = 0; i < m_Techniques.size(); ++i)
            if (m_Techniques[i].get() == t) start = i + 1;
    }
    *next = start < m_Techniques.size() ? m_Techniques[start]->handle : nullptr;
    return *next ? D3D_OK : S_FALSE;
}

HRESULT Effect::Begin(UINT* passes, DWORD flags) {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    if (!m_Current || !device || m_InBegin) return D3DERR_INVALIDCALL;
    m_InBegin = true;
    m_ActivePass = -1;
    m_BeginFlags = flags;
    m_SavedProgram = platform::CurrentEffectProgram(device);
    m_SavedStates.clear();
    m_SavedSamplerStates.clear();
    m_SavedTextures.clear();
    if (!(flags & D3DXFX_DONOTSAVESTATE)) {
        for (D3DRENDERSTATETYPE s : m_Current->touchedStates) {
            DWORD value = 0;
            if (SUCCEEDED(device->GetRenderState(s, &value))) m_SavedStates.push_back({s, value});
        }
        if (!(flags & D3DXFX_DONOTSAVESAMPLERSTATE)) {
            for (const auto& s : m_Current->touchedSamplerStates) {
                DWORD value = 0;
                if (SUCCEEDED(device->GetSamplerState(s.first, s.second, &value)))
                    m_SavedSamplerStates.push_back({s.first, s.second, value});
            }
            for (DWORD unit : m_Current->touchedUnits) {
                IDirect3DBaseTexture9* texture = nullptr;
                if (SUCCEEDED(device->GetTexture(unit, &texture))) m_SavedTextures.push_back({unit, texture});
            }
        }
    }
    if (passes) *passes = static_cast<UINT>(m_Current->passes.size());
    return D3D_OK;
}

void Effect::Upload(Program& program, bool all) {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    for (Uniform& u : program.uniforms) {
        Param& p = *u.param;
        if (u.unit >= 0) {
            if (all || u.sent != p.version) {
                device->SetTexture(static_cast<DWORD>(u.unit), p.texture);
                u.sent = p.version;
            }
            continue;
        }
        if (!p.set || u.sent == p.version) continue;
        u.sent = p.version;
        size_t per = p.PerElement();
        GLsizei count = static_cast<GLsizei>(std::min<size_t>(static_cast<size_t>(u.size), p.values.size() / per));
        if (count <= 0) continue;
        const float* v = p.values.data();
        switch (u.type) {
        case GL_FLOAT: glUniform1fv(u.location, count, v); break;
        case GL_FLOAT_VEC2: glUniform2fv(u.location, count, v); break;
        case GL_FLOAT_VEC3: glUniform3fv(u.location, count, v); break;
        case GL_FLOAT_VEC4: glUniform4fv(u.location, count, v); break;
        // Stored as D3DX stores them, uploaded untransposed: see the prelude's mul.
        case GL_FLOAT_MAT2: glUniformMatrix2fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT3: glUniformMatrix3fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT4: glUniformMatrix4fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT2x3: glUniformMatrix2x3fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT2x4: glUniformMatrix2x4fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT3x2: glUniformMatrix3x2fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT3x4: glUniformMatrix3x4fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT4x2: glUniformMatrix4x2fv(u.location, count, GL_FALSE, v); break;
        case GL_FLOAT_MAT4x3: glUniformMatrix4x3fv(u.location, count, GL_FALSE, v); break;
        case GL_UNSIGNED_INT:
        case GL_UNSIGNED_INT_VEC2:
        case GL_UNSIGNED_INT_VEC3:
        case GL_UNSIGNED_INT_VEC4: {
            std::vector<GLuint> uints(static_cast<size_t>(count) * per);
            for (size_t i = 0; i < uints.size(); ++i) uints[i] = static_cast<GLuint>(std::max(0.0f, v[i]));
            if (per == 1) glUniform1uiv(u.location, count, uints.data());
            else if (per == 2) glUniform2uiv(u.location, count, uints.data());
            else if (per == 3) glUniform3uiv(u.location, count, uints.data());
            else if (per == 4) glUniform4uiv(u.location, count, uints.data());
            break;
        }
        default: { // int and bool types
            std::vector<GLint> ints(static_cast<size_t>(count) * per);
            for (size_t i = 0; i < ints.size(); ++i) ints[i] = static_cast<GLint>(v[i]);
            if (per == 1) glUniform1iv(u.location, count, ints.data());
            else if (per == 2) glUniform2iv(u.location, count, ints.data());
            else if (per == 3) glUniform3iv(u.location, count, ints.data());
            else if (per == 4) glUniform4iv(u.location, count, ints.data());
            break;
        }
        }
    }
}

HRESULT Effect::BeginPass(UINT pass) {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    if (!m_InBegin || !device || m_ActivePass >= 0 || pass >= m_Current->passes.size())
        return D3DERR_INVALIDCALL;
    PassRun& run = m_Current->passes[pass];
    if (!run.program) return D3DERR_INVALIDCALL;
    Program& program = *ProgramFor(run);
    m_ActiveProgram = &program;
    platform::UseEffectProgram(device, program.id);
    if (!program.unitsSet) {
        for (const Uniform& u : program.uniforms)
            if (u.unit >= 0) glUniform1i(u.location, u.unit);
        program.unitsSet = true;
    }
    for (const auto& rs : run.renderStates) device->SetRenderState(rs.first, rs.second);
    for (const auto& ss : run.samplerStates) device->SetSamplerState(ss.unit, ss.type, ss.value);
    Upload(program, true);
    m_ActivePass = static_cast<int>(pass);
    return D3D_OK;
}

HRESULT Effect::CommitChanges() {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    if (!m_InBegin || m_ActivePass < 0 || !device) return D3DERR_INVALIDCALL;
    // A texture or a switch set since BeginPass may call for another variant.
    Program& program = *ProgramFor(m_Current->passes[static_cast<size_t>(m_ActivePass)]);
    const bool switched = &program != m_ActiveProgram;
    m_ActiveProgram = &program;
    if (platform::CurrentEffectProgram(device) != program.id) platform::UseEffectProgram(device, program.id);
    if (switched && !program.unitsSet) {
        for (const Uniform& u : program.uniforms)
            if (u.unit >= 0) glUniform1i(u.location, u.unit);
        program.unitsSet = true;
    }
    Upload(program, switched);
    return D3D_OK;
}

HRESULT Effect::EndPass() {
    if (!m_InBegin || m_ActivePass < 0) return D3DERR_INVALIDCALL;
    m_ActivePass = -1;
    return D3D_OK;
}

HRESULT Effect::End() {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    if (!m_InBegin) return D3DERR_INVALIDCALL;
    m_InBegin = false;
    m_ActivePass = -1;
    if (device) {
        for (const auto& s : m_SavedStates) device->SetRenderState(s.first, s.second);
        for (const auto& s : m_SavedSamplerStates) device->SetSamplerState(s.unit, s.type, s.value);
        for (const auto& t : m_SavedTextures) device->SetTexture(t.first, t.second);
        // Whatever the flags, draws after End must not go on with our program.
        platform::UseEffectProgram(device, m_SavedProgram);
    }
    for (const auto& t : m_SavedTextures)
        if (t.second) t.second->Release();
    m_SavedTextures.clear();
    return D3D_OK;
}

HRESULT CreateFromText(IDirect3DDevice9* device, const std::string& text, const std::string& fileName,
                       const D3DXMACRO* defines, DWORD flags, ID3DXEffect** effect, ID3DXBuffer** errors) {
    platform::fxfile::File file;
    std::string message;
    if (!platform::fxfile::Parse(text, fileName, file, message)) {
        if (errors) *errors = TextBuffer(message + "\n");
        return E_FAIL;
    }
    std::vector<std::pair<std::string, std::string>> macros;
    for (const D3DXMACRO* m = defines; m && m->Name; ++m)
        macros.push_back({m->Name, m->Definition ? m->Definition : ""});

    platform::DeviceHandle handle = platform::HandleOf(device);
    if (!platform::MakeCurrent(handle)) return D3DERR_INVALIDCALL;
    Effect* made = new Effect(handle);
    made->SetFoldSwitches(!(flags & D3DXSHADER_SKIPOPTIMIZATION));
    if (!made->Build(file, macros, message)) {
        made->Release();
        if (errors) *errors = TextBuffer(message);
        return E_FAIL;
    }
    *effect = made;
    return D3D_OK;
}

} // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = new Buffer(numBytes);
    return D3D_OK;
}

HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT length, const D3DXMACRO* defines,
                         LPD3DXINCLUDE, DWORD flags, LPD3DXEFFECTPOOL, ID3DXEffect** effect, ID3DXBuffer** errors) {
    if (errors) *errors = nullptr;
    if (!effect) return D3DERR_INVALIDCALL;
    *effect = nullptr;
    if (!device || !data) return D3DERR_INVALIDCALL;
    std::string text(static_cast<const char*>(data), length);
    return CreateFromText(device, text, "<memory>", defines, flags, effect, errors);
}

HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR fileName, const D3DXMACRO* defines,
                                  LPD3DXINCLUDE, DWORD flags, LPD3DXEFFECTPOOL, ID3DXEffect** effect,
                                  ID3DXBuffer** errors) {
    if (errors) *errors = nullptr;
    if (!effect) return D3DERR_INVALIDCALL;
    *effect = nullptr;
    if (!device || !fileName) return D3DERR_INVALIDCALL;
    std::vector<unsigned char> bytes;
    if (!platform::ReadWholeFile(fileName, bytes)) return D3DERR_NOTFOUND;
    std::string text(bytes.begin(), bytes.end());
    return CreateFromText(device, text, fileName, defines, flags, effect, errors);
}

namespace platform {

size_t EffectProgramCount(ID3DXEffect* effect)
{
    const Effect* built = dynamic_cast<const Effect*>(effect);
    return built ? built->ProgramCount() : 0;
}

} // namespace platform
