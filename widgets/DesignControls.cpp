#include "widgets/DesignControls.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

QFont DesignFont(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont SansSerifFont(int pixelSize, bool bold) {
    return DesignFont(QStringLiteral("MS Sans Serif"), pixelSize, bold);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, const QRect& bounds) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(bounds);
    button->setAutoDefault(false);
    return button;
}

void MakeFixedDialog(QDialog* dialog, int clientWidth, int clientHeight) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(clientWidth, clientHeight);
}
