#include "tests/support/TProgramUnderTest.h"

#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QFile>
#include <QRect>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>

TProgramUnderTest::TProgramUnderTest(const QString& program, const QProcessEnvironment& extra)
    : program(program) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const QString& name : extra.keys())
        environment.insert(name, extra.value(name));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    static int started = 0;
    outputFile = QStringLiteral("%1/program-output-%2.txt")
                     .arg(TestEnvironment::ConfigHome())
                     .arg(++started);
    process.setStandardOutputFile(outputFile);
}

TProgramUnderTest::~TProgramUnderTest() {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool TProgramUnderTest::Start(const QStringList& arguments) {
    process.start(program, arguments);
    return process.waitForStarted(10000);
}

int TProgramUnderTest::WaitForExit(int timeoutMs) {
    if (!WaitUntil([this] { return process.state() == QProcess::NotRunning; }, timeoutMs))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray TProgramUnderTest::Output() {
    QFile file(outputFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray TProgramUnderTest::XDoTool(const QStringList& arguments, int* exitCode) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForStarted(5000)) {
        std::fprintf(stderr,
                     "This test needs xdotool (package xdotool), which could not be run.\n");
        if (exitCode != nullptr)
            *exitCode = -1;
        return QByteArray();
    }
    tool.waitForFinished(20000);
    if (exitCode != nullptr)
        *exitCode = tool.exitCode();
    return tool.readAllStandardOutput();
}

unsigned long TProgramUnderTest::SignIn(const QString& user, const QString& password) {
    const unsigned long login = FindWindow("^Kavrien Login", 30000, Pid());
    if (login == 0)
        return 0;
    Type(login, user);
    Key(login, "Tab");
    Type(login, password);
    Key(login, "Return");
    return FindWindow("^Kavrien Player \\(" + QRegularExpression::escape(user) + "\\)$", 30000,
                      Pid());
}

unsigned long TProgramUnderTest::FindWindow(const QString& nameRegex, int timeoutMs, qint64 pid) {
    unsigned long found = 0;
    WaitUntil(
        [&] {
            QStringList arguments{QStringLiteral("search"), QStringLiteral("--onlyvisible")};
            // Conditions are alternatives unless "--all" says that each must hold.
            if (pid > 0)
                arguments << QStringLiteral("--all") << QStringLiteral("--pid")
                          << QString::number(pid);
            arguments << QStringLiteral("--name") << nameRegex;
            const QList<QByteArray> ids = XDoTool(arguments).split('\n');
            for (const QByteArray& id : ids) {
                if (!id.trimmed().isEmpty()) {
                    found = id.trimmed().toULong();
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool TProgramUnderTest::WaitForWindowGone(const QString& nameRegex, int timeoutMs) {
    return WaitUntil(
        [&] {
            return XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--name"), nameRegex})
                .trimmed()
                .isEmpty();
        },
        timeoutMs);
}

QString TProgramUnderTest::WindowName(unsigned long window) {
    return QString::fromUtf8(
        XDoTool({QStringLiteral("getwindowname"), QString::number(window)}).trimmed());
}

qint64 TProgramUnderTest::WindowPid(unsigned long window) {
    return XDoTool({QStringLiteral("getwindowpid"), QString::number(window)})
        .trimmed()
        .toLongLong();
}

QRect TProgramUnderTest::WindowGeometry(unsigned long window) {
    // "--shell" prints X=, Y=, WIDTH=, HEIGHT= lines.
    const QList<QByteArray> lines = XDoTool({QStringLiteral("getwindowgeometry"),
                                             QStringLiteral("--shell"), QString::number(window)})
                                        .split('\n');
    int x = 0, y = 0, w = 0, h = 0;
    for (const QByteArray& line : lines) {
        const int eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const int value = line.mid(eq + 1).toInt();
        if (key == "X")
            x = value;
        else if (key == "Y")
            y = value;
        else if (key == "WIDTH")
            w = value;
        else if (key == "HEIGHT")
            h = value;
    }
    return QRect(x, y, w, h);
}

bool TProgramUnderTest::IsWindowVisible(unsigned long window) {
    const QList<QByteArray> ids =
        XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--name"), QStringLiteral(".*")})
            .split('\n');
    for (const QByteArray& id : ids) {
        if (id.trimmed().toULong() == window)
            return true;
    }
    return false;
}

void TProgramUnderTest::Focus(unsigned long window) {
    XDoTool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)});
}

void TProgramUnderTest::Type(unsigned long window, const QString& text) {
    Focus(window);
    XDoTool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

void TProgramUnderTest::Key(unsigned long window, const QString& keys) {
    Focus(window);
    XDoTool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"), keys});
}

void TProgramUnderTest::MoveMouse(unsigned long window, int x, int y) {
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"),
             QString::number(window), QString::number(x), QString::number(y)});
}

void TProgramUnderTest::Click(unsigned long window, int x, int y, int button, int repeat) {
    MoveMouse(window, x, y);
    XDoTool({QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat),
             QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button)});
}

namespace {
QImage ImportPng(const QString& window) {
    QProcess import;
    import.start(QStringLiteral("import"),
                 {QStringLiteral("-window"), window, QStringLiteral("png:-")});
    if (!import.waitForStarted(5000)) {
        std::fprintf(stderr, "This test needs ImageMagick's import (package imagemagick).\n");
        return QImage();
    }
    import.waitForFinished(20000);
    return QImage::fromData(import.readAllStandardOutput(), "PNG");
}
} // namespace

QImage TProgramUnderTest::Grab(unsigned long window) {
    return ImportPng(QString::number(window));
}

QImage TProgramUnderTest::GrabScreen() {
    return ImportPng(QStringLiteral("root"));
}

int CountColourfulPixels(const QImage& image, const QRect& region) {
    const QRect area = region.isNull() ? image.rect() : region.intersected(image.rect());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); y += 2) {
        for (int x = area.left(); x <= area.right(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            const int spread =
                std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
            if (spread > 40 || c.value() > 60)
                ++count;
        }
    }
    return count;
}
