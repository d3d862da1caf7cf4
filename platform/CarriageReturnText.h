#pragma once

#include <QString>

// The client's texts break lines with a lone carriage return. Qt's text layout only
// breaks at a line feed, so texts are converted where they are drawn, never where
// they are kept.
QString DisplayText(const QString& text);
