#include "render/DrawCallCounter.h"

namespace {
int* g_Counter = nullptr;
}

void SetDrawCallCounter(int* counter)
{
    g_Counter = counter;
}

void CountDrawCall()
{
    if (g_Counter)
        ++*g_Counter;
}
