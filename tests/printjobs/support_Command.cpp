#include "support_Command.h"

#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TRun RunVelmora(const QStringList& args, const QString& home, const QString& dir,
                const QString& cups) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
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
    const int y = page.height() / 2;
    int first = -1, last = -1;
    for (int x = 0; x < page.width(); ++x)
        if (qGray(page.pixel(x, y)) < 80) {
            first = first < 0 ? x : first;
            last = x;
        }
    return {first * 0.254, (last + 1) * 0.254};
}

void MakePictures(const QString& dir, int count, bool distinct) {
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        if (distinct) {
            QImage image(400, 300, QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(
                        x, y, qRgb((x + i * 41) & 255, (y * 3 + i * 17) & 255, (i * 29) & 255));
            ASSERT_TRUE(image.save(QString("%1/shot%2.png").arg(dir).arg(i, 3, 10, QChar('0'))));
            continue;
        }
        QImage image(160 + i * 8, 120, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 200, 220));
        ASSERT_TRUE(image.save(QString("%1/photo%2.jpg").arg(dir).arg(i, 2, 10, QChar('0'))));
    }
}
