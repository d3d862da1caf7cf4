#include "player/TVlcMedia.h"

#include "player/TVlcLibrary.h"
#include "player/VlcBinding.h"

#include <QFileInfo>

TVlcMedia::TVlcMedia(TVlcLibrary* library, const QString& mrl) : Library(library) {
    libvlc_instance_t* instance = Library != nullptr ? Library->GetHandle() : nullptr;
    if (instance == nullptr)
        return;
    const QByteArray utf8 = mrl.toUtf8();
    if (QFileInfo(mrl).isFile())
        Handle = LibVlc.libvlc_media_new_path(instance, utf8.constData());
    else
        Handle = LibVlc.libvlc_media_new_location(instance, utf8.constData());
}

TVlcMedia::~TVlcMedia() {
    if (Handle != nullptr)
        LibVlc.libvlc_media_release(Handle);
}

void TVlcMedia::AddOption(const std::string& option) {
    if (Handle != nullptr)
        LibVlc.libvlc_media_add_option(Handle, option.c_str());
}

void TVlcMedia::SetDeinterlaceFilter(TDeinterlaceFilter filter) {
    AddOption(filter == deON ? "deinterlace=1" : "deinterlace=0");
}

void TVlcMedia::SetDeinterlaceMode(TDeinterlaceMode mode) {
    AddOption(std::string("deinterlace-mode=") + DeinterlaceModeNames[mode]);
}
