#pragma once

#include <QProxyStyle>

// The application's style with a thumb of a given thickness across a track bar.
class TThumbLengthStyle : public QProxyStyle {
    Q_OBJECT

public:
    explicit TThumbLengthStyle(int thickness);

    void SetThumbThickness(int thickness) { this->thickness = thickness; }

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

private:
    int thickness;
};
