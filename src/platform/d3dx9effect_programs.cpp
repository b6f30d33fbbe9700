// An effect's programs: shaders compiled once per stage and key, linked
// programs and the uniforms they read, and the variants with a pass's
// switches folded into constants.
#include "platform/d3dx9effect_impl.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace platform {
namespace fx {

namespace {

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

} // namespace

GLuint Effect::CompileStage(const platform::fxfile::File& file, Stage stage, const std::string& key,
                            const CodeBlock& code, const std::string& label,
                            const std::vector<std::pair<std::string, std::string>>& defines,
                            std::string& errors, bool alphaTest) {
    std::string mapKey = (stage == Stage::Vertex ? "v:" : "f:") + key;
    auto it = m_Shaders.find(mapKey);
    if (it != m_Shaders.end()) return it->second;
    std::string source =
        platform::fxfile::BuildStageSource(file, stage, code, defines, alphaTest ? platform::kAlphaTestGlsl : "");
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

bool Effect::AlphaTestAsked() const {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    DWORD enabled = FALSE, function = D3DCMP_ALWAYS;
    return device && SUCCEEDED(device->GetRenderState(D3DRS_ALPHATESTENABLE, &enabled)) && enabled &&
           SUCCEEDED(device->GetRenderState(D3DRS_ALPHAFUNC, &function)) && function != D3DCMP_ALWAYS;
}

Program* Effect::ProgramFor(PassRun& run) {
    if (!run.program) return nullptr;
    // Without the test asked for, the pixels are spared its compares and its
    // discard (which also keeps the renderer from writing depth before it
    // shades); the device asks again should a draw want the test after all.
    const bool untested = m_FoldSwitches && !AlphaTestAsked();
    const std::string switches = SwitchKey(run);
    if (switches == run.unfoldedKey && !untested) return run.program;
    const std::string key = untested ? switches + "|untested" : switches;
    auto found = run.variants.find(key);
    if (found != run.variants.end()) return found->second;
    std::string errors;
    const auto defines = SwitchDefines(run, switches);
    GLuint vs = CompileStage(m_File, Stage::Vertex, run.vertexKey + "|" + switches, run.vertex,
                             "vertex shader of " + run.where, defines, errors);
    GLuint fs = CompileStage(m_File, Stage::Fragment, run.fragmentKey + "|" + key, run.fragment,
                             "fragment shader of " + run.where, defines, errors, !untested);
    Program* program = vs && fs ? Link(vs, fs, run.where + " [" + key + "]", errors, run.program) : nullptr;
    if (!program) {
        // Drawn unfolded: slower, but the same picture.
        std::fprintf(stderr, "%s", errors.c_str());
        program = run.program;
    }
    run.variants[key] = program;
    return program;
}

} // namespace fx
} // namespace platform
