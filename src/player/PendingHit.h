#pragma once

#include <cstdint>

#include "platform/d3dx9math.h"

// A hit the shot resolution handed over; the controller takes it in its next
// update, so a hit always lands in the state the hero was in when it came.
struct PendingHit {
    bool pending = false;
    std::uint16_t damage = 0;
    D3DXVECTOR3 origin{0.0f, 0.0f, 0.0f};

    void Set(bool isPending, std::uint16_t amount, float x, float y, float z)
    {
        pending = isPending;
        damage = amount;
        origin = D3DXVECTOR3(x, y, z);
    }
    // Hands a waiting hit to the hero (and restarts his regeneration clock);
    // true when there was one.
    bool Take();
};

