#include "support_Print.h"

#include "platform/PDialogSeam.h"
#include "support/ProgramDriver.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

TRect OnPage(const TLRControl* c) {
    TRect r = c->BoundsRect();
    for (const TLRWinControl* p = c->Parent(); p && p->Parent(); p = p->Parent()) {
        r.Left += p->Left(), r.Right += p->Left();
        r.Top += p->Top(), r.Bottom += p->Top();
    }
    return r;
}

QColor ColourOf(int item) {
    return QColor::fromHsv((item * 47) % 360, 200, 220);
}

bool NearColour(QRgb a, const QColor& b) {
    return std::abs(qRed(a) - b.red()) < 12 && std::abs(qGreen(a) - b.green()) < 12 &&
           std::abs(qBlue(a) - b.blue()) < 12;
}

TSettingsHome::TSettingsHome(const QByteArray& ini) : Ini(Home.Path() + "Thumbnail.ini") {
    WriteRaw(Ini, ini);
    IniFile = new TIniFile(Ini);
    SetDialogAnswerer([](TDialogRequest&) { return 0; });
}

TSettingsHome::~TSettingsHome() {
    SetDialogAnswerer({});
    delete IniFile;
    IniFile = nullptr;
}

TRun RunVelmora(const QStringList& args, const QString& home, const QString& dir,
                const QString& cups) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    env.insert("VELMORA_HOME", home);
    env.insert("CUPS_SERVER", cups);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.start(VelmoraBinPath(), args);
    p.waitForFinished(180000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QList<QImage> Pages100(const QString& pdf) {
    QTemporaryDir dir;
    RunTool("pdftoppm", {"-r", "100", "-png", pdf, dir.filePath("p")});
    QList<QImage> pages;
    for (const QString& f : QDir(dir.path()).entryList({"p-*.png"}, QDir::Files, QDir::Name))
        pages << QImage(dir.filePath(f)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

QPair<double, double> CardSpan(const QImage& page) {
    const QList<double> ink = Runs(page, page.height() / 2, true, IsDark);
    return ink.isEmpty() ? QPair<double, double>() : QPair{ink.first() * 0.254, ink.last() * 0.254};
}

void MakePictures(const QString& dir, int count, bool distinct) {
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        QImage image(distinct ? 400 : 160 + i * 8, distinct ? 300 : 120, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 200, 220));
        for (int y = 0; distinct && y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y,
                               qRgb((x + i * 41) & 255, (y * 3 + i * 17) & 255, (i * 29) & 255));
        ASSERT_TRUE(distinct
                        ? image.save(QString("%1/shot%2.png").arg(dir).arg(i, 3, 10, QChar('0')))
                        : image.save(QString("%1/photo%2.jpg").arg(dir).arg(i, 2, 10, QChar('0'))));
    }
}
