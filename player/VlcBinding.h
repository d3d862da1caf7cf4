#pragma once

// The media library bound at run time. The library is never linked: its headers give the
// types and signatures, and LibVlcLoad fills the entry table from the loaded module. Every
// call into the library goes through LibVlc.<exported name>.
//
// Threads: loading runs on the UI thread only; afterwards the state and the table are only
// read. The library's own threads never call through the table.

#include <vlc/vlc.h>

#include <cstdint>
#include <span>
#include <string>

// Process-wide state; empty until a load, written only by the binding.
extern void* LibVlcHandle;            // the loaded module; never cleared once set
extern std::string LibVlcFolder;      // folder of the last load attempt, no trailing "/"
extern std::string LibVlcFileName;    // always "libvlc.so.5"
extern std::string LibVlcVersionText; // what libvlc_get_version returned
extern std::uint32_t LibVlcVersion;   // major << 16 | minor << 8 | patch, each mod 256
extern std::string LibVlcError;       // empty, or why the last load failed

// One typed slot per exported function, named exactly like the export. Before a load every
// slot is null; after a load a slot holds the library's function, its version placeholder
// (a gated slot the library is too old for), or null (a failed load).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
struct TLibVlcEntries {
#define LIBVLC_ENTRY(name, version, neutral) decltype(&::name) name = nullptr;
#include "player/VlcEntryList.inc"
#undef LIBVLC_ENTRY
};
#pragma GCC diagnostic pop

extern TLibVlcEntries LibVlc;

// The executable's folder followed by "/lib/".
std::string LibVlcDefaultFolder();

// Loads and binds the library from the folder (empty: the system's search path). Does
// nothing once a module is loaded. Callers read LibVlcError afterwards: empty means usable.
void LibVlcLoad(const std::string& folder);

// LibVlcLoad from LibVlcDefaultFolder, or from the system's search path when that folder
// holds no libvlc.so.5; nothing once a module is loaded.
void LibVlcLoadDefault();

// Reads one decimal part of a version string and moves the cursor past it and past one
// following "."; 0 for a null cursor or a part without digits.
std::uint32_t LibVlcReadVersionPart(const char*& cursor);

// Looks name up in the loaded module and stores the address, null included, in the slot;
// false (and LibVlcError names the entry) when the module does not export it.
void* LibVlcLookUpEntry(const char* name);
template <typename TFunction> bool ResolveEntry(TFunction& slot, const char* name) {
    void* address = LibVlcLookUpEntry(name);
    slot = reinterpret_cast<TFunction>(address);
    return address != nullptr;
}

// The table's rows, for diagnostics and tests.
struct TLibVlcSlot {
    const char* Name;
    std::uint32_t Version; // packed minimum version of the slot's group
    void* (*Current)();    // what the slot holds now
    void* Placeholder;     // the slot's version placeholder; null in the 1.0.0 group
};
std::span<const TLibVlcSlot> LibVlcSlots();

// "1.1.0" for 0x10100.
std::string LibVlcVersionName(std::uint32_t packedVersion);

// Frees memory that the library allocated for the caller (texts such as an item's location):
// with libvlc_free when the library offers it, else with the C library's free.
void LibVlcFree(void* memory);

// Gives a track-description list back with the release call that the loaded library offers.
void LibVlcReleaseTrackList(libvlc_track_description_t* list);
