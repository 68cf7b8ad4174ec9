#pragma once
// Logical fonts as Qt fonts.

#include "platform/Types.h"

#include <QFont>

// The QFont for `font`: a negative height is the character height in pixels,
// a positive one the cell height, 0 the default size; weight, italic,
// underline, strike-out and face map directly. Glyphs are never antialiased.
QFont FontFromLogFont(const LOGFONT& font);
