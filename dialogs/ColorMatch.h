#pragma once
// Colour matching for the dialogs' OK handlers.

#include "platform/Types.h"

class CDesktopApp;

// The pixel value the display stores for `color`. A colour surface lost at
// start-up or in a restore is made again first; without one the colour stays
// unmatched (CLR_INVALID).
DWORD MatchColor(CDesktopApp& app, COLORREF color);
