// The voice lines' text at the bottom of the screen, Spanish or English, and
// the two looping radio tracks whose lines follow the radios' own clocks.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3dx9core.h"
#include "xml/XMLParser.h"

// Current while start <= time < end (whole seconds).
struct SubtitleLine {
    int start = 0;
    int end = 0;
    std::string text;
};

struct SubtitleEntry {
    int duration = 0;
    std::vector<SubtitleLine> lines;
};

class CSubtitleManager : public CXMLParser {
public:
    // The radios loop by these periods, whatever their tracks hold.
    static constexpr float kHangarRadioPeriod = 230.0f;
    static constexpr float kIslandRadioPeriod = 158.0f;

    CSubtitleManager() = default;
    ~CSubtitleManager() override;
    CSubtitleManager(const CSubtitleManager&) = delete;
    CSubtitleManager& operator=(const CSubtitleManager&) = delete;

    // Creates the font (0.037 of the screen high), reads
    // "data/XML/subtitulos.xml" and stops both radios. A file that cannot be
    // read, or is refused, leaves the tables empty: nothing is ever shown.
    void Init(IDirect3DDevice9* device, std::string fontFace, int screenWidth, int screenHeight);
    // Reads the texts of a file into empty tables; false (with one line on
    // stderr naming the file and the fault) when it is missing or refused.
    bool LoadTexts(const std::string& file);
    // Takes over a font made elsewhere, releasing the one held.
    void SetFont(ID3DXFont* font);

    // Per frame, in the menu loop and in the game.
    void Update(float dt);
    // The current line, then at most one radio line; only while enabled.
    void Render(float dt);

    // Starts the subtitle of that key in the current language from its first
    // second; a key without lines only restarts the clock of the one showing.
    void showSubtitulo(std::string key);
    // Holding a subtitle restarts it from its first line when resumed; the
    // radio clocks keep running.
    void Pause() { m_Paused = true; }
    void Resume() { m_Paused = false; }
    void StartRadioHangar() { m_HangarRunning = true; }
    void StopRadioHangar() { m_HangarRunning = false; }
    void StartRadioIsland() { m_IslandRunning = true; }
    void StopRadioIsland() { m_IslandRunning = false; }
    // Nothing showing, both radios stopped at 0.
    void ResetDisplay();
    // Takes the line on screen away (a skipped scene); the radios go on.
    void ClearLines();

    // What a player would read now.
    bool IsShowing() const { return m_Showing; }
    bool IsPaused() const { return m_Paused; }
    bool IsLineFound() const { return m_Found; }
    const std::string& CurrentText() const { return m_Text; }
    bool IsHangarTextFound() const { return m_HangarFound; }
    bool IsIslandTextFound() const { return m_IslandFound; }
    const std::string& HangarText() const { return m_HangarText; }
    const std::string& IslandText() const { return m_IslandText; }
    float HangarClock() const { return m_HangarClock; }
    float IslandClock() const { return m_IslandClock; }
    float Clock() const { return m_Clock; }
    // The tables as read (a lookup of an unknown key adds an empty entry).
    const std::map<std::string, SubtitleEntry>& Table(bool inEnglish) const { return inEnglish ? m_English : m_Spanish; }
    const SubtitleEntry& RadioTrack(bool hangar, bool inEnglish) const;

    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
    void OnEndElement(const std::string& name) override;

    // The language of texts and screen images, from the start-up setting "english".
    bool english = false;
    // Whether subtitles are drawn at all (the screens switch it); the clocks
    // and lines advance either way.
    bool subtitlesEnabled = false;
    // Set by the radio mix while the hero is near the radio of the room.
    bool hangarRadioVisible = false;
    bool islandRadioVisible = false;

private:
    void Store(bool inEnglish);
    void ClearTables();
    void UpdateRadio(float dt, bool running, float period, float& clock, const SubtitleEntry& spanish,
                     const SubtitleEntry& englishTrack, std::string& text, bool& found);
    void DrawShadowed(const std::string& text, int top, int bottom);

    D3DCOLOR m_TextColor = 0xFFFFFF00;
    D3DCOLOR m_ShadowColor = 0xFF000000;

    // The subtitle being read.
    std::string m_ReadName;
    int m_ReadDuration = 0;
    std::vector<SubtitleLine> m_ReadLines;
    std::string m_ReadFault; // the first reason to refuse the file
    int m_ReadCount = 0;     // elements read, against the file's bound

    std::map<std::string, SubtitleEntry> m_Spanish;
    std::map<std::string, SubtitleEntry> m_English;

    bool m_Found = false;
    bool m_Showing = false;
    std::string m_Text;
    bool m_Paused = false;
    int m_ScreenWidth = 0;
    int m_ScreenHeight = 0;

    SubtitleEntry m_HangarSpanish, m_IslandSpanish, m_HangarEnglish, m_IslandEnglish;
    float m_HangarClock = 0.0f;
    float m_IslandClock = 0.0f;
    std::string m_HangarText;
    std::string m_IslandText;
    bool m_HangarFound = false;
    bool m_IslandFound = false;
    bool m_HangarRunning = false;
    bool m_IslandRunning = false;

    float m_Clock = 0.0f;
    int m_Duration = 0;
    std::vector<SubtitleLine> m_Lines;

    ID3DXFont* m_Font = nullptr;
};

CSubtitleManager& getSubtitulos();
