#include "app/c_PrintCommand.h"
#include "app/c_Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    // `velmora print`, --help and --version run without a window or a display.
    if (IsCommandLine(argc, argv))
        return RunCommandLine(argc, argv, InstallFontSubstitutions);
    QApplication app(argc, argv);
    return RunVelmora(app);
}
