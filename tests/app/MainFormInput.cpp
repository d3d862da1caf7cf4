#include "tests/app/MainFormInput.h"

#include "tests/support/TMainFormHarness.h"

#include <QListWidget>
#include <QTest>
#include <QWindow>

namespace MainFormInput {

namespace {

QWindow* WindowOf(QWidget* control) {
    return control->window()->windowHandle();
}

QPoint InWindow(QWidget* control, QPoint at) {
    return control->mapTo(control->window(), at.isNull() ? control->rect().center() : at);
}

} // namespace

QPoint RowCentre(QListWidget* list, int row) {
    return list->visualItemRect(list->item(row)).center();
}

void Click(QWidget* control, QPoint at) {
    QTest::mouseClick(WindowOf(control), Qt::LeftButton, {}, InWindow(control, at));
}

void DoubleClick(QWidget* control, QPoint at) {
    QTest::mouseDClick(WindowOf(control), Qt::LeftButton, {}, InWindow(control, at));
}

void ClickRow(QListWidget* list, int row) {
    Click(list->viewport(), RowCentre(list, row));
}

void DoubleClickRow(QListWidget* list, int row) {
    DoubleClick(list->viewport(), RowCentre(list, row));
}

void Key(QWidget* window, int key) {
    QTest::keyClick(window->windowHandle(), static_cast<Qt::Key>(key));
}

QList<QByteArray> QueriesExceptPolls(TMainFormHarness& harness) {
    QList<QByteArray> queries = harness.NewQueries();
    queries.removeAll("cmd=bdcstatus");
    return queries;
}

} // namespace MainFormInput
