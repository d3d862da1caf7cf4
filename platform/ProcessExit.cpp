#include "platform/ProcessExit.h"

#include <atomic>
#include <unistd.h>

namespace {
std::atomic<TProcessExitHandler> exitHandler{nullptr};
}

void SetProcessExitHandler(TProcessExitHandler handler) {
    exitHandler = handler;
}

void EndProcessNow(int exitCode) {
    if (TProcessExitHandler handler = exitHandler.load())
        handler(exitCode);
    _exit(exitCode);
}
