#include "widgets/TTrayIconComponent.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QPixmap>

TTrayIconComponent::TTrayIconComponent(QObject* owner)
    : QObject(owner), tray(new QSystemTrayIcon(this)) {
    connect(tray, &QSystemTrayIcon::activated, this, &TTrayIconComponent::Activated);
    ApplyIcon();
}

bool TTrayIconComponent::TrayHostAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIconComponent::SetIcon(const QIcon& newIcon) {
    icon = newIcon;
    ApplyIcon();
}

void TTrayIconComponent::SetHint(const QString& newHint) {
    hint = newHint;
    ApplyTip();
}

void TTrayIconComponent::SetShowHint(bool show) {
    showHint = show;
    ApplyTip();
}

void TTrayIconComponent::SetIconVisible(bool visible) {
    iconVisible = visible;
    // Without a host Qt keeps the wish and shows the icon once a host appears.
    tray->setVisible(visible);
}

void TTrayIconComponent::ApplyIcon() {
    if (!icon.isNull()) {
        tray->setIcon(icon);
        return;
    }
    // Qt refuses to show an icon without a picture; the entry stays, blank.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    tray->setIcon(QIcon(blank));
}

void TTrayIconComponent::ApplyTip() {
    QString tip;
    if (showHint && !hint.isEmpty()) {
        tip = hint;
        if (tip.size() > MaxTipLength) {
            int length = MaxTipLength;
            if (tip.at(length - 1).isHighSurrogate())
                --length; // never half a character
            tip.truncate(length);
        }
    }
    tray->setToolTip(tip);
}

void TTrayIconComponent::Activated(QSystemTrayIcon::ActivationReason reason) {
    if (!enabled)
        return;
    switch (reason) {
    case QSystemTrayIcon::Context: // the right button went down
        PopupAtCursor();
        break;
    case QSystemTrayIcon::Trigger: // the left button went down
        if (leftPopup)
            PopupAtCursor();
        break;
    case QSystemTrayIcon::DoubleClick: {
        QPointer<TTrayIconComponent> self = this;
        if (OnDblClick)
            OnDblClick();
        if (self != nullptr && popupMenu != nullptr && !leftPopup) {
            if (QAction* chosen = popupMenu->defaultAction())
                chosen->trigger();
        }
        break;
    }
    default:
        break;
    }
}

void TTrayIconComponent::PopupAtCursor() {
    if (popupMenu == nullptr)
        return;
    // popup, not exec: the tray's mouse handler returns at once and the chosen item's
    // handler runs from the main loop, so a handler that ends the program or removes the
    // icon never returns into a tray handler that is gone. The popup-menu notices follow
    // the menu's showing and hiding either way.
    popupMenu->popup(QCursor::pos());
}
