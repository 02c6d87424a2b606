// `velmora print` run as a user runs it: the built program, no display, its own program
// folder. What it prints is read back from the PDF as pixels and compared with the windows'
// own print of the same folder and settings.
#include "cache/CThumbnailDB.h"
#include "printjobs/i_ContactSheetPrint.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/LRPdfPrinter.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"
#include "support_Command.h"
#include "support_Layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QSizeF PaperMm(const QString& pdf) {
    const auto m =
        QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+)").match(RunTool("pdfinfo", {pdf}));
    return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) / 72 * 25.4;
}

// The colour most common along a row just above the cards' bottom edge (the label strip).
QRgb StripColour(const QImage& page) {
    int bottom = -1;
    const int x = page.width() / 2 + 118; // 30 mm right of the middle
    for (int y = page.height() - 1; y >= 0 && bottom < 0; --y)
        if (qGray(page.pixel(x, y)) < 80)
            bottom = y;
    QMap<QRgb, int> counts;
    for (int xx = page.width() / 2; xx < page.width() / 2 + 393; ++xx)
        ++counts[page.pixel(xx, bottom - 7) & 0xFFFFFF];
    QRgb best = 0;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > counts.value(best))
            best = it.key();
    return best;
}

struct PrintCommandTest : ::testing::Test {
    QTemporaryDir work;
    QString Home() const { return work.path() + "/home/"; }
    QString Dir() const { return work.path(); }
    void SetUp() override { QDir().mkpath(Home()); }
    TRun Run(const QStringList& args, const QString& home = {}) {
        return RunVelmora(args, home.isEmpty() ? Home() : home, Dir(), Dir() + "/no-cups.sock");
    }
    int Pages(const QString& name) const { return PdfPages(Dir() + "/" + name); }
};

} // namespace

TEST_F(PrintCommandTest, BadInputGetsItsOwnMessageAndStatusAndLeavesNoFile) {
    MakePictures(Dir() + "/photos", 3);
    QDir().mkpath(Dir() + "/empty");
    WriteRaw(Dir() + "/note.txt", "x");
    QDir().mkpath(Dir() + "/out");
    const struct {
        const char* Args; // split at blanks
        int Status;
        QString Message; // on standard error after "velmora print: "
    } cases[] = {
        // Bad usage: the message and the usage text, status 2.
        {"print", 2, "what to print is missing: index-card, contact-sheet or back-card."},
        {"print poster photos", 2, "unknown print job \"poster\""},
        {"print index-card", 2, "the FOLDER to print is missing."},
        {"print index-card photos more", 2, "only one FOLDER can be printed"},
        {"print index-card photos --frobnicate", 2, "unknown option \"--frobnicate\"."},
        {"print index-card photos -o", 2, "the option -o needs a value."},
        {"print index-card photos --pages 3-2 -o out/a.pdf", 2, "invalid page range \"3-2\""},
        {"print index-card photos --layout 10 -o out/a.pdf", 2,
         "invalid layout 10 for the index card (0 to 9)."},
        {"print contact-sheet photos --layout 26 -o out/a.pdf", 2,
         "invalid layout 26 for the contact sheet (0 to 25)."},
        {"print index-card photos --color 99FF9G -o out/a.pdf", 2, "invalid colour \"99FF9G\""},
        {"print index-card photos --paper a3 -o out/a.pdf", 2, "invalid paper \"a3\""},
        {"print index-card photos --rotate 1 -o out/a.pdf", 2,
         "--rotate is for the back card only."},
        {"print back-card photos/photo00.jpg --pages 1-1", 2,
         "--pages is for the index card and the contact sheet only."},
        {"print index-card photos -o out/a.pdf -P q", 2,
         "--pdf and --printer cannot be used together."},
        // Failures: one line, status 1.
        {"print index-card nowhere -o out/a.pdf", 1, "the folder \"nowhere\" does not exist."},
        {"print index-card note.txt -o out/a.pdf", 1, "\"note.txt\" is not a folder."},
        {"print contact-sheet empty -o out/a.pdf", 1,
         "the folder \"empty\" holds no pictures (bmp, jpg, jpeg, tif, tiff, png, avi)."},
        {"print back-card gone.jpg -o out/a.pdf", 1, "the picture \"gone.jpg\" does not exist."},
        {"print back-card note.txt -o out/a.pdf", 1,
         "\"note.txt\" is not a picture Velmora prints"},
        {"print index-card photos -o missing/a.pdf", 1,
         "cannot write the PDF file \"" + Dir() + "/missing/a.pdf\": the folder"},
        {"print index-card photos -o out", 1,
         "cannot write the PDF file \"" + Dir() + "/out\": it is a folder."},
        {"print index-card photos", 1, "no print queue is installed; use --pdf FILE"},
        {"print index-card photos --pages 2-3 -o out/a.pdf", 1,
         "the page range 2-3 lies outside the job's 1 page."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const TRun r = Run(QString(c.Args).split(' '));
        EXPECT_EQ(r.Status, c.Status) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.startsWith("velmora print: " + c.Message)) << r.Err.toStdString();
        if (c.Status == 2)
            EXPECT_TRUE(r.Err.contains("Usage: velmora [FOLDER]")) << r.Err.toStdString();
        else
            EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
        EXPECT_TRUE(QDir(Dir() + "/out").isEmpty());
        EXPECT_TRUE(r.Out.isEmpty());
    }
    // --help and --version answer on standard output.
    const TRun h = Run({"print", "--help"});
    EXPECT_EQ(h.Status, 0);
    EXPECT_TRUE(h.Out.contains("velmora print back-card     IMAGE  [options]"));
    const TRun v = Run({"--version"});
    EXPECT_EQ(v.Status, 0);
    EXPECT_EQ(v.Out, QString("velmora %1\n").arg(VELMORA_VERSION));
}

TEST_F(PrintCommandTest, PrintsWhatTheWindowsSavedAsTheWindowsPrintIt) {
    const QString photos = Dir() + "/photos";
    MakePictures(photos, 9);
    WriteRaw(photos + "/broken.jpg", "not a picture");
    TSettingsHome settings( // VELMORA_HOME for this process too
        "[APP]\nAPPName=Velmora\n[PrintJacket]\nLayout=1\nRotateCount=1\nTitle=Spine\n"
        "[PrintContactSheet]\nBackColor=65280\nTitle=Sheet\nDateShow=0\n");
    const QString home = settings.Home.Path();
    TThumbnailDB db(nullptr, home);
    db.SetCacheDirectory(Dir() + "/window-cache");
    db.SetWidth(512);
    db.SetHeight(512);
    TPrintItemVector items;
    for (const QString& name : QDir(photos).entryList({"*.jpg"}, QDir::Files, QDir::Name))
        items.AddFile(photos + "/" + name);
    TSilentJobHost host;
    // Each window's own print; the index card's window first saves 2 x 2, a red label and a
    // title. Then the command's print of the same job, saved settings and all.
    auto print = [&](TprtPrintBase& layout) {
        layout.Host = &host;
        ASSERT_TRUE(layout.Print());
    };
    const struct {
        std::function<void()> Window;
        QStringList Args;
        double WidthMm;
        int Pages;
    } jobs[] = {
        {[&] {
             TprtThumbnailPrint layout;
             TfrmPrintThumbnail window(&layout);
             window.CbLayout->setCurrentIndex(1);
             window.SetLabelColor(0x0000FF); // red
             window.EdTitle->setPlainText("Harbour");
             window.CbFNCheck->setChecked(false);
             window.BtnSaveSettingClick();
             layout.ItemList = &items;
             layout.Pictures = DatabasePictures(&db);
             window.SetFolder(photos);
             print(layout);
         },
         {"print", "index-card", "photos", "-o", "card.pdf"},
         297,
         2}, // ten items, eight a sheet
        {[&] {
             TprtContactSheetPrint layout;
             layout.Pictures = DatabasePictures(&db);
             TfrmContactSheetPrint window(&layout);
             layout.ItemList = &items;
             window.SetFolder(photos);
             print(layout);
         },
         {"print", "contact-sheet", "photos", "-o", "sheet.pdf"},
         210,
         1},
        {[&] {
             TprtJacketPrint layout;
             layout.Pictures = DatabasePictures(&db);
             TfrmJacketPrint window(&layout);
             QImage picture;
             ASSERT_TRUE(layout.Pictures.Thumbnail(photos + "/photo03.jpg", picture));
             window.SetImage(picture, photos);
             print(layout);
         },
         {"print", "back-card", "photos/photo03.jpg", "-o", "back.pdf"},
         210,
         1},
    };
    for (const auto& job : jobs) {
        SCOPED_TRACE(job.Args.join(' ').toStdString());
        TPdfPrinter printer;
        printer.FileName = Dir() + "/window.pdf";
        TPrinter* old = SetApplicationPrinter(&printer);
        job.Window();
        SetApplicationPrinter(old);
        const TRun r = Run(job.Args, home);
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
        const QString file = Dir() + "/" + job.Args.last();
        EXPECT_NEAR(PaperMm(file).width(), job.WidthMm, 0.5);
        const QList<QImage> command = Pages100(file), window = Pages100(Dir() + "/window.pdf");
        ASSERT_EQ(command.size(), job.Pages);
        EXPECT_EQ(command, window); // the same pictures in the same cells
        EXPECT_FALSE(command[0].allGray());
    }

    // The damaged picture is named, its cell stays empty, the rest prints.
    const TRun r = Run({"print", "index-card", "photos", "-o", "card.pdf"}, home);
    EXPECT_TRUE(r.Err.contains("velmora print: cannot read the picture \"" + photos +
                               "/broken.jpg\"; its cell stays empty."))
        << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("2 pages written to " + Dir() + "/card.pdf"));
    for (const QImage& page : Pages100(Dir() + "/card.pdf")) {
        EXPECT_NEAR(CardSpan(page).second - CardSpan(page).first, 2 * 120.1, 0.6);
        EXPECT_EQ(StripColour(page), 0xFF0000u);
    }
    // Given on the command line, a setting wins over the stored one; --paper letter.
    const TRun g = Run({"print", "index-card", "photos", "--color", "00FF00", "--paper", "letter",
                        "--layout=2", "-o", "green.pdf"},
                       home);
    ASSERT_EQ(g.Status, 0) << g.Err.toStdString();
    EXPECT_NEAR(PaperMm(Dir() + "/green.pdf").width(), 279.4, 0.5);
    const QList<QImage> green = Pages100(Dir() + "/green.pdf");
    ASSERT_EQ(green.size(), 1); // 3 x 3, eighteen to a sheet
    EXPECT_EQ(StripColour(green[0]), 0x00FF00u);
}

TEST_F(PrintCommandTest, PageRangeTwoToThreeOfFivePages) {
    MakePictures(Dir() + "/photos", 10); // 1 x 1: two pictures a sheet, five sheets
    const TRun all = Run({"print", "index-card", "photos", "--layout", "0", "-o", "all.pdf"});
    ASSERT_EQ(all.Status, 0) << all.Err.toStdString();
    const TRun part = Run(
        {"print", "index-card", "photos", "--layout", "0", "--pages", "2-3", "--pdf", "part.pdf"});
    ASSERT_EQ(part.Status, 0) << part.Err.toStdString();
    // One progress line a page when standard error is not a terminal.
    EXPECT_EQ(part.Err, "page 2 of 5\npage 3 of 5\n2 pages written to " + Dir() + "/part.pdf\n");
    const QList<QImage> a = Pages100(Dir() + "/all.pdf"), p = Pages100(Dir() + "/part.pdf");
    ASSERT_EQ(a.size(), 5);
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(p[0], a[1]);
    EXPECT_EQ(p[1], a[2]);
    // The second run found every thumbnail in the cache the first one made.
    EXPECT_TRUE(QFile::exists(Home() + "Temp/_TDB0100/_TDBCache.dat"));
}
