#include "math/VectorMath.h"

#include <cmath>

#include "platform/crt.h"

namespace {

// The float values nearest to pi and 2 pi: the wrap compares and steps with these.
const float kPi = 3.14159265358979323846f;
const float kTwoPi = 6.28318530717958647692f;

// Stepping by whole turns (rounding after each step) is the behaviour the game's
// headings were tuned with, so it stays for every angle a frame can produce.
// Far outside that, the steps would take long and, once 2 pi is below half a
// float ulp, never end: such angles are reduced with an exact remainder first.
const float kStepLimit = 1024.0f;

// The runtime's double-precision functions, narrowed as the game narrows them.
float Sin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
float Cos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
float Sqrt(float a) { return static_cast<float>(std::sqrt(static_cast<double>(a))); }
float Atan2(float y, float x) { return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x))); }
float Asin(float a) { return static_cast<float>(std::asin(static_cast<double>(a))); }
float Acos(float a) { return static_cast<float>(std::acos(static_cast<double>(a))); }

} // namespace

D3DXVECTOR3 DirectionFromYawPitch(float yaw, float pitch)
{
    float cp = Cos(pitch);
    return D3DXVECTOR3(Sin(yaw) * cp, -Sin(pitch), Cos(yaw) * cp);
}

void YawPitchFromDirection(const D3DXVECTOR3* direction, float* yaw, float* pitch)
{
    const D3DXVECTOR3& d = *direction;
    if (yaw)
        *yaw = Atan2(d.x, d.z);
    if (pitch)
        *pitch = Atan2(-d.y, Sqrt(d.x * d.x + d.z * d.z));
}

D3DXVECTOR3 DirectionFromYaw(float yaw)
{
    return D3DXVECTOR3(Sin(yaw), 0.0f, Cos(yaw));
}

D3DXVECTOR3 DirectionFromPitch(float pitch)
{
    return D3DXVECTOR3(0.0f, -Sin(pitch), 0.0f);
}

D3DXVECTOR3 YawPitchVector(float yaw, float pitch)
{
    return D3DXVECTOR3(Sin(yaw), -Sin(pitch), Cos(yaw));
}

float WrapAngle(float angle)
{
    if (std::isnan(angle))
        return angle;
    if (std::isinf(angle))
        return 0.0f; // no heading to recover; any value in range is as good
    if (std::fabs(angle) > kStepLimit)
        angle = static_cast<float>(std::fmod(static_cast<double>(angle), static_cast<double>(kTwoPi)));
    while (angle > kPi)
        angle = angle - kTwoPi;
    while (angle < -kPi)
        angle = angle + kTwoPi;
    return angle;
}

float AngleDifference(float from, float to)
{
    return WrapAngle(to - from);
}

bool WithinQuarterTurn(float yaw, float reference)
{
    // A hair of slack: a heading built as reference + a quarter turn comes
    // back from the wrap a rounding step either side of it.
    constexpr float kQuarterTurn = 1.5707964f;
    constexpr float kRounding = 1e-5f;
    return std::fabs(WrapAngle(yaw - reference)) <= kQuarterTurn + kRounding;
}

float DistanceXZ(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    float dx = a.x - b.x, dz = a.z - b.z;
    return Sqrt(dx * dx + dz * dz);
}

float ManhattanDistance(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
}

float ManhattanDistanceXZ(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return std::fabs(a.x - b.x) + std::fabs(a.z - b.z);
}

bool IsWithinManhattanDistance(float range, const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return ManhattanDistance(a, b) < range;
}

float DotProduct(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DXVECTOR3 CrossProduct(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

D3DXVECTOR3 ScaleVector(const D3DXVECTOR3& v, float s)
{
    return D3DXVECTOR3(v.x * s, v.y * s, v.z * s);
}

D3DXVECTOR3 NormalizeVector(const D3DXVECTOR3& v)
{
    float len = VectorLength(v);
    return D3DXVECTOR3(v.x / len, v.y / len, v.z / len);
}

float VectorLength(const D3DXVECTOR3& v)
{
    return Sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

D3DXVECTOR3 LineFromPoints(float x1, float y1, float x2, float y2)
{
    float dx = x1 - x2;
    return D3DXVECTOR3((y2 - y1) / dx, 0.0f, (x1 * y2 - x2 * y1) / dx);
}

std::pair<float, float> LineXZFromPoints(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    float dx = a.x - b.x;
    return {(a.z - b.z) / dx, (a.x * b.z - b.x * a.z) / dx};
}

std::pair<float, float> LineXZFromPointAndYaw(const D3DXVECTOR3& p, float yaw)
{
    D3DXVECTOR3 q(p.x + Sin(yaw), p.y, p.z + Cos(yaw));
    return LineXZFromPoints(p, q);
}

D3DXVECTOR3 NegateVector(const D3DXVECTOR3& v)
{
    auto flip = [](float c) { return (c < 0.0f || c > 0.0f) ? -c : c; };
    return D3DXVECTOR3(flip(v.x), flip(v.y), flip(v.z));
}

float RandomRange(float low, float high)
{
    float r = static_cast<float>(crt::rand() / static_cast<double>(crt::RAND_MAX_VALUE));
    return low + (high - low) * r;
}

float YawFromDirection(const D3DXVECTOR3* direction)
{
    return WrapAngle(Atan2(direction->x, direction->z));
}

float PitchFromDirection(const D3DXVECTOR3* direction)
{
    return Asin(NormalizeVector(*direction).y);
}

float CosAngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return DotProduct(NormalizeVector(a), NormalizeVector(b));
}

float AngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    float c = CosAngleBetween(a, b);
    if (std::isnan(c))
        return 0.0f;
    if (c >= 1.0f)
        c = 1.0f;
    else if (c <= -1.0f)
        c = -1.0f;
    return Acos(c);
}

float WrappedAngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    float angle = WrapAngle(AngleBetween(a, b));
    return std::isnan(angle) ? 0.0f : angle;
}
