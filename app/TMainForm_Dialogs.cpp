// The options dialog and the about box, opened from the menu.

#include "app/TMainForm.h"

#include "dialogs/TAboutBox.h"
#include "dialogs/TOptionsWnd.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

void TMainForm::Options2Click() {
    // No status poll while the dialog is open.
    StatusTimer->stop();
    auto* dialog = new TOptionsWnd(this);
    dialog->PrefLang->setText(PreferredLanguage);
    int aspect = 0;
    if (!AspectRatio.isEmpty()) {
        aspect = dialog->AspectCombo->findText(AspectRatio, Qt::MatchFixedString);
        if (aspect < 0)
            aspect = 0;
    }
    dialog->AspectCombo->setCurrentIndex(aspect);
    dialog->WatchFullScreen->setChecked(InitFullScreen);
    if (IsAdmin) {
        dialog->StopOnExit->setChecked(StopBroadcastOnExit);
        dialog->UseSourceStream->setChecked(UseOriginalStream);
    } else {
        dialog->StopOnExit->hide();
        dialog->UseSourceStream->hide();
        dialog->OptionsBox->resize(dialog->OptionsBox->width(), 192);
        dialog->OkBtn->move(dialog->OkBtn->x(), 216);
        dialog->CancelBtn->move(dialog->CancelBtn->x(), 216);
        dialog->setFixedHeight(dialog->OkBtn->y() + dialog->OkBtn->height() + 7);
    }
    if (dialog->exec() == QDialog::Accepted) {
        PreferredLanguage = dialog->PrefLang->text();
        WriteDefLang(PreferredLanguage);
        AspectRatio = dialog->AspectCombo->currentText();
        if (AspectRatio == QLatin1String("Default"))
            AspectRatio.clear();
        WriteAspectRatio(AspectRatio);
        InitFullScreen = dialog->WatchFullScreen->isChecked();
        WriteInitFullScreen(InitFullScreen);
        if (IsAdmin) {
            StopBroadcastOnExit = dialog->StopOnExit->isChecked();
            WriteCloseOnExit(StopBroadcastOnExit);
            UseOriginalStream = dialog->UseSourceStream->isChecked();
            WriteUseMpeg2(UseOriginalStream);
        }
    }
    delete dialog;
    SelectPreferredLanguage();
    StatusTimer->start();
}

void TMainForm::About1Click() {
    StatusTimer->stop();
    if (AboutBox != nullptr)
        AboutBox->exec();
    StatusTimer->start();
}
