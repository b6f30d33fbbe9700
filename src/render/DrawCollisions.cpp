#include "render/DrawCollisions.h"

#include <cmath>

#include "render/DrawHelper.h"

namespace {

D3DCOLOR Channel(btScalar value)
{
    const double scaled = std::round(static_cast<double>(value) * 255.0);
    if (!(scaled > 0.0)) // also catches NaN
        return 0;
    if (scaled > 255.0)
        return 255;
    return static_cast<D3DCOLOR>(scaled);
}

} // namespace

D3DCOLOR DebugLineColour(const btVector3& color)
{
    return 0xFF000000u | (Channel(color.x()) << 16) | (Channel(color.y()) << 8) | Channel(color.z());
}

void CDrawCollisions::drawLine(const btVector3& from, const btVector3& to, const btVector3& color)
{
    getDrawHelper().DrawLine(D3DXVECTOR3(from.x(), from.y(), from.z()), D3DXVECTOR3(to.x(), to.y(), to.z()),
                             DebugLineColour(color));
}
