#pragma once

#include <QEvent>
#include <cstdint>

class QObject;

// A numbered message with two parameters and a result, carried as a QEvent whose
// type is the message number. Receivers pick it out in their event() override.
class TWindowMessage : public QEvent {
public:
    TWindowMessage(int msg, std::intptr_t wParam, std::intptr_t lParam);

    int Msg() const { return static_cast<int>(type()); }

    std::intptr_t WParam;
    std::intptr_t LParam;
    std::intptr_t Result = 0;

    // The message inside an event, or null when the event is something else.
    static TWindowMessage* From(QEvent* event);

    // Delivers the message and returns the handler's result. Called from a thread other
    // than the target's, it blocks until the handler has run on the target's thread; if
    // the target is destroyed first, it returns 0 without the handler having run.
    static std::intptr_t Send(QObject* target, int msg, std::intptr_t wParam = 0,
                              std::intptr_t lParam = 0);

    // Queues the message for the target's thread and returns at once. Safe from any thread.
    static void Post(QObject* target, int msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
};
