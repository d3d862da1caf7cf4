#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The real client (or another program of the build) running on the test's X server, driven
// with real input through xdotool (XTEST) and looked at with ImageMagick's import.
class TProgramUnderTest {
public:
    // The program runs with the test's display and settings folder and these extra variables.
    explicit TProgramUnderTest(const QString& program,
                               const QProcessEnvironment& extra = QProcessEnvironment());
    ~TProgramUnderTest(); // kills the program if it still runs
    TProgramUnderTest(const TProgramUnderTest&) = delete;
    TProgramUnderTest& operator=(const TProgramUnderTest&) = delete;

    bool Start(const QStringList& arguments = {});
    qint64 Pid() const { return process.processId(); }
    bool IsRunning() const { return process.state() != QProcess::NotRunning; }
    // The exit code, or -1 when the program did not end in time (or crashed).
    int WaitForExit(int timeoutMs = 20000);
    // What it (and any copy it started) wrote to stdout and stderr so far. The output goes to
    // a file, not a pipe: a copy started by the program outlives it and must not lose its
    // standard streams when this side stops reading.
    QByteArray Output();
    // Signs in through the login dialog with real key presses: the main window that then
    // opens ("Kavrien Player (user)"), or 0 when either window did not come.
    unsigned long SignIn(const QString& user, const QString& password);

    // -- X windows of any program on the display (ids as xdotool gives them)
    // The first visible window whose name matches the regular expression, or 0.
    static unsigned long FindWindow(const QString& nameRegex, int timeoutMs = 20000,
                                    qint64 pid = 0);
    // Waits until no visible window matches.
    static bool WaitForWindowGone(const QString& nameRegex, int timeoutMs = 20000);
    static QString WindowName(unsigned long window);
    static qint64 WindowPid(unsigned long window);
    static QRect WindowGeometry(unsigned long window);
    static bool IsWindowVisible(unsigned long window);
    static void Focus(unsigned long window);
    static void Type(unsigned long window, const QString& text);
    // Keys in xdotool's names: "Return", "alt+Return", "Escape", "Left".
    static void Key(unsigned long window, const QString& keys);
    // Moves the pointer to a point of the window and clicks (button 1 left, 3 right).
    static void Click(unsigned long window, int x, int y, int button = 1, int repeat = 1);
    static void MoveMouse(unsigned long window, int x, int y);
    static QImage Grab(unsigned long window);
    static QImage GrabScreen();
    // Runs xdotool with the arguments; its standard output.
    static QByteArray XDoTool(const QStringList& arguments, int* exitCode = nullptr);

private:
    QString program;
    QString outputFile;
    QProcess process;
};

// Counts (on a grid of every second pixel) the pixels of a region that are bright or
// coloured, not near black: a rough "a picture is drawn here" measure for screenshots.
int CountColourfulPixels(const QImage& image, const QRect& region = QRect());
