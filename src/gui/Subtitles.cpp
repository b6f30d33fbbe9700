#include "gui/Subtitles.h"

#include <cmath>
#include <cstdio>

#include "platform/bounded.h"

namespace {

const char kSubtitlesFile[] = "data/XML/subtitulos.xml";

// Far beyond any voice line or radio track; a larger number is a broken file,
// not a long subtitle.
constexpr int kMaxSeconds = 24 * 3600;
// Elements one file may hold before it is refused.
constexpr int kMaxElements = 100000;

// Seconds from a "min"/"seconds" pair, or -1 when either is out of range.
int Seconds(const CXMLAttributes& attributes, const char* minutesName, const char* secondsName)
{
    const int minutes = attributes.GetInt(minutesName, 0);
    const int seconds = attributes.GetInt(secondsName, 0);
    if (minutes < 0 || seconds < 0 || minutes > kMaxSeconds / 60 || seconds > kMaxSeconds)
        return -1;
    const int total = seconds + 60 * minutes;
    return total > kMaxSeconds ? -1 : total;
}

// The first line whose window holds the time.
const SubtitleLine* LineAt(const std::vector<SubtitleLine>& lines, float time, std::size_t* index)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (static_cast<float>(lines[i].start) <= time && time < static_cast<float>(lines[i].end)) {
            if (index)
                *index = i;
            return &lines[i];
        }
    return nullptr;
}

} // namespace

CSubtitleManager::~CSubtitleManager()
{
    SetFont(nullptr);
}

void CSubtitleManager::SetFont(ID3DXFont* font)
{
    if (m_Font && m_Font != font)
        m_Font->Release();
    m_Font = font;
}

void CSubtitleManager::Init(IDirect3DDevice9* device, std::string fontFace, int screenWidth, int screenHeight)
{
    ID3DXFont* font = nullptr;
    const int fontHeight = static_cast<int>(screenHeight * 0.037);
    if (FAILED(D3DXCreateFontA(device, fontHeight, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0, fontFace.c_str(),
                               &font)))
        font = nullptr;
    SetFont(font);

    m_Clock = 0.0f;
    m_Found = m_Showing = m_Paused = false;
    m_ScreenWidth = screenWidth;
    m_ScreenHeight = screenHeight;
    LoadTexts(kSubtitlesFile);
    m_HangarClock = m_IslandClock = 0.0f;
    m_HangarFound = m_IslandFound = m_HangarRunning = m_IslandRunning = false;
}

bool CSubtitleManager::LoadTexts(const std::string& file)
{
    ClearTables();
    m_ReadFault.clear();
    m_ReadCount = 0;
    m_ReadName.clear();
    m_ReadDuration = 0;
    m_ReadLines.clear();

    const bool parsed = LoadXML(file);
    std::string fault = parsed ? m_ReadFault : GetFault();
    // One line, whatever the parser's message ends with.
    while (!fault.empty() && (fault.back() == '\n' || fault.back() == '\r'))
        fault.pop_back();
    if (parsed && fault.empty())
        return true;
    // A half-read file would show some lines and silently drop others: all
    // or nothing, as if it were missing.
    ClearTables();
    std::fprintf(stderr, "%s refused: %s\n", file.c_str(), fault.c_str());
    return false;
}

void CSubtitleManager::ClearTables()
{
    m_Spanish.clear();
    m_English.clear();
    m_HangarSpanish = m_IslandSpanish = m_HangarEnglish = m_IslandEnglish = SubtitleEntry{};
}

void CSubtitleManager::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (!m_ReadFault.empty())
        return;
    if (++m_ReadCount > kMaxElements) {
        m_ReadFault = "more than " + std::to_string(kMaxElements) + " elements";
        m_StopParsing = true;
        return;
    }
    if (name == "SUBTITULO") {
        m_ReadName = attributes.GetString("name", "");
        m_ReadDuration = Seconds(attributes, "min", "seconds");
        if (m_ReadDuration < 0)
            m_ReadFault = "duration of \"" + bounded::Echoed(m_ReadName) + "\" out of range";
        m_ReadLines.clear();
    } else if (name == "TEXTO") {
        SubtitleLine line;
        line.start = Seconds(attributes, "min_ini", "sec_ini");
        line.end = Seconds(attributes, "min_end", "sec_end");
        line.text = attributes.GetString("texto", "");
        if (line.start < 0 || line.end < 0)
            m_ReadFault = "a line time of \"" + bounded::Echoed(m_ReadName) + "\" out of range";
        m_ReadLines.push_back(std::move(line));
    }
    if (!m_ReadFault.empty())
        m_StopParsing = true;
}

void CSubtitleManager::OnEndElement(const std::string& name)
{
    if (!m_ReadFault.empty())
        return;
    if (name == "SPANISH")
        Store(false);
    else if (name == "ENGLISH")
        Store(true);
}

void CSubtitleManager::Store(bool inEnglish)
{
    SubtitleEntry entry;
    entry.duration = m_ReadDuration;
    entry.lines = std::move(m_ReadLines);
    m_ReadLines.clear();
    if (m_ReadName == "radioHangar")
        (inEnglish ? m_HangarEnglish : m_HangarSpanish) = std::move(entry);
    else if (m_ReadName == "radioIsla")
        (inEnglish ? m_IslandEnglish : m_IslandSpanish) = std::move(entry);
    else
        (inEnglish ? m_English : m_Spanish)[m_ReadName] = std::move(entry);
}

const SubtitleEntry& CSubtitleManager::RadioTrack(bool hangar, bool inEnglish) const
{
    if (hangar)
        return inEnglish ? m_HangarEnglish : m_HangarSpanish;
    return inEnglish ? m_IslandEnglish : m_IslandSpanish;
}

void CSubtitleManager::showSubtitulo(std::string key)
{
    m_Clock = 0.0f;
    const SubtitleEntry& entry = (english ? m_English : m_Spanish)[key];
    if (entry.lines.empty())
        return;
    m_Duration = entry.duration;
    m_Lines = entry.lines;
    m_Showing = true;
}

void CSubtitleManager::ClearLines()
{
    m_Found = m_Showing = false;
}

void CSubtitleManager::ResetDisplay()
{
    m_Clock = 0.0f;
    m_Found = m_Showing = false;
    m_HangarClock = m_IslandClock = 0.0f;
    m_Paused = false;
    m_HangarFound = m_IslandFound = m_HangarRunning = m_IslandRunning = false;
}

void CSubtitleManager::UpdateRadio(float dt, bool running, float period, float& clock, const SubtitleEntry& spanish,
                                   const SubtitleEntry& englishTrack, std::string& text, bool& found)
{
    if (!running)
        return;
    clock += dt;
    if (clock > period)
        clock = 0.0f;
    text.clear();
    found = false;
    // The Spanish track's times decide for both languages: the recordings
    // are Spanish, the English text only follows them line by line.
    std::size_t index = 0;
    const SubtitleLine* line = LineAt(spanish.lines, clock, &index);
    if (!line)
        return;
    if (english) {
        // A shorter English track has no text for the Spanish line.
        if (index >= englishTrack.lines.size())
            return;
        text = englishTrack.lines[index].text;
    } else {
        text = line->text;
    }
    found = true;
}

void CSubtitleManager::Update(float dt)
{
    UpdateRadio(dt, m_HangarRunning, kHangarRadioPeriod, m_HangarClock, m_HangarSpanish, m_HangarEnglish,
                m_HangarText, m_HangarFound);
    UpdateRadio(dt, m_IslandRunning, kIslandRadioPeriod, m_IslandClock, m_IslandSpanish, m_IslandEnglish,
                m_IslandText, m_IslandFound);

    if (!m_Showing || m_Paused) {
        m_Clock = 0.0f;
        return;
    }
    m_Clock += dt;
    if (static_cast<float>(m_Duration) <= m_Clock) {
        m_Showing = m_Found = m_Paused = false;
        m_Clock = 0.0f;
        return;
    }
    m_Text.clear();
    m_Found = false;
    if (const SubtitleLine* line = LineAt(m_Lines, m_Clock, nullptr)) {
        m_Text = line->text;
        m_Found = true;
    }
}

void CSubtitleManager::DrawShadowed(const std::string& text, int top, int bottom)
{
    const int W = m_ScreenWidth, H = m_ScreenHeight;
    RECT shadow = {static_cast<LONG>(0.004 * W), top + static_cast<LONG>(0.003 * H), W, bottom};
    m_Font->DrawTextA(nullptr, text.c_str(), -1, &shadow, DT_CENTER | DT_VCENTER, m_ShadowColor);
    RECT front = {0, top, W, bottom};
    m_Font->DrawTextA(nullptr, text.c_str(), -1, &front, DT_CENTER | DT_VCENTER, m_TextColor);
}

void CSubtitleManager::Render(float)
{
    if (!subtitlesEnabled || !m_Font)
        return;
    const int H = m_ScreenHeight;
    if (m_Found)
        DrawShadowed(m_Text, static_cast<int>(0.8 * H), H);
    const int radioTop = static_cast<int>(0.7 * H), radioBottom = static_cast<int>(0.9 * H);
    if (hangarRadioVisible)
        DrawShadowed(m_HangarText, radioTop, radioBottom);
    else if (islandRadioVisible)
        DrawShadowed(m_IslandText, radioTop, radioBottom);
}

CSubtitleManager& getSubtitulos()
{
    static CSubtitleManager manager;
    return manager;
}
