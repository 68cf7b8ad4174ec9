#pragma once
// The fixed-width types, records and constants the desktop's code is written in.

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using UINT = unsigned int;
using ULONG = std::uint32_t;
using COLORREF = DWORD;
using HRESULT = std::int32_t;
using LPCSTR = const char*;
using LPSTR = char*;
using LPVOID = void*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};
using LPRECT = RECT*;

// Rectangle arithmetic that cannot overflow: coordinates come from files,
// drags and dialogs, so sums are taken 64 bits wide and clamped to what a
// RECT holds.
constexpr LONG ClampLong(LONGLONG value)
{
    return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : LONG(value);
}
constexpr LONGLONG RectWidth(const RECT& rc)
{
    return LONGLONG(rc.right) - rc.left;
}
constexpr LONGLONG RectHeight(const RECT& rc)
{
    return LONGLONG(rc.bottom) - rc.top;
}
// No area; an inverted rectangle has none either.
constexpr BOOL IsRectEmpty(const RECT* rc)
{
    return rc->right <= rc->left || rc->bottom <= rc->top;
}
// Moves every edge by (dx, dy); an edge stops at the end of the range.
constexpr BOOL OffsetRect(RECT* rc, LONGLONG dx, LONGLONG dy)
{
    *rc = { ClampLong(rc->left + dx), ClampLong(rc->top + dy), ClampLong(rc->right + dx), ClampLong(rc->bottom + dy) };
    return TRUE;
}

struct POINT {
    LONG x = 0;
    LONG y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
    friend bool operator==(const SIZE&, const SIZE&) = default;
};

inline constexpr int LF_FACESIZE = 32;

struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(LOGFONT) == 60);

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c)
{
    return BYTE(c);
}
constexpr BYTE GetGValue(COLORREF c)
{
    return BYTE(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c)
{
    return BYTE(c >> 16);
}
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Result codes.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT DD_OK = 0;
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
inline constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DDERR_INVALIDRECT = HRESULT(0x88760096);
inline constexpr HRESULT DDERR_NOTLOCKED = HRESULT(0x887601E6);
inline constexpr HRESULT DDERR_SURFACELOST = HRESULT(0x887601C2);
inline constexpr HRESULT DDERR_WASSTILLDRAWING = HRESULT(0x8876021C);

// Message boxes.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Keys.
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_APPS = 0x5D;
inline constexpr UINT VK_F2 = 0x71;
inline constexpr UINT VK_F10 = 0x79;
inline constexpr UINT VK_F12 = 0x7B;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;

// Window styles and system metrics.
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr UINT SPI_GETWORKAREA = 48;
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;

// Menus.
inline constexpr UINT MF_BYCOMMAND = 0x0;
inline constexpr UINT MF_ENABLED = 0x0;
inline constexpr UINT MF_GRAYED = 0x1;
inline constexpr UINT MF_UNCHECKED = 0x0;
inline constexpr UINT MF_CHECKED = 0x8;
inline constexpr UINT TPM_RIGHTBUTTON = 0x2;
