// Building an effect from its parsed file: the parameters the source
// declares, every pass's program, and the render and sampler states each
// pass sets.
#include "platform/d3dx9effect_impl.h"

#include <cctype>
#include <cstdlib>

namespace platform {
namespace fx {

namespace {

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

} // namespace

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

} // namespace fx
} // namespace platform
