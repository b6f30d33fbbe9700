#include "scene/LightCamera.h"

#include <cstdlib>

#include "app/Startup.h"
#include "render/DrawHelper.h"
#include "scene/Camera.h"

CLightCamera LightLocation;

CLightCamera::CLightCamera()
    : eye(0.1f, 200.0f, 0.1f),
      target(5.0f, 0.1f, 0.1f),
      forward(0.0f, 0.0f, 1.0f),
      right(1.0f, 0.0f, 0.0f),
      cameraUp(0.0f, 1.0f, 0.0f),
      worldUp(0.0f, 1.0f, 0.0f),
      distance(0.0f),
      fov(0.7853982f),
      aspect(1.3333334f),
      zNear(0.0f),
      zFar(10000.0f),
      range(10000.0f),
      influence(0.0f),
      spread(350.0f)
{
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&viewProjection);
    D3DXMatrixIdentity(&inverseView);
    UpdateProjection();
    SetLookAt(eye, target);
}

void CLightCamera::SetLookAt(const D3DXVECTOR3& newEye, const D3DXVECTOR3& newTarget)
{
    eye = newEye;
    target = newTarget;
    UpdateView(worldUp);
}

void CLightCamera::SetLookAtUp(const D3DXVECTOR3& newEye, const D3DXVECTOR3& newTarget, const D3DXVECTOR3& up)
{
    eye = newEye;
    target = newTarget;
    UpdateView(up);
}

void CLightCamera::SetFov(float newFov)
{
    fov = newFov;
    UpdateProjection();
}

void CLightCamera::SetProjection(float, float farPlane, float newAspect)
{
    zNear = 0.0f;
    zFar = farPlane;
    aspect = newAspect;
    UpdateProjection();
}

void CLightCamera::UpdateProjection()
{
    D3DXMatrixPerspectiveFovRH(&projection, fov, aspect, zNear, zFar);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
}

void CLightCamera::UpdateView(const D3DXVECTOR3& up)
{
    // The zero-safe normalise: a light whose eye sits on its target gets zero
    // axes rather than NaNs that would spread into every matrix built from it.
    const D3DXVECTOR3 toTarget = target - eye;
    distance = D3DXVec3Length(&toTarget);
    D3DXVec3Normalize(&forward, &toTarget);
    D3DXVECTOR3 side;
    D3DXVec3Cross(&side, &up, &forward);
    D3DXVec3Normalize(&right, &side);
    D3DXVec3Cross(&cameraUp, &forward, &right);

    D3DXMatrixLookAtRH(&view, &eye, &target, &up);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    if (!D3DXMatrixInverse(&inverseView, nullptr, &view))
        D3DXMatrixIdentity(&inverseView);
}

void CLightCamera::DrawFrustum() const
{
    if (!D3DDevice)
        return;
    // The lights' near plane is 0, which leaves their view x projection
    // without an inverse; the volume is then drawn from a near plane of one
    // unit, which is what it looks like anyway at the scale of a level.
    D3DXMATRIX toWorld;
    if (!D3DXMatrixInverse(&toWorld, nullptr, &viewProjection)) {
        D3DXMATRIX drawProjection, drawViewProjection;
        D3DXMatrixPerspectiveFovRH(&drawProjection, fov, aspect, zNear > 0.0f ? zNear : 1.0f, zFar);
        D3DXMatrixMultiply(&drawViewProjection, &view, &drawProjection);
        if (!D3DXMatrixInverse(&toWorld, nullptr, &drawViewProjection))
            return;
    }

    D3DMATRIX previousWorld;
    const bool restore = D3DDevice->GetTransform(D3DTS_WORLD, &previousWorld) == D3D_OK;
    D3DDevice->SetTransform(D3DTS_WORLD, &toWorld);

    const D3DXVECTOR3 corner[8] = {
        {-1.0f, -1.0f, 0.0f}, {1.0f, -1.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {-1.0f, 1.0f, 0.0f},
        {-1.0f, -1.0f, 1.0f}, {1.0f, -1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {-1.0f, 1.0f, 1.0f},
    };
    const D3DCOLOR white = 0xFFFFFFFF;
    CDrawHelper& draw = getDrawHelper();
    for (int i = 0; i < 4; ++i) {
        draw.DrawLine(corner[i], corner[(i + 1) % 4], white);
        draw.DrawLine(corner[4 + i], corner[4 + (i + 1) % 4], white);
        draw.DrawLine(corner[i], corner[4 + i], white);
    }

    if (restore)
        D3DDevice->SetTransform(D3DTS_WORLD, &previousWorld);
}

void CLightCamera::dum(std::string eyeX, std::string eyeY, std::string eyeZ, std::string targetX,
                       std::string targetY, std::string targetZ)
{
    const D3DXVECTOR3 newEye(static_cast<float>(std::atof(eyeX.c_str())), static_cast<float>(std::atof(eyeY.c_str())),
                             static_cast<float>(std::atof(eyeZ.c_str())));
    const D3DXVECTOR3 newTarget(static_cast<float>(std::atof(targetX.c_str())),
                                static_cast<float>(std::atof(targetY.c_str())),
                                static_cast<float>(std::atof(targetZ.c_str())));
    SetLookAt(newEye, newTarget);
}

void CLightCamera::dum2()
{
    const CCamera& camera = getCamera();
    SetLookAt(camera.GetPosition(), camera.GetLookAt());
}
