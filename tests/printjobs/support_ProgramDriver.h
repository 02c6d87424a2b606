#pragma once
// Driving the built program in the print jobs' whole-program tests: the program started on
// the test display with the private print server, its windows found and clicked with xdotool,
// screenshots left under the build tree, and the spooled PDFs read back as pixels and text.
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs a command (on the given display) and gives its output, trimmed.
QString Run(const QString& program, const QStringList& args, const QString& display = {});
// The first visible window with exactly this title, or empty.
QString FindWindow(const QString& display, const QString& title, int ms = 15000);
void Click(const QString& display, const QString& window, int x, int y);
// A screenshot of the whole display into build/screenshots/name.
void Shot(const QString& display, const QString& name);

// Report units, millimetres and pixels of a page rendered at Dpi.
constexpr double Dpi = 300;
double PxToMm(double px);
int MmToPx(double mm);
double UnitsMm(double units);
// Centres of the runs along a row (or a column) of a page whose pixels pass the test.
QList<double> Runs(const QImage& img, int index, bool row, bool (*test)(QRgb));
bool IsDark(QRgb p);
// The mean colour of the 5 x 5 pixels around a point.
QColor Average(const QImage& img, const QPoint& centre);
bool Near(const QColor& a, const QColor& b, int tolerance = 22);

// The program on the test display, printing through the private server to one queue, with
// its own program folder; it is killed when the object goes.
class TProgramRun {
public:
    TProgramRun(const QString& queue, const QString& folder);
    ~TProgramRun();
    // Waits until the status bar has said " Loading complete.".
    bool WaitLoaded(int ms = 90000);
    // Opens a print window from the File menu by its mnemonic and gives its window id.
    QString OpenFromFileMenu(const QString& key, const QString& title);
    // The PDF the print server keeps for the first job whose title part matches, printed
    // after this run started; empty when none came in time.
    QString WaitForPdf(const QString& titlePart, int ms = 60000);
    // Ends the program and gives everything it wrote.
    QString Finish();

    QString Display;
    QProcess Program;

private:
    QTemporaryDir FHome, FTmp;
    QString FLog;
    QStringList FBefore;
};

// pdftoppm of one page at Dpi (1-based), as an image; null when it fails.
QImage PdfPage(const QString& pdf, int page, const QString& prefix);
// pdfinfo's page count.
int PdfPages(const QString& pdf);
