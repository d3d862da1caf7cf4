#include "tests/support/MessageBoxRecorder.h"

#include "platform/ProcessExit.h"

#include <cstdio>
#include <unistd.h>

namespace {
MessageBoxRecorder* activeRecorder = nullptr;

void ReportAndExit(int exitCode) {
    if (activeRecorder != nullptr) {
        for (const TMessageBoxCall& call : activeRecorder->Calls())
            std::fprintf(stderr, "%s\n", DescribeMessageBox(call).toUtf8().constData());
    }
    std::fprintf(stderr, "PROCESS EXIT %d\n", exitCode);
    std::fflush(stderr);
    _exit(exitCode);
}
} // namespace

QString DescribeMessageBox(const TMessageBoxCall& call) {
    QString text = call.Text;
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return QStringLiteral("MESSAGEBOX %1 %2%3|%4")
        .arg(call.Icon == TMessageIcon::Warning ? QStringLiteral("warning")
                                                : QStringLiteral("stop"))
        .arg(call.Owner != nullptr ? QStringLiteral("owned ") : QString())
        .arg(call.Title, text);
}

MessageBoxRecorder::MessageBoxRecorder() {
    previous = SetMessageBoxHandler([this](const TMessageBoxCall& call) {
        calls.append(call);
        if (OnShow)
            OnShow(call);
    });
    activeRecorder = this;
    SetProcessExitHandler(&ReportAndExit);
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(previous);
    if (activeRecorder == this)
        activeRecorder = nullptr;
}
