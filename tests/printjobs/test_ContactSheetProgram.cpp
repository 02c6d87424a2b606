// The built program prints a contact sheet end to end (VELMORA_NEEDS_DISPLAY,
// VELMORA_NEEDS_CUPS): a folder of 31 photographs, a third of them with a camera's shooting
// date, "Print Contact Sheet" from the File menu, Preview paged to page 2, then Print to the
// private print server's A4 queue and to its US Letter queue. The spooled PDF is measured on
// pdftoppm rasters and its dates read back with pdftotext.
#include "Common/c_PrintGeometry.h"
#include "imaging/ExifReader.h"
#include "platform/PPrinter.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

constexpr int Photos = 31;
const QDateTime FileTime(QDate(2024, 3, 5), QTime(10, 20, 30));

QColor ColourOf(int i) {
    return QColor(120 + (i % 4) * 40, 120 + ((i / 4) % 4) * 40, 100 + ((i / 16) % 2) * 60);
}
bool HasExif(int i) {
    return i % 3 == 0;
}
bool IsLabel(QRgb p) {
    return Near(QColor(p), QColor(0x99, 0x99, 0xFF), 30);
}
bool IsSilver(QRgb p) {
    return qGray(p) > 150 && qGray(p) < 232 && std::abs(qRed(p) - qBlue(p)) < 16;
}

// The camera block of a real photograph, to give generated pictures a shooting date.
QByteArray CameraBlock() {
    const QByteArray dune = ReadAll(TestDataPath("dune.jpg"));
    for (int i = 2; i + 4 <= dune.size();) {
        const int len = (uchar(dune[i + 2]) << 8) | uchar(dune[i + 3]);
        if (uchar(dune[i + 1]) == 0xE1 && dune.mid(i + 4, 4) == "Exif")
            return dune.mid(i, len + 2);
        i += 2 + len;
    }
    return {};
}

struct TQueueCase {
    QString Queue;
    double WidthMm, HeightMm;
};

void PrintContactSheet(const TQueueCase& q) {
    ASSERT_FALSE(XvfbDisplay().isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";

    // The layout's base panel on this queue's portrait paper, in report units.
    TRect paper;
    {
        TQtPrinter printer;
        const int index = int(printer.Printers().indexOf(q.Queue));
        ASSERT_GE(index, 0);
        printer.SetPrinterIndex(index);
        printer.SetOrientation(TPrinterOrientationKind::Portrait);
        paper = PaperRect(&printer);
    }
    const int bw = paper.Width() - 74, bh = paper.Height() - 74;
    const int titleBottom = 37 + bh / 18, stripTop = 37 + bh - 30;

    // 31 coloured photographs; every third carries the camera block and its date.
    QTemporaryDir photos;
    const QByteArray block = CameraBlock();
    ASSERT_FALSE(block.isEmpty());
    TExifReader exif;
    ASSERT_TRUE(exif.Read(TestDataPath("dune.jpg")));
    QString shot = exif.DateTimeOriginal().left(19);
    shot[4] = u'/';
    shot[7] = u'/';
    const QString fileDate = FileTime.toString("yyyy/MM/dd hh:mm:ss");
    for (int i = 0; i < Photos; ++i) {
        QImage img(400, 300, QImage::Format_RGB32);
        img.fill(ColourOf(i));
        const QString path = photos.filePath(QString("p%1.jpg").arg(i, 3, 10, QChar('0')));
        ASSERT_TRUE(img.save(path, "JPG", 95));
        if (HasExif(i)) {
            const QByteArray jpeg = ReadAll(path);
            WriteRaw(path, jpeg.left(2) + block + jpeg.mid(2));
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(FileTime, QFileDevice::FileModificationTime));
    }

    TProgramRun run(q.Queue, photos.path());
    ASSERT_TRUE(run.WaitLoaded()) << run.Finish().toStdString();
    const QString settings = run.OpenFromFileMenu("c", "Print Contact Sheet ");
    ASSERT_FALSE(settings.isEmpty()) << run.Finish().toStdString();
    QThread::msleep(800);
    Shot(run.Display, QString("contact_sheet_settings_%1.png").arg(q.Queue));

    Click(run.Display, settings, 590, 477); // Preview
    const QString preview = FindWindow(run.Display, "Preview");
    ASSERT_FALSE(preview.isEmpty());
    QThread::msleep(800);
    Click(run.Display, preview, 223, 15); // next page
    QThread::msleep(1000);
    Shot(run.Display, QString("contact_sheet_preview_page2_%1.png").arg(q.Queue));
    Click(run.Display, preview, 36, 15); // Close
    QThread::msleep(600);

    Click(run.Display, settings, 486, 477); // Print
    const QString pdf = run.WaitForPdf("Contact_sheet");
    ASSERT_FALSE(pdf.isEmpty()) << run.Finish().toStdString();
    QThread::msleep(300);
    Click(run.Display, settings, 694, 477); // Close
    const QString out = run.Finish();
    EXPECT_TRUE(out.contains("Select A4 or US Letter as the paper size.")) << out.toStdString();

    ASSERT_EQ(PdfPages(pdf), 2);
    const QImage page = PdfPage(pdf, 1, BuildDirPath("contact_sheet_" + q.Queue));
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(PxToMm(page.width()), q.WidthMm, 1.0);
    EXPECT_NEAR(PxToMm(page.height()), q.HeightMm, 1.0);

    // The label strip: 30 units closing the base panel.
    const int middle = MmToPx(UnitsMm(37 + bw / 2));
    int top = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y)
        if (IsLabel(page.pixel(middle, y))) {
            if (top < 0)
                top = y;
            bottom = y + 1;
        }
    ASSERT_GE(top, 0);
    std::printf("%s: strip %.2f mm high from %.2f mm (layout %.2f from %.2f)\n",
                qPrintable(q.Queue), PxToMm(bottom - top), PxToMm(top), UnitsMm(30),
                UnitsMm(stripTop));
    EXPECT_NEAR(PxToMm(bottom - top), UnitsMm(30), 0.3);
    EXPECT_NEAR(PxToMm(top), UnitsMm(stripTop), 0.3);

    // The title's underline closes the title area, bh div 18 high: the only line near the
    // left edge above the strip.
    const QList<double> lines = Runs(page, MmToPx(UnitsMm(40)), false, IsDark);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_NEAR(PxToMm(lines.first()), UnitsMm(titleBottom), 0.3);

    // The 5 x 6 cells tile the grid panel: along row 0 below its date lines, each cell's frame
    // (4 units in from the cell's left, 2 from its right).
    const int gridH = bh - bh / 18 - 30;
    const QList<double> frames =
        Runs(page, MmToPx(UnitsMm(titleBottom + gridH / 6 * 150 / 160)), true, IsSilver);
    ASSERT_EQ(frames.size(), 10) << q.Queue.toStdString();
    for (int c = 0; c < 5; ++c) {
        EXPECT_NEAR(PxToMm(frames[2 * c]), UnitsMm(37 + bw * c / 5 + 4), 0.3) << c;
        EXPECT_NEAR(PxToMm(frames[2 * c + 1]), UnitsMm(37 + bw * (c + 1) / 5 - 2), 0.3) << c;
    }

    // Dates: the camera's for every third picture, the file's for the others.
    const QString text1 = RunTool("pdftotext", {"-f", "1", "-l", "1", pdf, "-"});
    const QString text2 = RunTool("pdftotext", {"-f", "2", "-l", "2", pdf, "-"});
    EXPECT_EQ(text1.count(shot), 10) << text1.toStdString();
    EXPECT_EQ(text1.count(fileDate), 20);
    EXPECT_EQ(text2.count(shot), 1);
    EXPECT_TRUE(text2.contains("p030.jpg"));
    EXPECT_TRUE(text1.contains(photos.path()));
}

} // namespace

TEST(ContactSheetProgram, ThirtyOnePhotosOnA4) {
    PrintContactSheet({"Velmora-PDF", 210, 297});
}

TEST(ContactSheetProgram, ThirtyOnePhotosOnLetter) {
    PrintContactSheet({"Velmora-PDF-2", 215.9, 279.4});
}
