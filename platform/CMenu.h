#pragma once
// Menus loaded from the menu resources in res/ and shown as Qt popup menus.
// Items are addressed by command id (MF_BYCOMMAND), searching the popups too.

#include "platform/Types.h"
#include "platform/UiScript.h"

#include <memory>
#include <span>
#include <vector>

class CFrameWnd;
class QMenu;
struct MenuItemTemplate;

// What EnableMenuItem and CheckMenuItem return for an id the menu lacks.
inline constexpr UINT kMenuItemNotFound = 0xFFFFFFFF;

class CMenu {
public:
    CMenu();
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL LoadMenu(UINT nIDResource);
    BOOL DestroyMenu();

    // The popup at item position nPos, or nullptr; it lives as long as this menu.
    CMenu* GetSubMenu(int nPos) const;

    // Shows this popup at screen position (x, y) until the user chooses an
    // item or dismisses it. The owner's OnInitMenuPopup runs for each popup
    // before it shows; a chosen command reaches the owner's OnCommand once the
    // popup has closed. With a UiScript installed the script chooses instead.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CFrameWnd* pWnd);

    // MF_GRAYED or MF_ENABLED; returns the previous state, or kMenuItemNotFound.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    // MF_CHECKED or MF_UNCHECKED; returns the previous state, or kMenuItemNotFound.
    UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck);

private:
    explicit CMenu(QMenu* popup);
    void Build(std::span<const MenuItemTemplate> items);
    void InitPopups(CFrameWnd* pWnd, UINT nIndex);
    std::vector<MenuItemState> ItemStates() const;
    bool IsCommandEnabled(UINT nID) const;

    std::unique_ptr<QMenu> m_owned; // the loaded menu; popups belong to it
    QMenu* m_menu = nullptr;
    std::vector<std::unique_ptr<CMenu>> m_popups; // by item position; null where no popup
};
