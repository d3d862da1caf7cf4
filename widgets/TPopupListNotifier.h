#pragma once

#include <QHash>
#include <QObject>
#include <cstdint>

class QMenu;

// Sent to the application's active window while a popup menu runs (wParam, lParam):
inline constexpr int WM_POPUPMENU_EXIT = 45053;   // the menu's loop has ended (1, 0)
inline constexpr int WM_POPUPMENU_ENTER = 45054;  // a popup menu's loop begins (1, 0)
inline constexpr int WM_POPUPMENU_CLOSED = 45055; // the menu was closed (0xFFFF0000, 0)

// Watches every popup menu of the program (context menus, the tray menu) and tells the
// active window when one opens and when it closes: WM_POPUPMENU_ENTER when it opens, then
// WM_POPUPMENU_CLOSED and WM_POPUPMENU_EXIT when it closes, each delivered synchronously,
// before the menu goes on. A submenu belongs to the loop of the menu it came from, so it
// sends nothing of its own. The menus of a window's menu bar, and their submenus, send
// nothing. Without an active window nothing is sent.
//
// Menus opened with QMenu::exec and with QMenu::popup are alike: the notices follow the
// menu's showing and hiding, not the call that opened it. A chosen item's handler runs
// after the closing notices.
class TPopupListNotifier : public QObject {
    Q_OBJECT

public:
    // Called once by the program entry, after the application object exists and before
    // any window; later calls do nothing.
    static void Install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TPopupListNotifier(QObject* parent);

    void MenuShown(QMenu* menu);
    void MenuGone(QObject* menu);
    static bool IsMenuBarMenu(const QMenu* menu);
    static void Notify(int msg, std::intptr_t wParam, std::intptr_t lParam);

    // The menus now open, each with whether it belongs to a popup-menu loop (false for a
    // menu of a menu bar and its submenus).
    QHash<QObject*, bool> openMenus;
    int loopMenus = 0; // how many of the open menus belong to the loop
};
