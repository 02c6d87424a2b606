#include "support/ProgramDriver.h"

#include "Common/c_PrintGeometry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

QString RunTool(const QString& program, const QStringList& args, const QString& display) {
    QProcess p;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
    }
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll()).trimmed();
}

QString FindWindow(const QString& display, const QString& title, int ms) {
    const QStringList args{"search", "--onlyvisible", "--name",
                           "^" + QRegularExpression::escape(title) + "$"};
    QString id;
    WaitUntil(
        [&] {
            return (id = RunTool("xdotool", args, display).section('\n', 0, 0)).toLongLong() > 0;
        },
        ms);
    return id.toLongLong() > 0 ? id : QString();
}

QRect Geometry(const QString& display, const QString& window) {
    const QString geo = RunTool("xdotool", {"getwindowgeometry", "--shell", window}, display);
    auto value = [&](const char* key) {
        return QRegularExpression(QString(key) + "=(\\d+)").match(geo).captured(1).toInt();
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

void Click(const QString& display, const QString& window, int x, int y) {
    const QStringList on = window.isEmpty() ? QStringList() : QStringList{"--window", window};
    const QStringList at{QString::number(x), QString::number(y), "click", "1"};
    RunTool("xdotool", QStringList{"mousemove"} + on + at, display);
}

QString Shot(const QString& display, const QString& name) {
    QDir().mkpath(BuildDirPath("screenshots"));
    const QString file = BuildDirPath("screenshots/" + name);
    QFile::remove(file);
    RunTool("import", {"-window", "root", file}, display);
    EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
    return file;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    bool held = false;
    while (!(held = done()) && t.elapsed() <= ms)
        QThread::msleep(50);
    return held;
}

double UnitsMm(double units) {
    return units / UnitsPerMm;
}

QList<double> Runs(const QImage& img, int index, bool row, bool (*test)(QRgb), int from, int to) {
    QList<double> centres;
    const int n = to >= 0 ? to : row ? img.width() : img.height();
    for (int i = from, start = -1; i <= n; ++i) {
        const bool in = i < n && test(row ? img.pixel(i, index) : img.pixel(index, i));
        if (in && start < 0)
            start = i;
        if (!in && start >= 0) {
            centres << (start + i - 1) / 2.0;
            start = -1;
        }
    }
    return centres;
}

QColor Average(const QImage& img, const QPoint& centre) {
    int r = 0, g = 0, b = 0;
    for (int i = 0; i < 25; ++i) {
        const QRgb c = img.pixel(centre + QPoint(i % 5 - 2, i / 5 - 2));
        r += qRed(c), g += qGreen(c), b += qBlue(c);
    }
    return QColor(r / 25, g / 25, b / 25);
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QStringList SpooledPdfs() {
    return QDir(BuildDirPath("cups/pdf")).entryList({"*.pdf"}, QDir::Files);
}

QString NewSpooledPdf(const QString& pattern, const QStringList& before, int ms) {
    const QDir spool(BuildDirPath("cups/pdf"));
    QString pdf;
    WaitUntil(
        [&] {
            for (const QString& f : spool.entryList({pattern}, QDir::Files))
                if (pdf.isEmpty() && !before.contains(f))
                    pdf = spool.filePath(f);
            return !pdf.isEmpty();
        },
        ms);
    return pdf;
}

TProgramRun::TProgramRun(const QString& queue, const QString& folder) {
    Start(FHome.path(), FTmp.path(), {folder}, {{"PRINTER", queue}});
}

TProgramRun::TProgramRun(const QString& home, const QString& tmp, const QStringList& args,
                         const QMap<QString, QString>& env) {
    Start(home, tmp, args, env);
}

void TProgramRun::Start(const QString& home, const QString& tmp, const QStringList& args,
                        const QMap<QString, QString>& extra) {
    Display = XvfbDisplay();
    FLog = tmp + "/status.log";
    FBefore = SpooledPdfs();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QMap<QString, QString> ours{{"DISPLAY", Display},
                                      {"QT_QPA_PLATFORM", "xcb"},
                                      {"CUPS_SERVER", PrivateCupsServer()},
                                      {"VELMORA_HOME", QDir(home).path() + "/"},
                                      {"HOME", home},
                                      {"TMPDIR", tmp},
                                      {"XDG_RUNTIME_DIR", tmp},
                                      {"VELMORA_TEST_HOOK", "1"},
                                      {"VELMORA_STATUS_LOG", FLog}};
    for (const auto* vars : {&ours, &extra})
        for (auto it = vars->begin(); it != vars->end(); ++it)
            env.insert(it.key(), it.value());
    Program.setProcessEnvironment(env);
    Program.setProcessChannelMode(QProcess::MergedChannels);
    Program.start(VelmoraBinPath(), args);
    Program.waitForStarted(10000);
}

bool TProgramRun::WaitLoaded(int ms) {
    return WaitUntil([&] { return StatusLines().contains("status\t Loading complete."); }, ms);
}

bool TProgramRun::WaitFor(const QString& text, int ms) {
    auto seen = [&] { return Output().contains(text) || StatusLines().join('\n').contains(text); };
    WaitUntil([&] { return seen() || Program.state() == QProcess::NotRunning; }, ms);
    return seen();
}

QString TProgramRun::Output() {
    // Without an event loop the pipe is only read inside the waits.
    for (int i = 0; i < 50 && Program.state() == QProcess::Running; ++i)
        if (!Program.waitForReadyRead(10))
            break;
    FOut += QString::fromUtf8(Program.readAll());
    return FOut;
}

QStringList TProgramRun::StatusLines() const {
    return QString::fromUtf8(ReadAll(FLog)).split('\n', Qt::SkipEmptyParts);
}

bool TProgramRun::WaitForEnd(int ms) {
    return Program.waitForFinished(ms) && Program.exitStatus() == QProcess::NormalExit &&
           Program.exitCode() == 0;
}

QString TProgramRun::OpenFromFileMenu(const QString& key, const QString& title) {
    const QString main = FindWindow(Display, "Velmora");
    if (main.isEmpty())
        return {};
    RunTool("xdotool", {"mousemove", "--window", main, "400", "300"}, Display);
    RunTool("xdotool", {"windowfocus", "--sync", main}, Display);
    RunTool("xdotool", {"key", "alt+f"}, Display);
    QThread::msleep(400);
    RunTool("xdotool", {"key", key}, Display);
    return FindWindow(Display, title);
}

QString TProgramRun::WaitForPdf(const QString& titlePart, int ms) {
    return NewSpooledPdf("*" + titlePart + "*.pdf", FBefore, ms);
}

QString TProgramRun::Finish() {
    if (Program.state() != QProcess::NotRunning) {
        Program.kill();
        Program.waitForFinished(5000);
    }
    return Output();
}

QString JobPdf(int job, int ms) {
    return NewSpooledPdf(QString("job-%1-*.pdf").arg(job), {}, ms);
}

QImage PdfPage(const QString& pdf, int page, const QString& prefix) {
    const QString n = QString::number(page);
    RunTool("pdftoppm",
            {"-r", QString::number(Dpi), "-png", "-f", n, "-l", n, "-singlefile", pdf, prefix});
    return QImage(prefix + ".png");
}

int PdfPages(const QString& pdf) {
    const QRegularExpression pages("Pages:\\s+(\\d+)");
    return pages.match(RunTool("pdfinfo", {pdf})).captured(1).toInt();
}
