// The keys of the window and the mouse wheel.

#include "app/TMainForm.h"

#include "widgets/TUnfocusedTrackBar.h"

#include <QListWidget>
#include <QScrollBar>

void TMainForm::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
    const bool switchKeys = FullScreen && !ChannelListShown() && !PlayerControlsShown();
    switch (key) {
    case Qt::Key_Escape:
        StopPlayerBtnClick();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (shift & Qt::AltModifier)
            VlcPlayerDblClick();
        break;
    case Qt::Key_Down:
        if (switchKeys)
            PrevBtnClick();
        break;
    case Qt::Key_Up:
        if (switchKeys)
            NextBtnClick();
        break;
    case Qt::Key_Left:
        VolumeDown();
        break;
    case Qt::Key_Right:
        VolumeUp();
        break;
    default:
        break;
    }
}

bool TMainForm::MouseWheelHandler(QWidget* under, int delta) {
    // Over the channel list (its rows, its scroll bar) that can scroll, the list scrolls.
    for (QWidget* control = under; control != nullptr && control != this;
         control = control->parentWidget()) {
        if (control == ChannelList) {
            if (ChannelList->verticalScrollBar()->isVisible())
                return false;
            break;
        }
    }
    WheelVolume(delta);
    return true;
}

void TMainForm::WheelVolume(int delta) {
    // One step however far the wheel turned; less than a notch does nothing.
    const int notches = delta / 120;
    if (notches > 0)
        VolumeUp();
    else if (notches < 0)
        VolumeDown();
}

void TMainForm::VolumeDown() {
    if (VolumeBar == nullptr)
        return;
    const int position = VolumeBar->value();
    VolumeBar->setValue(position > 4 ? position - 5 : 0);
}

void TMainForm::VolumeUp() {
    if (VolumeBar == nullptr)
        return;
    const int position = VolumeBar->value();
    VolumeBar->setValue(position < 196 ? position + 5 : 200);
}
