#include "platform/DirectDrawFaults.h"

#include <array>
#include <cstddef>

namespace {
constexpr int kFaultPoints = int(FaultPoint::CreateCompatibleDC) + 1;
// Calls left before the fault, per point; 0 = none pending.
std::array<int, kFaultPoints> g_countdown {};
}

void FailNextCall(FaultPoint point, int nth)
{
    g_countdown[std::size_t(point)] = nth > 0 ? nth : 0;
}

void ClearFaults()
{
    g_countdown.fill(0);
}

bool ShouldFail(FaultPoint point)
{
    int& left = g_countdown[std::size_t(point)];
    return left > 0 && --left == 0;
}
