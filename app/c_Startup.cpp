#include "c_Startup.h"

#include "Common/c_Config.h"
#include "Common/c_Other.h"
#include "app/c_Message.h"
#include "app/i_Gauge.h"
#include "app/i_Logo.h"
#include "app/i_Thumbnail.h"
#include "app/i_Version.h"
#include "platform/PDialogSeam.h"
#include "platform/PPrinter.h"
#include "platform/PShutdownSignals.h"
#include "platform/PSingleInstance.h"
#include "platform/PSystem.h"
#include "services/CException.h"
#include "services/CThDebug.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFont>
#include <QLoggingCategory>
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

} // namespace

void InstallFontSubstitutions() {
    for (const char* name : {"ＭＳ Ｐゴシック", "MS PGothic"})
        QFont::insertSubstitution(QString::fromUtf8(name), "IPAPGothic");
}

void InstallTestHook() {
    if (!qEnvironmentVariableIsSet("VELMORA_TEST_HOOK"))
        return;
    SetDialogAnswerer([](TDialogRequest& r) {
        std::fprintf(stderr, "VELMORA_MESSAGE: [%s] [%s] %s\n", r.Kind.toUtf8().constData(),
                     r.Caption.toUtf8().constData(), r.Text.toUtf8().constData());
        std::fflush(stderr);
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
    // Then, hidden and in this order: TfrmSelectCachePath, TfrmCache, TprtThumbnailPrint,
    // TfrmPrintThumbnail, TprtJacketPrint, TfrmJacketPrint, TprtContactSheetPrint,
    // TfrmContactSheetPrint, TfrmPreview, and last the progress and version windows.
    frmGauge = new TfrmGauge(main);
    frmVersion = new TfrmVersion(main);

    QObject::connect(&instance, &PSingleInstance::ShowRequested, main, [main] {
        TestEvent("show requested");
        BringWindowForward(main);
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
    delete main; // its children, the gauge and the version window, go with it
    frmGauge = nullptr;
    frmVersion = nullptr;
    return rc;
}
