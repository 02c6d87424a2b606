// The print commands' loading gate asks the loader, not the status text: a folder the loader
// has taken up is still loading before its first progress report.
#include "app/c_ImageListThread.h"
#include "app/c_ThumbListView.h"
#include "app/i_Thumbnail.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// A picture source whose first information request waits until the test lets it go.
class TGatedSource : public TFakeSource {
public:
    bool GetOriginalInfo(const QString& path, TOriginalFacts& facts) override {
        std::unique_lock<std::mutex> lock(FLock);
        FEntered = true;
        FChanged.notify_all();
        FChanged.wait(lock, [this] { return FOpen; });
        lock.unlock();
        return TFakeSource::GetOriginalInfo(path, facts);
    }
    bool Entered() {
        std::lock_guard<std::mutex> lock(FLock);
        return FEntered;
    }
    void Open() {
        std::lock_guard<std::mutex> lock(FLock);
        FOpen = true;
        FChanged.notify_all();
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FEntered = false, FOpen = false;
};

} // namespace

TEST(PrintGate, AFolderTakenUpButNotYetReportedStillCountsAsLoading) {
    TempHome home;
    QTemporaryDir user;
    ScopedEnv homeEnv("HOME", user.path().toUtf8());
    QStringList messages;
    SetDialogAnswerer([&](TDialogRequest& r) {
        messages << r.Text;
        return 0;
    });
    const QString folder = user.path() + "/photos";
    QDir().mkpath(folder);
    for (int i = 0; i < 3; ++i) {
        QImage img(64, 48, QImage::Format_RGB32);
        img.fill(Qt::red);
        img.save(QString("%1/p%2.jpg").arg(folder).arg(i), "JPG");
    }
    {
        TfrmThumbnail w;
        ASSERT_TRUE(WaitFor([&] { return w.LoadThread->Idle() && !w.LoadingRunning(); }));
        ASSERT_EQ(w.PanelText(0), " Loading complete.");
        auto* gated = new TGatedSource;
        w.LoadThread->SetSource(std::unique_ptr<TThumbnailSource>(gated));

        w.SelectFolder(folder);
        ASSERT_TRUE(WaitFor([&] { return gated->Entered(); }));
        // The loader works on the new folder; the status still shows the last load's end.
        EXPECT_FALSE(w.LoadThread->RequestPending());
        EXPECT_EQ(w.PanelText(0), " Loading complete.");
        EXPECT_TRUE(w.LoadingRunning());
        w.BtnPrintThumbnailClick();
        w.BtnContactClick();
        EXPECT_EQ(messages, QStringList(2, "Print buttons are disabled while images are loading."));

        gated->Open();
        ASSERT_TRUE(WaitFor([&] { return w.LoadThread->Idle() && !w.LoadingRunning(); }));
        EXPECT_EQ(w.ThumbList->Count(), 3);
    }
    SetDialogAnswerer({});
}
