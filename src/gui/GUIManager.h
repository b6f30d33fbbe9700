// Everything drawn in two dimensions over the game: the main menu and its
// screens, the pause menu, the HUD, banners and fades. Its flags steer the
// menu loop and the game loop.
#pragma once

#include "xml/XMLParser.h"

class CGUIManager : public CXMLParser {
public:
    // Reads the screen elements and leaves the program in the main menu.
    void Init(int width, int height);
    // Once per game-loop frame, also while paused.
    void Update(float seconds);
    // Once per menu-loop pass.
    void UpdateMainMenu(float seconds);
    void Render(float seconds);
    // Starts mission banner n.
    void showMission(int n);
    // Fades of the whole screen over the given seconds.
    void FadeInFromBlack(float seconds);
    void FadeOutToBlack(float seconds);
    void FadeInFromWhite(float seconds);
    void FadeOutToWhite(float seconds);
    // Script method: reads the screen elements of "data/XML/GUI.xml" again.
    void reload();

    // The screen flags.
    bool mainMenuActive = false;   // the menu loop runs while set
    bool pauseActive = false;      // the game loop only polls input and runs the pause menu
    bool optionsActive = false;
    bool exitRequested = false;    // the player chose to leave the program
    bool restartRequested = false; // the next frame update restarts from the checkpoint
    bool english = false;          // English screen images
    bool fadeIn = false;           // a fade from black or white is under way

    int screenWidth = 0;
    int screenHeight = 0;
};

CGUIManager& getGUI();
