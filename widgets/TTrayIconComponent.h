#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>

// An icon in the desktop's notification area (the tray), as the client uses it.
//
// Without a tray host the icon cannot be shown; that fails silently. The icon is shown
// while IconVisible is true whenever a host is there: when a host appears later, or is
// restarted, the icon comes back by itself (Qt's tray follows the host on X11). Ask
// TrayHostAvailable() before relying on the tray as the user's only way back.
class TTrayIconComponent : public QObject {
    Q_OBJECT

public:
    // The longest tooltip the tray shows; a longer Hint is cut.
    static constexpr int MaxTipLength = 127;

    // The icon leaves the tray when the component is destroyed.
    explicit TTrayIconComponent(QObject* owner = nullptr);

    // Whether a tray host runs on the desktop now.
    static bool TrayHostAvailable();

    // The picture; an empty icon gives an entry without a picture.
    QIcon Icon() const { return icon; }
    void SetIcon(const QIcon& icon);

    // The tooltip, kept whole; the tray shows its first MaxTipLength characters.
    QString Hint() const { return hint; }
    void SetHint(const QString& hint);

    bool ShowHint() const { return showHint; }
    void SetShowHint(bool show);

    bool IconVisible() const { return iconVisible; }
    void SetIconVisible(bool visible);

    // Opened at the cursor as soon as the right button goes down (and by the left button
    // when LeftPopup is true). Not owned.
    QMenu* PopupMenu() const { return popupMenu; }
    void SetPopupMenu(QMenu* menu) { popupMenu = menu; }

    bool LeftPopup() const { return leftPopup; }
    void SetLeftPopup(bool left) { leftPopup = left; }

    // While false the icon ignores the mouse.
    bool Enabled() const { return enabled; }
    void SetEnabled(bool enabled) { this->enabled = enabled; }

    // Kept for the owner's sake; minimizing never involves the tray.
    bool MinimizeToTray() const { return minimizeToTray; }
    void SetMinimizeToTray(bool minimize) { minimizeToTray = minimize; }

    // Runs on a double click of the left button; afterwards, unless LeftPopup is true,
    // the popup menu's default action (if it has one) is triggered.
    std::function<void()> OnDblClick;

    // The tray icon underneath, for its tooltip and geometry as the tray shows them.
    const QSystemTrayIcon* SystemTrayIcon() const { return tray; }

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);
    void PopupAtCursor();
    void ApplyIcon();
    void ApplyTip();

    QSystemTrayIcon* tray; // child
    QIcon icon;
    QString hint;
    bool showHint = true;
    bool iconVisible = false;
    QPointer<QMenu> popupMenu;
    bool leftPopup = false;
    bool enabled = true;
    bool minimizeToTray = false;
};
