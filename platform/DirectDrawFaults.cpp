#include "platform/DirectDrawFaults.h"

namespace {
DisplayFaults* g_faults = nullptr;
}

void SetDisplayFaults(DisplayFaults* faults)
{
    g_faults = faults;
}

bool ShouldFail(FaultPoint point)
{
    return g_faults && g_faults->shouldFail(point);
}
