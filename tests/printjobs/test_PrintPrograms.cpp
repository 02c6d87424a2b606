// The built program prints each CD insert on the private A4 queue (VELMORA_NEEDS_DISPLAY,
// VELMORA_NEEDS_CUPS), driven with xdotool; its spooled PDF is measured as pixels.
#include "Common/c_PrintGeometry.h"
#include "imaging/ExifReader.h"
#include "platform/PPrinter.h"
#include "support/OrientedPictures.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString Queue = "Velmora-PDF";

// The queue's printable area (or paper), in report units.
TRect Printable(TPrinterOrientationKind orientation, bool printable = true) {
    TQtPrinter printer;
    printer.SetPrinterIndex(int(printer.Printers().indexOf(Queue)));
    printer.SetOrientation(orientation);
    return printable ? PrintableRect(&printer) : PaperRect(&printer);
}

// The print window by its File menu key, then Preview, Print and Close (104 pixels apart from
// printX); gives the job's spooled PDF, checked for its page count.
QString PrintFromWindow(TProgramRun& run, const QString& key, const QString& title,
                        const QString& job, int printX, int pages,
                        const std::function<void(const QString&)>& before,
                        const std::function<void(const QString&)>& inPreview) {
    const QString window = run.OpenFromFileMenu(key, title);
    EXPECT_FALSE(window.isEmpty());
    QThread::msleep(800);
    before(window);
    Shot(run.Display, job.toLower() + "_settings.png");
    Click(run.Display, window, printX + 104, 477); // Preview
    const QString preview = FindWindow(run.Display, "Preview");
    EXPECT_FALSE(preview.isEmpty());
    QThread::msleep(1000);
    inPreview(preview);
    Shot(run.Display, job.toLower() + "_preview.png");
    Click(run.Display, preview, 36, 15); // Close
    QThread::msleep(600);
    Click(run.Display, window, printX, 477);
    const QString pdf = run.WaitForPdf(job);
    QThread::msleep(300);
    Click(run.Display, window, printX + 208, 477);
    QThread::msleep(500);
    EXPECT_EQ(pdf.isEmpty() ? -1 : PdfPages(pdf), pages);
    return pdf;
}
const auto Nothing = [](const QString&) {};

} // namespace

// One start on 73 photographs (every third with a shooting date, the first selected) prints the
// three inserts, each measured where the layout puts its parts.
TEST(PrintPrograms, TheThreeInsertsOfSeventyThreePhotos) {
    auto colourOf = [](int i) {
        return QColor(130 + (i % 4) * 40, 130 + ((i / 4) % 4) * 40, 130 + ((i / 16) % 5) * 30);
    };
    TExifReader exif;
    ASSERT_TRUE(exif.Read(TestDataPath("dune.jpg")));
    QString shot = exif.DateTimeOriginal().left(19);
    shot[4] = shot[7] = u'/';
    const QDateTime fileTime(QDate(2024, 3, 5), QTime(10, 20, 30));
    QTemporaryDir photos, home, tmp;
    for (int i = 0; i < 73; ++i) {
        const QString path = photos.filePath(QString("p%1.jpg").arg(i, 3, 10, QChar('0')));
        QImage img(400, 300, QImage::Format_RGB32);
        img.fill(colourOf(i));
        ASSERT_TRUE(i % 3 == 2
                        ? QFile::copy(TestDataPath("dune.jpg"), path)
                        : (i ? img : oriented::Upright().scaled(400, 300)).save(path, "JPG", 95));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(fileTime, QFileDevice::FileModificationTime));
    }
    // Heavy letters first, light ones last, so the ink shows which way the title reads.
    WriteRaw(home.filePath("Thumbnail.ini"), "[PrintJacket]\nTitle=WWWWWW iiiiii\n");
    TProgramRun run(home.path(), tmp.path(), {photos.filePath("p000.jpg")}, {{"PRINTER", Queue}});
    ASSERT_TRUE(run.WaitLoaded());
    QThread::msleep(500);
    const QString back = PrintFromWindow(
        run, "b", "Print Back Card", "Back_card", 488, 1,
        [&](const QString& window) {
            Click(run.Display, window, 596, 112); // Rotate
            QThread::msleep(600);
        },
        Nothing);
    const QString card =
        PrintFromWindow(run, "i", "Print Index Card", "Index_card", 528, 2, Nothing, Nothing);
    const QString sheet = PrintFromWindow(run, "c", "Print Contact Sheet ", "Contact_sheet", 486, 3,
                                          Nothing, [&](const QString& preview) {
                                              Click(run.Display, preview, 223, 15); // next page
                                              QThread::msleep(1000);
                                          });
    const QString out = run.Finish();
    EXPECT_EQ(out.count("Select A4 or US Letter as the paper size."), 3) << out.toStdString();
    ASSERT_FALSE(card.isEmpty() || sheet.isEmpty() || back.isEmpty());

    const QImage page1 = PdfPage(card, 1, BuildDirPath("index_card-1"));
    const QImage page2 = PdfPage(card, 2, BuildDirPath("index_card-2"));
    EXPECT_NEAR(PxToMm(page1.width()), 297, 1.0);
    const int height = Printable(TPrinterOrientationKind::Landscape).Height();
    const int cardTop = 37 + (height - 454) / 2, cardLeft = 37;
    // Both cards' edges through their title strips and down the right one.
    const QList<double> across = Runs(page1, UnitsToPx(cardTop + 12), true, IsDark);
    const QList<double> side = Runs(page1, UnitsToPx(cardLeft + 2 * 454 - 8), false, IsDark);
    ASSERT_EQ(across.size(), 3);
    ASSERT_GE(side.size(), 2);
    EXPECT_NEAR(PxToMm(across[1] - across[0]), 120.1, 0.3);
    EXPECT_NEAR(PxToMm(across[2] - across[1]), 120.1, 0.3);
    EXPECT_NEAR(PxToMm(side.last() - side.first()), 120.1, 0.3);
    EXPECT_NEAR(PxToMm(across[0]), UnitsMm(cardLeft), 0.3);
    EXPECT_NEAR(PxToMm(side.first()), UnitsMm(cardTop), 0.3);
    // The middle of a cell's picture box in the 6 x 6 grids, below a 30-unit title strip.
    auto cell = [&](const QImage& page, bool right, int col, int row) {
        const int x = cardLeft + (right ? 454 : 0) + 454 * col / 6 + 3 + (454 / 6 - 5) / 2;
        const int y = cardTop + 30 + 392 * row / 6 + 392 / 6 / 20 + 392 / 6 * 15 / 40;
        return Average(page, QPoint(UnitsToPx(x), UnitsToPx(y)));
    };
    EXPECT_TRUE(Near(cell(page1, true, 1, 0), colourOf(1)));
    EXPECT_TRUE(Near(cell(page1, false, 0, 0), colourOf(36)));
    EXPECT_TRUE(Near(cell(page2, true, 0, 0), colourOf(72)));
    EXPECT_TRUE(Near(cell(page2, true, 1, 0), QColor(0xED, 0xED, 0xED)));

    QImage page = PdfPage(sheet, 1, BuildDirPath("contact_sheet"));
    EXPECT_NEAR(PxToMm(page.width()), 210, 1.0);
    const TRect paper = Printable(TPrinterOrientationKind::Portrait, false);
    const int bw = paper.Width() - 74, bh = paper.Height() - 74;
    const int titleBottom = 37 + bh / 18;
    // The label strip, 30 units, closes the base panel.
    const int middle = UnitsToPx(37 + bw / 2);
    int stripTop = -1, stripEnd = -1;
    for (int y = 0; y < page.height(); ++y)
        if (Near(QColor(page.pixel(middle, y)), QColor(0x99, 0x99, 0xFF), 30))
            stripTop = stripTop < 0 ? y : stripTop, stripEnd = y + 1;
    EXPECT_NEAR(PxToMm(stripEnd - stripTop), UnitsMm(30), 0.3);
    EXPECT_NEAR(PxToMm(stripTop), UnitsMm(37 + bh - 30), 0.3);
    // The title's underline closes the title area.
    const QList<double> lines = Runs(page, UnitsToPx(40), false, IsDark);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_NEAR(PxToMm(lines.first()), UnitsMm(titleBottom), 0.3);
    // Below row 0's date lines each silver frame, 4 units in from its cell's left, 2 from its
    // right.
    const int gridH = bh - bh / 18 - 30;
    const QList<double> frames =
        Runs(page, UnitsToPx(titleBottom + gridH / 6 * 150 / 160), true, [](QRgb p) {
            return qGray(p) > 150 && qGray(p) < 232 && std::abs(qRed(p) - qBlue(p)) < 16;
        });
    ASSERT_EQ(frames.size(), 10);
    for (int c = 0; c < 5; ++c) {
        EXPECT_NEAR(PxToMm(frames[2 * c]), UnitsMm(37 + bw * c / 5 + 4), 0.3) << c;
        EXPECT_NEAR(PxToMm(frames[2 * c + 1]), UnitsMm(37 + bw * (c + 1) / 5 - 2), 0.3) << c;
    }
    // The camera's date for every third picture, the file's for the others; the path.
    const QString text = RunTool("pdftotext", {"-f", "1", "-l", "1", sheet, "-"});
    EXPECT_EQ(text.count(shot), 10) << text.toStdString();
    EXPECT_EQ(text.count(fileTime.toString("yyyy/MM/dd hh:mm:ss")), 20);
    EXPECT_TRUE(text.contains(photos.path()));

    page = PdfPage(back, 1, BuildDirPath("back_card"));
    // The spines' and the strip's edges, the centre's top and bottom.
    const int top = 37, mid = page.width() / 2;
    const QList<double> left = Runs(page, UnitsToPx(top + 48), true, IsDark, 0, mid);
    const QList<double> right = Runs(page, UnitsToPx(top + 410), true, IsDark, mid);
    ASSERT_EQ(left.size(), 2);
    ASSERT_EQ(right.size(), 3);
    const QList<double> down =
        Runs(page, int(left[1]) + UnitsToPx(8), false, IsDark, 0, UnitsToPx(top + 460));
    ASSERT_EQ(down.size(), 2);
    const TRect printable = Printable(TPrinterOrientationKind::Portrait);
    EXPECT_NEAR(PxToMm(left[1] - left[0]), 5.8, 0.3);
    EXPECT_NEAR(PxToMm(right[1] - right[0]), 5.8, 0.3);
    EXPECT_NEAR(PxToMm(right[0] - left[1]), 137.8, 0.3);
    EXPECT_NEAR(PxToMm(down[1] - down[0]), 116.9, 0.3);
    EXPECT_NEAR(PxToMm(right[2] - right[1]), 9.8, 0.3);
    EXPECT_NEAR(PxToMm((left[0] + right[1]) / 2), UnitsMm(printable.Left + printable.Width() / 2.0),
                0.3);
    EXPECT_NEAR(PxToMm(down[0]), UnitsMm(top), 0.3);

    // The picture on its side inside the " Photo top" box (26, 57)-(496, 303) of the centre.
    const double cx = left[1], cy = down[0];
    const QRect box(int(cx + UnitsToPx(26)), int(cy + UnitsToPx(57)), UnitsToPx(470),
                    UnitsToPx(246));
    QRect pic; // where any of the picture's four colours shows
    for (int y = box.top() - 60; y <= box.bottom() + 60; y += 2)
        for (int x = box.left() - 60; x <= box.right() + 60; x += 2)
            for (int i = 0; i < 4; ++i)
                pic |= Near(page.pixelColor(x, y), oriented::Quarter(i), 40) ? QRect(x, y, 2, 2)
                                                                             : QRect();
    const int slack = int(0.3 / 25.4 * Dpi) + 2;
    EXPECT_TRUE(box.adjusted(-slack, -slack, slack, slack).contains(pic));
    EXPECT_GT(pic.height(), pic.width());
    EXPECT_NEAR(pic.height(), box.height(), slack);

    // The left title reads bottom up, the right one top down: its heavy word lies at its start.
    auto spine = [&](double x0, double x1) {
        QList<int> rows;
        for (int y = int(cy) + 4; y <= int(down[1]) - 4; ++y)
            if (!Runs(page, y, true, IsDark, int(x0) + 4, int(x1) - 3).isEmpty())
                rows << y;
        int at = 1;
        for (int i = 1; i < rows.size(); ++i)
            at = rows[i] - rows[i - 1] > rows[at] - rows[at - 1] ? i : at;
        return std::pair{rows.value(at - 1) - rows.value(0),
                         rows.value(rows.size() - 1) - rows.value(at)};
    };
    const auto [lAbove, lBelow] = spine(left[0], left[1]);
    const auto [rAbove, rBelow] = spine(right[0], right[1]);
    EXPECT_GT(lBelow, 2 * lAbove);
    EXPECT_GT(rAbove, 2 * rBelow);
}
