// The game's direction and angle conventions, shared by every part that turns a
// heading into a vector or back.
//
// Angles are radians. Yaw turns about +Y: yaw 0 faces +Z, yaw pi/2 faces +X.
// Pitch is elevation with a positive pitch looking DOWN (the Y component is
// -sin pitch), except PitchFromDirection, which is positive for a vector pointing
// up. The ground plane is X-Z, and the distance most game logic compares is the
// ground Manhattan distance |dx| + |dz|.
//
// The arithmetic is float, with the runtime's (double) trigonometry and square
// roots narrowed to float, so results match the game's tuning bit for bit.
#pragma once

#include <utility>

#include "platform/d3dx9math.h"

// (sin yaw * cos pitch, -sin pitch, cos yaw * cos pitch): a unit vector.
D3DXVECTOR3 DirectionFromYawPitch(float yaw, float pitch);
// yaw = atan2(x, z), pitch = atan2(-y, |xz|); neither is wrapped. Either out may be null.
void YawPitchFromDirection(const D3DXVECTOR3* direction, float* yaw, float* pitch);
// (sin yaw, 0, cos yaw)
D3DXVECTOR3 DirectionFromYaw(float yaw);
// (0, -sin pitch, 0)
D3DXVECTOR3 DirectionFromPitch(float pitch);
// (sin yaw, -sin pitch, cos yaw), not normalised.
D3DXVECTOR3 YawPitchVector(float yaw, float pitch);

// Brings an angle into [-pi, pi] by whole turns; pi and -pi themselves stay.
// NaN comes back unchanged and an infinite angle gives 0.
float WrapAngle(float angle);
// The signed turn from one heading to another: WrapAngle(to - from).
float AngleDifference(float from, float to);
// Whether a heading lies on the same side as a reference heading: within a
// quarter turn of it either way, the quarter turn itself included (to float
// rounding). Whoever is in cover asks it about the hero's heading and the
// cover's; it holds for every reference heading, whichever way it points.
bool WithinQuarterTurn(float yaw, float reference);

float DistanceXZ(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
float ManhattanDistance(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
float ManhattanDistanceXZ(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
// ManhattanDistance(a, b) < range: a point exactly at the range is outside.
bool IsWithinManhattanDistance(float range, const D3DXVECTOR3& a, const D3DXVECTOR3& b);

float DotProduct(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
D3DXVECTOR3 CrossProduct(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
D3DXVECTOR3 ScaleVector(const D3DXVECTOR3& v, float s);
// No guard: a zero vector gives NaNs. Callers keep away from it.
D3DXVECTOR3 NormalizeVector(const D3DXVECTOR3& v);
float VectorLength(const D3DXVECTOR3& v);

// For the line y = m*x + q through (x1, y1) and (x2, y2): the vector (-m, 0, q).
// Callers pass ground X and Z as x and y.
D3DXVECTOR3 LineFromPoints(float x1, float y1, float x2, float y2);
// (slope, intercept) of the ground line z = slope*x + intercept through a and b.
std::pair<float, float> LineXZFromPoints(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
// The ground line through p along the heading yaw, as (slope, intercept).
std::pair<float, float> LineXZFromPointAndYaw(const D3DXVECTOR3& p, float yaw);

// Every component with its sign turned over; zeros (and NaNs) stay as they are.
D3DXVECTOR3 NegateVector(const D3DXVECTOR3& v);

// low + (high - low) * crt::rand() / 32767: both ends reachable. Takes one
// number from the runtime generator.
float RandomRange(float low, float high);

// WrapAngle(atan2(x, z)): the heading of a direction.
float YawFromDirection(const D3DXVECTOR3* direction);
inline float YawFromDirection(const D3DXVECTOR3& direction) { return YawFromDirection(&direction); }
// asin of the normalised Y component: positive when the vector points up.
float PitchFromDirection(const D3DXVECTOR3* direction);
inline float PitchFromDirection(const D3DXVECTOR3& direction) { return PitchFromDirection(&direction); }

// Cosine of the angle between the vectors (both normalised first).
float CosAngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
// The unsigned angle between the vectors in [0, pi]; 0 when undefined (a zero vector).
float AngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
// AngleBetween passed through WrapAngle; 0 when undefined.
float WrappedAngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
