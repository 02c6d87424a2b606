// Renders the scalable application icon into the raster sizes of the hicolor icon theme:
// make-icons SVG OUTDIR SIZE... writes OUTDIR/SIZExSIZE/velmora.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: make-icons SVG OUTDIR SIZE...\n");
        return 2;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        QImageReader reader(QString::fromLocal8Bit(argv[1]), "svg");
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QString dir =
            QStringLiteral("%1/%2x%2").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        if (image.isNull() || !QDir().mkpath(dir) || !image.save(dir + "/velmora.png", "PNG")) {
            std::fprintf(stderr, "make-icons: cannot render %dx%d: %s\n", size, size,
                         qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
