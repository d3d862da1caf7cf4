// kavrien-play-url: plays one URL (or file) in the client's player control, for a person to
// look at. Double click or F toggles full screen, Escape leaves it, a right click opens a
// menu. Usage: kavrien-play-url [--library-mouse] [--volume N] [--track N] <url>

#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: kavrien-play-url [--library-mouse] [--volume 0..200] [--track N] <url>\n"
                 "  --library-mouse  the library gets the mouse over the picture (mehLibrary)\n"
                 "  --volume N       volume in percent (default 100)\n"
                 "  --track N        position in the audio-track list (0 = Disable)\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // The library draws into an X11 window: ask for the xcb platform unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);

    QString url;
    bool libraryMouse = false;
    int volume = 100;
    int track = -1;
    const QStringList arguments = application.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--library-mouse"))
            libraryMouse = true;
        else if (argument == QLatin1String("--volume") && i + 1 < arguments.size())
            volume = arguments[++i].toInt();
        else if (argument == QLatin1String("--track") && i + 1 < arguments.size())
            track = arguments[++i].toInt();
        else if (argument.startsWith(QLatin1String("--")) || !url.isEmpty())
            return Usage();
        else
            url = argument;
    }
    if (url.isEmpty())
        return Usage();

    QWidget window;
    window.setWindowTitle(QStringLiteral("kavrien-play-url: ") + url);
    window.resize(800, 450);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* player = new TVlcPlayer(&window);
    layout->addWidget(player);

    // Full screen as the client does it: frameless on the whole screen, which needs no help
    // from a window manager.
    QRect normalGeometry;
    bool fullScreen = false;
    auto setFullScreen = [&](bool on) {
        if (on == fullScreen)
            return;
        fullScreen = on;
        if (on) {
            normalGeometry = window.geometry();
            window.setWindowFlag(Qt::FramelessWindowHint, true);
            window.setGeometry(window.screen()->geometry());
        } else {
            window.setWindowFlag(Qt::FramelessWindowHint, false);
            window.setGeometry(normalGeometry);
        }
        window.show();
        std::fprintf(stderr, "kavrien-play-url: full screen %s\n", on ? "on" : "off");
    };
    auto toggleFullScreen = [&] {
        setFullScreen(!fullScreen);
    };
    QMenu menu;
    menu.addAction(QStringLiteral("&Play"), [&] { player->Play(url); });
    menu.addAction(QStringLiteral("&Stop"), [&] { player->Stop(); });
    menu.addAction(QStringLiteral("&Fullscreen"), toggleFullScreen);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Exit"), &application, &QApplication::quit);
    player->PopupMenu = &menu;
    player->OnDblClick = [&](TVlcPlayer*) {
        toggleFullScreen();
    };
    new QShortcut(QKeySequence(Qt::Key_F), &window, toggleFullScreen);
    new QShortcut(QKeySequence(Qt::Key_Escape), &window, [&] { setFullScreen(false); });
    if (libraryMouse)
        player->SetMouseEventsHandler(mehLibrary);

    auto report = [](const char* what) {
        return [what](TVlcPlayer*) {
            std::fprintf(stderr, "kavrien-play-url: %s\n", what);
        };
    };
    player->OnMediaPlayerOpening = report("opening");
    player->OnMediaPlayerPlaying = report("playing");
    player->OnMediaPlayerStopped = report("stopped");
    player->OnMediaPlayerEndReached = report("ended");
    player->OnMediaPlayerEncounteredError = [player](TVlcPlayer*) {
        std::fprintf(stderr, "kavrien-play-url: error, \"%s\"\n", player->LastError().c_str());
    };

    window.show();
    player->GetLibrary()->AddOption("--verbose=0");
    if (track >= 0)
        player->GetLibrary()->AddOption("--audio-track=" + std::to_string(track));
    if (player->GetPlayer() == nullptr) {
        std::fprintf(stderr, "kavrien-play-url: the media library cannot be used: %s\n",
                     LibVlcError.empty() ? "no instance" : LibVlcError.c_str());
        return 1;
    }
    std::fprintf(stderr, "kavrien-play-url: libvlc %s from %s\n", LibVlcVersionText.c_str(),
                 LibVlcFolder.empty() ? "the system's search path" : LibVlcFolder.c_str());
    player->SetAudioVolume(volume);
    player->Play(url);
    return application.exec();
}
