// `velmora print` run as a user runs it: the built program, no display, its own program
// folder; through the private print server (VELMORA_NEEDS_CUPS) and beside the window on the
// test display (VELMORA_NEEDS_DISPLAY).
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "printjobs/i_ContactSheetPrint.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/LRPdfPrinter.h"
#include "support/ProgramDriver.h"
#include "support_Print.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct TRun {
    int Status = -1;
    QString Out, Err;
};

// Pictures shotNNN.png whose pixels all differ, so a stored bitmap of the wrong one shows.
void MakePictures(const QString& dir, int count) {
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        QImage image(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y,
                               qRgb((x + i * 41) & 255, (y * 3 + i * 17) & 255, (i * 29) & 255));
        ASSERT_TRUE(image.save(QString("%1/shot%2.png").arg(dir).arg(i, 3, 10, QChar('0'))));
    }
}

QList<QImage> Pages100(const QString& pdf) {
    QTemporaryDir dir;
    RunTool("pdftoppm", {"-r", "100", "-png", pdf, dir.filePath("p")});
    QList<QImage> pages;
    for (const QString& f : QDir(dir.path()).entryList({"p-*.png"}, QDir::Files, QDir::Name))
        pages << QImage(dir.filePath(f)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

struct PrintCommandTest : ::testing::Test {
    QTemporaryDir work;
    QString Home() const { return work.path() + "/home/"; }
    QString Dir() const { return work.path(); }
    // The program without a display, from the test's folder; without cups a dead print server.
    TRun Run(const QStringList& args, const QString& home = {}, const QString& cups = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("VELMORA_HOME", home.isEmpty() ? Home() : home);
        env.insert("CUPS_SERVER", cups.isEmpty() ? Dir() + "/no-cups.sock" : cups);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(Dir());
        p.start(VelmoraBinPath(), args);
        p.waitForFinished(180000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
};

} // namespace

TEST_F(PrintCommandTest, BadInputIsRefusedAndEachJobPrintsAsItsWindowDoes) {
    const QString photos = Dir() + "/photos";
    MakePictures(photos, 9);
    WriteRaw(photos + "/broken.jpg", "not a picture");
    WriteRaw(Dir() + "/note.txt", "x");
    QDir().mkpath(Dir() + "/empty");
    QDir().mkpath(Dir() + "/out");
    const struct {
        const char* Args; // split at blanks
        int Status;       // 2: bad usage, with the usage text; 1: one line
        QString Message;  // on standard error after "velmora print: "
    } cases[] = {
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
        {"print back-card photos/shot000.png --pages 1-1", 2,
         "--pages is for the index card and the contact sheet only."},
        {"print index-card photos -o out/a.pdf -P q", 2,
         "--pdf and --printer cannot be used together."},
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
        {"print index-card photos -P NoSuchQueue", 1,
         "there is no print queue \"NoSuchQueue\" (queues: Velmora-PDF, Velmora-PDF-2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        // Only the unknown queue needs the print server; without it no queue is installed.
        const TRun r = Run(QString(c.Args).split(' '), {},
                           c.Message.startsWith("there is no") ? PrivateCupsServer() : QString());
        EXPECT_EQ(r.Status, c.Status) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.startsWith("velmora print: " + c.Message)) << r.Err.toStdString();
        EXPECT_TRUE(c.Status == 1 ? r.Err.count('\n') == 1
                                  : r.Err.contains("Usage: velmora [FOLDER]"));
        EXPECT_TRUE(QDir(Dir() + "/out").isEmpty() && r.Out.isEmpty());
    }
    TSettingsHome settings; // VELMORA_HOME for this process too
    const QString home = settings.Home.Path();
    TThumbnailDB db(nullptr, home);
    db.SetCacheDirectory(Dir() + "/window-cache");
    db.SetWidth(512); // the command's box
    db.SetHeight(512);
    TPrintItemVector items;
    for (const QString& name : QDir(photos).entryList(QDir::Files, QDir::Name))
        items.AddFile(photos + "/" + name);
    TSilentJobHost host;
    TPdfPrinter printer; // the windows' printer from their start, as in the program
    const std::unique_ptr<TPrinter, void (*)(TPrinter*)> restore(
        SetApplicationPrinter(&printer), [](TPrinter* old) { SetApplicationPrinter(old); });
    const auto print = [&](TprtPrintBase& layout, const QString& pdf) {
        printer.FileName = Dir() + "/" + pdf;
        layout.Host = &host;
        EXPECT_TRUE(layout.Print());
    };
    { // Each window prints what it saved; the index card 2 x 2, a red label and a title.
        TprtThumbnailPrint layout;
        layout.Pictures = DatabasePictures(&db);
        TfrmPrintThumbnail window(&layout);
        window.CbLayout->setCurrentIndex(1);
        window.SetLabelColor(0x0000FF);
        window.EdTitle->setPlainText("Harbour");
        window.CbFNCheck->setChecked(false);
        window.BtnSaveSettingClick();
        layout.ItemList = &items;
        window.SetFolder(photos);
        print(layout, "card.window.pdf");
    }
    {
        TprtContactSheetPrint layout;
        layout.Pictures = DatabasePictures(&db);
        TfrmContactSheetPrint window(&layout);
        window.CbDateCheck->setChecked(false); // the items here carry no dates: saved off
        window.BtnSaveSettingClick();
        layout.ItemList = &items;
        window.SetFolder(photos);
        print(layout, "sheet.window.pdf");
    }
    {
        TprtJacketPrint layout;
        layout.Pictures = DatabasePictures(&db);
        TfrmJacketPrint window(&layout);
        QImage picture;
        ASSERT_TRUE(layout.Pictures.Thumbnail(photos + "/shot003.png", picture));
        window.SetImage(picture, photos);
        print(layout, "back.window.pdf");
    }
    // Each kind from the command as its window printed it: the same pictures in the same cells.
    const struct {
        const char* Args; // split at blanks, the PDF last
        double WidthMm;
        int Pages;
    } jobs[] = {{"print index-card photos -o card.pdf", 297, 2}, // 8 a sheet
                {"print contact-sheet photos -o sheet.pdf", 210, 1},
                {"print back-card photos/shot003.png -o back.pdf", 210, 1}};
    for (const auto& job : jobs) {
        SCOPED_TRACE(job.Args);
        const QStringList args = QString(job.Args).split(' ');
        const TRun r = Run(args, home);
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
        const QList<QImage> command = Pages100(Dir() + "/" + args.last());
        ASSERT_EQ(command.size(), job.Pages);
        EXPECT_NEAR(command[0].width() * 0.254, job.WidthMm, 0.5);
        EXPECT_FALSE(command[0].allGray());
        EXPECT_EQ(command,
                  Pages100(Dir() + "/" + QString(args.last()).replace(".pdf", ".window.pdf")));
        // The damaged picture is named, its cell stays empty, the rest prints.
        EXPECT_TRUE(args[1] == "back-card" ||
                    r.Err.contains("velmora print: cannot read the picture \"" + photos +
                                   "/broken.jpg\"; its cell stays empty."))
            << r.Err.toStdString();
    }
    // Given on the command line, a setting wins over the stored one (green, not red); Letter.
    ASSERT_EQ(Run({"print", "index-card", "photos", "--color", "00FF00", "--paper", "letter",
                   "--layout=2", "-o", "green.pdf"},
                  home)
                  .Status,
              0);
    const QList<QImage> green = Pages100(Dir() + "/green.pdf");
    ASSERT_EQ(green.size(), 1); // 3 x 3, eighteen to a sheet
    EXPECT_NEAR(green[0].width() * 0.254, 279.4, 0.5);
    int red = 0, greens = 0;
    for (int y = 0; y < green[0].height(); ++y)
        for (int x = 0; x < green[0].width(); ++x) {
            red += (green[0].pixel(x, y) & 0xFFFFFF) == 0xFF0000;
            greens += (green[0].pixel(x, y) & 0xFFFFFF) == 0x00FF00;
        }
    EXPECT_TRUE(red == 0 && greens > 1000) << red << " red, " << greens << " green";
    // --pages 2-3 of five 1 x 1 sheets gives those two, a progress line a page; one shared cache.
    const QStringList one = {"print", "index-card", "photos", "--layout", "0"};
    ASSERT_EQ(Run(one + QStringList{"-o", "all.pdf"}, home).Status, 0);
    const TRun part = Run(one + QStringList{"--pages", "2-3", "--pdf", "part.pdf"}, home);
    EXPECT_EQ(part.Err, "page 2 of 5\npage 3 of 5\n2 pages written to " + Dir() + "/part.pdf\n");
    EXPECT_EQ(Pages100(Dir() + "/part.pdf"), Pages100(Dir() + "/all.pdf").mid(1, 2));
    EXPECT_TRUE(QFile::exists(home + "Temp/_TDB0100/_TDBCache.dat"));

    // Through the queue: the outer edges of both cards where the print to a file has them.
    const QStringList before = SpooledPdfs();
    const TRun r = Run({"print", "index-card", "photos", "-P", "Velmora-PDF", "--paper", "a4"},
                       home, PrivateCupsServer());
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QString pdf = NewSpooledPdf("job-*.pdf", before);
    const QList<QImage> queue = Pages100(pdf);
    const QImage file = Pages100(Dir() + "/card.pdf").value(0);
    ASSERT_EQ(queue.size(), 2);
    EXPECT_EQ(queue[0].size(), file.size());
    const QList<double> q = Runs(queue[0], file.height() / 2, true, IsDark),
                        f = Runs(file, file.height() / 2, true, IsDark);
    ASSERT_FALSE(q.isEmpty());
    EXPECT_NEAR((q.last() - q.first()) * 0.254, 2 * 120.1, 0.6);
    EXPECT_NEAR(q.first() * 0.254, f.value(0) * 0.254, 0.3);
}

// The command prints while the window makes thumbnails on the same cache: two writers would
// give one ID to two pictures.
TEST_F(PrintCommandTest, AWindowAndAPrintOnOneCacheKeepEveryThumbnailWithItsPicture) {
    ASSERT_FALSE(XvfbDisplay().isEmpty()) << "no test display";
    QTemporaryDir tmp;
    const QString photos = Dir() + "/photos";
    MakePictures(photos, 90);
    TProgramRun program(Home(), tmp.path(), {photos});
    ASSERT_TRUE(program.WaitFor("status\t Load  ", 60000)) << program.Finish().toStdString();
    const TRun print =
        Run({"print", "index-card", "photos", "--layout", "2", "--sort", "size", "-o", "all.pdf"});
    EXPECT_EQ(print.Status, 0) << print.Err.toStdString();
    EXPECT_TRUE(program.WaitLoaded(120000)) << program.Output().toStdString();
    QThread::msleep(500);
    Shot(program.Display, "print_beside_window.png");
    // Closed as a user closes it (File, Exit), so the window saves its index.
    const QString id = FindWindow(program.Display, "Velmora", 5000);
    RunTool("xdotool", {"windowfocus", "--sync", id}, program.Display);
    RunTool("xdotool", {"key", "--clearmodifiers", "alt+f", "x"}, program.Display);
    program.WaitForEnd(15000);
    program.Finish();

    // Every thumbnail the index lists is its own picture's.
    TThumbnailDB db(nullptr, Dir() + "/");
    db.SetCacheDirectory(Home() + "Temp");
    ASSERT_FALSE(db.ReadOnly());
    TThGraphic maker;
    maker.SetBoxWidth(512);
    maker.SetBoxHeight(512);
    int checked = 0;
    for (TThImageIterator it(db.Table().List()); it.Next(); ++checked) {
        TThImage* r = it.CurrentItem();
        SCOPED_TRACE(r->OrgFileName.toStdString());
        QImage stored;
        ASSERT_TRUE(db.Table().LoadThBitmap(r, &stored));
        ASSERT_TRUE(maker.MakeThumbnail(r->OrgFileName));
        EXPECT_EQ(stored.convertToFormat(QImage::Format_RGB32),
                  maker.Thumbnail().convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_GE(checked, 20);
}
