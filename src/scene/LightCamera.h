// A look-at camera record: eye, target, the derived axes, view and projection.
// The scene's light cameras, the rooms' spot lights and the player camera's
// free/flight camera are all such records, and they are copied whole (the
// scenario swaps lights by value), so this stays a plain value type.
#pragma once

#include <string>

#include "platform/d3dx9math.h"

class CLightCamera {
public:
    // Eye (0.1, 200, 0.1) looking at (5, 0.1, 0.1), 45 degrees, aspect 4:3,
    // near 0, far 10000, range 10000, influence 0, spread 350.
    CLightCamera();

    // Stores eye and target and derives the rest with the world up (0, 1, 0).
    void SetLookAt(const D3DXVECTOR3& eye, const D3DXVECTOR3& target);
    // The same with a given up vector (the camera flights roll the view).
    void SetLookAtUp(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, const D3DXVECTOR3& up);
    // Stores the field of view (radians) and rebuilds the projection.
    void SetFov(float fov);
    // Near becomes 0; stores far and aspect and rebuilds the projection with
    // the stored field of view. The first value is not used. With a near plane
    // of 0 the projected depth is the same everywhere: the shadow pass works
    // its depth out itself.
    void SetProjection(float unused, float farPlane, float aspect);

    // The 12 edges of the view volume in white, in world space (debug view).
    void DrawFrustum() const;

    // Script methods: dum places the light from six number strings (eye x, y,
    // z, target x, y, z); dum2 puts it where the player camera stands, looking
    // where the camera looks.
    void dum(std::string eyeX, std::string eyeY, std::string eyeZ, std::string targetX, std::string targetY,
             std::string targetZ);
    void dum2();

    // Rebuilds the projection from fov, aspect, near and far as they stand.
    void UpdateProjection();
    // Rebuilds forward, distance, right, camera up, view, view x projection
    // and the inverse view from eye, target and the given up vector.
    void UpdateView(const D3DXVECTOR3& up);

    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DXMATRIX viewProjection;
    D3DXMATRIX inverseView;
    D3DXVECTOR3 eye;
    D3DXVECTOR3 target;
    // normalise(target - eye)
    D3DXVECTOR3 forward;
    // normalise(world up x forward)
    D3DXVECTOR3 right;
    // forward x right, not normalised
    D3DXVECTOR3 cameraUp;
    D3DXVECTOR3 worldUp;
    // |target - eye|
    float distance;
    float fov;
    float aspect;
    float zNear;
    float zFar;
    // The last three serve the scenario's choice of lights near the hero:
    // range is the last ground distance measured from the light to him
    // (10000 until measured), influence the light's weight for that distance
    // (what the lighting receives as the light's influence), and spread how
    // far the light reaches (350), against which the weight is worked out.
    float range;
    float influence;
    float spread;
};

// The light camera built before the window (its projection is set when the
// device is created); the scene manager's lights start from it.
extern CLightCamera LightLocation;
