// Internal to the effect: its class and the records of its parameters,
// programs, techniques and passes, shared by the effect's files (building,
// programs and their variants, parameter values, passes).
#pragma once

#include "platform/d3dx9effect.h"

#include "platform/com_object.h"
#include "platform/d3dx9effect_file.h"
#include "platform/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {
namespace fx {

using platform::fxfile::CodeBlock;
using platform::fxfile::Stage;

// --- handles -------------------------------------------------------------------------
// A handle is the address of an interned name. Interned names live for the whole
// run, so a handle kept across a reload of the effect still reads as its name.
D3DXHANDLE Intern(const std::string& name);

// --- parameters ------------------------------------------------------------------------
enum class Kind { Float, Int, Bool, Sampler };

struct Shape {
    bool valid = false;
    Kind kind = Kind::Float;
    D3DXPARAMETER_CLASS cls = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE type = D3DXPT_FLOAT;
    int rows = 1, cols = 1; // as D3DX sees it: a GLSL matCxR is C rows of R
};

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
                        const std::vector<std::pair<std::string, std::string>>& defines, std::string& errors,
                        bool alphaTest = true);
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
    // Whether the device's states ask draws for the alpha test now.
    bool AlphaTestAsked() const;
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

} // namespace fx
} // namespace platform
