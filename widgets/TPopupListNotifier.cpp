#include "widgets/TPopupListNotifier.h"

#include "platform/TWindowMessage.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

QPointer<TPopupListNotifier> installed;

} // namespace

void TPopupListNotifier::Install() {
    if (installed != nullptr || qApp == nullptr)
        return;
    installed = new TPopupListNotifier(qApp);
}

TPopupListNotifier::TPopupListNotifier(QObject* parent) : QObject(parent) {
    // Every popup menu shows and hides through the application, whoever opened it.
    qApp->installEventFilter(this);
}

bool TPopupListNotifier::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (auto* menu = qobject_cast<QMenu*>(watched); menu != nullptr && menu->isWindow())
            MenuShown(menu);
    } else if (event->type() == QEvent::Hide) {
        if (auto* menu = qobject_cast<QMenu*>(watched); menu != nullptr && !menu->isVisible())
            MenuGone(menu);
    }
    return false;
}

void TPopupListNotifier::MenuShown(QMenu* menu) {
    if (openMenus.contains(menu))
        return;
    // A menu that opens while others are open is their submenu and shares their loop.
    const bool inLoop = openMenus.isEmpty() ? !IsMenuBarMenu(menu) : *openMenus.cbegin();
    openMenus.insert(menu, inLoop);
    // A menu destroyed while open sends no hide event; its loop ends all the same.
    connect(menu, &QObject::destroyed, this, &TPopupListNotifier::MenuGone);
    if (inLoop && ++loopMenus == 1)
        Notify(WM_POPUPMENU_ENTER, 1, 0);
}

void TPopupListNotifier::MenuGone(QObject* menu) {
    const auto found = openMenus.constFind(menu);
    if (found == openMenus.cend())
        return;
    const bool inLoop = *found;
    openMenus.erase(found);
    disconnect(menu, &QObject::destroyed, this, &TPopupListNotifier::MenuGone);
    if (inLoop && --loopMenus == 0) {
        Notify(WM_POPUPMENU_CLOSED, static_cast<std::intptr_t>(0xFFFF0000u), 0);
        Notify(WM_POPUPMENU_EXIT, 1, 0);
    }
}

bool TPopupListNotifier::IsMenuBarMenu(const QMenu* menu) {
    // A menu bar makes the menu's action its active one before it opens the menu.
    const QAction* own = menu->menuAction();
    for (QObject* holder : own->associatedObjects()) {
        if (const auto* bar = qobject_cast<const QMenuBar*>(holder);
            bar && bar->activeAction() == own)
            return true;
    }
    return false;
}

void TPopupListNotifier::Notify(int msg, std::intptr_t wParam, std::intptr_t lParam) {
    if (QWidget* target = QApplication::activeWindow())
        TWindowMessage::Send(target, msg, wParam, lParam);
}
