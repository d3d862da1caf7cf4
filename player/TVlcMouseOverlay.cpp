#include "player/TVlcMouseOverlay.h"

#include <QMouseEvent>

TVlcMouseOverlay::TVlcMouseOverlay(QWidget* parent) : QWidget(parent) {
    // Nothing of its own is ever drawn: no background, no paint.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    // Moves without a button pressed count too.
    setMouseTracking(true);
}

void TVlcMouseOverlay::paintEvent(QPaintEvent*) {}

void TVlcMouseOverlay::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        Clicked = true;
    if (OnMouseDown)
        OnMouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

// The second press of a double click: the double click, then a press of its own, but no
// click when it is released.
void TVlcMouseOverlay::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Clicked = false;
    if (event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick();
    if (OnMouseDown)
        OnMouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void TVlcMouseOverlay::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (OnMouseMove)
        OnMouseMove(event->buttons(), event->modifiers(), at.x(), at.y());
}

void TVlcMouseOverlay::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && Clicked) {
        Clicked = false;
        if (rect().contains(at) && OnClick)
            OnClick();
    }
    if (OnMouseUp)
        OnMouseUp(event->button(), event->modifiers(), at.x(), at.y());
}
