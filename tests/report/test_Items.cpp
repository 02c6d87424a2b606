// Items drawn to the pixel: frame-only and turned text, line splitting; the picture item's
// destinations, fitting and damaged JPEG files.
#include "support_FakePrinter.h"

#include "report/LightRepEx.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
const QString Face = QStringLiteral("IPAPGothic");

const auto Dark = [](QRgb c) { return qGray(c) < 128; };
const auto NotWhite = [](QRgb c) { return (c & 0xFFFFFF) != 0xFFFFFF; };

// The smallest rectangle holding every pixel that passes the test (exclusive right and bottom).
TRect Ink(const QImage& image, bool (*test)(QRgb) = +Dark) {
    QRect r;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            r |= test(image.pixel(x, y)) ? QRect(x, y, 1, 1) : QRect();
    return Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
}

// Draws an item once on a white sheet.
QImage Draw(TCustomLRItem& item, int w, int h, const TRect& rect, double scale = 1.0,
            TPrintStatus status = stPrint) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TLRCanvas canvas(nullptr, 96);
    canvas.SetPainter(&painter);
    item.Print(canvas, rect, status, scale);
    painter.end();
    return image;
}

// A picture whose red channel is the column and green channel the row.
TLRPicture Gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    TLRPicture pic;
    pic.SetGraphic(std::make_unique<TLRBitmap>(img));
    return pic;
}
} // namespace

TEST(TextItems, FrameOnlyDrawsNoTextAndTurnedTextKeepsTwoLines) {
    TLRItem item(nullptr);
    item.SetFont(TLRFont::Pixels(Face, 16));
    item.Text = "Hello";
    item.SetLines(lsSingle, lsNone, lsNone, lsNone); // frame only: the top line, no text
    EXPECT_EQ(Ink(Draw(item, 220, 60, Rect(5, 5, 205, 45), 1.0, stFrameOnly)), Rect(4, 4, 204, 5));

    TLRItem2 turned(nullptr);
    turned.SetFont(TLRFont::Pixels(Face, 12));
    turned.WordWrap = true;
    turned.Text = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ"; // three lines long
    QFont f(Face);
    f.setPixelSize(12);
    const int th = QFontMetrics(f).height();
    for (TTextLayout l : {tlTop, tlBottom}) { // two lines, from the top or ending at 99
        turned.Layout = l;
        const TRect ink = Ink(Draw(turned, 120, 120, Rect(0, 0, 100, 100)));
        EXPECT_GT(ink.Height(), th);
        EXPECT_TRUE(l == tlTop
                        ? ink.Top >= 2 && ink.Bottom <= 2 + 2 * th
                        : ink.Bottom <= 99 && ink.Bottom >= 99 - th / 2 && ink.Top >= 99 - 2 * th)
            << ink.Top << "-" << ink.Bottom;
    }
    turned.WordWrapNum = 0; // frame-only items of the layouts
    EXPECT_EQ(Ink(Draw(turned, 120, 120, Rect(0, 0, 100, 100))).Width(), 0);
}

TEST(TextItems, SplitLinesKeepsWholeCharactersAndNeverTestsTheLast) {
    auto tens = [](const QString& s) { return int(s.toUcs4().size()) * 10; };
    const QString clefs = QString::fromUtf8("𝄞𝄞𝄞𝄞𝄞");
    const std::tuple<QString, int, QStringList> cases[] = {
        {"ABCDEFG", 40, {"ABCD", "EFG"}},
        {"ABCDE", 40, {"ABCDE"}}, // the last line is never measured
        {"", 40, {""}},
        {clefs, 20, {QString::fromUtf8("𝄞𝄞"), QString::fromUtf8("𝄞𝄞𝄞")}},
        {"WW", 5, {"", "WW"}}, // a character wider than the extent
    };
    for (const auto& [text, extent, want] : cases)
        EXPECT_EQ(SplitLines(text, extent, tens), want) << text.toStdString();
    auto units = [](const QString& s) { return int(s.size()) * 10; }; // measures halves
    for (const QString& part : SplitLines(clefs, 30, units))
        EXPECT_EQ(part.size() % 2, 0) << "a surrogate pair was cut";
}

TEST(ImageItem, DestinationsOnPrinterAndPreview) {
    TFakePrinter printer;
    TLRImage item(nullptr);
    TLRPicture pic = Gradient(120, 80);
    item.SetPicture(&pic);
    item.SetStretch(true);
    printer.BeginDoc();
    TLRCanvas onPrinter(printer.Canvas(), 600, &printer);
    item.Print(onPrinter, Rect(10, 10, 70, 47), stPrint, 6.25);
    item.Print(onPrinter, Rect(0, 0, 100, 100), stFrameOnly, 6.25); // no picture
    printer.EndDoc();
    ASSERT_EQ(printer.Sent.size(), 1u);
    EXPECT_EQ(printer.Sent[0].Dest, QRect(62, 62, 375, 231));
    EXPECT_EQ(printer.Sent[0].Image.size(), QSize(120, 80)); // at its own resolution
    EXPECT_EQ(Ink(Draw(item, 300, 200, Rect(10, 10, 70, 47), 3.0), NotWhite),
              Rect(30, 30, 210, 141));
    item.Picture().Clear(); // an empty holder draws nothing, no error
    EXPECT_EQ(Ink(Draw(item, 300, 200, Rect(10, 10, 110, 110)), NotWhite).Width(), 0);
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
        const QImage reference = QImage::fromData(data, "JPEG").convertToFormat(image.format());
        ASSERT_EQ(image.size(), reference.size());
        EXPECT_EQ(QSize(jpeg.Width(), jpeg.Height()), reference.size());
        double diff = 0;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                diff += std::abs(qGray(image.pixel(x, y)) - qGray(reference.pixel(x, y)));
        EXPECT_LT(diff * 49 / image.width() / image.height(), 4.0);
    }
    TLRJPEGImage held; // a refused picture leaves the one held before
    held.LoadFromData(dune);
    EXPECT_THROW(held.LoadFromData(dune.left(scan + 100)), Exception);
    EXPECT_EQ(held.Data(), dune);
}

TEST(ImageItem, FitKeepsProportionsAndRoundsHalvesToEven) {
    TLRImage item(nullptr);
    TLRPicture wide = Gradient(200, 100), strip = Gradient(3, 1);
    const std::tuple<TLRPicture*, TRect, TRect> cases[] = {
        {&wide, Rect(10, 10, 110, 110), Bounds(10, 35, 100, 50)},
        {&strip, Rect(0, 0, 5, 5), Bounds(0, 2, 5, 2)},      // 5 x 1.667: top = round(1.5) = 2
        {&strip, Rect(0, 0, 9, 2), Bounds(2, 0, 6, 2)},      // 6 x 2: left = round(1.5) = 2
        {nullptr, Rect(50, 50, 60, 60), Bounds(2, 0, 6, 2)}, // nothing to fit: left as it is
    };
    for (const auto& [pic, rect, want] : cases) {
        pic ? item.SetPicture(pic) : item.Picture().Clear();
        FitLRImage(&item, rect);
        EXPECT_EQ(item.BoundsRect(), want);
    }
}
