#pragma once

#include "player/VlcEnums.h"

#include <vlc/vlc.h>

#include <QString>
#include <string>

class TVlcLibrary;

// One media item of a library instance: a local file when the path names one, otherwise a
// location handed to the library as it is. UI thread only.
class TVlcMedia {
public:
    TVlcMedia(TVlcLibrary* library, const QString& mrl);
    ~TVlcMedia(); // releases this object's reference to the item
    TVlcMedia(const TVlcMedia&) = delete;
    TVlcMedia& operator=(const TVlcMedia&) = delete;

    // Null when the library made no item.
    libvlc_media_t* GetHandle() const { return Handle; }

    void AddOption(const std::string& option);
    void SetDeinterlaceFilter(TDeinterlaceFilter filter);
    void SetDeinterlaceMode(TDeinterlaceMode mode);

private:
    TVlcLibrary* Library; // not owned
    libvlc_media_t* Handle = nullptr;
};
