#include "widgets/TThumbLengthStyle.h"

// Without a base style the proxy makes its own copy of the application's style.
TThumbLengthStyle::TThumbLengthStyle(int thickness) : thickness(thickness) {}

int TThumbLengthStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                   const QWidget* widget) const {
    if (metric == PM_SliderThickness || metric == PM_SliderControlThickness)
        return thickness;
    return QProxyStyle::pixelMetric(metric, option, widget);
}
