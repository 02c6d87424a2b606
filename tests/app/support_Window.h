#pragma once
// The main window for the window tests: its own program folder and home, its messages
// answered with the first button and recorded, the pages and files it opens collected.
#include "app/c_ImageListThread.h"
#include "app/i_Thumbnail.h"
#include "platform/PDialogSeam.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QDir>
#include <QMessageBox>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

// count photographs photo00.jpg ... of width + i by three quarters of width pixels.
inline void MakePhotos(const QString& folder, int count, int width = 64) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QImage img(width + i, width * 3 / 4, QImage::Format_RGB32);
        img.fill(QColor(40 * i % 255, 120, 200));
        ASSERT_TRUE(
            img.save(QString("%1/photo%2.jpg").arg(folder).arg(i, 2, 10, QChar('0')), "JPG"));
    }
}

struct TWindowRig {
    TempHome Home;
    QTemporaryDir UserHome;
    ScopedEnv HomeEnv{"HOME", UserHome.path().toUtf8()};
    QStringList Messages, Kinds, Statuses;
    QList<QUrl> Opened;
    std::unique_ptr<TfrmThumbnail> Window;

    explicit TWindowRig(bool open = true) {
        SetDialogAnswerer([this](TDialogRequest& r) {
            Messages << r.Text;
            Kinds << r.Kind + (qobject_cast<QMessageBox*>(r.Dialog) ? " (plain)" : "");
            return 0;
        });
        TfrmThumbnail::OpenUrl = [this](const QUrl& url) {
            Opened << url;
            return true;
        };
        if (open)
            Start();
    }
    ~TWindowRig() {
        Window.reset();
        TfrmThumbnail::StartArguments.clear();
        SetDialogAnswerer({});
        TfrmThumbnail::OpenUrl = [](const QUrl&) { return false; };
    }
    // A new run of the program with these command-line arguments; status texts recorded.
    TfrmThumbnail& Start(const QStringList& args = {}) {
        Window.reset();
        TfrmThumbnail::StartArguments =
            args.isEmpty() ? QStringList() : QStringList{"velmora"} + args;
        Window = std::make_unique<TfrmThumbnail>();
        auto original = Window->LoadThread->OnProgress;
        Window->LoadThread->OnProgress = [this, original](int p) {
            original(p);
            Statuses << Window->PanelText(0);
        };
        Window->show();
        return *Window;
    }
    void Quit() { // as the user closes it, which stores what it remembers
        Window->close();
        Window.reset();
    }
    bool Settled() {
        return WaitFor([&] { return !Window->LoadingRunning() && Window->LoadThread->Idle(); });
    }
    QString Path(const QString& name) const { return UserHome.path() + "/" + name; }
};
