#pragma once
// Driving the built program in the whole-program tests: started on the test display with the
// private print server, its windows found and clicked with xdotool, screenshots left under the
// build tree, the spooled PDFs read back as pixels and text.
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// Runs a command (on the given display) and gives its output, trimmed.
QString RunTool(const QString& program, const QStringList& args, const QString& display = {});
// The first visible window with exactly this title, or empty.
QString FindWindow(const QString& display, const QString& title, int ms = 15000);
// The place and size of a window on the screen, or an empty rectangle.
QRect Geometry(const QString& display, const QString& window);
// Clicks at a point of a window (or of the screen when the window is empty).
void Click(const QString& display, const QString& window, int x, int y);
// A screenshot of the whole display into build/screenshots/name; gives the file.
QString Shot(const QString& display, const QString& name);
// Polls until done() holds or the time is up; gives whether it held.
bool WaitUntil(const std::function<bool()>& done, int ms = 30000);

// Report units, millimetres and pixels of a page rendered at Dpi.
constexpr double Dpi = 300;
inline double PxToMm(double px) {
    return px / Dpi * 25.4;
}
double UnitsMm(double units);
inline int UnitsToPx(double units) {
    return int(UnitsMm(units) / 25.4 * Dpi + 0.5);
}
// Centres of the runs of pixels passing the test along a row (or column), from pixel from up
// to (not including) to; to < 0 means the page's end.
QList<double> Runs(const QImage& img, int index, bool row, bool (*test)(QRgb), int from = 0,
                   int to = -1);
inline bool IsDark(QRgb p) {
    return qGray(p) < 90;
}
// The mean colour of the 5 x 5 pixels around a point; whether two colours are near.
QColor Average(const QImage& img, const QPoint& centre);
bool Near(const QColor& a, const QColor& b, int tolerance = 22);

// The program on the test display with the private print server, killed when the object
// goes. Its output is kept; its status log (a line per status text, cell and address change)
// lies in its temporary folder.
class TProgramRun {
public:
    // Printing to one queue, with a home and temporary folder of its own.
    TProgramRun(const QString& queue, const QString& folder);
    // With the caller's home and temporary folders (kept across runs), these arguments and
    // additions to the environment (VELMORA_TEST_HOOK is "1" unless given).
    TProgramRun(const QString& home, const QString& tmp, const QStringList& args,
                const QMap<QString, QString>& env = {});
    ~TProgramRun() { Finish(); }
    // Waits until the status bar has said " Loading complete.".
    bool WaitLoaded(int ms = 90000);
    // Waits until the output or status log holds the text; false when the program ends first.
    bool WaitFor(const QString& text, int ms = 30000);
    // The output so far; the status log's lines.
    QString Output();
    QStringList StatusLines() const;
    // Waits for the program to end by itself; gives whether it ended with code 0.
    bool WaitForEnd(int ms = 15000);
    // Opens a print window from the File menu by its mnemonic and gives its window id.
    QString OpenFromFileMenu(const QString& key, const QString& title);
    // The print server's PDF of the first job whose title matches, printed after this run
    // started; empty when none came in time.
    QString WaitForPdf(const QString& titlePart, int ms = 60000);
    // Ends the program and gives everything it wrote.
    QString Finish();

    QString Display;
    QProcess Program;

private:
    void Start(const QString& home, const QString& tmp, const QStringList& args,
               const QMap<QString, QString>& env);
    QTemporaryDir FHome, FTmp;
    QString FLog, FOut;
    QStringList FBefore;
};

// The PDFs the print server keeps now.
QStringList SpooledPdfs();
// The first PDF of the print server matching the pattern and not among before, waited for;
// empty when none came in time.
QString NewSpooledPdf(const QString& pattern, const QStringList& before, int ms = 60000);
// The PDF the print server keeps for a job number; empty when none came in time.
QString JobPdf(int job, int ms = 30000);
// pdftoppm of one page at Dpi (1-based), as an image; null when it fails.
QImage PdfPage(const QString& pdf, int page, const QString& prefix);
// pdfinfo's page count.
int PdfPages(const QString& pdf);
