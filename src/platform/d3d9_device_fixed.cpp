// The fixed-function path of the device: its programs, one per combination
// of the features a draw needs, and their uniforms at each draw.
#include "platform/d3d9_device_impl.h"

namespace platform {

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

namespace gl {

namespace {

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

} // namespace

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

} // namespace gl
} // namespace platform
