#include "widgets/ResourcePictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace {

QImage Decode(int id, const char* format) {
    const std::unique_ptr<QBuffer> stream = LoadResourceStream(id);
    if (!stream)
        return QImage();
    QImageReader reader(stream.get(), format);
    // Only the named format counts: a bitmap id is not a JPEG picture, and the other way round.
    reader.setDecideFormatFromContent(false);
    return reader.read();
}

} // namespace

std::unique_ptr<QBuffer> LoadResourceStream(int id) {
    QFile resource(QStringLiteral(":/rcdata/%1").arg(id));
    if (!resource.exists() || resource.size() == 0 || !resource.open(QIODevice::ReadOnly))
        return nullptr;
    auto stream = std::make_unique<QBuffer>();
    stream->setData(resource.readAll());
    if (stream->data().isEmpty() || !stream->open(QIODevice::ReadOnly))
        return nullptr;
    return stream;
}

QImage LoadJpegResource(int id) {
    return Decode(id, "JPEG");
}

QImage LoadBitmapResource(int id) {
    return Decode(id, "BMP");
}
