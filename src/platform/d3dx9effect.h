// Our D3DX effects: ID3DXEffect over GLSL 330, read from effect files in our
// own format (techniques of passes, each pass a vertex and a fragment shader
// with its render and sampler states; the syntax is described at the top of
// d3dx9effect_file.cpp).
//
// Behaviour as D3DX's where the game relies on it:
// - Parameters are the file's uniforms, found by name whether or not the GLSL
//   compiler kept them (setting a dropped one is harmless). Values set are kept
//   by the effect and reach the shaders at BeginPass and CommitChanges.
// - A D3DXHANDLE is a name: the handles we hand out are interned strings that
//   stay valid for the whole run, and a plain C string naming a parameter or a
//   technique works as a handle too, as in D3DX.
// - A null or unknown handle makes every Set/Get call a no-op that returns
//   D3DERR_INVALIDCALL.
// - Begin (flags 0) keeps the render states, sampler states and textures the
//   technique's passes touch, and End puts them back along with the drawing
//   path that was in use (normally the fixed-function one).
// - Matrices are stored as D3DX lays them out (row-major); in GLSL, mul(v, M)
//   is D3DX's v * M.
#pragma once

#include "platform/d3d9.h"
#include "platform/d3dx9math.h"

typedef const char* D3DXHANDLE;
typedef D3DXHANDLE* LPD3DXHANDLE;

// Compile flags (accepted; matrices are always taken as D3DX stores them).
// A pass draws with its shaders compiled for the values its switches hold
// (SWITCH and BOUND in the effect file: see d3dx9effect_file.cpp), each such
// variant compiled on its first draw; with D3DXSHADER_SKIPOPTIMIZATION every
// switch stays a test in the shader.
enum : DWORD {
    D3DXSHADER_DEBUG = 0x1,
    D3DXSHADER_SKIPVALIDATION = 0x2,
    D3DXSHADER_SKIPOPTIMIZATION = 0x4,
    D3DXSHADER_PACKMATRIX_ROWMAJOR = 0x8,
    D3DXSHADER_PACKMATRIX_COLUMNMAJOR = 0x10,
};

// Begin flags.
enum : DWORD {
    D3DXFX_DONOTSAVESTATE = 0x1,        // End restores nothing
    D3DXFX_DONOTSAVESHADERSTATE = 0x2,  // accepted: End always goes back to the drawing path in use at Begin
    D3DXFX_DONOTSAVESAMPLERSTATE = 0x4, // End restores render states only
};

struct D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
};
typedef D3DXMACRO* LPD3DXMACRO;

// Accepted for D3DX's signature; our effect files have no #include.
struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;
struct ID3DXEffectPool;
typedef ID3DXEffectPool* LPD3DXEFFECTPOOL;

// A block of bytes; the compiler's messages come in one, NUL-terminated text
// with the terminator counted in the size.
struct ID3DXBuffer : public IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer);

enum D3DXPARAMETER_CLASS {
    D3DXPC_SCALAR,
    D3DXPC_VECTOR,
    D3DXPC_MATRIX_ROWS,
    D3DXPC_MATRIX_COLUMNS,
    D3DXPC_OBJECT,
    D3DXPC_STRUCT,
    D3DXPC_FORCE_DWORD = 0x7fffffff
};

enum D3DXPARAMETER_TYPE {
    D3DXPT_VOID,
    D3DXPT_BOOL,
    D3DXPT_INT,
    D3DXPT_FLOAT,
    D3DXPT_STRING,
    D3DXPT_TEXTURE,
    D3DXPT_TEXTURE1D,
    D3DXPT_TEXTURE2D,
    D3DXPT_TEXTURE3D,
    D3DXPT_TEXTURECUBE,
    D3DXPT_SAMPLER,
    D3DXPT_SAMPLER1D,
    D3DXPT_SAMPLER2D,
    D3DXPT_SAMPLER3D,
    D3DXPT_SAMPLERCUBE,
    D3DXPT_FORCE_DWORD = 0x7fffffff
};

struct D3DXPARAMETER_DESC {
    LPCSTR Name;
    LPCSTR Semantic; // always null
    D3DXPARAMETER_CLASS Class;
    D3DXPARAMETER_TYPE Type;
    UINT Rows;     // matrices as D3DX sees them: a GLSL mat4x3 is 4 rows of 3
    UINT Columns;
    UINT Elements; // 0 for a non-array; for an array the compiler dropped and whose
                   // size is not a plain number, the count of elements set so far
    UINT Annotations;
    UINT StructMembers;
    DWORD Flags;
    UINT Bytes;
};

struct D3DXTECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
};

struct D3DXPASS_DESC {
    LPCSTR Name;
    UINT Annotations;
    const DWORD* pVertexShaderFunction; // always null
    const DWORD* pPixelShaderFunction;  // always null
};

struct D3DXEFFECT_DESC {
    LPCSTR Creator;
    UINT Parameters;
    UINT Techniques;
    UINT Functions;
};

struct ID3DXEffect : public IUnknown {
    // --- description and look-up
    virtual HRESULT GetDesc(D3DXEFFECT_DESC* desc) = 0;
    virtual HRESULT GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) = 0;
    virtual HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) = 0;
    virtual HRESULT GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) = 0;
    // Parameters in declaration order; a non-null parent (struct members,
    // annotations) finds nothing.
    virtual D3DXHANDLE GetParameter(D3DXHANDLE parent, UINT index) = 0;
    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) = 0;
    virtual D3DXHANDLE GetTechnique(UINT index) = 0;
    virtual D3DXHANDLE GetTechniqueByName(LPCSTR name) = 0;
    virtual D3DXHANDLE GetPass(D3DXHANDLE technique, UINT index) = 0;
    virtual D3DXHANDLE GetPassByName(D3DXHANDLE technique, LPCSTR name) = 0;
    // Whether any pass of the technique's programs reads the parameter.
    virtual BOOL IsParameterUsed(D3DXHANDLE parameter, D3DXHANDLE technique) = 0;

    // --- values
    virtual HRESULT SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) = 0;
    virtual HRESULT GetValue(D3DXHANDLE parameter, void* data, UINT bytes) = 0;
    virtual HRESULT SetBool(D3DXHANDLE parameter, BOOL value) = 0;
    virtual HRESULT GetBool(D3DXHANDLE parameter, BOOL* value) = 0;
    virtual HRESULT SetBoolArray(D3DXHANDLE parameter, const BOOL* values, UINT count) = 0;
    virtual HRESULT SetInt(D3DXHANDLE parameter, INT value) = 0;
    virtual HRESULT GetInt(D3DXHANDLE parameter, INT* value) = 0;
    virtual HRESULT SetIntArray(D3DXHANDLE parameter, const INT* values, UINT count) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) = 0;
    virtual HRESULT SetFloatArray(D3DXHANDLE parameter, const FLOAT* values, UINT count) = 0;
    virtual HRESULT GetFloatArray(D3DXHANDLE parameter, FLOAT* values, UINT count) = 0;
    // A vector fills as many components as the parameter has (x of a float,
    // x, y, z of a vec3).
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) = 0;
    virtual HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) = 0;
    virtual HRESULT SetVectorArray(D3DXHANDLE parameter, const D3DXVECTOR4* vectors, UINT count) = 0;
    // A matrix fills a matrix parameter (the top-left part for a smaller one) or
    // 16 floats of a vector or float array.
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) = 0;
    virtual HRESULT SetMatrixArray(D3DXHANDLE parameter, const D3DXMATRIX* matrices, UINT count) = 0;
    virtual HRESULT SetMatrixTranspose(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    // The effect keeps a reference to the texture until it is replaced or the
    // effect is destroyed.
    virtual HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) = 0;

    // --- techniques and passes
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    virtual D3DXHANDLE GetCurrentTechnique() = 0;
    virtual HRESULT ValidateTechnique(D3DXHANDLE technique) = 0;
    virtual HRESULT FindNextValidTechnique(D3DXHANDLE technique, D3DXHANDLE* next) = 0;
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    // Draws from here on use the pass's program, with its render and sampler
    // states, textures and the current parameter values.
    virtual HRESULT BeginPass(UINT pass) = 0;
    // Sends the values changed since BeginPass (or the last commit) to the pass.
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXEffect* LPD3DXEFFECT;

// Compiles an effect file (found whatever its case). On success *effect holds
// the effect, every technique compiled and linked, the first technique
// current. On failure *effect is null and, when errors is given, *errors
// holds the messages ("file(line,column): error: ..." and which shader and
// pass it was) for a file that does not parse, compile or link; a file that
// cannot be read leaves *errors null and returns D3DERR_NOTFOUND.
HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR fileName, const D3DXMACRO* defines,
                                  LPD3DXINCLUDE include, DWORD flags, LPD3DXEFFECTPOOL pool,
                                  ID3DXEffect** effect, ID3DXBuffer** errors);
// The same from the file's text in memory.
HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT length, const D3DXMACRO* defines,
                         LPD3DXINCLUDE include, DWORD flags, LPD3DXEFFECTPOOL pool, ID3DXEffect** effect,
                         ID3DXBuffer** errors);

namespace platform {

// The programs the effect has linked so far: one a pass, and one more for
// each set of its switches' values first drawn with. 0 for another effect.
size_t EffectProgramCount(ID3DXEffect* effect);

} // namespace platform
