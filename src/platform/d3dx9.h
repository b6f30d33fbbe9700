// Everything of our Direct3D 9 and D3DX layer in one include, as the game's
// code expects of <d3dx9.h>.
#pragma once

#include "platform/d3d9.h"
#include "platform/d3dx9core.h"
#include "platform/d3dx9effect.h"
#include "platform/d3dx9math.h"
#include "platform/d3dx9tex.h"
