// The mission line shown at the top of the screen.
#pragma once

#include <string>

#include "platform/d3d9.h"

class CMissionText {
public:
    void Init(IDirect3DDevice9* device, int fontHeight, std::string fontFace, int screenWidth, int screenHeight);
    void Update(float dt);
    void Render();
};

CMissionText& getMissionText();
