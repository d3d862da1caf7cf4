#include "app/ApplicationTitle.h"

#include <QGuiApplication>

// Qt adds the display name to window titles that do not contain it already; the main
// window's caption always does, so its title shows unchanged.
void SetApplicationTitle(const QString& title) { QGuiApplication::setApplicationDisplayName(title); }

QString ApplicationTitle() { return QGuiApplication::applicationDisplayName(); }
