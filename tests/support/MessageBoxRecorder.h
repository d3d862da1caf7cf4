#pragma once

#include "platform/MessageBox.h"

#include <QList>

// Records message boxes instead of showing them, for as long as it lives. When the
// process ends through EndProcessNow while a recorder is active, the recorded boxes are
// written to standard error first (one line each: "MESSAGEBOX <icon> [owned] <title>|<text>",
// carriage returns shown as \r), so that a death test can match them.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const QList<TMessageBoxCall>& Calls() const { return calls; }
    void Clear() { calls.clear(); }

    // Runs while a box "is shown", before the recorded call returns.
    std::function<void(const TMessageBoxCall&)> OnShow;

private:
    QList<TMessageBoxCall> calls;
    TMessageBoxHandler previous;
};

// The line the recorder writes for a call, as a death test sees it.
QString DescribeMessageBox(const TMessageBoxCall& call);
