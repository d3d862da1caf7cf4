#include "dialogs/TLoginDlg.h"

#include "platform/MessageBox.h"
#include "settings/Settings.h"
#include "widgets/DesignControls.h"
#include "widgets/ResourcePictures.h"
#include "widgets/TPasswordEdit.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

TLoginDlg::TLoginDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Kavrien Login"));
    MakeFixedDialog(this, 329, 340);
    setFont(DesignFont(QStringLiteral("Segoe UI"), 13));

    Logo = new QLabel(this);
    Logo->setGeometry(102, 12, 128, 128);
    Label4 = MakeLabel(this, QStringLiteral("Tessaliq - Kavrien"), 48, 144,
                       DesignFont(QStringLiteral("Times New Roman"), 24, true));
    Label5 = MakeLabel(this, QStringLiteral("Tessaliq private video stream server"), 48, 176,
                       DesignFont(QStringLiteral("Times New Roman"), 13));
    const QFont fieldFont = SansSerifFont(13);
    Label1 = MakeLabel(this, QStringLiteral("Username :"), 16, 216, fieldFont);
    Label2 = MakeLabel(this, QStringLiteral("Password :"), 16, 256, fieldFont);
    UsernameEdit = new QLineEdit(this);
    UsernameEdit->setGeometry(96, 212, 209, 24);
    UsernameEdit->setFont(fieldFont);
    PasswordEdit = new TPasswordEdit(this);
    PasswordEdit->setGeometry(96, 252, 209, 24);
    // The form's stored font wins over the edit's own preferred font.
    PasswordEdit->setFont(fieldFont);
    // Not the default button: Enter confirms only in the password field.
    LoginBtn = MakeButton(this, QStringLiteral("&Login"), QRect(16, 304, 297, 25));
    LoginBtn->setFont(fieldFont);
    setTabOrder(UsernameEdit, PasswordEdit);
    setTabOrder(PasswordEdit, LoginBtn);

    connect(LoginBtn, &QPushButton::clicked, this, [this] { LoginBtnClick(); });
    PasswordEdit->installEventFilter(this);

    FormCreate();
    connect(UsernameEdit, &QLineEdit::textChanged, this, [this] { UsernameEditChange(); });

    if (QScreen* screen = this->screen())
        move(screen->geometry().center() - rect().center());
}

void TLoginDlg::FormCreate() {
    const QImage logo = LoadJpegResource(101);
    if (!logo.isNull())
        Logo->setPixmap(QPixmap::fromImage(logo));
    UsernameEdit->setText(ReadLastUser());
}

void TLoginDlg::FormActivate() {
    if (!UsernameEdit->text().isEmpty())
        PasswordEdit->setFocus();
    else
        UsernameEdit->setFocus();
}

bool TLoginDlg::PromptLogin(QString& userName, QString& password) {
    ModalResult = 0;
    if (exec() == mrOk) {
        userName = EnteredUserName;
        password = EnteredPassword;
        return true;
    }
    userName.clear();
    password.clear();
    return false;
}

void TLoginDlg::LoginBtnClick() {
    // Taken as typed: a user name of blanks is not empty.
    if (!UsernameEdit->text().isEmpty() && !PasswordEdit->text().isEmpty()) {
        EnteredUserName = UsernameEdit->text();
        EnteredPassword = PasswordEdit->text();
        ModalResult = mrOk;
        done(mrOk);
        return;
    }
    ShowMessageBox(this, windowTitle(),
                   QStringLiteral("Please enter a username and password to access the Kavrien "
                                  "service."),
                   TMessageIcon::Stop);
}

void TLoginDlg::PasswordEditKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        LoginBtnClick();
}

void TLoginDlg::UsernameEditChange() {
    WriteLastUser(UsernameEdit->text());
}

bool TLoginDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PasswordEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            PasswordEditKeyDown(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TLoginDlg::closeEvent(QCloseEvent* event) {
    // Closing by the close box or the system menu cancels.
    if (ModalResult != mrOk)
        ModalResult = mrCancel;
    event->accept();
    done(ModalResult);
}

void TLoginDlg::keyPressEvent(QKeyEvent* event) {
    // There is no cancel button, so Escape does not close the dialog; Enter outside the
    // password field does nothing.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TLoginDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}
