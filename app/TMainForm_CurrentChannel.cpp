// The Current Channel panel: which channel the service broadcasts.

#include "app/TMainForm.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

void TMainForm::ShowCurrentChannel(int index, const QByteArray& language) {
    if (index < 0) {
        if (IsAdmin) {
            StopBtn->hide();
            StopChannel1->setEnabled(false);
        }
        WatchCurrentChannel1->setEnabled(false);
        BroadcastStateLbl->setText(QStringLiteral("None"));
        BroadcastStateLbl->setCursor(Qt::ArrowCursor);
        QPalette palette = BroadcastStateLbl->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        BroadcastStateLbl->setPalette(palette);
        return;
    }
    QString text = index < ChannelNames.size() ? QString::fromUtf8(ChannelNames[index]) : QString();
    if (HasSeveralLanguages(index))
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(language).toUpper());
    BroadcastStateLbl->setText(text);
    BroadcastStateLbl->setCursor(Qt::PointingHandCursor);
    WatchCurrentChannel1->setEnabled(true);
    if (IsAdmin) {
        StopBtn->show();
        StopChannel1->setEnabled(true);
    }
}

void TMainForm::BroadcastStateLblMouseEnter() {
    if (BroadcastUrl.isEmpty())
        return;
    QPalette palette = BroadcastStateLbl->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 128, 0));
    BroadcastStateLbl->setPalette(palette);
}

void TMainForm::BroadcastStateLblMouseLeave() {
    if (BroadcastUrl.isEmpty())
        return;
    QPalette palette = BroadcastStateLbl->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    BroadcastStateLbl->setPalette(palette);
}
