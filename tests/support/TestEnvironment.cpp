#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

namespace TestEnvironment {

QString ConfigHome() {
    return qEnvironmentVariable("XDG_CONFIG_HOME");
}

void ClearSettingsStore() {
    QDir(ConfigHome() + QStringLiteral("/Tessaliq")).removeRecursively();
}

QString Display() {
    return qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen")
               ? QString()
               : qEnvironmentVariable("DISPLAY");
}

QString BuildDir() {
    return QStringLiteral(KAVRIEN_BUILD_DIR);
}
QString SourceDir() {
    return QStringLiteral(KAVRIEN_SOURCE_DIR);
}

} // namespace TestEnvironment
