#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The options dialog. Its owner fills the controls, shrinks it for ordinary users, runs it
// with exec() and reads the controls back when it returns QDialog::Accepted ("&OK").
// "&Cancel", the close box and Alt+F4 give QDialog::Rejected.
//
// Neither button is the default or the cancel button: Enter and Escape do not close the
// dialog; Enter on a focused button presses that button, as Space does.
class TOptionsWnd : public QDialog {
    Q_OBJECT

public:
    explicit TOptionsWnd(QWidget* owner = nullptr);

    // The dialog keeps a fixed size; this changes the height of its client area.
    void SetClientHeight(int height);

    QGroupBox* OptionsBox = nullptr; // holds the controls below, not the buttons
    QLabel* Label5 = nullptr;
    QLineEdit* PrefLang = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* AspectCombo = nullptr; // "Default", "16:9", "4:3", "1:1", "16:10", "5:4"
    QCheckBox* WatchFullScreen = nullptr;
    QCheckBox* StopOnExit = nullptr;      // administrators only
    QCheckBox* UseSourceStream = nullptr; // administrators only
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
};
