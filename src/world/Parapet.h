// One cover segment of the level: the hero and the enemies hide behind it.
// Held by value in the scenario object it belongs to; everything but the
// free flag is fixed once the level is loaded.
#pragma once

#include <string>

#include "platform/d3dx9math.h"
#include "scene/Location.h"

struct TParapet {
    // A small code: characters 2, 4, 6 and 8 give high ("a"), jumpable ("s"),
    // the zone letter and the kind letter, as in "p_a_n_A_B_502".
    std::string name;
    // Centre point and heading; the world matrix is the level file's own.
    CLocation transform;
    D3DXVECTOR3 pt_ini{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 pt_fin{0.0f, 0.0f, 0.0f};
    // The parapet's normal, (sin yaw, 0, cos yaw): out from its solid
    // toward where a character takes it. In cover he heads the other way,
    // across it: the run from pt_ini to pt_fin turned a quarter.
    D3DXVECTOR3 facing{0.0f, 0.0f, 1.0f};
    // High: the hero stands behind it; otherwise he crouches.
    bool high = false;
    bool jumpable = false;
    // No character holds it.
    bool free = true;
    char kind = '\0';
    char zone = '\0';
    // Ground Manhattan distance from pt_ini to pt_fin.
    float length = 0.0f;
    // normalise(pt_fin - pt_ini)
    D3DXVECTOR3 direction{0.0f, 0.0f, 0.0f};
    // The ground line z = x * slope + intercept through both ends, as
    // (slope, intercept).
    D3DXVECTOR2 line{0.0f, 0.0f};
};

// The record as the level file describes it. When the two ends share an exact
// X (or Z), pt_ini is pulled back 0.1 along it: the ground line is solved for
// z in terms of x and would otherwise divide by zero. Letters that a short
// name does not reach read as '\0' (and false for the flags).
TParapet MakeParapet(const std::string& name, const D3DXMATRIX& transform, const D3DXVECTOR3& ptIni,
                     const D3DXVECTOR3& ptFin);
