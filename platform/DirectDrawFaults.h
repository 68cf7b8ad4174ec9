#pragma once
// A test seam: the display layer asks, at each call that can fail, whether
// this one is to fail, so that its callers' failure paths can be exercised.

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

class DisplayFaults {
public:
    virtual ~DisplayFaults() = default;
    virtual bool shouldFail(FaultPoint point) = 0;
};

// Installs `faults` for the display layer; nullptr (the default) fails nothing.
void SetDisplayFaults(DisplayFaults* faults);
// Called by the layer at each point: true when this call is to fail.
bool ShouldFail(FaultPoint point);
