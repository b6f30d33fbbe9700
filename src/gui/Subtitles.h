// The voice lines' text at the bottom of the screen, Spanish or English, and
// the two looping radio tracks.
#pragma once

#include <string>

#include "platform/d3d9.h"
#include "xml/XMLParser.h"

class CSubtitleManager : public CXMLParser {
public:
    // Creates the font, reads "data/XML/subtitulos.xml" and stops both radios.
    void Init(IDirect3DDevice9* device, std::string fontFace, int screenWidth, int screenHeight);
    // Per frame, in the menu loop and in the game.
    void Update(float dt);
    void Render(float dt);
    // Starts the subtitle of that key in the current language.
    void showSubtitulo(std::string key);
    void StartRadioHangar() { m_HangarRunning = true; }
    void StopRadioHangar() { m_HangarRunning = false; }
    void StartRadioIsland() { m_IslandRunning = true; }
    void StopRadioIsland() { m_IslandRunning = false; }
    // Nothing showing, both radios stopped at 0.
    void ResetDisplay();

    // The language of texts and screen images, from the start-up setting "english".
    bool english = false;
    // Whether subtitles are drawn at all (set by the screens).
    bool subtitlesEnabled = false;
    // Set by the radio mix while the hero is near the radio of the room.
    bool hangarRadioVisible = false;
    bool islandRadioVisible = false;

private:
    bool m_HangarRunning = false;
    bool m_IslandRunning = false;
};

CSubtitleManager& getSubtitulos();
