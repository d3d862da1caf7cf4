#include "settings/Settings.h"

#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace {

const char* const kOrganisation = "Tessaliq";
const char* const kApplication = "Kavrien";

// A value written by hand or by another program may hold any type; read it as text
// up to its first zero character, as a raw stored value would be read.
QString TextOf(const QVariant& value) {
    QString text;
    switch (value.typeId()) {
    case QMetaType::QString:
        text = value.toString();
        break;
    case QMetaType::QByteArray:
        text = QString::fromUtf8(value.toByteArray());
        break;
    case QMetaType::QStringList:
        // An unquoted value with commas comes back as a list; it was one text.
        text = value.toStringList().join(QLatin1String(", "));
        break;
    default:
        text = value.canConvert<QString>() ? value.toString() : QString();
        break;
    }
    const qsizetype zero = text.indexOf(QChar(0));
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

} // namespace

QString SettingsFilePath() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
    return store.fileName();
}

QString ReadSetting(const QString& name) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
    return TextOf(store.value(name));
}

bool WriteSetting(const QString& name, const QString& value) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
    // The store is tiny; its old bytes are kept in hand because Qt replaces a file it
    // cannot parse by the values it could read, and the user's file should survive that.
    QByteArray before;
    {
        QFile file(store.fileName());
        if (file.open(QIODevice::ReadOnly))
            before = file.readAll();
    }
    store.setValue(name, value);
    store.sync();
    if (store.status() == QSettings::FormatError) {
        QFile keep(store.fileName() + QStringLiteral(".damaged"));
        if (keep.open(QIODevice::WriteOnly | QIODevice::Truncate))
            keep.write(before);
        QSettings reread(QSettings::NativeFormat, QSettings::UserScope, kOrganisation,
                         kApplication);
        return reread.status() == QSettings::NoError && reread.value(name).toString() == value;
    }
    return store.status() == QSettings::NoError;
}

bool ReadBoolSetting(const QString& name, bool defaultValue) {
    const QString text = ReadSetting(name);
    bool isNumber = false;
    const double number = QLocale().toDouble(text, &isNumber);
    if (isNumber)
        return number != 0.0;
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return defaultValue;
}

bool WriteBoolSetting(const QString& name, bool value) {
    return WriteSetting(name, value ? QStringLiteral("-1") : QStringLiteral("0"));
}

int ReadIntSetting(const QString& name, int defaultValue) {
    bool ok = false;
    const int value = ReadSetting(name).toInt(&ok, 10);
    return ok ? value : defaultValue;
}

bool WriteIntSetting(const QString& name, int value) {
    return WriteSetting(name, QString::number(value));
}

QString ReadDefLang() {
    return ReadSetting(QStringLiteral("DefLang"));
}
bool WriteDefLang(const QString& value) {
    return WriteSetting(QStringLiteral("DefLang"), value);
}
bool ReadCloseOnExit() {
    return ReadBoolSetting(QStringLiteral("CloseOnExit"), false);
}
bool WriteCloseOnExit(bool value) {
    return WriteBoolSetting(QStringLiteral("CloseOnExit"), value);
}
bool ReadUseMpeg2() {
    return ReadBoolSetting(QStringLiteral("UseMpeg2"), true);
}
bool WriteUseMpeg2(bool value) {
    return WriteBoolSetting(QStringLiteral("UseMpeg2"), value);
}
QString ReadLastUser() {
    return ReadSetting(QStringLiteral("LastUser"));
}
bool WriteLastUser(const QString& value) {
    return WriteSetting(QStringLiteral("LastUser"), value);
}
bool ReadInitFullScreen() {
    return ReadBoolSetting(QStringLiteral("InitFullScreen"), false);
}
bool WriteInitFullScreen(bool value) {
    return WriteBoolSetting(QStringLiteral("InitFullScreen"), value);
}
QString ReadAspectRatio() {
    return ReadSetting(QStringLiteral("AspectRatio"));
}
bool WriteAspectRatio(const QString& value) {
    return WriteSetting(QStringLiteral("AspectRatio"), value);
}
bool ReadStatusPanelState() {
    return ReadBoolSetting(QStringLiteral("StatusPanelState"), true);
}
bool WriteStatusPanelState(bool value) {
    return WriteBoolSetting(QStringLiteral("StatusPanelState"), value);
}
bool ReadPlayerControlsState() {
    return ReadBoolSetting(QStringLiteral("PlayerControlsState"), true);
}
bool WritePlayerControlsState(bool value) {
    return WriteBoolSetting(QStringLiteral("PlayerControlsState"), value);
}
QString ReadLastCid() {
    return ReadSetting(QStringLiteral("LastCid"));
}
bool WriteLastCid(const QString& value) {
    return WriteSetting(QStringLiteral("LastCid"), value);
}
int ReadLastVol() {
    return ReadIntSetting(QStringLiteral("LastVol"), 100);
}
bool WriteLastVol(int value) {
    return WriteIntSetting(QStringLiteral("LastVol"), value);
}
