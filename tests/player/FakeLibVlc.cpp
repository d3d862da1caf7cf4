// A stand-in for the media library at the one boundary the real library cannot take: a
// library that is too old, lacks an export or reports another version. Its version string
// comes from the environment variable FAKE_LIBVLC_VERSION ("2.2.1" when unset); the variants
// that lack an export are made by the build (tests/CMakeLists.txt).

#include <vlc/vlc.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {
std::vector<std::string> lastArguments;
int newCalls = 0;
int instance = 0;
} // namespace

extern "C" {

const char* libvlc_get_version(void) {
    const char* version = std::getenv("FAKE_LIBVLC_VERSION");
    return version != nullptr ? version : "2.2.1";
}

libvlc_instance_t* libvlc_new(int argc, const char* const* argv) {
    ++newCalls;
    lastArguments.assign(argv, argv + argc);
    return reinterpret_cast<libvlc_instance_t*>(&instance);
}

void libvlc_release(libvlc_instance_t*) {}

const char* libvlc_errmsg(void) {
    return nullptr;
}

// For the tests: what the last libvlc_new was given, and how often it was called.
__attribute__((visibility("default"))) int FakeLibVlcNewCalls() {
    return newCalls;
}
__attribute__((visibility("default"))) int FakeLibVlcArgumentCount() {
    return static_cast<int>(lastArguments.size());
}
__attribute__((visibility("default"))) const char* FakeLibVlcArgument(int index) {
    return lastArguments.at(static_cast<std::size_t>(index)).c_str();
}
}
