// kavrien-service: the stand-in for the Kavrien service that the client's tests and the demo
// run against. See --help.

#include "TApiServer.h"
#include "TBroadcast.h"
#include "TChildProcess.h"
#include "TControlServer.h"
#include "TReplyScript.h"
#include "TRequestLog.h"
#include "TServiceData.h"
#include "TStreamServer.h"
#include "TestCertificates.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

const char* const Usage =
    R"(Usage: kavrien-service --data <folder> --tls-dir <folder> --content <folder>
                       [--api-port N] [--control-port N] [--stream-port N]
                       [--ports-file F]

The stand-in for the Kavrien service: the API over HTTPS, live streams over HTTP and a
control interface for tests, all on 127.0.0.1 only.

  --data <folder>      users.txt (name:password:admin|user) and channels.txt
                       (id;name;languages, languages as ISO 639-1 codes joined by ",");
                       lines starting with # are comments. tools/demo-data is the demo set.
  --tls-dir <folder>   ca.pem, server.pem, server.key; a test CA and a certificate for
                       127.0.0.1 and localhost are made there with openssl when missing.
                       Clients trust ca.pem (the client reads it from KAVRIEN_CA_FILE).
  --content <folder>   <cid>.ts per channel (cid percent-encoded), an MPEG-TS file that
                       loops seamlessly: H.264 video, one audio track per language in the
                       channel's order. scripts/make-demo-content makes them.
  --api-port N         HTTPS port of the API (default 0: a free port)
  --control-port N     HTTP port of the control interface (default 0: a free port)
  --stream-port N      HTTP port of the live streams (default 0: a free port)
  --ports-file F       also write the ports line (below) to F
  --help               this text

Once listening, prints one line to stdout:
  kavrien-service api=https://127.0.0.1:P/admin/api.php? control=http://127.0.0.1:C stream=http://127.0.0.1:S ca=<ca.pem>
and runs until SIGTERM or SIGINT.

API: GET /admin/api.php?<query> with HTTP Basic authentication.
  No credentials: 401 Unauthorized. Wrong credentials: cmd=test answers DENIED, every
  other command ACC. The first reply sets the session cookie KAVSESSION.
  cmd=test                      OK
  cmd=getperms                  admin | user
  cmd=listnew                   id;name;languages; for every channel
  cmd=link&cid=C&us=0           the channel's source stream URL
  cmd=startbdc&cid=C&lang=L     administrators: makes C in L the broadcast (a new URL for
                                every new broadcast) and answers its URL; others ACC
  cmd=stopbdc                   administrators: ends the broadcast, answers stopped
  cmd=bdcstatus                 1;cid;lang;url while a broadcast runs, else 0;
  a missing parameter NPA, an unknown channel or language ERR, an unknown command UC.

Streams (endless MPEG-TS at real-time rate, starting on a key frame):
  /live/<cid>.ts                a channel with all its audio tracks
  /broadcast/<n>.ts             the broadcast: its video and its language's audio

)";

struct TOptions {
    std::string Data, TlsDir, Content, PortsFile;
    int ApiPort = 0, ControlPort = 0, StreamPort = 0;
};

bool ParsePort(const char* text, int& port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

// 0 to run, 1 after a usage error, 2 after --help.
int ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            std::fputs(TControlServer::Help(), stdout);
            return 2;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "kavrien-service: %s needs a value (see --help)\n", arg.c_str());
            return 1;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--data")
            options.Data = value;
        else if (arg == "--tls-dir")
            options.TlsDir = value;
        else if (arg == "--content")
            options.Content = value;
        else if (arg == "--ports-file")
            options.PortsFile = value;
        else if (arg == "--api-port")
            ok = ParsePort(value, options.ApiPort);
        else if (arg == "--control-port")
            ok = ParsePort(value, options.ControlPort);
        else if (arg == "--stream-port")
            ok = ParsePort(value, options.StreamPort);
        else {
            std::fprintf(stderr, "kavrien-service: unknown option %s (see --help)\n", arg.c_str());
            return 1;
        }
        if (!ok) {
            std::fprintf(stderr, "kavrien-service: %s needs a port number, not %s\n", arg.c_str(),
                         value);
            return 1;
        }
    }
    if (options.Data.empty() || options.TlsDir.empty() || options.Content.empty()) {
        std::fprintf(stderr, "kavrien-service: --data, --tls-dir and --content are required "
                             "(see --help)\n");
        return 1;
    }
    return 0;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "kavrien-service: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (const int parsed = ParseOptions(argc, argv, options); parsed != 0)
        return parsed == 2 ? 0 : 1;

    // Writes to connections that clients closed must fail, not kill the service. The stop
    // signals are taken by sigwait below; every thread started later inherits the mask.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::string error;
    TServiceData data;
    if (!data.Load(options.Data, error))
        return Fail(error);
    TTestCertificates certificates;
    if (!EnsureTestCertificates(options.TlsDir, certificates, error))
        return Fail(error);
    if (TChildProcess::FindProgram("ffmpeg").empty())
        std::fprintf(stderr, "kavrien-service: ffmpeg is not on PATH; streams will fail\n");
    for (const TServiceChannel& channel : data.Channels()) {
        const std::string file = options.Content + "/" + PathEncode(channel.Id) + ".ts";
        if (!std::ifstream(file))
            std::fprintf(stderr, "kavrien-service: %s is missing; its stream will fail\n",
                         file.c_str());
    }

    const auto started = std::chrono::steady_clock::now();
    TRequestLog log;
    TReplyScript script;
    TStreamServer* streamsForListener = nullptr;
    // Set before any server thread runs; the listener only reads it.
    TBroadcast broadcast([&streamsForListener](const TBroadcastState&) {
        if (streamsForListener != nullptr)
            streamsForListener->BroadcastChanged();
    });
    TStreamServer streams(data, broadcast, options.Content);
    streamsForListener = &streams;
    TApiServer api(data, broadcast, streams, log, script, certificates.CertFile,
                   certificates.KeyFile, started);
    if (!api.IsValid())
        return Fail("the API server cannot use " + certificates.CertFile + " and " +
                    certificates.KeyFile);
    TControlServer control(data, broadcast, streams, log, script);

    const int apiPort = api.Bind(options.ApiPort);
    const int controlPort = control.Bind(options.ControlPort);
    const int streamPort = streams.Bind(options.StreamPort);
    if (apiPort < 0 || controlPort < 0 || streamPort < 0)
        return Fail("cannot listen on 127.0.0.1 at the ports asked for (in use?)");

    std::thread apiThread([&] { api.Listen(); });
    std::thread controlThread([&] { control.Listen(); });
    std::thread streamThread([&] { streams.Listen(); });

    // The sockets listen since Bind, so clients may connect as soon as they read this.
    const std::string line =
        "kavrien-service api=https://127.0.0.1:" + std::to_string(apiPort) +
        "/admin/api.php? control=http://127.0.0.1:" + std::to_string(controlPort) +
        " stream=http://127.0.0.1:" + std::to_string(streamPort) + " ca=" + certificates.CaFile +
        "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    if (!options.PortsFile.empty()) {
        const std::string tmp = options.PortsFile + ".tmp";
        std::ofstream(tmp) << line;
        if (std::rename(tmp.c_str(), options.PortsFile.c_str()) != 0)
            std::fprintf(stderr, "kavrien-service: cannot write %s\n", options.PortsFile.c_str());
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    (void)signal;
    // Connections kept alive but idle hold the servers' pools for up to their time-out;
    // once the children are gone there is nothing left worth waiting for.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::_Exit(0);
    }).detach();

    // Waiting requests and the streams (and their ffmpeg children) first, so that the
    // servers' pools can finish their connections.
    script.Stop();
    streams.Stop();
    api.Stop();
    control.Stop();
    apiThread.join();
    controlThread.join();
    streamThread.join();
    return 0;
}
