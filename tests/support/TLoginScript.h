#pragma once

#include <QList>
#include <QObject>
#include <QString>

class TLoginDlg;

// Answers the login dialog's prompts in order, as a user would: each prompt is either
// filled in and confirmed with the Login button, or closed with the close box. It notes
// what the dialog showed when each prompt appeared.
class TLoginScript : public QObject {
public:
    struct TAnswer {
        bool Confirm = true;
        QString UserName;
        QString Password;
        bool TypeFields = true; // false: confirm with whatever the fields hold
    };
    struct TSeen {
        QString UserName;
        QString Password;
        bool PasswordFocused = false;
    };

    explicit TLoginScript(TLoginDlg* dialog);

    TLoginScript& Login(const QString& userName, const QString& password);
    TLoginScript& ConfirmAsShown();
    TLoginScript& Cancel();

    const QList<TSeen>& Seen() const { return seen; }
    int Prompts() const { return int(seen.size()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Answer();

    TLoginDlg* dialog;
    QList<TAnswer> answers;
    QList<TSeen> seen;
};
