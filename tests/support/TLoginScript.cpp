#include "tests/support/TLoginScript.h"

#include "dialogs/TLoginDlg.h"
#include "widgets/TPasswordEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TLoginScript::TLoginScript(TLoginDlg* dialog) : dialog(dialog) {
    dialog->installEventFilter(this);
}

TLoginScript& TLoginScript::Login(const QString& userName, const QString& password) {
    answers.append({true, userName, password, true});
    return *this;
}

TLoginScript& TLoginScript::ConfirmAsShown() {
    answers.append({true, QString(), QString(), false});
    return *this;
}

TLoginScript& TLoginScript::Cancel() {
    answers.append({false, QString(), QString(), false});
    return *this;
}

bool TLoginScript::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dialog && event->type() == QEvent::Show)
        // Once the modal loop runs, as a user would only act on the dialog they see.
        QTimer::singleShot(0, this, [this] { Answer(); });
    return QObject::eventFilter(watched, event);
}

void TLoginScript::Answer() {
    seen.append({dialog->UsernameEdit->text(), dialog->PasswordEdit->text(),
                 dialog->focusWidget() == dialog->PasswordEdit});
    if (answers.isEmpty()) {
        dialog->close();
        return;
    }
    const TAnswer answer = answers.takeFirst();
    if (!answer.Confirm) {
        dialog->close();
        return;
    }
    if (answer.TypeFields) {
        dialog->UsernameEdit->setText(answer.UserName);
        dialog->PasswordEdit->setText(answer.Password);
    }
    dialog->LoginBtn->click();
}
