// `velmora print` against the private print server (VELMORA_NEEDS_CUPS) and beside the
// window on the test display (VELMORA_NEEDS_DISPLAY): a print through the queue measures as
// the window's own print through it, an unknown queue is named, and a window and a print
// working on one cache at once leave every stored thumbnail belonging to its picture.
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "platform/PPrinter.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr double Dpi = 100;

struct TRun {
    int Status = -1;
    QString Err;
};

QProcessEnvironment CommandEnv(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("VELMORA_HOME", home);
    env.insert("CUPS_SERVER", PrivateCupsServer());
    return env;
}

TRun RunVelmora(const QStringList& args, const QString& home, const QString& dir) {
    QProcess p;
    p.setProcessEnvironment(CommandEnv(home));
    p.setWorkingDirectory(dir);
    p.start(VelmoraBinPath(), args);
    p.waitForFinished(180000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError())};
}

QString Tool(const QString& program, const QStringList& args, const QString& display = {}) {
    QProcess p;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
    }
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll());
}

QStringList SpooledPdfs() {
    return QDir(BuildDirPath("cups") + "/pdf").entryList({"job-*.pdf"}, QDir::Files, QDir::Time);
}

// The PDF the queue keeps for a job that is not in `before`, waiting for it to appear.
QString NewSpooledPdf(const QStringList& before) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        for (const QString& f : SpooledPdfs())
            if (!before.contains(f))
                return BuildDirPath("cups") + "/pdf/" + f;
        QThread::msleep(50);
    }
    return {};
}

QList<QImage> Pages(const QString& pdf) {
    QTemporaryDir dir;
    Tool("pdftoppm", {"-r", QString::number(Dpi), "-png", pdf, dir.filePath("p")});
    QList<QImage> pages;
    for (const QString& f : QDir(dir.path()).entryList({"p-*.png"}, QDir::Files, QDir::Name))
        pages << QImage(dir.filePath(f)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

// The first and last black pixel along the middle row, in millimetres.
QPair<double, double> CardSpan(const QImage& page) {
    const int y = page.height() / 2;
    int first = -1, last = -1;
    for (int x = 0; x < page.width(); ++x)
        if (qGray(page.pixel(x, y)) < 80) {
            if (first < 0)
                first = x;
            last = x;
        }
    return {first / Dpi * 25.4, (last + 1) / Dpi * 25.4};
}

void MakePictures(const QString& dir, int count) {
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        // Same size, different pictures: a stored bitmap of the wrong picture would have the
        // right size.
        QImage image(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y,
                               qRgb((x + i * 41) & 255, (y * 3 + i * 17) & 255, (i * 29) & 255));
        ASSERT_TRUE(image.save(QString("%1/shot%2.png").arg(dir).arg(i, 3, 10, QChar('0'))));
    }
}

} // namespace

TEST(PrintCommandCups, ThroughTheQueueAsTheWindowPrintsThroughIt) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir work;
    const QString home = work.path() + "/home/";
    MakePictures(work.path() + "/photos", 5);

    // The window's own print: the index card layout on the application's queue printer.
    QStringList before = SpooledPdfs();
    {
        ScopedEnv cups("CUPS_SERVER", PrivateCupsServer().toUtf8());
        TQtPrinter printer;
        printer.SetPrinterIndex(int(printer.Printers().indexOf("Velmora-PDF")));
        TPrinter* old = SetApplicationPrinter(&printer);
        {
            TThumbnailDB db(nullptr, work.path() + "/");
            db.SetCacheDirectory(work.path() + "/window-cache");
            db.SetWidth(512);
            db.SetHeight(512);
            TprtThumbnailPrint layout;
            TPrintItemVector items;
            for (const QString& f :
                 QDir(work.path() + "/photos").entryList(QDir::Files, QDir::Name))
                items.AddFile(work.path() + "/photos/" + f);
            layout.ItemList = &items;
            layout.Pictures = DatabasePictures(&db);
            // The window's defaults: 6 x 6, file names in 6 points.
            layout.SetGridSize(6);
            layout.SetPath(work.path() + "/photos", TLRFont::Points("IPAPGothic", 9), 6);
            ASSERT_TRUE(layout.Print());
        }
        SetApplicationPrinter(old);
    }
    const QString window = NewSpooledPdf(before);
    ASSERT_FALSE(window.isEmpty());

    before = SpooledPdfs();
    const TRun r =
        RunVelmora({"print", "index-card", "photos", "-P", "Velmora-PDF"}, home, work.path());
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QString command = NewSpooledPdf(before);
    ASSERT_FALSE(command.isEmpty());
    const QList<QImage> w = Pages(window), c = Pages(command);
    ASSERT_EQ(w.size(), 1);
    ASSERT_EQ(c.size(), 1);
    EXPECT_EQ(c[0].size(), w[0].size()); // A4 landscape both
    const auto cs = CardSpan(c[0]), ws = CardSpan(w[0]);
    EXPECT_NEAR(cs.second - cs.first, 2 * 120.1, 0.6);
    EXPECT_NEAR(cs.first, ws.first, 0.3);
    EXPECT_NEAR(cs.second, ws.second, 0.3);

    // US Letter on the same queue; an unknown queue is named with the ones there are.
    before = SpooledPdfs();
    const TRun l =
        RunVelmora({"print", "index-card", "photos", "-P", "Velmora-PDF", "--paper", "letter"},
                   home, work.path());
    ASSERT_EQ(l.Status, 0) << l.Err.toStdString();
    const QString letter = NewSpooledPdf(before);
    ASSERT_FALSE(letter.isEmpty());
    EXPECT_TRUE(Tool("pdfinfo", {letter}).contains("792 x 612 pts"))
        << Tool("pdfinfo", {letter}).toStdString();
    before = SpooledPdfs();
    const TRun u =
        RunVelmora({"print", "index-card", "photos", "-P", "NoSuchQueue"}, home, work.path());
    EXPECT_EQ(u.Status, 1);
    EXPECT_TRUE(
        u.Err.startsWith("velmora print: there is no print queue \"NoSuchQueue\" (queues: "))
        << u.Err.toStdString();
    EXPECT_TRUE(u.Err.contains("Velmora-PDF-2"));
    QThread::msleep(500);
    EXPECT_EQ(SpooledPdfs(), before);
}

TEST(PrintCommandCups, AWindowAndAPrintOnOneCacheKeepEveryThumbnailWithItsPicture) {
    const QString display = XvfbDisplay();
    ASSERT_FALSE(display.isEmpty()) << "no test display";
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    QTemporaryDir work, tmp;
    const QString home = work.path() + "/home/";
    const QString photos = work.path() + "/photos";
    MakePictures(photos, 90);

    // A first print alone stores a third of them; its index is the one both then start from.
    QDir().mkpath(work.path() + "/some");
    for (int i = 0; i < 20; ++i) {
        const QString name = QString("shot%1.png").arg(i * 3, 3, 10, QChar('0'));
        ASSERT_TRUE(QFile::copy(photos + "/" + name, work.path() + "/some/" + name));
    }
    ASSERT_EQ(
        RunVelmora({"print", "index-card", "some", "-o", "some.pdf"}, home, work.path()).Status, 0);
    // The cache is keyed by path: the first print's pictures are the same files again.
    for (int i = 0; i < 20; ++i) {
        const QString name = QString("shot%1.png").arg(i * 3, 3, 10, QChar('0'));
        QFile::remove(photos + "/" + name);
        ASSERT_TRUE(QFile::link(work.path() + "/some/" + name, photos + "/" + name));
    }

    // The window browses the folder while the command prints it, on the same cache.
    const QString log = tmp.filePath("status.log");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("CUPS_SERVER", PrivateCupsServer());
    env.insert("VELMORA_HOME", home);
    env.insert("HOME", work.path());
    env.insert("TMPDIR", tmp.path());
    env.insert("XDG_RUNTIME_DIR", tmp.path());
    env.insert("VELMORA_TEST_HOOK", "1");
    env.insert("VELMORA_STATUS_LOG", log);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(VelmoraBinPath(), {photos});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The print starts once the window is making thumbnails, and takes them in another
    // order (by size), so two writers would give one ID to two pictures.
    QElapsedTimer started;
    started.start();
    while (!ReadAll(log).contains("status\t Load  ") && started.elapsed() < 60000)
        QThread::msleep(20);
    QProcess print;
    print.setProcessEnvironment(CommandEnv(home));
    print.setWorkingDirectory(work.path());
    print.start(VelmoraBinPath(), {"print", "index-card", "photos", "--layout", "2", "--sort",
                                   "size", "-o", "all.pdf"});
    ASSERT_TRUE(print.waitForFinished(180000));
    EXPECT_EQ(print.exitCode(), 0) << print.readAllStandardError().toStdString();
    EXPECT_TRUE(ReadAll(work.path() + "/all.pdf").startsWith("%PDF"));

    QElapsedTimer timer;
    timer.start();
    bool complete = false;
    while (!complete && timer.elapsed() < 120000 && program.state() == QProcess::Running) {
        complete = ReadAll(log).contains("status\t Loading complete.");
        QThread::msleep(100);
    }
    EXPECT_TRUE(complete) << program.readAll().toStdString();
    QThread::msleep(500);
    QDir().mkpath(BuildDirPath("screenshots"));
    Tool("import", {"-window", "root", BuildDirPath("screenshots/print_beside_window.png")},
         display);
    // Closed as a user closes it (File, Exit), so the window saves its index.
    const QString id =
        Tool("xdotool", {"search", "--name", "^Velmora$"}, display).split('\n').value(0).trimmed();
    if (!id.isEmpty()) {
        Tool("xdotool", {"windowfocus", "--sync", id}, display);
        Tool("xdotool", {"key", "--clearmodifiers", "alt+f", "x"}, display);
    }
    if (!program.waitForFinished(15000)) {
        program.kill();
        program.waitForFinished(5000);
    }

    // Every thumbnail the index lists is its own picture's.
    TThumbnailDB db(nullptr, work.path() + "/");
    db.SetCacheDirectory(home + "Temp");
    ASSERT_FALSE(db.ReadOnly());
    TThGraphic maker;
    maker.SetBoxWidth(512);
    maker.SetBoxHeight(512);
    int checked = 0;
    TThImageIterator it(db.Table().List());
    QList<TThImage*> records;
    while (it.Next())
        records << it.CurrentItem();
    EXPECT_GE(records.size(), 20);
    for (TThImage* r : records) {
        SCOPED_TRACE(r->OrgFileName.toStdString());
        QImage stored;
        ASSERT_TRUE(db.Table().LoadThBitmap(r, &stored));
        ASSERT_TRUE(maker.MakeThumbnail(r->OrgFileName));
        EXPECT_EQ(stored.convertToFormat(QImage::Format_RGB32),
                  maker.Thumbnail().convertToFormat(QImage::Format_RGB32));
        ++checked;
    }
    std::printf("%d stored thumbnails checked; window %s\n", checked,
                program.exitStatus() == QProcess::NormalExit ? "closed" : "killed");
}
