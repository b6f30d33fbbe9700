// Tolerant comparisons for the math tests.
#pragma once

#include <cmath>

#include <gtest/gtest.h>

#include "platform/d3dx9math.h"

namespace mathtest {

// Compares n floats laid out one after the other in both values.
template <typename T>
::testing::AssertionResult Near(const T& actual, const T& expected, float tol = 1e-5f, float sign = 1.0f)
{
    const float* a = reinterpret_cast<const float*>(&actual);
    const float* e = reinterpret_cast<const float*>(&expected);
    for (size_t i = 0; i < sizeof(T) / sizeof(float); ++i)
        if (!(std::fabs(a[i] - sign * e[i]) <= tol))
            return ::testing::AssertionFailure() << "float " << i << " is " << a[i] << ", expected " << sign * e[i];
    return ::testing::AssertionSuccess();
}

// q and -q are the same rotation.
inline ::testing::AssertionResult SameRotation(const D3DXQUATERNION& a, const D3DXQUATERNION& b)
{
    return Near(a, b, 1e-5f, a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w < 0.0f ? -1.0f : 1.0f);
}

inline D3DXVECTOR3 Transformed(const D3DXVECTOR3& v, const D3DXMATRIX& m)
{
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, &v, &m);
    return r;
}

} // namespace mathtest
