// The built program prints an index card end to end (VELMORA_NEEDS_DISPLAY,
// VELMORA_NEEDS_CUPS): a folder of 73 photographs, "Print Index Card" from the File menu,
// Preview, then Print to the private print server's A4 queue and to its US Letter queue. The
// windows are driven with xdotool on the test display and left as screenshots under the
// build tree; the spooled PDF is measured page by page on pdftoppm rasters.
#include "Common/c_PrintGeometry.h"
#include "platform/PPrinter.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

constexpr double Dpi = 300;
constexpr int Photos = 73;

QColor ColourOf(int i) {
    return QColor(130 + (i % 4) * 40, 130 + ((i / 4) % 4) * 40, 130 + ((i / 16) % 5) * 30);
}

QString Run(const QString& program, const QStringList& args, const QString& display = {}) {
    QProcess p;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
    }
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll()).trimmed();
}

// The first visible window with exactly this title, or empty.
QString FindWindow(const QString& display, const QString& title, int ms = 15000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        const QString out = Run(
            "xdotool",
            {"search", "--onlyvisible", "--name", "^" + QRegularExpression::escape(title) + "$"},
            display);
        const QStringList ids = out.split('\n', Qt::SkipEmptyParts);
        if (!ids.isEmpty() && ids.first().toLongLong() > 0)
            return ids.first();
        QThread::msleep(100);
    }
    return {};
}

void Click(const QString& display, const QString& window, int x, int y) {
    Run("xdotool",
        {"mousemove", "--window", window, QString::number(x), QString::number(y), "click", "1"},
        display);
}

void Shot(const QString& display, const QString& name) {
    QDir().mkpath(BuildDirPath("screenshots"));
    const QString file = BuildDirPath("screenshots/" + name);
    QFile::remove(file);
    Run("import", {"-window", "root", file}, display);
    EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
}

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

double PxToMm(double px) {
    return px / Dpi * 25.4;
}
int MmToPx(double mm) {
    return int(mm / 25.4 * Dpi + 0.5);
}
double UnitsMm(double units) {
    return units / UnitsPerMm;
}

// Centres of the dark runs along a row (or a column) of a page.
QList<double> Runs(const QImage& img, int index, bool row) {
    QList<double> centres;
    const int n = row ? img.width() : img.height();
    int start = -1;
    for (int i = 0; i <= n; ++i) {
        const bool dark = i < n && qGray(row ? img.pixel(i, index) : img.pixel(index, i)) < 90;
        if (dark && start < 0)
            start = i;
        if (!dark && start >= 0) {
            centres << (start + i - 1) / 2.0;
            start = -1;
        }
    }
    return centres;
}

QColor Average(const QImage& img, const QPoint& centre) {
    int r = 0, g = 0, b = 0, n = 0;
    for (int y = -2; y <= 2; ++y)
        for (int x = -2; x <= 2; ++x) {
            const QRgb c = img.pixel(centre + QPoint(x, y));
            r += qRed(c), g += qGreen(c), b += qBlue(c), ++n;
        }
    return QColor(r / n, g / n, b / n);
}

bool Near(const QColor& a, const QColor& b, int tolerance = 22) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

struct TQueueCase {
    QString Queue;
    QString PaperName; // as pdfinfo names it
    double WidthMm, HeightMm;
};

void PrintIndexCard(const TQueueCase& q) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";

    // Where the layout puts the cards on this queue's landscape paper.
    int printableHeight = 0;
    {
        TQtPrinter printer;
        const int index = int(printer.Printers().indexOf(q.Queue));
        ASSERT_GE(index, 0);
        printer.SetPrinterIndex(index);
        printer.SetOrientation(TPrinterOrientationKind::Landscape);
        printableHeight = PrintableRect(&printer).Height();
    }
    const int cardTop = 37 + (printableHeight - 454) / 2; // report units from the paper edge
    const int cardLeft = 37;

    QTemporaryDir home, tmp, photos;
    for (int i = 0; i < Photos; ++i) {
        QImage img(400, 300, QImage::Format_RGB32);
        img.fill(ColourOf(i));
        ASSERT_TRUE(
            img.save(photos.filePath(QString("p%1.jpg").arg(i, 3, 10, QChar('0'))), "JPG", 95));
    }
    const QString log = tmp.filePath("status.log");
    const QString pdfDir = BuildDirPath("cups") + "/pdf";
    const QStringList before = QDir(pdfDir).entryList({"*Index_card*.pdf"}, QDir::Files);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("CUPS_SERVER", PrivateCupsServer());
    env.insert("PRINTER", q.Queue); // the queue the program starts with
    env.insert("VELMORA_HOME", home.path() + "/");
    env.insert("HOME", home.path());
    env.insert("TMPDIR", tmp.path());
    env.insert("XDG_RUNTIME_DIR", tmp.path());
    env.insert("VELMORA_TEST_HOOK", "1");
    env.insert("VELMORA_STATUS_LOG", log);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(VelmoraBinPath(), {photos.path()});
    ASSERT_TRUE(program.waitForStarted(10000));
    auto finish = qScopeGuard([&] {
        program.kill();
        program.waitForFinished(5000);
    });

    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 90000 && !ReadLines(log).contains("status\t Loading complete."))
        QThread::msleep(100);
    ASSERT_TRUE(ReadLines(log).contains("status\t Loading complete."))
        << program.readAll().toStdString();

    // File menu, "Print Index Card(&I)".
    const QString main = FindWindow(display, "Velmora");
    ASSERT_FALSE(main.isEmpty());
    Run("xdotool", {"mousemove", "--window", main, "400", "300"}, display);
    Run("xdotool", {"windowfocus", "--sync", main}, display);
    Run("xdotool", {"key", "alt+f"}, display);
    QThread::msleep(400);
    Run("xdotool", {"key", "i"}, display);
    const QString settings = FindWindow(display, "Print Index Card");
    ASSERT_FALSE(settings.isEmpty()) << program.readAll().toStdString();
    QThread::msleep(800);
    Shot(display, QString("index_card_settings_%1.png").arg(q.Queue));

    Click(display, settings, 632, 477); // Preview
    const QString preview = FindWindow(display, "Preview");
    ASSERT_FALSE(preview.isEmpty());
    QThread::msleep(1200);
    Shot(display, QString("index_card_preview_%1.png").arg(q.Queue));
    Click(display, preview, 36, 15); // Close
    QThread::msleep(600);

    Click(display, settings, 528, 477); // Print
    QString pdf;
    timer.restart();
    while (timer.elapsed() < 60000 && pdf.isEmpty()) {
        for (const QString& f : QDir(pdfDir).entryList({"*Index_card*.pdf"}, QDir::Files))
            if (!before.contains(f))
                pdf = pdfDir + "/" + f;
        QThread::msleep(200);
    }
    ASSERT_FALSE(pdf.isEmpty()) << program.readAll().toStdString();
    QThread::msleep(300);
    Click(display, settings, 736, 477); // Close
    QThread::msleep(300);
    program.kill();
    program.waitForFinished(5000);
    const QString out = QString::fromUtf8(program.readAll());
    EXPECT_TRUE(out.contains("Select A4 or US Letter as the paper size.")) << out.toStdString();

    const QString info = Run("pdfinfo", {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2\\b"))) << info.toStdString();
    const QString prefix = BuildDirPath("index_card_" + q.Queue);
    Run("pdftoppm", {"-r", QString::number(Dpi), "-png", pdf, prefix});
    const QImage page1(prefix + "-1.png"), page2(prefix + "-2.png");
    ASSERT_FALSE(page1.isNull());
    ASSERT_FALSE(page2.isNull());
    // Landscape paper of the queue's size.
    EXPECT_NEAR(PxToMm(page1.width()), q.WidthMm, 1.0);
    EXPECT_NEAR(PxToMm(page1.height()), q.HeightMm, 1.0);

    // Outlines: along a row through the empty title strips, the left edge, the shared middle
    // edge and the right edge; along a column near the right card's right edge, its top and
    // bottom.
    const QList<double> across = Runs(page1, MmToPx(UnitsMm(cardTop + 12)), true);
    ASSERT_EQ(across.size(), 3) << q.Queue.toStdString();
    const QList<double> down = Runs(page1, MmToPx(UnitsMm(cardLeft + 2 * 454 - 8)), false);
    ASSERT_GE(down.size(), 2);
    const double leftW = PxToMm(across[1] - across[0]), rightW = PxToMm(across[2] - across[1]);
    const double height = PxToMm(down.last() - down.first());
    std::printf("%s: cards %.2f and %.2f mm wide, %.2f mm high; left edge at %.2f mm, top at "
                "%.2f mm (layout: %.2f, %.2f)\n",
                qPrintable(q.Queue), leftW, rightW, height, PxToMm(across[0]), PxToMm(down.first()),
                UnitsMm(cardLeft), UnitsMm(cardTop));
    EXPECT_NEAR(leftW, 120.1, 0.3);
    EXPECT_NEAR(rightW, 120.1, 0.3);
    EXPECT_NEAR(height, 120.1, 0.3);
    EXPECT_NEAR(PxToMm(across[0]), UnitsMm(cardLeft), 0.3);
    EXPECT_NEAR(PxToMm(down.first()), UnitsMm(cardTop), 0.3);

    // Cells of the 6 x 6 grids (392 units high below a 30-unit title strip): the middle of
    // a cell's picture box holds the right photograph.
    auto cell = [&](bool right, int col, int row) {
        const int cw = 454 / 6;
        const int x = cardLeft + (right ? 454 : 0) + 454 * col / 6 + 3 + (cw - 5) / 2;
        const int ch = 392 / 6;
        const int y = cardTop + 30 + 392 * row / 6 + ch / 20 + ch * 15 / 40;
        return QPoint(MmToPx(UnitsMm(x)), MmToPx(UnitsMm(y)));
    };
    struct TSample {
        const QImage* Page;
        bool Right;
        int Col, Row, Item;
    };
    const TSample samples[] = {
        {&page1, true, 0, 0, 0},   {&page1, true, 1, 0, 1},   {&page1, true, 0, 1, 6},
        {&page1, true, 5, 5, 35},  {&page1, false, 0, 0, 36}, {&page1, false, 3, 2, 51},
        {&page1, false, 5, 5, 71}, {&page2, true, 0, 0, 72},  {&page2, true, 1, 0, -1},
        {&page2, false, 0, 0, -1},
    };
    for (const TSample& s : samples) {
        const QColor seen = Average(*s.Page, cell(s.Right, s.Col, s.Row));
        const QColor expect = s.Item >= 0 ? ColourOf(s.Item) : QColor(0xED, 0xED, 0xED);
        EXPECT_TRUE(Near(seen, expect))
            << q.Queue.toStdString() << (s.Right ? " right " : " left ") << s.Col << "," << s.Row
            << ": " << seen.name().toStdString() << " != " << expect.name().toStdString();
    }
}

} // namespace

TEST(IndexCardProgram, SeventyThreePhotosOnA4) {
    PrintIndexCard({"Velmora-PDF", "A4", 297, 210});
}

TEST(IndexCardProgram, SeventyThreePhotosOnLetter) {
    PrintIndexCard({"Velmora-PDF-2", "Letter", 279.4, 215.9});
}
