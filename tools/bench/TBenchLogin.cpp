#include "tools/bench/TBenchLogin.h"

#include "dialogs/TLoginDlg.h"
#include "widgets/TPasswordEdit.h"

#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TBenchLogin::TBenchLogin(TLoginDlg* dialog, const QString& userName, const QString& password)
    : dialog(dialog), userName(userName), password(password) {
    dialog->installEventFilter(this);
}

bool TBenchLogin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dialog && event->type() == QEvent::Show)
        // Once the dialog's modal loop runs.
        QTimer::singleShot(0, this, [this] { Answer(); });
    return QObject::eventFilter(watched, event);
}

void TBenchLogin::Answer() {
    if (++prompts > 1) {
        dialog->close();
        return;
    }
    dialog->UsernameEdit->setText(userName);
    dialog->PasswordEdit->setText(password);
    dialog->LoginBtn->click();
}
