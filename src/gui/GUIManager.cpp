#include "gui/GUIManager.h"

#include "app/DebugText.h"
#include "gui/Subtitles.h"
#include "input/InputManager.h"

void CGUIManager::Init(int width, int height)
{
    // Placeholder until the screens are built: no elements, straight to the
    // main menu.
    screenWidth = width;
    screenHeight = height;
    english = getSubtitulos().english;
    mainMenuActive = true;
    pauseActive = false;
    optionsActive = false;
    exitRequested = false;
    restartRequested = false;
}

void CGUIManager::Update(float seconds)
{
    // Placeholder until the pause menu is built: Escape goes back to the main menu.
    if (getInputManager()->GetKeyboardState().IsKeyJustPressed(DIK_ESCAPE))
        mainMenuActive = true;
}

void CGUIManager::UpdateMainMenu(float seconds)
{
    // Placeholder until the main menu is built: Return starts a new game,
    // Escape leaves the program.
    getDebugText().AddLine("THE VANTOREL");
    getDebugText().AddLine("Return: new game    Escape: quit");
    const CKeyboard keyboard = getInputManager()->GetKeyboardState();
    if (keyboard.IsKeyJustPressed(DIK_RETURN))
        mainMenuActive = false;
    else if (keyboard.IsKeyJustPressed(DIK_ESCAPE))
        exitRequested = true;
}

void CGUIManager::Render(float seconds)
{
    // Placeholder until the screens are built.
}

void CGUIManager::showMission(int n)
{
    // Placeholder until the banners are built.
}

void CGUIManager::FadeInFromBlack(float seconds)
{
    // Placeholder until the fades are built.
}

void CGUIManager::FadeOutToBlack(float seconds)
{
    // Placeholder until the fades are built.
}

void CGUIManager::FadeInFromWhite(float seconds)
{
    // Placeholder until the fades are built.
}

void CGUIManager::FadeOutToWhite(float seconds)
{
    // Placeholder until the fades are built.
}

void CGUIManager::reload()
{
    // Placeholder until the screens are built.
}

CGUIManager& getGUI()
{
    static CGUIManager manager;
    return manager;
}
