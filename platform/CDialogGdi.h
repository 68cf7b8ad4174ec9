#pragma once
// The drawing objects a dialog paints with: solid brushes for its colour
// swatches, bitmaps from the program's resources, and device contexts on the
// dialog or on a bitmap.

#include "platform/Types.h"

class QPainter;
class CWnd;
class CBrush;

using HBRUSH = const CBrush*;
using HDC = struct DeviceContext*;
using HBITMAP = struct GdiObject*;

class CBrush {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color);
    HBRUSH GetSafeHandle() const { return m_bCreated ? this : nullptr; }
    COLORREF GetColor() const { return m_color; }

private:
    COLORREF m_color = 0;
    bool m_bCreated = false;
};

class CBitmap {
public:
    CBitmap() = default;
    ~CBitmap() { DeleteObject(); }
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // Bitmap resource `id` from the Qt resources; FALSE when it is missing.
    BOOL LoadBitmap(UINT id);
    // FALSE while the bitmap is selected into a device context.
    BOOL DeleteObject();
    HBITMAP GetSafeHandle() const { return m_hObject; }

private:
    HBITMAP m_hObject = nullptr;
};

// A device context over the same DeviceContext the surfaces draw with.
class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // A memory DC: draws into the bitmap selected into it.
    BOOL CreateCompatibleDC(CDC* pDC);
    BOOL DeleteDC();
    CBitmap* SelectObject(CBitmap* pBitmap);
    BOOL BitBlt(int x, int y, int width, int height, CDC* pSrcDC, int xSrc, int ySrc, DWORD rop);

    int SetBkMode(int mode);
    COLORREF SetBkColor(COLORREF color);

protected:
    HDC m_hDC = nullptr;

private:
    CBitmap* m_pBitmap = nullptr;
};

// Painting a dialog from its paint handler. What is drawn goes to a canvas of the dialog's size, laid over the dialog
// when painting ends.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

private:
    QPainter* m_pPainter = nullptr;
    HBITMAP m_hCanvas = nullptr;
};
