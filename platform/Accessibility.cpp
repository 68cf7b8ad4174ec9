#include "platform/Accessibility.h"

#include "app/DesktopApp.h"
#include "platform/CFrameWnd.h"
#include "platform/Screen.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QPointer>
#include <QWindow>

#include <array>

namespace {

// The frame whose Qt window is `window`, when that frame is the main window.
CFrameWnd* FrameOf(const QWindow* window)
{
    CWinApp* app = AfxGetApp();
    auto* frame = app ? dynamic_cast<CFrameWnd*>(app->m_pMainWnd) : nullptr;
    return frame && window && frame->windowHandle() == window ? frame : nullptr;
}

CDesktopApp* App()
{
    return dynamic_cast<CDesktopApp*>(AfxGetApp());
}

bool IsEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

class DesktopAccessible;

// One object of the table, by its place in it.
class ObjectAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ObjectAccessible(DesktopAccessible& desktop, int nObject)
        : m_desktop(desktop)
        , m_nObject(nObject)
    {
    }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        const DesktopObject* r = Record();
        if (!r)
            return {};
        if (t == QAccessible::Name)
            return QString::fromLocal8Bit(r->strName.str());
        if (t == QAccessible::Description)
            return QString::fromLocal8Bit(r->strText.str());
        return {};
    }
    void setText(QAccessible::Text, const QString&) override { }

    // The picture on the screen, or the caption when there is no picture.
    QRect rect() const override
    {
        const DesktopObject* r = Record();
        if (!r)
            return {};
        return LogicalRect(IsEmpty(r->rcObject) ? r->rcText : r->rcObject);
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        const CDesktopApp* app = App();
        if (!isValid() || !app) {
            s.invalid = true;
            return s;
        }
        const ObjectRuntime& rt = app->m_aRuntime[m_nObject];
        s.focusable = true;
        s.focused = app->m_nFocusObject == m_nObject;
        s.pressed = rt.nState == 3;
        s.hotTracked = rt.nState == 2;
        s.selectable = !app->m_bLocked;
        s.selected = rt.bSelected != 0;
        s.invisible = !rt.bVisible;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    // The one action presses the object; it is described by what the object
    // runs.
    QStringList actionNames() const override { return { pressAction() }; }
    QString localizedActionDescription(const QString& actionName) const override
    {
        const DesktopObject* r = Record();
        if (actionName == pressAction() && r && !r->strAction.IsEmpty())
            return QString::fromLocal8Bit(r->strAction.str());
        return QAccessibleActionInterface::localizedActionDescription(actionName);
    }
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    const DesktopObject* Record() const
    {
        const CDesktopApp* app = App();
        return isValid() && app ? &app->m_aObjects[m_nObject] : nullptr;
    }

    DesktopAccessible& m_desktop;
    const int m_nObject;
};

// The desktop window. It owns its children, made as they are first asked for,
// and remembers what it last announced.
class DesktopAccessible : public QAccessibleObject {
public:
    explicit DesktopAccessible(QWindow* window)
        : QAccessibleObject(window)
        , m_window(window)
    {
        Remember();
    }
    ~DesktopAccessible() override
    {
        for (QAccessible::Id id : m_aChildIds)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }

    QWindow* window() const override { return m_window; }
    CFrameWnd* Frame() const { return FrameOf(m_window); }
    // The table's objects, with the background left out.
    int Count() const
    {
        const CDesktopApp* app = App();
        return app && Frame() ? std::max(app->m_nObjects - 1, 0) : 0;
    }

    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(qApp); }
    int childCount() const override { return Count(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= Count())
            return nullptr;
        const int i = index + 1;
        if (!m_aChildIds[i]) {
            auto* self = const_cast<DesktopAccessible*>(this);
            self->m_aChildIds[i] = QAccessible::registerAccessibleInterface(new ObjectAccessible(*self, i));
        }
        return QAccessible::accessibleInterface(m_aChildIds[i]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 1; i <= Count(); ++i)
            if (m_aChildIds[i] && QAccessible::accessibleInterface(m_aChildIds[i]) == child)
                return i - 1;
        return -1;
    }
    QAccessibleInterface* focusChild() const override
    {
        const CDesktopApp* app = App();
        return app ? child(app->m_nFocusObject - 1) : nullptr;
    }
    // The shown object on top at a global point.
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const CDesktopApp* app = App();
        for (int index = Count() - 1; index >= 0; --index) {
            QAccessibleInterface* c = child(index);
            if (app->m_aRuntime[index + 1].bVisible && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && m_window ? m_window->title() : QString();
    }
    QRect rect() const override
    {
        return m_window ? QRect(m_window->mapToGlobal(QPoint(0, 0)), m_window->size()) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Window; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_window) {
            s.invalid = true;
            return s;
        }
        s.active = m_window->isActive();
        s.focusable = true;
        s.focused = m_window->isActive() && !focusChild();
        s.invisible = !m_window->isVisible();
        return s;
    }

    void Announce()
    {
        const CDesktopApp* app = App();
        if (!app)
            return;
        const int n = Count();
        for (int i = 1; i <= n; ++i) {
            const bool bShown = app->m_aRuntime[i].bVisible != 0;
            const QString name = QString::fromLocal8Bit(app->m_aObjects[i].strName.str());
            const QString caption = QString::fromLocal8Bit(app->m_aObjects[i].strText.str());
            // A place the table has grown into is new to the listener, as it is.
            if (i > m_nAnnouncedCount) {
                Send(i, QAccessible::ObjectCreated);
                continue;
            }
            if (name != m_astrNames[i])
                Send(i, QAccessible::NameChanged);
            if (caption != m_astrCaptions[i])
                Send(i, QAccessible::DescriptionChanged);
            if (bShown != m_abShown[i])
                Send(i, bShown ? QAccessible::ObjectShow : QAccessible::ObjectHide);
        }
        if (app->m_nFocusObject != m_nAnnouncedFocus && app->m_nFocusObject >= 1 && app->m_nFocusObject <= n)
            Send(app->m_nFocusObject, QAccessible::Focus);
        Remember();
    }

private:
    void Send(int i, QAccessible::Event type)
    {
        if (QAccessibleInterface* c = child(i - 1)) {
            QAccessibleEvent event(c, type);
            QAccessible::updateAccessibility(&event);
        }
    }
    void Remember()
    {
        const CDesktopApp* app = App();
        m_nAnnouncedCount = Count();
        m_nAnnouncedFocus = app ? app->m_nFocusObject : 0;
        for (int i = 1; i <= m_nAnnouncedCount; ++i) {
            m_abShown[i] = app->m_aRuntime[i].bVisible != 0;
            m_astrNames[i] = QString::fromLocal8Bit(app->m_aObjects[i].strName.str());
            m_astrCaptions[i] = QString::fromLocal8Bit(app->m_aObjects[i].strText.str());
        }
    }

    QPointer<QWindow> m_window;
    std::array<QAccessible::Id, kTableSize> m_aChildIds {};
    int m_nAnnouncedCount = 0;
    int m_nAnnouncedFocus = 0;
    std::array<bool, kTableSize> m_abShown {};
    std::array<QString, kTableSize> m_astrNames;
    std::array<QString, kTableSize> m_astrCaptions;
};

bool ObjectAccessible::isValid() const
{
    return m_nObject <= m_desktop.Count();
}

QWindow* ObjectAccessible::window() const
{
    return m_desktop.window();
}

QAccessibleInterface* ObjectAccessible::parent() const
{
    return &m_desktop;
}

// A click in the middle of the picture (or of the caption without one): the
// pointer comes over the object, goes down and up, and the look then follows
// the real pointer again. A hidden object cannot be pressed.
void ObjectAccessible::doAction(const QString& actionName)
{
    CFrameWnd* frame = m_desktop.Frame();
    const CDesktopApp* app = App();
    if (actionName != pressAction() || !frame || !app || !isValid() || !app->m_aRuntime[m_nObject].bVisible)
        return;
    const DesktopObject& r = app->m_aObjects[m_nObject];
    const RECT& rc = IsEmpty(r.rcObject) ? r.rcText : r.rcObject;
    const POINT point { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
    frame->OnMouseMove(0, point);
    frame->OnLButtonDown(MK_LBUTTON, point);
    frame->OnLButtonUp(0, point);
    // The button-up may have ended the program.
    if (!frame->windowHandle())
        return;
    POINT pointer;
    if (GetCursorPos(&pointer)) {
        frame->ScreenToClient(&pointer);
        frame->OnMouseMove(0, pointer);
    }
}

QAccessibleInterface* DesktopAccessibleFactory(const QString&, QObject* object)
{
    auto* window = qobject_cast<QWindow*>(object);
    return FrameOf(window) ? new DesktopAccessible(window) : nullptr;
}

void InstallDesktopAccessibility()
{
    QAccessible::installFactory(DesktopAccessibleFactory);
}
Q_CONSTRUCTOR_FUNCTION(InstallDesktopAccessibility)

} // namespace

void AnnounceAccessibleChanges()
{
    CWinApp* app = AfxGetApp();
    auto* frame = app ? dynamic_cast<CFrameWnd*>(app->m_pMainWnd) : nullptr;
    if (!QAccessible::isActive() || !frame || !frame->windowHandle())
        return;
    if (auto* desktop = dynamic_cast<DesktopAccessible*>(QAccessible::queryAccessibleInterface(frame->windowHandle())))
        desktop->Announce();
}
