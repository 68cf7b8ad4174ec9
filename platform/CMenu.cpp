#include "platform/CMenu.h"
#include "platform/QtConversions.h"
#include "platform/Screen.h"

#include "platform/CFrameWnd.h"
#include "platform/ResourceTables.h"

#include <QAction>
#include <QMenu>

namespace {

QAction* FindAction(const QMenu* menu, UINT nID)
{
    for (QAction* action : menu->actions()) {
        if (const QMenu* popup = action->menu()) {
            if (QAction* found = FindAction(popup, nID))
                return found;
        } else if (!action->isSeparator() && action->data().toUInt() == nID) {
            return action;
        }
    }
    return nullptr;
}

}

CMenu::CMenu() = default;

CMenu::CMenu(QMenu* popup)
    : m_menu(popup)
{
}

CMenu::~CMenu()
{
    DestroyMenu();
}

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    const auto items = FindMenuTemplate(nIDResource);
    if (items.empty())
        return FALSE;
    DestroyMenu();
    m_owned = std::make_unique<QMenu>();
    m_menu = m_owned.get();
    Build(items);
    return TRUE;
}

void CMenu::Build(std::span<const MenuItemTemplate> items)
{
    for (const MenuItemTemplate& item : items) {
        if (!item.text) {
            m_menu->addSeparator();
            m_popups.push_back(nullptr);
        } else if (!item.popup.empty()) {
            auto popup = std::unique_ptr<CMenu>(new CMenu(m_menu->addMenu(ToQString(item.text))));
            popup->Build(item.popup);
            m_popups.push_back(std::move(popup));
        } else {
            QAction* action = m_menu->addAction(ToQString(item.text));
            action->setData(item.id);
            // Only a checked item shows a check mark, as on the original platform.
            action->setCheckable(item.checked);
            action->setChecked(item.checked);
            m_popups.push_back(nullptr);
        }
    }
}

BOOL CMenu::DestroyMenu()
{
    // The popups' QMenus are children of the loaded one.
    m_popups.clear();
    m_owned.reset();
    m_menu = nullptr;
    return TRUE;
}

CMenu* CMenu::GetSubMenu(int nPos) const
{
    if (nPos < 0 || size_t(nPos) >= m_popups.size())
        return nullptr;
    return m_popups[size_t(nPos)].get();
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable)
{
    QAction* action = m_menu ? FindAction(m_menu, nIDEnableItem) : nullptr;
    if (!action)
        return kMenuItemNotFound;
    const UINT previous = action->isEnabled() ? MF_ENABLED : MF_GRAYED;
    action->setEnabled((nEnable & MF_GRAYED) == 0);
    return previous;
}

UINT CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck)
{
    QAction* action = m_menu ? FindAction(m_menu, nIDCheckItem) : nullptr;
    if (!action)
        return kMenuItemNotFound;
    const UINT previous = action->isChecked() ? MF_CHECKED : MF_UNCHECKED;
    const bool checked = (nCheck & MF_CHECKED) != 0;
    action->setCheckable(checked);
    action->setChecked(checked);
    return previous;
}

void CMenu::InitPopups(CFrameWnd* pWnd, UINT nIndex)
{
    pWnd->OnInitMenuPopup(this, nIndex, FALSE);
    for (size_t pos = 0; pos < m_popups.size(); ++pos) {
        if (m_popups[pos])
            m_popups[pos]->InitPopups(pWnd, UINT(pos));
    }
}

std::vector<MenuItemState> CMenu::ItemStates() const
{
    std::vector<MenuItemState> states;
    const auto actions = m_menu->actions();
    for (qsizetype pos = 0; pos < actions.size(); ++pos) {
        const QAction* action = actions[pos];
        MenuItemState state;
        if (!action->isSeparator()) {
            state.text = FromQString(action->text());
            state.enabled = action->isEnabled();
            state.checked = action->isChecked();
            if (const CMenu* popup = GetSubMenu(int(pos)))
                state.submenu = popup->ItemStates();
            else
                state.id = action->data().toUInt();
        }
        states.push_back(std::move(state));
    }
    return states;
}

bool CMenu::IsCommandEnabled(UINT nID) const
{
    const QAction* action = FindAction(m_menu, nID);
    return action && action->isEnabled();
}

BOOL CMenu::TrackPopupMenu(UINT, int x, int y, CFrameWnd* pWnd)
{
    if (!m_menu || !pWnd)
        return FALSE;

    UINT nID = 0;
    if (UiScript* script = CurrentUiScript()) {
        // The script sees the menu as the user would, submenu included.
        InitPopups(pWnd, 0);
        nID = script->chooseMenuCommand(ItemStates());
        // A grayed or unknown item cannot be chosen.
        if (nID != 0 && !IsCommandEnabled(nID))
            nID = 0;
    } else {
        std::vector<QMetaObject::Connection> connections;
        connections.push_back(
            QObject::connect(m_menu, &QMenu::aboutToShow, [this, pWnd] { pWnd->OnInitMenuPopup(this, 0, FALSE); }));
        for (size_t pos = 0; pos < m_popups.size(); ++pos) {
            CMenu* popup = m_popups[pos].get();
            if (popup) {
                connections.push_back(QObject::connect(popup->m_menu, &QMenu::aboutToShow,
                    [popup, pWnd, pos] { pWnd->OnInitMenuPopup(popup, UINT(pos), FALSE); }));
            }
        }
        const QAction* chosen = m_menu->exec(LogicalPoint(POINT { x, y }));
        for (const auto& connection : connections)
            QObject::disconnect(connection);
        if (chosen)
            nID = chosen->data().toUInt();
    }

    // The command is handled after the popup has closed.
    if (nID != 0)
        pWnd->OnCommand(nID);
    return TRUE;
}
