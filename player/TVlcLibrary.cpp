#include "player/TVlcLibrary.h"

#include "player/VlcBinding.h"

#include <QString>

namespace {

constexpr std::size_t MaxArguments = 256;

// Blanks and control characters at both ends do not count.
bool IsBlank(const std::string& text) {
    for (unsigned char c : text) {
        if (c > ' ')
            return false;
    }
    return true;
}

} // namespace

TVlcLibrary::~TVlcLibrary() {
    if (LibVlc.libvlc_release != nullptr && Handle != nullptr)
        LibVlc.libvlc_release(Handle);
}

void TVlcLibrary::AddOption(const std::string& option) {
    if (option.empty())
        return;
    const QString added = QString::fromStdString(option);
    for (const std::string& present : Options) {
        if (QString::fromStdString(present).compare(added, Qt::CaseInsensitive) == 0)
            return;
    }
    Options.push_back(option);
}

std::vector<std::string> TVlcLibrary::BuildArguments() {
    std::vector<std::string> arguments;
    arguments.push_back(LibVlcFolder);
    for (const std::string& option : Options) {
        if (arguments.size() >= MaxArguments)
            break;
        if (!IsBlank(option))
            arguments.push_back(option);
    }
    const std::uint32_t version = GetVersion();
    if (version < 0x20100 && arguments.size() < MaxArguments)
        arguments.push_back(TitleShow ? "--video-title-show" : "--no-video-title-show");
    if (version >= 0x20000 && arguments.size() < MaxArguments - 2)
        arguments.push_back("--sub-source=marq");
    if (version >= 0x10100 && arguments.size() < MaxArguments - 1)
        arguments.push_back("--sub-filter=logo:marq");
    return arguments;
}

libvlc_instance_t* TVlcLibrary::GetHandle() {
    if (Handle != nullptr)
        return Handle;
    LibVlcLoadDefault();
    if (!LibVlcError.empty() || LibVlc.libvlc_new == nullptr)
        return nullptr;
    const std::vector<std::string> arguments = BuildArguments();
    std::vector<const char*> argv;
    argv.reserve(arguments.size());
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    Handle = LibVlc.libvlc_new(static_cast<int>(argv.size()), argv.data());
    return Handle;
}

std::uint32_t TVlcLibrary::GetVersion() {
    if (Version != 0)
        return Version;
    if (LibVlc.libvlc_get_version != nullptr) {
        const char* cursor = LibVlc.libvlc_get_version();
        const std::uint32_t major = LibVlcReadVersionPart(cursor) % 256;
        const std::uint32_t minor = LibVlcReadVersionPart(cursor) % 256;
        const std::uint32_t patch = LibVlcReadVersionPart(cursor) % 256;
        Version = major * 65536 + minor * 256 + patch;
    }
    return Version;
}
