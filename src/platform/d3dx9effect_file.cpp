// The effect file format. An effect is GLSL 330 code arranged in techniques of
// passes, with the render and sampler states each pass sets. A complete file:
//
//   // Comments are C/C++ style, anywhere.
//   shared {                                 // prepended to every shader
//       uniform mat4 matWVP;                 // D3DX matrices, set with SetMatrix
//       uniform vec4 tint = vec4(1.0);       // initialisers are the defaults
//       uniform sampler2D DiffuseTexture;    // set with SetTexture
//       VARYING vec2 uv;                     // "out" in vertex, "in" in fragment code
//   }
//   vertex SceneVS {                         // a named vertex shader
//       void main() {
//           gl_Position = mul(inPosition, matWVP);   // D3DX's v * M
//           uv = inTexCoord0.xy;
//       }
//   }
//   fragment SceneFS {
//       void main() { outColor = tex2D(DiffuseTexture, uv) * tint; }
//   }
//   sampler DiffuseTexture {                 // defaults for every pass
//       MinFilter = Linear; MagFilter = Linear; AddressU = Wrap; AddressV = Wrap;
//   }
//   technique Scene {
//       pass P0 {
//           vertex = SceneVS;                // by name ...
//           fragment { void main() { outColor = tint; } }   // ... or inline
//           ZEnable = true; ZWriteEnable = false; CullMode = None;
//           AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
//           AlphaTestEnable = false;
//           sampler DiffuseTexture { AddressU = Clamp; }   // this pass only
//       }
//       pass { ... }                         // unnamed passes are P0, P1, ...
//   }
//
// Every shader sees, before the shared code:
// - the macros VERTEX_SHADER or FRAGMENT_SHADER, VARYING, and the caller's macros;
// - mul(v, M), mul(M, v), mul(A, B) for mat2/mat3/mat4 with D3DX's meaning:
//   matrices are uploaded in D3DX's memory order, so mul(v, M) is D3DX's v * M;
// - the HLSL names saturate, lerp, frac, rsqrt, tex2D, texCUBE;
// - vertex inputs inPosition (vec4, w = 1 when the stream has 3 floats),
//   inNormal (vec3), inColor0, inColor1 (vec4, D3DCOLOR as r, g, b, a) and
//   inTexCoord0..inTexCoord3 (vec4), so a shader declares no inputs of its own;
// - fragment output outColor (vec4).
// - SWITCH(b) for a bool parameter b, BOUND(s), true when sampler s has a
//   texture of its own, and SAMPLE(s, uv), the read of s at uv: a pass is
//   drawn with its shaders compiled for the values these hold at the draw, the
//   other side of each test compiled out and the read of a one-colour texture
//   (wrapped, mirrored or clamped) made that colour (see
//   D3DXSHADER_SKIPOPTIMIZATION in d3dx9effect.h to keep them tests and reads).
// Render state names and values follow D3D9 without the prefixes
// (AlphaFunc = Greater, AlphaRef = 128, CullMode = CCW, ...), case-insensitive.
// A pass's alpha-test states act on outColor.a without the shader's help.
// Texture parameters are the sampler uniforms (SetTexture on their names);
// sampler blocks name those uniforms. Uniforms must be plain declarations at
// file level (no uniform blocks or structs).
#include "platform/d3dx9effect_file.h"
#include "platform/bounded.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>

namespace platform {
namespace fxfile {

namespace {

class Reader {
public:
    Reader(const std::string& text, const std::string& fileName)
        : m_Text(text), m_File(fileName) {}

    bool Fail(int line, const std::string& message) {
        if (m_Error.empty()) {
            m_Error = m_File + "(" + std::to_string(line) + "): error: " + message;
        }
        return false;
    }
    const std::string& Error() const { return m_Error; }
    int Line() const { return m_Line; }
    // Inline shaders have no name: each gets its own key.
    int NextInlineId() { return m_InlineIds++; }

    // Skips blanks and comments; false at the end of the text.
    bool SkipSpace() {
        for (;;) {
            while (m_Pos < m_Text.size() && std::isspace(static_cast<unsigned char>(m_Text[m_Pos]))) {
                if (m_Text[m_Pos] == '\n') ++m_Line;
                ++m_Pos;
            }
            if (m_Text.compare(m_Pos, 2, "//") == 0) {
                while (m_Pos < m_Text.size() && m_Text[m_Pos] != '\n') ++m_Pos;
                continue;
            }
            if (m_Text.compare(m_Pos, 2, "/*") == 0) {
                int startLine = m_Line;
                size_t end = m_Text.find("*/", m_Pos + 2);
                if (end == std::string::npos) {
                    m_Pos = m_Text.size();
                    return Fail(startLine, "unterminated comment");
                }
                for (size_t i = m_Pos; i < end; ++i)
                    if (m_Text[i] == '\n') ++m_Line;
                m_Pos = end + 2;
                continue;
            }
            return m_Pos < m_Text.size();
        }
    }

    bool AtEnd() { return !SkipSpace(); }

    char Peek() { return SkipSpace() ? m_Text[m_Pos] : '\0'; }

    bool Expect(char c, const char* what) {
        if (Peek() != c) return Fail(m_Line, std::string("expected '") + c + "' " + what);
        ++m_Pos;
        return true;
    }

    bool Accept(char c) {
        if (Peek() != c) return false;
        ++m_Pos;
        return true;
    }

    // An identifier; empty when the next thing is not one.
    std::string Identifier() {
        if (!SkipSpace()) return {};
        size_t start = m_Pos;
        if (!(std::isalpha(static_cast<unsigned char>(m_Text[m_Pos])) || m_Text[m_Pos] == '_')) return {};
        while (m_Pos < m_Text.size() &&
               (std::isalnum(static_cast<unsigned char>(m_Text[m_Pos])) || m_Text[m_Pos] == '_'))
            ++m_Pos;
        return m_Text.substr(start, m_Pos - start);
    }

    // The text up to the next ';' (which is consumed), trimmed.
    bool Value(std::string& value) {
        SkipSpace();
        size_t start = m_Pos;
        while (m_Pos < m_Text.size() && m_Text[m_Pos] != ';' && m_Text[m_Pos] != '}' &&
               m_Text[m_Pos] != '\n')
            ++m_Pos;
        value = m_Text.substr(start, m_Pos - start);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
        if (value.empty()) return Fail(m_Line, "expected a value");
        if (m_Pos >= m_Text.size() || m_Text[m_Pos] != ';') return Fail(m_Line, "expected ';' after the value");
        ++m_Pos;
        return true;
    }

    // A brace-balanced block of GLSL; the opening brace is next. Braces inside
    // GLSL comments do not count.
    bool Code(CodeBlock& block) {
        if (!Expect('{', "to open the code")) return false;
        int openLine = m_Line;
        block.line = m_Line;
        size_t start = m_Pos;
        int depth = 1;
        while (m_Pos < m_Text.size()) {
            char c = m_Text[m_Pos];
            if (c == '\n') {
                ++m_Line;
            } else if (m_Text.compare(m_Pos, 2, "//") == 0) {
                while (m_Pos < m_Text.size() && m_Text[m_Pos] != '\n') ++m_Pos;
                continue;
            } else if (m_Text.compare(m_Pos, 2, "/*") == 0) {
                size_t end = m_Text.find("*/", m_Pos + 2);
                if (end == std::string::npos) break;
                for (size_t i = m_Pos; i < end; ++i)
                    if (m_Text[i] == '\n') ++m_Line;
                m_Pos = end + 2;
                continue;
            } else if (c == '{') {
                ++depth;
            } else if (c == '}') {
                if (--depth == 0) {
                    block.code = m_Text.substr(start, m_Pos - start);
                    ++m_Pos;
                    return true;
                }
            }
            ++m_Pos;
        }
        return Fail(openLine, "code block is not closed");
    }

private:
    const std::string& m_Text;
    std::string m_File;
    std::string m_Error;
    size_t m_Pos = 0;
    int m_Line = 1;
    int m_InlineIds = 0;
};

bool ReadStates(Reader& r, std::vector<StateAssign>& states) {
    if (!r.Expect('{', "to open the states")) return false;
    while (!r.Accept('}')) {
        if (r.AtEnd()) return r.Fail(r.Line(), "unexpected end of file in a state block");
        StateAssign s;
        s.line = r.Line();
        s.name = r.Identifier();
        if (s.name.empty()) return r.Fail(r.Line(), "expected a state name");
        if (!r.Expect('=', "after the state name")) return false;
        if (!r.Value(s.value)) return false;
        states.push_back(std::move(s));
    }
    return true;
}

bool ReadSampler(Reader& r, std::vector<SamplerBlock>& samplers) {
    SamplerBlock block;
    block.line = r.Line();
    block.sampler = r.Identifier();
    if (block.sampler.empty()) return r.Fail(r.Line(), "expected the sampler's uniform name");
    if (!ReadStates(r, block.states)) return false;
    samplers.push_back(std::move(block));
    return true;
}

// Unresolved stage reference of a pass: a name, or inline code.
struct StageRef {
    std::string name;
    int nameLine = 0;
    bool isInline = false;
    CodeBlock code;
    bool given() const { return isInline || !name.empty(); }
};

bool ReadStageRef(Reader& r, const char* stage, StageRef& ref) {
    if (ref.given()) return r.Fail(r.Line(), std::string("the pass names its ") + stage + " shader twice");
    if (r.Accept('=')) {
        ref.nameLine = r.Line();
        ref.name = r.Identifier();
        if (ref.name.empty()) return r.Fail(r.Line(), std::string("expected the name of a ") + stage + " shader");
        return r.Expect(';', "after the shader name");
    }
    ref.isInline = true;
    return r.Code(ref.code);
}

bool ReadPass(Reader& r, Technique& tech) {
    Pass pass;
    pass.line = r.Line();
    pass.name = r.Identifier();
    if (pass.name.empty()) pass.name = "P" + std::to_string(tech.passes.size());
    if (!r.Expect('{', "to open the pass")) return false;
    StageRef vs, fs;
    while (!r.Accept('}')) {
        if (r.AtEnd()) return r.Fail(r.Line(), "unexpected end of file in pass '" + pass.name + "'");
        int line = r.Line();
        std::string word = r.Identifier();
        if (word.empty()) return r.Fail(line, "expected a state, 'vertex', 'fragment' or 'sampler'");
        if (word == "vertex") {
            if (!ReadStageRef(r, "vertex", vs)) return false;
        } else if (word == "fragment") {
            if (!ReadStageRef(r, "fragment", fs)) return false;
        } else if (word == "sampler") {
            if (!ReadSampler(r, pass.samplers)) return false;
        } else {
            StateAssign s;
            s.line = line;
            s.name = word;
            if (!r.Expect('=', "after the state name")) return false;
            if (!r.Value(s.value)) return false;
            pass.renderStates.push_back(std::move(s));
        }
    }
    auto take = [&](StageRef& ref, const char* stage, CodeBlock& code, std::string& key) {
        if (!ref.given())
            return r.Fail(pass.line, "pass '" + pass.name + "' of technique '" + tech.name + "' has no " +
                                         stage + " shader");
        if (ref.isInline) {
            code = ref.code;
            key = "@" + std::to_string(r.NextInlineId());
        } else {
            // Named shaders may come later in the file: Parse resolves them at
            // the end; until then the line is kept, negated, for the message.
            code.line = -ref.nameLine;
            key = ref.name;
        }
        return true;
    };
    if (!take(vs, "vertex", pass.vertex, pass.vertexKey)) return false;
    if (!take(fs, "fragment", pass.fragment, pass.fragmentKey)) return false;
    tech.passes.push_back(std::move(pass));
    return true;
}

bool ReadTechnique(Reader& r, File& file) {
    Technique tech;
    tech.line = r.Line();
    tech.name = r.Identifier();
    if (tech.name.empty()) return r.Fail(r.Line(), "expected the technique's name");
    for (const Technique& t : file.techniques)
        if (t.name == tech.name) return r.Fail(tech.line, "technique '" + tech.name + "' is defined twice");
    if (!r.Expect('{', "to open the technique")) return false;
    while (!r.Accept('}')) {
        if (r.AtEnd()) return r.Fail(r.Line(), "unexpected end of file in technique '" + tech.name + "'");
        int line = r.Line();
        if (r.Identifier() != "pass") return r.Fail(line, "expected 'pass' in technique '" + tech.name + "'");
        if (!ReadPass(r, tech)) return false;
    }
    if (tech.passes.empty()) return r.Fail(tech.line, "technique '" + tech.name + "' has no pass");
    file.techniques.push_back(std::move(tech));
    return true;
}

bool ReadNamedCode(Reader& r, const char* stage, std::map<std::string, CodeBlock>& blocks) {
    int line = r.Line();
    std::string name = r.Identifier();
    if (name.empty()) return r.Fail(line, std::string("expected the name of the ") + stage + " shader");
    if (blocks.count(name)) return r.Fail(line, std::string(stage) + " shader '" + name + "' is defined twice");
    CodeBlock block;
    if (!r.Code(block)) return false;
    blocks[name] = std::move(block);
    return true;
}

} // namespace

bool Parse(const std::string& text, const std::string& fileName, File& out, std::string& error) {
    out = File();
    out.name = fileName;
    Reader r(text, fileName);
    bool ok = true;
    while (ok && !r.AtEnd()) {
        int line = r.Line();
        std::string word = r.Identifier();
        if (word == "shared") {
            CodeBlock block;
            ok = r.Code(block);
            if (ok) out.shared.push_back(std::move(block));
        } else if (word == "vertex") {
            ok = ReadNamedCode(r, "vertex", out.vertex);
        } else if (word == "fragment") {
            ok = ReadNamedCode(r, "fragment", out.fragment);
        } else if (word == "sampler") {
            ok = ReadSampler(r, out.samplers);
        } else if (word == "technique") {
            ok = ReadTechnique(r, out);
        } else {
            ok = r.Fail(line, word.empty() ? "unexpected character"
                                           : "unexpected '" + word +
                                                 "' (expected shared, vertex, fragment, sampler or technique)");
        }
    }
    // Now that every named shader is known, resolve the passes' references.
    for (Technique& tech : out.techniques) {
        for (Pass& pass : tech.passes) {
            if (!ok) break;
            if (pass.vertex.line < 0) {
                auto it = out.vertex.find(pass.vertexKey);
                if (it == out.vertex.end()) {
                    ok = r.Fail(-pass.vertex.line, "unknown vertex shader '" + pass.vertexKey + "'");
                    break;
                }
                pass.vertex = it->second;
            }
            if (pass.fragment.line < 0) {
                auto it = out.fragment.find(pass.fragmentKey);
                if (it == out.fragment.end()) {
                    ok = r.Fail(-pass.fragment.line, "unknown fragment shader '" + pass.fragmentKey + "'");
                    break;
                }
                pass.fragment = it->second;
            }
        }
    }
    if (ok && out.techniques.empty()) ok = r.Fail(1, "the effect has no technique");
    error = ok ? std::string() : r.Error();
    return ok;
}

// --- uniform declarations -------------------------------------------------------

namespace {

struct Token {
    enum Kind { Ident, Number, Punct } kind;
    std::string text;
};

// GLSL tokens at file level, with what "#define NAME <int>" lines say on the side.
class GlslScanner {
public:
    explicit GlslScanner(const std::string& code) : m_Code(code) {}

    bool Next(Token& t) {
        for (;;) {
            while (m_Pos < m_Code.size() && std::isspace(static_cast<unsigned char>(m_Code[m_Pos]))) {
                if (m_Code[m_Pos] == '\n') m_LineStart = true;
                ++m_Pos;
            }
            if (m_Pos >= m_Code.size()) return false;
            if (m_Code.compare(m_Pos, 2, "//") == 0) {
                while (m_Pos < m_Code.size() && m_Code[m_Pos] != '\n') ++m_Pos;
                continue;
            }
            if (m_Code.compare(m_Pos, 2, "/*") == 0) {
                size_t end = m_Code.find("*/", m_Pos + 2);
                m_Pos = end == std::string::npos ? m_Code.size() : end + 2;
                continue;
            }
            if (m_Code[m_Pos] == '#' && m_LineStart) {
                Directive();
                continue;
            }
            break;
        }
        m_LineStart = false;
        char c = m_Code[m_Pos];
        size_t start = m_Pos;
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            while (m_Pos < m_Code.size() &&
                   (std::isalnum(static_cast<unsigned char>(m_Code[m_Pos])) || m_Code[m_Pos] == '_'))
                ++m_Pos;
            t = {Token::Ident, m_Code.substr(start, m_Pos - start)};
        } else if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && m_Pos + 1 < m_Code.size() &&
                                                                   std::isdigit(static_cast<unsigned char>(m_Code[m_Pos + 1])))) {
            while (m_Pos < m_Code.size() &&
                   (std::isalnum(static_cast<unsigned char>(m_Code[m_Pos])) || m_Code[m_Pos] == '.'))
                ++m_Pos;
            t = {Token::Number, m_Code.substr(start, m_Pos - start)};
        } else {
            ++m_Pos;
            t = {Token::Punct, std::string(1, c)};
        }
        return true;
    }

    std::map<std::string, long> constants; // integer #defines and const ints

private:
    void Directive() {
        size_t end = m_Pos;
        std::string line;
        while (end < m_Code.size() && m_Code[end] != '\n') {
            if (m_Code[end] == '\\' && end + 1 < m_Code.size() && m_Code[end + 1] == '\n') {
                end += 2;
                continue;
            }
            line += m_Code[end++];
        }
        m_Pos = end;
        std::istringstream in(line.substr(1));
        std::string word, name, value;
        in >> word >> name >> value;
        if (word == "define" && !name.empty() && name.find('(') == std::string::npos) {
            char* rest = nullptr;
            long v = std::strtol(value.c_str(), &rest, 0);
            if (!value.empty() && rest && *rest == '\0') constants[name] = v;
        }
    }

    const std::string& m_Code;
    size_t m_Pos = 0;
    bool m_LineStart = true;
};

// Integer expression of numbers, known names, + - * / and parentheses. A
// value that does not fit, a division by zero and parentheses nested past
// kMaxNesting make the expression unknown rather than crash the reader.
class IntExpr {
public:
    IntExpr(const std::vector<Token>& tokens, const std::map<std::string, long>& names)
        : m_T(tokens), m_Names(names) {}
    bool Eval(long& v) {
        std::int64_t value = 0;
        if (!Sum(value) || m_I != m_T.size()) return false;
        v = static_cast<long>(value);
        return true;
    }

private:
    static constexpr int kMaxNesting = 32;

    bool Sum(std::int64_t& v) {
        if (!Product(v)) return false;
        while (m_I < m_T.size() && (m_T[m_I].text == "+" || m_T[m_I].text == "-")) {
            bool plus = m_T[m_I++].text == "+";
            std::int64_t rhs;
            if (!Product(rhs)) return false;
            if (!(plus ? bounded::Add(v, rhs, &v) : bounded::Sub(v, rhs, &v))) return false;
        }
        return true;
    }
    bool Product(std::int64_t& v) {
        if (!Factor(v)) return false;
        while (m_I < m_T.size() && (m_T[m_I].text == "*" || m_T[m_I].text == "/")) {
            bool times = m_T[m_I++].text == "*";
            std::int64_t rhs;
            if (!Factor(rhs)) return false;
            if (!(times ? bounded::Mul(v, rhs, &v) : bounded::Div(v, rhs, &v))) return false;
        }
        return true;
    }
    bool Factor(std::int64_t& v) {
        if (m_I >= m_T.size()) return false;
        const Token& t = m_T[m_I++];
        if (t.text == "(") {
            if (m_Nesting >= kMaxNesting) return false;
            ++m_Nesting;
            const bool ok = Sum(v);
            --m_Nesting;
            if (!ok || m_I >= m_T.size() || m_T[m_I].text != ")") return false;
            ++m_I;
            return true;
        }
        if (t.kind == Token::Number) {
            std::string digits = t.text;
            if (!digits.empty() && (digits.back() == 'u' || digits.back() == 'U')) digits.pop_back();
            long long value;
            if (!bounded::ParseInt(digits, INT64_MIN, INT64_MAX, &value)) return false;
            v = value;
            return true;
        }
        if (t.kind == Token::Ident) {
            auto it = m_Names.find(t.text);
            if (it == m_Names.end()) return false;
            v = it->second;
            return true;
        }
        return false;
    }

    const std::vector<Token>& m_T;
    const std::map<std::string, long>& m_Names;
    size_t m_I = 0;
    int m_Nesting = 0;
};

} // namespace

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// At `at`, optional blanks, then `what`; past it on success.
bool Expect(const std::string& code, size_t& at, char what) {
    while (at < code.size() && std::isspace(static_cast<unsigned char>(code[at]))) ++at;
    if (at >= code.size() || code[at] != what) return false;
    ++at;
    return true;
}

// At `at`, optional blanks, then a name that does not start with a digit.
bool ExpectName(const std::string& code, size_t& at, std::string& name) {
    while (at < code.size() && std::isspace(static_cast<unsigned char>(code[at]))) ++at;
    if (at >= code.size() || !IsWordChar(code[at]) || std::isdigit(static_cast<unsigned char>(code[at]))) return false;
    const size_t start = at;
    while (at < code.size() && IsWordChar(code[at])) ++at;
    name = code.substr(start, at - start);
    return true;
}

} // namespace

// Read by hand, word by word: every game start scans the whole effect, where
// a regular expression cost a tenth of a sanitized start.
std::vector<Switch> FindSwitches(const std::string& code) {
    std::vector<Switch> found;
    size_t at = 0;
    while (at < code.size()) {
        if (!IsWordChar(code[at])) {
            ++at;
            continue;
        }
        const size_t start = at;
        while (at < code.size() && IsWordChar(code[at])) ++at;
        const std::string word = code.substr(start, at - start);
        const bool sample = word == "SAMPLE";
        if (!sample && word != "SWITCH" && word != "BOUND") continue;
        size_t after = at;
        std::string name;
        if (!Expect(code, after, '(') || !ExpectName(code, after, name) || !Expect(code, after, sample ? ',' : ')'))
            continue;
        at = after;
        const Switch sw = sample ? Switch{name, Switch::Sample}
                                 : Switch{name, word == "BOUND" ? Switch::Bound : Switch::Bool};
        bool known = false;
        for (const Switch& other : found) known = known || (other.name == sw.name && other.kind == sw.kind);
        if (!known) found.push_back(sw);
    }
    std::sort(found.begin(), found.end(), [](const Switch& a, const Switch& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.name < b.name;
    });
    return found;
}

std::vector<UniformDecl> FindUniforms(const std::string& code) {
    std::vector<UniformDecl> found;
    std::set<std::string> seen;
    GlslScanner scan(code);
    std::vector<Token> pending; // tokens of the current top-level statement
    int depth = 0;
    Token t;
    while (scan.Next(t)) {
        if (t.text == "{") ++depth;
        if (t.text == "}") {
            if (depth > 0) --depth;
            pending.clear();
            continue;
        }
        if (depth > 0) continue;
        if (t.text != ";") {
            pending.push_back(t);
            continue;
        }
        // A complete top-level statement ending with ';'.
        std::vector<Token> s;
        s.swap(pending);
        // "const int NAME = <expr>;" feeds array sizes.
        if (s.size() >= 4 && s[0].text == "const" && s[1].text == "int" && s[2].kind == Token::Ident &&
            s[3].text == "=") {
            std::vector<Token> expr(s.begin() + 4, s.end());
            long v;
            if (IntExpr(expr, scan.constants).Eval(v)) scan.constants[s[2].text] = v;
            continue;
        }
        size_t i = 0;
        while (i < s.size() && !(s[i].kind == Token::Ident && s[i].text == "uniform")) ++i;
        if (i >= s.size()) continue;
        ++i;
        while (i < s.size() && (s[i].text == "highp" || s[i].text == "mediump" || s[i].text == "lowp"))
            ++i;
        if (i >= s.size() || s[i].kind != Token::Ident) continue;
        std::string type = s[i++].text;
        // Declarators: name [size] = init, ...
        while (i < s.size()) {
            if (s[i].kind != Token::Ident) break;
            UniformDecl d;
            d.name = s[i++].text;
            d.type = type;
            if (i < s.size() && s[i].text == "[") {
                std::vector<Token> expr;
                ++i;
                int nest = 0;
                while (i < s.size() && !(s[i].text == "]" && nest == 0)) {
                    if (s[i].text == "[") ++nest;
                    if (s[i].text == "]") --nest;
                    expr.push_back(s[i++]);
                }
                ++i; // ']'
                // A size no shader could hold is not allocated on the file's
                // word: the array is left for the compiled program to size.
                long v;
                d.arraySize = (IntExpr(expr, scan.constants).Eval(v) && v > 0 && v <= kMaxUniformArray)
                                  ? static_cast<int>(v)
                                  : -1;
            }
            if (i < s.size() && s[i].text == "=") {
                int nest = 0;
                while (i < s.size() && !(s[i].text == "," && nest == 0)) {
                    if (s[i].text == "(" || s[i].text == "[") ++nest;
                    if (s[i].text == ")" || s[i].text == "]") --nest;
                    ++i;
                }
            }
            if (seen.insert(d.name).second) found.push_back(d);
            if (i < s.size() && s[i].text == ",") {
                ++i;
                continue;
            }
            break;
        }
    }
    return found;
}

// --- GLSL sources ------------------------------------------------------------------

namespace {

const char* const kCommonPrelude = R"(// Row-vector products as D3DX means them: a D3DX matrix uploaded as stored
// arrives here transposed, so m * v is D3DX's v * M.
vec4 mul(vec4 v, mat4 m) { return m * v; }
vec3 mul(vec3 v, mat3 m) { return m * v; }
vec2 mul(vec2 v, mat2 m) { return m * v; }
vec4 mul(mat4 m, vec4 v) { return v * m; }
vec3 mul(mat3 m, vec3 v) { return v * m; }
vec2 mul(mat2 m, vec2 v) { return v * m; }
mat4 mul(mat4 a, mat4 b) { return b * a; }
mat3 mul(mat3 a, mat3 b) { return b * a; }
mat2 mul(mat2 a, mat2 b) { return b * a; }
float saturate(float x) { return clamp(x, 0.0, 1.0); }
vec2 saturate(vec2 x) { return clamp(x, 0.0, 1.0); }
vec3 saturate(vec3 x) { return clamp(x, 0.0, 1.0); }
vec4 saturate(vec4 x) { return clamp(x, 0.0, 1.0); }
#define lerp mix
#define frac fract
#define rsqrt inversesqrt
#define tex2D texture
#define texCUBE texture
// Switches: SWITCH(b) reads the bool parameter b, BOUND(s) whether sampler s
// has a texture of its own (an unset sampler reads one opaque black texel),
// SAMPLE(s, uv) reads s at uv. The effect defines SWITCH_b, BOUND_s and
// SAMPLE_s(uv) for every draw: as the constant the value holds when it may
// fold them (the compiler then drops the dead side and the read), else as the
// test or the read itself.
#define SWITCH(name) SWITCH_##name
#define BOUND(name) BOUND_##name
#define SAMPLE(name, uv) SAMPLE_##name(uv)
bool d3d_HasTexture(sampler2D s) {
    return textureSize(s, 0) != ivec2(1) || texelFetch(s, ivec2(0), 0) != vec4(0.0, 0.0, 0.0, 1.0);
}
)";

const char* const kVertexPrelude = R"(#define VARYING out
layout(location = 0) in vec4 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor0;
layout(location = 3) in vec4 inColor1;
layout(location = 4) in vec4 inTexCoord0;
layout(location = 5) in vec4 inTexCoord1;
layout(location = 6) in vec4 inTexCoord2;
layout(location = 7) in vec4 inTexCoord3;
)";

const char* const kFragmentPrelude = R"(#define VARYING in
layout(location = 0) out vec4 outColor;
)";

void AppendBlock(std::string& s, const CodeBlock& block) {
    s += "#line " + std::to_string(block.line) + " " + std::to_string(kFileSourceNumber) + "\n";
    s += block.code;
    s += "\n";
}

} // namespace

std::string BuildStageSource(const File& file, Stage stage, const CodeBlock& code,
                             const std::vector<std::pair<std::string, std::string>>& defines,
                             const std::string& alphaTest) {
    const std::string prelude = "#line 1 " + std::to_string(kPreludeSourceNumber) + "\n";
    const bool wrapMain = stage == Stage::Fragment && !alphaTest.empty();
    std::string s = "#version 330 core\n";
    s += stage == Stage::Vertex ? "#define VERTEX_SHADER 1\n" : "#define FRAGMENT_SHADER 1\n";
    for (const auto& d : defines) s += "#define " + d.first + " " + d.second + "\n";
    s += prelude;
    s += stage == Stage::Vertex ? kVertexPrelude : kFragmentPrelude;
    s += kCommonPrelude;
    if (wrapMain) s += alphaTest + "\n";
    for (const CodeBlock& block : file.shared) AppendBlock(s, block);
    if (wrapMain) s += "#define main d3d_EffectMain\n";
    AppendBlock(s, code);
    if (wrapMain) {
        s += "#undef main\n" + prelude;
        s += "void main() { d3d_EffectMain(); d3d_AlphaTest(outColor.a); }\n";
    }
    return s;
}

std::string RewriteCompilerLog(const std::string& log, const std::string& fileName) {
    // Mesa: "0:12(5): error: ...", NVIDIA: "0(12) : error ...", others: "ERROR: 0:12: ...".
    static const std::regex mesa(R"(^(\s*(?:ERROR: |WARNING: )?)(\d+):(\d+)\((\d+)\))");
    static const std::regex nvidia(R"(^(\s*(?:ERROR: |WARNING: )?)(\d+)\((\d+)\))");
    static const std::regex plain(R"(^(\s*(?:ERROR: |WARNING: )?)(\d+):(\d+):)");
    // A "#line" in the file can make the compiler print any source number.
    auto where = [&](const std::string& source) {
        long long number;
        return bounded::ParseInt(source, INT64_MIN, INT64_MAX, &number) && number == kFileSourceNumber
                   ? fileName
                   : std::string("<prelude>");
    };
    std::istringstream in(log);
    std::string line, out;
    while (std::getline(in, line)) {
        std::smatch m;
        if (std::regex_search(line, m, mesa)) {
            line = m[1].str() + where(m[2]) + "(" + m[3].str() + "," + m[4].str() + ")" + m.suffix().str();
        } else if (std::regex_search(line, m, nvidia)) {
            line = m[1].str() + where(m[2]) + "(" + m[3].str() + ")" + m.suffix().str();
        } else if (std::regex_search(line, m, plain)) {
            line = m[1].str() + where(m[2]) + "(" + m[3].str() + "):" + m.suffix().str();
        }
        out += line;
        out += "\n";
    }
    return out;
}

} // namespace fxfile
} // namespace platform
