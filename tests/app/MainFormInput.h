#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QString>

#include <ostream>

class QListWidget;
class QWidget;
class TMainFormHarness;

// Mouse and keyboard input for in-process window tests, delivered through the window system
// layer as real input is (press, release, double click by timing), at a point of a control.
namespace MainFormInput {

// The centre of a row, in the coordinates of the list's viewport.
QPoint RowCentre(QListWidget* list, int row);
void Click(QWidget* control, QPoint at = QPoint());
void DoubleClick(QWidget* control, QPoint at = QPoint());
void ClickRow(QListWidget* list, int row);
void DoubleClickRow(QListWidget* list, int row);
// A key typed into the window's focused control.
void Key(QWidget* window, int key);

// The queries the service received since the last call, without the status polls that the
// status timer sends every five seconds.
QList<QByteArray> QueriesExceptPolls(TMainFormHarness& harness);

} // namespace MainFormInput

// Readable texts in the failure messages of GoogleTest.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}
