// The in-game command line for testing: a prompt and one input line near the
// bottom of the screen, with a history. Each entered line goes to the script
// host. The window procedure opens it and feeds it characters; while it is
// open the frame update does not poll the input devices.
#pragma once

#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9core.h"

class CConsole {
public:
    // Runs "console.lua" in the Lua state of this moment and starts the
    // history with the developers' usual commands.
    CConsole();
    ~CConsole();
    CConsole(const CConsole&) = delete;
    CConsole& operator=(const CConsole&) = delete;

    // Places the prompt and the line from the screen height and creates the
    // font (the width is not needed). Without a font nothing is drawn.
    void Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth, int screenHeight);
    // Takes over a font made elsewhere, releasing the one held.
    void SetFont(ID3DXFont* font);
    bool IsVisible() const { return m_Visible; }
    // Hides an open console; opens a closed one with the history cursor past
    // the last entry. The input line is kept either way.
    void Toggle();
    // 13 runs the line and files it in the history, 8 rubs out the last
    // character, anything else is appended.
    void OnChar(int ch);
    // Up arrow: the entry before the cursor. Typed text that is not in the
    // history yet is filed first, so it is not lost.
    void HistoryPrevious();
    // Down arrow: the next entry; past the last one the line is cleared.
    void HistoryNext();
    // The prompt, the input line and the reply under it, only while open.
    void Render();
    // Draws the text with a black shadow one pixel down and right, only
    // while open.
    void DrawShadowedText(const std::string& text, int x, int y);

    const std::string& GetInputLine() const { return m_Line; }
    // What the console answered the last line: empty, that its first word
    // is no command, or why the command failed. Drawn under the line.
    const std::string& GetReply() const { return m_Reply; }
    const std::vector<std::string>& GetHistory() const { return m_History; }

private:
    // A failing command's message as it is answered under the line.
    static std::string ReplyFor(const std::string& failure);

    D3DCOLOR m_TextColor = 0xFFFFFFFF;
    D3DCOLOR m_ShadowColor = 0xFF000000;
    int m_FontHeight = 0;
    int m_LineX = 30;
    int m_LineY = 0;
    int m_PromptX = 15;
    int m_PromptY = 0;
    std::string m_Prompt = "Console: ";
    bool m_Visible = false;
    std::string m_Line;
    std::string m_Reply;
    std::vector<std::string> m_History;
    // Index into the history; its size when past the last entry.
    int m_Cursor = 0;
    ID3DXFont* m_Font = nullptr;
};

CConsole* getConsole();
