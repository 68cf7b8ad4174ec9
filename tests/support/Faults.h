#pragma once
// Makes chosen calls of the display layer fail, one pending fault per point:
//   FailNextCall(FaultPoint::Lock, 2);   // the second Lock from now fails
//   ClearFaults();                       // forgets every pending fault

#include "platform/DirectDrawFaults.h"

#include <array>
#include <cstddef>

class FaultPlan : public DisplayFaults {
public:
    FaultPlan() { SetDisplayFaults(this); }
    ~FaultPlan() override { SetDisplayFaults(nullptr); }
    FaultPlan(const FaultPlan&) = delete;
    FaultPlan& operator=(const FaultPlan&) = delete;
    void failNextCall(FaultPoint point, int nth) { m_countdown[std::size_t(point)] = nth > 0 ? nth : 0; }
    void clear() { m_countdown.fill(0); }
    bool shouldFail(FaultPoint point) override
    {
        int& left = m_countdown[std::size_t(point)];
        return left > 0 && --left == 0;
    }

private:
    // Calls left before the fault, per point; 0 = none pending.
    std::array<int, std::size_t(FaultPoint::CreateCompatibleDC) + 1> m_countdown {};
};

inline FaultPlan& TestFaults()
{
    static FaultPlan plan;
    return plan;
}

inline void FailNextCall(FaultPoint point, int nth = 1)
{
    TestFaults().failNextCall(point, nth);
}

inline void ClearFaults()
{
    TestFaults().clear();
}
