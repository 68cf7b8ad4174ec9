#pragma once
// The Qt window behind a CFrameWnd: a raster window whose backing store
// receives the presented frames, and whose events become the frame's handlers.

#include "platform/Types.h"

#include <QBackingStore>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

#include <span>
#include <vector>

class CFrameWnd;

class FrameWindow : public QWindow {
public:
    explicit FrameWindow(CFrameWnd& owner);

    // Draws `image` with its top-left corner at `offset` and shows it at
    // once: all of it, or only the `changed` rectangles of the image.
    void present(const QImage& image, const QPoint& offset, std::span<const RECT> changed);

    // The desktop's accessible tree (platform/Accessibility).
    QAccessibleInterface* accessibleRoot() const override;

    // On X, marks the window as the desktop for the window manager; before
    // it is first shown.
    void makeDesktopWindow();

    // Pointer moves within `area` (the window's device pixels) with no
    // button held stay with the window system; an empty area ends it. On X
    // an input-only child window that lets no motion through to its parent
    // covers the area; elsewhere every move is reported.
    void ignoreMovesWithin(const QRect& area);

    // The primary screen changed: the frame hears of it once the changes
    // have settled for kDisplaySettle ms, and at least every
    // kDisplayLongest ms while they go on.
    void displayChanged();
    static constexpr int kDisplaySettle = 250;
    static constexpr int kDisplayLongest = 1000;

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void paint();
    void clearStore();
    void watchScreen(QScreen* screen);
    void watchPrimaryScreen(QScreen* screen);
    void reportDisplayChange();
    // The desktop point under the pointer.
    POINT desktopPoint(const QMouseEvent* event) const;

    CFrameWnd& m_owner;
    QBackingStore m_backingStore;
    QMetaObject::Connection m_screenGeometry;
    std::vector<QMetaObject::Connection> m_primaryScreen;
    QTimer m_displayTimer;
    QElapsedTimer m_displayPending; // since the first change not yet reported
    // The input-only child over the area whose moves are ignored, and the
    // native window it was made in (a new native window needs a new child).
    quint32 m_quietWindow = 0;
    WId m_quietParent = 0;
    QRect m_quietArea; // empty: the child is unmapped
    int m_presentCount = 0; // so a paint can tell whether it showed a frame
    bool m_storeCleared = false; // the backing store holds black or a frame
    bool m_storeShowsFrame = false; // it holds the last frame whole
    // Flushes of the whole held frame to the window, and how many there had
    // been when the X server's last expose of it was read (-1: none since
    // the window was last hidden).
    int m_frameShown = 0;
    int m_frameShownAtExpose = -1;
};
