// Tolerant comparisons for the math tests.
#pragma once

#include <cmath>

#include <gtest/gtest.h>

#include "platform/d3dx9math.h"

namespace mathtest {

inline ::testing::AssertionResult Near(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tol = 1e-5f)
{
    if (std::fabs(actual.x - expected.x) <= tol && std::fabs(actual.y - expected.y) <= tol &&
        std::fabs(actual.z - expected.z) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << actual.x << ", " << actual.y << ", " << actual.z
                                         << "), expected (" << expected.x << ", " << expected.y << ", "
                                         << expected.z << ")";
}

inline ::testing::AssertionResult Near(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tol = 1e-5f)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!(std::fabs(actual.m[i][j] - expected.m[i][j]) <= tol))
                return ::testing::AssertionFailure()
                       << "element _" << i + 1 << j + 1 << " is " << actual.m[i][j] << ", expected "
                       << expected.m[i][j];
    return ::testing::AssertionSuccess();
}

// q and -q are the same rotation.
inline ::testing::AssertionResult SameRotation(const D3DXQUATERNION& a, const D3DXQUATERNION& b, float tol = 1e-5f)
{
    float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    float s = dot < 0.0f ? -1.0f : 1.0f;
    if (std::fabs(a.x - s * b.x) <= tol && std::fabs(a.y - s * b.y) <= tol && std::fabs(a.z - s * b.z) <= tol &&
        std::fabs(a.w - s * b.w) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << a.x << ", " << a.y << ", " << a.z << ", " << a.w
                                         << "), expected +-(" << b.x << ", " << b.y << ", " << b.z << ", "
                                         << b.w << ")";
}

inline D3DXVECTOR3 Transformed(const D3DXVECTOR3& v, const D3DXMATRIX& m)
{
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, &v, &m);
    return r;
}

} // namespace mathtest
