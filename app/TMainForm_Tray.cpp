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
    TrayIcon->OnDblClick = [this] { TrayIconClick(); };
}

void TMainForm::CloseToTray() {
    StatusTimer->stop();
    if (TTrayIconComponent::TrayHostAvailable()) {
        hide();
        TrayIcon->SetIconVisible(true);
        return;
    }
    // Without a tray to come back from, the window goes to the taskbar instead; restoring
    // it from there resumes as the tray menu's "Resume" would.
    MinimizedInsteadOfTray = true;
    showMinimized();
}

void TMainForm::Resume1Click() {
    MinimizedInsteadOfTray = false;
    showNormal();
    raise();
    activateWindow();
    TrayIcon->SetIconVisible(false);
    StatusTimer->start();
}

void TMainForm::TrayIconClick() { Resume1Click(); }
