// `velmora print` run as a user runs it: the built program, no display, its own program
// folder. What it prints is read back from the PDF page by page as pixels and compared with
// the index card window's own print of the same folder and settings.
#include "Common/c_Config.h"
#include "cache/CThumbnailDB.h"
#include "platform/PDialogSeam.h"
#include "printjobs/i_ContactSheetPrint.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/LRPdfPrinter.h"
#include "services/CIniFile.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr double Dpi = 100; // raster resolution used for measuring

struct TRun {
    int Status = -1;
    QString Out, Err;
};

// The program as a user starts it from a shell in `dir`, without a display.
TRun RunVelmora(const QStringList& args, const QString& home, const QString& dir) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("VELMORA_HOME", home);
    // No print server: only --pdf can print.
    env.insert("CUPS_SERVER", dir + "/no-cups.sock");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.start(VelmoraBinPath(), args);
    p.waitForFinished(120000);
    TRun r;
    r.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromUtf8(p.readAllStandardOutput());
    r.Err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString Tool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll());
}

int PageCount(const QString& pdf) {
    const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(Tool("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QSizeF PaperMm(const QString& pdf) {
    const auto m =
        QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+) pts").match(Tool("pdfinfo", {pdf}));
    return m.hasMatch()
               ? QSizeF(m.captured(1).toDouble() / 72 * 25.4, m.captured(2).toDouble() / 72 * 25.4)
               : QSizeF();
}

QList<QImage> Pages(const QString& pdf) {
    QTemporaryDir dir;
    Tool("pdftoppm", {"-r", QString::number(Dpi), "-png", pdf, dir.filePath("p")});
    QList<QImage> pages;
    QStringList files = QDir(dir.path()).entryList({"p-*.png"}, QDir::Files, QDir::Name);
    for (const QString& f : files)
        pages << QImage(dir.filePath(f)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

double Mm(double px) {
    return px / Dpi * 25.4;
}

// The outer edges of the two cards along the row through the middle of the page: the
// first and last black pixel, in millimetres from the paper's left edge.
QPair<double, double> CardSpan(const QImage& page) {
    const int y = page.height() / 2;
    int first = -1, last = -1;
    for (int x = 0; x < page.width(); ++x)
        if (qGray(page.pixel(x, y)) < 80) {
            if (first < 0)
                first = x;
            last = x;
        }
    return {Mm(first), Mm(last + 1)};
}

// The colour most common along the row a few millimetres above the cards' bottom edge
// (the label strip).
QRgb StripColour(const QImage& page) {
    int bottom = -1;
    const int x = page.width() / 2 + int(30 / 25.4 * Dpi);
    for (int y = page.height() - 1; y >= 0 && bottom < 0; --y)
        if (qGray(page.pixel(x, y)) < 80)
            bottom = y;
    QMap<QRgb, int> counts;
    const int y = bottom - int(2 / 25.4 * Dpi);
    for (int xx = page.width() / 2; xx < page.width() / 2 + int(100 / 25.4 * Dpi); ++xx)
        ++counts[page.pixel(xx, y) & 0xFFFFFF];
    QRgb best = 0;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > counts.value(best))
            best = it.key();
    return best;
}

void MakePictures(const QString& dir, int count) {
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        QImage image(160 + i * 8, 120, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 200, 220));
        ASSERT_TRUE(image.save(QString("%1/photo%2.jpg").arg(dir).arg(i, 2, 10, QChar('0'))));
    }
}

struct PrintCommandTest : ::testing::Test {
    QTemporaryDir work;
    QString Home() const { return work.path() + "/home/"; }
    QString Dir() const { return work.path(); }
    void SetUp() override { QDir().mkpath(Home()); }
    QStringList Files(const QString& dir) const {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST_F(PrintCommandTest, BadInputGetsItsOwnMessageAndStatusAndLeavesNoFile) {
    MakePictures(Dir() + "/photos", 3);
    QDir().mkpath(Dir() + "/empty");
    WriteRaw(Dir() + "/note.txt", "x");
    WriteRaw(Dir() + "/broken.jpg", "not a picture");
    QDir().mkpath(Dir() + "/out");
    struct Case {
        QStringList Args;
        int Status;
        QString Message; // on standard error after "velmora print: "
    };
    const Case cases[] = {
        // Bad usage: the message and the usage text, status 2.
        {{"print"}, 2, "what to print is missing: index-card, contact-sheet or back-card."},
        {{"print", "poster", "photos"}, 2, "unknown print job \"poster\""},
        {{"print", "index-card"}, 2, "the FOLDER to print is missing."},
        {{"print", "index-card", "photos", "more"}, 2, "only one FOLDER can be printed"},
        {{"print", "index-card", "photos", "--frobnicate"}, 2, "unknown option \"--frobnicate\"."},
        {{"print", "index-card", "photos", "-o"}, 2, "the option -o needs a value."},
        {{"print", "index-card", "photos", "--pages", "3-2", "-o", "out/a.pdf"},
         2,
         "invalid page range \"3-2\""},
        {{"print", "index-card", "photos", "--pages", "x", "-o", "out/a.pdf"},
         2,
         "invalid page range \"x\""},
        {{"print", "index-card", "photos", "--layout", "10", "-o", "out/a.pdf"},
         2,
         "invalid layout 10 for the index card (0 to 9)."},
        {{"print", "contact-sheet", "photos", "--layout", "26", "-o", "out/a.pdf"},
         2,
         "invalid layout 26 for the contact sheet (0 to 25)."},
        {{"print", "index-card", "photos", "--layout", "two", "-o", "out/a.pdf"},
         2,
         "invalid layout \"two\""},
        {{"print", "index-card", "photos", "--color", "99FF9G", "-o", "out/a.pdf"},
         2,
         "invalid colour \"99FF9G\""},
        {{"print", "index-card", "photos", "--paper", "a3", "-o", "out/a.pdf"},
         2,
         "invalid paper \"a3\""},
        {{"print", "index-card", "photos", "--rotate", "1", "-o", "out/a.pdf"},
         2,
         "--rotate is for the back card only."},
        {{"print", "back-card", "photos/photo00.jpg", "--pages", "1-1"},
         2,
         "--pages is for the index card and the contact sheet only."},
        {{"print", "index-card", "photos", "-o", "out/a.pdf", "-P", "q"},
         2,
         "--pdf and --printer cannot be used together."},
        // Failures: one line, status 1.
        {{"print", "index-card", "nowhere", "-o", "out/a.pdf"},
         1,
         "the folder \"nowhere\" does not exist."},
        {{"print", "index-card", "note.txt", "-o", "out/a.pdf"},
         1,
         "\"note.txt\" is not a folder."},
        {{"print", "contact-sheet", "empty", "-o", "out/a.pdf"},
         1,
         "the folder \"empty\" holds no pictures (bmp, jpg, jpeg, tif, tiff, png, avi)."},
        {{"print", "back-card", "gone.jpg", "-o", "out/a.pdf"},
         1,
         "the picture \"gone.jpg\" does not exist."},
        {{"print", "back-card", "note.txt", "-o", "out/a.pdf"},
         1,
         "\"note.txt\" is not a picture Velmora prints"},
        {{"print", "index-card", "photos", "-o", "missing/a.pdf"},
         1,
         "cannot write the PDF file \"" + Dir() + "/missing/a.pdf\": the folder"},
        {{"print", "index-card", "photos", "-o", "out"},
         1,
         "cannot write the PDF file \"" + Dir() + "/out\": it is a folder."},
        {{"print", "index-card", "photos"}, 1, "no print queue is installed; use --pdf FILE"},
        {{"print", "index-card", "photos", "--pages", "2-3", "-o", "out/a.pdf"},
         1,
         "the page range 2-3 lies outside the job's 1 page."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const TRun r = RunVelmora(c.Args, Home(), Dir());
        EXPECT_EQ(r.Status, c.Status) << r.Err.toStdString();
        const QString expected = QString("velmora print: ") + c.Message;
        EXPECT_TRUE(r.Err.startsWith(expected)) << r.Err.toStdString();
        if (c.Status == 2)
            EXPECT_TRUE(r.Err.contains("Usage: velmora [FOLDER]")) << r.Err.toStdString();
        else
            EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
        EXPECT_TRUE(Files(Dir() + "/out").isEmpty())
            << Files(Dir() + "/out").join(',').toStdString();
        EXPECT_TRUE(r.Out.isEmpty());
    }
    // --help and --version answer on standard output.
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"print", "--help"},
                                    QStringList{"print", "index-card", "-h"}}) {
        const TRun r = RunVelmora(args, Home(), Dir());
        EXPECT_EQ(r.Status, 0);
        EXPECT_TRUE(r.Out.contains("velmora print back-card     IMAGE  [options]"));
        EXPECT_TRUE(r.Out.contains("-o, --pdf FILE"));
    }
    const TRun v = RunVelmora({"--version"}, Home(), Dir());
    EXPECT_EQ(v.Status, 0);
    EXPECT_EQ(v.Out, QString("velmora %1\n").arg(VELMORA_VERSION));
}

TEST_F(PrintCommandTest, PrintsWhatTheWindowSavedAsTheWindowPrintsIt) {
    const QString photos = Dir() + "/photos";
    MakePictures(photos, 9);
    WriteRaw(photos + "/broken.jpg", "not a picture");

    // The index card window: 2 x 2, a red label, a title, saved.
    TempHome home; // VELMORA_HOME for this process too
    WriteRaw(home.Path() + "Thumbnail.ini", "[APP]\nAPPName=Velmora\n");
    IniFile = new TIniFile(home.Path() + "Thumbnail.ini");
    TPdfPrinter windowPrinter;
    windowPrinter.FileName = Dir() + "/window.pdf";
    TPrinter* old = SetApplicationPrinter(&windowPrinter);
    QStringList asked;
    SetDialogAnswerer([&](TDialogRequest& r) {
        asked << r.Text;
        return 0;
    });
    {
        TprtThumbnailPrint layout;
        TfrmPrintThumbnail window(&layout);
        window.CbLayout->setCurrentIndex(1);
        window.SetLabelColor(0x0000FF); // red
        window.EdTitle->setPlainText("Harbour");
        window.CbFNCheck->setChecked(false);
        window.BtnSaveSettingClick();
        // The window's own print of the folder, as the grid would hold it by name.
        TPrintItemVector items;
        for (const QString& name : QDir(photos).entryList({"*.jpg"}, QDir::Files, QDir::Name))
            items.AddFile(photos + "/" + name);
        layout.ItemList = &items;
        TThumbnailDB db(nullptr, home.Path());
        db.SetCacheDirectory(Dir() + "/window-cache");
        db.SetMaxSizeKB(100000);
        db.SetWidth(512);
        db.SetHeight(512);
        layout.Pictures = DatabasePictures(&db);
        window.SetFolder(photos);
        // Its print flow, with the dialog's and messages' answers of a person who prints.
        TSilentJobHost host;
        layout.Host = &host;
        ASSERT_TRUE(layout.Print());
    }
    SetDialogAnswerer({});
    SetApplicationPrinter(old);
    delete IniFile;
    IniFile = nullptr;

    const TRun r =
        RunVelmora({"print", "index-card", "photos", "-o", "card.pdf"}, home.Path(), Dir());
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    // The damaged picture is named, its cell stays empty, the rest prints.
    EXPECT_TRUE(r.Err.contains("velmora print: cannot read the picture \"" + photos +
                               "/broken.jpg\"; its cell stays empty."))
        << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("page 2 of 2\n"));
    EXPECT_TRUE(r.Err.contains("2 pages written to " + Dir() + "/card.pdf"));

    // Ten items, eight to a sheet: two landscape A4 sheets, as from the window.
    ASSERT_EQ(PageCount(Dir() + "/card.pdf"), 2);
    ASSERT_EQ(PageCount(Dir() + "/window.pdf"), 2);
    const QSizeF paper = PaperMm(Dir() + "/card.pdf");
    EXPECT_NEAR(paper.width(), 297, 0.5);
    EXPECT_NEAR(paper.height(), 210, 0.5);
    const QList<QImage> command = Pages(Dir() + "/card.pdf"), window = Pages(Dir() + "/window.pdf");
    ASSERT_EQ(command.size(), 2);
    ASSERT_EQ(window.size(), 2);
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(p);
        const auto c = CardSpan(command[p]), w = CardSpan(window[p]);
        // Two cards of 120.1 mm side by side.
        EXPECT_NEAR(c.second - c.first, 2 * 120.1, 0.6);
        EXPECT_NEAR(c.first, w.first, 0.3);
        EXPECT_NEAR(c.second, w.second, 0.3);
        EXPECT_EQ(StripColour(command[p]), 0xFF0000u);
        // The same pictures in the same cells.
        EXPECT_EQ(command[p], window[p]);
    }

    // Given on the command line, a setting wins over the stored one; --paper letter.
    const TRun g = RunVelmora({"print", "index-card", "photos", "--color", "00FF00", "--paper",
                               "letter", "--layout=2", "-o", "green.pdf"},
                              home.Path(), Dir());
    ASSERT_EQ(g.Status, 0) << g.Err.toStdString();
    EXPECT_EQ(PageCount(Dir() + "/green.pdf"), 1); // 3 x 3, eighteen to a sheet
    EXPECT_NEAR(PaperMm(Dir() + "/green.pdf").width(), 279.4, 0.5);
    const QList<QImage> green = Pages(Dir() + "/green.pdf");
    ASSERT_EQ(green.size(), 1);
    EXPECT_EQ(StripColour(green[0]), 0x00FF00u);
    EXPECT_NEAR(CardSpan(green[0]).second - CardSpan(green[0]).first, 2 * 120.1, 0.6);
}

TEST_F(PrintCommandTest, PageRangeTwoToThreeOfFivePages) {
    MakePictures(Dir() + "/photos", 10); // 1 x 1: two pictures a sheet, five sheets
    const TRun all = RunVelmora({"print", "index-card", "photos", "--layout", "0", "-o", "all.pdf"},
                                Home(), Dir());
    ASSERT_EQ(all.Status, 0) << all.Err.toStdString();
    const TRun part = RunVelmora(
        {"print", "index-card", "photos", "--layout", "0", "--pages", "2-3", "--pdf", "part.pdf"},
        Home(), Dir());
    ASSERT_EQ(part.Status, 0) << part.Err.toStdString();
    EXPECT_EQ(PageCount(Dir() + "/all.pdf"), 5);
    EXPECT_EQ(PageCount(Dir() + "/part.pdf"), 2);
    // One progress line a page when standard error is not a terminal.
    EXPECT_EQ(part.Err, "page 2 of 5\npage 3 of 5\n2 pages written to " + Dir() + "/part.pdf\n");
    const QList<QImage> a = Pages(Dir() + "/all.pdf"), p = Pages(Dir() + "/part.pdf");
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(p[0], a[1]);
    EXPECT_EQ(p[1], a[2]);
    // The second run found every thumbnail in the cache the first one made.
    EXPECT_TRUE(QFile::exists(Home() + "Temp/_TDB0100/_TDBCache.dat"));
}

TEST_F(PrintCommandTest, ContactSheetAndBackCardPrintAsTheirWindowsPrintThem) {
    const QString photos = Dir() + "/photos";
    MakePictures(photos, 23); // 5 x 6 by default: one sheet
    TempHome home;
    WriteRaw(home.Path() + "Thumbnail.ini",
             "[APP]\nAPPName=Velmora\n[PrintJacket]\nLayout=1\nRotateCount=1\nTitle=Spine\n"
             "[PrintContactSheet]\nBackColor=65280\nTitle=Sheet\nDateShow=0\n");
    IniFile = new TIniFile(home.Path() + "Thumbnail.ini");
    SetDialogAnswerer([](TDialogRequest&) { return 0; });
    struct Case {
        QStringList Args;
        std::function<void(TPdfPrinter&)> Window; // the window's own print on that printer
        int Pages;
        double WidthMm, HeightMm;
    };
    TThumbnailDB db(nullptr, home.Path());
    db.SetCacheDirectory(Dir() + "/window-cache");
    db.SetWidth(512);
    db.SetHeight(512);
    TPrintItemVector items;
    for (const QString& name : QDir(photos).entryList({"*.jpg"}, QDir::Files, QDir::Name))
        items.AddFile(photos + "/" + name);
    TSilentJobHost host;
    const Case cases[] = {
        {{"print", "contact-sheet", "photos", "-o", "sheet.pdf"},
         [&](TPdfPrinter&) {
             TprtContactSheetPrint layout;
             layout.Pictures = DatabasePictures(&db);
             TfrmContactSheetPrint window(&layout);
             layout.ItemList = &items;
             window.SetFolder(photos);
             layout.Host = &host;
             ASSERT_TRUE(layout.Print());
         },
         1,
         210,
         297},
        {{"print", "back-card", "photos/photo03.jpg", "-o", "back.pdf"},
         [&](TPdfPrinter&) {
             TprtJacketPrint layout;
             layout.Pictures = DatabasePictures(&db);
             TfrmJacketPrint window(&layout);
             QImage picture;
             ASSERT_TRUE(layout.Pictures.Thumbnail(photos + "/photo03.jpg", picture));
             window.SetImage(picture, photos);
             layout.Host = &host;
             ASSERT_TRUE(layout.Print());
         },
         1,
         210,
         297},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        TPdfPrinter printer;
        printer.FileName = Dir() + "/window.pdf";
        TPrinter* old = SetApplicationPrinter(&printer);
        c.Window(printer);
        SetApplicationPrinter(old);
        const QString file = Dir() + "/" + c.Args.last();
        const TRun r = RunVelmora(c.Args, home.Path(), Dir());
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
        EXPECT_EQ(PageCount(file), c.Pages);
        const QSizeF paper = PaperMm(file);
        EXPECT_NEAR(paper.width(), c.WidthMm, 0.5);
        EXPECT_NEAR(paper.height(), c.HeightMm, 0.5);
        // Saved settings and all: the same page as the window prints, pixel for pixel.
        const QList<QImage> command = Pages(file), window = Pages(Dir() + "/window.pdf");
        ASSERT_EQ(command.size(), c.Pages);
        ASSERT_EQ(window.size(), c.Pages);
        EXPECT_EQ(command[0], window[0]);
        EXPECT_FALSE(command[0].allGray());
    }
    SetDialogAnswerer({});
    delete IniFile;
    IniFile = nullptr;
}
