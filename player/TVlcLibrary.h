#pragma once

#include <vlc/vlc.h>

#include <cstdint>
#include <string>
#include <vector>

// One instance of the media library, created on first need from the start options collected
// before. UI thread only.
class TVlcLibrary {
public:
    TVlcLibrary() = default;
    ~TVlcLibrary();
    TVlcLibrary(const TVlcLibrary&) = delete;
    TVlcLibrary& operator=(const TVlcLibrary&) = delete;

    // Appends an option unless it is empty or already present in any letter case. Options
    // added after the instance exists are kept but change nothing.
    void AddOption(const std::string& option);
    const std::vector<std::string>& GetOptions() const { return Options; }

    // The instance, made on the first call that finds the library usable; null otherwise,
    // and the next call tries again.
    libvlc_instance_t* GetHandle();

    // The library's packed version; 0, and not remembered, while the library is not loaded.
    std::uint32_t GetVersion();

    // Set by the player control; turned into a start option only for libraries before 2.1.0.
    bool TitleShow = false;

    // The argument list that GetHandle passes to libvlc_new: the library folder, the options
    // that are not blank, then the options that the version asks for; at most 256 entries.
    std::vector<std::string> BuildArguments();

private:
    libvlc_instance_t* Handle = nullptr;
    std::vector<std::string> Options;
    std::uint32_t Version = 0;
};
