#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The about box: product, version, the maker's notice and three links. Created once and
// shown with exec() whenever the user asks; it keeps no state between showings. "OK" (or
// Enter: it is the default button) closes it with QDialog::Accepted, the close box with
// QDialog::Rejected; Escape does not close it. A click on a link opens its text and leaves
// the box open.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // Opens the clicked label's caption (a web address) through OpenDocument.
    void LinkLabelClick(QLabel* sender);
    // Opens "mailto:" followed by the clicked label's caption.
    void MailLabelClick(QLabel* sender);

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* LinkLabel = nullptr; // the maker's web address
    QLabel* Comments = nullptr;
    QLabel* MailLabel = nullptr; // the support mail address
    QLabel* Label1 = nullptr;
    QLabel* LinkLabel2 = nullptr; // the media library's web address
    QPushButton* OKButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    QLabel* MakeLinkLabel(const QString& address, int left, int top);
};
