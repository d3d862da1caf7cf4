#pragma once

#include <QString>

// The application title: the text of the program's taskbar entry and the title of the
// main window's message boxes. It follows the main window's caption.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();
