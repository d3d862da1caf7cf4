#include "player/VlcBinding.h"

#include "platform/MessageBox.h"

#include <QString>

#include <array>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <type_traits>
#include <unistd.h>

void* LibVlcHandle = nullptr;
std::string LibVlcFolder;
std::string LibVlcFileName;
std::string LibVlcVersionText;
std::uint32_t LibVlcVersion = 0;
std::string LibVlcError;
TLibVlcEntries LibVlc;

namespace {

enum class TNeutral { Required, None, Zero, MinusOne, ZeroFloat, Zero64 };

enum TSlotIndex : int {
#define LIBVLC_ENTRY(name, version, neutral) Slot_##name,
#include "player/VlcEntryList.inc"
#undef LIBVLC_ENTRY
    SlotCount
};

constexpr std::array<std::uint32_t, SlotCount> SlotVersions = {
#define LIBVLC_ENTRY(name, version, neutral) version,
#include "player/VlcEntryList.inc"
#undef LIBVLC_ENTRY
};

constexpr std::array<const char*, SlotCount> SlotNames = {
#define LIBVLC_ENTRY(name, version, neutral) #name,
#include "player/VlcEntryList.inc"
#undef LIBVLC_ENTRY
};

constexpr int CountSlots(std::uint32_t version) {
    int count = 0;
    for (std::uint32_t v : SlotVersions)
        count += v == version ? 1 : 0;
    return count;
}

constexpr bool InResolutionOrder() {
    for (int i = 1; i < SlotCount; ++i) {
        if (SlotVersions[i] < SlotVersions[i - 1])
            return false;
    }
    return true;
}

static_assert(SlotCount == 257);
static_assert(CountSlots(0x10000) == 175 && CountSlots(0x10100) == 31 &&
              CountSlots(0x10101) == 10 && CountSlots(0x10105) == 1 && CountSlots(0x20000) == 15 &&
              CountSlots(0x20100) == 11 && CountSlots(0x20200) == 14);
static_assert(InResolutionOrder());

// The gated groups in resolution order.
constexpr std::array<std::uint32_t, 6> GatedVersions = {0x10100, 0x10101, 0x10105,
                                                        0x20000, 0x20100, 0x20200};

void ShowPlaceholderMessage(int index) {
    ShowMessageBox(nullptr, QStringLiteral("libvlc"),
                   QString::fromLatin1(SlotNames[index]) + QStringLiteral(" require libvlc ") +
                       QString::fromStdString(LibVlcVersionName(SlotVersions[index])),
                   TMessageIcon::Stop);
}

// The neutral result checked against the header's result type, so that the table's
// column and the library's signatures cannot drift apart.
template <typename TResult, TNeutral Neutral> TResult NeutralResult() {
    if constexpr (std::is_void_v<TResult>) {
        static_assert(Neutral == TNeutral::None);
        return;
    } else if constexpr (Neutral == TNeutral::MinusOne) {
        static_assert(std::is_integral_v<TResult> && std::is_signed_v<TResult>);
        return TResult(-1);
    } else if constexpr (Neutral == TNeutral::ZeroFloat) {
        static_assert(std::is_floating_point_v<TResult>);
        return TResult(0.0);
    } else if constexpr (Neutral == TNeutral::Zero64) {
        static_assert(std::is_integral_v<TResult> && sizeof(TResult) == 8);
        return TResult(0);
    } else {
        static_assert(Neutral == TNeutral::Zero && !std::is_floating_point_v<TResult>);
        return TResult{};
    }
}

// A placeholder has the slot's own signature, so a caller cannot tell it from the real
// function except by the message box it shows. Runs on the calling thread (the UI thread).
template <int Index, TNeutral Neutral, typename TFunction> struct TPlaceholder;

template <int Index, TNeutral Neutral, typename TResult, typename... TArgs>
struct TPlaceholder<Index, Neutral, TResult (*)(TArgs...)> {
    static TResult Call(TArgs...) {
        ShowPlaceholderMessage(Index);
        return NeutralResult<TResult, Neutral>();
    }
};

// C variadic entries (libvlc_printerr).
template <int Index, TNeutral Neutral, typename TResult, typename... TArgs>
struct TPlaceholder<Index, Neutral, TResult (*)(TArgs..., ...)> {
    static TResult Call(TArgs..., ...) {
        ShowPlaceholderMessage(Index);
        return NeutralResult<TResult, Neutral>();
    }
};

template <int Index, TNeutral Neutral, typename TFunction> constexpr TFunction PlaceholderOf() {
    if constexpr (Neutral == TNeutral::Required)
        return nullptr;
    else
        return &TPlaceholder<Index, Neutral, TFunction>::Call;
}

struct TSlotRow {
    TLibVlcSlot Public;
    void (*Clear)();
    void (*SetPlaceholder)();
    bool (*Resolve)();
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
const std::array<TSlotRow, SlotCount> SlotRows = {{
#define LIBVLC_ENTRY(name, version, neutral)                                                       \
    {{#name, version, [] { return reinterpret_cast<void*>(LibVlc.name); },                         \
      reinterpret_cast<void*>(                                                                     \
          PlaceholderOf<Slot_##name, TNeutral::neutral, decltype(&::name)>())},                    \
     [] { LibVlc.name = nullptr; },                                                                \
     [] { LibVlc.name = PlaceholderOf<Slot_##name, TNeutral::neutral, decltype(&::name)>(); },     \
     [] {                                                                                          \
         return ResolveEntry(LibVlc.name, #name);                                                  \
     }},
#include "player/VlcEntryList.inc"
#undef LIBVLC_ENTRY
}};
#pragma GCC diagnostic pop

const std::array<TLibVlcSlot, SlotCount> PublicSlots = [] {
    std::array<TLibVlcSlot, SlotCount> rows{};
    for (int i = 0; i < SlotCount; ++i)
        rows[i] = SlotRows[i].Public;
    return rows;
}();

void ResetEntryTable() {
    for (const TSlotRow& row : SlotRows)
        row.Clear();
    for (const TSlotRow& row : SlotRows) {
        if (row.Public.Version > 0x10000)
            row.SetPlaceholder();
    }
}

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

// Reads and checks the version, then resolves the groups that it makes required. On any
// failure LibVlcError says why and the remaining slots keep what ResetEntryTable gave them.
void BindEntries() {
    ResetEntryTable();
    if (!SlotRows[Slot_libvlc_get_version].Resolve())
        return;

    const char* version = LibVlc.libvlc_get_version();
    LibVlcVersionText = version != nullptr ? version : "";
    const char* cursor = version;
    const std::uint32_t major = LibVlcReadVersionPart(cursor) % 256;
    const std::uint32_t minor = LibVlcReadVersionPart(cursor) % 256;
    const std::uint32_t patch = LibVlcReadVersionPart(cursor) % 256;
    LibVlcVersion = major * 65536 + minor * 256 + patch;
    if (LibVlcVersion < 0x10000) {
        LibVlcError = "Current libvlc version: " + std::to_string(major) + "." +
                      std::to_string(minor) + "." + std::to_string(patch) +
                      ", minimum supported version is 1.0.0";
        return;
    }

    for (int i = 0; i < SlotCount; ++i) {
        if (SlotVersions[i] == 0x10000 && i != Slot_libvlc_get_version && !SlotRows[i].Resolve())
            return;
    }
    for (std::uint32_t group : GatedVersions) {
        if (LibVlcVersion < group)
            return;
        for (int i = 0; i < SlotCount; ++i) {
            if (SlotVersions[i] == group && !SlotRows[i].Resolve())
                return;
        }
    }
}

} // namespace

std::string LibVlcVersionName(std::uint32_t packedVersion) {
    return std::to_string(packedVersion >> 16 & 0xFF) + "." +
           std::to_string(packedVersion >> 8 & 0xFF) + "." + std::to_string(packedVersion & 0xFF);
}

std::span<const TLibVlcSlot> LibVlcSlots() {
    return PublicSlots;
}

std::string LibVlcDefaultFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string folder = length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "";
    const std::size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
    return folder + "/lib/";
}

void LibVlcLoad(const std::string& folder) {
    if (LibVlcHandle != nullptr)
        return;
    LibVlcError.clear();
    LibVlcFolder = folder;
    LibVlcFileName = "libvlc.so.5";
    while (!LibVlcFolder.empty() && LibVlcFolder.back() == '/')
        LibVlcFolder.pop_back();

    // The library folder is the current directory while the module loads, as the library
    // expects of its embedders. The name is made absolute first: a relative folder would
    // otherwise be looked up a second time inside itself.
    const std::string previousDirectory = CurrentDirectory();
    std::string fullName = LibVlcFileName;
    bool changedDirectory = false;
    if (!LibVlcFolder.empty()) {
        const std::string absolute = LibVlcFolder.front() == '/' || previousDirectory.empty()
                                         ? LibVlcFolder
                                         : previousDirectory + "/" + LibVlcFolder;
        fullName = absolute + "/" + LibVlcFileName;
        // Without a directory to go back to, the current one is left alone.
        if (!previousDirectory.empty())
            changedDirectory = chdir(LibVlcFolder.c_str()) == 0;
    }

    dlerror();
    void* module = dlopen(fullName.c_str(), RTLD_NOW);
    const char* loadError = module == nullptr ? dlerror() : nullptr;
    const std::string loadErrorText = loadError != nullptr ? loadError : "";

    if (changedDirectory && chdir(previousDirectory.c_str()) != 0) {
        // The previous directory has gone meanwhile; nothing better can be done.
    }

    if (module == nullptr) {
        LibVlcError = "Library not found " + LibVlcFileName + ", dlerror() = " + loadErrorText;
        return;
    }
    LibVlcHandle = module;
    BindEntries();
}

void LibVlcLoadDefault() {
    if (LibVlcHandle != nullptr)
        return;
    const std::string folder = LibVlcDefaultFolder();
    // No bundled library: a system install of the library and its plug-ins stands in.
    if (access((folder + "libvlc.so.5").c_str(), F_OK) != 0)
        LibVlcLoad(std::string());
    else
        LibVlcLoad(folder);
}

std::uint32_t LibVlcReadVersionPart(const char*& cursor) {
    if (cursor == nullptr)
        return 0;
    std::uint32_t value = 0;
    while (*cursor >= '0' && *cursor <= '9') {
        value = value * 10 + static_cast<std::uint32_t>(*cursor - '0');
        ++cursor;
    }
    if (*cursor == '.')
        ++cursor;
    return value;
}

void* LibVlcLookUpEntry(const char* name) {
    void* address = LibVlcHandle != nullptr ? dlsym(LibVlcHandle, name) : nullptr;
    if (address == nullptr)
        LibVlcError = std::string("Entry point \"") + name + "\" not found!";
    return address;
}

void LibVlcFree(void* memory) {
    if (memory == nullptr)
        return;
    // Before 2.0.0 the slot is a placeholder; the library then used the C library's heap.
    if (LibVlcVersion >= 0x20000 && LibVlc.libvlc_free != nullptr)
        LibVlc.libvlc_free(memory);
    else
        std::free(memory);
}

void LibVlcReleaseTrackList(libvlc_track_description_t* list) {
    if (list == nullptr)
        return;
    if (LibVlcVersion >= 0x20000 && LibVlc.libvlc_track_description_list_release != nullptr)
        LibVlc.libvlc_track_description_list_release(list);
    else if (LibVlc.libvlc_track_description_release != nullptr)
        LibVlc.libvlc_track_description_release(list);
}
