#include "gui/Subtitles.h"

void CSubtitleManager::Init(IDirect3DDevice9* device, std::string fontFace, int screenWidth, int screenHeight)
{
    // Placeholder until the subtitles are built.
}

void CSubtitleManager::Update(float dt)
{
    // Placeholder until the subtitles are built.
}

void CSubtitleManager::Render(float dt)
{
    // Placeholder until the subtitles are built.
}

void CSubtitleManager::showSubtitulo(std::string key)
{
    // Placeholder until the subtitles are built.
}

void CSubtitleManager::ResetDisplay()
{
    // Placeholder until the subtitles are built.
}

CSubtitleManager& getSubtitulos()
{
    static CSubtitleManager manager;
    return manager;
}
