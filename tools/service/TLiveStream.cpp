#include "TLiveStream.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr std::size_t PacketSize = 188;
// A client this far behind is dropped rather than buffered without end.
constexpr std::size_t MaxClientBacklog = 8 * 1024 * 1024;
// A key frame interval longer than this is not kept for late joiners.
constexpr std::size_t MaxGop = 4 * 1024 * 1024;

int Pid(const unsigned char* p) {
    return ((p[1] & 0x1f) << 8) | p[2];
}
bool UnitStart(const unsigned char* p) {
    return (p[1] & 0x40) != 0;
}

// Offset of the payload in the packet, or -1 when it has none.
int PayloadOffset(const unsigned char* p) {
    const int control = (p[3] >> 4) & 3;
    if ((control & 1) == 0)
        return -1;
    const int offset = (control & 2) ? 5 + p[4] : 4;
    return offset < static_cast<int>(PacketSize) ? offset : -1;
}

bool RandomAccess(const unsigned char* p) {
    const int control = (p[3] >> 4) & 3;
    return (control & 2) != 0 && p[4] > 0 && (p[5] & 0x40) != 0;
}

// The section that starts in this packet (after the pointer field), with its length
// checked against the packet; null when malformed.
const unsigned char* Section(const unsigned char* p, int& length) {
    const int payload = PayloadOffset(p);
    if (payload < 0 || !UnitStart(p))
        return nullptr;
    const int start = payload + 1 + p[payload];
    if (start + 3 > static_cast<int>(PacketSize))
        return nullptr;
    const unsigned char* s = p + start;
    length = 3 + (((s[1] & 0x0f) << 8) | s[2]);
    if (start + length > static_cast<int>(PacketSize))
        return nullptr;
    return s;
}

} // namespace

struct TLiveStream::TClient {
    // Guarded by the stream's Lock.
    std::string Pending;
    bool WaitingForKeyFrame = true;
    bool Dropped = false;
};

TLiveStream::TLiveStream(std::string name, std::vector<std::string> ffmpegArgs)
    : Name(std::move(name)), Args(std::move(ffmpegArgs)) {}

TLiveStream::~TLiveStream() {
    End();
}

bool TLiveStream::Start(std::string& error) {
    if (!Child.Start(Args, TChildProcess::TOutput::Capture, error))
        return false;
    Reader = std::thread([this] { ReadLoop(); });
    return true;
}

bool TLiveStream::Ended() {
    std::lock_guard<std::mutex> guard(Lock);
    return Finished;
}

std::shared_ptr<TLiveStream::TClient> TLiveStream::Join() {
    auto client = std::make_shared<TClient>();
    std::lock_guard<std::mutex> guard(Lock);
    if (HaveKeyFrame) {
        client->Pending = LastPat + LastPmt + Gop;
        client->WaitingForKeyFrame = false;
    }
    Clients.push_back(client);
    return client;
}

void TLiveStream::Leave(const std::shared_ptr<TClient>& client) {
    std::lock_guard<std::mutex> guard(Lock);
    std::erase(Clients, client);
}

bool TLiveStream::Next(TClient& client, std::string& data, int timeoutMs) {
    data.clear();
    std::unique_lock<std::mutex> lock(Lock);
    DataReady.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return !client.Pending.empty() || Finished || client.Dropped; });
    if (client.Dropped)
        return false;
    data.swap(client.Pending);
    return !Finished || !data.empty();
}

void TLiveStream::End() {
    std::lock_guard<std::mutex> endGuard(EndLock);
    {
        std::lock_guard<std::mutex> guard(Lock);
        Finished = true;
    }
    DataReady.notify_all();
    // The child's end closes the pipe, which ends the reader; only then is the pipe closed.
    Child.Kill();
    if (Reader.joinable())
        Reader.join();
    Child.CloseOutput();
}

void TLiveStream::ReadLoop() {
    std::string carry;
    std::vector<unsigned char> buffer(PacketSize * 128);
    for (;;) {
        const ssize_t n = read(Child.OutputFd(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        carry.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
        std::size_t pos = 0;
        {
            std::lock_guard<std::mutex> guard(Lock);
            while (carry.size() - pos >= PacketSize) {
                if (carry[pos] != 0x47) {
                    ++pos; // lost sync: look for the next sync byte
                    continue;
                }
                const auto* packet = reinterpret_cast<const unsigned char*>(carry.data() + pos);
                bool keyFrame = false;
                HandlePacket(packet, keyFrame);
                for (const auto& client : Clients) {
                    if (client->Dropped)
                        continue;
                    if (client->WaitingForKeyFrame) {
                        if (!keyFrame)
                            continue;
                        client->Pending += LastPat + LastPmt;
                        client->WaitingForKeyFrame = false;
                    }
                    client->Pending.append(carry, pos, PacketSize);
                    if (client->Pending.size() > MaxClientBacklog) {
                        client->Dropped = true;
                        client->Pending.clear();
                    }
                }
                pos += PacketSize;
            }
        }
        carry.erase(0, pos);
        DataReady.notify_all();
    }
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (!Finished)
            std::fprintf(stderr, "kavrien-service: stream %s ended\n", Name.c_str());
        Finished = true;
    }
    DataReady.notify_all();
}

void TLiveStream::HandlePacket(const unsigned char* packet, bool& keyFrame) {
    const int pid = Pid(packet);
    const std::string bytes(reinterpret_cast<const char*>(packet), PacketSize);
    if (pid == 0 && UnitStart(packet)) {
        LastPat = bytes;
        ParsePat(packet);
    } else if (pid == PmtPid && UnitStart(packet)) {
        LastPmt = bytes;
        ParsePmt(packet);
    } else if (pid == VideoPid && UnitStart(packet) && RandomAccess(packet) && !LastPat.empty() &&
               !LastPmt.empty()) {
        keyFrame = true;
        HaveKeyFrame = true;
        Gop.clear();
    }
    if (HaveKeyFrame) {
        Gop += bytes;
        if (Gop.size() > MaxGop) {
            HaveKeyFrame = false;
            Gop.clear();
        }
    }
}

void TLiveStream::ParsePat(const unsigned char* packet) {
    int length = 0;
    const unsigned char* s = Section(packet, length);
    if (s == nullptr || s[0] != 0x00 || length < 12)
        return;
    // Program loop between the 8-byte header and the 4-byte CRC.
    for (int i = 8; i + 4 <= length - 4; i += 4) {
        const int program = (s[i] << 8) | s[i + 1];
        if (program != 0) {
            PmtPid = ((s[i + 2] & 0x1f) << 8) | s[i + 3];
            return;
        }
    }
}

void TLiveStream::ParsePmt(const unsigned char* packet) {
    int length = 0;
    const unsigned char* s = Section(packet, length);
    if (s == nullptr || s[0] != 0x02 || length < 16)
        return;
    const int programInfo = ((s[10] & 0x0f) << 8) | s[11];
    for (int i = 12 + programInfo; i + 5 <= length - 4;) {
        const int type = s[i];
        const int pid = ((s[i + 1] & 0x1f) << 8) | s[i + 2];
        const int info = ((s[i + 3] & 0x0f) << 8) | s[i + 4];
        // MPEG-1/2 video, MPEG-4 part 2, H.264, H.265
        if (type == 0x01 || type == 0x02 || type == 0x10 || type == 0x1b || type == 0x24) {
            VideoPid = pid;
            return;
        }
        i += 5 + info;
    }
}
