#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

// The pieces the windows' designs are made of.

// A font asked for by family and pixel size; where the family is missing, the platform's
// fallback draws it at that size.
QFont DesignFont(const QString& family, int pixelSize, bool bold = false);
// The designs' usual family, "MS Sans Serif".
QFont SansSerifFont(int pixelSize, bool bold = false);

// A label at a place, sized to its text, in its parent's font or the given one.
QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top);
QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, const QFont& font);

// A push button that never acts as its dialog's default: Qt would make one the default by
// itself, and Enter in a field would press it.
QPushButton* MakeButton(QWidget* parent, const QString& text, const QRect& bounds);

// A dialog of a fixed size with a single border and only the close box in its title bar.
void MakeFixedDialog(QDialog* dialog, int clientWidth, int clientHeight);
