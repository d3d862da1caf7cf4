#pragma once

#include <QString>
#include <functional>

class QWidget;

// The two icons the client uses, with the platform's icon codes.
enum class TMessageIcon { Stop = 16, Warning = 48 };

struct TMessageBoxCall {
    QWidget* Owner = nullptr; // null: a box without owner window
    QString Title;
    QString Text; // exactly as given; a carriage return marks a line break
    TMessageIcon Icon = TMessageIcon::Stop;
};

// Shows a modal message box with an OK button and returns when it is closed.
void ShowMessageBox(QWidget* owner, const QString& title, const QString& text, TMessageIcon icon);

// Tests put a recorder here so that no modal box blocks them. Returns the previous
// handler; an empty handler restores the real box.
using TMessageBoxHandler = std::function<void(const TMessageBoxCall&)>;
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);
