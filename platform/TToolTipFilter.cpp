#include "platform/TToolTipFilter.h"

#include "platform/CarriageReturnText.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPointer>
#include <QToolTip>
#include <QWidget>

namespace {

QPointer<TToolTipFilter> installed;

} // namespace

void TToolTipFilter::Install() {
    if (installed != nullptr || qApp == nullptr)
        return;
    installed = new TToolTipFilter(qApp);
}

TToolTipFilter::TToolTipFilter(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool TToolTipFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    const QString tip = widget->toolTip();
    if (!tip.contains(QLatin1Char('\r')))
        return false; // Qt shows it as it is
    // What the widget itself would do, with the text as it is meant to be seen.
    const auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), DisplayText(tip), widget, QRect(),
                       widget->toolTipDuration());
    return true;
}
