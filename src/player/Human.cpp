#include "player/Human.h"

IController* IHuman::GetController() const
{
    // No selector is ever built yet, so there is no controller to hand out.
    return nullptr;
}
