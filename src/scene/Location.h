// The placement of anything the game puts in the world: every drawable
// entity holds one, and the camera is one. Angles are radians and kept in
// [-pi, pi]; yaw 0 faces +Z and a positive pitch looks down.
#pragma once

#include "platform/d3dx9math.h"

class CLocation {
public:
    // Unit scale, at the origin, facing +Z, identity world matrix.
    CLocation();

    // world = RotationY(yaw) x Translation(position) x Scaling(scale), row
    // vectors: a vertex is turned, moved, then scaled - so the scale also
    // scales the translation. Pitch never enters the world matrix.
    void UpdateMatrix();

    // These rebuild the world matrix.
    void SetPosition(const D3DXVECTOR3& position);
    void SetYaw(float yaw);
    void AddYaw(float delta);
    void SetScale(const D3DXVECTOR3& scale);
    // position += (sin yaw, -sin pitch, cos yaw) * distance: the pitch term is
    // added to the ground heading, not folded into it, so the step is longer
    // than distance whenever the pitch is not 0.
    void MoveForward(float distance);

    // Pitch only steers MoveForward; these leave the world matrix alone.
    void SetPitch(float pitch);
    void AddPitch(float delta);

    // Replaces the world matrix as it stands (rigid animations, placed scene
    // objects). Position, angles and scale are not derived from it, and the
    // next rebuilding setter overwrites it.
    void SetMatrix(const D3DXMATRIX& world);

    // The wrapped turn the yaw needs to face the point on the ground plane;
    // positive turns towards +X from +Z.
    float AngleTo(const D3DXVECTOR3& point) const;

    const D3DXVECTOR3& GetPosition() const { return m_Position; }
    const D3DXVECTOR3& GetScale() const { return m_Scale; }
    float GetYaw() const { return m_Yaw; }
    float GetPitch() const { return m_Pitch; }
    // A third angle that placement never uses; kept for whoever needs a roll.
    float GetRoll() const { return m_Roll; }
    const D3DXMATRIX& GetMatrix() const { return m_World; }

private:
    D3DXVECTOR3 m_Scale;
    D3DXVECTOR3 m_Position;
    float m_Yaw;
    float m_Pitch;
    float m_Roll;
    D3DXMATRIX m_World;
};
