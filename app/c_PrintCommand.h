#pragma once
// `velmora print`: the page layouts of the print jobs printed without any window, for
// scripts and for people without a printer (--pdf). The folder is listed and described by
// the window loader's own steps and the thumbnails come from the same cache; every setting
// not given on the command line comes from the job's section of "Thumbnail.ini", so a
// layout tuned in its settings window prints the same from a script. Runs without a display.
//
// Exit status: 0 printed, 1 failed (one clear line on standard error, no partial PDF left),
// 2 bad usage (the message and the usage text).
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

enum class TPrintKind { IndexCard, ContactSheet, BackCard };

// The command line of `velmora print`, parsed.
struct TPrintOptions {
    TPrintKind Kind = TPrintKind::IndexCard;
    QString Target; // FOLDER, or IMAGE for the back card
    QString PdfFile;
    QString Queue;
    QString Paper; // "", "a4" or "letter"
    int FromPage = 0, ToPage = 0;
    std::optional<int> Layout;
    std::optional<QString> Title;
    std::optional<uint32_t> Color; // 0x00BBGGRR
    std::optional<int> Sort;       // 0 name, 1 size, 2 date
    bool NoFileNames = false;
    bool NoDates = false;
    std::optional<int> Rotate;
    bool Help = false;
    bool Version = false;
};

// The usage text of both commands.
QString UsageText();
// "velmora " and the version.
QString VersionText();

// Parses the arguments that follow "print"; false with a one-line message on bad usage.
bool ParsePrintArguments(const QStringList& args, TPrintOptions& options, QString& error);

// Whether the command line asks for something other than the window: `print`, --help or
// --version.
bool IsCommandLine(int argc, char** argv);
// Runs that command; returns the exit status. setUp runs once the application object
// exists (the font aliases).
int RunCommandLine(int argc, char** argv, const std::function<void()>& setUp = nullptr);
