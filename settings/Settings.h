#pragma once

#include <QString>

// The user's preferences: ten text values in the store of organisation "Tessaliq",
// application "Kavrien" (on Linux $XDG_CONFIG_HOME/Tessaliq/Kavrien.conf). There is no
// cache: every read and every write opens the store, and a write is on disk before it
// returns. Failures are silent; a value that cannot be read gives its default.

QString ReadSetting(const QString& name);
bool WriteSetting(const QString& name, const QString& value);
bool ReadBoolSetting(const QString& name, bool defaultValue);
bool WriteBoolSetting(const QString& name, bool value);
int ReadIntSetting(const QString& name, int defaultValue);
bool WriteIntSetting(const QString& name, int value);

// One accessor pair per value, fixing its name, kind and default.
QString ReadDefLang();
bool WriteDefLang(const QString& value);
bool ReadCloseOnExit();
bool WriteCloseOnExit(bool value);
bool ReadUseMpeg2();
bool WriteUseMpeg2(bool value);
QString ReadLastUser();
bool WriteLastUser(const QString& value);
bool ReadInitFullScreen();
bool WriteInitFullScreen(bool value);
QString ReadAspectRatio();
bool WriteAspectRatio(const QString& value);
bool ReadStatusPanelState();
bool WriteStatusPanelState(bool value);
bool ReadPlayerControlsState();
bool WritePlayerControlsState(bool value);
QString ReadLastCid();
bool WriteLastCid(const QString& value);
int ReadLastVol();
bool WriteLastVol(int value);

// Where the store lives, for tests and diagnostics.
QString SettingsFilePath();
