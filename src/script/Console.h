// The in-game command line for testing: a prompt and one input line near the
// bottom of the screen, with a history. Each entered line goes to the script
// host. The window procedure opens it and feeds it characters; while it is
// open the frame update does not poll the input devices.
#pragma once

#include <string>
#include <vector>

#include "platform/d3d9.h"

class CConsole {
public:
    CConsole();

    void Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth, int screenHeight);
    bool IsVisible() const { return m_Visible; }
    // Hides an open console; opens a closed one with the history cursor past
    // the last entry. The input line is kept either way.
    void Toggle();
    // 13 runs the line and files it in the history, 8 rubs out the last
    // character, anything else is appended.
    void OnChar(int ch);
    void HistoryPrevious();
    void HistoryNext();
    void Render();

    const std::string& GetInputLine() const { return m_Line; }
    const std::vector<std::string>& GetHistory() const { return m_History; }

private:
    bool m_Visible = false;
    std::string m_Line;
    std::vector<std::string> m_History;
    int m_Cursor = 0;
};

CConsole* getConsole();
