// The context menu shown as a real Qt popup, worked with the keyboard.

#include "res/resource.h"
#include "tests/window/InteractionTestApp.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

#include <vector>

using namespace interaction_test;

namespace {

// Types keys into the next popup that opens while it lives; a popup still
// open after two seconds is closed, so a failure cannot hang the run.
class PopupKeys {
public:
    explicit PopupKeys(std::vector<int> keys)
        : m_keys(std::move(keys))
    {
        m_type.setSingleShot(true);
        QObject::connect(&m_type, &QTimer::timeout, [this] { Type(); });
        m_type.start(0);
        m_guard.setSingleShot(true);
        QObject::connect(&m_guard, &QTimer::timeout, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        m_guard.start(2000);
    }

    bool opened = false;

private:
    void Type()
    {
        QWidget* popup = QApplication::activePopupWidget();
        opened = popup != nullptr;
        for (int key : m_keys) {
            if (!popup)
                return;
            const QString text = key < 0x100 ? QString(QChar(key)).toLower() : QString();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
            QApplication::sendEvent(popup, &press);
            popup = QApplication::activePopupWidget();
        }
    }

    std::vector<int> m_keys;
    QTimer m_type;
    QTimer m_guard;
};

TEST(CommandsMenuTest, PopupOpensInitialisedAndDeliversChosenCommand)
{
    ASSERT_EQ(CurrentUiScript(), nullptr);
    RecordingApp app;
    CMainFrame frame;
    app.AddObject("A", { 10, 10, 30, 30 });

    {
        // The mnemonic of "&Locked".
        PopupKeys keys({ Qt::Key_L });
        frame.OnRButtonDown(0, { 20, 20 });
        EXPECT_TRUE(keys.opened);
    }
    EXPECT_FALSE(app.m_bLocked);
    EXPECT_EQ(app.m_nCurObject, 1);
    // The menu is gone once the handler returns.
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    {
        // "&Copy" is grayed on empty desktop: its mnemonic does nothing.
        PopupKeys keys({ Qt::Key_C, Qt::Key_Escape });
        frame.OnRButtonDown(0, { 200, 200 });
        EXPECT_TRUE(keys.opened);
    }
    EXPECT_FALSE(app.m_bClipboardFull);

    {
        // Copy is available on an object.
        PopupKeys keys({ Qt::Key_C });
        frame.OnRButtonDown(0, { 20, 20 });
    }
    EXPECT_TRUE(app.m_bClipboardFull);
    EXPECT_EQ(app.m_aObjects[51].strName.str(), "A");
    EXPECT_FALSE(app.m_bLocked);
}

}
