#include "dialogs/TOptionsWnd.h"

#include "widgets/DesignControls.h"

#include <QCheckBox>

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

QCheckBox* MakeCheckBox(QWidget* parent, const QString& text, const QRect& bounds) {
    auto* box = new QCheckBox(text, parent);
    // The caption may need more room than the design gave it in the fallback font: the box
    // grows to the right, as far as the edit above it reaches, instead of cutting it off.
    const QSize wanted = box->sizeHint();
    box->setGeometry(bounds.x(), bounds.y(), std::clamp(wanted.width(), bounds.width(), 185),
                     std::max(bounds.height(), wanted.height()));
    return box;
}

QPushButton* MakeDialogButton(QWidget* parent, const QString& text, const QRect& bounds) {
    QPushButton* button = MakeButton(parent, text, bounds);
    button->setFont(SansSerifFont(13));
    return button;
}

} // namespace

TOptionsWnd::TOptionsWnd(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Options"));
    MakeFixedDialog(this, 234, 319);
    setFont(SansSerifFont(11));

    OptionsBox = new QGroupBox(this);
    OptionsBox->setGeometry(9, 8, 216, 265);
    OptionsBox->setFont(SansSerifFont(13));

    Label5 = MakeLabel(OptionsBox, QStringLiteral("Preferred Language :"), 16, 20);
    PrefLang = new QLineEdit(OptionsBox);
    PrefLang->setGeometry(16, 48, 185, 24);

    Label1 = MakeLabel(OptionsBox, QStringLiteral("Aspect ratio :"), 16, 84);
    AspectCombo = new QComboBox(OptionsBox);
    AspectCombo->addItems({QStringLiteral("Default"), QStringLiteral("16:9"), QStringLiteral("4:3"),
                           QStringLiteral("1:1"), QStringLiteral("16:10"), QStringLiteral("5:4")});
    AspectCombo->setCurrentIndex(0);
    AspectCombo->setGeometry(16, 113, 185, AspectCombo->sizeHint().height());

    WatchFullScreen = MakeCheckBox(OptionsBox, QStringLiteral("Fullscreen"), {16, 160, 129, 17});
    StopOnExit = MakeCheckBox(OptionsBox, QStringLiteral("Stop on Exit"), {16, 196, 129, 17});
    UseSourceStream =
        MakeCheckBox(OptionsBox, QStringLiteral("Use Original Stream"), {16, 232, 145, 17});

    OkBtn = MakeDialogButton(this, QStringLiteral("&OK"), {8, 288, 105, 25});
    CancelBtn = MakeDialogButton(this, QStringLiteral("&Cancel"), {120, 288, 105, 25});
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    // The box first (its controls in this order), then the buttons.
    setTabOrder(PrefLang, StopOnExit);
    setTabOrder(StopOnExit, UseSourceStream);
    setTabOrder(UseSourceStream, WatchFullScreen);
    setTabOrder(WatchFullScreen, AspectCombo);
    setTabOrder(AspectCombo, OkBtn);
    setTabOrder(OkBtn, CancelBtn);
    PrefLang->setFocus();

    FormCreate();
}

void TOptionsWnd::FormCreate() {
    PrefLang->setToolTip(QStringLiteral("Set your preferred audio language (2 letter code)"));
    AspectCombo->setToolTip(QStringLiteral("Set video aspect ratio"));
    WatchFullScreen->setToolTip(QStringLiteral(
        "Start watching in fullscreen mode. Double click the player window to exit fullscreen "
        "mode."));
    StopOnExit->setToolTip(
        QStringLiteral("Stop the currently active channel when exiting the program."));
    // Kept with its lone carriage returns; the tooltip filter breaks the lines when shown.
    UseSourceStream->setToolTip(
        QStringLiteral("Watch the original source stream instead of broadcasting (converting).\r"
                       "Better quality than broadcasted stream and supports multiple viewers.\r"
                       "Requires at least 6 Mbps bandwidth (up to 12 Mbps for HD channels) !"));
}

void TOptionsWnd::SetClientHeight(int height) {
    setFixedSize(width(), height);
}

void TOptionsWnd::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        // No cancel button: Escape does not close the dialog.
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // No default button either; only a focused button reacts to Enter.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && plain)
            button->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
