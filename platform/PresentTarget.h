#pragma once
// Where the primary surface puts finished frames: the desktop window, or a
// capture in tests. A window handle in this layer is such a target.

#include "platform/Types.h"

#include <span>

class QImage;

class PresentTarget {
public:
    virtual ~PresentTarget() = default;
    // Copies `frame` (desktop coordinates, origin at the screen's top-left)
    // into the window at once and flushes it: all of it, or only the
    // `changed` rectangles when there are any.
    virtual void presentFrame(const QImage& frame, std::span<const RECT> changed) = 0;
};

using HWND = PresentTarget*;
