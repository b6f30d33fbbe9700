// An effect's parameter values: set and read as D3DX does, and uploaded to
// the program a pass draws with.
#include "platform/d3dx9effect_impl.h"

#include <cstdint>

namespace platform {
namespace fx {

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

} // namespace fx
} // namespace platform
