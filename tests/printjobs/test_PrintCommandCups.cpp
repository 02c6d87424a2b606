// `velmora print` against the private print server (VELMORA_NEEDS_CUPS) and beside the
// window on the test display (VELMORA_NEEDS_DISPLAY): a print through the queue measures as
// a print to a file, an unknown queue is named, and a window and a print on one cache at once
// leave every stored thumbnail belonging to its picture.
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"
#include "support_Command.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {
QStringList SpooledPdfs() {
    return QDir(BuildDirPath("cups") + "/pdf").entryList({"job-*.pdf"}, QDir::Files);
}

// The PDF the queue keeps for a job that is not in `before`, waiting for it to appear.
QString NewSpooledPdf(const QStringList& before) {
    QString found;
    WaitUntil([&] {
        for (const QString& f : SpooledPdfs())
            if (!before.contains(f))
                found = BuildDirPath("cups") + "/pdf/" + f;
        return !found.isEmpty();
    });
    return found;
}
} // namespace

TEST(PrintCommandCups, ThroughTheQueueAsTheWindowPrintsThroughIt) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir work;
    const QString home = work.path() + "/home/";
    MakePictures(work.path() + "/photos", 5, true);
    auto run = [&](const QStringList& args) {
        return RunVelmora(args, home, work.path(), PrivateCupsServer());
    };

    // The same job written to a PDF file (which prints as the window does) is the measure.
    ASSERT_EQ(run({"print", "index-card", "photos", "-o", "file.pdf"}).Status, 0);
    QStringList before = SpooledPdfs();
    const TRun r = run({"print", "index-card", "photos", "-P", "Velmora-PDF"});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QString command = NewSpooledPdf(before);
    ASSERT_FALSE(command.isEmpty());
    const QList<QImage> w = Pages100(work.path() + "/file.pdf"), c = Pages100(command);
    ASSERT_EQ(w.size(), 1);
    ASSERT_EQ(c.size(), 1);
    EXPECT_EQ(c[0].size(), w[0].size()); // A4 landscape both
    const auto cs = CardSpan(c[0]), ws = CardSpan(w[0]);
    EXPECT_NEAR(cs.second - cs.first, 2 * 120.1, 0.6);
    EXPECT_NEAR(cs.first, ws.first, 0.3);
    EXPECT_NEAR(cs.second, ws.second, 0.3);

    // US Letter on the same queue; an unknown queue is named with the ones there are.
    before = SpooledPdfs();
    const TRun l = run({"print", "index-card", "photos", "-P", "Velmora-PDF", "--paper", "letter"});
    ASSERT_EQ(l.Status, 0) << l.Err.toStdString();
    const QString letter = NewSpooledPdf(before);
    ASSERT_FALSE(letter.isEmpty());
    EXPECT_TRUE(RunTool("pdfinfo", {letter}).contains("792 x 612 pts"));
    before = SpooledPdfs();
    const TRun u = run({"print", "index-card", "photos", "-P", "NoSuchQueue"});
    EXPECT_EQ(u.Status, 1);
    EXPECT_TRUE(
        u.Err.startsWith("velmora print: there is no print queue \"NoSuchQueue\" (queues: "))
        << u.Err.toStdString();
    EXPECT_TRUE(u.Err.contains("Velmora-PDF-2"));
    QThread::msleep(500);
    EXPECT_EQ(SpooledPdfs(), before);
}

TEST(PrintCommandCups, AWindowAndAPrintOnOneCacheKeepEveryThumbnailWithItsPicture) {
    ASSERT_FALSE(XvfbDisplay().isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir work, tmp;
    const QString home = work.path() + "/home";
    const QString photos = work.path() + "/photos";
    MakePictures(photos, 90, true);

    // A first print alone stores a third of them (linked into the folder): both start from it.
    QDir().mkpath(work.path() + "/some");
    for (int i = 0; i < 20; ++i) {
        const QString name = QString("shot%1.png").arg(i * 3, 3, 10, QChar('0'));
        ASSERT_TRUE(QFile::rename(photos + "/" + name, work.path() + "/some/" + name));
        ASSERT_TRUE(QFile::link(work.path() + "/some/" + name, photos + "/" + name));
    }
    ASSERT_EQ(RunVelmora({"print", "index-card", "some", "-o", "some.pdf"}, home + "/", work.path(),
                         PrivateCupsServer())
                  .Status,
              0);

    // The command prints (in another order) while the window makes thumbnails on the same
    // cache: two writers would give one ID to two pictures.
    TProgramRun program(home, tmp.path(), {photos});
    ASSERT_TRUE(program.WaitFor("status\t Load  ", 60000)) << program.Finish().toStdString();
    const TRun print = RunVelmora(
        {"print", "index-card", "photos", "--layout", "2", "--sort", "size", "-o", "all.pdf"},
        home + "/", work.path(), PrivateCupsServer());
    EXPECT_EQ(print.Status, 0) << print.Err.toStdString();
    EXPECT_TRUE(ReadAll(work.path() + "/all.pdf").startsWith("%PDF"));
    EXPECT_TRUE(program.WaitLoaded(120000)) << program.Output().toStdString();
    QThread::msleep(500);
    Shot(program.Display, "print_beside_window.png");
    // Closed as a user closes it (File, Exit), so the window saves its index.
    const QString id = FindWindow(program.Display, "Velmora", 5000);
    if (!id.isEmpty()) {
        RunTool("xdotool", {"windowfocus", "--sync", id}, program.Display);
        RunTool("xdotool", {"key", "--clearmodifiers", "alt+f", "x"}, program.Display);
    }
    program.WaitForEnd(15000);
    program.Finish();

    // Every thumbnail the index lists is its own picture's.
    TThumbnailDB db(nullptr, work.path() + "/");
    db.SetCacheDirectory(home + "/Temp");
    ASSERT_FALSE(db.ReadOnly());
    TThGraphic maker;
    maker.SetBoxWidth(512);
    maker.SetBoxHeight(512);
    int checked = 0;
    TThImageIterator it(db.Table().List());
    while (it.Next()) {
        TThImage* r = it.CurrentItem();
        SCOPED_TRACE(r->OrgFileName.toStdString());
        QImage stored;
        ASSERT_TRUE(db.Table().LoadThBitmap(r, &stored));
        ASSERT_TRUE(maker.MakeThumbnail(r->OrgFileName));
        EXPECT_EQ(stored.convertToFormat(QImage::Format_RGB32),
                  maker.Thumbnail().convertToFormat(QImage::Format_RGB32));
        ++checked;
    }
    EXPECT_GE(checked, 20);
}
