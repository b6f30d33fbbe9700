#include "app/DebugText.h"

#include <locale>
#include <sstream>

CDebugText& getDebugText()
{
    static CDebugText debugText;
    return debugText;
}

void CDebugText::Init(IDirect3DDevice9* device, int height, std::string faceName)
{
    if (m_Font) {
        m_Font->Release();
        m_Font = nullptr;
    }
    m_FontHeight = height;
    if (FAILED(D3DXCreateFontA(device, height, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, faceName.c_str(), &m_Font)))
        m_Font = nullptr;
}

void CDebugText::AddLine(std::string text)
{
    if (m_Lines.size() >= kMaxLines)
        m_Lines.erase(m_Lines.begin(), m_Lines.begin() + (m_Lines.size() - kMaxLines + 1));
    m_Lines.push_back(std::move(text));
}

void CDebugText::DrawLine(const std::string& text, LONG left, LONG top, D3DCOLOR colour)
{
    RECT rect = {left, top, left, top};
    m_Font->DrawTextA(nullptr, text.c_str(), -1, &rect, DT_CALCRECT, colour);
    m_Font->DrawTextA(nullptr, text.c_str(), -1, &rect, 0, colour);
}

void CDebugText::Draw()
{
    if (m_Font) {
        const double h = m_FontHeight;
        for (size_t i = 0; i < m_Lines.size(); ++i) {
            const LONG top = static_cast<LONG>((h + 0.1 * h) * static_cast<double>(i) + 15);
            DrawLine(m_Lines[i], 21, top + 1, m_ShadowColour);
            DrawLine(m_Lines[i], 20, top, m_TextColour);
        }
    }
    m_Lines.clear();
}

void CDebugText::Release()
{
    if (m_Font) {
        m_Font->Release();
        m_Font = nullptr;
    }
    m_Lines.clear();
    m_Lines.shrink_to_fit();
}

std::string FloatToString(double value)
{
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}
