// The device's render and sampler states: recorded when set, sent to GL,
// grouped, at the next draw or clear.
#include "platform/d3d9_device_impl.h"

#include <cstdint>

namespace platform {
namespace gl {

namespace {

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

// The GL winding that is clockwise as the image is seen (row 0 at the top).
// With glClipControl(GL_UPPER_LEFT) GL keeps facing in the sense the image is
// seen in, so this is GL_CW; the cull tests pin it down. It stays so in the
// window, drawn with the origin at GL_LOWER_LEFT: the clip origin turns the
// facing with the picture.
constexpr GLenum kScreenClockwise = GL_CW;

} // namespace

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

} // namespace gl
} // namespace platform
