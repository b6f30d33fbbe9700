// The mission line: one numbered text shown in the bottom-left corner of the
// screen for ten seconds after a script asks for it. Two texts are built in;
// scripts may append more, and those stay for the rest of the run.
#pragma once

#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9core.h"

class CMissionText {
public:
    CMissionText() = default;
    ~CMissionText();
    CMissionText(const CMissionText&) = delete;
    CMissionText& operator=(const CMissionText&) = delete;

    // Stores the sizes, creates the font and appends the two built-in texts.
    // When the font cannot be created nothing is ever drawn.
    void Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth, int screenHeight);
    // Takes over a font made elsewhere, releasing the one held.
    void SetFont(ID3DXFont* font);
    // Advances the clock of the current text.
    void Update(float dt);
    // Draws the current text, shadowed, while it is a valid index and has
    // shown for at most the show time.
    void Render();
    // Releases the font and forgets the texts.
    void Release();

    // Script methods. setMission chooses text n and restarts its ten seconds
    // (an index outside the list shows nothing); addText appends a text;
    // getLastMission is the index of the last text, -1 when there is none.
    void setMission(int n);
    // Takes the current text off the screen, as if its time were up.
    void Hide() { m_Clock = m_ShowTime + 1.0f; }
    void addText(std::string text);
    int getLastMission();

    const std::vector<std::string>& GetTexts() const { return m_Texts; }
    // A valid text chosen no more than the show time ago: what is drawn.
    bool IsShowing() const
    {
        return m_Current >= 0 && m_Current < static_cast<int>(m_Texts.size()) && m_Clock <= m_ShowTime;
    }
    int GetCurrent() const { return m_Current; }
    // Where the current text and its shadow are drawn, in pixels; empty at
    // the text's corner when nothing shows.
    RECT Bounds() const;

    static constexpr float kShowTime = 10.0f;

private:
    std::vector<std::string> m_Texts;
    D3DCOLOR m_TextColor = 0xFFFFFFFF;
    D3DCOLOR m_ShadowColor = 0xFF000000;
    int m_FontHeight = 0;
    int m_Current = -1;
    int m_ScreenWidth = 0;
    int m_ScreenHeight = 0;
    int m_X = 0;
    int m_Y = 0;
    int m_TargetRow = 0;
    float m_ShowTime = kShowTime;
    // Starts past the show time, so nothing shows before the first setMission.
    float m_Clock = 20.0f;
    ID3DXFont* m_Font = nullptr;
};

CMissionText& getMissionText();
