// The built program prints a back card end to end (VELMORA_NEEDS_DISPLAY,
// VELMORA_NEEDS_CUPS): a photograph is selected in the grid, "Print Back Card" opens from the
// File menu, the picture is turned once, Preview, then Print to the private print server's
// A4 queue and to its US Letter queue. The windows are driven with xdotool on the test
// display and left as screenshots under the build tree; the spooled PDF is measured on a
// pdftoppm raster.
#include "Common/c_PrintGeometry.h"
#include "platform/PPrinter.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// The photograph's quarters: top left, top right, bottom left, bottom right.
const QColor Quarter[4] = {QColor(210, 30, 30), QColor(30, 170, 30), QColor(30, 30, 210),
                           QColor(235, 205, 20)};
// Heavy letters first, light ones last, so the ink shows which way the title reads.
const char* const Title = "WWWWWW iiiiii";

// The box of the pixels near one of the photograph's colours within an area.
QRect PictureBox(const QImage& img, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); y += 2)
        for (int x = area.left(); x <= area.right(); x += 2)
            for (const QColor& q : Quarter)
                if (Near(img.pixelColor(x, y), q, 40)) {
                    box |= QRect(x, y, 2, 2);
                    break;
                }
    return box;
}

// The ink of a spine: its box, and the lengths of the text above and below the widest gap
// between ink rows (the blank between the title's two words).
struct TInk {
    int Count = 0;
    QRect Box;
    int Above = 0, Below = 0;
};
TInk InkIn(const QImage& img, const QRect& area) {
    TInk ink;
    QList<bool> rows;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool any = false;
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(img.pixel(x, y)) < 100) {
                ++ink.Count;
                ink.Box |= QRect(x, y, 1, 1);
                any = true;
            }
        rows << any;
    }
    int gapStart = 0, gapLength = 0;
    for (int y = ink.Box.top(); y <= ink.Box.bottom();) {
        int n = 0;
        while (y + n <= ink.Box.bottom() && !rows[y + n - area.top()])
            ++n;
        if (n > gapLength)
            gapStart = y, gapLength = n;
        y += std::max(n, 1);
    }
    ink.Above = gapStart - ink.Box.top();
    ink.Below = ink.Box.bottom() - (gapStart + gapLength) + 1;
    return ink;
}

struct TQueueCase {
    QString Queue;
    double WidthMm, HeightMm;
};

void PrintBackCard(const TQueueCase& q) {
    ASSERT_FALSE(XvfbDisplay().isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";

    // The queue's printable area on portrait paper, in report units.
    TRect printable;
    {
        TQtPrinter printer;
        const int index = int(printer.Printers().indexOf(q.Queue));
        ASSERT_GE(index, 0);
        printer.SetPrinterIndex(index);
        printer.SetOrientation(TPrinterOrientationKind::Portrait);
        printable = PrintableRect(&printer);
    }

    QTemporaryDir home, tmp, photos;
    {
        QImage img(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                img.setPixelColor(x, y, Quarter[(x < 200 ? 0 : 1) + (y < 150 ? 0 : 2)]);
        ASSERT_TRUE(img.save(photos.filePath("photo.jpg"), "JPG", 95));
        QImage other(300, 300, QImage::Format_RGB32);
        other.fill(QColor(120, 120, 120));
        ASSERT_TRUE(other.save(photos.filePath("zz_other.jpg"), "JPG", 95));
    }
    WriteRaw(home.filePath("Thumbnail.ini"), QByteArray("[PrintJacket]\nTitle=") + Title + "\n");
    TProgramRun run(home.path(), tmp.path(), {photos.path()}, {{"PRINTER", q.Queue}});
    const QString display = run.Display;
    ASSERT_TRUE(run.WaitLoaded()) << run.Finish().toStdString();
    QThread::msleep(700);

    // Select the photograph: click the middle of its picture in the grid, the only place
    // with a solid block of the blue quarter.
    const QImage screen(Shot(display, QString("back_card_main_%1.png").arg(q.Queue)));
    ASSERT_FALSE(screen.isNull());
    QPoint spot;
    for (int y = 0; y + 8 < screen.height() && spot.isNull(); y += 2)
        for (int x = 0; x + 8 < screen.width() && spot.isNull(); x += 2)
            if (Near(screen.pixelColor(x, y), Quarter[2], 25) &&
                Near(screen.pixelColor(x + 8, y + 8), Quarter[2], 25))
                spot = QPoint(x + 4, y + 4);
    ASSERT_FALSE(spot.isNull()) << "photograph not on screen";
    Click(display, {}, spot.x(), spot.y());
    QThread::msleep(300);

    const QString settings = run.OpenFromFileMenu("b", "Print Back Card");
    ASSERT_FALSE(settings.isEmpty()) << run.Finish().toStdString();
    QThread::msleep(800);
    Shot(display, QString("back_card_settings_%1.png").arg(q.Queue));

    Click(display, settings, 596, 112); // Rotate
    QThread::msleep(600);
    Shot(display, QString("back_card_turned_%1.png").arg(q.Queue));

    Click(display, settings, 592, 477); // Preview
    const QString preview = FindWindow(display, "Preview");
    ASSERT_FALSE(preview.isEmpty());
    QThread::msleep(1200);
    Shot(display, QString("back_card_preview_%1.png").arg(q.Queue));
    Click(display, preview, 36, 15); // Close
    QThread::msleep(600);

    Click(display, settings, 488, 477); // Print
    const QString pdf = run.WaitForPdf("Back_card");
    ASSERT_FALSE(pdf.isEmpty()) << run.Finish().toStdString();
    QThread::msleep(300);
    Click(display, settings, 696, 477); // Close
    QThread::msleep(300);
    const QString out = run.Finish();
    EXPECT_TRUE(out.contains("Select A4 or US Letter as the paper size.")) << out.toStdString();

    EXPECT_EQ(PdfPages(pdf), 1);
    const QImage page = PdfPage(pdf, 1, BuildDirPath("back_card_" + q.Queue));
    ASSERT_FALSE(page.isNull());
    // Portrait paper of the queue's size.
    EXPECT_NEAR(PxToMm(page.width()), q.WidthMm, 1.0);
    EXPECT_NEAR(PxToMm(page.height()), q.HeightMm, 1.0);

    // The card's vertical lines: along a row just below the title's underline, the left
    // spine's two edges (its title lies lower); along a row near the bottom, the right
    // spine's edges and the strip's right edge (its title lies higher).
    const int top = 37; // the card starts at the top of the base panel
    const int mid = page.width() / 2;
    const QList<double> left = Runs(page, UnitsToPx(top + 48), true, IsDark, 0, mid);
    const QList<double> right = Runs(page, UnitsToPx(top + 410), true, IsDark, mid, page.width());
    ASSERT_EQ(left.size(), 2) << q.Queue.toStdString();
    ASSERT_EQ(right.size(), 3) << q.Queue.toStdString();
    const double leftSpine = PxToMm(left[1] - left[0]);
    const double centre = PxToMm(right[0] - left[1]);
    const double rightSpine = PxToMm(right[1] - right[0]);
    const double strip = PxToMm(right[2] - right[1]);
    // Top and bottom of the centre along a column left of the title and lines.
    const QList<double> down =
        Runs(page, int(left[1]) + UnitsToPx(8), false, IsDark, 0, UnitsToPx(top + 460));
    ASSERT_EQ(down.size(), 2) << q.Queue.toStdString();
    const double height = PxToMm(down[1] - down[0]);
    const double cardMiddle = PxToMm((left[0] + right[1]) / 2);
    const double printableMiddle = UnitsMm(printable.Left + printable.Width() / 2.0);
    std::printf("%s: spines %.2f and %.2f mm, centre %.2f x %.2f mm, strip %.2f mm; "
                "card middle %.2f mm, printable middle %.2f mm, top %.2f mm\n",
                qPrintable(q.Queue), leftSpine, rightSpine, centre, height, strip, cardMiddle,
                printableMiddle, PxToMm(down[0]));
    EXPECT_NEAR(leftSpine, 5.8, 0.3);
    EXPECT_NEAR(rightSpine, 5.8, 0.3);
    EXPECT_NEAR(centre, 137.8, 0.3);
    EXPECT_NEAR(height, 116.9, 0.3);
    EXPECT_NEAR(strip, 9.8, 0.3);
    EXPECT_NEAR(cardMiddle, printableMiddle, 0.3);
    EXPECT_NEAR(PxToMm(down[0]), UnitsMm(top), 0.3);

    // The picture, turned once clockwise (the bottom left quarter now at the top left), lies
    // inside the " Photo top" box (26, 57)-(496, 303) of the centre panel.
    const double cx = left[1], cy = down[0]; // the centre panel's corner in pixels
    const QRect box(int(cx + UnitsToPx(26)), int(cy + UnitsToPx(57)), UnitsToPx(470),
                    UnitsToPx(246));
    const QRect pic = PictureBox(
        page, box.adjusted(-UnitsToPx(20), -UnitsToPx(20), UnitsToPx(20), UnitsToPx(20)));
    ASSERT_TRUE(pic.isValid());
    const int slack = int(0.3 / 25.4 * Dpi) + 2;
    EXPECT_TRUE(box.adjusted(-slack, -slack, slack, slack).contains(pic))
        << q.Queue.toStdString() << " picture outside its box";
    EXPECT_GT(pic.height(), pic.width()); // on its side: taller than wide
    EXPECT_NEAR(pic.height(), box.height(), slack);
    EXPECT_NEAR(pic.center().x(), box.center().x(), slack);
    const int dx = pic.width() / 4, dy = pic.height() / 4;
    EXPECT_TRUE(Near(page.pixelColor(pic.center() + QPoint(-dx, -dy)), Quarter[2], 30));
    EXPECT_TRUE(Near(page.pixelColor(pic.center() + QPoint(dx, -dy)), Quarter[0], 30));
    EXPECT_TRUE(Near(page.pixelColor(pic.center() + QPoint(-dx, dy)), Quarter[3], 30));
    EXPECT_TRUE(Near(page.pixelColor(pic.center() + QPoint(dx, dy)), Quarter[1], 30));

    // The spine titles read along the spines: the left one from the bottom up (its heavy
    // first letters low), the right one from the top down (heavy letters high).
    const int inset = 4;
    const TInk l = InkIn(page, QRect(QPoint(int(left[0]) + inset, int(cy) + inset),
                                     QPoint(int(left[1]) - inset, int(down[1]) - inset)));
    const TInk r = InkIn(page, QRect(QPoint(int(right[0]) + inset, int(cy) + inset),
                                     QPoint(int(right[1]) - inset, int(down[1]) - inset)));
    ASSERT_GT(l.Count, 200);
    ASSERT_GT(r.Count, 200);
    EXPECT_GT(l.Box.height(), 4 * l.Box.width());
    EXPECT_GT(r.Box.height(), 4 * r.Box.width());
    EXPECT_GT(l.Box.center().y(), (cy + down[1]) / 2);
    EXPECT_LT(r.Box.center().y(), (cy + down[1]) / 2);
    EXPECT_GT(l.Below, 2 * l.Above);
    EXPECT_GT(r.Above, 2 * r.Below);
}

} // namespace

TEST(BackCardProgram, TurnedPhotoOnA4) {
    PrintBackCard({"Velmora-PDF", 210, 297});
}

TEST(BackCardProgram, TurnedPhotoOnLetter) {
    PrintBackCard({"Velmora-PDF-2", 215.9, 279.4});
}
