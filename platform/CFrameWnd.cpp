#include "platform/CFrameWnd.h"
#include "platform/QtConversions.h"

#include "platform/CWinApp.h"
#include "platform/DirectDraw.h"
#include "platform/FrameWindow.h"
#include "platform/Screen.h"
#include "platform/StringResource.h"
#include "platform/WindowClass.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QThread>

const RECT CFrameWnd::rectDefault { CW_USEDEFAULT, CW_USEDEFAULT, 0, 0 };

CFrameWnd::CFrameWnd() = default;
CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    m_nIDHelp = nIDResource;
    CString strFullString;
    CString strTitle;
    if (LoadStringResource(nIDResource, strFullString))
        AfxExtractSubString(strTitle, strFullString, 0, '\n');
    LPCSTR lpszClass = AfxRegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW), LoadIcon(nIDResource));
    return Create(lpszClass, strTitle, dwDefaultStyle, rectDefault, pParentWnd, nullptr, 0, pContext);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT&)
{
    return TRUE;
}

BOOL CFrameWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd*,
    LPCSTR lpszMenuName, DWORD, CCreateContext*)
{
    if (m_window || lpszMenuName)
        return FALSE;
    const WindowClass* wndClass = FindWindowClass(lpszClassName);
    if (lpszClassName && !wndClass)
        return FALSE;

    CREATESTRUCT cs { rect.left, rect.top, 0, 0, dwStyle };
    if (rect.left == CW_USEDEFAULT)
        cs.x = cs.y = cs.cx = cs.cy = CW_USEDEFAULT;
    else
        cs.cx = rect.right - rect.left, cs.cy = rect.bottom - rect.top;
    if (!PreCreateWindow(cs))
        return FALSE;

    auto window = std::make_unique<FrameWindow>(*this);
    window->setFlags(cs.style & WS_POPUP ? Qt::Window | Qt::FramelessWindowHint : Qt::Window);
    window->setTitle(ToQString(lpszWindowName ? lpszWindowName : ""));
    if (wndClass && wndClass->icon)
        window->setIcon(QIcon(ToQString(wndClass->icon->path)));
    if (wndClass && wndClass->cursor)
        window->setCursor(QCursor(wndClass->cursor->shape));
    if (cs.x != CW_USEDEFAULT) {
        window->setPosition(LogicalRect(RECT { cs.x, cs.y, cs.x, cs.y }).topLeft());
        m_ptOrigin = POINT { cs.x, cs.y };
    }
    if (cs.cx != CW_USEDEFAULT) {
        const QRect logical = LogicalRect(RECT { 0, 0, cs.cx, cs.cy });
        window->resize(logical.size());
        m_szClient = SIZE { cs.cx, cs.cy };
    }
    window->create();
    if (!window->handle())
        return FALSE;
    window->makeDesktopWindow();
    m_window = std::move(window);
    return TRUE;
}

BOOL CFrameWnd::DestroyWindow()
{
    if (!windowHandle())
        return FALSE;
    m_bDestroyed = true;
    OnDestroy();
    // The Qt window itself stays until this object goes: this may run inside
    // one of its own event handlers.
    m_window->destroy();
    // Ending the program means leaving its event loop; with none running
    // there is nothing to leave (and exiting would stop later loops at once).
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this && QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
    return TRUE;
}

BOOL CFrameWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT flags)
{
    QWindow* window = windowHandle();
    if (!window)
        return FALSE;
    window->setGeometry(LogicalRect(RECT { x, y, x + cx, y + cy }));
    IgnoreMovesWithin({});
    m_ptOrigin = POINT { x, y };
    m_szClient = SIZE { cx, cy };
    // A window being shown takes the keyboard; one already shown is raised.
    if (flags & SWP_SHOWWINDOW && !window->isVisible()) {
        window->show();
        window->requestActivate();
    } else if (!(flags & SWP_NOZORDER)) {
        window->raise();
    }
    return TRUE;
}

BOOL CFrameWnd::PostMessage(UINT message)
{
    QWindow* window = windowHandle();
    if (!window || message != WM_CLOSE)
        return FALSE;
    QMetaObject::invokeMethod(
        window, [window] { window->close(); }, Qt::QueuedConnection);
    return TRUE;
}

void CFrameWnd::ClientToScreen(POINT* point) const
{
    const POINT origin = PrimaryScreenOrigin();
    point->x += origin.x;
    point->y += origin.y;
}

void CFrameWnd::ScreenToClient(POINT* point) const
{
    const POINT origin = PrimaryScreenOrigin();
    point->x -= origin.x;
    point->y -= origin.y;
}

BOOL CFrameWnd::IsIconic() const
{
    QWindow* window = windowHandle();
    return window && (window->windowStates() & Qt::WindowMinimized);
}

void CFrameWnd::InvalidateRect(const RECT*, BOOL)
{
    IgnoreMovesWithin({});
    if (QWindow* window = windowHandle())
        window->requestUpdate();
}

// What a move within rc would do was decided for the scene as it is: a new
// frame or a press may change it.
void CFrameWnd::IgnoreMovesWithin(const RECT& rc)
{
    m_rcIgnoredMoves = rc.right > rc.left && rc.bottom > rc.top ? rc : RECT {};
    if (windowHandle())
        m_window->ignoreMovesWithin(QRect(m_rcIgnoredMoves.left - m_ptOrigin.x, m_rcIgnoredMoves.top - m_ptOrigin.y,
            m_rcIgnoredMoves.right - m_rcIgnoredMoves.left, m_rcIgnoredMoves.bottom - m_rcIgnoredMoves.top));
}

QWindow* CFrameWnd::windowHandle() const
{
    return m_bDestroyed ? nullptr : m_window.get();
}

void CFrameWnd::presentFrame(const QImage& frame, std::span<const RECT> changed)
{
    IgnoreMovesWithin({});
    if (!windowHandle())
        return;
    const QPoint offset(-m_ptOrigin.x, -m_ptOrigin.y);
    m_window->present(frame, offset, changed);
    if (!m_bKeepPresented)
        return;
    if (changed.empty() || m_presented.isNull()) {
        m_presented = frame.copy(QRect(m_ptOrigin.x, m_ptOrigin.y, m_szClient.cx, m_szClient.cy))
                          .convertToFormat(QImage::Format_RGB32);
        return;
    }
    QPainter painter(&m_presented);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const RECT& r : changed) {
        const QRect part(r.left, r.top, r.right - r.left, r.bottom - r.top);
        painter.drawImage(part.topLeft() + offset, frame, part);
    }
}

void CFrameWnd::setKeepPresentedFrame(bool keep)
{
    m_bKeepPresented = keep;
    if (!keep)
        m_presented = QImage();
}

// The surfaces were made for the old screen: lose them so that the next
// presentation restores them, and ask for that presentation.
void CFrameWnd::OnScreenChanged()
{
    // A new scale changes the logical size of the same device pixels.
    if (m_szClient.cx > 0 && windowHandle())
        m_window->setGeometry(LogicalRect(
            RECT { m_ptOrigin.x, m_ptOrigin.y, m_ptOrigin.x + m_szClient.cx, m_ptOrigin.y + m_szClient.cy }));
    if (IDirectDraw* display = GetDisplay())
        display->loseAllSurfaces();
    InvalidateRect(nullptr);
}

// A palettized display realises the palette of the window becoming active.
void CFrameWnd::OnActivated()
{
    if (IDirectDraw* display = GetDisplay(); display && display->displayDepth() == 8)
        OnQueryNewPalette();
}

short GetKeyState(int nVirtKey)
{
    const Qt::KeyboardModifiers held = QGuiApplication::keyboardModifiers();
    if ((nVirtKey == VK_SHIFT && (held & Qt::ShiftModifier))
        || (nVirtKey == VK_CONTROL && (held & Qt::ControlModifier)))
        return short(0x8000);
    return 0;
}
