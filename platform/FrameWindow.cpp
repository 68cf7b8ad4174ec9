#include "platform/FrameWindow.h"

#include "platform/CFrameWnd.h"
#include "platform/DropFiles.h"
#include "platform/QtConversions.h"
#include "platform/Screen.h"

#include <QAccessible>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QtMath>
#include <qpa/qplatformwindow_p.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <vector>

namespace {

UINT MouseFlags(const QMouseEvent* event)
{
    UINT flags = 0;
    if (event->buttons() & Qt::LeftButton)
        flags |= MK_LBUTTON;
    if (event->buttons() & Qt::RightButton)
        flags |= MK_RBUTTON;
    if (event->modifiers() & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    if (event->modifiers() & Qt::ControlModifier)
        flags |= MK_CONTROL;
    return flags;
}

// The virtual-key code of a Qt key, or 0 for keys the program has no use for.
unsigned VirtualKeyFromQt(int key)
{
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + unsigned(key - Qt::Key_F1);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return unsigned(key); // same codes as the virtual keys
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Shift+Tab; Shift shows in GetKeyState
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Menu:
        return VK_APPS;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    default:
        return 0;
    }
}

} // namespace

FrameWindow::FrameWindow(CFrameWnd& owner)
    : m_owner(owner)
    , m_backingStore(this)
{
    setSurfaceType(QSurface::RasterSurface);
    connect(this, &QWindow::screenChanged, this, [this](QScreen* screen) {
        watchScreen(screen);
        m_owner.OnScreenChanged();
    });
    watchScreen(screen());
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
        [this](Qt::ApplicationState state) { m_owner.OnActivateApp(state == Qt::ApplicationActive, 0); });

    m_displayTimer.setSingleShot(true);
    connect(&m_displayTimer, &QTimer::timeout, this, [this] { reportDisplayChange(); });
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this](QScreen* primary) {
        watchPrimaryScreen(primary);
        displayChanged();
    });
    watchPrimaryScreen(QGuiApplication::primaryScreen());
}

void FrameWindow::makeDesktopWindow()
{
    using QNativeInterface::Private::QXcbWindow;
    if (auto* xcb = nativeInterface<QXcbWindow>())
        xcb->setWindowType(QXcbWindow::Desktop);
}

void FrameWindow::ignoreMovesWithin(const QRect& wanted)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || !handle())
        return;
    // The child went with the native window it was made in.
    if (m_quietParent != winId()) {
        m_quietParent = winId();
        m_quietWindow = 0;
        m_quietArea = QRect();
    }
    const QRect area = wanted & QRect(QPoint(0, 0), size() * devicePixelRatio());
    if (area == m_quietArea)
        return;
    if (area.isEmpty()) {
        xcb_unmap_window(connection, m_quietWindow);
    } else {
        if (!m_quietWindow) {
            // Motion does not pass through it to the window; presses, releases and keys do.
            const uint32_t stopped = XCB_EVENT_MASK_POINTER_MOTION;
            m_quietWindow = xcb_generate_id(connection);
            xcb_create_window(connection, 0, m_quietWindow, xcb_window_t(m_quietParent), 0, 0, 1, 1, 0,
                XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_DONT_PROPAGATE, &stopped);
        }
        const uint32_t geometry[]
            = { uint32_t(area.x()), uint32_t(area.y()), uint32_t(area.width()), uint32_t(area.height()) };
        xcb_configure_window(connection, m_quietWindow,
            XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, geometry);
        if (m_quietArea.isEmpty())
            xcb_map_window(connection, m_quietWindow);
    }
    m_quietArea = area;
    xcb_flush(connection);
}

void FrameWindow::watchPrimaryScreen(QScreen* screen)
{
    for (const QMetaObject::Connection& connection : m_primaryScreen)
        disconnect(connection);
    m_primaryScreen.clear();
    if (!screen)
        return;
    const auto changed = [this] { displayChanged(); };
    m_primaryScreen = { connect(screen, &QScreen::geometryChanged, this, changed),
        connect(screen, &QScreen::availableGeometryChanged, this, changed),
        connect(screen, &QScreen::logicalDotsPerInchChanged, this, changed),
        connect(screen, &QScreen::physicalDotsPerInchChanged, this, changed) };
}

// A screen being resized reports several changes at once, and a flickering
// output many in a row: rebuilding the desktop for each would be wasted.
void FrameWindow::displayChanged()
{
    if (!m_displayPending.isValid())
        m_displayPending.start();
    const qint64 left = kDisplayLongest - m_displayPending.elapsed();
    m_displayTimer.start(int(std::clamp<qint64>(left, 0, kDisplaySettle)));
}

void FrameWindow::reportDisplayChange()
{
    m_displayPending.invalidate();
    const QScreen* primary = QGuiApplication::primaryScreen();
    m_owner.OnDisplayChange(
        primary ? UINT(primary->depth()) : 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

void FrameWindow::watchScreen(QScreen* screen)
{
    disconnect(m_screenGeometry);
    if (screen)
        m_screenGeometry = connect(screen, &QScreen::geometryChanged, this, [this] { m_owner.OnScreenChanged(); });
}

void FrameWindow::present(const QImage& image, const QPoint& offset, std::span<const RECT> changed)
{
    const QRect area(QPoint(0, 0), size());
    // A frame may come before the window system has reported the size.
    if (m_backingStore.size() != area.size()) {
        m_backingStore.resize(area.size());
        m_storeCleared = false;
        m_storeShowsFrame = false;
    }
    // The parts of the image to draw, and the window's logical pixels they
    // fall on (rounded outwards, so that flushing covers them).
    std::vector<QRect> parts;
    QRegion region;
    if (changed.empty()) {
        parts.push_back(image.rect());
        region = area;
    } else {
        const qreal scale = devicePixelRatio();
        for (const RECT& r : changed) {
            const QRect part = QRect(r.left, r.top, r.right - r.left, r.bottom - r.top) & image.rect();
            if (part.isEmpty())
                continue;
            parts.push_back(part);
            const QRect device = part.translated(offset);
            region += QRect(QPoint(qFloor(device.left() / scale), qFloor(device.top() / scale)),
                QPoint(qCeil((device.right() + 1) / scale) - 1, qCeil((device.bottom() + 1) / scale) - 1));
        }
    }
    m_backingStore.beginPaint(region);
    if (auto* store = dynamic_cast<QImage*>(m_backingStore.paintDevice())) {
        // The frame is in device pixels: drawn through a view of the store's
        // memory without its scale, it lands one pixel to one pixel.
        QImage device(store->bits(), store->width(), store->height(), store->bytesPerLine(), store->format());
        QPainter painter(&device);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        // A new store shows black where the first frame does not cover it.
        const bool covered = changed.empty() && QRect(offset, image.size()).contains(device.rect());
        if (!m_storeCleared && !covered)
            painter.fillRect(device.rect(), Qt::black);
        m_storeCleared = true;
        m_storeShowsFrame = m_storeShowsFrame || covered;
        for (const QRect& part : parts)
            painter.drawImage(part.topLeft() + offset, image, part);
    }
    m_backingStore.endPaint();
    if (isExposed()) {
        m_backingStore.flush(region);
        if (changed.empty() && m_storeShowsFrame)
            ++m_frameShown;
    }
    ++m_presentCount;
}

QAccessibleInterface* FrameWindow::accessibleRoot() const
{
    return QAccessible::queryAccessibleInterface(const_cast<FrameWindow*>(this));
}

bool FrameWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::UpdateRequest:
        paint();
        return true;
    case QEvent::WindowActivate:
        m_owner.OnActivated();
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (m_owner.m_bAcceptFiles && drag->mimeData()->hasUrls())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!m_owner.m_bAcceptFiles || !drop->mimeData()->hasUrls())
            break;
        DROPFILES files;
        const QPointF p = drop->position();
        files.pt = { DevicePixels(p.x()) + m_owner.m_ptOrigin.x, DevicePixels(p.y()) + m_owner.m_ptOrigin.y };
        for (const QUrl& url : drop->mimeData()->urls())
            files.items.push_back(
                url.isLocalFile() ? PathFromQString(url.toLocalFile()) : FromQString(url.toString(QUrl::FullyEncoded)));
        drop->acceptProposedAction();
        // As a posted message: the source hears the drop is done before
        // anything the handler asks.
        QMetaObject::invokeMethod(
            this, [this, files]() mutable { m_owner.OnDropFiles(&files); }, Qt::QueuedConnection);
        return true;
    }
    default:
        break;
    }
    return QWindow::event(event);
}

// X reports a newly mapped window exposed twice: Qt at the map, then the
// server's own expose, which it generated at the map too. When the backing
// store already holds the whole frame, the window is shown again from there,
// as Qt's widgets are, instead of composing the same frame anew; and not at
// all when the frame has reached the window whole since the server's last
// expose was read, since that expose reports a loss from before it.
void FrameWindow::exposeEvent(QExposeEvent*)
{
    if (!isExposed()) {
        m_storeShowsFrame = false;
        m_frameShownAtExpose = -1;
        return;
    }
    if (m_storeShowsFrame) {
        if (m_frameShownAtExpose >= 0 && m_frameShownAtExpose < m_frameShown)
            return;
        m_backingStore.flush(QRect(QPoint(0, 0), size()));
        ++m_frameShown;
        return;
    }
    paint();
}

// The server's exposes of this window, as they are read: Qt merges into one
// expose event only those read with the first, before anything is flushed.
bool FrameWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    if (eventType == "xcb_generic_event_t") {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) == XCB_EXPOSE
            && reinterpret_cast<const xcb_expose_event_t*>(event)->window == xcb_window_t(winId()))
            m_frameShownAtExpose = m_frameShown;
    }
    return QWindow::nativeEvent(eventType, message, result);
}

// A paint erases, then lets the frame draw. The frame normally presents a
// whole new frame; when it does not (no display yet), the window shows what
// its backing store already holds.
void FrameWindow::paint()
{
    int presented = m_presentCount;
    m_owner.OnEraseBkgnd();
    m_owner.OnPaint();
    if (m_presentCount == presented && isExposed()) {
        clearStore();
        m_backingStore.flush(QRect(QPoint(0, 0), size()));
    }
}

void FrameWindow::resizeEvent(QResizeEvent*)
{
    m_owner.IgnoreMovesWithin({});
    m_backingStore.resize(size());
    m_storeCleared = false;
    m_storeShowsFrame = false;
}

// A new backing store shows black rather than whatever memory held: cleared
// when it is shown before any frame, not on every resize, since the first
// frame covers it anyway.
void FrameWindow::clearStore()
{
    if (m_storeCleared)
        return;
    m_storeCleared = true;
    const QRect area(QPoint(0, 0), m_backingStore.size());
    m_backingStore.beginPaint(area);
    QPainter painter(m_backingStore.paintDevice());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(area, Qt::black);
    painter.end();
    m_backingStore.endPaint();
}

POINT FrameWindow::desktopPoint(const QMouseEvent* event) const
{
    const QPointF p = event->position();
    return POINT { DevicePixels(p.x()) + m_owner.m_ptOrigin.x, DevicePixels(p.y()) + m_owner.m_ptOrigin.y };
}

void FrameWindow::mousePressEvent(QMouseEvent* event)
{
    // The window manager gives a desktop window no focus of its own accord:
    // a click takes it, so that the keys reach the desktop.
    if (!isActive())
        requestActivate();
    m_owner.IgnoreMovesWithin({});
    POINT point = desktopPoint(event);
    if (event->button() == Qt::LeftButton)
        m_owner.OnLButtonDown(MouseFlags(event), point);
    else if (event->button() == Qt::RightButton)
        m_owner.OnRButtonDown(MouseFlags(event), point);
}

void FrameWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_owner.IgnoreMovesWithin({});
    POINT point = desktopPoint(event);
    if (event->button() == Qt::LeftButton)
        m_owner.OnLButtonUp(MouseFlags(event), point);
}

void FrameWindow::mouseMoveEvent(QMouseEvent* event)
{
    POINT point = desktopPoint(event);
    m_owner.OnMouseMove(MouseFlags(event), point);
}

void FrameWindow::keyPressEvent(QKeyEvent* event)
{
    m_owner.IgnoreMovesWithin({});
    if (UINT nChar = VirtualKeyFromQt(event->key())) {
        // The flags carry "the key was already down" for auto-repeats.
        m_owner.OnKeyDown(nChar, 1, event->isAutoRepeat() ? 0x4000 : 0);
        return;
    }
    QWindow::keyPressEvent(event);
}

void FrameWindow::keyReleaseEvent(QKeyEvent* event)
{
    m_owner.IgnoreMovesWithin({});
    // A held key repeats as press and release pairs: only the last release counts.
    if (UINT nChar = VirtualKeyFromQt(event->key()); nChar && !event->isAutoRepeat()) {
        m_owner.OnKeyUp(nChar, 1, 0);
        return;
    }
    QWindow::keyReleaseEvent(event);
}

void FrameWindow::closeEvent(QCloseEvent* event)
{
    m_owner.OnClose();
    // Declined: the window stays.
    if (m_owner.windowHandle())
        event->ignore();
}
