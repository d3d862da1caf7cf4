#include "platform/TWindowMessage.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

TWindowMessage::TWindowMessage(int msg, std::intptr_t wParam, std::intptr_t lParam)
    : QEvent(static_cast<QEvent::Type>(msg)), WParam(wParam), LParam(lParam) {}

TWindowMessage* TWindowMessage::From(QEvent* event) {
    if (event == nullptr || event->type() < QEvent::User || event->type() > QEvent::MaxUser)
        return nullptr;
    return dynamic_cast<TWindowMessage*>(event);
}

std::intptr_t TWindowMessage::Send(QObject* target, int msg, std::intptr_t wParam,
                                   std::intptr_t lParam) {
    if (target == nullptr)
        return 0;
    auto deliver = [target, msg, wParam, lParam]() {
        TWindowMessage message(msg, wParam, lParam);
        QCoreApplication::sendEvent(target, &message);
        return message.Result;
    };
    if (target->thread() == QThread::currentThread())
        return deliver();

    // Blocking queued call: the handler runs on the target's thread while this thread waits.
    // Qt releases the wait also when the target dies before the call is delivered.
    std::intptr_t result = 0;
    QMetaObject::invokeMethod(
        target, [&result, &deliver]() { result = deliver(); }, Qt::BlockingQueuedConnection);
    return result;
}

void TWindowMessage::Post(QObject* target, int msg, std::intptr_t wParam, std::intptr_t lParam) {
    if (target == nullptr)
        return;
    // postEvent takes ownership and is thread-safe; events still queued for a destroyed
    // receiver are discarded by Qt.
    QCoreApplication::postEvent(target, new TWindowMessage(msg, wParam, lParam));
}
