// Closing to the tray and coming back from it.

#include "app/TMainForm.h"

#include "widgets/TTrayIconComponent.h"

#include <QIcon>
#include <QTimer>

void TMainForm::TrayCreationStep() {
    TrayIcon = new TTrayIconComponent(this);
    TrayIcon->SetIcon(QIcon(QStringLiteral(":/icons/mainicon.png")));
    TrayIcon->SetHint(windowTitle());
    TrayIcon->SetPopupMenu(TrayMenu);
    TrayIcon->OnDblClick = [this] {
        TrayIconClick();
    };
}

void TMainForm::CloseToTray() {
    StatusTimer->stop();
    // Asked for in either case: a tray host that appears later shows it at once.
    TrayIcon->SetIconVisible(true);
    if (TTrayIconComponent::TrayHostAvailable()) {
        hide();
        return;
    }
    // A hidden window without a tray icon could never be brought back: it goes to the
    // taskbar instead, and restoring it from there resumes as "Resume" does.
    MinimizedInsteadOfTray = true;
    showMinimized();
}

void TMainForm::Resume1Click() {
    // The exit is under way; the window is not coming back.
    if (ExitInProgress)
        return;
    MinimizedInsteadOfTray = false;
    // Back in the state it was closed in (a maximised window stays maximised), in front.
    Qt::WindowStates state = windowState();
    state.setFlag(Qt::WindowMinimized, false);
    setWindowState(state);
    show();
    raise();
    activateWindow();
    TrayIcon->SetIconVisible(false);
    StatusTimer->start();
}

void TMainForm::TrayIconClick() {
    Resume1Click();
}
