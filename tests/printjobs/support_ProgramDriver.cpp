#include "support_ProgramDriver.h"

#include "Common/c_PrintGeometry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

QString Run(const QString& program, const QStringList& args, const QString& display) {
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
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        const QString out = Run(
            "xdotool",
            {"search", "--onlyvisible", "--name", "^" + QRegularExpression::escape(title) + "$"},
            display);
        const QStringList ids = out.split('\n', Qt::SkipEmptyParts);
        if (!ids.isEmpty() && ids.first().toLongLong() > 0)
            return ids.first();
        QThread::msleep(100);
    }
    return {};
}

void Click(const QString& display, const QString& window, int x, int y) {
    Run("xdotool",
        {"mousemove", "--window", window, QString::number(x), QString::number(y), "click", "1"},
        display);
}

void Shot(const QString& display, const QString& name) {
    QDir().mkpath(BuildDirPath("screenshots"));
    const QString file = BuildDirPath("screenshots/" + name);
    QFile::remove(file);
    Run("import", {"-window", "root", file}, display);
    EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
}

double PxToMm(double px) {
    return px / Dpi * 25.4;
}

int MmToPx(double mm) {
    return int(mm / 25.4 * Dpi + 0.5);
}

double UnitsMm(double units) {
    return units / UnitsPerMm;
}

bool IsDark(QRgb p) {
    return qGray(p) < 90;
}

QList<double> Runs(const QImage& img, int index, bool row, bool (*test)(QRgb)) {
    QList<double> centres;
    const int n = row ? img.width() : img.height();
    int start = -1;
    for (int i = 0; i <= n; ++i) {
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
    int r = 0, g = 0, b = 0, n = 0;
    for (int y = -2; y <= 2; ++y)
        for (int x = -2; x <= 2; ++x) {
            const QRgb c = img.pixel(centre + QPoint(x, y));
            r += qRed(c), g += qGreen(c), b += qBlue(c), ++n;
        }
    return QColor(r / n, g / n, b / n);
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

namespace {
QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

QString PdfDir() {
    return BuildDirPath("cups") + "/pdf";
}
} // namespace

TProgramRun::TProgramRun(const QString& queue, const QString& folder) {
    Display = XvfbDisplay();
    FLog = FTmp.filePath("status.log");
    FBefore = QDir(PdfDir()).entryList({"*.pdf"}, QDir::Files);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", Display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("CUPS_SERVER", PrivateCupsServer());
    env.insert("PRINTER", queue); // the queue the program starts with
    env.insert("VELMORA_HOME", FHome.path() + "/");
    env.insert("HOME", FHome.path());
    env.insert("TMPDIR", FTmp.path());
    env.insert("XDG_RUNTIME_DIR", FTmp.path());
    env.insert("VELMORA_TEST_HOOK", "1");
    env.insert("VELMORA_STATUS_LOG", FLog);
    Program.setProcessEnvironment(env);
    Program.setProcessChannelMode(QProcess::MergedChannels);
    Program.start(VelmoraBinPath(), {folder});
    Program.waitForStarted(10000);
}

TProgramRun::~TProgramRun() {
    Finish();
}

bool TProgramRun::WaitLoaded(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (ReadLines(FLog).contains("status\t Loading complete."))
            return true;
        QThread::msleep(100);
    }
    return false;
}

QString TProgramRun::OpenFromFileMenu(const QString& key, const QString& title) {
    const QString main = FindWindow(Display, "Velmora");
    if (main.isEmpty())
        return {};
    Run("xdotool", {"mousemove", "--window", main, "400", "300"}, Display);
    Run("xdotool", {"windowfocus", "--sync", main}, Display);
    Run("xdotool", {"key", "alt+f"}, Display);
    QThread::msleep(400);
    Run("xdotool", {"key", key}, Display);
    return FindWindow(Display, title);
}

QString TProgramRun::WaitForPdf(const QString& titlePart, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        for (const QString& f : QDir(PdfDir()).entryList({"*" + titlePart + "*.pdf"}, QDir::Files))
            if (!FBefore.contains(f))
                return PdfDir() + "/" + f;
        QThread::msleep(200);
    }
    return {};
}

QString TProgramRun::Finish() {
    if (Program.state() != QProcess::NotRunning) {
        Program.kill();
        Program.waitForFinished(5000);
    }
    return QString::fromUtf8(Program.readAll());
}

QImage PdfPage(const QString& pdf, int page, const QString& prefix) {
    Run("pdftoppm", {"-r", QString::number(Dpi), "-png", "-f", QString::number(page), "-l",
                     QString::number(page), "-singlefile", pdf, prefix});
    return QImage(prefix + ".png");
}

int PdfPages(const QString& pdf) {
    const QRegularExpressionMatch m =
        QRegularExpression("Pages:\\s+(\\d+)").match(Run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}
