#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class TPasswordEdit;

// The login dialog: asks for the user name and the password before the main window
// exists. One instance serves every prompt of the run; between prompts it keeps its
// entries, so a second prompt shows the rejected attempt. The password stays in memory.
class TLoginDlg : public QDialog {
    Q_OBJECT
public:
    // Modal results: OK when the user confirmed, Cancel when the dialog was closed.
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    explicit TLoginDlg(QWidget* parent = nullptr);

    // Shows the dialog modally. True with the entries of the confirmed prompt; false,
    // with both outputs empty, when the user closed the dialog.
    bool PromptLogin(QString& userName, QString& password);

    void FormCreate();
    void FormActivate();
    void LoginBtnClick();
    void PasswordEditKeyDown(int key);
    void UsernameEditChange();

    QString EnteredUserName;
    QString EnteredPassword; // in memory only, never stored
    int ModalResult = 0;

    QLabel* Logo = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* UsernameEdit = nullptr;
    TPasswordEdit* PasswordEdit = nullptr;
    QPushButton* LoginBtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
