#include "app/TMainForm.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Kavrien Player"));
    resize(1137, 657);
}
