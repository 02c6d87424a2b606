#pragma once
// Running `velmora print` as a user runs it in the command tests, and reading what it printed
// back as pixels.
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

struct TRun {
    int Status = -1;
    QString Out, Err;
};

// The program started without a display from a shell in `dir`, with its own program folder;
// cups is the print server's address (a dead one: only --pdf can print).
TRun RunVelmora(const QStringList& args, const QString& home, const QString& dir,
                const QString& cups);
// Every page of a PDF at 100 dpi.
QList<QImage> Pages100(const QString& pdf);
// The first and last black pixel along the middle row of a 100-dpi page, in millimetres: the
// outer edges of the index card's two cards.
QPair<double, double> CardSpan(const QImage& page);
// Writes count pictures photoNN.jpg of one colour each and growing widths; with distinct,
// shotNNN.png of one size whose pixels all differ, so a stored bitmap of the wrong picture shows.
void MakePictures(const QString& dir, int count, bool distinct = false);
