// GoogleTest main for every suite: a QApplication on the offscreen platform (unless the
// caller chose another), and the private print server when one is running, so no test
// ever talks to the machine's own CUPS.
#include "TestSupport.h"
#include "app/c_Startup.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString cups = PrivateCupsServer();
    if (!cups.isEmpty() && !qEnvironmentVariableIsSet("CUPS_SERVER"))
        qputenv("CUPS_SERVER", cups.toUtf8());
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // The Japanese UI font names resolve as in the program.
    InstallFontSubstitutions();
    return RUN_ALL_TESTS();
}
