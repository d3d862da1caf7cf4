#include "widgets/ResourcePictures.h"

#include <QBuffer>
#include <QColor>
#include <gtest/gtest.h>

namespace {

struct TPicture {
    int Id;
    bool Jpeg;
    int Size;
};

const TPicture kPictures[] = {
    {101, true, 128}, {102, true, 128}, {103, true, 128}, {104, false, 32}, {105, false, 32},
    {106, false, 32}, {107, false, 32}, {108, false, 16}, {109, false, 16}, {110, false, 16},
    {111, false, 16}, {112, false, 25}, {113, false, 25}, {114, false, 25},
};

TEST(ResourcePicturesTest, EveryPictureDecodesInItsFormatAtItsSize) {
    for (const TPicture& p : kPictures) {
        const QImage image = p.Jpeg ? LoadJpegResource(p.Id) : LoadBitmapResource(p.Id);
        ASSERT_FALSE(image.isNull()) << p.Id;
        EXPECT_EQ(image.size(), QSize(p.Size, p.Size)) << p.Id;
        // The other loader refuses it: the format is part of the picture.
        EXPECT_TRUE((p.Jpeg ? LoadBitmapResource(p.Id) : LoadJpegResource(p.Id)).isNull()) << p.Id;
        if (!p.Jpeg) {
            EXPECT_EQ(image.depth() == 32 || image.depth() == 24, true) << p.Id;
            EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(240, 240, 240)) << p.Id << " background";
        }
    }
}

TEST(ResourcePicturesTest, TheLampsAreGreyGreenAndRed) {
    const QColor idle = LoadBitmapResource(112).pixel(12, 14);
    const QColor busy = LoadBitmapResource(113).pixel(12, 14);
    const QColor failed = LoadBitmapResource(114).pixel(12, 14);
    EXPECT_LT(std::abs(idle.red() - idle.green()) + std::abs(idle.green() - idle.blue()), 30);
    EXPECT_GT(busy.green(), busy.red() + 60);
    EXPECT_GT(failed.red(), failed.green() + 60);
}

TEST(ResourcePicturesTest, AnUnknownIdGivesNothing) {
    for (const int id : {0, 100, 115, 999, -1}) {
        EXPECT_EQ(LoadResourceStream(id), nullptr) << id;
        EXPECT_TRUE(LoadJpegResource(id).isNull()) << id;
        EXPECT_TRUE(LoadBitmapResource(id).isNull()) << id;
    }
}

TEST(ResourcePicturesTest, AStreamStartsAtItsBeginning) {
    const std::unique_ptr<QBuffer> stream = LoadResourceStream(104);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->pos(), 0);
    EXPECT_TRUE(stream->isReadable());
    EXPECT_EQ(stream->peek(2), QByteArray("BM"));
}

TEST(ResourcePicturesTest, TheProgramIconIsThere) {
    const QImage icon(QStringLiteral(":/icons/mainicon.png"));
    EXPECT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.hasAlphaChannel());
}

} // namespace
