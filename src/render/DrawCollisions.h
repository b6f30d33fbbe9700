#pragma once

#include <LinearMath/btIDebugDraw.h>

#include "platform/d3d9types.h"

// The physics world's debug lines, drawn with the draw helper's lines in the
// current world transform. Contacts, warnings and text are not shown.
class CDrawCollisions : public btIDebugDraw {
public:
    void drawLine(const btVector3& from, const btVector3& to, const btVector3& color) override;
    void drawContactPoint(const btVector3& pointOnB, const btVector3& normalOnB, btScalar distance,
                          int lifeTime, const btVector3& color) override {}
    void reportErrorWarning(const char* warningString) override {}
    void draw3dText(const btVector3& location, const char* textString) override {}
    // The collision manager asks for wireframes, but the world is asked for
    // its lines at the start of every render pass: drawn, every box of the
    // level would cover the frame. The answer is 0, so nothing is drawn.
    void setDebugMode(int debugMode) override {}
    int getDebugMode() const override { return 0; }
};

// Bullet's 0..1 colour as an opaque D3DCOLOR: each channel scaled to 0..255,
// rounded and clamped.
D3DCOLOR DebugLineColour(const btVector3& color);
