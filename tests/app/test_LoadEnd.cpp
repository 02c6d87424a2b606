// The end of a big load, in the main window with the real loader and database: a folder of
// 10,000 pictures (hard links of one small photograph) reports " Loading complete." once,
// after every cell has its picture, and the print gate follows the loader, not the text.
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "app/i_Thumbnail.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Runs the window thread's events as the program does, waking for each hand-over at once,
// until the loader is idle or the time is up.
bool WaitIdle(TfrmThumbnail& w, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(20);
    while (!w.LoadThread->Idle()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace

TEST(LoadEnd, TenThousandPicturesEndOnceAfterTheLastPictureAndTheGateAsksTheLoader) {
    TempHome home;
    QTemporaryDir userHome;
    ScopedEnv homeEnv("HOME", userHome.path().toUtf8());
    QStringList messages;
    SetDialogAnswerer([&](TDialogRequest& r) {
        messages << r.Text;
        return 0;
    });

    const int count = 10000;
    const QString folder = userHome.path() + "/many";
    QDir().mkpath(folder);
    const QString first = folder + "/p00000.jpg";
    QImage img(24, 16, QImage::Format_RGB32);
    img.fill(QColor(200, 120, 40));
    ASSERT_TRUE(img.save(first, "JPG"));
    for (int i = 1; i < count; ++i) {
        const QByteArray link =
            QFile::encodeName(QString("%1/p%2.jpg").arg(folder).arg(i, 5, 10, QChar('0')));
        ASSERT_EQ(::link(QFile::encodeName(first).constData(), link.constData()), 0);
    }

    auto window = std::make_unique<TfrmThumbnail>();
    TfrmThumbnail& w = *window;
    w.show();
    ASSERT_TRUE(WaitIdle(w, 20000));

    QStringList statuses;
    int ends = 0, blankAtEnd = -1;
    bool gateHeldUnderEarlyText = false;
    const auto original = w.LoadThread->OnProgress;
    w.LoadThread->OnProgress = [&](int p) {
        original(p);
        statuses << w.PanelText(0);
        if (statuses.last() == " Loading complete." && ends++ == 0) {
            blankAtEnd = 0;
            for (int i = 0; i < w.ThumbList->Count(); ++i)
                blankAtEnd += w.ThumbList->Item(i)->Bitmap.isNull() ? 1 : 0;
        }
        if (statuses.size() == count + count / 2) {
            // Whatever the status bar reads, the loader is working: no print may start.
            w.SetProgress(100);
            gateHeldUnderEarlyText = w.LoadingRunning();
            original(p);
        }
    };
    w.SelectFolder(folder);
    ASSERT_TRUE(WaitIdle(w, 240000));

    EXPECT_EQ(statuses.size(), 2 * count);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(statuses.last().toStdString(), " Loading complete.");
    EXPECT_EQ(statuses.value(statuses.size() - 2).toStdString(), " Load  99%");
    EXPECT_EQ(blankAtEnd, 0);
    EXPECT_TRUE(gateHeldUnderEarlyText);
    EXPECT_TRUE(messages.isEmpty());
    window.reset();
    SetDialogAnswerer({});
}
