#pragma once

#include <QByteArray>
#include <QList>

// The items of a channel's language-list text: separated by "," or by blanks and other
// control characters, an item in double quotes may hold both (a doubled quote inside
// stands for one), and a "," at the very end adds one empty item.
QList<QByteArray> SplitLanguageList(const QByteArray& text);
