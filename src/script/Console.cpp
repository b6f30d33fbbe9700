#include "script/Console.h"

#include "script/ScriptHost.h"

CConsole::CConsole()
{
    // Placeholder until the console is built: it also runs "console.lua" and
    // starts the history with the developers' usual commands.
}

void CConsole::Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth,
                    int screenHeight)
{
    // Placeholder until the console is built.
}

void CConsole::Toggle()
{
    if (m_Visible) {
        m_Visible = false;
        return;
    }
    m_Visible = true;
    m_Cursor = static_cast<int>(m_History.size());
}

void CConsole::OnChar(int ch)
{
    if (ch == 13) {
        getScriptHost().RunCommand(m_Line);
        m_History.push_back(m_Line);
        m_Line.clear();
        m_Cursor = static_cast<int>(m_History.size());
    } else if (ch == 8) {
        if (!m_Line.empty())
            m_Line.pop_back();
    } else {
        m_Line += static_cast<char>(ch);
    }
}

void CConsole::HistoryPrevious()
{
    if (m_Cursor <= 0)
        return;
    if (m_Cursor >= static_cast<int>(m_History.size()) && !m_Line.empty())
        m_History.push_back(m_Line);
    --m_Cursor;
    m_Line = m_History[m_Cursor];
}

void CConsole::HistoryNext()
{
    const int last = static_cast<int>(m_History.size()) - 1;
    if (m_Cursor < last) {
        ++m_Cursor;
        m_Line = m_History[m_Cursor];
    } else if (m_Cursor == last) {
        m_Cursor = last + 1;
        m_Line.clear();
    }
}

void CConsole::Render()
{
    // Placeholder until the console is built.
}

CConsole* getConsole()
{
    static CConsole console;
    return &console;
}
