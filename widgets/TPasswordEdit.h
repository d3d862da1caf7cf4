#pragma once

#include <QLineEdit>
#include <QStringList>

// A single-line edit whose text the platform masks with its own password character; the
// program still reads the text as typed.
class TPasswordEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TPasswordEdit(QWidget* parent = nullptr);

    // Preferred fonts, in order; the first one installed becomes the edit's font. A font
    // that the form holding the edit sets afterwards wins over this choice.
    static const QStringList PreferredFonts;

    // The first of the preferred fonts among the installed families, letter case ignored;
    // empty when none is installed.
    static QString FirstInstalledFont(const QStringList& installedFamilies);
};
