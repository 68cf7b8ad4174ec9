#pragma once
// The drawing objects a dialog paints with: solid brushes for its colour
// swatches, bitmaps from the program's resources, and device contexts on the
// dialog or on a bitmap.

#include "platform/Types.h"

#include <QColor>
#include <QImage>

class QPainter;
class CWnd;
class CBrush;

using HBRUSH = const CBrush*;

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
    // Bitmap resource `id` from the Qt resources; FALSE when it is missing.
    BOOL LoadBitmap(UINT id);
    BOOL DeleteObject();
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
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
    QPainter* m_pPainter = nullptr;
    CBitmap* m_pBitmap = nullptr;
    int m_nBkMode = 2;
    COLORREF m_crBk = 0xFFFFFF;
};

// Painting a dialog from its paint handler.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
};
