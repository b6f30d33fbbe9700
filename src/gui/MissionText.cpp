#include "gui/MissionText.h"

CMissionText::~CMissionText()
{
    Release();
}

void CMissionText::Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth,
                        int screenHeight)
{
    m_FontHeight = fontHeight;
    m_ScreenWidth = screenWidth;
    m_ScreenHeight = screenHeight;
    // The bottom row, under the subtitles' band (whose line is centred at 0.9
    // of the height): a line spoken while the objective shows would otherwise
    // be written over it and neither could be read.
    m_TargetRow = screenHeight - fontHeight - screenHeight / 50;

    ID3DXFont* font = nullptr;
    if (FAILED(D3DXCreateFontA(device, fontHeight, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                               fontFace.c_str(), &font)))
        font = nullptr;
    SetFont(font);

    // Windows-1252 text, as the font reads bytes that are not UTF-8.
    m_Texts.push_back("SOBREVIVE A LA MATANZA CANIBAL DE LOS GARRULOS LIS\xC9RGICOS.");
    m_Texts.push_back("P\xC9TATE A DOCKERS!!");
}

void CMissionText::SetFont(ID3DXFont* font)
{
    if (m_Font && m_Font != font)
        m_Font->Release();
    m_Font = font;
}

void CMissionText::Update(float dt)
{
    m_Clock += dt;
    m_Y = m_TargetRow;
}

void CMissionText::Render()
{
    if (!m_Font || !IsShowing())
        return;
    const char* text = m_Texts[m_Current].c_str();
    RECT shadow = {m_X + 1, m_Y + 1, m_ScreenWidth + 1, m_ScreenHeight + 1};
    m_Font->DrawTextA(nullptr, text, -1, &shadow, DT_NOCLIP | DT_LEFT, m_ShadowColor);
    RECT front = {m_X, m_Y, m_ScreenWidth, m_ScreenHeight};
    m_Font->DrawTextA(nullptr, text, -1, &front, DT_NOCLIP | DT_LEFT, m_TextColor);
}

RECT CMissionText::Bounds() const
{
    RECT box = {m_X, m_TargetRow, m_X, m_TargetRow};
    if (m_Font && IsShowing())
        m_Font->DrawTextA(nullptr, m_Texts[m_Current].c_str(), -1, &box, DT_CALCRECT | DT_LEFT, 0);
    // The shadow reaches one pixel further each way.
    box.right += 1;
    box.bottom += 1;
    return box;
}

void CMissionText::Release()
{
    SetFont(nullptr);
    m_Texts.clear();
}

void CMissionText::setMission(int n)
{
    m_Current = n;
    m_Clock = 0.0f;
}

void CMissionText::addText(std::string text)
{
    m_Texts.push_back(std::move(text));
}

int CMissionText::getLastMission()
{
    return static_cast<int>(m_Texts.size()) - 1;
}

CMissionText& getMissionText()
{
    static CMissionText missionText;
    return missionText;
}
