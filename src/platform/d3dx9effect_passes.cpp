// Running an effect's technique: Begin saves the states its passes set, each
// pass sets its program and states, End puts the saved ones back.
#include "platform/d3dx9effect_impl.h"

namespace platform {
namespace fx {

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

HRESULT Effect::BeginPass(UINT pass) {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    if (!m_InBegin || !device || m_ActivePass >= 0 || pass >= m_Current->passes.size())
        return D3DERR_INVALIDCALL;
    PassRun& run = m_Current->passes[pass];
    if (!run.program) return D3DERR_INVALIDCALL;
    // The pass's states first: its program is chosen for them.
    for (const auto& rs : run.renderStates) device->SetRenderState(rs.first, rs.second);
    for (const auto& ss : run.samplerStates) device->SetSamplerState(ss.unit, ss.type, ss.value);
    Program& program = *ProgramFor(run);
    m_ActiveProgram = &program;
    platform::UseEffectProgram(device, program.id);
    if (!program.unitsSet) {
        for (const Uniform& u : program.uniforms)
            if (u.unit >= 0) glUniform1i(u.location, u.unit);
        program.unitsSet = true;
    }
    Upload(program, true);
    m_ActivePass = static_cast<int>(pass);
    platform::SetEffectRefit(device, [this] { CommitChanges(); });
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
    if (IDirect3DDevice9* device = platform::DeviceOf(m_Device)) platform::SetEffectRefit(device, nullptr);
    return D3D_OK;
}

HRESULT Effect::End() {
    IDirect3DDevice9* device = platform::DeviceOf(m_Device);
    if (!m_InBegin) return D3DERR_INVALIDCALL;
    m_InBegin = false;
    m_ActivePass = -1;
    if (device) {
        platform::SetEffectRefit(device, nullptr);
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

} // namespace fx
} // namespace platform
