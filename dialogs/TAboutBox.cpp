#include "dialogs/TAboutBox.h"

#include "widgets/DesignControls.h"

#include "widgets/ExecFile.h"
#include "widgets/ResourcePictures.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace {

// A label that wraps keeps the width up to the panel's edge and grows downwards.
QLabel* MakeWrappingLabel(QWidget* parent, const QString& text, int left, int top,
                          const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    const int width = parent->width() - left - 8;
    label->setGeometry(left, top, width, label->heightForWidth(width));
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Kavrien Player"));
    MakeFixedDialog(this, 418, 278);
    setFont(SansSerifFont(11));

    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setGeometry(8, 8, 401, 225);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(16, 40, 128, 128);
    ProductName =
        MakeLabel(Panel1, QStringLiteral("Kavrien Player"), 168, 16, SansSerifFont(23, true));
    Version = MakeLabel(Panel1, QStringLiteral("Version 2.53"), 168, 48, SansSerifFont(13));
    Copyright =
        MakeLabel(Panel1, QStringLiteral("Copyright (C) Tessaliq"), 168, 80, SansSerifFont(13));
    LinkLabel = MakeLinkLabel(QStringLiteral("https://www.tessaliq.example/"), 166, 100);
    Comments = MakeWrappingLabel(Panel1, QStringLiteral("For support, contact"), 168, 128,
                                 SansSerifFont(13));
    MailLabel = MakeLinkLabel(QStringLiteral("support@tessaliq.example"), 167, 148);
    Label1 =
        MakeWrappingLabel(Panel1, QStringLiteral("Powered by libVLC"), 168, 178, SansSerifFont(13));
    LinkLabel2 = MakeLinkLabel(QStringLiteral("https://www.videolan.org/vlc/"), 166, 198);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(48, 244, 321, 25);
    OKButton->setFont(SansSerifFont(13));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TAboutBox::FormCreate() {
    const QImage picture = LoadJpegResource(102);
    if (!picture.isNull())
        ProgramIcon->setPixmap(QPixmap::fromImage(picture));
}

QLabel* TAboutBox::MakeLinkLabel(const QString& address, int left, int top) {
    QFont font = SansSerifFont(13);
    font.setUnderline(true);
    QLabel* label = MakeLabel(Panel1, address, left, top, font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 238));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    return label;
}

void TAboutBox::LinkLabelClick(QLabel* sender) {
    OpenDocument(sender->text());
}

void TAboutBox::MailLabelClick(QLabel* sender) {
    OpenDocument(QStringLiteral("mailto:") + sender->text());
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    // A click is the left button let go over the label it went down on (the label keeps
    // the mouse from the press on).
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* label = qobject_cast<QLabel*>(watched);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (label != nullptr && mouse->button() == Qt::LeftButton &&
            label->rect().contains(mouse->position().toPoint())) {
            if (label == MailLabel)
                MailLabelClick(label);
            else
                LinkLabelClick(label);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
    // OK is the default button but not a cancel button: Escape does not close the box.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, not over the window that opened it.
    if (!event->spontaneous()) {
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            // The outer window is centred, as far as its frame is known before it shows.
            const QRect area = screen->geometry();
            const QSize outer = frameGeometry().size();
            move(area.x() + (area.width() - outer.width()) / 2,
                 area.y() + (area.height() - outer.height()) / 2);
        }
    }
    QDialog::showEvent(event);
}
