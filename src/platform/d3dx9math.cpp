#include "platform/d3dx9math.h"

#include <algorithm>
#include <cmath>

namespace {

D3DXMATRIX Product(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

D3DXMATRIX Identity()
{
    D3DXMATRIX r;
    D3DXMatrixIdentity(&r);
    return r;
}

// A zero matrix to fill in: the constructors leave members undefined.
D3DXMATRIX Zero()
{
    return D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

// The 2x2 minors of the lower two rows pair with those of the upper two rows to
// give determinant and adjugate together (Laplace expansion); double keeps the
// inverse of ill-conditioned view matrices usable.
struct Cofactors {
    double adj[4][4];
    double det;
};

Cofactors ComputeCofactors(const D3DXMATRIX& mat)
{
    double a[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            a[i][j] = mat.m[i][j];

    double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];

    double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

    Cofactors r;
    r.det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;

    r.adj[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
    r.adj[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
    r.adj[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
    r.adj[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;

    r.adj[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
    r.adj[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
    r.adj[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
    r.adj[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;

    r.adj[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
    r.adj[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
    r.adj[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
    r.adj[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;

    r.adj[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
    r.adj[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
    r.adj[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
    r.adj[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;
    return r;
}

// The three camera axes become the columns of the rotation part; row 4 moves the
// eye to the origin.
D3DXMATRIX* ViewFromAxes(D3DXMATRIX* out, const D3DXVECTOR3& xa, const D3DXVECTOR3& ya,
                         const D3DXVECTOR3& za, const D3DXVECTOR3& eye)
{
    *out = D3DXMATRIX(xa.x, ya.x, za.x, 0.0f,
                      xa.y, ya.y, za.y, 0.0f,
                      xa.z, ya.z, za.z, 0.0f,
                      -D3DXVec3Dot(&xa, &eye), -D3DXVec3Dot(&ya, &eye), -D3DXVec3Dot(&za, &eye), 1.0f);
    return out;
}

// Hamilton product a b (b's rotation applied first).
D3DXQUATERNION Hamilton(const D3DXQUATERNION& a, const D3DXQUATERNION& b)
{
    return D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
}

D3DCOLOR PackChannel(float v)
{
    // Written so NaN lands on 0 instead of an undefined float-to-int conversion.
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return 0xff;
    return static_cast<D3DCOLOR>(v * 255.0f + 0.5f);
}

} // namespace

// --- D3DXMATRIX members ---------------------------------------------------------------

D3DXMATRIX::D3DXMATRIX(const float* f)
{
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] = f[i];
}

D3DXMATRIX::D3DXMATRIX(float f11, float f12, float f13, float f14,
                       float f21, float f22, float f23, float f24,
                       float f31, float f32, float f33, float f34,
                       float f41, float f42, float f43, float f44)
{
    _11 = f11; _12 = f12; _13 = f13; _14 = f14;
    _21 = f21; _22 = f22; _23 = f23; _24 = f24;
    _31 = f31; _32 = f32; _33 = f33; _34 = f34;
    _41 = f41; _42 = f42; _43 = f43; _44 = f44;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat)
{
    *this = Product(*this, mat);
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& mat)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] += mat.m[i][j];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& mat)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] -= mat.m[i][j];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(float f)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] *= f;
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator/=(float f)
{
    return *this *= 1.0f / f;
}

D3DXMATRIX D3DXMATRIX::operator-() const
{
    D3DXMATRIX r(*this);
    return r *= -1.0f;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& mat) const
{
    return Product(*this, mat);
}

D3DXMATRIX D3DXMATRIX::operator+(const D3DXMATRIX& mat) const
{
    D3DXMATRIX r(*this);
    return r += mat;
}

D3DXMATRIX D3DXMATRIX::operator-(const D3DXMATRIX& mat) const
{
    D3DXMATRIX r(*this);
    return r -= mat;
}

D3DXMATRIX D3DXMATRIX::operator*(float f) const
{
    D3DXMATRIX r(*this);
    return r *= f;
}

D3DXMATRIX D3DXMATRIX::operator/(float f) const
{
    D3DXMATRIX r(*this);
    return r /= f;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m[i][j] != mat.m[i][j])
                return false;
    return true;
}

// --- D3DXQUATERNION and D3DXCOLOR members ----------------------------------------------

D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q)
{
    *this = Hamilton(q, *this);
    return *this;
}

D3DXQUATERNION D3DXQUATERNION::operator*(const D3DXQUATERNION& q) const
{
    return Hamilton(q, *this);
}

D3DXCOLOR::D3DXCOLOR(D3DCOLOR argb)
{
    const float k = 1.0f / 255.0f;
    a = static_cast<float>((argb >> 24) & 0xff) * k;
    r = static_cast<float>((argb >> 16) & 0xff) * k;
    g = static_cast<float>((argb >> 8) & 0xff) * k;
    b = static_cast<float>(argb & 0xff) * k;
}

D3DXCOLOR::operator D3DCOLOR() const
{
    return (PackChannel(a) << 24) | (PackChannel(r) << 16) | (PackChannel(g) << 8) | PackChannel(b);
}

// --- 2D vectors ----------------------------------------------------------------------

float D3DXVec2Length(const D3DXVECTOR2* v) { return std::sqrt(D3DXVec2LengthSq(v)); }
float D3DXVec2LengthSq(const D3DXVECTOR2* v) { return v->x * v->x + v->y * v->y; }
float D3DXVec2Dot(const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) { return v1->x * v2->x + v1->y * v2->y; }
float D3DXVec2CCW(const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) { return v1->x * v2->y - v1->y * v2->x; }

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v)
{
    float len = D3DXVec2Length(v);
    *out = len > 0.0f ? *v / len : D3DXVECTOR2(0.0f, 0.0f);
    return out;
}

D3DXVECTOR2* D3DXVec2Add(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2)
{
    *out = *v1 + *v2;
    return out;
}

D3DXVECTOR2* D3DXVec2Subtract(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2)
{
    *out = *v1 - *v2;
    return out;
}

D3DXVECTOR2* D3DXVec2Scale(D3DXVECTOR2* out, const D3DXVECTOR2* v, float s)
{
    *out = *v * s;
    return out;
}

D3DXVECTOR2* D3DXVec2Lerp(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2, float s)
{
    *out = *v1 + (*v2 - *v1) * s;
    return out;
}

D3DXVECTOR2* D3DXVec2Minimize(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2)
{
    *out = D3DXVECTOR2(std::min(v1->x, v2->x), std::min(v1->y, v2->y));
    return out;
}

D3DXVECTOR2* D3DXVec2Maximize(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2)
{
    *out = D3DXVECTOR2(std::max(v1->x, v2->x), std::max(v1->y, v2->y));
    return out;
}

// --- 3D vectors ----------------------------------------------------------------------

float D3DXVec3Length(const D3DXVECTOR3* v) { return std::sqrt(D3DXVec3LengthSq(v)); }
float D3DXVec3LengthSq(const D3DXVECTOR3* v) { return v->x * v->x + v->y * v->y + v->z * v->z; }
float D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    *out = D3DXVECTOR3(v1->y * v2->z - v1->z * v2->y,
                       v1->z * v2->x - v1->x * v2->z,
                       v1->x * v2->y - v1->y * v2->x);
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v)
{
    float len = D3DXVec3Length(v);
    *out = len > 0.0f ? *v / len : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    return out;
}

D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    *out = *v1 + *v2;
    return out;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    *out = *v1 - *v2;
    return out;
}

D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3* v, float s)
{
    *out = *v * s;
    return out;
}

D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2, float s)
{
    *out = *v1 + (*v2 - *v1) * s;
    return out;
}

D3DXVECTOR3* D3DXVec3Minimize(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    *out = D3DXVECTOR3(std::min(v1->x, v2->x), std::min(v1->y, v2->y), std::min(v1->z, v2->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Maximize(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    *out = D3DXVECTOR3(std::max(v1->x, v2->x), std::max(v1->y, v2->y), std::max(v1->z, v2->z));
    return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    D3DXVECTOR4 r(v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41,
                  v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42,
                  v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43,
                  v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44);
    *out = r;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, v, m);
    *out = D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    D3DXVECTOR3 r(v->x * m->_11 + v->y * m->_21 + v->z * m->_31,
                  v->x * m->_12 + v->y * m->_22 + v->z * m->_32,
                  v->x * m->_13 + v->y * m->_23 + v->z * m->_33);
    *out = r;
    return out;
}

namespace {

D3DXMATRIX WorldViewProjection(const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    D3DXMATRIX m = Identity();
    if (world)
        m = *world;
    if (view)
        m = m * *view;
    if (projection)
        m = m * *projection;
    return m;
}

} // namespace

D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT9* viewport,
                             const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    D3DXMATRIX m = WorldViewProjection(projection, view, world);
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, v, &m);
    if (viewport) {
        r.x = static_cast<float>(viewport->X) + (1.0f + r.x) * static_cast<float>(viewport->Width) * 0.5f;
        r.y = static_cast<float>(viewport->Y) + (1.0f - r.y) * static_cast<float>(viewport->Height) * 0.5f;
        r.z = viewport->MinZ + r.z * (viewport->MaxZ - viewport->MinZ);
    }
    *out = r;
    return out;
}

D3DXVECTOR3* D3DXVec3Unproject(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT9* viewport,
                               const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    D3DXMATRIX m = WorldViewProjection(projection, view, world);
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &m)) {
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        return nullptr;
    }
    D3DXVECTOR3 r = *v;
    if (viewport) {
        float w = static_cast<float>(viewport->Width);
        float h = static_cast<float>(viewport->Height);
        float depth = viewport->MaxZ - viewport->MinZ;
        r.x = w > 0.0f ? 2.0f * (r.x - static_cast<float>(viewport->X)) / w - 1.0f : 0.0f;
        r.y = h > 0.0f ? 1.0f - 2.0f * (r.y - static_cast<float>(viewport->Y)) / h : 0.0f;
        // A flat depth range carries no depth: treat every point as on the near plane.
        r.z = depth != 0.0f ? (r.z - viewport->MinZ) / depth : 0.0f;
    }
    D3DXVec3TransformCoord(out, &r, &inverse);
    return out;
}

// --- 4D vectors ----------------------------------------------------------------------

float D3DXVec4Length(const D3DXVECTOR4* v) { return std::sqrt(D3DXVec4LengthSq(v)); }
float D3DXVec4LengthSq(const D3DXVECTOR4* v) { return D3DXVec4Dot(v, v); }
float D3DXVec4Dot(const D3DXVECTOR4* v1, const D3DXVECTOR4* v2)
{
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z + v1->w * v2->w;
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* out, const D3DXVECTOR4* v)
{
    float len = D3DXVec4Length(v);
    *out = len > 0.0f ? *v / len : D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
}

D3DXVECTOR4* D3DXVec4Add(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2)
{
    *out = *v1 + *v2;
    return out;
}

D3DXVECTOR4* D3DXVec4Subtract(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2)
{
    *out = *v1 - *v2;
    return out;
}

D3DXVECTOR4* D3DXVec4Scale(D3DXVECTOR4* out, const D3DXVECTOR4* v, float s)
{
    *out = *v * s;
    return out;
}

D3DXVECTOR4* D3DXVec4Lerp(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2, float s)
{
    *out = *v1 + (*v2 - *v1) * s;
    return out;
}

D3DXVECTOR4* D3DXVec4Minimize(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2)
{
    *out = D3DXVECTOR4(std::min(v1->x, v2->x), std::min(v1->y, v2->y), std::min(v1->z, v2->z),
                       std::min(v1->w, v2->w));
    return out;
}

D3DXVECTOR4* D3DXVec4Maximize(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2)
{
    *out = D3DXVECTOR4(std::max(v1->x, v2->x), std::max(v1->y, v2->y), std::max(v1->z, v2->z),
                       std::max(v1->w, v2->w));
    return out;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m)
{
    D3DXVECTOR4 r(v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + v->w * m->_41,
                  v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + v->w * m->_42,
                  v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + v->w * m->_43,
                  v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + v->w * m->_44);
    *out = r;
    return out;
}

// --- matrices ------------------------------------------------------------------------

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out)
{
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

bool D3DXMatrixIsIdentity(const D3DXMATRIX* m)
{
    return *m == Identity();
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2)
{
    *out = Product(*m1, *m2);
    return out;
}

float D3DXMatrixDeterminant(const D3DXMATRIX* m)
{
    return static_cast<float>(ComputeCofactors(*m).det);
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m)
{
    Cofactors c = ComputeCofactors(*m);
    if (determinant)
        *determinant = static_cast<float>(c.det);
    if (c.det == 0.0 || !std::isfinite(c.det))
        return nullptr;
    double inv = 1.0 / c.det;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out->m[i][j] = static_cast<float>(c.adj[i][j] * inv);
    return out;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m)
{
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m->m[j][i];
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z)
{
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz)
{
    *out = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle)
{
    float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle)
{
    float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle)
{
    float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle)
{
    D3DXVECTOR3 v;
    D3DXVec3Normalize(&v, axis);
    float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    *out = D3DXMATRIX(t * v.x * v.x + c, t * v.x * v.y + s * v.z, t * v.x * v.z - s * v.y, 0,
                      t * v.x * v.y - s * v.z, t * v.y * v.y + c, t * v.y * v.z + s * v.x, 0,
                      t * v.x * v.z + s * v.y, t * v.y * v.z - s * v.x, t * v.z * v.z + c, 0,
                      0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll)
{
    float cy = std::cos(yaw), sy = std::sin(yaw);
    float cp = std::cos(pitch), sp = std::sin(pitch);
    float cr = std::cos(roll), sr = std::sin(roll);
    *out = D3DXMATRIX(cr * cy + sr * sp * sy, sr * cp, sr * sp * cy - cr * sy, 0,
                      cr * sp * sy - sr * cy, cr * cp, sr * sy + cr * sp * cy, 0,
                      cp * sy, -sp, cp * cy, 0,
                      0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q)
{
    float x = q->x, y = q->y, z = q->z, w = q->w;
    *out = D3DXMATRIX(1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0,
                      2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0,
                      2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0,
                      0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up)
{
    D3DXVECTOR3 za = *eye - *at, xa, ya;
    D3DXVec3Normalize(&za, &za);
    D3DXVec3Cross(&xa, up, &za);
    D3DXVec3Normalize(&xa, &xa);
    D3DXVec3Cross(&ya, &za, &xa);
    return ViewFromAxes(out, xa, ya, za, *eye);
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up)
{
    D3DXVECTOR3 za = *at - *eye, xa, ya;
    D3DXVec3Normalize(&za, &za);
    D3DXVec3Cross(&xa, up, &za);
    D3DXVec3Normalize(&xa, &xa);
    D3DXVec3Cross(&ya, &za, &xa);
    return ViewFromAxes(out, xa, ya, za, *eye);
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf)
{
    float ys = 1.0f / std::tan(fovY * 0.5f), xs = ys / aspect;
    *out = Zero();
    out->_11 = xs;
    out->_22 = ys;
    out->_33 = zf / (zn - zf);
    out->_34 = -1.0f;
    out->_43 = zn * zf / (zn - zf);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf)
{
    float ys = 1.0f / std::tan(fovY * 0.5f), xs = ys / aspect;
    *out = Zero();
    out->_11 = xs;
    out->_22 = ys;
    out->_33 = zf / (zf - zn);
    out->_34 = 1.0f;
    out->_43 = zn * zf / (zn - zf);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveRH(D3DXMATRIX* out, float w, float h, float zn, float zf)
{
    *out = Zero();
    out->_11 = 2.0f * zn / w;
    out->_22 = 2.0f * zn / h;
    out->_33 = zf / (zn - zf);
    out->_34 = -1.0f;
    out->_43 = zn * zf / (zn - zf);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* out, float w, float h, float zn, float zf)
{
    *out = Zero();
    out->_11 = 2.0f * zn / w;
    out->_22 = 2.0f * zn / h;
    out->_33 = zf / (zf - zn);
    out->_34 = 1.0f;
    out->_43 = zn * zf / (zn - zf);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* out, float w, float h, float zn, float zf)
{
    return D3DXMatrixOrthoOffCenterRH(out, -w * 0.5f, w * 0.5f, -h * 0.5f, h * 0.5f, zn, zf);
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf)
{
    return D3DXMatrixOrthoOffCenterLH(out, -w * 0.5f, w * 0.5f, -h * 0.5f, h * 0.5f, zn, zf);
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterRH(D3DXMATRIX* out, float l, float r, float b, float t, float zn, float zf)
{
    D3DXMatrixIdentity(out);
    out->_11 = 2.0f / (r - l);
    out->_22 = 2.0f / (t - b);
    out->_33 = 1.0f / (zn - zf);
    out->_41 = (l + r) / (l - r);
    out->_42 = (t + b) / (b - t);
    out->_43 = zn / (zn - zf);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float l, float r, float b, float t, float zn, float zf)
{
    D3DXMatrixIdentity(out);
    out->_11 = 2.0f / (r - l);
    out->_22 = 2.0f / (t - b);
    out->_33 = 1.0f / (zf - zn);
    out->_41 = (l + r) / (l - r);
    out->_42 = (t + b) / (b - t);
    out->_43 = zn / (zn - zf);
    return out;
}

// --- quaternions ---------------------------------------------------------------------

D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out)
{
    *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return out;
}

bool D3DXQuaternionIsIdentity(const D3DXQUATERNION* q)
{
    return q->x == 0.0f && q->y == 0.0f && q->z == 0.0f && q->w == 1.0f;
}

float D3DXQuaternionDot(const D3DXQUATERNION* q1, const D3DXQUATERNION* q2)
{
    return q1->x * q2->x + q1->y * q2->y + q1->z * q2->z + q1->w * q2->w;
}

float D3DXQuaternionLengthSq(const D3DXQUATERNION* q) { return D3DXQuaternionDot(q, q); }
float D3DXQuaternionLength(const D3DXQUATERNION* q) { return std::sqrt(D3DXQuaternionLengthSq(q)); }

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q)
{
    float len = D3DXQuaternionLength(q);
    *out = len > 0.0f ? *q / len : D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
}

D3DXQUATERNION* D3DXQuaternionConjugate(D3DXQUATERNION* out, const D3DXQUATERNION* q)
{
    *out = D3DXQUATERNION(-q->x, -q->y, -q->z, q->w);
    return out;
}

D3DXQUATERNION* D3DXQuaternionInverse(D3DXQUATERNION* out, const D3DXQUATERNION* q)
{
    float lenSq = D3DXQuaternionLengthSq(q);
    D3DXQUATERNION c;
    D3DXQuaternionConjugate(&c, q);
    *out = lenSq > 0.0f ? c / lenSq : D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2)
{
    *out = Hamilton(*q2, *q1);
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, float angle)
{
    D3DXVECTOR3 v;
    D3DXVec3Normalize(&v, axis);
    float s = std::sin(angle * 0.5f);
    *out = D3DXQUATERNION(v.x * s, v.y * s, v.z * s, std::cos(angle * 0.5f));
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m)
{
    // Solve for the largest component first so the division below is well
    // conditioned for every rotation, including half turns.
    float trace = m->_11 + m->_22 + m->_33;
    D3DXQUATERNION q;
    if (trace > 0.0f) {
        float s = 2.0f * std::sqrt(trace + 1.0f);
        q = D3DXQUATERNION((m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s, 0.25f * s);
    } else if (m->_11 >= m->_22 && m->_11 >= m->_33) {
        float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + m->_11 - m->_22 - m->_33));
        q = D3DXQUATERNION(0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s, (m->_23 - m->_32) / s);
    } else if (m->_22 >= m->_33) {
        float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + m->_22 - m->_11 - m->_33));
        q = D3DXQUATERNION((m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s, (m->_31 - m->_13) / s);
    } else {
        float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + m->_33 - m->_11 - m->_22));
        q = D3DXQUATERNION((m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s, (m->_12 - m->_21) / s);
    }
    *out = q;
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* out, float yaw, float pitch, float roll)
{
    D3DXQUATERNION qy(0.0f, std::sin(yaw * 0.5f), 0.0f, std::cos(yaw * 0.5f));
    D3DXQUATERNION qp(std::sin(pitch * 0.5f), 0.0f, 0.0f, std::cos(pitch * 0.5f));
    D3DXQUATERNION qr(0.0f, 0.0f, std::sin(roll * 0.5f), std::cos(roll * 0.5f));
    // Roll first, then pitch, then yaw, as the matrix version.
    *out = Hamilton(qy, Hamilton(qp, qr));
    return out;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2, float t)
{
    float cosTheta = D3DXQuaternionDot(q1, q2);
    float sign = 1.0f;
    if (cosTheta < 0.0f) {
        cosTheta = -cosTheta;
        sign = -1.0f;
    }
    float k1 = 1.0f - t, k2 = t;
    // Nearly parallel: the sine ratio loses precision, and a straight blend is as good.
    if (cosTheta < 0.9999f) {
        float theta = std::acos(cosTheta);
        float sinTheta = std::sin(theta);
        k1 = std::sin(k1 * theta) / sinTheta;
        k2 = std::sin(k2 * theta) / sinTheta;
    }
    *out = *q1 * k1 + *q2 * (sign * k2);
    return out;
}

void D3DXQuaternionToAxisAngle(const D3DXQUATERNION* q, D3DXVECTOR3* axis, float* angle)
{
    if (axis)
        *axis = D3DXVECTOR3(q->x, q->y, q->z);
    if (angle)
        *angle = 2.0f * std::acos(std::max(-1.0f, std::min(1.0f, q->w)));
}

// --- planes --------------------------------------------------------------------------

float D3DXPlaneDot(const D3DXPLANE* p, const D3DXVECTOR4* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d * v->w;
}

float D3DXPlaneDotCoord(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d;
}

float D3DXPlaneDotNormal(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z;
}

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal)
{
    *out = D3DXPLANE(normal->x, normal->y, normal->z, -D3DXVec3Dot(point, normal));
    return out;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2, const D3DXVECTOR3* v3)
{
    D3DXVECTOR3 e1 = *v2 - *v1, e2 = *v3 - *v1, n;
    D3DXVec3Cross(&n, &e1, &e2);
    D3DXVec3Normalize(&n, &n);
    D3DXVECTOR3 p = *v1;
    return D3DXPlaneFromPointNormal(out, &p, &n);
}

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* p)
{
    float len = std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c);
    *out = len > 0.0f ? *p / len : D3DXPLANE(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
}

D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* out, const D3DXPLANE* p, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    D3DXVECTOR3 dir = *v2 - *v1;
    float denom = D3DXPlaneDotNormal(p, &dir);
    if (denom == 0.0f)
        return nullptr;
    float t = -D3DXPlaneDotCoord(p, v1) / denom;
    *out = *v1 + dir * t;
    return out;
}

D3DXPLANE* D3DXPlaneTransform(D3DXPLANE* out, const D3DXPLANE* p, const D3DXMATRIX* m)
{
    D3DXVECTOR4 v(p->a, p->b, p->c, p->d);
    D3DXVec4Transform(&v, &v, m);
    *out = D3DXPLANE(v.x, v.y, v.z, v.w);
    return out;
}

// --- colours -------------------------------------------------------------------------

D3DXCOLOR* D3DXColorLerp(D3DXCOLOR* out, const D3DXCOLOR* c1, const D3DXCOLOR* c2, float s)
{
    *out = *c1 + (*c2 - *c1) * s;
    return out;
}

D3DXCOLOR* D3DXColorModulate(D3DXCOLOR* out, const D3DXCOLOR* c1, const D3DXCOLOR* c2)
{
    *out = D3DXCOLOR(c1->r * c2->r, c1->g * c2->g, c1->b * c2->b, c1->a * c2->a);
    return out;
}

D3DXCOLOR* D3DXColorScale(D3DXCOLOR* out, const D3DXCOLOR* c, float s)
{
    *out = D3DXCOLOR(c->r * s, c->g * s, c->b * s, c->a);
    return out;
}
