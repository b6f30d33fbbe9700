// Our Direct3D 9 device over an OpenGL 3.3 core context (with ARB_clip_control).
//
// The back buffer is a colour texture; with the one automatic depth-stencil
// surface it is attached to the device's framebuffer object like any render
// target, so render-target textures can share that depth-stencil surface.
// Draws into the back buffer that need neither depth nor stencil go straight
// into the window instead (d3d9_back_buffer.h), so that Present need not copy.
//
// Render and sampler states are recorded at once and sent to GL, grouped, at
// the next draw or clear.
#include "platform/com_object.h"
#include "platform/d3d9_back_buffer.h"
#include "platform/gl_device.h"
#include "platform/sdl_window.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define VANTOREL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOREL_ASAN 1
#endif
#endif

namespace platform {

#ifdef VANTOREL_ASAN
namespace {
// Under AddressSanitizer with its slow unwinder (which the leak check needs),
// llvmpipe's shader JIT deadlocks: registering the JIT's unwind tables
// allocates while libgcc holds its frame lock, and the allocation unwinds
// again. softpipe draws the same without a JIT. This runs before main, so
// before SDL loads the GL driver; a driver chosen by the caller is kept.
const bool g_SoftpipeUnderSanitizer = [] {
    setenv("GALLIUM_DRIVER", "softpipe", 0);
    return true;
}();
} // namespace
#endif

struct DeviceCore {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    IDirect3DDevice9* device = nullptr; // null once the device is released
};

bool MakeCurrent(const DeviceHandle& handle)
{
    if (!handle || !handle->device)
        return false;
    if (SDL_GL_GetCurrentContext() != handle->context &&
        SDL_GL_MakeCurrent(handle->window, handle->context) != 0)
        return false;
    return true;
}

void FinishDrawing(IDirect3DDevice9* device)
{
    if (device && MakeCurrent(HandleOf(device)))
        glFinish();
}

IDirect3DDevice9* DeviceOf(const DeviceHandle& handle)
{
    return handle ? handle->device : nullptr;
}

const char* const kAlphaTestGlsl = R"GLSL(
uniform int d3d_AlphaFunc;
uniform int d3d_AlphaRef;
void d3d_AlphaTest(float alpha)
{
    int a = int(floor(clamp(alpha, 0.0, 1.0) * 255.0 + 0.5));
    bool pass;
    switch (d3d_AlphaFunc) {
    case 1: pass = false; break;
    case 2: pass = a < d3d_AlphaRef; break;
    case 3: pass = a == d3d_AlphaRef; break;
    case 4: pass = a <= d3d_AlphaRef; break;
    case 5: pass = a > d3d_AlphaRef; break;
    case 6: pass = a != d3d_AlphaRef; break;
    case 7: pass = a >= d3d_AlphaRef; break;
    default: pass = true; break;
    }
    if (!pass)
        discard;
}
)GLSL";

namespace {

// --- the fixed-function path ---------------------------------------------------------

// One program per combination of the features a draw needs, chosen at draw
// time: software rasterisers run both sides of a uniform branch, so the common
// cases (a textured quad, a coloured line) must not pay for the rest.
enum FixedFeature : unsigned {
    kFeaturePretransformed = 1u << 0, // D3DFVF_XYZRHW positions
    kFeatureTexture = 1u << 1,        // stage 0 has a texture and the vertices coordinates
    kFeatureStageOps = 1u << 2,       // stage 0 operations other than the defaults
    kFeatureAlphaTest = 1u << 3,
    kFeatureSpecular = 1u << 4,
    kFeatureCount = 1u << 5
};

const char* const kFixedVertexShader = R"GLSL(
layout(location = 0) in vec4 a_Position;
layout(location = 2) in vec4 a_Diffuse;
layout(location = 3) in vec4 a_Specular;
layout(location = 4) in vec4 a_Tex0;
layout(location = 5) in vec4 a_Tex1;
layout(location = 6) in vec4 a_Tex2;
layout(location = 7) in vec4 a_Tex3;
uniform mat4 u_Wvp;
uniform vec4 u_Viewport;
uniform int u_TexIndex;
out vec4 v_Diffuse;
out vec4 v_Specular;
out vec2 v_Tex;
void main()
{
#if PRETRANSFORMED
    // Pixel positions of the render target; w carries 1/w for perspective.
    float w = a_Position.w != 0.0 ? 1.0 / a_Position.w : 1.0;
    vec2 ndc = vec2((a_Position.x - u_Viewport.x) / u_Viewport.z * 2.0 - 1.0,
                    1.0 - (a_Position.y - u_Viewport.y) / u_Viewport.w * 2.0);
    gl_Position = vec4(ndc * w, a_Position.z * w, w);
#else
    gl_Position = u_Wvp * a_Position;
#endif
    v_Diffuse = a_Diffuse;
    v_Specular = a_Specular;
#if TEXTURE
    v_Tex = u_TexIndex == 0 ? a_Tex0.xy : u_TexIndex == 1 ? a_Tex1.xy : u_TexIndex == 2 ? a_Tex2.xy : a_Tex3.xy;
#else
    v_Tex = vec2(0.0);
#endif
}
)GLSL";

const char* const kFixedFragmentShader = R"GLSL(
in vec4 v_Diffuse;
in vec4 v_Specular;
in vec2 v_Tex;
uniform sampler2D u_Texture;
uniform ivec3 u_ColorOp; // operation, argument 1, argument 2 of stage 0
uniform ivec3 u_AlphaOp;
uniform vec4 u_TextureFactor;
out vec4 o_Color;

vec4 Argument(int arg, vec4 tex)
{
    int select = arg & 15;
    vec4 v = select == 2 ? tex : select == 3 ? u_TextureFactor : select == 4 ? v_Specular
           : select == 5 ? vec4(0.0) : v_Diffuse;
    if ((arg & 16) != 0)
        v = vec4(1.0) - v;
    if ((arg & 32) != 0)
        v = vec4(v.a);
    return v;
}

bool ReadsTexture(ivec3 op)
{
    return ((op.y & 15) == 2 && op.x != 3) || ((op.z & 15) == 2 && op.x != 2);
}

vec4 Combine(ivec3 op, vec4 tex)
{
    vec4 a = Argument(op.y, tex);
    vec4 b = Argument(op.z, tex);
    vec4 r;
    switch (op.x) {
    case 2: r = a; break;
    case 3: r = b; break;
    case 5: r = 2.0 * a * b; break;
    case 6: r = 4.0 * a * b; break;
    case 7: r = a + b; break;
    case 8: r = a + b - 0.5; break;
    case 9: r = 2.0 * (a + b - 0.5); break;
    case 10: r = a - b; break;
    case 11: r = a + b - a * b; break;
    default: r = a * b; break;
    }
    return clamp(r, 0.0, 1.0);
}

void main()
{
    vec4 color = v_Diffuse;
#if TEXTURE
    vec4 tex = texture(u_Texture, v_Tex);
#if STAGE_OPS
    // Stage 0 disabled passes the diffuse colour on.
    if (u_ColorOp.x != 1) {
        color.rgb = Combine(u_ColorOp, tex).rgb;
        if (u_AlphaOp.x != 1)
            color.a = Combine(u_AlphaOp, tex).a;
    }
#else
    color = vec4(tex.rgb * v_Diffuse.rgb, tex.a); // Direct3D's defaults
#endif
#elif STAGE_OPS
    // Without a texture, an operation that would read one passes the diffuse colour.
    if (u_ColorOp.x != 1) {
        if (!ReadsTexture(u_ColorOp))
            color.rgb = Combine(u_ColorOp, vec4(1.0)).rgb;
        if (u_AlphaOp.x != 1 && !ReadsTexture(u_AlphaOp))
            color.a = Combine(u_AlphaOp, vec4(1.0)).a;
    }
#endif
#if SPECULAR
    color.rgb = clamp(color.rgb + v_Specular.rgb, 0.0, 1.0);
#endif
#if ALPHA_TEST
    d3d_AlphaTest(color.a);
#endif
    o_Color = color;
}
)GLSL";

struct FixedProgram {
    GLuint program = 0;
    GLint wvp = -1, viewport = -1, texIndex = -1, colorOp = -1, alphaOp = -1, textureFactor = -1, alphaFunc = -1,
          alphaRef = -1;
};

GLuint CompileShader(GLenum type, const std::string& source, std::string& log)
{
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {0};
        glGetShaderInfoLog(shader, sizeof(buffer) - 1, nullptr, buffer);
        log += buffer;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

bool BuildFixedProgram(unsigned features, FixedProgram& out, std::string& log)
{
    std::string defines = "#version 330 core\n";
    auto define = [&](const char* name, unsigned bit) {
        defines += std::string("#define ") + name + ((features & bit) ? " 1\n" : " 0\n");
    };
    define("PRETRANSFORMED", kFeaturePretransformed);
    define("TEXTURE", kFeatureTexture);
    define("STAGE_OPS", kFeatureStageOps);
    define("ALPHA_TEST", kFeatureAlphaTest);
    define("SPECULAR", kFeatureSpecular);
    GLuint vs = CompileShader(GL_VERTEX_SHADER, defines + kFixedVertexShader, log);
    GLuint fs = CompileShader(GL_FRAGMENT_SHADER, defines + kAlphaTestGlsl + kFixedFragmentShader, log);
    if (!vs || !fs) {
        glDeleteShader(vs);
        glDeleteShader(fs);
        return false;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {0};
        glGetProgramInfoLog(program, sizeof(buffer) - 1, nullptr, buffer);
        log += buffer;
        glDeleteProgram(program);
        return false;
    }
    out.program = program;
    out.wvp = glGetUniformLocation(program, "u_Wvp");
    out.viewport = glGetUniformLocation(program, "u_Viewport");
    out.texIndex = glGetUniformLocation(program, "u_TexIndex");
    out.colorOp = glGetUniformLocation(program, "u_ColorOp");
    out.alphaOp = glGetUniformLocation(program, "u_AlphaOp");
    out.textureFactor = glGetUniformLocation(program, "u_TextureFactor");
    out.alphaFunc = glGetUniformLocation(program, "d3d_AlphaFunc");
    out.alphaRef = glGetUniformLocation(program, "d3d_AlphaRef");
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "u_Texture"), 0);
    return true;
}

// --- vertex formats -------------------------------------------------------------------

struct VertexLayout {
    bool valid = false;
    GLint positionSize = 0; // 0: no position
    bool pretransformed = false;
    int normal = -1, diffuse = -1, specular = -1;
    int tex[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    GLint texSize[8] = {0};
    unsigned texCount = 0;
    unsigned size = 0;
};

VertexLayout DecodeFvf(DWORD fvf)
{
    VertexLayout l;
    unsigned offset = 0;
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    switch (position) {
    case 0: break;
    case D3DFVF_XYZ: l.positionSize = 3; offset = 12; break;
    case D3DFVF_XYZRHW: l.positionSize = 4; l.pretransformed = true; offset = 16; break;
    case D3DFVF_XYZW: l.positionSize = 4; offset = 16; break;
    case D3DFVF_XYZB1: case D3DFVF_XYZB2: case D3DFVF_XYZB3: case D3DFVF_XYZB4: case D3DFVF_XYZB5:
        // Blend weights follow the position; nothing here reads them.
        l.positionSize = 3;
        offset = 12 + 4 * ((position - D3DFVF_XYZB1) / 2 + 1);
        break;
    default: return l;
    }
    if (fvf & D3DFVF_NORMAL) { l.normal = static_cast<int>(offset); offset += 12; }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) { l.diffuse = static_cast<int>(offset); offset += 4; }
    if (fvf & D3DFVF_SPECULAR) { l.specular = static_cast<int>(offset); offset += 4; }
    l.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (l.texCount > 8)
        return l;
    for (unsigned set = 0; set < l.texCount; ++set) {
        static const GLint sizes[4] = {2, 3, 4, 1};
        l.texSize[set] = sizes[(fvf >> (16 + 2 * set)) & 3];
        l.tex[set] = static_cast<int>(offset);
        offset += 4 * static_cast<unsigned>(l.texSize[set]);
    }
    l.size = offset;
    l.valid = true;
    return l;
}

// Vertices a draw of `count` primitives reads, and the GL mode.
bool PrimitiveShape(D3DPRIMITIVETYPE type, UINT count, GLenum* mode, UINT* vertices)
{
    switch (type) {
    case D3DPT_POINTLIST: *mode = GL_POINTS; *vertices = count; return true;
    case D3DPT_LINELIST: *mode = GL_LINES; *vertices = count * 2; return true;
    case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; *vertices = count + 1; return true;
    case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; *vertices = count * 3; return true;
    case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; *vertices = count + 2; return true;
    case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; *vertices = count + 2; return true;
    default: return false;
    }
}

// --- state translation ------------------------------------------------------------------

GLenum CompareFunc(DWORD f)
{
    switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum BlendFactor(DWORD b)
{
    switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

// The source factor's BOTH forms also decide the destination factor.
void BlendFactors(DWORD src, DWORD dst, GLenum* glSrc, GLenum* glDst)
{
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *glSrc = GL_SRC_ALPHA;
        *glDst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *glSrc = GL_ONE_MINUS_SRC_ALPHA;
        *glDst = GL_SRC_ALPHA;
    } else {
        *glSrc = BlendFactor(src);
        *glDst = BlendFactor(dst);
    }
}

GLenum BlendOp(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum StencilOp(DWORD op)
{
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

GLint AddressMode(DWORD mode)
{
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

float FloatOf(DWORD value)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

void ColorToFloats(D3DCOLOR c, float out[4])
{
    out[0] = ((c >> 16) & 0xFF) / 255.0f;
    out[1] = ((c >> 8) & 0xFF) / 255.0f;
    out[2] = (c & 0xFF) / 255.0f;
    out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

D3DMATRIX Identity()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Row-vector product: a vertex goes through a, then b.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

// The GL winding that is clockwise as the image is seen (row 0 at the top).
// With glClipControl(GL_UPPER_LEFT) GL keeps facing in the sense the image is
// seen in, so this is GL_CW; the cull tests pin it down. It stays so in the
// window, drawn with the origin at GL_LOWER_LEFT: the clip origin turns the
// facing with the picture.
constexpr GLenum kScreenClockwise = GL_CW;

enum DirtyBits : unsigned {
    kDirtyTargets = 1u << 0,
    kDirtyViewport = 1u << 1,
    kDirtyBlend = 1u << 2,
    kDirtyDepth = 1u << 3,
    kDirtyCull = 1u << 4,
    kDirtyStencil = 1u << 5,
    kDirtyColorMask = 1u << 6,
    kDirtyFill = 1u << 7,
    kDirtyScissor = 1u << 8,
    kDirtyDepthBias = 1u << 9,
    kDirtyPointSize = 1u << 10,
    kDirtyAll = 0xFFFFFFFFu
};

constexpr UINT kTransformCount = 512;
constexpr UINT kRenderStateCount = 256;
constexpr UINT kSamplerStateCount = 14;
constexpr UINT kStageStateCount = 33;
constexpr GLsizeiptr kStreamBufferSize = 4 << 20;

class Device final : public RefCounted<IDirect3DDevice9> {
public:
    Device(IDirect3D9* d3d, DeviceHandle core, const D3DPRESENT_PARAMETERS& params)
        : m_D3D(d3d), m_Core(std::move(core)), m_Params(params)
    {
        m_D3D->AddRef();
        m_Core->device = this;
    }

    // Builds the GL side; false (with the reason in `error`) when it cannot.
    bool Init(std::string& error);

    HRESULT TestCooperativeLevel() override { return D3D_OK; }
    HRESULT GetDirect3D(IDirect3D9** d3d) override
    {
        if (!d3d)
            return D3DERR_INVALIDCALL;
        *d3d = m_D3D;
        m_D3D->AddRef();
        return D3D_OK;
    }
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* params) override
    {
        if (!params)
            return D3DERR_INVALIDCALL;
        *params = m_Params;
        return D3D_OK;
    }

    HRESULT BeginScene() override
    {
        if (m_InScene)
            return D3DERR_INVALIDCALL;
        m_InScene = true;
        return D3D_OK;
    }
    HRESULT EndScene() override
    {
        if (!m_InScene)
            return D3DERR_INVALIDCALL;
        m_InScene = false;
        return D3D_OK;
    }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override
    {
        if (!viewport || viewport->Width == 0 || viewport->Height == 0)
            return D3DERR_INVALIDCALL;
        m_Viewport = *viewport;
        m_Dirty |= kDirtyViewport;
        return D3D_OK;
    }
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override
    {
        if (!viewport)
            return D3DERR_INVALIDCALL;
        *viewport = m_Viewport;
        return D3D_OK;
    }
    HRESULT SetScissorRect(const RECT* rect) override
    {
        if (!rect)
            return D3DERR_INVALIDCALL;
        m_Scissor = *rect;
        m_Dirty |= kDirtyScissor;
        return D3D_OK;
    }
    HRESULT GetScissorRect(RECT* rect) override
    {
        if (!rect)
            return D3DERR_INVALIDCALL;
        *rect = m_Scissor;
        return D3D_OK;
    }

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        if (!matrix || static_cast<UINT>(state) >= kTransformCount)
            return D3DERR_INVALIDCALL;
        m_Transforms[state] = *matrix;
        return D3D_OK;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override
    {
        if (!matrix || static_cast<UINT>(state) >= kTransformCount)
            return D3DERR_INVALIDCALL;
        *matrix = m_Transforms[state];
        return D3D_OK;
    }
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        if (!matrix || static_cast<UINT>(state) >= kTransformCount)
            return D3DERR_INVALIDCALL;
        m_Transforms[state] = Multiply(*matrix, m_Transforms[state]);
        return D3D_OK;
    }

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        if (!value || static_cast<UINT>(state) >= kRenderStateCount)
            return D3DERR_INVALIDCALL;
        *value = m_RenderStates[state];
        return D3D_OK;
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override
    {
        if (sampler >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kSamplerStateCount)
            return D3DERR_INVALIDCALL;
        if (m_SamplerStates[sampler][type] != value) {
            m_SamplerStates[sampler][type] = value;
            m_SamplerDirty[sampler] = true;
        }
        return D3D_OK;
    }
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override
    {
        if (!value || sampler >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kSamplerStateCount)
            return D3DERR_INVALIDCALL;
        *value = m_SamplerStates[sampler][type];
        return D3D_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override
    {
        if (stage >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kStageStateCount)
            return D3DERR_INVALIDCALL;
        m_StageStates[stage][type] = value;
        return D3D_OK;
    }
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override
    {
        if (!value || stage >= kMaxTextureStages || type < 1 || static_cast<UINT>(type) >= kStageStateCount)
            return D3DERR_INVALIDCALL;
        *value = m_StageStates[stage][type];
        return D3D_OK;
    }

    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override
    {
        if (stage >= kMaxTextureStages)
            return D3DERR_INVALIDCALL;
        Hold(m_Textures[stage], texture);
        return D3D_OK;
    }
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override
    {
        if (!texture || stage >= kMaxTextureStages)
            return D3DERR_INVALIDCALL;
        *texture = m_Textures[stage];
        if (*texture)
            (*texture)->AddRef();
        return D3D_OK;
    }

    HRESULT SetFVF(DWORD fvf) override
    {
        m_Fvf = fvf;
        return D3D_OK;
    }
    HRESULT GetFVF(DWORD* fvf) override
    {
        if (!fvf)
            return D3DERR_INVALIDCALL;
        *fvf = m_Fvf;
        return D3D_OK;
    }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override
    {
        if (stream != 0)
            return buffer ? D3DERR_INVALIDCALL : D3D_OK;
        Hold(m_Stream, buffer);
        m_StreamOffset = offset;
        m_StreamStride = stride;
        return D3D_OK;
    }
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride) override
    {
        if (!buffer || !offset || !stride)
            return D3DERR_INVALIDCALL;
        *buffer = stream == 0 ? m_Stream : nullptr;
        if (*buffer)
            (*buffer)->AddRef();
        *offset = stream == 0 ? m_StreamOffset : 0;
        *stride = stream == 0 ? m_StreamStride : 0;
        return D3D_OK;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override
    {
        Hold(m_Indices, indices);
        return D3D_OK;
    }
    HRESULT GetIndices(IDirect3DIndexBuffer9** indices) override
    {
        if (!indices)
            return D3DERR_INVALIDCALL;
        *indices = m_Indices;
        if (*indices)
            (*indices)->AddRef();
        return D3D_OK;
    }

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                   const void* vertices, UINT stride) override;

    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE*) override
    {
        return gl::CreateVertexBuffer(m_Core, length, usage, fvf, pool, buffer);
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE*) override
    {
        return gl::CreateIndexBuffer(m_Core, length, usage, format, pool, buffer);
    }
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE*) override
    {
        return gl::CreateTexture(m_Core, width, height, levels, usage, format, pool, texture);
    }
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                               IDirect3DSurface9** surface, HANDLE*) override
    {
        return gl::CreateSurface(m_Core, width, height, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, surface);
    }
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                      IDirect3DSurface9** surface, HANDLE*) override
    {
        return gl::CreateSurface(m_Core, width, height, D3DUSAGE_DEPTHSTENCIL, format, D3DPOOL_DEFAULT, surface);
    }
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE*) override
    {
        return gl::CreateSurface(m_Core, width, height, 0, format, pool, surface);
    }

    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override
    {
        if (!surface)
            return D3DERR_INVALIDCALL;
        *surface = nullptr;
        if (index != 0)
            return D3DERR_NOTFOUND;
        *surface = m_RenderTarget;
        m_RenderTarget->AddRef();
        return D3D_OK;
    }
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override
    {
        if (!surface)
            return D3DERR_INVALIDCALL;
        *surface = m_DepthStencil;
        if (!m_DepthStencil)
            return D3DERR_NOTFOUND;
        m_DepthStencil->AddRef();
        return D3D_OK;
    }
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) override
    {
        if (!surface || swapChain != 0 || index != 0)
            return D3DERR_INVALIDCALL;
        *surface = m_BackBuffer;
        m_BackBuffer->AddRef();
        return D3D_OK;
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                        const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;

    // --- for gl_device.h
    void UseProgram(unsigned program);
    unsigned Program() const { return m_EffectProgram; }
    const DeviceHandle& Core() const { return m_Core; }
    DrawStats& Stats() { return m_Stats; }
    void DrawBackBufferInWindow(bool on);
    // Someone locks the back buffer: its texture must hold the pixels.
    void BackBufferLocked(bool writing);

private:
    ~Device() override;

    template <class T>
    static void Hold(T*& slot, T* object)
    {
        if (slot == object)
            return;
        if (object)
            object->AddRef();
        if (slot)
            slot->Release();
        slot = object;
    }

    void SetDefaultStates();
    bool PrepareDraw(const VertexLayout& layout);
    // Binds the render target for a draw or clear; false when it cannot be
    // drawn into. `depthUsed`: it reads or writes depth or stencil.
    bool ApplyTargets(bool depthUsed);
    bool BindTarget(bool window);
    bool DepthInUse() const;
    void InitWindowBackBuffer();
    // After the back buffer's pixels moved (`copied`: GL copied them).
    void BackBufferCopied(bool copied);
    // A row of the render target as GL counts it where it is drawn.
    GLint TargetRow(LONG top, LONG height) const
    {
        return m_DrawsToWindow ? static_cast<GLint>(m_TargetBinding.height) - top - height : top;
    }
    void ApplyStates();
    void ApplySampler(DWORD sampler);
    void BindTextures(bool fixedFunction, const VertexLayout& layout);
    // Picks and sets up the fixed-function program the draw needs.
    bool UseFixedProgram(const VertexLayout& layout, GLint alphaFunc, GLint alphaRef);
    void BindVertices(GLuint buffer, size_t base, UINT stride, const VertexLayout& layout);
    // Copies bytes into the stream buffer; returns their offset.
    size_t Stream(GLuint buffer, GLsizeiptr& used, const void* data, size_t bytes);
    void Count(UINT primitives)
    {
        ++m_Stats.drawCalls;
        m_Stats.primitives += primitives;
    }
    // Full rectangle of the current render target.
    RECT TargetRect() const;

    IDirect3D9* m_D3D;
    DeviceHandle m_Core;
    D3DPRESENT_PARAMETERS m_Params;
    bool m_InScene = false;

    IDirect3DSurface9* m_BackBuffer = nullptr;
    gl::WindowBackBuffer m_Window;
    // GL draws into the window (framebuffer 0), not the device's framebuffer.
    bool m_DrawsToWindow = false;
    IDirect3DSurface9* m_AutoDepthStencil = nullptr;
    IDirect3DSurface9* m_RenderTarget = nullptr;
    IDirect3DSurface9* m_DepthStencil = nullptr;
    gl::SurfaceBinding m_TargetBinding, m_DepthBinding;
    gl::FormatInfo m_DepthInfo;
    IDirect3DBaseTexture9* m_Textures[kMaxTextureStages] = {};
    IDirect3DVertexBuffer9* m_Stream = nullptr;
    UINT m_StreamOffset = 0, m_StreamStride = 0;
    IDirect3DIndexBuffer9* m_Indices = nullptr;
    DWORD m_Fvf = 0;

    std::array<D3DMATRIX, kTransformCount> m_Transforms;
    DWORD m_RenderStates[kRenderStateCount] = {};
    DWORD m_SamplerStates[kMaxTextureStages][kSamplerStateCount] = {};
    bool m_SamplerDirty[kMaxTextureStages] = {};
    DWORD m_StageStates[kMaxTextureStages][kStageStateCount] = {};
    D3DVIEWPORT9 m_Viewport = {0, 0, 1, 1, 0.0f, 1.0f};
    RECT m_Scissor = {0, 0, 0, 0};
    unsigned m_Dirty = kDirtyAll;

    unsigned m_EffectProgram = 0;
    GLint m_EffectAlphaFunc = -1, m_EffectAlphaRef = -1;

    GLuint m_Framebuffer = 0, m_ReadFramebuffer = 0, m_VertexArray = 0;
    GLuint m_StreamVertices = 0, m_StreamIndices = 0;
    GLsizeiptr m_StreamVerticesUsed = 0, m_StreamIndicesUsed = 0;
    GLuint m_Samplers[kMaxTextureStages] = {};
    // Bound wherever a stage holds no texture: one opaque black texel, what an
    // empty stage samples as under Direct3D 9 whatever GL makes of texture 0.
    GLuint m_EmptyStageTexture = 0;
    bool m_Anisotropy = false;
    FixedProgram m_FixedPrograms[kFeatureCount];
    bool m_FramebufferComplete = false;
    // The fence at the end of the last frame presented.
    void* m_LastFrame = nullptr;
    DrawStats m_Stats;
};

bool Device::Init(std::string& error)
{
    SetDefaultStates();
    for (auto& m : m_Transforms)
        m = Identity();

    if (!MakeCurrent(m_Core)) {
        error = "cannot make the GL context current";
        return false;
    }
    // The plainest program is built now: a context that cannot compile it is no use.
    if (!BuildFixedProgram(0, m_FixedPrograms[0], error))
        return false;

    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glGenFramebuffers(1, &m_Framebuffer);
    glGenFramebuffers(1, &m_ReadFramebuffer);
    glGenVertexArrays(1, &m_VertexArray);
    glBindVertexArray(m_VertexArray);
    glGenBuffers(1, &m_StreamVertices);
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_StreamVertices);
    glBufferData(GL_COPY_WRITE_BUFFER, kStreamBufferSize, nullptr, GL_STREAM_DRAW);
    glGenBuffers(1, &m_StreamIndices);
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_StreamIndices);
    glBufferData(GL_COPY_WRITE_BUFFER, kStreamBufferSize, nullptr, GL_STREAM_DRAW);
    glGenSamplers(kMaxTextureStages, m_Samplers);
    glGenTextures(1, &m_EmptyStageTexture);
    glBindTexture(GL_TEXTURE_2D, m_EmptyStageTexture);
    const unsigned char opaqueBlack[4] = {0, 0, 0, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, opaqueBlack);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    m_Anisotropy = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                   epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    // What a vertex without a diffuse colour has.
    glVertexAttrib4f(kAttribColor0, 1.0f, 1.0f, 1.0f, 1.0f);
    glVertexAttrib4f(kAttribColor1, 0.0f, 0.0f, 0.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    HRESULT hr = gl::CreateSurface(m_Core, m_Params.BackBufferWidth, m_Params.BackBufferHeight,
                                   D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &m_BackBuffer);
    if (FAILED(hr)) {
        error = "cannot make the back buffer";
        return false;
    }
    if (m_Params.EnableAutoDepthStencil) {
        hr = gl::CreateSurface(m_Core, m_Params.BackBufferWidth, m_Params.BackBufferHeight, D3DUSAGE_DEPTHSTENCIL,
                               m_Params.AutoDepthStencilFormat, D3DPOOL_DEFAULT, &m_AutoDepthStencil);
        if (FAILED(hr)) {
            error = "cannot make the depth-stencil surface";
            return false;
        }
        SetDepthStencilSurface(m_AutoDepthStencil);
    }
    m_RenderStates[D3DRS_ZENABLE] = m_Params.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    InitWindowBackBuffer();
    SetRenderTarget(0, m_BackBuffer);
    // The back buffer starts black, as a new swap chain does.
    Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    if (m_DepthStencil)
        Clear(0, nullptr, D3DCLEAR_ZBUFFER | (m_DepthInfo.stencil ? DWORD(D3DCLEAR_STENCIL) : DWORD(0)), 0, 1.0f, 0);
    return true;
}

// The window's framebuffer stands for the back buffer only where nothing
// tells them apart: same size, same colour depth, and pixels that may go at
// Present (a copy swap effect keeps them).
void Device::InitWindowBackBuffer()
{
    gl::SurfaceBinding back;
    gl::BindingOf(m_BackBuffer, &back);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    // The back buffer is X8R8G8B8: the window's alpha, if any, is never read.
    GLint bits[3] = {0, 0, 0};
    const GLenum channels[3] = {GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE,
                                GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE};
    for (int i = 0; i < 3; ++i)
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, channels[i], &bits[i]);
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(m_Core->window, &width, &height);
    const bool fits = bits[0] == 8 && bits[1] == 8 && bits[2] == 8 &&
                      m_Params.SwapEffect == D3DSWAPEFFECT_DISCARD && width == static_cast<int>(back.width) &&
                      height == static_cast<int>(back.height) && glGetError() == GL_NO_ERROR;
    m_Window.Init(back.texture, back.width, back.height, fits, doubleBuffered == GL_TRUE);
    // The surface may outlive the device: it calls back through the handle.
    gl::WatchLocks(m_BackBuffer, [core = m_Core](bool writing) {
        if (Device* device = dynamic_cast<Device*>(DeviceOf(core)))
            device->BackBufferLocked(writing);
    });
}

Device::~Device()
{
    const bool current = MakeCurrent(m_Core);
    for (auto& texture : m_Textures)
        Hold(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
    Hold(m_Stream, static_cast<IDirect3DVertexBuffer9*>(nullptr));
    Hold(m_Indices, static_cast<IDirect3DIndexBuffer9*>(nullptr));
    Hold(m_RenderTarget, static_cast<IDirect3DSurface9*>(nullptr));
    Hold(m_DepthStencil, static_cast<IDirect3DSurface9*>(nullptr));
    if (m_BackBuffer)
        m_BackBuffer->Release();
    if (m_AutoDepthStencil)
        m_AutoDepthStencil->Release();
    if (current) {
        m_Window.Release();
        if (m_LastFrame)
            glDeleteSync(static_cast<GLsync>(m_LastFrame));
        glUseProgram(0);
        glBindVertexArray(0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        for (const FixedProgram& p : m_FixedPrograms)
            if (p.program)
                glDeleteProgram(p.program);
        glDeleteFramebuffers(1, &m_Framebuffer);
        glDeleteFramebuffers(1, &m_ReadFramebuffer);
        glDeleteVertexArrays(1, &m_VertexArray);
        glDeleteBuffers(1, &m_StreamVertices);
        glDeleteBuffers(1, &m_StreamIndices);
        glDeleteSamplers(kMaxTextureStages, m_Samplers);
        glDeleteTextures(1, &m_EmptyStageTexture);
    }
    // Objects still alive (textures kept in a cache until exit...) only forget
    // their GL names from now on.
    m_Core->device = nullptr;
    if (!m_Params.Windowed)
        SDL_SetWindowFullscreen(m_Core->window, 0);
    SDL_GL_MakeCurrent(m_Core->window, nullptr);
    SDL_GL_DeleteContext(m_Core->context);
    m_Core->context = nullptr;
    m_D3D->Release();
}

void Device::SetDefaultStates()
{
    DWORD* rs = m_RenderStates;
    rs[D3DRS_ZENABLE] = D3DZB_TRUE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_ALPHATESTENABLE] = FALSE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAREF] = 0;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = 1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = 2;
    rs[D3DRS_POINTSIZE] = platform::FloatToStateValue(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = platform::FloatToStateValue(1.0f);
    rs[D3DRS_POINTSIZE_MAX] = platform::FloatToStateValue(64.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_COLORWRITEENABLE] = rs[D3DRS_COLORWRITEENABLE1] = rs[D3DRS_COLORWRITEENABLE2] =
        rs[D3DRS_COLORWRITEENABLE3] = 0xF;
    rs[D3DRS_BLENDOP] = rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    rs[D3DRS_CCW_STENCILFAIL] = rs[D3DRS_CCW_STENCILZFAIL] = rs[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;

    for (DWORD s = 0; s < kMaxTextureStages; ++s) {
        DWORD* ss = m_SamplerStates[s];
        ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        ss[D3DSAMP_MAXANISOTROPY] = 1;
        m_SamplerDirty[s] = true;

        DWORD* ts = m_StageStates[s];
        ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = s;
    }
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (static_cast<UINT>(state) >= kRenderStateCount)
        return D3DERR_INVALIDCALL;
    if (m_RenderStates[state] == value)
        return D3D_OK;
    m_RenderStates[state] = value;
    switch (state) {
    case D3DRS_ZENABLE: case D3DRS_ZWRITEENABLE: case D3DRS_ZFUNC:
        m_Dirty |= kDirtyDepth;
        break;
    case D3DRS_SRCBLEND: case D3DRS_DESTBLEND: case D3DRS_ALPHABLENDENABLE: case D3DRS_BLENDOP:
    case D3DRS_SEPARATEALPHABLENDENABLE: case D3DRS_SRCBLENDALPHA: case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA: case D3DRS_BLENDFACTOR:
        m_Dirty |= kDirtyBlend;
        break;
    case D3DRS_CULLMODE:
        m_Dirty |= kDirtyCull;
        break;
    case D3DRS_STENCILENABLE: case D3DRS_STENCILFAIL: case D3DRS_STENCILZFAIL: case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC: case D3DRS_STENCILREF: case D3DRS_STENCILMASK: case D3DRS_STENCILWRITEMASK:
    case D3DRS_TWOSIDEDSTENCILMODE: case D3DRS_CCW_STENCILFAIL: case D3DRS_CCW_STENCILZFAIL:
    case D3DRS_CCW_STENCILPASS: case D3DRS_CCW_STENCILFUNC:
        m_Dirty |= kDirtyStencil;
        break;
    case D3DRS_COLORWRITEENABLE:
        m_Dirty |= kDirtyColorMask;
        break;
    case D3DRS_FILLMODE:
        m_Dirty |= kDirtyFill;
        break;
    case D3DRS_SCISSORTESTENABLE:
        m_Dirty |= kDirtyScissor;
        break;
    case D3DRS_DEPTHBIAS: case D3DRS_SLOPESCALEDEPTHBIAS:
        m_Dirty |= kDirtyDepthBias;
        break;
    case D3DRS_POINTSIZE:
        m_Dirty |= kDirtyPointSize;
        break;
    default:
        // The rest are read at draw time, or kept for GetRenderState only.
        break;
    }
    return D3D_OK;
}

RECT Device::TargetRect() const
{
    return RECT{0, 0, static_cast<LONG>(m_TargetBinding.width), static_cast<LONG>(m_TargetBinding.height)};
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    if (index != 0)
        return surface ? D3DERR_INVALIDCALL : D3D_OK;
    gl::SurfaceBinding binding;
    if (!surface || !gl::BindingOf(surface, &binding) || binding.texture == 0 ||
        !(binding.usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    Hold(m_RenderTarget, surface);
    m_TargetBinding = binding;
    // As in Direct3D, a new target brings a viewport and scissor rectangle of its size.
    m_Viewport = D3DVIEWPORT9{0, 0, binding.width, binding.height, 0.0f, 1.0f};
    m_Scissor = TargetRect();
    m_Dirty |= kDirtyTargets | kDirtyViewport | kDirtyScissor;
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface)
{
    gl::SurfaceBinding binding;
    if (surface) {
        if (!gl::BindingOf(surface, &binding) || !(binding.usage & D3DUSAGE_DEPTHSTENCIL) || binding.texture == 0)
            return D3DERR_INVALIDCALL;
        gl::LookUpFormat(binding.format, &m_DepthInfo);
    }
    Hold(m_DepthStencil, surface);
    m_DepthBinding = binding;
    m_Dirty |= kDirtyTargets;
    return D3D_OK;
}

bool Device::DepthInUse() const
{
    if (!m_DepthStencil)
        return false;
    const DWORD* rs = m_RenderStates;
    const bool depth =
        rs[D3DRS_ZENABLE] != D3DZB_FALSE && (rs[D3DRS_ZWRITEENABLE] || rs[D3DRS_ZFUNC] != D3DCMP_ALWAYS);
    return depth || rs[D3DRS_STENCILENABLE];
}

void Device::BackBufferCopied(bool copied)
{
    if (copied) {
        ++m_Stats.backBufferCopies;
        m_Dirty |= kDirtyScissor | kDirtyColorMask;
    }
}

bool Device::ApplyTargets(bool depthUsed)
{
    const bool back = m_RenderTarget == m_BackBuffer;
    // The window has no depth-stencil surface: such draws go on in the texture.
    if (back && depthUsed && m_Window.InWindow())
        BackBufferCopied(m_Window.MoveToTexture());
    const bool window = back && m_Window.InWindow();
    if (back)
        m_Window.Drawing(window);
    return BindTarget(window);
}

bool Device::BindTarget(bool window)
{
    if (window != m_DrawsToWindow) {
        m_DrawsToWindow = window;
        // The window's row 0 is its bottom: with the clip origin there the
        // picture lands the right way up.
        glClipControl(window ? GL_LOWER_LEFT : GL_UPPER_LEFT, GL_ZERO_TO_ONE);
        m_Dirty |= kDirtyViewport | kDirtyScissor | kDirtyCull;
    }
    if (window) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return true;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    if (!(m_Dirty & kDirtyTargets))
        return m_FramebufferComplete;
    m_Dirty &= ~kDirtyTargets;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_TargetBinding.texture,
                           m_TargetBinding.level);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
    if (m_DepthStencil)
        glFramebufferTexture2D(GL_FRAMEBUFFER, m_DepthInfo.stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                               GL_TEXTURE_2D, m_DepthBinding.texture, 0);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    m_FramebufferComplete = status == GL_FRAMEBUFFER_COMPLETE;
    if (!m_FramebufferComplete) {
        char text[96];
        std::snprintf(text, sizeof(text), "Direct3D device: render target not usable (GL status %04x)\n", status);
        OutputDebugStringA(text);
    }
    return m_FramebufferComplete;
}

void Device::ApplyStates()
{
    const DWORD* rs = m_RenderStates;
    if (m_Dirty & kDirtyViewport) {
        glViewport(static_cast<GLint>(m_Viewport.X),
                   TargetRow(static_cast<LONG>(m_Viewport.Y), static_cast<LONG>(m_Viewport.Height)),
                   static_cast<GLsizei>(m_Viewport.Width), static_cast<GLsizei>(m_Viewport.Height));
        glDepthRange(m_Viewport.MinZ, m_Viewport.MaxZ);
    }
    if (m_Dirty & kDirtyBlend) {
        if (rs[D3DRS_ALPHABLENDENABLE]) {
            glEnable(GL_BLEND);
            GLenum src, dst, srcAlpha, dstAlpha;
            BlendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
            GLenum op = BlendOp(rs[D3DRS_BLENDOP]), opAlpha = op;
            if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
                BlendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &srcAlpha, &dstAlpha);
                opAlpha = BlendOp(rs[D3DRS_BLENDOPALPHA]);
            } else {
                srcAlpha = src;
                dstAlpha = dst;
            }
            glBlendFuncSeparate(src, dst, srcAlpha, dstAlpha);
            glBlendEquationSeparate(op, opAlpha);
            float factor[4];
            ColorToFloats(static_cast<D3DCOLOR>(rs[D3DRS_BLENDFACTOR]), factor);
            glBlendColor(factor[0], factor[1], factor[2], factor[3]);
        } else {
            glDisable(GL_BLEND);
        }
    }
    if (m_Dirty & kDirtyDepth) {
        if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    }
    if (m_Dirty & kDirtyCull) {
        // GL's front is Direct3D's clockwise, so two-sided stencil agrees too.
        glFrontFace(kScreenClockwise);
        if (rs[D3DRS_CULLMODE] == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK);
        }
    }
    if (m_Dirty & kDirtyStencil) {
        if (rs[D3DRS_STENCILENABLE]) {
            glEnable(GL_STENCIL_TEST);
            const GLint ref = static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF);
            const GLuint mask = static_cast<GLuint>(rs[D3DRS_STENCILMASK]);
            glStencilFuncSeparate(GL_FRONT, CompareFunc(rs[D3DRS_STENCILFUNC]), ref, mask);
            glStencilOpSeparate(GL_FRONT, StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
                                StencilOp(rs[D3DRS_STENCILPASS]));
            const bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE] != 0;
            glStencilFuncSeparate(GL_BACK, CompareFunc(rs[twoSided ? D3DRS_CCW_STENCILFUNC : D3DRS_STENCILFUNC]),
                                  ref, mask);
            glStencilOpSeparate(GL_BACK, StencilOp(rs[twoSided ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL]),
                                StencilOp(rs[twoSided ? D3DRS_CCW_STENCILZFAIL : D3DRS_STENCILZFAIL]),
                                StencilOp(rs[twoSided ? D3DRS_CCW_STENCILPASS : D3DRS_STENCILPASS]));
            glStencilMask(static_cast<GLuint>(rs[D3DRS_STENCILWRITEMASK]));
        } else {
            glDisable(GL_STENCIL_TEST);
            glStencilMask(0xFFFFFFFFu);
        }
    }
    if (m_Dirty & kDirtyColorMask) {
        const DWORD m = rs[D3DRS_COLORWRITEENABLE];
        glColorMask((m & D3DCOLORWRITEENABLE_RED) != 0, (m & D3DCOLORWRITEENABLE_GREEN) != 0,
                    (m & D3DCOLORWRITEENABLE_BLUE) != 0, (m & D3DCOLORWRITEENABLE_ALPHA) != 0);
    }
    if (m_Dirty & kDirtyFill) {
        const DWORD f = rs[D3DRS_FILLMODE];
        glPolygonMode(GL_FRONT_AND_BACK, f == D3DFILL_POINT ? GL_POINT : f == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    }
    if (m_Dirty & kDirtyScissor) {
        if (rs[D3DRS_SCISSORTESTENABLE]) {
            glEnable(GL_SCISSOR_TEST);
            const LONG height = std::max<LONG>(0, m_Scissor.bottom - m_Scissor.top);
            glScissor(m_Scissor.left, TargetRow(m_Scissor.top, height),
                      std::max<LONG>(0, m_Scissor.right - m_Scissor.left), height);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
    }
    if (m_Dirty & kDirtyDepthBias) {
        const float bias = FloatOf(rs[D3DRS_DEPTHBIAS]);
        const float slope = FloatOf(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
        if (bias != 0.0f || slope != 0.0f) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glEnable(GL_POLYGON_OFFSET_LINE);
            glEnable(GL_POLYGON_OFFSET_POINT);
            // Direct3D adds the bias to depth itself; GL counts steps of a 24-bit buffer.
            glPolygonOffset(slope, bias * 16777216.0f);
        } else {
            glDisable(GL_POLYGON_OFFSET_FILL);
            glDisable(GL_POLYGON_OFFSET_LINE);
            glDisable(GL_POLYGON_OFFSET_POINT);
        }
    }
    if (m_Dirty & kDirtyPointSize)
        glPointSize(std::max(1.0f, FloatOf(rs[D3DRS_POINTSIZE])));
    m_Dirty &= kDirtyTargets;
}

void Device::ApplySampler(DWORD sampler)
{
    if (!m_SamplerDirty[sampler])
        return;
    m_SamplerDirty[sampler] = false;
    const DWORD* ss = m_SamplerStates[sampler];
    const GLuint s = m_Samplers[sampler];
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, AddressMode(ss[D3DSAMP_ADDRESSU]));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, AddressMode(ss[D3DSAMP_ADDRESSV]));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, AddressMode(ss[D3DSAMP_ADDRESSW]));
    const bool magLinear = ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
    const bool minLinear = ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    GLint minFilter;
    switch (ss[D3DSAMP_MIPFILTER]) {
    case D3DTEXF_POINT: minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    case D3DTEXF_LINEAR:
    case D3DTEXF_ANISOTROPIC: minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
    default: minFilter = minLinear ? GL_LINEAR : GL_NEAREST; break;
    }
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
    float border[4];
    ColorToFloats(static_cast<D3DCOLOR>(ss[D3DSAMP_BORDERCOLOR]), border);
    glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
    glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, FloatOf(ss[D3DSAMP_MIPMAPLODBIAS]));
    glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, static_cast<float>(ss[D3DSAMP_MAXMIPLEVEL]));
    if (m_Anisotropy) {
        const bool anisotropic =
            ss[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || ss[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                            anisotropic ? std::max<float>(1.0f, static_cast<float>(ss[D3DSAMP_MAXANISOTROPY])) : 1.0f);
    }
}

void Device::BindTextures(bool fixedFunction, const VertexLayout& layout)
{
    // Textures are bound at every draw: uploads elsewhere move the bindings.
    const DWORD stages = fixedFunction ? 1 : kMaxTextureStages;
    for (DWORD stage = 0; stage < stages; ++stage) {
        glActiveTexture(GL_TEXTURE0 + stage);
        const GLuint name = GLTextureOf(m_Textures[stage]);
        glBindTexture(GL_TEXTURE_2D, name != 0 ? name : m_EmptyStageTexture);
        ApplySampler(stage);
        glBindSampler(stage, m_Samplers[stage]);
    }
    glActiveTexture(GL_TEXTURE0);
}

bool Device::UseFixedProgram(const VertexLayout& layout, GLint alphaFunc, GLint alphaRef)
{
    const DWORD* ts = m_StageStates[0];
    const DWORD set = ts[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
    const bool defaultOps = ts[D3DTSS_COLOROP] == D3DTOP_MODULATE && ts[D3DTSS_COLORARG1] == D3DTA_TEXTURE &&
                            (ts[D3DTSS_COLORARG2] == D3DTA_CURRENT || ts[D3DTSS_COLORARG2] == D3DTA_DIFFUSE) &&
                            ts[D3DTSS_ALPHAOP] == D3DTOP_SELECTARG1 && ts[D3DTSS_ALPHAARG1] == D3DTA_TEXTURE;
    unsigned features = 0;
    if (layout.pretransformed)
        features |= kFeaturePretransformed;
    if (GLTextureOf(m_Textures[0]) != 0 && set < layout.texCount)
        features |= kFeatureTexture;
    if (!defaultOps)
        features |= kFeatureStageOps;
    if (alphaFunc != D3DCMP_ALWAYS)
        features |= kFeatureAlphaTest;
    if (m_RenderStates[D3DRS_SPECULARENABLE] && layout.specular >= 0)
        features |= kFeatureSpecular;

    FixedProgram& p = m_FixedPrograms[features];
    if (p.program == 0) {
        std::string log;
        if (!BuildFixedProgram(features, p, log)) {
            OutputDebugStringA(("Direct3D device: fixed-function shader: " + log + "\n").c_str());
            return false;
        }
    }
    glUseProgram(p.program);
    if (layout.pretransformed) {
        glUniform4f(p.viewport, static_cast<float>(m_Viewport.X), static_cast<float>(m_Viewport.Y),
                    static_cast<float>(m_Viewport.Width), static_cast<float>(m_Viewport.Height));
    } else {
        const D3DMATRIX wvp = Multiply(Multiply(m_Transforms[D3DTS_WORLD], m_Transforms[D3DTS_VIEW]),
                                       m_Transforms[D3DTS_PROJECTION]);
        glUniformMatrix4fv(p.wvp, 1, GL_FALSE, &wvp._11);
    }
    if (features & kFeatureTexture)
        glUniform1i(p.texIndex, static_cast<GLint>(std::min<DWORD>(set, 3)));
    if (features & kFeatureStageOps) {
        glUniform3i(p.colorOp, static_cast<GLint>(ts[D3DTSS_COLOROP]), static_cast<GLint>(ts[D3DTSS_COLORARG1]),
                    static_cast<GLint>(ts[D3DTSS_COLORARG2]));
        glUniform3i(p.alphaOp, static_cast<GLint>(ts[D3DTSS_ALPHAOP]), static_cast<GLint>(ts[D3DTSS_ALPHAARG1]),
                    static_cast<GLint>(ts[D3DTSS_ALPHAARG2]));
        float factor[4];
        ColorToFloats(static_cast<D3DCOLOR>(m_RenderStates[D3DRS_TEXTUREFACTOR]), factor);
        glUniform4fv(p.textureFactor, 1, factor);
    }
    if (features & kFeatureAlphaTest) {
        glUniform1i(p.alphaFunc, alphaFunc);
        glUniform1i(p.alphaRef, alphaRef);
    }
    return true;
}

bool Device::PrepareDraw(const VertexLayout& layout)
{
    if (!layout.valid || !MakeCurrent(m_Core))
        return false;
    const bool fixedFunction = m_EffectProgram == 0;
    if (fixedFunction && layout.positionSize == 0)
        return false;
    if (!ApplyTargets(DepthInUse()))
        return false;
    ApplyStates();
    const GLint alphaFunc = m_RenderStates[D3DRS_ALPHATESTENABLE] ? static_cast<GLint>(m_RenderStates[D3DRS_ALPHAFUNC])
                                                                  : static_cast<GLint>(D3DCMP_ALWAYS);
    const GLint alphaRef = static_cast<GLint>(m_RenderStates[D3DRS_ALPHAREF] & 0xFF);
    if (fixedFunction) {
        if (!UseFixedProgram(layout, alphaFunc, alphaRef))
            return false;
    } else {
        glUseProgram(m_EffectProgram);
        if (m_EffectAlphaFunc >= 0)
            glUniform1i(m_EffectAlphaFunc, alphaFunc);
        if (m_EffectAlphaRef >= 0)
            glUniform1i(m_EffectAlphaRef, alphaRef);
    }
    BindTextures(fixedFunction, layout);
    return true;
}

void Device::BindVertices(GLuint buffer, size_t base, UINT stride, const VertexLayout& layout)
{
    // Specified anew at every draw: a deleted buffer's name may come back as another.
    glBindVertexArray(m_VertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    auto attribute = [&](GLuint location, int offset, GLint size, GLenum type, GLboolean normalized) {
        if (offset < 0) {
            glDisableVertexAttribArray(location);
            return;
        }
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, size, type, normalized, static_cast<GLsizei>(stride),
                              reinterpret_cast<const void*>(base + static_cast<size_t>(offset)));
    };
    attribute(kAttribPosition, layout.positionSize ? 0 : -1, layout.positionSize, GL_FLOAT, GL_FALSE);
    attribute(kAttribNormal, layout.normal, 3, GL_FLOAT, GL_FALSE);
    attribute(kAttribColor0, layout.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
    attribute(kAttribColor1, layout.specular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
    for (unsigned set = 0; set < 4; ++set)
        attribute(kAttribTexCoord0 + set, set < layout.texCount ? layout.tex[set] : -1, layout.texSize[set], GL_FLOAT,
                  GL_FALSE);
}

size_t Device::Stream(GLuint buffer, GLsizeiptr& used, const void* data, size_t bytes)
{
    glBindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    GLsizeiptr size = kStreamBufferSize;
    if (static_cast<GLsizeiptr>(bytes) > size) {
        // Bigger than the ring: a buffer of its own size for this once.
        glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(bytes), data, GL_STREAM_DRAW);
        used = size; // the next small draw orphans it back to the ring size
        return 0;
    }
    const GLsizeiptr start = (used + 15) & ~GLsizeiptr(15);
    if (start + static_cast<GLsizeiptr>(bytes) > size) {
        // Orphan the storage rather than wait for draws still reading it.
        glBufferData(GL_COPY_WRITE_BUFFER, size, nullptr, GL_STREAM_DRAW);
        used = 0;
        glBufferSubData(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
        used = static_cast<GLsizeiptr>(bytes);
        return 0;
    }
    // The range is fresh: no queued draw reads it (the ring is orphaned
    // before it wraps). Written without a wait, so that a software renderer
    // does not draw everything queued so far before taking the bytes.
    if (void* out = glMapBufferRange(GL_COPY_WRITE_BUFFER, start, static_cast<GLsizeiptr>(bytes),
                                     GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT)) {
        std::memcpy(out, data, bytes);
        glUnmapBuffer(GL_COPY_WRITE_BUFFER);
    } else {
        glBufferSubData(GL_COPY_WRITE_BUFFER, start, static_cast<GLsizeiptr>(bytes), data);
    }
    used = start + static_cast<GLsizeiptr>(bytes);
    return static_cast<size_t>(start);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    GLenum mode;
    UINT vertices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &vertices) || !m_Stream || m_StreamStride == 0)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    // A draw that would read past its buffer is refused, not left to the driver.
    D3DVERTEXBUFFER_DESC desc;
    m_Stream->GetDesc(&desc);
    if (!layout.valid ||
        m_StreamOffset + (static_cast<size_t>(startVertex) + vertices - 1) * m_StreamStride + layout.size > desc.Size)
        return D3DERR_INVALIDCALL;
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    BindVertices(gl::GLBufferOf(m_Stream), m_StreamOffset, m_StreamStride, layout);
    glDrawArrays(mode, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertices));
    Count(primitiveCount);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT, UINT, UINT startIndex,
                                     UINT primitiveCount)
{
    GLenum mode;
    UINT indices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &indices) || !m_Stream || m_StreamStride == 0 || !m_Indices)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    const bool wide = gl::IndexFormatOf(m_Indices) == D3DFMT_INDEX32;
    const size_t indexSize = wide ? 4 : 2;
    D3DINDEXBUFFER_DESC desc;
    m_Indices->GetDesc(&desc);
    if ((static_cast<size_t>(startIndex) + indices) * indexSize > desc.Size)
        return D3DERR_INVALIDCALL;
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    BindVertices(gl::GLBufferOf(m_Stream), m_StreamOffset, m_StreamStride, layout);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl::GLBufferOf(m_Indices));
    glDrawElementsBaseVertex(mode, static_cast<GLsizei>(indices), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(startIndex * indexSize), baseVertexIndex);
    Count(primitiveCount);
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride)
{
    GLenum mode;
    UINT vertices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &vertices) || !vertexData || stride == 0)
        return D3DERR_INVALIDCALL;
    // Direct3D leaves stream 0 unset after a draw from user memory.
    SetStreamSource(0, nullptr, 0, 0);
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    const size_t offset = Stream(m_StreamVertices, m_StreamVerticesUsed, vertexData,
                                 static_cast<size_t>(vertices) * stride);
    BindVertices(m_StreamVertices, offset, stride, layout);
    glDrawArrays(mode, 0, static_cast<GLsizei>(vertices));
    Count(primitiveCount);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                       UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                       const void* vertexData, UINT stride)
{
    GLenum mode;
    UINT indices;
    if (!PrimitiveShape(type, primitiveCount, &mode, &indices) || !indexData || !vertexData || stride == 0 ||
        (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    SetStreamSource(0, nullptr, 0, 0);
    SetIndices(nullptr);
    if (primitiveCount == 0)
        return D3D_OK;
    const VertexLayout layout = DecodeFvf(m_Fvf);
    if (!PrepareDraw(layout))
        return D3DERR_INVALIDCALL;
    const size_t vertexBytes = static_cast<size_t>(minVertexIndex + numVertices) * stride;
    const size_t vertexOffset = Stream(m_StreamVertices, m_StreamVerticesUsed, vertexData, vertexBytes);
    const bool wide = indexFormat == D3DFMT_INDEX32;
    const size_t indexOffset =
        Stream(m_StreamIndices, m_StreamIndicesUsed, indexData, static_cast<size_t>(indices) * (wide ? 4 : 2));
    BindVertices(m_StreamVertices, vertexOffset, stride, layout);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_StreamIndices);
    glDrawElements(mode, static_cast<GLsizei>(indices), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(indexOffset));
    Count(primitiveCount);
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    if ((count != 0 && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !m_DepthStencil)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !m_DepthInfo.stencil)
        return D3DERR_INVALIDCALL;
    if (!MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    // Into the window only the colour goes: depth and stencil are the
    // device framebuffer's.
    const bool window = (flags & D3DCLEAR_TARGET) && m_RenderTarget == m_BackBuffer && m_Window.InWindow();
    const bool depthStencil = (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0;
    if ((!window || depthStencil) && !BindTarget(false))
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_TARGET) && m_RenderTarget == m_BackBuffer)
        m_Window.Drawing(window);

    // The viewport, cut by the scissor rectangle when that test is on.
    RECT area = {static_cast<LONG>(m_Viewport.X), static_cast<LONG>(m_Viewport.Y),
                 static_cast<LONG>(m_Viewport.X + m_Viewport.Width), static_cast<LONG>(m_Viewport.Y + m_Viewport.Height)};
    if (m_RenderStates[D3DRS_SCISSORTESTENABLE]) {
        area.left = std::max(area.left, m_Scissor.left);
        area.top = std::max(area.top, m_Scissor.top);
        area.right = std::min(area.right, m_Scissor.right);
        area.bottom = std::min(area.bottom, m_Scissor.bottom);
    }
    float c[4];
    ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClearDepth(z);
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET)
        bits |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER)
        bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL)
        bits |= GL_STENCIL_BUFFER_BIT;
    // Clears `what` in the framebuffer bound, rectangle by rectangle.
    auto clear = [&](GLbitfield what) {
        ApplyStates();
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFFFFFFFFu);
        glEnable(GL_SCISSOR_TEST);
        const DWORD n = count == 0 ? 1 : count;
        for (DWORD i = 0; i < n; ++i) {
            RECT r = area;
            if (count != 0) {
                r.left = std::max(r.left, rects[i].x1);
                r.top = std::max(r.top, rects[i].y1);
                r.right = std::min(r.right, rects[i].x2);
                r.bottom = std::min(r.bottom, rects[i].y2);
            }
            if (r.right <= r.left || r.bottom <= r.top)
                continue;
            glScissor(r.left, TargetRow(r.top, r.bottom - r.top), r.right - r.left, r.bottom - r.top);
            glClear(what);
        }
        m_Dirty |= kDirtyScissor | kDirtyColorMask | kDirtyDepth | kDirtyStencil;
    };
    if (!window || depthStencil)
        clear(window ? bits & ~GLbitfield(GL_COLOR_BUFFER_BIT) : bits);
    if (window) {
        BindTarget(true);
        clear(GL_COLOR_BUFFER_BIT);
    }
    ++m_Stats.clears;
    return D3D_OK;
}

// Presents a texture filled on demand may go undrawn before its texels are given back.
constexpr unsigned kIdlePresents = 300;

HRESULT Device::Present(const RECT*, const RECT*, HWND, const void*)
{
    if (!MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    gl::SurfaceBinding back;
    gl::BindingOf(m_BackBuffer, &back);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(m_Core->window, &width, &height);
    const bool sameSize = width == static_cast<int>(back.width) && height == static_cast<int>(back.height);
    // A frame drawn into the window is there already.
    if (!m_Window.InWindow()) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_ReadFramebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, back.texture, 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        // Row 0 of the back buffer is its top; the window's is its bottom.
        glBlitFramebuffer(0, 0, static_cast<GLint>(back.width), static_cast<GLint>(back.height), 0, height, width, 0,
                          GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
        ++m_Stats.presentCopies;
    }
    // The frame goes to the renderer now. Drawing the next one may overlap
    // with it, but no more: presented, the frame before this one must be
    // done. Nothing else waits for a frame drawn into the window (an
    // offscreen window's swap does not even hand it over), and frames
    // queued without end would hold the renderer's memory and show late.
    const GLsync drawn = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    SDL_GL_SwapWindow(m_Core->window);
    if (m_LastFrame) {
        glClientWaitSync(static_cast<GLsync>(m_LastFrame), 0, GL_TIMEOUT_IGNORED);
        glDeleteSync(static_cast<GLsync>(m_LastFrame));
    }
    m_LastFrame = drawn;
    m_Window.Presented(sameSize);
    glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    m_Dirty |= kDirtyScissor | kDirtyColorMask;
    ++m_Stats.presents;
    // Big pictures not drawn for ten seconds at 30 frames give their memory back.
    GiveBackIdleTexels(kIdlePresents);
    return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface)
{
    gl::SurfaceBinding source, dest;
    if (!gl::BindingOf(renderTarget, &source) || !gl::BindingOf(destSurface, &dest) || source.texture == 0 ||
        dest.texture != 0 || source.width != dest.width || source.height != dest.height ||
        source.format != dest.format)
        return D3DERR_INVALIDCALL;
    gl::FormatInfo info;
    if (!gl::LookUpFormat(source.format, &info) || info.depth || !MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    if (renderTarget == m_BackBuffer)
        BackBufferCopied(m_Window.BringBack());
    gl::ReadTexture(source.texture, source.level, info, source.width, source.height, gl::SystemMemoryOf(destSurface));
    return D3D_OK;
}

HRESULT Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                            const RECT* destRect, D3DTEXTUREFILTERTYPE filter)
{
    gl::SurfaceBinding from, to;
    if (!gl::BindingOf(source, &from) || !gl::BindingOf(dest, &to) || from.texture == 0 || to.texture == 0 ||
        source == dest)
        return D3DERR_INVALIDCALL;
    gl::FormatInfo fromInfo, toInfo;
    gl::LookUpFormat(from.format, &fromInfo);
    gl::LookUpFormat(to.format, &toInfo);
    if (fromInfo.depth || toInfo.depth || !toInfo.renderable || !MakeCurrent(m_Core))
        return D3DERR_INVALIDCALL;
    // Written, the back buffer is brought up to date in its texture and the
    // frame goes on there; read while the window is ahead, it is read from
    // the window, whose rows count from the bottom.
    const bool fromWindow = source == m_BackBuffer && dest != m_BackBuffer && m_Window.TextureBehind();
    if (dest == m_BackBuffer)
        BackBufferCopied(m_Window.TextureWritten());
    gl::SurfaceWritten(dest);
    const RECT s = sourceRect ? *sourceRect : RECT{0, 0, static_cast<LONG>(from.width), static_cast<LONG>(from.height)};
    const RECT d = destRect ? *destRect : RECT{0, 0, static_cast<LONG>(to.width), static_cast<LONG>(to.height)};
    GLuint drawFramebuffer = 0;
    glGenFramebuffers(1, &drawFramebuffer);
    if (fromWindow) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(m_Window.ReadBuffer());
    } else {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_ReadFramebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, from.texture, from.level);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, to.texture, to.level);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const LONG height = static_cast<LONG>(from.height);
    glBlitFramebuffer(s.left, fromWindow ? height - s.top : s.top, s.right, fromWindow ? height - s.bottom : s.bottom,
                      d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                      filter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    if (fromWindow)
        glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    glDeleteFramebuffers(1, &drawFramebuffer);
    m_Dirty |= kDirtyScissor | kDirtyColorMask;
    return D3D_OK;
}

void Device::UseProgram(unsigned program)
{
    m_EffectProgram = program;
    m_EffectAlphaFunc = m_EffectAlphaRef = -1;
    if (!MakeCurrent(m_Core))
        return;
    if (program != 0) {
        m_EffectAlphaFunc = glGetUniformLocation(program, "d3d_AlphaFunc");
        m_EffectAlphaRef = glGetUniformLocation(program, "d3d_AlphaRef");
    }
    glUseProgram(program != 0 ? program : m_FixedPrograms[0].program);
}

Device* DeviceImpl(IDirect3DDevice9* device)
{
    return dynamic_cast<Device*>(device);
}

void Device::DrawBackBufferInWindow(bool on)
{
    if (on != m_Window.Wanted() && MakeCurrent(m_Core))
        BackBufferCopied(m_Window.SetWanted(on));
}

void Device::BackBufferLocked(bool writing)
{
    if (MakeCurrent(m_Core))
        BackBufferCopied(writing ? m_Window.TextureWritten() : m_Window.BringBack());
}

} // namespace

void UseEffectProgram(IDirect3DDevice9* device, unsigned program)
{
    if (Device* d = DeviceImpl(device))
        d->UseProgram(program);
}

unsigned CurrentEffectProgram(IDirect3DDevice9* device)
{
    Device* d = DeviceImpl(device);
    return d ? d->Program() : 0;
}

DeviceHandle HandleOf(IDirect3DDevice9* device)
{
    Device* d = DeviceImpl(device);
    return d ? d->Core() : DeviceHandle();
}

void DrawBackBufferInWindow(IDirect3DDevice9* device, bool on)
{
    if (Device* d = DeviceImpl(device))
        d->DrawBackBufferInWindow(on);
}

DrawStats GetDrawStats(IDirect3DDevice9* device)
{
    Device* d = DeviceImpl(device);
    return d ? d->Stats() : DrawStats();
}

void ResetDrawStats(IDirect3DDevice9* device)
{
    if (Device* d = DeviceImpl(device))
        d->Stats() = DrawStats();
}

bool ReadWindowPixels(IDirect3DDevice9* device, std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height)
{
    const DeviceHandle core = HandleOf(device);
    if (!pixels || !MakeCurrent(core))
        return false;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(core->window, &w, &h);
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    std::vector<D3DCOLOR> bottomUp(static_cast<size_t>(w) * h);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(doubleBuffered ? GL_FRONT : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());
    glReadBuffer(GL_BACK);
    pixels->resize(bottomUp.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            (*pixels)[static_cast<size_t>(y) * w + x] = bottomUp[static_cast<size_t>(h - 1 - y) * w + x] | 0xFF000000u;
    if (width)
        *width = static_cast<UINT>(w);
    if (height)
        *height = static_cast<UINT>(h);
    return true;
}

namespace gl {

HRESULT CreateDevice(IDirect3D9* d3d, HWND window, D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device)
{
    if (!device || !params || !d3d)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    SDL_Window* sdlWindow = SdlWindowOf(window);
    if (!sdlWindow)
        return D3DERR_INVALIDCALL;
    if (!(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_OPENGL)) {
        OutputDebugStringA("Direct3D device: the window has no OpenGL support\n");
        return D3DERR_NOTAVAILABLE;
    }
    D3DPRESENT_PARAMETERS p = *params;
    if (p.Windowed) {
        if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
            int w = 0, h = 0;
            SDL_GetWindowSize(sdlWindow, &w, &h);
            if (p.BackBufferWidth == 0)
                p.BackBufferWidth = static_cast<UINT>(std::max(1, w));
            if (p.BackBufferHeight == 0)
                p.BackBufferHeight = static_cast<UINT>(std::max(1, h));
        }
        if (p.BackBufferFormat == D3DFMT_UNKNOWN)
            p.BackBufferFormat = D3DFMT_X8R8G8B8;
    } else if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferFormat != D3DFMT_X8R8G8B8 && p.BackBufferFormat != D3DFMT_A8R8G8B8)
        return D3DERR_NOTAVAILABLE;
    if (p.EnableAutoDepthStencil) {
        FormatInfo depth;
        if (!LookUpFormat(p.AutoDepthStencilFormat, &depth) || !depth.depth)
            return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow);
    if (!context) {
        std::string text = std::string("Direct3D device: no OpenGL 3.3 context: ") + SDL_GetError() + "\n";
        OutputDebugStringA(text.c_str());
        return D3DERR_NOTAVAILABLE;
    }
    if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) {
        OutputDebugStringA("Direct3D device: OpenGL lacks ARB_clip_control\n");
        SDL_GL_MakeCurrent(sdlWindow, nullptr);
        SDL_GL_DeleteContext(context);
        return D3DERR_NOTAVAILABLE;
    }
    if (!p.Windowed) {
        SDL_SetWindowSize(sdlWindow, static_cast<int>(p.BackBufferWidth), static_cast<int>(p.BackBufferHeight));
        SDL_SetWindowFullscreen(sdlWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    SDL_GL_SetSwapInterval(p.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    auto core = std::make_shared<DeviceCore>();
    core->window = sdlWindow;
    core->context = context;
    auto* created = new Device(d3d, core, p);
    std::string error;
    if (!created->Init(error)) {
        OutputDebugStringA(("Direct3D device: " + error + "\n").c_str());
        created->Release();
        return D3DERR_NOTAVAILABLE;
    }
    *params = p;
    *device = created;
    return D3D_OK;
}

} // namespace gl
} // namespace platform
