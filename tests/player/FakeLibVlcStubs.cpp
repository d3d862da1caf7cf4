// The fake media library's exports: every name of the entry table as a weak function that
// returns 0 (a null pointer, false, no instance). FakeLibVlc.cpp defines the few that the
// tests exercise, which take precedence.

#define LIBVLC_ENTRY(name, version, neutral)                                                       \
    extern "C" __attribute__((weak, visibility("default"))) long name() {                          \
        return 0;                                                                                  \
    }
#include "player/VlcEntryList.inc"
#undef LIBVLC_ENTRY
