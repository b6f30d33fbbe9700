// The hero. Built on first use by getPlayer and alive until the program ends.
#pragma once

#include "player/Human.h"

class CPlayer : public IHuman {
public:
    CPlayer() = default;
};

// The one hero; never null.
CPlayer* getPlayer();
