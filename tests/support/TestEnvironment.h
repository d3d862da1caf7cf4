#pragma once

#include <QString>

// Set up by the test main before the Qt application exists.
namespace TestEnvironment {

// The temporary folder that stands in for $XDG_CONFIG_HOME for this test process.
QString ConfigHome();

// Removes the settings store so that the next test starts without one.
void ClearSettingsStore();

// The X display the test runs on (":N"), empty on the offscreen platform.
QString Display();

// The folder of the build tree's programs (the client, the stand-in service), given to
// the tests by CMake.
QString BuildDir();
QString SourceDir();

} // namespace TestEnvironment
