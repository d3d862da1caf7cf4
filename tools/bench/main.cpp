// kavrien-zap-bench: how long the client takes from the watch action to the first picture
// of the new channel, against the same streams played straight through the media library.
// See --help.

#include "platform/ProcessExit.h"
#include "platform/TToolTipFilter.h"
#include "player/VlcBinding.h"
#include "tools/bench/BenchWait.h"
#include "tools/bench/TBenchService.h"
#include "tools/bench/TBenchXServer.h"
#include "tools/bench/TClientZapRun.h"
#include "tools/bench/TDirectZapRun.h"
#include "tools/bench/TFrameWatcher.h"
#include "tools/bench/TZapReport.h"
#include "widgets/TPopupListNotifier.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int SettleMs = 1500;
constexpr int CaptureMs = 600;
// How far apart two pictures must be, in units of a picture's noise (moving parts, clock).
constexpr double SeparationPerNoise = 6;

const char* const UsageText =
    R"(Usage: kavrien-zap-bench [options]

Signs in to the stand-in service with the client's main window (in this process), then
switches channels with the window's watch action and measures, per switch, the time from
the watch action to the first displayed frame of the new channel. Then it plays the same
stream URLs straight through the media library (a new instance with the same start options,
a new media player, the X window of a plain native widget, play) and measures them the same
way, from the first library call. Prints per-switch figures and the median and 90th
percentile of both and their ratio, to the first frame and to the library's video output.

The first displayed frame is read off the X server's screen pixels of the video area, on
a thread of its own, about every 2 ms: it is the first fetch that is clearly nearest to
the new channel's picture (learned beforehand by a direct play of each channel) rather than
to black, the empty video area or another channel.

Runs on $DISPLAY, or on an Xvfb of its own when DISPLAY is not set. Starts the stand-in
service itself (the build tree's kavrien-service with the demo data and content) and keeps
the client's settings in a temporary folder.

Options:
  --switches N     measured switches per run (default 20)
  --warmup K       switches at the start of each block that are not counted (default 2)
  --rounds R       the runs go in R rounds of blocks, in alternating order (client,
                   direct, direct, client, ...), so that a changing load weighs on both
                   alike (default 2)
  --channels LIST  channel ids to cycle through, comma-separated (default: all listed);
                   at least two, and neighbours must look different
  --dwell MS       how long each channel plays before the next switch (default 1000)
  --timeout MS     longest wait for a picture (default 20000)
  --grid MS        the i-th switch of every run starts at the same phase of a grid of this
                   period, the phases spread evenly (default 1000, the demo streams' key-frame
                   interval: a stream joined early or late in its group of pictures shows
                   its first frame sooner or later); 0: no grid
  --one-instance   also measure a direct play that keeps one instance and one media
                   player and only changes the item
  --user NAME      demo user to sign in as (default anna, an ordinary user)
  --password TEXT  its password (default the demo password of anna)
  --help           this text
)";

struct TOptions {
    int Switches = 20;
    int Warmup = 2;
    QList<QByteArray> Channels;
    int DwellMs = 1000;
    int TimeoutMs = 20000;
    int GridMs = 1000;
    int Rounds = 2;
    bool OneInstance = false;
    QString User = QStringLiteral("anna");
    QString Password = QStringLiteral("Sunflower-9");
};

// Ends the benchmark with a message; thrown, so that the service, the X server and the
// temporary settings go as the stack unwinds. Never thrown through the toolkit's code.
struct TBenchFailure {
    QString Text;
};

[[noreturn]] void Fail(const QString& text) {
    throw TBenchFailure{text};
}

// The settings folder of this run ($XDG_CONFIG_HOME), also for the one way out that does
// not unwind.
std::string TemporaryConfigHome;

int NumberArgument(const char* name, const char* value, int lowest) {
    char* end = nullptr;
    const long number = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || number < lowest || number > 100000)
        Fail(QStringLiteral("%1 wants a whole number from %2: %3")
                 .arg(QLatin1String(name))
                 .arg(lowest)
                 .arg(QLatin1String(value)));
    return int(number);
}

TOptions ParseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                Fail(QStringLiteral("%1 wants a value (see --help)")
                         .arg(QString::fromStdString(argument)));
            return argv[++i];
        };
        if (argument == "--switches") {
            options.Switches = NumberArgument("--switches", value(), 1);
        } else if (argument == "--warmup") {
            options.Warmup = NumberArgument("--warmup", value(), 0);
        } else if (argument == "--channels") {
            for (const QByteArray& cid : QByteArray(value()).split(','))
                if (!cid.trimmed().isEmpty())
                    options.Channels.append(cid.trimmed());
        } else if (argument == "--dwell") {
            options.DwellMs = NumberArgument("--dwell", value(), 0);
        } else if (argument == "--timeout") {
            options.TimeoutMs = NumberArgument("--timeout", value(), 1000);
        } else if (argument == "--rounds") {
            options.Rounds = NumberArgument("--rounds", value(), 1);
        } else if (argument == "--grid") {
            options.GridMs = NumberArgument("--grid", value(), 0);
        } else if (argument == "--one-instance") {
            options.OneInstance = true;
        } else if (argument == "--user") {
            options.User = QString::fromLocal8Bit(value());
        } else if (argument == "--password") {
            options.Password = QString::fromLocal8Bit(value());
        } else {
            Fail(QStringLiteral("unknown argument %1 (see --help)")
                     .arg(QString::fromStdString(argument)));
        }
    }
    return options;
}

void Say(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// Runs the UI thread's events until the i-th switch's phase of the grid comes.
void WaitForPhase(TFrameWatcher::TClock::time_point epoch, int gridMs, int i) {
    if (gridMs <= 0)
        return;
    // Spread evenly by the golden ratio, the same for the same i in every run.
    double fraction = std::fmod(i * 0.6180339887, 1.0);
    if (fraction < 0)
        fraction += 1.0;
    const auto phase = std::chrono::microseconds(std::int64_t(fraction * gridMs * 1000.0));
    const auto grid = std::chrono::milliseconds(gridMs);
    const auto now = TFrameWatcher::TClock::now();
    auto at = epoch + phase + ((now - epoch - phase) / grid) * grid;
    while (at < now)
        at += grid;
    RunEventsUntil([at] { return TFrameWatcher::TClock::now() >= at; }, gridMs + 1000);
}

// The client ends the process itself after a fatal error (a failed sign-in, a lost
// service); say so before it goes.
[[noreturn]] void ClientEndedProcess(int exitCode) {
    std::fprintf(stderr, "kavrien-zap-bench: the client ended the process with exit code %d\n",
                 exitCode);
    std::fflush(stdout);
    QDir(QString::fromStdString(TemporaryConfigHome)).removeRecursively();
    std::_Exit(exitCode == 0 ? 1 : exitCode);
}

// Teaches the watcher what the video area can show: black, its empty state with the logo,
// and each channel's picture, learned from a direct play in the same place. The channels'
// reference numbers.
QMap<QByteArray, int> LearnPictures(TFrameWatcher& watcher, TDirectZapRun& direct,
                                    const TBenchService& service, const QList<QByteArray>& channels,
                                    const QRect& region, int timeoutMs) {
    std::vector<TFrameWatcher::TPicture> references = {TFrameWatcher::Black()};
    watcher.SetRegion(region);
    RunEventsFor(300);
    references.push_back(watcher.Capture(QStringLiteral("empty video area"), CaptureMs));
    const int emptyArea = int(references.size()) - 1;
    QMap<QByteArray, int> pictures;
    if (!direct.ShowWindow(region))
        Fail(direct.Error());
    for (const QByteArray& cid : channels) {
        if (pictures.contains(cid))
            continue;
        const TFrameWatcher::TPicture picture =
            direct.Capture(QStringLiteral("channel ") + QString::fromLatin1(cid),
                           service.StreamUrl(cid), SettleMs, timeoutMs);
        if (!picture.IsValid())
            Fail(QStringLiteral("learning the pictures: ") + direct.Error());
        pictures.insert(cid, int(references.size()));
        references.push_back(picture);
    }
    direct.Release();
    direct.HideWindow();
    watcher.SetReferences(references);
    Say(QStringLiteral("libvlc %1; the pictures the video area can show (distances are "
                       "root-mean-square colour differences, 0 to 255):")
            .arg(QString::fromStdString(LibVlcVersionText)));
    references = watcher.References();
    for (std::size_t i = 0; i < references.size(); ++i) {
        double nearest = std::numeric_limits<double>::infinity();
        QString nearestName;
        for (std::size_t j = 0; j < references.size(); ++j)
            if (j != i && watcher.Distance(references[i], references[j]) < nearest) {
                nearest = watcher.Distance(references[i], references[j]);
                nearestName = references[j].Name;
            }
        Say(QStringLiteral("  %1: noise %2, nearest %3 at %4")
                .arg(references[i].Name.leftJustified(18))
                .arg(references[i].Noise, 5, 'f', 1)
                .arg(nearestName)
                .arg(nearest, 0, 'f', 1));
        // A fetch of a channel's picture must lie clearly nearer to it than to any other
        // picture (black and the empty area need not be told apart).
        if (int(i) > emptyArea && nearest < SeparationPerNoise * std::max(references[i].Noise, 1.0))
            Fail(QStringLiteral("%1 and %2 cannot be told apart reliably")
                     .arg(references[i].Name, nearestName));
    }
    if (watcher.NearestNow() != emptyArea)
        Fail(QStringLiteral("the video area does not show its empty state after learning"));
    return pictures;
}

void Run(int argc, char** argv) {
    const TOptions options = ParseOptions(argc, argv);
    const QString configHome = QString::fromStdString(TemporaryConfigHome);

    TBenchXServer xServer;
    if (!xServer.Start())
        Fail(xServer.Error());
    TBenchService service;
    if (!service.Start(QStringLiteral(KAVRIEN_SERVICE_PROGRAM), QStringLiteral(KAVRIEN_DEMO_DATA),
                       QStringLiteral(KAVRIEN_DEMO_CONTENT)))
        Fail(service.Error());

    QApplication application(argc, argv);
    // As the program entry sets the application up.
    QApplication::setQuitOnLastWindowClosed(false);
    TPopupListNotifier::Install();
    TToolTipFilter::Install();
    SetProcessExitHandler(&ClientEndedProcess);

    TFrameWatcher watcher;
    if (!watcher.Open())
        Fail(watcher.Error());
    TClientZapRun client(watcher);
    if (!client.SignIn(service.ApiBaseUrl(), service.CaFile(), options.User, options.Password))
        Fail(client.Error() + QStringLiteral(" ") + client.Messages().join(QLatin1Char(' ')));

    // The channels and their rows.
    QList<QByteArray> channels =
        options.Channels.isEmpty() ? client.ChannelIds() : options.Channels;
    QList<int> rows;
    for (const QByteArray& cid : channels) {
        const int row = int(client.ChannelIds().indexOf(cid));
        if (row < 0)
            Fail(QStringLiteral("channel %1 is not in the list").arg(QString::fromLatin1(cid)));
        rows.append(row);
    }
    if (channels.size() < 2)
        Fail(QStringLiteral("at least two channels are needed: the new channel's picture is "
                            "told from the old one's"));

    const QRect region = client.VideoRegion();
    Say(QStringLiteral("kavrien-zap-bench: %1 switches (after %2 warm-up) over channels %3, "
                       "signed in as %4")
            .arg(options.Switches)
            .arg(options.Warmup)
            .arg(QString::fromLatin1(channels.join(' ')), options.User));
    Say(QStringLiteral("X server %1 (%2), video area %3x%4 at %5,%6; load average %7; %8 "
                       "processors")
            .arg(xServer.Display(),
                 xServer.IsOwn() ? QStringLiteral("own Xvfb") : QStringLiteral("given"))
            .arg(region.width())
            .arg(region.height())
            .arg(region.x())
            .arg(region.y())
            .arg(LoadAverage())
            .arg(sysconf(_SC_NPROCESSORS_ONLN)));

    TDirectZapRun direct(watcher);
    const QMap<QByteArray, int> pictures =
        LearnPictures(watcher, direct, service, channels, region, options.TimeoutMs);

    auto check = [&](const TZapTimes& times, const QString& run, int i) {
        if (!times.Error.isEmpty())
            Fail(QStringLiteral("%1, switch %2 to channel %3: %4")
                     .arg(run)
                     .arg(i + 1)
                     .arg(QString::fromLatin1(times.Cid), times.Error) +
                 QStringLiteral(" (ms: reply %1, player %2, media %3, vout %4, picture %5)")
                     .arg(times.ReplyMs)
                     .arg(times.PlayerMs)
                     .arg(times.MediaMs)
                     .arg(times.VoutMs)
                     .arg(times.FrameMs));
    };

    // The runs go in blocks, in rounds of alternating order (client, direct, direct,
    // client, ...), so that a load that changes slowly weighs on both alike. The i-th
    // switch of every run goes to the same channel at the same phase of the grid. Each
    // block starts without a player and with K switches that do not count.
    enum class TKind { Client, Direct, OneInstance };
    std::vector<TKind> kinds = {TKind::Client, TKind::Direct};
    if (options.OneInstance)
        kinds.push_back(TKind::OneInstance);
    TZapReport report;
    auto runOf = [&](TKind kind) -> std::vector<TZapTimes>& {
        return kind == TKind::Client   ? report.Client
               : kind == TKind::Direct ? report.Direct
                                       : report.OneInstance;
    };
    for (TKind kind : kinds)
        runOf(kind).assign(std::size_t(options.Switches), TZapTimes());
    QMap<QByteArray, TClientZapRun::TPlayed> played;
    bool signedIn = true;
    const auto epoch = TFrameWatcher::TClock::now();
    const int count = int(channels.size());

    auto runBlock = [&](TKind kind, int from, int to) {
        const QString name = kind == TKind::Client   ? QStringLiteral("client")
                             : kind == TKind::Direct ? QStringLiteral("direct")
                                                     : QStringLiteral("direct, one instance");
        Say(QStringLiteral("%1: switches %2 to %3").arg(name).arg(from + 1).arg(to));
        if (kind == TKind::Client && !signedIn) {
            // As at the first sign-in: no stored last channel to restore.
            QDir(configHome + QStringLiteral("/Tessaliq")).removeRecursively();
            if (!client.SignIn(service.ApiBaseUrl(), service.CaFile(), options.User,
                               options.Password))
                Fail(client.Error() + QStringLiteral(" ") +
                     client.Messages().join(QLatin1Char(' ')));
            signedIn = true;
        }
        if (kind != TKind::Client && !direct.ShowWindow(region))
            Fail(direct.Error());
        for (int i = from - options.Warmup; i < to; ++i) {
            const int index = ((i % count) + count) % count;
            const QByteArray& cid = channels[index];
            // Each channel plays a while before the next switch, as a viewer looks at it.
            if (i > from - options.Warmup)
                RunEventsFor(options.DwellMs);
            // A direct play frees the old stream first, as the client does, but outside
            // the switch's time.
            const double teardownMs = kind == TKind::Direct ? direct.Teardown() : TZapTimes::None;
            WaitForPhase(epoch, options.GridMs, i);
            TZapTimes times;
            if (kind == TKind::Client) {
                times = client.Switch(rows[index], pictures[cid], options.TimeoutMs);
                played.insert(cid, client.LastPlayed());
                if (played[cid].Url != service.StreamUrl(cid) && i >= from)
                    times.Remark = QStringLiteral("played ") + QString::fromLatin1(played[cid].Url);
            } else {
                if (!played.contains(cid))
                    Fail(QStringLiteral("the client has not played channel %1 yet: more "
                                        "switches per round are needed")
                             .arg(QString::fromLatin1(cid)));
                times = direct.Switch(played[cid], pictures[cid], kind == TKind::OneInstance,
                                      options.TimeoutMs);
                times.TeardownMs = teardownMs;
                times.Cid = cid;
            }
            check(times, name, i);
            if (!std::isnan(times.VoutMs) && times.FrameMs < times.VoutMs)
                times.Remark = QStringLiteral("picture before the video output?");
            if (i >= from)
                runOf(kind)[std::size_t(i)] = times;
        }
        RunEventsFor(options.DwellMs);
        if (kind == TKind::Client) {
            // No instance of the client's may stay: while one lives, the library keeps
            // its modules loaded, and a direct play's new instance would start warm.
            client.StopPlayback();
            client.Close();
            signedIn = false;
        } else {
            direct.Release();
            direct.HideWindow();
        }
    };
    for (int round = 0; round < options.Rounds; ++round) {
        const int from = options.Switches * round / options.Rounds;
        const int to = options.Switches * (round + 1) / options.Rounds;
        if (from == to)
            continue;
        std::vector<TKind> order = kinds;
        if (round % 2 == 1)
            std::reverse(order.begin(), order.end());
        for (TKind kind : order)
            runBlock(kind, from, to);
    }

    report.Notes.prepend(
        QStringLiteral(
            "First displayed frame: the X server's own screen pixels of the video area (eight "
            "rows, fetched on a thread of their own about every %1 ms and reduced to a coarse "
            "picture) are first clearly nearest to the new channel's picture, learned "
            "beforehand, rather than to black, the empty area or another channel. 'to vout' "
            "ends at the library's video-output event (libvlc_MediaPlayerVout), 'media' and "
            "'library' at its media-changed event.")
            .arg(watcher.MeanSamplePeriodMs(), 0, 'f', 2));
    for (auto it = played.cbegin(); it != played.cend(); ++it) {
        QStringList list;
        for (const std::string& argument : it.value().Arguments)
            list.append(QString::fromStdString(argument));
        report.Notes.append(
            QStringLiteral("Start options for channel %1: ").arg(QString::fromLatin1(it.key())) +
            list.join(QLatin1Char(' ')));
    }
    report.Notes.append(QStringLiteral("load average at the end: ") + LoadAverage());
    report.Print();
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(UsageText, stdout);
            return 0;
        }
    // The client stores its settings as it runs: a store of the benchmark's own.
    char configPattern[] = "/tmp/kavrien-zap-bench-config-XXXXXX";
    if (mkdtemp(configPattern) == nullptr) {
        std::fprintf(stderr, "kavrien-zap-bench: no temporary folder: %s\n", std::strerror(errno));
        return 1;
    }
    TemporaryConfigHome = configPattern;
    setenv("XDG_CONFIG_HOME", configPattern, 1);
    int result = 0;
    try {
        Run(argc, argv);
    } catch (const TBenchFailure& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "kavrien-zap-bench: %s\n", failure.Text.toLocal8Bit().constData());
        result = 1;
    }
    QDir(QString::fromLocal8Bit(configPattern)).removeRecursively();
    return result;
}
