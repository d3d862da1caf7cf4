#pragma once

#include <QObject>

// The client's hints break their lines with a lone carriage return, which Qt's tooltip
// shows as one line. Installed once for the whole application, this shows every widget's
// tooltip that holds a carriage return with its line breaks; the widget's toolTip() keeps
// the text exactly as set.
class TToolTipFilter : public QObject {
    Q_OBJECT

public:
    // Called once by the program entry, after the application object exists; later calls
    // do nothing.
    static void Install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TToolTipFilter(QObject* parent);
};
