// How far the camera's own motion between two frames can carry a visible
// point across the screen: under a small enough bound the velocity pass's
// smear cannot change a pixel, and the camera may count as still.
#pragma once

#include "platform/d3dx9math.h"

class IEntidad3D;

// The smear's eight taps read the scene at up to the whole motion away, half
// of it on average; a bilinear read that far from a texel's centre weighs
// its neighbours by at most sqrt(2) times that. So a motion of this many
// pixels changes no channel by a 255th, even across an edge from black to
// white: 0.5 * sqrt(2) * 0.0055 * 255 < 1.
constexpr float kUnseenMotionPixels = 0.0055f;

// The largest on-screen motion, in pixels of a width x height target, that
// the change from the last frame's view to this one's gives any point in view
// now lying at least `nearest` in front of the eye (its depth along the
// view). Infinite when the projections differ, or when the camera moved so
// far that such a point may have been behind the last frame's eye.
float CameraMotionPixels(const D3DXMATRIX& view, const D3DXMATRIX& previousView, const D3DXMATRIX& projection,
                         const D3DXMATRIX& previousProjection, float nearest, float width, float height);

// The depth in front of the eye (along the view) nearer than which the
// camera's motion could show: the least `nearest` for which
// CameraMotionPixels stays within `pixels`. Infinite when no depth does
// (the camera turned too far, or the projection changed).
float DepthWhereMotionShows(const D3DXMATRIX& view, const D3DXMATRIX& previousView, const D3DXMATRIX& projection,
                            const D3DXMATRIX& previousProjection, float width, float height, float pixels);

// A depth in front of the eye that no part of the entity in view can come
// nearer than: from the box around its mesh as placed (a character's
// animated limbs are given room around its place) and, when that box lies
// nearer than `enough`, from the mesh's triangles themselves; 0 when it may
// lie anywhere (no mesh, or triangles that cannot be read).
float NearestDepthOf(const IEntidad3D& entity, const D3DXMATRIX& view, const D3DXMATRIX& projection, float enough);
