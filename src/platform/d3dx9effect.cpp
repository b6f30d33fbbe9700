#include "platform/d3dx9effect_impl.h"

#include "platform/files.h"

#include <unordered_set>

namespace platform {
namespace fx {

D3DXHANDLE Intern(const std::string& name) {
    static std::unordered_set<std::string> names;
    return names.insert(name).first->c_str();
}

Effect::~Effect() {
    for (auto& p : m_Params)
        if (p->texture) p->texture->Release();
    if (platform::MakeCurrent(m_Device)) {
        IDirect3DDevice9* device = platform::DeviceOf(m_Device);
        unsigned current = device ? platform::CurrentEffectProgram(device) : 0;
        if (device && m_InBegin) platform::SetEffectRefit(device, nullptr);
        for (auto& entry : m_Programs) {
            if (device && entry.second->id == current) platform::UseEffectProgram(device, 0);
            glDeleteProgram(entry.second->id);
        }
        for (auto& entry : m_Shaders) glDeleteShader(entry.second);
    }
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

} // namespace fx
} // namespace platform

namespace {

using platform::fx::Effect;

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
    // What stands there instead is for the caller to say, once.
    std::string fault;
    if (!platform::ReadWholeFile(fileName, bytes, bounded::kMaxFileBytes, &fault)) return D3DERR_NOTFOUND;
    std::string text(bytes.begin(), bytes.end());
    return CreateFromText(device, text, fileName, defines, flags, effect, errors);
}

namespace platform {

size_t EffectProgramCount(ID3DXEffect* effect)
{
    const fx::Effect* built = dynamic_cast<const fx::Effect*>(effect);
    return built ? built->ProgramCount() : 0;
}

} // namespace platform
