#include "widgets/ExecFile.h"

#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// RelaunchSelf starts this very test program again. The copy it starts finds this variable
// in the environment it inherited, writes down what it got, and ends before any test runs.
const char* const kProbeFile = "KAVRIEN_RELAUNCH_PROBE";
const char* const kProbeDescriptor = "KAVRIEN_RELAUNCH_DESCRIPTOR";

// Runs before main, with the program's arguments as glibc passes them to constructors.
__attribute__((constructor)) void AnswerRelaunchProbe(int argc, char** /*argv*/) {
    const char* file = std::getenv(kProbeFile);
    const char* descriptor = std::getenv(kProbeDescriptor);
    if (file == nullptr || descriptor == nullptr)
        return;
    if (FILE* out = std::fopen(file, "w")) {
        std::fprintf(out, "arguments=%d descriptor=%s", argc - 1,
                     fcntl(std::atoi(descriptor), F_GETFD) == -1 ? "closed" : "open");
        std::fclose(out);
    }
    _exit(0);
}

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

class ExecFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString Path(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
};

TEST_F(ExecFileTest, ReturnAtOnceDoesNotWaitForTheProgram) {
    // The program waits for a file that only appears after LaunchProgram has returned.
    const QString command =
        QStringLiteral("/bin/sh -c \"n=0; while [ ! -e '%1' ] && [ $n -lt 1200 ]; do sleep 0.05; "
                       "n=$((n+1)); done; touch '%2'\"")
            .arg(Path(QStringLiteral("go")), Path(QStringLiteral("done")));
    ASSERT_TRUE(LaunchProgram(command, 1, true));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("done"))));

    QFile go(Path(QStringLiteral("go")));
    ASSERT_TRUE(go.open(QIODevice::WriteOnly));
    go.close();
    EXPECT_TRUE(WaitUntil([this] { return QFile::exists(Path(QStringLiteral("done"))); }));
}

TEST_F(ExecFileTest, WithoutReturnAtOnceItWaitsForTheEnd) {
    const QString command =
        QStringLiteral("/bin/sh -c \"sleep 0.3; touch '%1'\"").arg(Path(QStringLiteral("done")));
    ASSERT_TRUE(LaunchProgram(command, 1, false));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("done"))));
}

TEST_F(ExecFileTest, TheProgramGetsItsArgumentsTheEnvironmentAndTheFolderButNoDescriptors) {
    QFile script(Path(QStringLiteral("report.sh")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("out=\"$1\"; shift\n"
                 "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; echo \"$KAVRIEN_MARK\";"
                 " pwd; if [ -e /proc/self/fd/$DESCRIPTOR ]; then echo open; else echo closed; fi;"
                 " } > \"$out\"\n");
    script.close();

    const int descriptor = ::open("/dev/null", O_RDONLY); // inheritable on purpose
    ASSERT_GE(descriptor, 3);
    qputenv("KAVRIEN_MARK", "inherited");
    qputenv("DESCRIPTOR", QByteArray::number(descriptor));
    const QString previousFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));

    const bool started =
        LaunchProgram(QStringLiteral("/bin/sh report.sh out.txt \"two words\" plain"), 1, false);

    QDir::setCurrent(previousFolder);
    qunsetenv("KAVRIEN_MARK");
    qunsetenv("DESCRIPTOR");
    ::close(descriptor);
    ASSERT_TRUE(started);
    EXPECT_EQ(ReadAll(Path(QStringLiteral("out.txt"))),
              QStringLiteral("2\n[two words]\n[plain]\ninherited\n%1\nclosed")
                  .arg(QDir(folder.path()).canonicalPath()));
}

TEST_F(ExecFileTest, AProgramThatCannotStartGivesFalse) {
    for (const bool atOnce : {true, false}) {
        EXPECT_FALSE(LaunchProgram(QStringLiteral("/nonexistent/kavrien-player"), 1, atOnce));
        EXPECT_FALSE(LaunchProgram(Path(QStringLiteral("missing")), 1, atOnce));
        EXPECT_FALSE(LaunchProgram(QString(), 1, atOnce));
        EXPECT_FALSE(LaunchProgram(QStringLiteral("   "), 1, atOnce));
    }
}

TEST_F(ExecFileTest, RelaunchSelfStartsThisProgramAgainWithoutArgumentsAfterAPause) {
    const QString probe = Path(QStringLiteral("relaunched.txt"));
    const int descriptor = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(descriptor, 3);
    qputenv(kProbeFile, QFile::encodeName(probe));
    qputenv(kProbeDescriptor, QByteArray::number(descriptor));

    QElapsedTimer clock;
    clock.start();
    RelaunchSelf();
    const qint64 elapsedMs = clock.elapsed();

    qunsetenv(kProbeFile);
    qunsetenv(kProbeDescriptor);
    ::close(descriptor);
    EXPECT_GE(elapsedMs, 100);
    ASSERT_TRUE(WaitUntil([&] { return !ReadAll(probe).isEmpty(); }))
        << "the relaunched copy never ran";
    EXPECT_EQ(ReadAll(probe), QStringLiteral("arguments=0 descriptor=closed"));
}

TEST(OpenDocumentTest, TargetsGoThroughTheReplaceableOpener) {
    QStringList opened;
    const TDocumentOpener desktop =
        SetDocumentOpener([&](const QString& target) { opened.push_back(target); });
    ASSERT_TRUE(desktop);

    OpenDocument(QStringLiteral("mailto:support@tessaliq.example"));
    OpenDocument(QStringLiteral("https://www.tessaliq.example/kavrien"));
    EXPECT_EQ(opened, (QStringList{QStringLiteral("mailto:support@tessaliq.example"),
                                   QStringLiteral("https://www.tessaliq.example/kavrien")}));

    // An empty opener puts the desktop's back.
    const TDocumentOpener ours = SetDocumentOpener({});
    ASSERT_TRUE(ours);
    EXPECT_TRUE(SetDocumentOpener(desktop));
}

} // namespace
