#include "gui/MissionText.h"

void CMissionText::Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth,
                        int screenHeight)
{
    // Placeholder until the mission text is built.
}

void CMissionText::Update(float dt)
{
    // Placeholder until the mission text is built.
}

void CMissionText::Render()
{
    // Placeholder until the mission text is built.
}

CMissionText& getMissionText()
{
    static CMissionText missionText;
    return missionText;
}
