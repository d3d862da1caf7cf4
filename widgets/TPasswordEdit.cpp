#include "widgets/TPasswordEdit.h"

#include <QFontDatabase>

const QStringList TPasswordEdit::PreferredFonts = {
    QStringLiteral("Tahoma"), QStringLiteral("Arial"), QStringLiteral("MS Sans Serif")};

TPasswordEdit::TPasswordEdit(QWidget* parent) : QLineEdit(parent) {
    setEchoMode(QLineEdit::Password);
    const QString family = FirstInstalledFont(QFontDatabase::families());
    if (!family.isEmpty()) {
        QFont chosen = font();
        chosen.setFamily(family);
        setFont(chosen);
    }
}

QString TPasswordEdit::FirstInstalledFont(const QStringList& installedFamilies) {
    for (const QString& preferred : PreferredFonts) {
        for (const QString& installed : installedFamilies) {
            if (installed.compare(preferred, Qt::CaseInsensitive) == 0)
                return installed;
        }
    }
    return QString();
}
