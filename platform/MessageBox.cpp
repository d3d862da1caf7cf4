#include "platform/MessageBox.h"

#include "platform/CarriageReturnText.h"

#include <QMessageBox>
#include <utility>

namespace {
TMessageBoxHandler& Handler() {
    static TMessageBoxHandler handler;
    return handler;
}
} // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

void ShowMessageBox(QWidget* owner, const QString& title, const QString& text, TMessageIcon icon) {
    if (Handler()) {
        Handler()(TMessageBoxCall{owner, title, text, icon});
        return;
    }
    QMessageBox box(icon == TMessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Critical,
                    title, DisplayText(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
