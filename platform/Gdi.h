#pragma once
// GDI on surfaces and bitmaps, plus the kernel calls the bitmap loaders use.

#include "platform/DirectDraw.h"
#include "platform/Types.h"

using HGDIOBJ = struct GdiObject*;
using HFONT = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HINSTANCE = struct ModuleInstance*;
using HMODULE = HINSTANCE;
using HRSRC = struct ResourceInfo*;
using HGLOBAL = struct ResourceData*;
using HANDLE = HGDIOBJ;
using HFILE = int;
inline constexpr HFILE HFILE_ERROR = -1;

inline constexpr int OPAQUE = 2;
inline constexpr int TRANSPARENT = 1;
inline constexpr UINT ETO_OPAQUE = 0x2;
inline constexpr DWORD SRCCOPY = 0xCC0020;
inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT LR_LOADFROMFILE = 0x10;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;
inline constexpr int OF_READ = 0;
inline const LPCSTR RT_BITMAP = reinterpret_cast<LPCSTR>(2);

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 0;
    WORD bmBitsPixel = 0;
    LPVOID bmBits = nullptr;
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// Device contexts.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);

// Text.
HFONT CreateFontIndirectA(const LOGFONT* font);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const int* dx);
BOOL GetTextExtentPointA(HDC dc, LPCSTR text, int count, SIZE* size);

// Pixels and blits.
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh, DWORD rop);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);

// Images and resources.
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
HMODULE GetModuleHandleA(LPCSTR name);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);

// Files read the old way.
HFILE _lopen(LPCSTR path, int mode);
UINT _lread(HFILE file, LPVOID buffer, UINT bytes);
HFILE _lclose(HFILE file);
