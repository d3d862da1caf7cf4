#pragma once

#include <QImage>
#include <memory>

class QBuffer;

// The numbered pictures compiled into the program (":/rcdata/<id>"): 101 to 103 are
// JPEG logos, 104 to 114 Windows bitmaps of button glyphs, menu images and lamps.
// Each loader gives nothing (null) for a picture that is missing, empty or unreadable.

// The picture's bytes in a buffer opened for reading at position 0; the caller owns it.
std::unique_ptr<QBuffer> LoadResourceStream(int id);

// The picture decoded as JPEG, or a null image.
QImage LoadJpegResource(int id);

// The picture decoded as a Windows bitmap file, or a null image.
QImage LoadBitmapResource(int id);
