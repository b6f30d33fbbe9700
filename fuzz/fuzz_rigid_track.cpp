// Any bytes as a rigid animation track file, read as the rigid animation
// manager reads one and then played: a track that reads whole is sampled
// before, across and after its span, and every pose must come out finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scene/RigidAnimManager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RigidAnimTrack track;
    const std::string fault = track.Read(std::string(reinterpret_cast<const char*>(data), size));
    if (!fault.empty()) {
        if (!track.IsEmpty())
            std::abort(); // a refused track plays nothing
        return 0;
    }
    CKeyframedRAO anim(&track);
    anim.RestartFrom(D3DXVECTOR3(1.0f, 2.0f, 3.0f), D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f));
    for (float t : {-1.0f, 0.0f, 0.37f * track.duration, track.duration, track.duration + 1.0f}) {
        D3DXVECTOR3 p;
        D3DXQUATERNION q;
        track.SamplePosition(t, p);
        track.SampleOrientation(t, q);
        if (!std::isfinite(p.x + p.y + p.z) || !std::isfinite(q.x + q.y + q.z + q.w))
            std::abort();
    }
    anim.Update(0.5f);
    return 0;
}
