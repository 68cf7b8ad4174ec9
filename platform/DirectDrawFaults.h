#pragma once
// A test seam: makes one chosen call of the display layer fail, so that the
// failure paths of its callers can be exercised.

enum class FaultPoint {
    DirectDrawCreate,
    CreateSurface,
    CreateClipper,
    SetHWnd,
    SetClipper,
    Restore,
    GetDC,
    Lock,
    CreateCompatibleDC,
};

// The `nth` next call at `point` (1 = the very next) fails; one fault at a
// time per point.
void FailNextCall(FaultPoint point, int nth = 1);
// Forgets every pending fault.
void ClearFaults();
// Called by the layer at each point: true when this call is to fail.
bool ShouldFail(FaultPoint point);
