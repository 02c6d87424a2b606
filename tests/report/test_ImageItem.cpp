// The picture item: accepted kinds, printer and preview destinations, cropping, fitting.
#include "support_FakePrinter.h"

#include "report/LightRepEx.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QImageReader>
#include <gtest/gtest.h>

namespace {
// A picture whose red channel is the column and green channel the row.
QImage Gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    return img;
}

TLRPicture BitmapPicture(const QImage& image) {
    TLRPicture pic;
    pic.SetGraphic(std::make_unique<TLRBitmap>(image));
    return pic;
}

// The area painted with something other than white.
QRect Painted(const QImage& img) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                r |= QRect(x, y, 1, 1);
    return r;
}

TRect ToTRect(const QRect& r) {
    return Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
}
} // namespace

TEST(ImageItem, PrinterAndPreviewDestinations) {
    TFakePrinter printer;
    TLRImage item(nullptr);
    TLRPicture pic = BitmapPicture(Gradient(120, 80));
    item.SetPicture(&pic);
    item.SetStretch(true);

    printer.BeginDoc();
    TLRCanvas onPrinter(printer.Canvas(), 600, &printer);
    item.Print(onPrinter, Rect(10, 10, 70, 47), stPrint, 6.25);
    ASSERT_EQ(printer.Sent.size(), 1u);
    EXPECT_EQ(ToTRect(printer.Sent[0].Dest), Rect(62, 62, 437, 293));
    EXPECT_EQ(printer.Sent[0].Image.size(), QSize(120, 80)); // sent at its own resolution

    // Not Stretch: cut to the item's left 100 columns, printed 100 x 80 units.
    item.SetStretch(false);
    TLRCanvas atOne(printer.Canvas(), 96, &printer);
    item.Print(atOne, Rect(10, 10, 110, 110), stPrint, 1.0);
    ASSERT_EQ(printer.Sent.size(), 2u);
    EXPECT_EQ(ToTRect(printer.Sent[1].Dest), Rect(10, 10, 110, 90));
    EXPECT_EQ(printer.Sent[1].Image.size(), QSize(100, 80));
    EXPECT_EQ(qRed(printer.Sent[1].Image.pixel(99, 79)), 99);
    EXPECT_EQ(qGreen(printer.Sent[1].Image.pixel(99, 79)), 79);
    // A tall picture keeps its top rows.
    TLRPicture tall = BitmapPicture(Gradient(50, 150));
    item.SetPicture(&tall);
    item.Print(atOne, Rect(0, 0, 100, 100), stPrint, 1.0);
    EXPECT_EQ(ToTRect(printer.Sent[2].Dest), Rect(0, 0, 50, 100));
    EXPECT_EQ(printer.Sent[2].Image.size(), QSize(50, 100));
    EXPECT_EQ(qGreen(printer.Sent[2].Image.pixel(0, 99)), 99);

    // Frame-only and skipped cells draw no picture.
    item.Print(atOne, Rect(0, 0, 100, 100), stFrameOnly, 1.0);
    EXPECT_EQ(printer.Sent.size(), 3u);
    printer.EndDoc();

    // Preview: rounded destination, and the picture always fills it.
    item.SetPicture(&pic);
    QImage page(300, 200, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        TLRCanvas bitmap(&painter, 96);
        item.Print(bitmap, Rect(10, 10, 70, 47), stPrint, 3.0);
    }
    EXPECT_EQ(ToTRect(Painted(page)), Rect(30, 30, 210, 141));
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        TLRCanvas bitmap(&painter, 96);
        item.Print(bitmap, Rect(10, 10, 110, 110), stPrint, 1.0);
    }
    EXPECT_EQ(ToTRect(Painted(page)), Rect(10, 10, 110, 110));

    // An empty holder or graphic draws nothing, without an error.
    item.Picture().Clear();
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        TLRCanvas bitmap(&painter, 96);
        item.Print(bitmap, Rect(10, 10, 110, 110), stPrint, 1.0);
        item.Picture().Bitmap(); // an empty bitmap
        item.Print(bitmap, Rect(10, 10, 110, 110), stPrint, 1.0);
    }
    EXPECT_TRUE(Painted(page).isNull());
}

// A picture finer than the printer's dots under it reaches the device reduced to those dots
// (the paper could not show more); one that is coarser goes unchanged.
TEST(ImageItem, DeviceGetsNoMorePixelsThanItCanPrint) {
    const QImage photo = Gradient(512, 384);
    EXPECT_EQ(DeviceImage(QSize(600, 450), photo).cacheKey(), photo.cacheKey());
    EXPECT_EQ(DeviceImage(QSize(512, 384), photo).cacheKey(), photo.cacheKey());
    EXPECT_EQ(DeviceImage(QSize(378, 284), photo).size(), QSize(378, 284));
    EXPECT_EQ(DeviceImage(QSize(300, 900), photo).size(), QSize(300, 384));
    EXPECT_EQ(DeviceImage(QSize(0, 0), photo).size(), QSize(1, 1));
    // The reduction is a smooth one: the middle of the gradient keeps its value.
    const QImage reduced = DeviceImage(QSize(256, 192), photo);
    EXPECT_NEAR(qRed(reduced.pixel(64, 96)), 129, 2);

    // Through the printer: the sheet shows the whole picture in dest.
    TFakePrinter printer;
    printer.CanvasSize = QSize(200, 150);
    printer.BeginDoc();
    printer.StretchDIBits(QRect(10, 10, 100, 75), photo);
    printer.EndDoc();
    ASSERT_EQ(printer.Sheets.size(), 1u);
    const QImage& sheet = printer.Sheets[0];
    EXPECT_EQ(Painted(sheet), QRect(10, 10, 100, 75));
    EXPECT_NEAR(qRed(sheet.pixel(10 + 25, 40)), 128, 4); // column 128 of 512 lands a quarter in
}

TEST(ImageItem, PictureAcceptsBitmapsJpegAndDibOnly) {
    TLRImage item(nullptr);
    TLRPicture bmp = BitmapPicture(Gradient(8, 4));
    item.SetPicture(&bmp);
    ASSERT_NE(item.Picture().Graphic(), nullptr);

    TLRPicture icon;
    icon.SetGraphic(std::make_unique<TLRIcon>(Gradient(16, 16)));
    EXPECT_THROW(item.SetPicture(&icon), Exception);
    TLRPicture meta;
    meta.SetGraphic(std::make_unique<TLRMetafile>());
    EXPECT_THROW(item.SetPicture(&meta), Exception);
    EXPECT_NE(dynamic_cast<TLRBitmap*>(item.Picture().Graphic()), nullptr);
    EXPECT_EQ(item.Picture().Width(), 8);

    TLRPicture jpeg;
    jpeg.LoadFromFile(TestDataPath("dune.jpg"));
    item.SetPicture(&jpeg);
    auto* j = dynamic_cast<TLRJPEGImage*>(item.Picture().Graphic());
    ASSERT_NE(j, nullptr);
    const QSize size = QImageReader(TestDataPath("dune.jpg")).size();
    EXPECT_EQ(QSize(j->Width(), j->Height()), size);

    // A device-independent bitmap as the clipboard holds it: a BMP without its file header.
    QByteArray bmpFile;
    QBuffer buffer(&bmpFile);
    buffer.open(QIODevice::WriteOnly);
    Gradient(12, 6).save(&buffer, "BMP");
    ASSERT_TRUE(TLRPicture::ClipboardFormatRegistered(CF_DIB));
    TLRPicture dib;
    dib.LoadFromClipboardFormat(CF_DIB, bmpFile.mid(14));
    item.SetPicture(&dib);
    ASSERT_NE(dynamic_cast<TDibImage*>(item.Picture().Graphic()), nullptr);
    TLRBitmap copy;
    copy.Assign(*item.Picture().Graphic());
    EXPECT_EQ(copy.Image().pixel(11, 5), Gradient(12, 6).pixel(11, 5));

    item.SetPicture(nullptr);
    EXPECT_EQ(item.Picture().Graphic(), nullptr);
}

TEST(ImageItem, JpegDecodingFollowsTheFile) {
    for (const char* name :
         {"dune.jpg", "blinds_cmyk.jpg", "wood_gray.jpg", "storm_progressive.jpg"}) {
        TLRJPEGImage jpeg;
        jpeg.LoadFromFile(TestDataPath(name));
        const QImage ours = jpeg.ToImage();
        QImage theirs(TestDataPath(name));
        ASSERT_FALSE(theirs.isNull()) << name;
        theirs = theirs.convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(ours.size(), theirs.size()) << name;
        double diff = 0;
        for (int y = 0; y < ours.height(); y += 3)
            for (int x = 0; x < ours.width(); x += 3) {
                const QRgb a = ours.pixel(x, y), b = theirs.pixel(x, y);
                diff += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                        std::abs(qBlue(a) - qBlue(b));
            }
        diff /= (ours.width() / 3.0) * (ours.height() / 3.0) * 3;
        EXPECT_LT(diff, 4.0) << name;
    }
}

TEST(ImageItem, FitKeepsProportionsAndRoundsHalvesToEven) {
    TLRImage item(nullptr);
    TLRPicture wide = BitmapPicture(Gradient(200, 100));
    item.SetPicture(&wide);
    FitLRImage(&item, Rect(10, 10, 110, 110));
    EXPECT_EQ(item.BoundsRect(), Bounds(10, 35, 100, 50));

    TLRPicture strip = BitmapPicture(Gradient(3, 1));
    item.SetPicture(&strip);
    FitLRImage(&item, Rect(0, 0, 5, 5));
    // 5 / 3: 5 x 1.667 -> 5 x 2, top = round(1.5) = 2.
    EXPECT_EQ(item.BoundsRect(), Bounds(0, 2, 5, 2));
    FitLRImage(&item, Rect(0, 0, 9, 2));
    // 2: 6 x 2, left = round(1.5) = 2.
    EXPECT_EQ(item.BoundsRect(), Bounds(2, 0, 6, 2));

    item.Picture().Clear();
    FitLRImage(&item, Rect(50, 50, 60, 60)); // nothing to fit: left as it is
    EXPECT_EQ(item.BoundsRect(), Bounds(2, 0, 6, 2));
}
