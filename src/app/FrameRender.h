// Draws one frame; both loops call it once per pass, after their update.
#pragma once

void RenderFrame(float dt);
