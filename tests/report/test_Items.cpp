// Items drawn to the pixel: fill and frame lines, text placement, turned text and line
// splitting; the picture item's printer and preview destinations, fitting, and damaged JPEG
// files (refused when taken, with a readable reason and the picture held before kept, or
// printed whole).
#include "support_FakePrinter.h"

#include "report/LightRepEx.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
const QString Face = QStringLiteral("IPAPGothic");

bool Dark(QRgb c) {
    return qGray(c) < 128;
}
bool NotWhite(QRgb c) {
    return (c & 0xFFFFFF) != 0xFFFFFF;
}

// The smallest rectangle holding every pixel that passes the test (exclusive right and bottom).
TRect Ink(const QImage& image, bool (*test)(QRgb) = Dark) {
    QRect r;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            r |= test(image.pixel(x, y)) ? QRect(x, y, 1, 1) : QRect();
    return Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
}

// Bands of rows with ink, separated by empty rows.
int InkBands(const QImage& image) {
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        bool any = false;
        for (int x = 0; x < image.width() && !any; ++x)
            any = Dark(image.pixel(x, y));
        bands += any && !inBand;
        inBand = any;
    }
    return bands;
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
} // namespace

TEST(TextItems, FillAndFrameLinesArePixelExactAndPensFollowTheScale) {
    TLRItem item(nullptr);
    item.Transparent = false;
    item.SetColor(0x00FF00);
    item.SetLines(lsSingle, lsSingle, lsSingle, lsSingle);
    const QImage img = Draw(item, 60, 50, Rect(10, 10, 40, 30));
    // Fill from one unit left of and above the rectangle; lines one unit outside at the top
    // and left, on the last column and row at the right and bottom, without end points.
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const bool in = x >= 9 && x < 39 && y >= 9 && y < 29;
            const bool line = (in && (x == 9 || y == 9)) || (x == 39 && y >= 9 && y < 29) ||
                              (y == 29 && x >= 9 && x < 39);
            const QRgb want = line ? qRgb(0, 0, 0) : in ? qRgb(0, 255, 0) : qRgb(255, 255, 255);
            ASSERT_EQ(img.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
        }

    // At s = 2: single 2, half 1, double 4 pixels.
    TLRItem lines(nullptr);
    lines.SetLines(lsDouble, lsSingle, lsHalf, lsNone);
    const QImage s2 = Draw(lines, 120, 80, Rect(10, 10, 40, 30), 2.0);
    auto count = [&](bool column, int at, int from, int to) {
        int n = 0;
        for (int i = from; i < to; ++i)
            n += Dark(column ? s2.pixel(at, i) : s2.pixel(i, at));
        return n;
    };
    EXPECT_EQ(count(true, 50, 0, 40), 4);    // top, double
    EXPECT_EQ(count(false, 40, 0, 40), 2);   // left, single
    EXPECT_EQ(count(false, 40, 60, 120), 1); // right, half
    EXPECT_EQ(count(true, 50, 40, 80), 0);   // no bottom line
}

TEST(TextItems, TextSitsInsideTheMarginsAndFrameOnlyDrawsNoText) {
    TLRItem item(nullptr);
    item.SetFont(TLRFont::Pixels(Face, 16));
    item.Text = "Hello";
    // The text rectangle is (0, 0, 199, 39) less margins of 2; ink left, right, top, bottom.
    auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    for (auto [a, l] : {std::pair{taLeftJustify, tlTop}, std::pair{taRightJustify, tlBottom},
                        std::pair{taCenter, tlCenter}}) {
        item.Alignment = a;
        item.Layout = l;
        const TRect ink = Ink(Draw(item, 220, 60, Rect(0, 0, 200, 40)));
        const int mx = ink.Left + ink.Right - 199,
                  my = ink.Top + ink.Bottom - 39; // twice off centre
        EXPECT_TRUE(a == taLeftJustify    ? in(ink.Left, 2, 5) && in(ink.Top, 2, 8)
                    : a == taRightJustify ? in(ink.Right, 193, 197) && in(ink.Bottom, 30, 37)
                                          : in(mx, -5, 5) && in(my, -8, 8))
            << a << ": " << ink.Left << "," << ink.Top << "," << ink.Right << "," << ink.Bottom;
    }
    item.SetLines(lsSingle, lsNone, lsNone, lsNone);
    EXPECT_EQ(Ink(Draw(item, 220, 60, Rect(5, 5, 205, 45), 1.0, stFrameOnly)),
              Rect(4, 4, 204, 5)); // only the top line
}

TEST(TextItems, TurnedItemLimitsWrappedLinesAndEndsAtTheBottom) {
    TLRItem2 item(nullptr);
    item.SetFont(TLRFont::Pixels(Face, 12));
    item.WordWrap = true;
    item.Text = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const TRect rect = Rect(0, 0, 100, 100);
    QFont f(Face);
    f.setPixelSize(12);
    const int th = QFontMetrics(f).height();
    ASSERT_GE(SplitLines(item.Text, 97, QFontMetrics(f)).size(), 3) << "three lines long";

    const QImage top = Draw(item, 120, 120, rect);
    EXPECT_EQ(InkBands(top), 2);
    EXPECT_GE(Ink(top).Top, 2);
    EXPECT_LE(Ink(top).Bottom, 2 + 2 * th);
    item.Layout = tlBottom;
    const QImage bottom = Draw(item, 120, 120, rect);
    const TRect ink = Ink(bottom);
    EXPECT_EQ(InkBands(bottom), 2);
    // The second line ends at the text rectangle's bottom (P.Bottom = 99).
    EXPECT_TRUE(ink.Bottom <= 99 && ink.Bottom >= 99 - th / 2 && ink.Top >= 99 - 2 * th)
        << ink.Top << "-" << ink.Bottom;
    item.WordWrapNum = 0; // frame-only items of the layouts
    EXPECT_EQ(InkBands(Draw(item, 120, 120, rect)), 0);
}

TEST(TextItems, SplitLinesKeepsWholeCharactersAndNeverTestsTheLast) {
    auto tens = [](const QString& s) { return int(s.toUcs4().size()) * 10; };
    EXPECT_EQ(SplitLines("ABCDEFG", 40, tens), QStringList({"ABCD", "EFG"}));
    EXPECT_EQ(SplitLines("ABCDE", 40, tens), QStringList({"ABCDE"}));
    EXPECT_EQ(SplitLines("", 40, tens), QStringList({""}));
    EXPECT_EQ(SplitLines("日本語のテキスト", 30, tens), QStringList({"日本語", "のテキ", "スト"}));
    // Characters outside the basic plane are never cut in half.
    const QString clefs = QString::fromUtf8("𝄞𝄞𝄞𝄞𝄞");
    EXPECT_EQ(SplitLines(clefs, 20, tens),
              QStringList({QString::fromUtf8("𝄞𝄞"), QString::fromUtf8("𝄞𝄞𝄞")}));
    auto units = [](const QString& s) { return int(s.size()) * 10; }; // measures halves
    for (const QString& part : SplitLines(clefs, 30, units))
        EXPECT_EQ(part.size() % 2, 0) << "a surrogate pair was cut";
    // A character wider than the extent gives an empty first line.
    EXPECT_EQ(SplitLines("WW", 5, tens), QStringList({"", "WW"}));

    QFont f(Face);
    f.setPixelSize(20);
    const QFontMetrics m(f);
    const int e = m.horizontalAdvance("ABCD");
    const QStringList real = SplitLines("ABCDEFGHIJ", e, m);
    EXPECT_EQ(real.join(""), "ABCDEFGHIJ");
    EXPECT_GE(real.size(), 2);
    for (int i = 0; i + 1 < real.size(); ++i)
        EXPECT_LE(m.horizontalAdvance(real[i]), e);
}

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
    EXPECT_EQ(Ink(Draw(item, 300, 200, Rect(10, 10, 70, 47), 3.0), NotWhite),
              Rect(30, 30, 210, 141));
    item.Picture().Clear();
    EXPECT_EQ(Ink(Draw(item, 300, 200, Rect(10, 10, 110, 110)), NotWhite).Width(), 0);
    item.Picture().Bitmap();
    EXPECT_EQ(Ink(Draw(item, 300, 200, Rect(10, 10, 110, 110)), NotWhite).Width(), 0);
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
    EXPECT_EQ(Ink(printer.Sheets.at(0), NotWhite), Rect(10, 10, 110, 85));
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
