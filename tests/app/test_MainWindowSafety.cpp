// The main window when the cache index cannot be read, and where log failures are shown.
#include "app/c_ImageListThread.h"
#include "app/i_Thumbnail.h"
#include "cache/CThumbnailDB.h"
#include "platform/PDialogSeam.h"
#include "services/CLogCtrls.h"
#include "support/PipeWatch.h"
#include "support/TestSupport.h"
#include "support_Loader.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TSeen {
    QString Kind, Text;
    bool PlainBox = false;
};

} // namespace

TEST(MainWindowSafety, AnUnreadableIndexIsToldOnceAndLogFailuresInAPlainBox) {
    TempHome home;
    QTemporaryDir userHome;
    ScopedEnv homeEnv("HOME", userHome.path().toUtf8());
    QString index;
    {
        TThumbnailDB probe(nullptr, home.Path());
        probe.SetCacheDirectory(home.Path() + "Temp");
        index = probe.Table().Location().IndexFile();
    }
    ASSERT_TRUE(QDir().mkpath(QFileInfo(index).path()));
    TPipeWatch watch;
    ASSERT_TRUE(watch.Make(index));
    watch.Start();

    QList<TSeen> seen;
    SetDialogAnswerer([&](TDialogRequest& r) {
        seen << TSeen{r.Kind, r.Text, qobject_cast<QMessageBox*>(r.Dialog) != nullptr};
        return 0;
    });
    auto window = std::make_unique<TfrmThumbnail>();
    EXPECT_FALSE(watch.Fired()) << "the start waited on the index";
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].Kind, "message");
    EXPECT_TRUE(seen[0].Text.contains("cache index could not be read"))
        << seen[0].Text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(index)) << "the unreadable index stays in the way";
    ASSERT_NE(window->LoadThread, nullptr);
    window->show();
    EXPECT_TRUE(WaitFor([&] { return !window->LoadingRunning(); }));
    EXPECT_EQ(seen.size(), 1) << "told once";

    // A log failure: the plain box, not the program's own.
    ReportLogError(QStringLiteral("ログ出力中にエラーが発生しました。"));
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1].Kind, "plain message");
    EXPECT_TRUE(seen[1].PlainBox);
    EXPECT_EQ(seen[1].Text, QStringLiteral("ログ出力中にエラーが発生しました。"));

    window.reset();
    SetDialogAnswerer({});
}
