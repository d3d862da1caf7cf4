#include "widgets/TUnfocusedTrackBar.h"

#include "widgets/TThumbLengthStyle.h"

#include <QApplication>
#include <QWheelEvent>

TUnfocusedTrackBar::TUnfocusedTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 10);
    setValue(0);
    setSingleStep(1);
    setPageStep(2);
    setFocusPolicy(Qt::StrongFocus);
    SetTickStyle(TTickStyle::Auto);
    // Qt tells a widget that it got the focus but not where the focus came from; the
    // application's notice names both.
    connect(qApp, &QApplication::focusChanged, this, &TUnfocusedTrackBar::FocusChanged);
}

void TUnfocusedTrackBar::FocusChanged(QWidget* old, QWidget* now) {
    if (now != this || old == nullptr || old == this)
        return;
    // The notice comes after Qt has finished moving the focus here, so moving it back now
    // leaves no half-done change behind; a mouse press that brought the focus still
    // reaches the bar afterwards and drags the thumb.
    old->setFocus(Qt::OtherFocusReason);
}

void TUnfocusedTrackBar::wheelEvent(QWheelEvent* event) {
    // Ignored, the turn goes up to the parent as if the bar were not there.
    event->ignore();
}

void TUnfocusedTrackBar::SetThumbLength(int length) {
    thumbLength = length;
    if (thumbStyle == nullptr) {
        thumbStyle = new TThumbLengthStyle(length);
        thumbStyle->setParent(this); // a widget does not own the style it is given
        setStyle(thumbStyle);
    } else {
        thumbStyle->SetThumbThickness(length);
    }
    updateGeometry();
    update();
}

TTickStyle TUnfocusedTrackBar::TickStyle() const {
    return tickPosition() == QSlider::NoTicks ? TTickStyle::None : TTickStyle::Auto;
}

void TUnfocusedTrackBar::SetTickStyle(TTickStyle style) {
    if (style == TTickStyle::None) {
        setTickPosition(QSlider::NoTicks);
    } else {
        setTickPosition(QSlider::TicksBelow);
        setTickInterval(1);
    }
}
