// The picture item: printer and preview destinations, fitting, and damaged JPEG files (refused
// when taken, with a readable reason and the picture held before kept, or printed whole).
#include "support_FakePrinter.h"

#include "report/LightRepEx.h"
#include "support/TestSupport.h"

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

// The area painted with something other than white, as a report rectangle.
TRect Painted(const QImage& img) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                r |= QRect(x, y, 1, 1);
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
    item.Print(onPrinter, Rect(0, 0, 100, 100), stFrameOnly, 6.25); // no picture
    printer.EndDoc();
    ASSERT_EQ(printer.Sent.size(), 1u);
    EXPECT_EQ(printer.Sent[0].Dest, QRect(62, 62, 375, 231));
    EXPECT_EQ(printer.Sent[0].Image.size(), QSize(120, 80)); // sent at its own resolution

    // Preview: the destination rounded; an empty holder or graphic draws nothing, no error.
    auto preview = [&](const TRect& r, double scale) {
        QImage page(300, 200, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        TLRCanvas bitmap(&painter, 96);
        item.Print(bitmap, r, stPrint, scale);
        return page;
    };
    EXPECT_EQ(Painted(preview(Rect(10, 10, 70, 47), 3.0)), Rect(30, 30, 210, 141));
    item.Picture().Clear();
    EXPECT_EQ(Painted(preview(Rect(10, 10, 110, 110), 1.0)).Width(), 0);
    item.Picture().Bitmap();
    EXPECT_EQ(Painted(preview(Rect(10, 10, 110, 110), 1.0)).Width(), 0);
}

// A picture finer than the printer's dots under it reaches the device reduced to those dots,
// smoothly; one that is coarser goes unchanged.
TEST(ImageItem, DeviceGetsNoMorePixelsThanItCanPrint) {
    const QImage photo = Gradient(512, 384);
    EXPECT_EQ(DeviceImage(QSize(512, 384), photo).cacheKey(), photo.cacheKey());
    EXPECT_EQ(DeviceImage(QSize(378, 284), photo).size(), QSize(378, 284));
    EXPECT_EQ(DeviceImage(QSize(300, 900), photo).size(), QSize(300, 384));
    EXPECT_EQ(DeviceImage(QSize(0, 0), photo).size(), QSize(1, 1));
    EXPECT_NEAR(qRed(DeviceImage(QSize(256, 192), photo).pixel(64, 96)), 129, 2);

    TFakePrinter printer;
    printer.CanvasSize = QSize(200, 150);
    printer.BeginDoc();
    printer.StretchDIBits(QRect(10, 10, 100, 75), photo);
    printer.EndDoc();
    EXPECT_EQ(Painted(printer.Sheets.at(0)), Rect(10, 10, 110, 85));
    EXPECT_NEAR(qRed(printer.Sheets[0].pixel(35, 40)), 128, 4); // column 128 lands a quarter in
}

TEST(ImageItem, DamagedJpegsAreRefusedWhenTakenAndWholeOnesPrintWhole) {
    const QByteArray dune = ReadAll(TestDataPath("dune.jpg"));
    const QByteArray storm = ReadAll(TestDataPath("storm_progressive.jpg"));
    // Where the entropy-coded data of the first scan begins.
    const qsizetype sos = dune.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(sos, 0);
    const qsizetype scan = sos + 2 + ((uchar(dune[sos + 2]) << 8) | uchar(dune[sos + 3]));
    const std::tuple<const char*, QByteArray, bool> cases[] = {
        {"whole", dune, true},
        {"progressive", storm, true},
        {"CMYK", ReadAll(TestDataPath("blinds_cmyk.jpg")), true},
        {"grey", ReadAll(TestDataPath("wood_gray.jpg")), true},
        {"header only", dune.left(scan), false},
        {"cut in the scan", dune.left(scan + (dune.size() - scan) / 3), false},
        {"a second start of image in the scan",
         dune.left(scan + 400) + QByteArray("\xFF\xD8", 2) + dune.mid(scan + 400), false},
        {"cut progressive", storm.chopped(2000), false},
        {"not a picture", QByteArray("not a jpeg at all"), false},
        {"empty", QByteArray(), false},
    };
    for (const auto& [name, data, good] : cases) {
        SCOPED_TRACE(name);
        TLRJPEGImage jpeg;
        try {
            jpeg.LoadFromData(data);
            ASSERT_TRUE(good) << "a damaged picture was taken";
        } catch (const Exception& e) {
            EXPECT_FALSE(good) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().startsWith("JPEG image cannot be read: "));
            EXPECT_TRUE(jpeg.Empty());
            continue;
        }
        const QImage image = jpeg.ToImage();
        QImage reference;
        ASSERT_TRUE(reference.loadFromData(data, "JPEG"));
        reference = reference.convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), reference.size());
        EXPECT_EQ(QSize(jpeg.Width(), jpeg.Height()), reference.size());
        double diff = 0, n = 0;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7, n += 3) {
                const QRgb a = image.pixel(x, y), b = reference.pixel(x, y);
                diff += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                        std::abs(qBlue(a) - qBlue(b));
            }
        EXPECT_LT(diff / n, 4.0);
    }
    // A refused picture leaves the one held before.
    TLRJPEGImage held;
    held.LoadFromData(dune);
    EXPECT_THROW(held.LoadFromData(dune.left(scan + 100)), Exception);
    EXPECT_EQ(held.Data(), dune);
}

TEST(ImageItem, FitKeepsProportionsAndRoundsHalvesToEven) {
    TLRImage item(nullptr);
    TLRPicture wide = BitmapPicture(Gradient(200, 100)), strip = BitmapPicture(Gradient(3, 1));
    item.SetPicture(&wide);
    FitLRImage(&item, Rect(10, 10, 110, 110));
    EXPECT_EQ(item.BoundsRect(), Bounds(10, 35, 100, 50));
    item.SetPicture(&strip);
    FitLRImage(&item, Rect(0, 0, 5, 5)); // 5 x 1.667 -> 5 x 2, top = round(1.5) = 2
    EXPECT_EQ(item.BoundsRect(), Bounds(0, 2, 5, 2));
    FitLRImage(&item, Rect(0, 0, 9, 2)); // 6 x 2, left = round(1.5) = 2
    EXPECT_EQ(item.BoundsRect(), Bounds(2, 0, 6, 2));
    item.Picture().Clear();
    FitLRImage(&item, Rect(50, 50, 60, 60)); // nothing to fit: left as it is
    EXPECT_EQ(item.BoundsRect(), Bounds(2, 0, 6, 2));
}
