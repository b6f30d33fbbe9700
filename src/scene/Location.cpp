#include "scene/Location.h"

#include "math/VectorMath.h"

CLocation::CLocation() : m_Scale(1.0f, 1.0f, 1.0f), m_Position(0.0f, 0.0f, 0.0f), m_Yaw(0.0f), m_Pitch(0.0f), m_Roll(0.0f)
{
    D3DXMatrixIdentity(&m_World);
}

void CLocation::UpdateMatrix()
{
    D3DXMATRIX rotation, translation, scaling;
    D3DXMatrixRotationY(&rotation, m_Yaw);
    D3DXMatrixTranslation(&translation, m_Position.x, m_Position.y, m_Position.z);
    D3DXMatrixScaling(&scaling, m_Scale.x, m_Scale.y, m_Scale.z);
    D3DXMatrixMultiply(&m_World, &rotation, &translation);
    D3DXMatrixMultiply(&m_World, &m_World, &scaling);
}

void CLocation::SetPosition(const D3DXVECTOR3& position)
{
    m_Position = position;
    UpdateMatrix();
}

void CLocation::SetYaw(float yaw)
{
    m_Yaw = WrapAngle(yaw);
    UpdateMatrix();
}

void CLocation::AddYaw(float delta)
{
    m_Yaw = WrapAngle(m_Yaw + delta);
    UpdateMatrix();
}

void CLocation::SetScale(const D3DXVECTOR3& scale)
{
    m_Scale = scale;
    UpdateMatrix();
}

void CLocation::MoveForward(float distance)
{
    const D3DXVECTOR3 step = YawPitchVector(m_Yaw, m_Pitch);
    m_Position += step * distance;
    UpdateMatrix();
}

void CLocation::SetPitch(float pitch)
{
    m_Pitch = WrapAngle(pitch);
}

void CLocation::AddPitch(float delta)
{
    m_Pitch = WrapAngle(m_Pitch + delta);
}

void CLocation::SetMatrix(const D3DXMATRIX& world)
{
    m_World = world;
}

float CLocation::AngleTo(const D3DXVECTOR3& point) const
{
    const D3DXVECTOR3 towards = point - m_Position;
    return AngleDifference(m_Yaw, YawFromDirection(towards));
}
