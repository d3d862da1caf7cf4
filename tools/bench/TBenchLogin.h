#pragma once

#include <QObject>
#include <QString>

class TLoginDlg;

// Answers the login dialog as a user would: the first prompt is filled in and confirmed;
// a second prompt (the first sign-in failed) is closed, which ends the sign-in.
class TBenchLogin : public QObject {
public:
    TBenchLogin(TLoginDlg* dialog, const QString& userName, const QString& password);
    int Prompts() const { return prompts; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Answer();

    TLoginDlg* dialog;
    QString userName;
    QString password;
    int prompts = 0;
};
