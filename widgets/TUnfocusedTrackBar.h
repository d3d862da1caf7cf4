#pragma once

#include <QSlider>

class TThumbLengthStyle;

// How the track bar marks its positions.
enum class TTickStyle {
    None, // no tick marks
    Auto, // a mark below the bar at every line step
};

// A track bar that never keeps the keyboard focus: when it receives the focus from another
// widget, it gives the focus straight back, so the keys stay with the control that had
// them. The mouse and the program still move it. When the focus comes from no widget (the
// window was activated with the bar as its focus), the bar keeps it.
//
// The wheel, like the keys, belongs to the control with the focus: wheel turns over the bar
// go on to its parent (the window handles them) instead of moving the bar.
//
// Defaults: horizontal, range 0 to 10, position 0, line step 1, page step 2, ticks below at
// every line step, reachable with Tab (which at once hands the focus back).
class TUnfocusedTrackBar : public QSlider {
    Q_OBJECT

public:
    explicit TUnfocusedTrackBar(QWidget* parent = nullptr);

    // The thumb's size across the bar, in pixels (20 unless set). Until it is set the
    // style's own thumb is drawn; once set, the thumb is drawn that thick.
    int ThumbLength() const { return thumbLength; }
    void SetThumbLength(int length);

    // The same as tickPosition() NoTicks (None) or TicksBelow (Auto).
    TTickStyle TickStyle() const;
    void SetTickStyle(TTickStyle style);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void FocusChanged(QWidget* old, QWidget* now);

    int thumbLength = 20;
    TThumbLengthStyle* thumbStyle = nullptr; // owned as a child; null until a length is set
};
