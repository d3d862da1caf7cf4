// The program entry: the login dialog, the main window (which signs the user in), the
// about box, then the message loop. The process ends at once when the loop ends.

#include "app/ApplicationTitle.h"
#include "app/TMainForm.h"
#include "dialogs/TAboutBox.h"
#include "dialogs/TLoginDlg.h"
#include "platform/ProcessExit.h"
#include "platform/TToolTipFilter.h"
#include "widgets/TPopupListNotifier.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char** argv) {
    // The media library draws into X11 windows; on a Wayland desktop that is XWayland.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    // The main window's close decides when the program ends (it may hide to the tray).
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/mainicon.png")));
    TPopupListNotifier::Install();
    TToolTipFilter::Install();

    auto* loginDlg = new TLoginDlg;
    SetApplicationTitle(TMainForm::DesignCaption);
    auto* mainForm = new TMainForm(loginDlg);
    mainForm->AboutBox = new TAboutBox(mainForm);

    if (QScreen* screen = mainForm->screen())
        mainForm->move(screen->availableGeometry().center() - mainForm->rect().center());
    mainForm->show();
    QApplication::exec();
    // Without clean-up: the windows and the media library are left to the system.
    EndProcessNow(0);
}
