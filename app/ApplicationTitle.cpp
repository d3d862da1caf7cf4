#include "app/ApplicationTitle.h"

namespace {

// UI thread only. Kept here, not as Qt's application display name: on X11 Qt appends the
// display name to the title of every window whose title does not end with it, so a
// message box titled "Error" would show as "Error — Kavrien Player (anna)".
QString& Title() {
    static QString title;
    return title;
}

} // namespace

void SetApplicationTitle(const QString& title) {
    Title() = title;
}

QString ApplicationTitle() {
    return Title();
}
