#pragma once

#include <QWidget>
#include <functional>

// Lies over the picture and catches the mouse for the player control. It is an alien
// (non-native) child of the video window: it paints nothing and has no X window of its own,
// so the library's picture stays visible, while Qt still hands it the mouse events that
// arrive at the video window. Its context-menu event is left to the parents, where the
// control opens its menu. UI thread only.
class TVlcMouseOverlay : public QWidget {
public:
    explicit TVlcMouseOverlay(QWidget* parent);

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseDown;
    std::function<void(Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A left press that may still become a click when it is released over the overlay.
    bool Clicked = false;
};
