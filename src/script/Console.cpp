#include "script/Console.h"

#include <cctype>
#include <sstream>

#include "platform/bounded.h"
#include "script/ScriptHost.h"

CConsole::CConsole()
{
    getScriptHost().DoFile("console.lua");
    // The cursor stays at 0 until the console is first opened.
    m_History = {
        "ChangeMission",
        "SetLightPos",
        "FuckPlayer",
        "Wave1",
        "Wave2",
        "Wave3",
        "Wave4",
        "Wave5",
        "Wave6",
        "EndWave",
        "OnEnter_trg_01",
        "OnExit_trg_01",
        "OnEnter_trg_02",
        "OnExit_trg_02",
        "SetLightToCamPos",
        "gui_reload",
        "startRigid",
        "Particle_Update",
        "addBlood",
        "addChispazo",
        "updateLuaFile(\"console.lua\");",
        "ResetWaves",
        "getHangarOpenLastWave",
        "playPaletaVoladoresHangarExplosivo",
    };
}

CConsole::~CConsole()
{
    SetFont(nullptr);
}

void CConsole::Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth,
                    int screenHeight)
{
    m_FontHeight = fontHeight;
    m_LineX = 30;
    m_LineY = screenHeight - 70;
    m_PromptX = 15;
    m_PromptY = screenHeight - 70 - static_cast<int>(fontHeight * 1.5);

    ID3DXFont* font = nullptr;
    if (FAILED(D3DXCreateFontA(device, fontHeight, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                               fontFace.c_str(), &font)))
        font = nullptr;
    SetFont(font);
}

void CConsole::SetFont(ID3DXFont* font)
{
    if (m_Font && m_Font != font)
        m_Font->Release();
    m_Font = font;
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
        // The line is copied first: the command may reach the console again.
        const std::string line = m_Line;
        m_Reply.clear();
        // A typo would otherwise do nothing, without a word; a command that
        // fails says why where it was typed, and on the alert path as ever.
        CScriptHost& host = getScriptHost();
        std::string failure;
        if (!host.RunCommand(line, &failure)) {
            std::string command;
            std::istringstream(line) >> command;
            m_Reply = "Unknown command: " + bounded::Echoed(command);
        } else if (!failure.empty()) {
            m_Reply = ReplyFor(failure);
            host.Report(failure);
        }
        m_History.push_back(line);
        m_Line.clear();
        m_Cursor = static_cast<int>(m_History.size());
    } else if (ch == 8) {
        if (!m_Line.empty())
            m_Line.pop_back();
    } else {
        m_Line += static_cast<char>(ch);
    }
}

std::string CConsole::ReplyFor(const std::string& failure)
{
    // The place of the command's own script says nothing to the one who
    // typed it: "console.lua:121: " goes; one line of it, cut to fit.
    std::string reply = failure;
    const std::size_t colon = reply.find(':');
    std::size_t digits = colon == std::string::npos ? 0 : colon + 1;
    while (digits < reply.size() && std::isdigit(static_cast<unsigned char>(reply[digits])))
        ++digits;
    if (colon != std::string::npos && digits > colon + 1 && reply.compare(digits, 2, ": ") == 0 &&
        reply.compare(0, colon, "console.lua") == 0)
        reply.erase(0, digits + 2);
    reply = reply.substr(0, reply.find('\n'));
    return bounded::Echoed(reply);
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
    DrawShadowedText(m_Prompt, m_PromptX, m_PromptY);
    DrawShadowedText(m_Line, m_LineX, m_LineY);
    if (!m_Reply.empty())
        DrawShadowedText(m_Reply, m_LineX, m_LineY + static_cast<int>(m_FontHeight * 1.5));
}

void CConsole::DrawShadowedText(const std::string& text, int x, int y)
{
    if (!m_Visible || !m_Font)
        return;
    RECT shadow = {x + 1, y + 1, x + 1, y + 1};
    m_Font->DrawTextA(nullptr, text.c_str(), -1, &shadow, DT_NOCLIP | DT_LEFT | DT_TOP, m_ShadowColor);
    RECT front = {x, y, x, y};
    m_Font->DrawTextA(nullptr, text.c_str(), -1, &front, DT_NOCLIP | DT_LEFT | DT_TOP, m_TextColor);
}

CConsole* getConsole()
{
    static CConsole console;
    return &console;
}
