#include "c_Startup.h"

#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_ImageListThread.h"
#include "app/c_Message.h"
#include "app/i_Gauge.h"
#include "app/i_Logo.h"
#include "app/i_Thumbnail.h"
#include "app/i_Version.h"
#include "cache/CThumbnailDB.h"
#include "cache/i_Cache.h"
#include "cache/i_SelectCachePath.h"
#include "platform/PDialogSeam.h"
#include "platform/PPrinter.h"
#include "platform/PShutdownSignals.h"
#include "platform/PSingleInstance.h"
#include "platform/PSystem.h"
#include "printjobs/i_ContactSheetPrint.h"
#include "printjobs/i_JacketPrint.h"
#include "printjobs/i_JobHost.h"
#include "printjobs/i_PrintThumbnail.h"
#include "printjobs/p_ContactSheetPrint.h"
#include "printjobs/p_JacketPrint.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "report/i_Preview.h"
#include "services/CException.h"
#include "services/CThDebug.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QFont>
#include <QLoggingCategory>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <cstdio>

const char* const NoPrinterText = "Cannot set up printer.";
const char* const LocationText =
    "Copy this application to a disk on your computer and start it again.";

namespace {

void TestEvent(const QString& what) {
    if (qEnvironmentVariableIsSet("VELMORA_TEST_HOOK")) {
        std::fprintf(stderr, "VELMORA_EVENT: %s\n", what.toUtf8().constData());
        std::fflush(stderr);
    }
}

// VELMORA_TEST_HOOK may hold "name=milliseconds" items; the named step then waits that long
// (with the windows painted) so that a test can look at the screen.
void TestPause(const char* step) {
    const QString hook = qEnvironmentVariable("VELMORA_TEST_HOOK");
    for (const QString& item : hook.split(',', Qt::SkipEmptyParts)) {
        if (item.section('=', 0, 0).trimmed() != QLatin1String(step))
            continue;
        QElapsedTimer t;
        t.start();
        const int ms = qBound(0, item.section('=', 1).toInt(), 10000);
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
}

// The values of the VELMORA_TEST_HOOK items "name=value" with the given name.
QStringList TestHookItems(const char* name) {
    QStringList values;
    for (const QString& item :
         qEnvironmentVariable("VELMORA_TEST_HOOK").split(',', Qt::SkipEmptyParts))
        if (item.section('=', 0, 0).trimmed() == QLatin1String(name))
            values << item.section('=', 1).trimmed();
    return values;
}

} // namespace

void InstallFontSubstitutions() {
    for (const char* name : {"ＭＳ Ｐゴシック", "MS PGothic"})
        QFont::insertSubstitution(QString::fromUtf8(name), "IPAPGothic");
}

void InstallTestHook() {
    if (!qEnvironmentVariableIsSet("VELMORA_TEST_HOOK"))
        return;
    SetDialogAnswerer([](TDialogRequest& r) {
        // Kinds named as "interactive=<kind>" items stay open for the test to work them
        // (with xdotool); the answer is what that gives.
        if (TestHookItems("interactive").contains(r.Kind)) {
            TestEvent("dialog open: " + r.Kind);
            const QPointer<QDialog> dialog = r.Dialog;
            while (dialog && dialog->isVisible())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            TestEvent("dialog closed: " + r.Kind);
            return dialog ? dialog->result() : 0;
        }
        std::fprintf(stderr, "VELMORA_MESSAGE: [%s] [%s] %s\n", r.Kind.toUtf8().constData(),
                     r.Caption.toUtf8().constData(), r.Text.toUtf8().constData());
        std::fflush(stderr);
        // The print dialog takes the printer and paper it opens with; the print windows and
        // the preview stay open for whoever drives the program, until they close.
        if (r.Kind == QLatin1String("print"))
            return int(QDialog::Accepted);
        if (r.Kind == QLatin1String("preview") || r.Kind.endsWith(QLatin1String(" card")) ||
            r.Kind == QLatin1String("contact sheet")) {
            QEventLoop loop;
            QObject::connect(r.Dialog, &QDialog::finished, &loop, &QEventLoop::quit);
            if (r.Dialog->isVisible())
                loop.exec();
            return r.Dialog->result();
        }
        QPushButton* first = r.Dialog->findChild<QPushButton*>("MsgButton1");
        if (!first) {
            const QList<QPushButton*> buttons = r.Dialog->findChildren<QPushButton*>();
            first = buttons.isEmpty() ? nullptr : buttons.first();
        }
        if (first)
            first->click();
        else
            r.Dialog->reject();
        return 0;
    });
}

bool CheckPrinter() {
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        return true;
    MsgManage.ShowMsg(NoPrinterText, "Velmora", {TMsgButton::Cancel});
    return false;
}

bool CheckLocation() {
    if (!PIsOnNetworkFileSystem(PProgramDir()))
        return true;
    MsgManage.ShowMsg(LocationText, "Velmora", {TMsgButton::Cancel});
    return false;
}

void BringWindowForward(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    TestEvent(QString("brought forward, minimised=%1").arg(window->isMinimized()));
}

int RunVelmora(QApplication& app) {
    // A damaged picture is reported in its grid cell; Qt's image plug-ins would also write
    // their own warnings about it to the terminal.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    InstallFontSubstitutions();
    InstallTestHook();

    // 1. The logo, painted before anything else happens (a second start shows it too).
    auto* logo = new TfrmLogo;
    QObject::connect(logo, &QObject::destroyed, [] { TestEvent("logo released"); });
    logo->ShowNow();
    TestEvent("logo shown");
    TestPause("pause-after-logo");

    // 2. One instance: a second start brings the first forward and ends silently.
    PSingleInstance instance;
    // A folder or picture named on the command line goes to the running window.
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i)
        if (!args[i].startsWith(QLatin1Char('-'))) {
            instance.SetHandOver(QFileInfo(args[i]).absoluteFilePath());
            break;
        }
    if (!instance.Acquire()) {
        TestEvent("another instance runs");
        delete LogoWindow();
        return 0;
    }

    // 3, 4. No printer, or a program folder on a network share: refuse to start.
    if (!CheckPrinter() || !CheckLocation()) {
        delete LogoWindow();
        return 1;
    }

    // The printer object that every print and preview goes through.
    SystemPrinter();
    // The trace flags and the log are set before the thumbnail database, which logs from
    // its first step.
    LoadDebugSettings(ResolveAppDir());

    // 5. The title and the windows, in their order; only the main window is shown.
    QApplication::setApplicationName("Velmora");
    EnsureIconTheme();
    try {
        // The loading thread draws this icon later; the theme is asked here, on this thread.
        QImage icon;
        DrawFileIcon("icon.avi", icon);
    } catch (const Exception&) {
    }
    TfrmThumbnail* main = nullptr;
    try {
        main = new TfrmThumbnail;
    } catch (const std::exception& e) {
        MsgManage.ShowMsg(QString::fromUtf8(e.what()), "Velmora", {TMsgButton::OK});
        delete LogoWindow();
        return 1;
    }
    // The cache windows (location first, then the settings window it fills); they stop the
    // loader before they touch the thumbnail database.
    frmSelectCachePath = new TfrmSelectCachePath(main, ThumbnailDB);
    frmCache = new TfrmCache(main, ThumbnailDB, frmSelectCachePath);
    frmCache->OnStopLoading = [main] {
        if (main->LoadThread)
            main->LoadThread->CancelAndWait();
    };
    TestEvent(QString("cache %1 %2KB")
                  .arg(ThumbnailDB->GetCacheDirectory())
                  .arg(ThumbnailDB->GetMaxSizeKB()));
    // Then, hidden and in this order: TfrmSelectCachePath, TfrmCache, TprtThumbnailPrint,
    // TfrmPrintThumbnail, TprtJacketPrint, TfrmJacketPrint, TprtContactSheetPrint,
    // TfrmContactSheetPrint, TfrmPreview, and last the progress and version windows.
    prtThumbnailPrint = new TprtThumbnailPrint;
    prtThumbnailPrint->Pictures = DatabasePictures(ThumbnailDB);
    prtThumbnailPrint->Pictures.FileIcon = DrawFileIcon;
    WindowJobHost().SharedDialog = PrintDialog;
    frmPrintThumbnail = new TfrmPrintThumbnail(prtThumbnailPrint, main);

    prtJacketPrint = new TprtJacketPrint;
    prtJacketPrint->Pictures = DatabasePictures(ThumbnailDB);
    prtJacketPrint->Pictures.FileIcon = DrawFileIcon;
    frmJacketPrint = new TfrmJacketPrint(prtJacketPrint, main);

    prtContactSheetPrint = new TprtContactSheetPrint;
    prtContactSheetPrint->Pictures = prtThumbnailPrint->Pictures;
    frmContactSheetPrint = new TfrmContactSheetPrint(prtContactSheetPrint, main);
    frmPreview = new TfrmPreview(main);
    frmGauge = new TfrmGauge(main);
    frmVersion = new TfrmVersion(main);

    QObject::connect(&instance, &PSingleInstance::ShowRequested, main,
                     [main](const QString& target) {
                         TestEvent("show requested " + target);
                         BringWindowForward(main);
                         main->OpenTarget(target);
                     });
    main->show();
    main->raise();
    main->activateWindow();
    TestEvent("main window shown");
    // The logo goes when it loses activation to the main window; a window system that never
    // activated it gets it closed all the same.
    if (TfrmLogo* still = LogoWindow())
        still->ReleaseAfter(3000);

    // Log-out, shut-down and Ctrl+C end the program as closing its window does: every
    // modal loop is left, then the main window goes below (loader stopped, index saved).
    PShutdownSignals shutdown;
    QObject::connect(&shutdown, &PShutdownSignals::Requested, main, [](int signal) {
        TestEvent(QString("signal %1").arg(signal));
        QCoreApplication::exit(0);
    });

    // 6. The message loop, until the main window closes.
    const int rc = app.exec();
    delete LogoWindow();
    delete main; // its children, the print, preview, gauge and version windows, go with it
    frmPrintThumbnail = nullptr;
    frmJacketPrint = nullptr;
    frmContactSheetPrint = nullptr;
    frmPreview = nullptr;
    frmGauge = nullptr;
    frmVersion = nullptr;
    frmCache = nullptr;
    frmSelectCachePath = nullptr;
    delete prtThumbnailPrint;
    prtThumbnailPrint = nullptr;
    delete prtJacketPrint;
    prtJacketPrint = nullptr;
    delete prtContactSheetPrint;
    prtContactSheetPrint = nullptr;
    return rc;
}
